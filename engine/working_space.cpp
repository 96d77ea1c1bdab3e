// The RGB working space of the edits; see working_space.h.
#include "engine/working_space.h"

#include <cmath>

#include "engine/colour_math.h"
#include "platform/debug_log.h"
#include "platform/ui_state.h"

namespace {

constexpr float kEditWhiteKelvin = 5000.0f;
// Two spaces are one when no image would look different in them (RefRgbMatch). Chromaticities
// within 0.0005: a just noticeable colour difference near white spans several thousandths in xy.
// Gammas within 0.05: two power curves whose exponents differ by d part by at most about 19.4 d
// in L* (at the code e^(-3 / gamma)), so 0.05 stays below one L* unit. That takes gamma 2.2 and
// 2.233, the power curve nearest to sRGB's own tone curve that a host reads from an sRGB profile
// (0.6 L* apart at most), as one, and keeps 1.8 against 2.2 (about 8 L*) apart. White
// luminances within 0.1 %. All of these are far coarser than what a stored value or a host's
// 16.16 fixed point holds, so a space that has been stored and read back still matches.
constexpr double kChromaticityTolerance = 0.0005;
constexpr double kGammaTolerance = 0.05;
constexpr double kLuminanceTolerance = 0.001;

uint8_t Diagnostics(const UiState* state) {
    return state != nullptr ? state->diagnostics : 0;
}

// The white's chromaticity; false for a white without one (no light, or not a number).
bool WhiteXy(const float xyz[3], double xy[2]) {
    double sum = double(xyz[0]) + double(xyz[1]) + double(xyz[2]);
    if (!(sum > 0.0) || !std::isfinite(sum)) return false;
    xy[0] = xyz[0] / sum;
    xy[1] = xyz[1] / sum;
    return true;
}

bool Near(double a, double b, double tolerance) {
    return std::fabs(a - b) <= tolerance;  // false for NaN
}

int32_t DaylightWhite(float kelvin, float xyz[3]) {
    float xyY[3];
    int32_t status = HgWhiteFromTemperature(kelvin, xyY);
    if (status == kStatusOk) status = HgXyToXyz(xyY, xyz);
    return status;
}

}  // namespace

int32_t HgDefaultReference(RefRGB* out) {
    return RefRgbSetDefault(out);
}

bool HgRefRgbValid(const RefRGB* ref) {
    return RefRgbIsValid(ref);
}

int32_t HgSetReference(EditPars* editPars, const RefRGB* given) {
    if (editPars == nullptr) return kStatusProblem;
    RefRGB ref;
    if (given != nullptr) {
        ref = *given;
    } else if (HgDefaultReference(&ref) != kStatusOk) {
        return kStatusProblem;
    }
    if (!HgRefRgbValid(&ref)) return kStatusProblem;

    // The primaries as they appear under the 5000 K white, and the matrix built on them.
    float d50[3];
    if (DaylightWhite(kEditWhiteKelvin, d50) != kStatusOk) return kStatusProblem;
    float adapted[6];
    for (int c = 0; c < 3; ++c) {
        float xyY[3] = {ref.primaries[2 * c], ref.primaries[2 * c + 1], 1.0f}, xyz[3], moved[3];
        if (HgXyToXyz(xyY, xyz) != kStatusOk ||
            HgAdaptWhite(xyz, ref.xyzWhite, d50, kHgAdaptBradford, moved) != kStatusOk ||
            HgXyzToXy(moved, adapted + 2 * c) != kStatusOk) {
            return kStatusProblem;
        }
    }
    float tables[18];
    if (HgRgbToXyzMatrix(adapted, d50, tables) != kStatusOk ||
        HgInvertMatrix3(tables, tables + 9) != kStatusOk) {
        return kStatusProblem;
    }
    editPars->refRGB = ref;
    for (int i = 0; i < 18; ++i) editPars->refTables[i] = tables[i];
    return HgUpdateGammaTable(editPars);
}

int32_t HgUpdateGammaTable(EditPars* editPars) {
    if (editPars == nullptr) return kStatusProblem;
    double gamma = editPars->refRGB.gamma;
    if (!(0.5 <= gamma && gamma <= 5.0)) return kStatusProblem;
    for (int i = 0; i < kEditCurveSize; ++i) {
        editPars->gammaTable[i] = float(std::pow(i / 255.0, 1.0 / gamma));
    }
    return kStatusOk;
}

bool RefRgbMatch(const RefRGB* a, const RefRGB* b, UiState* state) {
    if (a == nullptr || b == nullptr) return false;
    uint8_t flag = Diagnostics(state);
    if (!Near(a->gamma, b->gamma, kGammaTolerance)) {
        Ui_Debug_LogF(flag, "RefRgbMatch: gamma1: %f  gamma2: %f", double(a->gamma),
                      double(b->gamma));
        return false;
    }
    double wa[2], wb[2];
    const double ya = a->xyzWhite[1], yb = b->xyzWhite[1];
    if (!WhiteXy(a->xyzWhite, wa) || !WhiteXy(b->xyzWhite, wb) ||
        !Near(wa[0], wb[0], kChromaticityTolerance) ||
        !Near(wa[1], wb[1], kChromaticityTolerance) ||
        !Near(ya, yb, kLuminanceTolerance * std::fmax(std::fabs(ya), std::fabs(yb)))) {
        Ui_Debug_LogF(flag, "RefRgbMatch: xyzWhite1: %f %f %f  xyzWhite2: %f %f %f",
                      double(a->xyzWhite[0]), ya, double(a->xyzWhite[2]), double(b->xyzWhite[0]),
                      yb, double(b->xyzWhite[2]));
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        if (!Near(a->primaries[i], b->primaries[i], kChromaticityTolerance)) {
            Ui_Debug_LogF(flag, "RefRgbMatch: primaries1[%d]: %f  primaries2[%d]: %f", i,
                          double(a->primaries[i]), i, double(b->primaries[i]));
            return false;
        }
    }
    return true;
}
