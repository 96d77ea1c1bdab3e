// kolmara-prefs: every setting it offers survives the module's own reader, the listing covers
// every stored entry, bad arguments and unusable files fail cleanly without touching the file,
// and damaged files are handled as the module handles them.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "edit/pars_text.h"
#include "edit/pars_vector.h"
#include "edit/prefs.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "tests/edit/edit_test_support.h"
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

// The module's reader fills the record in context; the tool keeps its own record, so a read-back
// through here is independent of whatever the tool holds.
int32_t ReadBackEntry(void* context, UiState* state, uint16_t tag, uint16_t type, uint32_t count,
                      const void* data) {
    return ReadPrefEntryInto(static_cast<Prefs*>(context), state, tag, type, count, data, nullptr);
}

// Entries written by a test, for files the module itself would never write.
std::vector<std::pair<uint16_t, std::vector<int32_t>>> gIntEntries;
std::vector<std::pair<uint16_t, std::vector<float>>> gFloatEntries;
int32_t WriteTestEntries(void*, UiState* state, FLFile* file) {
    for (auto& [tag, v] : gIntEntries) {
        int32_t s =
            Ui_Prefs_WriteEntry(state, file, tag, kPrefsTypeInt32, uint32_t(v.size()), v.data());
        if (s != kStatusOk) return s;
    }
    for (auto& [tag, v] : gFloatEntries) {
        int32_t s =
            Ui_Prefs_WriteEntry(state, file, tag, kPrefsTypeFloatBin, uint32_t(v.size()), v.data());
        if (s != kStatusOk) return s;
    }
    return kStatusOk;
}

// The bytes the module's writer makes of a record: two records that give the same bytes are the
// same preferences (derived tables and fields never stored do not count).
std::string StoredBytes(const Prefs& prefs) {
    std::string bytes(1 << 18, '\0');
    FLSpec spec;
    FLSpecMemory(&spec, bytes.data(), int32_t(bytes.size()));
    FLFile file;
    EXPECT_EQ(FLOpen(&file, &spec, kFLWrite), 0);
    EXPECT_EQ(WritePrefEntriesFrom(&prefs, nullptr, &file), 0);
    int32_t end = 0;
    EXPECT_EQ(FLTell(&file, &end), 0);
    FLClose(&file);
    bytes.resize(size_t(end));
    return bytes;
}

std::vector<float> Vector(const EditPars& p) {
    std::vector<float> v(kParsVectorCount);
    EXPECT_EQ(ParsToVector(&p, v.data(), kParsVectorCount), 0);
    return v;
}

class PrefsToolTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        state_ = OpenState(0);
        defaultPath_ = PrefFolder() + "KolmaraPro Plugin Prefs";
        path_ = root_ + "/prefs.bin";
    }
    void TearDown() override {
        gIntEntries.clear();
        gFloatEntries.clear();
        PlatformTest::TearDown();
    }

    // Runs the tool on path_ unless the arguments name a file themselves.
    Result Run(std::vector<std::string> args, bool withPath = true) {
        if (withPath) args.insert(args.begin(), {"--prefs", path_});
        std::ostringstream out, err;
        int code = RunPrefsTool(args, out, err);
        return {code, out.str(), err.str()};
    }

    std::unique_ptr<Prefs> ReadBack(const std::string& path, int32_t* status = nullptr) {
        auto prefs = std::make_unique<Prefs>();
        SetPrefsDefaults(prefs.get());
        // The container writes a file in place of a missing one; a test must never cause that.
        EXPECT_TRUE(FileExists(path)) << path;
        if (!FileExists(path)) return prefs;
        int32_t info = 131;
        int32_t s =
            Ui_Prefs_ReadAll(state_, path.c_str(), &info, ReadBackEntry, nullptr, prefs.get());
        if (status != nullptr) {
            *status = s;
        } else {
            EXPECT_EQ(s, 0);
        }
        return prefs;
    }

    void WriteEntries(const std::string& path) {
        int32_t info = 131;
        ASSERT_EQ(Ui_Prefs_WriteAll(state_, path.c_str(), &info, WriteTestEntries, nullptr), 0);
    }

    // The value part of the listing's line for tag ("TAG LABEL: VALUE").
    static std::string ShownValue(const std::string& listing, int tag) {
        std::istringstream in(listing);
        std::string line, head = std::to_string(tag) + " ";
        while (std::getline(in, line)) {
            size_t colon = line.find(": ");
            if (line.rfind(head, 0) == 0 && colon != std::string::npos)
                return line.substr(colon + 2);
        }
        return "(missing)";
    }

    std::string WriteSettings(uint32_t seed, const std::string& name, EditPars* written) {
        edit_testing::FillPars(written, seed);
        std::string file = root_ + "/" + name;
        EXPECT_EQ(WriteParsText(written, file.c_str()), 0);
        return file;
    }

    UiState* state_ = nullptr;
    std::string defaultPath_, path_;
};

