#include "tests/fuzz/fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/alert.h"
#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui_state.h"

namespace fuzz {

namespace {

std::string gFolder;
UiState* gState = nullptr;
int gAlerts = 0;

int32_t CountAlert(UiState*, const Ui_AlertRecord*, int16_t* item) {
    ++gAlerts;
    *item = 1;
    return 0;
}

void DropMessageBox(const char*, const char*) {}

void RemoveFolder() {
    Ui_State_Close(&gState);
    std::error_code ignored;
    if (!gFolder.empty()) std::filesystem::remove_all(gFolder, ignored);
}

}  // namespace

void Setup() {
    if (!gFolder.empty()) return;
    const char* tmp = getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/kolmara-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("fuzz: mkdtemp");
        abort();
    }
    gFolder = pattern + "/";
    setenv("XDG_CONFIG_HOME", (gFolder + "config").c_str(), 1);
    setenv("TMPDIR", gFolder.c_str(), 1);
    std::filesystem::create_directories(gFolder + "config/Lumetra");
    Ui_Alert_SetPresenter(CountAlert);
    Ui_SetMessageBoxHook(DropMessageBox);
    atexit(RemoveFolder);
}

const std::string& Folder() {
    Setup();
    return gFolder;
}

std::string WriteFile(const std::string& name, const uint8_t* data, size_t size) {
    std::string path = Folder() + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.close();
    Check(bool(out), "could not write " + path);
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

UiState* State() {
    Setup();
    if (gState == nullptr) {
        Check(Ui_State_Open(&gState, Res_ModuleArchive(), nullptr, 1000, 0) == kStatusOk,
              "no call state");
    }
    return gState;
}

int TakeAlertCount() {
    int n = gAlerts;
    gAlerts = 0;
    return n;
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz: broken promise: %s\n", what.c_str());
    std::fflush(stderr);
    abort();
}

BlockCount::BlockCount(const char* what) : what_(what), start_(ul_nMallocs) {}

BlockCount::~BlockCount() {
    if (ul_nMallocs != start_) {
        Fail(std::string(what_) + ": " + std::to_string(long(ul_nMallocs) - long(start_)) +
             " blocks not given back");
    }
}

}  // namespace fuzz
