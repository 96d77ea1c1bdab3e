// What the editing window's buttons, boxes and lists do: the start buttons (all tools and the
// current tab), the boxes, the views, undo and redo, the dialogs it opens, saving the custom
// settings, and closing with OK or Cancel.
//
// Every change of the live parameters takes the undo snapshot first (a step of the window's
// history, edit/edit_history.h) and ends with both preview transforms rebuilt. Failures are
// described in a Ui_Failure for the window's item handler, which shows the one alert; only the
// working-space question is asked here, since its answer decides whether the change goes on.
#include "edit/window/window_commands.h"

#include <cstring>

#include "edit/keenhue.h"
#include "edit/pars_text.h"
#include "edit/pars_vector.h"
#include "edit/settings_text.h"
#include "edit/window/help_window.h"
#include "edit/window/prefs_dialog.h"
#include "edit/window/sharpen_noise_dialog.h"
#include "edit/window/readouts.h"
#include "edit/window/window_env.h"
#include "edit/window/window_record.h"
#include "edit/window/window_refresh.h"
#include "edit/window/window_auto_settings.h"
#include "edit/window/window_layout.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_status.h"
#include "edit/window/window_export.h"
#include "edit/window/window_color_tools.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/choosers.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// The groups each tab's tool owns, and those of every tool right of it (itself included, and
// the tools from the next one on).
constexpr HgEditMask kTabMask[4] = {kEditMaskTool1, kEditMaskTool2, kEditMaskTool3, kEditMaskTool4};
constexpr HgEditMask kFromTab[4] = {kEditMaskFromTool1, kEditMaskFromTool2, kEditMaskFromTool3,
                                    kEditMaskFromTool4};

enum StartAction { kStartActionKeenhue, kStartActionPrev, kStartActionCustom, kStartActionReset };

int32_t WritePrefs(EditingWindow* win, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (win->env->writePrefs == nullptr) return kStatusOk;
    return win->env->writePrefs(win->env->context, failure);
}

// The tools after a change: the boxes follow the parameters, tab 1's histogram is measured
// again, both transforms are rebuilt.
int32_t Settle(EditingWindow* win, Ui_Failure* failure) {
    EditorRefreshBoxes(win);
    Ui_Item_Invalidate(win->dialog, kEditorHistogram);
    return EditorRebuildTransforms(win, failure);
}

// Ends a change: the boxes follow the parameters (settle) and both transforms are rebuilt. The
// change's own failure (status) is told before a failing rebuild.
int32_t Finish(EditingWindow* win, int32_t status, bool settle, Ui_Failure* failure) {
    Ui_Failure rebuilt;
    const int32_t rebuild = settle ? Settle(win, &rebuilt) : EditorRebuildTransforms(win, &rebuilt);
    if (status != kStatusOk) return status;
    if (rebuild != kStatusOk && failure != nullptr) *failure = rebuilt;
    return rebuild;
}

// Reads a custom settings file the person chooses into prefs->customSettings. A file that cannot
// be read leaves the preferences as they were.
int32_t LoadCustomSettings(EditingWindow* win, Ui_Failure* failure) {
    UiState* state = win->env->state;
    Prefs* prefs = win->env->prefs;
    char title[256], prompt[256], path[kPathSize];
    Ui_ResToCString(state, kStrLoadTitle, title);
    Ui_ResToCString(state, kStrSelectCustomSettings, prompt);
    path[0] = 0;
    int32_t status =
        Ui_Choose_Open(state, title, prompt, prefs->customFolder, kStrFilterText, path);
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseChooseFile);
    MemBlock<EditPars> block;
    if (!block.Allocate(1))
        return Ui_Failure_Describe(failure, kStatusNoMemory, kPhraseReadFile, 0, path);
    EditPars* loaded = block.get();
    *loaded = prefs->customSettings;
    status = ReadParsText(path, loaded);
    if (status == kStatusFormat) {
        // A colour part saved alone: the sharpen and noise settings stay those of the custom set.
        *loaded = prefs->customSettings;
        FLSpec spec;
        FLSpecDisk(&spec, path);
        status = HgReadSettings(loaded, &spec);
        loaded->sharpenNoise = prefs->customSettings.sharpenNoise;
    }
    // A sharpen or noise value replaced by its default still leaves usable settings.
    if (status != kStatusOk && status != kStatusUnsupported) {
        return Ui_Failure_Describe(failure, status, kPhraseReadFile, 0, path);
    }
    prefs->customSettings = *loaded;
    Ui_Path_Folder(path, prefs->customFolder);
    Str_CopyBounded(prefs->customName, sizeof prefs->customName, Ui_Path_FileName(path));
    return kStatusOk;
}

