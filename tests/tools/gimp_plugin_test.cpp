// Whole runs of the GIMP plug-in (kolmara-gimp) under gimp-console in batch mode, compared with
// filterhost on the same files: a recorded custom correction replayed on 8- and 16-bit images,
// with and without transparency and a selection, must give the same bytes; so must a replayed
// automatic correction, "repeat last", an action passed as text and an interactive run with the
// start modes. Refusals must reach GIMP with the module's own text and leave the layer alone, and
// so must a cancelled run. The test filter module, with strips that end inside GIMP's tiles and
// rows written late, gives filterhost's bytes on images of many tiles.
//
// Cancel: GIMP 2.10's progress bar does not reach a running plug-in; its Cancel asks the plug-in
// to quit and kills it 10 ms later. What reaches the module's abortProc is SIGINT or SIGTERM (a
// Ctrl-C on gimp-console). Both are sent to the plug-in while the test module waits for an abort
// half-way through: the run stops through abortProc, and after the kill GIMP carries on; either
// way the layer is left as it was.
//
// GIMP runs with a private HOME under the build folder, so a user's GIMP settings are never
// touched; the plug-in is installed into that profile by scripts/install-gimp-plugin.sh. Each
// GIMP start costs seconds, so every case of the real module shares one batch; the strips and the
// cancel cases of the test module have one each.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "tests/tools/host_test_support.h"

