// The Win32 binding's drawing primitives, drawn onto a 24-bit DIB section and compared with the
// headless binding's canvas drawing the same thing: exactly for rectangles, images, clipping and
// XOR, within one pixel of an edge for lines, ellipses, arcs and polygons. Text is checked for
// where its ink lands, since the two bindings' fonts differ.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/binding.h"
#include "platform/ui/draw.h"
#include "platform/ui/headless/canvas.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/rect.h"
#include "platform/ui/win32/win32_internal.h"

namespace {

W32DrawState gState;

}  // namespace

// The window part's lookup, here always the test's memory target.
W32DrawState* W32_DrawStateOf(UiWindow*) {
    return &gState;
}

namespace {

constexpr Ui_RGB kBackground{200, 210, 220};
constexpr Ui_RGB kWhite{255, 255, 255};
// No colour below is symmetric in red and blue, so swapped channels show.
constexpr Ui_RGB kRed{230, 20, 40};
constexpr Ui_RGB kBlue{10, 60, 240};
constexpr Ui_RGB kGreen{30, 170, 90};
constexpr Ui_RGB kInk{40, 20, 10};

bool Same(Ui_RGB a, Ui_RGB b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

std::string Str(Ui_RGB c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

Ui_Rect R(int top, int left, int bottom, int right) {
    return Ui_Rect_Make(top, left, bottom, right);
}

Ui_Point P(int v, int h) {
    return Ui_Point{int16_t(v), int16_t(h)};
}

// A memory device context drawing into a top-down 24-bit DIB section of its own.
class MemoryDib {
   public:
    MemoryDib() = default;
    MemoryDib(const MemoryDib&) = delete;
    MemoryDib& operator=(const MemoryDib&) = delete;
    ~MemoryDib() {
        if (dc_ == nullptr) return;
        if (old_ != nullptr) SelectObject(dc_, old_);
        if (bitmap_ != nullptr) DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    // False when the context or the bitmap cannot be made.
    bool Make(int width, int height) {
        const BITMAPINFO info = W32_TopDownBitmapInfo(width, height, 24);
        dc_ = CreateCompatibleDC(nullptr);
        if (dc_ == nullptr) return false;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap_ == nullptr) return false;
        bits_ = static_cast<const uint8_t*>(bits);
        rowBytes_ = size_t((3 * width + 3) & ~3);
        old_ = SelectObject(dc_, bitmap_);
        return true;
    }
    HDC dc() const { return dc_; }
    Ui_RGB At(int v, int h) const {
        const uint8_t* p = bits_ + size_t(v) * rowBytes_ + size_t(h) * 3;
        return Ui_RGB{p[2], p[1], p[0]};
    }

   private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    const uint8_t* bits_ = nullptr;
    size_t rowBytes_ = 0;
};

// One drawing surface for each binding, the same size: a memory device context over a top-down
// 24-bit DIB section for GDI, and a headless window's canvas.
class DrawTest : public ::testing::Test {
   protected:
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;

    void SetUp() override {
        ASSERT_TRUE(dib_.Make(kWidth, kHeight));
        gState = W32DrawState{};
        gState.memoryDc = dib_.dc();
        W32_Draw_Fill(&gdi_);

        rgb_.assign(size_t(kWidth) * kHeight * 3, 0);
        hw_ = new UiHeadlessWindow{};
        hw_->width = kWidth;
        hw_->height = kHeight;
        hw_->rgb = rgb_.data();
        Paint([](auto& p) { p.Fill(R(0, 0, kHeight, kWidth), kBackground, 0); });
    }

    void TearDown() override {
        if (gState.drawing) gdi_.drawEnd(&window_);
        delete hw_;
        W32_Draw_FreeFonts();
    }

    // The primitives of both bindings behind one face, so that a test draws its sequence once.
    struct Gdi {
        DrawTest* t;
        void Fill(Ui_Rect r, Ui_RGB c, uint8_t x) {
            EXPECT_EQ(t->gdi_.fillRect(&t->window_, &r, c, x), kStatusOk);
        }
        void Line(Ui_Point a, Ui_Point b, Ui_RGB c, int w, uint8_t dotted, uint8_t x) {
            EXPECT_EQ(t->gdi_.line(&t->window_, a, b, c, int16_t(w), dotted, x), kStatusOk);
        }
        void Arc(Ui_Rect r, int start, int sweep, Ui_RGB c, int w, uint8_t x) {
            EXPECT_EQ(t->gdi_.arc(&t->window_, &r, start, sweep, c, int16_t(w), x), kStatusOk);
        }
        void Ellipse(Ui_Rect r, Ui_RGB c, int w, uint8_t x) {
            EXPECT_EQ(t->gdi_.ellipse(&t->window_, &r, c, int16_t(w), x), kStatusOk);
        }
        void Polygon(const std::vector<Ui_Point>& pts, Ui_RGB c, uint8_t x) {
            EXPECT_EQ(t->gdi_.polygon(&t->window_, pts.data(), int32_t(pts.size()), c, x),
                      kStatusOk);
        }
        void Image(const Ui_Offscreen* im, int top, int left, const Ui_Rect* clip) {
            EXPECT_EQ(t->gdi_.image(&t->window_, im, int16_t(top), int16_t(left), clip), 0);
        }
        void Clip(const Ui_Rect* clip) {
            EXPECT_EQ(t->gdi_.drawClip(&t->window_, clip), kStatusOk);
        }
    };
    struct Ref {
        DrawTest* t;
        void Fill(Ui_Rect r, Ui_RGB c, uint8_t x) { Canvas_FillRect(t->hw_, &r, c, x); }
        void Line(Ui_Point a, Ui_Point b, Ui_RGB c, int w, uint8_t dotted, uint8_t x) {
            Canvas_Line(t->hw_, a, b, c, int16_t(w), dotted, x);
        }
        void Arc(Ui_Rect r, int start, int sweep, Ui_RGB c, int w, uint8_t x) {
            Canvas_Arc(t->hw_, &r, start, sweep, c, int16_t(w), x);
        }
        void Ellipse(Ui_Rect r, Ui_RGB c, int w, uint8_t x) {
            Canvas_Ellipse(t->hw_, &r, c, int16_t(w), x);
        }
        void Polygon(const std::vector<Ui_Point>& pts, Ui_RGB c, uint8_t x) {
            Canvas_Polygon(t->hw_, pts.data(), int32_t(pts.size()), c, x);
        }
        void Image(const Ui_Offscreen* im, int top, int left, const Ui_Rect* clip) {
            Canvas_Image(t->hw_, im, int16_t(top), int16_t(left), clip);
        }
        void Clip(const Ui_Rect* clip) {
            t->hw_->clipOn = clip != nullptr;
            if (clip != nullptr) t->hw_->clip = *clip;
        }
    };

    // Draws the same sequence through both bindings, GDI inside drawBegin .. drawEnd.
    template <typename F>
    void Paint(F draw) {
        PaintGdi(draw);
        hw_->clipOn = 0;
        Ref r{this};
        draw(r);
        hw_->clipOn = 0;
    }
    template <typename F>
    void PaintGdi(F draw) {
        ASSERT_EQ(gdi_.drawBegin(&window_), kStatusOk);
        Gdi g{this};
        draw(g);
        ASSERT_EQ(gdi_.drawEnd(&window_), kStatusOk);
        GdiFlush();
    }

    Ui_RGB GdiAt(int v, int h) const { return dib_.At(v, h); }
    Ui_RGB RefAt(int v, int h) const { return Ui_Headless_Pixel(hw_, v, h); }

    // Every pixel the same; the first few differences are reported.
    void ExpectExact() const {
        int differences = 0;
        for (int v = 0; v < kHeight; ++v) {
            for (int h = 0; h < kWidth; ++h) {
                if (Same(GdiAt(v, h), RefAt(v, h))) continue;
                if (++differences <= 5) {
                    ADD_FAILURE() << "pixel (v " << v << ", h " << h << "): gdi "
                                  << Str(GdiAt(v, h)) << ", headless " << Str(RefAt(v, h));
                }
            }
        }
        EXPECT_EQ(differences, 0);
    }

    // Pixels may differ only where each picture has the other's colour within one pixel: an
    // edge drawn a pixel further in or out. At most maxDifferences of them.
    void ExpectNearEdges(int maxDifferences) const {
        auto nearby = [&](auto at, int v, int h, Ui_RGB c) {
            for (int dv = -1; dv <= 1; ++dv) {
                for (int dh = -1; dh <= 1; ++dh) {
                    int y = v + dv, x = h + dh;
                    if (0 <= y && y < kHeight && 0 <= x && x < kWidth && Same(at(y, x), c)) {
                        return true;
                    }
                }
            }
            return false;
        };
        auto gdi = [&](int v, int h) { return GdiAt(v, h); };
        auto ref = [&](int v, int h) { return RefAt(v, h); };
        int differences = 0, distant = 0;
        for (int v = 0; v < kHeight; ++v) {
            for (int h = 0; h < kWidth; ++h) {
                Ui_RGB a = GdiAt(v, h), b = RefAt(v, h);
                if (Same(a, b)) continue;
                ++differences;
                if (nearby(ref, v, h, a) && nearby(gdi, v, h, b)) continue;
                if (++distant <= 5) {
                    ADD_FAILURE() << "pixel (v " << v << ", h " << h << "): gdi " << Str(a)
                                  << ", headless " << Str(b) << ", not at an edge";
                }
            }
        }
        EXPECT_EQ(distant, 0);
        EXPECT_LE(differences, maxDifferences);
    }

    UiBinding gdi_{};
    UiWindow window_{};
    MemoryDib dib_;
    std::vector<uint8_t> rgb_;
    UiHeadlessWindow* hw_ = nullptr;
};

// An offscreen image whose every pixel has its own colour.
Ui_Offscreen* PatternImage(int width, int height) {
    Ui_Offscreen* image = nullptr;
    Ui_Rect r = R(0, 0, height, width);
    if (Ui_Offscreen_Create(&r, &image) != kStatusOk) return nullptr;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            size_t at = size_t(y) * size_t(image->rowBytes) + 3 * size_t(x);
            image->red[at] = uint8_t(20 + 30 * x);
            image->green[at] = uint8_t(10 + 40 * y);
            image->blue[at] = uint8_t(250 - 7 * (x + y));
        }
    }
    return image;
}

TEST_F(DrawTest, RectanglesClipsAndXorMatchExactly) {
    Paint([](auto& p) {
        p.Fill(R(5, 5, 25, 45), kRed, 0);
        p.Fill(R(10, 30, 40, 60), kBlue, 0);
        p.Fill(R(100, 140, 140, 200), kGreen, 0);  // past the surface's corner
        p.Fill(R(50, 50, 50, 90), kRed, 0);        // empty: nothing
        // A clip cuts every primitive, and a new clip replaces the old one.
        Ui_Rect wide = R(40, 0, 60, 50);
        p.Clip(&wide);
        Ui_Rect clip = R(45, 10, 55, 30);
        p.Clip(&clip);
        p.Fill(R(30, 0, 70, 80), kGreen, 0);
        p.Line(P(50, 0), P(50, 100), kBlue, 1, 0, 0);
        p.Clip(nullptr);
        // XOR inverts with the colour: once over two colours, twice over a third (restored).
        p.Fill(R(15, 20, 35, 50), kGreen, 1);
        p.Fill(R(70, 70, 90, 110), kBlue, 1);
        p.Fill(R(70, 70, 90, 110), kBlue, 1);
    });
    ExpectExact();
    EXPECT_TRUE(Same(GdiAt(80, 80), kBackground));
}

// While a user item paints, everything is cut to the item; a drawing clip narrows that but never
// widens it, and taking the drawing clip away leaves the item's.
TEST_F(DrawTest, PaintClipHoldsEveryPrimitiveInsideTheItem) {
    Ui_Offscreen* image = PatternImage(30, 20);
    ASSERT_NE(image, nullptr);
    const Ui_Rect item = R(20, 30, 70, 110);
    gState.paintClipOn = 1;
    gState.paintClip = item;
    hw_->paintClipOn = 1;
    hw_->paintClip = item;
    Paint([&](auto& p) {
        p.Fill(R(0, 0, kHeight, kWidth), kRed, 0);
        Ui_Rect wider = R(0, 0, 100, 150);
        p.Clip(&wider);
        p.Fill(R(10, 10, 90, 140), kBlue, 0);
        Ui_Rect narrow = R(30, 40, 50, 60);
        p.Clip(&narrow);
        p.Fill(R(0, 0, kHeight, kWidth), kGreen, 1);
        p.Clip(nullptr);
        p.Line(P(60, 0), P(60, 159), kInk, 1, 0, 0);
        p.Image(image, 55, 95, nullptr);
    });
    ExpectExact();
    EXPECT_TRUE(Same(GdiAt(19, 50), kBackground));
    EXPECT_TRUE(Same(GdiAt(60, 29), kBackground));
    EXPECT_TRUE(Same(GdiAt(60, 94), kInk));
    EXPECT_TRUE(Same(GdiAt(60, 110), kBackground));
    Ui_Offscreen_Free(&image);
}

TEST_F(DrawTest, StraightLinesKeepBothEndsDotsAndXor) {
    Paint([](auto& p) {
        p.Line(P(5, 10), P(5, 60), kRed, 1, 0, 0);
        p.Line(P(60, 5), P(10, 5), kBlue, 1, 0, 0);
        p.Line(P(10, 70), P(40, 100), kGreen, 1, 0, 0);
        p.Line(P(50, 120), P(20, 150), kRed, 1, 0, 0);
        p.Line(P(30, 40), P(30, 40), kInk, 1, 0, 0);  // a single point
        // Dotted: every other pixel from the first; the end is a dot on even lengths only.
        p.Line(P(70, 10), P(70, 50), kInk, 1, 1, 0);
        p.Line(P(75, 10), P(75, 51), kInk, 1, 1, 0);
        p.Line(P(80, 60), P(110, 60), kInk, 1, 1, 0);
        // XOR: over a band of colour and back, and dotted in XOR as focus frames draw.
        p.Fill(R(85, 80, 95, 150), kBlue, 0);
        p.Line(P(90, 70), P(90, 155), kRed, 1, 0, 1);
        p.Line(P(100, 70), P(100, 155), kRed, 1, 1, 1);
        p.Line(P(88, 100), P(112, 100), kGreen, 1, 1, 1);
    });
    ExpectExact();
    // The oracle's ends, checked directly as well: a wrong oracle must not hide a missing end.
    EXPECT_TRUE(Same(GdiAt(5, 60), kRed));
    EXPECT_TRUE(Same(GdiAt(5, 61), kBackground));
    EXPECT_TRUE(Same(GdiAt(10, 5), kBlue));
    EXPECT_TRUE(Same(GdiAt(40, 100), kGreen));
    EXPECT_TRUE(Same(GdiAt(30, 40), kInk));
}

TEST_F(DrawTest, SlopedAndWideLinesMatchWithinAPixel) {
    struct Segment {
        Ui_Point a, b;
        int width;
    };
    const Segment segments[] = {
        {P(5, 5), P(30, 80), 1},    {P(40, 150), P(10, 100), 1},  {P(50, 10), P(115, 30), 1},
        {P(60, 50), P(60, 100), 3}, {P(70, 110), P(110, 150), 4}, {P(80, 40), P(110, 90), 5},
        {P(100, 5), P(112, 60), 2},
    };
    Paint([&](auto& p) {
        for (const Segment& s : segments) p.Line(s.a, s.b, kRed, s.width, 0, 0);
    });
    ExpectNearEdges(120);
    for (const Segment& s : segments) {
        EXPECT_TRUE(Same(GdiAt(s.a.v, s.a.h), kRed)) << s.a.v << "," << s.a.h;
        EXPECT_TRUE(Same(GdiAt(s.b.v, s.b.h), kRed)) << s.b.v << "," << s.b.h;
    }
}

TEST_F(DrawTest, EllipsesPiesArcsAndPolygonsMatchWithinAPixel) {
    Paint([](auto& p) {
        p.Ellipse(R(5, 5, 35, 45), kRed, 0, 0);
        p.Ellipse(R(5, 50, 36, 90), kBlue, 1, 0);
        p.Ellipse(R(5, 95, 45, 155), kGreen, 3, 0);
        // Pies and arcs: counter-clockwise from three o'clock, across 0 degrees too.
        p.Arc(R(40, 5, 80, 45), 30, 90, kBlue, 0, 0);
        p.Arc(R(40, 50, 80, 90), 300, 120, kRed, 0, 0);
        p.Arc(R(50, 95, 90, 135), 180, 135, kInk, 2, 0);
        // A concave arrow and a self-crossing star (even-odd leaves its middle out).
        p.Polygon({P(85, 10), P(95, 30), P(85, 50), P(115, 30)}, kGreen, 0);
        p.Polygon({P(90, 100), P(118, 110), P(96, 90), P(96, 130), P(118, 120)}, kBlue, 0);
    });
    ExpectNearEdges(400);
    // A mirrored pie (clockwise) would fill the lower right; the upper right is filled.
    EXPECT_TRUE(Same(GdiAt(52, 30), kBlue));
    EXPECT_TRUE(Same(GdiAt(70, 30), kBackground));
}

TEST_F(DrawTest, XorShapesInvertOnceAndRestoreWhenDrawnTwice) {
    auto shapes = [](auto& p) {
        p.Ellipse(R(10, 10, 50, 70), kRed, 0, 1);
        p.Ellipse(R(10, 80, 50, 150), kGreen, 2, 1);
        p.Arc(R(60, 10, 110, 60), 45, 200, kRed, 0, 1);
        p.Polygon({P(65, 80), P(110, 90), P(70, 150)}, kGreen, 1);
    };
    Paint([&](auto& p) {
        p.Fill(R(0, 0, 60, 160), kBlue, 0);
        shapes(p);
    });
    ExpectNearEdges(400);
    // Inverting again gives back exactly what was there.
    PaintGdi(shapes);
    for (int v = 0; v < kHeight; ++v) {
        for (int h = 0; h < kWidth; ++h) {
            ASSERT_TRUE(Same(GdiAt(v, h), v < 60 ? kBlue : kBackground)) << v << "," << h;
        }
    }
}

TEST_F(DrawTest, ImagesCopyExactlyAndStayInsideTheirClip) {
    Ui_Offscreen* odd = PatternImage(7, 5);
    Ui_Offscreen* large = PatternImage(50, 40);
    ASSERT_NE(odd, nullptr);
    ASSERT_NE(large, nullptr);
    Paint([&](auto& p) {
        p.Image(odd, 3, 4, nullptr);
        Ui_Rect cut = R(20, 20, 45, 50);
        p.Image(large, 10, 10, &cut);
        p.Image(large, 90, 130, nullptr);  // past the surface's corner
        Ui_Rect clip = R(60, 60, 80, 75);
        p.Clip(&clip);
        p.Image(large, 55, 55, nullptr);
        p.Clip(nullptr);
    });
    ExpectExact();
    Ui_Offscreen_Free(&odd);
    Ui_Offscreen_Free(&large);
}

// Without the other binding: each pixel of an image whose rows carry padding lands where its
// bytes say, in its own colour, and nothing beside it changes.
TEST_F(DrawTest, OddWidthImageLandsPixelForPixel) {
    Ui_Offscreen* image = PatternImage(5, 3);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->rowBytes, 16);
    ASSERT_EQ(gdi_.drawBegin(&window_), kStatusOk);
    EXPECT_EQ(gdi_.image(&window_, image, 20, 30, nullptr), 0);
    ASSERT_EQ(gdi_.drawEnd(&window_), kStatusOk);
    GdiFlush();
    for (int y = -1; y <= 3; ++y) {
        for (int x = -1; x <= 5; ++x) {
            Ui_RGB got = GdiAt(20 + y, 30 + x);
            if (y < 0 || y == 3 || x < 0 || x == 5) {
                EXPECT_TRUE(Same(got, kBackground)) << y << "," << x;
                continue;
            }
            Ui_RGB want{uint8_t(20 + 30 * x), uint8_t(10 + 40 * y), uint8_t(250 - 7 * (x + y))};
            EXPECT_TRUE(Same(got, want)) << y << "," << x << ": " << Str(got);
        }
    }
    Ui_Offscreen_Free(&image);
}

