// Numbers typed into the value boxes of the editing window's tools: a click on a box opens the
// entry over it, Return or leaving the field applies the number as one history step, Escape and
// refused texts change nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "edit/window/cast_sliders.h"
#include "edit/window/editing_window.h"
#include "edit/window/hue_ring.h"
#include "edit/window/tone_points.h"
#include "platform/ui/binding.h"
#include "platform/ui/controls.h"
#include "platform/ui/headless/headless.h"
#include "resources/ids/dlg_editor.h"
#include "tests/edit/window/window_test_support.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace window_testing;

class TypedValuesTest : public WindowTest {
   protected:
    void SetUp() override {
        WindowTest::SetUp();
        prefs_->keenhueMode = 0;
        MakePicture(16, 16, [](int32_t x, int32_t y, uint8_t p[3]) {
            p[0] = uint8_t(40 + 12 * x), p[1] = uint8_t(30 + 10 * y), p[2] = uint8_t(90 + 5 * x);
        });
    }
    bool Run(std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(RunEditingWindow(&window_, es_.get(), &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return accepted;
    }
    Ui_Rect RectOf(int16_t item) {
        Ui_Rect r{};
        Run({Call([&](UiWindow* w) { Ui_Item_GetRect(w, item, &r); }), Click(kEditorCancel)});
        return r;
    }
    // A click on a value box at (v, h), or at its centre.
    static std::vector<UiScriptEvent> ClickAt(int16_t item, int16_t v, int16_t h) {
        return {Press(item, v, h), Release(v, h)};
    }
    UiScriptEvent EntryOpen(bool* open) {
        return Call([open](UiWindow* w) { *open = Item(w, kEditorValueEntry).visible != 0; });
    }
    static bool Same(const EditPars& a, const EditPars& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
};

// Each kind of box takes the number it shows: the tone offsets, the two colour-cast methods, the
// hue handle's brightness and hues, and the levels tab's three boxes (grey as its fraction).
TEST_F(TypedValuesTest, ATypedNumberSetsWhatTheBoxShows) {
    struct Case {
        const char* name;
        int32_t tab, method;
        int16_t box;
        int32_t part;  // the tone point whose box is clicked, or -1 for the item's centre
        const char* typed;
        std::function<double(const EditState&)> read;
        double expected;
    };
    const Case cases[] = {
        {"brightness", 2, kBalanceNeutrals, kEditorGlobalValue, -1, "12",
         [](const EditState& s) { return double(s.editPars.brightness); }, 0.56},
        {"contrast", 2, kBalanceNeutrals, kEditorContrastValue, -1, " -40 ",
         [](const EditState& s) { return double(s.editPars.contrast); }, 0.30},
        {"cyan-red", 0, kBalanceThreeSliders, kEditorCyanRedValue, -1, "+30",
         [](const EditState& s) { return double(s.balanceSlider[0]); }, 0.65},
        {"temperature", 0, kBalanceTwoSliders, kEditorTemperatureValue, -1, "-20",
         [](const EditState& s) { return double(s.balanceSlider[2]); }, 0.60},
        {"hue brightness", 3, kBalanceNeutrals, kEditorHueBrightnessValue, -1, "25",
         [](const EditState& s) {
             float x = 0;
             HueSliderGet(&s, kHueBrightness, &x);
             return double(x);
         },
         0.75},
        {"after hue", 3, kBalanceNeutrals, kEditorHueAfter, -1, "7",
         [](const EditState& s) {
             return HueHandleAngle(&s.editPars, HueActiveHandle(&s), kHueAfter);
         },
         7.0},
        {"black point", 1, kBalanceNeutrals, kEditorPointValues, kTonePointBlack, "10",
         [](const EditState& s) { return double(s.editPars.blackPoint); }, 0.10},
        {"grey fraction", 1, kBalanceNeutrals, kEditorPointValues, kTonePointGray, "40",
         [](const EditState& s) { return double(s.editPars.grayPoint); }, 0.40},
        {"white point", 1, kBalanceNeutrals, kEditorPointValues, kTonePointWhite, "90",
         [](const EditState& s) { return double(s.editPars.whitePoint); }, 0.90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
        es_->currentTab = c.tab;
        es_->balanceMethod = c.method;
        const double before = c.read(*es_);
        Ui_Rect r = RectOf(c.box);
        if (c.part >= 0) {
            bool measured = false;
            Run({Call([&](UiWindow* w) {
                     measured = true;
                     Ui_Rect item = r;
                     TonePointsValueBox(w, &item, c.part, &r);
                 }),
                 Click(kEditorCancel)});
            ASSERT_TRUE(measured);
        }
        const int16_t v = int16_t((r.top + r.bottom) / 2), h = int16_t((r.left + r.right) / 2);
        double typed = 0, undone = 0, redone = 0;
        bool open = false, closed = true;
        auto read = [&](double* into) {
            return Call([&, into](UiWindow*) { *into = c.read(*es_); });
        };
        std::vector<UiScriptEvent> script = ClickAt(c.box, v, h);
        script.push_back(EntryOpen(&open));
        script.push_back(Type(kEditorValueEntry, c.typed));
        script.push_back(Key(kUiKeyReturn));
        script.push_back(EntryOpen(&closed));
        script.push_back(read(&typed));
        script.push_back(Key('Z', 0, 1));
        script.push_back(read(&undone));
        script.push_back(Key('Y', 0, 1));
        script.push_back(read(&redone));
        script.push_back(Click(kEditorCancel));
        EXPECT_FALSE(Run(script)) << "Return took the number, not OK";
        EXPECT_TRUE(open);
        EXPECT_FALSE(closed);
        EXPECT_NEAR(typed, c.expected, 1e-5);
        EXPECT_NEAR(undone, before, 1e-6) << "one step";
        EXPECT_NEAR(redone, c.expected, 1e-5);
        EXPECT_TRUE(alerts.empty());
    }
}

// A text that is no whole number in the box's range is refused with a beep: the record stays
// byte for byte, Return keeps the field open for another try, and Escape closes it with the
// window still open.
TEST_F(TypedValuesTest, RefusedTextsAndEscapeChangeNothing) {
    es_->currentTab = 2;
    const EditPars start = es_->editPars;
    const char* refused[] = {"", " ", "+", "abc", "12a", "1.5", "101", "-101", "1234567", "0x10"};
    for (const char* text : refused) {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        const int32_t beeps = Ui_Headless_Beeps();
        bool afterReturn = false, afterEscape = true;
        EditPars whileOpen{};
        Run({Click(kEditorGlobalValue), Type(kEditorValueEntry, text), Key(kUiKeyReturn),
             EntryOpen(&afterReturn), Call([&](UiWindow*) { whileOpen = es_->editPars; }),
             Key(kUiKeyEscape), EntryOpen(&afterEscape), Click(kEditorCancel)});
        EXPECT_TRUE(afterReturn);
        EXPECT_FALSE(afterEscape);
        EXPECT_EQ(Ui_Headless_Beeps(), beeps + 1);
        EXPECT_TRUE(Same(whileOpen, start));
        EXPECT_TRUE(Same(es_->editPars, start));
    }
    // A good number thrown away with Escape.
    bool closed = true;
    Run({Click(kEditorGlobalValue), Type(kEditorValueEntry, "50"), Key(kUiKeyEscape),
         EntryOpen(&closed), Click(kEditorCancel)});
    EXPECT_FALSE(closed);
    EXPECT_TRUE(Same(es_->editPars, start));
    EXPECT_TRUE(alerts.empty());
}

// Leaving the field applies it: a click on a button, a press on a slider, a key of the window.
// OK clicked with a number typed takes the number with it.
TEST_F(TypedValuesTest, LeavingTheFieldAppliesTheNumber) {
    es_->currentTab = 2;
    const Ui_Rect slider = RectOf(kEditorContrastSlider);
    const int16_t v = int16_t((slider.top + slider.bottom) / 2);
    const int16_t centre = int16_t(slider.left + (slider.right - slider.left - 1) / 2);
    float byButton = 0, byPress = 0, contrast = 0;
    Run({Click(kEditorGlobalValue), Type(kEditorValueEntry, "20"), Click(kEditorPreviewCheck),
         Call([&](UiWindow*) { byButton = es_->editPars.brightness; }), Click(kEditorGlobalValue),
         Type(kEditorValueEntry, "-20"), Press(kEditorContrastSlider, v, centre),
         Release(v, centre), Call([&](UiWindow*) {
             byPress = es_->editPars.brightness;
             contrast = es_->editPars.contrast;
         }),
         Click(kEditorShadowsValue), Type(kEditorValueEntry, "8"), Key(kUiKeyReturn),
         // After Return, a click on another box while a third is being typed opens that box.
         Click(kEditorHighlightsValue), Type(kEditorValueEntry, "-6"), Click(kEditorContrastValue),
         Type(kEditorValueEntry, "4"), Click(kEditorOk)});
    EXPECT_FLOAT_EQ(byButton, 0.6f);
    EXPECT_FLOAT_EQ(byPress, 0.4f);
    EXPECT_FLOAT_EQ(contrast, 0.5f) << "the press on the slider's centre";
    EXPECT_FLOAT_EQ(es_->editPars.shadow, 0.54f);
    EXPECT_FLOAT_EQ(es_->editPars.highlight, 0.47f);
    EXPECT_FLOAT_EQ(es_->editPars.contrast, 0.52f) << "OK took the number being typed";
    EXPECT_TRUE(alerts.empty());
}

}  // namespace
