// The AVX2 grid kernel; see huegrid_kernels_avx2.h.
#include "engine/huegrid_kernels_avx2.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)

#include <immintrin.h>

#define HG_AVX2 __attribute__((target("avx2")))

namespace {

constexpr int32_t kBlock = 64;  // pixels per block; the arrays below stay in the L1 cache

// The cell offset of a 16-bit input code, through its cell index. (8-bit codes read cellFrac8.)
struct InputAxis16 {
    const uint32_t* cellOffset;
    const uint8_t* cellOf16;

    explicit InputAxis16(const HgInputChannel& in)
        : cellOffset(in.cellOffset), cellOf16(in.cellOf16) {}
    uint32_t Offset(uint32_t x) const { return cellOffset[cellOf16[x]]; }
};

HG_AVX2 inline __m256i Load(const uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
HG_AVX2 inline void Store(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

template <int NOUT, typename S, typename I, typename O>
struct Tetra3 {
    static constexpr int32_t kShift = HgShiftFor(int32_t(sizeof(S)), int32_t(sizeof(O)));
    static constexpr int32_t kRound = HgRoundFor(int32_t(sizeof(S)), int32_t(sizeof(O)));
    // 16-bit samples of three or four channels take a second word per node: channels 2 and 3.
    static constexpr bool kHighWord = sizeof(S) == 2 && NOUT > 2;

    struct Arrays {
        // Fractions per input channel; with 8-bit input, the cellFrac8 words until the vertex
        // order has taken them apart.
        alignas(32) uint32_t f[3][kBlock];
        alignas(32) uint32_t base[kBlock];         // grid element of the cell's first corner
        alignas(32) uint32_t w[3][kBlock];         // largest, middle and smallest fraction
        alignas(32) uint32_t vertex[2][kBlock];    // elements of the second and third corner
        alignas(32) uint32_t lo[4][kBlock];        // node words per corner
        alignas(32) uint32_t hi[4][kBlock];        // second node words (kHighWord)
        alignas(32) uint32_t value[NOUT][kBlock];  // output table indexes
    };

    // Channel K of the corner's node words, zero extended.
    template <int K>
    HG_AVX2 static __m256i Sample(const Arrays& a, int32_t corner, int32_t j) {
        if constexpr (sizeof(S) == 1) {
            // One byte shuffle puts byte K of each word in its low byte and zeros the rest.
            const __m256i w = Load(a.lo[corner] + j);
            const char z = char(0x80), k0 = char(K), k1 = char(K + 4), k2 = char(K + 8),
                       k3 = char(K + 12);
            return _mm256_shuffle_epi8(
                w, _mm256_setr_epi8(k0, z, z, z, k1, z, z, z, k2, z, z, z, k3, z, z, z, k0, z, z, z,
                                    k1, z, z, z, k2, z, z, z, k3, z, z, z));
        } else {
            const __m256i w = Load((K < 2 ? a.lo[corner] : a.hi[corner]) + j);
            return _mm256_and_si256(_mm256_srli_epi32(w, 16 * (K & 1)), _mm256_set1_epi32(0xFFFF));
        }
    }

    HG_AVX2 static void ReadNode(Arrays& a, int32_t corner, int32_t j, const S* node) {
        if constexpr (kHighWord) {
            uint64_t word;
            std::memcpy(&word, node, sizeof(word));
            a.lo[corner][j] = uint32_t(word);
            a.hi[corner][j] = uint32_t(word >> 32);
        } else {
            std::memcpy(&a.lo[corner][j], node, sizeof(uint32_t));
        }
    }

    // 16-bit output without a table is the full range: the value is the code.
    static O Code(const O* table, uint32_t value) {
        if constexpr (sizeof(O) == 2) {
            if (table == nullptr) return O(value);
        }
        return table[value];
    }

    // Output channel K of eight pixels, into value[K].
    template <int K>
    HG_AVX2 static void Interpolate(Arrays& a, int32_t j) {
        const __m256i c0 = Sample<K>(a, 0, j), c1 = Sample<K>(a, 1, j);
        const __m256i c2 = Sample<K>(a, 2, j), c3 = Sample<K>(a, 3, j);
        __m256i sum = _mm256_add_epi32(_mm256_slli_epi32(c0, 15), _mm256_set1_epi32(kRound));
        sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(Load(a.w[0] + j), _mm256_sub_epi32(c1, c0)));
        sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(Load(a.w[1] + j), _mm256_sub_epi32(c2, c1)));
        sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(Load(a.w[2] + j), _mm256_sub_epi32(c3, c2)));
        Store(a.value[K] + j, _mm256_srli_epi32(sum, kShift));
    }

