// The editing window's preview on a 6000 x 4000 8-bit image in a 1000 x 750 preview box, in
// process: the module's own code against the host library's strip server over an uncompressed
// TIFF file, served exactly as filterhost serves it (the file mapped, block averages at the
// sampling rate, our module's case info: no source copied into the output).
//
// - preview_acquire_ms: AcquirePreview for the window (the host's reduction at rate r, the tent
//   resampler in the host's buffer, the analysis copy), the median of several runs; beside it the
//   peak of the module's own memory during the acquisition and the budget the prepare phase
//   agrees for this preview (bufferSpace).
// - preview_frame_ms: one live-slider frame: HgBuild at grid level 7 with every stage of the
//   edit chain, PreviewApplyRows over the whole preview (the direct path, as while a slider is
//   dragged), displayPixels into a draw target of the preview's size. The median of the frames'
//   totals and the share of each step (its median over the sum of the three medians). And
//   preview_frame_100_ms: the same frame over the preview zoomed to 100 %, a window of the
//   image at full size filling the box.
//
// Times are processor times of the process (it is single-threaded), medians of several runs.
//
//   preview_bench [frames] [acquisitions]   (default 31 and 9)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "bench/photo_host.h"
#include "engine/huegrid_build.h"
#include "host/phases.h"
#include "host/plugin_data.h"
#include "host/preview.h"
#include "host/preview_render.h"
#include "host/rects.h"
#include "platform/mem.h"

namespace {

constexpr int32_t kWidth = 6000, kHeight = 4000;
constexpr int32_t kBoxWidth = 1000, kBoxHeight = 750;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    const int acquisitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    std::string error;
    const std::unique_ptr<bench::PhotoHost> photo = bench::MakePhotoHost(kWidth, kHeight, &error);
    if (photo == nullptr) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    FilterRecord& record = photo->record;

    auto data = std::make_unique<PluginData>();
    EditState* es = &data->editState;
    PreviewState* pv = &data->run.preview;
    if (EditStateInit(es, nullptr) != 0) return 1;

    // The acquisition, from nothing each time, as the window opens.
    std::vector<double> acquire, host;
    uint32_t peak = 0;
    for (int i = 0; i < acquisitions; ++i) {
        ReleasePreview(&photo->call, es, pv);
        EditStateFreeAnalysis(es);
        const uint32_t before = ul_total;
        ul_maxTotal = ul_total;
        photo->hostMs = 0;
        const double start = bench::ProcessMs();
        const int32_t status =
            AcquirePreview(&photo->call, es, pv, kBoxWidth, kBoxHeight, 1, nullptr);
        const double end = bench::ProcessMs();
        if (status != 0) {
            std::fprintf(stderr, "preview_bench: AcquirePreview failed with %d (%s)\n", int(status),
                         photo->server.LastError().c_str());
            return 1;
        }
        peak = std::max(peak, ul_maxTotal - before);
        acquire.push_back(end - start);
        host.push_back(photo->hostMs);
    }
    const uint32_t budget = PrepareBufferSpace(kBoxWidth, kBoxHeight, 8);

