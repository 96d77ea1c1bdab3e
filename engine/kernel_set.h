// Which kernels this process applies tables with: the plain ones, which every processor runs;
// AVX2, which adds the vector grid kernel (engine/huegrid_kernels_avx2.h); or AVX-512, which adds
// the byte-permute path for contiguous 8-bit curves on top (it needs AVX-512 BW and VBMI). Each
// table takes the process's set when it is created (HgCreateLut) and the kernels
// (engine/huegrid_kernels.h) follow the table's, so the table code and the kernels both depend
// on this choice and not on each other. The sets are ordered: a higher one allows every path of
// a lower one.
#pragma once

#include <cstdint>

enum HgKernelSet : int32_t { kHgKernelsPlain = 0, kHgKernelsAvx2 = 1, kHgKernelsAvx512 = 2 };

// The kernel set tables get in this process, decided at the first call: the best the processor
// runs, capped by the environment variable KOLMARA_SIMD when it is "none" (the plain kernels) or
// "avx2". The cap lets one machine run the tests and benchmarks every way; it is read once, so
// a process never mixes sets by accident. Other values are ignored.
HgKernelSet HgKernelSetForProcess();

// The best set this processor runs, whatever the process's set: a table made in another process
// is checked against it before a vector path runs.
HgKernelSet HgProcessorKernelSet();
