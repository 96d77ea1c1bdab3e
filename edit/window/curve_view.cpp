// The brightness and contrast curve; see curve_view.h.
#include "edit/window/curve_view.h"

#include "edit/window/tool_paint.h"
#include "engine/edit_chain.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"

int32_t CurveViewLevel(EditPars* p, double x, double* y) {
    if (p == nullptr || y == nullptr) return kStatusProblem;
    x = Num_Clamp01(x);
    float v[3] = {float(x), float(x), float(x)};
    const int32_t status = HgEvalChannelStages(p, kCurveViewMask, v);
    if (status != kStatusOk) return status;
    const double out = v[1];  // a grey stays grey through these stages
    *y = Num_Clamp01(out);
    return kStatusOk;
}

int32_t CurveArrowDraw(UiWindow* w, int16_t item, uint8_t open) {
    const bool pressed = item < 0;
    Ui_Rect r;
    if (Ui_Item_GetRect(w, pressed ? int16_t(-item) : item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    PaintCanvas canvas;
    int32_t status = canvas.Open(r, LookBackground(w));
    if (status == kStatusOk) {
        const double width = Ui_Rect_Width(&r), height = Ui_Rect_Height(&r);
        const double side = (width < height ? width : height) * 0.6;
        const double cx = width / 2.0, cy = height / 2.0, half = side / 2.0;
        const Ui_RGB ink = pressed ? kLookAccent : kLookDimInk;
        if (open) {
            const double down[6] = {cx - half, cy - half * 0.6, cx + half, cy - half * 0.6,
                                    cx,        cy + half * 0.8};
            PaintPolygon(canvas.image(), down, 3, ink);
        } else {
            const double right[6] = {cx - half * 0.6, cy - half, cx + half * 0.8, cy,
                                     cx - half * 0.6, cy + half};
            PaintPolygon(canvas.image(), right, 3, ink);
        }
        status = canvas.Show(w);
    }
    Ui_Draw_End(w);
    return status;
}

int32_t CurveViewDraw(UiWindow* w, int16_t item, EditPars* p) {
    Ui_Rect r;
    if (p == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    PaintCanvas canvas;
    int32_t status = canvas.Open(r, kLookWell);
    if (status == kStatusOk) {
        Ui_Offscreen* image = canvas.image();
        // The plot inside a margin that keeps the curve's ends off the frame; pixel centres.
        const double width = Ui_Rect_Width(&r), height = Ui_Rect_Height(&r);
        const double left = 3.5, right = width - 3.5, top = 3.5, bottom = height - 3.5;
        const Ui_RGB grid = LookMix(kLookWell, kLookLightFrame, 0.6);
        for (int i = 1; i < 4; ++i) {
            const double x = left + (right - left) * i / 4.0, y = top + (bottom - top) * i / 4.0;
            PaintLine(image, x, top, x, bottom, 1.0, grid);
            PaintLine(image, left, y, right, y, 1.0, grid);
        }
        PaintLine(image, left, bottom, right, top, 1.0, kLookLightFrame);
        // The curve: one segment a pixel column.
        double lastX = left, lastY = bottom;
        const int32_t columns = int32_t(right - left);
        for (int32_t i = 0; i <= columns && status == kStatusOk; ++i) {
            const double level = columns > 0 ? double(i) / columns : 0.0;
            double out = 0.0;
            status = CurveViewLevel(p, level, &out);
            const double x = left + i, y = bottom - out * (bottom - top);
            if (i > 0) PaintLine(image, lastX, lastY, x, y, 1.6, kLookAccent);
            lastX = x;
            lastY = y;
        }
        if (status == kStatusOk) status = canvas.Show(w);
    }
    const Ui_Color frame = LookColor(kLookFrame);
    Ui_Draw_FrameRect(w, &r, &frame);
    Ui_Draw_End(w);
    return status;
}
