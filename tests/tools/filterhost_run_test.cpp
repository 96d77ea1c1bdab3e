// Whole runs of filterhost with the test filter (tests/tools/test_module.cpp): pixels, scales,
// transparency, the selection, sampled previews and host services, refusals, cancels, recorded
// actions, and the failures that must leave OUTPUT alone.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "tests/tools/host_test_support.h"

namespace {

using fhtest::Exists;
using fhtest::LoadImage;
using fhtest::MakeImage;
using fhtest::MaxDifference;
using fhtest::ReadText;
using fhtest::RunHost;
using fhtest::SaveImage;

class FilterhostRun : public fhtest::TempDirTest {
   protected:
    // Runs the test filter on input, writing output; extra holds further options. Without a
    // display: the test filter needs none, and with --dialog on one filterhost would offer a
    // colour chooser that waits for a person.
    fhtest::HostResult Run(const std::string& input, const std::string& output,
                           const std::string& settings, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--plugin", TEST_MODULE_PATH};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(input);
        args.push_back(output);
        return RunHost(args, {"FHTEST=" + settings, "DISPLAY="});
    }

    // A failure: exactly one line, starting "filterhost: " and containing `what`; no output.
    void ExpectOneLineFailure(const fhtest::HostResult& r, int status, const std::string& what,
                              const std::string& output) {
        EXPECT_EQ(r.status, status) << r.err;
        auto lines = r.ErrLines();
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_EQ(lines[0].rfind("filterhost: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(what), std::string::npos) << lines[0];
        EXPECT_FALSE(Exists(output));
    }
};

TEST_F(FilterhostRun, IdentityReturnsEveryPixelIn8BitsAndWithinTheScaleConversionsIn16) {
    // Strips of three rows with output two rows late: rows shared by strips must come back as
    // written (the filter checks) for the result to be right.
    for (const std::string ext : {".png", ".tif"}) {
        Image in8 = MakeImage(23, 17, 3, 8, 1);
        SaveImage(Path("in8" + ext), in8);
        auto r = Run(Path("in8" + ext), Path("out8" + ext), "rows=5,delay=2");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        Image out = LoadImage(Path("out8" + ext));
        EXPECT_EQ(out.depth, 8);
        EXPECT_EQ(out.samples, in8.samples) << ext;

        Image in16 = MakeImage(9, 11, 3, 16, 2);
        SaveImage(Path("in16" + ext), in16);
        r = Run(Path("in16" + ext), Path("out16" + ext), "rows=4,delay=1");
        ASSERT_EQ(r.status, 0) << r.err;
        out = LoadImage(Path("out16" + ext));
        EXPECT_EQ(out.depth, 16);
        EXPECT_LE(MaxDifference(out, in16), 1) << ext;
        EXPECT_EQ(out.samples.back(), 65535);
    }
}

TEST_F(FilterhostRun, TransparencyIsKeptWhileColoursChange) {
    // Inverting 16-bit data on 0..32768 maps v to about 65535 - v in the file; on any other scale
    // it would not.
    for (int depth : {8, 16}) {
        Image in = MakeImage(7, 5, 4, depth, 4);
        SaveImage(Path("rgba.png"), in);
        auto r = Run(Path("rgba.png"), Path("out.png"), "op=invert");
        ASSERT_EQ(r.status, 0) << r.err;
        Image out = LoadImage(Path("out.png"));
        ASSERT_EQ(out.channels, 4);
        const int32_t max = depth == 16 ? 65535 : 255;
        for (size_t i = 0; i < in.samples.size(); ++i) {
            int32_t expected = i % 4 == 3 ? in.samples[i] : max - in.samples[i];
            ASSERT_LE(std::abs(int32_t(out.samples[i]) - expected), depth == 16 ? 2 : 0)
                << "depth " << depth << " sample " << i;
        }
    }
}

TEST_F(FilterhostRun, SelectionMaskBlendsAndProtectsPixelsOutsideIt) {
    const int32_t w = 12, h = 10;
    Image in = MakeImage(w, h, 3, 8, 5), mask = fhtest::BlankImage(w, h, 1);
    // Selected: rows 2..7, columns 3..9, with full, partial and zero coverage inside.
    for (int32_t y = 2; y < 8; ++y) {
        for (int32_t x = 3; x < 10; ++x)
            mask.At(y, x, 0) = uint16_t((x + y) % 3 == 0 ? 0 : (x % 2 ? 255 : 100));
    }
    SaveImage(Path("in.png"), in);
    SaveImage(Path("mask.png"), mask);
    for (const char* settings : {"op=invert,rows=3,delay=1", "op=invert,rect16=1"}) {
        auto r = Run(Path("in.png"), Path("out.png"), settings, {"--mask", Path("mask.png")});
        ASSERT_EQ(r.status, 0) << r.err;
        Image out = LoadImage(Path("out.png"));
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
                for (int32_t c = 0; c < 3; ++c) {
                    uint32_t m = mask.At(y, x, 0), i = in.At(y, x, c), n = 255 - i;
                    // The nearest code to the mean weighted by m / 255.
                    uint32_t expected = m == 0     ? i
                                        : m == 255 ? n
                                                   : ((255 - m) * i + m * n + 127) / 255;
                    ASSERT_EQ(out.At(y, x, c), expected) << settings << " at " << y << "," << x;
                }
            }
        }
    }
}

// Parses the test filter's dump ("name values..." lines) into a map of number lists.
std::map<std::string, std::vector<long>> ReadDump(const std::string& path, std::string* title) {
    std::map<std::string, std::vector<long>> dump;
    std::istringstream in(ReadText(path));
    std::string line, pendingName;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        if (!pendingName.empty()) {
            long v;
            while (fields >> v) dump[pendingName + ".data"].push_back(v);
            pendingName.clear();
            continue;
        }
        fields >> name;
        if (name == "title") {
            long e;
            fields >> e;
            dump["title"].push_back(e);
            std::getline(fields, *title);
            if (!title->empty() && (*title)[0] == ' ') title->erase(0, 1);
            continue;
        }
        long v;
        while (fields >> v) dump[name].push_back(v);
        if (name == "preview" || name == "mask") pendingName = name;
    }
    return dump;
}

