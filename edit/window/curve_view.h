// The brightness and contrast curve of the brightness tab: the small arrow that opens and
// closes it, and the curve itself.
//
// The curve is the tone response of the tab's brightness, contrast, shadow and highlight
// settings (not saturation, which does not change a grey): the output level of every input
// level of a grey, drawn over the identity diagonal and a quarter grid, so that a glance shows
// which tones the settings lift or lower. It is computed through the edit chain itself, so it
// is the response the image gets.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

// The stages the curve shows.
constexpr HgEditMask kCurveViewMask =
    HgEditMask(kEditBrightness | kEditContrast | kEditShadow | kEditHighlight);

// The output level of a grey of input level x (0..1) through those stages. The record's curve
// tables are brought up to date (edit_chain.h), hence the record is not const. -1 for a null
// argument; a failing curve build passes its status on.
int32_t CurveViewLevel(EditPars* editPars, double x, double* y);

// Draws the arrow item: pointing right while the curve is closed, down while it is open; an item
// < 0 asks for the pressed look. Opens and closes drawing itself.
int32_t CurveArrowDraw(UiWindow* dialog, int16_t item, uint8_t open);
// Draws the curve item. Opens and closes drawing itself.
int32_t CurveViewDraw(UiWindow* dialog, int16_t item, EditPars* editPars);