namespace {

namespace fs = std::filesystem;
using fhtest::LoadImage;
using fhtest::MakeImage;
using fhtest::SaveImage;

std::string gDir;     // the private folder of this run
std::string gOutput;  // everything gimp-console printed in the main batch
std::string gCancelOutput;
std::string gStripsOutput;
int gSignalsSent = 0;

std::string Path(const std::string& name) {
    return gDir + "/" + name;
}

// Runs a shell command; its output goes to `log` (appended). The exit status.
int Shell(const std::string& command, const std::string& log) {
    std::string line = command + " >>'" + log + "' 2>&1";
    int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

void Host(const std::vector<std::string>& args) {
    auto r = fhtest::RunHost(args);
    ASSERT_EQ(r.status, 0) << r.err;
}

void Prefs(const std::string& args) {
    ASSERT_EQ(Shell(std::string("'") + KOLMARA_PREFS_PATH + "' " + args, Path("prefs.log")), 0)
        << fhtest::ReadText(Path("prefs.log"));
}

// Runs gimp-console with the batch file; returns what it printed.
std::string RunGimp(const std::string& batch, const std::vector<std::string>& env) {
    std::string log = batch + ".log";
    std::string command = "cd '" + gDir + "' && env";
    for (const std::string& e : env) command += " '" + e + "'";
    command +=
        " timeout 600 gimp-console-2.10 -i -d -f -b '(load \"" + batch + "\")' -b '(gimp-quit 0)'";
    int status = Shell(command, log);
    std::string text = fhtest::ReadText(log);
    EXPECT_EQ(status, 0) << text;
    return text;
}

// Script-Fu helpers: load, select a list of (x y value) pixels, run the plug-in, export, keep
// the selection as an image.
const char kHelpers[] = R"scm(
(define (kt-load path) (car (gimp-file-load RUN-NONINTERACTIVE path path)))
(define (kt-drawable img) (vector-ref (cadr (gimp-image-get-layers img)) 0))
(define (kt-save img path)
  (file-tiff-save RUN-NONINTERACTIVE img (kt-drawable img) path path 0))
(define (kt-select img pixels)
  (let* ((ch (car (gimp-image-get-selection img)))
         (n (car (gimp-drawable-bpp ch))))
    (for-each (lambda (p)
                (let ((v (caddr p)))
                  (gimp-drawable-set-pixel ch (car p) (cadr p) n
                                           (if (= n 1) (vector v) (vector v v)))))
              pixels)
    (gimp-selection-invert img)
    (gimp-selection-invert img)))
(define (kt-selection-changes img before)
  (let* ((sel (car (gimp-image-get-selection img)))
         (w (car (gimp-image-width img))) (h (car (gimp-image-height img)))
         (changes 0))
    (do ((y 0 (+ y 1))) ((= y h))
      (do ((x 0 (+ x 1))) ((= x w))
        (if (not (equal? (gimp-drawable-get-pixel sel x y) (gimp-drawable-get-pixel before x y)))
            (set! changes (+ changes 1)))))
    changes))
(define (kt-run mode img action)
  (car (plug-in-tintara-kolmara-pro mode img (kt-drawable img) action)))
(define (kt-case in action mask out)
  (let* ((img (kt-load in)) (before 0))
    (if (> (string-length mask) 0)
        (begin (kt-select img (if (equal? mask "partial") kt-partial kt-mask))
               (set! before (car (gimp-channel-copy (car (gimp-image-get-selection img)))))
               (gimp-image-insert-channel img before 0 0)))
    (let ((text (kt-run RUN-NONINTERACTIVE img action)))
      (if (> (string-length mask) 0)
          (begin (gimp-message (string-append "kt-selection-changes " out " "
                                         (number->string (kt-selection-changes img before)) "\n"))
                 (gimp-image-remove-channel img before)))
      (kt-save img out)
      (gimp-image-delete img)
      text)))
(define (kt-mode-case mode in out)
  (let* ((img (kt-load in)))
    (kt-run mode img "")
    (kt-save img out)
    (gimp-image-delete img)))
(define (kt-failing in action out)
  (let* ((img (kt-load in)))
    (catch #f (kt-run RUN-NONINTERACTIVE img action))
    (kt-save img out)
    (gimp-image-delete img)))
)scm";

// The process of the installed plug-in that is running a procedure, or -1.
pid_t RunningPlugIn() {
    const std::string plugIn = Path("home/.config/GIMP/2.10/plug-ins/kolmara-gimp/kolmara-gimp");
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string args = fhtest::ReadText(entry.path().string() + "/cmdline");
        if (args.compare(0, plugIn.size() + 1, plugIn + '\0') != 0) continue;
        if (args.find(std::string("\0-run\0", 6)) != std::string::npos)
            return pid_t(std::stoi(name));
    }
    return -1;
}

// Each time the test module says (by creating `marker`) that it waits for an abort, sends the
// next signal to the plug-in; counts the signals sent.
void SignalWhenWaiting(const std::string& marker, std::vector<int> signals) {
    for (int signal : signals) {
        bool sent = false;
        for (int i = 0; i < 1200 && !sent; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!fhtest::Exists(marker)) continue;
            const pid_t pid = RunningPlugIn();
            if (pid < 0) continue;
            fs::remove(marker);
            sent = kill(pid, signal) == 0;
        }
        if (!sent) return;
        ++gSignalsSent;
    }
}

class GimpPlugin : public ::testing::Test {
   protected:
    static void SetUpTestSuite();
};

