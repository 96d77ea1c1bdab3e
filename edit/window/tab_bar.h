// The tab bar of the editing window: four tool tabs above the tool panel.
//
// A press picks a tab by its horizontal offset x inside the bar: x < 66 gives tab 0 (colour
// balance), x < 125 tab 1 (black, grey and white point), x < 184 tab 2 (brightness, contrast and
// saturation), anything further right tab 3 (hue selective). Those offsets are pixels of the bar
// at the template's size with the classic 8-point dialog font (198 dialog units, 297 pixels);
// a bar of another width scales them in proportion, so the same part of the bar picks the same
// tab at every font size. The tabs are drawn where they are hit: four tabs of 59 (scaled) pixels
// after a margin of 7, the part right of the last tab belonging to it.
//
// The current tab is drawn raised and open at the bottom, where it runs into the tool panel's
// frame (tool_panel.h leaves the frame's top edge out under it).
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/ui/ui_types.h"

constexpr int32_t kTabCount = 4;

// The tab under p in the bar's rectangle. -1 for a null argument or an empty bar.
int32_t TabBarHit(const Ui_Rect* bar, Ui_Point p, int32_t* tab);
// Where tab 0..3 is drawn in the bar. -1 for a null argument or a bad tab.
int32_t TabBarTabRect(const Ui_Rect* bar, int32_t tab, Ui_Rect* out);

// Draws the bar item with currentTab marked. Opens and closes drawing itself.
int32_t TabBarDraw(UiWindow* dialog, int16_t item, int32_t currentTab);
