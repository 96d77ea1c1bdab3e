// filterhost's document of an image file: samples served in the host's scale, the result made
// row by row as the filter writes, and 16-bit pixels the filter never writes leaving exactly as
// they came (through the host's 0..32768 scale they would come back off by one).
#include <cstring>
#include <filesystem>

#include "tests/tools/host_test_support.h"
#include "tools/filterhost/file_document.h"
#include "tools/filterhost/plain_tiff.h"

namespace {

using fhtest::LoadImage;
using fhtest::MakeImage;
using fhtest::SaveImage;

class FileDocumentTest : public fhtest::TempDirTest {
   protected:
    FileDocument Open(const Image& image) {
        SaveImage(Path("in.tif"), image);
        ImageRows rows;
        std::string error;
        EXPECT_TRUE(ReadImageRows(Path("in.tif"), &header_, &rows, &error)) << error;
        return FileDocument(header_, std::move(rows));
    }
    Image header_;
};

uint16_t Sample16(const std::vector<uint8_t>& bytes, size_t i) {
    uint16_t v;
    std::memcpy(&v, bytes.data() + 2 * i, 2);
    return v;
}

TEST_F(FileDocumentTest, ServesTheHostScaleAndKeepsUnwrittenPixelsExactly) {
    const Image in = MakeImage(7, 5, 4, 16, 21);
    FileDocument doc = Open(in);
    ASSERT_EQ(doc.Depth(), 16);
    // Planes 1..2 of row 3, columns 2..5: converted to 0..32768.
    std::vector<uint8_t> got(4 * 2 * 2);
    ASSERT_TRUE(doc.ReadSource(VRect{3, 2, 4, 6}, 1, 2, got.data(), 16, nullptr));
    for (int x = 0; x < 4; ++x) {
        for (int p = 0; p < 2; ++p) {
            EXPECT_EQ(Sample16(got, size_t(x * 2 + p)), FileToHost16(in.At(3, 2 + x, 1 + p)));
        }
    }
    // The filter writes plane 0 of row 1, columns 1..2 only.
    const uint16_t written[2] = {100, 32768};
    ASSERT_TRUE(doc.WriteResult(VRect{1, 1, 2, 3}, 0, 1, reinterpret_cast<const uint8_t*>(written),
                                4, nullptr));
    EXPECT_EQ(doc.RowsWritten(), 1);
    // Reading the result: the written row comes back as written, another row is left alone when
    // unwritten rows may stay.
    std::vector<uint8_t> result(2 * 7 * 4 * 2, 0xAB);
    ASSERT_TRUE(doc.ReadResult(VRect{0, 0, 2, 7}, 0, 4, result.data(), 7 * 4 * 2, true, nullptr));
    EXPECT_EQ(result[0], 0xAB) << "row 0 was never written";
    EXPECT_EQ(Sample16(result, 7 * 4 + 1 * 4), 100u);
    EXPECT_EQ(Sample16(result, 7 * 4 + 2 * 4), 32768u);

    auto rows = doc.ResultRows();
    for (int32_t y = 0; y < in.height; ++y) {
        const uint8_t* row = rows(y);
        for (int32_t x = 0; x < in.width; ++x) {
            for (int32_t p = 0; p < 4; ++p) {
                uint16_t v;
                std::memcpy(&v, row + 2 * size_t(x * 4 + p), 2);
                uint16_t want = in.At(y, x, p);
                if (y == 1 && p == 0 && x == 1) want = HostToFile16(100);
                if (y == 1 && p == 0 && x == 2) want = 65535;
                ASSERT_EQ(v, want) << y << "," << x << "," << p;
            }
        }
    }
}

TEST_F(FileDocumentTest, SixteenBitPixelsOutsideTheSelectionLeaveFilterhostAsTheyCame) {
    Image in = MakeImage(12, 9, 3, 16, 22), mask = fhtest::BlankImage(12, 9, 1);
    for (int32_t y = 3; y < 6; ++y) {
        for (int32_t x = 4; x < 9; ++x) mask.At(y, x, 0) = 255;
    }
    SaveImage(Path("mask.png"), mask);
    // Compressed, the result is held and written at the end; uncompressed, it goes into the
    // output file as the filter writes it.
    for (int32_t compression : {5, 1}) {
        SCOPED_TRACE(compression);
        in.tiffCompression = compression;
        SaveImage(Path("in.tif"), in);
        auto r = fhtest::RunHost({"--plugin", TEST_MODULE_PATH, "--mask", Path("mask.png"),
                                  Path("in.tif"), Path("out.tif")},
                                 {"FHTEST=op=invert"});
        ASSERT_EQ(r.status, 0) << r.err;
        Image out = LoadImage(Path("out.tif"));
        EXPECT_EQ(out.tiffCompression, compression);
        for (int32_t y = 0; y < in.height; ++y) {
            for (int32_t x = 0; x < in.width; ++x) {
                const bool inside = y >= 3 && y < 6 && x >= 4 && x < 9;
                for (int32_t c = 0; c < 3; ++c) {
                    if (inside) {
                        EXPECT_LE(std::abs(int32_t(out.At(y, x, c)) - (65535 - in.At(y, x, c))), 2);
                    } else {
                        ASSERT_EQ(out.At(y, x, c), in.At(y, x, c)) << y << "," << x;
                    }
                }
            }
        }
    }
}

}  // namespace

