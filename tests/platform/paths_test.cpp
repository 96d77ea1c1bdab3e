// Folders, temporary names, the debug log switch and path splitting.
#include <stdlib.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::FileExists;
using testing_support::NativePath;
using testing_support::PointAppDataAt;
using testing_support::ReadFile;
using testing_support::SetEnvironment;
using testing_support::WriteFile;

class PathsTest : public testing_support::PlatformTest {};

TEST_F(PathsTest, PreferencesFolderIsCreatedOnFirstUseAndFoundAfterwards) {
    char buf[256];
    EXPECT_FALSE(FileExists(PrefFolder()));
    ASSERT_EQ(Ui_Path_SetToPrefFolder(nullptr, buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf), PrefFolder());
    EXPECT_TRUE(FileExists(PrefFolder()));
    ASSERT_EQ(Ui_Path_SetToPrefFolder(OpenState(0), buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf), PrefFolder());
    ASSERT_EQ(Ui__Path_SetToDebugLog(buf), 0);
    EXPECT_EQ(std::string(buf), LogPath());
}

// On Linux the home folder stands in for the Windows folder, the preferences' last resort; the
// Windows program has the Windows folder itself (tests/windows).
#if defined(_WIN32)
#define SKIP_ON_WINDOWS_HOME() \
    GTEST_SKIP() << "the home folder stands in for the Windows folder on Linux only"
#else
#define SKIP_ON_WINDOWS_HOME() (void)0
#endif

TEST_F(PathsTest, TooSmallCapacityFallsBackToHomeOrFails) {
    SKIP_ON_WINDOWS_HOME();
    std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    SetEnvironment("HOME", "/h");
    char buf[10];
    UiState* state = OpenState(1);
    ASSERT_EQ(Ui_Path_SetToPrefFolder(state, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "/h/");
    SetEnvironment("HOME", "/a-long-home");
    EXPECT_EQ(Ui_Path_SetToPrefFolder(state, buf, sizeof buf), -2);
    SetEnvironment("HOME", oldHome.c_str());
    std::vector<std::string> log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.back(), "Ui_Path_SetToPrefFolder: GetWindowsDirectory returned 12");
    EXPECT_EQ(log[log.size() - 2].rfind("Application Data path too long (", 0), 0u);
}

TEST_F(PathsTest, AConfigFolderTooLongForAPathIsPassedOverNotCut) {
    // Every name within the file system's limit, the whole longer than a path buffer: cut at
    // 255 characters it would name another folder, which must not be made.
    SKIP_ON_WINDOWS_HOME();
    const std::string first = root_ + "/" + std::string(150, 'a');
    const std::string xdg = first + "/" + std::string(150, 'b');
    ASSERT_GT(xdg.size(), 255u);
    std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    PointAppDataAt(xdg);
    SetEnvironment("HOME", root_.c_str());
    char buf[256];
    const int32_t status = Ui_Path_SetToPrefFolder(OpenState(1), buf, sizeof buf);
    SetEnvironment("HOME", oldHome.c_str());
    ASSERT_EQ(status, 0);
    EXPECT_EQ(std::string(buf), root_ + "/");  // the home folder, as when no folder can be made
    EXPECT_FALSE(FileExists(first)) << "a folder was made on the way to a cut path";
}

TEST_F(PathsTest, DiagnosticsOffNeverCreatesTheLog) {
    EXPECT_EQ(Ui_Debug_Log(0, "quiet"), 0);
    EXPECT_FALSE(FileExists(LogPath()));
    EXPECT_EQ(Ui_Debug_Log(1, "loud"), 0);
    EXPECT_EQ(LogLines(), std::vector<std::string>{"loud"});
    EXPECT_EQ(Ui_Debug_Log(1, nullptr), -1);
    EXPECT_EQ(messageBoxes_, std::vector<std::string>{"Ui_Debug_Log: null msg"});
}

#if !defined(_WIN32)
TEST_F(PathsTest, LogLinesOfProcessesWritingAtOnceNeverRunIntoEachOther) {
    // Lines longer than a C stream's buffer, which a stream writes in pieces, from four processes
    // at once: every line in the log is one of them, whole.
    constexpr int kProcesses = 4, kLines = 200;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            const std::string line(9000 + p, char('a' + p));
            for (int i = 0; i < kLines; ++i) {
                if (Ui_Debug_Log(1, line.c_str()) != 0) _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), size_t(kProcesses * kLines));
    for (const std::string& line : lines) {
        ASSERT_GE(line.size(), 9000u);
        const int p = line[0] - 'a';
        ASSERT_TRUE(0 <= p && p < kProcesses);
        ASSERT_EQ(line, std::string(9000 + p, line[0]));
    }
}
#endif

