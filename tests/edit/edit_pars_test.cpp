// Reset of the edit parameters: what each group bit puts back, and what no reset touches.
#include <cstring>
#include <vector>

#include "engine/edit_pars.h"
#include "tests/edit/edit_test_support.h"

namespace {

struct Span {
    size_t offset, size;
};
#define FIELD(f)                                   \
    Span {                                         \
        offsetof(EditPars, f), sizeof(EditPars::f) \
    }

// The parts of the record each of the bits 0..9 may change; bits 10..15 change their handle.
const std::vector<Span> kSpans[10] = {
    {FIELD(linear)},
    {FIELD(balBin), FIELD(neutralTarget), FIELD(balCurveValid), FIELD(balCurve)},
    {FIELD(blackPoint)},
    {FIELD(grayPoint)},
    {FIELD(whitePoint)},
    {FIELD(brightness)},
    {FIELD(shadow), FIELD(shadowCurveFor), FIELD(shadowCurve)},
    {FIELD(highlight), FIELD(highlightCurveFor), FIELD(highlightCurve)},
    {FIELD(contrast)},
    {FIELD(saturation)}};

bool IsIdentity(const float* curve) {
    for (int i = 0; i < 256; ++i) {
        if (curve[i] != float(i / 255.0)) return false;
    }
    return true;
}

// Each bit alone, and all six handles together (which adds toning and the colour ids), change
// only their own part of the record: the working space, its tables and the sharpening are no
// group's.
TEST(ResetPars, EachGroupChangesOnlyItsOwnFields) {
    for (int bit = 0; bit <= 16; ++bit) {
        SCOPED_TRACE(bit);
        EditPars p;
        std::memset(&p, 0x5A, sizeof p);
        ASSERT_EQ(ResetPars(&p, bit < 16 ? HgEditMask(1u << bit) : HgEditMask(kEditMaskAllHues)),
                  0);
        std::vector<Span> spans = {FIELD(hue), FIELD(toneColor), FIELD(toneCurveFor),
                                   FIELD(toneCurve)};
        if (bit < 10) spans = kSpans[bit];
        if (bit >= 10 && bit < 16) {
            spans = {{offsetof(EditPars, hue) + (bit - 10) * sizeof(HueHandle), sizeof(HueHandle)}};
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(&p);
        size_t changedOutside = 0;
        for (size_t i = 0; i < sizeof p; ++i) {
            bool inside = false;
            for (const Span& s : spans) inside |= s.offset <= i && i < s.offset + s.size;
            if (!inside && bytes[i] != 0x5A) ++changedOutside;
        }
        EXPECT_EQ(changedOutside, 0u);
        // A single handle's colorId belongs to the hue tool as a whole and stays.
        if (bit >= 10 && bit < 16) {
            EXPECT_EQ(p.hue[bit - 10].colorId, 0x5A5A5A5A);
        }
    }
}

TEST(ResetPars, GroupsTakeTheirResetValues) {
    EditPars p;
    edit_testing::FillPars(&p, 3);
    ASSERT_EQ(ResetPars(&p, kEditMaskAll), 0);
    EXPECT_EQ(p.linear, 0);
    EXPECT_EQ(p.balCurveValid, 1);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(p.neutralTarget[c], 0.0f);
        EXPECT_TRUE(IsIdentity(p.balCurve[c]) && IsIdentity(p.toneCurve[c]));
        EXPECT_EQ(p.toneColor[c], 0.5f);
        EXPECT_EQ(p.toneCurveFor[c], 0.5f);
    }
    for (const SampleBin& b : p.balBin) {
        EXPECT_EQ(b.count, 0);
        EXPECT_EQ(b.sum[0] + b.sum[1] + b.sum[2], 0.0f);
    }
    const float expected[10] = {0.0f, 0.5f, 1.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    const float actual[10] = {p.blackPoint,     p.grayPoint,        p.whitePoint, p.brightness,
                              p.shadow,         p.highlight,        p.contrast,   p.saturation,
                              p.shadowCurveFor, p.highlightCurveFor};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(actual[i], expected[i]) << i;
    EXPECT_TRUE(IsIdentity(p.shadowCurve) && IsIdentity(p.highlightCurve));
    for (int i = 0; i < 6; ++i) {
        const HueHandle& h = p.hue[i];
        EXPECT_EQ(h.baseHue, 60.0f * i);
        EXPECT_EQ(h.hueShift, 0.0f);
        EXPECT_EQ(h.brightness, 0.5f);
        EXPECT_EQ(h.saturation, 0.5f);
        EXPECT_EQ(h.colorId, 6 + i);
        for (const SampleBin& b : h.hueBin) EXPECT_EQ(b.count, 0);
    }
}

TEST(ResetPars, ToningAndColourIdsNeedAllSixHandles) {
    EditPars p;
    edit_testing::FillPars(&p, 5);
    p.hue[0].colorId = 2;
    p.toneColor[1] = 0.75f;
    ASSERT_EQ(ResetPars(&p, kEditMaskAllHues & ~(kEditHue0 << 5)), 0);
    EXPECT_EQ(p.hue[0].colorId, 2);
    EXPECT_EQ(p.toneColor[1], 0.75f);
    EXPECT_EQ(ResetPars(nullptr, kEditMaskAll), -1);
}

TEST(ParsDefaults, CarryTheDefaultWorkingSpace) {
    EditPars p;
    ASSERT_EQ(SetParsDefaults(&p), 0);
    EXPECT_TRUE(RefRgbIsValid(&p.refRGB));
    EXPECT_FLOAT_EQ(p.refRGB.gamma, 2.2f);
    const float* w = p.refRGB.xyzWhite;
    double sum = double(w[0]) + w[1] + w[2];
    // The CIE daylight white of 6500 K lies at x = 0.3128, y = 0.3292 (published value).
    EXPECT_NEAR(w[0] / sum, 0.3128, 5e-5);
    EXPECT_NEAR(w[1] / sum, 0.3292, 5e-5);
    EXPECT_EQ(w[1], 1.0f);
    const float primaries[6] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(p.refRGB.primaries[i], primaries[i]);
    EXPECT_EQ(edit_testing::ParsOutOfRange(p), "");
}

TEST(RefRgb, ValidityTreatsNonNumbersAsOutOfRange) {
    RefRGB r;
    RefRgbSetDefault(&r);
    struct Case {
        int field;  // 0 gamma, 1..3 white, 4..9 primaries
        float value;
        bool valid;
    } cases[] = {{0, 0.5f, true},      {0, 5.0f, true},   {0, 0.49f, false},    {0, NAN, false},
                 {1, 0.1f, true},      {2, 2.01f, false}, {3, INFINITY, false}, {4, 0.0f, true},
                 {4, -0.0001f, false}, {4, 0.67f, true},  {4, 0.68f, false},    {9, NAN, false}};
    for (const Case& c : cases) {
        RefRGB t = r;
        *(c.field == 0   ? &t.gamma
          : c.field <= 3 ? &t.xyzWhite[c.field - 1]
                         : &t.primaries[c.field - 4]) = c.value;
        EXPECT_EQ(RefRgbIsValid(&t), c.valid) << c.field << " " << c.value;
    }
}

}  // namespace
