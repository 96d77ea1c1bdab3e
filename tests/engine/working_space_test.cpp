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

// A space as a host describes it: gamma, primaries and the white's chromaticity.
RefRGB HostSpace(float gamma, const float xy[8]) {
    RefRGB r;
    r.gamma = gamma;
    for (int i = 0; i < 6; ++i) r.primaries[i] = xy[i];
    r.xyzWhite[0] = xy[6] / xy[7];
    r.xyzWhite[1] = 1.0f;
    r.xyzWhite[2] = (1.0f - xy[6] - xy[7]) / xy[7];
    return r;
}

TEST_F(WorkingSpace, SpacesMatchUnlessAnImageCouldShowTheDifference) {
    RefRGB def;
    ASSERT_EQ(HgDefaultReference(&def), 0);
    // sRGB as hosts pass it: the rounded standard white, against the default space's white
    // from the daylight locus at 6500 K (x 0.31278, y 0.32918).
    const float srgb[8] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    RefRGB b = HostSpace(2.2f, srgb);
    EXPECT_TRUE(RefRgbMatch(&def, &b, state_));
    // sRGB read from a profile: the power curve nearest to its tone curve, primaries rounded in
    // the fourth decimal.
    b = HostSpace(2.233f, srgb);
    b.primaries[3] += 0.0004f;
    EXPECT_TRUE(RefRgbMatch(&def, &b, state_));

    // Other primaries, another white, another gamma, another luminance: other spaces.
    const float adobe[8] = {0.64f, 0.33f, 0.21f, 0.71f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    const float d50[8] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, 0.3457f, 0.3585f};
    for (const RefRGB& other :
         {HostSpace(2.2f, adobe), HostSpace(2.2f, d50), HostSpace(1.8f, srgb)}) {
        EXPECT_FALSE(RefRgbMatch(&def, &other, state_));
    }
    b = def;
    b.primaries[4] += 0.002f;
    EXPECT_FALSE(RefRgbMatch(&def, &b, state_));
    b = def;
    b.gamma += 0.06f;
    EXPECT_FALSE(RefRgbMatch(&def, &b, state_));
    b = def;
    for (float& w : b.xyzWhite) w *= 1.01f;
    EXPECT_FALSE(RefRgbMatch(&def, &b, state_));
    b = def;
    b.xyzWhite[2] = NAN;
    EXPECT_FALSE(RefRgbMatch(&def, &b, state_));
    b = def;
    b.gamma = NAN;
    EXPECT_FALSE(RefRgbMatch(&def, &b, state_));
    EXPECT_FALSE(RefRgbMatch(&def, nullptr, state_));
    EXPECT_TRUE(RefRgbMatch(&def, &def, state_));
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