TEST_F(FilterhostRun, WindowRunGetsASampledPreviewAndTheHostServices) {
    const int32_t w = 14, h = 11, rate = 3;
    Image in = MakeImage(w, h, 3, 8, 6), mask = fhtest::BlankImage(w, h, 1);
    for (int32_t y = 4; y < 11; ++y) {
        for (int32_t x = 5; x < 13; ++x) mask.At(y, x, 0) = uint16_t(20 * x + y);
    }
    SaveImage(Path("photo.png"), in);
    SaveImage(Path("mask.png"), mask);
    auto r = Run(Path("photo.png"), Path("out.png"), "preview=3,dump=" + Path("dump.txt"),
                 {"--dialog", "--mask", Path("mask.png"), "--pick", "1,2,250"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string title;
    auto dump = ReadDump(Path("dump.txt"), &title);

    // The filter asked for the selection's bounds (rows 4..10, columns 5..12) divided by 3,
    // rounded outwards: sampled rows 1..3, columns 1..4. Each value is the rounded mean of the
    // 3 x 3 block, cut by the image's edge where it reaches past it.
    ASSERT_EQ(dump["preview"], (std::vector<long>{3, 4, 3, 1}));
    const auto& got = dump["preview.data"];
    ASSERT_EQ(got.size(), 3u * 4 * 3);
    const auto& gotMask = dump["mask.data"];
    ASSERT_EQ(gotMask.size(), 3u * 4);
    for (int32_t sy = 1; sy <= 3; ++sy) {
        for (int32_t sx = 1; sx <= 4; ++sx) {
            uint32_t sum[4] = {}, n = 0;
            for (int32_t y = sy * rate; y < std::min(sy * rate + rate, h); ++y) {
                for (int32_t x = sx * rate; x < std::min(sx * rate + rate, w); ++x) {
                    for (int c = 0; c < 3; ++c) sum[c] += in.At(y, x, c);
                    sum[3] += mask.At(y, x, 0);
                    ++n;
                }
            }
            size_t at = size_t((sy - 1) * 4 + (sx - 1));
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(got[at * 3 + c], long((sum[c] + n / 2) / n)) << sy << "," << sx;
            EXPECT_EQ(gotMask[at], long((sum[3] + n / 2) / n)) << sy << "," << sx;
        }
    }
    EXPECT_EQ(title, "photo.png");
    EXPECT_EQ(dump["title"], std::vector<long>{0});
    EXPECT_EQ(dump["pick"], (std::vector<long>{0, 0, 1, 2, 250}));
    // Two source pixels at (5, 7) and (5, 8) drawn at row 11, column 21 of a 4 x 2 target whose
    // origin is (10, 20): they land in target row 1, columns 1 and 2. The second lies under a
    // mask of 0 and shows the checkerboard (255 in that square). Everything else is untouched.
    std::vector<long> display(1 + 24, 1);
    display[0] = 0;
    for (int c = 0; c < 3; ++c) {
        display[1 + (1 * 4 + 1) * 3 + c] = std::vector<long>{200, 100, 50}[size_t(c)];
        display[1 + (1 * 4 + 2) * 3 + c] = 255;
    }
    EXPECT_EQ(dump["display"], display);

    // The filter scribbled over the preview's output buffer, which reaches outside the
    // selection's bounds; those pixels must be as they were.
    Image out = LoadImage(Path("out.png"));
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            if (y >= 4 && x >= 5 && x < 13) continue;
            for (int c = 0; c < 3; ++c) ASSERT_EQ(out.At(y, x, c), in.At(y, x, c)) << y << "," << x;
        }
    }

    r = Run(Path("photo.png"), Path("out2.png"), "preview=2,dump=" + Path("dump2.txt"),
            {"--dialog"});
    ASSERT_EQ(r.status, 0) << r.err;
    dump = ReadDump(Path("dump2.txt"), &title);
    EXPECT_EQ(dump["pick"], std::vector<long>{-1})
        << "without --pick or a display there is no picker to offer";
}

