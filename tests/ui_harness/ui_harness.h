// One harness for tests that drive real windows: the plug-in's dialogs on the FLTK binding under
// a virtual X server, and the same scripts on the headless binding, so that a test can check that
// both bindings behave alike.
//
// What it gives a test:
// - a display: EnsureDisplay() attaches to the X server named by KOLMARA_UI_DISPLAY, or starts a
//   private Xvfb (1920 x 1080, 24 bits, no window manager) for the process and stops it at exit;
//   it never uses the desktop the tests were started from;
// - steps a person would take, written once: clicks and key presses with Shift, Ctrl or Alt
//   held, presses, drags and releases on user items, modifier keys going down and up (also in
//   the middle of a drag), typing into edit fields, choosing list entries, dragging the window's
//   frame to a new size, waiting, screenshots and calls into the open dialog;
// - Run / Play, which play the steps on either binding: on FLTK as real X input through the XTEST
//   extension (so modifier keys travel with the clicks exactly as a keyboard's do), on headless
//   as a script that is resolved step by step while the dialog runs, so that positions follow the
//   items wherever they are at that moment;
// - screenshots: the dialog as it is on the screen (or the headless canvas) as RGB, written as
//   PNG files into ui_shots/ of the build folder, for a person to look at.
//
// Positions are offsets from an item's centre, so a script does not depend on where the item is.
// Steps go to the dialog in front (the innermost one open); For(id, step) waits until dialog id
// is in front (an alert opened by the step before, say). Keys, text, waits, calls and shots also
// play while only a window of FLTK's own is up (a file chooser), the shot then of the screen. When
// the steps run out while a dialog is still open, it ends with item 2, on both bindings; a run that
// takes longer than its guard ends every dialog with item 2 and says so, so that no test can hold
// the display.
//
// A typical test:
//
//     ui_harness::Install(binding);                     // kHeadless or kFltk
//     auto r = ui_harness::Run(binding, state, kTestDialog, Init, nullptr,
//                              {Press(4), DragTo(4, 10, 20), KeyDown(kUiKeyAlt),
//                               Release(4, 10, 20), KeyUp(kUiKeyAlt), Shot("drag.png"),
//                               Key(kUiKeyReturn)});
//     EXPECT_EQ(r.item, 1);
//     EXPECT_FALSE(r.guardFired);
//
// Everything runs on the test's thread, inside the dialog's modal loop.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"

namespace ui_harness {

enum class Binding { kHeadless, kFltk };
const char* Name(Binding binding);

// The virtual screen: the headless binding reports the same work area, so that sizes agree.
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// 0 when an X display is there for FLTK (attached or started); -2, with the reason on stderr,
// when none can be had. Starting happens once a process.
int32_t EnsureDisplay();

// Installs the binding with the framework: FLTK on the harness's display, or headless with a
// work area of the virtual screen's size. 0, or -2 when FLTK cannot be installed.
int32_t Install(Binding binding);

// The modifier keys a step holds: kUiModCtrl, kUiModAlt, kUiModShift (binding.h), or'ed.
struct Step {
    enum Kind {
        kClick,    // item clicked at its centre (+ dv, dh), with `modifiers` held around it
        kPress,    // left button pressed on a user item
        kDrag,     // the mouse moves to the item's centre + (dv, dh) with the button held
        kRelease,  // the button is let go there
        kKey,      // key pressed and released, with `modifiers` held around it
        kKeyDown,  // key pressed (a modifier key stays held until its kKeyUp)
        kKeyUp,    // key let go
        kType,     // the edit field's text replaced by typing text
        kText,     // text typed into whatever has the keyboard (FLTK only: FLTK's own windows)
        kChoose,   // list entry `value` (1-based) of a combo box chosen
        kResize,   // the window's frame dragged so that the client area is dh wide, dv high
        kWait,     // value milliseconds pass
        kShot,     // the dialog in front (the screen when none) written to text (a file name)
        kCall,     // call(dialog in front)
    };
    Kind kind = kWait;
    int16_t item = 0;
    int dv = 0, dh = 0;
    uint8_t modifiers = 0;
    uint32_t key = 0;
    int32_t value = 0;
    std::string text;
    std::function<void(UiWindow*)> call;
    int32_t dialogId = 0;  // 0: whatever dialog is in front
};

Step Click(int16_t item, uint8_t modifiers = 0);
Step ClickAt(int16_t item, int dv, int dh, uint8_t modifiers = 0);
Step Press(int16_t item, int dv = 0, int dh = 0);
Step DragTo(int16_t item, int dv, int dh);
Step Release(int16_t item, int dv, int dh);
Step Key(uint32_t key, uint8_t modifiers = 0);
Step KeyDown(uint32_t key);
Step KeyUp(uint32_t key);
Step Type(int16_t item, const std::string& text);
Step Text(const std::string& text);
Step Choose(int16_t item, int32_t entry);
Step Resize(int width, int height);
Step Wait(int milliseconds);
Step Shot(const std::string& fileName);
Step Do(std::function<void(UiWindow*)> call);
// The step, played only once dialog dialogId is in front.
Step For(int32_t dialogId, Step step);

struct Result {
    int32_t status = -99;     // of Ui_Dlg_Run (or of the caller's open function)
    int16_t item = 0;         // the item that closed the dialog
    bool guardFired = false;  // the run took too long and was ended by force
    bool ranOut = false;      // the steps ran out with a dialog still open (ended with item 2)
    int32_t refused = 0;      // headless: events that could not be delivered (hidden items, ...)
};

// Runs dialog dialogId with the init proc and user data on the installed binding, playing the
// steps; guardSeconds bounds the whole run on FLTK.
Result Run(Binding binding, UiState* state, int32_t dialogId, UiInitProc init, void* userData,
           std::vector<Step> steps, double guardSeconds = 20);
// The same for a caller that opens its dialog some other way (an alert, the about box): open runs
// the dialog and returns its status with the item in *item.
Result Play(Binding binding, UiState* state, std::vector<Step> steps,
            std::function<int32_t(int16_t* item)> open, double guardSeconds = 20);

// A dialog's client area as RGB rows, red first.
struct Capture {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    Ui_RGB At(int v, int h) const;
    // Pixels inside r for which test(r, g, b) holds.
    int Count(const Ui_Rect& r, const std::function<bool(uint8_t, uint8_t, uint8_t)>& test) const;
};

// The client area of an open dialog as it is on the screen (FLTK: what X shows there, windows
// over it included) or on the headless canvas. 0, or -2.
int32_t Grab(UiWindow* dialog, Capture* capture);
// The whole virtual screen (FLTK only).
int32_t GrabScreen(Capture* capture);
// ui_shots/ of the build folder, made when missing, with a trailing slash.
std::string OutputFolder();
// Writes the capture as an 8-bit RGB PNG file; 0 or -2.
int32_t WritePng(const std::string& path, const Capture& capture);
// Grab and WritePng into OutputFolder(): the path written, empty on failure.
std::string Shoot(UiWindow* dialog, const std::string& fileName, Capture* capture = nullptr);

}  // namespace ui_harness