TEST_F(PathsTest, TemporaryNamesAreTakenSoThatNoTwoCallersShareOne) {
    std::string folder = root_ + "/";
    WriteFile(folder + "Lumetra000000.tmp", "kept");
    WriteFile(folder + "Lumetra000001.tmp", "");
    char out[256];
    UiState* state = OpenState(0);
    ASSERT_EQ(Ui_Path_SetToTempFile(state, folder.c_str(), out, sizeof out), 0);
    EXPECT_EQ(std::string(out), folder + "Lumetra000002.tmp");
    // The name is taken: the file is there (empty) until its caller writes or deletes it, and a
    // second caller, in this process or another, gets the next one. Files in use are untouched.
    EXPECT_TRUE(FileExists(out));
    EXPECT_EQ(ReadFile(out), "");
    EXPECT_EQ(ReadFile(folder + "Lumetra000000.tmp"), "kept");
    // The same buffer may be both folder and result.
    char same[256];
    snprintf(same, sizeof same, "%s", folder.c_str());
    ASSERT_EQ(Ui_Path_SetToTempFile(state, same, same, sizeof same), 0);
    EXPECT_EQ(std::string(same), folder + "Lumetra000003.tmp");
    // A folder that is not there has no free name.
    const std::string missing = folder + "missing/";
    EXPECT_EQ(Ui_Path_SetToTempFile(state, missing.c_str(), out, sizeof out), -2);
    EXPECT_EQ(Ui_Path_SetToTempFile(state, folder.c_str(), out, int32_t(folder.size() + 17)), -1);
    ASSERT_EQ(Ui_Path_SetToTempFolder(out), 0);
    EXPECT_EQ(std::string(out), NativePath(folder));
}

TEST_F(PathsTest, FileUrlPathsUseSlashesAndEscapeWhatAnAddressCannotHold) {
    char out[256];
    ASSERT_EQ(Ui_Path_ToUrlPath("C:\\Program Files\\Kolmara Pro\\", out, sizeof out), 0);
    EXPECT_EQ(std::string(out), "/C:/Program%20Files/Kolmara%20Pro/");
    ASSERT_EQ(Ui_Path_ToUrlPath("/home/u/a#b%c?d\xC3\xA9/", out, sizeof out), 0);
    EXPECT_EQ(std::string(out), "/home/u/a%23b%25c%3Fd%C3%A9/");
    ASSERT_EQ(Ui_Path_ToUrlPath("/usr/lib/x-y_z.~1/", out, sizeof out), 0);
    EXPECT_EQ(std::string(out), "/usr/lib/x-y_z.~1/");
    // Not absolute, or too long for the buffer once escaped: nothing.
    EXPECT_EQ(Ui_Path_ToUrlPath("relative/path", out, sizeof out), -9);
    EXPECT_EQ(Ui_Path_ToUrlPath("/a b c", out, 8), -2);
    EXPECT_EQ(std::string(out), "");
    EXPECT_EQ(Ui_Path_ToUrlPath(nullptr, out, sizeof out), -1);
}

TEST_F(PathsTest, PathsSplitIntoFolderNameAndExtension) {
    char buf[256] = "C:\\a\\b.txt";
    EXPECT_STREQ(Ui_Path_FileName(buf), "b.txt");
    EXPECT_STREQ(Ui_Path_Folder(buf, nullptr), "C:\\a\\");
    EXPECT_EQ(Ui_Path_StripExtension(buf), 0);
    EXPECT_STREQ(buf, "C:\\a\\b");
    EXPECT_STREQ(Ui_Path_Folder("/home/u/p.tif", buf), "/home/u/");
    EXPECT_STREQ(Ui_Path_FileName("disk:file"), "file");
    EXPECT_STREQ(Ui_Path_FileName("plain"), "plain");
    EXPECT_STREQ(Ui_Path_Folder("plain", buf), "");
    Str_CopyBounded(buf, sizeof buf, "/home/u.v/file");
    EXPECT_EQ(Ui_Path_StripExtension(buf), 0);
    EXPECT_STREQ(buf, "/home/u.v/file");
    EXPECT_EQ(Ui_Path_StripExtension(nullptr), -1);
}

}  // namespace
