// GIMP's White Balance as a peer; see gimp_white_balance.h.
#include "bench/gimp_white_balance.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

// A path as a Script-Fu string literal.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// The batch: a procedure that balances one file, called once per job, then quit. PNG is saved
// without the chunks GIMP may add (gamma, offset, resolution, time, comment), fast compression.
std::string Script(const std::vector<GimpJob>& jobs) {
    std::string s =
        "(define (kolmara-white-balance in out)"
        " (let* ((image (car (gimp-file-load RUN-NONINTERACTIVE in in)))"
        "        (layer (car (gimp-image-flatten image))))"
        "  (gimp-drawable-levels-stretch layer)"
        "  (file-png-save2 RUN-NONINTERACTIVE image layer out out 0 1 0 0 0 0 0 0 0)"
        "  (gimp-image-delete image)))";
    for (const GimpJob& j : jobs) {
        s += " (kolmara-white-balance " + Quoted(j.input) + " " + Quoted(j.output) + ")";
    }
    return s;
}

}  // namespace

bool GimpWhiteBalance(const std::string& gimp, const std::vector<GimpJob>& jobs,
                      const std::string& folder, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(folder + "/profile", ec);
    for (const GimpJob& j : jobs) fs::remove(j.output, ec);
    const std::string log = folder + "/gimp.log";
    std::vector<std::string> args = {gimp, "-i",         "-d", "-f",           "--no-splash",
                                     "-b", Script(jobs), "-b", "(gimp-quit 0)"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // GIMP's profile in the folder given, nothing of the user's.
    std::vector<std::string> env = {"GIMP2_DIRECTORY=" + folder + "/profile",
                                    "XDG_CONFIG_HOME=" + folder + "/config",
                                    "XDG_CACHE_HOME=" + folder + "/cache"};
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("GIMP2_DIRECTORY=", 0) == 0 || entry.rfind("XDG_CONFIG_HOME=", 0) == 0 ||
            entry.rfind("XDG_CACHE_HOME=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0) {
            continue;
        }
        env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        *error = "cannot start " + gimp;
        return false;
    }
    int status = 0;
    const bool ran =
        waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::string missing;
    for (const GimpJob& j : jobs) {
        if (!fs::exists(j.output)) missing = j.output;
    }
    if (ran && missing.empty()) return true;
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    *error = gimp + (ran ? " left " + missing + " unwritten" : " failed") + "; its output:\n" +
             text.str();
    return false;
}