    HG_AVX2 static void Run(const HuegridLut* t, int32_t count, const void* const inPtrs[4],
                            ptrdiff_t inStep, void* const outPtrs[4], ptrdiff_t outStep) {
        const S* grid = static_cast<const S*>(t->grid);
        const uint32_t stride[3] = {t->input[0].stride, t->input[1].stride, t->input[2].stride};
        const uint32_t diagonal = stride[0] + stride[1] + stride[2];
        const I* in[3];
        for (int32_t c = 0; c < 3; ++c) in[c] = static_cast<const I*>(inPtrs[c]);
        const InputAxis16 a0(t->input[0]), a1(t->input[1]), a2(t->input[2]);
        const uint16_t* frac0 = t->input[0].frac;
        const uint16_t* frac1 = t->input[1].frac;
        const uint16_t* frac2 = t->input[2].frac;
        const uint32_t* cellFrac0 = t->input[0].cellFrac8;
        const uint32_t* cellFrac1 = t->input[1].cellFrac8;
        const uint32_t* cellFrac2 = t->input[2].cellFrac8;
        O* out[NOUT];
        const O* table[NOUT];
        for (int32_t k = 0; k < NOUT; ++k) {
            out[k] = static_cast<O*>(outPtrs[k]);
            table[k] = static_cast<const O*>(t->output[k].table);
        }
        // Lanes past the end of a short last block are computed but never stored; the input and
        // corner passes fill them with zeros so that nothing reads memory never written.
        Arrays a;

        for (int32_t i = 0; i < count; i += kBlock) {
            const int32_t n = count - i < kBlock ? count - i : kBlock;
            const int32_t lanes = (n + 7) & ~7;

            // Input codes: fractions and the cell's first corner. Written out per channel:
            // the compiler does not unroll a loop over the channels at this optimisation level.
            const I* p0 = in[0] + ptrdiff_t(i) * inStep;
            const I* p1 = in[1] + ptrdiff_t(i) * inStep;
            const I* p2 = in[2] + ptrdiff_t(i) * inStep;
            if constexpr (sizeof(I) == 1) {
#pragma GCC unroll 4
                for (int32_t j = 0; j < n; ++j) {
                    const ptrdiff_t at = ptrdiff_t(j) * inStep;
                    a.f[0][j] = cellFrac0[p0[at]];
                    a.f[1][j] = cellFrac1[p1[at]];
                    a.f[2][j] = cellFrac2[p2[at]];
                }
            } else {
#pragma GCC unroll 4
                for (int32_t j = 0; j < n; ++j) {
                    const ptrdiff_t at = ptrdiff_t(j) * inStep;
                    const uint32_t x0 = p0[at], x1 = p1[at], x2 = p2[at];
                    a.f[0][j] = frac0[x0];
                    a.f[1][j] = frac1[x1];
                    a.f[2][j] = frac2[x2];
                    a.base[j] = a0.Offset(x0) + a1.Offset(x1) + a2.Offset(x2);
                }
            }
            for (int32_t j = n; j < lanes; ++j) {
                a.f[0][j] = a.f[1][j] = a.f[2][j] = 0;
                a.base[j] = 0;
            }

            // The plain kernel's choice of the largest (first of equals) and the smallest (last
            // of equals) fraction, step by step, and the corners it leads to.
            const __m256i s0 = _mm256_set1_epi32(int(stride[0]));
            const __m256i s1 = _mm256_set1_epi32(int(stride[1]));
            const __m256i s2 = _mm256_set1_epi32(int(stride[2]));
            const __m256i far = _mm256_set1_epi32(int(diagonal));
            const __m256i fracBits = _mm256_set1_epi32(0xFFFF);
            for (int32_t j = 0; j < lanes; j += 8) {
                __m256i f0 = Load(a.f[0] + j), f1 = Load(a.f[1] + j), f2 = Load(a.f[2] + j);
                __m256i base;
                if constexpr (sizeof(I) == 1) {
                    // cellOffset is the cell index times the stride, in 32 bits.
                    base = _mm256_mullo_epi32(_mm256_srli_epi32(f0, 16), s0);
                    base =
                        _mm256_add_epi32(base, _mm256_mullo_epi32(_mm256_srli_epi32(f1, 16), s1));
                    base =
                        _mm256_add_epi32(base, _mm256_mullo_epi32(_mm256_srli_epi32(f2, 16), s2));
                    Store(a.base + j, base);
                    f0 = _mm256_and_si256(f0, fracBits);
                    f1 = _mm256_and_si256(f1, fracBits);
                    f2 = _mm256_and_si256(f2, fracBits);
                } else {
                    base = Load(a.base + j);
                }
                __m256i m = _mm256_cmpgt_epi32(f1, f0);
                __m256i fa = _mm256_max_epi32(f0, f1);
                __m256i sa = _mm256_blendv_epi8(s0, s1, m);
                m = _mm256_cmpgt_epi32(f2, fa);
                sa = _mm256_blendv_epi8(sa, s2, m);
                fa = _mm256_max_epi32(fa, f2);
                m = _mm256_cmpgt_epi32(f2, f1);
                __m256i fc = _mm256_min_epi32(f2, f1);
                __m256i sc = _mm256_blendv_epi8(s2, s1, m);
                m = _mm256_cmpgt_epi32(fc, f0);
                sc = _mm256_blendv_epi8(sc, s0, m);
                fc = _mm256_min_epi32(fc, f0);
                const __m256i all = _mm256_add_epi32(_mm256_add_epi32(f0, f1), f2);
                const __m256i fb = _mm256_sub_epi32(all, _mm256_add_epi32(fa, fc));
                Store(a.w[0] + j, fa);
                Store(a.w[1] + j, fb);
                Store(a.w[2] + j, fc);
                Store(a.vertex[0] + j, _mm256_add_epi32(base, sa));
                Store(a.vertex[1] + j, _mm256_sub_epi32(_mm256_add_epi32(base, far), sc));
            }

            // The four corners, each node read as one word (or two).
#pragma GCC unroll 4
            for (int32_t j = 0; j < n; ++j) {
                const S* first = grid + a.base[j];
                ReadNode(a, 0, j, first);
                ReadNode(a, 1, j, grid + a.vertex[0][j]);
                ReadNode(a, 2, j, grid + a.vertex[1][j]);
                ReadNode(a, 3, j, first + diagonal);
            }
            for (int32_t j = n; j < lanes; ++j) {
                for (int32_t corner = 0; corner < 4; ++corner)
                    a.lo[corner][j] = a.hi[corner][j] = 0;
            }

            for (int32_t j = 0; j < lanes; j += 8) {
                Interpolate<0>(a, j);
                if constexpr (NOUT > 1) {
                    Interpolate<1>(a, j);
                    Interpolate<2>(a, j);
                }
                if constexpr (NOUT > 3) Interpolate<3>(a, j);
            }

            // Every input of the block is read by now, so writing in place is safe.
            const ptrdiff_t to = ptrdiff_t(i) * outStep;
#pragma GCC unroll 4
            for (int32_t j = 0; j < n; ++j) {
                const ptrdiff_t at = to + ptrdiff_t(j) * outStep;
                out[0][at] = Code(table[0], a.value[0][j]);
                if constexpr (NOUT > 1) {
                    out[1][at] = Code(table[1], a.value[1][j]);
                    out[2][at] = Code(table[2], a.value[2][j]);
                }
                if constexpr (NOUT > 3) out[3][at] = Code(table[3], a.value[3][j]);
            }
        }
    }
};

