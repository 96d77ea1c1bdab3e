// The row pipeline run on several threads: the image's columns cut into bands, each band with a
// pipeline of its own, the bands of each batch of rows run in parallel.
//
// Why columns and not rows: the host hands the image over strip by strip, top to bottom, and the
// processors are stateful from the top (the sharpening lags two rows, the noise filter keeps
// 2R + 1 rows and its sparse pattern turns after every row). A band of columns runs the very rows
// the whole image runs, in the same order; it only needs, on each side where it meets another
// band, the columns its processors read: two for the unsharp mask, the noise radius for the
// noise filter, both when both run (the mask reads filtered columns). Those margin columns are
// run and thrown away, so every column of the image is computed from exactly the neighbours the
// single pipeline would give it, and the bytes are the same for any number of bands. Every other
// step (the transform, luma and chroma, the selection blend) is per pixel.
//
// One band is the whole row without margins: with one thread the work is the single pipeline's,
// on the caller's thread. Bands are at least kBandMinColumns wide, so a narrow image gets fewer
// bands than threads.
//
// Memory: every band's pipeline is taken at RowBandsBegin, on the caller's thread, so a lack of
// memory is one failure, told once; the runs allocate nothing. The pool's workers are created
// there too and joined at RowBandsEnd.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/row_pipeline.h"
#include "platform/work_pool.h"

constexpr int32_t kBandMinColumns = 64;

// A finished row of one band, for the sink: columns skip .. skip + count - 1 of row are the
// image's columns x .. x + count - 1 of row y (the pipeline's row count from 0).
struct BandRow {
    const HgPixelBuffer* row;
    int32_t skip;
    int32_t x;
    int32_t count;
    int32_t y;
};
// Writes a band's finished row; called on the band's thread, never for one band on two threads,
// and two bands' calls write disjoint columns. A non-zero status ends the band's run.
using BandSink = int32_t (*)(const BandRow* out, void* context);

struct RowBand {
    RowPipeline pipeline;
    int32_t first;      // the image's column of the band's first pipeline column (margin included)
    int32_t width;      // the band's pipeline width, margins included
    int32_t skip;       // margin columns at the band's left
    int32_t x;          // the image's first column the band writes
    int32_t count;      // columns it writes
    int32_t outRow;     // rows it has handed to the sink
    int32_t status;     // the first failure of its run
    int32_t failedRow;  // the batch's row that failed
    struct RowBands* owner;
};

struct RowBands {
    RowBand band[kWorkMaxThreads];
    int32_t bands;
    WorkPool* pool;
    int32_t bytesIn;
    BandSink sink;
    void* sinkContext;
    // The batch being run, for the tasks.
    const uint8_t* batchFirst;
    ptrdiff_t batchRowBytes;
    ptrdiff_t batchStep;
    int32_t batchRows;
};

// The pipelines over the setup (its sink and context are ignored: finished rows go to sink) in
// as many bands as threads allows, and the pool to run them. 0, or a failure as RowPipelineBegin
// tells it, and nothing held (End is still safe).
int32_t RowBandsBegin(RowBands* bands, const RowPipelineSetup* setup, int32_t threads,
                      BandSink sink, void* sinkContext, Ui_Failure* failure);
// Runs the next rows rows through every band: row r's pixel x starts at first + r * rowBytes +
// x * step samples of the input size (channels 0..2 are read). Returns 0 or the leftmost failing
// band's status, after every band has stopped, with the batch's row it failed on in *failedRow.
int32_t RowBandsRun(RowBands* bands, const void* first, ptrdiff_t rowBytes, ptrdiff_t step,
                    int32_t rows, int32_t* failedRow);
// The transform's table when the pipelines do nothing but apply it, else null (see
// host/direct_strip.h, which then runs the rows without them).
inline const HuegridLut* RowBandsTransformOnly(const RowBands* bands) {
    return bands->bands > 0 ? RowPipelineTransformOnly(&bands->band[0].pipeline) : nullptr;
}
// Runs task(0 .. tasks - 1, context) on the bands' threads and returns when all have finished.
inline void RowBandsRunTasks(RowBands* bands, int32_t tasks, WorkTask task, void* context) {
    WorkPoolRun(bands->pool, tasks, task, context);
}
// The threads the bands run on (1 without a pool).
inline int32_t RowBandsThreads(const RowBands* bands) {
    return WorkPoolThreads(bands->pool);
}
// The number of bands the rows are cut into.
inline int32_t RowBandsCount(const RowBands* bands) {
    return bands->bands;
}
// Joins the pool and frees every pipeline.
void RowBandsEnd(RowBands* bands);
