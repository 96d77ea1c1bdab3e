// What the editing window's buttons, boxes and lists do, and what the preferences keep of the
// window when it closes.
#pragma once

#include <cstdint>

struct EditingWindow;
struct Ui_Failure;

// Carries out a button, box or list of the window. false when the item is not one of them.
bool EditorCommand(EditingWindow* win, int16_t item, Ui_Failure* failure);
// When the window closes, however it closes (once): the preferences take the sharpen and noise
// settings, the tab, the colour-balance method and the window's size, and are written. A failed
// write is described in failure.
int32_t EditorKeepHabits(EditingWindow* win, Ui_Failure* failure);
