// The reference RGB working space that edits are made in.
//
// A RefRGB is the plain description of an RGB space: its gamma, its white as XYZ (Y = 1) and the
// xy chromaticities of its primaries. Every EditPars carries one so that a stored set of edits
// remembers the space it was made in. This file holds the record, its validity rule, the default
// reference space and the four-decimal rounding applied to primaries. The conversions that use
// the record are in working_space.h and colour_math.h.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct RefRGB {
    float gamma;
    float xyzWhite[3];   // X, Y, Z of the white, Y = 1
    float primaries[6];  // x, y of red, green, blue
};
static_assert(sizeof(RefRGB) == 10 * 4);

// The default reference space: gamma 2.2, primaries (0.64, 0.33), (0.30, 0.60), (0.15, 0.06)
// and the CIE daylight white of 6500 K. -1 for a null record.
int32_t RefRgbSetDefault(RefRGB* ref);

// True when gamma lies in 0.5 .. 5, each white component in 0.1 .. 2, and each primary has
// x >= 0, y >= 0 and x + y <= 1.000001. NaN and infinities are never valid; a null record is not.
bool RefRgbIsValid(const RefRGB* ref);

// A primary coordinate rounded to four decimals, half away from zero. The product is formed in
// double from the exact float value, so 0.64005f (held as 0.6400499...) gives 0.64.
float RefRgbRoundPrimary(float v);
