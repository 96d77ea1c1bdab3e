// Colour conversions the engine is built on: daylight whites from colour temperatures,
// xy <-> XYZ, XYZ <-> CIE L*a*b* relative to a white, Lab <-> LCh, RGB <-> XYZ matrices from
// primaries and a white, chromatic adaptation between whites, and reading a sampled curve.
//
// All values are floats; whites are XYZ with Y = 1 unless stated. Every helper returns 0, or -1
// for a null argument or a value it cannot convert (-2 for a temperature refused under the
// refusing out-of-range mode). The arithmetic is done in double and stored as float.
#pragma once

#include <cstdint>

#include "platform/status.h"

// What the helpers do with a value outside their domain (a temperature outside 4000..25000 K, a
// table position outside 0..1). The engine runs with kHgRangeClamp.
enum : int32_t { kHgRangeRefuse = 0, kHgRangeClamp = 1, kHgRangePass = 2 };
void HgSetOutOfRangeMode(int32_t mode);
int32_t HgGetOutOfRangeMode();

// Chromatic adaptation methods.
enum : int32_t { kHgAdaptScaling = 0, kHgAdaptBradford = 1, kHgAdaptVonKries = 2 };

// CIE daylight locus: xyY[0..2] = x, y, 1 for a temperature in kelvin.
int32_t HgWhiteFromTemperature(float kelvin, float xyY[3]);
// xyY (Y given) to XYZ; y below 1e-10 gives (0, 0, 0).
int32_t HgXyToXyz(const float xyY[3], float xyz[3]);
// XYZ to xy chromaticity; -1 (and 0, 0) when X + Y + Z is not above zero.
int32_t HgXyzToXy(const float xyz[3], float xy[2]);
int32_t HgXyzToLab(const float xyz[3], const float white[3], float lab[3]);
int32_t HgLabToXyz(const float lab[3], const float white[3], float xyz[3]);
// LCh with the hue in degrees, 0..360.
int32_t HgLabToLch(const float lab[3], float lch[3]);
int32_t HgLchToLab(const float lch[3], float lab[3]);
// The RGB-to-XYZ matrix (row by row) whose columns are the primaries (x, y pairs in the order red,
// green, blue) scaled so that RGB (1, 1, 1) gives the white; -1 when the primaries are degenerate.
int32_t HgRgbToXyzMatrix(const float primaries[6], const float white[3], float m[9]);
int32_t HgXyzToRgbMatrix(const float primaries[6], const float white[3], float m[9]);
int32_t HgInvertMatrix3(const float m[9], float inverse[9]);
void HgMatrix3Apply(const float m[9], const float in[3], float out[3]);
// Adapts a colour seen under fromWhite to how it appears under toWhite.
int32_t HgAdaptWhite(const float xyz[3], const float fromWhite[3], const float toWhite[3],
                     int32_t method, float out[3]);
// Linear interpolation in a table of n samples over 0..1.
int32_t HgInterpolateTable(float v, const float* table, int32_t n, float* out);
