// Numbers typed into the value boxes of the editing window's tools (value_entry.h): a click on a
// box opens the entry over it, and the number goes to the tool as one history step.
#include "edit/window/window_typed_values.h"

#include "edit/window/window_record.h"
#include "edit/window/window_tools.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_editor.h"

namespace {

int32_t Apply(UiWindow* w, int16_t box, int32_t part, int32_t value) {
    EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    Ui_Failure failure;
    const int32_t status = EditorSetToolValue(win, box, part, value, &failure);
    // The entry's own routes (Return, leaving the field) have no failure to hand on: told here.
    EditorTell(win, &failure);
    return status;
}

ValueEntry* EntryOf(EditingWindow* win) {
    ValueEntry* e = &win->valueEntry;
    e->field = kEditorValueEntry;
    e->apply = Apply;
    return e;
}

}  // namespace

bool EditorTypedValueHit(EditingWindow* win, int16_t item, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    ValueEntry* e = EntryOf(win);
    // Apply tells its own failure, whichever route closed the entry.
    if (ValueEntryItemHit(win->dialog, e, item, nullptr)) return true;
    Ui_Dlg* d = nullptr;
    if (Ui_Dlg_Get(win->dialog, &d) != kStatusOk || d == nullptr) return false;
    EditorToolValue value;
    if (EditorToolValueAt(win, item, Ui_Point{d->mouseV, d->mouseH}, &value) != kStatusOk) {
        return false;
    }
    ValueEntryOpen(win->dialog, e, item, value.part, &value.rect, value.text, value.lo, value.hi);
    return true;
}

void EditorTypedValueFinish(EditingWindow* win) {
    ValueEntryFinish(win->dialog, EntryOf(win), true);
}