TEST_F(DrawTest, DrawingOpensOnceAndLeavesNoClipBehind) {
    ASSERT_EQ(gdi_.drawBegin(&window_), kStatusOk);
    EXPECT_EQ(gdi_.drawBegin(&window_), kStatusError);
    Ui_Rect clip = R(0, 0, 10, 10);
    EXPECT_EQ(gdi_.drawClip(&window_, &clip), kStatusOk);
    EXPECT_EQ(gdi_.drawEnd(&window_), kStatusOk);
    EXPECT_EQ(gdi_.drawEnd(&window_), kStatusError);
    Ui_Rect all = R(0, 0, kHeight, kWidth);
    EXPECT_EQ(gdi_.fillRect(&window_, &all, kRed, 0), kStatusError);  // not drawing
    // The next drawing starts without the old clip.
    ASSERT_EQ(gdi_.drawBegin(&window_), kStatusOk);
    EXPECT_EQ(gdi_.fillRect(&window_, &all, kRed, 0), kStatusOk);
    ASSERT_EQ(gdi_.drawEnd(&window_), kStatusOk);
    GdiFlush();
    EXPECT_TRUE(Same(GdiAt(kHeight - 1, kWidth - 1), kRed));
}

// The conversions between framework pixels and a monitor's: exact inverses for every framework
// coordinate, the monitor's pixels between two coordinates belonging to the first, sizes rounded
// up only when asked.
TEST(Win32Resolution, ConversionsAreExactInverses) {
    for (int dpi : {96, 120, 144, 168, 192, 240}) {
        for (int v = -300; v <= 3000; ++v) {
            const int d = W32_ToDevice(v, dpi);
            ASSERT_EQ(W32_FromDevice(d, dpi), v) << dpi << " dpi, " << v;
            ASSERT_GT(W32_ToDevice(v + 1, dpi), d) << dpi << " dpi, " << v;
        }
        for (int d = -400; d <= 4000; ++d) {
            const int v = W32_FromDevice(d, dpi), up = W32_FromDeviceUp(d, dpi);
            ASSERT_LE(W32_ToDevice(v, dpi), d);
            ASSERT_GT(W32_ToDevice(v + 1, dpi), d);
            ASSERT_GE(W32_ToDevice(up, dpi), d);
            ASSERT_LE(up - v, 1);
        }
    }
    // 0 stands for a window that has not said: the framework's own pixels.
    EXPECT_EQ(W32_ToDevice(57, 0), 57);
    EXPECT_EQ(W32_FromDevice(57, 0), 57);
    const RECT r = W32_ToDeviceRect(R(10, 20, 30, 41), 144);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 15);
    EXPECT_EQ(r.right, 62);  // 61.5, rounded away from zero
    EXPECT_EQ(r.bottom, 45);
}

