// One run of the stand-in host: reads the image (and the mask and the action file), checks the
// module's PiPL, loads the module, drives its selectors in the host's order, and writes the
// result.
//
// Order of calls: Parameters (skipped when an action is replayed, as an editor does; the module
// then builds its blocks itself), Prepare, Start (the module pulls its strips with advanceState),
// Continue for as long as the module leaves a rectangle to serve, Finish. Without --dialog the
// host passes a descriptor (the replayed one, or an empty one) with the don't-display flag, which
// is how an editor runs a filter without its window; with --dialog it passes the display flag
// and, for a menu run, no descriptor. OUTPUT is written only when every call returned 0 and no
// interrupt arrived; otherwise it is neither created nor changed.
//
// Exactly one line on stderr explains a failure: "filterhost: <what>". Warnings about the
// module's use of the host (handles it did not dispose of, memory reports in its debug log) are
// further lines starting "filterhost: warning:".
#pragma once

#include "tools/filterhost/options.h"

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitCancelled = 3,
};

int RunFilterHost(const HostOptions& options);
