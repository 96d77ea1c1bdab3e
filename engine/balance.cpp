// Neutral balance and toning curves; see balance.h.
#include "engine/balance.h"

#include <cmath>

#include "engine/colour_math.h"
#include "engine/luma.h"
#include "engine/working_space.h"

namespace {

constexpr int kBins = kEditBinCount;
constexpr int kMaxDegree = 5;
constexpr int kMinDegree = 2;
constexpr double kTintThreshold = 0.001;
constexpr double kToneTolerance = 1e-8;
constexpr float kEditWhiteKelvin = 5000.0f;

void SetIdentity(float* curve) {
    for (int i = 0; i < kEditCurveSize; ++i) curve[i] = float(i / 255.0);
}

void ClearPoints(HgBinPoints* pts) {
    for (int k = 0; k < kBins; ++k) {
        for (int c = 0; c < 3; ++c) pts->source[c][k] = pts->target[c][k] = -1.0f;
        pts->count[k] = -1;
    }
}

// Weight of bin k in the fit: (k + 1) for the lower half, (20 - k) for the upper half.
double BinWeight(int k) {
    return k < kBins / 2 ? k + 1 : kBins - k;
}

// Solves the (n x n) system a x = b in place by Gauss-Jordan elimination with partial pivoting.
// False for a singular matrix (a pivot negligible against the largest diagonal entry).
bool Solve(double a[kMaxDegree + 1][kMaxDegree + 1], double b[kMaxDegree + 1], int n) {
    double scale = 0;
    for (int i = 0; i < n; ++i) scale = std::fmax(scale, std::fabs(a[i][i]));
    if (!(scale > 0) || !std::isfinite(scale)) return false;
    for (int col = 0; col < n; ++col) {
        int pivot = col;
        for (int r = col + 1; r < n; ++r) {
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
        }
        if (!(std::fabs(a[pivot][col]) > scale * 1e-14)) return false;
        if (pivot != col) {
            for (int j = 0; j < n; ++j) {
                double t = a[col][j];
                a[col][j] = a[pivot][j];
                a[pivot][j] = t;
            }
            double t = b[col];
            b[col] = b[pivot];
            b[pivot] = t;
        }
        for (int r = 0; r < n; ++r) {
            if (r == col) continue;
            double f = a[r][col] / a[col][col];
            if (f == 0) continue;
            for (int j = col; j < n; ++j) a[r][j] -= f * a[col][j];
            b[r] -= f * b[col];
        }
    }
    for (int i = 0; i < n; ++i) {
        b[i] /= a[i][i];
        if (!std::isfinite(b[i])) return false;
    }
    return true;
}

// The weighted least-squares polynomial of the given degree through the filled bins of one
// channel; coefficients lowest power first. False when the fit fails.
bool Fit(const HgBinPoints* pts, int channel, int degree, double coef[kMaxDegree + 1]) {
    double power[2 * kMaxDegree + 1] = {}, moment[kMaxDegree + 1] = {};
    double points = 0;
    for (int k = 0; k < kBins; ++k) {
        if (pts->count[k] < 0) continue;
        double x = pts->source[channel][k], y = pts->target[channel][k], w = BinWeight(k);
        double xp = 1.0;
        for (int j = 0; j <= 2 * degree; ++j) {
            power[j] += w * xp;
            if (j <= degree) moment[j] += w * y * xp;
            xp *= x;
        }
        points += w;
    }
    if (points < degree + 1) return false;
    double a[kMaxDegree + 1][kMaxDegree + 1];
    for (int i = 0; i <= degree; ++i) {
        for (int j = 0; j <= degree; ++j) a[i][j] = power[i + j];
        coef[i] = moment[i];
    }
    return Solve(a, coef, degree + 1);
}

// Tabulates the polynomial within the band 0.01 t .. 0.99 + 0.01 t; true when the result is
// strictly increasing.
bool Tabulate(const double coef[kMaxDegree + 1], int degree, float curve[kEditCurveSize]) {
    bool increasing = true;
    for (int i = 0; i < kEditCurveSize; ++i) {
        double t = i / 255.0, v = coef[degree];
        for (int j = degree - 1; j >= 0; --j) v = v * t + coef[j];
        double lo = 0.01 * t, hi = 0.99 + 0.01 * t;
        if (!(v >= lo)) v = lo;
        if (v > hi) v = hi;
        curve[i] = float(v);
        if (i > 0 && !(curve[i] > curve[i - 1])) increasing = false;
    }
    return increasing;
}

// What a tinted balance turns a mean colour of luma y into: the LCh colour of lightness 100 y
// with the chroma and hue of the neutral target, brought into the working space.
struct TintSpace {
    float d50[3];
    float toRgb[9];
    double gamma;
    const float* white;
};

int32_t PrepareTint(const RefRGB* ref, TintSpace* tint) {
    if (!HgRefRgbValid(ref)) return kStatusProblem;
    float xyY[3];
    int32_t status = HgWhiteFromTemperature(kEditWhiteKelvin, xyY);
    if (status == kStatusOk) status = HgXyToXyz(xyY, tint->d50);
    if (status == kStatusOk) status = HgXyzToRgbMatrix(ref->primaries, ref->xyzWhite, tint->toRgb);
    tint->gamma = ref->gamma;
    tint->white = ref->xyzWhite;
    return status == kStatusOk ? kStatusOk : kStatusProblem;
}

int32_t TintedTarget(const TintSpace& tint, const float target[3], double y, float out[3]) {
    double L = 100.0 * y;
    double hue = std::fmod(target[1] + (L - 50.0) * target[2], 360.0);
    if (hue < 0) hue += 360.0;
    float lch[3] = {float(L), float(target[0] * 0.04 * L * (1.0 - L / 100.0)), float(hue)};
    float lab[3], xyz[3], adapted[3], rgb[3];
    int32_t status = HgLchToLab(lch, lab);
    if (status == kStatusOk) status = HgLabToXyz(lab, tint.d50, xyz);
    if (status == kStatusOk) {
        status = HgAdaptWhite(xyz, tint.d50, tint.white, kHgAdaptBradford, adapted);
    }
    if (status != kStatusOk) return kStatusProblem;
    HgMatrix3Apply(tint.toRgb, adapted, rgb);
    for (int c = 0; c < 3; ++c) {
        double v = rgb[c];
        if (!(v > 0)) v = 0;
        if (v > 1) v = 1;
        out[c] = float(std::pow(v, 1.0 / tint.gamma));
    }
    return kStatusOk;
}

void FitAll(HgBinPoints* pts, float curves[3][kEditCurveSize]) {
    HgCompleteBinPoints(pts);
    for (int c = 0; c < 3; ++c) HgFitBinCurve(pts, c, curves[c]);
}

}  // namespace

