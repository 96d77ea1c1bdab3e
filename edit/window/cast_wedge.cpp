// The colour-cast step wedge; see cast_wedge.h.
#include "edit/window/cast_wedge.h"

#include "edit/window/swatch.h"
#include "edit/window/tool_paint.h"
#include "engine/luma.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"

namespace {

constexpr int32_t kSteps = 10;
constexpr double kIconGain = 3.0;

// The grey of level shifted by offset, held within 0..1.
void Shifted(double level, const float offset[3], double gain, float out[3]) {
    for (int c = 0; c < 3; ++c) out[c] = float(Num_Clamp01(level + gain * double(offset[c])));
}

int32_t FillSwatch(UiWindow* w, const Ui_Rect* r, const float rgb[3], const RefRGB* space) {
    Ui_RGB screen{128, 128, 128};
    const int32_t status = SwatchToScreen(rgb, space, &screen);
    const Ui_Color color = LookColor(screen);
    Ui_Draw_FillRect(w, r, &color);
    return status;
}

}  // namespace

int32_t CastWedgeCastAt(const EditPars* p, double level, float cast[3], uint8_t* found) {
    if (p == nullptr || cast == nullptr) return kStatusProblem;
    // The filled bins in order of brightness: their lumas and casts.
    double lumas[kEditBinCount], casts[kEditBinCount][3];
    int32_t n = 0;
    for (const SampleBin& b : p->balBin) {
        if (b.count <= 0) continue;
        double mean[3];
        for (int c = 0; c < 3; ++c) mean[c] = double(b.sum[c]) / b.count;
        const double y = HgLuma(mean);
        // Bins are filed by luma, so their means rise with the index; keep it so when two
        // neighbours' means cross at a boundary.
        lumas[n] = n > 0 && y < lumas[n - 1] ? lumas[n - 1] : y;
        for (int c = 0; c < 3; ++c) casts[n][c] = mean[c] - y;
        ++n;
    }
    if (found != nullptr) *found = uint8_t(n > 0);
    for (int c = 0; c < 3; ++c) cast[c] = 0.0f;
    if (n == 0) return kStatusOk;
    int32_t hi = 0;
    while (hi < n && lumas[hi] < level) ++hi;
    if (hi == 0 || hi == n) {
        const int32_t at = hi == 0 ? 0 : n - 1;
        for (int c = 0; c < 3; ++c) cast[c] = float(casts[at][c]);
        return kStatusOk;
    }
    const double span = lumas[hi] - lumas[hi - 1];
    const double t = span > 0.0 ? (level - lumas[hi - 1]) / span : 1.0;
    for (int c = 0; c < 3; ++c) {
        cast[c] = float(casts[hi - 1][c] + t * (casts[hi][c] - casts[hi - 1][c]));
    }
    return kStatusOk;
}

int32_t CastWedgeStep(const EditState* s, int32_t i, int32_t steps, float cast[3],
                      float target[3]) {
    if (s == nullptr || cast == nullptr || target == nullptr || !(0 <= i && i < steps)) {
        return kStatusProblem;
    }
    const double level = (i + 0.5) / steps;
    float offset[3];
    CastWedgeCastAt(&s->editPars, level, offset, nullptr);
    Shifted(level, offset, 1.0, cast);
    const double neutral[3] = {s->colorDefs.neutral[0], s->colorDefs.neutral[1],
                               s->colorDefs.neutral[2]};
    const double y = HgLuma(neutral);
    const float tint[3] = {float(neutral[0] - y), float(neutral[1] - y), float(neutral[2] - y)};
    Shifted(level, tint, 1.0, target);
    return kStatusOk;
}

int32_t CastWedgeDraw(UiWindow* w, int16_t item, const EditState* s) {
    Ui_Rect r;
    if (s == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    const Ui_Color frame = LookColor(kLookFrame), divider = LookColor(kLookWell);
    const Ui_Rect inside = Ui_Rect_Make(r.top + 1, r.left + 1, r.bottom - 1, r.right - 1);
    const int32_t width = Ui_Rect_Width(&inside), height = Ui_Rect_Height(&inside);
    // The cast takes the larger part: it is what the user looks at.
    const int32_t split = inside.top + (height * 3) / 5;
    int32_t status = kStatusOk;
    for (int32_t i = 0; i < kSteps; ++i) {
        const int32_t left = inside.left + width * i / kSteps;
        const int32_t right = inside.left + width * (i + 1) / kSteps;
        float cast[3], target[3];
        CastWedgeStep(s, i, kSteps, cast, target);
        const Ui_Rect top = Ui_Rect_Make(inside.top, left, split, right);
        const Ui_Rect bottom = Ui_Rect_Make(split + 1, left, inside.bottom, right);
        if (FillSwatch(w, &top, cast, &s->editPars.refRGB) != kStatusOk) status = kStatusProblem;
        FillSwatch(w, &bottom, target, &s->editPars.refRGB);
    }
    const Ui_Rect line = Ui_Rect_Make(split, inside.left, split + 1, inside.right);
    Ui_Draw_FillRect(w, &line, &divider);
    Ui_Draw_FrameRect(w, &r, &frame);
    const int32_t end = Ui_Draw_End(w);
    return status != kStatusOk ? status : end;
}

int32_t CastIconDraw(UiWindow* w, int16_t item, const EditState* s) {
    Ui_Rect r;
    if (s == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    Ui_Draw_FillRect(w, &r, nullptr);
    // A square chip in the middle of the item.
    const int32_t side =
        (Ui_Rect_Width(&r) < Ui_Rect_Height(&r) ? Ui_Rect_Width(&r) : Ui_Rect_Height(&r)) - 2;
    const int32_t left = r.left + (Ui_Rect_Width(&r) - side) / 2;
    const int32_t top = r.top + (Ui_Rect_Height(&r) - side) / 2;
    const Ui_Rect chip = Ui_Rect_Make(top, left, top + side, left + side);
    float offset[3], rgb[3];
    CastWedgeCastAt(&s->editPars, 0.5, offset, nullptr);
    Shifted(0.5, offset, kIconGain, rgb);
    const int32_t status = FillSwatch(w, &chip, rgb, &s->editPars.refRGB);
    const Ui_Color frame = LookColor(kLookFrame);
    Ui_Draw_FrameRect(w, &chip, &frame);
    const int32_t end = Ui_Draw_End(w);
    return status != kStatusOk ? status : end;
}
