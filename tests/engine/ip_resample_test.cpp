// Preview resampling: output sizes, the filter table, what the tent filter must preserve (flat
// areas, linear ramps, a smooth image against a floating-point tent), in-place reduction against
// a separate destination, the exact integer sums for every tap count, rows from a reader, and
// the zoom's first visible pixel.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/ip_resample.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

// An image with its own buffer: interleaved pixels, rows padded by `pad` samples.
struct Buffer {
    std::vector<uint16_t> data16;
    std::vector<uint8_t> data8;
    IPImage view = {};

    Buffer(int channels, int bytes, int width, int height, int pad = 0) {
        const int rowStep = width * channels + pad;
        data16.resize(bytes == 2 ? size_t(rowStep) * height : 0);
        data8.resize(bytes == 1 ? size_t(rowStep) * height : 0);
        const int32_t kind = channels == 1 ? kIPKindMask : kIPKindColour;
        view = {kind, channels, bytes, width, height, 72.0f, channels, rowStep, {}, nullptr};
        for (int c = 0; c < channels; ++c)
            view.channel[c] = bytes == 2 ? static_cast<void*>(data16.data() + c) : data8.data() + c;
    }
    int Get(int c, int x, int y) const {
        const ptrdiff_t i = IPSampleOffset(&view, x, y) + c;
        return view.bytesPerSample == 2 ? data16[i] : data8[i];
    }
    template <typename F>
    void Fill(F value) {
        for (int y = 0; y < view.height; ++y)
            for (int x = 0; x < view.width; ++x)
                for (int c = 0; c < view.channels; ++c) {
                    const ptrdiff_t i = IPSampleOffset(&view, x, y) + c;
                    (view.bytesPerSample == 2 ? data16[i] = uint16_t(value(c, x, y))
                                              : data8[i] = uint8_t(value(c, x, y)));
                }
    }
};

using ResampleTest = huegrid_testing::EngineTest;

int32_t Scale(const IPImage& src, const IPImage& dst, int32_t* w, int32_t* h,
              int32_t mode = kIPScaleTent) {
    return IPScaleImageDown2(nullptr, &src, mode, &dst, w, h, 0);
}

TEST_F(ResampleTest, OutputSizesKeepTheAspectRatioInsideTheBox) {
    // Fitting is taken as it is; 10 x 10000 would round to 1 (or 0) pixels wide; for 10 x 1001
    // rounding says "no reduction across", yet it is too tall.
    const int cases[][6] = {{4000, 3000, 500, 500, 500, 375}, {4000, 3000, 600, 300, 400, 300},
                            {3000, 4000, 500, 500, 375, 500}, {300, 200, 500, 500, 300, 200},
                            {10, 10000, 500, 500, 2, 500},    {1, 10000, 500, 500, 1, 500},
                            {10, 1001, 1000, 1000, 10, 1000}};
    for (const auto& c : cases) {
        int32_t w = -1, h = -1;
        ASSERT_EQ(IPScaleOutputSize(c[0], c[1], c[2], c[3], &w, &h), 0);
        EXPECT_TRUE(w == c[4] && h == c[5])
            << c[0] << "x" << c[1] << " in " << c[2] << "x" << c[3] << ": " << w << "x" << h;
    }
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> size(1, 5000), box(2, 800);
    for (int k = 0; k < 2000; ++k) {
        const int w0 = size(rng), h0 = size(rng), wd = box(rng), hd = box(rng);
        int32_t w, h;
        ASSERT_EQ(IPScaleOutputSize(w0, h0, wd, hd, &w, &h), 0);
        ASSERT_TRUE(w <= wd && h <= hd && w <= w0 && h <= h0 && w >= std::min(2, w0) &&
                    h >= std::min(2, h0))
            << w0 << "x" << h0 << " in " << wd << "x" << hd;
        // Reduced: one side meets the box; the aspect ratio holds to rounding.
        if (w < w0 && w > 20 && h > 20) {
            EXPECT_TRUE(w == wd || h == hd);
            EXPECT_NEAR(double(w) / h, double(w0) / h0, double(w0) / h0 * (1.0 / w + 1.0 / h));
        }
    }
    int32_t w, h;
    EXPECT_EQ(IPScaleOutputSize(0, 5, 5, 5, &w, &h), -1);
    EXPECT_EQ(IPScaleOutputSize(5, 5, 5, 5, nullptr, &h), -1);
}

