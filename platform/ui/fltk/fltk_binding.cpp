// The FLTK binding's operations; see fltk.h.
#include "platform/ui/fltk/fltk.h"

// The window's back buffer (Fl_X::other_xid) is drawn into outside FLTK's drawing (drawBegin).
#define FL_INTERNALS 1

#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <errno.h>

#include <cstdint>
#include <new>

#include "platform/ui/draw.h"
#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/ui/cursor.h"
#include "platform/ui/dlg.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/fltk/fltk_internal.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/rect.h"
#include "platform/ui/system.h"
#include "platform/ui_state.h"

namespace kolmara_fltk {
namespace {

Native* N(UiWindow* w) {
    return w != nullptr ? static_cast<Native*>(w->native) : nullptr;
}

Item* ItemOf(UiWindow* w, int16_t item) {
    Native* n = N(w);
    if (n == nullptr || !(1 <= item && item <= n->itemCount)) return nullptr;
    return &n->items[item - 1];
}

Fl_Color ToFl(Ui_RGB c) {
    return fl_rgb_color(c.r, c.g, c.b);
}

uint8_t Interactive() {
    return 1;
}

int32_t RegisterClass(UiState*) {
    return kStatusOk;
}
int32_t UnregisterClass(UiState*) {
    return kStatusOk;
}

// Dialogs are laid out with the framework's nominal metrics, as the headless binding does, so a
// template has one size in pixels everywhere; the font drawn is the largest that fits them.
int32_t FontMetrics(UiWindow*, const char*, int32_t points, int32_t font, int32_t* alphabetWidth,
                    int32_t* height) {
    int32_t avg = 0;
    if (Ui_Font_Nominal(points, font, &avg, height) != kStatusOk) return kStatusProblem;
    *alphabetWidth = 52 * avg;
    return kStatusOk;
}

int32_t MeasureText(UiWindow* w, int32_t font, const char* text, int32_t* width, int32_t* height) {
    fl_open_display();
    UseFont(w, font);
    int wi = 0, he = 0;
    fl_measure(text, wi, he, 0);
    *width = wi;
    *height = fl_height();
    return kStatusOk;
}

// The height FLTK's wrapping gives the text at that width: the same call draws it (Text).
int32_t MeasureWrapped(UiWindow* w, int32_t font, const char* text, int32_t width,
                       int32_t* height) {
    fl_open_display();
    UseFont(w, font);
    int wi = width, he = 0;
    fl_measure(text, wi, he, 0);
    *height = he;
    return kStatusOk;
}

int32_t CreateWindow(UiWindow* w, void* parentNative) {
    auto* n = static_cast<Native*>(Mem_Alloc(sizeof(Native)));
    if (n == nullptr) return kStatusNoMemory;
    Mem_Fill(n, 0, sizeof *n);
    n->ui = w;
    n->itemCount = w->layout->itemCount;
    n->items =
        static_cast<Item*>(Mem_Alloc(uint32_t(n->itemCount > 0 ? n->itemCount : 1) * sizeof(Item)));
    if (n->items == nullptr) {
        Mem_Free(n);
        return kStatusNoMemory;
    }
    Mem_Fill(n->items, 0, size_t(n->itemCount > 0 ? n->itemCount : 1) * sizeof(Item));
    n->parent = static_cast<Native*>(parentNative);
    // Without a dialog of ours under it, the dialog belongs to the host's window, if the host
    // named one (the state holds it until the dialog opens and takes its place).
    UiState* state = w->state;
    if (n->parent == nullptr && state != nullptr && state->parentWindow != nullptr &&
        !Ui_Dlg_IsOpen(state, state->parentWindow)) {
        n->hostWindow =
            static_cast<unsigned long>(reinterpret_cast<uintptr_t>(state->parentWindow));
    }
    // The widget that has the focus in the parent gets it back when this dialog closes.
    Fl_Widget* focus = Fl::focus();
    if (n->parent != nullptr && focus != nullptr && focus->window() == n->parent->window) {
        n->parentFocus = focus;
    }
    w->native = n;
    return BuildWindow(n);
}

// Gives the keyboard back to a dialog after a window over it (a nested dialog, an alert, a
// chooser, a message box) has gone: without a window manager to do it, X would leave the focus
// with the window that went, and Return and Escape would reach nobody.
void GiveFocusBack(Native* n, Fl_Widget* widget) {
    if (n == nullptr || n->window == nullptr || !n->window->shown() || n->ui->ended) return;
    Fl::flush();
    XSetInputFocus(fl_display, fl_xid(n->window), RevertToPointerRoot, CurrentTime);
    if (widget != nullptr && widget->window() == n->window && widget->visible() &&
        widget->active()) {
        widget->take_focus();
    } else {
        Fl::focus(n->window);
    }
    XFlush(fl_display);
}

// The dialog in front of the state, if it is one of ours.
Native* Front(UiState* state) {
    if (state == nullptr || !Ui_Dlg_IsOpen(state, state->parentWindow)) return nullptr;
    return N(static_cast<UiWindow*>(state->parentWindow));
}

void TimerFired(void* data);

// X errors met while the binding works on windows of another program (the host's), which may
// have gone meanwhile: counted, not reported (FLTK would print each one).
int gForeignErrors = 0;
int CountForeignError(Display*, XErrorEvent*) {
    ++gForeignErrors;
    return 0;
}
class ForeignRequests {
   public:
    ForeignRequests() {
        XSync(fl_display, False);
        gForeignErrors = 0;
        old_ = XSetErrorHandler(CountForeignError);
    }
    ~ForeignRequests() {
        XSync(fl_display, False);
        XSetErrorHandler(old_);
    }
    // Whether any request so far failed.
    bool Failed() {
        XSync(fl_display, False);
        return gForeignErrors != 0;
    }

