// Where the neutral target of the colour balance comes from.
//
// The colour balance aims its corrected neutrals at neutralTarget, which is derived from the
// user's neutral definition (a colour) through the working space of the record. The derivation
// is colour-engine arithmetic (CIE Lab at the colour's own lightness, HgNeutralTargetFromColour);
// this file is the one place where the edit model asks for it. The routine is installed, not
// called directly, so that tests of the edit model can put a stand-in in its place: an editing
// state installs the engine's routine when it is set up (EditStateInit, edit_state.h). Until a
// routine is installed a derivation is refused with -9, so nothing that needs the target can
// pretend to have one.
#pragma once

#include <cstdint>

#include "engine/ref_rgb.h"
#include "platform/status.h"

// rgb: the neutral definition, 0..1 each. out: strength, hue at lightness 50, hue change per unit
// of lightness. Returns 0 or a negative status.
using NeutralTargetDeriver = int32_t (*)(const float rgb[3], const RefRGB* ref, float out[3]);

// Installs the derivation (null removes it).
void SetNeutralTargetDeriver(NeutralTargetDeriver deriver);
// Installs the colour engine's derivation.
void UseEngineNeutralTarget();

// Derives the target with the installed routine. -1 for a null argument, -9 when no routine is
// installed; otherwise the routine's status (-1 also when it gives back a value that is not
// finite). out is written only on success.
int32_t DeriveNeutralTarget(const float rgb[3], const RefRGB* ref, float out[3]);
