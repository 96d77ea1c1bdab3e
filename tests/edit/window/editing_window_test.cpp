// The editing window through RunEditingWindow on the headless binding: opening, the preview
// through its transforms, start buttons, boxes, tabs, undo, OK and Cancel, custom settings files
// and resizing. The host's preview procedures are stand-ins that hand out a small cast image as
// the analysis image and record what the window asked them to draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "edit/edit_snapshot.h"
#include "edit/keenhue.h"
#include "edit/pars_text.h"
#include "edit/edit_history.h"
#include "edit/window/editing_window.h"
#include "edit/window/window_transforms.h"
#include "edit/window/hue_ring.h"
#include "edit/window/tone_points.h"
#include "edit/window/tone_sliders.h"
#include "engine/edit_chain.h"
#include "engine/huegrid_build.h"
#include "engine/measure.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "resources/ids/strings.h"
#include "resources/ids/dlg_define_color.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/dlg_help.h"
#include "tests/edit/window/window_test_support.h"

namespace {

using namespace window_testing;

constexpr int32_t kImageW = 48, kImageH = 32;

class EditingWindowTest : public WindowTest {
   protected:
    void SetUp() override {
        WindowTest::SetUp();
        prefs_->keenhueMask = kEditMaskAll;
        // A warm cast: greys, a blue sky and skin, all pushed towards red.
        MakePicture(kImageW, kImageH, [](int32_t x, int32_t y, uint8_t p[3]) {
            const int g = 20 + 220 * x / (kImageW - 1);
            if (y < 8) {
                p[0] = 90, p[1] = 130, p[2] = 200;
            } else if (y < 16) {
                p[0] = 230, p[1] = 170, p[2] = 130;
            } else {
                p[0] = uint8_t(g < 225 ? g + 30 : 255), p[1] = uint8_t(g + 8 > 255 ? 255 : g + 8),
                p[2] = uint8_t(g > 20 ? g - 20 : 0);
            }
        });
        host_.acquirePreview = [](void* c, int32_t w, int32_t h, Ui_Failure*) -> int32_t {
            EditingWindowTest* t = Self<EditingWindowTest>(c);
            t->acquired_.emplace_back(w, h);
            t->es_->analysisImage = t->view_;
            return 0;
        };
        host_.drawPreview = [](void* c, UiWindow*, const Ui_Rect*, const PreviewLook* look,
                               Ui_Failure*) -> int32_t {
            EditingWindowTest* t = Self<EditingWindowTest>(c);
            t->drawnThrough_.push_back(look->shown);
            t->drawnClipping_.push_back(look->clipping);
            // A mid grey of the picture as the preview shows it.
            float rgb[3] = {0, 0, 0};
            HgPixelThrough(&t->view_, look->shown, kImageW / 2, kImageH - 1, rgb, nullptr);
            t->drawnGrey_.push_back(rgb[1]);
            return 0;
        };
        window_.documentName = "/photos/beach.tif";
        window_.writePrefs = [](void* c, Ui_Failure* f) -> int32_t {
            auto* t = static_cast<EditingWindowTest*>(c);
            ++t->prefsWrites_;
            return Ui_Failure_Describe(f, t->prefsWriteStatus_, kPhraseUpdatePrefs, 0, "prefs");
        };
    }
    bool Run(std::vector<UiScriptEvent> script, int32_t expectStatus = 0) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(RunEditingWindow(&window_, es_.get(), &accepted), expectStatus);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return accepted;
    }
    // The live parameters a plain Keenhue of every tool gives on the cast image.
    EditPars KeenhueAll() {
        EditState copy = *es_;
        EXPECT_EQ(ResetEditStatePars(&copy, kEditMaskAll), 0);
        EXPECT_EQ(AutoSettings(&copy, kEditMaskAll, &view_), 0);
        return copy.editPars;
    }
    static bool Same(const EditPars& a, const EditPars& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
    // Where a click at x pixels into the tab bar lands, measured on an opened window.
    Ui_Rect TabBar() {
        Ui_Rect r{};
        Run({Call([&](UiWindow* w) { Ui_Item_GetRect(w, kEditorTabBar, &r); }),
             Click(kEditorCancel)});
        acquired_.clear();
        return r;
    }
    std::vector<UiScriptEvent> ClickTabBar(const Ui_Rect& r, int16_t x) {
        const int16_t v = int16_t(r.top + 4);
        return {Press(kEditorTabBar, v, int16_t(r.left + x)), Release(v, int16_t(r.left + x))};
    }
    bool Visible(UiWindow* w, int16_t item) { return Item(w, item).visible != 0; }
    // An item's rectangle in a window opened on the state's tab and method.
    Ui_Rect RectOf(int16_t item) {
        Ui_Rect r{};
        Run({Call([&](UiWindow* w) { Ui_Item_GetRect(w, item, &r); }), Click(kEditorCancel)});
        return r;
    }
    // The centre of the black point's handle, in a window opened on tab 1.
    Ui_Point BlackHandle() {
        es_->currentTab = 1;
        const Ui_Rect r = RectOf(kEditorPointHandles);
        TonePoints points;
        TonePointsOf(&es_->editPars, &points);
        return Ui_Point{int16_t((r.top + r.bottom) / 2),
                        int16_t(TonePointsColumn(&r, points.black))};
    }
    // The newest text drawn inside an item.
    static std::string LastTextIn(UiWindow* w, int16_t item) {
        Ui_Rect r;
        Ui_Item_GetRect(w, item, &r);
        const UiHeadlessWindow* hw = Ui_Headless_Window(w);
        for (int32_t i = hw->textCount - 1; i >= 0; --i) {
            const Ui_Rect& t = hw->texts[i].rect;
            if (t.top >= r.top && t.bottom <= r.bottom && t.left >= r.left && t.right <= r.right) {
                return hw->texts[i].text;
            }
        }
        return "";
    }

    std::vector<std::pair<int32_t, int32_t>> acquired_;
    std::vector<Huegrid*> drawnThrough_;
    std::vector<uint8_t> drawnClipping_;
    std::vector<float> drawnGrey_;  // the green of a mid grey in each preview drawn
    int32_t prefsWrites_ = 0;
    int32_t prefsWriteStatus_ = 0;
};

TEST_F(EditingWindowTest, OpensWithItsItemsSetFromTheState) {
    prefs_->okMode = 2;
    prefs_->keenhueMode = 1;
    bool checked = false;
    EXPECT_FALSE(Run({Call([&](UiWindow* w) {
                          const UiHeadlessWindow* hw = Ui_Headless_Window(w);
                          EXPECT_STREQ(hw->title, "Tintara Kolmara Pro");
                          EXPECT_FALSE(Visible(w, kEditorProgress));
                          EXPECT_EQ(Item(w, kEditorKeenhueMode).check, 1);
                          EXPECT_EQ(Item(w, kEditorPreviewCheck).check, 1);
                          EXPECT_FALSE(Visible(w, kEditorLinear)) << "8-bit image";
                          EXPECT_EQ(Item(w, kEditorBalanceMethod).listCount, 3);
                          EXPECT_STREQ(Item(w, kEditorBalanceMethod).list[1], "2 Sliders");
                          EXPECT_EQ(Item(w, kEditorBalanceMethod).listSelection,
                                    0);  // 0-based here
                          EXPECT_FALSE(Item(w, kEditorUndo).enabled);
                          for (int16_t i = kEditorMemoryColor1; i <= kEditorMemoryColor6; ++i) {
                              EXPECT_FALSE(Item(w, i).enabled);
                          }
                          EXPECT_EQ(ItemText(w, kEditorOk), "Create Profile...");
                          EXPECT_TRUE(Visible(w, kEditorEyedropper));
                          // Tab 0 with the neutrals method.
                          EXPECT_TRUE(Visible(w, kEditorCastWedge));
                          EXPECT_TRUE(Visible(w, kEditorTabKeenhue));
                          EXPECT_FALSE(Visible(w, kEditorHistogram));
                          checked = true;
                      }),
                      Click(kEditorCancel)}));
    EXPECT_TRUE(checked);
    // The picture was asked for the preview item's size inside its frame (380 x 336 units at
    // 7 x 15 pixels a base unit).
    ASSERT_EQ(acquired_.size(), 1u);
    EXPECT_EQ(acquired_[0], std::make_pair(665 - 2, 630 - 2));
}

TEST_F(EditingWindowTest, OpeningRunsKeenhueForTheToolsThatStartWithIt) {
    window_.keenhueStart = kEditMaskAll;
    EditState expected = *es_;
    ASSERT_EQ(AutoSettings(&expected, kEditMaskAll, &view_), 0);
    EXPECT_TRUE(Run({Click(kEditorOk)}));
    EXPECT_TRUE(Same(es_->editPars, expected.editPars));
    EXPECT_TRUE(Same(prefs_->previousSettings, expected.editPars));
}

TEST_F(EditingWindowTest, PixelValuesOffHidesTheReadouts) {
    prefs_->showPixelValues = 0;
    Ui_Rect before{}, after{};
    Run({Call([&](UiWindow* w) {
             EXPECT_FALSE(Visible(w, kEditorEyedropper));
             EXPECT_FALSE(Visible(w, kEditorReadouts));
             Ui_Item_GetRect(w, kEditorPreviewCheck, &after);
         }),
         Click(kEditorCancel)});
    prefs_->showPixelValues = 1;
    Run({Call([&](UiWindow* w) { Ui_Item_GetRect(w, kEditorPreviewCheck, &before); }),
         Click(kEditorCancel)});
    // Still inside the window and clear of the preview.
    EXPECT_EQ(RectText(before), RectText(after));
}

TEST_F(EditingWindowTest, StartUpGuideFollowsTheFirstPaint) {
    prefs_->showStartUpGuide = 1;
    bool guide = false;
    Run({For(kDlgHelp, Call([&](UiWindow*) { guide = true; })), For(kDlgHelp, Click(kHelpOk)),
         Click(kEditorCancel)});
    EXPECT_TRUE(guide);
}

TEST_F(EditingWindowTest, OkCopiesTheLiveRecordCancelDoesNot) {
    const EditPars start = prefs_->previousSettings;
    EXPECT_FALSE(Run({Click(kEditorAllKeenhue), Click(kEditorCancel)}));
    EXPECT_TRUE(Same(prefs_->previousSettings, start));
    EXPECT_EQ(prefsWrites_, 1);
    EXPECT_TRUE(Run({Click(kEditorAllKeenhue), Click(kEditorOk)}));
    EXPECT_TRUE(Same(prefs_->previousSettings, es_->editPars));
    EXPECT_EQ(prefsWrites_, 2);
    // A preferences file that cannot be written is told; the window still closes as asked.
    prefsWriteStatus_ = -6;
    EXPECT_TRUE(Run({Click(kEditorOk)}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("updating Preferences file prefs"), std::string::npos) << alerts[0];
}

// A preview the host cannot give (here an empty selection) keeps the window from opening: one
// alert, no clicks reach it, nothing changes and nothing is written; OK cannot filter on a grey
// preview.
TEST_F(EditingWindowTest, WithoutItsPictureTheWindowNeverOpens) {
    host_.acquirePreview = [](void*, int32_t, int32_t, Ui_Failure* f) -> int32_t {
        return Ui_Failure_DescribeText(f, kStatusError, kStrEmptySelection, kUiFailStop);
    };
    const EditPars before = es_->editPars;
    EXPECT_FALSE(Run({Click(kEditorAllKeenhue), Click(kEditorOk)}));
    EXPECT_EQ(Ui_Headless_Remaining(), 2) << "the window took events";
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("The selected area is empty."), std::string::npos) << alerts[0];
    EXPECT_TRUE(Same(es_->editPars, before));
    EXPECT_EQ(prefsWrites_, 0);
}

TEST_F(EditingWindowTest, AltOkCyclesWhatOkDoesWhenAllowed) {
    prefs_->altOkCyclesMode = 1;
    prefs_->okMode = 2;
    std::string titles;
    const UiScriptEvent altOk = Holding(Click(kEditorOk), 0, 1, 0);
    auto title = [&](UiWindow* w) { titles += ItemText(w, kEditorOk) + "|"; };
    EXPECT_FALSE(
        Run({altOk, Call(title), altOk, Call(title), altOk, Call(title), Click(kEditorCancel)}));
    EXPECT_EQ(titles, "Create Huegrid...|Edit Image|Edit Profile...|");
    EXPECT_EQ(prefs_->okMode, 1);
    // Without the preference Alt-click is a plain OK (in "Edit Image" mode: no file to choose).
    prefs_->altOkCyclesMode = 0;
    prefs_->okMode = 0;
    EXPECT_TRUE(Run({altOk}));
}

TEST_F(EditingWindowTest, MasterKeenhueSetsEveryToolAndTheNeutralsMethod) {
    es_->balanceMethod = kBalanceThreeSliders;
    const EditPars expected = KeenhueAll();
    std::vector<UiScriptEvent> script = {Click(kEditorAllKeenhue)};
    bool undoOn = false;
    script.push_back(Call([&](UiWindow* w) { undoOn = Item(w, kEditorUndo).enabled; }));
    script.push_back(Click(kEditorOk));
    EXPECT_TRUE(Run(script));
    EXPECT_TRUE(Same(es_->editPars, expected));
    EXPECT_EQ(es_->balanceMethod, kBalanceNeutrals);
    EXPECT_TRUE(undoOn);
    // The preview was drawn through a built transform all along (the combined view's after).
    ASSERT_FALSE(drawnThrough_.empty());
    EXPECT_NE(drawnThrough_.back(), nullptr);
}

TEST_F(EditingWindowTest, MasterPrevSwitchesKeenhueModeOffTabPrevKeepsItAndFollows) {
    prefs_->keenhueMode = 1;
    // Previous settings with a changed tone group.
    EditState other = *es_;
    other.editPars.contrast = 0.7f;
    other.editPars.brightness = 0.3f;
    prefs_->previousSettings = other.editPars;
    int32_t modeAfterMaster = -1;
    Run({Click(kEditorAllPrev),
         Call([&](UiWindow* w) { modeAfterMaster = Item(w, kEditorKeenhueMode).check; }),
         Click(kEditorCancel)});
    EXPECT_EQ(modeAfterMaster, 0);
    EXPECT_EQ(prefs_->keenhueMode, 0);
    EXPECT_FLOAT_EQ(es_->editPars.contrast, 0.7f);

    // Tab 2's "Prev" in Keenhue Mode: its groups from the previous settings, the hue tool
    // right of it set again by Keenhue, the mode stays on.
    prefs_->keenhueMode = 1;
    ASSERT_EQ(ResetEditStatePars(es_.get(), kEditMaskAll), 0);
    int32_t modeAfterTab = -1;
    es_->currentTab = 2;
    Run({Click(kEditorTabPrev),
         Call([&](UiWindow* w) { modeAfterTab = Item(w, kEditorKeenhueMode).check; }),
         Click(kEditorCancel)});
    EXPECT_FLOAT_EQ(es_->editPars.contrast, 0.7f);
    EditState expected = *es_;
    ASSERT_EQ(ResetEditStatePars(&expected, kEditMaskAllHues), 0);
    ASSERT_EQ(AutoSettings(&expected, kEditMaskAllHues, &view_), 0);
    EXPECT_TRUE(Same(es_->editPars, expected.editPars)) << "the hue tool follows";
    EXPECT_EQ(modeAfterTab, 1);
}

TEST_F(EditingWindowTest, EachTabShowsItsOwnItems) {
    prefs_->showCurveControl = 1;
    auto shown = [&](int32_t tab, std::vector<int16_t> on, std::vector<int16_t> off) {
        es_->currentTab = tab;
        Run({Call([&](UiWindow* w) {
                 for (int16_t i : on) EXPECT_TRUE(Visible(w, i)) << "tab " << tab << " item " << i;
                 for (int16_t i : off) EXPECT_FALSE(Visible(w, i)) << "tab " << tab << " " << i;
             }),
             Click(kEditorCancel)});
    };
    shown(1, {kEditorHistogram, kEditorPointValues, kEditorTabKeenhue, kEditorTabReset},
          {kEditorCastWedge, kEditorBalanceMethod, kEditorNeutralPrefs, kEditorHueRing});
    shown(2, {kEditorGlobalSlider, kEditorSaturationValue, kEditorCurveArrow},
          {kEditorCurve, kEditorHistogram});
    shown(3, {kEditorHueRing, kEditorMemoryColor6, kEditorToning, kEditorMemoryColorInfo},
          {kEditorGlobalSlider});
    es_->balanceMethod = kBalanceTwoSliders;
    shown(0, {kEditorTemperatureSlider, kEditorTintValue, kEditorBalanceMethod, kEditorTabReset},
          {kEditorCastWedge, kEditorTabKeenhue, kEditorTabCustom, kEditorCyanRedSlider});
    es_->balanceMethod = kBalanceThreeSliders;
    shown(0, {kEditorCyanRedSlider, kEditorBlueLabel}, {kEditorTemperatureSlider});
    // Without the method menu the neutrals controls show whatever the method was.
    prefs_->showMethodMenu = 0;
    shown(0, {kEditorCastWedge, kEditorNeutralPrefs, kEditorTabKeenhue},
          {kEditorBalanceMethod, kEditorCyanRedSlider});
    EXPECT_EQ(es_->balanceMethod, kBalanceNeutrals);
}

TEST_F(EditingWindowTest, MethodListResetsTheColourBalance) {
    es_->editPars.balBin[3].count = 5;
    es_->balanceSlider[0] = 0.8f;
    bool twoShown = false;
    Run({Select(kEditorBalanceMethod, 2),
         Call([&](UiWindow* w) { twoShown = Visible(w, kEditorTemperatureSlider); }),
         Click(kEditorCancel)});
    EXPECT_TRUE(twoShown);
    EXPECT_EQ(es_->balanceMethod, kBalanceTwoSliders);
    EXPECT_EQ(es_->editPars.balBin[3].count, 0);
    EXPECT_FLOAT_EQ(es_->balanceSlider[0], 0.5f);
}

// "Prev" brings a balance of marked neutrals; the three sliders then show positions that give
// it, and a number typed into one of them adjusts that balance instead of discarding it.
TEST_F(EditingWindowTest, TheSlidersShowABalanceTheyDidNotMakeAndATouchKeepsIt) {
    prefs_->keenhueMode = 0;
    const float warmDark[3] = {0.32f, 0.25f, 0.2f}, warmLight[3] = {0.8f, 0.7f, 0.62f};
    ASSERT_EQ(HgAddBalanceColour(&prefs_->previousSettings, warmDark), 0);
    ASSERT_EQ(HgAddBalanceColour(&prefs_->previousSettings, warmLight), 0);
    es_->balanceMethod = kBalanceThreeSliders;
    auto middleGrey = [](EditPars p, float out[3]) {
        const float grey[3] = {0.5f, 0.5f, 0.5f};
        EXPECT_EQ(HgEvalColour(&p, kEditLinear | kEditBalance, grey, out), 0);
    };
    float wanted[3], touched[3], afterPrev[3], undone[3];
    std::string red, green;
    auto positions = [&](float* into) {
        return Call([this, into](UiWindow*) {
            for (int c = 0; c < 3; ++c) into[c] = es_->balanceSlider[c];
        });
    };
    Run({Click(kEditorAllPrev), positions(afterPrev), Call([&](UiWindow* w) {
             middleGrey(es_->editPars, wanted);
             red = LastTextIn(w, kEditorCyanRedValue);
             green = LastTextIn(w, kEditorMagentaGreenValue);
         }),
         Click(kEditorMagentaGreenValue),
         Call([&](UiWindow* w) { Ui_Item_SetText(w, kEditorValueEntry, green.c_str()); }),
         Key(kUiKeyReturn), Call([&](UiWindow*) { middleGrey(es_->editPars, touched); }),
         Key('Z', 0, 1), positions(undone), Click(kEditorCancel)});
    EXPECT_NE(red, "0");
    EXPECT_LT(afterPrev[0], afterPrev[2]) << "a warm cast: red down, blue up";
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(touched[c], wanted[c], 0.01f) << c;
        EXPECT_EQ(undone[c], afterPrev[c]) << c;
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(EditingWindowTest, UndoBringsBackParametersTabAndMethod) {
    const Ui_Rect r = TabBar();
    const EditPars start = es_->editPars;
    std::vector<UiScriptEvent> script = {Select(kEditorBalanceMethod, 3), Click(kEditorAllKeenhue)};
    for (const UiScriptEvent& e : ClickTabBar(r, 160)) script.push_back(e);
    bool wedge = false;
    script.push_back(Click(kEditorUndo));
    script.push_back(Call([&](UiWindow* w) { wedge = Visible(w, kEditorCyanRedSlider); }));
    script.push_back(Click(kEditorCancel));
    Run(script);
    // The snapshot of the master Keenhue: tab 0 with the three-slider method it had then.
    EXPECT_EQ(es_->currentTab, 0);
    EXPECT_EQ(es_->balanceMethod, kBalanceThreeSliders);
    EXPECT_TRUE(wedge);
    EXPECT_TRUE(Same(es_->editPars, start)) << "the Keenhue undone";
}

// Three changes, taken back one at a time by the button and Ctrl+Z and brought back by the
// button, Ctrl+Y and Ctrl+Shift+Z; the buttons are enabled exactly when they have a step.
TEST_F(EditingWindowTest, UndoAndRedoWalkTheHistoryBothWays) {
    es_->currentTab = 3;
    es_->editPars.brightness = 0.6f;  // so that Reset, the third change, is not the start again
    // The record after each change (0: the start), and the record seen at each probe.
    std::vector<std::unique_ptr<EditPars>> states, seen;
    std::string buttons;
    auto keep = [&](std::vector<std::unique_ptr<EditPars>>* into) {
        return Call([this, into](UiWindow*) {
            into->push_back(std::make_unique<EditPars>(es_->editPars));
        });
    };
    auto probe = [&](UiWindow* w) {
        seen.push_back(std::make_unique<EditPars>(es_->editPars));
        buttons += std::string(Item(w, kEditorUndo).enabled ? "U" : "-") +
                   (Item(w, kEditorRedo).enabled ? "R" : "-") + " ";
    };
    Run({keep(&states),       Click(kEditorSepia),
         keep(&states),       Click(kEditorAllKeenhue),
         keep(&states),       Click(kEditorAllReset),
         keep(&states),       Call(probe),
         Click(kEditorUndo),  Call(probe),
         Key('Z', 0, 1),      Call(probe),
         Click(kEditorUndo),  Call(probe),
         Key('Z', 0, 1),  // nothing left: no change
         Call(probe),         Click(kEditorRedo),
         Call(probe),         Key('Y', 0, 1),
         Call(probe),         Holding(Key('Z', 0, 1), 1, 0, 1),
         Call(probe),         Click(kEditorUndo),
         Click(kEditorSepia), Call(probe),
         Click(kEditorCancel)});
    ASSERT_EQ(states.size(), 4u);
    ASSERT_EQ(seen.size(), 9u);
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_FALSE(Same(*states[i], *states[i - 1])) << "change " << i << " changed nothing";
    }
    const int expected[8] = {3, 2, 1, 0, 0, 1, 2, 3};
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(Same(*seen[size_t(i)], *states[size_t(expected[i])])) << "probe " << i;
    }
    EXPECT_EQ(buttons, "U- UR UR -R -R UR UR U- U- ");
    EXPECT_TRUE(alerts.empty());
}

