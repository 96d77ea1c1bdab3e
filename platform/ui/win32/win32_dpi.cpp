// The Win32 binding's display resolution: the conversion between the framework's 96-dpi pixels
// and the monitor's, and the per-monitor awareness the binding's windows are made with.
//
// Windows gives a window that declares no awareness a 96-dpi world and stretches its bitmap on a
// finer monitor (blurred text), or, under Wine and older systems, does not scale it at all (a
// small window with clipped check boxes). The binding therefore makes its windows aware of each
// monitor's resolution and scales them itself. The module is a DLL inside someone else's
// program, whose own awareness it must not change: it sets the awareness of its thread while its
// framework state is open (Windows 10 1607 on) and puts the host's back when it closes.
// filterhost.exe also declares the awareness in its manifest. On a system without these calls
// the windows stay as the system makes them: the dpi read is then the one the system reports.
#include "platform/ui/win32/win32_window.h"

namespace {

// The calls are looked up: they are newer than the oldest system the module runs on.
using SetThreadAwarenessFn = HANDLE(WINAPI*)(HANDLE);
using DpiForWindowFn = UINT(WINAPI*)(HWND);
// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE, as the system defines them.
const HANDLE kPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
const HANDLE kPerMonitor = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-3));

// Through void*: the compiler refuses a direct cast between unrelated function types.
void* User32Proc(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 != nullptr ? reinterpret_cast<void*>(GetProcAddress(user32, name)) : nullptr;
}

HANDLE gHostAwareness = nullptr;  // the thread's awareness before the binding set its own
bool gAwarenessSet = false;

}  // namespace

int32_t W32_ToDevice(int32_t v, int32_t dpi) {
    if (dpi <= 0 || dpi == kW32BaseDpi) return v;
    return MulDiv(v, dpi, kW32BaseDpi);
}

int32_t W32_FromDevice(int32_t d, int32_t dpi) {
    if (dpi <= 0 || dpi == kW32BaseDpi) return d;
    // A first guess from the plain ratio, then the exact answer next to it: rounding makes the
    // spans of neighbouring coordinates one pixel apart in width.
    int32_t v = MulDiv(d, kW32BaseDpi, dpi);
    while (W32_ToDevice(v, dpi) > d) --v;
    while (W32_ToDevice(v + 1, dpi) <= d) ++v;
    return v;
}

int32_t W32_FromDeviceUp(int32_t d, int32_t dpi) {
    const int32_t v = W32_FromDevice(d, dpi);
    return W32_ToDevice(v, dpi) < d ? v + 1 : v;
}

RECT W32_ToDeviceRect(const Ui_Rect& r, int32_t dpi) {
    return RECT{W32_ToDevice(r.left, dpi), W32_ToDevice(r.top, dpi), W32_ToDevice(r.right, dpi),
                W32_ToDevice(r.bottom, dpi)};
}

namespace kolmara_w32 {

int32_t WindowDpi(HWND hwnd) {
    static const auto forWindow = reinterpret_cast<DpiForWindowFn>(User32Proc("GetDpiForWindow"));
    UINT dpi = forWindow != nullptr && hwnd != nullptr ? forWindow(hwnd) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        if (screen != nullptr) {
            dpi = UINT(GetDeviceCaps(screen, LOGPIXELSY));
            ReleaseDC(nullptr, screen);
        }
    }
    // A resolution outside what monitors have is taken as none reported.
    return 48 <= dpi && dpi <= 960 ? int32_t(dpi) : kW32BaseDpi;
}

int32_t FittingDpi(HWND hwnd, int32_t width, int32_t height) {
    const int32_t dpi = WindowDpi(hwnd);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT frame{0, 0, 0, 0};
    if (dpi <= kW32BaseDpi || width <= 0 || height <= 0 ||
        !GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor) ||
        !AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrA(hwnd, GWL_STYLE)), FALSE,
                            DWORD(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)))) {
        return dpi;
    }
    // The largest resolution at which the client area and the frame fit the work area.
    const RECT& work = monitor.rcWork;
    const int32_t roomH = (work.right - work.left) - (frame.right - frame.left);
    const int32_t roomV = (work.bottom - work.top) - (frame.bottom - frame.top);
    int32_t fits = dpi;
    if (W32_ToDevice(width, fits) > roomH) fits = MulDiv(roomH, kW32BaseDpi, width);
    if (W32_ToDevice(height, fits) > roomV) fits = MulDiv(roomV, kW32BaseDpi, height);
    while (fits > kW32BaseDpi &&
           (W32_ToDevice(width, fits) > roomH || W32_ToDevice(height, fits) > roomV)) {
        --fits;
    }
    return fits > kW32BaseDpi ? fits : kW32BaseDpi;
}

void SetDpiAwareness(bool on) {
    static const auto setThread =
        reinterpret_cast<SetThreadAwarenessFn>(User32Proc("SetThreadDpiAwarenessContext"));
    if (setThread == nullptr) return;
    if (on && !gAwarenessSet) {
        // Version 2 scales the frame and the system's own dialogs too; version 1 is the
        // fallback on the systems that know only it.
        HANDLE was = setThread(kPerMonitorV2);
        if (was == nullptr) was = setThread(kPerMonitor);
        if (was != nullptr) {
            gHostAwareness = was;
            gAwarenessSet = true;
        }
    } else if (!on && gAwarenessSet) {
        setThread(gHostAwareness);
        gAwarenessSet = false;
    }
}

}  // namespace kolmara_w32
