// The per-channel levels stretch; see levels_stretch.h.
#include "bench/levels_stretch.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The smallest value at or below which at least `fraction` of the samples lie.
int Percentile(const std::vector<size_t>& histogram, size_t total, double fraction) {
    const double wanted = fraction * double(total);
    size_t running = 0;
    for (size_t v = 0; v < histogram.size(); ++v) {
        running += histogram[v];
        if (double(running) >= wanted && running > 0) return int(v);
    }
    return int(histogram.size()) - 1;
}

}  // namespace

Image LevelsStretch(const Image& image, double lowFraction, double highFraction) {
    Image out = image;
    if (image.channels < 3) return out;
    const int max = image.depth == 16 ? 65535 : 255;
    const size_t pixels = size_t(image.width) * size_t(image.height);
    const size_t step = size_t(image.channels);
    for (size_t c = 0; c < 3; ++c) {
        std::vector<size_t> histogram(size_t(max) + 1, 0);
        for (size_t i = 0; i < pixels; ++i) {
            ++histogram[std::min<size_t>(image.samples[i * step + c], size_t(max))];
        }
        const int lo = Percentile(histogram, pixels, lowFraction);
        const int hi = Percentile(histogram, pixels, highFraction);
        if (hi <= lo) continue;  // a flat channel: nothing to stretch
        for (size_t i = 0; i < pixels; ++i) {
            double v = (double(image.samples[i * step + c]) - lo) / double(hi - lo);
            out.samples[i * step + c] = uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * max));
        }
    }
    return out;
}
