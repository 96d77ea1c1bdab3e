// The row applier: a Huegrid stream turned into a row processor for whole images.
//
// The filter hands the image to the applier one row at a time, top to bottom. The applier
// applies the transform read from a Huegrid stream, optionally sharpens with a 5x5 unsharp mask
// before or after the transform, and hands each finished row to a callback, in order, exactly
// once. Sharpening needs the two rows below a row, so while it is on the output lags the input
// by two rows; the first two rows go out at once and the last two when the last row arrives.
// The top two and bottom two rows and the two columns at each side of every row are never
// sharpened (the 5x5 window does not fit there); they keep their transformed values.
//
// Rows are described by HgPixelBuffer records: planar or interleaved, with a channel order
// code of two bits per channel (channel c lies in slot (order >> 2c) & 3). Order 36 is the
// identity for three channels, 228 for four; a single channel always lies in slot 0.
#pragma once

#include <cstdint>

#include "engine/huegrid.h"
#include "platform/file.h"

constexpr uint32_t kHgOrderIdentity3 = 36;
constexpr uint32_t kHgOrderIdentity4 = 228;

struct HgPixelBuffer {
    uint32_t width;     // pixels in the row
    uint32_t channels;  // 1, 3 or 4
    uint32_t space;     // colour-space code of the data
    uint32_t planar;    // non-zero: one plane per channel; zero: interleaved pixels
    uint32_t order;     // channel order code
    uint8_t* data8;     // 8-bit samples, or null
    uint16_t* data16;   // 16-bit samples, or null; the one matching the pixel size is required
    uint64_t tag;       // the caller's value, passed on with the matching output row
};

// Receives each finished output row; a non-zero status stops the run and is returned by
// HgApplierRun unchanged. The row and its data are valid only during the call.
using HgRowCallback = int32_t (*)(const HgPixelBuffer* row, void* context);

struct HgApplyOptions {
    FLSpec stream;           // the Huegrid stream; naming neither a memory file nor an
                             // existing disk file means: no transform
    int32_t inLo, inHi;      // code range of the input pixels
    int32_t outLo, outHi;    // code range of the output pixels
    int32_t sharpenAmount;   // 0..24, 0 = no sharpening
    int32_t sharpenChannel;  // -1 every channel on its own; 0..3 this channel's change to all
    int32_t sharpenOrder;    // 0 transform then sharpen, 1 sharpen then transform, 2 choose
    uint32_t width;          // pixels per row, non-zero
    uint32_t rows;           // rows of the image, non-zero; sharpening needs more than 4
    int32_t inPixelSize;     // 1 or 2 bytes
    int32_t outPixelSize;    // 1 or 2 bytes
    HgRowCallback callback;
    uint32_t callbackPlanar;  // 0 or 1: layout of the rows given to the callback
    uint32_t callbackOrder;   // order code of the rows given to the callback
    void* callbackContext;    // passed to every callback call
    // Non-null: use this applier's transform instead of reading the stream. Its pixel sizes and
    // ranges must be the options'; it must outlive the new applier, which only reads it (the
    // kernels never write a table), so appliers on several threads can share one.
    const struct HuegridApplier* shareTable;
};

enum : int32_t {
    kHgModeCopy = 0,              // no transform, no sharpening
    kHgModeTransform = 1,         // transform
    kHgModeSharpen = 2,           // no transform, sharpening
    kHgModeTransformSharpen = 3,  // transform, then sharpen the transformed rows
    kHgModeSharpenTransform = 4,  // sharpen the input rows, then transform
};

// The applier's state. Callers treat it as opaque and use the functions below.
struct HuegridApplier {
    int32_t mode;
    const HuegridLut* table;  // null without a transform
    HuegridLut* ownTable;     // the table when this applier read it (freed with it), else null
    int32_t sharpenChannel;   // -1, or the channel whose change is added to all
    int32_t divisor;          // 25 - sharpenAmount
    int64_t weight;           // sharpenAmount / 25 in fixed point (Q15 for 8-bit, Q30 for 16-bit)
    int32_t inPixelSize;
    int32_t outPixelSize;
    int32_t clampLo, clampHi;  // code limits of the sharpened side
    void* ring[5];             // the 5-row window of the unsharp mask, planar, used as a ring
    uint64_t ringTag[5];       // the tags of the rows in the ring
    void* convert[2];          // [0] the row handed to the callback, [1] a sharpened input row
    void* codeTable;           // 8->16 or 16->8 code table without a transform
    uint32_t width;
    uint32_t rows;
    uint32_t received;  // rows received so far
    HgRowCallback callback;
    void* callbackContext;
    uint32_t callbackPlanar;
    uint32_t callbackOrder;
    int32_t inLo, inHi, outLo, outHi;
    int32_t inChannels;  // 0 until the first row without a transform
    int32_t outChannels;
    int32_t inSpace;
    int32_t outSpace;
    int32_t sharpSize;      // pixel size of the sharpened side
    int32_t sharpChannels;  // channels of the sharpened side
    int32_t* columnSums;    // per channel and column: the sum of the five rows in the window
    int32_t status;         // the first failure; every later call returns it
};

// Creates an applier. -1 for bad options, -3 without memory, or the status of reading the
// stream (-4 for a disk stream that is there but cannot be opened). Options: with a transform both
// ranges must be non-empty; every range bound must be a code of its side's pixel size; the callback
// order must be valid for the output channels.
int32_t HgApplierCreate(const HgApplyOptions* options, HuegridApplier** out);
// Hands in the next row. -1 for a bad row record (wrong width, channel count or colour space,
// invalid order code, missing data, or more rows than the image has); nothing is written then.
int32_t HgApplierRun(HuegridApplier* applier, const HgPixelBuffer* row);
// Frees the applier and everything it holds; null is accepted.
int32_t HgApplierFree(HuegridApplier* applier);
// The table the applier applies when applying it is all the applier does (a transform without
// sharpening), else null: a caller may then apply the table to rows itself, in any layout the
// kernels take, and get the bytes the applier would hand to its callback.
const HuegridLut* HgApplierTransformOnly(const HuegridApplier* applier);

// 1 when the order code places channels 0..channels-1 in distinct slots below channels.
int32_t HgOrderValid(uint32_t order, uint32_t channels);
