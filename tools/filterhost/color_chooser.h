// The stand-in editor's colour picker for a person: the system's colour chooser, titled with the
// filter's prompt and starting from the filter's colour. On Linux it is FLTK's colour chooser
// (its values shown as 0..255, as --pick takes them), on Windows the system's colour dialog.
//
// It is offered only when the filter's window is shown on a display a person can use; scripted
// runs give the answer with --pick instead, and runs without a display get no picker, so the
// filter disables its "Color Picker..." button rather than offering one that cannot open.
#pragma once

#include <string>

// Whether a chooser can be shown: on Linux, whether the X display named by DISPLAY opens.
bool ColorChooserAvailable();
// Shows the chooser and waits for the person; true with the chosen colour in rgb (0..255 each),
// false when they cancel (rgb unchanged).
bool ChooseColorOnScreen(const std::string& prompt, int rgb[3]);
