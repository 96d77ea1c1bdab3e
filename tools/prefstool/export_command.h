// kolmara-prefs export: the correction written as a file without the filter's window.
//
// For people who grade in batch: the same four kinds of file that OK writes in its other modes
// (the Huegrid file, a .cube LUT, an abstract profile or a device link, an edited device
// profile), from the previous settings, the custom settings or a settings text file, in the
// working space those settings were made in, at the grid-size level of the preferences.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct Prefs;
struct UiState;

struct ExportCommand {
    int32_t kind = 0;      // ExportKind below
    std::string output;    // the file to write
    std::string from;      // "previous", "custom" or a settings text file
    int32_t nodes = 33;    // --size
    int32_t bits = 16;     // --depth, the Huegrid file's
    int32_t quality = -1;  // --quality; -1: the preferences' grid-size level
    std::string profile;   // --profile, the source of edit-profile
    std::string name;      // --name; empty: from the settings
};

enum : int32_t {
    kExportKindHuegrid = 0,
    kExportKindCube = 1,
    kExportKindAbstract = 2,
    kExportKindDeviceLink = 3,
    kExportKindEditProfile = 4,
};

// Parses "KIND FILE [options]"; false with a reason for bad arguments (nothing is touched yet).
bool ParseExportCommand(const std::vector<std::string>& operands, ExportCommand* command,
                        std::string* why);

// Writes the file. Returns the tool's exit status (0, 1 failed); messages go to out and err.
int RunExportCommand(const ExportCommand& command, const Prefs& prefs, UiState* state,
                     std::ostream& out, std::ostream& err);
