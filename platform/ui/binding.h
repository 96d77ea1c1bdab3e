// The contract between the toolkit-neutral dialog framework and a window-system binding.
//
// The framework owns the dialog records, the dispatch rules and the drawing state; a binding owns
// the windows, widgets, timers and pixels. A binding fills a UiBinding table with its operations
// and feeds every event of a dialog window to Ui_Dlg_Proc, and every event of a UiUserItem to
// Ui_UserItem_Proc, as messages shaped after the Win32 ones the framework was designed around.
//
// Two rules keep the bindings interchangeable:
// - every window paint is followed by kUiMsgPaint and then one kUiMsgCtlColorStatic to the dialog
//   (the colour request of its children), dispatched outside the toolkit's drawing code, and the
//   user items of the damaged area get kUiMsgPaint through Ui_UserItem_Proc;
// - a key pressed while a user item has the focus goes to that item, any other key to the dialog:
//   Return clicks the default button, Escape item 2, other keys become kUiMsgKeyDown (or
//   kUiMsgSysKeyDown while Alt is held).
// Key codes are Win32 virtual-key numbers (letters as capitals, 13 Return, 27 Escape, 16 Shift,
// 17 Ctrl, 18 Alt, 37..40 arrows).
//
// Events a person makes (clicks, presses, drags, releases, keys) carry the modifier keys held at
// that event in Ui_Msg::modifiers, marked with kUiModFromEvent; the framework takes them from
// there rather than asking the keyboard later, so that a script of window-system events can hold
// Shift or Alt and a drag sees each change as it happens. Messages without an event behind them
// (timers, paints) leave the mark off and the keyboard's state is read instead.
//
// A size change of a dialog window that the binding did not make itself (a person dragged the
// frame) is reported as kUiMsgSize with the new client size, after the window has it.
#pragma once

#include <cstdint>

#include "platform/ui/dlg_template.h"
#include "platform/ui/ui_types.h"

struct UiState;
struct Ui_Offscreen;  // platform/ui/draw.h

// A dialog window. The framework allocates it; the binding keeps its own data in native.
// What a pop-up menu entry stands for: an action, or a state that can be switched, shown with a
// box that is checked while the state holds.
enum UiMenuMark : uint8_t { kUiMenuAction = 0, kUiMenuOff = 1, kUiMenuOn = 2 };

// One entry of a pop-up menu as a binding shows it.
struct Ui_MenuItem {
    const char* text;
    UiMenuMark mark;
    uint8_t enabled;  // 0: shown greyed, cannot be chosen
};

struct UiWindow {
    void* userData;          // the user-data slot: a Ui_Dlg for the plug-in's dialogs
    void* native;            // the binding's window record
    Ui_DlgTemplate* layout;  // the items with their kinds and pixel rectangles
    UiState* state;
    Ui_BaseUnits base;  // dialog units of the dialog font
    int32_t dialogId;
    int16_t result;       // the item that ended the dialog
    int16_t defaultItem;  // the default push button, 0 when none
    uint8_t created;      // the creation message (and the init proc) has run
    uint8_t ended;        // set by Ui_Dlg_End: the binding's modal loop returns
    uint8_t tracking;     // a user item is being tracked: no timer messages meanwhile
    int16_t layoutWidth;  // the client size the items are laid out for (see Ui_Dlg_Resize)
    int16_t layoutHeight;
};

enum : int32_t {
    kUiMsgFontSet = 1,  // font: the dialog's font
    kUiMsgCreate,       // the window and its controls exist
    kUiMsgTimer,        // timerId
    kUiMsgCommand,      // item, notification
    kUiMsgPaint,
    kUiMsgSetCursor,  // result: 1 when a proc set the cursor
    kUiMsgKeyDown,    // key
    kUiMsgKeyUp,
    kUiMsgSysKeyDown,
    kUiMsgSysKeyUp,
    kUiMsgCtlColorButton,  // result: one of kUiBrush...
    kUiMsgCtlColorStatic,
    kUiMsgCtlColorDialog,
    kUiMsgLButtonDown,  // user items: v, h in client coordinates
    kUiMsgGetDlgCode,   // user items: result kUiDlgCodeAllKeys for key messages
    kUiMsgMouseMove,    // any other message: only the common steps run
    kUiMsgSize,         // v, h: the new client height and width
    kUiMsgContextMenu,  // item (0: the dialog itself), v, h in client coordinates: the person
                        // asked for the menu of what is there (right button, Shift+F10, the
                        // menu key)
    kUiMsgWheel,        // item under the pointer (0: none), v, h, steps: the mouse wheel turned
};

