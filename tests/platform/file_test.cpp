// The file layer over disk and memory files: modes, bounds, line endings, options, ICC headers.
#include <cstring>
#include <random>
#include <string>

#include "platform/file.h"
#include "platform/mem.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class FileTest : public testing_support::PlatformTest {
   protected:
    void TearDown() override {
        uint32_t zero = 0;
        FLSetOption(kFLOptionNoDisk, &zero);
        FLSetOption(kFLOptionBufferSize, &zero);
        PlatformTest::TearDown();
    }
    int32_t OpenMemory(FLFile* f, void* base, int32_t size, uint32_t mode) {
        FLSpec spec;
        FLSpecMemory(&spec, base, size);
        return FLOpen(f, &spec, mode);
    }
    int32_t OpenMemory(FLFile* f, std::string& bytes) {
        return OpenMemory(f, bytes.data(), int32_t(bytes.size()), kFLRead);
    }
    int32_t OpenDisk(FLFile* f, const std::string& path, uint32_t mode) {
        FLSpec spec;
        FLSpecDisk(&spec, path.c_str());
        return FLOpen(f, &spec, mode);
    }
    // Every line FLReadLine returns until the file ends.
    std::vector<std::string> Lines(FLFile* f, int32_t capacity = 64) {
        std::vector<std::string> out;
        char buf[256];
        for (int32_t c = capacity; FLReadLine(f, buf, &c) == 0 && c != 0; c = capacity) {
            out.emplace_back(buf, size_t(c));
        }
        return out;
    }
};

TEST_F(FileTest, BadArgumentsAreRefusedAndTouchNothing) {
    FLFile f;
    f.kind = 77;
    FLSpec spec;
    FLSpecDisk(&spec, (root_ + "/x").c_str());
    EXPECT_EQ(FLOpen(&f, &spec, 4), -1);
    EXPECT_EQ(f.kind, 77u);
    EXPECT_EQ(FLOpen(nullptr, &spec, 1), -1);
    EXPECT_EQ(FLOpen(&f, nullptr, 1), -1);
    std::memset(spec.bytes, 0, sizeof spec.bytes);
    spec.bytes[1] = 'M';
    EXPECT_EQ(FLOpen(&f, &spec, 1), -1);
    spec.bytes[1] = 'm';
    EXPECT_EQ(FLOpen(&f, &spec, 1), -1);
    uint8_t block[4];
    EXPECT_EQ(OpenMemory(&f, block, 0, 1), -1);
    EXPECT_EQ(OpenMemory(&f, nullptr, 4, 1), -1);
    EXPECT_EQ(FLClose(&f), -1);  // never opened: harmless
    EXPECT_EQ(f.kind, 1000u);
    int32_t count = -1;
    EXPECT_EQ(FLRead(&f, block, &count, 0), -1);
}

TEST_F(FileTest, MemoryFilesNeverGrowAndReadsStopAtTheirSize) {
    uint8_t block[10];
    FLFile f;
    ASSERT_EQ(OpenMemory(&f, block, 10, kFLWrite), 0);
    EXPECT_EQ(f.end, 0);
    int32_t count = 12;
    EXPECT_EQ(FLWrite(&f, "abcdefghijkl", &count), -6);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(std::memcmp(block, "abcdefghij", 10), 0);
    EXPECT_EQ(FLSeek(&f, 11, 0), -2);
    EXPECT_EQ(FLSeek(&f, -1, 0), -2);
    EXPECT_EQ(FLSeek(&f, 0, 2), 0);  // end of the data written
    int32_t pos = -1;
    EXPECT_EQ(FLTell(&f, &pos), 0);
    EXPECT_EQ(pos, 10);
    EXPECT_EQ(FLClose(&f), 0);
    EXPECT_EQ(f.kind, 1000u);

    ASSERT_EQ(OpenMemory(&f, block, 6, kFLRead), 0);
    EXPECT_EQ(FLSeek(&f, 0, 2), 0);
    uint8_t out[4];
    count = 4;
    EXPECT_EQ(FLRead(&f, out, &count, 1), -5);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FLSeek(&f, -2, 1), 0);
    count = 4;
    EXPECT_EQ(FLRead(&f, out, &count, 0), 0);  // short, not exact: fine
    EXPECT_EQ(count, 2);
    EXPECT_EQ(out[1], 'f');
    EXPECT_EQ(FLSeek(&f, 0, 3), -1);
    FLClose(&f);

    // Line feeds are written as CR LF, and cut at the size too.
    ASSERT_EQ(OpenMemory(&f, block, 10, kFLWrite), 0);
    EXPECT_EQ(FLWriteText(&f, "a\nb"), 0);
    EXPECT_EQ(f.end, 4);
    EXPECT_EQ(std::memcmp(block, "a\r\nb", 4), 0);
    EXPECT_EQ(FLWriteText(&f, "\n\n\n\n"), -6);  // 8 bytes do not fit the 6 left
    FLClose(&f);
}

