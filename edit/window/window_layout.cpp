// The editing window's layout: which items each tab shows, the tab bar's hit test, the pixel
// readouts shown or hidden, the largest window and the window following its size.
//
// Items of different tabs and balance methods share places in the template; a tab change hides
// every tool item and shows those of the tab. Moving items when the window's size changes is the
// framework's work (the template's anchors); the window only asks the host for a picture of the
// preview item's new size.
#include "edit/window/window_layout.h"

#include <algorithm>

#include "edit/keenhue.h"
#include "edit/window/window_record.h"
#include "edit/window/window_auto_settings.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_env.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// The tab bar's bounds between tabs, in pixels of the classic 8-point dialog font.
constexpr int32_t kTabBounds[3] = {66, 125, 184};
// The window keeps this far inside the work area (dialog units) when it takes the largest size.
constexpr int32_t kScreenInsetUnits = 3;

struct ItemRange {
    int16_t first, last;
};

// Every item that belongs to one tab or one balance method.
constexpr ItemRange kToolItems = {kEditorCastWedge, kEditorMemoryColorInfo};
constexpr ItemRange kNeutralsItems = {kEditorCastWedge, kEditorCastText};
constexpr ItemRange kTwoSliderItems = {kEditorTemperatureLabel, kEditorTintSlider};
constexpr ItemRange kThreeSliderItems = {kEditorCyanRedValue, kEditorBlueLabel};
constexpr ItemRange kPointItems = {kEditorHistogram, kEditorPointValues};
constexpr ItemRange kToneItems = {kEditorBrightnessTitle, kEditorSaturationValue};
constexpr ItemRange kHueItems = {kEditorHueRing, kEditorMemoryColorInfo};
constexpr ItemRange kTabButtons = {kEditorTabKeenhue, kEditorTabCustom};

void ShowRange(UiWindow* w, ItemRange range, uint8_t on) {
    for (int16_t item = range.first; item <= range.last; ++item) Ui_Item_Show(w, item, on);
}

void LogResize(UiState* state, const char* text) {
    Ui_Debug_Log(state != nullptr ? state->diagnostics : 1, text);
}

}  // namespace

int32_t EditorTabAt(UiWindow* dialog, int32_t x) {
    int32_t tab = 0;
    for (int32_t bound : kTabBounds) {
        int32_t scaled = bound;
        Ui_Dlg_ScalePixels(dialog, bound, 0, &scaled, nullptr);
        if (x < scaled) return tab;
        ++tab;
    }
    return tab;
}

void EditorLayOutTab(EditingWindow* win) {
    UiWindow* w = win->dialog;
    EditState* es = win->es;
    const Prefs* prefs = win->env->prefs;
    const int32_t tab = es->currentTab;
    ShowRange(w, kToolItems, 0);
    Ui_Item_Show(w, kEditorNeutralPrefs, 0);
    Ui_Item_Show(w, kEditorBalanceMethod, 0);
    uint8_t tabButtons = 1;
    switch (tab) {
        case 0: {
            Ui_Item_Show(w, kEditorNeutralPrefs, 1);
            if (prefs->showMethodMenu == 0) es->balanceMethod = kBalanceNeutrals;
            Ui_Item_Show(w, kEditorBalanceMethod, prefs->showMethodMenu != 0 ? 1 : 0);
            Ui_List_SetSelection(w, kEditorBalanceMethod, es->balanceMethod);
            if (es->balanceMethod == kBalanceTwoSliders) {
                ShowRange(w, kTwoSliderItems, 1);
                tabButtons = 0;
            } else if (es->balanceMethod == kBalanceThreeSliders) {
                ShowRange(w, kThreeSliderItems, 1);
                tabButtons = 0;
            } else {
                ShowRange(w, kNeutralsItems, 1);
            }
            break;
        }
        case 1:
            ShowRange(w, kPointItems, 1);
            break;
        case 2:
            ShowRange(w, kToneItems, 1);
            Ui_Item_Show(w, kEditorCurveArrow, prefs->showCurveControl != 0 ? 1 : 0);
            Ui_Item_Show(w, kEditorCurve,
                         prefs->showCurveControl != 0 && win->curveOpen != 0 ? 1 : 0);
            break;
        default:
            ShowRange(w, kHueItems, 1);
            break;
    }
    ShowRange(w, kTabButtons, tabButtons);
    Ui_Item_Show(w, kEditorTabReset, 1);
    Ui_Item_Invalidate(w, kEditorTabBar);
    Ui_Item_Invalidate(w, kEditorToolFrame);
}

int32_t EditorChangeTab(EditingWindow* win, int32_t tab, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (!(0 <= tab && tab <= 3)) return kStatusProblem;
    EditState* es = win->es;
    if (tab == es->currentTab) return kStatusOk;
    es->currentTab = tab;
    win->curveOpen = 0;
    int32_t status = kStatusOk;
    // Tab 1's histogram is measured again whenever it is drawn outside a drag (window_tools.cpp):
    // invalidating the item recomputes it.
    if (tab == 1) Ui_Item_Invalidate(win->dialog, kEditorHistogram);
    if (tab == 3 && es->huePlacementPending != 0) {
        status = EditorAutoSettings(win, kEditMaskAllHues, failure);
        es->huePlacementPending = 0;
    }
    EditorLayOutTab(win);
    if (status != kStatusOk) return status;
    return EditorRebuildTransforms(win, failure);
}

