// The editing window: the preview of the image on the left, drawn through the transform of the
// live parameters, and the tool panel with its four tabs on the right.
//
// RunEditingWindow runs the window modally over the run's EditState. The window keeps a run
// record of its own (EditingWindow): the two transforms the preview and the readouts are drawn
// through, the state of its boxes and views, and the environment it was opened with (the call
// state, the preferences record, the host's procedures, the help file). Everything the window
// needs from the host comes through that environment; it never calls the host layer.
//
// The window's code is split by concern: editing_window.cpp opens the window and dispatches its
// events; window_layout.cpp shows and hides the items of each tab, moves "Preview" with the
// pixel readouts and follows the window's size; window_transforms.cpp builds the before and
// after transforms and draws the preview; window_commands.cpp carries out what the buttons and
// boxes ask for; window_typed_values.cpp takes numbers typed into the tools' value boxes;
// window_record.cpp holds what every part does with the run record (finding it,
// telling a failure, beginning a change that Undo takes back, whose snapshot is the edit model's:
// edit/edit_snapshot.h). The tool items of the tabs (tab bar, sliders, histogram, hue ring,
// readouts) are components of their own that draw and hit-test from the EditState alone; the window
// registers them and routes their events.
#pragma once

#include <cstdint>

#include "edit/edit_history.h"
#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "edit/window/dialog_env.h"
#include "edit/window/host_seams.h"
#include "edit/window/value_entry.h"
#include "engine/huegrid.h"
#include "platform/alert.h"
#include "platform/ui/rect.h"

// What the window is opened with; the host layer fills it.
struct EditingWindowEnv {
    UiState* state;
    void* parent;                 // window to open over; null: the state's parent
    Prefs* prefs;                 // read at opening and after "Preferences..."; OK and Cancel
                                  // store into it and write it
    const WindowHostProcs* host;  // the preview, the colour picker, the document title
    const HelpContext* help;      // null: the "?" items do nothing
    const char* documentName;     // the document's name, for the custom settings' suggested
                                  // file name; null or empty: none
    HgEditMask keenhueStart;      // the groups whose tools start with the automatic settings
    // "Use Largest Possible Window": the window's outer rectangle (screen coordinates) that the
    // prepare phase chose, so that the preview is the size the memory budget was worked out
    // for. Empty: the screen's work area.
    Ui_Rect largestBounds;
    // Asked before "Prev" or "Custom" use settings made in another working space (see
    // CopyParsMasked); null: such settings are not used.
    ConfirmSpaceChange confirmSpace;
    // Writes the preferences file from *prefs. A failure is described as "updating Preferences
    // file %s". Null: the preferences are not written (tests).
    int32_t (*writePrefs)(void* context, Ui_Failure* failure);
    void* context;
};

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

// Runs the editing window on editState. *accepted: true when it closed with OK (the live
// parameters are then in prefs->previousSettings). 0; -1 for a bad argument; -9 when windows
// cannot be shown (no display); -3 without memory; the framework's status when the window could
// not be made. The window shows its own failures. When the host cannot give the preview (an
// empty selection, a refusal) the window is never shown: that failure is told once and the run
// ends as a cancelled one (0, *accepted false, the record unchanged).
int32_t RunEditingWindow(const EditingWindowEnv* env, EditState* editState, bool* accepted);

// Builds the before or after transform (which) from the live parameters restricted to mask, at
// the state's grid level and the image's depth, and marks the preview for redrawing. On failure
// the previous transform stays and failure says "creating Huegrid".
int32_t RebuildPreview(EditingWindow* win, HgEditMask mask, int32_t which, Ui_Failure* failure);

// The masks of the two transforms for a tab: the current-tool view shows the tools left of the
// tab before and up to it after; the combined view nothing before and everything after.
HgEditMask PreviewBeforeMask(int32_t tab, uint8_t combined);
HgEditMask PreviewAfterMask(int32_t tab, uint8_t combined);

// The tab a click at x pixels from the tab bar's left edge chooses; the bounds are measured on
// the classic dialog font and scaled to the window's (Ui_Dlg_ScalePixels).
int32_t EditorTabAt(UiWindow* dialog, int32_t x);
