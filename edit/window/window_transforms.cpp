// The editing window's two preview transforms and the drawing of the preview.
//
// The preview and the readouts compare a before and an after image. In the combined view (the
// state at opening) the before image is the image itself and the after image has every tool
// applied; in the current-tool view they are the image before and after the current tab's tool,
// with the tools left of it applied to both. "Preview" off shows the before image.
#include "edit/window/window_transforms.h"

#include "edit/window/tool_paint.h"
#include "edit/window/window_record.h"
#include "edit/window/window_tool_items.h"
#include "edit/window/window_env.h"
#include "edit/prefs.h"
#include "engine/huegrid_build.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/numeric.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// Per tab: the tools left of it, and the tools up to and including it.
constexpr HgEditMask kBeforeMask[4] = {1, 3, 31, 1023};
constexpr HgEditMask kAfterMask[4] = {3, 31, 1023, 65535};

int32_t Depth(const EditState* es) {
    return es->bitsPerChannel == 16 ? 2 : 1;
}

}  // namespace

HgEditMask PreviewBeforeMask(int32_t tab, uint8_t combined) {
    return combined != 0 ? HgEditMask(0) : kBeforeMask[Num_Clamp(tab, 0, 3)];
}

HgEditMask PreviewAfterMask(int32_t tab, uint8_t combined) {
    return combined != 0 ? HgEditMask(kEditMaskAll) : kAfterMask[Num_Clamp(tab, 0, 3)];
}

int32_t RebuildPreview(EditingWindow* win, HgEditMask mask, int32_t which, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (win == nullptr || win->es == nullptr || !(0 <= which && which <= 1)) {
        return kStatusProblem;
    }
    // No tool at all is the image as it is: drawn without a transform, exactly.
    Huegrid* built = nullptr;
    if (mask != 0) {
        // Rebuilt at every step of a slider drag: the call's threads shorten the step.
        const int32_t threads = PrefsThreadCount(win->env->prefs);
        const int32_t status = HgBuildOn(&win->es->editPars, mask, win->es->gridLevel,
                                         Depth(win->es), threads, &built);
        if (status != kStatusOk) return Ui_Failure_Describe(failure, status, kPhraseCreateHuegrid);
    }
    if (win->transform[which] != nullptr) HgFree(win->transform[which]);
    win->transform[which] = built;
    if (win->dialog != nullptr) {
        Ui_Item_Invalidate(win->dialog, kEditorPreviewImage);
        Ui_Item_Invalidate(win->dialog, kEditorReadouts);
    }
    return kStatusOk;
}

int32_t EditorRebuildTransforms(EditingWindow* win, Ui_Failure* failure) {
    const int32_t tab = win->es->currentTab;
    int32_t status =
        RebuildPreview(win, PreviewBeforeMask(tab, win->combinedView), kPreviewBefore, failure);
    if (status == kStatusOk) {
        status =
            RebuildPreview(win, PreviewAfterMask(tab, win->combinedView), kPreviewAfter, failure);
    }
    EditorRedrawTools(win);
    EditorNameUndoSteps(win);
    return status;
}

void EditorFreeTransforms(EditingWindow* win) {
    for (Huegrid*& t : win->transform) {
        if (t != nullptr) HgFree(t);
        t = nullptr;
    }
    win->clicks.sampled.bits = static_cast<uint8_t*>(Mem_Free(win->clicks.sampled.bits));
    win->clicks.showSampled = 0;
}

void EditorRedrawPreview(EditingWindow* win) {
    Ui_Item_Invalidate(win->dialog, kEditorPreviewImage);
    Ui_Item_Invalidate(win->dialog, kEditorReadouts);
    Ui_Item_Invalidate(win->dialog, kEditorStatus);  // the zoom it shows
}

