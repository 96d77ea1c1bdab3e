// sRGB and CIELAB conversions; see srgb_lab.h.
#include "tools/demo/srgb_lab.h"

#include <cmath>

namespace {

// The sRGB primaries with the D65 white, linear RGB to XYZ (Y of white = 1).
constexpr double kToXyz[3][3] = {
    {0.4124564, 0.3575761, 0.1804375},
    {0.2126729, 0.7151522, 0.0721750},
    {0.0193339, 0.1191920, 0.9503041},
};
// The white of the matrix itself (its row sums), so that R = G = B gives a* = b* = 0 exactly
// up to rounding, rather than the small offset a separately rounded D65 white would leave.
constexpr double kWhite[3] = {kToXyz[0][0] + kToXyz[0][1] + kToXyz[0][2],
                              kToXyz[1][0] + kToXyz[1][1] + kToXyz[1][2],
                              kToXyz[2][0] + kToXyz[2][1] + kToXyz[2][2]};

double LabF(double t) {
    constexpr double kDelta = 6.0 / 29.0;
    return t > kDelta * kDelta * kDelta ? std::cbrt(t) : t / (3 * kDelta * kDelta) + 4.0 / 29.0;
}

}  // namespace

double SrgbToLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double LinearToSrgb(double v) {
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

Lab SrgbToLab(double r, double g, double b) {
    const double rgb[3] = {SrgbToLinear(r), SrgbToLinear(g), SrgbToLinear(b)};
    double f[3];
    for (int i = 0; i < 3; ++i) {
        double xyz = kToXyz[i][0] * rgb[0] + kToXyz[i][1] * rgb[1] + kToXyz[i][2] * rgb[2];
        f[i] = LabF(xyz / kWhite[i]);
    }
    return {116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
}

double ChromaAb(const Lab& lab) {
    return std::hypot(lab.a, lab.b);
}
