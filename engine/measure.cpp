// Image measurements for the automatic settings: the grid walk, pixels through a Huegrid, the
// weighted brightness and the histograms.
#include "engine/measure.h"

#include <cmath>
#include <type_traits>

#include "engine/hue_space.h"
#include "engine/huegrid_kernels.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/work_pool.h"

namespace {

bool ColourImageValid(const IPImage* image) {
    return IPImageValid(image) && image->channels >= 3;
}

bool MaskFits(const IPMask* mask, const IPImage* image) {
    return mask->bits != nullptr && mask->width == image->width && mask->height == image->height &&
           mask->rowBytes == (image->width + 7) / 8;
}

// A Huegrid can read the image when it takes three channels of the image's sample size.
bool HuegridFits(const Huegrid* huegrid, const IPImage* image) {
    return huegrid->lut != nullptr && huegrid->inChannels == 3 && huegrid->outChannels == 3 &&
           huegrid->lut->inPixelSize == image->bytesPerSample;
}

// The walk over the sampling grid shared by every measurement: for each visited row, the visited
// pixels are passed through the Huegrid in one call and handed on as 8-bit codes.
struct GridWalk {
    const IPImage* image;
    const IPMask* mask;
    const Huegrid* huegrid;
    int32_t left, right, top, bottom;  // inclusive box of the region
    int32_t stepX, stepY;
};

int32_t PrepareWalk(GridWalk* walk, const IPImage* image, const IPMask* mask, int32_t level,
                    const Huegrid* huegrid) {
    if (!ColourImageValid(image)) return kStatusProblem;
    if (mask != nullptr && !MaskFits(mask, image)) return kStatusProblem;
    if (huegrid != nullptr && !HuegridFits(huegrid, image)) return kStatusProblem;
    walk->image = image;
    walk->mask = mask;
    walk->huegrid = huegrid;
    walk->stepX = HgSampleStepX(level);
    walk->stepY = HgSampleStepY(level);
    walk->left = 0;
    walk->right = image->width - 1;
    walk->top = 0;
    walk->bottom = image->height - 1;
    if (mask != nullptr) {
        // The mask's box limits the walk; a box reaching past the image is cut to it.
        if (mask->left > walk->left) walk->left = mask->left;
        if (mask->right < walk->right) walk->right = mask->right;
        if (mask->top > walk->top) walk->top = mask->top;
        if (mask->bottom < walk->bottom) walk->bottom = mask->bottom;
    }
    return kStatusOk;
}

// The visited pixels of one row as 8-bit codes, interleaved: the channels of the source run
// (the Huegrid's output or the image), samples of type Sample taken at the walk's step.
template <typename Sample>
void RowCodes(const void* const channel[3], ptrdiff_t step, int32_t count, uint8_t* codes) {
    for (int c = 0; c < 3; ++c) {
        const Sample* from = static_cast<const Sample*>(channel[c]);
        for (int32_t i = 0; i < count; ++i) {
            codes[3 * i + c] = uint8_t(sizeof(Sample) == 1 ? from[i * step] : from[i * step] / 257);
        }
    }
}

// The pixels a row of the walk visits.
int32_t RowCount(const GridWalk& walk) {
    return (walk.right - walk.left) / walk.stepX + 1;
}

// Calls visit(x, y, r, g, b) for every visited pixel the mask marks, with the row buffers given:
// row holds 3 x RowCount samples, codes as many bytes. Returns the status of a failing apply.
// Each row is first made 8-bit codes in loops of their own, then visited: the measurements walk
// the analysis image a dozen times, and deciding the sample size and the source for every
// channel of every pixel cost more than most visits do.
template <typename Visit>
int32_t RunWalkWith(const GridWalk& walk, uint16_t* row, uint8_t* codes, Visit&& visit) {
    if (walk.left > walk.right || walk.top > walk.bottom) return kStatusOk;
    const IPImage* image = walk.image;
    const int32_t count = RowCount(walk);
    int32_t outSize = walk.huegrid != nullptr ? walk.huegrid->lut->outPixelSize : 0;
    for (int32_t y = walk.top; y <= walk.bottom; y += walk.stepY) {
        ptrdiff_t base = IPSampleOffset(image, walk.left, y);
        const void* in[4] = {nullptr, nullptr, nullptr, nullptr};
        for (int c = 0; c < 3; ++c) {
            if (image->bytesPerSample == 1)
                in[c] = static_cast<const uint8_t*>(image->channel[c]) + base;
            else
                in[c] = static_cast<const uint16_t*>(image->channel[c]) + base;
        }
        if (walk.huegrid != nullptr && outSize == 1) {
            // 8-bit output is the codes themselves: written interleaved, straight into them.
            // From interleaved RGB pixels that is also the layout the byte-permute curves
            // kernel takes, which the per-channel runs below never were.
            void* out[4] = {codes, codes + 1, codes + 2, nullptr};
            int32_t status =
                HgApply(walk.huegrid, count, in, image->pixelStep * walk.stepX, out, 3);
            if (status != kStatusOk) return status;
        } else if (walk.huegrid != nullptr) {
            // Each output channel gets its own run of the buffer.
            void* out[4] = {nullptr, nullptr, nullptr, nullptr};
            for (int c = 0; c < 3; ++c) out[c] = row + ptrdiff_t(c) * count;
            int32_t status =
                HgApply(walk.huegrid, count, in, image->pixelStep * walk.stepX, out, 1);
            if (status != kStatusOk) return status;
            RowCodes<uint16_t>(out, 1, count, codes);
        } else {
            const ptrdiff_t step = ptrdiff_t(walk.stepX) * image->pixelStep;
            if (image->bytesPerSample == 1)
                RowCodes<uint8_t>(in, step, count, codes);
            else
                RowCodes<uint16_t>(in, step, count, codes);
        }
        const uint8_t* v = codes;
        for (int32_t i = 0; i < count; ++i, v += 3) {
            int32_t x = walk.left + i * walk.stepX;
            if (walk.mask != nullptr && !IPMaskBit(walk.mask, x, y)) continue;
            visit(x, y, int32_t(v[0]), int32_t(v[1]), int32_t(v[2]));
        }
    }
    return kStatusOk;
}

// RunWalkWith with row buffers of its own; -3 without memory for them.
template <typename Visit>
int32_t RunWalk(const GridWalk& walk, Visit&& visit) {
    if (walk.left > walk.right || walk.top > walk.bottom) return kStatusOk;
    const uint32_t count = uint32_t(RowCount(walk));
    MemBlock<uint16_t> row;
    MemBlock<uint8_t> codes;
    if (!row.Allocate(count * 3u) || !codes.Allocate(count * 3u)) return kStatusNoMemory;
    return RunWalkWith(walk, row.get(), codes.get(), visit);
}

// Band b of `bands` runs of a walk's rows, in order: a walk of its own, empty when the walk has
// fewer rows than bands.
GridWalk Band(const GridWalk& walk, int32_t b, int32_t bands) {
    const int64_t rows = walk.top > walk.bottom ? 0 : (walk.bottom - walk.top) / walk.stepY + 1;
    const int64_t first = rows * b / bands, end = rows * (b + 1) / bands;
    GridWalk band = walk;
    band.top = walk.top + int32_t(first) * walk.stepY;
    band.bottom = walk.top + int32_t(end - 1) * walk.stepY;  // above top when first == end
    return band;
}

// RunWalk over the bands of a pool's threads: visit(band, x, y, r, g, b). Every band's row
// buffers are taken here, on the calling thread: the memory manager's counters are not made for
// threads, so tasks never allocate. The first failing band's status (in band order) is the
// walk's.
template <typename Visit>
struct BandedWalk {
    const GridWalk* walk;
    int32_t bands;
    Visit* visit;
    uint16_t* rows;  // 3 x RowCount samples per band
    uint8_t* codes;  // as many bytes per band
    int32_t status[kWorkMaxThreads];

