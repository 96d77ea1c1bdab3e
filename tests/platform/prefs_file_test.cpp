// The tagged preferences file: stored forms, round trips, damaged files, defaults, safe rewrite.
#include <sys/stat.h>
#include <unistd.h>
#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "platform/file.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::string data;  // memory form
};
std::vector<Entry> gRead;
int gWriteCalls = 0;
int gFailAfter = -1;  // the write callback fails after this many entries

int32_t Collect(void*, UiState*, uint16_t tag, uint16_t type, uint32_t count, const void* data) {
    std::string bytes;
    if (data != nullptr)
        bytes.assign(static_cast<const char*>(data), count * Ui_Prefs_ElementSize(type));
    gRead.push_back({tag, type, count, bytes});
    return 0;
}

const uint8_t kBytes[3] = {'a', 'b', 0};
const int16_t kShorts[2] = {0x1234, -2};
const int32_t kInts[1] = {-70000};
const float kBins[3] = {1.0f, 0.0f, -1.5f};
const float kDecs[2] = {1.0f, 0.3f};
const struct {
    uint16_t tag, type;
    uint32_t count;
    const void* data;
} kSample[] = {{50, 0, 3, kBytes}, {51, 1, 2, kShorts}, {52, 2, 1, kInts},
               {53, 3, 3, kBins},  {54, 4, 2, kDecs},   {55, 2, 0, nullptr}};

int32_t WriteSample(void*, UiState* state, FLFile* file) {
    ++gWriteCalls;
    int n = 0;
    for (auto& e : kSample) {
        if (gFailAfter >= 0 && n++ == gFailAfter) return -6;
        int32_t status = Ui_Prefs_WriteEntry(state, file, e.tag, e.type, e.count, e.data);
        if (status != 0) return status;
    }
    return 0;
}

class PrefsFileTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        gRead.clear();
        gWriteCalls = 0;
        gFailAfter = -1;
        path_ = root_ + "/prefs";
    }
    // The files beside the preferences file in its folder, but for the file itself, the writers'
    // lock and the test's own folders.
    std::vector<std::string> FilesBesides() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root_)) {
            const std::string name = entry.path().filename().string();
            if (name != "prefs" && name != "prefs.lock" && !entry.is_directory())
                names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string path_;
};

std::string Hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        snprintf(b, sizeof b, "%02X", c);
        out += b;
    }
    return out;
}

TEST_F(PrefsFileTest, StoredWordsOfTheFloatingForms) {
    EXPECT_EQ(Ui_Prefs_FloatToBin(1.0f), 0x01400000u);
    EXPECT_EQ(Ui_Prefs_FloatToBin(0.0f), 0x00000000u);
    EXPECT_EQ(Ui_Prefs_FloatToBin(-1.5f), 0x01A00000u);  // exponent 1, mantissa -0.75 * 2^23
    EXPECT_EQ(Ui_Prefs_FloatToDec(1.0f), 0x0107A120u);
    EXPECT_EQ(Ui_Prefs_FloatToDec(-1.0f), 0x01F85EE0u);
    EXPECT_EQ(Ui_Prefs_BinToFloat(0x01400000u), 1.0f);
    EXPECT_EQ(Ui_Prefs_DecToFloat(0x0107A120u), 1.0f);
    EXPECT_EQ(Ui_Prefs_BinToFloat(0x00800000u), -1.0f * 8388607 / 8388608);  // mantissa limited
    // Values whose exponent cannot be stored are held at the limits instead of wrapping.
    EXPECT_EQ(Ui_Prefs_FloatToBin(1e-39f), 0u);
    EXPECT_GT(Ui_Prefs_BinToFloat(Ui_Prefs_FloatToBin(INFINITY)), 1e37f);
    std::mt19937 rng(3);
    for (int i = 0; i < 1000; ++i) {
        float x = std::ldexp(float(int32_t(rng()) % 100000) / 100000.0f, int(rng() % 40) - 20);
        EXPECT_NEAR(Ui_Prefs_BinToFloat(Ui_Prefs_FloatToBin(x)), x, std::fabs(x) * 1.2e-7f);
        EXPECT_NEAR(Ui_Prefs_DecToFloat(Ui_Prefs_FloatToDec(x)), x, std::fabs(x) * 1.1e-6f);
    }
}

