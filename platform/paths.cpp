// Folders, temporary names and path splitting; see paths.h.
#include "platform/paths.h"

#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"

namespace {

constexpr char kDefaultCompany[] = "Lumetra";
constexpr char kDebugLogName[] = "LumetraDebug.txt";
constexpr char kTempPattern[] = "Lumetra%06d.tmp";
constexpr char kColorFolder[] = "/usr/share/color/icc/";
constexpr int32_t kNoAppDataFolder = int32_t(0x80004005u);

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

void LogState(UiState* state, const char* text) {
    if (state != nullptr) Ui_Debug_Log(state->diagnostics, text);
}

// Creates every missing folder of path; 0 or the errno of the first failure. A path too long
// for a path buffer is refused (ENAMETOOLONG) before anything is made: cut short, it would name
// another folder.
int MakeFolders(const char* path) {
    char tmp[kPathSize];
    size_t n = std::strlen(path);
    if (n >= sizeof tmp) return ENAMETOOLONG;
    Mem_Copy(tmp, path, n + 1);
    for (size_t i = 1; i <= n; ++i) {
        if (i == n || tmp[i] == '/') {
            char saved = tmp[i];
            tmp[i] = 0;
            if (mkdir(tmp, 0700) != 0 && errno != EEXIST) return errno;
            tmp[i] = saved;
        }
    }
    return 0;
}

// The per-user configuration folder in place of the application-data folder, created when
// missing. 0, or the failure code the shell would give; also for a folder path that no path
// buffer holds, which then counts as no folder at all.
int32_t AppDataFolder(char* buffer, size_t capacity) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    int n;
    if (xdg != nullptr && xdg[0] == '/') {
        n = std::snprintf(buffer, capacity, "%s", xdg);
    } else if (home != nullptr && home[0] != 0) {
        n = std::snprintf(buffer, capacity, "%s/.config", home);
    } else {
        return kNoAppDataFolder;
    }
    if (n <= 0 || size_t(n) >= capacity || n >= kPathSize) return kNoAppDataFolder;
    if (MakeFolders(buffer) != 0) return kNoAppDataFolder;
    return 0;
}

// Appends a separator when the path has none at its end and there is room; false when not.
bool EndWithSeparator(char* buffer, int32_t capacity) {
    size_t n = std::strlen(buffer);
    if (n > 0 && IsSeparator(buffer[n - 1])) return true;
    if (int32_t(n + 2) > capacity) return false;
    buffer[n] = '/';
    buffer[n + 1] = 0;
    return true;
}

// Fills a 256-byte buffer with a folder path and its separator; -2 when empty or too long.
int32_t SetFolder(char* buffer, const char* folder) {
    if (folder == nullptr || folder[0] == 0 || std::strlen(folder) >= size_t(kPathSize) - 1) {
        return kStatusError;
    }
    Str_CopyBounded(buffer, kPathSize, folder);
    return EndWithSeparator(buffer, kPathSize) ? kStatusOk : kStatusError;
}

}  // namespace

int32_t Ui_Path_SetToPrefFolder(UiState* state, char* buffer, int32_t capacity) {
    if (buffer == nullptr || capacity < 1) return kStatusProblem;
    char line[2 * kPathSize];
    char appData[1024];
    bool ok = false;
    int32_t code = AppDataFolder(appData, sizeof appData);
    if (code != 0) {
        Ui_FormatStringN(line, sizeof line,
                         "Ui_Path_SetToPrefFolder: Error %d getting appdata folder", code);
        LogState(state, line);
    } else {
        const char* name = kDefaultCompany;
        if (state != nullptr && state->companyName[0] != 0) name = state->companyName;
        if (int64_t(std::strlen(appData)) + int64_t(std::strlen(name)) + 3 > capacity) {
            Ui_FormatStringN(line, sizeof line, "Application Data path too long (%s)", appData);
            LogState(state, line);
        } else {
            std::snprintf(buffer, size_t(capacity), "%s%s%s", appData,
                          IsSeparator(appData[std::strlen(appData) - 1]) ? "" : "/", name);
            if (mkdir(buffer, 0700) != 0 && errno != EEXIST) {
                Ui_FormatStringN(line, sizeof line, "Error %d creating folder %s", errno, buffer);
                LogState(state, line);
            } else {
                ok = true;
            }
        }
    }
    if (!ok) {
        // In place of the Windows directory: the user's home folder.
        const char* home = std::getenv("HOME");
        size_t n = home == nullptr ? 0 : std::strlen(home);
        if (n == 0 || int64_t(n) >= capacity) {
            Ui_FormatStringN(line, sizeof line,
                             "Ui_Path_SetToPrefFolder: GetWindowsDirectory returned %d", int(n));
            LogState(state, line);
            return kStatusError;
        }
        Str_CopyBounded(buffer, size_t(capacity), home);
    }
    return EndWithSeparator(buffer, capacity) ? kStatusOk : kStatusError;
}

