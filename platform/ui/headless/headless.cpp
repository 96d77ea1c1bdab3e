// The headless binding; see headless.h.
#include "platform/ui/headless/headless.h"

#include <cstdio>
#include <cstdlib>

#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"
#include "platform/ui/headless/canvas.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"

namespace {

constexpr int32_t kScreenWidth = 1280, kScreenHeight = 1024;
constexpr int32_t kTaskBarHeight = 40;
constexpr uint32_t kClockStart = 1000000;

// The script and what the person at the keyboard is doing.
struct Script {
    const UiScriptEvent* events = nullptr;
    int32_t count = 0;
    int32_t next = 0;
    int32_t refused = 0;
    uint32_t clock = kClockStart;
    uint8_t ctrl = 0, alt = 0, shift = 0;
    int16_t mouseV = 0, mouseH = 0;
};
Script gScript;

// The screen less a task bar along its bottom edge; tests may replace it or take it away.
Ui_Rect DefaultWorkArea() {
    return Ui_Rect_Make(0, 0, kScreenHeight - kTaskBarHeight, kScreenWidth);
}
Ui_Rect gWorkArea = DefaultWorkArea();
bool gWorkAreaKnown = true;

UiHeadlessWindow* gLastClosed = nullptr;
char gLastUrl[kPathSize] = "";
UiHeadlessChooser gLastChooser{};
int32_t gBeeps = 0, gCursorLoads = 0, gChooserCalls = 0;
uint32_t gCursorKind = 0;

bool Scripted() {
    return gScript.events != nullptr;
}

UiHeadlessWindow* Hw(UiWindow* w) {
    return w != nullptr ? static_cast<UiHeadlessWindow*>(w->native) : nullptr;
}

UiHeadlessItem* ItemOf(UiWindow* w, int16_t item) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || !(1 <= item && item <= hw->itemCount)) return nullptr;
    return &hw->items[item - 1];
}

// A window's pixels stand for what the window system keeps for a real window: it is not the
// module's memory, and counting it would make every windowed run look over the budget the prepare
// phase tells the host. So the canvas comes from the C heap, not from Mem_Alloc.
uint8_t* CanvasAlloc(uint32_t bytes) {
    return static_cast<uint8_t*>(std::calloc(bytes > 0 ? bytes : 1, 1));
}

void FreeWindow(UiHeadlessWindow* hw) {
    if (hw == nullptr) return;
    for (int32_t i = 0; i < hw->itemCount; ++i) Mem_Free(hw->items[i].list);
    Mem_Free(hw->items);
    Mem_Free(hw->texts);
    std::free(hw->rgb);
    Mem_Free(hw);
}

// The copy of a closed window that tests read. It stands in for what a toolkit keeps of its own
// windows, so it is made with the C allocator and not counted as the module's memory: a dialog's
// blocks all go back when it closes, and a host call that ran one holds nothing afterwards.
void FreeClosed(UiHeadlessWindow* kept) {
    if (kept == nullptr) return;
    for (int32_t i = 0; i < kept->itemCount; ++i) std::free(kept->items[i].list);
    std::free(kept->items);
    std::free(kept->texts);
    std::free(kept->rgb);
    std::free(kept);
}

void* CopyOut(const void* from, size_t bytes) {
    void* to = std::calloc(bytes > 0 ? bytes : 1, 1);
    if (to != nullptr && from != nullptr) Mem_Copy(to, from, bytes);
    return to;
}

// A deep copy of hw, or null when memory is short (the last closed window then reads as none).
UiHeadlessWindow* KeepClosed(const UiHeadlessWindow* hw) {
    auto* kept = static_cast<UiHeadlessWindow*>(std::calloc(1, sizeof(UiHeadlessWindow)));
    if (kept == nullptr) return nullptr;
    *kept = *hw;
    kept->itemCount = 0;
    kept->rgb = static_cast<uint8_t*>(CopyOut(hw->rgb, size_t(hw->width) * size_t(hw->height) * 3));
    kept->texts = static_cast<UiHeadlessText*>(
        CopyOut(hw->texts, size_t(hw->textCapacity) * sizeof(UiHeadlessText)));
    kept->items = static_cast<UiHeadlessItem*>(
        std::calloc(size_t(hw->itemCount > 0 ? hw->itemCount : 1), sizeof(UiHeadlessItem)));
    bool ok = kept->rgb != nullptr && kept->texts != nullptr && kept->items != nullptr;
    for (int32_t i = 0; ok && i < hw->itemCount; ++i) {
        kept->items[i] = hw->items[i];
        kept->items[i].list = nullptr;
        kept->itemCount = i + 1;
        if (hw->items[i].list != nullptr) {
            kept->items[i].list = static_cast<char(*)[kUiHeadlessText]>(
                CopyOut(hw->items[i].list, size_t(hw->items[i].listCapacity) * kUiHeadlessText));
            ok = kept->items[i].list != nullptr;
        }
    }
    if (!ok) {
        FreeClosed(kept);
        return nullptr;
    }
    return kept;
}

void Refuse(const char* why) {
    ++gScript.refused;
    char line[96];
    Ui_FormatStringN(line, sizeof line, "Ui_Headless: event %d refused: %s", gScript.next, why);
    Ui_Debug_Log(1, line);
}

void Invalidate(UiHeadlessWindow* hw, const Ui_Rect* r, uint8_t erase) {
    Ui_Rect all = Ui_Rect_Make(0, 0, hw->height, hw->width);
    Ui_Rect add = all;
    if (r != nullptr) Ui_Rect_Intersect(r, &all, &add);
    if (Ui_Rect_IsEmpty(&add)) return;
    if (!hw->invalid) {
        hw->invalidRect = add;
    } else {
        Ui_Rect& u = hw->invalidRect;
        if (add.top < u.top) u.top = add.top;
        if (add.left < u.left) u.left = add.left;
        if (add.bottom > u.bottom) u.bottom = add.bottom;
        if (add.right > u.right) u.right = add.right;
    }
    hw->invalid = 1;
    hw->erase |= erase;
}

