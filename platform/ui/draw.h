// Drawing operations of the dialog framework.
//
// Draw procs paint their items with these operations between Ui_Draw_Begin and Ui_Draw_End, in
// dialog client coordinates. The operations keep the pen, font, raster mode, clip and pen
// position in the dialog's info and hand plain primitives to the binding, so a draw proc looks
// the same on every binding. Rectangles exclude their right and bottom edges; lines include their
// end point. In XOR mode the pen draws dotted and every primitive inverts what it covers with its
// colour, so drawing the same thing twice restores the window.
//
// Offscreen images hold 8-bit RGB pixels, 3 bytes a pixel in the order blue, green, red, rows
// padded to a multiple of 4 bytes, top row first; the red, green and blue pointers address the
// first pixel's bytes. Bitmap resources are Windows BMP files (8-bit palette or 24-bit, not
// compressed) and are drawn through an offscreen image.
#pragma once

#include <cstdint>

#include "platform/ui/ui_types.h"

struct UiState;

// The metrics every binding lays dialogs out with, so that a template has the same size in
// pixels whatever draws it: the average character width and the line height of a font for a
// dialog whose template asks for `points`. The dialog font is 6 x 13 pixels at 8 points and
// scales with the points (7 x 15 at 9); bold is an eighth wider; the larger size is a third
// larger; the small font is 4 x 8 whatever the dialog's. A binding with real fonts draws with
// the largest size of its face that fits these (Ui_Font_Fits), so text never needs more room
// than the template gave it.
int32_t Ui_Font_Nominal(int32_t points, int32_t font, int32_t* averageWidth, int32_t* height);
// Whether a face whose 52 letters A-Z a-z measure alphabetWidth pixels and whose lines are height
// pixels fits the nominal metrics: the same base units or smaller.
uint8_t Ui_Font_Fits(int32_t alphabetWidth, int32_t height, int32_t averageWidth,
                     int32_t nominalHeight);

// Horizontal placement of text and pictures, and word wrapping of text.
enum : uint32_t {
    kUiAlignLeft = 0,
    kUiAlignCenter = 1,
    kUiAlignRight = 2,
    kUiAlignMask = 3,
    kUiTextWrap = 0x10,  // word-wrapped over several lines; else a single line
};

enum : uint32_t { kUiIconStop = 0, kUiIconCaution = 1, kUiIconNote = 2 };

struct Ui_Offscreen {
    int32_t width;
    int32_t height;
    int32_t rowBytes;  // 3 * width rounded up to a multiple of 4
    uint8_t* pixels;   // height rows, zero-filled when created
    uint8_t* red;      // pixels + 2
    uint8_t* green;    // pixels + 1
    uint8_t* blue;     // pixels + 0
};

// Takes the window for drawing: -2 when drawing is already open for it. The pen starts black,
// one pixel wide, normal raster mode, dialog font, no clip.
int32_t Ui_Draw_Begin(UiWindow* dialog);
// Restores pen and raster mode and gives the window back.
int32_t Ui_Draw_End(UiWindow* dialog);

// The dialog background: turns custom colours on and makes the solid and hollow brushes. Buttons
// and static texts keep a transparent background over it.
int32_t Ui_Draw_SetBackColor(UiWindow* dialog, const Ui_Color* color);
// The background in use (the system face colour until one is set).
int32_t Ui_Draw_GetBackColor(UiWindow* dialog, Ui_Color* color);
int32_t Ui_Draw_SetFont(UiWindow* dialog, int32_t font);
// null removes the clip.
int32_t Ui_Draw_SetClip(UiWindow* dialog, const Ui_Rect* clip);
int32_t Ui_Draw_MoveTo(UiWindow* dialog, int16_t v, int16_t h);
int32_t Ui_Draw_LineTo(UiWindow* dialog, int16_t v, int16_t h);
// Width 1 .. 32. In XOR mode the pen draws dotted.
int32_t Ui_Draw_SetPen(UiWindow* dialog, const Ui_Color* color, int16_t width);
int32_t Ui_Draw_SetXorMode(UiWindow* dialog, uint8_t on);
// color null: the background colour.
int32_t Ui_Draw_FillRect(UiWindow* dialog, const Ui_Rect* r, const Ui_Color* color);
int32_t Ui_Draw_FrameRect(UiWindow* dialog, const Ui_Rect* r, const Ui_Color* color);
int32_t Ui_Draw_FillEllipse(UiWindow* dialog, const Ui_Rect* r, const Ui_Color* color);
int32_t Ui_Draw_FrameEllipse(UiWindow* dialog, const Ui_Rect* r, const Ui_Color* color);
int32_t Ui_Draw_FillPolygon(UiWindow* dialog, const Ui_Point* points, int32_t count,
                            const Ui_Color* color);
