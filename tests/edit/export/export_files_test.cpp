// The Huegrid file and the .cube LUT: what they hold, that they are written whole or not at all,
// and the names the save chooser suggests.
#include <gtest/gtest.h>
#include <signal.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstring>

#include "edit/export/cube_writer.h"
#include "edit/export/export_file.h"
#include "engine/edit_chain.h"
#include "engine/huegrid_applier.h"
#include "engine/huegrid_build.h"
#include "engine/huegrid_kernels.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "resources/ids/strings.h"
#include "tests/edit/export/export_test_support.h"
#include "tests/engine/chain_test_support.h"

namespace {

using export_testing::ExportTest;
using testing_support::ReadFile;
using testing_support::WriteFile;

TEST(CubeValues, EverySixteenBitCodeSurvivesTheTextForm) {
    for (uint32_t code = 0; code <= 65535; ++code) {
        char text[9] = {};
        ASSERT_EQ(CubeFormatCode(uint16_t(code), text), 8);
        const double v = std::strtod(text, nullptr);
        ASSERT_LE(std::fabs(v - code / 65535.0), 0.5e-6 + 1e-12) << text;
        ASSERT_EQ(std::lround(v * 65535.0), long(code)) << text;
    }
}

struct Cube {
    std::vector<std::string> header;  // the lines before the first value line
    int size = 0;
    std::vector<double> values;  // three per line
};

Cube ReadCube(const std::string& path) {
    Cube cube;
    std::istringstream in(ReadFile(path));
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_EQ(line.find('\r'), std::string::npos);
        if (!line.empty() && (std::isdigit(static_cast<unsigned char>(line[0])) != 0)) {
            std::istringstream fields(line);
            double r, g, b;
            std::string extra;
            EXPECT_TRUE(fields >> r >> g >> b) << line;
            EXPECT_FALSE(fields >> extra) << line;
            cube.values.insert(cube.values.end(), {r, g, b});
            continue;
        }
        EXPECT_TRUE(cube.values.empty()) << "keyword after the values: " << line;
        cube.header.push_back(line);
        if (line.rfind("LUT_3D_SIZE ", 0) == 0) cube.size = std::atoi(line.c_str() + 12);
    }
    return cube;
}

// The engine's own transform, built and applied apart from the writer (planar rows), is the
// oracle: the LUT must hold, node by node and to the 16-bit code, what it does to that colour,
// red varying fastest. The strong edit moves the three channels differently (a tinted balance,
// toning, hue shifts), so a swapped axis or order shows.
TEST_F(ExportTest, CubeHoldsTheTransformAtUniformNodesRedFastest) {
    EditPars live = pars_;
    Huegrid* transform = nullptr;
    ASSERT_EQ(HgBuild(&live, kEditMaskAll, 7, 2, &transform), 0);
    for (int n : {9, 33}) {
        SCOPED_TRACE(n);
        ExportSettings s = Settings();
        s.lutNodes = n;
        Ui_Failure alert;
        ASSERT_EQ(ExportCreateHuegrid(&s, kExportCubeLut, Out("look.cube").c_str(), &alert), 0);
        Cube cube = ReadCube(Out("look.cube"));
        ASSERT_EQ(cube.size, n);
        ASSERT_EQ(cube.values.size(), size_t(n) * n * n * 3);
        bool title = false, min = false, max = false;
        for (const std::string& h : cube.header) {
            title = title || h == "TITLE \"holiday - Tintara Kolmara Pro\"";
            min = min || h == "DOMAIN_MIN 0.0 0.0 0.0";
            max = max || h == "DOMAIN_MAX 1.0 1.0 1.0";
        }
        EXPECT_TRUE(title && min && max);

        const size_t count = size_t(n) * n * n;
        std::vector<uint16_t> planes(count * 3), out(count * 3);
        for (size_t i = 0; i < count; ++i) {
            planes[i] = export_testing::NodeCode(int(i % n), n);
            planes[count + i] = export_testing::NodeCode(int(i / n % n), n);
            planes[2 * count + i] = export_testing::NodeCode(int(i / (size_t(n) * n)), n);
        }
        const void* in[4] = {planes.data(), planes.data() + count, planes.data() + 2 * count,
                             nullptr};
        void* outPtrs[4] = {out.data(), out.data() + count, out.data() + 2 * count, nullptr};
        ASSERT_EQ(HgApply(transform, int32_t(count), in, 1, outPtrs, 1), 0);
        int changed = 0;
        for (size_t i = 0; i < count; ++i) {
            for (size_t c = 0; c < 3; ++c) {
                const double v = cube.values[i * 3 + c];
                ASSERT_EQ(std::lround(v * 65535.0), long(out[c * count + i])) << "line " << i;
                changed += std::lround(v * 65535.0) != planes[c * count + i];
            }
        }
        EXPECT_GT(changed, int(count));  // the LUT is not the identity
    }
    HgFree(transform);
}

