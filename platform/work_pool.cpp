// A per-call pool of worker threads; see work_pool.h.
#include "platform/work_pool.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "platform/mem.h"

struct WorkPool {
    std::mutex lock;
    std::condition_variable wake;  // workers wait here for a batch or for the end
    std::condition_variable done;  // the caller waits here for the batch's last task
    std::thread workers[kWorkMaxThreads - 1];
    int32_t workerCount = 0;
    // The batch: workers take task numbers from next until it reaches tasks.
    WorkTask task = nullptr;
    void* context = nullptr;
    int32_t tasks = 0;
    std::atomic<int32_t> next{0};
    int32_t finished = 0;     // tasks of the batch that have returned, under lock
    int32_t busy = 0;         // workers taking tasks of the batch, under lock: the caller sets up
                              // the next batch only when none is left holding this one's numbers
    uint64_t generation = 0;  // counts batches, so a worker joins each batch once
    bool stopping = false;
};

namespace {

int32_t ParseThreads(const char* text) {
    if (text == nullptr || *text == '\0') return 0;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*end != '\0' || n < 1 || n > kWorkMaxThreads) return 0;
    return int32_t(n);
}

// Takes task numbers until the batch has none left; returns how many it ran.
int32_t TakeTasks(WorkPool* pool, WorkTask task, void* context, int32_t tasks) {
    int32_t ran = 0;
    for (;;) {
        const int32_t n = pool->next.fetch_add(1, std::memory_order_relaxed);
        if (n >= tasks) return ran;
        task(n, context);
        ++ran;
    }
}

void WorkerLoop(WorkPool* pool) {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> held(pool->lock);
    for (;;) {
        pool->wake.wait(held, [&] { return pool->stopping || pool->generation != seen; });
        if (pool->stopping) return;
        seen = pool->generation;
        const WorkTask task = pool->task;
        void* const context = pool->context;
        const int32_t tasks = pool->tasks;
        ++pool->busy;
        held.unlock();
        const int32_t ran = TakeTasks(pool, task, context, tasks);
        held.lock();
        pool->finished += ran;
        --pool->busy;
        if (pool->finished == pool->tasks && pool->busy == 0) pool->done.notify_one();
    }
}

}  // namespace

int32_t WorkThreadCount(int32_t preferred) {
    const int32_t forced = ParseThreads(std::getenv("KOLMARA_THREADS"));
    if (forced != 0) return forced;
    if (1 <= preferred && preferred <= kWorkMaxThreads) return preferred;
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors == 0) return 1;
    return processors > unsigned(kWorkMaxThreads) ? kWorkMaxThreads : int32_t(processors);
}

WorkPool* WorkPoolCreate(int32_t threads) {
    void* block = Mem_Alloc(sizeof(WorkPool));
    if (block == nullptr) return nullptr;
    WorkPool* pool = nullptr;
    try {
        // The condition variables can need memory of the thread library (winpthreads asks the
        // C library for it), which may be refused like any other.
        pool = new (block) WorkPool;
        // Locks made from a static initialiser are made for real at their first use there:
        // that use is here, where a refusal can still be answered.
        pool->lock.lock();
        pool->lock.unlock();
        pool->wake.notify_all();
        pool->done.notify_all();
    } catch (const std::system_error&) {
        if (pool != nullptr) pool->~WorkPool();
        Mem_Free(block);
        return nullptr;
    } catch (const std::bad_alloc&) {
        if (pool != nullptr) pool->~WorkPool();
        Mem_Free(block);
        return nullptr;
    }
    if (threads > kWorkMaxThreads) threads = kWorkMaxThreads;
    for (int32_t i = 0; i + 1 < threads; ++i) {
        try {
            pool->workers[i] = std::thread(WorkerLoop, pool);
        } catch (const std::system_error&) {
            break;
        } catch (const std::bad_alloc&) {
            break;
        }
        ++pool->workerCount;
    }
    return pool;
}

int32_t WorkPoolThreads(const WorkPool* pool) {
    return pool != nullptr ? pool->workerCount + 1 : 1;
}

void WorkPoolRun(WorkPool* pool, int32_t tasks, WorkTask task, void* context) {
    if (tasks <= 0) return;
    if (pool == nullptr || pool->workerCount == 0 || tasks == 1) {
        for (int32_t n = 0; n < tasks; ++n) task(n, context);
        return;
    }
    {
        // A worker that woke late for the last batch may still be looking for its numbers.
        std::unique_lock<std::mutex> held(pool->lock);
        pool->done.wait(held, [&] { return pool->busy == 0; });
        pool->task = task;
        pool->context = context;
        pool->tasks = tasks;
        pool->finished = 0;
        pool->next.store(0, std::memory_order_relaxed);
        ++pool->generation;
    }
    pool->wake.notify_all();
    const int32_t ran = TakeTasks(pool, task, context, tasks);
    std::unique_lock<std::mutex> held(pool->lock);
    pool->finished += ran;
    pool->done.wait(held, [&] { return pool->finished == pool->tasks && pool->busy == 0; });
}

void WorkPoolFree(WorkPool* pool) {
    if (pool == nullptr) return;
    {
        std::lock_guard<std::mutex> held(pool->lock);
        pool->stopping = true;
    }
    pool->wake.notify_all();
    for (int32_t i = 0; i < pool->workerCount; ++i) pool->workers[i].join();
    pool->~WorkPool();
    Mem_Free(pool);
}
