// The row applier; see huegrid_applier.h.
//
// Inside the applier rows are kept planar in channel order (channel c at c * width); the
// caller's layouts are met only when a row comes in and when a finished row goes out, through
// per-channel pointers and a step, so that the kernels and the sharpening never care.
//
// Sharpening keeps, for every sharpened channel and column, the sum of that column over the
// five rows in the window. A new row adds its values and takes away those of the row it
// replaces in the ring; along a row the 5x5 sum moves by one column sum in and one out, so
// each pixel costs a constant number of additions whatever the amount.
//
// 16-bit sharpening takes the amount over 25 in Q30 (8-bit: Q15). With Q10 the rounding error
// of the blurred value reaches several hundred codes near white, so flat areas would drift
// instead of keeping their value; Q30 keeps the error below half a code for every sum.
#include "engine/huegrid_applier.h"

#include <cstddef>

#include "engine/huegrid_kernels.h"
#include "platform/mem.h"
#include "platform/numeric.h"

namespace {

uint32_t Slot(uint32_t order, uint32_t channel) {
    return (order >> (2 * channel)) & 3;
}

// Per-channel pointers and the step of a row in a caller's layout.
struct Layout {
    void* ptr[4];
    int32_t step;
};

Layout RowLayout(void* base, int32_t size, uint32_t width, uint32_t channels, uint32_t planar,
                 uint32_t order) {
    Layout l = {{nullptr, nullptr, nullptr, nullptr}, 1};
    auto* bytes = static_cast<uint8_t*>(base);
    for (uint32_t c = 0; c < channels; ++c) {
        const uint32_t slot = channels == 1 ? 0 : Slot(order, c);
        const size_t offset = planar ? size_t(width) * slot : slot;
        l.ptr[c] = bytes + offset * size_t(size);
    }
    l.step = planar || channels == 1 ? 1 : int32_t(channels);
    return l;
}

// A planar row in channel order.
Layout PlanarLayout(void* base, int32_t size, uint32_t width, uint32_t channels) {
    return RowLayout(base, size, width, channels, 1, kHgOrderIdentity4);
}

template <typename T>
void CopyChannels(const Layout& src, const Layout& dst, uint32_t channels, uint32_t width) {
    for (uint32_t c = 0; c < channels; ++c) {
        const T* s = static_cast<const T*>(src.ptr[c]);
        T* d = static_cast<T*>(dst.ptr[c]);
        for (uint32_t x = 0; x < width; ++x)
            d[ptrdiff_t(x) * dst.step] = s[ptrdiff_t(x) * src.step];
    }
}

template <typename I, typename O>
void MapChannels(const Layout& src, const Layout& dst, uint32_t channels, uint32_t width,
                 const O* table) {
    for (uint32_t c = 0; c < channels; ++c) {
        const I* s = static_cast<const I*>(src.ptr[c]);
        O* d = static_cast<O*>(dst.ptr[c]);
        for (uint32_t x = 0; x < width; ++x)
            d[ptrdiff_t(x) * dst.step] = table[s[ptrdiff_t(x) * src.step]];
    }
}

// Copies a row between layouts, converting codes when the two sides differ in size (there is
// no transform then).
void ConvertRow(const HuegridApplier* a, const Layout& src, const Layout& dst, uint32_t channels) {
    if (a->inPixelSize == a->outPixelSize) {
        if (a->inPixelSize == 1) {
            CopyChannels<uint8_t>(src, dst, channels, a->width);
        } else {
            CopyChannels<uint16_t>(src, dst, channels, a->width);
        }
    } else if (a->inPixelSize == 1) {
        MapChannels<uint8_t, uint16_t>(src, dst, channels, a->width,
                                       static_cast<const uint16_t*>(a->codeTable));
    } else {
        MapChannels<uint16_t, uint8_t>(src, dst, channels, a->width,
                                       static_cast<const uint8_t*>(a->codeTable));
    }
}

// Adds (sign 1) or removes (sign -1) a ring row from the column sums of the summed channels.
template <typename T>
void UpdateSums(HuegridApplier* a, const void* ringRow, int32_t sign) {
    const T* row = static_cast<const T*>(ringRow);
    const uint32_t w = a->width;
    const int32_t first = a->sharpenChannel < 0 ? 0 : a->sharpenChannel;
    const int32_t last = a->sharpenChannel < 0 ? a->sharpChannels - 1 : a->sharpenChannel;
    for (int32_t c = first; c <= last; ++c) {
        int32_t* sums = a->columnSums + size_t(c) * w;
        const T* v = row + size_t(c) * w;
        if (sign > 0) {
            for (uint32_t x = 0; x < w; ++x) sums[x] += v[x];
        } else {
            for (uint32_t x = 0; x < w; ++x) sums[x] -= v[x];
        }
    }
}

// Sharpens the planar centre row of the window into dst. Columns 0, 1, w-2 and w-1 are copied.
template <typename T>
void SharpenRow(const HuegridApplier* a, const void* centreRow, const Layout& dst) {
    const T* centre = static_cast<const T*>(centreRow);
    const uint32_t w = a->width;
    const int32_t channels = a->sharpChannels;
    const int64_t weight = a->weight, d = a->divisor;
    const int32_t q = sizeof(T) == 1 ? 15 : 30;
    const int64_t half = int64_t(1) << (q - 1);
    const int64_t lo = a->clampLo, hi = a->clampHi;
    auto sharpen = [&](int64_t v, int64_t s) {
        const int64_t blur = (s * weight + half) >> q;
        const int64_t r = (25 * v - blur + d / 2) / d;
        return Num_Clamp(r, lo, hi);
    };
    auto out = [&](int32_t c, uint32_t x) -> T& {
        return static_cast<T*>(dst.ptr[c])[ptrdiff_t(x) * dst.step];
    };

    for (int32_t c = 0; c < channels; ++c) {
        for (uint32_t x = 0; x < w; ++x) {
            if (x < 2 || x + 2 >= w) out(c, x) = centre[size_t(c) * w + x];
        }
    }
    if (w < 5) return;
    if (a->sharpenChannel < 0) {
        for (int32_t c = 0; c < channels; ++c) {
            const int32_t* sums = a->columnSums + size_t(c) * w;
            const T* v = centre + size_t(c) * w;
            int64_t s = int64_t(sums[0]) + sums[1] + sums[2] + sums[3] + sums[4];
            for (uint32_t x = 2; x + 2 < w; ++x) {
                if (x > 2) s += sums[x + 2] - sums[x - 3];
                out(c, x) = T(sharpen(v[x], s));
            }
        }
        return;
    }
    const int32_t k = a->sharpenChannel;
    const int32_t* sums = a->columnSums + size_t(k) * w;
    int64_t s = int64_t(sums[0]) + sums[1] + sums[2] + sums[3] + sums[4];
    for (uint32_t x = 2; x + 2 < w; ++x) {
        if (x > 2) s += sums[x + 2] - sums[x - 3];
        const int64_t v = centre[size_t(k) * w + x];
        const int64_t change = sharpen(v, s) - v;
        for (int32_t c = 0; c < channels; ++c) {
            const int64_t r = centre[size_t(c) * w + x] + change;
            out(c, x) = T(Num_Clamp(r, lo, hi));
        }
    }
}

void UpdateSums(HuegridApplier* a, int32_t slot, int32_t sign) {
    if (a->sharpSize == 1) {
        UpdateSums<uint8_t>(a, a->ring[slot], sign);
    } else {
        UpdateSums<uint16_t>(a, a->ring[slot], sign);
    }
}

Layout CallbackLayout(HuegridApplier* a) {
    return RowLayout(a->convert[0], a->outPixelSize, a->width, uint32_t(a->outChannels),
                     a->callbackPlanar, a->callbackOrder);
}

// Hands convert[0] to the callback; a failure sticks.
int32_t Deliver(HuegridApplier* a, uint64_t tag) {
    HgPixelBuffer row = {};
    row.width = a->width;
    row.channels = uint32_t(a->outChannels);
    row.space = uint32_t(a->outSpace);
    row.planar = a->callbackPlanar;
    row.order = a->callbackOrder;
    if (a->outPixelSize == 1) {
        row.data8 = static_cast<uint8_t*>(a->convert[0]);
    } else {
        row.data16 = static_cast<uint16_t*>(a->convert[0]);
    }
    row.tag = tag;
    int32_t status = a->callback(&row, a->callbackContext);
    if (status != kStatusOk) a->status = status;
    return status;
}

int32_t Transform(HuegridApplier* a, const Layout& src, const Layout& dst) {
    int32_t status = HgApplyRow(a->table, int32_t(a->width), src.ptr, src.step, dst.ptr, dst.step);
    if (status != kStatusOk) a->status = status;
    return status;
}

// A ring row handed on as it is (transformed on the way out in mode 4).
int32_t DeliverPlain(HuegridApplier* a, int32_t slot) {
    const Layout ring =
        PlanarLayout(a->ring[slot], a->sharpSize, a->width, uint32_t(a->sharpChannels));
    const Layout out = CallbackLayout(a);
    if (a->mode == kHgModeSharpenTransform) {
        int32_t status = Transform(a, ring, out);
        if (status != kStatusOk) return status;
    } else if (a->sharpSize == 1) {
        CopyChannels<uint8_t>(ring, out, uint32_t(a->outChannels), a->width);
    } else {
        CopyChannels<uint16_t>(ring, out, uint32_t(a->outChannels), a->width);
    }
    return Deliver(a, a->ringTag[slot]);
}

// The centre row of the window, sharpened (and transformed in mode 4).
int32_t DeliverSharpened(HuegridApplier* a, int32_t slot) {
    const Layout out = CallbackLayout(a);
    const bool after = a->mode == kHgModeSharpenTransform;
    const Layout target =
        after ? PlanarLayout(a->convert[1], a->sharpSize, a->width, uint32_t(a->sharpChannels))
              : out;
    if (a->sharpSize == 1) {
        SharpenRow<uint8_t>(a, a->ring[slot], target);
    } else {
        SharpenRow<uint16_t>(a, a->ring[slot], target);
    }
    if (after) {
        int32_t status = Transform(a, target, out);
        if (status != kStatusOk) return status;
    }
    return Deliver(a, a->ringTag[slot]);
}

// Reads the transform named by the options, if any. *table stays null without one.
int32_t ReadTransform(const HgApplyOptions* o, HuegridLut** table) {
    *table = nullptr;
    const unsigned char* b = o->stream.bytes;
    if (b[0] != 0) {
        FLFile probe;
        int32_t status = FLOpen(&probe, &o->stream, kFLRead);
        // Only a name with nothing behind it means no transform; a file that is there but cannot
        // be opened is a failure, not an image left unchanged with success reported.
        if (status == kStatusFileOpen && !FLExists(&o->stream)) return kStatusOk;
        if (status != kStatusOk) return status;
        FLClose(&probe);
    } else if (b[1] != 'b') {
        return kStatusOk;
    }
    HuegridLut* t = nullptr;
    int32_t status = HgReadStream(&t, &o->stream);
    if (status != kStatusOk) return status;
    if (o->inLo == o->inHi || o->outLo == o->outHi) status = kStatusProblem;
    if (status == kStatusOk) status = HgSetPixelSize(t, kHgSideInput, o->inPixelSize);
    if (status == kStatusOk) status = HgSetPixelSize(t, kHgSideOutput, o->outPixelSize);
    for (int32_t c = 0; c < t->inChannels && status == kStatusOk; ++c) {
        status = HgSetRange(t, kHgSideInput, c, uint32_t(o->inLo), uint32_t(o->inHi));
    }
    for (int32_t c = 0; c < t->outChannels && status == kStatusOk; ++c) {
        status = HgSetRange(t, kHgSideOutput, c, uint32_t(o->outLo), uint32_t(o->outHi));
    }
    if (status == kStatusOk) status = HgCheckLut(t);
    if (status != kStatusOk) {
        HgFreeLut(t);
        return status;
    }
    *table = t;
    return kStatusOk;
}

bool OptionsValid(const HgApplyOptions* o) {
    auto sizeOk = [](int32_t s) { return s == 1 || s == 2; };
    if (!(0 <= o->sharpenAmount && o->sharpenAmount <= 24)) return false;
    if (!(-1 <= o->sharpenChannel && o->sharpenChannel <= 3)) return false;
    if (!(0 <= o->sharpenOrder && o->sharpenOrder <= 2)) return false;
    if (o->width == 0 || o->width > 0x7FFFFFFFu || o->rows == 0) return false;
    if (o->callback == nullptr || o->callbackPlanar > 1) return false;
    if (!sizeOk(o->inPixelSize) || !sizeOk(o->outPixelSize)) return false;
    // Range bounds outside the codes of their side would let sharpened values wrap.
    const int32_t inMax = HgMaxCode(o->inPixelSize), outMax = HgMaxCode(o->outPixelSize);
    if (!(0 <= o->inLo && o->inLo <= inMax) || !(0 <= o->inHi && o->inHi <= inMax)) return false;
    if (!(0 <= o->outLo && o->outLo <= outMax) || !(0 <= o->outHi && o->outHi <= outMax))
        return false;
    return true;
}

// Code conversion between sizes without a transform: each input code, clamped to the input
// range, placed at the same position in the output range.
void* BuildCodeTable(const HuegridApplier* a) {
    const int32_t inMax = HgMaxCode(a->inPixelSize), outMax = HgMaxCode(a->outPixelSize);
    const int64_t inLo = a->inLo, inHi = a->inHi, outLo = a->outLo, outHi = a->outHi;
    const int64_t lowIn = Num_Min(a->inLo, a->inHi), highIn = Num_Max(a->inLo, a->inHi);
    const int64_t lowOut = Num_Min(a->outLo, a->outHi), highOut = Num_Max(a->outLo, a->outHi);
    void* table = Mem_Alloc(uint32_t((inMax + 1) * a->outPixelSize));
    if (table == nullptr) return nullptr;
    for (int64_t x = 0; x <= inMax; ++x) {
        int64_t v = outLo;  // an empty input range maps everything to its start
        if (inHi != inLo) {
            const int64_t c = Num_Clamp(x, lowIn, highIn);
            v = outLo + ((c - inLo) * (outHi - outLo) + (inHi - inLo) / 2) / (inHi - inLo);
        }
        v = Num_Clamp(v, lowOut, highOut);
        v = Num_Clamp(v, 0, outMax);
        if (a->outPixelSize == 1) {
            static_cast<uint8_t*>(table)[x] = uint8_t(v);
        } else {
            static_cast<uint16_t*>(table)[x] = uint16_t(v);
        }
    }
    return table;
}

void* AllocBytes(uint64_t bytes) {
    if (bytes == 0 || bytes > 0x7FFFFFFFull) return nullptr;
    return Mem_Alloc(uint32_t(bytes));
}

// Buffers that depend on the channel counts; without a transform they are sized for four.
int32_t AllocateBuffers(HuegridApplier* a) {
    const uint64_t w = a->width;
    const uint64_t outChannels = a->table ? uint64_t(a->outChannels) : 4;
    a->convert[0] = AllocBytes(w * outChannels * uint64_t(a->outPixelSize));
    if (a->convert[0] == nullptr) return kStatusNoMemory;
    if (a->mode >= kHgModeSharpen) {
        const uint64_t channels = a->table ? uint64_t(a->sharpChannels) : 4;
        for (int32_t i = 0; i < 5; ++i) {
            a->ring[i] = AllocBytes(w * channels * uint64_t(a->sharpSize));
            if (a->ring[i] == nullptr) return kStatusNoMemory;
        }
        const uint64_t sumBytes = w * channels * sizeof(int32_t);
        a->columnSums = static_cast<int32_t*>(AllocBytes(sumBytes));
        if (a->columnSums == nullptr) return kStatusNoMemory;
        Mem_Fill(a->columnSums, 0, size_t(sumBytes));
    }
    if (a->mode == kHgModeSharpenTransform) {
        a->convert[1] = AllocBytes(w * uint64_t(a->sharpChannels) * uint64_t(a->sharpSize));
        if (a->convert[1] == nullptr) return kStatusNoMemory;
    }
    if (a->table == nullptr && a->inPixelSize != a->outPixelSize) {
        a->codeTable = BuildCodeTable(a);
        if (a->codeTable == nullptr) return kStatusNoMemory;
    }
    return kStatusOk;
}

bool IsSpace78(int32_t space) {
    return space == kHgSpace7 || space == kHgSpace8;
}

}  // namespace

