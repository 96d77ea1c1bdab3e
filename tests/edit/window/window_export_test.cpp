// OK's file-writing modes through RunEditingWindow on the headless binding: the choosers'
// scripted answers, the file each mode writes read back (the Huegrid file by the row applier,
// the profiles by lcms2), and what a cancelled chooser, a failed write and a bad source profile
// leave behind.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "edit/window/editing_window.h"
#include "engine/huegrid_applier.h"
#include "engine/huegrid_build.h"
#include "platform/file.h"
#include "platform/ui/controls.h"
#include "resources/ids/dlg_editor.h"
#include "tests/edit/window/window_test_support.h"

namespace {

using namespace window_testing;
namespace fs = std::filesystem;

constexpr int32_t kImageW = 48, kImageH = 32;

// Chooses the 1-based file type of a typed save chooser along with the name.
UiScriptEvent ChooseType(const char* path, int32_t type) {
    UiScriptEvent e = Choose(path);
    e.value = type;
    return e;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WindowExportTest : public WindowTest {
   protected:
    void SetUp() override {
        WindowTest::SetUp();
        prefs_->keenhueMask = kEditMaskAll;
        MakePicture(kImageW, kImageH, [](int32_t x, int32_t y, uint8_t p[3]) {
            const int g = 20 + 200 * x / (kImageW - 1);
            p[0] = uint8_t(g + 30), p[1] = uint8_t(g + 8), p[2] = uint8_t(g - 20 + y);
        });
        window_.documentName = "/photos/beach.tif";
        window_.writePrefs = [](void* c, Ui_Failure*) -> int32_t {
            ++static_cast<WindowExportTest*>(c)->prefsWrites_;
            return 0;
        };
        out_ = root_ + "/out/";
        fs::create_directories(out_);
        // The settings stored before the run, to tell whether OK stored the live ones.
        ASSERT_EQ(ResetEditStatePars(es_.get(), kEditMaskAll), 0);
        stored_ = es_->editPars;
        prefs_->previousSettings = stored_;
    }
    // Runs the window in OK mode `mode`: master "Keenhue" (a real correction), OK, then the
    // chooser answers and whatever follows.
    bool RunMode(int32_t mode, std::vector<UiScriptEvent> after) {
        prefs_->okMode = mode;
        std::vector<UiScriptEvent> script = {Click(kEditorAllKeenhue), Click(kEditorOk)};
        script.insert(script.end(), after.begin(), after.end());
        SetScript(std::move(script));
        choosersBefore_ = Ui_Headless_ChooserCalls();
        prefsWrites_ = 0;
        bool accepted = false;
        EXPECT_EQ(RunEditingWindow(&window_, es_.get(), &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        EXPECT_EQ(Ui_Headless_Remaining(), 0);
        return accepted;
    }
    // Closed with OK as in "Edit Image": the live record stored, the preferences written.
    void ExpectClosedWithOk(bool accepted) {
        EXPECT_TRUE(accepted);
        EXPECT_EQ(std::memcmp(&prefs_->previousSettings, &es_->editPars, sizeof(EditPars)), 0);
        EXPECT_NE(std::memcmp(&prefs_->previousSettings, &stored_, sizeof(EditPars)), 0);
        EXPECT_EQ(prefsWrites_, 1);
        EXPECT_TRUE(alerts.empty()) << alerts.front();
    }
    // Still open after the chooser: the window answers a script call, then Cancel closes it
    // without storing anything.
    std::vector<UiScriptEvent> StaysOpen() {
        return {Call([this](UiWindow*) { ++stillOpen_; }), Click(kEditorCancel)};
    }
    void ExpectNothingStored(bool accepted) {
        EXPECT_FALSE(accepted);
        EXPECT_EQ(stillOpen_, 1);
        EXPECT_EQ(std::memcmp(&prefs_->previousSettings, &stored_, sizeof(EditPars)), 0);
        EXPECT_TRUE(fs::is_empty(out_));
    }
    // What the filter gives on the cast image (as 16-bit codes) and what the applier gives
    // reading the stream at `file`.
    std::vector<uint16_t> Apply(const FLSpec& stream, int depth) {
        HgApplyOptions o{};
        o.stream = stream;
        o.inLo = o.outLo = 0;
        o.inHi = o.outHi = depth == 2 ? 65535 : 255;
        o.sharpenOrder = 2;
        o.sharpenChannel = -1;
        o.width = kImageW;
        o.rows = kImageH;
        o.inPixelSize = o.outPixelSize = depth;
        o.callbackOrder = kHgOrderIdentity3;
        std::vector<uint16_t> out;
        o.callbackContext = &out;
        o.callback = [](const HgPixelBuffer* row, void* c) -> int32_t {
            auto* v = static_cast<std::vector<uint16_t>*>(c);
            for (uint32_t i = 0; i < row->width * 3; ++i) {
                v->push_back(row->data16 != nullptr ? row->data16[i] : row->data8[i]);
            }
            return 0;
        };
        HuegridApplier* applier = nullptr;
        EXPECT_EQ(HgApplierCreate(&o, &applier), 0);
        if (applier == nullptr) return {};
        std::vector<uint16_t> row16(kImageW * 3);
        for (uint32_t y = 0; y < kImageH; ++y) {
            HgPixelBuffer row{kImageW, 3, 1, 0, kHgOrderIdentity3, nullptr, nullptr, y};
            uint8_t* row8 = &pixels_[size_t(y) * kImageW * 3];
            for (int i = 0; i < kImageW * 3; ++i) row16[i] = uint16_t(row8[i] * 257);
            if (depth == 2) {
                row.data16 = row16.data();
            } else {
                row.data8 = row8;
            }
            EXPECT_EQ(HgApplierRun(applier, &row), 0);
        }
        HgApplierFree(applier);
        return out;
    }
    std::vector<uint16_t> FilterPixels(int depth) {
        Huegrid* transform = nullptr;
        EditPars live = es_->editPars;
        EXPECT_EQ(HgBuild(&live, kEditMaskAll, es_->gridLevel, depth, &transform), 0);
        if (transform == nullptr) return {};
        std::vector<uint8_t> memory(1 << 19);
        FLSpec spec;
        FLSpecMemory(&spec, memory.data(), int32_t(memory.size()));
        EXPECT_EQ(HgWriteStream(transform->lut, &spec), 0);
        HgFree(transform);
        return Apply(spec, depth);
    }
    // An sRGB display profile written by lcms2, as a person's monitor profile would be.
    std::string WriteSourceProfile(const std::string& name) {
        const std::string path = root_ + "/" + name;
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        EXPECT_TRUE(cmsSaveProfileToFile(srgb, path.c_str()));
        cmsCloseProfile(srgb);
        return path;
    }
    // The profile at path opened by lcms2: its class and colour spaces, or 0s.
    struct ProfileKind {
        cmsProfileClassSignature cls;
        cmsColorSpaceSignature space, pcs;
        bool hasAToB0;
    };
    static ProfileKind OpenWithLcms(const std::string& path) {
        cmsHPROFILE p = cmsOpenProfileFromFile(path.c_str(), "r");
        if (p == nullptr) return {};
        ProfileKind k{cmsGetDeviceClass(p), cmsGetColorSpace(p), cmsGetPCS(p),
                      cmsIsTag(p, cmsSigAToB0Tag) != 0};
        cmsCloseProfile(p);
        return k;
    }

    EditPars stored_{};
    std::string out_;
    int prefsWrites_ = 0;
    int stillOpen_ = 0;
    int32_t choosersBefore_ = 0;
    // Choosers asked during the last run.
    int32_t Choosers() const { return Ui_Headless_ChooserCalls() - choosersBefore_; }
};

// "Create Huegrid...": the file type chosen in the save chooser decides the file. The Huegrid
// file carries the filter's transform at the run's grid level and the image's depth (an applier
// reading it gives the filter's pixels exactly); the LUT types give .cube files of 33 and 65
// nodes. The suggested name is the document's plus "Huegrid"; a bare name gets its type's
// extension.
TEST_F(WindowExportTest, CreateHuegridWritesTheChosenTypeAndClosesAsOk) {
    es_->bitsPerChannel = 16;
    es_->gridLevel = 3;  // not the default: the file must follow the run's level
    const std::string hg = out_ + "look";
    ExpectClosedWithOk(RunMode(3, {ChooseType(hg.c_str(), 1)}));
    const UiHeadlessChooser* asked = Ui_Headless_LastChooser();
    EXPECT_EQ(asked->kind, kUiChooseSave);
    EXPECT_EQ(asked->filterIndex, 1);
    EXPECT_STREQ(asked->lastPattern, "*.hg");
    EXPECT_STREQ(asked->folder, "/photos/");
    ASSERT_TRUE(fs::exists(hg + ".hg"));
    FLSpec file;
    FLSpecDisk(&file, (hg + ".hg").c_str());
    const std::vector<uint16_t> filter = FilterPixels(2);
    ASSERT_EQ(filter.size(), size_t(kImageW) * kImageH * 3);
    EXPECT_EQ(Apply(file, 2), filter);

    for (int32_t type : {2, 3}) {
        SCOPED_TRACE(type);
        const int nodes = type == 2 ? 33 : 65;
        const std::string cube = out_ + "grade" + std::to_string(nodes);
        ExpectClosedWithOk(RunMode(3, {ChooseType(cube.c_str(), type)}));
        std::ifstream in(cube + ".cube");
        ASSERT_TRUE(in.good());
        std::string line;
        int values = 0;
        bool sized = false;
        while (std::getline(in, line)) {
            if (line == "LUT_3D_SIZE " + std::to_string(nodes)) sized = true;
            float r, g, b;
            if (!line.empty() && (std::isdigit(line[0]) || line[0] == '-') &&
                std::istringstream(line) >> r >> g >> b) {
                ++values;
            }
        }
        EXPECT_TRUE(sized);
        EXPECT_EQ(values, nodes * nodes * nodes);
    }
    // A name typed with ".cube" under the Huegrid type is a LUT (33 nodes), not a Huegrid file
    // with a misleading name.
    ExpectClosedWithOk(RunMode(3, {ChooseType((out_ + "typed.cube").c_str(), 1)}));
    std::ifstream typed(out_ + "typed.cube");
    std::string first((std::istreambuf_iterator<char>(typed)), {});
    EXPECT_NE(first.find("LUT_3D_SIZE 33"), std::string::npos);
}

// "Create Profile..." writes an abstract Lab profile or an RGB device link, and "Edit
// Profile..." asks for the source profile first and writes a new display profile beside an
// unchanged original; lcms2 opens each with the class and spaces it must have.
TEST_F(WindowExportTest, ProfilesOpenInLcmsWithTheirClassAndTheSourceStaysUnchanged) {
    const std::string abstract = out_ + "abstract";
    ExpectClosedWithOk(RunMode(2, {ChooseType(abstract.c_str(), 1)}));
    ProfileKind k = OpenWithLcms(abstract + ".icc");
    EXPECT_EQ(k.cls, cmsSigAbstractClass);
    EXPECT_EQ(k.space, cmsSigLabData);
    EXPECT_TRUE(k.hasAToB0);

    const std::string link = out_ + "link.icc";
    ExpectClosedWithOk(RunMode(2, {ChooseType(link.c_str(), 2)}));
    k = OpenWithLcms(link);
    EXPECT_EQ(k.cls, cmsSigLinkClass);
    EXPECT_EQ(k.space, cmsSigRgbData);
    EXPECT_EQ(k.pcs, cmsSigRgbData);

    const std::string source = WriteSourceProfile("monitor.icc");
    const std::vector<uint8_t> original = FileBytes(source);
    const std::string edited = out_ + "edited";
    ExpectClosedWithOk(RunMode(1, {Choose(source.c_str()), Choose(edited.c_str())}));
    EXPECT_EQ(Choosers(), 2);
    k = OpenWithLcms(edited + ".icc");
    EXPECT_EQ(k.cls, cmsSigDisplayClass);
    EXPECT_EQ(k.space, cmsSigRgbData);
    EXPECT_TRUE(k.hasAToB0);
    EXPECT_EQ(FileBytes(source), original);
}

// A cancelled chooser returns to the window with nothing written or stored, in every mode and at
// either chooser of "Edit Profile...".
TEST_F(WindowExportTest, ACancelledChooserKeepsTheWindowOpen) {
    const std::string source = WriteSourceProfile("monitor.icc");
    struct Case {
        int32_t mode;
        std::vector<UiScriptEvent> answers;
    };
    const Case cases[] = {
        {3, {Choose(nullptr)}},
        {2, {Choose(nullptr)}},
        {1, {Choose(nullptr)}},
        {1, {Choose(source.c_str()), Choose(nullptr)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.answers.size());
        stillOpen_ = 0;
        std::vector<UiScriptEvent> script = c.answers;
        for (const UiScriptEvent& e : StaysOpen()) script.push_back(e);
        ExpectNothingStored(RunMode(c.mode, script));
        EXPECT_TRUE(alerts.empty());
    }
}

// A file that cannot be written (its folder does not exist) is told in one alert naming it, the
// window stays open, and no file, partial or temporary, appears anywhere.
TEST_F(WindowExportTest, AFailedWriteShowsOneAlertAndLeavesNoFile) {
    for (int32_t mode : {3, 2}) {
        SCOPED_TRACE(mode);
        alerts.clear();
        stillOpen_ = 0;
        const std::string target = out_ + "missing/look";
        std::vector<UiScriptEvent> script = {Choose(target.c_str())};
        for (const UiScriptEvent& e : StaysOpen()) script.push_back(e);
        ExpectNothingStored(RunMode(mode, script));
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_NE(alerts[0].find("writing file"), std::string::npos) << alerts[0];
        EXPECT_NE(alerts[0].find("look."), std::string::npos) << alerts[0];
        EXPECT_FALSE(fs::exists(out_ + "missing"));
    }
}

// "Edit Profile..." refuses a source that is not an RGB input or display profile (a grey one), or
// not a profile at all, when it is chosen, before asking where to save; one whose header is sound
// but whose tables are damaged is refused when it is read, naming the file. Each gives one alert
// and writes nothing; the window stays open.
TEST_F(WindowExportTest, EditProfileRefusesABadSourceWithOneAlert) {
    const std::string grey = root_ + "/grey.icc";
    {
        cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
        cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), gamma);
        ASSERT_TRUE(cmsSaveProfileToFile(p, grey.c_str()));
        cmsCloseProfile(p);
        cmsFreeToneCurve(gamma);
    }
    const std::string text = root_ + "/notes.icc";
    std::ofstream(text) << "not a profile at all, only a file with a profile's name\n";
    // A sound header over tag data cut away: the tag table points past the end.
    const std::string damaged = root_ + "/damaged.icc";
    {
        std::vector<uint8_t> bytes = FileBytes(WriteSourceProfile("whole.icc"));
        bytes.resize(200);
        std::ofstream(damaged, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    struct Case {
        std::string source;
        bool askedWhere;  // the header passed: the save chooser came before the refusal
        const char* says;
    };
    const Case cases[] = {
        {grey, false, "choosing an ICC profile"},
        {text, false, "choosing an ICC profile"},
        {damaged, true, "damaged.icc"},
    };
    const std::string edited = out_ + "edited";  // the script keeps the pointer
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        alerts.clear();
        stillOpen_ = 0;
        std::vector<UiScriptEvent> script = {Choose(c.source.c_str())};
        if (c.askedWhere) script.push_back(Choose(edited.c_str()));
        for (const UiScriptEvent& e : StaysOpen()) script.push_back(e);
        ExpectNothingStored(RunMode(1, script));
        EXPECT_EQ(Choosers(), c.askedWhere ? 2 : 1);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_NE(alerts[0].find(c.says), std::string::npos) << alerts[0];
    }
}

}  // namespace