    static void Task(int32_t b, void* context) {
        auto* run = static_cast<BandedWalk*>(context);
        const size_t size = size_t(RowCount(*run->walk)) * 3;
        run->status[b] = RunWalkWith(Band(*run->walk, b, run->bands), run->rows + size_t(b) * size,
                                     run->codes + size_t(b) * size,
                                     [&](int32_t x, int32_t y, int32_t r, int32_t g, int32_t bl) {
                                         (*run->visit)(b, x, y, r, g, bl);
                                     });
    }
};

template <typename Visit>
int32_t RunWalkInBands(WorkPool* pool, const GridWalk& walk, Visit&& visit) {
    if (walk.left > walk.right || walk.top > walk.bottom) return kStatusOk;
    const int32_t bands = WorkPoolThreads(pool);
    const uint32_t size = uint32_t(RowCount(walk)) * 3u * uint32_t(bands);
    MemBlock<uint16_t> rows;
    MemBlock<uint8_t> codes;
    if (!rows.Allocate(size) || !codes.Allocate(size)) return kStatusNoMemory;
    BandedWalk<std::remove_reference_t<Visit>> run{&walk,      bands,       &visit,
                                                   rows.get(), codes.get(), {}};
    WorkPoolRun(pool, run.bands, decltype(run)::Task, &run);
    for (int32_t b = 0; b < run.bands; ++b) {
        if (run.status[b] != kStatusOk) return run.status[b];
    }
    return kStatusOk;
}

// Zeroes bins counts of hist and walks the grid with count(hist, r, g, b), which counts into
// the histogram it is given: hist itself, or with a pool of more than one thread a histogram
// per band, added into hist at the end.
template <typename Count>
int32_t FillHistogram(const IPImage* image, const IPMask* mask, int32_t level,
                      const Huegrid* huegrid, uint32_t* hist, int32_t bins, WorkPool* pool,
                      Count&& count) {
    if (hist == nullptr) return kStatusProblem;
    GridWalk walk;
    int32_t status = PrepareWalk(&walk, image, mask, level, huegrid);
    if (status != kStatusOk) return status;
    for (int32_t i = 0; i < bins; ++i) hist[i] = 0;
    const int32_t bands = WorkPoolThreads(pool);
    if (bands <= 1) {
        return RunWalk(
            walk, [&](int32_t, int32_t, int32_t r, int32_t g, int32_t b) { count(hist, r, g, b); });
    }
    // Band 0 counts into hist; the others into their own rows of counts.
    MemBlock<uint32_t> others;
    if (!others.Allocate(uint32_t(bands - 1) * uint32_t(bins))) return kStatusNoMemory;
    Mem_Fill(others.get(), 0, sizeof(uint32_t) * size_t(bands - 1) * size_t(bins));
    status = RunWalkInBands(
        pool, walk, [&](int32_t band, int32_t, int32_t, int32_t r, int32_t g, int32_t b) {
            count(band == 0 ? hist : others.get() + size_t(band - 1) * size_t(bins), r, g, b);
        });
    if (status != kStatusOk) return status;
    for (int32_t band = 1; band < bands; ++band) {
        const uint32_t* counts = others.get() + size_t(band - 1) * size_t(bins);
        for (int32_t i = 0; i < bins; ++i) hist[i] += counts[i];
    }
    return kStatusOk;
}

// round(256 s^2 (3 - 2 s)) for s = j / n.
int32_t SmoothWeight(int32_t j, int32_t n) {
    double s = double(j) / n;
    return int32_t(std::lround(256.0 * s * s * (3.0 - 2.0 * s)));
}

}  // namespace

