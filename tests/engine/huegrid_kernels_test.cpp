// The pixel kernels against the plain reference, for every method, size and layout; identity
// and node-position properties; refusals.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <numeric>
#include <random>
#include <vector>

#include "engine/huegrid_kernels.h"
#include "engine/kernel_set.h"
#include "tests/engine/huegrid_reference.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using huegrid_testing::ApplyOne;
using huegrid_testing::CheckTable;
using huegrid_testing::MakeIdentityGrid;
using huegrid_testing::MakeRandomTable;
using huegrid_testing::Shape;

// Sets random ranges on both sides: partial, reversed, or (for 16-bit output, so that the
// table-less identity path is covered too) sometimes left full.
void RandomRanges(std::mt19937& rng, HuegridLut* t) {
    auto set = [&](int32_t side, int32_t c, uint32_t maxCode) {
        uint32_t lo, hi;
        do {
            lo = rng() % (maxCode + 1), hi = rng() % (maxCode + 1);
        } while (lo == hi);
        ASSERT_EQ(HgSetRange(t, side, c, lo, hi), 0);
    };
    for (int32_t c = 0; c < t->inChannels; ++c)
        set(kHgSideInput, c, t->inPixelSize == 2 ? 65535 : 255);
    for (int32_t k = 0; k < t->outChannels; ++k)
        if (rng() % 3 != 0) set(kHgSideOutput, k, t->outPixelSize == 2 ? 65535 : 255);
}

class KernelTest : public huegrid_testing::EngineTest {
   protected:
    std::mt19937 rng_{20240611};
};

TEST_F(KernelTest, EveryShapeSampleAndPixelSizeMatchesTheReference) {
    // Three- and four-input grids, one-input grids and curves, each to 1, 3 and 4 outputs; 256
    // nodes on one axis (the largest cell index of a 16-bit input table) beside two and three;
    // the uniform four-input grids of kinds 0 and 1 (8-bit samples only).
    std::vector<Shape> shapes;
    for (int32_t out : {1, 3, 4}) {
        for (int32_t in : {3, 4, 1, 0}) {
            Shape s;
            s.inChannels = in ? in : out, s.outChannels = out, s.hasGrid = in ? 1 : 0;
            for (int32_t c = 0; c < in && in > 1; ++c)
                s.gridPoints[c] = 2 + int32_t(rng_() % (in == 3 ? 16 : 5));
            shapes.push_back(s);
        }
    }
    Shape wide;
    wide.gridPoints[0] = 256, wide.gridPoints[1] = 2, wide.gridPoints[2] = 3;
    shapes.push_back(wide);
    for (int32_t kind = 0; kind <= 1; ++kind) {
        Shape uniform;
        uniform.kind = kind, uniform.inChannels = 4;
        for (int32_t& n : uniform.gridPoints) n = 9;
        shapes.push_back(uniform);
    }
    for (Shape& shape : shapes) {
        // Every sample and pixel size, each with random ranges (which leave some 16-bit outputs
        // at the full range) or with the full ranges, at random.
        for (int32_t sizes = 0; sizes < (shape.kind == 2 ? 8 : 4); ++sizes) {
            const int32_t ranged = int32_t(rng_() % 2);
            shape.inPixelSize = 1 + (sizes & 1), shape.outPixelSize = 1 + ((sizes >> 1) & 1);
            shape.sampleSize = 1 + (sizes >> 2);
            SCOPED_TRACE(testing::Message() << "shape " << &shape - shapes.data() << " sizes "
                                            << sizes << " ranged " << ranged);
            HuegridLut* t = MakeRandomTable(rng_, shape);
            ASSERT_NE(t, nullptr);
            if (ranged) RandomRanges(rng_, t);
            CheckTable(rng_, t, 400);
            HgFreeLut(t);
        }
    }
}

