// The pixel kernels against the plain reference, for every method, size and layout; identity
// and node-position properties; refusals.
#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "engine/huegrid_kernels.h"
#include "platform/mem.h"
#include "tests/engine/huegrid_reference.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using huegrid_testing::EngineTest;
using huegrid_testing::MakeIdentityGrid;
using huegrid_testing::MakeRandomTable;
using huegrid_testing::Shape;

constexpr uint16_t kSentinel = 0xA5A5;

// A row of count pixels in some layout: planar (planes in any order, with a step) or
// interleaved (slots in any order, with padding between pixels). Unused channel pointers stay
// null so that a kernel reading them would crash.
template <typename T>
struct Row {
    std::vector<T> data;
    void* ptr[4] = {nullptr, nullptr, nullptr, nullptr};
    int32_t step = 1;
    std::vector<size_t> used;  // indices of data that hold samples

    Row(std::mt19937& rng, int32_t channels, int32_t count) {
        std::vector<int32_t> slot(static_cast<size_t>(channels));
        std::iota(slot.begin(), slot.end(), 0);
        std::shuffle(slot.begin(), slot.end(), rng);
        const bool planar = rng() % 2 == 0;
        const int32_t pad = int32_t(rng() % 3);
        step = planar ? 1 + pad : channels + pad;
        const size_t plane = size_t(count) * size_t(step);
        data.assign(planar ? plane * size_t(channels) : plane + size_t(channels), T(kSentinel));
        for (int32_t c = 0; c < channels; ++c) {
            const size_t start = planar ? plane * size_t(slot[c]) : size_t(slot[c]);
            ptr[c] = data.data() + start;
            for (int32_t i = 0; i < count; ++i) used.push_back(start + size_t(i) * size_t(step));
        }
    }
    T& at(int32_t c, int32_t i) { return static_cast<T*>(ptr[c])[ptrdiff_t(i) * step]; }
};

// Input codes that matter: the ends, the codes of node positions (when the table's nodes are
// codes of the input size), and random ones.
std::vector<uint32_t> InterestingCodes(std::mt19937& rng, const HuegridLut* t, int32_t channel,
                                       int32_t count) {
    const uint32_t maxCode = t->inPixelSize == 2 ? 65535 : 255;
    std::vector<uint32_t> codes;
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t pick = rng() % 8;
        if (pick == 0) {
            codes.push_back(0);
        } else if (pick == 1) {
            codes.push_back(maxCode);
        } else if (pick == 2 && t->hasGrid == 1 && t->inChannels > 1) {
            const HgInputChannel& in = t->input[channel];
            uint32_t node = in.nodes[rng() % uint32_t(in.gridPoints)];
            if (t->sampleSize == 2 && t->inPixelSize == 1) node /= 257;
            if (t->sampleSize == 1 && t->inPixelSize == 2) node *= 257;
            codes.push_back(std::min(maxCode, node + uint32_t(rng() % 3)));
        } else {
            codes.push_back(rng() % (maxCode + 1));
        }
    }
    return codes;
}

// Applies the table to count random pixels in random layouts and compares every output code
// with the reference; samples outside the output slots must keep their sentinel.
template <typename I, typename O>
void CheckAgainstReference(std::mt19937& rng, const HuegridLut* t, int32_t count) {
    Row<I> in(rng, t->inChannels, count);
    Row<O> out(rng, t->outChannels, count);
    for (int32_t c = 0; c < t->inChannels; ++c) {
        std::vector<uint32_t> codes = InterestingCodes(rng, t, c, count);
        for (int32_t i = 0; i < count; ++i) in.at(c, i) = I(codes[size_t(i)]);
    }
    const std::vector<I> before = in.data;
    ASSERT_EQ(HgApplyRow(t, count, in.ptr, in.step, out.ptr, out.step), 0);
    EXPECT_EQ(in.data, before) << "input changed";
    int32_t mismatches = 0;
    for (int32_t i = 0; i < count && mismatches < 5; ++i) {
        uint32_t px[4] = {}, expected[4] = {};
        for (int32_t c = 0; c < t->inChannels; ++c) px[c] = in.at(c, i);
        huegrid_reference::ApplyPixel(*t, px, expected);
        for (int32_t k = 0; k < t->outChannels; ++k) {
            if (out.at(k, i) != expected[k]) {
                ADD_FAILURE() << "pixel " << i << " channel " << k << " in (" << px[0] << ","
                              << px[1] << "," << px[2] << "," << px[3] << "): got " << out.at(k, i)
                              << ", expected " << expected[k];
                ++mismatches;
            }
        }
    }
    std::vector<bool> isUsed(out.data.size(), false);
    for (size_t u : out.used) isUsed[u] = true;
    for (size_t j = 0; j < out.data.size(); ++j) {
        if (!isUsed[j] && out.data[j] != O(kSentinel)) {
            ADD_FAILURE() << "wrote outside its slots at " << j;
            break;
        }
    }
}