TEST_F(PrefsToolTest, StartModesForAllToolsAndPerToolReadBackThroughTheModule) {
    EditPars pars;
    ASSERT_EQ(Run({"load-custom", WriteSettings(3, "look.txt", &pars)}).code, 0);
    const std::pair<const char*, int32_t> modes[] = {{"keenhue", kStartKeenhue},
                                                     {"custom", kStartCustom},
                                                     {"previous", kStartPrevious},
                                                     {"reset", kStartReset}};
    for (const auto& [word, mode] : modes) {
        SCOPED_TRACE(word);
        ASSERT_EQ(Run({"start", word}).code, 0);
        auto back = ReadBack(path_);
        EXPECT_EQ(back->startWith, mode);
        EXPECT_EQ(back->startAllSame, 1);
        Result shown = Run({"show"});
        EXPECT_EQ(ShownValue(shown.out, 64), std::to_string(mode) + " (" + word + ")");
        EXPECT_EQ(ShownValue(shown.out, 111), "on");
    }
    // All tools start with previous; one tool then gets its own mode and the others keep doing
    // what they did.
    ASSERT_EQ(Run({"start", "previous"}).code, 0);
    ASSERT_EQ(Run({"start", "--tool", "3", "keenhue"}).code, 0);
    ASSERT_EQ(Run({"start", "--tool", "4", "custom"}).code, 0);
    auto back = ReadBack(path_);
    EXPECT_EQ(back->startAllSame, 0);
    EXPECT_EQ(std::vector<int32_t>(back->startTool, back->startTool + 4),
              (std::vector<int32_t>{kStartPrevious, kStartPrevious, kStartKeenhue, kStartCustom}));
    Result shown = Run({"show"});
    EXPECT_EQ(ShownValue(shown.out, 111), "off");
    EXPECT_EQ(ShownValue(shown.out, 114), "0 (keenhue)");
    EXPECT_EQ(ShownValue(shown.out, 115), "3 (custom)");
    // Back to one mode for all: the flag is on again, the per-tool entries stay as they were.
    ASSERT_EQ(Run({"start", "reset"}).code, 0);
    back = ReadBack(path_);
    EXPECT_EQ(back->startAllSame, 1);
    EXPECT_EQ(back->startWith, kStartReset);
    EXPECT_EQ(back->startTool[2], kStartKeenhue);
}

TEST_F(PrefsToolTest, ChangingOneSettingKeepsEveryOtherEntry) {
    auto before = std::make_unique<Prefs>();
    SetPrefsDefaults(before.get());
    before->gridLevel = 3;
    before->keenhueMask = 1234;
    before->colorDefs.sepia[0] = 0.25f;
    std::snprintf(before->outputFolder, sizeof before->outputFolder, "/somewhere/else/");
    edit_testing::FillPars(&before->previousSettings, 11);
    PrefsEntryTarget target{before.get(), nullptr};
    int32_t info = 131;
    ASSERT_EQ(Ui_Prefs_WriteAll(state_, path_.c_str(), &info, WritePrefEntries, &target), 0);
    auto expected = ReadBack(path_);

    ASSERT_EQ(Run({"start", "--tool", "2", "keenhue"}).code, 0);
    auto after = ReadBack(path_);
    expected->startAllSame = 0;
    for (int32_t& m : expected->startTool) m = expected->startWith;
    expected->startTool[1] = kStartKeenhue;
    EXPECT_EQ(StoredBytes(*after), StoredBytes(*expected));

    // Where the window was left goes back to the first opening's, and nothing else moves.
    before->lastTab = 3, before->lastMethod = 2, before->windowWidth = 1500;
    before->windowHeight = 990;
    ASSERT_EQ(Ui_Prefs_WriteAll(state_, path_.c_str(), &info, WritePrefEntries, &target), 0);
    ASSERT_EQ(Run({"window-reset"}).code, 0);
    after = ReadBack(path_);
    before->lastTab = 0, before->lastMethod = 1, before->windowWidth = 0;
    before->windowHeight = 0;
    EXPECT_EQ(StoredBytes(*after), StoredBytes(*before));

    // The thread count, and back to one per processor.
    ASSERT_EQ(Run({"threads", "6"}).code, 0);
    before->threads = 6;
    EXPECT_EQ(StoredBytes(*ReadBack(path_)), StoredBytes(*before));
    ASSERT_EQ(Run({"threads", "auto"}).code, 0);
    before->threads = 0;
    EXPECT_EQ(StoredBytes(*ReadBack(path_)), StoredBytes(*before));
}