TEST_F(KernelTest, ContiguousEightBitCurvesMatchTheReference) {
    // Contiguous 8-bit rows (interleaved without padding, or planes) may take a vector path on
    // machines that have one; lengths around its 64- and 192-byte blocks, in place and not.
    for (int32_t channels : {1, 3, 4}) {
        Shape shape;
        shape.hasGrid = 0;
        shape.inChannels = shape.outChannels = channels;
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        RandomRanges(rng_, t);
        std::vector<size_t> slot(static_cast<size_t>(channels));
        std::iota(slot.begin(), slot.end(), 0);
        std::shuffle(slot.begin(), slot.end(), rng_);
        for (int32_t count : {63, 64, 65, 191, 192, 193, 1000, 6001}) {
            for (int32_t mode = 0; mode < 4; ++mode) {
                const bool planar = mode & 1, inPlace = mode & 2;
                SCOPED_TRACE(testing::Message() << channels << " " << count << " " << mode);
                const size_t n = size_t(count) * size_t(channels), step = planar ? 1 : channels;
                std::vector<uint8_t> in(n), separate(n);
                for (auto& v : in) v = uint8_t(rng_());
                const std::vector<uint8_t> original = in;
                uint8_t* dst = inPlace ? in.data() : separate.data();
                const void* ip[4] = {};
                void* op[4] = {};
                for (int32_t c = 0; c < channels; ++c) {
                    const size_t at = planar ? slot[c] * size_t(count) : slot[c];
                    ip[c] = in.data() + at, op[c] = dst + at;
                }
                ASSERT_EQ(HgApplyRow(t, count, ip, int32_t(step), op, int32_t(step)), 0);
                for (size_t i = 0; i < size_t(count); ++i) {
                    uint32_t px[4] = {}, expected[4] = {};
                    for (int32_t c = 0; c < channels; ++c)
                        px[c] = original[size_t(static_cast<const uint8_t*>(ip[c]) - in.data()) +
                                         i * step];
                    huegrid_reference::ApplyPixel(*t, px, expected);
                    for (int32_t c = 0; c < channels; ++c)
                        ASSERT_EQ(static_cast<uint8_t*>(op[c])[i * step], expected[c])
                            << "pixel " << i << " channel " << c;
                }
            }
        }
        HgFreeLut(t);
    }
}

TEST_F(KernelTest, TablesTakeTheProcessKernelsAndEverySetGivesTheSamePixels) {
    // ctest runs these tests as the processor allows, with KOLMARA_SIMD=none and with avx2.
    const char* forced = std::getenv("KOLMARA_SIMD");
    HgKernelSet expected = HgProcessorKernelSet();
    if (forced != nullptr && std::string(forced) == "none") expected = kHgKernelsPlain;
    if (forced != nullptr && std::string(forced) == "avx2")
        expected = std::min(expected, kHgKernelsAvx2);
    EXPECT_EQ(HgKernelSetForProcess(), expected);

    // Curves (the byte permutes) and a three-input grid (the AVX2 kernel). A table marked for a
    // set the processor lacks runs the best path it has.
    for (int32_t hasGrid : {0, 1}) {
        Shape shape;
        shape.hasGrid = hasGrid;
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->kernels, HgKernelSetForProcess());
        std::vector<uint8_t> in(3 * 4001);
        for (auto& v : in) v = uint8_t(rng_());
        std::vector<uint8_t> out[3];
        for (HgKernelSet set : {kHgKernelsPlain, kHgKernelsAvx2, kHgKernelsAvx512}) {
            std::vector<uint8_t>& o = out[set];
            o.assign(in.size(), 0);
            t->kernels = set;
            const void* ip[4] = {in.data(), in.data() + 1, in.data() + 2, nullptr};
            void* op[4] = {o.data(), o.data() + 1, o.data() + 2, nullptr};
            ASSERT_EQ(HgApplyRow(t, 4001, ip, 3, op, 3), 0);
        }
        EXPECT_EQ(out[kHgKernelsPlain], out[kHgKernelsAvx2]) << "grid " << hasGrid;
        EXPECT_EQ(out[kHgKernelsPlain], out[kHgKernelsAvx512]) << "grid " << hasGrid;
        HgFreeLut(t);
    }
}

