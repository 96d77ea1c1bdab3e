// The colour chooser on Windows; see color_chooser.h.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "tools/filterhost/color_chooser.h"

namespace {

// The dialog's title comes from the hook, the only way the system's dialog takes one.
std::wstring gTitle;

UINT_PTR CALLBACK TitleHook(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG && !gTitle.empty()) SetWindowTextW(window, gTitle.c_str());
    return 0;  // the dialog's own handling goes on
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

}  // namespace

bool ColorChooserAvailable() {
    return true;
}

bool ChooseColorOnScreen(const std::string& prompt, int rgb[3]) {
    // The dialog's custom colours last as long as the process, as in an editor's session.
    static COLORREF custom[16] = {};
    gTitle = Widen(prompt);
    CHOOSECOLORW choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = GetActiveWindow();
    choice.rgbResult = RGB(rgb[0], rgb[1], rgb[2]);
    choice.lpCustColors = custom;
    choice.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
    choice.lpfnHook = TitleHook;
    if (!ChooseColorW(&choice)) return false;
    rgb[0] = GetRValue(choice.rgbResult);
    rgb[1] = GetGValue(choice.rgbResult);
    rgb[2] = GetBValue(choice.rgbResult);
    return true;
}
