// The TIFF reader: layouts, conversions, refusals, strip buffering, profiles.
#include <tiffio.h>

#include <cmath>

#include "imagelib/ras_embed.h"
#include "imagelib/tiff_reader.h"
#include "tests/imagelib/fixtures.h"

namespace imagelib_test {
namespace {

class TiffReaderTest : public ImagelibTest {
   protected:
    // Writes the layout and reads it back through the framework with the module for its depth.
    Planes WriteAndRead(const TiffLayout& l, int32_t* status, RasImage* image = nullptr,
                        uint32_t seed = 1) {
        if (!WriteTiff(Path("t.tif"), l)) return {};
        FLSpec spec = Disk("t.tif");
        return ReadAll(&spec, l.bits == 16 ? kRasFormatTiff16 : kRasFormatTiff,
                       Shuffled(l.height, seed), status, image);
    }
    int32_t OpenStatus(Bytes file) {
        FLSpec spec = Memory(file);
        int32_t status;
        ReadAll(&spec, kRasFormatTiff, InOrder(1), &status);
        return status;
    }
};

template <typename Change>
TiffLayout With(Change change) {
    TiffLayout l;
    change(l);
    return l;
}

std::vector<uint16_t> RandomMap() {
    std::vector<uint16_t> m(768);
    for (uint32_t i = 0; i < 768; ++i) m[i] = uint16_t(Sample(i % 256, 99, i / 256, 8) * 257);
    return m;
}

TEST_F(TiffReaderTest, EveryLayoutReadsAsWritten) {
    struct Kind {
        uint16_t samples, photometric;
        bool eightOnly;
        uint32_t space;
    };
    const Kind kinds[] = {{1, 0, false, kRasSpaceGrey}, {1, 1, false, kRasSpaceGrey},
                          {3, 2, false, kRasSpaceRGB},  {4, 5, false, kRasSpaceCMYK},
                          {1, 3, true, kRasSpaceRGB},   {3, 8, true, kRasSpaceLab},
                          {3, 9, true, kRasSpaceLab}};
    // rows per strip 0: one strip; tile 16: tiles as wide as the image, the last one padded.
    const uint32_t strips[][2] = {{0, 0}, {1, 0}, {4, 0}, {5, 0}, {0, 16}};
    int files = 0;
    for (uint32_t limit : {0xFFFFFFFFu - 24, 1u}) {
        TiffSetStripBufferLimit(limit);
        for (bool be : {false, true}) {
            for (uint16_t bits : {8, 16}) {
                for (const Kind& k : kinds) {
                    if (k.eightOnly && bits == 16) continue;
                    for (uint16_t planar : {1, 2}) {
                        for (const auto& s : strips) {
                            TiffLayout l;
                            l.bigEndian = be, l.bits = bits, l.samples = k.samples,
                            l.photometric = k.photometric;
                            l.planar = planar, l.rowsPerStrip = s[0], l.tileLength = s[1];
                            if (s[1] != 0) l.width = 32;
                            if (k.photometric == 3) l.colourMap = RandomMap();
                            SCOPED_TRACE(l.Describe() + (limit == 1 ? " row by row" : ""));
                            int32_t status;
                            RasImage image;
                            Planes ours = WriteAndRead(l, &status, &image, ++files);
                            ASSERT_EQ(status, 0);
                            EXPECT_EQ(image.colorSpace, k.space);
                            EXPECT_EQ(image.maxValue, bits == 16 ? 65535u : 255u);
                            EXPECT_TRUE(ours == ExpectedPlanes(l));
                        }
                    }
                }
            }
        }
    }
}

TEST_F(TiffReaderTest, GreyAndPaletteConversionsAgreeWithLibtiffRgba) {
    // White-is-zero grey, a colour palette, and a grey palette (read as one channel).
    std::vector<uint16_t> curve(768);
    for (uint32_t i = 0; i < 768; ++i) {
        curve[i] = uint16_t(uint32_t(255 * std::pow((i % 256) / 255.0, 2.2) + 0.5) * 257);
    }
    struct Case {
        uint16_t photometric;
        std::vector<uint16_t> map;
        uint32_t channels;
    };
    const Case cases[] = {{0, {}, 1}, {3, RandomMap(), 3}, {3, curve, 1}};
    for (const Case& c : cases) {
        TiffLayout l;
        l.photometric = c.photometric, l.colourMap = c.map, l.rowsPerStrip = 3;
        SCOPED_TRACE(l.Describe() + " map " + std::to_string(c.map.empty() ? 0 : c.map[1]));
        int32_t status;
        RasImage image;
        Planes ours = WriteAndRead(l, &status, &image);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(image.channels, c.channels);
        TIFF* t = TIFFOpen(Path("t.tif").c_str(), "r");
        std::vector<uint32_t> rgba(l.width * l.height);
        ASSERT_EQ(
            TIFFReadRGBAImageOriented(t, l.width, l.height, rgba.data(), ORIENTATION_TOPLEFT, 0),
            1);
        TIFFClose(t);
        for (uint32_t i = 0; i < l.width * l.height; ++i) {
            uint32_t x = i % l.width, y = i / l.width;
            for (uint32_t ch = 0; ch < 3; ++ch) {
                ASSERT_EQ(ours[y][c.channels == 1 ? 0 : ch][x], (rgba[i] >> (8 * ch)) & 0xFF)
                    << x << "," << y;
            }
        }
    }
}

TEST_F(TiffReaderTest, ResolutionComesInPixelsPerInch) {
    const struct {
        float value;
        uint16_t unit;
        float expected;
    } cases[] = {{118.11f, 3, 300.0f}, {72.0f, 2, 72.0f}, {100.0f, 1, 254.0f}, {0.0f, 2, 300.0f}};
    for (const auto& c : cases) {
        TiffLayout l;
        l.xResolution = c.value, l.resolutionUnit = c.unit;
        int32_t status;
        RasImage image;
        WriteAndRead(l, &status, &image);
        ASSERT_EQ(status, 0);
        EXPECT_NEAR(image.resolution, c.expected, 0.01f) << c.value << " unit " << c.unit;
    }
    TiffBuilder b = TiffBuilder::Grey(4, 2, 2, false);
    b.Ints(282, 5, {300, 0});  // a zero denominator
    Bytes file = b.Build();
    FLSpec spec = Memory(file);
    RasImage image;
    image.format = kRasFormatTiff;
    ASSERT_EQ(RasOpen(&spec, "r", &image), 0);
    EXPECT_EQ(image.resolution, -1.0f);
    RasClose(&image);
}

TEST_F(TiffReaderTest, FilesOutsideTheSupportedSetAreRefused) {
    const struct {
        const char* what;
        TiffLayout layout;
        uint32_t format;
    } cases[] = {
        {"LZW", With([](TiffLayout& l) { l.compression = COMPRESSION_LZW; }), kRasFormatTiff},
        {"tiles narrower than the image",
         With([](TiffLayout& l) { l.width = 32, l.tileWidth = 16, l.tileLength = 16; }),
         kRasFormatTiff},
        {"16-bit grey through the 8-bit module",
         With([](TiffLayout& l) { l.bits = 16, l.photometric = 0; }), kRasFormatTiff},
        {"8-bit RGB through the 16-bit module",
         With([](TiffLayout& l) { l.samples = 3, l.photometric = 2; }), kRasFormatTiff16},
        {"16-bit CIELab",
         With([](TiffLayout& l) { l.bits = 16, l.samples = 3, l.photometric = 8; }),
         kRasFormatTiff16},
        {"RGB with a fourth sample", With([](TiffLayout& l) { l.samples = 4, l.photometric = 2; }),
         kRasFormatTiff},
        {"grey with a second sample", With([](TiffLayout& l) { l.samples = 2; }), kRasFormatTiff},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteTiff(Path("r.tif"), c.layout)) << c.what;
        FLSpec spec = Disk("r.tif");
        RasImage image;
        image.format = c.format;
        EXPECT_EQ(RasOpen(&spec, "r", &image), -9) << c.what;
        EXPECT_EQ(image.state, nullptr) << c.what;
    }

