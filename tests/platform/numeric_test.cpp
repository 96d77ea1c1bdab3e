// The clamps and minimum/maximum every layer uses: what they do with values that are not numbers,
// and that the integer forms are the plain comparisons the pixel loops relied on.
#include "platform/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Numeric, ClampNeverLetsANaNThrough) {
    EXPECT_EQ(Num_Clamp(kNaN, -1.0f, 1.0f), -1.0f);
    EXPECT_EQ(Num_Clamp01(double(kNaN)), 0.0);
    EXPECT_EQ(Num_ClampOr(kNaN, 0.0f, 1.0f, 0.5f), 0.5f);
    // Infinities are numbers beyond the ends.
    EXPECT_EQ(Num_Clamp01(kInf), 1.0);
    EXPECT_EQ(Num_Clamp01(-kInf), 0.0);
    EXPECT_EQ(Num_ClampOr(float(kInf), 0.0f, 1.0f, 0.5f), 1.0f);
}

TEST(Numeric, ClampKeepsValuesInsideAndTakesTheNearerEnd) {
    EXPECT_EQ(Num_Clamp01(0.25), 0.25);
    EXPECT_EQ(Num_Clamp(-3, 0, 7), 0);
    EXPECT_EQ(Num_Clamp(9, 0, 7), 7);
    EXPECT_EQ(Num_Clamp(7, 0, 7), 7);
    // The bounds take the value's type: an index far beyond 32 bits comes back as the last one.
    EXPECT_EQ(Num_Clamp(int64_t(1) << 40, 0, 99), 99);
    // A view wider than its picture (lo above hi): below lo gives lo, everything else hi.
    EXPECT_EQ(Num_Clamp(4, 10, 6), 10);
    EXPECT_EQ(Num_Clamp(10, 10, 6), 6);
    EXPECT_EQ(Num_Clamp(12, 10, 6), 6);
}

TEST(Numeric, MinAndMaxIgnoreANaNOperand) {
    EXPECT_EQ(Num_Min(kNaN, 2.0f), 2.0f);
    EXPECT_EQ(Num_Min(2.0f, kNaN), 2.0f);
    EXPECT_EQ(Num_Max(kNaN, -2.0f), -2.0f);
    EXPECT_EQ(Num_Max(-2.0f, kNaN), -2.0f);
    EXPECT_TRUE(std::isnan(Num_Min(kNaN, kNaN)));
    EXPECT_EQ(Num_Min(3, -4), -4);
    EXPECT_EQ(Num_Max(3, -4), 3);
    EXPECT_EQ(Num_Min<int64_t>(2, INT32_MAX), 2);
}

// Usable where the compiler needs a constant.
static_assert(Num_Clamp(300, 0, 255) == 255 && Num_Max(1, 2) == 2);

}  // namespace
