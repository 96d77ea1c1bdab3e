// Runs of the real module through filterhost that are interrupted or killed: SIGINT and SIGTERM at
// moments drawn from a fixed seed while a large picture is read, filtered and written leave the
// output absent, as it was or whole, no temporary file anywhere and the preferences whole; what a
// run killed outright leaves behind is removed by the next run, and nothing that is not ours.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/tools/host_test_support.h"

namespace {

using fhtest::Exists;
using fhtest::FolderEntries;
using fhtest::ReadText;
using fhtest::WaitHost;

constexpr char kPrefsName[] = "KolmaraPro Plugin Prefs";

int RunPrefsTool(const std::string& arguments) {
    const std::string command = std::string(KOLMARA_PREFS_PATH) + " " + arguments + " >/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The id of a process that has ended.
pid_t GoneProcess() {
    pid_t pid = fork();
    if (pid == 0) _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

class InterruptedRun : public fhtest::TempDirTest {
   protected:
    void SetUp() override {
        TempDirTest::SetUp();
        prefsFolder_ = Path("config/Lumetra");
        // A large picture (about 18 MB) and custom settings with noise removal, so that reading,
        // filtering and writing each take a while. As PAM the result is held and written at the
        // end; as an uncompressed TIFF it goes into the output's temporary file as it is made.
        Image picture = fhtest::MakeImage(3000, 2000, 3, 8, 36);
        fhtest::SaveImage(Path("in.pam"), picture);
        picture.tiffCompression = 1;
        fhtest::SaveImage(Path("in.tif"), picture);
        fhtest::WriteFileBytes(Path("settings.txt"), ReadText(EXAMPLES_DIR "/demo-settings.txt"));
        ASSERT_EQ(RunPrefsTool("load-custom '" + Path("settings.txt") + "'"), 0);
        ASSERT_EQ(RunPrefsTool("start custom"), 0);
    }
    // Filters in.EXTENSION into the output, of the same format.
    pid_t Start(const std::string& extension, const std::string& output) {
        return fhtest::StartHost({"--no-progress", Path("in." + extension), output}, {},
                                 Path("err.txt"));
    }
    // Temporary files of ours left anywhere the runs write.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> found;
        for (const std::string& name : FolderEntries(dir_)) {
            if (name.find(".filterhost-") != std::string::npos) found.push_back(name);
            if (name.rfind("Lumetra", 0) == 0 && name.find(".tmp") != std::string::npos)
                found.push_back(name);
        }
        for (const std::string& name : FolderEntries(prefsFolder_)) {
            if (name.find(".new") != std::string::npos ||
                name.find(".damaged") != std::string::npos)
                found.push_back("Lumetra/" + name);
        }
        return found;
    }
    std::string prefsFolder_;
};

TEST_F(InterruptedRun, AnInterruptAtAnyMomentLeavesTheOutputWholeOrAsItWasAndNoTemporaryFile) {
    // The uninterrupted runs: their pictures, and how long a run takes here.
    const std::string formats[2] = {"pam", "tif"};
    std::string references[2];
    const auto begin = std::chrono::steady_clock::now();
    for (int f = 0; f < 2; ++f) {
        const std::string path = Path("reference." + formats[f]);
        ASSERT_EQ(WaitHost(Start(formats[f], path)), 0) << ReadText(Path("err.txt"));
        references[f] = ReadText(path);
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - begin)
                          .count() /
                      2;
    const std::string old = "an older picture of the same name";
    std::mt19937 random(36);
    int interrupted = 0;
    // At least twelve runs, and more until six were caught part-way: the moments are drawn from
    // the first run's length, and on a machine whose load changes (tests run side by side) later
    // runs may be quicker, so that fewer moments fall inside them.
    for (int run = 0; run < 48 && (run < 12 || interrupted < 6); ++run) {
        const int format = (run / 2) % 2;
        const std::string output = Path("out." + formats[format]);
        const std::string& reference = references[format];
        std::remove(output.c_str());
        const bool hadOld = run % 2 == 1;
        if (hadOld) fhtest::WriteFileBytes(output, old);
        const int signal = run % 3 == 2 ? SIGTERM : SIGINT;
        const auto delay = std::chrono::milliseconds(random() % uint32_t(took + took / 5 + 1));
        const pid_t pid = Start(formats[format], output);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(delay);
        kill(pid, signal);
        const int status = WaitHost(pid);
        const std::string err = ReadText(Path("err.txt"));
        SCOPED_TRACE("run " + std::to_string(run) + " (" + formats[format] + "), signal " +
                     std::to_string(signal) + " after " + std::to_string(delay.count()) +
                     " ms: status " + std::to_string(status) + ", " + err);
        // Done before the signal, or cancelled: never another failure. A signal in the first
        // moments can come before the program runs at all (between the fork and its handlers,
        // which no program can shorten); then it dies of it, having written nothing, which the
        // checks below hold it to. Runs it caught part-way must still be cancelled ones.
        const bool beforeItRan = status == 128 + signal;
        ASSERT_TRUE(status == 0 || status == 3 || beforeItRan);
        if (beforeItRan) {
            EXPECT_EQ(err, "") << "it had begun";
        }
        if (status == 3) {
            ++interrupted;
            EXPECT_NE(err.find("filterhost: interrupted"), std::string::npos);
        }
        // The output is the new picture whole (a signal after the rename), or as it was before.
        if (Exists(output) && ReadText(output) != reference) {
            EXPECT_TRUE(hadOld);
            EXPECT_EQ(ReadText(output), old);
        }
        if (status == 0) {
            EXPECT_EQ(ReadText(output), reference);
        } else if (!hadOld) {
            EXPECT_TRUE(!Exists(output) || ReadText(output) == reference);
        }
        EXPECT_EQ(Leftovers(), std::vector<std::string>{});
        // The preferences are whole and still say what they said.
        EXPECT_EQ(RunPrefsTool("show"), 0);
        EXPECT_EQ(RunPrefsTool("save-custom '" + Path("custom.txt") + "'"), 0);
    }
    // The moments drawn must really have caught runs part-way.
    EXPECT_GE(interrupted, 6);
}

TEST_F(InterruptedRun, TheNextRunRemovesWhatAKilledRunLeftAndNothingElse) {
    // A run killed outright while it writes its picture leaves its temporary file. On a loaded
    // machine the run may finish between two looks: then it is tried again.
    std::string temp;
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
        const pid_t pid = Start("pam", Path("out.pam"));
        ASSERT_GT(pid, 0);
        temp = Path(".out.pam.filterhost-" + std::to_string(pid));
        for (int i = 0; i < 3000 && !(Exists(temp) && ReadText(temp).size() > 1000); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        kill(pid, SIGKILL);
        caught = WaitHost(pid) == 128 + SIGKILL && Exists(temp);
    }
    ASSERT_TRUE(caught) << ReadText(Path("err.txt"));
    // Temporary files of the preferences of writers that are gone, one of a writer that runs (this
    // test), and names that only look like ours.
    const std::string prefs = prefsFolder_ + "/" + kPrefsName;
    const std::string gone = prefs + "." + std::to_string(GoneProcess()) + ".new";
    const std::string running = prefs + "." + std::to_string(getpid()) + ".new";
    const std::string running_out = Path(".out.pam.filterhost-" + std::to_string(getpid()));
    const std::string others[] = {prefs + ".12a.new", prefs + ".new", Path(".out.pam.filterhost-x"),
                                  Path(".other.pam.filterhost-" + std::to_string(GoneProcess()))};
    for (const std::string& f : {gone, running, running_out}) fhtest::WriteFileBytes(f, "partial");
    for (const std::string& f : others) fhtest::WriteFileBytes(f, "not ours");

    ASSERT_EQ(WaitHost(Start("pam", Path("out.pam"))), 0) << ReadText(Path("err.txt"));
    EXPECT_FALSE(Exists(temp));
    EXPECT_FALSE(Exists(gone));
    EXPECT_TRUE(Exists(running));
    EXPECT_TRUE(Exists(running_out));
    for (const std::string& f : others) EXPECT_EQ(ReadText(f), "not ours") << f;
    EXPECT_EQ(RunPrefsTool("show"), 0);
}

}  // namespace