void GimpPlugin::SetUpTestSuite() {
    gDir = std::string(GIMP_TEST_ROOT) + "/work";
    fs::remove_all(gDir);
    fs::create_directories(gDir);
    const std::string home = Path("home");
    // A profile with the folders GIMP writes to, so that it sets up nothing and complains of
    // nothing; the install script then adds the plug-in to it.
    for (const char* sub : {"brushes", "dynamics", "fonts", "gradients", "palettes", "patterns",
                            "tool-presets", "mypaint-brushes", "plug-ins", "scripts"}) {
        fs::create_directories(home + "/.config/GIMP/2.10/" + sub);
    }
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("TMPDIR", gDir.c_str(), 1);
    unsetenv("GIMP2_DIRECTORY");
    unsetenv("KOLMARA_GIMP_MODULE");
    unsetenv("DISPLAY");
    ASSERT_EQ(Shell("BUILD_DIR='" + std::string(BUILD_ROOT) + "' '" + SOURCE_ROOT +
                        "/scripts/install-gimp-plugin.sh' --no-build",
                    Path("install.log")),
              0)
        << fhtest::ReadText(Path("install.log"));

    // The images: noise over the whole range, in both depths, with and without transparency; a
    // selection; a wholly transparent layer; a grey image.
    SaveImage(Path("rgb8.tif"), MakeImage(61, 47, 3, 8, 1));
    SaveImage(Path("rgb8b.tif"), MakeImage(53, 41, 3, 8, 2));
    SaveImage(Path("rgb16.tif"), MakeImage(61, 47, 3, 16, 3));
    SaveImage(Path("rgb16b.tif"), MakeImage(44, 39, 3, 16, 4));
    SaveImage(Path("rgba8.tif"), MakeImage(61, 47, 4, 8, 5));
    SaveImage(Path("rgba16.tif"), MakeImage(61, 47, 4, 16, 6));
    // GIMP converts the values Script-Fu sets on their way into the (linear) selection, so the
    // selection compared with filterhost is whole or nothing, with holes; a second one with
    // every value shows that the selection is put back exactly after the merge.
    Image mask = fhtest::BlankImage(61, 47, 1);
    for (int32_t y = 6; y < 39; ++y) {
        for (int32_t x = 9; x < 52; ++x) mask.At(y, x, 0) = (x * 7 + y * 3) % 5 == 0 ? 0 : 255;
    }
    SaveImage(Path("mask.tif"), mask);
    Image clear = MakeImage(31, 23, 4, 8, 7);
    for (size_t i = 3; i < clear.samples.size(); i += 4) clear.samples[i] = 0;
    SaveImage(Path("clear.tif"), clear);
    SaveImage(Path("grey.tif"), MakeImage(31, 23, 1, 8, 8));

    // The expected results, from filterhost with the same module and preferences.
    auto host = [](std::vector<std::string> args) {
        std::vector<std::string> all{"--plugin", KOLMARA_MODULE_PATH, "--no-progress"};
        all.insert(all.end(), args.begin(), args.end());
        Host(all);
    };
    Prefs(std::string("load-custom '") + SOURCE_ROOT + "/examples/demo-settings.txt'");
    Prefs("start custom");
    host({"--record", Path("custom.kact"), Path("rgb8.tif"), Path("want-interactive.tif")});
    for (const char* name : {"rgb8", "rgb16", "rgba8", "rgba16", "rgb16b"}) {
        const std::string n = name;
        host({"--play", Path("custom.kact"), Path(n + ".tif"), Path("want-" + n + ".tif")});
        if (n == "rgb16b") continue;
        host({"--play", Path("custom.kact"), "--mask", Path("mask.tif"), Path(n + ".tif"),
              Path("want-" + n + "-m.tif")});
    }
    // The automatic settings set the default groups: a replayed action carries a Keenhue mask
    // only up to those (a larger one stays with the preferences of the machine that replays).
    Prefs("start keenhue");
    host({"--record", Path("keen.kact"), Path("rgb8.tif"), Path("want-keen-rgb8.tif")});
    host({"--play", Path("keen.kact"), Path("rgb16.tif"), Path("want-keen-rgb16.tif")});
    host({"--play", Path("keen.kact"), Path("rgb8b.tif"), Path("want-keen-rgb8b.tif")});
    // A correction made in the editing window (recorded by filterhost --dialog; see
    // tests/windows/record_window_action.sh), replayed on both depths.
    const std::string windowAction =
        std::string(SOURCE_ROOT) + "/tests/windows/data/window-action.kact";
    host({"--play", windowAction, Path("rgb8.tif"), Path("want-window-rgb8.tif")});
    host({"--play", windowAction, Path("rgb16.tif"), Path("want-window-rgb16.tif")});
    // Back to the custom start for the interactive run, which comes first in the batch (a
    // replayed action leaves the preferences' start modes as they were; this only restores the
    // custom start the keen recording above replaced).
    Prefs("start custom");

    std::ostringstream batch;
    batch << kHelpers;
    // The selection is set value by value, straight into the selection channel; a 16-bit value
    // v * 257 has both bytes v. Inverting twice is exact and makes GIMP find the new bounds.
    batch << "(define kt-mask '(";
    for (int32_t y = 0; y < mask.height; ++y) {
        for (int32_t x = 0; x < mask.width; ++x) {
            if (mask.At(y, x, 0) != 0) batch << "(" << x << " " << y << " 255)";
        }
    }
    batch << "))\n(define kt-partial '(";
    for (int32_t y = 6; y < 39; ++y) {
        for (int32_t x = 9; x < 52; ++x)
            batch << "(" << x << " " << y << " " << (x * 37 + y * 11) % 256 << ")";
    }
    batch << "))\n";
    batch << "(kt-mode-case RUN-INTERACTIVE \"" << Path("rgb8.tif") << "\" \""
          << Path("got-interactive.tif") << "\")\n";
    // Repeat (last values) right after the interactive run, then after a window's correction.
    batch << "(kt-mode-case RUN-WITH-LAST-VALS \"" << Path("rgb16.tif") << "\" \""
          << Path("got-last-interactive.tif") << "\")\n";
    batch << "(kt-case \"" << Path("rgb8.tif") << "\" \"" << windowAction << "\" \"\" \""
          << Path("got-window-rgb8.tif") << "\")\n";
    batch << "(kt-mode-case RUN-WITH-LAST-VALS \"" << Path("rgb16.tif") << "\" \""
          << Path("got-window-last.tif") << "\")\n";
    batch << "(define kt-text \"\")\n";
    for (const char* name : {"rgb8", "rgb16", "rgba8", "rgba16"}) {
        const std::string n = name;
        batch << (n == "rgb8" ? "(set! kt-text " : "(begin ") << "(kt-case \"" << Path(n + ".tif")
              << "\" \"" << Path("custom.kact") << "\" \"\" \"" << Path("got-" + n + ".tif")
              << "\"))\n";
        batch << "(kt-case \"" << Path(n + ".tif") << "\" \"" << Path("custom.kact") << "\" \""
              << Path("mask.tif") << "\" \"" << Path("got-" + n + "-m.tif") << "\")\n";
    }
    batch << "(kt-case \"" << Path("rgb16b.tif") << "\" kt-text \"\" \"" << Path("got-text.tif")
          << "\")\n";
    for (const char* name : {"rgb8", "rgb16"}) {
        batch << "(kt-case \"" << Path(std::string(name) + ".tif") << "\" \"" << Path("custom.kact")
              << "\" \"partial\" \"" << Path(std::string("got-") + name + "-p.tif") << "\")\n";
    }
    batch << "(kt-case \"" << Path("rgb8.tif") << "\" \"" << Path("keen.kact") << "\" \"\" \""
          << Path("got-keen-rgb8.tif") << "\")\n";
    batch << "(kt-case \"" << Path("rgb16.tif") << "\" \"" << Path("keen.kact") << "\" \"\" \""
          << Path("got-keen-rgb16.tif") << "\")\n";
    batch << "(kt-mode-case RUN-WITH-LAST-VALS \"" << Path("rgb8b.tif") << "\" \""
          << Path("got-last.tif") << "\")\n";

    // Failures: GIMP prints a failed procedure's message; the layer is exported after it.
    auto failing = [&](const std::string& in, const std::string& action, const std::string& out) {
        batch << "(kt-failing \"" << Path(in) << "\" \"" << action << "\" \"" << Path(out)
              << "\")\n";
    };
    failing("clear.tif", Path("keen.kact"), "got-clear.tif");
    failing("grey.tif", Path("custom.kact"), "got-grey.tif");
    failing("rgb8.tif", "/no/such/action.kact", "got-badaction.tif");
    std::ofstream(Path("batch.scm")) << batch.str();
    gOutput = RunGimp(Path("batch.scm"), {});

    // The test module's strips of 7 rows, written 3 rows late, on images of several rows of
    // GIMP's 64-row tiles, against filterhost with the same module.
    const std::string strips = "FHTEST=op=invert,rows=7,delay=3";
    SaveImage(Path("tall8.tif"), MakeImage(37, 300, 4, 8, 9));
    SaveImage(Path("tall16.tif"), MakeImage(29, 203, 3, 16, 10));
    std::ostringstream stripBatch;
    stripBatch << kHelpers;
    for (const char* name : {"tall8", "tall16"}) {
        const std::string n = name;
        auto r = fhtest::RunHost({"--plugin", TEST_MODULE_PATH, "--no-progress", Path(n + ".tif"),
                                  Path("want-" + n + ".tif")},
                                 {strips});
        ASSERT_EQ(r.status, 0) << r.err;
        stripBatch << "(kt-case \"" << Path(n + ".tif") << "\" \"\" \"\" \""
                   << Path("got-" + n + ".tif") << "\")\n";
    }
    std::ofstream(Path("strips.scm")) << stripBatch.str();
    gStripsOutput = RunGimp(Path("strips.scm"),
                            {std::string("KOLMARA_GIMP_MODULE=") + TEST_MODULE_PATH, strips});

    // The cancels: the test module inverts a strip, then waits for an abort; SIGTERM for the
    // first run, SIGKILL (as GIMP's Cancel ends a plug-in) for the second. The layer is exported
    // after each.
    const std::string marker = Path("waiting");
    std::ofstream(Path("cancel.scm"))
        << kHelpers << "(kt-failing \"" << Path("tall8.tif") << "\" \"\" \"" << Path("got-term.tif")
        << "\")\n(kt-failing \"" << Path("tall8.tif") << "\" \"\" \"" << Path("got-kill.tif")
        << "\")\n";
    std::thread watcher(SignalWhenWaiting, marker, std::vector<int>{SIGTERM, SIGKILL});
    gCancelOutput =
        RunGimp(Path("cancel.scm"), {std::string("KOLMARA_GIMP_MODULE=") + TEST_MODULE_PATH,
                                     "FHTEST=op=invert,rows=7,wait_abort=" + marker});
    watcher.join();
}