struct Collected {
    std::vector<uint16_t> samples;
    int depth;
};

int32_t Collect(const HgPixelBuffer* row, void* context) {
    auto* c = static_cast<Collected*>(context);
    for (uint32_t i = 0; i < row->width * 3; ++i) {
        c->samples.push_back(c->depth == 2 ? row->data16[i] : row->data8[i]);
    }
    return 0;
}

// Runs an applier over the stream on an interleaved image of one row per `width` pixels.
std::vector<uint16_t> ApplyStream(const FLSpec& stream, int depth,
                                  const std::vector<uint16_t>& image, uint32_t width) {
    HgApplyOptions o{};
    o.stream = stream;
    const int max = depth == 2 ? 65535 : 255;
    o.inLo = o.outLo = 0;
    o.inHi = o.outHi = max;
    o.sharpenOrder = 2;
    o.sharpenChannel = -1;
    o.width = width;
    o.rows = uint32_t(image.size() / 3 / width);
    o.inPixelSize = o.outPixelSize = depth;
    o.callback = Collect;
    o.callbackPlanar = 0;
    o.callbackOrder = kHgOrderIdentity3;
    Collected collected{{}, depth};
    o.callbackContext = &collected;
    HuegridApplier* applier = nullptr;
    EXPECT_EQ(HgApplierCreate(&o, &applier), 0);
    if (applier == nullptr) return {};
    std::vector<uint8_t> row8(width * 3);
    std::vector<uint16_t> row16(width * 3);
    for (uint32_t y = 0; y < o.rows; ++y) {
        HgPixelBuffer row{width, 3, 1, 0, kHgOrderIdentity3, nullptr, nullptr, y};
        for (uint32_t i = 0; i < width * 3; ++i) {
            const uint16_t v = image[size_t(y) * width * 3 + i];
            row16[i] = v;
            row8[i] = uint8_t(v >> 8);
        }
        if (depth == 2) {
            row.data16 = row16.data();
        } else {
            row.data8 = row8.data();
        }
        EXPECT_EQ(HgApplierRun(applier, &row), 0);
    }
    HgApplierFree(applier);
    return collected.samples;
}

// The Huegrid file is the filter's own transform: an applier reading it gives, on every pixel,
// what the filter's applier gives, at both depths and on both the grid and the curve path.
TEST_F(ExportTest, HuegridFileAppliesExactlyAsTheFilter) {
    EditPars toneOnly;
    chain_testing::NeutralPars(&toneOnly);
    toneOnly.brightness = 0.6f;  // per-channel stages only: curves at 8 bits
    toneOnly.contrast = 0.58f;
    const std::vector<uint16_t> image = export_testing::RandomRgb16(64 * 48, 7);
    for (EditPars* pars : {&pars_, &toneOnly}) {
        for (int bits : {8, 16}) {
            for (int level : {7, 2}) {
                SCOPED_TRACE(testing::Message() << "bits " << bits << " level " << level);
                ExportSettings s = Settings();
                s.editPars = pars;
                s.bitsPerChannel = bits;
                s.gridLevel = level;
                Ui_Failure alert;
                ASSERT_EQ(
                    ExportCreateHuegrid(&s, kExportHuegridStream, Out("look.hg").c_str(), &alert),
                    0);
                const int depth = bits / 8;
                Huegrid* transform = nullptr;
                EditPars live = *pars;
                ASSERT_EQ(HgBuild(&live, kEditMaskAll, level, depth, &transform), 0);
                std::vector<uint8_t> memory(265000);
                FLSpec inMemory, onDisk;
                FLSpecMemory(&inMemory, memory.data(), int32_t(memory.size()));
                ASSERT_EQ(HgWriteStream(transform->lut, &inMemory), 0);
                HgFree(transform);
                FLSpecDisk(&onDisk, Out("look.hg").c_str());
                const std::vector<uint16_t> filter = ApplyStream(inMemory, depth, image, 64);
                const std::vector<uint16_t> file = ApplyStream(onDisk, depth, image, 64);
                ASSERT_EQ(filter.size(), image.size());
                EXPECT_EQ(file, filter);
            }
        }
    }
    // The caller's record is only read: the build's curve caches went into a copy.
    EditPars again;
    chain_testing::StrongPars(&again);
    EXPECT_EQ(std::memcmp(&again, &pars_, sizeof again), 0);
}

