// TIFF through libtiff: stripped or tiled, contiguous or planar, any compression libtiff decodes,
// RGB or grey with at most one extra (alpha) channel, 8 or 16 bits. JPEG-compressed YCbCr is
// decoded to RGB by libtiff; other YCbCr, palette, CMYK and Lab files are refused. Written files
// are contiguous, Deflate-compressed with the horizontal predictor (LZW when libtiff lacks
// Deflate), with the resolution in pixels per inch.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "tools/filterhost/image_file.h"
#include "tools/hostlib/host_os.h"

namespace {

// libtiff reports through process-wide handlers; we keep the last message for our one line.
std::string gTiffError;

void CollectError(const char*, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    gTiffError = text;
}

void IgnoreWarning(const char*, const char*, va_list) {}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr Open(const std::string& path, const char* mode) {
    TIFFSetErrorHandler(CollectError);
    TIFFSetWarningHandler(IgnoreWarning);
    gTiffError.clear();
    return TiffPtr(TIFFOpen(path.c_str(), mode));
}

std::string TiffError(const char* fallback) {
    return gTiffError.empty() ? std::string(fallback) : gTiffError;
}

// Copies one decoded run of samples (8 or 16 bits, `step` samples apart) into the image.
void Store(Image* image, const uint8_t* bytes, int32_t y, int32_t x0, int32_t count,
           int32_t firstChannel, int32_t channelsInRun) {
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t c = 0; c < channelsInRun; ++c) {
            size_t k = size_t(i) * size_t(channelsInRun) + size_t(c);
            uint16_t v;
            if (image->depth == 16) {
                std::memcpy(&v, bytes + 2 * k, 2);
            } else {
                v = bytes[k];
            }
            image->At(y, x0 + i, firstChannel + c) = v;
        }
    }
}

bool ReadStrips(TIFF* tif, Image* image, bool planar, std::string* error) {
    tmsize_t size = TIFFScanlineSize(tif);
    int32_t perRun = planar ? 1 : image->channels;
    if (size < tmsize_t(image->width) * perRun * (image->depth / 8)) {
        *error = "inconsistent scanline size";
        return false;
    }
    std::vector<uint8_t> line(static_cast<size_t>(size));
    int32_t passes = planar ? image->channels : 1;
    for (int32_t s = 0; s < passes; ++s) {
        for (int32_t y = 0; y < image->height; ++y) {
            if (TIFFReadScanline(tif, line.data(), uint32_t(y), uint16_t(s)) < 0) {
                *error = TiffError("cannot decode the image data");
                return false;
            }
            Store(image, line.data(), y, 0, image->width, planar ? s : 0, perRun);
        }
    }
    return true;
}

bool ReadTiles(TIFF* tif, Image* image, bool planar, std::string* error) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    tmsize_t size = TIFFTileSize(tif);
    int32_t perRun = planar ? 1 : image->channels;
    size_t rowBytes = size_t(tw) * size_t(perRun) * size_t(image->depth / 8);
    if (tw == 0 || th == 0 || size <= 0 || uint64_t(size) < uint64_t(rowBytes) * th) {
        *error = "inconsistent tile size";
        return false;
    }
    std::vector<uint8_t> tile(static_cast<size_t>(size));
    int32_t passes = planar ? image->channels : 1;
    for (int32_t s = 0; s < passes; ++s) {
        for (uint32_t y = 0; y < uint32_t(image->height); y += th) {
            for (uint32_t x = 0; x < uint32_t(image->width); x += tw) {
                if (TIFFReadTile(tif, tile.data(), x, y, 0, uint16_t(s)) < 0) {
                    *error = TiffError("cannot decode the image data");
                    return false;
                }
                int32_t cols = int32_t(std::min<uint32_t>(tw, uint32_t(image->width) - x));
                for (uint32_t ty = 0; ty < th && y + ty < uint32_t(image->height); ++ty) {
                    Store(image, tile.data() + ty * rowBytes, int32_t(y + ty), int32_t(x), cols,
                          planar ? s : 0, perRun);
                }
            }
        }
    }
    return true;
}

// What a written file is compressed with: the input's own lossless compression when libtiff can
// write it (an uncompressed file stays uncompressed), else Deflate (LZW where libtiff lacks it).
uint16_t WrittenCompression(int32_t wanted) {
    switch (wanted) {
        case COMPRESSION_NONE:
        case COMPRESSION_LZW:
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_PACKBITS:
            if (TIFFIsCODECConfigured(uint16_t(wanted))) return uint16_t(wanted);
            break;
        default:
            break;
    }
    return TIFFIsCODECConfigured(COMPRESSION_ADOBE_DEFLATE) ? COMPRESSION_ADOBE_DEFLATE
                                                            : COMPRESSION_LZW;
}

