// The row pipeline over column bands on a pool of threads; see row_bands.h.
#include "host/row_bands.h"

#include "platform/mem.h"
#include "platform/numeric.h"
#include "resources/ids/strings.h"

namespace {

// The columns a band's processors read beyond a column they write.
int32_t Margin(const RowPipelineSetup* s) {
    int32_t margin = s->sharpen ? 2 : 0;
    if (s->noise) {
        int32_t r = 0;
        for (int c = 0; c < 3; ++c) r = Num_Max(r, s->settings->noiseRadius[c]);
        margin += r;
    }
    return margin;
}

int32_t BandToSink(const HgPixelBuffer* row, void* context) {
    auto* band = static_cast<RowBand*>(context);
    BandRow out{row, band->skip, band->x, band->count, band->outRow};
    ++band->outRow;
    return band->owner->sink(&out, band->owner->sinkContext);
}

void RunBand(int32_t task, void* context) {
    auto* bands = static_cast<RowBands*>(context);
    RowBand& band = bands->band[task];
    if (band.status != kStatusOk) return;
    const auto* first = static_cast<const uint8_t*>(bands->batchFirst) +
                        ptrdiff_t(band.first) * bands->batchStep * bands->bytesIn;
    for (int32_t r = 0; r < bands->batchRows; ++r) {
        RowPipelineSplit(&band.pipeline, first + r * bands->batchRowBytes, bands->batchStep);
        band.status = RowPipelineRun(&band.pipeline);
        if (band.status != kStatusOk) {
            band.failedRow = r;
            return;
        }
    }
}

}  // namespace

int32_t RowBandsBegin(RowBands* b, const RowPipelineSetup* setup, int32_t threads, BandSink sink,
                      void* sinkContext, Ui_Failure* failure) {
    Mem_Fill(b, 0, sizeof *b);
    // The margins read the settings before any pipeline checks them.
    if (setup == nullptr || setup->settings == nullptr || sink == nullptr || setup->width < 1) {
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseCreateHuegrid);
    }
    b->sink = sink;
    b->sinkContext = sinkContext;
    b->bytesIn = setup->bytesIn;
    const int32_t width = setup->width;
    int32_t count = Num_Clamp(threads, 1, kWorkMaxThreads);
    count = Num_Min(count, Num_Max(1, width / kBandMinColumns));
    const int32_t margin = count > 1 ? Margin(setup) : 0;
    for (int32_t k = 0; k < count; ++k) {
        RowBand& band = b->band[k];
        band.owner = b;
        band.x = int32_t(int64_t(width) * k / count);
        band.count = int32_t(int64_t(width) * (k + 1) / count) - band.x;
        band.first = Num_Max(0, band.x - margin);
        band.skip = band.x - band.first;
        band.width = Num_Min(width, band.x + band.count + margin) - band.first;
        RowPipelineSetup own = *setup;
        own.width = band.width;
        own.sink = BandToSink;
        own.sinkContext = &band;
        // One transform table for all: the kernels only read it.
        own.shareTransform = k > 0 ? &b->band[0].pipeline : nullptr;
        b->bands = k + 1;
        const int32_t status = RowPipelineBegin(&band.pipeline, &own, failure);
        if (status != kStatusOk) {
            RowBandsEnd(b);
            return status;
        }
    }
    // Without a pool the bands run one after another on the caller's thread: the same bytes.
    if (count > 1) b->pool = WorkPoolCreate(count);
    return kStatusOk;
}

int32_t RowBandsRun(RowBands* b, const void* first, ptrdiff_t rowBytes, ptrdiff_t step,
                    int32_t rows, int32_t* failedRow) {
    if (b == nullptr || b->bands == 0) return kStatusProblem;
    b->batchFirst = static_cast<const uint8_t*>(first);
    b->batchRowBytes = rowBytes;
    b->batchStep = step;
    b->batchRows = rows;
    WorkPoolRun(b->pool, b->bands, RunBand, b);
    for (int32_t k = 0; k < b->bands; ++k) {
        if (b->band[k].status != kStatusOk) {
            if (failedRow != nullptr) *failedRow = b->band[k].failedRow;
            return b->band[k].status;
        }
    }
    return kStatusOk;
}

void RowBandsEnd(RowBands* b) {
    if (b == nullptr) return;
    WorkPoolFree(b->pool);
    // The first band's table is shared by the others: it goes last.
    for (int32_t k = b->bands - 1; k >= 0; --k) RowPipelineEnd(&b->band[k].pipeline);
    Mem_Fill(b, 0, sizeof *b);
}
