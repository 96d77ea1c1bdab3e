#include "tests/tools/host_test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

extern char** environ;

namespace fhtest {

void TempDirTest::SetUp() {
    char pattern[] = "/tmp/filterhost-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("TMPDIR", dir_.c_str(), 1);
}

void TempDirTest::TearDown() {
    std::filesystem::remove_all(dir_);
}

std::vector<std::string> HostResult::ErrLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

pid_t StartHost(const std::vector<std::string>& args, const std::vector<std::string>& env,
                const std::string& errPath) {
    std::vector<std::string> argStore{FILTERHOST_PATH};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore = env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& mine : env) replaced = replaced || mine.rfind(name + "=", 0) == 0;
        if (!replaced) envStore.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, FILTERHOST_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int WaitHost(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

HostResult RunHost(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    const char* tmp = std::getenv("TMPDIR");
    std::string errPath = std::string(tmp != nullptr ? tmp : "/tmp") + "/host-stderr.txt";
    HostResult result;
    result.status = WaitHost(StartHost(args, env, errPath));
    result.err = ReadText(errPath);
    std::remove(errPath.c_str());
    return result;
}

Image BlankImage(int32_t width, int32_t height, int32_t channels, int32_t depth) {
    Image image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.depth = depth;
    image.samples.assign(size_t(width) * size_t(height) * size_t(channels), 0);
    return image;
}

Image MakeImage(int32_t width, int32_t height, int32_t channels, int32_t depth, uint32_t seed) {
    Image image = BlankImage(width, height, channels, depth);
    std::mt19937 random(seed);
    uint32_t max = depth == 16 ? 65535 : 255;
    for (uint16_t& v : image.samples) v = uint16_t(random() % (max + 1));
    // The extremes are where scale conversions go wrong.
    if (!image.samples.empty()) {
        image.samples[0] = 0;
        image.samples[image.samples.size() - 1] = uint16_t(max);
    }
    return image;
}

int32_t MaxDifference(const Image& a, const Image& b) {
    EXPECT_EQ(a.samples.size(), b.samples.size());
    int32_t worst = 0;
    for (size_t i = 0; i < std::min(a.samples.size(), b.samples.size()); ++i) {
        worst = std::max(worst, std::abs(int32_t(a.samples[i]) - int32_t(b.samples[i])));
    }
    return worst;
}

void SaveImage(const std::string& path, const Image& image) {
    std::string error;
    ASSERT_TRUE(WriteImageFile(path, FormatFromPath(path), image, &error)) << error;
}

Image LoadImage(const std::string& path) {
    Image image;
    std::string error;
    EXPECT_TRUE(ReadImageFile(path, &image, &error)) << path << ": " << error;
    return image;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

}  // namespace fhtest
