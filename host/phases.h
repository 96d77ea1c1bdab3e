// The phase handlers PluginMain calls, one a call, and what they share: the preamble that locks
// (and if need be rebuilds) the persistent blocks, reading and writing the preferences file, and
// ending a phase on a failure.
//
// Every handler takes the call's record (call_state.h) and reads the host, the blocks and the
// platform's call state from it. The handlers of about, parameters, continue and finish and the
// shared routines are in phases.cpp, the prepare phase in prepare.cpp, the start phase in
// start_phase.cpp.
#pragma once

#include <cstdint>

#include "host/call_state.h"
#include "platform/alert.h"

void DoAbout(PluginCall* call);
void DoParameters(PluginCall* call);
void DoPrepare(PluginCall* call);
void DoStart(PluginCall* call);
void DoContinue(PluginCall* call);
void DoFinish(PluginCall* call);

// What the prepare phase asks the host to keep for the module besides the image rows
// (bufferSpace) for a preview of width x height pixels at a depth of 8 or 16 bits.
uint32_t PrepareBufferSpace(int32_t previewWidth, int32_t previewHeight, int32_t depth);

int32_t InitParameters(PluginCall* call);
int32_t InitData(PluginCall* call);
void FreeKolmaraParsStuff(const PluginCall* call, PluginData* data);

// The preamble of a phase: locks the two blocks and rebuilds them (DoParameters) when they fail
// validation; with createWhenMissing also when the host has none yet. false when the phase
// cannot go on (the host result says why).
bool OpenPhaseBlocks(PluginCall* call, bool createWhenMissing);
// Ends a phase after a failure: shows it (once; nothing for a cancel or status 0) and sets the
// host result.
void FailPhase(const PluginCall* call, const Ui_Failure& failure, OSErr result);

// The preferences file at the parameters block's path, through the entries' callbacks. Reading
// shows a notice for every repaired entry; a failure is described in failure ("reading
// preference N" for a refused entry, else "reading Preferences file %s") for the caller to show.
int32_t ReadPreferences(const PluginCall* call, Ui_Failure* failure);
// A failure is described as "updating Preferences file %s".
int32_t WritePreferences(const PluginCall* call, Ui_Failure* failure);
// The working-space question of the start modes: "Use Anyway" (0) or "Cancel" (-10).
int32_t AskUseOtherSpace(UiState* state);