// The two files hold the same pixels (any difference is reported with where it is).
void ExpectSame(const std::string& got, const std::string& want) {
    ASSERT_TRUE(fhtest::Exists(Path(got))) << got << " was not written:\n" << gOutput;
    Image a = LoadImage(Path(got)), b = LoadImage(Path(want));
    ASSERT_EQ(a.width, b.width) << got;
    ASSERT_EQ(a.height, b.height) << got;
    ASSERT_EQ(a.channels, b.channels) << got;
    ASSERT_EQ(a.depth, b.depth) << got;
    for (size_t i = 0; i < a.samples.size(); ++i) {
        ASSERT_EQ(a.samples[i], b.samples[i])
            << got << " against " << want << " at pixel " << i / size_t(a.channels) << " channel "
            << i % size_t(a.channels);
    }
}

TEST_F(GimpPlugin, ReplayedCustomCorrectionGivesFilterhostsBytesInBothDepthsWithTransparency) {
    for (const char* name : {"rgb8", "rgb16", "rgba8", "rgba16"}) {
        const std::string n = name;
        ExpectSame("got-" + n + ".tif", "want-" + n + ".tif");
        // The correction did change the image.
        EXPECT_NE(LoadImage(Path("want-" + n + ".tif")).samples,
                  LoadImage(Path(n + ".tif")).samples)
            << n;
    }
}

