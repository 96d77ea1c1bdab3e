// kolmara-prefs: the filter's preferences for people without its window.
//
// The tool reads and writes the preferences file through the module's own code: the same Prefs
// record, the same entry callbacks (edit/prefs.h) and the same container (platform/prefs_file.h),
// which writes a new file beside the old one and renames it over it only when every entry was
// written. Values the module would repair on reading (an entry out of its range) are repaired the
// same way, with the module's notice, and stored repaired by the next command that writes.
//
// The whole command line is one call of RunPrefsTool so that tests can drive it in-process; the
// process-wide settings it touches (the alert presenter, the alert state and the record reference
// of the entry callbacks) are restored before it returns.
#pragma once

#include <ostream>
#include <string>
#include <vector>

enum : int {
    kPrefsToolOk = 0,
    kPrefsToolFailed = 1,  // a file could not be read or written, or was damaged
    kPrefsToolUsage = 2,   // bad arguments
};

// args excludes the program name. Normal output goes to out; errors (one line each, starting
// "kolmara-prefs: ") and the module's notices go to err.
int RunPrefsTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The --help text.
const char* PrefsToolUsage();
