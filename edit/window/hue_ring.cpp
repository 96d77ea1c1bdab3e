// The hue ring and the active handle's values; see hue_ring.h.
#include "edit/window/hue_ring.h"

#include <cmath>

#include "edit/window/tool_paint.h"
#include "engine/hue_space.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/strings.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTemplateSize = 180.0;  // pixels across the template's ring item
constexpr double kSplit = 54.0;          // Before inside, After outside
constexpr double kLimitGap = 5.0;        // degrees a handle keeps from its neighbours
constexpr double kSame = 1e-4;           // degrees: less is no change

// a reduced to 0 <= a < 360.
double Wrap360(double a) {
    double r = std::fmod(a, 360.0);
    if (r < 0.0) r += 360.0;
    return r >= 360.0 ? 0.0 : r;
}

// The signed difference a - b reduced to -180 < d <= 180.
double Signed180(double d) {
    d = Wrap360(d);
    return d > 180.0 ? d - 360.0 : d;
}

bool ValidHandle(int32_t handle) {
    return 0 <= handle && handle < kEditHueCount;
}

int32_t Prev(int32_t handle) {
    return (handle + kEditHueCount - 1) % kEditHueCount;
}
int32_t Next(int32_t handle) {
    return (handle + 1) % kEditHueCount;
}

double RadiusOf(const HueRingGeometry* g, int32_t kind) {
    return kind == kHueAfter ? g->afterRadius : g->beforeRadius;
}

// A point on the ring at an angle and radius, in the coordinates of g.
void PointAt(const HueRingGeometry* g, double degrees, double radius, double* x, double* y) {
    const double a = degrees * kPi / 180.0;
    *x = g->cx + radius * std::cos(a);
    *y = g->cy - radius * std::sin(a);
}

Ui_RGB ScreenColor(const float rgb[3]) {
    auto channel = [](float v) {
        const double c = Num_Clamp01(double(v));
        return uint8_t(std::lround(255.0 * c));
    };
    return Ui_RGB{channel(rgb[0]), channel(rgb[1]), channel(rgb[2])};
}

// A hue at full saturation and middle lightness, as the wheel shows it.
Ui_RGB HueColor(double degrees) {
    const float hsl[3] = {float(Wrap360(degrees) / 360.0), 1.0f, 0.5f};
    float rgb[3] = {0, 0, 0};
    HgHueToRgb(hsl, rgb, kHgHueHsl);
    return ScreenColor(rgb);
}

// The After colour of a handle: its hue, with the handle's saturation and brightness shown as
// a paler or richer, darker or lighter colour (0.5 each: the wheel's own colour).
Ui_RGB AfterColor(const HueHandle* h) {
    double s = 2.0 * double(h->saturation);
    s = Num_Clamp01(s);
    double l = 0.5 + 0.6 * (double(h->brightness) - 0.5);
    l = Num_Clamp(l, 0.15, 0.85);
    const float hsl[3] = {float(Wrap360(double(h->baseHue) + double(h->hueShift)) / 360.0),
                          float(s), float(l)};
    float rgb[3] = {0, 0, 0};
    HgHueToRgb(hsl, rgb, kHgHueHsl);
    return ScreenColor(rgb);
}

Ui_RGB WheelColor(double degrees, const void*) {
    return HueColor(degrees);
}

int32_t ActiveHandle(const EditState* s) {
    return ValidHandle(s->activeHandle) ? s->activeHandle : 0;
}

}  // namespace

int32_t HueRingLayout(const Ui_Rect* ring, HueRingGeometry* g) {
    if (ring == nullptr || g == nullptr || Ui_Rect_IsEmpty(ring)) return kStatusProblem;
    const int32_t w = Ui_Rect_Width(ring), h = Ui_Rect_Height(ring);
    const double scale = double(w < h ? w : h) / kTemplateSize;
    g->cx = (ring->left + ring->right) / 2.0;
    g->cy = (ring->top + ring->bottom) / 2.0;
    g->scale = scale;
    g->split = kSplit * scale;
    // The wheel is a band around the split; the Before handles stand inside it and the After
    // handles outside, each far enough from it to show whole.
    g->bandInner = 47.0 * scale;
    g->bandOuter = 61.0 * scale;
    g->handleRadius = 8.0 * scale;
    g->beforeRadius = 35.0 * scale;
    g->afterRadius = 75.0 * scale;
    return kStatusOk;
}

double HueRingAngle(const HueRingGeometry* g, Ui_Point p) {
    if (g == nullptr) return 0.0;
    // The centre of the pointer's pixel, as the painting measures angles.
    return PaintAngle(g->cx, g->cy, p.h + 0.5, p.v + 0.5);
}

