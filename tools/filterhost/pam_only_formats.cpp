// The Windows build: libtiff, libpng and libjpeg are not among the libraries Debian cross-builds
// for Windows, so TIFF, PNG and JPEG files are refused by name, before anything is run, and the
// format routines that need them are never reached.
#include "tools/filterhost/image_file.h"

std::string FormatMissingReason(ImageFormat format) {
    switch (format) {
        case ImageFormat::kTiff:
            return "this filterhost reads and writes PAM files only (.pam), not TIFF";
        case ImageFormat::kPng:
            return "this filterhost reads and writes PAM files only (.pam), not PNG";
        case ImageFormat::kJpeg:
            return "this filterhost reads and writes PAM files only (.pam), not JPEG";
        case ImageFormat::kUnknown:
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

bool ReadTiff(const std::string&, Image*, std::string* error) {
    return Missing(ImageFormat::kTiff, error);
}
bool WriteTiff(const std::string&, const Image&, std::string* error) {
    return Missing(ImageFormat::kTiff, error);
}
int ReadTiffRows(const std::string&, Image*, ImageRows*, std::string* error) {
    return Missing(ImageFormat::kTiff, error) ? 1 : -1;
}
bool WriteTiffRows(const std::string&, const Image&, const RowSource&, std::string* error) {
    return Missing(ImageFormat::kTiff, error);
}
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
