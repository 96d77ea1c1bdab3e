// The module's own resources on Windows: the Windows resources that the build writes from the
// same sources as the Linux archive (tools/rescomp --rc) and links into the DLL.
//
// How the archive's four-character types map to Windows resource types:
// - strings ('STR ') are the module's STRINGTABLE, looked up in their block of sixteen and
//   turned into the ANSI code page;
// - the PiPL and the terminology are the host's types "PIPL" and "AETE" (id 16000);
// - every other type is a resource type named by its four characters without trailing blanks
//   ("DLG", "BMP"; the help text is "HELPTEXT" and the icons "ICONBMP", since HELP and ICON are
//   words of the resource script's language), holding the same bytes as the archive's entry. The
//   Windows forms of dialogs and bitmaps (DIALOGEX, BITMAP) are in the module beside them for the
//   Win32 dialog binding; the framework parses its own templates on both systems.
#include <windows.h>

#include <cstring>

#include "platform/resources.h"

namespace {

constexpr int kStringMax = 255;

HMODULE ThisModule() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&ThisModule), &self);
    return self;
}

int32_t FindBytes(HMODULE module, LPCSTR type, uint32_t id, const uint8_t** data, uint32_t* size) {
    if (id > 0xFFFF) return kStatusFileSeek;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (found == nullptr) return kStatusFileSeek;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return kStatusFileRead;
    *data = static_cast<const uint8_t*>(bytes);
    *size = SizeofResource(module, found);
    return kStatusOk;
}

// One string of the STRINGTABLE in the ANSI code page. Strings are stored in blocks of sixteen
// counted UTF-16 texts; block n + 1 holds the ids 16 n ... 16 n + 15. The text is converted into
// one static buffer, which the next string look-up overwrites: callers copy it at once, as the
// string loader does.
int32_t FindString(HMODULE module, uint32_t id, const uint8_t** data, uint32_t* size) {
    static char text[4 * kStringMax + 1];
    const uint8_t* block = nullptr;
    uint32_t blockSize = 0;
    // 6 is RT_STRING, whose macro names the wide or narrow form depending on UNICODE.
    int32_t status = FindBytes(module, MAKEINTRESOURCEA(6), id / 16 + 1, &block, &blockSize);
    if (status != kStatusOk) return status;
    uint32_t offset = 0;
    for (uint32_t index = 0;; ++index) {
        if (offset + 2 > blockSize) return kStatusFormat;
        uint32_t length = uint32_t(block[offset]) | uint32_t(block[offset + 1]) << 8;
        offset += 2;
        if (uint64_t(offset) + 2ull * length > blockSize) return kStatusFormat;
        if (index == id % 16) {
            // An empty slot is a string that is not there: the table has no empty strings.
            if (length == 0) return kStatusFileSeek;
            const auto* wide = reinterpret_cast<const wchar_t*>(block + offset);
            int n = WideCharToMultiByte(CP_ACP, 0, wide, int(length), text, sizeof text - 1,
                                        nullptr, nullptr);
            if (n <= 0) return kStatusFormat;
            text[n] = 0;
            *data = reinterpret_cast<const uint8_t*>(text);
            *size = uint32_t(n);
            return kStatusOk;
        }
        offset += 2 * length;
    }
}

}  // namespace

const ResArchive* Res_ModuleArchive() {
    static ResArchive archive;
    if (archive.module == nullptr) {
        HMODULE module = ThisModule();
        if (module == nullptr) return nullptr;
        archive.module = module;
    }
    return &archive;
}

int32_t Res_FindInModule(const void* module, uint32_t type, uint32_t id, const uint8_t** data,
                         uint32_t* size) {
    if (module == nullptr || data == nullptr || size == nullptr) return kStatusProblem;
    // The handle is the module's; the resource functions take it as not const.
    auto handle = static_cast<HMODULE>(const_cast<void*>(module));
    if (type == kResTypeString) return FindString(handle, id, data, size);
    char name[9];
    Res_WindowsTypeName(type, name);
    return FindBytes(handle, name, id, data, size);
}
