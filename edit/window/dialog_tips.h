// The tooltips of the editing window and of the dialogs it opens: for each dialog, the string
// that explains each of its controls, set when the dialog opens.
//
// Every control a person can click, drag or type into has one; static texts, frames and the
// status line have none. Value boxes beside sliders say whose value they show. The texts are in
// the string table (ids named StrTip...), so they read in the module's language.
#pragma once

#include <cstdint>

struct UiWindow;

// Sets the tooltips of dialog (an open dialog with template dialogId) from its table; dialogs
// without a table keep none. 0, or the framework's first failure.
int32_t DialogTipsSet(UiWindow* dialog, int32_t dialogId);
