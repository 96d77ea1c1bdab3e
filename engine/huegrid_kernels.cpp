// The pixel kernels; see huegrid_kernels.h.
//
// One template per method, instantiated for every channel count, sample size and pixel size,
// so that the inner loops carry no per-pixel decisions besides the interpolation itself.
// The interpolation constants (shift and rounding) follow from the sample and output sizes and
// are compile-time constants here; HgApplyRow refuses a table whose fields say otherwise.
//
// Tetrahedral interpolation sums the weighted vertices in the difference form
//   32768 * c0 + fa * (c1 - c0) + fb * (c2 - c1) + fc * (c3 - c2),
// which is the same integer as the weighted sum of the four vertices, with one multiply less
// per channel. Every partial sum lies between 0 and 32768 * the largest sample, so unsigned
// 32-bit arithmetic is exact. The vertex order comes from the largest and the smallest
// fraction, chosen without branches: on photographs with noise the order changes from one
// pixel to the next and a branch per decision would be mispredicted half the time.
//
// These kernels are the reference. Three-input grids go to the AVX2 kernel
// (engine/huegrid_kernels_avx2.h) where the table's set and the processor allow it; it gives the
// same bytes, and the tests compare the two on every shape and on 10^8 random pixels.
#include "engine/huegrid_kernels.h"

#include <cstddef>

#include "engine/huegrid_kernels_avx2.h"
#include "engine/kernel_set.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define HG_BYTE_PERMUTE 1
#endif

namespace {

// Shift and rounding by sample type S and output type O.
template <typename S, typename O>
struct Constants {
    static constexpr uint32_t shift = uint32_t(HgShiftFor(int32_t(sizeof(S)), int32_t(sizeof(O))));
    static constexpr uint32_t round = uint32_t(HgRoundFor(int32_t(sizeof(S)), int32_t(sizeof(O))));
};

// Input lookups of one channel: cell offset and Q15 fraction of a code.
template <typename I>
struct InputAxis {
    const uint32_t* cellOffset;
    const uint8_t* cellOf16;
    const uint16_t* frac;

    explicit InputAxis(const HgInputChannel& in)
        : cellOffset(in.cellOffset), cellOf16(in.cellOf16), frac(in.frac) {}
    uint32_t Offset(uint32_t x) const {
        if constexpr (sizeof(I) == 1) {
            return cellOffset[x];
        } else {
            return cellOffset[cellOf16[x]];
        }
    }
};

// Output conversion of channel k: table lookup, or the value itself for 16-bit output without a
// table (full range).
template <typename O>
struct OutputTables {
    const O* table[4];

