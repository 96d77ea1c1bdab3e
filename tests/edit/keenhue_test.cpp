// The automatic settings on constructed images whose right answer is known: the tails and the
// smoothstep of the tone points, the median that detects linear data, the bisection of the
// brightness, the saturation percentile, neutral samples from the ends of a cast image, the
// hue peaks and the spreading of the remaining handles, and the failures.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "edit/edit_state.h"
#include "edit/hue_peaks.h"
#include "edit/keenhue.h"
#include "edit/neutral_target.h"
#include "engine/edit_chain.h"
#include "engine/hue_space.h"
#include "tests/edit/edit_test_support.h"

namespace {

// How far a colour is from grey: its largest component less its smallest.
float Spread(const float rgb[3]) {
    return std::max({rgb[0], rgb[1], rgb[2]}) - std::min({rgb[0], rgb[1], rgb[2]});
}

using TestImage = edit_testing::Rgb8Image;

double Smooth(double x) {
    return (3.0 - 2.0 * x) * x * x;
}

// A grey-pixel evidence no image reaches: the ends of the image stand alone.
constexpr float kEndsAlone = 2.0f;

class KeenhueTest : public edit_testing::KeenhueTestBase {
   protected:
    void SetUp() override {
        KeenhueTestBase::SetUp();
        // The rules these tests check are the image's ends and the tone steps at full strength:
        // the grey pixels and the confidence have tests of their own (keenhue_grey_test.cpp), and
        // the built-in share of the tone steps is checked once below.
        KhSetBalanceTuning({kEndsAlone, KhBuiltInTuning().dominanceLow, 1.0f, 1.0f});
    }
    EditPars& Pars() { return es_->editPars; }
    int32_t Auto(int32_t mask, const TestImage& image) {
        return AutoSettings(es_.get(), mask, &image.view);
    }
};

// A horizontal grey ramp 0..255, each code in one column, `rows` rows high.
TestImage GreyRamp(int32_t rows) {
    TestImage image(256, rows);
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < 256; ++x) image.Set(x, y, x, x, x);
    return image;
}

TEST_F(KeenhueTest, TonePointsFollowTheTailsThroughTheSmoothstep) {
    // A ramp of 256 x 8 pixels, with the darkest 40 and lightest 30 columns moved into a
    // narrower range, so the two tails fall on known bins.
    TestImage image = GreyRamp(8);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 40; ++x) image.Set(x, y, 20, 20, 20);
        for (int32_t x = 226; x < 256; ++x) image.Set(x, y, 230, 230, 230);
    }
    ASSERT_EQ(Auto(kEditBlackPoint | kEditGrayPoint | kEditWhitePoint, image), 0);
    // N = 2048, tail round(4.096) = 4: bins 0..20 are taken from below (bin 20 holds 320
    // pixels), bins 255..230 from above.
    const double xb = 21 / 255.0, xw = (255 - 26) / 255.0;
    const double sb = Smooth(xb), sw = Smooth(xw);
    const double black = xb + (xw - xb) * (0 - sb) / (sw - sb);
    const double white = xb + (xw - xb) * (1 - sb) / (sw - sb);
    EXPECT_NEAR(Pars().blackPoint, black, 1e-6);
    EXPECT_NEAR(Pars().whitePoint, white, 1e-6);
    // Grey point: the middle of the counts between the points, relative to them.
    int p = int(float(black) * 255.0f), q = int(float(white) * 255.0f);
    std::vector<int> hist(256, 0);
    for (int x = 0; x < 256; ++x) hist[x < 40 ? 20 : (x >= 226 ? 230 : x)] += 8;
    int inside = 0;
    for (int i = p; i <= q; ++i) inside += hist[i];
    int g = p, running = 0;
    for (; g <= q; ++g) {
        running += hist[g];
        if (running >= (inside + 1) / 2) break;
    }
    const double gray = ((g / 255.0 - black) / (white - black) + 0.5) * 0.5;
    EXPECT_NEAR(Pars().grayPoint, gray, 1e-5);
}

TEST_F(KeenhueTest, TooFewPixelsLeaveTheFullRangeAndOneToneLeavesThePointsAlone) {
    // 200 pixels: the tail count rounds to 0, so nothing is clipped.
    TestImage small(20, 10);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 20; ++x) small.Set(x, y, 60 + x, 60 + x, 60 + x);
    ASSERT_EQ(Auto(kEditBlackPoint | kEditWhitePoint, small), 0);
    EXPECT_EQ(Pars().blackPoint, 0.0f);
    EXPECT_EQ(Pars().whitePoint, 1.0f);

    // A flat grey: the tails cross, and the points must not be inverted.
    TestImage flat(64, 64);
    flat.Fill(128, 128, 128);
    ASSERT_EQ(Auto(kEditBlackPoint | kEditGrayPoint | kEditWhitePoint, flat), 0);
    EXPECT_EQ(Pars().blackPoint, 0.0f);
    EXPECT_EQ(Pars().whitePoint, 1.0f);
    EXPECT_FALSE(std::isnan(Pars().grayPoint));
    EXPECT_EQ(HgCheckPars(&Pars()), 0);
}

