// The platform layer's per-call state record: what the platform layer needs from the call.
//
// Kept apart from its opening and closing (platform/ui_state.h), which reach the resources and
// the preferences, so that those modules can read the record without depending on them.
#pragma once

#include <cstdint>

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
