// The Huegrid stream: a 128-byte header, the node tables (kind 2 grids) and the samples,
// big-endian, every byte XOR-ed with a keystream that runs on without reset from the first
// header byte to the last sample; see huegrid.h.
//
// Header:
//   0 magic 19, 1 magic "5", 2 inChannels, 3 outChannels,
//   4..7 per input channel: kinds 0 and 1 k with gridPoints 2^k + 1; kind 2 gridPoints (0 for
//        256; the writer puts 1 in unused bytes),
//   8 kind, 9 inSpace and 10 outSpace (kinds 1 and 2), 11 hasGrid (kind 2),
//   12 and 13 both 1 for 16-bit samples (kind 2), 14..127 zero.
//
// The writer works through a small buffer, so the table itself is never byte-swapped or
// scrambled in place. The reader checks the stream's remaining length before it allocates the
// sample array, so a hostile header cannot make it allocate more than the stream could fill.
#include <cstddef>

#include "engine/huegrid.h"
#include "platform/mem.h"

namespace {

constexpr uint8_t kMagic0 = 19;
constexpr uint8_t kMagic1 = 0x35;  // "5"
constexpr int32_t kChunk = 4096;

// Writes count samples of the given size big-endian and scrambled, continuing the keystream.
int32_t WriteSamples(FLFile* file, const void* samples, uint64_t count, int32_t size,
                     int32_t* state) {
    uint8_t buffer[kChunk];
    const auto* s8 = static_cast<const uint8_t*>(samples);
    const auto* s16 = static_cast<const uint16_t*>(samples);
    const uint64_t perChunk = uint64_t(kChunk / size);
    for (uint64_t done = 0; done < count;) {
        const uint64_t n = count - done < perChunk ? count - done : perChunk;
        for (uint64_t i = 0; i < n; ++i) {
            if (size == 2) {
                FL_PutU16(buffer + 2 * i, s16[done + i]);
            } else {
                buffer[i] = s8[done + i];
            }
        }
        int32_t bytes = int32_t(n) * size;
        *state = Mem_Scramble(buffer, uint32_t(bytes), *state);
        int32_t status = FLWrite(file, buffer, &bytes);
        if (status != kStatusOk) return status;
        done += n;
    }
    return kStatusOk;
}

// Reads bytes into dst and unscrambles them with the running keystream.
int32_t ReadBlock(FLFile* file, uint8_t* dst, uint64_t bytes, int32_t* state) {
    constexpr uint64_t kStep = 1u << 20;
    for (uint64_t done = 0; done < bytes;) {
        int32_t n = int32_t(bytes - done < kStep ? bytes - done : kStep);
        int32_t status = FLRead(file, dst + done, &n, 1);
        if (status != kStatusOk) return status;
        *state = Mem_Scramble(dst + done, uint32_t(n), *state);
        done += uint64_t(n);
    }
    return kStatusOk;
}

// Bytes from the current position to the end, or -1 when the file cannot tell.
int64_t Remaining(FLFile* file) {
    int32_t here = 0, end = 0;
    if (FLTell(file, &here) != kStatusOk || FLSeek(file, 0, 2) != kStatusOk) return -1;
    int32_t status = FLTell(file, &end);
    if (FLSeek(file, here, 0) != kStatusOk || status != kStatusOk) return -1;
    return int64_t(end) - int64_t(here);
}

bool IsUniformSize(int32_t n) {
    return n == 2 || n == 3 || n == 5 || n == 9 || n == 17;
}

int32_t Log2(int32_t v) {
    int32_t k = 0;
    while ((1 << (k + 1)) <= v) ++k;
    return k;
}

// The shape a header describes.
struct StreamShape {
    int32_t kind, inChannels, outChannels, inSpace, outSpace, hasGrid, sampleSize;
    int32_t inPixelSize, outPixelSize;
    int32_t gridPoints[4];
};

int32_t ParseHeader(const uint8_t h[kHgStreamHeaderSize], StreamShape* s) {
    if (h[0] != kMagic0 || h[1] != kMagic1) return kStatusFormat;
    const int32_t kind = h[8];
    if (kind > 2) return kStatusFormat;
    s->kind = kind;
    s->inChannels = h[2];
    s->outChannels = h[3];
    if (kind == 0 || kind == 1) {
        auto countOk = [](int32_t n) { return n == 3 || n == 4; };
        if (!countOk(s->inChannels) || !countOk(s->outChannels)) return kStatusFormat;
        if (kind == 0) {
            s->inSpace = s->inChannels == 3 ? kHgSpaceRgb : kHgSpaceCmyk;
            s->outSpace = s->outChannels == 3 ? kHgSpaceRgb : kHgSpaceCmyk;
        } else {
            auto spaceOk = [](int32_t v) { return v == 1 || v == 4 || v == 7 || v == 8; };
            if (!spaceOk(h[9]) || !spaceOk(h[10])) return kStatusFormat;
            s->inSpace = h[9];
            s->outSpace = h[10];
        }
        for (int32_t c = 0; c < s->inChannels; ++c) {
            if (h[4 + c] > 4) return kStatusFormat;
            s->gridPoints[c] = (1 << h[4 + c]) + 1;
        }
        s->hasGrid = 1;
        s->sampleSize = 1;
        s->inPixelSize = s->outPixelSize = 1;
        return kStatusOk;
    }
    auto countOk = [](int32_t n) { return n == 1 || n == 3 || n == 4; };
    if (!countOk(s->inChannels) || !countOk(s->outChannels)) return kStatusFormat;
    if (h[11] > 1 || h[12] > 1 || h[13] > 1 || h[12] != h[13]) return kStatusFormat;
    auto spaceOk = [](int32_t v) { return v == 1 || v == 4 || v == 5 || v == 7 || v == 8; };
    if (!spaceOk(h[9]) || !spaceOk(h[10])) return kStatusFormat;
    for (int32_t i = 14; i < kHgStreamHeaderSize; ++i) {
        if (h[i] != 0) return kStatusFormat;
    }
    for (int32_t c = 0; c < s->inChannels; ++c) {
        if (h[4 + c] == 1) return kStatusFormat;
        s->gridPoints[c] = h[4 + c] == 0 ? 256 : h[4 + c];
    }
    s->inSpace = h[9];
    s->outSpace = h[10];
    // A one-input grid keeps its grid flag: its body is laid out like curves, but read as
    // curves a grey-to-colour table would be refused (curves need equal channel counts).
    s->hasGrid = h[11];
    s->sampleSize = h[12] ? 2 : 1;
    s->inPixelSize = h[12] ? 2 : 1;
    s->outPixelSize = h[13] ? 2 : 1;
    return kStatusOk;
}

// Node tables and samples of a freshly created table.
int32_t ReadBody(FLFile* file, HuegridLut* t, const StreamShape& s, int32_t* state) {
    const bool grid = HgIsGridMode(t);
    const int32_t size = s.sampleSize;
    uint64_t elements = uint64_t(s.outChannels);
    uint64_t nodeBytes = 0;
    for (int32_t c = 0; c < s.inChannels && grid; ++c) {
        elements *= uint64_t(s.gridPoints[c]);
        if (s.kind == 2) nodeBytes += uint64_t(s.gridPoints[c]) * uint64_t(size);
    }
    if (!grid) elements *= uint64_t(HgCurveLength(size));
    const uint64_t sampleBytes = elements * uint64_t(size);
    // The length is checked for the node tables first and for the samples once the nodes are
    // set, so that a kind 0 or 1 header with differing grid sizes is reported as such (-9).
    int64_t remaining = Remaining(file);
    if (remaining >= 0 && uint64_t(remaining) < nodeBytes) return kStatusFileRead;

    for (int32_t c = 0; c < s.inChannels; ++c) {
        int32_t status;
        if (!grid || s.kind != 2) {
            status = HgSetNodes(t, c, s.gridPoints[c], nullptr);
        } else {
            uint8_t raw[512];
            uint16_t nodes[256];
            const int32_t n = s.gridPoints[c];
            status = ReadBlock(file, raw, uint64_t(n) * uint64_t(size), state);
            if (status != kStatusOk) return status;
            for (int32_t i = 0; i < n; ++i) {
                if (size == 2) {
                    FL_GetU16(raw + 2 * i, &nodes[i]);
                } else {
                    nodes[i] = raw[i];
                }
            }
            status = size == 2 ? HgSetNodes(t, c, n, nodes) : HgSetNodes(t, c, n, raw);
        }
        if (status != kStatusOk) return status;
    }

    remaining = Remaining(file);
    if (remaining >= 0 && uint64_t(remaining) < sampleBytes) return kStatusFileRead;
    const uint16_t zero[4] = {0, 0, 0, 0};
    int32_t status = HgSetEntry(t, 0, zero);  // allocates the sample array
    if (status != kStatusOk) return status;
    auto* bytes = static_cast<uint8_t*>(t->grid);
    status = ReadBlock(file, bytes, sampleBytes, state);
    if (status != kStatusOk) return status;
    if (size == 2) {
        auto* s16 = static_cast<uint16_t*>(t->grid);
        for (uint64_t i = 0; i < elements; ++i) FL_GetU16(bytes + 2 * i, &s16[i]);
    }
    return kStatusOk;
}

}  // namespace

