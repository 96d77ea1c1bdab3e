// Grey pixels; see measure_grey.h.
#include "engine/measure_grey.h"

#include <algorithm>
#include <cmath>

#include "platform/mem.h"

namespace {

// The natural logarithm of each 8-bit code (codes below kHgGreyDarkest are never looked up).
struct LogTable {
    float value[256];
    LogTable() {
        value[0] = 0.0f;
        for (int v = 1; v < 256; ++v) value[v] = float(std::log(double(v)));
    }
};

const LogTable& Logs() {
    static const LogTable table;
    return table;
}

// No channel at full scale or below kHgGreyDarkest: one unsigned comparison a channel, without a
// branch, since the walk asks it five times a pixel.
bool Usable(const uint8_t* p) {
    constexpr unsigned kSpan = 255u - unsigned(kHgGreyDarkest);
    return ((unsigned(p[0]) - kHgGreyDarkest < kSpan) & (unsigned(p[1]) - kHgGreyDarkest < kSpan) &
            (unsigned(p[2]) - kHgGreyDarkest < kSpan)) != 0;
}

// The sampling level whose grid is the even grid: a step of two pixels in both directions.
constexpr int32_t kEvenLevel = 5;

// Stores the codes of the even pixels, as the Huegrid makes them, into the even grid.
void CopyEven(void* context, int32_t x, int32_t y, const int32_t rgb[3]) {
    const auto* even = static_cast<const HgEvenCodes*>(context);
    uint8_t* p =
        even->codes + (size_t(y / 2) * size_t(HgEvenSide(even->width)) + size_t(x / 2)) * 3;
    for (int c = 0; c < 3; ++c) p[c] = uint8_t(rgb[c]);
}

// A step of the sampling grid, no finer than kHgGreyReach, in pixels of the even grid. An odd step
// (3 or 5, at the coarse levels) has no place on it and becomes the even step below it: a few
// more pixels than the level asks, never fewer.
int32_t EvenStep(int32_t step) {
    return std::max(step / 2, 1);
}

// The sums behind a pixel's measure: over the four neighbours d pixels away of codes (width x
// height), of the squared mean
// log-difference (common) and of each channel's squared departure from it (spread). False as
// HgGreyMeasureAt. The walk compares these sums directly: a square root and a division a pixel
// were a fifth of the automatic correction's time.
bool GreySums(const uint8_t* codes, int32_t width, int32_t height, int32_t x, int32_t y, int32_t d,
              float* common, float* spread) {
    if (x < d || y < d || x + d >= width || y + d >= height) return false;
    const size_t row = size_t(width) * 3;
    const uint8_t* p = codes + size_t(y) * row + size_t(x) * 3;
    const uint8_t* neighbours[4] = {p - 3 * d, p + 3 * d, p - d * row, p + d * row};
    if (!(Usable(p) & Usable(neighbours[0]) & Usable(neighbours[1]) & Usable(neighbours[2]) &
          Usable(neighbours[3]))) {
        return false;
    }
    const float* log = Logs().value;
    const float centre[3] = {log[p[0]], log[p[1]], log[p[2]]};
    float c2 = 0.0f, s2 = 0.0f;
    for (const uint8_t* n : neighbours) {
        float diff[3];
        for (int c = 0; c < 3; ++c) diff[c] = log[n[c]] - centre[c];
        const float mean = (diff[0] + diff[1] + diff[2]) * (1.0f / 3.0f);
        c2 += mean * mean;
        for (int c = 0; c < 3; ++c) s2 += (diff[c] - mean) * (diff[c] - mean);
    }
    *common = c2;
    *spread = s2;
    return true;
}

}  // namespace

bool HgGreyMeasureAt(const uint8_t* codes, int32_t width, int32_t height, int32_t x, int32_t y,
                     HgGreyMeasure* out) {
    if (codes == nullptr || out == nullptr) return false;
    float common, spread;
    if (!GreySums(codes, width, height, x, y, kHgGreyReach, &common, &spread)) return false;
    out->contrast = std::sqrt(common / 4.0f);
    out->deviation = std::sqrt(spread / 12.0f);
    return true;
}

bool HgIsGreyPixel(const HgGreyMeasure& m) {
    return m.contrast >= kHgGreyMinContrast && m.deviation <= kHgGreyMaxDeviation * m.contrast;
}

const float* HgLogOfCodes() {
    return Logs().value;
}

