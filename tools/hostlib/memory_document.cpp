// The in-memory document; see memory_document.h.
#include "tools/hostlib/memory_document.h"

#include <algorithm>
#include <cstring>

namespace {

void CopyOut(const HostPixels& pixels, const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
             size_t rowBytes) {
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = dst + size_t(y - rect.top) * rowBytes;
        size_t at = 0;
        for (int64_t x = rect.left; x < rect.right; ++x) {
            for (int32_t p = 0; p < count; ++p, ++at) {
                uint16_t v = pixels.At(y, x, lo + p);
                if (pixels.depth == 16) {
                    std::memcpy(row + 2 * at, &v, 2);
                } else {
                    row[at] = uint8_t(v);
                }
            }
        }
    }
}

}  // namespace

MemoryDocument::MemoryDocument(const HostPixels* source, HostPixels* destination,
                               const std::vector<uint8_t>* mask)
    : source_(source), destination_(destination), mask_(mask) {}

bool MemoryDocument::ReadSource(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                                size_t rowBytes, std::string*) {
    CopyOut(*source_, rect, lo, count, dst, rowBytes);
    return true;
}

bool MemoryDocument::ReadResult(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                                size_t rowBytes, bool, std::string*) {
    CopyOut(*destination_, rect, lo, count, dst, rowBytes);
    return true;
}

bool MemoryDocument::WriteResult(const VRect& rect, int32_t lo, int32_t count, const uint8_t* src,
                                 size_t rowBytes, std::string*) {
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
        const uint8_t* row = src + size_t(y - rect.top) * rowBytes;
        size_t at = 0;
        for (int64_t x = rect.left; x < rect.right; ++x) {
            for (int32_t p = 0; p < count; ++p, ++at) {
                uint16_t v = row[at];
                if (destination_->depth == 16) std::memcpy(&v, row + 2 * at, 2);
                destination_->At(y, x, lo + p) = v;
            }
        }
    }
    return true;
}

bool MemoryDocument::ReadMask(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string*) {
    const size_t width = size_t(source_->width);
    for (int64_t y = rect.top; y < rect.bottom; ++y) {
        std::memcpy(dst + size_t(y - rect.top) * rowBytes,
                    mask_->data() + size_t(y) * width + size_t(rect.left),
                    size_t(rect.right - rect.left));
    }
    return true;
}
