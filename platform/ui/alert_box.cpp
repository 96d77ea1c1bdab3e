// The alert box; see alert_box.h.
#include "platform/ui/alert_box.h"

#include <cstdio>

#include "platform/debug_log.h"
#include "platform/ui/binding.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_alert.h"

namespace {

constexpr int32_t kLabelMargin = 20;

const Ui_AlertRecord* AlertOf(UiWindow* w) {
    return Ui_Dlg_UserData<Ui_AlertRecord>(w);
}

int32_t DrawIcon(UiWindow* w, int16_t item) {
    const Ui_AlertRecord* alert = AlertOf(w);
    Ui_Rect r;
    if (alert == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    int32_t status = Ui_Draw_Icon(w, alert->icon, &r, kUiAlignCenter);
    Ui_Draw_End(w);
    return status;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    if (item == kAlertFirst || item == kAlertSecond) return Ui_Dlg_Close(w, item);
    return kStatusOk;
}

// Sets a button's label and widens the button to the left when the label needs more room.
// Returns how many pixels it grew.
int32_t Label(UiWindow* w, int16_t item, const char* label) {
    Ui_Item_SetText(w, item, label);
    int16_t width = 0, height = 0;
    Ui_Rect r;
    if (Ui_Draw_MeasureText(w, kUiFontDialog, label, &width, &height) != kStatusOk ||
        Ui_Item_GetRect(w, item, &r) != kStatusOk) {
        return 0;
    }
    int32_t grow = width + kLabelMargin - Ui_Rect_Width(&r);
    if (grow <= 0) return 0;
    r.left = int16_t(r.left - grow);
    Ui_Item_Move(w, item, &r);
    return grow;
}

int32_t Init(UiWindow* w) {
    const Ui_AlertRecord* alert = AlertOf(w);
    if (alert == nullptr || alert->text == nullptr) return kStatusProblem;
    // The box says whose it is: over a host's windows an untitled one could be anybody's.
    Ui_Dlg* d = nullptr;
    if (Ui_Dlg_Get(w, &d) == kStatusOk && d->state != nullptr && d->state->appName[0] != 0) {
        Ui_Dlg_SetTitle(w, d->state->appName);
    }
    if (alert->buttonCount < 2) Ui_Item_Show(w, kAlertSecond, 0);
    Ui_Item_SetText(w, kAlertText, alert->text);
    if (alert->detail != nullptr) Ui_Item_SetText(w, kAlertDetail, alert->detail);
    if (alert->firstLabel != nullptr) {
        int32_t grow = Label(w, kAlertFirst, alert->firstLabel);
        Ui_Rect r;
        if (grow > 0 && Ui_Item_GetRect(w, kAlertSecond, &r) == kStatusOk &&
            Ui_Rect_Offset(&r, -grow, 0) == kStatusOk) {
            Ui_Item_Move(w, kAlertSecond, &r);
        }
    }
    if (alert->buttonCount >= 2 && alert->secondLabel != nullptr) {
        Label(w, kAlertSecond, alert->secondLabel);
    }
    Ui_Item_SetDefault(w, kAlertFirst);
    Ui_Dlg_SetDrawProc(w, kAlertIcon, DrawIcon);
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    return kStatusOk;
}

// Nobody can answer: everything goes to the log and stderr, and the first button is taken.
int32_t Unattended(const Ui_AlertRecord* alert, int16_t* item) {
    Ui_Debug_Log(1, alert->text);
    if (alert->detail != nullptr) Ui_Debug_Log(1, alert->detail);
    std::fprintf(stderr, "%s\n", alert->text);
    if (alert->detail != nullptr) std::fprintf(stderr, "%s\n", alert->detail);
    if (alert->buttonCount >= 2) {
        const char* first = alert->firstLabel != nullptr ? alert->firstLabel : "OK";
        std::fprintf(stderr, "No display to ask on: answered \"%s\".\n", first);
        Ui_Debug_Log(1, "No display to ask on: answered with button 1.");
    }
    *item = 1;
    return kStatusOk;
}

}  // namespace

int32_t Ui_AlertBox_Present(UiState* state, const Ui_AlertRecord* alert, int16_t* item) {
    if (state == nullptr || alert == nullptr || item == nullptr || alert->text == nullptr) {
        return kStatusProblem;
    }
    if (!Ui_Binding()->interactive()) return Unattended(alert, item);
    int16_t hit = 0;
    int32_t status = Ui_Dlg_Run(state, kDlgAlert, nullptr, Init, alert, &hit);
    if (status != kStatusOk) return kStatusError;
    *item = hit;
    return kStatusOk;
}
