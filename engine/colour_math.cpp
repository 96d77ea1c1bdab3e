// Colour conversions; see colour_math.h.
#include "engine/colour_math.h"

#include <cmath>

namespace {

int32_t gRangeMode = kHgRangeClamp;

constexpr double kEpsilon = 216.0 / 24389.0;
constexpr double kKappa = 24389.0 / 27.0;
constexpr double kPi = 3.14159265358979323846;

constexpr double kBradford[9] = {0.8951, 0.2664, -0.1614, -0.7502, 1.7135,
                                 0.0367, 0.0389, -0.0685, 1.0296};
constexpr double kHpe[9] = {0.40024, 0.7076, -0.08081, -0.2263, 1.16532, 0.0457, 0, 0, 0.91822};

void Apply(const double m[9], const double in[3], double out[3]) {
    for (int r = 0; r < 3; ++r)
        out[r] = m[3 * r] * in[0] + m[3 * r + 1] * in[1] + m[3 * r + 2] * in[2];
}

bool Invert(const double m[9], double inv[9]) {
    double c00 = m[4] * m[8] - m[5] * m[7];
    double c01 = m[5] * m[6] - m[3] * m[8];
    double c02 = m[3] * m[7] - m[4] * m[6];
    double det = m[0] * c00 + m[1] * c01 + m[2] * c02;
    if (!(std::fabs(det) > 1e-12) || !std::isfinite(det)) return false;
    double d = 1.0 / det;
    inv[0] = c00 * d;
    inv[1] = (m[2] * m[7] - m[1] * m[8]) * d;
    inv[2] = (m[1] * m[5] - m[2] * m[4]) * d;
    inv[3] = c01 * d;
    inv[4] = (m[0] * m[8] - m[2] * m[6]) * d;
    inv[5] = (m[2] * m[3] - m[0] * m[5]) * d;
    inv[6] = c02 * d;
    inv[7] = (m[1] * m[6] - m[0] * m[7]) * d;
    inv[8] = (m[0] * m[4] - m[1] * m[3]) * d;
    return true;
}

double LabF(double t) {
    return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
}

double LabFInverse(double f) {
    double cube = f * f * f;
    return cube > kEpsilon ? cube : (116.0 * f - 16.0) / kKappa;
}

double WrapDegrees(double h) {
    h = std::fmod(h, 360.0);
    if (h < 0) h += 360.0;
    return h;
}

bool BuildRgbToXyz(const float primaries[6], const float white[3], double m[9]) {
    double p[9];
    for (int c = 0; c < 3; ++c) {
        double x = primaries[2 * c], y = primaries[2 * c + 1];
        if (!(std::fabs(y) > 1e-10)) return false;
        p[c] = x / y;
        p[3 + c] = 1.0;
        p[6 + c] = (1.0 - x - y) / y;
    }
    double inv[9], s[3];
    if (!Invert(p, inv)) return false;
    double w[3] = {white[0], white[1], white[2]};
    Apply(inv, w, s);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m[3 * r + c] = p[3 * r + c] * s[c];
    }
    for (int i = 0; i < 9; ++i) {
        if (!std::isfinite(m[i])) return false;
    }
    return true;
}

void Store(const double* in, float* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = float(in[i]);
}

}  // namespace

void HgSetOutOfRangeMode(int32_t mode) {
    if (kHgRangeRefuse <= mode && mode <= kHgRangePass) gRangeMode = mode;
}

int32_t HgGetOutOfRangeMode() {
    return gRangeMode;
}

int32_t HgWhiteFromTemperature(float kelvin, float xyY[3]) {
    if (xyY == nullptr || std::isnan(kelvin)) return kStatusProblem;
    double t = kelvin;
    if (!(4000.0 <= t && t <= 25000.0)) {
        if (gRangeMode == kHgRangeRefuse) return kStatusError;
        if (gRangeMode == kHgRangeClamp) t = t < 4000.0 ? 4000.0 : 25000.0;
        if (!(t > 0) || std::isinf(t)) return kStatusProblem;
    }
    double t2 = t * t, t3 = t2 * t;
    double x = t < 7000.0 ? -4.6070e9 / t3 + 2.9678e6 / t2 + 99.11 / t + 0.244063
                          : -2.0064e9 / t3 + 1.9018e6 / t2 + 247.48 / t + 0.23704;
    double y = -3.0 * x * x + 2.87 * x - 0.275;
    xyY[0] = float(x);
    xyY[1] = float(y);
    xyY[2] = 1.0f;
    return kStatusOk;
}

