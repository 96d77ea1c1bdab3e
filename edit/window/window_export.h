// OK in the editing window's file-writing modes: the profile or Huegrid files it writes.
#pragma once

#include <cstdint>

struct EditingWindow;
struct Ui_Failure;

// OK in a file-writing mode (1 edit a profile, 2 create a profile, 3 create a Huegrid): the
// choosers, then the file. 0 when it was written (or mode is 0): the window may close; -10
// when a chooser was cancelled: the window stays open; else the status, with failure described
// for the one alert ("writing file %s", "choosing an ICC profile", ...). The image is never
// touched here.
int32_t EditorExport(EditingWindow* win, int32_t mode, Ui_Failure* failure);
