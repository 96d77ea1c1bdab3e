// The noise-removal row filter; see noise_filter.h.
//
// Each channel keeps its own window of working values. Window rows are rotated by pointer, so a
// new row costs one conversion and no copying; only the first row (which also stands for the rows
// above the image) and the rows repeated below the image are copied. Every row has a margin of R
// values on either side holding its edge value, so the inner loops never test for the border.
//
// For one output row a channel's pattern is turned into a list of window taps once, and the
// per-pixel work is a walk over that list with a branch-free threshold test followed by one
// selection of the middle value: rank counting in vector registers for the few dozen values of
// the usual neighbourhoods, quick selection beyond. The pattern grid stays the authority (the
// sparse disc is re-oriented on the grid after every row); the tap list is derived from it.
#include "engine/noise_filter.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/status.h"

namespace {

constexpr int32_t kHalf = 1 << (kNoiseFraction - 1);  // 8192: rounding of working values

int32_t Slot(uint32_t order, int32_t channel, int32_t channels) {
    return channels == 1 ? 0 : int32_t((order >> (2 * channel)) & 3);
}

int32_t NextDraw(int32_t* state) {
    *state = Mem_RandomNext(*state);
    return *state;
}

// The colour-space code fixes the channel count; other codes are not filtered.
int32_t ChannelsOfSpace(int32_t space) {
    switch (HgSpace(space)) {
        case kHgSpaceRgb:
        case kHgSpace7:
            return 3;
        case kHgSpaceCmyk:
            return 4;
        case kHgSpaceGrey:
            return 1;
        case kHgSpace8:
            return 0;
    }
    return 0;
}

bool OptionsValid(const NoiseFilterOptions* o) {
    if (!(1 <= o->channels && o->channels <= 4)) return false;
    if (ChannelsOfSpace(o->space) != o->channels) return false;
    if ((o->space == kHgSpaceRgb || o->space == kHgSpace7) &&
        o->order != int32_t(kHgOrderIdentity3))
        return false;
    if (o->space == kHgSpaceCmyk && o->order != int32_t(kHgOrderIdentity4)) return false;
    // The conversion is defined for RGB's three channels; other counts are refused, not guessed.
    if (o->lumaChroma > 1 || (o->lumaChroma == 1 && o->channels != 3)) return false;
    if (!(kNoiseModeSquare <= o->mode && o->mode <= kNoiseModeStar)) return false;
    if (o->width < 1 || o->rows < 1 || o->firstRow < 0) return false;
    if (o->pixelSize != 1 && o->pixelSize != 2) return false;
    if (o->planar != 0 && o->planar != 1) return false;
    if (o->callback == nullptr) return false;
    for (int32_t c = 0; c < o->channels; ++c) {
        const int32_t r = o->radius[c];
        if (!(0 <= r && r <= kNoiseMaxRadius)) return false;
        if (o->mode == kNoiseModeSparseDisc && r != 0 && r < 3) return false;
        // Up to 255 the working range (16-bit sample plus threshold, 14 fraction bits) still
        // fits 32 bits.
        if (!(0 <= o->threshold[c] && o->threshold[c] <= 255)) return false;
    }
    return true;
}

// The sparse random disc: the centre, then random picks, then the first remaining candidates,
// each selection ruling out the 5x5 cells around it except the corners.
void BuildSparseDisc(uint8_t* grid, int32_t r, int32_t* randomState) {
    constexpr uint8_t kNone = 0, kCandidate = 1, kSelected = 2;
    uint8_t state[kNoiseGrid * kNoiseGrid];
    const int32_t n = 2 * r + 1;
    int32_t candidates = 0;
    for (int32_t i = 0; i < kNoiseGrid; ++i) {
        for (int32_t j = 0; j < kNoiseGrid; ++j) {
            const bool in = i < n && j < n && (i - r) * (i - r) + (j - r) * (j - r) <= r * r;
            state[i * kNoiseGrid + j] = in ? kCandidate : kNone;
            candidates += in;
        }
    }
    auto select = [&](int32_t i, int32_t j) {
        state[i * kNoiseGrid + j] = kSelected;
        --candidates;
        for (int32_t di = -2; di <= 2; ++di) {
            for (int32_t dj = -2; dj <= 2; ++dj) {
                if ((di == 2 || di == -2) && (dj == 2 || dj == -2)) continue;
                const int32_t ii = i + di, jj = j + dj;
                if (ii < 0 || ii >= kNoiseGrid || jj < 0 || jj >= kNoiseGrid) continue;
                uint8_t& s = state[ii * kNoiseGrid + jj];
                if (s == kCandidate) {
                    s = kNone;
                    --candidates;
                }
            }
        }
    };

    select(r, r);
    for (int32_t pick = 1; pick <= 10000 && candidates > 0; ++pick) {
        const int32_t j = (NextDraw(randomState) >> 11) % n;
        const int32_t i = (NextDraw(randomState) >> 11) % n;
        if (state[i * kNoiseGrid + j] == kCandidate) select(i, j);
    }
    for (int32_t k = 0; k < n * kNoiseGrid && candidates > 0; ++k) {
        const int32_t i = k / kNoiseGrid, j = k % kNoiseGrid;
        if (j < n && state[k] == kCandidate) select(i, j);
    }
    for (int32_t k = 0; k < kNoiseGrid * kNoiseGrid; ++k) grid[k] = state[k] == kSelected;
}

void BuildPattern(uint8_t* grid, int32_t r, int32_t mode, int32_t* randomState) {
    Mem_Fill(grid, 0, kNoiseGrid * kNoiseGrid);
    if (r == 0) {
        grid[0] = 1;
        return;
    }
    if (mode == kNoiseModeSparseDisc) {
        BuildSparseDisc(grid, r, randomState);
        return;
    }
    const int32_t n = 2 * r + 1;
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = 0; j < n; ++j) {
            const int32_t di = i - r, dj = j - r;
            bool set = false;
            switch (mode) {
                case kNoiseModeSquare:
                    set = true;
                    break;
                case kNoiseModeDisc:
                    set = di * di + dj * dj <= r * r;
                    break;
                case kNoiseModeDiamond:
                    set = (di < 0 ? -di : di) + (dj < 0 ? -dj : dj) <= r;
                    break;
                case kNoiseModeCross:
                    set = i == r || j == r;
                    break;
                default:
                    break;  // the star walks directions instead of a grid
            }
            grid[i * kNoiseGrid + j] = set;
        }
    }
}

