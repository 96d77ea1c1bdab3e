// Pop-up menus: a short list of actions shown where the person asked for it (usually from a
// dialog's context proc, see UiContextProc), answered before the call returns.
//
// Every entry's text comes from the string table, so a menu reads in the module's language and
// tests can name the entries. The menu is the binding's own (FLTK's menu window, a Win32 pop-up
// menu; the headless binding takes the answer from its script), so it looks like the menus of
// the system around it and is dismissed the way the person is used to.
#pragma once

#include <cstdint>

#include "platform/ui/binding.h"

constexpr int32_t kUiMenuMaxEntries = 12;

struct Ui_MenuEntry {
    int32_t textId;   // string id of the entry's text
    UiMenuMark mark;  // an action, or a state and whether it holds now (binding.h)
    uint8_t enabled;  // 0: shown greyed (the action does not apply here)
};

// Shows the entries (1 .. kUiMenuMaxEntries) with the menu's top left corner at (v, h) of the
// dialog's client area and returns the person's answer in *chosen: the 0-based entry, or -1 when
// the menu was dismissed (a greyed entry is never the answer). -1 for bad arguments, -2 when the
// binding cannot show a menu (*chosen is -1 then too).
int32_t Ui_Menu_PopUp(UiWindow* dialog, int16_t v, int16_t h, const Ui_MenuEntry* entries,
                      int32_t count, int32_t* chosen);
