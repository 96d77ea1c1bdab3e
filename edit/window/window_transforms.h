// The editing window's two transforms (before and after the tools the view shows) and the
// preview drawn through them: building them from the live parameters, where the picture lies
// in the preview item, and the picture's pixels in image coordinates.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/ui/ui_types.h"

struct EditingWindow;
struct PreviewInfo;
struct Ui_Failure;
struct UiWindow;

// Builds the before or after transform (which) from the live parameters restricted to mask, at
// the state's grid level and the image's depth, and marks the preview for redrawing. On failure
// the previous transform stays and failure says "creating Huegrid".
int32_t RebuildPreview(EditingWindow* win, HgEditMask mask, int32_t which, Ui_Failure* failure);
// The masks of the two transforms for a tab: the current-tool view shows the tools left of the
// tab before and up to it after; the combined view nothing before and everything after.
HgEditMask PreviewBeforeMask(int32_t tab, uint8_t combined);
HgEditMask PreviewAfterMask(int32_t tab, uint8_t combined);
// Both transforms for the current tab and view, then the preview, the tools and the readouts
// redrawn.
int32_t EditorRebuildTransforms(EditingWindow* win, Ui_Failure* failure);
// Frees the transforms and what the clicks in the preview keep (the sampled region).
void EditorFreeTransforms(EditingWindow* win);
// What the host shows and where the picture lies in the preview item (centred, cut to the
// item's inside). -2 while there is no picture.
int32_t EditorPictureArea(EditingWindow* win, PreviewInfo* info, Ui_Rect* area);
// The picture pixel under client point (v, h) of the picture drawn in area (a magnified pixel is
// a square there), held inside the picture; whether the point lies on the picture.
bool EditorPicturePixel(const PreviewInfo* info, const Ui_Rect* area, int32_t v, int32_t h,
                        int32_t* px, int32_t* py);
// A picture pixel's image coordinates and back; the way back is -1 when the image pixel is not
// in the picture (outside the 1:1 window).
void EditorPictureToImage(const PreviewInfo* info, int32_t px, int32_t py, int32_t* x, int32_t* y);
int32_t EditorImageToPicture(const PreviewInfo* info, int32_t x, int32_t y, int32_t* px,
                             int32_t* py);
// The preview item's draw proc.
int32_t EditorDrawPreview(UiWindow* dialog, int16_t item);
void EditorRedrawPreview(EditingWindow* win);