    TiffBuilder b = TiffBuilder::Grey(4, 4, 4, true);
    b.Ints(278, 3, {0});
    EXPECT_EQ(OpenStatus(b.Build()), -9) << "rows per strip 0";
    b = TiffBuilder::Grey(4, 4, 4, true);
    b.Ints(262, 3, {3});
    EXPECT_EQ(OpenStatus(b.Build()), -9) << "palette without a colour map";
    Bytes file = TiffBuilder::Grey(4, 4, 4, false).Build();
    file[0] = 'X';
    EXPECT_EQ(OpenStatus(file), -8) << "byte order";
    file = TiffBuilder::Grey(4, 4, 4, true).Build();
    file[3] = 43;
    EXPECT_EQ(OpenStatus(file), -8) << "magic";
}

TEST_F(TiffReaderTest, SmallValuesAreTakenFromTheFrontOfTheValueField) {
    for (bool be : {true, false}) {
        // Width as SHORT (300 needs both of its bytes), two SHORT strip offsets and counts inside
        // their value fields, bits per sample as BYTE, and the tags out of order (rows per strip
        // before the image length).
        TiffBuilder b = TiffBuilder::Grey(300, 4, 2, be);
        b.unsorted = true;
        b.stripArrayType = 3;
        b.entries.erase(257);
        b.order.erase(std::find(b.order.begin(), b.order.end(), 257));
        b.Ints(257, 4, {4});
        b.Ints(258, 1, {8});
        Bytes file = b.Build();
        FLSpec spec = Memory(file);
        int32_t status;
        RasImage image;
        Planes rows = ReadAll(&spec, kRasFormatTiff, InOrder(4), &status, &image);
        ASSERT_EQ(status, 0) << (be ? "MM" : "II");
        EXPECT_EQ(image.width, 300u);
        for (uint32_t i = 0; i < 4 * 300; ++i) {
            ASSERT_EQ(rows[i / 300][0][i % 300], Sample(i % 300, i / 300, 0, 8)) << i;
        }
    }
}

TEST_F(TiffReaderTest, AStripIsReadOnceWhileItsLinesAreRead) {
    for (uint32_t limit : {0xFFFFFFFFu - 24, 1u}) {
        TiffSetStripBufferLimit(limit);
        Bytes file = TiffBuilder::Grey(10, 20, 8, false).Build();  // strips 0-7, 8-15, 16-19
        FLSpec spec = Memory(file);
        RasImage image;
        image.format = kRasFormatTiff;
        ASSERT_EQ(RasOpen(&spec, "r", &image), 0);
        RasSl sl;
        ASSERT_EQ(RasReadSl(&image, 7, &sl), 0);
        // Change line 6 in the file behind the reader's back: with a strip buffer the change is
        // not seen until the strip is loaded again; read row by row it is seen at once.
        size_t line6 = 8 + 6 * 10;
        ASSERT_EQ(file[line6], Sample(0, 6, 0, 8));
        file[line6] ^= 0xFF;
        ASSERT_EQ(RasReadSl(&image, 6, &sl), 0);
        EXPECT_EQ(sl.planes8[0][0], limit == 1 ? file[line6] : Sample(0, 6, 0, 8));
        ASSERT_EQ(RasReadSl(&image, 9, &sl), 0);
        ASSERT_EQ(RasReadSl(&image, 6, &sl), 0);
        EXPECT_EQ(sl.planes8[0][0], file[line6]);
        RasFreeSl(&sl);
        RasClose(&image);
    }
}

TEST_F(TiffReaderTest, ProfileAndIptcRecordGoToTheStoreOfAnAcceptedFile) {
    TiffLayout l;
    l.profile.resize(300);
    for (uint32_t i = 0; i < 300; ++i) l.profile[i] = uint8_t(i * 7 + 3);
    l.profile[0] = 0, l.profile[1] = 0, l.profile[2] = 1, l.profile[3] = 44;  // its length, 300
    int32_t status;
    WriteAndRead(l, &status);
    ASSERT_EQ(status, 0);
    const uint8_t* block;
    uint32_t length;
    RasEmbedGet(kRasSlotReadProfile, &block, &length);
    ASSERT_EQ(length, 300u);
    EXPECT_TRUE(Bytes(block, block + length) == l.profile);

    // A refused file leaves the store empty; so does a profile whose length field lies.
    l.compression = COMPRESSION_LZW;
    WriteAndRead(l, &status);
    EXPECT_EQ(status, -9);
    RasEmbedGet(kRasSlotReadProfile, &block, &length);
    EXPECT_EQ(block, nullptr);
    l.compression = 1;
    l.profile[1] = 0x7F;
    WriteAndRead(l, &status);
    ASSERT_EQ(status, 0);
    RasEmbedGet(kRasSlotReadProfile, &block, &length);
    EXPECT_EQ(block, nullptr);

    TiffBuilder b = TiffBuilder::Grey(4, 2, 2, true);
    b.Ints(33723, 4, {0x1C020000, 0x0548656C, 0x6C6F0000});
    Bytes file = b.Build();
    FLSpec spec = Memory(file);
    ReadAll(&spec, kRasFormatTiff, InOrder(2), &status);
    ASSERT_EQ(status, 0);
    RasEmbedGet(kRasSlotReadData, &block, &length);
    const Bytes iptc = {0, 0, 0, 16, 0x1C, 2, 0, 0, 5, 'H', 'e', 'l', 'l', 'o', 0, 0};
    ASSERT_EQ(length, 16u);
    EXPECT_TRUE(Bytes(block, block + length) == iptc);
}

TEST_F(TiffReaderTest, StripsMustHoldExactlyTheirRows) {
    auto withCounts = [](std::vector<uint32_t> counts) {
        TiffBuilder b = TiffBuilder::Grey(10, 20, 8, false);
        b.strips.back().resize(80);  // room for a longer last strip
        b.Ints(279, 4, counts);
        return b.Build();
    };
    EXPECT_EQ(OpenStatus(withCounts({80, 80, 40})), 0);
    EXPECT_EQ(OpenStatus(withCounts({80, 81, 40})), -8) << "larger than the strip buffer";
    EXPECT_EQ(OpenStatus(withCounts({80, 79, 40})), -8) << "shorter than its rows";
    EXPECT_EQ(OpenStatus(withCounts({80, 80})), -8) << "fewer counts than strips";
    // The largest rows-per-strip value means one strip; its buffer holds only the image.
    TiffBuilder single = TiffBuilder::Grey(10, 20, 20, true);
    single.Ints(278, 4, {0xFFFFFFFFu});
    Bytes file = single.Build();
    FLSpec spec = Memory(file);
    int32_t status;
    Planes rows = ReadAll(&spec, kRasFormatTiff, Shuffled(20, 5), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(rows[19][0][9], Sample(9, 19, 0, 8));
}

}  // namespace
}  // namespace imagelib_test
