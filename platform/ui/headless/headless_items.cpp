// The items of a headless window as the widgets a person would see: each shows what the
// framework's record of the item holds (item_state.h) and reports what the script changes in it
// (a click, a list entry chosen, text typed), as a toolkit's widgets do. Tests read these widgets
// (UiHeadlessItem) to see what a person would see. See headless_internal.h for the other parts.
#include "platform/mem.h"
#include "platform/ui/controls.h"
#include "platform/ui/headless/headless_internal.h"

namespace kolmara_headless {

void Command(UiWindow* w, int16_t item, uint16_t notification) {
    Ui_Msg m{};
    m.kind = kUiMsgCommand;
    m.item = item;
    m.notification = notification;
    m.modifiers = Modifiers();
    Ui_Dlg_Proc(w, &m, nullptr);
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
    // User items show the focus in their drawing: both are drawn again.
    if (previous != item && old != nullptr && old->kind == kUiItemUser) {
        Ui_Item_Invalidate(w, previous);
    }
    if (previous != item && it->kind == kUiItemUser) Ui_Item_Invalidate(w, item);
    return kStatusOk;
}

namespace {

int16_t FocusItem(UiWindow* w) {
    const UiHeadlessWindow* hw = Hw(w);
    return hw != nullptr && hw->focus > 0 ? hw->focus : 0;
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

// The text typed into an edit field, which the framework asks for when the field reports a
// change.
int32_t ItemGetText(UiWindow* w, int16_t item, char* text, int32_t capacity) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    Str_CopyBounded(text, size_t(capacity), it->text);
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

int32_t ItemSetTip(UiWindow* w, int16_t item, const char* text) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    Str_CopyBounded(it->tip, sizeof it->tip, text);
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

int32_t ItemSetMaxLength(UiWindow* w, int16_t item, int32_t count) {
    UiHeadlessItem* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->maxLength = count;
    if (count > 0 && Str_Length(it->text) > size_t(count)) it->text[count] = 0;
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

}  // namespace

void FillItemOps(UiBinding* b) {
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
    b->itemSetTip = ItemSetTip;
    b->itemSelectText = ItemSelectText;
    b->itemPlainStyle = ItemPlainStyle;
    b->itemSetMaxLength = ItemSetMaxLength;
    b->listClear = ListClear;
    b->listAdd = ListAdd;
    b->listGetSelection = ListGetSelection;
    b->listSetSelection = ListSetSelection;
}

}  // namespace kolmara_headless
