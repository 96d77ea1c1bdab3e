// The automatic settings' measurements on several threads: the histograms and the banded walk
// count exactly what one thread counts, for any thread count, with and without a selection, a
// sampling step and a Huegrid to look through; and a refused memory request fails the count
// cleanly (every block freed) or leaves it the same.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "engine/huegrid_build.h"
#include "engine/measure.h"
#include "platform/mem.h"
#include "platform/work_pool.h"
#include "tests/engine/chain_test_support.h"
#include "tests/platform/mem_failure.h"
#include "tests/platform/test_support.h"

namespace {

// An interleaved RGB image of smooth colour with noise, 8 or 16 bits.
struct Picture {
    std::vector<uint8_t> bytes;
    IPImage view = {};

    Picture(int32_t sampleBytes, int32_t width, int32_t height) {
        bytes.resize(size_t(width) * size_t(height) * 3 * size_t(sampleBytes));
        std::mt19937 rng(11);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                for (int32_t c = 0; c < 3; ++c) {
                    const int32_t v = (x * (c + 1) + y * (3 - c)) % 256 + int32_t(rng() % 17) - 8;
                    const uint32_t code = uint32_t(v < 0 ? 0 : (v > 255 ? 255 : v));
                    const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c);
                    if (sampleBytes == 1) {
                        bytes[at] = uint8_t(code);
                    } else {
                        const uint16_t wide = uint16_t(code * 257);
                        std::memcpy(&bytes[2 * at], &wide, 2);
                    }
                }
            }
        }
        view = {kIPKindColour, 3, sampleBytes, width, height, 72.0f, 3, width * 3, {}, nullptr};
        for (int32_t c = 0; c < 3; ++c) view.channel[c] = bytes.data() + c * sampleBytes;
    }
};

// A selection of the pixels on and inside a circle, its box reaching past the image's bottom.
struct Selection {
    std::vector<uint8_t> bits;
    IPMask mask = {};

    Selection(int32_t width, int32_t height) {
        const int32_t rowBytes = (width + 7) / 8;
        bits.assign(size_t(rowBytes) * size_t(height), 0);
        mask = {width, height, rowBytes, bits.data(), width + 1, -1, height + 1, -1};
        const int32_t cx = width / 2, cy = height * 2 / 3, r = height / 2;
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) IPMaskSet(&mask, x, y);
            }
        }
    }
};

// What a banded walk counts per band: pixels, and sums of positions and codes that would differ
// if a pixel were visited twice, missed, or seen through the wrong grid.
struct Tally {
    int64_t pixels = 0, positions = 0, codes = 0;
};

void Count(void* context, int32_t x, int32_t y, const int32_t rgb[3]) {
    auto* t = static_cast<Tally*>(context);
    ++t->pixels;
    t->positions += int64_t(x) * 7919 + y;
    t->codes += rgb[0] + 3 * rgb[1] + 5 * rgb[2];
}

// The three histograms and the tally of one walk, counted with pool (null: one thread).
struct Counts {
    uint32_t luma[256], saturation[256], hue[360];
    Tally tally;
    bool operator==(const Counts& o) const {
        return std::memcmp(luma, o.luma, sizeof luma) == 0 &&
               std::memcmp(saturation, o.saturation, sizeof saturation) == 0 &&
               std::memcmp(hue, o.hue, sizeof hue) == 0 && tally.pixels == o.tally.pixels &&
               tally.positions == o.tally.positions && tally.codes == o.tally.codes;
    }
};

int32_t Measure(WorkPool* pool, const IPImage* image, const IPMask* mask, int32_t level,
                const Huegrid* grid, Counts* out) {
    int32_t status = HgLumaHistogram(image, mask, level, grid, out->luma, pool);
    if (status == kStatusOk)
        status = HgSaturationHistogram(image, mask, level, grid, out->saturation, pool);
    if (status == kStatusOk) status = HgHueHistogram(image, mask, level, grid, out->hue, pool);
    if (status != kStatusOk) return status;
    std::vector<Tally> bands(size_t(WorkPoolThreads(pool)));
    std::vector<void*> contexts;
    for (Tally& t : bands) contexts.push_back(&t);
    status = HgWalkPixelsInBands(pool, image, mask, level, grid, Count, contexts.data());
    out->tally = Tally();
    for (const Tally& t : bands) {
        out->tally.pixels += t.pixels;
        out->tally.positions += t.positions;
        out->tally.codes += t.codes;
    }
    return status;
}

class MeasureThreads : public testing_support::PlatformTest {};

TEST_F(MeasureThreads, AnyNumberOfThreadsCountsWhatOneThreadCounts) {
    EditPars pars;
    chain_testing::StrongPars(&pars);
    for (int32_t bytes : {1, 2}) {
        Huegrid* grid = nullptr;
        ASSERT_EQ(HgBuild(&pars, 0xFFFF, 3, bytes, &grid), 0);
        // Few rows against the thread counts: some bands get none.
        const Picture picture(bytes, 157, 41);
        const Selection selection(157, 41);
        for (const IPMask* mask : {static_cast<const IPMask*>(nullptr), &selection.mask}) {
            for (int32_t level : {7, 0}) {
                for (const Huegrid* through :
                     {static_cast<const Huegrid*>(nullptr), static_cast<const Huegrid*>(grid)}) {
                    SCOPED_TRACE(testing::Message()
                                 << bytes << " bytes, mask " << (mask != nullptr) << ", level "
                                 << level << ", grid " << (through != nullptr));
                    Counts alone{};
                    ASSERT_EQ(Measure(nullptr, &picture.view, mask, level, through, &alone), 0);
                    Tally walked;
                    ASSERT_EQ(HgWalkPixels(&picture.view, mask, level, through, Count, &walked), 0);
                    EXPECT_EQ(alone.tally.codes, walked.codes);
                    EXPECT_GT(walked.pixels, 20);
                    for (int32_t threads : {2, 3, 8, 64}) {
                        WorkPool* pool = WorkPoolCreate(threads);
                        ASSERT_NE(pool, nullptr);
                        Counts banded{};
                        EXPECT_EQ(Measure(pool, &picture.view, mask, level, through, &banded), 0);
                        WorkPoolFree(pool);
                        EXPECT_TRUE(banded == alone) << threads << " threads";
                    }
                }
            }
        }
        HgFree(grid);
    }
}

TEST_F(MeasureThreads, EveryMemoryFailureFailsTheCountOrLeavesItTheSame) {
    const Picture picture(1, 120, 90);
    Counts want{};
    ASSERT_EQ(Measure(nullptr, &picture.view, nullptr, 7, nullptr, &want), 0);
    WorkPool* pool = WorkPoolCreate(3);
    ASSERT_NE(pool, nullptr);
    const uint32_t blocks = ul_nMallocs;
    int32_t failures = 0;
    for (int32_t n = 1; n < 100; ++n) {
        Counts got{};
        testing_support::FailAllocationAfter(n);
        const int32_t status = Measure(pool, &picture.view, nullptr, 7, nullptr, &got);
        const bool failed = testing_support::AllocationFailed();
        testing_support::FailAllocationAfter(0);
        EXPECT_EQ(ul_nMallocs, blocks) << "blocks not freed after request " << n;
        if (!failed) {
            ASSERT_EQ(status, 0);
            EXPECT_TRUE(got == want);
            break;
        }
        ++failures;
        EXPECT_EQ(status, kStatusNoMemory) << "request " << n;
    }
    WorkPoolFree(pool);
    // The bands' counts of each histogram, and the row buffers of the bands this thread ran.
    EXPECT_GE(failures, 3);
}

}  // namespace