// Command notifications that reach the item-hit proc; every other code is dropped.
enum : uint16_t {
    kUiNotifyClicked = 0,        // button clicked
    kUiNotifySelChange = 1,      // list selection changed
    kUiNotifyKillFocus = 0x200,  // edit field lost the focus
    kUiNotifyChange = 0x300,     // edit text changed
};

// Ui_Msg::modifiers: the keys held at the event, and the mark that they come from the event.
enum : uint8_t { kUiModCtrl = 1, kUiModAlt = 2, kUiModShift = 4, kUiModFromEvent = 0x80 };

enum : int32_t { kUiBrushSystem = 0, kUiBrushHollow = 1, kUiBrushSolid = 2 };
enum : int32_t { kUiDlgCodeAllKeys = 4 };
enum : uint8_t {
    kUiKeyReturn = 13,
    kUiKeyEscape = 27,
    kUiKeyShift = 16,
    kUiKeyCtrl = 17,
    kUiKeyAlt = 18
};
// The dialog background until an owner sets one, and the colour of the thin frame that the
// border flag draws around a static text or user item: the same on every binding.
constexpr Ui_RGB kUiDefaultBackground{240, 240, 240};
constexpr Ui_RGB kUiBorderRGB{140, 140, 140};

constexpr int32_t kUiIdleTimer = 1;
constexpr int32_t kUiIdleMillis = 100;

struct Ui_Msg {
    int32_t kind;
    int16_t item;           // command source
    uint16_t notification;  // command notification
    uint32_t key;           // key code; the procs see the low 8 bits
    int16_t v, h;           // button press position
    int32_t font;           // font set
    int32_t timerId;
    uint8_t modifiers;  // kUiMod..., with kUiModFromEvent when the event carried them
    int16_t steps;      // wheel notches: positive towards the person (to see what lies below)
    uint8_t clicks;     // kUiMsgLButtonDown: 2 for the second press of a double-click, else 1
};

// The framework dialog procedure. *result (may be null) receives the message's answer.
int32_t Ui_Dlg_Proc(UiWindow* dialog, const Ui_Msg* msg, int32_t* result);
// The UiUserItem control procedure. Returns 1 when the message was handled, 0 when the binding
// should do its default handling.
int32_t Ui_UserItem_Proc(UiWindow* dialog, int16_t item, const Ui_Msg* msg, int32_t* result);
// The colours a binding paints with: the dialog background and whether buttons and static texts
// are transparent over it (custom colours on).
int32_t Ui_Dlg_Colors(UiWindow* dialog, Ui_RGB* background, uint8_t* custom);
// A key press as a binding sees it, routed by the rule above. focusItem: the user item that has
// the focus, else 0. modifiers: the kUiMod... keys held at the event (the mark is added here); Alt
// among them makes the key a system key.
int32_t Ui_Dlg_RouteKey(UiWindow* dialog, int16_t focusItem, uint32_t key, uint8_t modifiers,
                        uint8_t up);
// Whether a key code is Shift, Ctrl or Alt, and which kUiMod... bit it is (0 for other keys).
uint8_t Ui_ModifierOfKey(uint32_t key);

enum : int32_t { kUiChooseOpen = 0, kUiChooseSave = 1, kUiChooseFolder = 2 };

struct Ui_ChooserRequest {
    int32_t kind;  // kUiChoose...
    const char* title;
    const char* filters;       // pairs "description\0pattern\0", ended by an empty description
    int32_t filterIndex;       // 1-based filter chosen at first
    const char* folder;        // folder to start in, or null
    const char* defaultExt;    // save: extension added to a name without one, or null
    uint8_t confirmOverwrite;  // save: the framework asks before a file is replaced (bindings
                               // leave this to it)
    const char* prompt;        // the text beside the file name, or null for the binding's own
    int32_t* chosenFilter;     // null, or gets the 1-based filter in effect when the person
                               // confirmed (beyond the list for one of the binding's own)
};

struct UiBinding {
    const char* name;
    // 1: the binding can show windows to a person (a display, or a test script).
    uint8_t (*interactive)();

    // The UiUserItem class, from Ui_State_Open to Ui_State_Close.
    int32_t (*registerClass)(UiState* state);
    int32_t (*unregisterClass)(UiState* state);

    // Width of the 52 letters A-Z a-z and height of a font, in pixels (window may be null).
    int32_t (*fontMetrics)(UiWindow* dialog, const char* face, int32_t points, int32_t font,
                           int32_t* alphabetWidth, int32_t* height);
    int32_t (*measureText)(UiWindow* dialog, int32_t font, const char* text, int32_t* width,
                           int32_t* height);

