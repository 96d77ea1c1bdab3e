// The process's kernel set; see kernel_set.h.
#include "engine/kernel_set.h"

#include <cstdlib>
#include <cstring>

bool HgHasBytePermute() {
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool has =
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    return has;
#else
    return false;
#endif
}

HgKernelSet HgKernelSetForProcess() {
    static const HgKernelSet set = [] {
        const char* forced = std::getenv("KOLMARA_SIMD");
        if (forced != nullptr && std::strcmp(forced, "none") == 0) return kHgKernelsPlain;
        return HgHasBytePermute() ? kHgKernelsBytePermute : kHgKernelsPlain;
    }();
    return set;
}
