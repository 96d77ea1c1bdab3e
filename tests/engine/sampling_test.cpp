// Sampling marked colours: region growing, neutral and hue samples, the mean hue, the order of
// the hue ring and memory colours of a handle.
#include "engine/sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/balance.h"
#include "engine/hue_space.h"
#include "tests/engine/chain_test_support.h"

namespace {

using chain_testing::NeutralPars;
using Image8 = chain_testing::TestImage<uint8_t>;

struct Region {
    std::vector<uint8_t> bits;
    IPRegion region{};
    Region(int w, int h) : bits(size_t((w + 7) / 8) * h, 0xFF) {
        region = {w, h, (w + 7) / 8, bits.data(), 0, 0, 0, 0};
    }
    bool At(int x, int y) const {
        return (bits[size_t(y) * region.rowBytes + x / 8] >> (x % 8)) & 1;
    }
    int Count() const {
        int n = 0;
        for (int y = 0; y < region.height; ++y)
            for (int x = 0; x < region.width; ++x) n += At(x, y);
        return n;
    }
    bool Box(int minX, int maxX, int minY, int maxY) const {
        return region.minX == minX && region.maxX == maxX && region.minY == minY &&
               region.maxY == maxY;
    }
};

int BinTotal(const SampleBin* bins) {
    int n = 0;
    for (int j = 0; j < kEditBinCount; ++j) n += bins[j].count;
    return n;
}

// Fills the image with the colour of (hue in degrees, chroma, lightness).
void FillHue(Image8* img, float hue, float chroma, float lightness) {
    const float hcl[3] = {hue / 360.0f, chroma, lightness};
    float rgb[3];
    ASSERT_EQ(HgHueToRgb(hcl, rgb, kHgHueChroma), 0);
    img->Fill(int(rgb[0] * 255 + 0.5f), int(rgb[1] * 255 + 0.5f), int(rgb[2] * 255 + 0.5f));
}

class Sampling : public ::testing::Test {
   protected:
    void SetUp() override { NeutralPars(&pars); }
    EditPars pars;
};

TEST_F(Sampling, FlatAreaIsTakenUpToItsBorder) {
    Image8 img(20, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            img.Set(x, y, x < 9 ? 120 : 160, x < 9 ? 118 : 158, x < 9 ? 115 : 155);
    img.Set(4, 6, 121, 117, 115);  // a small step inside the area joins it
    Region r(20, 12);
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 3, 3, &r.region), 0);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(r.At(x, y), x < 9) << x << "," << y;
    EXPECT_TRUE(r.Box(0, 8, 0, 11));
    EXPECT_EQ(BinTotal(pars.balBin), 9 * 12);
    EXPECT_EQ(pars.balCurveValid, 0);
    const float flat[3] = {120 / 255.0f, 118 / 255.0f, 115 / 255.0f};
    const SampleBin& bin = pars.balBin[HgLumaBin(flat)];
    EXPECT_NEAR(bin.sum[0] / bin.count, 120 / 255.0, 0.001);
    // Without a region of the caller's, a temporary one does the same work.
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 15, 2, nullptr), 0);
    EXPECT_EQ(BinTotal(pars.balBin), 20 * 12);
}

TEST_F(Sampling, GradientStopsAtTheReferenceDistance) {
    // Grey columns three codes apart: each step is small, but the drift from the clicked
    // colour passes 22/255 (in RGB distance) after four columns: 4 x 3 x sqrt(3) < 22 < 5 x 3 x
    // sqrt(3). A step of 10 codes per channel is too large even next to the click.
    for (int step : {3, 10}) {
        Image8 img(30, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 30; ++x) img.Set(x, y, 40 + step * x, 40 + step * x, 40 + step * x);
        Region r(30, 5);
        ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 15, 2, &r.region), 0);
        EXPECT_TRUE(step == 3 ? r.Box(11, 19, 0, 4) : r.Box(15, 15, 0, 4)) << step;
        EXPECT_EQ(r.Count(), (step == 3 ? 9 : 1) * 5);
    }
}

