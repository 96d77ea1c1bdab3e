// Balance and toning curves: identities, a marked neutral made grey or tinted, the band and the
// monotonicity of every curve, the rebuild rules, and the neutral target of a colour.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "engine/balance.h"
#include "engine/colour_math.h"
#include "engine/edit_chain.h"
#include "engine/working_space.h"
#include "tests/engine/chain_test_support.h"

namespace {

using chain_testing::Luma;
using chain_testing::NeutralPars;

// Every entry within 0.01 t .. 0.99 + 0.01 t.
bool InBand(const float* curve) {
    for (int i = 0; i < kEditCurveSize; ++i) {
        const double t = i / 255.0;
        if (!(0.01 * t - 1e-7 <= curve[i] && curve[i] <= 0.99 + 0.01 * t + 1e-7)) return false;
    }
    return true;
}

void ExpectBandedAndIncreasing(const float* curve, const char* what) {
    EXPECT_TRUE(InBand(curve)) << what;
    for (int i = 1; i < kEditCurveSize; ++i) EXPECT_GT(curve[i], curve[i - 1]) << what << " " << i;
}

float Read(const float* curve, float v) {
    float out;
    HgInterpolateTable(v, curve, kEditCurveSize, &out);
    return out;
}

// The Lab lightness, chroma and hue (5000 K white) of a colour of the default working space.
void LchOf(const EditPars& p, const float rgb[3], float lch[3]) {
    float lin[3], xyz[3];
    for (int c = 0; c < 3; ++c) lin[c] = float(std::pow(rgb[c], double(p.refRGB.gamma)));
    HgMatrix3Apply(p.refTables, lin, xyz);  // already adapted to 5000 K
    float xyY[3], d50[3], lab[3];
    HgWhiteFromTemperature(5000, xyY);
    HgXyToXyz(xyY, d50);
    HgXyzToLab(xyz, d50, lab);
    HgLabToLch(lab, lch);
}

class Balance : public ::testing::Test {
   protected:
    void SetUp() override { NeutralPars(&pars_); }
    void Mark(float r, float g, float b) {
        const float rgb[3] = {r, g, b};
        ASSERT_EQ(HgAddBalanceSample(pars_.balBin, rgb), 0);
        pars_.balCurveValid = 0;
    }
    EditPars pars_;
};

TEST_F(Balance, SamplesFallIntoTheirLumaBin) {
    Mark(0.5f, 0.5f, 0.5f);  // exactly on the edge of bin 10
    Mark(0.52f, 0.5f, 0.5f);
    Mark(1, 1, 1);
    EXPECT_EQ(pars_.balBin[10].count, 2);
    EXPECT_FLOAT_EQ(pars_.balBin[10].sum[0], 1.02f);
    EXPECT_EQ(pars_.balBin[19].count, 1);
    const float bad[3] = {0.5f, NAN, 0.5f}, over[3] = {1.2f, 0.5f, 0.5f};
    EXPECT_EQ(HgAddBalanceSample(pars_.balBin, bad), -1);
    EXPECT_EQ(HgAddBalanceSample(pars_.balBin, over), -1);
}

TEST_F(Balance, AMarkedNeutralBecomesTheGreyOfItsLuma) {
    // No samples: identity ramps, whatever the stale curves held.
    pars_.balCurve[1][7] = 0.5f;
    pars_.balCurveValid = 0;
    ASSERT_EQ(HgBuildBalance(&pars_), 0);
    EXPECT_EQ(pars_.balCurveValid, 1);
    EXPECT_NEAR(pars_.balCurve[1][7], 7 / 255.0, 1e-7);

    const float warm[3] = {0.62f, 0.5f, 0.38f};
    Mark(warm[0], warm[1], warm[2]);
    ASSERT_EQ(HgBuildBalance(&pars_), 0);
    // The polynomial smooths the corner that the one sample makes between the anchors, so the
    // sample lands near, not on, its target.
    double y = Luma(warm);
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(Read(pars_.balCurve[c], warm[c]), y, 0.02) << c;
        ExpectBandedAndIncreasing(pars_.balCurve[c], "balance");
        EXPECT_NEAR(pars_.balCurve[c][0], 0.0, 0.02);
        EXPECT_NEAR(pars_.balCurve[c][255], 1.0, 0.02);
    }
    // Through the chain the marked colour comes out neutral.
    float out[3];
    ASSERT_EQ(HgEvalColour(&pars_, kEditBalance, warm, out), 0);
    EXPECT_LT(std::fmax(std::fabs(out[0] - out[1]), std::fabs(out[2] - out[1])), 0.02);

    // A grey sample needs no correction at all.
    NeutralPars(&pars_);
    Mark(0.3f, 0.3f, 0.3f);
    ASSERT_EQ(HgBuildBalance(&pars_), 0);
    for (int i = 0; i < kEditCurveSize; ++i) EXPECT_NEAR(pars_.balCurve[1][i], i / 255.0, 1e-5);
}