   private:
    XErrorHandler old_;
};

// Keeps the host's window from the pointer while the dialog is open over it, as Windows keeps a
// modal dialog's owner disabled: an input-only child over the whole of the host's window takes
// every press there (which brings our dialog to the front, HostCoverPressed) and lets nothing
// through to the host's own windows. The host's keyboard is the window manager's to redirect
// (a modal transient window takes the focus from its owner).
void CoverHost(Native* n) {
    XSetWindowAttributes a{};
    a.event_mask = ButtonPressMask;
    a.do_not_propagate_mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                              ButtonMotionMask | KeyPressMask | KeyReleaseMask;
    ForeignRequests quiet;
    const Window cover =
        XCreateWindow(fl_display, n->hostWindow, 0, 0, 0x7FFF, 0x7FFF, 0, 0, InputOnly,
                      CopyFromParent, CWEventMask | CWDontPropagate, &a);
    XMapRaised(fl_display, cover);
    if (quiet.Failed()) {
        XDestroyWindow(fl_display, cover);
        return;
    }
    n->hostCover = cover;
}

// What a window manager reads when the window is mapped: its class (the host program's name and
// the application's, so that a desktop tells our windows from the host's and from other FLTK
// programs') and, for a dialog straight over the host's window, that it belongs to that window
// and keeps it waiting (transient for it, modal), so that it stays above it. FLTK maps a window
// as it creates it; the server is held meanwhile, so that the window manager finds these
// properties when it first sees the window.
void ShowWindow(Native* n) {
    if (n->hostWindow != 0) {
        ForeignRequests quiet;
        XWindowAttributes host;
        if (!XGetWindowAttributes(fl_display, n->hostWindow, &host) || quiet.Failed()) {
            n->hostWindow = 0;  // not a window (any more): the dialog stands alone
        }
    }
    XGrabServer(fl_display);
    n->window->show();
    const Window xid = fl_xid(n->window);
    if (xid != 0) {
        XClassHint hint;
        hint.res_name = program_invocation_short_name;
        hint.res_class = n->ui->state->appName;
        XSetClassHint(fl_display, xid, &hint);
        if (n->hostWindow != 0) {
            XSetTransientForHint(fl_display, xid, n->hostWindow);
            const Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
            Atom modal = XInternAtom(fl_display, "_NET_WM_STATE_MODAL", False);
            XChangeProperty(fl_display, xid, state, XA_ATOM, 32, PropModeAppend,
                            reinterpret_cast<unsigned char*>(&modal), 1);
            CoverHost(n);
        }
    }
    XUngrabServer(fl_display);
    XFlush(fl_display);
}

void DestroyWindow(UiWindow* w) {
    Native* n = N(w);
    if (n == nullptr) return;
    if (n->hostCover != 0) {
        ForeignRequests quiet;  // gone already when the host's window went
        XDestroyWindow(fl_display, n->hostCover);
        n->hostCover = 0;
    }
    Fl::remove_timeout(TimerFired, n);
    Fl::remove_timeout(DeferredPaint, n);
    Fl::remove_timeout(DeferredSize, n);
    const bool wasShown = n->window != nullptr && n->window->shown();
    if (n->window != nullptr) {
        n->window->hide();
        delete n->window;  // deletes the widgets too
    }
    if (wasShown) GiveFocusBack(n->parent, n->parentFocus);
    for (int32_t i = 0; i < n->itemCount; ++i) {
        delete n->items[i].icon;
        Mem_Free(n->items[i].iconPixels);
    }
    Mem_Free(n->items);
    Mem_Free(n);
    w->native = nullptr;
    Fl::flush();
}

bool Viewable(Fl_Window* window) {
    XWindowAttributes a;
    return window->shown() && XGetWindowAttributes(fl_display, fl_xid(window), &a) != 0 &&
           a.map_state == IsViewable;
}

int32_t RunModal(UiWindow* w) {
    Native* n = N(w);
    ShowWindow(n);
    // Without a window manager X gives the keyboard to no new window, and keys would go to
    // whatever lies under the pointer: a dialog takes the keyboard once it is on the screen, as
    // a window manager would give it.
    for (int i = 0; i < 100 && !Viewable(n->window) && !w->ended; ++i) Fl::wait(0.01);
    if (Viewable(n->window)) {
        XSetInputFocus(fl_display, fl_xid(n->window), RevertToPointerRoot, CurrentTime);
    }
    if (n->pendingFocus > 0) {
        Item* it = ItemOf(w, n->pendingFocus);
        if (it != nullptr) it->widget->take_focus();
    }
    // The wait is bounded so that an end from outside FLTK's callbacks is seen too.
    while (!w->ended && n->window->shown()) Fl::wait(0.25);
    return kStatusOk;
}

int32_t GetWindowRect(UiWindow* w, Ui_Rect* r) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    Fl_Window* win = n->window;
    *r = Ui_Rect_Make(win->y(), win->x(), win->y() + win->h(), win->x() + win->w());
    return kStatusOk;
}

int32_t SetWindowRect(UiWindow* w, const Ui_Rect* r) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    n->settingRect = 1;  // the framework's own change: no size message
    n->window->resize(r->left, r->top, Ui_Rect_Width(r), Ui_Rect_Height(r));
    n->settingRect = 0;
    return kStatusOk;
}

int32_t SetSizeRange(UiWindow* w, int16_t minWidth, int16_t minHeight, int16_t maxWidth,
                     int16_t maxHeight) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    n->resizable = minWidth != maxWidth || minHeight != maxHeight;
    n->minWidth = minWidth;
    n->minHeight = minHeight;
    n->maxWidth = maxWidth;
    n->maxHeight = maxHeight;
    n->window->size_range(minWidth, minHeight, maxWidth, maxHeight);
    return kStatusOk;
}

