// Numbers typed into the value boxes of the editing window's tools (value_entry.h): opening the
// entry on a click, applying what is typed.
#pragma once

#include <cstdint>

struct EditingWindow;
struct Ui_Failure;

// An item hit while a number is typed, or a click on a value box that opens the entry; false
// when the item hit is someone else's. A failure of applying the number is described in failure.
bool EditorTypedValueHit(EditingWindow* win, int16_t item, Ui_Failure* failure);
// Applies what is typed and closes the entry, before a press or key of the window's own.
void EditorTypedValueFinish(EditingWindow* win);
