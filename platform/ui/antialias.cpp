// Anti-aliased shapes in offscreen images; see antialias.h.
#include "platform/ui/antialias.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

bool Valid(const Ui_Offscreen* image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0;
}

bool Finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// How much of a pixel a shape covers when the pixel's centre lies `inside` pixels within its
// edge (negative: outside): a ramp one pixel wide centred on the edge.
double Coverage(double inside) {
    if (inside >= 0.5) return 1.0;
    if (inside <= -0.5) return 0.0;
    return inside + 0.5;
}

void BlendCovered(Ui_Offscreen* image, int32_t x, int32_t y, Ui_RGB color, double coverage) {
    if (coverage <= 0.0) return;
    Ui_Offscreen_Blend(image, x, y, color, int32_t(coverage * 255.0 + 0.5));
}

// The pixels whose centres may lie within reach of a shape around (x0..x1, y0..y1), cut to the
// image: false when none.
bool Box(const Ui_Offscreen* image, double x0, double y0, double x1, double y1, int32_t* left,
         int32_t* top, int32_t* right, int32_t* bottom) {
    double l = std::floor(x0 - 1.0), t = std::floor(y0 - 1.0);
    double r = std::ceil(x1 + 1.0), b = std::ceil(y1 + 1.0);
    if (r < 0 || b < 0 || l >= image->width || t >= image->height) return false;
    *left = l < 0 ? 0 : int32_t(l);
    *top = t < 0 ? 0 : int32_t(t);
    *right = r > image->width ? image->width : int32_t(r);
    *bottom = b > image->height ? image->height : int32_t(b);
    return *left < *right && *top < *bottom;
}

}  // namespace

int32_t Ui_Offscreen_FillColor(Ui_Offscreen* image, Ui_RGB color) {
    if (!Valid(image)) return kStatusProblem;
    for (int32_t y = 0; y < image->height; ++y) {
        uint8_t* p = image->pixels + size_t(image->rowBytes) * size_t(y);
        for (int32_t x = 0; x < image->width; ++x, p += 3) {
            p[0] = color.b;
            p[1] = color.g;
            p[2] = color.r;
        }
    }
    return kStatusOk;
}

int32_t Ui_Offscreen_GetPixel(const Ui_Offscreen* image, int32_t x, int32_t y, Ui_RGB* color) {
    if (!Valid(image) || color == nullptr) return kStatusProblem;
    if (!(0 <= x && x < image->width && 0 <= y && y < image->height)) return kStatusProblem;
    const uint8_t* p = image->pixels + size_t(image->rowBytes) * size_t(y) + 3 * size_t(x);
    *color = Ui_RGB{p[2], p[1], p[0]};
    return kStatusOk;
}

int32_t Ui_Offscreen_Blend(Ui_Offscreen* image, int32_t x, int32_t y, Ui_RGB color,
                           int32_t coverage) {
    if (!Valid(image)) return kStatusProblem;
    if (!(0 <= x && x < image->width && 0 <= y && y < image->height) || coverage <= 0) {
        return kStatusOk;
    }
    if (coverage > 255) coverage = 255;
    uint8_t* p = image->pixels + size_t(image->rowBytes) * size_t(y) + 3 * size_t(x);
    const uint8_t src[3] = {color.b, color.g, color.r};
    for (int i = 0; i < 3; ++i) {
        p[i] = uint8_t((src[i] * coverage + p[i] * (255 - coverage) + 127) / 255);
    }
    return kStatusOk;
}

int32_t Ui_Offscreen_Disc(Ui_Offscreen* image, double cx, double cy, double radius, Ui_RGB color) {
    if (!Valid(image) || !Finite(cx, cy, radius, 0) || radius < 0) return kStatusProblem;
    int32_t l, t, r, b;
    if (!Box(image, cx - radius, cy - radius, cx + radius, cy + radius, &l, &t, &r, &b)) {
        return kStatusOk;
    }
    for (int32_t y = t; y < b; ++y) {
        for (int32_t x = l; x < r; ++x) {
            double dist = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            BlendCovered(image, x, y, color, Coverage(radius - dist));
        }
    }
    return kStatusOk;
}

