// Drawing operations as the headless canvas records them: edges of rectangles and lines, XOR,
// ellipses, polygons against the region hit test, clipping, offscreen images, bitmaps, icons and
// text.
#include <string>
#include <tuple>

#include "platform/resources.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

constexpr uint32_t kFace = 0xF0F0F0;  // the background before any colour is set
const Ui_Color kRed = Ui_ColorFromRGB(255, 0, 0);
const Ui_Color kBlue = Ui_ColorFromRGB(0, 0, 255);

uint32_t Px(const UiHeadlessWindow* hw, int v, int h) {
    Ui_RGB c = Ui_Headless_Pixel(hw, v, h);
    return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}
// Each (v, h, colour) must hold.
void ExpectPixels(const UiHeadlessWindow* hw, std::vector<std::tuple<int, int, uint32_t>> spots) {
    for (auto [v, h, colour] : spots) EXPECT_EQ(Px(hw, v, h), colour) << v << "," << h;
}

class DrawTest : public UiTest {
   protected:
    // Runs fn in the open test dialog and returns the canvas as the dialog left it; with begin,
    // fn draws between Ui_Draw_Begin and Ui_Draw_End.
    const UiHeadlessWindow* Drawn(std::function<void(UiWindow*)> fn, bool begin = true) {
        int16_t item = 0;
        EXPECT_EQ(Run(kTestDialog, nullptr, nullptr, {Call([fn, begin](UiWindow* w) {
                          if (!begin) return fn(w);
                          ASSERT_EQ(Ui_Draw_Begin(w), 0);
                          fn(w);
                          EXPECT_EQ(Ui_Draw_End(w), 0);
                      })},
                      &item),
                  0);
        return Closed();
    }
};

TEST_F(DrawTest, RectanglesExcludeTheirRightAndBottomEdges) {
    const UiHeadlessWindow* hw = Drawn([](UiWindow* w) {
        Ui_Rect fill = Ui_Rect_Make(10, 20, 14, 26), frame = Ui_Rect_Make(30, 30, 35, 40);
        Ui_Draw_FillRect(w, &fill, &kRed);
        Ui_Draw_FrameRect(w, &frame, &kBlue);
        Ui_Rect empty = Ui_Rect_Make(50, 50, 50, 60);
        EXPECT_EQ(Ui_Draw_FillRect(w, &empty, &kRed), 0);  // nothing to fill is no failure
    });
    ExpectPixels(hw, {{10, 20, 0xFF0000},
                      {13, 25, 0xFF0000},
                      {14, 25, kFace},
                      {13, 26, kFace},
                      {9, 20, kFace},
                      {30, 30, 0x0000FF},
                      {34, 39, 0x0000FF},
                      {32, 35, kFace},
                      {35, 39, kFace},
                      {50, 55, kFace}});
}

TEST_F(DrawTest, LinesIncludeBothEndsAndXorPensAreDotted) {
    const UiHeadlessWindow* hw = Drawn([](UiWindow* w) {
        Ui_Draw_SetPen(w, &kRed, 1);
        Ui_Draw_MoveTo(w, 5, 5);
        Ui_Draw_LineTo(w, 5, 15);   // horizontal
        Ui_Draw_LineTo(w, 15, 25);  // diagonal, continuing from the pen position
        Ui_Draw_SetPen(w, &kBlue, 3);
        Ui_Draw_MoveTo(w, 40, 10);
        Ui_Draw_LineTo(w, 40, 20);
        Ui_Draw_SetXorMode(w, 1);
        Ui_Color white = Ui_ColorFromRGB(255, 255, 255);
        Ui_Draw_SetPen(w, &white, 3);
        Ui_Draw_MoveTo(w, 60, 10);
        Ui_Draw_LineTo(w, 60, 20);
        EXPECT_EQ(Ui_Draw_SetPen(w, &white, 0), -1);
    });
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(Px(hw, 5, 5 + i), 0xFF0000u) << i;
        EXPECT_EQ(Px(hw, 5 + i, 15 + i), 0xFF0000u) << i;
        // XOR with white inverts the face grey; the XOR pen is thin and dotted.
        EXPECT_EQ(Px(hw, 60, 10 + i), i % 2 == 0 ? 0x0F0F0Fu : kFace) << i;
    }
    for (int v = 39; v <= 41; ++v) EXPECT_EQ(Px(hw, v, 20), 0x0000FFu) << v;  // 3 pixels wide
    ExpectPixels(hw, {{5, 4, kFace}, {16, 26, kFace}, {42, 15, kFace}, {61, 10, kFace}});
}