int32_t IPMaskClear(IPMask* mask) {
    if (mask == nullptr || mask->bits == nullptr || mask->width < 0 || mask->height < 0)
        return kStatusProblem;
    Mem_Fill(mask->bits, 0, size_t(mask->rowBytes) * size_t(mask->height));
    mask->left = mask->width + 1;
    mask->right = -1;
    mask->top = mask->height + 1;
    mask->bottom = -1;
    return kStatusOk;
}

void IPMaskSet(IPMask* mask, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= mask->width || y >= mask->height) return;
    mask->bits[int64_t(y) * mask->rowBytes + x / 8] |= uint8_t(1u << (x % 8));
    if (x < mask->left) mask->left = x;
    if (x > mask->right) mask->right = x;
    if (y < mask->top) mask->top = y;
    if (y > mask->bottom) mask->bottom = y;
}

int32_t HgSampleStepX(int32_t level) {
    return 4 - Num_Clamp(level, 0, 7) / 2;
}

int32_t HgSampleStepY(int32_t level) {
    return 5 - (Num_Clamp(level, 0, 7) + 1) / 2;
}

int32_t HgPixelThrough(const IPImage* image, const Huegrid* huegrid, int32_t x, int32_t y,
                       float rgb[3], uint16_t codes[3]) {
    if (!ColourImageValid(image)) return kStatusProblem;
    if (!(0 <= x && x < image->width && 0 <= y && y < image->height)) return kStatusProblem;
    if (huegrid != nullptr && !HuegridFits(huegrid, image)) return kStatusProblem;
    ptrdiff_t at = IPSampleOffset(image, x, y);
    uint16_t in[3], out[3];
    for (int c = 0; c < 3; ++c) {
        in[c] = image->bytesPerSample == 1 ? static_cast<const uint8_t*>(image->channel[c])[at]
                                           : static_cast<const uint16_t*>(image->channel[c])[at];
    }
    int32_t size = image->bytesPerSample;
    if (huegrid == nullptr) {
        for (int c = 0; c < 3; ++c) out[c] = in[c];
    } else {
        uint8_t in8[3], out8[3];
        const void* inPtrs[4] = {nullptr, nullptr, nullptr, nullptr};
        void* outPtrs[4] = {nullptr, nullptr, nullptr, nullptr};
        int32_t outSize = huegrid->lut->outPixelSize;
        for (int c = 0; c < 3; ++c) {
            in8[c] = uint8_t(in[c]);
            inPtrs[c] = size == 1 ? static_cast<const void*>(&in8[c]) : &in[c];
            outPtrs[c] = outSize == 1 ? static_cast<void*>(&out8[c]) : &out[c];
        }
        int32_t status = HgApply(huegrid, 1, inPtrs, 1, outPtrs, 1);
        if (status != kStatusOk) return status;
        if (outSize == 1) {
            for (int c = 0; c < 3; ++c) out[c] = out8[c];
        }
        size = outSize;
    }
    float scale = size == 1 ? 255.0f : 65535.0f;
    for (int c = 0; c < 3; ++c) {
        if (rgb != nullptr) rgb[c] = out[c] / scale;
        if (codes != nullptr) codes[c] = out[c];
    }
    return kStatusOk;
}

