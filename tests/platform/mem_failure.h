// Failure injection for the module's memory: makes the n-th heap request from now on fail, so
// that a test can walk every allocation of an operation and check what a failure there leaves.
//
// The module takes its memory only through Mem_Alloc, which asks the C library's malloc. A test
// binary that links this file with -Wl,--wrap=malloc (kolmara_test's MEMORY_FAILURES option)
// sends every malloc call of its statically linked code through the counter below; calls made
// inside the C++ runtime's own library (operator new of the standard containers) are not
// counted, so the test's own containers never fail.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

// The Windows test programs link the C++ runtime statically, so the wrap would reach its operator
// new too and the test's own containers would fail with the module's request: there this file
// also replaces the global operator new and delete with ones that ask the real allocator, so the
// walk counts the module's requests alone on both systems.

namespace testing_support {

// Fails the n-th (1-based) wrapped heap request of the calling thread from now on and only that
// one; 0 disarms. Requests of other threads are neither counted nor failed.
void FailAllocationAfter(int32_t n);
// Whether the armed failure has happened since the last FailAllocationAfter.
bool AllocationFailed();
// Wrapped heap requests of the arming thread since the last FailAllocationAfter.
int32_t AllocationsCounted();

}  // namespace testing_support