TEST_F(FilterhostRun, GreyImageIsRefusedByThePiplUnlessIgnoredThenByTheFilter) {
    Image grey = MakeImage(6, 4, 1, 8, 7);
    SaveImage(Path("grey.png"), grey);
    auto r = Run(Path("grey.png"), Path("out.png"), "");
    ExpectOneLineFailure(r, 1, "is not available for Grayscale images", Path("out.png"));
    EXPECT_NE(r.err.find("in (PSHOP_ImageMode, RGBMode, RGB48Mode)"), std::string::npos);

    r = Run(Path("grey.png"), Path("out.png"), "", {"--ignore-pipl"});
    ExpectOneLineFailure(r, 1, "filterBadMode, -30101", Path("out.png"));
}

TEST_F(FilterhostRun, CtrlCCancelsAndLeavesOutputUntouched) {
    SaveImage(Path("in.png"), MakeImage(10, 40, 3, 8, 8));
    fhtest::WriteFileBytes(Path("out.png"), "the old output");
    std::string ready = Path("ready");
    pid_t pid = fhtest::StartHost({"--plugin", TEST_MODULE_PATH, Path("in.png"), Path("out.png")},
                                  {"FHTEST=rows=4,wait_abort=" + ready}, Path("err.txt"));
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 2000 && !Exists(ready); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(Exists(ready)) << ReadText(Path("err.txt"));
    kill(pid, SIGINT);
    EXPECT_EQ(fhtest::WaitHost(pid), 3);
    EXPECT_EQ(ReadText(Path("err.txt")),
              "filterhost: interrupted; " + Path("out.png") + " not written\n");
    EXPECT_EQ(ReadText(Path("out.png")), "the old output");
    for (const std::string& name : fhtest::FolderEntries(dir_)) {
        EXPECT_EQ(name.find(".filterhost-"), std::string::npos) << name;
    }

    auto r = Run(Path("in.png"), Path("new.png"), "rows=4,cancel_after=2");
    ExpectOneLineFailure(r, 3, "cancelled by the filter in Start", Path("new.png"));
}

