// The framework's record of each item's state; see item_state.h.
#include "platform/ui/item_state.h"

#include "platform/mem.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"
#include "platform/ui/dlg_internal.h"

namespace {

// Texts grow in steps, so that a value box that changes on every drag takes no new block each
// time.
constexpr int32_t kTextStep = 32;

}  // namespace

Ui_ItemState* Ui_Item_State(UiWindow* dialog, int16_t item) {
    return &Ui_Dlg_Record(dialog)->info->itemStates[item - 1];
}

const char* Ui_Item_Text(UiWindow* dialog, int16_t item) {
    const Ui_ItemState* s = Ui_Item_State(dialog, item);
    if (s->text != nullptr) return s->text;
    // A list shows the entry chosen, never the template's text.
    const Ui_DlgItem* it = Ui_Template_Item(dialog->layout, item);
    return it != nullptr && it->kind != kUiItemCombo ? it->text : "";
}

int32_t Ui_Item_StoreText(UiWindow* dialog, int16_t item, const char* text) {
    Ui_ItemState* s = Ui_Item_State(dialog, item);
    size_t length = Str_Length(text);
    if (length > size_t(kUiItemTextMax - 1)) length = size_t(kUiItemTextMax - 1);
    const Ui_DlgItem* it = Ui_Template_Item(dialog->layout, item);
    if (it != nullptr && it->kind == kUiItemEdit && s->maxLength > 0 &&
        length > size_t(s->maxLength)) {
        length = size_t(s->maxLength);
    }
    if (int32_t(length) >= s->capacity) {
        const int32_t capacity = (int32_t(length) / kTextStep + 1) * kTextStep;
        auto* grown = static_cast<char*>(Mem_Alloc(uint32_t(capacity)));
        if (grown == nullptr) return kStatusNoMemory;
        Mem_Free(s->text);
        s->text = grown;
        s->capacity = capacity;
    }
    Mem_Copy(s->text, text, length);
    s->text[length] = 0;
    return kStatusOk;
}

bool Ui_Item_TakeChange(UiWindow* dialog, int16_t item, uint16_t notification) {
    const Ui_DlgItem* it = Ui_Template_Item(dialog->layout, item);
    if (it == nullptr) return true;
    const UiBinding* b = Ui_Binding();
    Ui_ItemState* s = Ui_Item_State(dialog, item);
    if (it->kind == kUiItemCheck && notification == kUiNotifyClicked) {
        // An owner that toggles its box itself keeps the state it had until it acts.
        if (it->flags & kUiFlagAuto) s->check = s->check == 0 ? 1 : 0;
        b->itemSetCheck(dialog, item, s->check);
        return true;
    }
    if (it->kind == kUiItemCombo && notification == kUiNotifySelChange) {
        int32_t chosen = -1;
        if (b->listGetSelection(dialog, item, &chosen) != kStatusOk) return true;
        // Only a choice of the entry that is chosen already is no change; a notification with
        // nothing chosen is passed on as it came.
        if (chosen >= 0 && chosen == s->listChoice) return false;
        s->listChoice = chosen;
        return true;
    }
    if (it->kind == kUiItemEdit && notification == kUiNotifyChange) {
        char typed[kUiItemTextMax];
        typed[0] = 0;
        if (b->itemGetText(dialog, item, typed, kUiItemTextMax) == kStatusOk) {
            Ui_Item_StoreText(dialog, item, typed);
        }
    }
    return true;
}
