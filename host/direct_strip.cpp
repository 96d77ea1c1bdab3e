// The transform straight from the host's input strip to its output strip; see direct_strip.h.
#include "host/direct_strip.h"

#include "engine/huegrid_kernels.h"
#include "platform/numeric.h"
#include "platform/status.h"

namespace {

// Rows below this many per thread are not worth a thread's start.
constexpr int32_t kDirectRowsPerPart = 4;

// The engine's 16-bit codes back to the host's scale, sixteen samples at a time: a fixed count
// the compiler turns into vector instructions.
void HalveSamples(uint16_t* v, ptrdiff_t count) {
    ptrdiff_t i = 0;
    for (; i + 16 <= count; i += 16) {
        for (int k = 0; k < 16; ++k) v[i + k] = uint16_t(v[i + k] >> 1);
    }
    for (; i < count; ++i) v[i] = uint16_t(v[i] >> 1);
}

int32_t RunRows(const DirectStrip* s, int32_t top, int32_t bottom, int32_t* failedRow) {
    for (int32_t y = top; y < bottom; ++y) {
        const uint8_t* in = s->in + ptrdiff_t(y) * s->inRowBytes;
        uint8_t* out = s->out + ptrdiff_t(y) * s->outRowBytes;
        const void* const ins[4] = {in, in + s->bytes, in + 2 * s->bytes, nullptr};
        void* const outs[4] = {out, out + s->bytes, out + 2 * s->bytes, nullptr};
        const int32_t status = HgApplyRow(s->table, s->width, ins, 3, outs, 3);
        if (status != kStatusOk) {
            *failedRow = y;
            return status;
        }
        if (s->bytes == 2) HalveSamples(reinterpret_cast<uint16_t*>(out), ptrdiff_t(s->width) * 3);
    }
    return kStatusOk;
}

struct DirectParts {
    const DirectStrip* strip;
    int32_t parts;
    int32_t status[kWorkMaxThreads];
    int32_t failedRow[kWorkMaxThreads];
};

void RunPart(int32_t part, void* context) {
    auto* d = static_cast<DirectParts*>(context);
    const int32_t rows = d->strip->rows;
    const int32_t top = int32_t(int64_t(rows) * part / d->parts);
    const int32_t bottom = int32_t(int64_t(rows) * (part + 1) / d->parts);
    d->status[part] = RunRows(d->strip, top, bottom, &d->failedRow[part]);
}

}  // namespace

int32_t RunDirectStrip(RowBands* bands, const DirectStrip* strip, int32_t* failedRow) {
    if (bands == nullptr || strip == nullptr || strip->table == nullptr) return kStatusProblem;
    DirectParts d;
    d.strip = strip;
    d.parts = Num_Clamp(Num_Min(RowBandsThreads(bands), strip->rows / kDirectRowsPerPart), 1,
                        kWorkMaxThreads);
    for (int32_t k = 0; k < d.parts; ++k) d.status[k] = kStatusOk, d.failedRow[k] = 0;
    RowBandsRunTasks(bands, d.parts, RunPart, &d);
    for (int32_t k = 0; k < d.parts; ++k) {
        if (d.status[k] != kStatusOk) {
            if (failedRow != nullptr) *failedRow = d.failedRow[k];
            return d.status[k];
        }
    }
    return kStatusOk;
}
