// Image files: layouts written by libtiff and libpng themselves are read correctly, what we write
// is read back by the libraries' own independent paths, and damaged or unsupported files give a
// reason instead of a crash. PAM, our own code, is checked against the bytes other Netpbm
// programs write and read.
#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>

#include <cstring>

#include "tests/tools/host_test_support.h"

namespace {

using fhtest::MakeImage;

class ImageFiles : public fhtest::TempDirTest {};

// Writes the image with libtiff in the layout asked for.
void WriteTiffAs(const std::string& path, const Image& image, uint16_t compression, bool planar,
                 bool tiled, uint16_t photometric) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(image.channels));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(image.depth));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (image.channels == 2 || image.channels == 4) {
        uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
    }
    const int32_t bytes = image.depth / 8, max = image.depth == 16 ? 65535 : 255;
    const int32_t passes = planar ? image.channels : 1, per = planar ? 1 : image.channels;
    if (tiled) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, 16u);
        TIFFSetField(t, TIFFTAG_TILELENGTH, 16u);
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 3u);
    }
    // Blocks of 16 x 16 pixels (tiles) or one row (scanlines), zero beyond the image.
    const int32_t bw = tiled ? 16 : image.width, bh = tiled ? 16 : 1;
    std::vector<uint8_t> block(size_t(bw * bh * per * bytes));
    for (int32_t s = 0; s < passes; ++s) {
        for (int32_t by = 0; by < image.height; by += bh) {
            for (int32_t bx = 0; bx < image.width; bx += bw) {
                std::fill(block.begin(), block.end(), 0);
                for (int32_t y = by; y < std::min(by + bh, image.height); ++y) {
                    for (int32_t x = bx; x < std::min(bx + bw, image.width); ++x) {
                        for (int32_t c = 0; c < per; ++c) {
                            uint16_t v = image.At(y, x, planar ? s : c);
                            if (photometric == PHOTOMETRIC_MINISWHITE) v = uint16_t(max - v);
                            const size_t at = size_t(((y - by) * bw + (x - bx)) * per + c);
                            std::memcpy(&block[at * size_t(bytes)], &v, size_t(bytes));
                        }
                    }
                }
                if (tiled) {
                    ASSERT_GE(
                        TIFFWriteTile(t, block.data(), uint32_t(bx), uint32_t(by), 0, uint16_t(s)),
                        0);
                } else {
                    ASSERT_GE(TIFFWriteScanline(t, block.data(), uint32_t(by), uint16_t(s)), 0);
                }
            }
        }
    }
    TIFFClose(t);
}

TEST_F(ImageFiles, TiffLayoutsAllReadToTheSamePixels) {
    struct Layout {
        int32_t channels, depth;
        uint16_t compression;
        bool planar, tiled;
        uint16_t photometric;
    };
    const Layout layouts[] = {
        {3, 8, COMPRESSION_NONE, false, false, PHOTOMETRIC_RGB},
        {3, 16, COMPRESSION_LZW, true, false, PHOTOMETRIC_RGB},
        {4, 8, COMPRESSION_ADOBE_DEFLATE, true, true, PHOTOMETRIC_RGB},
        {4, 16, COMPRESSION_PACKBITS, false, true, PHOTOMETRIC_RGB},
        {1, 8, COMPRESSION_NONE, false, false, PHOTOMETRIC_MINISWHITE},
        {2, 16, COMPRESSION_LZW, false, false, PHOTOMETRIC_MINISBLACK},
    };
    int n = 0;
    for (const Layout& l : layouts) {
        Image expected = MakeImage(37, 21, l.channels, l.depth, uint32_t(n));
        std::string path = Path("layout" + std::to_string(n++) + ".tif");
        WriteTiffAs(path, expected, l.compression, l.planar, l.tiled, l.photometric);
        Image got = fhtest::LoadImage(path);
        EXPECT_EQ(got.channels, l.channels) << path;
        EXPECT_EQ(got.depth, l.depth) << path;
        EXPECT_EQ(got.samples, expected.samples) << path;
    }
}

