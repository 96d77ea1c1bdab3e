// Image files for the stand-in host: TIFF (libtiff), PNG (libpng) and JPEG (libjpeg) read into
// one plain record and written back in the same depth.
//
// Samples are kept interleaved in file scale (0..255 for 8-bit files, 0..65535 for 16-bit ones)
// whatever the file's own layout was (planar, tiled, compressed, palette, MinIsWhite); the host
// converts to its own scale when it builds the document. Orientation tags are not applied: rows
// are taken in file order. Writing always goes to a temporary file beside the target, renamed over
// it only when complete, so a failed or interrupted write never leaves a changed or half file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ImageFormat { kUnknown, kTiff, kPng, kJpeg };

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;       // 1 grey, 2 grey and alpha, 3 RGB, 4 RGB and alpha
    int32_t depth = 8;          // bits per sample: 8 or 16
    double xResolution = 72.0;  // pixels per inch
    double yResolution = 72.0;
    bool associatedAlpha = false;   // TIFF only: the alpha channel is premultiplied
    std::vector<uint16_t> samples;  // width * height * channels, interleaved, rows top down

    uint16_t& At(int32_t y, int32_t x, int32_t c) {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
    uint16_t At(int32_t y, int32_t x, int32_t c) const {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
};

// The largest image we agree to hold: samples, so that the buffers stay well inside memory.
constexpr uint64_t kMaxImageSamples = uint64_t(1) << 30;

// The format named by the file's extension (.tif, .tiff, .png, .jpg, .jpeg; any case).
ImageFormat FormatFromPath(const std::string& path);

// Reads the file (format by its content, not its name). On failure returns false and a short
// reason without the path.
bool ReadImageFile(const std::string& path, Image* image, std::string* error);

// Whether the format can hold the image as it is (JPEG: 8-bit, no alpha); empty when it can.
std::string CannotWriteReason(ImageFormat format, const Image& image);

// Writes the image in the format given, through a temporary file renamed over path.
bool WriteImageFile(const std::string& path, ImageFormat format, const Image& image,
                    std::string* error);

// The format modules, called by the two routines above. They write to the path given as it is.
bool ReadTiff(const std::string& path, Image* image, std::string* error);
bool WriteTiff(const std::string& path, const Image& image, std::string* error);
bool ReadPng(const std::string& path, Image* image, std::string* error);
bool WritePng(const std::string& path, const Image& image, std::string* error);
bool ReadJpeg(const std::string& path, Image* image, std::string* error);
bool WriteJpeg(const std::string& path, const Image& image, std::string* error);

// Checks the size against kMaxImageSamples and sizes image->samples; false with a reason when the
// image is empty or too large.
bool AllocateImage(Image* image, std::string* error);
