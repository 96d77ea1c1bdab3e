// Tooltips: every control of the editing window and of each dialog it opens has one, so a
// control added to a template without its tooltip is caught here; and the editing window sets
// them when it opens.
#include <string>
#include <vector>

#include "edit/window/dialog_tips.h"
#include "platform/ui/dlg_template.h"
#include "resources/ids/dlg_define_color.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/dlg_help.h"
#include "resources/ids/dlg_keenhue_prefs.h"
#include "resources/ids/dlg_memory_color.h"
#include "resources/ids/dlg_preferences.h"
#include "resources/ids/dlg_sharpen_noise.h"
#include "tests/edit/window/window_test_support.h"

namespace {

using namespace ui_testing;

// The items that are no controls although not static texts: the tool panel's frame, the status
// and progress lines and the two labels the colour-cast sliders draw, the help window's picture
// and text; and the standalone application's controls, which the Preferences dialog of the
// filter never shows.
bool Exempt(int32_t dialogId, int16_t item) {
    if (dialogId == kDlgEditor) {
        return item == kEditorToolFrame || item == kEditorStatus || item == kEditorProgress ||
               item == kEditorTemperatureLabel || item == kEditorTintLabel;
    }
    if (dialogId == kDlgPreferences) {
        return kPreferencesWorkingSpaceLabel <= item && item <= kPreferencesLowerCase;
    }
    if (dialogId == kDlgHelp) return item == kHelpPicture || item == kHelpText;
    return false;
}

int32_t gDialog = 0;
int32_t SetTips(UiWindow* w) {
    return DialogTipsSet(w, gDialog);
}

class DialogTipsTest : public window_testing::WindowTest {};

TEST_F(DialogTipsTest, EveryControlOfEveryDialogHasATooltip) {
    for (int32_t id : {kDlgEditor, kDlgPreferences, kDlgKeenhuePrefs, kDlgSharpenNoise,
                       kDlgDefineColor, kDlgMemoryColor, kDlgHelp}) {
        gDialog = id;
        std::vector<std::string> missing;
        int32_t controls = 0;
        SetScript({Call([&](UiWindow* w) {
            const UiHeadlessWindow* hw = Ui_Headless_Window(w);
            for (int32_t i = 0; i < hw->itemCount; ++i) {
                const UiHeadlessItem& it = hw->items[i];
                if (it.kind == kUiItemStatic || Exempt(id, int16_t(i + 1))) continue;
                ++controls;
                if (it.tip[0] == 0 || it.tip[0] == '?') missing.push_back(std::to_string(i + 1));
            }
        })});
        int16_t item = 0;
        ASSERT_EQ(Ui_Dlg_Run(state_, id, nullptr, SetTips, nullptr, &item), 0) << id;
        EXPECT_GT(controls, 3) << id;
        EXPECT_TRUE(missing.empty())
            << "dialog " << id << ": items without a tooltip: " << Joined(missing);
    }
}

TEST_F(DialogTipsTest, TheEditingWindowSetsItsTooltipsWhenItOpens) {
    std::string okTip, sliderTip;
    SetScript({Call([&](UiWindow* w) {
        okTip = Item(w, kEditorOk).tip;
        sliderTip = Item(w, kEditorSaturationSlider).tip;
    })});
    bool accepted = false;
    ASSERT_EQ(RunEditingWindow(&window_, es_.get(), &accepted), 0);
    EXPECT_EQ(okTip.rfind("Apply the correction", 0), 0u) << okTip;
    EXPECT_EQ(sliderTip, "Color saturation (double-click: no change)");
}

}  // namespace