TEST_F(FileTest, DiskFilesRoundTripAndReportShortReads) {
    std::string path = root_ + "/data.bin";
    FLFile f;
    ASSERT_EQ(OpenDisk(&f, path, kFLWrite), 0);
    int32_t count = 5;
    EXPECT_EQ(FLWrite(&f, "hello", &count), 0);
    EXPECT_EQ(FLClose(&f), 0);
    EXPECT_EQ(ReadFile(path), "hello");

    ASSERT_EQ(OpenDisk(&f, path, kFLRead), 0);
    char buf[8];
    count = 8;
    EXPECT_EQ(FLRead(&f, buf, &count, 1), -5);
    EXPECT_EQ(count, 5);
    count = 8;
    EXPECT_EQ(FLRead(&f, buf, &count, 0), -5);  // nothing left: -5 even when not exact
    EXPECT_EQ(FLSeek(&f, 1, 0), 0);
    count = 3;
    EXPECT_EQ(FLRead(&f, buf, &count, 1), 0);
    EXPECT_EQ(std::string(buf, 3), "ell");
    EXPECT_EQ(FLSeek(&f, 0, 5), -1);
    FLClose(&f);

    ASSERT_EQ(OpenDisk(&f, path, kFLReadWrite), 0);  // existing file kept
    EXPECT_EQ(FLSeek(&f, 0, 2), 0);
    count = 1;
    EXPECT_EQ(FLWrite(&f, "!", &count), 0);
    FLClose(&f);
    EXPECT_EQ(ReadFile(path), "hello!");
    ASSERT_EQ(OpenDisk(&f, root_ + "/new.bin", kFLReadWrite), 0);  // created when missing
    FLCloseAndDelete(&f);
    EXPECT_FALSE(testing_support::FileExists(root_ + "/new.bin"));

    EXPECT_EQ(OpenDisk(&f, root_ + "/missing/x", kFLRead), -4);
    EXPECT_EQ(f.stream, nullptr);
}

TEST_F(FileTest, ReadLineAcceptsEveryLineEndAndSplitsLongLines) {
    for (std::string bytes : {"ab\r\ncd\n", "ab\rcd\n", "ab\ncd\r", "ab\n\rcd\r\n"}) {
        FLFile f;
        ASSERT_EQ(OpenMemory(&f, bytes), 0);
        EXPECT_EQ(Lines(&f), (std::vector<std::string>{"ab\n", "cd\n"})) << bytes;
        FLClose(&f);
    }
    std::string bytes = "abcdefgh\n\n\nx";
    FLFile f;
    ASSERT_EQ(OpenMemory(&f, bytes), 0);
    // Capacity 6 reads four characters at a time: a long line comes back in pieces.
    EXPECT_EQ(Lines(&f, 6), (std::vector<std::string>{"abcd", "efgh", "\n", "\n", "\n", "x"}));
    FLClose(&f);

    std::string path = root_ + "/lines.txt";
    WriteFile(path, "one\r\ntwo");
    ASSERT_EQ(OpenDisk(&f, path, kFLRead), 0);
    EXPECT_EQ(Lines(&f), (std::vector<std::string>{"one\n", "two"}));
    FLClose(&f);
}

