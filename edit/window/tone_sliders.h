// The five sliders of the brightness tab ("Global", "Shadows", "Highlights", "Contrast",
// "Saturation") and the parameter sliders they share with the hue tab.
//
// A parameter slider edits a value x of 0..1 whose middle, 0.5, is no change. It is a centred
// slider (slider.h): a pointer at offset d from the centre stands for v = round(100 d /
// half-width), -100..100, and x = (v + 100) / 200, so the thumb of x stands at v = 200 x - 100.
// The brightness tab's value boxes show round(200 |x - 0.5|) with the side of the middle: "-%d"
// below, "+%d" above, "0" in the middle (and for any x whose magnitude rounds to 0, so that no
// box ever reads "+0").
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

enum : int32_t {
    kToneGlobal = 0,  // brightness
    kToneShadows = 1,
    kToneHighlights = 2,
    kToneContrast = 3,
    kToneSaturation = 4,
    kToneSliderCount = 5,
};

// The parameter a slider edits: brightness, shadow, highlight, contrast or saturation. Set holds
// x within 0..1 (a value that is not a number gives 0.5, no change). -1 for a null record or an
// unknown slider.
int32_t ToneSliderGet(const EditPars* editPars, int32_t slider, float* x);
int32_t ToneSliderSet(EditPars* editPars, int32_t slider, float x);
// The group of the parameter (HgEditMask bit), 0 for an unknown slider.
HgEditMask ToneSliderMask(int32_t slider);

// Parameter sliders: the value under p on the slider item's rectangle r, in steps of 1/200, and
// the slider drawn with its thumb at x (opens and closes drawing itself).
int32_t ParamSliderValueAt(const Ui_Rect* r, Ui_Point p, float* x);
int32_t ParamSliderDraw(UiWindow* dialog, int16_t item, float x, uint8_t disabled);

// The offset of x from the middle as the brightness tab's value boxes show it (also the
// two-slider colour-cast boxes), and such a box drawn.
void ParamOffsetText(float x, char* text, int32_t capacity);
int32_t ToneValueBoxDraw(UiWindow* dialog, int16_t item, float x);
