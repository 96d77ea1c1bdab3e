// Preference entries through the real container: defaults, round trip, exact bytes, writing
// order, repairs with their notices, refusals, and the older entries.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "edit/pars_vector.h"
#include "edit/prefs.h"
#include "platform/alert.h"
#include "platform/file.h"
#include "platform/prefs_file.h"
#include "tests/edit/edit_test_support.h"

namespace {

using edit_testing::EditTest;
using edit_testing::NewDefaultPrefs;
using testing_support::ReadFile;
using testing_support::WriteFile;

struct StoredEntry {
    uint16_t tag, type;
    uint32_t count;
    std::string data;  // stored bytes
};

uint32_t Be(const std::string& s, size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | uint8_t(s[at + i]);
    return v;
}

std::vector<StoredEntry> ParseFile(const std::string& bytes) {
    std::vector<StoredEntry> out;
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        StoredEntry e{uint16_t(Be(bytes, at, 2)), uint16_t(Be(bytes, at + 2, 2)),
                      Be(bytes, at + 4, 4), ""};
        size_t size = e.type == 0 ? 1 : e.type == 1 ? 2 : 4;
        e.data = bytes.substr(at + 8, e.count * size);
        at += 8 + e.count * size;
        out.push_back(e);
    }
    return out;
}

class PrefsTest : public EditTest {
   protected:
    void SetUp() override {
        EditTest::SetUp();
        path_ = root_ + "/prefs.bin";
    }
    void TearDown() override { EditTest::TearDown(); }
    int32_t Write(Prefs* prefs) {
        PrefsEntryTarget target{prefs, nullptr};
        return Ui_Prefs_WriteAll(state_, path_.c_str(), nullptr, WritePrefEntries, &target);
    }
    // The reader notes what it met; these show the notices as the layer that read the file
    // does, so that the tests see what the user is told.
    int32_t Read(Prefs* prefs) {
        PrefsReadNotes notes{};
        PrefsEntryTarget target{prefs, &notes};
        int32_t status = Ui_Prefs_ReadAll(state_, path_.c_str(), nullptr, ReadPrefEntry,
                                          WritePrefEntries, &target);
        ShowNotices(notes);
        return status;
    }
    // Hands one entry to the reader, as the container would after converting it.
    template <typename T>
    int32_t OfferValues(Prefs* prefs, uint16_t tag, uint16_t type, const std::vector<T>& values) {
        PrefsReadNotes notes{};
        int32_t status = ReadPrefEntryInto(prefs, state_, tag, type, uint32_t(values.size()),
                                           values.data(), &notes);
        ShowNotices(notes);
        return status;
    }
    void ShowNotices(const PrefsReadNotes& notes) {
        Ui_Failure notice;
        for (int32_t i = 0; PrefsReadNotice(&notes, i, &notice); ++i) {
            Ui_Failure_Show(state_, &notice);
        }
    }

    std::string path_;
};

