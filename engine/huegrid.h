// The Huegrid: the colour transform the filter applies to an image, and its table.
//
// A HuegridLut maps 1, 3 or 4 input channels to 1, 3 or 4 output channels in three stages: one
// input table per input channel turns a pixel code into a grid cell and a Q15 fraction within it;
// an N-dimensional grid of samples with non-uniform node positions is interpolated (grid mode),
// or each channel goes through its own 1-D table (curve mode); one output table per output
// channel turns the interpolated value into an output code. The tables depend on the pixel sizes
// and code ranges and are rebuilt whenever those change (HgSetPixelSize, HgSetRange), never per
// pixel. The kernels that evaluate a table on pixels are in engine/huegrid_kernels.h, the row
// processor with sharpening in engine/huegrid_applier.h.
//
// A Huegrid is the small handle the rest of the program holds: a copy of the table's shape and
// pixel sizes, and the owned table.
//
// The serialised form (HgWriteStream / HgReadStream) is a 128-byte header followed by the node
// tables and the samples, big-endian, scrambled with a running keystream. It is how a finished
// transform travels from the builder to the row applier (usually through a memory file).
//
// Limits worth knowing:
// - In curve mode (and for a grid with one input channel) the 1-D tables are computed from the
//   samples when the pixel sizes or ranges are set; store every entry first, then set the
//   pixel sizes (the builder and the stream reader do it in that order).
// - The node count of a channel cannot change once samples are stored (the sample layout
//   depends on it); HgSetNodes refuses it with -1.
// - Grids whose sample array would not fit 2 GiB are refused with -3.
#pragma once

#include <cstdint>

#include "engine/kernel_set.h"
#include "platform/file.h"
#include "platform/status.h"

// Colour-space codes and the channel count each requires. Records hold them as int32_t, since
// a stream may carry any number; a switch over HgSpace(code) lists every one, so that a new code
// cannot be forgotten (-Wswitch-enum).
enum HgSpace : int32_t {
    kHgSpaceRgb = 1,   // 3 channels
    kHgSpaceCmyk = 4,  // 4 channels
    kHgSpaceGrey = 5,  // 1 channel
    kHgSpace7 = 7,     // 3 channels
    kHgSpace8 = 8,     // 3 channels
};

enum : int32_t { kHgSideInput = 0, kHgSideOutput = 1 };

// The keystream seed of the stream format.
constexpr int32_t kHgStreamSeed = 6173;
constexpr int32_t kHgStreamHeaderSize = 128;

struct HgInputChannel {
    uint32_t lo;  // code range of this input channel (input pixel codes); lo != hi
    uint32_t hi;
    int32_t gridPoints;   // grid nodes on this axis; 1-D table length (256 or 65536) in curve mode
    uint16_t nodes[256];  // node positions in sample codes, strictly increasing, 0 .. max code
    uint32_t stride;      // grid elements between neighbouring nodes on this axis
    // Grid mode: cell index per 16-bit input code (null for 8-bit input pixels).
    // Curve mode: the u8 1-D table of this channel.
    uint8_t* cellOf16;
    // 8-bit input pixels: element offset of the cell's base corner per input code.
    // 16-bit input pixels: element offset per cell index.
    uint32_t cellOffset[256];
    // Grid mode: weight of the upper node per input code, 0..32768 (Q15).
    // Curve mode: the u16 1-D table of this channel.
    uint16_t* frac;
    // Grid mode, 8-bit input pixels: cell index << 16 | weight of the upper node, per input
    // code. The same facts as cellOffset and frac in one word, so the vector kernel reads one
    // table per channel and pixel instead of two (it multiplies the index by the stride itself).
    uint32_t cellFrac8[256];
};

struct HgOutputChannel {
    uint32_t lo;  // code range of this output channel (output pixel codes)
    uint32_t hi;
    // Interpolated value to output code: 256 x u8 for 8-bit output, 65536 x u16 for 16-bit output
    // (absent for 16-bit samples and output over the full range: the value is the code; 8-bit
    // samples reach only 65280 and always have one). Grid mode with more than one input channel
    // only.
    void* table;
};

// Bytes every table of a HuegridLut (grid, input and output tables) has after its last entry,
// zeroed: the vector kernels read whole 32-bit words, up to three bytes past the entry they use.
constexpr uint32_t kHgTableSlack = 8;

struct HuegridLut {
    int32_t kind;          // stream layout generation 0, 1 or 2
    int32_t inChannels;    // 1, 3 or 4
    int32_t outChannels;   // 1, 3 or 4
    int32_t inSpace;       // colour-space code of the input side
    int32_t outSpace;      // colour-space code of the output side
    int32_t hasGrid;       // 1 grid mode, 0 curve mode
    int32_t sampleSize;    // bytes per grid or curve sample, 1 or 2
    int32_t inPixelSize;   // bytes per input pixel sample, 1 or 2
    int32_t outPixelSize;  // bytes per output pixel sample, 1 or 2
    int32_t shift;         // right shift of the interpolation sum
    int32_t round;         // added to the interpolation sum before the shift
    HgInputChannel input[4];
    HgOutputChannel output[4];
    // outChannels x prod(gridPoints) samples of sampleSize bytes. Grid mode with more than one
    // input channel: node-major, the outChannels samples of one node adjacent, input channel 0
    // fastest. Otherwise one table of 256 or 65536 samples per output channel, one after the
    // other. Null until the first entry is stored.
    void* grid;
    // The kernels it is applied with (engine/kernel_set.h): the process's set when HgCreateLut
    // made it; a processor without the set runs the plain one.
    HgKernelSet kernels;
};

