// The custom settings text file: its exact lines, round trips, older files and every refusal.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "edit/pars_text.h"
#include "edit/settings_text.h"
#include "engine/working_space.h"
#include "tests/edit/edit_test_support.h"

namespace {

using edit_testing::EditTest;
using edit_testing::FillPars;
using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string Join(const std::vector<std::string>& lines, size_t count = SIZE_MAX) {
    std::string text;
    for (size_t i = 0; i < count && i < lines.size(); ++i) text += lines[i] + "\n";
    return text;
}

// The fields the file carries (the derived tables and the sharpen values excluded).
void ExpectSameColourFields(const EditPars& a, const EditPars& b) {
    EXPECT_EQ(a.linear, b.linear);
    EXPECT_EQ(std::memcmp(a.balBin, b.balBin, sizeof a.balBin), 0);
    EXPECT_EQ(std::memcmp(a.neutralTarget, b.neutralTarget, sizeof a.neutralTarget), 0);
    EXPECT_EQ(std::memcmp(&a.blackPoint, &b.blackPoint, 8 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(a.hue, b.hue, sizeof a.hue), 0);
    EXPECT_EQ(std::memcmp(a.toneColor, b.toneColor, sizeof a.toneColor), 0);
    EXPECT_EQ(std::memcmp(&a.refRGB, &b.refRGB, sizeof a.refRGB), 0);
}

class SettingsText : public EditTest {
   protected:
    void SetUp() override {
        EditTest::SetUp();
        written_ = std::make_unique<EditPars>();
        read_ = std::make_unique<EditPars>();
        FillPars(written_.get(), 3);
        SetParsDefaults(read_.get());
        path_ = root_ + "/custom.txt";
        FLSpecDisk(&spec_, path_.c_str());
    }
    // Writes text as the file and reads it with the colour part only.
    int32_t ReadText(const std::string& text) {
        WriteFile(path_, text);
        return HgReadSettings(read_.get(), &spec_);
    }
    std::unique_ptr<EditPars> written_, read_;
    std::string path_;
    FLSpec spec_;
};

TEST_F(SettingsText, WritesTheDocumentedLines) {
    EditPars p;
    SetParsDefaults(&p);
    ASSERT_EQ(WriteParsText(&p, path_.c_str()), 0);
    std::vector<std::string> lines = Lines(ReadFile(path_));
    ASSERT_EQ(lines.size(), 159u);
    EXPECT_EQ(ReadFile(path_).find('\r'), std::string::npos);
    const std::pair<size_t, const char*> expected[] = {
        {0, "v5"},
        {1, "0"},
        {2, "0.000000 0.000000 0.000000 0"},
        {22, "0.000000 0.500000 1.000000"},
        {24 + 21 * 5, "300.000000 0.000000 0.500000 0.500000 11"},
        {151, "0.640000 0.330000 0.300000 0.600000 0.150000 0.060000"},
        {153, "0.500000 0.500000 0.500000"},
        {154, "-----"},
        {155, "0 6 -1"},
        {156, "0 1 4"},
        {158, "0 16 16 0"},
    };
    for (auto [at, text] : expected) EXPECT_EQ(lines[at], text) << at;
}

TEST_F(SettingsText, RoundTripRestoresEveryWrittenField) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        FillPars(written_.get(), seed);
        ASSERT_EQ(WriteParsText(written_.get(), path_.c_str()), 0);
        EditPars back;
        SetParsDefaults(&back);
        ASSERT_EQ(ReadParsText(path_.c_str(), &back), 0);
        ExpectSameColourFields(*written_, back);
        EXPECT_EQ(std::memcmp(&back.sharpenNoise, &written_->sharpenNoise, sizeof(SharpenNoise)),
                  0);
        EXPECT_EQ(back.balCurveValid, 0);  // the bins are new: curves to be rebuilt
    }
    // Values that do not fall on six decimals come back to within half a millionth.
    written_->brightness = 0.123456789f;
    written_->hue[2].hueShift = -33.3333333f;
    ASSERT_EQ(HgWriteSettings(written_.get(), &spec_), 0);
    ASSERT_EQ(HgReadSettings(read_.get(), &spec_), 0);
    EXPECT_NEAR(read_->brightness, 0.123457f, 1e-7);
    EXPECT_NEAR(read_->hue[2].hueShift, -33.333333f, 4e-6);
}

TEST_F(SettingsText, OlderFilesStartWithLinearAndEndAfterThePrimaries) {
    ASSERT_EQ(HgWriteSettings(written_.get(), &spec_), 0);
    std::vector<std::string> lines = Lines(ReadFile(path_));
    std::vector<std::string> old(lines.begin() + 1, lines.begin() + 152);
    read_->toneColor[0] = 0.9f;
    ASSERT_EQ(ReadText(Join(old)), 0);
    EXPECT_EQ(read_->linear, 1);
    EXPECT_EQ(read_->neutralTarget[0], 0.0f);  // not in older files: the Reset values
    EXPECT_EQ(read_->toneColor[0], 0.5f);
    EXPECT_EQ(read_->hue[5].baseHue, written_->hue[5].baseHue);
    EXPECT_EQ(read_->refRGB.primaries[5], written_->refRGB.primaries[5]);
    // Line ends of any convention are read.
    std::string crlf;
    for (const std::string& line : lines) crlf += line + "\r\n";
    ASSERT_EQ(ReadText(crlf), 0);
    EXPECT_EQ(read_->toneColor[2], written_->toneColor[2]);
}

