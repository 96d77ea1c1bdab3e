// Folders, temporary names, the debug log switch and path splitting.
#include <stdlib.h>

#include <string>

#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::FileExists;
using testing_support::NativePath;
using testing_support::PointAppDataAt;
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

TEST_F(PathsTest, TemporaryNameSkipsNamesInUse) {
    std::string folder = root_ + "/";
    WriteFile(folder + "Lumetra000000.tmp", "");
    WriteFile(folder + "Lumetra000001.tmp", "");
    char out[256];
    UiState* state = OpenState(0);
    ASSERT_EQ(Ui_Path_SetToTempFile(state, folder.c_str(), out, sizeof out), 0);
    EXPECT_EQ(std::string(out), folder + "Lumetra000002.tmp");
    // The same buffer may be both folder and result.
    char same[256];
    snprintf(same, sizeof same, "%s", folder.c_str());
    ASSERT_EQ(Ui_Path_SetToTempFile(state, same, same, sizeof same), 0);
    EXPECT_EQ(std::string(same), folder + "Lumetra000002.tmp");
    EXPECT_EQ(Ui_Path_SetToTempFile(state, folder.c_str(), out, int32_t(folder.size() + 17)), -1);
    ASSERT_EQ(Ui_Path_SetToTempFolder(out), 0);
    EXPECT_EQ(std::string(out), NativePath(folder));
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
