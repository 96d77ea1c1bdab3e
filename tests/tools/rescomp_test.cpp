// The resource compiler's names: the headers it writes from the string table, the manifests and
// the dialog templates, what it refuses, and that the names in the module's own headers lead to
// the texts and items they say.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/resources.h"
#include "platform/ui/dlg_template.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/dlg_alert.h"
#include "resources/ids/resources.h"
#include "resources/ids/strings.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class Rescomp : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ids_ = root_ + "/ids";
        std::filesystem::create_directory(ids_);
        WriteFile(root_ + "/strings.txt",
                  "# comment\n1000\tStrTitle\tHello\n3024\tPhraseAdvance\tadvancing state\n"
                  "2001\tHintCheck\tEnds in a backslash \\\\\n");
        WriteFile(
            root_ + "/box.txt",
            "# The test box.\ndialog 7 Box 100 50\nitem 1 Ok button 1 1 10 10 \"OK\" default\n"
            "item 2 Cancel button 1 20 10 10 \"Cancel\"\nitem 3 Picture user 1 40 5 5 \"\"\n");
        WriteFile(root_ + "/manifest.txt",
                  "text DLG_ 7 box.txt\nbinary BMP_ 5 box.txt ResPicture\n");
    }
    // Runs rescomp on the test's sources; returns its exit status and keeps its error output.
    int Run(const std::string& strings, const std::string& manifest) {
        const std::string command = std::string(RESCOMP_PATH) + " '" + root_ + "/out.cpp' --ids '" +
                                    ids_ + "' --strings '" + root_ + "/" + strings +
                                    "' --manifest '" + root_ + "/" + manifest + "' 2>'" + root_ +
                                    "/err.txt'";
        const int status = std::system(command.c_str());
        error_ = ReadFile(root_ + "/err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string ids_, error_;
};

TEST_F(Rescomp, HeadersNameEveryStringResourceDialogAndItem) {
    ASSERT_EQ(Run("strings.txt", "manifest.txt"), 0) << error_;
    const std::string strings = ReadFile(ids_ + "/strings.h");
    EXPECT_NE(strings.find("constexpr int32_t kStrTitle = 1000;  // Hello\n"), std::string::npos);
    EXPECT_NE(strings.find("kPhraseAdvance = 3024;  // advancing state\n"), std::string::npos);
    // A comment ending in a backslash would swallow the next line.
    EXPECT_NE(strings.find("kHintCheck = 2001;  // Ends in a backslash\n"), std::string::npos);
    const std::string dialog = ReadFile(ids_ + "/dlg_box.h");
    EXPECT_NE(dialog.find("// The test box.\n"), std::string::npos);
    EXPECT_NE(dialog.find("constexpr int32_t kDlgBox = 7;"), std::string::npos);
    EXPECT_NE(dialog.find("constexpr int16_t kBoxOk = 1;  // button \"OK\""), std::string::npos);
    EXPECT_NE(dialog.find("constexpr int16_t kBoxPicture = 3;  // user\n"), std::string::npos);
    EXPECT_NE(ReadFile(ids_ + "/resources.h").find("kResPicture = 5;"), std::string::npos);

    // A dialog laid out anew leaves every header as it was, so no code recompiles for it.
    const auto before = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const char* h : {"/strings.h", "/dlg_box.h", "/resources.h"}) {
        std::filesystem::last_write_time(ids_ + h, before);
    }
    WriteFile(root_ + "/box.txt",
              "# The test box.\ndialog 7 Box 120 60\nitem 1 Ok button 5 5 10 10 \"OK\" default\n"
              "item 2 Cancel button 5 25 10 10 \"Cancel\"\nitem 3 Picture user 5 45 5 5 \"\"\n");
    ASSERT_EQ(Run("strings.txt", "manifest.txt"), 0) << error_;
    for (const char* h : {"/strings.h", "/dlg_box.h", "/resources.h"}) {
        EXPECT_EQ(std::filesystem::last_write_time(ids_ + h), before) << h;
    }
}

