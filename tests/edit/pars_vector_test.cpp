// The float-vector form: round trips, older vectors, refusals, primaries rounding and the
// validation of every group with its log line.
#include <cmath>
#include <cstring>
#include <vector>

#include "edit/pars_vector.h"
#include "tests/edit/edit_test_support.h"

namespace {

using edit_testing::FillPars;

std::vector<float> VectorOf(const EditPars& p) {
    std::vector<float> v(629);
    EXPECT_EQ(ParsToVector(&p, v.data(), 629), 0);
    return v;
}

std::vector<float> FilledVector(uint32_t seed) {
    EditPars p;
    FillPars(&p, seed);
    return VectorOf(p);
}

class ParsVectorTest : public edit_testing::EditTest {};

TEST_F(ParsVectorTest, FullRecordSurvivesTheRoundTripInTheStoredLayout) {
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        EditPars p, q;
        FillPars(&p, seed);
        std::vector<float> v = VectorOf(p);
        SetParsDefaults(&q);
        ASSERT_EQ(ParsFromVector(v.data(), 629, &q, state_), 0) << seed;
        EXPECT_EQ(VectorOf(q), v);
        EXPECT_EQ(q.balCurveValid, 0);  // loaded bins need new balance tables
        EXPECT_EQ(std::memcmp(&q.sharpenNoise, &p.sharpenNoise, sizeof p.sharpenNoise), 0);
    }
    EXPECT_TRUE(LogLinesWith("invalid").empty());
    // Stored files depend on the positions (the bad values below check most of the others).
    EditPars p;
    FillPars(&p, 9);
    std::vector<float> v = VectorOf(p);
    EXPECT_EQ(v[0], 1.0f);
    EXPECT_EQ(v[1 + 4 * 7 + 3], float(p.balBin[7].count));
    EXPECT_EQ(v[89 + 85 * 5 + 5 + 4 * 19 + 3], float(p.hue[5].hueBin[19].count));
    EXPECT_EQ(v[614], p.toneColor[2]);
    EXPECT_EQ(v[617], -1.0f);  // sharpenK
    EXPECT_EQ(v[619], 0.0f);   // noiseFlag off
    EXPECT_EQ(v[626], float(p.sharpenNoise.noiseThreshold[2]));
}

TEST_F(ParsVectorTest, OlderVectorKeepsTheNewerValuesAtTheirDefaults) {
    std::vector<float> v = FilledVector(2);
    EditPars q;
    FillPars(&q, 7);  // whatever the record held before must not survive
    ASSERT_EQ(ParsFromVector(v.data(), 609, &q, state_), 0);
    std::vector<float> w = VectorOf(q);
    EXPECT_TRUE(std::equal(v.begin(), v.begin() + 609, w.begin()));
    SharpenNoise defaults;
    SetSharpenNoiseDefaults(&defaults);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(q.neutralTarget[c], 0.0f);
        EXPECT_EQ(q.toneColor[c], 0.5f);
    }
    EXPECT_EQ(std::memcmp(&q.sharpenNoise, &defaults, sizeof defaults), 0);
}

TEST_F(ParsVectorTest, RefusesOtherCountsAndMissingArguments) {
    EditPars p, before;
    FillPars(&p, 1);
    before = p;
    std::vector<float> v = VectorOf(p);
    for (int32_t count : {0, 608, 610, 628, 630, -629}) {
        EXPECT_EQ(ParsFromVector(v.data(), count, &p, state_), -8) << count;
    }
    EXPECT_EQ(ParsFromVector(nullptr, 629, &p, state_), -8);
    EXPECT_EQ(ParsFromVector(v.data(), 629, nullptr, state_), -8);
    EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
    EXPECT_EQ(ParsToVector(&p, v.data(), 609), -1);
    EXPECT_EQ(ParsToVector(nullptr, v.data(), 629), -1);
    EXPECT_EQ(ParsToVector(&p, nullptr, 629), -1);
}

