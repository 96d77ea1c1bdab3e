// Pixel kernels: a Huegrid table applied to a run of pixels.
//
// Every image the filter touches ends here, so the kernels are the hot path of the product.
// All arithmetic is integer and exact: one input-table lookup per input channel, tetrahedral
// interpolation over the grid with Q15 weights (four grid reads per output channel for three
// inputs, five for four), one output-table lookup. Curve tables and one-input grids are one or
// two lookups per channel. Results depend only on the table and the input codes, never on the
// layout, so any pointer set and step give the same pixels.
//
// Pixels are addressed per channel: input channel c of pixel i is read at
// inPtrs[c] + i * inStep, output channel c is written at outPtrs[c] + i * outStep. Steps are
// in samples of the side's pixel size (uint8_t for 1 byte, uint16_t for 2); pointers of
// channels the table does not use are ignored. Input and output may be the same memory (each
// pixel is read completely before it is written).
#pragma once

#include <cstdint>

#include "engine/huegrid.h"

// Applies the table to count pixels. -1 for a missing table, pointer or pointer array, a
// negative count, an unsupported channel count, or a table that is not ready to be applied
// (missing samples or derived tables, constants that do not fit its sizes).
int32_t HgApplyRow(const HuegridLut* table, int32_t count, const void* const inPtrs[4],
                   int32_t inStep, void* const outPtrs[4], int32_t outStep);
// HgApplyRow on the handle's table; -1 when the handle or its table is missing.
int32_t HgApply(const Huegrid* handle, int32_t count, const void* const inPtrs[4], int32_t inStep,
                void* const outPtrs[4], int32_t outStep);
