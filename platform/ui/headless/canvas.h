// The headless binding's canvas: an RGB pixel buffer for the client area of a dialog, with the
// primitives the drawing operations need. Every primitive is cut to the window, to the clip of
// the paint in progress (a user item paints only inside itself) and to the drawing clip.
#pragma once

#include <cstdint>

#include "platform/ui/draw.h"
#include "platform/ui/headless/headless.h"

void Canvas_FillRect(UiHeadlessWindow* hw, const Ui_Rect* r, Ui_RGB color, uint8_t xorMode);
void Canvas_Line(UiHeadlessWindow* hw, Ui_Point a, Ui_Point b, Ui_RGB color, int16_t width,
                 uint8_t dotted, uint8_t xorMode);
void Canvas_Ellipse(UiHeadlessWindow* hw, const Ui_Rect* r, Ui_RGB color, int16_t width,
                    uint8_t xorMode);
// A part of the ellipse inside r (angles as Ui_Draw_FillPie's, start 0 .. 359, sweep 1 .. 360):
// the pie segment for width 0, else the band width pixels inside the ellipse's edge.
void Canvas_Arc(UiHeadlessWindow* hw, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
                int16_t width, uint8_t xorMode);
// A one-pixel frame along the inside of r.
void Canvas_Frame(UiHeadlessWindow* hw, const Ui_Rect* r, Ui_RGB color);
void Canvas_Polygon(UiHeadlessWindow* hw, const Ui_Point* points, int32_t count, Ui_RGB color,
                    uint8_t xorMode);
// Copies blue-green-red rows into the canvas at (top, left), cut to clip as well.
void Canvas_Image(UiHeadlessWindow* hw, const Ui_Offscreen* image, int16_t top, int16_t left,
                  const Ui_Rect* clip);
