// The edit chain: neutral parameters, the order of the stages and the early stops, the point,
// shadow and highlight stages, saturation, the parameter check and the mask trimming.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "engine/edit_chain.h"
#include "engine/hue_space.h"
#include "engine/working_space.h"
#include "tests/engine/chain_test_support.h"

namespace {

using chain_testing::NeutralPars;
using chain_testing::StrongPars;

class EditChain : public ::testing::Test {
   protected:
    void SetUp() override { NeutralPars(&pars_); }
    std::array<float, 3> Eval(int32_t mask, float r, float g, float b) {
        const float in[3] = {r, g, b};
        float out[3] = {-1, -1, -1};
        EXPECT_EQ(HgEvalColour(&pars_, mask, in, out), 0);
        return {out[0], out[1], out[2]};
    }
    float Grey(int32_t mask, float v) { return Eval(mask, v, v, v)[0]; }
    EditPars pars_;
};

TEST_F(EditChain, NeutralParametersTrimToNothingAndChangeNothing) {
    int32_t mask = 0x7FFFFFFF;
    ASSERT_EQ(HgTrimMask(&pars_, &mask), 0);
    EXPECT_EQ(mask, 0);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(0, 1);
    for (int i = 0; i < 200; ++i) {
        const float in[3] = {u(rng), u(rng), u(rng)};
        const auto out = Eval(0xFFFF, in[0], in[1], in[2]);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c], in[c], 2e-6);
    }
    // Out-of-range and non-numeric input is clamped, never refused.
    auto out = Eval(0xFFFF, -0.5f, 1.5f, NAN);
    EXPECT_NEAR(out[0], 0.0f, 1e-6);
    EXPECT_NEAR(out[1], 1.0f, 1e-6);
    EXPECT_NEAR(out[2], 0.0f, 1e-6);
    EXPECT_EQ(Eval(0, -0.5f, 1.5f, NAN), (std::array<float, 3>{0.0f, 1.0f, 0.0f}));
}

TEST_F(EditChain, TrimKeepsExactlyTheActiveStages) {
    StrongPars(&pars_);
    int32_t mask = 0xFFFF;
    ASSERT_EQ(HgTrimMask(&pars_, &mask), 0);
    EXPECT_EQ(mask, 0xFFFE);  // everything but linear
    NeutralPars(&pars_);
    pars_.contrast = 0.51f;
    pars_.hue[5].hueShift = 0.0f;
    pars_.toneColor[2] = 0.5f + 2e-8f;  // below the float step at 0.5: still exactly 0.5
    mask = 0xFFFF;
    HgTrimMask(&pars_, &mask);
    EXPECT_EQ(mask, kEditContrast);
    pars_.toneColor[2] = 0.51f;
    mask = 0x0400;  // one hue bit keeps the whole hue stage when toning is on
    HgTrimMask(&pars_, &mask);
    EXPECT_EQ(mask, 0x0400);
    EXPECT_EQ(HgTrimMask(nullptr, &mask), -1);
}

TEST_F(EditChain, TonePointsMapBlackGreyAndWhite) {
    pars_.blackPoint = 0.1f, pars_.whitePoint = 0.9f;
    EXPECT_NEAR(Grey(0x1C, 0.1f), 0.0f, 1e-6);
    EXPECT_NEAR(Grey(0x1C, 0.5f), 0.5f, 1e-6);
    EXPECT_NEAR(Grey(0x1C, 0.9f), 1.0f, 1e-6);
    EXPECT_EQ(Grey(0x1C, 0.05f), 0.0f);
    EXPECT_EQ(Grey(0x1C, 0.95f), 1.0f);
    EXPECT_NEAR(Grey(0x1C, 0.3f), 0.25f, 1e-6);
    // Only the bits given count: without bit 2 the black point is 0.
    EXPECT_NEAR(Grey(0x18, 0.0f), 0.0f, 1e-6);
    EXPECT_NEAR(Grey(0x18, 0.45f), 0.5f, 1e-6);
    // A grey point at 0 leaves no room below it: the chain clamps instead of dividing by zero.
    pars_.grayPoint = 0.0f;
    float v = Grey(0x1C, 0.1f);
    EXPECT_TRUE(0.0f <= v && v <= 1.0f) << v;
    pars_.grayPoint = 1.0f;
    EXPECT_EQ(Grey(0x1C, 0.95f), 1.0f);
    EXPECT_EQ(Grey(0x1C, 0.5f), 0.25f);
}

