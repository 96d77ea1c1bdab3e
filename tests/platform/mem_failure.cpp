#include "tests/platform/mem_failure.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <pthread.h>
#endif

extern "C" void* __real_malloc(size_t size);

#if defined(_WIN32)
#include <cstdlib>
#include <new>

// The statically linked C++ runtime would take the test's own memory through the wrapped malloc;
// these take it from the real one, so that only the module's requests are counted and failed.
// free is not wrapped, so blocks from either go back the same way.
namespace {
void* RealNew(size_t size) {
    void* p = __real_malloc(size != 0 ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* RealNewAligned(size_t size, std::align_val_t alignment) {
    void* p = _aligned_malloc(size != 0 ? size : 1, size_t(alignment));
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(size_t size) {
    return RealNew(size);
}
void* operator new[](size_t size) {
    return RealNew(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return __real_malloc(size != 0 ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return __real_malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void* operator new(size_t size, std::align_val_t alignment) {
    return RealNewAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return RealNewAligned(size, alignment);
}
void operator delete(void* p, std::align_val_t) noexcept {
    _aligned_free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    _aligned_free(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    _aligned_free(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    _aligned_free(p);
}
#endif

namespace {

// Only the requests of the thread that armed the counter are counted and failed. The module takes
// its memory on the caller's thread; a thread library that asks for memory on a worker thread it
// is starting (winpthreads does) would otherwise shift the count by the timing of that start, and
// a walk would fail a request nobody can answer.
#if defined(_WIN32)
uint64_t ThisThread() {
    return GetCurrentThreadId();  // no heap request, unlike the thread library's own calls
}
#else
uint64_t ThisThread() {
    return uint64_t(pthread_self());
}
#endif

std::atomic<uint64_t> gArmedThread{0};
int32_t gFailAt = 0;
int32_t gCounted = 0;
bool gFailed = false;

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    if (ThisThread() != gArmedThread.load(std::memory_order_relaxed)) return __real_malloc(size);
    ++gCounted;
    if (gFailAt != 0 && gCounted == gFailAt) {
        gFailed = true;
        return nullptr;
    }
    return __real_malloc(size);
}

namespace testing_support {

void FailAllocationAfter(int32_t n) {
    gArmedThread.store(ThisThread(), std::memory_order_relaxed);
    gFailAt = n;
    gCounted = 0;
    gFailed = false;
}

bool AllocationFailed() {
    return gFailed;
}

int32_t AllocationsCounted() {
    return gCounted;
}

}  // namespace testing_support
