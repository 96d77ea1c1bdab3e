// Grey pixels: the measure is the same with and without a gain cast, a surface whose channels
// vary by different ratios is no grey, and clipped, dark or flat pixels have no measure.
#include "engine/measure_grey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/engine/chain_test_support.h"

namespace {

using chain_testing::TestImage;

// A textured card: a grey of level 60..200 varying over the picture (a diagonal ripple, so that
// every pixel has contrast), each channel multiplied by its gain and rounded.
TestImage<uint8_t> TexturedCard(int w, int h, const double gain[3]) {
    TestImage<uint8_t> img(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double v = 130.0 + 70.0 * std::sin(0.35 * x + 0.2 * y);
            int c[3];
            for (int k = 0; k < 3; ++k) c[k] = int(std::lround(std::fmin(254.0, v * gain[k])));
            img.Set(x, y, c[0], c[1], c[2]);
        }
    }
    return img;
}

struct Visited {
    std::vector<int> xs, ys;
    double chroma[2] = {0, 0};
};

void Collect(void* context, int32_t x, int32_t y, const int32_t[3], const float chroma[2]) {
    auto* v = static_cast<Visited*>(context);
    v->xs.push_back(x);
    v->ys.push_back(y);
    v->chroma[0] += chroma[0];
    v->chroma[1] += chroma[1];
}

TEST(GreyPixels, AGreyCardUnderAGainCastIsTheSamePixelsAtTheCastsColour) {
    const double none[3] = {1.0, 1.0, 1.0}, warm[3] = {1.2, 1.0, 0.75};
    TestImage<uint8_t> plain = TexturedCard(40, 30, none), cast = TexturedCard(40, 30, warm);
    Visited a, b;
    uint32_t judgedA = 0, judgedB = 0;
    ASSERT_EQ(HgWalkGreyPixels(&plain.image, nullptr, 7, nullptr, Collect, &a, &judgedA), 0);
    ASSERT_EQ(HgWalkGreyPixels(&cast.image, nullptr, 7, nullptr, Collect, &b, &judgedB), 0);
    // Nearly every pixel of the walk's grid (kHgGreyReach apart) with its neighbours inside the
    // card is a grey pixel, in both.
    const size_t inside = size_t(40 - 2 * kHgGreyReach) * size_t(30 - 2 * kHgGreyReach) /
                          size_t(kHgGreyReach * kHgGreyReach);
    EXPECT_GT(a.xs.size(), inside * 8 / 10);
    EXPECT_GT(judgedA, 0u);
    // The cast changes which pixels are grey pixels only where rounding tips a ratio.
    EXPECT_NEAR(double(b.xs.size()), double(a.xs.size()), 0.05 * double(a.xs.size()));
    // Their colour is the cast's: ln(1.2) and ln(0.75) from the plain card's 0.
    const double n = double(b.xs.size());
    EXPECT_NEAR(a.chroma[0] / double(a.xs.size()), 0.0, 0.01);
    EXPECT_NEAR(b.chroma[0] / n, std::log(1.2), 0.02);
    EXPECT_NEAR(b.chroma[1] / n, std::log(0.75), 0.02);
}

