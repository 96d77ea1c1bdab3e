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

struct Image8 {
    std::vector<uint8_t> data;
    IPImage image{};
    Image8(int w, int h) : data(size_t(w) * h * 3, 0) {
        image = {kIPKindColour, 3, 1, w, h, 72.0f, 3, 3 * w, {}, nullptr};
        for (int c = 0; c < 3; ++c) image.channel[c] = data.data() + c;
    }
    void Set(int x, int y, int r, int g, int b) {
        uint8_t* p = &data[(size_t(y) * image.width + x) * 3];
        p[0] = uint8_t(r), p[1] = uint8_t(g), p[2] = uint8_t(b);
    }
};

struct Region {
    std::vector<uint8_t> bits;
    IPRegion region{};
    Region(int w, int h) : bits(size_t((w + 7) / 8) * h, 0xFF) {
        region = {w, h, (w + 7) / 8, bits.data(), 0, 0, 0, 0};
    }
    bool At(int x, int y) const { return (bits[size_t(y) * region.rowBytes + x / 8] >> (x % 8)) & 1; }
    int Count() const {
        int n = 0;
        for (int y = 0; y < region.height; ++y)
            for (int x = 0; x < region.width; ++x) n += At(x, y);
        return n;
    }
};

int BinTotal(const SampleBin* bins) {
    int n = 0;
    for (int j = 0; j < kEditBinCount; ++j) n += bins[j].count;
    return n;
}

class Sampling : public ::testing::Test {
protected:
    void SetUp() override { NeutralPars(&pars); }
    EditPars pars;
};

TEST_F(Sampling, FlatAreaIsTakenUpToItsBorder) {
    Image8 img(20, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) {
            if (x < 9)
                img.Set(x, y, 120, 118, 115);
            else
                img.Set(x, y, 160, 158, 155);
        }
    img.Set(4, 6, 121, 117, 115);  // a small step inside the area joins it
    Region r(20, 12);
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 3, 3, &r.region), 0);
    EXPECT_EQ(r.Count(), 9 * 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(r.At(x, y), x < 9) << x << "," << y;
    EXPECT_EQ(r.region.minX, 0);
    EXPECT_EQ(r.region.maxX, 8);
    EXPECT_EQ(r.region.minY, 0);
    EXPECT_EQ(r.region.maxY, 11);
    EXPECT_EQ(BinTotal(pars.balBin), 9 * 12);
    EXPECT_EQ(pars.balCurveValid, 0);
    const float flat[3] = {120 / 255.0f, 118 / 255.0f, 115 / 255.0f};
    int bin = HgLumaBin(flat);
    EXPECT_NEAR(pars.balBin[bin].sum[0] / pars.balBin[bin].count, 120 / 255.0, 0.001);

    // Without a region of the caller's, a temporary one does the same work.
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 15, 2, nullptr), 0);
    EXPECT_EQ(BinTotal(pars.balBin), 20 * 12);
}

TEST_F(Sampling, GradientStopsAtTheReferenceDistance) {
    // Grey columns three codes apart: each step is small, but the drift from the clicked
    // colour passes 22/255 (in RGB distance) after four columns: 4 x 3 x sqrt(3) < 22 < 5 x 3 x
    // sqrt(3).
    Image8 img(30, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 30; ++x) img.Set(x, y, 40 + 3 * x, 40 + 3 * x, 40 + 3 * x);
    Region r(30, 5);
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 15, 2, &r.region), 0);
    EXPECT_EQ(r.region.minX, 11);
    EXPECT_EQ(r.region.maxX, 19);
    EXPECT_EQ(r.Count(), 9 * 5);

    // A step of 10 codes per channel is too large even next to the click.
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 30; ++x) img.Set(x, y, 40 + 10 * x, 40 + 10 * x, 40 + 10 * x);
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 15, 2, &r.region), 0);
    EXPECT_EQ(r.region.minX, 15);
    EXPECT_EQ(r.region.maxX, 15);
    EXPECT_EQ(r.Count(), 5);
}

TEST_F(Sampling, SelectionAndArgumentChecks) {
    Image8 img(16, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) img.Set(x, y, 200, 60, 60);
    std::vector<uint8_t> selBits(2 * 8, 0);
    IPMask sel{16, 8, 2, selBits.data(), 17, -1, 9, -1};
    IPMaskSet(&sel, 2, 2);
    Region r(16, 8);
    const EditPars before = pars;

    // Outside the selection: no neutral sample, no error; the hue tool has no hue to take.
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, &sel, 7, 10, 5, &r.region), 0);
    EXPECT_EQ(r.Count(), 0);
    EXPECT_EQ(r.region.maxX, -1);
    EXPECT_EQ(BinTotal(pars.balBin), 0);
    EXPECT_EQ(pars.balCurveValid, 1);
    int32_t active = 0;
    EXPECT_EQ(HgAddHueSample(&pars, &img.image, &sel, &active, 7, 10, 5, &r.region), -1);
    EXPECT_EQ(std::memcmp(pars.hue, before.hue, sizeof pars.hue), 0);

    // Inside it the region grows past the selection's edge.
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, &sel, 7, 2, 2, &r.region), 0);
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
    const int w = 400, h = 400;
    Image8 img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.Set(x, y, 90, 90, 90);
    Region r(w, h);
    ASSERT_EQ(HgAddNeutralSample(&pars, &img.image, nullptr, 7, 200, 200, &r.region), 0);
    int n = r.Count();
    EXPECT_GT(n, 1000);
    EXPECT_LT(n, w * h);
    EXPECT_EQ(BinTotal(pars.balBin), n);
    EXPECT_TRUE(r.At(200, 200));
}

