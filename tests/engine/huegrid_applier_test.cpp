// The row applier: layouts and order codes, transformed rows against the reference, the
// unsharp mask in each mode against a plain 5x5 sum, row order and lag, refusals, callback
// failures.
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

#include "engine/huegrid_applier.h"
#include "tests/engine/huegrid_reference.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using huegrid_reference::Image;
using huegrid_testing::MakeIdentityGrid;
using huegrid_testing::MakeRandomTable;
using huegrid_testing::Shape;
using Layouts = std::vector<std::pair<uint32_t, uint32_t>>;  // (planar, order): one, or per row

// Where channel c of pixel x lies in a row of the layout.
size_t At(uint32_t planar, uint32_t order, uint32_t c, uint32_t x, uint32_t width, uint32_t n) {
    const uint32_t slot = n == 1 ? 0 : (order >> (2 * c)) & 3;
    return planar ? size_t(slot) * width + x : size_t(x) * n + slot;
}

// Every order code that places the channels in distinct slots.
std::vector<uint32_t> ValidOrders(uint32_t channels) {
    if (channels == 1) return {0, 1, 2, 3, 255};
    std::vector<uint32_t> orders, slots(channels);
    for (uint32_t c = 0; c < channels; ++c) slots[c] = c;
    do {
        uint32_t order = 0;
        for (uint32_t c = 0; c < channels; ++c) order |= slots[c] << (2 * c);
        orders.push_back(order);
    } while (std::next_permutation(slots.begin(), slots.end()));
    return orders;
}

// One row of an image in a caller's layout.
struct EncodedRow {
    std::vector<uint8_t> d8;
    std::vector<uint16_t> d16;
    HgPixelBuffer buffer = {};

    EncodedRow(const Image& im, int y, int size, uint32_t planar, uint32_t order, uint32_t space) {
        const uint32_t w = uint32_t(im.width), n = uint32_t(im.channels);
        d8.resize(size_t(w) * n);
        d16.resize(d8.size());
        for (uint32_t c = 0; c < n; ++c) {
            for (uint32_t x = 0; x < w; ++x) {
                const size_t at = At(planar, order, c, x, w, n);
                d8[at] = uint8_t(d16[at] = uint16_t(im.at(int(c), int(x), y)));
            }
        }
        buffer = {w,
                  n,
                  space,
                  planar,
                  order,
                  size == 1 ? d8.data() : nullptr,
                  size == 2 ? d16.data() : nullptr,
                  uint64_t(1000 + y)};
    }
};

// What the callback saw: decoded rows in the order they came, their tags, and the rows handed
// in when each came out.
struct Collected {
    Image image;
    std::vector<uint64_t> tags;
    std::vector<uint32_t> handedIn;
    uint32_t rowsIn = 0;
    int failAt = -1;  // delivery that fails, with -6
};

int32_t Collect(const HgPixelBuffer* row, void* context) {
    auto* c = static_cast<Collected*>(context);
    const int y = int(c->tags.size());
    if (c->failAt == y) return -6;
    c->tags.push_back(row->tag);
    c->handedIn.push_back(c->rowsIn);
    Image& im = c->image;
    EXPECT_TRUE(int(row->width) == im.width && int(row->channels) == im.channels && y < im.height);
    for (uint32_t ch = 0; ch < row->channels && y < im.height; ++ch) {
        for (uint32_t x = 0; x < row->width && int(x) < im.width; ++x) {
            const size_t at = At(row->planar, row->order, ch, x, row->width, row->channels);
            im.at(int(ch), int(x), y) = row->data8 ? row->data8[at] : row->data16[at];
        }
    }
    return 0;
}

// A smooth ramp with a little noise, so that the unsharp mask has something to do.
Image RandomImage(std::mt19937& rng, int width, int height, int channels, uint32_t maxCode) {
    Image im{width, height, channels, std::vector<uint32_t>(size_t(width) * height * channels)};
    std::uniform_real_distribution<double> noise(-0.08, 0.08);
    for (int c = 0; c < channels; ++c)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                double v =
                    0.5 + 0.35 * std::sin(0.7 * x + 1.3 * c) * std::cos(0.5 * y) + noise(rng);
                im.at(c, x, y) = uint32_t(std::clamp(v, 0.0, 1.0) * maxCode + 0.5);
            }
    return im;
}