TEST(GreyPixels, ChannelsVaryingByDifferentRatiosAreNoGrey) {
    // A saturated orange whose green carries the texture while red stays put: the channels'
    // contrasts differ, as they do on a coloured material, so no pixel is grey, though every pixel
    // has contrast.
    TestImage<uint8_t> img(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            img.Set(x, y, 230, int(std::lround(100 + 40 * std::sin(0.35 * x + 0.2 * y))), 30);
    Visited v;
    uint32_t judged = 0;
    ASSERT_EQ(HgWalkGreyPixels(&img.image, nullptr, 7, nullptr, Collect, &v, &judged), 0);
    // Most of the 18 x 13 points of the walk's grid inside the border.
    EXPECT_GT(judged, 18u * 13u / 2u);
    EXPECT_EQ(v.xs.size(), 0u);
}

TEST(GreyPixels, ClippedDarkFlatAndBorderPixelsHaveNoMeasure) {
    TestImage<uint8_t> img(12, 12);
    img.Fill(120, 120, 120);
    HgGreyMeasure m;
    const auto* codes = reinterpret_cast<const uint8_t*>(img.data.data());
    // Flat: a measure, with no contrast, so no grey pixel.
    ASSERT_TRUE(HgGreyMeasureAt(codes, 12, 12, 6, 6, &m));
    EXPECT_EQ(m.contrast, 0.0f);
    EXPECT_FALSE(HgIsGreyPixel(m));
    // The border, where a neighbour kHgGreyReach away is missing.
    EXPECT_FALSE(HgGreyMeasureAt(codes, 12, 12, kHgGreyReach - 1, 6, &m));
    EXPECT_FALSE(HgGreyMeasureAt(codes, 12, 12, 6, 12 - kHgGreyReach, &m));
    // A neighbour with a channel at full scale, or below the darkest usable code.
    img.Set(6 + kHgGreyReach, 6, 255, 200, 200);
    EXPECT_FALSE(HgGreyMeasureAt(codes, 12, 12, 6, 6, &m));
    img.Set(6 + kHgGreyReach, 6, 120, 120, 120);
    img.Set(6, 6 - kHgGreyReach, 60, 60, kHgGreyDarkest - 1);
    EXPECT_FALSE(HgGreyMeasureAt(codes, 12, 12, 6, 6, &m));
    img.Set(6, 6 - kHgGreyReach, 60, 60, 60);
    ASSERT_TRUE(HgGreyMeasureAt(codes, 12, 12, 6, 6, &m));
    EXPECT_TRUE(HgIsGreyPixel(m));  // one darker grey neighbour: contrast, equal in every channel
}

TEST(GreyPixels, TheWalkFindsWhatTheMeasureFindsOnTheWholeImage) {
    // An odd size, so that the last row and column of the walk's grid are the image's own: a
    // grey card under a cast on the left, a coloured cloth (only green varies) on the right.
    const double warm[3] = {1.2, 1.0, 0.75};
    TestImage<uint8_t> img = TexturedCard(41, 31, warm);
    for (int y = 0; y < 31; ++y)
        for (int x = 24; x < 41; ++x)
            img.Set(x, y, 230, int(std::lround(100 + 40 * std::sin(0.35 * x + 0.2 * y))), 30);
    const auto* codes = reinterpret_cast<const uint8_t*>(img.data.data());
    std::vector<int> xs, ys;
    uint32_t judged = 0;
    for (int y = 0; y < 31; y += kHgGreyReach) {
        for (int x = 0; x < 41; x += kHgGreyReach) {
            HgGreyMeasure m;
            if (!HgGreyMeasureAt(codes, 41, 31, x, y, &m) || m.contrast < kHgGreyMinContrast)
                continue;
            ++judged;
            if (HgIsGreyPixel(m)) xs.push_back(x), ys.push_back(y);
        }
    }
    Visited v;
    uint32_t walked = 0;
    ASSERT_EQ(HgWalkGreyPixels(&img.image, nullptr, 7, nullptr, Collect, &v, &walked), 0);
    ASSERT_GT(xs.size(), 50u);
    EXPECT_LT(xs.size(), size_t(judged));
    EXPECT_EQ(walked, judged);
    EXPECT_EQ(v.xs, xs);
    EXPECT_EQ(v.ys, ys);
}

TEST(GreyPixels, TheWalkFollowsTheSamplingGridAndTheMask) {
    const double none[3] = {1.0, 1.0, 1.0};
    TestImage<uint8_t> img = TexturedCard(40, 30, none);
    chain_testing::TestMask mask(40, 30);
    for (int x = 20; x <= 23; ++x) IPMaskSet(&mask.mask, x, 14);
    Visited v;
    ASSERT_EQ(HgWalkGreyPixels(&img.image, &mask.mask, 7, nullptr, Collect, &v, nullptr), 0);
    // The finest level still walks a grid kHgGreyReach apart: of the four marked pixels, the two
    // on it.
    ASSERT_EQ(v.xs.size(), 2u);
    for (size_t i = 0; i < v.xs.size(); ++i) {
        EXPECT_EQ(v.ys[i], 14);
        EXPECT_EQ(v.xs[i], 20 + 2 * int(i));
    }
    Visited coarse;
    ASSERT_EQ(HgWalkGreyPixels(&img.image, nullptr, 0, nullptr, Collect, &coarse, nullptr), 0);
    // The coarsest level's steps (4 and 5) on the even grid: 4 and 4, never coarser.
    const int stepX = 2 * HgEvenStepX(0), stepY = 2 * HgEvenStepY(0);
    EXPECT_EQ(stepX, HgSampleStepX(0));
    EXPECT_LE(stepY, HgSampleStepY(0));
    ASSERT_FALSE(coarse.xs.empty());
    for (size_t i = 0; i < coarse.xs.size(); ++i) {
        EXPECT_EQ(coarse.xs[i] % stepX, 0);
        EXPECT_EQ(coarse.ys[i] % stepY, 0);
    }
    EXPECT_EQ(HgWalkGreyPixels(nullptr, nullptr, 7, nullptr, Collect, &v, nullptr), -1);
    EXPECT_EQ(HgWalkGreyPixels(&img.image, nullptr, 7, nullptr, nullptr, &v, nullptr), -1);
}

}  // namespace
