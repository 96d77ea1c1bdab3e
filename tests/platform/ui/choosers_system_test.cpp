// File choosers (filters, default extensions, folders, the ICC profile check), cursors, opening a
// web page and starting helper programs, and the rectangle helpers.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/alert.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "platform/ui/choosers.h"
#include "platform/ui/cursor.h"
#include "platform/ui/rect.h"
#include "platform/ui/system.h"
#include "resources/ids/strings.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;
using testing_support::WriteFile;

class ChooserTest : public UiTest {
   protected:
    void Answer(const char* path) { SetScript({Choose(path)}); }
    // A 128-byte ICC header with the given class, colour space and connection space.
    std::string Profile(const char* deviceClass, const char* space, const char* pcs = "XYZ ") {
        std::string h(128, '\0');
        h.replace(3, 1, 1, char(128));  // size 128
        h.replace(12, 4, deviceClass);
        h.replace(16, 4, space);
        h.replace(20, 4, pcs);
        h.replace(36, 4, "acsp");
        std::string path = root_ + "/" + deviceClass + space + ".icc";
        WriteFile(path, h);
        return path;
    }
};

TEST(ChooserFilters, PipesBecomeNulsAndTheIndexIsTheLastPair) {
    char out[128];
    int32_t index = 0;
    ASSERT_EQ(Ui_Choose_Filters("All Files (*.*)|*.*|", out, sizeof out, &index), 0);
    EXPECT_EQ(std::string(out, 21), std::string("All Files (*.*)\0*.*\0\0", 21));
    EXPECT_EQ(index, 1);
    ASSERT_EQ(Ui_Choose_Filters("Text|*.txt|Data|*.dat|", out, sizeof out, &index), 0);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(std::string(out, 23), std::string("Text\0*.txt\0Data\0*.dat\0\0", 23));
    EXPECT_EQ(Ui_Choose_Filters("Text|*.txt", out, sizeof out, &index), -1);  // unclosed pair
    EXPECT_EQ(Ui_Choose_Filters("Text|*.txt|x|", out, sizeof out, &index), -1);
    EXPECT_EQ(Ui_Choose_Filters("All Files (*.*)|*.*|", out, 10, &index), -1);  // too small
}

TEST_F(ChooserTest, OpenAndSaveUseTheirFiltersAndTheSaveKindsExtension) {
    char path[kPathSize] = "/data/start.txt";
    Answer("/data/picked.tif");
    ASSERT_EQ(Ui_Choose_OpenFile(state_, "Open", path), 0);
    EXPECT_STREQ(path, "/data/picked.tif");
    const UiHeadlessChooser* c = Ui_Headless_LastChooser();
    EXPECT_EQ(c->kind, kUiChooseOpen);
    EXPECT_STREQ(c->firstFilter, "All Files (*.*)");
    EXPECT_STREQ(c->lastPattern, "*.*");

    struct Case {
        int32_t kind;
        const char* filter;
        const char* answer;
        const char* result;
    } cases[] = {
        {kUiFileHuegrid, "Huegrid (*.hg)", "/d/grid", "/d/grid.hg"},
        {kUiFileIccProfile, "ICC Profile (*.icc)", "/d/my.profile", "/d/my.profile"},
        {kUiFileData, "Data (*.dat)", "/d.x/values", "/d.x/values.dat"},
    };
    for (const Case& k : cases) {
        Answer(k.answer);
        ASSERT_EQ(Ui_Choose_SaveFile(state_, "Save", k.kind, path), 0) << k.filter;
        EXPECT_STREQ(path, k.result);
        EXPECT_STREQ(Ui_Headless_LastChooser()->firstFilter, k.filter);
        EXPECT_TRUE(Ui_Headless_LastChooser()->confirmOverwrite);
    }
    EXPECT_EQ(Ui_Choose_SaveFile(state_, "Save", 4, path), -1);

    Answer("/d/read.txt");
    ASSERT_EQ(Ui_Choose_TextFile(state_, "Load", path), 0);
    EXPECT_STREQ(Ui_Headless_LastChooser()->lastPattern, "*.txt");
}

TEST_F(ChooserTest, CancelLeavesThePathAlone) {
    char path[kPathSize] = "/keep/me";
    Answer(nullptr);
    EXPECT_EQ(Ui_Choose_OpenFile(state_, "Open", path), -10);
    EXPECT_STREQ(path, "/keep/me");
    SetScript({});  // nothing scripted for the chooser: nobody answers, which is a cancel
    EXPECT_EQ(Ui_Choose_SaveFile(state_, "Save", kUiFileText, path), -10);
    EXPECT_STREQ(path, "/keep/me");
    Ui_Headless_SetScript(nullptr, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Ui_Choose_Folder(state_, "Folder", path), -10);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cancelled"), std::string::npos);
}

