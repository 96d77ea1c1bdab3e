// Internal links between the parts of the dialog framework; not for the owners of dialogs.
#pragma once

#include <cstdint>

struct Ui_Dlg;  // platform/ui/dlg.h
struct UiState;
struct UiWindow;  // platform/ui/binding.h

// The record in the window's slot, or null when the window is not a plug-in dialog.
Ui_Dlg* Ui_Dlg_Record(UiWindow* w);
// Whether window is one of the dialogs open in the state's registry.
bool Ui_Dlg_IsOpen(UiState* state, const void* window);
// The creation steps of the dialog procedure.
int32_t Ui_Dlg_Create(UiWindow* w, Ui_Dlg* d);
// Whether Ui_State_Open has registered the UiUserItem class (and Ui_State_Close not yet
// unregistered it).
bool Ui_Framework_ClassRegistered();
// The steps after the client area of a dialog changed size (see Ui_Dlg_SetResizable). person: the
// change came from the window system, so the size is kept within the person's limits; else only
// the template's size bounds it from below.
int32_t Ui_Dlg_SizeChanged(UiWindow* w, uint8_t person);
// Checks a dialog and an item number for the control helpers: -1 for a null dialog, -2 when it
// is not a plug-in dialog or the item does not exist.
int32_t Ui_Item_Verify(UiWindow* w, int16_t item);
