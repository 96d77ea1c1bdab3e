// The black, grey and white point tab: the luminance histogram, the three point handles under
// it, their value boxes, and the rule that sets a point from a pixel clicked in the preview.
//
// The points are blackPoint b, grayPoint g and whitePoint w of the edit parameters; the grey
// handle stands at the grey level G = b + g (w - b), the input level the engine maps to the
// middle. Histogram and handles share one horizontal scale: levels 0..1 run from the left to
// the right end of a span inset from the items' edges far enough for a handle at either end to
// show whole (the two items are equally wide in the template). Points outside 0..1 (a stored
// black point of -0.5, a white point of 1.5) stand at the nearer end, drawn as a half handle.
//
// A click in the preview with pixel brightness p sets one point: p > (w + G) / 2 sets w = p;
// else p > (b + G) / 2 sets g = (p - b) / (w - b), which puts G at p; else b = p. A click
// exactly half-way between G and w therefore sets the grey point. Nothing changes when the point
// already has that value.
//
// Dragging a handle keeps the points in order with room between them: b stays at least 2/255
// below w, w at least 2/255 above b, and G at least 1/255 inside both; a handle that has no
// room (the other two already that close) does not move. The grey fraction g is kept while the
// black or white handle moves, so the grey level moves along with them. Holding Alt while the
// black or white handle is dragged asks the window to show the clipping view.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

enum : int32_t {
    kTonePointNone = -1,
    kTonePointBlack = 0,
    kTonePointGray = 1,
    kTonePointWhite = 2,
};

// What the preview shows while a handle is dragged: the normal picture, or the pixels the black
// or white point clips.
enum : uint8_t { kToneClipNone = 0, kToneClipBlack = 1, kToneClipWhite = 2 };

// The three points of a record, as the tab edits them.
struct TonePoints {
    float black;
    float gray;  // the fraction g, not the level
    float white;
};
int32_t TonePointsOf(const EditPars* editPars, TonePoints* points);
// Writes the points back; -1 for a null argument.
int32_t TonePointsStore(const TonePoints* points, EditPars* editPars);
// The grey level G = b + g (w - b).
double TonePointsGrayLevel(const TonePoints* points);

// The brightness of a pixel (0..1 each) that the click rule compares with the points: its luma
// 0.299 R + 0.587 G + 0.114 B, the measure the histogram is counted in.
double TonePixelBrightness(const float rgb[3]);

// The click rule: which point a click on a pixel of brightness p sets, and to what. *point is
// kTonePointNone when nothing would change. -1 for a null argument or a p that is not a number.
int32_t TonePointForClick(const TonePoints* points, double p, int32_t* point, float* value);

// The horizontal span of levels 0..1 on an item of the tab (histogram or handles): the pixel
// columns first .. last. -1 for a null argument or an item too narrow to hold a span.
int32_t TonePointsSpan(const Ui_Rect* r, int32_t* first, int32_t* last);
// The column at which a level stands (held within the span).
int32_t TonePointsColumn(const Ui_Rect* r, double level);

// The handle a press at p on the handles item r takes: the nearest one whose shape is within
// reach, the one on the pointer's side when they stand together; kTonePointNone when none.
int32_t TonePointsHit(const Ui_Rect* r, Ui_Point p, const TonePoints* points, int32_t* point);
// Moves a handle to the level under p within the limits above. *changed (may be null) tells
// whether a value changed. -1 for a null argument or an unknown point.
int32_t TonePointsDrag(const Ui_Rect* r, Ui_Point p, int32_t point, TonePoints* points,
                       uint8_t* changed);
// Moves a point to level (0..1 the scale; the grey point's level G) within the same limits as a
// drag. *changed as there. -1 for a null argument or an unknown point.
int32_t TonePointsMoveTo(int32_t point, double level, TonePoints* points, uint8_t* changed);
// The clipping view a drag of point asks for with Alt held or not.
uint8_t TonePointsClipping(int32_t point, uint8_t alt);

// The value box text of a point: round(100 x value), "%d".
int32_t TonePointsValueText(const TonePoints* points, int32_t point, char* text, int32_t capacity);

// Where the value box of point lies on the value item r (what a click there types into).
int32_t TonePointsValueBox(UiWindow* dialog, const Ui_Rect* r, int32_t point, Ui_Rect* box);

// Drawing, each opening and closing drawing itself. The histogram item: 256 luma counts (null
// or all zero: an empty plot), the levels the black and white points clip shaded. The handles
// item: a black-to-white scale with the three handles, active (the one being dragged, or
// kTonePointNone) outlined in the accent colour. The value item: the three boxes in a row, and
// below them, when the item is tall enough, the hint that Alt-dragging shows the clipping.
int32_t TonePointsHistogramDraw(UiWindow* dialog, int16_t item, const uint32_t* histogram,
                                const TonePoints* points);
int32_t TonePointsHandlesDraw(UiWindow* dialog, int16_t item, const TonePoints* points,
                              int32_t active);
int32_t TonePointsValuesDraw(UiWindow* dialog, int16_t item, const TonePoints* points);