double HueHandleAngle(const EditPars* p, int32_t handle, int32_t kind) {
    if (p == nullptr || !ValidHandle(handle)) return 0.0;
    const HueHandle& h = p->hue[handle];
    return Wrap360(double(h.baseHue) + (kind == kHueAfter ? double(h.hueShift) : 0.0));
}

uint8_t HueHandleHasSamples(const EditPars* p, int32_t handle) {
    if (p == nullptr || !ValidHandle(handle)) return 0;
    for (const SampleBin& b : p->hue[handle].hueBin) {
        if (b.count > 0) return 1;
    }
    return 0;
}

int32_t HueRingHit(const Ui_Rect* ring, Ui_Point p, const EditState* s, HueRingHitResult* hit) {
    if (ring == nullptr || s == nullptr || hit == nullptr) return kStatusProblem;
    HueRingGeometry g;
    const int32_t status = HueRingLayout(ring, &g);
    if (status != kStatusOk) return status;
    hit->handle = -1;
    hit->kind = kHueBefore;
    const double dx = p.h + 0.5 - g.cx, dy = p.v + 0.5 - g.cy;
    const double distance = std::hypot(dx, dy);
    // The centre has no angle to speak of, and beyond the After handles nothing is hit.
    if (distance < 0.3 * g.beforeRadius || distance > g.afterRadius + 2.0 * g.handleRadius) {
        return kStatusOk;
    }
    const int32_t kind = distance > g.split ? kHueAfter : kHueBefore;
    const double pointer = HueRingAngle(&g, p);
    // How far along the handles' circle the pointer may be from a handle's centre.
    const double reach = g.handleRadius + 3.0 * g.scale;
    const double radius = RadiusOf(&g, kind);
    const int32_t active = ActiveHandle(s);
    double best = 0.0, activeAlong = -1.0;
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        const double along = std::fabs(Signed180(pointer - HueHandleAngle(&s->editPars, i, kind))) *
                             kPi / 180.0 * radius;
        if (along > reach) continue;
        if (i == active) activeAlong = along;
        if (hit->handle < 0 || along < best) {
            best = along;
            hit->handle = i;
        }
    }
    // Handles that stand together: the active pair keeps the press when it is as near (within
    // a pixel) as the nearest one.
    if (activeAlong >= 0.0 && activeAlong <= best + 1.0) hit->handle = active;
    if (hit->handle >= 0) hit->kind = kind;
    return kStatusOk;
}

int32_t HueRingActivate(EditState* s, int32_t handle, uint8_t* changed) {
    if (s == nullptr || !ValidHandle(handle)) return kStatusProblem;
    if (changed != nullptr) *changed = uint8_t(s->activeHandle != handle);
    s->activeHandle = handle;
    s->activeColorId = s->editPars.hue[handle].colorId;
    s->activeHandleHasSamples = HueHandleHasSamples(&s->editPars, handle);
    return kStatusOk;
}

int32_t HueLimitAngle(double prev, double next, double pointer, double* angle) {
    if (angle == nullptr || prev != prev || next != next || pointer != pointer) {
        return kStatusProblem;
    }
    const double start = Wrap360(prev + kLimitGap);
    // Neighbours at the same angle leave a handle the whole circle less nothing: take the
    // counter-clockwise distance, so that 0 means "no room" rather than "all the room".
    const double length = Wrap360(next - prev) - 2.0 * kLimitGap;
    if (length < 0.0) return kStatusUnsupported;
    const double offset = Wrap360(pointer - start);
    if (offset <= length) {
        *angle = Wrap360(start + offset);
    } else {
        // Outside the arc: the nearer of its two ends.
        const double pastEnd = offset - length, beforeStart = 360.0 - offset;
        *angle = Wrap360(pastEnd <= beforeStart ? start + length : start);
    }
    return kStatusOk;
}

