// The Windows side of os.h. The application-data folder comes from the shell-folder library
// (SHFolder's SHGetFolderPathW, loaded by name, so that a system without it falls back instead of
// failing to load the module); the temporary folder from GetTempPathW; colour profiles live in
// the system folder's spool\drivers\color. Paths are UTF-8 above this file and wide characters
// below it: every call converts, and a path that is not valid UTF-8 (or a name the system gives
// that does not fit) is a failure, never a substitute.
#include <windows.h>

#include <malloc.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "platform/os.h"

const char kOsSeparator = '\\';

namespace {

constexpr int32_t kNoAppDataFolder = int32_t(0x80004005u);

using GetFolderPathW = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

// Room for the longest path the calls here take, in wide characters: well past MAX_PATH, which
// is what paths without the \\?\ prefix may have, and small enough to live on the stack.
constexpr int kWide = 2048;

// UTF-8 to wide characters into out (kWide); false for text that is not UTF-8 or too long.
bool Wide(const char* text, wchar_t* out) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, out, kWide);
    return n > 0;
}

// Wide characters to UTF-8 into out (capacity bytes); false when it does not fit.
bool Utf8(const wchar_t* text, char* out, size_t capacity) {
    if (capacity == 0 || capacity > 0x7FFFFFFF) return false;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, int(capacity), nullptr, nullptr);
    return n > 0;
}

// A path converted for a W call, held for the call's length.
struct WidePath {
    explicit WidePath(const char* path) : ok(path != nullptr && Wide(path, text)) {}
    bool ok;
    wchar_t text[kWide];
};

bool CopyFolder(char* buffer, size_t capacity, const char* folder) {
    size_t n = folder == nullptr ? 0 : std::strlen(folder);
    if (n == 0 || n >= capacity) return false;
    std::memcpy(buffer, folder, n + 1);
    return true;
}

// Drops one trailing backslash, so that every folder this file returns has the same form.
void TrimSeparator(char* path) {
    size_t n = std::strlen(path);
    if (n > 3 && (path[n - 1] == '\\' || path[n - 1] == '/')) path[n - 1] = 0;
}

// A folder the system gave in wide characters, as UTF-8 without its trailing separator.
bool FolderFromWide(const wchar_t* folder, char* buffer, size_t capacity) {
    char path[3 * MAX_PATH + 4];
    if (!Utf8(folder, path, sizeof path)) return false;
    TrimSeparator(path);
    return CopyFolder(buffer, capacity, path);
}

}  // namespace