TEST_F(KeenhueTest, LinearDataIsRecognisedByItsMedianOn16BitImagesOnly) {
    es_->bitsPerChannel = 16;
    TestImage dark(32, 32);
    dark.Fill(0, 0, 0);  // median bin 0 counts as 1: gamma 0.3, linear
    ASSERT_EQ(Auto(kEditLinear, dark), 0);
    EXPECT_EQ(Pars().linear, 1);
    TestImage white(32, 32);
    white.Fill(255, 255, 255);  // median 255 counts as 254: a huge gamma, not linear
    ASSERT_EQ(Auto(kEditLinear, white), 0);
    EXPECT_EQ(Pars().linear, 0);
    // The boundary: median 69 reads as gamma 1.2996 (linear), 70 as 1.3355 (not).
    TestImage grey(32, 32);
    grey.Fill(69, 69, 69);
    ASSERT_EQ(Auto(kEditLinear, grey), 0);
    EXPECT_EQ(Pars().linear, 1);
    grey.Fill(70, 70, 70);
    ASSERT_EQ(Auto(kEditLinear, grey), 0);
    EXPECT_EQ(Pars().linear, 0);
    // 8-bit images never get linear data.
    es_->bitsPerChannel = 8;
    ASSERT_EQ(Auto(kEditLinear, dark), 0);
    EXPECT_EQ(Pars().linear, 0);
}

TEST_F(KeenhueTest, StepsWithoutEnoughPixelsLeaveTheirSettingsAlone) {
    // A selection of two pixels that the sampling grid of level 0 (every fourth pixel of every
    // fifth row, from the selection's corner) misses: no pixel is measured, which says nothing
    // about linear data.
    es_->bitsPerChannel = 16;
    es_->gridLevel = 0;
    TestImage image(32, 32);
    image.Fill(10, 10, 10);  // dark enough to read as linear if it were measured
    std::vector<uint8_t> bits(size_t(4) * 32, 0);
    es_->analysisMask = IPMask{32, 32, 4, bits.data(), 0, 0, 0, 0};
    IPMaskClear(&es_->analysisMask);
    IPMaskSet(&es_->analysisMask, 1, 2);
    IPMaskSet(&es_->analysisMask, 2, 1);
    for (uint8_t before : {0, 1}) {
        Pars().linear = before;
        ASSERT_EQ(KhLinear(es_.get(), &image.view), 0);
        EXPECT_EQ(Pars().linear, before);
    }
    es_->analysisMask = IPMask{};

    // 100 colourful pixels: the saturation tail rounds to no pixel, which is no evidence for
    // the largest boost; the setting stays unchanged.
    TestImage few(10, 10);
    few.Fill(148, 128, 108);
    es_->gridLevel = 7;
    es_->preferredSaturation = 0.8f;
    ASSERT_EQ(Auto(kEditSaturation, few), 0);
    EXPECT_EQ(Pars().saturation, 0.5f);
}

// A colourful image of one luma: the weighted brightness is that luma.
TestImage Colourful(int32_t luma) {
    TestImage image(64, 64);
    // Chroma 40 around the luma keeps every pixel's weight in the middle of the chroma range.
    int r = luma + 20, g = luma, b = luma - 20;
    image.Fill(r, g, b);
    return image;
}

