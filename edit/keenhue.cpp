// The automatic settings; see keenhue.h.
#include "edit/keenhue.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "edit/hue_peaks.h"
#include "edit/keenhue_grey.h"
#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "engine/hue_space.h"
#include "engine/huegrid_build.h"
#include "engine/luma.h"
#include "engine/sampling.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/work_pool.h"

namespace {

constexpr KhBalanceTuning kBuiltInTuning = {0.005f, 0.95f, 0.25f, 1.0f};
KhBalanceTuning gTuning = kBuiltInTuning;

constexpr int32_t kHueTab = 3;

// The groups each step sees the image through: everything to the left of its own.
constexpr int32_t kBeforeBalance = kEditLinear;
constexpr int32_t kBeforePoints = kEditLinear | kEditBalance;
constexpr int32_t kBeforeBrightness =
    kBeforePoints | kEditBlackPoint | kEditGrayPoint | kEditWhitePoint;
constexpr int32_t kBeforeSaturation =
    kBeforeBrightness | kEditBrightness | kEditShadow | kEditHighlight | kEditContrast;
constexpr int32_t kBeforeHues = kBeforeSaturation | kEditSaturation;
constexpr int32_t kPointBits = kEditBlackPoint | kEditGrayPoint | kEditWhitePoint;

// Two 8-bit codes: the spread between the channels of a grey that quantisation and noise alone
// can make.
constexpr float kKhQuantisation = 2.0f / 255.0f;

// 18.4% grey: a median luma of k / 255 reads as the gamma that maps it there.
constexpr double kMidGrey = 0.184186519;

// A temporary transform, freed with its holder.
struct TempGrid {
    Huegrid* grid = nullptr;
    TempGrid() = default;
    TempGrid(const TempGrid&) = delete;
    TempGrid& operator=(const TempGrid&) = delete;
    ~TempGrid() { HgFree(grid); }
};

// What every step checks before it measures.
int32_t CheckStep(const EditState* s, const IPImage* image) {
    if (s == nullptr || !IPImageValid(image) || image->channels < 3) return kStatusProblem;
    if (!(0 <= s->gridLevel && s->gridLevel <= kHgQualityMax)) return kStatusProblem;
    return HgCheckPars(&s->editPars);
}

const IPMask* Region(const EditState* s) {
    return s->analysisMask.bits != nullptr ? &s->analysisMask : nullptr;
}

// The Huegrid of the groups in mask that change anything; none when none do, so that the
// measurement reads the image directly.
int32_t BuildBefore(EditState* s, const IPImage* image, int32_t mask, TempGrid* out) {
    int32_t trimmed = mask;
    int32_t status = HgTrimMask(&s->editPars, &trimmed);
    if (status != kStatusOk || trimmed == 0) return status;
    return HgBuild(&s->editPars, trimmed, s->gridLevel, image->bytesPerSample, &out->grid);
}

// Checks a step's inputs and builds the transform of the groups before it.
int32_t BeginStep(EditState* s, const IPImage* image, int32_t mask, TempGrid* before) {
    int32_t status = CheckStep(s, image);
    if (status != kStatusOk) return status;
    return BuildBefore(s, image, mask, before);
}

double Smoothstep(double x) {
    return (3.0 - 2.0 * x) * x * x;
}

// The colour-balance measurements: histograms of each pixel's largest channel and of the distance
// of its geometric mean to full scale, then the pixels of each end. Each end counts only the pixels
// it can admit: a clipped channel has lost the colour it had, so a pixel with a channel at 0 never
// joins the dark set and one with a channel at full scale never the light set. Were the tails
// counted over every pixel, a cast, a white background or a specular highlight that clips more
// than the tail fraction would leave an end with no pixel to take.
struct BalanceScan {
    uint32_t dark[256];
    uint32_t light[256];
    uint64_t visited;  // pixels the walk visited
    uint64_t darkTotal, lightTotal;
    int32_t darkThreshold, lightThreshold;
    // Eight times the least product of the channels a pixel of the light end has: the light end
    // is the pixels whose geometric mean reaches 255 - lightThreshold, and comparing the product
    // with the cube of that code's lower edge says so without ranking every pixel.
    int64_t lightProduct;
    int64_t darkSet, lightSet, whiteSet;  // pixels within each end
    // Every pixel of an end's set, filed by luma as a neutral sample is.
    SampleBin darkBins[kEditBinCount], lightBins[kEditBinCount], whiteBins[kEditBinCount];
};

// The three kinds of pixel the balance may take a neutral from: the darkest and the lightest
// unclipped ones, and a clipped white.
enum BalanceEnd : int { kEndDark = 0, kEndLight = 1, kEndWhite = 2 };

// Eight times the cube of each code's upper edge, (2k + 1)^3.
struct CubeEdges {
    int64_t edge[256];
    constexpr CubeEdges() : edge() {
        for (int64_t k = 0; k < 256; ++k) edge[k] = (2 * k + 1) * (2 * k + 1) * (2 * k + 1);
    }
};
constexpr CubeEdges kCubeEdges;

// How light a pixel is at the light end: the geometric mean of its channels, rounded to a code. A
// cast multiplies the channels (in linear light, and near enough in encoded values), so it
// multiplies every pixel's product of channels by the same factor and keeps their order: the light
// end is the same pixels whatever the cast, as long as none clips. Ranked by their smallest channel
// instead, a cast that raises blue promotes the yellowish pixels, whose smallest channel is blue,
// and the light end becomes another surface with each cast. Found among the cubes of the codes'
// edges, (k + 1/2)^3, in integers: exact, and a cube root per pixel made the whole automatic
// correction half as slow again. The search takes eight steps that do not branch on the pixel:
// every pixel of the analysis image is ranked, and a search that branches on each comparison has
// the processor guess, and often miss, at every step. Once the light end's threshold is known, its
// members are told by their product alone (InLightSet). The dark end keeps its largest
// channel: ranked by the geometric mean, a deep colour with one channel near 0 would count as dark.
int32_t GeometricMean(const int32_t rgb[3]) {
    const int64_t eightfold = 8 * int64_t(rgb[0]) * rgb[1] * rgb[2];
    int32_t k = 0;
    for (int32_t step = 128; step > 0; step /= 2) {
        k += kCubeEdges.edge[k + step - 1] <= eightfold ? step : 0;
    }
    return k;
}

bool InDarkSet(const BalanceScan& scan, const int32_t rgb[3]) {
    return Num_Min3(rgb[0], rgb[1], rgb[2]) > 0 &&
           Num_Max3(rgb[0], rgb[1], rgb[2]) <= scan.darkThreshold;
}
bool InLightSet(const BalanceScan& scan, const int32_t rgb[3]) {
    return Num_Max3(rgb[0], rgb[1], rgb[2]) < 255 &&
           8 * int64_t(rgb[0]) * rgb[1] * rgb[2] >= scan.lightProduct;
}
// The least eightfold product of a pixel whose geometric mean rounds to at least `code`: the
// cube of the code's lower edge, (2 code - 1)^3 (none for code 0).
int64_t LeastProduct(int32_t code) {
    return code > 0 ? kCubeEdges.edge[code - 1] : 0;
}
// A clipped white: one or two channels at full scale and the others close to them, what a white
// (a background, a lit wall, paper) becomes when a cast pushes part of it past full scale. The
// channels that did not clip still say how far the cast lowered them; a pixel with every channel
// at full scale says nothing about the cast and is no member.
bool InWhiteSet(const int32_t rgb[3]) {
    const int32_t mn = Num_Min3(rgb[0], rgb[1], rgb[2]);
    if (!(Num_Max3(rgb[0], rgb[1], rgb[2]) == 255 && mn < 255)) return false;
    const float spread = float(255 - mn) / 255.0f - kKhQuantisation;
    return spread < kKhBalanceChromaLimit;
}
bool InEnd(const BalanceScan& scan, int end, const int32_t rgb[3]) {
    if (end == kEndDark) return InDarkSet(scan, rgb);
    if (end == kEndLight) return InLightSet(scan, rgb);
    return InWhiteSet(rgb);
}

// What CountExtremes counts: a part of a BalanceScan, one per band of rows when the walk runs on
// threads, added up afterwards.
struct ExtremeCounts {
    uint32_t dark[256];
    uint32_t light[256];
    uint64_t visited;
    uint64_t darkTotal, lightTotal;
};

void CountExtremes(void* context, int32_t, int32_t, const int32_t rgb[3]) {
    auto* scan = static_cast<ExtremeCounts*>(context);
    ++scan->visited;
    const int32_t mx = Num_Max3(rgb[0], rgb[1], rgb[2]), mn = Num_Min3(rgb[0], rgb[1], rgb[2]);
    if (mn > 0) {
        ++scan->dark[mx];
        ++scan->darkTotal;
    }
    if (mx < 255) {
        ++scan->light[255 - GeometricMean(rgb)];
        ++scan->lightTotal;
    }
}

void CollectExtremes(void* context, int32_t, int32_t, const int32_t rgb[3]) {
    auto* scan = static_cast<BalanceScan*>(context);
    const bool dark = InDarkSet(*scan, rgb), light = InLightSet(*scan, rgb);
    const bool white = InWhiteSet(rgb);
    if (!dark && !light && !white) return;  // most pixels: no colour to work out
    const float colour[3] = {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f};
    if (dark) {
        HgAddBalanceSample(scan->darkBins, colour);
        ++scan->darkSet;
    }
    if (light) {
        HgAddBalanceSample(scan->lightBins, colour);
        ++scan->lightSet;
    }
    if (white) {
        HgAddBalanceSample(scan->whiteBins, colour);
        ++scan->whiteSet;
    }
}

// The chroma of a colour (largest minus smallest component) and its relative chroma. A cast
// multiplies the channels, so a neutral under a cast keeps the ratio of its channels at every
// lightness while its chroma shrinks towards black: judged by chroma alone, every dark colour
// would pass. Two codes of the spread are what 8-bit quantisation and noise can make of a grey.
void Colourfulness(const float rgb[3], float* chroma, float* relative) {
    *chroma = 1.0f;
    *relative = 1.0f;
    float hcl[3];
    if (HgRgbToHue(rgb, hcl, kHgHueChroma) != kStatusOk) return;
    *chroma = hcl[1];
    const float largest = hcl[1] + std::fmin(rgb[0], std::fmin(rgb[1], rgb[2]));
    const float excess = std::fmax(0.0f, hcl[1] - kKhQuantisation);
    *relative = largest > 0.0f ? excess / largest : 0.0f;
}

// The mean colour of a set of bins and its pixel count.
int64_t BinsMean(const SampleBin bins[kEditBinCount], float mean[3]) {
    double sum[3] = {0, 0, 0};
    int64_t count = 0;
    for (int k = 0; k < kEditBinCount; ++k) {
        count += bins[k].count;
        for (int c = 0; c < 3; ++c) sum[c] += bins[k].sum[c];
    }
    for (int c = 0; c < 3; ++c) mean[c] = count > 0 ? float(sum[c] / double(count)) : 0.0f;
    return count;
}

void AddBins(SampleBin to[kEditBinCount], const SampleBin from[kEditBinCount]) {
    for (int k = 0; k < kEditBinCount; ++k) {
        for (int c = 0; c < 3; ++c) to[k].sum[c] += from[k].sum[c];
        to[k].count += from[k].count;
    }
}

int64_t BinsCount(const SampleBin bins[kEditBinCount]) {
    int64_t count = 0;
    for (int k = 0; k < kEditBinCount; ++k) count += bins[k].count;
    return count;
}

// The colour whose channel the increasing curve sends to y: the table's inverse, linear between
// its entries, clamped to 0..1.
float InverseCurve(const float table[kEditCurveSize], float y) {
    if (!(y > table[0])) return 0.0f;
    if (y >= table[kEditCurveSize - 1]) return 1.0f;
    int32_t lo = 0, hi = kEditCurveSize - 1;  // table[lo] < y <= table[hi]
    while (hi - lo > 1) {
        const int32_t mid = (lo + hi) / 2;
        if (table[mid] < y) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    const float t = (y - table[lo]) / (table[hi] - table[lo]);
    return (float(lo) + t) / float(kEditCurveSize - 1);
}

// The samples of a balance that lies between the balances of two sets of samples, a weighing wa
// and b the rest. Blending the samples themselves would not do: they mostly lie in different
// bins (the ends at the extremes, the grey pixels in between), and the curves honour every bin
// whatever its weight in the fit. So each set's balance is fitted on its own, and in every bin
// either holds, the colour each balance sends to the grey of the bin's level is found by
// inverting its curves; the sample is the mix of the two. At every tone the result takes the
// grey that each guess believes in, by its weight.
int32_t BlendBalances(const EditPars& model, const SampleBin a[kEditBinCount], int64_t countA,
                      float wa, const SampleBin b[kEditBinCount], int64_t countB,
                      SampleBin out[kEditBinCount]) {
    MemBlock<EditPars> side;
    if (!side.Allocate(2)) return kStatusNoMemory;
    const SampleBin* sides[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        EditPars& q = side.get()[i];
        q = model;
        for (float& v : q.neutralTarget) v = 0.0f;
        for (int k = 0; k < kEditBinCount; ++k) q.balBin[k] = sides[i][k];
        q.balCurveValid = 0;
        const int32_t status = HgBuildBalance(&q);
        if (status != kStatusOk) return status;
    }
    const double total = double(countA + countB);
    const double scaleA = total * double(wa) / double(countA);
    const double scaleB = total * (1.0 - double(wa)) / double(countB);
    for (int k = 0; k < kEditBinCount; ++k) {
        out[k] = SampleBin{};
        const int32_t together = a[k].count + b[k].count;
        if (together <= 0) continue;
        float mean[3];
        for (int c = 0; c < 3; ++c) mean[c] = float((double(a[k].sum[c]) + b[k].sum[c]) / together);
        const float level = HgLuma(mean);
        const double count =
            std::max(1.0, std::floor(scaleA * a[k].count + scaleB * b[k].count + 0.5));
        for (int c = 0; c < 3; ++c) {
            const double fromA = InverseCurve(side.get()[0].balCurve[c], level);
            const double fromB = InverseCurve(side.get()[1].balCurve[c], level);
            out[k].sum[c] = float(count * (wa * fromA + (1.0 - wa) * fromB));
        }
        out[k].count = int32_t(std::min(count, double(INT32_MAX)));
    }
    return kStatusOk;
}

// Fills what one end of the scan found from its bins; chroma 1 (no neutral) for an empty set.
void DescribeEnd(uint64_t admitted, int32_t threshold, const SampleBin bins[kEditBinCount],
                 KhBalanceEnd* end) {
    *end = KhBalanceEnd{};
    end->admitted = admitted;
    end->threshold = threshold;
    end->chroma = 1.0f;
    end->relativeChroma = 1.0f;
    end->count = uint64_t(BinsMean(bins, end->average));
    if (end->count > 0) Colourfulness(end->average, &end->chroma, &end->relativeChroma);
}

// Grows, as a click would, a region from every pixel of one end's set that no earlier region
// took, and keeps the one that holds the most pixels of the set: the surface that most of the
// end lies on (a white wall, a background, a dark coat), which is what a user would mark.
// Neither the end's single most extreme pixel (often a speck of noise, or the least cast pixel
// of a cast surface) nor the specks of the tail stand for the end. Regions are ranked by the set
// pixels they hold, not by their size: a region grown from a pixel at the edge of the tail can
// spread over a large, darker (or lighter) surface that is not the end at all, and would then
// outweigh the surface the end really lies on. Visited in the walk's order; the first of equal
// regions is kept.
struct EndGrowth {
    const BalanceScan* scan;
    int end;
    const IPImage* image;
    const Huegrid* transform;
    IPRegion* region;
    HgGrowStack* stack;
    uint32_t* setPixels;  // the end's set pixels no region holds yet, each as y << 16 | x
    int64_t setCapacity, setCount;
    SampleBin bins[kEditBinCount];  // the region being grown
    int64_t largestHeld;            // set pixels in the region holding most of them so far
    int32_t largestX, largestY;     // the pixel it was grown from
};

bool BitOf(const uint8_t* bits, int32_t rowBytes, int32_t x, int32_t y) {
    return (bits[int64_t(y) * rowBytes + x / 8] >> (x % 8)) & 1;
}
void SetBit(uint8_t* bits, int32_t rowBytes, int32_t x, int32_t y) {
    bits[int64_t(y) * rowBytes + x / 8] |= uint8_t(1u << (x % 8));
}

// Grows a region from (x, y), as a click would, adding it to the region's bits; bins receive
// the region's pixels.
int32_t GrowFrom(const IPImage* image, const Huegrid* transform, int32_t x, int32_t y,
                 IPRegion* region, HgGrowStack* stack, SampleBin bins[kEditBinCount]) {
    float seed[3];
    int32_t status = HgPixelThrough(image, transform, x, y, seed, nullptr);
    if (status != kStatusOk) return status;
    SetBit(region->bits, region->rowBytes, x, y);
    Mem_Fill(bins, 0, sizeof(SampleBin) * kEditBinCount);
    HgAddBalanceSample(bins, seed);
    HgGrowPush(stack, seed, x, y - 1, kHgGrowUp);
    HgGrowPush(stack, seed, x, y + 1, kHgGrowDown);
    HgGrowPush(stack, seed, x + 1, y, kHgGrowRight);
    HgGrowPush(stack, seed, x - 1, y, kHgGrowLeft);
    return HgGrowRegion(image, bins, transform, region, stack);
}

// Lists the end's set; positions fit 16 bits, as the growth's do.
void ListSet(void* context, int32_t x, int32_t y, const int32_t rgb[3]) {
    auto* g = static_cast<EndGrowth*>(context);
    if (!InEnd(*g->scan, g->end, rgb)) return;
    if (g->setCount < g->setCapacity) g->setPixels[g->setCount++] = uint32_t(y) << 16 | uint32_t(x);
}

// Grows a region from each set pixel that no earlier region took, in the walk's order. The list
// holds the walk's set pixels in that order and loses those of each region grown, so its first
// pixel is always the next one to grow from: no second walk over the image is needed.
int32_t GrowFromList(EndGrowth* g) {
    IPRegion* r = g->region;
    // Once the largest region holds as many set pixels as are left, no later one can hold more.
    while (g->setCount > g->largestHeld) {
        const uint32_t from = g->setPixels[0];
        const int32_t x = int32_t(from & 0xFFFFu), y = int32_t(from >> 16);
        int32_t status = GrowFrom(g->image, g->transform, x, y, r, g->stack, g->bins);
        if (status != kStatusOk) return status;
        // The set pixels the new region holds are those of the list it now covers (its first
        // among them); they leave the list, so each is counted once however many regions grow.
        int64_t held = 0, kept = 0;
        for (int64_t i = 0; i < g->setCount; ++i) {
            const uint32_t at = g->setPixels[i];
            if (BitOf(r->bits, r->rowBytes, int32_t(at & 0xFFFFu), int32_t(at >> 16))) {
                ++held;
            } else {
                g->setPixels[kept++] = at;
            }
        }
        g->setCount = kept;
        if (held > g->largestHeld) {
            g->largestHeld = held;
            g->largestX = x;
            g->largestY = y;
        }
    }
    return kStatusOk;
}

// What of the winning region becomes the sample, filed by luma. Of a clipped white, its
// clipped-white pixels: the shading around a white surface that the region takes in is not
// clipped white and would only blur what the white says. Of the dark and the light end, the
// region's interior: a pixel at its edge mixes the surface with what borders it (a dark coat
// with the skin beside it, a white wall with the shadow of a thing before it), and though such
// pixels are few, they fall in luma bins of their own, which the balance curves weigh as much as
// the bins the surface fills. The edge of the picture is no edge of a surface.
struct RegionSample {
    const IPRegion* region;
    int end;
    SampleBin bins[kEditBinCount];
};

bool InRegion(const IPRegion* r, int32_t x, int32_t y) {
    return BitOf(r->bits, r->rowBytes, x, y);
}
bool AtRegionEdge(const IPRegion* r, int32_t x, int32_t y) {
    return (x > 0 && !InRegion(r, x - 1, y)) || (x + 1 < r->width && !InRegion(r, x + 1, y)) ||
           (y > 0 && !InRegion(r, x, y - 1)) || (y + 1 < r->height && !InRegion(r, x, y + 1));
}

void CollectSample(void* context, int32_t x, int32_t y, const int32_t rgb[3]) {
    auto* r = static_cast<RegionSample*>(context);
    if (!InRegion(r->region, x, y)) return;
    if (r->end == kEndWhite ? !InWhiteSet(rgb) : AtRegionEdge(r->region, x, y)) return;
    const float colour[3] = {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f};
    HgAddBalanceSample(r->bins, colour);
}

// Grows regions from the set of one end, keeps the one holding most of the set, and files its
// sample into bins (cleared first): the interior of a dark or light surface, the clipped-white
// pixels of a clipped white.
int32_t SampleEnd(EditState* s, const IPImage* image, const Huegrid* transform,
                  const BalanceScan& scan, int end, int64_t setSize, IPRegion* region,
                  HgGrowStack* stack, SampleBin bins[kEditBinCount]) {
    Mem_Fill(bins, 0, sizeof(SampleBin) * kEditBinCount);
    const uint32_t bytes = uint32_t(region->rowBytes) * uint32_t(region->height);
    Mem_Fill(region->bits, 0, bytes);
    MemBlock<uint32_t> setPixels;
    if (!setPixels.Allocate(uint32_t(setSize > 0 ? setSize : 1))) return kStatusNoMemory;
    EndGrowth growth{&scan,   end, image, transform, region, stack, setPixels.get(),
                     setSize, 0,   {},    0,         0,      0};
    int32_t status = HgWalkPixels(image, Region(s), s->gridLevel, transform, ListSet, &growth);
    if (status == kStatusOk) status = GrowFromList(&growth);
    if (status != kStatusOk || growth.largestHeld == 0) return status;
    // A dark end whose largest surface holds little of it is scattered specks: noise and
    // compression, which are largest against the few codes of a dark colour, or the gaps of a
    // structure against the sky. They say nothing of the light, so there is no neutral. The
    // light end keeps its specks: the lightest pixels are often highlights, which reflect the
    // light's own colour.
    if (end == kEndDark && double(growth.largestHeld) < kKhDarkSurface * double(setSize)) {
        return kStatusOk;
    }
    // The winning region again, alone, to pick out its sample.
    Mem_Fill(region->bits, 0, bytes);
    status =
        GrowFrom(image, transform, growth.largestX, growth.largestY, region, stack, growth.bins);
    if (status != kStatusOk) return status;
    RegionSample kept{region, end, {}};
    status = HgWalkPixels(image, Region(s), s->gridLevel, transform, CollectSample, &kept);
    if (status != kStatusOk) return status;
    if (end != kEndWhite) {
        Mem_Copy(bins, kept.bins, sizeof kept.bins);
        return kStatusOk;
    }
    // One surface, one sample, in the top bin. Every pixel says the same of the clipped channel
    // (at least full scale): filed by their own lumas, the white would ask that one value to
    // become a different grey in each bin its shading spans, and filed in any bin but the top
    // one, it would contend with the anchor that keeps full scale in place. The curves, unable to
    // do both, would leave the white itself tinted. A clipped white is the top of the range.
    SampleBin& bin = bins[kEditBinCount - 1];
    for (int k = 0; k < kEditBinCount; ++k) {
        for (int c = 0; c < 3; ++c) bin.sum[c] += kept.bins[k].sum[c];
        bin.count += kept.bins[k].count;
    }
    return kStatusOk;
}

// ln R - ln G and ln B - ln G of a colour with no channel at 0 (else 0, 0).
void LogChromaticity(const float rgb[3], float out[2]) {
    out[0] = out[1] = 0.0f;
    if (!(rgb[0] > 0.0f && rgb[1] > 0.0f && rgb[2] > 0.0f)) return;
    out[0] = std::log(rgb[0] / rgb[1]);
    out[1] = std::log(rgb[2] / rgb[1]);
}

float Distance(const float a[2], const float b[2]) {
    return std::hypot(a[0] - b[0], a[1] - b[1]);
}

float Ramp(float x, float lo, float hi) {
    if (!(hi > lo)) return x >= hi ? 1.0f : 0.0f;
    const float t = (x - lo) / (hi - lo);
    return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
}

// Which of the neutrals found become samples, and how far the balance is trusted. Every test
// compares colours of the same image with each other, or counts its pixels, so a cast, which
// moves every colour alike, leaves the outcome as it was.
// - A clipped white that is the backdrop (kKhWhiteBackdrop of the image) is the neutral: a product
//   shot on white has few grey pixels, mostly at the edges of coloured things. The share is
//   larger than the tenth that decides between the light end and the clipped white: a cast that
//   clips the highlights on water or snow makes them a tenth of the picture, never a quarter.
//   A light end as large is the same backdrop before a cast clipped it; both are noted
//   (t->backdrop) for the white point, which keeps a backdrop white.
// - Otherwise two guesses are weighed. The grey pixels' crowd, with the ends whose colour lies
//   within kKhAgreement of it: they carry it to the lightest and darkest tones, where a cast with
//   a black or white offset differs most; ends farther away are coloured surfaces (a sky, a
//   lamp-lit wall, a dark coat). Its trust falls as the crowd's colour dominates the picture
//   (tuning.dominanceLow .. 1). And the ends alone, the guess of a smooth scene with too little
//   texture for grey pixels; a dark end then needs a light one to agree with it, since the
//   darkest surface of a photograph is often a deep colour that the chroma limit, lenient where
//   a few codes are all there is, lets through.
// - The crowd's weight rises with the share of grey pixels that agree, from none at half of
//   tuning.greyEvidence to all at twice it. A step at one share made a photograph whose share
//   lies near it switch guesses from one cast to the next; on a ramp its copies move together.
struct Decision {
    bool withCrowd[3];      // ends that join the crowd
    bool alone[3];          // ends that make the guess without it
    float crowdWeight;      // 0..1: the crowd's side of the balance
    float crowdConfidence;  // how far its side is trusted
    float aloneConfidence;  // the same for the ends' side: 1 when an end stands, else 0
};

Decision Decide(KhBalanceTrace* t, const KhBalanceTuning& tuning, uint64_t visited) {
    Decision d{};
    KhBalanceEnd* ends[3] = {&t->dark, &t->light, &t->white};
    auto covers = [visited](const KhBalanceEnd& end) {
        return end.taken && double(end.sampledPixels) >= kKhWhiteBackdrop * double(visited);
    };
    t->backdrop = covers(t->white) || covers(t->light);
    if (!t->backdrop && t->grey.crowd > 0) {
        d.crowdWeight = Ramp(t->grey.share, 0.5f * tuning.greyEvidence, 2.0f * tuning.greyEvidence);
    }
    if (d.crowdWeight > 0.0f) {
        for (int e = 0; e < 3; ++e) {
            d.withCrowd[e] =
                ends[e]->taken && Distance(ends[e]->logChroma, t->grey.mode) <= kKhAgreement;
        }
        d.crowdConfidence = 1.0f - Ramp(t->grey.dominance, tuning.dominanceLow, 1.0f);
    }
    for (int e = 0; e < 3; ++e) d.alone[e] = ends[e]->taken;
    if (d.alone[kEndDark]) {
        const KhBalanceEnd* light =
            t->light.taken ? &t->light : (t->white.taken ? &t->white : nullptr);
        if (light == nullptr || Distance(t->dark.logChroma, light->logChroma) > kKhAgreement) {
            d.alone[kEndDark] = false;
        }
    }
    if (d.crowdWeight >= 1.0f) {
        for (bool& a : d.alone) a = false;
    }
    if (d.alone[kEndDark] || d.alone[kEndLight] || d.alone[kEndWhite]) d.aloneConfidence = 1.0f;
    // The trace: an end that neither side uses was dropped as disagreeing.
    t->greyTaken = d.crowdWeight > 0.0f;
    t->crowdWeight = d.crowdWeight;
    for (int e = 0; e < 3; ++e) {
        if (ends[e]->taken && !d.withCrowd[e] && !d.alone[e]) {
            ends[e]->taken = false;
            ends[e]->vetoed = true;
        }
    }
    return d;
}

// Moves every sample of the bins towards the grey of its own luma by 1 - confidence: the balance
// curves then remove that fraction of the cast. Luma is linear in the channels, so moving the
// bins' sums moves each sample.
void ShrinkTowardsGrey(SampleBin bins[kEditBinCount], float confidence) {
    for (int k = 0; k < kEditBinCount; ++k) {
        SampleBin& b = bins[k];
        const float luma = HgLuma(b.sum);
        for (float& v : b.sum) v = luma + confidence * (v - luma);
    }
}

}  // namespace

KhBalanceTuning KhBuiltInTuning() {
    return kBuiltInTuning;
}
KhBalanceTuning KhCurrentTuning() {
    return gTuning;
}
void KhSetBalanceTuning(const KhBalanceTuning& tuning) {
    gTuning = tuning;
}

uint64_t KhTailCount(uint64_t total, double fraction) {
    return uint64_t(std::llround(double(total) * fraction));
}

int32_t KhBinReaching(const uint32_t* hist, int32_t n, uint64_t target) {
    uint64_t running = 0;
    for (int32_t i = 0; i < n; ++i) {
        running += hist[i];
        if (running >= target) return i;
    }
    return n - 1;
}

int32_t KhBinsTaken(const uint32_t* hist, int32_t n, uint64_t target, bool fromTop) {
    uint64_t running = 0;
    int32_t taken = 0;
    while (running < target && taken < n) {
        running += hist[fromTop ? n - 1 - taken : taken];
        ++taken;
    }
    return taken;
}

int32_t KhLinear(EditState* s, const IPImage* image) {
    int32_t status = CheckStep(s, image);
    if (status != kStatusOk) return status;
    // Linear data is offered for 16-bit images only: 8 bits are too few to hold it.
    if (s->bitsPerChannel != 16) return kStatusOk;
    uint32_t hist[256];
    status = HgLumaHistogram(image, Region(s), s->gridLevel, nullptr, hist);
    if (status != kStatusOk) return status;
    uint64_t total = 0;
    for (uint32_t count : hist) total += count;
    // No pixel measured (a small selection the sampling grid misses) says nothing either way.
    if (total == 0) return kStatusOk;
    // The median: the first bin where the running count reaches half the total.
    uint64_t running = 0;
    int32_t k = 0;
    for (; k < 256; ++k) {
        running += hist[k];
        if (2 * running >= total) break;
    }
    k = k < 1 ? 1 : (k > 254 ? 254 : k);
    const double gamma = std::log(kMidGrey) / std::log(k / 255.0);
    s->editPars.linear = gamma <= kKhLinearGammaLimit ? 1 : 0;
    return kStatusOk;
}

namespace {

// The first walk of the colour balance: the counts of every band of the pool's threads, added
// into scan.
int32_t CountBalanceExtremes(EditState* s, const IPImage* image, const Huegrid* before,
                             WorkPool* pool, BalanceScan* scan) {
    const int32_t bands = WorkPoolThreads(pool);
    MemBlock<ExtremeCounts> counts;
    if (!counts.Allocate(uint32_t(bands))) return kStatusNoMemory;
    Mem_Fill(counts.get(), 0, sizeof(ExtremeCounts) * size_t(bands));
    void* contexts[kWorkMaxThreads];
    for (int32_t b = 0; b < bands; ++b) contexts[b] = &counts[size_t(b)];
    const int32_t status =
        HgWalkPixelsInBands(pool, image, Region(s), s->gridLevel, before, CountExtremes, contexts);
    if (status != kStatusOk) return status;
    for (int32_t b = 0; b < bands; ++b) {
        const ExtremeCounts& c = counts[size_t(b)];
        for (int32_t i = 0; i < 256; ++i) {
            scan->dark[i] += c.dark[i];
            scan->light[i] += c.light[i];
        }
        scan->visited += c.visited;
        scan->darkTotal += c.darkTotal;
        scan->lightTotal += c.lightTotal;
    }
    return kStatusOk;
}

}  // namespace

int32_t KhColourBalance(EditState* s, const IPImage* image, KhBalanceTrace* trace, WorkPool* pool) {
    int32_t status = CheckStep(s, image);
    if (status != kStatusOk) return status;
    status = ResetEditStatePars(s, kEditBalance);
    if (status != kStatusOk) return status;
    TempGrid before;
    status = BuildBefore(s, image, kBeforeBalance, &before);
    if (status != kStatusOk) return status;

    BalanceScan scan{};
    status = CountBalanceExtremes(s, image, before.grid, pool, &scan);
    if (status != kStatusOk) return status;
    scan.darkThreshold = KhBinReaching(scan.dark, 256, KhTailCount(scan.darkTotal, kKhBalanceTail));
    scan.lightThreshold =
        KhBinReaching(scan.light, 256, KhTailCount(scan.lightTotal, kKhBalanceTail));
    scan.lightProduct = LeastProduct(255 - scan.lightThreshold);
    status = HgWalkPixels(image, Region(s), s->gridLevel, before.grid, CollectExtremes, &scan);
    if (status != kStatusOk) return status;

    KhBalanceTrace unused;
    KhBalanceTrace* t = trace != nullptr ? trace : &unused;
    DescribeEnd(scan.darkTotal, scan.darkThreshold, scan.darkBins, &t->dark);
    DescribeEnd(scan.lightTotal, scan.lightThreshold, scan.lightBins, &t->light);
    DescribeEnd(scan.visited, 255, scan.whiteBins, &t->white);
    // A clipped white counts only as a surface, not as a few clipped specks: it must hold at
    // least as many pixels as the light tail would.
    if (uint64_t(scan.whiteSet) < KhTailCount(scan.visited, kKhBalanceTail)) t->white.count = 0;

    // At most two neutral samples: the dark end, and the light end or the clipped white. An end
    // that is clearly coloured (a dark red, a bright sky) is not a neutral and sets nothing;
    // neither does one whose largest surface is.
    IPRegion region{image->width, image->height, (image->width + 7) / 8, nullptr, 0, 0, 0, 0};
    MemBlock<uint8_t> bits;
    MemBlock<HgGrowEntry> entries;
    MemBlock<SampleBin> found;  // the samples of the three ends and of the grey pixels
    const uint32_t bytes = uint32_t(region.rowBytes) * uint32_t(region.height);
    if (!bits.Allocate(bytes > 0 ? bytes : 1) || !entries.Allocate(kHgGrowStackEntries) ||
        !found.Allocate(4 * kEditBinCount)) {
        return kStatusNoMemory;
    }
    region.bits = bits.get();
    HgGrowStack stack{entries.get(), 0};
    KhBalanceEnd* const ends[3] = {&t->dark, &t->light, &t->white};
    const int64_t setSizes[3] = {scan.darkSet, scan.lightSet, scan.whiteSet};
    for (int e = kEndDark; e <= kEndWhite; ++e) {
        KhBalanceEnd* end = ends[e];
        if (end->count == 0 || !(end->relativeChroma < kKhBalanceChromaLimit)) continue;
        SampleBin* bins = found.get() + e * kEditBinCount;
        status = SampleEnd(s, image, before.grid, scan, e, setSizes[e], &region, &stack, bins);
        if (status != kStatusOk) return status;
        end->sampledPixels = int32_t(BinsMean(bins, end->sampledAverage));
        float chroma, relative;
        Colourfulness(end->sampledAverage, &chroma, &relative);
        end->taken = end->sampledPixels > 0 && relative < kKhBalanceChromaLimit;
        if (end->taken) LogChromaticity(end->sampledAverage, end->logChroma);
    }
    // The light end and a clipped white are two guesses at the same white. The unclipped light
    // end is the better one when it holds a neutral, since every channel of it is measured,
    // unless the clipped white is a background (then the light end is mostly the shading at its
    // edges, tinted by what surrounds it) or holds as many pixels as the light end's whole set:
    // then a cast clipped the lightest surface (a white cup), and the light end, which takes no
    // clipped pixel, has moved to the next surface down. Specular highlights are smaller.
    if (t->light.taken && t->white.taken) {
        if (double(t->white.sampledPixels) >= kKhWhiteBackground * double(scan.visited) ||
            uint64_t(t->white.sampledPixels) >= t->light.count) {
            t->light.taken = false;
        } else {
            t->white.taken = false;
        }
    }
    // The grey pixels: where a cast cannot choose what is measured.
    SampleBin* greyBins = found.get() + 3 * kEditBinCount;
    status = KhEstimateGrey(image, Region(s), s->gridLevel, before.grid, &t->grey, greyBins);
    if (status != kStatusOk) return status;
    const Decision d = Decide(t, gTuning, scan.visited);

    // Each guess's samples: the crowd's, and the ends that stand alone.
    SampleBin crowdSide[kEditBinCount] = {}, aloneSide[kEditBinCount] = {};
    for (int e = 0; e < 4; ++e) {
        const bool withCrowd = e < 3 ? d.withCrowd[e] : d.crowdWeight > 0.0f;
        const bool alone = e < 3 && d.alone[e];
        const SampleBin* bins = found.get() + e * kEditBinCount;
        if (withCrowd) AddBins(crowdSide, bins);
        if (alone) AddBins(aloneSide, bins);
    }
    const int64_t crowdCount = BinsCount(crowdSide), aloneCount = BinsCount(aloneSide);
    EditPars* p = &s->editPars;
    if (crowdCount > 0 && aloneCount > 0) {
        // Two guesses (none stands alone once the crowd weighs all): each is first moved
        // towards grey by as much as it is not trusted, then they are weighed.
        ShrinkTowardsGrey(crowdSide, d.crowdConfidence);
        ShrinkTowardsGrey(aloneSide, d.aloneConfidence);
        status = BlendBalances(*p, crowdSide, crowdCount, d.crowdWeight, aloneSide, aloneCount,
                               p->balBin);
        if (status != kStatusOk) return status;
        // Weighed as the guesses are; written so that two whole guesses make exactly 1.
        t->confidence = d.aloneConfidence + d.crowdWeight * (d.crowdConfidence - d.aloneConfidence);
    } else {
        // One side alone; without the other, the crowd's weight is how much of it is done.
        if (crowdCount > 0) {
            AddBins(p->balBin, crowdSide);
            t->confidence = d.crowdWeight * d.crowdConfidence;
        } else if (aloneCount > 0) {
            AddBins(p->balBin, aloneSide);
            t->confidence = d.aloneConfidence;
        } else {
            t->confidence = 0.0f;
        }
        if (t->confidence < 1.0f) ShrinkTowardsGrey(p->balBin, t->confidence);
    }
    if (crowdCount > 0 || aloneCount > 0) p->balCurveValid = 0;
    s->balanceConfidence = t->confidence;
    s->backdropLevel = 0.0f;
    status = EditStateDeriveNeutralTarget(s);
    if (status != kStatusOk || !t->backdrop || t->confidence <= 0.0f) return status;
    // Where the balance puts the backdrop. It sends a neutral to the grey of its own luma, and a
    // cast that clipped the backdrop lowered the luma of what is left of it: a white just below
    // full scale in the photograph became a light grey in its cast copy, over most of the
    // picture.
    const KhBalanceEnd& end = t->white.taken ? t->white : t->light;
    float balanced[3];
    status = HgEvalColour(p, kEditBalance, end.sampledAverage, balanced);
    if (status != kStatusOk) return status;
    s->backdropLevel = Num_Clamp01(HgLuma(balanced));
    return kStatusOk;
}

int32_t KhTonePoints(EditState* s, const IPImage* image, int32_t mask) {
    TempGrid before;
    int32_t status = BeginStep(s, image, kBeforePoints, &before);
    if (status != kStatusOk) return status;
    uint32_t hist[256];
    status = HgLumaHistogram(image, Region(s), s->gridLevel, before.grid, hist);
    if (status != kStatusOk) return status;
    uint64_t total = 0;
    for (uint32_t count : hist) total += count;
    const uint64_t tail = KhTailCount(total, kKhPointTail);

    EditPars* p = &s->editPars;
    int32_t b = KhBinsTaken(hist, 256, tail, false);
    int32_t w = 255 - KhBinsTaken(hist, 256, tail, true);
    b = b < 0 ? 0 : (b > 255 ? 255 : b);
    w = w < 0 ? 0 : (w > 255 ? 255 : w);
    const double xb = b / 255.0, xw = w / 255.0;
    const double sb = Smoothstep(xb), sw = Smoothstep(xw);
    // When the two tails meet (an image of one or two tones) there is no range to stretch: the
    // points keep their reset values rather than dividing by zero, or, when the tails cross,
    // turning the image into its negative.
    if (sw > sb) {
        if (mask & kEditBlackPoint) {
            p->blackPoint = Num_Clamp(float(xb + (xw - xb) * (0.0 - sb) / (sw - sb)), 0.0f, 1.0f);
        }
        if (mask & kEditWhitePoint) {
            p->whitePoint = Num_Clamp(float(xb + (xw - xb) * (1.0 - sb) / (sw - sb)), 0.0f, 1.0f);
        }
    }
    if ((mask & kEditGrayPoint) && p->whitePoint > p->blackPoint) {
        int32_t lo = int32_t(p->blackPoint * 255.0f);
        int32_t hi = int32_t(p->whitePoint * 255.0f);
        hi = hi > 255 ? 255 : hi;
        uint64_t inside = 0;
        for (int32_t i = lo; i <= hi; ++i) inside += hist[i];
        int32_t g = lo + KhBinReaching(hist + lo, hi - lo + 1, (inside + 1) / 2);
        g = g < 0 ? 0 : (g > 255 ? 255 : g);
        double relative = (g / 255.0 - p->blackPoint) / (double(p->whitePoint) - p->blackPoint);
        p->grayPoint = Num_Clamp(float((relative + 0.5) * 0.5), 0.0f, 1.0f);
    }
    // Each point moves its tuned share of the way from where it leaves the image unchanged; the
    // white point has a share of its own.
    const float t = gTuning.toneStrength;
    if (mask & kEditBlackPoint) p->blackPoint = t * p->blackPoint;
    if (mask & kEditWhitePoint) {
        p->whitePoint = 1.0f - gTuning.whiteStrength * (1.0f - p->whitePoint);
    }
    if (mask & kEditGrayPoint) p->grayPoint = 0.5f + t * (p->grayPoint - 0.5f);
    // A white backdrop the balance took as the neutral is the white of the picture: it goes to
    // full scale whatever the share, as the photograph's own unclipped backdrop nearly does.
    const float backdrop = s->balanceConfidence >= 0.0f ? s->backdropLevel : 0.0f;
    if ((mask & kEditWhitePoint) && backdrop > p->blackPoint && backdrop < p->whitePoint) {
        p->whitePoint = backdrop;
    }
    return kStatusOk;
}

int32_t KhBrightness(EditState* s, const IPImage* image) {
    TempGrid before;
    int32_t status = BeginStep(s, image, kBeforeBrightness, &before);
    if (status != kStatusOk) return status;
    float v = 0.5f;
    status = HgWeightedBrightness(image, Region(s), s->gridLevel, before.grid, &v, nullptr);
    if (status != kStatusOk) return status;
    EditPars* p = &s->editPars;
    if (kKhBrightnessLow <= v && v <= kKhBrightnessHigh) {
        p->brightness = 0.5f;
        return kStatusOk;
    }
    const float target = v < kKhBrightnessLow ? kKhBrightnessLow : kKhBrightnessHigh;
    float lo = 0.0f, hi = 1.0f;
    while (hi - lo > kKhBrightnessTolerance) {
        float middle = (lo + hi) / 2.0f;
        if (HgBias(v, middle) < target)
            lo = middle;
        else
            hi = middle;
    }
    // The setting's final range. It was the contrast step's to apply, but no Keenhue mask the
    // preferences offer holds the contrast bit, so a dark photograph (a flower against the night,
    // a launch at dusk) was brightened without bound and its colours washed towards yellow.
    const float found = Num_Clamp((lo + hi) / 2.0f, kKhBrightnessLow, kKhBrightnessHigh);
    p->brightness = 0.5f + gTuning.toneStrength * (found - 0.5f);
    return kStatusOk;
}

int32_t KhSaturation(EditState* s, const IPImage* image, WorkPool* pool) {
    TempGrid before;
    int32_t status = BeginStep(s, image, kBeforeSaturation, &before);
    if (status != kStatusOk) return status;
    uint32_t hist[256];
    status = HgSaturationHistogram(image, Region(s), s->gridLevel, before.grid, hist, pool);
    if (status != kStatusOk) return status;
    uint64_t total = 0;
    for (uint32_t count : hist) total += count;
    const uint64_t tail = KhTailCount(total, kKhSaturationTail);
    if (tail == 0) {
        // Too few coloured pixels to have a top percentile: no evidence for any boost, least of
        // all the largest, which an empty tail would otherwise give.
        s->editPars.saturation = 0.5f;
        return kStatusOk;
    }
    int32_t top = 255 - KhBinsTaken(hist, 256, tail, true);
    top = top < 1 ? 1 : (top > 255 ? 255 : top);
    float factor = Num_Clamp(s->preferredSaturation * 255.0f / float(top), 0.0f, 2.0f);
    s->editPars.saturation = Num_Clamp(0.5f * factor, kKhSaturationLow, kKhSaturationHigh);
    return kStatusOk;
}

int32_t KhPlaceHueHandles(EditState* s, const IPImage* image, WorkPool* pool) {
    TempGrid before;
    int32_t status = BeginStep(s, image, kBeforeHues, &before);
    if (status != kStatusOk) return status;
    uint32_t counts[kKhHueBins];
    status = HgHueHistogram(image, Region(s), s->gridLevel, before.grid, counts, pool);
    if (status != kStatusOk) return status;
    int32_t hist[kKhHueBins];
    for (int32_t i = 0; i < kKhHueBins; ++i) {
        hist[i] = counts[i] > uint32_t(INT32_MAX / 25) ? INT32_MAX / 25 : int32_t(counts[i]);
    }
    KhHuePeak peaks[kKhMaxPeaks];
    int32_t found = 0;
    status = KhFindHuePeaks(hist, peaks, &found);
    if (status != kStatusOk) return status;
    KhMergeHuePeaks(peaks, &found);
    int32_t positions[kKhMaxPeaks];
    status = KhHandlePositions(peaks, found, positions);
    if (status != kStatusOk) return status;

    EditPars* p = &s->editPars;
    for (int32_t i = 0; i < kEditHueCount; ++i) {
        p->hue[i].baseHue = float(positions[i]);
        p->hue[i].hueShift = 0.0f;
        p->hue[i].brightness = 0.5f;
        p->hue[i].saturation = 0.5f;
    }
    s->activeHandle = 0;
    s->activeColorId = p->hue[0].colorId;
    s->activeHandleHasSamples = 0;
    s->huePlacementPending = 0;
    return kStatusOk;
}

int32_t KhHueHandles(EditState* s, const IPImage* image, WorkPool* pool) {
    int32_t status = CheckStep(s, image);
    if (status != kStatusOk) return status;
    EditPars* p = &s->editPars;
    for (float& c : p->toneColor) c = 0.5f;
    bool untouched = true;
    for (const HueHandle& h : p->hue) {
        if (!(std::fabs(h.hueShift) <= 1e-8f && std::fabs(h.brightness - 0.5f) <= 1e-8f &&
              std::fabs(h.saturation - 0.5f) <= 1e-8f)) {
            untouched = false;
        }
    }
    if (s->currentTab != kHueTab && untouched) {
        // Neutral handles change nothing wherever they sit; they are placed when the hue tab
        // is shown and the user can see them.
        s->huePlacementPending = 1;
        return kStatusOk;
    }
    return KhPlaceHueHandles(s, image, pool);
}

namespace {

// AutoSettings with the measurements on pool's threads.
int32_t AutoSettingsOn(EditState* s, int32_t mask, const IPImage* image, WorkPool* pool) {
    int32_t status = s != nullptr ? kStatusOk : kStatusProblem;
    const int32_t m = s != nullptr ? mask & s->keenhueMask : 0;
    if (status == kStatusOk && (m & kEditLinear)) status = KhLinear(s, image);
    if (status == kStatusOk && (m & kEditBalance))
        status = KhColourBalance(s, image, nullptr, pool);
    if (status == kStatusOk && (m & kPointBits)) status = KhTonePoints(s, image, m);
    if (status == kStatusOk && (m & kEditBrightness)) status = KhBrightness(s, image);
    if (status == kStatusOk && (m & kEditContrast)) {
        // The contrast keeps its value; the step holds the brightness inside its range.
        status = CheckStep(s, image);
        if (status == kStatusOk) {
            s->editPars.brightness =
                Num_Clamp(s->editPars.brightness, kKhBrightnessLow, kKhBrightnessHigh);
        }
    }
    if (status == kStatusOk && (m & kEditSaturation)) status = KhSaturation(s, image, pool);
    if (status == kStatusOk && (m & kEditMaskAllHues)) status = KhHueHandles(s, image, pool);
    return status;
}

}  // namespace

int32_t AutoSettings(EditState* s, int32_t mask, const IPImage* image, int32_t threads) {
    // Without a pool (one thread, or no memory for one) the steps run on this thread alone.
    WorkPool* pool = threads > 1 ? WorkPoolCreate(threads) : nullptr;
    const int32_t status = AutoSettingsOn(s, mask, image, pool);
    WorkPoolFree(pool);
    return status;
}