// At another resolution each framework pixel covers the monitor's pixels the conversion gives
// it: rectangles, level and upright lines of any width, XOR and clips land exactly on the
// 96-dpi drawing's pixels, enlarged.
class ScaledDrawTest : public DrawTest, public ::testing::WithParamInterface<int> {
   protected:
    void SetUp() override {
        DrawTest::SetUp();
        dpi_ = GetParam();
        width_ = W32_ToDevice(kWidth, dpi_);
        height_ = W32_ToDevice(kHeight, dpi_);
        ASSERT_TRUE(big_.Make(width_, height_));
        gState.memoryDc = big_.dc();
        gState.dpi = dpi_;
        PaintGdi([](auto& p) { p.Fill(R(0, 0, kHeight, kWidth), kBackground, 0); });
    }
    Ui_RGB BigAt(int y, int x) const { return big_.At(y, x); }
    void ExpectEnlargedExactly() const {
        int differences = 0;
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const Ui_RGB want = RefAt(W32_FromDevice(y, dpi_), W32_FromDevice(x, dpi_));
                if (Same(BigAt(y, x), want)) continue;
                if (++differences <= 5) {
                    ADD_FAILURE() << dpi_ << " dpi, pixel (y " << y << ", x " << x << "): gdi "
                                  << Str(BigAt(y, x)) << ", enlarged headless " << Str(want);
                }
            }
        }
        EXPECT_EQ(differences, 0);
    }
    int dpi_ = 96, width_ = 0, height_ = 0;
    MemoryDib big_;
};

