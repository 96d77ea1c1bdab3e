#include "tests/platform/test_support.h"

#include <stdlib.h>
#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/os.h"
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

// The per-system part: a fresh folder for a test, and pointing the module's folders at it.
#if defined(_WIN32)

namespace {

// The shell reads the AppData folder of SHGetFolderPath from the user's registry (Wine sets the
// APPDATA variable from there when a process starts, so the variable alone moves nothing). The
// value is the prefix's, shared by every program run in it: the test programs that change it run
// one at a time in a prefix of their own (tests/windows/CMakeLists.txt), and each test puts the
// value back when it ends.
constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const char* kDefaultAppData = "%USERPROFILE%\\AppData\\Roaming";

std::string gSavedAppData;

bool SetAppDataValue(const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG status =
        RegSetValueExA(key, "AppData", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::string AppDataValue() {
    char value[1024] = {};
    DWORD size = sizeof value - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, kShellFolders, "AppData",
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return kDefaultAppData;
    }
    // A test program stopped half-way leaves its folder there: that is no value to go back to.
    std::string text = value;
    return text.find("kolmara-test-") == std::string::npos ? text : kDefaultAppData;
}

std::string MakeTestFolder() {
    // No mkdtemp: a name from the process and a counter, made until one is new.
    // The base is taken once: a test moves TMP to a folder of its own that is removed later.
    static unsigned counter = 0;
    static const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        std::filesystem::path folder =
            base / ("kolmara-test-" + std::to_string(_getpid()) + "-" + std::to_string(++counter));
        if (std::filesystem::create_directory(folder)) return folder.string();
    }
}

void RestoreFolders() {
    if (!gSavedAppData.empty()) SetAppDataValue(gSavedAppData);
    gSavedAppData.clear();
}

}  // namespace

void SetEnvironment(const char* name, const char* value) {
    _putenv_s(name, value == nullptr ? "" : value);
}

void PointAppDataAt(const std::string& folder) {
    if (gSavedAppData.empty()) gSavedAppData = AppDataValue();
    ASSERT_TRUE(SetAppDataValue(NativePath(folder)));
}

void PointTempAt(const std::string& folder) {
    // GetTempPath takes TMP first, then TEMP.
    SetEnvironment("TMP", NativePath(folder).c_str());
    SetEnvironment("TEMP", NativePath(folder).c_str());
}

int MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) ? 0 : -1;
}

std::string ModuleArchiveBytes() {
    return ReadFile(KOLMARA_ARCHIVE_FILE);
}

#else

namespace {

std::string MakeTestFolder() {
    char pattern[] = "/tmp/kolmara-test-XXXXXX";
    return mkdtemp(pattern);
}

void RestoreFolders() {}

}  // namespace

void SetEnvironment(const char* name, const char* value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
}

void PointAppDataAt(const std::string& folder) {
    SetEnvironment("XDG_CONFIG_HOME", folder.c_str());
}

void PointTempAt(const std::string& folder) {
    SetEnvironment("TMPDIR", folder.c_str());
}

int MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0700);
}

std::string ModuleArchiveBytes() {
    const ResArchive* module = Res_ModuleArchive();
    return std::string(reinterpret_cast<const char*>(module->bytes), module->size);
}

#endif

std::string NativePath(const std::string& path) {
    std::string native = path;
    for (char& c : native) {
        if (c == '/') c = kOsSeparator;
    }
    return native;
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

void PlatformTest::SetUp() {
    root_ = MakeTestFolder();
    PointAppDataAt(root_ + "/config");
    PointTempAt(root_);
    messageBoxes_.clear();
    Ui_SetMessageBoxHook([](const char* text, const char*) { messageBoxes_.push_back(text); });
    Mem_SetReportSink(Ui_Debug_MemoryReport);
}

void PlatformTest::TearDown() {
    Ui_State_Close(&state_);
    Ui_SetMessageBoxHook(nullptr);
    Mem_SetReportSink(nullptr);
    RestoreFolders();
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
