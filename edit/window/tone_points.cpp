// The black, grey and white point tab; see tone_points.h.
#include "edit/window/tone_points.h"

#include <cmath>

#include "edit/window/slider.h"
#include "edit/window/tool_paint.h"
#include "engine/luma.h"
#include "platform/format.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/strings.h"

namespace {

constexpr double kPointGap = 2.0 / 255.0;  // between black and white
constexpr double kGrayGap = 1.0 / 255.0;   // between the grey level and either end
constexpr double kSame = 1e-6;             // a point that moves less has not changed

// The inset that keeps a handle at either end of the span inside the item; the handle's half
// width is one less.
int32_t Inset(int32_t width) {
    const int32_t inset = int32_t(std::lround(width * 0.025));
    return inset < 4 ? 4 : inset;
}

double LevelOf(const TonePoints* t, int32_t point) {
    switch (point) {
        case kTonePointBlack:
            return t->black;
        case kTonePointGray:
            return TonePointsGrayLevel(t);
        default:
            return t->white;
    }
}

// The level under a column, 0..1.
double LevelAt(const Ui_Rect* r, int32_t h) {
    int32_t first = 0, last = 0;
    if (TonePointsSpan(r, &first, &last) != kStatusOk) return 0.0;
    return Num_Clamp01(double(h - first) / double(last - first));
}

bool Moved(float before, float after) {
    return std::fabs(double(after) - double(before)) >= kSame;
}

struct HandleShape {
    int32_t halfWidth;
    int32_t scaleTop, scaleBottom;  // the black-to-white strip
    int32_t tip, base;              // rows of a handle's tip and base
};

HandleShape ShapeOf(const Ui_Rect* r) {
    HandleShape s{};
    s.halfWidth = Inset(Ui_Rect_Width(r)) - 1;
    s.scaleTop = r->top + 1;
    s.scaleBottom = s.scaleTop + 5;
    s.tip = s.scaleBottom + 1;
    int32_t height = int32_t(std::lround(1.6 * s.halfWidth));
    if (s.tip + height > r->bottom - 1) height = r->bottom - 1 - s.tip;
    s.base = s.tip + (height > 3 ? height : 3);
    return s;
}

}  // namespace

int32_t TonePointsOf(const EditPars* p, TonePoints* t) {
    if (p == nullptr || t == nullptr) return kStatusProblem;
    *t = TonePoints{p->blackPoint, p->grayPoint, p->whitePoint};
    return kStatusOk;
}

int32_t TonePointsStore(const TonePoints* t, EditPars* p) {
    if (p == nullptr || t == nullptr) return kStatusProblem;
    p->blackPoint = t->black;
    p->grayPoint = t->gray;
    p->whitePoint = t->white;
    return kStatusOk;
}

double TonePointsGrayLevel(const TonePoints* t) {
    if (t == nullptr) return 0.5;
    return double(t->black) + double(t->gray) * (double(t->white) - double(t->black));
}

double TonePixelBrightness(const float rgb[3]) {
    if (rgb == nullptr) return 0.0;
    return HgLuma<double>(rgb[0], rgb[1], rgb[2]);
}

int32_t TonePointForClick(const TonePoints* t, double p, int32_t* point, float* value) {
    if (t == nullptr || point == nullptr || value == nullptr || p != p) return kStatusProblem;
    const double b = t->black, w = t->white, g = TonePointsGrayLevel(t);
    *point = kTonePointNone;
    float v = 0.0f, old = 0.0f;
    int32_t which = kTonePointBlack;
    if (p > (w + g) / 2.0) {
        which = kTonePointWhite;
        v = float(p);
        old = t->white;
    } else if (p > (b + g) / 2.0) {
        // Only reached with b < p <= w and b < w, so the fraction lies inside 0..1.
        which = kTonePointGray;
        v = float((p - b) / (w - b));
        old = t->gray;
    } else {
        v = float(p);
        old = t->black;
    }
    if (Moved(old, v)) {
        *point = which;
        *value = v;
    }
    return kStatusOk;
}