// Whether "Custom" has anything to apply: settings loaded from a file (they have its name), or
// settings that differ from a fresh record. The second covers what keeps settings without a name:
// an older preferences file, and "Restore Defaults", which forgets the name and keeps the
// settings. When it cannot be told (no memory), the button acts as it always did.
bool HasCustomSettings(const Prefs* prefs) {
    if (prefs->customName[0] != 0) return true;
    MemBlock<EditPars> fresh(1);
    MemBlock<float> vectors(2 * kParsVectorCount);
    if (fresh.get() == nullptr || vectors.get() == nullptr) return true;
    float* custom = vectors.get();
    float* plain = custom + kParsVectorCount;
    // The reference space is the working space's, not something "Custom" brings: taken over, so
    // that a stored copy (its figures rounded through the file) compares as the fresh one.
    if (SetParsDefaults(fresh.get()) != kStatusOk) return true;
    fresh.get()->refRGB = prefs->customSettings.refRGB;
    if (ParsToVector(&prefs->customSettings, custom, kParsVectorCount) != kStatusOk ||
        ParsToVector(fresh.get(), plain, kParsVectorCount) != kStatusOk) {
        return true;
    }
    return std::memcmp(custom, plain, sizeof(float) * kParsVectorCount) != 0;
}

// The start buttons: master (all tools) or the current tab's.
int32_t StartButton(EditingWindow* win, StartAction action, bool master, Ui_Failure* failure) {
    EditState* es = win->es;
    Prefs* prefs = win->env->prefs;
    const int32_t tab = es->currentTab;
    const HgEditMask mask = master ? HgEditMask(kEditMaskAll) : kTabMask[tab];
    if (master && action == kStartActionCustom && EditorAltClick(win)) {
        const int32_t status = LoadCustomSettings(win, failure);
        if (status != kStatusOk) return status;
    }
    // With nothing loaded "Custom" would quietly act as "Reset": it says so and changes nothing.
    if (action == kStartActionCustom && !HasCustomSettings(prefs)) {
        return Ui_Failure_DescribeText(failure, kStatusError, kStrCustomNothingLoaded,
                                       kUiFailCaution);
    }
    EditorBeginChange(win);
    int32_t status = kStatusOk;
    switch (action) {
        case kStartActionKeenhue: {
            const HgEditMask m = !master && win->keenhueMode != 0 ? kFromTab[tab] : mask;
            // The buttons' full analysis, not the quick follow-up of Keenhue Mode during drags.
            EditorBusy busy(win, kStrKeenhueWorking);
            status = ResetEditStatePars(es, m);
            if (status == kStatusOk) status = EditorAutoSettings(win, m, failure);
            if (master) es->balanceMethod = kBalanceNeutrals;
            break;
        }
        case kStartActionPrev:
        case kStartActionCustom: {
            const EditPars* from =
                action == kStartActionPrev ? &prefs->previousSettings : &prefs->customSettings;
            status = CopyParsMasked(from, es, mask, win->env->state, win->env->confirmSpace);
            if (status == kStatusCancelled) {
                es->editPars = es->undo.pars;
                return status;
            }
            if (status != kStatusOk) Ui_Failure_Describe(failure, status, kPhraseInitPars);
            break;
        }
        case kStartActionReset:
            status = ResetEditStatePars(es, mask);
            if (status != kStatusOk) Ui_Failure_Describe(failure, status, kPhraseInitPars);
            break;
    }
    if (status == kStatusOk && action != kStartActionKeenhue) {
        if (master) {
            win->keenhueMode = 0;
            prefs->keenhueMode = 0;
            Ui_Item_SetCheck(win->dialog, kEditorKeenhueMode, 0);
        } else {
            status = EditorKeenhueModeFollows(win, tab, failure);
        }
    }
    EditorLayOutTab(win);
    return Finish(win, status, true, failure);
}

