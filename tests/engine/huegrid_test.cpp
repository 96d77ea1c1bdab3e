// The Huegrid table: which shapes may be created, node positions and their refusals, entries,
// pixel sizes and the consistency check.
#include <cstring>
#include <random>
#include <vector>

#include "engine/huegrid.h"
#include "engine/huegrid_kernels.h"
#include "platform/mem.h"
#include "tests/engine/huegrid_reference.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using huegrid_testing::EngineTest;
using huegrid_testing::MakeRandomTable;
using huegrid_testing::Shape;

class HuegridTest : public EngineTest {
   protected:
    std::mt19937 rng_{97};
};

TEST_F(HuegridTest, CreateAcceptsOnlyWhatEachKindAllows) {
    struct Case {
        int32_t in, out, inSpace, outSpace, grid, kind, sample, expected;
    };
    const Case cases[] = {
        {3, 3, 1, 1, 1, 2, 1, 0},   {3, 3, 1, 1, 1, 2, 2, 0}, {4, 3, 4, 1, 1, 2, 2, 0},
        {1, 3, 5, 1, 1, 2, 1, 0},   {1, 1, 5, 5, 0, 2, 2, 0}, {3, 3, 7, 8, 1, 1, 1, 0},
        {4, 4, 4, 4, 1, 0, 1, 0},   {3, 3, 1, 1, 0, 2, 1, 0}, {4, 4, 4, 4, 0, 2, 1, 0},
        {3, 3, 1, 1, 2, 2, 1, -1},   // grid flag
        {3, 3, 1, 1, 1, 3, 1, -1},   // kind
        {3, 3, 1, 1, 1, -1, 1, -1},  // kind
        {3, 4, 1, 4, 0, 2, 1, -1},   // curves need equal channel counts
        {3, 3, 1, 7, 0, 2, 1, -1},   // and equal spaces
        {3, 3, 1, 1, 1, 2, 3, -1},   // sample size
        {3, 3, 1, 1, 1, 1, 2, -1},   // kinds 0 and 1 are 8-bit only
        {3, 3, 4, 1, 1, 2, 1, -1},   // CMYK is four channels
        {2, 3, 1, 1, 1, 2, 1, -1},   // no two-channel tables
        {3, 3, 6, 1, 1, 2, 1, -1},   // unknown space
        {1, 3, 5, 1, 1, 1, 1, -9},   // kind 1 has no grey
        {3, 3, 1, 1, 0, 1, 1, -9},   // kind 1 has no curves
        {3, 3, 7, 1, 1, 0, 1, -9},   // kind 0 has neither 7 nor 8
        {3, 3, 1, 8, 1, 0, 1, -9},   //
        {3, 3, 1, 1, 0, 0, 1, -9},   // kind 0 has no curves
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.in << "->" << c.out << " spaces " << c.inSpace << "," << c.outSpace
                     << " grid " << c.grid << " kind " << c.kind << " sample " << c.sample);
        HuegridLut* t = reinterpret_cast<HuegridLut*>(&rng_);  // must be cleared on failure
        EXPECT_EQ(HgCreateLut(&t, c.in, c.out, c.inSpace, c.outSpace, c.grid, c.kind, c.sample),
                  c.expected);
        if (c.expected != 0) {
            EXPECT_EQ(t, nullptr);
            t = nullptr;
        }
        HgFreeLut(t);
    }
    EXPECT_EQ(HgCreateLut(nullptr, 3, 3, 1, 1, 1, 2, 1), -1);
    EXPECT_EQ(HgFreeLut(nullptr), 0);
}

TEST_F(HuegridTest, BadNodesAreRefusedAndTheOldOnesKept) {
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, 1, 1, 1, 2, 1), 0);
    const uint8_t good[4] = {0, 60, 200, 255};
    ASSERT_EQ(HgSetNodes(t, 1, 4, good), 0);
    const uint8_t flat[4] = {0, 60, 60, 255}, down[4] = {0, 200, 60, 255},
                  late[4] = {1, 60, 200, 255}, short_[4] = {0, 60, 200, 254};
    for (const uint8_t* bad : {flat, down, late, short_}) EXPECT_EQ(HgSetNodes(t, 1, 4, bad), -1);
    EXPECT_EQ(HgSetNodes(t, 1, 1, good), -1);
    EXPECT_EQ(HgSetNodes(t, 1, 257, good), -1);
    EXPECT_EQ(HgSetNodes(t, 3, 4, good), -1);
    EXPECT_EQ(HgSetNodes(t, -1, 4, good), -1);
    EXPECT_EQ(HgSetNodes(t, 1, 4, nullptr), -1);
    EXPECT_EQ(HgSetNodes(nullptr, 1, 4, good), -1);
    EXPECT_EQ(t->input[1].gridPoints, 4);
    EXPECT_EQ(std::vector<uint16_t>(t->input[1].nodes, t->input[1].nodes + 4),
              (std::vector<uint16_t>{0, 60, 200, 255}));
    HgFreeLut(t);

    // 16-bit samples: the last node is 65535.
    ASSERT_EQ(HgCreateLut(&t, 3, 3, 1, 1, 1, 2, 2), 0);
    const uint16_t wide[3] = {0, 300, 65535}, narrow[3] = {0, 300, 255};
    EXPECT_EQ(HgSetNodes(t, 0, 3, wide), 0);
    EXPECT_EQ(HgSetNodes(t, 0, 3, narrow), -1);
    HgFreeLut(t);
}

