// The dialog framework: modal dialogs built from templates and driven by callbacks ("procs").
//
// Every window of the plug-in is a modal dialog run with Ui_Dlg_Run. The owning code does not see
// window-system events: it registers procs in the dialog's info (normally from its init proc) and
// the framework turns events into calls of those procs, with the item number, the mouse position
// in dialog client coordinates and the modifier keys already in the dialog record. Custom drawing
// areas are items of the kind UiUserItem; their paint, key and mouse events reach the procs of the
// dialog that holds them, and a press can be tracked through a track proc (phase 0 press, 1 drag,
// 2 release).
//
// A proc closes its dialog with Ui_Dlg_Close, which sets the record's done flag; the framework
// looks at the flag after every proc it calls and then ends the dialog with the record's item hit
// as its result. The owner's record comes back to its procs through Ui_Dlg_UserData, as the type
// it was given to Ui_Dlg_Run.
// Item 2 is the cancel button of every dialog: a dialog whose creation fails ends with it, so the
// caller treats the failure as a cancel.
//
// Procs may run further dialogs from inside a proc (nested modal dialogs such as alerts).
#pragma once

#include <cstdint>
#include <type_traits>

#include "platform/ui/ui_types.h"

struct UiState;
struct Ui_Dlg_Info;
struct Ui_ItemState;

constexpr uint32_t kUiDlgTag = 0x4B446C67;  // "KDlg": the record at a window's user-data slot

using UiInitProc = int32_t (*)(UiWindow* dialog);  // non-zero: the dialog ends with item 2
using UiIdleProc = int32_t (*)(UiWindow* dialog);  // before every event; 100 ms timer
using UiItemHitProc = int32_t (*)(UiWindow* dialog, int16_t item);
using UiModifierProc = int32_t (*)(UiWindow* dialog);  // 1: it set the cursor
using UiPreCursorProc = int32_t (*)(UiWindow* dialog);
// key: the low 8 bits of the key code (Win32 virtual-key numbering); result 1 consumes the key.
using UiKeyProc = int32_t (*)(UiWindow* dialog, uint8_t key, uint8_t ctrl);
using UiFirstPaintProc = int32_t (*)(UiWindow* dialog);  // non-zero ends the dialog
// Phase 0: 1 tracks the press. Phase 2: non-zero means handled (no item hit follows).
using UiTrackProc = int32_t (*)(UiWindow* dialog, int16_t item, int16_t phase);
// item: the item to draw; its negative asks for the pressed look (see Ui_Item_TrackButton).
using UiDrawProc = int32_t (*)(UiWindow* dialog, int16_t item);
// After the dialog's client area took a new size (width x height pixels): the framework has
// moved the items by their anchors already (Ui_Dlg_Resize). Non-zero is logged; the size stays.
using UiResizeProc = int32_t (*)(UiWindow* dialog, int16_t width, int16_t height);
// The person asked for the context menu of item (0: the dialog itself) at (v, h), client
// coordinates: with the right button, Shift+F10 or the menu key (then at the item's centre).
// Window managers keep Alt+click for themselves, so every action an Alt-click reaches has a
// second route here. The result is logged when not zero.
using UiContextProc = int32_t (*)(UiWindow* dialog, int16_t item, int16_t v, int16_t h);
// The mouse wheel turned steps notches over item (0: no item) at (v, h): positive towards the
// person, to see what lies below. The result is logged when not zero.
using UiWheelProc = int32_t (*)(UiWindow* dialog, int16_t item, int16_t v, int16_t h,
                                int32_t steps);

enum : int16_t { kUiTrackBegin = 0, kUiTrackDrag = 1, kUiTrackEnd = 2 };

