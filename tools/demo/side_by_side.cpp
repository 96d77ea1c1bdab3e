// side_by_side: puts two pictures of the same size next to each other, the first on the left,
// with a white gap between them, and writes the result as an 8-bit RGB image. It also prints how
// many pixels differ between the two, so that a run whose correction did nothing is noticed.
//
//   side_by_side BEFORE AFTER OUT
//
// The pictures may be PNG, TIFF or JPEG of any depth and layout filterhost reads; they are shown
// as 8-bit RGB (demo_image.h: 16-bit samples cut to their high byte, grey spread to RGB,
// transparency composited over white). OUT is PNG, TIFF or JPEG by its extension. Exit status 0
// done, 1 failure, 2 usage, 3 written but the two pictures are identical.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/demo/demo_image.h"

namespace {

constexpr int kGap = 12;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: side_by_side BEFORE AFTER OUT\n");
        return 2;
    }
    Image read[2];
    std::string error;
    if (!ReadDemoImage(argv[1], &read[0], &error) || !ReadDemoImage(argv[2], &read[1], &error)) {
        std::fprintf(stderr, "side_by_side: %s\n", error.c_str());
        return 1;
    }
    const Image before = DisplayRgb8(read[0]);
    const Image after = DisplayRgb8(read[1]);
    if (before.width != after.width || before.height != after.height) {
        std::fprintf(stderr, "side_by_side: the pictures differ in size (%dx%d and %dx%d)\n",
                     before.width, before.height, after.width, after.height);
        return 1;
    }
    Image out;
    out.width = before.width * 2 + kGap;
    out.height = before.height;
    out.channels = 3;
    out.samples.assign(size_t(out.width) * size_t(out.height) * 3, 255);
    const size_t rowSamples = size_t(before.width) * 3;
    for (int32_t y = 0; y < out.height; ++y) {
        uint16_t* row = &out.At(y, 0, 0);
        std::memcpy(row, &before.samples[size_t(y) * rowSamples], rowSamples * 2);
        std::memcpy(row + rowSamples + kGap * 3, &after.samples[size_t(y) * rowSamples],
                    rowSamples * 2);
    }
    const size_t pixels = size_t(before.width) * size_t(before.height);
    size_t changed = 0;
    double total = 0;
    for (size_t i = 0; i < pixels; ++i) {
        int d = 0;
        for (size_t c = 0; c < 3; ++c) {
            d += std::abs(int(before.samples[i * 3 + c]) - int(after.samples[i * 3 + c]));
        }
        if (d != 0) ++changed;
        total += d / 3.0;
    }
    if (!WriteDemoImage(argv[3], out, &error)) {
        std::fprintf(stderr, "side_by_side: %s\n", error.c_str());
        return 1;
    }
    std::printf("side_by_side: %zu of %zu pixels differ, mean change %.1f levels of 255\n", changed,
                pixels, pixels ? total / double(pixels) : 0.0);
    return changed == 0 ? 3 : 0;
}
