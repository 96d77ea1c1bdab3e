// The sharpen and noise dialog; see sharpen_noise_dialog.h.
#include "edit/window/sharpen_noise_dialog.h"

#include "edit/window/help_window.h"
#include "edit/window/slider.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "resources/ids/dlg1008.h"

namespace {

// One slider row: its items, the field it edits and its range.
struct Row {
    int16_t slider, value;
    int32_t lo, hi;
    int32_t* (*field)(SharpenNoise* s);
};
const Row kRows[] = {
    {kSharpenNoiseStrengthSlider, kSharpenNoiseStrengthValue, kSharpenStrengthMin,
     kSharpenStrengthMax, [](SharpenNoise* s) { return &s->sharpenStrength; }},
    {kSharpenNoiseBlueRadiusSlider, kSharpenNoiseBlueRadiusValue, kNoiseRadiusMin, kNoiseRadiusMax,
     [](SharpenNoise* s) { return &s->noiseRadius[1]; }},
    {kSharpenNoiseBlueThresholdSlider, kSharpenNoiseBlueThresholdValue, kNoiseThresholdMin,
     kNoiseThresholdMax, [](SharpenNoise* s) { return &s->noiseThreshold[1]; }},
    {kSharpenNoiseRedRadiusSlider, kSharpenNoiseRedRadiusValue, kNoiseRadiusMin, kNoiseRadiusMax,
     [](SharpenNoise* s) { return &s->noiseRadius[2]; }},
    {kSharpenNoiseRedThresholdSlider, kSharpenNoiseRedThresholdValue, kNoiseThresholdMin,
     kNoiseThresholdMax, [](SharpenNoise* s) { return &s->noiseThreshold[2]; }},
};

struct SharpenWindow {
    const DialogEnv* env;
    EditState* state;
    SharpenNoise saved;  // what "Cancel" puts back
};

SharpenWindow* Of(UiWindow* w) {
    Ui_Dlg* d = nullptr;
    Ui_Dlg_Get(w, &d);
    return d != nullptr ? static_cast<SharpenWindow*>(d->userData) : nullptr;
}

const Row* RowOf(int16_t item) {
    for (const Row& row : kRows) {
        if (row.slider == item || row.value == item) return &row;
    }
    return nullptr;
}

int32_t Held(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : v > hi ? hi : v;
}

int32_t DrawRow(UiWindow* w, int16_t item) {
    SharpenWindow* sw = Of(w);
    const Row* row = RowOf(item);
    Ui_Rect r;
    if (sw == nullptr || row == nullptr || Ui_Item_GetRect(w, row->slider, &r) != kStatusOk) {
        return kStatusError;
    }
    const int32_t value = Held(*row->field(&sw->state->editPars.sharpenNoise), row->lo, row->hi);
    if (item == row->value) {
        char text[16];
        ValueText(value, kValueTwoDigit, text, sizeof text);
        return ValueBoxDraw(w, item, text);
    }
    const SliderFill fill = SliderFillPlain();
    return SliderDraw(w, item, SliderRangeX(&r, value, row->lo, row->hi), 0, &fill, 0);
}

// The views wait for the host's preview procedures: an empty framed area for now.
int32_t DrawView(UiWindow* w, int16_t item) {
    Ui_Rect r;
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color fill = Ui_ColorFromRGB(96, 96, 96), frame = Ui_ColorFromRGB(128, 128, 128);
    Ui_Draw_FillRect(w, &r, &fill);
    Ui_Draw_FrameRect(w, &r, &frame);
    return Ui_Draw_End(w);
}

void RedrawRows(UiWindow* w) {
    for (const Row& row : kRows) {
        DrawRow(w, row.slider);
        DrawRow(w, row.value);
    }
}

int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    SharpenWindow* sw = Of(w);
    Ui_Dlg* d = nullptr;
    if (sw == nullptr || Ui_Dlg_Get(w, &d) != kStatusOk) return 0;
    if (item == kSharpenNoiseHelp) return HelpButtonTrack(w, item, phase);
    const Row* row = RowOf(item);
    if (row == nullptr || row->slider != item) return phase == kUiTrackEnd ? 1 : 0;
    Ui_Rect r;
    int32_t value = 0;
    if (Ui_Item_GetRect(w, item, &r) == kStatusOk &&
        SliderRangeValue(&r, d->mouseH, row->lo, row->hi, &value) == kStatusOk) {
        *row->field(&sw->state->editPars.sharpenNoise) = value;
        DrawRow(w, row->slider);
        DrawRow(w, row->value);
    }
    return 1;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    SharpenWindow* sw = Of(w);
    Ui_Dlg* d = nullptr;
    if (sw == nullptr || Ui_Dlg_Get(w, &d) != kStatusOk) return kStatusError;
    SharpenNoise& s = sw->state->editPars.sharpenNoise;
    switch (item) {
        case kSharpenNoiseOk:
            d->done = 1;
            return kStatusOk;
        case kSharpenNoiseCancel:
            s = sw->saved;
            d->done = 1;
            return kStatusOk;
        case kSharpenNoiseRestoreDefaults:
            s.sharpenStrength = kSharpenStrengthDefault;
            for (int i = 1; i <= 2; ++i) {
                s.noiseRadius[i] = kNoiseRadiusDefault[i];
                s.noiseThreshold[i] = kNoiseThresholdDefault;
            }
            RedrawRows(w);
            return kStatusOk;
        case kSharpenNoiseHelp:
            ShowHelpTopic(sw->env->help, kTopicSharpenNoise);
            return kStatusOk;
        default:
            return kStatusOk;
    }
}

int32_t Init(UiWindow* w) {
    SharpenWindow* sw = Of(w);
    if (sw == nullptr) return kStatusProblem;
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetDrawProc(w, kSharpenNoiseHelp, HelpButtonDraw);
    Ui_Dlg_SetDrawProc(w, kSharpenNoiseDetailView, DrawView);
    Ui_Dlg_SetDrawProc(w, kSharpenNoiseNavigationView, DrawView);
    for (const Row& row : kRows) {
        Ui_Dlg_SetDrawProc(w, row.slider, DrawRow);
        Ui_Dlg_SetDrawProc(w, row.value, DrawRow);
    }
    Ui_Item_SetDefault(w, kSharpenNoiseOk);
    const SharpenNoise& s = sw->state->editPars.sharpenNoise;
    for (int16_t item = kSharpenNoiseSharpenTitle; item <= kSharpenNoiseSharpenFrame; ++item) {
        Ui_Item_Show(w, item, s.sharpenOn);
    }
    for (int16_t item = kSharpenNoiseNoiseTitle; item <= kSharpenNoiseNoiseNote; ++item) {
        Ui_Item_Show(w, item, s.noiseOn);
    }
    Ui_Item_Enable(w, kSharpenNoiseZoomOut, 0);
    Ui_Item_Enable(w, kSharpenNoiseZoomIn, 0);
    return kStatusOk;
}

}  // namespace

int32_t SharpenNoiseDialog(const DialogEnv* env, EditState* editState, bool* accepted) {
    if (env == nullptr || editState == nullptr || accepted == nullptr) return kStatusProblem;
    *accepted = false;
    SharpenWindow sw{env, editState, editState->editPars.sharpenNoise};
    int16_t item = 0;
    int32_t status = Ui_Dlg_Run(env->state, kDlgSharpenNoise, env->parent, Init, &sw, &item);
    *accepted = status == kStatusOk && item == kSharpenNoiseOk;
    // Closed any other way than "OK" (the close box too): the values go back.
    if (!*accepted) editState->editPars.sharpenNoise = sw.saved;
    return status;
}
