// The handle suite the stand-in host gives the module, and the host's own handles (descriptors,
// text properties).
//
// Every live handle is registered, so a disposed, foreign or garbage handle passed back by the
// module is reported as a warning and never dereferenced. A handle's bytes stay where they are
// while it is locked; a locked handle cannot change size. New handles are zero-filled, so that a
// run does not depend on leftover memory.
#pragma once

#include <cstddef>
#include <string>

#include "hostsdk/filter_record.h"

// The suite for FilterRecord::handleProcs.
HandleProcs* HostHandleProcs();

// Where warnings about misused handles go (stderr with a "filterhost: warning:" prefix when not
// set).
using HostWarningSink = void (*)(const std::string& text);
void SetHostWarningSink(HostWarningSink sink);
void HostWarning(const std::string& text);

// Host-side use. NewHostHandle returns null when size is negative or beyond the suite's limit.
Handle NewHostHandle(const void* bytes, size_t size);
bool IsLiveHandle(Handle h);
// Copies a live handle's bytes; false (and a warning naming `use`) for anything else.
bool HandleContents(Handle h, std::string* bytes, const char* use);
// Disposes of a live handle; null does nothing.
void DisposeHostHandle(Handle h);
size_t LiveHandleCount();
// Disposes of every handle still live (end of a run) and returns how many there were.
size_t DisposeAllHandles();

// The largest handle the suite hands out.
constexpr int32 kMaxHandleSize = 1 << 30;