int32_t GetClientRect(UiWindow* w, Ui_Rect* r) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    *r = Ui_Rect_Make(0, 0, n->window->h(), n->window->w());
    return kStatusOk;
}

int32_t GetScreenRect(Ui_Rect* r) {
    int x = 0, y = 0, wi = 0, he = 0;
    Fl::screen_work_area(x, y, wi, he, 0);
    *r = Ui_Rect_Make(y, x, y + he, x + wi);
    return kStatusOk;
}

// The work area of the first screen, the one dialogs are centred on. Without a window manager
// that publishes one, FLTK answers the whole screen.
int32_t GetWorkArea(Ui_Rect* r) {
    int x = 0, y = 0, wi = 0, he = 0;
    Fl::screen_work_area(x, y, wi, he, 0);
    // Rectangles are 16-bit: an area that does not fit is as good as none.
    if (!(1 <= wi && wi <= 32767 && 1 <= he && he <= 32767) || !(-32768 <= x && x <= 32767 - wi) ||
        !(-32768 <= y && y <= 32767 - he)) {
        return kStatusError;
    }
    *r = Ui_Rect_Make(y, x, y + he, x + wi);
    return kStatusOk;
}

int32_t SetWindowText(UiWindow* w, const char* text) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    n->window->copy_label(text);
    return kStatusOk;
}

uint8_t IsForeground(UiWindow* w) {
    Native* n = N(w);
    return n != nullptr && n->window->shown() && Fl::modal() == n->window;
}

void TimerFired(void* data) {
    auto* n = static_cast<Native*>(data);
    if (n->ui->ended) return;
    // No timer messages while a press is tracked; the tick comes again later.
    if (n->ui->tracking) {
        Fl::repeat_timeout(n->timerMillis / 1000.0, TimerFired, n);
        return;
    }
    Ui_Msg m{};
    m.kind = kUiMsgTimer;
    m.timerId = kUiIdleTimer;
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

int32_t SetTimer(UiWindow* w, int32_t, int32_t millis) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    Fl::remove_timeout(TimerFired, n);
    n->timerMillis = millis;
    Fl::add_timeout(millis / 1000.0, TimerFired, n);
    return kStatusOk;
}

int32_t KillTimer(UiWindow* w, int32_t) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    Fl::remove_timeout(TimerFired, n);
    return kStatusOk;
}

int32_t Invalidate(UiWindow* w, const Ui_Rect* r) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    if (r == nullptr) {
        n->window->redraw();
    } else {
        n->window->damage(FL_DAMAGE_ALL, r->left, r->top, Ui_Rect_Width(r), Ui_Rect_Height(r));
    }
    return kStatusOk;
}

int32_t ColorsChanged(UiWindow* w) {
    return Invalidate(w, nullptr);
}

int32_t ItemSetText(UiWindow* w, int16_t item, const char* text) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    switch (it->kind) {
        case kUiItemEdit: {
            // Set from code: no change notification, and never more than the field's limit.
            auto* input = static_cast<Fl_Input*>(it->widget);
            size_t n = Str_Length(text);
            if (it->maxLength > 0 && n > size_t(it->maxLength)) n = size_t(it->maxLength);
            input->value(text, int(n));
            break;
        }
        case kUiItemButton:
        case kUiItemCheck:
        case kUiItemStatic:
            SetLabel(it->widget, text);
            it->widget->redraw();
            // A transparent static leaves its old text behind unless the window repaints.
            if (it->kind == kUiItemStatic) N(w)->window->redraw();
            break;
        default:
            break;
    }
    return kStatusOk;
}

int32_t ItemGetText(UiWindow* w, int16_t item, char* text, int32_t capacity) {
    Item* it = ItemOf(w, item);
    if (it == nullptr || it->kind != kUiItemEdit) return kStatusError;
    Str_CopyBounded(text, size_t(capacity), static_cast<Fl_Input*>(it->widget)->value());
    return kStatusOk;
}

// 2, mixed, shows a grey check.
int32_t ItemSetCheck(UiWindow* w, int16_t item, int32_t state) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    auto* box = static_cast<Fl_Check_Button*>(it->widget);
    box->value(state != 0);
    box->selection_color(state == 2 ? FL_DARK3 : FL_FOREGROUND_COLOR);
    box->redraw();
    return kStatusOk;
}

int32_t ItemEnable(UiWindow* w, int16_t item, uint8_t on) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (on) {
        it->widget->activate();
    } else {
        it->widget->deactivate();
    }
    return kStatusOk;
}

int32_t ItemSetTip(UiWindow* w, int16_t item, const char* text) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->widget->copy_tooltip(text);
    return kStatusOk;
}

int32_t ItemShow(UiWindow* w, int16_t item, uint8_t on) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (on) {
        it->widget->show();
    } else {
        it->widget->hide();
    }
    N(w)->window->redraw();
    return kStatusOk;
}

int32_t ItemGetRect(UiWindow* w, int16_t item, Ui_Rect* r) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    Fl_Widget* x = it->widget;
    *r = Ui_Rect_Make(x->y(), x->x(), x->y() + x->h(), x->x() + x->w());
    return kStatusOk;
}

int32_t ItemMove(UiWindow* w, int16_t item, const Ui_Rect* r) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    it->widget->resize(r->left, r->top, Ui_Rect_Width(r), Ui_Rect_Height(r));
    N(w)->window->redraw();
    return kStatusOk;
}

int32_t ItemSetDefault(UiWindow* w, int16_t item) {
    Native* n = N(w);
    if (ItemOf(w, item) == nullptr) return kStatusError;
    for (int32_t i = 0; i < n->itemCount; ++i) {
        uint8_t was = n->items[i].isDefault;
        n->items[i].isDefault = i + 1 == item;
        if (was != n->items[i].isDefault) n->items[i].widget->redraw();
    }
    return kStatusOk;
}