TEST_F(ResampleTest, EveryPhaseSumsToOneAndFollowsTheTent) {
    const int sizes[][2] = {{3, 2},      {10, 9},    {100, 99},  {4000, 500},
                            {3000, 375}, {1001, 10}, {641, 320}, {20000, 2}};
    for (auto [n0, n1] : sizes) {
        IPFilterTable t;
        ASSERT_EQ(IPFilterTableBuild(n0, n1, &t), 0);
        const double s = double(n0 - 1) / (n1 - 1);
        // Taps from the first negative offset inside the tent to the last the last phase reaches.
        EXPECT_EQ(t.firstOffset, 1 - int(std::ceil(s))) << n0 << "/" << n1;
        EXPECT_TRUE(t.firstOffset + t.taps - 1 - 15.0 / 16 < s &&
                    t.firstOffset + t.taps - 15.0 / 16 >= s);
        for (int p = 0; p < kIPPhases; ++p) {
            auto tent = [&](int k) {
                return std::max(0.0, 1 - std::abs((t.firstOffset + k - p / 16.0) / s));
            };
            double exactSum = 0;
            uint64_t sum = 0;
            for (int k = 0; k < t.taps; ++k) exactSum += tent(k);
            for (int k = 0; k < t.taps; ++k) {
                sum += t.weights[p * t.taps + k];
                // The middle tap takes the remainder.
                const double slack = k == t.taps / 2 ? 1.0 + t.taps / 2.0 : 0.5001;
                ASSERT_NEAR(t.weights[p * t.taps + k], tent(k) / exactSum * 65536, slack)
                    << n0 << "/" << n1 << " " << p;
            }
            EXPECT_EQ(sum, 65536u) << n0 << "/" << n1 << " phase " << p;
        }
        IPFilterTableFree(&t);
    }
    IPFilterTable t;
    EXPECT_EQ(IPFilterTableBuild(5, 5, &t), -1);
    EXPECT_EQ(IPFilterTableBuild(5, 1, &t), -1);
}

TEST_F(ResampleTest, FlatAreasStayFlatAndRampsStayStraight) {
    for (int bytes : {1, 2}) {
        const int hi = bytes == 2 ? 65535 : 255;
        Buffer flat(3, bytes, 333, 250), out(3, bytes, 80, 80);
        flat.Fill([&](int c, int, int) { return c == 0 ? hi : c == 1 ? 0 : hi / 3; });
        int32_t w, h;
        ASSERT_EQ(Scale(flat.view, out.view, &w, &h), 0);
        ASSERT_TRUE(w == 80 && h == 60);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_TRUE(out.Get(0, x, y) == hi && out.Get(1, x, y) == 0 &&
                            out.Get(2, x, y) == hi / 3);
    }
    // 800 x 600 into 100 x 100 gives 100 x 75. The step across (799/99) is the smaller one and
    // serves down the columns too, so interior row y sits at y x 799/99 rather than y x 599/74.
    Buffer ramp(2, 2, 800, 600), out(2, 2, 100, 100);
    ramp.Fill([](int c, int x, int y) { return c == 0 ? 8 * x : 100 * y; });
    int32_t w, h;
    ASSERT_EQ(Scale(ramp.view, out.view, &w, &h), 0);
    ASSERT_TRUE(w == 100 && h == 75);
    const double step = double(((800 << 16) - 65536) / 99) / 65536;
    for (int i = 2; i < 98; ++i) EXPECT_NEAR(out.Get(0, i, 30), 8 * i * step, 8 / 16.0 + 1) << i;
    for (int y = 2; y < 73; ++y)
        EXPECT_NEAR(out.Get(1, 40, y), 100 * y * step, 100 / 16.0 + 1) << y;
    // Without filtering, each output takes the source sample nearest to its position.
    ASSERT_EQ(Scale(ramp.view, out.view, &w, &h, kIPScaleNearest), 0);
    const int64_t fixedStep = ((800 << 16) - 65536) / 99;
    for (int i = 1; i < 99; ++i)
        EXPECT_EQ(out.Get(0, i, 30), 8 * int((i * fixedStep + 32768) >> 16)) << i;
    EXPECT_EQ(out.Get(0, 99, 30), 8 * 799);
}

