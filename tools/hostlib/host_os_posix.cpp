// The stand-in host's system services on Linux; see host_os.h.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/resources.h"
#include "tools/hostlib/host_os.h"

namespace {
void (*gOnInterrupt)() = nullptr;
struct sigaction gOldInterrupt {};
bool gWatching = false;

void OnInterrupt(int) {
    if (gOnInterrupt != nullptr) gOnInterrupt();
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

bool HostOs_WatchInterrupt(void (*onInterrupt)()) {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // the second Ctrl-C ends the process
    gOnInterrupt = onInterrupt;
    gWatching = sigaction(SIGINT, &action, &gOldInterrupt) == 0;
    return gWatching;
}

void HostOs_StopWatchingInterrupt() {
    if (gWatching) sigaction(SIGINT, &gOldInterrupt, nullptr);
    gWatching = false;
    gOnInterrupt = nullptr;
}

void HostOs_InterruptEndsProcess(int) {}

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

bool HostOs_MapFile(const std::string& path, void** base, size_t* size) {
    *base = nullptr;
    *size = 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_size > 0) {
        void* p = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p != MAP_FAILED) {
            *base = p;
            *size = size_t(st.st_size);
        }
    }
    close(fd);
    return *base != nullptr;
}

void HostOs_UnmapFile(void* base, size_t size) {
    if (base != nullptr) munmap(base, size);
}