int32_t ItemSetFocus(UiWindow* w, int16_t item) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    if (item < 0) {
        Fl::focus(n->window);
        return kStatusOk;
    }
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    if (!n->window->shown()) {
        n->pendingFocus = item;  // FLTK gives focus only to a widget on the screen
        return kStatusOk;
    }
    it->widget->take_focus();
    return kStatusOk;
}

int16_t FocusItem(UiWindow* w) {
    Native* n = N(w);
    return n != nullptr ? ItemNumber(n, Fl::focus()) : 0;
}

int32_t ItemSetMaxLength(UiWindow* w, int16_t item, int32_t count) {
    Item* it = ItemOf(w, item);
    if (it == nullptr || it->kind != kUiItemEdit) return kStatusError;
    auto* input = static_cast<Fl_Input*>(it->widget);
    it->maxLength = count;
    input->maximum_size(count > 0 ? count : 32767);
    if (count > 0 && input->size() > count) input->value(input->value(), count);
    return kStatusOk;
}

int32_t ItemSelectText(UiWindow* w, int16_t item, int32_t first, int32_t last) {
    Item* it = ItemOf(w, item);
    if (it == nullptr) return kStatusError;
    auto* input = static_cast<Fl_Input*>(it->widget);
    int size = input->size();
    if (last < 0 || last > size) last = size;
    if (first > last) first = last;
    input->position(last, first);
    return kStatusOk;
}

int32_t ItemPlainStyle(UiWindow* w, int16_t item) {
    return ItemOf(w, item) != nullptr ? kStatusOk : kStatusError;  // FLTK draws no themes
}

Fl_Choice* ListOf(UiWindow* w, int16_t item) {
    Item* it = ItemOf(w, item);
    return it != nullptr && it->kind == kUiItemCombo ? static_cast<Fl_Choice*>(it->widget)
                                                     : nullptr;
}

int32_t ListClear(UiWindow* w, int16_t item) {
    Fl_Choice* list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    list->clear();
    list->redraw();
    return kStatusOk;
}

int32_t ListAdd(UiWindow* w, int16_t item, const char* text) {
    Fl_Choice* list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    // add() reads "/" as a submenu path and "&" as a shortcut, so the entry is added under a
    // placeholder and then given its text as it stands.
    int index = list->add("x");
    if (index < 0) return kStatusError;
    list->replace(index, text);
    return kStatusOk;
}

int32_t ListGetSelection(UiWindow* w, int16_t item, int32_t* index) {
    Fl_Choice* list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    *index = list->value();
    return kStatusOk;
}

int32_t ListSetSelection(UiWindow* w, int16_t item, int32_t index) {
    Fl_Choice* list = ListOf(w, item);
    if (list == nullptr) return kStatusError;
    list->value(index);
    list->redraw();
    return kStatusOk;
}

bool KeyDown(const char keys[32], KeySym symbol) {
    KeyCode code = XKeysymToKeycode(fl_display, symbol);
    return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
}

// From the server's keymap rather than the last event, so that the state is right at the first
// call too (the diagnostics switch is read before any window exists).
void KeyState(uint8_t* ctrl, uint8_t* alt, uint8_t* shift) {
    *ctrl = *alt = *shift = 0;
    fl_open_display();
    if (fl_display == nullptr) return;
    char keys[32];
    XQueryKeymap(fl_display, keys);
    *ctrl = KeyDown(keys, XK_Control_L) || KeyDown(keys, XK_Control_R);
    *alt = KeyDown(keys, XK_Alt_L) || KeyDown(keys, XK_Alt_R) || KeyDown(keys, XK_Meta_L);
    *shift = KeyDown(keys, XK_Shift_L) || KeyDown(keys, XK_Shift_R);
}

int32_t CursorPos(UiWindow* w, int16_t* v, int16_t* h) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    int x = 0, y = 0;
    Fl::get_mouse(x, y);
    *v = int16_t(y - n->window->y());
    *h = int16_t(x - n->window->x());
    return kStatusOk;
}

int32_t Capture(UiWindow* w, int16_t item, uint8_t on) {
    Native* n = N(w);
    if (n == nullptr) return kStatusError;
    n->captureItem = on ? item : 0;
    n->queueHead = n->queueCount = 0;
    Item* it = ItemOf(w, item);
    if (on && it != nullptr) Fl::pushed(it->widget);
    return kStatusOk;
}

int32_t TrackNext(UiWindow* w, int16_t item, int16_t* v, int16_t* h, uint8_t* released,
                  uint8_t* modifiers) {
    Native* n = N(w);
    for (;;) {
        if (n == nullptr || w->ended || !n->window->shown()) return kStatusError;
        if (n->queueCount > 0) {
            TrackEvent e = n->queue[n->queueHead];
            n->queueHead = (n->queueHead + 1) % kTrackQueue;
            --n->queueCount;
            *v = e.v;
            *h = e.h;
            *released = e.released;
            *modifiers = e.modifiers;
            return kStatusOk;
        }
        *modifiers = 0;  // none from an event: the framework keeps the keys it has
        // X grabs the pointer for the window while the button is down, so the release comes to
        // the widget FLTK has as pushed; if something took that away (a window opened from a
        // proc), no release will come and the press ends where the mouse is.
        Item* it = ItemOf(w, item);
        if (it == nullptr || Fl::pushed() != it->widget) {
            CursorPos(w, v, h);
            *released = 1;
            return kStatusOk;
        }
        Fl::wait(0.1);
    }
}

uint32_t TickCount() {
    return Ui_MonotonicMillis();
}

