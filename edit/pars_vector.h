// The stored form of the edit parameters: a vector of 32-bit floats.
//
// The preferences file and the host's scripting data keep an EditPars as 629 floats (609 in
// older files and scripts, which lack the neutral target, the toning colour and the sharpen and
// noise values). Flags travel as 1.0 / 0.0 and are read back as "above 0.5"; integers travel as
// their float value and are read back truncated toward zero. The derived tables of the record are
// never stored.
//
// Reading validates everything: a value out of range puts its group back to the Reset value and
// the result becomes -9, so a damaged or hostile vector can never bring an out-of-range or
// non-finite value into the record. The refRGB working space failing puts the whole record back
// to its defaults; a failing hue handle puts all six handles back.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"

struct UiState;

constexpr int32_t kParsVectorCount = 629;
constexpr int32_t kParsVectorCountOld = 609;

// Positions in the vector.
enum : int32_t {
    kParsVecLinear = 0,
    kParsVecBalBin = 1,  // 20 x (sum R, sum G, sum B, count)
    kParsVecTone = 81,   // blackPoint .. saturation, 8 values
    kParsVecHue = 89,    // 6 x 85: baseHue, hueShift, brightness, saturation, colorId, bins
    kParsVecHueStride = 85,
    kParsVecRefRgb = 599,   // gamma, xyzWhite[3], primaries[6]
    kParsVecNeutral = 609,  // 629 only from here on
    kParsVecToneColor = 612,
    kParsVecSharpen = 615,  // sharpenOn, sharpenStrength, sharpenK, noiseOn, noiseFlag
    kParsVecNoise = 620,    // noiseRadius[4], noiseThreshold[4], noiseK
};

// Packs the record into 629 floats. Primaries are written as held. -1 for a null argument or any
// count other than 629.
int32_t ParsToVector(const EditPars* editPars, float* vector, int32_t count);

// Unpacks and validates 609 or 629 floats into editPars (see the file comment). Returns 0; -8 for
// another count or a null vector or record (the record is then left as it was); -9 when a value was
// out of range. Each failure writes one line to the debug log when state is given and its
// diagnostics are on; state may be null.
int32_t ParsFromVector(const float* vector, int32_t count, EditPars* editPars, UiState* state);