int32_t Ui_Offscreen_Circle(Ui_Offscreen* image, double cx, double cy, double radius, double width,
                            Ui_RGB color) {
    if (!Valid(image) || !Finite(cx, cy, radius, width) || radius < 0 || width <= 0) {
        return kStatusProblem;
    }
    const double outer = radius + width / 2, inner = radius - width / 2;
    int32_t l, t, r, b;
    if (!Box(image, cx - outer, cy - outer, cx + outer, cy + outer, &l, &t, &r, &b)) {
        return kStatusOk;
    }
    for (int32_t y = t; y < b; ++y) {
        for (int32_t x = l; x < r; ++x) {
            double dist = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            // Inside the outer edge and outside the inner one: the smaller of the two coverages.
            double a = Coverage(outer - dist), c = Coverage(dist - inner);
            BlendCovered(image, x, y, color, a < c ? a : c);
        }
    }
    return kStatusOk;
}

int32_t Ui_Offscreen_Line(Ui_Offscreen* image, double x0, double y0, double x1, double y1,
                          double width, Ui_RGB color) {
    if (!Valid(image) || !Finite(x0, y0, x1, y1) || !std::isfinite(width) || width <= 0) {
        return kStatusProblem;
    }
    const double half = width / 2;
    int32_t l, t, r, b;
    if (!Box(image, std::fmin(x0, x1) - half, std::fmin(y0, y1) - half, std::fmax(x0, x1) + half,
             std::fmax(y0, y1) + half, &l, &t, &r, &b)) {
        return kStatusOk;
    }
    const double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
    for (int32_t y = t; y < b; ++y) {
        for (int32_t x = l; x < r; ++x) {
            double px = x + 0.5 - x0, py = y + 0.5 - y0;
            // The nearest point of the segment: the pixel's distance from the line's core.
            double u = length2 > 0 ? (px * dx + py * dy) / length2 : 0.0;
            if (u < 0) u = 0;
            if (u > 1) u = 1;
            double dist = std::hypot(px - u * dx, py - u * dy);
            BlendCovered(image, x, y, color, Coverage(half - dist));
        }
    }
    return kStatusOk;
}

double Ui_Offscreen_Angle(double cx, double cy, double x, double y) {
    // Screen rows grow downwards; the ring's angles grow counter-clockwise as seen.
    double degrees = std::atan2(cy - y, x - cx) * 180.0 / kPi;
    if (degrees < 0) degrees += 360.0;
    if (degrees >= 360.0) degrees -= 360.0;
    return degrees;
}

int32_t Ui_Offscreen_Ring(Ui_Offscreen* image, double cx, double cy, double inner, double outer,
                          UiRingColorProc colorAt, void* context) {
    if (!Valid(image) || colorAt == nullptr || !Finite(cx, cy, inner, outer) || inner < 0 ||
        outer <= inner) {
        return kStatusProblem;
    }
    int32_t l, t, r, b;
    if (!Box(image, cx - outer, cy - outer, cx + outer, cy + outer, &l, &t, &r, &b)) {
        return kStatusOk;
    }
    for (int32_t y = t; y < b; ++y) {
        for (int32_t x = l; x < r; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double dist = std::hypot(px - cx, py - cy);
            double a = Coverage(outer - dist), c = Coverage(dist - inner);
            double coverage = a < c ? a : c;
            if (coverage <= 0) continue;
            Ui_RGB color{0, 0, 0};
            int32_t status = colorAt(Ui_Offscreen_Angle(cx, cy, px, py), context, &color);
            if (status != kStatusOk) return status;
            BlendCovered(image, x, y, color, coverage);
        }
    }
    return kStatusOk;
}