// A symmetry of the pattern grid as the old cell that lands on (i, j): row and column as
// a * i + b * j + c * m, m = 2r.
using GridMap = int32_t[2][3];

// The grid after the map.
void ApplyMap(uint8_t* grid, int32_t r, const GridMap& f) {
    const int32_t m = 2 * r;
    uint8_t old[kNoiseGrid * kNoiseGrid];
    Mem_Copy(old, grid, sizeof old);
    for (int32_t i = 0; i <= m; ++i) {
        for (int32_t j = 0; j <= m; ++j) {
            const int32_t si = f[0][0] * i + f[0][1] * j + f[0][2] * m;
            const int32_t sj = f[1][0] * i + f[1][1] * j + f[1][2] * m;
            grid[i * kNoiseGrid + j] = old[si * kNoiseGrid + sj];
        }
    }
}

// The map of symmetry k (0 to 6).
void SymmetryMap(int32_t k, GridMap* map) {
    static constexpr int8_t kFrom[7][2][3] = {
        {{0, 1, 0}, {1, 0, 0}},    // transpose
        {{0, -1, 1}, {1, 0, 0}},   // quarter turn clockwise
        {{1, 0, 0}, {0, -1, 1}},   // mirror left-right
        {{0, 1, 0}, {-1, 0, 1}},   // quarter turn counter-clockwise
        {{-1, 0, 1}, {0, 1, 0}},   // mirror top-bottom
        {{0, -1, 1}, {-1, 0, 1}},  // transpose about the other diagonal
        {{-1, 0, 1}, {0, -1, 1}},  // half turn
    };
    for (int32_t row = 0; row < 2; ++row)
        for (int32_t col = 0; col < 3; ++col) (*map)[row][col] = kFrom[k][row][col];
}

// Replaces the pattern's (2r + 1)-square by one of the seven non-identity symmetries of the
// square, the centre fixed.
void ApplySymmetry(uint8_t* grid, int32_t r, int32_t k) {
    GridMap f;
    SymmetryMap(k, &f);
    ApplyMap(grid, r, f);
}