    // Windows. createWindow builds the window and its controls from dialog->layout, hidden;
    // runModal shows it and handles events until dialog->ended.
    int32_t (*createWindow)(UiWindow* dialog, void* parentNative);
    void (*destroyWindow)(UiWindow* dialog);
    int32_t (*runModal)(UiWindow* dialog);
    int32_t (*getWindowRect)(UiWindow* dialog, Ui_Rect* outer);  // screen coordinates
    int32_t (*setWindowRect)(UiWindow* dialog, const Ui_Rect* outer);
    int32_t (*getClientRect)(UiWindow* dialog, Ui_Rect* client);
    int32_t (*getScreenRect)(Ui_Rect* screen);
    // The part of the screen that windows may take: the desktop outside task bars and panels, in
    // screen coordinates. -2 when the window system cannot say (nothing is assumed then).
    int32_t (*getWorkArea)(Ui_Rect* area);
    int32_t (*setWindowText)(UiWindow* dialog, const char* text);
    uint8_t (*isForeground)(UiWindow* dialog);
    int32_t (*setTimer)(UiWindow* dialog, int32_t id, int32_t millis);
    int32_t (*killTimer)(UiWindow* dialog, int32_t id);
    int32_t (*invalidate)(UiWindow* dialog, const Ui_Rect* r);  // null: the whole client area
    int32_t (*colorsChanged)(UiWindow* dialog);

    // Controls; items are 1 .. item count and exist (the framework checks). What an item holds
    // (its text, a box's state, a list's choice) is the framework's record (item_state.h): the
    // binding shows it in the widget when told and keeps no copy, and reports what the person
    // changes with a command, after which the framework reads the widget once (itemGetText,
    // listGetSelection) and shows the record's state again where a widget decides for itself
    // (a check box that toggled on its own).
    int32_t (*itemSetText)(UiWindow* dialog, int16_t item, const char* text);
    // The text the person typed into an edit field.
    int32_t (*itemGetText)(UiWindow* dialog, int16_t item, char* text, int32_t capacity);
    // Shows a check box as 0 off, 1 on, 2 mixed; the box never toggles on its own account.
    int32_t (*itemSetCheck)(UiWindow* dialog, int16_t item, int32_t state);
    int32_t (*itemEnable)(UiWindow* dialog, int16_t item, uint8_t on);
    int32_t (*itemShow)(UiWindow* dialog, int16_t item, uint8_t on);
    int32_t (*itemGetRect)(UiWindow* dialog, int16_t item, Ui_Rect* r);
    int32_t (*itemMove)(UiWindow* dialog, int16_t item, const Ui_Rect* r);
    int32_t (*itemSetDefault)(UiWindow* dialog, int16_t item);
    int32_t (*itemSetFocus)(UiWindow* dialog, int16_t item);  // item < 0: the dialog
    // The item with the keyboard focus, 0 when none of the dialog's has it. A user item that
    // gains or loses the focus is repainted, so that it can show it.
    int16_t (*focusItem)(UiWindow* dialog);
    int32_t (*itemSelectText)(UiWindow* dialog, int16_t item, int32_t first, int32_t last);
    int32_t (*itemPlainStyle)(UiWindow* dialog, int16_t item);
    int32_t (*listClear)(UiWindow* dialog, int16_t item);
    int32_t (*listAdd)(UiWindow* dialog, int16_t item, const char* text);
    // The entry the person chose: 0-based, -1 none.
    int32_t (*listGetSelection)(UiWindow* dialog, int16_t item, int32_t* index);
    int32_t (*listSetSelection)(UiWindow* dialog, int16_t item, int32_t index);

    // Input.
    void (*keyState)(uint8_t* ctrl, uint8_t* alt, uint8_t* shift);
    int32_t (*cursorPos)(UiWindow* dialog, int16_t* v, int16_t* h);
    int32_t (*capture)(UiWindow* dialog, int16_t item, uint8_t on);
    // Waits for the next mouse event of a captured press: a drag (released 0) or the release,
    // with the kUiMod... keys held at it (and kUiModFromEvent). A modifier key pressed or let go
    // during the press, without a move, comes as a drag to where the mouse is. Key events other
    // than those of the modifiers are not delivered while a press is tracked. Non-zero when the
    // dialog went away meanwhile.
    int32_t (*trackNext)(UiWindow* dialog, int16_t item, int16_t* v, int16_t* h, uint8_t* released,
                         uint8_t* modifiers);
    uint32_t (*tickCount)();  // milliseconds

