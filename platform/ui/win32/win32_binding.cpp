// The Win32 binding's windows: the record of a dialog window, its creation from the DIALOGEX
// resource, the dialog procedure, the modal loop and the window operations.
//
// The dialog window has no WS_CLIPCHILDREN: the framework draws over its user items. Its own
// paint message (kUiMsgPaint, then kUiMsgCtlColorStatic) is posted from WM_PAINT and dispatched
// once the children have painted too, so that procs run outside the window system's painting.
//
// Sizes and positions go to the framework in its 96-dpi pixels (win32_dpi.cpp). A window's
// frame is the window system's and stays in the monitor's pixels: an outer rectangle the
// framework sets is turned into a client area of the converted size inside that frame, so that
// a client size read and set again is the same size. The screen's coordinates (window
// rectangles, the screen, the work area) are all converted at one resolution, that of the newest
// open window, which is the one the framework places and sizes: windows of different scales (the
// editing window shrunk to fit, a dialog over it) then still centre over each other, and the
// window being placed meets the work area in its own pixels.
#include "platform/ui/win32/win32.h"

#include <windowsx.h>

#include "platform/mem.h"
#include "platform/ui/dlg.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/rect.h"
#include "platform/ui/win32/win32_window.h"
#include "platform/ui_state.h"

namespace kolmara_w32 {

HINSTANCE ThisModule() {
    static HMODULE self = nullptr;
    if (self == nullptr) {
        GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&ThisModule), &self);
    }
    return self;
}

Window* RecordOf(UiWindow* w) {
    return w != nullptr ? static_cast<Window*>(w->native) : nullptr;
}

namespace {
// The open dialog windows, nested ones after those they were opened over.
constexpr int kMaxOpen = 32;
Window* gOpen[kMaxOpen];
uint32_t gOpenings = 0;  // counts the windows opened, to tell the newest

void Register(Window* n, bool on) {
    if (on) n->opening = ++gOpenings;
    for (Window*& slot : gOpen) {
        if (on ? slot == nullptr : slot == n) {
            slot = on ? n : nullptr;
            return;
        }
    }
}
}  // namespace

int32_t ScreenDpi() {
    const Window* newest = nullptr;
    for (const Window* n : gOpen) {
        if (n != nullptr && (newest == nullptr || n->opening > newest->opening)) newest = n;
    }
    return newest != nullptr && newest->draw.dpi > 0 ? newest->draw.dpi : WindowDpi(nullptr);
}

Window* RecordOfHwnd(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    HWND top = GetAncestor(hwnd, GA_ROOT);
    for (Window* n : gOpen) {
        if (n != nullptr && n->hwnd == top) return n;
    }
    return nullptr;
}

int16_t ItemOfHwnd(const Window* n, HWND hwnd) {
    if (n == nullptr || hwnd == nullptr) return 0;
    for (int32_t i = 0; i < n->itemCount; ++i) {
        if (n->items[i].hwnd == hwnd) return int16_t(i + 1);
    }
    return 0;
}

Item* ItemOf(UiWindow* w, int16_t item) {
    Window* n = RecordOf(w);
    if (n == nullptr || !(1 <= item && item <= n->itemCount)) return nullptr;
    return &n->items[item - 1];
}

HWND OwnerOf(UiState* state) {
    if (state == nullptr) return nullptr;
    if (Ui_Dlg_IsOpen(state, state->parentWindow)) {
        Window* n = RecordOf(static_cast<UiWindow*>(state->parentWindow));
        return n != nullptr ? n->hwnd : nullptr;
    }
    // The host hands its main window; a stand-in host may hand something that is not a window.
    auto hwnd = static_cast<HWND>(state->parentWindow);
    return hwnd != nullptr && IsWindow(hwnd) ? hwnd : nullptr;
}

// The background brush in the dialog's current colour.
HBRUSH Background(Window* n) {
    Ui_RGB bg = kUiDefaultBackground;
    uint8_t custom = 0;
    Ui_Dlg_Colors(n->ui, &bg, &custom);
    if (n->background != nullptr && (bg.r != n->backgroundColor.r || bg.g != n->backgroundColor.g ||
                                     bg.b != n->backgroundColor.b)) {
        DeleteObject(n->background);
        n->background = nullptr;
    }
    if (n->background == nullptr) {
        n->background = CreateSolidBrush(RGB(bg.r, bg.g, bg.b));
        n->backgroundColor = bg;
    }
    return n->background;
}