void CheckTable(std::mt19937& rng, const HuegridLut* t, int32_t count) {
    if (t->inPixelSize == 1) {
        if (t->outPixelSize == 1) {
            CheckAgainstReference<uint8_t, uint8_t>(rng, t, count);
        } else {
            CheckAgainstReference<uint8_t, uint16_t>(rng, t, count);
        }
    } else if (t->outPixelSize == 1) {
        CheckAgainstReference<uint16_t, uint8_t>(rng, t, count);
    } else {
        CheckAgainstReference<uint16_t, uint16_t>(rng, t, count);
    }
}

// Sets random ranges on both sides: partial, reversed, or (for 16-bit output, so that the
// table-less identity path is covered too) sometimes left full.
void RandomRanges(std::mt19937& rng, HuegridLut* t) {
    const uint32_t inMax = t->inPixelSize == 2 ? 65535 : 255,
                   outMax = t->outPixelSize == 2 ? 65535 : 255;
    auto range = [&](uint32_t maxCode, uint32_t* lo, uint32_t* hi) {
        do {
            *lo = rng() % (maxCode + 1);
            *hi = rng() % (maxCode + 1);
        } while (*lo == *hi);
    };
    for (int32_t c = 0; c < t->inChannels; ++c) {
        uint32_t lo, hi;
        range(inMax, &lo, &hi);
        ASSERT_EQ(HgSetRange(t, kHgSideInput, c, lo, hi), 0);
    }
    for (int32_t k = 0; k < t->outChannels; ++k) {
        if (rng() % 3 == 0) continue;
        uint32_t lo, hi;
        range(outMax, &lo, &hi);
        ASSERT_EQ(HgSetRange(t, kHgSideOutput, k, lo, hi), 0);
    }
}

class KernelTest : public EngineTest {
   protected:
    // Every sample size and pixel size for one layout, each with random ranges (which leave
    // some 16-bit outputs at the full range) or with the full ranges, at random.
    void RunAllSizes(Shape shape, int32_t count) {
        for (int32_t s = 1; s <= 2; ++s) {
            for (int32_t inSize = 1; inSize <= 2; ++inSize) {
                for (int32_t outSize = 1; outSize <= 2; ++outSize) {
                    {
                        const int32_t ranged = int32_t(rng_() % 2);
                        shape.sampleSize = s;
                        shape.inPixelSize = inSize;
                        shape.outPixelSize = outSize;
                        SCOPED_TRACE(testing::Message()
                                     << "in " << shape.inChannels << " out " << shape.outChannels
                                     << " grid " << shape.hasGrid << " samples " << s << " pixels "
                                     << inSize << "->" << outSize << " ranged " << ranged);
                        HuegridLut* t = MakeRandomTable(rng_, shape);
                        ASSERT_NE(t, nullptr);
                        if (ranged) RandomRanges(rng_, t);
                        CheckTable(rng_, t, count);
                        HgFreeLut(t);
                    }
                }
            }
        }
    }
    std::mt19937 rng_{20240611};
};

TEST_F(KernelTest, ThreeInputGridsMatchTheReference) {
    for (int32_t outChannels : {1, 3, 4}) {
        Shape shape;
        shape.inChannels = 3;
        shape.outChannels = outChannels;
        for (int32_t c = 0; c < 3; ++c) shape.gridPoints[c] = 2 + int32_t(rng_() % 16);
        RunAllSizes(shape, 400);
    }
}

