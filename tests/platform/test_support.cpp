#include "tests/platform/test_support.h"

#include <stdlib.h>
#if defined(_WIN32)
#include <process.h>
#endif

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

namespace {

void SetEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// A fresh folder for one test.
std::string MakeTestFolder() {
#if defined(_WIN32)
    // No mkdtemp: a name from the process and a counter, made until one is new.
    static unsigned counter = 0;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        std::filesystem::path folder =
            base / ("kolmara-test-" + std::to_string(_getpid()) + "-" + std::to_string(++counter));
        if (std::filesystem::create_directory(folder)) return folder.string();
    }
#else
    char pattern[] = "/tmp/kolmara-test-XXXXXX";
    return mkdtemp(pattern);
#endif
}

}  // namespace

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

void PlatformTest::SetUp() {
    root_ = MakeTestFolder();
    SetEnvironment("XDG_CONFIG_HOME", root_ + "/config");
    SetEnvironment("TMPDIR", root_);
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
