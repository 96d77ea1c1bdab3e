// The row pipeline that turns image rows into corrected rows: a transform written into a memory
// stream, the row applier read back from it (with sharpening), and the noise-removal row filter
// in front of the applier when noise removal runs.
//
// Filtering the host image and previewing the correction go through this one pipeline, so that
// what the preview shows with sharpening or noise removal is what the filter will write. The
// caller fills the planar input row (RowPipelineSplit does it from interleaved samples) and hands
// it on with RowPipelineRun; finished rows reach the caller's sink, in order, as planar rows of
// the output pixel size, later than they went in: two rows with sharpening, the largest noise
// radius with noise removal. Every row of the rectangle comes out exactly once.
//
// Memory: the planar row, the 265000-byte stream, the applier and the noise filter, all taken
// at RowPipelineBegin and given back by RowPipelineEnd (on every path: End is safe on a pipeline
// that failed to begin or never began).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/edit_pars.h"
#include "engine/huegrid.h"
#include "engine/huegrid_applier.h"
#include "engine/noise_filter.h"
#include "platform/alert.h"

// The selection's blend of a new value n over the unedited value u, for a mask value m: 0 keeps
// u, 255 takes n, and between them the weights are m / 255 and (255 - m) / 255, rounded to the
// nearest code. Dividing by 255 rather than shifting by 8 is what lets a pixel the edit leaves as
// it was keep its value under any mask (the shift took a white down by one 8-bit code, or by 128
// codes at the host's 16-bit scale). u and n below 2^23 cannot overflow it.
inline uint32_t SelectionBlend(uint32_t m, uint32_t u, uint32_t n) {
    return m == 255 ? n : m == 0 ? u : ((255 - m) * u + m * n + 127) / 255;
}

// Size of the memory stream the transform is written into.
constexpr int32_t kFilterStreamBytes = 265000;

struct RowPipelineSetup {
    const Huegrid* transform;  // written into the stream; null: no transform (codes rescaled only)
    int32_t width;             // pixels per row, at least 1
    int32_t rows;              // rows that will be run, at least 1
    int32_t bytesIn;           // 1 (codes 0..255) or 2 (codes 0..65535)
    int32_t bytesOut;          // likewise
    const SharpenNoise* settings;  // strength, radii, thresholds and modes
    uint8_t sharpen;               // run the unsharp mask (needs more than four rows)
    uint8_t noise;                 // run the noise filter in front of the applier
    HgRowCallback sink;            // receives each finished planar row
    void* sinkContext;
    int32_t firstRow;  // the filter rectangle's row the first row run is (0: its top), for the
                       // noise filter's pattern, which turns row by row from the top
    // Non-null: a begun pipeline of the same transform and sample sizes whose table this one
    // reads (transform is then ignored and no stream is taken); it must be ended after this one.
    const struct RowPipeline* shareTransform;
};

struct RowPipeline {
    HgPixelBuffer row;  // the planar input row: three planes of width samples
    HuegridApplier* applier;
    NoiseFilter* noise;
    void* planes;  // the row's samples
    void* stream;  // the transform's stream
    int32_t width;
    int32_t bytesIn;
};

// Takes the pipeline's memory, writes the transform into the stream and creates the processors.
// 0, -1 for bad arguments, -3 without memory, or the engine's status; a failure is described as
// "creating Huegrid" and leaves nothing held (End is still safe).
int32_t RowPipelineBegin(RowPipeline* pipeline, const RowPipelineSetup* setup, Ui_Failure* failure);
// Copies the first three channels of an interleaved row into the planar row: channel c of pixel
// x is at first + (x * step + c) samples of the input pixel size.
void RowPipelineSplit(RowPipeline* pipeline, const void* first, ptrdiff_t step);
// Hands the planar row on; the sink's status (or the processors') is returned unchanged.
int32_t RowPipelineRun(RowPipeline* pipeline);
// The transform's table when the pipeline does nothing but apply it (no noise removal, no
// sharpening), else null.
const HuegridLut* RowPipelineTransformOnly(const RowPipeline* pipeline);
// Frees everything the pipeline holds and empties it.
void RowPipelineEnd(RowPipeline* pipeline);
