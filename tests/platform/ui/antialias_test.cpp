// Anti-aliased shapes in offscreen images: full colour inside, nothing outside, a one-pixel ramp
// along the edges, and the ring's colour by angle as a colour wheel runs.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/ui/antialias.h"
#include "platform/ui/rect.h"

namespace {

struct Image {
    Ui_Offscreen* im = nullptr;
    explicit Image(int size) {
        Ui_Rect r = Ui_Rect_Make(0, 0, size, size);
        EXPECT_EQ(Ui_Offscreen_Create(&r, &im), 0);
        Ui_Offscreen_FillColor(im, Ui_RGB{255, 255, 255});
    }
    ~Image() { Ui_Offscreen_Free(&im); }
    Ui_RGB At(int x, int y) const {
        Ui_RGB c{0, 0, 0};
        EXPECT_EQ(Ui_Offscreen_GetPixel(im, x, y, &c), 0);
        return c;
    }
    // How far a pixel went from white to black, 0 .. 1.
    double Ink(int x, int y) const { return (255 - At(x, y).r) / 255.0; }
};

constexpr Ui_RGB kBlack{0, 0, 0};

TEST(Antialias, DiscsAreFullInsideEmptyOutsideAndRampAlongTheEdge) {
    Image a(40);
    ASSERT_EQ(Ui_Offscreen_Disc(a.im, 20.0, 20.0, 10.3, kBlack), 0);
    double total = 0;
    int ramp = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            total += a.Ink(x, y);
            ramp += a.Ink(x, y) > 0.05 && a.Ink(x, y) < 0.95;
            // Mirror images across both axes through the centre.
            EXPECT_NEAR(a.Ink(x, y), a.Ink(39 - x, y), 0.01);
            EXPECT_NEAR(a.Ink(x, y), a.Ink(x, 39 - y), 0.01);
        }
    }
    EXPECT_NEAR(total, 3.14159 * 10.3 * 10.3, 2.0);
    EXPECT_GT(ramp, 20);  // the edge is smooth, not a staircase
    EXPECT_EQ(a.Ink(20, 20), 1.0);
    EXPECT_EQ(a.Ink(20, 7), 0.0);

    // An outline: ink on the radius, none at the centre or far outside.
    Image b(40);
    ASSERT_EQ(Ui_Offscreen_Circle(b.im, 20.0, 20.0, 12.0, 2.0, kBlack), 0);
    EXPECT_EQ(b.Ink(20, 20), 0.0);
    EXPECT_GT(b.Ink(20, 7), 0.9);  // centre 7.5: half a pixel inside the 11 .. 13 band
    EXPECT_EQ(b.Ink(20, 3), 0.0);

    // Shapes partly or wholly outside are cut; bad arguments change nothing.
    EXPECT_EQ(Ui_Offscreen_Disc(b.im, -50.0, 5.0, 3.0, kBlack), 0);
    EXPECT_EQ(Ui_Offscreen_Disc(b.im, 5.0, 5.0, NAN, kBlack), -1);
    EXPECT_EQ(Ui_Offscreen_Circle(b.im, 5.0, 5.0, 3.0, 0.0, kBlack), -1);
    EXPECT_EQ(Ui_Offscreen_Disc(nullptr, 5.0, 5.0, 3.0, kBlack), -1);
}

TEST(Antialias, LinesCoverTheirWidthWithRoundEnds) {
    Image a(30);
    // Two pixels wide along y = 10: rows 9 and 10 full, 8 and 11 untouched.
    ASSERT_EQ(Ui_Offscreen_Line(a.im, 5.0, 10.0, 25.0, 10.0, 2.0, kBlack), 0);
    EXPECT_EQ(a.Ink(15, 9), 1.0);
    EXPECT_EQ(a.Ink(15, 10), 1.0);
    EXPECT_EQ(a.Ink(15, 8), 0.0);
    EXPECT_EQ(a.Ink(15, 11), 0.0);
    EXPECT_EQ(a.Ink(26, 9), 0.0);  // past the round end
    // A slanted line leaves partial pixels beside it, symmetric about its middle.
    Image b(30);
    ASSERT_EQ(Ui_Offscreen_Line(b.im, 5.0, 5.0, 25.0, 15.0, 1.5, kBlack), 0);
    int partial = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            partial += b.Ink(x, y) > 0.05 && b.Ink(x, y) < 0.95;
            EXPECT_NEAR(b.Ink(x, y), b.Ink(29 - x, 19 - y), 0.01) << x << "," << y;
        }
    }
    EXPECT_GT(partial, 10);
}

int32_t HalfRedHalfBlue(double degrees, void*, Ui_RGB* color) {
    *color = degrees < 180.0 ? Ui_RGB{255, 0, 0} : Ui_RGB{0, 0, 255};
    return 0;
}

TEST(Antialias, RingsTakeTheirColourFromTheAngleCountedLikeAColourWheel) {
    Image a(60);
    ASSERT_EQ(Ui_Offscreen_Ring(a.im, 30.0, 30.0, 15.0, 25.0, HalfRedHalfBlue, nullptr), 0);
    // Upper half (angles 0 .. 180 counted counter-clockwise from three o'clock) red, lower blue.
    Ui_RGB top = a.At(30, 10), bottom = a.At(30, 49), hole = a.At(30, 30);
    EXPECT_TRUE(top.r == 255 && top.g == 0 && top.b == 0);
    EXPECT_TRUE(bottom.r == 0 && bottom.g == 0 && bottom.b == 255);
    EXPECT_TRUE(hole.r == 255 && hole.g == 255 && hole.b == 255);
    EXPECT_NEAR(Ui_Offscreen_Angle(30.0, 30.0, 40.0, 20.0), 45.0, 1e-9);
    EXPECT_NEAR(Ui_Offscreen_Angle(30.0, 30.0, 20.0, 40.0), 225.0, 1e-9);
    EXPECT_NEAR(Ui_Offscreen_Angle(30.0, 30.0, 40.0, 30.0), 0.0, 1e-9);
    // A colour proc that fails stops the painting with its status.
    EXPECT_EQ(Ui_Offscreen_Ring(
                  a.im, 30.0, 30.0, 15.0, 25.0,
                  [](double, void*, Ui_RGB*) -> int32_t { return -3; }, nullptr),
              -3);
    EXPECT_EQ(Ui_Offscreen_Ring(a.im, 30.0, 30.0, 25.0, 15.0, HalfRedHalfBlue, nullptr), -1);
}

TEST(Antialias, BlendingMixesByCoverage) {
    Image a(4);
    ASSERT_EQ(Ui_Offscreen_Blend(a.im, 1, 1, kBlack, 128), 0);
    EXPECT_EQ(a.At(1, 1).r, 127);
    ASSERT_EQ(Ui_Offscreen_Blend(a.im, 2, 2, kBlack, 300), 0);  // more than full: full
    EXPECT_EQ(a.At(2, 2).r, 0);
    EXPECT_EQ(Ui_Offscreen_Blend(a.im, 9, 9, kBlack, 255), 0);  // outside: nothing, no failure
    Ui_RGB c{};
    EXPECT_EQ(Ui_Offscreen_GetPixel(a.im, 4, 0, &c), -1);
}

}  // namespace
