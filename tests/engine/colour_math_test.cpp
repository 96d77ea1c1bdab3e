// Colour conversions against published values (CIE daylight locus, Lindbloom's matrices) and
// round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/colour_math.h"

namespace {

const float kD65[3] = {0.95047f, 1.0f, 1.08883f};
const float kD50[3] = {0.96422f, 1.0f, 0.82521f};

TEST(ColourMath, DaylightWhitesLieOnTheLocus) {
    // D50, D65 and D75 (the branch above 7000 K).
    const double cases[][3] = {
        {5000, 0.3457, 0.3587}, {6500, 0.3128, 0.3292}, {7504, 0.29902, 0.31485}};
    for (const auto& k : cases) {
        float w[3];
        ASSERT_EQ(HgWhiteFromTemperature(float(k[0]), w), 0);
        EXPECT_NEAR(w[0], k[1], 2e-4) << k[0];
        EXPECT_NEAR(w[1], k[2], 2e-4) << k[0];
        EXPECT_EQ(w[2], 1.0f);
    }
}

TEST(ColourMath, OutOfRangeValuesFollowTheRangeModeAndTablesInterpolate) {
    float clamped[3], edge[3];
    HgWhiteFromTemperature(4000, edge);
    ASSERT_EQ(HgWhiteFromTemperature(2000, clamped), 0);
    EXPECT_EQ(clamped[0], edge[0]);
    HgSetOutOfRangeMode(kHgRangeRefuse);
    EXPECT_EQ(HgWhiteFromTemperature(2000, clamped), -2);
    float table[3] = {0, 1, 4}, v;
    EXPECT_EQ(HgInterpolateTable(1.5f, table, 3, &v), -1);
    HgSetOutOfRangeMode(kHgRangePass);
    ASSERT_EQ(HgInterpolateTable(1.5f, table, 3, &v), 0);
    EXPECT_FLOAT_EQ(v, 7.0f);  // the last segment extended
    HgSetOutOfRangeMode(kHgRangeClamp);
    EXPECT_EQ(HgWhiteFromTemperature(NAN, clamped), -1);

    float five[5] = {0, 0.1f, 0.5f, 0.6f, 1.0f};
    ASSERT_EQ(HgInterpolateTable(0.375f, five, 5, &v), 0);  // halfway between entries 1 and 2
    EXPECT_FLOAT_EQ(v, 0.3f);
    ASSERT_EQ(HgInterpolateTable(1.0f, five, 5, &v), 0);
    EXPECT_FLOAT_EQ(v, 1.0f);
    ASSERT_EQ(HgInterpolateTable(-3.0f, five, 5, &v), 0);
    EXPECT_FLOAT_EQ(v, 0.0f);
    EXPECT_EQ(HgInterpolateTable(0.5f, five, 1, &v), -1);
    EXPECT_EQ(HgInterpolateTable(NAN, five, 5, &v), -1);
}

TEST(ColourMath, SrgbMatrixMatchesPublishedValues) {
    const float primaries[6] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
    const double expected[9] = {0.4124564, 0.3575761, 0.1804375, 0.2126729, 0.7151522,
                                0.0721750, 0.0193339, 0.1191920, 0.9503041};
    float m[9], inv[9];
    ASSERT_EQ(HgRgbToXyzMatrix(primaries, kD65, m), 0);
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(m[i], expected[i], 2e-4) << i;
    ASSERT_EQ(HgXyzToRgbMatrix(primaries, kD65, inv), 0);
    EXPECT_NEAR(inv[0], 3.2404542, 2e-3);
    EXPECT_NEAR(inv[4], 1.8760108, 2e-3);
    float one[3] = {1, 1, 1}, xyz[3];
    HgMatrix3Apply(m, one, xyz);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(xyz[i], kD65[i], 1e-5);
    const float degenerate[6] = {0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f};
    EXPECT_EQ(HgRgbToXyzMatrix(degenerate, kD65, m), -1);
    const float flat[6] = {0.64f, 0.0f, 0.30f, 0.60f, 0.15f, 0.06f};
    EXPECT_EQ(HgRgbToXyzMatrix(flat, kD65, m), -1);
}

TEST(ColourMath, BradfordTakesOneWhiteToTheOther) {
    float out[3];
    for (int32_t method : {kHgAdaptScaling, kHgAdaptBradford, kHgAdaptVonKries}) {
        ASSERT_EQ(HgAdaptWhite(kD65, kD65, kD50, method, out), 0);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], kD50[i], 1e-5) << method;
    }
    // A colour other than the white: Lindbloom's Bradford D65 -> D50 matrix applied to (1, 0, 0).
    const float red[3] = {1, 0, 0};
    ASSERT_EQ(HgAdaptWhite(red, kD65, kD50, kHgAdaptBradford, out), 0);
    EXPECT_NEAR(out[0], 1.0478112, 1e-4);
    EXPECT_NEAR(out[1], 0.0295424, 1e-4);
    EXPECT_NEAR(out[2], -0.0092345, 1e-4);
    EXPECT_EQ(HgAdaptWhite(red, kD65, kD50, 3, out), -1);
}

