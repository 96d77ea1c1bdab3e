// The Win32 binding's input: the message pump with the framework's key routing, the UiUserItem
// window procedure, presses tracked under SetCapture, timers, the key state and the cursors.
//
// Keys are taken from the queue before the dialog manager sees them: a key goes to the framework
// when a user item or the dialog itself has the focus, and Return and Escape go to it from any
// control (an open drop-down list keeps them, a multi-line field keeps Return); other keys belong
// to the control that has the focus (typing, Tab between controls, Space on a button). Modifier
// keys go to the framework always, so that its modifier proc follows them.
#include "platform/mem.h"
#include "platform/ui/cursor.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/draw.h"
#include "platform/ui/tab_order.h"
#include "platform/ui/rect.h"
#include "platform/ui/win32/win32_window.h"
#include "platform/ui_state.h"

namespace kolmara_w32 {

namespace {

HCURSOR gCursor = nullptr;  // the cursor the framework chose last; null: the arrow

bool Held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

uint8_t MouseModifiers(WPARAM wParam) {
    return uint8_t(((wParam & MK_CONTROL) ? kUiModCtrl : 0) |
                   ((wParam & MK_SHIFT) ? kUiModShift : 0) | (Held(VK_MENU) ? kUiModAlt : 0) |
                   kUiModFromEvent);
}

void Queue(Window* n, int16_t v, int16_t h, uint8_t released, uint8_t modifiers) {
    if (n->queueCount >= kTrackQueue) return;
    TrackEvent& e = n->queue[(n->queueHead + n->queueCount++) % kTrackQueue];
    e.v = v;
    e.h = h;
    e.released = released;
    e.modifiers = modifiers;
    n->lastV = v;
    n->lastH = h;
}

// A mouse position of a control's message in the dialog's client coordinates, in framework
// pixels (negative outside, while the mouse is captured).
POINT InDialog(Window* n, HWND control, LPARAM lParam) {
    POINT p{int16_t(LOWORD(lParam)), int16_t(HIWORD(lParam))};
    MapWindowPoints(control, n->hwnd, &p, 1);
    return POINT{W32_FromDevice(p.x, n->draw.dpi), W32_FromDevice(p.y, n->draw.dpi)};
}

// The thin frame of a user item with a border, in the framework's frame colour: drawn before the
// item's draw proc, which owns everything inside the item, its edge included.
void DrawFrame(Window* n, const Item& it) {
    HDC dc = GetDC(n->hwnd);
    if (dc == nullptr) return;
    HBRUSH brush = CreateSolidBrush(RGB(kUiBorderRGB.r, kUiBorderRGB.g, kUiBorderRGB.b));
    // One framework pixel wide: its edges are the item's rectangle and the one a pixel inside.
    const Ui_Rect& o = it.rect;
    const int32_t dpi = n->draw.dpi;
    const Ui_Rect inside = Ui_Rect_Make(o.top + 1, o.left + 1, o.bottom - 1, o.right - 1);
    const RECT out = W32_ToDeviceRect(o, dpi), in = W32_ToDeviceRect(inside, dpi);
    const RECT sides[4] = {{out.left, out.top, out.right, in.top},
                           {out.left, in.bottom, out.right, out.bottom},
                           {out.left, in.top, in.left, in.bottom},
                           {in.right, in.top, out.right, in.bottom}};
    if (brush != nullptr) {
        for (const RECT& side : sides) FillRect(dc, &side, brush);
        DeleteObject(brush);
    }
    ReleaseDC(n->hwnd, dc);
}

// Whether the item's control is shown and enabled, for Tab.
UiTabShown Shown(UiWindow* w, int16_t item) {
    Window* n = RecordOf(w);
    if (n == nullptr || item < 1 || item > n->itemCount) return kUiTabHidden;
    HWND control = n->items[item - 1].hwnd;
    if (control == nullptr || !IsWindowVisible(control)) return kUiTabHidden;
    return IsWindowEnabled(control) ? kUiTabEnabled : kUiTabShownOnly;
}

}  // namespace

uint8_t MessageModifiers() {
    return uint8_t((Held(VK_CONTROL) ? kUiModCtrl : 0) | (Held(VK_MENU) ? kUiModAlt : 0) |
                   (Held(VK_SHIFT) ? kUiModShift : 0));
}

void Command(Window* n, int16_t item, uint16_t notification) {
    Ui_Msg m{};
    m.kind = kUiMsgCommand;
    m.item = item;
    m.notification = notification;
    m.modifiers = uint8_t(MessageModifiers() | kUiModFromEvent);
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

bool KeyMessage(Window* n, const MSG* msg) {
    const bool up = msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP;
    const auto key = uint32_t(msg->wParam & 0xFF);
    const uint8_t modifiers = MessageModifiers();
    const bool modifier = Ui_ModifierOfKey(key) != 0;
    if (n->ui->tracking) {
        // The press being tracked takes only mouse events; a modifier's change comes to it as a
        // drag where the mouse is, so that holding Alt shows at once.
        if (modifier) Queue(n, n->lastV, n->lastH, 0, uint8_t(modifiers | kUiModFromEvent));
        return true;
    }
    HWND focus = GetFocus();
    const int16_t item = ItemOfHwnd(n, focus);
    const uint8_t kind = item != 0 ? n->items[item - 1].kind : 0;
    // Shift+F10 and the menu key are the system's: it asks the dialog for a context menu.
    if ((key == VK_F10 && (modifiers & kUiModShift)) || key == VK_APPS) return false;
    if (key == VK_TAB && !up && !(modifiers & (kUiModCtrl | kUiModAlt))) {
        // Tab moves in reading order (tab_order.h), not in the order the controls were made as
        // the dialog manager would; from a user item too. Its release goes where any key's does.
        const int16_t next = Ui_Tab_Next(n->ui, Shown, item, (modifiers & kUiModShift) != 0);
        // The dialog manager's own step: it moves the default button's frame along.
        if (next != 0) SendMessageA(n->hwnd, WM_NEXTDLGCTL, WPARAM(n->items[next - 1].hwnd), TRUE);
        return true;
    }
    if (kind == kUiItemUser) {
        Ui_Dlg_RouteKey(n->ui, item, key, modifiers, up);
        return true;
    }
    if (item == 0) {
        // The dialog itself (or nothing of it) has the focus: every key is the dialog's.
        Ui_Dlg_RouteKey(n->ui, 0, key, modifiers, up);
        return true;
    }
    // A control has the focus.
    bool framework = modifier || key == kUiKeyReturn || key == kUiKeyEscape;
    if (kind == kUiItemCombo && SendMessageA(focus, CB_GETDROPPEDSTATE, 0, 0)) {
        framework = modifier;  // the open list takes Return and Escape to close
    }
    if (kind == kUiItemEdit && key == kUiKeyReturn &&
        (n->items[item - 1].flags & kUiFlagMultiline)) {
        framework = modifier;
    }
    // Ctrl+Tab is the dialog's (the editing window's next tab), not the control's.
    if (key == VK_TAB && (modifiers & kUiModCtrl)) framework = true;
    // With Alt held, keys are the dialog's (the controls have no mnemonics); Alt+F4 still closes.
    if ((modifiers & kUiModAlt) && key != VK_F4) framework = true;
    // Tab, Space and typing stay with the control; any other key on a button or check box is
    // the dialog's.
    if ((kind == kUiItemButton || kind == kUiItemCheck || kind == kUiItemIcon ||
         kind == kUiItemStatic) &&
        key != VK_TAB && key != VK_SPACE) {
        framework = true;
    }
    if (!framework) return false;
    Ui_Dlg_RouteKey(n->ui, 0, key, modifiers, up);
    // A modifier also reaches the control (selection with Shift in a field); Return and Escape,
    // and keys the dialog took, do not.
    return !modifier || kind == kUiItemButton || kind == kUiItemCheck;
}

bool PumpOne(Window* n, DWORD millis) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, millis, QS_ALLINPUT);
        return true;
    }
    if (msg.message == WM_QUIT) {
        PostQuitMessage(int(msg.wParam));  // for the loop that owns the thread
        return false;
    }
    const bool key = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP ||
                     msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP;
    if (key && n->hwnd != nullptr && (msg.hwnd == n->hwnd || IsChild(n->hwnd, msg.hwnd)) &&
        KeyMessage(n, &msg)) {
        return true;
    }
    if (n->hwnd == nullptr || !IsDialogMessageA(n->hwnd, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

LRESULT CALLBACK UserItemProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* n = RecordOfHwnd(hwnd);
    const int16_t item = ItemOfHwnd(n, hwnd);
    if (item == 0) {
        if (message == WM_PAINT) ValidateRect(hwnd, nullptr);
        if (message == WM_ERASEBKGND) return 1;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    Ui_Msg m{};
    int32_t result = 0;
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the framework draws the whole item
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            const Item& it = n->items[item - 1];
            if (it.flags & kUiFlagBorder) DrawFrame(n, it);
            // The item's draw proc draws on the dialog, cut to the item as on the other
            // bindings.
            const uint8_t clipWas = n->draw.paintClipOn;
            const Ui_Rect clip = n->draw.paintClip;
            n->draw.paintClipOn = 1;
            n->draw.paintClip = it.rect;
            m.kind = kUiMsgPaint;
            Ui_UserItem_Proc(n->ui, item, &m, nullptr);
            // The record outlives the proc: windows go only after the modal loop has returned.
            n->draw.paintClipOn = clipWas;
            n->draw.paintClip = clip;
            return 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            // Drawn again to show the focus (Tab stops here when the owner asked).
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETDLGCODE:
            m.kind = kUiMsgGetDlgCode;
            Ui_UserItem_Proc(n->ui, item, &m, &result);
            return result == kUiDlgCodeAllKeys ? DLGC_WANTALLKEYS : 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT) break;
            if (!n->ui->tracking) {
                m.kind = kUiMsgSetCursor;
                Ui_UserItem_Proc(n->ui, item, &m, nullptr);
            }
            ApplyCursor();
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            if (n->ui->tracking) return 0;
            // A press on an item Tab stops at gives it the focus, as a slider has it.
            if (n->ui->layout->items[item - 1].flags & kUiFlagTabStop) SetFocus(hwnd);
            POINT p = InDialog(n, hwnd, lParam);
            m.kind = kUiMsgLButtonDown;
            m.v = int16_t(p.y);
            m.h = int16_t(p.x);
            m.clicks = message == WM_LBUTTONDBLCLK ? 2 : 1;
            m.modifiers = MouseModifiers(wParam);
            n->lastV = m.v;
            n->lastH = m.h;
            Ui_UserItem_Proc(n->ui, item, &m, nullptr);
            return 0;
        }
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
            // Mouse events of a press the framework is tracking; the track loop takes them.
            if (n->ui->tracking && n->captureItem == item) {
                POINT p = InDialog(n, hwnd, lParam);
                Queue(n, int16_t(p.y), int16_t(p.x), message == WM_LBUTTONUP,
                      MouseModifiers(wParam));
            }
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_SYSCHAR:
            return 0;  // the modal loop has routed the key already
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

void TimerMessage(Window* n, int32_t id) {
    // No timer messages while a press is tracked: the timer fires again later.
    if (n->ui->ended || n->ui->tracking) return;
    Ui_Msg m{};
    m.kind = kUiMsgTimer;
    m.timerId = id;
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

void ApplyCursor() {
    SetCursor(gCursor != nullptr ? gCursor : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));
}

namespace {

// The standard cursors by their numbers (IDC_ARROW and so on name them as wide or narrow
// strings depending on UNICODE).
HCURSOR Standard(uint32_t kind) {
    int id = 0;
    switch (kind) {
        case kUiCursorArrow:
            id = 32512;  // IDC_ARROW
            break;
        case kUiCursorWait:
            id = 32514;  // IDC_WAIT
            break;
        case kUiCursorCross:
            id = 32515;  // IDC_CROSS
            break;
        case kUiCursorHand:
            id = 32649;  // IDC_HAND
            break;
        case kUiCursorMove:
            id = 32646;  // IDC_SIZEALL
            break;
        default:
            return nullptr;
    }
    return LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
}

void KeyState(uint8_t* ctrl, uint8_t* alt, uint8_t* shift) {
    // The high bit is set while the key is down now; the low bit (pressed since the last call)
    // is not a state and is ignored.
    *ctrl = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    *alt = (GetAsyncKeyState(VK_MENU) & 0x8000) != 0;
    *shift = (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
}

int32_t CursorPos(UiWindow* w, int16_t* v, int16_t* h) {
    Window* n = RecordOf(w);
    POINT p;
    if (n == nullptr || !GetCursorPos(&p) || !ScreenToClient(n->hwnd, &p)) return kStatusError;
    *v = int16_t(W32_FromDevice(p.y, n->draw.dpi));
    *h = int16_t(W32_FromDevice(p.x, n->draw.dpi));
    return kStatusOk;
}

int32_t Capture(UiWindow* w, int16_t item, uint8_t on) {
    Window* n = RecordOf(w);
    Item* it = ItemOf(w, item);
    if (n == nullptr || it == nullptr) return kStatusError;
    n->queueHead = n->queueCount = 0;
    if (on) {
        n->captureItem = item;
        SetCapture(it->hwnd);
    } else {
        n->captureItem = 0;
        if (GetCapture() == it->hwnd) ReleaseCapture();
    }
    return kStatusOk;
}

int32_t TrackNext(UiWindow* w, int16_t item, int16_t* v, int16_t* h, uint8_t* released,
                  uint8_t* modifiers) {
    for (;;) {
        Window* n = RecordOf(w);
        Item* it = ItemOf(w, item);
        if (n == nullptr || it == nullptr || w->ended || !IsWindow(n->hwnd)) return kStatusError;
        if (n->queueCount > 0) {
            TrackEvent e = n->queue[n->queueHead];
            n->queueHead = (n->queueHead + 1) % kTrackQueue;
            --n->queueCount;
            *v = e.v;
            *h = e.h;
            *released = e.released;
            *modifiers = e.modifiers;
            return kStatusOk;
        }
        *modifiers = 0;  // none from an event: the framework keeps the keys it has
        // The release comes to the captured item; if something took the capture away (a window
        // opened from a proc), none will come and the press ends where the mouse is.
        if (GetCapture() != it->hwnd) {
            CursorPos(w, v, h);
            *released = 1;
            return kStatusOk;
        }
        if (!PumpOne(n, 100)) return kStatusError;
    }
}

uint32_t TickCount() {
    return GetTickCount();
}

int32_t SetTimerOf(UiWindow* w, int32_t id, int32_t millis) {
    Window* n = RecordOf(w);
    if (n == nullptr || millis < 0) return kStatusError;
    return SetTimer(n->hwnd, UINT_PTR(id), UINT(millis), nullptr) != 0 ? kStatusOk : kStatusError;
}

int32_t KillTimerOf(UiWindow* w, int32_t id) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    KillTimer(n->hwnd, UINT_PTR(id));
    return kStatusOk;
}

// A cursor from a picture in which pure magenta is clear: a 32-bit colour bitmap with its alpha,
// and the mask the window system wants beside it (set where the picture is clear).
int32_t CursorLoad(const Ui_Offscreen* image, int16_t hotV, int16_t hotH, void** cursor) {
    if (image == nullptr || cursor == nullptr || !(1 <= image->width && image->width <= 256) ||
        !(1 <= image->height && image->height <= 256)) {
        return kStatusProblem;
    }
    const int32_t width = image->width, height = image->height;
    const int32_t maskRow = (width + 15) / 16 * 2;  // monochrome rows are whole 16-bit words
    auto* mask = static_cast<uint8_t*>(Mem_Alloc(uint32_t(maskRow * height)));
    if (mask == nullptr) return kStatusNoMemory;
    Mem_Fill(mask, 0, size_t(maskRow) * size_t(height));
    const BITMAPINFO info = W32_TopDownBitmapInfo(width, height, 32);
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int32_t status = kStatusError;
    if (color != nullptr) {
        auto* out = static_cast<uint8_t*>(bits);
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* src = image->pixels + size_t(image->rowBytes) * size_t(y);
            uint8_t* dst = out + size_t(y) * size_t(width) * 4;
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
                const bool clear = r == 255 && g == 0 && b == 255;
                dst[4 * x] = clear ? 0 : b;
                dst[4 * x + 1] = clear ? 0 : g;
                dst[4 * x + 2] = clear ? 0 : r;
                dst[4 * x + 3] = clear ? 0 : 255;
                if (clear) mask[y * maskRow + x / 8] |= uint8_t(0x80 >> (x % 8));
            }
        }
        HBITMAP monochrome = CreateBitmap(width, height, 1, 1, mask);
        if (monochrome != nullptr) {
            ICONINFO icon{};
            icon.fIcon = FALSE;
            icon.xHotspot = DWORD(hotH < 0 ? 0 : hotH);
            icon.yHotspot = DWORD(hotV < 0 ? 0 : hotV);
            icon.hbmMask = monochrome;
            icon.hbmColor = color;
            HICON made = CreateIconIndirect(&icon);  // copies both bitmaps
            if (made != nullptr) {
                *cursor = made;
                status = kStatusOk;
            }
            DeleteObject(monochrome);
        }
        DeleteObject(color);
    }
    Mem_Free(mask);
    return status;
}

void CursorFree(void* cursor) {
    if (cursor == nullptr) return;
    auto made = static_cast<HCURSOR>(cursor);
    if (gCursor == made) {
        gCursor = nullptr;
        ApplyCursor();
    }
    DestroyCursor(made);
}

int32_t CursorShow(UiState* state, uint32_t kind, void* cursor) {
    HCURSOR chosen = Standard(kind);
    if (chosen == nullptr) chosen = static_cast<HCURSOR>(cursor);
    gCursor = chosen;
    // Shown at once over a dialog of ours; otherwise it waits for one (the window system asks
    // for the cursor whenever the mouse moves over a window).
    if (state != nullptr && Ui_Dlg_IsOpen(state, state->parentWindow)) ApplyCursor();
    return kStatusOk;
}

}  // namespace

void FillInputOps(UiBinding* b) {
    b->keyState = KeyState;
    b->cursorPos = CursorPos;
    b->capture = Capture;
    b->trackNext = TrackNext;
    b->tickCount = TickCount;
    b->setTimer = SetTimerOf;
    b->killTimer = KillTimerOf;
    b->cursorLoad = CursorLoad;
    b->cursorFree = CursorFree;
    b->cursorShow = CursorShow;
}

}  // namespace kolmara_w32
