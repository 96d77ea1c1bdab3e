// PNG through libpng: any colour type (palette and low-bit grey are expanded to 8 bits, a tRNS
// chunk becomes an alpha channel), interlaced or not, 8 or 16 bits; written back as grey, grey
// with alpha, RGB or RGBA in the image's depth, with the resolution as a pHYs chunk.
//
// libpng reports errors by longjmp. Every libpng call therefore runs in a function whose own
// locals are plain values (no destructors are skipped by the jump); the vectors live in the
// callers, sized between the calls.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/os.h"
#include "tools/filterhost/image_file.h"

namespace {

struct PngContext {
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;
    char message[256] = "";
};

void OnError(png_structp png, png_const_charp text) {
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    std::snprintf(context->message, sizeof context->message, "%s", text);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Reads the header and sets the transformations; fills the image's size fields.
bool ReadHeader(PngContext* c, Image* image) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_init_io(c->png, c->file);
    png_read_info(c->png, c->info);
    int colorType = png_get_color_type(c->png, c->info);
    int bitDepth = png_get_bit_depth(c->png, c->info);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(c->png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(c->png);
    if (png_get_valid(c->png, c->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(c->png);
    png_set_interlace_handling(c->png);
    png_read_update_info(c->png, c->info);
    image->width = int32_t(png_get_image_width(c->png, c->info));
    image->height = int32_t(png_get_image_height(c->png, c->info));
    image->channels = png_get_channels(c->png, c->info);
    image->depth = png_get_bit_depth(c->png, c->info);
    png_uint_32 xppm = 0, yppm = 0;
    int unit = 0;
    if (png_get_pHYs(c->png, c->info, &xppm, &yppm, &unit) && unit == PNG_RESOLUTION_METER &&
        xppm > 0 && yppm > 0) {
        image->xResolution = xppm * 0.0254;
        image->yResolution = yppm * 0.0254;
    }
    return true;
}

bool ReadRows(PngContext* c, png_bytepp rows) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_read_image(c->png, rows);
    png_read_end(c->png, nullptr);
    return true;
}

bool WriteAll(PngContext* c, const Image& image, png_bytepp rows) {
    if (setjmp(png_jmpbuf(c->png))) return false;
    png_init_io(c->png, c->file);
    static const int kTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                  PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_IHDR(c->png, c->info, png_uint_32(image.width), png_uint_32(image.height), image.depth,
                 kTypes[image.channels], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(c->png, c->info, png_uint_32(image.xResolution / 0.0254 + 0.5),
                 png_uint_32(image.yResolution / 0.0254 + 0.5), PNG_RESOLUTION_METER);
    png_write_info(c->png, c->info);
    png_write_image(c->png, rows);
    png_write_end(c->png, nullptr);
    return true;
}

}  // namespace

bool ReadPng(const std::string& path, Image* image, std::string* error) {
    PngContext c;
    c.file = Os_OpenFile(path.c_str(), "rb");
    if (c.file == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    c.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &c, OnError, OnWarning);
    if (c.png != nullptr) c.info = png_create_info_struct(c.png);
    bool ok = c.info != nullptr;
    std::vector<uint8_t> bytes;
    std::vector<png_bytep> rows;
    if (ok) ok = ReadHeader(&c, image);
    if (ok) {
        if (!(image->depth == 8 || image->depth == 16) ||
            !(1 <= image->channels && image->channels <= 4)) {
            std::snprintf(c.message, sizeof c.message, "unsupported PNG layout");
            ok = false;
        }
    }
    if (ok) ok = AllocateImage(image, error);
    size_t rowBytes = 0;
    if (ok) {
        rowBytes = png_get_rowbytes(c.png, c.info);
        size_t need = size_t(image->width) * size_t(image->channels) * size_t(image->depth / 8);
        if (rowBytes != need) {
            std::snprintf(c.message, sizeof c.message, "unexpected PNG row size");
            ok = false;
        }
    }
    if (ok) {
        bytes.resize(rowBytes * size_t(image->height));
        rows.resize(size_t(image->height));
        for (int32_t y = 0; y < image->height; ++y) rows[size_t(y)] = bytes.data() + y * rowBytes;
        ok = ReadRows(&c, rows.data());
    }
    if (ok) {
        // PNG stores 16-bit samples most significant byte first.
        size_t n = image->samples.size();
        for (size_t i = 0; i < n; ++i) {
            image->samples[i] =
                image->depth == 16 ? uint16_t((bytes[2 * i] << 8) | bytes[2 * i + 1]) : bytes[i];
        }
    } else if (c.message[0] != 0) {
        *error = c.message;
    } else if (error->empty()) {
        *error = "cannot read the PNG file";
    }
    png_destroy_read_struct(&c.png, c.info != nullptr ? &c.info : nullptr, nullptr);
    std::fclose(c.file);
    return ok;
}

bool WritePng(const std::string& path, const Image& image, std::string* error) {
    size_t perRow = size_t(image.width) * size_t(image.channels);
    size_t rowBytes = perRow * size_t(image.depth / 8);
    std::vector<uint8_t> bytes(rowBytes * size_t(image.height));
    for (size_t i = 0; i < image.samples.size(); ++i) {
        if (image.depth == 16) {
            bytes[2 * i] = uint8_t(image.samples[i] >> 8);
            bytes[2 * i + 1] = uint8_t(image.samples[i]);
        } else {
            bytes[i] = uint8_t(image.samples[i]);
        }
    }
    std::vector<png_bytep> rows(size_t(image.height));
    for (int32_t y = 0; y < image.height; ++y) rows[size_t(y)] = bytes.data() + y * rowBytes;

    PngContext c;
    c.file = Os_OpenFile(path.c_str(), "wb");
    if (c.file == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    c.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &c, OnError, OnWarning);
    if (c.png != nullptr) c.info = png_create_info_struct(c.png);
    bool ok = c.info != nullptr && WriteAll(&c, image, rows.data());
    png_destroy_write_struct(&c.png, c.info != nullptr ? &c.info : nullptr);
    if (std::fclose(c.file) != 0 && ok) {
        std::snprintf(c.message, sizeof c.message, "%s", std::strerror(errno));
        ok = false;
    }
    if (!ok) *error = c.message[0] != 0 ? c.message : "cannot write the PNG file";
    return ok;
}
