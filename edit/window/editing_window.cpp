// The editing window: opening it and dispatching its events; see editing_window.h.
#include "edit/window/editing_window.h"

#include "edit/keenhue.h"
#include "edit/window/dialog_tips.h"
#include "edit/window/help_window.h"
#include "edit/window/memory_color_dialog.h"
#include "edit/window/slider.h"
#include "edit/window/tab_bar.h"
#include "edit/window/tool_panel.h"
#include "edit/window/window_env.h"
#include "edit/window/window_record.h"
#include "edit/window/window_refresh.h"
#include "edit/window/window_auto_settings.h"
#include "edit/window/window_tool_items.h"
#include "edit/window/window_layout.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_commands.h"
#include "edit/window/window_tools.h"
#include "edit/window/window_typed_values.h"
#include "edit/window/window_preview_clicks.h"
#include "edit/window/window_zoom.h"
#include "edit/window/window_keys.h"
#include "edit/window/window_status.h"
#include "edit/window/window_context_menu.h"
#include "edit/window/window_color_tools.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// The tool panel's frame, open under the current tab. The tools inside the panel (sliders,
// histogram, hue ring) are registered by window_tools.cpp.
int32_t DrawToolFrame(UiWindow* w, int16_t item) {
    const EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    return PanelFrameDraw(w, item, kEditorTabBar, win->es->currentTab);
}

// The tab bar with the current tab raised. Its tabs are drawn where the window's hit test
// (EditorTabAt) finds them: both scale the same pixel offsets with the window's font.
int32_t DrawTabBar(UiWindow* w, int16_t item) {
    const EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    return TabBarDraw(w, item, win->es->currentTab);
}

// The user items that show nothing of their own until their component draws them.
int32_t DrawNothing(UiWindow*, int16_t) {
    return kStatusOk;
}

// The window's one pointer watch: the preview's readouts and the memory-colour box both follow
// the pointer.
int32_t PointerMoved(UiWindow* w) {
    EditorPreviewPointer(w);
    return EditorColorToolsPointer(w);
}

void RegisterDrawProcs(UiWindow* w) {
    Ui_Dlg_SetDrawProc(w, kEditorHelp, HelpButtonDraw);
    Ui_Dlg_SetDrawProc(w, kEditorTabHelp, HelpButtonDraw);
    Ui_Dlg_SetDrawProc(w, kEditorPreviewImage, EditorDrawPreview);
    Ui_Dlg_SetDrawProc(w, kEditorToolFrame, DrawToolFrame);
    Ui_Dlg_SetDrawProc(w, kEditorTabBar, DrawTabBar);
    EditorRegisterStatus(w);
    Ui_Dlg_SetDrawProc(w, kEditorProgress, DrawNothing);
    EditorRegisterToolDraws(w);
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    if (!EditorTypedValueHit(win, item, &failure) && !EditorToolClick(win, item, &failure)) {
        EditorCommand(win, item, &failure);
    }
    EditorRefreshMemoryButtons(win);
    EditorTell(win, &failure);
    return kStatusOk;
}

// Presses on user items. The "?" items track their pressed look; the sliders, the point
// handles and the hue ring are dragged; everything else is an item hit at the press (the tab
// bar, the curve arrow, the eyedropper and the readouts act on the click).
int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    EditingWindow* win = EditorOf(w);
    // A press elsewhere leaves a number being typed, which applies it first.
    if (win != nullptr && phase == kUiTrackBegin) EditorTypedValueFinish(win);
    if (item == kEditorHelp || item == kEditorTabHelp) return HelpButtonTrack(w, item, phase);
    if (win != nullptr && EditorIsDraggedTool(item)) return EditorTrackTool(win, item, phase);
    if (item == kEditorPreviewImage) return EditorTrackPreview(win, phase);
    return 0;
}

int32_t FirstPaint(UiWindow* w) {
    EditingWindow* win = EditorOf(w);
    if (win == nullptr) return 0;
    if (win->env->prefs->showStartUpGuide == 1) ShowHelpTopic(win->env->help, kTopicStartUpGuide);
    return 0;
}

// Opening, steps that need no picture: procs, title, boxes, lists, buttons.
void SetUpItems(EditingWindow* win) {
    UiWindow* w = win->dialog;
    const Prefs* prefs = win->env->prefs;
    char text[256];
    Ui_ResToCString(win->env->state, kStrAppName, text);
    Ui_Dlg_SetTitle(w, text);
    Ui_Item_Show(w, kEditorProgress, 0);
    Ui_Item_SetCheck(w, kEditorKeenhueMode, win->keenhueMode);
    Ui_Item_SetCheck(w, kEditorPreviewCheck, win->previewOn);
    const int16_t boxes[] = {kEditorLinear, kEditorToning, kEditorSharpen, kEditorRemoveNoise};
    for (int16_t item : boxes) Ui_Item_SetCheck(w, item, 0);
    Ui_List_Fill(w, kEditorBalanceMethod, kStrMethodNeutrals, kStrMethodThreeSliders);
    Ui_List_SetSelection(w, kEditorBalanceMethod, win->es->balanceMethod);
    Ui_Item_Enable(w, kEditorUndo, 0);
    for (int16_t i = 0; i < kMemoryColorCount; ++i) {
        const int16_t item = int16_t(kEditorMemoryColor1 + i);
        Ui_Item_Enable(w, item, 0);
        if (MemoryColorButtonTitle(win->env->state, &win->es->memoryColors[i], text, sizeof text) ==
            kStatusOk) {
            Ui_Item_SetText(w, item, text);
        }
    }
    // The icon of the view shown; clicking it switches to the other.
    Ui_Item_Show(w, kEditorCombinedView, win->combinedView ? 1 : 0);
    Ui_Item_Show(w, kEditorToolView, win->combinedView ? 0 : 1);
    EditorTitleOk(win);
    if (prefs->showPixelValues == 0) EditorPlacePreviewCheck(win, 1);
}

