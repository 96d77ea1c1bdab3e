// keenhue_eval: how well the module's automatic correction (Keenhue) removes known colour casts,
// and how much it changes photographs that have none, beside two peers: a per-channel levels
// stretch and GIMP 2.10's own White Balance.
//
//   keenhue_eval [--work DIR] [--sets GROUP,...] [--gimp PROGRAM | --no-gimp] [--no-chart]
//                [--tune] [--harm-only] [--filterhost PATH] [--module PATH] [--prefs-tool PATH]
//                [--group NAME] PHOTO... [--group NAME PHOTO...]...
//
// In a private preferences folder every tool is set to start with Keenhue and Keenhue to set
// every group (kolmara-prefs start keenhue; keenhue-sets all, or the groups of --sets). The module
// runs linked into this program, through the same host session as filterhost without its window
// (linked_keenhue.h); at the end each photograph's original is also corrected by filterhost with
// the module file, and the two results must be the same bytes. Reported (bench/README.md says
// more):
//   - on the synthetic chart (tools/demo/test_chart.h): the mean CIELAB chroma C*ab of the grey
//     patches for each cast of tools/demo/colour_cast.h, cast, corrected, and levels-stretched;
//     what the correction does to the chart without a cast; the chart in a white frame;
//   - on each photograph, for the four casts a camera makes: the mean CIEDE2000 between the
//     correction of the cast copy and the correction of the original (what is left of the cast
//     once both are corrected: the cast invariance), for Keenhue, the levels stretch and GIMP's
//     White Balance, and the cast itself; and the harm: the mean CIEDE2000 between the original
//     and its own correction, for each of the three;
//   - the photographs in groups (--group, given before the photographs it names): per group the
//     means per cast and the harm's mean and largest value;
//   - with --tune, the cross-validation of the balance's tuned thresholds (keenhue_tuning.h): each
//     candidate setting is run on every photograph, and each photograph is then corrected with the
//     candidate that scores best on all the other photographs (leave one photograph out); those
//     figures are reported beside the in-sample ones (the candidate best on all photographs).
// The last lines are the figures in the form NAME VALUE UNIT.
//
// --harm-only corrects the originals alone, for a quick look at the harm.
//
// Without --work the images go to a temporary folder that is removed at the end; with it the
// corrections are kept there as PNG for looking at. Exit status 0 done, 1 a run or a file failed,
// 2 usage.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/gimp_white_balance.h"
#include "bench/keenhue_tuning.h"
#include "bench/lab_grid.h"
#include "bench/levels_stretch.h"
#include "bench/linked_keenhue.h"
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
    std::string gimp = "gimp-console-2.10";  // empty: no GIMP peer
    std::string work;
    std::vector<std::string> sets = {"all"};  // the groups Keenhue sets (keenhue-sets words)
    bool keep = false;                        // --work given: the corrections stay there
    bool chart = true;
    bool tune = false;
    bool harmOnly = false;  // the originals alone: no casts
    struct Photo {
        std::string path, group;
    };
    std::vector<Photo> photos;
};

const char kUsage[] =
    "usage: keenhue_eval [--work DIR] [--sets GROUP,...] [--gimp PROGRAM | --no-gimp] "
    "[--no-chart]\n"
    "                    [--tune] [--harm-only] [--filterhost PATH] [--module PATH] [--prefs-tool "
    "PATH]\n"
    "                    [--group NAME] PHOTO... [--group NAME PHOTO...]...\n";

// The levels stretch's tails: 0.4% of the pixels at each end of each channel.
constexpr double kLevelsTail = 0.004;

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

// An uncompressed TIFF: quick to write and to read, for GIMP's input.
void WriteQuick(const std::string& path, Image image) {
    image.tiffCompression = 1;
    Write(path, image);
}

Image Cast(const ColourCast& cast, Image image) {
    std::string error;
    if (!ApplyColourCast(cast, &image, &error)) throw Failed{error};
    return image;
}

Image Keenhue(const Image& image) {
    Image out;
    std::string error;
    if (!LinkedCorrect(image, &out, &error)) throw Failed{"the linked module failed: " + error};
    return out;
}