TEST_F(HuegridTest, OlderKindsTakeOneUniformSizeForEveryAxis) {
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 4, 1, 4, 1, 0, 1), 0);
    const uint8_t ignored[3] = {0, 1, 255};
    ASSERT_EQ(HgSetNodes(t, 0, 3, ignored), 0);
    EXPECT_EQ(std::vector<uint16_t>(t->input[0].nodes, t->input[0].nodes + 3),
              (std::vector<uint16_t>{0, 128, 255}));
    EXPECT_EQ(HgSetNodes(t, 1, 9, nullptr), -9);  // differs from channel 0
    EXPECT_EQ(HgSetNodes(t, 1, 4, nullptr), -9);  // not 2^k + 1
    EXPECT_EQ(HgSetNodes(t, 1, 33, nullptr), -9);
    EXPECT_EQ(HgSetNodes(t, 1, 3, nullptr), 0);
    HgFreeLut(t);
}

TEST_F(HuegridTest, EntriesNeedNodesAndStayInsideTheGrid) {
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, 1, 1, 1, 2, 1), 0);
    const uint8_t values[3] = {1, 2, 3};
    const uint8_t nodes[3] = {0, 100, 255};
    ASSERT_EQ(HgSetNodes(t, 0, 3, nodes), 0);
    EXPECT_EQ(HgSetEntry(t, 0, values), -2);  // channels 1 and 2 have no nodes yet
    EXPECT_EQ(t->grid, nullptr);
    ASSERT_EQ(HgSetNodes(t, 1, 2, nodes), -1);  // {0, 100}: does not end at 255
    const uint8_t two[2] = {0, 255};
    ASSERT_EQ(HgSetNodes(t, 1, 2, two), 0);
    ASSERT_EQ(HgSetNodes(t, 2, 2, two), 0);
    EXPECT_EQ(HgSetEntry(t, 12, values), -1);  // 3 x 2 x 2 nodes
    EXPECT_EQ(HgSetEntry(t, 11, nullptr), -1);
    ASSERT_EQ(HgSetEntry(t, 11, values), 0);
    EXPECT_EQ(static_cast<uint8_t*>(t->grid)[33], 1);
    EXPECT_EQ(static_cast<uint8_t*>(t->grid)[35], 3);
    // Once samples are stored their layout is fixed: a new node count would misplace them.
    const uint8_t four[4] = {0, 10, 20, 255};
    EXPECT_EQ(HgSetNodes(t, 2, 4, four), -1);
    EXPECT_EQ(HgSetNodes(t, 2, 2, two), 0);  // the same count is fine
    HgFreeLut(t);
}

TEST_F(HuegridTest, NodesMayBeSetInAnyOrder) {
    // The cell offsets of a channel depend on the node counts of the channels before it, so
    // setting (or changing) an earlier channel must rebuild the later ones.
    for (int32_t inSize = 1; inSize <= 2; ++inSize) {
        HuegridLut* t = nullptr;
        ASSERT_EQ(HgCreateLut(&t, 3, 3, 1, 1, 1, 2, 1), 0);
        auto set = [&](int32_t c, int32_t n) {
            std::vector<uint16_t> nodes = huegrid_testing::RandomNodes(rng_, n, 255);
            std::vector<uint8_t> bytes(nodes.begin(), nodes.end());
            ASSERT_EQ(HgSetNodes(t, c, n, bytes.data()), 0);
        };
        // The size first: nothing can be tabulated yet, and nothing rebuilds the tables later
        // but the node changes themselves.
        EXPECT_EQ(HgSetPixelSize(t, kHgSideInput, inSize), -2);
        set(2, 4);
        set(1, 6);
        set(0, 3);
        set(0, 5);  // a new count before any sample is stored
        for (uint32_t i = 0; i < 5 * 6 * 4; ++i) {
            const uint8_t v[3] = {uint8_t(rng_()), uint8_t(rng_()), uint8_t(rng_())};
            ASSERT_EQ(HgSetEntry(t, i, v), 0);
        }
        for (int32_t trial = 0; trial < 300; ++trial) {
            uint16_t px[3];
            for (auto& v : px) v = uint16_t(rng_() % (inSize == 2 ? 65536 : 256));
            uint8_t px8[3] = {uint8_t(px[0]), uint8_t(px[1]), uint8_t(px[2])}, out[3];
            const void* in[4];
            for (int c = 0; c < 3; ++c) {
                in[c] = inSize == 2 ? static_cast<const void*>(&px[c])
                                    : static_cast<const void*>(&px8[c]);
            }
            in[3] = nullptr;
            void* outs[4] = {&out[0], &out[1], &out[2], nullptr};
            ASSERT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), 0);
            uint32_t p[4] = {px[0], px[1], px[2], 0}, expected[4];
            huegrid_reference::ApplyPixel(*t, p, expected);
            for (int k = 0; k < 3; ++k) ASSERT_EQ(out[k], expected[k]);
        }
        HgFreeLut(t);
    }
}

