// kolmara-gimp: the filter module inside GIMP 2.10. GIMP starts this program for every run; it
// serves the module the same host as filterhost (the host library's HostSession) over the
// active drawable (GimpDocument), and merges the result as one undo step.
//
// The procedure "plug-in-tintara-kolmara-pro" (menu "Filters > Colors > Tintara Kolmara
// Pro...", RGB drawables) takes the run mode, the image, the drawable and an action, and returns
// the action of the run:
//   - non-interactive: the action is replayed, as filterhost --play replays an action file. It is
//     either the path of an action file or the action as text (what a run returns: the action
//     file's bytes in base64). An empty action runs with the start modes.
//   - interactive: shows the filter's editing window on GIMP's display, as filterhost --dialog
//     does, over the image's window: transient for it (it stays above it) and modal for it (the
//     image's window takes no pointer input until the filter's window closes). Without a display
//     (gimp-console, GIMP without its interface) it runs with the start modes, exactly as
//     filterhost without --dialog.
//   - repeat last: replays the action of the last run in this GIMP session (kept with
//     gimp_set_data) without the window, or runs as interactive when there is none.
// The module is KolmaraPro.so in this program's folder, or the file KOLMARA_GIMP_MODULE names.
//
// Precision: 8-bit and 16-bit integer drawables with perceptual (gamma) encoding are served as
// they are. 8-bit linear drawables are read and written as 16-bit perceptual integers, the
// nearest served form, through which every 8-bit linear value comes back exactly. Every other
// precision (16-bit linear, 32-bit integer, floating point) is refused with a message naming the
// conversion to make: a round trip through 16-bit integers would change pixels the filter leaves
// alone, and floating-point values outside 0..1 would be clipped.
//
// Selection: the host's mask is the selection and its bounds are the filter rectangle; the
// module blends its output with the mask itself. GIMP would blend a shadow buffer with the
// selection a second time when merging it, so the merge runs with the selection replaced by the
// filter rectangle, and the selection is put back, all inside the same undo group.
//
// Messages: with its window the module shows its alerts there. Without the window it is run
// without a display, so that it never opens a window of its own, and shows its alerts on stderr;
// they are captured during the run and handed to GIMP: as the error of a failed run, as messages
// after a successful one.
#include <fcntl.h>
#include <libgimp/gimp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/gimp/action_text.h"
#include "tools/gimp/color_dialog.h"
#include "tools/gimp/gegl_start.h"
#include "tools/gimp/gimp_document.h"
#include "tools/hostlib/descriptors.h"
#include "tools/hostlib/host_services.h"
#include "tools/hostlib/host_session.h"
#include "tools/hostlib/monitor_profile.h"

namespace {

constexpr char kProcedure[] = "plug-in-tintara-kolmara-pro";
constexpr char kModuleName[] = "KolmaraPro.so";
// What the host offers the module, as filterhost does by default.
constexpr int64_t kMaxSpace = int64_t(1) << 30;

volatile sig_atomic_t gAbort = 0;

void OnSignal(int) {
    gAbort = 1;
}

// SIGINT and SIGTERM during a run become the module's abortProc (Ctrl-C on gimp-console reaches
// the whole process group); outside a run libgimp's own handlers apply. GIMP's own Cancel on the
// progress bar never gets here: GIMP 2.10 asks a cancelled plug-in to quit and kills it 10 ms
// later. That is safe for the layer, because the result stays in the shadow buffer, which only a
// finished run merges.
class AbortSignals {
   public:
    AbortSignals() {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        gAbort = 0;
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~AbortSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

   private:
    struct sigaction oldInt_ {
    }, oldTerm_{};
};

// Collects what is written to stderr (file descriptor 2) while it lives.
class StderrCapture {
   public:
    StderrCapture() {
        std::fflush(stderr);
        file_ = memfd_create("kolmara-messages", MFD_CLOEXEC);
        saved_ = dup(STDERR_FILENO);
        if (file_ >= 0 && saved_ >= 0) dup2(file_, STDERR_FILENO);
    }
    ~StderrCapture() { Stop(); }
    // Restores stderr and returns what was written.
    std::string Stop() {
        if (saved_ < 0) return text_;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
        if (file_ >= 0) {
            lseek(file_, 0, SEEK_SET);
            char buffer[4096];
            ssize_t n;
            while ((n = read(file_, buffer, sizeof buffer)) > 0) text_.append(buffer, size_t(n));
            close(file_);
            file_ = -1;
        }
        while (!text_.empty() && (text_.back() == '\n' || text_.back() == ' ')) text_.pop_back();
        return text_;
    }

