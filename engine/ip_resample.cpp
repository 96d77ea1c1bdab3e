// Preview resampling; see ip_resample.h.
//
// The reduction runs row by row. Each source row is filtered across once, into a ring of
// horizontally reduced rows kept with 8 fraction bits (value x 256, below 2^24 even for 16-bit
// samples); each output row then sums the ring rows under its vertical taps and rounds once, so
// 8-bit and 16-bit images take the same path and lose no precision between the passes. The ring
// holds as many rows as the filter has taps, which is about two source rows' worth of samples
// whatever the scale, since the reduced rows are shorter by the same factor.
//
// Source rows are read strictly top to bottom and never twice; output row y is written only when
// the rows its taps reach have been read, and those always reach past row y. That is what makes
// the in-place reduction safe: by the time row y of the destination overwrites row y of the
// source, every source row still to be read lies further down. On several threads the output
// rows are cut into bands, each with a ring of its own and written into a block of its own; the
// blocks go into the destination when every band is done (RunInBands). A band's first rows then
// read some source rows the band above read too (a few rows per band).
//
// The filter weights are computed from the tent's exact rational form (no floating point), so a
// table depends only on the two sizes.
#include "engine/ip_resample.h"

#include <type_traits>

#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/status.h"
#include "platform/work_pool.h"

