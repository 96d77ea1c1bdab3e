// Colour swatches: colours of the working space shown on the screen.
//
// The colours the user defines (the neutral, grayscale, sepia and toning definitions, memory
// colours) are RGB values of the edit's working space, the space the image is edited in. To show
// one as a swatch it is taken from that space to the screen's: decoded with the space's gamma,
// through XYZ with the space's primaries and white, adapted from that white to D65 (Bradford),
// and encoded as sRGB, the space the screen is assumed to show. A colour outside sRGB is held at
// its edge. The same path serves the editing window's swatches and the dialogs', so a colour looks
// the same wherever it is shown.
#pragma once

#include <cstdint>

#include "engine/ref_rgb.h"
#include "platform/status.h"
#include "platform/ui/ui_types.h"

// Working-space RGB (0..1 each) to 8-bit sRGB. -1 for a null argument or a space that is not
// valid (RefRgbIsValid).
int32_t SwatchToScreen(const float rgb[3], const RefRGB* space, Ui_RGB* screen);
// CIE L*a*b* relative to the working space's white to 8-bit sRGB through the working space: the
// colour is first clipped to the space (what an edit can produce), then shown as above.
int32_t SwatchLabToScreen(const float lab[3], const RefRGB* space, Ui_RGB* screen);

// Fills r with the colour and frames it in grey. Opens and closes drawing itself.
int32_t SwatchDraw(UiWindow* dialog, const Ui_Rect* r, const float rgb[3], const RefRGB* space);
