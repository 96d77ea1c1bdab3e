// The reference RGB working space; see ref_rgb.h. The default space and the validity rule live
// here, with the record; the colour engine's working space (engine/working_space.h) uses them
// under its own names.
#include "engine/ref_rgb.h"

#include <cmath>

#include "engine/colour_math.h"

namespace {

constexpr float kDefaultGamma = 2.2f;
constexpr float kDefaultPrimaries[6] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
constexpr float kDefaultWhiteKelvin = 6500.0f;

}  // namespace

int32_t RefRgbSetDefault(RefRGB* out) {
    if (out == nullptr) return kStatusProblem;
    RefRGB ref;
    ref.gamma = kDefaultGamma;
    for (int i = 0; i < 6; ++i) ref.primaries[i] = kDefaultPrimaries[i];
    float xyY[3];
    int32_t status = HgWhiteFromTemperature(kDefaultWhiteKelvin, xyY);
    if (status == kStatusOk) status = HgXyToXyz(xyY, ref.xyzWhite);
    if (status == kStatusOk) *out = ref;
    return status;
}

bool RefRgbIsValid(const RefRGB* ref) {
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

float RefRgbRoundPrimary(float v) {
    double scaled = double(v) * 10000.0;
    return float(std::round(scaled) / 10000.0);
}
