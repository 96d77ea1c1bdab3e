// The hue ring of the hue-selective tab, the hue values of its active handle, and the
// brightness and saturation sliders of that handle.
//
// The ring shows the six hue handles of the edit parameters as pairs around a wheel of hues
// (0 degrees at three o'clock, counting counter-clockwise): each pair's Before handle (baseHue)
// inside the wheel, its After handle (baseHue + hueShift) outside, a line between them, each
// handle filled with its colour (the After one with the pair's brightness and saturation). The
// active pair is drawn heavier and its Before handle carries a dot.
//
// Sizes follow the item: the ring is laid out for the template's item (180 pixels across at the
// classic 8-point dialog font) and scaled with the smaller side of the item. A press farther
// than 54 (scaled) pixels from the centre addresses an After handle, a nearer one a Before
// handle; of those it takes the one whose angle is nearest the pointer's, provided the pointer
// is within a handle's reach of it along the circle (the active pair first when handles stand
// together).
//
// Dragging an After handle puts baseHue + hueShift at the pointer's angle, held between the
// After hues of the two neighbouring pairs, 5 degrees inside each. Dragging a Before handle puts
// baseHue at the pointer's angle, held between the neighbouring Before hues, 5 degrees inside
// each, while the After handle stays where it was, held within its own After limits; hueShift is
// then what separates the two. Neighbours are the pairs before and after in array order (pair 5
// is followed by pair 0) and all angles wrap at 360: a limit interval may run over 0 degrees. A
// handle whose neighbours leave it less than the 10 degrees does not move. baseHue is kept in
// 0 <= h < 360 and hueShift in -180 < s <= 180.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/window/slider.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

enum : int32_t { kHueBefore = 0, kHueAfter = 1 };

// The ring's layout in an item rectangle, in pixels of the window (fractions allowed).
struct HueRingGeometry {
    double cx, cy;     // the centre
    double scale;      // item size / template size
    double split;      // 54 scaled: Before inside, After outside
    double bandInner;  // the wheel of hues
    double bandOuter;
    double beforeRadius;  // where the Before handles stand
    double afterRadius;   // and the After handles
    double handleRadius;  // of a handle's disc
};
int32_t HueRingLayout(const Ui_Rect* ring, HueRingGeometry* geometry);
// The angle of p seen from the centre, 0 <= a < 360, counter-clockwise from three o'clock.
double HueRingAngle(const HueRingGeometry* geometry, Ui_Point p);

struct HueRingHitResult {
    int32_t handle;  // 0..5, -1 when the press took no handle
    int32_t kind;    // kHueBefore or kHueAfter
};
// The handle a press at p takes. -1 for a null argument or an empty ring.
int32_t HueRingHit(const Ui_Rect* ring, Ui_Point p, const EditState* editState,
                   HueRingHitResult* hit);
// Makes the pair of handle active: the active handle, its memory-colour id and whether it has
// samples follow it. *changed (may be null): whether another pair became active.
int32_t HueRingActivate(EditState* editState, int32_t handle, uint8_t* changed);
// Moves the handle of hit to the pointer's angle within its limits. *changed (may be null):
// whether baseHue or hueShift changed. -1 for a null argument or a hit without a handle.
int32_t HueRingDrag(const Ui_Rect* ring, Ui_Point p, const HueRingHitResult* hit,
                    EditState* editState, uint8_t* changed);

// Moves the Before (kind kHueBefore) or After hue of handle to angle (degrees) within the same
// limits as a drag. *changed (may be null): whether baseHue or hueShift changed. -1 for a null
// state or an unknown handle.
int32_t HueRingMoveTo(EditState* editState, int32_t handle, int32_t kind, double angle,
                      uint8_t* changed);
// The active handle, whose values the boxes show; -1 for a null state.
int32_t HueActiveHandle(const EditState* editState);

// The limit rule alone: the angle nearest to pointer on the arc that runs counter-clockwise
// from prev + 5 to next - 5 (degrees, any real values; the result in 0 <= a < 360). -9 when that
// arc is shorter than nothing (prev and next less than 10 degrees apart) and *angle is left.
int32_t HueLimitAngle(double prev, double next, double pointer, double* angle);
// The Before or After hue of a handle (0 <= h < 360).
double HueHandleAngle(const EditPars* editPars, int32_t handle, int32_t kind);
// Whether handle has samples: any of its bins counts one.
uint8_t HueHandleHasSamples(const EditPars* editPars, int32_t handle);

// The value boxes of the active handle: its Before hue round(baseHue) and After hue
// round(baseHue + hueShift), both reduced to 0..359, "%d".
int32_t HueValueText(const EditState* editState, int32_t kind, char* text, int32_t capacity);

// The brightness and saturation of the active handle (0..1, 0.5 no change) and their value box
// text round(100 x) - 50 ("%d" below 1, "+%d" from 1 on).
enum : int32_t { kHueBrightness = 0, kHueSaturation = 1 };
int32_t HueSliderGet(const EditState* editState, int32_t which, float* x);
int32_t HueSliderSet(EditState* editState, int32_t which, float x);
void HueSliderText(float x, char* text, int32_t capacity);

// Where a hue value item r shows its box (right of its label and chip).
int32_t HueValueBoxRect(UiWindow* dialog, const Ui_Rect* r, Ui_Rect* box);

// Drawing, each opening and closing drawing itself: the ring; a hue value item ("Before" or
// "After", a chip of the colour and the value box); a brightness or saturation slider of the
// active handle, filled in its colour, and its value box.
int32_t HueRingDraw(UiWindow* dialog, int16_t item, const EditState* editState);
int32_t HueValueDraw(UiWindow* dialog, int16_t item, const EditState* editState, int32_t kind);
int32_t HueSliderDraw(UiWindow* dialog, int16_t item, const EditState* editState, int32_t which,
                      uint8_t disabled);
int32_t HueSliderValueDraw(UiWindow* dialog, int16_t item, const EditState* editState,
                           int32_t which);
