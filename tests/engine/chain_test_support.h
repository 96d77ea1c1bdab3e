// Shared helpers for the colour-chain tests: edit parameters at their neutral values written
// from the documented defaults (the engine tests do not link the edit model), a record with every
// stage active, and small measuring helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "edit/edit_pars.h"
#include "engine/huegrid.h"

namespace chain_testing {

// Every field at its neutral value, curves as identity ramps, the default working space with its
// tables derived, balCurveValid 1.
void NeutralPars(EditPars* p);

// A strong but realistic edit with every stage active: black, grey and white point, brightness,
// shadows, highlights, contrast, more saturation, two shifted hue handles, toning and a tinted
// balance from two marked neutrals. linear is off (it is for 16-bit linear data only).
void StrongPars(EditPars* p);

double Luma(const float rgb[3]);

// Applies a built Huegrid to one colour given as codes of its depth (8- or 16-bit pixels).
void ApplyCodes(const Huegrid* h, const uint16_t in[3], uint16_t out[3]);

}  // namespace chain_testing
