// The editing window's keys. Return and Escape are OK and Cancel (the framework's), Tab and
// Shift+Tab move the focus (platform/ui/tab_order.h); the window adds:
//   Ctrl+Z                        Undo; Ctrl+Shift+Z and Ctrl+Y Redo
//   Ctrl+Tab, Ctrl+Page Down      the next tool tab (round); with Shift, or Ctrl+Page Up, the
//                                 previous one
//   Ctrl+1                        the preview at 100 % (1:1) around its centre; Ctrl+0 fit
//   Ctrl+plus, Ctrl+minus         a zoom level in or out (also on the number pad; Ctrl+= as
//                                 Ctrl+plus, which needs Shift on most keyboards)
//   P                             switches "Preview" (corrected or not), unless a number is
//                                 being typed into a value box
//   Left/Down, Right/Up           on a slider with the focus (Tab stops at the sliders): its
//                                 value 1 lower or higher, with Shift 10
// The tool tabs go by Ctrl+Tab rather than Ctrl+1..4, which the preview's zoom keeps for itself,
// as image editors and browsers have it. Each key does what its button or menu entry does, with
// the same checks (Undo with nothing to undo does nothing).
#include "edit/window/window_keys.h"

#include "edit/window/preview_zoom.h"
#include "edit/window/slider.h"
#include "edit/window/tab_bar.h"
#include "edit/window/window_record.h"
#include "edit/window/window_refresh.h"
#include "edit/window/window_layout.h"
#include "edit/window/window_commands.h"
#include "edit/window/window_tools.h"
#include "edit/window/window_typed_values.h"
#include "edit/window/window_zoom.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "resources/ids/dlg_editor.h"

namespace {

constexpr uint8_t kKeyTab = 9;
constexpr uint8_t kKeyPageUp = 33;
constexpr uint8_t kKeyPageDown = 34;

bool ShiftHeld(UiWindow* w) {
    Ui_Dlg* d = nullptr;
    return Ui_Dlg_Get(w, &d) == kStatusOk && d->shift != 0;
}

// The keys for zooming: the plus and minus keys of the main block (the codes the bindings give
// them), of the number pad, and '=' (plus without Shift).
constexpr uint8_t kKeyPlus = 0xBB, kKeyMinus = 0xBD, kKeyPadPlus = 0x6B, kKeyPadMinus = 0x6D;

// Zooms around the preview's centre: to a level, or steps levels in or out.
void ZoomKey(EditingWindow* win, int32_t level, int32_t steps, Ui_Failure* failure) {
    Ui_Rect r{};
    if (Ui_Item_GetRect(win->dialog, kEditorPreviewImage, &r) != kStatusOk) return;
    const int16_t v = int16_t((r.top + r.bottom) / 2), h = int16_t((r.left + r.right) / 2);
    // A level not offered now does nothing (EditorZoomTo answers -9 for it).
    if (steps != 0) {
        EditorZoomStep(win, steps, v, h, failure);
    } else {
        EditorZoomTo(win, level, v, h, failure);
    }
}

// The keys CtrlKey takes with Control held.
bool IsWindowCtrlKey(uint8_t key) {
    return key == 'Z' || key == 'Y' || key == kKeyTab || key == kKeyPageDown || key == kKeyPageUp ||
           key == '1' || key == '0' || key == kKeyPlus || key == kKeyMinus || key == '=' ||
           key == kKeyPadPlus || key == kKeyPadMinus;
}

// 1 when the key was the window's.
int32_t CtrlKey(EditingWindow* win, uint8_t key, bool shift, Ui_Failure* failure) {
    const int32_t tab = win->es->currentTab;
    switch (key) {
        case 'Z':
            EditorCommand(win, shift ? kEditorRedo : kEditorUndo, failure);
            return 1;
        case 'Y':
            EditorCommand(win, kEditorRedo, failure);
            return 1;
        case kKeyTab:
            EditorChangeTab(win, (tab + (shift ? kTabCount - 1 : 1)) % kTabCount, failure);
            return 1;
        case kKeyPageDown:
            EditorChangeTab(win, (tab + 1) % kTabCount, failure);
            return 1;
        case kKeyPageUp:
            EditorChangeTab(win, (tab + kTabCount - 1) % kTabCount, failure);
            return 1;
        case '1':
            ZoomKey(win, 100, 0, failure);
            return 1;
        case '0':
            ZoomKey(win, kPreviewZoomFit, 0, failure);
            return 1;
        case kKeyPlus:
        case kKeyPadPlus:
        case '=':
            ZoomKey(win, 0, 1, failure);
            return 1;
        case kKeyMinus:
        case kKeyPadMinus:
            ZoomKey(win, 0, -1, failure);
            return 1;
        default:
            return 0;
    }
}

}  // namespace

int32_t EditorKey(UiWindow* w, uint8_t key, uint8_t ctrl) {
    EditingWindow* win = EditorOf(w);
    if (win == nullptr) return 0;
    Ui_Failure failure;
    Ui_Failure_Clear(&failure);
    int32_t taken = 0;
    if (ctrl != 0) {
        // A number being typed is applied first: Ctrl+Z then takes it back, as it would after
        // Return.
        if (IsWindowCtrlKey(key)) EditorTypedValueFinish(win);
        taken = CtrlKey(win, key, ShiftHeld(w), &failure);
    } else if (key == 'P' && win->valueEntry.box == 0) {
        EditorCommand(win, kEditorPreviewCheck, &failure);
        taken = 1;
    } else if (SliderKeyStep(w, key) != 0) {
        taken = EditorNudgeSlider(win, Ui_Item_Focused(w), SliderKeyStep(w, key), &failure) ? 1 : 0;
    }
    if (taken != 0) {
        EditorRefreshMemoryButtons(win);
        EditorTell(win, &failure);
    }
    return taken;
}
