// The RGB working space of the edits; see working_space.h.
#include "engine/working_space.h"

#include <cmath>
#include <cstdarg>

#include "engine/colour_math.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/ui_state.h"

namespace {

constexpr float kDefaultGamma = 2.2f;
constexpr float kDefaultPrimaries[6] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
constexpr float kDefaultWhiteKelvin = 6500.0f;
constexpr float kEditWhiteKelvin = 5000.0f;
constexpr double kMatchTolerance = 1e-5;

uint8_t Diagnostics(const UiState* state) {
    return state != nullptr ? state->diagnostics : 0;
}

UI_FORMAT_CHECK(2, 3) void Log(uint8_t flag, const char* format, ...) {
    if (flag != 1) return;
    char line[300];
    va_list args;
    va_start(args, format);
    Ui_FormatStringV(line, sizeof line, format, args);
    va_end(args);
    Ui_Debug_Log(flag, line);
}

// Two stored values are the same when they differ by at most 1e-5. The values are floats, so a
// difference written as 1e-5 in decimals may come out a fraction of a float step larger; half a
// step of the larger value is allowed on top.
bool Same(float a, float b) {
    double larger = std::fmax(std::fabs(double(a)), std::fabs(double(b)));
    double tolerance = kMatchTolerance + larger * (1.0 / 16777216.0);
    return std::fabs(double(a) - double(b)) <= tolerance;
}

int32_t DaylightWhite(float kelvin, float xyz[3]) {
    float xyY[3];
    int32_t status = HgWhiteFromTemperature(kelvin, xyY);
    if (status == kStatusOk) status = HgXyToXyz(xyY, xyz);
    return status;
}

}  // namespace

int32_t HgDefaultReference(RefRGB* out) {
    if (out == nullptr) return kStatusProblem;
    RefRGB ref;
    ref.gamma = kDefaultGamma;
    for (int i = 0; i < 6; ++i) ref.primaries[i] = kDefaultPrimaries[i];
    int32_t status = DaylightWhite(kDefaultWhiteKelvin, ref.xyzWhite);
    if (status == kStatusOk) *out = ref;
    return status;
}

bool HgRefRgbValid(const RefRGB* ref) {
    if (ref == nullptr) return false;
    if (!(0.5f <= ref->gamma && ref->gamma <= 5.0f)) return false;
    for (float w : ref->xyzWhite) {
        if (!(0.1f <= w && w <= 2.0f)) return false;
    }
    for (int i = 0; i < 6; i += 2) {
        double x = ref->primaries[i], y = ref->primaries[i + 1];
        if (!(0.0 <= x && 0.0 <= y && x + y <= 1.000001)) return false;
    }
    return true;
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
    if (!Same(a->gamma, b->gamma)) {
        Log(flag, "RefRgbMatch: gamma1: %f  gamma2: %f", double(a->gamma), double(b->gamma));
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (!Same(a->xyzWhite[i], b->xyzWhite[i])) {
            Log(flag, "RefRgbMatch: xyzWhite1[%d]: %f  xyzWhite2[%d]: %f", i,
                double(a->xyzWhite[i]), i, double(b->xyzWhite[i]));
            return false;
        }
    }
    for (int i = 0; i < 6; ++i) {
        if (!Same(a->primaries[i], b->primaries[i])) {
            Log(flag, "RefRgbMatch: primaries1[%d]: %f  primaries2[%d]: %f", i,
                double(a->primaries[i]), i, double(b->primaries[i]));
            return false;
        }
    }
    return true;
}