// A paint of the invalid area: the dialog paints (with the background erased only for the first
// paint of the whole window), its children ask for their colours, and the user items in the area
// paint themselves, each cut to its own rectangle.
void Paint(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    Ui_Rect area = hw->invalidRect;
    hw->invalid = 0;
    if (hw->paints == 0 || hw->erase) {
        Ui_RGB bg = kUiDefaultBackground;
        uint8_t custom = 0;
        Ui_Dlg_Colors(w, &bg, &custom);
        Canvas_FillRect(hw, &area, bg, 0);
        hw->erase = 0;
    }
    ++hw->paints;
    Ui_Msg m{};
    m.kind = kUiMsgPaint;
    Ui_Dlg_Proc(w, &m, nullptr);
    if (w->ended) return;
    m.kind = kUiMsgCtlColorStatic;
    Ui_Dlg_Proc(w, &m, nullptr);
    for (int16_t i = 1; i <= hw->itemCount && !w->ended; ++i) {
        const UiHeadlessItem& it = hw->items[i - 1];
        Ui_Rect cut;
        Ui_Rect_Intersect(&it.rect, &area, &cut);
        if (!it.visible || Ui_Rect_IsEmpty(&cut)) continue;
        bool framed =
            (it.flags & kUiFlagBorder) && (it.kind == kUiItemUser || it.kind == kUiItemStatic);
        if (!framed && it.kind != kUiItemUser) continue;
        hw->paintClipOn = 1;
        hw->paintClip = cut;
        // The frame first: a user item's draw proc owns everything inside it, its edge included.
        if (framed) Canvas_Frame(hw, &it.rect, kUiBorderRGB);
        if (it.kind == kUiItemUser) {
            m.kind = kUiMsgPaint;
            Ui_UserItem_Proc(w, i, &m, nullptr);
        }
        hw->paintClipOn = 0;
    }
}

// The modifier keys of the event being delivered, as its messages carry them.
uint8_t Modifiers() {
    return uint8_t((gScript.ctrl ? kUiModCtrl : 0) | (gScript.alt ? kUiModAlt : 0) |
                   (gScript.shift ? kUiModShift : 0) | kUiModFromEvent);
}

void Command(UiWindow* w, int16_t item, uint16_t notification) {
    Ui_Msg m{};
    m.kind = kUiMsgCommand;
    m.item = item;
    m.notification = notification;
    m.modifiers = Modifiers();
    Ui_Dlg_Proc(w, &m, nullptr);
}

int32_t ItemSetFocus(UiWindow* w, int16_t item);
int32_t SetWindowRect(UiWindow* w, const Ui_Rect* r);

void PointAtCentre(const UiHeadlessItem* it) {
    gScript.mouseV = int16_t(it->rect.top + (it->rect.bottom - it->rect.top) / 2);
    gScript.mouseH = int16_t(it->rect.left + (it->rect.right - it->rect.left) / 2);
}

// The item a person can reach: it exists, is visible and enabled.
const UiHeadlessItem* Reachable(UiWindow* w, int16_t item) {
    const UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) {
        Refuse("no such item");
        return nullptr;
    }
    if (!it->visible || !it->enabled) {
        Refuse("item hidden or disabled");
        return nullptr;
    }
    return it;
}

void Press(UiWindow* w, int16_t item, int16_t v, int16_t h) {
    Ui_Msg m{};
    m.kind = kUiMsgLButtonDown;
    m.v = v;
    m.h = h;
    gScript.mouseV = v;
    gScript.mouseH = h;
    m.modifiers = Modifiers();
    Ui_UserItem_Proc(w, item, &m, nullptr);
}

// Letting go of Shift, Ctrl or Alt releases that key: it is no longer held afterwards.
void ReleaseModifier(uint32_t key) {
    const uint8_t released = Ui_ModifierOfKey(key);
    if (released & kUiModCtrl) gScript.ctrl = 0;
    if (released & kUiModAlt) gScript.alt = 0;
    if (released & kUiModShift) gScript.shift = 0;
}

void Key(UiWindow* w, const UiScriptEvent& e, bool down, bool up) {
    UiHeadlessWindow* hw = Hw(w);
    if (e.item != 0) {
        const UiHeadlessItem* it = Reachable(w, e.item);
        if (it == nullptr) return;
        hw->focus = e.item;
    }
    const UiHeadlessItem* focus = ItemOf(w, hw->focus);
    int16_t target = focus != nullptr && focus->kind == kUiItemUser ? hw->focus : 0;
    const uint32_t key = uint32_t(e.value);
    if (down) Ui_Dlg_RouteKey(w, target, key, uint8_t(Modifiers() & ~kUiModFromEvent), 0);
    if (up && !w->ended) {
        ReleaseModifier(key);
        Ui_Dlg_RouteKey(w, target, key, uint8_t(Modifiers() & ~kUiModFromEvent), 1);
    }
}

