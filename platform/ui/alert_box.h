// The alert box: dialog 6000 (kDlgAlert) showing an alert record.
//
// The main text goes into item 3, the detail into item 4, the icon is drawn by the user item 5
// centred horizontally, and button 2 is hidden for one-button alerts. A label wider than its
// button (text width + 20 pixels in the dialog font) widens the button towards the left, its
// right edge staying; when button 1 grows, button 2 moves left by the same amount. Button 1 is
// the default and has the focus; clicking button 1 or 2 ends the box with that item.
//
// Without a person to answer (no display, no test script) nothing waits: the alert is written to
// the debug log and stderr, and a question takes its first button and says so on stderr.
#pragma once

#include <cstdint>

#include "platform/alert.h"

struct UiState;

// The presenter the framework installs with Ui_Alert_SetPresenter: 0 with the item hit, or -2
// when the box could not be made.
int32_t Ui_AlertBox_Present(UiState* state, const Ui_AlertRecord* alert, int16_t* item);