struct Cursor {
    Fl_RGB_Image* image;
    uint8_t* pixels;
    int16_t hotV, hotH;
};

int32_t CursorLoad(const Ui_Offscreen* image, int16_t hotV, int16_t hotH, void** cursor) {
    auto* c = static_cast<Cursor*>(Mem_Alloc(sizeof(Cursor)));
    if (c == nullptr) return kStatusNoMemory;
    c->pixels = static_cast<uint8_t*>(Mem_Alloc(uint32_t(image->width * image->height * 4)));
    if (c->pixels == nullptr) {
        Mem_Free(c);
        return kStatusNoMemory;
    }
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* src = image->pixels + size_t(image->rowBytes) * size_t(y);
        uint8_t* dst = c->pixels + size_t(y) * size_t(image->width) * 4;
        for (int32_t x = 0; x < image->width; ++x) {
            uint8_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
            dst[4 * x] = r;
            dst[4 * x + 1] = g;
            dst[4 * x + 2] = b;
            dst[4 * x + 3] = (r == 255 && g == 0 && b == 255) ? 0 : 255;  // magenta: clear
        }
    }
    c->image = new (std::nothrow) Fl_RGB_Image(c->pixels, image->width, image->height, 4);
    if (c->image == nullptr) {
        Mem_Free(c->pixels);
        Mem_Free(c);
        return kStatusNoMemory;
    }
    c->hotV = hotV;
    c->hotH = hotH;
    *cursor = c;
    return kStatusOk;
}

void CursorFree(void* cursor) {
    auto* c = static_cast<Cursor*>(cursor);
    if (c == nullptr) return;
    delete c->image;
    Mem_Free(c->pixels);
    Mem_Free(c);
}

int32_t CursorShow(UiState* state, uint32_t kind, void* cursor) {
    // The cursor belongs to the dialog in front; with none open it is only remembered.
    if (!Ui_Dlg_IsOpen(state, state->parentWindow)) return kStatusOk;
    Native* n = N(static_cast<UiWindow*>(state->parentWindow));
    if (n == nullptr) return kStatusOk;
    if (kind == kUiCursorArrow) {
        n->window->cursor(FL_CURSOR_DEFAULT);
    } else if (kind == kUiCursorWait) {
        n->window->cursor(FL_CURSOR_WAIT);
    } else if (kind == kUiCursorCross) {
        n->window->cursor(FL_CURSOR_CROSS);
    } else if (kind == kUiCursorHand) {
        n->window->cursor(FL_CURSOR_HAND);
    } else if (kind == kUiCursorMove) {
        n->window->cursor(FL_CURSOR_MOVE);
    } else if (cursor != nullptr) {
        auto* c = static_cast<Cursor*>(cursor);
        n->window->cursor(c->image, c->hotH, c->hotV);
    }
    return kStatusOk;
}

int32_t DrawBegin(UiWindow* w) {
    Native* n = N(w);
    if (n == nullptr || n->drawing || !n->window->shown()) return kStatusError;
    // Inside FLTK's drawing the back buffer is current already. Elsewhere the drawing goes into
    // the back buffer as well, and drawEnd copies it to the window: drawn on the window alone it
    // would last only until FLTK next copies its back buffer there, which any widget's redraw
    // does for the whole window (a value box drawn after "Color Picker..." went back to its old
    // number when the button had redrawn). Before the first copy there is no back buffer yet.
    n->backBuffer = 0;
    if (!n->inDraw) {
        n->window->make_current();
        const Fl_X* x = Fl_X::i(n->window);
        if (x != nullptr && x->other_xid != 0) {
            // What fl_begin_offscreen does, kept across two calls: the window's graphics
            // context draws into the buffer.
            n->backBuffer = x->other_xid;
            n->frontWindow = fl_window;
            fl_window = x->other_xid;
            fl_push_no_clip();
        }
    }
    n->drawing = 1;
    n->clipDepth = 0;
    n->xorOn = 0;
    return kStatusOk;
}

void SetXor(Native* n, uint8_t on) {
    if (n->xorOn == on) return;
    n->xorOn = on;
    XSetFunction(fl_display, fl_gc, on ? GXxor : GXcopy);
}

int32_t DrawEnd(UiWindow* w) {
    Native* n = N(w);
    if (n == nullptr || !n->drawing) return kStatusError;
    while (n->clipDepth > 0) {
        fl_pop_clip();
        --n->clipDepth;
    }
    SetXor(n, 0);
    fl_line_style(FL_SOLID, 0);
    n->drawing = 0;
    if (n->backBuffer != 0) {
        fl_pop_clip();
        fl_window = n->frontWindow;
        fl_copy_offscreen(0, 0, n->window->w(), n->window->h(), n->backBuffer, 0, 0);
        n->backBuffer = 0;
    }
    if (!n->inDraw) XFlush(fl_display);
    return kStatusOk;
}

Native* Drawing(UiWindow* w) {
    Native* n = N(w);
    return n != nullptr && n->drawing ? n : nullptr;
}

int32_t DrawClip(UiWindow* w, const Ui_Rect* clip) {
    Native* n = Drawing(w);
    if (n == nullptr) return kStatusError;
    while (n->clipDepth > 0) {
        fl_pop_clip();
        --n->clipDepth;
    }
    if (clip != nullptr) {
        fl_push_clip(clip->left, clip->top, Ui_Rect_Width(clip), Ui_Rect_Height(clip));
        ++n->clipDepth;
    }
    return kStatusOk;
}

int32_t FillRect(UiWindow* w, const Ui_Rect* r, Ui_RGB color, uint8_t xorMode) {
    Native* n = Drawing(w);
    if (n == nullptr) return kStatusError;
    SetXor(n, xorMode);
    fl_rectf(r->left, r->top, Ui_Rect_Width(r), Ui_Rect_Height(r), ToFl(color));
    return kStatusOk;
}

