// The colour-cast step wedge of the colour-balance tab (Neutrals method) and the small icon
// beside "Color Cast:".
//
// The wedge shows the cast the marked neutrals describe, level by level: a row of steps from
// dark to light, each the grey of its level shifted by the cast measured near that brightness,
// over a row of the same levels as the neutral definition makes them, which is what the colour
// balance turns the marked colours into. With nothing marked both rows are plain, equal greys.
//
// The cast of a balance bin is its mean sample colour less that colour's luma (0.299 R +
// 0.587 G + 0.114 B); between filled bins it is interpolated by luma, and beyond the outermost
// ones held. Colours are of the working space and reach the screen through it (swatch.h).
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

// The cast (R, G, B offsets from the level's grey) at luma level 0..1; all 0 without samples.
// *found (may be null) tells whether any bin has samples. -1 for a null argument.
int32_t CastWedgeCastAt(const EditPars* editPars, double level, float cast[3], uint8_t* found);
// Step i of steps: its level (i + 0.5) / steps, the cast colour and the target colour, each in
// working-space RGB held within 0..1. -1 for a null argument or i outside 0..steps-1.
int32_t CastWedgeStep(const EditState* editState, int32_t i, int32_t steps, float cast[3],
                      float target[3]);

// Drawing, each opening and closing drawing itself: the wedge item, and the icon item, a chip
// of the middle level's cast made three times as strong so that a faint cast can be seen.
int32_t CastWedgeDraw(UiWindow* dialog, int16_t item, const EditState* editState);
int32_t CastIconDraw(UiWindow* dialog, int16_t item, const EditState* editState);
