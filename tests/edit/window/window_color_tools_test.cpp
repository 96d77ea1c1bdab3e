// The colour tools of the editing window through RunEditingWindow on the headless binding:
// "B/W", "Sepia", "Toning" and its swatch, the neutral's "Preferences...", the memory-colour
// buttons and the information box, with the colour dialogs they open driven by the same script.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "edit/keenhue.h"
#include "edit/window/editing_window.h"
#include "engine/sampling.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/dlg_memory_color.h"
#include "resources/ids/dlg_define_color.h"
#include "tests/edit/window/window_test_support.h"

namespace {

using namespace window_testing;

constexpr int32_t kImageW = 40, kImageH = 24;

class WindowColorToolsTest : public WindowTest {
   protected:
    void SetUp() override {
        WindowTest::SetUp();
        // Greys with a warm cast over the width, a band of skin in the middle rows.
        MakePicture(kImageW, kImageH, [](int32_t x, int32_t y, uint8_t p[3]) {
            const int g = 30 + 200 * x / (kImageW - 1);
            const bool skin = 8 <= y && y < 16;
            p[0] = uint8_t(skin ? 225 : g + 20);
            p[1] = uint8_t(skin ? 165 : g + 5);
            p[2] = uint8_t(skin ? 125 : g - 15);
        });
    }
    void Run(std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(RunEditingWindow(&window_, es_.get(), &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        EXPECT_EQ(Ui_Headless_Remaining(), 0);
    }
    // Samples of skin in two lightness bins of the active handle, as marking skin would leave.
    void MarkSkinOnHandle0() {
        const float light[3] = {0.90f, 0.66f, 0.50f}, dark[3] = {0.70f, 0.50f, 0.38f};
        HueHandle& h = es_->editPars.hue[0];
        for (int c = 0; c < 3; ++c) {
            h.hueBin[14].sum[c] = 5 * light[c];
            h.hueBin[10].sum[c] = 4 * dark[c];
        }
        h.hueBin[14].count = 5;
        h.hueBin[10].count = 4;
        es_->activeHandle = 0;
        es_->activeHandleHasSamples = 1;
        es_->currentTab = 3;
    }
    static bool Same(const EditPars& a, const EditPars& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
    static UiScriptEvent Alt(UiScriptEvent e) { return Holding(e, 0, 1, 0); }
    static UiScriptEvent InDefine(UiScriptEvent e) { return For(kDlgDefineColor, e); }
    static UiScriptEvent InMemory(UiScriptEvent e) { return For(kDlgMemoryColor, e); }
    static UiScriptEvent EditText(int16_t item, const char* text) {
        UiScriptEvent e{};
        e.kind = kUiScriptEdit;
        e.item = item;
        e.text = text;
        return For(kDlgMemoryColor, e);
    }
};

TEST_F(WindowColorToolsTest, ToneButtonsToneTheImageAndTakeTheColourOutOfEveryHandle) {
    es_->currentTab = 3;
    const float gray[3] = {0.55f, 0.5f, 0.45f};
    es_->colorDefs.grayscale[0] = gray[0];
    es_->colorDefs.grayscale[1] = gray[1];
    es_->colorDefs.grayscale[2] = gray[2];
    for (HueHandle& h : es_->editPars.hue) h.saturation = 0.7f;
    EditPars start{}, toned{}, undone{};
    int32_t toningBox = -1, boxAfterUndo = -1;
    Run({Call([&](UiWindow*) { start = es_->editPars; }), Click(kEditorBlackWhite),
         Call([&](UiWindow* w) {
             toned = es_->editPars;
             toningBox = Item(w, kEditorToning).check;
         }),
         Click(kEditorUndo), Call([&](UiWindow* w) {
             undone = es_->editPars;
             boxAfterUndo = Item(w, kEditorToning).check;
         }),
         Click(kEditorSepia), Click(kEditorCancel)});
    for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(toned.toneColor[c], gray[c]);
    for (const HueHandle& h : toned.hue) EXPECT_EQ(h.saturation, 0.0f);
    EXPECT_EQ(toningBox, 1);
    EXPECT_EQ(boxAfterUndo, 0);
    // Sepia after the undo: its definition, the handles again without colour.
    for (int c = 0; c < 3; ++c)
        EXPECT_FLOAT_EQ(es_->editPars.toneColor[c], es_->colorDefs.sepia[c]);
    EXPECT_FLOAT_EQ(es_->editPars.toneColor[0], 0.625f);
    for (const HueHandle& h : es_->editPars.hue) EXPECT_EQ(h.saturation, 0.0f);
    EXPECT_TRUE(Same(undone, start)) << "undo brings back the record before \"B/W\"";
}

// Alt-click, or "Edit Color..." from the button's menu (desktops keep Alt+click for
// themselves): the same dialog, the same result.
TEST_F(WindowColorToolsTest, AltClickOrTheMenuEditsTheGrayscaleOrSepiaDefinitionOnly) {
    es_->currentTab = 3;
    pickerAnswer_[0] = 0.7f, pickerAnswer_[1] = 0.4f, pickerAnswer_[2] = 0.3f;
    const EditPars openedPars = es_->editPars;
    const ColorDefs openedDefs = es_->colorDefs;
    const ColorDefs openedPrefsDefs = prefs_->colorDefs;
    for (bool menu : {false, true}) {
        // Each route starts from the definitions the test opened with.
        es_->editPars = openedPars;
        es_->colorDefs = openedDefs;
        prefs_->colorDefs = openedPrefsDefs;
        const EditPars start = es_->editPars;
        const ColorDefs defs = es_->colorDefs;
        std::string title;
        std::vector<UiScriptEvent> script;
        auto editColor = [&](int16_t item) {
            if (menu) {
                script.insert(script.end(), {Context(item), MenuChoice(1)});
            } else {
                script.push_back(Alt(Click(item)));
            }
        };
        editColor(kEditorBlackWhite);
        script.insert(script.end(),
                      {InDefine(Call([&](UiWindow* w) { title = Ui_Headless_Window(w)->title; })),
                       InDefine(Click(kDefineColorColorPicker)), InDefine(Click(kDefineColorOk))});
        editColor(kEditorSepia);
        script.insert(script.end(), {InDefine(Click(kDefineColorColorPicker)),
                                     InDefine(Click(kDefineColorCancel)), Click(kEditorCancel)});
        Run(script);
        EXPECT_EQ(title, "Grayscale") << "menu " << menu;
        for (int c = 0; c < 3; ++c) {
            EXPECT_FLOAT_EQ(es_->colorDefs.grayscale[c], pickerAnswer_[c]);
            EXPECT_FLOAT_EQ(es_->colorDefs.sepia[c], defs.sepia[c]) << "cancelled";
            // The person's definitions are kept in the preferences, which the window writes.
            EXPECT_FLOAT_EQ(prefs_->colorDefs.grayscale[c], pickerAnswer_[c]);
            EXPECT_FLOAT_EQ(prefs_->colorDefs.sepia[c], defs.sepia[c]);
        }
        EXPECT_TRUE(Same(es_->editPars, start)) << "editing a definition does not tone the image";
    }
}

TEST_F(WindowColorToolsTest, ToningBoxAndSwatchFollowTheToningColour) {
    es_->currentTab = 3;
    pickerAnswer_[0] = 0.7f, pickerAnswer_[1] = 0.5f, pickerAnswer_[2] = 0.35f;
    std::vector<int32_t> boxes;
    auto box = [&](UiWindow* w) { boxes.push_back(Item(w, kEditorToning).check); };
    EditPars beforeCancel{}, whilePicked{};
    std::string title;
    Run({// Checking opens the toning colour; a colour keeps the box on.
         Click(kEditorToning),
         InDefine(Call([&](UiWindow* w) { title = Ui_Headless_Window(w)->title; })),
         InDefine(Click(kDefineColorColorPicker)), InDefine(Click(kDefineColorOk)), Call(box),
         // Unchecking takes the toning away.
         Click(kEditorToning), Call(box),
         // A cancelled dialog leaves the colour neutral: the box goes off again and the
         // parameters are those of before, byte for byte, although the preview followed the pick.
         Call([&](UiWindow*) { beforeCancel = es_->editPars; }), Click(kEditorToning),
         InDefine(Click(kDefineColorColorPicker)),
         InDefine(Call([&](UiWindow*) { whilePicked = es_->editPars; })),
         InDefine(Click(kDefineColorCancel)), Call(box), Click(kEditorCancel)});
    EXPECT_EQ(title, "Toning Color");
    EXPECT_EQ(boxes, (std::vector<int32_t>{1, 0, 0}));
    EXPECT_FLOAT_EQ(whilePicked.toneColor[2], 0.35f);
    EXPECT_TRUE(Same(es_->editPars, beforeCancel));

    // The swatch: a grey toning colour changes nothing, so it is stored as no toning at all.
    pickerAnswer_[0] = pickerAnswer_[1] = pickerAnswer_[2] = 0.6f;
    Run({Click(kEditorToningSwatch), InDefine(Click(kDefineColorColorPicker)),
         InDefine(Click(kDefineColorOk)), Call(box), Click(kEditorCancel)});
    for (float c : es_->editPars.toneColor) EXPECT_EQ(c, 0.5f);
    EXPECT_EQ(boxes.back(), 0);
    pickerAnswer_[2] = 0.2f;
    Run({Click(kEditorToningSwatch), InDefine(Click(kDefineColorColorPicker)),
         InDefine(Click(kDefineColorOk)), Call(box), Click(kEditorCancel)});
    EXPECT_FLOAT_EQ(es_->editPars.toneColor[2], 0.2f);
    EXPECT_EQ(boxes.back(), 1);
}

TEST_F(WindowColorToolsTest, NeutralPreferencesLetKeenhueFollowAndCancelKeepsHandSettings) {
    prefs_->keenhueMode = 1;
    pickerAnswer_[0] = 0.56f, pickerAnswer_[1] = 0.5f, pickerAnswer_[2] = 0.44f;
    // What the window must arrive at: the neutral set, then the tools right of the colour
    // balance from the automatic settings.
    EditState expected = *es_;
    ASSERT_EQ(SetColorDef(&expected.colorDefs, &expected.editPars, kColorDefNeutral, pickerAnswer_),
              0);
    ASSERT_EQ(ResetEditStatePars(&expected, kEditMaskFromTool2), 0);
    ASSERT_EQ(AutoSettings(&expected, kEditMaskFromTool2, &view_), 0);
    std::string title;
    Run({Click(kEditorNeutralPrefs),
         InDefine(Call([&](UiWindow* w) { title = Ui_Headless_Window(w)->title; })),
         InDefine(Click(kDefineColorColorPicker)), InDefine(Click(kDefineColorOk)),
         Click(kEditorCancel)});
    EXPECT_EQ(title, "Neutral Preferences");
    EXPECT_TRUE(Same(es_->editPars, expected.editPars));
    for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(prefs_->colorDefs.neutral[c], pickerAnswer_[c]);

    // A contrast set by hand, then the neutral tried and cancelled: everything as it was.
    es_->editPars.contrast = 0.8f;
    const EditPars handMade = es_->editPars;
    const ColorDefs defs = es_->colorDefs;
    pickerAnswer_[0] = 0.3f;
    Run({Click(kEditorNeutralPrefs), InDefine(Click(kDefineColorColorPicker)),
         InDefine(Click(kDefineColorCancel)), Click(kEditorCancel)});
    EXPECT_TRUE(Same(es_->editPars, handMade));
    EXPECT_EQ(std::memcmp(&es_->colorDefs, &defs, sizeof defs), 0);
}

TEST_F(WindowColorToolsTest, ACancelledDefinitionIsNoStepForUndo) {
    // Nothing done yet: cancelling the neutral's (colour tab) or the toning colour's (hue tab)
    // dialog leaves Undo disabled.
    std::vector<int> undoEnabled;
    auto undo = [&](UiWindow* w) { undoEnabled.push_back(Item(w, kEditorUndo).enabled); };
    Run({Click(kEditorNeutralPrefs), InDefine(Click(kDefineColorCancel)), Call(undo),
         Click(kEditorCancel)});
    es_->currentTab = 3;
    Run({Click(kEditorToningSwatch), InDefine(Click(kDefineColorCancel)), Call(undo),
         Click(kEditorCancel)});
    EXPECT_EQ(undoEnabled, (std::vector<int>{0, 0}));

    // A step, then a cancelled definition: Undo still takes back the step.
    const EditPars before = es_->editPars;
    Run({Click(kEditorBlackWhite), Click(kEditorToningSwatch), InDefine(Click(kDefineColorCancel)),
         Call(undo), Click(kEditorUndo), Click(kEditorCancel)});
    EXPECT_EQ(undoEnabled.back(), 1);
    EXPECT_TRUE(Same(es_->editPars, before));
}

// Undo and Redo take the definitions with the record: after undoing a neutral set in its dialog,
// the definition, the preferences' copy and the colour target agree again; a sepia definition
// edited by Alt-click is a step of its own.
TEST_F(WindowColorToolsTest, UndoAndRedoTakeTheDefinitionsWithTheRecord) {
    const ColorDefs defsBefore = es_->colorDefs;
    const EditPars parsBefore = es_->editPars;
    pickerAnswer_[0] = 0.56f, pickerAnswer_[1] = 0.5f, pickerAnswer_[2] = 0.44f;
    ColorDefs defsSet{}, defsUndone{}, prefsUndone{}, defsRedone{};
    auto parsSet = std::make_unique<EditPars>(), parsUndone = std::make_unique<EditPars>();
    auto parsRedone = std::make_unique<EditPars>();
    auto take = [&](ColorDefs* defs, EditPars* pars) {
        return Call([this, defs, pars](UiWindow*) {
            *defs = es_->colorDefs;
            *pars = es_->editPars;
        });
    };
    Run({Click(kEditorNeutralPrefs), InDefine(Click(kDefineColorColorPicker)),
         InDefine(Click(kDefineColorOk)), take(&defsSet, parsSet.get()), Click(kEditorUndo),
         take(&defsUndone, parsUndone.get()),
         Call([&](UiWindow*) { prefsUndone = prefs_->colorDefs; }), Click(kEditorRedo),
         take(&defsRedone, parsRedone.get()), Click(kEditorCancel)});
    EXPECT_NE(std::memcmp(&defsSet, &defsBefore, sizeof defsSet), 0) << "the neutral was set";
    EXPECT_FALSE(Same(*parsSet, parsBefore));
    EXPECT_EQ(std::memcmp(&defsUndone, &defsBefore, sizeof defsUndone), 0);
    EXPECT_EQ(std::memcmp(&prefsUndone, &defsBefore, sizeof prefsUndone), 0);
    EXPECT_TRUE(Same(*parsUndone, parsBefore));
    EXPECT_EQ(std::memcmp(&defsRedone, &defsSet, sizeof defsRedone), 0);
    EXPECT_TRUE(Same(*parsRedone, *parsSet));

    es_->currentTab = 3;
    pickerAnswer_[0] = 0.7f, pickerAnswer_[1] = 0.5f, pickerAnswer_[2] = 0.3f;
    const ColorDefs defsStart = es_->colorDefs;
    float sepiaSet = 0, sepiaUndone = 0;
    Run({Alt(Click(kEditorSepia)), InDefine(Click(kDefineColorColorPicker)),
         InDefine(Click(kDefineColorOk)),
         Call([&](UiWindow*) { sepiaSet = es_->colorDefs.sepia[0]; }), Click(kEditorUndo),
         Call([&](UiWindow*) { sepiaUndone = es_->colorDefs.sepia[0]; }), Click(kEditorCancel)});
    EXPECT_FLOAT_EQ(sepiaSet, 0.7f);
    EXPECT_FLOAT_EQ(sepiaUndone, defsStart.sepia[0]);
}

TEST_F(WindowColorToolsTest, MemoryColourButtonMovesTheActiveHandleTowardsTheSlot) {
    // Without samples the buttons stay disabled.
    es_->currentTab = 3;
    int32_t enabledWithout = -1;
    Run({Call([&](UiWindow* w) { enabledWithout = Item(w, kEditorMemoryColor1).enabled; }),
         Click(kEditorCancel)});
    EXPECT_EQ(enabledWithout, 0);

    MarkSkinOnHandle0();
    const EditPars start = es_->editPars;
    // The engine's own application of "Skin" to handle 0, marked as showing slot 0.
    EditPars expected = start;
    expected.hue[0].colorId = 0;
    const MemoryColor& skin = es_->memoryColors[0];
    ASSERT_EQ(HgApplyMemoryColour(&expected, 0, skin.mcChroma, skin.mcHue, skin.mcHueSlope), 0);
    EditPars applied{};
    int32_t active = -1, activeId = -1;
    Run({Click(kEditorMemoryColor1), Call([&](UiWindow*) {
             applied = es_->editPars;
             active = es_->activeHandle;
             activeId = es_->activeColorId;
         }),
         Click(kEditorUndo), Click(kEditorCancel)});
    EXPECT_EQ(std::memcmp(applied.hue, expected.hue, sizeof expected.hue), 0);
    EXPECT_NE(std::memcmp(applied.hue, start.hue, sizeof start.hue), 0);
    EXPECT_EQ(activeId, 0);
    ASSERT_TRUE(0 <= active && active < kEditHueCount);
    EXPECT_EQ(applied.hue[active].colorId, 0);
    EXPECT_TRUE(Same(es_->editPars, start)) << "undo";

    // "Memory Colors Set" with only the After position: the handle's brightness and saturation
    // stay as they were, its hue shift is the one the engine chose.
    prefs_->memoryColorMask = kEditMaskAllHues;
    Run({Click(kEditorMemoryColor1), Click(kEditorCancel)});
    const HueHandle& onlyAfter = es_->editPars.hue[es_->activeHandle];
    EXPECT_EQ(onlyAfter.colorId, 0);
    EXPECT_EQ(onlyAfter.brightness, start.hue[0].brightness);
    EXPECT_EQ(onlyAfter.saturation, start.hue[0].saturation);
    EXPECT_FLOAT_EQ(onlyAfter.hueShift, expected.hue[active].hueShift);
    ASSERT_NE(expected.hue[active].saturation, start.hue[0].saturation) << "a case that tells";
    ASSERT_EQ(ResetEditStatePars(es_.get(), kEditMaskAll), 0);
    prefs_->memoryColorMask = 65056;
    MarkSkinOnHandle0();

    // "Skin" on handle 0, then on handle 3 (with samples of its own): the slot moves to handle
    // 3, handle 0 takes its old id, and every id still names one handle.
    for (int k = 0; k < kEditBinCount; ++k) es_->editPars.hue[3].hueBin[k] = start.hue[0].hueBin[k];
    auto toHandle3 = [&](UiWindow*) {
        for (int32_t i = 0; i < kEditHueCount; ++i) {
            if (es_->editPars.hue[i].colorId == kEditPlainColorId + 3) es_->activeHandle = i;
        }
    };
    Run({Click(kEditorMemoryColor1), Call(toHandle3), Click(kEditorMemoryColor1),
         Click(kEditorCancel)});
    std::vector<int32_t> ids;
    for (const HueHandle& h : es_->editPars.hue) ids.push_back(h.colorId);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0), 1);
    EXPECT_EQ(es_->editPars.hue[es_->activeHandle].colorId, 0);
}

TEST_F(WindowColorToolsTest, MemoryColourDialogEditsTheSlotAndRetitlesItsButton) {
    MarkSkinOnHandle0();
    const EditPars start = es_->editPars;
    std::string title, skinTitle;
    // An empty slot opens its dialog on a plain click as on Alt-click: there is nothing to apply.
    Run({Click(kEditorMemoryColor4), InMemory(Click(kMemoryColorSetFromHandle)),
         EditText(kMemoryColorName, "Sunset"), EditText(kMemoryColorLabel, "U"),
         InMemory(Click(kMemoryColorOk)),
         Call([&](UiWindow* w) { title = ItemText(w, kEditorMemoryColor4); }),
         // Alt-click on "Skin", cleared, then cancelled: the slot stays.
         Alt(Click(kEditorMemoryColor1)), InMemory(Click(kMemoryColorClear)),
         InMemory(Click(kMemoryColorCancel)),
         Call([&](UiWindow* w) { skinTitle = ItemText(w, kEditorMemoryColor1); }),
         Click(kEditorCancel)});
    float chroma = 0, hue = 0, slope = 0;
    ASSERT_EQ(HgMemoryColourFromHandle(&es_->editPars, 0, &chroma, &hue, &slope), 0);
    const MemoryColor& m = es_->memoryColors[3];
    EXPECT_EQ(m.defined, 1);
    EXPECT_FLOAT_EQ(m.mcHue, hue);
    EXPECT_STREQ(m.name, "Sunset");
    EXPECT_EQ(title, "U");
    EXPECT_EQ(std::memcmp(&prefs_->memoryColors[3], &m, sizeof m), 0) << "kept in the preferences";
    EXPECT_STREQ(es_->memoryColors[0].name, "Skin");
    EXPECT_EQ(skinTitle, "S");
    EXPECT_TRUE(Same(es_->editPars, start)) << "defining a slot does not apply it";
}

TEST_F(WindowColorToolsTest, InformationBoxNamesTheButtonUnderThePointer) {
    es_->currentTab = 3;
    Ui_Rect bw{}, skin{};
    Run({Call([&](UiWindow* w) {
             Ui_Item_GetRect(w, kEditorBlackWhite, &bw);
             Ui_Item_GetRect(w, kEditorMemoryColor1, &skin);
         }),
         Click(kEditorCancel)});
    std::vector<std::string> overBw, overSkin, overNothing;
    auto at = [](const Ui_Rect& r) {
        return Move(int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2));
    };
    auto last = [&](std::vector<std::string>* out) {
        return Call([out](UiWindow* w) { *out = TextsIn(w, kEditorMemoryColorInfo); });
    };
    Run({at(bw), Idle(1), last(&overBw), at(skin), Idle(1), last(&overSkin), Move(3, 3), Idle(1),
         last(&overNothing), Click(kEditorCancel)});
    ASSERT_FALSE(overBw.empty());
    EXPECT_EQ(overBw.back(), "Grayscale");
    ASSERT_FALSE(overSkin.empty());
    EXPECT_EQ(overSkin.back(), "Skin");
    ASSERT_GE(overNothing.size(), 2u);
    EXPECT_EQ(overNothing[overNothing.size() - 2], "Memory");
    EXPECT_EQ(overNothing.back(), "Colors");
}

}  // namespace

