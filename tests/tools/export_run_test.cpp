// The exported files in the hands of programs no one here wrote: the .cube LUT applied by
// ffmpeg, the profiles applied by lcms2's command-line tools (tificc, linkicc), against the real
// module run through filterhost with the same settings; and the Huegrid file applied by the
// module's own row applier. The settings reach both sides as a batch user sets them:
// kolmara-prefs loads them as the custom settings, the filter starts with them, and
// kolmara-prefs export writes the files from them.
//
// Each comparison prints what it measured (the worst pixel, dE00 statistics) for the record.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "edit/pars_text.h"
#include "engine/huegrid_applier.h"
#include "engine/ref_rgb.h"
#include "platform/file.h"
#include "tests/edit/export/delta_e_stats.h"
#include "tests/engine/chain_test_support.h"
#include "tests/tools/host_test_support.h"

namespace {

using fhtest::LoadImage;
using fhtest::SaveImage;

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// Runs a shell command; its standard error lands in errPath. Returns the exit status.
int Shell(const std::string& command, const std::string& errPath) {
    int status = std::system((command + " >/dev/null 2>" + Quote(errPath)).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

bool Have(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A smooth image: red across, green down, blue in slow waves.
Image SmoothImage(int width, int height, int depth) {
    Image image = fhtest::BlankImage(width, height, 3, depth);
    const double max = depth == 16 ? 65535.0 : 255.0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.At(y, x, 0) = uint16_t(std::lround(max * x / (width - 1)));
            image.At(y, x, 1) = uint16_t(std::lround(max * y / (height - 1)));
            image.At(y, x, 2) =
                uint16_t(std::lround(max * (0.5 + 0.5 * std::sin(x / 23.0) * std::cos(y / 19.0))));
        }
    }
    return image;
}

struct Difference {
    int worst = 0;
    int x = 0, y = 0;
    double over1 = 0;  // fraction of samples more than one code apart
};

Difference Compare8(const Image& a, const Image& b) {
    Difference d;
    size_t over = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int e = std::abs(int(a.At(y, x, c)) - int(b.At(y, x, c)));
                over += e > 1;
                if (e > d.worst) d = {e, x, y, 0};
            }
        }
    }
    d.over1 = double(over) / double(a.samples.size());
    return d;
}

// ffmpeg writes 16-bit PNGs; the 8-bit result is its rounding.
Image RoundTo8(const Image& in) {
    Image out = in;
    out.depth = 8;
    for (uint16_t& v : out.samples) v = uint16_t((v + 128) / 257);
    return out;
}

using Stats = export_testing::DeltaEStats;

// Two 16-bit RGB images compared in CIELAB through the working space.
Stats DeltaE00(const Image& a, const Image& b, cmsHPROFILE working) {
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM t = cmsCreateTransform(working, TYPE_RGB_16, lab, TYPE_Lab_DBL,
                                         INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    std::vector<double> e;
    for (size_t i = 0; i + 2 < a.samples.size(); i += 3) {
        const uint16_t pa[3] = {a.samples[i], a.samples[i + 1], a.samples[i + 2]};
        const uint16_t pb[3] = {b.samples[i], b.samples[i + 1], b.samples[i + 2]};
        cmsCIELab la, lb;
        cmsDoTransform(t, pa, &la, 1);
        cmsDoTransform(t, pb, &lb, 1);
        e.push_back(cmsCIE2000DeltaE(&la, &lb, 1, 1, 1));
    }
    cmsDeleteTransform(t);
    cmsCloseProfile(lab);
    return export_testing::Summarise(e);
}

cmsHPROFILE RgbProfile(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries, double gamma,
                       cmsProfileClassSignature profileClass) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsSetDeviceClass(p, profileClass);
    return p;
}

