// The resource archive reader and the string and file loaders; see resources.h and
// resources/README.md for the archive format.
#include "platform/resources.h"

#include <cstdio>
#include <cstring>

#include "platform/debug_log.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/ui_state_record.h"

namespace {

constexpr uint8_t kMagic[4] = {'K', 'R', 'E', 'S'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kEntrySize = 16;
constexpr int kStringMax = 255;

uint32_t BE32(const uint8_t* p) {
    uint32_t v;
    FL_GetU32(p, &v);
    return v;
}

}  // namespace

int32_t Res_Open(ResArchive* archive, const uint8_t* bytes, uint32_t size) {
    if (archive == nullptr || bytes == nullptr) return kStatusProblem;
    archive->bytes = nullptr;
    archive->size = 0;
    archive->count = 0;
    archive->module = nullptr;
    if (size < kHeaderSize || std::memcmp(bytes, kMagic, 4) != 0 || BE32(bytes + 4) != kVersion) {
        return kStatusFormat;
    }
    uint32_t count = BE32(bytes + 8);
    if (uint64_t(count) * kEntrySize > size - kHeaderSize) return kStatusFormat;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = bytes + kHeaderSize + i * kEntrySize;
        uint64_t offset = BE32(e + 8), length = BE32(e + 12);
        if (offset + length > size) return kStatusFormat;
    }
    archive->bytes = bytes;
    archive->size = size;
    archive->count = count;
    return kStatusOk;
}

int32_t Res_Find(const ResArchive* archive, uint32_t type, uint32_t id, const uint8_t** data,
                 uint32_t* size) {
    if (archive == nullptr || data == nullptr || size == nullptr) return kStatusProblem;
    if (archive->module != nullptr) return Res_FindInModule(archive->module, type, id, data, size);
    if (archive->bytes == nullptr) return kStatusProblem;
    // The directory is sorted by type, then id.
    uint32_t lo = 0, hi = archive->count;
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        const uint8_t* e = archive->bytes + kHeaderSize + mid * kEntrySize;
        uint64_t key = (uint64_t(BE32(e)) << 32) | BE32(e + 4);
        uint64_t want = (uint64_t(type) << 32) | id;
        if (key == want) {
            *data = archive->bytes + BE32(e + 8);
            *size = BE32(e + 12);
            return kStatusOk;
        }
        if (key < want) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return kStatusFileSeek;
}

void Res_WindowsTypeName(uint32_t type, char* name) {
    // HELP and ICON are words of the resource script's language: the help text and the icons
    // (BMP files, not the script's icon format) go under names of their own.
    if (type == kResTypeHelp) {
        Str_Copy(name, "HELPTEXT");
        return;
    }
    if (type == kResTypeIcon) {
        Str_Copy(name, "ICONBMP");
        return;
    }
    // Windows compares type names without case and the resource compiler stores them in upper
    // case; 'PiPL' and 'aete' become the host's "PIPL" and "AETE".
    int n = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char((type >> shift) & 0xFF);
        if (c == ' ' || c == 0) break;
        if ('a' <= c && c <= 'z') c = char(c - 'a' + 'A');
        name[n++] = c;
    }
    name[n] = 0;
}

char* Ui_ResToCString(UiState* state, int32_t id, char* buffer) {
    static char shared[kStringMax + 1];
    if (buffer == nullptr) buffer = shared;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    int32_t status = kStatusProblem;
    if (state != nullptr && state->resSrc != nullptr && id >= 0) {
        status = Res_Find(state->resSrc, kResTypeString, uint32_t(id), &data, &size);
    }
    if (status != kStatusOk) {
        Str_Copy(buffer, "?");
        if (state != nullptr) {
            char line[80];
            // There is no system error number here; the status stands in for it.
            Str_FormatN(line, sizeof line, "Ui_ResToCString, LoadString error = %ld", long(status));
            Ui_Debug_Log(state->diagnostics, line);
        }
        return buffer;
    }
    if (size > uint32_t(kStringMax)) size = kStringMax;
    Mem_Copy(buffer, data, size);
    buffer[size] = 0;
    return buffer;
}

int32_t Ui_ResToFile(UiState* state, uint32_t type, int32_t id, const FLSpec* destination) {
    if (type != kResTypeHelp || id < 128 || id > 32767 || destination == nullptr) {
        return kStatusProblem;
    }
    const ResArchive* archive = state != nullptr ? state->resSrc : nullptr;
    if (archive == nullptr) return kStatusFileSeek;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (Res_Find(archive, type, uint32_t(id), &data, &size) != kStatusOk) return kStatusFileSeek;
    if (size == 0) return kStatusFormat;
    if (size > 0x7FFFFFFFu) return kStatusFileRead;
    FLFile file;
    int32_t status = FLOpen(&file, destination, kFLWrite);
    if (status != kStatusOk) return status;
    int32_t count = int32_t(size);
    status = FLWrite(&file, data, &count);
    int32_t closed = FLClose(&file);
    return status != kStatusOk ? status : closed;
}
