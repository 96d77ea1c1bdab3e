// The Windows side of os.h. The application-data folder comes from the shell-folder library
// (SHFolder's SHGetFolderPathA, loaded by name, so that a system without it falls back instead of
// failing to load the module); the temporary folder from GetTempPathA; colour profiles live in
// the system folder's spool\drivers\color. Paths are in the ANSI code page, as the A functions
// take and give them.
#include <windows.h>

#include <malloc.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "platform/os.h"

const char kOsSeparator = '\\';

namespace {

constexpr int32_t kNoAppDataFolder = int32_t(0x80004005u);

using GetFolderPathA = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

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

}  // namespace

int32_t Os_AppDataFolder(char* buffer, size_t capacity) {
    HMODULE library = LoadLibraryA("SHFolder");
    if (library == nullptr) return kNoAppDataFolder;
    auto get = reinterpret_cast<GetFolderPathA>(
        reinterpret_cast<void*>(GetProcAddress(library, "SHGetFolderPathA")));
    int32_t code = kNoAppDataFolder;
    char path[MAX_PATH + 1] = {};
    if (get != nullptr)
        code = int32_t(get(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path));
    FreeLibrary(library);
    if (code != 0) return code;
    TrimSeparator(path);
    return CopyFolder(buffer, capacity, path) ? 0 : kNoAppDataFolder;
}

int Os_MakeFolder(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return 0;
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS ? 0 : int(error);
}

size_t Os_WindowsFolder(char* buffer, size_t capacity) {
    if (capacity == 0 || capacity > 0x7FFFFFFF) return 0;
    // A result of capacity or more is the size the folder would need: it did not fit.
    return GetWindowsDirectoryA(buffer, UINT(capacity));
}

bool Os_CurrentFolder(char* buffer, size_t capacity) {
    char path[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof path, path);
    if (n == 0 || n >= sizeof path) return false;
    TrimSeparator(path);
    return CopyFolder(buffer, capacity, path);
}

bool Os_TempFolder(char* buffer, size_t capacity) {
    char path[MAX_PATH + 2];
    DWORD n = GetTempPathA(sizeof path, path);
    if (n == 0 || n >= sizeof path) return false;
    TrimSeparator(path);
    return CopyFolder(buffer, capacity, path);
}

bool Os_ColorFolder(char* buffer, size_t capacity) {
    char system[MAX_PATH + 1];
    UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n == 0 || n >= sizeof system) return false;
    TrimSeparator(system);
    int written = std::snprintf(buffer, capacity, "%s\\spool\\drivers\\color\\", system);
    return written > 0 && size_t(written) < capacity;
}

bool Os_ModuleFile(char* buffer, size_t capacity) {
    HMODULE self = nullptr;
    // Any function of this library names the module it was loaded from.
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&Os_ModuleFile), &self)) {
        return false;
    }
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(self, path, sizeof path);
    if (n == 0 || n >= sizeof path) return false;
    return CopyFolder(buffer, capacity, path);
}

int Os_ReplaceFile(const char* from, const char* to) {
    // MoveFileEx with MOVEFILE_REPLACE_EXISTING is the one-step replacement on NTFS; the plain
    // rename of the C library refuses an existing target. WRITE_THROUGH returns only when the
    // move is on disk. A target that a reader has open cannot be replaced until it closes it,
    // which for our files is a matter of milliseconds: the move is tried again for a while.
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
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
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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
    HANDLE file =
        CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    char pattern[MAX_PATH + 1];
    int n = std::snprintf(pattern, sizeof pattern, "%s%s*%s", folder, prefix, suffix);
    if (n <= 0 || size_t(n) >= sizeof pattern) return 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    const size_t prefixLength = std::strlen(prefix), suffixLength = std::strlen(suffix);
    const uint32_t self = Os_ProcessId();
    int removed = 0;
    do {
        const char* name = found.cFileName;
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
        char path[MAX_PATH + 1];
        n = std::snprintf(path, sizeof path, "%s%s", folder, name);
        if (n > 0 && size_t(n) < sizeof path && DeleteFileA(path)) ++removed;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return removed;
}

intptr_t Os_LockFile(const char* path, uint32_t timeoutMillis) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
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
    // Backup semantics open folders too; no access is asked for, so a file open elsewhere is no
    // obstacle.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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
    char line[2 * MAX_PATH + 8];
    int n = std::snprintf(line, sizeof line, "\"%s\" \"%s\"", program, argument);
    if (n <= 0 || size_t(n) >= sizeof line) return ERROR_FILENAME_EXCED_RANGE;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return int(GetLastError());
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) *exitCode = int32_t(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
