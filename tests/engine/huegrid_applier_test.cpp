// The row applier: layouts and order codes, transformed rows against the reference, the
// unsharp mask in each mode against a plain 5x5 sum, row order and lag, refusals, callback
// failures.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/huegrid_applier.h"
#include "tests/engine/huegrid_reference.h"
#include "tests/engine/huegrid_test_support.h"

namespace {

using huegrid_reference::Image;
using huegrid_testing::EngineTest;
using huegrid_testing::MakeIdentityGrid;
using huegrid_testing::MakeRandomTable;
using huegrid_testing::Shape;

uint32_t Slot(uint32_t order, uint32_t channels, uint32_t c) {
    return channels == 1 ? 0 : (order >> (2 * c)) & 3;
}

// Every order code that places the channels in distinct slots.
std::vector<uint32_t> ValidOrders(uint32_t channels) {
    std::vector<uint32_t> orders;
    if (channels == 1) return {0, 1, 2, 3, 255};
    std::vector<uint32_t> slots(channels);
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
};

EncodedRow Encode(const Image& image, int y, int size, uint32_t planar, uint32_t order,
                  uint32_t space) {
    EncodedRow row;
    const uint32_t w = uint32_t(image.width), n = uint32_t(image.channels);
    row.d8.assign(size_t(w) * n, 0);
    row.d16.assign(size_t(w) * n, 0);
    for (uint32_t c = 0; c < n; ++c) {
        const uint32_t slot = Slot(order, n, c);
        for (uint32_t x = 0; x < w; ++x) {
            const size_t at = planar ? size_t(slot) * w + x : size_t(x) * n + slot;
            row.d8[at] = uint8_t(image.at(int(c), int(x), y));
            row.d16[at] = uint16_t(image.at(int(c), int(x), y));
        }
    }
    row.buffer = {w, n, space, planar, order, nullptr, nullptr, uint64_t(1000 + y)};
    if (size == 1) {
        row.buffer.data8 = row.d8.data();
    } else {
        row.buffer.data16 = row.d16.data();
    }
    return row;
}

// What the callback saw.
struct Collected {
    Image image;  // decoded rows, in the order they came
    std::vector<uint64_t> tags;
    std::vector<uint32_t> handedIn;  // rows handed in when each row came out
    uint32_t rowsIn = 0;
    int failAt = -1;  // delivery that fails, with status
    int32_t failStatus = 0;
    std::string problem;
};

int32_t Collect(const HgPixelBuffer* row, void* context) {
    auto* c = static_cast<Collected*>(context);
    const int y = int(c->tags.size());
    if (c->failAt == y) return c->failStatus;
    c->tags.push_back(row->tag);
    c->handedIn.push_back(c->rowsIn);
    Image& im = c->image;
    if (int(row->width) != im.width || int(row->channels) != im.channels || y >= im.height) {
        c->problem = "row record does not fit the image";
        return 0;
    }
    for (uint32_t ch = 0; ch < row->channels; ++ch) {
        const uint32_t slot = Slot(row->order, row->channels, ch);
        for (uint32_t x = 0; x < row->width; ++x) {
            const size_t at =
                row->planar ? size_t(slot) * row->width + x : size_t(x) * row->channels + slot;
            im.at(int(ch), int(x), y) = row->data8 ? row->data8[at] : row->data16[at];
        }
    }
    return 0;
}

Image RandomImage(std::mt19937& rng, int width, int height, int channels, uint32_t maxCode) {
    // A smooth ramp with a little noise, so that the unsharp mask has something to do.
    Image im;
    im.width = width;
    im.height = height;
    im.channels = channels;
    im.data.resize(size_t(width) * height * channels);
    std::uniform_real_distribution<double> noise(-0.08, 0.08);
    for (int c = 0; c < channels; ++c) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                double v =
                    0.5 + 0.35 * std::sin(0.7 * x + 1.3 * c) * std::cos(0.5 * y) + noise(rng);
                im.at(c, x, y) = uint32_t(std::clamp(v, 0.0, 1.0) * maxCode + 0.5);
            }
        }
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

