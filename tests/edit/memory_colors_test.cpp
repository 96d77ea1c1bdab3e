// Memory colours: validation of the stored entries, their names, and the memory-colour file.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "edit/memory_colors.h"
#include "tests/edit/edit_test_support.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

std::vector<float> ValuesOf(const MemoryColor* colors) {
    std::vector<float> v(24);
    EXPECT_EQ(MemoryColorsToValues(colors, v.data()), 0);
    return v;
}

class MemoryColorTest : public edit_testing::EditTest {
   protected:
    void SetUp() override {
        EditTest::SetUp();
        MemoryColorsSetDefaults(colors_);
        // A user's colour in slot 4, to see that later slots are kept or cleared.
        colors_[3] = {1, {}, 20.0f, 300.0f, 0.5f, "Sunset", "U", 0};
    }
    std::string Path(const char* name) const { return root_ + "/" + name; }

    MemoryColor colors_[6];
};

TEST_F(MemoryColorTest, BadSlotsAreRestoredOrClearedAndOnlyTheFirstIsLogged) {
    colors_[5] = {1, {}, 10.0f, 10.0f, 0.0f, "Old", "O", 0};
    std::vector<float> v = ValuesOf(colors_);
    v[4 * 1 + 2] = 360.0f;  // Foliage's hue: a default slot gets its default back
    std::strcpy(colors_[1].name, "Renamed");
    v[4 * 3 + 1] = 181.0f;  // slot 4: chroma; a user's slot is cleared
    v[4 * 4 + 0] = 1.0f;    // slot 5: a good new colour after the bad one is still taken
    v[4 * 4 + 1] = 50.0f;
    v[4 * 4 + 2] = 100.0f;
    v[4 * 5 + 3] = NAN;     // slot 6: a slope that is not a number
    v[4 * 2 + 0] = 0.4f;    // Blue Sky undefined (the flag is read as above 0.5): no repair
    v[4 * 0 + 1] = 180.0f;  // Skin at the ends of the ranges: taken as it is
    v[4 * 0 + 2] = 359.9f;
    ASSERT_EQ(MemoryColorsFromValues(v.data(), colors_, state_), -9);
    EXPECT_EQ(colors_[0].mcChroma, 180.0f);
    EXPECT_EQ(colors_[0].mcHue, 359.9f);
    EXPECT_EQ(colors_[2].defined, 0);
    EXPECT_EQ(colors_[1].mcHue, 120.0f);
    EXPECT_STREQ(colors_[1].name, "Foliage");
    EXPECT_EQ(colors_[3].defined, 0);
    EXPECT_STREQ(colors_[3].name, "");
    EXPECT_EQ(colors_[4].defined, 1);
    EXPECT_EQ(colors_[4].mcHue, 100.0f);
    EXPECT_EQ(colors_[5].defined, 0);
    EXPECT_STREQ(colors_[5].name, "");
    std::vector<std::string> log = LogLinesWith("Memory color");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0],
              "Memory color 1 in the preferences file is invalid: 1 40.000000 360.000000 "
              "-0.500000");

    // Numbers of an undefined slot only have to be harmless: rubbish becomes zero, silently.
    v = ValuesOf(colors_);
    v[4 * 5 + 2] = INFINITY;
    ASSERT_EQ(MemoryColorsFromValues(v.data(), colors_, state_), 0);
    EXPECT_EQ(colors_[5].mcHue, 0.0f);
}

TEST_F(MemoryColorTest, NamesAreCutAndCleaned) {
    std::vector<uint8_t> bytes(138, 0);
    std::memset(bytes.data(), 'x', 23);                // slot 1: 21 name bytes, 2 label bytes
    std::memcpy(bytes.data() + 23, "Gr\tass\x7f", 7);  // slot 2
    bytes[23 + 21] = '\n';
    ASSERT_EQ(MemoryColorsFromNames(bytes.data(), colors_), 0);
    EXPECT_EQ(std::string(colors_[0].name), std::string(20, 'x'));
    EXPECT_STREQ(colors_[0].label, "x");
    EXPECT_STREQ(colors_[1].name, "Gr ass ");
    EXPECT_STREQ(colors_[1].label, " ");
    std::vector<uint8_t> out(138);
    ASSERT_EQ(MemoryColorsToNames(colors_, out.data()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data()) + 23, 8),
              std::string("Gr ass \0", 8));
}

TEST_F(MemoryColorTest, OlderEntryIsRepairedSilently) {
    const float v[12] = {200, 45,  0.5f,  // slot 1: chroma out of range
                         30,  100, 1.0f,  // slot 2: slope 1 is outside -1 <= v < 1 here
                         35,  250, -1.0f, 0, 0, 0};
    colors_[2].defined = 0;
    ASSERT_EQ(MemoryColorsFromOldValues(v, colors_), 0);
    EXPECT_EQ(colors_[0].mcChroma, 32.0f);
    EXPECT_EQ(colors_[0].mcHueSlope, 0.0f);
    EXPECT_EQ(colors_[1].mcHue, 120.0f);
    EXPECT_EQ(colors_[2].defined, 1);
    EXPECT_EQ(colors_[2].mcHue, 250.0f);
    EXPECT_EQ(colors_[2].mcHueSlope, -1.0f);
    EXPECT_TRUE(LogLinesWith("Memory color").empty());
}

