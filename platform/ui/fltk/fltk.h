// The FLTK binding: real windows on an X display through FLTK 1.3.
//
// Dialogs are modal FLTK windows built from the templates: push buttons, check boxes, drop-down
// lists, static texts and edit fields of FLTK, and UiUserItem controls as a custom widget that
// hands paint, key and mouse events to the framework. Timers are FLTK timeouts, modifier keys
// are read from the X server's keymap (so they are right before the first event too), file
// choosers are FLTK's own (never GTK's, so nothing else is loaded into the host), web pages open
// with xdg-open.
//
// FLTK ends the process when it cannot open a display, so the display is checked with
// XOpenDisplay before FLTK is touched; without one the headless binding stays in place.
//
// The library is linked statically into the module. Its own code is compiled with hidden
// visibility; the module must also link with -Wl,--exclude-libs,ALL so that libfltk.a's symbols
// are not exported, and with the X libraries FLTK needs (see platform/ui/CMakeLists.txt).
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/ui/ui_types.h"

struct UiBinding;

// Installs the FLTK binding with the framework when a display can be opened: 0. Otherwise the
// headless binding is installed and the result is -2.
int32_t Ui_Fltk_Install();
const UiBinding* Ui_Fltk_Binding();

// For tests of real windows: the client area of an open dialog as RGB rows (width * 3 bytes a
// row) into a buffer of capacity bytes; the size comes back even when the buffer is too small
// (then -1).
int32_t Ui_Fltk_ReadPixels(UiWindow* dialog, uint8_t* rgb, int32_t capacity, int32_t* width,
                           int32_t* height);
// The X window id of an open dialog and its client area's position on the screen.
int32_t Ui_Fltk_XWindow(UiWindow* dialog, unsigned long* xid, int32_t* screenLeft,
                        int32_t* screenTop);
