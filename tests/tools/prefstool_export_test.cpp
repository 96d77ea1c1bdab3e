// kolmara-prefs export: each kind of file from each source of settings, the preferences left as
// they were, and every refusal made before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "edit/pars_text.h"
#include "engine/huegrid.h"
#include "platform/file.h"
#include "tests/platform/test_support.h"
#include "tools/prefstool/prefs_tool.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

struct Result {
    int code;
    std::string out, err;
};

class ExportCommandTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        prefs_ = root_ + "/prefs.bin";
        out_ = root_ + "/out/";
        std::filesystem::create_directory(out_);
    }
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--prefs", prefs_});
        std::ostringstream out, err;
        int code = RunPrefsTool(args, out, err);
        return {code, out.str(), err.str()};
    }
    // A settings text file: brighter, more saturated, sharpening on.
    std::string Settings() {
        EditPars p;
        SetParsDefaults(&p);
        p.brightness = 0.6f;
        p.saturation = 0.62f;
        p.sharpenNoise.sharpenOn = 1;
        const std::string path = root_ + "/warm look.txt";
        EXPECT_EQ(WriteParsText(&p, path.c_str()), 0);
        return path;
    }
    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out_)) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }
    std::string prefs_, out_;
};

std::string ClassOf(const std::string& profile) {
    return profile.size() >= 40 && profile.substr(36, 4) == "acsp" ? profile.substr(12, 4) : "";
}

TEST_F(ExportCommandTest, WritesEachKindFromASettingsFile) {
    const std::string settings = Settings();
    Result r = Run({"export", "cube", out_ + "look.cube", "--from", settings, "--size", "9"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("wrote cube LUT (warm look, grid-size level 7, 9 nodes per axis)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("sharpening and noise removal"), std::string::npos) << r.err;
    const std::string cube = ReadFile(out_ + "look.cube");
    EXPECT_NE(cube.find("TITLE \"warm look - Tintara Kolmara Pro\"\nLUT_3D_SIZE 9\n"),
              std::string::npos);

    for (const char* kind : {"abstract", "device-link"}) {
        const std::string path = out_ + kind + ".icc";
        r = Run({"export", kind, path, "--from", settings});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(ClassOf(ReadFile(path)), std::string(kind) == "abstract" ? "abst" : "link");
    }
    r = Run({"export", "edit-profile", out_ + "edited.icc", "--from", settings, "--profile",
             out_ + "abstract.icc"});
    EXPECT_EQ(r.code, 1) << "an abstract profile is no device profile";
    EXPECT_NE(r.err.find("while choosing an ICC profile"), std::string::npos) << r.err;

    for (const char* depth : {"8", "16"}) {
        r = Run({"export", "huegrid", out_ + "look.hg", "--from", settings, "--depth", depth,
                 "--quality", "3"});
        ASSERT_EQ(r.code, 0) << r.err;
        HuegridLut* table = nullptr;
        FLSpec spec;
        FLSpecDisk(&spec, (out_ + "look.hg").c_str());
        ASSERT_EQ(HgReadStream(&table, &spec), 0);
        EXPECT_EQ(table->sampleSize, std::string(depth) == "8" ? 1 : 2);
        EXPECT_EQ(table->input[0].gridPoints, 15);  // quality 3
        HgFreeLut(table);
    }
}

// Without a preferences file the previous settings are the reset ones: the LUT is the identity.
// The export reads the preferences and never writes them, not even to create them.
TEST_F(ExportCommandTest, PreviousSettingsByDefaultAndThePreferencesUntouched) {
    Result r = Run({"export", "cube", out_ + "same.cube", "--size", "5"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(FileExists(prefs_));
    std::istringstream in(ReadFile(out_ + "same.cube"));
    std::string line;
    int i = 0;
    while (std::getline(in, line)) {
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0]))) continue;
        std::istringstream v(line);
        double rgb[3];
        v >> rgb[0] >> rgb[1] >> rgb[2];
        const int node[3] = {i % 5, i / 5 % 5, i / 25};
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(rgb[c], node[c] / 4.0, 2e-5) << line;
        ++i;
    }
    EXPECT_EQ(i, 125);

    ASSERT_EQ(Run({"load-custom", Settings()}).code, 0);
    const std::string before = ReadFile(prefs_);
    ASSERT_EQ(Run({"export", "device-link", out_ + "l.icc", "--from", "custom"}).code, 0);
    EXPECT_EQ(ReadFile(prefs_), before);
}

TEST_F(ExportCommandTest, RefusalsWriteNothing) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const std::string target = out_ + "x";
    WriteFile(root_ + "/not-a-profile.icc", "hello");
    const std::vector<Case> cases = {
        {{"export", "cube", target, "--from", "custom"}, 1, "no custom settings are loaded"},
        {{"export", "cube", target, "--from", root_ + "/none.txt"}, 1, "no such file"},
        {{"export", "cube", target, "--from", root_ + "/not-a-profile.icc"},
         1,
         "is not a settings text file"},
        {{"export", "lut", target}, 2, "unknown export kind"},
        {{"export", "cube", target, "--size", "1"}, 2, "--size takes"},
        {{"export", "cube", target, "--size", "256"}, 2, "--size takes"},
        {{"export", "huegrid", target, "--depth", "12"}, 2, "--depth takes 8 or 16"},
        {{"export", "cube", target, "--quality", "8"}, 2, "--quality takes"},
        {{"export", "cube", target, "--colour", "x"}, 2, "unknown export option"},
        {{"export", "cube"}, 2, "usage: kolmara-prefs export"},
        {{"export", "edit-profile", target}, 2, "needs the profile to start from"},
        {{"export", "cube", target, "--profile", "p.icc"}, 2, "belongs to edit-profile"},
        {{"export", "edit-profile", target, "--profile", root_ + "/not-a-profile.icc"},
         1,
         "while reading file"},
        {{"export", "edit-profile", target, "--profile", root_ + "/none.icc"},
         1,
         "while opening file"},
    };
    for (const Case& c : cases) {
        Result r = Run(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    }
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_FALSE(FileExists(prefs_));
}

}  // namespace
