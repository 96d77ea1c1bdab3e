// The file layer over disk files and memory blocks; see file.h.
#include "platform/file.h"

#include <cstring>

#include "platform/mem.h"
#include "platform/os.h"

namespace {

uint32_t gOptionNoDisk = 0;   // option 3
uint32_t gOptionLibrary = 0;  // option 4
uint32_t gOptionBuffer = 0;   // option 6

void ResetRecord(FLFile* file) {
    file->kind = kFLKindNotOpen;
    file->mode = 0;
    file->path[0] = 0;
    file->position = 0;
    file->stream = nullptr;
    file->base = nullptr;
    file->size = 0;
    file->end = 0;
}

bool IsMemory(const FLFile* file) {
    return file->kind == kFLKindMemory;
}

// The end a seek with origin 2 refers to: the block's size for a file opened for reading, the
// data written so far for a write-only file.
int32_t MemoryEnd(const FLFile* file) {
    return file->mode == kFLWrite ? file->end : file->size;
}

}  // namespace

void FLSpecDisk(FLSpec* spec, const char* path) {
    if (spec == nullptr) return;
    std::memset(spec->bytes, 0, sizeof spec->bytes);
    Str_CopyBounded(reinterpret_cast<char*>(spec->bytes), kFLPathSize, path);
}

void FLSpecMemory(FLSpec* spec, void* base, int32_t size) {
    if (spec == nullptr) return;
    std::memset(spec->bytes, 0, sizeof spec->bytes);
    spec->bytes[1] = 'b';
    uint64_t address = reinterpret_cast<uintptr_t>(base);
    std::memcpy(spec->bytes + 8, &address, 8);
    std::memcpy(spec->bytes + 16, &size, 4);
}

int32_t FLOpen(FLFile* file, const FLSpec* spec, uint32_t mode) {
    if (file == nullptr || spec == nullptr || mode < kFLRead || mode > kFLReadWrite) {
        return kStatusProblem;
    }
    ResetRecord(file);
    const unsigned char* b = spec->bytes;
    if (b[0] != 0) {
        if (gOptionNoDisk == 1) return kStatusProblem;
        if (gOptionNoDisk != 0) return kStatusError;
        Str_CopyBounded(file->path, kFLPathSize, reinterpret_cast<const char*>(b));
        file->kind = kFLKindDisk;
    } else if (b[1] == 'b') {
        uint64_t address;
        int32_t size;
        std::memcpy(&address, b + 8, 8);
        std::memcpy(&size, b + 16, 4);
        if (address == 0 || size < 1) return kStatusProblem;
        file->kind = kFLKindMemory;
        file->base = reinterpret_cast<uint8_t*>(uintptr_t(address));
        file->size = size;
        file->end = (mode & kFLRead) ? size : 0;
    } else {
        // The old memory form ("m") carries a 32-bit address, which cannot hold a pointer of
        // this platform; it is refused like every other unknown designation.
        return kStatusProblem;
    }
    file->mode = mode;
    file->position = 0;
    if (file->kind == kFLKindDisk) {
        const char* how = mode == kFLRead ? "rb" : mode == kFLWrite ? "wb" : "r+b";
        file->stream = Os_OpenFile(file->path, how);
        if (file->stream == nullptr && mode == kFLReadWrite)
            file->stream = Os_OpenFile(file->path, "w+b");
        if (file->stream == nullptr) {
            ResetRecord(file);
            return kStatusFileOpen;
        }
        if (gOptionBuffer > 0) std::setvbuf(file->stream, nullptr, _IOFBF, gOptionBuffer);
    }
    return kStatusOk;
}

bool FLExists(const FLSpec* spec) {
    if (spec == nullptr || spec->bytes[0] == 0) return false;
    char path[kFLPathSize];
    std::memcpy(path, spec->bytes, sizeof path - 1);
    path[sizeof path - 1] = 0;
    return Os_PathKind(path) != kOsNothing;
}

