// The preferences file: a container of tagged, typed entries.
//
// The file is a sequence of entries (tag, type, count, then count elements, numbers most
// significant byte first), opened by a version entry (tag 0) and closed by an end entry (tag 1).
// The container converts values to and from their stored forms and hands each entry to the
// owner's callback; it knows nothing of what the entries mean.
//
// A file is written to a temporary file in the same folder and renamed over the old one only
// when every entry was written, so a failed write never destroys the user's saved settings.
//
// Only a missing file is replaced by a fresh one when reading: a file that exists but cannot be
// opened (no permission) is the reader's failure, so that a file the user may still want is never
// written over. A damaged file is the owner's to set aside (Ui_Prefs_SetAside).
#pragma once

#include <cstdint>

#include "platform/status.h"

struct UiState;
struct FLFile;

enum : uint16_t {
    kPrefsTypeBytes = 0,  // raw bytes
    kPrefsTypeInt16 = 1,
    kPrefsTypeInt32 = 2,
    kPrefsTypeFloatBin = 3,  // exponent byte, 24-bit mantissa: m * 2^-23 * 2^e
    kPrefsTypeFloatDec = 4,  // exponent byte, mantissa -999999..999999: m * 10^-6 * 2^e
};
enum : uint16_t { kPrefsTagVersion = 0, kPrefsTagEnd = 1 };
constexpr int32_t kPrefsFileVersion = 1;

// Names the container derives from a preferences path by appending to it: the temporary file of
// a write and the set-aside copy of a damaged file. A path must leave room for the longer one.
constexpr char kPrefsTempSuffix[] = ".new";
constexpr char kPrefsDamagedSuffix[] = ".damaged";

using UiPrefsReadCallback = int32_t (*)(UiState* state, uint16_t tag, uint16_t type, uint32_t count,
                                        const void* data);
using UiPrefsWriteCallback = int32_t (*)(UiState* state, FLFile* file);

// Size in memory of one element of a type; 0 for an unknown type.
uint32_t Ui_Prefs_ElementSize(uint16_t type);
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
                          UiPrefsWriteCallback writePrefsCallback);
int32_t Ui_Prefs_ReadAll(UiState* state, const char* path, const void* fileInfo,
                         UiPrefsReadCallback readCallback, UiPrefsWriteCallback writePrefsCallback);

// Whether a preferences path fits a path buffer together with the names derived from it (a path
// of 255 characters would fit, but its temporary file would not, and every write would fail).
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
// Keeps a damaged file: renames it to path + ".damaged", replacing an older copy, so that the
// copy is byte for byte the damaged file and path is free for a fresh one (Ui_Prefs_WriteAll).
// asidePath (capacity bytes, may be null) receives the copy's path. 0; -1 for a path without
// room for the copy's name; -2 when the file cannot be moved (it then stays where it was).
int32_t Ui_Prefs_SetAside(UiState* state, const char* path, char* asidePath, int32_t capacity);