TEST_F(KeenhueTest, BrightnessInRangeStaysAndOutOfRangeIsBisectedToTheNearerLimit) {
    TestImage mid = Colourful(128);
    ASSERT_EQ(Auto(kEditBrightness, mid), 0);
    EXPECT_EQ(Pars().brightness, 0.5f);

    // (116, 96, 76) has luma 100, a little below the range: the bisection finds the setting that
    // lifts it to 0.4; the weights round the sums a little, hence the tolerance.
    TestImage dim = Colourful(96);
    ASSERT_EQ(Auto(kEditBrightness, dim), 0);
    EXPECT_GT(Pars().brightness, 0.5f);
    EXPECT_NEAR(HgBias(100.0f / 255.0f, Pars().brightness), 0.4f, 0.01f);

    // Far outside the range ((70, 50, 30), luma 54; (220, 200, 180), luma 204) the setting is held
    // to 0.4 .. 0.6, with or without the contrast step: no Keenhue mask the preferences offer
    // holds the contrast bit, and a night picture lifted without bound washes out.
    TestImage dark = Colourful(50);
    ASSERT_EQ(Auto(kEditBrightness, dark), 0);
    EXPECT_EQ(Pars().brightness, 0.6f);
    EXPECT_LT(HgBias(54.0f / 255.0f, Pars().brightness), 0.4f);
    TestImage light = Colourful(200);
    ASSERT_EQ(Auto(kEditBrightness, light), 0);
    EXPECT_EQ(Pars().brightness, 0.4f);
    ASSERT_EQ(Auto(kEditBrightness | kEditContrast, dark), 0);
    EXPECT_EQ(Pars().brightness, 0.6f);
    EXPECT_EQ(Pars().contrast, 0.5f);

    // The built-in tuning applies a share of each tone step's departure from the neutral setting.
    KhSetBalanceTuning(KhBuiltInTuning());
    const float share = KhBuiltInTuning().toneStrength;
    ASSERT_EQ(Auto(kEditBrightness, dark), 0);
    EXPECT_NEAR(Pars().brightness, 0.5f + share * 0.1f, 1e-6f);
    TestImage ramp = GreyRamp(16);
    KhSetBalanceTuning({kEndsAlone, KhBuiltInTuning().dominanceLow, 1.0f, 1.0f});
    ASSERT_EQ(Auto(kEditBlackPoint | kEditWhitePoint | kEditGrayPoint, ramp), 0);
    const EditPars whole = Pars();
    KhSetBalanceTuning(KhBuiltInTuning());
    ASSERT_EQ(Auto(kEditBlackPoint | kEditWhitePoint | kEditGrayPoint, ramp), 0);
    EXPECT_NEAR(Pars().blackPoint, share * whole.blackPoint, 1e-6f);
    EXPECT_NEAR(1.0f - Pars().whitePoint,
                KhBuiltInTuning().whiteStrength * (1.0f - whole.whitePoint), 1e-6f);
    EXPECT_NEAR(Pars().grayPoint - 0.5f, share * (whole.grayPoint - 0.5f), 1e-6f);
}

TEST_F(KeenhueTest, SaturationBringsTheTopPercentileToThePreferredValue) {
    // c = 40 and l = 128 give s = (128 x 40 + 63) / 127 = 40 for every pixel. The top tail
    // (5 of 2500 pixels) takes bins 255 down to 40, 216 bins: S = 255 - 216 = 39.
    TestImage image(50, 50);
    image.Fill(148, 128, 108);
    es_->preferredSaturation = 0.2f;
    ASSERT_EQ(Auto(kEditSaturation, image), 0);
    EXPECT_NEAR(Pars().saturation, 0.5f * 0.2f * 255.0f / 39.0f, 1e-5f);
    // Clamped to 0.5 .. 0.7 at both ends.
    es_->preferredSaturation = 0.8f;
    ASSERT_EQ(Auto(kEditSaturation, image), 0);
    EXPECT_EQ(Pars().saturation, 0.7f);
    es_->preferredSaturation = 0.05f;
    ASSERT_EQ(Auto(kEditSaturation, image), 0);
    EXPECT_EQ(Pars().saturation, 0.5f);
    // A Keenhue mask without the saturation bit leaves it alone.
    Pars().saturation = 0.5f;
    es_->keenhueMask = kEditMaskAll & ~kEditSaturation;
    es_->preferredSaturation = 0.2f;
    ASSERT_EQ(Auto(kEditMaskAll, image), 0);
    EXPECT_EQ(Pars().saturation, 0.5f);
}

TEST_F(KeenhueTest, NeutralEndsOfACastImageBecomeBalanceSamples) {
    // A grey ramp with a warm cast: its darkest and lightest pixels are near-neutral and not
    // clipped, so both ends give a sample, and the balance then pulls the cast grey to neutral.
    TestImage image(200, 40);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 200; ++x) {
            int v = 10 + x;  // 10 .. 209
            image.Set(x, y, std::min(254, v * 115 / 100), v, v * 85 / 100);
        }
    }
    ASSERT_EQ(Auto(kEditBalance, image), 0);
    int samples = 0;
    for (const SampleBin& bin : Pars().balBin) samples += bin.count > 0 ? 1 : 0;
    EXPECT_GE(samples, 2);
    float cast[3] = {180 * 1.15f / 255, 180 / 255.0f, 180 * 0.85f / 255}, out[3];
    ASSERT_EQ(HgEvalColour(&Pars(), kEditBalance, cast, out), 0);
    EXPECT_LT(std::fabs(out[0] - out[2]), 0.25f * (cast[0] - cast[2]));

    // Strongly coloured ends (chroma above 0.35) are no neutrals: no sample at all.
    TestImage red(100, 20);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 100; ++x) red.Set(x, y, 130 + x, 20 + x / 4, 20 + x / 4);
    ASSERT_EQ(Auto(kEditBalance, red), 0);
    for (const SampleBin& bin : Pars().balBin) EXPECT_EQ(bin.count, 0);
}

