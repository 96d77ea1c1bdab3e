// The Windows side of the platform layer, run under Wine: the module's resources as Windows
// resources, the folders it forms, and replacing a file in one step.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/os.h"
#include "platform/paths.h"
#include "platform/resources.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

uint32_t BE32(const std::string& bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint32_t(uint8_t(bytes[at + 3]));
}

// Every entry of the archive that the Linux module carries is found among this program's
// Windows resources (compiled from the same script as the module's) with the same bytes; strings
// come back from the STRINGTABLE as the same text.
TEST(WindowsResources, EveryArchiveEntryIsAWindowsResourceWithTheSameBytes) {
    std::string archive = ReadFile(KOLMARA_ARCHIVE_FILE);
    ASSERT_GE(archive.size(), 12u);
    ASSERT_EQ(archive.substr(0, 4), "KRES");
    const ResArchive* module = Res_ModuleArchive();
    ASSERT_NE(module, nullptr);
    uint32_t count = BE32(archive, 8), strings = 0, others = 0;
    ASSERT_GT(count, 100u);
    for (uint32_t i = 0; i < count; ++i) {
        size_t e = 12 + 16 * size_t(i);
        uint32_t type = BE32(archive, e), id = BE32(archive, e + 4);
        std::string expected = archive.substr(BE32(archive, e + 8), BE32(archive, e + 12));
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(Res_Find(module, type, id, &data, &size), 0)
            << std::hex << type << " " << std::dec << id;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), expected)
            << std::hex << type << " " << std::dec << id;
        ++(type == kResTypeString ? strings : others);
    }
    EXPECT_GT(strings, 100u);
    EXPECT_GT(others, 5u);
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(Res_Find(module, kResTypeString, 4999, &data, &size), -7);
    EXPECT_EQ(Res_Find(module, kResTypeHelp, 1001, &data, &size), -7);
    // The host finds the PiPL under its own type name, not only through our interface.
    EXPECT_NE(FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(16000), "PIPL"), nullptr);
    EXPECT_NE(FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(16000), "AETE"), nullptr);
    EXPECT_NE(FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1000), RT_DIALOG), nullptr);
}

// The module as a host loads it: every DLL it needs is the system's (nothing of the GCC runtime
// beside it), its one export is PluginMain, and the host finds its PiPL.
TEST(WindowsModule, TheModuleLoadsAloneAndExportsPluginMain) {
    HMODULE module = LoadLibraryA(KOLMARA_MODULE_FILE);
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    EXPECT_NE(GetProcAddress(module, "PluginMain"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "Res_ModuleArchive"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "Mem_Alloc"), nullptr);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(16000), "PIPL"), nullptr);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)),
              nullptr);  // version
    FreeLibrary(module);
}

TEST(WindowsFolders, FoldersEndWithABackslashAndThePreferencesFolderExists) {
    char folder[kPathSize];
    ASSERT_EQ(Ui_Path_SetToPrefFolder(nullptr, folder, sizeof folder), 0);
    std::string prefs = folder;
    ASSERT_GT(prefs.size(), 9u);
    EXPECT_EQ(prefs.substr(prefs.size() - 9), "\\Lumetra\\");
    DWORD attributes = GetFileAttributesA(folder);
    EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_EQ(Ui__Path_SetToDebugLog(folder), 0);
    EXPECT_EQ(std::string(folder), prefs + "LumetraDebug.txt");
    // Too small a buffer for the preferences folder falls back to the Windows folder, or fails.
    char small[10];
    int32_t status = Ui_Path_SetToPrefFolder(nullptr, small, sizeof small);
    EXPECT_TRUE(status == -2 || (status == 0 && small[std::strlen(small) - 1] == '\\'));
    ASSERT_EQ(Ui_Path_SetToTempFolder(folder), 0);
    EXPECT_EQ(folder[std::strlen(folder) - 1], '\\');
    ASSERT_EQ(Ui_Path_SetToModuleFolder(folder), 0);
    EXPECT_EQ(folder[std::strlen(folder) - 1], '\\');
}

// The preferences are written beside the real file and moved over it: on Windows the C
// library's rename refuses an existing target, which would leave the old preferences forever.
TEST(WindowsFiles, ReplacingAFileOverwritesAnExistingOneInOneStep) {
    char folder[kPathSize];
    ASSERT_EQ(Ui_Path_SetToTempFolder(folder), 0);
    std::string target = std::string(folder) + "kolmara_replace_test.dat";
    std::string fresh = target + ".new";
    WriteFile(target, "old contents");
    WriteFile(fresh, "new");
    ASSERT_EQ(Os_ReplaceFile(fresh.c_str(), target.c_str()), 0);
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(GetFileAttributesA(fresh.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(Os_ReplaceFile(fresh.c_str(), target.c_str()), 0);  // nothing left to move
    EXPECT_EQ(ReadFile(target), "new");
    DeleteFileA(target.c_str());
}

}  // namespace
