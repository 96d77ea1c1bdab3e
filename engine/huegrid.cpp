// The Huegrid table: creation, node positions, samples, ranges, pixel sizes and the tables
// derived from them; see huegrid.h.
//
// Every derived table is rebuilt from scratch by one routine per kind of table. Each routine
// first frees what the channel had, so a table that could not be rebuilt (no nodes yet, no
// memory) is absent rather than sized for another pixel size: the kernels check for absence
// and never index a table of the wrong length.
#include "engine/huegrid.h"

#include "platform/mem.h"
#include "platform/numeric.h"

namespace {

// Samples of the grid array are limited so that every element offset fits a signed 32-bit
// value and the stream can read the array with 32-bit counts.
constexpr uint64_t kMaxGridBytes = 0x7FFFFFFFull;

// Rounds num / den to the nearest integer, halves away from zero (den > 0).
int64_t RoundDiv(int64_t num, int64_t den) {
    return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

// A code of the given size on the 16-bit working scale: 8-bit codes are expanded by
// (v * 65535 + 127) / 255, which is v * 257 for every code 0..255.
int64_t To16(uint32_t v, int32_t size) {
    if (size == 2) return Num_Clamp<int64_t>(v, 0, 65535);
    return Num_Clamp<int64_t>((int64_t(v) * 65535 + 127) / 255, 0, 65535);
}

// The position of input code x (of an input pixel of the given size) inside the channel range
// lo16..hi16, on the 16-bit scale. lo maps to u = 0, hi to u = 65535; a reversed range runs
// backwards. 64-bit arithmetic keeps every product exact.
int64_t MapInput(int64_t x, int32_t pixelSize, int64_t lo16, int64_t hi16) {
    int64_t u = pixelSize == 2 ? x : x * 257;  // round(x * 65535 / 255) is exact here
    return Num_Clamp<int64_t>(lo16 + RoundDiv((hi16 - lo16) * u, 65535), 0, 65535);
}

// A derived table of count entries, followed by kHgTableSlack zero bytes.
template <typename T>
T* AllocTable(uint32_t count) {
    const uint32_t bytes = uint32_t(count * sizeof(T));
    auto* table = static_cast<uint8_t*>(Mem_Alloc(bytes + kHgTableSlack));
    if (table != nullptr) Mem_Fill(table + bytes, 0, kHgTableSlack);
    return reinterpret_cast<T*>(table);
}

void FreeInputTables(HgInputChannel* in) {
    in->cellOf16 = static_cast<uint8_t*>(Mem_Free(in->cellOf16));
    in->frac = static_cast<uint16_t*>(Mem_Free(in->frac));
}

bool ValidChannelCount(int32_t n) {
    return n == 1 || n == 3 || n == 4;
}

// Number of samples of the grid array for the current shape (0 when a grid channel has no
// nodes). Computed in 64 bits: four axes of 256 nodes do not fit 32.
uint64_t GridElements(const HuegridLut* t) {
    if (!HgIsGridMode(t)) return uint64_t(t->outChannels) * uint64_t(HgCurveLength(t->sampleSize));
    uint64_t n = uint64_t(t->outChannels);
    for (int32_t c = 0; c < t->inChannels; ++c) {
        if (t->input[c].gridPoints < 2) return 0;
        n *= uint64_t(t->input[c].gridPoints);
    }
    return n;
}

// Cell offsets and fractions of one grid channel.
int32_t BuildGridInput(HuegridLut* t, int32_t c) {
    HgInputChannel* in = &t->input[c];
    FreeInputTables(in);
    const int32_t n = in->gridPoints;
    if (n < 2) return kStatusError;
    int64_t p[256];
    for (int32_t k = 0; k < n; ++k) p[k] = t->sampleSize == 2 ? in->nodes[k] : in->nodes[k] * 257;
    const int64_t lo16 = To16(in->lo, t->inPixelSize), hi16 = To16(in->hi, t->inPixelSize);
    const bool wide = t->inPixelSize == 2;
    const uint32_t codes = wide ? 65536u : 256u;
    in->frac = AllocTable<uint16_t>(codes);
    if (wide) in->cellOf16 = AllocTable<uint8_t>(codes);
    if (in->frac == nullptr || (wide && in->cellOf16 == nullptr)) {
        FreeInputTables(in);
        return kStatusNoMemory;
    }
    int32_t k = 0;  // x' moves monotonically with x, so the cell search walks from the last cell
    for (uint32_t x = 0; x < codes; ++x) {
        const int64_t xp = MapInput(x, t->inPixelSize, lo16, hi16);
        while (k < n - 2 && xp >= p[k + 1]) ++k;
        while (k > 0 && xp < p[k]) --k;
        const int64_t width = p[k + 1] - p[k];
        const int64_t f = ((xp - p[k]) * 32768 + width / 2) / width;
        in->frac[x] = uint16_t(Num_Clamp<int64_t>(f, 0, 32768));
        if (wide) {
            in->cellOf16[x] = uint8_t(k);
        } else {
            in->cellOffset[x] = in->stride * uint32_t(k);
            in->cellFrac8[x] = uint32_t(k) << 16 | in->frac[x];
        }
    }
    if (wide) {
        for (int32_t j = 0; j < 256; ++j)
            in->cellOffset[j] = j < n - 1 ? in->stride * uint32_t(j) : 0;
    }
    return kStatusOk;
}

// The output table of one channel in grid mode.
int32_t BuildOutputTable(HuegridLut* t, int32_t c) {
    HgOutputChannel* out = &t->output[c];
    out->table = Mem_Free(out->table);
    const int64_t lo = out->lo, hi = out->hi;
    if (t->outPixelSize == 1) {
        auto* table = AllocTable<uint8_t>(256);
        if (table == nullptr) return kStatusNoMemory;
        for (int64_t i = 0; i < 256; ++i)
            table[i] = uint8_t(Num_Clamp<int64_t>(lo + RoundDiv(i * (hi - lo), 255), 0, 255));
        out->table = table;
        return kStatusOk;
    }
    // The interpolated value of 16-bit samples spans 0..65535; that of 8-bit samples, shifted
    // up by 8 bits, only 0..65280, which the table must stretch to the range or white comes
    // out 255 codes short.
    const int64_t top = HgOutputIndexMax(t->sampleSize, t->outPixelSize);
    if (top == 65535 && lo == 0 && hi == 65535) return kStatusOk;  // the value is the code
    auto* table = AllocTable<uint16_t>(65536);
    if (table == nullptr) return kStatusNoMemory;
    for (int64_t i = 0; i < 65536; ++i) {
        table[i] = uint16_t(
            Num_Clamp<int64_t>(lo + RoundDiv((hi - lo) * (i < top ? i : top), top), 0, 65535));
    }
    out->table = table;
    return kStatusOk;
}

// The 1-D tables of output channel c in curve mode or of a one-input grid; they live in input
// record c. Input code x picks the curve sample nearest to its position in the input range;
// the sample is scaled into the output range:
//   j(x)   = x' (16-bit samples) or round(x' * 255 / 65535) (8-bit samples)
//   out(v) = outLo + round((outHi - outLo) * v / sampleMax), clamped to the output codes.
// 16-bit input and output with 8-bit samples keep the two steps apart: a u8 table of j(x) and
// a u16 table of out(sample j).
int32_t BuildCurve(HuegridLut* t, int32_t c) {
    HgInputChannel* tables = &t->input[c];
    const HgInputChannel* source = t->hasGrid == 0 ? &t->input[c] : &t->input[0];
    FreeInputTables(tables);
    const int32_t length = HgCurveLength(t->sampleSize);
    if (source->gridPoints != length) return kStatusError;
    if (t->grid == nullptr) return kStatusOk;  // no samples yet: nothing to tabulate

    const int64_t lo16 = To16(source->lo, t->inPixelSize), hi16 = To16(source->hi, t->inPixelSize);
    const int64_t outLo = t->output[c].lo, outHi = t->output[c].hi;
    const int64_t outMax = HgMaxCode(t->outPixelSize), sampleMax = HgMaxCode(t->sampleSize);
    const uint8_t* s8 = static_cast<const uint8_t*>(t->grid) + size_t(c) * size_t(length);
    const uint16_t* s16 = static_cast<const uint16_t*>(t->grid) + size_t(c) * size_t(length);
    auto sample = [&](int64_t j) -> int64_t { return t->sampleSize == 2 ? s16[j] : s8[j]; };
    auto position = [&](int64_t x) -> int64_t {
        int64_t xp = MapInput(x, t->inPixelSize, lo16, hi16);
        return t->sampleSize == 2 ? xp : RoundDiv(xp * 255, 65535);
    };
    auto code = [&](int64_t v) -> int64_t {
        return Num_Clamp<int64_t>(outLo + RoundDiv((outHi - outLo) * v, sampleMax), 0, outMax);
    };

    const uint32_t codes = t->inPixelSize == 2 ? 65536u : 256u;
    if (t->outPixelSize == 1) {
        tables->cellOf16 = AllocTable<uint8_t>(codes);
        if (tables->cellOf16 == nullptr) return kStatusNoMemory;
        for (uint32_t x = 0; x < codes; ++x)
            tables->cellOf16[x] = uint8_t(code(sample(position(x))));
    } else if (t->inPixelSize == 2 && t->sampleSize == 1) {
        tables->cellOf16 = AllocTable<uint8_t>(65536);
        tables->frac = AllocTable<uint16_t>(256);
        if (tables->cellOf16 == nullptr || tables->frac == nullptr) {
            FreeInputTables(tables);
            return kStatusNoMemory;
        }
        for (uint32_t x = 0; x < 65536; ++x) tables->cellOf16[x] = uint8_t(position(x));
        for (int64_t j = 0; j < 256; ++j) tables->frac[j] = uint16_t(code(sample(j)));
    } else {
        tables->frac = AllocTable<uint16_t>(codes);
        if (tables->frac == nullptr) return kStatusNoMemory;
        for (uint32_t x = 0; x < codes; ++x) tables->frac[x] = uint16_t(code(sample(position(x))));
    }
    return kStatusOk;
}

// Strides follow from the node counts: outChannels for channel 0, then each channel's stride
// times its node count. Channels whose stride changed get their cell offsets rebuilt.
int32_t UpdateStrides(HuegridLut* t, int32_t changed) {
    uint64_t stride = uint64_t(t->outChannels);
    int32_t status = kStatusOk;
    for (int32_t c = 0; c < t->inChannels; ++c) {
        HgInputChannel* in = &t->input[c];
        // Beyond kMaxGridBytes no grid can be stored, so the offsets are never used; keep them
        // from wrapping all the same.
        uint32_t s = stride > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(stride);
        if ((s != in->stride || c == changed) && in->gridPoints >= 2) {
            in->stride = s;
            int32_t st = BuildGridInput(t, c);
            if (status == kStatusOk) status = st;
        }
        in->stride = s;
        stride *= uint64_t(in->gridPoints > 0 ? in->gridPoints : 1);
        if (stride > 0xFFFFFFFFull) stride = 0x100000000ull;
    }
    return status;
}

// Rebuilds every table that depends on input channel c (side 0) or output channel c (side 1).
int32_t Rebuild(HuegridLut* t, int32_t side, int32_t c) {
    if (HgIsGridMode(t))
        return side == kHgSideInput ? BuildGridInput(t, c) : BuildOutputTable(t, c);
    if (t->hasGrid == 0 || side == kHgSideOutput) return BuildCurve(t, c);
    int32_t status = kStatusOk;  // a one-input grid: the input range feeds every output table
    for (int32_t k = 0; k < t->outChannels; ++k) {
        int32_t st = BuildCurve(t, k);
        if (status == kStatusOk) status = st;
    }
    return status;
}

bool IsUniformSize(int32_t n) {
    return n == 2 || n == 3 || n == 5 || n == 9 || n == 17;
}

}  // namespace

int32_t HgSpaceChannels(int32_t space) {
    switch (HgSpace(space)) {
        case kHgSpaceRgb:
        case kHgSpace7:
        case kHgSpace8:
            return 3;
        case kHgSpaceCmyk:
            return 4;
        case kHgSpaceGrey:
            return 1;
        default:
            return 0;
    }
}

int32_t HgCreateLut(HuegridLut** out, int32_t inChannels, int32_t outChannels, int32_t inSpace,
                    int32_t outSpace, int32_t hasGrid, int32_t kind, int32_t sampleSize) {
    if (out == nullptr) return kStatusProblem;
    *out = nullptr;
    if (hasGrid != 0 && hasGrid != 1) return kStatusProblem;
    if (!(0 <= kind && kind <= 2)) return kStatusProblem;
    if (!ValidChannelCount(inChannels) || !ValidChannelCount(outChannels)) return kStatusProblem;
    if (hasGrid == 0 && (inChannels != outChannels || inSpace != outSpace)) return kStatusProblem;
    if (kind == 2 ? (sampleSize != 1 && sampleSize != 2) : sampleSize != 1) return kStatusProblem;
    if (HgSpaceChannels(inSpace) != inChannels || HgSpaceChannels(outSpace) != outChannels) {
        return kStatusProblem;
    }
    auto threeChannelOnly = [](int32_t s) { return s == kHgSpace7 || s == kHgSpace8; };
    if (kind == 1 && (inSpace == kHgSpaceGrey || outSpace == kHgSpaceGrey || hasGrid == 0)) {
        return kStatusUnsupported;
    }
    if (kind == 0 && (inSpace == kHgSpaceGrey || outSpace == kHgSpaceGrey ||
                      threeChannelOnly(inSpace) || threeChannelOnly(outSpace) || hasGrid == 0)) {
        return kStatusUnsupported;
    }

    auto* t = static_cast<HuegridLut*>(Mem_Alloc(sizeof(HuegridLut)));
    if (t == nullptr) return kStatusNoMemory;
    Mem_Fill(t, 0, sizeof(HuegridLut));
    t->kernels = HgKernelSetForProcess();
    t->kind = kind;
    t->inChannels = inChannels;
    t->outChannels = outChannels;
    t->inSpace = inSpace;
    t->outSpace = outSpace;
    t->hasGrid = hasGrid;
    t->sampleSize = sampleSize;
    t->inPixelSize = 1;
    t->outPixelSize = 1;
    // The constants for the pixel sizes the table starts with (8-bit output): for 16-bit
    // samples shift 23 without rounding, see HgRoundFor.
    t->shift = HgShiftFor(sampleSize, 1);
    t->round = HgRoundFor(sampleSize, 1);
    for (int32_t c = 0; c < 4; ++c) {
        t->input[c].gridPoints = 1;
        t->input[c].hi = 255;
        t->output[c].hi = 255;
    }
    if (HgIsGridMode(t)) {
        for (int32_t c = 0; c < outChannels; ++c) {
            if (BuildOutputTable(t, c) != kStatusOk) {
                HgFreeLut(t);
                return kStatusNoMemory;
            }
        }
    }
    *out = t;
    return kStatusOk;
}

int32_t HgFreeLut(HuegridLut* table) {
    if (table == nullptr) return kStatusOk;
    for (int32_t c = 0; c < 4; ++c) {
        FreeInputTables(&table->input[c]);
        table->output[c].table = Mem_Free(table->output[c].table);
    }
    Mem_Free(table->grid);
    Mem_Free(table);
    return kStatusOk;
}

int32_t HgSetNodes(HuegridLut* table, int32_t channel, int32_t gridPoints, const void* nodes) {
    if (table == nullptr) return kStatusProblem;
    if (!(0 <= channel && channel < table->inChannels)) return kStatusProblem;
    if (!HgIsGridMode(table)) {
        table->input[channel].gridPoints = HgCurveLength(table->sampleSize);
        return kStatusOk;
    }
    uint16_t p[256];
    if (table->kind != 2) {
        if (!IsUniformSize(gridPoints)) return kStatusUnsupported;
        for (int32_t c = 0; c < table->inChannels; ++c) {
            int32_t other = table->input[c].gridPoints;
            if (c != channel && other > 1 && other != gridPoints) return kStatusUnsupported;
        }
        for (int32_t i = 0; i < gridPoints; ++i) p[i] = uint16_t((i * 256) / (gridPoints - 1));
        p[gridPoints - 1] = 255;
    } else {
        if (nodes == nullptr || !(2 <= gridPoints && gridPoints <= 256)) return kStatusProblem;
        for (int32_t i = 0; i < gridPoints; ++i) {
            p[i] = table->sampleSize == 2 ? static_cast<const uint16_t*>(nodes)[i]
                                          : static_cast<const uint8_t*>(nodes)[i];
        }
    }
    if (p[0] != 0 || p[gridPoints - 1] != HgMaxCode(table->sampleSize)) return kStatusProblem;
    for (int32_t i = 1; i < gridPoints; ++i) {
        if (p[i] <= p[i - 1]) return kStatusProblem;
    }
    HgInputChannel* in = &table->input[channel];
    if (table->grid != nullptr && gridPoints != in->gridPoints) return kStatusProblem;
    Mem_Copy(in->nodes, p, size_t(gridPoints) * sizeof(uint16_t));
    in->gridPoints = gridPoints;
    return UpdateStrides(table, channel);
}

int32_t HgSetEntry(HuegridLut* table, uint32_t index, const void* values) {
    if (table == nullptr || values == nullptr) return kStatusProblem;
    const uint64_t elements = GridElements(table);
    if (elements == 0) return kStatusError;
    const uint64_t entries = elements / uint64_t(table->outChannels);
    if (index >= entries) return kStatusProblem;
    const uint64_t bytes = elements * uint64_t(table->sampleSize);
    if (table->grid == nullptr) {
        if (bytes > kMaxGridBytes) return kStatusNoMemory;
        table->grid = Mem_Alloc(uint32_t(bytes) + kHgTableSlack);
        if (table->grid == nullptr) return kStatusNoMemory;
        Mem_Fill(table->grid, 0, size_t(bytes) + kHgTableSlack);
    }
    const bool grid = HgIsGridMode(table);
    for (int32_t k = 0; k < table->outChannels; ++k) {
        const uint64_t at = grid ? uint64_t(index) * uint64_t(table->outChannels) + uint64_t(k)
                                 : uint64_t(k) * entries + index;
        if (table->sampleSize == 2) {
            static_cast<uint16_t*>(table->grid)[at] = static_cast<const uint16_t*>(values)[k];
        } else {
            static_cast<uint8_t*>(table->grid)[at] = static_cast<const uint8_t*>(values)[k];
        }
    }
    return kStatusOk;
}

int32_t HgSetRange(HuegridLut* table, int32_t side, int32_t channel, uint32_t lo, uint32_t hi) {
    if (table == nullptr || lo == hi) return kStatusProblem;
    if (side == kHgSideInput) {
        if (!(0 <= channel && channel < table->inChannels)) return kStatusProblem;
        table->input[channel].lo = lo;
        table->input[channel].hi = hi;
    } else if (side == kHgSideOutput) {
        if (!(0 <= channel && channel < table->outChannels)) return kStatusProblem;
        table->output[channel].lo = lo;
        table->output[channel].hi = hi;
    } else {
        return kStatusProblem;
    }
    return Rebuild(table, side, channel);
}

int32_t HgSetPixelSize(HuegridLut* table, int32_t side, int32_t size) {
    if (table == nullptr || (size != 1 && size != 2)) return kStatusProblem;
    int32_t channels;
    if (side == kHgSideInput) {
        table->inPixelSize = size;
        channels = table->inChannels;
    } else if (side == kHgSideOutput) {
        table->outPixelSize = size;
        channels = table->outChannels;
        table->shift = HgShiftFor(table->sampleSize, size);
        table->round = HgRoundFor(table->sampleSize, size);
    } else {
        return kStatusProblem;
    }
    int32_t status = kStatusOk;
    for (int32_t c = 0; c < channels; ++c) {
        int32_t st = HgSetRange(table, side, c, 0, uint32_t(HgMaxCode(size)));
        if (status == kStatusOk) status = st;
    }
    return status;
}

int32_t HgCheckLut(const HuegridLut* t) {
    if (t == nullptr) return kStatusProblem;
    if (t->hasGrid != 0 && t->hasGrid != 1) return kStatusProblem;
    if (!(0 <= t->kind && t->kind <= 2)) return kStatusProblem;
    if (!ValidChannelCount(t->inChannels) || !ValidChannelCount(t->outChannels))
        return kStatusProblem;
    if (t->hasGrid == 0 && (t->inChannels != t->outChannels || t->inSpace != t->outSpace)) {
        return kStatusProblem;
    }
    auto sizeOk = [](int32_t s) { return s == 1 || s == 2; };
    if (!sizeOk(t->sampleSize) || !sizeOk(t->inPixelSize) || !sizeOk(t->outPixelSize)) {
        return kStatusProblem;
    }
    const bool grey = t->inSpace == kHgSpaceGrey || t->outSpace == kHgSpaceGrey;
    const bool three = t->inSpace == kHgSpace7 || t->inSpace == kHgSpace8 ||
                       t->outSpace == kHgSpace7 || t->outSpace == kHgSpace8;
    if (t->kind == 0 && (grey || three || t->hasGrid == 0)) return kStatusProblem;
    if (t->kind == 1 && (grey || t->hasGrid == 0)) return kStatusProblem;
    if (t->kind != 2 && t->sampleSize != 1) return kStatusProblem;
    if (HgSpaceChannels(t->inSpace) != t->inChannels ||
        HgSpaceChannels(t->outSpace) != t->outChannels) {
        return kStatusProblem;
    }
    if (t->grid == nullptr) return kStatusProblem;
    if (t->shift != HgShiftFor(t->sampleSize, t->outPixelSize) ||
        t->round != HgRoundFor(t->sampleSize, t->outPixelSize)) {
        return kStatusProblem;
    }

    if (HgIsGridMode(t)) {
        const int32_t maxCode = HgMaxCode(t->sampleSize);
        if (GridElements(t) * uint64_t(t->sampleSize) > kMaxGridBytes) return kStatusProblem;
        for (int32_t c = 0; c < t->inChannels; ++c) {
            const HgInputChannel& in = t->input[c];
            if (!(2 <= in.gridPoints && in.gridPoints <= 256)) return kStatusProblem;
            if (in.frac == nullptr) return kStatusProblem;
            if (in.nodes[0] != 0 || in.nodes[in.gridPoints - 1] != maxCode) return kStatusProblem;
            for (int32_t i = 1; i < in.gridPoints; ++i) {
                if (in.nodes[i] <= in.nodes[i - 1]) return kStatusProblem;
            }
            if ((in.cellOf16 != nullptr) != (t->inPixelSize == 2)) return kStatusProblem;
        }
        for (int32_t k = 0; k < t->outChannels; ++k) {
            const HgOutputChannel& out = t->output[k];
            const bool identity =
                t->outPixelSize == 2 && t->sampleSize == 2 && out.lo == 0 && out.hi == 65535;
            if (out.table == nullptr && !identity) return kStatusProblem;
        }
        return kStatusOk;
    }

    const int32_t length = HgCurveLength(t->sampleSize);
    const int32_t axes = t->hasGrid == 0 ? t->inChannels : 1;
    for (int32_t c = 0; c < axes; ++c) {
        if (t->input[c].gridPoints != length) return kStatusProblem;
    }
    const bool wantU8 = t->outPixelSize == 1 || (t->inPixelSize == 2 && t->sampleSize == 1);
    const bool wantU16 = t->outPixelSize == 2;
    for (int32_t k = 0; k < t->outChannels; ++k) {
        const HgInputChannel& tables = t->input[k];
        if ((tables.cellOf16 != nullptr) != wantU8 || (tables.frac != nullptr) != wantU16) {
            return kStatusProblem;
        }
    }
    return kStatusOk;
}

int32_t HgCreate(HuegridLut* table, Huegrid** out) {
    if (table == nullptr || out == nullptr) return kStatusProblem;
    auto* h = static_cast<Huegrid*>(Mem_Alloc(sizeof(Huegrid)));
    if (h == nullptr) return kStatusNoMemory;
    h->inChannels = table->inChannels;
    h->outChannels = table->outChannels;
    h->inSpace = table->inSpace;
    h->outSpace = table->outSpace;
    h->sampleSize = table->sampleSize;
    h->inPixelSize = table->inPixelSize;
    h->outPixelSize = table->outPixelSize;
    h->lut = table;
    *out = h;
    return kStatusOk;
}

int32_t HgSetDepth(Huegrid* handle, int32_t side, int32_t size) {
    if (handle == nullptr || handle->lut == nullptr) return kStatusProblem;
    int32_t status = HgSetPixelSize(handle->lut, side, size);
    handle->inPixelSize = handle->lut->inPixelSize;
    handle->outPixelSize = handle->lut->outPixelSize;
    return status;
}

int32_t HgFree(Huegrid* handle) {
    if (handle == nullptr) return kStatusOk;
    HgFreeLut(handle->lut);
    Mem_Free(handle);
    return kStatusOk;
}