TEST_F(Sampling, HueSampleOnGreyIsRefused) {
    Image8 img(10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) img.Set(x, y, 130, 128, 126);
    const EditPars before = pars;
    int32_t active = 2;
    EXPECT_EQ(HgAddHueSample(&pars, &img.image, nullptr, &active, 7, 5, 5, nullptr), -1);
    EXPECT_EQ(active, 2);
    EXPECT_EQ(std::memcmp(pars.hue, before.hue, sizeof pars.hue), 0);
}

TEST_F(Sampling, HueSampleMovesHandleAndSpacesTheRing) {
    // A yellow-orange at hue 58: handle 0 (id 0 by index) is moved there and lands next to
    // handle 1 at 60, which is pushed 5 degrees on.
    Image8 img(8, 8);
    float rgb[3];
    const float hcl[3] = {58.0f / 360.0f, 0.5f, 0.5f};
    ASSERT_EQ(HgHueToRgb(hcl, rgb, kHgHueChroma), 0);
    int r = int(rgb[0] * 255 + 0.5f), g = int(rgb[1] * 255 + 0.5f), b = int(rgb[2] * 255 + 0.5f);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) img.Set(x, y, r, g, b);
    float q[3], hq[3] = {r / 255.0f, g / 255.0f, b / 255.0f};
    ASSERT_EQ(HgRgbToHue(hq, q, kHgHueChroma), 0);
    const float sampled = q[0] * 360.0f;

    int32_t active = 0;
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
    const float hcl2[3] = {150.0f / 360.0f, 0.6f, 0.5f};
    ASSERT_EQ(HgHueToRgb(hcl2, rgb, kHgHueChroma), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            img.Set(x, y, int(rgb[0] * 255 + 0.5f), int(rgb[1] * 255 + 0.5f),
                    int(rgb[2] * 255 + 0.5f));
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

float Gap(float from, float to) {
    float g = to - from;
    return g < 0 ? g + 360 : g;
}

TEST_F(Sampling, PlaceHandlesSortsAndSpaces) {
    // Backward spacing from the handle in hand; the record keeps its bins through the sort.
    pars.hue[1].baseHue = 118.0f;
    pars.hue[1].hueBin[3].count = 7;
    ASSERT_EQ(HgPlaceHandles(&pars, 2), 0);
    EXPECT_EQ(pars.hue[2].baseHue, 120.0f);
    EXPECT_EQ(pars.hue[1].baseHue, 115.0f);
    EXPECT_EQ(pars.hue[1].hueBin[3].count, 7);

    // After positions crossed: handle 0's After passes handle 1's; it is turned back.
    NeutralPars(&pars);
    pars.hue[0].hueShift = 75.0f;  // After 75, beyond handle 1's 60
    ASSERT_EQ(HgPlaceHandles(&pars, 0), 0);
    float after[6];
    for (int i = 0; i < 6; ++i) after[i] = std::fmod(pars.hue[i].baseHue + pars.hue[i].hueShift, 360.0f);
    float sum = 0;
    for (int i = 0; i < 6; ++i) {
        float g = Gap(after[i], after[(i + 1) % 6]);
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

// Files n samples of one colour into a handle's bins.
void AddSamples(HueHandle* h, const float hcl[3], int n) {
    float rgb[3];
    ASSERT_EQ(HgHueToRgb(hcl, rgb, kHgHueChroma), 0);
    for (int i = 0; i < n; ++i) ASSERT_EQ(HgAddBalanceSample(h->hueBin, rgb), 0);
}

TEST_F(Sampling, MemoryColourOfAHandle) {
    float chroma = 0, hue = 0, slope = 0;
    EXPECT_EQ(HgMemoryColourFromHandle(&pars, 0, &chroma, &hue, &slope), -1);  // no samples
    EXPECT_EQ(HgApplyMemoryColour(&pars, 0, 40, 50, 0), -1);
    EXPECT_EQ(HgMemoryColourFromHandle(&pars, 42, &chroma, &hue, &slope), -1);

    // Skin-like samples at two lightnesses.
    const float dark[3] = {25.0f / 360.0f, 0.25f, 0.4f}, light[3] = {30.0f / 360.0f, 0.2f, 0.7f};
    AddSamples(&pars.hue[0], dark, 5);
    AddSamples(&pars.hue[0], light, 5);
    ASSERT_EQ(HgMemoryColourFromHandle(&pars, 0, &chroma, &hue, &slope), 0);
    EXPECT_GT(chroma, 0.0f);
    EXPECT_TRUE(hue >= 0.0f && hue < 90.0f) << hue;  // an orange in LCh

    // Applying the handle's own memory colour changes little; a memory colour of a larger hue
    // turns the After position forward.
    EditPars own = pars;
    ASSERT_EQ(HgApplyMemoryColour(&own, 0, chroma, hue, slope), 0);
    float shift = own.hue[0].hueShift > 180 ? own.hue[0].hueShift - 360 : own.hue[0].hueShift;
    EXPECT_LT(std::fabs(shift), 3.0f);
    EXPECT_NEAR(own.hue[0].saturation, 0.5f, 0.05f);
    EditPars turned = pars;
    ASSERT_EQ(HgApplyMemoryColour(&turned, 0, chroma, hue + 30.0f, slope), 0);
    float turnedShift = turned.hue[0].hueShift > 180 ? turned.hue[0].hueShift - 360
                                                     : turned.hue[0].hueShift;
    EXPECT_GT(turnedShift, shift + 3.0f);
    EXPECT_LT(turnedShift, 30.0f);  // only half the way
    EditPars richer = pars;
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
