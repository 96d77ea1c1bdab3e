// The edit chain; see edit_chain.h.
#include "engine/edit_chain.h"

#include <cmath>

#include "engine/balance.h"
#include "engine/hue_space.h"
#include "engine/working_space.h"
#include "platform/numeric.h"

namespace {

constexpr int32_t kPointBits = kEditBlackPoint | kEditGrayPoint | kEditWhitePoint;
constexpr double kToneTolerance = 1e-8;
constexpr float kFloatMax = 3.4028235e38f;

bool InRange(float v, float lo, float hi) {
    return lo <= v && v <= hi;
}
bool Finite(float v) {
    return InRange(v, -kFloatMax, kFloatMax);
}

bool BinsValid(const SampleBin* bins) {
    for (int k = 0; k < kEditBinCount; ++k) {
        const SampleBin& b = bins[k];
        if (b.count < 0) return false;
        for (float s : b.sum) {
            if (!InRange(s, 0.0f, kFloatMax)) return false;
        }
    }
    return true;
}

bool AnyBinUsed(const SampleBin* bins) {
    for (int k = 0; k < kEditBinCount; ++k) {
        if (bins[k].count > 0) return true;
    }
    return false;
}

bool HueStageNeutral(const EditPars* p) {
    for (const HueHandle& h : p->hue) {
        if (h.hueShift != 0.0f || h.brightness != 0.5f || h.saturation != 0.5f) return false;
    }
    for (float c : p->toneColor) {
        if (!(std::fabs(double(c) - 0.5) < kToneTolerance)) return false;
    }
    return true;
}

double SignedPow(double x, double e) {
    return x >= 0 ? std::pow(x, e) : -std::pow(-x, e);
}

// Reads a 256-entry curve at v by linear interpolation, v held within 0..1: the arithmetic of
// HgInterpolateTable in the engine's clamping mode, inlined because the chain reads up to fifteen
// curves per colour and a grid build evaluates tens of thousands of colours.
inline float Curve(const float* table, float v) {
    if (!(v > 0.0f)) return table[0];
    if (v >= 1.0f) return table[kEditCurveSize - 1];
    double p = double(v) * (kEditCurveSize - 1);
    int32_t i = int32_t(p);
    if (i >= kEditCurveSize - 1) i = kEditCurveSize - 2;
    return float(table[i] + (double(table[i + 1]) - table[i]) * (p - i));
}

// lo maps to 0, the point m = lo + (hi - lo) g to 0.5 and hi to 1, linearly on each side.
// A side of zero width sends everything on it to its end.
float TonePoints(float x, double lo, double m, double hi) {
    double y;
    if (x < m) {
        double width = m - lo;
        y = width != 0 ? 0.5 * (x - lo) / width : 0.0;
    } else {
        double width = hi - m;
        y = width != 0 ? 0.5 + 0.5 * (x - m) / width : (x > m ? 1.0 : 0.5);
    }
    return Num_Clamp01(float(y));
}

int32_t Saturation(float v[3], float s) {
    float hue[3];
    if (s < 0.5f) {
        int32_t status = HgRgbToHue(v, hue, kHgHueLuma);
        if (status != kStatusOk) return status;
        hue[1] *= 2.0f * s;
        status = HgHueToRgb(hue, v, kHgHueLuma);
        if (status != kStatusOk) return status;
    } else {
        int32_t status = HgRgbToHue(v, hue, kHgHueChroma);
        if (status != kStatusOk) return status;
        float limit = 2.0f * std::fmin(hue[2], 1.0f - hue[2]);
        float c = hue[1] * 2.0f * s;
        if (c > limit) c = limit;
        hue[1] = c > 0.0f ? c : 0.0f;
        status = HgHueToRgb(hue, v, kHgHueChroma);
        if (status != kStatusOk) return status;
    }
    for (int c = 0; c < 3; ++c) v[c] = Num_Clamp01(v[c]);
    return kStatusOk;
}

int32_t HueAndToning(EditPars* p, float v[3]) {
    float hsy[3], edited[3];
    int32_t status = HgRgbToHue(v, hsy, kHgHueLuma);
    if (status != kStatusOk) return status;
    hsy[0] *= 360.0f;
    status = HgApplyHueHandles(p, hsy, edited);
    if (status != kStatusOk) return status;
    edited[0] /= 360.0f;
    status = HgHueToRgb(edited, v, kHgHueLuma);
    if (status == kStatusOk) status = HgBuildToning(p);
    if (status != kStatusOk) return status;
    for (int c = 0; c < 3; ++c) v[c] = Curve(p->toneCurve[c], Num_Clamp01(v[c]));
    return kStatusOk;
}

}  // namespace