// A person dragging the frame: the window manager keeps the size within the window's limits.
void Resize(UiWindow* w, const UiScriptEvent& e) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw->minWidth == hw->maxWidth && hw->minHeight == hw->maxHeight) {
        Refuse("the window cannot be resized");
        return;
    }
    int32_t width = e.h, height = e.v;
    if (width < hw->minWidth) width = hw->minWidth;
    if (width > hw->maxWidth) width = hw->maxWidth;
    if (height < hw->minHeight) height = hw->minHeight;
    if (height > hw->maxHeight) height = hw->maxHeight;
    const Ui_Rect placed =
        Ui_Rect_Make(hw->outer.top, hw->outer.left, hw->outer.top + height, hw->outer.left + width);
    if (SetWindowRect(w, &placed) != kStatusOk) return;
    Ui_Msg m{};
    m.kind = kUiMsgSize;
    m.v = int16_t(height);
    m.h = int16_t(width);
    Ui_Dlg_Proc(w, &m, nullptr);
}

void Deliver(UiWindow* w, const UiScriptEvent& e) {
    UiHeadlessWindow* hw = Hw(w);
    switch (e.kind) {
        case kUiScriptClick: {
            const UiHeadlessItem* it = Reachable(w, e.item);
            if (it == nullptr) return;
            PointAtCentre(it);
            if (it->kind == kUiItemUser) {
                Press(w, e.item, gScript.mouseV, gScript.mouseH);
            } else if (it->kind == kUiItemButton || it->kind == kUiItemCheck ||
                       it->kind == kUiItemIcon) {
                // Buttons and boxes take the focus when clicked (an edit field that had it hears
                // that it lost it first); icons do not.
                if (it->kind != kUiItemIcon) ItemSetFocus(w, e.item);
                if (w->ended) return;
                if (it->kind == kUiItemCheck && (it->flags & kUiFlagAuto)) {
                    ItemOf(w, e.item)->check = it->check == 0 ? 1 : 0;
                }
                Command(w, e.item, kUiNotifyClicked);
            } else {
                Refuse("item does not take clicks");
            }
            return;
        }
        case kUiScriptSelect: {
            const UiHeadlessItem* it = Reachable(w, e.item);
            if (it == nullptr) return;
            if (it->kind != kUiItemCombo || !(1 <= e.value && e.value <= it->listCount)) {
                Refuse("no such list entry");
                return;
            }
            ItemSetFocus(w, e.item);
            if (w->ended) return;
            // Choosing the entry already chosen changes nothing and tells nobody.
            if (it->listSelection == e.value - 1) return;
            ItemOf(w, e.item)->listSelection = e.value - 1;
            Command(w, e.item, kUiNotifySelChange);
            return;
        }
        case kUiScriptEdit: {
            const UiHeadlessItem* it = Reachable(w, e.item);
            if (it == nullptr) return;
            if (it->kind != kUiItemEdit || (it->flags & kUiFlagReadOnly)) {
                Refuse("not an editable field");
                return;
            }
            ItemSetFocus(w, e.item);
            if (w->ended) return;
            UiHeadlessItem* edit = ItemOf(w, e.item);
            // Typing stops at the field's limit.
            size_t room = edit->maxLength > 0 ? size_t(edit->maxLength) + 1 : sizeof edit->text;
            if (room > sizeof edit->text) room = sizeof edit->text;
            Str_CopyBounded(edit->text, room, e.text != nullptr ? e.text : "");
            Command(w, e.item, kUiNotifyChange);
            return;
        }
        case kUiScriptNotify:
            if (ItemOf(w, e.item) == nullptr) {
                Refuse("no such item");
                return;
            }
            Command(w, e.item, uint16_t(e.value));
            return;
        case kUiScriptKey:
            Key(w, e, true, true);
            return;
        case kUiScriptKeyDown:
            Key(w, e, true, false);
            return;
        case kUiScriptKeyUp:
            Key(w, e, false, true);
            return;
        case kUiScriptPress: {
            const UiHeadlessItem* it = Reachable(w, e.item);
            if (it == nullptr) return;
            if (it->kind != kUiItemUser || !Ui_Rect_ContainsPoint(&it->rect, e.v, e.h)) {
                Refuse("press outside a user item");
                return;
            }
            Press(w, e.item, e.v, e.h);
            return;
        }
        case kUiScriptDrag:
        case kUiScriptRelease:
        case kUiScriptMove: {
            // Outside a press these are plain moves: a cursor request to what is under the mouse.
            gScript.mouseV = e.v;
            gScript.mouseH = e.h;
            Ui_Msg m{};
            m.kind = kUiMsgSetCursor;
            for (int16_t i = 1; i <= hw->itemCount; ++i) {
                const UiHeadlessItem& it = hw->items[i - 1];
                if (it.kind == kUiItemUser && it.visible &&
                    Ui_Rect_ContainsPoint(&it.rect, e.v, e.h)) {
                    Ui_UserItem_Proc(w, i, &m, nullptr);
                    return;
                }
            }
            Ui_Dlg_Proc(w, &m, nullptr);
            return;
        }
        case kUiScriptIdle:
            for (int32_t i = 0; i < e.value && !w->ended; ++i) {
                gScript.clock += kUiIdleMillis;
                if (Hw(w)->timerOn) {
                    Ui_Msg m{};
                    m.kind = kUiMsgTimer;
                    m.timerId = kUiIdleTimer;
                    Ui_Dlg_Proc(w, &m, nullptr);
                }
            }
            return;
        case kUiScriptCall:
            if (e.call != nullptr) e.call(w, e.context);
            return;
        case kUiScriptResize:
            Resize(w, e);
            return;
        default:
            Refuse("event not expected here");
            return;
    }
}

void TakeModifiers(const UiScriptEvent& e) {
    gScript.ctrl = e.ctrl;
    gScript.alt = e.alt;
    gScript.shift = e.shift;
}