// The dialog record, one per open dialog.
struct Ui_Dlg {
    uint32_t tag;       // kUiDlgTag
    int32_t dialogId;   // resource id of the template
    int32_t itemCount;  // items in the dialog
    int16_t itemHit;    // item of the current or last event; the result when it closes
    int16_t mouseV;     // last mouse position in client coordinates
    int16_t mouseH;
    Ui_Rect bounds;               // outer rectangle at opening
    Ui_Rect clientRect;           // client area at opening, and a second copy of it that the
    Ui_Rect clientRectForResize;  // owner may keep up to date when it resizes the dialog
    uint8_t ctrl, alt, shift;     // modifier keys at the last event, 1 down
    uint8_t mouseDown;            // 1 while the left button is held over a user item
    uint8_t done;                 // set by Ui_Dlg_Close: the dialog closes
    uint8_t clicks;               // at the last press: 2 when it made a double-click, else 1
    uint8_t key;                  // the key (Return or Escape) behind the current item hit; 0
                                  // when a click or a control made it
    void* userData;               // the owner's record, given to Ui_Dlg_Run
    UiState* state;
    Ui_Dlg_Info* info;
    uint16_t notification;  // of the command being handled (kUiNotify...): an edit field's
                            // change and its loss of the focus reach the item-hit proc alike
};

// Per-item link: a companion item shown and hidden with this one, and the string ids of a list.
struct Ui_ItemLink {
    uint8_t flag;     // 1: companion is set
    uint8_t hasList;  // 1: the list was filled from string ids
    int16_t companion;
    int16_t listNumber;  // running number given by Ui_List_NumberLinked, else 0
    int16_t listCount;   // number of ids
    int32_t firstId;     // first string id of the list
    int32_t* ids;        // listCount ids (Mem_Alloc; freed when the dialog closes)
};
static_assert(sizeof(Ui_ItemLink) == 24);

// Per-item tracking slot for the owner's use.
struct Ui_TrackSlot {
    int32_t value;  // -1 at opening
    void* pointer;
};
static_assert(sizeof(Ui_TrackSlot) == 16);

struct Ui_Brush {
    Ui_Color color;
    uint8_t hollow;
};

// The drawing state while drawing is open (Ui_Draw_Begin .. Ui_Draw_End).
struct Ui_DrawContext {
    uint8_t open;
    uint8_t xorMode;
    uint8_t clipOn;
    int16_t penWidth;
    Ui_Color penColor;
    int32_t font;      // kUiFontDialog or kUiFontSmall
    Ui_Point current;  // pen position for Ui_Draw_LineTo
    Ui_Rect clip;
};

// The longest text the record keeps for an item, terminator included: room for the longest
// alert sentence.
constexpr int32_t kUiItemTextMax = 1024;

// What one item holds; platform/ui/item_state.h reads and changes it, the dialog makes and frees
// the records with the dialog.
struct Ui_ItemState {
    char* text;         // the text set or typed (Mem_Alloc, capacity bytes); null: the
    int32_t capacity;   // template's text, until the item is given another
    int32_t check;      // check boxes: 0 off, 1 on, 2 mixed
    int32_t listCount;  // lists: the entries, and the one chosen (0-based, -1 none)
    int32_t listChoice;
    int32_t maxLength;  // edit fields: the most characters, 0 for no limit
};

struct Ui_Dlg_Info {
    void* parentWindow;  // centred over; handed back to the UiState when the dialog closes
    uint8_t modeless;    // the owner's mark; every dialog is run modally here, and its
                         // window is destroyed when Ui_Dlg_Run returns either way
    UiInitProc initProc;
    UiIdleProc idleProc;
    UiItemHitProc itemHitProc;
    UiModifierProc modifierProc;
    UiPreCursorProc preCursorProc;
    UiKeyProc keyProc;
    UiFirstPaintProc firstPaintProc;
    UiTrackProc trackProc;
    UiDrawProc* drawProcs;     // per item, index item - 1
    Ui_ItemLink* links;        // per item
    Ui_TrackSlot* trackSlots;  // per item
    uint8_t customColors;      // 0: system colours
    Ui_Color background;
    Ui_Brush* solidBrush;
    Ui_Brush* hollowBrush;
    Ui_DrawContext draw;
    uint8_t firstPaintPending;
    uint8_t firstPaintSeen;
    int32_t dialogFont;  // the font the dialog was created with
    UiResizeProc resizeProc;
    uint8_t resizable;            // the person may change the window's size
    int16_t minWidth, minHeight;  // client size limits while resizable; the largest is the
    int16_t maxWidth, maxHeight;  // work area's less the frame when 0
    const void* userType;         // the type the user data was given as (Ui_TypeKey), or null
    Ui_ItemState* itemStates;     // per item: what it holds (item_state.h), the one record of it
    UiContextProc contextProc;
    UiWheelProc wheelProc;
};

