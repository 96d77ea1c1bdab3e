// The noise-removal row filter: a row processor that smooths noise before the colour transform.
//
// Rows go in one at a time, top to bottom. The filter keeps a window of 2R + 1 rows (R the
// largest radius) and replaces each sample of the window's middle row by the median of those
// samples of its neighbourhood that lie within a threshold of it, so that edges and isolated
// details (nothing else within the threshold) keep their values. Finished rows go to a callback
// in order, R rows behind the input; rows above the top and below the bottom of the image repeat
// the first and last rows. The callback receives exactly as many rows as the image has.
//
// The channels are filtered as they are, or, with lumaChroma, RGB is turned into a luma and two
// chroma channels first (each with its own radius and threshold) and back afterwards. The usual
// setting leaves the luma alone and smooths only the colour noise. Neighbourhoods are squares,
// discs, diamonds, crosses, eight-direction stars, or a sparse random pattern inside a disc that
// takes another orientation after every row so that it leaves no regular texture.
//
// Working values are signed 32-bit with 14 fraction bits; everything is integer and all memory
// is taken at creation. The random pattern comes from a fixed seed: two runs over the same image
// with the same options give the same rows.
#pragma once

#include <cstdint>

#include "engine/huegrid_applier.h"

constexpr int32_t kNoiseMaxRadius = 16;
constexpr int32_t kNoiseGrid = 2 * kNoiseMaxRadius + 1;  // 33: the side of a pattern grid
constexpr int32_t kNoiseSeed = 1928274;
constexpr int32_t kNoiseFraction = 14;  // fraction bits of the working values

// Neighbourhood shapes.
enum : int32_t {
    kNoiseModeSquare = 0,
    kNoiseModeDisc = 1,
    kNoiseModeDiamond = 2,
    kNoiseModeCross = 3,
    kNoiseModeSparseDisc = 4,  // every non-zero radius must be at least 3
    kNoiseModeStar = 5,
};

struct NoiseFilterOptions {
    int32_t width;           // samples per row, at least 1
    int32_t rows;            // rows of the image, at least 1
    int32_t space;           // colour-space code: 1 and 7 need 3 channels, 4 needs 4, 5 needs 1
    uint8_t lumaChroma;      // 1: filter luma and chroma instead of R, G, B (3 channels only)
    int32_t channels;        // 1 to 4
    int32_t radius[4];       // per channel: 0 passes the channel through, else 1 to 16
    int32_t threshold[4];    // per channel, 0 to 255, in codes of an 8-bit image
    int32_t mode;            // neighbourhood shape, 0 to 5
    int32_t planar;          // layout of the rows given to the callback: 1 planes, 0 interleaved
    int32_t order;           // channel order code of the rows: 36 for spaces 1 and 7, 228 for 4
    int32_t pixelSize;       // 1 (8-bit samples) or 2 (16-bit samples)
    HgRowCallback callback;  // receives each finished row; a non-zero status is passed back
    void* callbackContext;   // handed to every callback call
    int32_t firstRow;        // the image's row the first row given is (0: its top row). The
                             // sparse disc turns after every row from the image's top, so a
                             // part filtered alone (a preview) gets the rows the whole image
                             // would get, as far as its rows have the same neighbours
};

// One entry of a channel's neighbourhood as it stands for the current row: a window row and a
// column offset from the pixel.
struct NoiseTap {
    int32_t row;     // 0 .. 2R, index into the window
    int32_t column;  // -r .. r
};

// The filter's state. Callers treat it as opaque and use the functions below.
struct NoiseFilter {
    int32_t maxRadius;  // R
    int32_t window;     // 2R + 1 rows kept
    int32_t width;
    int32_t rows;
    int32_t space;
    uint8_t lumaChroma;
    int32_t channels;
    int32_t radius[4];
    int32_t threshold[4];  // in working units
    int32_t mode;
    int32_t* windowRows[4][kNoiseGrid];  // per channel: row 0 the oldest, row 2R the newest;
                                         // each points R values into its row (past the margin)
    int32_t* windowBlock[4];             // per channel: (2R + 1) x (width + 2R) working values
    int32_t scratch[kNoiseGrid * kNoiseGrid];     // values collected for one median
    uint8_t pattern[4][kNoiseGrid * kNoiseGrid];  // non-zero where a sample is taken
    HgPixelBuffer output;                         // the row handed to the callback
    HgRowCallback callback;
    void* callbackContext;
    int32_t rowsReceived;
    int32_t randomState;  // minimal standard generator, seeded at creation
    int32_t pixelSize;
    int32_t* results;    // channels x width: the finished middle row before conversion
    NoiseTap* taps[4];   // each channel's set cells as window taps: (2r + 1)^2 room in tapBlock
    NoiseTap* tapBlock;  // taken for the radii, not the largest grid: a filter per column band
                         // of a threaded run stays small
    int32_t tapCount[4];
    int32_t status;  // the callback's first failure; every later call returns it
};

// Creates a filter: 0 and *out set, -1 for bad options or a null argument, -3 without memory
// (*out is then null and nothing is held).
int32_t NoiseFilterCreate(NoiseFilter** out, const NoiseFilterOptions* options);
// Hands in the next input row: the options' width, channel count and colour space, 8-bit or
// 16-bit samples by the pixel size, planar or interleaved by the row's own flag, in a valid
// channel order. Returns 0; -1 for a bad row, a null argument or a row past the end of the image
// (nothing changes then); or the callback's non-zero status, which ends the run: every later call
// returns that status again and the owner frees the filter.
int32_t NoiseFilterRun(NoiseFilter* filter, const HgPixelBuffer* row);
// Frees the filter and everything it holds; null is accepted. Returns 0.
int32_t NoiseFilterFree(NoiseFilter* filter);