int32_t Init(UiWindow* w) {
    EditingWindow* win = Ui_Dlg_UserData<EditingWindow>(w);
    if (win == nullptr) return kStatusProblem;
    win->dialog = w;
    win->dialogEnv.parent = w;
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    DialogTipsSet(w, kDlgEditor);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetFirstPaintProc(w, FirstPaint);
    Ui_Dlg_SetResizeProc(w, EditImageResizeProc);
    Ui_Dlg_SetContextProc(w, EditorContextMenu);
    Ui_Dlg_SetKeyProc(w, EditorKey);
    Ui_Dlg_SetWheelProc(w, EditorPreviewWheel);
    RegisterDrawProcs(w);
    EditorRegisterPreviewClicks(win);
    Ui_Item_SetDefault(w, kEditorOk);
    Ui_Dlg_SetResizable(w, 0, 0);
    SetUpItems(win);
    EditorColorToolsInit(win);
    Ui_Dlg_SetPreCursorProc(w, PointerMoved);

    // The window is not on the screen yet: failures are shown once it is (first paint would be
    // too late for the start-up guide's order, so they go out right after it is shown).
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    if (win->env->prefs->useLargestWindow == 1) {
        EditorFitLargestWindow(win, &failure);
    } else {
        EditorRestoreWindowSize(win, &failure);
    }
    EditorNoteWindowSize(win);
    // Without its picture the window would offer corrections on a grey preview and OK would
    // filter on: it ends here, before it is ever shown, and the run tells why once it is gone.
    Ui_Failure acquired;
    const int32_t status = EditorAcquirePreview(win, &acquired);
    if (status != kStatusOk) {
        win->openFailure = acquired;
        if (win->openFailure.status == kStatusOk) {
            Ui_Failure_Describe(&win->openFailure, status, kPhraseLaunch);
        }
        Ui_Dlg_Close(w, kEditorCancel);
        Ui_Dlg_End(w);
        return kStatusOk;
    }
    if (failure.status == kStatusOk && win->env->keenhueStart != 0) {
        EditorAutoSettings(win, win->env->keenhueStart, &failure);
    }
    EditorTell(win, &failure);
    Ui_Item_Show(w, kEditorLinear, win->es->bitsPerChannel == 16 ? 1 : 0);
    EditorRefreshBoxes(win);
    EditorLayOutTab(win);
    Ui_Failure_Clear(&failure);
    EditorRebuildTransforms(win, &failure);
    EditorTell(win, &failure);
    return kStatusOk;
}

}  // namespace

int32_t RunEditingWindow(const EditingWindowEnv* env, EditState* editState, bool* accepted) {
    if (env == nullptr || editState == nullptr || accepted == nullptr || env->prefs == nullptr ||
        env->state == nullptr) {
        return kStatusProblem;
    }
    *accepted = false;
    EditingWindow win;
    Mem_Fill(&win, 0, sizeof win);
    win.env = env;
    win.es = editState;
    win.dialogEnv = DialogEnv{env->state, env->parent, env->host, env->help};
    win.keenhueMode = env->prefs->keenhueMode;
    win.combinedView = 1;
    win.previewOn = 1;
    win.sampleSize = env->prefs->sampleSize;
    win.sampleStep = win.sampleSize < 2 ? 1 : -1;
    win.readoutMode = env->prefs->readoutMode;
    // The CMYK figures are worked out from the colour itself (readouts.h), needing nothing of
    // the host or the image, so they are always on offer.
    win.cmykReadouts = 1;
    if (!(1 <= editState->balanceMethod && editState->balanceMethod <= 3)) {
        editState->balanceMethod = kBalanceNeutrals;
    }
    if (!(0 <= editState->currentTab && editState->currentTab <= 3)) editState->currentTab = 0;
    // Sample points belong to one opening of the window.
    for (EditSamplePoint& point : editState->samplePoints) point = EditSamplePoint{};
    int16_t item = 0;
    const int32_t status = Ui_Dlg_Run(env->state, kDlgEditor, env->parent, Init, &win, &item);
    EditorFreeTransforms(&win);
    EditHistoryFree(&win.history);
    *accepted = status == kStatusOk && win.accepted == 1;
    // The window never opened: its reason is told, and the run ends as a cancelled one.
    EditorTell(&win, &win.openFailure);
    // Closed without OK or Cancel (the window's close box): the preferences keep what they would
    // have kept.
    if (status == kStatusOk && win.openFailure.status == kStatusOk && win.habitsKept == 0) {
        Ui_Failure failure;
        EditorKeepHabits(&win, &failure);
        EditorTell(&win, &failure);
    }
    return status;
}
