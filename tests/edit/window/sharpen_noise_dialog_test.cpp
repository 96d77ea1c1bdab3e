// The sharpen and noise dialog's rows, sliders, defaults and Cancel.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "edit/edit_state.h"
#include "edit/window/sharpen_noise_dialog.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_sharpen_noise.h"
#include "tests/edit/window/dialog_test_support.h"

namespace {

using namespace window_testing;

class SharpenNoiseTest : public DialogTest {
   protected:
    void SetUp() override {
        DialogTest::SetUp();
        es_ = std::make_unique<EditState>();
        ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
        SharpenNoise& s = es_->editPars.sharpenNoise;
        s.sharpenOn = 1;
        s.noiseOn = 1;
        s.sharpenStrength = 10;
        s.noiseRadius[1] = 5;
        s.noiseRadius[2] = 12;
        s.noiseThreshold[1] = 30;
        s.noiseThreshold[2] = 2;
    }
    bool Run(std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(SharpenNoiseDialog(&env_, es_.get(), &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return accepted;
    }
    // Press at one end of a slider and release past the other.
    std::vector<UiScriptEvent> Sweep(int16_t item, bool toRight) {
        Ui_Rect r{};
        const SharpenNoise keep = es_->editPars.sharpenNoise;
        Run({Call([&](UiWindow* w) { Ui_Item_GetRect(w, item, &r); }), Click(kSharpenNoiseCancel)});
        es_->editPars.sharpenNoise = keep;
        const int16_t v = int16_t((r.top + r.bottom) / 2);
        return {Press(item, v, int16_t(toRight ? r.left : r.right - 1)),
                Release(v, int16_t(toRight ? r.right + 20 : r.left - 20))};
    }
    std::string ValueShown(UiWindow* w, int16_t item) {
        Ui_Rect r;
        Ui_Item_GetRect(w, item, &r);
        const UiHeadlessWindow* hw = Ui_Headless_Window(w);
        std::string last;
        for (int32_t i = 0; i < hw->textCount; ++i) {
            const Ui_Rect& t = hw->texts[i].rect;
            if (t.top >= r.top && t.bottom <= r.bottom && t.left >= r.left && t.right <= r.right) {
                last = hw->texts[i].text;
            }
        }
        return last;
    }
    std::unique_ptr<EditState> es_;
};

TEST_F(SharpenNoiseTest, RowsFollowWhatIsSwitchedOn) {
    es_->editPars.sharpenNoise.noiseOn = 0;
    EXPECT_TRUE(
        Run({Call([&](UiWindow* w) {
                 for (int16_t i = kSharpenNoiseSharpenTitle; i <= kSharpenNoiseSharpenFrame; ++i) {
                     EXPECT_TRUE(Item(w, i).visible) << i;
                 }
                 for (int16_t i = kSharpenNoiseNoiseTitle; i <= kSharpenNoiseNoiseNote; ++i) {
                     EXPECT_FALSE(Item(w, i).visible) << i;
                 }
             }),
             Click(kSharpenNoiseOk)}));
    es_->editPars.sharpenNoise.noiseOn = 1;
    es_->editPars.sharpenNoise.sharpenOn = 0;
    EXPECT_TRUE(Run({Call([&](UiWindow* w) {
                         EXPECT_FALSE(Item(w, kSharpenNoiseStrengthSlider).visible);
                         EXPECT_TRUE(Item(w, kSharpenNoiseRedThresholdSlider).visible);
                     }),
                     Click(kSharpenNoiseOk)}));
}

TEST_F(SharpenNoiseTest, SlidersSpanTheirRangesAndOkKeepsTheValues) {
    std::vector<UiScriptEvent> script;
    for (auto [item, right] : {std::pair<int16_t, bool>{kSharpenNoiseStrengthSlider, true},
                               {kSharpenNoiseBlueRadiusSlider, false},
                               {kSharpenNoiseBlueThresholdSlider, true},
                               {kSharpenNoiseRedRadiusSlider, true},
                               {kSharpenNoiseRedThresholdSlider, false}}) {
        for (const UiScriptEvent& e : Sweep(item, right)) script.push_back(e);
    }
    std::string strength, redThreshold;
    script.push_back(Call([&](UiWindow* w) {
        strength = ValueShown(w, kSharpenNoiseStrengthValue);
        redThreshold = ValueShown(w, kSharpenNoiseRedThresholdValue);
    }));
    script.push_back(Click(kSharpenNoiseOk));
    EXPECT_TRUE(Run(script));
    const SharpenNoise& s = es_->editPars.sharpenNoise;
    EXPECT_EQ(s.sharpenStrength, 24);
    EXPECT_EQ(s.noiseRadius[1], 3);
    EXPECT_EQ(s.noiseThreshold[1], 50);
    EXPECT_EQ(s.noiseRadius[2], 16);
    EXPECT_EQ(s.noiseThreshold[2], 1);
    EXPECT_EQ(strength, "24");
    EXPECT_EQ(redThreshold, " 1");
}

// The boxes take typed numbers within their sliders' ranges; outside them nothing changes.
TEST_F(SharpenNoiseTest, ValueBoxesTakeTypedNumbersInTheirRanges) {
    const int32_t beeps = Ui_Headless_Beeps();
    std::string shown;
    EXPECT_TRUE(Run({Click(kSharpenNoiseStrengthValue), Type(kSharpenNoiseValueEntry, "17"),
                     Key(kUiKeyReturn), Click(kSharpenNoiseRedRadiusValue),
                     Type(kSharpenNoiseValueEntry, "99"), Key(kUiKeyReturn),
                     Type(kSharpenNoiseValueEntry, "3"), Click(kSharpenNoiseBlueThresholdValue),
                     Type(kSharpenNoiseValueEntry, "0"), Key(kUiKeyEscape),
                     Call([&](UiWindow* w) { shown = ValueShown(w, kSharpenNoiseStrengthValue); }),
                     Click(kSharpenNoiseOk)}));
    const SharpenNoise& s = es_->editPars.sharpenNoise;
    EXPECT_EQ(s.sharpenStrength, 17);
    EXPECT_EQ(s.noiseRadius[2], 3) << "leaving the field for another box applied it";
    EXPECT_EQ(s.noiseThreshold[1], 30) << "Escape";
    EXPECT_EQ(shown, "17");
    EXPECT_EQ(Ui_Headless_Beeps(), beeps + 1) << "99 is past the radius slider's end";
}

// The arrows move the slider with the focus a step (Shift: ten) and stop at its ends.
TEST_F(SharpenNoiseTest, ArrowKeysMoveTheFocusedSliderWithinItsRange) {
    const UiScriptEvent shiftLeft = Holding(Key(37, kSharpenNoiseRedRadiusSlider), 0, 0, 1);
    EXPECT_TRUE(Run({Key(39, kSharpenNoiseStrengthSlider), Key(38, kSharpenNoiseStrengthSlider),
                     shiftLeft, shiftLeft, Click(kSharpenNoiseOk)}));
    const SharpenNoise& s = es_->editPars.sharpenNoise;
    EXPECT_EQ(s.sharpenStrength, 12);                      // 10, two steps up
    EXPECT_EQ(s.noiseRadius[2], kNoiseRadiusRange[2].lo);  // 12, twice ten down: held at 3
}

TEST_F(SharpenNoiseTest, RestoreDefaultsThenCancelPutsEverythingBack) {
    const SharpenNoise before = es_->editPars.sharpenNoise;
    std::vector<UiScriptEvent> script = Sweep(kSharpenNoiseStrengthSlider, true);
    script.push_back(Click(kSharpenNoiseRestoreDefaults));
    script.push_back(Call([&](UiWindow*) {
        const SharpenNoise& s = es_->editPars.sharpenNoise;
        EXPECT_EQ(s.sharpenStrength, 6);
        EXPECT_EQ(s.noiseRadius[1], 8);
        EXPECT_EQ(s.noiseRadius[2], 4);
        EXPECT_EQ(s.noiseThreshold[1], 16);
        EXPECT_EQ(s.noiseThreshold[2], 16);
    }));
    script.push_back(Click(kSharpenNoiseCancel));
    EXPECT_FALSE(Run(script));
    EXPECT_EQ(std::memcmp(&before, &es_->editPars.sharpenNoise, sizeof before), 0);
    // The close box (the dialog ended without a button): the same.
    EXPECT_FALSE(Run(Sweep(kSharpenNoiseStrengthSlider, true)));
    EXPECT_EQ(std::memcmp(&before, &es_->editPars.sharpenNoise, sizeof before), 0);
}

}  // namespace