TEST_F(PrefsFileTest, EveryElementTypeRoundTripsWithItsExactStoredBytes) {
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteSample, nullptr), 0);
    std::string file = ReadFile(path_);
    EXPECT_EQ(Hex(file),
              "0000000200000001"
              "00000001"                                  // version 1
              "0032000000000003616200"                    // tag 50, bytes
              "00330001000000021234FFFE"                  // tag 51, int16
              "0034000200000001FFFEEE90"                  // tag 52, int32
              "0035000300000003014000000000000001A00000"  // tag 53, binary floats
              "00360004000000020107A120FF0927C0"          // tag 54, decimal floats
              "0037000200000000"                          // tag 55, no elements
              "0001000000000000");                        // end
    ASSERT_EQ(Ui_Prefs_ReadAll(nullptr, path_.c_str(), nullptr, Collect, WriteSample, nullptr), 0);
    EXPECT_EQ(gWriteCalls, 1);
    ASSERT_EQ(gRead.size(), 8u);
    EXPECT_EQ(gRead[0].tag, 0);
    EXPECT_EQ(gRead[7].tag, 1);
    for (int i = 0; i < 4; ++i) {  // the exact forms come back bit for bit
        const auto& e = kSample[i];
        EXPECT_EQ(gRead[i + 1].tag, e.tag);
        EXPECT_EQ(gRead[i + 1].data, std::string(static_cast<const char*>(e.data),
                                                 e.count * Ui_Prefs_ElementSize(e.type)));
    }
    float f[2];
    std::memcpy(f, gRead[5].data.data(), 8);
    EXPECT_EQ(f[0], 1.0f);
    EXPECT_NEAR(f[1], 0.3f, 1e-6f);
    EXPECT_EQ(gRead[6].count, 0u);
    EXPECT_TRUE(gRead[6].data.empty());
}

TEST_F(PrefsFileTest, MissingFileIsWrittenFromCurrentValuesWithoutReading) {
    UiState* state = OpenState(1);
    EXPECT_EQ(Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, WriteSample, nullptr), 0);
    EXPECT_TRUE(gRead.empty());
    EXPECT_EQ(gWriteCalls, 1);
    EXPECT_TRUE(FileExists(path_));
    std::vector<std::string> log = LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "Ui_Prefs_ReadAll: FLOpen error -4"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Write out defaults instead."), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Ui_Prefs_WriteAll: FLOpen success"), log.end());
}

TEST_F(PrefsFileTest, DamagedFilesEndReadingWithTheirStatus) {
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteSample, nullptr), 0);
    std::string good = ReadFile(path_);
    UiState* state = OpenState(1);

    // The smallest file: a version and an end.
    WriteFile(path_, std::string("\0\0\0\2\0\0\0\1\0\0\0\1\0\1\0\0\0\0\0\0", 20));
    EXPECT_EQ(Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, nullptr, nullptr), 0);
    ASSERT_EQ(gRead.size(), 2u);
    EXPECT_TRUE(gRead[0].tag == 0 && gRead[1].tag == 1);
    gRead.clear();

    // Truncated inside an entry's data and inside a head: -5, earlier entries delivered.
    WriteFile(path_, good.substr(0, 21));
    EXPECT_EQ(Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, nullptr, nullptr), -5);
    EXPECT_EQ(gRead.size(), 1u);
    gRead.clear();
    WriteFile(path_, good.substr(0, 15));
    EXPECT_EQ(Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, nullptr, nullptr), -5);
    EXPECT_EQ(LogLines().back(), "tag = 50, type = 0, count = 0");

    // An unknown element type: -8 and the logged head carries it.
    std::string bad = good;
    bad[12 + 3] = 7;
    WriteFile(path_, bad);
    EXPECT_EQ(Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, nullptr, nullptr), -8);
    EXPECT_EQ(LogLines().back(), "tag = 50, type = 7, count = 3");

    // A version entry with two elements: -8.
    WriteFile(path_, std::string("\0\0\0\2\0\0\0\2\0\0\0\1\0\0\0\1", 16));
    EXPECT_EQ(Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, nullptr, nullptr), -8);
    EXPECT_EQ(LogLines().back(), "Ui_Prefs_ReadAll: tag error");

    // A count far beyond the file's size never asks for the memory.
    WriteFile(path_, std::string("\0\0\0\2\0\0\0\1\0\0\0\1\0\x40\0\3\xFF\xFF\xFF\xFF", 20));
    uint32_t before = ul_maxTotal;
    EXPECT_EQ(Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, nullptr, nullptr), -5);
    EXPECT_LT(ul_maxTotal - before, 1000000u);
}

