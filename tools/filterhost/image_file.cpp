// Format dispatch, size checks and the safe replacement of the output file; the formats
// themselves are in tiff_file.cpp, png_file.cpp, jpeg_file.cpp and pam_file.cpp.
#include "tools/filterhost/image_file.h"

#include "platform/os.h"
#include "tools/hostlib/host_os.h"
#include "tools/hostlib/whole_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return s;
}

ImageFormat SniffFormat(const std::string& path, std::string* error) {
    FILE* f = Os_OpenFile(path.c_str(), "rb");
    if (f == nullptr) {
        *error = std::strerror(errno);
        return ImageFormat::kUnknown;
    }
    unsigned char head[8] = {};
    size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= 4 &&
        ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
         (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43)))) {
        return ImageFormat::kTiff;
    }
    if (n == 8 && std::memcmp(head, kPng, 8) == 0) return ImageFormat::kPng;
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return ImageFormat::kJpeg;
    if (n >= 3 && head[0] == 'P' && (head[1] == '5' || head[1] == '6' || head[1] == '7') &&
        (head[2] == '\n' || head[2] == ' ' || head[2] == '\t' || head[2] == '\r')) {
        return ImageFormat::kPam;
    }
    *error = n == 0 ? "the file is empty" : "not a TIFF, PNG, JPEG or PAM file";
    return ImageFormat::kUnknown;
}

}  // namespace

ImageFormat FormatFromPath(const std::string& path) {
    size_t slash = path.find_last_of(HostOs_PathSeparators());
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return ImageFormat::kUnknown;
    }
    std::string ext = Lower(path.substr(dot + 1));
    if (ext == "tif" || ext == "tiff") return ImageFormat::kTiff;
    if (ext == "png") return ImageFormat::kPng;
    if (ext == "jpg" || ext == "jpeg") return ImageFormat::kJpeg;
    if (ext == "pam") return ImageFormat::kPam;
    return ImageFormat::kUnknown;
}

namespace {

// The size checks shared by both forms; the number of samples.
bool CheckSize(const Image& image, uint64_t* samples, std::string* error) {
    if (image.width <= 0 || image.height <= 0) {
        *error = "the image has no pixels";
        return false;
    }
    if (!(1 <= image.channels && image.channels <= 4) || !(image.depth == 8 || image.depth == 16)) {
        *error = "unsupported channel count or depth";
        return false;
    }
    *samples = uint64_t(image.width) * uint64_t(image.height) * uint64_t(image.channels);
    if (*samples > kMaxImageSamples) {
        *error = "the image is too large (" + std::to_string(image.width) + " x " +
                 std::to_string(image.height) + ")";
        return false;
    }
    return true;
}

// Writes through a temporary file in the target's folder (so that the rename cannot cross
// devices), renamed over path only when complete (whole_file.h).
bool WriteThroughTemporary(const std::string& path,
                           const std::function<bool(const std::string& temp)>& write,
                           std::string* error) {
    return WriteWholeFile(
        path, [&](const std::string& temp, std::string*) { return write(temp); }, error);
}

}  // namespace

FileMapping::FileMapping(FileMapping&& other) noexcept
    : base(other.base), size(other.size), copy(other.copy) {
    other.base = other.copy = nullptr;
    other.size = 0;
}

FileMapping& FileMapping::operator=(FileMapping&& other) noexcept {
    if (this != &other) {
        HostOs_UnmapFile(base, size);
        HostOs_UnmapFile(copy, size);
        base = other.base;
        size = other.size;
        copy = other.copy;
        other.base = other.copy = nullptr;
        other.size = 0;
    }
    return *this;
}

FileMapping::~FileMapping() {
    HostOs_UnmapFile(base, size);
    HostOs_UnmapFile(copy, size);
}

void FreeBytes::operator()(uint8_t* p) const {
    HostOs_FreeLarge(p);
}

LargeBytes AllocateLarge(size_t bytes) {
    return LargeBytes(static_cast<uint8_t*>(HostOs_AllocateLarge(bytes)));
}

bool AllocateImage(Image* image, std::string* error) {
    uint64_t samples = 0;
    if (!CheckSize(*image, &samples, error)) return false;
    image->samples.assign(size_t(samples), 0);
    return true;
}

bool AllocateRows(const Image& header, ImageRows* rows, std::string* error) {
    uint64_t samples = 0;
    if (!CheckSize(header, &samples, error)) return false;
    rows->rowBytes = size_t(header.width) * size_t(header.channels) * size_t(header.depth / 8);
    rows->data = AllocateLarge(size_t(samples) * size_t(header.depth / 8));
    if (!rows->data) {
        *error = "not enough memory for the image";
        return false;
    }
    return true;
}

