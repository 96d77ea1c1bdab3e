// The state of one editing run; see edit_state.h.
#include "edit/edit_state.h"

#include "edit/neutral_target.h"
#include "engine/balance.h"
#include "engine/working_space.h"
#include "platform/mem.h"

namespace {

constexpr int32_t kDefaultGridLevel = 7;
constexpr float kDefaultPreferredSaturation = 0.8f;
constexpr int32_t kDefaultKeenhueMask = 64564;

bool AnyBinUsed(const SampleBin* bins) {
    for (int k = 0; k < kEditBinCount; ++k) {
        if (bins[k].count > 0) return true;
    }
    return false;
}

}  // namespace

int32_t EditStateInit(EditState* s, const RefRGB* workingSpace) {
    if (s == nullptr) return kStatusProblem;
    Mem_Fill(s, 0, sizeof *s);
    UseEngineNeutralTarget();
    SetParsDefaults(&s->editPars);
    int32_t status = HgSetReference(&s->editPars, workingSpace);
    if (status != kStatusOk) return status;
    SetColorDefsDefaults(&s->colorDefs);
    MemoryColorsSetDefaults(s->memoryColors);
    s->pointerSubject = -1;
    s->balanceMethod = kBalanceNeutrals;
    s->bitsPerChannel = 8;
    s->gridLevel = kDefaultGridLevel;
    s->preferredSaturation = kDefaultPreferredSaturation;
    s->keenhueMask = kDefaultKeenhueMask;
    status = ResetEditStatePars(s, kEditMaskAll);
    EditSnapshotTake(s, &s->undo);
    return status;
}

void EditStateFreeAnalysis(EditState* s) {
    if (s == nullptr) return;
    Mem_Free(s->analysisImage.pixels);
    Mem_Free(s->analysisMask.bits);
    Mem_Fill(&s->analysisImage, 0, sizeof s->analysisImage);
    Mem_Fill(&s->analysisMask, 0, sizeof s->analysisMask);
}

int32_t EditStateDeriveNeutralTarget(EditState* s) {
    if (s == nullptr) return kStatusProblem;
    EditPars& p = s->editPars;
    float target[3];
    int32_t status = HgNeutralTargetFromColour(s->colorDefs.neutral, &p.refRGB, target);
    if (status != kStatusOk) return status;
    for (int c = 0; c < 3; ++c) p.neutralTarget[c] = target[c];
    p.balCurveValid = 0;
    return kStatusOk;
}

int32_t ResetEditStatePars(EditState* s, HgEditMask mask) {
    if (s == nullptr) return kStatusProblem;
    EditPars& p = s->editPars;
    int32_t status = ResetPars(&p, mask);
    if (status != kStatusOk) return status;
    if (mask & kEditBalance) {
        for (float& t : s->balanceSlider) t = 0.5f;
        s->balanceConfidence = -1.0f;
        s->backdropLevel = 0.0f;
        status = EditStateDeriveNeutralTarget(s);
    }
    if (mask & kEditMaskAllHues) {
        s->activeHandle = 0;
        s->activeColorId = p.hue[0].colorId;
        s->activeHandleHasSamples = 0;
        s->huePlacementPending = 0;
    }
    return status;
}

int32_t CopyParsMasked(const EditPars* saved, EditState* live, HgEditMask mask, UiState* state,
                       ConfirmSpaceChange confirm) {
    if (saved == nullptr || live == nullptr) return kStatusProblem;
    if (!RefRgbMatch(&saved->refRGB, &live->editPars.refRGB, state)) {
        int32_t status = confirm != nullptr ? confirm(state) : kStatusProblem;
        if (status != kStatusOk) return status;
    }
    int32_t status = ResetEditStatePars(live, mask);
    if (status != kStatusOk) return status;

    EditPars& p = live->editPars;
    if ((mask & kEditLinear) && live->bitsPerChannel == 16) p.linear = saved->linear;
    if (mask & kEditBalance) {
        for (int c = 0; c < 3; ++c) p.neutralTarget[c] = saved->neutralTarget[c];
        for (int k = 0; k < kEditBinCount; ++k) p.balBin[k] = saved->balBin[k];
        p.balCurveValid = 0;
    }
    if (mask & kEditBlackPoint) p.blackPoint = saved->blackPoint;
    if (mask & kEditGrayPoint) p.grayPoint = saved->grayPoint;
    if (mask & kEditWhitePoint) p.whitePoint = saved->whitePoint;
    if (mask & kEditBrightness) p.brightness = saved->brightness;
    if (mask & kEditShadow) p.shadow = saved->shadow;
    if (mask & kEditHighlight) p.highlight = saved->highlight;
    if (mask & kEditContrast) p.contrast = saved->contrast;
    if (mask & kEditSaturation) p.saturation = saved->saturation;
    if (mask & kEditMaskAllHues) {
        // The ring is one picture: a single handle copied among reset ones would leave the
        // handles out of order, so the six travel together.
        for (int i = 0; i < kEditHueCount; ++i) p.hue[i] = saved->hue[i];
        live->activeHandleHasSamples = AnyBinUsed(p.hue[live->activeHandle].hueBin) ? 1 : 0;
        for (int c = 0; c < 3; ++c) p.toneColor[c] = saved->toneColor[c];
    }
    if (mask == kEditMaskAll) p.sharpenNoise = saved->sharpenNoise;
    return kStatusOk;
}

int32_t EditSnapshotTake(const EditState* s, EditSnapshot* snapshot) {
    if (s == nullptr || snapshot == nullptr) return kStatusProblem;
    snapshot->pars = s->editPars;
    snapshot->tab = s->currentTab;
    snapshot->balanceMethod = s->balanceMethod;
    for (int i = 0; i < 3; ++i) snapshot->balanceSlider[i] = s->balanceSlider[i];
    snapshot->colorDefs = s->colorDefs;
    for (int i = 0; i < kMemoryColorCount; ++i) snapshot->memoryColors[i] = s->memoryColors[i];
    for (int i = 0; i < 2; ++i) snapshot->samplePoints[i] = s->samplePoints[i];
    return kStatusOk;
}

int32_t EditSnapshotRestore(EditState* s, const EditSnapshot* snapshot) {
    if (s == nullptr || snapshot == nullptr) return kStatusProblem;
    s->editPars = snapshot->pars;
    s->currentTab = snapshot->tab;
    s->balanceMethod = snapshot->balanceMethod;
    for (int i = 0; i < 3; ++i) s->balanceSlider[i] = snapshot->balanceSlider[i];
    s->colorDefs = snapshot->colorDefs;
    for (int i = 0; i < kMemoryColorCount; ++i) s->memoryColors[i] = snapshot->memoryColors[i];
    for (int i = 0; i < 2; ++i) s->samplePoints[i] = snapshot->samplePoints[i];
    // Worked out again only when the snapshot's tab is the hue tab, the one tab whose buttons
    // (the memory colours) act on it.
    if (s->currentTab == 3) {
        s->activeHandleHasSamples = 0;
        for (const SampleBin& bin : s->editPars.hue[s->activeHandle].hueBin) {
            if (bin.count > 0) s->activeHandleHasSamples = 1;
        }
    }
    return kStatusOk;
}