TEST_F(KernelTest, FourInputGridsMatchTheReference) {
    for (int32_t outChannels : {1, 3, 4}) {
        Shape shape;
        shape.inChannels = 4;
        shape.outChannels = outChannels;
        for (int32_t c = 0; c < 4; ++c) shape.gridPoints[c] = 2 + int32_t(rng_() % 5);
        RunAllSizes(shape, 400);
    }
}

TEST_F(KernelTest, OneInputGridsAndCurvesMatchTheReference) {
    for (int32_t outChannels : {1, 3, 4}) {
        Shape grid;
        grid.inChannels = 1;
        grid.outChannels = outChannels;
        RunAllSizes(grid, 300);
        Shape curves;
        curves.hasGrid = 0;
        curves.inChannels = curves.outChannels = outChannels;
        RunAllSizes(curves, 300);
    }
}

TEST_F(KernelTest, WideAxesAndOlderKindsMatchTheReference) {
    // 256 nodes on one axis (the largest cell index of a 16-bit input table), two nodes on
    // another, and the uniform grids of kinds 0 and 1.
    Shape wide;
    wide.gridPoints[0] = 256;
    wide.gridPoints[1] = 2;
    wide.gridPoints[2] = 3;
    RunAllSizes(wide, 400);
    for (int32_t kind = 0; kind <= 1; ++kind) {
        Shape uniform;
        uniform.kind = kind;
        uniform.inChannels = 4;
        uniform.outChannels = 3;
        for (int32_t c = 0; c < 4; ++c) uniform.gridPoints[c] = 9;
        HuegridLut* t = MakeRandomTable(rng_, uniform);
        ASSERT_NE(t, nullptr);
        CheckTable(rng_, t, 400);
        HgFreeLut(t);
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
        std::vector<int32_t> slot(static_cast<size_t>(channels));
        std::iota(slot.begin(), slot.end(), 0);
        std::shuffle(slot.begin(), slot.end(), rng_);
        for (int32_t count : {63, 64, 65, 191, 192, 193, 1000, 6001}) {
            for (int32_t planar = 0; planar <= 1; ++planar) {
                for (int32_t inPlace = 0; inPlace <= 1; ++inPlace) {
                    SCOPED_TRACE(testing::Message()
                                 << channels << " channels, " << count << " pixels, planar "
                                 << planar << ", in place " << inPlace);
                    const size_t n = size_t(count) * size_t(channels);
                    std::vector<uint8_t> in(n), separate(n);
                    for (auto& v : in) v = uint8_t(rng_());
                    const std::vector<uint8_t> original = in;
                    uint8_t* dst = inPlace ? in.data() : separate.data();
                    const void* ip[4] = {};
                    void* op[4] = {};
                    for (int32_t c = 0; c < channels; ++c) {
                        const size_t at =
                            planar ? size_t(slot[c]) * size_t(count) : size_t(slot[c]);
                        ip[c] = in.data() + at;
                        op[c] = dst + at;
                    }
                    const int32_t step = planar ? 1 : channels;
                    ASSERT_EQ(HgApplyRow(t, count, ip, step, op, step), 0);
                    for (int32_t i = 0; i < count; ++i) {
                        uint32_t px[4] = {}, expected[4] = {};
                        for (int32_t c = 0; c < channels; ++c) {
                            px[c] = original[(planar ? size_t(slot[c]) * size_t(count)
                                                     : size_t(slot[c])) +
                                             size_t(i) * size_t(step)];
                        }
                        huegrid_reference::ApplyPixel(*t, px, expected);
                        for (int32_t c = 0; c < channels; ++c) {
                            ASSERT_EQ(static_cast<uint8_t*>(op[c])[size_t(i) * size_t(step)],
                                      expected[c])
                                << "pixel " << i << " channel " << c;
                        }
                    }
                }
            }
        }
        HgFreeLut(t);
    }
}

