// Memory colours: six named colours that a hue handle can be steered to.
//
// A memory colour is described like the neutral target: its chroma and hue at CIE lightness 50
// and the change of hue per unit of lightness. At lightness L its chroma is
// mcChroma * 0.04 * L * (1 - L / 100) and its hue mcHue + (L - 50) * mcHueSlope. Three slots come
// predefined (Skin, Foliage, Blue Sky); the other three start empty.
//
// This file holds the record, its defaults, the validation of its preference entries (62 values,
// 63 names and labels, and the older 60) and the small text file that saves one slot.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct UiState;

constexpr int kMemoryColorCount = 6;
constexpr int kMemoryColorNameSize = 21;                        // 20 characters and the terminator
constexpr int kMemoryColorLabelSize = 2;                        // 1 character and the terminator
constexpr int kMemoryColorEntryValues = 4 * kMemoryColorCount;  // entry 62
constexpr int kMemoryColorEntryBytes = 23 * kMemoryColorCount;  // entry 63
constexpr int kMemoryColorOldEntryValues = 3 * 3;               // entry 60: slots 1-3 only
constexpr int kMemoryColorOldEntryCount = 12;                   // its stored count

struct MemoryColor {
    uint8_t defined;  // 0 or 1; the leading byte, checked when a stored block is validated
    uint8_t reserved0[3];
    float mcChroma;    // 0..180 (a memory-colour file holds 0..100)
    float mcHue;       // degrees, 0 <= h < 360
    float mcHueSlope;  // -1..1
    char name[kMemoryColorNameSize];
    char label[kMemoryColorLabelSize];
    uint8_t reserved1;
};
static_assert(sizeof(MemoryColor) == 40);

// The default of slot 0..5 (slots 0-2 Skin, Foliage, Blue Sky; 3-5 empty). -1 for a bad slot or
// a null record.
int32_t MemoryColorSetDefault(int32_t slot, MemoryColor* color);
int32_t MemoryColorsSetDefaults(MemoryColor colors[kMemoryColorCount]);

// Cuts text to size - 1 characters and turns control characters and DEL into blanks: names and
// labels are shown in buttons and written into one-line files.
void MemoryColorCleanText(char* text, int32_t size);

// Entry 62: six times (defined above 0.5, chroma, hue, hue slope). A defined slot whose chroma is
// outside 0..180, whose hue is outside 0 <= h < 360 or whose slope is outside -1..1 is bad: the
// first bad slot is logged, slots 0-2 get their default back (values, name and label), later slots
// are emptied, and the result is -9. Undefined slots keep their numbers only when they lie in
// those ranges (else 0). -1 for a null argument.
int32_t MemoryColorsFromValues(const float* values, MemoryColor colors[kMemoryColorCount],
                               UiState* state);
int32_t MemoryColorsToValues(const MemoryColor colors[kMemoryColorCount], float* values);

// Entry 63: six times (21 name bytes, 2 label bytes), cut and cleaned as MemoryColorCleanText.
int32_t MemoryColorsFromNames(const uint8_t* bytes, MemoryColor colors[kMemoryColorCount]);
int32_t MemoryColorsToNames(const MemoryColor colors[kMemoryColorCount], uint8_t* bytes);

// Entry 60 of older files: three times (chroma, hue, slope) for slots 0-2, all defined. Every slot
// with chroma outside 0..180, hue outside 0 <= h < 360 or slope outside -1 <= v < 1 silently
// takes its default. Returns 0, or -1 for a null argument.
int32_t MemoryColorsFromOldValues(const float* values, MemoryColor colors[kMemoryColorCount]);

// The memory-colour file: "1 hue chroma slope name" on the first line (hue and chroma rounded,
// slope with one decimal) and the label character on the second. Writing needs a defined slot
// with a name and a label (-1 otherwise). Reading refuses (-8) a first line with fewer than five
// fields, a first field other than 1, or fields 2-4 that are not numbers; it clamps hue to
// 0..360 (360 becomes 0, the same angle), chroma to 0..100 and slope to -1..1, takes the name
// from the fifth field to the end of the line (20 characters at most) and the label from the
// first character of the second line. *color changes only on success.
int32_t ReadMemoryColorFile(const char* path, MemoryColor* color);
int32_t WriteMemoryColorFile(const char* path, const MemoryColor* color);