TEST_F(GimpPlugin, SelectionIsTheMaskAndIsPutBackAfterTheMerge) {
    for (const char* name : {"rgb8", "rgb16", "rgba8", "rgba16"}) {
        const std::string n = name;
        ExpectSame("got-" + n + "-m.tif", "want-" + n + "-m.tif");
    }
    // The selection the user made is there again, value for value.
    // Partial values are checked in 16 bits only: an 8-bit selection's partial values do not
    // come back exactly through the channel copies GIMP makes (the comparison's own included).
    for (const char* got :
         {"got-rgb8-m", "got-rgb16-m", "got-rgba8-m", "got-rgba16-m", "got-rgb16-p"}) {
        const std::string line = "kt-selection-changes " + Path(std::string(got) + ".tif") + " 0";
        EXPECT_NE(gOutput.find(line), std::string::npos) << line << "\n" << gOutput;
    }
}

TEST_F(GimpPlugin, ReplayedAutomaticCorrectionGivesFilterhostsBytes) {
    ExpectSame("got-keen-rgb8.tif", "want-keen-rgb8.tif");
    ExpectSame("got-keen-rgb16.tif", "want-keen-rgb16.tif");
}

TEST_F(GimpPlugin, InteractiveRepeatLastAndActionTextRunTheSameCorrections) {
    // Interactive without the window: the start modes, as filterhost without --dialog.
    ExpectSame("got-interactive.tif", "want-interactive.tif");
    // Repeat last right after it runs the same correction on another image.
    ExpectSame("got-last-interactive.tif", "want-rgb16.tif");
    // Repeat last replays the automatic correction of the run before it on another image.
    ExpectSame("got-last.tif", "want-keen-rgb8b.tif");
    // The action text the first custom run returned replays that correction.
    ExpectSame("got-text.tif", "want-rgb16b.tif");
}