TEST_F(SettingsText, RefusesShortLinesMissingTailsAndBadValues) {
    ASSERT_EQ(HgWriteSettings(written_.get(), &spec_), 0);
    const std::vector<std::string> lines = Lines(ReadFile(path_));
    ASSERT_EQ(lines.size(), 154u);

    // A version-5 file that ends after the primaries.
    EXPECT_EQ(ReadText(Join(lines, 152)), -8);
    EXPECT_EQ(read_->refRGB.primaries[0], written_->refRGB.primaries[0]);  // read so far: kept
    // Three numbers where four are expected, a word for a number, an extra number (-8); values
    // that read well but fail the parameter check (-1).
    struct Edit {
        size_t line;
        std::string text;
        int32_t status;
    } edits[] = {{5, "0.5 0.5 0.5", -8},
                 {23, "0.5 0.5 0.5 0.5 abc", -8},
                 {24, "1 2 3 4 5.5", -8},
                 {150, "2.2 1 1 1 1", -8},
                 {152, "0 0", -8},
                 {1, "x", -8},
                 {2, "0.5 0.5 0.5 1e3", -8},
                 {3, "nan 0 0 1", -8},
                 {0, "", -8},
                 {22, "0.000000 1.500000 1.000000", -1},  // grey point above 1
                 {2, "0.1 0.1 0.1 -4", -1},               // a negative count
                 // What the preferences would not keep: a colorId beyond the twelve, a toning
                 // colour beyond 0..1.
                 {24, "0.000000 0.000000 0.500000 0.500000 12", -1},
                 {24, "0.000000 0.000000 0.500000 0.500000 -1", -1},
                 {153, "0.500000 1.500000 0.500000", -1}};
    for (const Edit& e : edits) {
        std::vector<std::string> changed = lines;
        changed[e.line] = e.text;
        EXPECT_EQ(ReadText(Join(changed)), e.status) << e.line << ": " << e.text;
    }
    EXPECT_EQ(ReadText(""), -8);

    FLSpec missing;
    FLSpecDisk(&missing, (root_ + "/none.txt").c_str());
    EXPECT_EQ(HgReadSettings(read_.get(), &missing), -4);
    EXPECT_EQ(HgReadSettings(nullptr, &missing), -1);
}

TEST_F(SettingsText, WritingRefusesRecordsItCouldNotReadBack) {
    WriteFile(path_, "keep me\n");
    written_->hue[1].hueShift = NAN;
    EXPECT_EQ(WriteParsText(written_.get(), path_.c_str()), -1);
    EXPECT_EQ(ReadFile(path_), "keep me\n");
    written_->hue[1].hueShift = 0.0f;
    written_->hue[4].colorId = 40;
    EXPECT_EQ(WriteParsText(written_.get(), path_.c_str()), -1);
    EXPECT_EQ(ReadFile(path_), "keep me\n");
    written_->hue[4].colorId = 3;
    written_->toneColor[2] = -0.25f;
    EXPECT_EQ(WriteParsText(written_.get(), path_.c_str()), -1);
    EXPECT_EQ(ReadFile(path_), "keep me\n");
    written_->toneColor[2] = 0.25f;
    written_->contrast = 1.5f;
    EXPECT_EQ(HgWriteSettings(written_.get(), &spec_), -1);
    EXPECT_EQ(WriteParsText(written_.get(), std::string(300, 'a').c_str()), -1);
    written_->contrast = 0.5f;
    EXPECT_EQ(WriteParsText(written_.get(), (root_ + "/no/such/folder/x.txt").c_str()), -4);
}