TEST_F(MemoryColorTest, FileHoldsTheTwoLineTextAndReadsBackRounded) {
    ASSERT_EQ(WriteMemoryColorFile(Path("skin.txt").c_str(), &colors_[0]), 0);
    EXPECT_EQ(ReadFile(Path("skin.txt")), "1  45  32  0.0 Skin\nS\n");
    ASSERT_EQ(WriteMemoryColorFile(Path("sky.txt").c_str(), &colors_[2]), 0);
    EXPECT_EQ(ReadFile(Path("sky.txt")), "1 258  40 -0.7 Blue Sky\nB\n");
    MemoryColor c = {1, {}, 33.4f, 123.6f, 0.26f, "Sand", "D", 0};
    ASSERT_EQ(WriteMemoryColorFile(Path("s.txt").c_str(), &c), 0);
    EXPECT_EQ(ReadFile(Path("s.txt")), "1 124  33  0.3 Sand\nD\n");
    MemoryColor back;
    ASSERT_EQ(ReadMemoryColorFile(Path("s.txt").c_str(), &back), 0);
    EXPECT_EQ(back.defined, 1);
    EXPECT_EQ(back.mcHue, 124.0f);
    EXPECT_EQ(back.mcChroma, 33.0f);
    EXPECT_FLOAT_EQ(back.mcHueSlope, 0.3f);
    EXPECT_STREQ(back.name, "Sand");
    EXPECT_STREQ(back.label, "D");
}

TEST_F(MemoryColorTest, ReadingTakesNameFromTheFifthFieldAndClamps) {
    struct Case {
        const char* text;
        float hue, chroma, slope;
        const char *name, *label;
    } cases[] = {
        {"1 45.5 32 -0.25 my skin tone\r\nb\r\n", 45.5f, 32, -0.25f, "my skin tone", "b"},
        {"1 400 150 -3 Too much\n\n", 0, 100, -1, "Too much", ""},  // 360 is the angle 0
        {"1 -5 -1 7 x\n", 0, 0, 1, "x", ""},
        {"1 10 10 0 A name that is much longer than twenty\nL\n", 10, 10, 0, "A name that is much ",
         "L"},
        {"1 10 10 0 tab\there\nLabel\n", 10, 10, 0, "tab here", "L"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteFile(Path("in.txt"), c.text);
        MemoryColor m;
        ASSERT_EQ(ReadMemoryColorFile(Path("in.txt").c_str(), &m), 0);
        EXPECT_EQ(m.mcHue, c.hue);
        EXPECT_EQ(m.mcChroma, c.chroma);
        EXPECT_EQ(m.mcHueSlope, c.slope);
        EXPECT_STREQ(m.name, c.name);
        EXPECT_STREQ(m.label, c.label);
    }
}

TEST_F(MemoryColorTest, BadFilesAreRefusedAndChangeNothing) {
    const char* bad[] = {
        "0 45 32 0.0 Skin\nS\n",    // first field must be 1
        "1 45 32 0.0\nS\n",         // no name
        "1 45 x 0.0 Skin\nS\n",     // chroma not a number
        "1 45 32 0.0.1 Skin\nS\n",  // two points
        "1.0 45 32 0 Skin\nS\n",    // first field not an integer
        "",                         // empty
        "\n1 45 32 0 Skin\n",       // the first line is empty
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        WriteFile(Path("bad.txt"), text);
        MemoryColor m = colors_[3];
        EXPECT_EQ(ReadMemoryColorFile(Path("bad.txt").c_str(), &m), -8);
        EXPECT_EQ(std::memcmp(&m, &colors_[3], sizeof m), 0);
    }
    MemoryColor m;
    EXPECT_EQ(ReadMemoryColorFile(Path("missing.txt").c_str(), &m), -4);
    EXPECT_EQ(ReadMemoryColorFile(nullptr, &m), -1);
    EXPECT_EQ(ReadMemoryColorFile(std::string(300, 'a').c_str(), &m), -1);
}

TEST_F(MemoryColorTest, SavingNeedsADefinedNamedLabelledSlot) {
    for (int change = 0; change < 4; ++change) {
        MemoryColor c = colors_[3];
        if (change == 0) c.label[0] = 0;
        if (change == 1) c.name[0] = 0;
        if (change == 2) c.defined = 0;
        if (change == 3) c.mcHue = NAN;
        EXPECT_EQ(WriteMemoryColorFile(Path("a.txt").c_str(), &c), -1) << change;
    }
    EXPECT_FALSE(FileExists(Path("a.txt")));
    EXPECT_EQ(WriteMemoryColorFile(Path("a.txt").c_str(), nullptr), -1);
    EXPECT_EQ(WriteMemoryColorFile((root_ + "/no/such/folder/a.txt").c_str(), &colors_[3]), -4);
}

}  // namespace