int32_t Os_AppDataFolder(char* buffer, size_t capacity) {
    HMODULE library = LoadLibraryW(L"SHFolder");
    if (library == nullptr) return kNoAppDataFolder;
    auto get = reinterpret_cast<GetFolderPathW>(
        reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathW")));
    int32_t code = kNoAppDataFolder;
    wchar_t path[MAX_PATH + 1] = {};
    if (get != nullptr)
        code = int32_t(get(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path));
    FreeLibrary(library);
    if (code != 0) return code;
    return FolderFromWide(path, buffer, capacity) ? 0 : kNoAppDataFolder;
}

int Os_MakeFolder(const char* path) {
    WidePath wide(path);
    if (!wide.ok) return ERROR_INVALID_NAME;
    if (CreateDirectoryW(wide.text, nullptr)) return 0;
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : int(error);
}

FILE* Os_OpenFile(const char* path, const char* mode) {
    WidePath wide(path);
    wchar_t how[8];
    if (!wide.ok || mode == nullptr || std::strlen(mode) >= 8) return nullptr;
    for (size_t i = 0; i <= std::strlen(mode); ++i) how[i] = wchar_t(mode[i]);
    return _wfopen(wide.text, how);
}

OsPathKind Os_PathKind(const char* path) {
    WidePath wide(path);
    if (!wide.ok) return kOsNothing;
    const DWORD attributes = GetFileAttributesW(wide.text);
    if (attributes == INVALID_FILE_ATTRIBUTES) return kOsNothing;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0 ? kOsOther
                                                                                  : kOsFile;
}

int Os_RemoveFile(const char* path) {
    WidePath wide(path);
    if (!wide.ok) return ERROR_INVALID_NAME;
    return DeleteFileW(wide.text) ? 0 : int(GetLastError());
}

size_t Os_WindowsFolder(char* buffer, size_t capacity) {
    if (capacity == 0 || capacity > 0x7FFFFFFF) return 0;
    wchar_t folder[MAX_PATH + 1];
    const UINT n = GetWindowsDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return 0;
    char path[3 * MAX_PATH + 4];
    if (!Utf8(folder, path, sizeof path)) return 0;
    // A result of capacity or more is the size the folder would need: it did not fit.
    const size_t length = std::strlen(path);
    if (length < capacity) std::memcpy(buffer, path, length + 1);
    return length;
}

bool Os_CurrentFolder(char* buffer, size_t capacity) {
    wchar_t path[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, path);
    if (n == 0 || n > MAX_PATH) return false;
    return FolderFromWide(path, buffer, capacity);
}

bool Os_TempFolder(char* buffer, size_t capacity) {
    wchar_t path[MAX_PATH + 2];
    DWORD n = GetTempPathW(MAX_PATH + 2, path);
    if (n == 0 || n > MAX_PATH + 1) return false;
    return FolderFromWide(path, buffer, capacity);
}

bool Os_ColorFolder(char* buffer, size_t capacity) {
    wchar_t system[MAX_PATH + 1];
    UINT n = GetSystemDirectoryW(system, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return false;
    char folder[3 * MAX_PATH + 4];
    if (!FolderFromWide(system, folder, sizeof folder)) return false;
    int written = std::snprintf(buffer, capacity, "%s\\spool\\drivers\\color\\", folder);
    return written > 0 && size_t(written) < capacity;
}

bool Os_ModuleFile(char* buffer, size_t capacity) {
    HMODULE self = nullptr;
    // Any function of this library names the module it was loaded from.
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&Os_ModuleFile), &self)) {
        return false;
    }
    wchar_t path[kWide];
    DWORD n = GetModuleFileNameW(self, path, kWide);
    if (n == 0 || n >= DWORD(kWide)) return false;
    char file[3 * MAX_PATH + 4];
    if (!Utf8(path, file, sizeof file)) return false;
    return CopyFolder(buffer, capacity, file);
}