namespace {

// Where output sample i of n1 sits in the source (16.16), with the first and last output
// samples on the first and last source samples.
int64_t OutputPosition(int32_t i, int32_t n0, int32_t n1, int64_t step) {
    if (i == 0) return 0;
    if (i == n1 - 1) return int64_t(n0 - 1) << 16;
    return int64_t(i) * step;
}

void* AllocArray(uint64_t count, uint64_t size) {
    const uint64_t bytes = count * size;
    if (bytes > 0xFFFFFFFFull - kMemOverhead) return nullptr;
    return Mem_Alloc(uint32_t(bytes));
}

// One source row as the resampler reads it: a pointer per channel and the pixel step.
struct Plane {
    const uint8_t* channel[4];
    int32_t pixelStep;
};

template <typename T>
uint32_t Sample(const uint8_t* base, ptrdiff_t index) {
    return reinterpret_cast<const T*>(base)[index];
}

struct Scaler {
    int32_t w0, h0, w, h, channels, bytes;
    int64_t step;
    int64_t bias;  // added to interior positions: half a sample for the nearest-sample mode
    IPFilterTable table;
    int32_t* columnStart;  // per output column: the first tap's source column (may be < 0)
    int32_t* columnPhase;  // per output column: the phase
    uint32_t* ring;        // taps rows of w x channels reduced values (x 256)
    const IPRowSource* file;
    const IPImage* source;
    uint8_t* fileRow;  // one source row read from the file, interleaved
    int32_t loaded;    // source rows read so far
};

// The loops below take the tap count as a template argument: a constant for reductions by up to
// about 3.3 (4 to 8 taps), whose loops are unrolled, and 0 for the table's count otherwise. The
// preview and the analysis image reduce by 2 to 3, since the host samples at half the rate their
// box needs. With the count read at run time the loop counters and index arithmetic cost more
// than the sums themselves: the reduction was over a third of the automatic settings' time, and
// half of that went (bench/keenhue_speed under callgrind). The sums are integers, so every path
// gives the same bytes.
template <int32_t kTaps>
int32_t TapCount(const Scaler* s) {
    return kTaps > 0 ? kTaps : s->table.taps;
}

// Calls f with the table's tap count as a std::integral_constant, 0 for an uncommon count.
template <typename F>
void WithTapCount(const Scaler* s, F&& f) {
    switch (s->table.taps) {
        case 4:
            return f(std::integral_constant<int32_t, 4>());
        case 5:
            return f(std::integral_constant<int32_t, 5>());
        case 6:
            return f(std::integral_constant<int32_t, 6>());
        case 7:
            return f(std::integral_constant<int32_t, 7>());
        case 8:
            return f(std::integral_constant<int32_t, 8>());
        default:
            return f(std::integral_constant<int32_t, 0>());
    }
}

// Filters source row y across into ring slot y % taps. The channels are the inner loop: one
// output column's weights and first tap serve all of them.
template <typename T, int32_t kTaps>
void ReduceRow(Scaler* s, const Plane& src, int32_t y) {
    const int32_t taps = TapCount<kTaps>(s);
    const int32_t channels = s->channels;
    const ptrdiff_t ps = src.pixelStep;
    uint32_t* out = s->ring + ptrdiff_t(y % taps) * s->w * channels;
    for (int32_t i = 0; i < s->w; ++i, out += channels) {
        const uint32_t* wt = s->table.weights + ptrdiff_t(s->columnPhase[i]) * taps;
        const int32_t start = s->columnStart[i];
        // Each sum stays below 2^32: the weights sum to 2^16 and the samples are below 2^16.
        if (start >= 0 && start + taps <= s->w0) {
            for (int32_t c = 0; c < channels; ++c) {
                const uint8_t* first =
                    src.channel[c] + ptrdiff_t(start) * ps * ptrdiff_t(sizeof(T));
                uint32_t acc = 128;
#pragma GCC unroll 8
                for (int32_t t = 0; t < taps; ++t) acc += wt[t] * Sample<T>(first, t * ps);
                out[c] = acc >> 8;
            }
        } else {
            for (int32_t c = 0; c < channels; ++c) {
                uint32_t acc = 128;
                for (int32_t t = 0; t < taps; ++t) {
                    const int32_t at = int32_t(Num_Clamp(int64_t(start) + t, 0, s->w0 - 1));
                    acc += wt[t] * Sample<T>(src.channel[c], at * ps);
                }
                out[c] = acc >> 8;
            }
        }
    }
}

int32_t LoadRow(Scaler* s, int32_t y) {
    Plane src;
    if (s->file != nullptr) {
        IPImage row = {};
        row.kind = kIPKindColour;
        row.channels = s->channels;
        row.bytesPerSample = s->bytes;
        row.width = s->w0;
        row.height = 1;
        row.resolution = 72.0f;
        row.pixelStep = s->channels;
        row.rowStep = s->channels * s->w0;
        for (int32_t c = 0; c < s->channels; ++c)
            row.channel[c] = s->fileRow + ptrdiff_t(c) * s->bytes;
        const int32_t status = s->file->readRow(s->file->context, y, &row);
        if (status != kStatusOk) return status;
        for (int32_t c = 0; c < s->channels; ++c)
            src.channel[c] = s->fileRow + ptrdiff_t(c) * s->bytes;
        src.pixelStep = s->channels;
    } else {
        const IPImage* im = s->source;
        for (int32_t c = 0; c < s->channels; ++c) {
            src.channel[c] =
                static_cast<const uint8_t*>(im->channel[c]) + IPSampleOffset(im, 0, y) * s->bytes;
        }
        src.pixelStep = im->pixelStep;
    }
    WithTapCount(s, [&](auto count) {
        if (s->bytes == 2) {
            ReduceRow<uint16_t, count()>(s, src, y);
        } else {
            ReduceRow<uint8_t, count()>(s, src, y);
        }
    });
    return kStatusOk;
}

template <typename T, int32_t kTaps>
void WriteRow(Scaler* s, const IPImage* dst, int32_t y, int32_t start, const uint32_t* wt) {
    const int32_t taps = TapCount<kTaps>(s);
    const ptrdiff_t ringRow = ptrdiff_t(s->w) * s->channels;
    auto slot = [&](int32_t t) {
        return s->ring +
               ptrdiff_t(int32_t(Num_Clamp(int64_t(start) + t, 0, s->h0 - 1)) % taps) * ringRow;
    };
    // Up to 256 taps (reductions by up to about 128) the ring rows are looked up once per row.
    const uint32_t* rows[256];
    const bool cached = taps <= 256;
    if (cached) {
        for (int32_t t = 0; t < taps; ++t) rows[t] = slot(t);
    }
    const uint32_t hi = s->bytes == 2 ? 65535u : 255u;
    for (int32_t c = 0; c < s->channels; ++c) {
        T* out = static_cast<T*>(dst->channel[c]) + IPSampleOffset(dst, 0, y);
        for (int32_t x = 0; x < s->w; ++x) {
            const ptrdiff_t k = ptrdiff_t(x) * s->channels + c;
            uint64_t acc = uint64_t(1) << 23;
            if (kTaps > 0) {
#pragma GCC unroll 8
                for (int32_t t = 0; t < taps; ++t) acc += uint64_t(wt[t]) * rows[t][k];
            } else {
                for (int32_t t = 0; t < taps; ++t)
                    acc += uint64_t(wt[t]) * (cached ? rows[t] : slot(t))[k];
            }
            uint32_t v = uint32_t(acc >> 24);
            if (v > hi) v = hi;
            out[ptrdiff_t(x) * dst->pixelStep] = T(v);
        }
    }
}

// Where each output column's taps start, and their phase.
void PlanColumns(Scaler* s) {
    for (int32_t i = 0; i < s->w; ++i) {
        const int64_t pos =
            OutputPosition(i, s->w0, s->w, s->step) + (i > 0 && i < s->w - 1 ? s->bias : 0);
        s->columnPhase[i] = int32_t((pos >> 12) & 15);
        s->columnStart[i] = int32_t((pos >> 16) + s->table.firstOffset);
    }
}

// The first source row of output row y's taps (before clamping to the image), and their phase.
int32_t RowStart(const Scaler* s, int32_t y, int32_t* phase) {
    const int64_t pos =
        OutputPosition(y, s->h0, s->h, s->step) + (y > 0 && y < s->h - 1 ? s->bias : 0);
    *phase = int32_t((pos >> 12) & 15);
    return int32_t((pos >> 16) + s->table.firstOffset);
}

// Output rows y0 .. y1 - 1, row y written to row y - y0 of dst. The source rows are read from
// s->loaded on, which must not lie past the first row the taps of y0 reach.
int32_t RunRows(Scaler* s, const IPImage* dst, int32_t y0, int32_t y1) {
    const int32_t taps = s->table.taps;
    for (int32_t y = y0; y < y1; ++y) {
        int32_t phase;
        const int32_t start = RowStart(s, y, &phase);
        const int32_t need = int32_t(Num_Min(int64_t(start) + taps - 1, s->h0 - 1));
        while (s->loaded <= need) {
            const int32_t status = LoadRow(s, s->loaded);
            if (status != kStatusOk) return status;
            s->loaded += 1;
        }
        const uint32_t* wt = s->table.weights + ptrdiff_t(phase) * taps;
        WithTapCount(s, [&](auto count) {
            if (s->bytes == 2) {
                WriteRow<uint16_t, count()>(s, dst, y - y0, start, wt);
            } else {
                WriteRow<uint8_t, count()>(s, dst, y - y0, start, wt);
            }
        });
    }
    return kStatusOk;
}

// One band of output rows reduced on a thread of its own: its own ring and its own buffer, so
// that no thread writes where another reads, even when the destination overlays the source.
struct Band {
    Scaler s;     // a copy sharing the table and the columns, with its own ring
    IPImage out;  // the band's rows, interleaved, in its own block
    int32_t y0, y1;
    int32_t status;
};

struct Bands {
    Band* band;
    int32_t count;
};

void RunBand(int32_t task, void* context) {
    Band& b = static_cast<Bands*>(context)->band[task];
    b.status = RunRows(&b.s, &b.out, b.y0, b.y1);
}

// Copies a band's rows to their place in the destination.
template <typename T>
void CopyBand(const Band& b, const IPImage* dst, int32_t channels) {
    for (int32_t y = b.y0; y < b.y1; ++y) {
        for (int32_t c = 0; c < channels; ++c) {
            const T* from =
                static_cast<const T*>(b.out.channel[c]) + IPSampleOffset(&b.out, 0, y - b.y0);
            T* to = static_cast<T*>(dst->channel[c]) + IPSampleOffset(dst, 0, y);
            for (int32_t x = 0; x < b.out.width; ++x)
                to[ptrdiff_t(x) * dst->pixelStep] = from[ptrdiff_t(x) * b.out.pixelStep];
        }
    }
}

// Frees what the bands own (their rings and buffers; the table and columns are the caller's).
void FreeBands(Bands* bands) {
    for (int32_t i = 0; i < bands->count; ++i) {
        Mem_Free(bands->band[i].s.ring);
        Mem_Free(bands->band[i].out.channel[0]);
    }
    Mem_Free(bands->band);
}

// Reduces an image in memory on a pool of `threads` threads, the output rows cut into as many
// bands. Every band reads the source only and writes its own buffer; the buffers are copied into
// the destination once every band has finished, so the in-place reduction stays safe. Each output
// row is the same sum whichever band makes it: the bytes are those of a single pass. Without
// memory for the bands, kStatusNoMemory and nothing written (the caller then runs one pass).
int32_t RunInBands(const Scaler* s, const IPImage* dst, int32_t threads) {
    Bands bands{static_cast<Band*>(AllocArray(uint64_t(threads), sizeof(Band))), 0};
    if (bands.band == nullptr) return kStatusNoMemory;
    const uint64_t ringSamples = uint64_t(s->table.taps) * uint64_t(s->w) * uint64_t(s->channels);
    for (int32_t i = 0; i < threads; ++i) {
        Band& b = bands.band[i];
        Mem_Fill(&b, 0, sizeof b);
        bands.count = i + 1;
        b.y0 = int32_t(int64_t(s->h) * i / threads);
        b.y1 = int32_t(int64_t(s->h) * (i + 1) / threads);
        b.s = *s;
        int32_t phase;
        b.s.loaded = Num_Max(0, RowStart(s, b.y0, &phase));
        b.s.ring = static_cast<uint32_t*>(AllocArray(ringSamples, sizeof(uint32_t)));
        auto* block = static_cast<uint8_t*>(AllocArray(
            uint64_t(b.y1 - b.y0) * uint64_t(s->w) * uint64_t(s->channels), uint64_t(s->bytes)));
        b.out = *dst;
        b.out.width = s->w;
        b.out.height = b.y1 - b.y0;
        b.out.pixelStep = s->channels;
        b.out.rowStep = s->w * s->channels;
        for (int32_t c = 0; c < 4; ++c)
            b.out.channel[c] = c < s->channels && block != nullptr ? block + c * s->bytes : nullptr;
        if (b.s.ring == nullptr || block == nullptr) {
            FreeBands(&bands);
            return kStatusNoMemory;
        }
    }
    WorkPool* pool = WorkPoolCreate(threads);
    WorkPoolRun(pool, threads, RunBand, &bands);
    WorkPoolFree(pool);
    for (int32_t i = 0; i < threads; ++i) {
        // An image in memory cannot fail to be read, but a band's status is checked all the same.
        if (bands.band[i].status != kStatusOk) {
            const int32_t status = bands.band[i].status;
            FreeBands(&bands);
            return status;
        }
    }
    for (int32_t i = 0; i < threads; ++i) {
        if (s->bytes == 2) {
            CopyBand<uint16_t>(bands.band[i], dst, s->channels);
        } else {
            CopyBand<uint8_t>(bands.band[i], dst, s->channels);
        }
    }
    FreeBands(&bands);
    return kStatusOk;
}

// A step of exactly one sample: the top-left w x h samples, unfiltered. Rows and samples go in
// ascending order, so a destination over the source with steps no larger is safe.
template <typename T>
int32_t CopyTopLeft(Scaler* s, const IPImage* dst) {
    for (int32_t y = 0; y < s->h; ++y) {
        const T* src[4];
        ptrdiff_t ps;
        if (s->file != nullptr) {
            IPImage row = {};
            row.kind = kIPKindColour;
            row.channels = s->channels;
            row.bytesPerSample = s->bytes;
            row.width = s->w0;
            row.height = 1;
            row.resolution = 72.0f;
            row.pixelStep = s->channels;
            row.rowStep = s->channels * s->w0;
            for (int32_t c = 0; c < s->channels; ++c)
                row.channel[c] = s->fileRow + ptrdiff_t(c) * s->bytes;
            const int32_t status = s->file->readRow(s->file->context, y, &row);
            if (status != kStatusOk) return status;
            for (int32_t c = 0; c < s->channels; ++c)
                src[c] = reinterpret_cast<const T*>(s->fileRow) + c;
            ps = s->channels;
        } else {
            for (int32_t c = 0; c < s->channels; ++c) {
                src[c] =
                    static_cast<const T*>(s->source->channel[c]) + IPSampleOffset(s->source, 0, y);
            }
            ps = s->source->pixelStep;
        }
        for (int32_t x = 0; x < s->w; ++x) {
            for (int32_t c = 0; c < s->channels; ++c) {
                static_cast<T*>(dst->channel[c])[IPSampleOffset(dst, x, y)] = src[c][x * ps];
            }
        }
    }
    return kStatusOk;
}

int32_t Scale(Scaler* s, int32_t mode, const IPImage* dst, int32_t threads) {
    const int64_t stepX = s->w > 1 ? ((int64_t(s->w0) << 16) - 65536) / (s->w - 1) : INT64_MAX;
    const int64_t stepY = s->h > 1 ? ((int64_t(s->h0) << 16) - 65536) / (s->h - 1) : INT64_MAX;
    s->step = Num_Min(stepX, stepY);
    if (s->file != nullptr) {
        s->fileRow =
            static_cast<uint8_t*>(AllocArray(uint64_t(s->w0) * s->channels, uint64_t(s->bytes)));
        if (s->fileRow == nullptr) return kStatusNoMemory;
    }
    if (s->step == 65536) {
        return s->bytes == 2 ? CopyTopLeft<uint16_t>(s, dst) : CopyTopLeft<uint8_t>(s, dst);
    }

    int32_t status = kStatusOk;
    if (mode == kIPScaleNearest) {
        s->table.taps = 1;
        s->table.firstOffset = 0;
        s->table.weights = static_cast<uint32_t*>(AllocArray(kIPPhases, sizeof(uint32_t)));
        if (s->table.weights == nullptr) return kStatusNoMemory;
        for (int32_t p = 0; p < kIPPhases; ++p) s->table.weights[p] = kIPWeightOne;
        s->bias = 32768;
    } else {
        // The table belongs to the direction whose step was taken.
        status = stepX <= stepY ? IPFilterTableBuild(s->w0, s->w, &s->table)
                                : IPFilterTableBuild(s->h0, s->h, &s->table);
        if (status != kStatusOk) return status;
    }
    s->columnStart = static_cast<int32_t*>(AllocArray(uint64_t(s->w), sizeof(int32_t)));
    s->columnPhase = static_cast<int32_t*>(AllocArray(uint64_t(s->w), sizeof(int32_t)));
    if (s->columnStart == nullptr || s->columnPhase == nullptr) return kStatusNoMemory;
    PlanColumns(s);
    // Bands of fewer than two output rows each would read most source rows twice over.
    if (threads > 1 && s->file == nullptr && s->h >= 2 * threads) {
        status = RunInBands(s, dst, threads);
        if (status != kStatusNoMemory) return status;
    }
    s->ring = static_cast<uint32_t*>(AllocArray(
        uint64_t(s->table.taps) * uint64_t(s->w) * uint64_t(s->channels), sizeof(uint32_t)));
    if (s->ring == nullptr) return kStatusNoMemory;
    return RunRows(s, dst, 0, s->h);
}

bool SameFormat(const IPImage* a, int32_t channels, int32_t bytes) {
    return a->channels == channels && a->bytesPerSample == bytes;
}

template <typename T>
void Zoom(const IPImage* src, const IPImage* dst, int32_t zoom, int32_t firstX, int32_t runX,
          int32_t firstY, int32_t runY) {
    int32_t sy = firstY, leftY = runY;
    for (int32_t y = 0; y < dst->height && sy < src->height; ++y) {
        for (int32_t c = 0; c < dst->channels; ++c) {
            const T* s = static_cast<const T*>(src->channel[c]);
            T* d = static_cast<T*>(dst->channel[c]);
            int32_t sx = firstX, leftX = runX;
            for (int32_t x = 0; x < dst->width && sx < src->width; ++x) {
                d[IPSampleOffset(dst, x, y)] = s[IPSampleOffset(src, sx, sy)];
                if (--leftX == 0) {
                    ++sx;
                    leftX = zoom;
                }
            }
        }
        if (--leftY == 0) {
            ++sy;
            leftY = zoom;
        }
    }
}

// The first visible source pixel along one direction, and how many times it is repeated.
void ZoomStart(int32_t sourceSize, int32_t destSize, double fraction, int32_t zoom, int32_t* first,
               int32_t* run) {
    const int64_t overflow = int64_t(sourceSize) * zoom - destSize;
    int64_t q = 0;
    if (overflow > 0) {
        const double v = double(overflow) * fraction + 0.5;
        q = int64_t(v);  // v >= 0.5, so truncation rounds half up
        if (q > overflow) q = overflow;
    }
    *first = int32_t(q / zoom);
    *run = zoom - int32_t(q % zoom);
}

}  // namespace

