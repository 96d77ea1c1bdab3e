// TIFF without libtiff, for the Windows build: read through the project's own image library
// (uncompressed strips, grey, palette or RGB, 8 or 16 bits, either byte order and planar
// configuration; no alpha channel, which that reader does not take), written in the plain layout
// (plain_tiff.h: uncompressed, little-endian, contiguous, one to four channels with an
// unassociated or associated alpha channel as the image says, the resolution in pixels per inch).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "imagelib/ras_row_reader.h"
#include "platform/file.h"
#include "platform/os.h"
#include "tools/filterhost/image_file.h"
#include "tools/filterhost/plain_tiff.h"

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
    const uint64_t rowBytes =
        uint64_t(header.width) * uint64_t(header.channels) * uint64_t(header.depth / 8);
    std::vector<uint8_t> head;
    if (!PlainTiffHead(header, &head, error)) return false;
    std::unique_ptr<FILE, CloseFile> f(Os_OpenFile(path.c_str(), "wb"));
    if (!f) {
        *error = std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size();
    std::vector<uint8_t> out(static_cast<size_t>(rowBytes));
    for (int32_t y = 0; ok && y < header.height; ++y) {
        const uint8_t* row = rows(y);
        if (header.depth == 16) {
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
