// Colour measurements over whole images or chosen pixels, for judging a correction: the mean
// CIELAB chroma (how far from neutral) and the mean CIEDE2000 difference between two images.
// Pixels are taken as sRGB (srgb_lab.h); grey images count as R = G = B, alpha is ignored.
#pragma once

#include <string>
#include <vector>

#include "tools/filterhost/image_file.h"

// Mean C*ab over the pixels listed (indices y * width + x); over every pixel when the list is
// empty. False with a reason when an index lies outside the image.
bool MeanChroma(const Image& image, const std::vector<size_t>& pixels, double* mean,
                std::string* error);

// Mean CIEDE2000 between the same pixels of two images of one size (depths may differ).
bool MeanCiede2000(const Image& first, const Image& second, const std::vector<size_t>& pixels,
                   double* mean, std::string* error);
