// The two persistent blocks (plugin_data.h): creating them through the host's handle suite,
// locking them for a call and pointing the call's record at them, unlocking, giving them back,
// and checking that what the host hands back is ours and sound.
#pragma once

#include <cstdint>

#include "host/call_state.h"

void CreateParametersHandle(PluginCall* call);
void CreateDataHandle(PluginCall* call);
// Locks both blocks and sets the call's gParams, gData, gPrefs, gScratch, gPrefsPath and
// gTempPath; on a failure the host result says why and they stay null.
void LockHandles(PluginCall* call);
// Unlocks both blocks and clears those fields again.
void UnlockHandles(PluginCall* call);
// Unlocks both blocks, gives them back to the host (disposeProc) and clears their fields, so
// that DoParameters makes fresh ones.
void DiscardHandles(PluginCall* call);
int32_t ValidateParameters(const PluginCall* call);
int32_t ValidateData(const PluginCall* call);
