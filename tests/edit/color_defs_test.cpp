// Colour definitions: slider values, the definition file, and reading and setting a kind.
#include <cmath>
#include <cstring>
#include <string>

#include "edit/color_defs.h"
#include "edit/neutral_target.h"
#include "tests/edit/edit_test_support.h"

namespace {

using edit_testing::EditTest;
using testing_support::ReadFile;
using testing_support::WriteFile;

class ColorDefTest : public EditTest {
   protected:
    void SetUp() override {
        EditTest::SetUp();
        SetColorDefsDefaults(&defs_);
        SetParsDefaults(&pars_);
    }
    void TearDown() override {
        SetNeutralTargetDeriver(nullptr);
        EditTest::TearDown();
    }
    std::string Path(const char* name) const { return root_ + "/" + name; }

    ColorDefs defs_;
    EditPars pars_;
};

TEST(ColorDefSlider, ComponentsMapToSliderValuesAndText) {
    EXPECT_EQ(ColorDefToSlider(0.5f), 0);
    EXPECT_EQ(ColorDefToSlider(1.0f), 100);
    EXPECT_EQ(ColorDefToSlider(0.0f), -100);
    EXPECT_EQ(ColorDefToSlider(0.625f), 25);
    EXPECT_EQ(ColorDefToSlider(0.4f), -20);
    EXPECT_EQ(ColorDefToSlider(NAN), -100);
    EXPECT_EQ(ColorDefToSlider(7.0f), 100);
    for (int v = -100; v <= 100; ++v) EXPECT_EQ(ColorDefToSlider(ColorDefFromSlider(v)), v);
    char text[8];
    const std::pair<int, const char*> shown[] = {{0, "0"}, {25, "+25"}, {-25, "-25"}, {1, "+1"}};
    for (auto [value, expected] : shown) {
        ColorDefSliderText(value, text, sizeof text);
        EXPECT_STREQ(text, expected);
    }
}

TEST_F(ColorDefTest, FileHoldsTheSliderValues) {
    const float rgb[3] = {0.5f, 1.0f, 0.0f};
    ASSERT_EQ(WriteColorDefFile(Path("c.txt").c_str(), rgb), 0);
    EXPECT_EQ(ReadFile(Path("c.txt")), "0 100 -100\n");
    float back[3] = {};
    ASSERT_EQ(ReadColorDefFile(Path("c.txt").c_str(), back), 0);
    EXPECT_EQ(std::memcmp(back, rgb, sizeof rgb), 0);
    WriteFile(Path("d.txt"), "-100 25 100\r\nignored second line\r\n");
    ASSERT_EQ(ReadColorDefFile(Path("d.txt").c_str(), back), 0);
    EXPECT_EQ(back[0], 0.0f);
    EXPECT_EQ(back[1], 0.625f);
    EXPECT_EQ(back[2], 1.0f);
    const float outside[3] = {0.5f, 1.01f, 0.0f};
    EXPECT_EQ(WriteColorDefFile(Path("e.txt").c_str(), outside), -1);
    EXPECT_FALSE(testing_support::FileExists(Path("e.txt")));
}

TEST_F(ColorDefTest, BadFilesAreRefusedAndChangeNothing) {
    const char* bad[] = {"0 101 0\n", "-101 0 0\n", "1 2\n",     "1 2 3 4\n", "a b c\n",
                         "1.5 2 3\n", "",           "\n1 2 3\n", "1 2 x3\n",  "4294967296 0 0\n"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        WriteFile(Path("bad.txt"), text);
        float rgb[3] = {0.25f, 0.25f, 0.25f};
        EXPECT_EQ(ReadColorDefFile(Path("bad.txt").c_str(), rgb), -8);
        EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0.75f);
    }
    float rgb[3];
    EXPECT_EQ(ReadColorDefFile(Path("none.txt").c_str(), rgb), -4);
}