TEST_F(KeenhueTest, ClippedHighlightsAndCrushedShadowsStillLeaveANeutralAtEachEnd) {
    // A warm ramp whose lightest 11% clip in red and whose darkest 5% are crushed in blue: the
    // clipped pixels are far more than the 0.4% tails, yet the unclipped pixels next to them are
    // the ends of the image and must give the samples.
    TestImage image(250, 40);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t v = 0; v < 250; ++v)
            image.Set(v, y, std::min(255, v * 115 / 100), v, v < 13 ? 0 : v * 85 / 100);
    }
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    bool light = false;
    for (int k = 15; k < kEditBinCount; ++k) light = light || Pars().balBin[k].count > 0;
    EXPECT_TRUE(light) << "no sample from the light end";
    // The dark end is found beside the crushed pixels; measured on codes 11 .. 20 its tint is
    // too uncertain to agree with the light end's, so it is left out rather than trusted.
    EXPECT_GT(trace.dark.sampledPixels, 0);
    EXPECT_TRUE(trace.dark.vetoed);
    float cast[3] = {220 * 1.15f / 255, 220 / 255.0f, 220 * 0.85f / 255}, out[3];
    ASSERT_EQ(HgEvalColour(&Pars(), kEditBalance, cast, out), 0);
    EXPECT_LT(std::fabs(out[0] - out[2]), 0.25f * (cast[0] - cast[2]));
}

// Which bins of the balance hold samples.
std::vector<int> UsedBins(const EditPars& p) {
    std::vector<int> used;
    for (int k = 0; k < kEditBinCount; ++k)
        if (p.balBin[k].count > 0) used.push_back(k);
    return used;
}

TEST_F(KeenhueTest, ADarkColouredEndIsNoNeutralHoweverSmallItsChroma) {
    // The darkest surface is a deep red: its chroma is small on the scale of full white, but
    // its channels are as unequal as those of a bright red. Only the light grey is a neutral.
    TestImage image(120, 60);
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 120; ++x) {
            if (x < 40) {
                image.Set(x, y, 60, 10, 12);
            } else if (x < 80) {
                image.Set(x, y, 128, 128, 128);
            } else {
                image.Set(x, y, 230, 230, 230);
            }
        }
    }
    ASSERT_EQ(Auto(kEditBalance, image), 0);
    EXPECT_EQ(UsedBins(Pars()), std::vector<int>{18});
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_FALSE(trace.dark.taken);
    EXPECT_TRUE(trace.light.taken);
}

TEST_F(KeenhueTest, TheLightEndIsTheSurfaceItLiesOnNotItsMostExtremePixel) {
    // A warm scene: a large warm-white card, a warm grey, a warm black. One bluish-white pixel
    // is lighter in its smallest channel than the card: the end's most extreme pixel, a speck
    // that would balance almost nothing. The card is what stands for the light end.
    TestImage image(100, 60);
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 100; ++x) {
            if (x < 60) {
                image.Set(x, y, 240, 225, 200);
            } else if (x < 90) {
                image.Set(x, y, 128, 115, 100);
            } else {
                image.Set(x, y, 20, 17, 14);
            }
        }
    }
    image.Set(75, 30, 235, 235, 242);
    ASSERT_EQ(Auto(kEditBalance, image), 0);
    const float card[3] = {240 / 255.0f, 225 / 255.0f, 200 / 255.0f};
    float out[3];
    ASSERT_EQ(HgEvalColour(&Pars(), kEditBalance, card, out), 0);
    EXPECT_LT(std::fabs(out[0] - out[2]), 0.2f * (card[0] - card[2]));
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_EQ(trace.light.sampledPixels, 59 * 60);  // the card but its edge, the column x = 59
}

TEST_F(KeenhueTest, TheLightEndIsTheSurfaceHoldingMostOfItsTailNotTheLargestGrown) {
    // Left: a large light warm surface, a smooth ripple whose only pixels as light as the tail
    // are a small patch. Right: mid grey holding a neutral white card. The tail is the card and
    // the patch; a region grown from the patch spreads over the whole warm surface, far larger
    // than the card, though it holds fewer of the tail's pixels. Balancing on it would tint the
    // card blue; the card is where the light end lies.
    TestImage image(200, 100);
    for (int32_t y = 0; y < 100; ++y) {
        for (int32_t x = 0; x < 200; ++x) {
            if (x < 100) {
                const bool patch = 40 <= x && x < 48 && 40 <= y && y < 45;
                image.Set(x, y, 245, 240, patch ? 224 : 218 - x % 12);
            } else if (150 <= x && x < 162 && 40 <= y && y < 50) {
                image.Set(x, y, 235, 235, 235);
            } else {
                image.Set(x, y, 128, 128, 128);
            }
        }
    }
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_TRUE(trace.light.taken);
    EXPECT_EQ(trace.light.sampledPixels, 10 * 8);  // the card's interior
    const float card[3] = {235 / 255.0f, 235 / 255.0f, 235 / 255.0f};
    float out[3];
    ASSERT_EQ(HgEvalColour(&Pars(), kEditBalance, card, out), 0);
    EXPECT_LT(std::fabs(out[0] - out[2]), 0.01f);
}