int32_t HgOrderValid(uint32_t order, uint32_t channels) {
    if (channels == 1) return 1;
    if (channels != 3 && channels != 4) return 0;
    uint32_t seen = 0;
    for (uint32_t c = 0; c < channels; ++c) {
        const uint32_t slot = Slot(order, c);
        if (slot >= channels || (seen & (1u << slot)) != 0) return 0;
        seen |= 1u << slot;
    }
    return 1;
}

int32_t HgApplierCreate(const HgApplyOptions* options, HuegridApplier** out) {
    if (options == nullptr || out == nullptr) return kStatusProblem;
    *out = nullptr;
    if (!OptionsValid(options)) return kStatusProblem;
    HuegridLut* own = nullptr;
    const HuegridLut* table = nullptr;
    if (options->shareTable != nullptr) {
        const HuegridApplier* other = options->shareTable;
        if (other->inPixelSize != options->inPixelSize ||
            other->outPixelSize != options->outPixelSize || other->inLo != options->inLo ||
            other->inHi != options->inHi || other->outLo != options->outLo ||
            other->outHi != options->outHi) {
            return kStatusProblem;
        }
        table = other->table;
    } else {
        const int32_t status = ReadTransform(options, &own);
        if (status != kStatusOk) return status;
        table = own;
    }
    int32_t status = kStatusOk;

    const bool sharpen = options->sharpenAmount > 0 && options->rows > 4;
    int32_t mode;
    if (table == nullptr) {
        mode = sharpen ? kHgModeSharpen : kHgModeCopy;
    } else if (!sharpen) {
        mode = kHgModeTransform;
    } else if (options->sharpenOrder == 0) {
        mode = kHgModeTransformSharpen;
    } else if (options->sharpenOrder == 1) {
        mode = kHgModeSharpenTransform;
    } else {
        const bool before = IsSpace78(table->inSpace) || table->outChannels > table->inChannels;
        mode = before ? kHgModeSharpenTransform : kHgModeTransformSharpen;
    }

    auto* a = static_cast<HuegridApplier*>(Mem_Alloc(sizeof(HuegridApplier)));
    if (a == nullptr) {
        HgFreeLut(own);
        return kStatusNoMemory;
    }
    Mem_Fill(a, 0, sizeof(HuegridApplier));
    a->mode = mode;
    a->table = table;
    a->ownTable = own;
    a->inPixelSize = options->inPixelSize;
    a->outPixelSize = options->outPixelSize;
    a->width = options->width;
    a->rows = options->rows;
    a->callback = options->callback;
    a->callbackContext = options->callbackContext;
    a->callbackPlanar = options->callbackPlanar;
    a->callbackOrder = options->callbackOrder;
    a->inLo = options->inLo;
    a->inHi = options->inHi;
    a->outLo = options->outLo;
    a->outHi = options->outHi;
    a->sharpenChannel = options->sharpenChannel;
    a->divisor = 25 - options->sharpenAmount;

    const bool inputSide = mode == kHgModeSharpenTransform;
    a->sharpSize = inputSide ? a->inPixelSize : a->outPixelSize;
    const int64_t amount = options->sharpenAmount;
    a->weight = a->sharpSize == 1 ? ((amount << 15) + 12) / 25 : ((amount << 30) + 12) / 25;
    a->clampLo = inputSide ? Num_Min(a->inLo, a->inHi) : Num_Min(a->outLo, a->outHi);
    a->clampHi = inputSide ? Num_Max(a->inLo, a->inHi) : Num_Max(a->outLo, a->outHi);

    if (table != nullptr) {
        a->inChannels = table->inChannels;
        a->outChannels = table->outChannels;
        a->inSpace = table->inSpace;
        a->outSpace = table->outSpace;
        a->sharpChannels = inputSide ? a->inChannels : a->outChannels;
        const int32_t sharpSpace = inputSide ? a->inSpace : a->outSpace;
        if (IsSpace78(sharpSpace)) a->sharpenChannel = -1;
        if (!HgOrderValid(a->callbackOrder, uint32_t(a->outChannels)) ||
            (mode >= kHgModeSharpen && a->sharpenChannel >= a->sharpChannels)) {
            status = kStatusProblem;
        }
    }
    if (status == kStatusOk) status = AllocateBuffers(a);
    if (status != kStatusOk) {
        HgApplierFree(a);
        return status;
    }
    *out = a;
    return kStatusOk;
}