TEST_F(EditChain, BiasAndGainKeepTheirFixedPoints) {
    for (float t : {0.0f, 0.2f, 0.5f, 0.9f, 1.0f}) {
        EXPECT_NEAR(HgBias(t, 0.5f), t, 1e-7);
        EXPECT_NEAR(HgGain(t, 0.5f), t, 1e-7);
        EXPECT_NEAR(HgGain(t, 0.8f) + HgGain(1 - t, 0.8f), 1.0f, 1e-6);  // symmetric about 0.5
    }
    EXPECT_NEAR(HgBias(0.5f, 0.8f), 0.8f, 1e-6);               // bias(0.5, b) = b
    EXPECT_GT(HgGain(0.6f, 0.8f), 0.6f);                       // more contrast steepens the middle
    EXPECT_EQ(HgBias(0.3f, 0.0f) + HgBias(1.0f, 0.0f), 1.0f);  // the ends of b
    EXPECT_EQ(HgBias(0.3f, 1.0f) + HgBias(0.0f, 1.0f), 1.0f);
}

TEST_F(EditChain, ShadowAndHighlightCurvesLeaveTheirOtherEndAlone) {
    for (float s : {0.0f, 0.2f, 0.7f, 1.0f}) {
        pars_.shadow = s;
        pars_.highlight = s;
        for (int i = 0; i <= 255; ++i) {
            float t = i / 255.0f;
            float shadowed = Grey(kEditShadow, t), lit = Grey(kEditHighlight, t);
            EXPECT_TRUE(i < 171 || std::fabs(shadowed - t) <= 1e-6f) << s << " " << i;
            EXPECT_TRUE(i > 84 || std::fabs(lit - t) <= 1e-6f) << s << " " << i;
            // Darker shadows below 0.5 for s < 0.5, lighter for s > 0.5; likewise highlights.
            EXPECT_TRUE(i <= 10 || i >= 120 || (s < 0.5f ? shadowed < t : shadowed > t)) << i;
            EXPECT_TRUE(i <= 140 || i >= 245 || (s < 0.5f ? lit < t : lit > t)) << i;
        }
    }
    // The curve is a cache of the parameter: a value it was built for is not rebuilt.
    pars_.shadow = 0.2f;
    Grey(kEditShadow, 0.3f);
    pars_.shadowCurve[100] = 0.9f;
    EXPECT_NEAR(Grey(kEditShadow, 100 / 255.0f), 0.9f, 1e-5);
    pars_.shadow = 0.21f;
    EXPECT_LT(Grey(kEditShadow, 100 / 255.0f), 0.5f);
    // At 0.5 the stages are skipped, whatever the curves hold.
    pars_.shadow = pars_.highlight = 0.5f;
    pars_.highlightCurve[200] = 0.0f;
    EXPECT_NEAR(Grey(0xFFFF, 200 / 255.0f), 200 / 255.0f, 1e-6);
}

TEST_F(EditChain, StagesRunInTheirOwnOrder) {
    // Contrast runs after brightness and before shadows and highlights although its bit comes
    // after theirs; saturation and the hue stage come last. Composing the single stages in that
    // order must give what the whole chain gives.
    StrongPars(&pars_);
    pars_.blackPoint = 0.0f;
    const int32_t order[] = {kEditBalance, 0x1C,           kEditBrightness, kEditContrast,
                             kEditShadow,  kEditHighlight, kEditSaturation, 0xFC00};
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(0, 1);
    for (int i = 0; i < 100; ++i) {
        float v[3] = {u(rng), u(rng), u(rng)}, whole[3];
        ASSERT_EQ(HgEvalColour(&pars_, 0xFFFF, v, whole), 0);
        for (int32_t stage : order) ASSERT_EQ(HgEvalColour(&pars_, stage, v, v), 0);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(v[c], whole[c], 2e-6);
    }
    // The swapped order is measurably different for this edit.
    float a[3] = {0.3f, 0.3f, 0.3f}, b[3] = {0.3f, 0.3f, 0.3f};
    HgEvalColour(&pars_, kEditContrast, a, a);
    HgEvalColour(&pars_, kEditShadow, a, a);
    HgEvalColour(&pars_, kEditShadow, b, b);
    HgEvalColour(&pars_, kEditContrast, b, b);
    EXPECT_GT(std::fabs(a[0] - b[0]), 1e-3);
}