// A record with every stored field away from its default and within range; values chosen to be
// exact in the stored float form.
void FillPrefs(Prefs* p) {
    for (uint8_t* flag :
         {&p->liveSliders, &p->keenhueMode, &p->useLargestWindow, &p->showSampledRegion,
          &p->showMethodMenu, &p->showCurveControl, &p->altOkCyclesMode, &p->showPixelValues,
          &p->embedProfile, &p->preserveExif, &p->saveInSourceFolder, &p->useFileExtensions,
          &p->lowerCaseExtensions, &p->showStartUpGuide, &p->previewSharpening, &p->previewNoise,
          &p->startAllSame}) {
        *flag = uint8_t(1 - *flag);
    }
    int n = 0;
    for (char* text : {p->outputFolder, p->missingProfilePath, p->standalonePaths[0],
                       p->embeddedProfilePath, p->standalonePaths[1], p->standalonePaths[2],
                       p->standalonePaths[3], p->customName, p->customFolder}) {
        std::snprintf(text, 256, "/home/user/%d/", n++);
    }
    std::strcpy(p->fileSuffix, "-a-suffix-of-19-ch");
    std::strcpy(p->filePrefix, "pre-");
    p->gridLevel = 3, p->sampleSize = 1, p->readoutMode = 2, p->okMode = 3, p->startWith = 1;
    p->workingSpaceChoice = 4, p->missingProfilePolicy = 2, p->standaloneValues[2] = 2;
    p->embeddedProfilePolicy = 1, p->standaloneValues[3] = 1, p->outputFormat = 9,
    p->outputNaming = 1;
    p->standaloneValues[0] = -123456, p->standaloneValues[1] = 987654;
    p->keenhueMask = 65087, p->memoryColorMask = 1024;
    p->preferredSaturation = 0.625f, p->jpegQuality = 0.75f;
    p->memoryColors[0].mcHue = 12.5f;
    p->memoryColors[2].mcHueSlope = -0.75f;  // -0.7 is not exact in the stored form
    p->memoryColors[3] = {1, {}, 99.5f, 359.5f, 0.25f, "My Colour", "M", 0};
    p->sharpenNoise = {1, {}, 24, -1, 1, {}, 0, {}, {0, 16, 3, 0}, {0, 50, 1, 0}, 4};
    p->colorDefs = {{0.25f, 0.5f, 0.75f}, {0.125f, 0.5f, 1.0f}, {0.0f, 0.5f, 0.875f}};
    const int32_t tools[4] = {0, 1, 3, 2};
    std::memcpy(p->startTool, tools, sizeof tools);
    p->lastTab = 2, p->lastMethod = 3, p->windowWidth = 1400, p->windowHeight = 900;
    p->threads = 12;
    edit_testing::FillPars(&p->customSettings, 21);
    edit_testing::FillPars(&p->previousSettings, 22);
    // What reading gives back for stored copies: new balance tables are due.
    p->customSettings.balCurveValid = 0;
    p->previousSettings.balCurveValid = 0;
}

// Offset of the first byte where two records differ, or -1.
long FirstDifference(const Prefs& a, const Prefs& b) {
    const auto* x = reinterpret_cast<const uint8_t*>(&a);
    const auto* y = reinterpret_cast<const uint8_t*>(&b);
    for (size_t i = 0; i < sizeof a; ++i) {
        if (x[i] != y[i]) return long(i);
    }
    return -1;
}

TEST_F(PrefsTest, DefaultsAndEveryEntrySurviveTheRoundTrip) {
    auto prefs = NewDefaultPrefs();
    ASSERT_EQ(Read(prefs.get()), 0);  // no file yet: the defaults are written
    ASSERT_TRUE(testing_support::FileExists(path_));
    std::string first = ReadFile(path_);
    auto again = NewDefaultPrefs();
    ASSERT_EQ(Read(again.get()), 0);
    EXPECT_TRUE(LogLinesWith("invalid").empty());
    EXPECT_EQ(edit_testing::PrefsOutOfRange(*again), "");
    // The stored float form keeps 23 bits, so values such as 0.8 come back a little off; what
    // was read must write the very same file again.
    ASSERT_EQ(Write(again.get()), 0);
    EXPECT_EQ(ReadFile(path_), first);
    EXPECT_NEAR(again->preferredSaturation, 0.8f, 1e-6);
    EXPECT_EQ(again->previousSettings.refRGB.primaries[0], 0.64f);
    EXPECT_NEAR(again->customSettings.refRGB.gamma, 2.2f, 1e-6);
    EXPECT_STREQ(again->memoryColors[2].name, "Blue Sky");

    FillPrefs(prefs.get());
    ASSERT_EQ(edit_testing::PrefsOutOfRange(*prefs), "");
    ASSERT_EQ(Write(prefs.get()), 0);
    auto back = NewDefaultPrefs();
    ASSERT_EQ(Read(back.get()), 0);
    EXPECT_TRUE(Alerts().empty());
    EXPECT_EQ(FirstDifference(*back, *prefs), -1);
}

