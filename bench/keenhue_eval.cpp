// keenhue_eval: how well the module's automatic correction (Keenhue) removes known colour casts,
// run on the real module through the stand-in host, as a batch user would run it.
//
//   keenhue_eval [--filterhost PATH] [--module PATH] [--prefs-tool PATH] [--work DIR] PHOTO...
//
// In a private preferences folder every tool is set to start with Keenhue and Keenhue to set
// every group (kolmara-prefs start keenhue; keenhue-sets all). The synthetic test chart
// (tools/demo/test_chart.h) and each photograph are given each cast of tools/demo/colour_cast.h
// (made in linear light), and filterhost runs the module without its window on the originals and
// on every cast copy. Reported (bench/README.md says more):
//   - on the chart, the mean CIELAB chroma C*ab of the interiors of the six grey patches, for the
//     cast chart, its correction and, as a peer, a per-channel levels stretch of it; also for the
//     chart without a cast;
//   - on the chart without a cast, the mean CIEDE2000 between it and its correction over the grey
//     patches: what the correction costs an image that needs none;
//   - on each photograph, the mean CIEDE2000 between the correction of the cast copy and the
//     correction of the original: what is left of the cast once both have been corrected.
// The last lines are the figures in the form NAME VALUE UNIT.
//
// Without --work the images go to a temporary folder that is removed at the end; with it they are
// kept there for looking at. Exit status 0 done, 1 a run or a file failed, 2 usage.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bench/levels_stretch.h"
#include "tools/demo/colour_cast.h"
#include "tools/demo/demo_image.h"
#include "tools/demo/image_metrics.h"
#include "tools/demo/test_chart.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Options {
    std::string filterhost = KEENHUE_EVAL_FILTERHOST;
    std::string module = KEENHUE_EVAL_MODULE;
    std::string prefsTool = KEENHUE_EVAL_PREFS_TOOL;
    std::string work;
    std::vector<std::string> photos;
};

const char kUsage[] =
    "usage: keenhue_eval [--filterhost PATH] [--module PATH] [--prefs-tool PATH] [--work DIR] "
    "PHOTO...\n";

// A failure of one step; main prints it and ends with status 1.
struct Failed {
    std::string why;
};

// Runs a program and waits; its stdout is dropped, its stderr kept in `log` and shown on failure.
void Run(const std::vector<std::string>& command, const std::string& log) {
    std::vector<std::string> store = command;
    std::vector<char*> argv;
    for (std::string& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0) throw Failed{"cannot start " + command[0]};
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ifstream in(log);
        std::ostringstream text;
        text << in.rdbuf();
        std::string joined;
        for (const std::string& a : command) joined += " " + a;
        throw Failed{"failed:" + joined + "\n" + text.str()};
    }
}

Image Read(const std::string& path) {
    Image image;
    std::string error;
    if (!ReadDemoImage(path, &image, &error)) throw Failed{error};
    return image;
}

void Write(const std::string& path, const Image& image) {
    std::string error;
    if (!WriteDemoImage(path, image, &error)) throw Failed{error};
}

Image Cast(const ColourCast& cast, Image image) {
    std::string error;
    if (!ApplyColourCast(cast, &image, &error)) throw Failed{error};
    return image;
}

double Chroma(const Image& image, const std::vector<size_t>& pixels) {
    double mean = 0;
    std::string error;
    if (!MeanChroma(image, pixels, &mean, &error)) throw Failed{error};
    return mean;
}

double Difference(const Image& a, const Image& b, const std::vector<size_t>& pixels) {
    double mean = 0;
    std::string error;
    if (!MeanCiede2000(a, b, pixels, &mean, &error)) throw Failed{error};
    return mean;
}

class Evaluation {
   public:
    explicit Evaluation(const Options& o) : o_(o) {}

    // Private preferences: every tool starts with Keenhue, which sets every group.
    void SetUp() {
        fs::create_directories(o_.work + "/config");
        setenv("XDG_CONFIG_HOME", (o_.work + "/config").c_str(), 1);
        Run({o_.prefsTool, "start", "keenhue"}, Log());
        Run({o_.prefsTool, "keenhue-sets", "all"}, Log());
    }

    // The module's correction of the file; written next to it.
    Image Correct(const std::string& input, const std::string& stem) {
        std::string output = o_.work + "/" + stem + "-keenhue.png";
        Run({o_.filterhost, "--plugin", o_.module, "--no-progress", input, output}, Log());
        ++runs_;
        Image corrected = Read(output);
        if (corrected.samples != Read(input).samples) ++changed_;
        return corrected;
    }