    explicit OutputTables(const HuegridLut* t) {
        for (int32_t k = 0; k < 4; ++k) table[k] = static_cast<const O*>(t->output[k].table);
    }
    O Code(int32_t k, uint32_t index) const {
        if constexpr (sizeof(O) == 2) {
            if (table[k] == nullptr) return O(index);
        }
        return table[k][index];
    }
};

template <int NOUT, typename S, typename I, typename O>
void Tetra3(const HuegridLut* t, int32_t count, const void* const inPtrs[4], ptrdiff_t inStep,
            void* const outPtrs[4], ptrdiff_t outStep) {
    using K = Constants<S, O>;
    const S* grid = static_cast<const S*>(t->grid);
    const InputAxis<I> a0(t->input[0]), a1(t->input[1]), a2(t->input[2]);
    const uint32_t s0 = t->input[0].stride, s1 = t->input[1].stride, s2 = t->input[2].stride;
    const uint32_t diagonal = s0 + s1 + s2;
    const OutputTables<O> tables(t);
    const I* in0 = static_cast<const I*>(inPtrs[0]);
    const I* in1 = static_cast<const I*>(inPtrs[1]);
    const I* in2 = static_cast<const I*>(inPtrs[2]);
    O* out[4];
    for (int32_t k = 0; k < NOUT; ++k) out[k] = static_cast<O*>(outPtrs[k]);

    for (int32_t i = 0; i < count; ++i) {
        const uint32_t x0 = in0[i * inStep], x1 = in1[i * inStep], x2 = in2[i * inStep];
        const uint32_t f0 = a0.frac[x0], f1 = a1.frac[x1], f2 = a2.frac[x2];
        const S* base = grid + a0.Offset(x0) + a1.Offset(x1) + a2.Offset(x2);

        // Largest fraction (first of equals) and smallest (last of equals): with ties the
        // two are still different axes, and the tied vertex gets a zero weight either way.
        uint32_t fa = f0, sa = s0;
        fa = f1 > fa ? f1 : fa;
        sa = f1 > f0 ? s1 : sa;
        sa = f2 > fa ? s2 : sa;
        fa = f2 > fa ? f2 : fa;
        uint32_t fc = f2, sc = s2;
        fc = f1 < fc ? f1 : fc;
        sc = f1 < f2 ? s1 : sc;
        sc = f0 < fc ? s0 : sc;
        fc = f0 < fc ? f0 : fc;
        const uint32_t fb = f0 + f1 + f2 - fa - fc;

        const S* v1 = base + sa;
        const S* v3 = base + diagonal;
        const S* v2 = v3 - sc;
        for (int32_t k = 0; k < NOUT; ++k) {
            const uint32_t c0 = base[k], c1 = v1[k], c2 = v2[k], c3 = v3[k];
            const uint32_t sum =
                (c0 << 15) + fa * (c1 - c0) + fb * (c2 - c1) + fc * (c3 - c2) + K::round;
            out[k][i * outStep] = tables.Code(k, sum >> K::shift);
        }
    }
}

// One compare-exchange of a descending sort of (fraction, stride) pairs, without branches.
inline void Order(uint32_t& fx, uint32_t& sx, uint32_t& fy, uint32_t& sy) {
    const bool swap = fx < fy;
    const uint32_t f = swap ? fy : fx, s = swap ? sy : sx;
    fy = swap ? fx : fy;
    sy = swap ? sx : sy;
    fx = f;
    sx = s;
}

template <int NOUT, typename S, typename I, typename O>
void Tetra4(const HuegridLut* t, int32_t count, const void* const inPtrs[4], ptrdiff_t inStep,
            void* const outPtrs[4], ptrdiff_t outStep) {
    using K = Constants<S, O>;
    const S* grid = static_cast<const S*>(t->grid);
    const InputAxis<I> a0(t->input[0]), a1(t->input[1]), a2(t->input[2]), a3(t->input[3]);
    const uint32_t stride[4] = {t->input[0].stride, t->input[1].stride, t->input[2].stride,
                                t->input[3].stride};
    const OutputTables<O> tables(t);
    const I* in0 = static_cast<const I*>(inPtrs[0]);
    const I* in1 = static_cast<const I*>(inPtrs[1]);
    const I* in2 = static_cast<const I*>(inPtrs[2]);
    const I* in3 = static_cast<const I*>(inPtrs[3]);
    O* out[4];
    for (int32_t k = 0; k < NOUT; ++k) out[k] = static_cast<O*>(outPtrs[k]);

    for (int32_t i = 0; i < count; ++i) {
        const uint32_t x0 = in0[i * inStep], x1 = in1[i * inStep], x2 = in2[i * inStep],
                       x3 = in3[i * inStep];
        uint32_t f0 = a0.frac[x0], f1 = a1.frac[x1], f2 = a2.frac[x2], f3 = a3.frac[x3];
        const S* base = grid + a0.Offset(x0) + a1.Offset(x1) + a2.Offset(x2) + a3.Offset(x3);
        uint32_t t0 = stride[0], t1 = stride[1], t2 = stride[2], t3 = stride[3];
        // A sorting network on four elements; equal fractions give zero weights, so the order
        // among them does not matter.
        Order(f0, t0, f1, t1);
        Order(f2, t2, f3, t3);
        Order(f0, t0, f2, t2);
        Order(f1, t1, f3, t3);
        Order(f1, t1, f2, t2);
        const S* v1 = base + t0;
        const S* v2 = v1 + t1;
        const S* v3 = v2 + t2;
        const S* v4 = v3 + t3;
        for (int32_t k = 0; k < NOUT; ++k) {
            const uint32_t c0 = base[k], c1 = v1[k], c2 = v2[k], c3 = v3[k], c4 = v4[k];
            const uint32_t sum = (c0 << 15) + f0 * (c1 - c0) + f1 * (c2 - c1) + f2 * (c3 - c2) +
                                 f3 * (c4 - c3) + K::round;
            out[k][i * outStep] = tables.Code(k, sum >> K::shift);
        }
    }
}

#ifdef HG_BYTE_PERMUTE
// 8-bit curves on rows whose samples are contiguous bytes (interleaved with a step of the
// channel count, or one plane): byte p of the run belongs to the channel in slot p % channels.
// A 256-entry table is four 64-byte registers; two byte permutes look up the low and the high
// half and the top bit of each code picks one. Three channels repeat every 192 bytes (64 is
// 1 mod 3), so each of three consecutive vectors has its own slot masks. Memory-bound on
// large rows; a plain table lookup per byte is several times slower.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void CurvesBytePermute(
    const uint8_t* const slotTable[4], int32_t channels, const uint8_t* in, uint8_t* out,
    size_t bytes) {
    __m512i t[4][4];
    for (int32_t s = 0; s < channels; ++s) {
        for (int32_t q = 0; q < 4; ++q) t[s][q] = _mm512_loadu_si512(slotTable[s] + 64 * q);
    }
    const int32_t period = channels == 3 ? 3 : 1;  // vectors until the slot pattern repeats
    __mmask64 mask[3][4] = {};
    for (int32_t v = 0; v < period; ++v) {
        for (int32_t j = 0; j < 64; ++j) {
            const int32_t slot = (64 * v + j) % channels;
            mask[v][slot] |= __mmask64(1) << j;
        }
    }
    const size_t block = size_t(64 * period);
    size_t p = 0;
    for (; p + block <= bytes; p += block) {
        for (int32_t v = 0; v < period; ++v) {
            const __m512i codes = _mm512_loadu_si512(in + p + size_t(64 * v));
            const __mmask64 high = _mm512_movepi8_mask(codes);
            __m512i r = _mm512_setzero_si512();
            for (int32_t s = 0; s < channels; ++s) {
                const __m512i lo = _mm512_permutex2var_epi8(t[s][0], codes, t[s][1]);
                const __m512i hi = _mm512_permutex2var_epi8(t[s][2], codes, t[s][3]);
                r = _mm512_mask_mov_epi8(r, mask[v][s] & ~high, lo);
                r = _mm512_mask_mov_epi8(r, mask[v][s] & high, hi);
            }
            _mm512_storeu_si512(out + p + size_t(64 * v), r);
        }
    }
    for (; p < bytes; ++p) out[p] = slotTable[p % size_t(channels)][in[p]];
}
#endif