TEST_P(ScaledDrawTest, RectanglesLinesXorAndClipsCoverTheirPixelsEnlarged) {
    Paint([](auto& p) {
        p.Fill(R(5, 5, 25, 45), kRed, 0);
        p.Fill(R(10, 31, 41, 61), kBlue, 0);
        p.Line(P(50, 10), P(50, 150), kInk, 1, 0, 0);
        p.Line(P(55, 150), P(55, 10), kGreen, 3, 0, 0);
        p.Line(P(60, 20), P(110, 20), kRed, 2, 0, 0);
        p.Line(P(33, 33), P(33, 33), kInk, 1, 0, 0);  // a single point
        p.Fill(R(70, 40, 90, 150), kBlue, 0);
        p.Line(P(80, 30), P(80, 155), kRed, 1, 0, 1);
        p.Fill(R(65, 60, 100, 70), kGreen, 1);
        const Ui_Rect clip = R(92, 101, 117, 133);
        p.Clip(&clip);
        p.Fill(R(0, 0, kHeight, kWidth), kRed, 0);
        p.Line(P(95, 0), P(95, 159), kInk, 1, 0, 0);
        p.Clip(nullptr);
    });
    ExpectEnlargedExactly();
}

// Text is drawn in a font of the monitor's size and measured back in framework pixels: about
// the size it has at 96 dpi, never less than its ink needs.
TEST_P(ScaledDrawTest, TextGrowsWithTheResolutionAndMeasuresInFrameworkPixels) {
    int32_t w52 = 0, h = 0;
    ASSERT_EQ(gdi_.fontMetrics(nullptr, "MS Sans Serif", 8, kUiFontDialog, &w52, &h), kStatusOk);
    const char* text = "Keenhue Mode";
    int32_t width = 0, height = 0, baseWidth = 0, baseHeight = 0;
    ASSERT_EQ(gdi_.measureText(&window_, kUiFontDialog, text, &width, &height), kStatusOk);
    gState.dpi = 96;
    ASSERT_EQ(gdi_.measureText(&window_, kUiFontDialog, text, &baseWidth, &baseHeight), kStatusOk);
    gState.dpi = dpi_;
    EXPECT_NEAR(width, baseWidth, baseWidth / 6 + 1);
    EXPECT_NEAR(height, baseHeight, baseHeight / 6 + 1);
    const Ui_Rect r = R(20, 10, 20 + height, 10 + width);
    int32_t drawnHeight = 0;
    PaintGdi([&](auto&) {
        EXPECT_EQ(gdi_.text(&window_, text, &r, kUiAlignLeft, kInk, kUiFontDialog, &drawnHeight),
                  kStatusOk);
    });
    EXPECT_EQ(drawnHeight, height);
    int top = height_, bottom = -1, left = width_, right = -1;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (Same(BigAt(y, x), kBackground)) continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y + 1);
            left = std::min(left, x);
            right = std::max(right, x + 1);
        }
    }
    const RECT place = W32_ToDeviceRect(r, dpi_);
    ASSERT_GE(bottom, 0) << "no ink";
    EXPECT_GE(top, place.top);
    EXPECT_LE(bottom, place.bottom);
    EXPECT_GE(left, place.left);
    EXPECT_LE(right, place.right);
    // The ink spans most of the text's width on the monitor: the font was made at its size.
    EXPECT_GT(right - left, W32_ToDevice(baseWidth, dpi_) * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, ScaledDrawTest, ::testing::Values(120, 144, 192));

