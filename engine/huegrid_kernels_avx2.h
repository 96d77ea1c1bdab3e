// The three-input grid kernel with its arithmetic on AVX2: the same bytes as the plain kernel
// (engine/huegrid_kernels.cpp) for every table and input.
//
// The pixels go through in blocks, in five passes over small arrays: the input lookups (plain
// loads; with 8-bit input one word per channel holds the cell index and the fraction), the
// vertex order (vector), the vertex reads (plain loads), the interpolation (vector), the output
// tables and stores (plain). What limits it is the loads and stores: each pass stores what the
// next reads back, so every lookup saved pays (one table instead of two per 8-bit input channel
// took the 8-bit grid from 55 to 48 instructions a pixel). Gathers would read the tables in vector
// form too, but on the processors measured (AMD Zen 4) a gather is slower than the loads it
// replaces.
//
// The arithmetic is the plain kernel's, lane for lane: the same Q15 fractions, the same vertex
// order chosen by the same comparisons (ties included), the same unsigned 32-bit difference
// form, shift and rounding. A node is read as one 32-bit word (8-bit samples) or one 64-bit word
// (16-bit samples, three or four channels), up to three bytes past its last sample; the grid has
// room for that (huegrid.h: kHgTableSlack).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/huegrid.h"

// Applies a three-input grid table that HgApplyRow has accepted to count pixels, with the
// layout of HgApplyRow. Only for a processor with AVX2.
void HgTetra3Avx2(const HuegridLut* t, int32_t count, const void* const inPtrs[4], ptrdiff_t inStep,
                  void* const outPtrs[4], ptrdiff_t outStep);
