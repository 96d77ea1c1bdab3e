// Control helpers; see controls.h. What an item holds is the framework's record (item_state.h):
// the helpers read and change it there and have the binding show each change.
#include "platform/ui/controls.h"

#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/item_state.h"
#include "platform/ui/rect.h"

namespace {

int32_t Platform(int32_t status) {
    return status == kStatusOk ? kStatusOk : kStatusError;
}

uint8_t KindOf(UiWindow* w, int16_t item) {
    const Ui_DlgItem* it = Ui_Template_Item(w->layout, item);
    return it != nullptr ? it->kind : 0;
}

// Checks the dialog and item, and that the item is of the kind a helper works on.
int32_t CheckKind(UiWindow* w, int16_t item, uint8_t kind) {
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    return KindOf(w, item) == kind ? kStatusOk : kStatusError;
}

int32_t DrawAs(UiWindow* w, int16_t item, int16_t look) {
    Ui_Dlg* d = Ui_Dlg_Record(w);
    UiDrawProc draw = d->info->drawProcs != nullptr ? d->info->drawProcs[item - 1] : nullptr;
    if (draw != nullptr) draw(w, look);
    return kStatusOk;
}

}  // namespace

int32_t Ui_Item_Verify(UiWindow* w, int16_t item) {
    if (w == nullptr) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr || w->native == nullptr || d->info->itemStates == nullptr) return kStatusError;
    if (!(1 <= item && item <= w->layout->itemCount)) return kStatusError;
    return kStatusOk;
}

int32_t Ui_Item_SetDefault(UiWindow* w, int16_t item) {
    int32_t status = CheckKind(w, item, kUiItemButton);
    if (status != kStatusOk) return status;
    status = Ui_Binding()->itemSetDefault(w, item);
    if (status != kStatusOk) return kStatusError;
    w->defaultItem = item;
    return Platform(Ui_Binding()->itemSetFocus(w, item));
}

int32_t Ui_Item_GetCheck(UiWindow* w, int16_t item, int32_t* state) {
    if (state == nullptr) return kStatusProblem;
    *state = 0;
    int32_t status = CheckKind(w, item, kUiItemCheck);
    if (status != kStatusOk) return status;
    *state = Ui_Item_State(w, item)->check;
    return kStatusOk;
}

int32_t Ui_Item_SetCheck(UiWindow* w, int16_t item, int32_t state) {
    int32_t status = CheckKind(w, item, kUiItemCheck);
    if (status != kStatusOk) return status;
    if (!(0 <= state && state <= 2)) return kStatusProblem;
    Ui_Item_State(w, item)->check = state;
    return Platform(Ui_Binding()->itemSetCheck(w, item, state));
}

int32_t Ui_Item_ToggleCheck(UiWindow* w, int16_t item, int32_t* state) {
    if (state == nullptr) return kStatusProblem;
    int32_t current = 0;
    int32_t status = Ui_Item_GetCheck(w, item, &current);
    if (status != kStatusOk) return status;
    *state = current == 0 ? 1 : 0;
    return Ui_Item_SetCheck(w, item, *state);
}

int32_t Ui_Item_Enable(UiWindow* w, int16_t item, uint8_t on) {
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    return Platform(Ui_Binding()->itemEnable(w, item, on != 0));
}

int32_t Ui_Item_Show(UiWindow* w, int16_t item, uint8_t on) {
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    status = Platform(Ui_Binding()->itemShow(w, item, on != 0));
    const Ui_ItemLink& link = Ui_Dlg_Record(w)->info->links[item - 1];
    // Only one step along the link: a companion that links back cannot loop.
    if (status == kStatusOk && link.flag && Ui_Item_Verify(w, link.companion) == kStatusOk) {
        status = Platform(Ui_Binding()->itemShow(w, link.companion, on != 0));
    }
    return status;
}