TEST_F(DrawTest, XorDrawingTwiceRestoresTheWindowAndFocusRectanglesAreDotted) {
    const UiHeadlessWindow* hw = Drawn([](UiWindow* w) {
        Ui_Rect r = Ui_Rect_Make(10, 10, 40, 60), dot = Ui_Rect_Make(20, 20, 24, 24);
        Ui_Draw_FillRect(w, &dot, &kRed);
        Ui_Draw_SetXorMode(w, 1);
        Ui_Draw_FillRect(w, &r, &kBlue);
        Ui_Draw_FillRect(w, &r, &kBlue);
        Ui_Draw_FocusRect(w, &r);
        Ui_Draw_FocusRect(w, &r);
        Ui_Point tri[3] = {{5, 70}, {30, 100}, {30, 70}};
        Ui_Draw_FillPolygon(w, tri, 3, &kRed);
        Ui_Draw_FillPolygon(w, tri, 3, &kRed);
        Ui_Draw_SetXorMode(w, 0);
        Ui_Rect focus = Ui_Rect_Make(60, 10, 70, 30);
        Ui_Draw_FocusRect(w, &focus);
    });
    for (int v = 0; v < 50; ++v) {
        for (int h = 0; h < 110; ++h) {
            bool dot = 20 <= v && v < 24 && 20 <= h && h < 24;
            ASSERT_EQ(Px(hw, v, h), dot ? 0xFF0000u : kFace) << v << "," << h;
        }
    }
    int changed = 0;
    for (int h = 10; h < 30; ++h) changed += Px(hw, 60, h) != kFace;
    EXPECT_GE(changed, 8);
    EXPECT_LE(changed, 12);
    ExpectPixels(hw, {{65, 20, kFace}, {70, 20, kFace}});  // inside untouched, bottom excluded
}

TEST_F(DrawTest, EllipsesStayInsideTheirRectangleAndAreSymmetric) {
    const UiHeadlessWindow* hw = Drawn([](UiWindow* w) {
        Ui_Rect filled = Ui_Rect_Make(10, 10, 30, 50), framed = Ui_Rect_Make(40, 10, 80, 50);
        Ui_Draw_FillEllipse(w, &filled, &kRed);
        Ui_Draw_SetPen(w, &kBlue, 2);
        Ui_Draw_FrameEllipse(w, &framed, nullptr);
    });
    int count = 0;
    for (int v = 5; v < 35; ++v) {
        for (int h = 5; h < 55; ++h) {
            bool on = Px(hw, v, h) == 0xFF0000u;
            count += on;
            EXPECT_TRUE(!on || (10 <= v && v < 30 && 10 <= h && h < 50)) << v << "," << h;
            // Mirror images across both middle lines of the rectangle.
            EXPECT_EQ(on, Px(hw, 39 - v, h) == 0xFF0000u) << v << "," << h;
            EXPECT_EQ(on, Px(hw, v, 59 - h) == 0xFF0000u) << v << "," << h;
        }
    }
    EXPECT_NEAR(count, 628, 20);  // close to pi * 20 * 10
    // The frame is hollow and two pixels wide.
    ExpectPixels(hw, {{10, 10, kFace},
                      {20, 30, 0xFF0000},
                      {60, 30, kFace},
                      {40, 30, 0x0000FF},
                      {60, 10, 0x0000FF},
                      {60, 12, kFace}});
}

