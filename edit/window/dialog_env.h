// What every dialog of the editing window is opened with.
//
// The dialogs (preferences, Keenhue preferences, colour definitions, memory colours, help) are
// run from the editing window's handlers; they need the call's UiState, the window to open over,
// the host's procedures (the colour picker) and the help window's context for their "?" items.
// The window fills one DialogEnv when it opens and hands it to each dialog; tests fill it with
// stand-ins.
#pragma once

#include <cstdint>

#include "edit/window/host_seams.h"
#include "platform/alert.h"
#include "platform/paths.h"

struct UiState;

// The help window's context: the temporary help file the start phase wrote, and the preference
// "Show Start Up Guide" that the start-up guide's "Don't Show Again" box edits.
struct HelpContext {
    UiState* state;
    const char* path;           // the help file; null or empty: help is not available
    uint8_t* showStartUpGuide;  // the preference (0 or 1); null: the box changes nothing
    void* parent;               // window to open over; null: the state's parent
};

struct DialogEnv {
    UiState* state;
    void* parent;                 // window to open over; null: the state's parent
    const WindowHostProcs* host;  // null: no host services (the colour picker answers -9)
    const HelpContext* help;      // null: the "?" items do nothing
};

// What a dialog that edits the live parameters tells its owner. The editing window rebuilds its
// preview here and, in Keenhue Mode, lets the automatic settings follow a changed neutral; the
// dialog knows neither. Each procedure returns a status and fills failure (which the dialog
// shows, once); null procedures are skipped.
struct ParsChangedHooks {
    void* context;
    // The live parameters changed and the change is complete (a slider released, a colour loaded,
    // restored or picked, the dialog cancelled). neutralChanged: the neutral definition is among
    // the changes, so the tools right of the colour balance may have to follow it (never after a
    // cancel, which brings back the parameters as they were).
    int32_t (*parsChanged)(void* context, uint8_t neutralChanged, Ui_Failure* failure);
};