// A run through one kernel set: the input bytes are random, channel c of pixel i at
// order[c] + i * step in units of the pixel size; the output likewise, over a fill.
template <typename I, typename O>
std::vector<O> ApplyWithSet(HuegridLut* t, HgKernelSet set, const std::vector<I>& in,
                            int32_t inStep, const int32_t* inOrder, int32_t count, int32_t outStep,
                            const int32_t* outOrder) {
    std::vector<O> out(size_t(count) * size_t(outStep), O(0xA5));
    const void* ip[4] = {};
    void* op[4] = {};
    for (int32_t c = 0; c < t->inChannels; ++c) ip[c] = in.data() + inOrder[c];
    for (int32_t k = 0; k < t->outChannels; ++k) op[k] = out.data() + outOrder[k];
    t->kernels = set;
    EXPECT_EQ(HgApplyRow(t, count, ip, inStep, op, outStep), 0);
    return out;
}

template <typename I, typename O>
void CompareSets(std::mt19937& rng, HuegridLut* t, int32_t count) {
    const int32_t inStep = 3 + int32_t(rng() % 3), outStep = t->outChannels + int32_t(rng() % 2);
    int32_t inOrder[6] = {0, 1, 2, 3, 4, 5}, outOrder[6] = {0, 1, 2, 3, 4, 5};
    std::shuffle(inOrder, inOrder + inStep, rng);
    std::shuffle(outOrder, outOrder + outStep, rng);
    std::vector<I> in(size_t(count) * size_t(inStep));
    for (I& v : in) v = I(rng());
    const std::vector<O> plain =
        ApplyWithSet<I, O>(t, kHgKernelsPlain, in, inStep, inOrder, count, outStep, outOrder);
    const std::vector<O> vector =
        ApplyWithSet<I, O>(t, kHgKernelsAvx2, in, inStep, inOrder, count, outStep, outOrder);
    const auto differ = std::mismatch(plain.begin(), plain.end(), vector.begin());
    ASSERT_TRUE(differ.first == plain.end())
        << "sample " << differ.first - plain.begin() << " of " << plain.size() << ": plain "
        << uint32_t(*differ.first) << ", vector " << uint32_t(*differ.second);
}

TEST_F(KernelTest, TheVectorGridKernelGivesThePlainBytesOnRandomPixels) {
    if (HgProcessorKernelSet() < kHgKernelsAvx2) GTEST_SKIP() << "the processor has no AVX2";
    // The test names both sets itself, so the runs with a capped process set would repeat it.
    if (HgKernelSetForProcess() != HgProcessorKernelSet()) GTEST_SKIP() << "capped set";
        // 10^8 pixels; the sanitizer builds, several times slower, run a tenth of them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int64_t kPixels = 10000000;
#else
    constexpr int64_t kPixels = 100000000;
#endif
    int64_t done = 0;
    for (int32_t round = 0; done < kPixels; ++round) {
        // Every sample and pixel size and output count in turn, random nodes (now and then 256
        // on one axis) and ranges, runs of every length modulo eight.
        Shape shape;
        const int32_t sizes = round % 8;
        shape.inPixelSize = 1 + (sizes & 1), shape.outPixelSize = 1 + ((sizes >> 1) & 1);
        shape.sampleSize = 1 + (sizes >> 2);
        const int32_t outs[3] = {3, 1, 4};
        shape.outChannels = outs[(round / 8) % 3];
        for (int32_t c = 0; c < 3; ++c) shape.gridPoints[c] = 2 + int32_t(rng_() % 32);
        if (round % 5 == 4) shape.gridPoints[round % 3] = 256;
        SCOPED_TRACE(testing::Message() << "round " << round << " sizes " << sizes << " outputs "
                                        << shape.outChannels);
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        if (round % 2 == 1) RandomRanges(rng_, t);
        const int32_t count = (1 << 20) - int32_t(rng_() % 64);
        if (shape.inPixelSize == 1) {
            if (shape.outPixelSize == 1) CompareSets<uint8_t, uint8_t>(rng_, t, count);
            if (shape.outPixelSize == 2) CompareSets<uint8_t, uint16_t>(rng_, t, count);
        } else {
            if (shape.outPixelSize == 1) CompareSets<uint16_t, uint8_t>(rng_, t, count);
            if (shape.outPixelSize == 2) CompareSets<uint16_t, uint16_t>(rng_, t, count);
        }
        HgFreeLut(t);
        if (HasFatalFailure()) return;
        done += count;
    }
}

