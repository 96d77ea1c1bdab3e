// The host's displayPixels into a window of the module; see display_target.h.
#include "host/display_target.h"

#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "resources/ids/strings.h"

namespace {

// An offscreen image of the area's size, kept when it has that size already.
int32_t ImageFor(DisplayTarget* target, const Ui_Rect* area) {
    const int32_t width = Ui_Rect_Width(area), height = Ui_Rect_Height(area);
    Ui_Offscreen* image = target->image;
    if (image != nullptr && image->width == width && image->height == height) return kStatusOk;
    Ui_Offscreen_Free(&target->image);
    return Ui_Offscreen_Create(area, &target->image);
}

// Red first (as the host wrote) to blue first (as the framework's images are), in place.
void SwapRedBlue(Ui_Offscreen* image, int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* p = image->pixels + ptrdiff_t(y) * image->rowBytes;
        for (int32_t x = 0; x < width; ++x, p += 3) {
            const uint8_t red = p[0];
            p[0] = p[2];
            p[2] = red;
        }
    }
}

}  // namespace

int32_t DisplayInArea(DisplayTarget* target, const FilterRecord* record, UiWindow* dialog,
                      const Ui_Rect* area, const PSPixelMap* map, const VRect* source,
                      Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (target == nullptr || record == nullptr || record->displayPixels == nullptr ||
        dialog == nullptr || area == nullptr || map == nullptr || source == nullptr ||
        Ui_Rect_IsEmpty(area)) {
        return Ui_Failure_Describe(failure, kStatusProblem, kPhraseDisplayPreview);
    }
    Ui_Dlg_Info* info = nullptr;
    int32_t status = Ui_Dlg_Info_Get(dialog, &info);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseDisplayPreview);
    status = ImageFor(target, area);
    if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseDisplayPreview);

    Ui_Offscreen* image = target->image;
    PSDrawTarget device{image->pixels,   image->width, image->height,
                        image->rowBytes, area->top,    area->left};
    if (record->displayPixels(map, source, area->top, area->left, &device) != noErr)
        return Ui_Failure_Describe(failure, kStatusError, kPhraseDisplayPreview);
    const int32_t width = Num_Min(source->right - source->left, image->width);
    const int32_t height = Num_Min(source->bottom - source->top, image->height);
    if (width < 1 || height < 1) return kStatusOk;
    SwapRedBlue(image, width, height);

    const bool open = info->draw.open != 0;
    if (!open) status = Ui_Draw_Begin(dialog);
    const Ui_Rect covered =
        Ui_Rect_Make(area->top, area->left, area->top + height, area->left + width);
    if (status == kStatusOk) status = Ui_Draw_Offscreen(dialog, image, &covered);
    if (!open) Ui_Draw_End(dialog);
    return Ui_Failure_Describe(failure, status, status != kStatusOk ? kPhraseDisplayPreview : 0);
}

void DisplayTargetFree(DisplayTarget* target) {
    if (target != nullptr) Ui_Offscreen_Free(&target->image);
}
