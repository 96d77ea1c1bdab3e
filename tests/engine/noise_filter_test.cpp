// Noise-removal row filter: against a plain whole-image reference (sorted medians over clamped
// neighbourhoods, patterns from an independent generator), row flow and lag, the sparse disc's
// geometry, exactness of flat areas and of the luma-chroma round trip, refusals and memory.
#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/noise_filter.h"
#include "platform/mem.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using Image = std::vector<int32_t>;  // interleaved samples, width x rows x channels
using Grid = std::vector<uint8_t>;   // 33 x 33

struct Options {
    int32_t width = 9, rows = 7, channels = 3, space = 1, pixelSize = 1, mode = 0;
    bool lumaChroma = false;
    int32_t radius[4] = {1, 1, 1, 0};
    int32_t threshold[4] = {20, 20, 20, 0};
    int32_t inPlanar = 0, outPlanar = 0;
    int32_t firstRow = 0;
};

// ---- the reference --------------------------------------------------------------------------

int32_t Park(int32_t s) {
    return int32_t(int64_t(s) * 16807 % 2147483647);
}

Grid SparseDisc(int r, int32_t* state) {
    const int n = 2 * r + 1;
    std::vector<int> cell(33 * 33, 0);  // 1 candidate, 2 taken
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            cell[i * 33 + j] = (i - r) * (i - r) + (j - r) * (j - r) <= r * r;
    auto left = [&] { return std::count(cell.begin(), cell.end(), 1) > 0; };
    auto take = [&](int i, int j) {
        if (cell[i * 33 + j] != 1) return;
        cell[i * 33 + j] = 2;
        for (int a = std::max(i - 2, 0); a <= std::min(i + 2, 32); ++a)
            for (int b = std::max(j - 2, 0); b <= std::min(j + 2, 32); ++b)
                if ((std::abs(a - i) < 2 || std::abs(b - j) < 2) && cell[a * 33 + b] == 1)
                    cell[a * 33 + b] = 0;
    };
    take(r, r);
    for (int pick = 1; pick <= 10000 && left(); ++pick) {
        const int j = ((*state = Park(*state)) >> 11) % n;
        const int i = ((*state = Park(*state)) >> 11) % n;
        take(i, j);
    }
    while (left()) {
        const int k = int(std::find(cell.begin(), cell.end(), 1) - cell.begin());
        take(k / 33, k % 33);
    }
    Grid g(33 * 33);
    for (int k = 0; k < 33 * 33; ++k) g[k] = cell[k] == 2;
    return g;
}

Grid Shape(int r, int mode, int32_t* state) {
    Grid g(33 * 33, 0);
    if (r == 0) g[0] = 1;
    if (r == 0 || mode == 5) return g;
    if (mode == 4) return SparseDisc(r, state);
    for (int a = -r; a <= r; ++a)
        for (int b = -r; b <= r; ++b)
            g[(a + r) * 33 + b + r] = mode == 0 || (mode == 1 && a * a + b * b <= r * r) ||
                                      (mode == 2 && std::abs(a) + std::abs(b) <= r) ||
                                      (mode == 3 && (a == 0 || b == 0));
    return g;
}

// Moves every set cell, as an offset (a, b) from the centre, to its image under symmetry k:
// transpose, quarter turn clockwise, mirror left-right, quarter turn back, mirror top-bottom,
// transpose about the other diagonal, half turn.
Grid Turn(const Grid& g, int r, int k) {
    Grid out(33 * 33, 0);
    for (int a = -r; a <= r; ++a)
        for (int b = -r; b <= r; ++b) {
            if (!g[(a + r) * 33 + b + r]) continue;
            const int to[7][2] = {{b, a}, {b, -a}, {a, -b}, {-b, a}, {-a, b}, {-b, -a}, {-a, -b}};
            out[(to[k][0] + r) * 33 + to[k][1] + r] = 1;
        }
    return out;
}

int64_t Middle(std::vector<int64_t> v) {
    std::sort(v.begin(), v.end());
    return v.size() == 1 ? v[0] : v.size() == 2 ? (v[0] + v[1]) >> 1 : v[v.size() / 2];
}

