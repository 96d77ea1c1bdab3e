// The widgets every dialog of the editing window shares: value-box texts, slider geometry and
// drawing, and swatches shown through the working space.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "edit/window/slider.h"
#include "edit/window/swatch.h"
#include "engine/ref_rgb.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

std::string Text(int32_t value, int32_t format) {
    char text[32];
    ValueText(value, format, text, sizeof text);
    return text;
}

TEST(ValueBoxText, EachFormatWritesSignsAndWidthsAsTheBoxesShowThem) {
    EXPECT_EQ(Text(0, kValueSigned), "0");
    EXPECT_EQ(Text(25, kValueSigned), "+25");
    EXPECT_EQ(Text(-25, kValueSigned), "-25");
    EXPECT_EQ(Text(1, kValueSigned), "+1");
    EXPECT_EQ(Text(0, kValueOffset), "0");
    EXPECT_EQ(Text(-40, kValueOffset), "-40");
    EXPECT_EQ(Text(7, kValueOffset), "+7");
    EXPECT_EQ(Text(6, kValueTwoDigit), " 6");
    EXPECT_EQ(Text(16, kValueTwoDigit), "16");
    EXPECT_EQ(Text(-3, kValuePlain), "-3");
    // A box too small for the text gets the start of it, terminated.
    char small[3];
    ValueText(-100, kValueSigned, small, sizeof small);
    EXPECT_EQ(std::string(small), "-1");
}

TEST(SliderGeometry, CentredValuesFollowTheOffsetFromTheMiddleAndSurviveTheRoundTrip) {
    for (int width : {100, 101, 186, 279}) {
        const Ui_Rect r = Ui_Rect_Make(0, 10, 14, 10 + width);
        int32_t v = 99;
        ASSERT_EQ(SliderCentredValue(&r, 10 + (width - 1) / 2, &v), 0);
        EXPECT_EQ(v, 0) << width;
        SliderCentredValue(&r, 10, &v);
        EXPECT_EQ(v, -100);
        SliderCentredValue(&r, 10 + width + 30, &v);  // dragged past the right end
        EXPECT_EQ(v, 100);
        SliderCentredValue(&r, -500, &v);
        EXPECT_EQ(v, -100);
        for (int32_t value = -100; value <= 100; ++value) {
            ASSERT_EQ(SliderCentredValue(&r, SliderCentredX(&r, value), &v), 0);
            // Wider than 200 pixels every value has its own column; narrower ones may merge
            // neighbours but never move a value by more than one step.
            if (width >= 200) {
                EXPECT_EQ(v, value) << width;
            } else {
                EXPECT_LE(std::abs(v - value), 1) << width << " " << value;
            }
        }
    }
    const Ui_Rect r = Ui_Rect_Make(0, 0, 14, 201);
    int32_t v = 0;
    SliderCentredValue(&r, 50, &v);  // a quarter of the way: half-way to the left end
    EXPECT_EQ(v, -50);
}

TEST(SliderGeometry, RangeValuesSpanTheTrackFromEndToEnd) {
    const Ui_Rect r = Ui_Rect_Make(0, 20, 14, 120);
    int32_t v = 0;
    for (int32_t value = 1; value <= 24; ++value) {
        ASSERT_EQ(SliderRangeValue(&r, SliderRangeX(&r, value, 1, 24), 1, 24, &v), 0);
        EXPECT_EQ(v, value);
    }
    EXPECT_EQ(SliderRangeX(&r, 1, 1, 24), 20);
    EXPECT_EQ(SliderRangeX(&r, 24, 1, 24), 119);
    SliderRangeValue(&r, 500, 3, 16, &v);
    EXPECT_EQ(v, 16);
    EXPECT_EQ(SliderRangeValue(&r, 50, 5, 5, &v), -1);  // an empty range is refused
}

// Every track position a drag can give shows the number the box takes back to the same position,
// and positions mirrored about the middle show mirrored numbers: a hue slider dragged to -75 on
// its track (0.125, exactly half-way between two numbers) once showed -37 against +38 at +75.
TEST(ValueScales, NumbersMirrorAboutTheMiddleAndTypedNumbersReturnToTheirPositions) {
    for (const ValueScale scale : {kValueScaleOffset, kValueScaleHue}) {
        for (int32_t track = -100; track <= 100; ++track) {
            const int32_t n = ValueScaleNumber(scale, float(track + 100) / 200.0f);
            EXPECT_EQ(ValueScaleNumber(scale, ValueScalePosition(scale, n)), n) << track;
        }
        EXPECT_EQ(ValueScaleNumber(scale, 0.0f), scale.lo);
        EXPECT_EQ(ValueScaleNumber(scale, 7.0f), scale.hi);
        EXPECT_EQ(ValueScaleNumber(scale, std::nanf("")), 0);
    }
    for (int32_t track = -100; track <= 100; ++track) {
        EXPECT_EQ(ValueScaleNumber(kValueScaleOffset, float(track + 100) / 200.0f), track);
    }
    // Positions a float holds exactly, half-way between two numbers of the hue scale.
    for (const float x : {0.125f, 0.375f, 0.0625f}) {
        EXPECT_EQ(ValueScaleNumber(kValueScaleHue, 1.0f - x), -ValueScaleNumber(kValueScaleHue, x));
    }
    EXPECT_EQ(ValueScaleNumber(kValueScaleHue, 0.125f), -38);
    EXPECT_FLOAT_EQ(ValueScalePosition(kValueScaleHue, -25), 0.25f);
}

