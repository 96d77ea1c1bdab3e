#include "tests/platform/mem_failure.h"

#include <cstddef>

extern "C" void* __real_malloc(size_t size);

namespace {

int32_t gFailAt = 0;
int32_t gCounted = 0;
bool gFailed = false;

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    ++gCounted;
    if (gFailAt != 0 && gCounted == gFailAt) {
        gFailed = true;
        return nullptr;
    }
    return __real_malloc(size);
}

namespace testing_support {

void FailAllocationAfter(int32_t n) {
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