int32_t FLClose(FLFile* file) {
    if (file == nullptr) return kStatusProblem;
    int32_t status = kStatusOk;
    if (file->kind == kFLKindDisk) {
        if (file->stream == nullptr) {
            status = kStatusProblem;
        } else if (std::fclose(file->stream) != 0) {
            // Buffered data that could not be written out is a write failure.
            status = kStatusFileWrite;
        }
    } else if (!IsMemory(file)) {
        status = kStatusProblem;
    }
    ResetRecord(file);
    return status;
}

int32_t FLDelete(const FLSpec* spec) {
    if (spec == nullptr) return kStatusProblem;
    if (spec->bytes[0] != 0) {
        Os_RemoveFile(reinterpret_cast<const char*>(spec->bytes));
        return kStatusOk;
    }
    return spec->bytes[1] == 'b' ? kStatusOk : kStatusProblem;
}

void FLCloseAndDelete(FLFile* file) {
    if (file == nullptr) return;
    FLSpec spec;
    FLSpecDisk(&spec, file->path);
    bool disk = file->kind == kFLKindDisk;
    if (FLClose(file) == kStatusOk && disk) FLDelete(&spec);
}

int32_t FLTell(FLFile* file, int32_t* position) {
    if (file == nullptr || position == nullptr) return kStatusProblem;
    if (IsMemory(file)) {
        *position = file->position;
        return kStatusOk;
    }
    if (file->kind != kFLKindDisk || file->stream == nullptr) return kStatusProblem;
    long p = std::ftell(file->stream);
    if (p < 0 || p > 0x7FFFFFFF) return kStatusFileSeek;
    *position = int32_t(p);
    return kStatusOk;
}

int32_t FLRead(FLFile* file, void* buffer, int32_t* count, uint8_t exact) {
    if (file == nullptr || buffer == nullptr || count == nullptr || *count < 0)
        return kStatusProblem;
    if (*count == 0) return kStatusOk;
    int32_t wanted = *count;
    if (IsMemory(file)) {
        int32_t available = file->size - file->position;
        int32_t n = wanted < available ? wanted : available;
        if (n < 0) n = 0;
        Mem_Copy(buffer, file->base + file->position, size_t(n));
        file->position += n;
        *count = n;
        return (exact == 1 && n < wanted) ? kStatusFileRead : kStatusOk;
    }
    if (file->kind != kFLKindDisk || file->stream == nullptr) return kStatusProblem;
    size_t n = std::fread(buffer, 1, size_t(wanted), file->stream);
    *count = int32_t(n);
    if (n == 0) return kStatusFileRead;
    return (exact == 1 && int32_t(n) < wanted) ? kStatusFileRead : kStatusOk;
}

int32_t FLWrite(FLFile* file, const void* buffer, int32_t* count) {
    if (file == nullptr || buffer == nullptr || count == nullptr || *count < 0)
        return kStatusProblem;
    if (*count == 0) return kStatusOk;
    int32_t wanted = *count;
    if (IsMemory(file)) {
        int32_t room = file->size - file->position;
        int32_t n = wanted < room ? wanted : room;
        if (n < 0) n = 0;
        Mem_Copy(file->base + file->position, buffer, size_t(n));
        file->position += n;
        if (file->position > file->end) file->end = file->position;
        *count = n;
        return n < wanted ? kStatusFileWrite : kStatusOk;
    }
    if (file->kind != kFLKindDisk || file->stream == nullptr) return kStatusProblem;
    size_t n = std::fwrite(buffer, 1, size_t(wanted), file->stream);
    *count = int32_t(n);
    return int32_t(n) < wanted ? kStatusFileWrite : kStatusOk;
}