TEST_F(KernelTest, TheSamePixelsComeOutInPlace) {
    Shape shape;
    shape.outChannels = 3;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    std::vector<uint8_t> pixels(3 * 1000);
    for (auto& v : pixels) v = uint8_t(rng_());
    std::vector<uint8_t> separate(pixels.size());
    const void* in[4] = {pixels.data(), pixels.data() + 1, pixels.data() + 2, nullptr};
    void* out[4] = {separate.data(), separate.data() + 1, separate.data() + 2, nullptr};
    ASSERT_EQ(HgApplyRow(t, 1000, in, 3, out, 3), 0);
    // In place with the channels rotated: every pixel must be read before it is written.
    void* rotated[4] = {pixels.data() + 1, pixels.data() + 2, pixels.data(), nullptr};
    ASSERT_EQ(HgApplyRow(t, 1000, in, 3, rotated, 3), 0);
    for (size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(pixels[3 * i + 1], separate[3 * i]);
        ASSERT_EQ(pixels[3 * i + 2], separate[3 * i + 1]);
        ASSERT_EQ(pixels[3 * i], separate[3 * i + 2]);
    }
    HgFreeLut(t);
}

TEST_F(KernelTest, IdentityGridsReturnEveryPixelUnchanged) {
    for (int32_t size = 1; size <= 2; ++size) {
        HuegridLut* t = MakeIdentityGrid(rng_, size, 7);
        ASSERT_NE(t, nullptr);
        const int32_t count = size == 1 ? 256 * 4 : 20000;
        std::vector<uint16_t> in16(3 * size_t(count)), out16(in16.size());
        std::vector<uint8_t> in8(in16.size()), out8(in16.size());
        for (int32_t i = 0; i < count; ++i) {
            for (int32_t c = 0; c < 3; ++c) {
                // Every 8-bit code on each channel; random 16-bit codes plus the ends.
                uint32_t v = size == 1 ? uint32_t((i + 85 * c) % 256) : rng_() % 65536;
                if (size == 2 && i < 2) v = i ? 65535 : 0;
                in16[3 * size_t(i) + c] = uint16_t(v);
                in8[3 * size_t(i) + c] = uint8_t(v);
            }
        }
        void* inBase = size == 1 ? static_cast<void*>(in8.data()) : static_cast<void*>(in16.data());
        void* outBase =
            size == 1 ? static_cast<void*>(out8.data()) : static_cast<void*>(out16.data());
        const void* in[4] = {static_cast<uint8_t*>(inBase), static_cast<uint8_t*>(inBase) + size,
                             static_cast<uint8_t*>(inBase) + 2 * size, nullptr};
        void* out[4] = {static_cast<uint8_t*>(outBase), static_cast<uint8_t*>(outBase) + size,
                        static_cast<uint8_t*>(outBase) + 2 * size, nullptr};
        ASSERT_EQ(HgApplyRow(t, count, in, 3, out, 3), 0);
        if (size == 1) {
            EXPECT_EQ(out8, in8);
        } else {
            // 16-bit: interpolating a linear function exactly, up to the Q15 fraction's rounding
            // of one part in 32768 of a cell.
            int32_t worst = 0;
            for (size_t j = 0; j < in16.size(); ++j)
                worst = std::max(worst, std::abs(int32_t(out16[j]) - in16[j]));
            EXPECT_LE(worst, 1);
            EXPECT_EQ(out16[0], 0);
            EXPECT_EQ(out16[3], 65535);
        }
        HgFreeLut(t);
    }
}