TEST_F(PrefsToolTest, LoadCustomStoresWhatTheModuleReadsFromTheFileAndSaveCustomWritesItBack) {
    EditPars written;
    std::string file = WriteSettings(7, "warm look.txt", &written);
    auto direct = std::make_unique<EditPars>();
    SetParsDefaults(direct.get());
    ASSERT_EQ(ReadParsText(file.c_str(), direct.get()), 0);

    Result loaded = Run({"load-custom", file});
    ASSERT_EQ(loaded.code, 0) << loaded.err;
    auto back = ReadBack(path_);
    EXPECT_EQ(Vector(back->customSettings), Vector(*direct));
    EXPECT_EQ(Vector(back->customSettings), Vector(written));
    EXPECT_STREQ(back->customName, "warm look.txt");
    EXPECT_EQ(std::string(back->customFolder), root_ + "/");
    EXPECT_EQ(ShownValue(Run({"show"}).out, 94), "\"warm look.txt\"");

    std::filesystem::create_directory(root_ + "/saved");
    std::string copy = root_ + "/saved/copy.txt";
    Result saved = Run({"save-custom", copy});
    ASSERT_EQ(saved.code, 0) << saved.err;
    auto reread = std::make_unique<EditPars>();
    SetParsDefaults(reread.get());
    ASSERT_EQ(ReadParsText(copy.c_str(), reread.get()), 0);
    EXPECT_EQ(Vector(*reread), Vector(written));
    back = ReadBack(path_);
    EXPECT_EQ(std::string(back->customFolder), root_ + "/saved/");
    EXPECT_STREQ(back->customName, "warm look.txt");
}

TEST_F(PrefsToolTest, KeenhueSetsStoresExactlyTheNamedGroupsAndTheModuleKeepsThem) {
    const struct {
        std::vector<std::string> words;
        int32_t mask;
    } cases[] = {
        {{"all"}, 65087},
        {{"defaults"}, 64564},
        {{"none"}, 0},
        {{"linear"}, 1},
        {{"color-balance", "hue-handles"}, 64514},
        {{"colour-balance", "grey-point", "gray-point"}, 10},
        {{"black-point", "white-point", "brightness", "saturation"}, 564},
        {{"defaults", "linear", "color-balance"}, 64567},
        {{"all", "none"}, 65087},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"keenhue-sets"};
        args.insert(args.end(), c.words.begin(), c.words.end());
        SCOPED_TRACE(args[1]);
        Result r = Run(args);
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        int32_t status = -100;
        auto back = ReadBack(path_, &status);
        EXPECT_EQ(status, 0);  // no entry repaired on the way in
        EXPECT_EQ(back->keenhueMask, c.mask);
        EXPECT_EQ(ShownValue(Run({"show"}).out, 98).rfind(std::to_string(c.mask) + " (", 0), 0u);
    }

    // The saturation alone leaves the groups, the groups alone the saturation; nothing else moves.
    ASSERT_EQ(Run({"keenhue-sets", "linear", "saturation"}).code, 0);
    auto expected = ReadBack(path_);
    Result both = Run({"keenhue-sets", "--saturation", "0.35"});
    ASSERT_EQ(both.code, 0) << both.err;
    EXPECT_NE(both.out.find("linear, saturation (mask 513)"), std::string::npos) << both.out;
    expected->preferredSaturation = 0.35f;
    EXPECT_EQ(StoredBytes(*ReadBack(path_)), StoredBytes(*expected));
    for (const char* edge : {"0", "1"}) {
        ASSERT_EQ(Run({"keenhue-sets", "--saturation", edge, "hue-handles"}).code, 0);
        auto back = ReadBack(path_);
        EXPECT_EQ(back->preferredSaturation, std::stof(edge));
        EXPECT_EQ(back->keenhueMask, 64512);
    }
}