// The map that applying first, then next gives: the old cell of the old cell.
void AfterMap(GridMap* first, const GridMap& next) {
    GridMap both;
    for (int32_t row = 0; row < 2; ++row) {
        for (int32_t col = 0; col < 3; ++col) {
            both[row][col] = (*first)[row][0] * next[0][col] + (*first)[row][1] * next[1][col] +
                             (col == 2 ? (*first)[row][2] : 0);
        }
    }
    for (int32_t row = 0; row < 2; ++row)
        for (int32_t col = 0; col < 3; ++col) (*first)[row][col] = both[row][col];
}

// The sparse discs as a filter that began at the image's top would have them after rows rows:
// the draws replayed, the turns of each channel composed and applied once.
void TurnForRows(NoiseFilter* f, int32_t rows) {
    GridMap turned[4];
    for (GridMap& t : turned) {
        for (int32_t row = 0; row < 2; ++row)
            for (int32_t col = 0; col < 3; ++col) t[row][col] = row == col ? 1 : 0;
    }
    for (int32_t n = 0; n < rows; ++n) {
        for (int32_t c = 0; c < f->channels; ++c) {
            if (f->radius[c] == 0) continue;
            GridMap next;
            SymmetryMap(NextDraw(&f->randomState) % 7, &next);
            AfterMap(&turned[c], next);
        }
    }
    for (int32_t c = 0; c < f->channels; ++c) {
        if (f->radius[c] != 0) ApplyMap(f->pattern[c], f->radius[c], turned[c]);
    }
}

void BuildTaps(NoiseFilter* f, int32_t c) {
    const int32_t r = f->radius[c];
    int32_t count = 0;
    if (r > 0 && f->mode != kNoiseModeStar) {
        const int32_t n = 2 * r + 1;
        for (int32_t i = 0; i < n; ++i) {
            for (int32_t j = 0; j < n; ++j) {
                if (f->pattern[c][i * kNoiseGrid + j] == 0) continue;
                f->taps[c][count].row = f->maxRadius - r + i;
                f->taps[c][count].column = j - r;
                ++count;
            }
        }
    }
    f->tapCount[c] = count;
}

// Returns the value at position n / 2 of v[0 .. n-1] in ascending order (the upper middle for
// even n), reordering v. Hoare-style selection: average linear time, no memory.
int32_t SelectMiddle(int32_t* v, int32_t n) {
    const int32_t k = n / 2;
    int32_t lo = 0, hi = n - 1;
    while (lo < hi) {
        const int32_t pivot = v[k];
        int32_t i = lo, j = hi;
        do {
            while (v[i] < pivot) ++i;
            while (pivot < v[j]) --j;
            if (i <= j) {
                const int32_t t = v[i];
                v[i] = v[j];
                v[j] = t;
                ++i;
                --j;
            }
        } while (i <= j);
        if (j < k) lo = i;
        if (k < i) hi = j;
    }
    return v[k];
}

// The same value for small sets, found by counting ranks: the value with at most n / 2 smaller
// values and more than n / 2 smaller-or-equal ones. Quadratic, but free of data-dependent
// branches in the inner loop, four values to a vector compare; for the few dozen values of the
// usual neighbourhoods that is several times faster than partitioning, which mispredicts on
// about every other comparison. v must have room up to the next multiple of 4.
constexpr int32_t kRankLimit = 48;

#if defined(__SSE2__)
// Sums of the four lanes of a, b, c and d, in that order.
inline __m128i LaneSums(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i ab = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
    const __m128i cd = _mm_add_epi32(_mm_unpacklo_epi32(c, d), _mm_unpackhi_epi32(c, d));
    return _mm_add_epi32(_mm_unpacklo_epi64(ab, cd), _mm_unpackhi_epi64(ab, cd));
}
#endif

