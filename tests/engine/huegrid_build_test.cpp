// Building Huegrids: the curve and grid paths, identities, agreement with the chain at the
// nodes and between them, node placement with flat runs, and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "engine/edit_chain.h"
#include "engine/huegrid_build.h"
#include "tests/engine/chain_test_support.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using chain_testing::NeutralPars;
using chain_testing::StrongPars;
using huegrid_testing::EngineTest;

class HuegridBuild : public EngineTest {
   protected:
    void SetUp() override {
        EngineTest::SetUp();
        NeutralPars(&pars_);
    }
    void TearDown() override {
        HgFree(grid_);
        EngineTest::TearDown();
    }
    void Build(int32_t quality, int32_t depth, int32_t mask = 0xFFFF) {
        HgFree(grid_);
        grid_ = nullptr;
        ASSERT_EQ(HgBuild(&pars_, mask, quality, depth, &grid_), 0);
        ASSERT_NE(grid_, nullptr);
        ASSERT_EQ(HgCheckLut(grid_->lut), 0);
    }
    // The differences in codes between the grid and the chain over random colours, sorted.
    std::vector<int32_t> Errors(int32_t depth, int count, uint32_t seed) {
        std::mt19937 rng(seed);
        const int32_t max = depth == 2 ? 65535 : 255;
        std::uniform_int_distribution<int32_t> code(0, max);
        std::vector<int32_t> errors;
        for (int i = 0; i < count; ++i) {
            const uint32_t in[4] = {uint32_t(code(rng)), uint32_t(code(rng)), uint32_t(code(rng))};
            uint32_t out[4];
            EXPECT_EQ(huegrid_testing::ApplyOne(grid_->lut, in, out), 0);
            float rgb[3] = {float(in[0]) / max, float(in[1]) / max, float(in[2]) / max}, v[3];
            EXPECT_EQ(HgEvalColour(&pars_, 0xFFFF, rgb, v), 0);
            int32_t worst = 0;
            for (int c = 0; c < 3; ++c) {
                int32_t want = int32_t(v[c] * max + 0.5f);
                worst = std::max(worst, std::abs(want - int32_t(out[c])));
            }
            errors.push_back(worst);
        }
        std::sort(errors.begin(), errors.end());
        return errors;
    }
    EditPars pars_;
    Huegrid* grid_ = nullptr;
};

TEST_F(HuegridBuild, NeutralParametersGiveIdentityCurvesAndGrids) {
    Build(3, 1);
    EXPECT_EQ(grid_->lut->hasGrid, 0);
    for (int32_t v = 0; v < 256; ++v) {
        const uint32_t in[4] = {uint32_t(v), uint32_t(255 - v), uint32_t(v / 2)};
        uint32_t out[4];
        ASSERT_EQ(huegrid_testing::ApplyOne(grid_->lut, in, out), 0);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out[c], in[c]);
    }
    Build(0, 2);
    EXPECT_TRUE(grid_->lut->hasGrid == 1 && grid_->lut->input[0].gridPoints == 7);
    EXPECT_TRUE(grid_->inPixelSize == 2 && grid_->outPixelSize == 2);
    EXPECT_LE(Errors(2, 2000, 5).back(), 1);
}

TEST_F(HuegridBuild, ChannelWiseEditsBuildCurvesAndColourEditsBuildGrids) {
    pars_.brightness = 0.62f;
    Build(7, 1);
    ASSERT_EQ(grid_->lut->hasGrid, 0);
    const uint8_t* curves = static_cast<const uint8_t*>(grid_->lut->grid);
    EXPECT_EQ(std::memcmp(curves, curves + 256, 256), 0);
    EXPECT_EQ(std::memcmp(curves, curves + 512, 256), 0);
    for (int i = 0; i < 256; ++i) {
        float t = i / 255.0f;
        EXPECT_EQ(curves[i], uint8_t(HgBias(t, 0.62f) * 255 + 0.5f)) << i;
    }
    // Saturation, or a shifted handle, acts across channels: a grid even in 8 bits.
    pars_.saturation = 0.7f;
    Build(7, 1);
    EXPECT_EQ(grid_->lut->hasGrid, 1);
    EXPECT_EQ(grid_->lut->input[2].gridPoints, 33);
    pars_.saturation = 0.5f;
    pars_.hue[3].hueShift = 5.0f;
    Build(1, 1);
    EXPECT_EQ(grid_->lut->input[1].gridPoints, 9);
    // The mask decides what is built: without the hue bits the same record gives curves.
    Build(1, 1, 0x03FF);
    EXPECT_EQ(grid_->lut->hasGrid, 0);
}

TEST_F(HuegridBuild, GridHoldsTheChainAtItsNodesAndFollowsItBetween) {
    StrongPars(&pars_);
    for (int32_t depth : {1, 2}) {
        Build(7, depth);
        const HuegridLut* t = grid_->lut;
        const int32_t n = t->input[0].gridPoints, max = depth == 2 ? 65535 : 255;
        ASSERT_EQ(n, 33);
        std::mt19937 rng(depth);
        std::uniform_int_distribution<int32_t> node(0, n - 1);
        for (int i = 0; i < 300; ++i) {
            int32_t r = node(rng), g = node(rng), b = node(rng);
            const uint32_t in[4] = {t->input[0].nodes[r], t->input[1].nodes[g],
                                    t->input[2].nodes[b]};
            uint32_t out[4];
            ASSERT_EQ(huegrid_testing::ApplyOne(t, in, out), 0);
            float rgb[3] = {float(in[0]) / max, float(in[1]) / max, float(in[2]) / max}, v[3];
            ASSERT_EQ(HgEvalColour(&pars_, 0xFFFF, rgb, v), 0);
            for (int c = 0; c < 3; ++c)
                EXPECT_LE(std::abs(int(v[c] * max + 0.5f) - int(out[c])), 1);
        }
        // Between the nodes the grid follows the chain except along the steep ridges that the
        // luma-preserving hue shift makes in dark blues (about 36 codes at worst there).
        std::vector<int32_t> errors = Errors(depth, 3000, 11);
        EXPECT_LE(errors[errors.size() * 99 / 100], 10 * (depth == 2 ? 257 : 1)) << depth;
        EXPECT_LE(errors.back(), 48 * (depth == 2 ? 257 : 1)) << depth;
    }
}

