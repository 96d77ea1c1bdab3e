// The tagged preferences file; see prefs_file.h.
#include "platform/prefs_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/prefs_merge.h"
#include "platform/ui_state_record.h"

namespace {

constexpr uint32_t kHeadSize = 8;

uint8_t Diagnostics(UiState* state) {
    return state != nullptr ? state->diagnostics : 0;
}

void LogPath(UiState* state, const char* path) {
    char line[256];
    Str_CopyBounded(line, sizeof line, path);
    Ui_Debug_Log(Diagnostics(state), line);
}

// Whether something other than a file is at path (a folder, a device).
bool NotAFile(const char* path) {
    return Os_PathKind(path) == kOsOther;
}

// path followed by suffix in buffer (kFLPathSize bytes); false when it does not fit.
bool Derived(const char* path, const char* suffix, char* buffer) {
    size_t n = Str_Length(path), k = Str_Length(suffix);
    if (n + k >= size_t(kFLPathSize)) return false;
    Mem_Copy(buffer, path, n);
    Mem_Copy(buffer + n, suffix, k + 1);
    return true;
}

int32_t RoundHalfAway(double v) {
    return int32_t(v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5));
}

// Splits x into a mantissa scaled by `scale` and a binary exponent, as both floating forms need.
// Exponents beyond the stored byte are held at the limit: the largest magnitude for values too
// large, zero for values too small to store (neither occurs among the owners' values).
uint32_t PackFloat(float x, double scale, int32_t mantissaMin, int32_t mantissaMax) {
    if (std::isnan(x)) return 0;
    int e = 0;
    double f = std::isinf(x) ? (x > 0 ? 1.0 : -1.0) : std::frexp(double(x), &e);
    if (std::isinf(x) || e > 127) {
        e = 127;
        f = x > 0 ? 1.0 : -1.0;
    } else if (e < -128) {
        return 0;
    }
    int32_t m = RoundHalfAway(f * scale);
    if (m > mantissaMax) m = mantissaMax;
    if (m < mantissaMin) m = mantissaMin;
    return (uint32_t(uint8_t(int8_t(e))) << 24) | (uint32_t(m) & 0xFFFFFF);
}

void UnpackFloat(uint32_t word, int32_t limit, int32_t* e, int32_t* m) {
    *e = int8_t(uint8_t(word >> 24));
    int32_t v = int32_t(word & 0xFFFFFF);
    if (v & 0x800000) v -= 0x1000000;
    if (v > limit) v = limit;
    if (v < -limit) v = -limit;
    *m = v;
}

// Bytes between the current position and the end of the file; guards against counts that a
// damaged file makes far larger than what it holds.
int32_t Remaining(FLFile* file, int64_t* remaining) {
    int32_t here, end;
    int32_t status = FLTell(file, &here);
    if (status == kStatusOk) status = FLSeek(file, 0, 2);
    if (status == kStatusOk) status = FLTell(file, &end);
    if (status == kStatusOk) status = FLSeek(file, here, 0);
    if (status == kStatusOk) *remaining = int64_t(end) - here;
    return status;
}

int32_t WriteEntries(UiState* state, FLFile* file, UiPrefsWriteCallback callback, void* context) {
    int32_t version = kPrefsFileVersion;
    int32_t status =
        Ui_Prefs_WriteEntry(state, file, kPrefsTagVersion, kPrefsTypeInt32, 1, &version);
    if (status != kStatusOk) {
        Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_WriteAll: Ui_Prefs_WriteEntry 1 returned %d",
                      status);
        return status;
    }
    if (callback != nullptr) {
        status = callback(context, state, file);
        if (status != kStatusOk) {
            Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_WriteAll: writePrefsCallback returned %d",
                          status);
            return status;
        }
    }
    status = Ui_Prefs_WriteEntry(state, file, kPrefsTagEnd, kPrefsTypeBytes, 0, nullptr);
    if (status != kStatusOk) {
        Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_WriteAll: Ui_Prefs_WriteEntry 3 returned %d",
                      status);
    }
    return status;
}