// Code conversion between pixel sizes as the applier defines it without a transform.
Image Convert(const Image& in, const HgApplyOptions& o) {
    if (o.inPixelSize == o.outPixelSize) return in;
    Image out = in;
    const int64_t lowIn = std::min(o.inLo, o.inHi), highIn = std::max(o.inLo, o.inHi);
    for (uint32_t& v : out.data) {
        const int64_t c = std::clamp<int64_t>(v, lowIn, highIn);
        const double exact = double(o.outLo) + double(c - o.inLo) * double(o.outHi - o.outLo) /
                                                   double(o.inHi - o.inLo);
        v = uint32_t(std::clamp<int64_t>(std::llround(exact), std::min(o.outLo, o.outHi),
                                         std::max(o.outLo, o.outHi)));
    }
    return out;
}

class ApplierTest : public huegrid_testing::EngineTest {
   protected:
    // Writes the table into the stream buffer and frees it.
    void UseTable(HuegridLut* t) {
        ASSERT_NE(t, nullptr);
        FLSpecMemory(&options_.stream, stream_.data(), int32_t(stream_.size()));
        EXPECT_EQ(HgWriteStream(t, &options_.stream), 0);
        HgFreeLut(t);
    }
    void NoTable() { FLSpecDisk(&options_.stream, (root_ + "/no-such-stream").c_str()); }
    // Full ranges, no sharpening, planar RGB rows to the callback.
    void Defaults(uint32_t width, uint32_t rows, int32_t size, int32_t outSize = 0) {
        outSize = outSize ? outSize : size;
        const int32_t inMax = size == 2 ? 65535 : 255, outMax = outSize == 2 ? 65535 : 255;
        const FLSpec stream = options_.stream;
        options_ = {stream,      0,       inMax,   0,     outMax,
                    0,           -1,      2,       width, rows,
                    size,        outSize, Collect, 1,     kHgOrderIdentity3,
                    &collected_, nullptr};
    }
    void StartCollecting(int width, int height, int channels) {
        collected_ = Collected();
        collected_.image = {width, height, channels,
                            std::vector<uint32_t>(size_t(width) * height * channels)};
    }
    // A new applier with the current options, collecting into an image of the given size.
    HuegridApplier* Create(int width, int height, int channels) {
        HuegridApplier* a = nullptr;
        EXPECT_EQ(HgApplierCreate(&options_, &a), 0);
        StartCollecting(width, height, channels);
        return a;
    }
    // Runs the image through a new applier with the current options, rows in the given
    // layouts; returns the status of creating or of the first failing row. Leaves the
    // reference's results in expectedTransformed_ and expectedSharpened_.
    int32_t Run(const Image& in, const Layouts& layouts, uint32_t space, int32_t outChannels,
                int32_t* mode = nullptr) {
        StartCollecting(in.width, in.height, outChannels);
        HuegridApplier* a = nullptr;
        int32_t status = HgApplierCreate(&options_, &a);
        if (status != 0) return status;
        if (mode) *mode = a->mode;
        for (int y = 0; y < in.height && status == 0; ++y) {
            const auto [planar, order] = layouts[layouts.size() == 1 ? 0 : size_t(y)];
            EncodedRow row(in, y, options_.inPixelSize, planar, order, space);
            ++collected_.rowsIn;
            status = HgApplierRun(a, &row.buffer);
        }
        EXPECT_TRUE(status != 0 || collected_.tags.size() == size_t(in.height));
        // The applier's table copy does not outlive it; keep the derived results.
        const HuegridLut* t = a->table;
        expectedTransformed_ = t ? huegrid_reference::ApplyImage(*t, in) : Convert(in, options_);
        // Spaces 7 and 8 are sharpened channel by channel whatever the options say.
        const bool first = t && a->mode == kHgModeSharpenTransform;
        const int32_t sharpenedSpace = !t ? int32_t(space) : first ? t->inSpace : t->outSpace;
        const int channel =
            sharpenedSpace == 7 || sharpenedSpace == 8 ? -1 : options_.sharpenChannel;
        const int32_t lo = first ? options_.inLo : options_.outLo,
                      hi = first ? options_.inHi : options_.outHi;
        auto sharpen = [&](const Image& im, int32_t size) {
            return huegrid_reference::Sharpen(im, options_.sharpenAmount, channel, size,
                                              std::min(lo, hi), std::max(lo, hi));
        };
        expectedSharpened_ =
            first ? huegrid_reference::ApplyImage(*t, sharpen(in, options_.inPixelSize))
            : a->mode >= kHgModeSharpen ? sharpen(expectedTransformed_, options_.outPixelSize)
                                        : expectedTransformed_;
        HgApplierFree(a);
        return status;
    }

