// How long the editing window takes to open on a 6000 x 4000 8-bit image, in process on the
// headless binding: the module's own code against the host library's strip server over an
// uncompressed TIFF file, as filterhost serves it.
//
// - window_open_ms: from RunEditingWindow to the window's first event after its first paint:
//   laying the window out, acquiring the preview for the preview item, the automatic settings of
//   every tool (the default start), building both preview transforms and drawing the preview
//   through the after transform. The start phase's own steps before the window (reading the
//   preferences, writing the help file) are not in it. The median of several openings.
//
// Times are processor times of the process (it is single-threaded).
//
//   window_bench [openings]   (default 7)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/photo_host.h"
#include "edit/window/editing_window.h"
#include "host/plugin.h"
#include "host/window_host.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/headless/headless.h"
#include "resources/ids/dlg1000.h"

namespace {

constexpr int32_t kWidth = 6000, kHeight = 4000;

double gPainted = 0;

}  // namespace

int main(int argc, char** argv) {
    const int openings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::string error;
    const std::unique_ptr<bench::PhotoHost> photo = bench::MakePhotoHost(kWidth, kHeight, &error);
    if (photo == nullptr) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }

    Ui_Framework_Install(nullptr);  // the headless binding
    UiState* state = nullptr;
    if (Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0) != 0) return 1;
    auto prefs = std::make_unique<Prefs>();
    SetPrefsDefaults(prefs.get());
    prefs->showStartUpGuide = 0;
    auto data = std::make_unique<PluginData>();
    EditState* es = &data->editState;

    UiScriptEvent script[2] = {};
    script[0].kind = kUiScriptCall;
    script[0].call = [](UiWindow*, void*) { gPainted = bench::ProcessMs(); };
    script[1].kind = kUiScriptClick;
    script[1].item = kEditorCancel;

    std::vector<double> times;
    int32_t analysedW = 0, analysedH = 0;
    for (int i = 0; i < openings; ++i) {
        if (EditStateInit(es, nullptr) != 0) return 1;
        es->keenhueMask = prefs->keenhueMask;
        WindowHost host;
        WindowHostProcs procs;
        FillWindowHostProcs(&host, data.get(), prefs.get(), state, &procs);
        EditingWindowEnv env{};
        env.state = state;
        env.prefs = prefs.get();
        env.host = &procs;
        env.keenhueStart = kEditMaskAll;
        Ui_Headless_SetScript(script, 2);
        bool accepted = false;
        const double start = bench::ProcessMs();
        const int32_t status = RunEditingWindow(&env, es, &accepted);
        analysedW = es->analysisImage.width;
        analysedH = es->analysisImage.height;
        ReleaseWindowHost(&host);
        EditStateFreeAnalysis(es);
        if (status != 0 || gPainted < start) {
            std::fprintf(stderr, "window_bench: the window did not open (%d)\n", int(status));
            return 1;
        }
        times.push_back(gPainted - start);
    }
    Ui_Headless_SetScript(nullptr, 0);
    Ui_State_Close(&state);
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf(
        "Editing window on %d x %d (8-bit), headless: preview %d x %d; opening median %.1f ms "
        "(%d runs)\n",
        kWidth, kHeight, int(analysedW), int(analysedH), median, openings);
    std::printf("window_open_ms %.1f ms\n", median);
    return 0;
}
