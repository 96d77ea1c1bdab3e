#include "tests/engine/huegrid_test_support.h"

#include <algorithm>
#include <set>

#include "platform/mem.h"

namespace huegrid_testing {

void EngineTest::SetUp() {
    PlatformTest::SetUp();
    blocksAtStart_ = ul_nMallocs;
}

void EngineTest::TearDown() {
    EXPECT_EQ(ul_nMallocs, blocksAtStart_) << "blocks not freed";
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

uint32_t Entries(const HuegridLut* t) {
    if (t->hasGrid == 0 || t->inChannels == 1) return t->sampleSize == 2 ? 65536u : 256u;
    uint32_t n = 1;
    for (int32_t c = 0; c < t->inChannels; ++c) n *= uint32_t(t->input[c].gridPoints);
    return n;
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
    const uint32_t entries = Entries(t);
    for (uint32_t i = 0; i < entries && status == 0; ++i) {
        uint16_t v16[4];
        uint8_t v8[4];
        for (int32_t k = 0; k < 4; ++k) {
            v16[k] = uint16_t(sample(rng));
            v8[k] = uint8_t(v16[k]);
        }
        status = s.sampleSize == 2 ? HgSetEntry(t, i, v16) : HgSetEntry(t, i, v8);
    }
    if (status == 0) status = HgSetPixelSize(t, kHgSideInput, s.inPixelSize);
    if (status == 0) status = HgSetPixelSize(t, kHgSideOutput, s.outPixelSize);
    if (status == 0) status = HgCheckLut(t);
    if (status != 0) {
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
    if (status == 0) status = HgSetPixelSize(t, kHgSideInput, sampleSize);
    if (status == 0) status = HgSetPixelSize(t, kHgSideOutput, sampleSize);
    if (status != 0) {
        HgFreeLut(t);
        return nullptr;
    }
    return t;
}

int32_t WriteToMemory(const HuegridLut* table, std::vector<uint8_t>* bytes, size_t capacity) {
    bytes->assign(capacity, 0);
    FLSpec spec;
    FLSpecMemory(&spec, bytes->data(), int32_t(capacity));
    int32_t status = HgWriteStream(table, &spec);
    // The written length: everything up to the last byte the writer touched cannot be told
    // from a zero-filled block, so ask the format instead.
    if (status == 0) {
        size_t length = kHgStreamHeaderSize;
        const bool grid = table->hasGrid == 1 && table->inChannels > 1;
        size_t elements = size_t(table->outChannels);
        if (grid) {
            for (int32_t c = 0; c < table->inChannels; ++c) {
                elements *= size_t(table->input[c].gridPoints);
                if (table->kind == 2)
                    length += size_t(table->input[c].gridPoints) * size_t(table->sampleSize);
            }
        } else {
            elements *= table->sampleSize == 2 ? 65536u : 256u;
        }
        length += elements * size_t(table->sampleSize);
        bytes->resize(length);
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
    size_t n = size_t(t->outChannels);
    if (t->hasGrid == 1 && t->inChannels > 1) {
        for (int32_t c = 0; c < t->inChannels; ++c) n *= size_t(t->input[c].gridPoints);
    } else {
        n *= t->sampleSize == 2 ? 65536u : 256u;
    }
    std::vector<uint32_t> out(n);
    for (size_t i = 0; i < n; ++i) {
        out[i] = t->sampleSize == 2 ? static_cast<const uint16_t*>(t->grid)[i]
                                    : static_cast<const uint8_t*>(t->grid)[i];
    }
    return out;
}

}  // namespace huegrid_testing
