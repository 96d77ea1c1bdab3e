// The module's entry point, PluginMain (plugin_main.cpp), and the one setting it keeps for the
// whole process.
//
// PluginMain fills the record of the call (call_state.h) from what the host hands it, opens the
// platform layer's call state, runs one phase handler (phases.h) with the record and closes the
// call again. The record is the entry point's own: nothing below it reaches it except through
// the parameters it is passed.
#pragma once

#include <cstdint>

#include "hostsdk/filter_record.h"

extern "C" void PluginMain(int16 selector, void* paramBlock, intptr_t* data, int16* result);

// The diagnostics switch, decided at the process's first call (Ctrl and Shift held) and kept for
// every later call. In-process hosts (tests) that need the diagnostic lines switch it here after
// that first call.
void SetModuleDiagnostics(uint8_t on);
