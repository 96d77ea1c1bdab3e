// filterhost's displayPixels: what the module hands it lands in the draw target exactly, RGB or
// grey, opaque or composited through the transparency mask over the checkerboard, at the place
// asked for and cut to the target.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/hostlib/host_services.h"

namespace {

// A map of w x h pixels with its top-left at (top, left) in its own coordinates: interleaved
// RGB (or grey) bytes with a row pad, and, when masked, a fourth byte of each pixel as its mask.
struct Map {
    Map(int32_t w, int32_t h, int32_t top, int32_t left, bool grey, bool masked)
        : width(w), channels(grey ? 1 : 3), column(masked ? channels + 1 : channels) {
        rowBytes = w * column + 5;
        pixels.resize(size_t(rowBytes) * size_t(h));
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 53 + 11) % 256);
        map.version = 1;
        map.bounds = VRect{top, left, top + h, left + w};
        map.imageMode = grey ? plugInModeGrayScale : plugInModeRGBColor;
        map.rowBytes = rowBytes;
        map.colBytes = column;
        map.planeBytes = 1;
        map.baseAddr = pixels.data();
        if (masked) {
            mask = PSPixelMask{nullptr, pixels.data() + channels, rowBytes, column, 0};
            map.masks = &mask;
        }
    }
    // The map's pixel (row, col) in its own coordinates: channel c and the mask byte.
    uint8_t At(int32_t row, int32_t col, int32_t c) const {
        const size_t at = size_t(row - map.bounds.top) * size_t(rowBytes) +
                          size_t(col - map.bounds.left) * size_t(column);
        return pixels[at + size_t(channels == 3 ? c : 0)];
    }
    uint8_t Alpha(int32_t row, int32_t col) const {
        return pixels[size_t(row - map.bounds.top) * size_t(rowBytes) +
                      size_t(col - map.bounds.left) * size_t(column) + size_t(channels)];
    }

    int32_t width, channels, column, rowBytes = 0;
    std::vector<uint8_t> pixels;
    PSPixelMap map{};
    PSPixelMask mask{};
};

struct Target {
    Target(int32_t w, int32_t h, int32_t originV, int32_t originH)
        : rgb(size_t(w * 3 + 4) * size_t(h), 7), target{rgb.data(), w,       h,
                                                        w * 3 + 4,  originV, originH} {}
    const uint8_t* At(int32_t y, int32_t x) const {
        return &rgb[size_t(y) * size_t(target.rowBytes) + size_t(x) * 3];
    }
    std::vector<uint8_t> rgb;
    PSDrawTarget target;
};

// The composite of a value over the checkerboard square at target pixel (x, y), by the rule of
// alpha blending rounded to the nearest code.
uint8_t Over(uint32_t value, uint32_t alpha, int32_t x, int32_t y) {
    const uint32_t checker = ((x / 8 + y / 8) % 2 == 0) ? 255 : 204;
    const double exact = (alpha * value + (255.0 - alpha) * checker) / 255.0;
    return uint8_t(exact + 0.5);
}

TEST(DisplayPixels, OpaqueMapsArriveExactlyWhereTheyWereSentAndAreCutToTheTarget) {
    for (bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "rgb");
        Map m(30, 20, 100, 200, grey, false);
        // The target stands at (50, 60) of the window; the map's source part (105..118,
        // 210..230) goes to window row 52, column 55: partly left of the target and past its
        // bottom.
        Target t(40, 12, 50, 60);
        const VRect source{105, 210, 118, 230};
        ASSERT_EQ(HostDisplayPixels(&m.map, &source, 52, 55, &t.target), noErr);
        for (int32_t y = 0; y < 12; ++y) {
            for (int32_t x = 0; x < 40; ++x) {
                // Target (x, y) is window (60 + x, 50 + y): source row 105 + (y - 2), column
                // 210 + (x + 5).
                const int32_t row = 105 + y - 2, col = 210 + x + 5;
                const bool covered = row >= 105 && row < 118 && col < 230;
                for (int32_t c = 0; c < 3; ++c) {
                    ASSERT_EQ(t.At(y, x)[c], covered ? m.At(row, col, c) : 7)
                        << x << ", " << y << ", " << c;
                }
            }
        }
        // The row pad of the target is never written.
        for (int32_t y = 0; y < 12; ++y) EXPECT_EQ(t.At(y, 40)[0], 7);
    }
}

TEST(DisplayPixels, MaskedMapsAreCompositedOverTheCheckerboard) {
    for (bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "rgb");
        Map m(24, 18, 0, 0, grey, true);
        // Full transparency, full opacity and a half somewhere in the map.
        m.pixels[size_t(m.channels)] = 0;
        m.pixels[size_t(m.rowBytes) + size_t(m.channels)] = 255;
        m.pixels[size_t(2 * m.rowBytes) + size_t(m.channels)] = 128;
        Target t(24, 18, 0, 0);
        const VRect source{0, 0, 18, 24};
        ASSERT_EQ(HostDisplayPixels(&m.map, &source, 0, 0, &t.target), noErr);
        for (int32_t y = 0; y < 18; ++y) {
            for (int32_t x = 0; x < 24; ++x) {
                for (int32_t c = 0; c < 3; ++c) {
                    ASSERT_EQ(t.At(y, x)[c], Over(m.At(y, x, c), m.Alpha(y, x), x, y))
                        << x << ", " << y;
                }
            }
        }
        EXPECT_EQ(t.At(0, 0)[0], 255);            // transparent: the light square
        EXPECT_EQ(t.At(1, 0)[1], m.At(1, 0, 1));  // opaque: the pixel itself
    }
}

TEST(DisplayPixels, MapsItCannotReadAreRefused) {
    Map m(4, 4, 0, 0, false, false);
    Target t(4, 4, 0, 0);
    const VRect source{0, 0, 4, 4};
    PSPixelMap bad = m.map;
    bad.imageMode = plugInModeRGB48;
    EXPECT_NE(HostDisplayPixels(&bad, &source, 0, 0, &t.target), noErr);
    bad = m.map;
    bad.version = 0;
    EXPECT_NE(HostDisplayPixels(&bad, &source, 0, 0, &t.target), noErr);
    PSDrawTarget narrow = t.target;
    narrow.rowBytes = 11;  // less than three bytes a pixel
    EXPECT_NE(HostDisplayPixels(&m.map, &source, 0, 0, &narrow), noErr);
    EXPECT_NE(HostDisplayPixels(&m.map, &source, 0, 0, nullptr), noErr);
    for (uint8_t v : t.rgb) ASSERT_EQ(v, 7);
}

}  // namespace
