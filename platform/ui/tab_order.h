// The order in which Tab and Shift+Tab move the keyboard focus through a dialog: reading order.
//
// Items are numbered in the order their template lists them, which is the order they were added
// in, not the order a person reads them; stepping by number jumps about the window. The order
// here follows the layout the person sees instead, by cutting the dialog into blocks (the way a
// page is read):
//   1. where a wide band of empty rows runs across every item (at least kUiTabRowGapUnits dialog
//      units high, as above a row of buttons at the bottom), the part above comes first;
//   2. else where an empty band of columns runs down every item (two columns of controls), the
//      left part comes first;
//   3. else at the widest narrow band of empty rows;
//   4. items that overlap in both directions go top to bottom, then left to right.
// Each part is cut again the same way. A column of check boxes beside a column of lists is so
// read column by column, and the buttons of the bottom row come last.
//
// The blocks are cut by everything shown, at the places the binding reports (items move when a
// dialog grows): labels, frames and dividers are part of the layout a person reads, so a divider
// between two columns keeps the buttons under the left column in that column. Tab stops only at
// push buttons, check boxes, lists, edit fields and the user items their owner marked
// (kUiFlagTabStop, a slider) that are shown and enabled; the binding says
// which items are (the framework does not keep that state). The order is worked out again at
// every press, so tool tabs that show other controls, and items enabled or hidden meanwhile, are
// always read as they are.
#pragma once

#include <cstdint>

struct UiWindow;

constexpr int32_t kUiTabRowGapUnits = 6;

// What the binding knows of an item now: hidden, shown, or shown and enabled.
enum UiTabShown : uint8_t { kUiTabHidden = 0, kUiTabShownOnly = 1, kUiTabEnabled = 2 };
using UiTabShownProc = UiTabShown (*)(UiWindow* dialog, int16_t item);

// Whether items of this kind take the focus from Tab.
bool Ui_Tab_TakesFocus(uint8_t kind);
// The items that can take the focus, in reading order, into order (at most capacity of them);
// returns how many there are.
int32_t Ui_Tab_Order(UiWindow* dialog, UiTabShownProc shown, int16_t* order, int32_t capacity);
// The item Tab (backwards: Shift+Tab) moves the focus to from current, going round at the end;
// a user item with the focus takes its place in the reading order for this step, so that Tab goes
// on from where the person is; with nothing focused (or the dialog) Tab goes to the first item and
// Shift+Tab to the last. 0 when no other item can take the focus.
int16_t Ui_Tab_Next(UiWindow* dialog, UiTabShownProc shown, int16_t current, bool backwards);