int32_t TonePointsSpan(const Ui_Rect* r, int32_t* first, int32_t* last) {
    if (r == nullptr || first == nullptr || last == nullptr) return kStatusProblem;
    const int32_t inset = Inset(Ui_Rect_Width(r));
    const int32_t a = r->left + inset, z = r->right - 1 - inset;
    if (z - a < 2) return kStatusProblem;
    *first = a;
    *last = z;
    return kStatusOk;
}

int32_t TonePointsColumn(const Ui_Rect* r, double level) {
    int32_t first = 0, last = 0;
    if (TonePointsSpan(r, &first, &last) != kStatusOk) return r != nullptr ? r->left : 0;
    return first + int32_t(std::lround(Num_Clamp01(level) * (last - first)));
}

int32_t TonePointsHit(const Ui_Rect* r, Ui_Point p, const TonePoints* t, int32_t* point) {
    if (r == nullptr || t == nullptr || point == nullptr) return kStatusProblem;
    const int32_t reach = ShapeOf(r).halfWidth + 3;
    *point = kTonePointNone;
    int32_t best = reach + 1;
    for (int32_t i = kTonePointBlack; i <= kTonePointWhite; ++i) {
        const int32_t x = TonePointsColumn(r, LevelOf(t, i));
        const int32_t d = p.h > x ? p.h - x : x - p.h;
        // Handles that stand together: the later one (further right) for a pointer right of
        // them, the first for one on or left of them, so a drag can always pull them apart.
        if (d < best || (d == best && p.h > x)) {
            best = d;
            *point = i;
        }
    }
    if (best > reach) *point = kTonePointNone;
    return kStatusOk;
}

int32_t TonePointsMoveTo(int32_t point, double level, TonePoints* t, uint8_t* changed) {
    if (t == nullptr || !(kTonePointBlack <= point && point <= kTonePointWhite)) {
        return kStatusProblem;
    }
    const double b = t->black, w = t->white;
    const TonePoints before = *t;
    if (point == kTonePointBlack) {
        const double hi = (w < 1.0 ? w : 1.0) - kPointGap;
        if (hi >= 0.0) t->black = float(level < hi ? level : hi);
    } else if (point == kTonePointWhite) {
        const double lo = (b > 0.0 ? b : 0.0) + kPointGap;
        if (lo <= 1.0) t->white = float(level > lo ? level : lo);
    } else {
        const double lo = b + kGrayGap, hi = w - kGrayGap;
        if (lo <= hi) {
            const double g = Num_Clamp(level, lo, hi);
            t->gray = float((g - b) / (w - b));
        }
    }
    if (changed != nullptr) {
        *changed = uint8_t(Moved(before.black, t->black) || Moved(before.gray, t->gray) ||
                           Moved(before.white, t->white));
    }
    return kStatusOk;
}

int32_t TonePointsDrag(const Ui_Rect* r, Ui_Point p, int32_t point, TonePoints* t,
                       uint8_t* changed) {
    if (r == nullptr) return kStatusProblem;
    return TonePointsMoveTo(point, LevelAt(r, p.h), t, changed);
}

uint8_t TonePointsClipping(int32_t point, uint8_t alt) {
    if (!alt) return kToneClipNone;
    if (point == kTonePointBlack) return kToneClipBlack;
    if (point == kTonePointWhite) return kToneClipWhite;
    return kToneClipNone;
}

int32_t TonePointsValueText(const TonePoints* t, int32_t point, char* text, int32_t capacity) {
    if (t == nullptr || text == nullptr || capacity < 1) return kStatusProblem;
    if (!(kTonePointBlack <= point && point <= kTonePointWhite)) return kStatusProblem;
    const float value = point == kTonePointBlack  ? t->black
                        : point == kTonePointGray ? t->gray
                                                  : t->white;
    ValueText(int32_t(std::lround(100.0 * double(value))), kValuePlain, text, capacity);
    return kStatusOk;
}