int32_t Ui_Item_SetLink(UiWindow* w, int16_t item, int16_t companion) {
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    if (companion != 0 && (companion == item || Ui_Item_Verify(w, companion) != kStatusOk)) {
        return kStatusError;
    }
    Ui_ItemLink& link = Ui_Dlg_Record(w)->info->links[item - 1];
    link.flag = companion != 0;
    link.companion = companion;
    return kStatusOk;
}

int32_t Ui_Item_GetText(UiWindow* w, int16_t item, char* text, int32_t capacity) {
    if (text == nullptr || capacity < 1) return kStatusProblem;
    text[0] = 0;
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    const Ui_DlgItem* it = Ui_Template_Item(w->layout, item);
    if (it->kind == kUiItemCombo) {
        // A list's text is its entry chosen, as the string table has it.
        const Ui_ItemState* s = Ui_Item_State(w, item);
        const Ui_ItemLink& link = Ui_Dlg_Record(w)->info->links[item - 1];
        char entry[256];
        if (link.hasList && 0 <= s->listChoice && s->listChoice < link.listCount) {
            Str_CopyBounded(text, size_t(capacity),
                            Ui_ResToCString(w->state, link.ids[s->listChoice], entry));
        }
    } else {
        Str_CopyBounded(text, size_t(capacity), Ui_Item_Text(w, item));
    }
    return text[0] == 0 ? kStatusError : kStatusOk;
}

int32_t Ui_Item_SetText(UiWindow* w, int16_t item, const char* text) {
    if (text == nullptr) return kStatusProblem;
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    if (Str_Compare(Ui_Item_Text(w, item), text) == 0) return kStatusOk;
    status = Ui_Item_StoreText(w, item, text);
    if (status != kStatusOk) return status;
    // The binding shows the record's text: an edit field's is cut to its limit already.
    return Platform(Ui_Binding()->itemSetText(w, item, Ui_Item_Text(w, item)));
}

int32_t Ui_Item_SetMaxLength(UiWindow* w, int16_t item, int32_t count) {
    int32_t status = CheckKind(w, item, kUiItemEdit);
    if (status != kStatusOk) return status;
    if (!(0 <= count && count <= 32767)) return kStatusProblem;
    Ui_ItemState* s = Ui_Item_State(w, item);
    s->maxLength = count;
    // A text already longer is cut now: the record first, and the field shows what it keeps.
    if (count > 0 && Str_Length(Ui_Item_Text(w, item)) > size_t(count)) {
        if (s->text != nullptr) {
            s->text[count] = 0;
        } else {
            status = Ui_Item_StoreText(w, item, Ui_Item_Text(w, item));
            if (status != kStatusOk) return status;
        }
    }
    return Platform(Ui_Binding()->itemSetMaxLength(w, item, count));
}

int32_t Ui_List_Fill(UiWindow* w, int16_t item, int32_t firstId, int32_t lastId) {
    int32_t status = CheckKind(w, item, kUiItemCombo);
    if (status != kStatusOk) return status;
    if (firstId < 0 || lastId < firstId || lastId - firstId >= 1000) return kStatusProblem;
    const UiBinding* b = Ui_Binding();
    Ui_ItemLink& link = Ui_Dlg_Record(w)->info->links[item - 1];
    int32_t count = lastId - firstId + 1;
    auto* ids = static_cast<int32_t*>(Mem_Alloc(uint32_t(count) * sizeof(int32_t)));
    if (ids == nullptr) return kStatusNoMemory;
    if (b->listClear(w, item) != kStatusOk) {
        Mem_Free(ids);
        return kStatusError;
    }
    Ui_ItemState* s = Ui_Item_State(w, item);
    s->listCount = 0;
    s->listChoice = -1;
    char text[256];
    for (int32_t i = 0; i < count; ++i) {
        ids[s->listCount] = firstId + i;
        if (b->listAdd(w, item, Ui_ResToCString(w->state, firstId + i, text)) != kStatusOk) {
            status = kStatusError;
        } else {
            ++s->listCount;  // the entries the binding shows are the entries there are
        }
    }
    Mem_Free(link.ids);
    link.ids = ids;
    link.hasList = 1;
    link.firstId = firstId;
    link.listCount = int16_t(s->listCount);
    return status;
}

