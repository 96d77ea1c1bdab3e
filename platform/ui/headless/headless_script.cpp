// Playing the headless binding's script: the events a test gives, delivered as a window system
// would deliver a person's clicks, keys and drags, the modal loop that takes them one by one, and
// the virtual clock that only the script's idle ticks advance (with the idle timer they fire).
// See headless.h for the events and headless_internal.h for the other parts of the binding.
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/ui/dlg.h"
#include "platform/ui/headless/headless_internal.h"
#include "platform/ui/rect.h"
#include "platform/ui/tab_order.h"
#include "platform/ui_state.h"

namespace kolmara_headless {

namespace {

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

void Press(UiWindow* w, int16_t item, int16_t v, int16_t h, int32_t clicks = 1) {
    Ui_Msg m{};
    m.kind = kUiMsgLButtonDown;
    m.v = v;
    m.h = h;
    m.clicks = clicks >= 2 ? 2 : 1;
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

UiTabShown Shown(UiWindow* w, int16_t item) {
    const UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr || !it->visible) return kUiTabHidden;
    return it->enabled ? kUiTabEnabled : kUiTabShownOnly;
}

void Key(UiWindow* w, const UiScriptEvent& e, bool down, bool up) {
    UiHeadlessWindow* hw = Hw(w);
    if (e.item != 0) {
        const UiHeadlessItem* it = Reachable(w, e.item);
        if (it == nullptr) return;
        hw->focus = e.item;
    }
    const uint8_t held = Modifiers();
    if (e.value == 9 && down && !(held & (kUiModCtrl | kUiModAlt))) {
        // Tab moves the focus in reading order, as the window bindings do; only its release
        // reaches the dialog.
        const int16_t next = Ui_Tab_Next(w, Shown, hw->focus, (held & kUiModShift) != 0);
        if (next != 0) ItemSetFocus(w, next);
        down = false;
    }
    const UiHeadlessItem* focused = ItemOf(w, hw->focus);
    if (e.value == ' ' && down && focused != nullptr && focused->visible && focused->enabled &&
        (focused->kind == kUiItemButton || focused->kind == kUiItemCheck)) {
        // Space presses the button or box with the focus, as on the window systems.
        Command(w, hw->focus, kUiNotifyClicked);
        return;
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
                // The framework toggles an automatic box and has this one show it.
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
            // The list shows the entry; the framework tells nobody when it was chosen already.
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
        case kUiScriptContext: {
            Ui_Msg m{};
            m.kind = kUiMsgContextMenu;
            m.modifiers = Modifiers();
            if (e.item != 0) {
                const UiHeadlessItem* it = Reachable(w, e.item);
                if (it == nullptr) return;
                m.item = e.item;
                if (e.v < 0 && e.h < 0) {
                    PointAtCentre(it);
                } else {
                    gScript.mouseV = e.v;
                    gScript.mouseH = e.h;
                }
            } else {
                gScript.mouseV = e.v;
                gScript.mouseH = e.h;
            }
            m.v = gScript.mouseV;
            m.h = gScript.mouseH;
            Ui_Dlg_Proc(w, &m, nullptr);
            return;
        }
        case kUiScriptMenu:
            Refuse("no menu to answer");
            return;
        case kUiScriptWheel: {
            if (e.item != 0 && Reachable(w, e.item) == nullptr) return;
            gScript.mouseV = e.v;
            gScript.mouseH = e.h;
            Ui_Msg m{};
            m.kind = kUiMsgWheel;
            m.item = e.item;
            m.v = e.v;
            m.h = e.h;
            m.steps = int16_t(e.value);
            m.modifiers = Modifiers();
            Ui_Dlg_Proc(w, &m, nullptr);
            return;
        }
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
            Press(w, e.item, e.v, e.h, e.value);
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
    Str_FormatN(line, sizeof line, "Ui_Headless: dialog %d closed with item 2: %s", w->dialogId,
                why);
    Ui_Debug_Log(w->state != nullptr ? w->state->diagnostics : 0, line);
    Ui_Dlg_End(w);
}

uint8_t Interactive() {
    return Scripted();
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

}  // namespace

bool Scripted() {
    return gScript.events != nullptr;
}

// The modifier keys of the event being delivered, as its messages carry them.
uint8_t Modifiers() {
    return uint8_t((gScript.ctrl ? kUiModCtrl : 0) | (gScript.alt ? kUiModAlt : 0) |
                   (gScript.shift ? kUiModShift : 0) | kUiModFromEvent);
}

void Refuse(const char* why) {
    ++gScript.refused;
    char line[96];
    Str_FormatN(line, sizeof line, "Ui_Headless: event %d refused: %s", gScript.next, why);
    Ui_Debug_Log(1, line);
}

const UiScriptEvent* TakeMenuAnswer() {
    if (gScript.next >= gScript.count || gScript.events[gScript.next].kind != kUiScriptMenu) {
        return nullptr;
    }
    return &gScript.events[gScript.next++];
}

const UiScriptEvent* TakeChooserAnswer() {
    if (gScript.next >= gScript.count || gScript.events[gScript.next].kind != kUiScriptChoose) {
        return nullptr;
    }
    return &gScript.events[gScript.next++];
}

void FillScriptOps(UiBinding* b) {
    b->interactive = Interactive;
    b->runModal = RunModal;
    b->setTimer = SetTimer;
    b->killTimer = KillTimer;
    b->keyState = KeyState;
    b->cursorPos = CursorPos;
    b->capture = Capture;
    b->trackNext = TrackNext;
    b->tickCount = TickCount;
}

void ResetScript() {
    gScript = Script{};
}

}  // namespace kolmara_headless

void Ui_Headless_SetScript(const UiScriptEvent* events, int32_t count) {
    using kolmara_headless::gScript;
    gScript = kolmara_headless::Script{};
    gScript.events = events;
    gScript.count = events != nullptr && count > 0 ? count : 0;
}

int32_t Ui_Headless_Remaining() {
    return kolmara_headless::gScript.count - kolmara_headless::gScript.next;
}
int32_t Ui_Headless_Refused() {
    return kolmara_headless::gScript.refused;
}

int32_t Ui_Headless_TabOrder(UiWindow* dialog, int16_t* order, int32_t capacity) {
    return Ui_Tab_Order(dialog, kolmara_headless::Shown, order, capacity);
}
