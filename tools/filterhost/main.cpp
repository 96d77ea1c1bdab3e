// filterhost: a stand-in for the image editor that hosts the filter; see host_run.h and README.md.
#include <iostream>
#include <string>
#include <vector>

#include "tools/filterhost/host_run.h"
#include "tools/filterhost/options.h"
#include "tools/hostlib/host_os.h"

int main(int argc, char** argv) {
    // From the first instruction on, an interrupt (Ctrl-C, SIGTERM, a closed console) while no
    // filter runs ends filterhost as cancelled, with the status of a cancelled run (3), and
    // leaves no temporary file; during the run the first one asks the filter to stop.
    HostOs_InterruptEndsProcess(kExitCancelled, "filterhost: interrupted\n");
    HostOptions options;
    std::string error;
    // Every path is UTF-8 from here on, on Windows as well.
    std::vector<std::string> arguments = HostOs_Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& a : arguments) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    if (!ParseOptions(int(arguments.size()), pointers.data(), &options, &error)) {
        std::cerr << "filterhost: " << error << " (see filterhost --help)\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << UsageText();
        return kExitOk;
    }
    // The module takes its thread count from the environment before its preferences.
    if (options.threads > 0) {
        HostOs_SetEnvironment("KOLMARA_THREADS", std::to_string(options.threads).c_str());
    }
    return RunFilterHost(options);
}