TEST_F(Balance, ClippedWhiteAndBlackStayNeutralWhenSamplesTakeTheEndBins) {
    // A greenish near-white takes the top bin, where the white anchor would sit, and a dark
    // sample the bottom bin: the fitted curves would end wherever the polynomial runs out, so a
    // white background or a specular highlight at full scale would turn magenta. Full scale
    // and zero carry no colour; they stay where they are, while the samples are still balanced.
    const float nearWhite[3] = {0.95f, 0.975f, 0.955f}, dark[3] = {0.03f, 0.045f, 0.035f};
    Mark(nearWhite[0], nearWhite[1], nearWhite[2]);
    Mark(dark[0], dark[1], dark[2]);
    ASSERT_EQ(HgBuildBalance(&pars_), 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(pars_.balCurve[c][255], 1.0f) << c;
        EXPECT_EQ(pars_.balCurve[c][0], 0.0f) << c;
        ExpectBandedAndIncreasing(pars_.balCurve[c], "balance");
    }
    float out[3];
    ASSERT_EQ(HgEvalColour(&pars_, kEditBalance, nearWhite, out), 0);
    EXPECT_LT(std::fmax(std::fabs(out[0] - out[1]), std::fabs(out[2] - out[1])), 0.01);

    // A background clipped in red and blue, marked as neutral, reaches full scale itself: there
    // the top must move, or the background keeps its magenta.
    NeutralPars(&pars_);
    const float clipped[3] = {1.0f, 0.93f, 1.0f};
    Mark(clipped[0], clipped[1], clipped[2]);
    ASSERT_EQ(HgBuildBalance(&pars_), 0);
    ASSERT_EQ(HgEvalColour(&pars_, kEditBalance, clipped, out), 0);
    EXPECT_LT(std::fmax(std::fabs(out[0] - out[1]), std::fabs(out[2] - out[1])), 0.01);
}

TEST_F(Balance, CurvesStayInTheBandWhateverTheSamples) {
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> u(0, 1), cast(-0.06f, 0.06f);
    for (int round = 0; round < 40; ++round) {
        // Marked neutrals: greys with a cast, as a user marks them. Their curves also increase.
        NeutralPars(&pars_);
        for (int i = 0; i <= round % 4; ++i) {
            float v = 0.1f + 0.8f * u(rng);
            Mark(v + cast(rng), v + cast(rng), v + cast(rng));
        }
        if (round % 2) {
            pars_.neutralTarget[0] = float(round % 30);
            pars_.neutralTarget[1] = float(round * 37 % 360);
            pars_.neutralTarget[2] = 0.5f;
        }
        ASSERT_EQ(HgBuildBalance(&pars_), 0);
        for (auto& curve : pars_.balCurve) ExpectBandedAndIncreasing(curve, "neutrals");
        // Arbitrary colours marked as neutral: even degree 2 may turn over, but never leaves
        // the band.
        NeutralPars(&pars_);
        for (int i = 0; i < 3; ++i) Mark(u(rng), u(rng), u(rng));
        ASSERT_EQ(HgBuildBalance(&pars_), 0);
        for (auto& curve : pars_.balCurve) ASSERT_TRUE(InBand(curve)) << round;
    }
}

TEST_F(Balance, ATintedTargetGivesTheNeutralsItsHueAndChroma) {
    const float grey[3] = {0.5f, 0.5f, 0.5f};
    Mark(grey[0], grey[1], grey[2]);
    pars_.neutralTarget[0] = 20.0f;
    pars_.neutralTarget[1] = 60.0f;
    ASSERT_EQ(HgBuildBalance(&pars_), 0);
    float out[3], lch[3];
    ASSERT_EQ(HgEvalColour(&pars_, kEditBalance, grey, out), 0);
    LchOf(pars_, out, lch);
    double L = 50.0;
    EXPECT_NEAR(lch[1], 20 * 0.04 * L * (1 - L / 100), 3.0);  // the fit smooths it a little
    EXPECT_NEAR(lch[2], 60.0, 4.0);

    // A failing conversion leaves the curves marked as out of date.
    pars_.balCurveValid = 0;
    pars_.refRGB.primaries[1] = 0.0f;
    EXPECT_EQ(HgBuildBalance(&pars_), -1);
    EXPECT_EQ(pars_.balCurveValid, 0);
}

TEST_F(Balance, NeutralTargetOfAColourReproducesItsChroma) {
    const float grey[3] = {0.5f, 0.5f, 0.5f};
    float target[3];
    ASSERT_EQ(HgNeutralTargetFromColour(grey, &pars_.refRGB, target), 0);
    EXPECT_TRUE(target[0] == 0.0f && target[1] == 0.0f && target[2] == 0.0f);

    const float tint[3] = {0.55f, 0.5f, 0.42f};
    ASSERT_EQ(HgNeutralTargetFromColour(tint, &pars_.refRGB, target), 0);
    float lch[3];
    LchOf(pars_, tint, lch);
    double perStep = 0.04 * lch[0] * (1 - lch[0] / 100);
    EXPECT_GT(target[0], 0.0f);
    EXPECT_EQ(target[0], std::round(target[0]));
    EXPECT_LE(std::fabs(target[0] * perStep - lch[1]), perStep / 2 + 1e-4);
    EXPECT_NEAR(target[1], lch[2], 1e-3);
    EXPECT_EQ(target[2], 0.0f);

    pars_.refRGB.gamma = 9.0f;
    EXPECT_EQ(HgNeutralTargetFromColour(tint, &pars_.refRGB, target), -1);
}

