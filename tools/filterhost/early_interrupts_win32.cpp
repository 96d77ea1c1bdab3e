// Interrupts before main, on Windows: the console's handler is installed while the process is
// being set up, so that a Ctrl-C between the system's start of the program and main ends
// filterhost as cancelled (status 3) like one at any later moment. Without it such a Ctrl-C went
// to the system's own handler, and under Wine the program ended with status 0, as if it had run.
//
// How: a TLS callback, which the loader calls when the program's image is attached, before its
// C runtime starts and main runs. (A Ctrl-C that arrives before the system can deliver console
// events at all cannot be seen by any code of the program.)
#include <windows.h>

#include "tools/filterhost/host_run.h"
#include "tools/hostlib/host_os.h"

namespace {

void NTAPI InstallEarly(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        HostOs_InterruptEndsProcess(kExitCancelled, "filterhost: interrupted\n");
}

}  // namespace

// mingw-w64's start-up code runs every callback placed between .CRT$XLA and .CRT$XLZ.
extern "C" __attribute__((section(".CRT$XLB"), used))
const PIMAGE_TLS_CALLBACK kFilterhostEarlyInterrupts = InstallEarly;
