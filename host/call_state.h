// The state of one call of PluginMain, as one record handed down to every routine of the host
// layer.
//
// The host calls PluginMain on one thread, one call at a time. What a call needs (the host's
// record and result, the platform layer's call state, and the two blocks the host keeps between
// calls, locked for the call's duration) is gathered in a PluginCall that the entry point fills
// and passes on: the phase handlers and everything below them read it from their parameters,
// never from a process global. Its fields keep the names the debug log and the documentation
// quote (gFilterRecord, gState, gPrefs, ...). The blocks themselves are in plugin_data.h; this
// header only names them, so that the routines that need the host and the log but not the run
// (the preview, the host services) do not depend on the run's layout.
#pragma once

#include <cstdint>

#include "hostsdk/filter_record.h"
#include "platform/format.h"
#include "platform/ui_state.h"

struct PluginParams;
struct PluginData;
struct Prefs;

// The size of the message buffer in the data block, and of the stand-in LogF takes without it.
constexpr int kScratchSize = 257;

struct PluginCall {
    void* gFilterRecord = nullptr;  // FilterRecord, or AboutRecord for the about selector
    intptr_t* gDataHandle = nullptr;
    int16* gResult = nullptr;
    SPBasicSuite* gSPBasic = nullptr;
    const void* gModuleInstance = nullptr;
    uint8_t gDiagnostics = 0;  // the process's diagnostics switch, opening gState with it
    UiState* gState = nullptr;
    UiState** gStateRef = nullptr;
    // Set while the two blocks are locked (LockHandles), null otherwise.
    PluginParams* gParams = nullptr;
    PluginData* gData = nullptr;
    Prefs* gPrefs = nullptr;
    char* gScratch = nullptr;
    char* gPrefsPath = nullptr;
    char* gTempPath = nullptr;
};

inline FilterRecord* Record(const PluginCall* call) {
    return call != nullptr ? static_cast<FilterRecord*>(call->gFilterRecord) : nullptr;
}
inline uint8_t Diagnostics(const PluginCall* call) {
    return call != nullptr && call->gState != nullptr ? call->gState->diagnostics : 0;
}

// Formats into the call's message buffer (cut to fit) and writes it to the debug log with the
// diagnostics flag; without the buffer (or without a call) a local one stands in. The formatter
// is the plug-in's own (platform/format.h); its conversions are a subset of printf's, so the
// compiler checks the arguments as printf's.
UI_FORMAT_CHECK(2, 3) void LogF(const PluginCall* call, const char* format, ...);
// The same with the flag forced on: for the lines that are written whatever diagnostics say.
UI_FORMAT_CHECK(2, 3) void LogForcedF(const PluginCall* call, const char* format, ...);

// Sets the host's result, when the host gave a place for it.
void SetResult(const PluginCall* call, OSErr result);
// The host result of an internal status of a run: -10 -> -128, -3 -> -108, -9 -> -30900,
// other non-zero -> -30100; 0 leaves the result.
void MapRunResult(const PluginCall* call, int32_t status);
