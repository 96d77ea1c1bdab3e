// Shared helpers for the Huegrid tests: a fixture that checks for leaked blocks, random tables
// with non-uniform nodes, identity tables, checks against the reference, streams in memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/huegrid.h"
#include "tests/platform/test_support.h"

namespace huegrid_testing {

// A private preferences folder (memory-guard reports land in the debug log), a check that every
// block taken during the test was given back and that no message box came up.
class EngineTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override;
    void TearDown() override;

   private:
    uint32_t blocksAtStart_ = 0;
};

struct Shape {
    int32_t kind = 2;
    int32_t inChannels = 3;
    int32_t outChannels = 3;
    int32_t hasGrid = 1;
    int32_t sampleSize = 1;
    int32_t inPixelSize = 1;
    int32_t outPixelSize = 1;
    int32_t gridPoints[4] = {5, 5, 5, 5};
    int32_t inSpace = 0;  // 0: the usual space for the channel count
    int32_t outSpace = 0;
};

// The usual colour space of a channel count: grey, RGB, CMYK.
int32_t SpaceFor(int32_t channels);

// Strictly increasing positions from 0 to maxCode, otherwise random.
std::vector<uint16_t> RandomNodes(std::mt19937& rng, int32_t count, int32_t maxCode);

// A complete table of the shape: random nodes (uniform for kinds 0 and 1), random samples,
// both pixel sizes set. Null (with a test failure) when any step fails.
HuegridLut* MakeRandomTable(std::mt19937& rng, const Shape& shape);

// A three-channel grid whose samples equal the node positions of their own axis (so the
// transform is the identity), with random nodes.
HuegridLut* MakeIdentityGrid(std::mt19937& rng, int32_t sampleSize, int32_t gridPoints);

// Applies the table to count pixels of chosen codes (the ends, node positions, random) in a
// random layout and compares every output code with the reference; samples outside the output
// slots must keep their fill and unused channel pointers stay null.
void CheckTable(std::mt19937& rng, const HuegridLut* t, int32_t count);

// One pixel through HgApplyRow at the table's pixel sizes; its status.
int32_t ApplyOne(const HuegridLut* t, const uint32_t in[4], uint32_t out[4]);

// Streams in memory.
int32_t WriteToMemory(const HuegridLut* table, std::vector<uint8_t>* bytes,
                      size_t capacity = 600000);
int32_t ReadFromMemory(std::vector<uint8_t> bytes, HuegridLut** table);
// XORs bytes with the keystream from the stream seed, in place (the scrambler is its own
// inverse).
void Scramble(std::vector<uint8_t>* bytes);

// All samples of the grid array, widened.
std::vector<uint32_t> Samples(const HuegridLut* table);

}  // namespace huegrid_testing