TEST_F(PrefsFileTest, RandomBytesNeverCrashTheReader) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::string bytes(size_t(rng() % 64), 0);
        for (char& c : bytes) c = char(rng() % 3 == 0 ? 0 : rng());
        if (round % 2 == 0 && bytes.size() >= 12) {
            bytes.replace(0, 12, std::string("\0\0\0\2\0\0\0\1\0\0\0\1", 12));
        }
        WriteFile(path_, bytes);
        uint32_t blocks = ul_nMallocs;
        int32_t status =
            Ui_Prefs_ReadAll(nullptr, path_.c_str(), nullptr, Collect, nullptr, nullptr);
        EXPECT_LE(status, 0);
        EXPECT_EQ(ul_nMallocs, blocks);
    }
}

TEST_F(PrefsFileTest, FailedRewriteLeavesThePreviousFileUntouched) {
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteSample, nullptr), 0);
    std::string before = ReadFile(path_);
    gFailAfter = 3;
    EXPECT_EQ(Ui_Prefs_WriteAll(OpenState(1), path_.c_str(), nullptr, WriteSample, nullptr), -6);
    EXPECT_EQ(ReadFile(path_), before);
    EXPECT_EQ(FilesBesides(), std::vector<std::string>{});
    EXPECT_EQ(LogLines().back(), "Ui_Prefs_WriteAll: writePrefsCallback returned -6");
    EXPECT_EQ(Ui_Prefs_ReadAll(nullptr, path_.c_str(), nullptr, Collect, nullptr, nullptr), 0);
    EXPECT_EQ(gRead.size(), 8u);

    gFailAfter = -1;
    std::string path = root_ + "/no-such-folder/prefs";
    EXPECT_EQ(Ui_Prefs_WriteAll(OpenState(1), path.c_str(), nullptr, WriteSample, nullptr), -4);
    std::vector<std::string> log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Ui_Prefs_WriteAll: FLOpen error -4");
    EXPECT_EQ(log.back(), path);
}

TEST_F(PrefsFileTest, AFolderWhereTheFileShouldBeIsNeverWrittenOver) {
    ASSERT_EQ(testing_support::MakeFolder(path_), 0);
    WriteFile(path_ + "/inside", "kept");
    EXPECT_EQ(Ui_Prefs_ReadAll(nullptr, path_.c_str(), nullptr, Collect, WriteSample, nullptr), -4);
    EXPECT_EQ(ReadFile(path_ + "/inside"), "kept");
    EXPECT_EQ(gWriteCalls, 0);
}

#if !defined(_WIN32)
// Runs body in a child process that cannot read what only root may read (when the tests run as
// root, the child takes the unprivileged user's identity); the child's exit code is body's.
int AsUnprivilegedUser(int (*body)(const std::string&), const std::string& path) {
    pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
        _exit(body(path));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

TEST_F(PrefsFileTest, AFileThatExistsButCannotBeOpenedIsNeverWrittenOver) {
    SKIP_WITHOUT_POSIX_FILES();
#if !defined(_WIN32)
    // A folder anyone may write to holds a file only its owner may read: the reader could
    // replace it, and must not.
    const std::string folder = root_ + "/shared";
    ASSERT_EQ(chmod(root_.c_str(), 0711), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    const std::string path = folder + "/prefs";
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path.c_str(), nullptr, WriteSample, nullptr), 0);
    const std::string before = ReadFile(path);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(path.c_str(), 0), 0);
    }

    const int code = AsUnprivilegedUser(
        [](const std::string& p) {
            return -Ui_Prefs_ReadAll(nullptr, p.c_str(), nullptr, Collect, WriteSample, nullptr);
        },
        path);
    EXPECT_EQ(code, 4) << "the open failure, not a fresh file";
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_FALSE(FileExists(path + ".new"));

    // A link whose target is missing (a settings folder kept elsewhere and not mounted) stays a
    // link instead of being replaced by a fresh file.
    const std::string link = root_ + "/linked";
    ASSERT_EQ(symlink((root_ + "/elsewhere/prefs").c_str(), link.c_str()), 0);
    EXPECT_EQ(Ui_Prefs_ReadAll(nullptr, link.c_str(), nullptr, Collect, WriteSample, nullptr), -4);
    char target[256] = {};
    EXPECT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(gWriteCalls, 1);
#endif
}

