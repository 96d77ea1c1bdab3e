// Checking and merging preferences files in memory; see prefs_merge.h.
#include "platform/prefs_merge.h"

#include <cstring>

#include "platform/file.h"
#include "platform/mem.h"
#include "platform/prefs_entry.h"

namespace {

constexpr uint32_t kHeadSize = 8;

struct EntrySpan {
    uint16_t tag;
    uint32_t offset;  // of the head
    uint32_t length;  // head and data
};

// The entry at offset: 0, or the reader's status for what is found there.
int32_t EntryAt(const uint8_t* bytes, uint32_t size, uint32_t offset, EntrySpan* entry) {
    if (size - offset < kHeadSize) return kStatusFileRead;
    uint16_t type;
    uint32_t count;
    FL_GetU16(bytes + offset, &entry->tag);
    FL_GetU16(bytes + offset + 2, &type);
    FL_GetU32(bytes + offset + 4, &count);
    uint32_t elementSize = Ui_Prefs_ElementSize(type);
    if (elementSize == 0) return kStatusFormat;
    if (entry->tag == kPrefsTagVersion && (type != kPrefsTypeInt32 || count != 1))
        return kStatusFormat;
    uint64_t dataSize = uint64_t(count) * elementSize;
    if (dataSize > size - offset - kHeadSize) return kStatusFileRead;
    entry->offset = offset;
    entry->length = uint32_t(kHeadSize + dataSize);
    return kStatusOk;
}

// The first entry with the tag in checked bytes; false when there is none.
bool FindEntry(const uint8_t* bytes, uint32_t size, uint16_t tag, EntrySpan* found) {
    for (uint32_t offset = 0; offset < size;) {
        EntrySpan entry;
        if (EntryAt(bytes, size, offset, &entry) != kStatusOk) return false;
        if (entry.tag == tag) {
            *found = entry;
            return true;
        }
        if (entry.tag == kPrefsTagEnd) return false;
        offset += entry.length;
    }
    return false;
}

bool SameBytes(const uint8_t* a, const EntrySpan& x, const uint8_t* b, const EntrySpan& y) {
    return x.length == y.length && std::memcmp(a + x.offset, b + y.offset, x.length) == 0;
}

}  // namespace

int32_t Ui_Prefs_CheckBytes(const uint8_t* bytes, uint32_t size, uint32_t* end) {
    if (bytes == nullptr && size > 0) return kStatusProblem;
    for (uint32_t offset = 0;;) {
        EntrySpan entry;
        int32_t status = EntryAt(bytes, size, offset, &entry);
        if (status != kStatusOk) return status;
        offset += entry.length;
        if (entry.tag == kPrefsTagEnd) {
            if (end != nullptr) *end = offset;
            return kStatusOk;
        }
    }
}

int32_t Ui_Prefs_Merge(const uint8_t* base, uint32_t baseSize, const uint8_t* mine,
                       uint32_t mineSize, const uint8_t* current, uint32_t currentSize,
                       uint8_t* out, uint32_t* outSize) {
    if (base == nullptr || mine == nullptr || out == nullptr || outSize == nullptr)
        return kStatusProblem;
    uint32_t baseEnd, mineEnd, currentEnd = 0;
    if (Ui_Prefs_CheckBytes(base, baseSize, &baseEnd) != kStatusOk ||
        Ui_Prefs_CheckBytes(mine, mineSize, &mineEnd) != kStatusOk) {
        return kStatusProblem;
    }
    if (current != nullptr && Ui_Prefs_CheckBytes(current, currentSize, &currentEnd) != kStatusOk)
        current = nullptr;
    uint32_t written = 0;
    for (uint32_t offset = 0; offset < mineEnd;) {
        EntrySpan entry;
        EntryAt(mine, mineEnd, offset, &entry);
        offset += entry.length;
        const uint8_t* from = mine;
        EntrySpan take = entry;
        EntrySpan read, now;
        const bool container = entry.tag == kPrefsTagVersion || entry.tag == kPrefsTagEnd;
        if (!container && current != nullptr && FindEntry(base, baseEnd, entry.tag, &read) &&
            SameBytes(base, read, mine, entry) && FindEntry(current, currentEnd, entry.tag, &now)) {
            from = current;
            take = now;
        }
        Mem_Copy(out + written, from + take.offset, take.length);
        written += take.length;
    }
    *outSize = written;
    return kStatusOk;
}