// The file is the same on every system, so that a user's preferences move between them: the
// filled record written here gives, byte for byte, the file the Linux build wrote for the same
// record (data/prefs-filled.bin; with KOLMARA_PREFS_FIXTURE_OUT set, the file written is copied
// there, which is how it was made), and that file reads back as the record. Run on both systems,
// each reads the other's file.
TEST_F(PrefsTest, TheFileIsTheSameOnEverySystemAndEachReadsTheOthers) {
    auto prefs = NewDefaultPrefs();
    FillPrefs(prefs.get());
    // A Windows path is text like any other; the neutral's colour is one no float form keeps
    // exactly, so both systems round it alike.
    std::strcpy(prefs->customFolder, "C:\\Users\\Ana\\Kolmara settings\\");
    prefs->colorDefs.neutral[1] = 0.1f;
    ASSERT_EQ(Write(prefs.get()), 0);
    const std::string written = ReadFile(path_);
    if (const char* out = std::getenv("KOLMARA_PREFS_FIXTURE_OUT")) WriteFile(out, written);
    const std::string made = ReadFile(KOLMARA_EDIT_TEST_DATA "/prefs-filled.bin");
    ASSERT_GT(made.size(), 8000u);  // the file is there: every entry, the settings included
    EXPECT_EQ(written.size(), made.size());
    size_t first = 0;
    while (first < written.size() && first < made.size() && written[first] == made[first]) ++first;
    EXPECT_EQ(first, made.size()) << "the files differ from byte " << first;

    WriteFile(path_, made);
    auto back = NewDefaultPrefs();
    ASSERT_EQ(Read(back.get()), 0);
    EXPECT_TRUE(Alerts().empty());
    // What reading gives for the neutral's colour is the stored value, not the one written.
    prefs->colorDefs.neutral[1] = back->colorDefs.neutral[1];
    EXPECT_NEAR(back->colorDefs.neutral[1], 0.1f, 1e-6);
    EXPECT_EQ(FirstDifference(*back, *prefs), -1);
}

TEST_F(PrefsTest, EntriesAreStoredInTheirExactForm) {
    auto prefs = NewDefaultPrefs();
    ASSERT_EQ(Write(prefs.get()), 0);
    std::map<int, StoredEntry> byTag;
    for (const StoredEntry& e : ParseFile(ReadFile(path_))) byTag[e.tag] = e;
    EXPECT_EQ(byTag.size(), 66u);
    // Version, then 55 ("Keenhue Mode" on) and 52 (sample size 2) as the first owner entries.
    EXPECT_EQ(ReadFile(path_).substr(0, 33),
              std::string("\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00\x01"
                          "\x00\x37\x00\x00\x00\x00\x00\x01\x01"
                          "\x00\x34\x00\x02\x00\x00\x00\x01\x00\x00\x00\x02",
                          33));
    // 0.8 = 0.8 x 2^0: mantissa round(0.8000000119 x 2^23) = 6710887 = 0x666667.
    EXPECT_EQ(byTag[54].type, 3);
    EXPECT_EQ(byTag[54].data, std::string("\x00\x66\x66\x67", 4));
    // Last noise settings: off, flag on, radii 0 8 4, thresholds 0 16 16, k 4.
    EXPECT_EQ(byTag[103].type, 2);
    const uint32_t noise[9] = {0, 1, 0, 8, 4, 0, 16, 16, 4};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(Be(byTag[103].data, 4 * i, 4), noise[i]) << i;
    EXPECT_EQ(byTag[102].data, std::string("\0\0\0\0\0\0\0\x06\xff\xff\xff\xff", 12));
    // Strings keep their full field; the suffix is "-xT" then zeros.
    EXPECT_EQ(byTag[75].data, std::string("-xT") + std::string(17, '\0'));
    EXPECT_EQ(byTag[95].count, 256u);
    EXPECT_EQ(byTag[63].data.substr(0, 23),
              std::string("Skin") + std::string(17, '\0') + "S" + std::string(1, '\0'));
}

#define AT(field) offsetof(Prefs, field)

