// Module resources read from disk; see module_file.h.
#include "tools/hostlib/module_file.h"

#include <cstdio>

#include "platform/mem.h"
#include "platform/os.h"
#include "platform/resources.h"
#include "tools/hostlib/host_os.h"

namespace {

// A Windows module (.8bf) starts with the "MZ" of its DOS stub.
bool IsWindowsModule(const std::string& path) {
    char magic[2] = {0, 0};
    FILE* in = Os_OpenFile(path.c_str(), "rb");
    if (in == nullptr) return false;
    const bool read = std::fread(magic, 1, 2, in) == 2;
    std::fclose(in);
    return read && magic[0] == 'M' && magic[1] == 'Z';
}

// The resource from a Windows module's own resources, where the host finds it there.
bool ReadWindowsResource(const std::string& path, uint32_t type, uint32_t id, std::string* bytes,
                         std::string* error) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    int32_t status = Res_ReadFromPeFile(path.c_str(), type, id, &data, &size);
    if (status == kStatusOk) bytes->assign(reinterpret_cast<const char*>(data), size);
    Mem_Free(data);
    if (status == kStatusFileOpen) {
        *error = "cannot open the file";
    } else if (status == kStatusFileSeek) {
        *error = "it carries no resource " + std::to_string(id) + " of the type asked for";
    } else if (status != kStatusOk) {
        *error = "its Windows resources cannot be read (status " + std::to_string(status) + ")";
    }
    return status == kStatusOk;
}

}  // namespace

uint32_t ModulePiplType() {
    return kResTypePiPL;
}

bool ReadModuleResource(const std::string& path, uint32_t type, uint32_t id, std::string* bytes,
                        std::string* error) {
    if (IsWindowsModule(path)) return ReadWindowsResource(path, type, id, bytes, error);
    uint8_t* archiveBytes = nullptr;
    uint32_t size = 0;
    int32_t status = HostOs_ReadElfResources(path.c_str(), &archiveBytes, &size);
    ResArchive archive;
    const uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    bool ok = false;
    if (status == kStatusFileOpen) {
        *error = "cannot open the file";
    } else if (status == kStatusFileRead || status == kStatusFormat) {
        *error = "not a module with a resource section";
    } else if (status != kStatusOk) {
        *error = "cannot read its resource section (status " + std::to_string(status) + ")";
    } else if (Res_Open(&archive, archiveBytes, size) != kStatusOk) {
        *error = "its resource archive is damaged";
    } else if (Res_Find(&archive, type, id, &data, &dataSize) != kStatusOk) {
        *error = "it carries no resource " + std::to_string(id) + " of the type asked for";
    } else {
        bytes->assign(reinterpret_cast<const char*>(data), dataSize);
        ok = true;
    }
    Mem_Free(archiveBytes);
    return ok;
}
