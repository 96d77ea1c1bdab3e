// The layout of the simplest TIFF file there is: uncompressed, little-endian, samples contiguous,
// one to four channels of 8 or 16 bits, strips of about 64 KiB. The header and the directory come
// first and the pixel rows follow them back to back, so row y lies at a known offset before any
// pixel is written. The Windows build writes its TIFF files this way (it has no libtiff), and the
// result file (result_file.h) writes rows into such a file as the filter makes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/filterhost/image_file.h"

// The bytes before the first row for an image like `header` (its samples are not used): header,
// directory and the values that do not fit in it. Row y then starts at head->size() + y * the
// row's bytes. False with *error when the file would pass 4 GiB.
bool PlainTiffHead(const Image& header, std::vector<uint8_t>* head, std::string* error);