TEST_F(ParsVectorTest, PrimariesAreRoundedToFourDecimalsOfTheStoredFloat) {
    struct Case {
        float stored, read;
    } cases[] = {{0.640049f, 0.64f}, {0.64006f, 0.6401f}, {0.64005f, 0.64f},
                 {0.29995f, 0.3f},   {0.30005f, 0.3f},    {0.15f, 0.15f}};
    // 0.29995f is held as 0.2999500036..., 0.30005f as 0.3000499904...: both give 0.3.
    std::vector<float> v = FilledVector(1);
    for (const Case& c : cases) {
        v[603] = c.stored;
        EditPars q;
        ASSERT_EQ(ParsFromVector(v.data(), 629, &q, state_), 0);
        EXPECT_EQ(q.refRGB.primaries[0], c.read) << c.stored;
        // Written as held: the rounding happens only on reading.
        q.refRGB.primaries[0] = c.stored;
        EXPECT_EQ(VectorOf(q)[603], c.stored);
    }
}

// One bad value per case: what it resets and the line it logs.
enum class Reset { Group, Whole, Hues, ToneColor, Sharpen };

struct BadValue {
    int index;
    float value;
    Reset reset;
    HgEditMask group;
    const char* logLine;  // prefix of the expected line
};

const BadValue kBadValues[] = {
    {599, 0.4f, Reset::Whole, 0, "refRGB in the editPars prefs is invalid: 0.400000, 0.968750 1."},
    {601, NAN, Reset::Whole, 0, "refRGB in the editPars prefs is invalid: 1.750000, 0.968750 nan"},
    {603, 0.9f, Reset::Whole, 0, "refRGB in the editPars prefs is invalid:"},  // x + y > 1
    {1 + 4 * 3 + 3, -1.0f, Reset::Group, kEditBalance, "editPars balBin[3] pref invalid: -1 "},
    {1 + 4 * 0 + 1, INFINITY, Reset::Group, kEditBalance, "editPars balBin[0] pref invalid: "},
    {1 + 4 * 19 + 3, 3e9f, Reset::Group, kEditBalance, "editPars balBin[19] pref invalid: "},
    {610, NAN, Reset::Group, kEditBalance, "editPars neutralTarget pref invalid: 12.500000 nan"},
    {81, -1.01f, Reset::Group, kEditBlackPoint, "editPars blackPoint pref invalid: -1.010000"},
    {82, -0.01f, Reset::Group, kEditGrayPoint, "editPars grayPoint pref invalid: -0.010000"},
    {83, 2.01f, Reset::Group, kEditWhitePoint, "editPars whitePoint pref invalid: 2.010000"},
    {86, NAN, Reset::Group, kEditHighlight, "editPars highlight pref invalid: nan"},
    {88, 1.0001f, Reset::Group, kEditSaturation, "editPars saturation pref invalid: 1.000100"},
    {89 + 85 * 2, 360.0001f, Reset::Hues, 0, "editPars hue[2].baseHue pref invalid: 360.000092"},
    {89 + 85 * 0 + 2, -0.5f, Reset::Hues, 0, "editPars hue[0].brightness pref invalid: -0.5"},
    {89 + 85 * 1 + 5 + 4 * 19 + 3, -5.0f, Reset::Hues, 0,
     "editPars hue[1].hueBin[19] pref invalid: -5 "},
    {89 + 85 * 3 + 1, NAN, Reset::Hues, 0, "editPars hue[3].hueShift pref invalid: nan"},
    {89 + 85 * 4 + 4, 12.0f, Reset::Hues, 0, "editPars hue[4].colorId pref invalid: 12"},
    {89 + 85 * 4 + 4, -3e9f, Reset::Hues, 0, "editPars hue[4].colorId pref invalid: -1"},
    {613, 1.5f, Reset::ToneColor, 0, "editPars toneColor pref invalid: "},
    {616, 25.0f, Reset::Sharpen, 0, "editPars sharpenNoise pref invalid: 25 -1,"},
    {621, 2.0f, Reset::Sharpen, 0, "editPars sharpenNoise pref invalid: "},
    {628, NAN, Reset::Sharpen, 0, "editPars sharpenNoise pref invalid: "},
};