TEST_F(PrefsFileTest, ADamagedFileIsKeptAsideAsItWasAndReplaced) {
    UiState* state = OpenState(1);
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteSample, nullptr), 0);
    const std::string damaged = ReadFile(path_).substr(0, 30);
    WriteFile(path_, damaged);
    WriteFile(path_ + ".damaged", "an older copy");
    ASSERT_TRUE(Ui_Prefs_IsDamage(
        Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, Collect, nullptr, nullptr)));

    char aside[256];
    ASSERT_EQ(Ui_Prefs_SetAside(state, path_.c_str(), aside, sizeof aside), 0);
    EXPECT_EQ(std::string(aside), path_ + ".damaged");
    EXPECT_EQ(ReadFile(path_ + ".damaged"), damaged);
    // The file stays until a fresh one replaces it, so that a program reading meanwhile never
    // finds none (and writes its defaults).
    EXPECT_EQ(ReadFile(path_), damaged);
    ASSERT_EQ(Ui_Prefs_WriteAll(state, path_.c_str(), nullptr, WriteSample, nullptr), 0);
    EXPECT_EQ(ReadFile(path_ + ".damaged"), damaged);
    EXPECT_EQ(FilesBesides(), (std::vector<std::string>{"prefs.damaged"}));

    // Nothing to copy: the failure, and the copy as it was.
    std::remove(path_.c_str());
    EXPECT_EQ(Ui_Prefs_SetAside(state, path_.c_str(), aside, sizeof aside), -2);
    EXPECT_EQ(ReadFile(path_ + ".damaged"), damaged);
    // Failures that are not damage: the file is still wanted as it is.
    for (int32_t status : {0, -1, -3, -4, -6, -10}) EXPECT_FALSE(Ui_Prefs_IsDamage(status));
}

// A record of the test's own for the writers below: three 32-bit entries, tags 60 to 62. The
// callbacks find it through the context the container hands back, as the module's own do.
int32_t gValues[3];

int32_t ReadValues(void* context, UiState*, uint16_t tag, uint16_t type, uint32_t count,
                   const void* data) {
    auto* values = static_cast<int32_t*>(context);
    if (values == nullptr) return -1;
    if (60 <= tag && tag <= 62 && type == kPrefsTypeInt32 && count == 1)
        std::memcpy(&values[tag - 60], data, 4);
    return 0;
}

int32_t WriteValues(void* context, UiState* state, FLFile* file) {
    const auto* values = static_cast<const int32_t*>(context);
    if (values == nullptr) return -1;
    for (int i = 0; i < 3; ++i) {
        int32_t status =
            Ui_Prefs_WriteEntry(state, file, uint16_t(60 + i), kPrefsTypeInt32, 1, &values[i]);
        if (status != 0) return status;
    }
    return 0;
}

std::vector<int32_t> ValuesOnDisk(const std::string& path) {
    const std::vector<int32_t> kept(gValues, gValues + 3);
    std::fill(gValues, gValues + 3, -1);
    EXPECT_EQ(Ui_Prefs_ReadAll(nullptr, path.c_str(), nullptr, ReadValues, nullptr, gValues), 0);
    std::vector<int32_t> read(gValues, gValues + 3);
    std::copy(kept.begin(), kept.end(), gValues);
    return read;
}