#ifdef HG_BYTE_PERMUTE

bool Overlap(const uint8_t* a, const uint8_t* b, size_t bytes) {
    return a < b + bytes && b < a + bytes;
}

// The byte-permute path for 8-bit to 8-bit curves when the layout allows it: true when done.
bool CurvesContiguous8(const HuegridLut* t, const uint8_t* const* t8, int32_t channels,
                       int32_t count, const void* const inPtrs[4], ptrdiff_t inStep,
                       void* const outPtrs[4], ptrdiff_t outStep) {
    // The table's choice, and the processor's: a table made elsewhere never faults here.
    if (t->kernels < kHgKernelsAvx512 || HgProcessorKernelSet() < kHgKernelsAvx512 || count < 64)
        return false;
    const auto* in = reinterpret_cast<const uint8_t* const*>(inPtrs);
    auto* out = reinterpret_cast<uint8_t* const*>(outPtrs);
    const size_t n = size_t(count);
    if (inStep == channels && outStep == channels) {
        // Interleaved: the slots of both sides must be the same permutation of 0..channels-1.
        const uint8_t* inBase = in[0];
        uint8_t* outBase = out[0];
        for (int32_t c = 1; c < channels; ++c) {
            if (in[c] < inBase) inBase = in[c];
            if (out[c] < outBase) outBase = out[c];
        }
        const uint8_t* slotTable[4] = {};
        for (int32_t c = 0; c < channels; ++c) {
            const ptrdiff_t slot = in[c] - inBase;
            if (slot >= channels || out[c] - outBase != slot || slotTable[slot] != nullptr)
                return false;
            slotTable[slot] = t8[c];
        }
        const size_t bytes = n * size_t(channels);
        if (outBase != inBase && Overlap(inBase, outBase, bytes)) return false;
        CurvesBytePermute(slotTable, channels, inBase, outBase, bytes);
        return true;
    }
    if (inStep == 1 && outStep == 1) {
        // Planes, one channel after the other: no output plane may overlap another input plane.
        for (int32_t c = 0; c < channels; ++c) {
            for (int32_t d = 0; d < channels; ++d) {
                if (d != c && Overlap(out[c], in[d], n)) return false;
            }
            if (out[c] != in[c] && Overlap(out[c], in[c], n)) return false;
        }
        for (int32_t c = 0; c < channels; ++c) {
            const uint8_t* table[4] = {t8[c], nullptr, nullptr, nullptr};
            CurvesBytePermute(table, 1, in[c], out[c], n);
        }
        return true;
    }
    return false;
}
#endif

