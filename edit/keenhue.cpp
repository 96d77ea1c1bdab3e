// The automatic settings; see keenhue.h.
#include "edit/keenhue.h"

#include <cmath>

#include "edit/hue_peaks.h"
#include "engine/edit_chain.h"
#include "engine/hue_space.h"
#include "engine/huegrid_build.h"
#include "engine/sampling.h"

namespace {

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

float Clamp(float v, float lo, float hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

double Smoothstep(double x) {
    return (3.0 - 2.0 * x) * x * x;
}

int32_t Max3(const int32_t v[3]) {
    int32_t m = v[0] > v[1] ? v[0] : v[1];
    return m > v[2] ? m : v[2];
}
int32_t Min3(const int32_t v[3]) {
    int32_t m = v[0] < v[1] ? v[0] : v[1];
    return m < v[2] ? m : v[2];
}

// The colour-balance measurements: histograms of each pixel's largest channel and of its
// largest distance to full scale, then the sums of the extreme pixels.
struct BalanceScan {
    uint32_t dark[256];
    uint32_t light[256];
    uint64_t total;
    int32_t darkThreshold, lightThreshold;
    uint64_t darkSum[3], lightSum[3];
    uint64_t darkCount, lightCount;
    int32_t darkest, darkX, darkY;     // the smallest largest channel found, and where
    int32_t lightest, lightX, lightY;  // the smallest distance to full scale, and where
};

void CountExtremes(void* context, int32_t, int32_t, const int32_t rgb[3]) {
    auto* scan = static_cast<BalanceScan*>(context);
    ++scan->dark[Max3(rgb)];
    ++scan->light[255 - Min3(rgb)];
    ++scan->total;
}

void SumExtremes(void* context, int32_t x, int32_t y, const int32_t rgb[3]) {
    auto* scan = static_cast<BalanceScan*>(context);
    const int32_t mx = Max3(rgb), mn = Min3(rgb);
    // A clipped channel has lost the colour it had, so neither end takes it.
    if (mn > 0 && mx <= scan->darkThreshold) {
        for (int c = 0; c < 3; ++c) scan->darkSum[c] += uint32_t(rgb[c]);
        ++scan->darkCount;
        if (mx < scan->darkest) scan->darkest = mx, scan->darkX = x, scan->darkY = y;
    }
    const int32_t distance = 255 - mn;
    if (mx < 255 && distance <= scan->lightThreshold) {
        for (int c = 0; c < 3; ++c) scan->lightSum[c] += uint32_t(rgb[c]);
        ++scan->lightCount;
        if (distance < scan->lightest)
            scan->lightest = distance, scan->lightX = x, scan->lightY = y;
    }
}

// True when the average colour of a set of pixels is close enough to grey to be a neutral.
bool NearNeutral(const uint64_t sum[3], uint64_t count) {
    float average[3], hcl[3];
    for (int c = 0; c < 3; ++c) average[c] = float(double(sum[c]) / (double(count) * 255.0));
    if (HgRgbToHue(average, hcl, kHgHueChroma) != kStatusOk) return false;
    return hcl[1] < kKhBalanceChromaLimit;
}

}  // namespace

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

int32_t KhColourBalance(EditState* s, const IPImage* image) {
    int32_t status = CheckStep(s, image);
    if (status != kStatusOk) return status;
    status = ResetEditStatePars(s, kEditBalance);
    if (status != kStatusOk) return status;
    TempGrid before;
    status = BuildBefore(s, image, kBeforeBalance, &before);
    if (status != kStatusOk) return status;

    BalanceScan scan{};
    status = HgWalkPixels(image, Region(s), s->gridLevel, before.grid, CountExtremes, &scan);
    if (status != kStatusOk) return status;
    scan.darkThreshold = KhBinReaching(scan.dark, 256, KhTailCount(scan.total, kKhBalanceTail));
    scan.lightThreshold = KhBinReaching(scan.light, 256, KhTailCount(scan.total, kKhBalanceTail));
    scan.darkest = 256;
    scan.lightest = 256;
    status = HgWalkPixels(image, Region(s), s->gridLevel, before.grid, SumExtremes, &scan);
    if (status != kStatusOk) return status;

    // At most two neutral samples; an end that is clearly coloured (a dark red, a bright sky)
    // is not a neutral and sets none.
    EditPars* p = &s->editPars;
    if (scan.darkCount > 0 && NearNeutral(scan.darkSum, scan.darkCount)) {
        status =
            HgAddNeutralSample(p, image, Region(s), s->gridLevel, scan.darkX, scan.darkY, nullptr);
        if (status != kStatusOk) return status;
    }
    if (scan.lightCount > 0 && NearNeutral(scan.lightSum, scan.lightCount)) {
        status = HgAddNeutralSample(p, image, Region(s), s->gridLevel, scan.lightX, scan.lightY,
                                    nullptr);
        if (status != kStatusOk) return status;
    }
    return EditStateDeriveNeutralTarget(s);
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
            p->blackPoint = Clamp(float(xb + (xw - xb) * (0.0 - sb) / (sw - sb)), 0.0f, 1.0f);
        }
        if (mask & kEditWhitePoint) {
            p->whitePoint = Clamp(float(xb + (xw - xb) * (1.0 - sb) / (sw - sb)), 0.0f, 1.0f);
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
        p->grayPoint = Clamp(float((relative + 0.5) * 0.5), 0.0f, 1.0f);
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
    p->brightness = (lo + hi) / 2.0f;
    return kStatusOk;
}

int32_t KhSaturation(EditState* s, const IPImage* image) {
    TempGrid before;
    int32_t status = BeginStep(s, image, kBeforeSaturation, &before);
    if (status != kStatusOk) return status;
    uint32_t hist[256];
    status = HgSaturationHistogram(image, Region(s), s->gridLevel, before.grid, hist);
    if (status != kStatusOk) return status;
    uint64_t total = 0;
    for (uint32_t count : hist) total += count;
    const uint64_t tail = KhTailCount(total, kKhSaturationTail);
    int32_t top = tail == 0 ? 0 : 255 - KhBinsTaken(hist, 256, tail, true);
    top = top < 1 ? 1 : (top > 255 ? 255 : top);
    float factor = Clamp(s->preferredSaturation * 255.0f / float(top), 0.0f, 2.0f);
    s->editPars.saturation = Clamp(0.5f * factor, kKhSaturationLow, kKhSaturationHigh);
    return kStatusOk;
}

int32_t KhPlaceHueHandles(EditState* s, const IPImage* image) {
    TempGrid before;
    int32_t status = BeginStep(s, image, kBeforeHues, &before);
    if (status != kStatusOk) return status;
    uint32_t counts[kKhHueBins];
    status = HgHueHistogram(image, Region(s), s->gridLevel, before.grid, counts);
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

int32_t KhHueHandles(EditState* s, const IPImage* image) {
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
    return KhPlaceHueHandles(s, image);
}

int32_t AutoSettings(EditState* s, int32_t mask, const IPImage* image) {
    int32_t status = s != nullptr ? kStatusOk : kStatusProblem;
    const int32_t m = s != nullptr ? mask & s->keenhueMask : 0;
    if (status == kStatusOk && (m & kEditLinear)) status = KhLinear(s, image);
    if (status == kStatusOk && (m & kEditBalance)) status = KhColourBalance(s, image);
    if (status == kStatusOk && (m & kPointBits)) status = KhTonePoints(s, image, m);
    if (status == kStatusOk && (m & kEditBrightness)) status = KhBrightness(s, image);
    if (status == kStatusOk && (m & kEditContrast)) {
        // The contrast keeps its value; the step holds the brightness inside its range.
        status = CheckStep(s, image);
        if (status == kStatusOk) {
            s->editPars.brightness =
                Clamp(s->editPars.brightness, kKhBrightnessLow, kKhBrightnessHigh);
        }
    }
    if (status == kStatusOk && (m & kEditSaturation)) status = KhSaturation(s, image);
    if (status == kStatusOk && (m & kEditMaskAllHues)) status = KhHueHandles(s, image);
    return status;
}
