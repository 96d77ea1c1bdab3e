// Colour casts in linear light; see colour_cast.h.
#include "tools/demo/colour_cast.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/demo/demo_image.h"
#include "tools/demo/srgb_lab.h"

const NamedCast* FindNamedCast(const std::string& name) {
    for (const NamedCast& n : kNamedCasts) {
        if (name == n.name) return &n;
    }
    return nullptr;
}

std::string CastProblem(const ColourCast& cast) {
    for (double g : cast.gain) {
        if (!(0 <= g && g <= 16)) return "gains must lie between 0 and 16";
    }
    if (!(0 <= cast.levelsLo && cast.levelsLo < cast.levelsHi && cast.levelsHi <= 1)) {
        return "levels must satisfy 0 <= LO < HI <= 1";
    }
    return "";
}

bool ApplyColourCast(const ColourCast& cast, Image* image, std::string* error) {
    if (image->channels < 3) {
        *error = "a colour cast needs an RGB image, not a grey one";
        return false;
    }
    *error = CastProblem(cast);
    if (!error->empty()) return false;

    // One table per channel over every sample value: 3 x 65536 entries at most, and each value's
    // result is computed once.
    const int max = MaxSample(*image);
    std::vector<uint16_t> table[3];
    for (int c = 0; c < 3; ++c) {
        table[c].resize(size_t(max) + 1);
        for (int v = 0; v <= max; ++v) {
            double linear = SrgbToLinear(double(v) / max) * cast.gain[c];
            double encoded = LinearToSrgb(std::fmin(std::fmax(linear, 0.0), 1.0));
            encoded = cast.levelsLo + (cast.levelsHi - cast.levelsLo) * encoded;
            table[c][size_t(v)] = uint16_t(std::lround(std::fmin(encoded, 1.0) * max));
        }
    }
    const size_t pixels = size_t(image->width) * size_t(image->height);
    const size_t step = size_t(image->channels);
    for (size_t i = 0; i < pixels; ++i) {
        uint16_t* p = &image->samples[i * step];
        for (int c = 0; c < 3; ++c) p[c] = table[c][std::min<size_t>(p[c], size_t(max))];
    }
    return true;
}
