// The framework's record of what each item of a dialog holds (Ui_ItemState, kept in the dialog's
// record, platform/ui/dlg.h): the text of every item, the state of a check box, the entries and
// the choice of a list, an edit field's limit. It is the one owner of that state. The control
// helpers (controls.h) read it and change it, and then have the binding show the change in its
// widget; a binding keeps no copy of its own and only reports what the person changes (a click
// on a check box, a list entry chosen, typing), which the dialog procedure takes into the record
// before any proc hears of it (Ui_Item_TakeChange).
// Internal to the framework.
#pragma once

#include <cstdint>

#include "platform/ui/dlg.h"
#include "platform/ui/ui_types.h"

// The record of an existing item (the caller checked it with Ui_Item_Verify).
Ui_ItemState* Ui_Item_State(UiWindow* dialog, int16_t item);
// The item's text: the one set or typed last, else its template's.
const char* Ui_Item_Text(UiWindow* dialog, int16_t item);
// Keeps text as the item's text, cut to kUiItemTextMax - 1 characters and, for an edit field,
// to its limit. -3 without memory (the item keeps its text).
int32_t Ui_Item_StoreText(UiWindow* dialog, int16_t item, const char* text);

// A change the person made, as a binding reports it with a command notification, taken into the
// record from the widget: a check box clicked (an automatic one toggles; either kind shows the
// record's state again, since some widgets toggle themselves), a list entry chosen, an edit field
// typed into. false when nothing changed and the command is not to reach the owner: the entry
// chosen is the one chosen already.
bool Ui_Item_TakeChange(UiWindow* dialog, int16_t item, uint16_t notification);
