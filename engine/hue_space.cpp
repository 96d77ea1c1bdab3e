// Hue spaces and the hue-selective edit; see hue_space.h.
#include "engine/hue_space.h"

#include <cmath>

#include "engine/luma.h"
#include "engine/tone_response.h"
#include "platform/numeric.h"

namespace {

constexpr double kGreyChroma = 1e-10;

// The fully saturated colour of hue h (0..1): one channel 1, one 0, the third the position
// within the sextant.
void HuePattern(double h, double p[3]) {
    double h6 = h * 6.0;
    double s = std::floor(h6);
    int sextant = int(Num_Clamp(s, 0.0, 5.0));
    double f = h6 - sextant;
    switch (sextant) {
        case 0:
            p[0] = 1;
            p[1] = f;
            p[2] = 0;
            break;
        case 1:
            p[0] = 1 - f;
            p[1] = 1;
            p[2] = 0;
            break;
        case 2:
            p[0] = 0;
            p[1] = 1;
            p[2] = f;
            break;
        case 3:
            p[0] = 0;
            p[1] = 1 - f;
            p[2] = 1;
            break;
        case 4:
            p[0] = f;
            p[1] = 0;
            p[2] = 1;
            break;
        default:
            p[0] = 1;
            p[1] = 0;
            p[2] = 1 - f;
            break;
    }
}

// Wraps into 0 <= h < 1; anything that is not a number becomes 0.
double WrapUnit(double h) {
    if (!std::isfinite(h)) return 0.0;
    h -= std::floor(h);
    return h >= 1.0 ? 0.0 : h;
}

double WrapDegrees(double h) {
    if (0.0 <= h && h < 360.0) return h;  // the usual case, without a division
    if (!std::isfinite(h)) return 0.0;
    h = std::fmod(h, 360.0);
    if (h < 0) h += 360.0;
    return h >= 360.0 ? 0.0 : h;
}

// A hue shift taken the short way: -180 < x <= 180.
double WrapShift(double x) {
    if (-180.0 < x && x <= 180.0) return x;
    if (!std::isfinite(x)) return 0.0;
    x = std::fmod(x, 360.0);
    if (x > 180.0) x -= 360.0;
    if (x <= -180.0) x += 360.0;
    return x;
}

// The chroma of the boundary colour of the RGB cube at hue pattern p (luma yp) and luma y: the
// pattern mixed with white above its own luma, scaled towards black below it.
double BoundaryChroma(double yp, double y, double* t, bool* above) {
    *above = y >= yp;
    if (*above) {
        *t = (y - yp) / (1.0 - yp);
        return 1.0 - *t;
    }
    *t = y / yp;
    return *t;
}

// Tenths of a degree, rounded by adding 0.5 and truncating. The value is first held inside the
// circle so that the conversion is always defined.
int32_t Tenths(double degrees) {
    if (!(0.0 <= degrees)) degrees = 0.0;
    if (degrees > 360.0) degrees = 360.0;
    return int32_t(degrees * 10.0 + 0.5);
}

bool HandlesNeutral(const EditPars* p) {
    for (const HueHandle& h : p->hue) {
        if (h.hueShift != 0.0f || h.brightness != 0.5f || h.saturation != 0.5f) return false;
    }
    return true;
}

}  // namespace

int32_t HgRgbToHue(const float rgb[3], float out[3], int32_t mode) {
    if (rgb == nullptr || out == nullptr || !(kHgHueHsl <= mode && mode <= kHgHueLuma)) {
        return kStatusProblem;
    }
    double r = rgb[0], g = rgb[1], b = rgb[2];
    double mx = r, mn = r;
    if (g > mx) mx = g;
    if (b > mx) mx = b;
    if (g < mn) mn = g;
    if (b < mn) mn = b;
    double c = mx - mn;
    double h = 0.0;
    bool grey = !(c >= kGreyChroma);
    if (!grey) {
        // Ties go to red, then green: R >= G, B is red; G > R and G >= B is green; else blue.
        if (r >= g && r >= b) {
            h = (g - b) / (6.0 * c);
        } else if (g >= b) {
            h = 1.0 / 3.0 + (b - r) / (6.0 * c);
        } else {
            h = 2.0 / 3.0 + (r - g) / (6.0 * c);
        }
        h = WrapUnit(h);
    }
    double second = 0.0, third;
    if (mode == kHgHueLuma) {
        third = HgLuma<double>(r, g, b);
        if (!grey) {
            double p[3], t;
            bool above;
            HuePattern(h, p);
            double qc = BoundaryChroma(HgLuma<double>(p[0], p[1], p[2]), third, &t, &above);
            second = qc < kGreyChroma ? 0.0 : c / qc;
        }
    } else {
        third = (mx + mn) / 2.0;
        if (!grey) {
            if (mode == kHgHueChroma) {
                second = c;
            } else {
                double sum = mx + mn;
                second = sum < 1.0 ? c / sum : c / (2.0 - sum);
            }
        }
    }
    float hf = float(h);
    out[0] = hf >= 1.0f ? 0.0f : hf;
    out[1] = float(second);
    out[2] = float(third);
    return kStatusOk;
}