// The tooltips of Undo and Redo name the step each would take back or bring back.
TEST_F(EditingWindowTest, UndoAndRedoSayWhatTheyWouldChange) {
    es_->editPars.sharpenNoise.sharpenOn = 0;
    std::vector<std::string> tips;
    auto tip = [&](UiWindow* w) {
        tips.push_back(std::string(Item(w, kEditorUndo).tip) + " | " + Item(w, kEditorRedo).tip);
    };
    Run({Call(tip), Click(kEditorSharpen), Call(tip), Click(kEditorAllKeenhue), Call(tip),
         Click(kEditorUndo), Call(tip), Click(kEditorCancel)});
    ASSERT_EQ(tips.size(), 4u);
    EXPECT_EQ(tips[0],
              "Take back the last change; again for the one before (Ctrl+Z) | Put back what Undo "
              "took back (Ctrl+Shift+Z or Ctrl+Y)");
    EXPECT_EQ(tips[1].substr(0, tips[1].find(" |")),
              "Undo Sharpen (Ctrl+Z); again for the change before it");
    EXPECT_EQ(tips[2].substr(0, tips[2].find(" |")),
              "Undo Changes to Several Tools (Ctrl+Z); again for the change before it");
    EXPECT_EQ(tips[3],
              "Undo Sharpen (Ctrl+Z); again for the change before it | Redo Changes to "
              "Several Tools (Ctrl+Shift+Z or Ctrl+Y)");
}

