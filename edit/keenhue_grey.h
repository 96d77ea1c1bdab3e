// The neutral the grey pixels of an image agree on, and how far the automatic colour balance may
// trust it.
//
// Grey pixels (engine/measure_grey.h) are the same pixels with and without a colour cast, and
// under a cast their colours are the cast's. Not every grey pixel is grey, though: a coloured
// surface varying only in its shading passes too. So:
// 1. Only grey pixels whose log chromaticity (ln R - ln G, ln B - ln G) lies within
//    kKhGreyRange of neutral count: no cast the balance sets out to remove makes a grey that
//    colourful (the strongest of the evaluation's casts moves a grey by about 0.2), and a petal or
//    a leaf usually is.
// 2. Their chromaticities are counted in a histogram of kKhGreyStep bins, each bin summed with its
//    neighbours within kKhGreyCluster (a disc): the density of grey pixels around each colour.
//    The crowd lies where the density is largest: where most grey pixels agree. Its centre then
//    moves from that bin to the mean of the grey pixels within the crowd's radius, until it
//    stays; the crowd is those pixels and the estimate their mean, off the bins' grid. A cast
//    moves every grey pixel's colour by the same amount, so the crowd and its estimate move
//    with it; only the range's edge does not, and it is wide against the casts. (Weighing the
//    crowds by how near neutral they lie was tried: it made the choice between two crowds of
//    similar size, a grey road and a blue sky, depend on the cast.)
// 3. The share of the pixels that could be judged (enough contrast, nothing clipped) that lie in
//    that crowd says how much the grey pixels agree. It is the same with and without a cast.
// 4. The dominance is the share of the image's usable pixels (no channel clipped or below the
//    grey pixels' darkest code; on the grey walk's grid) whose colour lies within kKhDominance of
//    the crowd's: near 1 when the whole picture is one colour (a plank of wood, a wall), where the
//    crowd's colour is as likely the scene's own as a cast's. It is the same with and without a
//    cast too.
// The crowd's pixels can serve as the balance's neutral samples, filed by their luma.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "engine/huegrid.h"
#include "engine/ip_image.h"
#include "engine/measure.h"

constexpr float kKhGreyRange = 0.4f;   // log chromaticity: farther from neutral is no grey
constexpr float kKhGreyStep = 0.01f;   // the histogram's bin
constexpr int32_t kKhGreyCluster = 3;  // bins' widths: the radius of a crowd
constexpr float kKhDominance = 0.1f;   // log chromaticity: near the crowd's colour

struct KhGreyEstimate {
    uint32_t measured;  // visited pixels with enough contrast to be judged
    uint32_t grey;      // grey pixels within kKhGreyRange
    float mode[2];      // the log chromaticity the crowd agrees on: its pixels' mean
    uint32_t crowd;     // grey pixels within kKhGreyCluster bins' width of it
    float share;        // crowd / measured (0 when nothing was measured)
    float dominance;    // usable pixels near the crowd's colour / usable pixels
};

// Estimates from the image seen through before (null: as it is), over the sampling grid of level
// within mask (null: everything). bins (cleared first) receive the crowd's pixels as neutral
// samples. -1 for a bad argument, -3 without memory, or a failing apply's status.
int32_t KhEstimateGrey(const IPImage* image, const IPMask* mask, int32_t level,
                       const Huegrid* before, KhGreyEstimate* out, SampleBin bins[kEditBinCount]);