int32_t SelectMiddleByRank(int32_t* v, int32_t n) {
    const int32_t k = n / 2;
    const int32_t padded = (n + 3) & ~3;
    // Padding lies above every working value: as a value it only counts as larger, and as a
    // candidate it has all n values below it, so it is never taken.
    for (int32_t j = n; j < padded; ++j) v[j] = INT32_MAX;
#if defined(__SSE2__)
    // Four candidates at a time share the loads; their counts are gathered into one vector.
    const __m128i kk = _mm_set1_epi32(k), room = _mm_set1_epi32(padded - k);
    for (int32_t i = 0; i < padded; i += 4) {
        const __m128i x0 = _mm_set1_epi32(v[i]), x1 = _mm_set1_epi32(v[i + 1]);
        const __m128i x2 = _mm_set1_epi32(v[i + 2]), x3 = _mm_set1_epi32(v[i + 3]);
        __m128i l0 = _mm_setzero_si128(), l1 = l0, l2 = l0, l3 = l0;
        __m128i m0 = l0, m1 = l0, m2 = l0, m3 = l0;
        for (int32_t j = 0; j < padded; j += 4) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + j));
            l0 = _mm_sub_epi32(l0, _mm_cmplt_epi32(a, x0));
            m0 = _mm_sub_epi32(m0, _mm_cmpgt_epi32(a, x0));
            l1 = _mm_sub_epi32(l1, _mm_cmplt_epi32(a, x1));
            m1 = _mm_sub_epi32(m1, _mm_cmpgt_epi32(a, x1));
            l2 = _mm_sub_epi32(l2, _mm_cmplt_epi32(a, x2));
            m2 = _mm_sub_epi32(m2, _mm_cmpgt_epi32(a, x2));
            l3 = _mm_sub_epi32(l3, _mm_cmplt_epi32(a, x3));
            m3 = _mm_sub_epi32(m3, _mm_cmpgt_epi32(a, x3));
        }
        const __m128i less = LaneSums(l0, l1, l2, l3), more = LaneSums(m0, m1, m2, m3);
        // less <= k and more < padded - k: the candidate's value has the middle rank.
        const __m128i hit =
            _mm_andnot_si128(_mm_cmpgt_epi32(less, kk), _mm_cmplt_epi32(more, room));
        const int mask = _mm_movemask_ps(_mm_castsi128_ps(hit));
        if (mask != 0) return v[i + __builtin_ctz(unsigned(mask))];
    }
#else
    for (int32_t i = 0; i < n; ++i) {
        int32_t less = 0, more = 0;
        for (int32_t j = 0; j < padded; ++j) {
            less += v[j] < v[i];
            more += v[j] > v[i];
        }
        if (less <= k && k < padded - more) return v[i];
    }
#endif
    return v[k];  // not reached: some value always has the middle rank
}

int32_t Median(int32_t* v, int32_t n) {
    if (n == 1) return v[0];
    if (n == 2) return int32_t((int64_t(v[0]) + v[1]) >> 1);
    return n <= kRankLimit ? SelectMiddleByRank(v, n) : SelectMiddle(v, n);
}

// Filters channel c of the middle window row into out[0 .. width-1].
void FinishChannel(NoiseFilter* f, int32_t c, int32_t* out) {
    const int32_t R = f->maxRadius;
    const int32_t r = f->radius[c];
    const int32_t* mid = f->windowRows[c][R];
    const int32_t width = f->width;
    if (r == 0) {
        Mem_Copy(out, mid, size_t(width) * sizeof(int32_t));
        return;
    }
    const int32_t thr = f->threshold[c];
    // v lies within C - thr .. C + thr exactly when (v - lo) taken modulo 2^32 is at most 2 thr:
    // values and thresholds of one channel are less than 2^31 apart, so nothing wraps wrongly.
    const uint32_t span = uint32_t(thr) * 2u;
    int32_t* scratch = f->scratch;

    if (f->mode == kNoiseModeStar) {
        static constexpr int32_t kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
        static constexpr int32_t kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};
        for (int32_t x = 0; x < width; ++x) {
            const int32_t centre = mid[x];
            const uint32_t lo = uint32_t(centre - thr);
            int32_t n = 0;
            scratch[n++] = centre;
            for (int32_t d = 0; d < 8; ++d) {
                for (int32_t s = 1; s <= r; ++s) {
                    const int32_t v = f->windowRows[c][R + s * kDy[d]][x + s * kDx[d]];
                    if (uint32_t(v) - lo > span) break;
                    scratch[n++] = v;
                }
            }
            out[x] = Median(scratch, n);
        }
        return;
    }

    const int32_t count = f->tapCount[c];
    const int32_t* base[kNoiseGrid * kNoiseGrid];
    for (int32_t k = 0; k < count; ++k) {
        base[k] = f->windowRows[c][f->taps[c][k].row] + f->taps[c][k].column;
    }
    for (int32_t x = 0; x < width; ++x) {
        const uint32_t lo = uint32_t(mid[x] - thr);
        int32_t n = 0;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t v = base[k][x];
            scratch[n] = v;
            n += uint32_t(v) - lo <= span;
        }
        out[x] = Median(scratch, n);
    }
}

