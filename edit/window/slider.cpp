// Sliders, value boxes and the help button; see slider.h.
#include "edit/window/slider.h"

#include <cmath>

#include "platform/format.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"

namespace {

constexpr int32_t kCentredRange = 100;
constexpr int32_t kGrooveHeight = 6;  // pixels
constexpr int32_t kThumbWidth = 5;

// The track runs between the first and the last pixel column of the item.
int32_t TrackLeft(const Ui_Rect* r) {
    return r->left;
}
int32_t TrackSpan(const Ui_Rect* r) {
    return r->right - 1 - r->left;
}

Ui_Color Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return Ui_ColorFromRGB(r, g, b);
}

}  // namespace

int32_t ValueScaleNumber(ValueScale scale, float x) {
    const double offset = double(Num_ClampOr(x, 0.0f, 1.0f, 0.5f)) - 0.5;
    const int32_t magnitude = int32_t(std::lround(double(scale.hi - scale.lo) * std::fabs(offset)));
    return offset < 0.0 ? -magnitude : magnitude;
}

float ValueScalePosition(ValueScale scale, int32_t number) {
    return 0.5f + float(number) / float(scale.hi - scale.lo);
}

void ValueText(int32_t value, int32_t format, char* text, int32_t capacity) {
    if (text == nullptr || capacity < 1) return;
    const size_t cap = size_t(capacity);
    switch (format) {
        case kValueSigned:
            Str_FormatN(text, cap, value < 1 ? "%d" : "+%d", int(value));
            return;
        case kValueOffset:
            if (value == 0) {
                Str_FormatN(text, cap, "0");
            } else {
                Str_FormatN(text, cap, value < 0 ? "-%d" : "+%d",
                            int(value < 0 ? -int64_t(value) : value));
            }
            return;
        case kValueTwoDigit:
            Str_FormatN(text, cap, "%2d", int(value));
            return;
        default:
            Str_FormatN(text, cap, "%d", int(value));
            return;
    }
}

SliderFill SliderFillForChannel(int32_t channel) {
    switch (channel) {
        case 0:
            return {Rgb(220, 40, 40), Rgb(0, 190, 200)};
        case 1:
            return {Rgb(40, 170, 60), Rgb(200, 40, 190)};
        default:
            return {Rgb(50, 80, 220), Rgb(225, 200, 0)};
    }
}

SliderFill SliderFillPlain() {
    return {Rgb(70, 110, 170), Rgb(70, 110, 170)};
}

int32_t SliderCentredValue(const Ui_Rect* r, int32_t h, int32_t* value) {
    if (r == nullptr || value == nullptr) return kStatusProblem;
    const int32_t width = r->right - r->left;
    if (width < 3) return kStatusProblem;
    // The centre is a pixel column of its own, so that 0 can always be hit; each side's half-width
    // runs from it to that side's last column, so both ends are reached exactly.
    const int32_t centre = r->left + (width - 1) / 2;
    const int32_t half = h < centre ? centre - r->left : r->right - 1 - centre;
    const double offset = double(h - centre) / double(half);
    *value = Num_Clamp(int32_t(std::lround(kCentredRange * offset)), -kCentredRange, kCentredRange);
    return kStatusOk;
}

int32_t SliderCentredX(const Ui_Rect* r, int32_t value) {
    if (r == nullptr) return 0;
    value = Num_Clamp(value, -kCentredRange, kCentredRange);
    const int32_t width = r->right - r->left;
    const int32_t centre = r->left + (width - 1) / 2;
    const int32_t half = value < 0 ? centre - r->left : r->right - 1 - centre;
    return centre + int32_t(std::lround(double(half) * value / kCentredRange));
}

int32_t SliderRangeValue(const Ui_Rect* r, int32_t h, int32_t lo, int32_t hi, int32_t* value) {
    if (r == nullptr || value == nullptr || !(lo < hi)) return kStatusProblem;
    const int32_t span = TrackSpan(r);
    if (span < 1) return kStatusProblem;
    const double t = double(Num_Clamp(h - TrackLeft(r), 0, span)) / double(span);
    *value = Num_Clamp(lo + int32_t(std::lround(t * (hi - lo))), lo, hi);
    return kStatusOk;
}

int32_t SliderRangeX(const Ui_Rect* r, int32_t value, int32_t lo, int32_t hi) {
    if (r == nullptr || !(lo < hi)) return 0;
    const double t = double(Num_Clamp(value, lo, hi) - lo) / double(hi - lo);
    return TrackLeft(r) + int32_t(std::lround(t * TrackSpan(r)));
}

