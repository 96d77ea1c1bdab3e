// Cursors of the plug-in's windows.
//
// The arrow, the wait cursor, or a cursor resource (type "CURS": two big-endian 16-bit numbers,
// the hot spot's v and h, followed by a BMP file in which pure magenta is transparent). The
// cursor in use is remembered in the UiState, so asking for the same one again loads nothing;
// a loaded resource cursor is freed when another resource cursor replaces it or the state closes.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct UiState;

enum : uint32_t { kUiCursorArrow = 1, kUiCursorWait = 2 };

// kind: kUiCursorArrow, kUiCursorWait, or a cursor resource id (128 and above). -7 when the
// resource is missing, -8 when it is malformed; the cursor in use then stays.
int32_t Ui_Cursor_Set(UiState* state, uint32_t kind);
// Frees a loaded cursor; run when the state closes.
int32_t Ui_Cursor_Release(UiState* state);