TEST_F(ParsVectorTest, EachBadValueResetsItsGroupAndLogsOnce) {
    std::vector<float> v = FilledVector(11);
    EditPars loaded, defaults;
    ASSERT_EQ(ParsFromVector(v.data(), 629, &loaded, state_), 0);
    SetParsDefaults(&defaults);
    SharpenNoise d;
    SetSharpenNoiseDefaults(&d);

    for (const BadValue& c : kBadValues) {
        SCOPED_TRACE(c.logLine);
        std::vector<float> bad = v;
        bad[c.index] = c.value;
        size_t linesBefore = LogLines().size();
        EditPars q;
        FillPars(&q, 99);
        ASSERT_EQ(ParsFromVector(bad.data(), 629, &q, state_), -9);
        std::vector<std::string> log = LogLines();
        ASSERT_EQ(log.size(), linesBefore + 1);
        EXPECT_EQ(log.back().rfind(c.logLine, 0), 0u) << log.back();

        EditPars expected = c.reset == Reset::Whole ? defaults : loaded;
        SharpenNoise& s = expected.sharpenNoise;
        if (c.reset == Reset::Group) ResetPars(&expected, c.group);
        if (c.reset == Reset::Hues) ResetPars(&expected, kEditMaskAllHues);
        if (c.reset == Reset::ToneColor)
            expected.toneColor[0] = expected.toneColor[1] = expected.toneColor[2] = 0.5f;
        if (c.index == 616) s.sharpenStrength = d.sharpenStrength;
        if (c.index == 621) s.noiseRadius[1] = d.noiseRadius[1];
        if (c.index == 628) s.noiseK = d.noiseK;
        EXPECT_EQ(VectorOf(q), VectorOf(expected));
        EXPECT_EQ(std::memcmp(&q.sharpenNoise, &s, sizeof s), 0);
        EXPECT_EQ(edit_testing::ParsOutOfRange(q), "");
    }
}

TEST_F(ParsVectorTest, BoundaryValuesAreValid) {
    std::vector<float> v = FilledVector(12);
    const std::pair<int, float> edges[] = {
        {89 + 85 * 1, 360.0f}, {89, 0.0f}, {83, 1.5f},  {83, 2.0f},  {81, -0.5f},
        {81, -1.0f},           {82, 0.0f}, {599, 5.0f}, {600, 0.1f}, {89 + 85 * 2 + 4, 0.0f}};
    for (auto [index, value] : edges) {
        std::vector<float> w = v;
        w[index] = value;
        EditPars q;
        EXPECT_EQ(ParsFromVector(w.data(), 629, &q, state_), 0) << index << " " << value;
        EXPECT_EQ(VectorOf(q)[index], value);
    }
}

TEST_F(ParsVectorTest, SeveralBadSinglesAreEachReset) {
    EditPars good;
    FillPars(&good, 13);
    std::vector<float> v = VectorOf(good);
    v[81] = 7.0f;          // blackPoint
    v[88] = -7.0f;         // saturation
    v[1 + 4 * 2] = -1.0f;  // balBin[2]
    v[1 + 4 * 5] = -1.0f;  // balBin[5]: only the first bad bin is named
    EditPars q;
    ASSERT_EQ(ParsFromVector(v.data(), 629, &q, state_), -9);
    EXPECT_EQ(q.blackPoint, 0.0f);
    EXPECT_EQ(q.saturation, 0.5f);
    EXPECT_EQ(q.grayPoint, good.grayPoint);
    EXPECT_EQ(q.balBin[7].count, 0);
    EXPECT_EQ(LogLinesWith("pref invalid").size(), 3u);
    EXPECT_EQ(LogLinesWith("balBin[2]").size(), 1u);
    EXPECT_EQ(q.hue[3].baseHue, good.hue[3].baseHue);  // the handles were fine and were kept

    // Without diagnostics nothing is logged, and rubbish everywhere still gives a valid record.
    std::vector<float> nans(629, NAN);
    size_t before = LogLines().size();
    EXPECT_EQ(ParsFromVector(nans.data(), 629, &q, nullptr), -9);
    EXPECT_EQ(LogLines().size(), before);
    EXPECT_EQ(edit_testing::ParsOutOfRange(q), "");
}

}  // namespace
