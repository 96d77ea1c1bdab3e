// Cursors of the plug-in's windows.
//
// The arrow, the wait cursor, or a cursor resource (type "CURS": two big-endian 16-bit numbers,
// the hot spot's v and h, followed by a BMP file in which pure magenta is transparent). The
// cursor in use is remembered in the UiState, so asking for the same one again loads nothing;
// a loaded cursor is freed when another loaded cursor replaces it or the state closes.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct UiState;

// The arrow, the wait cursor, a cross-hair (picking a point), a pointing hand (something to
// click), a four-way arrow (moving something) and an eyedropper (sampling a colour), the last
// drawn by the framework itself so that it needs no resource.
enum : uint32_t {
    kUiCursorArrow = 1,
    kUiCursorWait = 2,
    kUiCursorCross = 3,
    kUiCursorHand = 4,
    kUiCursorMove = 5,
    kUiCursorEyedropper = 6,
};

// kind: one of the kinds above, or a cursor resource id (128 and above). -7 when the resource is
// missing, -8 when it is malformed; the cursor in use then stays. A modifier proc that picks the
// cursor by the keys held is called when Shift, Ctrl or Alt goes down or up as well as when the
// mouse moves, so the cursor follows the keys without a move.
int32_t Ui_Cursor_Set(UiState* state, uint32_t kind);
// Frees a loaded cursor; run when the state closes.
int32_t Ui_Cursor_Release(UiState* state);
