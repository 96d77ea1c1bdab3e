// Image measurements: the sampling grid, pixels through a Huegrid, weighted brightness,
// histograms and the hue-histogram curvature and hill mass.
#include "engine/measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include "engine/edit_chain.h"
#include "engine/huegrid_build.h"
#include "tests/engine/chain_test_support.h"

namespace {

using chain_testing::TestImage;
using chain_testing::TestMask;

uint32_t Total(const uint32_t* hist, int n) {
    return std::accumulate(hist, hist + n, 0u);
}

int Luma8(int r, int g, int b) {
    return (299 * r + 587 * g + 114 * b + 500) / 1000;
}

TEST(MeasureGrid, StepsByLevelAndVisitedPixels) {
    EXPECT_EQ(HgSampleStepX(-3), 4);  // levels outside 0..7 are clamped
    EXPECT_EQ(HgSampleStepY(12), 1);
    TestImage<uint8_t> img(10, 11);
    img.Fill(10, 20, 30);
    uint32_t hist[256];
    ASSERT_EQ(HgLumaHistogram(&img.image, nullptr, 7, nullptr, hist), 0);
    EXPECT_EQ(Total(hist, 256), 110u);
    ASSERT_EQ(HgLumaHistogram(&img.image, nullptr, 0, nullptr, hist), 0);
    EXPECT_EQ(Total(hist, 256), 3u * 3u);  // columns 0, 4, 8; rows 0, 5, 10

    // A mask limits the walk to its box and its set bits; the grid starts at the box.
    TestMask m(10, 11);
    for (int y = 2; y <= 6; ++y)
        for (int x = 3; x <= 7; ++x) IPMaskSet(&m.mask, x, y);
    m.bits[4 * m.mask.rowBytes] &= uint8_t(~(1u << 3));  // clear (3, 4)
    ASSERT_EQ(HgLumaHistogram(&img.image, &m.mask, 7, nullptr, hist), 0);
    EXPECT_EQ(Total(hist, 256), 24u);
    ASSERT_EQ(HgLumaHistogram(&img.image, &m.mask, 4, nullptr, hist), 0);
    EXPECT_EQ(Total(hist, 256), 3u * 2u);  // x 3, 5, 7 and y 2, 5

    TestMask wrong(9, 11);
    EXPECT_EQ(HgLumaHistogram(&img.image, &wrong.mask, 7, nullptr, hist), -1);
    EXPECT_EQ(HgLumaHistogram(nullptr, nullptr, 7, nullptr, hist), -1);
}

TEST(MeasureHistograms, KnownColours) {
    TestImage<uint8_t> img(4, 1);
    img.Set(0, 0, 255, 0, 0);      // luma 76, sat 128 c / l: c 255, l 127 -> clipped to 255
    img.Set(1, 0, 200, 100, 100);  // c 100, l 150 -> (12800 + 52) / 105 = 122
    img.Set(2, 0, 50, 200, 50);    // green, hue 120
    img.Set(3, 0, 100, 104, 100);  // near grey: no hue
    uint32_t luma[256], sat[256], hue[360];
    ASSERT_EQ(HgLumaHistogram(&img.image, nullptr, 7, nullptr, luma), 0);
    EXPECT_EQ(luma[76], 1u);
    EXPECT_EQ(luma[Luma8(200, 100, 100)], 1u);
    EXPECT_EQ(luma[Luma8(50, 200, 50)], 1u);
    EXPECT_EQ(Total(luma, 256), 4u);
    ASSERT_EQ(HgSaturationHistogram(&img.image, nullptr, 7, nullptr, sat), 0);
    EXPECT_EQ(sat[255], 1u);
    EXPECT_EQ(sat[122], 1u);
    EXPECT_EQ(sat[(128 * 150 + 62) / 125], 1u);  // green: c 150, l 125
    EXPECT_EQ(sat[(128 * 4 + 51) / 102], 1u);    // near grey still has a saturation
    EXPECT_EQ(Total(sat, 256), 4u);
    ASSERT_EQ(HgHueHistogram(&img.image, nullptr, 7, nullptr, hue), 0);
    EXPECT_TRUE(hue[0] == 2u && hue[120] == 1u && Total(hue, 360) == 3u);

    // Exact greys and very dark or light pixels are left out of the saturation histogram.
    TestImage<uint8_t> grey(3, 1);
    grey.Set(0, 0, 90, 90, 90);
    grey.Set(1, 0, 20, 0, 0);
    grey.Set(2, 0, 255, 220, 240);
    ASSERT_EQ(HgSaturationHistogram(&grey.image, nullptr, 7, nullptr, sat), 0);
    EXPECT_EQ(Total(sat, 256), 0u);
}

TEST(MeasureThroughHuegrid, WalkMatchesSinglePixelsAtBothDepths) {
    // Rows of 70 pixels: wide enough for the row kernels' vector paths. A brightness change
    // alone is a curves transform, with saturation it is a grid; the walk hands 8-bit output
    // to the measurements another way than 16-bit output.
    constexpr int kWidth = 70, kHeight = 9;
    for (const bool grid : {true, false}) {
        SCOPED_TRACE(grid ? "grid" : "curves");
        EditPars pars;
        chain_testing::NeutralPars(&pars);
        pars.brightness = 0.7f;
        if (grid) pars.saturation = 0.65f;
        TestImage<uint8_t> img8(kWidth, kHeight);
        TestImage<uint16_t> img16(kWidth, kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const int r = (x * 19) % 256, g = (y * 27 + x) % 256, b = (x * y * 7) % 256;
                img8.Set(x, y, r, g, b);
                img16.Set(x, y, r * 257, g * 257, b * 257);
            }
        for (int depth = 1; depth <= 2; ++depth) {
            Huegrid* hg = nullptr;
            ASSERT_EQ(HgBuild(&pars, 0xFFFF, 3, depth, &hg), 0);
            const IPImage* image = depth == 1 ? &img8.image : &img16.image;
            for (int level : {0, 3, 7}) {
                uint32_t hist[256], expect[256] = {};
                ASSERT_EQ(HgLumaHistogram(image, nullptr, level, hg, hist), 0);
                for (int y = 0; y < kHeight; y += HgSampleStepY(level))
                    for (int x = 0; x < kWidth; x += HgSampleStepX(level)) {
                        uint16_t v[3];
                        ASSERT_EQ(HgPixelThrough(image, hg, x, y, nullptr, v), 0);
                        const int unit = depth == 1 ? 1 : 257;
                        ++expect[Luma8(v[0] / unit, v[1] / unit, v[2] / unit)];
                    }
                for (int i = 0; i < 256; ++i) ASSERT_EQ(hist[i], expect[i]) << depth << " " << i;
            }
            // The transform is the edit chain: a pixel through it is the evaluated colour.
            float rgb[3], want[3], in[3] = {57 / 255.0f, 30 / 255.0f, 21 / 255.0f};  // (3, 1)
            ASSERT_EQ(HgPixelThrough(image, hg, 3, 1, rgb, nullptr), 0);
            ASSERT_EQ(HgEvalColour(&pars, 0xFFFF, in, want), 0);
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(rgb[c], want[c], 3.0 / 255) << c;
            EXPECT_GT(rgb[0], in[0]);  // brighter
            EXPECT_EQ(HgPixelThrough(image, hg, kWidth, 0, rgb, nullptr), -1);
            // A transform for the other depth cannot read the image.
            const IPImage* other = depth == 1 ? &img16.image : &img8.image;
            EXPECT_EQ(HgPixelThrough(other, hg, 0, 0, rgb, nullptr), -1);
            HgFree(hg);
        }
    }
}

TEST(MeasureWeightedBrightness, GreysAndThinRegionsWeighNothing) {
    TestImage<uint8_t> img(40, 30);
    img.Fill(200, 200, 200);
    img.Set(20, 15, 205, 200, 197);  // chroma 8: still grey
    TestMask subject(40, 30);
    IPMaskSet(&subject.mask, 3, 3);  // stale content must be cleared
    float v = 0;
    ASSERT_EQ(HgWeightedBrightness(&img.image, nullptr, 7, nullptr, &v, &subject.mask), 0);
    EXPECT_EQ(v, 0.5f);
    EXPECT_TRUE(subject.mask.right == -1 && subject.mask.left == 41);
    for (uint8_t b : subject.bits) ASSERT_EQ(b, 0);
    // A region one pixel high has no middle: every pixel is on its border.
    TestImage<uint8_t> line(50, 1);
    line.Fill(180, 90, 40);
    ASSERT_EQ(HgWeightedBrightness(&line.image, nullptr, 7, nullptr, &v, nullptr), 0);
    EXPECT_EQ(v, 0.5f);
    EXPECT_EQ(HgWeightedBrightness(&line.image, nullptr, 7, nullptr, nullptr, nullptr), -1);
}

TEST(MeasureWeightedBrightness, ColouredImageAndCentreWeighting) {
    // One moderate colour everywhere: the brightness is its luma.
    TestImage<uint8_t> img(41, 41);
    img.Fill(150, 100, 50);
    TestMask subject(41, 41);
    float v = 0;
    ASSERT_EQ(HgWeightedBrightness(&img.image, nullptr, 7, nullptr, &v, &subject.mask), 0);
    EXPECT_NEAR(v, Luma8(150, 100, 50) / 255.0, 0.004);
    // The subject is the middle of the picture, not its border, and symmetric.
    EXPECT_TRUE(IPMaskBit(&subject.mask, 20, 20));
    EXPECT_FALSE(IPMaskBit(&subject.mask, 0, 20) || IPMaskBit(&subject.mask, 20, 40));
    EXPECT_TRUE(subject.mask.left > 0 && subject.mask.right < 40);
    EXPECT_EQ(subject.mask.left, 40 - subject.mask.right);
    // A 16-bit copy measures the same.
    TestImage<uint16_t> img16(41, 41);
    img16.Fill(150 * 257, 100 * 257, 50 * 257);
    float v16 = 0;
    ASSERT_EQ(HgWeightedBrightness(&img16.image, nullptr, 7, nullptr, &v16, nullptr), 0);
    EXPECT_EQ(v16, v);

    // Bright centre, dark frame of the same chroma: the centre covers a quarter of the area but
    // most of the weight.
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 41; ++x) {
            const bool centre = std::abs(x - 20) <= 10 && std::abs(y - 20) <= 10;
            img.Set(x, y, centre ? 230 : 110, centre ? 180 : 60, centre ? 130 : 10);
        }
    const double bright = Luma8(230, 180, 130) / 255.0, dark = Luma8(110, 60, 10) / 255.0;
    ASSERT_EQ(HgWeightedBrightness(&img.image, nullptr, 7, nullptr, &v, nullptr), 0);
    EXPECT_GT(v, 0.5 * (bright + dark));
    EXPECT_LT(v, bright);
    // Within a region mask only the marked pixels count, and its box sets the border.
    TestMask region(41, 41);
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 9; ++x) IPMaskSet(&region.mask, x, y);
    ASSERT_EQ(HgWeightedBrightness(&img.image, &region.mask, 7, nullptr, &v, nullptr), 0);
    EXPECT_NEAR(v, dark, 0.004);
}