int32_t SliderDraw(UiWindow* w, int16_t item, int32_t x, uint8_t centred, const SliderFill* fill,
                   uint8_t disabled) {
    Ui_Rect r;
    if (fill == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    x = Num_Clamp(x, r.left, r.right - 1);
    const int32_t middleV = (r.top + r.bottom) / 2;
    const Ui_Rect groove =
        Ui_Rect_Make(middleV - kGrooveHeight / 2, r.left, middleV + kGrooveHeight / 2, r.right);
    const Ui_Color grooveFill = Rgb(255, 255, 255);
    const Ui_Color grooveFrame = Rgb(128, 128, 128);
    Ui_Draw_FillRect(w, &groove, &grooveFill);
    const int32_t origin = centred ? SliderCentredX(&r, 0) : r.left;
    const bool below = centred && x < origin;
    Ui_Color colour = below ? fill->below : fill->atOrAbove;
    if (disabled) colour = Rgb(190, 190, 190);
    const int32_t from = x < origin ? x : origin;
    const int32_t to = x < origin ? origin : x + 1;
    const Ui_Rect bar = Ui_Rect_Make(groove.top, from, groove.bottom, to);
    if (to > from) Ui_Draw_FillRect(w, &bar, &colour);
    Ui_Draw_FrameRect(w, &groove, &grooveFrame);
    if (centred) {
        // A tick at the centre: where "no change" lies.
        Ui_Draw_SetPen(w, &grooveFrame, 1);
        Ui_Draw_MoveTo(w, int16_t(groove.bottom), int16_t(origin));
        Ui_Draw_LineTo(w, int16_t(r.bottom - 1), int16_t(origin));
    }
    const Ui_Rect thumb = Ui_Rect_Make(r.top + 1, x - kThumbWidth / 2, r.bottom - 1,
                                       x - kThumbWidth / 2 + kThumbWidth);
    const Ui_Color thumbFill = disabled ? Rgb(220, 220, 220) : Rgb(250, 250, 250);
    const Ui_Color thumbFrame = disabled ? Rgb(160, 160, 160) : Rgb(60, 60, 60);
    Ui_Draw_FillRect(w, &thumb, &thumbFill);
    Ui_Draw_FrameRect(w, &thumb, &thumbFrame);
    // The keyboard focus (Tab stops at sliders that take the arrow keys): a dotted frame.
    if (Ui_Item_Focused(w) == item) Ui_Draw_FocusRect(w, &r);
    return Ui_Draw_End(w);
}

int32_t SliderKeyStep(UiWindow* w, uint8_t key) {
    // The framework's key codes: Left 37, Up 38, Right 39, Down 40.
    constexpr uint8_t kLeft = 37, kDown = 40;
    if (key < kLeft || key > kDown) return 0;
    Ui_Dlg* d = nullptr;
    const bool shift = Ui_Dlg_Get(w, &d) == kStatusOk && d->shift != 0;
    return (key == kLeft || key == kDown ? -1 : 1) * (shift ? 10 : 1);
}

int32_t ValueBoxDraw(UiWindow* w, int16_t item, const char* text) {
    Ui_Rect r;
    if (text == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    ValueBoxPaint(w, &r, text);
    return Ui_Draw_End(w);
}

int32_t ValueBoxPaint(UiWindow* w, const Ui_Rect* r, const char* text) {
    if (r == nullptr || text == nullptr) return kStatusProblem;
    const Ui_Color white = Rgb(255, 255, 255), frame = Rgb(150, 150, 150), ink = Rgb(0, 0, 0);
    Ui_Draw_FillRect(w, r, &white);
    Ui_Draw_FrameRect(w, r, &frame);
    int16_t width = 0, height = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, text, &width, &height);
    const int32_t top = r->top + (r->bottom - r->top - height) / 2;
    Ui_Draw_SetPen(w, &ink, 1);
    Ui_Draw_TextAt(w, text, int16_t(top), int16_t((r->left + r->right) / 2), kUiAlignCenter);
    return kStatusOk;
}

int32_t HelpButtonDraw(UiWindow* w, int16_t item) {
    const bool pressed = item < 0;
    const int16_t number = pressed ? int16_t(-item) : item;
    Ui_Rect r;
    if (Ui_Item_GetRect(w, number, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    const int32_t side =
        (r.right - r.left) < (r.bottom - r.top) ? r.right - r.left : r.bottom - r.top;
    const Ui_Rect disc = Ui_Rect_Make(r.top, r.left, r.top + side, r.left + side);
    const Ui_Color face = pressed ? Rgb(70, 110, 170) : Rgb(245, 245, 245);
    const Ui_Color frame = Rgb(70, 110, 170);
    const Ui_Color ink = pressed ? Rgb(255, 255, 255) : Rgb(40, 70, 130);
    Ui_Draw_FillEllipse(w, &disc, &face);
    Ui_Draw_FrameEllipse(w, &disc, &frame);
    int16_t width = 0, height = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "?", &width, &height);
    Ui_Draw_SetPen(w, &ink, 1);
    Ui_Draw_TextAt(w, "?", int16_t(disc.top + (side - height) / 2), int16_t(disc.left + side / 2),
                   kUiAlignCenter);
    return Ui_Draw_End(w);
}

int32_t HelpButtonTrack(UiWindow* w, int16_t item, int16_t phase) {
    Ui_Dlg_Info* info = nullptr;
    if (Ui_Dlg_Info_Get(w, &info) != kStatusOk || info->trackSlots == nullptr || item < 1) {
        return kStatusError;
    }
    Ui_TrackSlot& slot = info->trackSlots[item - 1];
    const uint8_t wasInside = phase == kUiTrackBegin ? 0 : uint8_t(slot.value == 1);
    const int32_t inside = Ui_Item_TrackButton(w, item, phase, wasInside);
    if (inside < 0) return inside;
    slot.value = inside;
    if (phase == kUiTrackBegin) return 1;
    if (phase == kUiTrackEnd) return inside ? 0 : 1;
    return 0;
}