namespace {

TEST_F(FileDocumentTest, UncompressedFilesAreMappedAndCutOnesRefused) {
    for (int32_t depth : {8, 16}) {
        Image in = MakeImage(9, 70, 3, depth, 23);
        in.tiffCompression = 1;  // none: the rows lie in the file as they are held
        SaveImage(Path("plain.tif"), in);
        Image header;
        ImageRows rows;
        std::string error;
        ASSERT_TRUE(ReadImageRows(Path("plain.tif"), &header, &rows, &error)) << error;
        EXPECT_FALSE(rows.mapped.empty()) << depth;
        EXPECT_EQ(header.tiffCompression, 1);
        for (int32_t y = 0; y < in.height; ++y) {
            for (int32_t i = 0; i < in.width * 3; ++i) {
                uint16_t v = rows.SourceRow(y)[i];
                if (depth == 16) std::memcpy(&v, rows.SourceRow(y) + 2 * i, 2);
                ASSERT_EQ(v, in.samples[size_t(y * in.width * 3 + i)]) << depth << " " << y;
            }
        }
        // Written back uncompressed, as it came.
        FileDocument doc(header, std::move(rows));
        ASSERT_TRUE(
            WriteImageRows(Path("copy.tif"), ImageFormat::kTiff, header, doc.ResultRows(), &error))
            << error;
        Image copy = LoadImage(Path("copy.tif"));
        EXPECT_EQ(copy.samples, in.samples);
        EXPECT_EQ(copy.tiffCompression, 1);

        // A file cut short is refused, never read past its end.
        std::string bytes = fhtest::ReadText(Path("plain.tif"));
        fhtest::WriteFileBytes(Path("cut.tif"), bytes.substr(0, bytes.size() / 2));
        ImageRows cut;
        EXPECT_FALSE(ReadImageRows(Path("cut.tif"), &header, &cut, &error));
    }
}

}  // namespace

