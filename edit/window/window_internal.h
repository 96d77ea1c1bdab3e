// The parts of the editing window that its source files share; see editing_window.h for the
// whole. Nothing outside edit/window/ includes this.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"
#include "platform/ui/ui_types.h"

// The window's own records (editing_window.h and the host's seams), named only: the files that
// use their fields include those headers, and editing_window.cpp includes this one.
struct EditingWindow;
struct PreviewInfo;
struct Ui_Failure;
struct UiWindow;

// window_record.cpp
// The run record of an open editing window, or null.
EditingWindow* EditorOf(UiWindow* dialog);
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

// window_layout.cpp
// Shows the items of the current tab and balance method and hides the others.
void EditorLayOutTab(EditingWindow* win);
// Goes to tab: the curve view closes, tab 1's histogram is recomputed, tab 3 places its handles
// when they wait for it. A failure of the automatic settings is described in failure.
int32_t EditorChangeTab(EditingWindow* win, int32_t tab, Ui_Failure* failure);
// Moves "Preview" into the place of the pixel readouts (lowered) or back, and shows or hides
// the readouts.
void EditorPlacePreviewCheck(EditingWindow* win, uint8_t lowered);
// The window at the rectangle the prepare phase chose for it, or else at the largest size the
// work area allows. failure: "resizing dialog".
int32_t EditorFitLargestWindow(EditingWindow* win, Ui_Failure* failure);
// The window at the size the preferences kept from last time (not when the largest window is
// asked for), centred where it is and held inside the work area, never below its template size.
int32_t EditorRestoreWindowSize(EditingWindow* win, Ui_Failure* failure);
// Notes the window's outer size for the preferences.
void EditorNoteWindowSize(EditingWindow* win);
// Asks the host for the picture of the preview item's size.
int32_t EditorAcquirePreview(EditingWindow* win, Ui_Failure* failure);
// The resize proc: the picture is fetched again for the preview item's new size.
int32_t EditImageResizeProc(UiWindow* dialog, int16_t width, int16_t height);

// window_transforms.cpp
// Both transforms for the current tab and view, then the preview and the readouts redrawn.
int32_t EditorRebuildTransforms(EditingWindow* win, Ui_Failure* failure);
// Frees the transforms and what the clicks in the preview keep (the sampled region).
void EditorFreeTransforms(EditingWindow* win);
// What the host shows and where the picture lies in the preview item (centred, cut to the
// item's inside). -2 while there is no picture.
int32_t EditorPictureArea(EditingWindow* win, PreviewInfo* info, Ui_Rect* area);
// The picture pixel under client point (v, h) of the picture drawn in area (a magnified pixel is
// a square there), held inside the picture; whether the point lies on the picture.
bool EditorPicturePixel(const PreviewInfo* info, const Ui_Rect* area, int32_t v, int32_t h,
                        int32_t* px, int32_t* py);
// A picture pixel's image coordinates and back; the way back is -1 when the image pixel is not
// in the picture (outside the 1:1 window).
void EditorPictureToImage(const PreviewInfo* info, int32_t px, int32_t py, int32_t* x, int32_t* y);
int32_t EditorImageToPicture(const PreviewInfo* info, int32_t x, int32_t y, int32_t* px,
                             int32_t* py);
// The preview item's draw proc.
int32_t EditorDrawPreview(UiWindow* dialog, int16_t item);
void EditorRedrawPreview(EditingWindow* win);

