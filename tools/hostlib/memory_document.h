// A document held wholly in memory as two images of 16-bit samples (the source and the result)
// and an optional mask: the simplest document, for tests and small images. Samples are kept in
// the host's scale whatever the depth (8-bit values 0..255 in uint16).
#pragma once

#include <cstdint>
#include <vector>

#include "tools/hostlib/host_document.h"

// Pixels in the host's scale, interleaved.
struct HostPixels {
    int32_t width = 0;
    int32_t height = 0;
    int32_t planes = 0;
    int32_t depth = 8;  // 8 or 16
    std::vector<uint16_t> samples;

    uint16_t& At(int64_t y, int64_t x, int32_t p) {
        return samples[size_t((y * width + x) * planes + p)];
    }
    uint16_t At(int64_t y, int64_t x, int32_t p) const {
        return samples[size_t((y * width + x) * planes + p)];
    }
};

class MemoryDocument : public HostDocument {
   public:
    // mask: width * height bytes, or empty (or null) for no selection. The document keeps the
    // pointers; source and destination have the same size, planes and depth.
    MemoryDocument(const HostPixels* source, HostPixels* destination,
                   const std::vector<uint8_t>* mask);

    int32_t Width() const override { return source_->width; }
    int32_t Height() const override { return source_->height; }
    int32_t Planes() const override { return source_->planes; }
    int32_t Depth() const override { return source_->depth; }
    bool HasMask() const override { return mask_ != nullptr && !mask_->empty(); }

    bool ReadSource(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst, size_t rowBytes,
                    std::string* why) override;
    bool ReadResult(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst, size_t rowBytes,
                    bool unwrittenMayStay, std::string* why) override;
    bool WriteResult(const VRect& rect, int32_t lo, int32_t count, const uint8_t* src,
                     size_t rowBytes, std::string* why) override;
    bool ReadMask(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string* why) override;

   private:
    const HostPixels* source_;
    HostPixels* destination_;
    const std::vector<uint8_t>* mask_;
};