// The history against a model of it, through 240 random actions from a fixed seed: start
// buttons of the window and of the tab, Keenhue Mode, the sharpen and noise boxes, tab switches,
// and Undo and Redo by their keys. The model keeps the distinct corrections the person went
// through on the current branch; after every undo and redo the window must show the one the
// model says, record, definitions, method and sliders alike.
TEST_F(EditingWindowTest, UndoAndRedoFollowAModelOfTheHistoryThroughRandomEditing) {
    prefs_->previousSettings.brightness = 0.62f;  // so that "Prev" changes something
    prefs_->previousSettings.contrast = 0.41f;
    struct Model {
        std::vector<std::unique_ptr<EditSnapshot>> states;  // the branch, oldest first
        size_t at = 0;                                      // the one shown
        int checks = 0;
        std::string failures;
    } model;
    model.states.push_back(std::make_unique<EditSnapshot>());
    EditSnapshotTake(es_.get(), model.states[0].get());

    // kTab: a tab switch, which changes the correction only when it completes what Keenhue Mode
    // left for the hue tab (the placement of the hue handles); that belongs to the step before.
    enum Kind { kChange, kTab, kUndo, kRedo };
    auto observe = [this, &model](Kind kind, int step) {
        return Call([this, &model, kind, step](UiWindow*) {
            auto now = std::make_unique<EditSnapshot>();
            EditSnapshotTake(es_.get(), now.get());
            if (kind == kTab) {
                model.states[model.at] = std::move(now);
                return;
            }
            if (kind == kChange) {
                if (EditSnapshotSame(*now, *model.states[model.at])) return;
                model.states.resize(model.at + 1);
                model.states.push_back(std::move(now));
                // The history keeps the newest hundred steps.
                if (model.states.size() > size_t(kEditHistorySteps) + 1) {
                    model.states.erase(model.states.begin());
                }
                model.at = model.states.size() - 1;
                return;
            }
            if (kind == kUndo && model.at > 0) --model.at;
            if (kind == kRedo && model.at + 1 < model.states.size()) ++model.at;
            ++model.checks;
            if (!EditSnapshotSame(*now, *model.states[model.at])) {
                model.failures += "step " + std::to_string(step) +
                                  (kind == kUndo ? " undo" : " redo") + " left another state\n";
            }
        });
    };
    const int16_t buttons[] = {kEditorAllKeenhue, kEditorAllPrev,     kEditorAllReset,
                               kEditorTabKeenhue, kEditorTabPrev,     kEditorTabReset,
                               kEditorSharpen,    kEditorRemoveNoise, kEditorKeenhueMode};
    const Ui_Rect bar = TabBar();
    const Ui_Rect preview = RectOf(kEditorPreviewImage);
    es_->currentTab = 2;
    const Ui_Rect contrast = RectOf(kEditorContrastSlider);
    es_->currentTab = 0;
    auto inDefine = [](UiScriptEvent e) { return For(kDlgDefineColor, e); };
    std::mt19937 random(20261208);
    std::vector<UiScriptEvent> script;
    std::deque<std::string> typed;  // the script keeps pointers to its texts
    int undos = 0, redos = 0;
    for (int step = 0; step < 400; ++step) {
        const uint32_t pick = random() % 30;
        // A drag of the contrast slider, from one place on it to another.
        if (pick >= 27) {
            for (const UiScriptEvent& e : ClickTabBar(bar, 160)) script.push_back(e);
            script.push_back(observe(kTab, step));
            const int16_t v = int16_t((contrast.top + contrast.bottom) / 2);
            const int32_t width = contrast.right - contrast.left;
            const int16_t from = int16_t(contrast.left + random() % width);
            const int16_t to = int16_t(contrast.left + random() % width);
            script.push_back(Press(kEditorContrastSlider, v, from));
            script.push_back(Drag(v, int16_t((from + to) / 2)));
            script.push_back(Release(v, to));
            script.push_back(observe(kChange, step));
            continue;
        }
        // A click on the picture, drawn whole in the middle of the preview: a neutral, a tone
        // point or a hue marked, as the tab shown has it.
        if (pick >= 24) {
            const int16_t v = int16_t((preview.top + preview.bottom) / 2 - kImageH / 2 + 1 +
                                      random() % (kImageH - 2));
            const int16_t h = int16_t((preview.left + preview.right) / 2 - kImageW / 2 + 1 +
                                      random() % (kImageW - 2));
            script.push_back(Press(kEditorPreviewImage, v, h));
            script.push_back(Release(v, h));
            script.push_back(observe(kChange, step));
            continue;
        }
        // A number typed into a box of the tone tab (now and then one that is refused), or the
        // neutral's definition typed in its dialog: to the tab first, then the change.
        if (pick >= 20) {
            const bool definition = pick >= 22;
            for (const UiScriptEvent& e : ClickTabBar(bar, definition ? 20 : 160)) {
                script.push_back(e);
            }
            script.push_back(observe(kTab, step));
            typed.push_back(random() % 8 == 0 ? "x" : std::to_string(int(random() % 201) - 100));
            const std::string& number = typed.back();
            if (definition) {
                script.push_back(Click(kEditorNeutralPrefs));
                script.push_back(inDefine(Click(kDefineColorRedValue + int16_t(random() % 3))));
                script.push_back(inDefine(Type(kDefineColorValueEntry, number.c_str())));
                script.push_back(inDefine(Key(kUiKeyReturn)));
                script.push_back(inDefine(Click(kDefineColorOk)));
            } else {
                script.push_back(Click(random() % 2 ? kEditorGlobalValue : kEditorContrastValue));
                script.push_back(Type(kEditorValueEntry, number.c_str()));
                script.push_back(Key(kUiKeyReturn));
                if (number == "x") script.push_back(Key(kUiKeyEscape));
            }
            script.push_back(observe(kChange, step));
            continue;
        }
        if (pick < 9) {
            script.push_back(Click(buttons[pick]));
            script.push_back(observe(kChange, step));
        } else if (pick < 11) {
            script.push_back(Key(9, 0, 1));  // Ctrl+Tab
            script.push_back(observe(kTab, step));
        } else if (pick < 16) {
            script.push_back(Key('Z', 0, 1));
            script.push_back(observe(kUndo, step));
            ++undos;
        } else {
            script.push_back(pick < 18 ? Key('Y', 0, 1) : Holding(Key('Z', 0, 1), 1, 0, 1));
            script.push_back(observe(kRedo, step));
            ++redos;
        }
    }
    script.push_back(Click(kEditorCancel));
    Run(script);
    EXPECT_EQ(model.failures, "");
    EXPECT_EQ(model.checks, undos + redos);
    EXPECT_GT(undos, 40);
    EXPECT_GT(redos, 40);
    EXPECT_GT(typed.size(), 30u);
    EXPECT_GT(model.states.size(), 10u) << "the walk made changes";
    // The only alert a walk may meet: a hue marked on one of the picture's greys.
    for (const std::string& alert : alerts) {
        EXPECT_NE(alert.find("too neutral to specify a hue"), std::string::npos) << alert;
    }
}