// window_commands.cpp
// Carries out a button, box or list of the window. false when the item is not one of them.
bool EditorCommand(EditingWindow* win, int16_t item, Ui_Failure* failure);
// Whether the command being run takes its Alt-click route: Alt was held at the click, or the
// command was chosen from the context menu entry that stands for that click.
bool EditorAltClick(EditingWindow* win);
// "Linear", "Toning", "Sharpen", "Remove Noise" and "Setup..." from the live parameters.
void EditorRefreshBoxes(EditingWindow* win);
// When the window closes, however it closes (once): the preferences take the sharpen and noise
// settings, the tab, the colour-balance method and the window's size, and are written. A failed
// write is described in failure.
int32_t EditorKeepHabits(EditingWindow* win, Ui_Failure* failure);
// Retitles OK for the preferences' mode of OK.
void EditorTitleOk(EditingWindow* win);
// The text under the colour-cast patch: what the automatic colour balance did while its result
// stands (the editing state's balanceConfidence), else what the colour tab asks for.
void EditorRefreshCastText(EditingWindow* win);

// The automatic settings for the groups of mask (restricted to the preferences' Keenhue mask).
// failure: "calculating auto settings".
int32_t EditorAutoSettings(EditingWindow* win, HgEditMask mask, Ui_Failure* failure);

// window_tools.cpp
// Registers the draw procs of the tool items of tabs 0-3.
void EditorRegisterToolDraws(UiWindow* dialog);
// Redraws every tool item: after a change of the parameters that was not a drag of the tool
// itself (a start button, Undo, a click in the preview), what each tool shows is stale.
void EditorRedrawTools(EditingWindow* win);
// Whether item is a tool that is dragged: a slider, the point handles or the hue ring.
bool EditorIsDraggedTool(int16_t item);
// The track proc's work for such an item: the press takes the undo snapshot, the moves change
// the parameter, the preview follows while dragging ("Live Sliders") or at the release.
// Answers as a track proc does: 1, the press is the tool's; at the release 0 when the drag
// failed, so that the item hit that follows tells the failure.
int32_t EditorTrackTool(EditingWindow* win, int16_t item, int16_t phase);
// An item hit on a tool item: the curve arrow opens or closes the curve; a dragged tool hands
// over the failure of its drag in failure. false when item is neither.
bool EditorToolClick(EditingWindow* win, int16_t item, Ui_Failure* failure);
// A value box of the tools as a click at p finds it: the value under the pointer (part: the tone
// point of the levels tab's three boxes, else 0), where it is shown, its text and the numbers it
// takes. -2 for an item that is no value box, or a click beside the levels tab's boxes.
struct EditorToolValue {
    int32_t part;
    Ui_Rect rect;
    char text[16];
    int32_t lo, hi;
};
int32_t EditorToolValueAt(EditingWindow* win, int16_t box, Ui_Point p, EditorToolValue* value);
// A number typed into a value box, taken as one history step as a drag is; the preview follows.
// The status, with failure described for the one alert.
int32_t EditorSetToolValue(EditingWindow* win, int16_t box, int32_t part, int32_t value,
                           Ui_Failure* failure);
// An arrow key on a slider that has the focus: its value moved by step (1, or 10 with Shift)
// within its range, as one history step; the preview follows. False when the item is no slider
// of the tool tabs.
bool EditorNudgeSlider(EditingWindow* win, int16_t item, int32_t step, Ui_Failure* failure);
// window_typed_values.cpp
// An item hit while a number is typed (value_entry.h), or a click on a value box that opens the
// entry; false when the item hit is someone else's. A failure of applying the number is
// described in failure.
bool EditorTypedValueHit(EditingWindow* win, int16_t item, Ui_Failure* failure);
// Applies what is typed and closes the entry, before a press or key of the window's own.
void EditorTypedValueFinish(EditingWindow* win);

