// The parts of the editing window that its source files share; see editing_window.h for the
// whole. Nothing outside edit/window/ includes this.
#pragma once

#include <cstdint>

#include "edit/window/editing_window.h"

// The run record of an open editing window, or null.
EditingWindow* EditorOf(UiWindow* dialog);
// Shows a failure once (nothing for status 0 or a cancel) and counts it.
void EditorTell(EditingWindow* win, const Ui_Failure* failure);

// window_layout.cpp
// Shows the items of the current tab and balance method and hides the others.
void EditorLayOutTab(EditingWindow* win);
// Goes to tab: the curve view closes, tab 1's histogram is recomputed, tab 3 places its handles
// when they wait for it. A failure of the automatic settings is described in failure.
int32_t EditorChangeTab(EditingWindow* win, int32_t tab, Ui_Failure* failure);
// Moves "Preview" into the place of the pixel readouts (lowered) or back, and shows or hides
// the readouts.
void EditorPlacePreviewCheck(EditingWindow* win, uint8_t lowered);
// The window at the rectangle the prepare phase chose for it, or else at the largest size the
// work area allows. failure: "resizing dialog".
int32_t EditorFitLargestWindow(EditingWindow* win, Ui_Failure* failure);
// Asks the host for the picture of the preview item's size.
int32_t EditorAcquirePreview(EditingWindow* win, Ui_Failure* failure);
// The resize proc: the picture is fetched again for the preview item's new size.
int32_t EditImageResizeProc(UiWindow* dialog, int16_t width, int16_t height);

// window_transforms.cpp
// Both transforms for the current tab and view, then the preview redrawn.
int32_t EditorRebuildTransforms(EditingWindow* win, Ui_Failure* failure);
void EditorFreeTransforms(EditingWindow* win);
// The preview item's draw proc.
int32_t EditorDrawPreview(UiWindow* dialog, int16_t item);
void EditorRedrawPreview(EditingWindow* win);

// window_commands.cpp
// Carries out a button, box or list of the window. false when the item is not one of them.
bool EditorCommand(EditingWindow* win, int16_t item, Ui_Failure* failure);
// "Linear", "Toning", "Sharpen", "Remove Noise" and "Setup..." from the live parameters.
void EditorRefreshBoxes(EditingWindow* win);
// Retitles OK for the preferences' mode of OK.
void EditorTitleOk(EditingWindow* win);
// The automatic settings for the groups of mask (restricted to the preferences' Keenhue mask).
// failure: "calculating auto settings".
int32_t EditorAutoSettings(EditingWindow* win, HgEditMask mask, Ui_Failure* failure);

// window_color_tools.cpp
// Registers the toning swatch, the memory-colour information box and the pointer watch that
// chooses what the box names; the memory-colour buttons follow the active handle.
void EditorColorToolsInit(EditingWindow* win);
// Carries out "B/W", "Sepia", "Toning", the toning swatch, the memory-colour buttons and the
// colour-cast tab's "Preferences..." (the neutral definition). false when the item is none of
// them.
bool EditorColorToolCommand(EditingWindow* win, int16_t item, Ui_Failure* failure);
// Enables the memory-colour buttons while the active hue handle has samples, disables them
// otherwise. Whatever changes the active handle or its samples calls it.
void EditorRefreshMemoryButtons(EditingWindow* win);