int32_t HgWeightedBrightness(const IPImage* image, const IPMask* mask, int32_t level,
                             const Huegrid* huegrid, float* brightness, IPMask* subject) {
    if (brightness == nullptr) return kStatusProblem;
    GridWalk walk;
    int32_t status = PrepareWalk(&walk, image, mask, level, huegrid);
    if (status != kStatusOk) return status;
    if (subject != nullptr) {
        if (!MaskFits(subject, image)) return kStatusProblem;
        IPMaskClear(subject);
    }
    *brightness = 0.5f;
    if (walk.left > walk.right || walk.top > walk.bottom) return kStatusOk;

    int32_t regionWidth = walk.right - walk.left + 1;
    int32_t regionHeight = walk.bottom - walk.top + 1;
    int32_t half = (regionWidth < regionHeight ? regionWidth : regionHeight) / 2;
    // A region one pixel wide or high has no middle: half is 0 and every pixel lies on the
    // border, so every centre weight is 0 (rather than a division by zero) and the result is 0.5.
    MemBlock<int32_t> centre;
    if (!centre.Allocate(uint32_t(half) + 1u)) return kStatusNoMemory;
    for (int32_t j = 0; j <= half; ++j) centre[size_t(j)] = half > 0 ? SmoothWeight(j, half) : 0;
    int32_t chroma[96];
    for (int32_t j = 0; j < 96; ++j) chroma[j] = SmoothWeight(j, 95);

    int64_t sumLw = 0, sumW = 0;
    status = RunWalk(walk, [&](int32_t x, int32_t y, int32_t r, int32_t g, int32_t b) {
        int32_t luma = (299 * r + 587 * g + 114 * b + 500) / 1000;
        int32_t c = Num_Max3(r, g, b) - Num_Min3(r, g, b);
        int32_t folded = c < 96 ? c : (c < 192 ? 191 - c : 0);
        int32_t ci = folded - 8;
        ci = ci < 0 ? 0 : (ci > 95 ? 95 : ci);
        int32_t dx = x - walk.left < walk.right - x ? x - walk.left : walk.right - x;
        int32_t dy = y - walk.top < walk.bottom - y ? y - walk.top : walk.bottom - y;
        int32_t d = dx < dy ? dx : dy;
        if (d > half) d = half;
        int32_t w = (centre[size_t(d)] * chroma[ci] + 128) >> 8;
        sumLw += (int64_t(luma) * w + 128) >> 8;
        sumW += w;
        if (subject != nullptr && w >= 65) IPMaskSet(subject, x, y);
    });
    if (status != kStatusOk) return status;
    int64_t weight = (sumW + 128) >> 8;
    if (weight >= 1) *brightness = float(double(sumLw) / (double(weight) * 255.0));
    return kStatusOk;
}

int32_t HgLumaHistogram(const IPImage* image, const IPMask* mask, int32_t level,
                        const Huegrid* huegrid, uint32_t hist[256], WorkPool* pool) {
    return FillHistogram(image, mask, level, huegrid, hist, 256, pool,
                         [](uint32_t* h, int32_t r, int32_t g, int32_t b) {
                             ++h[(299 * r + 587 * g + 114 * b + 500) / 1000];
                         });
}