struct Huegrid {
    int32_t inChannels;
    int32_t outChannels;
    int32_t inSpace;
    int32_t outSpace;
    int32_t sampleSize;
    int32_t inPixelSize;  // kept in step with the table by HgSetDepth
    int32_t outPixelSize;
    HuegridLut* lut;  // owned
};

// Creates a zeroed table: every input channel with one grid point, no tables and the full
// range; every output channel with the full range; in grid mode with more than one input
// channel the output tables are built. Its kernels are the process's (engine/kernel_set.h). -1 or
// -9 for a combination the kind does not allow (nothing is returned then), -3 without memory.
int32_t HgCreateLut(HuegridLut** out, int32_t inChannels, int32_t outChannels, int32_t inSpace,
                    int32_t outSpace, int32_t hasGrid, int32_t kind, int32_t sampleSize);
// Frees the table and everything it owns; null is accepted.
int32_t HgFreeLut(HuegridLut* table);

// Sets the node positions of one input channel: nodes are u8 for 8-bit samples, u16 for 16-bit.
// Curve mode and one-input grids: only sets the table length (nodes may be null). Kinds 0 and 1:
// writes the uniform positions for gridPoints 2, 3, 5, 9 or 17, equal on every channel (else
// -9; nodes may be null). Otherwise gridPoints 2..256, nodes[0] = 0, the last node the maximum
// code and strictly increasing (else -1, previous nodes kept). Rebuilds the channel's tables.
int32_t HgSetNodes(HuegridLut* table, int32_t channel, int32_t gridPoints, const void* nodes);
// Stores outChannels samples (u8 or u16 by sample size) for grid node index, or for entry index
// of every channel's 1-D table. -2 while a grid channel has no nodes, -3 without memory.
int32_t HgSetEntry(HuegridLut* table, uint32_t index, const void* values);
// Sets the code range of one channel of a side and rebuilds the tables that depend on it.
// -2 when an input channel has no nodes yet (the range is kept for when they are set).
int32_t HgSetRange(HuegridLut* table, int32_t side, int32_t channel, uint32_t lo, uint32_t hi);
// Sets the pixel size (1 or 2 bytes) of a side, resets every channel of that side to the full
// range and, for the output side, chooses the interpolation shift and rounding.
int32_t HgSetPixelSize(HuegridLut* table, int32_t side, int32_t size);
// 0 when the table is complete and consistent enough to be applied or written, else -1.
int32_t HgCheckLut(const HuegridLut* table);

// The Huegrid stream over a disk or memory file named by stream. Writing refuses a table that
// fails HgCheckLut (-1) and leaves the table untouched; -4 when the stream cannot be opened,
// -6 when it cannot be written. Reading returns a new checked table with both pixel sizes equal
// to the sample size and full ranges; -8 for an invalid header, -9 for a kind that does not
// allow the layout, a file-layer status for a short stream. Nothing is returned on failure.
int32_t HgWriteStream(const HuegridLut* table, const FLSpec* stream);
int32_t HgReadStream(HuegridLut** out, const FLSpec* stream);

// Wraps a table in a new handle, which takes ownership of it. On failure (-3) the table stays
// the caller's.
int32_t HgCreate(HuegridLut* table, Huegrid** out);
// HgSetPixelSize on the handle's table, then the handle's copy of the pixel size.
int32_t HgSetDepth(Huegrid* handle, int32_t side, int32_t size);
// Frees the table and the handle; null is accepted.
int32_t HgFree(Huegrid* handle);

// Shared by the table code, the stream and the kernels.
inline bool HgIsGridMode(const HuegridLut* t) {
    return t->hasGrid == 1 && t->inChannels > 1;
}
// Length of a 1-D table (curve mode and one-input grids): 256 or 65536 by sample size.
inline int32_t HgCurveLength(int32_t sampleSize) {
    return sampleSize == 2 ? 65536 : 256;
}
// The largest code of a sample or pixel size (2: 16-bit, else 8-bit).
inline int32_t HgMaxCode(int32_t size) {
    return size == 2 ? 65535 : 255;
}
// The interpolation constants for a sample size and an output pixel size. Index ranges: 0..255
// (8-bit samples, 8-bit output), 0..65280 (8-bit samples, 16-bit output), 0..255 (16-bit
// samples, 8-bit output: truncated, since rounding would take white to 256, one past the
// output table, and out of the signed 32-bit range), 0..65535 (16-bit samples, 16-bit output).
constexpr int32_t HgShiftFor(int32_t sampleSize, int32_t outPixelSize) {
    return sampleSize == 1 ? (outPixelSize == 1 ? 15 : 7) : (outPixelSize == 1 ? 23 : 15);
}
constexpr int32_t HgRoundFor(int32_t sampleSize, int32_t outPixelSize) {
    return sampleSize == 1 ? (outPixelSize == 1 ? 16384 : 127) : (outPixelSize == 1 ? 0 : 16384);
}
// The largest interpolated value in grid mode, the last index of the output table that a sample
// at full scale reaches: 255, 65535, or 65280 (255 shifted up by 8) for 8-bit samples and
// 16-bit output.
constexpr int32_t HgOutputIndexMax(int32_t sampleSize, int32_t outPixelSize) {
    return outPixelSize == 1 ? 255 : (sampleSize == 1 ? 65280 : 65535);
}
// Channel count a colour-space code requires, 0 for an unknown code.
int32_t HgSpaceChannels(int32_t space);
