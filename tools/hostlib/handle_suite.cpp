// Registered handles for the module and the host; see handle_suite.h.
#include "tools/hostlib/handle_suite.h"

#include <cstring>
#include <iostream>
#include <set>
#include <vector>

struct PIHandleRecord {
    std::vector<char> bytes;
    int32 locks = 0;
};

namespace {

std::set<Handle>& Live() {
    static std::set<Handle> live;
    return live;
}

HostWarningSink gSink = nullptr;

bool Check(Handle h, const char* use) {
    if (h != nullptr && Live().count(h) != 0) return true;
    HostWarning(std::string(use) + " called with " +
                (h == nullptr ? "a null handle" : "a handle that is not live"));
    return false;
}

char* DataOf(Handle h) {
    // A zero-size handle still locks to a valid, non-null pointer.
    if (h->bytes.capacity() == 0) h->bytes.reserve(1);
    return h->bytes.data();
}

Handle NewProc(int32 size) {
    if (!(0 <= size && size <= kMaxHandleSize)) return nullptr;
    auto* h = new PIHandleRecord;
    h->bytes.assign(size_t(size), 0);
    Live().insert(h);
    return h;
}

void DisposeProc(Handle h) {
    if (h == nullptr) return;  // disposing of nothing is allowed
    if (!Check(h, "disposeProc")) return;
    Live().erase(h);
    delete h;
}

int32 GetSizeProc(Handle h) {
    return Check(h, "getSizeProc") ? int32(h->bytes.size()) : 0;
}

OSErr SetSizeProc(Handle h, int32 size) {
    if (!Check(h, "setSizeProc")) return filterBadParameters;
    if (!(0 <= size && size <= kMaxHandleSize)) return memFullErr;
    if (h->locks > 0) {
        HostWarning("setSizeProc called on a locked handle");
        return memFullErr;
    }
    h->bytes.resize(size_t(size), 0);
    return noErr;
}

Ptr LockProc(Handle h, Boolean) {
    if (!Check(h, "lockProc")) return nullptr;
    ++h->locks;
    return DataOf(h);
}

void UnlockProc(Handle h) {
    if (!Check(h, "unlockProc")) return;
    if (h->locks > 0) --h->locks;
}

}  // namespace

HandleProcs* HostHandleProcs() {
    static HandleProcs procs{1,           6,           NewProc,  DisposeProc,
                             GetSizeProc, SetSizeProc, LockProc, UnlockProc};
    return &procs;
}

void SetHostWarningSink(HostWarningSink sink) {
    gSink = sink;
}

void HostWarning(const std::string& text) {
    if (gSink != nullptr) {
        gSink(text);
    } else {
        std::cerr << "filterhost: warning: " << text << "\n";
    }
}

Handle NewHostHandle(const void* bytes, size_t size) {
    if (size > size_t(kMaxHandleSize)) return nullptr;
    Handle h = NewProc(int32(size));
    if (h != nullptr && size > 0) std::memcpy(h->bytes.data(), bytes, size);
    return h;
}

bool IsLiveHandle(Handle h) {
    return h != nullptr && Live().count(h) != 0;
}

bool HandleContents(Handle h, std::string* bytes, const char* use) {
    if (!Check(h, use)) return false;
    bytes->assign(h->bytes.data(), h->bytes.size());
    return true;
}

void DisposeHostHandle(Handle h) {
    if (IsLiveHandle(h)) DisposeProc(h);
}

size_t LiveHandleCount() {
    return Live().size();
}

size_t DisposeAllHandles() {
    size_t n = Live().size();
    for (Handle h : Live()) delete h;
    Live().clear();
    return n;
}
