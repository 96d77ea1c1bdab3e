#include "tests/platform/test_support.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/debug_log.h"
#include "platform/resources.h"

namespace testing_support {

std::vector<std::string> PlatformTest::messageBoxes_;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

void PlatformTest::SetUp() {
    char pattern[] = "/tmp/kolmara-test-XXXXXX";
    root_ = mkdtemp(pattern);
    setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    setenv("TMPDIR", root_.c_str(), 1);
    messageBoxes_.clear();
    Ui_SetMessageBoxHook([](const char* text, const char*) { messageBoxes_.push_back(text); });
}

void PlatformTest::TearDown() {
    Ui_State_Close(&state_);
    Ui_SetMessageBoxHook(nullptr);
    std::filesystem::remove_all(root_);
}

std::vector<std::string> PlatformTest::LogLines() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(LogPath()));
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

UiState* PlatformTest::OpenState(uint8_t diagnostics) {
    Ui_State_Close(&state_);
    EXPECT_EQ(Ui_State_Open(&state_, Res_ModuleArchive(), nullptr, 1000, diagnostics), 0);
    return state_;
}

}  // namespace testing_support