int32_t RoundedRatio(__int128 n, __int128 d) {  // floor(n / d + 1/2), d > 0
    const __int128 m = 2 * n + d, q = m / (2 * d);
    return int32_t(m % (2 * d) != 0 && m < 0 ? q - 1 : q);
}

// The filtered image by definition: each output pixel straight from the whole image.
Image Reference(const Options& o, const Image& in) {
    const int R = *std::max_element(o.radius, o.radius + o.channels),
              hi = o.pixelSize == 2 ? 65535 : 255;
    const size_t pixels = size_t(o.width) * o.rows;
    std::vector<Image> w(o.channels, Image(pixels));
    for (size_t p = 0; p < pixels; ++p) {
        const int32_t* s = &in[p * o.channels];
        for (int c = 0; c < o.channels; ++c) w[c][p] = s[c] * 16384;
        if (o.lumaChroma) {
            w[0][p] = 4899 * s[0] + 9617 * s[1] + 1868 * s[2];
            w[1][p] = 7160 * s[2] - 4735 * s[1] - 2425 * s[0];
            w[2][p] = 10076 * s[0] - 8438 * s[1] - 1638 * s[2];
        }
    }
    // patterns[k]: the patterns after k input rows.
    int32_t state = 1928274;
    std::vector<std::vector<Grid>> patterns(1);
    for (int c = 0; c < o.channels; ++c) patterns[0].push_back(Shape(o.radius[c], o.mode, &state));
    for (int k = 1; k < o.rows; ++k) {
        patterns.push_back(patterns.back());
        for (int c = 0; c < o.channels && o.mode == 4; ++c)
            if (o.radius[c] > 0)
                patterns[k][c] = Turn(patterns[k][c], o.radius[c], (state = Park(state)) % 7);
    }
    auto at = [&](int c, int x, int y) {
        return w[c][size_t(std::clamp(y, 0, o.rows - 1)) * o.width + std::clamp(x, 0, o.width - 1)];
    };
    Image out(in.size());
    for (int y = 0; y < o.rows; ++y) {
        const std::vector<Grid>& pat = patterns[std::min(y + R, o.rows - 1)];
        for (int x = 0; x < o.width; ++x) {
            int64_t res[4];
            for (int c = 0; c < o.channels; ++c) {
                const int r = o.radius[c];
                const int64_t centre = at(c, x, y),
                              t = int64_t(o.threshold[c]) * (o.pixelSize == 2 ? 257 : 1) * 16384;
                auto within = [&](int64_t v) { return centre - t <= v && v <= centre + t; };
                std::vector<int64_t> v{centre};
                if (r > 0 && o.mode == 5) {
                    const int dx[8] = {1, 1, 0, -1, -1, -1, 0, 1},
                              dy[8] = {0, -1, -1, -1, 0, 1, 1, 1};
                    for (int d = 0; d < 8; ++d)
                        for (int s = 1; s <= r && within(at(c, x + s * dx[d], y + s * dy[d])); ++s)
                            v.push_back(at(c, x + s * dx[d], y + s * dy[d]));
                } else if (r > 0) {
                    v.clear();
                    for (int i = 0; i <= 2 * r; ++i)
                        for (int j = 0; j <= 2 * r; ++j)
                            if (pat[c][i * 33 + j] && within(at(c, x + j - r, y + i - r)))
                                v.push_back(at(c, x + j - r, y + i - r));
                }
                res[c] = Middle(v);
            }
            int32_t* d = &out[(size_t(y) * o.width + x) * o.channels];
            for (int c = 0; c < o.channels; ++c)
                d[c] = std::clamp(int32_t((res[c] + 8192) >> 14), 0, hi);
            if (o.lumaChroma) {
                // The inverse matrix as adjugate over determinant, rounded once per channel.
                const int64_t adj[3][3] = {{68172010, -9538, 77702700},
                                           {68172010, -26846530, -39606740},
                                           {68172010, 138238654, 124460}};
                for (int k = 0; k < 3; ++k) {
                    const __int128 n = __int128(adj[k][0]) * res[0] + __int128(adj[k][1]) * res[1] +
                                       __int128(adj[k][2]) * res[2];
                    d[k] = std::clamp(RoundedRatio(n, 1116930211840LL), 0, hi);
                }
            }
        }
    }
    return out;
}

