// The brightness tab's sliders and the parameter sliders; see tone_sliders.h.
#include "edit/window/tone_sliders.h"

#include <cmath>

#include "edit/window/slider.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"

namespace {

// The parameter of a slider: the sliders are the last five single parameters, in their order.
const EditSingle* SingleOf(int32_t slider) {
    static_assert(kToneSliderCount == 5 && kEditSingles[3 + kToneGlobal].group == kEditBrightness &&
                  kEditSingles[3 + kToneSaturation].group == kEditSaturation);
    if (!(0 <= slider && slider < kToneSliderCount)) return nullptr;
    return &kEditSingles[3 + slider];
}

}  // namespace

int32_t ToneSliderGet(const EditPars* p, int32_t slider, float* x) {
    if (p == nullptr || x == nullptr) return kStatusProblem;
    const EditSingle* single = SingleOf(slider);
    if (single == nullptr) return kStatusProblem;
    *x = p->*single->field;
    return kStatusOk;
}

int32_t ToneSliderSet(EditPars* p, int32_t slider, float x) {
    if (p == nullptr) return kStatusProblem;
    const EditSingle* single = SingleOf(slider);
    if (single == nullptr) return kStatusProblem;
    // A slider never leaves the parameter's range; a NaN gives the Reset value.
    p->*single->field = Num_ClampOr(x, single->lo, single->hi, single->reset);
    return kStatusOk;
}

HgEditMask ToneSliderMask(int32_t slider) {
    const EditSingle* single = SingleOf(slider);
    return single != nullptr ? single->group : HgEditMask(0);
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
    const int32_t v =
        int32_t(std::lround(200.0 * double(Num_ClampOr(x, 0.0f, 1.0f, 0.5f)) - 100.0));
    const SliderFill fill = SliderFillPlain();
    return SliderDraw(w, item, SliderCentredX(&r, v), 1, &fill, disabled);
}

void ParamOffsetText(float x, char* text, int32_t capacity) {
    ValueText(ValueScaleNumber(kValueScaleOffset, x), kValueOffset, text, capacity);
}

int32_t ToneValueBoxDraw(UiWindow* w, int16_t item, float x) {
    char text[16];
    ParamOffsetText(x, text, sizeof text);
    return ValueBoxDraw(w, item, text);
}