TEST_F(KernelTest, TheSamePixelsComeOutInPlace) {
    HuegridLut* t = MakeRandomTable(rng_, Shape());
    ASSERT_NE(t, nullptr);
    std::vector<uint8_t> pixels(3 * 1000), separate(pixels.size());
    for (auto& v : pixels) v = uint8_t(rng_());
    uint8_t* p = pixels.data();
    const void* in[4] = {p, p + 1, p + 2, nullptr};
    void* out[4] = {separate.data(), separate.data() + 1, separate.data() + 2, nullptr};
    ASSERT_EQ(HgApplyRow(t, 1000, in, 3, out, 3), 0);
    // In place with the channels rotated: every pixel must be read before it is written.
    void* rotated[4] = {p + 1, p + 2, p, nullptr};
    ASSERT_EQ(HgApplyRow(t, 1000, in, 3, rotated, 3), 0);
    // Output channel c went to slot c + 1.
    for (size_t i = 0; i < 3000; ++i) ASSERT_EQ(pixels[i], separate[i - i % 3 + (i + 2) % 3]);
    HgFreeLut(t);
}

TEST_F(KernelTest, IdentityGridsReturnEveryPixelUnchanged) {
    // Every 8-bit code on each channel, exactly; the 16-bit ends exactly and random 16-bit codes
    // to within the Q15 fraction's rounding of one part in 32768 of a cell.
    for (int32_t size = 1; size <= 2; ++size) {
        HuegridLut* t = MakeIdentityGrid(rng_, size, 7);
        ASSERT_NE(t, nullptr);
        for (uint32_t i = 0; i < (size == 1 ? 1024u : 20000u); ++i) {
            uint32_t px[4] = {}, out[4];
            for (uint32_t c = 0; c < 3; ++c)
                px[c] = size == 1 ? (i + 85 * c) % 256 : i < 2 ? i * 65535 : rng_() % 65536;
            ASSERT_EQ(ApplyOne(t, px, out), 0);
            const int64_t slack = size == 1 || i < 2 ? 0 : 1;
            for (int c = 0; c < 3; ++c) ASSERT_LE(std::abs(int64_t(out[c]) - px[c]), slack) << i;
        }
        HgFreeLut(t);
    }
}