int32_t IPScaleOutputSize(int32_t w0, int32_t h0, int32_t wd, int32_t hd, int32_t* width,
                          int32_t* height) {
    if (width == nullptr || height == nullptr) return kStatusProblem;
    if (w0 < 1 || h0 < 1 || wd < 1 || hd < 1) return kStatusProblem;
    const int64_t w1 = (int64_t(w0) * hd + h0 / 2) / h0;
    const int64_t h1 = (int64_t(h0) * wd + w0 / 2) / w0;
    int64_t w, h;
    if (w1 <= wd && (h1 > hd || w1 * hd >= h1 * wd)) {
        w = w1;
        h = hd;
    } else {
        w = wd;
        h = h1;
    }
    if (w0 <= w || h0 <= h) {
        if (w0 <= wd && h0 <= hd) {
            *width = w0;
            *height = h0;
            return kStatusOk;
        }
        // Rounding made the source look no larger than the output in one direction while it
        // is larger than the box in the other: keep the reduced size, capped at the source.
        w = Num_Min(w, w0);
        h = Num_Min(h, h0);
    }
    // A very thin image rounds to a width or height of 0 or 1, which leaves the step undefined.
    if (w < 2) w = Num_Min<int64_t>(2, w0);
    if (h < 2) h = Num_Min<int64_t>(2, h0);
    *width = int32_t(w);
    *height = int32_t(h);
    return kStatusOk;
}

