// Smooth drawing into offscreen images; see tool_paint.h.
#include "edit/window/tool_paint.h"

#include <cmath>

#include "platform/numeric.h"
#include "platform/resources.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

uint8_t* At(const Ui_Offscreen* image, int32_t x, int32_t y) {
    return image->pixels + size_t(image->rowBytes) * size_t(y) + size_t(x) * 3;
}

// The pixels whose centres lie within reach of a shape's bounds, cut to the image.
struct Span {
    int32_t x0, y0, x1, y1;  // inclusive .. exclusive
};
Span SpanOf(const Ui_Offscreen* image, double left, double top, double right, double bottom) {
    Span s{int32_t(std::floor(left - 1.0)), int32_t(std::floor(top - 1.0)),
           int32_t(std::ceil(right + 1.0)), int32_t(std::ceil(bottom + 1.0))};
    if (s.x0 < 0) s.x0 = 0;
    if (s.y0 < 0) s.y0 = 0;
    if (s.x1 > image->width) s.x1 = image->width;
    if (s.y1 > image->height) s.y1 = image->height;
    return s;
}

bool Usable(const Ui_Offscreen* image) {
    return image != nullptr && image->pixels != nullptr;
}

// Even-odd rule for one point against a closed polygon of x, y pairs.
bool Inside(const double* xy, int32_t count, double x, double y) {
    bool in = false;
    for (int32_t i = 0, j = count - 1; i < count; j = i++) {
        const double xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
        if ((yi > y) != (yj > y) && x < xj + (y - yj) * (xi - xj) / (yi - yj)) in = !in;
    }
    return in;
}

}  // namespace

Ui_RGB LookMix(Ui_RGB c, Ui_RGB d, double t) {
    t = Num_Clamp01(t);
    auto mix = [t](uint8_t a, uint8_t b) {
        return uint8_t(std::lround(double(a) + (double(b) - double(a)) * t));
    };
    return Ui_RGB{mix(c.r, d.r), mix(c.g, d.g), mix(c.b, d.b)};
}

Ui_RGB LookBackground(UiWindow* dialog) {
    Ui_Color c{};
    if (Ui_Draw_GetBackColor(dialog, &c) != kStatusOk) return Ui_RGB{240, 240, 240};
    return Ui_ColorToRGB(c);
}

char* LookString(UiWindow* dialog, int32_t id, char* buffer) {
    Ui_Dlg* d = nullptr;
    UiState* state = Ui_Dlg_Get(dialog, &d) == kStatusOk ? d->state : nullptr;
    return Ui_ResToCString(state, id, buffer);
}

void LookTextLine(UiWindow* dialog, const char* text, const Ui_Rect* r, uint32_t align,
                  int32_t inset, Ui_RGB ink) {
    int16_t width = 0, height = 0;
    Ui_Draw_MeasureText(dialog, kUiFontDialog, text, &width, &height);
    const int32_t top = r->top + (Ui_Rect_Height(r) - height) / 2;
    int32_t h = (r->left + r->right) / 2;
    if ((align & kUiAlignMask) == kUiAlignLeft) h = r->left + inset;
    if ((align & kUiAlignMask) == kUiAlignRight) h = r->right - inset;
    const Ui_Color color = LookColor(ink);
    Ui_Draw_SetPen(dialog, &color, 1);
    Ui_Draw_TextAt(dialog, text, int16_t(top), int16_t(h), align & kUiAlignMask);
}

int32_t PaintFill(Ui_Offscreen* image, Ui_RGB color) {
    if (!Usable(image)) return kStatusProblem;
    for (int32_t y = 0; y < image->height; ++y) {
        for (int32_t x = 0; x < image->width; ++x) {
            uint8_t* p = At(image, x, y);
            p[0] = color.b;
            p[1] = color.g;
            p[2] = color.r;
        }
    }
    return kStatusOk;
}

void PaintBlend(Ui_Offscreen* image, int32_t x, int32_t y, Ui_RGB color, double coverage) {
    if (!Usable(image) || x < 0 || y < 0 || x >= image->width || y >= image->height) return;
    coverage = Num_Clamp01(coverage);
    if (coverage <= 0.0) return;
    uint8_t* p = At(image, x, y);
    const Ui_RGB mixed = LookMix(Ui_RGB{p[2], p[1], p[0]}, color, coverage);
    p[0] = mixed.b;
    p[1] = mixed.g;
    p[2] = mixed.r;
}

Ui_RGB PaintPixel(const Ui_Offscreen* image, int32_t x, int32_t y) {
    if (!Usable(image) || x < 0 || y < 0 || x >= image->width || y >= image->height) {
        return Ui_RGB{0, 0, 0};
    }
    const uint8_t* p = At(image, x, y);
    return Ui_RGB{p[2], p[1], p[0]};
}

void PaintDisc(Ui_Offscreen* image, double cx, double cy, double radius, Ui_RGB color) {
    if (!Usable(image) || !(radius > 0.0)) return;
    const Span s = SpanOf(image, cx - radius, cy - radius, cx + radius, cy + radius);
    for (int32_t y = s.y0; y < s.y1; ++y) {
        for (int32_t x = s.x0; x < s.x1; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            PaintBlend(image, x, y, color, radius - d + 0.5);
        }
    }
}

