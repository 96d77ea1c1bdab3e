// Internals shared by the files of the Win32 binding of the dialog framework.
//
// The binding is in two parts. The window part (win32_binding.cpp and its siblings) creates the
// dialogs from the module's DIALOGEX resources, runs their message loops and owns the controls,
// timers, input, cursors and system services. The drawing part (win32_draw.cpp) owns the GDI
// fonts and the drawing primitives the framework draws with: it draws straight into the dialog
// window's device context, over the user items, as the framework's drawing model expects (the
// dialog window has no WS_CLIPCHILDREN; user items paint nothing themselves). The two parts meet
// only through this header, so that the drawing part can be tested on a memory device context
// without any window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/ui/binding.h"
#include "platform/ui/draw.h"

// The drawing state of one dialog window, kept inside the window part's record of it.
struct W32DrawState {
    HWND hwnd;      // the dialog window drawn on; null for a memory target
    HDC memoryDc;   // a memory device context to draw on instead of the window (tests), or null
    HDC dc;         // between drawBegin and drawEnd: the device context drawn on
    int32_t saved;  // SaveDC's answer at drawBegin, restored at drawEnd
    uint8_t drawing;
    // Set by the window part while a user item's paint message is dispatched: the item's
    // rectangle (client coordinates), which every primitive is cut to, as on the other bindings;
    // a drawing clip only narrows it. Off (0) outside such a paint.
    uint8_t paintClipOn;
    Ui_Rect paintClip;
    // The resolution of the monitor the window is on, in dots per inch (0: 96).
    int32_t dpi;
};

// Display resolution. The framework lays out and draws in the pixels of a 96-dpi display
// (templates, item rectangles, mouse positions, drawing coordinates); the binding turns them into
// the monitor's pixels where it meets the window system, so that a dialog keeps its size in
// inches, and its text its size in points, at 144 or 192 dpi. The two conversions are exact
// inverses for every framework coordinate, so that what is drawn, hit and invalidated meet.
constexpr int32_t kW32BaseDpi = 96;
// The monitor's pixel where a framework coordinate starts (rounded to the nearest).
int32_t W32_ToDevice(int32_t v, int32_t dpi);
// The framework coordinate whose pixel span holds a monitor's pixel: the largest v with
// W32_ToDevice(v) <= d. Sizes come back the same way, so that a framework size never asks for
// more than the window has.
int32_t W32_FromDevice(int32_t d, int32_t dpi);
// A size of the monitor's pixels in framework pixels, rounded up: the room a measured text or a
// window's frame takes.
int32_t W32_FromDeviceUp(int32_t d, int32_t dpi);
// A framework rectangle in the monitor's pixels: each edge converted, so that neighbours stay
// neighbours.
RECT W32_ToDeviceRect(const Ui_Rect& r, int32_t dpi);

// The drawing state of a dialog: implemented by the window part (tests supply their own); null
// when the dialog has no window.
W32DrawState* W32_DrawStateOf(UiWindow* dialog);

// The header of a top-down device-independent bitmap of width x height pixels at 24 or 32 bits a
// pixel: blue, green, red (and a fourth byte) from the top row down, rows padded to four bytes,
// as the framework's offscreen images are laid out.
BITMAPINFO W32_TopDownBitmapInfo(int32_t width, int32_t height, int32_t bitsPerPixel);

// The drawing part fills these operations of a binding table: fontMetrics, measureText,
// measureWrapped, drawBegin, drawEnd, drawClip, fillRect, line, ellipse, polygon, text, image and
// arc.
void W32_Draw_Fill(UiBinding* binding);
// The GDI font of a framework font (kUiFont...) for a dialog: the face the first fontMetrics call
// named, at the size the dialog's own template names (templates differ: the editing window is
// laid out for 9 points, most dialogs for 8), in the style of that font, at the resolution of the
// dialog's window. dialog null: the size the first fontMetrics call named, at 96 dpi. Made on first
// use and kept until W32_Draw_FreeFonts; null when it cannot be made.
HFONT W32_FontOf(UiWindow* dialog, int32_t font);
// Deletes the fonts (when the framework's state closes).
void W32_Draw_FreeFonts();
