// Resampling of preview images: reduction to a box with a tent filter, and magnification by
// pixel replication.
//
// IPScaleImageDown2 shrinks an image to fit a box, keeping its aspect ratio. It works in place:
// the destination may describe the very buffer the source lies in (the host's input buffer holds
// the full strip and is overwritten by the reduced preview), because the output is never larger
// than the input and every output row is written only after the source rows below it that are
// still needed have been read. The filter is a tent stretched over the scale factor, sampled in
// 16 phases with integer weights that sum to exactly 1.0 in 16.16 fixed point, applied across
// the rows and then down the columns; the first and last output samples sit on the first and
// last source samples, and taps beyond the edge repeat the edge sample.
//
// IPZoomImage fills a view with a magnified part of an image, each source pixel repeated zoom
// times in each direction, the visible part chosen by two fractions (0.5, 0.5 for a centred view).
#pragma once

#include <cstdint>

#include "engine/ip_image.h"

// Rows delivered one at a time instead of an image in memory, for example an image file read
// scanline by scanline. The resampler asks for rows 0, 1, 2, ... in order, each at most once, and
// stops at the first non-zero status, which it returns.
struct IPRowSource {
    int32_t width;           // pixels per row, at least 1
    int32_t height;          // rows, at least 1
    int32_t channels;        // 1 to 4
    int32_t bytesPerSample;  // 1 or 2
    // Fills row y into `row`: a one-row image of the source's width, channels and sample size
    // whose pixels lie in the resampler's own buffer.
    int32_t (*readRow)(void* context, int32_t y, const IPImage* row);
    void* context;
};

// Modes of IPScaleImageDown2.
enum : int32_t {
    kIPScaleNearest = 0,  // the nearest source sample, no filtering
    kIPScaleTent = 1,     // the tent filter (what the preview uses)
};

constexpr int32_t kIPPhases = 16;
constexpr uint32_t kIPWeightOne = 65536;  // 1.0 in 16.16 fixed point

// The weights of the tent filter for one scale: kIPPhases rows of `taps` weights each. Phase p
// is the output position p / 16 of a source sample past the first tap's base; tap t applies to
// the source sample at base + firstOffset + t.
struct IPFilterTable {
    int32_t taps;
    int32_t firstOffset;  // at most 0
    uint32_t* weights;    // kIPPhases x taps, Mem_Alloc block; every phase sums to kIPWeightOne
};

// The output size for a source of w0 x h0 pixels in a box of wd x hd (all at least 1): the
// largest size of the source's aspect ratio that fits the box, or the source's own size when it
// fits the box without reduction. Never larger than the source or the box, and at least 2 in
// each direction where the source has 2. -1 for a null pointer or a size below 1.
int32_t IPScaleOutputSize(int32_t w0, int32_t h0, int32_t wd, int32_t hd, int32_t* width,
                          int32_t* height);

// Builds the table for n0 source and n1 output samples (2 <= n1 < n0). 0, -1 for bad sizes or a
// null table, -3 without memory. Free it with IPFilterTableFree.
int32_t IPFilterTableBuild(int32_t n0, int32_t n1, IPFilterTable* table);
int32_t IPFilterTableFree(IPFilterTable* table);

// Scales `source` (or the rows of `file`; exactly one of the two) down into `destination`, whose
// width and height give the box (each at least 2) and whose channel count and sample size must
// be the source's. The output size comes back in *width and *height (0 on failure); the output
// fills the destination's top-left corner. The destination may overlay the source when it shares
// the source's channel pointers and its steps are no larger. `flag` is reserved (callers pass 0).
// Returns 0, -1 for bad arguments, -3 without memory, or the row source's failure.
int32_t IPScaleImageDown2(const IPRowSource* file, const IPImage* source, int32_t mode,
                          const IPImage* destination, int32_t* width, int32_t* height,
                          int32_t flag);

// IPScaleImageDown2 of an image in memory on `threads` threads (a pool made and joined inside the
// call; 1 or less: this thread alone, as IPScaleImageDown2). The bytes are the same for any
// number of threads; the bands of output rows the threads make are copied into the destination
// after all have finished, so it may overlay the source as above. Without memory for the bands
// the reduction runs on this thread alone.
int32_t IPScaleImageDownOn(const IPImage* source, int32_t mode, const IPImage* destination,
                           int32_t* width, int32_t* height, int32_t threads);

// Magnifies part of `source` into all of `destination` by `zoom` (at least 1). The fractions
// (0 to 1) place the view: the first visible source pixel is
// round((source size x zoom - destination size) x fraction) / zoom, and the remainder of that
// division shortens the first pixel's run. Both images need the same channel count and sample
// size, positive sizes and channel pointers of their own. Where the magnified source ends before
// the destination does, the rest of the destination is left as it was. 0 or -1.
int32_t IPZoomImage(const IPImage* source, double xFraction, double yFraction, int32_t zoom,
                    const IPImage* destination);
