// The plug-in's resources: the string table, help text, bitmaps and host resources.
//
// Resources are compiled at build time from the text sources under resources/. On Linux they form
// one archive (format in resources/README.md) linked into the module in its own ELF section; the
// module reads them from memory, and a host reads the same archive from a module file on disk
// without running it. On Windows they are the module's own Windows resources (the build writes
// them as a .rc script), found with FindResource. Either way the callers see one interface: an
// archive, and Res_Find on it by four-character type and id.
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
// On Windows the module's archive has no bytes of its own: module is the module's handle and
// every look-up goes to its Windows resources.
struct ResArchive {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t count;  // number of entries
    const void* module;
};

// Checks the archive's header and directory (every entry within the bytes); 0 or -8.
int32_t Res_Open(ResArchive* archive, const uint8_t* bytes, uint32_t size);
// Finds a resource; -7 when it is not there (the platform's "not found").
int32_t Res_Find(const ResArchive* archive, uint32_t type, uint32_t id, const uint8_t** data,
                 uint32_t* size);
// The archive linked into this binary (the module's own section, or its Windows resources).
const ResArchive* Res_ModuleArchive();
// Finds a resource among a Windows module's resources (see resources_win32.cpp for how types map
// to Windows resource types); -7 when it is not there, -5 when it cannot be loaded.
int32_t Res_FindInModule(const void* module, uint32_t type, uint32_t id, const uint8_t** data,
                         uint32_t* size);

// Reads the archive section from an ELF file on disk into a Mem_Alloc block (*bytes, freed by the
// caller) without loading the file. -4 open, -5 read, -8 not an ELF file or no such section.
int32_t Res_ReadFromElfFile(const char* path, uint8_t** bytes, uint32_t* size);

// The name of a Windows resource type for an archive type, as the Windows module carries it:
// "PIPL" and "AETE" for the host's resources, "HELPTEXT" for the help text (HELP is a word of
// the resource script's language), else the type's characters up to the first blank in upper
// case. name holds 9 bytes. Strings are not named: they are the module's STRINGTABLE.
void Res_WindowsTypeName(uint32_t type, char* name);

// Reads one resource from a Windows module file (PE) on disk, without loading it, into a
// Mem_Alloc block (*bytes, freed by the caller): a host reads the PiPL of a .8bf this way. Every
// offset and size from the file is checked. -4 open, -5 read, -7 no such resource, -8 not a PE
// file or a damaged resource directory, -3 memory.
int32_t Res_ReadFromPeFile(const char* path, uint32_t type, uint32_t id, uint8_t** bytes,
                           uint32_t* size);

// Loads string id (at most 255 characters) into buffer (256 bytes; a shared static buffer when
// null, overwritten by the next call). "?" when there is no state, no archive or no such string.
char* Ui_ResToCString(UiState* state, int32_t id, char* buffer);
// Copies a help-text resource (id 128 .. 32767) into a new file at destination.
int32_t Ui_ResToFile(UiState* state, uint32_t type, int32_t id, const FLSpec* destination);
