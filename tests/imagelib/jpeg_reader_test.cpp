// The JPEG module against libjpeg's own decoding and the content that was encoded.
#include <cstdlib>
#include <cstring>
#include <random>

#include "imagelib/jpeg_reader.h"
#include "imagelib/ras_embed.h"
#include "tests/imagelib/fixtures.h"

namespace imagelib_test {
namespace {

using JpegReaderTest = ImagelibTest;

int32_t ReadJpeg(Bytes file, const std::vector<uint32_t>& order, Planes* rows,
                 RasImage* image = nullptr) {
    FLSpec spec;
    FLSpecMemory(&spec, file.data(), int32_t(file.size()));
    int32_t status;
    *rows = ReadAll(&spec, kRasFormatJpeg, order, &status, image);
    return status;
}

TEST_F(JpegReaderTest, DecodesAsLibjpegDoesAndNearTheEncodedContent) {
    for (int components : {1, 3, 4}) {
        for (bool progressive : {false, true}) {
            JpegLayout l;
            l.components = components, l.progressive = progressive;
            SCOPED_TRACE(std::to_string(components) + (progressive ? " progressive" : " baseline"));
            Bytes file = WriteJpeg(l);
            std::vector<Bytes> reference = DecodeJpeg(file);
            Planes rows;
            RasImage image;
            // Lines out of order make the decoder skip ahead and start again from the top.
            ASSERT_EQ(ReadJpeg(file, Shuffled(l.height, components), &rows, &image), 0);
            EXPECT_EQ(image.colorSpace, components == 1   ? kRasSpaceGrey
                                        : components == 3 ? kRasSpaceRGB
                                                          : kRasSpaceCMYK);
            ASSERT_EQ(image.channels, uint32_t(components));
            int worst = 0;
            for (uint32_t y = 0; y < l.height; ++y) {
                for (uint32_t x = 0; x < l.width; ++x) {
                    for (int c = 0; c < components; ++c) {
                        uint32_t v = rows[y][c][x];
                        // libjpeg's CMYK files carry the Adobe marker: stored inverted, read as
                        // ink.
                        uint32_t stored = components == 4 ? 255 - v : v;
                        ASSERT_EQ(stored, reference[y][x * components + c])
                            << x << "," << y << "," << c;
                        worst = std::max(worst, std::abs(int(stored) - int(Smooth(x, y, c))));
                    }
                }
            }
            EXPECT_LE(worst, 12);
        }
    }
}

TEST_F(JpegReaderTest, ProfileSpreadOverMarkersIsPutTogether) {
    JpegLayout l;
    l.profile.resize(150000);
    for (size_t i = 0; i < l.profile.size(); ++i) l.profile[i] = uint8_t(i * 31 + 7);
    l.profile[0] = 0, l.profile[1] = 2, l.profile[2] = 0x49, l.profile[3] = 0xF0;  // 150000
    Bytes file = WriteJpeg(l);
    Planes rows;
    ASSERT_EQ(ReadJpeg(file, InOrder(2), &rows), 0);
    const uint8_t* block;
    uint32_t length;
    RasEmbedGet(kRasSlotReadProfile, &block, &length);
    ASSERT_EQ(length, 150000u);
    EXPECT_TRUE(Bytes(block, block + length) == l.profile);

    // A missing piece leaves the profile out; the image is read all the same.
    size_t second = 0;
    for (size_t i = 2, seen = 0; i + 16 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xE2 &&
            std::memcmp(&file[i + 4], "ICC_PROFILE", 11) == 0 && ++seen == 2) {
            second = i;
            break;
        }
    }
    ASSERT_NE(second, 0u);
    file[second + 1] = 0xE3;  // now an APP3 marker
    ASSERT_EQ(ReadJpeg(file, InOrder(2), &rows), 0);
    RasEmbedGet(kRasSlotReadProfile, &block, &length);
    EXPECT_EQ(block, nullptr);
}

TEST_F(JpegReaderTest, ResolutionFromTheJfifDensity) {
    const struct {
        uint8_t unit;
        uint16_t density;
        float expected;
    } cases[] = {{1, 300, 300.0f}, {2, 118, 299.72f}, {0, 1, -1.0f}};
    for (const auto& c : cases) {
        JpegLayout l;
        l.densityUnit = c.unit, l.density = c.density;
        Bytes file = WriteJpeg(l);
        FLSpec spec;
        FLSpecMemory(&spec, file.data(), int32_t(file.size()));
        RasImage image;
        ASSERT_EQ(RasQuery(&spec, &image), 0);
        EXPECT_EQ(image.format, kRasFormatJpeg);
        EXPECT_NEAR(image.resolution, c.expected, 0.01f) << int(c.unit);
    }
}

TEST_F(JpegReaderTest, DamagedFilesReturnCodesAndNeverEndTheProcess) {
    JpegLayout l;
    Bytes file = WriteJpeg(l);
    Planes rows;
    // Cut inside the compressed data: the header reads, a later line is a short read.
    for (int tenth = 1; tenth < 10; ++tenth) {
        Bytes cut(file.begin(), file.begin() + file.size() * tenth / 10);
        int32_t status = ReadJpeg(cut, InOrder(l.height), &rows);
        EXPECT_TRUE(status == -5 || status == -8) << tenth << ": " << status;
    }
    Bytes notJpeg = file;
    notJpeg[1] = 0xD9;
    EXPECT_EQ(ReadJpeg(notJpeg, InOrder(1), &rows), -8);
    // 12-bit data is beyond what the library decodes.
    Bytes twelve = file;
    for (size_t i = 2; i + 4 < twelve.size(); ++i) {
        if (twelve[i] == 0xFF && twelve[i + 1] == 0xC0) {
            twelve[i + 4] = 12;
            break;
        }
    }
    EXPECT_EQ(ReadJpeg(twelve, InOrder(1), &rows), -9);

    std::mt19937 random(11);
    for (int i = 0; i < 120; ++i) {
        Bytes damaged = file;
        for (int f = 0; f < 3; ++f) damaged[random() % damaged.size()] = uint8_t(random());
        int32_t status = ReadJpeg(damaged, Shuffled(l.height, i), &rows);
        EXPECT_TRUE(-9 <= status && status <= 0) << status;
    }
}

TEST_F(JpegReaderTest, HeaderClaimingMoreThanTheFileCanHoldIsRefusedBeforeDecoding) {
    // A progressive file keeps every coefficient of the image: a few hundred bytes declaring
    // 65000 x 65000 pixels would have libjpeg take 25 GB.
    JpegLayout l;
    l.progressive = true;
    Bytes file = WriteJpeg(l);
    bool patched = false;
    for (size_t i = 2; i + 9 < file.size() && !patched; ++i) {
        if (file[i] == 0xFF && file[i + 1] == 0xC2) {
            for (size_t at : {i + 5, i + 7}) {
                file[at] = 65000 >> 8;
                file[at + 1] = 65000 & 0xFF;
            }
            patched = true;
        }
    }
    ASSERT_TRUE(patched);
    Planes rows;
    EXPECT_EQ(ReadJpeg(file, InOrder(1), &rows), -3);
    // Identification reads the header only and still describes the file.
    FLSpec spec;
    FLSpecMemory(&spec, file.data(), int32_t(file.size()));
    RasImage image;
    ASSERT_EQ(RasQuery(&spec, &image), 0);
    EXPECT_EQ(image.width, 65000u);
}

TEST_F(JpegReaderTest, DiskAndMemoryFilesReadAlike) {
    JpegLayout l;
    l.components = 1;
    Bytes file = WriteJpeg(l);
    WriteBytes(Path("g.jpg"), file);
    FLSpec disk = Disk("g.jpg");
    int32_t status;
    // Each line twice in a row, and twice over: the second read of a line takes it from the
    // decoder's last row, the second pass starts decoding again.
    std::vector<uint32_t> order;
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t y : Shuffled(l.height, 3 + pass)) order.insert(order.end(), {y, y});
    }
    Planes fromDisk = ReadAll(&disk, kRasFormatJpeg, order, &status);
    ASSERT_EQ(status, 0);
    Planes fromMemory;
    ASSERT_EQ(ReadJpeg(file, InOrder(l.height), &fromMemory), 0);
    EXPECT_TRUE(fromDisk == fromMemory);
}

}  // namespace
}  // namespace imagelib_test
