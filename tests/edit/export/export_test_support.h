// Shared helpers of the export tests: a fixture with a private folder, a call state (for the
// product name) and a check that every export gives back all the memory it took (lcms2's
// included); the settings of an export; reading files and folders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "edit/export/export.h"
#include "engine/edit_pars.h"
#include "tests/platform/test_support.h"

namespace export_testing {

class ExportTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override;
    void TearDown() override;

    // Settings over pars_ (a strong edit with every stage active) at grid level 7, 16 bits, 33
    // nodes, document "holiday.tif", with the call state.
    ExportSettings Settings() const;
    // A file in the test's output folder.
    std::string Out(const std::string& name) const { return out_ + name; }
    // The names in the output folder.
    std::vector<std::string> OutFiles() const;

    EditPars pars_{};
    UiState* state_ = nullptr;
    std::string out_;

   private:
    uint32_t blocksBefore_ = 0;
};

// n uniform 16-bit codes of an axis as the writers place them: round(i * 65535 / (n - 1)).
uint16_t NodeCode(int i, int n);

// Random 16-bit RGB triples, the same for the same seed.
std::vector<uint16_t> RandomRgb16(size_t pixels, uint32_t seed);

}  // namespace export_testing
