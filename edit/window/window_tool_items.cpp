// Which of the editing window's items are the tools of the tabs; see window_tool_items.h.
#include "edit/window/window_tool_items.h"

#include "edit/window/cast_sliders.h"
#include "edit/window/window_record.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_editor.h"

namespace {

// The tool items the tools draw (window_tools.cpp), besides the tone sliders and their value
// boxes.
constexpr int16_t kDrawnTools[] = {kEditorCastWedge,
                                   kEditorCastIcon,
                                   kEditorTemperatureLabel,
                                   kEditorTemperatureValue,
                                   kEditorTemperatureSlider,
                                   kEditorTintLabel,
                                   kEditorTintValue,
                                   kEditorTintSlider,
                                   kEditorCyanRedValue,
                                   kEditorMagentaGreenValue,
                                   kEditorYellowBlueValue,
                                   kEditorCyanRedSlider,
                                   kEditorMagentaGreenSlider,
                                   kEditorYellowBlueSlider,
                                   kEditorHistogram,
                                   kEditorPointHandles,
                                   kEditorPointValues,
                                   kEditorCurveArrow,
                                   kEditorCurve,
                                   kEditorHueRing,
                                   kEditorHueBefore,
                                   kEditorHueAfter,
                                   kEditorHueBrightnessValue,
                                   kEditorHueBrightnessSlider,
                                   kEditorHueSaturationValue,
                                   kEditorHueSaturationSlider};

// The brightness tab's rows: slider, value box, one row every three items from "Global" on.
constexpr int16_t kToneRowStep = 3;

}  // namespace

bool IsToneSlider(int16_t item) {
    return kEditorGlobalSlider <= item && item <= kEditorSaturationSlider &&
           (item - kEditorGlobalSlider) % kToneRowStep == 0;
}

bool IsToneValue(int16_t item) {
    return kEditorGlobalValue <= item && item <= kEditorSaturationValue &&
           (item - kEditorGlobalValue) % kToneRowStep == 0;
}

int32_t ToneSliderOf(int16_t item) {
    return (item - kEditorGlobalSlider) / kToneRowStep;
}

int32_t CastSliderOf(int16_t item) {
    switch (item) {
        case kEditorTemperatureValue:
        case kEditorTemperatureSlider:
            return kCastTemperature;
        case kEditorTintValue:
        case kEditorTintSlider:
            return kCastTint;
        default:
            break;
    }
    if (kEditorCyanRedValue <= item && item <= kEditorYellowBlueValue) {
        return item - kEditorCyanRedValue;
    }
    if (kEditorCyanRedSlider <= item && item <= kEditorYellowBlueSlider) {
        return item - kEditorCyanRedSlider;
    }
    return -1;
}

int16_t ValueBoxOfSlider(int16_t item) {
    if (IsToneSlider(item)) return int16_t(item + 1);
    switch (item) {
        case kEditorTemperatureSlider:
            return kEditorTemperatureValue;
        case kEditorTintSlider:
            return kEditorTintValue;
        case kEditorHueBrightnessSlider:
            return kEditorHueBrightnessValue;
        case kEditorHueSaturationSlider:
            return kEditorHueSaturationValue;
        default:
            break;
    }
    if (kEditorCyanRedSlider <= item && item <= kEditorYellowBlueSlider) {
        return int16_t(kEditorCyanRedValue + (item - kEditorCyanRedSlider));
    }
    return 0;
}

bool IsCastSlider(int16_t item) {
    return item == kEditorTemperatureSlider || item == kEditorTintSlider ||
           (kEditorCyanRedSlider <= item && item <= kEditorYellowBlueSlider);
}

bool EditorIsDraggedTool(int16_t item) {
    return IsCastSlider(item) || IsToneSlider(item) || item == kEditorPointHandles ||
           item == kEditorHueRing || item == kEditorHueBrightnessSlider ||
           item == kEditorHueSaturationSlider;
}

bool IsDrawnTool(int16_t item) {
    if (IsToneSlider(item) || IsToneValue(item)) return true;
    for (int16_t drawn : kDrawnTools) {
        if (item == drawn) return true;
    }
    return false;
}

void EditorRedrawTools(EditingWindow* win) {
    // The sliders show the balance whatever made it, so that a touch adjusts it.
    const int32_t method = win->es->balanceMethod;
    if (method == kBalanceTwoSliders || method == kBalanceThreeSliders) {
        CastPositionsFollowBalance(win->es);
    }
    for (int16_t item : kDrawnTools) Ui_Item_Invalidate(win->dialog, item);
    for (int16_t item = kEditorGlobalSlider; item <= kEditorSaturationValue; ++item) {
        if (IsToneSlider(item) || IsToneValue(item)) Ui_Item_Invalidate(win->dialog, item);
    }
}
