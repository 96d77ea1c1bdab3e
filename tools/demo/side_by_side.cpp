// side_by_side: puts two pictures of the same size next to each other, the first on the left,
// with a white gap between them, and writes the result as an 8-bit RGB PNG. It also prints how
// many pixels differ between the two, so that a run whose correction did nothing is noticed.
//
//   side_by_side BEFORE.png AFTER.png OUT.png
//
// Any PNG colour type and depth is read; 16-bit samples are cut to their high byte, grey is
// spread to RGB and transparency is composited over white. Exit status 0 done, 1 failure,
// 2 usage, 3 written but the two pictures are identical.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kGap = 12;

// Warnings (such as a sample file's slightly-off embedded sRGB profile) say nothing about the
// pixels.
void IgnoreWarning(png_structp, png_const_charp) {}

struct Picture {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::vector<png_byte> rgb;  // width * height * 3
};

bool ReadPng(const std::string& path, Picture* out, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    png_byte header[8];
    if (std::fread(header, 1, 8, f) != 8 || png_sig_cmp(header, 0, 8) != 0) {
        std::fclose(f);
        *error = path + " is not a PNG file";
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fclose(f);
        *error = "out of memory";
        return false;
    }
    // The rows live in a vector declared before setjmp so that a longjmp leaves nothing behind
    // but what the destroy call and the vector's destructor take care of.
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        *error = path + " is damaged";
        return false;
    }
    png_set_error_fn(png, nullptr, nullptr, IgnoreWarning);
    png_init_io(png, f);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_color_16 white = {0, 255, 255, 255, 255};
    png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    png_read_update_info(png, info);
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != size_t(out->width) * 3) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        *error = path + ": unexpected pixel layout";
        return false;
    }
    out->rgb.assign(size_t(out->width) * out->height * 3, 0);
    rows.resize(out->height);
    for (png_uint_32 y = 0; y < out->height; ++y) rows[y] = &out->rgb[size_t(y) * out->width * 3];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

bool WritePng(const std::string& path, const Picture& pic, std::string* error) {
    std::string temp = path + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) {
        *error = "cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(pic.height);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        std::fclose(f);
        std::remove(temp.c_str());
        *error = "cannot write " + path;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, pic.width, pic.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (png_uint_32 y = 0; y < pic.height; ++y) {
        rows[y] = const_cast<png_bytep>(&pic.rgb[size_t(y) * pic.width * 3]);
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: side_by_side BEFORE.png AFTER.png OUT.png\n");
        return 2;
    }
    Picture before, after;
    std::string error;
    if (!ReadPng(argv[1], &before, &error) || !ReadPng(argv[2], &after, &error)) {
        std::fprintf(stderr, "side_by_side: %s\n", error.c_str());
        return 1;
    }
    if (before.width != after.width || before.height != after.height) {
        std::fprintf(stderr, "side_by_side: the pictures differ in size (%ux%u and %ux%u)\n",
                     unsigned(before.width), unsigned(before.height), unsigned(after.width),
                     unsigned(after.height));
        return 1;
    }
    Picture out;
    out.width = before.width * 2 + kGap;
    out.height = before.height;
    out.rgb.assign(size_t(out.width) * out.height * 3, 255);
    size_t rowBytes = size_t(before.width) * 3;
    for (png_uint_32 y = 0; y < out.height; ++y) {
        png_byte* row = &out.rgb[size_t(y) * out.width * 3];
        std::memcpy(row, &before.rgb[y * rowBytes], rowBytes);
        std::memcpy(row + rowBytes + kGap * 3, &after.rgb[y * rowBytes], rowBytes);
    }
    size_t pixels = size_t(before.width) * before.height;
    size_t changed = 0;
    double total = 0;
    for (size_t i = 0; i < pixels; ++i) {
        int d = 0;
        for (int c = 0; c < 3; ++c)
            d += std::abs(int(before.rgb[i * 3 + c]) - int(after.rgb[i * 3 + c]));
        if (d != 0) ++changed;
        total += d / 3.0;
    }
    if (!WritePng(argv[3], out, &error)) {
        std::fprintf(stderr, "side_by_side: %s\n", error.c_str());
        return 1;
    }
    std::printf("side_by_side: %zu of %zu pixels differ, mean change %.1f levels of 255\n", changed,
                pixels, pixels ? total / double(pixels) : 0.0);
    return changed == 0 ? 3 : 0;
}