int32_t IPFilterTableBuild(int32_t n0, int32_t n1, IPFilterTable* table) {
    if (table == nullptr) return kStatusProblem;
    table->taps = 0;
    table->firstOffset = 0;
    table->weights = nullptr;
    if (!(2 <= n1 && n1 < n0)) return kStatusProblem;
    // k((t - p/16) / s) with s = (n0 - 1) / (n1 - 1) is max(0, num) / den with
    // num = den - |16 t - p| (n1 - 1) and den = 16 (n0 - 1).
    const int64_t a = n0 - 1, b = n1 - 1, den = 16 * a;
    // First tap: the most negative t with |t| < s.
    const int64_t first = -((a - 1) / b);
    // Last tap: the last t with (t - 15/16) < s.
    int64_t last = 1;
    while ((16 * (last + 1) - 15) * b < den) ++last;
    const int64_t taps = last - first + 1;
    if (taps > 0x7FFFFFFF / kIPPhases) return kStatusNoMemory;
    MemBlock<uint32_t> weights;
    if (!weights.Allocate(uint32_t(taps * kIPPhases))) return kStatusNoMemory;
    for (int32_t p = 0; p < kIPPhases; ++p) {
        uint32_t* row = weights.get() + ptrdiff_t(p) * taps;
        int64_t sum = 0;
        for (int64_t t = 0; t < taps; ++t) {
            const int64_t d = 16 * (first + t) - p;
            const int64_t num = den - (d < 0 ? -d : d) * b;
            sum += num > 0 ? num : 0;
        }
        int64_t rounded = 0;
        for (int64_t t = 0; t < taps; ++t) {
            const int64_t d = 16 * (first + t) - p;
            const int64_t num = den - (d < 0 ? -d : d) * b;
            const int64_t wgt = num > 0 ? (num * 2 * int64_t(kIPWeightOne) + sum) / (2 * sum) : 0;
            row[t] = uint32_t(wgt);
            rounded += wgt;
        }
        // The rounding remainder (a few units at most) goes to the middle tap, which always
        // carries a large weight, so every phase sums to exactly 1.0.
        const int64_t middle = int64_t(row[taps / 2]) + int64_t(kIPWeightOne) - rounded;
        if (middle < 0) return kStatusError;
        row[taps / 2] = uint32_t(middle);
    }
    table->taps = int32_t(taps);
    table->firstOffset = int32_t(first);
    table->weights = weights.Release();
    return kStatusOk;
}

