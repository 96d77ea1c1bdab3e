// Hue spaces and the hue-selective edit.
//
// The saturation and hue stages of the edit chain, the pixel readouts and the memory colours work
// on a colour as (hue, a saturation-like second value, a lightness-like third value). Three such
// spaces are derived from RGB (all values 0..1, hue as a fraction of the circle):
//
//   mode 0, HSL:    H, S = C / (max + min) or C / (2 - max - min), L = (max + min) / 2
//   mode 1, chroma: H, C = max - min, L = (max + min) / 2
//   mode 2, luma:   H, saturation relative to the gamut boundary at this hue and luma,
//                   Y = 0.299 R + 0.587 G + 0.114 B
//
// Each conversion has an exact inverse for the same mode; a grey (C below 1e-10) has hue 0 and
// second value 0. The luma space is what the hue handles edit: moving the hue or the saturation
// there keeps the luma, so edits do not change the brightness of a colour unless asked to.
//
// The hue-selective edit blends the settings of the two handles of the hue ring that enclose a
// colour's hue. The six handles are taken in array order around the circle; callers keep their
// base hues increasing, so that one neighbouring pair always encloses every hue. A hue that no
// pair encloses (handles out of order) takes the settings of its nearest handle alone, so an
// unusual ring still edits every colour like one of its handles and never by a zero blend.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/status.h"

enum : int32_t { kHgHueHsl = 0, kHgHueChroma = 1, kHgHueLuma = 2 };

// rgb (0..1) to (H, second, third) of the mode. -1 for a null pointer or an unknown mode.
int32_t HgRgbToHue(const float rgb[3], float out[3], int32_t mode);
// The inverse; H is wrapped into 0..1 first. -1 as above.
int32_t HgHueToRgb(const float in[3], float rgb[3], int32_t mode);

// The hue-selective edit of one luma-space colour: in and out are (H in degrees, S, Y). Returns
// the input unchanged when every handle is neutral. -1 for a null argument.
int32_t HgApplyHueHandles(const EditPars* editPars, const float in[3], float out[3]);

// The saturation response of a handle setting s (0.5 no change) on a saturation S.
float HgScaleSaturation(float s, float S);

// Index 0..5 of the handle whose baseHue is nearest to hue (degrees) the short way round the
// circle, the first on ties; -1 for a null record or a hue that is not a number.
int32_t HgNearestHandle(const EditPars* editPars, float hue);
