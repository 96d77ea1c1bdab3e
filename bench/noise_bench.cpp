// Throughput of the noise-removal row filter with the settings the plug-in uses: luma left alone,
// blue and red chroma smoothed with radii 8 and 4 and thresholds 16 over the sparse random disc,
// on a 24-megapixel image (6000 x 4000, 8-bit and 16-bit RGB) with smooth content and colour noise.
//
// Usage: noise_bench [runs]   (default 3; the median run is reported)
// The figures are per CPU second of the filtering thread, so that a busy machine does not skew
// them; wall-clock figures are printed alongside. The last lines are
// "noise8_mpix_s VALUE Mpix/s" and "noise16_mpix_s VALUE Mpix/s".
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <ctime>
#include <vector>

#include "engine/noise_filter.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kRows = 4000;

struct Sink {
    uint64_t sum = 0;
    int rows = 0;
};

int32_t Consume(const HgPixelBuffer* row, void* context) {
    auto* s = static_cast<Sink*>(context);
    // Touch a few samples so that the work cannot be skipped.
    s->sum += row->data8 ? row->data8[row->width / 2] : row->data16[row->width / 2];
    s->rows += 1;
    return 0;
}

// A smooth picture (gradients and broad waves) with chroma noise of about +-12 codes and a
// little luma noise; rows are interleaved RGB.
template <typename T>
std::vector<T> MakeImage(int scale) {
    std::vector<T> image(size_t(kWidth) * kRows * 3);
    std::mt19937 rng(20240611);
    std::normal_distribution<float> chroma(0.0f, 8.0f), luma(0.0f, 2.0f);
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const float base = 128 + 60 * std::sin(x * 0.002f) * std::cos(y * 0.003f);
            const float l = luma(rng), cr = chroma(rng), cb = chroma(rng);
            const float rgb[3] = {base + 30 * std::sin(y * 0.001f) + l + cr,
                                  base + l - 0.5f * (cr + cb), base - 20 + l + cb};
            for (int c = 0; c < 3; ++c) {
                const float v = std::clamp(rgb[c], 0.0f, 255.0f) * float(scale);
                image[(size_t(y) * kWidth + x) * 3 + c] = T(std::lround(v));
            }
        }
    }
    return image;
}

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Times {
    double wall, cpu;
};

template <typename T>
Times RunOnce(const std::vector<T>& image, int pixelSize) {
    Sink sink;
    NoiseFilterOptions o = {};
    o.width = kWidth;
    o.rows = kRows;
    o.space = 1;
    o.lumaChroma = 1;
    o.channels = 3;
    o.radius[0] = 0, o.radius[1] = 8, o.radius[2] = 4;
    o.threshold[0] = 0, o.threshold[1] = 16, o.threshold[2] = 16;
    o.mode = kNoiseModeSparseDisc;
    o.planar = 1;
    o.order = 36;
    o.pixelSize = pixelSize;
    o.callback = Consume;
    o.callbackContext = &sink;
    NoiseFilter* filter = nullptr;
    if (NoiseFilterCreate(&filter, &o) != 0) {
        std::fprintf(stderr, "NoiseFilterCreate failed\n");
        std::exit(1);
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    for (int y = 0; y < kRows; ++y) {
        HgPixelBuffer row = {kWidth, 3, 1, 0, 36, nullptr, nullptr, uint64_t(y)};
        T* data = const_cast<T*>(image.data() + size_t(y) * kWidth * 3);
        if constexpr (sizeof(T) == 1) {
            row.data8 = data;
        } else {
            row.data16 = data;
        }
        if (NoiseFilterRun(filter, &row) != 0) {
            std::fprintf(stderr, "NoiseFilterRun failed at row %d\n", y);
            std::exit(1);
        }
    }
    const double cpu = CpuSeconds() - cpuStart;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    NoiseFilterFree(filter);
    if (sink.rows != kRows) {
        std::fprintf(stderr, "expected %d rows, got %d\n", kRows, sink.rows);
        std::exit(1);
    }
    return {seconds, cpu};
}

template <typename T>
double Measure(const char* name, int pixelSize, int scale, int runs) {
    const std::vector<T> image = MakeImage<T>(scale);
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        const Times t = RunOnce(image, pixelSize);
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    const double mpix = double(kWidth) * kRows / 1e6;
    std::printf(
        "%s: %d x %d, median of %d runs: %.3f s CPU (%.2f Mpixel/s), %.3f s wall (%.2f Mpixel/s)\n",
        name, kWidth, kRows, runs, cpu[runs / 2], mpix / cpu[runs / 2], wall[runs / 2],
        mpix / wall[runs / 2]);
    return mpix / cpu[runs / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const double m8 = Measure<uint8_t>("8-bit", 1, 1, runs);
    const double m16 = Measure<uint16_t>("16-bit", 2, 257, runs);
    std::printf("noise8_mpix_s %.2f Mpix/s\n", m8);
    std::printf("noise16_mpix_s %.2f Mpix/s\n", m16);
    return 0;
}