int32_t ToggleKeenhueMode(EditingWindow* win, Ui_Failure* failure) {
    win->keenhueMode = win->keenhueMode != 0 ? 0 : 1;
    win->env->prefs->keenhueMode = win->keenhueMode;
    Ui_Item_SetCheck(win->dialog, kEditorKeenhueMode, win->keenhueMode);
    if (win->keenhueMode == 0) {
        EditorRedrawPreview(win);
        return kStatusOk;
    }
    EditorBeginChange(win);
    EditorBusy busy(win, kStrKeenhueWorking);
    int32_t status = EditorAutoSettings(win, kEditMaskAll, failure);
    win->es->balanceMethod = kBalanceNeutrals;
    EditorLayOutTab(win);
    return Finish(win, status, true, failure);
}

int32_t ToggleLinear(EditingWindow* win, Ui_Failure* failure) {
    EditState* es = win->es;
    if (es->bitsPerChannel != 16) return kStatusOk;
    EditorBeginChange(win);
    es->editPars.linear = es->editPars.linear != 0 ? 0 : 1;
    int32_t status = kStatusOk;
    if (win->keenhueMode != 0) status = EditorAutoSettings(win, kEditMaskFromTool1, failure);
    return Finish(win, status, true, failure);
}

// Undo (back) or Redo: the state of the history's step, shown as it was.
int32_t StepHistory(EditingWindow* win, bool back, Ui_Failure* failure) {
    EditState* es = win->es;
    EditSnapshot current, step;
    EditSnapshotTake(es, &current);
    const bool moved = back ? EditHistoryUndo(&win->history, current, &step)
                            : EditHistoryRedo(&win->history, current, &step);
    EditorRefreshUndo(win);
    if (!moved) return kStatusOk;
    EditSnapshotRestore(es, &step);
    es->balanceConfidence = -1.0f;  // the snapshot's balance may be anyone's
    EditorDefinitionsRestored(win);
    // The next change starts from here, also for the parts that put back its start themselves.
    es->undo = step;
    win->curveOpen = 0;
    EditorLayOutTab(win);
    return Settle(win, failure);
}

// "Preferences...": the dialog edits the preferences record; what the window keeps of it is
// read again, and the file is written at once.
int32_t Preferences(EditingWindow* win, Ui_Failure* failure) {
    Prefs* prefs = win->env->prefs;
    EditState* es = win->es;
    const uint8_t pixelValues = prefs->showPixelValues;
    const uint8_t largest = prefs->useLargestWindow;
    bool accepted = false;
    int32_t status = PreferencesDialog(&win->dialogEnv, prefs, &accepted);
    if (status != kStatusOk || !accepted) return status;
    es->gridLevel = prefs->gridLevel;
    es->preferredSaturation = prefs->preferredSaturation;
    es->keenhueMask = prefs->keenhueMask;
    if ((prefs->showPixelValues != 0) != (pixelValues != 0)) {
        EditorPlacePreviewCheck(win, prefs->showPixelValues == 0 ? 1 : 0);
    }
    EditorTitleOk(win);
    if (prefs->showMethodMenu == 0) es->balanceMethod = kBalanceNeutrals;
    EditorLayOutTab(win);
    status = WritePrefs(win, failure);
    if (status == kStatusOk && largest == 0 && prefs->useLargestWindow != 0) {
        status = EditorFitLargestWindow(win, failure);
    }
    return Finish(win, status, false, failure);
}

