// The TIFF reader on damaged and hostile files: every failure is a status code, never a read
// outside a buffer (these tests run under the address and undefined-behaviour sanitizers too).
#include <random>

#include "imagelib/tiff_reader.h"
#include "platform/mem.h"
#include "tests/imagelib/fixtures.h"

namespace imagelib_test {
namespace {

class TiffHostileTest : public ImagelibTest {
   protected:
    // Opens the bytes as a memory file and reads every line; the first failure or 0.
    int32_t ReadEverything(Bytes file, uint32_t format = kRasFormatTiff) {
        FLSpec spec = Memory(file);
        int32_t status;
        ReadAll(&spec, format, InOrder(64), &status);
        return status;
    }
    // Files of several layouts, with the format that reads them.
    std::vector<std::pair<Bytes, uint32_t>> Samples() {
        std::vector<std::pair<Bytes, uint32_t>> files;
        TiffLayout layouts[4];
        layouts[0].rowsPerStrip = 4;
        layouts[1].bigEndian = true, layouts[1].bits = 16, layouts[1].samples = 3,
        layouts[1].photometric = 2, layouts[1].planar = 2, layouts[1].rowsPerStrip = 5;
        layouts[2].photometric = 3, layouts[2].rowsPerStrip = 2;
        layouts[2].colourMap.resize(768, 1000);
        layouts[2].profile = Bytes{0, 0, 0, 8, 1, 2, 3, 4};
        layouts[3].bigEndian = true, layouts[3].samples = 4, layouts[3].photometric = 5,
        layouts[3].width = 32, layouts[3].tileLength = 16;
        for (const TiffLayout& l : layouts) {
            WriteTiff(Path("h.tif"), l);
            files.emplace_back(ReadBytes(Path("h.tif")),
                               l.bits == 16 ? kRasFormatTiff16 : kRasFormatTiff);
        }
        return files;
    }
};

TEST_F(TiffHostileTest, TruncatedFilesAreNoticed) {
    for (uint32_t limit : {0xFFFFFFFFu - 24, 1u}) {
        TiffSetStripBufferLimit(limit);
        for (auto& [file, format] : Samples()) {
            ASSERT_EQ(ReadEverything(file, format), 0);
            for (int tenth = 1; tenth < 10; ++tenth) {
                Bytes cut(file.begin(), file.begin() + file.size() * tenth / 10);
                int32_t status = ReadEverything(cut, format);
                EXPECT_TRUE(-9 <= status && status <= -1)
                    << "cut at " << tenth << "/10: " << status;
            }
        }
    }
    // Disk files cut the same way report the same kind of codes.
    Bytes file = Samples()[0].first;
    WriteBytes(Path("cut.tif"), Bytes(file.begin(), file.begin() + file.size() / 2));
    FLSpec spec = Disk("cut.tif");
    int32_t status;
    ReadAll(&spec, kRasFormatTiff, InOrder(13), &status);
    EXPECT_TRUE(-9 <= status && status <= -1) << status;
}

TEST_F(TiffHostileTest, DamagedBytesGiveStatusCodes) {
    std::mt19937 random(7);
    int failures = 0, runs = 0;
    for (auto& [file, format] : Samples()) {
        for (int i = 0; i < 150; ++i) {
            Bytes damaged = file;
            for (int f = 0, flips = 1 + int(random() % 4); f < flips; ++f) {
                // Directory and header bytes are where damage does harm; hit them more often.
                size_t at =
                    random() % 3 == 0
                        ? random() % 8
                        : damaged.size() - 1 - random() % std::min<size_t>(200, damaged.size());
                damaged[at] = uint8_t(random());
            }
            int32_t status = ReadEverything(damaged, format);
            EXPECT_TRUE(-9 <= status && status <= 0) << status;
            failures += status != 0;
            ++runs;
        }
    }
    // Not every change is fatal, but most changes to a directory are.
    EXPECT_GT(failures, runs / 4);
}

TEST_F(TiffHostileTest, OffsetsAndCountsBeyondTheFileAreCaughtBeforeUse) {
    auto build = [](auto change) {
        TiffBuilder b = TiffBuilder::Grey(8, 6, 3, false);
        change(b);
        return b.Build();
    };
    auto statusOf = [&](auto change, uint32_t format = kRasFormatTiff) {
        return ReadEverything(build(change), format);
    };
    // Values stored elsewhere in the file: an offset past its end is a failed seek, data that
    // runs past its end a short read.
    Bytes file = build([](TiffBuilder&) {});
    file[4] = 0xF0, file[5] = 0xFF;  // directory offset past the end
    EXPECT_EQ(ReadEverything(file), -7);

    file = build([](TiffBuilder&) {});
    size_t ifd = file[4] | file[5] << 8;
    file[ifd] = 0xFF, file[ifd + 1] = 0xFF;  // 65535 entries in a short file
    EXPECT_EQ(ReadEverything(file), -5);

    // A billion strip offsets would need 4 GB; the count is refused against the file's size.
    EXPECT_EQ(statusOf([](TiffBuilder& b) { b.Raw(273, 4, 0x40000000, {0x10, 0, 0, 0}); }), -5);
    EXPECT_EQ(statusOf([](TiffBuilder& b) { b.Raw(34675, 7, 0x7FFFFFFF, {8, 0, 0, 0}); }), -5);
    EXPECT_EQ(statusOf([](TiffBuilder& b) { b.Raw(320, 3, 768, {0xFF, 0xFF, 0, 0}); }), -7);
    // A strip outside the file, or running past its end, is found when its line is read.
    EXPECT_EQ(statusOf([](TiffBuilder& b) { b.Ints(273, 4, {8, 0x7FFFFF00}); }), -7);
    uint32_t size = uint32_t(build([](TiffBuilder&) {}).size());
    EXPECT_EQ(statusOf([&](TiffBuilder& b) { b.Ints(273, 4, {8, size - 10}); }), -5);
    // A directory that describes far more data than the file holds takes no memory for it.
    ul_maxTotal = ul_total;
    EXPECT_EQ(statusOf([](TiffBuilder& b) {
                  b.Ints(256, 4, {0x01000000});
                  b.Ints(279, 4, {0x03000000, 0x03000000});
              }),
              -5);
    EXPECT_LT(ul_maxTotal - ul_total, 1u << 20);
    // Strip arrays shorter than the image says.
    EXPECT_EQ(statusOf([](TiffBuilder& b) { b.Ints(257, 4, {600}); }), -8);
    // Rows that could not be addressed with the file layer's counts.
    auto huge = [](TiffBuilder& b) {
        b.Ints(256, 4, {0x7FFFFFFF});
        b.Ints(258, 3, {16, 16, 16, 16});
        b.Ints(277, 3, {4});
        b.Ints(262, 3, {5});
    };
    EXPECT_EQ(statusOf(huge, kRasFormatTiff16), -9);
    // Entries given twice replace each other without losing a block (the fixture counts them).
    EXPECT_EQ(statusOf([](TiffBuilder& b) {
                  b.unsorted = true;
                  b.Ints(279, 4, {24, 24});
                  b.order.push_back(279);  // and once more
              }),
              0);
}

}  // namespace
}  // namespace imagelib_test