// Text cannot be compared pixel for pixel (the fonts differ), but its ink must lie inside its
// rectangle, on the side it is aligned to, and a wrapped text must take the height measured.
class TextTest : public DrawTest {
   protected:
    struct Ink {
        int top = 1 << 20, left = 1 << 20, bottom = -1, right = -1;
        bool Any() const { return bottom >= 0; }
    };
    Ink InkOf() const {
        Ink ink;
        for (int v = 0; v < kHeight; ++v) {
            for (int h = 0; h < kWidth; ++h) {
                if (Same(GdiAt(v, h), kWhite)) continue;
                ink.top = std::min(ink.top, v);
                ink.bottom = std::max(ink.bottom, v + 1);
                ink.left = std::min(ink.left, h);
                ink.right = std::max(ink.right, h + 1);
            }
        }
        return ink;
    }
    Ink Draw(const char* text, Ui_Rect r, uint32_t format, int32_t* height) {
        EXPECT_EQ(gdi_.drawBegin(&window_), kStatusOk);
        Ui_Rect all = R(0, 0, kHeight, kWidth);
        gdi_.fillRect(&window_, &all, kWhite, 0);
        EXPECT_EQ(gdi_.text(&window_, text, &r, format, kInk, kUiFontDialog, height), kStatusOk);
        EXPECT_EQ(gdi_.drawEnd(&window_), kStatusOk);
        GdiFlush();
        return InkOf();
    }
};

