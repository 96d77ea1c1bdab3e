// The colour definition and memory colour dialogs, driven through their real templates with
// scripted events and a stand-in for the host's colour picker.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "edit/color_defs.h"
#include "edit/edit_state.h"
#include "edit/memory_colors.h"
#include "edit/window/define_color_dialog.h"
#include "edit/window/memory_color_dialog.h"
#include "engine/sampling.h"
#include "platform/mem.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_help.h"
#include "resources/ids/dlg_memory_color.h"
#include "resources/ids/dlg_define_color.h"
#include "tests/edit/window/dialog_test_support.h"
#include "tests/platform/test_support.h"

namespace {

using namespace window_testing;

class ColorDialogTest : public DialogTest {
   protected:
    void SetUp() override {
        DialogTest::SetUp();
        es_ = std::make_unique<EditState>();
        ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
        hooks_ = ParsChangedHooks{this, [](void* context, uint8_t neutral, Ui_Failure*) -> int32_t {
                                      auto* t = static_cast<ColorDialogTest*>(context);
                                      t->changes_.push_back(neutral);
                                      return 0;
                                  }};
    }
    void TearDown() override {
        EditStateFreeAnalysis(es_.get());
        DialogTest::TearDown();
    }
    bool Define(int32_t kind, std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(DefineColorDialog(&env_, es_.get(), kind, &hooks_, &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return accepted;
    }
    static std::string LastTextIn(UiWindow* w, int16_t item) {
        std::vector<std::string> texts = TextsIn(w, item);
        return texts.empty() ? "" : texts.back();
    }
    // Press, drag and release on a slider at fractions of its width.
    static std::vector<UiScriptEvent> Slide(int16_t item, Ui_Rect r, std::vector<int> xs) {
        std::vector<UiScriptEvent> s;
        const int16_t v = int16_t((r.top + r.bottom) / 2);
        s.push_back(Press(item, v, int16_t(xs.front())));
        for (size_t i = 1; i + 1 < xs.size(); ++i) s.push_back(Drag(v, int16_t(xs[i])));
        s.push_back(Release(v, int16_t(xs.back())));
        return s;
    }
    // The pixel rectangle of a template item, as the headless binding lays it out.
    Ui_Rect ItemRect(int32_t dialogId, int16_t item) {
        Ui_Rect r{};
        SetScript({Call([&](UiWindow* w) { Ui_Item_GetRect(w, item, &r); })});
        int16_t hit = 0;
        Ui_Dlg_Run(state_, dialogId, nullptr, nullptr, nullptr, &hit);
        return r;
    }
    std::unique_ptr<EditState> es_;
    ParsChangedHooks hooks_{};
    std::vector<uint8_t> changes_;
};

TEST_F(ColorDialogTest, SlidersAndValueBoxesShowTheDefinitionAndTheTitleNamesTheKind) {
    const float rgb[3] = {0.5f, 0.625f, 0.375f};
    ASSERT_EQ(SetColorDef(&es_->colorDefs, &es_->editPars, kColorDefGrayscale, rgb), 0);
    std::string title;
    std::vector<std::string> values;
    EXPECT_TRUE(Define(kColorDefGrayscale, {Call([&](UiWindow* w) {
                                                title = Ui_Headless_Window(w)->title;
                                                for (int16_t item :
                                                     {kDefineColorRedValue, kDefineColorGreenValue,
                                                      kDefineColorBlueValue}) {
                                                    values.push_back(LastTextIn(w, item));
                                                }
                                            }),
                                            Click(kDefineColorOk)}));
    EXPECT_EQ(title, "Grayscale");
    EXPECT_EQ(values, (std::vector<std::string>{"0", "+25", "-25"}));
    EXPECT_TRUE(changes_.empty());
}

TEST_F(ColorDialogTest, DraggingSetsTheDefinitionAtOnceAndTellsTheOwnerOnRelease) {
    const Ui_Rect r = ItemRect(kDlgDefineColor, kDefineColorRedSlider);
    const EditPars before = es_->editPars;
    float seen[3] = {-1, -1, -1};
    std::vector<UiScriptEvent> script =
        Slide(kDefineColorRedSlider, r, {r.left + 2, r.left, r.left});
    // While the button is still held the definition has changed and nobody was told yet.
    script.insert(script.end() - 1, Call([&](UiWindow*) {
                      for (int c = 0; c < 3; ++c) seen[c] = es_->colorDefs.neutral[c];
                      EXPECT_TRUE(changes_.empty());
                  }));
    const Ui_Rect blue = ItemRect(kDlgDefineColor, kDefineColorBlueSlider);
    script.push_back(Press(kDefineColorBlueSlider, int16_t((blue.top + blue.bottom) / 2),
                           int16_t(blue.right - 1)));
    script.push_back(Release(int16_t((blue.top + blue.bottom) / 2), int16_t(blue.right - 1)));
    script.push_back(Click(kDefineColorOk));
    EXPECT_TRUE(Define(kColorDefNeutral, script));
    EXPECT_FLOAT_EQ(seen[0], 0.0f);  // the left end is -100
    EXPECT_FLOAT_EQ(es_->colorDefs.neutral[0], 0.0f);
    EXPECT_FLOAT_EQ(es_->colorDefs.neutral[1], 0.5f);
    EXPECT_FLOAT_EQ(es_->colorDefs.neutral[2], 1.0f);  // the right end is +100
    // The neutral carries its target along; the owner heard of both releases, as a neutral.
    EXPECT_NE(
        std::memcmp(before.neutralTarget, es_->editPars.neutralTarget, sizeof before.neutralTarget),
        0);
    EXPECT_EQ(changes_, (std::vector<uint8_t>{1, 1}));
}

TEST_F(ColorDialogTest, CancelRestoresTheParametersAndEveryDefinitionByteForByte) {
    const float sepia[3] = {0.7f, 0.45f, 0.3f};
    ASSERT_EQ(SetColorDef(&es_->colorDefs, &es_->editPars, kColorDefSepia, sepia), 0);
    const EditPars pars = es_->editPars;
    const ColorDefs defs = es_->colorDefs;
    const Ui_Rect r = ItemRect(kDlgDefineColor, kDefineColorGreenSlider);
    const int16_t v = int16_t((r.top + r.bottom) / 2);
    pickerAnswer_[0] = 0.9f;
    for (int32_t kind = kColorDefNeutral; kind <= kColorDefToning; ++kind) {
        changes_.clear();
        EXPECT_FALSE(Define(kind, {Press(kDefineColorGreenSlider, v, int16_t(r.left + 3)),
                                   Drag(v, int16_t(r.right - 4)), Release(v, int16_t(r.right - 4)),
                                   Click(kDefineColorRestoreDefault),
                                   Click(kDefineColorColorPicker), Click(kDefineColorCancel)}));
        EXPECT_EQ(std::memcmp(&pars, &es_->editPars, sizeof pars), 0) << kind;
        EXPECT_EQ(std::memcmp(&defs, &es_->colorDefs, sizeof defs), 0) << kind;
        // Three changes, then the cancel: the owner rebuilds from the restored parameters, which
        // need no automatic settings after them.
        const uint8_t neutral = kind == kColorDefNeutral;
        EXPECT_EQ(changes_, (std::vector<uint8_t>{neutral, neutral, neutral, 0})) << kind;
    }
    // Closed by the window's close box (the dialog ends with item 2 without "Cancel" being
    // pressed): the same restoring, the same news.
    changes_.clear();
    EXPECT_FALSE(Define(kColorDefNeutral, {Press(kDefineColorGreenSlider, v, int16_t(r.left + 3)),
                                           Release(v, int16_t(r.left + 3))}));
    EXPECT_EQ(std::memcmp(&pars, &es_->editPars, sizeof pars), 0);
    EXPECT_EQ(std::memcmp(&defs, &es_->colorDefs, sizeof defs), 0);
    EXPECT_EQ(changes_, (std::vector<uint8_t>{1, 0}));
    // Closing without any change tells nobody.
    changes_.clear();
    EXPECT_FALSE(Define(kColorDefSepia, {Click(kDefineColorCancel)}));
    EXPECT_TRUE(changes_.empty());
}

// A number typed into a channel's box sets it as the slider at that number would; a refused
// text beeps and changes nothing, and Escape leaves the field without closing the dialog.
TEST_F(ColorDialogTest, ValueBoxesTakeTypedNumbers) {
    const EditPars pars = es_->editPars;
    const ColorDefs defs = es_->colorDefs;
    const int32_t beeps = Ui_Headless_Beeps();
    bool open = true;
    EXPECT_TRUE(Define(
        kColorDefNeutral,
        {Click(kDefineColorRedValue), Type(kDefineColorValueEntry, "-200"), Key(kUiKeyReturn),
         Type(kDefineColorValueEntry, "x"), Key(kUiKeyEscape),
         Call([&](UiWindow*) { EXPECT_EQ(std::memcmp(&defs, &es_->colorDefs, sizeof defs), 0); }),
         Click(kDefineColorBlueValue), Type(kDefineColorValueEntry, "+50"), Key(kUiKeyReturn),
         Call([&](UiWindow* w) { open = Item(w, kDefineColorValueEntry).visible != 0; }),
         Click(kDefineColorOk)}));
    EXPECT_FALSE(open);
    EXPECT_EQ(Ui_Headless_Beeps(), beeps + 1);
    EXPECT_FLOAT_EQ(es_->colorDefs.neutral[0], defs.neutral[0]);
    EXPECT_FLOAT_EQ(es_->colorDefs.neutral[2], ColorDefFromSlider(50));
    EXPECT_EQ(changes_, (std::vector<uint8_t>{1}));
    // Typed, then Cancel: everything back.
    es_->editPars = pars;
    es_->colorDefs = defs;
    changes_.clear();
    EXPECT_FALSE(
        Define(kColorDefSepia, {Click(kDefineColorGreenValue), Type(kDefineColorValueEntry, "12"),
                                Key(kUiKeyReturn), Click(kDefineColorCancel)}));
    EXPECT_EQ(std::memcmp(&pars, &es_->editPars, sizeof pars), 0);
    EXPECT_EQ(std::memcmp(&defs, &es_->colorDefs, sizeof defs), 0);
}

// The arrows move the channel slider with the focus a step (Shift: ten), as typing would.
TEST_F(ColorDialogTest, ArrowKeysMoveTheFocusedChannelSlider) {
    const ColorDefs defs = es_->colorDefs;
    const int32_t green = ColorDefToSlider(defs.neutral[1]);
    EXPECT_TRUE(Define(kColorDefNeutral, {Key(39, kDefineColorGreenSlider),
                                          Holding(Key(40, kDefineColorGreenSlider), 0, 0, 1),
                                          Click(kDefineColorOk)}));
    EXPECT_FLOAT_EQ(es_->colorDefs.neutral[1], ColorDefFromSlider(green - 9));
    EXPECT_FLOAT_EQ(es_->colorDefs.neutral[0], defs.neutral[0]);
}

TEST_F(ColorDialogTest, RestoreDefaultAndThePickerSetTheKindsColour) {
    const float odd[3] = {0.1f, 0.2f, 0.3f};
    ASSERT_EQ(SetColorDef(&es_->colorDefs, &es_->editPars, kColorDefSepia, odd), 0);
    EXPECT_TRUE(Define(kColorDefSepia, {Click(kDefineColorRestoreDefault), Click(kDefineColorOk)}));
    EXPECT_FLOAT_EQ(es_->colorDefs.sepia[0], 0.625f);
    EXPECT_FLOAT_EQ(es_->colorDefs.sepia[1], 0.5f);
    EXPECT_FLOAT_EQ(es_->colorDefs.sepia[2], 0.4f);

    // The picker starts at the current colour; its answer becomes the toning colour. A cancelled
    // picker changes nothing and says nothing.
    pickerAnswer_[0] = 0.8f;
    pickerAnswer_[1] = 0.6f;
    pickerAnswer_[2] = 0.2f;
    EXPECT_TRUE(Define(kColorDefToning, {Click(kDefineColorColorPicker), Click(kDefineColorOk)}));
    EXPECT_FLOAT_EQ(pickerOffered_[0], 0.5f);
    EXPECT_FLOAT_EQ(es_->editPars.toneColor[0], 0.8f);
    EXPECT_FLOAT_EQ(es_->editPars.toneColor[2], 0.2f);
    pickerStatus_ = kStatusCancelled;
    EXPECT_TRUE(Define(kColorDefToning, {Click(kDefineColorColorPicker), Click(kDefineColorOk)}));
    EXPECT_FLOAT_EQ(es_->editPars.toneColor[0], 0.8f);
    EXPECT_TRUE(alerts.empty());
    // A host without a picker: the button cannot be pressed.
    host_.pickColor = nullptr;
    EXPECT_TRUE(Define(kColorDefToning, {Call([&](UiWindow* w) {
                                             EXPECT_FALSE(Item(w, kDefineColorColorPicker).enabled);
                                         }),
                                         Click(kDefineColorOk)}));
}

TEST_F(ColorDialogTest, SaveAndLoadGoThroughTheColourFileWithTheKindsPromptsAndNames) {
    const std::string saved = root_ + "/MyGrayscale.txt", bad = root_ + "/bad.txt";
    const float grey[3] = {0.75f, 0.25f, 1.0f};
    ASSERT_EQ(SetColorDef(&es_->colorDefs, &es_->editPars, kColorDefGrayscale, grey), 0);
    EXPECT_TRUE(Define(kColorDefGrayscale,
                       {Click(kDefineColorSave), Choose(saved.c_str()), Click(kDefineColorOk)}));
    EXPECT_EQ(std::string(Ui_Headless_LastChooser()->title), "Save color as:");
    EXPECT_EQ(testing_support::ReadFile(saved), "50 -50 100\n");

    const float neutral[3] = {0.5f, 0.5f, 0.5f};
    ASSERT_EQ(SetColorDef(&es_->colorDefs, &es_->editPars, kColorDefGrayscale, neutral), 0);
    testing_support::WriteFile(bad, "50 -50 101\n");
    EXPECT_TRUE(Define(
        kColorDefGrayscale,
        {Click(kDefineColorLoad), Choose(bad.c_str()), Click(kDefineColorLoad), Choose(nullptr),
         Click(kDefineColorLoad), Choose(saved.c_str()), Click(kDefineColorOk)}));
    EXPECT_EQ(std::string(Ui_Headless_LastChooser()->title), "Load Grayscale Definition");
    ASSERT_EQ(alerts.size(), 1u);  // the bad file, once; the cancelled chooser silently
    EXPECT_NE(alerts[0].find(bad), std::string::npos) << alerts[0];
    EXPECT_FLOAT_EQ(es_->colorDefs.grayscale[0], 0.75f);
    EXPECT_FLOAT_EQ(es_->colorDefs.grayscale[1], 0.25f);
    EXPECT_FLOAT_EQ(es_->colorDefs.grayscale[2], 1.0f);
}

TEST_F(ColorDialogTest, HelpShowsTheKindsTopic) {
    std::vector<std::string> drawn;
    EXPECT_TRUE(Define(kColorDefSepia,
                       {Click(kDefineColorHelp), For(kDlgHelp, Move(1, 1)),
                        For(kDlgHelp, Call([&](UiWindow* w) { drawn = TextsIn(w, kHelpText); })),
                        For(kDlgHelp, Click(kHelpOk)), Click(kDefineColorOk)}));
    std::string all;
    for (const std::string& t : drawn) all += t + " ";
    EXPECT_NE(all.find("sepia"), std::string::npos) << all;
}

class MemoryDialogTest : public ColorDialogTest {
   protected:
    bool Edit(MemoryColor* slot, std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(MemoryColorDialog(&env_, es_.get(), slot, &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return accepted;
    }
    static UiScriptEvent EditText(int16_t item, const char* text) {
        UiScriptEvent e{};
        e.kind = kUiScriptEdit;
        e.item = item;
        e.text = text;
        return e;
    }
    static std::vector<bool> Enabled(UiWindow* w) {
        return {Item(w, kMemoryColorOk).enabled != 0, Item(w, kMemoryColorClear).enabled != 0,
                Item(w, kMemoryColorSave).enabled != 0};
    }
};

TEST_F(MemoryDialogTest, FieldsAreCleanedAndCutAndOkWritesTheWorkingCopyBack) {
    MemoryColor slot;
    MemoryColorSetDefault(0, &slot);
    EXPECT_TRUE(Edit(&slot, {Call([&](UiWindow* w) {
                                 EXPECT_EQ(ItemText(w, kMemoryColorName), "Skin");
                                 EXPECT_EQ(ItemText(w, kMemoryColorLabel), "S");
                             }),
                             EditText(kMemoryColorName, "Warm\tskin\x7f tones of a portrait"),
                             EditText(kMemoryColorLabel, "Wx"), Call([&](UiWindow* w) {
                                 EXPECT_EQ(ItemText(w, kMemoryColorName), "Warm skin  tones of ");
                                 EXPECT_EQ(ItemText(w, kMemoryColorLabel), "W");
                             }),
                             Click(kMemoryColorOk)}));
    EXPECT_STREQ(slot.name, "Warm skin  tones of ");
    EXPECT_STREQ(slot.label, "W");
    EXPECT_FLOAT_EQ(slot.mcHue, 45.0f);
    char title[8];
    MemoryColorButtonTitle(state_, &slot, title, sizeof title);
    EXPECT_STREQ(title, "W");
}

TEST_F(MemoryDialogTest, ButtonsFollowTheEnablingRuleAndCancelLeavesTheSlot) {
    MemoryColor slot;
    MemoryColorSetDefault(2, &slot);
    const MemoryColor before = slot;
    const std::vector<bool> all{true, true, true}, okOnly{true, false, false},
        none{false, false, false};
    EXPECT_FALSE(Edit(&slot, {Call([&](UiWindow* w) { EXPECT_EQ(Enabled(w), all); }),
                              Click(kMemoryColorClear), Call([&](UiWindow* w) {
                                  EXPECT_EQ(Enabled(w), okOnly);  // an empty slot may be stored
                                  EXPECT_EQ(ItemText(w, kMemoryColorName), "");
                              }),
                              EditText(kMemoryColorName, "Sky"),
                              Call([&](UiWindow* w) { EXPECT_EQ(Enabled(w), none); }),
                              Click(kMemoryColorCancel)}));
    EXPECT_EQ(std::memcmp(&before, &slot, sizeof slot), 0);

    // Cleared and stored: the slot is empty and its button reads "_".
    EXPECT_TRUE(Edit(&slot, {Click(kMemoryColorClear), Click(kMemoryColorOk)}));
    EXPECT_EQ(slot.defined, 0);
    char title[8];
    MemoryColorButtonTitle(state_, &slot, title, sizeof title);
    EXPECT_STREQ(title, "_");
}

TEST_F(MemoryDialogTest, SetFromHueHandleIsTheEnginesFitOfTheActiveHandlesSamples) {
    MemoryColor slot;
    MemoryColorSetDefault(4, &slot);  // empty
    EXPECT_FALSE(Edit(&slot, {Call([&](UiWindow* w) {
                                  EXPECT_FALSE(Item(w, kMemoryColorSetFromHandle).enabled);
                              }),
                              Click(kMemoryColorCancel)}));
    // Skin-like samples of several lightnesses in the active handle.
    es_->activeHandle = 1;
    const float means[4][3] = {
        {0.35f, 0.22f, 0.16f}, {0.55f, 0.38f, 0.29f}, {0.75f, 0.56f, 0.45f}, {0.9f, 0.74f, 0.63f}};
    for (int i = 0; i < 4; ++i) {
        SampleBin& bin = es_->editPars.hue[1].hueBin[4 + 3 * i];
        for (int c = 0; c < 3; ++c) bin.sum[c] = 2 * means[i][c];
        bin.count = 2;
    }
    es_->activeHandleHasSamples = 1;
    EditPars copy = es_->editPars;
    float chroma = 0, hue = 0, slope = 0;
    ASSERT_EQ(HgMemoryColourFromHandle(&copy, 1, &chroma, &hue, &slope), 0);
    EXPECT_TRUE(Edit(&slot, {Click(kMemoryColorSetFromHandle), EditText(kMemoryColorName, "Faces"),
                             EditText(kMemoryColorLabel, "F"), Call([&](UiWindow* w) {
                                 EXPECT_TRUE(Item(w, kMemoryColorOk).enabled);
                             }),
                             Click(kMemoryColorOk)}));
    EXPECT_EQ(slot.defined, 1);
    EXPECT_EQ(slot.mcChroma, chroma);
    EXPECT_EQ(slot.mcHue, hue);
    EXPECT_EQ(slot.mcHueSlope, slope);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(MemoryDialogTest, LoadAndSaveUseTheMemoryColourFile) {
    MemoryColor slot;
    MemoryColorSetDefault(1, &slot);  // Foliage
    const std::string path = root_ + "/Foliage.txt", refused = root_ + "/refused.txt";
    EXPECT_TRUE(
        Edit(&slot, {Click(kMemoryColorSave), Choose(path.c_str()), Click(kMemoryColorOk)}));
    EXPECT_EQ(std::string(Ui_Headless_LastChooser()->title), "Save Foliage as:");
    EXPECT_EQ(testing_support::ReadFile(path), "1 120  40 -0.5 Foliage\nF\n");

    MemoryColor other;
    MemoryColorSetDefault(5, &other);
    testing_support::WriteFile(refused, "0 45 32 0.0 Not Used\nN\n");
    EXPECT_TRUE(
        Edit(&other, {Click(kMemoryColorLoad), Choose(refused.c_str()),
                      Call([&](UiWindow* w) { EXPECT_EQ(ItemText(w, kMemoryColorName), ""); }),
                      Click(kMemoryColorLoad), Choose(path.c_str()), Call([&](UiWindow* w) {
                          EXPECT_EQ(ItemText(w, kMemoryColorName), "Foliage");
                          EXPECT_EQ(ItemText(w, kMemoryColorLabel), "F");
                      }),
                      Click(kMemoryColorOk)}));
    EXPECT_EQ(alerts.size(), 1u);
    EXPECT_STREQ(other.name, "Foliage");
    EXPECT_FLOAT_EQ(other.mcHue, 120.0f);
    EXPECT_FLOAT_EQ(other.mcHueSlope, -0.5f);
}

}  // namespace
