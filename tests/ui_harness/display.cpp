// The harness's X server and the installation of a binding; see ui_harness.h.
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ui/fltk/fltk.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/rect.h"
#include "tests/ui_harness/ui_harness.h"

namespace ui_harness {
namespace {

pid_t gXvfb = 0;
int32_t gDisplay = 1;  // 1 not tried yet, then the result

void StopXvfb() {
    if (gXvfb <= 0) return;
    kill(gXvfb, SIGTERM);
    waitpid(gXvfb, nullptr, 0);
    gXvfb = 0;
}

bool Opens() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XCloseDisplay(display);
    return true;
}

// Starts Xvfb on a display number it picks itself (-displayfd) and points DISPLAY at it.
int32_t StartXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return -2;
    const std::string screen =
        std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
    const std::string fd = std::to_string(fds[1]);
    pid_t pid = fork();
    if (pid < 0) return -2;
    if (pid == 0) {
        close(fds[0]);
        // Quiet: its start-up chatter would mix with the test output.
        if (freopen("/dev/null", "w", stderr) == nullptr) _exit(127);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    gXvfb = pid;
    std::atexit(StopXvfb);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        std::fprintf(stderr, "ui_harness: Xvfb did not start (is it installed?)\n");
        StopXvfb();
        return -2;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return Opens() ? 0 : -2;
}

}  // namespace

const char* Name(Binding binding) {
    return binding == Binding::kFltk ? "fltk" : "headless";
}

int32_t EnsureDisplay() {
    if (gDisplay != 1) return gDisplay;
    const char* attach = std::getenv("KOLMARA_UI_DISPLAY");
    if (attach != nullptr && attach[0] != 0) {
        setenv("DISPLAY", attach, 1);
        gDisplay = Opens() ? 0 : -2;
        if (gDisplay != 0) std::fprintf(stderr, "ui_harness: cannot open display %s\n", attach);
    } else {
        gDisplay = StartXvfb();
    }
    return gDisplay;
}

int32_t Install(Binding binding) {
    if (binding == Binding::kHeadless) {
        Ui_Framework_Install(nullptr);
        const Ui_Rect screen = Ui_Rect_Make(0, 0, kScreenHeight, kScreenWidth);
        Ui_Headless_SetWorkArea(&screen);
        return 0;
    }
    if (EnsureDisplay() != 0) return -2;
    return Ui_Fltk_Install() == 0 ? 0 : -2;
}

}  // namespace ui_harness