TEST_F(KernelTest, EightBitSamplesReachTheWholeSixteenBitOutputRange) {
    // 8-bit samples interpolate to at most 255 x 256 = 65280 on the 16-bit side: the output
    // table must span what the index spans, or white comes out 255 codes short of full scale.
    HuegridLut* t = MakeIdentityGrid(rng_, 1, 9);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(HgSetPixelSize(t, kHgSideOutput, 2), 0);
    ASSERT_EQ(HgCheckLut(t), 0);
    // Between the nodes the Q15 fraction rounds, so codes land within one of v x 257; the
    // ends exactly.
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t px[4] = {v, v, 255 - v, 0}, out[4];
        ASSERT_EQ(ApplyOne(t, px, out), 0);
        const int64_t slack = v == 0 || v == 255 ? 0 : 1;
        EXPECT_LE(std::abs(int64_t(out[0]) - int64_t(v * 257)), slack) << v;
        EXPECT_LE(std::abs(int64_t(out[2]) - int64_t((255 - v) * 257)), slack) << v;
    }
    // A narrower output range is reached at both ends as well.
    for (int32_t c = 0; c < 3; ++c) ASSERT_EQ(HgSetRange(t, kHgSideOutput, c, 1000, 64000), 0);
    uint32_t black[4] = {0, 0, 0, 0}, white[4] = {255, 255, 255, 0}, out[4];
    ASSERT_EQ(ApplyOne(t, black, out), 0);
    EXPECT_EQ(out[1], 1000u);
    ASSERT_EQ(ApplyOne(t, white, out), 0);
    EXPECT_EQ(out[1], 64000u);
    HgFreeLut(t);
}

TEST_F(KernelTest, PixelsAtNodesReturnTheNodeSamplesExactly) {
    for (int32_t size = 1; size <= 2; ++size) {
        for (int32_t inChannels : {3, 4}) {
            Shape shape;
            shape.inChannels = inChannels, shape.outChannels = 4;
            shape.sampleSize = shape.inPixelSize = shape.outPixelSize = size;
            for (int32_t c = 0; c < 4; ++c) shape.gridPoints[c] = 3 + c;
            HuegridLut* t = MakeRandomTable(rng_, shape);
            ASSERT_NE(t, nullptr);
            const std::vector<uint32_t> samples = huegrid_testing::Samples(t);
            for (int32_t trial = 0; trial < 200; ++trial) {
                uint32_t px[4] = {}, out[4];
                size_t index = 0, scale = 1;
                for (int32_t c = 0; c < inChannels; ++c) {
                    const int32_t node = int32_t(rng_() % uint32_t(t->input[c].gridPoints));
                    px[c] = t->input[c].nodes[node];
                    index += scale * size_t(node);
                    scale *= size_t(t->input[c].gridPoints);
                }
                ASSERT_EQ(ApplyOne(t, px, out), 0);
                for (int32_t k = 0; k < 4; ++k)
                    ASSERT_EQ(out[k], samples[index * 4 + size_t(k)]) << "channel " << k;
            }
            HgFreeLut(t);
        }
    }
}

TEST_F(KernelTest, AnInputRangePlacesTheCodesOnPartOfTheGrid) {
    // Input codes 0..255 land on grid positions lo..hi (reversed for the third channel); with
    // an identity grid the output shows where they landed.
    HuegridLut* t = MakeIdentityGrid(rng_, 1, 5);
    ASSERT_NE(t, nullptr);
    for (int32_t c = 0; c < 2; ++c) ASSERT_EQ(HgSetRange(t, kHgSideInput, c, 40, 200), 0);
    ASSERT_EQ(HgSetRange(t, kHgSideInput, 2, 200, 40), 0);
    const uint32_t black[4] = {}, white[4] = {255, 255, 255}, middle[4] = {128, 128, 128};
    uint32_t out[4];
    ASSERT_EQ(ApplyOne(t, black, out), 0);
    EXPECT_TRUE(out[0] == 40 && out[2] == 200);
    ASSERT_EQ(ApplyOne(t, white, out), 0);
    EXPECT_TRUE(out[1] == 200 && out[2] == 40);
    ASSERT_EQ(ApplyOne(t, middle, out), 0);
    EXPECT_TRUE(out[0] == 120 && out[2] == 120);
    HgFreeLut(t);
}

