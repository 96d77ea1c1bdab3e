// A synthetic test chart for judging colour corrections, and where its neutral patches are.
//
// The chart is 600 x 400 pixels, 8-bit sRGB, drawn from the numbers below alone, so that it is
// the same on every machine. Rectangles are [x0, x1) x [y0, y1), x to the right, y downwards.
//
//   background     neutral grey, sRGB 119 (L* 50)
//   grey patches   row y 12..112, six patches 88 wide at x0 = 12 + 98 i (i = 0..5), sRGB
//                  24, 60, 100, 145, 190, 240 (L* about 8, 25, 42, 60, 77, 95)
//   memory colours row y 124..204, six patches at the same x: dark skin, light skin, blue sky,
//                  foliage, orange yellow, moderate red
//   hue strip      y 216..258 fully saturated (HSV S = 1, V = 1), y 258..300 muted (S = 0.5,
//                  V = 0.75), x 12..588, hue 360 (x - 12) / 576 degrees
//   grey ramp      y 312..388, x 12..588: sRGB round(255 (x - 12) / 575), 0 at the left, 255 at
//                  the right
//
// So the darkest and the lightest pixels of the chart are neutral (the ends of the ramp, then the
// first and last grey patch), as a photograph with a black and a white in it would have. The
// grey patches are measured on their interiors, 10 pixels in from each edge (68 x 80 pixels), so
// that a correction that spreads colour across edges (sharpening, noise removal) does not count.
#pragma once

#include <string>
#include <vector>

#include "tools/filterhost/image_file.h"

constexpr int kChartWidth = 600;
constexpr int kChartHeight = 400;
constexpr int kChartBackground = 119;
constexpr int kChartGreyCount = 6;
constexpr int kChartGreyLevels[kChartGreyCount] = {24, 60, 100, 145, 190, 240};
constexpr int kChartPatchInset = 10;

struct ChartRect {
    int x0, y0, x1, y1;
};

// Grey patch i (0 darkest .. 5 lightest), whole.
ChartRect ChartGreyPatch(int i);

// The chart as an 8-bit RGB image.
Image MakeTestChart();

// The pixel indices (y * width + x) of the interiors of the six grey patches, patch by patch.
std::vector<size_t> ChartGreyPixels();

// Whether the image has the chart's size, RGB; else a reason.
std::string ChartProblem(const Image& image);
