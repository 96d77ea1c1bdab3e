// What the editing window and its dialogs ask of the host.
//
// The window and its dialogs belong to the edit model, which must not call the host layer (the
// layers point downwards: host -> edit -> engine -> platform). Whatever they need from the host
// (its colour picker, the document title, and the preview images it delivers and displays)
// reaches them through this record of procedures, filled in by the host layer before it runs the
// window and handed down with the editing state. Tests fill it with stand-ins.
//
// Every procedure gets the context pointer of the record first, returns a status (0 or a
// negative code) and shows nothing: the window handler that called it shows the one alert.
// A procedure that is null is a service the host does not offer; callers answer -9 for it.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct WindowHostProcs {
    void* context;  // the host layer's own record, passed back to every procedure

    // Offers rgb (0..1 each) to the host's colour picker and replaces it with the colour chosen.
    // -10 when the user cancels the picker (rgb unchanged).
    int32_t (*pickColor)(void* context, float rgb[3]);
    // The document's title, cut to size - 1 characters.
    int32_t (*documentTitle)(void* context, char* buffer, int32_t size);

    // The preview procedures (acquiring, restoring, zooming and drawing the preview through the
    // host) follow here.
};
