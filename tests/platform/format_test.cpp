// The plug-in's own formatter and scanner: the rules that differ from printf and scanf.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "platform/format.h"

// These tests hand the formatter and the scanner what the compiler's printf and scanf checks
// refuse (formats in variables, a null "%s", the scanner's "%ld" into 32 bits): how the plug-in's
// own rules treat them is what is tested here.
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-overflow"
#pragma GCC diagnostic ignored "-Wformat"

namespace {

template <typename... Args>
std::string Fmt(const char* format, Args... args) {
    char buf[512];
    Ui_FormatString(buf, format, args...);
    return buf;
}

TEST(FormatString, IntegersAndFloats) {
    EXPECT_EQ(Fmt("%05d", -42), "-0042");
    EXPECT_EQ(Fmt("%5d", -42), "  -42");
    EXPECT_EQ(Fmt("%d", int(0x80000000u)), "-2147483648");
    EXPECT_EQ(Fmt("%5ld", -42L), "-   42");  // sign first, width counted without it
    EXPECT_EQ(Fmt("%05ld", -42L), "-00042");
    EXPECT_EQ(Fmt("%08X", 255), "000000FF");
    EXPECT_EQ(Fmt("%4x", 0xABCDEFu), "abcdef");
    // Six rounded fraction digits.
    EXPECT_EQ(Fmt("%f", 2.9999997), "3.000000");
    EXPECT_EQ(Fmt("%f", -0.5), "-0.500000");
    EXPECT_EQ(Fmt("%f", 0.1234567), "0.123457");
    // The integer part whole at every size, so that a number written reads back as itself.
    EXPECT_EQ(Fmt("%f", 3000000000.25), "3000000000.250000");
    EXPECT_EQ(Fmt("%f", -18446744073709551616.0), "-18446744073709551616.000000");  // 2^64
    EXPECT_EQ(Fmt("%f", double(FLT_MAX)), "340282346638528859811704183484516925440.000000");
    EXPECT_EQ(Fmt("%f", 1e300).size(), 301u + 7u);
    EXPECT_EQ(Fmt("%f", -INFINITY), "-inf");
}

TEST(FormatString, OtherConversionsAndLiteralCharacters) {
    EXPECT_EQ(Fmt("100%% %s!", "done"), "100% done!");
    EXPECT_EQ(Fmt("%c%c", 0x141, 'b'), "Ab");   // low byte only
    EXPECT_EQ(Fmt("[%5f]", 1.5), "[]");         // width before f: nothing written
    EXPECT_EQ(Fmt("%5s|%d", "skip", 3), "|3");  // the skipped argument is still consumed
    EXPECT_EQ(Fmt("%y%z%a"), "yza");
    EXPECT_EQ(Fmt("%s", static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(Fmt("end%"), "end");
}

TEST(FormatString, BoundedFormCutsAndAlwaysTerminates) {
    char buf[8];
    EXPECT_EQ(Str_FormatN(buf, sizeof buf, "reading file %s", "/a/very/long/path"), 7u);
    EXPECT_STREQ(buf, "reading");
    std::string longPath(255, 'p');
    char scratch[257];
    EXPECT_EQ(Str_FormatN(scratch, sizeof scratch, "reading Preferences file %s", longPath.c_str()),
              256u);
    EXPECT_EQ(scratch[256], 0);
    char one[1] = {'x'};
    EXPECT_EQ(Str_FormatN(one, 1, "%d", 5), 0u);
    EXPECT_EQ(one[0], 0);
}

TEST(ScanString, FieldsAreSeparatedByWhiteSpaceAndNumbersStopAtAForeignCharacter) {
    int32_t a = -1, b = -1;
    float f = -1, g = -1;
    char s[16] = {}, c = 0;
    EXPECT_EQ(Ui_ScanString("12 3.5 abc", "%d %f %s", &a, &f, s), 3);
    EXPECT_EQ(a, 12);
    EXPECT_FLOAT_EQ(f, 3.5f);
    EXPECT_STREQ(s, "abc");
    // Literal format characters are skipped, not matched: the comma stops the number, counted, 0.
    EXPECT_EQ(Ui_ScanString("1,2", "%d,%d", &a, &b), 2);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(Ui_ScanString("  -17 1.2.3 q", "%ld %f %f %c", &a, &f, &g, &c), 4);
    EXPECT_EQ(a, -17);
    EXPECT_FLOAT_EQ(f, 1.2f);  // the second "." ends the number ...
    EXPECT_FLOAT_EQ(g, 0.3f);  // ... and the next field starts there
    EXPECT_EQ(c, 'q');
    EXPECT_EQ(Ui_ScanString("x7", "%d %c", &a, &c), 2);  // no digit: stored as 0, still counted
    EXPECT_EQ(a, 0);
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(Ui_ScanString("5", "%d %d", &a, &b), 1);  // the text ended: scanning stops
    EXPECT_EQ(Ui_ScanString("", "%d", &a), 0);
}

}  // namespace