namespace {

void DeferredPaint(Window* n) {
    n->paintPosted = 0;
    if (n->ui->ended) return;
    // The controls paint first: the framework's drawing goes over them.
    RedrawWindow(n->hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Ui_Msg m{};
    m.kind = kUiMsgPaint;
    Ui_Dlg_Proc(n->ui, &m, nullptr);
    if (n->ui->ended) return;
    m.kind = kUiMsgCtlColorStatic;
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

void DeferredSize(Window* n) {
    n->sizePosted = 0;
    if (n->ui->ended) return;
    RECT client;
    GetClientRect(n->hwnd, &client);
    Ui_Msg m{};
    m.kind = kUiMsgSize;
    m.v = int16_t(W32_FromDevice(client.bottom, n->draw.dpi));
    m.h = int16_t(W32_FromDevice(client.right, n->draw.dpi));
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

// The outer size of a window with a client area of width x height in its present style.
SIZE OuterSize(HWND hwnd, int32_t width, int32_t height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrA(hwnd, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)));
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Shows the dialog at a new resolution: moved where the system suggests, its client area
// converted again at the monitor's resolution there (or the largest that fits), its controls
// placed and given fonts anew, everything drawn again. The framework's layout does not change,
// so it is not told.
void ChangeDpi(Window* n, const RECT* suggested) {
    RECT client;
    GetClientRect(n->hwnd, &client);
    const int32_t width = W32_FromDevice(client.right, n->draw.dpi);
    const int32_t height = W32_FromDevice(client.bottom, n->draw.dpi);
    n->settingRect = 1;
    SetWindowPos(n->hwnd, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    n->draw.dpi = FittingDpi(n->hwnd, width, height);
    const SIZE outer =
        OuterSize(n->hwnd, W32_ToDevice(width, n->draw.dpi), W32_ToDevice(height, n->draw.dpi));
    SetWindowPos(n->hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    n->settingRect = 0;
    PlaceControls(n);
    RedrawWindow(n->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

INT_PTR Answer(HWND hwnd, LRESULT result) {
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* n = reinterpret_cast<Window*>(lParam);
        n->hwnd = hwnd;
        n->draw.hwnd = hwnd;
        Register(n, true);
        return FALSE;  // the framework sets the focus
    }
    Window* n = RecordOfHwnd(hwnd);
    if (n == nullptr) return FALSE;
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, Background(n));
            return Answer(hwnd, 1);
        }
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(Background(n));
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return ControlColor(n, message, reinterpret_cast<HDC>(wParam),
                                reinterpret_cast<HWND>(lParam));
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            if (!n->paintPosted && !n->ui->ended) {
                n->paintPosted = 1;
                PostMessageA(hwnd, kMsgDeferredPaint, 0, 0);
            }
            return TRUE;
        }
        case kMsgDeferredPaint:
            DeferredPaint(n);
            return TRUE;
        case kMsgDeferredSize:
            DeferredSize(n);
            return TRUE;
        case WM_SIZE:
            // Only a change the window system made (a person dragged the frame) is told.
            if (!n->settingRect && n->shown && !n->sizePosted && wParam != SIZE_MINIMIZED) {
                n->sizePosted = 1;
                PostMessageA(hwnd, kMsgDeferredSize, 0, 0);
            }
            return FALSE;
        case WM_GETMINMAXINFO: {
            if (!n->resizable) return FALSE;
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const int32_t dpi = n->draw.dpi;
            SIZE low =
                OuterSize(hwnd, W32_ToDevice(n->minWidth, dpi), W32_ToDevice(n->minHeight, dpi));
            SIZE high =
                OuterSize(hwnd, W32_ToDevice(n->maxWidth, dpi), W32_ToDevice(n->maxHeight, dpi));
            info->ptMinTrackSize = POINT{low.cx, low.cy};
            info->ptMaxTrackSize = POINT{high.cx, high.cy};
            return Answer(hwnd, 0);
        }
        case WM_COMMAND: {
            // Return and Escape are routed by the modal loop; the dialog manager's own IDOK
            // and IDCANCEL (from a control that asked for them) are not clicks.
            HWND control = reinterpret_cast<HWND>(lParam);
            int16_t item = ItemOfHwnd(n, control);
            if (item == 0) return TRUE;
            uint16_t code = HIWORD(wParam);
            if (code == EN_CHANGE && n->settingText) return TRUE;
            // The boxes are three-state boxes that never toggle themselves: the framework toggles
            // an automatic one in its record and has it shown.
            Command(n, item, code);
            return TRUE;
        }
        case WM_CONTEXTMENU: {
            // The right button (or Shift+F10, the menu key) over an item or the dialog. Edit
            // fields keep their own menu; a disabled control passes the click to the dialog.
            if (n->ui->tracking) return TRUE;
            int16_t item = ItemOfHwnd(n, reinterpret_cast<HWND>(wParam));
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (p.x == -1 && p.y == -1) {
                // From the keyboard: the item with the focus, at its centre.
                item = ItemOfHwnd(n, GetFocus());
                RECT r;
                GetWindowRect(item != 0 ? n->items[item - 1].hwnd : hwnd, &r);
                p = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            }
            ScreenToClient(hwnd, &p);
            Ui_Msg m{};
            m.kind = kUiMsgContextMenu;
            m.item = item;
            m.v = int16_t(W32_FromDevice(p.y, n->draw.dpi));
            m.h = int16_t(W32_FromDevice(p.x, n->draw.dpi));
            m.modifiers = uint8_t(MessageModifiers() | kUiModFromEvent);
            Ui_Dlg_Proc(n->ui, &m, nullptr);
            return TRUE;
        }
        case WM_MOUSEWHEEL: {
            // Forwarded by the control that had it; the item is the one under the pointer.
            if (n->ui->tracking) return TRUE;
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd, &p);
            HWND below = ChildWindowFromPointEx(hwnd, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
            const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
            int steps = -delta / WHEEL_DELTA;
            if (steps == 0 && delta != 0) steps = delta < 0 ? 1 : -1;  // a fine-grained wheel
            Ui_Msg m{};
            m.kind = kUiMsgWheel;
            m.item = ItemOfHwnd(n, below);
            m.v = int16_t(W32_FromDevice(p.y, n->draw.dpi));
            m.h = int16_t(W32_FromDevice(p.x, n->draw.dpi));
            m.steps = int16_t(steps);
            m.modifiers = uint8_t(MessageModifiers() | kUiModFromEvent);
            Ui_Dlg_Proc(n->ui, &m, nullptr);
            return TRUE;
        }
        case WM_DPICHANGED:
            // Moved to a monitor of another resolution (or the resolution changed): the same
            // layout at the new scale, where the system suggests.
            ChangeDpi(n, reinterpret_cast<const RECT*>(lParam));
            return Answer(hwnd, 0);
        case WM_CLOSE:
            // The close box of the frame is the cancel button, as with dialogs everywhere.
            Command(n, 2, kUiNotifyClicked);
            return TRUE;
        case WM_TIMER:
            TimerMessage(n, int32_t(wParam));
            return TRUE;
        case WM_SETCURSOR: {
            HWND below = reinterpret_cast<HWND>(wParam);
            int16_t item = ItemOfHwnd(n, below);
            // User items ask the framework themselves; edit fields keep their text cursor.
            if (LOWORD(lParam) != HTCLIENT || n->ui->tracking) return FALSE;
            if (item != 0 && (n->items[item - 1].kind == kUiItemUser ||
                              n->items[item - 1].kind == kUiItemEdit)) {
                return FALSE;
            }
            Ui_Msg m{};
            m.kind = kUiMsgSetCursor;
            Ui_Dlg_Proc(n->ui, &m, nullptr);
            ApplyCursor();
            return Answer(hwnd, TRUE);
        }
        default:
            return FALSE;
    }
}

// An empty dialog for a template that has no DIALOGEX in the module (a test's own archive):
// its controls are then made one by one from the layout.
struct EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};

int32_t CreateWindowOf(UiWindow* w, void* parentNative) {
    auto* n = static_cast<Window*>(Mem_Alloc(sizeof(Window)));
    if (n == nullptr) return kStatusNoMemory;
    Mem_Fill(n, 0, sizeof *n);
    n->ui = w;
    n->itemCount = w->layout->itemCount;
    const size_t itemBytes = size_t(n->itemCount > 0 ? n->itemCount : 1) * sizeof(Item);
    n->items = static_cast<Item*>(Mem_Alloc(uint32_t(itemBytes)));
    if (n->items == nullptr) {
        Mem_Free(n);
        return kStatusNoMemory;
    }
    Mem_Fill(n->items, 0, itemBytes);
    w->native = n;
    auto* parent = static_cast<Window*>(parentNative);
    n->owner = parent != nullptr ? parent->hwnd : OwnerOf(w->state);
    if (n->owner != nullptr) {
        HWND focus = GetFocus();
        if (focus != nullptr && (focus == n->owner || IsChild(n->owner, focus))) {
            n->ownerFocus = focus;
        }
    }
    HINSTANCE module = ThisModule();
    const bool hasResource =
        FindResourceA(module, MAKEINTRESOURCEA(w->dialogId), MAKEINTRESOURCEA(5)) != nullptr;
    HWND hwnd = nullptr;
    if (hasResource) {
        hwnd = CreateDialogParamA(module, MAKEINTRESOURCEA(w->dialogId), n->owner, DialogProc,
                                  reinterpret_cast<LPARAM>(n));
    } else {
        static EmptyTemplate empty{};
        empty.header.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        empty.header.cx = 100;
        empty.header.cy = 50;
        hwnd = CreateDialogIndirectParamA(module, &empty.header, n->owner, DialogProc,
                                          reinterpret_cast<LPARAM>(n));
        if (hwnd != nullptr) SetWindowTextA(hwnd, w->layout->title);
    }
    if (hwnd == nullptr) return kStatusError;
    // The framework draws over the user items: the dialog must not clip its children away.
    LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    if (style & WS_CLIPCHILDREN) SetWindowLongPtrA(hwnd, GWL_STYLE, style & ~WS_CLIPCHILDREN);
    n->draw.dpi =
        FittingDpi(hwnd, Ui_Rect_Width(&w->layout->client), Ui_Rect_Height(&w->layout->client));
    n->settingRect = 1;
    SIZE outer = OuterSize(hwnd, W32_ToDevice(Ui_Rect_Width(&w->layout->client), n->draw.dpi),
                           W32_ToDevice(Ui_Rect_Height(&w->layout->client), n->draw.dpi));
    SetWindowPos(hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    n->settingRect = 0;
    return SetUpControls(n);
}

void DestroyWindowOf(UiWindow* w) {
    Window* n = RecordOf(w);
    if (n == nullptr) return;
    if (n->hwnd != nullptr) {
        KillTimer(n->hwnd, UINT_PTR(kUiIdleTimer));
        if (GetCapture() != nullptr && RecordOfHwnd(GetCapture()) == n) ReleaseCapture();
        // The owner is enabled again before this window goes, so that the window system gives
        // the activation back to it rather than to some other program.
        if (n->owner != nullptr) EnableWindow(n->owner, TRUE);
        Register(n, false);
        DestroyWindow(n->hwnd);
        if (n->owner != nullptr && n->shown) {
            SetActiveWindow(n->owner);
            if (n->ownerFocus != nullptr && IsWindow(n->ownerFocus)) SetFocus(n->ownerFocus);
        }
    }
    FreeControls(n);
    if (n->background != nullptr) DeleteObject(n->background);
    Mem_Free(n->items);
    Mem_Free(n);
    w->native = nullptr;
}

int32_t RunModal(UiWindow* w) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    // Modal: the owner takes no input while the dialog is open.
    if (n->owner != nullptr) EnableWindow(n->owner, FALSE);
    ShowWindow(n->hwnd, SW_SHOW);
    SetForegroundWindow(n->hwnd);
    n->shown = 1;
    HWND focus = nullptr;
    if (n->pendingFocus > 0) {
        Item* it = ItemOf(w, n->pendingFocus);
        if (it != nullptr) focus = it->hwnd;
    }
    // Without a request the default button has the focus, so that keys reach the dialog.
    if (focus == nullptr && w->defaultItem > 0) {
        Item* it = ItemOf(w, w->defaultItem);
        if (it != nullptr && IsWindowVisible(it->hwnd) && IsWindowEnabled(it->hwnd)) {
            focus = it->hwnd;
        }
    }
    SetFocus(focus != nullptr ? focus : n->hwnd);
    UpdateWindow(n->hwnd);
    while (!w->ended && IsWindow(n->hwnd)) {
        if (!PumpOne(n, 250)) break;
    }
    return kStatusOk;
}

// The window's frame in the monitor's pixels: how far it reaches out of the client area on each
// side.
RECT FrameOf(HWND hwnd) {
    RECT outer, client;
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    return RECT{origin.x - outer.left, origin.y - outer.top,
                outer.right - (origin.x + client.right), outer.bottom - (origin.y + client.bottom)};
}

int32_t GetWindowRectOf(UiWindow* w, Ui_Rect* r) {
    Window* n = RecordOf(w);
    RECT wr, client;
    if (n == nullptr || !GetWindowRect(n->hwnd, &wr) || !GetClientRect(n->hwnd, &client)) {
        return kStatusError;
    }
    // The frame in framework pixels (rounded up) around the client area's framework size.
    const RECT frame = FrameOf(n->hwnd);
    const int32_t dpi = ScreenDpi();
    const int32_t left = W32_FromDevice(wr.left, dpi), top = W32_FromDevice(wr.top, dpi);
    const int32_t width = W32_FromDeviceUp(frame.left, dpi) + W32_FromDevice(client.right, dpi) +
                          W32_FromDeviceUp(frame.right, dpi);
    const int32_t height = W32_FromDeviceUp(frame.top, dpi) + W32_FromDevice(client.bottom, dpi) +
                           W32_FromDeviceUp(frame.bottom, dpi);
    *r = Ui_Rect_Make(top, left, top + height, left + width);
    return kStatusOk;
}

int32_t SetWindowRectOf(UiWindow* w, const Ui_Rect* r) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    // The inverse of GetWindowRectOf: the client area the rectangle leaves inside the frame, in
    // the monitor's pixels, and the frame around it.
    const RECT frame = FrameOf(n->hwnd);
    const int32_t dpi = ScreenDpi();
    const int32_t width =
        Ui_Rect_Width(r) - W32_FromDeviceUp(frame.left, dpi) - W32_FromDeviceUp(frame.right, dpi);
    const int32_t height =
        Ui_Rect_Height(r) - W32_FromDeviceUp(frame.top, dpi) - W32_FromDeviceUp(frame.bottom, dpi);
    const int32_t outerWidth = frame.left + W32_ToDevice(width, dpi) + frame.right;
    const int32_t outerHeight = frame.top + W32_ToDevice(height, dpi) + frame.bottom;
    n->settingRect = 1;  // the framework's own change: no size message
    BOOL done =
        SetWindowPos(n->hwnd, nullptr, W32_ToDevice(r->left, dpi), W32_ToDevice(r->top, dpi),
                     outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    n->settingRect = 0;
    return done ? kStatusOk : kStatusError;
}

int32_t SetSizeRange(UiWindow* w, int16_t minWidth, int16_t minHeight, int16_t maxWidth,
                     int16_t maxHeight) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    n->resizable = minWidth != maxWidth || minHeight != maxHeight;
    n->minWidth = minWidth;
    n->minHeight = minHeight;
    n->maxWidth = maxWidth;
    n->maxHeight = maxHeight;
    // A sizing frame is thicker than a dialog frame: the window grows with it so that the client
    // area keeps its size.
    RECT client;
    GetClientRect(n->hwnd, &client);
    LONG_PTR style = GetWindowLongPtrA(n->hwnd, GWL_STYLE);
    LONG_PTR wanted = n->resizable ? (style | WS_THICKFRAME) : (style & ~WS_THICKFRAME);
    if (wanted == style) return kStatusOk;
    SetWindowLongPtrA(n->hwnd, GWL_STYLE, wanted);
    SIZE outer = OuterSize(n->hwnd, client.right, client.bottom);
    n->settingRect = 1;
    SetWindowPos(n->hwnd, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    n->settingRect = 0;
    return kStatusOk;
}

int32_t GetClientRectOf(UiWindow* w, Ui_Rect* r) {
    Window* n = RecordOf(w);
    RECT client;
    if (n == nullptr || !GetClientRect(n->hwnd, &client)) return kStatusError;
    *r = Ui_Rect_Make(0, 0, W32_FromDevice(client.bottom, n->draw.dpi),
                      W32_FromDevice(client.right, n->draw.dpi));
    return kStatusOk;
}

int32_t SetWindowTextOf(UiWindow* w, const char* text) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    return SetWindowTextA(n->hwnd, text) ? kStatusOk : kStatusError;
}