int32_t IPFilterTableFree(IPFilterTable* table) {
    if (table == nullptr) return kStatusProblem;
    table->weights = static_cast<uint32_t*>(Mem_Free(table->weights));
    table->taps = 0;
    table->firstOffset = 0;
    return kStatusOk;
}

namespace {

int32_t ScaleDown(const IPRowSource* file, const IPImage* source, int32_t mode,
                  const IPImage* destination, int32_t* width, int32_t* height, int32_t threads) {
    if (width == nullptr || height == nullptr) return kStatusProblem;
    *width = 0;
    *height = 0;
    if ((file == nullptr) == (source == nullptr)) return kStatusProblem;
    if (mode != kIPScaleNearest && mode != kIPScaleTent) return kStatusProblem;
    if (!IPImageValid(destination) || destination->width < 2 || destination->height < 2)
        return kStatusProblem;

    Scaler s = {};
    s.file = file;
    s.source = source;
    if (file != nullptr) {
        if (file->readRow == nullptr || !(1 <= file->channels && file->channels <= 4))
            return kStatusProblem;
        if (file->bytesPerSample != 1 && file->bytesPerSample != 2) return kStatusProblem;
        s.w0 = file->width;
        s.h0 = file->height;
        s.channels = file->channels;
        s.bytes = file->bytesPerSample;
    } else {
        if (!IPImageValid(source)) return kStatusProblem;
        s.w0 = source->width;
        s.h0 = source->height;
        s.channels = source->channels;
        s.bytes = source->bytesPerSample;
    }
    if (s.w0 < 1 || s.h0 < 1 || !SameFormat(destination, s.channels, s.bytes))
        return kStatusProblem;
    int32_t status =
        IPScaleOutputSize(s.w0, s.h0, destination->width, destination->height, &s.w, &s.h);
    if (status != kStatusOk) return status;

    status = Scale(&s, mode, destination, threads);
    IPFilterTableFree(&s.table);
    Mem_Free(s.columnStart);
    Mem_Free(s.columnPhase);
    Mem_Free(s.ring);
    Mem_Free(s.fileRow);
    if (status != kStatusOk) return status;
    *width = s.w;
    *height = s.h;
    return kStatusOk;
}

}  // namespace