int32_t HgWriteStream(const HuegridLut* t, const FLSpec* stream) {
    if (t == nullptr || stream == nullptr) return kStatusProblem;
    if (HgCheckLut(t) != kStatusOk) return kStatusProblem;
    const bool grid = HgIsGridMode(t);
    if (t->kind != 2) {
        // Kinds 0 and 1 store one grid code for all axes.
        for (int32_t c = 0; c < t->inChannels; ++c) {
            if (!IsUniformSize(t->input[c].gridPoints) ||
                t->input[c].gridPoints != t->input[0].gridPoints) {
                return kStatusProblem;
            }
        }
    }

    uint8_t header[kHgStreamHeaderSize] = {};
    header[0] = kMagic0;
    header[1] = kMagic1;
    header[2] = uint8_t(t->inChannels);
    header[3] = uint8_t(t->outChannels);
    for (int32_t c = 0; c < 4; ++c) {
        if (t->kind != 2) {
            header[4 + c] = c < t->inChannels ? uint8_t(Log2(t->input[0].gridPoints - 1)) : 0;
        } else {
            header[4 + c] = c < t->inChannels ? uint8_t(t->input[c].gridPoints & 0xFF) : 1;
        }
    }
    header[8] = uint8_t(t->kind);
    if (t->kind >= 1) {
        header[9] = uint8_t(t->inSpace);
        header[10] = uint8_t(t->outSpace);
    }
    if (t->kind == 2) {
        header[11] = uint8_t(t->hasGrid);
        header[12] = header[13] = t->sampleSize == 2 ? 1 : 0;
    }

    FLFile file;
    int32_t status = FLOpen(&file, stream, kFLWrite);
    if (status != kStatusOk) return status;
    int32_t state = Mem_Scramble(header, kHgStreamHeaderSize, kHgStreamSeed);
    int32_t count = kHgStreamHeaderSize;
    if (FLWrite(&file, header, &count) != kStatusOk) status = kStatusFileWrite;

    for (int32_t c = 0; status == kStatusOk && grid && t->kind == 2 && c < t->inChannels; ++c) {
        const HgInputChannel& in = t->input[c];
        if (t->sampleSize == 2) {
            status = WriteSamples(&file, in.nodes, uint64_t(in.gridPoints), 2, &state);
        } else {
            uint8_t nodes[256];
            for (int32_t i = 0; i < in.gridPoints; ++i) nodes[i] = uint8_t(in.nodes[i]);
            status = WriteSamples(&file, nodes, uint64_t(in.gridPoints), 1, &state);
        }
    }
    if (status == kStatusOk) {
        uint64_t elements = uint64_t(t->outChannels);
        if (grid) {
            for (int32_t c = 0; c < t->inChannels; ++c)
                elements *= uint64_t(t->input[c].gridPoints);
        } else {
            elements *= uint64_t(HgCurveLength(t->sampleSize));
        }
        status = WriteSamples(&file, t->grid, elements, t->sampleSize, &state);
    }
    int32_t closed = FLClose(&file);
    return status != kStatusOk ? status : closed;
}

