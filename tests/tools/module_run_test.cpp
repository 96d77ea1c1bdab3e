// Whole runs of the real filter module through filterhost on generated images: with fresh
// preferences every tool starts from its reset values, so the image must come back unchanged
// (within the two 16-bit scale conversions); transparency rides along; a grey image is refused
// by the PiPL, and by the module itself when the PiPL is ignored; no run leaves a memory report.
// With every tool set to start with the automatic settings, a warm cast on the test chart is
// mostly removed.
#include <sys/wait.h>

#include <cstdlib>

#include "tests/tools/host_test_support.h"
#include "tools/demo/colour_cast.h"
#include "tools/demo/image_metrics.h"
#include "tools/demo/test_chart.h"

namespace {

using fhtest::LoadImage;
using fhtest::MakeImage;
using fhtest::RunHost;
using fhtest::SaveImage;

class ModuleRun : public fhtest::TempDirTest {
   protected:
    fhtest::HostResult Run(const std::string& input, const std::string& output,
                           std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--plugin", KOLMARA_MODULE_PATH, "--no-progress"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(input);
        args.push_back(output);
        return RunHost(args);
    }
    // filterhost reports "Over max" and leak lines of the module's debug log as warnings.
    static void ExpectNoMemoryReport(const fhtest::HostResult& r) {
        EXPECT_EQ(r.err.find("Over max"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("ul_nMallocs"), std::string::npos) << r.err;
    }
};

TEST_F(ModuleRun, ResetSettingsLeaveEveryPixelAsItWas) {
    Image in8 = MakeImage(37, 29, 3, 8, 11);
    SaveImage(Path("in8.png"), in8);
    auto r = Run(Path("in8.png"), Path("out8.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectNoMemoryReport(r);
    EXPECT_EQ(LoadImage(Path("out8.png")).samples, in8.samples);

    Image in16 = MakeImage(21, 13, 3, 16, 12);
    SaveImage(Path("in16.tif"), in16);
    r = Run(Path("in16.tif"), Path("out16.tif"));
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectNoMemoryReport(r);
    Image out16 = LoadImage(Path("out16.tif"));
    EXPECT_EQ(out16.depth, 16);
    // 65535 -> host 32768 -> engine 65534 -> host 32767 -> file 65533: the two conversions.
    EXPECT_LE(fhtest::MaxDifference(out16, in16), 4);
}

TEST_F(ModuleRun, TransparencyIsPassedThroughUnchanged) {
    for (int depth : {8, 16}) {
        Image in = MakeImage(9, 7, 4, depth, 13);
        SaveImage(Path("rgba.png"), in);
        auto r = Run(Path("rgba.png"), Path("out.png"));
        ASSERT_EQ(r.status, 0) << r.err;
        Image out = LoadImage(Path("out.png"));
        ASSERT_EQ(out.channels, 4);
        for (size_t i = 3; i < in.samples.size(); i += 4) {
            // 16-bit files pass through the host's 0..32768 scale and back: within two codes.
            ASSERT_LE(std::abs(int32_t(out.samples[i]) - int32_t(in.samples[i])),
                      depth == 16 ? 2 : 0)
                << "depth " << depth << " sample " << i;
        }
    }
}

TEST_F(ModuleRun, GreyImageIsRefusedByThePiplAndByTheModule) {
    Image grey = MakeImage(6, 4, 1, 8, 14);
    SaveImage(Path("grey.png"), grey);
    auto r = Run(Path("grey.png"), Path("out.png"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("is not available for Grayscale images"), std::string::npos) << r.err;
    EXPECT_FALSE(fhtest::Exists(Path("out.png")));
    r = Run(Path("grey.png"), Path("out.png"), {"--ignore-pipl"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("-30101"), std::string::npos) << r.err;
    EXPECT_FALSE(fhtest::Exists(Path("out.png")));
}

// Preferences set as a batch user sets them, with the preferences tool, in the test's private
// folder (XDG_CONFIG_HOME points into it).
void SetPrefs(const std::string& args) {
    std::string command = std::string("'") + KOLMARA_PREFS_PATH + "' " + args + " >/dev/null";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
}

double GreyPatchChroma(const Image& image) {
    double mean = -1;
    std::string error;
    EXPECT_TRUE(MeanChroma(image, ChartGreyPixels(), &mean, &error)) << error;
    return mean;
}

// Two casts whose light greys stay below full scale, so the balance finds a neutral at both
// ends: warm light under-exposed, and a cool hazy one.
TEST_F(ModuleRun, KeenhueRemovesMostOfAColourCastFromTheTestChart) {
    ASSERT_NO_FATAL_FAILURE(SetPrefs("start keenhue"));
    ASSERT_NO_FATAL_FAILURE(SetPrefs("keenhue-sets all"));
    for (const char* name : {"dimwarm", "cool-flat"}) {
        SCOPED_TRACE(name);
        Image cast = MakeTestChart();
        std::string error;
        ASSERT_TRUE(ApplyColourCast(FindNamedCast(name)->cast, &cast, &error)) << error;
        SaveImage(Path("cast.png"), cast);
        const double before = GreyPatchChroma(cast);
        ASSERT_GT(before, 4.0);  // the cast is there to be removed

        auto r = Run(Path("cast.png"), Path("corrected.png"));
        ASSERT_EQ(r.status, 0) << r.err;
        ExpectNoMemoryReport(r);
        Image corrected = LoadImage(Path("corrected.png"));
        ASSERT_EQ(ChartProblem(corrected), "");
        EXPECT_LT(GreyPatchChroma(corrected), before / 4)
            << "mean C*ab of the grey patches, cast " << before;
    }
}

}  // namespace

namespace {

TEST_F(ModuleRun, ADamagedPreferencesFileIsKeptAsideAndTheNextRunIsSilent) {
    // A preferences file cut in the middle of an entry, as a full disk leaves it.
    ASSERT_NO_FATAL_FAILURE(SetPrefs("start previous"));
    const std::string prefs = dir_ + "/config/Lumetra/KolmaraPro Plugin Prefs";
    const std::string whole = fhtest::ReadText(prefs);
    ASSERT_GT(whole.size(), 1000u);
    const std::string cut = whole.substr(0, whole.size() / 2);
    fhtest::WriteFileBytes(prefs, cut);
    const std::string photo = std::string(EXAMPLES_DIR) + "/chelsea.png";

    auto r = Run(photo, Path("out.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fhtest::Exists(Path("out.png")));
    EXPECT_NE(r.err.find("The preferences file was damaged"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(prefs + ".damaged"), std::string::npos) << r.err;
    EXPECT_EQ(fhtest::ReadText(prefs + ".damaged"), cut);

    r = Run(photo, Path("again.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(fhtest::ReadText(prefs + ".damaged"), cut);
}

TEST_F(ModuleRun, SettingsStoredInTheDefaultSpaceApplyInSrgbWithoutAQuestion) {
    // Fresh preferences keep their settings in the module's default space; filterhost passes
    // sRGB. A batch run must not stop to ask about a difference no image could show, while a
    // host in another working space is still asked.
    ASSERT_NO_FATAL_FAILURE(SetPrefs("start previous"));
    const std::string photo = std::string(EXAMPLES_DIR) + "/chelsea.png";
    auto r = Run(photo, Path("out.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // sRGB as an editor reads it from an image's profile (the GIMP plug-in does): the power
    // curve nearest to sRGB's tone curve.
    ASSERT_NO_FATAL_FAILURE(SetPrefs("reset"));
    ASSERT_NO_FATAL_FAILURE(SetPrefs("start previous"));
    r = Run(photo, Path("tagged.png"),
            {"--monitor", "2.233,0.64,0.33,0.30,0.60,0.15,0.06,0.3127,0.3290"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = Run(photo, Path("adobe.png"), {"--monitor", "adobergb"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("The RGB working space has changed."), std::string::npos) << r.err;
}

}  // namespace