int32_t EditorPictureArea(EditingWindow* win, PreviewInfo* info, Ui_Rect* area) {
    const WindowHostProcs* host = win->env->host;
    Ui_Rect r;
    if (win->acquired == 0 || host == nullptr || host->previewInfo == nullptr ||
        host->previewInfo(host->context, info) != kStatusOk || info->width < 1 ||
        info->height < 1 || Ui_Item_GetRect(win->dialog, kEditorPreviewImage, &r) != kStatusOk) {
        return kStatusError;
    }
    // Inside the frame, the picture centred; a picture larger than the item is cut at the right
    // and bottom.
    Ui_Rect inside = Ui_Rect_Make(r.top + 1, r.left + 1, r.bottom - 1, r.right - 1);
    const int32_t spareH = Ui_Rect_Width(&inside) - info->drawnWidth;
    const int32_t spareV = Ui_Rect_Height(&inside) - info->drawnHeight;
    *area = inside;
    if (spareH > 0) {
        area->left = int16_t(inside.left + spareH / 2);
        area->right = int16_t(area->left + info->drawnWidth);
    }
    if (spareV > 0) {
        area->top = int16_t(inside.top + spareV / 2);
        area->bottom = int16_t(area->top + info->drawnHeight);
    }
    return kStatusOk;
}

bool EditorPicturePixel(const PreviewInfo* info, const Ui_Rect* area, int32_t v, int32_t h,
                        int32_t* px, int32_t* py) {
    const int32_t magnify = Num_Max(info->magnify, 1);
    const int32_t x = (h - area->left) / magnify, y = (v - area->top) / magnify;
    *px = Num_Clamp(x, 0, info->width - 1);
    *py = Num_Clamp(y, 0, info->height - 1);
    return Ui_Rect_ContainsPoint(area, v, h) && x < info->width && y < info->height;
}

// Unzoomed, picture pixel p covers image pixels p * iw / w up to (p + 1) * iw / w; zoomed, the
// rate's pixels from left + p * rate. A click takes the one in the middle (held inside the image),
// and an image pixel goes back to the picture pixel that covers it.
void EditorPictureToImage(const PreviewInfo* info, int32_t px, int32_t py, int32_t* x, int32_t* y) {
    if (info->zoomed != 0) {
        const int32_t rate = Num_Max(info->rate, 1);
        *x = Num_Clamp(info->left + px * rate + rate / 2, 0, Num_Max(info->imageWidth - 1, 0));
        *y = Num_Clamp(info->top + py * rate + rate / 2, 0, Num_Max(info->imageHeight - 1, 0));
    } else if (info->width == info->imageWidth) {
        *x = px;
        *y = py;
    } else {
        *x = int32_t((2 * int64_t(px) + 1) * info->imageWidth / (2 * int64_t(info->width)));
        *y = int32_t((2 * int64_t(py) + 1) * info->imageHeight / (2 * int64_t(info->height)));
    }
}

int32_t EditorImageToPicture(const PreviewInfo* info, int32_t x, int32_t y, int32_t* px,
                             int32_t* py) {
    if (info->zoomed != 0) {
        // Rounded down, also left of the picture: a pixel there is outside.
        const int32_t rate = Num_Max(info->rate, 1);
        const int32_t dx = x - info->left, dy = y - info->top;
        *px = dx >= 0 ? dx / rate : -1;
        *py = dy >= 0 ? dy / rate : -1;
    } else if (info->width == info->imageWidth || info->imageWidth < 1 || info->imageHeight < 1) {
        *px = x;
        *py = y;
    } else {
        *px = int32_t((2 * int64_t(x) + 1) * info->width / (2 * int64_t(info->imageWidth)));
        *py = int32_t((2 * int64_t(y) + 1) * info->height / (2 * int64_t(info->imageHeight)));
    }
    return 0 <= *px && *px < info->width && 0 <= *py && *py < info->height ? kStatusOk
                                                                           : kStatusProblem;
}