TEST_F(KeenhueTest, AClippedWhiteStandsForTheLightEndWithoutANeutralThereOrAsTheBackground) {
    // A warm-lit room: a white card whose red clipped under the cast, an orange wall, a warm
    // grey and a warm black. The unclipped light end is the wall, far too colourful to be a
    // neutral; the card's unclipped green and blue still tell the cast, so the card is taken.
    TestImage image(120, 60);
    auto paint = [&image](bool wallIsWhite, int32_t cardWidth) {
        for (int32_t y = 0; y < 60; ++y) {
            for (int32_t x = 0; x < 120; ++x) {
                if (x < cardWidth) {
                    image.Set(x, y, 255, 238, 196);
                } else if (x < 80) {
                    image.Set(x, y, wallIsWhite ? 236 : 250, wallIsWhite ? 221 : 200,
                              wallIsWhite ? 183 : 140);
                } else if (x < 110) {
                    image.Set(x, y, 128, 115, 96);
                } else {
                    image.Set(x, y, 20, 17, 14);
                }
            }
        }
    };
    paint(false, 30);
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_FALSE(trace.light.taken);
    EXPECT_TRUE(trace.white.taken);
    EXPECT_EQ(trace.white.sampledPixels, 30 * 60);
    const float grey[3] = {128 / 255.0f, 115 / 255.0f, 96 / 255.0f};
    float out[3];
    ASSERT_EQ(HgEvalColour(&Pars(), kEditBalance, grey, out), 0);
    EXPECT_LT(std::fabs(out[0] - out[2]), 0.5f * (grey[0] - grey[2]));

    // The same room with a warm-white wall and a small card: the light end is measured in every
    // channel and is the neutral; the clipped card is not used.
    paint(true, 6);
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_TRUE(trace.light.taken);
    EXPECT_FALSE(trace.white.taken);
    // With a quarter of the picture clipped white, the white is the background and is taken.
    paint(true, 30);
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_FALSE(trace.light.taken);
    EXPECT_TRUE(trace.white.taken);

    // A white with every channel at full scale says nothing about a cast: no member at all.
    image.Fill(255, 255, 255);
    for (int32_t x = 0; x < 60; ++x)
        for (int32_t y = 0; y < 60; ++y) image.Set(x, y, 250, 200, 140);
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_EQ(trace.white.count, 0u);
    EXPECT_FALSE(trace.white.taken);
    for (const SampleBin& bin : Pars().balBin) EXPECT_EQ(bin.count, 0);
}

TEST_F(KeenhueTest, AShadedClippedWhiteIsBalancedToAGreyNotATint) {
    // A cool-lit white background: red lowered by the cast, blue clipped over all of it, flat
    // but for a strip of shading at the bottom that spans the lower luma bins, beside a saturated
    // red. Every pixel of the white says the same of blue (full scale), and the curves can make
    // only one lightness of it grey: it must be the background, not the strip of shading.
    TestImage image(120, 60);
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 120; ++x) {
            if (x < 90) {
                const int shade = y < 50 ? 0 : 3 * (y - 49);
                image.Set(x, y, 231 - shade, 255 - shade, 255);
            } else {
                image.Set(x, y, 200, 30, 30);
            }
        }
    }
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    ASSERT_TRUE(trace.white.taken);
    const float white[3] = {231 / 255.0f, 1.0f, 1.0f};
    float out[3];
    ASSERT_EQ(HgEvalColour(&Pars(), kEditBalance, white, out), 0);
    EXPECT_LT(Spread(out), 0.012f);
}

TEST_F(KeenhueTest, ScatteredDarkSpecksAreNoNeutralButADarkSurfaceIs) {
    // A dusk sky with a near-neutral light card; the darkest pixels are isolated specks, one
    // every eight pixels each way, of a dark grey that would pass as a neutral. Each speck is a
    // surface of its own holding a sliver of the dark end: noise, not the colour of the light.
    TestImage image(160, 80);
    std::array<int, 3> tint = {30, 27, 25};
    auto paint = [&image, &tint](bool solid) {
        for (int32_t y = 0; y < 80; ++y) {
            for (int32_t x = 0; x < 160; ++x) {
                if (x >= 140) {
                    image.Set(x, y, 230, 228, 224);
                } else if (solid ? x < 12 : (x % 8 == 3 && y % 8 == 3)) {
                    image.Set(x, y, tint[0], tint[1], tint[2]);
                } else {
                    image.Set(x, y, 90, 100, 140);
                }
            }
        }
    };
    paint(false);
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_EQ(trace.dark.count, 18u * 10u);
    EXPECT_FALSE(trace.dark.taken);
    EXPECT_TRUE(trace.light.taken);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(Pars().balBin[k].count, 0) << "bin " << k;

    // A dark grey of the card's tint as one surface is the dark end's neutral.
    tint = {30, 29, 28};
    paint(true);
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    EXPECT_TRUE(trace.dark.taken);
    EXPECT_EQ(trace.dark.sampledPixels, 11 * 80);  // but its edge, the column x = 11
}