uint8_t IsForeground(UiWindow* w) {
    Window* n = RecordOf(w);
    return n != nullptr && n->shown && GetForegroundWindow() == n->hwnd;
}

int32_t Invalidate(UiWindow* w, const Ui_Rect* r) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    if (r == nullptr) {
        InvalidateRect(n->hwnd, nullptr, TRUE);
    } else {
        RECT rc = W32_ToDeviceRect(*r, n->draw.dpi);
        InvalidateRect(n->hwnd, &rc, TRUE);
    }
    return kStatusOk;
}

int32_t ColorsChanged(UiWindow* w) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    RedrawWindow(n->hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return kStatusOk;
}

int32_t gClassRefs = 0;

int32_t RegisterUserItemClass(UiState*) {
    if (gClassRefs == 0) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        // CS_DBLCLKS: the second press of a double-click comes as WM_LBUTTONDBLCLK, which the
        // item's procedure hands on as a press marked as such.
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = UserItemProc;
        wc.hInstance = ThisModule();
        wc.lpszClassName = kUserItemClass;
        if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return kStatusError;
        }
        SetDpiAwareness(true);
    }
    ++gClassRefs;
    return kStatusOk;
}

int32_t UnregisterUserItemClass(UiState*) {
    if (gClassRefs == 0) return kStatusOk;
    if (--gClassRefs == 0) {
        UnregisterClassA(kUserItemClass, ThisModule());
        W32_Draw_FreeFonts();
        SetDpiAwareness(false);
    }
    return kStatusOk;
}

