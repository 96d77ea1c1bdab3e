// How closely a built Huegrid follows the chain it samples: the error measure of the grid
// benchmarks (chain_bench, grid_error_photos).
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"

namespace bench {

struct GridErrors {
    double max, p99;  // in 8-bit codes; -1 when the grid could not be built
};

// Builds the grid of pars (every group) at the quality level, sample depth (1 or 2 bytes) and
// node placement given, applies it to 100,000 random colours (a fixed seed) and compares each
// with HgEvalColour: per colour the largest of its three channels' differences, 16-bit
// differences divided by 257. The record is copied: its derived curves may be out of date.
GridErrors MeasureGridError(const EditPars& pars, int32_t quality, int32_t depth,
                            int32_t placement);

}  // namespace bench
