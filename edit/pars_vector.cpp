// The float-vector form of the edit parameters; see pars_vector.h.
#include "edit/pars_vector.h"

#include "platform/debug_log.h"
#include "platform/ui_state.h"

namespace {

// Integers come back as floats; a value that is not finite or lies beyond the 32-bit range cannot
// be converted (the conversion would be undefined) and yields `invalid` instead, a value chosen
// by the caller to fail its check.
int32_t ToInt(float v, int32_t invalid) {
    if (!(-2147483648.0f <= v && v < 2147483648.0f)) return invalid;
    return int32_t(v);
}

bool ToFlag(float v) {
    return v > 0.5f;
}

bool InRange(float v, float lo, float hi) {
    return lo <= v && v <= hi;
}
bool IsFinite(float v) {
    return InRange(v, -3.4028235e38f, 3.4028235e38f);
}
bool NonNegative(float v) {
    return InRange(v, 0.0f, 3.4028235e38f);
}

void PackBins(const SampleBin* bins, float* out) {
    for (int k = 0; k < kEditBinCount; ++k) {
        for (int c = 0; c < 3; ++c) out[4 * k + c] = bins[k].sum[c];
        out[4 * k + 3] = float(bins[k].count);
    }
}

void UnpackBins(const float* in, SampleBin* bins) {
    for (int k = 0; k < kEditBinCount; ++k) {
        for (int c = 0; c < 3; ++c) bins[k].sum[c] = in[4 * k + c];
        bins[k].count = ToInt(in[4 * k + 3], -1);
    }
}

// The first bin with a negative or non-finite value, or -1.
int FirstBadBin(const SampleBin* bins) {
    for (int k = 0; k < kEditBinCount; ++k) {
        const SampleBin& b = bins[k];
        if (b.count < 0 || !NonNegative(b.sum[0]) || !NonNegative(b.sum[1]) ||
            !NonNegative(b.sum[2])) {
            return k;
        }
    }
    return -1;
}

void SetWholeDefaults(EditPars* p) {
    ResetPars(p, kEditMaskAll);
    SetSharpenNoiseDefaults(&p->sharpenNoise);
    RefRgbSetDefault(&p->refRGB);
}

// Checks one hue handle; logs the first failure and returns false.
bool HandleValid(const HueHandle& h, int i, uint8_t flag) {
    if (!InRange(h.baseHue, 0.0f, 360.0f)) {
        Ui_Debug_LogF(flag, "editPars hue[%d].baseHue pref invalid: %f", i, double(h.baseHue));
        return false;
    }
    if (!IsFinite(h.hueShift)) {
        Ui_Debug_LogF(flag, "editPars hue[%d].hueShift pref invalid: %f", i, double(h.hueShift));
        return false;
    }
    if (!InRange(h.brightness, 0.0f, 1.0f)) {
        Ui_Debug_LogF(flag, "editPars hue[%d].brightness pref invalid: %f", i,
                      double(h.brightness));
        return false;
    }
    if (!InRange(h.saturation, 0.0f, 1.0f)) {
        Ui_Debug_LogF(flag, "editPars hue[%d].saturation pref invalid: %f", i,
                      double(h.saturation));
        return false;
    }
    if (!EditColorIdValid(h.colorId)) {
        Ui_Debug_LogF(flag, "editPars hue[%d].colorId pref invalid: %d", i, int(h.colorId));
        return false;
    }
    int k = FirstBadBin(h.hueBin);
    if (k >= 0) {
        const SampleBin& b = h.hueBin[k];
        Ui_Debug_LogF(flag, "editPars hue[%d].hueBin[%d] pref invalid: %d %f %f %f", i, k,
                      int(b.count), double(b.sum[0]), double(b.sum[1]), double(b.sum[2]));
        return false;
    }
    return true;
}

}  // namespace

