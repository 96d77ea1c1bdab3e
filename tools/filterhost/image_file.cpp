// Format dispatch, size checks and the safe replacement of the output file; the formats
// themselves are in tiff_file.cpp, png_file.cpp and jpeg_file.cpp.
#include "tools/filterhost/image_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return s;
}

ImageFormat SniffFormat(const std::string& path, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
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
    *error = n == 0 ? "the file is empty" : "not a TIFF, PNG or JPEG file";
    return ImageFormat::kUnknown;
}

}  // namespace

ImageFormat FormatFromPath(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return ImageFormat::kUnknown;
    }
    std::string ext = Lower(path.substr(dot + 1));
    if (ext == "tif" || ext == "tiff") return ImageFormat::kTiff;
    if (ext == "png") return ImageFormat::kPng;
    if (ext == "jpg" || ext == "jpeg") return ImageFormat::kJpeg;
    return ImageFormat::kUnknown;
}

bool AllocateImage(Image* image, std::string* error) {
    if (image->width <= 0 || image->height <= 0) {
        *error = "the image has no pixels";
        return false;
    }
    if (!(1 <= image->channels && image->channels <= 4) ||
        !(image->depth == 8 || image->depth == 16)) {
        *error = "unsupported channel count or depth";
        return false;
    }
    uint64_t samples = uint64_t(image->width) * uint64_t(image->height) * uint64_t(image->channels);
    if (samples > kMaxImageSamples) {
        *error = "the image is too large (" + std::to_string(image->width) + " x " +
                 std::to_string(image->height) + ")";
        return false;
    }
    image->samples.assign(size_t(samples), 0);
    return true;
}

bool ReadImageFile(const std::string& path, Image* image, std::string* error) {
    *image = Image();
    switch (SniffFormat(path, error)) {
        case ImageFormat::kTiff:
            return ReadTiff(path, image, error);
        case ImageFormat::kPng:
            return ReadPng(path, image, error);
        case ImageFormat::kJpeg:
            return ReadJpeg(path, image, error);
        case ImageFormat::kUnknown:
            break;
    }
    return false;
}

std::string CannotWriteReason(ImageFormat format, const Image& image) {
    switch (format) {
        case ImageFormat::kUnknown:
            return "unknown file type (use .tif, .tiff, .png, .jpg or .jpeg)";
        case ImageFormat::kJpeg:
            if (image.depth != 8) return "JPEG holds only 8-bit images; write TIFF or PNG";
            if (image.channels == 2 || image.channels == 4) {
                return "JPEG cannot hold transparency; write TIFF or PNG";
            }
            return "";
        case ImageFormat::kTiff:
        case ImageFormat::kPng:
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
    // The temporary name sits in the target's folder so that the rename cannot cross devices.
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = folder + "." + name + ".filterhost-" + std::to_string(getpid());
    bool ok = false;
    switch (format) {
        case ImageFormat::kTiff:
            ok = WriteTiff(temp, image, error);
            break;
        case ImageFormat::kPng:
            ok = WritePng(temp, image, error);
            break;
        case ImageFormat::kJpeg:
            ok = WriteJpeg(temp, image, error);
            break;
        case ImageFormat::kUnknown:
            break;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        *error = std::strerror(errno);
        ok = false;
    }
    if (!ok) std::remove(temp.c_str());
    return ok;
}
