// The editing window's preview zoom: the levels offered, a level shown around a point, steps in
// and out, and the mouse wheel.
#pragma once

#include <cstdint>

struct EditingWindow;
struct Ui_Failure;
struct UiWindow;

// Whether the preview offers level now (kPreviewZoomFit always while there is a picture and the
// host can zoom; a level of preview_zoom.h when it shows more than fit), and the level shown.
bool EditorZoomOffers(EditingWindow* win, int32_t level, int32_t* current);
// Shows the preview at level, the image pixel under client point (v, h) staying under it (a
// point off the picture: around the picture's middle), with the busy status; the preview and
// the status redrawn. -9 for a level not offered; a failed fetch keeps the view from before.
int32_t EditorZoomTo(EditingWindow* win, int32_t level, int16_t v, int16_t h, Ui_Failure* failure);
// steps levels in (positive) or out (negative) from the one shown, as EditorZoomTo.
int32_t EditorZoomStep(EditingWindow* win, int32_t steps, int16_t v, int16_t h,
                       Ui_Failure* failure);
// The window's wheel proc: over the preview, a level a notch around the pointer.
int32_t EditorPreviewWheel(UiWindow* dialog, int16_t item, int16_t v, int16_t h, int32_t steps);
