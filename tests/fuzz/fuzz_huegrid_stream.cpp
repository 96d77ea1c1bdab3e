// The Huegrid stream: a transform read from a memory or a disk stream, once by the row applier the
// filter uses (with its pixel sizes, code ranges and sharpening taken from the first bytes) over a
// few rows, and once by the stream reader alone, applied to one row at every pair of pixel sizes.
//
// The fuzzer sees the stream unscrambled: the harness scrambles it with the format's keystream
// before the reader gets it, so that mutations land on header fields and samples rather than on
// keystream noise. The reader still reads exactly what a real stream holds.
#include <cstring>
#include <vector>

#include "engine/huegrid.h"
#include "engine/huegrid_applier.h"
#include "engine/huegrid_kernels.h"
#include "platform/mem.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr uint32_t kMaxWidth = 32;
constexpr uint32_t kMaxRows = 8;

struct Delivered {
    uint32_t rows = 0;
    bool inOrder = true;
};

int32_t Collect(const HgPixelBuffer* row, void* context) {
    auto* d = static_cast<Delivered*>(context);
    if (row->tag != d->rows) d->inOrder = false;
    ++d->rows;
    return kStatusOk;
}

// Samples that reach both ends of the code range.
uint16_t Sample(uint32_t x, uint32_t y, uint32_t c, int32_t maxCode) {
    if (x == 0) return 0;
    if (x == 1) return uint16_t(maxCode);
    return uint16_t((x * 7919u + y * 104729u + c * 611953u) % uint32_t(maxCode + 1));
}

struct Streams {
    std::vector<uint8_t> memory;
    FLSpec spec;
};

void MakeStream(bool disk, const std::vector<uint8_t>& scrambled, Streams* s) {
    s->memory = scrambled;
    if (disk) {
        FLSpecDisk(&s->spec,
                   fuzz::WriteFile("stream.hg", scrambled.data(), scrambled.size()).c_str());
    } else {
        FLSpecMemory(&s->spec, s->memory.data(), int32_t(s->memory.size()));
    }
}

void ThroughApplier(fuzz::Bytes& in, const std::vector<uint8_t>& scrambled) {
    const uint8_t flags = in.U8();
    HgApplyOptions o;
    std::memset(&o, 0, sizeof o);
    Streams stream;
    MakeStream((flags & 1) != 0, scrambled, &stream);
    o.stream = stream.spec;
    o.inPixelSize = (flags & 2) ? 2 : 1;
    o.outPixelSize = (flags & 4) ? 2 : 1;
    const bool planarRows = (flags & 8) != 0;
    o.callbackPlanar = (flags & 16) ? 1 : 0;
    const int32_t inMax = o.inPixelSize == 2 ? 65535 : 255;
    const int32_t outMax = o.outPixelSize == 2 ? 65535 : 255;
    o.inLo = o.outLo = 0;
    o.inHi = inMax;
    o.outHi = outMax;
    if (flags & 32) {
        o.inLo = in.In(0, inMax);
        o.inHi = in.In(0, inMax);
        o.outLo = in.In(0, outMax);
        o.outHi = in.In(0, outMax);
    }
    o.sharpenAmount = in.In(0, 24);
    o.sharpenChannel = in.In(-1, 3);
    o.sharpenOrder = in.In(0, 2);
    o.width = uint32_t(in.In(1, kMaxWidth));
    o.rows = uint32_t(in.In(1, kMaxRows));
    o.callback = Collect;
    Delivered delivered;
    o.callbackContext = &delivered;

    fuzz::BlockCount blocks("the row applier");
    HuegridApplier* applier = nullptr;
    // The callback's order must suit the output's channels, which only the stream knows: the
    // identity for three or four channels serves every valid stream.
    o.callbackOrder = (flags & 64) ? kHgOrderIdentity4 : kHgOrderIdentity3;
    if (HgApplierCreate(&o, &applier) != kStatusOk) return;

    const uint32_t channels = applier->inChannels != 0 ? uint32_t(applier->inChannels)
                              : (flags & 64)           ? 4u
                                                       : 3u;
    const uint32_t space =
        applier->inChannels != 0 ? uint32_t(applier->inSpace) : (channels == 4 ? 4u : 1u);
    std::vector<uint8_t> row8(size_t(o.width) * channels);
    std::vector<uint16_t> row16(size_t(o.width) * channels);
    int32_t status = kStatusOk;
    for (uint32_t y = 0; y < o.rows && status == kStatusOk; ++y) {
        for (uint32_t x = 0; x < o.width; ++x) {
            for (uint32_t c = 0; c < channels; ++c) {
                const size_t at = planarRows ? size_t(c) * o.width + x : size_t(x) * channels + c;
                const uint16_t v = Sample(x, y, c, inMax);
                row8[at] = uint8_t(v);
                row16[at] = v;
            }
        }
        HgPixelBuffer row{o.width,
                          channels,
                          space,
                          planarRows ? 1u : 0u,
                          channels == 4 ? kHgOrderIdentity4 : kHgOrderIdentity3,
                          row8.data(),
                          row16.data(),
                          y};
        status = HgApplierRun(applier, &row);
    }
    HgApplierFree(applier);
    if (status == kStatusOk) {
        fuzz::Check(delivered.rows == o.rows && delivered.inOrder,
                    "the applier did not hand on every row once, in order (" +
                        std::to_string(delivered.rows) + " of " + std::to_string(o.rows) + ")");
    }
}

