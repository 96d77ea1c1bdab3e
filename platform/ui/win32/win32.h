// The Win32 binding of the dialog framework: the module's dialogs as real Windows dialogs.
//
// The module's entry point asks for a window binding through Ui_Fltk_Install on both systems
// (platform/ui/fltk/fltk.h); on Windows that installs this binding when the process can show
// windows, else the headless one with the Windows key state, beep and web pages.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/status.h"
#include "platform/ui/ui_types.h"

struct UiBinding;

const UiBinding* Ui_Win32_Binding();
// The window handle of an open dialog, for tests that drive or photograph it; null when none.
HWND Ui_Win32_WindowHandle(UiWindow* dialog);
