// The host's working space: read from the host's monitor record in fixed point, or the default
// reference space when the host gives none.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/working_space.h"
#include "host/monitor_space.h"
#include "platform/ui_state.h"
#include "tests/platform/test_support.h"

namespace {

int32_t Fixed(double v) {
    return int32_t(std::lround(v * 65536.0));
}

// With diagnostics on, so that the logging of every path runs too.
class WorkingSpace : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        state_ = OpenState(1);
    }
    UiState* state_ = nullptr;  // closed by the fixture
};

TEST_F(WorkingSpace, WithoutMonitorInformationTheDefaultSpaceIsUsed) {
    PlugInMonitor monitor{};
    RefRGB ref;
    ASSERT_EQ(GetWorkingSpace(&monitor, &ref, state_), 0);
    EXPECT_FLOAT_EQ(ref.gamma, 2.2f);
    const float primaries[6] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(ref.primaries[i], primaries[i]);
    EXPECT_NEAR(ref.xyzWhite[0] / (ref.xyzWhite[0] + 1 + ref.xyzWhite[2]), 0.3128, 2e-4);
    EXPECT_EQ(ref.xyzWhite[1], 1.0f);
    RefRGB again;
    ASSERT_EQ(GetWorkingSpace(nullptr, &again, nullptr), 0);
    EXPECT_EQ(std::memcmp(&ref, &again, sizeof ref), 0);
    EXPECT_EQ(GetWorkingSpace(nullptr, nullptr, state_), -1);
}

TEST_F(WorkingSpace, HostSpaceIsReadInFixedPointAndRoundedToFourDecimals) {
    PlugInMonitor m{};
    m.gamma = Fixed(1.8);
    // 0.64005 is not a 16.16 value; the nearest on either side round to 0.6401 and 0.64.
    m.redX = 41947;  // 0.6400604
    m.redY = 41946;  // 0.6400452
    m.greenX = Fixed(0.21), m.greenY = Fixed(0.71);
    m.blueX = Fixed(0.15), m.blueY = Fixed(0.06);
    m.whiteX = Fixed(0.3457), m.whiteY = Fixed(0.3585);
    RefRGB ref;
    ASSERT_EQ(GetWorkingSpace(&m, &ref, state_), 0);
    EXPECT_NEAR(ref.gamma, 1.8, 1e-4);
    EXPECT_FLOAT_EQ(ref.primaries[0], 0.6401f);
    EXPECT_FLOAT_EQ(ref.primaries[1], 0.64f);
    EXPECT_FLOAT_EQ(ref.primaries[3], 0.71f);
    EXPECT_NEAR(ref.xyzWhite[0], 0.3457 / 0.3585, 1e-4);
    EXPECT_EQ(ref.xyzWhite[1], 1.0f);
    EXPECT_NEAR(ref.xyzWhite[2], (1 - 0.3457 - 0.3585) / 0.3585, 1e-4);
}

}  // namespace