int32_t HgUpdateShadowCurve(EditPars* p) {
    if (p == nullptr) return kStatusProblem;
    if (p->shadowCurveFor == p->shadow) return kStatusOk;
    double s = p->shadow;
    if (!(0.0 <= s && s <= 1.0)) return kStatusProblem;
    double k = s < 0.5 ? s : 0.5 + 0.25 * 2.0 * (s - 0.5);
    double e = 2.0 * (1.0 - k);
    for (int i = 0; i < kEditCurveSize; ++i) {
        double t = i / 255.0, y;
        if (t < 0.5) {
            y = 0.6667 * SignedPow(1.5 * t, e);
        } else if (t > 0.6667) {
            y = t;
        } else {
            double a = 0.6667 * SignedPow(1.5 * t, e), w = (t - 0.5) / 0.1667;
            y = a + (t - a) * w;
        }
        p->shadowCurve[i] = float(y);
    }
    p->shadowCurveFor = p->shadow;
    return kStatusOk;
}

int32_t HgUpdateHighlightCurve(EditPars* p) {
    if (p == nullptr) return kStatusProblem;
    if (p->highlightCurveFor == p->highlight) return kStatusOk;
    double h = p->highlight;
    if (!(0.0 <= h && h <= 1.0)) return kStatusProblem;
    double k = h < 0.5 ? 1.0 - (0.5 + 0.25 * 2.0 * (h - 0.5)) : 1.0 - h;
    double e = 2.0 * (1.0 - k);
    for (int i = 0; i < kEditCurveSize; ++i) {
        double t = i / 255.0, u = 1.0 - t, y;
        if (u < 0.5) {
            y = 1.0 - 0.6667 * SignedPow(1.5 * u, e);
        } else if (u > 0.6667) {
            y = t;
        } else {
            double a = 0.6667 * SignedPow(1.5 * u, e), w = (u - 0.5) / 0.1667;
            y = 1.0 - (a + (u - a) * w);
        }
        p->highlightCurve[i] = float(y);
    }
    p->highlightCurveFor = p->highlight;
    return kStatusOk;
}

int32_t HgCheckPars(const EditPars* p) {
    if (p == nullptr) return kStatusProblem;
    bool ok = BinsValid(p->balBin) && Finite(p->neutralTarget[0]) && Finite(p->neutralTarget[1]) &&
              Finite(p->neutralTarget[2]) && HgRefRgbValid(&p->refRGB);
    for (const EditSingle& single : kEditSingles) ok = ok && EditSingleValid(p, single);
    for (const HueHandle& h : p->hue) {
        ok = ok && InRange(h.baseHue, 0.0f, 360.0f) && Finite(h.hueShift) &&
             InRange(h.brightness, 0.0f, 1.0f) && InRange(h.saturation, 0.0f, 1.0f) &&
             BinsValid(h.hueBin);
    }
    for (float c : p->toneColor) ok = ok && Finite(c);
    return ok ? kStatusOk : kStatusProblem;
}

int32_t HgTrimMask(const EditPars* p, int32_t* mask) {
    if (p == nullptr || mask == nullptr) return kStatusProblem;
    int32_t m = *mask & kEditMaskAll;
    if (!p->linear) m &= ~kEditLinear;
    if (!AnyBinUsed(p->balBin)) m &= ~kEditBalance;
    for (const EditSingle& single : kEditSingles) {
        if (p->*single.field == single.reset) m &= ~int32_t(single.group);
    }
    if (HueStageNeutral(p)) m &= ~int32_t(kEditMaskAllHues);
    *mask = m;
    return kStatusOk;
}

