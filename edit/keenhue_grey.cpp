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

// One walk over the grey pixels counts those within the range into the histogram and notes each
// one's bin in a plane of the even grid's size (measure_grey.h); once the crowd's bin is known,
// the plane says which pixels are grey pixels, whose colours the even copy still holds. The plane
// keeps the analysis within the memory the module asks its host for (a list of the grey pixels and
// their colours would need more), and a second walk would cost as much time as the first.
constexpr uint16_t kNoBin = 0xFFFF;
// Rounds of moving the crowd's centre to its pixels' mean; it settles in two or three.
constexpr int32_t kCrowdRounds = 8;
struct Collect {
    uint32_t* hist;   // kSide * kSide
    uint16_t* plane;  // the even grid: each grey pixel's bin, else kNoBin
    int32_t width;    // of the even grid
    uint32_t count;
};

int32_t BinOf(float chroma) {
    return int32_t(std::lround(chroma / kKhGreyStep)) + kCentre;
}

// Whether bin (r, b) lies in the crowd around bin mode: a disc of kKhGreyCluster bins.
bool InCrowd(int32_t r, int32_t b, const int32_t mode[2]) {
    const int32_t dr = r - mode[0], db = b - mode[1];
    return dr * dr + db * db <= kKhGreyCluster * kKhGreyCluster;
}

void CollectGrey(void* context, int32_t x, int32_t y, const int32_t[3], const float chroma[2]) {
    auto* c = static_cast<Collect*>(context);
    const int32_t r = BinOf(chroma[0]), b = BinOf(chroma[1]);
    if (r < 0 || r >= kSide || b < 0 || b >= kSide) return;
    ++c->count;
    ++c->hist[r * kSide + b];
    c->plane[size_t(y / 2) * size_t(c->width) + size_t(x / 2)] = uint16_t(r * kSide + b);
}

// The share of the usable pixels (no channel clipped or below the grey pixels' darkest code) of
// the grey walk's grid within mask whose colour lies within kKhDominance of mode. The grey walk's
// grid rather than the level's own, which may be finer: a share of the picture needs no more
// pixels than the estimate it is set against, and this one comes free with the even grid's copy.
float DominanceOf(const HgEvenCodes& even, const IPMask* mask, int32_t level, const float mode[2]) {
    const float* log = HgLogOfCodes();
    const int32_t stepX = HgEvenStepX(level), stepY = HgEvenStepY(level);
    const int32_t width = HgEvenSide(even.width), height = HgEvenSide(even.height);
    uint64_t usable = 0, near = 0;
    for (int32_t y = 0; y < height; y += stepY) {
        for (int32_t x = 0; x < width; x += stepX) {
            if (mask != nullptr && !IPMaskBit(mask, 2 * x, 2 * y)) continue;
            const uint8_t* p = even.codes + (size_t(y) * size_t(width) + size_t(x)) * 3;
            if (p[0] < kHgGreyDarkest || p[1] < kHgGreyDarkest || p[2] < kHgGreyDarkest ||
                p[0] == 255 || p[1] == 255 || p[2] == 255) {
                continue;
            }
            ++usable;
            const float r = log[p[0]] - log[p[1]] - mode[0];
            const float b = log[p[2]] - log[p[1]] - mode[1];
            if (r * r + b * b <= kKhDominance * kKhDominance) ++near;
        }
    }
    return usable > 0 ? float(double(near) / double(usable)) : 0.0f;
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
    if (mask != nullptr &&
        (mask->bits == nullptr || mask->width != image->width || mask->height != image->height)) {
        return kStatusProblem;
    }
    // The even pixels through the transform once, for the walk and the dominance.
    const int32_t width = HgEvenSide(image->width), height = HgEvenSide(image->height);
    const uint32_t pixels = uint32_t(width) * uint32_t(height);
    MemBlock<uint8_t> codes;
    MemBlock<uint16_t> plane;
    MemBlock<uint32_t> hist;
    if (!codes.Allocate(pixels * 3u + 1u) || !plane.Allocate(pixels + 1u) ||
        !hist.Allocate(kSide * kSide)) {
        return kStatusNoMemory;
    }
    HgEvenCodes even{codes.get(), image->width, image->height};
    int32_t status = HgCopyEvenCodes(image, before, &even);
    if (status != kStatusOk) return status;
    Mem_Fill(hist.get(), 0, sizeof(uint32_t) * kSide * kSide);
    Mem_Fill(plane.get(), 0xFF, sizeof(uint16_t) * pixels);
    Collect collect{hist.get(), plane.get(), width, 0};
    status = HgWalkGreyCodes(even, mask, level, CollectGrey, &collect, &out->measured);
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
    // The crowd's centre, moved from the densest bin to the mean of the grey pixels within a
    // crowd's radius of it until it stays. A cast moves every grey pixel by the same vector, so
    // it moves this centre by that vector too; the bins alone would round it to their grid and
    // take or leave pixels at the crowd's edge by where the grid happens to fall.
    const float* log = HgLogOfCodes();
    const float radius = float(kKhGreyCluster) * kKhGreyStep;
    float centre[2] = {float(mode[0] - kCentre) * kKhGreyStep,
                       float(mode[1] - kCentre) * kKhGreyStep};
    auto chromaOf = [&](uint32_t i, float c[2]) {
        const uint8_t* p = codes.get() + size_t(i) * 3;
        c[0] = log[p[0]] - log[p[1]];
        c[1] = log[p[2]] - log[p[1]];
    };
    auto inCrowd = [&](const float c[2]) {
        const float dr = c[0] - centre[0], db = c[1] - centre[1];
        return dr * dr + db * db <= radius * radius;
    };
    for (int32_t round = 0; round < kCrowdRounds; ++round) {
        double sum[2] = {0.0, 0.0};
        uint32_t n = 0;
        for (uint32_t i = 0; i < pixels; ++i) {
            float c[2];
            if (plane[i] == kNoBin) continue;
            chromaOf(i, c);
            if (!inCrowd(c)) continue;
            sum[0] += c[0];
            sum[1] += c[1];
            ++n;
        }
        if (n == 0) break;
        const float next[2] = {float(sum[0] / n), float(sum[1] / n)};
        const float moved = std::fabs(next[0] - centre[0]) + std::fabs(next[1] - centre[1]);
        centre[0] = next[0];
        centre[1] = next[1];
        if (moved < 1e-4f) break;
    }
    out->mode[0] = centre[0];
    out->mode[1] = centre[1];
    out->dominance = DominanceOf(even, mask, level, out->mode);
    // The crowd's pixels, rows top to bottom as the walk visited them.
    for (uint32_t i = 0; i < pixels; ++i) {
        float c[2];
        if (plane[i] == kNoBin) continue;
        chromaOf(i, c);
        if (!inCrowd(c)) continue;
        ++out->crowd;
        const uint8_t* p = codes.get() + size_t(i) * 3;
        const float rgb[3] = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
        HgAddBalanceSample(bins, rgb);
    }
    out->share = out->measured > 0 ? float(out->crowd) / float(out->measured) : 0.0f;
    return kStatusOk;
}
