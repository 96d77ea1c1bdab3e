// The editing window's run record (EditingWindow) and what every part of the window does with
// it: finding it from the dialog, telling a failure, beginning a change that Undo takes back and
// naming the history's steps, and whether the command being run takes its Alt-click route.
#pragma once

#include <cstdint>

#include "edit/edit_history.h"
#include "edit/edit_state.h"
#include "edit/window/dialog_env.h"
#include "edit/window/value_entry.h"
#include "engine/huegrid.h"
#include "platform/alert.h"
#include "platform/ui/ui_types.h"

struct EditingWindowEnv;
struct Ui_Dlg;  // platform/ui/dlg.h

// Which of the two preview transforms.
enum : int32_t { kPreviewBefore = 0, kPreviewAfter = 1 };

// A pixel marked in the preview, in image coordinates (full size, counted from the filtered
// area's corner), so that it stays on the same pixel when the preview zooms.
// A marked pixel of the image: a sample point, or the pixel under the pointer.
using PreviewMark = EditSamplePoint;

// What the clicks in the preview keep between events (window_preview_clicks.cpp).
struct PreviewClicks {
    PreviewMark pointer;   // the pixel under the pointer (the sample points are the state's)
    int32_t press;         // what the press being tracked does (kPress... of that file)
    int32_t movingPoint;   // the sample point a Shift-drag moves
    int16_t lastV, lastH;  // where a Control-drag was last seen
    IPMask sampled;        // the region the last neutral or hue click took, in picture
                           // coordinates; its bits are a Mem_Alloc block, null when none
    uint8_t showSampled;   // paint it blue until the pointer moves away
    uint8_t reserved[3];
    int16_t sampledV, sampledH;  // where that click was
};

// The window's run record: what belongs to the open window rather than to the edit state.
struct EditingWindow {
    const EditingWindowEnv* env;
    EditState* es;
    UiWindow* dialog;
    DialogEnv dialogEnv;    // handed to the dialogs the window opens
    Huegrid* transform[2];  // kPreviewBefore, kPreviewAfter; null before the first build
    uint8_t keenhueMode;    // the "Keenhue Mode" box
    uint8_t combinedView;   // 1: the preview shows all tools; 0: before/after the current tool
    uint8_t curveOpen;      // the brightness/contrast curve view of tab 2 is shown
    uint8_t previewOn;      // the "Preview" box: the after image (1) or the before image (0)
    uint8_t reservedFlag;
    uint8_t previewLowered;  // "Preview" stands lower, in place of the hidden pixel readouts
    uint8_t acquired;        // the host delivered a picture for the preview item
    uint8_t accepted;        // closed with OK
    int32_t sampleSize;      // eyedropper: the sample averages (2n + 1)^2 pixels, n 0..2
    int32_t sampleStep;      // the eyedropper's direction through 0 -> 1 -> 2 -> 1 -> 0: +1 or -1
    int32_t readoutMode;     // 0 RGB, 1 HSB, 2 CMYK
    uint8_t cmykReadouts;    // the readouts offer CMYK (see RunEditingWindow)
    uint8_t habitsKept;      // the preferences took the window's tab, method, size (closing)
    uint8_t reserved[2];
    int16_t outerWidth, outerHeight;  // the window's size as last seen (opening, resizing)
    int32_t failures;                 // alerts shown by the window (a test reads it)
    // The tool being dragged (window_tools.cpp): its item (0 when none), the tone point or hue
    // handle it holds and, for the hue ring, whether the Before or the After handle.
    int16_t dragItem;
    int16_t dragKind;
    int32_t dragHandle;
    uint8_t dragPending;  // the parameter moved since the preview last followed it
    uint8_t clipping;     // kPreviewClip...: the black or white point handle is Alt-dragged
    uint8_t histogramValid;
    // The context menu's switch: the black and white point handles show the clipping view
    // while dragged, as they do with Alt held.
    uint8_t clippingView;
    // The command being run takes its Alt-click route: it was chosen from a context menu entry
    // that stands for the Alt-click (window_context_menu.cpp).
    uint8_t altRoute;
    // What the window is busy with, in its status area (window_status.cpp); 0: nothing.
    int32_t statusText;
    Ui_Failure dragFailure;   // the first failure of the drag, told at its release
    Ui_Failure openFailure;   // why the window closed before it was shown (no preview)
    uint32_t histogram[256];  // tab 1: luma counts of the picture as the points tool sees it
    PreviewClicks clicks;
    EditHistory history;  // what Undo and Redo go back and forth through
    ValueEntry
        valueEntry;  // a number being typed into a tool's value box (window_typed_values.cpp)
};

// The run record of an open editing window, or null.
EditingWindow* EditorOf(UiWindow* dialog);
// The dialog record of the window's dialog (its items and their states), or null.
Ui_Dlg* EditorDialogRecord(UiWindow* dialog);
// Shows a failure once (nothing for status 0 or a cancel) and counts it.
void EditorTell(EditingWindow* win, const Ui_Failure* failure);
// Before a change of the edit model that Undo takes back: the model's state becomes the undo
// snapshot (edit_snapshot.h) and "Undo" is enabled.
void EditorBeginChange(EditingWindow* win);
// The state in the undo snapshot becomes the newest history step (the redo steps go); for a change
// that took the snapshot itself and is known to have changed something.
void EditorRecordStep(EditingWindow* win);
// "Undo" and "Redo" enabled as the history has steps for them (at the start of a change, before
// anything has changed).
void EditorRefreshUndo(EditingWindow* win);
// After a change: "Undo" and "Redo" enabled exactly when they would change the correction, their
// tooltips naming the step ("Undo Brightness").
void EditorNameUndoSteps(EditingWindow* win);
// Whether the command being run takes its Alt-click route: Alt was held at the click, or the
// command was chosen from the context menu entry that stands for that click.
bool EditorAltClick(EditingWindow* win);