TEST_F(ChooserTest, FoldersEndWithASeparatorAndMustBeReadable) {
    char path[kPathSize] = "";
    std::string folder = root_ + "/chosen";
    ASSERT_EQ(testing_support::MakeFolder(folder), 0);
    Answer(folder.c_str());
    ASSERT_EQ(Ui_Choose_Folder(state_, "Where", path), 0);
    const std::string chosen = folder + kOsSeparator;
    EXPECT_EQ(std::string(path), chosen);
    std::string missing = root_ + "/missing";
    Answer(missing.c_str());
    EXPECT_EQ(Ui_Choose_Folder(state_, "Where", path), -2);
    EXPECT_EQ(std::string(path), chosen);
}

TEST_F(ChooserTest, ProfileChooserAcceptsOnlyRgbInputAndMonitorProfiles) {
    std::string scanner = Profile("scnr", "RGB "), monitor = Profile("mntr", "RGB ");
    std::string printer = Profile("prtr", "RGB "), cmyk = Profile("mntr", "CMYK");
    std::string notIcc = root_ + "/text.icc";
    WriteFile(notIcc, std::string(200, 'x'));
    char path[kPathSize] = "";
    char colour[kPathSize];
    ASSERT_EQ(Ui_Path_SetToColorFolder(state_, colour, sizeof colour), 0);
    Answer(scanner.c_str());
    ASSERT_EQ(Ui_Choose_RgbProfile(state_, path), 0);
    EXPECT_EQ(path, scanner);
    EXPECT_STREQ(Ui_Headless_LastChooser()->title, "Select an RGB input or monitor profile");
    EXPECT_STREQ(Ui_Headless_LastChooser()->folder, colour);  // an empty path starts there
    Answer(monitor.c_str());
    ASSERT_EQ(Ui_Choose_RgbProfile(state_, path), 0);
    EXPECT_EQ(path, monitor);
    EXPECT_STREQ(Ui_Headless_LastChooser()->folder, "");  // a path was given: no start folder

    struct Case {
        std::string file;
        int32_t status;
    } refused[] = {{printer, -9}, {cmyk, -9}, {notIcc, -8}, {root_ + "/none.icc", -4}};
    for (const Case& c : refused) {
        Answer(c.file.c_str());
        EXPECT_EQ(Ui_Choose_RgbProfile(state_, path), c.status) << c.file;
        EXPECT_EQ(path, monitor);  // the caller's path comes back
    }

    char empty[kPathSize] = "";
    Answer(nullptr);
    EXPECT_EQ(Ui_Choose_RgbProfile(state_, empty), -10);
    EXPECT_STREQ(empty, "");
}

TEST(ShellRun, StartsProgramsWithoutAShellAndReportsTheirExit) {
#if defined(_WIN32)
    GTEST_SKIP() << "true, false and test are POSIX programs";
#endif
    int32_t code = -1;
    EXPECT_EQ(Ui_Shell_Run("true", "ignored", &code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Ui_Shell_Run("false", "x", &code), -2);
    EXPECT_EQ(code, 1);
    // Without a shell the argument is one word, never interpreted.
    EXPECT_EQ(Ui_Shell_Run("test", "-n; exit 0", &code), 0);
    EXPECT_EQ(Ui_Shell_Run("kolmara-no-such-program", "x", &code), -2);
    EXPECT_EQ(code, ENOENT);
    EXPECT_EQ(Ui_Shell_Run(nullptr, "x", &code), -1);
#if !defined(_WIN32)
    // What the program prints reaches nobody (a launcher's pages of diagnostics would end up in
    // a host's messages); its exit status still says it failed.
    const char* tmp = std::getenv("TMPDIR");
    std::string caught = std::string(tmp != nullptr ? tmp : "/tmp") + "/kolmara-output-XXXXXX";
    const int file = mkstemp(caught.data());
    ASSERT_GE(file, 0);
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file, STDERR_FILENO);
    const int32_t status = Ui_Shell_Run("ls", "/kolmara-no-such-folder", &code);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(file);
    EXPECT_EQ(status, -2);
    EXPECT_NE(code, 0);
    struct stat written {};
    ASSERT_EQ(stat(caught.c_str(), &written), 0);
    EXPECT_EQ(written.st_size, 0);
    unlink(caught.c_str());
#endif
}