TEST_F(TextTest, SingleLinesDrawInsideTheirRectangleOnTheAlignedSide) {
    int32_t w52 = 0, h = 0;
    ASSERT_EQ(gdi_.fontMetrics(nullptr, "MS Sans Serif", 8, kUiFontDialog, &w52, &h), kStatusOk);
    const Ui_Rect r = R(30, 20, 30 + h, 140);
    int32_t height = 0;
    Ink left = Draw("Hue 42", r, kUiAlignLeft, &height);
    ASSERT_TRUE(left.Any());
    EXPECT_GT(height, 0);
    Ink centre = Draw("Hue 42", r, kUiAlignCenter, &height);
    Ink right = Draw("Hue 42", r, kUiAlignRight, &height);
    for (const Ink& ink : {left, centre, right}) {
        EXPECT_GE(ink.top, r.top);
        EXPECT_LE(ink.bottom, r.bottom);
        EXPECT_GE(ink.left, r.left);
        EXPECT_LE(ink.right, r.right);
    }
    EXPECT_LE(left.left - r.left, 3);
    EXPECT_LE(r.right - right.right, 3);
    EXPECT_LE(std::abs((centre.left - r.left) - (r.right - centre.right)), 3);
    // A text longer than its rectangle is cut at the rectangle.
    Ink cut = Draw("A line far too long for the little box it is given here", R(10, 10, 40, 60),
                   kUiAlignLeft, &height);
    EXPECT_LE(cut.right, 60);
}

