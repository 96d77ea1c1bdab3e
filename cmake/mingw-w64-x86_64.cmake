# Cross-building the 64-bit Windows module on Linux with mingw-w64 (Debian's
# g++-mingw-w64-x86-64-posix and binutils-mingw-w64-x86-64). The posix thread model is chosen
# because its libstdc++ has std::thread and friends, which GoogleTest and the module's per-call
# pool (platform/work_pool.h) use; winpthreads is linked statically with the rest. Libraries cross-built for the module (libjpeg, lcms2) are installed under
# KOLMARA_WINDOWS_DEPS, which is searched before anything else and instead of the build
# machine's own libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KOLMARA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KOLMARA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOLMARA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KOLMARA_MINGW_PREFIX}-windres)
set(CMAKE_AR ${KOLMARA_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KOLMARA_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

# GCC for Windows cannot align the stack beyond 16 bytes, yet spills AVX registers with aligned
# moves; the assembler turns every aligned vector move into an unaligned one, so the vector
# kernels (engine/huegrid_kernels_avx2.cpp, the byte permutes) never fault on a spill.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

set(CMAKE_FIND_ROOT_PATH /usr/${KOLMARA_MINGW_PREFIX})
if(DEFINED ENV{KOLMARA_WINDOWS_DEPS})
  set(KOLMARA_WINDOWS_DEPS $ENV{KOLMARA_WINDOWS_DEPS})
endif()
if(KOLMARA_WINDOWS_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${KOLMARA_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine when a test or generator needs them.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
