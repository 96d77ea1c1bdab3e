// Test images for the image-file library, made at run time: TIFF files written by libtiff in a
// chosen layout, TIFF files laid out byte by byte for cases libtiff will not write, and JPEG files
// written and decoded by libjpeg.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "imagelib/ras_image.h"
#include "platform/file.h"
#include "tests/platform/test_support.h"

namespace imagelib_test {

using Bytes = std::vector<uint8_t>;
// Rows of planes: rows[y][c][x], samples as numbers whatever their depth.
using Planes = std::vector<std::vector<std::vector<uint32_t>>>;

// A TIFF layout for libtiff to write. Samples come from Sample() unless a palette is given.
struct TiffLayout {
    bool bigEndian = false;
    uint16_t bits = 8;
    uint16_t samples = 1;
    uint16_t photometric = 1;
    uint16_t planar = 1;
    uint32_t width = 19;
    uint32_t height = 13;
    uint32_t rowsPerStrip = 0;  // 0: one strip for the whole image
    uint32_t tileLength = 0;    // non-zero: tiles of tileWidth x tileLength instead of strips
    uint32_t tileWidth = 0;     // 0: the image width
    uint16_t compression = 1;
    std::vector<uint16_t> colourMap;  // 768 entries for photometric 3
    Bytes profile;                    // written as tag 34675 when not empty
    float xResolution = 0;            // written with resolutionUnit when positive
    uint16_t resolutionUnit = 2;
    std::string Describe() const;
};

// The stored sample of pixel (x, y), channel c: spread over the whole range of the depth.
uint32_t Sample(uint32_t x, uint32_t y, uint32_t c, uint16_t bits);

// Writes the layout with libtiff; fails the test (and returns false) when libtiff refuses.
bool WriteTiff(const std::string& path, const TiffLayout& layout);

// What a reader of this library must deliver for the layout: the stored samples with the
// conversions a scanline reader makes (white-is-zero inversion, palette lookup, signed Lab a and b
// to offset form).
Planes ExpectedPlanes(const TiffLayout& layout);

// A TIFF file laid out by hand: header, strip data, values that do not fit their entry, then
// the directory. Entries are written in the order of their tags unless unsorted is set.
struct TiffBuilder {
    bool bigEndian = false;
    bool unsorted = false;
    std::vector<Bytes> strips;    // laid out after the header; 273 and 279 made from them
    uint16_t stripArrayType = 4;  // SHORT or LONG for 273 and 279
    struct Entry {
        uint16_t type;
        uint32_t count;
        Bytes value;  // already in the file's byte order
    };
    std::map<uint16_t, Entry> entries;
    std::vector<uint16_t> order;  // tags in insertion order

    void Ints(uint16_t tag, uint16_t type, const std::vector<uint32_t>& values);
    void Raw(uint16_t tag, uint16_t type, uint32_t count, const Bytes& value);
    // A minimal 8-bit grey image of w x h with one strip per `rowsPerStrip` rows.
    static TiffBuilder Grey(uint32_t w, uint32_t h, uint32_t rowsPerStrip, bool bigEndian);
    Bytes Build() const;
};

// A JPEG of the given components (1, 3 or 4) and quality from Smooth(); with a profile written
// through libjpeg's ICC marker writer, density in JFIF units when unit is not 0.
struct JpegLayout {
    uint32_t width = 40;
    uint32_t height = 30;
    int components = 3;
    int quality = 95;
    bool progressive = false;
    Bytes profile;
    uint8_t densityUnit = 0;
    uint16_t density = 0;
};
uint8_t Smooth(uint32_t x, uint32_t y, uint32_t c);
Bytes WriteJpeg(const JpegLayout& layout);
// libjpeg's own decoding of the file: rows of interleaved samples.
std::vector<Bytes> DecodeJpeg(const Bytes& file);

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);

// Opens, reads every line in the given order and closes; the planes read, or the first
// failing status in *status. Works on any format of the library.
Planes ReadAll(const FLSpec* spec, uint32_t format, const std::vector<uint32_t>& order,
               int32_t* status, RasImage* described = nullptr);
std::vector<uint32_t> Shuffled(uint32_t n, uint32_t seed);
std::vector<uint32_t> InOrder(uint32_t n);

// Gives each test a private folder and checks that every block taken from the memory manager
// was given back and that the embedded-data store is empty afterwards.
class ImagelibTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const std::string& name) const { return root_ + "/" + name; }
    FLSpec Disk(const std::string& name) const;
    static FLSpec Memory(Bytes& bytes);

    uint32_t blocksAtStart_ = 0;
};

}  // namespace imagelib_test