int32_t HgApplierRun(HuegridApplier* a, const HgPixelBuffer* row) {
    if (a == nullptr || row == nullptr) return kStatusProblem;
    if (a->status != kStatusOk) return a->status;
    if (row->width != a->width || a->received >= a->rows) return kStatusProblem;
    const uint32_t channels = row->channels;
    if (channels != 1 && channels != 3 && channels != 4) return kStatusProblem;
    if (!HgOrderValid(row->order, channels)) return kStatusProblem;
    void* data =
        a->inPixelSize == 1 ? static_cast<void*>(row->data8) : static_cast<void*>(row->data16);
    if (data == nullptr) return kStatusProblem;
    if (a->inChannels != 0) {
        if (int32_t(channels) != a->inChannels || int32_t(row->space) != a->inSpace)
            return kStatusProblem;
    } else {
        // Without a transform the first row fixes the channel count and colour space.
        if (!HgOrderValid(a->callbackOrder, channels)) return kStatusProblem;
        if (a->mode == kHgModeSharpen && a->sharpenChannel >= int32_t(channels))
            return kStatusProblem;
        a->inChannels = a->outChannels = a->sharpChannels = int32_t(channels);
        a->inSpace = a->outSpace = int32_t(row->space);
        if (IsSpace78(a->inSpace)) a->sharpenChannel = -1;
    }

    const Layout in = RowLayout(data, a->inPixelSize, a->width, channels, row->planar, row->order);
    const uint32_t r = a->received++;
    if (a->mode == kHgModeCopy) {
        ConvertRow(a, in, CallbackLayout(a), channels);
        return Deliver(a, row->tag);
    }
    if (a->mode == kHgModeTransform) {
        int32_t status = Transform(a, in, CallbackLayout(a));
        return status != kStatusOk ? status : Deliver(a, row->tag);
    }

    const int32_t slot = int32_t(r % 5);
    if (r >= 5) UpdateSums(a, slot, -1);
    const Layout ring =
        PlanarLayout(a->ring[slot], a->sharpSize, a->width, uint32_t(a->sharpChannels));
    if (a->mode == kHgModeSharpen) {
        ConvertRow(a, in, ring, channels);
    } else if (a->mode == kHgModeTransformSharpen) {
        int32_t status = Transform(a, in, ring);
        if (status != kStatusOk) return status;
    } else if (a->sharpSize == 1) {
        CopyChannels<uint8_t>(in, ring, channels, a->width);
    } else {
        CopyChannels<uint16_t>(in, ring, channels, a->width);
    }
    UpdateSums(a, slot, 1);
    a->ringTag[slot] = row->tag;

    int32_t status = kStatusOk;
    if (r < 2) status = DeliverPlain(a, slot);
    if (status == kStatusOk && r >= 4) status = DeliverSharpened(a, int32_t((r - 2) % 5));
    if (status == kStatusOk && r + 1 == a->rows) {
        status = DeliverPlain(a, int32_t((r - 1) % 5));
        if (status == kStatusOk) status = DeliverPlain(a, slot);
    }
    return status;
}

const HuegridLut* HgApplierTransformOnly(const HuegridApplier* a) {
    return a != nullptr && a->mode == kHgModeTransform ? a->table : nullptr;
}

int32_t HgApplierFree(HuegridApplier* a) {
    if (a == nullptr) return kStatusOk;
    HgFreeLut(a->ownTable);
    for (int32_t i = 0; i < 5; ++i) Mem_Free(a->ring[i]);
    Mem_Free(a->convert[0]);
    Mem_Free(a->convert[1]);
    Mem_Free(a->codeTable);
    Mem_Free(a->columnSums);
    Mem_Free(a);
    return kStatusOk;
}