TEST_F(DrawTest, FilledPolygonsCoverExactlyWhatTheRegionHitTestContains) {
    // A concave arrow with an odd slope on every edge.
    static const Ui_Point arrow[7] = {{10, 40}, {35, 70}, {60, 42}, {45, 45},
                                      {45, 12}, {25, 15}, {25, 47}};
    const UiHeadlessWindow* hw =
        Drawn([](UiWindow* w) { Ui_Draw_FillPolygon(w, arrow, 7, &kRed); });
    Ui_Region* region = nullptr;
    ASSERT_EQ(Ui_Region_FromPolygon(arrow, 7, &region), 0);
    int inside = 0;
    for (int v = 0; v < 70; ++v) {
        for (int h = 0; h < 80; ++h) {
            bool drawn = Px(hw, v, h) == 0xFF0000u;
            ASSERT_EQ(drawn, bool(Ui_Region_Contains(region, v, h))) << v << "," << h;
            inside += drawn;
        }
    }
    EXPECT_GT(inside, 900);
    EXPECT_FALSE(Ui_Region_Contains(region, 50, 20));  // in the notch of the arrow
    EXPECT_EQ(Ui_Region_Delete(&region), 0);
    EXPECT_EQ(region, nullptr);
    EXPECT_EQ(Ui_Region_FromPolygon(arrow, 2, &region), -1);
}

TEST_F(DrawTest, ClipLimitsDrawingUntilDrawingEnds) {
    const UiHeadlessWindow* hw = Drawn(
        [](UiWindow* w) {
            Ui_Draw_Begin(w);
            Ui_Rect clip = Ui_Rect_Make(10, 10, 20, 20), all = Ui_Rect_Make(0, 0, 100, 100);
            Ui_Draw_SetClip(w, &clip);
            Ui_Draw_FillRect(w, &all, &kRed);
            Ui_Draw_End(w);
            Ui_Draw_Begin(w);  // a new drawing starts without the clip
            Ui_Rect strip = Ui_Rect_Make(50, 0, 51, 100);
            Ui_Draw_FillRect(w, &strip, &kBlue);
            Ui_Draw_End(w);
        },
        false);
    ExpectPixels(hw, {{10, 10, 0xFF0000},
                      {19, 19, 0xFF0000},
                      {20, 19, kFace},
                      {9, 15, kFace},
                      {50, 0, 0x0000FF},
                      {50, 99, 0x0000FF}});
}

TEST_F(DrawTest, AUserItemPaintsOnlyInsideItself) {
    static auto draw = [](UiWindow* w, int16_t) -> int32_t {
        Ui_Draw_Begin(w);
        Ui_Rect all = Ui_Rect_Make(0, 0, 300, 300);
        Ui_Draw_FillRect(w, &all, &kRed);
        return Ui_Draw_End(w);
    };
    static auto init = [](UiWindow* w) -> int32_t { return Ui_Dlg_SetDrawProc(w, 4, draw); };
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, init, nullptr, {}, &item), 0);
    // Item 4 covers v 49..113, h 15..104.
    ExpectPixels(Closed(), {{49, 15, 0xFF0000},
                            {113, 104, 0xFF0000},
                            {48, 15, kFace},
                            {113, 105, kFace},
                            {150, 150, kFace}});
}