// A floating-point tent with edge repetition.
double TentAt(const Buffer& b, int c, double px, double py, double s) {
    double sum = 0, wsum = 0;
    for (int ty = int(std::floor(py - s)); ty <= int(std::ceil(py + s)); ++ty)
        for (int tx = int(std::floor(px - s)); tx <= int(std::ceil(px + s)); ++tx) {
            const double wgt =
                std::max(0.0, 1 - std::abs(tx - px) / s) * std::max(0.0, 1 - std::abs(ty - py) / s);
            sum += wgt * b.Get(c, std::clamp(tx, 0, b.view.width - 1),
                               std::clamp(ty, 0, b.view.height - 1));
            wsum += wgt;
        }
    return sum / wsum;
}

TEST_F(ResampleTest, ASmoothImageMatchesAFloatingPointTentAtTheSamePositions) {
    Buffer src(3, 1, 211, 157), out(3, 1, 60, 60);
    src.Fill([](int c, int x, int y) {
        return int(127.5 + 100 * std::sin(0.05 * x + 0.9 * c) * std::cos(0.07 * y));
    });
    int32_t w, h;
    ASSERT_EQ(Scale(src.view, out.view, &w, &h), 0);
    ASSERT_TRUE(w == 60 && h == 45);
    const int64_t step = std::min(((211LL << 16) - 65536) / 59, ((157LL << 16) - 65536) / 44);
    const double s = 210.0 / 59;                 // the direction of the smaller step
    auto position = [&](int i, int n, int n0) {  // ends on the ends, the rest at 1/16 resolution
        return i == 0 ? 0.0 : i == n - 1 ? double(n0 - 1) : double((i * step) >> 12) / 16;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(out.Get(c, x, y),
                            TentAt(src, c, position(x, w, 211), position(y, h, 157), s), 1.0)
                    << x << "," << y << " channel " << c;
}

// The reduction's integer arithmetic written out plainly from the filter table: each source row
// across with 8 fraction bits kept, then down the columns, rounded once.
std::vector<int> ReferenceReduction(const Buffer& src, int w, int h) {
    const int w0 = src.view.width, h0 = src.view.height, channels = src.view.channels;
    const int64_t stepX = ((int64_t(w0) << 16) - 65536) / (w - 1);
    const int64_t stepY = ((int64_t(h0) << 16) - 65536) / (h - 1);
    const int64_t step = std::min(stepX, stepY);
    IPFilterTable t;
    EXPECT_EQ(stepX <= stepY ? IPFilterTableBuild(w0, w, &t) : IPFilterTableBuild(h0, h, &t), 0);
    auto position = [&](int i, int n, int n0) {
        return i == 0 ? 0 : i == n - 1 ? int64_t(n0 - 1) << 16 : i * step;
    };
    auto tap = [&](int64_t pos, int k, int n0, int* at) {
        *at = std::clamp(int((pos >> 16) + t.firstOffset + k), 0, n0 - 1);
        return uint64_t(t.weights[((pos >> 12) & 15) * t.taps + k]);
    };
    const uint64_t hi = src.view.bytesPerSample == 2 ? 65535 : 255;
    std::vector<int> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                uint64_t down = uint64_t(1) << 23;
                for (int ky = 0; ky < t.taps; ++ky) {
                    int sy, sx;
                    const uint64_t wy = tap(position(y, h, h0), ky, h0, &sy);
                    uint64_t across = 128;
                    for (int kx = 0; kx < t.taps; ++kx) {
                        const uint64_t wx = tap(position(x, w, w0), kx, w0, &sx);
                        across += wx * uint64_t(src.Get(c, sx, sy));
                    }
                    down += wy * (across >> 8);
                }
                out.push_back(int(std::min(down >> 24, hi)));
            }
    IPFilterTableFree(&t);
    return out;
}