TEST_F(KeenhueTest, ASurfaceIsSampledWithoutTheEdgeItSharesWithItsNeighbour) {
    // A warm-lit white wall beside a blue object, with one column between them that mixes the
    // two, as any lens or resampling makes it. The mixed column is close enough to the wall to
    // join its region, but it falls in a luma bin of its own, which the balance weighs ten times
    // the wall's top bin: sampled, it would be made grey and leave the wall itself warm.
    TestImage image(120, 60);
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 120; ++x) {
            if (x < 90) {
                image.Set(x, y, 250, 244, 232);
            } else if (x == 90) {
                image.Set(x, y, 244, 241, 238);
            } else if (x < 110) {
                image.Set(x, y, 60, 80, 200);
            } else {
                image.Set(x, y, 20, 17, 14);
            }
        }
    }
    KhBalanceTrace trace;
    ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
    ASSERT_TRUE(trace.light.taken);
    const float wall[3] = {250 / 255.0f, 244 / 255.0f, 232 / 255.0f};
    float out[3];
    ASSERT_EQ(HgEvalColour(&Pars(), kEditBalance, wall, out), 0);
    EXPECT_LT(Spread(out), 0.01f) << out[0] << " " << out[1] << " " << out[2];
}

TEST_F(KeenhueTest, TheLightEndIsTheSameSurfaceUnderACast) {
    // Two light surfaces: a pale yellow (lighter overall) and a lighter-than-mid grey (lighter in
    // its smallest channel). A cool cast lowers red and raises blue, and so the yellow's smallest
    // channel. The light end must be the same surface with and without the cast, or the
    // correction of the cast copy is not the correction of the original.
    TestImage image(120, 60);
    auto paint = [&image](const float gain[3]) {
        auto set = [&](int32_t x, int32_t y, int r, int g, int b) {
            const int v[3] = {r, g, b};
            int out[3];
            for (int c = 0; c < 3; ++c) out[c] = std::min(255, int(std::lround(v[c] * gain[c])));
            image.Set(x, y, out[0], out[1], out[2]);
        };
        for (int32_t y = 0; y < 60; ++y) {
            for (int32_t x = 0; x < 120; ++x) {
                if (x < 40) {
                    set(x, y, 240, 240, 200);
                } else if (x < 70) {
                    set(x, y, 215, 215, 215);
                } else if (x < 110) {
                    set(x, y, 100, 100, 100);
                } else {
                    set(x, y, 20, 20, 20);
                }
            }
        }
    };
    const float none[3] = {1.0f, 1.0f, 1.0f}, cool[3] = {0.9f, 1.0f, 1.1f};
    for (const float* gain : {none, cool}) {
        paint(gain);
        KhBalanceTrace trace;
        ASSERT_EQ(KhColourBalance(es_.get(), &image.view, &trace), 0);
        EXPECT_TRUE(trace.light.taken);
        EXPECT_EQ(trace.light.sampledPixels, 39 * 60) << "cast " << gain[0];
        EXPECT_NEAR(trace.light.sampledAverage[2], std::round(200 * gain[2]) / 255.0f, 1e-3f);
    }
}

TEST_F(KeenhueTest, SelectionLimitsTheAnalysis) {
    // Left half dark and even, right half light and rising; only the right half is selected,
    // so the white point comes from the right half's top tail alone.
    TestImage image(64, 32);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            int v = x < 32 ? 20 : 40 + (x - 32) * 3;  // 40 .. 133
            image.Set(x, y, v, v, v);
        }
    std::vector<uint8_t> bits(size_t(8) * 32, 0);
    es_->analysisMask = IPMask{64, 32, 8, bits.data(), 0, 0, 0, 0};
    IPMaskClear(&es_->analysisMask);
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 32; x < 64; ++x) IPMaskSet(&es_->analysisMask, x, y);
    ASSERT_EQ(Auto(kEditWhitePoint, image), 0);
    es_->analysisMask = IPMask{};
    // 1024 pixels, tail 2: bins 0 .. 40 are taken from below, 255 .. 133 from above.
    const double xb = 41 / 255.0, xw = (255 - 123) / 255.0;
    const double sb = Smooth(xb), sw = Smooth(xw);
    EXPECT_NEAR(Pars().whitePoint, xb + (xw - xb) * (1 - sb) / (sw - sb), 1e-6);
}