Image Levels(const Image& image) {
    return LevelsStretch(image, kLevelsTail, 1.0 - kLevelsTail);
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

double Difference(const LabGrid& a, const LabGrid& b) {
    const double d = MeanCiede2000(a, b);
    if (d < 0) throw Failed{"two images to compare differ in size"};
    return d;
}

// The casts a camera makes, each clipping the channel it raises: the photographs get these.
const char* const kPhotoCasts[] = {"warm", "green", "magenta", "cool"};
constexpr size_t kCasts = std::size(kPhotoCasts);

// A cast's name as a figure name: the letters alone (cool-flat: coolflat).
std::string Key(const std::string& name) {
    std::string key;
    for (char c : name) {
        if (c != '-') key += c;
    }
    return key;
}

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

// What one correction method did to one photograph: the harm (original against its own
// correction) and, per cast, the invariance (correction of the cast copy against the correction
// of the original).
struct Result {
    double harm = 0;
    double cast[kCasts] = {};
    double Invariance() const {
        double sum = 0;
        for (double c : cast) sum += c;
        return sum / double(kCasts);
    }
};

// The limits on the harm within which the cross-validation lets the invariance decide. A
// correction that moves a photograph without a cast by more than 12 dE00 has spoiled it; on a
// group of photographs the mean may not exceed the levels stretch's (the plain per-channel
// correction any tool offers) nor 6 dE00 (where a scene's own colour cannot be told from a cast,
// as in close-ups of one material, the levels stretch moves photographs by 10 and more).
constexpr double kHarmLimit = 12.0;
constexpr double kHarmMeanLimit = 6.0;

// The original, its four cast copies and one method's corrections of each, compared.
Result Compare(const LabGrid& original, const std::vector<LabGrid>& corrected) {
    Result r;
    r.harm = Difference(original, corrected[0]);
    for (size_t k = 0; k + 1 < corrected.size(); ++k) {
        r.cast[k] = Difference(corrected[k + 1], corrected[0]);
    }
    return r;
}

struct PhotoFigures {
    std::string stem, group;
    double uncorrected[kCasts] = {};
    Result keenhue, levels, gimp;
    std::vector<Result> candidates;  // with --tune, per candidate of KhTuningCandidates()
};

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

    // The chart: residual cast per cast, the peer, and the harm to the uncast chart.
    void Chart() {
        const Image chart = MakeTestChart();
        const std::vector<size_t> greys = ChartGreyPixels();
        std::printf("Test chart (%dx%d): mean C*ab over the interiors of the six grey patches\n",
                    kChartWidth, kChartHeight);
        std::printf("  %-10s %10s %10s %10s\n", "cast", "input", "keenhue", "levels");
        const Image plain = Keenhue(chart);
        neutralCast_ = Chroma(plain, greys);
        neutralHarm_ = Difference(chart, plain, greys);
        std::printf("  %-10s %10.2f %10.2f %10.2f\n", "none", Chroma(chart, greys), neutralCast_,
                    Chroma(Levels(chart), greys));
        for (const NamedCast& n : kNamedCasts) {
            const Image cast = Cast(n.cast, chart);
            const Image fixed = Keenhue(cast);
            if (keep_) Write(o_.work + "/chart-" + n.name + "-keenhue.png", fixed);
            const double left = Chroma(fixed, greys);
            const double peer = Chroma(Levels(cast), greys);
            std::printf("  %-10s %10.2f %10.2f %10.2f\n", n.name, Chroma(cast, greys), left, peer);
            chartCast_.push_back(left);
            chartPeer_.push_back(peer);
        }
        std::printf(
            "  chart without a cast, changed by the correction: mean dE00 %.2f over the "
            "grey patches\n",
            neutralHarm_);

        std::vector<size_t> inside, frame;
        const Image framed = WhiteFramed(chart, kWhiteFraction, &inside, &frame);
        const Image fixed = Keenhue(framed);
        whiteChartGrey_ = Chroma(fixed, Shifted(greys, chart, framed));
        whiteChartFrame_ = Chroma(fixed, frame);
        std::printf(
            "  chart in a white frame (%.0f%% of the image), corrected: mean C*ab %.2f over the "
            "grey patches, %.2f over the frame\n\n",
            100.0 * double(frame.size()) / double(inside.size() + frame.size()), whiteChartGrey_,
            whiteChartFrame_);
    }

    // Each photograph with its casts through the three methods (and the candidates).
    // GIMP's White Balance on every photograph and its casts, in one batch: GIMP takes far
    // longer to start than to balance a photograph.
    void GimpPass() {
        if (o_.gimp.empty() || o_.photos.empty()) return;
        std::vector<GimpJob> jobs;
        for (size_t p = 0; p < o_.photos.size(); ++p) {
            const std::vector<Image> inputs = Inputs(Read(o_.photos[p].path));
            for (size_t i = 0; i < inputs.size(); ++i) {
                const std::string stem = GimpStem(p, i);
                WriteQuick(stem + ".tif", inputs[i]);
                jobs.push_back({stem + ".tif", stem + ".png"});
            }
        }
        std::fprintf(stderr, "keenhue_eval: GIMP's White Balance on %zu images\n", jobs.size());
        std::string error;
        if (!GimpWhiteBalance(o_.gimp, jobs, o_.work + "/gimp", &error)) throw Failed{error};
        for (const GimpJob& j : jobs) fs::remove(j.input);
    }

    void Photos() {
        for (const Options::Photo& p : o_.photos) {
            PhotoFigures f;
            f.stem = fs::path(p.path).stem().string();
            f.group = p.group;
            std::fprintf(stderr, "keenhue_eval: %s\n", f.stem.c_str());
            Photo(p.path, size_t(&p - o_.photos.data()), &f);
            figures_.push_back(f);
        }
    }

    // Filterhost with the module file on each original, against the linked run's result.
    void CheckModule() {
        int same = 0;
        for (const Options::Photo& p : o_.photos) {
            const std::string out = o_.work + "/module-check.png";
            Run({o_.filterhost, "--plugin", o_.module, "--no-progress", p.path, out}, Log());
            if (Read(out).samples == Keenhue(Read(p.path)).samples) ++same;
        }
        moduleSame_ = same;
        std::printf(
            "The module file through filterhost gave the same bytes as the linked module for %d "
            "of %zu originals\n\n",
            same, o_.photos.size());
        if (same != int(o_.photos.size())) {
            throw Failed{"filterhost's correction differs from the linked module's"};
        }
    }

    void Report() const {
        PhotoTable();
        std::vector<std::string> groups;
        for (const PhotoFigures& f : figures_) {
            if (std::find(groups.begin(), groups.end(), f.group) == groups.end()) {
                groups.push_back(f.group);
            }
        }
        for (const std::string& g : groups) GroupTable(g);
        if (o_.tune) Tuning(groups);
    }

    void Summary() const {
        if (o_.chart) {
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
        }
        for (const auto& [name, value] : summary_) std::printf("%s\n", value.c_str());
    }

   private:
    // The share of the image the white frame covers.
    static constexpr double kWhiteFraction = 0.02;

    std::string Log() const { return o_.work + "/last-run.log"; }

    // The original and, unless only the harm is asked for, its cast copies.
    std::vector<Image> Inputs(const Image& original) const {
        std::vector<Image> inputs = {original};
        for (const char* name : kPhotoCasts) {
            if (!o_.harmOnly) inputs.push_back(Cast(FindNamedCast(name)->cast, original));
        }
        return inputs;
    }

    // Where GIMP's pass keeps input i of photograph p (".tif") and its result (".png").
    std::string GimpStem(size_t p, size_t i) const {
        return o_.work + "/gimp-" + std::to_string(p) + "-" + std::to_string(i);
    }

    void Photo(const std::string& path, size_t index, PhotoFigures* f) {
        const Image original = Read(path);
        const std::vector<Image> inputs = Inputs(original);
        const LabGrid originalLab = MeasureLab(original);
        for (size_t k = 0; k + 1 < inputs.size(); ++k) {
            f->uncorrected[k] = Difference(MeasureLab(inputs[k + 1]), originalLab);
        }
        // One method's corrections of the original and its casts, compared on grids of at most
        // limit pixels (the original's grid is reference, of the same limit).
        auto measure = [&](auto&& correct, const std::string& method, const LabGrid& reference,
                           double limit) {
            std::vector<LabGrid> grids;
            for (size_t i = 0; i < inputs.size(); ++i) {
                const Image out = correct(inputs[i], i);
                if (keep_ && !method.empty()) {
                    Write(o_.work + "/" + f->stem + "-" + (i == 0 ? "none" : kPhotoCasts[i - 1]) +
                              "-" + method + ".png",
                          out);
                }
                grids.push_back(MeasureLab(out, limit));
            }
            return Compare(reference, grids);
        };
        f->keenhue = measure([](const Image& in, size_t) { return Keenhue(in); }, "keenhue",
                             originalLab, kLabGridFull);
        f->levels = measure([](const Image& in, size_t) { return Levels(in); }, "levels",
                            originalLab, kLabGridFull);
        if (!o_.gimp.empty()) {
            f->gimp =
                measure([&](const Image&, size_t i) { return Read(GimpStem(index, i) + ".png"); },
                        "gimp", originalLab, kLabGridFull);
            for (size_t i = 0; i < inputs.size(); ++i) fs::remove(GimpStem(index, i) + ".png");
        }
        if (o_.tune) {
            const LabGrid quick = MeasureLab(original, kLabGridQuick);
            const std::vector<KhTuningCandidate> candidates = KhTuningCandidates();
            for (size_t c = 0; c < candidates.size(); ++c) {
                KhSetBalanceTuning(candidates[c].tuning);
                const Result r = measure([](const Image& in, size_t) { return Keenhue(in); }, "",
                                         quick, kLabGridQuick);
                f->candidates.push_back(r);
                // One line per run, for reading the whole table back: candidate, photograph,
                // group, harm, the casts.
                std::printf("tuning\t%zu\t%s\t%s\t%.3f", c, f->stem.c_str(), f->group.c_str(),
                            r.harm);
                for (double v : r.cast) std::printf("\t%.3f", v);
                std::printf("\n");
                std::fflush(stdout);
            }
            KhSetBalanceTuning(KhBuiltInTuning());
        }
    }

    void PhotoTable() const {
        std::printf(
            "Photographs: per cast, the mean dE00 between correction(cast) and "
            "correction(original)\nfor Keenhue / levels stretch / GIMP White Balance (and the "
            "cast uncorrected); 'harm' is the\nmean dE00 between the original and its own "
            "correction, for the same three\n");
        std::printf("  %-12s %-7s %-17s", "photo", "group", "harm");
        for (const char* name : kPhotoCasts) std::printf(" %-24s", name);
        std::printf("\n");
        for (const PhotoFigures& f : figures_) {
            std::printf("  %-12s %-7s %5.2f %5.2f %5.2f", f.stem.c_str(), f.group.c_str(),
                        f.keenhue.harm, f.levels.harm, f.gimp.harm);
            for (size_t k = 0; k < kCasts; ++k) {
                std::printf("  %5.2f %5.2f %5.2f (%5.2f)", f.keenhue.cast[k], f.levels.cast[k],
                            f.gimp.cast[k], f.uncorrected[k]);
            }
            std::printf("\n");
        }
        std::printf("\n");
    }

    // The means of a group, per method.
    void GroupTable(const std::string& group) const {
        std::vector<const PhotoFigures*> members;
        for (const PhotoFigures& f : figures_) {
            if (f.group == group) members.push_back(&f);
        }
        const double n = double(members.size());
        std::printf("Group %s (%zu photographs): mean dE00\n", group.c_str(), members.size());
        std::printf("  %-12s", "method");
        for (const char* name : kPhotoCasts) std::printf(" %8s", name);
        std::printf(" %9s %9s\n", "harm", "harm max");
        struct Row {
            const char* name;
            Result PhotoFigures::*result;
        };
        const Row rows[] = {{"keenhue", &PhotoFigures::keenhue},
                            {"levels", &PhotoFigures::levels},
                            {"gimp", &PhotoFigures::gimp}};
        for (const Row& row : rows) {
            if (row.result == &PhotoFigures::gimp && o_.gimp.empty()) continue;
            std::printf("  %-12s", row.name);
            double harm = 0, worst = 0;
            for (size_t k = 0; k < kCasts; ++k) {
                double sum = 0;
                for (const PhotoFigures* f : members) sum += (f->*row.result).cast[k];
                std::printf(" %8.2f", sum / n);
                AddFigure(std::string(row.name) + "_" + group + "_" + kPhotoCasts[k] + "_de",
                          sum / n, "dE00");
            }
            for (const PhotoFigures* f : members) {
                harm += (f->*row.result).harm;
                worst = std::max(worst, (f->*row.result).harm);
            }
            std::printf(" %9.2f %9.2f\n", harm / n, worst);
            AddFigure(std::string(row.name) + "_" + group + "_harm_de", harm / n, "dE00");
            AddFigure(std::string(row.name) + "_" + group + "_harm_max_de", worst, "dE00");
        }
        std::printf("  %-12s", "uncorrected");
        for (size_t k = 0; k < kCasts; ++k) {
            double sum = 0;
            for (const PhotoFigures* f : members) sum += f->uncorrected[k];
            std::printf(" %8.2f", sum / n);
        }
        std::printf("\n\n");
    }

    // The cross-validation: in-sample (the candidate best on every photograph) and leave one
    // photograph out (each photograph corrected by the candidate best on all the others).
    void Tuning(const std::vector<std::string>& groups) const {
        const std::vector<KhTuningCandidate> candidates = KhTuningCandidates();
        const size_t photos = figures_.size();
        // How candidate c did on every photograph but leftOut (photos: none left out).
        struct Trial {
            double invariance = 0;  // mean over the photographs and casts
            bool within = true;     // the harm within the limits on every group
            double harm = 0;        // mean
        };
        auto trial = [&](size_t c, size_t leftOut) {
            struct GroupHarm {
                double keenhue = 0, levels = 0, n = 0;
            };
            std::map<std::string, GroupHarm> perGroup;
            Trial t;
            double n = 0;
            for (size_t p = 0; p < photos; ++p) {
                if (p == leftOut) continue;
                const Result& r = figures_[p].candidates[c];
                n += 1;
                t.invariance += r.Invariance();
                t.harm += r.harm;
                if (r.harm > kHarmLimit) t.within = false;
                GroupHarm& g = perGroup[figures_[p].group];
                g.keenhue += r.harm;
                g.levels += figures_[p].levels.harm;
                g.n += 1;
            }
            for (const auto& [name, g] : perGroup) {
                if (g.keenhue > g.levels || g.keenhue > kHarmMeanLimit * g.n) t.within = false;
            }
            t.invariance /= std::max(n, 1.0);
            t.harm /= std::max(n, 1.0);
            return t;
        };
        // Among the candidates within the limits, the least invariance; when none is, the least
        // harm. The first of equals is kept.
        auto best = [&](size_t leftOut) {
            size_t chosen = 0;
            Trial kept;
            for (size_t c = 0; c < candidates.size(); ++c) {
                const Trial t = trial(c, leftOut);
                const double value = t.within ? t.invariance : t.harm;
                const double keptValue = kept.within ? kept.invariance : kept.harm;
                if (c == 0 || (t.within && !kept.within) ||
                    (t.within == kept.within && value < keptValue)) {
                    kept = t;
                    chosen = c;
                }
            }
            return chosen;
        };
        const size_t inSample = best(photos);
        std::printf(
            "Cross-validation of the balance's tuned thresholds (the least mean invariance "
            "among the\ncandidates whose harm stays within %.0f dE00 on every photograph and, "
            "per group, within the\nlevels stretch's mean and %.0f dE00)\n",
            kHarmLimit, kHarmMeanLimit);
        for (size_t c = 0; c < candidates.size(); ++c) {
            const Trial t = trial(c, photos);
            std::printf("  candidate %-52s invariance %5.2f harm %5.2f %s%s%s\n",
                        candidates[c].name.c_str(), t.invariance, t.harm,
                        t.within ? "within" : "beyond", c == inSample ? "  <- best in-sample" : "",
                        candidates[c].tuning == KhBuiltInTuning() ? "  (built in)" : "");
        }
        std::vector<size_t> chosen(photos);
        std::printf(
            "  left-out photograph: candidate chosen on the others; its harm and invariance per "
            "cast\n");
        for (size_t p = 0; p < photos; ++p) {
            chosen[p] = best(p);
            const Result& r = figures_[p].candidates[chosen[p]];
            std::printf("    %-12s %-52s %6.2f", figures_[p].stem.c_str(),
                        candidates[chosen[p]].name.c_str(), r.harm);
            for (double v : r.cast) std::printf(" %6.2f", v);
            std::printf("\n");
        }
        for (const std::string& g : groups) {
            std::printf("  group %s: mean dE00, in-sample / leave-one-out\n", g.c_str());
            std::printf("    %-10s", "");
            for (const char* name : kPhotoCasts) std::printf(" %15s", name);
            std::printf(" %15s %15s\n", "harm", "harm max");
            double in[kCasts + 2] = {}, out[kCasts + 2] = {};
            double n = 0;
            for (size_t p = 0; p < photos; ++p) {
                if (figures_[p].group != g) continue;
                n += 1;
                const Result& a = figures_[p].candidates[inSample];
                const Result& b = figures_[p].candidates[chosen[p]];
                for (size_t k = 0; k < kCasts; ++k) {
                    in[k] += a.cast[k];
                    out[k] += b.cast[k];
                }
                in[kCasts] += a.harm;
                out[kCasts] += b.harm;
                in[kCasts + 1] = std::max(in[kCasts + 1], a.harm);
                out[kCasts + 1] = std::max(out[kCasts + 1], b.harm);
            }
            std::printf("    %-10s", "keenhue");
            for (size_t k = 0; k <= kCasts; ++k) {
                std::printf("     %5.2f/%5.2f", in[k] / n, out[k] / n);
                const std::string what = k < kCasts ? kPhotoCasts[k] : "harm";
                AddFigure("keenhue_loo_" + g + "_" + what + "_de", out[k] / n, "dE00");
            }
            std::printf("     %5.2f/%5.2f\n", in[kCasts + 1], out[kCasts + 1]);
            AddFigure("keenhue_loo_" + g + "_harm_max_de", out[kCasts + 1], "dE00");
        }
        std::printf("\n");
    }

    void AddFigure(const std::string& name, double value, const char* unit) const {
        char line[160];
        std::snprintf(line, sizeof line, "%s %.2f %s", name.c_str(), value, unit);
        summary_.emplace_back(name, line);
    }

    const Options& o_;
    const bool keep_ = o_.keep;
    int moduleSame_ = 0;
    double neutralCast_ = 0, neutralHarm_ = 0;
    double whiteChartGrey_ = 0, whiteChartFrame_ = 0;
    std::vector<double> chartCast_, chartPeer_;
    std::vector<PhotoFigures> figures_;
    mutable std::vector<std::pair<std::string, std::string>> summary_;
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
    std::string group = "photos";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--filterhost" && hasValue) {
            o->filterhost = argv[++i];
        } else if (a == "--module" && hasValue) {
            o->module = argv[++i];
        } else if (a == "--prefs-tool" && hasValue) {
            o->prefsTool = argv[++i];
        } else if (a == "--gimp" && hasValue) {
            o->gimp = argv[++i];
        } else if (a == "--no-gimp") {
            o->gimp.clear();
        } else if (a == "--no-chart") {
            o->chart = false;
        } else if (a == "--harm-only") {
            o->harmOnly = true;
        } else if (a == "--tune") {
            o->tune = true;
        } else if (a == "--work" && hasValue) {
            o->work = argv[++i];
            o->keep = true;
        } else if (a == "--sets" && hasValue) {
            o->sets = Words(argv[++i]);
        } else if (a == "--group" && hasValue) {
            group = argv[++i];
        } else if (!a.empty() && a[0] == '-') {
            return false;
        } else {
            o->photos.push_back({a, group});
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
        std::printf("Keenhue on every tool (kolmara-prefs keenhue-sets%s); module linked in\n\n",
                    sets.c_str());
        if (o.chart) e.Chart();
        e.GimpPass();
        e.Photos();
        e.Report();
        if (!o.photos.empty()) e.CheckModule();
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