// Maps an uncompressed file whose strips hold whole rows in this machine's byte order; false
// (rows untouched) when the file is not such a file or cannot be mapped. Every strip is checked
// to lie inside the file.
bool MapRows(const std::string& path, const TiffPtr& tif, const Image& header, size_t rowBytes,
             ImageRows* rows) {
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    if (compression != COMPRESSION_NONE || (header.depth == 16 && TIFFIsByteSwapped(tif.get()))) {
        return false;
    }
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const uint64_t* offsets = nullptr;
    const uint64_t* counts = nullptr;
    if (rowsPerStrip == 0 || !TIFFGetField(tif.get(), TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tif.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) || offsets == nullptr ||
        counts == nullptr) {
        return false;
    }
    const uint32_t strips = TIFFNumberOfStrips(tif.get());
    FileMapping map;
    HostOs_MapFile(path, &map.base, &map.size, &map.copy);
    if (map.base == nullptr) return false;
    std::vector<const uint8_t*> mapped(size_t(header.height));
    for (int32_t y = 0; y < header.height; ++y) {
        const uint32_t s = uint32_t(y) / rowsPerStrip;
        const uint64_t inStrip = uint64_t(y % int32_t(rowsPerStrip)) * rowBytes;
        if (s >= strips || counts[s] < inStrip + rowBytes || offsets[s] > map.size ||
            map.size - offsets[s] < inStrip + rowBytes) {
            return false;
        }
        mapped[size_t(y)] = static_cast<const uint8_t*>(map.base) + offsets[s] + inStrip;
    }
    rows->rowBytes = rowBytes;
    rows->mapping = std::move(map);
    rows->mapped = std::move(mapped);
    return true;
}

// Reads the header of an open file into the image's fields (no samples); planar tells whether
// the samples are stored plane by plane, photometric the colour model after JPEG's YCbCr has been
// turned into RGB.
bool ReadHeader(const TiffPtr& tif, Image* image, bool* planar, uint16_t* photometricOut,
                std::string* error) {
    uint32_t width = 0, height = 0;
    uint16_t spp = 1, bps = 1, photometric = 0, planarConfig = PLANARCONFIG_CONTIG;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planarConfig);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric)) {
        *error = "the TIFF file has no colour model (Photometric tag)";
        return false;
    }
    if (photometric == PHOTOMETRIC_YCBCR) {
        if (compression != COMPRESSION_JPEG) {
            *error = "YCbCr TIFF files are supported only with JPEG compression";
            return false;
        }
        TIFFSetField(tif.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        photometric = PHOTOMETRIC_RGB;
    }
    int32_t base = 0;
    if (photometric == PHOTOMETRIC_RGB) base = 3;
    if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) base = 1;
    if (base == 0) {
        *error = "TIFF colour model " + std::to_string(photometric) +
                 " is not supported (only RGB and grey)";
        return false;
    }
    if (!(spp == base || spp == base + 1)) {
        *error = "TIFF files with " + std::to_string(spp) + " channels are not supported";
        return false;
    }
    if (!(bps == 8 || bps == 16) || sampleFormat != SAMPLEFORMAT_UINT) {
        *error = "TIFF files with " + std::to_string(bps) +
                 "-bit or non-integer samples are not supported (only 8 and 16 bits)";
        return false;
    }
    if (spp == base + 1) {
        uint16_t count = 0;
        uint16_t* kinds = nullptr;
        if (TIFFGetField(tif.get(), TIFFTAG_EXTRASAMPLES, &count, &kinds) && count >= 1) {
            image->associatedAlpha = kinds[0] == EXTRASAMPLE_ASSOCALPHA;
        }
    }
    if (width > uint32_t(INT32_MAX) || height > uint32_t(INT32_MAX)) {
        *error = "the image is too large";
        return false;
    }
    image->width = int32_t(width);
    image->height = int32_t(height);
    image->channels = spp;
    image->depth = bps;
    image->tiffCompression = compression;
    float xres = 0, yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xres) &&
        TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &yres) && xres > 0 && yres > 0 &&
        unit != RESUNIT_NONE) {
        double toInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
        image->xResolution = xres * toInch;
        image->yResolution = yres * toInch;
    }
    *planar = planarConfig == PLANARCONFIG_SEPARATE && spp > 1;
    *photometricOut = photometric;
    return true;
}

}  // namespace