TEST_F(Balance, AddingAColourGoesThroughTheLinearStageOnly) {
    pars_.linear = 1;
    pars_.brightness = 0.9f;  // later stages must not touch the sample
    const float rgb[3] = {0.2f, 0.2f, 0.2f};
    ASSERT_EQ(HgAddBalanceColour(&pars_, rgb), 0);
    EXPECT_EQ(pars_.balCurveValid, 0);
    float expected[3];
    HgEvalColour(&pars_, kEditLinear, rgb, expected);
    int k = int(std::floor(20 * expected[0]));
    EXPECT_EQ(pars_.balBin[k].count, 1);
    EXPECT_FLOAT_EQ(pars_.balBin[k].sum[0], expected[0]);
    pars_.contrast = 2.0f;
    EXPECT_EQ(HgAddBalanceColour(&pars_, rgb), -1);
    EXPECT_EQ(pars_.balBin[k].count, 1);
}

TEST_F(Balance, ToningTintsTheGreysAndRebuildsOnlyOnChange) {
    ASSERT_EQ(HgBuildToning(&pars_), 0);
    pars_.toneCurve[0][50] = 0.7f;
    pars_.toneColor[0] = 0.5f + 5e-9f;  // within 1e-8: not a change
    ASSERT_EQ(HgBuildToning(&pars_), 0);
    EXPECT_EQ(pars_.toneCurve[0][50], 0.7f);

    pars_.toneColor[0] = 0.7f;  // a red tone
    pars_.toneColor[2] = 0.35f;
    ASSERT_EQ(HgBuildToning(&pars_), 0);
    EXPECT_EQ(pars_.toneCurveFor[0], 0.7f);
    ExpectBandedAndIncreasing(pars_.toneCurve[0], "tone red");
    ExpectBandedAndIncreasing(pars_.toneCurve[2], "tone blue");
    EXPECT_GT(Read(pars_.toneCurve[0], 0.5f), 0.53f);  // red raised in the middle
    EXPECT_LT(Read(pars_.toneCurve[2], 0.5f), 0.47f);  // blue lowered
    EXPECT_NEAR(pars_.toneCurve[0][0], 0.0, 0.02);
    EXPECT_NEAR(pars_.toneCurve[2][255], 1.0, 0.02);
    // Back to (0.5, 0.5, 0.5): identity again.
    pars_.toneColor[0] = pars_.toneColor[2] = 0.5f;
    ASSERT_EQ(HgBuildToning(&pars_), 0);
    EXPECT_EQ(pars_.toneCurve[0][128], float(128 / 255.0));
    pars_.toneColor[1] = NAN;
    EXPECT_EQ(HgBuildToning(&pars_), -1);
}

TEST(BalanceFit, FallsBackToLowerDegreesAndKeepsCurvesWhenNothingFits) {
    HgBinPoints pts;
    for (int k = 0; k < kEditBinCount; ++k) {
        for (int c = 0; c < 3; ++c) pts.source[c][k] = pts.target[c][k] = -1;
        pts.count[k] = -1;
    }
    // A zigzag that no degree-5 polynomial follows monotonically.
    const float xs[] = {0.1f, 0.3f, 0.5f, 0.7f, 0.9f}, ys[] = {0.4f, 0.1f, 0.6f, 0.3f, 0.95f};
    for (int i = 0; i < 5; ++i) {
        int k = 2 + 4 * i;
        for (int c = 0; c < 3; ++c) {
            pts.source[c][k] = xs[i];
            pts.target[c][k] = ys[i];
        }
        pts.count[k] = 1;
    }
    HgCompleteBinPoints(&pts);
    for (int k = 0; k < kEditBinCount; ++k) ASSERT_GE(pts.count[k], 0) << k;
    EXPECT_EQ(pts.source[0][0], 0.0f);
    EXPECT_EQ(pts.target[0][19], 1.0f);
    EXPECT_NEAR(pts.source[0][4], 0.2f, 1e-6);  // halfway between bins 2 and 6
    float curve[kEditCurveSize];
    int32_t degree = HgFitBinCurve(&pts, 0, curve);
    EXPECT_TRUE(degree == 0 || (2 <= degree && degree < 5)) << degree;
    EXPECT_TRUE(InBand(curve));
    if (degree > 0) ExpectBandedAndIncreasing(curve, "zigzag");

    // Every source equal: the normal equations are singular at every degree.
    for (int k = 0; k < kEditBinCount; ++k) pts.source[1][k] = 0.5f;
    float kept[kEditCurveSize];
    for (float& v : kept) v = 0.25f;
    EXPECT_EQ(HgFitBinCurve(&pts, 1, kept), 0);
    EXPECT_EQ(kept[100], 0.25f);
    EXPECT_EQ(HgFitBinCurve(&pts, 3, kept), -1);
}

}  // namespace
