// The window part of the Win32 binding: its record of a dialog window and the links between its
// files (win32_binding.cpp windows and the modal loop, win32_controls.cpp the items,
// win32_input.cpp keys, mouse, timers and cursors, win32_system.cpp the system services).
//
// Dialogs are made from the module's DIALOGEX resources, whose controls carry the item numbers
// as their ids; the controls are then moved to the framework's pixel rectangles, so that both
// systems show a template at the same size. User items are windows of the class "UiUserItem"
// that draw nothing themselves: their paint, press and key events go to the framework, which
// draws on the dialog window over them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/ui/binding.h"
#include "platform/ui/win32/win32_internal.h"

namespace kolmara_w32 {

constexpr int kTrackQueue = 64;
constexpr char kUserItemClass[] = "UiUserItem";
// Messages the dialog posts to itself so that the framework runs outside the window system's
// painting and sizing.
constexpr UINT kMsgDeferredPaint = WM_APP + 1;
constexpr UINT kMsgDeferredSize = WM_APP + 2;

struct TrackEvent {
    int16_t v, h;
    uint8_t released;
    uint8_t modifiers;  // kUiMod... with kUiModFromEvent
};

// A control of the dialog. What the item holds (its text, a box's state, a list's choice) is the
// framework's record; the control only shows it.
struct Item {
    HWND hwnd;
    uint8_t kind;
    uint32_t flags;
    int32_t maxLength;  // edit fields: the most characters, 0 for no limit
    Ui_Rect rect;       // where the framework put the item, in client pixels
    HBITMAP icon;       // icon items: the picture shown
    int32_t iconId;     // icon items: the number of the icon shown, 0 for none
};

// The binding's record of one dialog window (UiWindow::native).
struct Window {
    UiWindow* ui;
    HWND hwnd;
    HWND owner;       // the window disabled while this one is modal, or null
    HWND ownerFocus;  // the control of the owner that had the focus
    W32DrawState draw;
    int32_t itemCount;
    Item* items;
    uint32_t opening;  // windows opened so far when this one opened: the newest has the most
    HWND tips;  // the tooltip window of the items, made with the first tooltip; the dialog owns it
    HBRUSH background;  // the dialog's background colour
    Ui_RGB backgroundColor;
    uint8_t shown;
    uint8_t paintPosted;
    uint8_t sizePosted;
    uint8_t settingRect;  // the binding is changing the window's size itself
    uint8_t settingText;  // an edit field's text is set from code: no change notification
    uint8_t resizable;
    int16_t minWidth, minHeight, maxWidth, maxHeight;
    int16_t pendingFocus;  // focus asked for before the window is shown
    int16_t captureItem;
    int16_t lastV, lastH;  // the mouse at the last event of a tracked press
    TrackEvent queue[kTrackQueue];
    int32_t queueHead, queueCount;
};

// The record of a framework window, or null.
Window* RecordOf(UiWindow* w);
// The record of a dialog window handle (its own or that of one of its controls), or null.
Window* RecordOfHwnd(HWND hwnd);
// The item of a control window, 0 when it is none of the dialog's.
int16_t ItemOfHwnd(const Window* n, HWND hwnd);
Item* ItemOf(UiWindow* w, int16_t item);
// The module (or program) whose resources hold the dialogs and which owns the classes.
HINSTANCE ThisModule();
// The window a dialog or message box of the state is owned by: the dialog in front, else the
// host's window when it is one, else none.
HWND OwnerOf(UiState* state);

// The kUiMod... keys held at the message being handled (the thread's key state follows the
// messages, so a modifier's own press counts from that press).
uint8_t MessageModifiers();
// Dispatches a command from a control with the keys of the message behind it.
void Command(Window* n, int16_t item, uint16_t notification);
// A key message of a dialog's window or control. Returns true when the framework took it (it must
// not reach the control or the dialog manager).
bool KeyMessage(Window* n, const MSG* msg);
// Handles one waiting message, or waits up to millis for one. False when WM_QUIT came.
bool PumpOne(Window* n, DWORD millis);

// The window procedure of the UiUserItem class.
LRESULT CALLBACK UserItemProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Sets up the controls of a new dialog: styles the framework needs, then PlaceControls.
int32_t SetUpControls(Window* n);
// Puts the controls at their rectangles in the window's resolution, in its dialog font, and
// gives the icons their pictures at that resolution (again after a change of resolution).
void PlaceControls(Window* n);
// Frees what the controls hold (icons).
void FreeControls(Window* n);
// The brush of the dialog's background colour (made again when the colour changes).
HBRUSH Background(Window* n);
// The dialog's answer to a control's colour request (WM_CTLCOLOR...).
INT_PTR ControlColor(Window* n, UINT message, HDC dc, HWND control);
// The cursor the framework chose last, set again whenever the window system asks.
void ApplyCursor();
// The timer message of a dialog.
void TimerMessage(Window* n, int32_t id);

// The resolution of the monitor a window is on, in dots per inch (96 when the system says
// nothing).
int32_t WindowDpi(HWND hwnd);
// The resolution the screen's coordinates are converted at: the newest open dialog's (the one
// being placed), or the system's when none is open.
int32_t ScreenDpi();
// The resolution a window with a client area of width x height framework pixels is drawn at:
// its monitor's, or, where the window would not fit the monitor's work area at that scale (the
// editing window at 150 % on a 1080-line screen), the largest that fits, never below 96.
int32_t FittingDpi(HWND hwnd, int32_t width, int32_t height);
// On: the thread's windows from now on are aware of each monitor's resolution. Off: the thread
// has the awareness back that it had before (the host's).
void SetDpiAwareness(bool on);

// Fills the operations of each file into the binding table.
void FillWindowOps(UiBinding* b);
void FillControlOps(UiBinding* b);
void FillInputOps(UiBinding* b);
void FillSystemOps(UiBinding* b);
// Message boxes go through the window system from installation on.
void InstallMessageBox();

}  // namespace kolmara_w32