namespace {

// The result written into the output file as the filter makes it must be the result held in
// memory: the same filter writes (whole rows of the filter's own layout, a plane over part of a
// row, a row written twice) give the same reading back and the same file.
// The 8-bit rows of an uncompressed file are lent to the filter in place of a copy. The filter
// may write into its input; that must reach neither the source nor a later loan of the same rows.
TEST_F(FileDocumentTest, LentInputReadsAsTheSourceWhateverTheFilterWroteIntoIt) {
    Image in = MakeImage(9, 70, 3, 8, 26);
    in.tiffCompression = 1;
    FileDocument doc = Open(in);
    const size_t fileRow = 9 * 3;
    auto expectSource = [&](const uint8_t* p, size_t rowBytes, const VRect& r) {
        for (int32_t y = r.top; y < r.bottom; ++y) {
            for (int32_t i = 0; i < (r.right - r.left) * 3; ++i) {
                ASSERT_EQ(p[size_t(y - r.top) * rowBytes + size_t(i)],
                          in.samples[size_t(y) * fileRow + size_t(r.left * 3 + i)])
                    << y << "," << i;
            }
        }
    };
    size_t rowBytes = 0;
    const VRect first{10, 2, 40, 9};
    uint8_t* lent = doc.LendSource(first, &rowBytes);
    ASSERT_NE(lent, nullptr);
    EXPECT_EQ(rowBytes, fileRow);
    expectSource(lent, rowBytes, first);
    for (int32_t y = 0; y < 30; ++y) std::memset(lent + size_t(y) * rowBytes, 0x5A, 7 * 3);

    // Rows 30..49 overlap the first loan.
    const VRect second{30, 0, 50, 9};
    uint8_t* again = doc.LendSource(second, &rowBytes);
    ASSERT_NE(again, nullptr);
    expectSource(again, rowBytes, second);
    std::vector<uint8_t> copy(70 * fileRow);
    ASSERT_TRUE(doc.ReadSource(VRect{0, 0, 70, 9}, 0, 3, copy.data(), fileRow, nullptr));
    expectSource(copy.data(), fileRow, VRect{0, 0, 70, 9});
    auto rows = doc.ResultRows();
    for (int32_t y = 0; y < 70; ++y) expectSource(rows(y), fileRow, VRect{y, 0, y + 1, 9});

    // 16-bit samples are served in the host's scale, which the file does not hold: copied.
    in.depth = 16;
    FileDocument wide = Open(in);
    EXPECT_EQ(wide.LendSource(first, &rowBytes), nullptr);

    // A whole run: strips of 7 rows that start 6 rows early, each overwritten by the filter
    // before it asks for the next. Rows go out late, blended with a half selection, so the
    // filter reads the input of the rows shared by two strips again.
    in.depth = 8;
    SaveImage(Path("in.tif"), in);
    Image mask = fhtest::BlankImage(9, 70, 1);
    std::fill(mask.samples.begin(), mask.samples.end(), uint16_t(128));
    SaveImage(Path("mask.png"), mask);
    auto r = fhtest::RunHost(
        {"--plugin", TEST_MODULE_PATH, "--mask", Path("mask.png"), Path("in.tif"), Path("out.tif")},
        {"FHTEST=op=invert,rows=7,delay=3,scribble=1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Image out = LoadImage(Path("out.tif"));
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (size_t i = 0; i < in.samples.size(); ++i) {
        const uint32_t v = in.samples[i];
        ASSERT_EQ(out.samples[i], (127 * v + 128 * (255 - v) + 127) / 255) << i;
    }
}

TEST_F(FileDocumentTest, AResultWrittenIntoTheOutputFileIsTheOneHeldInMemory) {
    for (int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        Image in = MakeImage(23, 40, 4, depth, 24);
        in.tiffCompression = 1;
        const size_t bytes = size_t(depth / 8), fileRow = 23 * 4 * bytes;
        FileDocument held = Open(in);
        FileDocument streamed = Open(in);
        std::string error;
        std::unique_ptr<ResultFile> file =
            ResultFile::Create(Path("streamed.tif"), ImageFormat::kTiff, header_, &error);
        ASSERT_TRUE(file) << error;
        streamed.WriteResultTo(std::move(file));

        std::vector<uint8_t> strip(10 * fileRow), plane(6 * 5 * bytes), back(40 * fileRow);
        for (size_t i = 0; i < strip.size(); ++i) strip[i] = uint8_t(i * 7 + 3);
        for (size_t i = 0; i < plane.size(); ++i) plane[i] = uint8_t(i * 13 + 1);
        if (depth == 16) {
            // Samples within the host's 0..32768.
            for (size_t i = 1; i < strip.size(); i += 2) strip[i] &= 0x7F;
            for (size_t i = 1; i < plane.size(); i += 2) plane[i] &= 0x7F;
        }
        auto writes = [&](FileDocument& doc) {
            std::string why;
            EXPECT_TRUE(doc.WriteResult(VRect{5, 0, 15, 23}, 0, 4, strip.data(), fileRow, &why));
            // Plane 2 of columns 3..8 of rows 12..16: over written rows and fresh ones.
            EXPECT_TRUE(doc.WriteResult(VRect{12, 3, 17, 9}, 2, 1, plane.data(), 6 * bytes, &why));
            // Row 7 again, columns 0..5 of all planes.
            EXPECT_TRUE(doc.WriteResult(VRect{7, 0, 8, 6}, 0, 4, strip.data(), fileRow, &why));
            EXPECT_EQ(why, "");
            std::fill(back.begin(), back.end(), 0);
            EXPECT_TRUE(
                doc.ReadResult(VRect{0, 0, 40, 23}, 0, 4, back.data(), fileRow, false, &why));
            return back;
        };
        const std::vector<uint8_t> fromHeld = writes(held);
        EXPECT_EQ(writes(streamed), fromHeld);
        EXPECT_EQ(streamed.RowsWritten(), held.RowsWritten());

        ASSERT_TRUE(WriteImageRows(Path("held.tif"), ImageFormat::kTiff, header_, held.ResultRows(),
                                   &error))
            << error;
        bool interrupted = true;
        ASSERT_TRUE(streamed.FinishResultFile(&error, &interrupted)) << error;
        EXPECT_FALSE(interrupted);
        const Image a = LoadImage(Path("held.tif")), b = LoadImage(Path("streamed.tif"));
        EXPECT_EQ(b.samples, a.samples);
        EXPECT_EQ(b.tiffCompression, 1);
        // The blocks reserved up front are exactly the rows': no tail of zeros.
        std::vector<uint8_t> head;
        ASSERT_TRUE(PlainTiffHead(header_, &head, &error)) << error;
        EXPECT_EQ(std::filesystem::file_size(Path("streamed.tif")), head.size() + 40 * fileRow);
        EXPECT_EQ(fhtest::FolderEntries(dir_).size(), 3u) << "in.tif, held.tif, streamed.tif";
    }
    // A result file dropped unfinished (the run failed) leaves neither output nor temporary file.
    {
        Image in = MakeImage(5, 3, 3, 8, 25);
        in.tiffCompression = 1;
        FileDocument doc = Open(in);
        std::string error;
        doc.WriteResultTo(
            ResultFile::Create(Path("dropped.tif"), ImageFormat::kTiff, header_, &error));
        ASSERT_TRUE(doc.WritesResultFile()) << error;
    }
    EXPECT_EQ(fhtest::FolderEntries(dir_).size(), 3u);
    EXPECT_FALSE(fhtest::Exists(Path("dropped.tif")));
    // Only an uncompressed TIFF output is written this way.
    Image packed = MakeImage(5, 3, 3, 8, 26);
    packed.tiffCompression = 5;
    std::string error = "x";
    EXPECT_FALSE(ResultFile::Create(Path("p.tif"), ImageFormat::kTiff, packed, &error));
    EXPECT_EQ(error, "");
    packed.tiffCompression = 1;
    EXPECT_FALSE(ResultFile::Create(Path("p.pam"), ImageFormat::kPam, packed, &error));
    // A folder that cannot take the file is named before the filter runs.
    EXPECT_FALSE(ResultFile::Create(Path("missing/p.tif"), ImageFormat::kTiff, packed, &error));
    EXPECT_NE(error.find("cannot create the file"), std::string::npos) << error;
}

}  // namespace
