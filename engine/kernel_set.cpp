// The process's kernel set; see kernel_set.h.
#include "engine/kernel_set.h"

#include <cstdlib>
#include <cstring>

HgKernelSet HgProcessorKernelSet() {
#if defined(__x86_64__) && defined(__GNUC__)
    // The compiler's check also asks the operating system whether it saves the wide registers.
    static const HgKernelSet best = [] {
        if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
            __builtin_cpu_supports("avx2")) {
            return kHgKernelsAvx512;
        }
        return __builtin_cpu_supports("avx2") ? kHgKernelsAvx2 : kHgKernelsPlain;
    }();
    return best;
#else
    return kHgKernelsPlain;
#endif
}

HgKernelSet HgKernelSetForProcess() {
    static const HgKernelSet set = [] {
        HgKernelSet cap = kHgKernelsAvx512;
        const char* forced = std::getenv("KOLMARA_SIMD");
        if (forced != nullptr && std::strcmp(forced, "none") == 0) cap = kHgKernelsPlain;
        if (forced != nullptr && std::strcmp(forced, "avx2") == 0) cap = kHgKernelsAvx2;
        const HgKernelSet best = HgProcessorKernelSet();
        return best < cap ? best : cap;
    }();
    return set;
}
