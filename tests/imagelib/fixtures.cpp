#include "tests/imagelib/fixtures.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <jpeglib.h>

#include "imagelib/ras_embed.h"
#include "imagelib/tiff_reader.h"
#include "platform/mem.h"

namespace imagelib_test {

std::string TiffLayout::Describe() const {
    std::ostringstream s;
    s << (bigEndian ? "MM" : "II") << " bits " << bits << " spp " << samples << " photometric "
      << photometric << " planar " << planar << " rps " << rowsPerStrip << " tile " << tileWidth
      << "x" << tileLength << " " << width << "x" << height;
    return s.str();
}

uint32_t Sample(uint32_t x, uint32_t y, uint32_t c, uint16_t bits) {
    uint32_t h = (x * 73856093u) ^ (y * 19349663u) ^ ((c + 1) * 83492791u);
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return bits == 16 ? (h & 0xFFFF) : (h & 0xFF);
}

bool WriteTiff(const std::string& path, const TiffLayout& l) {
    TIFF* t = TIFFOpen(path.c_str(), l.bigEndian ? "wb" : "wl");
    if (t == nullptr) {
        ADD_FAILURE() << "libtiff cannot create " << path;
        return false;
    }
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, l.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, l.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, l.bits);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, l.samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, l.photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, l.planar);
    TIFFSetField(t, TIFFTAG_COMPRESSION, l.compression);
    if (l.photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
    if (!l.colourMap.empty()) {
        std::vector<uint16_t> m = l.colourMap;
        TIFFSetField(t, TIFFTAG_COLORMAP, m.data(), m.data() + 256, m.data() + 512);
    }
    if (!l.profile.empty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(l.profile.size()), l.profile.data());
    if (l.xResolution > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, l.xResolution);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, l.xResolution);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, l.resolutionUnit);
    }
    // Blocks of bw x bh pixels: tiles, or strips as wide as the image.
    bool planar = l.planar == 2 && l.samples > 1, tiled = l.tileLength != 0;
    uint32_t spp = planar ? 1 : l.samples, bytes = l.bits / 8;
    uint32_t bw = tiled && l.tileWidth != 0 ? l.tileWidth : l.width;
    uint32_t bh = tiled ? l.tileLength : l.rowsPerStrip != 0 ? l.rowsPerStrip : l.height;
    TIFFSetField(t, tiled ? TIFFTAG_TILELENGTH : TIFFTAG_ROWSPERSTRIP, bh);
    if (tiled) TIFFSetField(t, TIFFTAG_TILEWIDTH, bw);
    std::vector<uint8_t> block(size_t(bw) * bh * spp * bytes);
    bool ok = true;
    for (uint32_t s = 0; s < (planar ? l.samples : 1u); ++s) {
        for (uint32_t by = 0; by < l.height; by += bh) {
            for (uint32_t bx = 0; bx < l.width; bx += bw) {
                std::fill(block.begin(), block.end(), 0);
                uint32_t rows = std::min(bh, l.height - by);
                for (uint32_t i = 0; i < rows * bw * spp; ++i) {
                    uint32_t x = bx + i / spp % bw, y = by + i / spp / bw, c = planar ? s : i % spp;
                    uint16_t v = x < l.width ? uint16_t(Sample(x, y, c, l.bits)) : 0;
                    if (bytes == 2) std::memcpy(&block[2 * i], &v, 2);
                    if (bytes == 1) block[i] = uint8_t(v);
                }
                ok = ok && (tiled ? TIFFWriteTile(t, block.data(), bx, by, 0, uint16_t(s))
                                  : TIFFWriteEncodedStrip(t, TIFFComputeStrip(t, by, uint16_t(s)),
                                                          block.data(),
                                                          tmsize_t(rows) * bw * spp * bytes)) >= 0;
            }
        }
    }
    TIFFClose(t);
    EXPECT_TRUE(ok) << "libtiff could not write " << l.Describe();
    return ok;
}