int32_t HgSaturationHistogram(const IPImage* image, const IPMask* mask, int32_t level,
                              const Huegrid* huegrid, uint32_t hist[256], WorkPool* pool) {
    return FillHistogram(image, mask, level, huegrid, hist, 256, pool,
                         [](uint32_t* h, int32_t r, int32_t g, int32_t b) {
                             int32_t mx = Num_Max3(r, g, b), mn = Num_Min3(r, g, b);
                             int32_t c = mx - mn, l = (mx + mn) / 2;
                             if (c == 0 || l < 25 || l > 230) return;
                             int32_t s = l < 128 ? (128 * c + l / 2) / l
                                                 : (128 * c + (255 - l) / 2) / (255 - l);
                             ++h[s > 255 ? 255 : s];
                         });
}

int32_t HgHueHistogram(const IPImage* image, const IPMask* mask, int32_t level,
                       const Huegrid* huegrid, uint32_t hist[360], WorkPool* pool) {
    return FillHistogram(image, mask, level, huegrid, hist, 360, pool,
                         [](uint32_t* h, int32_t r, int32_t g, int32_t b) {
                             if (Num_Max3(r, g, b) - Num_Min3(r, g, b) <= 8) return;
                             float rgb[3] = {r / 255.0f, g / 255.0f, b / 255.0f}, hcl[3];
                             if (HgRgbToHue(rgb, hcl, kHgHueChroma) != kStatusOk) return;
                             int32_t bin = int32_t(hcl[0] * 360.0f);
                             bin %= 360;
                             if (bin < 0) bin += 360;
                             ++h[bin];
                         });
}

int32_t HgWalkPixelsInBands(WorkPool* pool, const IPImage* image, const IPMask* mask, int32_t level,
                            const Huegrid* huegrid, HgPixelVisitor visit, void* const* contexts) {
    if (visit == nullptr || contexts == nullptr) return kStatusProblem;
    GridWalk walk;
    int32_t status = PrepareWalk(&walk, image, mask, level, huegrid);
    if (status != kStatusOk) return status;
    return RunWalkInBands(pool, walk,
                          [&](int32_t band, int32_t x, int32_t y, int32_t r, int32_t g, int32_t b) {
                              const int32_t rgb[3] = {r, g, b};
                              visit(contexts[band], x, y, rgb);
                          });
}

int32_t HgWalkPixels(const IPImage* image, const IPMask* mask, int32_t level,
                     const Huegrid* huegrid, HgPixelVisitor visit, void* context) {
    // Without a pool the walk is one band on this thread, in order.
    void* const contexts[1] = {context};
    return HgWalkPixelsInBands(nullptr, image, mask, level, huegrid, visit, contexts);
}

int32_t HgHueCurvature(const int32_t hist[360], int32_t out[360]) {
    if (hist == nullptr || out == nullptr) return kStatusProblem;
    for (int32_t i = 0; i < 360; ++i) {
        // Wide arithmetic: the histogram may hold any int32 counts.
        int64_t v = int64_t(hist[(i + 1) % 360]) - 2 * int64_t(hist[i]) + hist[(i + 359) % 360];
        out[i] = v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : int32_t(v));
    }
    return kStatusOk;
}

int32_t HgHueHillMass(const int32_t hist[360], int32_t peak, int64_t* mass) {
    if (hist == nullptr || mass == nullptr || !(0 <= peak && peak < 360)) return kStatusProblem;
    int64_t total = hist[peak];
    // Walks one way from the peak over at most limit bins; returns the bins taken.
    auto walkSide = [&](int32_t dir, int32_t limit) {
        int32_t taken = 0;
        int64_t sum = 0;
        int32_t prev = peak;
        for (int32_t n = 1; n <= limit; ++n) {
            int32_t j = ((peak + dir * n) % 360 + 360) % 360;
            if (hist[j] > hist[prev]) {
                // prev was the valley: it is not part of the hill.
                if (prev != peak) sum -= hist[prev], --taken;
                total += sum;
                return taken;
            }
            sum += hist[j];
            ++taken;
            prev = j;
        }
        total += sum;
        return taken;
    };
    int32_t left = walkSide(-1, 359);
    walkSide(1, 359 - left);
    *mass = total;
    return kStatusOk;
}