bool ReadImageFile(const std::string& path, Image* image, std::string* error) {
    *image = Image();
    const ImageFormat format = SniffFormat(path, error);
    std::string missing = FormatMissingReason(format);
    if (!missing.empty()) {
        *error = missing;
        return false;
    }
    switch (format) {
        case ImageFormat::kTiff:
            return ReadTiff(path, image, error);
        case ImageFormat::kPng:
            return ReadPng(path, image, error);
        case ImageFormat::kJpeg:
            return ReadJpeg(path, image, error);
        case ImageFormat::kPam:
            return ReadPam(path, image, error);
        case ImageFormat::kUnknown:
            break;
    }
    return false;
}

bool ReadImageRows(const std::string& path, Image* header, ImageRows* rows, std::string* error) {
    *header = Image();
    std::string sniffError;
    if (SniffFormat(path, &sniffError) == ImageFormat::kTiff &&
        FormatMissingReason(ImageFormat::kTiff).empty()) {
        int fast = ReadTiffRows(path, header, rows, error);
        if (fast != 0) return fast > 0;
    }
    Image image;
    if (!ReadImageFile(path, &image, error) || !AllocateRows(image, rows, error)) return false;
    const size_t perRow = size_t(image.width) * size_t(image.channels);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint16_t* src = image.samples.data() + size_t(y) * perRow;
        uint8_t* row = rows->Row(y);
        if (image.depth == 16) {
            std::memcpy(row, src, perRow * 2);
        } else {
            for (size_t i = 0; i < perRow; ++i) row[i] = uint8_t(src[i]);
        }
    }
    image.samples.clear();
    image.samples.shrink_to_fit();
    *header = std::move(image);
    return true;
}

std::string CannotWriteReason(ImageFormat format, const Image& image) {
    std::string missing = FormatMissingReason(format);
    if (!missing.empty()) return missing;
    switch (format) {
        case ImageFormat::kUnknown:
            return "unknown file type (use .tif, .tiff, .png, .jpg, .jpeg or .pam)";
        case ImageFormat::kJpeg:
            if (image.depth != 8) return "JPEG holds only 8-bit images; write TIFF or PNG";
            if (image.channels == 2 || image.channels == 4) {
                return "JPEG cannot hold transparency; write TIFF or PNG";
            }
            return "";
        case ImageFormat::kTiff:
        case ImageFormat::kPng:
        case ImageFormat::kPam:
            return "";
    }
    return "";
}

bool WriteImageFile(const std::string& path, ImageFormat format, const Image& image,
                    std::string* error) {
    std::string reason = CannotWriteReason(format, image);
    if (!reason.empty()) {
        *error = reason;
        return false;
    }
    return WriteThroughTemporary(
        path,
        [&](const std::string& temp) {
            switch (format) {
                case ImageFormat::kTiff:
                    return WriteTiff(temp, image, error);
                case ImageFormat::kPng:
                    return WritePng(temp, image, error);
                case ImageFormat::kJpeg:
                    return WriteJpeg(temp, image, error);
                case ImageFormat::kPam:
                    return WritePam(temp, image, error);
                case ImageFormat::kUnknown:
                    break;
            }
            return false;
        },
        error);
}

bool WriteImageRows(const std::string& path, ImageFormat format, const Image& header,
                    const RowSource& rows, std::string* error) {
    std::string missing = FormatMissingReason(format);
    if (!missing.empty()) {
        *error = missing;
        return false;
    }
    if (format != ImageFormat::kTiff) {
        // PNG, JPEG and PAM go through the plain form.
        Image image = header;
        if (!AllocateImage(&image, error)) return false;
        const size_t perRow = size_t(image.width) * size_t(image.channels);
        for (int32_t y = 0; y < image.height; ++y) {
            const uint8_t* row = rows(y);
            uint16_t* dst = image.samples.data() + size_t(y) * perRow;
            if (image.depth == 16) {
                std::memcpy(dst, row, perRow * 2);
            } else {
                for (size_t i = 0; i < perRow; ++i) dst[i] = row[i];
            }
        }
        return WriteImageFile(path, format, image, error);
    }
    return WriteThroughTemporary(
        path, [&](const std::string& temp) { return WriteTiffRows(temp, header, rows, error); },
        error);
}
