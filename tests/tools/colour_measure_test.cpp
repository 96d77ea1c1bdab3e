// The colour measurements of the demo and evaluation tools against published values: CIEDE2000
// against the test pairs of Sharma, Wu and Dalal (2005), CIELAB of the sRGB primaries against
// the usual published values, and the whole-image means on images whose answer is known.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/demo/ciede2000.h"
#include "tools/demo/image_metrics.h"
#include "tools/demo/srgb_lab.h"

namespace {

struct Pair {
    Lab first, second;
    double de;
};

// From the paper's table of test data: pairs chosen to exercise each branch of the formula.
constexpr Pair kSharmaPairs[] = {
    // the same lightness, hue near 270 (the rotation term RT is largest there)
    {{50.0000, 2.6772, -79.7751}, {50.0000, 0.0000, -82.7485}, 2.0425},
    {{50.0000, 3.1571, -77.2803}, {50.0000, 0.0000, -82.7485}, 2.8615},
    {{50.0000, -1.3802, -84.2814}, {50.0000, 0.0000, -82.7485}, 1.0000},
    // one colour neutral: the hue difference and mean hue take their special values
    {{50.0000, 0.0000, 0.0000}, {50.0000, -1.0000, 2.0000}, 2.3669},
    {{50.0000, -1.0000, 2.0000}, {50.0000, 0.0000, 0.0000}, 2.3669},
    // hues about 180 degrees apart: the mean hue wraps on one side or the other of 360
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0009}, 7.1792},
    {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0011}, 7.2195},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0009, -2.4900}, 4.8045},
    {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0011, -2.4900}, 4.7461},
    // large differences
    {{50.0000, 2.5000, 0.0000}, {73.0000, 25.0000, -18.0000}, 27.1492},
    {{50.0000, 2.5000, 0.0000}, {56.0000, -27.0000, -3.0000}, 31.9030},
    // small differences of real colours, light and very dark
    {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
    {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
    {{90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441},
    {{2.0776, 0.0795, -1.1350}, {0.9033, -0.0636, -0.5514}, 0.9082},
};

TEST(Ciede2000, MatchesThePublishedTestPairsInBothOrders) {
    for (const Pair& p : kSharmaPairs) {
        SCOPED_TRACE(testing::Message()
                     << p.first.L << " " << p.first.a << " " << p.first.b << " / " << p.second.L
                     << " " << p.second.a << " " << p.second.b);
        EXPECT_NEAR(Ciede2000(p.first, p.second), p.de, 5e-5);
        EXPECT_NEAR(Ciede2000(p.second, p.first), p.de, 5e-5);
    }
    const Lab same{41.5, -12.25, 30.0};
    EXPECT_EQ(Ciede2000(same, same), 0.0);
}

TEST(SrgbLab, PrimariesWhiteAndGreysHaveTheirPublishedValues) {
    const struct {
        double r, g, b;
        Lab lab;
    } known[] = {
        {1, 0, 0, {53.2408, 80.0925, 67.2032}},
        {0, 1, 0, {87.7347, -86.1827, 83.1793}},
        {0, 0, 1, {32.2970, 79.1875, -107.8602}},
        {1, 1, 1, {100, 0, 0}},
        {0, 0, 0, {0, 0, 0}},
    };
    for (const auto& k : known) {
        Lab lab = SrgbToLab(k.r, k.g, k.b);
        EXPECT_NEAR(lab.L, k.lab.L, 0.01) << k.r << k.g << k.b;
        EXPECT_NEAR(lab.a, k.lab.a, 0.02) << k.r << k.g << k.b;
        EXPECT_NEAR(lab.b, k.lab.b, 0.02) << k.r << k.g << k.b;
    }
    // Every 8-bit grey is neutral; the grey half way up the encoded scale has L* 53.39.
    for (int v = 0; v <= 255; ++v) {
        EXPECT_LT(ChromaAb(SrgbToLab(v / 255.0, v / 255.0, v / 255.0)), 1e-3) << v;
    }
    EXPECT_NEAR(SrgbToLab(0.5, 0.5, 0.5).L, 53.39, 0.01);
    // The transfer curve is continuous at its joint and inverts (the standard's two thresholds,
    // 0.04045 and 0.0031308, disagree by a hair, hence not to the last bit).
    for (double v : {0.0, 0.01, 0.04045, 0.0405, 0.2, 0.5, 1.0}) {
        EXPECT_NEAR(LinearToSrgb(SrgbToLinear(v)), v, 1e-7) << v;
    }
    EXPECT_NEAR(SrgbToLinear(0.04045), 0.04045 / 12.92, 1e-7);
    EXPECT_NEAR(SrgbToLinear(0.04046), 0.04046 / 12.92, 1e-7);
}

TEST(ImageMetrics, MeansCoverTheChosenPixelsAndRefuseOthers) {
    Image a;
    a.width = 2;
    a.height = 1;
    a.channels = 3;
    a.samples = {128, 128, 128, 255, 0, 0};  // grey, red
    Image b = a;
    b.samples[3] = 128, b.samples[4] = 128, b.samples[5] = 128;  // grey, grey
    double mean = -1;
    std::string error;
    ASSERT_TRUE(MeanChroma(a, {0}, &mean, &error));
    EXPECT_NEAR(mean, 0, 1e-3);
    const double red = ChromaAb(SrgbToLab(1, 0, 0));
    ASSERT_TRUE(MeanChroma(a, {}, &mean, &error));
    EXPECT_NEAR(mean, red / 2, 1e-9);

    // A 16-bit copy measures the same as the 8-bit image it was scaled from.
    Image wide = a;
    wide.depth = 16;
    for (uint16_t& s : wide.samples) s = uint16_t(s * 257);
    ASSERT_TRUE(MeanCiede2000(a, wide, {}, &mean, &error));
    EXPECT_NEAR(mean, 0, 1e-9);
    ASSERT_TRUE(MeanCiede2000(a, b, {1}, &mean, &error));
    EXPECT_NEAR(mean,
                Ciede2000(SrgbToLab(1, 0, 0), SrgbToLab(128 / 255.0, 128 / 255.0, 128 / 255.0)),
                1e-9);

    EXPECT_FALSE(MeanChroma(a, {2}, &mean, &error));
    b.width = 1;
    b.samples.resize(3);
    EXPECT_FALSE(MeanCiede2000(a, b, {}, &mean, &error));
}

}  // namespace