// The pixel readouts sit beside "Preview" in this window's template, so hiding them leaves the
// box where it is: moving it down as a stacked layout would takes it off the window.
void EditorPlacePreviewCheck(EditingWindow* win, uint8_t lowered) {
    win->previewLowered = lowered;
    Ui_Item_Show(win->dialog, kEditorEyedropper, lowered ? 0 : 1);
    Ui_Item_Show(win->dialog, kEditorReadouts, lowered ? 0 : 1);
}

int32_t EditorFitLargestWindow(EditingWindow* win, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    const Ui_Rect& stored = win->env->largestBounds;
    if (Ui_Rect_Width(&stored) > 0 && Ui_Rect_Height(&stored) > 0) {
        return Ui_Failure_Describe(failure, Ui_Dlg_Place(win->dialog, &stored),
                                   kPhraseResizeDialog);
    }
    Ui_Rect area;
    int32_t status = Ui_Screen_WorkArea(&area);
    int32_t insetH = 0, insetV = 0;
    if (status == kStatusOk) {
        status = Ui_Dlg_UnitsToPixels(win->dialog, kScreenInsetUnits, kScreenInsetUnits, &insetH,
                                      &insetV);
    }
    if (status == kStatusOk) {
        area.top = int16_t(area.top + insetV);
        area.left = int16_t(area.left + insetH);
        area.bottom = int16_t(area.bottom - insetV);
        area.right = int16_t(area.right - insetH);
        status = Ui_Dlg_Place(win->dialog, &area);
    }
    return Ui_Failure_Describe(failure, status, kPhraseResizeDialog);
}

void EditorNoteWindowSize(EditingWindow* win) {
    Ui_Rect bounds;
    if (Ui_Dlg_Bounds_Get(win->dialog, &bounds) != kStatusOk) return;
    win->outerWidth = int16_t(Ui_Rect_Width(&bounds));
    win->outerHeight = int16_t(Ui_Rect_Height(&bounds));
}

int32_t EditorRestoreWindowSize(EditingWindow* win, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    const Prefs* prefs = win->env->prefs;
    Ui_Rect now, area;
    if (prefs->useLargestWindow != 0 || prefs->windowWidth <= 0 || prefs->windowHeight <= 0 ||
        Ui_Dlg_Bounds_Get(win->dialog, &now) != kStatusOk ||
        Ui_Screen_WorkArea(&area) != kStatusOk) {
        return kStatusOk;
    }
    // The template's size is the smallest the window's items fit in.
    const int32_t width = Num_Clamp(prefs->windowWidth, Ui_Rect_Width(&now),
                                    std::max(Ui_Rect_Width(&now), Ui_Rect_Width(&area)));
    const int32_t height = Num_Clamp(prefs->windowHeight, Ui_Rect_Height(&now),
                                     std::max(Ui_Rect_Height(&now), Ui_Rect_Height(&area)));
    if (width == Ui_Rect_Width(&now) && height == Ui_Rect_Height(&now)) return kStatusOk;
    int32_t left = (now.left + now.right - width) / 2, top = (now.top + now.bottom - height) / 2;
    left = Num_Clamp(left, int32_t(area.left), std::max(int32_t(area.left), area.right - width));
    top = Num_Clamp(top, int32_t(area.top), std::max(int32_t(area.top), area.bottom - height));
    const Ui_Rect placed = Ui_Rect_Make(top, left, top + height, left + width);
    return Ui_Failure_Describe(failure, Ui_Dlg_Place(win->dialog, &placed), kPhraseResizeDialog);
}

int32_t EditorAcquirePreview(EditingWindow* win, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    const WindowHostProcs* host = win->env->host;
    if (host == nullptr || host->acquirePreview == nullptr) return kStatusOk;
    Ui_Rect r;
    int32_t status = Ui_Item_GetRect(win->dialog, kEditorPreviewImage, &r);
    if (status != kStatusOk) return status;
    // Inside the item's one-pixel frame.
    status =
        host->acquirePreview(host->context, Ui_Rect_Width(&r) - 2, Ui_Rect_Height(&r) - 2, failure);
    if (status == kStatusOk) win->acquired = 1;
    Ui_Item_Invalidate(win->dialog, kEditorPreviewImage);
    return status;
}

int32_t EditImageResizeProc(UiWindow* dialog, int16_t width, int16_t height) {
    (void)width;
    (void)height;
    if (dialog == nullptr) {
        LogResize(nullptr, "EditImageResizeProc: theDialog is NULL");
        return kStatusProblem;
    }
    Ui_Dlg_Info* info = nullptr;
    const int32_t status = Ui_Dlg_Info_Get(dialog, &info);
    EditingWindow* win = EditorOf(dialog);
    UiState* state = win != nullptr ? win->env->state : nullptr;
    char line[96];
    if (status != kStatusOk) {
        Str_FormatN(line, sizeof line, "EditImageResizeProc: Ui_Dlg_Info_Get returned %d",
                    int(status));
        LogResize(state, line);
        return status;
    }
    if (win == nullptr) {
        LogResize(state, "EditImageResizeProc: ep is NULL");
        return kStatusProblem;
    }
    Str_FormatN(line, sizeof line, "EditImageResizeProc: minBoundsRect: %d,%d %d,%d", 0, 0,
                int(info->minWidth), int(info->minHeight));
    LogResize(state, line);
    EditorNoteWindowSize(win);
    // Before the window has its first picture (the largest size taken while opening) there is
    // nothing to fetch again.
    if (win->acquired == 0) return kStatusOk;
    Ui_Failure failure;
    const int32_t acquired = EditorAcquirePreview(win, &failure);
    EditorTell(win, &failure);
    return acquired;
}
