// An image's colours as CIELAB on a regular grid of its pixels, for the evaluation's many
// comparisons: each image is converted once and compared with several others.
//
// A photograph of more than 1.5 million pixels is measured on every step-th pixel of every
// step-th row, the step the smallest that keeps the grid under 1.5 million pixels (0.3 million
// for the cross-validation's many runs): a correction is
// a colour transform applied to each pixel alike, so the mean difference over such a grid differs
// from the mean over every pixel only by the sampling of the picture's content (well below 0.01
// dE00 on the evaluation's photographs). Smaller images are measured on every pixel.
#pragma once

#include <vector>

#include "tools/demo/srgb_lab.h"
#include "tools/filterhost/image_file.h"

struct LabGrid {
    int width = 0, height = 0, step = 1;  // of the image, and the grid's step
    std::vector<Lab> colours;
};

// The grids of the headline figures hold at most this many pixels; the cross-validation, which
// compares every candidate setting on every photograph, uses kLabGridQuick.
constexpr double kLabGridFull = 1.5e6;
constexpr double kLabGridQuick = 0.3e6;

// The step for an image of this size, for grids of at most limit pixels.
int LabGridStep(int width, int height, double limit = kLabGridFull);

// The image (RGB or RGBA, 8 or 16 bits, taken as sRGB) on the grid of its size.
LabGrid MeasureLab(const Image& image, double limit = kLabGridFull);

// The mean CIEDE2000 between two grids of one image size; -1 when the sizes differ.
double MeanCiede2000(const LabGrid& first, const LabGrid& second);
