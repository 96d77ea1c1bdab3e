// The tagged preferences file; see prefs_file.h.
#include "platform/prefs_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/ui_state.h"

namespace {

constexpr uint32_t kHeadSize = 8;

uint8_t Diagnostics(UiState* state) {
    return state != nullptr ? state->diagnostics : 0;
}

UI_FORMAT_CHECK(2, 3) void Log(UiState* state, const char* format, ...) {
    char line[128];
    va_list args;
    va_start(args, format);
    Ui_FormatStringV(line, sizeof line, format, args);
    va_end(args);
    Ui_Debug_Log(Diagnostics(state), line);
}

void LogPath(UiState* state, const char* path) {
    char line[256];
    Str_CopyBounded(line, sizeof line, path);
    Ui_Debug_Log(Diagnostics(state), line);
}

// Whether something other than a file is at path (a folder, a device).
bool NotAFile(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && !S_ISREG(st.st_mode);
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

int32_t WriteEntries(UiState* state, FLFile* file, UiPrefsWriteCallback callback) {
    int32_t version = kPrefsFileVersion;
    int32_t status =
        Ui_Prefs_WriteEntry(state, file, kPrefsTagVersion, kPrefsTypeInt32, 1, &version);
    if (status != kStatusOk) {
        Log(state, "Ui_Prefs_WriteAll: Ui_Prefs_WriteEntry 1 returned %d", status);
        return status;
    }
    if (callback != nullptr) {
        status = callback(state, file);
        if (status != kStatusOk) {
            Log(state, "Ui_Prefs_WriteAll: writePrefsCallback returned %d", status);
            return status;
        }
    }
    status = Ui_Prefs_WriteEntry(state, file, kPrefsTagEnd, kPrefsTypeBytes, 0, nullptr);
    if (status != kStatusOk) {
        Log(state, "Ui_Prefs_WriteAll: Ui_Prefs_WriteEntry 3 returned %d", status);
    }
    return status;
}

}  // namespace

uint32_t Ui_Prefs_ElementSize(uint16_t type) {
    switch (type) {
        case kPrefsTypeBytes:
            return 1;
        case kPrefsTypeInt16:
            return 2;
        case kPrefsTypeInt32:
        case kPrefsTypeFloatBin:
        case kPrefsTypeFloatDec:
            return 4;
        default:
            return 0;
    }
}

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
                          UiPrefsWriteCallback writePrefsCallback) {
    if (path == nullptr) return kStatusProblem;
    // The entries go to a new file beside the old one, which is replaced only when every entry
    // was written: a failure part-way leaves the user's previous settings intact.
    char tempPath[kFLPathSize];
    if (!Derived(path, kPrefsTempSuffix, tempPath)) return kStatusProblem;
    FLSpec spec;
    FLSpecDisk(&spec, tempPath);
    FLFile file;
    int32_t status = FLOpen(&file, &spec, kFLWrite);
    if (status != kStatusOk) {
        Log(state, "Ui_Prefs_WriteAll: FLOpen error %d", status);
        LogPath(state, path);
        return status;
    }
    Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_WriteAll: FLOpen success");
    status = WriteEntries(state, &file, writePrefsCallback);
    int32_t closed = FLClose(&file);
    if (status == kStatusOk) status = closed;
    if (status == kStatusOk && Os_ReplaceFile(tempPath, path) != 0) status = kStatusFileWrite;
    if (status != kStatusOk) {
        FLDelete(&spec);
        return status;
    }
    int32_t info = Ui_File_SetInfo(state, path, fileInfo);
    if (info != kStatusOk) Log(state, "Ui_Prefs_WriteAll: Ui_File_SetInfo returned %d", info);
    return kStatusOk;
}

int32_t Ui_Prefs_ReadAll(UiState* state, const char* path, const void* fileInfo,
                         UiPrefsReadCallback readCallback,
                         UiPrefsWriteCallback writePrefsCallback) {
    if (path == nullptr) return kStatusProblem;
    FLSpec spec;
    FLSpecDisk(&spec, path);
    FLFile file;
    // A folder opens for reading on some systems and then reads as a damaged file; it is
    // something that is not a preferences file, and is refused as one that cannot be opened.
    int32_t status = NotAFile(path) ? kStatusFileOpen : FLOpen(&file, &spec, kFLRead);
    if (status != kStatusOk) {
        Log(state, "Ui_Prefs_ReadAll: FLOpen error %d", status);
        LogPath(state, path);
        if (FLExists(&spec)) {
            // Writing defaults would destroy what the user may still need (a file that only
            // lacks permissions, a folder in its place, a link to settings kept elsewhere that
            // are missing now): it is the caller's failure instead.
            Ui_Debug_Log(Diagnostics(state), "The file exists but cannot be read.");
            return status;
        }
        Ui_Debug_Log(Diagnostics(state), "Write out defaults instead.");
        status = Ui_Prefs_WriteAll(state, path, fileInfo, writePrefsCallback);
        if (status != kStatusOk) Log(state, "Ui_Prefs_WriteAll error %d", status);
        return status;
    }
    Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: FLOpen success");
    for (;;) {
        uint16_t tag, type;
        uint32_t count;
        void* data = nullptr;
        status = Ui___Prefs_ReadEntry(&file, &tag, &type, &count, &data);
        if (status != kStatusOk) {
            Ui_Debug_Log(Diagnostics(state), "Ui_Prefs_ReadAll: Ui___Prefs_ReadEntry error");
            char line[96];
            Ui_FormatStringN(line, sizeof line, "tag = %d, type = %d, count = %ld", int(tag),
                             int(type), long(count));
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
            status = readCallback(state, tag, type, count, data);
            if (status != kStatusOk) ended = true;
        }
        Mem_Free(data);
        if (ended) break;
    }
    FLClose(&file);
    return status;
}

bool Ui_Prefs_PathFits(const char* path) {
    if (path == nullptr) return false;
    size_t longest = sizeof kPrefsDamagedSuffix > sizeof kPrefsTempSuffix
                         ? sizeof kPrefsDamagedSuffix
                         : sizeof kPrefsTempSuffix;
    return Str_Length(path) + longest <= size_t(kFLPathSize);
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
    char aside[kFLPathSize];
    if (!Derived(path, kPrefsDamagedSuffix, aside)) return kStatusProblem;
    // A rename keeps the damaged bytes exactly and replaces an older copy in one step.
    int error = Os_ReplaceFile(path, aside);
    if (error != 0) {
        Log(state, "Ui_Prefs_SetAside: rename error %d", error);
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
