// Grey pixels; see measure_grey.h.
#include "engine/measure_grey.h"

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

bool Usable(const uint8_t* p) {
    for (int c = 0; c < 3; ++c) {
        if (p[c] < kHgGreyDarkest || p[c] == 255) return false;
    }
    return true;
}

// Stores the codes of every pixel, as the Huegrid makes them, into a buffer of 3 bytes a pixel.
struct CodeCopy {
    uint8_t* codes;
    int32_t width;
};

void CopyCodes(void* context, int32_t x, int32_t y, const int32_t rgb[3]) {
    auto* copy = static_cast<CodeCopy*>(context);
    uint8_t* p = copy->codes + (size_t(y) * size_t(copy->width) + size_t(x)) * 3;
    for (int c = 0; c < 3; ++c) p[c] = uint8_t(rgb[c]);
}

}  // namespace

bool HgGreyMeasureAt(const uint8_t* codes, int32_t width, int32_t height, int32_t x, int32_t y,
                     HgGreyMeasure* out) {
    if (codes == nullptr || out == nullptr) return false;
    const int32_t d = kHgGreyReach;
    if (x < d || y < d || x + d >= width || y + d >= height) return false;
    const size_t row = size_t(width) * 3;
    const uint8_t* p = codes + size_t(y) * row + size_t(x) * 3;
    const uint8_t* neighbours[4] = {p - 3 * d, p + 3 * d, p - d * row, p + d * row};
    if (!Usable(p)) return false;
    for (const uint8_t* n : neighbours) {
        if (!Usable(n)) return false;
    }
    const float* log = Logs().value;
    float common = 0.0f, spread = 0.0f;
    for (const uint8_t* n : neighbours) {
        float diff[3];
        for (int c = 0; c < 3; ++c) diff[c] = log[n[c]] - log[p[c]];
        const float mean = (diff[0] + diff[1] + diff[2]) / 3.0f;
        common += mean * mean;
        for (int c = 0; c < 3; ++c) spread += (diff[c] - mean) * (diff[c] - mean);
    }
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

int32_t HgCopyCodes(const IPImage* image, const Huegrid* huegrid, uint8_t* codes) {
    if (codes == nullptr || !IPImageValid(image)) return kStatusProblem;
    CodeCopy copy{codes, image->width};
    return HgWalkPixels(image, nullptr, 7, huegrid, CopyCodes, &copy);
}

int32_t HgWalkGreyCodes(const uint8_t* codes, int32_t width, int32_t height, const IPMask* mask,
                        int32_t level, HgGreyVisitor visit, void* context, uint32_t* measured) {
    if (measured != nullptr) *measured = 0;
    if (codes == nullptr || visit == nullptr || width < 0 || height < 0) return kStatusProblem;
    if (mask != nullptr &&
        (mask->bits == nullptr || mask->width != width || mask->height != height)) {
        return kStatusProblem;
    }
    const float* log = Logs().value;
    const int32_t stepX = HgSampleStepX(level), stepY = HgSampleStepY(level);
    uint32_t count = 0;
    for (int32_t y = 0; y < height; y += stepY) {
        for (int32_t x = 0; x < width; x += stepX) {
            if (mask != nullptr && !IPMaskBit(mask, x, y)) continue;
            HgGreyMeasure m;
            if (!HgGreyMeasureAt(codes, width, height, x, y, &m)) continue;
            if (m.contrast < kHgGreyMinContrast) continue;
            ++count;
            if (m.deviation > kHgGreyMaxDeviation * m.contrast) continue;
            const uint8_t* p = codes + (size_t(y) * size_t(width) + size_t(x)) * 3;
            const int32_t rgb[3] = {p[0], p[1], p[2]};
            const float chroma[2] = {log[p[0]] - log[p[1]], log[p[2]] - log[p[1]]};
            visit(context, x, y, rgb, chroma);
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
    if (!codes.Allocate(uint32_t(width) * uint32_t(height) * 3u)) return kStatusNoMemory;
    // Every pixel, so that each visited one has its neighbours.
    const int32_t status = HgCopyCodes(image, huegrid, codes.get());
    if (status != kStatusOk) return status;
    return HgWalkGreyCodes(codes.get(), width, height, mask, level, visit, context, measured);
}
