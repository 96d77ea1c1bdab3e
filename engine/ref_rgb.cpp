// The reference RGB working space; see ref_rgb.h. The default space and the validity rule are the
// colour engine's (engine/working_space.h); the edit model uses them through these names.
#include "engine/ref_rgb.h"

#include <cmath>

#include "engine/working_space.h"

int32_t RefRgbSetDefault(RefRGB* ref) {
    return HgDefaultReference(ref);
}

bool RefRgbIsValid(const RefRGB* ref) {
    return HgRefRgbValid(ref);
}

float RefRgbRoundPrimary(float v) {
    double scaled = double(v) * 10000.0;
    return float(std::round(scaled) / 10000.0);
}