int32_t Ui_List_GetSelection(UiWindow* w, int16_t item, int32_t* index) {
    if (index == nullptr) return kStatusProblem;
    *index = 0;
    int32_t status = CheckKind(w, item, kUiItemCombo);
    if (status != kStatusOk) return status;
    const int32_t zeroBased = Ui_Item_State(w, item)->listChoice;
    *index = zeroBased < 0 ? 0 : zeroBased + 1;
    return kStatusOk;
}

int32_t Ui_List_SetSelection(UiWindow* w, int16_t item, int32_t index) {
    int32_t status = CheckKind(w, item, kUiItemCombo);
    if (status != kStatusOk) return status;
    Ui_ItemState* s = Ui_Item_State(w, item);
    if (!(1 <= index && index <= s->listCount)) return kStatusError;
    status = Platform(Ui_Binding()->listSetSelection(w, item, index - 1));
    if (status == kStatusOk) s->listChoice = index - 1;
    return status;
}

int32_t Ui_List_NumberLinked(UiWindow* w, int32_t* count) {
    if (w == nullptr || count == nullptr) return kStatusProblem;
    *count = 0;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (d == nullptr || d->info->links == nullptr) return kStatusError;
    int32_t next = d->itemCount;
    for (int32_t i = 0; i < d->itemCount; ++i) {
        Ui_ItemLink& link = d->info->links[i];
        link.listNumber = link.hasList ? int16_t(++next) : 0;
    }
    *count = next - d->itemCount;
    return kStatusOk;
}

int32_t Ui_List_StringId(UiWindow* w, int16_t item, int32_t index, int32_t* id) {
    if (id == nullptr) return kStatusProblem;
    *id = 0;
    int32_t status = CheckKind(w, item, kUiItemCombo);
    if (status != kStatusOk) return status;
    const Ui_ItemLink& link = Ui_Dlg_Record(w)->info->links[item - 1];
    if (!link.hasList || !(1 <= index && index <= link.listCount)) return kStatusError;
    *id = link.ids[index - 1];
    return kStatusOk;
}

int32_t Ui_Item_GetRect(UiWindow* w, int16_t item, Ui_Rect* r) {
    if (r == nullptr) return kStatusProblem;
    *r = Ui_Rect{0, 0, 1, 1};
    int32_t status = Ui_Item_Verify(w, item);
    if (status == kStatusProblem) return status;
    if (status != kStatusOk || Ui_Binding()->itemGetRect(w, item, r) != kStatusOk) {
        *r = Ui_Rect{0, 0, 1, 1};
        return kStatusError;
    }
    return kStatusOk;
}

int32_t Ui_Item_SetTips(UiWindow* w, const Ui_ItemTip* tips, int32_t count) {
    if (tips == nullptr || count < 0) return kStatusProblem;
    const UiBinding* b = Ui_Binding();
    int32_t first = kStatusOk;
    for (int32_t i = 0; i < count; ++i) {
        int32_t status = Ui_Item_Verify(w, tips[i].item);
        if (status == kStatusOk) {
            char text[256];
            Ui_ResToCString(w->state, tips[i].textId, text);
            status = b->itemSetTip != nullptr ? Platform(b->itemSetTip(w, tips[i].item, text))
                                              : kStatusError;
        }
        if (first == kStatusOk) first = status;
    }
    return first;
}

int32_t Ui_Item_SetTipText(UiWindow* w, int16_t item, const char* text) {
    if (text == nullptr) return kStatusProblem;
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    const UiBinding* b = Ui_Binding();
    return b->itemSetTip != nullptr ? Platform(b->itemSetTip(w, item, text)) : kStatusError;
}

