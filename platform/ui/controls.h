// Control helpers: what the owner of a dialog does with its items.
//
// Every helper takes the dialog and an item number (1 .. item count). They return -1 for a null
// dialog or a null result pointer, and -2 when the window is not a plug-in dialog, the item does
// not exist, the item is of a kind the helper does not apply to, or the window system refuses.
// They show nothing.
#pragma once

#include <cstdint>

#include "platform/ui/ui_types.h"

// Makes the item the default push button and gives it the focus.
int32_t Ui_Item_SetDefault(UiWindow* dialog, int16_t item);

// Check boxes: 0 off, 1 on, 2 mixed.
int32_t Ui_Item_GetCheck(UiWindow* dialog, int16_t item, int32_t* state);
int32_t Ui_Item_SetCheck(UiWindow* dialog, int16_t item, int32_t state);
// Flips between 0 and 1 (a mixed box becomes 0) and returns the new state.
int32_t Ui_Item_ToggleCheck(UiWindow* dialog, int16_t item, int32_t* state);

int32_t Ui_Item_Enable(UiWindow* dialog, int16_t item, uint8_t on);
// Shows or hides the item and its linked companion.
int32_t Ui_Item_Show(UiWindow* dialog, int16_t item, uint8_t on);
// Links a companion that is shown and hidden together with item; 0 removes the link.
int32_t Ui_Item_SetLink(UiWindow* dialog, int16_t item, int16_t companion);

// Up to capacity - 1 characters; an empty text gives -2 and an empty string.
int32_t Ui_Item_GetText(UiWindow* dialog, int16_t item, char* text, int32_t capacity);
// Changes the text only when it differs from the current one, so that an unchanged value does not
// flicker. Setting a text from code never sends the change notification typing does: the owner
// hears only of what the person changed. An edit field keeps no more than its maximum length.
int32_t Ui_Item_SetText(UiWindow* dialog, int16_t item, const char* text);
// The most characters an edit field holds (1 .. 32767; 0: no limit): typing stops there, a
// longer text pasted or set is cut, and a text already longer is cut now.
int32_t Ui_Item_SetMaxLength(UiWindow* dialog, int16_t item, int32_t count);

// Empties a combo box and adds the strings with ids first .. last; the range is kept in the
// item's link entry. Choosing the entry that is already chosen is no change: it sends no
// selection notification on any binding.
int32_t Ui_List_Fill(UiWindow* dialog, int16_t item, int32_t firstId, int32_t lastId);
// 1-based selection; 0 when nothing is selected.
int32_t Ui_List_GetSelection(UiWindow* dialog, int16_t item, int32_t* index);
// 1 .. number of entries; else -2.
int32_t Ui_List_SetSelection(UiWindow* dialog, int16_t item, int32_t index);
// Numbers the items that hold a list item count + 1, item count + 2, ... in item order; *count
// gets how many there are.
int32_t Ui_List_NumberLinked(UiWindow* dialog, int32_t* count);
// The string id behind a 1-based list entry of a list filled by Ui_List_Fill.
int32_t Ui_List_StringId(UiWindow* dialog, int16_t item, int32_t index, int32_t* id);

// In dialog client coordinates; on failure (0, 0, 1, 1) and -2.
int32_t Ui_Item_GetRect(UiWindow* dialog, int16_t item, Ui_Rect* r);
// The tooltip of each item named: its text from the string table, shown when the pointer rests on
// the item. count entries of {item, string id}; the first failure is returned, the rest still set.
struct Ui_ItemTip {
    int16_t item;
    int32_t textId;
};
int32_t Ui_Item_SetTips(UiWindow* dialog, const Ui_ItemTip* tips, int32_t count);
// One item's tooltip from a text made at run time (a tooltip that follows the window's state).
int32_t Ui_Item_SetTipText(UiWindow* dialog, int16_t item, const char* text);
// Moves and sizes the item without changing the stacking order or activating it.
int32_t Ui_Item_Move(UiWindow* dialog, int16_t item, const Ui_Rect* r);
// Selects characters first .. last of an edit field (all when last < first) and gives it the
// focus; -9 when the dialog is not the window in front.
int32_t Ui_Item_SelectText(UiWindow* dialog, int16_t item, int32_t first, int32_t last);
// The focus to item, or to the dialog itself for a negative item.
int32_t Ui_Item_SetFocus(UiWindow* dialog, int16_t item);
// The item with the keyboard focus; 0 when none of the dialog's has it (or the binding cannot
// tell).
int16_t Ui_Item_Focused(UiWindow* dialog);
// Lets Tab stop at a user item (on) or not: a user item that takes keys of its own, as a slider
// takes the arrows. Other kinds of items answer -1.
int32_t Ui_Item_SetTabStop(UiWindow* dialog, int16_t item, uint8_t on);
// Marks the whole client area (item 0) or one item's rectangle for repainting, without erasing.
int32_t Ui_Item_Invalidate(UiWindow* dialog, int16_t item);
// Draws the item without the desktop theme where the window system has themes; else nothing.
int32_t Ui_Item_PlainStyle(UiWindow* dialog, int16_t item);

// For user items drawn as push buttons, called from a track proc with the phase and whether the
// mouse was inside at the previous call. The item's draw proc gets item for the normal look and
// -item for the pressed look. Phase 0 draws pressed; phase 1 draws normal when the mouse has left
// and pressed when it has come back; phase 2 draws normal when released inside, and also when the
// release comes outside while the button is still drawn pressed. Returns 1 when
// the mouse is inside the item, 0 when not, or a negative status.
int32_t Ui_Item_TrackButton(UiWindow* dialog, int16_t item, int16_t phase, uint8_t wasInside);
