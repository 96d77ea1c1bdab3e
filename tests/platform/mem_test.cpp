// Guarded memory: block layout, counters, damage reports, string routines, the scrambler.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/mem.h"
#include "tests/platform/mem_failure.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::FileExists;

class MemTest : public testing_support::PlatformTest {};

TEST_F(MemTest, BlockLayoutCarriesGuardsSizeAndIdMostSignificantByteFirst) {
    uint32_t id = ul_nextId;
    auto* p = static_cast<uint8_t*>(Mem_Alloc(5));
    ASSERT_NE(p, nullptr);
    const uint8_t* h = p - 16;
    EXPECT_EQ(std::memcmp(h, "fire", 4), 0);
    EXPECT_EQ(h[4], 0);
    EXPECT_EQ(h[7], 29);  // 5 + 24
    EXPECT_EQ((uint32_t(h[8]) << 24) | (uint32_t(h[9]) << 16) | (uint32_t(h[10]) << 8) | h[11], id);
    EXPECT_EQ(std::memcmp(h + 12, "wall", 4), 0);
    EXPECT_EQ(std::memcmp(p + 5, "FIREWALL", 8), 0);
    EXPECT_EQ(ul_nextId, id + 1);
    EXPECT_EQ(Mem_Free(p), nullptr);
    EXPECT_TRUE(messageBoxes_.empty());
}

TEST_F(MemTest, CountersRiseWithBlocksAndTotalReturnsWhileThePeakStays) {
    uint32_t total = ul_total, blocks = ul_nMallocs, id = ul_nextId;
    // Sizes that cannot be stored are refused without consuming an id.
    EXPECT_EQ(Mem_Alloc(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(Mem_Alloc(0xFFFFFFFFu - 23), nullptr);
    EXPECT_EQ(ul_nextId, id);
    EXPECT_EQ(ul_total, total);
    void* a = Mem_Alloc(100);
    void* b = Mem_Alloc(0);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(ul_total, total + 124 + 24);
    EXPECT_EQ(ul_nMallocs, blocks + 2);
    EXPECT_GE(ul_maxTotal, total + 148);
    EXPECT_EQ(Mem_Free(a), nullptr);
    Mem_Free(b);
    EXPECT_EQ(ul_total, total);
    EXPECT_EQ(ul_nMallocs, blocks);
    EXPECT_GE(ul_maxTotal, total + 148);
    EXPECT_EQ(Mem_Free(nullptr), nullptr);
    EXPECT_EQ(Mem_CheckBlock(nullptr), 0);
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(MemTest, ARefusedRequestLeavesEveryCounterAsItWas) {
    uint32_t total = ul_total, peak = ul_maxTotal, blocks = ul_nMallocs, id = ul_nextId;
    // A request far above the peak, so that a raised peak would show.
    testing_support::FailAllocationAfter(1);
    EXPECT_EQ(Mem_Alloc(1u << 30), nullptr);
    EXPECT_TRUE(testing_support::AllocationFailed());
    testing_support::FailAllocationAfter(0);
    EXPECT_EQ(ul_total, total);
    EXPECT_EQ(ul_maxTotal, peak);
    EXPECT_EQ(ul_nMallocs, blocks);
    EXPECT_EQ(ul_nextId, id);
    // The next block is counted from the same total.
    void* p = Mem_Alloc(8);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ul_total, total + 32);
    Mem_Free(p);
    EXPECT_EQ(ul_total, total);
}

TEST_F(MemTest, OverrunPastTheEndIsReportedLineByLineAndTheBlockStillFreed) {
    uint32_t blocks = ul_nMallocs;
    auto* p = static_cast<char*>(Mem_Alloc(4));
    uint32_t id = ul_nextId - 1;
    p[4] = 'x';  // first trailing guard byte
    EXPECT_EQ(Mem_CheckBlock(p), -2);
    Mem_Free(p);
    EXPECT_EQ(ul_nMallocs, blocks);
    std::vector<std::string> expected = {
        "Firewall Error:",
        "End firewall destroyed, size = 28, id = " + std::to_string(id) + ", remaining = ",
        "*",
        "I",
        "R",
        "E",
        "W",
        "A",
        "L",
        "L"};
    std::vector<std::string> lines = LogLines();
    // Two reports: the explicit check and the one inside Mem_Free.
    ASSERT_EQ(lines.size(), 2 * expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 10), expected);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 10, lines.end()), expected);
    ASSERT_EQ(messageBoxes_.size(), 2u);
    EXPECT_EQ(messageBoxes_[0], "Firewall failure!");
}

TEST_F(MemTest, DamageIsReportedToTheRegisteredSinkOnlyAndTheLogWhenTheCallStateOpens) {
    static std::vector<std::pair<std::string, bool>> reports;
    reports.clear();
    Mem_SetReportSink([](const char* text, bool alert) { reports.emplace_back(text, alert); });
    auto* p = static_cast<char*>(Mem_Alloc(4));
    p[4] = 'x';
    EXPECT_EQ(Mem_CheckBlock(p), -2);
    ASSERT_EQ(reports.size(), 11u);  // ten lines, then the summary for a message box
    EXPECT_EQ(reports.front(), std::make_pair(std::string("Firewall Error:"), false));
    EXPECT_EQ(reports.back(), std::make_pair(std::string("Firewall failure!"), true));
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(messageBoxes_.empty());

    // Opening a call state points the reports at the debug log again.
    Mem_SetReportSink(nullptr);
    OpenState(0);
    reports.clear();
    EXPECT_EQ(Mem_CheckBlock(p), -2);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(LogLines().size(), 10u);
    EXPECT_EQ(messageBoxes_.size(), 1u);
    p[4] = 'F';
    Mem_Free(p);
}

