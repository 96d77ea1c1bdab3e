// kolmara-prefs: shows and changes the filter's preferences from the command line.
#include <iostream>
#include <string>
#include <vector>

#include "tools/prefstool/prefs_tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunPrefsTool(args, std::cout, std::cerr);
}