TEST_F(EditChain, LinearStageStopsEarlyAndDerivesItsTable) {
    pars_.linear = 1;
    pars_.brightness = 0.7f;
    for (float& v : pars_.gammaTable) v = 0.0f;  // never derived
    float g = Grey(kEditLinear, 0.25f);
    EXPECT_NEAR(g, std::pow(0.25, 1 / 2.2), 2e-3);  // interpolated in a 256-entry table
    EXPECT_EQ(pars_.gammaTable[255], 1.0f);
    // Mask 1 stops after the linear stage even though brightness is set.
    EXPECT_EQ(Grey(kEditLinear, 0.25f), g);
    EXPECT_GT(Grey(kEditLinear | kEditBrightness, 0.25f), g);
    // Without the linear flag the stage does nothing.
    pars_.linear = 0;
    EXPECT_NEAR(Grey(kEditLinear, 0.25f), 0.25f, 1e-7);
}

TEST_F(EditChain, SaturationMovesAlongTheHueSpaces) {
    const float colour[3] = {0.7f, 0.45f, 0.3f};
    float hsy[3], out[3], outHue[3];
    HgRgbToHue(colour, hsy, kHgHueLuma);
    pars_.saturation = 0.0f;  // no saturation at all: the grey of equal luma
    ASSERT_EQ(HgEvalColour(&pars_, kEditSaturation, colour, out), 0);
    for (float v : out) EXPECT_NEAR(v, hsy[2], 1e-6);
    // Half the saturation: same hue and luma, half the distance from the grey.
    pars_.saturation = 0.25f;
    ASSERT_EQ(HgEvalColour(&pars_, kEditSaturation, colour, out), 0);
    HgRgbToHue(out, outHue, kHgHueLuma);
    EXPECT_NEAR(outHue[0], hsy[0], 1e-5);
    EXPECT_NEAR(outHue[1], hsy[1] / 2, 1e-5);
    EXPECT_NEAR(outHue[2], hsy[2], 1e-5);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(out[c] - hsy[2], (colour[c] - hsy[2]) / 2, 1e-6);
    // More saturation doubles the chroma but stops at the edge of the cube.
    pars_.saturation = 1.0f;
    ASSERT_EQ(HgEvalColour(&pars_, kEditSaturation, colour, out), 0);
    float chroma[3];
    HgRgbToHue(out, chroma, kHgHueChroma);
    EXPECT_NEAR(chroma[1], 0.8f, 1e-5);
    const float strong[3] = {0.9f, 0.2f, 0.1f};
    ASSERT_EQ(HgEvalColour(&pars_, kEditSaturation, strong, out), 0);
    HgRgbToHue(out, chroma, kHgHueChroma);
    EXPECT_NEAR(chroma[2], 0.5f, 1e-6);
    EXPECT_NEAR(chroma[1], 1.0f, 1e-6);
}

TEST(EditChainCheck, RefusesEveryOutOfRangeGroup) {
    EditPars p;
    NeutralPars(&p);
    ASSERT_EQ(HgCheckPars(&p), 0);
    p.blackPoint = -1.0f;
    p.whitePoint = 2.0f;
    p.hue[3].baseHue = 360.0f;
    EXPECT_EQ(HgCheckPars(&p), 0);  // the ends are valid
    struct Break {
        const char* what;
        void (*apply)(EditPars*);
    } breaks[] = {
        {"bin count", [](EditPars* q) { q->balBin[3].count = -1; }},
        {"bin NaN", [](EditPars* q) { q->balBin[0].sum[0] = NAN; }},
        {"black", [](EditPars* q) { q->blackPoint = -1.01f; }},
        {"grey", [](EditPars* q) { q->grayPoint = NAN; }},
        {"white", [](EditPars* q) { q->whitePoint = 2.01f; }},
        {"primary", [](EditPars* q) { q->refRGB.primaries[4] = 0.95f; }},
        {"base hue", [](EditPars* q) { q->hue[2].baseHue = 360.0001f; }},
        {"hue shift", [](EditPars* q) { q->hue[2].hueShift = INFINITY; }},
        {"hue bin", [](EditPars* q) { q->hue[1].hueBin[4].count = -3; }},
        {"neutral target", [](EditPars* q) { q->neutralTarget[1] = NAN; }},
    };
    for (const Break& b : breaks) {
        EditPars q = p;
        b.apply(&q);
        EXPECT_EQ(HgCheckPars(&q), -1) << b.what;
    }
    EXPECT_EQ(HgCheckPars(nullptr), -1);
}

}  // namespace