int32_t ParsToVector(const EditPars* p, float* v, int32_t count) {
    if (p == nullptr || v == nullptr || count != kParsVectorCount) return kStatusProblem;
    v[kParsVecLinear] = p->linear ? 1.0f : 0.0f;
    PackBins(p->balBin, v + kParsVecBalBin);
    for (int i = 0; i < 8; ++i) v[kParsVecTone + i] = p->*kEditSingles[i].field;
    for (int i = 0; i < kEditHueCount; ++i) {
        const HueHandle& h = p->hue[i];
        float* o = v + kParsVecHue + i * kParsVecHueStride;
        o[0] = h.baseHue;
        o[1] = h.hueShift;
        o[2] = h.brightness;
        o[3] = h.saturation;
        o[4] = float(h.colorId);
        PackBins(h.hueBin, o + 5);
    }
    v[kParsVecRefRgb] = p->refRGB.gamma;
    for (int i = 0; i < 3; ++i) v[kParsVecRefRgb + 1 + i] = p->refRGB.xyzWhite[i];
    for (int i = 0; i < 6; ++i) v[kParsVecRefRgb + 4 + i] = p->refRGB.primaries[i];
    for (int i = 0; i < 3; ++i) v[kParsVecNeutral + i] = p->neutralTarget[i];
    for (int i = 0; i < 3; ++i) v[kParsVecToneColor + i] = p->toneColor[i];
    const SharpenNoise& s = p->sharpenNoise;
    v[kParsVecSharpen + 0] = s.sharpenOn ? 1.0f : 0.0f;
    v[kParsVecSharpen + 1] = float(s.sharpenStrength);
    v[kParsVecSharpen + 2] = float(s.sharpenK);
    v[kParsVecSharpen + 3] = s.noiseOn ? 1.0f : 0.0f;
    v[kParsVecSharpen + 4] = s.noiseFlag ? 1.0f : 0.0f;
    for (int i = 0; i < 4; ++i) v[kParsVecNoise + i] = float(s.noiseRadius[i]);
    for (int i = 0; i < 4; ++i) v[kParsVecNoise + 4 + i] = float(s.noiseThreshold[i]);
    v[kParsVecNoise + 8] = float(s.noiseK);
    return kStatusOk;
}

