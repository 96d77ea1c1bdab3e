// keenhue_neutrals: which pixels the automatic colour balance (Keenhue) takes as neutrals, on
// photographs with and without the evaluation's casts. A tool for looking, not a benchmark.
//
//   keenhue_neutrals [--work DIR] PHOTO...
//
// For each photograph and each cast (none, then those of keenhue_eval) the balance step runs in
// process on an analysis copy of the image (the photograph itself, halved by 2 x 2 averaging until
// it fits 800 x 800: close to, not the same as, the reduced copy the module takes) and prints, per
// end of the image: how many pixels that end could take, the threshold, the size and mean colour
// of the end's set, its chroma (largest minus smallest component, 0..1) and that chroma relative
// to the largest component, and whether the set became a neutral sample ("taken"). With --work
// each case is also written as a PNG with the sampled pixels painted (dark end blue, light end
// red) for looking at.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "edit/edit_state.h"
#include "edit/keenhue.h"
#include "tools/demo/colour_cast.h"
#include "tools/demo/demo_image.h"

namespace {

// An 8-bit interleaved copy of an RGB image, halved until it fits the box.
struct Analysis {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    IPImage view{};

    explicit Analysis(const Image& image) {
        width = image.width;
        height = image.height;
        const int shift = image.depth == 16 ? 8 : 0;
        rgb.resize(size_t(width) * size_t(height) * 3);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c)
                    rgb[(size_t(y) * width + x) * 3 + c] = uint8_t(
                        image.samples[(size_t(y) * width + x) * image.channels + c] >> shift);
        while (width > 800 || height > 800) Halve();
        view = IPRgb8View(rgb.data(), width, height);
    }
    void Halve() {
        const int32_t w = width / 2, h = height / 2;
        std::vector<uint8_t> out(size_t(w) * size_t(h) * 3);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int j = 0; j < 2; ++j)
                        for (int i = 0; i < 2; ++i)
                            sum += rgb[(size_t(2 * y + j) * width + 2 * x + i) * 3 + c];
                    out[(size_t(y) * w + x) * 3 + c] = uint8_t((sum + 2) / 4);
                }
        rgb.swap(out);
        width = w;
        height = h;
    }
};

void PrintEnd(const char* name, const KhBalanceEnd& e) {
    std::printf("    %-5s admitted %7llu thr %3d set %6llu mean %.3f %.3f %.3f c %.3f rel %.3f",
                name, static_cast<unsigned long long>(e.admitted), e.threshold,
                static_cast<unsigned long long>(e.count), e.average[0], e.average[1], e.average[2],
                e.chroma, e.relativeChroma);
    if (e.sampledPixels > 0) {
        std::printf("  sample %6d mean %.3f %.3f %.3f", e.sampledPixels, e.sampledAverage[0],
                    e.sampledAverage[1], e.sampledAverage[2]);
    }
    if (e.taken || e.vetoed) {
        std::printf("  log chroma %6.3f %6.3f", e.logChroma[0], e.logChroma[1]);
    }
    std::printf("  %s\n", e.taken ? "taken" : (e.vetoed ? "dropped (disagrees)" : "-"));
}

void PrintGrey(const KhBalanceTrace& t) {
    const KhGreyEstimate& g = t.grey;
    std::printf(
        "    grey  judged %6u grey %6u crowd %6u share %.4f at %6.3f %6.3f dominance %.2f%s\n",
        g.measured, g.grey, g.crowd, g.share, g.mode[0], g.mode[1], g.dominance,
        t.greyTaken ? "  taken" : "");
    if (t.greyTaken) std::printf("    the crowd's weight %.2f\n", t.crowdWeight);
    std::printf("    confidence %.2f\n", t.confidence);
}

// Paints the pixels of an end's set.
void Paint(const Analysis& a, const KhBalanceEnd& e, bool dark, const uint8_t colour[3],
           Image* out) {
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x) {
            const uint8_t* p = &a.rgb[(size_t(y) * a.width + x) * 3];
            const int mx = std::max({p[0], p[1], p[2]}), mn = std::min({p[0], p[1], p[2]});
            const bool in =
                dark ? mn > 0 && mx <= e.threshold : mx < 255 && 255 - mn <= e.threshold;
            if (in)
                for (int c = 0; c < 3; ++c) out->At(y, x, c) = colour[c];
        }
}

bool Report(const std::string& photo, const std::string& work) {
    Image original;
    std::string error;
    if (!ReadDemoImage(photo, &original, &error) || original.channels < 3) {
        std::fprintf(stderr, "keenhue_neutrals: %s: %s\n", photo.c_str(),
                     error.empty() ? "not an RGB image" : error.c_str());
        return false;
    }
    std::string stem = photo.substr(photo.find_last_of('/') + 1);
    stem = stem.substr(0, stem.find('.'));
    std::printf("%s\n", stem.c_str());
    std::vector<const NamedCast*> casts = {nullptr};
    for (const NamedCast& n : kNamedCasts) casts.push_back(&n);
    for (const NamedCast* n : casts) {
        Image image = original;
        if (n != nullptr && !ApplyColourCast(n->cast, &image, &error)) {
            std::fprintf(stderr, "keenhue_neutrals: %s\n", error.c_str());
            return false;
        }
        Analysis a(image);
        auto es = std::make_unique<EditState>();
        if (EditStateInit(es.get(), nullptr) != kStatusOk) return false;
        KhBalanceTrace trace{};
        if (KhColourBalance(es.get(), &a.view, &trace) != kStatusOk) {
            std::fprintf(stderr, "keenhue_neutrals: the balance step failed on %s\n", stem.c_str());
            return false;
        }
        const char* name = n != nullptr ? n->name : "none";
        std::printf("  %s (%dx%d)\n", name, a.width, a.height);
        PrintEnd("dark", trace.dark);
        PrintEnd("light", trace.light);
        if (trace.white.count > 0) PrintEnd("white", trace.white);
        PrintGrey(trace);
        if (work.empty()) continue;
        Image marked;
        marked.width = a.width;
        marked.height = a.height;
        marked.channels = 3;
        marked.samples.assign(a.rgb.begin(), a.rgb.end());
        static const uint8_t kBlue[3] = {0, 80, 255}, kRed[3] = {255, 0, 0};
        Paint(a, trace.dark, true, kBlue, &marked);
        Paint(a, trace.light, false, kRed, &marked);
        if (!WriteDemoImage(work + "/" + stem + "-" + name + "-neutrals.png", marked, &error)) {
            std::fprintf(stderr, "keenhue_neutrals: %s\n", error.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string work;
    std::vector<std::string> photos;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--work" && i + 1 < argc) {
            work = argv[++i];
        } else if (!a.empty() && a[0] == '-') {
            std::fputs("usage: keenhue_neutrals [--work DIR] PHOTO...\n", stderr);
            return 2;
        } else {
            photos.push_back(a);
        }
    }
    if (photos.empty()) {
        std::fputs("usage: keenhue_neutrals [--work DIR] PHOTO...\n", stderr);
        return 2;
    }
    for (const std::string& p : photos) {
        if (!Report(p, work)) return 1;
    }
    return 0;
}
