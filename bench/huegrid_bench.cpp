// The Huegrid kernels against their peers, in one run, on one 6000 x 4000 RGB image:
// - an 8-bit and a 16-bit 33^3 grid through HgApplyRow (row by row, as the filter calls it)
//   against lcms2 transforms whose pipeline is one 33^3 CLUT stage with the same node values
//   (a device link, whole image in one call: lcms2 at its best);
// - 8-bit curves through HgApplyRow against memcpy of the same buffer.
// After the runs one line per figure: NAME VALUE UNIT, the ratio of the medians of CPU time
// (one thread; CPU time keeps other work on the machine out of the figures).
#include <benchmark/benchmark.h>
#include <lcms2.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "engine/huegrid_kernels.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kGridPoints = 33;
constexpr int64_t kPixels = int64_t(kWidth) * kHeight;

struct Data {
    std::vector<uint8_t> in8 = bench::MakeImage8(kWidth, kHeight);
    std::vector<uint8_t> out8 = std::vector<uint8_t>(in8.size());
    std::vector<uint16_t> in16 = bench::MakeImage16(kWidth, kHeight);
    std::vector<uint16_t> out16 = std::vector<uint16_t>(in16.size());
    HuegridLut* grid8 = bench::MakeGrid(kGridPoints, 1);
    HuegridLut* grid16 = bench::MakeGrid(kGridPoints, 2);
    HuegridLut* curves = bench::MakeCurves();
};

Data& Shared() {
    static Data data;
    return data;
}

template <typename T>
void ApplyRows(benchmark::State& state, const HuegridLut* table, const std::vector<T>& in,
               std::vector<T>& out) {
    if (table == nullptr) {
        state.SkipWithError("no table");
        return;
    }
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) {
            const T* src = in.data() + size_t(y) * kWidth * 3;
            T* dst = out.data() + size_t(y) * kWidth * 3;
            const void* ip[4] = {src, src + 1, src + 2, nullptr};
            void* op[4] = {dst, dst + 1, dst + 2, nullptr};
            if (HgApplyRow(table, kWidth, ip, 3, op, 3) != 0) {
                state.SkipWithError("HgApplyRow failed");
                return;
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
}

// A device link whose only stage is the grid's samples as a 16-bit CLUT. lcms2 orders its
// table with the first input channel slowest; the Huegrid grid has it fastest.
cmsHTRANSFORM MakeLcmsTransform(const HuegridLut* table, cmsUInt32Number format) {
    const int n = kGridPoints;
    std::vector<cmsUInt16Number> clut(size_t(n) * n * n * 3);
    for (int r = 0; r < n; ++r) {
        for (int g = 0; g < n; ++g) {
            for (int b = 0; b < n; ++b) {
                const size_t ours = (size_t(b) * n + g) * n + r,
                             theirs = (size_t(r) * n + g) * n + b;
                for (int k = 0; k < 3; ++k) {
                    const size_t at = ours * 3 + size_t(k);
                    clut[theirs * 3 + size_t(k)] =
                        table->sampleSize == 2
                            ? static_cast<const uint16_t*>(table->grid)[at]
                            : cmsUInt16Number(static_cast<const uint8_t*>(table->grid)[at] * 257);
                }
            }
        }
    }
    cmsHPROFILE link = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(link, 4.3);
    cmsSetDeviceClass(link, cmsSigLinkClass);
    cmsSetColorSpace(link, cmsSigRgbData);
    cmsSetPCS(link, cmsSigRgbData);
    cmsSetHeaderRenderingIntent(link, INTENT_PERCEPTUAL);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(pipeline, cmsAT_END,
                           cmsStageAllocCLut16bit(nullptr, n, 3, 3, clut.data()));
    cmsWriteTag(link, cmsSigAToB0Tag, pipeline);
    cmsPipelineFree(pipeline);
    cmsHTRANSFORM transform = cmsCreateTransform(link, format, nullptr, format, INTENT_PERCEPTUAL,
                                                 cmsFLAGS_NOWHITEONWHITEFIXUP);
    cmsCloseProfile(link);
    return transform;
}

template <typename T>
void ApplyLcms(benchmark::State& state, const HuegridLut* table, cmsUInt32Number format,
               const std::vector<T>& in, std::vector<T>& out) {
    cmsHTRANSFORM transform = table ? MakeLcmsTransform(table, format) : nullptr;
    if (transform == nullptr) {
        state.SkipWithError("no lcms2 transform");
        return;
    }
    for (auto _ : state) {
        cmsDoTransform(transform, in.data(), out.data(), cmsUInt32Number(kPixels));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels);
    cmsDeleteTransform(transform);
}

void Grid8Huegrid(benchmark::State& s) {
    ApplyRows(s, Shared().grid8, Shared().in8, Shared().out8);
}
void Grid8Lcms2(benchmark::State& s) {
    ApplyLcms(s, Shared().grid8, TYPE_RGB_8, Shared().in8, Shared().out8);
}
void Grid16Huegrid(benchmark::State& s) {
    ApplyRows(s, Shared().grid16, Shared().in16, Shared().out16);
}
void Grid16Lcms2(benchmark::State& s) {
    ApplyLcms(s, Shared().grid16, TYPE_RGB_16, Shared().in16, Shared().out16);
}
void Curves8Huegrid(benchmark::State& s) {
    ApplyRows(s, Shared().curves, Shared().in8, Shared().out8);
}
void Memcpy8(benchmark::State& s) {
    Data& d = Shared();
    for (auto _ : s) {
        std::memcpy(d.out8.data(), d.in8.data(), d.in8.size());
        benchmark::ClobberMemory();
    }
    s.SetItemsProcessed(s.iterations() * kPixels);
}

// Keeps the median time of every benchmark while printing as usual.
class MedianReporter : public benchmark::ConsoleReporter {
   public:
    // Plain text: the summary lines are read by scripts.
    MedianReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv) {
    for (auto* b : {benchmark::RegisterBenchmark("grid8/huegrid", Grid8Huegrid),
                    benchmark::RegisterBenchmark("grid8/lcms2", Grid8Lcms2),
                    benchmark::RegisterBenchmark("grid16/huegrid", Grid16Huegrid),
                    benchmark::RegisterBenchmark("grid16/lcms2", Grid16Lcms2),
                    benchmark::RegisterBenchmark("curves8/huegrid", Curves8Huegrid),
                    benchmark::RegisterBenchmark("curves8/memcpy", Memcpy8)}) {
        b->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&argc, argv);
    Shared();  // build the images and tables before any timing
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto ratio = [&](const char* name, const char* peer, const char* ours) {
        auto p = reporter.medians.find(peer), o = reporter.medians.find(ours);
        if (p == reporter.medians.end() || o == reporter.medians.end() || o->second <= 0) return;
        std::printf("%s %.2f x\n", name, p->second / o->second);
    };
    ratio("grid8_vs_lcms2", "grid8/lcms2", "grid8/huegrid");
    ratio("grid16_vs_lcms2", "grid16/lcms2", "grid16/huegrid");
    ratio("curves8_vs_memcpy", "curves8/memcpy", "curves8/huegrid");
    return 0;
}
