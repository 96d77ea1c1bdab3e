// The Keenhue preferences dialog; see keenhue_prefs_dialog.h.
#include "edit/window/keenhue_prefs_dialog.h"

#include <cmath>

#include "edit/window/dialog_tips.h"
#include "edit/window/help_window.h"
#include "edit/window/slider.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_keenhue_prefs.h"
#include "resources/ids/strings.h"

namespace {

constexpr int32_t kHueBits = 64512;  // the six hue handles, bits 10 to 15

struct MaskBox {
    int16_t item;
    int32_t bits;
    bool memoryMask;  // a bit of the memory-colour mask, else of the Keenhue mask
};
constexpr MaskBox kBoxes[] = {
    {kKeenhuePrefsLinear, 1, false},
    {kKeenhuePrefsColorBalance, 2, false},
    {kKeenhuePrefsBlackPoint, 4, false},
    {kKeenhuePrefsGrayPoint, 8, false},
    {kKeenhuePrefsWhitePoint, 16, false},
    {kKeenhuePrefsGlobalBrightness, 32, false},
    {kKeenhuePrefsSaturation, 512, false},
    {kKeenhuePrefsHueHandles, kHueBits, false},
    {kKeenhuePrefsAfterHueHandle, kHueBits, true},
    {kKeenhuePrefsBrightness, 32, true},
    {kKeenhuePrefsMcSaturation, 512, true},
};

struct Working {
    const DialogEnv* env;
    int32_t keenhueMask;
    int32_t memoryMask;
    float saturation;
};

Working* Of(UiWindow* w) {
    return Ui_Dlg_UserData<Working>(w);
}

int32_t& MaskOf(Working* k, const MaskBox& box) {
    return box.memoryMask ? k->memoryMask : k->keenhueMask;
}

// 1 all of the box's bits set, 0 none, 2 some.
int32_t CheckOf(int32_t mask, int32_t bits) {
    const int32_t set = mask & bits;
    return set == bits ? 1 : set == 0 ? 0 : 2;
}

void Show(UiWindow* w, Working* k) {
    for (const MaskBox& box : kBoxes)
        Ui_Item_SetCheck(w, box.item, CheckOf(MaskOf(k, box), box.bits));
    Ui_List_SetSelection(w, kKeenhuePrefsPreferredSaturation,
                         SaturationListPosition(k->saturation));
}

int32_t Track(UiWindow* w, int16_t item, int16_t phase) {
    return item == kKeenhuePrefsHelp ? HelpButtonTrack(w, item, phase) : 0;
}

int32_t ItemHit(UiWindow* w, int16_t item) {
    Working* k = Of(w);
    if (k == nullptr) return kStatusError;
    for (const MaskBox& box : kBoxes) {
        if (box.item != item) continue;
        int32_t state = 0;
        Ui_Item_ToggleCheck(w, item, &state);
        int32_t& mask = MaskOf(k, box);
        mask = state == 1 ? (mask | box.bits) : (mask & ~box.bits);
        return kStatusOk;
    }
    switch (item) {
        case kKeenhuePrefsOk:
        case kKeenhuePrefsCancel:
            Ui_Dlg_Close(w, item);
            return kStatusOk;
        case kKeenhuePrefsPreferredSaturation: {
            int32_t position = 0;
            if (Ui_List_GetSelection(w, item, &position) == kStatusOk && position >= 1) {
                k->saturation = SaturationFromListPosition(position);
            }
            return kStatusOk;
        }
        case kKeenhuePrefsRestoreDefaults:
            k->keenhueMask = kKeenhueMaskDefault;
            k->memoryMask = kMemoryColorMaskDefault;
            k->saturation = kPreferredSaturationDefault;
            Show(w, k);
            return kStatusOk;
        case kKeenhuePrefsHelp:
            ShowHelpTopic(k->env->help, kTopicKeenhuePrefs);
            return kStatusOk;
        default:
            return kStatusOk;
    }
}

int32_t Init(UiWindow* w) {
    Working* k = Of(w);
    if (k == nullptr) return kStatusProblem;
    Ui_Dlg_SetItemHitProc(w, ItemHit);
    DialogTipsSet(w, kDlgKeenhuePrefs);
    Ui_Dlg_SetTrackProc(w, Track);
    Ui_Dlg_SetDrawProc(w, kKeenhuePrefsHelp, HelpButtonDraw);
    Ui_Item_SetDefault(w, kKeenhuePrefsOk);
    int32_t status =
        Ui_List_Fill(w, kKeenhuePrefsPreferredSaturation, kStrSaturation0, kStrSaturation100);
    if (status != kStatusOk) return status;
    Show(w, k);
    return kStatusOk;
}

}  // namespace

int32_t SaturationListPosition(float value) {
    if (!(0.0f <= value && value <= 1.0f)) value = kPreferredSaturationDefault;
    return int32_t(std::lround(double(value) * 10.0)) + 1;
}

float SaturationFromListPosition(int32_t position) {
    if (position < 1) position = 1;
    if (position > 11) position = 11;
    return float(position - 1) / 10.0f;
}

int32_t KeenhuePrefsDialog(const DialogEnv* env, int32_t* keenhueMask, float* preferredSaturation,
                           int32_t* memoryColorMask, bool* accepted) {
    if (env == nullptr || keenhueMask == nullptr || preferredSaturation == nullptr ||
        memoryColorMask == nullptr || accepted == nullptr) {
        return kStatusProblem;
    }
    *accepted = false;
    Working k{env, *keenhueMask, *memoryColorMask, *preferredSaturation};
    int16_t item = 0;
    int32_t status = Ui_Dlg_Run(env->state, kDlgKeenhuePrefs, env->parent, Init, &k, &item);
    if (status != kStatusOk) return status;
    if (item == kKeenhuePrefsOk) {
        *keenhueMask = k.keenhueMask;
        *memoryColorMask = k.memoryMask;
        *preferredSaturation = k.saturation;
        *accepted = true;
    }
    return kStatusOk;
}