constexpr int kReadAttempts = 4;             // a file that fails its check is read this often
constexpr uint32_t kLockWaitMillis = 10000;  // then a writer goes on without the lock
constexpr uint32_t kLargestFile = 4u << 20;  // what lies beyond is not read
constexpr uint32_t kFirstImageSize = 16384;  // room for the entries written, doubled as needed
constexpr uint32_t kCopyPiece = 65536;

// The name of a writer's temporary file: path, ".", the writer's process id and ".new". Writers
// never share one, and what a killed writer left behind is known to be nobody's.
bool TempName(const char* path, char* buffer) {
    char digits[12];
    int n = 0;
    uint32_t pid = Os_ProcessId();
    do {
        digits[n++] = char('0' + pid % 10);
        pid /= 10;
    } while (pid != 0);
    char suffix[32] = ".";
    for (int i = 1; n > 0; ++i) suffix[i] = digits[--n];
    Str_Append(suffix, kPrefsTempSuffix);
    return Derived(path, suffix, buffer);
}

// A short wait before reading again: a replace or a writer in another process is over within it.
void Pause(int attempt) {
    Os_Sleep(uint32_t(5 * attempt));
}

// The lock that every writer of a path holds from reading the file it merges with until its own
// file is in place, so that two writers never merge with the same file. Readers take no lock:
// a file is replaced in one step. A lock that cannot be had in time (a process stopped while
// holding it, a folder without the right to make the lock file) does not stop the write.
class WriterLock {
   public:
    WriterLock(UiState* state, const char* path) {
        char lockPath[kFLPathSize];
        if (Derived(path, kPrefsLockSuffix, lockPath))
            lock_ = Os_LockFile(lockPath, kLockWaitMillis);
        if (lock_ == 0) Ui_Debug_Log(Diagnostics(state), "Ui_Prefs: writing without the lock");
    }
    ~WriterLock() { Os_UnlockFile(lock_); }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

   private:
    intptr_t lock_ = 0;
};

// Removes what writers of path that were killed part-way left behind.
void RemoveOrphans(UiState* state, const char* path) {
    char folder[kFLPathSize], prefix[kFLPathSize];
    Ui_Path_Folder(path, folder);
    if (folder[0] == 0 || !Derived(Ui_Path_FileName(path), ".", prefix)) return;
    int removed = Os_RemoveOrphans(folder, prefix, kPrefsTempSuffix);
    if (removed > 0)
        Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs: removed %d files of writers that are gone",
                      removed);
}

// The whole open file (at most kLargestFile bytes) in a block of its own.
int32_t ReadWhole(FLFile* file, MemBlock<uint8_t>* bytes, uint32_t* size) {
    int32_t end = 0;
    int32_t status = FLSeek(file, 0, 2);
    if (status == kStatusOk) status = FLTell(file, &end);
    if (status == kStatusOk) status = FLSeek(file, 0, 0);
    if (status != kStatusOk) return status;
    *size = end < 0 ? 0 : uint32_t(end) > kLargestFile ? kLargestFile : uint32_t(end);
    if (!bytes->Allocate(*size > 0 ? *size : 1)) return kStatusNoMemory;
    if (*size == 0) return kStatusOk;
    // A file cut shorter while it was read reads as one cut short (-5).
    int32_t n = int32_t(*size);
    return FLRead(file, bytes->get(), &n, 1);
}

// The file at path as it is now, when it can be read and its entries check; nothing otherwise
// (none to merge with). -3 when there is not the memory to read it.
int32_t ReadCurrent(const char* path, MemBlock<uint8_t>* bytes, uint32_t* size) {
    *size = 0;
    FLSpec spec;
    FLSpecDisk(&spec, path);
    FLFile file;
    if (NotAFile(path) || FLOpen(&file, &spec, kFLRead) != kStatusOk) return kStatusOk;
    uint32_t end = 0;
    int32_t status = ReadWhole(&file, bytes, size);
    FLClose(&file);
    if (status == kStatusNoMemory) return status;
    if (status == kStatusOk) status = Ui_Prefs_CheckBytes(bytes->get(), *size, &end);
    *size = status == kStatusOk ? end : 0;
    if (status != kStatusOk) bytes->Reset();
    return kStatusOk;
}

