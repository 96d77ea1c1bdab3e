// The embedded-data store: blocks that image files carry besides their pixels.
//
// Four process-wide slots hold such blocks: the ICC profile found in the last file read, the
// ICC profile to embed in the next file written, and a second read/write pair for another
// embedded block (an IPTC record, for instance). A profile read from one file can so be
// embedded in the next one written by moving the read slot into the write slot.
//
// Every block is a Mem_Alloc block whose first four bytes give the length of the whole block,
// those four bytes included, most significant byte first. An ICC profile already starts that
// way, so a profile is stored exactly as it stands in the file; the data slots put a 4-byte
// length in front of what they hold. The store guarantees that the length field of every block
// it holds is true: callers may walk a block by that length without further checks.
//
// Opening an image for reading empties both read slots (ras_image.h); the format modules hand
// over what they find through RasEmbedTake. The store lives as long as the process; release it
// with RasEmbedEmptyAll before counting leaked blocks.
//
// Single-threaded, like everything in the plug-in.
#pragma once

#include <cstdint>

#include "platform/file.h"
#include "platform/status.h"

enum : int32_t {
    kRasSlotReadProfile = 0,
    kRasSlotWriteProfile = 1,
    kRasSlotReadData = 2,
    kRasSlotWriteData = 3,
    kRasSlotCount = 4,
};

// The block held in a slot and its length; a null block and length 0 when the slot is empty.
// The store keeps ownership. A slot number outside 0 .. 3: -1.
int32_t RasEmbedGet(int32_t slot, const uint8_t** block, uint32_t* length);

// Writes the slot's content to an open file: a profile whole, a data block without the 4-byte
// length the store put in front of it (so that RasEmbedSetFromFile followed by this reproduces
// the file). An empty slot writes nothing and returns 0.
int32_t RasEmbedWrite(int32_t slot, FLFile* file);

// Sets a write slot from a block in memory, copied; its length comes from its first four bytes
// and must be at least 4. Read slots: -1.
int32_t RasEmbedSetFromBlock(int32_t slot, const uint8_t* block);

// Sets a write slot from a whole file. For the profile slot the file is the profile, and the
// length in its first four bytes must equal the file's size (-8 otherwise); for the data slot
// a 4-byte length is put in front. An empty file is -8. Read slots: -1.
int32_t RasEmbedSetFromFile(int32_t slot, const FLSpec* spec);

// Empties one slot.
int32_t RasEmbedEmpty(int32_t slot);
// Empties both read slots, as opening an image for reading does.
void RasEmbedEmptyReadSlots();
// Empties every slot.
void RasEmbedEmptyAll();

// Moves a read slot's block into the matching write slot (0 into 1, 2 into 3), replacing what
// was there; the read slot is left empty. Moving an empty slot empties the write slot. Other
// slot numbers: -1.
int32_t RasEmbedMoveToWrite(int32_t readSlot);

// For the format modules: puts a block of the given length (at least 4 bytes) into a slot,
// replacing what was there. The store takes ownership of the Mem_Alloc block whatever the
// outcome and writes the length into its first four bytes when prefixLength is 1; otherwise the
// block's own first four bytes must already state its length (-8 when they do not, and the
// block is freed).
int32_t RasEmbedTake(int32_t slot, uint8_t* block, uint32_t length, uint8_t prefixLength);