TEST(ColourMath, LabOfKnownColoursAndRoundTrips) {
    float lab[3], xyz[3];
    ASSERT_EQ(HgXyzToLab(kD65, kD65, lab), 0);
    EXPECT_NEAR(lab[0], 100, 1e-4);
    EXPECT_NEAR(lab[1], 0, 1e-4);
    const float red[3] = {0.4124564f, 0.2126729f, 0.0193339f};
    ASSERT_EQ(HgXyzToLab(red, kD65, lab), 0);
    EXPECT_NEAR(lab[0], 53.2408, 2e-3);
    EXPECT_NEAR(lab[1], 80.0925, 2e-3);
    EXPECT_NEAR(lab[2], 67.2032, 2e-3);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < 500; ++i) {
        float in[3] = {unit(rng) * 0.95f, unit(rng), unit(rng) * 1.08f};
        if (i % 5 == 0) in[1] = unit(rng) * 0.008f;  // the linear segment near black
        HgXyzToLab(in, kD65, lab);
        HgLabToXyz(lab, kD65, xyz);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(xyz[k], in[k], 2e-5);
        float lch[3], back[3];
        HgLabToLch(lab, lch);
        EXPECT_TRUE(0 <= lch[2] && lch[2] < 360);
        HgLchToLab(lch, back);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], lab[k], 2e-3);
    }
    // A tinted balance target at L = 0 must not come out as a colour below black.
    const float dark[3] = {0.0f, 20.0f, -30.0f};
    float black[3] = {1, 1, 1};
    ASSERT_EQ(HgLabToXyz(dark, kD50, black), 0);
    EXPECT_TRUE(black[0] == 0.0f && black[2] == 0.0f);
}

TEST(ColourMath, HueAnglesWrapAndQuarterTurnsAreExact) {
    float lab[3], lch[3];
    const float up[3] = {50, 30, 90 - 360 * 2}, down[3] = {50, 30, 270};
    ASSERT_EQ(HgLchToLab(up, lab), 0);
    EXPECT_TRUE(lab[1] == 0.0f && lab[2] == 30.0f);
    HgLchToLab(down, lab);
    EXPECT_TRUE(lab[1] == 0.0f && lab[2] == -30.0f);
    const float grey[3] = {40, 1e-7f, -1e-7f}, negative[3] = {40, 0, -10};
    HgLabToLch(grey, lch);
    EXPECT_EQ(lch[2], 0.0f);
    HgLabToLch(negative, lch);
    EXPECT_NEAR(lch[2], 270, 1e-4);
}

TEST(ColourMath, ChromaticityConversionsRefuseWhatHasNoChromaticity) {
    const float xyY[3] = {0.3457f, 0.3585f, 1.0f}, tiny[3] = {0.3f, 1e-11f, 1.0f};
    const float black[3] = {0, 0, 0};
    float xyz[3], xy[2];
    ASSERT_EQ(HgXyToXyz(xyY, xyz), 0);
    ASSERT_EQ(HgXyzToXy(xyz, xy), 0);
    EXPECT_NEAR(xy[0], 0.3457, 1e-6);
    HgXyToXyz(tiny, xyz);
    EXPECT_EQ(xyz[0], 0.0f);
    EXPECT_EQ(HgXyzToXy(black, xy), -1);
    EXPECT_EQ(HgXyToXyz(nullptr, xyz), -1);
}

}  // namespace
