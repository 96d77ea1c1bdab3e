// The .cube 3-D LUT: the correction as the common text format that grading and video tools read.
//
// The file holds, after a comment line, a TITLE, LUT_3D_SIZE n, DOMAIN_MIN 0 0 0 and
// DOMAIN_MAX 1 1 1, then n^3 lines "R G B" of output values in 0..1, red varying fastest, then
// green, then blue. Node i of each axis stands for the input i / (n - 1). The values are the
// transform's 16-bit outputs at the nodes written with six decimals, so round(v x 65535) gives
// back the exact 16-bit code: 16-bit data loses nothing to the text form. Lines end with LF.
#pragma once

#include <cstdint>

#include "edit/export/export_file.h"
#include "engine/huegrid.h"
#include "platform/status.h"

// The sizes offered: 33 (the default, as the transform's finest grid) and 65.
constexpr int32_t kCubeDefaultSize = 33;
constexpr int32_t kCubeLargeSize = 65;

// Writes the LUT of a transform built at depth 2 into the open target. n is 2..256; title may
// be null (no TITLE line); characters that would break the line (quotes, control characters)
// are replaced by blanks. -1 for a bad argument, -3 without memory, a file-layer status when a
// write fails.
int32_t CubeWrite(const Huegrid* transform, int32_t n, const char* title, ExportTarget* target);

// Formats a 16-bit code as its value code / 65535 with six decimals ("0.501961"); writes 8
// characters and returns them (no terminator).
int32_t CubeFormatCode(uint16_t code, char out[8]);
