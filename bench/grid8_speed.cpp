// The 8-bit 33^3 grid kernel alone, timed with nothing but the standard library, so that the same
// program builds for Linux and, with mingw-w64, for Windows and runs there under Wine: the two
// figures of one run compare the same kernel on the same machine (scripts/bench.sh divides the
// Wine figure by the native one). The image and the grid are huegrid_bench's (bench_data.h); the
// rows go through HgApplyRow as the filter calls it.
//
//   grid8_speed [repetitions]
//
// Prints the median over the repetitions (default 9) as "grid8_mpix_per_s VALUE Mpix/s", and a
// checksum of the output, which must be the same on both systems.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/bench_data.h"
#include "engine/huegrid_kernels.h"

namespace {

constexpr int kWidth = 3000;
constexpr int kHeight = 2000;

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 9;
    if (!(1 <= repetitions && repetitions <= 1000)) {
        std::fprintf(stderr, "grid8_speed: repetitions must be 1 to 1000\n");
        return 2;
    }
    HuegridLut* grid = bench::MakeGrid(33, 1);
    if (grid == nullptr) {
        std::fprintf(stderr, "grid8_speed: no grid\n");
        return 1;
    }
    const std::vector<uint8_t> in = bench::MakeImage8(kWidth, kHeight);
    std::vector<uint8_t> out(in.size());
    std::vector<double> seconds;
    for (int r = 0; r < repetitions; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* src = in.data() + size_t(y) * kWidth * 3;
            uint8_t* dst = out.data() + size_t(y) * kWidth * 3;
            const void* ip[4] = {src, src + 1, src + 2, nullptr};
            void* op[4] = {dst, dst + 1, dst + 2, nullptr};
            if (HgApplyRow(grid, kWidth, ip, 3, op, 3) != 0) {
                std::fprintf(stderr, "grid8_speed: HgApplyRow failed\n");
                return 1;
            }
        }
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    HgFreeLut(grid);
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    unsigned long long sum = 0;
    for (size_t i = 0; i < out.size(); ++i) sum = sum * 31 + out[i];
    std::printf("checksum %016llx\n", sum);
    std::printf("grid8_mpix_per_s %.1f Mpix/s\n", double(kWidth) * kHeight / median / 1e6);
    return 0;
}