TEST_F(Sampling, SelectionAndArgumentChecks) {
    Image8 img(16, 8);
    img.Fill(200, 60, 60);
    chain_testing::TestMask sel(16, 8);
    IPMaskSet(&sel.mask, 2, 2);
    Region r(16, 8);
    const EditPars before = pars;
    // Outside the selection: no neutral sample, no error; the hue tool has no hue to take.
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, &sel.mask, 7, 10, 5, &r.region), 0);
    EXPECT_TRUE(r.Count() == 0 && r.region.maxX == -1);
    EXPECT_TRUE(BinTotal(pars.balBin) == 0 && pars.balCurveValid == 1);
    int32_t active = 0;
    EXPECT_EQ(HgAddHueSample(&pars, &img.image, &sel.mask, &active, 7, 10, 5, &r.region), -1);
    EXPECT_EQ(std::memcmp(pars.hue, before.hue, sizeof pars.hue), 0);
    // Inside it the region grows past the selection's edge.
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, &sel.mask, 7, 2, 2, &r.region), 0);
    EXPECT_EQ(r.Count(), 16 * 8);

    EXPECT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 16, 0, nullptr), -1);
    EXPECT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 0, -1, nullptr), -1);
    EXPECT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 8, 0, 0, nullptr), -1);
    Region small(15, 8);
    EXPECT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 0, 0, &small.region), -1);
    EditPars bad = pars;
    bad.brightness = std::nanf("");
    EXPECT_EQ(HgAddNeutralSample(&bad, &img.image, nullptr, 7, 0, 0, nullptr), -1);
    Image8 huge(1, 1);
    huge.image.width = 70000;  // positions travel as 16-bit values
    EXPECT_EQ(HgAddNeutralSample(&pars, &huge.image, nullptr, 7, 0, 0, nullptr), -1);
}

TEST_F(Sampling, StackLimitEndsALargeRegionEarly) {
    std::vector<HgGrowEntry> entries(kHgGrowStackEntries + 1);
    HgGrowStack stack{entries.data(), 0};
    const float c[3] = {0.5f, 0.5f, 0.5f};
    for (int i = 0; i < kHgGrowStackEntries + 10; ++i) HgGrowPush(&stack, c, 1, 1, kHgGrowUp);
    EXPECT_EQ(stack.count, kHgGrowStackEntries);
    EXPECT_EQ(entries[kHgGrowStackEntries].x, 0);  // nothing written past the end
    EXPECT_EQ(entries[0].colour[0], 32768);

    // A flat area far larger than the stack can cover: the region stops short of it, but what
    // it took is one connected piece around the click.
    Image8 img(400, 400);
    img.Fill(90, 90, 90);
    Region r(400, 400);
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 200, 200, &r.region), 0);
    const int n = r.Count();
    EXPECT_TRUE(n > 1000 && n < 400 * 400) << n;
    EXPECT_EQ(BinTotal(pars.balBin), n);
    EXPECT_TRUE(r.At(200, 200));
}

TEST_F(Sampling, HueSampleMovesHandleAndSpacesTheRing) {
    // A grey gives no hue: refused, the handles unchanged.
    Image8 img(8, 8);
    img.Fill(130, 128, 126);
    const EditPars before = pars;
    int32_t active = 2;
    EXPECT_EQ(HgAddHueSample(&pars, &img.image, nullptr, &active, 7, 5, 5, nullptr), -1);
    EXPECT_EQ(active, 2);
    EXPECT_EQ(std::memcmp(pars.hue, before.hue, sizeof pars.hue), 0);

    // A yellow-orange at hue 58: handle 0 (id 0 by index) is moved there and lands next to
    // handle 1 at 60, which is pushed 5 degrees on.
    FillHue(&img, 58.0f, 0.5f, 0.5f);
    float q[3], hq[3] = {img.data[0] / 255.0f, img.data[1] / 255.0f, img.data[2] / 255.0f};
    ASSERT_EQ(HgRgbToHue(hq, q, kHgHueChroma), 0);
    const float sampled = q[0] * 360.0f;
    active = 0;
    ASSERT_EQ(HgAddHueSample(&pars, &img.image, nullptr, &active, 7, 1, 1, nullptr), 0);
    EXPECT_EQ(active, 0);
    EXPECT_NEAR(pars.hue[0].baseHue, sampled, 0.01);
    EXPECT_EQ(BinTotal(pars.hue[0].hueBin), 64);
    EXPECT_NEAR(pars.hue[1].baseHue, sampled + 5.0f, 0.01);
    EXPECT_EQ(pars.hue[2].baseHue, 120.0f);

    // A handle named by a colorId that no handle has: the nearest one (now handle 1) takes it;
    // moved past handle 2, the ring is re-sorted and the index follows its record.
    pars.hue[1].colorId = 8;
    pars.hue[2].colorId = 7;
    FillHue(&img, 150.0f, 0.6f, 0.5f);
    active = 2;  // index 2: handle at 120
    ASSERT_EQ(HgAddHueSample(&pars, &img.image, nullptr, &active, 7, 1, 1, nullptr), 0);
    EXPECT_EQ(active, 2);
    EXPECT_NEAR(pars.hue[2].baseHue, 150.0f, 0.5f);
    active = 99;  // matches no handle: the nearest to the new hue
    ASSERT_EQ(HgAddHueSample(&pars, &img.image, nullptr, &active, 7, 1, 1, nullptr), 0);
    EXPECT_EQ(active, 2);
    EXPECT_EQ(BinTotal(pars.hue[2].hueBin), 128);
    for (int i = 0; i + 1 < kEditHueCount; ++i)
        EXPECT_LT(pars.hue[i].baseHue, pars.hue[i + 1].baseHue);
}