TEST_F(DrawTest, OffscreenImagesAreBlueGreenRedRowsPaddedToFourBytes) {
    Ui_Offscreen* image = nullptr;
    Ui_Rect size = Ui_Rect_Make(100, 200, 103, 205);  // 5 x 3: rows of 15 bytes padded to 16
    ASSERT_EQ(Ui_Offscreen_Create(&size, &image), 0);
    EXPECT_TRUE(image->width == 5 && image->height == 3 && image->rowBytes == 16);
    for (int i = 0; i < 48; ++i) ASSERT_EQ(image->pixels[i], 0) << i;
    EXPECT_EQ(image->blue, image->pixels);
    EXPECT_EQ(image->green, image->pixels + 1);
    EXPECT_EQ(image->red, image->pixels + 2);
    // Pixel (row 1, column 2) red, pixel (2, 4) green + blue.
    image->red[1 * 16 + 2 * 3] = 255;
    image->green[2 * 16 + 4 * 3] = 128;
    image->blue[2 * 16 + 4 * 3] = 64;
    const UiHeadlessWindow* hw = Drawn([image](UiWindow* w) {
        Ui_Rect at = Ui_Rect_Make(10, 20, 20, 40);
        EXPECT_EQ(Ui_Draw_Offscreen(w, image, &at), 0);
        Ui_Rect cut = Ui_Rect_Make(30, 20, 31, 22);  // only the first two pixels of row 0
        EXPECT_EQ(Ui_Draw_Offscreen(w, image, &cut), 0);
    });
    ExpectPixels(hw, {{11, 22, 0xFF0000},
                      {12, 24, 0x008040},
                      {10, 20, 0},
                      {12, 25, kFace},
                      {30, 21, 0},
                      {30, 22, kFace},
                      {31, 20, kFace}});
    EXPECT_EQ(Ui_Offscreen_Free(&image), 0);
    EXPECT_EQ(image, nullptr);
    Ui_Rect empty = Ui_Rect_Make(0, 0, 0, 5);
    EXPECT_EQ(Ui_Offscreen_Create(&empty, &image), -1);
}

// Decodes a BMP file; the image is freed at once unless kept.
int32_t Decode(const std::string& bmp, Ui_Offscreen** keep = nullptr) {
    Ui_Offscreen* image = nullptr;
    int32_t status = Ui_Bitmap_Decode(reinterpret_cast<const uint8_t*>(bmp.data()),
                                      uint32_t(bmp.size()), &image);
    if (keep != nullptr)
        *keep = image;
    else
        Ui_Offscreen_Free(&image);
    return status;
}

TEST(BitmapDecode, ReadsBothRowOrdersAndPalettesAndRefusesTheRest) {
    // 3 x 2: red green blue / white black grey.
    std::vector<uint32_t> rgb = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x808080};
    for (const std::string& bmp : {MakeBmp(3, 2, rgb, {}), MakeBmp(3, 2, rgb, {}, true),
                                   MakeBmp(3, 2, {1, 2, 3, 4, 0, 5}, palette)}) {
        Ui_Offscreen* image = nullptr;
        ASSERT_EQ(Decode(bmp, &image), 0);
        ASSERT_TRUE(image->width == 3 && image->height == 2);
        for (int i = 0; i < 6; ++i) {
            const uint8_t* p = image->pixels + (i / 3) * image->rowBytes + 3 * (i % 3);
            EXPECT_EQ(uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0], rgb[size_t(i)]) << i;
        }
        Ui_Offscreen_Free(&image);
    }
    // An index past the palette reads as black.
    Ui_Offscreen* image = nullptr;
    ASSERT_EQ(Decode(MakeBmp(3, 2, {1, 2, 3, 4, 0, 9}, palette), &image), 0);
    EXPECT_EQ(image->pixels[image->rowBytes + 6], 0);
    Ui_Offscreen_Free(&image);

    // Refused: pixels cut short, compressed, 4 bits a pixel, width 0, pixel data past the end.
    const std::string good = MakeBmp(3, 2, rgb, {});
    EXPECT_EQ(Decode(good.substr(0, good.size() - 1)), -8);
    for (auto [at, value] : {std::pair{30, 1}, {28, 4}, {18, 0}, {13, 0x7F}}) {
        std::string bad = good;
        bad[size_t(at)] = char(value);
        EXPECT_EQ(Decode(bad), -8) << at;
    }
    EXPECT_EQ(Decode("BM"), -8);
    EXPECT_EQ(Ui_Bitmap_Decode(nullptr, 10, &image), -1);
}