TEST_F(ChooserTest, WebPageFailureDescribesTheBrowserAlertForItsCaller) {
    SetScript({});
    Ui_Failure failure;
    EXPECT_EQ(Ui_Web_Open(state_, "https://example.org/help", &failure), 0);
    EXPECT_STREQ(Ui_Headless_LastUrl(), "https://example.org/help");
    // Without a desktop the page cannot be opened: -2, and nothing is shown until the caller
    // shows the failure, as one stop alert.
    Ui_Alert_SetPresenter([](UiState*, const Ui_AlertRecord* a, int16_t* item) -> int32_t {
        gTrace.push_back(a->text + std::string(a->icon == kUiAlertIconStop ? " [stop]" : ""));
        *item = 1;
        return 0;
    });
    Ui_Headless_SetScript(nullptr, 0);
    EXPECT_EQ(Ui_Web_Open(state_, "https://example.org/help", &failure), -2);
    EXPECT_EQ(Ui_Web_Open(state_, "https://example.org/help", nullptr), -2);
    EXPECT_EQ(Ui_Web_Open(state_, "", &failure), -1);
    EXPECT_TRUE(gTrace.empty());
    EXPECT_EQ(Ui_Failure_Show(state_, &failure), -2);
    Ui_Alert_SetPresenter(nullptr);
    EXPECT_EQ(Joined(gTrace), "Could not launch the Internet browser (error = 0). [stop]");
}

TEST_F(ChooserTest, CursorsAreRememberedSoTheSameOneIsNotLoadedTwice) {
    // A cursor resource: hot spot (3, 4) and a 16 x 16 BMP.
    std::string bmp = MakeBmp(16, 16, std::vector<uint32_t>(256, 0xFF00FF), {});
    std::string cursor = std::string("\0\3\0\4", 4) + bmp;
    std::string badHotSpot = std::string("\0\40\0\4", 4) + bmp;
    std::vector<uint8_t> bytes = ArchiveWith({{kResTypeCursor, 200, cursor},
                                              {kResTypeCursor, 201, badHotSpot},
                                              {kResTypeCursor, 202, "x"}});
    ResArchive archive;
    ASSERT_EQ(Res_Open(&archive, bytes.data(), uint32_t(bytes.size())), 0);
    const ResArchive* saved = state_->resSrc;
    state_->resSrc = &archive;

    EXPECT_EQ(Ui_Cursor_Set(state_, kUiCursorWait), 0);
    EXPECT_EQ(Ui_Headless_CursorKind(), kUiCursorWait);
    EXPECT_EQ(Ui_Cursor_Set(state_, 200), 0);
    EXPECT_EQ(Ui_Cursor_Set(state_, 200), 0);
    EXPECT_EQ(Ui_Headless_CursorLoads(), 1);
    EXPECT_EQ(state_->cursorKind, 200u);
    EXPECT_NE(state_->cursor, nullptr);
    EXPECT_EQ(Ui_Cursor_Set(state_, 201), -8);  // hot spot outside the picture
    EXPECT_EQ(Ui_Cursor_Set(state_, 202), -8);
    EXPECT_EQ(Ui_Cursor_Set(state_, 203), -7);
    EXPECT_EQ(state_->cursorKind, 200u);  // the cursor in use stays
    EXPECT_EQ(Ui_Cursor_Set(state_, kUiCursorArrow), 0);
    EXPECT_EQ(state_->cursor, nullptr);  // the loaded one was freed
    EXPECT_EQ(Ui_Cursor_Set(state_, 200), 0);
    EXPECT_EQ(Ui_Headless_CursorLoads(), 2);
    EXPECT_EQ(Ui_Cursor_Set(state_, 7), -1);  // neither a kind of its own nor a resource
    state_->resSrc = saved;                   // closing the state frees the loaded cursor
}

