// concurrent_runs: a batch of filterhost runs at once over one preferences folder, as a user runs
// the filter from a shell loop or GNU parallel, while another process keeps rewriting the
// preferences with kolmara-prefs.
//
//   concurrent_runs FILTERHOST KOLMARA_PREFS PHOTO SETTINGS WORK [PROCESSES [ROUNDS]]
//
// The preferences (in WORK/config) hold the custom settings of the settings text file SETTINGS
// and start every tool with them. One run alone gives the reference picture. Then ROUNDS rounds
// (default 10) of PROCESSES runs (default 8) start together, each writing a picture of its own,
// while a loop loads the same custom settings again with kolmara-prefs and sets the start mode
// again, each a whole rewrite of the file. Every run must end with status 0 and exactly the
// reference picture and nothing to tell; afterwards no file may have been set aside as damaged,
// no temporary file may be left, and the custom settings and the start mode must be as they
// were.
//
// Prints what it found and, last, the summary line "concurrent_runs_ok FRACTION fraction" (the
// runs with the reference picture out of all runs) for scripts/bench.sh. Exit status 0 when
// everything held, 1 when anything did not, 2 for a usage error.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string gWork;

std::vector<std::string> Environment() {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 && std::strncmp(*e, "TMPDIR=", 7) != 0)
            env.push_back(*e);
    }
    env.push_back("XDG_CONFIG_HOME=" + gWork + "/config");
    env.push_back("TMPDIR=" + gWork + "/tmp");
    return env;
}

// Starts program with args, stdout and stderr to logPath; the child's pid, or -1.
pid_t Start(const std::vector<std::string>& args, const std::string& logPath) {
    std::vector<std::string> env = Environment();
    std::vector<char*> argv, envp;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Run(const std::vector<std::string>& args, const std::string& logPath) {
    pid_t pid = Start(args, logPath);
    return pid < 0 ? -1 : Wait(pid);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        }
        closedir(d);
    }
    return names;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6 || argc > 8) {
        std::cerr << "usage: concurrent_runs FILTERHOST KOLMARA_PREFS PHOTO SETTINGS WORK "
                     "[PROCESSES [ROUNDS]]\n";
        return 2;
    }
    const std::string host = argv[1], prefsTool = argv[2], photo = argv[3], settings = argv[4];
    gWork = argv[5];
    const int processes = argc > 6 ? std::atoi(argv[6]) : 8;
    const int rounds = argc > 7 ? std::atoi(argv[7]) : 10;
    if (processes < 1 || rounds < 1) {
        std::cerr << "concurrent_runs: PROCESSES and ROUNDS must be at least 1\n";
        return 2;
    }
    std::system(("rm -rf '" + gWork + "'").c_str());
    for (const char* sub : {"", "/config", "/tmp", "/out", "/log"})
        mkdir((gWork + sub).c_str(), 0755);
    const std::string log = gWork + "/log/";
    const std::string prefsFolder = gWork + "/config/Lumetra";

    // The custom settings, every tool starting with them, and the reference picture.
    if (Run({prefsTool, "load-custom", settings}, log + "setup1") != 0 ||
        Run({prefsTool, "start", "custom"}, log + "setup2") != 0 ||
        Run({prefsTool, "save-custom", gWork + "/before.txt"}, log + "setup3") != 0) {
        std::cerr << "concurrent_runs: cannot set up the preferences: " << ReadAll(log + "setup1")
                  << ReadAll(log + "setup2") << ReadAll(log + "setup3");
        return 1;
    }
    const std::string referencePath = gWork + "/reference.pam";
    if (Run({host, "--no-progress", photo, referencePath}, log + "reference") != 0) {
        std::cerr << "concurrent_runs: the single run failed: " << ReadAll(log + "reference");
        return 1;
    }
    const std::string reference = ReadAll(referencePath);

    // The preferences tool rewriting the file for as long as the runs go on.
    const std::string stopFile = gWork + "/stop";
    pid_t rewriter = fork();
    if (rewriter == 0) {
        int rewrites = 0, failures = 0;
        for (int i = 0; access(stopFile.c_str(), F_OK) != 0; ++i) {
            int status = i % 2 == 0 ? Run({prefsTool, "load-custom", settings}, log + "prefs")
                                    : Run({prefsTool, "start", "custom"}, log + "prefs");
            ++rewrites;
            if (status != 0) {
                ++failures;
                std::system(("cat '" + log + "prefs' >> '" + log + "prefs-failures'").c_str());
            }
        }
        std::ofstream(gWork + "/rewrites") << rewrites << " " << failures << "\n";
        _exit(0);
    }

    int good = 0, total = 0;
    std::vector<std::string> problems;
    for (int round = 0; round < rounds; ++round) {
        std::vector<pid_t> pids;
        for (int p = 0; p < processes; ++p) {
            const std::string name = std::to_string(round) + "-" + std::to_string(p);
            pids.push_back(Start({host, "--no-progress", photo, gWork + "/out/" + name + ".pam"},
                                 log + "run-" + name));
        }
        for (int p = 0; p < processes; ++p) {
            const std::string name = std::to_string(round) + "-" + std::to_string(p);
            const int status = pids[size_t(p)] < 0 ? -1 : Wait(pids[size_t(p)]);
            const std::string out = gWork + "/out/" + name + ".pam";
            ++total;
            const std::string told = ReadAll(log + "run-" + name);
            if (status == 0 && ReadAll(out) == reference) {
                ++good;
                // A run that did what it should has nothing to tell either (another process
                // writing the preferences is no failure of its own).
                if (!told.empty()) problems.push_back("run " + name + " told: " + told);
            } else {
                problems.push_back("run " + name + ": status " + std::to_string(status) +
                                   (status == 0 ? ", a different picture" : "") + ": " +
                                   ReadAll(log + "run-" + name));
            }
            std::remove(out.c_str());
        }
    }
    std::ofstream(stopFile) << "stop\n";
    Wait(rewriter);
    int rewrites = 0, rewriteFailures = 0;
    std::istringstream(ReadAll(gWork + "/rewrites")) >> rewrites >> rewriteFailures;
    if (rewriteFailures > 0) {
        problems.push_back(std::to_string(rewriteFailures) + " of " + std::to_string(rewrites) +
                           " kolmara-prefs rewrites failed: " + ReadAll(log + "prefs-failures"));
    }

    for (const std::string& name : Entries(prefsFolder)) {
        if (EndsWith(name, ".damaged") || EndsWith(name, ".new"))
            problems.push_back("left in the preferences folder: " + name);
    }
    for (const std::string& name : Entries(gWork + "/out"))
        problems.push_back("left in the output folder: " + name);
    if (Run({prefsTool, "save-custom", gWork + "/after.txt"}, log + "after") != 0 ||
        ReadAll(gWork + "/after.txt") != ReadAll(gWork + "/before.txt")) {
        problems.push_back("the custom settings changed: " + ReadAll(log + "after"));
    }
    Run({prefsTool, "show"}, log + "show");
    const std::string shown = ReadAll(log + "show");
    if (shown.find("custom") == std::string::npos)
        problems.push_back("the start mode changed:\n" + shown);

    for (const std::string& p : problems) std::cout << "concurrent_runs: " << p << "\n";
    std::printf(
        "%d of %d runs (%d processes x %d rounds) gave the single run's picture; "
        "kolmara-prefs rewrote the preferences %d times meanwhile\n",
        good, total, processes, rounds, rewrites);
    std::printf("concurrent_runs_ok %.3f fraction\n", total > 0 ? double(good) / total : 0.0);
    return problems.empty() ? 0 : 1;
}
