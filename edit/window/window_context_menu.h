// The context menus of the editing window's items.
#pragma once

#include <cstdint>

struct UiWindow;

// The window's context-menu proc: the menu of the item at (v, h), and what its entry does.
int32_t EditorContextMenu(UiWindow* dialog, int16_t item, int16_t v, int16_t h);
