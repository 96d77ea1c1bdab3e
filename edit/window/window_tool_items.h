// Which of the editing window's items are the tools of the four tabs, and how they pair: a slider
// and the value box that shows its value, the colour-cast slider or tone row an item belongs to.
// The window's parts ask here rather than compare item numbers themselves.
#pragma once

#include <cstdint>

struct EditingWindow;

// The brightness tab's rows (slider, value box, label; one row every three items from "Global").
bool IsToneSlider(int16_t item);
bool IsToneValue(int16_t item);
// The tone row of a tone slider (0 "Global" ... ).
int32_t ToneSliderOf(int16_t item);
// The colour-cast slider an item shows or edits (slider or value box); -1 for other items.
int32_t CastSliderOf(int16_t item);
bool IsCastSlider(int16_t item);
// The value box that shows a slider's value, 0 for items that are not sliders of the tabs.
int16_t ValueBoxOfSlider(int16_t item);
// Whether item is a tool that is dragged: a slider, the point handles or the hue ring.
bool EditorIsDraggedTool(int16_t item);
// Whether item is a tool item the tools draw (window_tools.cpp): the tone rows and the items
// of the other tabs' tools.
bool IsDrawnTool(int16_t item);
// Redraws every tool item: after a change of the parameters that was not a drag of the tool
// itself (a start button, Undo, a click in the preview), what each tool shows is stale.
void EditorRedrawTools(EditingWindow* win);