int32_t TonePointsHistogramDraw(UiWindow* w, int16_t item, const uint32_t* histogram,
                                const TonePoints* t) {
    Ui_Rect r;
    int32_t first = 0, last = 0;
    if (t == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk ||
        TonePointsSpan(&r, &first, &last) != kStatusOk) {
        return kStatusError;
    }
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color well = LookColor(kLookWell), frame = LookColor(kLookFrame);
    const Ui_Color clipped = LookColor(Ui_RGB{232, 234, 238});
    const Ui_Color bar = LookColor(Ui_RGB{88, 92, 100}),
                   clippedBar = LookColor(Ui_RGB{160, 164, 172});
    Ui_Draw_FillRect(w, &r, &well);
    const int32_t plotTop = r.top + 3, plotBottom = r.bottom - 1;
    const int32_t blackColumn = TonePointsColumn(&r, t->black);
    const int32_t whiteColumn = TonePointsColumn(&r, t->white);
    // The levels the points clip: shaded behind the bars.
    if (blackColumn > first) {
        const Ui_Rect shade = Ui_Rect_Make(r.top + 1, first, plotBottom, blackColumn);
        Ui_Draw_FillRect(w, &shade, &clipped);
    }
    if (whiteColumn < last) {
        const Ui_Rect shade = Ui_Rect_Make(r.top + 1, whiteColumn + 1, plotBottom, last + 1);
        Ui_Draw_FillRect(w, &shade, &clipped);
    }
    // The scale: the tallest bin between the two ends, which collect what is already clipped
    // and would flatten the rest; taller bins are cut at the top.
    uint32_t most = 0;
    if (histogram != nullptr) {
        for (int i = 1; i < 255; ++i) most = histogram[i] > most ? histogram[i] : most;
        if (most == 0) most = histogram[0] > histogram[255] ? histogram[0] : histogram[255];
    }
    const int32_t span = last - first, height = plotBottom - plotTop;
    for (int32_t x = first; most > 0 && x <= last; ++x) {
        // The bins this column covers; a narrow plot takes the largest of them.
        const int32_t b0 = int32_t(std::lround(double(x - first) * 255.0 / span));
        int32_t b1 = int32_t(std::lround(double(x + 1 - first) * 255.0 / span)) - 1;
        if (b1 < b0) b1 = b0;
        if (b1 > 255) b1 = 255;
        uint32_t count = 0;
        for (int32_t i = b0; i <= b1; ++i) count = histogram[i] > count ? histogram[i] : count;
        if (count == 0) continue;
        int32_t barHeight = int32_t(std::lround(double(count) / most * height));
        if (barHeight > height) barHeight = height;
        if (barHeight < 1) barHeight = 1;
        const Ui_Rect column = Ui_Rect_Make(plotBottom - barHeight, x, plotBottom, x + 1);
        const bool outside = x < blackColumn || x > whiteColumn;
        Ui_Draw_FillRect(w, &column, outside ? &clippedBar : &bar);
    }
    Ui_Draw_FrameRect(w, &r, &frame);
    return Ui_Draw_End(w);
}