int32_t HgLumaBin(const float rgb[3]) {
    // Integer weights keep the sum exact for float components, so a grey sits in the bin of its
    // own value (0.5 in bin 10, not 9 by a rounding of 0.299 + 0.587 + 0.114).
    double y = (299.0 * rgb[0] + 587.0 * rgb[1] + 114.0 * rgb[2]) / 1000.0;
    double k = std::floor(20.0 * y);
    if (!(k >= 0)) return 0;
    return k > kBins - 1 ? kBins - 1 : int32_t(k);
}

int32_t HgAddBalanceSample(SampleBin bins[kEditBinCount], const float rgb[3]) {
    if (bins == nullptr || rgb == nullptr) return kStatusProblem;
    for (int c = 0; c < 3; ++c) {
        if (!(0.0f <= rgb[c] && rgb[c] <= 1.0f)) return kStatusProblem;
    }
    SampleBin& bin = bins[HgLumaBin(rgb)];
    if (bin.count == INT32_MAX) return kStatusProblem;
    for (int c = 0; c < 3; ++c) bin.sum[c] += rgb[c];
    ++bin.count;
    return kStatusOk;
}

void HgCompleteBinPoints(HgBinPoints* pts) {
    if (pts == nullptr) return;
    if (pts->count[0] < 0) {
        for (int c = 0; c < 3; ++c) pts->source[c][0] = pts->target[c][0] = 0.0f;
        pts->count[0] = 0;
    }
    if (pts->count[kBins - 1] < 0) {
        for (int c = 0; c < 3; ++c) pts->source[c][kBins - 1] = pts->target[c][kBins - 1] = 1.0f;
        pts->count[kBins - 1] = 0;
    }
    int a = 0;
    for (int b = 1; b < kBins; ++b) {
        if (pts->count[b] < 0) continue;
        for (int j = a + 1; j < b; ++j) {
            double t = double(j - a) / double(b - a);
            for (int c = 0; c < 3; ++c) {
                pts->source[c][j] =
                    float(pts->source[c][a] + (pts->source[c][b] - pts->source[c][a]) * t);
                pts->target[c][j] =
                    float(pts->target[c][a] + (pts->target[c][b] - pts->target[c][a]) * t);
            }
            pts->count[j] =
                int32_t(std::lround(pts->count[a] + (pts->count[b] - pts->count[a]) * t));
        }
        a = b;
    }
}

