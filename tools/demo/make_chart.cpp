// make_chart: writes the synthetic test chart (test_chart.h: six grey patches from near-black
// to near-white, memory colours, a hue strip and a grey ramp; 600 x 400, 8-bit sRGB).
//
//   make_chart OUT
//
// OUT is PNG, TIFF or JPEG by its extension (JPEG's compression would blur the patches' edges and
// tint the patches slightly; use PNG or TIFF for measuring). Exit status 0 done, 1 failure,
// 2 usage.
#include <cstdio>
#include <string>

#include "tools/demo/demo_image.h"
#include "tools/demo/test_chart.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: make_chart OUT.png\n");
        return 2;
    }
    std::string error;
    if (!WriteDemoImage(argv[1], MakeTestChart(), &error)) {
        std::fprintf(stderr, "make_chart: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