TEST_F(PrefsTest, OutOfRangeValuesTakeTheirFallbackWithANotice) {
    struct Case {
        uint16_t tag;
        int32_t value;  // bool and int entries
        size_t offset;
        int32_t fallback;
        bool isBool;
    } cases[] = {
        {50, 2, AT(liveSliders), 1, true},
        {66, 255, AT(showMethodMenu), 0, true},
        {111, 7, AT(startAllSame), 0, true},
        {51, 8, AT(gridLevel), 7, false},
        {52, -1, AT(sampleSize), 0, false},
        {64, 4, AT(startWith), 0, false},
        {70, 15, AT(workingSpaceChoice), 13, false},
        {81, 0, AT(standaloneValues[2]), 1, false},
        {88, 5, AT(outputFormat), 0, false},
        {98, 65088, AT(keenhueMask), 64564, false},
        {98, -1, AT(keenhueMask), 64564, false},
        {115, 9, AT(startTool[3]), 0, false},
        {201, 4, AT(lastTab), 0, false},
        {202, 0, AT(lastMethod), 1, false},
        {203, -640, AT(windowWidth), 0, false},
        {205, 65, AT(threads), 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        auto prefs = NewDefaultPrefs();
        ClearAlerts();
        int32_t status = c.isBool ? OfferValues<uint8_t>(prefs.get(), c.tag, 0, {uint8_t(c.value)})
                                  : OfferValues<int32_t>(prefs.get(), c.tag, 2, {c.value});
        EXPECT_EQ(status, 0);
        const uint8_t* field = reinterpret_cast<const uint8_t*>(prefs.get()) + c.offset;
        int32_t stored = c.isBool ? *field : *reinterpret_cast<const int32_t*>(field);
        EXPECT_EQ(stored, c.fallback);
        ASSERT_EQ(Alerts().size(), 1u);
        EXPECT_EQ(Alerts()[0], "An unsupported feature was encountered while reading preference " +
                                   std::to_string(c.tag) + ", using default value.");
    }
}

TEST_F(PrefsTest, FloatEntriesRepairedIncludingNonNumbers) {
    auto prefs = NewDefaultPrefs();
    EXPECT_EQ(OfferValues<float>(prefs.get(), 54, 3, {NAN}), 0);
    EXPECT_EQ(prefs->preferredSaturation, 0.8f);
    EXPECT_EQ(OfferValues<float>(prefs.get(), 78, 3, {1.5f}), 0);
    EXPECT_EQ(prefs->jpegQuality, 1.0f);
    EXPECT_EQ(Alerts().size(), 2u);
    // An RGB triple is replaced whole and logged.
    EXPECT_EQ(OfferValues<float>(prefs.get(), 104, 3, {0.5f, 1.25f, 0.0f}), 0);
    for (float c : prefs->colorDefs.sepia) EXPECT_EQ(c, 0.5f);
    EXPECT_EQ(LogLinesWith("RGB value in the preferences file is invalid: 0.500000 1.250000 "
                           "0.000000")
                  .size(),
              1u);
    EXPECT_EQ(Alerts().back(),
              "An unsupported feature was encountered while reading preference "
              "104, using default value.");
    // Values in range are kept silently, also in the decimal float form (type 4).
    EXPECT_EQ(OfferValues<float>(prefs.get(), 105, 3, {0.25f, 0.0f, 1.0f}), 0);
    EXPECT_EQ(prefs->colorDefs.neutral[0], 0.25f);
    EXPECT_EQ(OfferValues<float>(prefs.get(), 54, 4, {0.25f}), 0);
    EXPECT_EQ(prefs->preferredSaturation, 0.25f);
    EXPECT_EQ(Alerts().size(), 3u);
}

TEST_F(PrefsTest, SharpenAndNoiseAreRepairedFieldByField) {
    auto prefs = NewDefaultPrefs();
    EXPECT_EQ(OfferValues<int32_t>(prefs.get(), 102, 2, {5, 25, 0}), 0);
    EXPECT_EQ(OfferValues<int32_t>(prefs.get(), 103, 2, {1, 0, 3, 16, 2, 1, 50, 51, 5}), 0);
    // Flags are any non-zero number; each bad field takes its default.
    const SharpenNoise expected = {1, {}, 6, -1, 1, {}, 0, {}, {0, 16, 4, 0}, {0, 50, 16, 0}, 4};
    EXPECT_EQ(std::memcmp(&prefs->sharpenNoise, &expected, sizeof expected), 0);
    EXPECT_EQ(Alerts().size(), 2u);
    EXPECT_EQ(OfferValues<int32_t>(prefs.get(), 102, 2, {0, 24, -1}), 0);
    EXPECT_EQ(Alerts().size(), 2u);
}

TEST_F(PrefsTest, WrongCountOrTypeIsRefusedAndUnknownTagsSkipped) {
    auto prefs = NewDefaultPrefs();
    EXPECT_EQ(OfferValues<int32_t>(prefs.get(), 51, 2, {3, 3}), -8);
    EXPECT_EQ(prefs->gridLevel, 7);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(Alerts()[0], "A data format error occurred while reading preference 51.");
    EXPECT_EQ(OfferValues<uint8_t>(prefs.get(), 51, 0, {3}), -8);  // a byte where an int belongs
    EXPECT_EQ(OfferValues<int16_t>(prefs.get(), 54, 1, {3}), -8);
    EXPECT_EQ(OfferValues<float>(prefs.get(), 109, 3, std::vector<float>(609, 0.5f)), -8);
    EXPECT_EQ(OfferValues<float>(prefs.get(), 93, 3, std::vector<float>(629, 0.5f)), -8);
    EXPECT_EQ(OfferValues<uint8_t>(prefs.get(), 74, 0, {}), -8);
    EXPECT_EQ(Alerts().size(), 6u);
    ClearAlerts();
    for (uint16_t tag : {0, 1, 49, 65, 87, 92, 101, 116, 9999}) {
        EXPECT_EQ(OfferValues<int32_t>(prefs.get(), tag, 2, {1}), 0) << tag;
    }
    EXPECT_TRUE(Alerts().empty());
    auto expected = NewDefaultPrefs();
    EXPECT_EQ(FirstDifference(*prefs, *expected), -1);
}

TEST_F(PrefsTest, TextEntriesAlwaysEndInATerminator) {
    auto prefs = NewDefaultPrefs();
    EXPECT_EQ(OfferValues<uint8_t>(prefs.get(), 75, 0, std::vector<uint8_t>(20, 'a')), 0);
    EXPECT_EQ(std::string(prefs->fileSuffix), std::string(19, 'a'));
    EXPECT_EQ(OfferValues<uint8_t>(prefs.get(), 95, 0, std::vector<uint8_t>(256, 'b')), 0);
    EXPECT_EQ(std::strlen(prefs->customFolder), 255u);
}

TEST_F(PrefsTest, OlderEntriesFillTheSameFields) {
    auto prefs = NewDefaultPrefs();
    EditPars older;
    edit_testing::FillPars(&older, 31);
    std::vector<float> v(629);
    ASSERT_EQ(ParsToVector(&older, v.data(), 629), 0);
    v.resize(609);
    EXPECT_EQ(OfferValues<float>(prefs.get(), 93, 3, v), 0);
    EXPECT_EQ(OfferValues<float>(prefs.get(), 100, 3, v), 0);
    for (const EditPars* p : {&prefs->customSettings, &prefs->previousSettings}) {
        EXPECT_EQ(p->hue[2].baseHue, older.hue[2].baseHue);
        EXPECT_EQ(p->toneColor[0], 0.5f);  // not in the older form
    }
    // Entry 60: three slots of (chroma, hue, slope), all marked defined.
    prefs->memoryColors[2].defined = 0;
    EXPECT_EQ(OfferValues<float>(prefs.get(), 60, 3,
                                 {10, 20, 0.5f, 30, 40, -0.5f, 50, 60, 0.25f, 0, 0, 0}),
              0);
    EXPECT_EQ(prefs->memoryColors[2].defined, 1);
    EXPECT_EQ(prefs->memoryColors[2].mcHue, 60.0f);
    EXPECT_EQ(prefs->memoryColors[1].mcChroma, 30.0f);
    EXPECT_TRUE(Alerts().empty());
}

TEST_F(PrefsTest, DamagedFileStopsAtTheBadEntryKeepingWhatCameBefore) {
    auto prefs = NewDefaultPrefs();
    ASSERT_EQ(Write(prefs.get()), 0);
    std::string bytes = ReadFile(path_);
    // Version, 51 = 9 (repaired, reading goes on), 53 = 2, 52 with two values (refused).
    std::string file = bytes.substr(0, 12);
    file += std::string("\x00\x33\x00\x02\x00\x00\x00\x01\x00\x00\x00\x09", 12);
    file += std::string("\x00\x35\x00\x02\x00\x00\x00\x01\x00\x00\x00\x02", 12);
    file += std::string("\x00\x34\x00\x02\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00\x01", 16);
    file += std::string("\x00\x3a\x00\x00\x00\x00\x00\x01\x01", 9);
    file += std::string("\x00\x01\x00\x00\x00\x00\x00\x00", 8);
    WriteFile(path_, file);
    auto back = NewDefaultPrefs();
    EXPECT_EQ(Read(back.get()), -8);
    EXPECT_EQ(back->gridLevel, 7);
    EXPECT_EQ(back->readoutMode, 2);
    EXPECT_EQ(back->sampleSize, 2);
    EXPECT_EQ(back->useLargestWindow, 0);  // after the refused entry: never reached
    ASSERT_EQ(Alerts().size(), 2u);
    EXPECT_NE(Alerts()[0].find("reading preference 51, using default value"), std::string::npos);
    EXPECT_NE(Alerts()[1].find("reading preference 52."), std::string::npos);
}

TEST_F(PrefsTest, CallbacksNeedARecord) {
    int32_t v = 1;
    FLFile file;
    PrefsEntryTarget none{nullptr, nullptr};
    for (PrefsEntryTarget* target : {static_cast<PrefsEntryTarget*>(nullptr), &none}) {
        EXPECT_EQ(ReadPrefEntry(target, state_, 51, 2, 1, &v), -1);
        EXPECT_EQ(WritePrefEntries(target, state_, &file), -1);
    }
    EXPECT_EQ(SetPrefsDefaults(nullptr), -1);
}

TEST_F(PrefsTest, MemoryColourHueJustBelow360IsStoredAsTheSameAngle) {
    auto prefs = NewDefaultPrefs();
    prefs->memoryColors[4] = {1, {}, 10.0f, 359.99997f, 0.0f, "Edge", "E", 0};
    ASSERT_EQ(Write(prefs.get()), 0);
    auto back = NewDefaultPrefs();
    ASSERT_EQ(Read(back.get()), 0);
    EXPECT_TRUE(Alerts().empty());
    EXPECT_EQ(back->memoryColors[4].defined, 1);
    EXPECT_EQ(back->memoryColors[4].mcHue, 0.0f);
    EXPECT_STREQ(back->memoryColors[4].name, "Edge");
}

TEST(StartModes, ListPositionsMapBothWays) {
    const int32_t modes[6] = {-1, 0, 1, 3, 2, -1};
    for (int32_t position = 0; position <= 5; ++position) {
        int32_t mode = -1, back = -1;
        EXPECT_EQ(StartModeFromListPosition(position, &mode), modes[position] < 0 ? -1 : 0);
        if (modes[position] < 0) continue;
        EXPECT_EQ(mode, modes[position]);
        ASSERT_EQ(StartModeToListPosition(mode, &back), 0);
        EXPECT_EQ(back, position);
    }
    int32_t out;
    EXPECT_EQ(StartModeToListPosition(4, &out), -1);
    EXPECT_EQ(StartModeToListPosition(-1, &out), -1);
    EXPECT_EQ(StartModeFromListPosition(1, nullptr), -1);
}

}  // namespace
