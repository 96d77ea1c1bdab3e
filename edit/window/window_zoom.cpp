// The editing window's zoom: the levels of preview_zoom.h reached from the preview's context
// menu, the mouse wheel (one level a notch, around the pointer), Ctrl+0 (fit), Ctrl+1 (100 %),
// Ctrl+plus and Ctrl+minus (a level in or out, around the picture's centre) and the Alt-click
// (100 % around the pixel, or back to fit). The level shown is written in the status area.
//
// The host fetches each level anew: only the window shown, never the whole image. A fetch that
// fails leaves the host showing the fit preview; the level shown before is then asked for again
// (its failure is not told a second time) and the first failure is told once.
#include "edit/window/window_zoom.h"

#include "edit/window/preview_zoom.h"
#include "edit/window/window_record.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_typed_values.h"
#include "edit/window/window_status.h"
#include "edit/window/window_env.h"
#include "platform/numeric.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// The image point under client point (v, h) and where it lies on the drawn picture; off the
// picture, the image point at the picture's middle, and no anchor (-1).
void PointOf(const PreviewInfo& info, const Ui_Rect& area, int32_t v, int32_t h, int32_t* x,
             int32_t* y, int32_t* anchorH, int32_t* anchorV) {
    int32_t px = 0, py = 0;
    if (EditorPicturePixel(&info, &area, v, h, &px, &py)) {
        *anchorH = h - area.left;
        *anchorV = v - area.top;
    } else {
        *anchorH = *anchorV = -1;
        EditorPicturePixel(&info, &area, area.top + Ui_Rect_Height(&area) / 2,
                           area.left + Ui_Rect_Width(&area) / 2, &px, &py);
    }
    EditorPictureToImage(&info, px, py, x, y);
}

}  // namespace

bool EditorZoomOffers(EditingWindow* win, int32_t level, int32_t* current) {
    PreviewInfo info;
    Ui_Rect area;
    *current = kPreviewZoomFit;
    if (EditorPictureArea(win, &info, &area) != kStatusOk) return false;
    *current = info.zoomed != 0 ? info.zoom : kPreviewZoomFit;
    const WindowHostProcs* host = win->env->host;
    if (host->zoomPreview == nullptr || host->restorePreview == nullptr) return false;
    if (level == kPreviewZoomFit) return true;
    return PreviewZoomShowsMore(level, info.imageWidth, info.imageHeight, info.fitWidth,
                                info.fitHeight);
}

int32_t EditorZoomTo(EditingWindow* win, int32_t level, int16_t v, int16_t h, Ui_Failure* failure) {
    int32_t current = kPreviewZoomFit;
    if (!EditorZoomOffers(win, level, &current)) return kStatusUnsupported;
    if (level == current) return kStatusOk;
    PreviewInfo info;
    Ui_Rect area;
    if (EditorPictureArea(win, &info, &area) != kStatusOk) return kStatusError;
    const WindowHostProcs* host = win->env->host;
    int32_t status = kStatusOk;
    if (level == kPreviewZoomFit) {
        EditorBusy busy(win, kStrZoomingOut);
        status = host->restorePreview(host->context, failure);
    } else {
        int32_t x = 0, y = 0, anchorH = -1, anchorV = -1;
        PointOf(info, area, v, h, &x, &y, &anchorH, &anchorV);
        EditorBusy busy(win, level == 100 ? kStrZoomingIn : kStrZooming);
        status = host->zoomPreview(host->context, level, x, y, anchorH, anchorV, failure);
        if (status != kStatusOk && status != kStatusCancelled && info.zoomed != 0) {
            // The host shows fit now; the view from before comes back if it can.
            Ui_Failure ignored;
            host->zoomPreview(host->context, info.zoom, info.left, info.top, 0, 0, &ignored);
        }
    }
    EditorRedrawPreview(win);
    return status;
}

int32_t EditorZoomStep(EditingWindow* win, int32_t steps, int16_t v, int16_t h,
                       Ui_Failure* failure) {
    PreviewInfo info;
    Ui_Rect area;
    if (steps == 0 || EditorPictureArea(win, &info, &area) != kStatusOk) return kStatusOk;
    int32_t level = info.zoomed != 0 ? info.zoom : kPreviewZoomFit;
    for (int32_t i = 0; i < (steps > 0 ? steps : -steps); ++i) {
        level = PreviewZoomStep(level, steps, info.imageWidth, info.imageHeight, info.fitWidth,
                                info.fitHeight);
    }
    return EditorZoomTo(win, level, v, h, failure);
}

int32_t EditorPreviewWheel(UiWindow* dialog, int16_t item, int16_t v, int16_t h, int32_t steps) {
    EditingWindow* win = EditorOf(dialog);
    if (win == nullptr || item != kEditorPreviewImage) return 0;
    EditorTypedValueFinish(win);
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    // A notch away from the person (up) zooms in, as in image editors and map viewers.
    EditorZoomStep(win, -steps, v, h, &failure);
    EditorTell(win, &failure);
    return 0;
}