TEST_F(Sampling, AHueSampleThatFailsLeavesTheHandlesAsTheyWere) {
    // Handle 0 holds many grey samples in the bin where the clicked colour falls: merged, the
    // bin's mean is too neutral to have a hue, no bin is left and the click fails. The handle's
    // own samples must survive that failure unmerged and uncleared.
    Image8 img(8, 8);
    FillHue(&img, 58.0f, 0.5f, 0.5f);
    const float colour[3] = {img.data[0] / 255.0f, img.data[1] / 255.0f, img.data[2] / 255.0f};
    const float y = 0.299f * colour[0] + 0.587f * colour[1] + 0.114f * colour[2];
    SampleBin& bin = pars.hue[0].hueBin[int(20 * y)];
    for (float& v : bin.sum) v = 1000 * y;
    bin.count = 1000;
    const EditPars before = pars;
    int32_t active = 0;
    EXPECT_EQ(HgAddHueSample(&pars, &img.image, nullptr, &active, 7, 1, 1, nullptr), -1);
    EXPECT_EQ(active, 0);
    EXPECT_EQ(std::memcmp(pars.hue, before.hue, sizeof pars.hue), 0);
}

TEST_F(Sampling, MeanHueWrapsAndDropsNeutralBins) {
    SampleBin bins[kEditBinCount] = {};
    float rgb[3], hue = -1;
    const float a[3] = {350.0f / 360.0f, 0.4f, 0.45f}, b[3] = {10.0f / 360.0f, 0.4f, 0.55f};
    ASSERT_EQ(HgHueToRgb(a, rgb, kHgHueChroma), 0);
    ASSERT_EQ(HgAddBalanceSample(bins, rgb), 0);
    ASSERT_EQ(HgHueToRgb(b, rgb, kHgHueChroma), 0);
    ASSERT_EQ(HgAddBalanceSample(bins, rgb), 0);
    const float grey[3] = {0.8f, 0.78f, 0.79f};
    ASSERT_EQ(HgAddBalanceSample(bins, grey), 0);
    ASSERT_EQ(HgMeanHue(bins, 0.075f, &hue), 0);
    EXPECT_TRUE(hue < 0.01f || hue > 359.99f) << hue;
    EXPECT_EQ(BinTotal(bins), 2);  // the grey bin was emptied
    EXPECT_EQ(HgMeanHue(bins, 0.5f, &hue), -1);
    EXPECT_EQ(BinTotal(bins), 0);
}

