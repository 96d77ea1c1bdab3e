// The resource archive reader and the string and file loaders; see resources.h and
// resources/README.md for the archive format.
#include "platform/resources.h"

#include <elf.h>

#include <cstdio>
#include <cstring>

#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/ui_state.h"

// The archive compiled into this binary (generated at build time).
extern "C" const uint8_t kolmara_res_archive[];
extern "C" const uint32_t kolmara_res_archive_size;

namespace {

constexpr uint8_t kMagic[4] = {'K', 'R', 'E', 'S'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kEntrySize = 16;
constexpr int kStringMax = 255;

uint32_t BE32(const uint8_t* p) {
    uint32_t v;
    FL_GetU32(p, &v);
    return v;
}

}  // namespace

int32_t Res_Open(ResArchive* archive, const uint8_t* bytes, uint32_t size) {
    if (archive == nullptr || bytes == nullptr) return kStatusProblem;
    archive->bytes = nullptr;
    archive->size = 0;
    archive->count = 0;
    if (size < kHeaderSize || std::memcmp(bytes, kMagic, 4) != 0 || BE32(bytes + 4) != kVersion) {
        return kStatusFormat;
    }
    uint32_t count = BE32(bytes + 8);
    if (uint64_t(count) * kEntrySize > size - kHeaderSize) return kStatusFormat;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = bytes + kHeaderSize + i * kEntrySize;
        uint64_t offset = BE32(e + 8), length = BE32(e + 12);
        if (offset + length > size) return kStatusFormat;
    }
    archive->bytes = bytes;
    archive->size = size;
    archive->count = count;
    return kStatusOk;
}

int32_t Res_Find(const ResArchive* archive, uint32_t type, uint32_t id, const uint8_t** data,
                 uint32_t* size) {
    if (archive == nullptr || data == nullptr || size == nullptr || archive->bytes == nullptr) {
        return kStatusProblem;
    }
    // The directory is sorted by type, then id.
    uint32_t lo = 0, hi = archive->count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        const uint8_t* e = archive->bytes + kHeaderSize + mid * kEntrySize;
        uint64_t key = (uint64_t(BE32(e)) << 32) | BE32(e + 4);
        uint64_t want = (uint64_t(type) << 32) | id;
        if (key == want) {
            *data = archive->bytes + BE32(e + 8);
            *size = BE32(e + 12);
            return kStatusOk;
        }
        if (key < want) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return kStatusFileSeek;
}

const ResArchive* Res_ModuleArchive() {
    static ResArchive archive;
    static bool opened = false;
    if (!opened) {
        opened = Res_Open(&archive, kolmara_res_archive, kolmara_res_archive_size) == kStatusOk;
        if (!opened) return nullptr;
    }
    return &archive;
}

