// Reset values of the edit parameters; see edit_pars.h.
#include "engine/edit_pars.h"

#include "platform/mem.h"

namespace {

void SetIdentity(float* curve) {
    for (int i = 0; i < kEditCurveSize; ++i) curve[i] = EditIdentityRamp(i);
}

void ClearBins(SampleBin* bins) {
    Mem_Fill(bins, 0, sizeof(SampleBin) * kEditBinCount);
}

}  // namespace

bool EditColorIdValid(int32_t colorId) {
    return 0 <= colorId && colorId < kEditPlainColorId + kEditHueCount;
}

bool EditToneColorValid(const float toneColor[3]) {
    for (int c = 0; c < 3; ++c) {
        if (!(0.0f <= toneColor[c] && toneColor[c] <= 1.0f)) return false;
    }
    return true;
}

float EditIdentityRamp(int i) {
    return float(double(i) / 255.0);
}

int32_t ResetPars(EditPars* p, HgEditMask mask) {
    if (p == nullptr) return kStatusProblem;
    if (mask & kEditLinear) p->linear = 0;
    if (mask & kEditBalance) {
        for (float& v : p->neutralTarget) v = 0.0f;
        ClearBins(p->balBin);
        for (auto& curve : p->balCurve) SetIdentity(curve);
        p->balCurveValid = 1;
    }
    for (const EditSingle& single : kEditSingles) {
        if (mask & single.group) p->*single.field = single.reset;
    }
    // The curves derived from shadow and highlight go back to the identity with them.
    if (mask & kEditShadow) {
        p->shadowCurveFor = p->shadow;
        SetIdentity(p->shadowCurve);
    }
    if (mask & kEditHighlight) {
        p->highlightCurveFor = p->highlight;
        SetIdentity(p->highlightCurve);
    }
    // Toning and the memory-colour ids belong to the hue tool as a whole: a reset of single
    // handles keeps them.
    if ((mask & kEditMaskAllHues) == kEditMaskAllHues) {
        for (int i = 0; i < kEditHueCount; ++i) p->hue[i].colorId = kEditPlainColorId + i;
        for (int c = 0; c < 3; ++c) {
            p->toneColor[c] = 0.5f;
            p->toneCurveFor[c] = 0.5f;
            SetIdentity(p->toneCurve[c]);
        }
    }
    for (int i = 0; i < kEditHueCount; ++i) {
        if (!(mask & (kEditHue0 << i))) continue;
        HueHandle& h = p->hue[i];
        h.baseHue = float(i * 360 / kEditHueCount);
        h.hueShift = 0.0f;
        h.brightness = 0.5f;
        h.saturation = 0.5f;
        ClearBins(h.hueBin);
    }
    return kStatusOk;
}

int32_t SetSharpenNoiseDefaults(SharpenNoise* s) {
    if (s == nullptr) return kStatusProblem;
    Mem_Fill(s, 0, sizeof *s);
    s->noiseFlag = 1;
    s->sharpenStrength = kSharpenStrengthRange.byDefault;
    s->sharpenK = kSharpenKRange.byDefault;
    for (int i = 0; i < 3; ++i) {
        s->noiseRadius[i] = kNoiseRadiusRange[i].byDefault;
        s->noiseThreshold[i] = kNoiseThresholdRange[i].byDefault;
    }
    s->noiseK = kNoiseKRange.byDefault;
    return kStatusOk;
}

bool RepairSharpenNoise(SharpenNoise* s, uint8_t parts) {
    if (s == nullptr) return false;
    bool repaired = false;
    auto repair = [&repaired](int32_t* v, const SharpenNoiseRange& range) {
        if (range.lo <= *v && *v <= range.hi) return;
        *v = range.byDefault;
        repaired = true;
    };
    if (parts & kSharpenPart) {
        repair(&s->sharpenStrength, kSharpenStrengthRange);
        repair(&s->sharpenK, kSharpenKRange);
    }
    if (parts & kNoisePart) {
        for (int i = 0; i < 3; ++i) {
            repair(&s->noiseRadius[i], kNoiseRadiusRange[i]);
            repair(&s->noiseThreshold[i], kNoiseThresholdRange[i]);
        }
        repair(&s->noiseK, kNoiseKRange);
    }
    return repaired;
}

int32_t SetParsDefaults(EditPars* p) {
    if (p == nullptr) return kStatusProblem;
    Mem_Fill(p, 0, sizeof *p);
    ResetPars(p, kEditMaskAll);
    SetSharpenNoiseDefaults(&p->sharpenNoise);
    RefRgbSetDefault(&p->refRGB);
    return kStatusOk;
}
