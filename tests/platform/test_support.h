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

// What differs between the systems in a test's set-up (test_support.cpp holds one part per
// system). The module finds its application-data folder in XDG_CONFIG_HOME on Linux and through
// the shell's AppData folder on Windows, its temporary folder in TMPDIR or TMP and TEMP; these
// point it at a folder of the test's, until PlatformTest's TearDown puts them back.
void PointAppDataAt(const std::string& folder);
void PointTempAt(const std::string& folder);
// The path with each '/' written as the separator the module writes into the paths it forms.
std::string NativePath(const std::string& path);
// An environment variable for the test (set, or removed when value is null).
void SetEnvironment(const char* name, const char* value);
// The bytes of the module's resource archive: the archive linked into this program on Linux;
// on Windows, where the program carries the same resources as Windows resources, the archive
// file the build made them from.
std::string ModuleArchiveBytes();
// A folder made with only its owner's permissions (the mode is POSIX's; Windows has none).
int MakeFolder(const std::string& path);

// POSIX permission bits, symbolic links and other users have no meaning on Windows: a test of
// them skips itself there.
#if defined(_WIN32)
#define SKIP_WITHOUT_POSIX_FILES() \
    GTEST_SKIP() << "POSIX permission bits, links and users; Windows has none of them"
#else
#define SKIP_WITHOUT_POSIX_FILES() (void)0
#endif

// Points the module's application-data and temporary folders at a new folder for the test and
// captures system message boxes. The folder is removed afterwards.
class PlatformTest : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;

    std::string PrefFolder() const { return NativePath(root_ + "/config/Lumetra/"); }
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