class ApplierTest : public EngineTest {
   protected:
    void SetUp() override {
        EngineTest::SetUp();
        stream_.assign(600000, 0);
    }
    // Writes the table into the stream buffer; the caller keeps the table.
    void UseTable(const HuegridLut* t) {
        FLSpecMemory(&options_.stream, stream_.data(), int32_t(stream_.size()));
        ASSERT_EQ(HgWriteStream(t, &options_.stream), 0);
    }
    void NoTable() { FLSpecDisk(&options_.stream, (root_ + "/no-such-stream").c_str()); }
    void Defaults(uint32_t width, uint32_t rows, int size) {
        options_.inLo = options_.outLo = 0;
        options_.inHi = options_.outHi = size == 2 ? 65535 : 255;
        options_.sharpenAmount = 0;
        options_.sharpenChannel = -1;
        options_.sharpenOrder = 2;
        options_.width = width;
        options_.rows = rows;
        options_.inPixelSize = options_.outPixelSize = size;
        options_.callback = Collect;
        options_.callbackPlanar = 1;
        options_.callbackOrder = kHgOrderIdentity3;
        options_.callbackContext = &collected_;
    }
    // Runs the image through a new applier with the current options, rows in the given
    // layout; returns the applier's status for creating or for the first failing row.
    int32_t Run(const Image& in, uint32_t planar, uint32_t order, uint32_t space,
                int32_t outChannels, int32_t* mode = nullptr) {
        return RunLayouts(
            in, std::vector<std::pair<uint32_t, uint32_t>>(size_t(in.height), {planar, order}),
            space, outChannels, mode);
    }
    // The same with a layout (planar flag, order code) per row.
    int32_t RunLayouts(const Image& in, const std::vector<std::pair<uint32_t, uint32_t>>& layouts,
                       uint32_t space, int32_t outChannels, int32_t* mode = nullptr) {
        collected_ = Collected();
        collected_.image.width = in.width;
        collected_.image.height = in.height;
        collected_.image.channels = outChannels;
        collected_.image.data.assign(size_t(in.width) * in.height * outChannels, 0);
        HuegridApplier* a = nullptr;
        int32_t status = HgApplierCreate(&options_, &a);
        if (status != 0) return status;
        if (mode) *mode = a->mode;
        for (int y = 0; y < in.height && status == 0; ++y) {
            EncodedRow row = Encode(in, y, options_.inPixelSize, layouts[size_t(y)].first,
                                    layouts[size_t(y)].second, space);
            ++collected_.rowsIn;
            status = HgApplierRun(a, &row.buffer);
        }
        if (status == 0) {
            // Expected table copies must not outlive the applier; keep the derived results.
            EXPECT_EQ(collected_.problem, "");
            EXPECT_EQ(collected_.tags.size(), size_t(in.height));
        }
        expectedTransformed_ =
            a->table ? huegrid_reference::ApplyImage(*a->table, in) : Convert(in, options_);
        // Spaces 7 and 8 are sharpened channel by channel whatever the options say.
        const int32_t sharpenedSpace = a->table == nullptr                  ? int32_t(space)
                                       : a->mode == kHgModeSharpenTransform ? a->table->inSpace
                                                                            : a->table->outSpace;
        const int channel =
            sharpenedSpace == 7 || sharpenedSpace == 8 ? -1 : options_.sharpenChannel;
        if (a->table && a->mode == kHgModeSharpenTransform) {
            const int64_t lo = std::min(options_.inLo, options_.inHi),
                          hi = std::max(options_.inLo, options_.inHi);
            Image sharpened = huegrid_reference::Sharpen(in, options_.sharpenAmount, channel,
                                                         options_.inPixelSize, lo, hi);
            expectedSharpened_ = huegrid_reference::ApplyImage(*a->table, sharpened);
        } else if (a->mode >= kHgModeSharpen) {
            const int64_t lo = std::min(options_.outLo, options_.outHi),
                          hi = std::max(options_.outLo, options_.outHi);
            expectedSharpened_ =
                huegrid_reference::Sharpen(expectedTransformed_, options_.sharpenAmount, channel,
                                           options_.outPixelSize, lo, hi);
        } else {
            expectedSharpened_ = expectedTransformed_;
        }
        HgApplierFree(a);
        return status;
    }

    std::mt19937 rng_{1729};
    std::vector<uint8_t> stream_;
    HgApplyOptions options_ = {};
    Collected collected_;
    Image expectedTransformed_, expectedSharpened_;
};

