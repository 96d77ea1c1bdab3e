// Guarded, counted heap memory; see mem.h.
#include "platform/mem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/os.h"
#include "platform/status.h"

uint32_t ul_total = 0;
uint32_t ul_maxTotal = 0;
uint32_t ul_nMallocs = 0;
uint32_t ul_nextId = 0;

namespace {

constexpr char kLead[8] = {'f', 'i', 'r', 'e', 'w', 'a', 'l', 'l'};
constexpr char kTrail[8] = {'F', 'I', 'R', 'E', 'W', 'A', 'L', 'L'};
constexpr uint32_t kHeader = 16;

void PutBE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void StderrReport(const char* text, bool alert) {
    std::fprintf(stderr, "%s%s\n", alert ? "[memory] " : "", text);
}

MemReportSink gReportSink = StderrReport;

void LogForced(const char* text) {
    gReportSink(text, false);
}

// One line for each guard character: the expected character when intact, "*" when not.
void ReportGuardBytes(const uint8_t* bytes, const char expected[8]) {
    for (int i = 0; i < 8; ++i) {
        char line[2] = {bytes[i] == uint8_t(expected[i]) ? expected[i] : '*', 0};
        LogForced(line);
    }
}

}  // namespace

void* Mem_Alloc(uint32_t n) {
    // The total must fit the 32-bit size field of the header.
    if (n > 0xFFFFFFFFu - kMemOverhead) return nullptr;
    uint32_t t = n + kMemOverhead;
    // The counters count what is held: a refused request changes neither the running total nor
    // the peak (had they stayed raised, every later figure and the over-budget report would count
    // memory the module never had).
    auto* h = static_cast<uint8_t*>(std::malloc(t));
    if (h == nullptr) return nullptr;
    ul_total += t;
    if (ul_total > ul_maxTotal) ul_maxTotal = ul_total;
    ++ul_nMallocs;
    std::memcpy(h, kLead, 4);
    PutBE32(h + 4, t);
    PutBE32(h + 8, ul_nextId);
    std::memcpy(h + 12, kLead + 4, 4);
    ++ul_nextId;
    std::memcpy(h + kHeader + n, kTrail, 8);
    return h + kHeader;
}

void Mem_SetReportSink(MemReportSink sink) {
    gReportSink = sink != nullptr ? sink : StderrReport;
}

int32_t Mem_CheckBlock(void* p) {
    if (p == nullptr) return kStatusOk;
    uint8_t* h = static_cast<uint8_t*>(p) - kHeader;
    uint32_t t = GetBE32(h + 4);
    uint32_t id = GetBE32(h + 8);
    uint32_t flags = t > ul_total ? 4 : 0;
    if (std::memcmp(h, kLead, 4) != 0 || std::memcmp(h + 12, kLead + 4, 4) != 0) flags |= 1;
    // The trailer lies at an offset taken from the stored size. When the leading guard is damaged
    // that size cannot be trusted, and a size beyond what the allocator handed out would read
    // outside the block: in both cases the trailer is not examined.
    bool sizePlausible = t >= kMemOverhead && t <= Os_BlockSize(h);
    if (!(flags & 1) && sizePlausible && std::memcmp(h + t - 8, kTrail, 8) != 0) flags |= 2;
    if (flags == 0) return kStatusOk;

    char line[160];
    LogForced("Firewall Error:");
    if (flags & 1) {
        std::snprintf(line, sizeof line,
                      "Start firewall destroyed, size = %ld, id = %ld, remaining = ", long(t),
                      long(id));
        LogForced(line);
        uint8_t lead[8];
        std::memcpy(lead, h, 4);
        std::memcpy(lead + 4, h + 12, 4);
        ReportGuardBytes(lead, kLead);
    }
    if (flags & 2) {
        std::snprintf(line, sizeof line,
                      "End firewall destroyed, size = %ld, id = %ld, remaining = ", long(t),
                      long(id));
        LogForced(line);
        ReportGuardBytes(h + t - 8, kTrail);
    }
    if (flags & 4) {
        std::snprintf(line, sizeof line, "Freeing too much, size = %ld, total = %ld", long(t),
                      long(ul_total));
        LogForced(line);
    }
    gReportSink("Firewall failure!", true);
    return kStatusError;
}

