// Sampling the colours a user marks in the image.
//
// A click with the colour-cast tool (neutrals) or the hue tool does not take one pixel: the
// region of connected pixels of similar colour around it is grown and every pixel of it becomes a
// sample. Neutral samples go into the colour-balance bins; hue samples into a hue handle's bins,
// whose Before position then moves to the mean hue of its samples, after which the six handles
// are put back in order and spaced apart. The same neutral operation serves the automatic colour
// balance on the darkest and lightest pixels.
//
// Growing is iterative over an explicit stack of 16384 entries (one block of 196608 bytes), so a
// click costs bounded work and memory whatever the image; a push onto a full stack is dropped and
// the region ends early in that direction. A pixel joins when it lies within 16/255 (RGB
// distance) of the neighbour it was reached from and within 22/255 of the first pixel, so a
// smooth gradient stops once it has drifted away from the clicked colour. Positions travel as
// 16-bit values, so images wider or higher than 65535 pixels are refused.
//
// Also here: the mean hue of a set of bins, the ordering of the hue ring, and the two-way link
// between a handle's samples and a memory colour.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "engine/huegrid.h"
#include "engine/ip_image.h"
#include "engine/measure.h"
#include "platform/status.h"

// The pixels one operation sampled: a bit per pixel in the order of IPMask, and their box. An
// empty box is minX = width + 1, maxX = -1, minY = height + 1, maxY = -1. The record does not
// own its bits.
struct IPRegion {
    int32_t width;
    int32_t height;
    int32_t rowBytes;  // (width + 7) / 8
    uint8_t* bits;
    int32_t minX;
    int32_t maxX;
    int32_t minY;
    int32_t maxY;
};

enum : uint8_t { kHgGrowUp = 0, kHgGrowDown = 1, kHgGrowRight = 2, kHgGrowLeft = 3 };

// One stack entry: the colour of the pixel it came from (component x 65535 + 0.5, truncated),
// the position to try and the direction it was reached in.
struct HgGrowEntry {
    uint16_t colour[3];
    uint16_t x;
    uint16_t y;
    uint8_t direction;
    uint8_t unused;
};
static_assert(sizeof(HgGrowEntry) == 12);

constexpr int32_t kHgGrowStackEntries = 16384;
constexpr uint32_t kHgGrowStackBytes = 196608;
static_assert(kHgGrowStackEntries * sizeof(HgGrowEntry) == kHgGrowStackBytes);

struct HgGrowStack {
    HgGrowEntry* entries;  // kHgGrowStackEntries entries
    int32_t count;
};

// Pushes an entry; a push onto a full stack is dropped.
void HgGrowPush(HgGrowStack* stack, const float colour[3], int32_t x, int32_t y, uint8_t direction);

// Grows the region from the entries on the stack until it is empty, adding every joining pixel
// to bins (HgAddBalanceSample). transform may be null. The region's bits and box must already
// hold the seed. -1 for a null argument or a region of another size than the image.
int32_t HgGrowRegion(const IPImage* image, SampleBin bins[kEditBinCount], const Huegrid* transform,
                     IPRegion* region, HgGrowStack* stack);

// Adds the region around (x, y) to balBin, seen through the linear stage, and marks the balance
// curves for rebuilding. With a selection whose bit at (x, y) is clear nothing is added (0).
// region (may be null) receives the sampled pixels; it must be the image's size. -1 for a record
// that fails its check, a bad image, a grid level outside 0..7, a click outside the image or a
// bad region or selection; -3 without memory; a failing build is passed on.
int32_t HgAddNeutralSample(EditPars* editPars, const IPImage* image, const IPMask* selection,
                           int32_t gridLevel, int32_t x, int32_t y, IPRegion* region);

// Adds the region around (x, y), seen through every stage before the hue tool, to the bins of a
// handle and moves its baseHue to the mean hue of all its samples, then reorders the ring.
// *activeHandle names the handle (an index 0..5, or a colorId from 6 up); when it names none,
// the handle nearest to the sampled hue is taken. On return it holds the handle's index after
// reordering. -1 also when the marked colour is too neutral to give a hue (chroma below 0.075)
// or the click lies outside the selection; the handles are then unchanged.
int32_t HgAddHueSample(EditPars* editPars, const IPImage* image, const IPMask* selection,
                       int32_t* activeHandle, int32_t gridLevel, int32_t x, int32_t y,
                       IPRegion* region);

// The count-weighted mean hue (degrees, 0 <= h < 360) of the bins' mean colours, unwrapped
// towards the first. Bins whose mean colour has a chroma below chromaLimit are emptied.
// -1 when no bin is left or for a null argument.
int32_t HgMeanHue(SampleBin bins[kEditBinCount], float chromaLimit, float* hue);

// Sorts the handles by baseHue, keeps the Before positions at least 5 degrees apart and the
// After positions in ring order and at least 5 degrees apart, starting from handle handleIndex.
// -1 for a null record, an index outside 0..5 or a handle value that is not finite.
int32_t HgPlaceHandles(EditPars* editPars, int32_t handleIndex);

// Sets the handle named by handleId (index or colorId) so that its samples move halfway towards
// the memory colour (chroma, hue and hue slope as in a memory-colour file), then reorders the
// ring. A handle whose used bins all have a luma of 0 or 1 gives no model and is left unchanged
// (0). -1 for no such handle or no samples; a failing step passes its status on.
int32_t HgApplyMemoryColour(EditPars* editPars, int32_t handleId, float mcChroma, float mcHue,
                            float mcHueSlope);

// The memory colour (chroma, hue, hue slope) that describes the handle's samples as they look
// after the hue edits. -1 for no such handle, no samples or a missing argument; -2 when the
// samples allow no chroma fit.
int32_t HgMemoryColourFromHandle(EditPars* editPars, int32_t handleId, float* mcChroma,
                                 float* mcHue, float* mcHueSlope);
