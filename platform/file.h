// The file layer: one small interface over disk files and caller-owned memory blocks.
//
// An FLFile stands either for a disk file (a buffered standard stream) or for a memory block
// that the caller owns and that is read and written as if it were a file. Memory files never
// grow: the caller sizes the block, and writes beyond it are cut short with -6. All failures
// are status codes (platform/status.h); nothing here shows anything to the user.
//
// Also here: the readers of big-endian fields used by the binary formats, and the check of an
// ICC profile header.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/status.h"

struct UiState;

enum : uint32_t {
    kFLKindDisk = 0,
    kFLKindMemoryOld = 4,  // second byte "m": recognised, refused (see FLOpen)
    kFLKindMemory = 5,     // second byte "b"
    kFLKindNotOpen = 1000,
};

enum : uint32_t { kFLRead = 1, kFLWrite = 2, kFLReadWrite = 3 };

constexpr int kFLPathSize = 256;
constexpr int kFLSpecSize = 320;

struct FLFile {
    uint32_t kind = kFLKindNotOpen;
    uint32_t mode = 0;
    char path[kFLPathSize] = {};
    int32_t position = 0;  // memory files only
    FILE* stream = nullptr;
    uint8_t* base = nullptr;
    int32_t size = 0;
    int32_t end = 0;
};

// A file designation of 320 bytes. A first byte other than NUL: a disk file at the NUL-terminated
// path. First byte NUL and second byte "b": a memory file whose 64-bit address is at offset 8 and
// whose signed 32-bit size is at offset 16.
struct FLSpec {
    unsigned char bytes[kFLSpecSize];
};
static_assert(sizeof(FLSpec) == kFLSpecSize);

// Fill a designation. The path is cut at 255 characters.
void FLSpecDisk(FLSpec* spec, const char* path);
void FLSpecMemory(FLSpec* spec, void* base, int32_t size);

int32_t FLOpen(FLFile* file, const FLSpec* spec, uint32_t mode);
// Whether a disk designation names something that is there (a file, a folder, a link, even one
// that leads nowhere), so that a caller can tell "no such file" from "cannot be opened". False
// for memory designations and null.
bool FLExists(const FLSpec* spec);
int32_t FLClose(FLFile* file);
void FLCloseAndDelete(FLFile* file);
int32_t FLDelete(const FLSpec* spec);
int32_t FLTell(FLFile* file, int32_t* position);
int32_t FLRead(FLFile* file, void* buffer, int32_t* count, uint8_t exact);
int32_t FLWrite(FLFile* file, const void* buffer, int32_t* count);
int32_t FLSeek(FLFile* file, int32_t offset, int32_t origin);
// Reads one text line of any convention (CR, LF, CR LF, LF CR); the text comes back ending in a
// single LF when the line had a terminator. *capacity in: buffer size; out: text length.
int32_t FLReadLine(FLFile* file, char* buffer, int32_t* capacity);
// Writes text with every LF expanded to CR LF.
int32_t FLWriteText(FLFile* file, const char* text);

enum : uint32_t {
    kFLOptionResetLibrary = 1,
    kFLOptionNoDisk = 3,
    kFLOptionLibrary = 4,
    kFLOptionBufferSize = 6,
    kFLOptionAll = 7,
};
// Option 7 takes (and FLGetOption fills) an array of three values: option 3, option 6, option 4.
int32_t FLSetOption(uint32_t option, const uint32_t* value);
int32_t FLGetOption(uint32_t option, uint32_t* value);

// Sets a file's type information where the platform has it; on Linux it does nothing.
int32_t Ui_File_SetInfo(UiState* state, const char* path, const void* info);

// Big-endian field readers: store the value and return the pointer advanced past it.
const uint8_t* FL_GetU8(const uint8_t* p, uint8_t* v);
const uint8_t* FL_GetU16(const uint8_t* p, uint16_t* v);
const uint8_t* FL_GetU32(const uint8_t* p, uint32_t* v);
const uint8_t* FL_GetU64(const uint8_t* p, uint64_t* v);  // high 32-bit half first
const uint8_t* FL_GetBytes(const uint8_t* p, uint8_t* v, uint32_t n);
const uint8_t* FL_Get6U16(const uint8_t* p, uint16_t v[6]);
const uint8_t* FL_Get3U32(const uint8_t* p, uint32_t v[3]);
// Writers of the same forms, for the formats the plug-in writes.
uint8_t* FL_PutU16(uint8_t* p, uint16_t v);
uint8_t* FL_PutU32(uint8_t* p, uint32_t v);

// The unpacked 128-byte header of an ICC profile.
struct FLIccHeader {
    uint32_t size;
    uint32_t cmm;
    uint32_t version;
    uint32_t deviceClass;
    uint32_t colorSpace;
    uint32_t connectionSpace;
    uint16_t date[6];
    uint32_t signature;
    uint32_t platform;
    uint32_t flags;
    uint32_t manufacturer;
    uint32_t model;
    uint64_t attributes;
    uint32_t renderingIntent;
    uint32_t illuminant[3];
    uint32_t creator;
    uint8_t reserved[44];
};

// Reads the first 128 bytes of an open file and accepts the header when the signature is "acsp",
// the class is scanner, monitor, printer or link, and (unless link) the connection space is XYZ
// or Lab; otherwise -8. On success *header is a Mem_Alloc block the caller frees.
int32_t FLCheckIccHeader(FLFile* file, FLIccHeader** header);