void EndWith2(UiWindow* w, const char* why) {
    Ui_Dlg* d = nullptr;
    if (Ui_Dlg_Get(w, &d) == kStatusOk) d->itemHit = 2;
    char line[96];
    Ui_FormatStringN(line, sizeof line, "Ui_Headless: dialog %d closed with item 2: %s",
                     w->dialogId, why);
    Ui_Debug_Log(w->state != nullptr ? w->state->diagnostics : 0, line);
    Ui_Dlg_End(w);
}

// --- the binding's operations ---------------------------------------------------------------

uint8_t Interactive() {
    return Scripted();
}

int32_t RegisterClass(UiState*) {
    return kStatusOk;
}
int32_t UnregisterClass(UiState*) {
    return kStatusOk;
}

void FontSize(int32_t points, int32_t font, int32_t* avg, int32_t* height) {
    if (Ui_Font_Nominal(points, font, avg, height) != kStatusOk) {
        Ui_Font_Nominal(points, kUiFontDialog, avg, height);
    }
}

int32_t FontMetrics(UiWindow*, const char*, int32_t points, int32_t font, int32_t* width52,
                    int32_t* height) {
    int32_t avg = 0;
    FontSize(points, font, &avg, height);
    *width52 = 52 * avg;
    return kStatusOk;
}

int32_t DialogPoints(UiWindow* w) {
    return w != nullptr && w->layout != nullptr ? w->layout->fontPoints : 8;
}

int32_t MeasureText(UiWindow* w, int32_t font, const char* text, int32_t* width, int32_t* height) {
    int32_t avg = 0;
    FontSize(DialogPoints(w), font, &avg, height);
    *width = int32_t(Str_Length(text)) * avg;
    return kStatusOk;
}

int32_t CreateWindow(UiWindow* w, void*) {
    const Ui_DlgTemplate* t = w->layout;
    auto* hw = static_cast<UiHeadlessWindow*>(Mem_Alloc(sizeof(UiHeadlessWindow)));
    if (hw == nullptr) return kStatusNoMemory;
    Mem_Fill(hw, 0, sizeof *hw);
    hw->dialogId = t->id;
    Str_CopyBounded(hw->title, sizeof hw->title, t->title);
    hw->width = Ui_Rect_Width(&t->client);
    hw->height = Ui_Rect_Height(&t->client);
    hw->outer = Ui_Rect_Make(0, 0, hw->height, hw->width);
    hw->itemCount = t->itemCount;
    hw->focus = -1;
    hw->textCapacity = 16;
    uint32_t pixels = uint32_t(hw->width) * uint32_t(hw->height) * 3;
    hw->rgb = CanvasAlloc(pixels);
    hw->items = static_cast<UiHeadlessItem*>(
        Mem_Alloc(uint32_t(t->itemCount > 0 ? t->itemCount : 1) * sizeof(UiHeadlessItem)));
    hw->texts = static_cast<UiHeadlessText*>(
        Mem_Alloc(uint32_t(hw->textCapacity) * sizeof(UiHeadlessText)));
    if (hw->rgb == nullptr || hw->items == nullptr || hw->texts == nullptr) {
        hw->itemCount = 0;
        FreeWindow(hw);
        return kStatusNoMemory;
    }
    for (int32_t i = 0; i < t->itemCount; ++i) {
        const Ui_DlgItem& src = t->items[i];
        UiHeadlessItem& it = hw->items[i];
        Mem_Fill(&it, 0, sizeof it);
        it.kind = src.kind;
        it.flags = src.flags;
        it.rect = src.pixels;
        if (src.kind != kUiItemCombo) Str_CopyBounded(it.text, sizeof it.text, src.text);
        it.enabled = !(src.flags & kUiFlagDisabled);
        it.visible = !(src.flags & kUiFlagHidden);
        it.listSelection = -1;
        if (src.flags & kUiFlagDefault) hw->defaultItem = int16_t(i + 1);
    }
    hw->minWidth = hw->maxWidth = int16_t(hw->width);
    hw->minHeight = hw->maxHeight = int16_t(hw->height);
    w->native = hw;
    Invalidate(hw, nullptr, 1);
    return kStatusOk;
}

void DestroyWindow(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return;
    FreeClosed(gLastClosed);
    gLastClosed = KeepClosed(hw);
    FreeWindow(hw);
    w->native = nullptr;
}

int32_t RunModal(UiWindow* w) {
    Hw(w)->shown = 1;
    while (!w->ended) {
        if (Hw(w)->invalid) {
            Paint(w);
            continue;
        }
        if (gScript.next >= gScript.count) {
            EndWith2(w, "the script ended");
            break;
        }
        const UiScriptEvent& e = gScript.events[gScript.next];
        if (e.dialogId != 0 && e.dialogId != w->dialogId) {
            EndWith2(w, "the next event is for another dialog");
            break;
        }
        ++gScript.next;
        TakeModifiers(e);
        Deliver(w, e);
    }
    return kStatusOk;
}

int32_t GetWindowRect(UiWindow* w, Ui_Rect* r) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    *r = hw->outer;
    return kStatusOk;
}

int32_t SetWindowRect(UiWindow* w, const Ui_Rect* r) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    int32_t width = Ui_Rect_Width(r), height = Ui_Rect_Height(r);
    if (width != hw->width || height != hw->height) {
        // A new size gets a new canvas that keeps what fits of the old one.
        uint32_t bytes = uint32_t(width) * uint32_t(height) * 3;
        uint8_t* rgb = CanvasAlloc(bytes);
        if (rgb == nullptr) return kStatusNoMemory;
        for (int32_t v = 0; v < height && v < hw->height; ++v) {
            int32_t n = width < hw->width ? width : hw->width;
            Mem_Copy(rgb + size_t(v) * size_t(width) * 3,
                     hw->rgb + size_t(v) * size_t(hw->width) * 3, size_t(n) * 3);
        }
        std::free(hw->rgb);
        hw->rgb = rgb;
        hw->width = width;
        hw->height = height;
        Invalidate(hw, nullptr, 1);
    }
    hw->outer = *r;
    return kStatusOk;
}