int32_t HgFitBinCurve(const HgBinPoints* pts, int32_t channel, float curve[kEditCurveSize]) {
    if (pts == nullptr || curve == nullptr || !(0 <= channel && channel < 3)) {
        return kStatusProblem;
    }
    for (int degree = kMaxDegree; degree >= kMinDegree; --degree) {
        double coef[kMaxDegree + 1];
        if (!Fit(pts, channel, degree, coef)) continue;
        if (Tabulate(coef, degree, curve)) return degree;
    }
    return 0;
}

int32_t HgBuildBalance(EditPars* p) {
    if (p == nullptr) return kStatusProblem;
    if (p->balCurveValid == 1) return kStatusOk;

    bool tinted = p->neutralTarget[0] >= kTintThreshold;
    TintSpace tint;
    if (tinted && PrepareTint(&p->refRGB, &tint) != kStatusOk) return kStatusProblem;

    HgBinPoints pts;
    ClearPoints(&pts);
    bool any = false, reachesTop = false, reachesBottom = false;
    for (int k = 0; k < kBins; ++k) {
        const SampleBin& bin = p->balBin[k];
        if (bin.count <= 0) continue;
        any = true;
        float mean[3];
        for (int c = 0; c < 3; ++c) mean[c] = float(double(bin.sum[c]) / bin.count);
        double y = HgLuma<double>(mean[0], mean[1], mean[2]);
        float target[3] = {float(y), float(y), float(y)};
        if (tinted && TintedTarget(tint, p->neutralTarget, y, target) != kStatusOk) {
            return kStatusProblem;
        }
        for (int c = 0; c < 3; ++c) {
            pts.source[c][k] = mean[c];
            pts.target[c][k] = target[c];
            // Within half a code of the end: what an 8-bit pixel there reads as.
            reachesTop = reachesTop || mean[c] >= 254.5f / 255.0f;
            reachesBottom = reachesBottom || mean[c] <= 0.5f / 255.0f;
        }
        pts.count[k] = bin.count;
    }
    if (!any) {
        for (auto& curve : p->balCurve) SetIdentity(curve);
    } else {
        FitAll(&pts, p->balCurve);
        // A clipped white or black holds no colour of its own, yet the anchors that would keep
        // full scale and zero in place weigh least in the fit, or are displaced by a sample in
        // an end bin: a white background or a specular highlight would take the colour of the
        // polynomial's end. So the ends are pinned, unless a sample itself reaches them (a
        // background clipped in one channel that was marked as neutral must move). The band
        // keeps the neighbouring entries strictly inside, so the curves stay increasing.
        if (!reachesTop) {
            for (auto& curve : p->balCurve) curve[kEditCurveSize - 1] = 1.0f;
        }
        if (!reachesBottom) {
            for (auto& curve : p->balCurve) curve[0] = 0.0f;
        }
    }
    p->balCurveValid = 1;
    return kStatusOk;
}