TEST_F(ResampleTest, EveryTapCountGivesTheTablesExactSums) {
    // Reductions by 1.2 to 4.5: four to ten taps, both the counts with loops of their own and
    // the rest.
    const int cases[][6] = {
        // channels, bytes, source size, box
        {3, 1, 120, 90, 100, 100}, {3, 2, 150, 97, 100, 100},  {3, 1, 200, 150, 100, 100},
        {4, 1, 211, 157, 84, 84},  {3, 2, 300, 220, 100, 100}, {1, 2, 301, 203, 97, 97},
        {3, 1, 301, 203, 67, 67},  {3, 2, 360, 270, 80, 80},
    };
    std::mt19937 rng(40);
    std::vector<int> tapCounts;
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k[2] << "x" << k[3] << " into " << k[4] << "x" << k[5]);
        Buffer src(k[0], k[1], k[2], k[3], 3), out(k[0], k[1], k[4], k[5]);
        src.Fill([&](int, int, int) { return int(rng() & (k[1] == 2 ? 0xFFFF : 0xFF)); });
        int32_t w, h;
        ASSERT_EQ(Scale(src.view, out.view, &w, &h), 0);
        IPFilterTable t;
        const bool across =
            ((int64_t(k[2]) << 16) - 65536) / (w - 1) <= ((int64_t(k[3]) << 16) - 65536) / (h - 1);
        ASSERT_EQ(across ? IPFilterTableBuild(k[2], w, &t) : IPFilterTableBuild(k[3], h, &t), 0);
        tapCounts.push_back(t.taps);
        IPFilterTableFree(&t);
        const std::vector<int> expected = ReferenceReduction(src, w, h);
        size_t i = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < k[0]; ++c, ++i)
                    ASSERT_EQ(out.Get(c, x, y), expected[i]) << x << "," << y << " channel " << c;
    }
    std::sort(tapCounts.begin(), tapCounts.end());
    EXPECT_TRUE(tapCounts.back() > 8);
    for (int n : {4, 5, 6, 7, 8})
        EXPECT_TRUE(std::count(tapCounts.begin(), tapCounts.end(), n) > 0) << n << " taps";
}

TEST_F(ResampleTest, InPlaceReductionAndCopyingEqualWorkIntoAnotherBuffer) {
    const int cases[][8] = {
        // channels, bytes, source size, box, row padding, mode
        {3, 1, 301, 203, 100, 100, 0, kIPScaleTent}, {4, 2, 257, 300, 64, 120, 5, kIPScaleTent},
        {1, 1, 120, 90, 119, 119, 3, kIPScaleTent},  {3, 1, 1000, 40, 30, 30, 0, kIPScaleTent},
        {4, 1, 64, 64, 2, 2, 0, kIPScaleTent},       {3, 1, 301, 203, 100, 100, 0, kIPScaleNearest},
        {3, 2, 40, 30, 50, 50, 7, kIPScaleTent},  // fits the box: copied
    };
    std::mt19937 rng(12);
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k[2] << "x" << k[3] << " into " << k[4] << "x" << k[5]);
        Buffer src(k[0], k[1], k[2], k[3], k[6]), separate(k[0], k[1], k[4], k[5]);
        src.Fill([&](int, int, int) { return int(rng() & (k[1] == 2 ? 0xFFFF : 0xFF)); });
        const Buffer original = src;
        int32_t w1, h1, w2, h2;
        ASSERT_EQ(Scale(src.view, separate.view, &w1, &h1, k[7]), 0);
        IPImage box = src.view;
        box.width = k[4], box.height = k[5];
        ASSERT_EQ(Scale(src.view, box, &w2, &h2, k[7]), 0);
        ASSERT_TRUE(w1 == w2 && h1 == h2);
        const bool copied = k[2] <= k[4] && k[3] <= k[5];
        for (int y = 0; y < h1; ++y)
            for (int x = 0; x < w1; ++x)
                for (int c = 0; c < k[0]; ++c) {
                    ASSERT_EQ(src.Get(c, x, y), separate.Get(c, x, y)) << x << "," << y;
                    ASSERT_TRUE(!copied || separate.Get(c, x, y) == original.Get(c, x, y))
                        << x << "," << y;
                }
    }
}

