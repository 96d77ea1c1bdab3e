// System services of the dialog framework: modifier keys, the beep, the tick count, opening a
// web page and starting a helper program.
#pragma once

#include <cstdint>

#include "platform/alert.h"
#include "platform/status.h"

struct UiState;

// Whether Ctrl, Alt and Shift are held now (any argument may be null). Without a display none is.
int32_t Ui_Key_State(uint8_t* ctrl, uint8_t* alt, uint8_t* shift);
int32_t Ui_Beep();
// Milliseconds from an arbitrary start, wrapping at 2^32.
uint32_t Ui_TickCount();

// Opens a document or web address with the desktop's handler. When that fails the result is -2
// and failure (may be null) holds what its caller shows: the stop alert "Could not launch the
// Internet browser (error = %ld)." (kStrBrowserError) with the handler's code.
int32_t Ui_Web_Open(UiState* state, const char* address, Ui_Failure* failure);

// Starts program (looked up in PATH) with one argument, without a shell, and waits for it.
// 0 when it exits with 0; -2 otherwise, with *code the exit status or the system's error number
// when it could not be started.
int32_t Ui_Shell_Run(const char* program, const char* argument, int32_t* code);
