// The eyedropper icon and the pixel readouts of the editing window.
//
// The eyedropper's sample size n (0, 1, 2) averages a square of 1, 3 or 5 pixels on a side
// around a pixel; a click steps it 0 -> 1 -> 2 -> 1 -> 0, turning at the ends, so the caller
// keeps the direction of travel beside the size. The icon shows a five-by-five grid with the
// averaged square filled.
//
// The readouts show, for the pixel under the pointer and the two sample points, the colour
// before and after the tools as "before/after" per channel, in one of three modes: RGB (codes
// 0..255), HSB (hue in degrees, saturation and brightness in percent) or CMYK (percent of ink).
// A click steps the mode RGB -> CMYK -> HSB -> RGB where CMYK is offered, else RGB <-> HSB.
// The CMYK figures are the plain complement with black taken out (K = 1 - max(R, G, B)), a
// guide to the ink a colour needs rather than a separation through a printer's profile.
//
// A reading averages the square's input codes first and then passes that one colour through
// the transform, so a reading is exactly the transform of the pixels' average; the square is
// cut to the image at its edges. A 16-bit result is read as the 8-bit code the preview shows for
// it (its high byte), whichever depth the transform gives, so that before and after compare alike.
#pragma once

#include <cstdint>

#include "engine/huegrid.h"
#include "engine/ip_image.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

enum : int32_t { kReadoutRgb = 0, kReadoutHsb = 1, kReadoutCmyk = 2 };

// The next sample size and direction (+1 or -1; anything else counts as +1). -1 for a null
// argument.
int32_t EyedropperStep(int32_t* size, int32_t* direction);
// The next readout mode; a mode that is not offered steps to RGB.
int32_t ReadoutNextMode(int32_t mode, uint8_t cmykOffered);

// The average of the (2 size + 1)-pixel square around (x, y), cut to the image, passed through
// transform (null: the input itself); rgb 0..1. -1 for a bad image, a point outside it or a size
// outside 0..2; the transform's failure passes on.
int32_t ReadoutAverage(const IPImage* image, const Huegrid* transform, int32_t x, int32_t y,
                       int32_t size, float rgb[3]);

// The figures of a colour (0..1 each) in a mode: three (RGB, HSB) or four (CMYK) rounded values.
int32_t ReadoutFigures(int32_t mode, const float rgb[3], int32_t figures[4], int32_t* count);

// One column of the readouts: valid 0 leaves the column empty.
struct ReadoutColumn {
    uint8_t valid;
    float before[3];
    float after[3];
};
// The columns in order: the pointer, sample point #1, sample point #2.
constexpr int32_t kReadoutColumns = 3;

// Drawing, each opening and closing drawing itself: the eyedropper icon for a sample size, and
// the readouts of the three columns in a mode.
int32_t EyedropperDraw(UiWindow* dialog, int16_t item, int32_t size);
int32_t ReadoutsDraw(UiWindow* dialog, int16_t item, int32_t mode,
                     const ReadoutColumn columns[kReadoutColumns]);
