// The Linux side of os.h. The application-data folder is $XDG_CONFIG_HOME, else
// $HOME/.config; the Windows directory's place is taken by $HOME; the temporary folder is $TMPDIR,
// else /tmp; colour profiles live in /usr/share/color/icc.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
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