int32_t Res_ReadFromElfFile(const char* path, uint8_t** bytes, uint32_t* size) {
    if (path == nullptr || bytes == nullptr || size == nullptr) return kStatusProblem;
    *bytes = nullptr;
    *size = 0;
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return kStatusFileOpen;
    int32_t status = kStatusFormat;
    uint8_t* names = nullptr;
    do {
        if (std::fseek(f, 0, SEEK_END) != 0) break;
        long fileSize = std::ftell(f);
        Elf64_Ehdr eh;
        if (fileSize < long(sizeof eh) || std::fseek(f, 0, SEEK_SET) != 0 ||
            std::fread(&eh, sizeof eh, 1, f) != 1) {
            status = kStatusFileRead;
            break;
        }
        if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
            eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum) {
            break;
        }
        auto inFile = [&](uint64_t offset, uint64_t length) {
            return offset <= uint64_t(fileSize) && length <= uint64_t(fileSize) - offset;
        };
        if (!inFile(eh.e_shoff, uint64_t(eh.e_shnum) * sizeof(Elf64_Shdr))) break;
        auto readHeader = [&](uint32_t index, Elf64_Shdr* sh) {
            return std::fseek(f, long(eh.e_shoff + index * sizeof(Elf64_Shdr)), SEEK_SET) == 0 &&
                   std::fread(sh, sizeof *sh, 1, f) == 1;
        };
        Elf64_Shdr strtab;
        if (!readHeader(eh.e_shstrndx, &strtab) || !inFile(strtab.sh_offset, strtab.sh_size) ||
            strtab.sh_size == 0 || strtab.sh_size > 0x100000) {
            break;
        }
        names = static_cast<uint8_t*>(Mem_Alloc(uint32_t(strtab.sh_size) + 1));
        if (names == nullptr) {
            status = kStatusNoMemory;
            break;
        }
        if (std::fseek(f, long(strtab.sh_offset), SEEK_SET) != 0 ||
            std::fread(names, strtab.sh_size, 1, f) != 1) {
            status = kStatusFileRead;
            break;
        }
        names[strtab.sh_size] = 0;
        for (uint32_t i = 0; i < eh.e_shnum; ++i) {
            Elf64_Shdr sh;
            if (!readHeader(i, &sh)) {
                status = kStatusFileRead;
                break;
            }
            if (sh.sh_name >= strtab.sh_size ||
                std::strcmp(reinterpret_cast<char*>(names + sh.sh_name), kResSectionName) != 0) {
                continue;
            }
            if (sh.sh_type == SHT_NOBITS || !inFile(sh.sh_offset, sh.sh_size) ||
                sh.sh_size > 0x7FFFFFF0u) {
                break;
            }
            auto* block = static_cast<uint8_t*>(Mem_Alloc(uint32_t(sh.sh_size)));
            if (block == nullptr) {
                status = kStatusNoMemory;
                break;
            }
            if (std::fseek(f, long(sh.sh_offset), SEEK_SET) != 0 ||
                std::fread(block, sh.sh_size, 1, f) != 1) {
                Mem_Free(block);
                status = kStatusFileRead;
                break;
            }
            ResArchive check;
            if (Res_Open(&check, block, uint32_t(sh.sh_size)) != kStatusOk) {
                Mem_Free(block);
                break;
            }
            *bytes = block;
            *size = uint32_t(sh.sh_size);
            status = kStatusOk;
            break;
        }
    } while (false);
    Mem_Free(names);
    std::fclose(f);
    return status;
}

char* Ui_ResToCString(UiState* state, int32_t id, char* buffer) {
    static char shared[kStringMax + 1];
    if (buffer == nullptr) buffer = shared;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    int32_t status = kStatusProblem;
    if (state != nullptr && state->resSrc != nullptr && id >= 0) {
        status = Res_Find(state->resSrc, kResTypeString, uint32_t(id), &data, &size);
    }
    if (status != kStatusOk) {
        Str_Copy(buffer, "?");
        if (state != nullptr) {
            char line[80];
            // There is no system error number here; the status stands in for it.
            Ui_FormatStringN(line, sizeof line, "Ui_ResToCString, LoadString error = %ld",
                             long(status));
            Ui_Debug_Log(state->diagnostics, line);
        }
        return buffer;
    }
    if (size > uint32_t(kStringMax)) size = kStringMax;
    Mem_Copy(buffer, data, size);
    buffer[size] = 0;
    return buffer;
}

int32_t Ui_ResToFile(UiState* state, uint32_t type, int32_t id, const FLSpec* destination) {
    if (type != kResTypeHelp || id < 128 || id > 32767 || destination == nullptr) {
        return kStatusProblem;
    }
    const ResArchive* archive = state != nullptr ? state->resSrc : nullptr;
    if (archive == nullptr) return kStatusFileSeek;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (Res_Find(archive, type, uint32_t(id), &data, &size) != kStatusOk) return kStatusFileSeek;
    if (size == 0) return kStatusFormat;
    if (size > 0x7FFFFFFFu) return kStatusFileRead;
    FLFile file;
    int32_t status = FLOpen(&file, destination, kFLWrite);
    if (status != kStatusOk) return status;
    int32_t count = int32_t(size);
    status = FLWrite(&file, data, &count);
    int32_t closed = FLClose(&file);
    return status != kStatusOk ? status : closed;
}
