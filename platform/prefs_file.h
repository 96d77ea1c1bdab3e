// The preferences file: a container of tagged, typed entries.
//
// The file is a sequence of entries (tag, type, count, then count elements, numbers most
// significant byte first), opened by a version entry (tag 0) and closed by an end entry (tag 1).
// The container converts values to and from their stored forms and hands each entry to the
// owner's callback; it knows nothing of what the entries mean.
//
// A file is written to a temporary file of the writer's own in the same folder and renamed over
// the old one only when every entry was written, so a failed write never destroys the user's
// saved settings, and a reader always finds a whole file: the last one written or the one
// before.
//
// Several programs share the file (the filter in an editor and in batches of runs, the
// preferences tool), at the same time too. Writers take a lock on a file of its own beside the
// preferences (advisory, released by the system when a writer dies, never waited for long) and a
// writer that read the file earlier in the same call writes only the entries it changed since
// (prefs_merge.h): a run never puts back a setting that another program changed while it ran.
// Temporary files of writers that were killed part-way are removed by the next writer. A reader
// that finds a file it cannot check reads it again a few times before it reports the damage, in
// case another program was writing it in place.
//
// Only a missing file is replaced by a fresh one when reading: a file that exists but cannot be
// opened (no permission) is the reader's failure, so that a file the user may still want is never
// written over. A damaged file is the owner's to set aside (Ui_Prefs_SetAside).
#pragma once

#include <cstdint>

#include "platform/prefs_entry.h"
#include "platform/status.h"

struct UiState;
struct FLFile;

// Names the container derives from a preferences path by appending to it: the temporary file of
// a write (".", the writer's process id, ".new"), the set-aside copy of a damaged file and the
// writers' lock. A path must leave room for the longest: 15 characters for a 10-digit id.
constexpr char kPrefsTempSuffix[] = ".new";
constexpr char kPrefsDamagedSuffix[] = ".damaged";
constexpr char kPrefsLockSuffix[] = ".lock";
constexpr int kPrefsPathMax = 255 - 15;

// The owner's callbacks. context is what the owner passed to Ui_Prefs_WriteAll or
// Ui_Prefs_ReadAll, handed back unchanged: the record the entries are read into or written from,
// so that the owner needs no variable of its own to find it.
using UiPrefsReadCallback = int32_t (*)(void* context, UiState* state, uint16_t tag, uint16_t type,
                                        uint32_t count, const void* data);
using UiPrefsWriteCallback = int32_t (*)(void* context, UiState* state, FLFile* file);

// Stored words of the two floating forms (exposed for tests and tools).
uint32_t Ui_Prefs_FloatToBin(float x);
float Ui_Prefs_BinToFloat(uint32_t word);
uint32_t Ui_Prefs_FloatToDec(float x);
float Ui_Prefs_DecToFloat(uint32_t word);

int32_t Ui_Prefs_WriteEntry(UiState* state, FLFile* file, uint16_t tag, uint16_t type,
                            uint32_t count, const void* data);
// data may be null: the elements are then skipped. Otherwise *data is a Mem_Alloc block (null for
// count 0) that the caller frees. Head fields are stored as far as they were read.
int32_t Ui___Prefs_ReadEntry(FLFile* file, uint16_t* tag, uint16_t* type, uint32_t* count,
                             void** data);
int32_t Ui_Prefs_WriteAll(UiState* state, const char* path, const void* fileInfo,
                          UiPrefsWriteCallback writePrefsCallback, void* context);
int32_t Ui_Prefs_ReadAll(UiState* state, const char* path, const void* fileInfo,
                         UiPrefsReadCallback readCallback, UiPrefsWriteCallback writePrefsCallback,
                         void* context);
// Forgets what the call state kept of the file it read or wrote last (a reading that went
// through keeps the file's entries, a write what it wrote): its next write writes the record
// whole. Ui_State_Close does this.
void Ui_Prefs_Forget(UiState* state);

// Whether a preferences path fits a path buffer together with the names derived from it (a path
// of 255 characters would fit, but its temporary file would not, and every write would fail):
// at most kPrefsPathMax characters.
bool Ui_Prefs_PathFits(const char* path);
// The preferences file's path in buffer (kFLPathSize bytes): the file name in the preferences
// folder, else in the current folder, else the name alone. A folder is passed over when the path
// made in it would not fit (Ui_Prefs_PathFits): cut, it would name another file. 0 when a folder
// was used; -2 when only the name is left; -1 for null arguments.
int32_t Ui_Prefs_SetToPath(UiState* state, const char* name, char* buffer);
// Whether a status of Ui_Prefs_ReadAll says that the file's contents are damaged (cut short,
// unreadable part-way, or not in the format), as opposed to a file that cannot be opened or a
// lack of memory.
bool Ui_Prefs_IsDamage(int32_t status);
// Keeps a damaged file: copies it to path + ".damaged", replacing an older copy in one step, so
// that the copy is byte for byte the damaged file. The file itself stays until a fresh one
// (Ui_Prefs_WriteAll) replaces it: a program reading meanwhile never finds none. asidePath
// (capacity bytes, may be null) receives the copy's path. 0; -1 for a path without room for the
// copy's name; -2 when the file cannot be copied (nothing is changed then).
int32_t Ui_Prefs_SetAside(UiState* state, const char* path, char* asidePath, int32_t capacity);