TEST_F(PrefsFileTest, AWriterChangesOnlyWhatItChangedAndKeepsWhatOthersChangedMeanwhile) {
    gValues[0] = 1, gValues[1] = 2, gValues[2] = 3;
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteValues, gValues), 0);
    const std::string plain = ReadFile(path_);
    // Two programs with the file read: a run (A) and the preferences tool (B).
    UiState* a = OpenState(0);
    UiState* b = nullptr;
    ASSERT_EQ(Ui_State_Open(&b, Res_ModuleArchive(), nullptr, 1000, 0), 0);
    ASSERT_EQ(Ui_Prefs_ReadAll(a, path_.c_str(), nullptr, ReadValues, WriteValues, gValues), 0);
    const std::vector<int32_t> readByA(gValues, gValues + 3);
    // With nobody else writing, a write is byte for byte what a plain one is.
    ASSERT_EQ(Ui_Prefs_WriteAll(a, path_.c_str(), nullptr, WriteValues, gValues), 0);
    EXPECT_EQ(ReadFile(path_), plain);

    ASSERT_EQ(Ui_Prefs_ReadAll(b, path_.c_str(), nullptr, ReadValues, WriteValues, gValues), 0);
    gValues[1] = 20;
    ASSERT_EQ(Ui_Prefs_WriteAll(b, path_.c_str(), nullptr, WriteValues, gValues), 0);
    // A still holds what it read, changes another entry and writes: B's change stays.
    std::copy(readByA.begin(), readByA.end(), gValues);
    gValues[2] = 30;
    ASSERT_EQ(Ui_Prefs_WriteAll(a, path_.c_str(), nullptr, WriteValues, gValues), 0);
    EXPECT_EQ(ValuesOnDisk(path_), (std::vector<int32_t>{1, 20, 30}));
    // Again, after B changed its entry once more: what A wrote last counts as what it has.
    const std::vector<int32_t> heldByA(gValues, gValues + 3);
    gValues[1] = 21;
    ASSERT_EQ(Ui_Prefs_WriteAll(b, path_.c_str(), nullptr, WriteValues, gValues), 0);
    std::copy(heldByA.begin(), heldByA.end(), gValues);
    gValues[0] = 10;
    ASSERT_EQ(Ui_Prefs_WriteAll(a, path_.c_str(), nullptr, WriteValues, gValues), 0);
    EXPECT_EQ(ValuesOnDisk(path_), (std::vector<int32_t>{10, 21, 30}));
    // Both change the same entry: the last writer's value.
    gValues[2] = 31;
    ASSERT_EQ(Ui_Prefs_WriteAll(b, path_.c_str(), nullptr, WriteValues, gValues), 0);
    gValues[2] = 32;
    ASSERT_EQ(Ui_Prefs_WriteAll(a, path_.c_str(), nullptr, WriteValues, gValues), 0);
    EXPECT_EQ(ValuesOnDisk(path_)[2], 32);
    // A file damaged meanwhile is not merged with: the writer's record replaces it whole.
    WriteFile(path_, plain.substr(0, 20));
    gValues[0] = 7, gValues[1] = 8, gValues[2] = 9;
    ASSERT_EQ(Ui_Prefs_WriteAll(a, path_.c_str(), nullptr, WriteValues, gValues), 0);
    EXPECT_EQ(ValuesOnDisk(path_), (std::vector<int32_t>{7, 8, 9}));
    // Without a call state there is nothing read to compare with: the record as it is.
    gValues[0] = 5, gValues[1] = 5, gValues[2] = 5;
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteValues, gValues), 0);
    EXPECT_EQ(ValuesOnDisk(path_), (std::vector<int32_t>{5, 5, 5}));
    Ui_State_Close(&b);
}

TEST_F(PrefsFileTest, WritersUseNamesOfTheirOwnAndRemoveOnlyWhatWritersThatAreGoneLeft) {
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteSample, nullptr), 0);
    // A process id no process has (beyond Linux's largest; not a multiple of 4 on Windows).
    const std::string gone = path_ + ".4000000003.new";
    const std::vector<std::string> notOurs = {path_ + ".new", path_ + ".12a.new",
                                              path_ + ".damaged", root_ + "/other.4000000003.new",
                                              path_ + ".4000000003"};
    WriteFile(gone, "partial");
    for (const std::string& f : notOurs) WriteFile(f, "kept");
#if !defined(_WIN32)
    // A writer that still runs (the process that started the tests) keeps its file.
    const std::string running = path_ + "." + std::to_string(getppid()) + ".new";
    WriteFile(running, "being written");
#endif
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteSample, nullptr), 0);
    EXPECT_FALSE(FileExists(gone));
    for (const std::string& f : notOurs) EXPECT_EQ(ReadFile(f), "kept") << f;
#if !defined(_WIN32)
    EXPECT_EQ(ReadFile(running), "being written");
#endif
    EXPECT_EQ(Ui_Prefs_ReadAll(nullptr, path_.c_str(), nullptr, Collect, nullptr, nullptr), 0);
}

