// Short fuzz runs of everything that reads outside data: preference entries one by one, whole
// damaged preferences files through the container, and the two small text files. Nothing may
// crash and every field must be in range afterwards.
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "edit/color_defs.h"
#include "edit/memory_colors.h"
#include "edit/pars_vector.h"
#include "edit/prefs.h"
#include "platform/prefs_file.h"
#include "tests/edit/edit_test_support.h"

namespace {

using edit_testing::NewDefaultPrefs;
using edit_testing::PrefsOutOfRange;
using testing_support::PlatformTest;
using testing_support::ReadFile;
using testing_support::WriteFile;

// Floats a hostile file likes to carry, mixed with plausible ones.
float NastyFloat(std::mt19937& rng) {
    static const float kSpecial[] = {
        NAN,    INFINITY, -INFINITY,     -1.0f,  0.0f,   -0.0f, 1.0f,  0.5f,  360.0f, 1e30f,
        -1e30f, 3e9f,     2147483648.0f, 1e-40f, 180.0f, 4.0f,  16.0f, 24.0f, -1e-7f, 0.9999999f};
    uint32_t pick = rng() % 4;
    if (pick == 0) return kSpecial[rng() % (sizeof kSpecial / sizeof kSpecial[0])];
    if (pick == 1) {
        uint32_t bits = rng();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    return std::uniform_real_distribution<float>(-2.0f, 400.0f)(rng);
}

int32_t NastyInt(std::mt19937& rng) {
    static const int32_t kSpecial[] = {0,  1,  -1, 2,  3,     4,     7,         8,        9,
                                       24, 25, 50, 51, 65087, 65088, INT32_MIN, INT32_MAX};
    return rng() % 2 ? kSpecial[rng() % (sizeof kSpecial / sizeof kSpecial[0])] : int32_t(rng());
}

// The count and element type each tag expects (0 for tags the plug-in does not know).
void Expected(uint16_t tag, uint32_t* count, uint16_t* type) {
    static const std::pair<int, std::pair<uint32_t, uint16_t>> kTable[] = {
        {60, {12, 3}},   {62, {24, 3}},   {63, {138, 0}},  {74, {256, 0}}, {75, {20, 0}},
        {80, {256, 0}},  {82, {256, 0}},  {84, {256, 0}},  {86, {256, 0}}, {90, {256, 0}},
        {91, {256, 0}},  {93, {609, 3}},  {94, {256, 0}},  {95, {256, 0}}, {97, {20, 0}},
        {100, {609, 3}}, {102, {3, 2}},   {103, {9, 2}},   {104, {3, 3}},  {105, {3, 3}},
        {108, {3, 3}},   {109, {629, 3}}, {110, {629, 3}}, {54, {1, 3}},   {78, {1, 3}}};
    const int bools[] = {50, 55, 58, 59, 66, 67, 68, 69, 71, 72, 73, 76, 77, 89, 106, 107, 111};
    *count = 1;
    *type = 2;
    for (auto& [t, ct] : kTable) {
        if (t == tag) {
            *count = ct.first;
            *type = ct.second;
            return;
        }
    }
    for (int b : bools) {
        if (b == tag) *type = 0;
    }
}

TEST(EditFuzz, RandomEntriesNeverLeaveAFieldOutOfRange) {
    std::mt19937 rng(20240611);
    auto prefs = NewDefaultPrefs();
    PrefsReadNotes notes{};  // thousands of repairs: far more than it keeps
    for (int round = 0; round < 6000; ++round) {
        uint16_t tag = uint16_t(45 + rng() % 75);
        uint32_t count;
        uint16_t type;
        Expected(tag, &count, &type);
        if (rng() % 5 == 0) count = rng() % 700;  // mostly the right shape, sometimes not
        if (rng() % 7 == 0) type = uint16_t(rng() % 5);
        if (type == 3 && rng() % 3 == 0) type = 4;
        uint32_t size = type == 0 ? 1 : type == 1 ? 2 : 4;
        std::vector<uint8_t> data(size_t(count) * size + 1);
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* at = data.data() + size_t(i) * size;
            if (type == 3 || type == 4) {
                float f = NastyFloat(rng);
                std::memcpy(at, &f, 4);
            } else if (type == 2) {
                int32_t v = NastyInt(rng);
                std::memcpy(at, &v, 4);
            } else {
                for (uint32_t b = 0; b < size; ++b) at[b] = uint8_t(rng() % 3 ? rng() % 3 : rng());
            }
        }
        // Some vectors start from a good record so that deeper checks are reached.
        if ((tag == 109 || tag == 110) && count == 629 && type == 3 && rng() % 2) {
            EditPars p;
            edit_testing::FillPars(&p, round);
            std::vector<float> v(629);
            ParsToVector(&p, v.data(), 629);
            v[rng() % 629] = NastyFloat(rng);
            std::memcpy(data.data(), v.data(), 629 * 4);
        }
        ReadPrefEntryInto(prefs.get(), nullptr, tag, type, count, count ? data.data() : nullptr,
                          &notes);
        std::string bad = PrefsOutOfRange(*prefs);
        ASSERT_EQ(bad, "") << "round " << round << " tag " << tag;
    }
    EXPECT_GT(notes.repairs, kPrefsNotedRepairs);
}

class EditFileFuzz : public PlatformTest {};

TEST_F(EditFileFuzz, DamagedPreferencesFilesReadSafely) {
    std::mt19937 rng(77);
    std::string path = root_ + "/prefs.bin";
    auto prefs = NewDefaultPrefs();
    edit_testing::FillPars(&prefs->customSettings, 5);
    PrefsEntryTarget target{prefs.get(), nullptr};
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path.c_str(), nullptr, WritePrefEntries, &target), 0);
    const std::string good = ReadFile(path);
    for (int round = 0; round < 150; ++round) {
        std::string bytes = good;
        if (round % 3 == 0) {
            bytes.resize(rng() % bytes.size());  // truncated
        } else if (round % 3 == 1) {
            for (int i = 0; i < 1 + int(rng() % 8); ++i) bytes[rng() % bytes.size()] = char(rng());
        } else {
            for (size_t i = 12 + rng() % 200; i < bytes.size(); i += 1 + rng() % 400) {
                bytes[i] = char(rng());
            }
        }
        WriteFile(path, bytes);
        auto read = NewDefaultPrefs();
        target.prefs = read.get();
        Ui_Prefs_ReadAll(nullptr, path.c_str(), nullptr, ReadPrefEntry, WritePrefEntries, &target);
        ASSERT_EQ(PrefsOutOfRange(*read), "") << "round " << round;
    }
}

