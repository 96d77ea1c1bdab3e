// The working space: how two are compared, and the tables derived from it, checked against
// Lindbloom's Bradford-adapted sRGB matrix.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/colour_math.h"
#include "engine/working_space.h"
#include "platform/ui_state.h"
#include "tests/engine/chain_test_support.h"
#include "tests/platform/test_support.h"

namespace {

// With diagnostics on, so that the logging of every path runs too.
class WorkingSpace : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        state_ = OpenState(1);
    }
    UiState* state_ = nullptr;  // closed by the fixture
};

TEST_F(WorkingSpace, SpacesMatchWithinOneHundredThousandth) {
    RefRGB a;
    ASSERT_EQ(HgDefaultReference(&a), 0);
    RefRGB b = a;
    b.gamma += 1e-5f;
    for (float& w : b.xyzWhite) w -= 1e-5f;
    for (float& p : b.primaries) p += 1e-5f;
    EXPECT_TRUE(RefRgbMatch(&a, &b, state_));
    b = a;
    b.primaries[3] += 2e-5f;
    EXPECT_FALSE(RefRgbMatch(&a, &b, state_));
    b = a;
    b.gamma = 2.3f;
    EXPECT_FALSE(RefRgbMatch(&a, &b, state_));
    b.gamma = a.gamma;
    b.xyzWhite[2] = NAN;
    EXPECT_FALSE(RefRgbMatch(&a, &b, state_));
    EXPECT_FALSE(RefRgbMatch(&a, nullptr, state_));
}

TEST(WorkingSpaceTables, SrgbAdaptedToD50MatchesLindbloom) {
    EditPars p;
    std::memset(&p, 0, sizeof p);
    RefRGB srgb;
    ASSERT_EQ(HgDefaultReference(&srgb), 0);
    ASSERT_EQ(HgSetReference(&p, &srgb), 0);
    EXPECT_EQ(std::memcmp(&p.refRGB, &srgb, sizeof srgb), 0);
    // Lindbloom's sRGB to XYZ (D50, Bradford); our whites are the daylight locus at 6500 and
    // 5000 K rather than the rounded standard values, hence the tolerance.
    const double lindbloom[9] = {0.4360747, 0.3850649, 0.1430804, 0.2225045, 0.7168786,
                                 0.0606169, 0.0139322, 0.0971045, 0.7141733};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(p.refTables[i], lindbloom[i], 3e-3) << i;
    // White goes to the 5000 K white, and the second matrix is the inverse of the first.
    float white[3];
    for (int r = 0; r < 3; ++r)
        white[r] = p.refTables[3 * r] + p.refTables[3 * r + 1] + p.refTables[3 * r + 2];
    EXPECT_NEAR(white[0], 0.3457 / 0.3587, 5e-4);
    EXPECT_NEAR(white[1], 1.0, 1e-6);
    for (int r = 0; r < 3; ++r) {
        float back = 0;
        for (int k = 0; k < 3; ++k) back += p.refTables[9 + 3 * r + k] * white[k];
        EXPECT_NEAR(back, 1.0f, 1e-5);
    }
    EXPECT_NEAR(p.gammaTable[128], std::pow(128 / 255.0, 1 / 2.2), 1e-6);
}

TEST(WorkingSpaceTables, ReferenceIsValidatedAndGammaOneIsTheIdentity) {
    EditPars p;
    std::memset(&p, 0, sizeof p);
    ASSERT_EQ(HgSetReference(&p, nullptr), 0);
    RefRGB linear = p.refRGB;
    linear.gamma = 1.0f;
    ASSERT_EQ(HgSetReference(&p, &linear), 0);
    for (int i = 0; i < kEditCurveSize; ++i) EXPECT_FLOAT_EQ(p.gammaTable[i], i / 255.0f);

    const EditPars before = p;
    RefRGB bad = linear;
    bad.gamma = 5.5f;
    EXPECT_EQ(HgSetReference(&p, &bad), -1);
    bad = linear;
    bad.primaries[0] = bad.primaries[2];  // red on green: no matrix
    bad.primaries[1] = bad.primaries[3];
    EXPECT_EQ(HgSetReference(&p, &bad), -1);
    bad = linear;
    bad.xyzWhite[0] = NAN;
    EXPECT_EQ(HgSetReference(&p, &bad), -1);
    EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
    EXPECT_EQ(HgSetReference(nullptr, &linear), -1);
}

}  // namespace