int32_t HgXyToXyz(const float xyY[3], float xyz[3]) {
    if (xyY == nullptr || xyz == nullptr) return kStatusProblem;
    double x = xyY[0], y = xyY[1], Y = xyY[2];
    if (!(y >= 1e-10)) {
        xyz[0] = xyz[1] = xyz[2] = 0.0f;
        return kStatusOk;
    }
    xyz[0] = float(x * Y / y);
    xyz[1] = float(Y);
    xyz[2] = float((1.0 - x - y) * Y / y);
    return kStatusOk;
}

int32_t HgXyzToXy(const float xyz[3], float xy[2]) {
    if (xyz == nullptr || xy == nullptr) return kStatusProblem;
    double sum = double(xyz[0]) + xyz[1] + xyz[2];
    if (!(sum > 0)) {
        xy[0] = xy[1] = 0.0f;
        return kStatusProblem;
    }
    xy[0] = float(xyz[0] / sum);
    xy[1] = float(xyz[1] / sum);
    return kStatusOk;
}

int32_t HgXyzToLab(const float xyz[3], const float white[3], float lab[3]) {
    if (xyz == nullptr || white == nullptr || lab == nullptr) return kStatusProblem;
    if (!(white[0] > 0 && white[1] > 0 && white[2] > 0)) return kStatusProblem;
    double fx = LabF(xyz[0] / double(white[0]));
    double fy = LabF(xyz[1] / double(white[1]));
    double fz = LabF(xyz[2] / double(white[2]));
    lab[0] = float(116.0 * fy - 16.0);
    lab[1] = float(500.0 * (fx - fy));
    lab[2] = float(200.0 * (fy - fz));
    return kStatusOk;
}

int32_t HgLabToXyz(const float lab[3], const float white[3], float xyz[3]) {
    if (lab == nullptr || white == nullptr || xyz == nullptr) return kStatusProblem;
    double L = lab[0];
    if (L < 1e-10) {  // no lightness is black, whatever a and b say
        xyz[0] = xyz[1] = xyz[2] = 0.0f;
        return kStatusOk;
    }
    double fy = (L + 16.0) / 116.0;
    double fx = fy + lab[1] / 500.0;
    double fz = fy - lab[2] / 200.0;
    double yr = L > kKappa * kEpsilon ? fy * fy * fy : L / kKappa;
    xyz[0] = float(LabFInverse(fx) * white[0]);
    xyz[1] = float(yr * white[1]);
    xyz[2] = float(LabFInverse(fz) * white[2]);
    return kStatusOk;
}

int32_t HgLabToLch(const float lab[3], float lch[3]) {
    if (lab == nullptr || lch == nullptr) return kStatusProblem;
    double a = lab[1], b = lab[2];
    double c = std::sqrt(a * a + b * b);
    double h = c < 1e-6 ? 0.0 : WrapDegrees(std::atan2(b, a) * 180.0 / kPi);
    lch[0] = lab[0];
    lch[1] = float(c);
    lch[2] = float(h);
    return kStatusOk;
}

int32_t HgLchToLab(const float lch[3], float lab[3]) {
    if (lch == nullptr || lab == nullptr) return kStatusProblem;
    double c = lch[1];
    double h = WrapDegrees(lch[2]);
    double a, b;
    if (std::fabs(h - 90.0) <= 1e-5) {
        a = 0;
        b = c;
    } else if (std::fabs(h - 270.0) <= 1e-5) {
        a = 0;
        b = -c;
    } else {
        a = c * std::cos(h * kPi / 180.0);
        b = c * std::sin(h * kPi / 180.0);
    }
    lab[0] = lch[0];
    lab[1] = float(a);
    lab[2] = float(b);
    return kStatusOk;
}

