// filterhost: a stand-in for the image editor that hosts the filter; see host_run.h and README.md.
#include <iostream>

#include "tools/filterhost/host_run.h"
#include "tools/filterhost/options.h"
#include "tools/hostlib/host_os.h"

int main(int argc, char** argv) {
    // Ctrl-C while no filter runs (reading, writing) ends filterhost as cancelled.
    HostOs_InterruptEndsProcess(kExitCancelled);
    HostOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::cerr << "filterhost: " << error << " (see filterhost --help)\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << UsageText();
        return kExitOk;
    }
    return RunFilterHost(options);
}