TEST_F(HuegridTest, TooLargeGridsAreRefusedBeforeAllocating) {
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 4, 4, 4, 4, 1, 2, 2), 0);
    std::vector<uint16_t> nodes(256);
    for (int i = 0; i < 256; ++i) nodes[i] = uint16_t(i * 257);
    for (int c = 0; c < 4; ++c) ASSERT_EQ(HgSetNodes(t, c, 256, nodes.data()), 0);
    const uint16_t values[4] = {};
    const uint32_t peak = ul_maxTotal;
    EXPECT_EQ(HgSetEntry(t, 0, values), -3);  // 4 x 256^4 samples of 2 bytes
    EXPECT_EQ(ul_maxTotal, peak);
    HgFreeLut(t);
}

TEST_F(HuegridTest, PixelSizesRebuildTheTablesForEveryLayout) {
    // A table applied at one set of sizes, switched through the others and back, gives the
    // reference's results at every stop; the 1-D tables follow the output size too.
    for (int32_t layout = 0; layout < 3; ++layout) {
        Shape shape;
        shape.hasGrid = layout == 2 ? 0 : 1;
        shape.inChannels = layout == 1 ? 1 : 3;
        shape.sampleSize = 1;
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        for (int32_t step = 0; step < 5; ++step) {
            const int32_t inSize = 1 + (step & 1), outSize = 1 + ((step >> 1) & 1);
            ASSERT_EQ(HgSetPixelSize(t, kHgSideInput, inSize), 0);
            ASSERT_EQ(HgSetPixelSize(t, kHgSideOutput, outSize), 0);
            ASSERT_EQ(HgCheckLut(t), 0);
            const uint32_t maxCode = inSize == 2 ? 65535 : 255;
            for (uint32_t x : {0u, 1u, maxCode / 3, maxCode - 1, maxCode}) {
                uint16_t px16[4] = {uint16_t(x), uint16_t(maxCode - x), uint16_t(x / 2), 0};
                uint8_t px8[4] = {uint8_t(px16[0]), uint8_t(px16[1]), uint8_t(px16[2]), 0};
                uint16_t out16[4] = {};
                uint8_t out8[4] = {};
                const void* in[4];
                void* out[4];
                for (int c = 0; c < 4; ++c) {
                    in[c] = inSize == 2 ? static_cast<const void*>(&px16[c])
                                        : static_cast<const void*>(&px8[c]);
                    out[c] =
                        outSize == 2 ? static_cast<void*>(&out16[c]) : static_cast<void*>(&out8[c]);
                }
                ASSERT_EQ(HgApplyRow(t, 1, in, 1, out, 1), 0);
                uint32_t p[4] = {px16[0], px16[1], px16[2], 0}, expected[4] = {};
                huegrid_reference::ApplyPixel(*t, p, expected);
                for (int k = 0; k < 3; ++k)
                    EXPECT_EQ(outSize == 2 ? out16[k] : out8[k], expected[k]);
            }
        }
        EXPECT_EQ(HgSetPixelSize(t, kHgSideInput, 3), -1);
        EXPECT_EQ(HgSetPixelSize(t, 2, 1), -1);
        EXPECT_EQ(HgSetRange(t, kHgSideInput, 0, 7, 7), -1);
        EXPECT_EQ(HgSetRange(t, kHgSideOutput, 3, 0, 255), -1);
        HgFreeLut(t);
    }
}