#if !defined(_WIN32)
TEST_F(PrefsFileTest, ProcessesReadingAndWritingAtOnceAlwaysFindAWholeFileAndLoseNoChange) {
    // Three writers, each counting its own entry up, all starting from the same file; a reader
    // reading all the while. Every read must find a whole file, and at the end every writer's
    // last count must be in the file: no writer put back another's entry.
    gValues[0] = gValues[1] = gValues[2] = 0;
    ASSERT_EQ(Ui_Prefs_WriteAll(nullptr, path_.c_str(), nullptr, WriteValues, gValues), 0);
    constexpr int kRounds = 150;
    std::vector<pid_t> children;
    for (int writer = 0; writer < 3; ++writer) {
        pid_t pid = fork();
        if (pid == 0) {
            UiState* state = nullptr;
            if (Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0) != 0) _exit(10);
            for (int i = 1; i <= kRounds; ++i) {
                if (Ui_Prefs_ReadAll(state, path_.c_str(), nullptr, ReadValues, WriteValues,
                                     gValues) != 0)
                    _exit(11);
                gValues[writer] = i;
                if (Ui_Prefs_WriteAll(state, path_.c_str(), nullptr, WriteValues, gValues) != 0)
                    _exit(12);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    pid_t reader = fork();
    if (reader == 0) {
        for (int i = 0; i < 3 * kRounds; ++i) {
            if (Ui_Prefs_ReadAll(nullptr, path_.c_str(), nullptr, ReadValues, nullptr, gValues) !=
                0)
                _exit(13);
        }
        _exit(0);
    }
    children.push_back(reader);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "exit " << WEXITSTATUS(status);
    }
    EXPECT_EQ(ValuesOnDisk(path_), (std::vector<int32_t>{kRounds, kRounds, kRounds}));
    EXPECT_EQ(FilesBesides(), std::vector<std::string>{});
}
#endif

TEST_F(PrefsFileTest, PathsLeaveRoomForTheNamesMadeFromThem) {
    // The longest path that still takes a writer's temporary name (".", a process id of up to
    // ten digits, ".new") is 240 characters: it is written, read and set aside; one more
    // character and it is refused before anything is written.
    std::string folder = root_ + "/" + std::string(120, 'f');
    ASSERT_EQ(testing_support::MakeFolder(folder), 0);
    folder += "/";
    std::string path = folder + std::string(240 - folder.size(), 'p');
    ASSERT_TRUE(Ui_Prefs_PathFits(path.c_str()));
    EXPECT_EQ(Ui_Prefs_ReadAll(nullptr, path.c_str(), nullptr, Collect, WriteSample, nullptr), 0);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(Ui_Prefs_SetAside(nullptr, path.c_str(), nullptr, 0), 0);
    EXPECT_TRUE(FileExists(path + ".damaged"));
    path += "p";
    EXPECT_FALSE(Ui_Prefs_PathFits(path.c_str()));
    WriteFile(path, "x");
    EXPECT_EQ(Ui_Prefs_SetAside(nullptr, path.c_str(), nullptr, 0), -1);
    EXPECT_EQ(ReadFile(path), "x");

    // The preferences folder when the file fits there, else the current folder.
    char made[256];
    ASSERT_EQ(Ui_Prefs_SetToPath(nullptr, "KolmaraPro Plugin Prefs", made), 0);
    EXPECT_EQ(std::string(made), PrefFolder() + "KolmaraPro Plugin Prefs");
    const std::string config = folder + std::string(240 - folder.size(), 'c');
    testing_support::PointAppDataAt(config);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(root_.c_str()), 0);
    const int32_t status = Ui_Prefs_SetToPath(nullptr, "KolmaraPro Plugin Prefs", made);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(made), testing_support::NativePath(root_ + "/KolmaraPro Plugin Prefs"));
}

TEST_F(PrefsFileTest, EntriesInMemoryFilesReadBackWithAndWithoutData) {
    uint8_t block[64] = {};
    FLSpec spec;
    FLSpecMemory(&spec, block, sizeof block);
    FLFile f;
    ASSERT_EQ(FLOpen(&f, &spec, kFLWrite), 0);
    const int16_t v = 0x1234;
    ASSERT_EQ(Ui_Prefs_WriteEntry(nullptr, &f, 60, 1, 1, &v), 0);
    ASSERT_EQ(Ui_Prefs_WriteEntry(nullptr, &f, 61, 1, 1, &v), 0);
    EXPECT_EQ(Ui_Prefs_WriteEntry(nullptr, &f, 62, 9, 1, &v), -1);
    EXPECT_EQ(Ui_Prefs_WriteEntry(nullptr, &f, 62, 1, 1, nullptr), -1);
    FLClose(&f);
    EXPECT_EQ(block[8], 0x12);
    EXPECT_EQ(block[9], 0x34);
    ASSERT_EQ(FLOpen(&f, &spec, kFLRead), 0);
    uint16_t tag, type;
    uint32_t count;
    ASSERT_EQ(Ui___Prefs_ReadEntry(&f, &tag, &type, &count, nullptr), 0);  // data skipped
    void* data = nullptr;
    ASSERT_EQ(Ui___Prefs_ReadEntry(&f, &tag, &type, &count, &data), 0);
    EXPECT_EQ(tag, 61);
    EXPECT_EQ(*static_cast<int16_t*>(data), 0x1234);
    Mem_Free(data);
    FLClose(&f);
}

}  // namespace