using Kernel = void (*)(const HuegridLut*, int32_t, const void* const*, ptrdiff_t, void* const*,
                        ptrdiff_t);

template <typename S, typename I, typename O>
Kernel PickChannels(int32_t outChannels) {
    if (outChannels == 1) return Tetra3<1, S, I, O>::Run;
    if (outChannels == 3) return Tetra3<3, S, I, O>::Run;
    return Tetra3<4, S, I, O>::Run;
}

template <typename S>
Kernel PickSizes(const HuegridLut* t) {
    const int32_t n = t->outChannels;
    if (t->inPixelSize == 1) {
        return t->outPixelSize == 1 ? PickChannels<S, uint8_t, uint8_t>(n)
                                    : PickChannels<S, uint8_t, uint16_t>(n);
    }
    return t->outPixelSize == 1 ? PickChannels<S, uint16_t, uint8_t>(n)
                                : PickChannels<S, uint16_t, uint16_t>(n);
}

}  // namespace

void HgTetra3Avx2(const HuegridLut* t, int32_t count, const void* const inPtrs[4], ptrdiff_t inStep,
                  void* const outPtrs[4], ptrdiff_t outStep) {
    const Kernel run = t->sampleSize == 1 ? PickSizes<uint8_t>(t) : PickSizes<uint16_t>(t);
    run(t, count, inPtrs, inStep, outPtrs, outStep);
}

#else

void HgTetra3Avx2(const HuegridLut*, int32_t, const void* const*, ptrdiff_t, void* const*,
                  ptrdiff_t) {}

#endif
