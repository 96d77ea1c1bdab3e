// How long the automatic settings take on a large image: taking the analysis image from the
// host (the module's GetAnalysisImage against a minimal in-process host that serves a 24 MP
// 8-bit image at the sampling rate asked for) and AutoSettings with every group, at the default
// grid level 7. The host's own sampling is a plain point sample, so nearly all of the time is the
// module's. Prints the median of several runs and the summary line `keenhue_24mp_ms`.
//
//   keenhue_speed [runs] [width height]   (default 7 runs, 6000 x 4000)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "edit/keenhue.h"
#include "host/preview.h"
#include "host/call_state.h"
#include "host/rects.h"
#include "platform/work_pool.h"

namespace {

// The preview box of the editing window's template at the headless font (item 4, inset by one).
constexpr int32_t kPreviewWidth = 568;
constexpr int32_t kPreviewHeight = 544;

struct BenchHost {
    FilterRecord record{};
    int32_t width = 0, height = 0;
    std::vector<uint8_t> image;   // interleaved RGB
    std::vector<uint8_t> buffer;  // the strip handed to the module
};

BenchHost* gHost = nullptr;

// A photograph-like scene: smooth light, a few coloured regions, grain.
void MakeScene(BenchHost* host) {
    host->image.resize(size_t(host->width) * size_t(host->height) * 3);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < host->height; ++y) {
        for (int32_t x = 0; x < host->width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;
            const double u = double(x) / host->width, v = double(y) / host->height;
            double r = 40 + 170 * u, g = 50 + 140 * v, b = 60 + 120 * (1 - u);
            if ((int(u * 7) + int(v * 5)) % 4 == 0) r *= 1.3, b *= 0.6;  // warm patches
            uint8_t* p = &host->image[(size_t(y) * size_t(host->width) + size_t(x)) * 3];
            const double c[3] = {r, g, b};
            for (int k = 0; k < 3; ++k) p[k] = uint8_t(std::clamp(int(c[k]) + grain, 0, 255));
        }
    }
}

// Serves the input rectangle at the whole sampling rate asked for: pixel (x, y) of the
// rectangle is the image's (rate x, rate y).
OSErr Advance() {
    BenchHost* host = gHost;
    FilterRecord& r = host->record;
    const VRect in = GetInRect(&r);
    const int32_t rate = r.inputRate >> 16;
    const int32_t w = in.right - in.left, h = in.bottom - in.top;
    r.inData = nullptr;
    r.inRowBytes = 0;
    if (w <= 0 || h <= 0) return noErr;
    r.inRowBytes = w * 3;
    host->buffer.assign(size_t(w) * size_t(h) * 3, 255);
    for (int32_t y = 0; y < h; ++y) {
        const int32_t sy = (in.top + y) * rate;
        if (sy >= host->height) continue;
        for (int32_t x = 0; x < w; ++x) {
            const int32_t sx = (in.left + x) * rate;
            if (sx >= host->width) continue;
            const uint8_t* from = &host->image[(size_t(sy) * size_t(host->width) + size_t(sx)) * 3];
            uint8_t* to = &host->buffer[(size_t(y) * size_t(w) + size_t(x)) * 3];
            to[0] = from[0], to[1] = from[1], to[2] = from[2];
        }
    }
    r.inData = host->buffer.data();
    return noErr;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    BenchHost host;
    host.width = argc > 3 ? std::atoi(argv[2]) : 6000;
    host.height = argc > 3 ? std::atoi(argv[3]) : 4000;
    if (host.width < 2 || host.height < 2 || host.width > 32767 || host.height > 32767) {
        std::fprintf(stderr, "keenhue_speed: width and height must lie in 2 .. 32767\n");
        return 2;
    }
    MakeScene(&host);
    gHost = &host;
    FilterRecord& r = host.record;
    r.planes = 3;
    r.depth = 8;
    r.imageMode = plugInModeRGBColor;
    r.filterRect = Rect{0, 0, int16(host.height), int16(host.width)};
    r.advanceState = Advance;
    r.inputRate = 0x10000;
    int16 result = 0;
    PluginCall call;
    call.gFilterRecord = &r;
    call.gResult = &result;

    auto state = std::make_unique<EditState>();
    if (EditStateInit(state.get(), nullptr) != 0) return 1;
    state->keenhueMask = 65087;  // every group the automatic settings can set
    state->currentTab = 3;       // the hue tab showing: the handles are placed too
    std::vector<double> times;
    int32_t analysedWidth = 0, analysedHeight = 0;
    for (int i = 0; i < runs; ++i) {
        ResetEditStatePars(state.get(), kEditMaskAll);
        const auto start = std::chrono::steady_clock::now();
        int32_t status =
            GetAnalysisImage(&call, state.get(), kPreviewWidth, kPreviewHeight, nullptr);
        if (status == 0) {
            status =
                AutoSettings(state.get(), kEditMaskAll, &state->analysisImage, WorkThreadCount(0));
        }
        const auto end = std::chrono::steady_clock::now();
        if (status != 0) {
            std::fprintf(stderr, "keenhue_speed: failed with %d\n", int(status));
            return 1;
        }
        analysedWidth = state->analysisImage.width;
        analysedHeight = state->analysisImage.height;
        EditStateFreeAnalysis(state.get());
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf(
        "Keenhue on %d x %d (%.1f MP), analysed at %d x %d: median %.1f ms of %d runs "
        "(fastest %.1f, slowest %.1f)\n",
        host.width, host.height, host.width * double(host.height) / 1e6, analysedWidth,
        analysedHeight, median, runs, times.front(), times.back());
    std::printf("keenhue_24mp_ms %.1f ms\n", median);
    return 0;
}