// The measurements count their histograms in bands on the threads they are given; the settings
// do not depend on how many.
TEST_F(KeenhueTest, AnyNumberOfThreadsGivesTheSameSettings) {
    TestImage image(97, 61);
    for (int32_t y = 0; y < 61; ++y)
        for (int32_t x = 0; x < 97; ++x) {
            const bool patch = (x / 16 + y / 12) % 3 == 0;
            image.Set(x, y, patch ? 200 : 30 + 2 * x, patch ? 90 : 20 + 3 * y,
                      patch ? 60 : 40 + (x * y) % 170);
        }
    std::vector<uint8_t> bits(size_t(13) * 61, 0);
    const IPMask selection{97, 61, 13, bits.data(), 0, 0, 0, 0};
    es_->currentTab = 3;  // the hue tab: the handles are placed as well
    for (bool selected : {false, true}) {
        SCOPED_TRACE(selected ? "selection" : "whole image");
        es_->analysisMask = selected ? selection : IPMask{};
        if (selected) {
            IPMaskClear(&es_->analysisMask);
            for (int32_t y = 5; y < 58; ++y)
                for (int32_t x = 10 + y / 3; x < 90; ++x) IPMaskSet(&es_->analysisMask, x, y);
        }
        ASSERT_EQ(ResetEditStatePars(es_.get(), kEditMaskAll), 0);
        ASSERT_EQ(AutoSettings(es_.get(), kEditMaskAll, &image.view, 1), 0);
        const EditPars alone = Pars();
        for (int32_t threads : {2, 3, 8}) {
            ASSERT_EQ(ResetEditStatePars(es_.get(), kEditMaskAll), 0);
            ASSERT_EQ(AutoSettings(es_.get(), kEditMaskAll, &image.view, threads), 0);
            EXPECT_EQ(std::memcmp(&Pars(), &alone, sizeof alone), 0) << threads << " threads";
        }
    }
    es_->analysisMask = IPMask{};
}

TEST_F(KeenhueTest, FailuresAreReturnedForTheCallerToShow) {
    TestImage image = GreyRamp(4);
    es_->gridLevel = 8;
    ClearAlerts();
    EXPECT_EQ(Auto(kEditMaskAll, image), -1);
    es_->gridLevel = 7;
    EXPECT_EQ(AutoSettings(es_.get(), kEditMaskAll, nullptr), -1);
    EXPECT_EQ(AutoSettings(nullptr, kEditMaskAll, &image.view), -1);
    EXPECT_TRUE(Alerts().empty());
}

// --- hue handles -----------------------------------------------------------------------------

// A histogram of broad bumps at the given hues.
void Bumps(int32_t hist[360], const std::vector<std::pair<int, int>>& bumps) {
    for (int i = 0; i < 360; ++i) hist[i] = 0;
    for (auto [centre, height] : bumps) {
        for (int d = -20; d <= 20; ++d) {
            int i = ((centre + d) % 360 + 360) % 360;
            hist[i] += int32_t(height * std::exp(-d * d / 50.0));
        }
    }
}

