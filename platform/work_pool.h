// Worker threads for one call of the module: a small pool that runs numbered tasks in parallel
// and is joined before the call returns.
//
// The module keeps nothing running between calls: a routine that wants more than one core
// creates a pool for its own work, hands it batches of tasks (WorkPoolRun returns when every
// task of the batch has finished), and frees it, which joins every worker. The calling thread
// takes part in every batch, so a pool of n threads starts n - 1 workers, and a pool of one runs
// each batch on the caller alone, in task order, exactly as a plain loop would.
//
// Tasks of a batch must not depend on each other's order: what the module computes with a pool
// is split so that each task writes its own part of the result (see host/row_bands.h). A task
// neither allocates nor shows anything; its status goes back through its own part of the result.
//
// Creating a worker can fail (no memory, a process limit): the pool then runs with the workers it
// has, down to the caller alone, and the results are the same, only slower.
#pragma once

#include <cstdint>

// The most threads a pool takes, whatever the machine or the settings say.
constexpr int32_t kWorkMaxThreads = 64;

struct WorkPool;

using WorkTask = void (*)(int32_t task, void* context);

// The number of threads a call uses: KOLMARA_THREADS from the environment when it holds a number
// from 1 to 64 (scripts and tests choose with it), else preferred when it is 1 to 64, else one
// per processor of the machine, at most 64.
int32_t WorkThreadCount(int32_t preferred);

// A pool of threads threads (1 to 64; outside that range the nearest). Null without memory for
// the pool's record or its locks, in which case the caller runs its tasks itself (WorkPoolRun
// accepts null). Nothing here throws.
WorkPool* WorkPoolCreate(int32_t threads);
// The threads the pool really has, the caller included (1 for null).
int32_t WorkPoolThreads(const WorkPool* pool);
// Runs task(0, context) .. task(tasks - 1, context), each once, spread over the pool's threads,
// and returns when all have finished.
void WorkPoolRun(WorkPool* pool, int32_t tasks, WorkTask task, void* context);
// Joins every worker and frees the pool; null is accepted.
void WorkPoolFree(WorkPool* pool);