// "Save Custom...": the live settings as a settings text file with the sharpen and noise part;
// the folder chosen is offered next time.
int32_t SaveCustom(EditingWindow* win, Ui_Failure* failure) {
    UiState* state = win->env->state;
    Prefs* prefs = win->env->prefs;
    char title[256], suffix[256], path[kPathSize];
    Ui_ResToCString(state, kStrSaveCustomTitle, title);
    Ui_ResToCString(state, kStrCustomFileSuffix, suffix);
    Str_CopyBounded(path, sizeof path, prefs->customFolder);
    const char* document = win->env->documentName != nullptr ? win->env->documentName : "";
    char name[kPathSize];
    Str_CopyBounded(name, sizeof name, Ui_Path_FileName(document));
    Ui_Path_StripExtension(name);
    const size_t used = Str_Length(path);
    Str_CopyBounded(path + used, sizeof path - used, name);
    const size_t named = Str_Length(path);
    Str_CopyBounded(path + named, sizeof path - named, suffix);
    int32_t status = Ui_Choose_Save(state, title, nullptr, prefs->customFolder, kUiFileText, path);
    if (status == kStatusCancelled) return status;
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseSaveLocation);
    Ui_Path_Folder(path, prefs->customFolder);
    status = WriteParsText(&win->es->editPars, path);
    return Ui_Failure_Describe(failure, status, kPhraseWriteFile, 0, path);
}

int32_t BalanceMethodChosen(EditingWindow* win, Ui_Failure* failure) {
    int32_t index = 0;
    if (Ui_List_GetSelection(win->dialog, kEditorBalanceMethod, &index) != kStatusOk) {
        return kStatusOk;
    }
    const int32_t method = index;
    EditState* es = win->es;
    if (!(kBalanceNeutrals <= method && method <= kBalanceThreeSliders) ||
        method == es->balanceMethod) {
        return kStatusOk;
    }
    EditorBeginChange(win);
    es->balanceMethod = method;
    int32_t status = ResetEditStatePars(es, kEditMaskTool1);
    if (status != kStatusOk) Ui_Failure_Describe(failure, status, kPhraseInitPars);
    EditorLayOutTab(win);
    return Finish(win, status, false, failure);
}

int32_t ToggleSharpenNoise(EditingWindow* win, int16_t item) {
    EditorBeginChange(win);
    SharpenNoise& s = win->es->editPars.sharpenNoise;
    uint8_t& on = item == kEditorSharpen ? s.sharpenOn : s.noiseOn;
    on = on != 0 ? 0 : 1;
    EditorRefreshBoxes(win);
    EditorRedrawPreview(win);
    EditorNameUndoSteps(win);
    return kStatusOk;
}

int32_t SwitchView(EditingWindow* win, Ui_Failure* failure) {
    win->combinedView = win->combinedView != 0 ? 0 : 1;
    Ui_Item_Show(win->dialog, kEditorCombinedView, win->combinedView);
    Ui_Item_Show(win->dialog, kEditorToolView, win->combinedView != 0 ? 0 : 1);
    return EditorRebuildTransforms(win, failure);
}

int32_t Close(EditingWindow* win, bool ok, Ui_Failure* failure) {
    Prefs* prefs = win->env->prefs;
    if (ok && prefs->altOkCyclesMode != 0 && EditorAltClick(win)) {
        prefs->okMode = prefs->okMode >= 3 ? 0 : prefs->okMode + 1;
        EditorTitleOk(win);
        return kStatusOk;
    }
    if (ok) {
        // The file-writing modes write their file first; a cancelled chooser or a failed write
        // leaves the window open with nothing stored.
        const int32_t status = EditorExport(win, prefs->okMode, failure);
        if (status != kStatusOk) return status;
        prefs->previousSettings = win->es->editPars;
    }
    win->accepted = ok ? 1 : 0;
    Ui_Dlg_Close(win->dialog, ok ? kEditorOk : kEditorCancel);
    return EditorKeepHabits(win, failure);
}

int32_t TabBarClicked(EditingWindow* win, Ui_Failure* failure) {
    const Ui_Dlg* d = EditorDialogRecord(win->dialog);
    Ui_Rect r;
    if (d == nullptr || Ui_Item_GetRect(win->dialog, kEditorTabBar, &r) != kStatusOk) {
        return kStatusError;
    }
    return EditorChangeTab(win, EditorTabAt(win->dialog, d->mouseH - r.left), failure);
}

}  // namespace

