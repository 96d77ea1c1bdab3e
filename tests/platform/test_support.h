// Shared fixtures for platform tests: a private preferences folder per test, captured message
// boxes and alerts, and helpers to read what landed in files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui_state.h"

namespace testing_support {

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Points XDG_CONFIG_HOME and TMPDIR at a new temporary folder for the test and captures system
// message boxes. The folder is removed afterwards.
class PlatformTest : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

    std::string PrefFolder() const { return root_ + "/config/Lumetra/"; }
    std::string LogPath() const { return PrefFolder() + "LumetraDebug.txt"; }
    // The debug log's lines; empty when the file does not exist.
    std::vector<std::string> LogLines() const;
    // A call state over the module's resources with the given diagnostics flag.
    UiState* OpenState(uint8_t diagnostics);

    std::string root_;
    static std::vector<std::string> messageBoxes_;

   private:
    UiState* state_ = nullptr;
};

}  // namespace testing_support