class ExportRun : public fhtest::TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        for (const char* program : {"ffmpeg", "tificc", "linkicc"}) {
            ASSERT_TRUE(Have(program)) << program << " is missing: run scripts/setup-deps.sh";
        }
    }

    // Loads the settings as the custom settings and makes every tool start with them.
    void UseSettings(const std::string& file) {
        Prefs("load-custom " + Quote(file));
        Prefs("start custom");
    }
    void StrongSettings() {
        EditPars pars;
        chain_testing::StrongPars(&pars);
        SetSharpenNoiseDefaults(&pars.sharpenNoise);
        ASSERT_EQ(WriteParsText(&pars, Path("strong.txt").c_str()), 0);
        UseSettings(Path("strong.txt"));
    }
    void Prefs(const std::string& args) {
        ASSERT_EQ(Shell(Quote(KOLMARA_PREFS_PATH) + " " + args, Path("prefs.err")), 0)
            << args << ": " << fhtest::ReadText(Path("prefs.err"));
    }
    void Export(const std::string& args) { Prefs("export " + args + " --from custom"); }
    void Filter(const std::string& in, const std::string& out) {
        auto r = fhtest::RunHost({"--plugin", KOLMARA_MODULE_PATH, "--no-progress", in, out});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void Tool(const std::string& command) {
        ASSERT_EQ(Shell(command, Path("tool.err")), 0)
            << command << ": " << fhtest::ReadText(Path("tool.err"));
    }
    // The working space of the settings (the default reference space, which filterhost offers).
    std::string WorkingProfile() {
        RefRGB ref;
        RefRgbSetDefault(&ref);
        const double sum = double(ref.xyzWhite[0]) + ref.xyzWhite[1] + ref.xyzWhite[2];
        cmsCIExyY white = {ref.xyzWhite[0] / sum, ref.xyzWhite[1] / sum, 1.0};
        cmsCIExyYTRIPLE primaries = {{ref.primaries[0], ref.primaries[1], 1.0},
                                     {ref.primaries[2], ref.primaries[3], 1.0},
                                     {ref.primaries[4], ref.primaries[5], 1.0}};
        cmsHPROFILE p = RgbProfile(white, primaries, ref.gamma, cmsSigDisplayClass);
        working_ = p;
        EXPECT_TRUE(cmsSaveProfileToFile(p, Path("working.icc").c_str()));
        return Path("working.icc");
    }
    void TearDown() override {
        if (working_ != nullptr) cmsCloseProfile(working_);
        TempDirTest::TearDown();
    }

    // The filter and ffmpeg with the exported LUT on one 8-bit image. ffmpeg is given the image
    // in 16 bits (v x 257, exact) and its 16-bit result is rounded here: its own 8-bit path
    // truncates, and its conversion from 8 to 16 bits is not exact (about half a code high).
    Difference FilterAgainstFfmpeg(const Image& image, const std::string& lut) {
        SaveImage(Path("in.png"), image);
        Image wide = image;
        wide.depth = 16;
        for (uint16_t& v : wide.samples) v = uint16_t(v * 257);
        SaveImage(Path("in16.png"), wide);
        Filter(Path("in.png"), Path("filtered.png"));
        Tool("ffmpeg -v error -y -i " + Quote(Path("in16.png")) + " -vf lut3d=file=" + Quote(lut) +
             ":interp=tetrahedral -pix_fmt rgb48be " + Quote(Path("ffmpeg.png")));
        return Compare8(LoadImage(Path("filtered.png")), RoundTo8(LoadImage(Path("ffmpeg.png"))));
    }

    cmsHPROFILE working_ = nullptr;
};