TEST_F(EditingWindowTest, PreviewBoxAndViewIconsChooseTheTransformDrawn) {
    std::vector<size_t> marks;
    auto mark = [&](UiWindow*) { marks.push_back(drawnThrough_.size()); };
    Run({Call(mark), Click(kEditorPreviewCheck), Idle(1), Call(mark), Click(kEditorPreviewCheck),
         Idle(1), Call(mark), Click(kEditorCancel)});
    ASSERT_EQ(marks.size(), 3u);
    ASSERT_GT(marks[1], marks[0]);
    // Combined view: "Preview" off shows the image itself (no transform), on the full one.
    EXPECT_EQ(drawnThrough_[marks[1] - 1], nullptr);
    EXPECT_NE(drawnThrough_[marks[2] - 1], nullptr);

    EXPECT_EQ(PreviewBeforeMask(2, 1), 0);
    EXPECT_EQ(PreviewAfterMask(2, 1), 65535);
    const int32_t before[4] = {1, 3, 31, 1023}, after[4] = {3, 31, 1023, 65535};
    for (int32_t tab = 0; tab < 4; ++tab) {
        EXPECT_EQ(PreviewBeforeMask(tab, 0), before[tab]);
        EXPECT_EQ(PreviewAfterMask(tab, 0), after[tab]);
    }
    bool toolIcon = false;
    Run({Click(kEditorCombinedView), Call([&](UiWindow* w) {
             toolIcon = Visible(w, kEditorToolView) && !Visible(w, kEditorCombinedView);
         }),
         Click(kEditorCancel)});
    EXPECT_TRUE(toolIcon);
}