   private:
    int file_ = -1, saved_ = -1;
    std::string text_;
};

std::string ModulePath() {
    const char* chosen = std::getenv("KOLMARA_GIMP_MODULE");
    if (chosen != nullptr && *chosen != 0) return chosen;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return kModuleName;
    self[n] = 0;
    std::string path = self;
    return path.substr(0, path.find_last_of('/') + 1) + kModuleName;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// How the drawable is served, from the image's precision.
struct Served {
    int32_t depth = 8;
    const char* encoding = nullptr;  // the babl encoding with transparency, or without
};

// GIMP's precisions: two are served as they are, every other one is refused.
bool ChooseEncoding(GimpPrecision precision, bool alpha, Served* served, std::string* why) {
    if (precision == GIMP_PRECISION_U8_GAMMA) {
        served->depth = 8;
        served->encoding = alpha ? "R'G'B'A u8" : "R'G'B' u8";
        return true;
    }
    if (precision == GIMP_PRECISION_U16_GAMMA || precision == GIMP_PRECISION_U8_LINEAR) {
        served->depth = 16;
        served->encoding = alpha ? "R'G'B'A u16" : "R'G'B' u16";
        return true;
    }
    *why =
        "Tintara Kolmara Pro works on 8-bit and 16-bit integer images with perceptual "
        "gamma. Convert this image with Image > Precision (for example to 16 bit integer, "
        "Perceptual gamma) and run the filter again.";
    return false;
}

// The working space: the image's colour profile when it has a matrix/TRC one, else the host's
// default (sRGB primaries, gamma 2.2, as filterhost), which is also taken for GIMP's built-in
// sRGB profile.
PlugInMonitor WorkingSpace(gint32 image, std::string* note) {
    PlugInMonitor monitor = DefaultMonitor();
    GimpColorProfile* profile = gimp_image_get_color_profile(image);
    if (profile == nullptr) return monitor;
    // GIMP's own sRGB is what an image without a profile is in: both get the same space.
    GimpColorProfile* builtIn = gimp_color_profile_new_rgb_srgb();
    const bool plain = gimp_color_profile_is_equal(profile, builtIn);
    g_object_unref(builtIn);
    if (plain) {
        g_object_unref(profile);
        return monitor;
    }
    gsize size = 0;
    const guint8* icc = gimp_color_profile_get_icc_profile(profile, &size);
    std::string why;
    if (!MonitorFromProfile(icc, size, &monitor, &why)) {
        monitor = DefaultMonitor();
        *note = "The image's colour profile gives no working space (" + why +
                "); Tintara Kolmara Pro uses sRGB with gamma 2.2.";
    }
    g_object_unref(profile);
    return monitor;
}

// The display the filter's window goes to: the one GIMP's own windows are on. Empty under
// gimp-console and when GIMP runs without its interface.
std::string WindowDisplay() {
    const gchar* name = gimp_display_name();
    return name != nullptr ? name : "";
}

// GIMP's window of the image the filter was chosen for (the display its menu was used in), as the
// X window id the module's window is made transient for; 0 when GIMP has no image window at all.
// A script that runs the filter interactively names no display (GIMP passes none when the call
// did not come from a display's menu): the window then belongs to the image window opened last,
// which is the one a script that opens a display and runs the filter on it has just made. GIMP
// numbers displays upwards from 1 in a session and cannot say which image a display shows, so
// the numbers are tried in turn; the first thousands cover any session a person works through.
uintptr_t ImageWindow() {
    constexpr gint32 kDisplaysTried = 4096;
    gint32 display = gimp_default_display();
    if (display < 1 || !gimp_display_is_valid(display)) {
        display = 0;
        for (gint32 id = 1; id <= kDisplaysTried; ++id) {
            if (gimp_display_is_valid(id)) display = id;
        }
        if (display == 0) return 0;
    }
    const gint handle = gimp_display_get_window_handle(display);
    return handle > 0 ? uintptr_t(handle) : 0;
}

// What the run mode and the action parameter ask for. False with a message for a bad action.
// An interactive run (and a "repeat last" with nothing to repeat) shows the filter's window when
// GIMP has a display; without one it runs with the start modes, as filterhost without --dialog.
bool RunSettingsFor(GimpRunMode mode, const char* action, const std::string& display,
                    SessionSettings* s, std::string* why) {
    std::string bytes;
    if (mode == GIMP_RUN_NONINTERACTIVE && action != nullptr && *action != 0) {
        std::string text = action;
        std::ifstream file(text, std::ios::binary);
        if (file) {
            bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        } else if (!ActionFromText(text, &bytes)) {
            *why = "The action is neither an action file nor the text of an action.";
            return false;
        }
    } else if (mode == GIMP_RUN_WITH_LAST_VALS) {
        gint size = gimp_get_data_size(kProcedure);
        if (size > 0) {
            bytes.resize(size_t(size));
            gimp_get_data(kProcedure, bytes.data());
        }
    }
    if (bytes.empty()) {
        s->dialog = mode != GIMP_RUN_NONINTERACTIVE && !display.empty();
        return true;
    }
    std::string error;
    if (!DecodeAction(bytes, &s->playItems, &error)) {
        *why = "The action cannot be replayed: " + error + ".";
        return false;
    }
    s->replay = true;
    return true;
}

// Merges the shadow as one undo step. GIMP blends a merged shadow with the selection; the module
// has blended already, so the merge sees a plain rectangle and the selection is put back after.
void MergeResult(gint32 image, gint32 drawable, const VRect& rect, bool selection) {
    gint offsetX = 0, offsetY = 0;
    gimp_drawable_offsets(drawable, &offsetX, &offsetY);
    gimp_image_undo_group_start(image);
    gint32 saved = -1;
    if (selection) {
        // A copy of the selection channel itself: saving the selection as a channel would
        // convert it to the image's channel format, which loses values in 8-bit images.
        saved = gimp_channel_copy(gimp_image_get_selection(image));
        gimp_image_insert_channel(image, saved, 0, 0);
        gimp_context_push();
        gimp_context_set_feather(FALSE);
        gimp_context_set_antialias(FALSE);
        gimp_image_select_rectangle(image, GIMP_CHANNEL_OP_REPLACE, rect.left + offsetX,
                                    rect.top + offsetY, rect.right - rect.left,
                                    rect.bottom - rect.top);
    }
    gimp_drawable_merge_shadow(drawable, TRUE);
    if (selection) {
        gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, saved);
        gimp_context_pop();
        gimp_image_remove_channel(image, saved);
    }
    gimp_drawable_update(drawable, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top);
    gimp_image_undo_group_end(image);
}

struct Answer {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string text;  // the error, or the recorded action
};

Answer Fail(std::string message, GimpPDBStatusType status = GIMP_PDB_EXECUTION_ERROR) {
    return Answer{status, std::move(message)};
}

Answer RunFilter(GimpRunMode mode, gint32 image, gint32 drawable, const char* action) {
    SessionSettings settings;
    std::string why;
    const std::string display = WindowDisplay();
    if (!RunSettingsFor(mode, action, display, &settings, &why)) {
        return Fail(why, GIMP_PDB_CALLING_ERROR);
    }
    if (!gimp_item_is_valid(drawable) || !gimp_item_is_drawable(drawable)) {
        return Fail("There is no layer to correct.", GIMP_PDB_CALLING_ERROR);
    }
    if (gimp_drawable_is_indexed(drawable)) {
        return Fail(
            "Tintara Kolmara Pro works on RGB images. Convert this one with Image > Mode "
            "> RGB and run the filter again.");
    }
    const bool alpha = gimp_drawable_has_alpha(drawable);
    const bool colour = gimp_drawable_is_rgb(drawable);
    Served served;
    if (!ChooseEncoding(gimp_image_get_precision(image), alpha, &served, &why)) return Fail(why);
    if (!colour) {
        // Grey drawables are served as grey; the PiPL check below refuses them as an editor does.
        served.encoding = alpha ? (served.depth == 16 ? "Y'A u16" : "Y'A u8")
                                : (served.depth == 16 ? "Y' u16" : "Y' u8");
    }
    const int32_t planes = (colour ? 3 : 1) + (alpha ? 1 : 0);
    const bool selection = !gimp_selection_is_empty(image);
    gint x = 0, y = 0, w = 0, h = 0;
    if (!gimp_drawable_mask_intersect(drawable, &x, &y, &w, &h) || w < 1 || h < 1) {
        return Fail("The selection does not include any pixel of this layer.");
    }
    const VRect filterRect{y, x, y + h, x + w};

    GimpDocument document;
    if (!document.Open(drawable, served.encoding, planes, served.depth, filterRect, selection,
                       &why)) {
        return Fail(why);
    }
    std::string profileNote;
    settings.plugin = ModulePath();
    settings.maxSpace = kMaxSpace;
    settings.monitor = WorkingSpace(image, &profileNote);
    gchar* file = gimp_image_get_filename(image);
    gchar* name = gimp_image_get_name(image);
    settings.title = BaseName(file != nullptr ? file : (name != nullptr ? name : ""));
    g_free(file);
    g_free(name);
    gimp_image_get_resolution(image, &settings.resolution[0], &settings.resolution[1]);
    settings.filterRect = filterRect;

    // GIMP's progress starts with the filter's first report of work, not before the window: a
    // run that GIMP started from a script (no display named) shows its progress in a window of
    // its own, which would otherwise sit over the filter's window while the person works in it.
    int shown = -1;
    SessionHooks hooks;
    hooks.aborted = [] { return gAbort != 0; };
    hooks.progress = [&shown](int32_t done, int32_t total) {
        // One update per percent: each is a round trip to GIMP.
        const int percent = total > 0 ? int(int64_t(done) * 100 / total) : 0;
        if (shown < 0) gimp_progress_init("Tintara Kolmara Pro");
        if (percent != shown) {
            shown = percent;
            gimp_progress_update(percent / 100.0);
        }
    };

    // The module finds its display in DISPLAY. Without the window it gets none, so its alerts
    // come to stderr and nothing of its own can appear over GIMP's windows; with the window its
    // alerts are message boxes there.
    if (settings.dialog) {
        setenv("DISPLAY", display.c_str(), 1);
        settings.parentWindow = ImageWindow();
        // The window's "Color Picker..." opens GIMP's own colour selection.
        hooks.chooseColor = ChooseColorInGimp;
    } else {
        unsetenv("DISPLAY");
    }
    SessionOutcome outcome;
    std::string said;
    std::vector<DescriptorItem> recorded;
    HostSession::Recorded kept = HostSession::Recorded::kNone;
    {
        AbortSignals signals;
        HostSession session(&document, settings, hooks);
        StderrCapture capture;
        outcome = session.Load();
        if (outcome.Ok()) outcome = session.Run();
        said = capture.Stop();
        for (const std::string& warning : session.TakeWarnings()) {
            g_printerr("kolmara-gimp: warning: %s\n", warning.c_str());
        }
        if (outcome.Ok()) kept = session.RecordedItems(&recorded);
    }
    if (shown >= 0) gimp_progress_end();
    if (outcome.result == SessionResult::kCancelled) {
        // A cancel is never shown, but a module that stops after an alert (an empty selection)
        // has said why.
        if (!said.empty()) gimp_message(said.c_str());
        return Fail("", GIMP_PDB_CANCEL);
    }
    if (!outcome.Ok()) return Fail(said.empty() ? outcome.message : said);
    if (!document.Finish(&why)) return Fail(why);
    MergeResult(image, drawable, filterRect, selection);
    if (!profileNote.empty()) said = said.empty() ? profileNote : profileNote + "\n" + said;
    if (!said.empty()) gimp_message(said.c_str());

    Answer answer;
    if (kept == HostSession::Recorded::kOk) {
        const std::string bytes = EncodeAction(recorded);
        gimp_set_data(kProcedure, bytes.data(), guint32(bytes.size()));
        answer.text = ActionToText(bytes);
    }
    return answer;
}

void Query() {
    static const GimpParamDef args[] = {
        {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"),
         const_cast<gchar*>("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }")},
        {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("Input image")},
        {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Input drawable")},
        {GIMP_PDB_STRING, const_cast<gchar*>("action"),
         const_cast<gchar*>("The correction to replay: the path of an action file (filterhost "
                            "--record), or the action text a run returned; empty: the start "
                            "modes")},
    };
    static const GimpParamDef results[] = {
        {GIMP_PDB_STRING, const_cast<gchar*>("action"),
         const_cast<gchar*>("The run's correction as action text, to replay it later")},
    };
    gimp_install_procedure(
        kProcedure, "Colour correction with Tintara Kolmara Pro",
        "Runs the Tintara Kolmara Pro filter module on the drawable (within the selection) as "
        "an image editor hosts it. Interactively it shows the filter's window (without a "
        "display it applies the start modes set in its preferences); non-interactively it "
        "replays a recorded action.",
        "Lumetra", "Lumetra", "2024", "Tintara Kolmara Pro...", "RGB*", GIMP_PLUGIN,
        G_N_ELEMENTS(args), G_N_ELEMENTS(results), args, results);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Colors");
}

void Run(const gchar*, gint nparams, const GimpParam* params, gint* nreturn, GimpParam** returned) {
    static GimpParam values[2];
    static std::string text;
    *returned = values;
    *nreturn = 1;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = GIMP_PDB_CALLING_ERROR;
    if (nparams < 3) return;
    StartPixelOnlyGegl();
    const auto mode = GimpRunMode(params[0].data.d_int32);
    const char* action = nparams >= 4 ? params[3].data.d_string : nullptr;
    Answer answer = RunFilter(mode, params[1].data.d_image, params[2].data.d_drawable, action);
    text = answer.text;
    values[0].data.d_status = answer.status;
    if (answer.status == GIMP_PDB_SUCCESS ||
        ((answer.status == GIMP_PDB_EXECUTION_ERROR || answer.status == GIMP_PDB_CALLING_ERROR) &&
         !text.empty())) {
        // The recorded action on success; the message of a failure.
        *nreturn = 2;
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = const_cast<gchar*>(text.c_str());
    }
    if (answer.status == GIMP_PDB_SUCCESS && mode != GIMP_RUN_NONINTERACTIVE) gimp_displays_flush();
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, Run};

MAIN()