int32_t GetClientRect(UiWindow* w, Ui_Rect* r) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    *r = Ui_Rect_Make(0, 0, hw->height, hw->width);
    return kStatusOk;
}

int32_t GetScreenRect(Ui_Rect* r) {
    *r = Ui_Rect_Make(0, 0, kScreenHeight, kScreenWidth);
    return kStatusOk;
}

int32_t GetWorkArea(Ui_Rect* r) {
    if (!gWorkAreaKnown) return kStatusError;
    *r = gWorkArea;
    return kStatusOk;
}

int32_t SetWindowText(UiWindow* w, const char* text) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    Str_CopyBounded(hw->title, sizeof hw->title, text);
    return kStatusOk;
}

uint8_t IsForeground(UiWindow* w) {
    // The innermost open dialog is the one in front: the only one taking events.
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || w->state == nullptr) return 0;
    return w->state->parentWindow == w;
}

int32_t SetTimer(UiWindow* w, int32_t, int32_t) {
    if (Hw(w) == nullptr) return kStatusError;
    Hw(w)->timerOn = 1;
    return kStatusOk;
}

int32_t KillTimer(UiWindow* w, int32_t) {
    if (Hw(w) == nullptr) return kStatusError;
    Hw(w)->timerOn = 0;
    return kStatusOk;
}

int32_t InvalidateOp(UiWindow* w, const Ui_Rect* r) {
    if (Hw(w) == nullptr) return kStatusError;
    Invalidate(Hw(w), r, 0);
    return kStatusOk;
}

int32_t ColorsChanged(UiWindow* w) {
    if (Hw(w) == nullptr) return kStatusError;
    Invalidate(Hw(w), nullptr, 1);
    return kStatusOk;
}

int32_t ItemSetText(UiWindow* w, int16_t item, const char* text) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    size_t room = sizeof it->text;
    if (it->kind == kUiItemEdit && it->maxLength > 0 && size_t(it->maxLength) + 1 < room) {
        room = size_t(it->maxLength) + 1;
    }
    Str_CopyBounded(it->text, room, text);
    return kStatusOk;
}

int32_t ItemGetText(UiWindow* w, int16_t item, char* text, int32_t capacity) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (it->kind == kUiItemCombo) {
        const char* shown = it->listSelection >= 0 ? it->list[it->listSelection] : "";
        Str_CopyBounded(text, size_t(capacity), shown);
    } else {
        Str_CopyBounded(text, size_t(capacity), it->text);
    }
    return kStatusOk;
}

int32_t ItemGetCheck(UiWindow* w, int16_t item, int32_t* state) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    *state = it->check;
    return kStatusOk;
}

int32_t ItemSetCheck(UiWindow* w, int16_t item, int32_t state) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->check = state;
    return kStatusOk;
}

int32_t ItemEnable(UiWindow* w, int16_t item, uint8_t on) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->enabled = on;
    return kStatusOk;
}

int32_t ItemShow(UiWindow* w, int16_t item, uint8_t on) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (it->visible != on) Invalidate(Hw(w), &it->rect, 1);
    it->visible = on;
    return kStatusOk;
}

int32_t ItemGetRect(UiWindow* w, int16_t item, Ui_Rect* r) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    *r = it->rect;
    return kStatusOk;
}

int32_t ItemMove(UiWindow* w, int16_t item, const Ui_Rect* r) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    Invalidate(Hw(w), &it->rect, 1);
    it->rect = *r;
    Invalidate(Hw(w), r, 1);
    return kStatusOk;
}

int32_t ItemSetDefault(UiWindow* w, int16_t item) {
    if (ItemOf(w, item) == nullptr) return kStatusError;
    Hw(w)->defaultItem = item;
    return kStatusOk;
}

int32_t ItemSetFocus(UiWindow* w, int16_t item) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    if (item < 0) {
        hw->focus = -1;
        return kStatusOk;
    }
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr || !it->visible || !it->enabled) return kStatusError;
    int16_t previous = hw->focus;
    hw->focus = item;
    // An edit field that loses the focus says so, as the real control does.
    const UiHeadlessItem* old = ItemOf(w, previous);
    if (previous != item && old != nullptr && old->kind == kUiItemEdit && w->created) {
        Command(w, previous, kUiNotifyKillFocus);
    }
    return kStatusOk;
}

int32_t ItemSelectText(UiWindow* w, int16_t item, int32_t first, int32_t last) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    int32_t n = int32_t(Str_Length(it->text));
    if (last < 0 || last > n) last = n;
    if (first > last) first = last;
    it->selFirst = first;
    it->selLast = last;
    return kStatusOk;
}

int32_t ItemPlainStyle(UiWindow* w, int16_t item) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->plainStyle = 1;
    return kStatusOk;
}

int32_t ListClear(UiWindow* w, int16_t item) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->listCount = 0;
    it->listSelection = -1;
    return kStatusOk;
}

int32_t ListAdd(UiWindow* w, int16_t item, const char* text) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (it->listCount == it->listCapacity) {
        int32_t capacity = it->listCapacity == 0 ? 8 : it->listCapacity * 2;
        auto* list =
            static_cast<char(*)[kUiHeadlessText]>(Mem_Alloc(uint32_t(capacity) * kUiHeadlessText));
        if (list == nullptr) return kStatusNoMemory;
        if (it->listCount > 0) Mem_Copy(list, it->list, size_t(it->listCount) * kUiHeadlessText);
        Mem_Free(it->list);
        it->list = list;
        it->listCapacity = capacity;
    }
    Str_CopyBounded(it->list[it->listCount++], kUiHeadlessText, text);
    return kStatusOk;
}

