// Colour definitions: slider values, the definition file, and reading and setting a kind.
#include <cmath>
#include <cstring>
#include <string>

#include "edit/color_defs.h"
#include "edit/neutral_target.h"
#include "tests/edit/edit_test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class ColorDefTest : public edit_testing::EditTest {
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
    const std::pair<float, int> slider[] = {{0.5f, 0},   {1.0f, 100}, {0.0f, -100}, {0.625f, 25},
                                            {0.4f, -20}, {NAN, -100}, {7.0f, 100}};
    for (auto [component, value] : slider) EXPECT_EQ(ColorDefToSlider(component), value);
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
    const float tone[3] = {0.6f, 0.5f, 0.4f};
    ASSERT_EQ(SetColorDef(&defs_, &pars_, kColorDefToning, tone), 0);
    EXPECT_EQ(pars_.toneColor[0], 0.6f);
    ASSERT_EQ(GetColorDef(&defs_, &pars_, kColorDefSepia, rgb), 0);
    EXPECT_EQ(rgb[0], 0.625f);  // the sepia default, untouched
    const float bad[3] = {0.5f, NAN, 0.5f};
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefSepia, bad), -1);
    EXPECT_EQ(SetColorDef(&defs_, &pars_, 4, tone), -1);
    EXPECT_EQ(GetColorDef(&defs_, &pars_, -1, rgb), -1);
    EXPECT_EQ(GetColorDef(&defs_, nullptr, kColorDefNeutral, rgb), -1);
}

// A stand-in for the engine's derivation: records what it was given.
const RefRGB* gSeenRef = nullptr;
float gSeenRgb[3];

TEST_F(ColorDefTest, SettingTheNeutralDerivesTheTarget) {
    const float warm[3] = {0.55f, 0.5f, 0.45f};
    EditPars before = pars_;
    // Without the engine's routine nothing can be derived, and nothing changes.
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), -9);
    EXPECT_EQ(defs_.neutral[0], 0.5f);
    SetNeutralTargetDeriver([](const float*, const RefRGB*, float*) { return int32_t(-3); });
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), -3);
    SetNeutralTargetDeriver([](const float*, const RefRGB*, float* out) {
        out[0] = out[1] = out[2] = NAN;
        return int32_t(0);
    });
    EXPECT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), -1);
    EXPECT_EQ(std::memcmp(&pars_, &before, sizeof pars_), 0);

    SetNeutralTargetDeriver([](const float* rgb, const RefRGB* ref, float* out) {
        gSeenRef = ref;
        std::memcpy(gSeenRgb, rgb, sizeof gSeenRgb);
        out[0] = 10.0f, out[1] = 30.0f, out[2] = 0.0f;
        return int32_t(0);
    });
    ASSERT_EQ(SetColorDef(&defs_, &pars_, kColorDefNeutral, warm), 0);
    EXPECT_EQ(gSeenRef, &pars_.refRGB);
    EXPECT_EQ(gSeenRgb[2], 0.45f);
    EXPECT_EQ(defs_.neutral[0], 0.55f);
    EXPECT_EQ(pars_.neutralTarget[0], 10.0f);
    EXPECT_EQ(pars_.neutralTarget[1], 30.0f);
    EXPECT_EQ(pars_.balCurveValid, 0);
}

}  // namespace
