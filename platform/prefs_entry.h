// The entries of a preferences file: element types, the container's own tags, element sizes.
//
// What the file's container (platform/prefs_file.h) and the merging of files in memory
// (platform/prefs_merge.h) both read, kept apart so that neither depends on the other for it.
#pragma once

#include <cstdint>

enum : uint16_t {
    kPrefsTypeBytes = 0,  // raw bytes
    kPrefsTypeInt16 = 1,
    kPrefsTypeInt32 = 2,
    kPrefsTypeFloatBin = 3,  // exponent byte, 24-bit mantissa: m * 2^-23 * 2^e
    kPrefsTypeFloatDec = 4,  // exponent byte, mantissa -999999..999999: m * 10^-6 * 2^e
};
enum : uint16_t { kPrefsTagVersion = 0, kPrefsTagEnd = 1 };
constexpr int32_t kPrefsFileVersion = 1;

// Size in memory of one element of a type; 0 for an unknown type.
uint32_t Ui_Prefs_ElementSize(uint16_t type);
