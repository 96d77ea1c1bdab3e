// Building a Huegrid on several threads: the same grid, byte for byte, for any thread count, from
// a record whose toning curve is not made yet; and every refused memory request of a threaded
// build either fails the build cleanly or, when only the pool was refused, gives the same grid.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/huegrid_build.h"
#include "platform/mem.h"
#include "tests/engine/chain_test_support.h"
#include "tests/platform/mem_failure.h"
#include "tests/platform/test_support.h"

namespace {

// What a build produced: the node positions and the grid's samples.
std::vector<uint8_t> Bytes(const Huegrid* grid) {
    const HuegridLut* t = grid->lut;
    std::vector<uint8_t> bytes;
    size_t elements = size_t(t->outChannels);
    for (int32_t c = 0; c < t->inChannels; ++c) {
        const HgInputChannel& in = t->input[c];
        const auto* nodes = reinterpret_cast<const uint8_t*>(in.nodes);
        bytes.insert(bytes.end(), nodes, nodes + sizeof(in.nodes));
        elements *= size_t(in.gridPoints);
    }
    const auto* samples = static_cast<const uint8_t*>(t->grid);
    bytes.insert(bytes.end(), samples, samples + elements * size_t(t->sampleSize));
    return bytes;
}

class HuegridBuildThreads : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        blocksAtStart_ = ul_nMallocs;
        // Every stage, with the toning curve still to be made at the first colour that needs it.
        chain_testing::StrongPars(&pars_);
        ASSERT_NE(pars_.toneColor[0], pars_.toneCurveFor[0]);
    }
    void TearDown() override {
        EXPECT_EQ(ul_nMallocs, blocksAtStart_) << "blocks not freed";
        PlatformTest::TearDown();
    }
    // The grid of a fresh copy of the record on threads threads (1: HgBuild itself), and the
    // record as the build left it.
    std::vector<uint8_t> Build(int32_t mask, int32_t quality, int32_t depth, int32_t threads,
                               EditPars* after = nullptr) {
        EditPars p = pars_;
        Huegrid* grid = nullptr;
        const int32_t status = threads == 1 ? HgBuild(&p, mask, quality, depth, &grid)
                                            : HgBuildOn(&p, mask, quality, depth, threads, &grid);
        EXPECT_EQ(status, 0);
        if (grid == nullptr) return {};
        std::vector<uint8_t> bytes = Bytes(grid);
        HgFree(grid);
        if (after != nullptr) *after = p;
        return bytes;
    }
    EditPars pars_;
    uint32_t blocksAtStart_ = 0;
};

TEST_F(HuegridBuildThreads, AnyNumberOfThreadsBuildsTheSameGrid) {
    struct Case {
        int32_t mask, quality, depth;
    };
    // Every stage at the default level and at a small one; the mixing stages alone (toning is
    // made inside them); the channel stages alone.
    const Case cases[] = {
        {0xFFFF, 7, 1}, {0xFFFF, 7, 2}, {0xFFFF, 1, 2}, {kEditMaskAllHues, 4, 1}, {0x00FF, 7, 2}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mask " << k.mask << " quality " << k.quality << " depth " << k.depth);
        EditPars alone;
        const std::vector<uint8_t> want = Build(k.mask, k.quality, k.depth, 1, &alone);
        ASSERT_FALSE(want.empty());
        for (int32_t threads : {2, 3, 8, 64}) {
            EditPars after;
            EXPECT_TRUE(Build(k.mask, k.quality, k.depth, threads, &after) == want)
                << threads << " threads";
            // The record is left as the single thread leaves it: the toning curve made once.
            EXPECT_EQ(std::memcmp(after.toneCurve, alone.toneCurve, sizeof(alone.toneCurve)), 0);
            EXPECT_EQ(
                std::memcmp(after.toneCurveFor, alone.toneCurveFor, sizeof(alone.toneCurveFor)), 0);
        }
    }
}

TEST_F(HuegridBuildThreads, EveryMemoryFailureFailsTheBuildOrOnlyCostsThePool) {
    const std::vector<uint8_t> want = Build(0xFFFF, 3, 1, 1);
    int32_t failures = 0, poolOnly = 0;
    for (int32_t n = 1; n < 100; ++n) {
        EditPars p = pars_;
        Huegrid* grid = nullptr;
        testing_support::FailAllocationAfter(n);
        const int32_t status = HgBuildOn(&p, 0xFFFF, 3, 1, 3, &grid);
        const bool failed = testing_support::AllocationFailed();
        testing_support::FailAllocationAfter(0);
        if (!failed) {
            ASSERT_EQ(status, 0);
            EXPECT_TRUE(Bytes(grid) == want);
            HgFree(grid);
            break;
        }
        ++failures;
        if (status == 0) {
            // The pool's record or its locks: the slices ran on this thread alone.
            ++poolOnly;
            EXPECT_TRUE(Bytes(grid) == want) << "request " << n;
            HgFree(grid);
            continue;
        }
        EXPECT_EQ(status, kStatusNoMemory) << "request " << n;
        EXPECT_EQ(grid, nullptr);
    }
    EXPECT_GT(failures, 3);  // the table, its input and output tables, the grid, the pool
    EXPECT_GE(poolOnly, 1);
}

}  // namespace
