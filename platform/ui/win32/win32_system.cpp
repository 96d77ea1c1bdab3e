// The Win32 binding's system services: the file and folder choosers of the common dialogs,
// message boxes, web pages through the shell, the beep, the screen and its work area.
//
// Choosers and message boxes are owned by the dialog in front (or the host's window), so that
// they stay over it and it takes no input meanwhile. Save choosers do not ask before replacing a
// file: the framework asks in its own words afterwards.
#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/ui/win32/win32_window.h"
#include "platform/ui_state.h"

namespace kolmara_w32 {

namespace {

// The control of the explorer-style chooser that shows "File name:" (stc3 of <dlgs.h>).
constexpr int kFileNameLabel = 0x442;

// Texts and paths are UTF-8 in the module and wide characters for the system's W calls, so that
// a file or folder in any script is chosen and named as it is.
constexpr int kWideText = 1024;

// UTF-8 (null: empty) into out (capacity wide characters); false when it is not UTF-8 or too
// long.
bool WideOf(const char* text, wchar_t* out, int capacity) {
    if (text == nullptr) text = "";
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, capacity) > 0;
}

// A chooser's result as UTF-8 into path (kPathSize bytes); false when it does not fit.
bool Utf8Of(const wchar_t* text, char* path) {
    return WideCharToMultiByte(CP_UTF8, 0, text, -1, path, kPathSize, nullptr, nullptr) > 0;
}

// The filter list "description\0pattern\0...\0\0", each piece converted.
bool WideFilters(const char* filters, wchar_t* out, int capacity) {
    int used = 0;
    const char* piece = filters != nullptr ? filters : "";
    for (;;) {
        const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, piece, -1, out + used,
                                          capacity - used - 1);
        if (n <= 0) return false;
        used += n;  // the piece and its terminator
        if (piece[0] == 0) break;
        piece += Str_Length(piece) + 1;
        if (piece[0] == 0) break;
    }
    out[used] = 0;
    return true;
}

struct HookData {
    wchar_t prompt[kWideText];
    bool hasPrompt;
};

// Puts the caller's prompt in place of the chooser's own label beside the file name.
UINT_PTR CALLBACK ChooserHook(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* ofn = reinterpret_cast<OPENFILENAMEW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(ofn->lCustData));
        return 0;
    }
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<OFNOTIFYW*>(lParam);
        auto* data = reinterpret_cast<HookData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (header->hdr.code == CDN_INITDONE && data != nullptr && data->hasPrompt) {
            SendMessageW(GetParent(hwnd), CDM_SETCONTROLTEXT, kFileNameLabel,
                         reinterpret_cast<LPARAM>(data->prompt));
        }
    }
    return 0;
}

