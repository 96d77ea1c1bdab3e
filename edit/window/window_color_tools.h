// The colour tools of the editing window's hue tab: toning, "B/W" and "Sepia", the memory-colour
// buttons and the box that names what the pointer is over, and the neutral definition.
#pragma once

#include <cstdint>

struct EditingWindow;
struct Ui_Failure;
struct UiWindow;

// Registers the toning swatch and the memory-colour information box; the memory-colour buttons
// follow the active handle.
void EditorColorToolsInit(EditingWindow* win);
// Carries out "B/W", "Sepia", "Toning", the toning swatch, the memory-colour buttons and the
// colour-cast tab's "Preferences..." (the neutral definition). false when the item is none of
// them.
bool EditorColorToolCommand(EditingWindow* win, int16_t item, Ui_Failure* failure);
// After Undo or Redo put the definitions and memory colours back: the preferences record keeps
// them as the state has them, and the memory-colour buttons and boxes show them.
void EditorDefinitionsRestored(EditingWindow* win);
// On every pointer move over the window: the memory-colour information box names what the
// pointer is over.
int32_t EditorColorToolsPointer(UiWindow* dialog);
