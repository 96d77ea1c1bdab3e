// The host layer's side of the record of procedures the editing window and its dialogs call
// (edit/window/host_seams.h): the colour picker, the document title and the preview, each a thin
// adapter over the host services, the preview acquisition (preview.h) and its rendering
// (preview_render.h). The record keeps the call's record (call_state.h) it was filled with and
// hands it to each of them.
//
// Who calls what, and when:
// - The start phase fills the record (FillWindowHostProcs) before it runs the window and
//   releases it (ReleaseWindowHost) when the window has closed, before the image is filtered:
//   that gives the host's buffers back and frees the preview's images and the offscreen image
//   the drawing lent to the host.
// - The window calls acquirePreview when it opens and after every resize, with the size of its
//   preview item; drawPreview from the preview item's draw procedure and after every rebuild of a
//   transform; zoomPreview / restorePreview for the zoom levels and panZoom for drags;
//   previewInfo to map clicks into the image and to sample the picture's pixels.
// - The sharpen and noise dialog calls openDetail and setUpNavigator when it opens, fetchDetail,
//   renderDetail and drawDetail when the detail area, the zoom or the settings change (render on
//   a slider's release), drawNavigator and drawDetail from its draw procedures, and
//   closeDetail / freeNavigator when it closes.
#pragma once

#include "edit/prefs.h"
#include "edit/window/host_seams.h"
#include "host/call_state.h"
#include "host/display_target.h"

struct PluginData;
struct UiState;

struct WindowHost {
    const PluginCall* call;  // the host's record for the procedures, and the debug log
    PluginData* data;        // the run: its editing state and its preview
    const Prefs* prefs;
    UiState* state;
    DisplayTarget target;  // the offscreen image lent to displayPixels
};

// Points procs at host (context) and host at the call and the run. Every procedure reads the
// filter record through call, which must outlive the window.
void FillWindowHostProcs(WindowHost* host, const PluginCall* call, PluginData* data,
                         const Prefs* prefs, UiState* state, WindowHostProcs* procs);
// Gives the host's buffers back and frees the preview's images and the offscreen image.
void ReleaseWindowHost(WindowHost* host);