    // Cursors: show the arrow (kind 1), the wait cursor (2), the cross (3), the hand (4), the
    // four-way move cursor (5) or a loaded cursor (other kinds).
    int32_t (*cursorLoad)(const Ui_Offscreen* image, int16_t hotV, int16_t hotH, void** cursor);
    void (*cursorFree)(void* cursor);
    int32_t (*cursorShow)(UiState* state, uint32_t kind, void* cursor);

    // Drawing primitives, only between drawBegin and drawEnd, in client coordinates.
    int32_t (*drawBegin)(UiWindow* dialog);
    int32_t (*drawEnd)(UiWindow* dialog);
    int32_t (*drawClip)(UiWindow* dialog, const Ui_Rect* clip);  // null: none
    int32_t (*fillRect)(UiWindow* dialog, const Ui_Rect* r, Ui_RGB color, uint8_t xorMode);
    // A line with both end points, width pixels wide, dotted when asked.
    int32_t (*line)(UiWindow* dialog, Ui_Point a, Ui_Point b, Ui_RGB color, int16_t width,
                    uint8_t dotted, uint8_t xorMode);
    // Filled (width 0) or framed ellipse inside r.
    int32_t (*ellipse)(UiWindow* dialog, const Ui_Rect* r, Ui_RGB color, int16_t width,
                       uint8_t xorMode);
    int32_t (*polygon)(UiWindow* dialog, const Ui_Point* points, int32_t count, Ui_RGB color,
                       uint8_t xorMode);
    int32_t (*text)(UiWindow* dialog, const char* text, const Ui_Rect* r, uint32_t format,
                    Ui_RGB color, int32_t font, int32_t* height);
    // Copies an offscreen image with its top-left corner at (top, left), cut to clip. Non-zero
    // results name the failing step: 1 context, 2 bitmap, 3 copying the bits, 4 selecting.
    int32_t (*image)(UiWindow* dialog, const Ui_Offscreen* image, int16_t top, int16_t left,
                     const Ui_Rect* clip);

    // System services.
    void (*beep)();
    // path: kPathSize bytes, the initial file on entry, the choice on return. -10 on cancel.
    int32_t (*choose)(UiState* state, const Ui_ChooserRequest* request, char* path);
    // Opens a document or address with the desktop's handler. 0, or -2 with *code set.
    int32_t (*openUrl)(const char* url, int32_t* code);

    // Whether the person may resize the window, between these client sizes (min = max: fixed).
    // The binding tells the window system; it also sends kUiMsgSize for changes that it did not
    // make itself, clamped or not.
    int32_t (*setSizeRange)(UiWindow* dialog, int16_t minWidth, int16_t minHeight, int16_t maxWidth,
                            int16_t maxHeight);
    // The height a text takes word-wrapped to width pixels in a font, before the window is shown
    // as well as after.
    int32_t (*measureWrapped)(UiWindow* dialog, int32_t font, const char* text, int32_t width,
                              int32_t* height);
    // A part of the ellipse inside r from start degrees (0 at three o'clock, counter-clockwise)
    // over sweep degrees: a pie segment when width is 0, else the arc in a pen width pixels wide.
    int32_t (*arc)(UiWindow* dialog, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
                   int16_t width, uint8_t xorMode);
    // The most characters an edit field takes; typing stops there. 0: no limit.
    int32_t (*itemSetMaxLength)(UiWindow* dialog, int16_t item, int32_t count);
    // The text shown when the pointer rests on the item (the binding keeps its own copy).
    int32_t (*itemSetTip)(UiWindow* dialog, int16_t item, const char* text);
    // Shows a pop-up menu with its top left corner at (v, h) of the client area and waits until
    // the person chooses an entry (*chosen: 0-based) or dismisses the menu (*chosen: -1).
    int32_t (*popupMenu)(UiWindow* dialog, int16_t v, int16_t h, const Ui_MenuItem* items,
                         int32_t count, int32_t* chosen);
};

// Milliseconds of the monotonic clock, for bindings that run on real time.
uint32_t Ui_MonotonicMillis();
// Appends "." and ext to a path (capacity bytes) whose file name has no extension; -1 when it
// would not fit. Save choosers use it before they confirm overwriting.
int32_t Ui_Path_AddDefaultExtension(char* path, int32_t capacity, const char* ext);

// The binding in use (never null: the headless one until another is installed).
const UiBinding* Ui_Binding();
// Installs a binding, the alert presenter and the UiState hooks that register the UiUserItem
// class. null installs the headless binding.
int32_t Ui_Framework_Install(const UiBinding* binding);
// Takes the framework out again: the interim alert presenter, no UiState hooks.
void Ui_Framework_Uninstall();