    std::mt19937 rng_{1729};
    std::vector<uint8_t> stream_ = std::vector<uint8_t>(600000);
    HgApplyOptions options_ = {};
    Collected collected_;
    Image expectedTransformed_, expectedSharpened_;
};

TEST_F(ApplierTest, TransformedRowsMatchTheReferenceInEveryLayoutAndOrder) {
    struct Case {
        int in, out, grid, sample, inSize, outSize;
    };
    const Case cases[] = {{3, 3, 1, 2, 2, 2}, {3, 3, 1, 1, 1, 2}, {4, 3, 1, 2, 2, 1},
                          {1, 3, 1, 1, 2, 2}, {3, 3, 0, 1, 2, 1}, {3, 4, 1, 2, 1, 1},
                          {4, 4, 0, 2, 2, 2}, {1, 1, 0, 2, 1, 1}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &k - cases);
        Shape shape;
        shape.inChannels = k.in, shape.outChannels = k.out;
        shape.hasGrid = k.grid, shape.sampleSize = k.sample;
        UseTable(MakeRandomTable(rng_, shape));
        // Every row in another layout: both layouts times every valid order code.
        Layouts layouts;
        for (uint32_t planar = 0; planar <= 1; ++planar)
            for (uint32_t order : ValidOrders(uint32_t(k.in))) layouts.emplace_back(planar, order);
        const int rows = int(layouts.size());
        const Image in = RandomImage(rng_, 11, rows, k.in, k.inSize == 2 ? 65535 : 255);
        Defaults(11, uint32_t(rows), k.inSize, k.outSize);
        // A narrowed input range and a reversed output range on the way.
        options_.inLo = k.inSize == 2 ? 2000 : 10;
        std::swap(options_.outLo, options_.outHi);
        options_.outHi = k.outSize == 2 ? 1000 : 5;
        options_.callbackPlanar = uint32_t(&k - cases) % 2;
        const std::vector<uint32_t> outOrders = ValidOrders(uint32_t(k.out));
        options_.callbackOrder = outOrders[rng_() % outOrders.size()];
        int32_t mode = -1;
        ASSERT_EQ(Run(in, layouts, uint32_t(huegrid_testing::SpaceFor(k.in)), k.out, &mode), 0);
        EXPECT_EQ(mode, kHgModeTransform);
        EXPECT_EQ(collected_.image.data, expectedTransformed_.data);
        // Without sharpening every row goes out as soon as it comes in.
        for (size_t y = 0; y < collected_.handedIn.size(); ++y)
            EXPECT_EQ(collected_.handedIn[y], y + 1);
    }
}

TEST_F(ApplierTest, SharpeningMatchesAPlainFiveByFiveSumInEveryMode) {
    struct Case {
        int mode;  // 2 no transform, 3 transform first, 4 sharpen first
        int inSize, outSize, channel, amount;
    };
    const Case cases[] = {{2, 1, 1, -1, 24}, {2, 2, 2, 1, 7},  {2, 1, 2, 0, 12},  {2, 2, 1, -1, 3},
                          {3, 1, 1, -1, 9},  {3, 2, 2, 2, 24}, {3, 1, 2, 0, 1},   {3, 2, 1, -1, 17},
                          {4, 1, 1, 1, 12},  {4, 2, 2, -1, 5}, {4, 2, 1, -1, 20}, {4, 1, 2, 2, 24}};
    const int width = 12, height = 9;
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &k - cases);
        Shape shape;
        shape.sampleSize = k.outSize;
        if (k.mode == 2) NoTable();
        if (k.mode != 2) UseTable(MakeRandomTable(rng_, shape));
        const Image in = RandomImage(rng_, width, height, 3, k.inSize == 2 ? 65535 : 255);
        Defaults(width, height, k.inSize, k.outSize);
        options_.outLo = k.outSize == 2 ? 3000 : 12;  // the sharpened values clamp to the range
        if (k.mode == 4) options_.inLo = k.inSize == 2 ? 1000 : 4;
        options_.sharpenAmount = k.amount;
        options_.sharpenChannel = k.channel;
        options_.sharpenOrder = k.mode == 4 ? 1 : k.mode == 3 ? 0 : 2;
        options_.callbackPlanar = 0;
        int32_t mode = -1;
        ASSERT_EQ(Run(in, {{1, kHgOrderIdentity3}}, kHgSpaceRgb, 3, &mode), 0);
        EXPECT_EQ(mode, k.mode);
        EXPECT_EQ(collected_.image.data, expectedSharpened_.data);
        // The unsharp mask must have changed something inside, and nothing on the border.
        EXPECT_NE(expectedSharpened_.data, expectedTransformed_.data);
        for (size_t i = 0; i < in.data.size() && k.mode != 4; ++i) {
            const int x = int(i % width), y = int(i / width % height);
            const bool inside = x >= 2 && x < width - 2 && y >= 2 && y < height - 2;
            ASSERT_TRUE(inside || collected_.image.data[i] == expectedTransformed_.data[i])
                << x << "," << y;
        }
        EXPECT_TRUE(std::is_sorted(collected_.tags.begin(), collected_.tags.end()));
    }
}

