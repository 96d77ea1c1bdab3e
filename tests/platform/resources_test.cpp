// Resources: the archive in the module's own section, strings, the help text, damaged archives.
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>

#include "platform/file.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class ResourcesTest : public testing_support::PlatformTest {};

TEST_F(ResourcesTest, StringsComeFromTheLinkedArchiveAndMissingOnesReadAsQuestionMark) {
    UiState* state = OpenState(1);
    EXPECT_STREQ(state->appName, "Tintara Kolmara Pro");
    EXPECT_STREQ(state->companyName, "Lumetra");
    char buf[256];
    EXPECT_STREQ(Ui_ResToCString(state, 6050, buf), " while ");
    EXPECT_STREQ(Ui_ResToCString(state, 1003, nullptr), "KolmaraPro Plugin Prefs");
    EXPECT_STREQ(Ui_ResToCString(state, 4999, buf), "?");
    EXPECT_EQ(LogLines().back(), "Ui_ResToCString, LoadString error = -7");
    EXPECT_STREQ(Ui_ResToCString(nullptr, 1000, buf), "?");
}

TEST_F(ResourcesTest, HelpTextIsCopiedToAFileWithWindowsLineEnds) {
    UiState* state = OpenState(0);
    std::string path = root_ + "/help.tmp";
    FLSpec spec;
    FLSpecDisk(&spec, path.c_str());
    ASSERT_EQ(Ui_ResToFile(state, kResTypeHelp, 1000, &spec), 0);
    std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind("#2000 Kolmara Pro Overview\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\n##"), std::string::npos);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
        }
    }
    EXPECT_EQ(Ui_ResToFile(state, kResTypeHelp, 127, &spec), -1);
    EXPECT_EQ(Ui_ResToFile(state, kResTypeString, 1000, &spec), -1);
    EXPECT_EQ(Ui_ResToFile(state, kResTypeHelp, 1001, &spec), -7);
    EXPECT_EQ(Ui_ResToFile(state, kResTypeHelp, 1000, nullptr), -1);
}

TEST_F(ResourcesTest, ArchiveIsReadFromTheBinaryFileOnDisk) {
#if defined(_WIN32)
    GTEST_SKIP() << "a Windows program carries its archive as Windows resources (tests/windows)";
#else
    char self[512];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(Res_ReadFromElfFile(self, &bytes, &size), 0);
    const ResArchive* linked = Res_ModuleArchive();
    ASSERT_NE(linked, nullptr);
    ASSERT_EQ(size, linked->size);
    EXPECT_EQ(std::memcmp(bytes, linked->bytes, size), 0);
    Mem_Free(bytes);

    std::string notElf = root_ + "/not-elf";
    WriteFile(notElf, std::string(200, 'x'));
    EXPECT_EQ(Res_ReadFromElfFile(notElf.c_str(), &bytes, &size), -8);
    EXPECT_EQ(Res_ReadFromElfFile((root_ + "/none").c_str(), &bytes, &size), -4);

    // A truncated copy of the binary is refused, never read out of bounds.
    std::string whole = ReadFile(self);
    std::string cut = root_ + "/cut";
    WriteFile(cut, whole.substr(0, whole.size() / 2));
    EXPECT_LT(Res_ReadFromElfFile(cut.c_str(), &bytes, &size), 0);
    EXPECT_EQ(bytes, nullptr);
#endif
}

TEST_F(ResourcesTest, DamagedArchivesAreRefused) {
    std::string copy = testing_support::ModuleArchiveBytes();
    ASSERT_GT(copy.size(), 12u);
    ResArchive a;
    auto open = [&](const std::string& s) {
        return Res_Open(&a, reinterpret_cast<const uint8_t*>(s.data()), uint32_t(s.size()));
    };
    EXPECT_EQ(open(copy), 0);
    EXPECT_EQ(open(copy.substr(0, 11)), -8);
    EXPECT_EQ(open(copy.substr(0, copy.size() - 1)), -8);  // the last entry runs past the end
    std::string bad = copy;
    bad[0] = 'X';
    EXPECT_EQ(open(bad), -8);
    bad = copy;
    bad[8] = char(0x7F);  // an entry count the directory cannot hold
    EXPECT_EQ(open(bad), -8);
    std::mt19937 rng(5);
    for (int i = 0; i < 200; ++i) {
        bad = copy.substr(0, 12 + rng() % 200);
        for (size_t k = 12; k < bad.size(); ++k) bad[k] = char(rng());
        if (open(bad) == 0) {
            const uint8_t* data;
            uint32_t size;
            if (Res_Find(&a, kResTypeString, 1000, &data, &size) == 0) {
                EXPECT_LE(data + size, a.bytes + a.size);
            }
        }
    }
}

}  // namespace
