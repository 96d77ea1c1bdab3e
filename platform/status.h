// Status codes shared by every module of the plug-in.
//
// Every operation returns a signed 32-bit status: 0 for success, a small negative number for a
// failure. Callers pass a failure up unchanged until a layer with a user decides to show it
// (ShowErrorAlert), so these values are part of every interface and must never change.
#pragma once

#include <cstdint>

enum : int32_t {
    kStatusOk = 0,
    kStatusProblem = -1,      // bad argument: null pointer, value out of range
    kStatusError = -2,        // general failure of a system call
    kStatusNoMemory = -3,     // allocation failed
    kStatusFileOpen = -4,     // a file could not be opened
    kStatusFileRead = -5,     // short or failed read
    kStatusFileWrite = -6,    // short or failed write
    kStatusFileSeek = -7,     // seek or position query failed
    kStatusFormat = -8,       // data not in the expected format
    kStatusUnsupported = -9,  // unsupported variant; also "stored value replaced by its default"
    kStatusCancelled = -10,   // cancelled by the user; never shown
    kStatusTimeout = -11,     // time-out
};