TEST_F(TextTest, WrappedTextTakesTheHeightMeasuredAndGrowsWithTheText) {
    const char* shortText = "Two words";
    const char* longText =
        "A longer sentence that cannot fit on one line of a narrow box and so wraps over several";
    int32_t oneLine = 0, many = 0, w = 0, lineHeight = 0;
    ASSERT_EQ(gdi_.measureWrapped(&window_, kUiFontDialog, shortText, 100, &oneLine), kStatusOk);
    ASSERT_EQ(gdi_.measureWrapped(&window_, kUiFontDialog, longText, 100, &many), kStatusOk);
    ASSERT_EQ(gdi_.measureText(&window_, kUiFontDialog, shortText, &w, &lineHeight), kStatusOk);
    EXPECT_EQ(oneLine, lineHeight);
    EXPECT_GE(many, 3 * lineHeight);
    EXPECT_GT(w, 0);
    EXPECT_LE(w, 100);
    // Drawn, it reports the same height and its ink fills that many lines and stays inside.
    const Ui_Rect r = R(5, 20, 115, 120);
    int32_t drawn = 0;
    Ink ink = Draw(longText, r, kUiAlignLeft | kUiTextWrap, &drawn);
    EXPECT_EQ(drawn, many);
    EXPECT_GT(ink.bottom - ink.top, many - lineHeight);
    EXPECT_GE(ink.left, r.left);
    EXPECT_LE(ink.right, r.right);
    // A word longer than the line breaks inside: its ink stays in the rectangle, on more lines.
    const char* word = "Unbreakablewordlongerthanthebox";
    int32_t wordHeight = 0;
    ASSERT_EQ(gdi_.measureWrapped(&window_, kUiFontDialog, word, 60, &wordHeight), kStatusOk);
    EXPECT_GE(wordHeight, 2 * lineHeight);
    Ink broken = Draw(word, R(5, 20, 115, 80), kUiAlignLeft | kUiTextWrap, &drawn);
    EXPECT_LE(broken.right, 80);
    EXPECT_GT(broken.bottom - broken.top, lineHeight);
}

