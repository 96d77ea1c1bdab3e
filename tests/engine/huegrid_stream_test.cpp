// The Huegrid stream: exact bytes, round trips of every kind, depth and mode, the running
// keystream, refusals of bad headers, truncated and hostile streams.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/huegrid.h"
#include "platform/mem.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using huegrid_testing::MakeRandomTable;
using huegrid_testing::ReadFromMemory;
using huegrid_testing::Samples;
using huegrid_testing::Scramble;
using huegrid_testing::Shape;
using huegrid_testing::WriteToMemory;

class StreamTest : public huegrid_testing::EngineTest {
   protected:
    // The plain bytes of a table's stream.
    std::vector<uint8_t> PlainStream(const HuegridLut* t) {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(WriteToMemory(t, &bytes), 0);
        Scramble(&bytes);
        return bytes;
    }
    // Reads plain bytes (scrambled first); expects the status and, on failure, no table.
    void ExpectRead(std::vector<uint8_t> plain, int32_t expected, const std::string& what) {
        Scramble(&plain);
        HuegridLut* t = reinterpret_cast<HuegridLut*>(this);
        EXPECT_EQ(ReadFromMemory(plain, &t), expected) << what;
        if (expected == 0) {
            HgFreeLut(t);
        } else {
            EXPECT_EQ(t, nullptr) << what;
        }
    }
    std::mt19937 rng_{6173};
};

std::vector<uint32_t> Nodes(const HuegridLut* t, int32_t c) {
    return std::vector<uint32_t>(t->input[c].nodes, t->input[c].nodes + t->input[c].gridPoints);
}