// The entries the callback writes, with the version and end entries, in a block of their own.
int32_t WriteImage(UiState* state, UiPrefsWriteCallback callback, void* context,
                   MemBlock<uint8_t>* bytes, uint32_t* size) {
    for (uint32_t capacity = kFirstImageSize;; capacity *= 2) {
        if (!bytes->Allocate(capacity)) return kStatusNoMemory;
        FLSpec spec;
        FLSpecMemory(&spec, bytes->get(), int32_t(capacity));
        FLFile file;
        int32_t status = FLOpen(&file, &spec, kFLWrite);
        if (status != kStatusOk) return status;
        status = WriteEntries(state, &file, callback, context);
        int32_t written = 0;
        FLTell(&file, &written);
        FLClose(&file);
        // A memory file that filled up to its last byte was too small; any other failure is the
        // writer's own.
        if (status == kStatusFileWrite && uint32_t(written) == capacity &&
            capacity < kLargestFile) {
            continue;
        }
        *size = uint32_t(written);
        return status;
    }
}

// What this call read from the file or wrote to it last, kept in the call state for the next
// write (prefs_merge.h), in place of what was kept before. Takes over block; with a null state
// nothing is kept.
void Remember(UiState* state, const char* path, uint8_t* block, uint32_t size) {
    if (state == nullptr) {
        Mem_Free(block);
        return;
    }
    Ui_Prefs_Forget(state);
    Str_CopyBounded(state->prefsSeenPath, sizeof state->prefsSeenPath, path);
    state->prefsSeen = block;
    state->prefsSeenSize = size;
}

bool Seen(UiState* state, const char* path) {
    return state != nullptr && state->prefsSeen != nullptr &&
           Str_Compare(state->prefsSeenPath, path) == 0;
}

// The entries to write: the callback's, merged with the file as it is now when this call read
// the file before (prefs_merge.h). *bytes points into mine or merged.
int32_t EntriesToWrite(UiState* state, const char* path, UiPrefsWriteCallback callback,
                       void* context, MemBlock<uint8_t>* mine, uint32_t* mineSize,
                       MemBlock<uint8_t>* merged, const uint8_t** bytes, uint32_t* size) {
    int32_t status = WriteImage(state, callback, context, mine, mineSize);
    if (status != kStatusOk) return status;
    *bytes = mine->get();
    *size = *mineSize;
    if (!Seen(state, path)) return kStatusOk;
    // Without the memory to merge, nothing is written: the record written whole could put back
    // settings another program changed meanwhile.
    MemBlock<uint8_t> current;
    uint32_t currentSize = 0;
    status = ReadCurrent(path, &current, &currentSize);
    if (status != kStatusOk) return status;
    if (!merged->Allocate(*mineSize + currentSize)) return kStatusNoMemory;
    uint32_t mergedSize = 0;
    if (Ui_Prefs_Merge(state->prefsSeen, state->prefsSeenSize, mine->get(), *mineSize,
                       current.get(), currentSize, merged->get(), &mergedSize) == kStatusOk) {
        *bytes = merged->get();
        *size = mergedSize;
    }
    return kStatusOk;
}

