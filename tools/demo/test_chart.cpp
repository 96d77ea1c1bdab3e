// The synthetic test chart; see test_chart.h for its layout.
#include "tools/demo/test_chart.h"

#include <cmath>

namespace {

constexpr int kMargin = 12;
constexpr int kPatchWidth = 88;
constexpr int kPatchPitch = 98;
constexpr int kGreyTop = 12, kGreyBottom = 112;
constexpr int kMemoryTop = 124, kMemoryBottom = 204;
constexpr int kHueTop = 216, kHueMiddle = 258, kHueBottom = 300;
constexpr int kRampTop = 312, kRampBottom = 388;
constexpr int kStripLeft = kMargin, kStripRight = kChartWidth - kMargin;  // 12..588

// sRGB values of the usual reference colours of these objects (as on colour checker charts).
constexpr int kMemoryColours[kChartGreyCount][3] = {
    {115, 82, 68},    // dark skin
    {194, 150, 130},  // light skin
    {98, 122, 157},   // blue sky
    {87, 108, 67},    // foliage
    {224, 163, 46},   // orange yellow
    {193, 90, 99},    // moderate red
};

void Fill(Image* image, const ChartRect& r, int red, int green, int blue) {
    for (int y = r.y0; y < r.y1; ++y) {
        for (int x = r.x0; x < r.x1; ++x) {
            image->At(y, x, 0) = uint16_t(red);
            image->At(y, x, 1) = uint16_t(green);
            image->At(y, x, 2) = uint16_t(blue);
        }
    }
}

// HSV (hue in degrees) to 8-bit RGB.
void HsvToRgb8(double hue, double s, double v, int rgb[3]) {
    double h = std::fmod(hue, 360.0) / 60.0;
    int sector = int(h);
    double f = h - sector;
    double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double c[3];
    switch (sector) {
        case 0:
            c[0] = v, c[1] = t, c[2] = p;
            break;
        case 1:
            c[0] = q, c[1] = v, c[2] = p;
            break;
        case 2:
            c[0] = p, c[1] = v, c[2] = t;
            break;
        case 3:
            c[0] = p, c[1] = q, c[2] = v;
            break;
        case 4:
            c[0] = t, c[1] = p, c[2] = v;
            break;
        default:
            c[0] = v, c[1] = p, c[2] = q;
            break;
    }
    for (int i = 0; i < 3; ++i) rgb[i] = int(std::lround(c[i] * 255));
}

}  // namespace

ChartRect ChartGreyPatch(int i) {
    int x0 = kMargin + kPatchPitch * i;
    return {x0, kGreyTop, x0 + kPatchWidth, kGreyBottom};
}

Image MakeTestChart() {
    Image chart;
    chart.width = kChartWidth;
    chart.height = kChartHeight;
    chart.channels = 3;
    chart.depth = 8;
    chart.samples.assign(size_t(kChartWidth) * kChartHeight * 3, uint16_t(kChartBackground));
    for (int i = 0; i < kChartGreyCount; ++i) {
        int v = kChartGreyLevels[i];
        Fill(&chart, ChartGreyPatch(i), v, v, v);
        const int* m = kMemoryColours[i];
        ChartRect r = ChartGreyPatch(i);
        Fill(&chart, {r.x0, kMemoryTop, r.x1, kMemoryBottom}, m[0], m[1], m[2]);
    }
    const int span = kStripRight - kStripLeft;
    for (int x = kStripLeft; x < kStripRight; ++x) {
        double hue = 360.0 * (x - kStripLeft) / span;
        int vivid[3], muted[3];
        HsvToRgb8(hue, 1.0, 1.0, vivid);
        HsvToRgb8(hue, 0.5, 0.75, muted);
        Fill(&chart, {x, kHueTop, x + 1, kHueMiddle}, vivid[0], vivid[1], vivid[2]);
        Fill(&chart, {x, kHueMiddle, x + 1, kHueBottom}, muted[0], muted[1], muted[2]);
        int grey = int(std::lround(255.0 * (x - kStripLeft) / (span - 1)));
        Fill(&chart, {x, kRampTop, x + 1, kRampBottom}, grey, grey, grey);
    }
    return chart;
}

std::vector<size_t> ChartGreyPixels() {
    std::vector<size_t> pixels;
    for (int i = 0; i < kChartGreyCount; ++i) {
        ChartRect r = ChartGreyPatch(i);
        for (int y = r.y0 + kChartPatchInset; y < r.y1 - kChartPatchInset; ++y) {
            for (int x = r.x0 + kChartPatchInset; x < r.x1 - kChartPatchInset; ++x) {
                pixels.push_back(size_t(y) * kChartWidth + size_t(x));
            }
        }
    }
    return pixels;
}

std::string ChartProblem(const Image& image) {
    if (image.width != kChartWidth || image.height != kChartHeight) {
        return "not the test chart's size (" + std::to_string(kChartWidth) + " x " +
               std::to_string(kChartHeight) + ")";
    }
    if (image.channels < 3) return "not an RGB image";
    return "";
}
