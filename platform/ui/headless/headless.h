// The headless binding: dialogs without a display.
//
// It has two uses. Tests give it a script of events (clicks, list choices, text edits, keys with
// modifiers, presses, drags and releases on user items, idle ticks) and read back the item states
// and what was drawn: an RGB canvas of the client area for rectangles, lines, ellipses, polygons,
// images and bitmaps, and a record of every text with its rectangle. Time is then a virtual clock
// that only the script's idle ticks advance, so runs are exact and quick. A script that runs out
// while a dialog is open ends that dialog with item 2.
//
// Without a script it is what the module uses when there is no display: no dialog can be run
// (Ui_Dlg_Run refuses with -9), alerts go to the debug log and stderr, questions take their
// first button, and choosers cancel. Nothing ever waits for a person.
//
// Fonts are fixed at the framework's nominal metrics (Ui_Font_Nominal): the dialog font at 8
// points is 6 pixels a character and 13 pixels high (the classic dialog base units), at 9 points
// 7 by 15, the small font 4 by 8. Every character has the average width.
//
// It behaves as a window manager would: a window keeps its size unless its owner made it
// resizable, and then a scripted resize stays within the window's limits.
//
// The screen is 1280 x 1024 pixels with a task bar 40 pixels high along its bottom edge, so its
// work area is (top 0, left 0, bottom 984, right 1280) unless a test gives another one.
#pragma once

#include <cstdint>

#include "platform/ui/ui_types.h"

struct UiBinding;

const UiBinding* Ui_Headless_Binding();

enum : int32_t {
    kUiScriptClick = 1,  // item: a button, check box or icon is clicked; a user item is pressed
                         // and released at its centre
    kUiScriptSelect,     // item, value: the 1-based list entry is chosen
    kUiScriptEdit,       // item, text: the edit field's text becomes text
    kUiScriptNotify,     // item, value: a raw command notification
    kUiScriptKey,        // value: key code pressed and released; item: the user item with the
                         // focus (0: the focus stays where it is)
    kUiScriptKeyDown,    // as kUiScriptKey, only the press
    kUiScriptKeyUp,      // as kUiScriptKey, only the release
    kUiScriptPress,      // item, v, h: left button pressed on a user item; value 2: the
                         // second press of a double-click
    kUiScriptDrag,       // v, h: the mouse moves with the button held
    kUiScriptRelease,    // v, h: the button is released
    kUiScriptMove,       // v, h: the mouse moves (a cursor request to what is under it)
    kUiScriptIdle,       // value: this many 100 ms ticks pass
    kUiScriptChoose,     // text: the answer to the next chooser (null: cancel); value: the
                         // 1-based filter the person picks (0: the one offered)
    kUiScriptCall,       // call(dialog, context): lets a test look into the open dialog
    kUiScriptResize,     // h, v: the person drags the window's frame to a client area h wide and
                         // v high (kept within the window's limits; refused for a fixed window)
    kUiScriptContext,    // item, v, h: the right button is clicked on the item (0: the dialog)
                         // at (v, h); v = h = -1 for the item's centre (the menu key)
    kUiScriptMenu,       // value: the 1-based entry chosen in the next pop-up menu (0: the
                         // menu is dismissed)
    kUiScriptWheel,      // item, v, h, value: the wheel turns value notches over the item (0: the
                         // dialog) at (v, h), positive towards the person
};

struct UiScriptEvent {
    int32_t kind;
    int16_t item;
    int16_t v, h;  // client coordinates
    int32_t value;
    const char* text;
    uint8_t ctrl, alt, shift;  // modifier keys held during the event; for a key event of Shift,
                               // Ctrl or Alt itself its own flag is let go with its release
    int32_t dialogId;          // 0: any; else the event is for this dialog only
    void (*call)(UiWindow* dialog, void* context);
    void* context;
};

// Gives the binding a script (kept by pointer: it must outlive the runs). null: no script, the
// unattended mode. Resets the virtual clock and the refused-event count.
void Ui_Headless_SetScript(const UiScriptEvent* events, int32_t count);
// Events not yet used.
int32_t Ui_Headless_Remaining();
// The order in which Tab goes through the open dialog's items as they are now (tab_order.h),
// into order (at most capacity); returns how many items Tab reaches.
int32_t Ui_Headless_TabOrder(UiWindow* dialog, int16_t* order, int32_t capacity);
// Events that could not be delivered (a click on a hidden or disabled item, a press outside the
// item, an answer with no chooser asking, ...). A correct script leaves this at 0.
int32_t Ui_Headless_Refused();

