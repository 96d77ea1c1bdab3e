// How long the editing window takes to open on a 6000 x 4000 8-bit image, in process on the
// headless binding: the module's own code against the host library's strip server over an
// uncompressed TIFF file, as filterhost serves it.
//
// - window_open_ms: the module run as an editor runs it with its window (the host library's
//   session, in this process, over the photo's file): Parameters and Prepare, then the time from
//   PluginMain(start) to the window's first event after its first paint: reading the
//   preferences, writing the help file, laying the window out, acquiring the preview for the
//   preview item, the automatic settings of every tool (the preferences start them all with
//   Keenhue), building both preview transforms and drawing the preview through the after
//   transform. The median of several openings.
//
// - slider_frame_ms: one live-slider step on tab 2: the window, grown until its preview item
//   holds a 1000 x 750 picture, takes a drag of the "Global" (brightness) slider; one step is
//   from one pointer move to the next after the window has painted: the parameter, the
//   automatic settings of the hue tools in Keenhue Mode, the after transform built again, the
//   preview drawn through it (the host's quick path while dragging). The median of the steps,
//   with Keenhue Mode on (the figure) and off; and, as slider_frame_balance_ms, the same for the
//   cyan-red slider of tab 0 in Keenhue Mode, where every tool right of the colour balance is set
//   again at each step.
//
// - undo_step_ms: Undo and Redo (Ctrl+Z, Ctrl+Y) in the same grown window after two start
//   buttons (Keenhue, then Reset): one step is from one key to the next after the window has
//   painted: the snapshot put back, both preview transforms built again, every tool and the
//   preview drawn. The median of the steps; and the memory the history holds then.
//
// - zoom_step_ms: the mouse wheel over the middle of the grown window's preview, a level a notch
//   from fit to 400 % and back (preview_zoom.h): one step is from the notch to the next after
//   the window has painted: the host asked for the window at the new level (or the fit preview
//   put back), the preview drawn through the after transform. The median of the steps.
//
// Times are processor times of the process (it is single-threaded).
//
//   window_bench [openings] [steps]   (default 7 and 21)
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/photo_host.h"
#include "edit/edit_history.h"
#include "edit/window/editing_window.h"
#include "host/plugin_data.h"
#include "host/window_host.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/controls.h"
#include "platform/ui/headless/headless.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"
#include "tools/hostlib/host_session.h"

// The module's entry point (host/plugin_main.cpp, linked into this program).
extern "C" void PluginMain(int16 selector, void* paramBlock, intptr_t* data, int16* result);

