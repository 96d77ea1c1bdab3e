// The stand-in host's system services on Windows; see host_os.h.
#include <io.h>
#include <process.h>
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/status.h"
#include "tools/hostlib/host_os.h"

namespace {
void (*volatile gOnInterrupt)() = nullptr;
volatile LONG gInterrupts = 0;
volatile LONG gPending = 0;
int gEndStatus = 0;
char gEndMessage[256];
bool gEndInstalled = false;
wchar_t gTemporary[MAX_PATH * 4];
volatile LONG gHaveTemporary = 0;

// Paths are UTF-8 in the host as in the module; the system's W calls take them converted.
std::wstring WideOf(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(size_t(n - 1));
    return wide;
}

std::string Utf8Of(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string utf8(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), n, nullptr, nullptr);
    utf8.resize(size_t(n - 1));
    return utf8;
}

// Windows calls this on a thread of its own. The first Ctrl-C or Ctrl-Break while watched is the
// run's; one that arrives while a temporary file is being written is left to the writer (which
// has the file open, so it could not be removed from here); any other, a second one and a closed
// console end the process: with the status asked for when there is one, else through the next
// handler, the system's.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    const bool key = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    if (key) {
        void (*onInterrupt)() = gOnInterrupt;
        if (InterlockedIncrement(&gInterrupts) == 1 && onInterrupt != nullptr) {
            onInterrupt();
            return TRUE;
        }
        if (gHaveTemporary != 0 && InterlockedIncrement(&gPending) == 1) return TRUE;
    }
    if (!gEndInstalled) return FALSE;
    // A file still open elsewhere in the process stays; the next run that writes the same file
    // removes it (its name carries this process's id).
    if (gHaveTemporary != 0) DeleteFileW(gTemporary);
    if (gEndMessage[0] != 0) {
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), gEndMessage, DWORD(std::strlen(gEndMessage)),
                  &written, nullptr);
    }
    ExitProcess(UINT(gEndStatus));
    return TRUE;
}

// The system's message for an error code, on one line.
std::string SystemMessage(DWORD code) {
    char text[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
    if (n == 0) return "Windows error " + std::to_string(code);
    return std::string(text, n);
}
}  // namespace

const char* HostOs_PathSeparators() {
    return "/\\";
}

const char* HostOs_DefaultModuleName() {
    return "KolmaraPro.8bf";
}

std::string HostOs_ProgramFolder() {
    wchar_t self[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    if (n == 0 || n >= MAX_PATH * 4) return "";
    const std::string path = Utf8Of(self);
    return path.substr(0, path.find_last_of("/\\") + 1);
}

std::vector<std::string> HostOs_Arguments(int argc, char** argv) {
    // main's argv is in the ANSI code page, which cannot hold every file name: the command line
    // is read again in wide characters.
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (wide == nullptr) {
        for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i]);
        return arguments;
    }
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8Of(wide[i]));
    LocalFree(wide);
    return arguments;
}

void* HostOs_LoadEntry(const std::string& path, const std::string& entry, bool* loaded,
                       std::string* error) {
    // No error boxes from the system: a module that cannot load is reported on the console.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExW(WideOf(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD code = GetLastError();
    SetErrorMode(oldMode);
    *loaded = module != nullptr;
    if (module == nullptr) {
        *error = SystemMessage(code);
        return nullptr;
    }
    FARPROC symbol = GetProcAddress(module, entry.c_str());
    if (symbol == nullptr) *error = SystemMessage(GetLastError());
    return reinterpret_cast<void*>(symbol);
}

int32_t HostOs_ReadElfResources(const char*, uint8_t** bytes, uint32_t* size) {
    *bytes = nullptr;
    *size = 0;
    return kStatusFormat;
}

long HostOs_ProcessId() {
    return long(GetCurrentProcessId());
}

bool HostOs_ReplaceFile(const std::string& temp, const std::string& path, std::string* error) {
    if (MoveFileExW(WideOf(temp).c_str(), WideOf(path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    *error = SystemMessage(GetLastError());
    return false;
}

bool HostOs_CanWriteFolder(const std::string& folder, std::string* error) {
    // The read-only attribute of a folder does not stop files being made in it, so existence is
    // what can be checked before the run; a refused write is still reported at the end.
    DWORD attributes = GetFileAttributesW(WideOf(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = SystemMessage(GetLastError());
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        *error = "not a folder";
        return false;
    }
    return true;
}

bool HostOs_ErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void HostOs_InterruptEndsProcess(int status, const char* message) {
    std::snprintf(gEndMessage, sizeof gEndMessage, "%s", message != nullptr ? message : "");
    gEndStatus = status;
    gEndInstalled = gEndInstalled || SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

bool HostOs_WatchInterrupt(void (*onInterrupt)()) {
    gInterrupts = 0;
    gOnInterrupt = onInterrupt;
    return gEndInstalled || SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
}

void HostOs_StopWatchingInterrupt() {
    gOnInterrupt = nullptr;
    if (!gEndInstalled) SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

void HostOs_HoldTemporary(const char* path) {
    InterlockedExchange(&gHaveTemporary, 0);
    if (path == nullptr) return;
    // Converted here, not in the console's handler, which must not allocate.
    if (MultiByteToWideChar(CP_UTF8, 0, path, -1, gTemporary, MAX_PATH * 4) <= 0) return;
    InterlockedExchange(&gHaveTemporary, 1);
}

bool HostOs_InterruptPending() {
    return gPending != 0;
}

// Large pages need a privilege ordinary users lack: plain blocks.
void* HostOs_AllocateLarge(size_t bytes) {
    return std::malloc(bytes ? bytes : 1);
}

void HostOs_FreeLarge(void* p) {
    std::free(p);
}

bool HostOs_MapFile(const std::string& path, void** base, size_t* size, void** copy) {
    *base = nullptr;
    *size = 0;
    // A copy-on-write view cannot be made to read as the file again short of mapping it anew.
    if (copy != nullptr) *copy = nullptr;
    HANDLE file = CreateFileW(WideOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length{};
    if (GetFileSizeEx(file, &length) && length.QuadPart > 0) {
        HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (mapping != nullptr) {
            void* p = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
            CloseHandle(mapping);  // the view keeps the mapping alive
            if (p != nullptr) {
                *base = p;
                *size = size_t(length.QuadPart);
            }
        }
    }
    CloseHandle(file);
    return *base != nullptr;
}

void HostOs_UnmapFile(void* base, size_t) {
    if (base != nullptr) UnmapViewOfFile(base);
}

void HostOs_ForgetCopies(void*, size_t) {}

void HostOs_SetEnvironment(const char* name, const char* value) {
    _putenv_s(name, value);
}