Planes ExpectedPlanes(const TiffLayout& l) {
    const uint16_t* map = l.colourMap.empty() ? nullptr : l.colourMap.data();
    bool greyMap = map != nullptr && std::equal(map, map + 256, map + 256) &&
                   std::equal(map, map + 256, map + 512);
    uint32_t maxValue = l.bits == 16 ? 65535 : 255;
    Planes out(l.height);
    for (uint32_t y = 0; y < l.height; ++y) {
        for (uint32_t c = 0; c < (map == nullptr ? l.samples : greyMap ? 1u : 3u); ++c) {
            std::vector<uint32_t> plane(l.width);
            for (uint32_t x = 0; x < l.width; ++x) {
                uint32_t v = Sample(x, y, map == nullptr ? c : 0, l.bits);
                if (map != nullptr) v = map[c * 256 + v] / 257;
                if (l.photometric == PHOTOMETRIC_MINISWHITE) v = maxValue - v;
                if (l.photometric == PHOTOMETRIC_CIELAB && c > 0) v = v < 128 ? v + 128 : v - 128;
                plane[x] = v;
            }
            out[y].push_back(plane);
        }
    }
    return out;
}

namespace {

void PutNumber(Bytes& b, uint32_t v, uint32_t size, bool bigEndian) {
    for (uint32_t i = 0; i < size; ++i) {
        uint32_t shift = bigEndian ? 8 * (size - 1 - i) : 8 * i;
        b.push_back(uint8_t(v >> shift));
    }
}

}  // namespace

void TiffBuilder::Raw(uint16_t tag, uint16_t type, uint32_t count, const Bytes& value) {
    if (entries.count(tag) == 0) order.push_back(tag);
    entries[tag] = Entry{type, count, value};
}

void TiffBuilder::Ints(uint16_t tag, uint16_t type, const std::vector<uint32_t>& values) {
    uint32_t size = type == 1 ? 1 : type == 3 ? 2 : 4;
    Bytes b;
    for (uint32_t v : values) PutNumber(b, v, size, bigEndian);
    Raw(tag, type, type == 5 ? uint32_t(values.size() / 2) : uint32_t(values.size()), b);
}

TiffBuilder TiffBuilder::Grey(uint32_t w, uint32_t h, uint32_t rowsPerStrip, bool bigEndian) {
    TiffBuilder b;
    b.bigEndian = bigEndian;
    b.Ints(256, 3, {w});
    b.Ints(257, 3, {h});
    b.Ints(258, 3, {8});
    b.Ints(259, 3, {1});
    b.Ints(262, 3, {1});
    b.Ints(277, 3, {1});
    b.Ints(278, 4, {rowsPerStrip});
    for (uint32_t y0 = 0; y0 < h; y0 += rowsPerStrip) {
        Bytes strip;
        for (uint32_t y = y0; y < std::min(h, y0 + rowsPerStrip); ++y) {
            for (uint32_t x = 0; x < w; ++x) strip.push_back(uint8_t(Sample(x, y, 0, 8)));
        }
        b.strips.push_back(strip);
    }
    return b;
}

Bytes TiffBuilder::Build() const {
    Bytes out;
    out.push_back(bigEndian ? 'M' : 'I');
    out.push_back(bigEndian ? 'M' : 'I');
    PutNumber(out, 42, 2, bigEndian);
    PutNumber(out, 0, 4, bigEndian);
    TiffBuilder all = *this;
    std::vector<uint32_t> offsets, counts;
    for (const Bytes& s : strips) {
        offsets.push_back(uint32_t(out.size()));
        counts.push_back(uint32_t(s.size()));
        out.insert(out.end(), s.begin(), s.end());
    }
    if (!strips.empty()) {
        if (entries.count(273) == 0) all.Ints(273, stripArrayType, offsets);
        if (entries.count(279) == 0) all.Ints(279, stripArrayType, counts);
    }
    std::vector<uint16_t> tags = all.order;
    if (!unsorted) std::sort(tags.begin(), tags.end());
    std::map<uint16_t, uint32_t> where;
    for (uint16_t tag : tags) {
        const Entry& e = all.entries.at(tag);
        if (e.value.size() <= 4) continue;
        if (out.size() % 2) out.push_back(0);
        where[tag] = uint32_t(out.size());
        out.insert(out.end(), e.value.begin(), e.value.end());
    }
    if (out.size() % 2) out.push_back(0);
    uint32_t ifd = uint32_t(out.size());
    PutNumber(out, uint32_t(tags.size()), 2, bigEndian);
    for (uint16_t tag : tags) {
        const Entry& e = all.entries.at(tag);
        PutNumber(out, tag, 2, bigEndian);
        PutNumber(out, e.type, 2, bigEndian);
        PutNumber(out, e.count, 4, bigEndian);
        if (e.value.size() <= 4) {
            Bytes v = e.value;
            v.resize(4, 0);
            out.insert(out.end(), v.begin(), v.end());
        } else {
            PutNumber(out, where[tag], 4, bigEndian);
        }
    }
    PutNumber(out, 0, 4, bigEndian);
    Bytes head;
    PutNumber(head, ifd, 4, bigEndian);
    std::copy(head.begin(), head.end(), out.begin() + 4);
    return out;
}

