// The command line of filterhost.
#pragma once

#include <cstdint>
#include <string>

#include "hostsdk/filter_record.h"

struct HostOptions {
    std::string plugin;  // empty: DefaultPluginPath()
    std::string input, output;
    std::string play, record, mask;
    bool dialog = false;
    bool about = false;
    bool ignorePipl = false;
    bool verbose = false;
    int progress = -1;  // -1 when stderr is a terminal, 0 never, 1 always
    int64_t maxSpace = int64_t(1) << 30;
    bool havePick = false;
    int pick[3] = {0, 0, 0};
    bool haveMonitor = true;  // false: the monitor record is left empty
    PlugInMonitor monitor{};  // set by ParseOptions (default: DefaultMonitor())
    int threads = 0;  // 0: as the module's preferences say; else KOLMARA_THREADS for the run
    bool help = false;
};

// Parses argv; false with a one-line reason on a usage error. "--name value" and "--name=value"
// are both accepted.
bool ParseOptions(int argc, char** argv, HostOptions* options, std::string* error);
const char* UsageText();
// KolmaraPro.so in the folder of the running executable; where it is not there, the module an
// installation put beside the GIMP plug-in (KOLMARA_INSTALLED_MODULE, relative to the program's
// folder), when that exists.
std::string DefaultPluginPath();
