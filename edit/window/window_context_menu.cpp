// The editing window's context menus: a second route to every action an Alt-click reaches.
//
// Desktop window managers (openbox, xfwm4, KDE Plasma by default) keep Alt+button for moving
// windows, so on most Linux desktops an Alt-click never reaches the window. Each such action is
// also in the menu of the item it belongs to (right button, Shift+F10 or the menu key):
//   preview                      the zoom levels, fit to 400 %, around the pixel (Alt-click:
//                                1:1 or back); the clipping view while dragging the black or
//                                white point (Alt-drag); taking sample point #1 or #2 away (or
//                                drag it out of the preview)
//   black/white point handles    the clipping view
//   master "Custom"              load a custom settings file, then apply it (Alt-click)
//   OK                           what OK does: the four modes, the current one checked (Alt-click
//                                steps through them when the preferences allow it)
//   B/W, Sepia, memory colours   edit the colour (Alt-click)
// An entry that stands for an Alt-click runs the item's own command with the Alt route taken
// (EditorAltClick), so both routes do the same and fail with the same alert. The clipping view
// is a switch kept for the window's life: a menu cannot be held down through a drag as Alt is.
#include "edit/window/window_context_menu.h"

#include "edit/window/preview_zoom.h"
#include "edit/window/window_record.h"
#include "edit/window/window_refresh.h"
#include "edit/window/window_commands.h"
#include "edit/window/window_preview_clicks.h"
#include "edit/window/window_zoom.h"
#include "edit/window/window_env.h"
#include "platform/ui/dlg.h"
#include "platform/ui/popup_menu.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

UiMenuMark Mark(bool on) {
    return on ? kUiMenuOn : kUiMenuOff;
}

// The item's command as an Alt-click runs it.
void AltCommand(EditingWindow* win, int16_t item, Ui_Failure* failure) {
    win->altRoute = 1;
    EditorCommand(win, item, failure);
    win->altRoute = 0;
}

void ToggleClippingView(EditingWindow* win) {
    win->clippingView = win->clippingView != 0 ? 0 : 1;
}

// The zoom levels first, fit and then preview_zoom.h's, the one shown checked and those that
// would show no more than fit greyed out.
void PreviewMenu(EditingWindow* win, int16_t v, int16_t h, Ui_Failure* failure) {
    constexpr int32_t kLevels = 1 + kPreviewZoomLevelCount;
    constexpr int32_t kLevelTexts[kLevels] = {kStrMenuZoomFit, kStrMenuZoom25,  kStrMenuZoom50,
                                              kStrMenuZoom100, kStrMenuZoom200, kStrMenuZoom400};
    Ui_MenuEntry entries[kLevels + 3];
    int32_t levels[kLevels];
    for (int32_t i = 0; i < kLevels; ++i) {
        levels[i] = i == 0 ? kPreviewZoomFit : kPreviewZoomLevels[i - 1];
        int32_t current = kPreviewZoomFit;
        const bool offered = EditorZoomOffers(win, levels[i], &current);
        entries[i] = Ui_MenuEntry{kLevelTexts[i], Mark(offered && current == levels[i]),
                                  uint8_t(offered ? 1 : 0)};
    }
    entries[kLevels] = Ui_MenuEntry{kStrMenuClippingView, Mark(win->clippingView != 0), 1};
    entries[kLevels + 1] =
        Ui_MenuEntry{kStrMenuRemovePoint1, kUiMenuAction, win->es->samplePoints[0].valid};
    entries[kLevels + 2] =
        Ui_MenuEntry{kStrMenuRemovePoint2, kUiMenuAction, win->es->samplePoints[1].valid};
    int32_t chosen = -1;
    Ui_Menu_PopUp(win->dialog, v, h, entries, kLevels + 3, &chosen);
    if (0 <= chosen && chosen < kLevels) EditorZoomTo(win, levels[chosen], v, h, failure);
    if (chosen == kLevels) ToggleClippingView(win);
    if (chosen == kLevels + 1 || chosen == kLevels + 2)
        EditorRemoveSamplePoint(win, chosen - kLevels - 1);
}

void ClippingMenu(EditingWindow* win, int16_t v, int16_t h) {
    const Ui_MenuEntry entries[] = {{kStrMenuClippingView, Mark(win->clippingView != 0), 1}};
    int32_t chosen = -1;
    Ui_Menu_PopUp(win->dialog, v, h, entries, 1, &chosen);
    if (chosen == 0) ToggleClippingView(win);
}

// One entry that runs the item's Alt-click.
void AltMenu(EditingWindow* win, int16_t item, int32_t textId, int16_t v, int16_t h,
             Ui_Failure* failure) {
    const Ui_MenuEntry entries[] = {{textId, kUiMenuAction, 1}};
    int32_t chosen = -1;
    Ui_Menu_PopUp(win->dialog, v, h, entries, 1, &chosen);
    if (chosen == 0) AltCommand(win, item, failure);
}

// What OK does, in the order of the preferences' list; the choice is a preference as the
// Alt-click's is.
void OkMenu(EditingWindow* win, int16_t v, int16_t h) {
    Prefs* prefs = win->env->prefs;
    Ui_MenuEntry entries[4];
    for (int32_t i = 0; i < 4; ++i) {
        entries[i] = Ui_MenuEntry{kStrOkModeEditImages + i, Mark(prefs->okMode == i), 1};
    }
    int32_t chosen = -1;
    Ui_Menu_PopUp(win->dialog, v, h, entries, 4, &chosen);
    if (chosen < 0 || chosen == prefs->okMode) return;
    prefs->okMode = chosen;
    EditorTitleOk(win);
}

}  // namespace

int32_t EditorContextMenu(UiWindow* w, int16_t item, int16_t v, int16_t h) {
    EditingWindow* win = EditorOf(w);
    if (win == nullptr) return kStatusError;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    if (item == kEditorPreviewImage) {
        PreviewMenu(win, v, h, &failure);
    } else if (item == kEditorPointHandles) {
        ClippingMenu(win, v, h);
    } else if (item == kEditorAllCustom) {
        AltMenu(win, item, kStrMenuLoadCustom, v, h, &failure);
    } else if (item == kEditorOk) {
        OkMenu(win, v, h);
    } else if (item == kEditorBlackWhite || item == kEditorSepia ||
               (kEditorMemoryColor1 <= item && item <= kEditorMemoryColor6)) {
        AltMenu(win, item, kStrMenuEditColor, v, h, &failure);
    } else {
        return kStatusOk;
    }
    EditorRefreshMemoryButtons(win);
    EditorTell(win, &failure);
    return kStatusOk;
}