TEST_F(ImageFiles, WhatWeWriteTheLibrariesReadBack) {
    // TIFF: libtiff's own RGBA reader (an independent decoding path) sees our pixels.
    Image rgb = MakeImage(19, 13, 3, 8, 2);
    fhtest::SaveImage(Path("out.tif"), rgb);
    TIFF* t = TIFFOpen(Path("out.tif").c_str(), "r");
    ASSERT_NE(t, nullptr);
    std::vector<uint32_t> raster(19 * 13);
    ASSERT_TRUE(TIFFReadRGBAImageOriented(t, 19, 13, raster.data(), ORIENTATION_TOPLEFT, 0));
    TIFFClose(t);
    for (int32_t y = 0; y < 13; ++y) {
        for (int32_t x = 0; x < 19; ++x) {
            uint32_t p = raster[size_t(y * 19 + x)];
            ASSERT_EQ((std::vector<uint32_t>{TIFFGetR(p), TIFFGetG(p), TIFFGetB(p)}),
                      (std::vector<uint32_t>{rgb.At(y, x, 0), rgb.At(y, x, 1), rgb.At(y, x, 2)}));
        }
    }
    Image rgba = MakeImage(19, 13, 4, 8, 3);
    // PNG: libpng's simplified reader, 8-bit RGBA.
    fhtest::SaveImage(Path("out.png"), rgba);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, Path("out.png").c_str()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    for (size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(pixels[i], rgba.samples[i]);

    // 16-bit and grey round trips through our own reader; JPEG within its loss.
    for (const char* name : {"deep.png", "deep.tif"}) {
        Image deep = MakeImage(11, 7, 3, 16, 4);
        fhtest::SaveImage(Path(name), deep);
        EXPECT_EQ(fhtest::LoadImage(Path(name)).samples, deep.samples) << name;
    }
    Image smooth = fhtest::BlankImage(32, 16, 3);
    for (size_t i = 0; i < smooth.samples.size(); ++i)
        smooth.samples[i] = uint16_t(40 + (i / 3) % 32 * 5 + i % 3 * 20);
    fhtest::SaveImage(Path("smooth.jpg"), smooth);
    Image jpeg = fhtest::LoadImage(Path("smooth.jpg"));
    ASSERT_EQ(jpeg.samples.size(), smooth.samples.size());
    for (size_t i = 0; i < jpeg.samples.size(); ++i)
        ASSERT_LE(std::abs(jpeg.samples[i] - smooth.samples[i]), 8) << i;
}

TEST_F(ImageFiles, PalettePngWithTransparencyBecomesRgba) {
    FILE* f = std::fopen(Path("palette.png").c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, 3, 2, 4, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_ADAM7,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[3] = {{255, 0, 0}, {0, 255, 0}, {1, 2, 3}};
    png_byte alpha[1] = {7};
    png_set_PLTE(png, info, palette, 3);
    png_set_tRNS(png, info, alpha, 1, nullptr);
    png_write_info(png, info);
    png_byte rows[2][2] = {{0x01, 0x20}, {0x21, 0x00}};  // indices 0 1 2 / 2 1 0, four bits each
    png_bytep pointers[2] = {rows[0], rows[1]};
    png_write_image(png, pointers);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    Image got = fhtest::LoadImage(Path("palette.png"));
    ASSERT_EQ(got.channels, 4);
    EXPECT_EQ(got.samples, (std::vector<uint16_t>{255, 0, 0, 7,   0, 255, 0, 255, 1,   2, 3, 255,
                                                  1,   2, 3, 255, 0, 255, 0, 255, 255, 0, 0, 7}));
}

TEST_F(ImageFiles, DamagedAndUnsupportedFilesGiveAReason) {
    Image image;
    std::string error;
    Image rgb = MakeImage(40, 30, 3, 8, 5);
    for (const char* name : {"cut.png", "cut.tif", "cut.jpg"}) {
        fhtest::SaveImage(Path(name), rgb);
        std::string bytes = fhtest::ReadText(Path(name));
        fhtest::WriteFileBytes(Path(name), bytes.substr(0, bytes.size() / 2));
        EXPECT_FALSE(ReadImageFile(Path(name), &image, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    TIFF* t = TIFFOpen(Path("cmyk.tif").c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 1u);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 1u);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(4));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    uint8_t pixel[4] = {};
    TIFFWriteScanline(t, pixel, 0, 0);
    TIFFClose(t);
    EXPECT_FALSE(ReadImageFile(Path("cmyk.tif"), &image, &error));
    EXPECT_EQ(error, "TIFF colour model 5 is not supported (only RGB and grey)");
    fhtest::WriteFileBytes(Path("text.png"), "hello");
    EXPECT_FALSE(ReadImageFile(Path("text.png"), &image, &error));
    EXPECT_EQ(error, "not a TIFF, PNG, JPEG or PAM file");

    EXPECT_EQ(FormatFromPath("a/b.TIFF"), ImageFormat::kTiff);
    EXPECT_EQ(FormatFromPath("a.b/c"), ImageFormat::kUnknown);
    Image rgba = MakeImage(2, 2, 4, 8, 6);
    EXPECT_FALSE(WriteImageFile(Path("a.jpg"), ImageFormat::kJpeg, rgba, &error));
    EXPECT_EQ(error, "JPEG cannot hold transparency; write TIFF or PNG");
    EXPECT_FALSE(fhtest::Exists(Path("a.jpg")));
}

// PAM is the format both systems' hosts write with the same code: the bytes are fixed, 16-bit
// samples most significant byte first, and every channel count survives the round trip.
TEST_F(ImageFiles, PamHoldsEveryLayoutAndWritesTheStandardBytes) {
    std::string error;
    for (int32_t depth : {8, 16}) {
        for (int32_t channels = 1; channels <= 4; ++channels) {
            SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(depth));
            Image image = MakeImage(7, 5, channels, depth, uint32_t(channels * depth));
            ASSERT_TRUE(WriteImageFile(Path("a.pam"), ImageFormat::kPam, image, &error)) << error;
            Image back;
            ASSERT_TRUE(ReadImageFile(Path("a.pam"), &back, &error)) << error;
            EXPECT_EQ(back.channels, channels);
            EXPECT_EQ(back.depth, depth);
            EXPECT_EQ(back.samples, image.samples);
        }
    }
    Image two;
    two.width = 2;
    two.height = 1;
    two.channels = 2;
    two.depth = 16;
    two.samples = {0x1234, 0xFFFF, 0x0001, 0x8000};
    ASSERT_TRUE(WriteImageFile(Path("two.pam"), ImageFormat::kPam, two, &error)) << error;
    EXPECT_EQ(fhtest::ReadText(Path("two.pam")),
              std::string("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 2\nMAXVAL 65535\n"
                          "TUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n"
                          "\x12\x34\xFF\xFF\x00\x01\x80\x00",
                          81));
    EXPECT_EQ(FormatFromPath("C:\\out\\a.PAM"), ImageFormat::kPam);
}

// What other programs write: PGM and PPM, header comments, maxvals other than 255 and 65535
// (scaled to the nearest 8- or 16-bit value); and damaged files give a reason.
TEST_F(ImageFiles, PamReadsNetpbmVariantsAndRefusesDamagedFiles) {
    std::string error;
    Image image;
    fhtest::WriteFileBytes(Path("a.ppm"), std::string("P6\n# made by hand\n2 1 15\n\x0F\x00\x07"
                                                      "\x01\x02\x03",
                                                      31));
    ASSERT_TRUE(ReadImageFile(Path("a.ppm"), &image, &error)) << error;
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(image.depth, 8);
    EXPECT_EQ(image.samples, (std::vector<uint16_t>{255, 0, 119, 17, 34, 51}));
    fhtest::WriteFileBytes(Path("a.pgm"), std::string("P5 1 2 1023 \x03\xFF\x02\x00", 16));
    ASSERT_TRUE(ReadImageFile(Path("a.pgm"), &image, &error)) << error;
    EXPECT_EQ(image.depth, 16);
    EXPECT_EQ(image.samples, (std::vector<uint16_t>{65535, 32800}));

    const std::string header = "P7\nWIDTH 2\nHEIGHT 2\nDEPTH 3\nMAXVAL 255\nENDHDR\n";
    fhtest::WriteFileBytes(Path("cut.pam"), header + "abcdefgh");
    EXPECT_FALSE(ReadImageFile(Path("cut.pam"), &image, &error));
    EXPECT_EQ(error, "the file ends in row 1");
    fhtest::WriteFileBytes(Path("deep.pam"),
                           "P7\nWIDTH 2\nHEIGHT 2\nDEPTH 5\nMAXVAL 255\nENDHDR\n");
    EXPECT_FALSE(ReadImageFile(Path("deep.pam"), &image, &error));
    EXPECT_EQ(error, "bad DEPTH in the PAM header");
    fhtest::WriteFileBytes(Path("huge.pam"),
                           "P7\nWIDTH 100000\nHEIGHT 100000\nDEPTH 4\nMAXVAL 255\nENDHDR\n");
    EXPECT_FALSE(ReadImageFile(Path("huge.pam"), &image, &error));
    EXPECT_EQ(error.rfind("the image is too large", 0), 0u) << error;
    fhtest::WriteFileBytes(Path("over.pgm"), std::string("P5 2 1 100\n\x64\x65", 13));
    EXPECT_FALSE(ReadImageFile(Path("over.pgm"), &image, &error));
    EXPECT_EQ(error, "a sample above MAXVAL in row 0");
    fhtest::WriteFileBytes(Path("short.pam"), "P7\nWIDTH 2\nENDHDR\n");
    EXPECT_FALSE(ReadImageFile(Path("short.pam"), &image, &error));
    EXPECT_EQ(error, "the PAM header lacks WIDTH, HEIGHT, DEPTH or MAXVAL");
}

}  // namespace
