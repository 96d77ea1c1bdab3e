// Shared helpers for the edit-model tests: a fixture with a private preferences folder, a call
// state with diagnostics on and captured alerts; records filled with valid non-default values;
// and range checks written independently of the code under test.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/edit_pars.h"
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

// A record with every group away from its Reset value but within range, varied by seed. The
// primaries are four-decimal values so that they survive the rounding on reading.
void FillPars(EditPars* p, uint32_t seed);

std::unique_ptr<Prefs> NewDefaultPrefs();

// Empty when every field lies in its documented range, else the name of the first that does not.
std::string ParsOutOfRange(const EditPars& p);
std::string PrefsOutOfRange(const Prefs& p);

}  // namespace edit_testing
