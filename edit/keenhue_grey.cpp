// The neutral of the grey pixels; see keenhue_grey.h.
#include "edit/keenhue_grey.h"

#include <cmath>

#include "engine/balance.h"
#include "engine/measure_grey.h"
#include "platform/mem.h"

namespace {

// Bins per axis of the chromaticity histogram: -kKhGreyRange .. kKhGreyRange.
constexpr int32_t kSide = 2 * int32_t(kKhGreyRange / kKhGreyStep + 0.5f) + 1;
constexpr int32_t kCentre = kSide / 2;

// The first pass counts the grey pixels within the range into the histogram; the second, once
// the crowd is known, files the crowd's pixels as samples. Walking twice keeps the analysis
// within the memory the module asks its host for: a list of every grey pixel would need more
// than the analysis image itself.
struct Collect {
    uint32_t* hist;  // kSide * kSide
    uint32_t count;
    int32_t mode[2];  // the second pass: the crowd's bin
    SampleBin* bins;  // null in the first pass
};

int32_t BinOf(float chroma) {
    return int32_t(std::lround(chroma / kKhGreyStep)) + kCentre;
}

// Whether bin (r, b) lies in the crowd around bin mode: a disc of kKhGreyCluster bins.
bool InCrowd(int32_t r, int32_t b, const int32_t mode[2]) {
    const int32_t dr = r - mode[0], db = b - mode[1];
    return dr * dr + db * db <= kKhGreyCluster * kKhGreyCluster;
}

void CollectGrey(void* context, int32_t, int32_t, const int32_t rgb[3], const float chroma[2]) {
    auto* c = static_cast<Collect*>(context);
    const int32_t r = BinOf(chroma[0]), b = BinOf(chroma[1]);
    if (r < 0 || r >= kSide || b < 0 || b >= kSide) return;
    if (c->bins == nullptr) {
        ++c->count;
        ++c->hist[r * kSide + b];
        return;
    }
    if (!InCrowd(r, b, c->mode)) return;
    const float v[3] = {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f};
    HgAddBalanceSample(c->bins, v);
}

// Counts the usable pixels and those whose colour lies near the crowd's.
struct Dominance {
    float mode[2];
    uint64_t usable, near;
};

void CountNear(void* context, int32_t, int32_t, const int32_t rgb[3]) {
    auto* d = static_cast<Dominance*>(context);
    for (int c = 0; c < 3; ++c) {
        if (rgb[c] < kHgGreyDarkest || rgb[c] == 255) return;
    }
    ++d->usable;
    const float r = std::log(float(rgb[0]) / float(rgb[1])) - d->mode[0];
    const float b = std::log(float(rgb[2]) / float(rgb[1])) - d->mode[1];
    if (r * r + b * b <= kKhDominance * kKhDominance) ++d->near;
}

// The grey pixels within the crowd's disc around bin (r, b).
uint32_t Density(const uint32_t* hist, int32_t r, int32_t b) {
    uint32_t sum = 0;
    const int32_t centre[2] = {r, b};
    for (int32_t i = r - kKhGreyCluster; i <= r + kKhGreyCluster; ++i) {
        if (i < 0 || i >= kSide) continue;
        for (int32_t j = b - kKhGreyCluster; j <= b + kKhGreyCluster; ++j) {
            if (j < 0 || j >= kSide || !InCrowd(i, j, centre)) continue;
            sum += hist[i * kSide + j];
        }
    }
    return sum;
}

}  // namespace

int32_t KhEstimateGrey(const IPImage* image, const IPMask* mask, int32_t level,
                       const Huegrid* before, KhGreyEstimate* out, SampleBin bins[kEditBinCount]) {
    if (out == nullptr || bins == nullptr || !IPImageValid(image)) return kStatusProblem;
    *out = KhGreyEstimate{};
    Mem_Fill(bins, 0, sizeof(SampleBin) * kEditBinCount);
    MemBlock<uint32_t> hist;
    if (!hist.Allocate(kSide * kSide)) return kStatusNoMemory;
    Mem_Fill(hist.get(), 0, sizeof(uint32_t) * kSide * kSide);
    Collect collect{hist.get(), 0, {kCentre, kCentre}, nullptr};
    int32_t status =
        HgWalkGreyPixels(image, mask, level, before, CollectGrey, &collect, &out->measured);
    if (status != kStatusOk) return status;
    out->grey = collect.count;
    if (collect.count == 0) return kStatusOk;

    // The densest crowd; the first found of equal ones, scanning from the reddest and bluest.
    uint32_t best = 0;
    int32_t mode[2] = {kCentre, kCentre};
    for (int32_t r = 0; r < kSide; ++r) {
        for (int32_t b = 0; b < kSide; ++b) {
            if (hist[r * kSide + b] == 0) continue;
            const uint32_t density = Density(hist.get(), r, b);
            if (density > best) {
                best = density;
                mode[0] = r;
                mode[1] = b;
            }
        }
    }
    out->mode[0] = float(mode[0] - kCentre) * kKhGreyStep;
    out->mode[1] = float(mode[1] - kCentre) * kKhGreyStep;
    out->crowd = Density(hist.get(), mode[0], mode[1]);
    out->share = out->measured > 0 ? float(out->crowd) / float(out->measured) : 0.0f;
    Dominance dominance{{out->mode[0], out->mode[1]}, 0, 0};
    status = HgWalkPixels(image, mask, level, before, CountNear, &dominance);
    if (status != kStatusOk) return status;
    out->dominance = dominance.usable > 0 ? float(double(dominance.near) / dominance.usable) : 0.0f;
    collect.mode[0] = mode[0];
    collect.mode[1] = mode[1];
    collect.bins = bins;
    return HgWalkGreyPixels(image, mask, level, before, CollectGrey, &collect, nullptr);
}