TEST_F(HuegridBuild, AdaptiveNodesFitChannelWiseEditsClosely) {
    // Edits that act on each channel alone are interpolated along one axis at a time, so the
    // grid error is the error of the node placement on the grey response; adaptive placement
    // keeps it near 0.005 of full scale where uniform nodes miss the bends.
    pars_.blackPoint = 0.1f;
    pars_.grayPoint = 0.4f;
    pars_.shadow = 0.1f;
    pars_.highlight = 0.85f;
    pars_.contrast = 0.7f;
    Build(5, 2);
    std::vector<int32_t> adaptive = Errors(2, 3000, 4);
    EXPECT_LE(adaptive.back(), 2 * 257);
    HgFree(grid_);
    grid_ = nullptr;
    ASSERT_EQ(HgBuildPlaced(&pars_, 0xFFFF, 5, 2, kHgPlaceUniform, &grid_), 0);
    std::vector<int32_t> uniform = Errors(2, 3000, 4);
    EXPECT_GT(uniform.back(), 3 * adaptive.back());
}

TEST_F(HuegridBuild, NodesIncreaseStrictlyEvenAcrossLongFlatRuns) {
    // A black point at 0.85 sends the lower 85 % to 0; a white point just above it sends the
    // rest to 1: the grey response is two flat runs and a steep step.
    pars_.blackPoint = 0.85f;
    pars_.whitePoint = 0.9f;
    pars_.saturation = 0.6f;
    for (int32_t depth : {1, 2}) {
        for (int32_t n : {7, 33, 200}) {
            uint16_t nodes[3][256];
            ASSERT_EQ(HgPlaceNodes(&pars_, 0xFFFF, n, depth, kHgPlaceAdaptive, nodes), 0);
            const int32_t max = depth == 2 ? 65535 : 255;
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(nodes[c][0], 0);
                EXPECT_EQ(nodes[c][n - 1], max);
                int inRun = 0;
                for (int i = 1; i < n; ++i) {
                    ASSERT_GT(nodes[c][i], nodes[c][i - 1]) << depth << " " << n << " " << i;
                    if (nodes[c][i] < 0.84 * max) ++inRun;
                }
                // The flat run below the black point takes one node (its end) while the step
                // has room for the rest. (In 8 bits the step is only 14 codes wide, so 33 nodes
                // spill into the run.)
                if (n == 7 || (depth == 2 && n <= 33)) {
                    EXPECT_LE(inRun, 1) << depth << " " << n;
                }
            }
        }
    }
    // The run ends are nodes: 0.85 and 0.9 map exactly onto the grid.
    uint16_t nodes[3][256];
    ASSERT_EQ(HgPlaceNodes(&pars_, 0xFFFF, 9, 1, kHgPlaceAdaptive, nodes), 0);
    bool hasLow = false, hasHigh = false;
    for (int i = 0; i < 9; ++i) {
        hasLow = hasLow || (nodes[0][i] >= 216 && nodes[0][i] <= 217);
        hasHigh = hasHigh || (nodes[0][i] >= 229 && nodes[0][i] <= 230);
    }
    EXPECT_TRUE(hasLow && hasHigh);
}

TEST_F(HuegridBuild, OtherPlacementsAreValidToo) {
    pars_.shadow = 0.0f;
    uint16_t nodes[3][256];
    ASSERT_EQ(HgPlaceNodes(&pars_, 0xFFFF, 11, 2, kHgPlaceGreyInverse, nodes), 0);
    for (int i = 1; i < 11; ++i) EXPECT_GT(nodes[2][i], nodes[2][i - 1]);
    EXPECT_EQ(nodes[2][10], 65535);
    ASSERT_EQ(HgPlaceNodes(&pars_, 0xFFFF, 5, 1, kHgPlaceUniform, nodes), 0);
    const uint16_t uniform[5] = {0, 64, 128, 191, 255};
    EXPECT_EQ(std::memcmp(nodes[0], uniform, sizeof uniform), 0);
    EXPECT_EQ(HgPlaceNodes(&pars_, 0xFFFF, 1, 1, kHgPlaceUniform, nodes), -1);
    EXPECT_EQ(HgPlaceNodes(&pars_, 0xFFFF, 9, 1, 3, nodes), -1);
}

TEST_F(HuegridBuild, RefusalsReturnNothing) {
    EXPECT_EQ(HgGridSize(8), -1);
    Huegrid* out = nullptr;
    EXPECT_EQ(HgBuild(&pars_, 0xFFFF, 8, 1, &out), -1);
    EXPECT_EQ(HgBuild(&pars_, 0xFFFF, 0, 3, &out), -1);
    EXPECT_EQ(HgBuild(&pars_, 0xFFFF, 0, 1, nullptr), -1);
    pars_.hue[0].saturation = 1.5f;
    EXPECT_EQ(HgBuild(&pars_, 0xFFFF, 0, 1, &out), -1);
    EXPECT_EQ(out, nullptr);
}

}  // namespace
