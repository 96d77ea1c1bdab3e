// TIFF without libtiff, for the Windows build: read through the project's own image library
// (uncompressed strips, grey, palette or RGB, 8 or 16 bits, either byte order and planar
// configuration; no alpha channel, which that reader does not take), written by the small writer
// here (uncompressed, little-endian, contiguous, strips of about 64 KiB, one to four channels
// with an unassociated or associated alpha channel as the image says, the resolution in pixels
// per inch).
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imagelib/ras_row_reader.h"
#include "platform/file.h"
#include "platform/os.h"
#include "tools/filterhost/image_file.h"

namespace {

const char kUnsupported[] =
    "this filterhost reads uncompressed TIFF files with grey, palette or RGB samples of 8 or 16 "
    "bits and no alpha channel; write other pictures as PAM";
// The image library answers for the last reader it tried, so a TIFF of another kind can come back
// as a damaged file of some other format.
const char kUnsupportedOrDamaged[] =
    "the TIFF file is damaged or not of a kind this filterhost reads (uncompressed; grey, palette "
    "or RGB samples of 8 or 16 bits; no alpha channel); write other pictures as PAM";

std::string ReadError(int32_t status) {
    switch (status) {
        case kStatusFileOpen:
            return "cannot open the file";
        case kStatusFileRead:
        case kStatusFileSeek:
            return "the TIFF file is cut short or cannot be read";
        case kStatusFormat:
            return kUnsupportedOrDamaged;
        case kStatusNoMemory:
            return "not enough memory for the image";
        case kStatusUnsupported:
            return kUnsupported;
        default:
            return "the TIFF file cannot be read (status " + std::to_string(status) + ")";
    }
}

struct CloseReader {
    void operator()(RasRowReader* r) const { RasRowReaderClose(r); }
};

struct CloseFile {
    void operator()(FILE* f) const { std::fclose(f); }
};

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

bool ReadTiff(const std::string& path, Image* image, std::string* error) {
    FLSpec spec;
    FLSpecDisk(&spec, path.c_str());
    RasRowReader reader;
    int32_t status = RasRowReaderOpen(&reader, &spec);
    if (status != kStatusOk) {
        *error = ReadError(status);
        return false;
    }
    std::unique_ptr<RasRowReader, CloseReader> open(&reader);
    const RasImage& file = reader.image;
    if ((file.format != kRasFormatTiff && file.format != kRasFormatTiff16) ||
        (file.colorSpace != kRasSpaceGrey && file.colorSpace != kRasSpaceRGB)) {
        *error = kUnsupported;
        return false;
    }
    image->width = int32_t(file.width);
    image->height = int32_t(file.height);
    image->channels = int32_t(file.channels);
    image->depth = file.maxValue > 255 ? 16 : 8;
    image->xResolution = image->yResolution = file.resolution > 0 ? file.resolution : 72.0;
    image->tiffCompression = 1;
    if (!AllocateImage(image, error)) return false;
    const size_t rowSamples = size_t(image->width) * size_t(image->channels);
    std::vector<uint8_t> narrow(image->depth == 8 ? rowSamples : 0);
    for (int32_t y = 0; y < image->height; ++y) {
        uint16_t* row = image->samples.data() + size_t(y) * rowSamples;
        void* channels[kRasMaxChannels] = {};
        for (int32_t c = 0; c < image->channels; ++c) {
            channels[c] = image->depth == 16 ? static_cast<void*>(row + c)
                                             : static_cast<void*>(narrow.data() + c);
        }
        status = RasRowReaderRead(&reader, uint32_t(y), uint32_t(image->depth / 8),
                                  uint32_t(image->channels), channels);
        if (status != kStatusOk) {
            *error = ReadError(status) + " (row " + std::to_string(y) + ")";
            return false;
        }
        for (size_t i = 0; i < narrow.size(); ++i) row[i] = narrow[i];
    }
    return true;
}

// The rows of an uncompressed file are read through the image above.
int ReadTiffRows(const std::string&, Image*, ImageRows*, std::string*) {
    return 0;
}

bool WriteTiffRows(const std::string& path, const Image& header, const RowSource& rows,
                   std::string* error) {
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

    std::vector<uint8_t> head{'I', 'I', 42, 0};
    Put32(&head, 8);
    Put16(&head, entries);
    Entry(&head, 256, kLong, 1, uint32_t(header.width));
    Entry(&head, 257, kLong, 1, uint32_t(header.height));
    if (channels > 2) {
        Entry(&head, 258, kShort, channels, bitsAt);
    } else {
        // Two shorts fit in the entry itself.
        Put16(&head, 258);
        Put16(&head, kShort);
        Put32(&head, channels);
        Put16(&head, header.depth);
        Put16(&head, channels == 2 ? header.depth : 0);
    }
    Entry(&head, 259, kShort, 1, 1);                      // no compression
    Entry(&head, 262, kShort, 1, channels >= 3 ? 2 : 1);  // RGB, or grey with black at 0
    Entry(&head, 273, kLong, strips, strips > 1 ? offsetsAt : at);
    Entry(&head, 277, kShort, 1, channels);
    Entry(&head, 278, kLong, 1, rowsPerStrip);
    Entry(&head, 279, kLong, strips, strips > 1 ? countsAt : stripBytes(0));
    Entry(&head, 282, kRational, 1, xResAt);
    Entry(&head, 283, kRational, 1, yResAt);
    Entry(&head, 284, kShort, 1, 1);  // contiguous
    Entry(&head, 296, kShort, 1, 2);  // inch
    if (alpha) Entry(&head, 338, kShort, 1, header.associatedAlpha ? 1 : 2);
    Put32(&head, 0);  // no next directory
    if (channels > 2) {
        for (uint32_t c = 0; c < channels; ++c) Put16(&head, header.depth);
    }
    for (double r : {header.xResolution, header.yResolution}) {
        const double ppi = std::isfinite(r) && r > 0 && r < 1e6 ? r : 72.0;
        Put32(&head, uint32_t(std::lround(ppi * 1000)));
        Put32(&head, 1000);
    }
    if (strips > 1) {
        for (uint32_t s = 0; s < strips; ++s)
            Put32(&head, at + s * rowsPerStrip * uint32_t(rowBytes));
        for (uint32_t s = 0; s < strips; ++s) Put32(&head, stripBytes(s));
    }

    std::unique_ptr<FILE, CloseFile> f(Os_OpenFile(path.c_str(), "wb"));
    if (!f) {
        *error = std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size();
    std::vector<uint8_t> out(static_cast<size_t>(rowBytes));
    for (int32_t y = 0; ok && y < header.height; ++y) {
        const uint8_t* row = rows(y);
        if (bytes == 2) {
            // Rows hold native 16-bit samples; the file is little-endian.
            for (size_t i = 0; i < out.size() / 2; ++i) {
                uint16_t v;
                std::memcpy(&v, row + 2 * i, 2);
                out[2 * i] = uint8_t(v);
                out[2 * i + 1] = uint8_t(v >> 8);
            }
        } else {
            std::memcpy(out.data(), row, out.size());
        }
        ok = std::fwrite(out.data(), 1, out.size(), f.get()) == out.size();
    }
    if (std::fclose(f.release()) != 0) ok = false;
    if (!ok) *error = std::strerror(errno);
    return ok;
}

bool WriteTiff(const std::string& path, const Image& image, std::string* error) {
    const size_t rowSamples = size_t(image.width) * size_t(image.channels);
    std::vector<uint8_t> row(rowSamples * size_t(image.depth / 8));
    return WriteTiffRows(
        path, image,
        [&](int32_t y) {
            const uint16_t* in = image.samples.data() + size_t(y) * rowSamples;
            if (image.depth == 16) {
                std::memcpy(row.data(), in, row.size());
            } else {
                for (size_t i = 0; i < rowSamples; ++i) row[i] = uint8_t(in[i]);
            }
            return row.data();
        },
        error);
}
