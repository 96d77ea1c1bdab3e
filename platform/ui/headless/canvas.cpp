// The headless canvas; see canvas.h.
#include "platform/ui/headless/canvas.h"

#include <cmath>
#include <cstddef>

#include "platform/ui/draw.h"
#include "platform/ui/rect.h"

namespace {

// The rectangle every primitive is cut to.
Ui_Rect Bounds(const UiHeadlessWindow* hw) {
    Ui_Rect r = Ui_Rect_Make(0, 0, hw->height, hw->width);
    if (hw->paintClipOn) Ui_Rect_Intersect(&r, &hw->paintClip, &r);
    if (hw->clipOn) Ui_Rect_Intersect(&r, &hw->clip, &r);
    return r;
}

inline void Plot(UiHeadlessWindow* hw, const Ui_Rect& bounds, int32_t v, int32_t h, Ui_RGB c,
                 uint8_t xorMode) {
    if (!Ui_Rect_ContainsPoint(&bounds, v, h)) return;
    uint8_t* p = hw->rgb + (size_t(v) * size_t(hw->width) + size_t(h)) * 3;
    if (xorMode) {
        p[0] ^= c.r;
        p[1] ^= c.g;
        p[2] ^= c.b;
    } else {
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
}

// Whether the centre of pixel (v, h) lies inside the ellipse inscribed in the box
// (top, left) - (bottom, right); worked in doubled coordinates to stay in integers.
bool InEllipse(int64_t top, int64_t left, int64_t bottom, int64_t right, int64_t v, int64_t h) {
    int64_t rx = right - left, ry = bottom - top;  // doubled radii
    if (rx <= 0 || ry <= 0) return false;
    int64_t dx = 2 * h + 1 - (left + right), dy = 2 * v + 1 - (top + bottom);
    // (dx / rx)^2 + (dy / ry)^2 <= 1
    return dx * dx * ry * ry + dy * dy * rx * rx <= rx * rx * ry * ry;
}

// Whether the centre of pixel (v, h) lies within start .. start + sweep degrees as seen from the
// centre of the box, counter-clockwise from three o'clock.
bool InSweep(const Ui_Rect* r, int32_t v, int32_t h, int32_t start, int32_t sweep) {
    if (sweep >= 360) return true;
    const double dx = (2.0 * h + 1 - (r->left + r->right)) / 2;
    const double dy = ((r->top + r->bottom) - (2.0 * v + 1)) / 2;
    double degrees = std::atan2(dy, dx) * 180.0 / 3.14159265358979323846;
    if (degrees < 0) degrees += 360.0;
    double from = degrees - start;
    if (from < 0) from += 360.0;
    return from <= sweep;
}

}  // namespace

void Canvas_Arc(UiHeadlessWindow* hw, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
                int16_t width, uint8_t xorMode) {
    Ui_Rect bounds = Bounds(hw), cut;
    Ui_Rect_Intersect(r, &bounds, &cut);
    for (int32_t v = cut.top; v < cut.bottom; ++v) {
        for (int32_t h = cut.left; h < cut.right; ++h) {
            if (!InEllipse(r->top, r->left, r->bottom, r->right, v, h)) continue;
            // A frame is the ellipse without the one inset by the pen width.
            if (width > 0 && InEllipse(r->top + width, r->left + width, r->bottom - width,
                                       r->right - width, v, h)) {
                continue;
            }
            if (InSweep(r, v, h, start, sweep)) Plot(hw, bounds, v, h, color, xorMode);
        }
    }
}

void Canvas_Frame(UiHeadlessWindow* hw, const Ui_Rect* r, Ui_RGB color) {
    Ui_Rect bounds = Bounds(hw);
    for (int32_t h = r->left; h < r->right; ++h) {
        Plot(hw, bounds, r->top, h, color, 0);
        Plot(hw, bounds, r->bottom - 1, h, color, 0);
    }
    for (int32_t v = r->top; v < r->bottom; ++v) {
        Plot(hw, bounds, v, r->left, color, 0);
        Plot(hw, bounds, v, r->right - 1, color, 0);
    }
}

void Canvas_FillRect(UiHeadlessWindow* hw, const Ui_Rect* r, Ui_RGB color, uint8_t xorMode) {
    Ui_Rect bounds = Bounds(hw), cut;
    Ui_Rect_Intersect(r, &bounds, &cut);
    for (int32_t v = cut.top; v < cut.bottom; ++v) {
        for (int32_t h = cut.left; h < cut.right; ++h) Plot(hw, bounds, v, h, color, xorMode);
    }
}

void Canvas_Line(UiHeadlessWindow* hw, Ui_Point a, Ui_Point b, Ui_RGB color, int16_t width,
                 uint8_t dotted, uint8_t xorMode) {
    Ui_Rect bounds = Bounds(hw);
    if (width < 1 || xorMode) width = 1;  // an XOR pen stays thin so no pixel flips twice
    int32_t dh = b.h > a.h ? b.h - a.h : a.h - b.h, sh = a.h < b.h ? 1 : -1;
    int32_t dv = b.v > a.v ? a.v - b.v : b.v - a.v, sv = a.v < b.v ? 1 : -1;
    int32_t err = dh + dv, h = a.h, v = a.v;
    int32_t lo = (width - 1) / 2, hi = width / 2;
    for (int32_t step = 0;; ++step) {
        if (!dotted || step % 2 == 0) {
            for (int32_t y = v - lo; y <= v + hi; ++y) {
                for (int32_t x = h - lo; x <= h + hi; ++x) Plot(hw, bounds, y, x, color, xorMode);
            }
        }
        if (h == b.h && v == b.v) break;
        int32_t e2 = 2 * err;
        if (e2 >= dv) {
            err += dv;
            h += sh;
        }
        if (e2 <= dh) {
            err += dh;
            v += sv;
        }
    }
}

void Canvas_Ellipse(UiHeadlessWindow* hw, const Ui_Rect* r, Ui_RGB color, int16_t width,
                    uint8_t xorMode) {
    Canvas_Arc(hw, r, 0, 360, color, width, xorMode);
}

void Canvas_Polygon(UiHeadlessWindow* hw, const Ui_Point* points, int32_t count, Ui_RGB color,
                    uint8_t xorMode) {
    Ui_Rect box{points[0].v, points[0].h, points[0].v, points[0].h};
    for (int32_t i = 1; i < count; ++i) {
        if (points[i].v < box.top) box.top = points[i].v;
        if (points[i].v > box.bottom) box.bottom = points[i].v;
        if (points[i].h < box.left) box.left = points[i].h;
        if (points[i].h > box.right) box.right = points[i].h;
    }
    Ui_Rect bounds = Bounds(hw), cut;
    Ui_Rect_Intersect(&box, &bounds, &cut);
    for (int32_t v = cut.top; v < cut.bottom; ++v) {
        for (int32_t h = cut.left; h < cut.right; ++h) {
            if (Ui_Polygon_ContainsPixel(points, count, v, h))
                Plot(hw, bounds, v, h, color, xorMode);
        }
    }
}

void Canvas_Image(UiHeadlessWindow* hw, const Ui_Offscreen* image, int16_t top, int16_t left,
                  const Ui_Rect* clip) {
    Ui_Rect bounds = Bounds(hw), target;
    if (clip != nullptr) Ui_Rect_Intersect(&bounds, clip, &bounds);
    Ui_Rect placed = Ui_Rect_Make(top, left, top + image->height, left + image->width);
    Ui_Rect_Intersect(&placed, &bounds, &target);
    for (int32_t v = target.top; v < target.bottom; ++v) {
        const uint8_t* row = image->pixels + size_t(image->rowBytes) * size_t(v - top);
        for (int32_t h = target.left; h < target.right; ++h) {
            const uint8_t* px = row + 3 * size_t(h - left);
            Plot(hw, bounds, v, h, Ui_RGB{px[2], px[1], px[0]}, 0);
        }
    }
}
