// The small value types shared by every part of the dialog framework.
//
// Rectangles are four signed 16-bit values in the order top, left, bottom, right, with the right
// and bottom edges outside the rectangle; points are (v, h) with v the vertical coordinate.
// Colours are three 16-bit components of which the high byte of each is used, so that callers
// may pass either 8-bit values shifted up or full 16-bit values.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct Ui_Rect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct Ui_Point {
    int16_t v;
    int16_t h;
};

struct Ui_Color {
    uint16_t red;
    uint16_t green;
    uint16_t blue;
};

// An 8-bit colour as the bindings draw it.
struct Ui_RGB {
    uint8_t r;
    uint8_t g;
    uint8_t b;
};

inline Ui_RGB Ui_ColorToRGB(const Ui_Color& c) {
    return Ui_RGB{uint8_t(c.red >> 8), uint8_t(c.green >> 8), uint8_t(c.blue >> 8)};
}
inline Ui_Color Ui_ColorFromRGB(uint8_t r, uint8_t g, uint8_t b) {
    return Ui_Color{uint16_t(r << 8 | r), uint16_t(g << 8 | g), uint16_t(b << 8 | b)};
}

// The window that is not a window: procs and helpers address a dialog through this handle.
struct UiWindow;

// Fonts: the dialog's own (its template's face and size), a small one for captions, the dialog
// font in bold (emphasis, readouts), and a larger size for headings, plain and bold.
enum : int32_t {
    kUiFontDialog = 0,
    kUiFontSmall = 1,
    kUiFontBold = 2,
    kUiFontLarge = 3,
    kUiFontLargeBold = 4,
};
