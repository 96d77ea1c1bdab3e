// The reference RGB working space; see ref_rgb.h.
#include "edit/ref_rgb.h"

#include <cmath>

namespace {

// The CIE daylight locus (x, y) for a temperature in kelvin, limited to 4000 .. 25000 K.
void DaylightWhite(double kelvin, double* x, double* y) {
    if (!(kelvin >= 4000.0)) kelvin = 4000.0;
    if (kelvin > 25000.0) kelvin = 25000.0;
    double t = kelvin, t2 = t * t, t3 = t2 * t;
    double xd = t < 7000.0 ? -4.6070e9 / t3 + 2.9678e6 / t2 + 99.11 / t + 0.244063
                           : -2.0064e9 / t3 + 1.9018e6 / t2 + 247.48 / t + 0.23704;
    *x = xd;
    *y = -3.0 * xd * xd + 2.87 * xd - 0.275;
}

}  // namespace

int32_t RefRgbSetDefault(RefRGB* ref) {
    if (ref == nullptr) return kStatusProblem;
    static const float kPrimaries[6] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
    double x, y;
    DaylightWhite(6500.0, &x, &y);
    ref->gamma = 2.2f;
    ref->xyzWhite[0] = float(x / y);
    ref->xyzWhite[1] = 1.0f;
    ref->xyzWhite[2] = float((1.0 - x - y) / y);
    for (int i = 0; i < 6; ++i) ref->primaries[i] = kPrimaries[i];
    return kStatusOk;
}

bool RefRgbIsValid(const RefRGB* ref) {
    if (ref == nullptr) return false;
    if (!(0.5f <= ref->gamma && ref->gamma <= 5.0f)) return false;
    for (float w : ref->xyzWhite) {
        if (!(0.1f <= w && w <= 2.0f)) return false;
    }
    for (int i = 0; i < 6; i += 2) {
        float x = ref->primaries[i], y = ref->primaries[i + 1];
        // x and y both at most 1.000001 through the sum, so the sum below stays finite.
        if (!(0.0f <= x && 0.0f <= y && double(x) + double(y) <= 1.000001)) return false;
    }
    return true;
}

float RefRgbRoundPrimary(float v) {
    double scaled = double(v) * 10000.0;
    return float(std::round(scaled) / 10000.0);
}