// The inverse of the luma-chroma matrix in exact integers: the adjugate of the forward matrix
// over its determinant, both halved. Each output is rounded once, from the full sum, so that a
// pixel whose luma and chroma were left alone comes back exactly as it went in. (Rounding the
// terms one by one instead, as a shorter fixed-point form would, moves about four in five 8-bit
// colours by one to three codes even where nothing was smoothed.)
constexpr int64_t kInverseR[3] = {34086005, -4769, 38851350};
constexpr int64_t kInverseG[3] = {34086005, -13423265, -19803370};
constexpr int64_t kInverseB[3] = {34086005, 69119327, 62230};
constexpr int64_t kInverseDivisor = 558465105920;

// Working values stay below 2^31 and coefficients below 2^27, so |sum| < 2^60 and the doubled
// numerator cannot overflow; the result is floor(sum / divisor + 1/2).
int32_t InverseRow(const int64_t* k, int64_t y, int64_t u, int64_t v) {
    const int64_t n = 2 * (k[0] * y + k[1] * u + k[2] * v) + kInverseDivisor;
    const int64_t d = 2 * kInverseDivisor;
    const int64_t q = n >= 0 ? n / d : -((-n + d - 1) / d);
    return q < INT32_MIN ? INT32_MIN : (q > INT32_MAX ? INT32_MAX : int32_t(q));
}

template <typename T>
void WriteOutput(NoiseFilter* f, T* data) {
    const int32_t width = f->width, channels = f->channels;
    const int32_t hi = f->pixelSize == 2 ? 65535 : 255;
    const ptrdiff_t plane = f->output.planar ? width : 1;
    const ptrdiff_t step = f->output.planar ? 1 : channels;
    const int32_t* res = f->results;
    if (f->lumaChroma) {
        const int32_t* ys = res;
        const int32_t* us = res + width;
        const int32_t* vs = res + 2 * width;
        T* r = data + Slot(f->output.order, 0, 3) * plane;
        T* g = data + Slot(f->output.order, 1, 3) * plane;
        T* b = data + Slot(f->output.order, 2, 3) * plane;
        for (int32_t x = 0; x < width; ++x) {
            const int64_t y = ys[x], u = us[x], v = vs[x];
            r[x * step] = T(Num_Clamp(InverseRow(kInverseR, y, u, v), 0, hi));
            g[x * step] = T(Num_Clamp(InverseRow(kInverseG, y, u, v), 0, hi));
            b[x * step] = T(Num_Clamp(InverseRow(kInverseB, y, u, v), 0, hi));
        }
        return;
    }
    for (int32_t c = 0; c < channels; ++c) {
        T* d = data + Slot(f->output.order, c, channels) * plane;
        const int32_t* s = res + ptrdiff_t(c) * width;
        for (int32_t x = 0; x < width; ++x)
            d[x * step] = T(Num_Clamp((s[x] + kHalf) >> kNoiseFraction, 0, hi));
    }
}

// Finishes the middle row of the window and hands it on.
int32_t Deliver(NoiseFilter* f) {
    for (int32_t c = 0; c < f->channels; ++c)
        FinishChannel(f, c, f->results + ptrdiff_t(c) * f->width);
    if (f->pixelSize == 2) {
        WriteOutput(f, f->output.data16);
    } else {
        WriteOutput(f, f->output.data8);
    }
    const int32_t status = f->callback(&f->output, f->callbackContext);
    if (status != kStatusOk) f->status = status;
    return status;
}

// The oldest row's storage becomes the newest row.
void Rotate(NoiseFilter* f) {
    const int32_t last = f->window - 1;
    for (int32_t c = 0; c < f->channels; ++c) {
        int32_t** rows = f->windowRows[c];
        int32_t* oldest = rows[0];
        for (int32_t k = 0; k < last; ++k) rows[k] = rows[k + 1];
        rows[last] = oldest;
    }
}

// Copies window row `from` (margins included) over window row `to` in every channel.
void CopyWindowRow(NoiseFilter* f, int32_t from, int32_t to) {
    const int32_t R = f->maxRadius;
    const size_t bytes = size_t(f->width + 2 * R) * sizeof(int32_t);
    for (int32_t c = 0; c < f->channels; ++c) {
        Mem_Copy(f->windowRows[c][to] - R, f->windowRows[c][from] - R, bytes);
    }
}

