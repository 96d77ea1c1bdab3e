// Image files for the stand-in host: TIFF (libtiff), PNG (libpng), JPEG (libjpeg) and PAM (our
// own code, the same on every system) read into one plain record and written back in the same
// depth. The Windows build has no libtiff, libpng or libjpeg: it reads and writes PAM and
// uncompressed TIFF, and names the format it cannot handle.
//
// Samples are kept interleaved in file scale (0..255 for 8-bit files, 0..65535 for 16-bit ones)
// whatever the file's own layout was (planar, tiled, compressed, palette, MinIsWhite); the host
// converts to its own scale when it builds the document. Orientation tags are not applied: rows
// are taken in file order. Writing always goes to a temporary file beside the target, renamed over
// it only when complete, so a failed or interrupted write never leaves a changed or half file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class ImageFormat { kUnknown, kTiff, kPng, kJpeg, kPam };

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 0;       // 1 grey, 2 grey and alpha, 3 RGB, 4 RGB and alpha
    int32_t depth = 8;          // bits per sample: 8 or 16
    double xResolution = 72.0;  // pixels per inch
    double yResolution = 72.0;
    bool associatedAlpha = false;   // TIFF only: the alpha channel is premultiplied
    int32_t tiffCompression = 0;    // TIFF only: the file's compression scheme (0: not a TIFF)
    std::vector<uint16_t> samples;  // width * height * channels, interleaved, rows top down

    uint16_t& At(int32_t y, int32_t x, int32_t c) {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
    uint16_t At(int32_t y, int32_t x, int32_t c) const {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
};

// A large block of bytes, not zero-filled, in huge pages where the system offers them: a
// 24-megapixel image otherwise costs tens of thousands of page faults on first touch.
struct FreeBytes {
    void operator()(uint8_t* p) const;
};
using LargeBytes = std::unique_ptr<uint8_t[], FreeBytes>;
// Null when there is not enough memory.
LargeBytes AllocateLarge(size_t bytes);

// Rows of samples in file scale held compactly, for images too large to widen: bytes for 8-bit
// images, native uint16 for 16-bit ones, interleaved, rows rowBytes apart.
// An uncompressed file whose rows lie in it as they are held: mapped read-only, never copied.
struct FileMapping {
    FileMapping() = default;
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;
    FileMapping(FileMapping&& other) noexcept;
    FileMapping& operator=(FileMapping&& other) noexcept;
    ~FileMapping();
    void* base = nullptr;
    size_t size = 0;
    // The same file's copy-on-write view (HostOs_MapFile), or null: what a filter is lent to read
    // its input from in place (FileDocument::LendSource).
    void* copy = nullptr;
};

struct ImageRows {
    LargeBytes data;
    size_t rowBytes = 0;
    FileMapping mapping;
    std::vector<const uint8_t*> mapped;  // row y inside the mapping, when the file is mapped
    uint8_t* Row(int32_t y) const { return data.get() + size_t(y) * rowBytes; }
    const uint8_t* SourceRow(int32_t y) const {
        return mapped.empty() ? Row(y) : mapped[size_t(y)];
    }
};

// Hands out row y (0 .. height - 1, in order) in the layout of ImageRows; the pointer stays
// valid until the next call.
using RowSource = std::function<const uint8_t*(int32_t y)>;

// The largest image we agree to hold: samples, so that the buffers stay well inside memory.
constexpr uint64_t kMaxImageSamples = uint64_t(1) << 30;

// The format named by the file's extension (.tif, .tiff, .png, .jpg, .jpeg, .pam; any case).
ImageFormat FormatFromPath(const std::string& path);

// Reads the file (format by its content, not its name). On failure returns false and a short
// reason without the path.
bool ReadImageFile(const std::string& path, Image* image, std::string* error);

// Reads the file into compact rows; `header` gets every field but the samples. Uncompressed,
// stripped, contiguous TIFF files in this machine's byte order are mapped (rows then come from
// SourceRow); other stripped, contiguous TIFF files are decoded straight into the rows; other files
// go through Image.
bool ReadImageRows(const std::string& path, Image* header, ImageRows* rows, std::string* error);

// Whether the format can hold the image as it is (JPEG: 8-bit, no alpha); empty when it can.
std::string CannotWriteReason(ImageFormat format, const Image& image);

// Writes the image in the format given, through a temporary file renamed over path.
bool WriteImageFile(const std::string& path, ImageFormat format, const Image& image,
                    std::string* error);

// Writes rows in the format given, through a temporary file renamed over path. The header gives
// everything but the samples; TIFF keeps header.tiffCompression when it is a lossless scheme
// libtiff can write (an uncompressed input is written uncompressed), else Deflate.
bool WriteImageRows(const std::string& path, ImageFormat format, const Image& header,
                    const RowSource& rows, std::string* error);

// The format modules, called by the routines above. They write to the path given as it is.
bool ReadTiff(const std::string& path, Image* image, std::string* error);
bool WriteTiff(const std::string& path, const Image& image, std::string* error);
// 1 when the file's layout allowed decoding straight into rows, 0 when it needs ReadTiff (rows
// untouched), -1 on an error.
int ReadTiffRows(const std::string& path, Image* header, ImageRows* rows, std::string* error);
bool WriteTiffRows(const std::string& path, const Image& header, const RowSource& rows,
                   std::string* error);
bool ReadPng(const std::string& path, Image* image, std::string* error);
bool WritePng(const std::string& path, const Image& image, std::string* error);
bool ReadJpeg(const std::string& path, Image* image, std::string* error);
bool WriteJpeg(const std::string& path, const Image& image, std::string* error);
bool ReadPam(const std::string& path, Image* image, std::string* error);
bool WritePam(const std::string& path, const Image& image, std::string* error);
// Empty when this build reads and writes the format; else why not (one line).
std::string FormatMissingReason(ImageFormat format);

// Checks the size against kMaxImageSamples and sizes image->samples; false with a reason when the
// image is empty or too large.
bool AllocateImage(Image* image, std::string* error);
// The same checks for compact rows (not zero-filled).
bool AllocateRows(const Image& header, ImageRows* rows, std::string* error);