RefRGB DefaultSpace() {
    RefRGB ref;
    RefRgbSetDefault(&ref);
    return ref;
}

TEST(Swatch, ColoursOfTheWorkingSpaceReachTheScreenThroughXyz) {
    const RefRGB srgbLike = DefaultSpace();  // sRGB primaries, D65, gamma 2.2
    Ui_RGB s{};
    const float grey[3] = {0.5f, 0.5f, 0.5f};
    ASSERT_EQ(SwatchToScreen(grey, &srgbLike, &s), 0);
    // 0.5 with gamma 2.2 is 21.8 % light, which sRGB encodes as 128.
    EXPECT_EQ(s.r, 128);
    EXPECT_EQ(s.g, 128);
    EXPECT_EQ(s.b, 128);
    const float red[3] = {1, 0, 0};
    ASSERT_EQ(SwatchToScreen(red, &srgbLike, &s), 0);
    EXPECT_GE(s.r, 254);
    EXPECT_LE(s.g + s.b, 2);

    // A wide D50 space: its white is the screen's white, its red lies outside sRGB and is held
    // at the edge, and its grey stays grey.
    RefRGB wide = srgbLike;
    const float primaries[6] = {0.7347f, 0.2653f, 0.1596f, 0.8404f, 0.0366f, 0.0001f};
    for (int i = 0; i < 6; ++i) wide.primaries[i] = primaries[i];
    wide.xyzWhite[0] = 0.9642f;
    wide.xyzWhite[1] = 1.0f;
    wide.xyzWhite[2] = 0.8249f;
    wide.gamma = 1.8f;
    const float white[3] = {1, 1, 1};
    ASSERT_EQ(SwatchToScreen(white, &wide, &s), 0);
    EXPECT_GE(s.r, 254);
    EXPECT_GE(s.g, 254);
    EXPECT_GE(s.b, 254);
    ASSERT_EQ(SwatchToScreen(red, &wide, &s), 0);
    EXPECT_EQ(s.r, 255);
    EXPECT_EQ(s.b, 0);
    ASSERT_EQ(SwatchToScreen(grey, &wide, &s), 0);
    EXPECT_LE(std::abs(int(s.r) - int(s.b)), 1);

    const float lab[3] = {50, 0, 0};
    ASSERT_EQ(SwatchLabToScreen(lab, &wide, &s), 0);
    EXPECT_LE(std::abs(int(s.r) - int(s.g)) + std::abs(int(s.g) - int(s.b)), 2);
    EXPECT_NEAR(s.g, 119, 2);  // L* 50 is 18.4 % light: sRGB 119

    RefRGB broken = srgbLike;
    broken.gamma = 0;
    EXPECT_EQ(SwatchToScreen(grey, &broken, &s), -1);
}

class SliderDrawing : public UiTest {};

TEST_F(SliderDrawing, TheFillRunsFromTheOriginToTheThumbInTheColourOfTheValuesSide) {
    // Item 4 of the test dialog is a user item; three pictures are drawn in it in turn.
    struct Look {
        int32_t leftOfCentre, rightOfCentre;  // fill colour just left and right of the middle
    } looks[3]{};
    const SliderFill fill = SliderFillForChannel(0);
    auto colourAt = [](UiWindow* w, int v, int h) {
        Ui_RGB p = Ui_Headless_Pixel(Ui_Headless_Window(w), v, h);
        return int32_t(p.r) << 16 | int32_t(p.g) << 8 | p.b;
    };
    auto shoot = [&](int index, int32_t value, uint8_t centred) {
        return Call([&, index, value, centred](UiWindow* w) {
            Ui_Rect r;
            Ui_Item_GetRect(w, 4, &r);
            const int32_t x = centred ? SliderCentredX(&r, value) : SliderRangeX(&r, value, 0, 10);
            ASSERT_EQ(SliderDraw(w, 4, x, centred, &fill, 0), 0);
            const int v = (r.top + r.bottom) / 2, middle = (r.left + r.right) / 2;
            looks[index] = {colourAt(w, v, middle - 8), colourAt(w, v, middle + 8)};
        });
    };
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, nullptr, nullptr,
                  {shoot(0, -60, 1), shoot(1, 60, 1), shoot(2, 10, 0), Click(2)}, &item),
              0);
    const int32_t red = 220 << 16 | 40 << 8 | 40, cyan = 0 << 16 | 190 << 8 | 200;
    EXPECT_EQ(looks[0].leftOfCentre, cyan);  // below zero: cyan from the thumb to the middle
    EXPECT_NE(looks[0].rightOfCentre, cyan);
    EXPECT_EQ(looks[1].rightOfCentre, red);
    EXPECT_NE(looks[1].leftOfCentre, red);
    EXPECT_EQ(looks[2].leftOfCentre, red);  // a range slider fills from the left edge
    EXPECT_EQ(looks[2].rightOfCentre, red);
}

}  // namespace
