// The tools inside the editing window's tabs: their drawing, their drags, the numbers their
// value boxes show and take, and the arrow keys on a slider.
#pragma once

#include <cstdint>

#include "platform/ui/ui_types.h"

struct EditingWindow;
struct Ui_Failure;
struct UiWindow;

// Registers the draw procs of the tool items of tabs 0-3.
void EditorRegisterToolDraws(UiWindow* dialog);
// The track proc's work for a dragged tool (EditorIsDraggedTool): the press takes the undo
// snapshot, the moves change the parameter, the preview follows while dragging ("Live Sliders")
// or at the release. Answers as a track proc does: 1, the press is the tool's; at the release 0
// when the drag failed, so that the item hit that follows tells the failure.
int32_t EditorTrackTool(EditingWindow* win, int16_t item, int16_t phase);
// An item hit on a tool item: the curve arrow opens or closes the curve; a dragged tool hands
// over the failure of its drag in failure. false when item is neither.
bool EditorToolClick(EditingWindow* win, int16_t item, Ui_Failure* failure);
// A value box of the tools as a click at p finds it: the value under the pointer (part: the tone
// point of the levels tab's three boxes, else 0), where it is shown, its text and the numbers it
// takes. -2 for an item that is no value box, or a click beside the levels tab's boxes.
struct EditorToolValue {
    int32_t part;
    Ui_Rect rect;
    char text[16];
    int32_t lo, hi;
};
int32_t EditorToolValueAt(EditingWindow* win, int16_t box, Ui_Point p, EditorToolValue* value);
// A number typed into a value box, taken as one history step as a drag is; the preview follows.
// The status, with failure described for the one alert.
int32_t EditorSetToolValue(EditingWindow* win, int16_t box, int32_t part, int32_t value,
                           Ui_Failure* failure);
// An arrow key on a slider that has the focus: its value moved by step (1, or 10 with Shift)
// within its range, as one history step; the preview follows. False when the item is no slider
// of the tool tabs.
bool EditorNudgeSlider(EditingWindow* win, int16_t item, int32_t step, Ui_Failure* failure);
