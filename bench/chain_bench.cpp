// The colour chain: how long HgBuild takes for a live slider, and how closely a built Huegrid
// follows the chain it samples.
//
//   chain_bench                     the error table, the build-time median, then the benchmarks
//   chain_bench --build-once        one q7 16-bit build and nothing else (for callgrind)
//
// The edit is strong but realistic, every stage active: linear data, a tinted balance from two
// marked neutrals, black, grey and white point, brightness, shadows, highlights, contrast, more
// saturation, two shifted hue handles (yellows towards green, blues towards cyan) and a warm
// toning. Each build starts from a record whose derived curves are out of date, as after a
// slider move. Errors are measured on 100,000 random colours against HgEvalColour itself, in
// 8-bit codes (16-bit differences divided by 257), per colour the largest of its three channels.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/bench_data.h"
#include "bench/grid_error.h"
#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "engine/huegrid_build.h"
#include "engine/working_space.h"
#include "platform/work_pool.h"

namespace {

using bench::GridErrors;
using bench::MeasureGridError;
using bench::NeutralPars;
using bench::Stale;
using bench::StrongPars;

// Tone edits only: every stage acts on each channel alone.
EditPars TonePars() {
    EditPars p;
    NeutralPars(&p);
    p.blackPoint = 0.1f;
    p.grayPoint = 0.4f;
    p.shadow = 0.1f;
    p.highlight = 0.85f;
    p.contrast = 0.7f;
    return p;
}

double BuildMillisecondsMedian(const EditPars& pristine, int32_t quality, int32_t depth, int runs,
                               int32_t threads = 1) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        EditPars p = pristine;
        Stale(&p);
        Huegrid* grid = nullptr;
        auto start = std::chrono::steady_clock::now();
        int32_t status = HgBuildOn(&p, 0xFFFF, quality, depth, threads, &grid);
        auto end = std::chrono::steady_clock::now();
        HgFree(grid);
        if (status != 0) return -1;
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void BM_HgBuild(benchmark::State& state) {
    const EditPars pristine = StrongPars(true);
    const int32_t quality = int32_t(state.range(0)), depth = int32_t(state.range(1));
    for (auto _ : state) {
        EditPars p = pristine;
        Stale(&p);
        Huegrid* grid = nullptr;
        if (HgBuild(&p, 0xFFFF, quality, depth, &grid) != 0) state.SkipWithError("build failed");
        benchmark::DoNotOptimize(grid);
        HgFree(grid);
    }
}
BENCHMARK(BM_HgBuild)
    ->Args({7, 2})
    ->Args({7, 1})
    ->Args({3, 2})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

void BM_EvalColour(benchmark::State& state) {
    EditPars p = StrongPars(true);
    float v[3] = {0.3f, 0.5f, 0.7f};
    HgEvalColour(&p, 0xFFFF, v, v);  // curves up to date
    for (auto _ : state) {
        float in[3] = {0.3f, 0.5f, 0.7f}, out[3];
        HgEvalColour(&p, 0xFFFF, in, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_EvalColour);

void PrintTable(const char* title, const EditPars& pars, bool withUniform) {
    std::printf("%s\n", title);
    std::printf("  quality nodes | 8-bit max  p99 | 16-bit max  p99\n");
    for (int32_t q = 0; q <= kHgQualityMax; ++q) {
        GridErrors e8 = MeasureGridError(pars, q, 1, kHgPlaceAdaptive),
                   e16 = MeasureGridError(pars, q, 2, kHgPlaceAdaptive);
        std::printf("  %7d %5d | %9.2f %5.2f | %10.2f %5.2f\n", q, HgGridSize(q), e8.max, e8.p99,
                    e16.max, e16.p99);
    }
    if (withUniform) {
        for (int32_t place : {kHgPlaceUniform, kHgPlaceGreyInverse}) {
            GridErrors e8 = MeasureGridError(pars, kHgQualityMax, 1, place);
            GridErrors e16 = MeasureGridError(pars, kHgQualityMax, 2, place);
            std::printf("  %7s %5d | %9.2f %5.2f | %10.2f %5.2f   (%s nodes)\n", "7", 33, e8.max,
                        e8.p99, e16.max, e16.p99,
                        place == kHgPlaceUniform ? "uniform" : "grey-inverse");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--build-once") == 0) {
        EditPars p = StrongPars(true);
        Stale(&p);
        Huegrid* grid = nullptr;
        int32_t status = HgBuild(&p, 0xFFFF, 7, 2, &grid);
        std::printf("build %d nodes %d\n", status,
                    grid != nullptr ? grid->lut->input[0].gridPoints : 0);
        HgFree(grid);
        return status == 0 ? 0 : 1;
    }
    const EditPars strong = StrongPars(true), strongGamma = StrongPars(false), tone = TonePars();
    PrintTable("Grid error against HgEvalColour, every stage active (linear data), 8-bit codes:",
               strong, true);
    PrintTable("The same edit on gamma-encoded data (linear off):", strongGamma, true);
    PrintTable("Tone edits only (points, shadows, highlights, contrast):", tone, true);

    GridErrors adaptive = MeasureGridError(strong, kHgQualityMax, 1, kHgPlaceAdaptive);
    GridErrors uniform = MeasureGridError(strong, kHgQualityMax, 1, kHgPlaceUniform);
    double ms = BuildMillisecondsMedian(strong, kHgQualityMax, 2, 21);
    std::printf("HgBuild q7 16-bit, every stage: median of 21 builds %.2f ms\n", ms);
    const int32_t threads = WorkThreadCount(0);
    const double threadedMs = BuildMillisecondsMedian(strong, kHgQualityMax, 2, 21, threads);
    std::printf("The same on %d threads: %.2f ms\n", int(threads), threadedMs);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("hgbuild_q7_16bit_ms %.2f ms\n", ms);
    std::printf("hgbuild_q7_16bit_threads_ms %.2f ms\n", threadedMs);
    std::printf("grid_error_q7_max_codes %.2f codes\n", adaptive.max);
    std::printf("grid_error_q7_p99_codes %.2f codes\n", adaptive.p99);
    std::printf("grid_error_q7_uniform_max_codes %.2f codes\n", uniform.max);
    return 0;
}