int CALLBACK FolderCallback(HWND hwnd, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data != 0) {
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

int32_t ChooseFolder(HWND owner, const Ui_ChooserRequest* request, char* path) {
    wchar_t title[kWideText], start[kWideText];
    if (!WideOf(request->prompt != nullptr ? request->prompt : request->title, title, kWideText) ||
        !WideOf(request->folder, start, kWideText)) {
        return kStatusProblem;
    }
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t display[MAX_PATH] = L"";
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = FolderCallback;
    info.lParam = request->folder != nullptr ? reinterpret_cast<LPARAM>(start) : 0;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    int32_t status = kStatusCancelled;
    if (chosen != nullptr) {
        wchar_t folder[MAX_PATH] = L"";
        status =
            SHGetPathFromIDListW(chosen, folder) && Utf8Of(folder, path) ? kStatusOk : kStatusError;
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return status;
}

int32_t Choose(UiState* state, const Ui_ChooserRequest* request, char* path) {
    if (state == nullptr || request == nullptr || path == nullptr) return kStatusProblem;
    HWND owner = OwnerOf(state);
    if (request->kind == kUiChooseFolder) return ChooseFolder(owner, request, path);
    // The chooser writes into a buffer of its own size; the caller's path holds kPathSize.
    static wchar_t file[kWideText], filters[4 * kWideText], folder[kWideText], title[kWideText],
        defaultExt[32];
    static HookData hook;
    hook.hasPrompt = request->prompt != nullptr && request->prompt[0] != 0;
    const char* ext = request->defaultExt;
    if (ext != nullptr && ext[0] == '.') ++ext;  // the extension without its dot
    if (!WideOf(path, file, kWideText) || !WideFilters(request->filters, filters, 4 * kWideText) ||
        !WideOf(request->folder, folder, kWideText) || !WideOf(request->title, title, kWideText) ||
        !WideOf(ext, defaultExt, 32) ||
        (hook.hasPrompt && !WideOf(request->prompt, hook.prompt, kWideText))) {
        return kStatusProblem;
    }
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = request->filters != nullptr ? filters : nullptr;
    ofn.nFilterIndex = DWORD(request->filterIndex > 0 ? request->filterIndex : 1);
    ofn.lpstrFile = file;
    ofn.nMaxFile = kWideText;
    ofn.lpstrInitialDir = request->folder != nullptr ? folder : nullptr;
    ofn.lpstrTitle = request->title != nullptr ? title : nullptr;
    if (request->kind == kUiChooseSave && ext != nullptr && ext[0] != 0) {
        ofn.lpstrDefExt = defaultExt;
    }
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (request->kind == kUiChooseOpen) ofn.Flags |= OFN_FILEMUSTEXIST;
    if (hook.hasPrompt) {
        ofn.Flags |= OFN_ENABLEHOOK;
        ofn.lpfnHook = ChooserHook;
        ofn.lCustData = reinterpret_cast<LPARAM>(&hook);
    }
    BOOL chosen = request->kind == kUiChooseSave ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!chosen) {
        // No error code: the person cancelled. A code is a failure of the chooser itself (a name
        // longer than the buffer, among others).
        DWORD error = CommDlgExtendedError();
        if (error == 0) return kStatusCancelled;
        char line[64];
        Str_FormatN(line, sizeof line, "choose: the common dialog failed (%d)", int(error));
        Ui_Debug_Log(state->diagnostics, line);
        return kStatusError;
    }
    if (request->chosenFilter != nullptr) *request->chosenFilter = int32_t(ofn.nFilterIndex);
    char chosenPath[kPathSize];
    if (!Utf8Of(file, chosenPath)) return kStatusError;
    if (request->kind == kUiChooseSave && request->defaultExt != nullptr &&
        Ui_Path_AddDefaultExtension(chosenPath, kPathSize, request->defaultExt) != kStatusOk) {
        return kStatusError;
    }
    Str_Copy(path, chosenPath);
    return kStatusOk;
}

int32_t OpenUrl(const char* url, int32_t* code) {
    static wchar_t wide[4 * kWideText];
    *code = 0;
    if (!WideOf(url, wide, 4 * kWideText)) return kStatusProblem;
    // ShellExecute reports success with a value above 32; the smaller values are its errors.
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", wide, nullptr, nullptr, SW_SHOWNORMAL));
    *code = result > 32 ? 0 : int32_t(result);
    return result > 32 ? kStatusOk : kStatusError;
}

void Beep() {
    MessageBeep(MB_OK);
}

// The screen's coordinates in framework pixels, at the resolution window positions have.
int32_t GetScreenRect(Ui_Rect* r) {
    const int32_t dpi = ScreenDpi();
    const int width = W32_FromDevice(GetSystemMetrics(SM_CXSCREEN), dpi);
    const int height = W32_FromDevice(GetSystemMetrics(SM_CYSCREEN), dpi);
    if (!(1 <= width && width <= 32767 && 1 <= height && height <= 32767)) return kStatusError;
    *r = Ui_Rect{0, 0, int16_t(height), int16_t(width)};
    return kStatusOk;
}

// The primary screen without the task bar, where dialogs are centred.
int32_t GetWorkArea(Ui_Rect* r) {
    RECT area;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) return kStatusError;
    const int32_t dpi = ScreenDpi();
    area = RECT{W32_FromDevice(area.left, dpi), W32_FromDevice(area.top, dpi),
                W32_FromDevice(area.right, dpi), W32_FromDevice(area.bottom, dpi)};
    // Rectangles are 16-bit: an area that does not fit is as good as none.
    if (!(-32768 <= area.left && area.left < area.right && area.right <= 32767) ||
        !(-32768 <= area.top && area.top < area.bottom && area.bottom <= 32767)) {
        return kStatusError;
    }
    *r = Ui_Rect{int16_t(area.top), int16_t(area.left), int16_t(area.bottom), int16_t(area.right)};
    return kStatusOk;
}

void ShowMessageBox(const char* text, const char* caption) {
    // Owned by the active window of this thread when it is one of ours (a dialog in front).
    HWND active = GetActiveWindow();
    HWND owner = RecordOfHwnd(active) != nullptr ? active : nullptr;
    MessageBoxA(owner, text != nullptr ? text : "", caption != nullptr ? caption : " ",
                MB_OK | MB_ICONINFORMATION | (owner == nullptr ? MB_TASKMODAL : 0));
}

// The system's own pop-up menu, answered before it returns (TPM_RETURNCMD: no WM_COMMAND reaches
// the dialog, which would read it as a click on an item).
int32_t PopupMenu(UiWindow* w, int16_t v, int16_t h, const Ui_MenuItem* items, int32_t count,
                  int32_t* chosen) {
    *chosen = -1;
    Window* n = RecordOf(w);
    if (n == nullptr || n->hwnd == nullptr) return kStatusError;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return kStatusError;
    for (int32_t i = 0; i < count; ++i) {
        UINT flags = MF_STRING | (items[i].mark == kUiMenuOn ? MF_CHECKED : MF_UNCHECKED) |
                     (items[i].enabled ? MF_ENABLED : MF_GRAYED);
        AppendMenuA(menu, flags, UINT_PTR(i + 1), items[i].text);
    }
    POINT p{W32_ToDevice(h, n->draw.dpi), W32_ToDevice(v, n->draw.dpi)};
    ClientToScreen(n->hwnd, &p);
    const int id = int(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, p.x,
                                      p.y, 0, n->hwnd, nullptr));
    DestroyMenu(menu);
    if (id <= 0) return kStatusCancelled;
    *chosen = id - 1;
    return kStatusOk;
}

}  // namespace

void FillSystemOps(UiBinding* b) {
    b->getScreenRect = GetScreenRect;
    b->getWorkArea = GetWorkArea;
    b->beep = Beep;
    b->choose = Choose;
    b->openUrl = OpenUrl;
    b->popupMenu = PopupMenu;
}

void InstallMessageBox() {
    Ui_SetMessageBoxHook(ShowMessageBox);
}

}  // namespace kolmara_w32