// Writes the file (Ui_Prefs_WriteAll): the entries go into the writer's temporary file, which is
// renamed over path in one step. Interrupt signals are held back meanwhile, so that a host
// ending its process on one cannot leave the temporary file behind. With onlyIfMissing, a file
// that another process made in the meantime is left alone and *appeared set.
int32_t WritePrefs(UiState* state, const char* path, const void* fileInfo,
                   UiPrefsWriteCallback callback, void* context, bool onlyIfMissing,
                   bool* appeared) {
    // Refused by the length, not by the names this process would make: a path that works for one
    // process id and not for a longer one would fail at random.
    char tempPath[kFLPathSize];
    if (!Ui_Prefs_PathFits(path) || !TempName(path, tempPath)) return kStatusProblem;
    WriterLock lock(state, path);
    FLSpec spec, tempSpec;
    FLSpecDisk(&spec, path);
    FLSpecDisk(&tempSpec, tempPath);
    if (onlyIfMissing && FLExists(&spec)) {
        *appeared = true;
        return kStatusOk;
    }
    RemoveOrphans(state, path);
    OsHeldInterrupts held;
    Os_HoldInterrupts(&held);
    FLFile file;
    int32_t status = FLOpen(&file, &tempSpec, kFLWrite);
    if (status != kStatusOk) {
        Os_ReleaseInterrupts(&held);
        Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_WriteAll: FLOpen error %d", status);
        LogPath(state, path);
        return status;
    }
    Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_WriteAll: FLOpen success");
    MemBlock<uint8_t> mine, merged;
    uint32_t mineSize = 0, size = 0;
    const uint8_t* bytes = nullptr;
    status =
        EntriesToWrite(state, path, callback, context, &mine, &mineSize, &merged, &bytes, &size);
    if (status == kStatusOk) {
        int32_t n = int32_t(size);
        status = FLWrite(&file, bytes, &n);
    }
    int32_t closed = FLClose(&file);
    if (status == kStatusOk) status = closed;
    if (status == kStatusOk) {
        // Only a full disk is told as one: the rename fails for a file in use, a folder that went
        // away or a refused permission, and "room on the disk" would send the user the wrong way.
        int error = Os_ReplaceFile(tempPath, path);
        if (error != 0) {
            Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_WriteAll: rename error %d", error);
            status = Os_ErrorIsDiskFull(error) ? kStatusFileWrite : kStatusError;
        }
    }
    if (status != kStatusOk) FLDelete(&tempSpec);
    Os_ReleaseInterrupts(&held);
    if (status != kStatusOk) return status;
    Remember(state, path, mine.Release(), mineSize);
    int32_t info = Ui_File_SetInfo(state, path, fileInfo);
    if (info != kStatusOk)
        Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_WriteAll: Ui_File_SetInfo returned %d", info);
    return kStatusOk;
}

// Hands the entries of a whole file in memory to the callback (Ui_Prefs_ReadAll, step 3).
int32_t ReadEntries(UiState* state, uint8_t* bytes, uint32_t size, UiPrefsReadCallback readCallback,
                    void* context) {
    FLFile file;
    FLSpec spec;
    FLSpecMemory(&spec, bytes, int32_t(size));
    // An empty file has no block to stand for; it ends before its first entry.
    int32_t status = size > 0 ? FLOpen(&file, &spec, kFLRead) : kStatusFileRead;
    if (status != kStatusOk) {
        Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: Ui___Prefs_ReadEntry error");
        Ui_Debug_Log(Diagnostics(state), "tag = 0, type = 0, count = 0");
        return status;
    }
    for (;;) {
        uint16_t tag, type;
        uint32_t count;
        void* data = nullptr;
        status = Ui___Prefs_ReadEntry(&file, &tag, &type, &count, &data);
        if (status != kStatusOk) {
            Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: Ui___Prefs_ReadEntry error");
            char line[96];
            Str_FormatN(line, sizeof line, "tag = %d, type = %d, count = %ld", int(tag), int(type),
                        long(count));
            Ui_Debug_Log(Diagnostics(state), line);
            break;
        }
        bool ended = false;
        if (tag == kPrefsTagVersion) {
            if (type != kPrefsTypeInt32 || count != 1) status = kStatusFormat;
            Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: version");
            if (status != kStatusOk) {
                Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: tag error");
                Mem_Free(data);
                break;
            }
        } else if (tag == kPrefsTagEnd) {
            ended = true;
        }
        if (readCallback != nullptr) {
            status = readCallback(context, state, tag, type, count, data);
            if (status != kStatusOk) ended = true;
        }
        Mem_Free(data);
        if (ended) break;
    }
    FLClose(&file);
    return status;
}

