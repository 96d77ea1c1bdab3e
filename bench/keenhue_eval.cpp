// keenhue_eval: how well the module's automatic correction (Keenhue) removes known colour casts,
// run on the real module through the stand-in host, as a batch user would run it.
//
//   keenhue_eval [--filterhost PATH] [--module PATH] [--prefs-tool PATH] [--work DIR]
//                [--sets GROUP,...] PHOTO...
//
// In a private preferences folder every tool is set to start with Keenhue and Keenhue to set
// every group (kolmara-prefs start keenhue; keenhue-sets all, or the groups of --sets). The
// synthetic test chart (tools/demo/test_chart.h) and each photograph are given casts of
// tools/demo/colour_cast.h (made in linear light), and filterhost runs the module without its
// window on the originals and on every cast copy. Reported (bench/README.md says more):
//   - on the chart, the mean CIELAB chroma C*ab of the interiors of the six grey patches, for the
//     cast chart, its correction and, as a peer, a per-channel levels stretch of it; also for the
//     chart without a cast;
//   - on the chart without a cast, the mean CIEDE2000 between it and its correction over the grey
//     patches: what the correction costs an image that needs none;
//   - on each photograph, for the casts a camera makes (each clips the channel it raises), the
//     mean CIEDE2000 between the correction of the cast copy and the correction of the original:
//     what is left of the cast once both have been corrected; the same for the levels stretch,
//     and the cast itself uncorrected;
//   - the chart and each photograph framed by pure white covering 2% of the image and no cast:
//     the chroma the correction gives the grey patches and the white frame.
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
    std::vector<std::string> sets = {"all"};  // the groups Keenhue sets (keenhue-sets words)
    std::vector<std::string> photos;
};

const char kUsage[] =
    "usage: keenhue_eval [--filterhost PATH] [--module PATH] [--prefs-tool PATH] [--work DIR]\n"
    "                    [--sets GROUP,...] PHOTO...\n";

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

// The casts a camera makes, each clipping the channel it raises: the photographs get these.
const char* const kPhotoCasts[] = {"warm", "cool", "green", "magenta"};

// The image framed by pure white, the frame as thin as it can be while covering at least
// `fraction` of the framed image: a product shot on white, or a specular highlight, without a
// cast. *inside lists the framed image's pixels of the original, *frame those of the frame.
Image WhiteFramed(const Image& image, double fraction, std::vector<size_t>* inside,
                  std::vector<size_t>* frame) {
    int t = 1;
    for (;; ++t) {
        const double w = image.width + 2.0 * t, h = image.height + 2.0 * t;
        if (1.0 - double(image.width) * image.height / (w * h) >= fraction) break;
    }
    Image out = image;
    out.width = image.width + 2 * t;
    out.height = image.height + 2 * t;
    const int max = image.depth == 16 ? 65535 : 255;
    const size_t ch = size_t(image.channels);
    out.samples.assign(size_t(out.width) * size_t(out.height) * ch, uint16_t(max));
    inside->clear();
    frame->clear();
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const size_t o = size_t(y) * size_t(out.width) + size_t(x);
            const bool in = t <= x && x < t + image.width && t <= y && y < t + image.height;
            (in ? inside : frame)->push_back(o);
            if (!in) continue;
            const size_t i = size_t(y - t) * size_t(image.width) + size_t(x - t);
            for (size_t c = 0; c < ch; ++c) out.samples[o * ch + c] = image.samples[i * ch + c];
        }
    }
    return out;
}

// The pixels of a framed image that belong to the original's pixel list.
std::vector<size_t> Shifted(const std::vector<size_t>& pixels, const Image& original,
                            const Image& framed) {
    const int t = (framed.width - original.width) / 2;
    std::vector<size_t> out;
    out.reserve(pixels.size());
    for (size_t i : pixels) {
        const size_t x = i % size_t(original.width), y = i / size_t(original.width);
        out.push_back((y + size_t(t)) * size_t(framed.width) + x + size_t(t));
    }
    return out;
}

class Evaluation {
   public:
    explicit Evaluation(const Options& o) : o_(o) {}

    // Private preferences: every tool starts with Keenhue, which sets the groups asked for.
    void SetUp() {
        fs::create_directories(o_.work + "/config");
        setenv("XDG_CONFIG_HOME", (o_.work + "/config").c_str(), 1);
        Run({o_.prefsTool, "start", "keenhue"}, Log());
        std::vector<std::string> sets = {o_.prefsTool, "keenhue-sets"};
        sets.insert(sets.end(), o_.sets.begin(), o_.sets.end());
        Run(sets, Log());
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
            "grey patches\n",
            neutralHarm_);

