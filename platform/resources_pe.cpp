// Reading one resource from a Windows module file (PE, 32- or 64-bit) on disk without loading
// it; see resources.h. A host uses it on both systems to read a .8bf's PiPL, as it reads the
// archive section of a Linux module. The file is hostile input: every offset, count and size
// read from it is checked against what was read before it is used, and the directory walk is
// bounded (three levels: type, id, the first language).
#include <cstdio>
#include <cstring>

#include "platform/mem.h"
#include "platform/os.h"
#include "platform/resources.h"

namespace {

constexpr uint32_t kMaxFile = 256u << 20;  // no module is larger; a bigger file is refused
constexpr uint32_t kResourceDirectory = 2;

uint32_t LE16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The resource section as the directory sees it: bytes at virtual addresses base ... base + size.
struct Section {
    const uint8_t* bytes;
    uint32_t base;
    uint32_t size;
};

bool Within(const Section& s, uint32_t offset, uint32_t length) {
    return offset <= s.size && length <= s.size - offset;
}

// Whether a directory entry's name is the ASCII text name (length and characters of a counted
// UTF-16 string in the section).
bool NameIs(const Section& s, uint32_t offset, const char* name) {
    if (!Within(s, offset, 2)) return false;
    uint32_t length = LE16(s.bytes + offset);
    if (length != std::strlen(name) || !Within(s, offset + 2, 2 * length)) return false;
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t c = LE16(s.bytes + offset + 2 + 2 * i);
        uint32_t want = uint8_t(name[i]);
        // Type names are compared without case, as Windows compares them.
        if ('a' <= c && c <= 'z') c -= 'a' - 'A';
        if ('a' <= want && want <= 'z') want -= 'a' - 'A';
        if (c != want) return false;
    }
    return true;
}

// Finds the entry of directory at offset named name (when not null) or numbered id (when name
// is null), or the first entry when first is set; its data offset, or -7 / -8.
int32_t FindEntry(const Section& s, uint32_t directory, const char* name, uint32_t id, bool first,
                  uint32_t* target) {
    if (!Within(s, directory, 16)) return kStatusFormat;
    uint32_t named = LE16(s.bytes + directory + 12), numbered = LE16(s.bytes + directory + 14);
    uint32_t count = named + numbered;
    if (!Within(s, directory + 16, 8 * count)) return kStatusFormat;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = s.bytes + directory + 16 + 8 * i;
        uint32_t key = LE32(e);
        bool isName = (key & 0x80000000u) != 0;
        bool match = first || (name != nullptr ? isName && NameIs(s, key & 0x7FFFFFFFu, name)
                                               : !isName && key == id);
        if (match) {
            *target = LE32(e + 4);
            return kStatusOk;
        }
    }
    return kStatusFileSeek;
}

// Descends one level: the entry must lead to a subdirectory.
int32_t Descend(const Section& s, uint32_t directory, const char* name, uint32_t id, bool first,
                uint32_t* subdirectory) {
    uint32_t target = 0;
    int32_t status = FindEntry(s, directory, name, id, first, &target);
    if (status != kStatusOk) return status;
    if ((target & 0x80000000u) == 0) return kStatusFormat;
    *subdirectory = target & 0x7FFFFFFFu;
    return kStatusOk;
}

int32_t FindResource(const Section& s, uint32_t type, uint32_t id, uint32_t* offset,
                     uint32_t* length) {
    char name[9];
    Res_WindowsTypeName(type, name);
    uint32_t byType = 0, byId = 0, data = 0;
    int32_t status = Descend(s, 0, name, 0, false, &byType);
    if (status == kStatusOk) status = Descend(s, byType, nullptr, id, false, &byId);
    if (status == kStatusOk) status = FindEntry(s, byId, nullptr, 0, true, &data);
    if (status != kStatusOk) return status;
    if ((data & 0x80000000u) != 0 || !Within(s, data, 16)) return kStatusFormat;
    uint32_t rva = LE32(s.bytes + data), size = LE32(s.bytes + data + 4);
    if (rva < s.base || !Within(s, rva - s.base, size)) return kStatusFormat;
    *offset = rva - s.base;
    *length = size;
    return kStatusOk;
}

