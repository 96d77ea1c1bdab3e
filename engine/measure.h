// Image measurements for the automatic settings.
//
// The automatic settings judge the reduced analysis image as it looks through a temporary
// Huegrid built from the edits that precede the tool being set. This module supplies what they
// measure: one pixel read through a Huegrid, the weighted brightness with its subject mask, the
// luminance, saturation and hue histograms, and the curvature and hill mass of a circular hue
// histogram.
//
// Every image walk visits the sampling grid of a grid-size level (0..7, values outside clamped):
// every x step-th pixel of every y step-th row, x step = 4 - level / 2, y step =
// 5 - (level + 1) / 2, so level 7 visits every pixel and level 0 every fourth pixel of every
// fifth row. Measured colours are 8-bit codes: a Huegrid's or image's 16-bit output is divided by
// 257 first. Only the first three channels of the image are read (a fourth is the selection or
// transparency plane, which reaches the measurements as an IPMask instead).
#pragma once

#include <cstdint>

#include "engine/huegrid.h"
#include "engine/ip_image.h"
#include "platform/status.h"

struct WorkPool;

// A one-bit-per-pixel mask with the bounding box of its set bits: the analysed region, or the
// subject mask that HgWeightedBrightness draws. Rows of rowBytes = (width + 7) / 8 bytes, bit
// x % 8 of byte x / 8 (least significant bit first). The box is empty as left = width + 1,
// right = -1, top = height + 1, bottom = -1. The record does not own its bits.
struct IPMask {
    int32_t width;
    int32_t height;
    int32_t rowBytes;
    uint8_t* bits;
    int32_t left;
    int32_t right;
    int32_t top;
    int32_t bottom;
};

inline bool IPMaskBit(const IPMask* mask, int32_t x, int32_t y) {
    return (mask->bits[int64_t(y) * mask->rowBytes + x / 8] >> (x % 8)) & 1;
}

// Zeroes the bits and empties the box. -1 for a null mask or bits.
int32_t IPMaskClear(IPMask* mask);
// Sets bit (x, y) and widens the box; coordinates outside the mask are ignored.
void IPMaskSet(IPMask* mask, int32_t x, int32_t y);

// The sampling steps of a grid-size level; levels outside 0..7 are clamped.
int32_t HgSampleStepX(int32_t level);
int32_t HgSampleStepY(int32_t level);

// Pixel (x, y) of a colour image (at least three channels), passed through huegrid when one is
// given. rgb (may be null) receives the colour as 0..1; codes (may be null) the output codes,
// 8-bit or 16-bit by the image's depth or the Huegrid's output size. -1 for a null or invalid
// image, a position outside it, a Huegrid whose input size is not the image's depth, or a
// failing apply.
int32_t HgPixelThrough(const IPImage* image, const Huegrid* huegrid, int32_t x, int32_t y,
                       float rgb[3], uint16_t codes[3]);

// The weighted brightness (0..1) of the region that mask marks (null: the whole image) seen
// through huegrid (null: the image as it is). Pixels near the border of the region's box, grey
// pixels and very saturated pixels weigh little; 0.5 when nothing weighs. subject (may be null)
// must be the image's size: it is cleared and receives the pixels of weight 65 or more.
// -1 for a bad argument (an image that is not colour, a mask or subject of another size or
// without bits, a Huegrid whose input size is not the image's depth), -3 without memory.
int32_t HgWeightedBrightness(const IPImage* image, const IPMask* mask, int32_t level,
                             const Huegrid* huegrid, float* brightness, IPMask* subject);

// Histograms over the sampling grid of level, within mask (null: everything), through huegrid
// (null: none); each array is zeroed first and receives counts. With a pool (work_pool.h) the
// rows are counted in bands on its threads and the bands' counts added: the same counts.
//   luma:       bin (299 R + 587 G + 114 B + 500) / 1000
//   saturation: with c = max - min and l = (max + min) / 2, greys (c = 0) and pixels with
//               l < 25 or l > 230 are left out; bin (128 c + l / 2) / l for l < 128, else
//               (128 c + (255 - l) / 2) / (255 - l), at most 255
//   hue:        the chroma-space hue in whole degrees; pixels with c <= 8 are left out, as
//               their hue is mostly noise (the same grey limit the weighted brightness uses)
// Return values as HgWeightedBrightness.
int32_t HgLumaHistogram(const IPImage* image, const IPMask* mask, int32_t level,
                        const Huegrid* huegrid, uint32_t hist[256], WorkPool* pool = nullptr);
int32_t HgSaturationHistogram(const IPImage* image, const IPMask* mask, int32_t level,
                              const Huegrid* huegrid, uint32_t hist[256], WorkPool* pool = nullptr);
int32_t HgHueHistogram(const IPImage* image, const IPMask* mask, int32_t level,
                       const Huegrid* huegrid, uint32_t hist[360], WorkPool* pool = nullptr);

// Calls visit(context, x, y, rgb) for every pixel of the sampling grid of level that mask marks
// (null: every one), with its 8-bit codes seen through huegrid (null: none), rows top to bottom,
// left to right: the walk the histograms above are made of, for measurements that need the
// position of a pixel as well as its colour. Return values as HgWeightedBrightness.
typedef void (*HgPixelVisitor)(void* context, int32_t x, int32_t y, const int32_t rgb[3]);
int32_t HgWalkPixels(const IPImage* image, const IPMask* mask, int32_t level,
                     const Huegrid* huegrid, HgPixelVisitor visit, void* context);
// The same walk on the pool's threads (WorkPoolThreads of them; one for null): its rows are
// split into that many bands in order, and band b is visited with contexts[b]. For counts that
// the caller adds up afterwards; what depends on the order of the pixels takes HgWalkPixels.
int32_t HgWalkPixelsInBands(WorkPool* pool, const IPImage* image, const IPMask* mask, int32_t level,
                            const Huegrid* huegrid, HgPixelVisitor visit, void* const* contexts);

// The circular second difference out[i] = h[i + 1] - 2 h[i] + h[i - 1]. -1 for a null array.
int32_t HgHueCurvature(const int32_t hist[360], int32_t out[360]);

// The mass of the hill around bin peak of a circular hue histogram: h[peak] and the bins on
// each side as long as the histogram does not rise walking away from the peak, without the two
// valley bins where it would rise next. A flat or single-hill histogram stops where the two
// walks meet, so no bin counts twice. -1 for a null argument or a bin outside 0..359.
int32_t HgHueHillMass(const int32_t hist[360], int32_t peak, int64_t* mass);
