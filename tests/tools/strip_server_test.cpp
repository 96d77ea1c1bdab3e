// The strip server behind advanceState: sampling, padding, planes, the mask, output handed back
// and written back, refusals, and the two rectangle forms.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tools/hostlib/strip_server.h"

namespace {

HostPixels MakePixels(int32_t w, int32_t h, int32_t planes, int32_t depth, uint32_t seed) {
    HostPixels p;
    p.width = w;
    p.height = h;
    p.planes = planes;
    p.depth = depth;
    std::mt19937 random(seed);
    p.samples.resize(size_t(w) * h * planes);
    for (uint16_t& v : p.samples) v = uint16_t(random() % (depth == 16 ? 32769 : 256));
    return p;
}

class StripServerTest : public ::testing::Test {
   protected:
    void Init(int32_t w, int32_t h, int32_t planes, int32_t depth, VRect filter,
              bool withMask = false) {
        source_ = MakePixels(w, h, planes, depth, 7);
        destination_ = source_;
        mask_.clear();
        if (withMask) {
            for (int32_t i = 0; i < w * h; ++i) mask_.push_back(uint8_t((i * 37) % 256));
        }
        server_ = std::make_unique<StripServer>(&source_, &destination_, &mask_, filter);
        record_ = FilterRecord{};
        big_ = BigDocumentStruct{};
        big_.PluginUsing32BitCoordinates = 1;
        record_.bigDocumentData = &big_;
        record_.planes = int16(planes);
        record_.inHiPlane = record_.outHiPlane = int16(planes - 1);
        record_.inputRate = record_.maskRate = 0x10000;
        record_.inputPadding = record_.outputPadding = record_.maskPadding = 255;
        WriteRect(&record_, RectField::kFilter, filter);
    }
    OSErr Request(VRect in, VRect out, VRect mask = {0, 0, 0, 0}) {
        big_.inRect32 = in;
        big_.outRect32 = out;
        big_.maskRect32 = mask;
        return server_->Advance(&record_);
    }
    uint32_t In(int64_t row, int64_t index) const {
        const auto* p = static_cast<const uint8_t*>(record_.inData) + row * record_.inRowBytes;
        if (source_.depth == 8) return p[index];
        uint16_t v;
        std::memcpy(&v, p + 2 * index, 2);
        return v;
    }
    uint8_t* Out(int64_t row) {
        return static_cast<uint8_t*>(record_.outData) + row * record_.outRowBytes;
    }

