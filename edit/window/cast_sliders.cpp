// The colour-cast sliders; see cast_sliders.h.
#include "edit/window/cast_sliders.h"

#include <cmath>
#include <cstring>

#include "edit/window/slider.h"
#include "edit/window/tone_sliders.h"
#include "edit/window/tool_paint.h"
#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "resources/ids/strings.h"

namespace {

bool Known(int32_t slider) {
    return 0 <= slider && slider < kCastSliderCount;
}

// The position t_R, t_G or t_B a slider moves (the temperature moves t_B as well).
int32_t Channel(int32_t slider) {
    if (slider == kCastTemperature) return 0;
    if (slider == kCastTint) return 1;
    return slider;
}

bool TwoSlider(int32_t slider) {
    return slider == kCastTemperature || slider == kCastTint;
}

// The slider value -100..100 of a position.
int32_t ValueOf(float t) {
    return int32_t(std::lround(200.0 * double(Num_Clamp01(t)) - 100.0));
}

// Whether the positions give the balance the record holds: applied, they make the same samples
// and the same target.
bool PositionsGiveBalance(const EditState* s, EditState* scratch) {
    *scratch = *s;
    if (CastApplyBalance(scratch) != kStatusOk) return false;
    const EditPars& a = s->editPars;
    const EditPars& b = scratch->editPars;
    return std::memcmp(a.balBin, b.balBin, sizeof a.balBin) == 0 &&
           std::memcmp(a.neutralTarget, b.neutralTarget, sizeof a.neutralTarget) == 0;
}

// The colour the record's balance (with the linear stage before it) sends to y in each channel,
// found by halving: the stages are per-channel curves that never fall.
int32_t ColourSentTo(EditPars* p, const float y[3], float c[3]) {
    float lo[3] = {0.0f, 0.0f, 0.0f}, hi[3] = {1.0f, 1.0f, 1.0f};
    for (int32_t step = 0; step < 24; ++step) {
        float mid[3], out[3];
        for (int32_t i = 0; i < 3; ++i) mid[i] = 0.5f * (lo[i] + hi[i]);
        const int32_t status = HgEvalColour(p, kEditLinear | kEditBalance, mid, out);
        if (status != kStatusOk) return status;
        for (int32_t i = 0; i < 3; ++i) (out[i] < y[i] ? lo : hi)[i] = mid[i];
    }
    for (int32_t i = 0; i < 3; ++i) c[i] = 0.5f * (lo[i] + hi[i]);
    return kStatusOk;
}

}  // namespace

int32_t CastPositionsFollowBalance(EditState* s) {
    if (s == nullptr) return kStatusProblem;
    int32_t used = kEditBalance;
    if (HgTrimMask(&s->editPars, &used) != kStatusOk) return kStatusProblem;
    if (used == 0) {
        for (float& t : s->balanceSlider) t = 0.5f;
        return kStatusOk;
    }
    MemBlock<EditState> scratch(1);
    if (scratch.get() == nullptr) return kStatusNoMemory;
    if (PositionsGiveBalance(s, scratch.get())) return kStatusOk;
    // Where the sliders in the middle send a grey of middle brightness: grey, or the tint of a
    // tinted neutral definition.
    EditState* middle = scratch.get();
    *middle = *s;
    for (float& t : middle->balanceSlider) t = 0.5f;
    int32_t status = CastApplyBalance(middle);
    const float grey[3] = {0.5f, 0.5f, 0.5f};
    float y[3] = {0.5f, 0.5f, 0.5f};
    if (status == kStatusOk) {
        status = HgEvalColour(&middle->editPars, kEditLinear | kEditBalance, grey, y);
    }
    // The colour the active balance sends there is the cast a single slider sample removes.
    float cast[3];
    if (status == kStatusOk) {
        *middle = *s;
        status = ColourSentTo(&middle->editPars, y, cast);
    }
    float wanted[3];
    if (status == kStatusOk) {
        status = HgEvalColour(&middle->editPars, kEditLinear | kEditBalance, grey, wanted);
    }
    if (status != kStatusOk) return status;
    float t[3];
    for (int32_t i = 0; i < 3; ++i) t[i] = Num_Clamp01(1.0f - cast[i]);
    // One sample's curves do not pass exactly through it (they are fitted with the black and
    // white ends), so the positions are refined until their balance treats the middle grey as
    // the active one does: a position moved right lifts its channel, about one for one.
    for (int32_t round = 0; round < 6 && status == kStatusOk; ++round) {
        *middle = *s;
        for (int32_t i = 0; i < 3; ++i) middle->balanceSlider[i] = t[i];
        float got[3];
        status = CastApplyBalance(middle);
        if (status == kStatusOk) {
            status = HgEvalColour(&middle->editPars, kEditLinear | kEditBalance, grey, got);
        }
        for (int32_t i = 0; i < 3 && status == kStatusOk; ++i) {
            t[i] = Num_Clamp01(t[i] + (wanted[i] - got[i]));
        }
    }
    if (status != kStatusOk) return status;
    for (int32_t i = 0; i < 3; ++i) s->balanceSlider[i] = t[i];
    return kStatusOk;
}