TEST_F(DrawTest, TextIsRecordedWithItsRectangleAndMeasuredHeight) {
    int16_t wrapped = 0, single = 0;
    const UiHeadlessWindow* hw = Drawn([&](UiWindow* w) {
        Ui_Rect r = Ui_Rect_Make(10, 10, 60, 52);  // 42 pixels: 7 characters a line
        Ui_Draw_SetPen(w, &kRed, 1);
        EXPECT_EQ(Ui_Draw_TextInRect(w, "aaa bbb ccc", &r, kUiTextWrap | kUiAlignRight, &wrapped),
                  0);
        EXPECT_EQ(Ui_Draw_TextInRect(w, "aaa bbb ccc", &r, kUiAlignLeft, &single), 0);
        EXPECT_EQ(Ui_Draw_TextAt(w, "centred", 80, 100, kUiAlignCenter), 0);
        Ui_Draw_SetFont(w, kUiFontSmall);
        EXPECT_EQ(Ui_Draw_TextAt(w, "right", 90, 100, kUiAlignRight), 0);
        EXPECT_EQ(Ui_Draw_SetFont(w, 7), -1);
    });
    EXPECT_EQ(wrapped, 26);  // two lines of 13 pixels
    EXPECT_EQ(single, 13);
    ASSERT_EQ(hw->textCount, 4);
    EXPECT_STREQ(hw->texts[0].text, "aaa bbb ccc");
    EXPECT_EQ(hw->texts[0].format, kUiTextWrap | kUiAlignRight);
    EXPECT_EQ(hw->texts[0].color.r, 255);
    EXPECT_EQ(RectText(hw->texts[0].rect), "10,10,60,52");
    // "centred": 7 characters of 6 pixels centred on h = 100, top at v = 80. The small font: 4
    // pixels a character, 8 high, ending at h = 100.
    EXPECT_EQ(RectText(hw->texts[2].rect), "80,79,93,121");
    EXPECT_EQ(RectText(hw->texts[3].rect), "90,80,98,100");
    EXPECT_EQ(hw->texts[3].font, kUiFontSmall);
}

TEST_F(DrawTest, StandardIconsAreDrawnFromShapes) {
    const UiHeadlessWindow* hw = Drawn([](UiWindow* w) {
        Ui_Rect a = Ui_Rect_Make(0, 0, 40, 40), b = Ui_Rect_Make(0, 40, 40, 80),
                c = Ui_Rect_Make(0, 80, 40, 160);
        EXPECT_EQ(Ui_Draw_Icon(w, kUiIconStop, &a, kUiAlignLeft), 0);
        EXPECT_EQ(Ui_Draw_Icon(w, kUiIconCaution, &b, kUiAlignLeft), 0);
        EXPECT_EQ(Ui_Draw_Icon(w, kUiIconNote, &c, kUiAlignRight), 0);
        EXPECT_EQ(Ui_Draw_Icon(w, 4242, &c, kUiAlignRight), -7);  // no such icon resource
    });
    // Each 32 x 32 icon is centred vertically: its top is 4 pixels down. The stop sign: a white
    // cross on a red disc; the caution sign: a yellow triangle with a black bar; the note, placed
    // right: a blue disc with the white stem of its "i".
    ExpectPixels(hw, {{20, 16, 0xFFFFFF},
                      {20, 3, 0xC81E1E},
                      {32, 42, 0xFAC81E},
                      {20, 56, 0},
                      {20, 131, 0x1E5AC8},
                      {24, 144, 0xFFFFFF},
                      {20, 100, kFace}});
}

TEST_F(DrawTest, DrawingNeedsBeginAndFailuresAreLogged) {
    Drawn(
        [](UiWindow* w) {
            Ui_Rect r = Ui_Rect_Make(0, 0, 10, 10), empty = Ui_Rect_Make(5, 5, 5, 9);
            EXPECT_EQ(Ui_Draw_FillRect(w, &r, &kRed), -2);
            EXPECT_EQ(Ui_Draw_End(w), -2);
            Ui_Offscreen* image = nullptr;
            Ui_Offscreen_Create(&r, &image);
            EXPECT_EQ(Ui_Draw_Offscreen(w, image, &r), -2);
            ASSERT_EQ(Ui_Draw_Begin(w), 0);
            EXPECT_EQ(Ui_Draw_Begin(w), -2);  // already taken
            EXPECT_EQ(Ui_Draw_FillEllipse(w, &empty, &kRed), -2);
            EXPECT_EQ(Ui_Draw_FrameEllipse(w, &empty, &kRed), -2);
            EXPECT_EQ(Ui_Draw_FillPolygon(w, nullptr, 3, &kRed), -1);
            EXPECT_EQ(Ui_Draw_End(w), 0);
            Ui_Offscreen_Free(&image);
        },
        false);
    EXPECT_EQ(LogWith("DrawError").size(), 2u);
    EXPECT_EQ(LogWith("DrawError1").size(), 1u);
    EXPECT_EQ(LogWith("DrawError3").size(), 1u);
    EXPECT_EQ(Joined(LogWith("compatible")), "Error -2 creating compatible context");
}

