// Internals of the FLTK binding shared by its two files: the widgets and the window record.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Widget.H>

#include <cstdint>

#include "platform/ui/binding.h"

namespace kolmara_fltk {

constexpr int kItemTextSize = 1024;
constexpr int kTrackQueue = 64;

struct TrackEvent {
    int16_t v, h;
    uint8_t released;
    uint8_t modifiers;  // kUiMod... with kUiModFromEvent
};

// A widget of the dialog. What the item holds (its text, a box's state, a list's choice) is the
// framework's record; the widget only shows it.
struct Item {
    Fl_Widget* widget;
    uint8_t kind;
    uint32_t flags;
    uint8_t isDefault;
    Fl_RGB_Image* icon;  // icon items
    uint8_t* iconPixels;
    int32_t maxLength;  // edit fields: the most characters, 0 for no limit
};

class DialogWindow;

// The binding's record of one dialog window (UiWindow::native).
struct Native {
    DialogWindow* window;
    UiWindow* ui;
    int32_t itemCount;
    Item* items;
    uint8_t paintPosted;
    uint8_t inDraw;             // inside FLTK's drawing of this window
    uint8_t drawing;            // between drawBegin and drawEnd
    unsigned long backBuffer;   // the window's back buffer drawn into outside FLTK's drawing, or 0
    unsigned long frontWindow;  // the window FLTK drew to before that
    int32_t clipDepth;
    uint8_t xorOn;
    int16_t pendingFocus;  // focus asked for before the window is shown
    int16_t captureItem;
    TrackEvent queue[kTrackQueue];
    int32_t queueHead, queueCount;
    int32_t timerMillis;
    Native* parent;          // the dialog this one was opened over, or null
    Fl_Widget* parentFocus;  // the widget of the parent that had the focus then
    uint8_t settingRect;     // the binding is changing the window's size itself
    uint8_t sizePosted;      // a size message is on its way
    uint8_t resizable;       // the person may resize the window within the range below
    int16_t minWidth, minHeight, maxWidth, maxHeight;
    int16_t lastV, lastH;  // the mouse at the last event of a tracked press
    // The host's window under this dialog when no dialog of ours is (the handle the host gave,
    // on X a window id), and the input-only window that keeps it from the pointer while this
    // dialog is open; 0 for none.
    unsigned long hostWindow;
    unsigned long hostCover;
};

// Win32 virtual-key number of the key of the current FLTK event.
uint32_t VirtualKey();
// The item a widget is, 0 when it is none of the dialog's.
int16_t ItemNumber(Native* native, const Fl_Widget* widget);
// The label FLTK should show for a text: '@' and '&' escaped.
void SetLabel(Fl_Widget* widget, const char* text);
// Builds the window and its controls from the layout (hidden).
int32_t BuildWindow(Native* native);
// Dispatches a command from a control, with the modifier keys of the FLTK event behind it.
void Command(Native* native, int16_t item, uint16_t notification);
// The kUiMod... keys held at the current FLTK event. For a key event of Shift, Ctrl or Alt itself
// the key counts as held from its press and let go with its release.
uint8_t EventModifiers(int event);
// A key event of the window or of a user item (focusItem, else 0): routed to the framework, or,
// while a press is tracked, only a modifier key's change, queued as a drag where the mouse is.
void KeyEvent(Native* native, int16_t focusItem, int event);
// The size message, dispatched from a timeout after the window system changed the window's size.
void DeferredSize(void* native);
// The dialog's paint message, dispatched from a timeout after FLTK has drawn the window.
void DeferredPaint(void* native);
// Font of the dialog (kUiFontDialog) or the small font, set as FLTK's current font.
void UseFont(UiWindow* ui, int32_t font);

class DialogWindow : public Fl_Double_Window {
   public:
    DialogWindow(Native* native, int w, int h, const char* title);
    int handle(int event) override;
    void draw() override;
    // FLTK calls this for every change of the window's place or size, its own and the window
    // system's; only the latter become size messages.
    void resize(int x, int y, int w, int h) override;
    Native* native_;
};

}  // namespace kolmara_fltk
