// The one anti-aliased painter: full colour inside a shape, nothing outside, a one-pixel ramp
// along the edges, the ring's colour by angle as a colour wheel runs, and everything cut to the
// image.
#include <gtest/gtest.h>

#include <cmath>

#include "edit/window/tool_paint.h"
#include "platform/ui/rect.h"

namespace {

struct Image {
    Ui_Offscreen* im = nullptr;
    explicit Image(int size) {
        Ui_Rect r = Ui_Rect_Make(0, 0, size, size);
        EXPECT_EQ(Ui_Offscreen_Create(&r, &im), 0);
        EXPECT_EQ(PaintFill(im, Ui_RGB{255, 255, 255}), 0);
    }
    ~Image() { Ui_Offscreen_Free(&im); }
    // How far a pixel went from white to black, 0 .. 1.
    double Ink(int x, int y) const { return (255 - PaintPixel(im, x, y).r) / 255.0; }
};

constexpr Ui_RGB kBlack{0, 0, 0};

TEST(ToolPaint, DiscsAreFullInsideEmptyOutsideAndRampAlongTheEdge) {
    Image a(40);
    PaintDisc(a.im, 20.0, 20.0, 10.3, kBlack);
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
    PaintCircle(b.im, 20.0, 20.0, 12.0, 2.0, kBlack);
    EXPECT_EQ(b.Ink(20, 20), 0.0);
    EXPECT_GT(b.Ink(20, 7), 0.9);  // centre 7.5: half a pixel inside the 11 .. 13 band
    EXPECT_EQ(b.Ink(20, 3), 0.0);

    // Shapes partly or wholly outside are cut; sizes that are no number paint nothing.
    Image c(10);
    PaintDisc(c.im, -50.0, 5.0, 3.0, kBlack);
    PaintDisc(c.im, 5.0, 5.0, NAN, kBlack);
    PaintCircle(c.im, 5.0, 5.0, 3.0, NAN, kBlack);
    PaintLine(c.im, 1.0, 1.0, 8.0, 8.0, NAN, kBlack);
    PaintDisc(nullptr, 5.0, 5.0, 3.0, kBlack);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) EXPECT_EQ(c.Ink(x, y), 0.0) << x << "," << y;
    }
}

TEST(ToolPaint, LinesCoverTheirWidthWithRoundEnds) {
    Image a(30);
    // Two pixels wide along y = 10: rows 9 and 10 full, 8 and 11 untouched.
    PaintLine(a.im, 5.0, 10.0, 25.0, 10.0, 2.0, kBlack);
    EXPECT_EQ(a.Ink(15, 9), 1.0);
    EXPECT_EQ(a.Ink(15, 10), 1.0);
    EXPECT_EQ(a.Ink(15, 8), 0.0);
    EXPECT_EQ(a.Ink(15, 11), 0.0);
    EXPECT_EQ(a.Ink(26, 9), 0.0);  // past the round end
    // A slanted line leaves partial pixels beside it, symmetric about its middle.
    Image b(30);
    PaintLine(b.im, 5.0, 5.0, 25.0, 15.0, 1.5, kBlack);
    int partial = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            partial += b.Ink(x, y) > 0.05 && b.Ink(x, y) < 0.95;
            EXPECT_NEAR(b.Ink(x, y), b.Ink(29 - x, 19 - y), 0.01) << x << "," << y;
        }
    }
    EXPECT_GT(partial, 10);
}

TEST(ToolPaint, PolygonsCoverPixelsByTheShareInside) {
    Image a(10);
    // A square whose left and top edges halve pixels 2, whose right and bottom follow pixel
    // edges.
    const double square[] = {2.5, 2.5, 6.0, 2.5, 6.0, 6.0, 2.5, 6.0};
    ASSERT_EQ(PaintPolygon(a.im, square, 4, kBlack), 0);
    EXPECT_EQ(a.Ink(4, 4), 1.0);
    EXPECT_NEAR(a.Ink(2, 4), 0.5, 0.01);
    EXPECT_NEAR(a.Ink(2, 2), 0.25, 0.01);
    EXPECT_EQ(a.Ink(6, 4), 0.0);
    EXPECT_EQ(a.Ink(4, 1), 0.0);
    EXPECT_EQ(PaintPolygon(a.im, square, 2, kBlack), -1);
    EXPECT_EQ(PaintPolygon(a.im, nullptr, 4, kBlack), -1);
}

Ui_RGB HalfRedHalfBlue(double degrees, const void*) {
    return degrees < 180.0 ? Ui_RGB{255, 0, 0} : Ui_RGB{0, 0, 255};
}

TEST(ToolPaint, RingsTakeTheirColourFromTheAngleCountedLikeAColourWheel) {
    Image a(60);
    PaintRing(a.im, 30.0, 30.0, 15.0, 25.0, HalfRedHalfBlue, nullptr);
    // Upper half (angles 0 .. 180 counted counter-clockwise from three o'clock) red, lower blue.
    const Ui_RGB top = PaintPixel(a.im, 30, 10), bottom = PaintPixel(a.im, 30, 49),
                 hole = PaintPixel(a.im, 30, 30);
    EXPECT_TRUE(top.r == 255 && top.g == 0 && top.b == 0);
    EXPECT_TRUE(bottom.r == 0 && bottom.g == 0 && bottom.b == 255);
    EXPECT_TRUE(hole.r == 255 && hole.g == 255 && hole.b == 255);
    // The hit test's angle is the painting's.
    EXPECT_NEAR(PaintAngle(30.0, 30.0, 40.0, 20.0), 45.0, 1e-9);
    EXPECT_NEAR(PaintAngle(30.0, 30.0, 20.0, 40.0), 225.0, 1e-9);
    EXPECT_NEAR(PaintAngle(30.0, 30.0, 40.0, 30.0), 0.0, 1e-9);
    // Radii the wrong way round paint nothing.
    Image b(60);
    PaintRing(b.im, 30.0, 30.0, 25.0, 15.0, HalfRedHalfBlue, nullptr);
    EXPECT_EQ(b.Ink(30, 10), 0.0);
}

TEST(ToolPaint, BlendingMixesByCoverageWithinTheImage) {
    Image a(4);
    PaintBlend(a.im, 1, 1, kBlack, 0.5);
    EXPECT_EQ(PaintPixel(a.im, 1, 1).r, 128);
    PaintBlend(a.im, 2, 2, kBlack, 3.0);  // more than full: full
    EXPECT_EQ(PaintPixel(a.im, 2, 2).r, 0);
    PaintBlend(a.im, 0, 0, kBlack, NAN);  // no number: nothing
    EXPECT_EQ(PaintPixel(a.im, 0, 0).r, 255);
    PaintBlend(a.im, 9, 9, kBlack, 1.0);  // outside: nothing
    const Ui_RGB outside = PaintPixel(a.im, 4, 0);
    EXPECT_TRUE(outside.r == 0 && outside.g == 0 && outside.b == 0);
    EXPECT_EQ(PaintFill(nullptr, kBlack), -1);
}

}  // namespace