namespace {

TEST_F(WindowColorToolsTest, TheCastTextSaysHowMuchOfTheBalanceKeenhueApplied) {
    es_->currentTab = 0;
    std::string text;
    auto read = [&text](UiWindow* w) { text = WindowTest::ItemText(w, kEditorCastText); };
    // The warm greys: the balance is applied whole.
    Run({Click(kEditorTabKeenhue), Call(read), Click(kEditorCancel)});
    EXPECT_EQ(text, "Keenhue found neutral colors: the color cast is balanced.");

    // A shaded orange and nothing else: no neutral anywhere, the balance does nothing.
    MakePicture(kImageW, kImageH, [](int32_t x, int32_t y, uint8_t p[3]) {
        const double t = 0.7 + 0.3 * ((x * 7 + y * 3) % 11) / 10.0;
        p[0] = uint8_t(230 * t), p[1] = uint8_t(120 * t), p[2] = uint8_t(30 * t);
    });
    Run({Click(kEditorTabKeenhue), Call(read), Click(kEditorCancel)});
    EXPECT_EQ(text, "No neutral colors found: balance left as it is.");
    EXPECT_EQ(es_->balanceConfidence, 0.0f);

    // Once the balance is the user's (here: the tab's settings reset), the tab's instruction.
    ASSERT_EQ(ResetEditStatePars(es_.get(), kEditBalance), 0);
    Run({Call(read), Click(kEditorCancel)});
    EXPECT_EQ(text, "Mark neutral colors in the image to correct the color cast.");
}

}  // namespace