// A key for each type of owner's record, so that a dialog hands its record back only as the type
// it was given as: a template run by two owners (the editing window's, which the prepare phase
// also runs to measure it, with a record of its own) never gives one owner's record to the
// other's procs. One byte per type; writable, so that no linker folds two of them into one.
template <typename T>
const void* Ui_TypeKey() {
    static char key;
    return &key;
}

// Runs dialog dialogId modally. parent: an open dialog of the framework or a host window; null
// takes the state's parent window. Returns 0 with the item that closed it; -3 when memory fails;
// -2 when the dialog could not be made or closed without an item; -9 when the binding cannot
// show windows to a person (no display), which is logged.
int32_t Ui_Dlg_Run(UiState* state, int32_t dialogId, void* parent, UiInitProc init, void* userData,
                   int16_t* item);
// As Ui_Dlg_Run, with the type the user data is handed back as (Ui_TypeKey; null: none).
int32_t Ui_Dlg_RunTyped(UiState* state, int32_t dialogId, void* parent, UiInitProc init,
                        void* userData, const void* userType, int16_t* item);
// Runs the dialog with the owner's record, which its procs get back with Ui_Dlg_UserData<T>.
template <typename T>
int32_t Ui_Dlg_Run(UiState* state, int32_t dialogId, void* parent, UiInitProc init, T* record,
                   int16_t* item) {
    return Ui_Dlg_RunTyped(state, dialogId, parent, init,
                           const_cast<void*>(static_cast<const void*>(record)),
                           Ui_TypeKey<std::remove_cv_t<T>>(), item);
}
// The record the dialog was run with, when it was given as userType; else (and for a window that
// is not an open plug-in dialog) null.
void* Ui_Dlg_UserDataOf(UiWindow* dialog, const void* userType);
// The owner's record as its type T, or null (see Ui_Dlg_UserDataOf).
template <typename T>
T* Ui_Dlg_UserData(UiWindow* dialog) {
    return static_cast<T*>(Ui_Dlg_UserDataOf(dialog, Ui_TypeKey<std::remove_cv_t<T>>()));
}
// Called from one of the dialog's procs: closes the dialog with item as its result. It sets the
// item hit and the done flag; the framework ends the dialog when the proc returns, and the window
// and the record stay valid until Ui_Dlg_Run returns. -1 for a null dialog or an
// item outside 1 .. item count; -2 when the window is not a plug-in dialog.
int32_t Ui_Dlg_Close(UiWindow* dialog, int16_t item);
// Ends the dialog with its record's item hit. The window and the record stay valid until the
// running Ui_Dlg_Run returns, so a proc may still use helpers after ending its dialog.
int32_t Ui_Dlg_End(UiWindow* dialog);

// The record and the info of a dialog: -1 for null, -2 when the window is not a plug-in dialog.
int32_t Ui_Dlg_Get(UiWindow* dialog, Ui_Dlg** dlg);
int32_t Ui_Dlg_Info_Get(UiWindow* dialog, Ui_Dlg_Info** info);

// Proc setters: -2 when the window is not a plug-in dialog.
int32_t Ui_Dlg_SetIdleProc(UiWindow* dialog, UiIdleProc proc);
int32_t Ui_Dlg_SetItemHitProc(UiWindow* dialog, UiItemHitProc proc);
int32_t Ui_Dlg_SetModifierProc(UiWindow* dialog, UiModifierProc proc);
int32_t Ui_Dlg_SetPreCursorProc(UiWindow* dialog, UiPreCursorProc proc);
int32_t Ui_Dlg_SetKeyProc(UiWindow* dialog, UiKeyProc proc);
int32_t Ui_Dlg_SetFirstPaintProc(UiWindow* dialog, UiFirstPaintProc proc);
int32_t Ui_Dlg_SetTrackProc(UiWindow* dialog, UiTrackProc proc);
// item 1 .. item count, else -1.
int32_t Ui_Dlg_SetDrawProc(UiWindow* dialog, int16_t item, UiDrawProc proc);
int32_t Ui_Dlg_SetResizeProc(UiWindow* dialog, UiResizeProc proc);
int32_t Ui_Dlg_SetContextProc(UiWindow* dialog, UiContextProc proc);
int32_t Ui_Dlg_SetWheelProc(UiWindow* dialog, UiWheelProc proc);

