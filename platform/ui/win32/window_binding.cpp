// The window binding of the Windows module, for now. The module's entry point asks once per load
// for a window binding through Ui_Fltk_Install (the name of the Linux binding it was written
// against). There is no FLTK on Windows and the Win32 binding of the dialog framework is not
// written yet, so the answer is the headless binding with the system services that need no
// window taken from Windows: the modifier keys from GetAsyncKeyState (so that Ctrl and Shift held
// at the first call switch diagnostics on, as on Linux with a display), the beep, and web pages
// opened with the shell. Dialogs stay headless: the module filters, records and replays without
// windows, and a run that needs a window ends as it does on Linux without a display.
#include <windows.h>

#include <shellapi.h>

#include "platform/ui/binding.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/headless/headless.h"

namespace {

bool Down(int key) {
    // The high bit is set while the key is down now; the low bit (pressed since the last call)
    // is not a state and is ignored.
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

void KeyState(uint8_t* ctrl, uint8_t* alt, uint8_t* shift) {
    *ctrl = Down(VK_CONTROL) ? 1 : 0;
    *alt = Down(VK_MENU) ? 1 : 0;
    *shift = Down(VK_SHIFT) ? 1 : 0;
}

void Beep() {
    MessageBeep(MB_OK);
}

int32_t OpenUrl(const char* url, int32_t* code) {
    // ShellExecute reports success with a value above 32; the smaller values are its errors.
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL));
    *code = result > 32 ? 0 : int32_t(result);
    return result > 32 ? kStatusOk : kStatusError;
}

}  // namespace

int32_t Ui_Fltk_Install() {
    static UiBinding binding = *Ui_Headless_Binding();
    binding.name = "headless-win32";
    binding.keyState = KeyState;
    binding.beep = Beep;
    binding.openUrl = OpenUrl;
    Ui_Framework_Install(&binding);
    // Not a window binding: callers that need real windows see the same answer as without a
    // display on Linux.
    return kStatusError;
}