struct Reader {
    const Buffer* image;
    std::vector<int> asked;
    int failAt = -1;
};

int32_t ReadRow(void* context, int32_t y, const IPImage* row) {
    auto* r = static_cast<Reader*>(context);
    r->asked.push_back(y);
    EXPECT_TRUE(row->width == r->image->view.width && row->height == 1);
    for (int x = 0; x < row->width; ++x)
        for (int c = 0; c < row->channels; ++c) {
            const ptrdiff_t i = IPSampleOffset(row, x, 0);
            const int v = r->image->Get(c, x, y);
            (row->bytesPerSample == 2 ? static_cast<uint16_t*>(row->channel[c])[i] = uint16_t(v)
                                      : static_cast<uint8_t*>(row->channel[c])[i] = uint8_t(v));
        }
    return y == r->failAt ? -5 : 0;
}

TEST_F(ResampleTest, RowsFromAReaderAreReadInOrderOnceAndGiveTheSameImage) {
    for (int bytes : {1, 2}) {
        Buffer src(3, bytes, 150, 97), fromMemory(3, bytes, 40, 40), fromReader(3, bytes, 40, 40);
        std::mt19937 rng(7);
        src.Fill([&](int, int, int) { return int(rng() % (bytes == 2 ? 65536 : 256)); });
        int32_t w1, h1, w2, h2;
        ASSERT_EQ(Scale(src.view, fromMemory.view, &w1, &h1), 0);
        Reader reader{&src, {}};
        IPRowSource file = {150, 97, 3, bytes, ReadRow, &reader};
        ASSERT_EQ(IPScaleImageDown2(&file, nullptr, kIPScaleTent, &fromReader.view, &w2, &h2, 0),
                  0);
        EXPECT_TRUE(w1 == w2 && h1 == h2 && fromMemory.data8 == fromReader.data8 &&
                    fromMemory.data16 == fromReader.data16);
        ASSERT_EQ(reader.asked.size(), 97u);
        for (int y = 0; y < 97; ++y) EXPECT_EQ(reader.asked[y], y);

        reader = Reader{&src, {}, 50};
        EXPECT_EQ(IPScaleImageDown2(&file, nullptr, kIPScaleTent, &fromReader.view, &w2, &h2, 0),
                  -5);
        EXPECT_TRUE(w2 == 0 && reader.asked.back() == 50);
    }
}

TEST_F(ResampleTest, BadArgumentsAreRefused) {
    Buffer src(3, 1, 20, 20), dst(3, 1, 10, 10), grey(1, 1, 10, 10), deep(3, 2, 10, 10),
        thin(3, 1, 1, 10);
    Reader reader{&src, {}};
    IPRowSource file = {20, 20, 3, 1, ReadRow, &reader};
    IPImage broken = dst.view;
    broken.channel[2] = nullptr;
    int32_t w, h;
    EXPECT_EQ(IPScaleImageDown2(&file, &src.view, 1, &dst.view, &w, &h, 0), -1) << "both sources";
    EXPECT_EQ(IPScaleImageDown2(nullptr, nullptr, 1, &dst.view, &w, &h, 0), -1) << "no source";
    EXPECT_EQ(IPScaleImageDown2(nullptr, &src.view, 2, &dst.view, &w, &h, 0), -1) << "mode";
    for (const IPImage* d :
         std::vector<const IPImage*>{&thin.view, &grey.view, &deep.view, &broken, nullptr})
        EXPECT_EQ(IPScaleImageDown2(nullptr, &src.view, 1, d, &w, &h, 0), -1);
    EXPECT_EQ(IPScaleImageDown2(nullptr, &src.view, 1, &dst.view, nullptr, &h, 0), -1);
    file.readRow = nullptr;
    EXPECT_EQ(IPScaleImageDown2(&file, nullptr, 1, &dst.view, &w, &h, 0), -1);
    EXPECT_TRUE(reader.asked.empty());
}