// A pie segment of the ellipse inside r, from start degrees (0 at three o'clock, counting
// counter-clockwise) over sweep degrees (negative: clockwise; 360 or more: the whole ellipse).
int32_t Ui_Draw_FillPie(UiWindow* dialog, const Ui_Rect* r, int32_t start, int32_t sweep,
                        const Ui_Color* color);
// The same part of the ellipse's outline, in the pen's width inside r; color null: the pen's.
int32_t Ui_Draw_FrameArc(UiWindow* dialog, const Ui_Rect* r, int32_t start, int32_t sweep,
                         const Ui_Color* color);
// A dotted closed outline through the points, in the pen colour.
int32_t Ui_Draw_DottedFrame(UiWindow* dialog, const Ui_Point* points, int32_t count);
// A dotted light-grey rectangle in XOR mode: drawing it twice removes it.
int32_t Ui_Draw_FocusRect(UiWindow* dialog, const Ui_Rect* r);
// Text in the pen colour inside r, aligned and optionally wrapped; *height (may be null) gets
// the height the text takes.
int32_t Ui_Draw_TextInRect(UiWindow* dialog, const char* text, const Ui_Rect* r, uint32_t format,
                           int16_t* height);
// Text on one line whose top is at v and whose left, centre or right is at h.
int32_t Ui_Draw_TextAt(UiWindow* dialog, const char* text, int16_t v, int16_t h, uint32_t align);
// The width and height of one line of text in a font (no drawing needs to be open).
int32_t Ui_Draw_MeasureText(UiWindow* dialog, int32_t font, const char* text, int16_t* width,
                            int16_t* height);
// The height the text takes word-wrapped to width pixels in a font: what Ui_Draw_TextInRect with
// kUiTextWrap reports for a rectangle that wide. Needs no drawing and works before the window is
// shown (an init proc sizing an item to its text).
int32_t Ui_Draw_MeasureWrapped(UiWindow* dialog, int32_t font, const char* text, int16_t width,
                               int16_t* height);
// The bitmap resource drawn at its own size in r, placed left, centred or right and vertically
// centred, cut to r.
int32_t Ui_Draw_Bitmap(UiWindow* dialog, int32_t bitmapId, const Ui_Rect* r, uint32_t align);
// kUiIconStop, kUiIconCaution, kUiIconNote, or an icon resource id; placed as Ui_Draw_Bitmap.
int32_t Ui_Draw_Icon(UiWindow* dialog, uint32_t icon, const Ui_Rect* r, uint32_t align);

int32_t Ui_Offscreen_Create(const Ui_Rect* r, Ui_Offscreen** image);
int32_t Ui_Offscreen_Free(Ui_Offscreen** image);
// Copies the image to the window with its top-left corner at r's, cut to r.
int32_t Ui_Draw_Offscreen(UiWindow* dialog, const Ui_Offscreen* image, const Ui_Rect* r);

// Decodes a BMP file (8-bit palette or 24-bit, not compressed) into a new offscreen image:
// -8 for anything else or for sizes that do not add up.
int32_t Ui_Bitmap_Decode(const uint8_t* data, uint32_t size, Ui_Offscreen** image);
// Loads a resource of the given type (kResTypeBitmap or kResTypeIcon) and decodes it as a BMP
// file; -7 when it is missing.
int32_t Ui_Bitmap_Load(UiState* state, uint32_t type, int32_t id, Ui_Offscreen** image);