TEST_F(ApplierTest, SharpenedRowsLagByTwoAndEveryRowComesOutOnce) {
    NoTable();
    for (uint32_t rows : {1u, 4u, 5u, 6u, 11u}) {
        for (int amount : {0, 10}) {
            SCOPED_TRACE(testing::Message() << rows << " rows, amount " << amount);
            const Image in = RandomImage(rng_, 7, int(rows), 3, 255);
            Defaults(7, rows, 1);
            options_.sharpenAmount = amount;
            int32_t mode = -1;
            ASSERT_EQ(Run(in, {{0, kHgOrderIdentity3}}, kHgSpaceRgb, 3, &mode), 0);
            const bool sharpening = amount > 0 && rows > 4;
            EXPECT_EQ(mode, sharpening ? kHgModeSharpen : kHgModeCopy);
            ASSERT_EQ(collected_.tags.size(), size_t(rows));
            for (uint32_t y = 0; y < rows; ++y) {
                EXPECT_EQ(collected_.tags[y], 1000 + y);
                uint32_t expected = y + 1;
                if (sharpening && y >= 2) expected = y + 2 < rows ? y + 3 : rows;
                EXPECT_EQ(collected_.handedIn[y], expected) << "row " << y;
            }
            EXPECT_TRUE(sharpening || collected_.image.data == in.data);
        }
    }
}

TEST_F(ApplierTest, FlatImagesStayFlatWhateverTheAmountAndChannel) {
    NoTable();
    const uint32_t levels[2][5] = {{0, 1, 77, 254, 255}, {0, 1, 40000, 65534, 65535}};
    for (int size = 1; size <= 2; ++size) {
        for (int channel = -1; channel <= 2; ++channel) {
            for (int amount = 1; amount <= 24; ++amount) {
                Image in{7, 6, 3, std::vector<uint32_t>(7 * 6 * 3)};
                for (size_t i = 0; i < in.data.size(); ++i)
                    in.data[i] = levels[size - 1][size_t(int(i / 42) + amount + channel + 1) % 5];
                Defaults(7, 6, size);
                options_.sharpenAmount = amount;
                options_.sharpenChannel = channel;
                ASSERT_EQ(Run(in, {{1, kHgOrderIdentity3}}, kHgSpaceRgb, 3), 0);
                ASSERT_EQ(collected_.image.data, in.data)
                    << "size " << size << " channel " << channel << " amount " << amount;
            }
        }
    }
}

TEST_F(ApplierTest, SpaceSevenAndColourFromGreySharpenBeforeTheTransform) {
    // sharpenOrder 2: three-channel spaces 7 and 8 and grey-to-colour tables are sharpened on
    // their input (in space 7 every channel on its own, whatever sharpenChannel says: the
    // expectation in Run follows that rule, so a shared change would show as a difference).
    for (auto [channels, space, expectedMode] : {std::tuple{3, 7, 4}, {1, 5, 4}, {3, 1, 3}}) {
        Shape shape;
        shape.inChannels = channels, shape.inSpace = space;
        UseTable(MakeRandomTable(rng_, shape));
        const Image in = RandomImage(rng_, 8, 6, channels, 255);
        Defaults(8, 6, 1);
        options_.sharpenAmount = 15;
        options_.sharpenChannel = 0;
        int32_t mode = -1;
        ASSERT_EQ(Run(in, {{1, kHgOrderIdentity3}}, uint32_t(space), 3, &mode), 0);
        EXPECT_EQ(mode, expectedMode);
        EXPECT_EQ(collected_.image.data, expectedSharpened_.data);
    }
}