TEST_F(PrefsToolTest, KeenhueSetsKeepsTheUnnamedBitsUnlessTheModuleWouldReplaceTheMask) {
    // Bits 6-8 (shadows 64, highlights 128, contrast 256) have no word and keep their value.
    gIntEntries = {{98, {64 + 256 + 4}}};
    WriteEntries(path_);
    ASSERT_EQ(ReadBack(path_)->keenhueMask, 324);
    ASSERT_EQ(Run({"keenhue-sets", "linear", "hue-handles"}).code, 0);
    EXPECT_EQ(ReadBack(path_)->keenhueMask, 320 + 1 + 64512);

    // With saturation and every hue handle those bits would carry the mask past 65087, which the
    // module replaces with its default 64564 on reading: they are dropped instead, with a note.
    Result all = Run({"keenhue-sets", "all"});
    ASSERT_EQ(all.code, 0);
    EXPECT_NE(all.err.find("kolmara-prefs: note: bits 6-8"), std::string::npos) << all.err;
    int32_t status = -100;
    auto back = ReadBack(path_, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(back->keenhueMask, 65087);

    gIntEntries = {{98, {64}}};
    WriteEntries(path_);
    ASSERT_EQ(Run({"keenhue-sets", "saturation", "hue-handles"}).code, 0);
    EXPECT_EQ(ReadBack(path_)->keenhueMask, 65024);  // 65088 would not survive

    // "defaults" is the dialog's Restore Defaults: the whole mask, bits 6-8 cleared.
    gIntEntries = {{98, {448}}};
    WriteEntries(path_);
    ASSERT_EQ(Run({"keenhue-sets", "defaults"}).code, 0);
    EXPECT_EQ(ReadBack(path_)->keenhueMask, 64564);
}

TEST_F(PrefsToolTest, ShowListsEveryStoredEntryOnceAndDoesNotCreateTheFile) {
    Result fresh = Run({"show"});
    EXPECT_EQ(fresh.code, 0);
    EXPECT_NE(fresh.out.find("does not exist yet"), std::string::npos);
    EXPECT_FALSE(FileExists(path_));

    ASSERT_EQ(Run({"reset"}).code, 0);
    std::multiset<int> stored;
    FLSpec spec;
    FLSpecDisk(&spec, path_.c_str());
    FLFile file;
    ASSERT_EQ(FLOpen(&file, &spec, kFLRead), 0);
    for (;;) {
        uint16_t tag, type;
        uint32_t count;
        ASSERT_EQ(Ui___Prefs_ReadEntry(&file, &tag, &type, &count, nullptr), 0);
        if (tag == kPrefsTagEnd) break;
        if (tag != kPrefsTagVersion) stored.insert(tag);
    }
    FLClose(&file);

    std::multiset<int> listed;
    std::istringstream in(Run({"show"}).out);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))
            listed.insert(std::stoi(line));
    }
    EXPECT_EQ(listed, stored);
}

TEST_F(PrefsToolTest, HonoursXdgConfigHomeLikeTheModule) {
    Result where = Run({"path"}, false);
    EXPECT_EQ(where.out, defaultPath_ + "\n");
    ASSERT_EQ(Run({"start", "keenhue"}, false).code, 0);
    EXPECT_EQ(ReadBack(defaultPath_)->startWith, kStartKeenhue);
    EXPECT_FALSE(FileExists(path_));
}

