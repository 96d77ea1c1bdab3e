// Folders, temporary names and path splitting; see paths.h.
#include "platform/paths.h"

#include <cstdio>
#include <cstring>

#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/resources.h"
#include "platform/ui_state_record.h"
#include "resources/ids/strings.h"

namespace {

constexpr char kTempPattern[] = "Lumetra%06d.tmp";

void LogState(UiState* state, const char* text) {
    if (state != nullptr) Ui_Debug_Log(state->diagnostics, text);
}

void LogNote(void* state, const char* text) {
    LogState(static_cast<UiState*>(state), text);
}

// Fills a 256-byte buffer with a folder path and its separator; -2 when empty or too long.
int32_t SetFolder(char* buffer, const char* folder) {
    if (folder == nullptr || folder[0] == 0 || std::strlen(folder) >= size_t(kPathSize) - 1) {
        return kStatusError;
    }
    Str_CopyBounded(buffer, kPathSize, folder);
    return Ui_Path_EndWithSeparator(buffer, kPathSize) ? kStatusOk : kStatusError;
}

}  // namespace

int32_t Ui_Path_SetToPrefFolder(UiState* state, char* buffer, int32_t capacity) {
    const char* company = state != nullptr ? state->companyName : nullptr;
    return Ui_Path_PrefFolderOf(company, buffer, capacity, LogNote, state);
}

int32_t Ui_Path_SetToCurrentFolder(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    char cwd[1024];
    if (!Os_CurrentFolder(cwd, sizeof cwd)) return kStatusError;
    return SetFolder(buffer, cwd);
}

int32_t Ui_Path_SetToTempFolder(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    char tmp[1024];
    if (!Os_TempFolder(tmp, sizeof tmp)) return kStatusError;
    return SetFolder(buffer, tmp);
}

int32_t Ui_Path_SetToModuleFolder(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    buffer[0] = 0;
    char file[1024];
    if (!Os_ModuleFile(file, sizeof file)) return kStatusError;
    char* name = const_cast<char*>(Ui_Path_FileName(file));
    if (name == file || size_t(name - file) >= size_t(kPathSize)) return kStatusError;
    *name = 0;
    Str_CopyBounded(buffer, kPathSize, file);
    return kStatusOk;
}

int32_t Ui_Path_SetToColorFolder(UiState*, char* buffer, int32_t capacity) {
    if (buffer == nullptr || capacity < 1) return kStatusProblem;
    return Os_ColorFolder(buffer, size_t(capacity)) ? kStatusOk : kStatusError;
}

int32_t Ui_Path_SetToTempFile(UiState* state, const char* folder, char* out, int32_t capacity) {
    if (folder == nullptr || out == nullptr || capacity < 1) return kStatusProblem;
    char pattern[kPathSize];
    Ui_ResToCString(state, kStrTempFileName, pattern);
    // Without a call state the string table cannot be reached; the built-in pattern stands in.
    if (Str_Compare(pattern, "?") == 0) Str_Copy(pattern, kTempPattern);
    char name[kPathSize];
    size_t nameLength = Str_FormatPhrase(name, sizeof name, pattern, 0);
    size_t folderLength = std::strlen(folder);
    if (int64_t(folderLength + nameLength + 1) > capacity) return kStatusProblem;
    if (out != folder) Mem_Copy(out, folder, folderLength + 1);
    for (int32_t n = 0; n < 999999; ++n) {
        Str_FormatPhrase(out + folderLength, size_t(capacity) - folderLength, pattern, n);
        // Taking the name by making the file: a name only found free could be found free by
        // another process at the same moment, and both would write the same file.
        int error = Os_CreateNewFile(out);
        if (error == 0) return kStatusOk;
        if (!Os_ErrorIsExisting(error)) break;  // a folder that is not there or not writable
    }
    out[folderLength] = 0;
    return kStatusError;
}

int32_t Ui_Path_ToUrlPath(const char* path, char* out, int32_t capacity) {
    if (path == nullptr || out == nullptr || capacity < 1) return kStatusProblem;
    out[0] = 0;
    const bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                       Ui_Path_IsSeparator(path[2]);
    if (!drive && !Ui_Path_IsSeparator(path[0])) return kStatusUnsupported;
    static const char kHex[] = "0123456789ABCDEF";
    int32_t n = 0;
    auto put = [&](char c) {
        if (n + 1 >= capacity) return false;
        out[n++] = c;
        return true;
    };
    bool fits = !drive || put('/');
    for (const char* p = path; *p != 0 && fits; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == ':';
        if (Ui_Path_IsSeparator(char(c))) {
            fits = put('/');
        } else if (plain) {
            fits = put(char(c));
        } else {
            fits = put('%') && put(kHex[c >> 4]) && put(kHex[c & 15]);
        }
    }
    out[fits ? n : 0] = 0;
    return fits ? kStatusOk : kStatusError;
}

const char* Ui_Path_FileName(const char* path) {
    if (path == nullptr) return nullptr;
    const char* slash = nullptr;
    for (const char* p = path; *p; ++p) {
        if (Ui_Path_IsSeparator(*p)) slash = p;
    }
    if (slash != nullptr) return slash + 1;
    const char* colon = Str_FindLastChar(path, ':');
    return colon != nullptr ? colon + 1 : path;
}

char* Ui_Path_Folder(const char* path, char* buffer) {
    static char shared[kPathSize];
    if (buffer == nullptr) buffer = shared;
    if (path == nullptr) {
        buffer[0] = 0;
        return buffer;
    }
    size_t folderLength = size_t(Ui_Path_FileName(path) - path);
    if (folderLength > size_t(kPathSize) - 1) folderLength = kPathSize - 1;
    Mem_Copy(buffer, path, folderLength);
    buffer[folderLength] = 0;
    return buffer;
}

int32_t Ui_Path_StripExtension(char* path) {
    if (path == nullptr) return kStatusProblem;
    // Only the file name's own dot: a dot in a folder name ("/home/u.v/file") is not an
    // extension, and cutting there would leave a different path.
    char* name = path + (Ui_Path_FileName(path) - path);
    char* dot = Str_FindLastChar(name, '.');
    if (dot != nullptr) *dot = 0;
    return kStatusOk;
}
