// The module's own resources on Linux: the archive linked into the module's ELF section, and
// reading that section from a module file on disk without loading it.
#include <elf.h>

#include <cstdio>
#include <cstring>

#include "platform/mem.h"
#include "platform/os.h"
#include "platform/resources.h"

// The archive compiled into this binary (generated at build time).
extern "C" const uint8_t kolmara_res_archive[];
extern "C" const uint32_t kolmara_res_archive_size;

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
    FILE* f = Os_OpenFile(path, "rb");
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

int32_t Res_FindInModule(const void*, uint32_t, uint32_t, const uint8_t**, uint32_t*) {
    // On Linux every archive is a block of bytes; a module handle never reaches here.
    return kStatusFileSeek;
}