constexpr int kUiHeadlessText = 1024;  // room for the longest alert sentence

struct UiHeadlessItem {
    uint8_t kind;    // kUiItem...
    uint32_t flags;  // template flags
    Ui_Rect rect;    // client pixels
    char text[kUiHeadlessText];
    int32_t check;
    uint8_t enabled;
    uint8_t visible;
    uint8_t plainStyle;
    int32_t selFirst, selLast;  // edit selection
    int32_t listCount;
    int32_t listSelection;  // 0-based, -1 none
    char (*list)[kUiHeadlessText];
    int32_t listCapacity;
    int32_t maxLength;  // edit fields: the most characters typing leaves, 0 for no limit
    char tip[256];      // the tooltip, "" for none
};

struct UiHeadlessText {
    char text[kUiHeadlessText];
    Ui_Rect rect;
    uint32_t format;
    Ui_RGB color;
    int32_t font;
};

struct UiHeadlessWindow {
    int32_t dialogId;
    char title[kUiHeadlessText];
    Ui_Rect outer;  // screen coordinates
    int32_t width, height;
    uint8_t* rgb;  // width * height pixels, 3 bytes each, red first, top row first
    int32_t itemCount;
    UiHeadlessItem* items;
    int32_t textCount, textCapacity;
    UiHeadlessText* texts;
    int16_t focus;  // item with the focus, -1 the dialog
    int16_t defaultItem;
    uint8_t timerOn;
    uint32_t paints;  // window paints so far
    // drawing state
    uint8_t drawing, clipOn, paintClipOn;
    Ui_Rect clip, paintClip;
    uint8_t invalid, erase;  // a paint is due; it erases the background first
    Ui_Rect invalidRect;
    int16_t minWidth, minHeight, maxWidth, maxHeight;  // client sizes a person may drag to
    uint8_t shown;  // on the screen: from the end of the init proc; no drawing before
};

// The headless window of an open dialog, or null.
const UiHeadlessWindow* Ui_Headless_Window(UiWindow* dialog);
// A copy of the last dialog that closed, kept until the next one closes or Ui_Headless_Reset.
// The copy is not the module's memory: the dialog's own blocks are freed when it closes.
const UiHeadlessWindow* Ui_Headless_LastClosed();
// A pixel of a window's canvas; black outside it.
Ui_RGB Ui_Headless_Pixel(const UiHeadlessWindow* window, int32_t v, int32_t h);
// Replaces the work area the binding reports (any rectangle, taken as given); null stands for a
// screen whose work area cannot be read, so that asking for it fails with -2.
void Ui_Headless_SetWorkArea(const Ui_Rect* area);
// Forgets the last closed dialog, the script, opened addresses, beeps and cursor counts, and
// brings back the default work area.
void Ui_Headless_Reset();

// What the system services saw.
const char* Ui_Headless_LastUrl();  // "" when none
int32_t Ui_Headless_Beeps();
int32_t Ui_Headless_CursorLoads();  // resource cursors made
uint32_t Ui_Headless_CursorKind();  // cursor shown last
int32_t Ui_Headless_ChooserCalls();
// What the last chooser asked for.
struct UiHeadlessChooser {
    int32_t kind;
    char title[kUiHeadlessText];
    char folder[kUiHeadlessText];
    char firstFilter[kUiHeadlessText];  // description of the first filter
    char lastPattern[kUiHeadlessText];  // pattern of the filter chosen at first
    int32_t filterIndex;
    char defaultExt[kUiHeadlessText];
    uint8_t confirmOverwrite;
    char prompt[kUiHeadlessText];   // "" when none
    char offered[kUiHeadlessText];  // the path the chooser started with (a save's proposed name)
};
const UiHeadlessChooser* Ui_Headless_LastChooser();
// What the last pop-up menu showed, and how many menus were shown.
struct UiHeadlessMenu {
    int32_t count;
    char text[12][256];
    uint8_t mark[12];  // UiMenuMark
    uint8_t enabled[12];
    int16_t v, h;  // where it opened, client coordinates
};
const UiHeadlessMenu* Ui_Headless_LastMenu();
int32_t Ui_Headless_MenuCalls();