int32_t ListGetSelection(UiWindow* w, int16_t item, int32_t* index) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    *index = it->listSelection;
    return kStatusOk;
}

int32_t ListSetSelection(UiWindow* w, int16_t item, int32_t index) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr || !(0 <= index && index < it->listCount)) return kStatusError;
    it->listSelection = index;
    return kStatusOk;
}

int32_t ListCount(UiWindow* w, int16_t item, int32_t* count) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    *count = it->listCount;
    return kStatusOk;
}

void KeyState(uint8_t* ctrl, uint8_t* alt, uint8_t* shift) {
    *ctrl = gScript.ctrl;
    *alt = gScript.alt;
    *shift = gScript.shift;
}

int32_t CursorPos(UiWindow*, int16_t* v, int16_t* h) {
    *v = gScript.mouseV;
    *h = gScript.mouseH;
    return kStatusOk;
}

int32_t Capture(UiWindow*, int16_t, uint8_t) {
    return kStatusOk;
}

// The mouse events of a press come from the script. Idle ticks pass without timer messages (the
// framework takes only mouse events while it tracks), but what was invalidated is painted
// before the next event, as a window system repaints between messages. Shift, Ctrl or Alt going
// down or up is a drag that stays where the mouse is; any other event, or the end of the script,
// lets the button go where the mouse is.
int32_t TrackNext(UiWindow* w, int16_t, int16_t* v, int16_t* h, uint8_t* released,
                  uint8_t* modifiers) {
    for (;;) {
        if (w->ended) return kStatusError;
        if (Hw(w)->invalid) {
            Paint(w);
            continue;
        }
        *modifiers = Modifiers();
        if (gScript.next >= gScript.count) {
            *released = 1;
            return kStatusOk;
        }
        const UiScriptEvent& e = gScript.events[gScript.next];
        if (e.kind == kUiScriptIdle) {
            gScript.clock += uint32_t(e.value > 0 ? e.value : 0) * kUiIdleMillis;
            ++gScript.next;
            continue;
        }
        if (e.kind == kUiScriptCall) {
            ++gScript.next;
            if (e.call != nullptr) e.call(w, e.context);
            continue;
        }
        const bool modifierKey = (e.kind == kUiScriptKeyDown || e.kind == kUiScriptKeyUp) &&
                                 Ui_ModifierOfKey(uint32_t(e.value)) != 0;
        if (modifierKey) {
            ++gScript.next;
            TakeModifiers(e);
            if (e.kind == kUiScriptKeyUp) ReleaseModifier(uint32_t(e.value));
            *v = gScript.mouseV;
            *h = gScript.mouseH;
            *released = 0;
            *modifiers = Modifiers();
            return kStatusOk;
        }
        if (e.kind != kUiScriptDrag && e.kind != kUiScriptRelease) {
            *released = 1;
            return kStatusOk;
        }
        ++gScript.next;
        TakeModifiers(e);
        gScript.mouseV = e.v;
        gScript.mouseH = e.h;
        *v = e.v;
        *h = e.h;
        *released = e.kind == kUiScriptRelease;
        *modifiers = Modifiers();
        return kStatusOk;
    }
}

uint32_t TickCount() {
    return Scripted() ? gScript.clock : Ui_MonotonicMillis();
}

struct HeadlessCursor {
    int16_t hotV, hotH;
};

int32_t CursorLoad(const Ui_Offscreen*, int16_t hotV, int16_t hotH, void** cursor) {
    auto* c = static_cast<HeadlessCursor*>(Mem_Alloc(sizeof(HeadlessCursor)));
    if (c == nullptr) return kStatusNoMemory;
    c->hotV = hotV;
    c->hotH = hotH;
    ++gCursorLoads;
    *cursor = c;
    return kStatusOk;
}

void CursorFree(void* cursor) {
    Mem_Free(cursor);
}

int32_t CursorShow(UiState*, uint32_t kind, void*) {
    gCursorKind = kind;
    return kStatusOk;
}

int32_t DrawBegin(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    // As a real window: nothing can be drawn before it is on the screen (measure instead).
    if (hw == nullptr || hw->drawing || !hw->shown) return kStatusError;
    hw->drawing = 1;
    hw->clipOn = 0;
    return kStatusOk;
}

int32_t DrawEnd(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || !hw->drawing) return kStatusError;
    hw->drawing = 0;
    hw->clipOn = 0;
    return kStatusOk;
}

int32_t DrawClip(UiWindow* w, const Ui_Rect* clip) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr || !hw->drawing) return kStatusError;
    hw->clipOn = clip != nullptr;
    if (clip != nullptr) hw->clip = *clip;
    return kStatusOk;
}

UiHeadlessWindow* Drawing(UiWindow* w) {
    UiHeadlessWindow* hw = Hw(w);
    return hw != nullptr && hw->drawing ? hw : nullptr;
}

int32_t FillRect(UiWindow* w, const Ui_Rect* r, Ui_RGB color, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_FillRect(hw, r, color, xorMode);
    return kStatusOk;
}

int32_t Line(UiWindow* w, Ui_Point a, Ui_Point b, Ui_RGB color, int16_t width, uint8_t dotted,
             uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Line(hw, a, b, color, width, dotted, xorMode);
    return kStatusOk;
}

int32_t Ellipse(UiWindow* w, const Ui_Rect* r, Ui_RGB color, int16_t width, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Ellipse(hw, r, color, width, xorMode);
    return kStatusOk;
}