// The Windows form of the dialog: the resource script compiled by windres, and the styles of the
// items read back from the compiled DIALOGEX template.
std::map<uint32_t, uint32_t> CompiledItemStyles(const std::string& res, uint16_t dialogId) {
    std::map<uint32_t, uint32_t> styles;
    auto u16 = [&](size_t at) { return uint16_t(uint8_t(res[at]) | uint8_t(res[at + 1]) << 8); };
    auto u32 = [&](size_t at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    // A name or ordinal: 0xFFFF and a number, or a wide string; returns the offset after it.
    auto skipName = [&](size_t at) {
        if (u16(at) == 0xFFFF) return at + 4;
        while (u16(at) != 0) at += 2;
        return at + 2;
    };
    for (size_t at = 0; at + 32 <= res.size();) {
        const uint32_t dataSize = u32(at), headerSize = u32(at + 4);
        const size_t data = at + headerSize;
        if (u16(at + 8) == 0xFFFF && u16(at + 10) == 5 && u16(at + 12) == 0xFFFF &&
            u16(at + 14) == dialogId) {
            // DLGTEMPLATEEX: version, signature, help id, extended style, style, item count,
            // position and size, then menu, class, title and (DS_SETFONT) the font.
            const uint32_t dialogStyle = u32(data + 12);
            const uint16_t count = u16(data + 16);
            size_t p = skipName(skipName(skipName(data + 26)));
            if (dialogStyle & 0x40) p = skipName(p + 6);  // point size, weight, italic, charset
            for (uint16_t i = 0; i < count; ++i) {
                p = (p + 3) & ~size_t(3);
                const uint32_t style = u32(p + 8), id = u32(p + 20);
                p = skipName(skipName(p + 24));
                p += 2 + u16(p);  // creation data
                styles[id] = style;
            }
        }
        at = (data + dataSize + 3) & ~size_t(3);
    }
    return styles;
}

TEST_F(Rescomp, TheWindowsTemplatesKeepHiddenItemsHidden) {
    if (std::system("x86_64-w64-mingw32-windres --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no x86_64-w64-mingw32-windres";
    }
    WriteFile(root_ + "/box.txt",
              "dialog 7 Box 100 50\nitem 1 Ok button 1 1 10 10 \"OK\" default\n"
              "item 2 Later button 1 20 10 10 \"Later\" hidden\n"
              "item 3 Note static 1 40 50 8 \"text\" hidden disabled\n");
    const std::string command = std::string(RESCOMP_PATH) + " '" + root_ + "/out.cpp' --rc '" +
                                root_ + "/out.rc' --strings '" + root_ +
                                "/strings.txt' --manifest '" + root_ +
                                "/manifest.txt' && x86_64-w64-mingw32-windres -O res -i '" + root_ +
                                "/out.rc' -o '" + root_ + "/out.res'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::map<uint32_t, uint32_t> styles = CompiledItemStyles(ReadFile(root_ + "/out.res"), 7);
    ASSERT_EQ(styles.size(), 3u);
    constexpr uint32_t kVisible = 0x10000000, kDisabled = 0x08000000, kChild = 0x40000000;
    EXPECT_EQ(styles.at(1) & (kVisible | kChild), kVisible | kChild);
    EXPECT_EQ(styles.at(2) & (kVisible | kChild), kChild);
    EXPECT_EQ(styles.at(3) & (kVisible | kDisabled | kChild), kDisabled | kChild);
}

TEST_F(Rescomp, MissingMalformedOrRepeatedNamesStopTheBuild) {
    struct Case {
        const char* what;
        const char* strings;
        const char* dialog;
        const char* complaint;
    };
    const char* good = "1000\tStrTitle\tHello\n";
    const char* box = "dialog 7 Box 100 50\nitem 1 Ok button 1 1 10 10 \"OK\"\n";
    const Case cases[] = {
        {"a string without a name", "1000\tHello\n", box, "expected ID<TAB>NAME<TAB>text"},
        {"a name of no kind", "1000\tTitle\tHello\n", box, "Str, Phrase, Hint or Msg"},
        {"a name in lower case", "1000\tStrtitle\tHello\n", box, "Str, Phrase, Hint or Msg"},
        {"a name used twice", "1000\tStrTitle\tHello\n1001\tStrTitle\tBye\n", box,
         "kStrTitle is already used"},
        {"an id that is no number", "10x0\tStrTitle\tHello\n", box, "expected a number"},
        {"an item without a name", good, "dialog 7 Box 100 50\nitem 1 button 1 1 10 10 \"\"\n",
         "an item's name"},
        {"two items of one name", good,
         "dialog 7 Box 100 50\nitem 1 Ok button 1 1 9 9 \"\"\nitem 2 Ok button 1 1 9 9 \"\"\n",
         "used twice"},
        {"an item out of order", good, "dialog 7 Box 100 50\nitem 2 Ok button 1 1 9 9 \"\"\n",
         "expected \"item 1"},
        {"a dialog line of another id", good, "dialog 8 Box 100 50\n", "expected \"dialog 7"},
        {"a dialog named like a string", "1000\tStrTitle\tHello\n",
         "dialog 7 Str 100 50\nitem 1 Title button 1 1 9 9 \"\"\n", "kStrTitle is already used"},
        {"a template not named after its dialog", good,
         "dialog 7 BigBox 100 50\nitem 1 Ok button 1 1 9 9 \"\"\n", "belongs in big_box.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(root_ + "/s.txt", c.strings);
        WriteFile(root_ + "/box.txt", c.dialog);
        WriteFile(root_ + "/m.txt", "text DLG_ 7 box.txt\n");
        EXPECT_EQ(Run("s.txt", "m.txt"), 1);
        EXPECT_NE(error_.find(c.complaint), std::string::npos) << error_;
    }
}

TEST_F(Rescomp, TheModulesNamesLeadToTheirTextsAndItems) {
    UiState* state = OpenState(0);
    char text[256];
    EXPECT_STREQ(Ui_ResToCString(state, kStrAppName, text), "Tintara Kolmara Pro");
    EXPECT_STREQ(Ui_ResToCString(state, kPhraseAdvanceState, text), "advancing state");
    EXPECT_STREQ(Ui_ResToCString(state, kMsgTimeout, text), "A timeout error occurred");
    EXPECT_STREQ(Ui_ResToCString(state, kStrUseAnyway, text), "Use Anyway");
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(Res_Find(state->resSrc, kResTypeHelp, kResHelp, &data, &size), 0);

    Ui_DlgTemplate* t = nullptr;
    ASSERT_EQ(Ui_Template_Load(state, kDlgEditor, &t), 0);
    EXPECT_EQ(t->itemCount, kEditorValueEntry);  // the last item
    EXPECT_STREQ(Ui_Template_Item(t, kEditorPreviewCheck)->text, "Preview");
    EXPECT_STREQ(Ui_Template_Item(t, kEditorSharpenNoiseSetup)->text, "Setup...");
    EXPECT_EQ(Ui_Template_Item(t, kEditorPreviewImage)->kind, kUiItemUser);
    Ui_Template_Free(&t);
    ASSERT_EQ(Ui_Template_Load(state, kDlgAlert, &t), 0);
    EXPECT_EQ(t->itemCount, kAlertIcon);
    EXPECT_STREQ(Ui_Template_Item(t, kAlertFirst)->text, "OK");
    Ui_Template_Free(&t);
}

}  // namespace
