// The stand-in host's system services on Linux; see host_os.h.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/resources.h"
#include "tools/hostlib/host_os.h"

namespace {
// What the signal handler reads. The path is written only while gHaveTemporary is 0, so the
// handler never reads it half-written.
void (*volatile gOnInterrupt)() = nullptr;
volatile sig_atomic_t gInterrupts = 0;
volatile sig_atomic_t gEndStatus = -1;  // -1: no status asked for; the signal's own default
char gEndMessage[256];
char gTemporary[4096];
volatile sig_atomic_t gHaveTemporary = 0;
bool gInstalled = false;

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

// Ends the process from the signal handler: only async-signal-safe calls.
void EndNow(int signal) {
    if (gHaveTemporary) unlink(gTemporary);
    if (gEndStatus < 0) {
        ::signal(signal, SIG_DFL);
        raise(signal);
        return;
    }
    if (gEndMessage[0] != 0) {
        ssize_t ignored = write(STDERR_FILENO, gEndMessage, std::strlen(gEndMessage));
        (void)ignored;
    }
    _exit(int(gEndStatus));
}

void OnSignal(int signal) {
    void (*onInterrupt)() = gOnInterrupt;
    // A hang-up is no request to stop early: it ends the process whatever it is doing.
    if (onInterrupt != nullptr && signal != SIGHUP && gInterrupts == 0) {
        gInterrupts = 1;
        onInterrupt();
        return;
    }
    EndNow(signal);
}

// A signal that the process was started with ignored stays ignored (nohup's hang-up, the
// interrupt key of a job a shell started in the background): whoever started it said so.
void Install() {
    if (gInstalled) return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int s : kInterrupts) sigaddset(&action.sa_mask, s);
    for (int s : kInterrupts) {
        struct sigaction old {};
        if (sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
    gInstalled = true;
}
}  // namespace

const char* HostOs_PathSeparators() {
    return "/";
}

const char* HostOs_DefaultModuleName() {
    return "KolmaraPro.so";
}

std::string HostOs_ProgramFolder() {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    self[n] = 0;
    std::string path = self;
    return path.substr(0, path.find_last_of('/') + 1);
}

std::vector<std::string> HostOs_Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void* HostOs_LoadEntry(const std::string& path, const std::string& entry, bool* loaded,
                       std::string* error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    *loaded = module != nullptr;
    if (module == nullptr) {
        const char* why = dlerror();
        *error = why ? why : "unknown error";
        return nullptr;
    }
    void* symbol = dlsym(module, entry.c_str());
    if (symbol == nullptr) *error = "no such symbol";
    return symbol;
}

int32_t HostOs_ReadElfResources(const char* path, uint8_t** bytes, uint32_t* size) {
    return Res_ReadFromElfFile(path, bytes, size);
}

long HostOs_ProcessId() {
    return long(getpid());
}

bool HostOs_ReplaceFile(const std::string& temp, const std::string& path, std::string* error) {
    if (std::rename(temp.c_str(), path.c_str()) == 0) return true;
    *error = std::strerror(errno);
    return false;
}

bool HostOs_CanWriteFolder(const std::string& folder, std::string* error) {
    if (access(folder.c_str(), W_OK) == 0) return true;
    *error = std::strerror(errno);
    return false;
}

bool HostOs_ErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

void HostOs_InterruptEndsProcess(int status, const char* message) {
    std::snprintf(gEndMessage, sizeof gEndMessage, "%s", message != nullptr ? message : "");
    gEndStatus = status;
    Install();
}

bool HostOs_WatchInterrupt(void (*onInterrupt)()) {
    Install();
    gInterrupts = 0;
    gOnInterrupt = onInterrupt;
    return true;
}

void HostOs_StopWatchingInterrupt() {
    gOnInterrupt = nullptr;
}

void HostOs_HoldTemporary(const char* path) {
    gHaveTemporary = 0;
    if (path == nullptr || std::strlen(path) >= sizeof gTemporary) return;
    std::memcpy(gTemporary, path, std::strlen(path) + 1);
    gHaveTemporary = 1;
}

// The handler removes the file and ends the process itself.
bool HostOs_InterruptPending() {
    return false;
}

void* HostOs_AllocateLarge(size_t bytes) {
    constexpr size_t kHugePage = size_t(2) << 20;
    if (bytes < kHugePage) return std::malloc(bytes ? bytes : 1);
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);  // a hint; failure changes nothing
    return p;
}

void HostOs_FreeLarge(void* p) {
    std::free(p);
}

bool HostOs_MapFile(const std::string& path, void** base, size_t* size, void** copy) {
    *base = nullptr;
    *size = 0;
    if (copy != nullptr) *copy = nullptr;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        // Not MAP_POPULATE: the pages are mapped as they are first read, sixteen at a time,
        // which costs less than mapping a 72 MB file's pages up front (4.6 ms against 5.7 on
        // the benchmark machine, file in the page cache).
        const size_t bytes = size_t(st.st_size);
        void* p = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            *base = p;
            *size = bytes;
            // Both views come from the one open file, so they show the same file even if
            // another program renames a new one into its place meanwhile.
            if (copy != nullptr) {
                void* c = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
                if (c != MAP_FAILED) *copy = c;
            }
        }
    }
    close(fd);
    return *base != nullptr;
}

void HostOs_UnmapFile(void* base, size_t size) {
    if (base != nullptr) munmap(base, size);
}

void HostOs_ForgetCopies(void* p, size_t bytes) {
    if (p == nullptr || bytes == 0) return;
    const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t from = uintptr_t(p) / page * page;
    const uintptr_t to = (uintptr_t(p) + bytes + page - 1) / page * page;
    // On a private file mapping this discards the written copies; the pages then fault in from
    // the file again.
    madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

void HostOs_SetEnvironment(const char* name, const char* value) {
    setenv(name, value, 1);
}
