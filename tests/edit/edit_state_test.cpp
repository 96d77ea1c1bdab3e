// The editing state: its reset of groups with their window state, copying stored settings into
// the live record under a tool mask, including the working-space question, and the snapshot an
// undo step goes back to.
#include <cmath>
#include <cstring>
#include <string>

#include "edit/edit_snapshot.h"
#include "edit/edit_state.h"
#include "edit/neutral_target.h"
#include "engine/balance.h"
#include "engine/working_space.h"
#include "platform/alert.h"
#include "tests/edit/edit_test_support.h"

namespace {

using edit_testing::EditTest;
using edit_testing::FillPars;

// The caller's answer to the working-space question: 0 use anyway, -10 cancel, or the status of
// a question that could not be asked.
int32_t gAnswer = 0;
int gQuestions = 0;
int32_t Answer(UiState*) {
    ++gQuestions;
    return gAnswer;
}

class EditStateTest : public EditTest {
   protected:
    void SetUp() override {
        EditTest::SetUp();
        live_ = std::make_unique<EditState>();
        ASSERT_EQ(EditStateInit(live_.get(), nullptr), 0);
        saved_ = std::make_unique<EditPars>();
        FillPars(saved_.get(), 7);
        saved_->refRGB = live_->editPars.refRGB;  // the same working space
        gQuestions = 0;
        gAnswer = 0;
    }
    void TearDown() override {
        SetNeutralTargetDeriver(nullptr);
        EditTest::TearDown();
    }
    std::unique_ptr<EditState> live_;
    std::unique_ptr<EditPars> saved_;
};

TEST_F(EditStateTest, InitialStateIsResetInTheGivenSpace) {
    const EditState& s = *live_;
    EXPECT_EQ(s.bitsPerChannel, 8);
    EXPECT_EQ(s.editPars.gammaTable[255], 1.0f);   // tables derived
    EXPECT_EQ(s.editPars.neutralTarget[0], 0.0f);  // the default neutral is grey
    EXPECT_EQ(std::memcmp(&s.undo.pars, &s.editPars, sizeof s.editPars), 0);
    // The engine's derivation is installed for the colour definitions.
    float target[3];
    const float warm[3] = {0.6f, 0.5f, 0.4f};
    EXPECT_EQ(DeriveNeutralTarget(warm, &s.editPars.refRGB, target), 0);
    EXPECT_GT(target[0], 0.0f);

    RefRGB bad = s.editPars.refRGB;
    bad.gamma = 0.1f;
    EditState other;
    EXPECT_EQ(EditStateInit(&other, &bad), -1);
    EXPECT_EQ(EditStateInit(nullptr, nullptr), -1);
}

TEST_F(EditStateTest, ResetOfTheBalanceDerivesTheTargetFromTheNeutralDefinition) {
    EditState& s = *live_;
    s.colorDefs.neutral[0] = 0.56f;
    s.colorDefs.neutral[2] = 0.44f;
    s.balanceSlider[0] = 0.9f;
    s.editPars.balBin[4].count = 3;
    s.editPars.brightness = 0.7f;
    ASSERT_EQ(ResetEditStatePars(&s, kEditMaskTool1), 0);
    EXPECT_EQ(s.balanceSlider[0], 0.5f);
    EXPECT_EQ(s.editPars.balBin[4].count, 0);
    EXPECT_EQ(s.editPars.brightness, 0.7f);  // not in the mask
    float expected[3];
    ASSERT_EQ(HgNeutralTargetFromColour(s.colorDefs.neutral, &s.editPars.refRGB, expected), 0);
    EXPECT_GT(expected[0], 0.0f);
    EXPECT_EQ(std::memcmp(s.editPars.neutralTarget, expected, sizeof expected), 0);
    EXPECT_EQ(s.editPars.balCurveValid, 0);

    // A hue bit makes handle 0 active with its memory colour and clears the hue flags.
    s.activeHandle = 4;
    s.activeHandleHasSamples = 1;
    s.huePlacementPending = 1;
    s.editPars.hue[0].colorId = 2;
    ASSERT_EQ(ResetEditStatePars(&s, 1 << 12), 0);
    EXPECT_EQ(s.activeHandle, 0);
    EXPECT_EQ(s.activeColorId, 2);  // a single handle keeps the memory-colour ids
    EXPECT_EQ(s.activeHandleHasSamples, 0);
    EXPECT_EQ(s.huePlacementPending, 0);
    ASSERT_EQ(ResetEditStatePars(&s, kEditMaskTool4), 0);
    EXPECT_EQ(s.activeColorId, 6);
    EXPECT_EQ(ResetEditStatePars(nullptr, 2), -1);
}

TEST_F(EditStateTest, ASnapshotGivesTheRecordAndItsWindowStateBackByteForByte) {
    EditState& s = *live_;
    FillPars(&s.editPars, 3);
    s.editPars.hue[2].hueBin[0].count = 5;
    s.currentTab = 3;
    s.balanceMethod = kBalanceThreeSliders;
    s.balanceSlider[0] = 0.1f;
    s.balanceSlider[2] = 0.7f;
    s.activeHandle = 2;
    EditSnapshot snapshot{};
    ASSERT_EQ(EditSnapshotTake(&s, &snapshot), 0);
    const auto taken = std::make_unique<EditSnapshot>(snapshot);

    // Everything the snapshot holds changes, and what is derived from the record with it.
    s.editPars = *saved_;
    s.currentTab = 1;
    s.balanceMethod = kBalanceNeutrals;
    s.balanceSlider[0] = 0.5f;
    s.balanceSlider[2] = 0.5f;
    s.activeHandleHasSamples = 0;
    ASSERT_EQ(EditSnapshotRestore(&s, &snapshot), 0);
    EXPECT_EQ(std::memcmp(&s.editPars, &taken->pars, sizeof s.editPars), 0);
    EXPECT_EQ(s.currentTab, 3);
    EXPECT_EQ(s.balanceMethod, kBalanceThreeSliders);
    EXPECT_EQ(s.balanceSlider[0], 0.1f);
    EXPECT_EQ(s.balanceSlider[2], 0.7f);
    EXPECT_EQ(s.activeHandleHasSamples, 1);
    // Restoring leaves the snapshot as it was, so it can be restored again.
    EXPECT_EQ(std::memcmp(&snapshot.pars, &taken->pars, sizeof snapshot.pars), 0);
    EXPECT_EQ(snapshot.tab, 3);

    // Off the hue tab the flag is left to the hue tab.
    snapshot.tab = 0;
    s.activeHandleHasSamples = 0;
    ASSERT_EQ(EditSnapshotRestore(&s, &snapshot), 0);
    EXPECT_EQ(s.currentTab, 0);
    EXPECT_EQ(s.activeHandleHasSamples, 0);

    EXPECT_EQ(EditSnapshotTake(nullptr, &snapshot), -1);
    EXPECT_EQ(EditSnapshotRestore(&s, nullptr), -1);
}

TEST_F(EditStateTest, CopiesTheGroupsOfTheMask) {
    EditState& s = *live_;
    // Tool 3 copies its five values and nothing else.
    ASSERT_EQ(CopyParsMasked(saved_.get(), &s, kEditMaskTool3, state_, Answer), 0);
    EXPECT_EQ(s.editPars.brightness, saved_->brightness);
    EXPECT_EQ(s.editPars.saturation, saved_->saturation);
    EXPECT_EQ(s.editPars.blackPoint, 0.0f);
    EXPECT_EQ(s.editPars.balBin[3].count, 0);
    EXPECT_EQ(s.editPars.hue[2].hueShift, 0.0f);
    EXPECT_EQ(gQuestions, 0);  // same space: no question

    // One hue bit brings all six handles and the toning colour; the active handle's samples
    // are looked at again.
    ASSERT_EQ(CopyParsMasked(saved_.get(), &s, 1024, state_, Answer), 0);
    EXPECT_EQ(std::memcmp(s.editPars.hue, saved_->hue, sizeof s.editPars.hue), 0);
    EXPECT_EQ(std::memcmp(s.editPars.toneColor, saved_->toneColor, sizeof s.editPars.toneColor), 0);
    EXPECT_EQ(s.activeHandleHasSamples, 1);

    // The balance: bins and target, curves to be rebuilt.
    ASSERT_EQ(CopyParsMasked(saved_.get(), &s, kEditMaskTool1Linear, state_, Answer), 0);
    EXPECT_EQ(std::memcmp(s.editPars.balBin, saved_->balBin, sizeof s.editPars.balBin), 0);
    EXPECT_EQ(s.editPars.neutralTarget[1], saved_->neutralTarget[1]);
    EXPECT_EQ(s.editPars.balCurveValid, 0);
    // linear travels only for 16-bit images, the sharpen and noise values only with every group.
    EXPECT_EQ(s.editPars.linear, 0);
    EXPECT_EQ(s.editPars.sharpenNoise.sharpenOn, 0);
    s.bitsPerChannel = 16;
    ASSERT_EQ(CopyParsMasked(saved_.get(), &s, kEditMaskAll, state_, Answer), 0);
    EXPECT_EQ(s.editPars.linear, 1);
    EXPECT_EQ(std::memcmp(&s.editPars.sharpenNoise, &saved_->sharpenNoise, sizeof(SharpenNoise)),
              0);
    // The working space of the live record is never taken from the stored set.
    EXPECT_EQ(s.editPars.whitePoint, saved_->whitePoint);
    EXPECT_EQ(CopyParsMasked(nullptr, &s, 2, state_, Answer), -1);
}

TEST_F(EditStateTest, AChangedWorkingSpaceAsksFirst) {
    EditState& s = *live_;
    saved_->refRGB.primaries[2] += 0.01f;
    s.editPars.brightness = 0.3f;
    s.activeHandle = 3;
    auto before = std::make_unique<EditState>(s);

    gAnswer = -10;  // Cancel
    EXPECT_EQ(CopyParsMasked(saved_.get(), &s, kEditMaskAll, state_, Answer), -10);
    EXPECT_EQ(gQuestions, 1);
    EXPECT_EQ(std::memcmp(before.get(), &s, sizeof s), 0);
    EXPECT_EQ(LogLinesWith("RefRgbMatch: primaries1[2]").size(), 1u);
    EXPECT_TRUE(Alerts().empty());  // the question is the caller's to show

    // A question that cannot be asked, or no one to ask: nothing is copied.
    gAnswer = -1;
    EXPECT_EQ(CopyParsMasked(saved_.get(), &s, kEditMaskAll, state_, Answer), -1);
    EXPECT_EQ(CopyParsMasked(saved_.get(), &s, kEditMaskAll, state_, nullptr), -1);
    EXPECT_EQ(std::memcmp(before.get(), &s, sizeof s), 0);

    gAnswer = 0;  // Use Anyway
    ASSERT_EQ(CopyParsMasked(saved_.get(), &s, kEditMaskAll, state_, Answer), 0);
    EXPECT_EQ(s.editPars.brightness, saved_->brightness);
    EXPECT_EQ(s.activeHandle, 0);
    EXPECT_NE(s.editPars.refRGB.primaries[2], saved_->refRGB.primaries[2]);
}

}  // namespace