TEST_F(EditingWindowTest, LinearOnlyForSixteenBitImages) {
    es_->bitsPerChannel = 16;
    bool shown = false;
    Run({Call([&](UiWindow* w) { shown = Visible(w, kEditorLinear); }), Click(kEditorLinear),
         Click(kEditorCancel)});
    EXPECT_TRUE(shown);
    EXPECT_EQ(es_->editPars.linear, 1);
    // An 8-bit image: master Keenhue leaves linear off.
    es_->bitsPerChannel = 8;
    ASSERT_EQ(ResetEditStatePars(es_.get(), kEditMaskAll), 0);
    Run({Click(kEditorAllKeenhue), Click(kEditorCancel)});
    EXPECT_EQ(es_->editPars.linear, 0);
}

TEST_F(EditingWindowTest, SharpenAndNoiseBoxesEnableSetup) {
    std::vector<int> enabled;
    auto setup = [&](UiWindow* w) { enabled.push_back(Item(w, kEditorSharpenNoiseSetup).enabled); };
    Run({Call(setup), Click(kEditorSharpen), Call(setup), Click(kEditorRemoveNoise),
         Click(kEditorSharpen), Call(setup), Click(kEditorRemoveNoise), Call(setup),
         Click(kEditorCancel)});
    EXPECT_EQ(enabled, (std::vector<int>{0, 1, 1, 0}));
}

// The sharpen and noise settings are kept however the window closes: by Cancel, and by OK in a
// mode that writes a file (where no filtering follows to store them).
// However the window closes (OK, Cancel, its close box), the preferences keep how the person
// worked: the sharpen and noise settings, the tab, the method and the window's size; a file that
// cannot be written is told once and the record keeps them all. The size comes back next time.
TEST_F(EditingWindowTest, HowThePersonWorkedIsKeptHoweverTheWindowCloses) {
    prefs_->sharpenNoise.sharpenOn = 0;
    prefs_->sharpenNoise.noiseOn = 0;
    es_->editPars.sharpenNoise = prefs_->sharpenNoise;
    const Ui_Rect bar = TabBar();
    std::vector<UiScriptEvent> script = {Select(kEditorBalanceMethod, 2)};
    for (const UiScriptEvent& e : ClickTabBar(bar, 160)) script.push_back(e);
    script.push_back(Click(kEditorSharpen));
    script.push_back(Resize(1200, 800));
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Cancel" : "close box");
        prefsWrites_ = 0;
        *prefs_ = Prefs{};
        ASSERT_EQ(SetPrefsDefaults(prefs_.get()), 0);
        prefs_->showStartUpGuide = 0;
        prefs_->showMethodMenu = 1;
        es_->editPars.sharpenNoise.sharpenOn = 0;
        es_->currentTab = 0;
        es_->balanceMethod = kBalanceNeutrals;
        std::vector<UiScriptEvent> run = script;
        if (cancel) run.push_back(Click(kEditorCancel));
        EXPECT_FALSE(Run(run));
        EXPECT_EQ(prefs_->sharpenNoise.sharpenOn, 1);
        EXPECT_EQ(prefs_->lastTab, 2);
        EXPECT_EQ(prefs_->lastMethod, kBalanceTwoSliders);
        EXPECT_GT(prefs_->windowWidth, 1000);
        EXPECT_GT(prefs_->windowHeight, 700);
        EXPECT_EQ(prefsWrites_, 1) << "written as the window closed";
    }
    // A failing write: told once, nothing lost in memory.
    prefsWriteStatus_ = -2;
    prefs_->lastTab = 0;
    EXPECT_TRUE(Run({Click(kEditorSharpen), Click(kEditorOk)}));
    EXPECT_EQ(prefs_->lastTab, 2);
    EXPECT_EQ(prefs_->sharpenNoise.sharpenOn, 0);
    EXPECT_EQ(prefs_->previousSettings.sharpenNoise.sharpenOn, 0);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("updating Preferences file"), std::string::npos) << alerts[0];
    // Opened again: at the size it was left with.
    prefsWriteStatus_ = 0;
    Ui_Rect bounds{};
    const int32_t width = prefs_->windowWidth, height = prefs_->windowHeight;
    Run({Call([&](UiWindow* w) { Ui_Dlg_Bounds_Get(w, &bounds); }), Click(kEditorCancel)});
    EXPECT_EQ(Ui_Rect_Width(&bounds), width);
    EXPECT_EQ(Ui_Rect_Height(&bounds), height);
}

TEST_F(EditingWindowTest, EyedropperAndReadoutsCycle) {
    // Through the window, RGB -> CMYK -> HSB -> RGB: the preferences keep the last size and mode,
    // and the readouts are drawn with the mode's labels.
    prefs_->sampleSize = 2;
    prefs_->readoutMode = 0;
    std::vector<std::string> labels;
    auto label = [&](UiWindow* w) {
        const std::vector<std::string> texts = TextsIn(w, kEditorReadouts);
        for (auto t = texts.rbegin(); t != texts.rend(); ++t) {
            if (*t == "R:" || *t == "C:" || *t == "H:") {
                labels.push_back(*t);
                return;
            }
        }
        labels.push_back("");
    };
    Run({Click(kEditorEyedropper), Click(kEditorReadouts), Idle(0), Call(label),
         Click(kEditorReadouts), Idle(0), Call(label), Click(kEditorCancel)});
    EXPECT_EQ(prefs_->sampleSize, 1);
    EXPECT_EQ(prefs_->readoutMode, 1);
    EXPECT_EQ(labels, (std::vector<std::string>{"C:", "H:"}));
}

TEST_F(EditingWindowTest, TransformFailureIsToldOnce) {
    es_->gridLevel = 9;  // no such quality: every build is refused
    Run({Click(kEditorCancel)});
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("creating Huegrid"), std::string::npos) << alerts[0];
}

TEST_F(EditingWindowTest, AFailingDragIsToldOnceAfterTheRelease) {
    es_->currentTab = 2;
    const Ui_Rect r = RectOf(kEditorGlobalSlider);
    alerts.clear();
    es_->gridLevel = 9;  // every build is refused: the opening tells it, then the drag
    prefs_->keenhueMode = 0;
    const int16_t v = int16_t((r.top + r.bottom) / 2);
    size_t whileDragging = 0;
    Run({Press(kEditorGlobalSlider, v, int16_t(r.left + 20)), Drag(v, int16_t(r.left + 40)),
         Drag(v, int16_t(r.left + 60)), Call([&](UiWindow*) { whileDragging = alerts.size(); }),
         Release(v, int16_t(r.left + 80)), Click(kEditorCancel)});
    EXPECT_EQ(whileDragging, 1u);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[1].find("creating Huegrid"), std::string::npos) << alerts[1];
}

