// Writing an exported file so that it is either complete or not there at all.
//
// Every export goes to a temporary file ("Lumetra%06d.tmp", a name taken by making the file, so
// that two processes exporting into one folder never share it) in the target's own folder and is
// renamed over the target only when every byte was written and the file closed without error. A
// failure at any point removes the temporary file: a file the user already had under that name
// keeps its old contents, and no half-written file is left behind.
//
// Limits: the rename replaces the target in one step on POSIX systems; a port to a system whose
// rename refuses an existing target must replace it in one step too, or the old file is lost
// between the two. The file is not synced to the disk before the rename.
#pragma once

#include <cstdint>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/status.h"

struct UiState;

struct ExportTarget {
    char path[kPathSize];  // the file the user chose
    char temp[kPathSize];  // where the bytes go until they are complete
    FLFile file;           // open on temp between ExportTargetOpen and ExportTargetFinish
    uint8_t isOpen;
};

// Takes a temporary name beside path (the file is made, empty). -1 for a null or empty path or
// one of 255 characters or more (it would be cut and name another file), -4 when no file can be
// made in the folder (it is not there, may not be written, or every name is taken).
// state may be null (the built-in name pattern is used then).
int32_t ExportTargetBegin(ExportTarget* target, UiState* state, const char* path);
// Opens the temporary file for writing; its status (-4 when it cannot be created).
int32_t ExportTargetOpen(ExportTarget* target);
// Writes count bytes to the open temporary file; -6 on a short write.
int32_t ExportTargetWrite(ExportTarget* target, const void* bytes, uint32_t count);
// Ends the target with the status of the work: closes the temporary file if it is open, and when
// status and the close are both 0 renames it over the target, else deletes it. Returns the first
// failure (-6 for a failed close or a rename refused for want of room, -2 for another refused
// rename) or 0.
int32_t ExportTargetFinish(ExportTarget* target, int32_t status);

// Writes a whole block as the target at path, through the steps above.
int32_t ExportWriteBlock(UiState* state, const char* path, const void* bytes, uint32_t count);

// Whether the two paths name the same existing file (the same file reached by two names
// included). False when either does not exist.
bool ExportSameFile(const char* a, const char* b);