TEST_F(EditFileFuzz, TextFileReadersRefuseOrStayInRange) {
    std::mt19937 rng(5);
    std::string path = root_ + "/text.txt";
    const char* seeds[] = {"1  45  32  0.0 Skin\nS\n", "0 100 -100\n",
                           "1 258 40 -0.7 Blue Sky\nB\n"};
    const char alphabet[] = "0123456789 -.\n\r\t1abc\x7f\x01";
    for (int round = 0; round < 400; ++round) {
        std::string text = seeds[round % 3];
        int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            size_t at = rng() % (text.size() + 1);
            char c = rng() % 8 ? alphabet[rng() % (sizeof alphabet - 1)] : char(rng());
            if (rng() % 2 && at < text.size()) {
                text[at] = c;
            } else {
                text.insert(at, 1 + rng() % 40, c);
            }
        }
        WriteFile(path, text);
        float rgb[3] = {0.5f, 0.5f, 0.5f};
        int32_t status = ReadColorDefFile(path.c_str(), rgb);
        ASSERT_TRUE(status == 0 || status == -8) << text;
        for (float c : rgb) ASSERT_TRUE(0.0f <= c && c <= 1.0f) << text;

        MemoryColor m;
        MemoryColorSetDefault(0, &m);
        status = ReadMemoryColorFile(path.c_str(), &m);
        ASSERT_TRUE(status == 0 || status == -8) << text;
        ASSERT_EQ(m.defined, 1);
        ASSERT_TRUE(0.0f <= m.mcHue && m.mcHue < 360.0f) << text;
        ASSERT_TRUE(0.0f <= m.mcChroma && m.mcChroma <= 100.0f) << text;
        ASSERT_TRUE(-1.0f <= m.mcHueSlope && m.mcHueSlope <= 1.0f) << text;
        ASSERT_LE(std::strlen(m.name), 20u);
        ASSERT_LE(std::strlen(m.label), 1u);
        for (const char* p = m.name; *p; ++p) ASSERT_GE(static_cast<unsigned char>(*p), 32u);
    }
}

}  // namespace
