// The Win32 binding's controls: the items of a dialog as Windows controls, set up after the
// dialog manager made them from the DIALOGEX resource, and the item and list operations.
//
// What the framework needs differs from the resource's plain controls in a few ways, put right
// here rather than in the resource so that the resource stays what any resource editor shows:
// - check boxes are three-state boxes that never toggle themselves (the framework toggles an
//   automatic one in its record and has it shown), so that the mixed state can be shown and an
//   owner may refuse a change;
// - user items have no window frame: the framework's thin frame is drawn with the item;
// - static texts show '&' as it stands; icons are bitmaps that report clicks;
// - every control sits at the framework's pixel rectangle, in the framework's dialog font, both
//   converted to the monitor's resolution (and again when the window moves to another).
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui/win32/win32_window.h"

// After windows.h, which the window record brings.
#include <commctrl.h>

namespace kolmara_w32 {

namespace {

// A drop-down list's window reaches down over the list it opens; the field itself is as high as
// the font makes it.
constexpr int kListDropHeight = 160;

void Place(const Window* n, Item& it) {
    RECT r = W32_ToDeviceRect(it.rect, n->draw.dpi);
    if (it.kind == kUiItemCombo) r.bottom += W32_ToDevice(kListDropHeight, n->draw.dpi);
    SetWindowPos(it.hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// Repaints the dialog where an item is or was: the framework's drawing and transparent texts
// leave their old pixels there otherwise.
void Damage(Window* n, const Ui_Rect& r) {
    RECT rc = W32_ToDeviceRect(r, n->draw.dpi);
    InvalidateRect(n->hwnd, &rc, TRUE);
}

// The picture of an icon at the window's resolution: each of the monitor's pixels takes the
// picture's pixel it falls in, so that the icon's squares stay sharp.
HBITMAP IconBitmap(const Ui_Offscreen* image, int32_t dpi) {
    const int32_t width = W32_ToDevice(image->width, dpi);
    const int32_t height = W32_ToDevice(image->height, dpi);
    const BITMAPINFO info = W32_TopDownBitmapInfo(width, height, 24);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) return nullptr;
    // The rows of both are a top-down 24-bit DIB's (blue first, padded to four bytes).
    const int32_t rowBytes = (3 * width + 3) & ~3;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* from = image->pixels + size_t(image->rowBytes) * W32_FromDevice(y, dpi);
        uint8_t* to = static_cast<uint8_t*>(bits) + size_t(rowBytes) * y;
        for (int32_t x = 0; x < width; ++x)
            Mem_Copy(to + 3 * x, from + 3 * W32_FromDevice(x, dpi), 3);
    }
    return bitmap;
}

// The icon an icon item's text names by its number (0: none).
int32_t IconNumber(const char* text) {
    int32_t id = 0;
    for (const char* p = text; *p >= '0' && *p <= '9' && id < 100000; ++p) {
        id = id * 10 + (*p - '0');
    }
    return id;
}

void SetIcon(Window* n, Item& it, int32_t id) {
    it.iconId = id;
    HBITMAP bitmap = nullptr;
    Ui_Offscreen* image = nullptr;
    if (id > 0 && Ui_Bitmap_Load(n->ui->state, kResTypeIcon, id, &image) == kStatusOk) {
        bitmap = IconBitmap(image, n->draw.dpi);
        Ui_Offscreen_Free(&image);
    }
    SendMessageA(it.hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
    if (it.icon != nullptr) DeleteObject(it.icon);
    it.icon = bitmap;
}

// The class and styles of a control that the resource did not make.
HWND MakeControl(Window* n, int16_t number, const Ui_DlgItem& src) {
    DWORD style = WS_CHILD;
    if (!(src.flags & kUiFlagHidden)) style |= WS_VISIBLE;
    if (src.flags & kUiFlagDisabled) style |= WS_DISABLED;
    const char* cls = "Static";
    const char* text = src.text;
    switch (src.kind) {
        case kUiItemButton:
            cls = "Button";
            style |= WS_TABSTOP | ((src.flags & kUiFlagDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            break;
        case kUiItemCheck:
            cls = "Button";
            style |= WS_TABSTOP | BS_3STATE;
            break;
        case kUiItemCombo:
            cls = "ComboBox";
            style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
            text = "";
            break;
        case kUiItemEdit:
            cls = "Edit";
            style |= WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
            if (src.flags & kUiFlagMultiline) style |= ES_MULTILINE;
            if (src.flags & kUiFlagReadOnly) style |= ES_READONLY;
            break;
        case kUiItemUser:
            cls = kUserItemClass;
            text = "";
            break;
        case kUiItemIcon:
            text = "";
            break;
        default:
            if (src.flags & kUiFlagBorder) style |= WS_BORDER;
            style |= (src.flags & kUiFlagNoWrap)   ? SS_LEFTNOWORDWRAP
                     : (src.flags & kUiFlagCenter) ? SS_CENTER
                     : (src.flags & kUiFlagRight)  ? SS_RIGHT
                                                   : SS_LEFT;
            break;
    }
    return CreateWindowExA(0, cls, text, style, src.pixels.left, src.pixels.top,
                           Ui_Rect_Width(&src.pixels), Ui_Rect_Height(&src.pixels), n->hwnd,
                           reinterpret_cast<HMENU>(intptr_t(number)), ThisModule(), nullptr);
}

void SetStyle(HWND hwnd, LONG_PTR clear, LONG_PTR set) {
    LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE);
    LONG_PTR wanted = (style & ~clear) | set;
    if (wanted != style) SetWindowLongPtrA(hwnd, GWL_STYLE, wanted);
}

}  // namespace

int32_t SetUpControls(Window* n) {
    const Ui_DlgTemplate* t = n->ui->layout;
    for (int32_t i = 0; i < n->itemCount; ++i) {
        const Ui_DlgItem& src = t->items[i];
        Item& it = n->items[i];
        const auto number = int16_t(i + 1);
        it.kind = src.kind;
        it.flags = src.flags;
        it.rect = src.pixels;
        it.hwnd = GetDlgItem(n->hwnd, number);
        if (it.hwnd == nullptr) it.hwnd = MakeControl(n, number, src);
        if (it.hwnd == nullptr) return kStatusError;
        switch (src.kind) {
            case kUiItemCheck:
                SetStyle(it.hwnd, BS_TYPEMASK, BS_3STATE);
                break;
            case kUiItemUser:
                SetStyle(it.hwnd, WS_BORDER, 0);
                break;
            case kUiItemStatic:
                SetStyle(it.hwnd, 0, SS_NOPREFIX);
                break;
            case kUiItemIcon:
                SetStyle(it.hwnd, SS_TYPEMASK, SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY);
                it.iconId = IconNumber(src.text);
                break;
            default:
                break;
        }
        // A resource script's controls are visible unless it says NOT WS_VISIBLE: the
        // template's word holds.
        if ((src.flags & kUiFlagHidden) && (GetWindowLongPtrA(it.hwnd, GWL_STYLE) & WS_VISIBLE)) {
            ShowWindow(it.hwnd, SW_HIDE);
        }
    }
    PlaceControls(n);
    return kStatusOk;
}

void PlaceControls(Window* n) {
    HFONT font = W32_FontOf(n->ui, kUiFontDialog);
    for (int32_t i = 0; i < n->itemCount; ++i) {
        Item& it = n->items[i];
        if (it.kind == kUiItemIcon) {
            SetIcon(n, it, it.iconId);
        } else if (font != nullptr && it.kind != kUiItemUser) {
            SendMessageA(it.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
        Place(n, it);
    }
}

void FreeControls(Window* n) {
    for (int32_t i = 0; i < n->itemCount; ++i) {
        if (n->items[i].icon != nullptr) DeleteObject(n->items[i].icon);
        n->items[i].icon = nullptr;
    }
}

INT_PTR ControlColor(Window* n, UINT, HDC dc, HWND control) {
    const int16_t item = ItemOfHwnd(n, control);
    // Edit fields (a read-only one asks as a static) keep the system's field colours.
    if (item == 0 || n->items[item - 1].kind == kUiItemEdit) return FALSE;
    Ui_RGB bg = kUiDefaultBackground;
    uint8_t custom = 0;
    Ui_Dlg_Colors(n->ui, &bg, &custom);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    if (custom) {
        // Over a colour of the owner's, texts and boxes show it through.
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(bg.r, bg.g, bg.b));
    return reinterpret_cast<INT_PTR>(Background(n));
}

namespace {

int32_t ItemSetText(UiWindow* w, int16_t item, const char* text) {
    Item* it = ItemOf(w, item);
    Window* n = RecordOf(w);
    if (it == nullptr) return kStatusError;
    switch (it->kind) {
        case kUiItemEdit: {
            // Set from code: no change notification, and never more than the field's limit.
            char cut[1024];
            if (it->maxLength > 0 && Str_Length(text) > size_t(it->maxLength) &&
                size_t(it->maxLength) < sizeof cut) {
                Str_CopyBounded(cut, size_t(it->maxLength) + 1, text);
                text = cut;
            }
            n->settingText = 1;
            SetWindowTextA(it->hwnd, text);
            n->settingText = 0;
            break;
        }
        case kUiItemIcon:
            SetIcon(n, *it, IconNumber(text));
            break;
        case kUiItemButton:
        case kUiItemCheck:
        case kUiItemStatic:
            SetWindowTextA(it->hwnd, text);
            if (it->kind == kUiItemStatic) Damage(n, it->rect);
            break;
        default:
            break;
    }
    return kStatusOk;
}

// The text typed into an edit field.
int32_t ItemGetText(UiWindow* w, int16_t item, char* text, int32_t capacity) {
    Item* it = ItemOf(w, item);
    if (it == nullptr || it->kind != kUiItemEdit || capacity < 1) return kStatusError;
    text[0] = 0;
    GetWindowTextA(it->hwnd, text, capacity);
    return kStatusOk;
}

int32_t ItemSetCheck(UiWindow* w, int16_t item, int32_t state) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    WPARAM shown = state == 2 ? BST_INDETERMINATE : (state != 0 ? BST_CHECKED : BST_UNCHECKED);
    SendMessageA(it->hwnd, BM_SETCHECK, shown, 0);
    return kStatusOk;
}

int32_t ItemEnable(UiWindow* w, int16_t item, uint8_t on) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    // A disabled control takes no keys: the dialog has the focus it had.
    if (!on && GetFocus() == it->hwnd) SetFocus(RecordOf(w)->hwnd);
    EnableWindow(it->hwnd, on ? TRUE : FALSE);
    return kStatusOk;
}

// One tooltip window per dialog, which watches each control it has a text for (TTF_SUBCLASS).
// Owned by the dialog, it goes with it.
int32_t ItemSetTip(UiWindow* w, int16_t item, const char* text) {
    Item* it = ItemOf(w, item);
    Window* n = RecordOf(w);
    if (it == nullptr || n == nullptr || n->hwnd == nullptr) return kStatusError;
    if (n->tips == nullptr) {
        INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
        n->tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                  WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, n->hwnd, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        if (n->tips == nullptr) return kStatusError;
        SendMessageA(n->tips, TTM_SETMAXTIPWIDTH, 0, W32_ToDevice(320, n->draw.dpi));
    }
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = n->hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(it->hwnd);
    SendMessageA(n->tips, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = const_cast<char*>(text);
    return SendMessageA(n->tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) ? kStatusOk
                                                                                   : kStatusError;
}

int32_t ItemShow(UiWindow* w, int16_t item, uint8_t on) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (!on && GetFocus() == it->hwnd) SetFocus(RecordOf(w)->hwnd);
    ShowWindow(it->hwnd, on ? SW_SHOWNA : SW_HIDE);
    Damage(RecordOf(w), it->rect);
    return kStatusOk;
}

int32_t ItemGetRect(UiWindow* w, int16_t item, Ui_Rect* r) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    *r = it->rect;
    return kStatusOk;
}

int32_t ItemMove(UiWindow* w, int16_t item, const Ui_Rect* r) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    Damage(RecordOf(w), it->rect);
    it->rect = *r;
    Place(RecordOf(w), *it);
    Damage(RecordOf(w), it->rect);
    return kStatusOk;
}

int32_t ItemSetDefault(UiWindow* w, int16_t item) {
    Window* n = RecordOf(w);
    if (ItemOf(w, item) == nullptr) return kStatusError;
    for (int32_t i = 0; i < n->itemCount; ++i) {
        if (n->items[i].kind != kUiItemButton) continue;
        WPARAM style = i + 1 == item ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        SendMessageA(n->items[i].hwnd, BM_SETSTYLE, style, TRUE);
    }
    SendMessageA(n->hwnd, DM_SETDEFID, WPARAM(item), 0);
    return kStatusOk;
}

int16_t FocusItem(UiWindow* w) {
    Window* n = RecordOf(w);
    return n != nullptr ? ItemOfHwnd(n, GetFocus()) : 0;
}

int32_t ItemSetFocus(UiWindow* w, int16_t item) {
    Window* n = RecordOf(w);
    if (n == nullptr) return kStatusError;
    if (item < 0) {
        if (n->shown) SetFocus(n->hwnd);
        return kStatusOk;
    }
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (!n->shown) {
        n->pendingFocus = item;  // the modal loop gives it once the window is on the screen
        return kStatusOk;
    }
    SetFocus(it->hwnd);
    return kStatusOk;
}

int32_t ItemSelectText(UiWindow* w, int16_t item, int32_t first, int32_t last) {
    Item* it = ItemOf(w, item);
    if (it == nullptr || it->kind != kUiItemEdit) return kStatusError;
    const int32_t size = GetWindowTextLengthA(it->hwnd);
    if (last < 0 || last > size) last = size;
    if (first < 0) first = 0;
    if (first > last) first = last;
    SendMessageA(it->hwnd, EM_SETSEL, WPARAM(first), LPARAM(last));
    return kStatusOk;
}

// Controls are made without visual styles (the module has no manifest asking for them): they
// are plain already.
int32_t ItemPlainStyle(UiWindow* w, int16_t item) {
    return ItemOf(w, item) != nullptr ? kStatusOk : kStatusError;
}

int32_t ItemSetMaxLength(UiWindow* w, int16_t item, int32_t count) {
    Item* it = ItemOf(w, item);
    if (it == nullptr || it->kind != kUiItemEdit || count < 0) return kStatusError;
    it->maxLength = count;
    // 0 lifts the limit to the control's largest.
    SendMessageA(it->hwnd, EM_LIMITTEXT, WPARAM(count), 0);
    // The limit stops typing only; a longer text already there is cut to it.
    if (count > 0 && GetWindowTextLengthA(it->hwnd) > count) {
        char text[1024];
        GetWindowTextA(it->hwnd, text, sizeof text);
        if (size_t(count) < sizeof text) text[count] = 0;
        Window* n = RecordOf(w);
        n->settingText = 1;
        SetWindowTextA(it->hwnd, text);
        n->settingText = 0;
    }
    return kStatusOk;
}

HWND ListOf(UiWindow* w, int16_t item) {
    Item* it = ItemOf(w, item);
    return it != nullptr && it->kind == kUiItemCombo ? it->hwnd : nullptr;
}

int32_t ListClear(UiWindow* w, int16_t item) {
    HWND list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    return kStatusOk;
}

int32_t ListAdd(UiWindow* w, int16_t item, const char* text) {
    HWND list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    LRESULT index = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    return index >= 0 ? kStatusOk : kStatusError;
}

int32_t ListGetSelection(UiWindow* w, int16_t item, int32_t* index) {
    HWND list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    LRESULT chosen = SendMessageA(list, CB_GETCURSEL, 0, 0);
    *index = chosen >= 0 ? int32_t(chosen) : -1;
    return kStatusOk;
}

int32_t ListSetSelection(UiWindow* w, int16_t item, int32_t index) {
    HWND list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    // Chosen from code: the list sends no selection change.
    SendMessageA(list, CB_SETCURSEL, WPARAM(index), 0);
    return kStatusOk;
}

}  // namespace

void FillControlOps(UiBinding* b) {
    b->itemSetText = ItemSetText;
    b->itemGetText = ItemGetText;
    b->itemSetCheck = ItemSetCheck;
    b->itemEnable = ItemEnable;
    b->itemShow = ItemShow;
    b->itemGetRect = ItemGetRect;
    b->itemMove = ItemMove;
    b->itemSetDefault = ItemSetDefault;
    b->itemSetFocus = ItemSetFocus;
    b->focusItem = FocusItem;
    b->itemSelectText = ItemSelectText;
    b->itemPlainStyle = ItemPlainStyle;
    b->listClear = ListClear;
    b->listAdd = ListAdd;
    b->listGetSelection = ListGetSelection;
    b->listSetSelection = ListSetSelection;
    b->itemSetMaxLength = ItemSetMaxLength;
    b->itemSetTip = ItemSetTip;
}

}  // namespace kolmara_w32
