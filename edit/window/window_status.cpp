// The editing window's status area (item 94) and its busy state; see EditorBusy in
// window_status.h. When the window is not busy the area shows the preview's zoom.
//
// Long steps run on the window's own thread, so nothing repaints while they run: the text is
// drawn straight away when the step starts and the area invalidated when it ends. The wait
// cursor is the call state's; the pointer's next move over the window puts the right cursor
// back through the window's cursor procedures, and the arrow stands in until then.
#include "edit/window/window_status.h"

#include "edit/window/tool_paint.h"
#include "edit/window/window_record.h"
#include "edit/window/window_transforms.h"
#include "edit/window/window_env.h"
#include "platform/format.h"
#include "platform/ui/controls.h"
#include "platform/ui/cursor.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"

namespace {

// The text for the zoom shown (a string id taking *percent), or 0 without a picture.
int32_t ZoomTextId(EditingWindow* win, int32_t* percent) {
    PreviewInfo info;
    Ui_Rect area;
    if (EditorPictureArea(win, &info, &area) != kStatusOk) return 0;
    if (info.zoomed != 0) {
        *percent = info.zoom;
        return kStrZoomShown;
    }
    *percent = info.imageWidth > 0
                   ? int32_t((int64_t(info.fitWidth) * 100 + info.imageWidth / 2) / info.imageWidth)
                   : 100;
    return kStrZoomShownFit;
}

// The status area: what the window is busy with, or the zoom shown.
int32_t DrawStatus(UiWindow* w, int16_t item) {
    EditingWindow* win = EditorOf(w);
    Ui_Rect r;
    if (win == nullptr || Ui_Item_GetRect(w, item, &r) != kStatusOk) return kStatusError;
    if (Ui_Draw_Begin(w) != kStatusOk) return kStatusError;
    // Drawn outside a paint as well (when a step starts), where no binding clips to the item: a
    // text wider than the area would stay beside it after the area is cleared.
    Ui_Draw_SetClip(w, &r);
    Ui_Draw_FillRect(w, &r, nullptr);
    char text[256];
    int32_t percent = 0;
    const int32_t zoomText = win->statusText == 0 ? ZoomTextId(win, &percent) : 0;
    if (win->statusText != 0) {
        LookString(w, win->statusText, text);
        LookTextLine(w, text, &r, kUiAlignLeft, 0, kLookInk);
    } else if (zoomText != 0) {
        char pattern[256];
        LookString(w, zoomText, pattern);
        Str_FormatPhrase(text, sizeof text, pattern, percent, nullptr, nullptr);
        LookTextLine(w, text, &r, kUiAlignLeft, 0, kLookInk);
    }
    return Ui_Draw_End(w);
}

}  // namespace

void EditorRegisterStatus(UiWindow* dialog) {
    Ui_Dlg_SetDrawProc(dialog, kEditorStatus, DrawStatus);
}

EditorBusy::EditorBusy(EditingWindow* win, int32_t textId) : win_(win), previous_(win->statusText) {
    win->statusText = textId;
    Ui_Item_Invalidate(win->dialog, kEditorStatus);
    // Before the window is on the screen (the automatic settings at opening) this draws nothing.
    DrawStatus(win->dialog, kEditorStatus);
    Ui_Cursor_Set(win->env->state, kUiCursorWait);
}

EditorBusy::~EditorBusy() {
    win_->statusText = previous_;
    Ui_Item_Invalidate(win_->dialog, kEditorStatus);
    Ui_Cursor_Set(win_->env->state, kUiCursorArrow);
}