template <typename T>
void ConvertInput(NoiseFilter* f, const HgPixelBuffer* row, const T* data) {
    const int32_t width = f->width, channels = f->channels, newest = f->window - 1;
    const ptrdiff_t plane = row->planar ? width : 1;
    const ptrdiff_t step = row->planar ? 1 : channels;
    if (f->lumaChroma) {
        const T* r = data + Slot(row->order, 0, 3) * plane;
        const T* g = data + Slot(row->order, 1, 3) * plane;
        const T* b = data + Slot(row->order, 2, 3) * plane;
        int32_t* ys = f->windowRows[0][newest];
        int32_t* us = f->windowRows[1][newest];
        int32_t* vs = f->windowRows[2][newest];
        for (int32_t x = 0; x < width; ++x) {
            const int32_t rv = r[x * step], gv = g[x * step], bv = b[x * step];
            ys[x] = 4899 * rv + 9617 * gv + 1868 * bv;
            us[x] = 7160 * bv - 4735 * gv - 2425 * rv;
            vs[x] = 10076 * rv - 8438 * gv - 1638 * bv;
        }
    } else {
        for (int32_t c = 0; c < channels; ++c) {
            const T* s = data + Slot(row->order, c, channels) * plane;
            int32_t* d = f->windowRows[c][newest];
            for (int32_t x = 0; x < width; ++x) d[x] = int32_t(s[x * step]) << kNoiseFraction;
        }
    }
    const int32_t R = f->maxRadius;
    for (int32_t c = 0; c < channels; ++c) {
        int32_t* d = f->windowRows[c][newest];
        for (int32_t k = 1; k <= R; ++k) {
            d[-k] = d[0];
            d[width - 1 + k] = d[width - 1];
        }
    }
}

bool RowValid(const NoiseFilter* f, const HgPixelBuffer* row) {
    if (row->width != uint32_t(f->width) || row->channels != uint32_t(f->channels)) return false;
    if (row->space != uint32_t(f->space)) return false;
    if (!HgOrderValid(row->order, row->channels)) return false;
    return f->pixelSize == 2 ? row->data16 != nullptr : row->data8 != nullptr;
}

// Room for count values of size bytes, or null when the byte count cannot be held.
void* AllocArray(uint64_t count, uint64_t size) {
    const uint64_t bytes = count * size;
    if (bytes > 0xFFFFFFFFull - kMemOverhead) return nullptr;
    return Mem_Alloc(uint32_t(bytes));
}

}  // namespace