// ---- running the filter ---------------------------------------------------------------------

struct Result {
    int32_t status = 0;
    Image out;
    std::vector<int> delivered;  // rows handed on during each NoiseFilterRun call
    std::vector<uint64_t> tags;
    const Options* o = nullptr;
    int failAt = -1, count = 0;  // the callback answers -10 once, for output row failAt
};

int32_t Collect(const HgPixelBuffer* row, void* context) {
    auto* k = static_cast<Result*>(context);
    const Options& o = *k->o;
    if (k->count == k->failAt) {
        k->failAt = -1;  // fails once: later calls must fail on their own account
        return -10;
    }
    EXPECT_TRUE(row->width == uint32_t(o.width) && row->channels == uint32_t(o.channels) &&
                row->planar == uint32_t(o.outPlanar));
    for (int x = 0; x < o.width && k->count < o.rows; ++x)
        for (int c = 0; c < o.channels; ++c) {
            const size_t i = o.outPlanar ? size_t(c) * o.width + x : size_t(x) * o.channels + c;
            k->out[(size_t(k->count) * o.width + x) * o.channels + c] =
                o.pixelSize == 2 ? row->data16[i] : row->data8[i];
        }
    k->tags.push_back(row->tag);
    ++k->count;
    return 0;
}

NoiseFilterOptions MakeOptions(const Options& o, Result* k) {
    NoiseFilterOptions n = {
        o.width, o.rows,    o.space,     uint8_t(o.lumaChroma),   o.channels,  {},
        {},      o.mode,    o.outPlanar, o.space == 4 ? 228 : 36, o.pixelSize, Collect,
        k,       o.firstRow};
    std::copy(o.radius, o.radius + 4, n.radius);
    std::copy(o.threshold, o.threshold + 4, n.threshold);
    return n;
}

// Row y of the image in the input layout, over buffers the caller keeps.
HgPixelBuffer MakeRow(const Options& o, const Image& in, int y, std::vector<uint8_t>& b8,
                      std::vector<uint16_t>& b16) {
    b8.resize(size_t(o.width) * o.channels);
    b16.resize(b8.size());
    for (int x = 0; x < o.width; ++x)
        for (int c = 0; c < o.channels; ++c) {
            const size_t i = o.inPlanar ? size_t(c) * o.width + x : size_t(x) * o.channels + c;
            b16[i] = uint16_t(in[(size_t(y) * o.width + x) * o.channels + c]);
            b8[i] = uint8_t(b16[i]);
        }
    return {uint32_t(o.width),
            uint32_t(o.channels),
            uint32_t(o.space),
            uint32_t(o.inPlanar),
            uint32_t(o.space == 4 ? 228 : 36),
            o.pixelSize == 1 ? b8.data() : nullptr,
            o.pixelSize == 2 ? b16.data() : nullptr,
            1000u + y};
}

// Runs the rows through a new filter, checking that no row allocates.
Result Filter(const Options& o, const Image& in, int failAt = -1) {
    Result k;
    k.o = &o, k.failAt = failAt;
    k.out.assign(in.size(), -1);
    const NoiseFilterOptions n = MakeOptions(o, &k);
    NoiseFilter* f = nullptr;
    if ((k.status = NoiseFilterCreate(&f, &n)) != 0) return k;
    const uint32_t ids = ul_nextId;
    std::vector<uint8_t> b8;
    std::vector<uint16_t> b16;
    for (int y = 0; y < o.rows && k.status == 0; ++y) {
        const HgPixelBuffer row = MakeRow(o, in, y, b8, b16);
        const int before = k.count;
        k.status = NoiseFilterRun(f, &row);
        k.delivered.push_back(k.count - before);
    }
    EXPECT_EQ(ul_nextId, ids) << "rows must not allocate";
    NoiseFilterFree(f);
    return k;
}