int Os_ReplaceFile(const char* from, const char* to) {
    // MoveFileEx with MOVEFILE_REPLACE_EXISTING is the one-step replacement on NTFS; the plain
    // rename of the C library refuses an existing target. WRITE_THROUGH returns only when the
    // move is on disk. A target that a reader has open cannot be replaced until it closes it,
    // which for our files is a matter of milliseconds: the move is tried again for a while.
    const ULONGLONG start = GetTickCount64();
    WidePath source(from), target(to);
    if (!source.ok || !target.ok) return ERROR_INVALID_NAME;
    for (;;) {
        if (MoveFileExW(source.text, target.text,
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return 0;
        }
        const DWORD error = GetLastError();
        const bool inUse = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                           error == ERROR_LOCK_VIOLATION;
        if (!inUse || GetTickCount64() - start > 2000) return int(error);
        Sleep(5);
    }
}

bool Os_ErrorIsDiskFull(int error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

int Os_CreateNewFile(const char* path) {
    WidePath wide(path);
    if (!wide.ok) return ERROR_INVALID_NAME;
    HANDLE file = CreateFileW(wide.text, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return int(GetLastError());
    CloseHandle(file);
    return 0;
}

bool Os_ErrorIsExisting(int error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

int Os_AppendLine(const char* path, const char* text) {
    // A handle with append access only writes every block at the file's end in one step, also
    // when other processes append at the same time.
    WidePath wide(path);
    if (!wide.ok) return ERROR_INVALID_NAME;
    HANDLE file = CreateFileW(wide.text, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return int(GetLastError());
    char line[8192];
    const size_t n = std::strlen(text);
    BOOL ok;
    DWORD written = 0;
    if (n < sizeof line) {
        std::memcpy(line, text, n);
        line[n] = '\n';
        ok = WriteFile(file, line, DWORD(n + 1), &written, nullptr);
    } else {
        ok = WriteFile(file, text, DWORD(n), &written, nullptr) &&
             WriteFile(file, "\n", 1, &written, nullptr);
    }
    const int error = ok ? 0 : int(GetLastError());
    CloseHandle(file);
    return error;
}

uint32_t Os_ProcessId() {
    return uint32_t(GetCurrentProcessId());
}

bool Os_ProcessRunning(uint32_t pid) {
    if (pid == 0) return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (process == nullptr) {
        // No such id; any other refusal (another user's process) counts as running.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    DWORD code = 0;
    const bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

int Os_RemoveOrphans(const char* folder, const char* prefix, const char* suffix) {
    char pattern[3 * MAX_PATH + 4];
    int n = std::snprintf(pattern, sizeof pattern, "%s%s*%s", folder, prefix, suffix);
    if (n <= 0 || size_t(n) >= sizeof pattern) return 0;
    WidePath widePattern(pattern);
    if (!widePattern.ok) return 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(widePattern.text, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    const size_t prefixLength = std::strlen(prefix), suffixLength = std::strlen(suffix);
    const uint32_t self = Os_ProcessId();
    int removed = 0;
    do {
        char name[3 * MAX_PATH + 4];
        if (!Utf8(found.cFileName, name, sizeof name)) continue;
        const size_t length = std::strlen(name);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            length <= prefixLength + suffixLength) {
            continue;
        }
        // The pattern's "*" also matches names that are not ours ("8.3" short names too): the
        // part between must be a process id.
        uint64_t pid = 0;
        bool digits = _strnicmp(name, prefix, prefixLength) == 0 &&
                      _stricmp(name + length - suffixLength, suffix) == 0;
        for (size_t i = prefixLength; i < length - suffixLength && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9' && pid < 100000000000ull;
            pid = pid * 10 + uint64_t(name[i] - '0');
        }
        if (!digits || pid > 0xFFFFFFFFull || uint32_t(pid) == self ||
            Os_ProcessRunning(uint32_t(pid))) {
            continue;
        }
        char path[3 * MAX_PATH + 4];
        n = std::snprintf(path, sizeof path, "%s%s", folder, name);
        if (n > 0 && size_t(n) < sizeof path && Os_RemoveFile(path) == 0) ++removed;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return removed;
}

intptr_t Os_LockFile(const char* path, uint32_t timeoutMillis) {
    WidePath wide(path);
    if (!wide.ok) return 0;
    HANDLE file = CreateFileW(wide.text, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    // The system releases a region lock when its process ends, however it ends.
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
            return reinterpret_cast<intptr_t>(file);
        if (GetTickCount64() - start >= timeoutMillis) break;
        Sleep(2);
    }
    CloseHandle(file);
    return 0;
}

void Os_UnlockFile(intptr_t lock) {
    if (lock == 0) return;
    HANDLE file = reinterpret_cast<HANDLE>(lock);
    OVERLAPPED at{};
    UnlockFileEx(file, 0, 1, 0, &at);
    CloseHandle(file);
}

void Os_Sleep(uint32_t millis) {
    Sleep(millis);
}

void Os_HoldInterrupts(OsHeldInterrupts*) {}

void Os_ReleaseInterrupts(const OsHeldInterrupts*) {}

namespace {

// The volume and the file index, which together name one file whatever path reaches it (the C
// library's stat has no inode numbers on Windows).
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    WidePath wide(path);
    if (!wide.ok) return false;
    // Backup semantics open folders too; no access is asked for, so a file open elsewhere is no
    // obstacle.
    HANDLE file = CreateFileW(wide.text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return ok;
}

}  // namespace

bool Os_SameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (!FileIdentity(a, &x) || !FileIdentity(b, &y)) return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

size_t Os_BlockSize(void* block) {
    return _msize(block);
}

uint32_t Os_MonotonicMillis() {
    return uint32_t(GetTickCount64());
}

int Os_RunProgram(const char* program, const char* argument, int32_t* exitCode) {
    *exitCode = -1;
    // The command line is the program and its one argument, each quoted; a quote inside either
    // would end the quoting early, so such text is refused rather than passed on changed.
    if (std::strchr(program, '"') != nullptr || std::strchr(argument, '"') != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    char line[6 * MAX_PATH + 8];
    int n = std::snprintf(line, sizeof line, "\"%s\" \"%s\"", program, argument);
    if (n <= 0 || size_t(n) >= sizeof line) return ERROR_FILENAME_EXCED_RANGE;
    WidePath wideLine(line);
    if (!wideLine.ok) return ERROR_INVALID_NAME;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, wideLine.text, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return int(GetLastError());
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) *exitCode = int32_t(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
