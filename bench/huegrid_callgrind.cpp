// The 8-bit 33^3 grid kernel on a 1000 x 1000 image, once, for counting instructions under
// valgrind --tool=callgrind (see bench/README.md). Prints the number of pixels.
#include <cstdio>
#include <vector>

#include "bench/bench_data.h"
#include "engine/huegrid_kernels.h"

int main() {
    constexpr int kWidth = 1000, kHeight = 1000;
    HuegridLut* grid = bench::MakeGrid(33, 1);
    if (grid == nullptr) return 1;
    std::vector<uint8_t> in = bench::MakeImage8(kWidth, kHeight), out(in.size());
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* src = in.data() + size_t(y) * kWidth * 3;
        uint8_t* dst = out.data() + size_t(y) * kWidth * 3;
        const void* ip[4] = {src, src + 1, src + 2, nullptr};
        void* op[4] = {dst, dst + 1, dst + 2, nullptr};
        if (HgApplyRow(grid, kWidth, ip, 3, op, 3) != 0) return 1;
    }
    unsigned sum = 0;
    for (uint8_t v : out) sum += v;
    std::printf("pixels %d checksum %u\n", kWidth * kHeight, sum);
    HgFreeLut(grid);
    return 0;
}