Image RandomImage(const Options& o, uint32_t seed, int spread) {
    std::mt19937 rng(seed);
    const int hi = o.pixelSize == 2 ? 65535 : 255, unit = o.pixelSize == 2 ? 257 : 1;
    std::uniform_int_distribution<int> base(hi / 4, 3 * hi / 4),
        noise(-spread * unit, spread * unit);
    const int b = base(rng);
    Image im(size_t(o.width) * o.rows * o.channels);
    for (auto& v : im) v = std::clamp(b + noise(rng), 0, hi);
    return im;
}

using NoiseFilterTest = huegrid_testing::EngineTest;

// ---- tests ----------------------------------------------------------------------------------

TEST_F(NoiseFilterTest, EveryShapeLayoutDepthAndChannelCountMatchesThePlainMedian) {
    std::vector<Options> cases;
    for (int mode = 0; mode <= 5; ++mode)
        for (int variant = 0; variant < 4; ++variant) {
            Options o;
            o.mode = mode, o.width = 13 + variant, o.rows = 11;
            o.pixelSize = variant & 1 ? 2 : 1;
            o.lumaChroma = variant >= 2;
            o.inPlanar = variant == 1 || variant == 2;
            o.outPlanar = variant == 0 || variant == 2;
            // Radii up to 3 in the sparse disc; mode 0 at 3 has 49 values, past the rank limit.
            const int base = mode == 4 ? 3 : 1;
            o.radius[0] = o.lumaChroma ? 0 : base, o.radius[1] = base + 1, o.radius[2] = base + 2;
            o.threshold[0] = 12, o.threshold[1] = 30, o.threshold[2] = 45;
            cases.push_back(o);
        }
    Options grey;
    grey.channels = 1, grey.space = 5, grey.radius[0] = 2;
    Options cmyk;
    cmyk.channels = 4, cmyk.space = 4, cmyk.mode = 1, cmyk.pixelSize = 2, cmyk.outPlanar = 1;
    cmyk.radius[3] = 3, cmyk.threshold[3] = 25;
    Options wide;  // a square of 81 cells: counts beyond the rank limit, odd and even
    wide.radius[0] = 4, wide.radius[1] = 5, wide.radius[2] = 0;
    wide.threshold[0] = wide.threshold[1] = 30, wide.width = 15, wide.rows = 12;
    cases.insert(cases.end(), {grey, cmyk, wide});
    uint32_t seed = 1;
    for (const Options& o : cases) {
        SCOPED_TRACE(testing::Message() << "case " << seed);
        const Image in = RandomImage(o, seed++, 40);
        const Result run = Filter(o, in);
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(run.out, Reference(o, in));
    }
}

TEST_F(NoiseFilterTest, RowsLagByTheLargestRadiusAndShortImagesLoseNone) {
    Options o;
    o.rows = 12;
    o.radius[0] = 0, o.radius[1] = 4, o.radius[2] = 2;
    Result run = Filter(o, RandomImage(o, 5, 20));
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.delivered, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 5}));
    // The output record carries the tag of the latest input row.
    EXPECT_TRUE(run.tags.front() == 1004u && run.tags.back() == 1011u);

    // Fewer rows than the window: each row still comes out once, filtered against repeated
    // edge rows. Rows of clearly different values show a row delivered twice or skipped.
    o.mode = 4, o.lumaChroma = true, o.radius[1] = 6, o.radius[2] = 3;
    o.threshold[1] = o.threshold[2] = 60;
    for (int rows : {1, 2, 3, 5, 6, 7}) {
        o.rows = rows;
        Image in = RandomImage(o, 100 + rows, 10);
        for (size_t p = 0; p < in.size(); p += 3) in[p] = 20 + 30 * int(p / 3 / o.width);
        run = Filter(o, in);
        ASSERT_EQ(run.status, 0);
        EXPECT_EQ(run.out, Reference(o, in)) << rows << " rows";
        EXPECT_EQ(run.delivered.back(), rows) << rows << " rows";
    }
}