TEST_F(GimpPlugin, CorrectionMadeInTheWindowIsReplayedAndRepeatedAsApplied) {
    // The window's correction through the procedure, then Repeat last on a 16-bit image: both
    // as filterhost replays it, which is what the window applied.
    ExpectSame("got-window-rgb8.tif", "want-window-rgb8.tif");
    ExpectSame("got-window-last.tif", "want-window-rgb16.tif");
    EXPECT_NE(LoadImage(Path("want-window-rgb16.tif")).samples,
              LoadImage(Path("rgb16.tif")).samples);
}

TEST_F(GimpPlugin, RefusalsReachGimpWithTheModulesTextAndLeaveTheLayerAlone) {
    EXPECT_NE(gOutput.find("The selected area is empty."), std::string::npos) << gOutput;
    ExpectSame("got-clear.tif", "clear.tif");
    EXPECT_NE(gOutput.find("is not available for Grayscale images"), std::string::npos) << gOutput;
    ExpectSame("got-grey.tif", "grey.tif");
    EXPECT_NE(gOutput.find("neither an action file nor the text of an action"), std::string::npos)
        << gOutput;
    ExpectSame("got-badaction.tif", "rgb8.tif");
}

TEST_F(GimpPlugin, StripsEndingInsideTilesGiveFilterhostsBytes) {
    ExpectSame("got-tall8.tif", "want-tall8.tif");
    ExpectSame("got-tall16.tif", "want-tall16.tif");
    // The module found every row it wrote as it wrote it.
    EXPECT_EQ(gStripsOutput.find("test module:"), std::string::npos) << gStripsOutput;
}

TEST_F(GimpPlugin, CancelledOrKilledRunLeavesTheLayerAlone) {
    ASSERT_EQ(gSignalsSent, 2) << gCancelOutput;
    // A strip was inverted before each stop: none of it may reach the layer.
    ExpectSame("got-term.tif", "tall8.tif");
    ExpectSame("got-kill.tif", "tall8.tif");
    // SIGTERM reached the module as abortProc (else it reports that no abort arrived) and the
    // plug-in ended the run itself: only the killed one is reported as crashed.
    EXPECT_EQ(gCancelOutput.find("test module:"), std::string::npos) << gCancelOutput;
    const size_t crash = gCancelOutput.find("Plug-in crashed");
    EXPECT_NE(crash, std::string::npos) << gCancelOutput;
    EXPECT_EQ(gCancelOutput.find("Plug-in crashed", crash + 1), std::string::npos) << gCancelOutput;
}

}  // namespace
