// What the editing window is opened with: the host layer fills an EditingWindowEnv and hands it
// to RunEditingWindow (editing_window.h); every part of the window reads it through its run
// record and never calls the host layer.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "edit/window/dialog_env.h"
#include "edit/window/host_seams.h"
#include "engine/huegrid.h"
#include "platform/alert.h"
#include "platform/ui/rect.h"

// What the window is opened with; the host layer fills it.
struct EditingWindowEnv {
    UiState* state;
    void* parent;                 // window to open over; null: the state's parent
    Prefs* prefs;                 // read at opening and after "Preferences..."; OK and Cancel
                                  // store into it and write it
    const WindowHostProcs* host;  // the preview, the colour picker, the document title
    const HelpContext* help;      // null: the "?" items do nothing
    const char* documentName;     // the document's name, for the custom settings' suggested
                                  // file name; null or empty: none
    HgEditMask keenhueStart;      // the groups whose tools start with the automatic settings
    // "Use Largest Possible Window": the window's outer rectangle (screen coordinates) that the
    // prepare phase chose, so that the preview is the size the memory budget was worked out
    // for. Empty: the screen's work area.
    Ui_Rect largestBounds;
    // Asked before "Prev" or "Custom" use settings made in another working space (see
    // CopyParsMasked); null: such settings are not used.
    ConfirmSpaceChange confirmSpace;
    // Writes the preferences file from *prefs. A failure is described as "updating Preferences
    // file %s". Null: the preferences are not written (tests).
    int32_t (*writePrefs)(void* context, Ui_Failure* failure);
    void* context;
};