int32_t HueRingMoveTo(EditState* s, int32_t handle, int32_t kind, double angle, uint8_t* changed) {
    if (s == nullptr || !ValidHandle(handle)) return kStatusProblem;
    if (changed != nullptr) *changed = 0;
    const int32_t i = handle;
    HueHandle& h = s->editPars.hue[i];
    const double oldBase = Wrap360(h.baseHue),
                 oldAfter = HueHandleAngle(&s->editPars, i, kHueAfter);
    double base = oldBase, after = oldAfter;
    const double prevAfter = HueHandleAngle(&s->editPars, Prev(i), kHueAfter);
    const double nextAfter = HueHandleAngle(&s->editPars, Next(i), kHueAfter);
    if (kind == kHueAfter) {
        if (HueLimitAngle(prevAfter, nextAfter, angle, &after) != kStatusOk) return kStatusOk;
    } else {
        const double prevBase = HueHandleAngle(&s->editPars, Prev(i), kHueBefore);
        const double nextBase = HueHandleAngle(&s->editPars, Next(i), kHueBefore);
        if (HueLimitAngle(prevBase, nextBase, angle, &base) != kStatusOk) return kStatusOk;
        // The After handle stays where it is, brought inside its own limits if it was not.
        double kept = oldAfter;
        if (HueLimitAngle(prevAfter, nextAfter, oldAfter, &kept) == kStatusOk) after = kept;
    }
    const double shift = Signed180(after - base);
    const bool moved = std::fabs(Signed180(base - oldBase)) > kSame ||
                       std::fabs(shift - double(h.hueShift)) > kSame;
    if (!moved) return kStatusOk;
    h.baseHue = float(base);
    h.hueShift = float(shift);
    if (changed != nullptr) *changed = 1;
    return kStatusOk;
}

int32_t HueRingDrag(const Ui_Rect* ring, Ui_Point p, const HueRingHitResult* hit, EditState* s,
                    uint8_t* changed) {
    if (ring == nullptr || hit == nullptr || s == nullptr || !ValidHandle(hit->handle)) {
        return kStatusProblem;
    }
    HueRingGeometry g;
    const int32_t status = HueRingLayout(ring, &g);
    if (status != kStatusOk) return status;
    return HueRingMoveTo(s, hit->handle, hit->kind, HueRingAngle(&g, p), changed);
}

int32_t HueActiveHandle(const EditState* s) {
    return s != nullptr ? ActiveHandle(s) : -1;
}

int32_t HueValueText(const EditState* s, int32_t kind, char* text, int32_t capacity) {
    if (s == nullptr || text == nullptr || capacity < 1) return kStatusProblem;
    const HueHandle& h = s->editPars.hue[ActiveHandle(s)];
    const double hue = double(h.baseHue) + (kind == kHueAfter ? double(h.hueShift) : 0.0);
    int32_t shown = int32_t(std::lround(hue)) % 360;
    if (shown < 0) shown += 360;
    ValueText(shown, kValuePlain, text, capacity);
    return kStatusOk;
}

int32_t HueSliderGet(const EditState* s, int32_t which, float* x) {
    if (s == nullptr || x == nullptr) return kStatusProblem;
    const HueHandle& h = s->editPars.hue[ActiveHandle(s)];
    if (which == kHueBrightness) {
        *x = h.brightness;
    } else if (which == kHueSaturation) {
        *x = h.saturation;
    } else {
        return kStatusProblem;
    }
    return kStatusOk;
}

int32_t HueSliderSet(EditState* s, int32_t which, float x) {
    if (s == nullptr || !(which == kHueBrightness || which == kHueSaturation)) {
        return kStatusProblem;
    }
    x = Num_ClampOr(x, 0.0f, 1.0f, 0.5f);
    HueHandle& h = s->editPars.hue[ActiveHandle(s)];
    (which == kHueBrightness ? h.brightness : h.saturation) = x;
    return kStatusOk;
}

void HueSliderText(float x, char* text, int32_t capacity) {
    ValueText(ValueScaleNumber(kValueScaleHue, x), kValueSigned, text, capacity);
}

