// The boxes and texts of the editing window that follow the live parameters and the
// preferences; see window_refresh.h.
#include "edit/window/window_refresh.h"

#include "edit/window/window_env.h"
#include "edit/window/window_record.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

constexpr int32_t kOkTitle[4] = {kStrOkEditImage, kStrOkEditProfile, kStrOkCreateProfile,
                                 kStrOkCreateHuegrid};

// Toning is on when the toning colour is not neutral.
bool ToningOn(const EditPars& p) {
    for (float c : p.toneColor) {
        if (!(-1e-8f < c - 0.5f && c - 0.5f < 1e-8f)) return true;
    }
    return false;
}

}  // namespace

void EditorRefreshBoxes(EditingWindow* win) {
    UiWindow* w = win->dialog;
    const EditPars& p = win->es->editPars;
    EditorRefreshCastText(win);
    Ui_Item_SetCheck(w, kEditorLinear, p.linear != 0 ? 1 : 0);
    Ui_Item_SetCheck(w, kEditorToning, ToningOn(p) ? 1 : 0);
    Ui_Item_SetCheck(w, kEditorSharpen, p.sharpenNoise.sharpenOn != 0 ? 1 : 0);
    Ui_Item_SetCheck(w, kEditorRemoveNoise, p.sharpenNoise.noiseOn != 0 ? 1 : 0);
    Ui_Item_Enable(w, kEditorSharpenNoiseSetup,
                   p.sharpenNoise.sharpenOn != 0 || p.sharpenNoise.noiseOn != 0 ? 1 : 0);
}

void EditorRefreshCastText(EditingWindow* win) {
    // What the automatic balance did, while its result stands; else what the tab asks for.
    const float confidence = win->es->balanceConfidence;
    int32_t id = kStrCastInstruction;
    if (confidence >= 1.0f) {
        id = kStrBalanceWhole;
    } else if (confidence > 0.0f) {
        id = kStrBalancePart;
    } else if (confidence == 0.0f) {
        id = kStrBalanceNone;
    }
    char text[256];
    Ui_Item_SetText(win->dialog, kEditorCastText, Ui_ResToCString(win->env->state, id, text));
}

void EditorTitleOk(EditingWindow* win) {
    int32_t mode = win->env->prefs->okMode;
    if (!(0 <= mode && mode <= 3)) mode = 0;
    char title[256];
    Ui_ResToCString(win->env->state, kOkTitle[mode], title);
    Ui_Item_SetText(win->dialog, kEditorOk, title);
}

void EditorRefreshMemoryButtons(EditingWindow* win) {
    const uint8_t on = win->es->activeHandleHasSamples != 0 ? 1 : 0;
    for (int16_t i = 0; i < kMemoryColorCount; ++i) {
        Ui_Item_Enable(win->dialog, int16_t(kEditorMemoryColor1 + i), on);
    }
}