TEST_F(DrawTest, CustomBackgroundColoursTheDialogAndTheNullColour) {
    static const Ui_Color teal = Ui_ColorFromRGB(0, 128, 128);
    static auto init = [](UiWindow* w) -> int32_t { return Ui_Draw_SetBackColor(w, &teal); };
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, init, nullptr, {Call([](UiWindow* w) {
                      Ui_Color got{};
                      EXPECT_EQ(Ui_Draw_GetBackColor(w, &got), 0);
                      EXPECT_EQ(got.green >> 8, 128);
                      Ui_Dlg_Info* info = nullptr;
                      Ui_Dlg_Info_Get(w, &info);
                      EXPECT_TRUE(info->customColors);
                      ASSERT_TRUE(info->solidBrush != nullptr && info->hollowBrush != nullptr);
                      EXPECT_FALSE(info->solidBrush->hollow);
                      EXPECT_TRUE(info->hollowBrush->hollow);
                      // Buttons and static texts get the hollow brush, the dialog the solid one.
                      Ui_Msg m{};
                      int32_t brush = -1;
                      m.kind = kUiMsgCtlColorStatic;
                      Ui_Dlg_Proc(w, &m, &brush);
                      EXPECT_EQ(brush, kUiBrushHollow);
                      m.kind = kUiMsgCtlColorDialog;
                      Ui_Dlg_Proc(w, &m, &brush);
                      EXPECT_EQ(brush, kUiBrushSolid);
                      Ui_Draw_Begin(w);
                      Ui_Rect r = Ui_Rect_Make(0, 0, 5, 5);
                      Ui_Draw_SetXorMode(w, 0);
                      Ui_Draw_FillRect(w, &r, &kRed);
                      Ui_Draw_FillRect(w, &r, nullptr);  // back to the background
                      Ui_Draw_End(w);
                  })},
                  &item),
              0);
    ExpectPixels(Closed(), {{2, 2, 0x008080}, {150, 250, 0x008080}});
}

}  // namespace

