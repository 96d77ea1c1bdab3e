#include "tests/engine/huegrid_test_support.h"

#include <algorithm>
#include <numeric>
#include <set>

#include "engine/huegrid_kernels.h"
#include "platform/mem.h"
#include "tests/engine/huegrid_reference.h"

namespace huegrid_testing {

void EngineTest::SetUp() {
    PlatformTest::SetUp();
    blocksAtStart_ = ul_nMallocs;
}

void EngineTest::TearDown() {
    EXPECT_EQ(ul_nMallocs, blocksAtStart_) << "blocks not freed";
    EXPECT_TRUE(messageBoxes_.empty());
    PlatformTest::TearDown();
}

int32_t SpaceFor(int32_t channels) {
    return channels == 1 ? kHgSpaceGrey : channels == 3 ? kHgSpaceRgb : kHgSpaceCmyk;
}

std::vector<uint16_t> RandomNodes(std::mt19937& rng, int32_t count, int32_t maxCode) {
    std::set<uint16_t> inner;
    std::uniform_int_distribution<int32_t> pick(1, maxCode - 1);
    while (int32_t(inner.size()) < count - 2) inner.insert(uint16_t(pick(rng)));
    std::vector<uint16_t> nodes{0};
    nodes.insert(nodes.end(), inner.begin(), inner.end());
    nodes.push_back(uint16_t(maxCode));
    return nodes;
}

namespace {

int32_t SetNodes(HuegridLut* t, int32_t c, const std::vector<uint16_t>& nodes) {
    if (t->sampleSize == 2) return HgSetNodes(t, c, int32_t(nodes.size()), nodes.data());
    std::vector<uint8_t> bytes(nodes.begin(), nodes.end());
    return HgSetNodes(t, c, int32_t(bytes.size()), bytes.data());
}

// Grid entries (or curve lengths), each of outChannels samples.
size_t Entries(const HuegridLut* t) {
    if (t->hasGrid == 0 || t->inChannels == 1) return t->sampleSize == 2 ? 65536u : 256u;
    size_t n = 1;
    for (int32_t c = 0; c < t->inChannels; ++c) n *= size_t(t->input[c].gridPoints);
    return n;
}

int32_t Finish(HuegridLut* t, int32_t status, int32_t inSize, int32_t outSize) {
    if (status == 0) status = HgSetPixelSize(t, kHgSideInput, inSize);
    if (status == 0) status = HgSetPixelSize(t, kHgSideOutput, outSize);
    if (status == 0) status = HgCheckLut(t);
    return status;
}

constexpr uint16_t kFill = 0xA5A5;

// A row of count pixels in a random layout: planar (planes in any order, with a step) or
// interleaved (slots in any order, with padding between pixels).
template <typename T>
struct Row {
    std::vector<T> data;
    void* ptr[4] = {nullptr, nullptr, nullptr, nullptr};
    int32_t step = 1;
    std::vector<bool> used;

