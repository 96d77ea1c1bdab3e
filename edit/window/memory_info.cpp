// The memory-colour information box; see memory_info.h.
#include "edit/window/memory_info.h"

#include <cmath>
#include <cstring>

#include "edit/window/swatch.h"
#include "edit/window/tool_paint.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "resources/ids/strings.h"

namespace {

constexpr double kDegrees = 3.14159265358979323846 / 180.0;

bool IsSlot(int32_t subject) {
    return 0 <= subject && subject < kMemoryColorCount;
}

void Copy(const char* text, char* out) {
    std::strncpy(out, text, 255);
    out[255] = 0;
}

}  // namespace

int32_t MemoryColorLabAt(const MemoryColor* c, double l, float lab[3]) {
    if (c == nullptr || lab == nullptr) return kStatusProblem;
    const double chroma = c->defined ? c->mcChroma * 0.04 * l * (1.0 - l / 100.0) : 0.0;
    const double hue = (c->mcHue + (l - 50.0) * c->mcHueSlope) * kDegrees;
    lab[0] = float(l);
    lab[1] = float(chroma * std::cos(hue));
    lab[2] = float(chroma * std::sin(hue));
    return kStatusOk;
}

int32_t MemoryInfoTitle(UiWindow* w, int32_t subject, const MemoryColor* slots, char* first,
                        char* second) {
    if (first == nullptr || second == nullptr || (IsSlot(subject) && slots == nullptr)) {
        return kStatusProblem;
    }
    second[0] = 0;
    if (IsSlot(subject)) {
        const MemoryColor& c = slots[subject];
        if (c.defined && c.name[0] != 0) {
            char name[kMemoryColorNameSize];
            std::memcpy(name, c.name, sizeof name);
            name[kMemoryColorNameSize - 1] = 0;
            Copy(name, first);
        } else {
            LookString(w, kStrInfoUndefined, first);
        }
    } else if (subject == kMemoryInfoGrayscale) {
        LookString(w, kStrInfoGrayscale, first);
    } else if (subject == kMemoryInfoSepia) {
        LookString(w, kStrInfoSepia, first);
    } else {
        LookString(w, kStrInfoMemory, first);
        LookString(w, kStrInfoColors, second);
    }
    return kStatusOk;
}

int32_t MemoryInfoDraw(UiWindow* w, int16_t item, const EditState* s, const MemoryColor* slots,
                       int32_t subject) {
    Ui_Rect r;
    char first[256], second[256];
    if (s == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (MemoryInfoTitle(w, subject, slots, first, second) != kStatusOk) return kStatusProblem;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color well = LookColor(kLookWell), frame = LookColor(kLookFrame);
    Ui_Draw_FillRect(w, &r, &well);
    Ui_Draw_FrameRect(w, &r, &frame);
    int16_t textWidth = 0, lineHeight = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "Mg", &textWidth, &lineHeight);
    const RefRGB* space = &s->editPars.refRGB;
    int32_t status = kStatusOk;
    if (second[0] != 0) {
        // Nothing under the pointer: the two words in the middle of the box.
        const int32_t top = (r.top + r.bottom) / 2 - lineHeight;
        const Ui_Rect one = Ui_Rect_Make(top, r.left, top + lineHeight, r.right);
        const Ui_Rect two = Ui_Rect_Make(top + lineHeight, r.left, top + 2 * lineHeight, r.right);
        LookTextLine(w, first, &one, kUiAlignCenter, 0, kLookDimInk);
        LookTextLine(w, second, &two, kUiAlignCenter, 0, kLookDimInk);
        return Ui_Draw_End(w);
    }
    const Ui_Rect title = Ui_Rect_Make(r.top + 3, r.left + 2, r.top + 3 + lineHeight, r.right - 2);
    LookTextLine(w, first, &title, kUiAlignCenter, 0, kLookInk);
    const int32_t inset = Ui_Rect_Width(&r) / 6;
    const Ui_Rect swatch =
        Ui_Rect_Make(title.bottom + 4, r.left + inset, r.bottom - inset / 2, r.right - inset);
    if (Ui_Rect_IsEmpty(&swatch)) return Ui_Draw_End(w);
    if (subject == kMemoryInfoGrayscale || subject == kMemoryInfoSepia) {
        const float* rgb =
            subject == kMemoryInfoGrayscale ? s->colorDefs.grayscale : s->colorDefs.sepia;
        Ui_RGB screen{128, 128, 128};
        status = SwatchToScreen(rgb, space, &screen);
        const Ui_Color color = LookColor(screen);
        Ui_Draw_FillRect(w, &swatch, &color);
        Ui_Draw_FrameRect(w, &swatch, &frame);
    } else if (IsSlot(subject) && slots[subject].defined) {
        // Lightness 90 at the top to 10 at the bottom: the ends stay visibly coloured.
        const int32_t height = Ui_Rect_Height(&swatch);
        for (int32_t y = 0; y < height; ++y) {
            float lab[3];
            MemoryColorLabAt(&slots[subject], 90.0 - 80.0 * y / (height > 1 ? height - 1 : 1), lab);
            Ui_RGB screen{128, 128, 128};
            if (SwatchLabToScreen(lab, space, &screen) != kStatusOk) status = kStatusProblem;
            const Ui_Color color = LookColor(screen);
            const Ui_Rect row =
                Ui_Rect_Make(swatch.top + y, swatch.left, swatch.top + y + 1, swatch.right);
            Ui_Draw_FillRect(w, &row, &color);
        }
        Ui_Draw_FrameRect(w, &swatch, &frame);
    }
    const int32_t end = Ui_Draw_End(w);
    return status != kStatusOk ? status : end;
}
