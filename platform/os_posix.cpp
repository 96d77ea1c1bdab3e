// The Linux side of os.h. The application-data folder is $XDG_CONFIG_HOME, else
// $HOME/.config; the Windows directory's place is taken by $HOME; the temporary folder is $TMPDIR,
// else /tmp; colour profiles live in /usr/share/color/icc.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <malloc.h>
#include <spawn.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/os.h"

extern char** environ;

const char kOsSeparator = '/';

namespace {

constexpr int32_t kNoAppDataFolder = int32_t(0x80004005u);
constexpr size_t kFolderMax = 255;

// Creates every missing folder of path; 0 or the errno of the first failure. A path too long
// for a path buffer is refused (ENAMETOOLONG) before anything is made: cut short, it would name
// another folder.
int MakeFolders(const char* path) {
    char tmp[kFolderMax + 1];
    size_t n = std::strlen(path);
    if (n >= sizeof tmp) return ENAMETOOLONG;
    std::memcpy(tmp, path, n + 1);
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

bool CopyFolder(char* buffer, size_t capacity, const char* folder) {
    size_t n = folder == nullptr ? 0 : std::strlen(folder);
    if (n == 0 || n >= capacity) return false;
    std::memcpy(buffer, folder, n + 1);
    return true;
}

}  // namespace

int32_t Os_AppDataFolder(char* buffer, size_t capacity) {
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
    // A folder path that no path buffer holds counts as no folder at all.
    if (n <= 0 || size_t(n) >= capacity || size_t(n) > kFolderMax) return kNoAppDataFolder;
    if (MakeFolders(buffer) != 0) return kNoAppDataFolder;
    return 0;
}

int Os_MakeFolder(const char* path) {
    return mkdir(path, 0700) != 0 && errno != EEXIST ? errno : 0;
}

FILE* Os_OpenFile(const char* path, const char* mode) {
    return std::fopen(path, mode);
}

OsPathKind Os_PathKind(const char* path) {
    struct stat info;
    if (stat(path, &info) == 0) return S_ISREG(info.st_mode) ? kOsFile : kOsOther;
    // A link that loops or dangles is still something there.
    return lstat(path, &info) == 0 ? kOsOther : kOsNothing;
}

int Os_RemoveFile(const char* path) {
    return unlink(path) == 0 ? 0 : errno;
}

size_t Os_WindowsFolder(char* buffer, size_t capacity) {
    const char* home = std::getenv("HOME");
    size_t n = home == nullptr ? 0 : std::strlen(home);
    if (n > 0 && n < capacity) std::memcpy(buffer, home, n + 1);
    return n;
}

bool Os_CurrentFolder(char* buffer, size_t capacity) {
    char cwd[4096];
    return getcwd(cwd, sizeof cwd) != nullptr && CopyFolder(buffer, capacity, cwd);
}

bool Os_TempFolder(char* buffer, size_t capacity) {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp == nullptr || tmp[0] == 0) tmp = "/tmp";
    return CopyFolder(buffer, capacity, tmp);
}

bool Os_ColorFolder(char* buffer, size_t capacity) {
    return CopyFolder(buffer, capacity, "/usr/share/color/icc/");
}

bool Os_ModuleFile(char* buffer, size_t capacity) {
    Dl_info info{};
    // Any function of this library names the file it was loaded from.
    if (dladdr(reinterpret_cast<void*>(&Os_ModuleFile), &info) == 0 || info.dli_fname == nullptr) {
        return false;
    }
    char resolved[PATH_MAX];
    return realpath(info.dli_fname, resolved) != nullptr && CopyFolder(buffer, capacity, resolved);
}

int Os_ReplaceFile(const char* from, const char* to) {
    return std::rename(from, to) == 0 ? 0 : errno;
}

bool Os_ErrorIsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