TEST_F(ApplierTest, IdentityTablesKeepEveryPixelInEveryLayoutAndOrder) {
    // 8-bit RGB through an identity grid; 16-bit CMYK and 16-bit grey through identity curves.
    struct Case {
        int channels, size;
    };
    for (Case k : {Case{3, 1}, Case{4, 2}, Case{1, 2}}) {
        HuegridLut* t = nullptr;
        if (k.channels == 3) {
            t = MakeIdentityGrid(rng_, 1, 6);
        } else {
            const int32_t space = huegrid_testing::SpaceFor(k.channels);
            ASSERT_EQ(HgCreateLut(&t, k.channels, k.channels, space, space, 0, 2, 2), 0);
            for (int c = 0; c < k.channels; ++c) ASSERT_EQ(HgSetNodes(t, c, 0, nullptr), 0);
            for (uint32_t i = 0; i < 65536; ++i) {
                const uint16_t v[4] = {uint16_t(i), uint16_t(i), uint16_t(i), uint16_t(i)};
                ASSERT_EQ(HgSetEntry(t, i, v), 0);
            }
            ASSERT_EQ(HgSetPixelSize(t, kHgSideOutput, 2), 0);
        }
        ASSERT_NE(t, nullptr);
        UseTable(t);
        HgFreeLut(t);
        // Every row in another layout: both layouts times every valid order code.
        const uint32_t maxCode = k.size == 2 ? 65535 : 255;
        const std::vector<uint32_t> orders = ValidOrders(uint32_t(k.channels));
        std::vector<std::pair<uint32_t, uint32_t>> layouts;
        for (uint32_t planar = 0; planar <= 1; ++planar) {
            for (uint32_t order : orders) layouts.emplace_back(planar, order);
        }
        const Image in = RandomImage(rng_, 9, int(layouts.size()), k.channels, maxCode);
        for (uint32_t planar = 0; planar <= 1; ++planar) {
            SCOPED_TRACE(testing::Message()
                         << k.channels << " channels, callback rows planar " << planar);
            Defaults(9, uint32_t(layouts.size()), k.size);
            options_.callbackPlanar = planar;
            options_.callbackOrder = orders[rng_() % orders.size()];
            ASSERT_EQ(RunLayouts(in, layouts, uint32_t(huegrid_testing::SpaceFor(k.channels)),
                                 k.channels),
                      0);
            EXPECT_EQ(collected_.image.data, in.data);
        }
    }
}

