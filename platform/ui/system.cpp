// System services; see system.h.
#include "platform/ui/system.h"

#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include "platform/alert.h"
#include "platform/ui/binding.h"
#include "resources/ids/strings.h"

extern char** environ;

int32_t Ui_Key_State(uint8_t* ctrl, uint8_t* alt, uint8_t* shift) {
    uint8_t c = 0, a = 0, s = 0;
    Ui_Binding()->keyState(&c, &a, &s);
    if (ctrl != nullptr) *ctrl = c;
    if (alt != nullptr) *alt = a;
    if (shift != nullptr) *shift = s;
    return kStatusOk;
}

int32_t Ui_Beep() {
    Ui_Binding()->beep();
    return kStatusOk;
}

uint32_t Ui_TickCount() {
    return Ui_Binding()->tickCount();
}

int32_t Ui_Web_Open(UiState* state, const char* address, Ui_Failure* failure) {
    if (state == nullptr || address == nullptr || address[0] == 0) return kStatusProblem;
    int32_t code = 0;
    if (Ui_Binding()->openUrl(address, &code) == kStatusOk) return kStatusOk;
    Ui_Fail_Text(failure, kStatusError, kStrBrowserError, kUiFailStop);
    if (failure != nullptr) failure->number = code;
    return kStatusError;
}

int32_t Ui_Shell_Run(const char* program, const char* argument, int32_t* code) {
    if (code != nullptr) *code = 0;
    if (program == nullptr || argument == nullptr || code == nullptr) return kStatusProblem;
    // argv is not const in the spawn interface; the strings are only read.
    char* argv[3] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    pid_t pid = 0;
    int error = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
    if (error != 0) {
        *code = error;
        return kStatusError;
    }
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        *code = errno;
        return kStatusError;
    }
    if (WIFEXITED(status)) {
        *code = WEXITSTATUS(status);
        return *code == 0 ? kStatusOk : kStatusError;
    }
    *code = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return kStatusError;
}

uint32_t Ui_MonotonicMillis() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}
