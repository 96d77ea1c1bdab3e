// The plug-in's resources: the string table, help text, bitmaps and host resources.
//
// Resources are compiled at build time into one archive (format in resources/README.md) that is
// linked into the module in its own ELF section. The module reads them from memory; a host reads
// the same archive from a module file on disk without running it.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct UiState;
struct FLSpec;

// Four-character resource types, first character in the most significant byte.
constexpr uint32_t ResFourCC(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}
constexpr uint32_t kResTypeString = ResFourCC('S', 'T', 'R', ' ');
constexpr uint32_t kResTypeHelp = ResFourCC('H', 'E', 'L', 'P');  // help text, id 1000
constexpr uint32_t kResTypePiPL = ResFourCC('P', 'i', 'P', 'L');
constexpr uint32_t kResTypeTerminology = ResFourCC('a', 'e', 't', 'e');
constexpr uint32_t kResTypeBitmap = ResFourCC('B', 'M', 'P', ' ');
constexpr uint32_t kResTypeIcon = ResFourCC('I', 'C', 'O', 'N');
constexpr uint32_t kResTypeCursor = ResFourCC('C', 'U', 'R', 'S');
constexpr uint32_t kResTypeDialog = ResFourCC('D', 'L', 'G', ' ');

constexpr char kResSectionName[] = ".kolmara_res";

// A view of an archive in memory. The bytes are not copied: the view lives as long as they do.
struct ResArchive {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t count;  // number of entries
};

// Checks the archive's header and directory (every entry within the bytes); 0 or -8.
int32_t Res_Open(ResArchive* archive, const uint8_t* bytes, uint32_t size);
// Finds a resource; -7 when it is not there (the platform's "not found").
int32_t Res_Find(const ResArchive* archive, uint32_t type, uint32_t id, const uint8_t** data,
                 uint32_t* size);
// The archive linked into this binary (the module's own section).
const ResArchive* Res_ModuleArchive();

// Reads the archive section from an ELF file on disk into a Mem_Alloc block (*bytes, freed by the
// caller) without loading the file. -4 open, -5 read, -8 not an ELF file or no such section.
int32_t Res_ReadFromElfFile(const char* path, uint8_t** bytes, uint32_t* size);

// Loads string id (at most 255 characters) into buffer (256 bytes; a shared static buffer when
// null, overwritten by the next call). "?" when there is no state, no archive or no such string.
char* Ui_ResToCString(UiState* state, int32_t id, char* buffer);
// Copies a help-text resource (id 128 .. 32767) into a new file at destination.
int32_t Ui_ResToFile(UiState* state, uint32_t type, int32_t id, const FLSpec* destination);
