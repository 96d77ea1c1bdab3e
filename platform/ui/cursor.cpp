// Cursors; see cursor.h.
#include "platform/ui/cursor.h"

#include <cstddef>

#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"

namespace {

constexpr uint32_t kFirstResourceCursor = 128;
constexpr int32_t kDropperSize = 24;
constexpr int16_t kDropperHotV = 21, kDropperHotH = 2;  // the tip

// The distance of (x, y) from the segment (x0, y0) - (x1, y1), squared, in 1/4 pixels so that
// integers suffice.
int32_t SegmentDistance2(int32_t x, int32_t y, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const int64_t dx = x1 - x0, dy = y1 - y0, px = x - x0, py = y - y0;
    const int64_t length2 = dx * dx + dy * dy;
    int64_t dot = px * dx + py * dy;
    if (dot < 0) dot = 0;
    if (dot > length2) dot = length2;
    // Nearest point (x0, y0) + dot / length2 * (dx, dy), kept scaled by length2.
    const int64_t ex = px * length2 - dot * dx, ey = py * length2 - dot * dy;
    return int32_t((ex * ex + ey * ey) * 4 / (length2 * length2));
}

// An eyedropper seen from the side: a glass tube from the tip at the bottom left up to a dark
// rubber bulb at the top right, white inside a black outline so that it shows on any picture.
// Magenta is transparent.
int32_t MakeEyedropper(Ui_Offscreen** image) {
    const Ui_Rect box = Ui_Rect_Make(0, 0, kDropperSize, kDropperSize);
    int32_t status = Ui_Offscreen_Create(&box, image);
    if (status != kStatusOk) return status;
    Ui_Offscreen* im = *image;
    for (int32_t y = 0; y < kDropperSize; ++y) {
        for (int32_t x = 0; x < kDropperSize; ++x) {
            uint8_t* p = im->pixels + size_t(im->rowBytes) * size_t(y) + 3 * size_t(x);
            const int32_t tube = SegmentDistance2(x, y, kDropperHotH, kDropperHotV, 15, 8);
            const int32_t collar = SegmentDistance2(x, y, 12, 7, 16, 11);
            const int32_t bulb = (x - 18) * (x - 18) + (y - 5) * (y - 5);
            uint8_t r = 255, g = 0, b = 255;
            if (bulb <= 16 || collar <= 4) {
                r = g = b = 0;
            } else if (tube <= 4) {
                r = g = b = 255;
            } else if (tube <= 12 || bulb <= 25 || collar <= 9) {
                r = g = b = 0;
            }
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
    return kStatusOk;
}

}  // namespace

int32_t Ui_Cursor_Set(UiState* state, uint32_t kind) {
    if (state == nullptr) return kStatusProblem;
    if (!(kUiCursorArrow <= kind && kind <= kUiCursorEyedropper) && kind < kFirstResourceCursor) {
        return kStatusProblem;
    }
    if (state->cursorKind == kind) return kStatusOk;
    const UiBinding* b = Ui_Binding();
    void* loaded = nullptr;
    if (kind == kUiCursorEyedropper) {
        Ui_Offscreen* image = nullptr;
        int32_t status = MakeEyedropper(&image);
        if (status != kStatusOk) return status;
        status = b->cursorLoad(image, kDropperHotV, kDropperHotH, &loaded) == kStatusOk
                     ? kStatusOk
                     : kStatusError;
        Ui_Offscreen_Free(&image);
        if (status != kStatusOk) return status;
    } else if (kind >= kFirstResourceCursor) {
        if (state->resSrc == nullptr || kind > 0x7FFFFFFF) return kStatusProblem;
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        int32_t status = Res_Find(state->resSrc, kResTypeCursor, kind, &data, &size);
        if (status != kStatusOk) return status;
        if (size < 4) return kStatusFormat;
        int16_t hotV = int16_t(data[0] << 8 | data[1]), hotH = int16_t(data[2] << 8 | data[3]);
        Ui_Offscreen* image = nullptr;
        status = Ui_Bitmap_Decode(data + 4, size - 4, &image);
        if (status != kStatusOk) return status;
        if (!(0 <= hotV && hotV < image->height && 0 <= hotH && hotH < image->width)) {
            status = kStatusFormat;
        } else {
            status =
                b->cursorLoad(image, hotV, hotH, &loaded) == kStatusOk ? kStatusOk : kStatusError;
        }
        Ui_Offscreen_Free(&image);
        if (status != kStatusOk) return status;
    }
    int32_t status = b->cursorShow(state, kind, loaded);
    if (status != kStatusOk) {
        if (loaded != nullptr) b->cursorFree(loaded);
        return kStatusError;
    }
    if (state->cursor != nullptr) b->cursorFree(state->cursor);
    state->cursor = loaded;
    state->cursorKind = kind;
    return kStatusOk;
}

int32_t Ui_Cursor_Release(UiState* state) {
    if (state == nullptr) return kStatusProblem;
    if (state->cursor != nullptr) Ui_Binding()->cursorFree(state->cursor);
    state->cursor = nullptr;
    state->cursorKind = 0;
    return kStatusOk;
}