int32_t NoiseFilterCreate(NoiseFilter** out, const NoiseFilterOptions* o) {
    if (out == nullptr) return kStatusProblem;
    *out = nullptr;
    if (o == nullptr || !OptionsValid(o)) return kStatusProblem;

    auto* f = static_cast<NoiseFilter*>(Mem_Alloc(sizeof(NoiseFilter)));
    if (f == nullptr) return kStatusNoMemory;
    Mem_Fill(f, 0, sizeof(NoiseFilter));

    int32_t R = 0;
    for (int32_t c = 0; c < o->channels; ++c) R = o->radius[c] > R ? o->radius[c] : R;
    f->maxRadius = R;
    f->window = 2 * R + 1;
    f->width = o->width;
    f->rows = o->rows;
    f->space = o->space;
    f->lumaChroma = o->lumaChroma;
    f->channels = o->channels;
    f->mode = o->mode;
    f->pixelSize = o->pixelSize;
    for (int32_t c = 0; c < o->channels; ++c) {
        f->radius[c] = o->radius[c];
        f->threshold[c] = (o->threshold[c] * (o->pixelSize == 2 ? 257 : 1)) << kNoiseFraction;
    }
    f->callback = o->callback;
    f->callbackContext = o->callbackContext;
    f->output.width = uint32_t(o->width);
    f->output.channels = uint32_t(o->channels);
    f->output.space = uint32_t(o->space);
    f->output.planar = uint32_t(o->planar);
    f->output.order = uint32_t(o->order);

    uint32_t tapRoom = 0;
    for (int32_t c = 0; c < o->channels; ++c)
        tapRoom += uint32_t((2 * f->radius[c] + 1) * (2 * f->radius[c] + 1));
    f->tapBlock = static_cast<NoiseTap*>(AllocArray(tapRoom, sizeof(NoiseTap)));
    if (f->tapBlock == nullptr) {
        NoiseFilterFree(f);
        return kStatusNoMemory;
    }
    for (int32_t c = 0, at = 0; c < o->channels; ++c) {
        f->taps[c] = f->tapBlock + at;
        at += (2 * f->radius[c] + 1) * (2 * f->radius[c] + 1);
    }

    f->randomState = kNoiseSeed;
    for (int32_t c = 0; c < o->channels; ++c)
        BuildPattern(f->pattern[c], f->radius[c], f->mode, &f->randomState);
    if (f->mode == kNoiseModeSparseDisc && o->firstRow > 0) TurnForRows(f, o->firstRow);
    for (int32_t c = 0; c < o->channels; ++c) BuildTaps(f, c);

    const uint64_t samples = uint64_t(o->width) * uint64_t(o->channels);
    const uint64_t rowValues = uint64_t(o->width) + 2u * uint64_t(R);
    void* outData = AllocArray(samples, uint64_t(o->pixelSize));
    if (o->pixelSize == 2) {
        f->output.data16 = static_cast<uint16_t*>(outData);
    } else {
        f->output.data8 = static_cast<uint8_t*>(outData);
    }
    f->results = static_cast<int32_t*>(AllocArray(samples, sizeof(int32_t)));
    bool ok = outData != nullptr && f->results != nullptr;
    for (int32_t c = 0; ok && c < o->channels; ++c) {
        f->windowBlock[c] =
            static_cast<int32_t*>(AllocArray(uint64_t(f->window) * rowValues, sizeof(int32_t)));
        ok = f->windowBlock[c] != nullptr;
        for (int32_t k = 0; ok && k < f->window; ++k) {
            f->windowRows[c][k] = f->windowBlock[c] + ptrdiff_t(k) * ptrdiff_t(rowValues) + R;
        }
    }
    if (!ok) {
        NoiseFilterFree(f);
        return kStatusNoMemory;
    }
    *out = f;
    return kStatusOk;
}

int32_t NoiseFilterRun(NoiseFilter* f, const HgPixelBuffer* row) {
    if (f == nullptr || row == nullptr) return kStatusProblem;
    if (f->status != kStatusOk) return f->status;
    if (f->rowsReceived >= f->rows || !RowValid(f, row)) return kStatusProblem;

    f->output.tag = row->tag;
    Rotate(f);
    if (f->pixelSize == 2) {
        ConvertInput(f, row, row->data16);
    } else {
        ConvertInput(f, row, row->data8);
    }
    const int32_t R = f->maxRadius, newest = f->window - 1;
    if (f->rowsReceived == 0) {
        // The rows above the image repeat its first row.
        for (int32_t k = 0; k < newest; ++k) CopyWindowRow(f, newest, k);
    }
    if (f->rowsReceived >= R) {
        const int32_t status = Deliver(f);
        if (status != kStatusOk) return status;
    }
    if (f->rowsReceived == f->rows - 1) {
        // The rows below the image repeat its last row. The window moves on R more times; the
        // middle row reaches the image's remaining rows in the last min(R, rows) of those moves
        // (an image shorter than R first has to bring its first row to the middle).
        for (int32_t t = 1; t <= R; ++t) {
            Rotate(f);
            CopyWindowRow(f, newest - 1, newest);
            if (f->rows - 1 + t - R >= 0) {
                const int32_t status = Deliver(f);
                if (status != kStatusOk) return status;
            }
        }
    }
    if (f->mode == kNoiseModeSparseDisc) {
        for (int32_t c = 0; c < f->channels; ++c) {
            if (f->radius[c] == 0) continue;
            ApplySymmetry(f->pattern[c], f->radius[c], NextDraw(&f->randomState) % 7);
            BuildTaps(f, c);
        }
    }
    f->rowsReceived += 1;
    return kStatusOk;
}

int32_t NoiseFilterFree(NoiseFilter* f) {
    if (f == nullptr) return kStatusOk;
    for (int32_t c = 0; c < 4; ++c) Mem_Free(f->windowBlock[c]);
    Mem_Free(f->results);
    Mem_Free(f->tapBlock);
    Mem_Free(f->output.data8);
    Mem_Free(f->output.data16);
    Mem_Free(f);
    return kStatusOk;
}
