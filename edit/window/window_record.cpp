// What every part of the editing window does with its run record: finding it from the dialog,
// telling a failure, and beginning a change that Undo takes back; see window_internal.h. The
// parts call these and nothing of editing_window.cpp, which only opens the window and hands its
// events to the parts.
#include "edit/edit_snapshot.h"
#include "edit/window/window_internal.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_editor.h"

EditingWindow* EditorOf(UiWindow* dialog) {
    return Ui_Dlg_UserData<EditingWindow>(dialog);
}

void EditorTell(EditingWindow* win, const Ui_Failure* failure) {
    if (win == nullptr || failure == nullptr || failure->status == kStatusOk ||
        failure->status == kStatusCancelled) {
        return;
    }
    ++win->failures;
    Ui_Failure_Show(win->env->state, failure);
}

void EditorBeginChange(EditingWindow* win) {
    EditSnapshotTake(win->es, &win->es->undo);
    EditorRecordStep(win);
}

void EditorRecordStep(EditingWindow* win) {
    // A step that cannot be kept (no memory at all) leaves the change without undo; the change
    // itself goes on.
    EditHistoryPush(&win->history, win->es->undo);
    EditorRefreshUndo(win);
}

void EditorRefreshUndo(EditingWindow* win) {
    Ui_Item_Enable(win->dialog, kEditorUndo, win->history.undoCount > 0 ? 1 : 0);
    Ui_Item_Enable(win->dialog, kEditorRedo, win->history.redoCount > 0 ? 1 : 0);
}