TEST_F(NoiseFilterTest, FlatAreasOutliersAndUnfilteredColoursComeBackExactly) {
    for (int depth : {1, 2})
        for (int variant = 0; variant < 6; ++variant) {
            Options o;
            o.pixelSize = depth, o.lumaChroma = variant & 1, o.mode = variant / 2 * 2;  // 0, 2, 4
            o.width = 20, o.rows = 9;
            o.radius[0] = o.lumaChroma ? 0 : 3, o.radius[1] = 8, o.radius[2] = 4;
            const int hi = depth == 2 ? 65535 : 255;
            for (auto rgb : {std::array<int, 3>{0, 0, 0},
                             {hi, hi, hi},
                             {hi, 0, 0},
                             {200 * hi / 255, 30, 91 * hi / 255}}) {
                Image in(size_t(o.width) * o.rows * 3);
                for (size_t p = 0; p < in.size(); ++p) in[p] = rgb[p % 3];
                EXPECT_EQ(Filter(o, in).out, in) << depth << " " << variant << " " << rgb[2];
            }
        }
    // An outlier beyond the threshold keeps its value and leaves its neighbours alone.
    for (int variant = 0; variant < 4; ++variant) {
        Options o;
        o.lumaChroma = variant & 1, o.mode = variant & 2 ? 4 : 1, o.width = 21, o.rows = 15;
        o.radius[0] = o.lumaChroma ? 0 : 5, o.radius[1] = o.radius[2] = 5;
        o.threshold[0] = o.threshold[1] = o.threshold[2] = 10;
        Image in(size_t(o.width) * o.rows * 3);
        for (size_t p = 0; p < in.size(); ++p) in[p] = p % 3 == 0 ? 100 : 120;
        int32_t* spot = &in[(size_t(7) * o.width + 10) * 3];
        spot[0] = 250, spot[1] = 40, spot[2] = 200;
        EXPECT_EQ(Filter(o, in).out, in) << variant;
    }
    // Nothing filtered, so only the conversion there and back: every colour must return. (An
    // inverse rounded term by term moves about four in five 8-bit colours by up to 3 codes.)
    Options o;
    o.lumaChroma = true, o.width = o.rows = 256;
    o.radius[0] = o.radius[1] = o.radius[2] = 0;
    Image in(size_t(256) * 256 * 3);
    for (int depth : {1, 2})
        for (int b = 0; b < 256; b += 9) {
            o.pixelSize = depth;
            const int unit = depth == 2 ? 257 : 1;
            for (size_t p = 0; p < in.size() / 3; ++p) {
                const int x = int(p % 256), y = int(p / 256);
                in[3 * p] = depth == 2 ? x * 256 + b : x;
                in[3 * p + 1] = y * unit, in[3 * p + 2] = b * unit;
            }
            ASSERT_EQ(Filter(o, in).out, in) << "blue " << b << " depth " << depth;
        }
}

TEST_F(NoiseFilterTest, TheMiddleValueRulesHoldForOddEvenAndTwoValues) {
    // A 3x3 square over three equal rows, threshold 20, edges repeated. {10, 30, 14}: the middle
    // pixel takes 10, 14 and 30 three times each: 14; its neighbours keep 10 and 14.
    // {14, 10, 90}: the middle pixel takes 10 and 14 three times each (90 is out of reach):
    // n = 6 and the upper middle value, 14, wins.
    Options o;
    o.channels = 1, o.space = 5, o.width = 3, o.rows = 3, o.radius[0] = 1, o.threshold[0] = 20;
    EXPECT_EQ(Filter(o, {10, 30, 14, 10, 30, 14, 10, 30, 14}).out,
              (Image{10, 14, 14, 10, 14, 14, 10, 14, 14}));
    EXPECT_EQ(Filter(o, {14, 10, 90, 14, 10, 90, 14, 10, 90}).out,
              (Image{14, 14, 90, 14, 14, 90, 14, 14, 90}));
    // A cross whose centre (100) reaches only its right neighbour (103): the mean 101.5 is kept
    // in working precision and rounds to 102 (the middle values would give 100 or 103).
    o.mode = 3, o.threshold[0] = 5;
    EXPECT_EQ(Filter(o, {0, 200, 0, 0, 100, 103, 0, 200, 0}).out[4], 102);
}

