// The preferences and Keenhue preferences dialogs, driven through their real templates with
// scripted events.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "edit/pars_text.h"
#include "edit/prefs.h"
#include "edit/settings_text.h"
#include "edit/window/keenhue_prefs_dialog.h"
#include "edit/window/prefs_dialog.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_help.h"
#include "resources/ids/dlg_preferences.h"
#include "resources/ids/dlg_keenhue_prefs.h"
#include "resources/ids/strings.h"
#include "tests/edit/window/dialog_test_support.h"
#include "tests/platform/test_support.h"

namespace {

using namespace window_testing;
using testing_support::ReadFile;

class PrefsDialogTest : public DialogTest {
   protected:
    void SetUp() override {
        DialogTest::SetUp();
        prefs_ = std::make_unique<Prefs>();
        ASSERT_EQ(SetPrefsDefaults(prefs_.get()), 0);
    }
    void TearDown() override { DialogTest::TearDown(); }
    bool RunPrefs(std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(PreferencesDialog(&env_, prefs_.get(), &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return accepted;
    }
    // The preferences file written from the record, as its bytes.
    std::string FileBytes(const std::string& name) {
        PrefsEntryTarget target{prefs_.get(), nullptr};
        const std::string path = root_ + "/" + name;
        EXPECT_EQ(Ui_Prefs_WriteAll(state_, path.c_str(), nullptr, WritePrefEntries, &target), 0);
        return ReadFile(path);
    }
    int32_t Selection(UiWindow* w, int16_t item) {
        int32_t position = 0;
        Ui_List_GetSelection(w, item, &position);
        return position;
    }
    std::unique_ptr<Prefs> prefs_;
};

TEST_F(PrefsDialogTest, ListsShowTheStoredModesAndStoreTheChosenPositions) {
    prefs_->startAllSame = 0;
    prefs_->startTool[0] = kStartKeenhue;
    prefs_->startTool[1] = kStartPrevious;
    prefs_->startTool[2] = kStartCustom;
    prefs_->startTool[3] = kStartReset;
    Str_CopyBounded(prefs_->customName, sizeof prefs_->customName, "Portraits.txt");
    prefs_->okMode = 2;
    const bool ok = RunPrefs({
        Call([&](UiWindow* w) {
            EXPECT_EQ(Selection(w, kPreferencesStart1With), 1);
            EXPECT_EQ(Selection(w, kPreferencesStart2With), 2);
            EXPECT_EQ(Selection(w, kPreferencesStart3With), 3);  // custom is third, stored as 3
            EXPECT_EQ(Selection(w, kPreferencesStart4With), 4);  // Reset is fourth, stored as 2
            EXPECT_EQ(Selection(w, kPreferencesOkMode), 3);
            EXPECT_EQ(Item(w, kPreferencesOkMode).listCount, 4);
            // Tools start separately: the per-tool lists are live, the common one is not.
            EXPECT_FALSE(Item(w, kPreferencesStartWith).enabled);
            EXPECT_TRUE(Item(w, kPreferencesStart3With).enabled);
            EXPECT_EQ(ItemText(w, kPreferencesCustomName), "Portraits.txt");
            // The standalone application's items are hidden; the window-size option is shown
            // but cannot be changed here.
            for (int16_t i = kPreferencesWorkingSpaceLabel; i <= kPreferencesLowerCase; ++i) {
                EXPECT_FALSE(Item(w, i).visible) << i;
            }
            EXPECT_TRUE(Item(w, kPreferencesUseLargestWindow).visible);
            EXPECT_FALSE(Item(w, kPreferencesUseLargestWindow).enabled);
        }),
        Select(kPreferencesStart1With, 4),
        Select(kPreferencesStart4With, 1),
        Select(kPreferencesOkMode, 4),
        Click(kPreferencesStartAllSame),
        Call([&](UiWindow* w) {
            EXPECT_TRUE(Item(w, kPreferencesStartWith).enabled);
            EXPECT_FALSE(Item(w, kPreferencesStart1With).enabled);
        }),
        Select(kPreferencesStartWith, 3),
        Click(kPreferencesOk),
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(prefs_->startTool[0], kStartReset);
    EXPECT_EQ(prefs_->startTool[3], kStartKeenhue);
    EXPECT_EQ(prefs_->startWith, kStartCustom);
    EXPECT_EQ(prefs_->startAllSame, 1);
    EXPECT_EQ(prefs_->okMode, 3);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(PrefsDialogTest, CustomSettingsAfterRestoreDefaultsAreRefusedAndTheListGoesBack) {
    Str_CopyBounded(prefs_->customName, sizeof prefs_->customName, "Portraits.txt");
    Str_CopyBounded(prefs_->customFolder, sizeof prefs_->customFolder, "/home/a/settings/");
    prefs_->startWith = kStartPrevious;
    prefs_->liveSliders = 0;
    prefs_->showSampledRegion = 1;
    prefs_->showStartUpGuide = 0;
    prefs_->okMode = 1;
    prefs_->keenhueMask = 3;
    const bool ok = RunPrefs({
        Click(kPreferencesRestoreDefaults),
        Call([&](UiWindow* w) {
            EXPECT_EQ(Selection(w, kPreferencesStartWith), 4);
            EXPECT_NE(ItemText(w, kPreferencesCustomName), "Portraits.txt");
        }),
        Select(kPreferencesStartWith, 3),
        Call([&](UiWindow* w) { EXPECT_EQ(Selection(w, kPreferencesStartWith), 4); }),
        Click(kPreferencesOk),
    });
    EXPECT_TRUE(ok);
    ASSERT_EQ(alerts.size(), 1u);
    char text[256];
    EXPECT_EQ(alerts[0], Ui_ResToCString(state_, kStrNeedCustomSettings, text));
    EXPECT_EQ(prefs_->startWith, kStartReset);
    EXPECT_EQ(prefs_->customName[0], 0);
    EXPECT_EQ(prefs_->customFolder[0], 0);
    EXPECT_EQ(prefs_->liveSliders, 1);
    EXPECT_EQ(prefs_->showSampledRegion, 0);
    EXPECT_EQ(prefs_->showStartUpGuide, 1);
    EXPECT_EQ(prefs_->okMode, 0);
    EXPECT_EQ(prefs_->keenhueMask, 3);  // not one of the defaults this button restores
}

TEST_F(PrefsDialogTest, EveryCheckBoxEditsItsOwnEntry) {
    struct Box {
        int16_t item;
        uint8_t Prefs::*field;
    };
    const Box boxes[] = {
        {kPreferencesLiveSliders, &Prefs::liveSliders},
        {kPreferencesSharpening, &Prefs::previewSharpening},
        {kPreferencesNoiseRemoval, &Prefs::previewNoise},
        {kPreferencesShowSampledRegion, &Prefs::showSampledRegion},
        {kPreferencesShowPixelValues, &Prefs::showPixelValues},
        {kPreferencesShowCurveControl, &Prefs::showCurveControl},
        {kPreferencesShowMethodMenu, &Prefs::showMethodMenu},
        {kPreferencesShowStartUpGuide, &Prefs::showStartUpGuide},
    };
    for (const Box& box : boxes) {
        ASSERT_EQ(SetPrefsDefaults(prefs_.get()), 0);
        const Prefs before = *prefs_;
        EXPECT_TRUE(RunPrefs({Click(box.item), Click(kPreferencesOk)}));
        EXPECT_EQ(prefs_.get()->*box.field, 1 - before.*box.field) << box.item;
        // Nothing else moved: the record differs from before in that one byte only.
        Prefs expected = before;
        expected.*box.field = prefs_.get()->*box.field;
        EXPECT_EQ(std::memcmp(&expected, prefs_.get(), sizeof(Prefs)), 0) << box.item;
    }
}

TEST_F(PrefsDialogTest, LoadingCustomSettingsKeepsThemOnlyWithOk) {
    EditPars saved;
    SetParsDefaults(&saved);
    ResetPars(&saved, kEditMaskAll);
    saved.brightness = 0.7f;
    saved.sharpenNoise.sharpenStrength = 12;
    const std::string folder = root_ + "/settings/";
    std::filesystem::create_directories(folder);
    const std::string full = folder + "Warm.txt", colourOnly = folder + "Cool.txt";
    ASSERT_EQ(WriteParsText(&saved, full.c_str()), 0);
    saved.brightness = 0.3f;
    FLSpec spec;
    FLSpecDisk(&spec, colourOnly.c_str());
    ASSERT_EQ(HgWriteSettings(&saved, &spec), 0);
    const std::string broken = folder + "Broken.txt";
    testing_support::WriteFile(broken, "v5\nnot a number\n");

    const int32_t strength = prefs_->customSettings.sharpenNoise.sharpenStrength;
    // Loaded and cancelled: nothing stays.
    EXPECT_FALSE(RunPrefs(
        {Click(kPreferencesLoadCustom), Choose(full.c_str()),
         Call([&](UiWindow* w) { EXPECT_EQ(ItemText(w, kPreferencesCustomName), "Warm.txt"); }),
         Click(kPreferencesCancel)}));
    EXPECT_EQ(prefs_->customName[0], 0);
    EXPECT_NE(prefs_->customSettings.brightness, 0.7f);

    // A cancelled chooser says nothing; a file that cannot be read says so once and changes
    // nothing; the full file then loads with its sharpen and noise part.
    EXPECT_TRUE(
        RunPrefs({Click(kPreferencesLoadCustom), Choose(nullptr), Click(kPreferencesLoadCustom),
                  Choose(broken.c_str()), Call([&](UiWindow* w) {
                      EXPECT_EQ(alerts.size(), 1u);
                      EXPECT_NE(ItemText(w, kPreferencesCustomName), "Broken.txt");
                  }),
                  Click(kPreferencesLoadCustom), Choose(full.c_str()), Click(kPreferencesOk)}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("Broken.txt"), std::string::npos) << alerts[0];
    EXPECT_STREQ(prefs_->customName, "Warm.txt");
    EXPECT_EQ(std::string(prefs_->customFolder), folder);
    EXPECT_FLOAT_EQ(prefs_->customSettings.brightness, 0.7f);
    EXPECT_EQ(prefs_->customSettings.sharpenNoise.sharpenStrength, 12);

    // A file of colour settings only: the colours load, the sharpening stays what it was.
    prefs_->customSettings.sharpenNoise.sharpenStrength = strength;
    EXPECT_TRUE(RunPrefs(
        {Click(kPreferencesLoadCustom), Choose(colourOnly.c_str()), Click(kPreferencesOk)}));
    EXPECT_STREQ(prefs_->customName, "Cool.txt");
    EXPECT_FLOAT_EQ(prefs_->customSettings.brightness, 0.3f);
    EXPECT_EQ(prefs_->customSettings.sharpenNoise.sharpenStrength, strength);
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(PrefsDialogTest, CancelLeavesThePreferencesFileByteIdentical) {
    Str_CopyBounded(prefs_->customName, sizeof prefs_->customName, "Portraits.txt");
    const std::string before = FileBytes("before.bin");
    EditPars saved;
    SetParsDefaults(&saved);
    ResetPars(&saved, kEditMaskAll);
    const std::string file = root_ + "/Other.txt";
    ASSERT_EQ(WriteParsText(&saved, file.c_str()), 0);
    std::vector<UiScriptEvent> script = {
        Click(kPreferencesRestoreDefaults),
        Select(kPreferencesOkMode, 2),
        Click(kPreferencesStartAllSame),
        Select(kPreferencesStart2With, 1),
        Click(kPreferencesLoadCustom),
        Choose(file.c_str()),
        Click(kPreferencesKeenhuePrefs),
        For(kDlgKeenhuePrefs, Click(kKeenhuePrefsHueHandles)),
        For(kDlgKeenhuePrefs, Select(kKeenhuePrefsPreferredSaturation, 1)),
        For(kDlgKeenhuePrefs, Click(kKeenhuePrefsOk))};
    for (int16_t item = kPreferencesLiveSliders; item <= kPreferencesShowStartUpGuide; ++item) {
        script.push_back(Click(item));
    }
    script.push_back(Click(kPreferencesCancel));
    EXPECT_FALSE(RunPrefs(script));
    EXPECT_EQ(FileBytes("after.bin"), before);
}

// "Restore Defaults" brings back the defaults of what the dialog shows, except the custom
// settings, the masks and the preferred saturation, and "OK" stores those; the entries the
// dialog does not show keep their values.
TEST_F(PrefsDialogTest, RestoreDefaultsResetsWhatTheDialogShowsAndNothingElse) {
    Prefs& p = *prefs_;
    p.liveSliders = 0, p.showPixelValues = 0, p.previewNoise = 0, p.useLargestWindow = 1;
    p.okMode = 3, p.startWith = kStartCustom, p.startAllSame = 0, p.startTool[2] = kStartKeenhue;
    Str_CopyBounded(p.customName, sizeof p.customName, "Portraits.txt");
    Str_CopyBounded(p.fileSuffix, sizeof p.fileSuffix, "-zz");
    p.jpegQuality = 0.5f, p.outputFormat = 9, p.workingSpaceChoice = 2;
    // Kept by "Restore Defaults", and by the dialog as a whole.
    p.keenhueMask = 1024, p.memoryColorMask = 0, p.preferredSaturation = 0.625f;
    p.customSettings.brightness = 0.75f, p.customSettings.hue[2].baseHue = 100.0f;
    p.gridLevel = 3, p.sampleSize = 1, p.readoutMode = 2, p.keenhueMode = 0;
    p.sharpenNoise.sharpenStrength = 20, p.standaloneValues[2] = 2, p.colorDefs.sepia[0] = 0.25f;
    const Prefs before = p;

    EXPECT_TRUE(RunPrefs({Click(kPreferencesRestoreDefaults), Click(kPreferencesOk)}));
    Prefs defaults;
    ASSERT_EQ(SetPrefsDefaults(&defaults), 0);
    EXPECT_EQ(p.liveSliders, defaults.liveSliders);
    EXPECT_EQ(p.showPixelValues, defaults.showPixelValues);
    EXPECT_EQ(p.previewNoise, defaults.previewNoise);
    EXPECT_EQ(p.useLargestWindow, defaults.useLargestWindow);
    EXPECT_EQ(p.okMode, 0);
    EXPECT_EQ(p.startWith, kStartReset);
    EXPECT_EQ(p.startAllSame, 1);
    EXPECT_EQ(p.startTool[2], kStartReset);
    EXPECT_STREQ(p.customName, "");
    EXPECT_STREQ(p.fileSuffix, "-xT");
    EXPECT_EQ(p.jpegQuality, 1.0f);
    EXPECT_EQ(p.outputFormat, 0);
    EXPECT_EQ(p.workingSpaceChoice, 13);

    EXPECT_EQ(p.keenhueMask, 1024);
    EXPECT_EQ(p.memoryColorMask, 0);
    EXPECT_EQ(p.preferredSaturation, 0.625f);
    EXPECT_EQ(std::memcmp(&p.customSettings, &before.customSettings, sizeof(EditPars)), 0);
    EXPECT_EQ(p.gridLevel, 3);
    EXPECT_EQ(p.sampleSize, 1);
    EXPECT_EQ(p.readoutMode, 2);
    EXPECT_EQ(p.keenhueMode, 0);
    EXPECT_EQ(p.sharpenNoise.sharpenStrength, 20);
    EXPECT_EQ(p.standaloneValues[2], 2);
    EXPECT_EQ(p.colorDefs.sepia[0], 0.25f);
}

TEST_F(PrefsDialogTest, KeenhuePrefsEditTheDialogsCopyAndTheHelpItemOpensItsTopic) {
    prefs_->keenhueMask = 64564;
    int32_t helpDialog = 0;
    EXPECT_TRUE(RunPrefs({
        Click(kPreferencesKeenhuePrefs),
        For(kDlgKeenhuePrefs, Click(kKeenhuePrefsLinear)),
        For(kDlgKeenhuePrefs, Click(kKeenhuePrefsOk)),
        Click(kPreferencesHelp),
        // A pointer move first: the tracking of the "?" item would take a call as its own.
        For(kDlgHelp, Move(1, 1)),
        For(kDlgHelp, Call([&](UiWindow* w) { helpDialog = Ui_Headless_Window(w)->dialogId; })),
        For(kDlgHelp, Click(kHelpOk)),
        Click(kPreferencesOk),
    }));
    EXPECT_EQ(prefs_->keenhueMask, 64565);
    EXPECT_EQ(helpDialog, kDlgHelp);
    EXPECT_TRUE(alerts.empty());
}

class KeenhuePrefsTest : public DialogTest {
   protected:
    bool Run(std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(KeenhuePrefsDialog(&env_, &mask_, &saturation_, &memoryMask_, &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return accepted;
    }
    int32_t Check(UiWindow* w, int16_t item) { return Item(w, item).check; }
    int32_t mask_ = 64512 | 448 | 3;  // hue handles, bits 6-8 (no box), linear and balance
    float saturation_ = 0.8f;
    int32_t memoryMask_ = 65056;
};

TEST_F(KeenhuePrefsTest, HueHandlesClearAllSixBitsAndLeaveTheBitsWithoutABox) {
    EXPECT_TRUE(Run({Call([&](UiWindow* w) {
                         EXPECT_EQ(Check(w, kKeenhuePrefsHueHandles), 1);
                         EXPECT_EQ(Check(w, kKeenhuePrefsLinear), 1);
                         EXPECT_EQ(Check(w, kKeenhuePrefsBlackPoint), 0);
                         int32_t position = 0;
                         Ui_List_GetSelection(w, kKeenhuePrefsPreferredSaturation, &position);
                         EXPECT_EQ(Item(w, kKeenhuePrefsPreferredSaturation).list[position - 1],
                                   std::string("80"));
                     }),
                     Click(kKeenhuePrefsHueHandles), Click(kKeenhuePrefsBlackPoint),
                     Select(kKeenhuePrefsPreferredSaturation, 1),
                     Click(kKeenhuePrefsAfterHueHandle), Click(kKeenhuePrefsOk)}));
    EXPECT_EQ(mask_, 448 | 4 | 3);
    EXPECT_EQ(saturation_, 0.0f);
    EXPECT_EQ(memoryMask_, 65056 & ~64512);
}

TEST_F(KeenhuePrefsTest, SomeHueBitsShowMixedAndRestoreDefaultsBringsBackAllThree) {
    mask_ = 1024 | 2048;
    memoryMask_ = 0;
    saturation_ = 0.3f;
    EXPECT_TRUE(Run({Call([&](UiWindow* w) { EXPECT_EQ(Check(w, kKeenhuePrefsHueHandles), 2); }),
                     Click(kKeenhuePrefsHueHandles),
                     Call([&](UiWindow* w) { EXPECT_EQ(Check(w, kKeenhuePrefsHueHandles), 0); }),
                     Click(kKeenhuePrefsRestoreDefaults), Call([&](UiWindow* w) {
                         EXPECT_EQ(Check(w, kKeenhuePrefsHueHandles), 1);
                         EXPECT_EQ(Check(w, kKeenhuePrefsBrightness), 1);
                         int32_t position = 0;
                         Ui_List_GetSelection(w, kKeenhuePrefsPreferredSaturation, &position);
                         EXPECT_EQ(position, 9);
                     }),
                     Click(kKeenhuePrefsOk)}));
    EXPECT_EQ(mask_, kKeenhueMaskDefault);
    EXPECT_EQ(memoryMask_, kMemoryColorMaskDefault);
    EXPECT_FLOAT_EQ(saturation_, 0.8f);
}

TEST_F(KeenhuePrefsTest, CancelChangesNoArgument) {
    EXPECT_FALSE(Run({Click(kKeenhuePrefsHueHandles), Click(kKeenhuePrefsRestoreDefaults),
                      Select(kKeenhuePrefsPreferredSaturation, 11), Click(kKeenhuePrefsCancel)}));
    EXPECT_EQ(mask_, 64512 | 448 | 3);
    EXPECT_EQ(memoryMask_, 65056);
    EXPECT_FLOAT_EQ(saturation_, 0.8f);
}

TEST(SaturationList, PositionsAndValuesMapBothWays) {
    for (int32_t p = 1; p <= 11; ++p) {
        EXPECT_EQ(SaturationListPosition(SaturationFromListPosition(p)), p);
    }
    EXPECT_EQ(SaturationListPosition(0.74f), 8);
    EXPECT_EQ(SaturationListPosition(0.75f), 9);
}

}  // namespace