TEST_F(ExportRun, CubeAppliedByFfmpegMatchesTheFilter) {
    struct Settings {
        const char* name;
        bool strong;
    };
    for (const Settings& settings :
         {Settings{"demo settings", false}, Settings{"strong edit", true}}) {
        SCOPED_TRACE(settings.name);
        if (settings.strong) {
            ASSERT_NO_FATAL_FAILURE(StrongSettings());
        } else {
            ASSERT_NO_FATAL_FAILURE(UseSettings(EXAMPLES_DIR "/demo-settings.txt"));
        }
        ASSERT_NO_FATAL_FAILURE(Export("cube " + Quote(Path("look.cube"))));
        ASSERT_NO_FATAL_FAILURE(Export("cube " + Quote(Path("look65.cube")) + " --size 65"));
        const Image smooth = SmoothImage(256, 160, 8);
        const Image photo = LoadImage(EXAMPLES_DIR "/chelsea.png");
        const Image random = fhtest::MakeImage(128, 96, 3, 8, 21);
        struct Case {
            const char* name;
            const Image* image;
        };
        for (const Case& c :
             {Case{"smooth", &smooth}, Case{"photo", &photo}, Case{"random", &random}}) {
            Difference d = FilterAgainstFfmpeg(*c.image, Path("look.cube"));
            std::cout << settings.name << ", " << c.name << " image, 33 nodes: worst " << d.worst
                      << " codes at (" << d.x << ", " << d.y << "), " << 100 * d.over1
                      << "% of samples more than 1 code apart\n";
            Difference d65 = FilterAgainstFfmpeg(*c.image, Path("look65.cube"));
            std::cout << settings.name << ", " << c.name << " image, 65 nodes: worst " << d65.worst
                      << " codes at (" << d65.x << ", " << d65.y << "), " << 100 * d65.over1
                      << "% of samples more than 1 code apart\n";
            if (!settings.strong) {
                // Realistic settings: within a code at 65 nodes everywhere; at 33 nodes on the
                // photograph, and on the gradient but for a few samples where a saturated colour
                // meets the edge of the gamut (measured: 2 codes in 0.07 % of the samples).
                EXPECT_LE(d65.worst, 1) << c.name;
                if (c.image == &photo) {
                    EXPECT_LE(d.worst, 1);
                }
                if (c.image == &smooth) {
                    EXPECT_LE(d.worst, 2);
                }
                EXPECT_LT(d.over1, 0.005) << c.name;
            } else {
                // The strong edit clips and bends sharply; the filter's 33 nodes sit where it
                // bends, the LUT's are uniform. A gross fault (an axis swapped, values scaled)
                // would put most samples far apart.
                EXPECT_LT(d.over1, 0.05) << c.name;
                EXPECT_LT(d65.over1, 0.01) << c.name;
            }
        }
    }
}

// The profiles through lcms2's tools on a 16-bit TIFF, against the filter on the same TIFF:
// the abstract profile placed between two copies of the working space (linked with linkicc),
// the device link alone, and the edited camera profile against the original camera profile
// applied to the filtered image.
TEST_F(ExportRun, ProfilesAppliedByLcmsToolsMatchTheFilter) {
    ASSERT_NO_FATAL_FAILURE(UseSettings(EXAMPLES_DIR "/demo-settings.txt"));
    const std::string working = WorkingProfile();
    cmsHPROFILE camera =
        RgbProfile({0.3457, 0.3585, 1}, {{0.66, 0.32, 1}, {0.21, 0.71, 1}, {0.145, 0.055, 1}}, 1.8,
                   cmsSigInputClass);
    cmsSetProfileVersion(camera, 2.1);
    ASSERT_TRUE(cmsSaveProfileToFile(camera, Path("camera.icc").c_str()));
    cmsCloseProfile(camera);
    ASSERT_NO_FATAL_FAILURE(Export("abstract " + Quote(Path("abstract.icc"))));
    ASSERT_NO_FATAL_FAILURE(Export("device-link " + Quote(Path("link.icc"))));
    ASSERT_NO_FATAL_FAILURE(Export("edit-profile " + Quote(Path("edited.icc")) + " --profile " +
                                   Quote(Path("camera.icc"))));
    Tool("linkicc -c2 -o " + Quote(Path("chain.icc")) + " " + Quote(working) + " " +
         Quote(Path("abstract.icc")) + " " + Quote(working));

    struct Case {
        const char* name;
        Image image;
    };
    Image photo16 = LoadImage(EXAMPLES_DIR "/coffee.png");
    photo16.depth = 16;
    for (uint16_t& v : photo16.samples) v = uint16_t(v * 257);
    for (Case& c : std::vector<Case>{{"smooth", SmoothImage(256, 160, 16)},
                                     {"photo", photo16},
                                     {"random", fhtest::MakeImage(96, 64, 3, 16, 5)}}) {
        SCOPED_TRACE(c.name);
        SaveImage(Path("in.tif"), c.image);
        Filter(Path("in.tif"), Path("filtered.tif"));
        const Image filtered = LoadImage(Path("filtered.tif"));
        Tool("tificc -w16 -l" + Quote(Path("chain.icc")) + " " + Quote(Path("in.tif")) + " " +
             Quote(Path("abstract.tif")));
        Tool("tificc -w16 -l" + Quote(Path("link.icc")) + " " + Quote(Path("in.tif")) + " " +
             Quote(Path("link.tif")));
        Tool("tificc -w16 -i" + Quote(Path("edited.icc")) + " -o" + Quote(working) + " " +
             Quote(Path("in.tif")) + " " + Quote(Path("edited.tif")));
        Tool("tificc -w16 -i" + Quote(Path("camera.icc")) + " -o" + Quote(working) + " " +
             Quote(Path("filtered.tif")) + " " + Quote(Path("camera.tif")));
        const Stats abstract = DeltaE00(LoadImage(Path("abstract.tif")), filtered, working_);
        const Stats link = DeltaE00(LoadImage(Path("link.tif")), filtered, working_);
        const Stats edited =
            DeltaE00(LoadImage(Path("edited.tif")), LoadImage(Path("camera.tif")), working_);
        std::cout << c.name << " image: abstract profile " << abstract << "\n"
                  << c.name << " image: device link " << link << "\n"
                  << c.name << " image: edited profile " << edited << "\n";
        // The tolerances stated for these settings (docs/export.md): the device link and the
        // edited profile sample the correction on a grid in RGB, the abstract profile on Lab.
        EXPECT_LT(link.mean, 0.1);
        EXPECT_LT(link.p99, 0.5);
        EXPECT_LT(edited.mean, 0.2);
        EXPECT_LT(edited.p99, 1.0);
        EXPECT_LT(abstract.mean, 0.5);
        EXPECT_LT(abstract.p99, 2.5);
    }
}