TEST_F(StreamTest, HeaderAndBodyAreLaidOutByteForByte) {
    // Kind 2, 16-bit samples, non-uniform nodes: header, node tables, then samples, all
    // big-endian, under one keystream running on from the first byte to the last.
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, 7, 1, 1, 2, 2), 0);
    std::vector<uint16_t> words = {0, 0x1234, 65535, 0, 65535, 0, 5, 0xABCD, 65535};  // nodes
    ASSERT_EQ(HgSetNodes(t, 0, 3, &words[0]), 0);
    ASSERT_EQ(HgSetNodes(t, 1, 2, &words[3]), 0);
    ASSERT_EQ(HgSetNodes(t, 2, 4, &words[5]), 0);
    for (uint32_t i = 0; i < 24; ++i) {
        const uint16_t v[3] = {uint16_t(i * 2731), uint16_t(0xFF00 | i), uint16_t(i)};
        words.insert(words.end(), v, v + 3);
        ASSERT_EQ(HgSetEntry(t, i, v), 0);
    }
    ASSERT_EQ(HgSetPixelSize(t, kHgSideInput, 2), 0);
    ASSERT_EQ(HgSetPixelSize(t, kHgSideOutput, 2), 0);
    std::vector<uint8_t> expected = {19, '5', 3, 3, 3, 2, 4, 1, 2, 7, 1, 1, 1, 1};
    expected.resize(128);
    for (uint16_t v : words) expected.push_back(uint8_t(v >> 8)), expected.push_back(uint8_t(v));
    EXPECT_EQ(PlainStream(t), expected);
    HgFreeLut(t);

    // Kind 0: one grid code per used channel, no spaces, flags or node tables.
    ASSERT_EQ(HgCreateLut(&t, 3, 4, 1, 4, 1, 0, 1), 0);
    for (int c = 0; c < 3; ++c) ASSERT_EQ(HgSetNodes(t, c, 3, nullptr), 0);
    for (uint32_t i = 0; i < 27; ++i) {
        const uint8_t v[4] = {uint8_t(i), 1, 2, uint8_t(200 + i)};
        ASSERT_EQ(HgSetEntry(t, i, v), 0);
    }
    std::vector<uint8_t> plain = PlainStream(t);
    ASSERT_EQ(plain.size(), 128u + 27 * 4);
    EXPECT_EQ(std::vector<uint8_t>(plain.begin(), plain.begin() + 14),
              (std::vector<uint8_t>{19, '5', 3, 4, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(plain[128 + 26 * 4 + 3], 226);
    HgFreeLut(t);

    // Kind 2 curves: 256-entry tables, so the per-channel byte is 0.
    Shape curves;
    curves.hasGrid = 0;
    t = MakeRandomTable(rng_, curves);
    ASSERT_NE(t, nullptr);
    plain = PlainStream(t);
    ASSERT_EQ(plain.size(), 128u + 3 * 256);
    EXPECT_EQ(std::vector<uint8_t>(plain.begin() + 2, plain.begin() + 14),
              (std::vector<uint8_t>{3, 3, 0, 0, 0, 1, 2, 1, 1, 0, 0, 0}));
    EXPECT_EQ(plain[128 + 256 + 7], Samples(t)[256 + 7]);
    HgFreeLut(t);
}

TEST_F(StreamTest, EveryKindDepthAndModeSurvivesARoundTrip) {
    struct Case {
        int kind, in, out, grid, sample, inSpace, outSpace, points[4];
    };
    const Case cases[] = {
        {2, 3, 3, 1, 1, 0, 0, {9, 2, 33}},   {2, 3, 3, 1, 2, 0, 0, {17, 5, 3}},
        {2, 4, 3, 1, 2, 0, 0, {3, 4, 5, 2}}, {2, 3, 4, 1, 1, 0, 0, {256, 2, 2}},
        {2, 1, 3, 1, 1, 0, 0, {}},           {2, 1, 4, 1, 2, 0, 0, {}},
        {2, 3, 3, 0, 1, 0, 0, {}},           {2, 3, 3, 0, 2, 8, 8, {}},
        {2, 1, 1, 0, 2, 0, 0, {}},           {0, 3, 3, 1, 1, 0, 0, {9, 9, 9}},
        {0, 4, 4, 1, 1, 0, 0, {5, 5, 5, 5}}, {1, 3, 3, 1, 1, 7, 8, {17, 17, 17}},
        {1, 4, 3, 1, 1, 4, 7, {2, 2, 2, 2}},
    };
    auto head = [](const HuegridLut* t) {
        return std::vector<int32_t>{t->kind,       t->inChannels,  t->outChannels,
                                    t->inSpace,    t->outSpace,    t->hasGrid,
                                    t->sampleSize, t->inPixelSize, t->outPixelSize};
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &k - cases);
        Shape shape;
        shape.kind = k.kind, shape.inChannels = k.in, shape.outChannels = k.out;
        shape.hasGrid = k.grid, shape.inSpace = k.inSpace, shape.outSpace = k.outSpace;
        shape.sampleSize = shape.inPixelSize = shape.outPixelSize = k.sample;
        for (int c = 0; c < 4; ++c) shape.gridPoints[c] = k.points[c] ? k.points[c] : 5;
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        const std::vector<uint32_t> samples = Samples(t);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(WriteToMemory(t, &bytes), 0);
        EXPECT_EQ(Samples(t), samples) << "writing changed the table";

        HuegridLut* back = nullptr;
        ASSERT_EQ(ReadFromMemory(bytes, &back), 0);
        EXPECT_EQ(HgCheckLut(back), 0);
        EXPECT_EQ(head(back), head(t));
        EXPECT_EQ(Samples(back), samples);
        for (int c = 0; c < t->inChannels && t->hasGrid && t->inChannels > 1; ++c)
            EXPECT_EQ(Nodes(back, c), Nodes(t, c)) << "channel " << c;
        // The derived tables of the table read back give the reference's pixels.
        huegrid_testing::CheckTable(rng_, back, 300);
        HgFreeLut(back);
        HgFreeLut(t);
    }
}

TEST_F(StreamTest, DiskFilesWorkLikeMemoryFiles) {
    Shape shape;
    shape.sampleSize = 2;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    const std::string path = root_ + "/grid.hg";
    FLSpec spec;
    FLSpecDisk(&spec, path.c_str());
    ASSERT_EQ(HgWriteStream(t, &spec), 0);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(WriteToMemory(t, &bytes), 0);
    const std::string disk = testing_support::ReadFile(path);
    EXPECT_EQ(std::vector<uint8_t>(disk.begin(), disk.end()), bytes);
    HuegridLut* back = nullptr;
    ASSERT_EQ(HgReadStream(&back, &spec), 0);
    EXPECT_EQ(Samples(back), Samples(t));
    HgFreeLut(back);
    FLSpecDisk(&spec, (root_ + "/missing/grid.hg").c_str());
    EXPECT_EQ(HgWriteStream(t, &spec), -4);
    EXPECT_EQ(HgReadStream(&back, &spec), -4);
    HgFreeLut(t);
}

TEST_F(StreamTest, BadHeadersAreRefusedWithTheirCodes) {
    Shape shape;
    for (int c = 0; c < 3; ++c) shape.gridPoints[c] = 3;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    const std::vector<uint8_t> kind2 = PlainStream(t);
    HgFreeLut(t);
    shape.kind = 0;
    t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    const std::vector<uint8_t> kind0 = PlainStream(t);
    HgFreeLut(t);

    auto with = [](std::vector<uint8_t> plain,
                   std::initializer_list<std::pair<size_t, uint8_t>> changes) {
        for (auto [at, v] : changes) plain[at] = v;
        return plain;
    };
    ExpectRead(kind2, 0, "valid kind 2");
    ExpectRead(kind0, 0, "valid kind 0");
    ExpectRead(with(kind2, {{0, 18}}), -8, "magic");
    ExpectRead(with(kind2, {{1, '6'}}), -8, "magic 2");
    ExpectRead(with(kind2, {{8, 3}}), -8, "kind");
    ExpectRead(with(kind2, {{2, 2}}), -8, "two input channels");
    ExpectRead(with(kind2, {{3, 5}}), -8, "five output channels");
    ExpectRead(with(kind2, {{4, 1}}), -8, "one grid point");
    ExpectRead(with(kind2, {{9, 0}}), -8, "space 0");
    ExpectRead(with(kind2, {{10, 6}}), -8, "space 6");
    ExpectRead(with(kind2, {{11, 2}}), -8, "grid flag");
    ExpectRead(with(kind2, {{12, 1}}), -8, "sample flags differ");
    ExpectRead(with(kind2, {{12, 2}, {13, 2}}), -8, "sample flag 2");
    for (size_t at : {14u, 64u, 127u})
        ExpectRead(with(kind2, {{at, 1}}), -8, "reserved " + std::to_string(at));
    ExpectRead(with(kind2, {{10, 4}}), -1, "RGB channels with a CMYK space");
    ExpectRead(with(kind2, {{129, 0}}), -1, "nodes not increasing");
    ExpectRead(with(kind0, {{2, 1}}), -8, "kind 0 with one channel");
    ExpectRead(with(kind0, {{5, 5}}), -8, "grid code 5");
    ExpectRead(with(kind0, {{5, 2}}), -9, "grid codes differ");
    ExpectRead(with(kind0, {{8, 1}, {9, 5}, {10, 1}}), -8, "kind 1 with grey");
    ExpectRead(with(kind0, {{8, 1}, {9, 7}, {10, 8}}), 0, "kind 1 with spaces 7 and 8");
    ExpectRead(with(kind0, {{8, 1}, {9, 4}, {10, 1}}), -1, "kind 1, three channels in CMYK");
    // Kinds 0 and 1 do not look at the bytes that kind 2 uses for flags.
    ExpectRead(with(kind0, {{11, 9}, {12, 3}, {40, 1}}), 0, "kind 0 ignores the rest");
}

TEST_F(StreamTest, OlderKindsAndWideAxesGetTheirNodesFromTheHeader) {
    // Kind 0 with grid code 4: 17 uniform nodes.
    Shape shape;
    shape.kind = 0;
    for (int c = 0; c < 3; ++c) shape.gridPoints[c] = 3;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    std::vector<uint8_t> plain = PlainStream(t);
    HgFreeLut(t);
    for (int c = 0; c < 3; ++c) plain[4 + size_t(c)] = 4;
    plain.resize(128 + 17 * 17 * 17 * 3, 9);
    Scramble(&plain);
    ASSERT_EQ(ReadFromMemory(plain, &t), 0);
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < 16; ++i) expected.push_back(16 * i);
    expected.push_back(255);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Nodes(t, c), expected);
    HgFreeLut(t);

    // Kind 2 with 256 nodes on an axis: the header byte is 0 (the round trip reads it back).
    Shape wide;
    wide.gridPoints[1] = 256;
    t = MakeRandomTable(rng_, wide);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(PlainStream(t)[5], 0);
    HgFreeLut(t);
}

