// Reducing a preview on several threads: the same bytes as one pass for any thread count, into
// another buffer and in place, at 8 and 16 bits; and a refused memory request either fails the
// reduction cleanly or, when only the bands or the pool were refused, gives the same bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/ip_resample.h"
#include "platform/mem.h"
#include "tests/platform/mem_failure.h"
#include "tests/platform/test_support.h"

namespace {

// An interleaved image with rows padded by two samples, filled with noise.
struct Picture {
    std::vector<uint8_t> bytes;
    IPImage view = {};

    Picture(int32_t channels, int32_t sampleBytes, int32_t width, int32_t height, uint32_t seed) {
        const int32_t rowStep = width * channels + 2;
        bytes.resize(size_t(rowStep) * size_t(height) * size_t(sampleBytes));
        std::mt19937 rng(seed);
        for (uint8_t& b : bytes) b = uint8_t(rng());
        view = {channels == 1 ? kIPKindMask : kIPKindColour,
                channels,
                sampleBytes,
                width,
                height,
                72.0f,
                channels,
                rowStep,
                {},
                nullptr};
        for (int32_t c = 0; c < channels; ++c) view.channel[c] = bytes.data() + c * sampleBytes;
    }
    // The first width x height pixels' samples, row by row.
    std::vector<uint8_t> Pixels(int32_t width, int32_t height) const {
        std::vector<uint8_t> out;
        const int32_t b = view.bytesPerSample;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int32_t c = 0; c < view.channels; ++c) {
                    const size_t at = size_t(IPSampleOffset(&view, x, y) + c) * size_t(b);
                    out.insert(out.end(), bytes.begin() + ptrdiff_t(at),
                               bytes.begin() + ptrdiff_t(at) + b);
                }
        return out;
    }
};

class ResampleThreads : public testing_support::PlatformTest {};

TEST_F(ResampleThreads, AnyNumberOfThreadsGivesTheSameBytesInPlaceOrNot) {
    struct Case {
        int32_t channels, bytes, width, height, box;
    };
    // The analysis image's reduction (about 2.1), a larger one with a tap count of no loop of its
    // own, a single channel (the selection), and an output only a few rows high, which leaves
    // some thread counts with too few rows to cut into bands.
    const Case cases[] = {
        {3, 1, 1200, 800, 568}, {4, 2, 601, 389, 97}, {1, 1, 640, 480, 300}, {3, 2, 300, 40, 60}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.width << "x" << k.height << " into " << k.box);
        const Picture source(k.channels, k.bytes, k.width, k.height, 7);
        Picture alone(k.channels, k.bytes, k.box, k.box, 1);
        int32_t w = 0, h = 0;
        ASSERT_EQ(IPScaleImageDown2(nullptr, &source.view, kIPScaleTent, &alone.view, &w, &h, 0),
                  0);
        const std::vector<uint8_t> want = alone.Pixels(w, h);
        for (int32_t threads : {1, 2, 3, 8, 64}) {
            SCOPED_TRACE(testing::Message() << threads << " threads");
            Picture separate(k.channels, k.bytes, k.box, k.box, 2);
            int32_t w2 = 0, h2 = 0;
            ASSERT_EQ(
                IPScaleImageDownOn(&source.view, kIPScaleTent, &separate.view, &w2, &h2, threads),
                0);
            ASSERT_TRUE(w2 == w && h2 == h);
            EXPECT_TRUE(separate.Pixels(w, h) == want);
            // In place: the destination is the source's own buffer with the box's size.
            Picture inPlace = source;
            for (int32_t c = 0; c < k.channels; ++c)
                inPlace.view.channel[c] = inPlace.bytes.data() + c * k.bytes;
            IPImage box = inPlace.view;
            box.width = box.height = k.box;
            ASSERT_EQ(IPScaleImageDownOn(&inPlace.view, kIPScaleTent, &box, &w2, &h2, threads), 0);
            EXPECT_TRUE(inPlace.Pixels(w, h) == want);
        }
    }
}

TEST_F(ResampleThreads, EveryMemoryFailureFailsTheReductionOrGivesTheSameBytes) {
    const Picture source(3, 1, 400, 300, 3);
    Picture alone(3, 1, 150, 150, 1);
    int32_t w = 0, h = 0;
    ASSERT_EQ(IPScaleImageDown2(nullptr, &source.view, kIPScaleTent, &alone.view, &w, &h, 0), 0);
    const std::vector<uint8_t> want = alone.Pixels(w, h);
    const uint32_t blocks = ul_nMallocs;
    int32_t failures = 0, recovered = 0;
    for (int32_t n = 1; n < 100; ++n) {
        Picture out(3, 1, 150, 150, 2);
        int32_t w2 = 0, h2 = 0;
        testing_support::FailAllocationAfter(n);
        const int32_t status =
            IPScaleImageDownOn(&source.view, kIPScaleTent, &out.view, &w2, &h2, 3);
        const bool failed = testing_support::AllocationFailed();
        testing_support::FailAllocationAfter(0);
        EXPECT_EQ(ul_nMallocs, blocks) << "blocks not freed after request " << n;
        if (!failed) {
            ASSERT_EQ(status, 0);
            EXPECT_TRUE(out.Pixels(w, h) == want);
            break;
        }
        ++failures;
        if (status == 0) {
            // The bands' blocks or the pool: the reduction ran in one pass, or on this thread.
            ++recovered;
            EXPECT_TRUE(w2 == w && h2 == h && out.Pixels(w, h) == want) << "request " << n;
            continue;
        }
        EXPECT_EQ(status, kStatusNoMemory) << "request " << n;
        EXPECT_TRUE(w2 == 0 && h2 == 0);
    }
    // The table, the two column tables, the bands, the pool, the single pass's ring.
    EXPECT_GT(failures, 5);
    EXPECT_GE(recovered, 3);
}

}  // namespace