int32_t IPScaleImageDown2(const IPRowSource* file, const IPImage* source, int32_t mode,
                          const IPImage* destination, int32_t* width, int32_t* height,
                          int32_t flag) {
    (void)flag;
    return ScaleDown(file, source, mode, destination, width, height, 1);
}

int32_t IPScaleImageDownOn(const IPImage* source, int32_t mode, const IPImage* destination,
                           int32_t* width, int32_t* height, int32_t threads) {
    if (source == nullptr) return kStatusProblem;
    return ScaleDown(nullptr, source, mode, destination, width, height,
                     Num_Clamp(threads, 1, kWorkMaxThreads));
}

int32_t IPZoomImage(const IPImage* source, double xFraction, double yFraction, int32_t zoom,
                    const IPImage* destination) {
    if (!IPImageValid(source) || !IPImageValid(destination)) return kStatusProblem;
    if (!SameFormat(destination, source->channels, source->bytesPerSample)) return kStatusProblem;
    if (source->width < 1 || source->height < 1 || destination->width < 1 ||
        destination->height < 1)
        return kStatusProblem;
    if (!(0.0 <= xFraction && xFraction <= 1.0) || !(0.0 <= yFraction && yFraction <= 1.0))
        return kStatusProblem;
    if (zoom < 1) return kStatusProblem;
    for (int32_t c = 0; c < source->channels; ++c) {
        for (int32_t d = 0; d < destination->channels; ++d) {
            if (source->channel[c] == destination->channel[d]) return kStatusProblem;
        }
    }
    int32_t firstX, runX, firstY, runY;
    ZoomStart(source->width, destination->width, xFraction, zoom, &firstX, &runX);
    ZoomStart(source->height, destination->height, yFraction, zoom, &firstY, &runY);
    if (source->bytesPerSample == 2) {
        Zoom<uint16_t>(source, destination, zoom, firstX, runX, firstY, runY);
    } else {
        Zoom<uint8_t>(source, destination, zoom, firstX, runX, firstY, runY);
    }
    return kStatusOk;
}