int32_t HgCopyEvenCodes(const IPImage* image, const Huegrid* huegrid, HgEvenCodes* out) {
    if (out == nullptr || out->codes == nullptr || !IPImageValid(image) || image->channels < 3) {
        return kStatusProblem;
    }
    out->width = image->width;
    out->height = image->height;
    if (huegrid == nullptr) {
        // Nothing to apply: the samples are read directly, as the walk would read them, at a
        // fraction of the cost of a call per pixel.
        uint8_t* p = out->codes;
        for (int32_t y = 0; y < image->height; y += 2) {
            for (int32_t x = 0; x < image->width; x += 2) {
                const ptrdiff_t at = IPSampleOffset(image, x, y);
                for (int c = 0; c < 3; ++c) {
                    *p++ = image->bytesPerSample == 1
                               ? static_cast<const uint8_t*>(image->channel[c])[at]
                               : uint8_t(static_cast<const uint16_t*>(image->channel[c])[at] / 257);
                }
            }
        }
        return kStatusOk;
    }
    if (HgSampleStepX(kEvenLevel) != 2 || HgSampleStepY(kEvenLevel) != 2) return kStatusProblem;
    return HgWalkPixels(image, nullptr, kEvenLevel, huegrid, CopyEven, out);
}

int32_t HgEvenStepX(int32_t level) {
    return EvenStep(HgSampleStepX(level));
}

int32_t HgEvenStepY(int32_t level) {
    return EvenStep(HgSampleStepY(level));
}

int32_t HgWalkGreyCodes(const HgEvenCodes& even, const IPMask* mask, int32_t level,
                        HgGreyVisitor visit, void* context, uint32_t* measured) {
    if (measured != nullptr) *measured = 0;
    if (even.codes == nullptr || visit == nullptr || even.width < 0 || even.height < 0) {
        return kStatusProblem;
    }
    if (mask != nullptr &&
        (mask->bits == nullptr || mask->width != even.width || mask->height != even.height)) {
        return kStatusProblem;
    }
    const float* log = Logs().value;
    const float kMinCommon = 4.0f * kHgGreyMinContrast * kHgGreyMinContrast;
    const float kSpreadPerCommon = 3.0f * kHgGreyMaxDeviation * kHgGreyMaxDeviation;
    // No finer than the measure's own reach: it compares pixels kHgGreyReach apart, so measuring
    // every pixel of a finer grid repeats what its neighbours on the coarser one say, at four
    // times the cost.
    const int32_t stepX = HgEvenStepX(level), stepY = HgEvenStepY(level);
    const int32_t width = HgEvenSide(even.width), height = HgEvenSide(even.height);
    uint32_t count = 0;
    for (int32_t y = 0; y < height; y += stepY) {
        for (int32_t x = 0; x < width; x += stepX) {
            if (mask != nullptr && !IPMaskBit(mask, 2 * x, 2 * y)) continue;
            // contrast >= min and deviation <= max * contrast, in squares: contrast² is
            // common / 4 and deviation² is spread / 12. One pixel of the even grid is
            // kHgGreyReach pixels of the image.
            float common, spread;
            if (!GreySums(even.codes, width, height, x, y, 1, &common, &spread)) continue;
            if (common < kMinCommon) continue;
            ++count;
            if (spread > kSpreadPerCommon * common) continue;
            const uint8_t* p = even.codes + (size_t(y) * size_t(width) + size_t(x)) * 3;
            const int32_t rgb[3] = {p[0], p[1], p[2]};
            const float chroma[2] = {log[p[0]] - log[p[1]], log[p[2]] - log[p[1]]};
            visit(context, 2 * x, 2 * y, rgb, chroma);
        }
    }
    if (measured != nullptr) *measured = count;
    return kStatusOk;
}

int32_t HgWalkGreyPixels(const IPImage* image, const IPMask* mask, int32_t level,
                         const Huegrid* huegrid, HgGreyVisitor visit, void* context,
                         uint32_t* measured) {
    if (measured != nullptr) *measured = 0;
    if (visit == nullptr || !IPImageValid(image) || image->channels < 3) return kStatusProblem;
    if (mask != nullptr &&
        (mask->bits == nullptr || mask->width != image->width || mask->height != image->height)) {
        return kStatusProblem;
    }
    const int32_t width = image->width, height = image->height;
    if (width < 3 || height < 3) return kStatusOk;
    MemBlock<uint8_t> codes;
    if (!codes.Allocate(uint32_t(HgEvenSide(width)) * uint32_t(HgEvenSide(height)) * 3u)) {
        return kStatusNoMemory;
    }
    HgEvenCodes even{codes.get(), width, height};
    const int32_t status = HgCopyEvenCodes(image, huegrid, &even);
    if (status != kStatusOk) return status;
    return HgWalkGreyCodes(even, mask, level, visit, context, measured);
}