#if !defined(_WIN32)
// Ends a write part-way: the process may not write files beyond `bytes` while it lives.
class FileSizeLimit {
   public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }

   private:
    rlimit saved_{};
    sighandler_t previous_;
};
#endif

TEST_F(ExportTest, AFailedWriteLeavesNoPartialFileAndKeepsTheOldOne) {
    const std::string target = Out("look.cube");
    WriteFile(target, "the user's earlier LUT\n");
    ExportSettings s = Settings();
    s.lutNodes = 65;  // about 7 MB of text
    Ui_Failure alert;
#if !defined(_WIN32)  // a file size limit for the process is POSIX's
    int32_t status;
    {
        FileSizeLimit limit(256 * 1024);
        status = ExportCreateHuegrid(&s, kExportCubeLut, target.c_str(), &alert);
    }
    EXPECT_EQ(status, kStatusFileWrite);
    EXPECT_EQ(alert.textId, kPhraseWriteFile);
    EXPECT_EQ(std::string(alert.name), target);
    EXPECT_EQ(alert.status, kStatusFileWrite);
    EXPECT_EQ(ReadFile(target), "the user's earlier LUT\n");
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"look.cube"});
#endif

    // The same for the profiles and the Huegrid file, into a folder that does not exist.
    const std::string nowhere = Out("missing/look.icc");
    EXPECT_EQ(ExportCreateProfile(&s, kExportAbstractProfile, nowhere.c_str(), &alert),
              kStatusFileOpen);
    EXPECT_EQ(alert.textId, kPhraseWriteFile);
    EXPECT_EQ(ExportCreateHuegrid(&s, kExportHuegridStream, nowhere.c_str(), &alert),
              kStatusFileOpen);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"look.cube"});
}

TEST_F(ExportTest, BadRequestsAreRefusedBeforeAnythingIsWritten) {
    Ui_Failure alert;
    const std::string target = Out("x");
    ExportSettings s = Settings();
    s.bitsPerChannel = 12;
    EXPECT_EQ(ExportCreateHuegrid(&s, kExportHuegridStream, target.c_str(), &alert), -1);
    s = Settings();
    s.lutNodes = 1;
    EXPECT_EQ(ExportCreateHuegrid(&s, kExportCubeLut, target.c_str(), &alert), -1);
    EXPECT_EQ(ExportCreateProfile(&s, kExportDeviceLink, target.c_str(), &alert), -1);
    s = Settings();
    EXPECT_EQ(ExportCreateHuegrid(&s, 7, target.c_str(), &alert), -1);
    EXPECT_EQ(ExportCreateProfile(&s, 7, target.c_str(), &alert), -1);
    EXPECT_EQ(ExportCreateHuegrid(&s, kExportCubeLut, nullptr, &alert), -1);
    EXPECT_EQ(ExportCreateHuegrid(&s, kExportCubeLut, "", &alert), -1);
    // 255 characters would be cut by the file layer and name another file.
    const std::string tooLong = out_ + std::string(255, 'a');
    EXPECT_EQ(ExportCreateHuegrid(&s, kExportCubeLut, tooLong.c_str(), &alert), -1);
    // Parameters the engine refuses: "creating Huegrid".
    pars_.grayPoint = std::nanf("");
    EXPECT_EQ(ExportCreateHuegrid(&s, kExportCubeLut, target.c_str(), &alert), -1);
    EXPECT_EQ(alert.textId, kPhraseCreateHuegrid);
    EXPECT_TRUE(OutFiles().empty());
}

TEST(ExportNames, SuggestedFromTheDocumentAndTheSourceProfile) {
    char name[kPathSize];
    ASSERT_EQ(ExportSuggestName(kOkCreateHuegrid, "/home/u.v/holiday.tif", nullptr, name), 0);
    EXPECT_STREQ(name, "holidayHuegrid");
    ASSERT_EQ(ExportSuggestName(kOkCreateProfile, "scan 2", nullptr, name), 0);
    EXPECT_STREQ(name, "scan 2Profile");
    ASSERT_EQ(
        ExportSuggestName(kOkEditProfile, "holiday.tif", "/usr/share/color/icc/Cam.icc", name), 0);
    EXPECT_STREQ(name, "Cam holiday");
    EXPECT_EQ(ExportSuggestName(kOkEditImage, "holiday.tif", nullptr, name), -1);
}

}  // namespace