int32_t HgRgbToXyzMatrix(const float primaries[6], const float white[3], float m[9]) {
    if (primaries == nullptr || white == nullptr || m == nullptr) return kStatusProblem;
    double d[9];
    if (!BuildRgbToXyz(primaries, white, d)) return kStatusProblem;
    Store(d, m, 9);
    return kStatusOk;
}

int32_t HgXyzToRgbMatrix(const float primaries[6], const float white[3], float m[9]) {
    if (primaries == nullptr || white == nullptr || m == nullptr) return kStatusProblem;
    double d[9], inv[9];
    if (!BuildRgbToXyz(primaries, white, d) || !Invert(d, inv)) return kStatusProblem;
    Store(inv, m, 9);
    return kStatusOk;
}

int32_t HgInvertMatrix3(const float m[9], float inverse[9]) {
    if (m == nullptr || inverse == nullptr) return kStatusProblem;
    double d[9], inv[9];
    for (int i = 0; i < 9; ++i) d[i] = m[i];
    if (!Invert(d, inv)) return kStatusProblem;
    Store(inv, inverse, 9);
    return kStatusOk;
}

void HgMatrix3Apply(const float m[9], const float in[3], float out[3]) {
    double r[3];
    for (int i = 0; i < 3; ++i) {
        r[i] =
            double(m[3 * i]) * in[0] + double(m[3 * i + 1]) * in[1] + double(m[3 * i + 2]) * in[2];
    }
    Store(r, out, 3);
}

int32_t HgAdaptWhite(const float xyz[3], const float fromWhite[3], const float toWhite[3],
                     int32_t method, float out[3]) {
    if (xyz == nullptr || fromWhite == nullptr || toWhite == nullptr || out == nullptr) {
        return kStatusProblem;
    }
    double in[3] = {xyz[0], xyz[1], xyz[2]};
    double from[3] = {fromWhite[0], fromWhite[1], fromWhite[2]};
    double to[3] = {toWhite[0], toWhite[1], toWhite[2]};
    double result[3];
    if (method == kHgAdaptScaling) {
        for (int i = 0; i < 3; ++i) {
            if (!(std::fabs(from[i]) > 0)) return kStatusProblem;
            result[i] = in[i] * to[i] / from[i];
        }
    } else if (method == kHgAdaptBradford || method == kHgAdaptVonKries) {
        const double* cone = method == kHgAdaptBradford ? kBradford : kHpe;
        double inverse[9], coneIn[3], coneFrom[3], coneTo[3];
        if (!Invert(cone, inverse)) return kStatusProblem;
        Apply(cone, in, coneIn);
        Apply(cone, from, coneFrom);
        Apply(cone, to, coneTo);
        for (int i = 0; i < 3; ++i) {
            if (!(std::fabs(coneFrom[i]) > 0)) return kStatusProblem;
            coneIn[i] *= coneTo[i] / coneFrom[i];
        }
        Apply(inverse, coneIn, result);
    } else {
        return kStatusProblem;
    }
    Store(result, out, 3);
    return kStatusOk;
}

int32_t HgInterpolateTable(float v, const float* table, int32_t n, float* out) {
    if (table == nullptr || out == nullptr || n < 2 || std::isnan(v)) return kStatusProblem;
    double u = v;
    if (!(0.0 <= u && u <= 1.0)) {
        if (gRangeMode == kHgRangeRefuse) return kStatusProblem;
        if (gRangeMode == kHgRangeClamp) u = u < 0 ? 0.0 : 1.0;
        if (std::isinf(u)) return kStatusProblem;
    }
    double p = u * (n - 1);
    double f = std::floor(p);
    int32_t i;
    if (f < 0) {
        i = 0;
    } else if (f >= n - 1) {
        i = n - 2;
    } else {
        i = int32_t(f);
    }
    *out = float(table[i] + (double(table[i + 1]) - table[i]) * (p - i));
    return kStatusOk;
}