TEST_F(FilterhostRun, RecordedActionReplaysToTheSameOutput) {
    SaveImage(Path("in.png"), MakeImage(9, 7, 3, 8, 9));
    auto r =
        Run(Path("in.png"), Path("recorded.png"), "op=invert", {"--record", Path("action.kact")});
    ASSERT_EQ(r.status, 0) << r.err;
    // Replayed without telling the filter the operation: it comes from the action.
    r = Run(Path("in.png"), Path("replayed.png"), "", {"--play", Path("action.kact")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LoadImage(Path("replayed.png")).samples, LoadImage(Path("recorded.png")).samples);
    r = Run(Path("in.png"), Path("plain.png"), "");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(LoadImage(Path("plain.png")).samples, LoadImage(Path("recorded.png")).samples);

    std::string action = ReadText(Path("action.kact"));
    fhtest::WriteFileBytes(Path("cut.kact"), action.substr(0, action.size() - 3));
    r = Run(Path("in.png"), Path("out.png"), "", {"--play", Path("cut.kact")});
    ExpectOneLineFailure(r, 1, "the action file is damaged", Path("out.png"));
}

TEST_F(FilterhostRun, BadModulesInputsAndOutputsGiveOneLineAndNoOutput) {
    SaveImage(Path("in.png"), MakeImage(5, 5, 3, 8, 10));
    const std::string out = Path("out.png");
    auto host = [&](std::vector<std::string> args) { return RunHost(args, {"FHTEST="}); };

    ExpectOneLineFailure(host({"--plugin", Path("none.so"), Path("in.png"), out}), 1,
                         "cannot load the module " + Path("none.so") + ": No such file", out);
    fhtest::WriteFileBytes(Path("junk.so"), std::string(300, 'x'));
    ExpectOneLineFailure(host({"--plugin", Path("junk.so"), Path("in.png"), out}), 1,
                         "is not a usable filter module: not a module with a resource section",
                         out);
    ExpectOneLineFailure(host({"--plugin", Path("junk.so"), "--ignore-pipl", Path("in.png"), out}),
                         1, "cannot load the module", out);
    std::string module = ReadText(TEST_MODULE_PATH);
    fhtest::WriteFileBytes(Path("cut.so"), module.substr(0, 2000));
    ExpectOneLineFailure(host({"--plugin", Path("cut.so"), Path("in.png"), out}), 1,
                         "is not a usable filter module", out);
    ExpectOneLineFailure(host({"--plugin", NO_ENTRY_MODULE_PATH, Path("in.png"), out}), 1,
                         "does not export its entry point PluginMain", out);

    ExpectOneLineFailure(host({"--plugin", TEST_MODULE_PATH, Path("missing.png"), out}), 1,
                         "cannot read " + Path("missing.png") + ": No such file", out);
    fhtest::WriteFileBytes(Path("bad.png"), "\x89PNG\r\n\x1a\n and then nothing sensible");
    ExpectOneLineFailure(host({"--plugin", TEST_MODULE_PATH, Path("bad.png"), out}), 1,
                         "cannot read " + Path("bad.png"), out);

    std::string nowhere = Path("no-such-folder/out.png");
    ExpectOneLineFailure(host({"--plugin", TEST_MODULE_PATH, Path("in.png"), nowhere}), 1,
                         "cannot write " + nowhere + ": No such file", nowhere);
    ExpectOneLineFailure(host({"--plugin", TEST_MODULE_PATH, Path("in.png"), Path("out.bmp")}), 2,
                         "unknown file type", Path("out.bmp"));
    SaveImage(Path("deep.png"), MakeImage(4, 4, 3, 16, 11));
    ExpectOneLineFailure(host({"--plugin", TEST_MODULE_PATH, Path("deep.png"), Path("out.jpg")}), 1,
                         "JPEG holds only 8-bit images", Path("out.jpg"));
    ExpectOneLineFailure(
        host({"--plugin", TEST_MODULE_PATH, "--max-space", "12Q", Path("in.png"), out}), 2,
        "--max-space takes", out);
}

TEST_F(FilterhostRun, AboutBoxWarningsAboutTheModuleAndVerboseReport) {
    auto r =
        RunHost({"--plugin", TEST_MODULE_PATH, "--about"}, {"FHTEST=dump=" + Path("about.txt")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadText(Path("about.txt")), "about\n");

    SaveImage(Path("in.jpg"), MakeImage(6, 6, 3, 8, 12));
    // Memory reports the module wrote to its debug log before this run are not this run's.
    std::filesystem::create_directories(Path("config/Lumetra"));
    fhtest::WriteFileBytes(Path("config/Lumetra/LumetraDebug.txt"),
                           "Over max: ul_maxTotal = 1, bufferSpace = 0\n");
    r = RunHost(
        {"--plugin", TEST_MODULE_PATH, "--verbose", Path("in.jpg"), Path("out.png")},
        {"FHTEST=leak=1",
         "FHTEST_LOG=ul_nMallocs = 0|Over max: ul_maxTotal = 9, bufferSpace = 4|ul_nMallocs = 2"});
    ASSERT_EQ(r.status, 0) << r.err;
    // JPEG in, PNG out: the identity filter passes the decoded pixels through exactly.
    EXPECT_EQ(LoadImage(Path("out.png")).samples, LoadImage(Path("in.jpg")).samples);
    auto lines = r.ErrLines();
    auto has = [&](const std::string& text) {
        for (const auto& l : lines) {
            if (l.find(text) != std::string::npos) return true;
        }
        return false;
    };
    EXPECT_TRUE(has("filterhost: Start -> 0")) << r.err;
    EXPECT_TRUE(has("filterhost: advanceState in (0,0,4,6) planes 0-2 rate 1")) << r.err;
    EXPECT_TRUE(has("filterhost: warning: the filter left 1 handles undisposed")) << r.err;
    EXPECT_TRUE(
        has("warning: the module's debug log says \"Over max: ul_maxTotal = 9, bufferSpace = 4\""))
        << r.err;
    EXPECT_TRUE(has("warning: the module's debug log says \"ul_nMallocs = 2\"")) << r.err;
    EXPECT_FALSE(has("ul_maxTotal = 1,")) << r.err;
    EXPECT_FALSE(has("ul_nMallocs = 0")) << r.err;
    EXPECT_TRUE(has("filterhost: wrote " + Path("out.png"))) << r.err;
}

}  // namespace
