// A plain reference for the Huegrid kernels and the applier's sharpening, for tests.
//
// It evaluates one pixel from what defines a table: its shape, node positions, code ranges and
// samples. It never reads the derived tables (cell offsets, fractions, output tables, 1-D
// tables), the strides or the interpolation constants, so a fault in building any of them
// shows up as a difference. Straight loops, 64-bit and double arithmetic, no speed tricks.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/huegrid.h"

namespace huegrid_reference {

// Output codes of one pixel; in holds inChannels codes, out receives outChannels codes.
void ApplyPixel(const HuegridLut& table, const uint32_t in[4], uint32_t out[4]);

// A whole image, channel-major: value(c, x, y) = data[(c * height + y) * width + x].
struct Image {
    int width = 0, height = 0, channels = 0;
    std::vector<uint32_t> data;
    uint32_t& at(int c, int x, int y) { return data[(size_t(c) * height + y) * width + x]; }
    uint32_t at(int c, int x, int y) const { return data[(size_t(c) * height + y) * width + x]; }
};

Image ApplyImage(const HuegridLut& table, const Image& in);

// The 5x5 unsharp mask as the applier defines it: amount 1..24, channel -1 (each on its own)
// or k (channel k's change added to all), samples of sampleBytes, results clamped to lo..hi.
// Border rows and columns (two on each side) are left as they are.
Image Sharpen(const Image& in, int amount, int channel, int sampleBytes, int64_t lo, int64_t hi);

}  // namespace huegrid_reference
