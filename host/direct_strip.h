// The run's transform applied straight from the host's input strip to its output strip.
//
// When the transform is all a run does (no sharpening, no noise removal) and no selection blends
// the result, the row pipeline's work on a row is to copy the host's interleaved pixels into
// planes, apply the transform, and interleave the planes back into the host's row. The kernels
// take interleaved rows themselves, so this path applies them to the host's rows and skips both
// copies, which on a 24 MP 8-bit image with a tone correction had cost three times what the
// transform did. Each pixel goes through the same table and kernel arithmetic as in the
// pipeline, so the bytes are the pipeline's.
//
// Rows do not depend on each other here: they are cut into one run of rows per thread of the
// row bands' pool, and any split gives the same bytes. The host's input and output strips are
// separate buffers, as the protocol has them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/huegrid.h"
#include "host/row_bands.h"

// One batch of rows: interleaved RGB pixels (three samples each, no further planes) in and out.
struct DirectStrip {
    const HuegridLut* table;  // ready to apply (RowBandsTransformOnly)
    const uint8_t* in;        // the first row's first sample
    ptrdiff_t inRowBytes;
    uint8_t* out;  // the first output row's first sample
    ptrdiff_t outRowBytes;
    int32_t width, rows;
    // Bytes per sample, in and out: 1, or 2 for 16-bit rows, whose input is in the engine's scale
    // (0..65535) and whose output goes back in the host's (0..32768), as the pipeline's does.
    int32_t bytes;
};

// Runs the batch on the bands' threads. 0, or the status of the first failing part with the
// batch's row it failed on in *failedRow.
int32_t RunDirectStrip(RowBands* bands, const DirectStrip* strip, int32_t* failedRow);