TEST_F(FileTest, ReadLineSurvivesRandomBytes) {
    std::mt19937 rng(42);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(size_t(rng() % 300 + 1), 0);
        for (char& c : bytes) c = char(rng() % 4 == 0 ? "\r\n"[rng() % 2] : rng());
        FLFile f;
        ASSERT_EQ(OpenMemory(&f, bytes), 0);
        size_t total = 0;
        for (int guard = 0; guard < 1000; ++guard) {
            char buf[32];
            int32_t c = int32_t(rng() % 29 + 3);
            ASSERT_EQ(FLReadLine(&f, buf, &c), 0);
            ASSERT_LE(c, 30);
            if (c == 0) break;
            total += size_t(c);
        }
        int32_t pos;
        FLTell(&f, &pos);
        EXPECT_EQ(pos, int32_t(bytes.size()));
        EXPECT_GT(total, 0u);
        FLClose(&f);
    }
}

TEST_F(FileTest, OptionsDisableDiskFilesButNotMemoryFiles) {
    uint32_t one = 1, two = 2, value = 9;
    EXPECT_EQ(FLSetOption(kFLOptionNoDisk, &one), 0);
    FLFile f;
    EXPECT_EQ(OpenDisk(&f, root_ + "/x", kFLWrite), -1);
    uint8_t block[4];
    EXPECT_EQ(OpenMemory(&f, block, 4, kFLRead), 0);
    FLClose(&f);
    EXPECT_EQ(FLSetOption(kFLOptionNoDisk, &two), -2);
    EXPECT_EQ(FLGetOption(kFLOptionNoDisk, &value), 0);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(FLSetOption(5, &one), -1);
    EXPECT_EQ(FLGetOption(2, &value), -1);

    uint32_t all[3] = {0, 4096, 77};
    EXPECT_EQ(FLSetOption(kFLOptionAll, all), 0);
    EXPECT_EQ(FLGetOption(kFLOptionLibrary, &value), 0);
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(FLSetOption(kFLOptionResetLibrary, nullptr), 0);
    EXPECT_EQ(FLGetOption(kFLOptionLibrary, &value), 0);
    EXPECT_EQ(value, 0u);
    ASSERT_EQ(OpenDisk(&f, root_ + "/buffered", kFLWrite), 0);  // option 6 buffer in use
    int32_t count = 3;
    EXPECT_EQ(FLWrite(&f, "abc", &count), 0);
    EXPECT_EQ(FLClose(&f), 0);
    EXPECT_EQ(ReadFile(root_ + "/buffered"), "abc");
}

std::string IccHeader(const char* cls, const char* pcs, const char* sig = "acsp") {
    std::string h(128, '\0');
    std::memcpy(&h[12], cls, 4);
    std::memcpy(&h[16], "RGB ", 4);
    std::memcpy(&h[20], pcs, 4);
    std::memcpy(&h[36], sig, 4);
    h[3] = char(200);  // size 200
    h[64] = 1;         // intent 0x01000000
    return h;
}

TEST_F(FileTest, IccHeaderCheckAcceptsOnlyProfilesOfTheKnownClasses) {
    struct Case {
        std::string bytes;
        int32_t status;
    };
    std::vector<Case> cases = {
        {IccHeader("mntr", "XYZ "), 0},          {IccHeader("prtr", "Lab "), 0},
        {IccHeader("scnr", "XYZ "), 0},          {IccHeader("link", "RGB "), 0},
        {IccHeader("mntr", "RGB "), -8},         {IccHeader("abst", "Lab "), -8},
        {IccHeader("mntr", "XYZ ", "acsq"), -8}, {IccHeader("mntr", "XYZ ").substr(0, 100), -5},
    };
    std::mt19937 rng(7);
    for (int round = 0; round < 100; ++round) {  // random headers are refused
        cases.push_back({std::string(128, 0), -8});
        for (char& ch : cases.back().bytes) ch = char(rng());
    }
    for (auto& c : cases) {
        FLFile f;
        ASSERT_EQ(OpenMemory(&f, c.bytes), 0);
        FLIccHeader* h = nullptr;
        EXPECT_EQ(FLCheckIccHeader(&f, &h), c.status) << c.bytes.substr(12, 4);
        if (c.status == 0) {
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(h->size, 200u);
            EXPECT_EQ(h->renderingIntent, 0x01000000u);
            EXPECT_EQ(h->colorSpace, 0x52474220u);
            Mem_Free(h);
        } else {
            EXPECT_EQ(h, nullptr);
        }
        FLClose(&f);
    }
}

}  // namespace
