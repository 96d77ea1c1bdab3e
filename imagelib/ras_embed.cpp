// The embedded-data store; see ras_embed.h.
#include "imagelib/ras_embed.h"

#include "platform/mem.h"

namespace {

struct Slot {
    uint8_t* block = nullptr;
    uint32_t length = 0;
};

Slot gSlots[kRasSlotCount];

bool ValidSlot(int32_t slot) {
    return 0 <= slot && slot < kRasSlotCount;
}
bool IsWriteSlot(int32_t slot) {
    return slot == kRasSlotWriteProfile || slot == kRasSlotWriteData;
}
bool IsDataSlot(int32_t slot) {
    return slot == kRasSlotReadData || slot == kRasSlotWriteData;
}

uint32_t GetBE32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void Replace(int32_t slot, uint8_t* block, uint32_t length) {
    Mem_Free(gSlots[slot].block);
    gSlots[slot].block = block;
    gSlots[slot].length = length;
}

// Blocks larger than this are refused: no profile or metadata record comes near it, and the
// file layer counts in signed 32-bit.
constexpr uint32_t kMaxBlock = 0x7FFFFFF0u;

}  // namespace

int32_t RasEmbedGet(int32_t slot, const uint8_t** block, uint32_t* length) {
    if (!ValidSlot(slot) || block == nullptr || length == nullptr) return kStatusProblem;
    *block = gSlots[slot].block;
    *length = gSlots[slot].length;
    return kStatusOk;
}

int32_t RasEmbedWrite(int32_t slot, FLFile* file) {
    if (!ValidSlot(slot) || file == nullptr) return kStatusProblem;
    const Slot& s = gSlots[slot];
    if (s.block == nullptr) return kStatusOk;
    uint32_t skip = IsDataSlot(slot) ? 4 : 0;
    int32_t count = int32_t(s.length - skip);
    if (count == 0) return kStatusOk;
    return FLWrite(file, s.block + skip, &count);
}

int32_t RasEmbedSetFromBlock(int32_t slot, const uint8_t* block) {
    if (!IsWriteSlot(slot) || block == nullptr) return kStatusProblem;
    uint32_t length = GetBE32(block);
    if (!(4 <= length && length <= kMaxBlock)) return kStatusProblem;
    auto* copy = static_cast<uint8_t*>(Mem_Alloc(length));
    if (copy == nullptr) return kStatusNoMemory;
    Mem_Copy(copy, block, length);
    Replace(slot, copy, length);
    return kStatusOk;
}

int32_t RasEmbedSetFromFile(int32_t slot, const FLSpec* spec) {
    if (!IsWriteSlot(slot) || spec == nullptr) return kStatusProblem;
    FLFile file;
    int32_t status = FLOpen(&file, spec, kFLRead);
    if (status != kStatusOk) return status == kStatusProblem ? status : kStatusFileOpen;
    uint8_t* block = nullptr;
    int32_t size = 0;
    status = FLSeek(&file, 0, 2);
    if (status == kStatusOk) status = FLTell(&file, &size);
    if (status == kStatusOk) status = FLSeek(&file, 0, 0);
    if (status != kStatusOk) status = kStatusFileSeek;
    uint32_t prefix = IsDataSlot(slot) ? 4 : 0;
    uint32_t length = uint32_t(size) + prefix;
    if (status == kStatusOk && (size <= 0 || length > kMaxBlock)) status = kStatusFormat;
    if (status == kStatusOk) {
        block = static_cast<uint8_t*>(Mem_Alloc(length));
        if (block == nullptr) status = kStatusNoMemory;
    }
    if (status == kStatusOk) {
        int32_t count = size;
        status = FLRead(&file, block + prefix, &count, 1);
    }
    if (status == kStatusOk) {
        if (prefix != 0) {
            FL_PutU32(block, length);
        } else if (length < 4 || GetBE32(block) != length) {
            // A profile whose size field disagrees with the file would later be walked by a
            // wrong length.
            status = kStatusFormat;
        }
    }
    FLClose(&file);
    if (status != kStatusOk) {
        Mem_Free(block);
        return status;
    }
    Replace(slot, block, length);
    return kStatusOk;
}

int32_t RasEmbedEmpty(int32_t slot) {
    if (!ValidSlot(slot)) return kStatusProblem;
    Replace(slot, nullptr, 0);
    return kStatusOk;
}

void RasEmbedEmptyReadSlots() {
    Replace(kRasSlotReadProfile, nullptr, 0);
    Replace(kRasSlotReadData, nullptr, 0);
}

void RasEmbedEmptyAll() {
    for (int32_t i = 0; i < kRasSlotCount; ++i) Replace(i, nullptr, 0);
}

int32_t RasEmbedMoveToWrite(int32_t readSlot) {
    if (readSlot != kRasSlotReadProfile && readSlot != kRasSlotReadData) return kStatusProblem;
    Slot& from = gSlots[readSlot];
    Replace(readSlot + 1, from.block, from.length);
    from.block = nullptr;
    from.length = 0;
    return kStatusOk;
}

int32_t RasEmbedTake(int32_t slot, uint8_t* block, uint32_t length, uint8_t prefixLength) {
    if (!ValidSlot(slot) || block == nullptr || !(4 <= length && length <= kMaxBlock)) {
        Mem_Free(block);
        return kStatusProblem;
    }
    if (prefixLength == 1) {
        FL_PutU32(block, length);
    } else if (GetBE32(block) != length) {
        Mem_Free(block);
        return kStatusFormat;
    }
    Replace(slot, block, length);
    return kStatusOk;
}