namespace {

// The sample points over the picture: a ring with a cross hair, white on black so that it shows
// on any colour, and its number beside it.
void DrawSamplePoints(EditingWindow* win, const PreviewInfo& info, const Ui_Rect& area) {
    UiWindow* w = win->dialog;
    if (Ui_Draw_Begin(w) != kStatusOk) return;
    Ui_Draw_SetClip(w, &area);
    const Ui_Color black = Ui_ColorFromRGB(0, 0, 0), white = Ui_ColorFromRGB(255, 255, 255);
    for (int32_t i = 0; i < 2; ++i) {
        const PreviewMark& m = win->es->samplePoints[i];
        int32_t px = 0, py = 0;
        if (m.valid == 0 || EditorImageToPicture(&info, m.x, m.y, &px, &py) != kStatusOk) continue;
        // On a magnified picture the mark sits in the middle of its pixel's square.
        const int32_t magnify = Num_Max(info.magnify, 1);
        const int32_t h = area.left + px * magnify + magnify / 2;
        const int32_t v = area.top + py * magnify + magnify / 2;
        for (int32_t pass = 0; pass < 2; ++pass) {
            const Ui_Color& ink = pass == 0 ? black : white;
            const int32_t grow = pass == 0 ? 1 : 0;
            const Ui_Rect ring =
                Ui_Rect_Make(v - 5 - grow, h - 5 - grow, v + 6 + grow, h + 6 + grow);
            Ui_Draw_FrameEllipse(w, &ring, &ink);
            Ui_Draw_SetPen(w, &ink, int16_t(pass == 0 ? 3 : 1));
            Ui_Draw_MoveTo(w, int16_t(v), int16_t(h - 9));
            Ui_Draw_LineTo(w, int16_t(v), int16_t(h - 3));
            Ui_Draw_MoveTo(w, int16_t(v), int16_t(h + 3));
            Ui_Draw_LineTo(w, int16_t(v), int16_t(h + 9));
            Ui_Draw_MoveTo(w, int16_t(v - 9), int16_t(h));
            Ui_Draw_LineTo(w, int16_t(v - 3), int16_t(h));
            Ui_Draw_MoveTo(w, int16_t(v + 3), int16_t(h));
            Ui_Draw_LineTo(w, int16_t(v + 9), int16_t(h));
        }
        char label[4];
        Str_FormatN(label, sizeof label, "%d", int(i + 1));
        int16_t tw = 0, th = 0;
        Ui_Draw_MeasureText(w, kUiFontDialog, label, &tw, &th);
        const Ui_Rect tag = Ui_Rect_Make(v + 4, h + 8, v + 4 + th, h + 12 + tw);
        Ui_Draw_FillRect(w, &tag, &black);
        LookTextLine(w, label, &tag, kUiAlignCenter, 0, Ui_RGB{255, 255, 255});
    }
    Ui_Draw_SetPen(w, &black, 1);
    Ui_Draw_SetClip(w, nullptr);
    Ui_Draw_End(w);
}

}  // namespace

int32_t EditorDrawPreview(UiWindow* dialog, int16_t item) {
    EditingWindow* win = EditorOf(dialog);
    Ui_Rect r;
    if (win == nullptr || Ui_Item_GetRect(dialog, item, &r) != kStatusOk) return kStatusError;
    // Inside the frame: a neutral grey where the picture does not reach.
    Ui_Rect inside{int16_t(r.top + 1), int16_t(r.left + 1), int16_t(r.bottom - 1),
                   int16_t(r.right - 1)};
    const WindowHostProcs* host = win->env->host;
    PreviewInfo info{};
    Ui_Rect area;
    const bool havePicture = host != nullptr && host->drawPreview != nullptr &&
                             EditorPictureArea(win, &info, &area) == kStatusOk;
    if (Ui_Draw_Begin(dialog) != kStatusOk) return kStatusError;
    const Ui_Color grey = Ui_ColorFromRGB(128, 128, 128);
    Ui_Draw_FillRect(dialog, &inside, &grey);
    Ui_Draw_End(dialog);
    if (!havePicture) return kStatusOk;

    PreviewLook look{};
    look.shown = win->transform[win->previewOn != 0 ? kPreviewAfter : kPreviewBefore];
    look.showsEdits = win->previewOn != 0 && win->combinedView != 0 ? 1 : 0;
    look.clipping = win->clipping;
    look.busy = win->dragItem != 0 ? 1 : 0;
    if (win->clicks.showSampled != 0 && win->clicks.sampled.bits != nullptr &&
        win->clicks.sampled.width == info.width && win->clicks.sampled.height == info.height) {
        look.sampled = &win->clicks.sampled;
    }
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    const int32_t status = host->drawPreview(host->context, dialog, &area, &look, &failure);
    if (status != kStatusOk) {
        // A paint cannot ask the person anything: an alert here would come back with every
        // repaint. The log says what failed; the grey area stays.
        char line[96];
        Str_FormatN(line, sizeof line, "drawPreview error %d", int(status));
        Ui_Debug_Log(win->env->state->diagnostics, line);
        return status;
    }
    DrawSamplePoints(win, info, area);
    return status;
}
