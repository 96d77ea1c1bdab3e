// The host's working space: the monitor record of the filter record read as the RGB working
// space the edits are made in.
//
// The host describes its RGB working space in the monitor record (gamma, primaries and white in
// 16.16 fixed point). The engine knows nothing of the host's records; this is where they become
// the engine's RefRGB.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "hostsdk/filter_record.h"
#include "platform/status.h"

struct UiState;

// Fills out with the host's working space when monitor is given and its gamma is non-zero
// (16.16 fixed-point values), else with the default reference space; primaries are rounded to
// four decimals. Writes three log lines when state has diagnostics on (state may be null).
// -1 for a null out. The space is not validated here: HgSetReference refuses a bad one.
int32_t GetWorkingSpace(const PlugInMonitor* monitor, RefRGB* out, UiState* state);