// A double-click on a slider puts it back to no change as one step with its first click: Undo
// brings back the value dragged to before it, not where the first click put the slider. The
// pointer takes nothing more until it is let go.
TEST_F(EditingWindowTest, ADoubleClickPutsASliderBackToNoChange) {
    es_->currentTab = 2;
    const Ui_Rect r = RectOf(kEditorGlobalSlider);
    prefs_->keenhueMode = 0;
    const float start = es_->editPars.brightness;
    const int16_t v = int16_t((r.top + r.bottom) / 2), h = int16_t(r.right - 6);
    float dragged = start, reset = 0, undone = 0;
    auto brightness = [&](float* into) {
        return Call([this, into](UiWindow*) { *into = es_->editPars.brightness; });
    };
    const int16_t first = int16_t(r.left + 8);  // where the double-click is
    Run({Press(kEditorGlobalSlider, v, h), Release(v, h), brightness(&dragged),
         Press(kEditorGlobalSlider, v, first), Release(v, first),
         DoublePress(kEditorGlobalSlider, v, first), Drag(v, int16_t(first + 30)),
         Release(v, first), brightness(&reset), Key('Z', 0, 1), brightness(&undone),
         Click(kEditorCancel)});
    EXPECT_NE(dragged, start) << "the first click moved the slider";
    EXPECT_EQ(reset, start);
    EXPECT_EQ(undone, dragged);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(EditingWindowTest, SaveCustomWritesTheSettingsAndRemembersTheFolder) {
    const std::string folder = root_ + "/custom/";
    std::filesystem::create_directories(folder);
    Str_CopyBounded(prefs_->customFolder, sizeof prefs_->customFolder, folder.c_str());
    const std::string chosen = root_ + "/mine.txt";
    window_.documentName = "coffee.tif";
    Run({Click(kEditorAllKeenhue), Click(kEditorSaveCustom), Choose(chosen.c_str()),
         Click(kEditorCancel)});
    const UiHeadlessChooser* c = Ui_Headless_LastChooser();
    EXPECT_STREQ(c->title, "Save Custom Settings");
    // The name offered is the document's with the text file's extension, as the filter shows.
    EXPECT_EQ(std::string(c->offered), folder + "coffeePars.txt");
    EXPECT_STREQ(c->lastPattern, "*.txt");
    EXPECT_EQ(std::string(prefs_->customFolder), root_ + "/");
    EditPars read = es_->editPars;
    read.contrast = 0.1f;
    ASSERT_EQ(ReadParsText(chosen.c_str(), &read), 0);
    EXPECT_NEAR(read.contrast, es_->editPars.contrast, 1e-5);
    EXPECT_NEAR(read.whitePoint, es_->editPars.whitePoint, 1e-5);
    EXPECT_NE(read.whitePoint, EditPars{}.whitePoint);
}

// Alt-click on master "Custom", and its menu's "Load Custom Settings..." (desktops keep
// Alt+click for themselves): the same steps and the same alert.
TEST_F(EditingWindowTest, AltCustomOrItsMenuLoadsAFileAndADamagedOneChangesNothing) {
    EditState saved = *es_;
    saved.editPars.saturation = 0.8f;
    const std::string good = root_ + "/good.txt";
    ASSERT_EQ(WriteParsText(&saved.editPars, good.c_str()), 0);
    const std::string bad = root_ + "/bad.txt";
    std::ofstream(bad) << "not settings\n";
    const EditPars opened = es_->editPars;
    const std::vector<std::vector<UiScriptEvent>> routes = {
        {Holding(Click(kEditorAllCustom), 0, 1, 0)}, {Context(kEditorAllCustom), MenuChoice(1)}};
    for (const std::vector<UiScriptEvent>& route : routes) {
        es_->editPars = opened;
        alerts.clear();
        std::vector<UiScriptEvent> script = route;
        script.insert(script.end(), {Choose(good.c_str()), Click(kEditorCancel)});
        Run(script);
        EXPECT_FLOAT_EQ(es_->editPars.saturation, 0.8f);
        EXPECT_STREQ(prefs_->customName, "good.txt");
        EXPECT_TRUE(alerts.empty());

        const EditPars before = es_->editPars;
        const EditPars custom = prefs_->customSettings;
        script = route;
        script.insert(script.end(), {Choose(bad.c_str()), Click(kEditorCancel)});
        Run(script);
        EXPECT_TRUE(Same(es_->editPars, before));
        EXPECT_TRUE(Same(prefs_->customSettings, custom));
        EXPECT_EQ(alerts.size(), 1u);
    }
}

// "Custom" with nothing loaded says so and changes nothing (it used to act as "Reset"); custom
// settings kept without their name (an older file, "Restore Defaults") still apply.
TEST_F(EditingWindowTest, CustomWithNothingLoadedSaysSoAndChangesNothing) {
    es_->editPars.saturation = 0.7f;
    const EditPars opened = es_->editPars;
    // A stored copy carries the working space's figures as the file rounded them.
    prefs_->customSettings.refRGB.gamma = std::nextafter(prefs_->customSettings.refRGB.gamma, 3.0f);
    bool undoOn = true;
    Run({Click(kEditorAllCustom), Click(kEditorTabCustom),
         Call([&](UiWindow* w) { undoOn = Item(w, kEditorUndo).enabled; }), Click(kEditorCancel)});
    EXPECT_TRUE(Same(es_->editPars, opened));
    EXPECT_FALSE(undoOn) << "nothing happened to undo";
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[0].find("No custom settings are loaded"), std::string::npos) << alerts[0];

    alerts.clear();
    prefs_->customSettings.saturation = 0.3f;  // no name
    Run({Click(kEditorAllCustom), Click(kEditorCancel)});
    EXPECT_FLOAT_EQ(es_->editPars.saturation, 0.3f);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(EditingWindowTest, TheOkMenuOffersWhatOkDoesWithTheCurrentModeChecked) {
    prefs_->altOkCyclesMode = 0;  // the menu does not depend on the Alt-click's preference
    prefs_->okMode = 2;
    std::string title, marks, texts;
    EXPECT_FALSE(Run({Context(kEditorOk), MenuChoice(4), Call([&](UiWindow* w) {
                          title = ItemText(w, kEditorOk);
                          const UiHeadlessMenu* m = Ui_Headless_LastMenu();
                          for (int i = 0; i < m->count; ++i) {
                              marks += std::to_string(m->mark[i]);
                              texts += std::string(m->text[i]) + "|";
                          }
                      }),
                      Context(kEditorOk), MenuChoice(0), Click(kEditorCancel)}));
    EXPECT_EQ(texts, "Edits Images|Edits ICC Profiles|Creates ICC Profiles|Creates Huegrids|");
    EXPECT_EQ(marks, "1121");  // every mode a switch, the one in force checked
    EXPECT_EQ(title, "Create Huegrid...");
    EXPECT_EQ(prefs_->okMode, 3) << "a dismissed menu changes nothing";
}

TEST_F(EditingWindowTest, ResizingFetchesThePictureForTheGrownPreview) {
    Ui_Rect small{}, large{}, ok{}, tabBar{};
    Run({Call([&](UiWindow* w) { Ui_Item_GetRect(w, kEditorPreviewImage, &small); }),
         Resize(1200, 900), Call([&](UiWindow* w) {
             Ui_Item_GetRect(w, kEditorPreviewImage, &large);
             Ui_Item_GetRect(w, kEditorOk, &ok);
             Ui_Item_GetRect(w, kEditorTabBar, &tabBar);
         }),
         Click(kEditorCancel)});
    ASSERT_EQ(acquired_.size(), 2u);
    EXPECT_EQ(acquired_[1].first - acquired_[0].first, 1200 - 1050);
    EXPECT_EQ(acquired_[1].second - acquired_[0].second, 900 - 750);
    EXPECT_LT(large.right, tabBar.left);
    EXPECT_LT(large.bottom, ok.top);
    EXPECT_FALSE(LogWith("EditImageResizeProc: minBoundsRect").empty() && state_->diagnostics == 1);
}

// The slider geometry the value boxes are read against: a centre column of its own and each
// side's half-width out to that side's last column; v = round(100 d / half-width).
int SliderValueAt(const Ui_Rect& r, int h) {
    const int centre = r.left + (r.right - r.left - 1) / 2;
    const int half = h < centre ? centre - r.left : r.right - 1 - centre;
    const long v = std::lround(100.0 * (h - centre) / half);
    return int(v < -100 ? -100 : v > 100 ? 100 : v);
}

TEST_F(EditingWindowTest, SliderValueBoxesReadWhatThePointerOffsetsGive) {
    // Boxes of the brightness tab and the two-slider method show an offset from the middle, those
    // of the three sliders a signed number.
    auto offset = [](int v) {
        return v < 0 ? "-" + std::to_string(-v) : v > 0 ? "+" + std::to_string(v) : "0";
    };
    auto signedText = [](int v) { return v >= 1 ? "+" + std::to_string(v) : std::to_string(v); };
    struct Case {
        int32_t tab, method;
        int16_t slider, box;
        bool signedBox;
    };
    const Case cases[] = {
        {2, kBalanceNeutrals, kEditorGlobalSlider, kEditorGlobalValue, false},
        {2, kBalanceNeutrals, kEditorContrastSlider, kEditorContrastValue, false},
        {0, kBalanceThreeSliders, kEditorMagentaGreenSlider, kEditorMagentaGreenValue, true},
        {0, kBalanceTwoSliders, kEditorTemperatureSlider, kEditorTemperatureValue, false},
        {0, kBalanceTwoSliders, kEditorTintSlider, kEditorTintValue, false},
    };
    for (const Case& c : cases) {
        es_->currentTab = c.tab;
        es_->balanceMethod = c.method;
        const Ui_Rect r = RectOf(c.slider);
        ASSERT_GT(r.right - r.left, 40) << c.slider;
        const int centre = r.left + (r.right - r.left - 1) / 2;
        const int16_t v = int16_t((r.top + r.bottom) / 2);
        // Both ends, just off the centre, odd fractions on each side, and past the right end.
        const std::vector<int> hs = {r.left + 3,
                                     r.left,
                                     centre - 1,
                                     centre,
                                     centre + 1,
                                     centre + (r.right - centre) * 37 / 100,
                                     centre - (centre - r.left) * 3 / 10,
                                     r.right - 1,
                                     r.right + 25};
        std::vector<std::string> shown;
        std::vector<UiScriptEvent> script{Press(c.slider, v, int16_t(hs[0]))};
        for (int h : hs) {
            script.push_back(Drag(v, int16_t(h)));
            script.push_back(Call([&](UiWindow* w) { shown.push_back(LastTextIn(w, c.box)); }));
        }
        script.push_back(Release(v, int16_t(centre - 7)));
        script.push_back(Click(kEditorCancel));
        Run(script);
        ASSERT_EQ(shown.size(), hs.size());
        for (size_t i = 0; i < hs.size(); ++i) {
            const int value = SliderValueAt(r, hs[i]);
            EXPECT_EQ(shown[i], c.signedBox ? signedText(value) : offset(value))
                << "item " << c.slider << " at " << hs[i] - centre;
        }
        // The parameter of the release.
        const float t = float(SliderValueAt(r, centre - 7) + 100) / 200.0f;
        switch (c.slider) {
            case kEditorGlobalSlider:
                EXPECT_FLOAT_EQ(es_->editPars.brightness, t);
                break;
            case kEditorContrastSlider:
                EXPECT_FLOAT_EQ(es_->editPars.contrast, t);
                break;
            case kEditorMagentaGreenSlider:
            case kEditorTintSlider:
                EXPECT_FLOAT_EQ(es_->balanceSlider[1], t);
                break;
            default:
                EXPECT_FLOAT_EQ(es_->balanceSlider[0], t);
                EXPECT_FLOAT_EQ(es_->balanceSlider[2], 1.0f - t);
                break;
        }
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(EditingWindowTest, UndoAfterADragRestoresTheRecordExactly) {
    // Keenhue Mode on: a drag also sets the tools right of the tab again, and Undo must bring
    // those back as well.
    prefs_->keenhueMode = 1;
    prefs_->liveSliders = 1;
    for (int16_t item : {kEditorPointHandles, kEditorShadowsSlider, kEditorHueRing,
                         kEditorHueSaturationSlider, kEditorCyanRedSlider}) {
        es_->currentTab = item == kEditorCyanRedSlider   ? 0
                          : item == kEditorPointHandles  ? 1
                          : item == kEditorShadowsSlider ? 2
                                                         : 3;
        es_->balanceMethod = kBalanceThreeSliders;
        const Ui_Rect r = RectOf(item);
        // Where a handle of the item stands: the white point, the ring's pair 2 After handle;
        // the middle of a slider.
        int16_t v = int16_t((r.top + r.bottom) / 2), h = int16_t((r.left + r.right) / 2);
        if (item == kEditorPointHandles) {
            TonePoints points;
            TonePointsOf(&es_->editPars, &points);
            h = int16_t(TonePointsColumn(&r, points.white));
        } else if (item == kEditorHueRing) {
            HueRingGeometry g{};
            ASSERT_EQ(HueRingLayout(&r, &g), 0);
            v = int16_t(std::lround(g.cy - g.afterRadius * std::sin(2 * 3.14159265358979 / 3)));
            h = int16_t(std::lround(g.cx + g.afterRadius * std::cos(2 * 3.14159265358979 / 3)));
        }
        auto before = std::make_unique<EditPars>();
        auto dragged = std::make_unique<EditPars>();
        auto undone = std::make_unique<EditPars>();
        Run({Call([&](UiWindow*) { *before = es_->editPars; }), Press(item, v, h),
             Drag(int16_t(v - 9), int16_t(h - 23)), Release(int16_t(v - 9), int16_t(h - 23)),
             Call([&](UiWindow* w) {
                 *dragged = es_->editPars;
                 EXPECT_TRUE(Item(w, kEditorUndo).enabled);
             }),
             Click(kEditorUndo), Call([&](UiWindow*) { *undone = es_->editPars; }),
             Click(kEditorCancel)});
        EXPECT_FALSE(Same(*dragged, *before)) << "the drag of item " << item << " changed nothing";
        EXPECT_TRUE(Same(*undone, *before)) << "item " << item;
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(EditingWindowTest, LiveSlidersRebuildThePreviewWhileDraggingOtherwiseAtTheRelease) {
    es_->currentTab = 2;
    const Ui_Rect r = RectOf(kEditorGlobalSlider);
    const int16_t v = int16_t((r.top + r.bottom) / 2);
    const int16_t centre = int16_t(r.left + (r.right - r.left - 1) / 2);
    for (uint8_t live : {1, 0}) {
        prefs_->liveSliders = live;
        es_->editPars.brightness = 0.5f;
        float opened = -1, dragging = -1, released = -1;
        size_t drawsBeforeRelease = 0;
        Run({Call([&](UiWindow*) { opened = drawnGrey_.back(); }),
             Press(kEditorGlobalSlider, v, centre), Drag(v, int16_t(centre + 10)),
             Drag(v, int16_t(r.right - 1)), Call([&](UiWindow*) {
                 dragging = drawnGrey_.back();
                 drawsBeforeRelease = drawnGrey_.size();
             }),
             Release(v, int16_t(r.right - 1)),
             Call([&](UiWindow*) { released = drawnGrey_.back(); }), Click(kEditorCancel)});
        EXPECT_FLOAT_EQ(es_->editPars.brightness, 1.0f);
        EXPECT_GT(released, opened + 0.05f) << "live " << int(live);
        if (live) {
            EXPECT_FLOAT_EQ(dragging, released) << "the preview followed the drag";
        } else {
            EXPECT_FLOAT_EQ(dragging, opened) << "the preview waited for the release";
            EXPECT_GT(drawnGrey_.size(), drawsBeforeRelease);
        }
        drawnGrey_.clear();
    }
}

// What the status area says while the window works fits the area: it is drawn outside paints
// too, and a longer text would be cut off (or, unclipped, left beside the area).
TEST_F(EditingWindowTest, TheStatusTextsFitTheirArea) {
    std::vector<std::pair<std::string, int>> overflow;
    Run({Call([&](UiWindow* w) {
             Ui_Rect r{};
             Ui_Item_GetRect(w, kEditorStatus, &r);
             for (int32_t id : {kStrKeenhueWorking, kStrWritingFile}) {
                 char text[256];
                 int16_t width = 0, height = 0;
                 Ui_Draw_MeasureText(w, kUiFontDialog, Ui_ResToCString(state_, id, text), &width,
                                     &height);
                 if (width > Ui_Rect_Width(&r)) overflow.emplace_back(text, width);
             }
         }),
         Click(kEditorCancel)});
    EXPECT_TRUE(overflow.empty()) << overflow[0].first << ": " << overflow[0].second << " pixels";
}

// Ctrl+Tab and Ctrl+Page Down/Up go round the tabs, P switches Preview, Ctrl+Z takes back a
// change as Undo does (and with nothing to undo does nothing). The tabs end on Hue, where Sepia
// is.
TEST_F(EditingWindowTest, KeysSwitchTabsAndPreviewAndUndo) {
    es_->currentTab = 0;
    std::vector<int32_t> tabs;
    auto tab = [&](UiWindow*) { tabs.push_back(es_->currentTab); };
    const UiScriptEvent ctrlTab = Key(9, 0, 1);
    const UiScriptEvent ctrlShiftTab = Holding(Key(9), 1, 0, 1);
    int32_t previewBox = -1;
    auto before = std::make_unique<EditPars>();
    auto changed = std::make_unique<EditPars>();
    auto undone = std::make_unique<EditPars>();
    Run({ctrlTab, Call(tab), ctrlShiftTab, Call(tab), ctrlShiftTab, Call(tab), Key(34, 0, 1),
         Call(tab), Key(33, 0, 1), Call(tab), Key('P'),
         Call([&](UiWindow* w) { previewBox = Item(w, kEditorPreviewCheck).check; }),
         Key('Z', 0, 1), Call([&](UiWindow*) { *before = es_->editPars; }), Click(kEditorSepia),
         Call([&](UiWindow*) { *changed = es_->editPars; }), Key('Z', 0, 1),
         Call([&](UiWindow*) { *undone = es_->editPars; }), Click(kEditorCancel)});
    EXPECT_EQ(tabs, (std::vector<int32_t>{1, 0, 3, 0, 3}));
    EXPECT_EQ(previewBox, 0);
    EXPECT_FALSE(Same(*changed, *before)) << "Sepia changed nothing to undo";
    EXPECT_TRUE(Same(*undone, *before));
    EXPECT_TRUE(alerts.empty());
}

// Tab stops at the sliders of the tab shown, in reading order and not at their value boxes; the
// arrows move the slider with the focus by 1, with Shift by 10, within its range, each press a
// step Ctrl+Z takes back; the focused slider shows a dotted frame.
TEST_F(EditingWindowTest, TabReachesTheSlidersAndTheArrowsMoveTheFocusedOne) {
    es_->currentTab = 2;
    std::vector<int16_t> order;
    std::vector<float> global;
    auto probe = [&](UiWindow*) {
        float x = 0.0f;
        ToneSliderGet(&es_->editPars, 0, &x);
        global.push_back(x);
    };
    Ui_Rect slider{};
    Ui_RGB cornerBefore{}, cornerFocused{};
    auto corner = [&](Ui_RGB* c) {
        return Call([&slider, c](UiWindow* w) {
            Ui_Item_GetRect(w, kEditorGlobalSlider, &slider);
            *c = Ui_Headless_Pixel(Ui_Headless_Window(w), slider.top, slider.left + 2);
        });
    };
    const UiScriptEvent shiftLeft = Holding(Key(37, kEditorGlobalSlider), 0, 0, 1);
    Run({Call([&](UiWindow* w) {
             int16_t items[128];
             const int32_t n = Ui_Headless_TabOrder(w, items, 128);
             order.assign(items, items + n);
         }),
         corner(&cornerBefore), Key(39, kEditorGlobalSlider), corner(&cornerFocused), Call(probe),
         Key(38, kEditorGlobalSlider), Call(probe), shiftLeft, Call(probe), Key('Z', 0, 1),
         Call(probe), Click(kEditorCancel)});
    auto at = [&](int16_t item) {
        return int32_t(std::find(order.begin(), order.end(), item) - order.begin());
    };
    const int32_t end = int32_t(order.size());
    EXPECT_LT(at(kEditorGlobalSlider), at(kEditorShadowsSlider));
    EXPECT_LT(at(kEditorShadowsSlider), at(kEditorSaturationSlider));
    EXPECT_LT(at(kEditorSaturationSlider), end);
    EXPECT_EQ(at(kEditorGlobalValue), end) << "a value box is no stop";
    EXPECT_EQ(at(kEditorTemperatureSlider), end) << "a slider of a hidden tab is no stop";
    ASSERT_EQ(global.size(), 4u);
    EXPECT_FLOAT_EQ(global[0], 0.5f + 1.0f / 200.0f);
    EXPECT_FLOAT_EQ(global[1], 0.5f + 2.0f / 200.0f);
    EXPECT_FLOAT_EQ(global[2], 0.5f - 8.0f / 200.0f);
    EXPECT_FLOAT_EQ(global[3], 0.5f + 2.0f / 200.0f);
    EXPECT_FALSE(cornerBefore.r == cornerFocused.r && cornerBefore.g == cornerFocused.g &&
                 cornerBefore.b == cornerFocused.b)
        << "the focused slider shows no frame";
    EXPECT_TRUE(alerts.empty());
}

TEST_F(EditingWindowTest, TheMenuSwitchesTheClippingViewOnForPlainDrags) {
    const Ui_Point handle = BlackHandle();
    const int16_t v = handle.v, h = handle.h;
    uint8_t before = 9, clipped = 9;
    uint8_t shownOn = 9;
    Run({Press(kEditorPointHandles, v, h), Drag(v, int16_t(h + 20)),
         Call([&](UiWindow*) { before = drawnClipping_.back(); }), Release(v, int16_t(h + 20)),
         Context(kEditorPointHandles, v, h), MenuChoice(1),
         Press(kEditorPointHandles, v, int16_t(h + 20)), Drag(v, int16_t(h + 30)),
         Call([&](UiWindow*) { clipped = drawnClipping_.back(); }), Release(v, int16_t(h + 30)),
         Context(kEditorPreviewImage), MenuChoice(0),
         Call([&](UiWindow*) { shownOn = Ui_Headless_LastMenu()->mark[6]; }),
         Click(kEditorCancel)});
    EXPECT_EQ(before, kPreviewClipNone);
    EXPECT_EQ(clipped, kPreviewClipBlack);
    EXPECT_EQ(shownOn, kUiMenuOn) << "the preview's menu shows the same switch, on";
}

TEST_F(EditingWindowTest, AltDraggingTheBlackPointShowsTheClippingView) {
    prefs_->liveSliders = 0;
    TonePoints points;
    TonePointsOf(&es_->editPars, &points);
    const Ui_Point handle = BlackHandle();
    const int16_t v = handle.v, h = handle.h;
    uint8_t plain = 9, clipped = 9, after = 9;
    float clippedGrey = -1;
    Run({Press(kEditorPointHandles, v, h), Drag(v, int16_t(h + 6)),
         Call([&](UiWindow*) { plain = drawnClipping_.back(); }),
         Holding(Drag(v, int16_t(h + 30)), 0, 1, 0), Call([&](UiWindow*) {
             clipped = drawnClipping_.back();
             clippedGrey = drawnGrey_.back();
         }),
         Release(v, int16_t(h + 30)), Call([&](UiWindow*) { after = drawnClipping_.back(); }),
         Click(kEditorCancel)});
    EXPECT_EQ(plain, kPreviewClipNone);
    EXPECT_EQ(clipped, kPreviewClipBlack);
    EXPECT_EQ(after, kPreviewClipNone);
    EXPECT_GT(es_->editPars.blackPoint, points.black);
    // The clipping view was drawn through the moved black point although "Live Sliders" is off.
    EditState moved = *es_;
    Huegrid* through = nullptr;
    ASSERT_EQ(HgBuild(&moved.editPars, kEditMaskAll, moved.gridLevel, 1, &through), 0);
    float rgb[3];
    ASSERT_EQ(HgPixelThrough(&view_, through, kImageW / 2, kImageH - 1, rgb, nullptr), 0);
    HgFree(through);
    EXPECT_FLOAT_EQ(clippedGrey, rgb[1]);
}

TEST_F(EditingWindowTest, EnteringTabOneCountsTheHistogramOfThePicture) {
    // The histogram item's plotted columns once tab 1 is entered: the cast image's grey ramp
    // alone gives some 48 distinct luma levels, each a bar of its own; no histogram, no bars.
    const Ui_Rect bar = TabBar();
    int32_t plotted = -1, columns = 0;
    std::vector<UiScriptEvent> script = ClickTabBar(bar, 80);
    script.push_back(Call([&](UiWindow* w) {
        Ui_Rect r;
        Ui_Item_GetRect(w, kEditorHistogram, &r);
        const UiHeadlessWindow* hw = Ui_Headless_Window(w);
        plotted = 0;
        columns = r.right - r.left;
        for (int32_t h = r.left + 2; h < r.right - 2; ++h) {
            for (int32_t v = r.top + 2; v < r.bottom - 2; ++v) {
                const Ui_RGB c = Ui_Headless_Pixel(hw, v, h);
                if (c.r < 140 && c.g < 140 && c.b < 140) {
                    ++plotted;
                    break;
                }
            }
        }
    }));
    script.push_back(Click(kEditorCancel));
    Run(script);
    EXPECT_EQ(es_->currentTab, 1);
    EXPECT_GE(plotted, 40) << "of " << columns << " columns";
}

}  // namespace
