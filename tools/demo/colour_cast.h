// Known colour casts, made the way a light source or a camera's wrong white balance makes them:
// in linear light. Used to give the automatic correction something to correct, by apply_cast, the
// demo and the evaluation (bench/keenhue_eval.cpp).
//
// Each R, G, B sample is decoded from sRGB to linear light, multiplied by its channel's gain,
// clamped to 0..1 (a gain above 1 clips the brightest colours, as an overexposed channel does)
// and encoded to sRGB again. A "flat" cast then lifts the output range: the encoded value e
// becomes lo + (hi - lo) * e, the greyish look of a hazy or badly scanned picture. The result is
// rounded to the image's depth. Alpha is left as it is; the arithmetic is fixed, so the same input
// always gives the same bytes.
#pragma once

#include <string>

#include "tools/filterhost/image_file.h"

struct ColourCast {
    double gain[3] = {1, 1, 1};  // R, G, B multipliers in linear light, 0..16
    double levelsLo = 0;         // encoded output range, 0 <= lo < hi <= 1
    double levelsHi = 1;
};

struct NamedCast {
    const char* name;      // the word on apply_cast's command line
    const char* describe;  // one line for help texts and reports
    ColourCast cast;
};

// The casts of the evaluation, in its order.
constexpr NamedCast kNamedCasts[] = {
    {"warm", "R x1.25, B x0.70: tungsten light", {{1.25, 1.0, 0.70}, 0, 1}},
    {"cool-flat", "R x0.80, B x1.15, levels 6%..92%: shade, hazy", {{0.80, 1.0, 1.15}, 0.06, 0.92}},
    {"green", "R x0.85, G x1.12, B x0.85: fluorescent tube", {{0.85, 1.12, 0.85}, 0, 1}},
    {"magenta", "R x1.12, G x0.85, B x1.08: faded print", {{1.12, 0.85, 1.08}, 0, 1}},
    // The warm cast half a stop darker: no channel of a light grey reaches full scale, so the
    // light end of the image stays usable as a neutral.
    {"dimwarm",
     "R x0.875, G x0.70, B x0.49: tungsten light, under-exposed",
     {{0.875, 0.70, 0.49}, 0, 1}},
    // The cool cast as a camera makes it, without the lifted levels: blue clips in the
    // highlights.
    {"cool", "R x0.80, B x1.15: shade, open sky", {{0.80, 1.0, 1.15}, 0, 1}},
};

// The named cast, or null.
const NamedCast* FindNamedCast(const std::string& name);

// Empty when the cast's numbers are usable, else why not.
std::string CastProblem(const ColourCast& cast);

// Applies the cast to an RGB or RGBA image of 8 or 16 bits in place. Refuses (false with a
// reason, image unchanged) grey images and unusable casts.
bool ApplyColourCast(const ColourCast& cast, Image* image, std::string* error);
