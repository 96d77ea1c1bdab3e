// The layout of an uncompressed, little-endian, contiguous TIFF file; see plain_tiff.h.
#include "tools/filterhost/plain_tiff.h"

#include <algorithm>
#include <cmath>

namespace {

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

enum : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

// One directory entry: the value inline when it fits in four bytes, else at offset.
void Entry(std::vector<uint8_t>* ifd, uint16_t tag, uint16_t type, uint32_t count,
           uint32_t valueOrOffset) {
    Put16(ifd, tag);
    Put16(ifd, type);
    Put32(ifd, count);
    if (type == kShort && count == 1) {
        Put16(ifd, valueOrOffset);
        Put16(ifd, 0);
    } else {
        Put32(ifd, valueOrOffset);
    }
}

}  // namespace

bool PlainTiffHead(const Image& header, std::vector<uint8_t>* head, std::string* error) {
    const uint32_t channels = uint32_t(header.channels);
    const uint32_t bytes = uint32_t(header.depth / 8);
    const uint64_t rowBytes = uint64_t(header.width) * channels * bytes;
    const uint32_t rowsPerStrip =
        uint32_t(std::max<uint64_t>(1, std::min<uint64_t>(header.height, 65536 / rowBytes)));
    const uint32_t strips = (uint32_t(header.height) + rowsPerStrip - 1) / rowsPerStrip;
    const bool alpha = channels == 2 || channels == 4;
    const uint16_t entries = alpha ? 14 : 13;

    // Header, directory, then the values that do not fit in their entries, then the pixels.
    const uint32_t ifdSize = 2 + entries * 12u + 4;
    uint32_t at = 8 + ifdSize;
    const uint32_t bitsAt = at;
    if (channels > 2) at += 2 * channels;
    const uint32_t xResAt = at, yResAt = at + 8;
    at += 16;
    const uint32_t offsetsAt = at;
    if (strips > 1) at += 4 * strips;
    const uint32_t countsAt = at;
    if (strips > 1) at += 4 * strips;
    const uint64_t total = at + rowBytes * uint64_t(header.height);
    if (total > 0xFFFFFFFFull) {
        *error = "the image is too large for an uncompressed TIFF file (4 GiB); write PAM";
        return false;
    }
    auto stripBytes = [&](uint32_t s) {
        uint32_t n = std::min(rowsPerStrip, uint32_t(header.height) - s * rowsPerStrip);
        return uint32_t(n * rowBytes);
    };

    head->assign({'I', 'I', 42, 0});
    Put32(head, 8);
    Put16(head, entries);
    Entry(head, 256, kLong, 1, uint32_t(header.width));
    Entry(head, 257, kLong, 1, uint32_t(header.height));
    if (channels > 2) {
        Entry(head, 258, kShort, channels, bitsAt);
    } else {
        // Two shorts fit in the entry itself.
        Put16(head, 258);
        Put16(head, kShort);
        Put32(head, channels);
        Put16(head, header.depth);
        Put16(head, channels == 2 ? header.depth : 0);
    }
    Entry(head, 259, kShort, 1, 1);                      // no compression
    Entry(head, 262, kShort, 1, channels >= 3 ? 2 : 1);  // RGB, or grey with black at 0
    Entry(head, 273, kLong, strips, strips > 1 ? offsetsAt : at);
    Entry(head, 277, kShort, 1, channels);
    Entry(head, 278, kLong, 1, rowsPerStrip);
    Entry(head, 279, kLong, strips, strips > 1 ? countsAt : stripBytes(0));
    Entry(head, 282, kRational, 1, xResAt);
    Entry(head, 283, kRational, 1, yResAt);
    Entry(head, 284, kShort, 1, 1);  // contiguous
    Entry(head, 296, kShort, 1, 2);  // inch
    if (alpha) Entry(head, 338, kShort, 1, header.associatedAlpha ? 1 : 2);
    Put32(head, 0);  // no next directory
    if (channels > 2) {
        for (uint32_t c = 0; c < channels; ++c) Put16(head, header.depth);
    }
    for (double r : {header.xResolution, header.yResolution}) {
        const double ppi = std::isfinite(r) && r > 0 && r < 1e6 ? r : 72.0;
        Put32(head, uint32_t(std::lround(ppi * 1000)));
        Put32(head, 1000);
    }
    if (strips > 1) {
        for (uint32_t s = 0; s < strips; ++s)
            Put32(head, at + s * rowsPerStrip * uint32_t(rowBytes));
        for (uint32_t s = 0; s < strips; ++s) Put32(head, stripBytes(s));
    }

    return true;
}
