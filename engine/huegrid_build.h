// Building a Huegrid from the edit parameters.
//
// HgBuild samples the edit chain (edit_chain.h) and stores the samples in a new Huegrid that the
// kernels and the row applier can run on whole images. Two shapes are built:
//
// - three curves, when every stage left in the trimmed mask acts on each channel alone (no
//   saturation bit, no hue bit) and the build is 8-bit: the chain sampled on the 256 greys;
// - otherwise a 3-D grid of n x n x n nodes, n by the quality index (0..7 gives 7, 9, 11, 15,
//   17, 23, 27, 33), with 8- or 16-bit samples.
//
// Grid nodes are placed per axis where the chain bends: HgPlaceNodes samples the chain's grey
// response and puts nodes where linear interpolation between the nodes so far misses it most,
// as long as the miss exceeds 0.005; the remaining nodes halve the widest gaps. Node codes come
// out strictly increasing from 0 to the maximum code whatever the chain does (a black point
// that crushes most of the range to 0 leaves a long flat run, where no node is wasted).
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "engine/huegrid.h"
#include "platform/status.h"

constexpr int32_t kHgQualityMax = 7;

// Nodes per axis for a quality index 0..7; -1 for any other index.
int32_t HgGridSize(int32_t quality);

enum : int32_t {
    kHgPlaceUniform = 0,      // node i at round(i / (n - 1) x max)
    kHgPlaceGreyInverse = 1,  // nodes that even out the grey response sampled at 33 points
    kHgPlaceAdaptive = 2,     // where the grey response bends (the builder's placement)
};

// Node codes of the three axes for n nodes (2..256) at depth 1 (codes 0..255) or 2
// (0..65535). nodes[c][0..n-1] is strictly increasing, starts at 0 and ends at the maximum.
// -1 for a bad argument; a failing chain evaluation passes its status on.
int32_t HgPlaceNodes(EditPars* editPars, int32_t mask, int32_t n, int32_t depth, int32_t mode,
                     uint16_t nodes[3][256]);

// Builds the Huegrid of the chain under mask at a quality index 0..7 and depth 1 (8-bit) or 2
// (16-bit): both pixel sizes at depth, full code ranges. out must not be null; a Huegrid already
// in *out is overwritten, not freed (the caller frees it first). -1 for a bad argument or a
// record that fails HgCheckPars, -3 without memory; nothing is returned on failure.
int32_t HgBuild(EditPars* editPars, int32_t mask, int32_t quality, int32_t depth, Huegrid** out);

// HgBuild with a chosen node placement for the grid path (the comparison of placements).
int32_t HgBuildPlaced(EditPars* editPars, int32_t mask, int32_t quality, int32_t depth,
                      int32_t placement, Huegrid** out);

// HgBuild on threads threads (a pool made and joined inside the call; 1 or less: this thread
// alone), for the callers that have a thread count (platform/work_pool.h: WorkThreadCount). The
// grid's nodes are evaluated a slice of blue at a time, each slice by one task; the Huegrid is
// the same, byte for byte, for any count. editPars must not change while it runs.
int32_t HgBuildOn(EditPars* editPars, int32_t mask, int32_t quality, int32_t depth, int32_t threads,
                  Huegrid** out);