struct Rows {
    std::vector<uint16_t> samples;
};

int32_t CollectRow(const HgPixelBuffer* row, void* context) {
    auto* rows = static_cast<Rows*>(context);
    for (uint32_t i = 0; i < row->width * 3; ++i) rows->samples.push_back(row->data8[i]);
    return 0;
}

// The Huegrid file read back by the module's row applier gives the filter's pixels, exactly.
TEST_F(ExportRun, HuegridFileAppliedByTheModulesApplierIsTheFilter) {
    ASSERT_NO_FATAL_FAILURE(StrongSettings());
    const Image image = fhtest::MakeImage(97, 61, 3, 8, 33);
    SaveImage(Path("in.png"), image);
    Filter(Path("in.png"), Path("filtered.png"));
    // What the filter just applied, in the working space it applied it in, are now the previous
    // settings. (The custom settings' text file keeps the working space to six decimals, which
    // moves a few pixels by a code.)
    ASSERT_NO_FATAL_FAILURE(
        Prefs("export huegrid " + Quote(Path("look.hg")) + " --depth 8 --from previous"));

    HgApplyOptions o{};
    FLSpecDisk(&o.stream, Path("look.hg").c_str());
    o.inHi = o.outHi = 255;
    o.sharpenChannel = -1;
    o.sharpenOrder = 2;
    o.width = uint32_t(image.width);
    o.rows = uint32_t(image.height);
    o.inPixelSize = o.outPixelSize = 1;
    o.callback = CollectRow;
    o.callbackOrder = kHgOrderIdentity3;
    Rows rows;
    o.callbackContext = &rows;
    HuegridApplier* applier = nullptr;
    ASSERT_EQ(HgApplierCreate(&o, &applier), 0);
    std::vector<uint8_t> row(size_t(image.width) * 3);
    for (int y = 0; y < image.height; ++y) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = uint8_t(image.samples[size_t(y) * row.size() + i]);
        HgPixelBuffer buffer{uint32_t(image.width), 3,          1,       0,
                             kHgOrderIdentity3,     row.data(), nullptr, uint64_t(y)};
        ASSERT_EQ(HgApplierRun(applier, &buffer), 0);
    }
    HgApplierFree(applier);
    const Image filtered = LoadImage(Path("filtered.png"));
    ASSERT_NE(filtered.samples, image.samples);
    EXPECT_EQ(rows.samples, filtered.samples);
}

}  // namespace