TEST_F(PrefsToolTest, BadArgumentsFailWithOneLineAndLeaveNoFile) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"start"},
        {"start", "sometimes"},
        {"start", "reset", "extra"},
        {"start", "--tool", "5", "reset"},
        {"start", "--tool", "0", "reset"},
        {"start", "--tool", "one", "reset"},
        {"start", "--tool", "2"},
        {"load-custom"},
        {"load-custom", "a.txt", "b.txt"},
        {"save-custom", ""},
        {"show", "extra"},
        {"reset", "now"},
        {"keenhue-sets"},
        {"keenhue-sets", "everything"},
        {"keenhue-sets", "all", "--saturation"},
        {"keenhue-sets", "--saturation", "1.5"},
        {"keenhue-sets", "--saturation", "-0.1"},
        {"keenhue-sets", "--saturation", "nan"},
        {"keenhue-sets", "--saturation", "0.5x"},
        {"keenhue-sets", "--saturation", "all"},
        {"threads"},
        {"threads", "0"},
        {"threads", "65"},
        {"threads", "4x"},
        {"threads", "2", "3"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        Result r = Run(args);
        EXPECT_EQ(r.code, kPrefsToolUsage);
        EXPECT_EQ(r.err.rfind("kolmara-prefs: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(FileExists(path_));
    }
    Result noPath = Run({"--prefs"}, false);
    EXPECT_EQ(noPath.code, kPrefsToolUsage);
    EXPECT_EQ(Run({"--help"}).code, kPrefsToolOk);
}

TEST_F(PrefsToolTest, UnusableFilesFailWithoutChangingThePreferences) {
    ASSERT_EQ(Run({"start", "previous"}).code, 0);
    const std::string good = ReadFile(path_);

    // No custom settings loaded yet: starting with them is refused, as the dialog refuses it.
    Result noCustom = Run({"start", "custom"});
    EXPECT_EQ(noCustom.code, kPrefsToolFailed);
    EXPECT_NE(noCustom.err.find("load-custom"), std::string::npos);

    WriteFile(root_ + "/notes.txt", "v5\nthis is not a settings file\n");
    for (const std::string& file : {root_ + "/missing.txt", root_ + "/notes.txt", root_}) {
        SCOPED_TRACE(file);
        Result r = Run({"load-custom", file});
        EXPECT_EQ(r.code, kPrefsToolFailed);
        EXPECT_EQ(r.err.rfind("kolmara-prefs: ", 0), 0u) << r.err;
    }
    // Settings the preferences would not keep (a colorId beyond the twelve, a toning colour
    // beyond 0..1) are refused when loaded, not accepted and lost at the next reading.
    EditPars pars;
    std::vector<std::string> lines;
    std::istringstream source(ReadFile(WriteSettings(5, "source.txt", &pars)));
    for (std::string line; std::getline(source, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 159u);
    const std::pair<size_t, std::string> spoiled[] = {
        {24, "227.000000 8.750000 0.125000 0.000000 12"},  // handle 0: baseHue .. colorId
        {153, "0.500000 1.500000 0.500000"}};              // toneColor
    for (const auto& [at, text] : spoiled) {
        std::vector<std::string> changed = lines;
        changed[at] = text;
        std::string file;
        for (const std::string& line : changed) file += line + "\n";
        WriteFile(root_ + "/spoiled.txt", file);
        Result r = Run({"load-custom", root_ + "/spoiled.txt"});
        EXPECT_EQ(r.code, kPrefsToolFailed) << at;
        EXPECT_NE(r.err.find("outside their ranges"), std::string::npos) << r.err;
    }
    Result unwritable = Run({"save-custom", root_ + "/no/such/folder/out.txt"});
    EXPECT_EQ(unwritable.code, kPrefsToolFailed);
    EXPECT_EQ(ReadFile(path_), good);

    // A folder where the preferences file should be, and a file in a folder that does not exist.
    std::filesystem::create_directory(root_ + "/folder");
    EXPECT_EQ(Run({"--prefs", root_ + "/folder", "show"}, false).code, kPrefsToolFailed);
    EXPECT_EQ(Run({"--prefs", root_ + "/folder", "start", "reset"}, false).code, kPrefsToolFailed);
    EXPECT_TRUE(std::filesystem::is_directory(root_ + "/folder"));
    Result nowhere = Run({"--prefs", root_ + "/no/such/prefs", "start", "reset"}, false);
    EXPECT_EQ(nowhere.code, kPrefsToolFailed);
    EXPECT_NE(nowhere.err.find("cannot write"), std::string::npos);

    // A file that exists but cannot be read must not be replaced by defaults (root reads anyway).
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(path_.c_str(), 0200), 0);
        EXPECT_EQ(Run({"start", "keenhue"}).code, kPrefsToolFailed);
        ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
        EXPECT_EQ(ReadFile(path_), good);
    }
}

