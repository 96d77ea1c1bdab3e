// Screenshots of dialogs and PNG files; see ui_harness.h.
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "platform/ui/binding.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/headless/headless.h"
#include "tests/ui_harness/ui_harness.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#ifndef KOLMARA_UI_SHOTS
#define KOLMARA_UI_SHOTS "ui_shots"
#endif

namespace ui_harness {
namespace {

// The rectangle (screen coordinates) read from the root window into rgb, cut to the screen.
int32_t ReadRoot(int left, int top, int width, int height, Capture* c) {
    Display* d = fl_display;
    if (d == nullptr || width <= 0 || height <= 0) return -2;
    Fl::flush();
    XSync(d, False);
    Window root = RootWindow(d, fl_screen);
    XWindowAttributes attributes;
    XGetWindowAttributes(d, root, &attributes);
    // Only the part on the screen can be read; the rest stays black.
    const int l = std::max(left, 0), t = std::max(top, 0);
    const int r = std::min(left + width, attributes.width);
    const int b = std::min(top + height, attributes.height);
    c->width = width;
    c->height = height;
    c->rgb.assign(size_t(width) * size_t(height) * 3, 0);
    if (r <= l || b <= t) return 0;
    XImage* image = XGetImage(d, root, l, t, unsigned(r - l), unsigned(b - t), AllPlanes, ZPixmap);
    if (image == nullptr) return -2;
    for (int y = t; y < b; ++y) {
        for (int x = l; x < r; ++x) {
            unsigned long p = XGetPixel(image, x - l, y - t);
            uint8_t* dst = c->rgb.data() + (size_t(y - top) * size_t(width) + size_t(x - left)) * 3;
            dst[0] = uint8_t((p & image->red_mask) >> 16);
            dst[1] = uint8_t((p & image->green_mask) >> 8);
            dst[2] = uint8_t(p & image->blue_mask);
        }
    }
    XDestroyImage(image);
    return 0;
}

}  // namespace

Ui_RGB Capture::At(int v, int h) const {
    if (!(0 <= v && v < height && 0 <= h && h < width)) return Ui_RGB{0, 0, 0};
    const uint8_t* p = rgb.data() + (size_t(v) * size_t(width) + size_t(h)) * 3;
    return Ui_RGB{p[0], p[1], p[2]};
}

int Capture::Count(const Ui_Rect& r,
                   const std::function<bool(uint8_t, uint8_t, uint8_t)>& test) const {
    int n = 0;
    for (int v = std::max<int>(r.top, 0); v < std::min<int>(r.bottom, height); ++v) {
        for (int h = std::max<int>(r.left, 0); h < std::min<int>(r.right, width); ++h) {
            const uint8_t* p = rgb.data() + (size_t(v) * size_t(width) + size_t(h)) * 3;
            n += test(p[0], p[1], p[2]);
        }
    }
    return n;
}

int32_t Grab(UiWindow* dialog, Capture* c) {
    if (dialog == nullptr || c == nullptr) return -1;
    if (const UiHeadlessWindow* hw = Ui_Headless_Window(dialog)) {
        c->width = hw->width;
        c->height = hw->height;
        c->rgb.assign(hw->rgb, hw->rgb + size_t(hw->width) * size_t(hw->height) * 3);
        return 0;
    }
    unsigned long xid = 0;
    int32_t left = 0, top = 0, width = 0, height = 0;
    if (Ui_Fltk_XWindow(dialog, &xid, &left, &top) != 0 ||
        Ui_Fltk_ReadPixels(dialog, nullptr, 0, &width, &height) != -1) {
        return -2;
    }
    return ReadRoot(left, top, width, height, c);
}

int32_t GrabScreen(Capture* c) {
    if (c == nullptr) return -1;
    return ReadRoot(0, 0, kScreenWidth, kScreenHeight, c);
}

std::string OutputFolder() {
    std::string folder = KOLMARA_UI_SHOTS;
    mkdir(folder.c_str(), 0755);
    return folder + "/";
}

int32_t WritePng(const std::string& path, const Capture& c) {
    if (c.width <= 0 || c.height <= 0) return -2;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return -2;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return -2;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, uint32_t(c.width), uint32_t(c.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < c.height; ++y) {
        png_write_row(png, const_cast<uint8_t*>(c.rgb.data() + size_t(y) * size_t(c.width) * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0 ? 0 : -2;
}

std::string Shoot(UiWindow* dialog, const std::string& fileName, Capture* capture) {
    Capture local;
    Capture* c = capture != nullptr ? capture : &local;
    if (Grab(dialog, c) != 0) return "";
    const std::string path = OutputFolder() + fileName;
    return WritePng(path, *c) == 0 ? path : "";
}

}  // namespace ui_harness