int32_t ParsFromVector(const float* v, int32_t count, EditPars* p, UiState* state) {
    if (v == nullptr || p == nullptr) return kStatusFormat;
    if (count != kParsVectorCount && count != kParsVectorCountOld) return kStatusFormat;
    const uint8_t flag = state != nullptr ? state->diagnostics : 0;

    // Start from the defaults, so that what the vector does not carry (the 629-only values of an
    // older vector) keeps its default. The balance tables no longer match loaded bins.
    ResetPars(p, kEditMaskAll);
    SetSharpenNoiseDefaults(&p->sharpenNoise);
    p->balCurveValid = 0;

    p->linear = ToFlag(v[kParsVecLinear]) ? 1 : 0;
    UnpackBins(v + kParsVecBalBin, p->balBin);
    for (int i = 0; i < 8; ++i) p->*kEditSingles[i].field = v[kParsVecTone + i];
    for (int i = 0; i < kEditHueCount; ++i) {
        HueHandle& h = p->hue[i];
        const float* in = v + kParsVecHue + i * kParsVecHueStride;
        h.baseHue = in[0];
        h.hueShift = in[1];
        h.brightness = in[2];
        h.saturation = in[3];
        h.colorId = ToInt(in[4], -1);
        UnpackBins(in + 5, h.hueBin);
    }
    RefRGB& ref = p->refRGB;
    ref.gamma = v[kParsVecRefRgb];
    for (int i = 0; i < 3; ++i) ref.xyzWhite[i] = v[kParsVecRefRgb + 1 + i];
    for (int i = 0; i < 6; ++i) ref.primaries[i] = RefRgbRoundPrimary(v[kParsVecRefRgb + 4 + i]);
    if (count == kParsVectorCount) {
        for (int i = 0; i < 3; ++i) p->neutralTarget[i] = v[kParsVecNeutral + i];
        for (int i = 0; i < 3; ++i) p->toneColor[i] = v[kParsVecToneColor + i];
        SharpenNoise& s = p->sharpenNoise;
        s.sharpenOn = ToFlag(v[kParsVecSharpen + 0]) ? 1 : 0;
        s.sharpenStrength = ToInt(v[kParsVecSharpen + 1], 0);
        s.sharpenK = ToInt(v[kParsVecSharpen + 2], 0);
        s.noiseOn = ToFlag(v[kParsVecSharpen + 3]) ? 1 : 0;
        s.noiseFlag = ToFlag(v[kParsVecSharpen + 4]) ? 1 : 0;
        // Index 3 of the noise arrays is not checked; an unconvertible value there becomes 0.
        for (int i = 0; i < 4; ++i) {
            s.noiseRadius[i] = ToInt(v[kParsVecNoise + i], i < 3 ? -1 : 0);
            s.noiseThreshold[i] = ToInt(v[kParsVecNoise + 4 + i], i < 3 ? -1 : 0);
        }
        s.noiseK = ToInt(v[kParsVecNoise + 8], 0);
    }

    // A record made in an unknown space is worthless as a whole.
    if (!RefRgbIsValid(&ref)) {
        Ui_Debug_LogF(flag,
                      "refRGB in the editPars prefs is invalid: %f, %f %f %f, %f %f %f %f %f %f",
                      double(ref.gamma), double(ref.xyzWhite[0]), double(ref.xyzWhite[1]),
                      double(ref.xyzWhite[2]), double(ref.primaries[0]), double(ref.primaries[1]),
                      double(ref.primaries[2]), double(ref.primaries[3]), double(ref.primaries[4]),
                      double(ref.primaries[5]));
        SetWholeDefaults(p);
        return kStatusUnsupported;
    }

    int32_t result = kStatusOk;
    int k = FirstBadBin(p->balBin);
    if (k >= 0) {
        const SampleBin& b = p->balBin[k];
        Ui_Debug_LogF(flag, "editPars balBin[%d] pref invalid: %d %f %f %f", k, int(b.count),
                      double(b.sum[0]), double(b.sum[1]), double(b.sum[2]));
        ResetPars(p, kEditBalance);
        result = kStatusUnsupported;
    } else if (!IsFinite(p->neutralTarget[0]) || !IsFinite(p->neutralTarget[1]) ||
               !IsFinite(p->neutralTarget[2])) {
        Ui_Debug_LogF(flag, "editPars neutralTarget pref invalid: %f %f %f",
                      double(p->neutralTarget[0]), double(p->neutralTarget[1]),
                      double(p->neutralTarget[2]));
        ResetPars(p, kEditBalance);
        result = kStatusUnsupported;
    }

    for (const EditSingle& single : kEditSingles) {
        if (EditSingleValid(p, single)) continue;
        Ui_Debug_LogF(flag, "editPars %s pref invalid: %f", single.name, double(p->*single.field));
        ResetPars(p, single.group);
        result = kStatusUnsupported;
    }

    // The toning colour is a colour like the other colour definitions, 0..1 per component.
    if (!EditToneColorValid(p->toneColor)) {
        Ui_Debug_LogF(flag, "editPars toneColor pref invalid: %f %f %f", double(p->toneColor[0]),
                      double(p->toneColor[1]), double(p->toneColor[2]));
        for (float& c : p->toneColor) c = 0.5f;
        result = kStatusUnsupported;
    }
    const SharpenNoise& s = p->sharpenNoise;
    SharpenNoise before = s;
    if (RepairSharpenNoise(&p->sharpenNoise)) {
        Ui_Debug_LogF(flag, "editPars sharpenNoise pref invalid: %d %d, %d %d %d %d %d %d, %d",
                      int(before.sharpenStrength), int(before.sharpenK), int(before.noiseRadius[0]),
                      int(before.noiseRadius[1]), int(before.noiseRadius[2]),
                      int(before.noiseThreshold[0]), int(before.noiseThreshold[1]),
                      int(before.noiseThreshold[2]), int(before.noiseK));
        result = kStatusUnsupported;
    }

    for (int i = 0; i < kEditHueCount; ++i) {
        if (!HandleValid(p->hue[i], i, flag)) {
            ResetPars(p, kEditMaskAllHues);
            return kStatusUnsupported;
        }
    }
    return result;
}