// Curves and one-input grids. Output channel k reads input channel k (curves) or channel 0
// (a one-input grid) and goes through the 1-D tables held in input record k.
enum CurveMethod { kDirect8, kDirect16, kTwoStep };

template <int NCH, bool OneInput, CurveMethod M, typename I, typename O>
void Curves(const HuegridLut* t, int32_t count, const void* const inPtrs[4], ptrdiff_t inStep,
            void* const outPtrs[4], ptrdiff_t outStep) {
    const uint8_t* t8[4];
    const uint16_t* t16[4];
    const I* in[4];
    O* out[4];
    for (int32_t k = 0; k < NCH; ++k) {
        t8[k] = t->input[k].cellOf16;
        t16[k] = t->input[k].frac;
        in[k] = static_cast<const I*>(inPtrs[OneInput ? 0 : k]);
        out[k] = static_cast<O*>(outPtrs[k]);
    }
#ifdef HG_BYTE_PERMUTE
    if constexpr (M == kDirect8 && sizeof(I) == 1 && sizeof(O) == 1 && !OneInput) {
        if (CurvesContiguous8(t, t8, NCH, count, inPtrs, inStep, outPtrs, outStep)) return;
    }
#endif
    for (int32_t i = 0; i < count; ++i) {
        uint32_t x[NCH];
        for (int32_t k = 0; k < NCH; ++k) x[k] = in[k][i * inStep];
        for (int32_t k = 0; k < NCH; ++k) {
            if constexpr (M == kDirect8) {
                out[k][i * outStep] = O(t8[k][x[k]]);
            } else if constexpr (M == kDirect16) {
                out[k][i * outStep] = O(t16[k][x[k]]);
            } else {
                out[k][i * outStep] = O(t16[k][t8[k][x[k]]]);
            }
        }
    }
}

using Kernel = void (*)(const HuegridLut*, int32_t, const void* const*, ptrdiff_t, void* const*,
                        ptrdiff_t);

template <typename S, typename I, typename O>
Kernel PickGrid(int32_t inChannels, int32_t outChannels) {
    if (inChannels == 3) {
        if (outChannels == 1) return Tetra3<1, S, I, O>;
        if (outChannels == 3) return Tetra3<3, S, I, O>;
        return Tetra3<4, S, I, O>;
    }
    if (outChannels == 1) return Tetra4<1, S, I, O>;
    if (outChannels == 3) return Tetra4<3, S, I, O>;
    return Tetra4<4, S, I, O>;
}

template <typename S>
Kernel PickGridSizes(const HuegridLut* t) {
    if (t->inPixelSize == 1) {
        return t->outPixelSize == 1 ? PickGrid<S, uint8_t, uint8_t>(t->inChannels, t->outChannels)
                                    : PickGrid<S, uint8_t, uint16_t>(t->inChannels, t->outChannels);
    }
    return t->outPixelSize == 1 ? PickGrid<S, uint16_t, uint8_t>(t->inChannels, t->outChannels)
                                : PickGrid<S, uint16_t, uint16_t>(t->inChannels, t->outChannels);
}

template <bool OneInput, CurveMethod M, typename I, typename O>
Kernel PickCurveChannels(int32_t channels) {
    if (channels == 1) return Curves<1, OneInput, M, I, O>;
    if (channels == 3) return Curves<3, OneInput, M, I, O>;
    return Curves<4, OneInput, M, I, O>;
}