TEST_F(ApplierTest, TransformedRowsMatchTheReference) {
    struct Case {
        int in, out, grid, sample, inSize, outSize;
    };
    const Case cases[] = {{3, 3, 1, 2, 2, 2}, {3, 3, 1, 1, 1, 2}, {4, 3, 1, 2, 2, 1},
                          {1, 3, 1, 1, 2, 2}, {3, 3, 0, 1, 2, 1}, {3, 4, 1, 2, 1, 1}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << k.in << "->" << k.out << " grid " << k.grid << " samples " << k.sample
                     << " pixels " << k.inSize << "->" << k.outSize);
        Shape shape;
        shape.inChannels = k.in;
        shape.outChannels = k.out;
        shape.hasGrid = k.grid;
        shape.sampleSize = k.sample;
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        UseTable(t);
        HgFreeLut(t);
        const Image in = RandomImage(rng_, 11, 3, k.in, k.inSize == 2 ? 65535 : 255);
        Defaults(11, 3, k.inSize);
        options_.outPixelSize = k.outSize;
        options_.outHi = k.outSize == 2 ? 65535 : 255;
        // A narrowed input range and a reversed output range on the way.
        options_.inLo = k.inSize == 2 ? 2000 : 10;
        options_.outLo = options_.outHi;
        options_.outHi = k.outSize == 2 ? 1000 : 5;
        options_.callbackPlanar = 0;
        const std::vector<uint32_t> outOrders = ValidOrders(uint32_t(k.out));
        options_.callbackOrder = outOrders[rng_() % outOrders.size()];
        const std::vector<uint32_t> inOrders = ValidOrders(uint32_t(k.in));
        int32_t mode = -1;
        ASSERT_EQ(Run(in, 1, inOrders[rng_() % inOrders.size()],
                      uint32_t(huegrid_testing::SpaceFor(k.in)), k.out, &mode),
                  0);
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
        int inSize, outSize;
        int channel;
        int amount;
    };
    const Case cases[] = {{2, 1, 1, -1, 24}, {2, 2, 2, 1, 7},  {2, 1, 2, 0, 12},  {2, 2, 1, -1, 3},
                          {3, 1, 1, -1, 9},  {3, 2, 2, 2, 24}, {3, 1, 2, 0, 1},   {3, 2, 1, -1, 17},
                          {4, 1, 1, 1, 12},  {4, 2, 2, -1, 5}, {4, 2, 1, -1, 20}, {4, 1, 2, 2, 24}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << k.mode << " pixels " << k.inSize << "->" << k.outSize
                     << " channel " << k.channel << " amount " << k.amount);
        if (k.mode == 2) {
            NoTable();
        } else {
            Shape shape;
            shape.sampleSize = k.outSize;
            HuegridLut* t = MakeRandomTable(rng_, shape);
            ASSERT_NE(t, nullptr);
            UseTable(t);
            HgFreeLut(t);
        }
        const int width = 12, height = 9;
        const Image in = RandomImage(rng_, width, height, 3, k.inSize == 2 ? 65535 : 255);
        Defaults(width, height, k.inSize);
        options_.outPixelSize = k.outSize;
        options_.outHi = k.outSize == 2 ? 65535 : 255;
        options_.outLo = k.outSize == 2 ? 3000 : 12;  // the sharpened values clamp to the range
        if (k.mode == 4) options_.inLo = k.inSize == 2 ? 1000 : 4;
        options_.sharpenAmount = k.amount;
        options_.sharpenChannel = k.channel;
        options_.sharpenOrder = k.mode == 4 ? 1 : k.mode == 3 ? 0 : 2;
        options_.callbackPlanar = 0;
        int32_t mode = -1;
        ASSERT_EQ(Run(in, 1, kHgOrderIdentity3, kHgSpaceRgb, 3, &mode), 0);
        EXPECT_EQ(mode, k.mode);
        EXPECT_EQ(collected_.image.data, expectedSharpened_.data);
        // The unsharp mask must have changed something inside, and nothing on the border.
        EXPECT_NE(expectedSharpened_.data, expectedTransformed_.data);
        if (k.mode != 4) {
            for (int c = 0; c < 3; ++c) {
                for (int y = 0; y < height; ++y) {
                    for (int x = 0; x < width; ++x) {
                        if (x >= 2 && x < width - 2 && y >= 2 && y < height - 2) continue;
                        ASSERT_EQ(collected_.image.at(c, x, y), expectedTransformed_.at(c, x, y))
                            << x << "," << y;
                    }
                }
            }
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
            ASSERT_EQ(Run(in, 0, kHgOrderIdentity3, kHgSpaceRgb, 3, &mode), 0);
            const bool sharpening = amount > 0 && rows > 4;
            EXPECT_EQ(mode, sharpening ? kHgModeSharpen : kHgModeCopy);
            ASSERT_EQ(collected_.tags.size(), size_t(rows));
            for (uint32_t y = 0; y < rows; ++y) {
                EXPECT_EQ(collected_.tags[y], 1000 + y);
                uint32_t expected = y + 1;
                if (sharpening && y >= 2) expected = y + 2 < rows ? y + 3 : rows;
                EXPECT_EQ(collected_.handedIn[y], expected) << "row " << y;
            }
            if (!sharpening) {
                EXPECT_EQ(collected_.image.data, in.data);
            }
        }
    }
}