int32_t Line(UiWindow* w, Ui_Point a, Ui_Point b, Ui_RGB color, int16_t width, uint8_t dotted,
             uint8_t xorMode) {
    Native* n = Drawing(w);
    if (n == nullptr) return kStatusError;
    SetXor(n, xorMode);
    fl_color(ToFl(color));
    fl_line_style(dotted ? FL_DOT : FL_SOLID, xorMode ? 1 : width);
    fl_line(a.h, a.v, b.h, b.v);
    // X leaves out the last pixel of a thin line; the framework's lines include it.
    if (!xorMode && !dotted && width <= 1) fl_point(b.h, b.v);
    fl_line_style(FL_SOLID, 0);
    return kStatusOk;
}

int32_t Arc(UiWindow* w, const Ui_Rect* r, int32_t start, int32_t sweep, Ui_RGB color,
            int16_t width, uint8_t xorMode) {
    Native* n = Drawing(w);
    if (n == nullptr) return kStatusError;
    SetXor(n, xorMode);
    fl_color(ToFl(color));
    int x = r->left, y = r->top, wi = Ui_Rect_Width(r), he = Ui_Rect_Height(r);
    if (width <= 0) {
        fl_pie(x, y, wi, he, start, start + sweep);
    } else {
        // As a framed ellipse: the pen runs inside the rectangle.
        int half = width / 2;
        fl_line_style(FL_SOLID, width);
        fl_arc(x + half, y + half, wi - 2 * half - 1, he - 2 * half - 1, start, start + sweep);
        fl_line_style(FL_SOLID, 0);
    }
    return kStatusOk;
}

int32_t Ellipse(UiWindow* w, const Ui_Rect* r, Ui_RGB color, int16_t width, uint8_t xorMode) {
    return Arc(w, r, 0, 360, color, width, xorMode);
}

int32_t Polygon(UiWindow* w, const Ui_Point* points, int32_t count, Ui_RGB color, uint8_t xorMode) {
    Native* n = Drawing(w);
    if (n == nullptr) return kStatusError;
    SetXor(n, xorMode);
    fl_color(ToFl(color));
    fl_begin_complex_polygon();
    for (int32_t i = 0; i < count; ++i) fl_vertex(points[i].h, points[i].v);
    fl_end_complex_polygon();
    return kStatusOk;
}

int32_t Text(UiWindow* w, const char* text, const Ui_Rect* r, uint32_t format, Ui_RGB color,
             int32_t font, int32_t* height) {
    Native* n = Drawing(w);
    if (n == nullptr) return kStatusError;
    SetXor(n, 0);
    UseFont(w, font);
    fl_color(ToFl(color));
    Fl_Align align = FL_ALIGN_INSIDE | FL_ALIGN_TOP;
    if ((format & kUiAlignMask) == kUiAlignLeft) align |= FL_ALIGN_LEFT;
    if ((format & kUiAlignMask) == kUiAlignRight) align |= FL_ALIGN_RIGHT;
    if (format & kUiTextWrap) align |= FL_ALIGN_WRAP;
    int wi = (format & kUiTextWrap) ? Ui_Rect_Width(r) : 0, he = 0;
    fl_measure(text, wi, he, 0);
    *height = he;
    fl_draw(text, r->left, r->top, Ui_Rect_Width(r), Ui_Rect_Height(r), align, nullptr, 0);
    return kStatusOk;
}

void ImageLine(void* data, int x, int y, int w, uchar* out) {
    const auto* image = static_cast<const Ui_Offscreen*>(data);
    const uint8_t* src = image->pixels + size_t(image->rowBytes) * size_t(y) + 3 * size_t(x);
    for (int i = 0; i < w; ++i) {
        out[3 * i] = src[3 * i + 2];
        out[3 * i + 1] = src[3 * i + 1];
        out[3 * i + 2] = src[3 * i];
    }
}

int32_t Image(UiWindow* w, const Ui_Offscreen* image, int16_t top, int16_t left,
              const Ui_Rect* clip) {
    Native* n = Drawing(w);
    if (n == nullptr) return 1;
    SetXor(n, 0);
    if (clip != nullptr)
        fl_push_clip(clip->left, clip->top, Ui_Rect_Width(clip), Ui_Rect_Height(clip));
    fl_draw_image(ImageLine, const_cast<Ui_Offscreen*>(image), left, top, image->width,
                  image->height, 3);
    if (clip != nullptr) fl_pop_clip();
    return kStatusOk;
}

void Beep() {
    fl_beep();
}

// "description\0pattern\0...\0" as FLTK's chooser wants it: "Description (pattern)" entries
// separated by tabs. Descriptions that show their pattern already are taken as they are.
void FltkFilters(const char* filters, char* out, size_t capacity) {
    size_t n = 0;
    const char* p = filters;
    while (p != nullptr && *p != 0) {
        const char* pattern = p + Str_Length(p) + 1;
        const size_t dl = Str_Length(p), pl = Str_Length(pattern);
        const bool shown = dl > 0 && p[dl - 1] == ')';
        const size_t need = dl + (shown ? 0 : pl + 3) + 1;
        if (n + need + 1 > capacity) break;
        if (n > 0) out[n++] = '\t';
        Str_Copy(out + n, p);
        n += dl;
        if (!shown) {
            out[n++] = ' ';
            out[n++] = '(';
            Str_Copy(out + n, pattern);
            n += pl;
            out[n++] = ')';
        }
        p = pattern + pl + 1;
    }
    out[n] = 0;
}