TEST(HuePeaks, BumpsAreFoundAndTheRestIsSpreadBetweenThem) {
    int32_t hist[360];
    // The lower bump's curvature has a flat bottom of three equal integers (198..201 read
    // -48, -48, -48): still one peak, at the middle.
    Bumps(hist, {{30, 5000}, {200, 3000}});
    KhHuePeak peaks[kKhMaxPeaks];
    int32_t count = 0;
    ASSERT_EQ(KhFindHuePeaks(hist, peaks, &count), 0);
    KhMergeHuePeaks(peaks, &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(peaks[0].bin, 30);  // the heavier first
    EXPECT_EQ(peaks[1].bin, 200);
    int32_t positions[6];
    ASSERT_EQ(KhHandlePositions(peaks, count, positions), 0);
    // The widest gaps take the new handles one by one (295, 115, 248, 343); then each run is
    // spread evenly between its peaks: one in the 170-degree gap, three in the 190-degree one.
    const int32_t expected[6] = {30, 115, 200, 248, 295, 343};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(positions[i], expected[i]) << i;
}

TEST(HuePeaks, NoPeakGivesTheEvenRingAndOnePeakSpreadsRoundIt) {
    int32_t flat[360];
    for (int32_t& h : flat) h = 100;
    KhHuePeak peaks[kKhMaxPeaks];
    int32_t count = -1;
    ASSERT_EQ(KhFindHuePeaks(flat, peaks, &count), 0);
    EXPECT_EQ(count, 0);
    int32_t positions[6];
    ASSERT_EQ(KhHandlePositions(peaks, 0, positions), 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(positions[i], 60 * i);

    KhHuePeak one{350, -100, 1000};
    ASSERT_EQ(KhHandlePositions(&one, 1, positions), 0);
    const int32_t expected[6] = {50, 110, 170, 230, 290, 350};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(positions[i], expected[i]) << i;
    EXPECT_EQ(KhHandlePositions(&one, 7, positions), -1);
}

TEST(HuePeaks, ClosePeaksMergeKeepingTheHeavierAndManyPeaksAreSmoothedAway) {
    KhHuePeak peaks[kKhMaxPeaks] = {
        {100, -5, 50}, {105, -9, 80}, {300, -3, 80}, {355, -3, 10}, {3, -3, 20}};
    int32_t count = 5;
    KhMergeHuePeaks(peaks, &count);
    // Sorted: 105/80, 300/80, 100/50 (5 degrees from 105), 3/20, 355/10 (8 from 3).
    ASSERT_EQ(count, 3);
    EXPECT_EQ(peaks[0].bin, 105);
    EXPECT_EQ(peaks[1].bin, 300);
    EXPECT_EQ(peaks[2].bin, 3);

    // A light peak 5 degrees from the heaviest, with another peak between them in mass order:
    // it is one hill read twice, whichever peak it follows in the list; the same across 0.
    KhHuePeak apart[kKhMaxPeaks] = {{10, -5, 100}, {60, -5, 90},  {15, -5, 80},
                                    {200, -5, 70}, {250, -5, 60}, {356, -5, 50}};
    count = 6;
    KhMergeHuePeaks(apart, &count);
    ASSERT_EQ(count, 5);
    EXPECT_EQ(apart[0].bin, 10);
    EXPECT_EQ(apart[1].bin, 60);
    EXPECT_EQ(apart[2].bin, 200);
    EXPECT_EQ(apart[4].bin, 356);  // 14 degrees from 10: a hill of its own
    KhHuePeak wrap[kKhMaxPeaks] = {{2, -5, 100}, {180, -5, 90}, {355, -5, 80}};
    count = 3;
    KhMergeHuePeaks(wrap, &count);
    EXPECT_EQ(count, 2);

    // Twelve narrow bumps are more than six: the histogram is smoothed until at most six
    // hills remain, and every peak found is a real hill (positive mass).
    int32_t hist[360];
    std::vector<std::pair<int, int>> many;
    for (int i = 0; i < 12; ++i) many.push_back({i * 30, 1000 + 37 * i});
    Bumps(hist, many);
    KhHuePeak found[kKhMaxPeaks];
    ASSERT_EQ(KhFindHuePeaks(hist, found, &count), 0);
    EXPECT_LE(count, kKhMaxPeaks);
    for (int i = 0; i < count; ++i) EXPECT_GT(found[i].mass, 0);
}

TEST_F(KeenhueTest, HandlesArePlacedOnlyWhenTheHueTabShowsOrAHandleWasEdited) {
    // An image of two colours, orange and blue, large enough for the curvature threshold to be
    // below zero (small counts let the feet of the hills pass for peaks).
    TestImage image(400, 200);
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 400; ++x) {
            if (x < 200)
                image.Set(x, y, 220, 140, 60);
            else
                image.Set(x, y, 60, 90, 200);
        }
    Pars().toneColor[0] = 0.7f;
    ASSERT_EQ(Auto(kEditMaskAllHues, image), 0);
    EXPECT_EQ(es_->huePlacementPending, 1);
    EXPECT_EQ(Pars().toneColor[0], 0.5f);
    EXPECT_EQ(Pars().hue[1].baseHue, 60.0f);  // untouched

    es_->currentTab = 3;
    ASSERT_EQ(Auto(kEditMaskAllHues, image), 0);
    EXPECT_EQ(es_->huePlacementPending, 0);
    EXPECT_EQ(es_->activeHandle, 0);
    // The orange and the blue each have a handle within a few degrees of their hue.
    auto near = [&](float hue) {
        for (const HueHandle& h : Pars().hue) {
            float d = std::fabs(h.baseHue - hue);
            if (std::min(d, 360 - d) <= 3.0f) return true;
        }
        return false;
    };
    float orange[3] = {220 / 255.0f, 140 / 255.0f, 60 / 255.0f},
          blue[3] = {60 / 255.0f, 90 / 255.0f, 200 / 255.0f};
    float ho[3], hb[3];
    ASSERT_EQ(HgRgbToHue(orange, ho, kHgHueChroma), 0);
    ASSERT_EQ(HgRgbToHue(blue, hb, kHgHueChroma), 0);
    EXPECT_TRUE(near(std::floor(ho[0] * 360)));
    EXPECT_TRUE(near(std::floor(hb[0] * 360)));
    for (int i = 1; i < 6; ++i) EXPECT_LT(Pars().hue[i - 1].baseHue, Pars().hue[i].baseHue);
    for (const HueHandle& h : Pars().hue) {
        EXPECT_EQ(h.hueShift, 0.0f);
        EXPECT_EQ(h.saturation, 0.5f);
    }
}

}  // namespace
