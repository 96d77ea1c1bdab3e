// The platform layer's per-call state.
//
// A UiState is opened at the start of every call of the plug-in and closed at its end. It holds
// what the platform layer needs from the call: the diagnostics flag (every log line of the layer
// is written only when it is 1), where resources come from, the parent window, the cursor, the
// application and company names, and the registry of open dialogs.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct ResArchive;

constexpr int kUiStateNameSize = 101;  // up to 100 characters and the terminator
constexpr int kUiStateDialogSlots = 500;

struct UiState {
    uint8_t diagnostics;       // 1: log lines of the platform layer are written
    const ResArchive* resSrc;  // resources: strings, dialogs, help text
    void* parentWindow;        // host window; dialogs and message boxes are owned by it
    uint32_t cursorKind;       // current cursor
    void* cursor;
    char appName[kUiStateNameSize];      // kStrAppName
    char companyName[kUiStateNameSize];  // kStrCompanyFolder, then kStrCompany: the preferences
                                         // folder name
    uint32_t flag;                       // 0 on open
    uint32_t code;                       // four blanks on open
    uint8_t flagA;                       // 1 on open
    uint8_t flagB;                       // 1 on open
    void* dialogs[kUiStateDialogSlots];  // registry of open dialogs
    // The preferences file as this call last read or wrote it (the bytes of its entries, a
    // Mem_Alloc block freed with the state) and its path: a later write of the call changes only
    // the entries the call changed since (platform/prefs_file.h).
    uint8_t* prefsSeen;
    uint32_t prefsSeenSize;
    char prefsSeenPath[256];
};

// Hooks run by Ui_State_Open/Ui_State_Close after the record is made and before it is freed; the
// dialog framework installs them to register and unregister its custom-control class. A non-zero
// status from the open hook makes Ui_State_Open fail.
using UiStateHook = int32_t (*)(UiState* state);
void Ui_State_SetHooks(UiStateHook onOpen, UiStateHook onClose);

// Allocates and fills the record; *state is null on failure. appNameId is the string id of the
// application name (1000).
int32_t Ui_State_Open(UiState** state, const ResArchive* resSrc, void* parentWindow,
                      int32_t appNameId, uint8_t diagnostics);
int32_t Ui_State_Close(UiState** state);
