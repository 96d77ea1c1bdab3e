// Colour definitions: the four colours with fixed roles in the colour tools.
//
// The neutral definition is the colour that the colour balance turns marked neutrals into; the
// grayscale definition is the tint of "B/W"; the sepia definition is the tone of "Sepia"; the
// toning colour is the toneColor of the edit parameters. Each is R, G, B in 0..1. The first three
// live in the preferences (entries 105, 108 and 104) and in the editing state; the toning colour
// lives in the EditPars it belongs to.
//
// In the "Define Color" dialog and in the colour-definition file a component c is shown as the
// slider value v = round(200 c) - 100 (-100..100) and set back as c = (v + 100) / 200.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/status.h"

struct UiState;

enum ColorDefKind : int32_t {
    kColorDefNeutral = 0,
    kColorDefGrayscale = 1,
    kColorDefSepia = 2,
    kColorDefToning = 3,
};
constexpr int32_t kColorDefKinds = 4;

struct ColorDefs {
    float neutral[3];
    float grayscale[3];
    float sepia[3];
};

// The default of a kind: sepia 0.625, 0.5, 0.4; the others 0.5, 0.5, 0.5. -1 for a bad kind.
int32_t ColorDefDefault(int32_t kind, float rgb[3]);
int32_t SetColorDefsDefaults(ColorDefs* defs);

// Reads the definition of one kind (the toning colour from editPars). -1 for a null argument or a
// bad kind.
int32_t GetColorDef(const ColorDefs* defs, const EditPars* editPars, int32_t kind, float rgb[3]);

// Sets the definition of one kind; each component must lie in 0..1 (else -1). Setting the neutral
// also derives editPars' neutralTarget from it through editPars' working space (neutral_target.h)
// and marks the balance tables for rebuilding; when the derivation fails (-9 while the colour
// engine has not installed it) its status is returned and nothing changes.
int32_t SetColorDef(ColorDefs* defs, EditPars* editPars, int32_t kind, const float rgb[3]);

// Slider value of a component (components outside 0..1 are held at the ends), and back.
int32_t ColorDefToSlider(float component);
float ColorDefFromSlider(int32_t value);
// The value box text: "%d" below 1, "+%d" from 1 on.
void ColorDefSliderText(int32_t value, char* text, int32_t capacity);

// A stored triple (entries 104, 105, 108): any component outside 0..1 logs "RGB value in the
// preferences file is invalid: %f %f %f" and sets all three to 0.5; then -9. state may be null.
int32_t RepairColorDefTriple(float rgb[3], UiState* state);

// The colour-definition file: one line "%d %d %d" with the slider values of R, G and B. Reading
// refuses (-8) a first line that does not hold exactly three integers in -100..100; rgb changes
// only on success. Writing refuses (-1) components outside 0..1.
int32_t ReadColorDefFile(const char* path, float rgb[3]);
int32_t WriteColorDefFile(const char* path, const float rgb[3]);