// Copies the file at from to the file at to, replacing it in one step.
int32_t CopyReplacing(UiState* state, const char* from, const char* tempPath, const char* to) {
    MemBlock<uint8_t> piece(kCopyPiece);
    if (!piece) return kStatusNoMemory;
    FLSpec fromSpec, tempSpec;
    FLSpecDisk(&fromSpec, from);
    FLSpecDisk(&tempSpec, tempPath);
    FLFile in, out;
    int32_t status = FLOpen(&in, &fromSpec, kFLRead);
    if (status != kStatusOk) return status;
    OsHeldInterrupts held;
    Os_HoldInterrupts(&held);
    status = FLOpen(&out, &tempSpec, kFLWrite);
    if (status == kStatusOk) {
        for (;;) {
            int32_t n = int32_t(kCopyPiece);
            int32_t read = FLRead(&in, piece.get(), &n, 0);
            if (read != kStatusOk || n == 0) break;  // the end, or nothing more to be had
            status = FLWrite(&out, piece.get(), &n);
            if (status != kStatusOk) break;
        }
        int32_t closed = FLClose(&out);
        if (status == kStatusOk) status = closed;
        int error = status == kStatusOk ? Os_ReplaceFile(tempPath, to) : 0;
        if (error != 0) {
            Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_SetAside: rename error %d", error);
            status = kStatusError;
        }
        if (status != kStatusOk) FLDelete(&tempSpec);
    }
    Os_ReleaseInterrupts(&held);
    FLClose(&in);
    return status;
}
}  // namespace

uint32_t Ui_Prefs_FloatToBin(float x) {
    return PackFloat(x, 8388608.0, -8388608, 8388607);
}

float Ui_Prefs_BinToFloat(uint32_t word) {
    int32_t e, m;
    UnpackFloat(word, 8388607, &e, &m);
    return float(std::ldexp(m * (1.0 / 8388608.0), e));
}

uint32_t Ui_Prefs_FloatToDec(float x) {
    return PackFloat(x, 1000000.0, -999999, 999999);
}

float Ui_Prefs_DecToFloat(uint32_t word) {
    int32_t e, m;
    UnpackFloat(word, 999999, &e, &m);
    return float(std::ldexp(m * 1e-6, e));
}

int32_t Ui_Prefs_WriteEntry(UiState*, FLFile* file, uint16_t tag, uint16_t type, uint32_t count,
                            const void* data) {
    uint32_t size = Ui_Prefs_ElementSize(type);
    if (file == nullptr || size == 0 || (count > 0 && data == nullptr)) return kStatusProblem;
    uint64_t bytes = uint64_t(count) * size;
    if (bytes > 0x7FFFFFFF) return kStatusProblem;
    uint8_t head[kHeadSize];
    uint8_t* p = FL_PutU16(head, tag);
    p = FL_PutU16(p, type);
    FL_PutU32(p, count);
    int32_t n = kHeadSize;
    int32_t status = FLWrite(file, head, &n);
    if (status != kStatusOk || count == 0) return status;

    MemBlock<uint8_t> stored{uint32_t(bytes)};
    if (!stored) return kStatusNoMemory;
    const auto* in = static_cast<const uint8_t*>(data);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* out = stored.get() + i * size;
        switch (type) {
            case kPrefsTypeBytes:
                out[0] = in[i];
                break;
            case kPrefsTypeInt16: {
                uint16_t v;
                std::memcpy(&v, in + 2 * i, 2);
                FL_PutU16(out, v);
                break;
            }
            case kPrefsTypeInt32: {
                uint32_t v;
                std::memcpy(&v, in + 4 * i, 4);
                FL_PutU32(out, v);
                break;
            }
            default: {
                float v;
                std::memcpy(&v, in + 4 * i, 4);
                FL_PutU32(out, type == kPrefsTypeFloatBin ? Ui_Prefs_FloatToBin(v)
                                                          : Ui_Prefs_FloatToDec(v));
                break;
            }
        }
    }
    n = int32_t(bytes);
    return FLWrite(file, stored.get(), &n);
}

