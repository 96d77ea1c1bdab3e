// The readable form of a preferences record, as `kolmara-prefs show` prints it.
//
// Every entry the module writes is listed once, in tag order, as "TAG LABEL: VALUE"; the stored
// edit-parameter copies (109, 110) and the memory colours (62) follow their head line with
// indented detail lines. The entries are taken from the module's own writer (the record is
// written into a memory file and read back entry by entry), so an entry the module stores can
// never be missing from the listing.
#pragma once

#include <ostream>
#include <string>

#include "edit/prefs.h"

struct UiState;

// The words the tool uses for the start modes, and back. ModeFromWord gives -1 for an unknown word.
const char* StartModeWord(int32_t mode);
int32_t StartModeFromWord(const std::string& word);

// Prints the record. Returns 0, or the status of the module's writer when the record could not be
// written out for listing (nothing is printed then).
int32_t ShowPrefs(const Prefs& prefs, UiState* state, std::ostream& out);

// The detail lines of one stored set of edit parameters, each starting with indent.
void ShowEditPars(const EditPars& pars, const std::string& indent, std::ostream& out);
