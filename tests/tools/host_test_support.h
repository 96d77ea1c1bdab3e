// Shared helpers for the stand-in host's tests: a private folder per test (preferences and
// temporary files included), running filterhost as a child process, and generated images.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tools/filterhost/image_file.h"

namespace fhtest {

class TempDirTest : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
};

struct HostResult {
    int status = -1;  // exit status, or 128 + signal
    std::string err;  // everything filterhost wrote to stderr
    std::vector<std::string> ErrLines() const;
};

// Runs filterhost with the arguments; env holds extra "NAME=value" settings.
HostResult RunHost(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
// Starts filterhost without waiting; stderr goes to errPath.
pid_t StartHost(const std::vector<std::string>& args, const std::vector<std::string>& env,
                const std::string& errPath);
int WaitHost(pid_t pid);

// An image of pseudo-random samples (full range of the depth), the same for the same seed.
Image MakeImage(int32_t width, int32_t height, int32_t channels, int32_t depth, uint32_t seed);
// An image of zero samples.
Image BlankImage(int32_t width, int32_t height, int32_t channels, int32_t depth = 8);
// The largest difference between samples at the same place.
int32_t MaxDifference(const Image& a, const Image& b);
void SaveImage(const std::string& path, const Image& image);
Image LoadImage(const std::string& path);

std::string ReadText(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
// Names in the folder, "." and ".." left out.
std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace fhtest