namespace {

TEST_F(DrawTest, PieSegmentsAndArcsCoverOnlyTheirAngles) {
    const UiHeadlessWindow* hw = Drawn([](UiWindow* w) {
        Ui_Rect pie = Ui_Rect_Make(10, 10, 50, 50), arc = Ui_Rect_Make(60, 10, 100, 50);
        EXPECT_EQ(Ui_Draw_FillPie(w, &pie, 0, 90, &kRed), 0);    // up and to the right
        EXPECT_EQ(Ui_Draw_FillPie(w, &pie, 0, -90, &kBlue), 0);  // clockwise: down, right
        Ui_Draw_SetPen(w, &kBlue, 3);
        EXPECT_EQ(Ui_Draw_FrameArc(w, &arc, 450, 180, nullptr), 0);  // 90 .. 270: the left half
        EXPECT_EQ(Ui_Draw_FillPie(w, &arc, 30, 0, &kRed), 0);        // nothing
        Ui_Rect whole = Ui_Rect_Make(110, 10, 130, 30);
        EXPECT_EQ(Ui_Draw_FillPie(w, &whole, 10, 400, &kRed), 0);  // more than a turn: all
        EXPECT_EQ(Ui_Draw_FillPie(w, &whole, 40000, 10, &kRed), -1);
        Ui_Rect empty = Ui_Rect_Make(0, 0, 0, 10);
        EXPECT_EQ(Ui_Draw_FrameArc(w, &empty, 0, 90, nullptr), -1);
    });
    ExpectPixels(hw, {{20, 40, 0xFF0000},
                      {40, 40, 0x0000FF},
                      {20, 20, kFace},
                      {40, 20, kFace},
                      {80, 11, 0x0000FF},  // the left edge of the arc's ellipse
                      {80, 30, kFace},     // its middle stays empty
                      {80, 48, kFace},     // the right half is not drawn
                      {61, 29, 0x0000FF},  // the top, just left of where the half starts
                      {120, 12, 0xFF0000},
                      {120, 27, 0xFF0000}});
}

TEST_F(DrawTest, FontsHaveTheSameNominalMetricsEverywhere) {
    struct Case {
        int32_t points, font, avg, height;
    } cases[] = {{8, kUiFontDialog, 6, 13}, {9, kUiFontDialog, 7, 15},
                 {9, kUiFontBold, 8, 15},   {9, kUiFontLarge, 9, 20},
                 {8, kUiFontLarge, 8, 18},  {9, kUiFontLargeBold, 10, 20},
                 {12, kUiFontSmall, 4, 8},  {0, kUiFontDialog, 6, 13}};
    for (const Case& c : cases) {
        int32_t avg = 0, height = 0;
        ASSERT_EQ(Ui_Font_Nominal(c.points, c.font, &avg, &height), 0);
        EXPECT_TRUE(avg == c.avg && height == c.height) << c.points << " " << c.font;
    }
    int32_t avg = 0, height = 0;
    EXPECT_EQ(Ui_Font_Nominal(9, 5, &avg, &height), -1);
    // A face fits when its base units are no larger: 385 pixels for 52 letters is 7 wide.
    EXPECT_TRUE(Ui_Font_Fits(385, 15, 7, 15));
    EXPECT_FALSE(Ui_Font_Fits(390, 15, 7, 15));
    EXPECT_FALSE(Ui_Font_Fits(385, 16, 7, 15));

    Drawn([](UiWindow* w) {
        int16_t plain = 0, bold = 0, large = 0, lineHeight = 0;
        Ui_Draw_MeasureText(w, kUiFontDialog, "Hue", &plain, &lineHeight);
        Ui_Draw_MeasureText(w, kUiFontBold, "Hue", &bold, &lineHeight);
        Ui_Draw_MeasureText(w, kUiFontLarge, "Hue", &large, &lineHeight);
        EXPECT_TRUE(plain < bold && bold < large) << plain << " " << bold << " " << large;
        EXPECT_EQ(Ui_Draw_SetFont(w, kUiFontLargeBold), 0);
        EXPECT_EQ(Ui_Draw_SetFont(w, 5), -1);
        // Wrapped at 60 pixels (10 characters of the 8-point font): three lines.
        int16_t wrapped = 0;
        EXPECT_EQ(Ui_Draw_MeasureWrapped(w, kUiFontDialog, "one two three four five", 60, &wrapped),
                  0);
        EXPECT_EQ(wrapped, 3 * 13);
        EXPECT_EQ(Ui_Draw_MeasureWrapped(w, kUiFontDialog, "one", 0, &wrapped), -1);
    });
}

TEST_F(DrawTest, NothingIsDrawnBeforeTheWindowIsShownButTextCanBeMeasured) {
    static int32_t begin = 0;
    static int16_t wrapped = 0;
    int16_t item = 0;
    ASSERT_EQ(Run(
                  kTestDialog,
                  [](UiWindow* w) {
                      begin = Ui_Draw_Begin(w);
                      return Ui_Draw_MeasureWrapped(w, kUiFontDialog, "one two three", 30,
                                                    &wrapped);
                  },
                  nullptr, {}, &item),
              0);
    EXPECT_EQ(begin, -2);
    EXPECT_EQ(wrapped, 3 * 13);
}

}  // namespace
