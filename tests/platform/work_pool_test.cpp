// The per-call pool: every task of every batch runs exactly once whatever the thread count, one
// thread runs on the caller in order, a pool that got no workers still finishes its batches,
// and the thread count follows the environment, then the preference, then the machine.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/work_pool.h"
#include "tests/platform/test_support.h"

namespace {

struct Tally {
    std::vector<std::atomic<int32_t>> runs;
    std::vector<std::thread::id> who;
    explicit Tally(int32_t n) : runs(size_t(n)), who(size_t(n)) {}
};

void Count(int32_t task, void* context) {
    auto* t = static_cast<Tally*>(context);
    t->runs[size_t(task)].fetch_add(1);
    t->who[size_t(task)] = std::this_thread::get_id();
}

TEST(WorkPool, EveryTaskOfEveryBatchRunsOnceForAnyThreadCount) {
    for (int32_t threads : {1, 2, 3, 8, 64}) {
        WorkPool* pool = WorkPoolCreate(threads);
        ASSERT_NE(pool, nullptr);
        EXPECT_EQ(WorkPoolThreads(pool), threads);
        // Many small batches back to back: a worker that wakes late for one batch must not take
        // numbers of the next.
        for (int32_t batch = 0; batch < 300; ++batch) {
            const int32_t tasks = 1 + batch % 70;
            Tally tally(tasks);
            WorkPoolRun(pool, tasks, Count, &tally);
            for (int32_t k = 0; k < tasks; ++k)
                ASSERT_EQ(tally.runs[size_t(k)].load(), 1) << threads << " threads, task " << k;
        }
        WorkPoolFree(pool);
    }
}

TEST(WorkPool, OneThreadOrNoPoolRunsOnTheCaller) {
    WorkPool* one = WorkPoolCreate(1);
    for (WorkPool* pool : {one, static_cast<WorkPool*>(nullptr)}) {
        Tally tally(5);
        WorkPoolRun(pool, 5, Count, &tally);
        for (int32_t k = 0; k < 5; ++k) {
            EXPECT_EQ(tally.runs[size_t(k)].load(), 1);
            EXPECT_EQ(tally.who[size_t(k)], std::this_thread::get_id());
        }
    }
    EXPECT_EQ(WorkPoolThreads(nullptr), 1);
    WorkPoolFree(one);
    WorkPoolFree(nullptr);
}

class ThreadCount : public ::testing::Test {
   protected:
    void TearDown() override { testing_support::SetEnvironment("KOLMARA_THREADS", nullptr); }
};

TEST_F(ThreadCount, TheEnvironmentThenThePreferenceThenTheMachine) {
    testing_support::SetEnvironment("KOLMARA_THREADS", nullptr);
    EXPECT_EQ(WorkThreadCount(5), 5);
    const int32_t machine = WorkThreadCount(0);
    EXPECT_GE(machine, 1);
    EXPECT_LE(machine, kWorkMaxThreads);
    EXPECT_EQ(WorkThreadCount(65), machine);  // out of range: as if unset
    testing_support::SetEnvironment("KOLMARA_THREADS", "3");
    EXPECT_EQ(WorkThreadCount(5), 3);
    EXPECT_EQ(WorkThreadCount(0), 3);
    for (const char* bad : {"0", "65", "-2", "3x", "", "many"}) {
        testing_support::SetEnvironment("KOLMARA_THREADS", bad);
        EXPECT_EQ(WorkThreadCount(5), 5) << '"' << bad << '"';
    }
}

}  // namespace