uint8_t Smooth(uint32_t x, uint32_t y, uint32_t c) {
    return uint8_t(128 + 100 * std::sin(x / 7.0 + c) * std::cos(y / 9.0 - c));
}

Bytes WriteJpeg(const JpegLayout& l) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = l.width;
    c.image_height = l.height;
    c.input_components = l.components;
    c.in_color_space = l.components == 1 ? JCS_GRAYSCALE : l.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, l.quality, TRUE);
    if (l.progressive) jpeg_simple_progression(&c);
    if (l.densityUnit != 0) {
        c.density_unit = l.densityUnit;
        c.X_density = c.Y_density = l.density;
    }
    jpeg_start_compress(&c, TRUE);
    if (!l.profile.empty())
        jpeg_write_icc_profile(&c, l.profile.data(), unsigned(l.profile.size()));
    std::vector<uint8_t> row(size_t(l.width) * l.components);
    while (c.next_scanline < c.image_height) {
        for (uint32_t x = 0; x < l.width; ++x) {
            for (int k = 0; k < l.components; ++k)
                row[x * l.components + k] = Smooth(x, c.next_scanline, k);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

std::vector<Bytes> DecodeJpeg(const Bytes& file) {
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), file.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    std::vector<Bytes> rows;
    while (d.output_scanline < d.output_height) {
        Bytes row(size_t(d.output_width) * d.output_components);
        JSAMPROW p[1] = {row.data()};
        jpeg_read_scanlines(&d, p, 1);
        rows.push_back(row);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return rows;
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Planes ReadAll(const FLSpec* spec, uint32_t format, const std::vector<uint32_t>& order,
               int32_t* status, RasImage* described) {
    RasImage image;
    image.format = format;
    *status = RasOpen(spec, "r", &image);
    if (described != nullptr) *described = image;
    if (*status != 0) return {};
    Planes rows(image.height);
    RasSl sl;
    for (uint32_t y : order) {
        if (y >= image.height) continue;
        *status = RasReadSl(&image, y, &sl);
        if (*status != 0) break;
        rows[y].clear();
        for (uint32_t c = 0; c < sl.channels; ++c) {
            std::vector<uint32_t> plane(sl.width);
            for (uint32_t x = 0; x < sl.width; ++x)
                plane[x] = sl.planes16[c] ? sl.planes16[c][x] : sl.planes8[c][x];
            rows[y].push_back(plane);
        }
    }
    RasFreeSl(&sl);
    int32_t closed = RasClose(&image);
    if (*status == 0) *status = closed;
    return rows;
}

std::vector<uint32_t> InOrder(uint32_t n) {
    std::vector<uint32_t> v(n);
    for (uint32_t i = 0; i < n; ++i) v[i] = i;
    return v;
}

std::vector<uint32_t> Shuffled(uint32_t n, uint32_t seed) {
    std::vector<uint32_t> v = InOrder(n);
    std::shuffle(v.begin(), v.end(), std::mt19937(seed));
    return v;
}

void ImagelibTest::SetUp() {
    PlatformTest::SetUp();
    TIFFSetWarningHandler(nullptr);
    blocksAtStart_ = ul_nMallocs;
}

void ImagelibTest::TearDown() {
    TiffSetStripBufferLimit(0xFFFFFFFFu - kMemOverhead);
    RasEmbedEmptyAll();
    EXPECT_EQ(ul_nMallocs, blocksAtStart_)
        << "blocks taken from the memory manager and not given back";
    PlatformTest::TearDown();
}

FLSpec ImagelibTest::Disk(const std::string& name) const {
    FLSpec spec;
    FLSpecDisk(&spec, Path(name).c_str());
    return spec;
}

FLSpec ImagelibTest::Memory(Bytes& bytes) {
    FLSpec spec;
    FLSpecMemory(&spec, bytes.data(), int32_t(bytes.size()));
    return spec;
}

}  // namespace imagelib_test