    Row(std::mt19937& rng, int32_t channels, int32_t count) {
        std::vector<int32_t> slot(static_cast<size_t>(channels));
        std::iota(slot.begin(), slot.end(), 0);
        std::shuffle(slot.begin(), slot.end(), rng);
        const bool planar = rng() % 2 == 0;
        const int32_t pad = int32_t(rng() % 3);
        step = planar ? 1 + pad : channels + pad;
        const size_t plane = size_t(count) * size_t(step);
        data.assign(planar ? plane * size_t(channels) : plane + size_t(channels), T(kFill));
        used.assign(data.size(), false);
        for (int32_t c = 0; c < channels; ++c) {
            const size_t start = planar ? plane * size_t(slot[c]) : size_t(slot[c]);
            ptr[c] = data.data() + start;
            for (int32_t i = 0; i < count; ++i) used[start + size_t(i) * size_t(step)] = true;
        }
    }
    T& at(int32_t c, int32_t i) { return static_cast<T*>(ptr[c])[ptrdiff_t(i) * step]; }
};

uint32_t InterestingCode(std::mt19937& rng, const HuegridLut* t, int32_t channel) {
    const uint32_t maxCode = t->inPixelSize == 2 ? 65535 : 255, pick = rng() % 8;
    if (pick == 0) return 0;
    if (pick == 1) return maxCode;
    if (pick == 2 && t->hasGrid == 1 && t->inChannels > 1) {
        const HgInputChannel& in = t->input[channel];
        uint32_t node = in.nodes[rng() % uint32_t(in.gridPoints)];
        if (t->sampleSize == 2 && t->inPixelSize == 1) node /= 257;
        if (t->sampleSize == 1 && t->inPixelSize == 2) node *= 257;
        return std::min(maxCode, node + uint32_t(rng() % 3));
    }
    return rng() % (maxCode + 1);
}

template <typename I, typename O>
void CheckRows(std::mt19937& rng, const HuegridLut* t, int32_t count) {
    Row<I> in(rng, t->inChannels, count);
    Row<O> out(rng, t->outChannels, count);
    for (int32_t c = 0; c < t->inChannels; ++c)
        for (int32_t i = 0; i < count; ++i) in.at(c, i) = I(InterestingCode(rng, t, c));
    const std::vector<I> before = in.data;
    ASSERT_EQ(HgApplyRow(t, count, in.ptr, in.step, out.ptr, out.step), 0);
    EXPECT_EQ(in.data, before) << "input changed";
    int32_t mismatches = 0;
    for (int32_t i = 0; i < count && mismatches < 5; ++i) {
        uint32_t px[4] = {}, expected[4] = {};
        for (int32_t c = 0; c < t->inChannels; ++c) px[c] = in.at(c, i);
        huegrid_reference::ApplyPixel(*t, px, expected);
        for (int32_t k = 0; k < t->outChannels; ++k) {
            if (out.at(k, i) == expected[k]) continue;
            ADD_FAILURE() << "pixel " << i << " channel " << k << " in (" << px[0] << "," << px[1]
                          << "," << px[2] << "," << px[3] << "): got " << out.at(k, i)
                          << ", expected " << expected[k];
            ++mismatches;
        }
    }
    for (size_t j = 0; j < out.data.size(); ++j) {
        if (!out.used[j] && out.data[j] != O(kFill)) {
            ADD_FAILURE() << "wrote outside its slots at " << j;
            break;
        }
    }
}

}  // namespace

HuegridLut* MakeRandomTable(std::mt19937& rng, const Shape& s) {
    HuegridLut* t = nullptr;
    const int32_t inSpace = s.inSpace ? s.inSpace : SpaceFor(s.inChannels);
    const int32_t outSpace = s.outSpace ? s.outSpace : SpaceFor(s.outChannels);
    int32_t status = HgCreateLut(&t, s.inChannels, s.outChannels, inSpace, outSpace, s.hasGrid,
                                 s.kind, s.sampleSize);
    if (status != 0) {
        ADD_FAILURE() << "HgCreateLut " << status;
        return nullptr;
    }
    const int32_t maxCode = s.sampleSize == 2 ? 65535 : 255;
    for (int32_t c = 0; c < s.inChannels && status == 0; ++c) {
        if (s.kind != 2 || s.hasGrid == 0 || s.inChannels == 1) {
            status = HgSetNodes(t, c, s.gridPoints[c], nullptr);
        } else {
            status = SetNodes(t, c, RandomNodes(rng, s.gridPoints[c], maxCode));
        }
    }
    std::uniform_int_distribution<int32_t> sample(0, maxCode);
    const size_t entries = Entries(t);
    for (size_t i = 0; i < entries && status == 0; ++i) {
        uint16_t v16[4];
        uint8_t v8[4];
        for (int32_t k = 0; k < 4; ++k) v8[k] = uint8_t(v16[k] = uint16_t(sample(rng)));
        status =
            s.sampleSize == 2 ? HgSetEntry(t, uint32_t(i), v16) : HgSetEntry(t, uint32_t(i), v8);
    }
    if ((status = Finish(t, status, s.inPixelSize, s.outPixelSize)) != 0) {
        ADD_FAILURE() << "building a random table: " << status;
        HgFreeLut(t);
        return nullptr;
    }
    return t;
}

HuegridLut* MakeIdentityGrid(std::mt19937& rng, int32_t sampleSize, int32_t gridPoints) {
    HuegridLut* t = nullptr;
    if (HgCreateLut(&t, 3, 3, kHgSpaceRgb, kHgSpaceRgb, 1, 2, sampleSize) != 0) return nullptr;
    const int32_t maxCode = sampleSize == 2 ? 65535 : 255;
    std::vector<uint16_t> nodes[3];
    int32_t status = 0;
    for (int32_t c = 0; c < 3 && status == 0; ++c) {
        nodes[c] = RandomNodes(rng, gridPoints, maxCode);
        status = SetNodes(t, c, nodes[c]);
    }
    uint32_t index = 0;
    for (int32_t b = 0; b < gridPoints; ++b) {
        for (int32_t g = 0; g < gridPoints; ++g) {
            for (int32_t r = 0; r < gridPoints && status == 0; ++r) {
                uint16_t v16[3] = {nodes[0][r], nodes[1][g], nodes[2][b]};
                uint8_t v8[3] = {uint8_t(v16[0]), uint8_t(v16[1]), uint8_t(v16[2])};
                status = sampleSize == 2 ? HgSetEntry(t, index++, v16) : HgSetEntry(t, index++, v8);
            }
        }
    }
    if (Finish(t, status, sampleSize, sampleSize) != 0) {
        HgFreeLut(t);
        return nullptr;
    }
    return t;
}

void CheckTable(std::mt19937& rng, const HuegridLut* t, int32_t count) {
    if (t->inPixelSize == 1) {
        if (t->outPixelSize == 1) return CheckRows<uint8_t, uint8_t>(rng, t, count);
        return CheckRows<uint8_t, uint16_t>(rng, t, count);
    }
    if (t->outPixelSize == 1) return CheckRows<uint16_t, uint8_t>(rng, t, count);
    CheckRows<uint16_t, uint16_t>(rng, t, count);
}

int32_t ApplyOne(const HuegridLut* t, const uint32_t in[4], uint32_t out[4]) {
    uint16_t in16[4], out16[4] = {};
    uint8_t in8[4], out8[4] = {};
    const void* ip[4];
    void* op[4];
    for (int c = 0; c < 4; ++c) {
        in8[c] = uint8_t(in16[c] = uint16_t(in[c]));
        ip[c] = t->inPixelSize == 2 ? static_cast<const void*>(&in16[c]) : &in8[c];
        op[c] = t->outPixelSize == 2 ? static_cast<void*>(&out16[c]) : &out8[c];
    }
    const int32_t status = HgApplyRow(t, 1, ip, 1, op, 1);
    for (int c = 0; c < 4; ++c) out[c] = t->outPixelSize == 2 ? out16[c] : out8[c];
    return status;
}

int32_t WriteToMemory(const HuegridLut* table, std::vector<uint8_t>* bytes, size_t capacity) {
    bytes->assign(capacity, 0);
    FLSpec spec;
    FLSpecMemory(&spec, bytes->data(), int32_t(capacity));
    const int32_t status = HgWriteStream(table, &spec);
    // The written length cannot be told from a zero-filled block, so ask the format instead:
    // the header, then node tables (kind 2 grids) and samples.
    if (status == 0) {
        size_t values = Entries(table) * size_t(table->outChannels);
        if (table->kind == 2 && table->hasGrid == 1 && table->inChannels > 1) {
            for (int32_t c = 0; c < table->inChannels; ++c)
                values += size_t(table->input[c].gridPoints);
        }
        bytes->resize(size_t(kHgStreamHeaderSize) + values * size_t(table->sampleSize));
    }
    return status;
}

int32_t ReadFromMemory(std::vector<uint8_t> bytes, HuegridLut** table) {
    if (bytes.empty()) bytes.push_back(0);  // a memory file needs at least one byte
    FLSpec spec;
    FLSpecMemory(&spec, bytes.data(), int32_t(bytes.size()));
    return HgReadStream(table, &spec);
}

void Scramble(std::vector<uint8_t>* bytes) {
    Mem_Scramble(bytes->data(), uint32_t(bytes->size()), kHgStreamSeed);
}

std::vector<uint32_t> Samples(const HuegridLut* t) {
    std::vector<uint32_t> out(Entries(t) * size_t(t->outChannels));
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = t->sampleSize == 2 ? static_cast<const uint16_t*>(t->grid)[i]
                                    : static_cast<const uint8_t*>(t->grid)[i];
    }
    return out;
}

}  // namespace huegrid_testing