int32_t Ui_Item_Move(UiWindow* w, int16_t item, const Ui_Rect* r) {
    if (r == nullptr) return kStatusProblem;
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    if (r->right < r->left || r->bottom < r->top) return kStatusProblem;
    return Platform(Ui_Binding()->itemMove(w, item, r));
}

int32_t Ui_Item_SelectText(UiWindow* w, int16_t item, int32_t first, int32_t last) {
    int32_t status = CheckKind(w, item, kUiItemEdit);
    if (status != kStatusOk) return status;
    const UiBinding* b = Ui_Binding();
    if (last < first) {
        first = 0;
        last = -1;
    }
    if (b->itemSelectText(w, item, first, last) != kStatusOk) return kStatusError;
    if (!b->isForeground(w)) return kStatusUnsupported;
    return Platform(b->itemSetFocus(w, item));
}

int32_t Ui_Item_SetFocus(UiWindow* w, int16_t item) {
    if (w == nullptr) return kStatusProblem;
    if (item < 0) {
        if (Ui_Dlg_Record(w) == nullptr) return kStatusError;
        return Platform(Ui_Binding()->itemSetFocus(w, -1));
    }
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    return Platform(Ui_Binding()->itemSetFocus(w, item));
}

int16_t Ui_Item_Focused(UiWindow* w) {
    if (w == nullptr || Ui_Dlg_Record(w) == nullptr) return 0;
    const UiBinding* b = Ui_Binding();
    return b->focusItem != nullptr ? b->focusItem(w) : 0;
}

int32_t Ui_Item_SetTabStop(UiWindow* w, int16_t item, uint8_t on) {
    int32_t status = CheckKind(w, item, kUiItemUser);
    if (status != kStatusOk) return status;
    // The layout is the dialog's own copy: the flag lasts as long as the dialog.
    uint32_t& flags = w->layout->items[item - 1].flags;
    flags = on ? (flags | kUiFlagTabStop) : (flags & ~uint32_t(kUiFlagTabStop));
    return kStatusOk;
}

int32_t Ui_Item_Invalidate(UiWindow* w, int16_t item) {
    if (w == nullptr) return kStatusProblem;
    if (item == 0) {
        if (Ui_Dlg_Record(w) == nullptr) return kStatusError;
        return Platform(Ui_Binding()->invalidate(w, nullptr));
    }
    Ui_Rect r;
    int32_t status = Ui_Item_GetRect(w, item, &r);
    if (status != kStatusOk) return status;
    return Platform(Ui_Binding()->invalidate(w, &r));
}

int32_t Ui_Item_PlainStyle(UiWindow* w, int16_t item) {
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    return Platform(Ui_Binding()->itemPlainStyle(w, item));
}

int32_t Ui_Item_TrackButton(UiWindow* w, int16_t item, int16_t phase, uint8_t wasInside) {
    int32_t status = Ui_Item_Verify(w, item);
    if (status != kStatusOk) return status;
    if (!(kUiTrackBegin <= phase && phase <= kUiTrackEnd)) return kStatusProblem;
    Ui_Dlg* d = Ui_Dlg_Record(w);
    if (phase == kUiTrackBegin) {
        DrawAs(w, item, int16_t(-item));
        return 1;
    }
    Ui_Rect r;
    if (Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    uint8_t inside = Ui_Rect_ContainsPoint(&r, d->mouseV, d->mouseH);
    if (phase == kUiTrackDrag) {
        if (wasInside && !inside) DrawAs(w, item, item);
        if (!wasInside && inside) DrawAs(w, item, int16_t(-item));
    } else if (inside || wasInside) {
        // The press is over: a button still drawn pressed (released outside without a move
        // out first) goes back to normal too.
        DrawAs(w, item, item);
    }
    return inside;
}