// Whether this process can show windows: an interactive window station (not a service's) on
// which a window can be made (under Wine: an X display to put it on).
uint8_t Interactive() {
    static int8_t known = -1;
    if (known >= 0) return uint8_t(known);
    known = 0;
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    if (station != nullptr &&
        GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
        !(flags.dwFlags & WSF_VISIBLE)) {
        return 0;
    }
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 ThisModule(), nullptr);
    if (probe != nullptr) {
        DestroyWindow(probe);
        known = 1;
    }
    return uint8_t(known);
}

}  // namespace

void FillWindowOps(UiBinding* b) {
    b->name = "win32";
    b->interactive = Interactive;
    b->registerClass = RegisterUserItemClass;
    b->unregisterClass = UnregisterUserItemClass;
    b->createWindow = CreateWindowOf;
    b->destroyWindow = DestroyWindowOf;
    b->runModal = RunModal;
    b->getWindowRect = GetWindowRectOf;
    b->setWindowRect = SetWindowRectOf;
    b->getClientRect = GetClientRectOf;
    b->setWindowText = SetWindowTextOf;
    b->isForeground = IsForeground;
    b->invalidate = Invalidate;
    b->colorsChanged = ColorsChanged;
    b->setSizeRange = SetSizeRange;
}

}  // namespace kolmara_w32

