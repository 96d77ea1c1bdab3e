// Shared helpers for the edit-model tests: a fixture with a private preferences folder, a call
// state with diagnostics on and captured alerts; records filled with valid non-default values;
// and range checks written independently of the code under test.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/edit_pars.h"
#include "engine/ip_image.h"
#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "tests/platform/test_support.h"

namespace edit_testing {

class EditTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override;
    void TearDown() override;

    // Texts of the alerts shown since the test began (or since ClearAlerts).
    const std::vector<std::string>& Alerts() const;
    void ClearAlerts();
    // Debug-log lines that contain text.
    std::vector<std::string> LogLinesWith(const std::string& text) const;

    UiState* state_ = nullptr;
};

// The automatic settings' fixture: an initialised edit state with every group of the automatic
// settings on, and, after the test, its analysis freed, the neutral-target deriver and the
// built-in tuning of the balance back in place (a test may set its own).
class KeenhueTestBase : public EditTest {
   protected:
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<EditState> es_;
};

// An interleaved 8-bit RGB image and its view, for the automatic settings' tests. The view
// points into pixels: build it in place (or move it), never copy it.
struct Rgb8Image {
    int32_t width, height;
    std::vector<uint8_t> pixels;
    IPImage view{};
    Rgb8Image(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w) * size_t(h) * 3) {
        view = IPRgb8View(pixels.data(), w, h);
    }
    uint8_t* At(int32_t x, int32_t y) {
        return &pixels[(size_t(y) * size_t(width) + size_t(x)) * 3];
    }
    void Set(int32_t x, int32_t y, int r, int g, int b) {
        uint8_t* p = At(x, y);
        p[0] = uint8_t(r), p[1] = uint8_t(g), p[2] = uint8_t(b);
    }
    void Fill(int r, int g, int b) {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) Set(x, y, r, g, b);
    }
};

// A record with every group away from its Reset value but within range, varied by seed. The
// primaries are four-decimal values so that they survive the rounding on reading.
void FillPars(EditPars* p, uint32_t seed);

std::unique_ptr<Prefs> NewDefaultPrefs();

// Empty when every field lies in its documented range, else the name of the first that does not.
std::string ParsOutOfRange(const EditPars& p);
std::string PrefsOutOfRange(const Prefs& p);

}  // namespace edit_testing