int32_t HueRingDraw(UiWindow* w, int16_t item, const EditState* s) {
    Ui_Rect r;
    HueRingGeometry g;
    if (s == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk ||
        HueRingLayout(&r, &g) != kStatusOk) {
        return kStatusError;
    }
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    PaintCanvas canvas;
    int32_t status = canvas.Open(r, LookBackground(w));
    if (status == kStatusOk) {
        Ui_Offscreen* image = canvas.image();
        // Offscreen coordinates: the geometry moved to the item's corner.
        HueRingGeometry c = g;
        c.cx -= r.left;
        c.cy -= r.top;
        const double line = g.scale < 1.0 ? 1.0 : g.scale;
        PaintRing(image, c.cx, c.cy, c.bandInner, c.bandOuter, WheelColor, nullptr);
        PaintCircle(image, c.cx, c.cy, c.bandInner, 1.0, kLookFrame);
        PaintCircle(image, c.cx, c.cy, c.bandOuter, 1.0, kLookFrame);
        const int32_t active = ActiveHandle(s);
        // The active pair last, so that it lies over the others.
        for (int32_t n = 1; n <= kEditHueCount; ++n) {
            const int32_t i = (active + n) % kEditHueCount;
            const bool isActive = i == active;
            const HueHandle& h = s->editPars.hue[i];
            double bx = 0, by = 0, ax = 0, ay = 0;
            PointAt(&c, HueHandleAngle(&s->editPars, i, kHueBefore), c.beforeRadius, &bx, &by);
            PointAt(&c, HueHandleAngle(&s->editPars, i, kHueAfter), c.afterRadius, &ax, &ay);
            const Ui_RGB outline = isActive ? kLookInk : kLookShadow;
            PaintLine(image, bx, by, ax, ay, isActive ? 2.0 * line : line,
                      isActive ? kLookInk : kLookLightFrame);
            const double rim = isActive ? 2.0 * line : line;
            PaintDisc(image, bx, by, c.handleRadius, outline);
            PaintDisc(image, bx, by, c.handleRadius - rim,
                      HueColor(HueHandleAngle(&s->editPars, i, kHueBefore)));
            PaintDisc(image, ax, ay, c.handleRadius, outline);
            PaintDisc(image, ax, ay, c.handleRadius - rim, AfterColor(&h));
            if (isActive) {
                PaintDisc(image, bx, by, 2.6 * line, kLookWell);
                PaintDisc(image, bx, by, 1.8 * line, kLookInk);
            }
        }
        status = canvas.Show(w);
    }
    Ui_Draw_End(w);
    return status;
}

int32_t HueValueBoxRect(UiWindow* w, const Ui_Rect* r, Ui_Rect* box) {
    if (r == nullptr || box == nullptr) return kStatusProblem;
    int16_t boxWidth = 0, textHeight = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "359", &boxWidth, &textHeight);
    boxWidth = int16_t(boxWidth + 10);
    *box = Ui_Rect_Make(r->top, r->right - boxWidth, r->bottom, r->right);
    return kStatusOk;
}

int32_t HueValueDraw(UiWindow* w, int16_t item, const EditState* s, int32_t kind) {
    Ui_Rect r, box;
    if (s == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    HueValueBoxRect(w, &r, &box);
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    char label[256], value[16];
    LookString(w, kind == kHueAfter ? kStrHueAfter : kStrHueBefore, label);
    HueValueText(s, kind, value, sizeof value);
    ValueBoxPaint(w, &box, value);
    // The chip: the colour the value stands for, square, left of the box.
    const int32_t side = Ui_Rect_Height(&r) - 4;
    const Ui_Rect chip =
        Ui_Rect_Make(r.top + 2, box.left - 4 - side, r.top + 2 + side, box.left - 4);
    const HueHandle& h = s->editPars.hue[ActiveHandle(s)];
    const Ui_Color chipColor = LookColor(
        kind == kHueAfter ? AfterColor(&h)
                          : HueColor(HueHandleAngle(&s->editPars, ActiveHandle(s), kHueBefore)));
    const Ui_Color frame = LookColor(kLookFrame);
    Ui_Draw_FillRect(w, &chip, &chipColor);
    Ui_Draw_FrameRect(w, &chip, &frame);
    const Ui_Rect text = Ui_Rect_Make(r.top, r.left, r.bottom, chip.left - 2);
    LookTextLine(w, label, &text, kUiAlignLeft, 0, kLookInk);
    return Ui_Draw_End(w);
}

int32_t HueSliderDraw(UiWindow* w, int16_t item, const EditState* s, int32_t which,
                      uint8_t disabled) {
    float x = 0.5f;
    Ui_Rect r;
    if (HueSliderGet(s, which, &x) != kStatusOk || Ui_Item_GetRect(w, item, &r) != kStatusOk) {
        return kStatusError;
    }
    // Filled in the active handle's After colour, so the slider says which handle it edits.
    const Ui_Color color = LookColor(AfterColor(&s->editPars.hue[ActiveHandle(s)]));
    const SliderFill fill{color, color};
    x = Num_Clamp01(x);
    const int32_t v = int32_t(std::lround(200.0 * double(x) - 100.0));
    return SliderDraw(w, item, SliderCentredX(&r, v), 1, &fill, disabled);
}

int32_t HueSliderValueDraw(UiWindow* w, int16_t item, const EditState* s, int32_t which) {
    float x = 0.5f;
    if (HueSliderGet(s, which, &x) != kStatusOk) return kStatusError;
    char text[16];
    HueSliderText(x, text, sizeof text);
    return ValueBoxDraw(w, item, text);
}