int32_t Ui__Path_SetToDebugLog(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    int32_t status = Ui_Path_SetToPrefFolder(nullptr, buffer, kPathSize);
    if (status != kStatusOk) return status;
    if (std::strlen(buffer) + sizeof kDebugLogName > size_t(kPathSize)) return kStatusError;
    Str_Append(buffer, kDebugLogName);
    return kStatusOk;
}

int32_t Ui_Path_SetToCurrentFolder(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return kStatusError;
    return SetFolder(buffer, cwd);
}

int32_t Ui_Path_SetToTempFolder(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    const char* tmp = std::getenv("TMPDIR");
    if (tmp == nullptr || tmp[0] == 0) tmp = "/tmp";
    return SetFolder(buffer, tmp);
}

int32_t Ui_Path_SetToModuleFolder(char* buffer) {
    if (buffer == nullptr) return kStatusProblem;
    buffer[0] = 0;
    Dl_info info{};
    // Any function of this library names the file it was loaded from.
    if (dladdr(reinterpret_cast<void*>(&Ui_Path_SetToModuleFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return kStatusError;
    }
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr) return kStatusError;
    char* slash = std::strrchr(resolved, '/');
    if (slash == nullptr || slash - resolved + 2 > kPathSize) return kStatusError;
    slash[1] = 0;
    Str_CopyBounded(buffer, kPathSize, resolved);
    return kStatusOk;
}

int32_t Ui_Path_SetToColorFolder(UiState*, char* buffer, int32_t capacity) {
    if (buffer == nullptr || capacity < 1) return kStatusProblem;
    if (int32_t(sizeof kColorFolder) > capacity) return kStatusError;
    Str_Copy(buffer, kColorFolder);
    return kStatusOk;
}

int32_t Ui_Path_SetToTempFile(UiState* state, const char* folder, char* out, int32_t capacity) {
    if (folder == nullptr || out == nullptr || capacity < 1) return kStatusProblem;
    char pattern[kPathSize];
    Ui_ResToCString(state, kStrTempFileName, pattern);
    // Without a call state the string table cannot be reached; the built-in pattern stands in.
    if (Str_Compare(pattern, "?") == 0) Str_Copy(pattern, kTempPattern);
    char name[kPathSize];
    size_t nameLength = Ui_FormatPhrase(name, sizeof name, pattern, 0);
    size_t folderLength = std::strlen(folder);
    if (int64_t(folderLength + nameLength + 1) > capacity) return kStatusProblem;
    if (out != folder) Mem_Copy(out, folder, folderLength + 1);
    for (int32_t n = 0; n < 999999; ++n) {
        Ui_FormatPhrase(out + folderLength, size_t(capacity) - folderLength, pattern, n);
        FLSpec spec;
        FLSpecDisk(&spec, out);
        FLFile file;
        if (FLOpen(&file, &spec, kFLRead) != kStatusOk) return kStatusOk;
        FLClose(&file);
    }
    out[folderLength] = 0;
    return kStatusError;
}

const char* Ui_Path_FileName(const char* path) {
    if (path == nullptr) return nullptr;
    const char* slash = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsSeparator(*p)) slash = p;
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
