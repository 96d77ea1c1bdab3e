// Anti-aliased shapes painted into offscreen images.
//
// The window system's primitives draw hard-edged circles and lines (on X without a compositing
// renderer they cannot do otherwise), which makes a hue ring and its round handles look jagged.
// Drawings that must look smooth are painted into an offscreen image the size of their item with
// these helpers and copied to the window in one piece with Ui_Draw_Offscreen, which also keeps
// them from flickering while they are redrawn during a drag. Start the image from the item's
// background (Ui_Offscreen_FillColor with Ui_Draw_GetBackColor's colour): every shape is blended
// over what the image holds.
//
// Coordinates are pixels of the image as floating-point numbers, the centre of pixel (x, y) at
// (x + 0.5, y + 0.5). An edge covers a pixel by how far its centre lies inside the edge, over one
// pixel's width, so a shape's edge is a one-pixel ramp and two shapes sharing an edge leave no
// seam. Angles are degrees, 0 at three o'clock, counting counter-clockwise as on a colour wheel.
// Everything is cut to the image; shapes entirely outside it change nothing.
#pragma once

#include <cstdint>

#include "platform/ui/draw.h"

// Every pixel of the image in one colour.
int32_t Ui_Offscreen_FillColor(Ui_Offscreen* image, Ui_RGB color);
// The colour of a pixel; -1 outside the image.
int32_t Ui_Offscreen_GetPixel(const Ui_Offscreen* image, int32_t x, int32_t y, Ui_RGB* color);
// Mixes color into pixel (x, y) by coverage 0 (nothing) .. 255 (the colour alone); nothing
// outside the image.
int32_t Ui_Offscreen_Blend(Ui_Offscreen* image, int32_t x, int32_t y, Ui_RGB color,
                           int32_t coverage);

// A filled disc of the radius around (cx, cy).
int32_t Ui_Offscreen_Disc(Ui_Offscreen* image, double cx, double cy, double radius, Ui_RGB color);
// A circle's outline, width pixels wide, centred on the radius.
int32_t Ui_Offscreen_Circle(Ui_Offscreen* image, double cx, double cy, double radius, double width,
                            Ui_RGB color);
// A line from (x0, y0) to (x1, y1), width pixels wide, with round ends.
int32_t Ui_Offscreen_Line(Ui_Offscreen* image, double x0, double y0, double x1, double y1,
                          double width, Ui_RGB color);

// The colour of a ring at an angle: fills *color and returns 0, or a non-zero status that stops
// the painting and is returned.
using UiRingColorProc = int32_t (*)(double degrees, void* context, Ui_RGB* color);
// A ring between the inner and outer radius around (cx, cy), each pixel in the colour its angle
// asks for (asked once per pixel, at the pixel's centre).
int32_t Ui_Offscreen_Ring(Ui_Offscreen* image, double cx, double cy, double inner, double outer,
                          UiRingColorProc colorAt, void* context);
// The angle of (x, y) seen from (cx, cy), 0 .. 360, on the ring's scale: for hit tests that must
// agree with what Ui_Offscreen_Ring painted.
double Ui_Offscreen_Angle(double cx, double cy, double x, double y);