TEST(MeasureHueHistogram, CurvatureAndHillMass) {
    int32_t h[360], c[360];
    std::iota(h, h + 360, 0);
    ASSERT_EQ(HgHueCurvature(h, c), 0);
    for (int i = 1; i < 359; ++i) ASSERT_EQ(c[i], 0) << i;
    EXPECT_TRUE(c[0] == 360 && c[359] == -360);

    // Two peaks, one across the wrap: curvature minima at the peaks, bumps beside them.
    std::memset(h, 0, sizeof h);
    h[100] = 10, h[359] = 4, h[0] = 6, h[1] = 4;
    ASSERT_EQ(HgHueCurvature(h, c), 0);
    EXPECT_TRUE(c[100] == -20 && c[99] == 10 && c[101] == 10);
    EXPECT_TRUE(c[0] == -4 && c[359] == 6 - 8 + 0 && c[358] == 4);
    EXPECT_EQ(HgHueCurvature(nullptr, c), -1);

    // Hill mass: the valley bin where the next one rises is not counted.
    std::memset(h, 0, sizeof h);
    h[10] = 1, h[11] = 3, h[12] = 5, h[13] = 2, h[14] = 4;
    int64_t mass = 0;
    ASSERT_EQ(HgHueHillMass(h, 12, &mass), 0);
    EXPECT_EQ(mass, 9);
    ASSERT_EQ(HgHueHillMass(h, 14, &mass), 0);
    EXPECT_EQ(mass, 4 + 0);  // 13 is the valley on the left; zeros to the right up to bin 9
    // A flat histogram counts every bin once.
    std::fill(h, h + 360, 1);
    ASSERT_EQ(HgHueHillMass(h, 200, &mass), 0);
    EXPECT_EQ(mass, 360);
    EXPECT_EQ(HgHueHillMass(h, 360, &mass), -1);
}

}  // namespace
