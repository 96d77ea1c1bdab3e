// This build reads and writes every format: TIFF, PNG and JPEG through their libraries.
#include "tools/filterhost/image_file.h"

std::string FormatMissingReason(ImageFormat) {
    return "";
}