void PaintCircle(Ui_Offscreen* image, double cx, double cy, double radius, double width,
                 Ui_RGB color) {
    if (!Usable(image) || !(radius > 0.0) || !(width > 0.0)) return;
    const double reach = radius + width / 2.0;
    const Span s = SpanOf(image, cx - reach, cy - reach, cx + reach, cy + reach);
    const double most = width < 1.0 ? width : 1.0;  // a hairline is faint, not thick
    for (int32_t y = s.y0; y < s.y1; ++y) {
        for (int32_t x = s.x0; x < s.x1; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            const double c = Num_Clamp01(width / 2.0 - std::fabs(d - radius) + 0.5);
            PaintBlend(image, x, y, color, c < most ? c : most);
        }
    }
}

void PaintLine(Ui_Offscreen* image, double x0, double y0, double x1, double y1, double width,
               Ui_RGB color) {
    if (!Usable(image) || !(width > 0.0)) return;
    const double half = width / 2.0;
    const Span s = SpanOf(image, (x0 < x1 ? x0 : x1) - half, (y0 < y1 ? y0 : y1) - half,
                          (x0 > x1 ? x0 : x1) + half, (y0 > y1 ? y0 : y1) + half);
    const double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
    const double most = width < 1.0 ? width : 1.0;
    for (int32_t y = s.y0; y < s.y1; ++y) {
        for (int32_t x = s.x0; x < s.x1; ++x) {
            const double px = x + 0.5 - x0, py = y + 0.5 - y0;
            double t = length2 > 0.0 ? (px * dx + py * dy) / length2 : 0.0;
            t = Num_Clamp01(t);
            const double d = std::hypot(px - t * dx, py - t * dy);
            const double c = Num_Clamp01(half - d + 0.5);
            PaintBlend(image, x, y, color, c < most ? c : most);
        }
    }
}

int32_t PaintPolygon(Ui_Offscreen* image, const double* xy, int32_t count, Ui_RGB color) {
    if (!Usable(image) || xy == nullptr || count < 3) return kStatusProblem;
    double left = xy[0], right = xy[0], top = xy[1], bottom = xy[1];
    for (int32_t i = 1; i < count; ++i) {
        left = xy[2 * i] < left ? xy[2 * i] : left;
        right = xy[2 * i] > right ? xy[2 * i] : right;
        top = xy[2 * i + 1] < top ? xy[2 * i + 1] : top;
        bottom = xy[2 * i + 1] > bottom ? xy[2 * i + 1] : bottom;
    }
    // Four by four samples a pixel: enough for the small handles it paints.
    constexpr int kGrid = 4;
    const Span s = SpanOf(image, left, top, right, bottom);
    for (int32_t y = s.y0; y < s.y1; ++y) {
        for (int32_t x = s.x0; x < s.x1; ++x) {
            int inside = 0;
            for (int j = 0; j < kGrid; ++j) {
                for (int i = 0; i < kGrid; ++i) {
                    if (Inside(xy, count, x + (i + 0.5) / kGrid, y + (j + 0.5) / kGrid)) ++inside;
                }
            }
            PaintBlend(image, x, y, color, double(inside) / (kGrid * kGrid));
        }
    }
    return kStatusOk;
}

void PaintRing(Ui_Offscreen* image, double cx, double cy, double inner, double outer,
               PaintRingColor colorAt, const void* context) {
    if (!Usable(image) || colorAt == nullptr || !(inner < outer)) return;
    const Span s = SpanOf(image, cx - outer, cy - outer, cx + outer, cy + outer);
    for (int32_t y = s.y0; y < s.y1; ++y) {
        for (int32_t x = s.x0; x < s.x1; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            const double c = Num_Clamp01(outer - d + 0.5) * Num_Clamp01(d - inner + 0.5);
            if (c <= 0.0) continue;
            PaintBlend(image, x, y, colorAt(PaintAngle(cx, cy, x + 0.5, y + 0.5), context), c);
        }
    }
}

double PaintAngle(double cx, double cy, double x, double y) {
    // Screen rows grow downwards; the wheel counts counter-clockwise.
    double a = std::atan2(cy - y, x - cx) * 180.0 / kPi;
    if (a < 0.0) a += 360.0;
    return a >= 360.0 ? 0.0 : a;
}

int32_t PaintCanvas::Open(const Ui_Rect& r, Ui_RGB color) {
    Ui_Offscreen_Free(&image_);
    if (Ui_Rect_IsEmpty(&r)) return kStatusProblem;
    rect_ = r;
    const int32_t status = Ui_Offscreen_Create(&r, &image_);
    if (status != kStatusOk) return status;
    return PaintFill(image_, color);
}

int32_t PaintCanvas::Show(UiWindow* dialog) const {
    if (image_ == nullptr) return kStatusProblem;
    return Ui_Draw_Offscreen(dialog, image_, &rect_);
}
