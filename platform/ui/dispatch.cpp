// The framework dialog procedure and the UiUserItem control procedure: how window events become
// proc calls. The order of the steps is the contract the owners of dialogs are written against.
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/item_state.h"
#include "platform/ui_state.h"

namespace {

// The done flag is looked at after every proc: once a proc has set it, the dialog ends with its
// item hit and no further proc runs. Returns true when the dialog has ended.
bool EndIfDone(UiWindow* w, Ui_Dlg* d) {
    if (!d->done && !w->ended) return false;
    Ui_Dlg_End(w);
    return true;
}

void TakeModifiers(Ui_Dlg* d, uint8_t modifiers) {
    d->ctrl = (modifiers & kUiModCtrl) != 0;
    d->alt = (modifiers & kUiModAlt) != 0;
    d->shift = (modifiers & kUiModShift) != 0;
}

// The modifier keys of the event behind the message when it carries them, else the keyboard's.
void SampleModifiers(Ui_Dlg* d, const Ui_Msg* m) {
    if (m != nullptr && (m->modifiers & kUiModFromEvent)) {
        TakeModifiers(d, m->modifiers);
        return;
    }
    uint8_t ctrl = 0, alt = 0, shift = 0;
    Ui_Binding()->keyState(&ctrl, &alt, &shift);
    d->ctrl = ctrl != 0;
    d->alt = alt != 0;
    d->shift = shift != 0;
}

void SampleCursor(UiWindow* w, Ui_Dlg* d) {
    int16_t v = 0, h = 0;
    if (Ui_Binding()->cursorPos(w, &v, &h) == kStatusOk) {
        d->mouseV = v;
        d->mouseH = h;
    }
}

// The steps that run before every message other than font set and creation. Returns false when
// the message is to be dropped: the dialog is done, or a proc ended it.
bool CommonSteps(UiWindow* w, Ui_Dlg* d, const Ui_Msg* m) {
    if (d->done || w->ended) return false;
    Ui_Dlg_Info* info = d->info;
    if (info->firstPaintPending) {
        info->firstPaintPending = 0;
        if (info->firstPaintProc != nullptr) {
            int32_t result = info->firstPaintProc(w);
            if (EndIfDone(w, d)) return false;
            if (result != 0) {
                // Like a failed creation, a failed first paint reads as a cancel.
                d->itemHit = 2;
                Ui_Dlg_End(w);
                return false;
            }
        }
    }
    // While a press is tracked its position and keys come from its own events only.
    if (!w->tracking) {
        SampleModifiers(d, m);
        SampleCursor(w, d);
    }
    if (info->idleProc != nullptr) {
        // An idle proc ends its dialog by setting done; its result is not needed for that, since
        // a dialog left open with done set would drop every later event and never close.
        info->idleProc(w);
        if (EndIfDone(w, d)) return false;
    }
    return true;
}

const char* NotificationName(uint16_t code) {
    switch (code) {
        case kUiNotifyClicked:
            return "WM_COMMAND : BN_CLICKED";
        case kUiNotifySelChange:
            return "WM_COMMAND : CBN_SELCHANGE";
        case kUiNotifyKillFocus:
            return "WM_COMMAND : EN_KILLFOCUS";
        case kUiNotifyChange:
            return "WM_COMMAND : EN_CHANGE";
        default:
            return nullptr;
    }
}

void ItemHit(UiWindow* w, Ui_Dlg* d, int16_t item) {
    if (d->info->itemHitProc != nullptr) d->info->itemHitProc(w, item);
    EndIfDone(w, d);
}

int32_t Command(UiWindow* w, Ui_Dlg* d, const Ui_Msg* m) {
    const char* name = NotificationName(m->notification);
    if (name == nullptr) return 0;
    d->itemHit = m->item;
    d->notification = m->notification;
    // Return and Escape come here as clicks of the default or cancel button; an owner whose edit
    // field takes them itself tells them apart by this.
    d->key = uint8_t(m->key & 0xFF);
    uint8_t diagnostics = d->state->diagnostics;
    if (diagnostics == 1) {
        char line[96];
        Str_FormatN(line, sizeof line, "modal %d item = %d, (%d,%d)", d->dialogId, m->item,
                    d->mouseH, d->mouseV);
        Ui_Debug_Log(diagnostics, line);
        Ui_Debug_Log(diagnostics, name);
    }
    ItemHit(w, d, m->item);
    return 1;
}

int32_t SetCursor(UiWindow* w, Ui_Dlg* d) {
    Ui_Dlg_Info* info = d->info;
    if (info->preCursorProc != nullptr) {
        info->preCursorProc(w);
        if (EndIfDone(w, d)) return 0;
    }
    int32_t set = 0;
    if (info->modifierProc != nullptr) {
        set = info->modifierProc(w);
        if (EndIfDone(w, d)) return 0;
    }
    return set;
}

int32_t Key(UiWindow* w, Ui_Dlg* d, uint32_t key) {
    if (d->info->keyProc == nullptr) return 0;
    int32_t result = d->info->keyProc(w, uint8_t(key & 0xFF), d->ctrl);
    EndIfDone(w, d);
    return result & 0xFF;
}

void Modifier(UiWindow* w, Ui_Dlg* d) {
    if (d->info->modifierProc == nullptr) return;
    d->info->modifierProc(w);
    EndIfDone(w, d);
}

// A press on a user item: the track proc may take it (phases 0, 1, 2); a press it does not
// handle becomes an item hit.
void ButtonDown(UiWindow* w, Ui_Dlg* d, int16_t item) {
    const UiBinding* b = Ui_Binding();
    if (d->state->diagnostics == 1) {
        char line[96];
        Str_FormatN(line, sizeof line, "dlg %d user item %d, (%d,%d)", d->dialogId, item, d->mouseH,
                    d->mouseV);
        Ui_Debug_Log(1, line);
    }
    d->mouseDown = 1;
    UiTrackProc track = d->info->trackProc;
    if (track != nullptr) {
        int32_t begin = track(w, item, kUiTrackBegin);
        if (EndIfDone(w, d)) {
            d->mouseDown = 0;
            return;
        }
        if (begin == 1) {
            b->capture(w, item, 1);
            w->tracking = 1;
            for (;;) {
                int16_t v = d->mouseV, h = d->mouseH;
                uint8_t released = 0, modifiers = 0;
                if (b->trackNext(w, item, &v, &h, &released, &modifiers) != kStatusOk) break;
                d->mouseV = v;
                d->mouseH = h;
                // Each drag and the release carry the keys held then: Alt or Shift taken or let
                // go during a drag reaches the track proc at once.
                if (modifiers & kUiModFromEvent) TakeModifiers(d, modifiers);
                if (released) break;
                track(w, item, kUiTrackDrag);
                if (d->done || w->ended) break;
            }
            w->tracking = 0;
            d->mouseDown = 0;
            if (EndIfDone(w, d)) {
                b->capture(w, item, 0);
                return;
            }
            int32_t handled = track(w, item, kUiTrackEnd);
            b->capture(w, item, 0);
            if (EndIfDone(w, d)) return;
            if (handled != 0) {
                Ui_Debug_LogF(d->state->diagnostics, "...handled, item %d, (%d,%d)", item,
                              d->mouseH, d->mouseV);
                return;
            }
        }
    }
    d->mouseDown = 0;
    Ui_Debug_LogF(d->state->diagnostics, "...not handled yet, item %d, (%d,%d)", item, d->mouseH,
                  d->mouseV);
    ItemHit(w, d, item);
}

// The context menu of an item, or of the dialog for item 0 or an item that does not exist.
void ContextMenu(UiWindow* w, Ui_Dlg* d, const Ui_Msg* m) {
    if (d->info->contextProc == nullptr) return;
    const int16_t item = Ui_Item_Verify(w, m->item) == kStatusOk ? m->item : 0;
    d->itemHit = item;
    d->mouseV = m->v;
    d->mouseH = m->h;
    const int32_t result = d->info->contextProc(w, item, m->v, m->h);
    if (result != 0) {
        Ui_Debug_LogF(d->state->diagnostics, "dlg %d context menu of item %d returned %d",
                      d->dialogId, item, result);
    }
    EndIfDone(w, d);
}

void Wheel(UiWindow* w, Ui_Dlg* d, const Ui_Msg* m) {
    if (d->info->wheelProc == nullptr || m->steps == 0) return;
    const int16_t item = Ui_Item_Verify(w, m->item) == kStatusOk ? m->item : 0;
    d->mouseV = m->v;
    d->mouseH = m->h;
    const int32_t result = d->info->wheelProc(w, item, m->v, m->h, m->steps);
    if (result != 0) {
        Ui_Debug_LogF(d->state->diagnostics, "dlg %d wheel over item %d returned %d", d->dialogId,
                      item, result);
    }
    EndIfDone(w, d);
}

}  // namespace