TEST_F(SettingsText, SharpenAndNoisePartIsReadWhenPresentAndRepaired) {
    ASSERT_EQ(WriteParsText(written_.get(), path_.c_str()), 0);
    const std::vector<std::string> lines = Lines(ReadFile(path_));
    EditPars back;
    SetParsDefaults(&back);
    back.sharpenNoise.sharpenStrength = 9;  // the values a file without the part leaves alone
    const EditPars untouched = back;
    auto readWith = [&](size_t line, const std::string& text) {
        std::vector<std::string> changed = lines;
        if (line < changed.size()) changed[line] = text;
        WriteFile(path_, Join(changed));
        return ReadParsText(path_.c_str(), &back);
    };

    // A damaged part (a short line in it, or the separator without its four lines), or a colour
    // part that fails: -8 and the record unchanged.
    EXPECT_EQ(readWith(157, "0 8 4"), -8);
    WriteFile(path_, Join(lines, 157));
    EXPECT_EQ(ReadParsText(path_.c_str(), &back), -8);
    EXPECT_EQ(readWith(30, "1 2"), -8);
    EXPECT_EQ(std::memcmp(&back, &untouched, sizeof back), 0);

    // The colour lines alone, of version 5 or of an older file without the version line: the
    // colours are loaded, sharpening and noise removal stay as they were.
    WriteFile(path_, Join(lines, 154));
    ASSERT_EQ(ReadParsText(path_.c_str(), &back), 0);
    ExpectSameColourFields(*written_, back);
    EXPECT_EQ(std::memcmp(&back.sharpenNoise, &untouched.sharpenNoise, sizeof(SharpenNoise)), 0);
    back = untouched;
    std::vector<std::string> old(lines.begin() + 1, lines.begin() + 152);
    WriteFile(path_, Join(old));
    ASSERT_EQ(ReadParsText(path_.c_str(), &back), 0);
    EXPECT_EQ(back.hue[3].baseHue, written_->hue[3].baseHue);
    EXPECT_EQ(back.toneColor[0], 0.5f);
    EXPECT_EQ(std::memcmp(&back.sharpenNoise, &untouched.sharpenNoise, sizeof(SharpenNoise)), 0);

    // Lines between the colour part and the separator are skipped; flags are any non-zero
    // number; a value outside what the preferences accept takes its default (-9).
    std::vector<std::string> changed = lines;
    changed.insert(changed.begin() + 154, "a note");
    changed[155 + 1] = "7 40 -1";
    changed[155 + 2] = "0 -3 4";
    WriteFile(path_, Join(changed));
    EXPECT_EQ(ReadParsText(path_.c_str(), &back), -9);
    EXPECT_EQ(back.sharpenNoise.sharpenOn, 1);
    EXPECT_EQ(back.sharpenNoise.sharpenStrength, 6);
    EXPECT_EQ(back.sharpenNoise.noiseFlag, 1);
    ExpectSameColourFields(*written_, back);
}

TEST_F(SettingsText, ExtremeValuesReadBackAsWritten) {
    // Every value the record may hold is written so that it reads back: counts and noise values
    // at the ends of 32 bits, sums and shifts far beyond 2^31.
    written_->balBin[4].count = INT32_MAX;
    written_->balBin[7].sum[2] = FLT_MAX;
    written_->hue[2].hueShift = -FLT_MAX;
    written_->hue[3].hueShift = 3.0e9f;
    written_->hue[5].hueBin[19].count = INT32_MAX;
    written_->neutralTarget[1] = 1.5e20f;
    written_->sharpenNoise.noiseRadius[3] = INT32_MIN;
    written_->sharpenNoise.noiseThreshold[3] = INT32_MAX;
    ASSERT_EQ(WriteParsText(written_.get(), path_.c_str()), 0);
    EditPars back;
    SetParsDefaults(&back);
    ASSERT_EQ(ReadParsText(path_.c_str(), &back), 0);
    ExpectSameColourFields(*written_, back);
    EXPECT_EQ(std::memcmp(&back.sharpenNoise, &written_->sharpenNoise, sizeof(SharpenNoise)), 0);
    // Beyond 32 bits an integer is no count: refused, not wrapped into a small one.
    std::vector<std::string> lines = Lines(ReadFile(path_));
    lines[2] = "0.5 0.5 0.5 2147483648";
    EXPECT_EQ(ReadText(Join(lines)), -8);
}

TEST_F(SettingsText, LinesAreReadWholeUpToTheirLimitAndLongerOnesRefused) {
    ASSERT_EQ(HgWriteSettings(written_.get(), &spec_), 0);
    std::vector<std::string> lines = Lines(ReadFile(path_));
    // The tone-point line padded with leading zeros to exactly 1024 characters: its last
    // character is the white point's one significant digit.
    const std::string head = "0.000000 0.500000 ";
    lines[22] = head + std::string(kSettingsLineSize - head.size() - 1, '0') + "1";
    ASSERT_EQ(lines[22].size(), size_t(kSettingsLineSize));
    ASSERT_EQ(ReadText(Join(lines)), 0);
    EXPECT_EQ(read_->whitePoint, 1.0f);
    lines[22] = head + std::string(kSettingsLineSize - head.size(), '0') + "1";
    EXPECT_EQ(ReadText(Join(lines)), -8);
}

TEST_F(SettingsText, ReadingDerivesTheTablesOfTheSpaceItReads) {
    // The record held another working space; the tables the engine reads must be the file's.
    RefRGB other;
    ASSERT_EQ(HgDefaultReference(&other), 0);
    ASSERT_EQ(HgSetReference(read_.get(), &other), 0);
    ASSERT_EQ(HgWriteSettings(written_.get(), &spec_), 0);
    ASSERT_EQ(HgReadSettings(read_.get(), &spec_), 0);
    auto expected = std::make_unique<EditPars>(*read_);
    ASSERT_EQ(HgSetReference(expected.get(), &written_->refRGB), 0);
    EXPECT_EQ(std::memcmp(read_->refTables, expected->refTables, sizeof read_->refTables), 0);
    EXPECT_EQ(std::memcmp(read_->gammaTable, expected->gammaTable, sizeof read_->gammaTable), 0);
}

}  // namespace
