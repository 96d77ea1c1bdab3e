// The document a host serves to a filter: what the strip server reads pixels from and writes the
// filter's output back to, whatever holds them (an image file in memory, an editor's layer).
//
// A document is a grid of Width() x Height() pixels of Planes() interleaved samples (3 RGB or 4
// RGB and transparency; 1 or 2 for grey) at Depth() 8 or 16 bits, in the host's scale: 8-bit
// samples 0..255 as bytes, 16-bit samples 0..32768 as native uint16. It keeps two images: the
// source, which never changes while a filter runs (input always comes from it), and the result,
// which starts as a copy of the source and takes what the filter writes. An optional selection
// mask (one byte per pixel, 0..255) rides along.
//
// Every request names a rectangle that lies inside the document (the strip server handles
// padding and sampling), a run of planes lo .. lo + count - 1, and a buffer whose rows are
// rowBytes apart; samples are interleaved in it, count per pixel. A document answers false with a
// short reason only when it cannot reach its pixels (an editor that refuses a tile, for
// example); a bad rectangle is the caller's fault and never asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "hostsdk/filter_record.h"

class HostDocument {
   public:
    virtual ~HostDocument() = default;

    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual int32_t Planes() const = 0;
    virtual int32_t Depth() const = 0;
    virtual bool HasMask() const = 0;

    // Copies samples of the unfiltered source.
    virtual bool ReadSource(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                            size_t rowBytes, std::string* why) = 0;
    // Copies samples of the result. When unwrittenMayStay is true the host need not deliver rows
    // the filter has never written (the filter told the host, through its case info, that it
    // does not rely on the destination starting as a copy of the source): a document that can
    // tell such rows apart leaves them in dst as they are, which saves reading them.
    virtual bool ReadResult(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
                            size_t rowBytes, bool unwrittenMayStay, std::string* why) = 0;
    // Stores samples into the result. 16-bit samples are in 0..32768 (the strip server clamps).
    virtual bool WriteResult(const VRect& rect, int32_t lo, int32_t count, const uint8_t* src,
                             size_t rowBytes, std::string* why) = 0;
    // Copies mask bytes; asked only when HasMask().
    virtual bool ReadMask(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string* why) = 0;

    // The source samples of rect, every plane, lent in place of a copy where the document holds
    // them in memory as ReadSource would lay them out (host scale, planes interleaved) with rows
    // *rowBytes apart: a pointer to the rectangle's first sample, or null when it cannot (the
    // caller then copies). The filter may write through the pointer, as into any input buffer;
    // that never changes the source, and every loan reads as the source whatever was written
    // through the ones before. A loan ends with the next call.
    virtual uint8_t* LendSource(const VRect& rect, size_t* rowBytes) {
        (void)rect;
        (void)rowBytes;
        return nullptr;
    }
};

// Conversions between file samples (0..65535) and the host's 16-bit scale (0..32768), rounded.
// Inline: the documents convert every sample of a 16-bit image this way, on the thread that
// serves the strips while the filter's threads wait for it; a call per sample took a tenth of
// the processor time of a 16-bit run with noise removal. FileToHost16 is round(v * 32768 / 65535)
// with the division by 65535 done as additions and shifts, exact for every 16-bit v (the test
// checks all of them): a real division keeps the compiler from converting eight samples at once.
inline uint16_t FileToHost16(uint16_t v) {
    const uint32_t x = uint32_t(v) * 32768u + 32767u;
    return uint16_t((x + 1u + (x >> 16)) >> 16);
}
inline uint16_t HostToFile16(uint16_t v) {
    const uint32_t h = v < 32768u ? v : 32768u;
    return uint16_t((h * 65535u + 16384u) / 32768u);
}