int32_t Ui_Dlg_Proc(UiWindow* w, const Ui_Msg* m, int32_t* result) {
    if (result != nullptr) *result = 0;
    if (w == nullptr || m == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr) return 0;
    int32_t answer = 0;
    switch (m->kind) {
        case kUiMsgFontSet:
            d->info->dialogFont = m->font;
            return 1;
        case kUiMsgCreate:
            Ui_Dlg_Create(w, d);
            return 1;
        default:
            break;
    }
    // What the person changed in a control goes into the framework's record before anything else
    // hears of the command; choosing the list entry already chosen is no change and reaches
    // nobody.
    if (m->kind == kUiMsgCommand && !d->done && !w->ended &&
        Ui_Item_Verify(w, m->item) == kStatusOk &&
        !Ui_Item_TakeChange(w, m->item, m->notification)) {
        return 1;
    }
    if (!CommonSteps(w, d, m)) return 1;
    Ui_Dlg_Info* info = d->info;
    switch (m->kind) {
        case kUiMsgTimer:
            if (m->timerId == kUiIdleTimer && info->idleProc != nullptr) {
                Ui_Binding()->setTimer(w, kUiIdleTimer, kUiIdleMillis);
            }
            break;
        case kUiMsgCommand:
            Command(w, d, m);
            break;
        case kUiMsgPaint:
            if (!info->firstPaintSeen) {
                info->firstPaintSeen = 1;
                info->firstPaintPending = 1;
            }
            break;
        case kUiMsgSetCursor:
            answer = SetCursor(w, d);
            break;
        case kUiMsgKeyDown:
        case kUiMsgSysKeyDown:
            answer = Key(w, d, m->key);
            // A modifier key going down or up may change what the pointer would do here (the
            // cursor), whether or not the mouse moves.
            if (!w->ended && Ui_ModifierOfKey(m->key) != 0) Modifier(w, d);
            break;
        case kUiMsgKeyUp:
        case kUiMsgSysKeyUp:
            if (Ui_ModifierOfKey(m->key) != 0) Modifier(w, d);
            break;
        case kUiMsgSize:
            Ui_Dlg_SizeChanged(w, 1);
            break;
        case kUiMsgContextMenu:
            ContextMenu(w, d, m);
            break;
        case kUiMsgWheel:
            Wheel(w, d, m);
            break;
        case kUiMsgCtlColorButton:
        case kUiMsgCtlColorStatic:
            answer = info->customColors ? kUiBrushHollow : kUiBrushSystem;
            break;
        case kUiMsgCtlColorDialog:
            answer = info->customColors ? kUiBrushSolid : kUiBrushSystem;
            break;
        default:
            break;
    }
    if (result != nullptr) *result = answer;
    return 1;
}

