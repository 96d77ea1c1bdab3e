// Resources read from a Windows module file: a PE image laid out here by the documented format
// (DOS stub, PE32+ headers, one resource section with type, id and language levels), then found,
// missed, truncated and damaged.
#include <cstring>
#include <string>

#include "platform/mem.h"
#include "platform/resources.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::WriteFile;

void Put16(std::string& s, size_t at, uint32_t v) {
    s[at] = char(v);
    s[at + 1] = char(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

constexpr uint32_t kSectionRva = 0x3000;
constexpr size_t kSectionAt = 0x200;

// A 64-bit PE file whose resources are the PiPL (named type "PIPL", id 16000) and the help text
// (named type "HELPTEXT", id 1000), each in one language.
std::string PeImage(const std::string& pipl, const std::string& help) {
    // The resource section: root (2 named types), two id directories, two language directories,
    // two data entries, the names, then the data.
    std::string r(0x200, '\0');
    auto directory = [&](size_t at, uint32_t named, uint32_t numbered) {
        Put16(r, at + 12, named);
        Put16(r, at + 14, numbered);
    };
    auto entry = [&](size_t at, uint32_t key, uint32_t target) {
        Put32(r, at, key);
        Put32(r, at + 4, target);
    };
    auto name = [&](size_t at, const char* text) {
        Put16(r, at, uint32_t(std::strlen(text)));
        for (size_t i = 0; text[i] != 0; ++i) Put16(r, at + 2 + 2 * i, uint8_t(text[i]));
    };
    directory(0x00, 2, 0);
    entry(0x10, 0x80000000u | 0x120, 0x80000000u | 0x20);  // "HELPTEXT"
    entry(0x18, 0x80000000u | 0x140, 0x80000000u | 0x38);  // "PIPL"
    directory(0x20, 0, 1);
    entry(0x30, 1000, 0x80000000u | 0x50);
    directory(0x38, 0, 1);
    entry(0x48, 16000, 0x80000000u | 0x68);
    directory(0x50, 0, 1);
    entry(0x60, 0x409, 0x100);
    directory(0x68, 0, 1);
    entry(0x78, 0x409, 0x110);
    name(0x120, "HELPTEXT");
    name(0x140, "PIPL");
    size_t helpAt = r.size();
    r += help;
    size_t piplAt = r.size();
    r += pipl;
    Put32(r, 0x100, kSectionRva + uint32_t(helpAt));
    Put32(r, 0x104, uint32_t(help.size()));
    Put32(r, 0x110, kSectionRva + uint32_t(piplAt));
    Put32(r, 0x114, uint32_t(pipl.size()));

    std::string f(kSectionAt, '\0');
    f[0] = 'M';
    f[1] = 'Z';
    const size_t pe = 0x80, optional = pe + 24, optionalSize = 240;
    Put32(f, 0x3C, pe);
    std::memcpy(&f[pe], "PE\0\0", 4);
    Put16(f, pe + 4, 0x8664);
    Put16(f, pe + 6, 1);
    Put16(f, pe + 20, optionalSize);
    Put16(f, optional, 0x20B);
    Put32(f, optional + 108, 16);
    Put32(f, optional + 112 + 8 * 2, kSectionRva);
    Put32(f, optional + 112 + 8 * 2 + 4, uint32_t(r.size()));
    const size_t section = optional + optionalSize;
    std::memcpy(&f[section], ".rsrc", 5);
    Put32(f, section + 8, uint32_t(r.size()));
    Put32(f, section + 12, kSectionRva);
    Put32(f, section + 16, uint32_t(r.size()));
    Put32(f, section + 20, kSectionAt);
    return f + r;
}

class PeResourcesTest : public testing_support::PlatformTest {
   protected:
    int32_t Read(const std::string& image, uint32_t type, uint32_t id, std::string* out) {
        std::string path = root_ + "/module.8bf";
        WriteFile(path, image);
        uint8_t* bytes = nullptr;
        uint32_t size = 0;
        int32_t status = Res_ReadFromPeFile(path.c_str(), type, id, &bytes, &size);
        if (status == 0) {
            out->assign(reinterpret_cast<const char*>(bytes), size);
        } else {
            EXPECT_EQ(bytes, nullptr);
            EXPECT_EQ(size, 0u);
        }
        Mem_Free(bytes);
        return status;
    }
};

TEST_F(PeResourcesTest, ResourcesAreFoundByTheirWindowsTypeNameAndId) {
    const std::string pipl("\x01\x00\x00\x00 the PiPL's own bytes", 25);
    const std::string image = PeImage(pipl, "#2000 Overview\r\n##\r\n");
    std::string out;
    ASSERT_EQ(Read(image, kResTypePiPL, 16000, &out), 0);
    EXPECT_EQ(out, pipl);
    ASSERT_EQ(Read(image, kResTypeHelp, 1000, &out), 0);
    EXPECT_EQ(out, "#2000 Overview\r\n##\r\n");
    EXPECT_EQ(Read(image, kResTypePiPL, 16001, &out), -7);
    EXPECT_EQ(Read(image, kResTypeTerminology, 16000, &out), -7);
    EXPECT_EQ(Read("#!/bin/sh\nnot a module\n", kResTypePiPL, 16000, &out), -8);
    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(
        Res_ReadFromPeFile((root_ + "/missing.8bf").c_str(), kResTypePiPL, 16000, &bytes, &size),
        -4);
    EXPECT_EQ(Res_ReadFromPeFile(nullptr, kResTypePiPL, 16000, &bytes, &size), -1);
}

// A cut or damaged file is refused or read within its bounds, never past them (the sanitizer
// build turns a stray read into a failure).
TEST_F(PeResourcesTest, TruncatedOrDamagedFilesAreRefusedWithoutReadingPastThem) {
    const std::string pipl(300, 'p');
    const std::string image = PeImage(pipl, "help");
    std::string out;
    for (size_t n = 0; n < image.size(); n += 7) {
        EXPECT_NE(Read(image.substr(0, n), kResTypePiPL, 16000, &out), 0) << "cut at " << n;
    }
    // Every byte of the headers and the resource directory set to 0xFF in turn: each damage is
    // refused or leads to bytes inside the file.
    for (size_t at = 0; at < kSectionAt + 0x160; ++at) {
        std::string damaged = image;
        damaged[at] = char(0xFF);
        int32_t status = Read(damaged, kResTypePiPL, 16000, &out);
        EXPECT_TRUE(status == 0 || status == -7 || status == -8) << "byte " << at;
        if (status == 0) {
            EXPECT_LE(out.size(), image.size()) << "byte " << at;
        }
    }
}

}  // namespace