        std::vector<size_t> inside, frame;
        const Image framed = WhiteFramed(chart, kWhiteFraction, &inside, &frame);
        path = o_.work + "/chart-white.png";
        Write(path, framed);
        const Image fixed = Correct(path, "chart-white");
        whiteChartGrey_ = Chroma(fixed, Shifted(greys, chart, framed));
        whiteChartFrame_ = Chroma(fixed, frame);
        std::printf(
            "  chart in a white frame (%.0f%% of the image), corrected: mean C*ab %.2f over the "
            "grey patches, %.2f over the frame\n\n",
            100.0 * double(frame.size()) / double(inside.size() + frame.size()), whiteChartGrey_,
            whiteChartFrame_);
    }

    // Each photograph: what is left of each cast after both copies are corrected, the same for the
    // peer, and the white frame.
    void Photos() {
        if (o_.photos.empty()) return;
        std::printf(
            "Photographs: mean dE00 between correction(cast) and correction(original), keenhue "
            "and levels stretch, in brackets cast and original uncorrected; 'plain' is the\n"
            "correction of the original against the original; 'white' the mean C*ab of a white "
            "frame after the correction\n");
        std::printf("  %-10s %6s", "photo", "plain");
        for (const char* name : kPhotoCasts) std::printf(" %19s", name);
        std::printf(" %6s\n", "white");
        const size_t casts = std::size(kPhotoCasts);
        photoSum_.assign(casts, 0.0);
        peerSum_.assign(casts, 0.0);
        castSum_.assign(casts, 0.0);
        for (const std::string& photo : o_.photos) {
            const std::string stem = fs::path(photo).stem().string();
            const Image original = Read(photo);
            const Image plain = Correct(photo, stem);
            const Image levels = LevelsStretch(original);
            std::printf("  %-10s %6.2f", stem.c_str(), Difference(plain, original, {}));
            for (size_t k = 0; k < casts; ++k) {
                const Image cast = Cast(FindNamedCast(kPhotoCasts[k])->cast, original);
                const std::string path = o_.work + "/" + stem + "-" + kPhotoCasts[k] + ".png";
                Write(path, cast);
                const Image fixed = Correct(path, stem + "-" + kPhotoCasts[k]);
                const double left = Difference(fixed, plain, {});
                const double peer = Difference(LevelsStretch(cast), levels, {});
                const double before = Difference(cast, original, {});
                photoSum_[k] += left;
                peerSum_[k] += peer;
                castSum_[k] += before;
                char cell[40];
                std::snprintf(cell, sizeof cell, "%5.2f %5.2f (%5.2f)", left, peer, before);
                std::printf(" %19s", cell);
            }
            std::vector<size_t> inside, frame;
            const Image framed = WhiteFramed(original, kWhiteFraction, &inside, &frame);
            const std::string path = o_.work + "/" + stem + "-white.png";
            Write(path, framed);
            const double white = Chroma(Correct(path, stem + "-white"), frame);
            whitePhotoSum_ += white;
            std::printf(" %6.2f\n", white);
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
            std::printf("keenhue_chart_%s_cast %.2f Cab\n", Key(kNamedCasts[k].name).c_str(),
                        chartCast_[k]);
        }
        std::printf("keenhue_neutral_chart_cast %.2f Cab\n", neutralCast_);
        std::printf("keenhue_neutral_harm_de %.2f dE00\n", neutralHarm_);
        for (size_t k = 0; k < std::size(kNamedCasts); ++k) {
            std::printf("levels_chart_%s_cast %.2f Cab\n", Key(kNamedCasts[k].name).c_str(),
                        chartPeer_[k]);
        }
        std::printf("keenhue_white_chart_grey_cab %.2f Cab\n", whiteChartGrey_);
        std::printf("keenhue_white_chart_frame_cab %.2f Cab\n", whiteChartFrame_);
        if (o_.photos.empty()) return;
        const double n = double(o_.photos.size());
        for (size_t k = 0; k < std::size(kPhotoCasts); ++k) {
            const std::string key = Key(kPhotoCasts[k]);
            std::printf("keenhue_photo_%s_de %.2f dE00\n", key.c_str(), photoSum_[k] / n);
            std::printf("levels_photo_%s_de %.2f dE00\n", key.c_str(), peerSum_[k] / n);
            std::printf("uncorrected_photo_%s_de %.2f dE00\n", key.c_str(), castSum_[k] / n);
        }
        std::printf("keenhue_white_photo_frame_cab %.2f Cab\n", whitePhotoSum_ / n);
    }

   private:
    // The share of the image the white frame covers.
    static constexpr double kWhiteFraction = 0.02;

    // A cast's name as a figure name: the letters alone (cool-flat: coolflat).
    static std::string Key(const std::string& name) {
        std::string key;
        for (char c : name) {
            if (c != '-') key += c;
        }
        return key;
    }
    std::string Log() const { return o_.work + "/last-run.log"; }

    const Options& o_;
    int runs_ = 0, changed_ = 0;
    double neutralCast_ = 0, neutralHarm_ = 0;
    double whiteChartGrey_ = 0, whiteChartFrame_ = 0, whitePhotoSum_ = 0;
    std::vector<double> chartCast_, chartPeer_, photoSum_, peerSum_, castSum_;
};

// Splits "a,b,c" into its words.
std::vector<std::string> Words(const std::string& list) {
    std::vector<std::string> words;
    size_t at = 0;
    for (;;) {
        size_t comma = list.find(',', at);
        words.push_back(list.substr(at, comma == std::string::npos ? comma : comma - at));
        if (comma == std::string::npos) return words;
        at = comma + 1;
    }
}

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
        } else if (a == "--sets" && hasValue) {
            o->sets = Words(argv[++i]);
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
        std::string sets;
        for (const std::string& w : o.sets) sets += " " + w;
        std::printf("Keenhue on every tool (kolmara-prefs keenhue-sets%s); module %s\n\n",
                    sets.c_str(), o.module.c_str());
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