// Every framework font is made, fits the metrics dialogs are laid out with, and bold is bolder.
TEST(Win32Fonts, EveryFontFitsTheNominalMetrics) {
    int32_t w52 = 0, h = 0;
    UiBinding gdi{};
    W32_Draw_Fill(&gdi);
    ASSERT_EQ(gdi.fontMetrics(nullptr, "MS Sans Serif", 8, kUiFontDialog, &w52, &h), kStatusOk);
    EXPECT_EQ(w52, 52 * 6);
    EXPECT_EQ(h, 13);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    auto measure = [&](HFONT f, SIZE* size, TEXTMETRICA* tm) {
        HGDIOBJ old = SelectObject(dc, f);
        GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, size);
        GetTextMetricsA(dc, tm);
        SelectObject(dc, old);
    };
    // The dialog size, 6 points for the small font, a third larger for the large ones.
    const int named[] = {8, 6, 8, 11, 11};
    for (int32_t font = kUiFontDialog; font <= kUiFontLargeBold; ++font) {
        HFONT f = W32_FontOf(nullptr, font);
        ASSERT_NE(f, nullptr) << font;
        SIZE size{};
        TEXTMETRICA tm{};
        measure(f, &size, &tm);
        int32_t avg = 0, nominal = 0;
        ASSERT_EQ(Ui_Font_Nominal(8, font, &avg, &nominal), kStatusOk);
        EXPECT_TRUE(Ui_Font_Fits(size.cx, tm.tmHeight, avg, nominal))
            << font << ": " << size.cx << " x " << tm.tmHeight;
        const bool bold = font == kUiFontBold || font == kUiFontLargeBold;
        EXPECT_EQ(tm.tmWeight >= FW_SEMIBOLD, bold) << font;
        // The largest that fits: the size named, or one pixel more would not fit.
        LOGFONTA lf{};
        ASSERT_NE(GetObjectA(f, sizeof lf, &lf), 0);
        if (-lf.lfHeight == MulDiv(named[font], dpi, 72)) continue;
        EXPECT_LT(-lf.lfHeight, MulDiv(named[font], dpi, 72)) << font;
        lf.lfHeight -= 1;
        HFONT larger = CreateFontIndirectA(&lf);
        measure(larger, &size, &tm);
        DeleteObject(larger);
        EXPECT_FALSE(Ui_Font_Fits(size.cx, tm.tmHeight, avg, nominal))
            << font << " could be larger";
    }
    DeleteDC(dc);
    W32_Draw_FreeFonts();
}

// Each dialog's controls get the font of its own template's size, whichever dialog named a size
// first: an 8-point dialog opened over the 9-point editing window must not take 9-point text
// into controls laid out for 8 points (its labels would be cut).
TEST(Win32Fonts, ADialogGetsTheFontOfItsOwnTemplateSize) {
    UiBinding gdi{};
    W32_Draw_Fill(&gdi);
    int32_t w52 = 0, h = 0;
    ASSERT_EQ(gdi.fontMetrics(nullptr, "MS Sans Serif", 9, kUiFontDialog, &w52, &h), kStatusOk);
    Ui_DlgTemplate eightPoint{};
    eightPoint.fontPoints = 8;
    UiWindow dialog{};
    dialog.layout = &eightPoint;
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    HGDIOBJ old = SelectObject(dc, W32_FontOf(&dialog, kUiFontDialog));
    SIZE size{};
    TEXTMETRICA tm{};
    GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    int32_t avg = 0, nominal = 0;
    ASSERT_EQ(Ui_Font_Nominal(8, kUiFontDialog, &avg, &nominal), kStatusOk);
    EXPECT_TRUE(Ui_Font_Fits(size.cx, tm.tmHeight, avg, nominal))
        << size.cx << " x " << tm.tmHeight;
    EXPECT_NE(W32_FontOf(&dialog, kUiFontDialog), W32_FontOf(nullptr, kUiFontDialog));
    W32_Draw_FreeFonts();
}

}  // namespace