int32_t TonePointsHandlesDraw(UiWindow* w, int16_t item, const TonePoints* t, int32_t active) {
    Ui_Rect r;
    int32_t first = 0, last = 0;
    if (t == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk ||
        TonePointsSpan(&r, &first, &last) != kStatusOk) {
        return kStatusError;
    }
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const HandleShape s = ShapeOf(&r);
    PaintCanvas canvas;
    int32_t status = canvas.Open(r, LookBackground(w));
    if (status == kStatusOk) {
        Ui_Offscreen* image = canvas.image();
        // Item coordinates inside the image.
        const int32_t ox = r.left, oy = r.top;
        for (int32_t x = first; x <= last; ++x) {
            const uint8_t level = uint8_t(std::lround(255.0 * (x - first) / (last - first)));
            for (int32_t y = s.scaleTop; y < s.scaleBottom; ++y) {
                PaintBlend(image, x - ox, y - oy, Ui_RGB{level, level, level}, 1.0);
            }
        }
        const double left = first - 0.5 - ox, right = last + 1.5 - ox;
        const double top = s.scaleTop - 0.5 - oy, bottom = s.scaleBottom + 0.5 - oy;
        PaintLine(image, left, top, right, top, 1.0, kLookFrame);
        PaintLine(image, left, bottom, right, bottom, 1.0, kLookFrame);
        PaintLine(image, left, top, left, bottom, 1.0, kLookFrame);
        PaintLine(image, right, top, right, bottom, 1.0, kLookFrame);
        const Ui_RGB faces[3] = {Ui_RGB{20, 20, 20}, Ui_RGB{140, 140, 140}, Ui_RGB{255, 255, 255}};
        for (int32_t i = kTonePointBlack; i <= kTonePointWhite; ++i) {
            const double cx = TonePointsColumn(&r, LevelOf(t, i)) + 0.5 - ox;
            const double hw = s.halfWidth;
            const double tip = s.tip - oy, base = s.base + 1 - oy;
            const Ui_RGB outline = i == active ? kLookAccent : kLookShadow;
            const double outer[6] = {cx,         tip - 1.2,     cx + hw + 1.0,
                                     base + 0.6, cx - hw - 1.0, base + 0.6};
            const double inner[6] = {cx,         tip + 1.0,     cx + hw - 0.4,
                                     base - 0.6, cx - hw + 0.4, base - 0.6};
            PaintPolygon(image, outer, 3, outline);
            PaintPolygon(image, inner, 3, faces[i]);
        }
        status = canvas.Show(w);
    }
    Ui_Draw_End(w);
    return status;
}

int32_t TonePointsValueBox(UiWindow* w, const Ui_Rect* r, int32_t point, Ui_Rect* box) {
    int32_t first = 0, last = 0;
    if (r == nullptr || box == nullptr || !(kTonePointBlack <= point && point <= kTonePointWhite) ||
        TonePointsSpan(r, &first, &last) != kStatusOk) {
        return kStatusProblem;
    }
    int16_t textWidth = 0, textHeight = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "-100", &textWidth, &textHeight);
    int32_t boxWidth = textWidth + 12, boxHeight = textHeight + 4;
    if (boxWidth > Ui_Rect_Width(r) / 3) boxWidth = Ui_Rect_Width(r) / 3;
    if (boxHeight > Ui_Rect_Height(r)) boxHeight = Ui_Rect_Height(r);
    // Under the ends and the middle of the scale: where the handles start out.
    const int32_t margin = first - ShapeOf(r).halfWidth - r->left;
    const int32_t lefts[3] = {r->left + margin, (first + last + 1 - boxWidth) / 2,
                              r->right - margin - boxWidth};
    *box = Ui_Rect_Make(r->top, lefts[point], r->top + boxHeight, lefts[point] + boxWidth);
    return kStatusOk;
}

int32_t TonePointsValuesDraw(UiWindow* w, int16_t item, const TonePoints* t) {
    Ui_Rect r;
    if (t == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    Ui_Rect boxes[3];
    for (int32_t i = kTonePointBlack; i <= kTonePointWhite; ++i) {
        if (TonePointsValueBox(w, &r, i, &boxes[i]) != kStatusOk) return kStatusError;
    }
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    for (int32_t i = kTonePointBlack; i <= kTonePointWhite; ++i) {
        char text[16];
        TonePointsValueText(t, i, text, sizeof text);
        ValueBoxPaint(w, &boxes[i], text);
    }
    int16_t textWidth = 0, textHeight = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "-100", &textWidth, &textHeight);
    const int32_t boxHeight = Ui_Rect_Height(&boxes[0]);
    if (Ui_Rect_Height(&r) >= boxHeight + textHeight + 2) {
        char hint[256];
        LookString(w, kStrClippingHint, hint);
        const Ui_Rect line = Ui_Rect_Make(r.top + boxHeight + 2, r.left, r.bottom, r.right);
        LookTextLine(w, hint, &line, kUiAlignCenter, 0, kLookDimInk);
    }
    return Ui_Draw_End(w);
}