void* Mem_Free(void* p) {
    if (p == nullptr) return nullptr;
    Mem_CheckBlock(p);
    uint8_t* h = static_cast<uint8_t*>(p) - kHeader;
    uint32_t t = GetBE32(h + 4);
    // A damaged size larger than the running total would wrap the counter round to billions;
    // the report above already tells of it, so the count stops at zero instead.
    ul_total = t > ul_total ? 0 : ul_total - t;
    std::free(h);
    --ul_nMallocs;
    return nullptr;
}

void* Mem_Copy(void* dst, const void* src, size_t n) {
    if (n == 0 || dst == nullptr || src == nullptr) return dst;
    return std::memmove(dst, src, n);
}

void* Mem_Fill(void* dst, uint8_t value, size_t n) {
    if (n == 0 || dst == nullptr) return dst;
    return std::memset(dst, value, n);
}

char* Str_Copy(char* dst, const char* src) {
    if (dst == nullptr || src == nullptr) return dst;
    return std::strcpy(dst, src);
}

char* Str_CopyN(char* dst, const char* src, size_t n) {
    if (dst == nullptr || src == nullptr) return dst;
    return std::strncpy(dst, src, n);
}

char* Str_Append(char* dst, const char* src) {
    if (dst == nullptr || src == nullptr) return dst;
    return std::strcat(dst, src);
}

int32_t Str_Compare(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return -1000;
    for (;; ++a, ++b) {
        if (*a != *b) return int32_t(int8_t(*a)) - int32_t(int8_t(*b));
        if (*a == 0) return 0;
    }
}

int32_t Str_CompareN(const char* a, const char* b, int32_t n) {
    if (a == nullptr || b == nullptr) return -1000;
    if (n < 1) n = 1;
    for (int32_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return int32_t(int8_t(a[i])) - int32_t(int8_t(b[i]));
        if (a[i] == 0) return 0;
    }
    return 0;
}

char* Str_FindChar(const char* s, int c) {
    if (s == nullptr) return nullptr;
    return const_cast<char*>(std::strchr(s, c));
}

char* Str_FindLastChar(const char* s, int c) {
    if (s == nullptr) return nullptr;
    return const_cast<char*>(std::strrchr(s, c));
}

size_t Str_Length(const char* s) {
    return s == nullptr ? 0 : std::strlen(s);
}

char* Str_CopyBounded(char* dst, size_t cap, const char* src) {
    if (dst == nullptr || cap == 0) return dst;
    size_t n = src == nullptr ? 0 : std::strlen(src);
    if (n > cap - 1) n = cap - 1;
    if (n > 0) std::memmove(dst, src, n);
    dst[n] = 0;
    return dst;
}

int32_t Mem_RandomNext(int32_t state) {
    // Park-Miller minimal standard: 16807 * s mod (2^31 - 1), by Schrage's method so that no
    // intermediate result leaves 32 bits.
    constexpr int32_t a = 16807, m = 2147483647, q = 127773, r = 2836;
    int32_t hi = state / q;
    int32_t lo = state % q;
    int32_t next = a * lo - r * hi;
    if (next < 1) next += m;
    return next;
}

int32_t Mem_Scramble(void* buf, uint32_t count, int32_t seed) {
    auto* bytes = static_cast<uint8_t*>(buf);
    int32_t state = seed;
    for (uint32_t i = 0; i < count; ++i) {
        state = Mem_RandomNext(state);
        if (bytes != nullptr) bytes[i] ^= uint8_t(state & 0xFF);
    }
    return state;
}
