// Typed values in value boxes; see value_entry.h.
#include "edit/window/value_entry.h"

#include "platform/ui/binding.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/system.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The field holds what was typed, cut at kValueEntryMaxLength by the field itself; one more
// character of room tells an overlong text from one that just fits.
constexpr int32_t kTextRoom = kValueEntryMaxLength + 2;

}  // namespace

int32_t ValueEntryParse(const char* text, int32_t lo, int32_t hi, int32_t* value) {
    if (text == nullptr || value == nullptr) return kStatusProblem;
    const char* p = text;
    int32_t length = 0;
    while (p[length] != 0) {
        if (++length > kValueEntryMaxLength) return kStatusError;
    }
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int32_t digits = 0, number = 0;
    while ('0' <= *p && *p <= '9') {
        number = number * 10 + (*p++ - '0');  // at most six characters: no overflow
        ++digits;
    }
    while (IsBlank(*p)) ++p;
    if (digits == 0 || *p != 0) return kStatusError;
    if (negative) number = -number;
    if (number < lo || number > hi) return kStatusError;
    *value = number;
    return kStatusOk;
}

int32_t ValueEntryOpen(UiWindow* w, ValueEntry* e, int16_t box, int32_t part, const Ui_Rect* r,
                       const char* text, int32_t lo, int32_t hi) {
    if (w == nullptr || e == nullptr || r == nullptr || text == nullptr) return kStatusProblem;
    if (e->box != 0) ValueEntryFinish(w, e, true);
    if (Ui_Item_Move(w, e->field, r) != kStatusOk) return kStatusError;
    Ui_Item_SetMaxLength(w, e->field, kValueEntryMaxLength + 1);
    Ui_Item_SetText(w, e->field, text);
    e->box = box;
    e->part = part;
    e->lo = lo;
    e->hi = hi;
    Ui_Item_Show(w, box, 0);
    Ui_Item_Show(w, e->field, 1);
    // Selected whole, so that typing replaces it.
    Ui_Item_SelectText(w, e->field, 0, -1);
    return kStatusOk;
}

int32_t ValueEntryFinish(UiWindow* w, ValueEntry* e, bool apply) {
    if (w == nullptr || e == nullptr || e->box == 0) return kStatusOk;
    char text[kTextRoom] = {};
    Ui_Item_GetText(w, e->field, text, sizeof text);
    const int16_t box = e->box;
    // Closed before anything else happens: hiding the field takes its focus, and the loss of
    // the focus comes back here as an item hit that must find the entry closed.
    e->box = 0;
    Ui_Item_Show(w, e->field, 0);
    Ui_Item_Show(w, box, 1);
    Ui_Item_SetFocus(w, -1);
    Ui_Item_Invalidate(w, box);
    if (!apply) return kStatusOk;
    int32_t value = 0;
    if (ValueEntryParse(text, e->lo, e->hi, &value) != kStatusOk) {
        Ui_Beep();
        return kStatusOk;
    }
    return e->apply != nullptr ? e->apply(w, box, e->part, value) : kStatusOk;
}

bool ValueEntryItemHit(UiWindow* w, ValueEntry* e, int16_t item, int32_t* status) {
    if (status != nullptr) *status = kStatusOk;
    if (w == nullptr || e == nullptr || e->box == 0) return false;
    Ui_Dlg* d = nullptr;
    if (Ui_Dlg_Get(w, &d) != kStatusOk || d == nullptr) return false;
    int32_t applied = kStatusOk;
    bool taken = true;
    if (item == e->field) {
        // Typing itself changes nothing until the field is left.
        if (d->notification == kUiNotifyKillFocus) applied = ValueEntryFinish(w, e, true);
    } else if (d->key == kUiKeyEscape) {
        ValueEntryFinish(w, e, false);
    } else if (d->key == kUiKeyReturn) {
        char text[kTextRoom] = {};
        Ui_Item_GetText(w, e->field, text, sizeof text);
        int32_t value = 0;
        if (ValueEntryParse(text, e->lo, e->hi, &value) != kStatusOk) {
            Ui_Beep();
            Ui_Item_SelectText(w, e->field, 0, -1);
        } else {
            applied = ValueEntryFinish(w, e, true);
        }
    } else {
        applied = ValueEntryFinish(w, e, true);
        taken = false;
    }
    if (status != nullptr) *status = applied;
    return taken;
}