TEST_F(KernelTest, PixelsAtNodesReturnTheNodeSamplesExactly) {
    for (int32_t size = 1; size <= 2; ++size) {
        for (int32_t inChannels : {3, 4}) {
            Shape shape;
            shape.inChannels = inChannels;
            shape.outChannels = 4;
            shape.sampleSize = shape.inPixelSize = shape.outPixelSize = size;
            for (int32_t c = 0; c < 4; ++c) shape.gridPoints[c] = 3 + c;
            HuegridLut* t = MakeRandomTable(rng_, shape);
            ASSERT_NE(t, nullptr);
            std::vector<uint32_t> samples = huegrid_testing::Samples(t);
            for (int32_t trial = 0; trial < 200; ++trial) {
                uint16_t px[4] = {};
                size_t index = 0, scale = 1;
                for (int32_t c = 0; c < inChannels; ++c) {
                    const int32_t node = int32_t(rng_() % uint32_t(t->input[c].gridPoints));
                    px[c] = t->input[c].nodes[node];
                    index += scale * size_t(node);
                    scale *= size_t(t->input[c].gridPoints);
                }
                uint8_t px8[4] = {uint8_t(px[0]), uint8_t(px[1]), uint8_t(px[2]), uint8_t(px[3])};
                uint16_t out16[4] = {};
                uint8_t out8[4] = {};
                const void* in[4];
                void* out[4];
                for (int32_t c = 0; c < 4; ++c) {
                    in[c] = size == 1 ? static_cast<const void*>(&px8[c])
                                      : static_cast<const void*>(&px[c]);
                    out[c] =
                        size == 1 ? static_cast<void*>(&out8[c]) : static_cast<void*>(&out16[c]);
                }
                ASSERT_EQ(HgApplyRow(t, 1, in, 1, out, 1), 0);
                for (int32_t k = 0; k < 4; ++k) {
                    ASSERT_EQ(size == 1 ? out8[k] : out16[k], samples[index * 4 + size_t(k)])
                        << "channel " << k;
                }
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
    uint8_t px[3][3] = {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}};
    uint8_t result[3][3] = {};
    for (int32_t p = 0; p < 3; ++p) {
        const void* in[4] = {&px[p][0], &px[p][1], &px[p][2], nullptr};
        void* out[4] = {&result[p][0], &result[p][1], &result[p][2], nullptr};
        ASSERT_EQ(HgApplyRow(t, 1, in, 1, out, 1), 0);
    }
    EXPECT_EQ(result[0][0], 40);
    EXPECT_EQ(result[0][2], 200);
    EXPECT_EQ(result[1][1], 200);
    EXPECT_EQ(result[1][2], 40);
    EXPECT_EQ(result[2][0], 120);
    EXPECT_EQ(result[2][2], 120);
    HgFreeLut(t);
}

TEST_F(KernelTest, SixteenBitSamplesFreshFromCreationStayInsideTheOutputTable) {
    // A table used before its pixel sizes were ever set: 16-bit samples, 8-bit output. White
    // samples must give 255 (a rounding constant of half a step would index entry 256).
    HuegridLut* t = nullptr;
    ASSERT_EQ(HgCreateLut(&t, 3, 3, kHgSpaceRgb, kHgSpaceRgb, 1, 2, 2), 0);
    const uint16_t nodes[2] = {0, 65535};
    for (int32_t c = 0; c < 3; ++c) ASSERT_EQ(HgSetNodes(t, c, 2, nodes), 0);
    const uint16_t white[3] = {65535, 65535, 65535};
    for (uint32_t i = 0; i < 8; ++i) ASSERT_EQ(HgSetEntry(t, i, white), 0);
    ASSERT_EQ(HgCheckLut(t), 0);
    uint8_t px[3] = {255, 17, 0}, out[3] = {};
    const void* in[4] = {&px[0], &px[1], &px[2], nullptr};
    void* outs[4] = {&out[0], &out[1], &out[2], nullptr};
    ASSERT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), 0);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[2], 255);
    HgFreeLut(t);
}

TEST_F(KernelTest, RefusesWhatItCannotApplyAndWritesNothing) {
    Shape shape;
    HuegridLut* t = MakeRandomTable(rng_, shape);
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
    t->round = 4194304;
    EXPECT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), -1);
    t->round = 16384;
    void* table = t->output[1].table;
    t->output[1].table = nullptr;
    EXPECT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), -1);
    t->output[1].table = table;
    void* grid = t->grid;
    t->grid = nullptr;
    EXPECT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), -1);
    t->grid = grid;
    t->inChannels = 2;
    EXPECT_EQ(HgApplyRow(t, 1, in, 1, outs, 1), -1);
    t->inChannels = 3;
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[2], 7);

    Huegrid* handle = nullptr;
    ASSERT_EQ(HgCreate(t, &handle), 0);
    EXPECT_EQ(HgApply(nullptr, 1, in, 1, outs, 1), -1);
    EXPECT_EQ(HgApply(handle, 1, in, 1, outs, 1), 0);
    uint32_t px32[4] = {1, 2, 3, 0}, expected[4] = {};
    huegrid_reference::ApplyPixel(*t, px32, expected);
    EXPECT_EQ(out[1], expected[1]);
    HgFree(handle);
}

}  // namespace