template <bool OneInput>
Kernel PickCurve(const HuegridLut* t) {
    const int32_t n = t->outChannels;
    if (t->outPixelSize == 1) {
        return t->inPixelSize == 1 ? PickCurveChannels<OneInput, kDirect8, uint8_t, uint8_t>(n)
                                   : PickCurveChannels<OneInput, kDirect8, uint16_t, uint8_t>(n);
    }
    if (t->inPixelSize == 1) return PickCurveChannels<OneInput, kDirect16, uint8_t, uint16_t>(n);
    if (t->sampleSize == 1) return PickCurveChannels<OneInput, kTwoStep, uint16_t, uint16_t>(n);
    return PickCurveChannels<OneInput, kDirect16, uint16_t, uint16_t>(n);
}

bool SizeOk(int32_t s) {
    return s == 1 || s == 2;
}
bool CountOk(int32_t n) {
    return n == 1 || n == 3 || n == 4;
}

// The kernels index every table they use without checks; this makes sure each one is there.
// Present tables always have the length the current sizes call for (the table code frees a
// channel's tables before it rebuilds them).
bool Ready(const HuegridLut* t) {
    if (!SizeOk(t->sampleSize) || !SizeOk(t->inPixelSize) || !SizeOk(t->outPixelSize)) return false;
    if (!CountOk(t->inChannels) || !CountOk(t->outChannels) || t->grid == nullptr) return false;
    if (t->hasGrid != 0 && t->hasGrid != 1) return false;
    if (t->shift != HgShiftFor(t->sampleSize, t->outPixelSize) ||
        t->round != HgRoundFor(t->sampleSize, t->outPixelSize)) {
        return false;
    }
    if (HgIsGridMode(t)) {
        for (int32_t c = 0; c < t->inChannels; ++c) {
            const HgInputChannel& in = t->input[c];
            if (in.gridPoints < 2 || in.frac == nullptr) return false;
            if (t->inPixelSize == 2 && in.cellOf16 == nullptr) return false;
        }
        for (int32_t k = 0; k < t->outChannels; ++k) {
            if (t->output[k].table == nullptr && (t->outPixelSize == 1 || t->sampleSize == 1))
                return false;
        }
        return true;
    }
    if (t->hasGrid == 0 && t->inChannels != t->outChannels) return false;
    const bool wantU8 = t->outPixelSize == 1 || (t->inPixelSize == 2 && t->sampleSize == 1);
    const bool wantU16 = t->outPixelSize == 2;
    for (int32_t k = 0; k < t->outChannels; ++k) {
        if ((wantU8 && t->input[k].cellOf16 == nullptr) ||
            (wantU16 && t->input[k].frac == nullptr)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t HgApplyRow(const HuegridLut* table, int32_t count, const void* const inPtrs[4],
                   int32_t inStep, void* const outPtrs[4], int32_t outStep) {
    if (table == nullptr || inPtrs == nullptr || outPtrs == nullptr || count < 0)
        return kStatusProblem;
    if (!Ready(table)) return kStatusProblem;
    const bool grid = HgIsGridMode(table);
    const int32_t reads = grid || table->hasGrid == 0 ? table->inChannels : 1;
    for (int32_t c = 0; c < reads; ++c) {
        if (inPtrs[c] == nullptr) return kStatusProblem;
    }
    for (int32_t k = 0; k < table->outChannels; ++k) {
        if (outPtrs[k] == nullptr) return kStatusProblem;
    }
    if (count == 0) return kStatusOk;

    if (grid && table->inChannels == 3 && table->kernels >= kHgKernelsAvx2 &&
        HgProcessorKernelSet() >= kHgKernelsAvx2) {
        HgTetra3Avx2(table, count, inPtrs, inStep, outPtrs, outStep);
        return kStatusOk;
    }
    Kernel kernel;
    if (grid) {
        kernel =
            table->sampleSize == 1 ? PickGridSizes<uint8_t>(table) : PickGridSizes<uint16_t>(table);
    } else if (table->hasGrid == 1) {
        kernel = PickCurve<true>(table);
    } else {
        kernel = PickCurve<false>(table);
    }
    kernel(table, count, inPtrs, inStep, outPtrs, outStep);
    return kStatusOk;
}

int32_t HgApply(const Huegrid* handle, int32_t count, const void* const inPtrs[4], int32_t inStep,
                void* const outPtrs[4], int32_t outStep) {
    if (handle == nullptr || handle->lut == nullptr) return kStatusProblem;
    return HgApplyRow(handle->lut, count, inPtrs, inStep, outPtrs, outStep);
}
