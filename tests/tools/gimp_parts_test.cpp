// The GIMP plug-in's parts that need no GIMP: the working space taken from a colour profile, and
// actions carried as text.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <vector>

#include "tools/gimp/action_text.h"
#include "tools/hostlib/monitor_profile.h"

namespace {

// The bytes of a profile lcms2 builds.
std::vector<uint8_t> Bytes(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    EXPECT_TRUE(cmsSaveProfileToMem(profile, nullptr, &size));
    std::vector<uint8_t> bytes(size);
    EXPECT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
    cmsCloseProfile(profile);
    return bytes;
}

std::vector<uint8_t> RgbProfile(double gamma, const double xy[8]) {
    cmsCIExyY white{xy[6], xy[7], 1.0};
    cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1.0}, {xy[2], xy[3], 1.0}, {xy[4], xy[5], 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    std::vector<uint8_t> bytes = Bytes(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

void ExpectSpace(const PlugInMonitor& m, double gamma, const double xy[8], double tolerance) {
    const Fixed got[9] = {m.gamma, m.redX,  m.redY,   m.greenX, m.greenY,
                          m.blueX, m.blueY, m.whiteX, m.whiteY};
    EXPECT_NEAR(got[0] / 65536.0, gamma, 0.05);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(got[i + 1] / 65536.0, xy[i], tolerance) << i;
}

TEST(ProfileWorkingSpace, MatrixProfilesGiveTheirGammaPrimariesAndOwnWhite) {
    // Adobe RGB (1998): a pure power curve, D65, adapted to D50 inside the profile.
    const double adobe[8] = {0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290};
    std::vector<uint8_t> icc = RgbProfile(563.0 / 256.0, adobe);
    PlugInMonitor m{};
    std::string why;
    ASSERT_TRUE(MonitorFromProfile(icc.data(), icc.size(), &m, &why)) << why;
    ExpectSpace(m, 563.0 / 256.0, adobe, 2e-4);
    EXPECT_EQ(m.gamma, Fixed(std::lround(563.0 / 256.0 * 65536)));

    // A D50 space with gamma 1.8: nothing to adapt.
    const double wide[8] = {0.7347, 0.2653, 0.1152, 0.8264, 0.1566, 0.0177, 0.3457, 0.3585};
    icc = RgbProfile(1.8, wide);
    ASSERT_TRUE(MonitorFromProfile(icc.data(), icc.size(), &m, &why)) << why;
    ExpectSpace(m, 1.8, wide, 2e-4);

    // sRGB's curve is not a power; the nearest power is about 2.2 (2.23 by least squares).
    const double srgb[8] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
    icc = Bytes(cmsCreate_sRGBProfile());
    ASSERT_TRUE(MonitorFromProfile(icc.data(), icc.size(), &m, &why)) << why;
    ExpectSpace(m, 2.2, srgb, 2e-3);
}

TEST(ProfileWorkingSpace, ProfilesWithoutAnRgbMatrixAreRefusedAndLeaveTheRecord) {
    PlugInMonitor m{};
    m.gamma = 12345;
    std::string why;
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    std::vector<uint8_t> grey = Bytes(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    EXPECT_FALSE(MonitorFromProfile(grey.data(), grey.size(), &m, &why));
    EXPECT_EQ(why, "not an RGB profile");
    std::vector<uint8_t> lab = Bytes(cmsCreateLab4Profile(nullptr));
    EXPECT_FALSE(MonitorFromProfile(lab.data(), lab.size(), &m, &why));
    std::vector<uint8_t> junk(300, 7);
    EXPECT_FALSE(MonitorFromProfile(junk.data(), junk.size(), &m, &why));
    EXPECT_FALSE(MonitorFromProfile(nullptr, 0, &m, &why));
    // An RGB profile cut short.
    const double adobe[8] = {0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290};
    std::vector<uint8_t> icc = RgbProfile(2.2, adobe);
    EXPECT_FALSE(MonitorFromProfile(icc.data(), icc.size() / 2, &m, &why));
    EXPECT_EQ(m.gamma, 12345);
}

TEST(ActionText, EveryByteSurvivesTheRoundTripAndJunkIsRefused) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += char(i);
    for (size_t cut : {size_t(256), size_t(255), size_t(254), size_t(1)}) {
        std::string back;
        std::string text = ActionToText(bytes.substr(0, cut));
        ASSERT_TRUE(ActionFromText(text, &back)) << cut;
        EXPECT_EQ(back, bytes.substr(0, cut)) << cut;
        // Line breaks a script may add are ignored.
        std::string wrapped =
            text.substr(0, text.size() / 2) + "\n  " + text.substr(text.size() / 2);
        ASSERT_TRUE(ActionFromText(wrapped, &back));
        EXPECT_EQ(back, bytes.substr(0, cut));
    }
    EXPECT_EQ(ActionToText("KACT"), "S0FDVA==");
    std::string out;
    EXPECT_FALSE(ActionFromText("/no/such/action.kact", &out));
    EXPECT_FALSE(ActionFromText("S0FD=VA==", &out));
    EXPECT_FALSE(ActionFromText("S", &out));
    EXPECT_FALSE(ActionFromText("", &out));
}

}  // namespace
