// The Windows build: libtiff, libpng and libjpeg are not among the libraries Debian cross-builds
// for Windows. TIFF is read and written without them (tiff_plain_file.cpp, uncompressed only);
// PNG and JPEG files are refused by name before anything is run, and the routines that would
// need the libraries are never reached.
#include "tools/filterhost/image_file.h"

std::string FormatMissingReason(ImageFormat format) {
    switch (format) {
        case ImageFormat::kPng:
            return "this filterhost reads and writes PAM and uncompressed TIFF files only, not PNG";
        case ImageFormat::kJpeg:
            return "this filterhost reads and writes PAM and uncompressed TIFF files only, not "
                   "JPEG";
        case ImageFormat::kUnknown:
        case ImageFormat::kTiff:
        case ImageFormat::kPam:
            break;
    }
    return "";
}

namespace {
bool Missing(ImageFormat format, std::string* error) {
    *error = FormatMissingReason(format);
    return false;
}
}  // namespace

bool ReadPng(const std::string&, Image*, std::string* error) {
    return Missing(ImageFormat::kPng, error);
}
bool WritePng(const std::string&, const Image&, std::string* error) {
    return Missing(ImageFormat::kPng, error);
}
bool ReadJpeg(const std::string&, Image*, std::string* error) {
    return Missing(ImageFormat::kJpeg, error);
}
bool WriteJpeg(const std::string&, const Image&, std::string* error) {
    return Missing(ImageFormat::kJpeg, error);
}