int32_t HgHueToRgb(const float in[3], float rgb[3], int32_t mode) {
    if (in == nullptr || rgb == nullptr || !(kHgHueHsl <= mode && mode <= kHgHueLuma)) {
        return kStatusProblem;
    }
    double p[3];
    HuePattern(WrapUnit(in[0]), p);
    double second = in[1], third = in[2];
    double out[3];
    if (mode == kHgHueLuma) {
        double y = third, t;
        bool above;
        double yp = HgLuma<double>(p[0], p[1], p[2]);
        BoundaryChroma(yp, y, &t, &above);
        for (int c = 0; c < 3; ++c) {
            double q = above ? p[c] + (1.0 - p[c]) * t : p[c] * t;
            out[c] = y + second * (q - y);
        }
    } else {
        double lo, hi;
        if (mode == kHgHueChroma) {
            lo = third - second / 2.0;
            hi = lo + second;
        } else {
            double l = third;
            hi = l <= 0.5 ? l * (1.0 + second) : l + second - l * second;
            lo = 2.0 * l - hi;
        }
        for (int c = 0; c < 3; ++c) out[c] = lo + (hi - lo) * p[c];
    }
    for (int c = 0; c < 3; ++c) rgb[c] = float(out[c]);
    return kStatusOk;
}

float HgScaleSaturation(float s, float S) {
    if (s == 0.5f) return S;
    if (s > 0.5f) return HgBias(S, s);
    return 2.0f * s * S;
}

int32_t HgNearestHandle(const EditPars* editPars, float hue) {
    if (editPars == nullptr || std::isnan(hue)) return kStatusProblem;
    double h = WrapDegrees(hue);
    int32_t best = 0;
    double bestDistance = 1e300;
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        double d = std::fabs(h - WrapDegrees(editPars->hue[i].baseHue));
        if (d > 180.0) d = 360.0 - d;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

int32_t HgApplyHueHandles(const EditPars* editPars, const float in[3], float out[3]) {
    if (editPars == nullptr || in == nullptr || out == nullptr) return kStatusProblem;
    if (HandlesNeutral(editPars)) {
        for (int c = 0; c < 3; ++c) out[c] = in[c];
        return kStatusOk;
    }
    double hue = WrapDegrees(in[0]);
    double S = in[1], Y = in[2];

    int32_t h = Tenths(hue);
    int32_t base[kEditHueCount];
    for (int i = 0; i < kEditHueCount; ++i) base[i] = Tenths(editPars->hue[i].baseHue);
    double w[kEditHueCount] = {};
    bool found = false;
    for (int i = 0; i < kEditHueCount && !found; ++i) {
        int next = (i + 1) % kEditHueCount;
        int32_t a = base[i], b = base[next], hh = h;
        if (b < a) {  // the pair spans 0 degrees
            if (hh < b) hh += 3600;
            b += 3600;
        }
        if (a <= hh && hh <= b) {
            found = true;
            if (b == a) {
                // Two handles on the same hue: the first one holds it alone (no 0/0 blend).
                w[i] = 1.0;
            } else {
                double upper = (double(hh - a) / 10.0) / (double(b - a) / 10.0);
                w[next] = upper;
                w[i] = 1.0 - upper;
            }
        }
    }
    if (!found) w[HgNearestHandle(editPars, float(hue))] = 1.0;

    double shift = 0, bright = 0, sat = 0;
    for (int i = 0; i < kEditHueCount; ++i) {
        if (w[i] == 0.0) continue;
        const HueHandle& handle = editPars->hue[i];
        shift += w[i] * WrapShift(handle.hueShift);
        bright += w[i] * handle.brightness;
        sat += w[i] * handle.saturation;
    }
    out[0] = float(WrapDegrees(hue + shift));
    if (out[0] >= 360.0f) out[0] = 0.0f;
    // Greys keep their luma; the more saturated a colour, the more the brightness moves it.
    out[2] = HgBias(float(Y), float((bright - 0.5) * S + 0.5));
    out[1] = HgScaleSaturation(float(sat), float(S));
    return kStatusOk;
}
