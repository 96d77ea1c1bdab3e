// The correction as the export writers see it: the filter's transform, built from a copy of the
// edit parameters, and evaluated on 16-bit RGB codes.
//
// Every exported file carries the same transform the filter applies: every stage of the chain,
// the grid-size level of the run, the working space the edits were made in. The writers of the
// .cube LUT and the ICC profiles sample it at uniform nodes with 16-bit input and output codes,
// so that what they store is the transform's own output (its tetrahedral interpolation between
// its non-uniform nodes included) to a 65535th, not an approximation of the chain. The Huegrid
// file is the transform itself, built at the document's depth as the filter builds it.
//
// The transform never includes sharpening or noise removal: those work on neighbourhoods of
// pixels, which no colour-to-colour file can carry.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "engine/huegrid.h"
#include "engine/ref_rgb.h"
#include "platform/status.h"

// Builds the transform of editPars as the filter does: a copy of the record adopts workingSpace
// (null: the record's own refRGB) with its derived tables, then every stage at quality index
// gridLevel (0..7) and depth 1 or 2 bytes. *out is a new Huegrid with both pixel sizes at depth.
// -1 for a bad argument, a working space that is not usable or parameters that fail the
// engine's check; -3 without memory.
int32_t ExportBuildTransform(const EditPars* editPars, const RefRGB* workingSpace,
                             int32_t gridLevel, int32_t depth, Huegrid** out);

// Applies a transform built at depth 2 to count interleaved 16-bit RGB pixels (in and out may be
// the same memory). -1 for a bad argument or a transform of another depth.
int32_t ExportApply16(const Huegrid* transform, int32_t count, const uint16_t* in, uint16_t* out);

// The 16-bit code of node i of n uniform nodes over 0..65535: round(i * 65535 / (n - 1)).
uint16_t ExportNodeCode(int32_t i, int32_t n);