int32_t Polygon(UiWindow* w, const Ui_Point* points, int32_t count, Ui_RGB color, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Polygon(hw, points, count, color, xorMode);
    return kStatusOk;
}

// Lines a text takes when wrapped at word boundaries to width pixels, every character avg wide.
int32_t WrappedLines(const char* text, int32_t width, int32_t avg) {
    int32_t perLine = width / avg > 0 ? width / avg : 1;
    int32_t lines = 1, used = 0;
    const char* p = text;
    while (*p != 0) {
        if (*p == '\n') {
            ++lines;
            used = 0;
            ++p;
            continue;
        }
        const char* word = p;
        while (*p != 0 && *p != ' ' && *p != '\n') ++p;
        int32_t n = int32_t(p - word);
        if (used > 0 && used + 1 + n > perLine) {
            ++lines;
            used = 0;
        }
        used += (used > 0 ? 1 : 0) + n;
        while (used > perLine) {  // a word longer than the line breaks inside
            ++lines;
            used -= perLine;
        }
        while (*p == ' ') ++p;
    }
    return lines;
}

int32_t Text(UiWindow* w, const char* text, const Ui_Rect* r, uint32_t format, Ui_RGB color,
             int32_t font, int32_t* height) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    int32_t avg = 0, lineHeight = 0;
    FontSize(DialogPoints(w), font, &avg, &lineHeight);
    int32_t lines = (format & kUiTextWrap) ? WrappedLines(text, Ui_Rect_Width(r), avg) : 1;
    *height = lines * lineHeight;
    if (hw->textCount == hw->textCapacity) {
        int32_t capacity = hw->textCapacity * 2;
        auto* texts =
            static_cast<UiHeadlessText*>(Mem_Alloc(uint32_t(capacity) * sizeof(UiHeadlessText)));
        if (texts == nullptr) return kStatusNoMemory;
        Mem_Copy(texts, hw->texts, size_t(hw->textCount) * sizeof(UiHeadlessText));
        Mem_Free(hw->texts);
        hw->texts = texts;
        hw->textCapacity = capacity;
    }
    UiHeadlessText& t = hw->texts[hw->textCount++];
    Str_CopyBounded(t.text, sizeof t.text, text);
    t.rect = *r;
    t.format = format;
    t.color = color;
    t.font = font;
    return kStatusOk;
}

int32_t Image(UiWindow* w, const Ui_Offscreen* image, int16_t top, int16_t left,
              const Ui_Rect* clip) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return 1;
    Canvas_Image(hw, image, top, left, clip);
    return kStatusOk;
}

void Beep() {
    ++gBeeps;
}

int32_t SetSizeRange(UiWindow* w, int16_t minWidth, int16_t minHeight, int16_t maxWidth,
                     int16_t maxHeight) {
    UiHeadlessWindow* hw = Hw(w);
    if (hw == nullptr) return kStatusError;
    hw->minWidth = minWidth;
    hw->minHeight = minHeight;
    hw->maxWidth = maxWidth;
    hw->maxHeight = maxHeight;
    return kStatusOk;
}

int32_t MeasureWrapped(UiWindow* w, int32_t font, const char* text, int32_t width,
                       int32_t* height) {
    int32_t avg = 0, lineHeight = 0;
    FontSize(DialogPoints(w), font, &avg, &lineHeight);
    *height = WrappedLines(text, width, avg) * lineHeight;
    return kStatusOk;
}

int32_t Arc(UiWindow* w, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
            int16_t width, uint8_t xorMode) {
    UiHeadlessWindow* hw = Drawing(w);
    if (hw == nullptr) return kStatusError;
    Canvas_Arc(hw, r, start, sweep, color, width, xorMode);
    return kStatusOk;
}

int32_t ItemSetMaxLength(UiWindow* w, int16_t item, int32_t count) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->maxLength = count;
    if (count > 0 && Str_Length(it->text) > size_t(count)) it->text[count] = 0;
    return kStatusOk;
}

void RememberChooser(const Ui_ChooserRequest* request) {
    UiHeadlessChooser& c = gLastChooser;
    c = UiHeadlessChooser{};
    c.kind = request->kind;
    c.filterIndex = request->filterIndex;
    c.confirmOverwrite = request->confirmOverwrite;
    Str_CopyBounded(c.title, sizeof c.title, request->title != nullptr ? request->title : "");
    Str_CopyBounded(c.folder, sizeof c.folder, request->folder != nullptr ? request->folder : "");
    Str_CopyBounded(c.defaultExt, sizeof c.defaultExt,
                    request->defaultExt != nullptr ? request->defaultExt : "");
    Str_CopyBounded(c.prompt, sizeof c.prompt, request->prompt != nullptr ? request->prompt : "");
    if (request->filters == nullptr) return;
    Str_CopyBounded(c.firstFilter, sizeof c.firstFilter, request->filters);
    // Walk the NUL-separated pairs to the pattern of the chosen one.
    const char* p = request->filters;
    for (int32_t pair = 1; *p != 0; ++pair) {
        const char* pattern = p + Str_Length(p) + 1;
        if (pair == request->filterIndex) {
            Str_CopyBounded(c.lastPattern, sizeof c.lastPattern, pattern);
            break;
        }
        p = pattern + Str_Length(pattern) + 1;
    }
}

