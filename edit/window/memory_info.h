// The memory-colour information box of the hue tab: what the button under the pointer stands
// for, by name, with a swatch of its colour.
//
// The subject is a memory-colour slot (0..5), the grayscale or sepia definition ("B/W",
// "Sepia"), or nothing. A defined slot shows its name over its colour as a strip from light
// (top) to dark (bottom), since a memory colour is a hue and chroma over the lightness range; an
// empty slot shows "Undefined"; the two definitions show "Grayscale" or "Sepia Tone" over a flat
// swatch; nothing under the pointer shows "Memory" over "Colors". Colours reach the screen
// through the working space (swatch.h).
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/memory_colors.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

enum : int32_t {
    kMemoryInfoNothing = -1,
    // 0..5: a memory-colour slot
    kMemoryInfoGrayscale = 6,
    kMemoryInfoSepia = 7,
};

// The colour of a slot at CIE lightness l (0..100) as L*a*b*, as the hue tool reads its three
// numbers: chroma mcChroma scaled down towards black and white, hue turning by mcHueSlope per
// unit of lightness from mcHue at 50. An undefined slot is grey. -1 for a null argument.
int32_t MemoryColorLabAt(const MemoryColor* color, double l, float lab[3]);

// The title of a subject: the slot's name (or "Undefined"), "Grayscale", "Sepia Tone", or
// "Memory" and, as the second line, "Colors". Writes the lines into first and second (256 bytes
// each; second is "" for one line). -1 for a null argument or a slot without slots given.
int32_t MemoryInfoTitle(UiWindow* dialog, int32_t subject, const MemoryColor* slots, char* first,
                        char* second);

// Draws the box for a subject; slots holds the six memory colours. Opens and closes drawing.
int32_t MemoryInfoDraw(UiWindow* dialog, int16_t item, const EditState* editState,
                       const MemoryColor* slots, int32_t subject);
