// Presses in the editing window's preview: marking neutrals, setting tone points, marking hues,
// sample points, the 1:1 zoom and panning; and the readouts that follow the pointer.
#pragma once

#include <cstdint>

struct EditingWindow;
struct UiWindow;

// Registers the draw procs of the eyedropper, the readouts and the status area.
void EditorRegisterPreviewClicks(EditingWindow* win);
// The track proc's phases for a press in the preview: marking neutrals (tab 0), setting a black,
// grey or white point (tab 1), marking a hue (tab 3); with Shift sample points, with Alt the 1:1
// zoom; with Control, or on a tab whose tool takes no click, panning the zoomed picture.
int32_t EditorTrackPreview(EditingWindow* win, int16_t phase);
// Takes sample point #1 (0) or #2 (1) away; the readouts lose its column's figures.
void EditorRemoveSamplePoint(EditingWindow* win, int32_t point);
// Follows the pointer for the readouts' first column and takes the sampled region away once the
// pointer leaves the click; called on every pointer move over the window.
int32_t EditorPreviewPointer(UiWindow* dialog);