int32_t HgBuildToning(EditPars* p) {
    if (p == nullptr) return kStatusProblem;
    bool current = true, neutral = true;
    for (int c = 0; c < 3; ++c) {
        double tc = p->toneColor[c];
        if (!std::isfinite(tc)) return kStatusProblem;
        if (!(std::fabs(tc - p->toneCurveFor[c]) < kToneTolerance)) current = false;
        if (!(std::fabs(tc - 0.5) < kToneTolerance)) neutral = false;
    }
    if (current) return kStatusOk;
    if (neutral) {
        for (auto& curve : p->toneCurve) SetIdentity(curve);
    } else {
        // One point: the complement of the tone colour goes to its own luma, so a grey moves
        // towards the tone colour (a strong channel of it is raised, a weak one lowered).
        float d[3] = {1.0f - p->toneColor[0], 1.0f - p->toneColor[1], 1.0f - p->toneColor[2]};
        float y = float(HgLuma<double>(d[0], d[1], d[2]));
        HgBinPoints pts;
        ClearPoints(&pts);
        int k = HgLumaBin(d);
        for (int c = 0; c < 3; ++c) {
            pts.source[c][k] = d[c];
            pts.target[c][k] = y;
        }
        pts.count[k] = 1;
        FitAll(&pts, p->toneCurve);
    }
    for (int c = 0; c < 3; ++c) p->toneCurveFor[c] = p->toneColor[c];
    return kStatusOk;
}

int32_t HgNeutralTargetFromColour(const float rgb[3], const RefRGB* ref, float out[3]) {
    if (rgb == nullptr || ref == nullptr || out == nullptr) return kStatusProblem;
    if (!HgRefRgbValid(ref)) return kStatusProblem;
    float linear[3];
    for (int c = 0; c < 3; ++c) {
        double v = rgb[c];
        if (!std::isfinite(v)) return kStatusProblem;
        linear[c] =
            float(v < 0 ? -std::pow(-v, double(ref->gamma)) : std::pow(v, double(ref->gamma)));
    }
    float m[9], xyz[3], d50[3], xyY[3], adapted[3], lab[3], lch[3];
    int32_t status = HgRgbToXyzMatrix(ref->primaries, ref->xyzWhite, m);
    if (status == kStatusOk) status = HgWhiteFromTemperature(kEditWhiteKelvin, xyY);
    if (status == kStatusOk) status = HgXyToXyz(xyY, d50);
    if (status == kStatusOk) {
        HgMatrix3Apply(m, linear, xyz);
        status = HgAdaptWhite(xyz, ref->xyzWhite, d50, kHgAdaptBradford, adapted);
    }
    if (status == kStatusOk) status = HgXyzToLab(adapted, d50, lab);
    if (status == kStatusOk) status = HgLabToLch(lab, lch);
    if (status != kStatusOk) return kStatusProblem;

    double L = lch[0], C = lch[1];
    double perStep = 0.04 * L * (1.0 - L / 100.0);
    int32_t strength = 0;
    double best = 0;
    for (int32_t s = 0; s <= 100; ++s) {
        double e = s * perStep - C;
        e *= e;
        if (s == 0 || e < best) {
            best = e;
            strength = s;
        }
    }
    out[0] = float(strength);
    out[1] = C >= 5.0 ? lch[2] : 0.0f;
    out[2] = 0.0f;
    return kStatusOk;
}
