// The editing window's two preview transforms and the drawing of the preview.
//
// The preview and the readouts compare a before and an after image. In the combined view (the
// state at opening) the before image is the image itself and the after image has every tool
// applied; in the current-tool view they are the image before and after the current tab's tool,
// with the tools left of it applied to both. "Preview" off shows the before image.
#include "edit/window/window_internal.h"
#include "engine/huegrid_build.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg1000.h"
#include "resources/ids/strings.h"

namespace {

// Per tab: the tools left of it, and the tools up to and including it.
constexpr HgEditMask kBeforeMask[4] = {1, 3, 31, 1023};
constexpr HgEditMask kAfterMask[4] = {3, 31, 1023, 65535};

int32_t Depth(const EditState* es) {
    return es->bitsPerChannel == 16 ? 2 : 1;
}

int32_t ClampTab(int32_t tab) {
    return tab < 0 ? 0 : tab > 3 ? 3 : tab;
}

}  // namespace

HgEditMask PreviewBeforeMask(int32_t tab, uint8_t combined) {
    return combined != 0 ? HgEditMask(0) : kBeforeMask[ClampTab(tab)];
}

HgEditMask PreviewAfterMask(int32_t tab, uint8_t combined) {
    return combined != 0 ? HgEditMask(kEditMaskAll) : kAfterMask[ClampTab(tab)];
}

int32_t RebuildPreview(EditingWindow* win, HgEditMask mask, int32_t which, Ui_Failure* failure) {
    Ui_Failure_Clear(failure);
    if (win == nullptr || win->es == nullptr || !(0 <= which && which <= 1)) {
        return kStatusProblem;
    }
    // No tool at all is the image as it is: drawn without a transform, exactly.
    Huegrid* built = nullptr;
    if (mask != 0) {
        const int32_t status =
            HgBuild(&win->es->editPars, mask, win->es->gridLevel, Depth(win->es), &built);
        if (status != kStatusOk) return Ui_Fail(failure, status, kPhraseCreateHuegrid);
    }
    if (win->transform[which] != nullptr) HgFree(win->transform[which]);
    win->transform[which] = built;
    if (win->dialog != nullptr) Ui_Item_Invalidate(win->dialog, kEditorPreviewImage);
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
    return status;
}

void EditorFreeTransforms(EditingWindow* win) {
    for (Huegrid*& t : win->transform) {
        if (t != nullptr) HgFree(t);
        t = nullptr;
    }
}

void EditorRedrawPreview(EditingWindow* win) {
    Ui_Item_Invalidate(win->dialog, kEditorPreviewImage);
}

int32_t EditorDrawPreview(UiWindow* dialog, int16_t item) {
    EditingWindow* win = EditorOf(dialog);
    Ui_Rect r;
    if (win == nullptr || Ui_Item_GetRect(dialog, item, &r) != kStatusOk) return kStatusError;
    // Inside the frame: a neutral grey where the picture does not reach.
    Ui_Rect inside{int16_t(r.top + 1), int16_t(r.left + 1), int16_t(r.bottom - 1),
                   int16_t(r.right - 1)};
    const WindowHostProcs* host = win->env->host;
    PreviewInfo info{};
    const bool havePicture = win->acquired != 0 && host != nullptr &&
                             host->previewInfo != nullptr && host->drawPreview != nullptr &&
                             host->previewInfo(host->context, &info) == kStatusOk;
    if (Ui_Draw_Begin(dialog) != kStatusOk) return kStatusError;
    const Ui_Color grey = Ui_ColorFromRGB(128, 128, 128);
    Ui_Draw_FillRect(dialog, &inside, &grey);
    Ui_Draw_End(dialog);
    if (!havePicture) return kStatusOk;

    // The picture centred in the item, cut to it.
    Ui_Rect area = inside;
    const int32_t spareH = Ui_Rect_Width(&inside) - info.width;
    const int32_t spareV = Ui_Rect_Height(&inside) - info.height;
    if (spareH > 0) area.left = int16_t(area.left + spareH / 2);
    if (spareV > 0) area.top = int16_t(area.top + spareV / 2);
    PreviewLook look{};
    look.shown = win->transform[win->previewOn != 0 ? kPreviewAfter : kPreviewBefore];
    look.showsEdits = win->previewOn != 0 && win->combinedView != 0 ? 1 : 0;
    look.clipping = win->clipping;
    look.busy = win->dragItem != 0 ? 1 : 0;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    const int32_t status = host->drawPreview(host->context, dialog, &area, &look, &failure);
    if (status != kStatusOk) {
        // A paint cannot ask the person anything: an alert here would come back with every
        // repaint. The log says what failed; the grey area stays.
        char line[96];
        Ui_FormatStringN(line, sizeof line, "drawPreview error %d", int(status));
        Ui_Debug_Log(win->env->state->diagnostics, line);
    }
    return status;
}