TEST_F(MemTest, DamagedLeadingGuardIsReportedWithoutTrustingTheSize) {
    auto* p = static_cast<uint8_t*>(Mem_Alloc(8));
    uint8_t saved[16];
    std::memcpy(saved, p - 16, 16);
    p[-16] = 'X';   // "f"
    p[-2] = 'X';    // second "l" of "wall"
    p[-12] = 0x7F;  // size now points far outside the block
    EXPECT_EQ(Mem_CheckBlock(p), -2);
    std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Firewall Error:");
    EXPECT_EQ(lines[1].rfind("Start firewall destroyed, size = ", 0), 0u);
    EXPECT_EQ((std::vector<std::string>(lines.begin() + 2, lines.begin() + 10)),
              (std::vector<std::string>{"*", "i", "r", "e", "w", "a", "*", "l"}));
    EXPECT_EQ(lines[10].rfind("Freeing too much, size = ", 0), 0u);
    EXPECT_EQ(lines.size(), 11u);  // no trailing-guard lines from a size that cannot be trusted
    std::memcpy(p - 16, saved, 16);
    Mem_Free(p);
}

TEST_F(MemTest, ByteAndStringRoutinesAreNullSafe) {
    char buf[16] = "abcdef";
    EXPECT_EQ(Str_Copy(nullptr, "x"), nullptr);
    EXPECT_EQ(Str_Copy(buf, nullptr), buf);
    EXPECT_EQ(Str_Append(buf, nullptr), buf);
    EXPECT_STREQ(buf, "abcdef");
    EXPECT_EQ(Str_Compare(nullptr, "a"), -1000);
    EXPECT_EQ(Str_Compare("a", nullptr), -1000);
    EXPECT_EQ(Str_Compare("abd", "abc"), 1);
    EXPECT_LT(Str_Compare("a\x80", "a\x01"), 0);  // signed bytes
    EXPECT_EQ(Str_CompareN("abX", "abY", 2), 0);
    EXPECT_EQ(Str_CompareN("aX", "bX", 0), -1);  // n < 1 compares the first characters
    const char* s = "hello";
    EXPECT_EQ(Str_FindChar(s, 0), s + 5);
    EXPECT_EQ(Str_FindLastChar(s, 'l'), s + 3);
    EXPECT_EQ(Str_FindChar(s, 'z'), nullptr);
    EXPECT_EQ(Str_Length(nullptr), 0u);

    char n[6] = "XXXXX";
    Str_CopyN(n, "ab", 5);
    EXPECT_EQ(std::memcmp(n, "ab\0\0\0", 5), 0);  // padded with zeros
    char m[4] = {'x', 'x', 'x', 'x'};
    Str_CopyN(m, "abcdef", 3);
    EXPECT_EQ(std::memcmp(m, "abcx", 4), 0);  // no terminator added

    char overlap[8] = "abcdef";
    Mem_Copy(overlap + 1, overlap, 5);
    EXPECT_STREQ(overlap, "aabcde");
    char small[4];
    EXPECT_STREQ(Str_CopyBounded(small, sizeof small, "abcdef"), "abc");
}

TEST_F(MemTest, ScramblerFollowsParkMillerAndRestoresData) {
    // The minimal standard generator from seed 1 reaches 1043618065 after 10000 steps.
    EXPECT_EQ(Mem_Scramble(nullptr, 10000, 1), 1043618065);
    EXPECT_EQ(Mem_RandomNext(1), 16807);
    EXPECT_EQ(Mem_RandomNext(2147483646), 2147466840);  // needs Schrage's correction
    EXPECT_EQ(Mem_Scramble(nullptr, 0, 6173), 6173);

    uint8_t data[64], copy[64];
    for (int i = 0; i < 64; ++i) data[i] = copy[i] = uint8_t(i * 7);
    int32_t end = Mem_Scramble(data, 64, 6173);
    EXPECT_NE(std::memcmp(data, copy, 64), 0);
    EXPECT_EQ(data[0], copy[0] ^ uint8_t(Mem_RandomNext(6173)));
    EXPECT_EQ(Mem_Scramble(data, 64, 6173), end);
    EXPECT_EQ(std::memcmp(data, copy, 64), 0);
}

TEST_F(MemTest, HolderFreesOnScopeExitAndCanHandOver) {
    uint32_t blocks = ul_nMallocs;
    {
        MemBlock<int32_t> a(10);
        ASSERT_TRUE(a);
        a[9] = 1;
        EXPECT_EQ(ul_nMallocs, blocks + 1);
    }
    EXPECT_EQ(ul_nMallocs, blocks);
    MemBlock<uint8_t> b(3);
    uint8_t* raw = b.Release();
    EXPECT_FALSE(b);
    EXPECT_EQ(ul_nMallocs, blocks + 1);
    Mem_Free(raw);
    MemBlock<uint64_t> huge;
    EXPECT_FALSE(huge.Allocate(0x40000000u));  // more than 32 bits of bytes
}

}  // namespace