// Resizing. A dialog keeps the size of its template unless its owner makes it resizable: then
// the person may drag its frame between the smallest client size given here (never less than
// the template's, below which the anchors are not defined; 0 takes the template's) and the work
// area (or Ui_Dlg_SetMaxSize's smaller limit). Every change of the client size, the person's or
// Ui_Dlg_Resize's, runs the same steps: the size is kept within those limits (an owner's resize
// only above the template's size: the limits are the person's; the window is set back when a window
// system without a manager let it go further), each item moves from where it is by what its anchor
// in the template asks for the change (resources/dialogs/README.md; an owner's own moves are kept),
// the window is repainted, and the resize proc runs. A size the items are laid out for already runs
// nothing. The bindings send no size message for sizes the framework sets itself.
int32_t Ui_Dlg_SetResizable(UiWindow* dialog, int16_t minWidth, int16_t minHeight);
// The largest client size a person may drag the frame to (0 on an axis: the work area's less the
// frame), for a dialog made resizable; a limit below the smallest size counts as the smallest. A
// window larger than the limits is made smaller at once by the steps above. -1 for a dialog that
// is not resizable or a negative size.
int32_t Ui_Dlg_SetMaxSize(UiWindow* dialog, int16_t maxWidth, int16_t maxHeight);
// Sets the client size (top-left corner kept) and runs the steps above, as if the person had
// dragged the frame there. -1 for sizes below 1, -2 when the window system refuses.
int32_t Ui_Dlg_Resize(UiWindow* dialog, int16_t width, int16_t height);
// Places the window at outer (screen coordinates) and runs the steps above for its new size.
int32_t Ui_Dlg_Place(UiWindow* dialog, const Ui_Rect* outer);

// The window's outer rectangle; logged as "Ui_Dlg_Bounds_Get: left,top right,bottom".
int32_t Ui_Dlg_Bounds_Get(UiWindow* dialog, Ui_Rect* bounds);
// Centres the dialog over its parent (the screen when it has none), see Ui_Rect_CentreOver.
int32_t Ui_Dlg_Centre(UiWindow* dialog);
// Centres the dialog on the screen's work area (the screen when that is unknown), whatever its
// parent, by the same rule.
int32_t Ui_Dlg_CentreOnScreen(UiWindow* dialog);

// Dialog units of this dialog's font to client pixels, each length converted on its own as the
// template's rectangles are (see dlg_template.h). Either out pointer may be null.
int32_t Ui_Dlg_UnitsToPixels(UiWindow* dialog, int32_t unitsH, int32_t unitsV, int32_t* pixelsH,
                             int32_t* pixelsV);
// Lengths given in pixels of the classic 8-point dialog font (6 x 13 base units), such as a hit
// radius or a tab's width measured on such a window, scaled to this dialog's base units.
int32_t Ui_Dlg_ScalePixels(UiWindow* dialog, int32_t pixelsH, int32_t pixelsV, int32_t* scaledH,
                           int32_t* scaledV);

// Places the dialog's window at outer (screen coordinates) and lays its items out for the client
// area that results, from the template: items with an anchor follow it, item grow takes up the
// change in size and the others keep to the nearer side (Ui_Template_LayoutSized has the rule and
// its limits). Unlike Ui_Dlg_Resize it places every item afresh and runs no resize proc. The
// frame keeps its thickness: the client area changes by as much as the window does. -1 when the
// client area would be smaller than the template's or grow is no item, -2 when the window system
// refuses (the items may then be half moved).
int32_t Ui_Dlg_Relayout(UiWindow* dialog, const Ui_Rect* outer, int16_t grow);
// The screen's work area, the desktop outside task bars and panels, in screen coordinates; -2
// when the window system cannot say or gives an empty one.
int32_t Ui_Screen_WorkArea(Ui_Rect* area);

// The dialog's window text, size and client rectangle.
int32_t Ui_Dlg_SetTitle(UiWindow* dialog, const char* text);
int32_t Ui_Dlg_GetSize(UiWindow* dialog, int16_t* width, int16_t* height);
int32_t Ui_Dlg_SetSize(UiWindow* dialog, int16_t width, int16_t height);
int32_t Ui_Dlg_GetClientRect(UiWindow* dialog, Ui_Rect* rect);
// The dialog's template id, or -1.
int32_t Ui_Dlg_Id(UiWindow* dialog);
