// The colour-cast sliders of the colour-balance tab: the three-slider method (cyan-red,
// magenta-green, yellow-blue) and the two-slider method (temperature and tint).
//
// The sliders do not edit the balance samples directly. Their positions t_R, t_G, t_B (0..1,
// 0.5 in the middle) live in the EditState; every move replaces the whole colour balance by one
// sample: the group is reset, the neutral target derived again from the neutral definition, and
// the colour (1 - t_R, 1 - t_G, 1 - t_B) is handed to the engine as a colour that should be
// neutral. Moving the red slider right thus makes a slightly cyan colour grey, which warms the
// picture. The slider methods replace any marked neutrals.
//
// A pointer at offset d from a slider's centre stands for v = round(100 d / half-width) (the
// geometry of slider.h), -100 at the left end and +100 at the right. On the three sliders
// t_i = (v + 100) / 200. "Temperature" sets t_R = 0.5 + v / 200 and t_B = 1 - t_R, "Tint"
// t_G = 0.5 + v / 200. The value boxes show round(200 t) - 100 ("%d" below 1, "+%d" from 1 on)
// on the three sliders and round(200 |t - 0.5|) with the side of the centre ("-%d", "+%d") on
// the two; a magnitude that rounds to 0 shows "0" on both sides of the centre, never "+0" or "-0".
// Fills are red, green and blue for v >= 0 and cyan, magenta and yellow below; temperature takes
// the red slider's colours and tint the green one's.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

enum : int32_t {
    kCastCyanRed = 0,  // three-slider method: t_R, t_G, t_B in this order
    kCastMagentaGreen = 1,
    kCastYellowBlue = 2,
    kCastTemperature = 3,  // two-slider method
    kCastTint = 4,
    kCastSliderCount = 5,
};

// The position 0..1 the slider shows: t_R, t_G or t_B; temperature shows t_R and tint t_G.
// -1 for a null argument or an unknown slider.
int32_t CastSliderPosition(const EditState* editState, int32_t slider, float* t);
// The position a press or drag at p stands for on a slider item's rectangle r: 0..1 in steps of
// 1/200. -1 for a null argument or a slider narrower than 3 pixels.
int32_t CastSliderPositionAt(const Ui_Rect* r, Ui_Point p, float* t);

// Moves a slider to t (held within 0..1) and replaces the colour balance of the live record by the
// three positions (CastApplyBalance). The window takes the undo snapshot before the press and
// rebuilds afterwards. -1 for a null state or an unknown slider; the balance's own status else.
int32_t CastSliderMove(EditState* editState, int32_t slider, float t);
// The colour balance from the three positions: the balance group reset (slider positions kept),
// neutralTarget derived from the neutral definition, and (1 - t_R, 1 - t_G, 1 - t_B) added as
// the one balance sample. A failing derivation or sample passes its status on.
int32_t CastApplyBalance(EditState* editState);

// Positions that give the balance the record holds when it was not made by the sliders (after
// "Prev", "Custom", Keenhue, neutrals marked, Undo): the colour that the balance sends where the
// sliders in the middle send a grey of middle brightness is taken as the cast, and t = 1 - cast.
// The record is left alone; a touch of any slider then replaces the balance by one sample of
// these positions, which keeps it where the three positions can express it (a balance of
// several samples over the tonal range becomes its middle correction). Positions that give the
// balance already are kept; no balance puts them in the middle. -3 without memory.
int32_t CastPositionsFollowBalance(EditState* editState);

// The value box text of a slider at position t. capacity >= 1; the text is cut to fit.
void CastValueText(int32_t slider, float t, char* text, int32_t capacity);

// Drawing, each opening and closing drawing itself: the slider item with its thumb at t, its
// value box, and the text items "Temperature:" and "Tint:" of the two-slider method.
int32_t CastSliderDraw(UiWindow* dialog, int16_t item, int32_t slider, float t, uint8_t disabled);
int32_t CastValueBoxDraw(UiWindow* dialog, int16_t item, int32_t slider, float t);
int32_t CastLabelDraw(UiWindow* dialog, int16_t item, int32_t slider);