    HostPixels source_, destination_;
    std::vector<uint8_t> mask_;
    std::unique_ptr<StripServer> server_;
    FilterRecord record_{};
    BigDocumentStruct big_{};
};

TEST_F(StripServerTest, SampledInputIsTheRoundedMeanOfEachBlockCutAtTheEdges) {
    for (int32_t depth : {8, 16}) {
        for (int32_t rate : {1, 2, 3, 5}) {
            Init(11, 8, 4, depth, VRect{0, 0, 8, 11});
            record_.inputRate = rate << 16;
            record_.inLoPlane = 1;  // planes 1..3 only
            record_.inHiPlane = 3;
            const int32_t sh = (8 + rate - 1) / rate, sw = (11 + rate - 1) / rate;
            ASSERT_EQ(Request(VRect{0, 0, sh, sw}, VRect{0, 0, 0, 0}), noErr);
            ASSERT_EQ(record_.inRowBytes, sw * 3 * (depth / 8));
            EXPECT_EQ(record_.outData, nullptr);
            for (int32_t sy = 0; sy < sh; ++sy) {
                for (int32_t sx = 0; sx < sw; ++sx) {
                    for (int32_t p = 1; p <= 3; ++p) {
                        uint64_t sum = 0, n = 0;
                        for (int32_t y = sy * rate; y < std::min(8, sy * rate + rate); ++y) {
                            for (int32_t x = sx * rate; x < std::min(11, sx * rate + rate);
                                 ++x, ++n) {
                                sum += source_.At(y, x, p);
                            }
                        }
                        ASSERT_EQ(In(sy, sx * 3 + p - 1), (sum + n / 2) / n)
                            << "depth " << depth << " rate " << rate << " at " << sy << "," << sx;
                    }
                }
            }
        }
    }
}

TEST_F(StripServerTest, PaddingFillsOutsideTheImageAsAsked) {
    Init(4, 3, 3, 16, VRect{0, 0, 3, 4});
    const VRect around{-1, -2, 4, 5};  // one row above and below, two columns left, one right
    ASSERT_EQ(Request(around, around), noErr);
    EXPECT_EQ(In(0, 0), 32768u) << "padding 255 is white on the 16-bit scale";
    EXPECT_EQ(In(1, 2 * 3), source_.At(0, 0, 0));
    EXPECT_EQ(In(4, 6 * 3 + 2), 32768u);

    record_.inputPadding = plugInWantsEdgeReplication;
    ASSERT_EQ(Request(around, {0, 0, 0, 0}), noErr);
    EXPECT_EQ(In(0, 0), source_.At(0, 0, 0));
    EXPECT_EQ(In(4, 6 * 3 + 1), source_.At(2, 3, 1));
    EXPECT_EQ(In(2, 0 * 3 + 2), source_.At(1, 0, 2));

    record_.inputPadding = plugInDoesNotWantPadding;
    ASSERT_EQ(Request(around, {0, 0, 0, 0}), noErr);
    EXPECT_EQ(In(0, 0), 0u);

    record_.inputPadding = plugInWantsErrorOnBoundsException;
    EXPECT_EQ(Request(around, {0, 0, 0, 0}), filterBadParameters);
    EXPECT_EQ(record_.inData, nullptr);
    EXPECT_NE(server_->LastError().find("outside the image"), std::string::npos);
    EXPECT_EQ(Request(VRect{0, 0, 3, 4}, {0, 0, 0, 0}), noErr) << "inside needs no padding";

    record_.inputPadding = 256;
    EXPECT_EQ(Request(around, {0, 0, 0, 0}), filterBadParameters);
}

TEST_F(StripServerTest, MaskIsServedAtItsOwnRateWithItsOwnPadding) {
    Init(6, 5, 3, 8, VRect{0, 0, 5, 6}, true);
    record_.maskRate = 2 << 16;
    record_.maskPadding = 7;
    ASSERT_EQ(Request({0, 0, 0, 0}, {0, 0, 0, 0}, VRect{0, 0, 4, 3}), noErr);
    const auto* m = static_cast<const uint8_t*>(record_.maskData);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(record_.maskRowBytes, 3);
    auto at = [&](int y, int x) { return uint32_t(mask_[size_t(y * 6 + x)]); };
    EXPECT_EQ(m[0], (at(0, 0) + at(0, 1) + at(1, 0) + at(1, 1) + 2) / 4);
    EXPECT_EQ(m[2 * 3 + 1], (at(4, 2) + at(4, 3) + 1) / 2) << "a block cut by the bottom edge";
    EXPECT_EQ(m[3 * 3 + 0], 7u) << "sampled row 3 lies below the image";
}

TEST_F(StripServerTest, OutputComesBackAsWrittenAndGoesBackOnlyInsideTheFilterRectangle) {
    // Filter rectangle rows 1..5, columns 2..5 of an 8 x 7 image, 16-bit.
    Init(8, 7, 3, 16, VRect{1, 2, 6, 6});
    const HostPixels before = destination_;
    record_.outLoPlane = 1;
    record_.outHiPlane = 2;
    ASSERT_EQ(Request({0, 0, 0, 0}, VRect{0, 0, 4, 8}), noErr);
    ASSERT_EQ(record_.outRowBytes, 8 * 2 * 2);
    for (int y = 0; y < 4; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(Out(y));
        for (int i = 0; i < 16; ++i) row[i] = uint16_t(y == 3 ? 40000 : 1000 * y + i);
    }
    // Rows 1 and 2, columns 4..5: the edges of the host scale and beyond it.
    const uint16_t edges[8] = {32767, 32768, 32769, 65535, 0, 1, 49152, 16384};
    std::memcpy(Out(1) + 4 * 2 * 2, edges, 8);
    std::memcpy(Out(2) + 4 * 2 * 2, edges + 4, 8);
    // The next strip overlaps rows 2 and 3.
    ASSERT_EQ(Request({0, 0, 0, 0}, VRect{2, 0, 6, 8}), noErr);
    auto* row = reinterpret_cast<uint16_t*>(Out(0));  // image row 2
    EXPECT_EQ(row[2 * 2 + 0], 2000 + 4) << "inside the filter rectangle: as written";
    EXPECT_EQ(row[0], before.At(2, 0, 1)) << "outside it: never written back";
    EXPECT_EQ(reinterpret_cast<uint16_t*>(Out(1))[2 * 2 + 1], 32768) << "clamped to the host scale";
    const uint16_t clamped[8] = {32767, 32768, 32768, 32768, 0, 1, 32768, 16384};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(destination_.At(1 + i / 4, 4 + i % 4 / 2, 1 + i % 2), clamped[i]) << i;
    }
    server_->WriteBack();
    for (int32_t y = 0; y < 7; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            bool inside = y >= 1 && y < 6 && x >= 2 && x < 6;
            EXPECT_EQ(destination_.At(y, x, 0), before.At(y, x, 0)) << "plane 0 was not asked for";
            if (!inside) {
                EXPECT_EQ(destination_.At(y, x, 2), before.At(y, x, 2)) << y << "," << x;
            }
        }
    }
    EXPECT_EQ(destination_.At(1, 3, 1), 1000 + 3 * 2);
    EXPECT_EQ(source_.samples, before.samples) << "input always comes from the untouched source";
}

