// The editing window: the preview of the image on the left, drawn through the transform of the
// live parameters, and the tool panel with its four tabs on the right.
//
// RunEditingWindow runs the window modally over the run's EditState. The window keeps a run
// record of its own (EditingWindow): the two transforms the preview and the readouts are drawn
// through, the state of its boxes and views, and the environment it was opened with (the call
// state, the preferences record, the host's procedures, the help file). Everything the window
// needs from the host comes through that environment; it never calls the host layer.
//
// The window's code is split by concern, each file with its own header, and the files call one
// another in one direction only (the structure test refuses a circle). From the bottom:
// window_env.h (what the window is opened with) and window_record.h (the run record and what
// every part does with it: finding it, telling a failure, beginning a change that Undo takes
// back); window_refresh.h (the boxes and texts that follow the parameters),
// window_auto_settings.h (the automatic settings as the window runs them) and
// window_tool_items.h (which items are the tabs' tools); window_transforms.h (the before and
// after transforms and the preview drawn through them); then the parts that act: the tools'
// drags and value boxes, the typed numbers, the zoom, the status area, the layout, the clicks in
// the preview, the colour tools, the export, the commands, the keys and the context menus; and
// editing_window.cpp on top, which opens the window and hands its events to the parts. The tool
// items of the tabs (tab bar, sliders, histogram, hue ring, readouts) are components of their
// own that draw and hit-test from the EditState alone.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/window/window_env.h"

// Runs the editing window on editState. *accepted: true when it closed with OK (the live
// parameters are then in prefs->previousSettings). 0; -1 for a bad argument; -9 when windows
// cannot be shown (no display); -3 without memory; the framework's status when the window could
// not be made. The window shows its own failures. When the host cannot give the preview (an
// empty selection, a refusal) the window is never shown: that failure is told once and the run
// ends as a cancelled one (0, *accepted false, the record unchanged).
int32_t RunEditingWindow(const EditingWindowEnv* env, EditState* editState, bool* accepted);