TEST_F(NoiseFilterTest, TheSparseDiscIsTheSeededPatternAtEveryRadiusAndRepeats) {
    for (int r = 3; r <= 16; ++r) {
        Options o;
        o.channels = 1, o.space = 5, o.mode = 4, o.radius[0] = r;
        const NoiseFilterOptions n = MakeOptions(o, nullptr);
        NoiseFilter* f = nullptr;
        ASSERT_EQ(NoiseFilterCreate(&f, &n), 0);
        int32_t state = 1928274;
        EXPECT_EQ(Grid(f->pattern[0], f->pattern[0] + 33 * 33), SparseDisc(r, &state)) << r;
        NoiseFilterFree(f);
    }
    Options o;
    o.mode = 4, o.lumaChroma = true, o.width = 30, o.rows = 20;
    o.radius[0] = 0, o.radius[1] = 8, o.radius[2] = 4, o.threshold[1] = o.threshold[2] = 40;
    const Image in = RandomImage(o, 31, 60);
    EXPECT_EQ(Filter(o, in).out, Filter(o, in).out);
}

// A part of an image filtered alone, told the image's row it starts at, gives the rows the whole
// image gives wherever the part holds their neighbours: the sparse disc has turned as often as
// for the whole image. Told nothing, it differs (the test would not see a wrong turn otherwise).
TEST_F(NoiseFilterTest, APartToldItsFirstRowGetsTheWholeImagesRows) {
    Options whole;
    whole.mode = 4, whole.lumaChroma = true, whole.width = 40, whole.rows = 90;
    whole.radius[0] = 0, whole.radius[1] = 7, whole.radius[2] = 3;
    whole.threshold[1] = whole.threshold[2] = 60;
    const Image in = RandomImage(whole, 41, 70);
    const Image all = Filter(whole, in).out;
    const int R = 7, first = 37, rows = 30;
    Options part = whole;
    part.rows = rows;
    const Image piece(in.begin() + ptrdiff_t(first) * whole.width * 3,
                      in.begin() + ptrdiff_t(first + rows) * whole.width * 3);
    const size_t rowSamples = size_t(whole.width) * 3;
    auto sameInside = [&](const Image& out) {
        for (int y = R; y < rows - R; ++y) {
            if (!std::equal(out.begin() + ptrdiff_t(y * rowSamples),
                            out.begin() + ptrdiff_t((y + 1) * rowSamples),
                            all.begin() + ptrdiff_t((first + y) * rowSamples)))
                return false;
        }
        return true;
    };
    EXPECT_FALSE(sameInside(Filter(part, piece).out));
    part.firstRow = first;
    EXPECT_TRUE(sameInside(Filter(part, piece).out));
    part.firstRow = -1;
    EXPECT_NE(Filter(part, piece).status, 0);
}