int32_t Ui_UserItem_Proc(UiWindow* w, int16_t item, const Ui_Msg* m, int32_t* result) {
    if (result != nullptr) *result = 0;
    if (w == nullptr || m == nullptr) return kStatusProblem;
    if (m->kind == kUiMsgGetDlgCode) {
        if (result != nullptr) *result = kUiDlgCodeAllKeys;
        return 1;
    }
    switch (m->kind) {
        case kUiMsgPaint:
        case kUiMsgSetCursor:
        case kUiMsgKeyDown:
        case kUiMsgKeyUp:
        case kUiMsgSysKeyDown:
        case kUiMsgSysKeyUp:
        case kUiMsgLButtonDown:
            break;
        default:
            return 0;
    }
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr) return 0;
    // A dialog that is closing takes no more events; its user items still paint.
    if ((d->done || w->ended) && m->kind != kUiMsgPaint) return 1;
    if (!(1 <= item && item <= d->itemCount)) return 0;
    Ui_Dlg_Info* info = d->info;
    // Items repaint during a drag too; the press being tracked keeps its item, position and keys.
    if (m->kind == kUiMsgPaint && w->tracking) {
        if (info->drawProcs != nullptr && info->drawProcs[item - 1] != nullptr) {
            info->drawProcs[item - 1](w, item);
        }
        return 1;
    }
    d->itemHit = item;
    d->key = 0;  // a user item's hits come from the mouse
    uint8_t ctrl = d->ctrl, alt = d->alt, shift = d->shift;
    SampleModifiers(d, m);
    if (m->kind == kUiMsgLButtonDown) {
        d->mouseV = m->v;
        d->mouseH = m->h;
        d->clicks = m->clicks >= 2 ? 2 : 1;
    } else {
        SampleCursor(w, d);
    }
    int32_t answer = 0;
    switch (m->kind) {
        case kUiMsgPaint:
            if (info->drawProcs != nullptr && info->drawProcs[item - 1] != nullptr) {
                info->drawProcs[item - 1](w, item);
                EndIfDone(w, d);
            }
            break;
        case kUiMsgSetCursor:
            answer = SetCursor(w, d);
            break;
        case kUiMsgKeyDown:
            answer = Key(w, d, m->key) == 1;
            if (!w->ended && (ctrl != d->ctrl || shift != d->shift)) Modifier(w, d);
            break;
        case kUiMsgKeyUp:
            if (ctrl != d->ctrl || shift != d->shift) Modifier(w, d);
            break;
        case kUiMsgSysKeyDown:
            answer = Key(w, d, m->key) == 1;
            if (!w->ended && alt != d->alt) Modifier(w, d);
            break;
        case kUiMsgSysKeyUp:
            if (alt != d->alt) Modifier(w, d);
            break;
        case kUiMsgLButtonDown:
            ButtonDown(w, d, item);
            break;
        default:
            break;
    }
    if (result != nullptr) *result = answer;
    return 1;
}