namespace {

constexpr int32_t kWidth = 6000, kHeight = 4000;

double gPainted = 0;

// The preview item's client size that holds a 1000 x 750 picture inside its frame, and the
// window's client size that gives it (the template's 1050 x 750 with a 665 x 630 preview item).
constexpr int16_t kGrownWidth = 1050 + (1002 - 665), kGrownHeight = 750 + (752 - 630);

// The slider drag: its script, filled in once the window shows where the slider is, and the
// times of the steps.
struct SliderDrag {
    std::vector<UiScriptEvent> script;
    std::vector<double> marks;
    std::vector<int32_t> drawn;  // drawings of the preview at each mark
    Ui_Rect preview{};
    int32_t (*draw)(void*, UiWindow*, const Ui_Rect*, const PreviewLook*, Ui_Failure*);
    int32_t draws;
    int16_t item;  // the slider dragged
};
SliderDrag gDrag;

std::vector<UiScriptEvent> SliderScript(int steps) {
    std::vector<UiScriptEvent> s;
    UiScriptEvent e{};
    e.kind = kUiScriptResize;
    e.h = kGrownWidth;
    e.v = kGrownHeight;
    s.push_back(e);
    // Places the press and the moves on the slider as the window lays it out.
    e = UiScriptEvent{};
    e.kind = kUiScriptCall;
    e.call = [](UiWindow* w, void*) {
        Ui_Rect r{};
        Ui_Item_GetRect(w, gDrag.item, &r);
        Ui_Item_GetRect(w, kEditorPreviewImage, &gDrag.preview);
        const int16_t v = int16_t((r.top + r.bottom) / 2);
        int16_t h = int16_t(r.left + (r.right - r.left) / 2);
        for (UiScriptEvent& x : gDrag.script) {
            if (x.kind != kUiScriptPress && x.kind != kUiScriptDrag && x.kind != kUiScriptRelease) {
                continue;
            }
            x.v = v;
            x.h = h;
            h = int16_t(h + 2);  // each move a new brightness
        }
    };
    s.push_back(e);
    e = UiScriptEvent{};
    e.kind = kUiScriptPress;
    e.item = gDrag.item;
    s.push_back(e);
    UiScriptEvent mark{};
    mark.kind = kUiScriptCall;
    mark.call = [](UiWindow*, void*) {
        gDrag.marks.push_back(bench::ProcessMs());
        gDrag.drawn.push_back(gDrag.draws);
    };
    s.push_back(mark);
    for (int i = 0; i < steps; ++i) {
        e = UiScriptEvent{};
        e.kind = kUiScriptDrag;
        s.push_back(e);
        s.push_back(mark);
    }
    e = UiScriptEvent{};
    e.kind = kUiScriptRelease;
    s.push_back(e);
    e = UiScriptEvent{};
    e.kind = kUiScriptClick;
    e.item = kEditorCancel;
    s.push_back(e);
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The median step of a brightness drag with Keenhue Mode on or off; < 0 when the window failed.
// tab 0 drags the cyan-red slider of the three-slider method instead: in Keenhue Mode every
// tool right of the colour balance is set again at each step, the most a step can cost.
double SliderSteps(const PluginCall* call, PluginData* data, Prefs* prefs, UiState* state,
                   int steps, uint8_t keenhue, int32_t tab) {
    EditState* es = &data->editState;
    if (EditStateInit(es, nullptr) != 0) return -1;
    es->keenhueMask = prefs->keenhueMask;
    es->currentTab = tab;
    es->balanceMethod = kBalanceThreeSliders;
    gDrag.item = tab == 0 ? kEditorCyanRedSlider : kEditorGlobalSlider;
    prefs->keenhueMode = keenhue;
    prefs->liveSliders = 1;
    WindowHost host;
    WindowHostProcs procs;
    FillWindowHostProcs(&host, call, data, prefs, state, &procs);
    // Counts the preview's drawings: every step must draw it once.
    gDrag.draw = procs.drawPreview;
    procs.drawPreview = [](void* context, UiWindow* dialog, const Ui_Rect* area,
                           const PreviewLook* look, Ui_Failure* failure) -> int32_t {
        ++gDrag.draws;
        return gDrag.draw(context, dialog, area, look, failure);
    };
    EditingWindowEnv env{};
    env.state = state;
    env.prefs = prefs;
    env.host = &procs;
    env.keenhueStart = kEditMaskAll;
    // A screen large enough for the grown window.
    const Ui_Rect screen{0, 0, 1200, 1920};
    Ui_Headless_SetWorkArea(&screen);
    gDrag.script = SliderScript(steps);
    gDrag.marks.clear();
    gDrag.drawn.clear();
    Ui_Headless_SetScript(gDrag.script.data(), int32_t(gDrag.script.size()));
    bool accepted = false;
    const int32_t status = RunEditingWindow(&env, es, &accepted);
    ReleaseWindowHost(&host);
    EditStateFreeAnalysis(es);
    Ui_Headless_SetScript(nullptr, 0);
    // The slider went right of its middle.
    const float moved = tab == 0 ? es->balanceSlider[0] : es->editPars.brightness;
    if (status != 0 || int(gDrag.marks.size()) != steps + 1 || !(0.5f < moved)) {
        return -1;
    }
    for (size_t i = 1; i < gDrag.drawn.size(); ++i) {
        if (gDrag.drawn[i] != gDrag.drawn[i - 1] + 1) return -1;
    }
    std::vector<double> step;
    for (size_t i = 1; i < gDrag.marks.size(); ++i)
        step.push_back(gDrag.marks[i] - gDrag.marks[i - 1]);
    return Median(step);
}

// The grown window's script while timed steps run: the wheel events are placed over the
// preview's middle once the window is laid out; the zooms the host was asked for are counted.
std::vector<UiScriptEvent> gSteps;
std::vector<double> gMarks;
int32_t gZooms = 0;

// Runs the editing window grown (after the clicks on the buttons first), then each of steps
// followed by a mark; the median time between marks: one step until the window has painted.
// < 0 when it failed.
double TimedSteps(const PluginCall* call, PluginData* data, Prefs* prefs, UiState* state,
                  const std::vector<int16_t>& first, const std::vector<UiScriptEvent>& steps) {
    EditState* es = &data->editState;
    if (EditStateInit(es, nullptr) != 0) return -1;
    es->keenhueMask = prefs->keenhueMask;
    prefs->keenhueMode = 0;
    WindowHost host;
    WindowHostProcs procs;
    FillWindowHostProcs(&host, call, data, prefs, state, &procs);
    static int32_t (*zoom)(void*, int32_t, int32_t, int32_t, int32_t, int32_t, Ui_Failure*);
    static int32_t (*restore)(void*, Ui_Failure*);
    zoom = procs.zoomPreview;
    restore = procs.restorePreview;
    procs.zoomPreview = [](void* c, int32_t level, int32_t x, int32_t y, int32_t ah, int32_t av,
                           Ui_Failure* f) -> int32_t {
        ++gZooms;
        return zoom(c, level, x, y, ah, av, f);
    };
    procs.restorePreview = [](void* c, Ui_Failure* f) -> int32_t {
        ++gZooms;
        return restore(c, f);
    };
    gZooms = 0;
    EditingWindowEnv env{};
    env.state = state;
    env.prefs = prefs;
    env.host = &procs;
    const Ui_Rect screen{0, 0, 1200, 1920};
    Ui_Headless_SetWorkArea(&screen);
    gMarks.clear();
    gSteps.clear();
    UiScriptEvent e{};
    e.kind = kUiScriptResize;
    e.h = kGrownWidth;
    e.v = kGrownHeight;
    gSteps.push_back(e);
    e = UiScriptEvent{};
    e.kind = kUiScriptCall;
    e.call = [](UiWindow* w, void*) {
        Ui_Rect r{};
        Ui_Item_GetRect(w, kEditorPreviewImage, &r);
        for (UiScriptEvent& x : gSteps) {
            if (x.kind != kUiScriptWheel) continue;
            x.item = kEditorPreviewImage;
            x.v = int16_t((r.top + r.bottom) / 2);
            x.h = int16_t((r.left + r.right) / 2);
        }
    };
    gSteps.push_back(e);
    for (int16_t button : first) {
        e = UiScriptEvent{};
        e.kind = kUiScriptClick;
        e.item = button;
        gSteps.push_back(e);
    }
    UiScriptEvent mark{};
    mark.kind = kUiScriptCall;
    mark.call = [](UiWindow*, void*) { gMarks.push_back(bench::ProcessMs()); };
    gSteps.push_back(mark);
    for (const UiScriptEvent& step : steps) {
        gSteps.push_back(step);
        gSteps.push_back(mark);
    }
    e = UiScriptEvent{};
    e.kind = kUiScriptClick;
    e.item = kEditorCancel;
    gSteps.push_back(e);
    Ui_Headless_SetScript(gSteps.data(), int32_t(gSteps.size()));
    bool accepted = false;
    const int32_t status = RunEditingWindow(&env, es, &accepted);
    ReleaseWindowHost(&host);
    EditStateFreeAnalysis(es);
    Ui_Headless_SetScript(nullptr, 0);
    if (status != 0 || gMarks.size() != steps.size() + 1) return -1;
    std::vector<double> step;
    for (size_t i = 1; i < gMarks.size(); ++i) step.push_back(gMarks[i] - gMarks[i - 1]);
    return Median(step);
}

// The median step of Undo and Redo taken in turns in the grown window after two start buttons.
double UndoSteps(const PluginCall* call, PluginData* data, Prefs* prefs, UiState* state,
                 int steps) {
    std::vector<UiScriptEvent> keys;
    for (int i = 0; i < steps; ++i) {
        UiScriptEvent e{};
        e.kind = kUiScriptKey;
        e.value = i % 2 == 0 ? 'Z' : 'Y';
        e.ctrl = 1;
        keys.push_back(e);
    }
    return TimedSteps(call, data, prefs, state, {kEditorAllKeenhue, kEditorAllReset}, keys);
}

// The median step of the wheel over the preview's middle: in from fit through every level to
// 400 %, out again to fit, and so on. *zooms: the zooms the host was asked for (every step
// one, unless a step was lost).
double ZoomSteps(const PluginCall* call, PluginData* data, Prefs* prefs, UiState* state, int steps,
                 int32_t* zooms) {
    constexpr int kLevels = 5;  // fit to 400 % on this image: every level shows more than fit
    std::vector<UiScriptEvent> wheel;
    for (int i = 0; i < steps; ++i) {
        UiScriptEvent e{};
        e.kind = kUiScriptWheel;
        e.value = (i / kLevels) % 2 == 0 ? -1 : 1;  // a notch up zooms in
        wheel.push_back(e);
    }
    const double median = TimedSteps(call, data, prefs, state, {}, wheel);
    *zooms = gZooms;
    return median;
}

// Writes the preferences file the module reads, from prefs, as the module writes it.
bool WritePrefsFile(UiState* state, Prefs* prefs) {
    char name[kPathSize], path[kPathSize];
    Ui_ResToCString(state, kStrPrefsFileName, name);
    if (Ui_Prefs_SetToPath(state, name, path) != 0) return false;
    PrefsEntryTarget target{prefs, nullptr};
    int32_t fileInfo = 131;  // the file-information word the module writes
    const int32_t status = Ui_Prefs_WriteAll(state, path, &fileInfo, WritePrefEntries, &target);
    return status == 0;
}

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

    // The preferences the runs read: every tool starts with Keenhue, no start-up guide. They go
    // into a folder of the bench's own; without a display the module takes the headless binding.
    char config[] = "/tmp/kolmara-window-bench-XXXXXX";
    if (mkdtemp(config) == nullptr) return 1;
    setenv("XDG_CONFIG_HOME", config, 1);
    unsetenv("DISPLAY");
    prefs->startAllSame = 1;
    prefs->startWith = kStartKeenhue;
    if (!WritePrefsFile(state, prefs.get())) return 1;

    UiScriptEvent script[2] = {};
    script[0].kind = kUiScriptCall;
    script[0].call = [](UiWindow*, void*) { gPainted = bench::ProcessMs(); };
    script[1].kind = kUiScriptClick;
    script[1].item = kEditorCancel;

    std::vector<double> times;
    for (int i = 0; i < openings; ++i) {
        SessionSettings settings;
        settings.plugin = "KolmaraPro (linked)";
        settings.linkedEntry = PluginMain;
        settings.dialog = true;
        settings.title = "photo";
        // Start is the third call; the clock starts as Prepare returns.
        int calls = 0;
        double started = 0;
        SessionHooks hooks;
        hooks.callReturned = [&] {
            if (++calls == 2) started = bench::ProcessMs();
        };
        gPainted = 0;
        Ui_Headless_SetScript(script, 2);
        HostSession session(&photo->document, settings, hooks);
        SessionOutcome outcome = session.Load();
        if (outcome.Ok()) outcome = session.Run();
        if (outcome.result != SessionResult::kCancelled || gPainted < started || started <= 0) {
            std::fprintf(stderr, "window_bench: the window did not open: %s\n",
                         outcome.message.c_str());
            return 1;
        }
        times.push_back(gPainted - started);
    }
    std::filesystem::remove_all(config);
    Ui_Headless_SetScript(nullptr, 0);

    const int steps = argc > 2 ? std::max(2, std::atoi(argv[2])) : 21;
    const double keenhueOn = SliderSteps(&photo->call, data.get(), prefs.get(), state, steps, 1, 2);
    const double keenhueOff =
        SliderSteps(&photo->call, data.get(), prefs.get(), state, steps, 0, 2);
    const double balance = SliderSteps(&photo->call, data.get(), prefs.get(), state, steps, 1, 0);
    const double undo = UndoSteps(&photo->call, data.get(), prefs.get(), state, steps);
    int32_t zooms = 0;
    const double zoom = ZoomSteps(&photo->call, data.get(), prefs.get(), state, steps, &zooms);
    Ui_State_Close(&state);
    if (keenhueOn < 0 || keenhueOff < 0 || balance < 0 || undo < 0 || zoom < 0) {
        std::fprintf(stderr, "window_bench: the slider drag did not run\n");
        return 1;
    }
    if (zooms != steps) {
        std::fprintf(stderr, "window_bench: %d wheel steps zoomed %d times\n", steps, int(zooms));
        return 1;
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf(
        "Editing window on %d x %d (8-bit), headless: from PluginMain(start) to the first paint, "
        "median %.1f ms (%d runs)\n",
        kWidth, kHeight, median, openings);
    std::printf("window_open_ms %.1f ms\n", median);
    std::printf(
        "Live slider on tab 2 (brightness drag), preview item %d x %d: step median %.1f ms with "
        "Keenhue Mode on, %.1f ms off (%d steps each)\n",
        int(gDrag.preview.right - gDrag.preview.left),
        int(gDrag.preview.bottom - gDrag.preview.top), keenhueOn, keenhueOff, steps);
    std::printf("slider_frame_ms %.1f ms\n", keenhueOn);
    std::printf("slider_frame_keenhue_off_ms %.1f ms\n", keenhueOff);
    std::printf("slider_frame_balance_ms %.1f ms\n", balance);
    std::printf(
        "Undo and Redo in turns in the same window: step median %.1f ms (%d steps); the history "
        "holds at most %d steps of %zu bytes (%.2f MB)\n",
        undo, steps, kEditHistorySteps, sizeof(EditSnapshot),
        kEditHistorySteps * double(sizeof(EditSnapshot)) / (1024.0 * 1024.0));
    std::printf("undo_step_ms %.1f ms\n", undo);
    std::printf(
        "Wheel over the preview, fit to 400 %% and back: step median %.1f ms (%d steps), from the "
        "notch to the preview painted at the new zoom\n",
        zoom, steps);
    std::printf("zoom_step_ms %.1f ms\n", zoom);
    return 0;
}