bool ReadTiff(const std::string& path, Image* image, std::string* error) {
    TiffPtr tif = Open(path, "r");
    if (!tif) {
        *error = TiffError("cannot open the TIFF file");
        return false;
    }
    bool planar = false;
    uint16_t photometric = 0;
    if (!ReadHeader(tif, image, &planar, &photometric, error)) return false;
    if (!AllocateImage(image, error)) return false;
    bool ok = TIFFIsTiled(tif.get()) ? ReadTiles(tif.get(), image, planar, error)
                                     : ReadStrips(tif.get(), image, planar, error);
    if (ok && photometric == PHOTOMETRIC_MINISWHITE) {
        uint16_t max = image->depth == 16 ? 65535 : 255;
        const size_t step = size_t(image->channels);
        for (size_t i = 0; i < image->samples.size(); i += step) {
            image->samples[i] = uint16_t(max - image->samples[i]);
        }
    }
    return ok;
}

int ReadTiffRows(const std::string& path, Image* header, ImageRows* rows, std::string* error) {
    TiffPtr tif = Open(path, "r");
    if (!tif) {
        *error = TiffError("cannot open the TIFF file");
        return -1;
    }
    bool planar = false;
    uint16_t photometric = 0;
    if (!ReadHeader(tif, header, &planar, &photometric, error)) return -1;
    if (planar || TIFFIsTiled(tif.get()) || photometric == PHOTOMETRIC_MINISWHITE) return 0;
    const size_t rowBytes =
        size_t(header->width) * size_t(header->channels) * size_t(header->depth / 8);
    if (TIFFScanlineSize(tif.get()) != tmsize_t(rowBytes)) return 0;
    if (MapRows(path, tif, *header, rowBytes, rows)) return 1;
    if (!AllocateRows(*header, rows, error)) return -1;
    // Rows are decoded straight into place.
    for (int32_t y = 0; y < header->height; ++y) {
        if (TIFFReadScanline(tif.get(), rows->Row(y), uint32_t(y), 0) < 0) {
            *error = TiffError("cannot decode the image data");
            return -1;
        }
    }
    return 1;
}

bool WriteTiff(const std::string& path, const Image& image, std::string* error) {
    const size_t perRow = size_t(image.width) * size_t(image.channels);
    std::vector<uint8_t> row(perRow * size_t(image.depth / 8));
    return WriteTiffRows(
        path, image,
        [&](int32_t y) -> const uint8_t* {
            const uint16_t* src = image.samples.data() + size_t(y) * perRow;
            if (image.depth == 16) return reinterpret_cast<const uint8_t*>(src);
            for (size_t i = 0; i < perRow; ++i) row[i] = uint8_t(src[i]);
            return row.data();
        },
        error);
}

bool WriteTiffRows(const std::string& path, const Image& header, const RowSource& rows,
                   std::string* error) {
    TiffPtr tif = Open(path, "w");
    if (!tif) {
        *error = TiffError("cannot create the file");
        return false;
    }
    TIFF* t = tif.get();
    const Image& image = header;
    bool colour = image.channels >= 3;
    bool alpha = image.channels == 2 || image.channels == 4;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(image.channels));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(image.depth));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (alpha) {
        uint16_t kind = image.associatedAlpha ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
    }
    const uint16_t compression = WrittenCompression(image.tiffCompression);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    if (compression != COMPRESSION_NONE && compression != COMPRESSION_PACKBITS) {
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    }
    // Uncompressed strips of about 1 MiB: libtiff writes a strip at a time, and its default of
    // 8 KiB makes a large file thousands of small writes.
    const size_t rowBytes = size_t(image.width) * size_t(image.channels) * size_t(image.depth / 8);
    const uint32_t rowsPerStrip = compression == COMPRESSION_NONE
                                      ? uint32_t(std::max<size_t>(1, (size_t(1) << 20) / rowBytes))
                                      : TIFFDefaultStripSize(t, 0);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, float(image.xResolution));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, float(image.yResolution));
    // libtiff may encode in place (the predictor does), so rows go through a buffer of our own.
    std::vector<uint8_t> line(rowBytes);
    for (int32_t y = 0; y < image.height; ++y) {
        std::memcpy(line.data(), rows(y), rowBytes);
        if (TIFFWriteScanline(t, line.data(), uint32_t(y), 0) < 0) {
            *error = TiffError("cannot write the image data");
            return false;
        }
    }
    if (!TIFFFlush(t)) {
        *error = TiffError("cannot write the file");
        return false;
    }
    return true;
}