void ThroughReader(fuzz::Bytes& in, const std::vector<uint8_t>& scrambled) {
    Streams stream;
    MakeStream(in.Flag(), scrambled, &stream);
    fuzz::BlockCount blocks("the stream reader");
    HuegridLut* table = nullptr;
    if (HgReadStream(&table, &stream.spec) != kStatusOk) {
        fuzz::Check(table == nullptr, "a refused stream returned a table");
        return;
    }
    Huegrid* handle = nullptr;
    if (HgCreate(table, &handle) != kStatusOk) {
        HgFreeLut(table);
        return;
    }
    constexpr int32_t kWidth = 19;
    for (int32_t sizes = 0; sizes < 4; ++sizes) {
        const int32_t inSize = 1 + (sizes & 1), outSize = 1 + (sizes >> 1);
        if (HgSetDepth(handle, kHgSideInput, inSize) != kStatusOk ||
            HgSetDepth(handle, kHgSideOutput, outSize) != kStatusOk) {
            continue;
        }
        const int32_t inMax = inSize == 2 ? 65535 : 255;
        std::vector<uint16_t> inBuf(size_t(kWidth) * 4), outBuf(size_t(kWidth) * 4, 0xA5A5);
        std::vector<uint8_t> in8(inBuf.size()), out8(outBuf.size(), 0xA5);
        for (size_t i = 0; i < inBuf.size(); ++i) {
            inBuf[i] = Sample(uint32_t(i / 4), 0, uint32_t(i % 4), inMax);
            in8[i] = uint8_t(inBuf[i]);
        }
        const void* inPtrs[4];
        void* outPtrs[4];
        for (int c = 0; c < 4; ++c) {
            inPtrs[c] = inSize == 2 ? static_cast<const void*>(inBuf.data() + c)
                                    : static_cast<const void*>(in8.data() + c);
            outPtrs[c] = outSize == 2 ? static_cast<void*>(outBuf.data() + c)
                                      : static_cast<void*>(out8.data() + c);
        }
        fuzz::Check(HgApply(handle, kWidth, inPtrs, 4, outPtrs, 4) == kStatusOk,
                    "a stream the reader accepted cannot be applied at pixel sizes " +
                        std::to_string(inSize) + "/" + std::to_string(outSize));
    }
    HgFree(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    fuzz::Bytes in(data, size);
    const bool applier = in.Flag();
    // The options take a fixed 16 bytes (missing ones read as zero), so that a stream keeps its
    // place whatever the options hold.
    fuzz::Bytes options(in.data(), in.size() < 16 ? in.size() : 16);
    in.Skip(16);
    std::vector<uint8_t> scrambled(in.data(), in.data() + in.size());
    Mem_Scramble(scrambled.data(), uint32_t(scrambled.size()), kHgStreamSeed);
    if (applier) {
        ThroughApplier(options, scrambled);
    } else {
        ThroughReader(options, scrambled);
    }
    return 0;
}