TEST_F(Sampling, PlaceHandlesSortsAndSpaces) {
    // Backward spacing from the handle in hand; the record keeps its bins through the sort.
    pars.hue[1].baseHue = 118.0f;
    pars.hue[1].hueBin[3].count = 7;
    ASSERT_EQ(HgPlaceHandles(&pars, 2), 0);
    EXPECT_EQ(pars.hue[2].baseHue, 120.0f);
    EXPECT_EQ(pars.hue[1].baseHue, 115.0f);
    EXPECT_EQ(pars.hue[1].hueBin[3].count, 7);

    // After positions crossed: handle 0's After (75) passes handle 1's (60); it is turned back.
    NeutralPars(&pars);
    pars.hue[0].hueShift = 75.0f;
    ASSERT_EQ(HgPlaceHandles(&pars, 0), 0);
    float sum = 0;
    for (int i = 0; i < 6; ++i) {
        const HueHandle &h = pars.hue[i], &next = pars.hue[(i + 1) % 6];
        float g = std::fmod(next.baseHue + next.hueShift, 360.0f) -
                  std::fmod(h.baseHue + h.hueShift, 360.0f);
        g = g < 0 ? g + 360 : g;
        EXPECT_GE(g, 5.0f - 1e-3f) << i;
        sum += g;
    }
    EXPECT_NEAR(sum, 360.0f, 0.01f);

    // A crossing between two other handles cannot be mended by turning handle k; the call
    // still ends.
    NeutralPars(&pars);
    pars.hue[3].hueShift = 130.0f;
    EXPECT_EQ(HgPlaceHandles(&pars, 0), 0);
    EXPECT_EQ(HgPlaceHandles(&pars, 6), -1);
    pars.hue[4].hueShift = INFINITY;
    EXPECT_EQ(HgPlaceHandles(&pars, 0), -1);
}

TEST_F(Sampling, MemoryColourOfAHandle) {
    float chroma = 0, hue = 0, slope = 0;
    EXPECT_EQ(HgMemoryColourFromHandle(&pars, 0, &chroma, &hue, &slope), -1);  // no samples
    EXPECT_EQ(HgApplyMemoryColour(&pars, 0, 40, 50, 0), -1);
    EXPECT_EQ(HgMemoryColourFromHandle(&pars, 42, &chroma, &hue, &slope), -1);

    // Skin-like samples at two lightnesses.
    const float dark[3] = {25.0f / 360.0f, 0.25f, 0.4f}, light[3] = {30.0f / 360.0f, 0.2f, 0.7f};
    for (const float* hcl : {dark, light}) {
        float rgb[3];
        ASSERT_EQ(HgHueToRgb(hcl, rgb, kHgHueChroma), 0);
        for (int i = 0; i < 5; ++i) ASSERT_EQ(HgAddBalanceSample(pars.hue[0].hueBin, rgb), 0);
    }
    ASSERT_EQ(HgMemoryColourFromHandle(&pars, 0, &chroma, &hue, &slope), 0);
    EXPECT_GT(chroma, 0.0f);
    EXPECT_TRUE(hue >= 0.0f && hue < 90.0f) << hue;  // an orange in LCh

    // Applying the handle's own memory colour changes little; a memory colour of a larger hue
    // turns the After position forward.
    auto shiftOf = [](const EditPars& p) {
        const float s = p.hue[0].hueShift;
        return s > 180 ? s - 360 : s;
    };
    EditPars own = pars, turned = pars, richer = pars;
    ASSERT_EQ(HgApplyMemoryColour(&own, 0, chroma, hue, slope), 0);
    EXPECT_LT(std::fabs(shiftOf(own)), 3.0f);
    EXPECT_NEAR(own.hue[0].saturation, 0.5f, 0.05f);
    ASSERT_EQ(HgApplyMemoryColour(&turned, 0, chroma, hue + 30.0f, slope), 0);
    EXPECT_GT(shiftOf(turned), shiftOf(own) + 3.0f);
    EXPECT_LT(shiftOf(turned), 30.0f);  // only half the way
    ASSERT_EQ(HgApplyMemoryColour(&richer, 0, chroma * 1.5f, hue, slope), 0);
    EXPECT_GT(richer.hue[0].saturation, own.hue[0].saturation);

    // Samples whose model has no curve (every used bin black) leave the handle unchanged.
    NeutralPars(&pars);
    pars.hue[1].hueBin[4].count = 3;  // sums 0: a black mean colour
    const EditPars before = pars;
    EXPECT_EQ(HgApplyMemoryColour(&pars, 1, 40, 50, 0), 0);
    EXPECT_EQ(std::memcmp(&pars.hue, &before.hue, sizeof pars.hue), 0);
}

}  // namespace