    // The frames: a slider moves a little each time, so that every build is a new one. Over the
    // picture the host's buffers hold: the fit preview, then the 100 % window.
    std::vector<double> build, apply, show, total;
    // Processor times measure the work: the frames run on one thread, as the window's did before
    // it had more (more threads add their times up, and take the wall clock down).
    const int32_t threads = 1;
    auto runFrames = [&]() -> bool {
        build.clear();
        apply.clear();
        show.clear();
        total.clear();
        const VRect bounds = GetOutRect(&record);
        const int32_t w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
        auto* display = static_cast<uint8_t*>(record.outData);
        IPImage destination{kIPKindColour, 3, 1, w, h, 72.0f, 3, record.outRowBytes, {}, nullptr};
        for (int32_t c = 0; c < 3; ++c) destination.channel[c] = display + c;
        std::vector<uint8_t> target(size_t(w) * size_t(h) * 3);
        PSDrawTarget device{target.data(), w, h, 3 * w, 0, 0};
        PSPixelMap map{};
        map.version = 1;
        map.bounds = bounds;
        map.imageMode = plugInModeRGBColor;
        map.rowBytes = record.outRowBytes;
        map.colBytes = 3;
        map.planeBytes = 1;
        map.baseAddr = display;
        EditPars pars = bench::StrongPars(false);
        for (int i = 0; i < frames; ++i) {
            pars.brightness = 0.5f + 0.002f * float(i % 20);
            bench::Stale(&pars);
            Huegrid* shown = nullptr;
            const double t0 = bench::ProcessMs();
            int32_t status = HgBuild(&pars, kEditMaskAll, kHgQualityMax, 1, &shown);
            const double t1 = bench::ProcessMs();
            PreviewRows job{&pv->hostInput,
                            nullptr,
                            VRect{0, 0, h, w},
                            &destination,
                            shown,
                            0,
                            0,
                            0,
                            0,
                            &pars.sharpenNoise,
                            nullptr,
                            VRect{0, 0, 0, 0},
                            0,
                            threads};
            if (status == 0) status = PreviewApplyRows(&job, nullptr);
            const double t2 = bench::ProcessMs();
            if (status == 0 && record.displayPixels(&map, &bounds, 0, 0, &device) != noErr)
                status = -2;
            const double t3 = bench::ProcessMs();
            HgFree(shown);
            if (status != 0) {
                std::fprintf(stderr, "preview_bench: the frame failed with %d\n", int(status));
                return false;
            }
            build.push_back(t1 - t0);
            apply.push_back(t2 - t1);
            show.push_back(t3 - t2);
            total.push_back(t3 - t0);
        }
        return true;
    };
    const VRect fitBounds = GetOutRect(&record);
    const int32_t w = fitBounds.right - fitBounds.left, h = fitBounds.bottom - fitBounds.top;
    if (!runFrames()) return 1;
    const std::vector<double> fitBuild = build, fitApply = apply, fitShow = show, fitTotal = total;
    if (ZoomPreview(&photo->call, es, pv, 100, kWidth / 2, kHeight / 2, -1, -1, nullptr) != 0) {
        std::fprintf(stderr, "preview_bench: the 100 %% window failed\n");
        return 1;
    }
    const int32_t zoomWidth = pv->hostInput.width, zoomHeight = pv->hostInput.height;
    if (!runFrames()) return 1;
    const double zoomFrame = Median(total);
    build = fitBuild;
    apply = fitApply;
    show = fitShow;
    total = fitTotal;
    const int32_t rate = pv->rate;
    ReleasePreview(&photo->call, es, pv);
    EditStateFreeAnalysis(es);

    const double b = Median(build), a = Median(apply), s = Median(show), sum = b + a + s;
    std::printf(
        "Preview of %d x %d (8-bit) in a %d x %d box: %d x %d at host rate %d; acquisition median "
        "%.1f ms of %d (the host's serving %.1f ms of it), module peak %u bytes against a budget "
        "of %u; processor times\n",
        kWidth, kHeight, kBoxWidth, kBoxHeight, w, h, int(rate), Median(acquire), acquisitions,
        Median(host), unsigned(peak), unsigned(budget));
    std::printf(
        "One frame: median %.1f ms of %d (HgBuild q7 %.1f ms, PreviewApplyRows %.1f ms, "
        "displayPixels %.1f ms)\n",
        Median(total), frames, b, a, s);
    std::printf("preview_frame_ms %.1f ms\n", Median(total));
    std::printf("The same frame over the 100 %% window (%d x %d): median %.1f ms\n", int(zoomWidth),
                int(zoomHeight), zoomFrame);
    std::printf("preview_frame_100_ms %.1f ms\n", zoomFrame);
    std::printf("preview_frame_hgbuild_share %.0f pct\n", 100.0 * b / sum);
    std::printf("preview_frame_apply_share %.0f pct\n", 100.0 * a / sum);
    std::printf("preview_frame_display_share %.0f pct\n", 100.0 * s / sum);
    std::printf("preview_acquire_ms %.1f ms\n", Median(acquire));
    std::printf("preview_acquire_host_ms %.1f ms\n", Median(host));
    std::printf("preview_acquire_peak_bytes %u bytes\n", unsigned(peak));
    std::printf("preview_acquire_budget_bytes %u bytes\n", unsigned(budget));
    return 0;
}