TEST_F(PrefsToolTest, OutOfRangeEntriesAreRepairedAsTheModuleRepairsThem) {
    gIntEntries = {{51, {99}}, {52, {1}}, {98, {65088}}, {64, {7}}, {61, {2}}};
    gFloatEntries = {{105, {2.0f, 0.25f, 0.25f}}, {54, {0.5f}}};
    WriteEntries(path_);
    auto moduleView = ReadBack(path_);  // what the module makes of the file

    Result shown = Run({"show"});
    EXPECT_EQ(shown.code, 0);
    EXPECT_EQ(ShownValue(shown.out, 51), "7");
    EXPECT_EQ(ShownValue(shown.out, 52), "1");
    EXPECT_EQ(ShownValue(shown.out, 105), "0.5 0.5 0.5");
    EXPECT_NE(shown.err.find("reading preference 51, using default value"), std::string::npos);
    EXPECT_NE(shown.err.find("reading preference 98, using default value"), std::string::npos);

    ASSERT_EQ(Run({"start", "keenhue"}).code, 0);
    auto repaired = ReadBack(path_);
    moduleView->startWith = kStartKeenhue;
    moduleView->startAllSame = 1;
    EXPECT_EQ(StoredBytes(*repaired), StoredBytes(*moduleView));
    EXPECT_EQ(repaired->gridLevel, 7);
    EXPECT_EQ(repaired->keenhueMask, 64564);
    EXPECT_EQ(repaired->okMode, 2);
    EXPECT_EQ(repaired->preferredSaturation, 0.5f);
}

TEST_F(PrefsToolTest, ADamagedFileIsRefusedUntilRepairedOrReset) {
    ASSERT_EQ(Run({"start", "previous"}).code, 0);
    auto original = ReadBack(path_);
    std::string bytes = ReadFile(path_);
    // Entry 52 is the second the module writes, so it lies before the cut.
    std::string cut = bytes.substr(0, bytes.size() / 2);
    WriteFile(path_, cut);

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"show"}, {"start", "keenhue"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.code, kPrefsToolFailed);
        EXPECT_NE(r.err.find("is damaged"), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(path_), cut);
    }

    Result repaired = Run({"repair"});
    ASSERT_EQ(repaired.code, 0) << repaired.err;
    int32_t status = -100;
    auto back = ReadBack(path_, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(back->sampleSize, original->sampleSize);
    EXPECT_EQ(back->keenhueMode, original->keenhueMode);
    EXPECT_EQ(Run({"start", "keenhue"}).code, 0);

    // An entry of the wrong size is refused by the module's reader; reset needs no reading.
    gIntEntries = {{51, {1, 2}}};
    WriteEntries(path_);
    Result refused = Run({"show"});
    EXPECT_EQ(refused.code, kPrefsToolFailed);
    EXPECT_NE(refused.err.find("reading preference 51"), std::string::npos);
    ASSERT_EQ(Run({"reset"}).code, 0);
    back = ReadBack(path_);
    auto defaults = edit_testing::NewDefaultPrefs();
    EXPECT_EQ(StoredBytes(*back), StoredBytes(*defaults));
}

TEST_F(PrefsToolTest, TheExecutableReportsUsageAndExitCodes) {
    std::string tool = KOLMARA_PREFS_PATH;
    std::string out = root_ + "/out.txt";
    int help = std::system(("'" + tool + "' --help > '" + out + "' 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(help), 0);
    EXPECT_EQ(ReadFile(out), PrefsToolUsage());
    int bad = std::system(("'" + tool + "' start sometimes > '" + out + "' 2>&1").c_str());
    EXPECT_EQ(WEXITSTATUS(bad), 2);
    EXPECT_EQ(
        ReadFile(out),
        "kolmara-prefs: unknown start mode 'sometimes' (keenhue, previous, custom or reset)\n");
}

}  // namespace
