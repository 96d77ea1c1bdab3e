// Sliders and value boxes: the horizontal slider user item shared by the editing window and its
// dialogs, the small framed box that shows a slider's value, and the value-box formats.
//
// A slider is a user item drawn as a groove with a coloured fill and a thumb. Two kinds exist:
// - centred sliders (colour balance, colour definitions, tone offsets) run from -100 at the left
//   edge through 0 in the middle to +100 at the right edge; the fill runs from the middle to the
//   thumb and takes one colour for values of 0 and above and another below 0;
// - range sliders (sharpening, noise removal) run from a smallest value at the left edge to a
//   largest at the right; the fill runs from the left edge to the thumb.
// The geometry is the item's rectangle: the centre of a centred slider is its middle pixel column
// and each side's half-width runs from there to that side's last column, so a pointer at offset d
// from the centre stands for round(100 d / half-width), 0 can always be hit and both ends give
// exactly -100 and +100. Owners map a value to their parameter; nothing here knows what a
// slider edits.
//
// Drawing goes through the framework's drawing operations only, so a slider looks the same on
// every binding and the headless canvas can be read back by tests.
#pragma once

#include <cstdint>

#include "platform/status.h"
#include "platform/ui/ui_types.h"

// Value-box formats, one place for all of them.
enum : int32_t {
    kValuePlain = 0,     // "%d"
    kValueSigned = 1,    // "%d" below 1, "+%d" from 1 on: -25, 0, +25
    kValueOffset = 2,    // a magnitude with the side of a centre: "-%d", "0", "+%d"
    kValueTwoDigit = 3,  // "%2d": right-aligned in two places
};
// The text of value in a format. For kValueOffset, value is signed and the text is its magnitude
// with "-" below 0, "+" above 0 and "0" at 0. capacity >= 1; the text is cut to fit.
void ValueText(int32_t value, int32_t format, char* text, int32_t capacity);

// The numbers a value box shows for a slider position x (0..1, the middle at 0.5): lo..hi with 0
// at the middle, rounded half away from the middle so that mirrored positions show mirrored
// numbers. The tools' and dialogs' value boxes take these ranges and a typed number is held to
// them, so a scale is stated here once.
struct ValueScale {
    int32_t lo, hi;
};
// The tone rows, the colour-cast sliders and Define Color's channels.
constexpr ValueScale kValueScaleOffset = {-100, 100};
// The hue tab's brightness and saturation of the active handle.
constexpr ValueScale kValueScaleHue = {-50, 50};
// The number for position x (held to 0..1; not a number counts as the middle).
int32_t ValueScaleNumber(ValueScale scale, float x);
// The position a number stands for (not held to the range).
float ValueScalePosition(ValueScale scale, int32_t number);

// The colours of a slider's fill by the sign of its value: 0 and above, and below 0. Range
// sliders use the first only.
struct SliderFill {
    Ui_Color atOrAbove;
    Ui_Color below;
};
// The fills of the three colour sliders: red, green, blue above; cyan, magenta, yellow below.
SliderFill SliderFillForChannel(int32_t channel);
// A plain fill for range sliders (a steel blue).
SliderFill SliderFillPlain();

// Centred sliders: the value -100..100 under horizontal position h of the item rectangle r
// (held at the ends), and the thumb position of a value.
int32_t SliderCentredValue(const Ui_Rect* r, int32_t h, int32_t* value);
int32_t SliderCentredX(const Ui_Rect* r, int32_t value);
// Range sliders over lo..hi (lo < hi): the value under h, rounded to the nearest step, held at
// the ends; and the thumb position of a value, at (value - lo) / (hi - lo) of the track.
int32_t SliderRangeValue(const Ui_Rect* r, int32_t h, int32_t lo, int32_t hi, int32_t* value);
int32_t SliderRangeX(const Ui_Rect* r, int32_t value, int32_t lo, int32_t hi);

// Draws a slider item: the dialog background, the groove, the fill from the origin (the middle
// for centred sliders, the left edge otherwise) to x, and the thumb at x. disabled greys it.
// Opens and closes drawing itself; -2 when drawing is already open or the item has no rectangle.
int32_t SliderDraw(UiWindow* dialog, int16_t item, int32_t x, uint8_t centred,
                   const SliderFill* fill, uint8_t disabled);
// The step an arrow key moves a slider that has the keyboard focus: -1 for Left and Down, +1
// for Right and Up, ten times that with Shift held; 0 for any other key. Sliders are Tab stops
// (Ui_Item_SetTabStop) in the dialogs that take these keys, and draw a dotted frame while they
// have the focus.
int32_t SliderKeyStep(UiWindow* dialog, uint8_t key);
// Draws a value box: white, with a thin grey frame and the text centred in it.
int32_t ValueBoxDraw(UiWindow* dialog, int16_t item, const char* text);
// The same box in any rectangle, for items that hold several; drawing must be open.
int32_t ValueBoxPaint(UiWindow* dialog, const Ui_Rect* r, const char* text);

// Draws a "?" help item as a small round button; pressed gives it the pressed look. Its track
// proc uses Ui_Item_TrackButton, and the draw proc receives -item for the pressed look.
int32_t HelpButtonDraw(UiWindow* dialog, int16_t item);
// The track proc's work for such an item: draws it pressed while the pointer is over it and
// answers as a track proc does; at the release it answers 0 (an item hit follows) when the
// pointer is over the item and 1 (handled, nothing follows) when it was released elsewhere. It
// keeps whether the pointer was inside in the item's tracking slot.
int32_t HelpButtonTrack(UiWindow* dialog, int16_t item, int16_t phase);