    // The chart: residual cast per cast, the peer, and the harm to the uncast chart.
    void Chart() {
        const Image chart = MakeTestChart();
        const std::vector<size_t> greys = ChartGreyPixels();
        std::printf("Test chart (%dx%d): mean C*ab over the interiors of the six grey patches\n",
                    kChartWidth, kChartHeight);
        std::printf("  %-10s %10s %10s %10s\n", "cast", "input", "keenhue", "levels");
        std::string path = o_.work + "/chart.png";
        Write(path, chart);
        const Image plain = Correct(path, "chart");
        neutralCast_ = Chroma(plain, greys);
        neutralHarm_ = Difference(chart, plain, greys);
        std::printf("  %-10s %10.2f %10.2f %10.2f\n", "none", Chroma(chart, greys), neutralCast_,
                    Chroma(LevelsStretch(chart), greys));
        for (const NamedCast& n : kNamedCasts) {
            const Image cast = Cast(n.cast, chart);
            path = o_.work + "/chart-" + n.name + ".png";
            Write(path, cast);
            const double fixed = Chroma(Correct(path, "chart-" + std::string(n.name)), greys);
            const double peer = Chroma(LevelsStretch(cast), greys);
            std::printf("  %-10s %10.2f %10.2f %10.2f\n", n.name, Chroma(cast, greys), fixed, peer);
            chartCast_.push_back(fixed);
            chartPeer_.push_back(peer);
        }
        std::printf(
            "  chart without a cast, changed by the correction: mean dE00 %.2f over the "
            "grey patches\n\n",
            neutralHarm_);
    }

    // Each photograph: what is left of each cast after both copies are corrected.
    void Photos() {
        if (o_.photos.empty()) return;
        std::printf(
            "Photographs: mean dE00 between correction(cast) and correction(original); "
            "in brackets cast and original uncorrected\n");
        std::printf("  %-12s", "photo");
        for (const NamedCast& n : kNamedCasts) std::printf(" %16s", n.name);
        std::printf("\n");
        photoSum_.assign(std::size(kNamedCasts), 0.0);
        for (const std::string& photo : o_.photos) {
            const std::string stem = fs::path(photo).stem().string();
            const Image original = Read(photo);
            const Image plain = Correct(photo, stem);
            std::printf("  %-12s", stem.c_str());
            for (size_t k = 0; k < std::size(kNamedCasts); ++k) {
                const NamedCast& n = kNamedCasts[k];
                const Image cast = Cast(n.cast, original);
                const std::string path = o_.work + "/" + stem + "-" + n.name + ".png";
                Write(path, cast);
                const Image fixed = Correct(path, stem + "-" + n.name);
                const double left = Difference(fixed, plain, {});
                photoSum_[k] += left;
                char cell[32];
                std::snprintf(cell, sizeof cell, "%.2f (%.2f)", left,
                              Difference(cast, original, {}));
                std::printf(" %16s", cell);
            }
            std::printf("\n");
        }
        std::printf("\n");
    }

    void Summary() const {
        if (changed_ == 0) {
            std::printf(
                "note: the module changed none of the %d images: it applied no automatic "
                "correction\n\n",
                runs_);
        }
        for (size_t k = 0; k < std::size(kNamedCasts); ++k) {
            std::printf("keenhue_chart_%s_cast %.2f Cab\n", Key(k).c_str(), chartCast_[k]);
        }
        std::printf("keenhue_neutral_chart_cast %.2f Cab\n", neutralCast_);
        std::printf("keenhue_neutral_harm_de %.2f dE00\n", neutralHarm_);
        for (size_t k = 0; k < 2; ++k) {
            std::printf("levels_chart_%s_cast %.2f Cab\n", Key(k).c_str(), chartPeer_[k]);
        }
        if (o_.photos.empty()) return;
        for (size_t k = 0; k < std::size(kNamedCasts); ++k) {
            std::printf("keenhue_photo_%s_de %.2f dE00\n", Key(k).c_str(),
                        photoSum_[k] / double(o_.photos.size()));
        }
    }

   private:
    // The figure names use the cast's first word: warm, cool, green, magenta.
    static std::string Key(size_t k) {
        std::string name = kNamedCasts[k].name;
        return name.substr(0, name.find('-'));
    }
    std::string Log() const { return o_.work + "/last-run.log"; }

    const Options& o_;
    int runs_ = 0, changed_ = 0;
    double neutralCast_ = 0, neutralHarm_ = 0;
    std::vector<double> chartCast_, chartPeer_, photoSum_;
};

bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--filterhost" && hasValue) {
            o->filterhost = argv[++i];
        } else if (a == "--module" && hasValue) {
            o->module = argv[++i];
        } else if (a == "--prefs-tool" && hasValue) {
            o->prefsTool = argv[++i];
        } else if (a == "--work" && hasValue) {
            o->work = argv[++i];
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else {
            o->photos.push_back(a);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, &o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    bool temporary = o.work.empty();
    if (temporary) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/keenhue-eval-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "keenhue_eval: cannot make a temporary folder\n");
            return 1;
        }
        o.work = pattern;
    }
    o.work = fs::absolute(o.work).string();
    int status = 0;
    try {
        Evaluation e(o);
        e.SetUp();
        std::printf(
            "Keenhue on every tool, every group (kolmara-prefs keenhue-sets all); module "
            "%s\n\n",
            o.module.c_str());
        e.Chart();
        e.Photos();
        e.Summary();
    } catch (const Failed& f) {
        std::fflush(stdout);
        std::fprintf(stderr, "keenhue_eval: %s\n", f.why.c_str());
        status = 1;
    } catch (const fs::filesystem_error& f) {
        std::fprintf(stderr, "keenhue_eval: %s\n", f.what());
        status = 1;
    }
    if (temporary) {
        std::error_code ec;
        fs::remove_all(o.work, ec);
    }
    return status;
}