int Os_CreateNewFile(const char* path) {
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

bool Os_ErrorIsExisting(int error) {
    return error == EEXIST;
}

int Os_AppendLine(const char* path, const char* text) {
    // O_APPEND moves to the end and writes in one step; writev hands the text and its line feed
    // to the system as that one write.
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    char lineFeed = '\n';
    iovec parts[2] = {{const_cast<char*>(text), std::strlen(text)}, {&lineFeed, 1}};
    size_t left = parts[0].iov_len + 1;
    int error = 0;
    iovec* part = parts;
    int partCount = 2;
    // A regular file takes the whole write unless the disk is full or a signal cuts it short;
    // what remains then goes after it (the line may then meet another process's).
    while (left > 0) {
        ssize_t n = writev(fd, part, partCount);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        left -= size_t(n);
        while (partCount > 0 && size_t(n) >= part->iov_len) {
            n -= ssize_t(part->iov_len);
            ++part;
            --partCount;
        }
        if (partCount > 0) {
            part->iov_base = static_cast<char*>(part->iov_base) + n;
            part->iov_len -= size_t(n);
        }
    }
    if (close(fd) != 0 && error == 0) error = errno;
    return error;
}

uint32_t Os_ProcessId() {
    return uint32_t(getpid());
}

bool Os_ProcessRunning(uint32_t pid) {
    if (pid == 0 || pid > uint32_t(INT_MAX)) return false;
    // Signal 0 checks without sending; EPERM means a process of another user holds the id.
    return kill(pid_t(pid), 0) == 0 || errno != ESRCH;
}

int Os_RemoveOrphans(const char* folder, const char* prefix, const char* suffix) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) return 0;
    const size_t folderLength = std::strlen(folder);
    const size_t prefixLength = std::strlen(prefix), suffixLength = std::strlen(suffix);
    const uint32_t self = Os_ProcessId();
    int removed = 0;
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        size_t n = std::strlen(name);
        if (n <= prefixLength + suffixLength || std::strncmp(name, prefix, prefixLength) != 0 ||
            std::strcmp(name + n - suffixLength, suffix) != 0) {
            continue;
        }
        uint64_t pid = 0;
        bool digits = true;
        for (size_t i = prefixLength; i < n - suffixLength && digits; ++i) {
            digits = name[i] >= '0' && name[i] <= '9' && pid < 100000000000ull;
            pid = pid * 10 + uint64_t(name[i] - '0');
        }
        if (!digits || pid > 0xFFFFFFFFull || uint32_t(pid) == self ||
            Os_ProcessRunning(uint32_t(pid))) {
            continue;
        }
        char path[PATH_MAX];
        if (folderLength + n >= sizeof path) continue;
        std::memcpy(path, folder, folderLength);
        std::memcpy(path + folderLength, name, n + 1);
        struct stat st;
        if (lstat(path, &st) == 0 && S_ISREG(st.st_mode) && unlink(path) == 0) ++removed;
    }
    closedir(dir);
    return removed;
}

intptr_t Os_LockFile(const char* path, uint32_t timeoutMillis) {
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return 0;
    // flock belongs to the open file, and the system drops it with the last descriptor: a
    // process that dies holding it lets go at once.
    const uint32_t start = Os_MonotonicMillis();
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return intptr_t(fd) + 1;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (Os_MonotonicMillis() - start >= timeoutMillis) break;
        Os_Sleep(2);
    }
    close(fd);
    return 0;
}

void Os_UnlockFile(intptr_t lock) {
    if (lock > 0) close(int(lock - 1));  // closing lets go of the lock
}

void Os_Sleep(uint32_t millis) {
    timespec ts{time_t(millis / 1000), long(millis % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

static_assert(sizeof(sigset_t) <= sizeof(OsHeldInterrupts::saved));

void Os_HoldInterrupts(OsHeldInterrupts* held) {
    sigset_t interrupts;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    sigaddset(&interrupts, SIGHUP);
    auto* saved = reinterpret_cast<sigset_t*>(held->saved);
    sigemptyset(saved);
    pthread_sigmask(SIG_BLOCK, &interrupts, saved);
}

void Os_ReleaseInterrupts(const OsHeldInterrupts* held) {
    pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(held->saved), nullptr);
}

bool Os_SameFile(const char* a, const char* b) {
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

size_t Os_BlockSize(void* block) {
    return malloc_usable_size(block);
}

uint32_t Os_MonotonicMillis() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}

int Os_RunProgram(const char* program, const char* argument, int32_t* exitCode) {
    *exitCode = -1;
    // argv is not const in the spawn interface; the strings are only read.
    char* argv[3] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    // What the program prints is not the person's to read: a launcher that finds no browser
    // prints pages of its own diagnostics, which a host that shows our stderr (the GIMP plug-in)
    // would pass on. The caller says what failed, in its own words, from the exit status.
    posix_spawn_file_actions_t quiet;
    int error = posix_spawn_file_actions_init(&quiet);
    if (error != 0) return error;
    error = posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (error == 0) {
        error = posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    if (error == 0) error = posix_spawnp(&pid, program, &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (error != 0) return error;
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) return errno;
    if (WIFEXITED(status)) {
        *exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        *exitCode = 128 + WTERMSIG(status);
    }
    return 0;
}