int32_t Ui_Dlg_Colors(UiWindow* w, Ui_RGB* background, uint8_t* custom) {
    if (w == nullptr || background == nullptr || custom == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr) return kStatusError;
    *background = Ui_ColorToRGB(d->info->background);
    *custom = d->info->customColors;
    return kStatusOk;
}

uint8_t Ui_ModifierOfKey(uint32_t key) {
    switch (key & 0xFF) {
        case kUiKeyShift:
            return kUiModShift;
        case kUiKeyCtrl:
            return kUiModCtrl;
        case kUiKeyAlt:
            return kUiModAlt;
        default:
            return 0;
    }
}

int32_t Ui_Dlg_RouteKey(UiWindow* w, int16_t focusItem, uint32_t key, uint8_t modifiers,
                        uint8_t up) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr) return kStatusError;
    Ui_Msg m{};
    m.key = key;
    m.modifiers = uint8_t(modifiers | kUiModFromEvent);
    const bool alt = (modifiers & kUiModAlt) != 0;
    const Ui_DlgItem* focus = Ui_Template_Item(w->layout, focusItem);
    if (focus != nullptr && focus->kind == kUiItemUser) {
        m.kind =
            alt ? (up ? kUiMsgSysKeyUp : kUiMsgSysKeyDown) : (up ? kUiMsgKeyUp : kUiMsgKeyDown);
        return Ui_UserItem_Proc(w, focusItem, &m, nullptr);
    }
    if (up) {
        m.kind = alt ? kUiMsgSysKeyUp : kUiMsgKeyUp;  // no key proc; a modifier's is still seen
        return Ui_Dlg_Proc(w, &m, nullptr);
    }
    if ((key & 0xFF) == kUiKeyReturn || (key & 0xFF) == kUiKeyEscape) {
        m.kind = kUiMsgCommand;
        m.notification = kUiNotifyClicked;
        m.item = (key & 0xFF) == kUiKeyEscape ? 2 : (w->defaultItem > 0 ? w->defaultItem : 1);
        return Ui_Dlg_Proc(w, &m, nullptr);
    }
    m.kind = alt ? kUiMsgSysKeyDown : kUiMsgKeyDown;
    return Ui_Dlg_Proc(w, &m, nullptr);
}
