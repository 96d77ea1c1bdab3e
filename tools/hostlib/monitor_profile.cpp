// The monitor record from an ICC profile, through lcms2; see monitor_profile.h.
#include "tools/hostlib/monitor_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "tools/hostlib/host_services.h"

namespace {

struct ProfileCloser {
    void operator()(void* h) const { cmsCloseProfile(h); }
};

using Matrix = double[3][3];

bool Invert(const Matrix& m, Matrix& out) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!(std::fabs(det) > 1e-12)) return false;
    out[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    out[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    out[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    out[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    out[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    out[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    out[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    out[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    out[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return true;
}

void Apply(const Matrix& m, const double in[3], double out[3]) {
    for (int r = 0; r < 3; ++r) out[r] = m[r][0] * in[0] + m[r][1] * in[1] + m[r][2] * in[2];
}

void Multiply(const Matrix& a, const Matrix& b, Matrix& out) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            out[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c];
    }
}

// The Bradford adaptation that takes colours seen under `from` to `to` (both XYZ whites).
bool Bradford(const double from[3], const double to[3], Matrix& out) {
    static const Matrix kCone = {
        {0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}};
    Matrix inverse;
    if (!Invert(kCone, inverse)) return false;
    double a[3], b[3];
    Apply(kCone, from, a);
    Apply(kCone, to, b);
    Matrix scale = {{b[0] / a[0], 0, 0}, {0, b[1] / a[1], 0}, {0, 0, b[2] / a[2]}};
    Matrix t;
    Multiply(scale, kCone, t);
    Multiply(inverse, t, out);
    return true;
}

bool Chromaticity(const double xyz[3], double* x, double* y) {
    const double sum = xyz[0] + xyz[1] + xyz[2];
    if (!(sum > 1e-9)) return false;
    *x = xyz[0] / sum;
    *y = xyz[1] / sum;
    return std::isfinite(*x) && std::isfinite(*y);
}

// The gamma of the pure power curve nearest to the tone curve (least squares over 256 samples,
// to 0.001), or a negative value when even that one is more than 0.03 away somewhere. The error
// is searched on a 0.01 grid first and then to 0.001 around the best of it: the whole 0.001 grid
// made every run inside GIMP wait a fifth of a second for an sRGB profile.
double FitGamma(const cmsToneCurve* curve) {
    double value[256], logX[256];
    for (int i = 0; i < 256; ++i) {
        value[i] = cmsEvalToneCurveFloat(curve, cmsFloat32Number(i / 255.0));
        logX[i] = i > 0 ? std::log(i / 255.0) : 0;
    }
    auto error = [&](int g) {  // g in thousandths
        double sum = 0;
        for (int i = 1; i < 256; ++i) {
            const double d = value[i] - std::exp(g / 1000.0 * logX[i]);
            sum += d * d;
        }
        return sum;
    };
    auto bestOf = [&](int from, int to, int step) {
        int best = from;
        double bestError = 1e300;
        for (int g = from; g <= to; g += step) {
            const double e = error(g);
            if (e < bestError) {
                bestError = e;
                best = g;
            }
        }
        return best;
    };
    const int coarse = bestOf(500, 5000, 10);
    const double best = bestOf(std::max(500, coarse - 10), std::min(5000, coarse + 10), 1) / 1000.0;
    for (int i = 0; i < 256; ++i) {
        if (std::fabs(value[i] - std::pow(i / 255.0, best)) > 0.03) return -1;
    }
    return best;
}

}  // namespace

bool MonitorFromProfile(const void* icc, size_t size, PlugInMonitor* monitor, std::string* why) {
    if (icc == nullptr || size < 128 || size > (size_t(1) << 30)) {
        *why = "not a colour profile";
        return false;
    }
    std::unique_ptr<void, ProfileCloser> h(cmsOpenProfileFromMem(icc, cmsUInt32Number(size)));
    if (!h) {
        *why = "not a readable colour profile";
        return false;
    }
    if (cmsGetColorSpace(h.get()) != cmsSigRgbData) {
        *why = "not an RGB profile";
        return false;
    }
    if (!cmsIsMatrixShaper(h.get())) {
        *why = "not a matrix/TRC profile";
        return false;
    }
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                          cmsSigBlueColorantTag};
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    double pcs[3][3];
    double gammas[3];
    for (int c = 0; c < 3; ++c) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(h.get(), colorants[c]));
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(h.get(), curves[c]));
        if (xyz == nullptr || curve == nullptr) {
            *why = "a colorant or tone curve is missing";
            return false;
        }
        pcs[c][0] = xyz->X;
        pcs[c][1] = xyz->Y;
        pcs[c][2] = xyz->Z;
        // A pure power curve says its gamma; any other gets the nearest power.
        gammas[c] = cmsIsToneCurveLinear(curve) ? 1.0 : cmsEstimateGamma(curve, 0.001);
        if (!(0.5 <= gammas[c] && gammas[c] <= 5.0)) gammas[c] = FitGamma(curve);
        if (!(0.5 <= gammas[c] && gammas[c] <= 5.0)) {
            *why = "a tone curve is not close to a gamma curve";
            return false;
        }
    }
    if (std::fabs(gammas[0] - gammas[1]) > 0.05 || std::fabs(gammas[0] - gammas[2]) > 0.05) {
        *why = "the three tone curves differ";
        return false;
    }

    // From the connection white back to the space's own white.
    const double d50[3] = {cmsD50_XYZ()->X, cmsD50_XYZ()->Y, cmsD50_XYZ()->Z};
    Matrix back = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double white[3] = {d50[0], d50[1], d50[2]};
    if (const auto* chad = static_cast<const cmsFloat64Number*>(
            cmsReadTag(h.get(), cmsSigChromaticAdaptationTag))) {
        Matrix m = {
            {chad[0], chad[1], chad[2]}, {chad[3], chad[4], chad[5]}, {chad[6], chad[7], chad[8]}};
        if (!Invert(m, back)) {
            *why = "its chromatic adaptation cannot be undone";
            return false;
        }
        Apply(back, d50, white);
    } else if (const auto* wtpt =
                   static_cast<const cmsCIEXYZ*>(cmsReadTag(h.get(), cmsSigMediaWhitePointTag))) {
        white[0] = wtpt->X;
        white[1] = wtpt->Y;
        white[2] = wtpt->Z;
        if (!Bradford(d50, white, back)) {
            *why = "its white point cannot be adapted";
            return false;
        }
    }
    double xy[8];
    for (int c = 0; c < 3; ++c) {
        double own[3];
        Apply(back, pcs[c], own);
        if (!Chromaticity(own, &xy[2 * c], &xy[2 * c + 1])) {
            *why = "a primary has no chromaticity";
            return false;
        }
    }
    if (!Chromaticity(white, &xy[6], &xy[7])) {
        *why = "the white point has no chromaticity";
        return false;
    }
    PlugInMonitor m = MonitorOf((gammas[0] + gammas[1] + gammas[2]) / 3.0, xy);
    *monitor = m;
    return true;
}
