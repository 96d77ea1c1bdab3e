// The Huegrid table: which shapes may be created, node positions and their refusals, entries,
// pixel sizes and the consistency check.
#include <random>
#include <vector>

#include "engine/huegrid.h"
#include "platform/mem.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using huegrid_testing::ApplyOne;
using huegrid_testing::CheckTable;
using huegrid_testing::MakeRandomTable;
using huegrid_testing::Shape;

class HuegridTest : public huegrid_testing::EngineTest {
   protected:
    std::mt19937 rng_{97};
};

TEST_F(HuegridTest, CreateAcceptsOnlyWhatEachKindAllows) {
    struct Case {
        int32_t in, out, inSpace, outSpace, grid, kind, sample, expected;
    };
    // Refused: a grid flag, kind or sample size out of range; curves with differing channel
    // counts or spaces; 16-bit kinds 0 and 1; CMYK with three channels; two channels; an
    // unknown space. Not implemented: kind 1 with grey or curves, kind 0 with spaces 7 or 8 or
    // curves.
    const Case cases[] = {
        {3, 3, 1, 1, 1, 2, 1, 0},  {3, 3, 1, 1, 1, 2, 2, 0},  {4, 3, 4, 1, 1, 2, 2, 0},
        {1, 3, 5, 1, 1, 2, 1, 0},  {1, 1, 5, 5, 0, 2, 2, 0},  {3, 3, 7, 8, 1, 1, 1, 0},
        {4, 4, 4, 4, 1, 0, 1, 0},  {3, 3, 1, 1, 0, 2, 1, 0},  {4, 4, 4, 4, 0, 2, 1, 0},
        {3, 3, 1, 1, 2, 2, 1, -1}, {3, 3, 1, 1, 1, 3, 1, -1}, {3, 3, 1, 1, 1, -1, 1, -1},
        {3, 4, 1, 4, 0, 2, 1, -1}, {3, 3, 1, 7, 0, 2, 1, -1}, {3, 3, 1, 1, 1, 2, 3, -1},
        {3, 3, 1, 1, 1, 1, 2, -1}, {3, 3, 4, 1, 1, 2, 1, -1}, {2, 3, 1, 1, 1, 2, 1, -1},
        {3, 3, 6, 1, 1, 2, 1, -1}, {1, 3, 5, 1, 1, 1, 1, -9}, {3, 3, 1, 1, 0, 1, 1, -9},
        {3, 3, 7, 1, 1, 0, 1, -9}, {3, 3, 1, 8, 1, 0, 1, -9}, {3, 3, 1, 1, 0, 0, 1, -9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        HuegridLut* t = reinterpret_cast<HuegridLut*>(&rng_);  // must be cleared on failure
        EXPECT_EQ(HgCreateLut(&t, c.in, c.out, c.inSpace, c.outSpace, c.grid, c.kind, c.sample),
                  c.expected);
        if (c.expected == 0) {
            HgFreeLut(t);
        } else {
            EXPECT_EQ(t, nullptr);
        }
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

    // Kinds 0 and 1: one uniform 2^k + 1 size for every axis, positions ignored.
    ASSERT_EQ(HgCreateLut(&t, 3, 4, 1, 4, 1, 0, 1), 0);
    const uint8_t ignored[3] = {0, 1, 255};
    ASSERT_EQ(HgSetNodes(t, 0, 3, ignored), 0);
    EXPECT_EQ(std::vector<uint16_t>(t->input[0].nodes, t->input[0].nodes + 3),
              (std::vector<uint16_t>{0, 128, 255}));
    EXPECT_EQ(HgSetNodes(t, 1, 9, nullptr), -9);  // differs from channel 0
    EXPECT_EQ(HgSetNodes(t, 1, 4, nullptr), -9);
    EXPECT_EQ(HgSetNodes(t, 1, 33, nullptr), -9);
    EXPECT_EQ(HgSetNodes(t, 1, 3, nullptr), 0);
    HgFreeLut(t);
}

TEST_F(HuegridTest, EntriesNeedNodesAndStayInsideTheGrid) {
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, 1, 1, 1, 2, 1), 0);
    const uint8_t values[3] = {1, 2, 3}, nodes[3] = {0, 100, 255}, two[2] = {0, 255};
    ASSERT_EQ(HgSetNodes(t, 0, 3, nodes), 0);
    EXPECT_EQ(HgSetEntry(t, 0, values), -2);  // channels 1 and 2 have no nodes yet
    EXPECT_EQ(t->grid, nullptr);
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
        // The size first: nothing can be tabulated yet, and nothing rebuilds the tables later
        // but the node changes themselves.
        EXPECT_EQ(HgSetPixelSize(t, kHgSideInput, inSize), -2);
        for (auto [c, n] : {std::pair{2, 4}, {1, 6}, {0, 3}, {0, 5}}) {  // 5: a new count
            std::vector<uint16_t> nodes = huegrid_testing::RandomNodes(rng_, n, 255);
            std::vector<uint8_t> bytes(nodes.begin(), nodes.end());
            ASSERT_EQ(HgSetNodes(t, c, n, bytes.data()), 0);
        }
        for (uint32_t i = 0; i < 5 * 6 * 4; ++i) {
            const uint8_t v[3] = {uint8_t(rng_()), uint8_t(rng_()), uint8_t(rng_())};
            ASSERT_EQ(HgSetEntry(t, i, v), 0);
        }
        CheckTable(rng_, t, 300);
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
    // A table switched through every pair of sizes and back gives the reference's results at
    // every stop; the 1-D tables follow the output size too.
    for (int32_t layout = 0; layout < 3; ++layout) {
        Shape shape;
        shape.hasGrid = layout == 2 ? 0 : 1;
        shape.inChannels = layout == 1 ? 1 : 3;
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        for (int32_t step = 0; step < 5; ++step) {
            ASSERT_EQ(HgSetPixelSize(t, kHgSideInput, 1 + (step & 1)), 0);
            ASSERT_EQ(HgSetPixelSize(t, kHgSideOutput, 1 + ((step >> 1) & 1)), 0);
            ASSERT_EQ(HgCheckLut(t), 0);
            CheckTable(rng_, t, 100);
        }
        EXPECT_EQ(HgSetPixelSize(t, kHgSideInput, 3), -1);
        EXPECT_EQ(HgSetPixelSize(t, 2, 1), -1);
        EXPECT_EQ(HgSetRange(t, kHgSideInput, 0, 7, 7), -1);
        EXPECT_EQ(HgSetRange(t, kHgSideOutput, 3, 0, 255), -1);
        HgFreeLut(t);
    }
}

