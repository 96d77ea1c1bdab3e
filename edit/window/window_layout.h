// The editing window's layout: which items each tab and balance method shows, where "Preview"
// stands, the window's size (the largest the work area allows, or the one kept from last time)
// and the picture the host gives for the preview item's size.
#pragma once

#include <cstdint>

struct EditingWindow;
struct Ui_Failure;
struct UiWindow;

// Shows the items of the current tab and balance method and hides the others.
void EditorLayOutTab(EditingWindow* win);
// Goes to tab: the curve view closes, tab 1's histogram is recomputed, tab 3 places its handles
// when they wait for it. A failure of the automatic settings is described in failure.
int32_t EditorChangeTab(EditingWindow* win, int32_t tab, Ui_Failure* failure);
// The tab a click at x pixels from the tab bar's left edge chooses; the bounds are measured on
// the classic dialog font and scaled to the window's (Ui_Dlg_ScalePixels).
int32_t EditorTabAt(UiWindow* dialog, int32_t x);
// Moves "Preview" into the place of the pixel readouts (lowered) or back, and shows or hides
// the readouts.
void EditorPlacePreviewCheck(EditingWindow* win, uint8_t lowered);
// The window at the rectangle the prepare phase chose for it, or else at the largest size the
// work area allows. failure: "resizing dialog".
int32_t EditorFitLargestWindow(EditingWindow* win, Ui_Failure* failure);
// The window at the size the preferences kept from last time (not when the largest window is
// asked for), centred where it is and held inside the work area, never below its template size.
int32_t EditorRestoreWindowSize(EditingWindow* win, Ui_Failure* failure);
// Notes the window's outer size for the preferences.
void EditorNoteWindowSize(EditingWindow* win);
// Asks the host for the picture of the preview item's size.
int32_t EditorAcquirePreview(EditingWindow* win, Ui_Failure* failure);
// The resize proc: the picture is fetched again for the preview item's new size.
int32_t EditImageResizeProc(UiWindow* dialog, int16_t width, int16_t height);