int32_t Ui___Prefs_ReadEntry(FLFile* file, uint16_t* tag, uint16_t* type, uint32_t* count,
                             void** data) {
    if (file == nullptr || tag == nullptr || type == nullptr || count == nullptr)
        return kStatusProblem;
    *tag = 0;
    *type = 0;
    *count = 0;
    if (data != nullptr) *data = nullptr;
    uint8_t head[kHeadSize];
    int32_t n = kHeadSize;
    int32_t status = FLRead(file, head, &n, 1);
    if (n >= 2) FL_GetU16(head, tag);
    if (n >= 4) FL_GetU16(head + 2, type);
    if (n >= 8) FL_GetU32(head + 4, count);
    if (status != kStatusOk) return status;
    uint32_t size = Ui_Prefs_ElementSize(*type);
    if (size == 0) return kStatusFormat;
    uint64_t bytes = uint64_t(*count) * size;
    if (bytes == 0) return kStatusOk;
    int64_t remaining = 0;
    status = Remaining(file, &remaining);
    if (status != kStatusOk) return status;
    if (int64_t(bytes) > remaining) return kStatusFileRead;  // the file ends inside the entry
    if (data == nullptr) return FLSeek(file, int32_t(bytes), 1);

    MemBlock<uint8_t> block{uint32_t(bytes)};
    if (!block) return kStatusNoMemory;
    n = int32_t(bytes);
    status = FLRead(file, block.get(), &n, 1);
    if (status != kStatusOk) return status;
    // Converted in place: every element keeps its size in memory.
    for (uint32_t i = 0; i < *count; ++i) {
        uint8_t* p = block.get() + i * size;
        if (*type == kPrefsTypeInt16) {
            uint16_t v;
            FL_GetU16(p, &v);
            std::memcpy(p, &v, 2);
        } else if (*type != kPrefsTypeBytes) {
            uint32_t v;
            FL_GetU32(p, &v);
            if (*type == kPrefsTypeFloatBin || *type == kPrefsTypeFloatDec) {
                float f =
                    *type == kPrefsTypeFloatBin ? Ui_Prefs_BinToFloat(v) : Ui_Prefs_DecToFloat(v);
                std::memcpy(p, &f, 4);
            } else {
                std::memcpy(p, &v, 4);
            }
        }
    }
    *data = block.Release();
    return kStatusOk;
}

int32_t Ui_Prefs_WriteAll(UiState* state, const char* path, const void* fileInfo,
                          UiPrefsWriteCallback writePrefsCallback, void* context) {
    bool appeared = false;
    return WritePrefs(state, path, fileInfo, writePrefsCallback, context, false, &appeared);
}

int32_t Ui_Prefs_ReadAll(UiState* state, const char* path, const void* fileInfo,
                         UiPrefsReadCallback readCallback, UiPrefsWriteCallback writePrefsCallback,
                         void* context) {
    if (path == nullptr) return kStatusProblem;
    FLSpec spec;
    FLSpecDisk(&spec, path);
    MemBlock<uint8_t> before;  // the bytes of the attempt before, when they did not check
    uint32_t beforeSize = 0;
    for (int attempt = 1;; ++attempt) {
        const bool last = attempt == kReadAttempts;
        FLFile file;
        // A folder opens for reading on some systems and then reads as a damaged file; it is
        // something that is not a preferences file, and is refused as one that cannot be opened.
        const bool notAFile = NotAFile(path);
        int32_t status = notAFile ? kStatusFileOpen : FLOpen(&file, &spec, kFLRead);
        if (status != kStatusOk) {
            const bool exists = FLExists(&spec);
            // On Windows a file that another process is replacing can refuse to open for a
            // moment: it is tried again before it counts as one that cannot be opened.
            if (exists && !notAFile && !last) {
                Pause(attempt);
                continue;
            }
            Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_ReadAll: FLOpen error %d", status);
            LogPath(state, path);
            if (exists) {
                // Writing defaults would destroy what the user may still need (a file that only
                // lacks permissions, a folder in its place, a link to settings kept elsewhere
                // that are missing now): it is the caller's failure instead.
                Ui_Debug_Log(Diagnostics(state), "The file exists but cannot be read.");
                return status;
            }
            Ui_Debug_Log(Diagnostics(state), "Write out defaults instead.");
            bool appeared = false;
            status =
                WritePrefs(state, path, fileInfo, writePrefsCallback, context, true, &appeared);
            // Another process wrote the first file meanwhile: its settings are the ones to read.
            if (appeared) {
                if (!last) continue;
                status = kStatusFileOpen;
            }
            if (status != kStatusOk)
                Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_WriteAll error %d", status);
            return status;
        }
        Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: FLOpen success");
        MemBlock<uint8_t> bytes;
        uint32_t size = 0;
        status = ReadWhole(&file, &bytes, &size);
        FLClose(&file);
        // A file that does not check may be one caught while another program wrote it in
        // place (or cut it shorter while it was read): it is read again until it checks or reads
        // the same twice, and only then is it damaged. (This program's writers replace the file
        // in one step, so a reader never sees theirs part-way.)
        if (status != kStatusOk && !(Ui_Prefs_IsDamage(status) && !last)) return status;
        uint32_t end = 0;
        const int32_t check =
            status != kStatusOk ? status : Ui_Prefs_CheckBytes(bytes.get(), size, &end);
        const bool same = status == kStatusOk && before && beforeSize == size &&
                          (size == 0 || std::memcmp(before.get(), bytes.get(), size) == 0);
        if (Ui_Prefs_IsDamage(check) && !last && !same) {
            Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: incomplete, reading again");
            before = std::move(bytes);
            beforeSize = status == kStatusOk ? size : 0;
            if (status != kStatusOk) before.Reset();
            Pause(attempt);
            continue;
        }
        status = ReadEntries(state, bytes.get(), size, readCallback, context);
        // A file read whole is what a later write of this call merges with; one that ended
        // early is rewritten from the record instead.
        if (check == kStatusOk && status == kStatusOk) Remember(state, path, bytes.Release(), end);
        return status;
    }
}

