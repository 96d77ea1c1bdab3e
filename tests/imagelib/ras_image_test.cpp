// The scanline framework: scanline records, descriptors, identification and dispatch.
#include <cmath>

#include "imagelib/ras_embed.h"
#include "platform/mem.h"
#include "tests/imagelib/fixtures.h"

namespace imagelib_test {
namespace {

using RasImageTest = ImagelibTest;

TEST_F(RasImageTest, ScanlinePlanesFollowTheImageDepth) {
    RasImage image;
    ASSERT_EQ(RasSetUpImage(&image, kRasFormatTiff, 7, 2, 3, kRasSpaceRGB, 300), 0);
    RasSl sl;
    ASSERT_EQ(RasMakeSl(&sl, &image), 0);
    EXPECT_EQ(sl.width, 7u);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(sl.planes8[c] != nullptr, c < 3);
        EXPECT_EQ(sl.planes16[c], nullptr);
    }
    // Making it again for a 16-bit image gives the old planes back first.
    ASSERT_EQ(RasSetUpImage(&image, kRasFormatTiff16, 7, 2, 4, kRasSpaceCMYK, 300), 0);
    ASSERT_EQ(RasMakeSl(&sl, &image), 0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(sl.planes8[c], nullptr);
        EXPECT_NE(sl.planes16[c], nullptr);
    }
    EXPECT_EQ(RasFreeSl(&sl), 0);
    EXPECT_EQ(sl.planes16[0], nullptr);

    uint32_t blocks = ul_nMallocs;
    image.width = 0;
    EXPECT_EQ(RasMakeSl(&sl, &image), 0);
    EXPECT_EQ(ul_nMallocs, blocks);
    image.channels = 2;
    EXPECT_EQ(RasMakeSl(&sl, &image), -1);
}

TEST_F(RasImageTest, DescriptorsAreSetUpOnlyFromValidValues) {
    RasImage image;
    EXPECT_EQ(RasSetUpImage(&image, kRasFormatCineon, 5, 5, 3, kRasSpaceRGB, NAN), 0);
    EXPECT_EQ(image.maxValue, 1023u);
    EXPECT_EQ(image.resolution, -1.0f);
    EXPECT_EQ(RasSetUpImage(&image, kRasFormatReserved, 5, 5, 3, kRasSpaceRGB, 72), -1);
    EXPECT_EQ(RasSetUpImage(&image, kRasFormatTiff, 5, 5, 3, 3, 72), -1);
}

TEST_F(RasImageTest, OpenRefusesModesAndFormatsItCannotServe) {
    TiffLayout l;
    ASSERT_TRUE(WriteTiff(Path("a.tif"), l));
    FLSpec spec = Disk("a.tif");
    RasImage image;
    image.format = kRasFormatTiff;
    uint32_t blocks = ul_nMallocs;
    EXPECT_EQ(RasOpen(&spec, "x", &image), -1);
    EXPECT_EQ(ul_nMallocs, blocks);
    EXPECT_EQ(RasOpen(&spec, "w", &image), -9);
    RasSl sl;
    for (uint32_t format : {2u, 3u, 4u, 5u, 6u, 7u, 8u, 11u}) {
        image.format = format;
        EXPECT_EQ(RasOpen(&spec, "r", &image), -9) << format;
        EXPECT_EQ(RasReadSl(&image, 0, &sl), -9) << format;
        EXPECT_EQ(RasClose(&image), -9) << format;
    }
    image.format = 12;
    EXPECT_EQ(RasOpen(&spec, "r", &image), -1);
    EXPECT_EQ(RasClose(&image), -1);

    image.format = kRasFormatTiff;
    ASSERT_EQ(RasOpen(&spec, "r", &image), 0);
    EXPECT_EQ(RasOpen(&spec, "r", &image), -1) << "already open";
    EXPECT_EQ(RasReadSl(&image, l.height, &sl), -1);
    ASSERT_EQ(RasReadSl(&image, 0, &sl), 0) << "a fresh record is made by the read";
    EXPECT_NE(sl.planes8[0], nullptr);
    sl.width -= 1;
    EXPECT_EQ(RasReadSl(&image, 1, &sl), -1) << "a record of another width";
    sl.width += 1;
    EXPECT_EQ(RasClose(&image), 0);
    EXPECT_EQ(image.state, nullptr);
    EXPECT_EQ(RasClose(&image), -1);
    RasFreeSl(&sl);

    FLSpec missing = Disk("missing.tif");
    EXPECT_EQ(RasOpen(&missing, "r", &image), -4);
    EXPECT_EQ(image.state, nullptr);
}

TEST_F(RasImageTest, QueryFindsTheReaderInItsOrder) {
    TiffLayout eight, sixteen;
    sixteen.bits = 16, sixteen.samples = 3, sixteen.photometric = 2;
    ASSERT_TRUE(WriteTiff(Path("8.tif"), eight));
    ASSERT_TRUE(WriteTiff(Path("16.tif"), sixteen));
    WriteBytes(Path("c.jpg"), WriteJpeg(JpegLayout()));
    WriteBytes(Path("t.txt"), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    const struct {
        const char* name;
        uint32_t format, maxValue, channels;
    } cases[] = {{"8.tif", 1, 255, 1}, {"16.tif", 10, 65535, 3}, {"c.jpg", 9, 255, 3}};
    for (const auto& c : cases) {
        FLSpec spec = Disk(c.name);
        RasImage image;
        ASSERT_EQ(RasQuery(&spec, &image), 0) << c.name;
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(image.maxValue, c.maxValue);
        EXPECT_EQ(image.channels, c.channels);
        EXPECT_EQ(image.state, nullptr);
        // The descriptor a query fills opens as it stands.
        ASSERT_EQ(RasOpen(&spec, "r", &image), 0) << c.name;
        EXPECT_EQ(RasClose(&image), 0);
    }
    FLSpec text = Disk("t.txt");
    RasImage image;
    EXPECT_LT(RasQuery(&text, &image), 0);
    EXPECT_EQ(image.state, nullptr);
    FLSpec missing = Disk("missing");
    EXPECT_EQ(RasQuery(&missing, &image), -4);
}

TEST_F(RasImageTest, OpeningForReadingEmptiesTheReadSlots) {
    auto block = [](uint32_t n) {
        auto* b = static_cast<uint8_t*>(Mem_Alloc(n));
        Mem_Fill(b, 0, n);
        b[3] = uint8_t(n);
        return b;
    };
    ASSERT_EQ(RasEmbedTake(kRasSlotReadProfile, block(8), 8, 0), 0);
    ASSERT_EQ(RasEmbedTake(kRasSlotReadData, block(8), 8, 1), 0);
    ASSERT_EQ(RasEmbedTake(kRasSlotWriteProfile, block(8), 8, 0), 0);
    WriteBytes(Path("c.jpg"), WriteJpeg(JpegLayout()));
    FLSpec spec = Disk("c.jpg");
    RasImage image;
    image.format = kRasFormatJpeg;
    ASSERT_EQ(RasOpen(&spec, "r", &image), 0);
    const uint8_t* p;
    uint32_t n;
    for (int32_t slot : {kRasSlotReadProfile, kRasSlotReadData}) {
        RasEmbedGet(slot, &p, &n);
        EXPECT_EQ(p, nullptr) << slot;
    }
    RasEmbedGet(kRasSlotWriteProfile, &p, &n);
    EXPECT_EQ(n, 8u);
    RasClose(&image);
}

}  // namespace
}  // namespace imagelib_test
