// Image files for the demo and evaluation tools, on top of the stand-in host's readers and
// writers (tools/filterhost/image_file.h), so that these tools read exactly what filterhost reads
// (TIFF, PNG, JPEG; 8 or 16 bits; grey or RGB, with or without alpha) and write the same way
// (through a temporary file renamed over the target).
#pragma once

#include <string>
#include <vector>

#include "tools/filterhost/image_file.h"

// Reads an image file; on failure false with a reason that names the file.
bool ReadDemoImage(const std::string& path, Image* image, std::string* error);

// Writes the image in the format named by the path's extension (.png, .tif, .tiff, .jpg,
// .jpeg); on failure false with a reason that names the file.
bool WriteDemoImage(const std::string& path, const Image& image, std::string* error);

// The image as 8-bit RGB for showing: grey spread to RGB, alpha composited over white, 16-bit
// samples cut to their high byte.
Image DisplayRgb8(const Image& image);

// The largest sample value of the image's depth: 255 or 65535.
inline int MaxSample(const Image& image) {
    return image.depth == 16 ? 65535 : 255;
}

// R, G, B of every pixel as encoded fractions 0..1 (grey spread to RGB, alpha ignored),
// interleaved, rows top down.
std::vector<double> RgbFractions(const Image& image);
