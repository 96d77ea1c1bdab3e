// GIMP's own colour selection dialog as the editor's colour picker: the selection GIMP shows for
// its foreground colour (the scales, the wheel and triangle, the notebook of selectors, the
// HTML notation field and the colour history), in a dialog titled with the filter's prompt.
//
// It needs GIMP's display: the plug-in offers it only to runs that show the filter's window.
#pragma once

#include <string>

// Shows the dialog, starting from rgb (0..255 each, also shown as the old colour), and waits for
// the person; true with the chosen colour in rgb, false when they cancel or close it.
bool ChooseColorInGimp(const std::string& prompt, int rgb[3]);