TEST_F(StripServerTest, RefusesUnservableRequestsAndReadsTheRectangleFormInUse) {
    Init(5, 5, 3, 8, VRect{0, 0, 5, 5});
    record_.inputRate = 0x18000;  // 1.5
    EXPECT_EQ(Request(VRect{0, 0, 2, 2}, {0, 0, 0, 0}), filterBadParameters);
    EXPECT_NE(server_->LastError().find("integral"), std::string::npos);
    record_.inputRate = 0x10000;
    record_.inHiPlane = 3;  // the image has three planes
    EXPECT_EQ(Request(VRect{0, 0, 2, 2}, {0, 0, 0, 0}), filterBadParameters);
    record_.inHiPlane = 2;
    EXPECT_EQ(Request(VRect{0, 0, 100000, 100000}, {0, 0, 0, 0}), memFullErr);
    EXPECT_EQ(record_.inData, nullptr);

    // Without the 32-bit flag the 16-bit fields are read, whatever the 32-bit ones say.
    big_.PluginUsing32BitCoordinates = 0;
    big_.inRect32 = VRect{0, 0, 0, 0};
    record_.inRect = Rect{1, 1, 3, 4};
    ASSERT_EQ(server_->Advance(&record_), noErr);
    EXPECT_EQ(record_.inRowBytes, 3 * 3);
    EXPECT_EQ(In(0, 0), source_.At(1, 1, 0));
}

TEST(HostScale, SixteenBitConversionsRoundTripWithinOneAndKeepTheEnds) {
    EXPECT_EQ(FileToHost16(0), 0);
    EXPECT_EQ(FileToHost16(65535), 32768);
    EXPECT_EQ(HostToFile16(32768), 65535);
    EXPECT_EQ(HostToFile16(40000), 65535) << "values above the host range are clamped";
    for (uint32_t v = 0; v <= 65535; ++v) {
        ASSERT_EQ(FileToHost16(uint16_t(v)), (v * 32768 + 32767) / 65535) << v;
        int32_t back = HostToFile16(FileToHost16(uint16_t(v)));
        ASSERT_LE(std::abs(back - int32_t(v)), 1) << v;
    }
    for (uint32_t h = 0; h <= 32768; ++h) ASSERT_EQ(FileToHost16(HostToFile16(uint16_t(h))), h);
}

}  // namespace
