// How long the exports take from a click: building the transform from the edit parameters and
// writing the file, as "Create Huegrid..." and "Create Profile..." do. Medians of 7 runs, wall
// time, files written into a temporary folder that is removed afterwards.
//
// The edit: brightness, contrast, more saturation, a shifted hue handle and a warm toning at
// grid-size level 7, in the default working space.
#include <lcms2.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "edit/export/export.h"
#include "engine/working_space.h"

namespace {

double MedianMs(const std::function<int32_t()>& work) {
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        const auto start = std::chrono::steady_clock::now();
        if (work() != 0) {
            std::fprintf(stderr, "export_bench: an export failed\n");
            std::exit(1);
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    char pattern[] = "/tmp/kolmara-export-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;

    EditPars pars;
    SetParsDefaults(&pars);
    HgSetReference(&pars, nullptr);
    pars.brightness = 0.55f;
    pars.contrast = 0.57f;
    pars.saturation = 0.6f;
    pars.hue[1].hueShift = 10.0f;
    pars.toneColor[0] = 0.52f;
    pars.toneColor[2] = 0.48f;

    ExportSettings s{};
    s.editPars = &pars;
    s.gridLevel = 7;
    s.bitsPerChannel = 16;
    s.lutNodes = 65;
    s.documentName = "bench";
    Ui_Failure alert;
    const std::string cube = dir + "/look.cube", icc = dir + "/look.icc";
    const double cube65 =
        MedianMs([&] { return ExportCreateHuegrid(&s, kExportCubeLut, cube.c_str(), &alert); });
    s.lutNodes = 33;
    const double cube33 =
        MedianMs([&] { return ExportCreateHuegrid(&s, kExportCubeLut, cube.c_str(), &alert); });
    const double abstract33 = MedianMs(
        [&] { return ExportCreateProfile(&s, kExportAbstractProfile, icc.c_str(), &alert); });
    const double link33 =
        MedianMs([&] { return ExportCreateProfile(&s, kExportDeviceLink, icc.c_str(), &alert); });
    const double huegrid = MedianMs(
        [&] { return ExportCreateHuegrid(&s, kExportHuegridStream, icc.c_str(), &alert); });
    // "Edit Profile..." on a display profile: forward and backward tables for two intents.
    const std::string display = dir + "/display.icc", edited = dir + "/edited.icc";
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsSaveProfileToFile(srgb, display.c_str());
    cmsCloseProfile(srgb);
    const double editDisplay =
        MedianMs([&] { return ExportEditProfile(&s, display.c_str(), edited.c_str(), &alert); });
    s.lutNodes = 65;
    const double abstract65 = MedianMs(
        [&] { return ExportCreateProfile(&s, kExportAbstractProfile, icc.c_str(), &alert); });
    std::filesystem::remove_all(dir);

    std::printf(
        "export (median of 7, ms): cube 65 %.1f, cube 33 %.1f, abstract 33 %.1f, "
        "abstract 65 %.1f, device link 33 %.1f, Huegrid file %.1f\n",
        cube65, cube33, abstract33, abstract65, link33, huegrid);
    std::printf("export_cube65_ms %.1f ms\n", cube65);
    std::printf("export_icc_ms %.1f ms\n", abstract33);
    std::printf("export_icc65_ms %.1f ms\n", abstract65);
    std::printf("export_edit_display_ms %.1f ms\n", editDisplay);
    return 0;
}