TEST_F(NoiseFilterTest, BadOptionsAndRowsAreRefusedAndCallbackFailuresEndTheRun) {
    Result k;
    const NoiseFilterOptions good = MakeOptions(Options{}, &k);
    using Change = void (*)(NoiseFilterOptions&);
    const Change bad[] = {
        [](NoiseFilterOptions& n) { n.channels = 0; },
        [](NoiseFilterOptions& n) { n.channels = 5; },
        [](NoiseFilterOptions& n) { n.space = 5; },
        [](NoiseFilterOptions& n) { n.space = 2; },
        [](NoiseFilterOptions& n) { n.order = 228; },
        [](NoiseFilterOptions& n) { n.space = 4, n.channels = 4; },
        [](NoiseFilterOptions& n) { n.mode = 4, n.radius[1] = 1; },
        [](NoiseFilterOptions& n) { n.mode = 4, n.radius[0] = 2; },
        [](NoiseFilterOptions& n) { n.mode = 6; },
        [](NoiseFilterOptions& n) { n.radius[2] = 17; },
        [](NoiseFilterOptions& n) { n.radius[0] = -1; },
        [](NoiseFilterOptions& n) { n.threshold[1] = 256; },
        [](NoiseFilterOptions& n) { n.threshold[0] = -1; },
        [](NoiseFilterOptions& n) { n.width = 0; },
        [](NoiseFilterOptions& n) { n.rows = 0; },
        [](NoiseFilterOptions& n) { n.pixelSize = 3; },
        [](NoiseFilterOptions& n) { n.planar = 2; },
        [](NoiseFilterOptions& n) { n.callback = nullptr; },
        [](NoiseFilterOptions& n) { n.space = 4, n.channels = 4, n.order = 228, n.lumaChroma = 1; },
    };
    NoiseFilter* f = nullptr;
    for (size_t i = 0; i < std::size(bad); ++i) {
        NoiseFilterOptions n = good;
        bad[i](n);
        f = reinterpret_cast<NoiseFilter*>(&n);
        EXPECT_EQ(NoiseFilterCreate(&f, &n), -1) << "case " << i;
        EXPECT_EQ(f, nullptr) << "case " << i;
    }
    EXPECT_EQ(NoiseFilterCreate(nullptr, &good), -1);
    EXPECT_EQ(NoiseFilterCreate(&f, nullptr), -1);
    EXPECT_EQ(NoiseFilterFree(nullptr), 0);

    // Refused rows change nothing; a row past the end is refused.
    Options o;
    o.rows = 3;
    const Image in = RandomImage(o, 3, 30);
    k.o = &o;
    k.out.assign(in.size(), -1);
    const NoiseFilterOptions three = MakeOptions(o, &k);
    ASSERT_EQ(NoiseFilterCreate(&f, &three), 0);
    std::vector<uint8_t> b8;
    std::vector<uint16_t> b16;
    const HgPixelBuffer row0 = MakeRow(o, in, 0, b8, b16);
    HgPixelBuffer wrong[5] = {row0, row0, row0, row0, row0};
    wrong[0].width += 1, wrong[1].channels = 4, wrong[2].space = 7, wrong[3].order = 0;
    wrong[4].data8 = nullptr, wrong[4].data16 = b16.data();
    EXPECT_EQ(NoiseFilterRun(nullptr, &row0), -1);
    EXPECT_EQ(NoiseFilterRun(f, nullptr), -1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(NoiseFilterRun(f, &wrong[i]), -1) << "row " << i;
    for (int y = 0; y < 3; ++y) {
        const HgPixelBuffer row = MakeRow(o, in, y, b8, b16);
        ASSERT_EQ(NoiseFilterRun(f, &row), 0);
    }
    EXPECT_EQ(k.out, Reference(o, in));
    EXPECT_EQ(NoiseFilterRun(f, &row0), -1);
    NoiseFilterFree(f);

    // A callback failure comes back from the call that delivers that row, and sticks.
    o.rows = 6, o.radius[1] = 2;
    for (int failAt : {0, 3, 5}) {
        const Result run = Filter(o, RandomImage(o, 8, 30), failAt);
        EXPECT_EQ(run.status, -10);
        EXPECT_EQ(int(run.delivered.size()), std::min(failAt + 2, 5) + 1) << failAt;
    }
    Result fail;
    fail.o = &o, fail.failAt = 0, fail.out.assign(size_t(o.width) * o.rows * 3, 0);
    const NoiseFilterOptions n = MakeOptions(o, &fail);
    ASSERT_EQ(NoiseFilterCreate(&f, &n), 0);
    const Image flat(size_t(o.width) * o.rows * 3, 50);
    std::vector<int32_t> statuses;
    for (int y = 0; y < 4; ++y) {
        const HgPixelBuffer row = MakeRow(o, flat, y, b8, b16);
        statuses.push_back(NoiseFilterRun(f, &row));
    }
    EXPECT_EQ(statuses, (std::vector<int32_t>{0, 0, -10, -10}));
    NoiseFilterFree(f);
}

}  // namespace
