// Entries of a preferences file in memory: checking the bytes of a whole file, and merging what a
// process changed into the file another process wrote meanwhile.
//
// Several programs keep their settings in the one preferences file (the filter in an editor or
// in a batch of runs, the preferences tool), and each writes back the whole record it read. Had
// the last writer's record simply replaced the file, a run that started before the user changed
// a setting with the tool would put the old setting back when it ends. So a writer that read the
// file earlier writes only the entries it changed since: for every entry it writes, the bytes it
// read (base) are compared with the bytes it would write now (mine); an entry it left alone takes
// the value of the file on disk at the moment of writing (current). What decides is the stored
// bytes of each entry, tag by tag; the container need not know what the entries mean.
//
// The merged file has mine's entries in mine's order (the writer's own version and end entries
// included), so that a file written without any other writer in between is byte for byte the
// file written without merging. Entries of current that mine does not write (tags of another
// version of the program) are not kept, as a plain rewrite would not keep them.
#pragma once

#include <cstdint>

#include "platform/status.h"

// Walks the entries of a whole file held in memory as the reader would: 0 with *end just past
// the end entry; -5 for a file that ends inside an entry or before an end entry; -8 for an
// unknown element type or a version entry that is not one 32-bit value.
int32_t Ui_Prefs_CheckBytes(const uint8_t* bytes, uint32_t size, uint32_t* end);

// Merges as described above. base and mine must pass Ui_Prefs_CheckBytes; current may be null
// (no usable file on disk: mine is written as it is). out has room for mineSize + currentSize
// bytes; *outSize receives the merged size. -1 for null arguments or bytes that do not check.
int32_t Ui_Prefs_Merge(const uint8_t* base, uint32_t baseSize, const uint8_t* mine,
                       uint32_t mineSize, const uint8_t* current, uint32_t currentSize,
                       uint8_t* out, uint32_t* outSize);