int32_t FLSeek(FLFile* file, int32_t offset, int32_t origin) {
    if (file == nullptr) return kStatusProblem;
    if (IsMemory(file)) {
        int64_t from = origin == 0   ? 0
                       : origin == 1 ? file->position
                       : origin == 2 ? MemoryEnd(file)
                                     : -1;
        if (from < 0) return kStatusProblem;
        int64_t target = from + offset;
        if (target < 0 || target > file->size) return kStatusError;
        file->position = int32_t(target);
        if (file->position > file->end) file->end = file->position;
        return kStatusOk;
    }
    if (file->kind != kFLKindDisk || file->stream == nullptr) return kStatusProblem;
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0) return kStatusProblem;
    return std::fseek(file->stream, offset, whence) == 0 ? kStatusOk : kStatusFileSeek;
}

int32_t FLReadLine(FLFile* file, char* buffer, int32_t* capacity) {
    if (file == nullptr || buffer == nullptr || capacity == nullptr || *capacity < 3) {
        return kStatusProblem;
    }
    int32_t start;
    int32_t status = FLTell(file, &start);
    if (status != kStatusOk) return status;
    // Room is left for the terminator and the line feed that marks a complete line.
    int32_t n = *capacity - 2;
    status = FLRead(file, buffer, &n, 0);
    if (status != kStatusOk) return status;
    buffer[n] = 0;
    int32_t cut = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (buffer[i] == '\r' || buffer[i] == '\n') {
            cut = i;
            break;
        }
    }
    int32_t consumed = n;
    if (cut >= 0) {
        char first = buffer[cut];
        consumed = cut + 1;
        if (consumed < n && (buffer[consumed] == '\r' || buffer[consumed] == '\n') &&
            buffer[consumed] != first) {
            ++consumed;
        }
        buffer[cut] = '\n';
        buffer[cut + 1] = 0;
        *capacity = cut + 1;
    } else {
        *capacity = n;
    }
    return FLSeek(file, start + consumed, 0);
}

int32_t FLWriteText(FLFile* file, const char* text) {
    if (file == nullptr || text == nullptr) return kStatusProblem;
    size_t length = std::strlen(text);
    size_t feeds = 0;
    for (size_t i = 0; i < length; ++i) feeds += text[i] == '\n';
    size_t total = length + feeds;
    if (total > 0x7FFFFFF0u) return kStatusProblem;
    if (total == 0) return kStatusOk;
    MemBlock<char> expanded{uint32_t(total)};
    if (!expanded) return kStatusNoMemory;
    size_t o = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\n') expanded[o++] = '\r';
        expanded[o++] = text[i];
    }
    int32_t count = int32_t(total);
    return FLWrite(file, expanded.get(), &count);
}

int32_t FLSetOption(uint32_t option, const uint32_t* value) {
    switch (option) {
        case kFLOptionResetLibrary:
            gOptionLibrary = 0;
            return kStatusOk;
        case kFLOptionNoDisk:
            if (value == nullptr) return kStatusProblem;
            if (*value > 1) return kStatusError;
            gOptionNoDisk = *value;
            return kStatusOk;
        case kFLOptionLibrary:
            if (value == nullptr) return kStatusProblem;
            gOptionLibrary = *value;
            return kStatusOk;
        case kFLOptionBufferSize:
            if (value == nullptr) return kStatusProblem;
            gOptionBuffer = *value;
            return kStatusOk;
        case kFLOptionAll:
            if (value == nullptr) return kStatusProblem;
            if (value[0] > 1) return kStatusError;
            gOptionNoDisk = value[0];
            gOptionBuffer = value[1];
            gOptionLibrary = value[2];
            return kStatusOk;
        default:
            return kStatusProblem;
    }
}

int32_t FLGetOption(uint32_t option, uint32_t* value) {
    if (value == nullptr) return kStatusProblem;
    switch (option) {
        case kFLOptionNoDisk:
            *value = gOptionNoDisk;
            return kStatusOk;
        case kFLOptionLibrary:
            *value = gOptionLibrary;
            return kStatusOk;
        case kFLOptionBufferSize:
            *value = gOptionBuffer;
            return kStatusOk;
        case kFLOptionAll:
            value[0] = gOptionNoDisk;
            value[1] = gOptionBuffer;
            value[2] = gOptionLibrary;
            return kStatusOk;
        default:
            return kStatusProblem;
    }
}