TEST_F(ResampleTest, ZoomShowsTheRequestedPartWithEachPixelRepeated) {
    Buffer src(3, 1, 50, 40);
    src.Fill([](int c, int x, int y) { return (x * 5 + y * 3 + c * 101) & 255; });
    const double cases[][5] = {{0.5, 0.5, 3, 64, 48}, {0, 0, 4, 30, 30},     {1, 1, 4, 30, 30},
                               {0.3, 0.8, 2, 33, 21}, {0.5, 0.5, 1, 20, 20}, {0.25, 0.5, 7, 40, 9}};
    for (const auto& k : cases) {
        const int z = int(k[2]), dw = int(k[3]), dh = int(k[4]);
        Buffer dst(3, 1, dw, dh);
        ASSERT_EQ(IPZoomImage(&src.view, k[0], k[1], z, &dst.view), 0);
        // Destination pixel d shows source pixel (q + d) / zoom, q the offset in magnified pixels.
        const int qx = int(std::floor((50 * z - dw) * k[0] + 0.5)),
                  qy = int(std::floor((40 * z - dh) * k[1] + 0.5));
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(dst.Get(c, x, y), src.Get(c, (qx + x) / z, (qy + y) / z))
                        << k[0] << " " << z << " " << x << "," << y;
    }
    // Centred 3x of 50 x 40 in 64 x 48: offsets 43 and 36 magnified pixels, so the view starts
    // at (14, 12), whose column shows twice and whose row three times.
    Buffer dst(3, 1, 64, 48);
    ASSERT_EQ(IPZoomImage(&src.view, 0.5, 0.5, 3, &dst.view), 0);
    EXPECT_TRUE(dst.Get(0, 1, 0) == src.Get(0, 14, 12) && dst.Get(0, 2, 0) == src.Get(0, 15, 12));
    EXPECT_TRUE(dst.Get(0, 0, 2) == src.Get(0, 14, 12) && dst.Get(0, 0, 3) == src.Get(0, 14, 13));

    // A magnified image smaller than the view fills only its part.
    Buffer small(1, 2, 5, 4), view(1, 2, 20, 15), rgb(3, 2, 5, 4);
    small.Fill([](int, int x, int y) { return 1000 * y + x; });
    view.Fill([](int, int, int) { return 0xFFFF; });
    ASSERT_EQ(IPZoomImage(&small.view, 0.5, 0.5, 3, &view.view), 0);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(view.Get(0, x, y), x < 15 && y < 12 ? 1000 * (y / 3) + x / 3 : 0xFFFF);

    EXPECT_EQ(IPZoomImage(&small.view, 0.5, 0.5, 0, &view.view), -1) << "zoom 0";
    EXPECT_EQ(IPZoomImage(&small.view, NAN, 0.5, 2, &view.view), -1) << "NaN fraction";
    EXPECT_EQ(IPZoomImage(&small.view, 0.5, 1.01, 2, &view.view), -1) << "fraction above 1";
    EXPECT_EQ(IPZoomImage(&small.view, 0.5, 0.5, 2, &rgb.view), -1) << "channels differ";
    EXPECT_EQ(IPZoomImage(&small.view, 0.5, 0.5, 2, &small.view), -1) << "same pixels";
    view.view.width = 0;
    EXPECT_EQ(IPZoomImage(&small.view, 0.5, 0.5, 2, &view.view), -1) << "empty view";
}

}  // namespace
