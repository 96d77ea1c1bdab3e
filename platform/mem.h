// Guarded, counted heap memory and the small byte/string routines of the plug-in.
//
// Every block the plug-in takes for itself comes from Mem_Alloc and goes back through Mem_Free.
// Each block carries a 16-byte header ("fire", total size, id, "wall", numbers most significant
// byte first) and an 8-byte trailer ("FIREWALL"); Mem_Free checks both and reports damage through
// the report sink, then frees the block all the same. The allocator sits below every other part of
// the platform, so it does not find the debug log itself: the call state registers a sink that
// writes the report to the debug log and shows it in a message box (Ui_State_Open); until then,
// and in tools that never open a call state, the report goes to stderr. The process-wide counters
// let the host layer report the peak and any blocks never freed after every call.
//
// Also here: null-safe byte and string routines used in place of the standard ones, and the
// stream scrambler (Park-Miller minimal standard generator, Schrage's method).
//
// Single-threaded by design: the counters are plain globals.
#pragma once

#include <cstddef>
#include <cstdint>

extern uint32_t ul_total;     // bytes currently held, 24 bytes of guard overhead per block included
extern uint32_t ul_maxTotal;  // highest value ul_total has reached
extern uint32_t ul_nMallocs;  // blocks obtained and not yet returned
extern uint32_t ul_nextId;    // id given to the next block

constexpr uint32_t kMemOverhead = 24;

// Returns a block of n bytes (not initialised), or null when the system refuses or n is within
// 24 bytes of 2^32 (the total would not fit the 32-bit size field).
void* Mem_Alloc(uint32_t n);
// Checks the guards, frees the block, and returns null so that callers clear their pointer:
// p = Mem_Free(p). Null does nothing.
void* Mem_Free(void* p);
// The guard test alone: 0 when intact (or p null), -2 after writing the damage report.
int32_t Mem_CheckBlock(void* p);

// Where a damage report goes: each line of it with alert false, then its one-line summary with
// alert true (for a message box). Null restores the default, stderr.
using MemReportSink = void (*)(const char* text, bool alert);
void Mem_SetReportSink(MemReportSink sink);

// Byte and string routines. "Null-safe" routines return their first argument unchanged and touch
// nothing when an argument is null.
void* Mem_Copy(void* dst, const void* src, size_t n);  // memmove semantics
void* Mem_Fill(void* dst, uint8_t value, size_t n);
char* Str_Copy(char* dst, const char* src);             // null-safe
char* Str_CopyN(char* dst, const char* src, size_t n);  // null-safe, strncpy semantics
char* Str_Append(char* dst, const char* src);           // null-safe
int32_t Str_Compare(const char* a, const char* b);      // -1000 when either is null
int32_t Str_CompareN(const char* a, const char* b, int32_t n);
char* Str_FindChar(const char* s, int c);  // first occurrence, or the terminator for 0
char* Str_FindLastChar(const char* s, int c);
size_t Str_Length(const char* s);  // 0 for null

// Copies src into a buffer of cap bytes, cut to fit and always terminated (cap >= 1).
char* Str_CopyBounded(char* dst, size_t cap, const char* src);

// Stream scrambler. Mem_RandomNext returns the generator's next state (states 1 .. 2^31 - 2).
// Mem_Scramble advances the generator count times, XORing each byte of buf (when not null) with
// the low 8 bits of the new state, and returns the final state. Applying it twice restores data.
int32_t Mem_RandomNext(int32_t state);
int32_t Mem_Scramble(void* buf, uint32_t count, int32_t seed);

// RAII holder for module code: owns one Mem_Alloc block and frees it on every exit path.
template <typename T>
class MemBlock {
   public:
    MemBlock() = default;
    explicit MemBlock(uint32_t count) { Allocate(count); }
    ~MemBlock() { Reset(); }
    MemBlock(const MemBlock&) = delete;
    MemBlock& operator=(const MemBlock&) = delete;
    MemBlock(MemBlock&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    MemBlock& operator=(MemBlock&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }

    // Replaces the held block with room for count elements; false when memory is short or the
    // byte count does not fit 32 bits.
    bool Allocate(uint32_t count) {
        Reset();
        uint64_t bytes = uint64_t(count) * sizeof(T);
        if (bytes > 0xFFFFFFFFull - kMemOverhead) return false;
        p_ = static_cast<T*>(Mem_Alloc(uint32_t(bytes)));
        return p_ != nullptr;
    }
    void Reset() { p_ = static_cast<T*>(Mem_Free(p_)); }
    // Gives up ownership; the caller frees the block with Mem_Free.
    T* Release() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    T* get() const { return p_; }
    T& operator[](size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }

   private:
    T* p_ = nullptr;
};