int32_t Ui_File_SetInfo(UiState*, const char*, const void*) {
    return kStatusOk;
}

const uint8_t* FL_GetU8(const uint8_t* p, uint8_t* v) {
    *v = p[0];
    return p + 1;
}

const uint8_t* FL_GetU16(const uint8_t* p, uint16_t* v) {
    *v = uint16_t((p[0] << 8) | p[1]);
    return p + 2;
}

const uint8_t* FL_GetU32(const uint8_t* p, uint32_t* v) {
    *v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    return p + 4;
}

const uint8_t* FL_GetU64(const uint8_t* p, uint64_t* v) {
    uint32_t hi, lo;
    p = FL_GetU32(p, &hi);
    p = FL_GetU32(p, &lo);
    *v = (uint64_t(hi) << 32) | lo;
    return p;
}

const uint8_t* FL_GetBytes(const uint8_t* p, uint8_t* v, uint32_t n) {
    Mem_Copy(v, p, n);
    return p + n;
}

const uint8_t* FL_Get6U16(const uint8_t* p, uint16_t v[6]) {
    for (int i = 0; i < 6; ++i) p = FL_GetU16(p, &v[i]);
    return p;
}

const uint8_t* FL_Get3U32(const uint8_t* p, uint32_t v[3]) {
    for (int i = 0; i < 3; ++i) p = FL_GetU32(p, &v[i]);
    return p;
}

uint8_t* FL_PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
    return p + 2;
}

uint8_t* FL_PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
    return p + 4;
}

int32_t FLCheckIccHeader(FLFile* file, FLIccHeader** header) {
    if (file == nullptr || header == nullptr) return kStatusProblem;
    *header = nullptr;
    uint8_t raw[128];
    int32_t count = sizeof raw;
    int32_t status = FLRead(file, raw, &count, 1);
    if (status != kStatusOk) return status;
    auto* h = static_cast<FLIccHeader*>(Mem_Alloc(sizeof(FLIccHeader)));
    if (h == nullptr) return kStatusNoMemory;
    const uint8_t* p = raw;
    p = FL_GetU32(p, &h->size);
    p = FL_GetU32(p, &h->cmm);
    p = FL_GetU32(p, &h->version);
    p = FL_GetU32(p, &h->deviceClass);
    p = FL_GetU32(p, &h->colorSpace);
    p = FL_GetU32(p, &h->connectionSpace);
    p = FL_Get6U16(p, h->date);
    p = FL_GetU32(p, &h->signature);
    p = FL_GetU32(p, &h->platform);
    p = FL_GetU32(p, &h->flags);
    p = FL_GetU32(p, &h->manufacturer);
    p = FL_GetU32(p, &h->model);
    p = FL_GetU64(p, &h->attributes);
    p = FL_GetU32(p, &h->renderingIntent);
    p = FL_Get3U32(p, h->illuminant);
    p = FL_GetU32(p, &h->creator);
    FL_GetBytes(p, h->reserved, sizeof h->reserved);

    constexpr uint32_t acsp = 0x61637370, scnr = 0x73636E72, mntr = 0x6D6E7472, prtr = 0x70727472,
                       link = 0x6C696E6B, xyz = 0x58595A20, lab = 0x4C616220;
    bool classOk = h->deviceClass == scnr || h->deviceClass == mntr || h->deviceClass == prtr ||
                   h->deviceClass == link;
    bool pcsOk = h->deviceClass == link || h->connectionSpace == xyz || h->connectionSpace == lab;
    if (h->signature != acsp || !classOk || !pcsOk) {
        Mem_Free(h);
        return kStatusFormat;
    }
    *header = h;
    return kStatusOk;
}
