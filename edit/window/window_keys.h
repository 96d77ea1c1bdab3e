// The editing window's keys beside Return, Escape and Tab.
#pragma once

#include <cstdint>

struct UiWindow;

// The window's key proc; 1 when the key was taken.
int32_t EditorKey(UiWindow* dialog, uint8_t key, uint8_t ctrl);
