// Grey pixels: the pixels of an image whose local contrast is the same in every channel.
//
// A colour cast of the kind a light or a camera's white balance makes multiplies each channel by
// its own gain (in linear light, and near enough in gamma-encoded values, which are a power of
// them). In the logarithms of the channels a gain is a constant added to every pixel, so the
// difference between the logarithms of two neighbouring pixels, channel by channel, is the same
// with and without the cast. Where a neutral surface varies (shading, texture, an edge between
// two greys), every channel varies by the same ratio, and so do the logarithms: the channels'
// local contrasts are equal. That makes "grey pixel" a property the cast cannot change: the same
// pixels are grey pixels in the cast copy as in the original, and their colours there are the
// cast's colour, which is what the automatic balance wants to find.
//
// Where it fails, and how the callers deal with it:
// - A coloured surface whose only variation is its shading (a smooth petal, a sand dune) varies
//   by the same ratio in every channel too, so its pixels pass. The measure says "one material,
//   lit more or less"; it cannot say "grey". The automatic balance therefore keeps only grey
//   pixels whose colour could be a neutral under a plausible cast, looks for the colour most of
//   them agree on, and trusts it by how many agree (edit/keenhue_grey.h).
// - A clipped channel has lost its contrast, and in the darkest codes the 8-bit steps and the
//   noise are large against the contrast: pixels with a channel at full scale or below
//   kHgGreyDarkest (in themselves or a neighbour) have no measure.
// - Flat areas (no contrast beyond kHgGreyMinContrast) have no measure either: a flat grey patch
//   of a synthetic chart is no grey pixel, only its edges against other greys are.
// - A cast that also lifts the black level (a hazy scan) adds to the channels rather than
//   multiplying them; the measure is then only approximately unchanged.
//
// The thresholds, and why they are what they are:
// - kHgGreyMinContrast 0.04: a contrast of 4% (RMS over the four neighbours of the common
//   log-difference) is five 8-bit codes in the mid-tones, several times the code step and the
//   noise of a JPEG-compressed photograph, so that what is left of the channels' differences is
//   the surface's and not the coding's.
// - kHgGreyMaxDeviation 0.25: the channels' log-differences may differ from their mean by a
//   quarter of it (RMS). Noise alone, at the minimum contrast in the mid-tones, makes about a
//   fifth of that.
// - kHgGreyDarkest 8: below eight codes one code is more than 12% of the value.
// - kHgGreyReach 2: the neighbours compared are two pixels away. JPEG usually stores colour at half
//   the resolution of lightness and the decoder interpolates it, so between adjacent pixels
//   mostly the lightness varies, and textures look greyer than they are. Measured on the
//   evaluation's JPEG photographs at their own size (stuff.jpg, 640 x 480): with adjacent
//   neighbours a blue-green object and the grey desk were crowds of equal size and the cast
//   decided between them; two pixels apart the desk is twice the other.
#pragma once

#include <cstdint>

#include "engine/huegrid.h"
#include "engine/ip_image.h"
#include "engine/measure.h"
#include "platform/status.h"

constexpr float kHgGreyMinContrast = 0.04f;
constexpr float kHgGreyMaxDeviation = 0.25f;
constexpr int32_t kHgGreyDarkest = 8;
constexpr int32_t kHgGreyReach = 2;

// The local contrast of a pixel: over its four neighbours (kHgGreyReach pixels to the left, right,
// up, down), the difference of the natural logarithms of each channel, neighbour minus pixel.
struct HgGreyMeasure {
    float contrast;   // RMS over the neighbours of the channels' mean log-difference
    float deviation;  // RMS over neighbours and channels of each log-difference about that mean
};

// The measure of pixel (x, y) of 8-bit interleaved RGB codes (3 bytes a pixel, 3 * width a row).
// False when the pixel has none: on the image's border, or a channel of it or of a neighbour at
// full scale or below kHgGreyDarkest.
bool HgGreyMeasureAt(const uint8_t* codes, int32_t width, int32_t height, int32_t x, int32_t y,
                     HgGreyMeasure* out);

// Whether a measure is a grey pixel's: contrast at least kHgGreyMinContrast, deviation at most
// kHgGreyMaxDeviation times the contrast.
bool HgIsGreyPixel(const HgGreyMeasure& measure);

// Called for each grey pixel with its codes and its log chromaticity (ln R - ln G, ln B - ln G).
typedef void (*HgGreyVisitor)(void* context, int32_t x, int32_t y, const int32_t rgb[3],
                              const float chroma[2]);

// The natural logarithm of each 8-bit code (entry 0 is 0; codes below kHgGreyDarkest are never
// measured).
const float* HgLogOfCodes();

// The pixels of an image at even coordinates, as 8-bit R, G, B (3 bytes a pixel, 3 * HgEvenSide(
// width) a row): the only pixels a grey walk reads. Every pixel it measures lies on this grid and
// its neighbours kHgGreyReach away do too, so the walk over this copy is the walk over the whole
// image, at a quarter of the cost of taking every pixel through a transform.
struct HgEvenCodes {
    uint8_t* codes;  // HgEvenSide(width) x HgEvenSide(height) pixels
    int32_t width;   // of the image
    int32_t height;
};
static_assert(kHgGreyReach == 2, "the even grid holds the neighbours only two pixels away");

// Pixels of the even grid along a side of n pixels.
inline int32_t HgEvenSide(int32_t n) {
    return (n + 1) / 2;
}

// Copies the even pixels of image, seen through huegrid (null: none), into out->codes (room for
// 3 * HgEvenSide(width) * HgEvenSide(height) bytes) and sets its size. -1 for a bad argument, or a
// failing apply's status.
int32_t HgCopyEvenCodes(const IPImage* image, const Huegrid* huegrid, HgEvenCodes* out);

// The step, on the even grid, of a walk over the sampling grid of level no finer than
// kHgGreyReach: an odd step (3 or 5, at the coarse levels) becomes the even step below it.
int32_t HgEvenStepX(int32_t level);
int32_t HgEvenStepY(int32_t level);

// Visits the grey pixels of codes on the sampling grid of level (as HgEvenStepX/Y) that mask
// marks (null: every one); see HgWalkGreyPixels. -1 for a bad argument.
int32_t HgWalkGreyCodes(const HgEvenCodes& codes, const IPMask* mask, int32_t level,
                        HgGreyVisitor visit, void* context, uint32_t* measured);

// Visits the grey pixels of the sampling grid of level (no finer than kHgGreyReach; an odd step
// as the even one below it) that mask marks (null: every one), seen through huegrid (null: none),
// rows top to bottom, with the image's coordinates. Neighbours are the image's, whether the mask
// marks them or not. *measured (may be null) receives how many visited pixels had a measure with at
// least the minimum contrast: the pixels that could have been grey. -1 for a bad argument (as
// HgWalkPixels), -3 without memory, or a failing apply's status.
int32_t HgWalkGreyPixels(const IPImage* image, const IPMask* mask, int32_t level,
                         const Huegrid* huegrid, HgGreyVisitor visit, void* context,
                         uint32_t* measured);