int32_t CastSliderPosition(const EditState* s, int32_t slider, float* t) {
    if (s == nullptr || t == nullptr || !Known(slider)) return kStatusProblem;
    *t = s->balanceSlider[Channel(slider)];
    return kStatusOk;
}

int32_t CastSliderPositionAt(const Ui_Rect* r, Ui_Point p, float* t) {
    if (t == nullptr) return kStatusProblem;
    int32_t v = 0;
    const int32_t status = SliderCentredValue(r, p.h, &v);
    if (status != kStatusOk) return status;
    // (v + 100) / 200 for the three sliders and 0.5 + v / 200 for the two are the same number.
    *t = Num_Clamp01(float(v + 100) / 200.0f);
    return kStatusOk;
}

int32_t CastSliderMove(EditState* s, int32_t slider, float t) {
    if (s == nullptr || !Known(slider)) return kStatusProblem;
    t = Num_Clamp01(t);
    s->balanceSlider[Channel(slider)] = t;
    if (slider == kCastTemperature) s->balanceSlider[2] = 1.0f - t;
    return CastApplyBalance(s);
}

int32_t CastApplyBalance(EditState* s) {
    if (s == nullptr) return kStatusProblem;
    // The reset puts the positions back to the middle; they are what is being applied.
    float t[3];
    for (int c = 0; c < 3; ++c) t[c] = Num_Clamp01(s->balanceSlider[c]);
    int32_t status = ResetEditStatePars(s, kEditBalance);
    for (int c = 0; c < 3; ++c) s->balanceSlider[c] = t[c];
    if (status != kStatusOk) return status;
    const float colour[3] = {1.0f - t[0], 1.0f - t[1], 1.0f - t[2]};
    return HgAddBalanceColour(&s->editPars, colour);
}

void CastValueText(int32_t slider, float t, char* text, int32_t capacity) {
    if (!TwoSlider(slider)) {
        ValueText(ValueScaleNumber(kValueScaleOffset, t), kValueSigned, text, capacity);
        return;
    }
    ParamOffsetText(t, text, capacity);
}

int32_t CastSliderDraw(UiWindow* w, int16_t item, int32_t slider, float t, uint8_t disabled) {
    Ui_Rect r;
    if (!Known(slider) || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    const SliderFill fill = SliderFillForChannel(Channel(slider));
    return SliderDraw(w, item, SliderCentredX(&r, ValueOf(t)), 1, &fill, disabled);
}

int32_t CastValueBoxDraw(UiWindow* w, int16_t item, int32_t slider, float t) {
    if (!Known(slider)) return kStatusError;
    char text[16];
    CastValueText(slider, t, text, sizeof text);
    return ValueBoxDraw(w, item, text);
}

int32_t CastLabelDraw(UiWindow* w, int16_t item, int32_t slider) {
    Ui_Rect r;
    if (!TwoSlider(slider) || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    char label[256];
    LookString(w, slider == kCastTemperature ? kStrTemperatureLabel : kStrTintLabel, label);
    LookTextLine(w, label, &r, kUiAlignLeft, 0, kLookInk);
    return Ui_Draw_End(w);
}
