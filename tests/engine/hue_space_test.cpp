// Hue spaces (round trips over the cube, known hues, greys, the gamut boundary) and the hue
// handles (blending between enclosing handles, wrap-around, rings out of order).
#include <gtest/gtest.h>

#include <cmath>

#include "engine/edit_chain.h"
#include "engine/hue_space.h"
#include "tests/engine/chain_test_support.h"

namespace {

using chain_testing::NeutralPars;

TEST(HueSpace, EveryModeIsInvertedOverTheCube) {
    constexpr int kSteps = 24;
    for (int mode = 0; mode <= 2; ++mode) {
        double worst = 0;
        for (int r = 0; r <= kSteps; ++r) {
            for (int g = 0; g <= kSteps; ++g) {
                for (int b = 0; b <= kSteps; ++b) {
                    const float rgb[3] = {float(r) / kSteps, float(g) / kSteps, float(b) / kSteps};
                    float hue[3], back[3];
                    ASSERT_EQ(HgRgbToHue(rgb, hue, mode), 0);
                    ASSERT_TRUE(0.0f <= hue[0] && hue[0] < 1.0f) << hue[0];
                    ASSERT_EQ(HgHueToRgb(hue, back, mode), 0);
                    for (int c = 0; c < 3; ++c)
                        worst = std::fmax(worst, std::fabs(back[c] - rgb[c]));
                }
            }
        }
        EXPECT_LT(worst, 2e-6) << "mode " << mode;
    }
}

TEST(HueSpace, KnownHuesGreysAndTies) {
    struct Case {
        float rgb[3];
        float hue;
    } cases[] = {
        {{1, 1, 0}, 1.0f / 6},          {{0, 1, 1}, 0.5f},          {{1, 0, 1}, 5.0f / 6},
        {{0.4f, 0.4f, 0.8f}, 2.0f / 3}, {{1, 0, 0.5f}, 11.0f / 12},  // red largest, blue above
                                                                     // green: the wrap below 0
    };
    float out[3], back[3];
    const float grey[3] = {0.3f, 0.3f, 0.3f};
    for (int mode = 0; mode <= 2; ++mode) {
        for (const Case& k : cases) {
            ASSERT_EQ(HgRgbToHue(k.rgb, out, mode), 0);
            EXPECT_NEAR(out[0], k.hue, 1e-6) << k.rgb[0] << " " << k.rgb[1] << " " << k.rgb[2];
        }
        ASSERT_EQ(HgRgbToHue(grey, out, mode), 0);
        EXPECT_TRUE(out[0] == 0.0f && out[1] == 0.0f);
        EXPECT_NEAR(out[2], 0.3f, 1e-7);
        ASSERT_EQ(HgHueToRgb(out, back, mode), 0);
        for (float v : back) EXPECT_NEAR(v, 0.3f, 1e-7);
    }
    // HSL saturation of a light colour (max + min above 1).
    const float pink[3] = {0.9f, 0.5f, 0.3f};
    ASSERT_EQ(HgRgbToHue(pink, out, kHgHueHsl), 0);
    EXPECT_NEAR(out[1], 0.6f / (2.0f - 1.2f), 1e-6);
    EXPECT_EQ(HgRgbToHue(pink, out, 3), -1);
}

TEST(HueSpace, LumaSpaceKeepsLumaAndMeasuresAgainstTheGamut) {
    // Colours on the surface of the cube (a channel at 0 or 1) are as saturated as their hue and
    // luma allow.
    const float surface[][3] = {{1, 0.2f, 0}, {0.1f, 0.4f, 0}, {1, 1, 0.5f}, {0.3f, 0, 0.9f}};
    for (const auto& rgb : surface) {
        float hsy[3];
        ASSERT_EQ(HgRgbToHue(rgb, hsy, kHgHueLuma), 0);
        EXPECT_NEAR(hsy[1], 1.0f, 1e-5);
        EXPECT_NEAR(hsy[2], chain_testing::Luma(rgb), 1e-6);
    }
}

class HueHandles : public ::testing::Test {
   protected:
    void SetUp() override { NeutralPars(&pars_); }
    // The handle edit of (hue in degrees, S, Y).
    void Apply(float hue, float s, float y, float out[3]) {
        const float in[3] = {hue, s, y};
        ASSERT_EQ(HgApplyHueHandles(&pars_, in, out), 0);
    }
    EditPars pars_;
};

TEST_F(HueHandles, ShiftsBlendBetweenTheEnclosingPair) {
    float out[3];
    Apply(123.4f, 0.7f, 0.3f, out);  // a neutral ring changes nothing
    EXPECT_TRUE(out[0] == 123.4f && out[1] == 0.7f && out[2] == 0.3f);
    pars_.hue[1].hueShift = 10.0f;  // the handle at 60 degrees
    Apply(30.0f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 35.0f, 1e-4);
    Apply(60.0f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 70.0f, 1e-4);
    Apply(105.0f, 0.5f, 0.5f, out);  // three quarters of the way to the handle at 120
    EXPECT_NEAR(out[0], 107.5f, 1e-4);
    Apply(200.0f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 200.0f, 1e-4);

    // 350 degrees is -10; across 0 degrees the result wraps.
    pars_.hue[1].hueShift = 0.0f;
    pars_.hue[0].hueShift = 350.0f;
    Apply(0.0f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 350.0f, 1e-4);
    Apply(330.0f, 0.5f, 0.5f, out);  // halfway between 300 and 360
    EXPECT_NEAR(out[0], 325.0f, 1e-4);
    Apply(359.9f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 349.9f, 2e-2);
}

TEST_F(HueHandles, AHueOnAHandleTakesThatHandleAlone) {
    pars_.hue[2].brightness = 0.8f;
    pars_.hue[2].saturation = 0.3f;
    pars_.hue[3].saturation = 0.9f;
    float out[3];
    Apply(120.0f, 0.5f, 0.4f, out);
    EXPECT_NEAR(out[1], HgScaleSaturation(0.3f, 0.5f), 1e-6);
    EXPECT_NEAR(out[2], HgBias(0.4f, (0.8f - 0.5f) * 0.5f + 0.5f), 1e-6);
    // A grey keeps its luma however bright the handle.
    Apply(120.0f, 0.0f, 0.4f, out);
    EXPECT_NEAR(out[2], 0.4f, 1e-6);
    EXPECT_GT(HgScaleSaturation(0.8f, 0.4f), 0.4f);
    EXPECT_FLOAT_EQ(HgScaleSaturation(0.25f, 0.4f), 0.2f);
    EXPECT_EQ(HgScaleSaturation(0.5f, 0.4f), 0.4f);
}

TEST_F(HueHandles, DegenerateRingsStillEditEveryHue) {
    // Handles out of order: the pair that steps backwards is taken as the one across 0 degrees.
    pars_.hue[2].baseHue = 180.0f;
    pars_.hue[3].baseHue = 120.0f;
    pars_.hue[2].hueShift = 20.0f;
    float out[3];
    Apply(150.0f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 150.0f + 20.0f * 0.75f, 1e-4);  // between 60 and 180: a quarter short
    // Every handle on one hue: no pair encloses any other hue, which then follows its nearest
    // handle (the first of the ties), and the pair of equal hues never blends 0/0.
    for (auto& h : pars_.hue) h.baseHue = 100.0f;
    pars_.hue[0].hueShift = 20.0f;
    pars_.hue[0].saturation = 0.25f;
    Apply(50.0f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 70.0f, 1e-4);
    EXPECT_NEAR(out[1], 0.25f, 1e-6);
    Apply(100.0f, 0.5f, 0.5f, out);
    EXPECT_NEAR(out[0], 120.0f, 1e-4);
    EXPECT_TRUE(std::isfinite(out[1]) && std::isfinite(out[2]));
}

TEST_F(HueHandles, NearestHandleGoesTheShortWayAndTakesTheFirstTie) {
    EXPECT_EQ(HgNearestHandle(&pars_, 350.0f), 0);
    EXPECT_EQ(HgNearestHandle(&pars_, 30.0f), 0);  // tie between 0 and 60
    EXPECT_EQ(HgNearestHandle(&pars_, 31.0f), 1);
    EXPECT_EQ(HgNearestHandle(&pars_, -50.0f), 5);
    EXPECT_EQ(HgNearestHandle(&pars_, NAN), -1);
}

}  // namespace