int32_t HgAddBalanceColour(EditPars* p, const float rgb[3]) {
    if (p == nullptr || rgb == nullptr) return kStatusProblem;
    for (int c = 0; c < 3; ++c) {
        if (!std::isfinite(rgb[c])) return kStatusProblem;
    }
    int32_t status = HgCheckPars(p);
    float linear[3];
    if (status == kStatusOk) status = HgEvalColour(p, kEditLinear, rgb, linear);
    if (status == kStatusOk) status = HgAddBalanceSample(p->balBin, linear);
    if (status == kStatusOk) p->balCurveValid = 0;
    return status;
}

int32_t HgEvalChannelStages(EditPars* p, int32_t mask, float v[3]) {
    if (p == nullptr || v == nullptr) return kStatusProblem;
    mask &= kEditMaskAll;
    int32_t status = kStatusOk;
    if ((mask & kEditLinear) && p->linear) {
        // The table depends on the working space alone; one that was never derived (its last
        // entry is always exactly 1) is derived here rather than read as zeros.
        if (p->gammaTable[kEditCurveSize - 1] != 1.0f) status = HgUpdateGammaTable(p);
        if (status != kStatusOk) return status;
        for (int c = 0; c < 3; ++c) v[c] = Curve(p->gammaTable, v[c]);
    }
    if (mask == kEditLinear) return kStatusOk;
    if (mask & kEditBalance) {
        status = HgBuildBalance(p);
        if (status != kStatusOk) return status;
        for (int c = 0; c < 3; ++c) v[c] = Curve(p->balCurve[c], v[c]);
    }
    if (mask == kEditBalance || mask == (kEditLinear | kEditBalance)) return kStatusOk;
    if (mask & kPointBits) {
        double lo = (mask & kEditBlackPoint) ? p->blackPoint : 0.0;
        double g = (mask & kEditGrayPoint) ? p->grayPoint : 0.5;
        double hi = (mask & kEditWhitePoint) ? p->whitePoint : 1.0;
        double m = lo + (hi - lo) * g;
        for (int c = 0; c < 3; ++c) v[c] = TonePoints(v[c], lo, m, hi);
    }
    if (mask & kEditBrightness) {
        for (int c = 0; c < 3; ++c) v[c] = HgBias(v[c], p->brightness);
    }
    if ((mask & kEditContrast) && p->contrast != 0.5f) {
        for (int c = 0; c < 3; ++c) v[c] = HgGain(v[c], p->contrast);
    }
    if ((mask & kEditShadow) && p->shadow != 0.5f) {
        status = HgUpdateShadowCurve(p);
        if (status != kStatusOk) return status;
        for (int c = 0; c < 3; ++c) v[c] = Curve(p->shadowCurve, v[c]);
    }
    if ((mask & kEditHighlight) && p->highlight != 0.5f) {
        status = HgUpdateHighlightCurve(p);
        if (status != kStatusOk) return status;
        for (int c = 0; c < 3; ++c) v[c] = Curve(p->highlightCurve, v[c]);
    }
    return kStatusOk;
}

int32_t HgEvalMixingStages(EditPars* p, int32_t mask, float v[3]) {
    if (p == nullptr || v == nullptr) return kStatusProblem;
    int32_t status = kStatusOk;
    if ((mask & kEditSaturation) && p->saturation != 0.5f) {
        status = Saturation(v, p->saturation);
        if (status != kStatusOk) return status;
    }
    if (mask & kEditMaskAllHues) status = HueAndToning(p, v);
    return status;
}

int32_t HgEvalColour(EditPars* p, int32_t mask, const float in[3], float out[3]) {
    if (p == nullptr || in == nullptr || out == nullptr) return kStatusProblem;
    float v[3] = {Num_Clamp01(in[0]), Num_Clamp01(in[1]), Num_Clamp01(in[2])};
    int32_t status = HgEvalChannelStages(p, mask, v);
    if (status == kStatusOk) status = HgEvalMixingStages(p, mask, v);
    if (status != kStatusOk) return status;
    for (int c = 0; c < 3; ++c) out[c] = Num_Clamp01(v[c]);
    return kStatusOk;
}