int32_t Choose(UiState*, const Ui_ChooserRequest* request, char* path) {
    ++gChooserCalls;
    RememberChooser(request);
    if (!Scripted()) {
        std::fprintf(stderr, "No display to choose a file on: cancelled.\n");
        return kStatusCancelled;
    }
    if (gScript.next >= gScript.count || gScript.events[gScript.next].kind != kUiScriptChoose) {
        return kStatusCancelled;
    }
    const UiScriptEvent& e = gScript.events[gScript.next++];
    if (e.text == nullptr) return kStatusCancelled;
    Str_CopyBounded(path, kPathSize, e.text);
    if (request->chosenFilter != nullptr) {
        *request->chosenFilter = e.value > 0 ? e.value : request->filterIndex;
    }
    if (request->kind == kUiChooseSave && request->defaultExt != nullptr) {
        Ui_Path_AddDefaultExtension(path, kPathSize, request->defaultExt);
    }
    return kStatusOk;
}

int32_t OpenUrl(const char* url, int32_t* code) {
    *code = 0;
    if (!Scripted()) return kStatusError;  // there is no desktop to open it on
    Str_CopyBounded(gLastUrl, sizeof gLastUrl, url);
    return kStatusOk;
}

const UiBinding kHeadless = {
    .name = "headless",
    .interactive = Interactive,
    .registerClass = RegisterClass,
    .unregisterClass = UnregisterClass,
    .fontMetrics = FontMetrics,
    .measureText = MeasureText,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .runModal = RunModal,
    .getWindowRect = GetWindowRect,
    .setWindowRect = SetWindowRect,
    .getClientRect = GetClientRect,
    .getScreenRect = GetScreenRect,
    .getWorkArea = GetWorkArea,
    .setWindowText = SetWindowText,
    .isForeground = IsForeground,
    .setTimer = SetTimer,
    .killTimer = KillTimer,
    .invalidate = InvalidateOp,
    .colorsChanged = ColorsChanged,
    .itemSetText = ItemSetText,
    .itemGetText = ItemGetText,
    .itemGetCheck = ItemGetCheck,
    .itemSetCheck = ItemSetCheck,
    .itemEnable = ItemEnable,
    .itemShow = ItemShow,
    .itemGetRect = ItemGetRect,
    .itemMove = ItemMove,
    .itemSetDefault = ItemSetDefault,
    .itemSetFocus = ItemSetFocus,
    .itemSelectText = ItemSelectText,
    .itemPlainStyle = ItemPlainStyle,
    .listClear = ListClear,
    .listAdd = ListAdd,
    .listGetSelection = ListGetSelection,
    .listSetSelection = ListSetSelection,
    .listCount = ListCount,
    .keyState = KeyState,
    .cursorPos = CursorPos,
    .capture = Capture,
    .trackNext = TrackNext,
    .tickCount = TickCount,
    .cursorLoad = CursorLoad,
    .cursorFree = CursorFree,
    .cursorShow = CursorShow,
    .drawBegin = DrawBegin,
    .drawEnd = DrawEnd,
    .drawClip = DrawClip,
    .fillRect = FillRect,
    .line = Line,
    .ellipse = Ellipse,
    .polygon = Polygon,
    .text = Text,
    .image = Image,
    .beep = Beep,
    .choose = Choose,
    .openUrl = OpenUrl,
    .setSizeRange = SetSizeRange,
    .measureWrapped = MeasureWrapped,
    .arc = Arc,
    .itemSetMaxLength = ItemSetMaxLength,
};

}  // namespace

const UiBinding* Ui_Headless_Binding() {
    return &kHeadless;
}

void Ui_Headless_SetScript(const UiScriptEvent* events, int32_t count) {
    gScript = Script{};
    gScript.events = events;
    gScript.count = events != nullptr && count > 0 ? count : 0;
}

int32_t Ui_Headless_Remaining() {
    return gScript.count - gScript.next;
}
int32_t Ui_Headless_Refused() {
    return gScript.refused;
}

const UiHeadlessWindow* Ui_Headless_Window(UiWindow* dialog) {
    // A binding made from this one keeps its windows: the Windows module without a desktop
    // installs a copy with the system's key state, beep and web pages.
    if (dialog == nullptr || Ui_Binding()->createWindow != kHeadless.createWindow) return nullptr;
    return Hw(dialog);
}

const UiHeadlessWindow* Ui_Headless_LastClosed() {
    return gLastClosed;
}

Ui_RGB Ui_Headless_Pixel(const UiHeadlessWindow* hw, int32_t v, int32_t h) {
    if (hw == nullptr || !(0 <= v && v < hw->height && 0 <= h && h < hw->width)) {
        return Ui_RGB{0, 0, 0};
    }
    const uint8_t* p = hw->rgb + (size_t(v) * size_t(hw->width) + size_t(h)) * 3;
    return Ui_RGB{p[0], p[1], p[2]};
}

void Ui_Headless_SetWorkArea(const Ui_Rect* area) {
    gWorkAreaKnown = area != nullptr;
    if (area != nullptr) gWorkArea = *area;
}

void Ui_Headless_Reset() {
    gWorkArea = DefaultWorkArea();
    gWorkAreaKnown = true;
    FreeClosed(gLastClosed);
    gLastClosed = nullptr;
    gScript = Script{};
    gLastUrl[0] = 0;
    gBeeps = 0;
    gCursorLoads = 0;
    gCursorKind = 0;
    gChooserCalls = 0;
    gLastChooser = UiHeadlessChooser{};
}

const char* Ui_Headless_LastUrl() {
    return gLastUrl;
}
int32_t Ui_Headless_Beeps() {
    return gBeeps;
}
int32_t Ui_Headless_CursorLoads() {
    return gCursorLoads;
}
uint32_t Ui_Headless_CursorKind() {
    return gCursorKind;
}
int32_t Ui_Headless_ChooserCalls() {
    return gChooserCalls;
}
const UiHeadlessChooser* Ui_Headless_LastChooser() {
    return &gLastChooser;
}