// The resource section of a PE image in memory: -7 when it has none, -8 when damaged.
int32_t ResourceSection(const uint8_t* file, uint32_t fileSize, Section* s) {
    if (fileSize < 64 || file[0] != 'M' || file[1] != 'Z') return kStatusFormat;
    uint32_t pe = LE32(file + 0x3C);
    if (pe > fileSize || fileSize - pe < 24 || std::memcmp(file + pe, "PE\0\0", 4) != 0) {
        return kStatusFormat;
    }
    uint32_t sections = LE16(file + pe + 6), optionalSize = LE16(file + pe + 20);
    uint32_t optional = pe + 24;
    if (fileSize - optional < optionalSize || optionalSize < 2) return kStatusFormat;
    uint32_t magic = LE16(file + optional);
    uint32_t countAt = magic == 0x20B ? 108 : magic == 0x10B ? 92 : 0;
    if (countAt == 0 || optionalSize < countAt + 4) return kStatusFormat;
    uint32_t directories = LE32(file + optional + countAt);
    if (directories <= kResourceDirectory) return kStatusFileSeek;
    uint32_t entry = countAt + 4 + 8 * kResourceDirectory;
    if (optionalSize < entry + 8) return kStatusFormat;
    uint32_t rva = LE32(file + optional + entry), size = LE32(file + optional + entry + 4);
    if (rva == 0 || size == 0) return kStatusFileSeek;
    uint32_t table = optional + optionalSize;
    if (uint64_t(sections) * 40 > fileSize - table) return kStatusFormat;
    for (uint32_t i = 0; i < sections; ++i) {
        const uint8_t* h = file + table + 40 * i;
        uint32_t address = LE32(h + 12), raw = LE32(h + 16), at = LE32(h + 20);
        if (rva < address || rva - address >= raw) continue;
        if (at > fileSize || raw > fileSize - at) return kStatusFormat;
        // The directory starts at rva; everything it names lies in the rest of the section.
        s->bytes = file + at + (rva - address);
        s->base = rva;
        s->size = raw - (rva - address);
        return kStatusOk;
    }
    return kStatusFormat;
}

}  // namespace

int32_t Res_ReadFromPeFile(const char* path, uint32_t type, uint32_t id, uint8_t** bytes,
                           uint32_t* size) {
    if (path == nullptr || bytes == nullptr || size == nullptr) return kStatusProblem;
    *bytes = nullptr;
    *size = 0;
    FILE* f = Os_OpenFile(path, "rb");
    if (f == nullptr) return kStatusFileOpen;
    uint8_t* file = nullptr;
    int32_t status = kStatusFileRead;
    long fileSize = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) fileSize = std::ftell(f);
    if (fileSize >= 0 && uint64_t(fileSize) > kMaxFile) {
        status = kStatusFormat;
    } else if (fileSize >= 0 && std::fseek(f, 0, SEEK_SET) == 0) {
        file = static_cast<uint8_t*>(Mem_Alloc(uint32_t(fileSize) + 1));
        if (file == nullptr) {
            status = kStatusNoMemory;
        } else if (fileSize == 0 || std::fread(file, size_t(fileSize), 1, f) == 1) {
            Section section{};
            uint32_t offset = 0, length = 0;
            status = ResourceSection(file, uint32_t(fileSize), &section);
            if (status == kStatusOk) status = FindResource(section, type, id, &offset, &length);
            if (status == kStatusOk) {
                *bytes = static_cast<uint8_t*>(Mem_Alloc(length + 1));
                if (*bytes == nullptr) {
                    status = kStatusNoMemory;
                } else {
                    Mem_Copy(*bytes, section.bytes + offset, length);
                    *size = length;
                }
            }
        }
    }
    Mem_Free(file);
    std::fclose(f);
    return status;
}