TEST_F(ApplierTest, CodesChangeSizeWithoutATransform) {
    NoTable();
    Image in{256, 1, 1, {}};
    for (uint32_t x = 0; x < 256; ++x) in.data.push_back(x);
    Defaults(256, 1, 1, 2);
    ASSERT_EQ(Run(in, {{1, 0}}, kHgSpaceGrey, 1), 0);
    for (uint32_t x = 0; x < 256; ++x) ASSERT_EQ(collected_.image.data[x], x * 257);
    // A video-range input: 16 and below become black, 235 and above white.
    options_.inLo = 16;
    options_.inHi = 235;
    ASSERT_EQ(Run(in, {{1, 0}}, kHgSpaceGrey, 1), 0);
    const std::vector<uint32_t>& out = collected_.image.data;
    EXPECT_TRUE(out[0] == 0 && out[16] == 0 && out[235] == 65535 && out[255] == 65535);
    EXPECT_EQ(out, Convert(in, options_).data);
}

TEST_F(ApplierTest, BadRowsAreRefusedAndNothingIsWritten) {
    UseTable(MakeIdentityGrid(rng_, 1, 3));
    Defaults(6, 6, 1);
    options_.sharpenAmount = 5;
    HuegridApplier* a = Create(6, 6, 3);
    ASSERT_NE(a, nullptr);
    const Image in = RandomImage(rng_, 6, 6, 3, 255);
    using Spoil = void (*)(HgPixelBuffer*);
    const Spoil bad[] = {
        [](HgPixelBuffer* b) { b->width = 5; },
        [](HgPixelBuffer* b) { b->channels = 4; },
        [](HgPixelBuffer* b) { b->channels = 2; },
        [](HgPixelBuffer* b) { b->space = kHgSpace7; },
        [](HgPixelBuffer* b) { b->order = 0x14; },  // slots 0, 1, 1
        [](HgPixelBuffer* b) { b->order = 0x34; },  // slots 0, 1, 3: beyond the channels
        [](HgPixelBuffer* b) { b->data8 = nullptr; },
    };
    for (int y = 0; y < 6; ++y) {
        for (size_t i = 0; i < std::size(bad); ++i) {
            EncodedRow row(in, y, 1, 1, kHgOrderIdentity3, kHgSpaceRgb);
            bad[i](&row.buffer);
            EXPECT_EQ(HgApplierRun(a, &row.buffer), -1) << "case " << i;
        }
        EXPECT_EQ(HgApplierRun(a, nullptr), -1);
        EXPECT_EQ(collected_.tags.size(), y < 2 ? size_t(y) : y < 5 ? 2u : size_t(y - 2)) << y;
        EncodedRow row(in, y, 1, 1, kHgOrderIdentity3, kHgSpaceRgb);
        ++collected_.rowsIn;
        ASSERT_EQ(HgApplierRun(a, &row.buffer), 0);
    }
    EXPECT_EQ(collected_.tags.size(), 6u);
    EncodedRow extra(in, 0, 1, 1, kHgOrderIdentity3, kHgSpaceRgb);
    EXPECT_EQ(HgApplierRun(a, &extra.buffer), -1);
    EXPECT_EQ(collected_.tags.size(), 6u);
    EXPECT_EQ(HgApplierRun(nullptr, &extra.buffer), -1);
    HgApplierFree(a);
    EXPECT_EQ(HgApplierFree(nullptr), 0);
}

TEST_F(ApplierTest, ACallbackFailureStopsTheRunAndComesBack) {
    for (int amount : {0, 8}) {
        UseTable(MakeIdentityGrid(rng_, 1, 3));
        Defaults(6, 8, 1);
        options_.sharpenAmount = amount;
        HuegridApplier* a = Create(6, 8, 3);
        ASSERT_NE(a, nullptr);
        collected_.failAt = 3;
        const Image in = RandomImage(rng_, 6, 8, 3, 255);
        int32_t status = 0;
        int y = 0;
        for (; y < 8 && status == 0; ++y) {
            EncodedRow row(in, y, 1, 1, kHgOrderIdentity3, kHgSpaceRgb);
            status = HgApplierRun(a, &row.buffer);
        }
        EXPECT_EQ(status, -6);
        EXPECT_EQ(y, amount ? 6 : 4) << "the row whose delivery failed";
        EncodedRow row(in, y, 1, 1, kHgOrderIdentity3, kHgSpaceRgb);
        EXPECT_EQ(HgApplierRun(a, &row.buffer), -6);
        EXPECT_EQ(collected_.tags.size(), 3u);
        HgApplierFree(a);
    }
}

