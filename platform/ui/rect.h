// Rectangle, point and region helpers of the dialog framework.
//
// Rectangles exclude their right and bottom edges; a rectangle whose right is not past its left
// (or bottom not past its top) is empty. Regions are polygons given as (v, h) points; a pixel
// belongs to a region when its centre lies inside the polygon by the even-odd rule, which is the
// same rule the drawing operations use to fill polygons, so a hit test agrees with what is drawn.
#pragma once

#include <cstdint>

#include "platform/ui/ui_types.h"

// 1 when the rectangle holds no pixel (also for null).
uint8_t Ui_Rect_IsEmpty(const Ui_Rect* r);
// The common part of a and b; when they do not overlap the result is (0, 0, 0, 0). out may be a
// or b. -1 for a null argument.
int32_t Ui_Rect_Intersect(const Ui_Rect* a, const Ui_Rect* b, Ui_Rect* out);
// Moves the rectangle by h to the right and v down; -1 when an edge would leave the 16-bit range
// (the rectangle is then unchanged).
int32_t Ui_Rect_Offset(Ui_Rect* r, int32_t h, int32_t v);
// Left and top edges inclusive, right and bottom exclusive. 0 for null.
uint8_t Ui_Rect_ContainsPoint(const Ui_Rect* r, int32_t v, int32_t h);
int32_t Ui_Rect_Width(const Ui_Rect* r);
int32_t Ui_Rect_Height(const Ui_Rect* r);
inline Ui_Rect Ui_Rect_Make(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    return Ui_Rect{int16_t(top), int16_t(left), int16_t(bottom), int16_t(right)};
}

// Places a window of the given outer rectangle over parent (the screen when parent is null):
// horizontally centred, its top a third of the free height down, then pulled back so that it
// stays on the screen and never starts above or left of 0.
int32_t Ui_Rect_CentreOver(const Ui_Rect* window, const Ui_Rect* parent, const Ui_Rect* screen,
                           Ui_Rect* out);

// A polygon region for hit tests. Made from at least three points; freed with Ui_Region_Delete.
struct Ui_Region {
    int32_t count;
    Ui_Point* points;  // count points, part of the same Mem_Alloc block
    Ui_Rect bounds;
};
int32_t Ui_Region_FromPolygon(const Ui_Point* points, int32_t count, Ui_Region** region);
uint8_t Ui_Region_Contains(const Ui_Region* region, int32_t v, int32_t h);
// Frees the region and clears the pointer; null does nothing.
int32_t Ui_Region_Delete(Ui_Region** region);

// The even-odd test behind regions and filled polygons: is the centre of pixel (v, h) inside?
uint8_t Ui_Polygon_ContainsPixel(const Ui_Point* points, int32_t count, int32_t v, int32_t h);