W32DrawState* W32_DrawStateOf(UiWindow* dialog) {
    kolmara_w32::Window* n = kolmara_w32::RecordOf(dialog);
    return n != nullptr && n->hwnd != nullptr ? &n->draw : nullptr;
}

const UiBinding* Ui_Win32_Binding() {
    static UiBinding binding{};
    if (binding.name == nullptr) {
        kolmara_w32::FillWindowOps(&binding);
        kolmara_w32::FillControlOps(&binding);
        kolmara_w32::FillInputOps(&binding);
        kolmara_w32::FillSystemOps(&binding);
        W32_Draw_Fill(&binding);
    }
    return &binding;
}

HWND Ui_Win32_WindowHandle(UiWindow* dialog) {
    kolmara_w32::Window* n = kolmara_w32::RecordOf(dialog);
    return n != nullptr ? n->hwnd : nullptr;
}

int32_t Ui_Fltk_Install() {
    const UiBinding* win32 = Ui_Win32_Binding();
    if (!win32->interactive()) {
        // No desktop (a service, or Wine without a display): the headless binding, with the
        // services that need no window taken from Windows, as on Linux without a display.
        static UiBinding headless = *Ui_Headless_Binding();
        headless.name = "headless-win32";
        headless.keyState = win32->keyState;
        headless.beep = win32->beep;
        headless.openUrl = win32->openUrl;
        Ui_Framework_Install(&headless);
        return kStatusError;
    }
    kolmara_w32::InstallMessageBox();
    return Ui_Framework_Install(win32);
}
