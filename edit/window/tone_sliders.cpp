// The brightness tab's sliders and the parameter sliders; see tone_sliders.h.
#include "edit/window/tone_sliders.h"

#include <cmath>

#include "edit/window/slider.h"
#include "platform/ui/controls.h"

namespace {

float* Field(EditPars* p, int32_t slider) {
    switch (slider) {
        case kToneGlobal:
            return &p->brightness;
        case kToneShadows:
            return &p->shadow;
        case kToneHighlights:
            return &p->highlight;
        case kToneContrast:
            return &p->contrast;
        case kToneSaturation:
            return &p->saturation;
        default:
            return nullptr;
    }
}

float Clamp01(float x) {
    if (x != x) return 0.5f;
    return x < 0.0f ? 0.0f : x > 1.0f ? 1.0f : x;
}

}  // namespace

int32_t ToneSliderGet(const EditPars* p, int32_t slider, float* x) {
    if (p == nullptr || x == nullptr) return kStatusProblem;
    const float* field = Field(const_cast<EditPars*>(p), slider);
    if (field == nullptr) return kStatusProblem;
    *x = *field;
    return kStatusOk;
}

int32_t ToneSliderSet(EditPars* p, int32_t slider, float x) {
    if (p == nullptr) return kStatusProblem;
    float* field = Field(p, slider);
    if (field == nullptr) return kStatusProblem;
    *field = Clamp01(x);
    return kStatusOk;
}

HgEditMask ToneSliderMask(int32_t slider) {
    switch (slider) {
        case kToneGlobal:
            return kEditBrightness;
        case kToneShadows:
            return kEditShadow;
        case kToneHighlights:
            return kEditHighlight;
        case kToneContrast:
            return kEditContrast;
        case kToneSaturation:
            return kEditSaturation;
        default:
            return 0;
    }
}

int32_t ParamSliderValueAt(const Ui_Rect* r, Ui_Point p, float* x) {
    if (x == nullptr) return kStatusProblem;
    int32_t v = 0;
    const int32_t status = SliderCentredValue(r, p.h, &v);
    if (status != kStatusOk) return status;
    *x = float(v + 100) / 200.0f;
    return kStatusOk;
}

int32_t ParamSliderDraw(UiWindow* w, int16_t item, float x, uint8_t disabled) {
    Ui_Rect r;
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    const int32_t v = int32_t(std::lround(200.0 * double(Clamp01(x)) - 100.0));
    const SliderFill fill = SliderFillPlain();
    return SliderDraw(w, item, SliderCentredX(&r, v), 1, &fill, disabled);
}

void ParamOffsetText(float x, char* text, int32_t capacity) {
    const double offset = double(Clamp01(x)) - 0.5;
    const int32_t magnitude = int32_t(std::lround(200.0 * std::fabs(offset)));
    ValueText(offset < 0.0 ? -magnitude : magnitude, kValueOffset, text, capacity);
}

int32_t ToneValueBoxDraw(UiWindow* w, int16_t item, float x) {
    char text[16];
    ParamOffsetText(x, text, sizeof text);
    return ValueBoxDraw(w, item, text);
}