void Ui_Prefs_Forget(UiState* state) {
    if (state == nullptr) return;
    state->prefsSeen = static_cast<uint8_t*>(Mem_Free(state->prefsSeen));
    state->prefsSeenSize = 0;
    state->prefsSeenPath[0] = 0;
}

bool Ui_Prefs_PathFits(const char* path) {
    return path != nullptr && Str_Length(path) <= size_t(kPrefsPathMax);
}

int32_t Ui_Prefs_SetToPath(UiState* state, const char* name, char* buffer) {
    if (name == nullptr || buffer == nullptr) return kStatusProblem;
    char folder[kPathSize];
    for (int attempt = 0; attempt < 2; ++attempt) {
        int32_t status = attempt == 0 ? Ui_Path_SetToPrefFolder(state, folder, kPathSize)
                                      : Ui_Path_SetToCurrentFolder(folder);
        if (status != kStatusOk) continue;
        if (Derived(folder, name, buffer) && Ui_Prefs_PathFits(buffer)) return kStatusOk;
        Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_SetToPath: folder too long for the file");
        LogPath(state, folder);
    }
    Str_CopyBounded(buffer, kFLPathSize, name);
    buffer[kFLPathSize - 1] = 0;
    return kStatusError;
}

bool Ui_Prefs_IsDamage(int32_t status) {
    return status == kStatusFileRead || status == kStatusFileSeek || status == kStatusFormat;
}

int32_t Ui_Prefs_SetAside(UiState* state, const char* path, char* asidePath, int32_t capacity) {
    if (path == nullptr) return kStatusProblem;
    char aside[kFLPathSize], tempPath[kFLPathSize];
    if (!Ui_Prefs_PathFits(path) || !Derived(path, kPrefsDamagedSuffix, aside) ||
        !TempName(path, tempPath)) {
        return kStatusProblem;
    }
    // A copy, not a rename: the damaged file stays where it is until the fresh one replaces it,
    // so that another program reading meanwhile finds it damaged as well rather than missing
    // (and writing defaults over the settings of the fresh file).
    int32_t status;
    {
        WriterLock lock(state, path);
        status = CopyReplacing(state, path, tempPath, aside);
    }
    if (status != kStatusOk) {
        Ui_Debug_LogF(Diagnostics(state), "Ui_Prefs_SetAside: copy error %d", status);
        LogPath(state, path);
        return kStatusError;
    }
    if (asidePath != nullptr && capacity > 0) {
        Str_CopyBounded(asidePath, size_t(capacity), aside);
        asidePath[capacity - 1] = 0;
    }
    Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_SetAside: damaged file kept as");
    LogPath(state, aside);
    return kStatusOk;
}
