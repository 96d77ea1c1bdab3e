// apply_cast: gives an image a known colour cast, made in linear light (colour_cast.h), so that
// the automatic correction has something to correct.
//
//   apply_cast --gains R,G,B [--levels LO,HI] IN OUT
//   apply_cast --cast NAME IN OUT
//   apply_cast --list
//
// IN is an RGB or RGBA image (PNG, TIFF or JPEG; 8 or 16 bits), taken as sRGB. OUT is written in
// the same depth, as PNG, TIFF or JPEG by its extension (JPEG only for 8-bit images without
// alpha), through a temporary file, so a failed run leaves no OUT. The gains multiply R, G, B in
// linear light (0..16); --levels lifts the encoded output range to LO..HI (fractions, e.g.
// 0.06,0.92 for 6%..92%). Exit status 0 done, 1 failure, 2 usage.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/demo/colour_cast.h"
#include "tools/demo/demo_image.h"

namespace {

const char kUsage[] =
    "usage: apply_cast --gains R,G,B [--levels LO,HI] IN OUT\n"
    "       apply_cast --cast NAME IN OUT\n"
    "       apply_cast --list\n"
    "Multiplies R, G, B of an sRGB image in linear light by the gains (0..16), optionally lifts\n"
    "the output levels to LO..HI (fractions of full scale), and writes OUT (.png, .tif, .jpg) in\n"
    "the input's depth. Exit status: 0 done, 1 failed, 2 usage error.\n";

// Exactly `count` comma-separated numbers.
bool ParseNumbers(const std::string& text, size_t count, double* values) {
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t comma = text.find(',', at);
        bool last = i + 1 == count;
        if (last != (comma == std::string::npos)) return false;
        std::string part = text.substr(at, last ? std::string::npos : comma - at);
        errno = 0;
        char* end = nullptr;
        values[i] = std::strtod(part.c_str(), &end);
        if (part.empty() || errno != 0 || end != part.c_str() + part.size()) return false;
        at = comma + 1;
    }
    return true;
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "apply_cast: %s\n%s", why.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ColourCast cast;
    bool named = false, custom = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--list") {
            for (const NamedCast& n : kNamedCasts) std::printf("%-10s %s\n", n.name, n.describe);
            return 0;
        } else if (a == "--cast" && hasValue) {
            const NamedCast* n = FindNamedCast(args[++i]);
            if (n == nullptr) return Usage("unknown cast '" + args[i] + "' (see --list)");
            cast = n->cast;
            named = true;
        } else if (a == "--gains" && hasValue) {
            if (!ParseNumbers(args[++i], 3, cast.gain)) return Usage("--gains takes R,G,B");
            custom = true;
        } else if (a == "--levels" && hasValue) {
            double lh[2];
            if (!ParseNumbers(args[++i], 2, lh)) return Usage("--levels takes LO,HI");
            cast.levelsLo = lh[0];
            cast.levelsHi = lh[1];
            custom = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage("unknown option or missing value: " + a);
        } else {
            files.push_back(a);
        }
    }
    if (named == custom) return Usage("give either --cast or --gains (with --levels)");
    if (files.size() != 2) return Usage("give one input and one output file");
    std::string problem = CastProblem(cast);
    if (!problem.empty()) return Usage(problem);

    Image image;
    std::string error;
    if (!ReadDemoImage(files[0], &image, &error) || !ApplyColourCast(cast, &image, &error) ||
        !WriteDemoImage(files[1], image, &error)) {
        std::fprintf(stderr, "apply_cast: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
