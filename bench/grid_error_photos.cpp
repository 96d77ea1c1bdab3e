// grid_error_photos: how closely the default grid follows the chain for the settings the
// automatic correction (Keenhue) gives real photographs, where chain_bench measures one strong
// hand-made edit.
//
//   grid_error_photos PHOTO...
//
// Each photograph is read as filterhost reads it and served through the host library's strip
// server (photo_host.h). The module's own analysis (GetAnalysisImage with the headless preview
// box, then AutoSettings on one thread) runs twice: once setting the groups the preferences let
// Keenhue set by default, once setting every group it can. For each of the two records the grid
// of the default level is measured as chain_bench measures it (grid_error.h), at 8 and 16 bits. One
// line per photograph, then the worst over all of them and all four columns as
// `grid_error_photos_max_codes` and `grid_error_photos_p99_codes`. Exit status 1 when a
// photograph cannot be read or analysed, 2 without one.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/grid_error.h"
#include "bench/photo_host.h"
#include "edit/edit_state.h"
#include "edit/keenhue.h"
#include "engine/huegrid_build.h"
#include "host/preview.h"

namespace {

// The preview box of the editing window's template at the headless font (item 4, inset by one),
// which a run without the window analyses at (as keenhue_speed).
constexpr int32_t kPreviewWidth = 568;
constexpr int32_t kPreviewHeight = 544;
// The groups Keenhue sets: the preferences' default, and every group it can set.
constexpr int32_t kDefaultGroups = 64564;
constexpr int32_t kEveryGroup = 65087;

struct Worst {
    double max = 0, p99 = 0;
    void Take(const bench::GridErrors& e) {
        max = std::max(max, e.max);
        p99 = std::max(p99, e.p99);
    }
};

// Keenhue's record for the photograph with the given groups; false with a message on failure.
bool KeenhueSettings(bench::PhotoHost* host, int32_t groups, EditPars* pars, std::string* error) {
    auto state = std::make_unique<EditState>();
    if (EditStateInit(state.get(), nullptr) != 0) {
        *error = "EditStateInit failed";
        return false;
    }
    state->bitsPerChannel = host->record.depth;
    state->keenhueMask = groups;
    state->currentTab = 3;  // as keenhue_speed: the hue handles are placed too
    int32_t status =
        GetAnalysisImage(&host->call, state.get(), kPreviewWidth, kPreviewHeight, nullptr);
    if (status == 0) status = AutoSettings(state.get(), kEditMaskAll, &state->analysisImage, 1);
    EditStateFreeAnalysis(state.get());
    if (status != 0) {
        *error = "the analysis failed with " + std::to_string(status);
        return false;
    }
    *pars = state->editPars;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: grid_error_photos PHOTO...\n");
        return 2;
    }
    std::printf(
        "Grid error of the default level for Keenhue's settings, 8-bit codes (max / p99)\n");
    std::printf("  %-28s | default groups: 8-bit      16-bit | every group: 8-bit      16-bit\n",
                "photograph");
    Worst all;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        std::string error;
        std::unique_ptr<bench::PhotoHost> host = bench::OpenPhotoHost(path, &error);
        EditPars pars[2];
        const bool ok = host != nullptr &&
                        KeenhueSettings(host.get(), kDefaultGroups, &pars[0], &error) &&
                        KeenhueSettings(host.get(), kEveryGroup, &pars[1], &error);
        if (!ok) {
            std::fprintf(stderr, "grid_error_photos: %s: %s\n", path.c_str(), error.c_str());
            status = 1;
            continue;
        }
        const std::string name = path.substr(path.find_last_of('/') + 1);
        std::printf("  %-28s |", name.c_str());
        for (int g = 0; g < 2; ++g) {
            for (int32_t depth : {1, 2}) {
                const bench::GridErrors e =
                    bench::MeasureGridError(pars[g], kHgQualityMax, depth, kHgPlaceAdaptive);
                std::printf(" %7.2f / %5.2f", e.max, e.p99);
                all.Take(e);
            }
            std::printf(g == 0 ? " |" : "\n");
        }
    }
    std::printf("grid_error_photos_max_codes %.2f codes\n", all.max);
    std::printf("grid_error_photos_p99_codes %.2f codes\n", all.p99);
    return status;
}
