// Where the host's displayPixels draws when the module shows a picture in one of its windows.
//
// A Windows host draws into the device context it is handed. Ours is a draw target (hostsdk's
// PSDrawTarget: an RGB buffer with its size, row bytes and origin), so the module lends the host
// an offscreen image of the dialog framework as that buffer, lets displayPixels composite the
// pixel map into it, and copies the part covered into the window. The framework's offscreen
// images keep blue first, as device-independent bitmaps do; the host writes red first, so the
// covered part is turned round in place before it is copied.
//
// The offscreen image is kept between draws (a window redraws its preview on every change) and
// made anew only when the area changes size; DisplayTargetFree gives it back.
#pragma once

#include <cstdint>

#include "hostsdk/filter_record.h"
#include "platform/alert.h"
#include "platform/ui/draw.h"

struct DisplayTarget {
    Ui_Offscreen* image;
};

// Hands map (the part source of it) to the record's displayPixels with its top-left corner at
// the area's, and copies what it covered, cut to the area, into the dialog's window. Drawing is
// opened and closed here unless it is open already. 0; -1 for bad arguments, -3 without memory
// for the offscreen image, -2 when the host refuses (failure: "displaying the preview") or the
// window cannot take the image.
int32_t DisplayInArea(DisplayTarget* target, const FilterRecord* record, UiWindow* dialog,
                      const Ui_Rect* area, const PSPixelMap* map, const VRect* source,
                      Ui_Failure* failure);
void DisplayTargetFree(DisplayTarget* target);