// FLTK's own file chooser, as a modal window over the dialog in front, with the caller's prompt
// in bold along its foot. Replacing a file is asked about by the framework afterwards.
int32_t Choose(UiState* state, const Ui_ChooserRequest* request, char* path) {
    Native* front = Front(state);
    Fl_Widget* focus = Fl::focus();
    int type = Fl_File_Chooser::SINGLE;
    if (request->kind == kUiChooseSave) type = Fl_File_Chooser::CREATE;
    if (request->kind == kUiChooseFolder) type = Fl_File_Chooser::DIRECTORY;
    char filters[600] = "";
    if (request->filters != nullptr) FltkFilters(request->filters, filters, sizeof filters);
    int32_t status = kStatusOk;
    char chosen[kPathSize] = "";
    {
        Fl_File_Chooser chooser(request->folder != nullptr ? request->folder : ".",
                                filters[0] != 0 ? filters : nullptr, type,
                                request->title != nullptr ? request->title : "");
        if (filters[0] != 0 && request->filterIndex > 0) {
            chooser.filter_value(request->filterIndex - 1);
        }
        Fl_Box prompt(0, 0, 360, 26);
        if (request->prompt != nullptr && request->prompt[0] != 0) {
            prompt.label(request->prompt);
            prompt.labelfont(FL_HELVETICA_BOLD);
            prompt.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
            chooser.add_extra(&prompt);
        }
        // A file given with its folder starts there; a bare name starts in the folder asked for.
        if (path[0] != 0) chooser.value(path);
        chooser.show();
        while (chooser.shown()) Fl::wait();
        const char* value = chooser.count() > 0 ? chooser.value() : nullptr;
        if (value == nullptr || value[0] == 0) {
            status = kStatusCancelled;
        } else if (Str_Length(value) >= size_t(kPathSize)) {
            status = kStatusError;
        } else {
            Str_Copy(chosen, value);
        }
        // FLTK lists "All Files" and a custom filter after ours: those are none of the caller's.
        if (request->chosenFilter != nullptr) *request->chosenFilter = chooser.filter_value() + 1;
        chooser.add_extra(nullptr);  // the chooser would not delete it, but its window would
    }
    GiveFocusBack(front, focus);
    if (status != kStatusOk) return status;
    if (request->kind == kUiChooseSave && request->defaultExt != nullptr &&
        Ui_Path_AddDefaultExtension(chosen, sizeof chosen, request->defaultExt) != kStatusOk) {
        return kStatusError;
    }
    Str_Copy(path, chosen);
    return kStatusOk;
}

int32_t OpenUrl(const char* url, int32_t* code) {
    return Ui_Shell_Run("xdg-open", url, code);
}

int32_t PopupMenu(UiWindow* w, int16_t v, int16_t h, const Ui_MenuItem* items, int32_t count,
                  int32_t* chosen) {
    *chosen = -1;
    Native* n = N(w);
    if (n == nullptr || n->window == nullptr || !n->window->shown()) return kStatusError;
    Fl_Menu_Item menu[kUiMenuMaxEntries + 1];
    for (Fl_Menu_Item& m : menu) m = Fl_Menu_Item{};
    // FLTK sizes a menu by its labels, and with the "gtk+" scheme the check box of a toggle
    // entry takes more room than it allows for: the longest label touched the menu's edge. Two
    // spaces after each label leave a margin there.
    char labels[kUiMenuMaxEntries][256 + 2];  // a string-table text and the two spaces
    for (int32_t i = 0; i < count && i < kUiMenuMaxEntries; ++i) {
        Str_FormatN(labels[i], sizeof labels[i], "%s  ", items[i].text);
        menu[i].label(labels[i]);
        int flags = items[i].enabled ? 0 : FL_MENU_INACTIVE;
        if (items[i].mark != kUiMenuAction) flags |= FL_MENU_TOGGLE;
        if (items[i].mark == kUiMenuOn) flags |= FL_MENU_VALUE;
        menu[i].flags = flags;
    }
    // FLTK places a pop-up relative to the window of the event being handled; the menu is asked
    // for from an event of this dialog, but the offset is worked out all the same.
    const int x = h + n->window->x_root() - (Fl::event_x_root() - Fl::event_x());
    const int y = v + n->window->y_root() - (Fl::event_y_root() - Fl::event_y());
    const Fl_Menu_Item* picked = menu[0].popup(x, y);
    if (picked == nullptr) return kStatusCancelled;
    *chosen = int32_t(picked - menu);
    return kStatusOk;
}

// A press on the cover over the host's window: our dialog in front comes to the front, as
// Windows brings up a modal dialog when its disabled owner is clicked.
int HostCoverPressed(void* event, void*) {
    const auto* e = static_cast<const XEvent*>(event);
    if (e->type != ButtonPress) return 0;
    auto* front = dynamic_cast<DialogWindow*>(Fl::modal());
    if (front == nullptr || front->native_ == nullptr) return 0;
    // The cover belongs to the first dialog of the chain the one in front stands on.
    Native* first = front->native_;
    while (first->parent != nullptr) first = first->parent;
    if (first->hostCover == 0 || first->hostCover != e->xbutton.window) return 0;
    const Window xid = fl_xid(front);
    // Under a window manager our window sits in its frame, which a raise of our own window does
    // not move, and the click itself has the manager raise the host's window: the manager is
    // asked to activate ours (as the click's consequence, with its time). Without a manager the
    // raise and the focus do it.
    XEvent activate{};
    activate.xclient.type = ClientMessage;
    activate.xclient.window = xid;
    activate.xclient.message_type = XInternAtom(fl_display, "_NET_ACTIVE_WINDOW", False);
    activate.xclient.format = 32;
    activate.xclient.data.l[0] = 1;  // from an application
    activate.xclient.data.l[1] = long(e->xbutton.time);
    XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &activate);
    XRaiseWindow(fl_display, xid);
    XSetInputFocus(fl_display, xid, RevertToPointerRoot, CurrentTime);
    XFlush(fl_display);
    return 1;
}

