// Internals of the headless binding shared by its files, one concern each:
//   headless_script.cpp  playing the script: events, keys and modifiers, presses and drags,
//                        the modal loop, the virtual clock and the idle timer it drives;
//   headless_window.cpp  the windows: creating and destroying them (and the copy of the last one
//                        closed), their places and sizes, what is invalid and its painting;
//   headless_items.cpp   the items of a window as the widgets a person would see: they show what
//                        the framework's record holds and report what the script changes;
//   headless_draw.cpp    fonts, measuring and the drawing operations over the canvas
//                        (canvas.cpp holds the pixel work);
//   headless_system.cpp  cursors, beeps, file choosers and web pages;
//   headless_table.cpp   the binding's table, put together from the parts, and its reset.
#pragma once

#include <cstdint>

#include "platform/ui/binding.h"
#include "platform/ui/headless/headless.h"

namespace kolmara_headless {

// --- headless_script.cpp
// Whether a script is being played (a test); without one nothing waits for a person.
bool Scripted();
// The modifier keys of the event being delivered, as its messages carry them.
uint8_t Modifiers();
// Counts and logs an event of the script that could not be delivered.
void Refuse(const char* why);
// The next event of the script when it answers a chooser (it is used up), else null.
const UiScriptEvent* TakeChooserAnswer();
// The same for a pop-up menu.
const UiScriptEvent* TakeMenuAnswer();
void FillScriptOps(UiBinding* b);
void ResetScript();

// --- headless_window.cpp
UiHeadlessWindow* Hw(UiWindow* w);
UiHeadlessItem* ItemOf(UiWindow* w, int16_t item);
// Adds r (null: the whole client area) to what is to be painted; erase: with the background.
void Invalidate(UiHeadlessWindow* hw, const Ui_Rect* r, uint8_t erase);
// Paints what is invalid: the dialog, the colour requests of its children, the user items.
void Paint(UiWindow* w);
int32_t SetWindowRect(UiWindow* w, const Ui_Rect* r);
void FillWindowOps(UiBinding* b);
void ResetWindows();

// --- headless_items.cpp
// A control's command to the dialog, with the keys of the event being delivered.
void Command(UiWindow* w, int16_t item, uint16_t notification);
int32_t ItemSetFocus(UiWindow* w, int16_t item);
void FillItemOps(UiBinding* b);

// --- headless_draw.cpp
void FillDrawOps(UiBinding* b);

// --- headless_system.cpp
void FillSystemOps(UiBinding* b);
void ResetSystem();

}  // namespace kolmara_headless
