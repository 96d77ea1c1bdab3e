// The tooltips of the window's dialogs; see dialog_tips.h.
#include "edit/window/dialog_tips.h"

#include <cstddef>

#include "platform/status.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_define_color.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/dlg_help.h"
#include "resources/ids/dlg_keenhue_prefs.h"
#include "resources/ids/dlg_memory_color.h"
#include "resources/ids/dlg_preferences.h"
#include "resources/ids/dlg_sharpen_noise.h"
#include "resources/ids/strings.h"

namespace {

constexpr Ui_ItemTip kEditorTips[] = {
    {kEditorOk, kStrTipEditorOk},
    {kEditorCancel, kStrTipEditorCancel},
    {kEditorHelp, kStrTipEditorHelp},
    {kEditorPreviewImage, kStrTipEditorPreview},
    {kEditorPreviewCheck, kStrTipEditorPreviewCheck},
    {kEditorEyedropper, kStrTipEditorEyedropper},
    {kEditorReadouts, kStrTipEditorReadouts},
    {kEditorPreferences, kStrTipEditorPreferences},
    {kEditorUndo, kStrTipEditorUndo},
    {kEditorRedo, kStrTipEditorRedo},
    {kEditorValueEntry, kStrTipValueEntry},
    {kEditorAllKeenhue, kStrTipEditorAllKeenhue},
    {kEditorAllPrev, kStrTipEditorAllPrev},
    {kEditorAllCustom, kStrTipEditorAllCustom},
    {kEditorAllReset, kStrTipEditorAllReset},
    {kEditorSaveCustom, kStrTipEditorSaveCustom},
    {kEditorKeenhueMode, kStrTipEditorKeenhueMode},
    {kEditorLinear, kStrTipEditorLinear},
    {kEditorTabBar, kStrTipEditorTabBar},
    {kEditorCastWedge, kStrTipEditorCastWedge},
    {kEditorCastIcon, kStrTipEditorCastIcon},
    {kEditorTemperatureSlider, kStrTipEditorTemperature},
    {kEditorTemperatureValue, kStrTipEditorCastValue},
    {kEditorTintSlider, kStrTipEditorTint},
    {kEditorTintValue, kStrTipEditorCastValue},
    {kEditorCyanRedSlider, kStrTipEditorCyanRed},
    {kEditorMagentaGreenSlider, kStrTipEditorMagentaGreen},
    {kEditorYellowBlueSlider, kStrTipEditorYellowBlue},
    {kEditorCyanRedValue, kStrTipEditorCastValue},
    {kEditorMagentaGreenValue, kStrTipEditorCastValue},
    {kEditorYellowBlueValue, kStrTipEditorCastValue},
    {kEditorNeutralPrefs, kStrTipEditorNeutralPrefs},
    {kEditorBalanceMethod, kStrTipEditorBalanceMethod},
    {kEditorHistogram, kStrTipEditorHistogram},
    {kEditorPointHandles, kStrTipEditorPointHandles},
    {kEditorPointValues, kStrTipEditorPointValues},
    {kEditorGlobalSlider, kStrTipEditorGlobal},
    {kEditorShadowsSlider, kStrTipEditorShadows},
    {kEditorHighlightsSlider, kStrTipEditorHighlights},
    {kEditorContrastSlider, kStrTipEditorContrast},
    {kEditorSaturationSlider, kStrTipEditorSaturation},
    {kEditorGlobalValue, kStrTipEditorToneValue},
    {kEditorShadowsValue, kStrTipEditorToneValue},
    {kEditorHighlightsValue, kStrTipEditorToneValue},
    {kEditorContrastValue, kStrTipEditorToneValue},
    {kEditorSaturationValue, kStrTipEditorToneValue},
    {kEditorCurveArrow, kStrTipEditorCurveArrow},
    {kEditorCurve, kStrTipEditorCurve},
    {kEditorHueRing, kStrTipEditorHueRing},
    {kEditorHueBefore, kStrTipEditorHueBefore},
    {kEditorHueAfter, kStrTipEditorHueAfter},
    {kEditorHueBrightnessSlider, kStrTipEditorHueBrightness},
    {kEditorHueSaturationSlider, kStrTipEditorHueSaturation},
    {kEditorHueBrightnessValue, kStrTipEditorHueValue},
    {kEditorHueSaturationValue, kStrTipEditorHueValue},
    {kEditorMemoryColor1, kStrTipEditorMemoryColor},
    {kEditorMemoryColor2, kStrTipEditorMemoryColor},
    {kEditorMemoryColor3, kStrTipEditorMemoryColor},
    {kEditorMemoryColor4, kStrTipEditorMemoryColor},
    {kEditorMemoryColor5, kStrTipEditorMemoryColor},
    {kEditorMemoryColor6, kStrTipEditorMemoryColor},
    {kEditorBlackWhite, kStrTipEditorBlackWhite},
    {kEditorSepia, kStrTipEditorSepia},
    {kEditorToning, kStrTipEditorToning},
    {kEditorToningSwatch, kStrTipEditorToningSwatch},
    {kEditorMemoryColorInfo, kStrTipEditorMemoryColorInfo},
    {kEditorTabHelp, kStrTipEditorTabHelp},
    {kEditorTabKeenhue, kStrTipEditorTabKeenhue},
    {kEditorTabPrev, kStrTipEditorTabPrev},
    {kEditorTabCustom, kStrTipEditorTabCustom},
    {kEditorTabReset, kStrTipEditorTabReset},
    {kEditorCombinedView, kStrTipEditorCombinedView},
    {kEditorToolView, kStrTipEditorToolView},
    {kEditorSharpen, kStrTipEditorSharpen},
    {kEditorRemoveNoise, kStrTipEditorRemoveNoise},
    {kEditorSharpenNoiseSetup, kStrTipEditorSharpenNoiseSetup},
};

constexpr Ui_ItemTip kPreferencesTips[] = {
    {kPreferencesOk, kStrTipOk},
    {kPreferencesCancel, kStrTipCancel},
    {kPreferencesHelp, kStrTipHelp},
    {kPreferencesOkMode, kStrTipPrefsOkMode},
    {kPreferencesStartWith, kStrTipPrefsStartWith},
    {kPreferencesLoadCustom, kStrTipPrefsLoadCustom},
    {kPreferencesStartAllSame, kStrTipPrefsStartAllSame},
    {kPreferencesKeenhuePrefs, kStrTipPrefsKeenhuePrefs},
    {kPreferencesRestoreDefaults, kStrTipRestoreDefaults},
    {kPreferencesLiveSliders, kStrTipPrefsLiveSliders},
    {kPreferencesSharpening, kStrTipPrefsSharpening},
    {kPreferencesNoiseRemoval, kStrTipPrefsNoiseRemoval},
    {kPreferencesShowSampledRegion, kStrTipPrefsShowSampledRegion},
    {kPreferencesShowPixelValues, kStrTipPrefsShowPixelValues},
    {kPreferencesShowCurveControl, kStrTipPrefsShowCurveControl},
    {kPreferencesShowMethodMenu, kStrTipPrefsShowMethodMenu},
    {kPreferencesShowStartUpGuide, kStrTipPrefsShowStartUpGuide},
    {kPreferencesUseLargestWindow, kStrTipPrefsUseLargestWindow},
    {kPreferencesStart1With, kStrTipPrefsStartTool},
    {kPreferencesStart2With, kStrTipPrefsStartTool},
    {kPreferencesStart3With, kStrTipPrefsStartTool},
    {kPreferencesStart4With, kStrTipPrefsStartTool},
};

constexpr Ui_ItemTip kKeenhuePrefsTips[] = {
    {kKeenhuePrefsOk, kStrTipOk},
    {kKeenhuePrefsCancel, kStrTipCancel},
    {kKeenhuePrefsHelp, kStrTipHelp},
    {kKeenhuePrefsLinear, kStrTipKeenhueSets},
    {kKeenhuePrefsColorBalance, kStrTipKeenhueSets},
    {kKeenhuePrefsBlackPoint, kStrTipKeenhueSets},
    {kKeenhuePrefsGrayPoint, kStrTipKeenhueSets},
    {kKeenhuePrefsWhitePoint, kStrTipKeenhueSets},
    {kKeenhuePrefsGlobalBrightness, kStrTipKeenhueSets},
    {kKeenhuePrefsSaturation, kStrTipKeenhueSets},
    {kKeenhuePrefsHueHandles, kStrTipKeenhueSets},
    {kKeenhuePrefsPreferredSaturation, kStrTipKeenhuePreferredSaturation},
    {kKeenhuePrefsAfterHueHandle, kStrTipKeenhueMemoryColor},
    {kKeenhuePrefsBrightness, kStrTipKeenhueMemoryColor},
    {kKeenhuePrefsMcSaturation, kStrTipKeenhueMemoryColor},
    {kKeenhuePrefsRestoreDefaults, kStrTipRestoreDefaults},
};

constexpr Ui_ItemTip kSharpenNoiseTips[] = {
    {kSharpenNoiseOk, kStrTipOk},
    {kSharpenNoiseCancel, kStrTipCancel},
    {kSharpenNoiseHelp, kStrTipHelp},
    {kSharpenNoiseRestoreDefaults, kStrTipRestoreDefaults},
    {kSharpenNoiseStrengthSlider, kStrTipSharpenStrength},
    {kSharpenNoiseStrengthValue, kStrTipSharpenValue},
    {kSharpenNoiseBlueRadiusSlider, kStrTipNoiseRadius},
    {kSharpenNoiseBlueRadiusValue, kStrTipSharpenValue},
    {kSharpenNoiseBlueThresholdSlider, kStrTipNoiseThreshold},
    {kSharpenNoiseBlueThresholdValue, kStrTipSharpenValue},
    {kSharpenNoiseRedRadiusSlider, kStrTipNoiseRadius},
    {kSharpenNoiseRedRadiusValue, kStrTipSharpenValue},
    {kSharpenNoiseRedThresholdSlider, kStrTipNoiseThreshold},
    {kSharpenNoiseRedThresholdValue, kStrTipSharpenValue},
    {kSharpenNoiseDetailView, kStrTipSharpenDetail},
    {kSharpenNoiseZoomOut, kStrTipSharpenZoomOut},
    {kSharpenNoiseZoomIn, kStrTipSharpenZoomIn},
    {kSharpenNoiseNavigationView, kStrTipSharpenNavigation},
    {kSharpenNoiseValueEntry, kStrTipValueEntry},
};

constexpr Ui_ItemTip kDefineColorTips[] = {
    {kDefineColorOk, kStrTipOk},
    {kDefineColorCancel, kStrTipCancel},
    {kDefineColorHelp, kStrTipHelp},
    {kDefineColorSwatch, kStrTipDefineSwatch},
    {kDefineColorRedSlider, kStrTipDefineRed},
    {kDefineColorGreenSlider, kStrTipDefineGreen},
    {kDefineColorBlueSlider, kStrTipDefineBlue},
    {kDefineColorRedValue, kStrTipDefineValue},
    {kDefineColorGreenValue, kStrTipDefineValue},
    {kDefineColorBlueValue, kStrTipDefineValue},
    {kDefineColorRestoreDefault, kStrTipDefineRestoreDefault},
    {kDefineColorColorPicker, kStrTipDefineColorPicker},
    {kDefineColorLoad, kStrTipDefineLoad},
    {kDefineColorSave, kStrTipDefineSave},
    {kDefineColorValueEntry, kStrTipValueEntry},
};

constexpr Ui_ItemTip kMemoryColorTips[] = {
    {kMemoryColorOk, kStrTipOk},
    {kMemoryColorCancel, kStrTipCancel},
    {kMemoryColorHelp, kStrTipHelp},
    {kMemoryColorGradient, kStrTipMemoryGradient},
    {kMemoryColorName, kStrTipMemoryName},
    {kMemoryColorLabel, kStrTipMemoryLabel},
    {kMemoryColorClear, kStrTipMemoryClear},
    {kMemoryColorSetFromHandle, kStrTipMemorySetFromHandle},
    {kMemoryColorLoad, kStrTipMemoryLoad},
    {kMemoryColorSave, kStrTipMemorySave},
};

// The picture and the text are what the window shows, not controls: a tip there would lie over
// the buttons below whenever the pointer rests on the text.
constexpr Ui_ItemTip kHelpTips[] = {
    {kHelpOk, kStrTipOk},
    {kHelpUserGuide, kStrTipHelpUserGuide},
    {kHelpFaqSite, kStrTipHelpFaq},
    {kHelpDontShowAgain, kStrTipHelpDontShowAgain},
};

template <size_t N>
int32_t Set(UiWindow* dialog, const Ui_ItemTip (&tips)[N]) {
    return Ui_Item_SetTips(dialog, tips, int32_t(N));
}

}  // namespace

int32_t DialogTipsSet(UiWindow* dialog, int32_t dialogId) {
    switch (dialogId) {
        case kDlgEditor:
            return Set(dialog, kEditorTips);
        case kDlgPreferences:
            return Set(dialog, kPreferencesTips);
        case kDlgKeenhuePrefs:
            return Set(dialog, kKeenhuePrefsTips);
        case kDlgSharpenNoise:
            return Set(dialog, kSharpenNoiseTips);
        case kDlgDefineColor:
            return Set(dialog, kDefineColorTips);
        case kDlgMemoryColor:
            return Set(dialog, kMemoryColorTips);
        case kDlgHelp:
            return Set(dialog, kHelpTips);
        default:
            return kStatusOk;
    }
}
