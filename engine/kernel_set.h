// Which kernels this process applies tables with: the plain ones, which every processor runs, or
// also the byte-permute path for contiguous 8-bit curves (AVX-512 VBMI). Each table takes the
// process's set when it is created (HgCreateLut) and the kernels (engine/huegrid_kernels.h)
// follow the table's, so the table code and the kernels both depend on this choice and not on
// each other.
#pragma once

#include <cstdint>

enum HgKernelSet : int32_t { kHgKernelsPlain = 0, kHgKernelsBytePermute = 1 };

// The kernel set tables get in this process, decided at the first call: the byte-permute path
// when the processor has AVX-512 VBMI, unless the environment variable KOLMARA_SIMD is "none",
// which keeps every table on the plain kernels. The override lets one machine run the tests
// both ways; it is read once, so a process never mixes the two by accident.
HgKernelSet HgKernelSetForProcess();

// Whether this processor can run the byte-permute path (AVX-512 BW and VBMI), whatever the
// process's set: a table made in another process is checked against it before the path runs.
bool HgHasBytePermute();
