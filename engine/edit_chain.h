// The edit chain: every correction of the edit parameters applied to one colour.
//
// HgEvalColour is the definition of what the filter does to a colour. It runs the stages in a
// fixed order on an RGB colour (0..1 per channel), each stage selected by its bit of the edit
// mask (HgEditMask, engine/edit_pars.h):
//
//   linear gamma (bit 0) -> colour balance curves (1) -> black, grey and white point (2-4)
//   -> brightness (5) -> contrast (8) -> shadows (6) -> highlights (7) -> saturation (9)
//   -> hue handles and toning (10-15)
//
// Note that contrast runs before shadows and highlights although its bit comes after theirs.
// The Huegrid builder (huegrid_build.h) samples this function on a grid; previews and readouts
// call it with fewer stages.
//
// The record carries tables derived from its parameters (balance, shadow, highlight and toning
// curves, the gamma table). HgEvalColour brings each one up to date the first time it needs it
// after a change, so it writes to the record; the tables are a cache of the parameters, never
// an input of their own. A curve is rebuilt when the value it was built for (its *CurveFor
// field, balCurveValid for the balance) differs from the parameter.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "engine/tone_response.h"  // the bias and gain responses the stages use
#include "platform/status.h"

// The parameter check that every build and every loaded settings file passes: -1 when a value
// lies outside its range (see edit_pars.h for the ranges) or is not a number, 0 otherwise. The
// fields the stored forms leave unchecked (hueShift, neutralTarget, toneColor) must at least be
// finite.
int32_t HgCheckPars(const EditPars* editPars);

// Clears every bit of *mask whose stage is neutral: linear off, no balance bin with a positive
// count, a tone value at its neutral value, and (for the six hue bits together) every handle
// neutral with toneColor (0.5, 0.5, 0.5). Bits above 15 are cleared too. -1 for a null argument.
int32_t HgTrimMask(const EditPars* editPars, int32_t* mask);

// The chain on one colour; in and out may be the same array. Values outside 0..1 are clamped,
// never refused. -1 for a null argument; a failing curve build passes its status on.
int32_t HgEvalColour(EditPars* editPars, int32_t mask, const float in[3], float out[3]);

// A colour marked as neutral: checks the record, passes rgb through the linear stage alone, adds
// it to balBin (engine/balance.h) and marks the balance curves for rebuilding. -1 for a record
// that fails the check or a bad colour. It lives with the chain, not with the balance curves,
// because it evaluates the chain; the balance curves know nothing of the chain.
int32_t HgAddBalanceColour(EditPars* editPars, const float rgb[3]);

// The two halves of HgEvalColour, for callers that evaluate many colours sharing channel values
// (the grid builder evaluates the first half once per node position of each axis): the stages
// that act on each channel alone (linear to highlights, with the early stops of masks 1, 2 and
// 3), and the stages that mix the channels (saturation, hue handles and toning). v holds values
// in 0..1 and is changed in place; HgEvalColour is the first, then the second, clamped.
int32_t HgEvalChannelStages(EditPars* editPars, int32_t mask, float v[3]);
int32_t HgEvalMixingStages(EditPars* editPars, int32_t mask, float v[3]);

// Rebuild the shadow or highlight curve unless it was built for the current value.
int32_t HgUpdateShadowCurve(EditPars* editPars);
int32_t HgUpdateHighlightCurve(EditPars* editPars);