// window_preview_clicks.cpp
// Registers the draw procs of the eyedropper, the readouts and the status area.
void EditorRegisterPreviewClicks(EditingWindow* win);
// The track proc's phases for a press in the preview: marking neutrals (tab 0), setting a black,
// grey or white point (tab 1), marking a hue (tab 3); with Shift sample points, with Alt the 1:1
// zoom; with Control, or on a tab whose tool takes no click, panning the zoomed picture.
int32_t EditorTrackPreview(EditingWindow* win, int16_t phase);
// Takes sample point #1 (0) or #2 (1) away; the readouts lose its column's figures.
void EditorRemoveSamplePoint(EditingWindow* win, int32_t point);
// Follows the pointer for the readouts' first column and takes the sampled region away once the
// pointer leaves the click; the window's pointer watch calls it on every pointer move.
int32_t EditorPreviewPointer(UiWindow* dialog);
// window_zoom.cpp
// Whether the preview offers level now (kPreviewZoomFit always while there is a picture and the
// host can zoom; a level of preview_zoom.h when it shows more than fit), and the level shown.
bool EditorZoomOffers(EditingWindow* win, int32_t level, int32_t* current);
// Shows the preview at level, the image pixel under client point (v, h) staying under it (a
// point off the picture: around the picture's middle), with the busy status; the preview and
// the status redrawn. -9 for a level not offered; a failed fetch keeps the view from before.
int32_t EditorZoomTo(EditingWindow* win, int32_t level, int16_t v, int16_t h, Ui_Failure* failure);
// steps levels in (positive) or out (negative) from the one shown, as EditorZoomTo.
int32_t EditorZoomStep(EditingWindow* win, int32_t steps, int16_t v, int16_t h,
                       Ui_Failure* failure);
// The window's wheel proc: over the preview, a level a notch around the pointer.
int32_t EditorPreviewWheel(UiWindow* dialog, int16_t item, int16_t v, int16_t h, int32_t steps);
// The status area's text for the zoom shown (a string id taking *percent), or 0 without a
// picture.
int32_t EditorZoomTextId(EditingWindow* win, int32_t* percent);
// The window's keys beside Return, Escape and Tab (window_keys.cpp); 1 when the key was taken.
int32_t EditorKey(UiWindow* dialog, uint8_t key, uint8_t ctrl);
// While the window works on something that takes a moment (Keenhue, a zoom, writing a file): the
// status area says what (a string id), painted at once since the work keeps the window from
// painting, and the wait cursor shows; both go when the object does (window_status.cpp).
class EditorBusy {
   public:
    EditorBusy(EditingWindow* win, int32_t textId);
    ~EditorBusy();
    EditorBusy(const EditorBusy&) = delete;
    EditorBusy& operator=(const EditorBusy&) = delete;

   private:
    EditingWindow* win_;
    int32_t previous_;
};
// Registers the status area's painting.
void EditorRegisterStatus(UiWindow* dialog);
// The context menus of the window's items (window_context_menu.cpp).
int32_t EditorContextMenu(UiWindow* dialog, int16_t item, int16_t v, int16_t h);
// window_export.cpp
// OK in a file-writing mode (1 edit a profile, 2 create a profile, 3 create a Huegrid): the
// choosers, then the file. 0 when it was written (or mode is 0): the window may close; -10
// when a chooser was cancelled: the window stays open; else the status, with failure described
// for the one alert ("writing file %s", "choosing an ICC profile", ...). The image is never
// touched here.
int32_t EditorExport(EditingWindow* win, int32_t mode, Ui_Failure* failure);

// window_color_tools.cpp
// Registers the toning swatch, the memory-colour information box and the pointer watch that
// chooses what the box names; the memory-colour buttons follow the active handle.
void EditorColorToolsInit(EditingWindow* win);
// Carries out "B/W", "Sepia", "Toning", the toning swatch, the memory-colour buttons and the
// colour-cast tab's "Preferences..." (the neutral definition). false when the item is none of
// them.
bool EditorColorToolCommand(EditingWindow* win, int16_t item, Ui_Failure* failure);
// Enables the memory-colour buttons while the active hue handle has samples, disables them
// otherwise. Whatever changes the active handle or its samples calls it.
void EditorRefreshMemoryButtons(EditingWindow* win);
// After Undo or Redo put the definitions and memory colours back: the preferences record keeps
// them as the state has them, and the memory-colour buttons and boxes show them.
void EditorDefinitionsRestored(EditingWindow* win);