TEST(RectHelpers, IntersectOffsetContainAndCentre) {
    Ui_Rect a = Ui_Rect_Make(0, 0, 10, 10), b = Ui_Rect_Make(5, 8, 20, 30), out{};
    ASSERT_EQ(Ui_Rect_Intersect(&a, &b, &out), 0);
    EXPECT_TRUE(out.top == 5 && out.left == 8 && out.bottom == 10 && out.right == 10);
    Ui_Rect far = Ui_Rect_Make(10, 10, 20, 20);  // touches a's corner only
    ASSERT_EQ(Ui_Rect_Intersect(&a, &far, &out), 0);
    EXPECT_TRUE(out.top == 0 && out.left == 0 && out.bottom == 0 && out.right == 0);
    EXPECT_EQ(Ui_Rect_Intersect(&a, nullptr, &out), -1);

    EXPECT_EQ(Ui_Rect_Offset(&a, 3, -2), 0);  // h, then v
    EXPECT_TRUE(a.left == 3 && a.right == 13 && a.top == -2 && a.bottom == 8);
    Ui_Rect edge = Ui_Rect_Make(0, 32760, 1, 32767);
    EXPECT_EQ(Ui_Rect_Offset(&edge, 10, 0), -1);
    EXPECT_EQ(edge.left, 32760);

    EXPECT_TRUE(Ui_Rect_ContainsPoint(&b, 5, 8));    // top-left inclusive
    EXPECT_FALSE(Ui_Rect_ContainsPoint(&b, 20, 8));  // bottom exclusive
    EXPECT_FALSE(Ui_Rect_ContainsPoint(&b, 5, 30));  // right exclusive

    Ui_Rect screen = Ui_Rect_Make(0, 0, 768, 1024), window = Ui_Rect_Make(0, 0, 300, 400);
    ASSERT_EQ(Ui_Rect_CentreOver(&window, nullptr, &screen, &out), 0);
    EXPECT_EQ(out.left, 312);  // (1024 - 400) / 2
    EXPECT_EQ(out.top, 156);   // (768 - 300) / 3
    EXPECT_EQ(out.right - out.left, 400);
    Ui_Rect parent = Ui_Rect_Make(600, 900, 700, 1000);  // small, near the corner
    ASSERT_EQ(Ui_Rect_CentreOver(&window, &parent, &screen, &out), 0);
    EXPECT_EQ(out.left, 624);  // pulled back onto the screen
    EXPECT_EQ(out.top, 468);
    Ui_Rect huge = Ui_Rect_Make(0, 0, 900, 1200);
    ASSERT_EQ(Ui_Rect_CentreOver(&huge, nullptr, &screen, &out), 0);
    EXPECT_EQ(out.left, 0);  // never above or left of 0
    EXPECT_EQ(out.top, 0);
}

}  // namespace

namespace {

TEST_F(ChooserTest, ChoosersTakeAPromptAndAFolderAndSavesAskBeforeReplacing) {
    char path[kPathSize] = "";
    Answer("/data/picked.txt");
    ASSERT_EQ(Ui_Choose_Open(state_, "Load", "Select Custom Settings", "/data/settings/",
                             kStrFilterText, path),
              0);
    const UiHeadlessChooser* c = Ui_Headless_LastChooser();
    EXPECT_STREQ(c->title, "Load");
    EXPECT_STREQ(c->prompt, "Select Custom Settings");
    EXPECT_STREQ(c->folder, "/data/settings/");
    EXPECT_STREQ(c->firstFilter, "Text (*.txt)");

    // A file that is there: the alert box asks. Cancel shows the chooser again, a name that is
    // free is taken without a question, and Replace takes the file that is there.
    const std::string there = root_ + "/MyPars.txt";
    WriteFile(there, "v5\n");
    const std::string other = root_ + "/Other";
    SetScript({Choose(there.c_str()), For(6000, Click(2)), Choose(other.c_str())});
    path[0] = 0;
    ASSERT_EQ(Ui_Choose_Save(state_, "Save Custom Settings", nullptr, nullptr, kUiFileText, path),
              0);
    EXPECT_EQ(std::string(path), other + ".txt");
    EXPECT_EQ(Ui_Headless_ChooserCalls(), 3);
    SetScript({Choose(there.c_str()),
               For(6000, Call([](UiWindow* w) {
                       EXPECT_NE(
                           std::string(Ui_Headless_Window(w)->items[2].text).find("MyPars.txt"),
                           std::string::npos);
                   })),
               For(6000, Click(1))});
    ASSERT_EQ(Ui_Choose_Save(state_, "Save", nullptr, nullptr, kUiFileText, path), 0);
    EXPECT_EQ(std::string(path), there);
    // Cancelling the chooser the second time cancels the whole choice.
    SetScript({Choose(there.c_str()), For(6000, Click(2)), Choose(nullptr)});
    EXPECT_EQ(Ui_Choose_Save(state_, "Save", nullptr, nullptr, kUiFileText, path), -10);
    EXPECT_EQ(std::string(path), there);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
}

TEST_F(ChooserTest, TheFrameworksOwnCursorsNeedNoResource) {
    for (uint32_t kind : {kUiCursorCross, kUiCursorHand, kUiCursorMove}) {
        EXPECT_EQ(Ui_Cursor_Set(state_, kind), 0);
        EXPECT_EQ(Ui_Headless_CursorKind(), kind);
    }
    EXPECT_EQ(Ui_Headless_CursorLoads(), 0);
    // The eyedropper is drawn by the framework and loaded once while it stays in use.
    EXPECT_EQ(Ui_Cursor_Set(state_, kUiCursorEyedropper), 0);
    EXPECT_EQ(Ui_Cursor_Set(state_, kUiCursorEyedropper), 0);
    EXPECT_EQ(Ui_Headless_CursorLoads(), 1);
    EXPECT_NE(state_->cursor, nullptr);
    EXPECT_EQ(Ui_Cursor_Set(state_, kUiCursorArrow), 0);
    EXPECT_EQ(state_->cursor, nullptr);
}

}  // namespace