// Links that loop and permission bits are POSIX's: the Windows build has neither.
#if !defined(_WIN32)
TEST_F(ApplierTest, AStreamFileThatIsThereButCannotBeOpenedIsAnError) {
    // Only a stream that names nothing means "no transform". A file that is there but cannot be
    // opened must fail the run, not leave the image unchanged with success reported: a link
    // that loops on itself (which not even the superuser can open), and, for other users, a
    // file without read permission.
    Defaults(10, 10, 1);
    const std::string loop = root_ + "/looping-stream";
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    FLSpecDisk(&options_.stream, loop.c_str());
    HuegridApplier* a = nullptr;
    EXPECT_EQ(HgApplierCreate(&options_, &a), -4);
    EXPECT_EQ(a, nullptr);
    if (geteuid() != 0) {
        const std::string locked = root_ + "/locked-stream";
        std::FILE* f = std::fopen(locked.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        ASSERT_EQ(chmod(locked.c_str(), 0), 0);
        FLSpecDisk(&options_.stream, locked.c_str());
        EXPECT_EQ(HgApplierCreate(&options_, &a), -4);
        EXPECT_EQ(a, nullptr);
    }
}
#endif

TEST_F(ApplierTest, CreateRefusesBadOptions) {
    UseTable(MakeRandomTable(rng_, Shape()));
    using Spoil = void (*)(HgApplyOptions*);
    const Spoil bad[] = {
        [](HgApplyOptions* o) { o->sharpenAmount = 25; },
        [](HgApplyOptions* o) { o->sharpenAmount = -1; },
        [](HgApplyOptions* o) { o->sharpenChannel = 4; },
        [](HgApplyOptions* o) { o->sharpenAmount = 3, o->sharpenChannel = 3; },  // beyond RGB
        [](HgApplyOptions* o) { o->sharpenOrder = 3; },
        [](HgApplyOptions* o) { o->width = 0; },
        [](HgApplyOptions* o) { o->rows = 0; },
        [](HgApplyOptions* o) { o->callbackPlanar = 2; },
        [](HgApplyOptions* o) { o->callbackOrder = 0; },
        [](HgApplyOptions* o) { o->callback = nullptr; },
        [](HgApplyOptions* o) { o->outPixelSize = 3; },
        [](HgApplyOptions* o) { o->inHi = o->inLo; },    // empty input range
        [](HgApplyOptions* o) { o->outLo = o->outHi; },  // empty output range
        [](HgApplyOptions* o) { o->outHi = 256; },       // beyond 8 bits
        [](HgApplyOptions* o) { o->inLo = -1; },
    };
    HuegridApplier* a = nullptr;
    for (size_t i = 0; i < std::size(bad); ++i) {
        Defaults(10, 10, 1);
        bad[i](&options_);
        a = reinterpret_cast<HuegridApplier*>(this);
        EXPECT_EQ(HgApplierCreate(&options_, &a), -1) << "case " << i;
        EXPECT_EQ(a, nullptr) << "case " << i;
    }
    Defaults(10, 10, 1);
    EXPECT_EQ(HgApplierCreate(nullptr, &a), -1);
    EXPECT_EQ(HgApplierCreate(&options_, nullptr), -1);
    // A stream that is not a Huegrid is an error, not "no transform".
    std::fill(stream_.begin(), stream_.end(), 0x55);
    EXPECT_EQ(HgApplierCreate(&options_, &a), -8);
    EXPECT_EQ(a, nullptr);
    // Without a transform, empty ranges are fine.
    NoTable();
    options_.inHi = options_.inLo;
    ASSERT_EQ(HgApplierCreate(&options_, &a), 0);
    EXPECT_TRUE(a->mode == kHgModeCopy && a->table == nullptr);
    HgApplierFree(a);
}

}  // namespace
