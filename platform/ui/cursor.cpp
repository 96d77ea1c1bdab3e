// Cursors; see cursor.h.
#include "platform/ui/cursor.h"

#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/draw.h"
#include "platform/ui_state.h"

namespace {

constexpr uint32_t kFirstResourceCursor = 128;

}  // namespace

int32_t Ui_Cursor_Set(UiState* state, uint32_t kind) {
    if (state == nullptr) return kStatusProblem;
    if (kind != kUiCursorArrow && kind != kUiCursorWait && kind < kFirstResourceCursor) {
        return kStatusProblem;
    }
    if (state->cursorKind == kind) return kStatusOk;
    const UiBinding* b = Ui_Binding();
    void* loaded = nullptr;
    if (kind >= kFirstResourceCursor) {
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
