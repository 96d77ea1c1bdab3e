// Smooth drawing for the tool items of the editing window, and the colours they share.
//
// The framework's primitives draw hard-edged circles, slanted lines and polygons, which makes a
// hue ring, round handles and a curve look jagged. Items that must look smooth paint into an
// offscreen image the size of the item with the helpers here and copy it to the window in one
// piece (Ui_Draw_Offscreen), which also keeps them from flickering while they are redrawn during
// a drag. A painting starts from the dialog's background (PaintFill) and every shape is blended
// over what the image holds.
//
// Coordinates are pixels of the image as floating-point numbers, the centre of pixel (x, y) at
// (x + 0.5, y + 0.5). An edge covers a pixel by how far the pixel's centre lies inside it, over
// one pixel's width, so edges are one-pixel ramps. Angles are degrees, 0 at three o'clock,
// counting counter-clockwise as on a colour wheel. Everything is cut to the image.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/ui/draw.h"
#include "platform/ui/ui_types.h"

// The colours of the tool items: one family with the dialogs' sliders, value boxes and swatches.
constexpr Ui_RGB kLookInk{0, 0, 0};               // text
constexpr Ui_RGB kLookDimInk{96, 96, 96};         // secondary text, labels of inactive things
constexpr Ui_RGB kLookFrame{128, 128, 128};       // frames of swatches and wells
constexpr Ui_RGB kLookLightFrame{170, 170, 170};  // grid lines, dividers
constexpr Ui_RGB kLookWell{255, 255, 255};        // the ground of value boxes and plots
constexpr Ui_RGB kLookAccent{70, 110, 170};       // the steel blue of the help button and fills
constexpr Ui_RGB kLookShadow{60, 60, 60};         // outlines of handles

inline Ui_Color LookColor(Ui_RGB c) {
    return Ui_ColorFromRGB(c.r, c.g, c.b);
}
// c moved towards d by t (0..1).
Ui_RGB LookMix(Ui_RGB c, Ui_RGB d, double t);
// The dialog's background as drawn now.
Ui_RGB LookBackground(UiWindow* dialog);
// String id of the string table into buffer (256 bytes); "?" when it cannot be loaded.
char* LookString(UiWindow* dialog, int32_t id, char* buffer);
// One line of text in the dialog font, vertically centred in r and placed left, centred or right
// (kUiAlign...) with a margin of inset pixels; drawing must be open.
void LookTextLine(UiWindow* dialog, const char* text, const Ui_Rect* r, uint32_t align,
                  int32_t inset, Ui_RGB ink);

// Every pixel in one colour. -1 for a null image.
int32_t PaintFill(Ui_Offscreen* image, Ui_RGB color);
// Mixes color into pixel (x, y) by coverage 0 (nothing) .. 1 (the colour alone).
void PaintBlend(Ui_Offscreen* image, int32_t x, int32_t y, Ui_RGB color, double coverage);
Ui_RGB PaintPixel(const Ui_Offscreen* image, int32_t x, int32_t y);

// A filled disc, a circle's outline (width pixels, centred on the radius), a line with round
// ends, and a polygon filled by the even-odd rule (xy: count points as x, y pairs).
void PaintDisc(Ui_Offscreen* image, double cx, double cy, double radius, Ui_RGB color);
void PaintCircle(Ui_Offscreen* image, double cx, double cy, double radius, double width,
                 Ui_RGB color);
void PaintLine(Ui_Offscreen* image, double x0, double y0, double x1, double y1, double width,
               Ui_RGB color);
int32_t PaintPolygon(Ui_Offscreen* image, const double* xy, int32_t count, Ui_RGB color);

// A ring between two radii, each pixel in the colour colorAt gives for the angle of its centre.
using PaintRingColor = Ui_RGB (*)(double degrees, const void* context);
void PaintRing(Ui_Offscreen* image, double cx, double cy, double inner, double outer,
               PaintRingColor colorAt, const void* context);

// The angle of (x, y) seen from (cx, cy), 0 <= a < 360, on the scale the ring is painted with.
double PaintAngle(double cx, double cy, double x, double y);

// An offscreen image the size of r, painted by the caller and copied into r; frees its pixels.
class PaintCanvas {
   public:
    PaintCanvas() = default;
    ~PaintCanvas() { Ui_Offscreen_Free(&image_); }
    PaintCanvas(const PaintCanvas&) = delete;
    PaintCanvas& operator=(const PaintCanvas&) = delete;
    // Makes the image for r filled with color: -1 for an empty rectangle, -3 without memory.
    int32_t Open(const Ui_Rect& r, Ui_RGB color);
    Ui_Offscreen* image() { return image_; }
    // Copies the image into its rectangle; drawing must be open.
    int32_t Show(UiWindow* dialog) const;

   private:
    Ui_Offscreen* image_ = nullptr;
    Ui_Rect rect_{};
};