TEST_F(ColorDefTest, KindsReadAndWriteTheirOwnColour) {
    float rgb[3];
    ASSERT_EQ(GetColorDef(&defs_, &pars_, kColorDefSepia, rgb), 0);
    EXPECT_EQ(rgb[0], 0.625f);
    EXPECT_EQ(rgb[2], 0.4f);
    const float gray[3] = {0.25f, 0.5f, 0.75f};
    ASSERT_EQ(SetColorDef(&defs_, &pars_, kColorDefGrayscale, gray), 0);
    EXPECT_EQ(defs_.grayscale[2], 0.75f);
    EXPECT_EQ(defs_.sepia[0], 0.625f);
    const float tone[3] = {0.6f, 0.5f, 0.4f};
    ASSERT_EQ(SetColorDef(&defs_, &pars_, kColorDefToning, tone), 0);
    EXPECT_EQ(pars_.toneColor[0], 0.6f);
    ASSERT_EQ(GetColorDef(&defs_, &pars_, kColorDefToning, rgb), 0);
    EXPECT_EQ(rgb[2], 0.4f);
    const float bad[3] = {0.5f, NAN, 0.5f};
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefSepia, bad), -1);
    EXPECT_EQ(SetColorDef(&defs_, &pars_, 4, gray), -1);
    EXPECT_EQ(GetColorDef(&defs_, &pars_, -1, rgb), -1);
    EXPECT_EQ(GetColorDef(&defs_, nullptr, kColorDefNeutral, rgb), -1);
    float def[3];
    ASSERT_EQ(ColorDefDefault(kColorDefNeutral, def), 0);
    EXPECT_EQ(def[0] + def[1] + def[2], 1.5f);
}

// A stand-in for the engine's derivation: records what it was given.
const RefRGB* gSeenRef = nullptr;
float gSeenRgb[3];
int32_t FakeDeriver(const float rgb[3], const RefRGB* ref, float out[3]) {
    gSeenRef = ref;
    std::memcpy(gSeenRgb, rgb, sizeof gSeenRgb);
    out[0] = 10.0f;
    out[1] = 30.0f;
    out[2] = 0.0f;
    return 0;
}
int32_t FailingDeriver(const float*, const RefRGB*, float*) {
    return -3;
}
int32_t NanDeriver(const float*, const RefRGB*, float* out) {
    out[0] = out[1] = out[2] = NAN;
    return 0;
}

TEST_F(ColorDefTest, SettingTheNeutralDerivesTheTarget) {
    const float warm[3] = {0.55f, 0.5f, 0.45f};
    EditPars before = pars_;
    // Without the engine's routine nothing can be derived, and nothing changes.
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), -9);
    EXPECT_EQ(defs_.neutral[0], 0.5f);
    EXPECT_EQ(std::memcmp(&pars_, &before, sizeof pars_), 0);

    SetNeutralTargetDeriver(FailingDeriver);
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), -3);
    SetNeutralTargetDeriver(NanDeriver);
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), -1);
    EXPECT_EQ(std::memcmp(&pars_, &before, sizeof pars_), 0);

    SetNeutralTargetDeriver(FakeDeriver);
    ASSERT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), 0);
    EXPECT_EQ(gSeenRef, &pars_.refRGB);
    EXPECT_EQ(gSeenRgb[2], 0.45f);
    EXPECT_EQ(defs_.neutral[0], 0.55f);
    EXPECT_EQ(pars_.neutralTarget[0], 10.0f);
    EXPECT_EQ(pars_.neutralTarget[1], 30.0f);
    EXPECT_EQ(pars_.balCurveValid, 0);
}

TEST_F(ColorDefTest, StoredTripleOutsideRangeBecomesGrey) {
    float ok[3] = {0.0f, 1.0f, 0.5f};
    EXPECT_EQ(RepairColorDefTriple(ok, state_), 0);
    EXPECT_EQ(ok[1], 1.0f);
    float bad[3] = {0.2f, -0.01f, INFINITY};
    EXPECT_EQ(RepairColorDefTriple(bad, state_), -9);
    EXPECT_EQ(bad[0] + bad[1] + bad[2], 1.5f);
    EXPECT_EQ(
        LogLinesWith("RGB value in the preferences file is invalid: 0.200000 -0.010000 ").size(),
        1u);
}

}  // namespace
