// The platform layer's per-call state: opening and closing it.
//
// A UiState (platform/ui_state_record.h) is opened at the start of every call of the plug-in and
// closed at its end. It holds what the platform layer needs from the call: the diagnostics flag
// (every log line of the layer is written only when it is 1), where resources come from, the
// parent window, the cursor, the application and company names, and the registry of open
// dialogs.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/ui_state_record.h"

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