TEST_F(StreamTest, TruncatedStreamsFailCleanly) {
    Shape shape;
    shape.sampleSize = 2;
    shape.inChannels = 4;
    for (int c = 0; c < 4; ++c) shape.gridPoints[c] = 3;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(WriteToMemory(t, &bytes), 0);
    HgFreeLut(t);
    // Every length inside the header and node tables, then a spread through the samples.
    std::vector<size_t> lengths;
    for (size_t n = 1; n < 160; ++n) lengths.push_back(n);
    for (size_t n = 160; n < bytes.size(); n += 41) lengths.push_back(n);
    lengths.push_back(bytes.size() - 1);
    for (size_t n : lengths) {
        // An exact-size copy, so that any read past the end is caught by the sanitizer.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + ptrdiff_t(n));
        HuegridLut* back = reinterpret_cast<HuegridLut*>(this);
        ASSERT_EQ(ReadFromMemory(cut, &back), -5) << n << " bytes";
        ASSERT_EQ(back, nullptr);
    }
}

TEST_F(StreamTest, AHostileHeaderCannotMakeTheReaderAllocateLots) {
    // Four axes of 256 nodes of 16-bit samples would be 32 GiB; the stream holds a few bytes.
    std::vector<uint8_t> plain(128 + 4096, 0);
    const uint8_t head[14] = {19, '5', 4, 4, 0, 0, 0, 0, 2, 4, 4, 1, 1, 1};
    std::copy(head, head + 14, plain.begin());
    // Valid node tables, so that the reader gets as far as the samples.
    for (size_t i = 0; i < 4 * 256; ++i) {
        const uint16_t v = uint16_t((i % 256) * 257);
        plain[128 + 2 * i] = uint8_t(v >> 8);
        plain[128 + 2 * i + 1] = uint8_t(v);
    }
    Scramble(&plain);
    const uint32_t peak = ul_maxTotal, total = ul_total;
    ul_maxTotal = total;  // measure this read's peak alone
    HuegridLut* t = nullptr;
    EXPECT_EQ(ReadFromMemory(plain, &t), -5);
    EXPECT_EQ(t, nullptr);
    EXPECT_LT(ul_maxTotal - total, 1u << 20);
    ul_maxTotal = std::max(ul_maxTotal, peak);
}

TEST_F(StreamTest, TheWriterRefusesWhatItCannotWrite) {
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, 1, 1, 1, 2, 1), 0);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(WriteToMemory(t, &bytes), -1);  // no nodes, no samples
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), ptrdiff_t(bytes.size()));
    HgFreeLut(t);

    t = MakeRandomTable(rng_, Shape());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WriteToMemory(t, &bytes, 100), -6);  // the header does not fit
    EXPECT_EQ(WriteToMemory(t, &bytes, 200), -6);  // the samples do not fit
    FLSpec spec;
    FLSpecMemory(&spec, bytes.data(), 100);
    EXPECT_EQ(HgWriteStream(nullptr, &spec), -1);
    EXPECT_EQ(HgWriteStream(t, nullptr), -1);
    EXPECT_EQ(HgReadStream(nullptr, &spec), -1);
    HuegridLut* back = nullptr;
    EXPECT_EQ(HgReadStream(&back, nullptr), -1);
    HgFreeLut(t);
}

}  // namespace