TEST_F(HuegridTest, CheckRefusesIncompleteOrInconsistentTables) {
    Shape shape;
    shape.inPixelSize = 2;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(HgCheckLut(t), 0);
    // Each damage is undone before the next one.
    auto expectRefused = [&](const char* what, auto damage, auto repair) {
        damage();
        EXPECT_EQ(HgCheckLut(t), -1) << what;
        repair();
        ASSERT_EQ(HgCheckLut(t), 0) << what;
    };
    void* grid = t->grid;
    expectRefused(
        "no samples", [&] { t->grid = nullptr; }, [&] { t->grid = grid; });
    expectRefused(
        "kind", [&] { t->kind = 3; }, [&] { t->kind = 2; });
    expectRefused(
        "pixel size", [&] { t->outPixelSize = 0; }, [&] { t->outPixelSize = 1; });
    expectRefused(
        "space", [&] { t->outSpace = 4; }, [&] { t->outSpace = 1; });
    expectRefused(
        "constants", [&] { t->round = 4194304; }, [&] { t->round = 16384; });
    expectRefused(
        "kind 0 with space 7", [&] { t->kind = 0, t->inSpace = 7; },
        [&] { t->kind = 2, t->inSpace = 1; });
    uint16_t node = t->input[1].nodes[1];
    expectRefused(
        "nodes", [&] { t->input[1].nodes[1] = 0; }, [&] { t->input[1].nodes[1] = node; });
    int32_t last = t->input[2].gridPoints - 1;
    expectRefused(
        "last node", [&] { t->input[2].nodes[last] = 254; },
        [&] { t->input[2].nodes[last] = 255; });
    uint8_t* cells = t->input[0].cellOf16;
    expectRefused(
        "cell table", [&] { t->input[0].cellOf16 = nullptr; },
        [&] { t->input[0].cellOf16 = cells; });
    uint16_t* frac = t->input[2].frac;
    expectRefused(
        "fractions", [&] { t->input[2].frac = nullptr; }, [&] { t->input[2].frac = frac; });
    void* table = t->output[0].table;
    expectRefused(
        "output table", [&] { t->output[0].table = nullptr; }, [&] { t->output[0].table = table; });
    HgFreeLut(t);
    EXPECT_EQ(HgCheckLut(nullptr), -1);

    // Curves: the 1-D tables must be the ones the sizes call for.
    shape.hasGrid = 0;
    shape.inPixelSize = 2;
    shape.outPixelSize = 2;
    t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t->input[0].cellOf16, nullptr);  // two steps: 8-bit samples, 16-bit pixels
    EXPECT_NE(t->input[0].frac, nullptr);
    uint8_t* steps = t->input[1].cellOf16;
    expectRefused(
        "first step", [&] { t->input[1].cellOf16 = nullptr; },
        [&] { t->input[1].cellOf16 = steps; });
    expectRefused(
        "length", [&] { t->input[0].gridPoints = 65536; }, [&] { t->input[0].gridPoints = 256; });
    HgFreeLut(t);
}

TEST_F(HuegridTest, CurvesWithoutSamplesAreNotReady) {
    // Curve tables are computed from the samples; a table whose sizes were set before any
    // entry has nothing to apply yet.
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, 1, 1, 0, 2, 1), 0);
    for (int c = 0; c < 3; ++c) ASSERT_EQ(HgSetNodes(t, c, 0, nullptr), 0);
    EXPECT_EQ(HgSetPixelSize(t, kHgSideOutput, 2), 0);
    EXPECT_EQ(HgCheckLut(t), -1);
    uint8_t px[3] = {}, out[6] = {};
    const void* in[4] = {px, px + 1, px + 2, nullptr};
    void* outs[4] = {out, out + 2, out + 4, nullptr};
    EXPECT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), -1);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t v[3] = {uint8_t(i), uint8_t(255 - i), 7};
        ASSERT_EQ(HgSetEntry(t, i, v), 0);
    }
    ASSERT_EQ(HgSetPixelSize(t, kHgSideOutput, 2), 0);
    EXPECT_EQ(HgCheckLut(t), 0);
    px[0] = 255;
    ASSERT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), 0);
    uint16_t r, g;
    memcpy(&r, out, 2);
    memcpy(&g, out + 2, 2);
    EXPECT_EQ(r, 65535);
    EXPECT_EQ(g, 65535);
    HgFreeLut(t);
}

TEST_F(HuegridTest, TheHandleFollowsItsTablesDepth) {
    HuegridLut* t = MakeRandomTable(rng_, Shape());
    ASSERT_NE(t, nullptr);
    Huegrid* h = nullptr;
    EXPECT_EQ(HgCreate(nullptr, &h), -1);
    ASSERT_EQ(HgCreate(t, &h), 0);
    ASSERT_EQ(HgSetDepth(h, kHgSideOutput, 2), 0);
    EXPECT_EQ(h->outPixelSize, 2);
    EXPECT_EQ(HgCheckLut(t), 0);
    EXPECT_EQ(HgSetDepth(h, kHgSideInput, 5), -1);
    EXPECT_EQ(h->inPixelSize, 1);
    EXPECT_EQ(HgFree(h), 0);
    EXPECT_EQ(HgFree(nullptr), 0);
}

}  // namespace