// Damages one field, expects the check to refuse the table, and mends it again.
template <typename T, typename V>
void ExpectRefusedWith(HuegridLut* t, T* field, V damaged, const char* what) {
    const T kept = *field;
    *field = T(damaged);
    EXPECT_EQ(HgCheckLut(t), -1) << what;
    *field = kept;
    ASSERT_EQ(HgCheckLut(t), 0) << what;
}

TEST_F(HuegridTest, CheckRefusesIncompleteOrInconsistentTables) {
    Shape shape;
    shape.inPixelSize = 2;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    ExpectRefusedWith(t, &t->grid, nullptr, "no samples");
    ExpectRefusedWith(t, &t->kind, 3, "kind");
    ExpectRefusedWith(t, &t->outPixelSize, 0, "pixel size");
    ExpectRefusedWith(t, &t->outSpace, 4, "space");
    ExpectRefusedWith(t, &t->round, 4194304, "constants");
    ExpectRefusedWith(t, &t->input[1].nodes[1], 0, "nodes");
    ExpectRefusedWith(t, &t->input[2].nodes[t->input[2].gridPoints - 1], 254, "last node");
    ExpectRefusedWith(t, &t->input[0].cellOf16, nullptr, "cell table");
    ExpectRefusedWith(t, &t->input[2].frac, nullptr, "fractions");
    ExpectRefusedWith(t, &t->output[0].table, nullptr, "output table");
    t->kind = 0;
    ExpectRefusedWith(t, &t->inSpace, 7, "kind 0 with space 7");
    t->kind = 2;
    HgFreeLut(t);
    EXPECT_EQ(HgCheckLut(nullptr), -1);

    // Curves: the 1-D tables must be the ones the sizes call for.
    shape.hasGrid = 0;
    shape.outPixelSize = 2;
    t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t->input[0].cellOf16, nullptr);  // two steps: 8-bit samples, 16-bit pixels
    EXPECT_NE(t->input[0].frac, nullptr);
    ExpectRefusedWith(t, &t->input[1].cellOf16, nullptr, "first step");
    ExpectRefusedWith(t, &t->input[0].gridPoints, 65536, "length");
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
    uint32_t px[4] = {}, out[4];
    EXPECT_EQ(ApplyOne(t, px, out), -1);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t v[3] = {uint8_t(i), uint8_t(255 - i), 7};
        ASSERT_EQ(HgSetEntry(t, i, v), 0);
    }
    ASSERT_EQ(HgSetPixelSize(t, kHgSideOutput, 2), 0);
    EXPECT_EQ(HgCheckLut(t), 0);
    px[0] = 255;
    ASSERT_EQ(ApplyOne(t, px, out), 0);
    EXPECT_TRUE(out[0] == 65535 && out[1] == 65535);
    HgFreeLut(t);
}

}  // namespace
