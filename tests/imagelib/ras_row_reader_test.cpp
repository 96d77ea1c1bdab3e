// Rows of image files in the resampler's layout: interleaved, either depth, any order.
#include "imagelib/ras_row_reader.h"
#include "tests/imagelib/fixtures.h"

namespace imagelib_test {
namespace {

using RasRowReaderTest = ImagelibTest;

TEST_F(RasRowReaderTest, RowsArriveInterleavedAtEitherDepth) {
    TiffLayout eight, sixteen;
    eight.samples = sixteen.samples = 3;
    eight.photometric = sixteen.photometric = 2;
    sixteen.bits = 16, sixteen.planar = 2, sixteen.rowsPerStrip = 4;
    ASSERT_TRUE(WriteTiff(Path("8.tif"), eight));
    ASSERT_TRUE(WriteTiff(Path("16.tif"), sixteen));
    for (const char* name : {"8.tif", "16.tif"}) {
        uint16_t bits = name[0] == '8' ? 8 : 16;
        FLSpec spec = Disk(name);
        RasRowReader reader;
        ASSERT_EQ(RasRowReaderOpen(&reader, &spec), 0) << name;
        ASSERT_EQ(reader.image.channels, 3u);
        uint32_t w = reader.image.width;
        // Pixel step 4 leaves the fourth sample of every pixel to the caller.
        std::vector<uint8_t> row8(w * 4, 0xEE);
        std::vector<uint16_t> row16(w * 4, 0xEEEE);
        for (uint32_t y : Shuffled(reader.image.height, 2)) {
            void* p8[4] = {&row8[0], &row8[1], &row8[2], nullptr};
            void* p16[4] = {&row16[0], &row16[1], &row16[2], nullptr};
            ASSERT_EQ(RasRowReaderRead(&reader, y, 1, 4, p8), 0);
            ASSERT_EQ(RasRowReaderRead(&reader, y, 2, 4, p16), 0);
            for (uint32_t x = 0; x < w; ++x) {
                for (uint32_t c = 0; c < 3; ++c) {
                    uint32_t v = Sample(x, y, c, bits);
                    uint32_t as8 = bits == 8 ? v : (v * 255 + 32767) / 65535;
                    uint32_t as16 = bits == 8 ? v * 257 : v;
                    ASSERT_EQ(row8[x * 4 + c], as8) << name << " " << x << "," << y;
                    ASSERT_EQ(row16[x * 4 + c], as16) << name << " " << x << "," << y;
                }
                ASSERT_EQ(row8[x * 4 + 3], 0xEE);
                ASSERT_EQ(row16[x * 4 + 3], 0xEEEE);
            }
        }
        void* missing[4] = {&row8[0], nullptr, &row8[2], nullptr};
        EXPECT_EQ(RasRowReaderRead(&reader, 0, 1, 4, missing), -1);
        void* all[4] = {&row8[0], &row8[1], &row8[2], nullptr};
        EXPECT_EQ(RasRowReaderRead(&reader, 0, 3, 4, all), -1);
        EXPECT_EQ(RasRowReaderRead(&reader, 0, 1, 0, all), -1);
        EXPECT_EQ(RasRowReaderClose(&reader), 0);
        EXPECT_EQ(RasRowReaderClose(&reader), -1);
    }
}

TEST_F(RasRowReaderTest, JpegRowsAndUnreadableFiles) {
    JpegLayout l;
    l.components = 1;
    Bytes file = WriteJpeg(l);
    std::vector<Bytes> reference = DecodeJpeg(file);
    FLSpec spec = Memory(file);
    RasRowReader reader;
    ASSERT_EQ(RasRowReaderOpen(&reader, &spec), 0);
    std::vector<uint16_t> row(l.width);
    void* p[4] = {row.data(), nullptr, nullptr, nullptr};
    ASSERT_EQ(RasRowReaderRead(&reader, 17, 2, 1, p), 0);
    for (uint32_t x = 0; x < l.width; ++x) ASSERT_EQ(row[x], reference[17][x] * 257u);
    RasRowReaderClose(&reader);

    Bytes text = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    FLSpec bad = Memory(text);
    EXPECT_LT(RasRowReaderOpen(&reader, &bad), 0);
    EXPECT_EQ(reader.image.state, nullptr);
}

}  // namespace
}  // namespace imagelib_test