TEST_F(KernelTest, SixteenBitSamplesFreshFromCreationStayInsideTheOutputTable) {
    // A table used before its pixel sizes were ever set: 16-bit samples, 8-bit output. White
    // samples must give 255 (a rounding constant of half a step would index entry 256).
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, kHgSpaceRgb, kHgSpaceRgb, 1, 2, 2), 0);
    const uint16_t nodes[2] = {0, 65535}, white[3] = {65535, 65535, 65535};
    for (int32_t c = 0; c < 3; ++c) ASSERT_EQ(HgSetNodes(t, c, 2, nodes), 0);
    for (uint32_t i = 0; i < 8; ++i) ASSERT_EQ(HgSetEntry(t, i, white), 0);
    ASSERT_EQ(HgCheckLut(t), 0);
    const uint32_t px[4] = {255, 17, 0};
    uint32_t out[4];
    ASSERT_EQ(ApplyOne(t, px, out), 0);
    EXPECT_TRUE(out[0] == 255 && out[2] == 255);
    HgFreeLut(t);
}

TEST_F(KernelTest, RefusesWhatItCannotApplyAndWritesNothing) {
    HuegridLut* t = MakeRandomTable(rng_, Shape());
    ASSERT_NE(t, nullptr);
    uint8_t px[3] = {1, 2, 3}, out[3] = {7, 7, 7};
    const void* in[4] = {&px[0], &px[1], &px[2], nullptr};
    void* outs[4] = {&out[0], &out[1], &out[2], nullptr};
    EXPECT_EQ(HgApplyRow(nullptr, 1, in, 1, outs, 1), -1);
    EXPECT_EQ(HgApplyRow(t, 1, nullptr, 1, outs, 1), -1);
    EXPECT_EQ(HgApplyRow(t, 1, in, 1, nullptr, 1), -1);
    EXPECT_EQ(HgApplyRow(t, -1, in, 1, outs, 1), -1);
    const void* missingIn[4] = {&px[0], nullptr, &px[2], nullptr};
    EXPECT_EQ(HgApplyRow(t, 1, missingIn, 1, outs, 1), -1);
    void* missingOut[4] = {&out[0], &out[1], nullptr, nullptr};
    EXPECT_EQ(HgApplyRow(t, 1, in, 1, missingOut, 1), -1);
    EXPECT_EQ(HgApplyRow(t, 0, in, 1, outs, 1), 0);

    // Tables that are not ready: constants that do not fit the sizes, a missing output table,
    // missing samples, a channel count the kernels do not have.
    auto refusedWith = [&](auto* field, auto damaged) {
        const auto kept = *field;
        *field = damaged;
        EXPECT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), -1);
        *field = kept;
    };
    refusedWith(&t->round, 4194304);
    refusedWith(&t->output[1].table, nullptr);
    refusedWith(&t->grid, nullptr);
    refusedWith(&t->inChannels, 2);
    EXPECT_TRUE(out[0] == 7 && out[1] == 7 && out[2] == 7);

    // Through the handle, which follows its table's depth.
    Huegrid* handle = nullptr;
    EXPECT_EQ(HgCreate(nullptr, &handle), -1);
    ASSERT_EQ(HgCreate(t, &handle), 0);
    EXPECT_EQ(HgApply(nullptr, 1, in, 1, outs, 1), -1);
    EXPECT_EQ(HgApply(handle, 1, in, 1, outs, 1), 0);
    uint32_t px32[4] = {1, 2, 3, 0}, expected[4] = {};
    huegrid_reference::ApplyPixel(*t, px32, expected);
    EXPECT_EQ(out[1], expected[1]);
    ASSERT_EQ(HgSetDepth(handle, kHgSideOutput, 2), 0);
    EXPECT_TRUE(handle->outPixelSize == 2 && t->outPixelSize == 2);
    EXPECT_EQ(HgCheckLut(t), 0);
    EXPECT_EQ(HgSetDepth(handle, kHgSideInput, 5), -1);
    EXPECT_EQ(handle->inPixelSize, 1);
    EXPECT_EQ(HgFree(handle), 0);
    EXPECT_EQ(HgFree(nullptr), 0);
}

}  // namespace