int32_t EditorKeepHabits(EditingWindow* win, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (win->habitsKept != 0) return kStatusOk;
    win->habitsKept = 1;
    // How the person likes to work rather than part of this correction: the sharpen and noise
    // settings (the run stores them again after filtering), the tab, the method and the size.
    Prefs* prefs = win->env->prefs;
    prefs->sharpenNoise = win->es->editPars.sharpenNoise;
    prefs->lastTab = win->es->currentTab;
    prefs->lastMethod = win->es->balanceMethod;
    if (win->outerWidth > 0 && win->outerHeight > 0) {
        prefs->windowWidth = win->outerWidth;
        prefs->windowHeight = win->outerHeight;
    }
    // A preferences file that cannot be written is told; the record keeps everything, and the
    // run goes on without the file.
    return WritePrefs(win, failure);
}

bool EditorCommand(EditingWindow* win, int16_t item, Ui_Failure* failure) {
    const EditingWindowEnv* env = win->env;
    switch (item) {
        case kEditorOk:
        case kEditorCancel:
            Close(win, item == kEditorOk, failure);
            return true;
        case kEditorHelp:
            ShowHelpTopic(env->help, kTopicOverview);
            return true;
        case kEditorTabHelp:
            ShowHelpTopic(env->help, kTopicColorBalance + win->es->currentTab);
            return true;
        case kEditorPreviewCheck:
            win->previewOn = win->previewOn != 0 ? 0 : 1;
            Ui_Item_SetCheck(win->dialog, kEditorPreviewCheck, win->previewOn);
            EditorRedrawPreview(win);
            return true;
        case kEditorEyedropper:
            EyedropperStep(&win->sampleSize, &win->sampleStep);
            env->prefs->sampleSize = win->sampleSize;
            Ui_Item_Invalidate(win->dialog, kEditorEyedropper);
            Ui_Item_Invalidate(win->dialog, kEditorReadouts);
            return true;
        case kEditorReadouts:
            win->readoutMode = ReadoutNextMode(win->readoutMode, win->cmykReadouts);
            env->prefs->readoutMode = win->readoutMode;
            Ui_Item_Invalidate(win->dialog, kEditorReadouts);
            return true;
        case kEditorPreferences:
            Preferences(win, failure);
            return true;
        case kEditorUndo:
        case kEditorRedo:
            StepHistory(win, item == kEditorUndo, failure);
            return true;
        case kEditorAllKeenhue:
        case kEditorAllPrev:
        case kEditorAllCustom:
        case kEditorAllReset:
            StartButton(win, StartAction(item - kEditorAllKeenhue), true, failure);
            return true;
        case kEditorTabKeenhue:
        case kEditorTabPrev:
        case kEditorTabCustom:
        case kEditorTabReset:
            StartButton(win, StartAction(item - kEditorTabKeenhue), false, failure);
            return true;
        case kEditorSaveCustom:
            SaveCustom(win, failure);
            return true;
        case kEditorKeenhueMode:
            ToggleKeenhueMode(win, failure);
            return true;
        case kEditorLinear:
            ToggleLinear(win, failure);
            return true;
        case kEditorTabBar:
            TabBarClicked(win, failure);
            return true;
        case kEditorBalanceMethod:
            BalanceMethodChosen(win, failure);
            return true;
        case kEditorCombinedView:
        case kEditorToolView:
            SwitchView(win, failure);
            return true;
        case kEditorSharpen:
        case kEditorRemoveNoise:
            ToggleSharpenNoise(win, item);
            return true;
        case kEditorSharpenNoiseSetup: {
            bool accepted = false;
            EditorBeginChange(win);
            SharpenNoiseDialog(&win->dialogEnv, win->es, &accepted);
            EditorRedrawPreview(win);
            return true;
        }
        default:
            return EditorColorToolCommand(win, item, failure);
    }
}