int32_t HgReadStream(HuegridLut** out, const FLSpec* stream) {
    if (out == nullptr || stream == nullptr) return kStatusProblem;
    *out = nullptr;
    FLFile file;
    int32_t status = FLOpen(&file, stream, kFLRead);
    if (status != kStatusOk) return status;

    uint8_t header[kHgStreamHeaderSize];
    int32_t count = kHgStreamHeaderSize;
    HuegridLut* t = nullptr;
    StreamShape shape = {};
    status = FLRead(&file, header, &count, 1);
    int32_t state = kHgStreamSeed;
    if (status == kStatusOk) {
        state = Mem_Scramble(header, kHgStreamHeaderSize, state);
        status = ParseHeader(header, &shape);
    }
    if (status == kStatusOk) {
        status = HgCreateLut(&t, shape.inChannels, shape.outChannels, shape.inSpace, shape.outSpace,
                             shape.hasGrid, shape.kind, shape.sampleSize);
    }
    if (status == kStatusOk) status = ReadBody(&file, t, shape, &state);
    if (status == kStatusOk) status = HgSetPixelSize(t, kHgSideInput, shape.inPixelSize);
    if (status == kStatusOk) status = HgSetPixelSize(t, kHgSideOutput, shape.outPixelSize);
    if (status == kStatusOk) status = HgCheckLut(t);
    FLClose(&file);
    if (status != kStatusOk) {
        HgFreeLut(t);
        return status;
    }
    *out = t;
    return kStatusOk;
}