TEST_F(ApplierTest, FlatImagesStayFlatWhateverTheAmountAndChannel) {
    NoTable();
    for (int size = 1; size <= 2; ++size) {
        const std::vector<uint32_t> levels = size == 1
                                                 ? std::vector<uint32_t>{0, 1, 77, 254, 255}
                                                 : std::vector<uint32_t>{0, 1, 40000, 65534, 65535};
        for (int channel = -1; channel <= 2; ++channel) {
            for (int amount = 1; amount <= 24; ++amount) {
                Image in;
                in.width = 7;
                in.height = 6;
                in.channels = 3;
                in.data.resize(7 * 6 * 3);
                for (int c = 0; c < 3; ++c) {
                    const uint32_t v = levels[size_t(c + amount + channel + 1) % levels.size()];
                    for (int i = 0; i < 42; ++i) in.data[size_t(c) * 42 + size_t(i)] = v;
                }
                Defaults(7, 6, size);
                options_.sharpenAmount = amount;
                options_.sharpenChannel = channel;
                ASSERT_EQ(Run(in, 1, kHgOrderIdentity3, kHgSpaceRgb, 3), 0);
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
    struct Case {
        int in, inSpace, expectedMode;
    };
    for (Case k : {Case{3, 7, 4}, Case{1, 5, 4}, Case{3, 1, 3}}) {
        Shape shape;
        shape.inChannels = k.in;
        shape.inSpace = k.inSpace;
        HuegridLut* t = MakeRandomTable(rng_, shape);
        ASSERT_NE(t, nullptr);
        UseTable(t);
        HgFreeLut(t);
        const Image in = RandomImage(rng_, 8, 6, k.in, 255);
        Defaults(8, 6, 1);
        options_.sharpenAmount = 15;
        options_.sharpenChannel = 0;
        int32_t mode = -1;
        ASSERT_EQ(Run(in, 1, kHgOrderIdentity3, uint32_t(k.inSpace), 3, &mode), 0);
        EXPECT_EQ(mode, k.expectedMode);
        EXPECT_EQ(collected_.image.data, expectedSharpened_.data);
    }
}

TEST_F(ApplierTest, CodesChangeSizeWithoutATransform) {
    NoTable();
    Image in;
    in.width = 256;
    in.height = 1;
    in.channels = 1;
    for (uint32_t x = 0; x < 256; ++x) in.data.push_back(x);
    Defaults(256, 1, 1);
    options_.outPixelSize = 2;
    options_.outHi = 65535;
    ASSERT_EQ(Run(in, 1, 0, kHgSpaceGrey, 1), 0);
    for (uint32_t x = 0; x < 256; ++x) ASSERT_EQ(collected_.image.data[x], x * 257);
    // A video-range input: 16 and below become black, 235 and above white.
    options_.inLo = 16;
    options_.inHi = 235;
    ASSERT_EQ(Run(in, 1, 0, kHgSpaceGrey, 1), 0);
    EXPECT_EQ(collected_.image.data[0], 0u);
    EXPECT_EQ(collected_.image.data[16], 0u);
    EXPECT_EQ(collected_.image.data[235], 65535u);
    EXPECT_EQ(collected_.image.data[255], 65535u);
    EXPECT_EQ(collected_.image.data, Convert(in, options_).data);
}

TEST_F(ApplierTest, BadRowsAreRefusedAndNothingIsWritten) {
    HuegridLut* t = MakeIdentityGrid(rng_, 1, 3);
    ASSERT_NE(t, nullptr);
    UseTable(t);
    HgFreeLut(t);
    Defaults(6, 6, 1);
    options_.sharpenAmount = 5;
    HuegridApplier* a = nullptr;
    ASSERT_EQ(HgApplierCreate(&options_, &a), 0);
    collected_ = Collected();
    collected_.image.width = 6;
    collected_.image.height = 6;
    collected_.image.channels = 3;
    collected_.image.data.assign(6 * 6 * 3, 0);
    const Image in = RandomImage(rng_, 6, 6, 3, 255);
    auto good = [&](int y) { return Encode(in, y, 1, 1, kHgOrderIdentity3, kHgSpaceRgb); };

    struct Bad {
        const char* what;
        void (*spoil)(HgPixelBuffer*);
    };
    const Bad bad[] = {
        {"width", [](HgPixelBuffer* b) { b->width = 5; }},
        {"channels", [](HgPixelBuffer* b) { b->channels = 4; }},
        {"two channels", [](HgPixelBuffer* b) { b->channels = 2; }},
        {"space", [](HgPixelBuffer* b) { b->space = kHgSpace7; }},
        {"repeated slot", [](HgPixelBuffer* b) { b->order = 0x14; }},             // slots 0, 1, 1
        {"slot beyond the channels", [](HgPixelBuffer* b) { b->order = 0x34; }},  // slots 0, 1, 3
        {"no 8-bit data", [](HgPixelBuffer* b) { b->data8 = nullptr; }},
    };
    for (int y = 0; y < 6; ++y) {
        for (const Bad& b : bad) {
            EncodedRow row = good(y);
            b.spoil(&row.buffer);
            EXPECT_EQ(HgApplierRun(a, &row.buffer), -1) << b.what;
        }
        EXPECT_EQ(HgApplierRun(a, nullptr), -1);
        EXPECT_EQ(collected_.tags.size(), y < 2   ? size_t(y)
                                          : y < 5 ? 2u
                                                  : size_t(y - 2))
            << "row " << y;
        EncodedRow row = good(y);
        ++collected_.rowsIn;
        ASSERT_EQ(HgApplierRun(a, &row.buffer), 0);
    }
    EXPECT_EQ(collected_.tags.size(), 6u);
    EncodedRow extra = good(0);
    EXPECT_EQ(HgApplierRun(a, &extra.buffer), -1);
    EXPECT_EQ(collected_.tags.size(), 6u);
    EXPECT_EQ(HgApplierRun(nullptr, &extra.buffer), -1);
    HgApplierFree(a);
    EXPECT_EQ(HgApplierFree(nullptr), 0);
}

TEST_F(ApplierTest, ACallbackFailureStopsTheRunAndComesBack) {
    for (int amount : {0, 8}) {
        HuegridLut* t = MakeIdentityGrid(rng_, 1, 3);
        ASSERT_NE(t, nullptr);
        UseTable(t);
        HgFreeLut(t);
        Defaults(6, 8, 1);
        options_.sharpenAmount = amount;
        HuegridApplier* a = nullptr;
        ASSERT_EQ(HgApplierCreate(&options_, &a), 0);
        collected_ = Collected();
        collected_.image.width = 6;
        collected_.image.height = 8;
        collected_.image.channels = 3;
        collected_.image.data.assign(6 * 8 * 3, 0);
        collected_.failAt = 3;
        collected_.failStatus = -6;
        const Image in = RandomImage(rng_, 6, 8, 3, 255);
        int32_t status = 0;
        int y = 0;
        for (; y < 8 && status == 0; ++y) {
            EncodedRow row = Encode(in, y, 1, 1, kHgOrderIdentity3, kHgSpaceRgb);
            status = HgApplierRun(a, &row.buffer);
        }
        EXPECT_EQ(status, -6);
        EXPECT_EQ(y, amount ? 6 : 4) << "the row whose delivery failed";
        EncodedRow row = Encode(in, y, 1, 1, kHgOrderIdentity3, kHgSpaceRgb);
        EXPECT_EQ(HgApplierRun(a, &row.buffer), -6);
        EXPECT_EQ(collected_.tags.size(), 3u);
        HgApplierFree(a);
    }
}

TEST_F(ApplierTest, CreateRefusesBadOptions) {
    Shape shape;
    HuegridLut* t = MakeRandomTable(rng_, shape);
    ASSERT_NE(t, nullptr);
    UseTable(t);
    HgFreeLut(t);
    struct Bad {
        const char* what;
        void (*spoil)(HgApplyOptions*);
    };
    const Bad bad[] = {
        {"amount", [](HgApplyOptions* o) { o->sharpenAmount = 25; }},
        {"negative amount", [](HgApplyOptions* o) { o->sharpenAmount = -1; }},
        {"channel", [](HgApplyOptions* o) { o->sharpenChannel = 4; }},
        {"channel beyond RGB",
         [](HgApplyOptions* o) { o->sharpenAmount = 3, o->sharpenChannel = 3; }},
        {"order", [](HgApplyOptions* o) { o->sharpenOrder = 3; }},
        {"width", [](HgApplyOptions* o) { o->width = 0; }},
        {"rows", [](HgApplyOptions* o) { o->rows = 0; }},
        {"planar flag", [](HgApplyOptions* o) { o->callbackPlanar = 2; }},
        {"callback order", [](HgApplyOptions* o) { o->callbackOrder = 0; }},
        {"no callback", [](HgApplyOptions* o) { o->callback = nullptr; }},
        {"pixel size", [](HgApplyOptions* o) { o->outPixelSize = 3; }},
        {"empty input range", [](HgApplyOptions* o) { o->inHi = o->inLo; }},
        {"empty output range", [](HgApplyOptions* o) { o->outLo = o->outHi; }},
        {"range beyond 8 bits", [](HgApplyOptions* o) { o->outHi = 256; }},
        {"negative range", [](HgApplyOptions* o) { o->inLo = -1; }},
    };
    for (const Bad& b : bad) {
        Defaults(10, 10, 1);
        b.spoil(&options_);
        HuegridApplier* a = reinterpret_cast<HuegridApplier*>(this);
        EXPECT_EQ(HgApplierCreate(&options_, &a), -1) << b.what;
        EXPECT_EQ(a, nullptr) << b.what;
    }
    Defaults(10, 10, 1);
    HuegridApplier* a = nullptr;
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
    EXPECT_EQ(a->mode, kHgModeCopy);
    EXPECT_EQ(a->table, nullptr);
    HgApplierFree(a);
}

}  // namespace