void MessageBox(const char* text, const char* caption) {
    Fl_Widget* focus = Fl::focus();
    fl_message_title(caption != nullptr ? caption : " ");
    fl_message("%s", text != nullptr ? text : "");
    auto* front = dynamic_cast<DialogWindow*>(Fl::modal());
    GiveFocusBack(front != nullptr ? front->native_ : nullptr, focus);
}

const UiBinding kFltk = {
    .name = "fltk",
    .interactive = Interactive,
    .registerClass = RegisterClass,
    .unregisterClass = UnregisterClass,
    .fontMetrics = FontMetrics,
    .measureText = MeasureText,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .runModal = RunModal,
    .getWindowRect = GetWindowRect,
    .setWindowRect = SetWindowRect,
    .getClientRect = GetClientRect,
    .getScreenRect = GetScreenRect,
    .getWorkArea = GetWorkArea,
    .setWindowText = SetWindowText,
    .isForeground = IsForeground,
    .setTimer = SetTimer,
    .killTimer = KillTimer,
    .invalidate = Invalidate,
    .colorsChanged = ColorsChanged,
    .itemSetText = ItemSetText,
    .itemGetText = ItemGetText,
    .itemSetCheck = ItemSetCheck,
    .itemEnable = ItemEnable,
    .itemShow = ItemShow,
    .itemGetRect = ItemGetRect,
    .itemMove = ItemMove,
    .itemSetDefault = ItemSetDefault,
    .itemSetFocus = ItemSetFocus,
    .focusItem = FocusItem,
    .itemSelectText = ItemSelectText,
    .itemPlainStyle = ItemPlainStyle,
    .listClear = ListClear,
    .listAdd = ListAdd,
    .listGetSelection = ListGetSelection,
    .listSetSelection = ListSetSelection,
    .keyState = KeyState,
    .cursorPos = CursorPos,
    .capture = Capture,
    .trackNext = TrackNext,
    .tickCount = TickCount,
    .cursorLoad = CursorLoad,
    .cursorFree = CursorFree,
    .cursorShow = CursorShow,
    .drawBegin = DrawBegin,
    .drawEnd = DrawEnd,
    .drawClip = DrawClip,
    .fillRect = FillRect,
    .line = Line,
    .ellipse = Ellipse,
    .polygon = Polygon,
    .text = Text,
    .image = Image,
    .beep = Beep,
    .choose = Choose,
    .openUrl = OpenUrl,
    .setSizeRange = SetSizeRange,
    .measureWrapped = MeasureWrapped,
    .arc = Arc,
    .itemSetMaxLength = ItemSetMaxLength,
    .itemSetTip = ItemSetTip,
    .popupMenu = PopupMenu,
};

}  // namespace
}  // namespace kolmara_fltk

const UiBinding* Ui_Fltk_Binding() {
    return &kolmara_fltk::kFltk;
}

int32_t Ui_Fltk_Install() {
    // FLTK ends the process when it cannot open a display: ask X first. The probe stays open
    // until FLTK has its own connection: closing it first would leave a moment with no client,
    // in which an X server without a window manager resets and refuses FLTK. (FLTK is not handed
    // the probe itself: that form skips FLTK's locale and X error-handler set-up.)
    Display* probe = XOpenDisplay(nullptr);
    if (probe == nullptr) {
        Ui_Framework_Install(nullptr);
        return kStatusError;
    }
    // FLTK's own chooser: the GTK one would load GTK into the host process.
    Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    fl_open_display();
    XCloseDisplay(probe);
    // Windows FLTK makes itself (message boxes, the file chooser) are named after the host
    // program, as ours are (ShowWindow), not FLTK's generic "FLTK".
    Fl_Window::default_xclass(program_invocation_short_name);
    Fl::add_system_handler(kolmara_fltk::HostCoverPressed, nullptr);
    Fl::visual(FL_RGB);
    // A current look: rounded, shaded buttons over the framework's light grey background.
    Fl::scheme("gtk+");
    Fl::background(kUiDefaultBackground.r, kUiDefaultBackground.g, kUiDefaultBackground.b);
    Ui_SetMessageBoxHook(kolmara_fltk::MessageBox);
    return Ui_Framework_Install(&kolmara_fltk::kFltk);
}

int32_t Ui_Fltk_ReadPixels(UiWindow* dialog, uint8_t* rgb, int32_t capacity, int32_t* width,
                           int32_t* height) {
    kolmara_fltk::Native* n = kolmara_fltk::N(dialog);
    if (n == nullptr || width == nullptr || height == nullptr) return kStatusProblem;
    Fl_Window* win = n->window;
    *width = win->w();
    *height = win->h();
    if (rgb == nullptr || int64_t(capacity) < int64_t(*width) * *height * 3) return kStatusProblem;
    Fl::flush();
    win->make_current();
    uchar* pixels = fl_read_image(nullptr, 0, 0, *width, *height);
    if (pixels == nullptr) return kStatusError;
    Mem_Copy(rgb, pixels, size_t(*width) * size_t(*height) * 3);
    delete[] pixels;
    return kStatusOk;
}

int32_t Ui_Fltk_XWindow(UiWindow* dialog, unsigned long* xid, int32_t* screenLeft,
                        int32_t* screenTop) {
    kolmara_fltk::Native* n = kolmara_fltk::N(dialog);
    if (n == nullptr || xid == nullptr || screenLeft == nullptr || screenTop == nullptr) {
        return kStatusProblem;
    }
    *xid = fl_xid(n->window);
    *screenLeft = n->window->x_root();
    *screenTop = n->window->y_root();
    return *xid != 0 ? kStatusOk : kStatusError;
}
