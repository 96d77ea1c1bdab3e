// The preferences file: a container of tagged, typed entries.
//
// The file is a sequence of entries (tag, type, count, then count elements, numbers most
// significant byte first), opened by a version entry (tag 0) and closed by an end entry (tag 1).
// The container converts values to and from their stored forms and hands each entry to the
// owner's callback; it knows nothing of what the entries mean.
//
// A file is written to a temporary file in the same folder and renamed over the old one only
// when every entry was written, so a failed write never destroys the user's saved settings.
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
