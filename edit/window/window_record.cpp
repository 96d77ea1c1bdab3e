// What every part of the editing window does with its run record: finding it from the dialog,
// telling a failure, and beginning a change that Undo takes back; see window_record.h. The
// parts call these and nothing of editing_window.cpp, which only opens the window and hands its
// events to the parts.
#include "edit/window/window_record.h"

#include "edit/edit_snapshot.h"
#include "edit/edit_step_name.h"
#include "edit/window/window_env.h"
#include "platform/format.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

EditingWindow* EditorOf(UiWindow* dialog) {
    return Ui_Dlg_UserData<EditingWindow>(dialog);
}

Ui_Dlg* EditorDialogRecord(UiWindow* dialog) {
    Ui_Dlg* d = nullptr;
    return Ui_Dlg_Get(dialog, &d) == kStatusOk ? d : nullptr;
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

void EditorNameUndoSteps(EditingWindow* win) {
    UiState* state = win->env->state;
    EditSnapshot current;
    EditSnapshotTake(win->es, &current);
    const struct {
        int16_t item;
        bool undo;
        int32_t plainTip, namedTip;
    } buttons[] = {{kEditorUndo, true, kStrTipEditorUndo, kStrTipUndoStep},
                   {kEditorRedo, false, kStrTipEditorRedo, kStrTipRedoStep}};
    for (const auto& b : buttons) {
        const EditSnapshot* step = EditHistoryNext(&win->history, current, b.undo);
        Ui_Item_Enable(win->dialog, b.item, step != nullptr ? 1 : 0);
        char tip[512], name[256], form[256];
        if (step == nullptr) {
            Ui_ResToCString(state, b.plainTip, tip);
        } else {
            // Undo names what it takes back (step -> current), Redo what it brings back.
            const int32_t id =
                b.undo ? EditStepNameId(*step, current) : EditStepNameId(current, *step);
            Ui_ResToCString(state, id, name);
            Str_FormatPhrase(tip, sizeof tip, Ui_ResToCString(state, b.namedTip, form), 0, name);
        }
        Ui_Item_SetTipText(win->dialog, b.item, tip);
    }
}

bool EditorAltClick(EditingWindow* win) {
    if (win->altRoute != 0) return true;
    Ui_Dlg* d = nullptr;
    return Ui_Dlg_Get(win->dialog, &d) == kStatusOk && d != nullptr && d->alt != 0;
}
