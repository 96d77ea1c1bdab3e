// The FLTK widgets of the dialogs and the window that holds them.
//
// Children are added in reverse item order: FLTK draws its children first to last and hit-tests
// them last to first, so item 1 ends up on top of everything it overlaps, as the first control
// of a Win32 dialog does. Keyboard focus moves with Tab in item order all the same.
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <new>

#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/rect.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/fltk/fltk_internal.h"
#include "platform/ui/tab_order.h"

namespace kolmara_fltk {

int16_t ItemNumber(Native* n, const Fl_Widget* w) {
    for (int32_t i = 0; i < n->itemCount; ++i) {
        if (n->items[i].widget == w) return int16_t(i + 1);
    }
    return 0;
}

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

Fl_Color ToFl(Ui_RGB c) {
    return fl_rgb_color(c.r, c.g, c.b);
}

// Whether the item's widget is shown (with everything around it) and active, for Tab.
UiTabShown Shown(UiWindow* w, int16_t item) {
    auto* n = static_cast<Native*>(w->native);
    if (n == nullptr || item < 1 || item > n->itemCount) return kUiTabHidden;
    const Fl_Widget* widget = n->items[item - 1].widget;
    if (widget == nullptr || !widget->visible_r()) return kUiTabHidden;
    return widget->active_r() ? kUiTabEnabled : kUiTabShownOnly;
}

// The item whose widget is shown and active at (x, y): where items overlap (a frame around a
// group of controls) the smallest, the control itself; 0 for none. A disabled control passes the
// click on, as on Windows.
int16_t ItemAt(Native* n, int x, int y) {
    int16_t found = 0;
    int64_t foundArea = 0;
    for (int32_t i = 0; i < n->itemCount; ++i) {
        const Fl_Widget* widget = n->items[i].widget;
        if (widget == nullptr || !widget->visible_r() || !widget->active_r() || x < widget->x() ||
            x >= widget->x() + widget->w() || y < widget->y() || y >= widget->y() + widget->h()) {
            continue;
        }
        const int64_t area = int64_t(widget->w()) * widget->h();
        if (found == 0 || area < foundArea) {
            found = int16_t(i + 1);
            foundArea = area;
        }
    }
    return found;
}

void ContextMenu(Native* n, int16_t item, int16_t v, int16_t h) {
    Ui_Msg m{};
    m.kind = kUiMsgContextMenu;
    m.item = item;
    m.v = v;
    m.h = h;
    m.modifiers = uint8_t(EventModifiers(FL_PUSH) | kUiModFromEvent);
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

void UserItemMessage(Native* n, int16_t item, int32_t kind) {
    Ui_Msg m{};
    m.kind = kind;
    Ui_UserItem_Proc(n->ui, item, &m, nullptr);
}

class PushButton : public Fl_Button {
   public:
    PushButton(Native* n, int16_t item, int x, int y, int w, int h)
        : Fl_Button(x, y, w, h), native_(n), item_(item) {
        callback(
            [](Fl_Widget*, void* self) {
                auto* b = static_cast<PushButton*>(self);
                Command(b->native_, b->item_, kUiNotifyClicked);
            },
            this);
    }
    void draw() override {
        Fl_Button::draw();
        // The default button carries a dark frame, as dialogs mark the button Return presses.
        if (native_->items[item_ - 1].isDefault) {
            fl_color(FL_FOREGROUND_COLOR);
            fl_rect(x(), y(), w(), h());
        }
    }

   private:
    Native* native_;
    int16_t item_;
};

class CheckBox : public Fl_Check_Button {
   public:
    CheckBox(Native* n, int16_t item, int x, int y, int w, int h)
        : Fl_Check_Button(x, y, w, h), native_(n), item_(item) {
        // FLTK toggles the box on a click; the framework then shows its own record's state
        // (an automatic box toggled, a box the owner toggles as it was until the owner acts).
        callback(
            [](Fl_Widget*, void* self) {
                auto* c = static_cast<CheckBox*>(self);
                Command(c->native_, c->item_, kUiNotifyClicked);
            },
            this);
    }

   private:
    Native* native_;
    int16_t item_;
};

class ListBox : public Fl_Choice {
   public:
    ListBox(Native* n, int16_t item, int x, int y, int w, int h)
        : Fl_Choice(x, y, w, h), native_(n), item_(item) {
        when(FL_WHEN_CHANGED | FL_WHEN_NOT_CHANGED);
        // FLTK calls back for the entry already chosen too, depending on how it was picked; the
        // framework tells only a change to the owner.
        callback(
            [](Fl_Widget*, void* self) {
                auto* l = static_cast<ListBox*>(self);
                Command(l->native_, l->item_, kUiNotifySelChange);
            },
            this);
    }

   private:
    Native* native_;
    int16_t item_;
};

template <typename Base>
class EditField : public Base {
   public:
    EditField(Native* n, int16_t item, int x, int y, int w, int h)
        : Base(x, y, w, h), native_(n), item_(item) {
        this->when(FL_WHEN_CHANGED);
        this->callback(
            [](Fl_Widget*, void* self) {
                auto* e = static_cast<EditField*>(self);
                Command(e->native_, e->item_, kUiNotifyChange);
            },
            this);
    }
    int handle(int event) override {
        int result = Base::handle(event);
        // Focus changes are notifications too; only losing it reaches the item-hit proc.
        if (event == FL_FOCUS && native_->ui->created) Command(native_, item_, 0x100);
        if (event == FL_UNFOCUS && native_->ui->created)
            Command(native_, item_, kUiNotifyKillFocus);
        return result;
    }

   private:
    Native* native_;
    int16_t item_;
};

class UserItem : public Fl_Widget {
   public:
    UserItem(Native* n, int16_t item, int x, int y, int w, int h)
        : Fl_Widget(x, y, w, h), native_(n), item_(item) {}

    void draw() override {
        fl_push_clip(x(), y(), w(), h());
        // The frame first: the draw proc owns everything inside the item, its edge included.
        if (native_->items[item_ - 1].flags & kUiFlagBorder) {
            fl_color(ToFl(kUiBorderRGB));
            fl_rect(x(), y(), w(), h());
        }
        UserItemMessage(native_, item_, kUiMsgPaint);
        fl_pop_clip();
    }

    int handle(int event) override {
        Native* n = native_;
        switch (event) {
            case FL_PUSH: {
                if (n->ui->tracking || Fl::event_button() != FL_LEFT_MOUSE) return 1;
                Fl::pushed(this);
                // A press on an item Tab stops at gives it the focus, as a slider has it.
                if (n->ui->layout->items[item_ - 1].flags & kUiFlagTabStop) take_focus();
                Ui_Msg m{};
                m.kind = kUiMsgLButtonDown;
                m.v = int16_t(Fl::event_y());
                m.h = int16_t(Fl::event_x());
                m.clicks =
                    Fl::event_clicks() > 0 ? 2 : 1;  // FLTK counts the clicks after the first
                m.modifiers = uint8_t(EventModifiers(event) | kUiModFromEvent);
                n->lastV = m.v;
                n->lastH = m.h;
                Ui_UserItem_Proc(n->ui, item_, &m, nullptr);
                return 1;
            }
            case FL_DRAG:
            case FL_RELEASE:
                // Mouse events of a press the framework is tracking; the track loop takes them.
                if (n->ui->tracking && n->queueCount < kTrackQueue) {
                    TrackEvent& e = n->queue[(n->queueHead + n->queueCount++) % kTrackQueue];
                    e.v = int16_t(Fl::event_y());
                    e.h = int16_t(Fl::event_x());
                    e.released = event == FL_RELEASE;
                    e.modifiers = uint8_t(EventModifiers(event) | kUiModFromEvent);
                    n->lastV = e.v;
                    n->lastH = e.h;
                }
                return 1;
            case FL_ENTER:
            case FL_LEAVE:
                return 1;
            case FL_MOVE:
                UserItemMessage(n, item_, kUiMsgSetCursor);
                return 1;
            case FL_FOCUS:
            case FL_UNFOCUS:
                // Taken (Tab stops here when the owner asked); drawn again to show it.
                redraw();
                return 1;
            case FL_KEYBOARD:
            case FL_KEYUP:
                // Tab goes on to the window, which moves the focus in reading order.
                if (Fl::event_key() == FL_Tab && !Fl::event_ctrl() && !Fl::event_alt()) return 0;
                KeyEvent(n, item_, event);
                return 1;
            default:
                return Fl_Widget::handle(event);
        }
    }

   private:
    Native* native_;
    int16_t item_;
};

// A static icon; clicks are commands, like those of a notifying icon control.
class IconBox : public Fl_Box {
   public:
    IconBox(Native* n, int16_t item, int x, int y, int w, int h)
        : Fl_Box(x, y, w, h), native_(n), item_(item) {}
    int handle(int event) override {
        if (event == FL_PUSH) return 1;
        if (event == FL_RELEASE && Fl::event_inside(this)) {
            Command(native_, item_, kUiNotifyClicked);
            return 1;
        }
        return Fl_Box::handle(event);
    }

   private:
    Native* native_;
    int16_t item_;
};

Fl_Align TextAlign(uint32_t flags) {
    Fl_Align a = FL_ALIGN_INSIDE | FL_ALIGN_TOP;  // without a side FLTK centres the text
    if (flags & kUiFlagRight) {
        a |= FL_ALIGN_RIGHT;
    } else if (!(flags & kUiFlagCenter)) {
        a |= FL_ALIGN_LEFT;
    }
    if (!(flags & kUiFlagNoWrap)) a |= FL_ALIGN_WRAP;
    return a;
}

void LoadIcon(Native* n, Item& it, const char* text) {
    int32_t id = 0;
    for (const char* p = text; *p >= '0' && *p <= '9' && id < 100000; ++p)
        id = id * 10 + (*p - '0');
    if (id <= 0) return;
    Ui_Offscreen* image = nullptr;
    if (Ui_Bitmap_Load(n->ui->state, kResTypeIcon, id, &image) != kStatusOk) return;
    uint32_t bytes = uint32_t(image->width) * uint32_t(image->height) * 3;
    it.iconPixels = static_cast<uint8_t*>(Mem_Alloc(bytes));
    if (it.iconPixels != nullptr) {
        for (int32_t y = 0; y < image->height; ++y) {
            const uint8_t* src = image->pixels + size_t(image->rowBytes) * size_t(y);
            uint8_t* dst = it.iconPixels + size_t(y) * size_t(image->width) * 3;
            for (int32_t x = 0; x < image->width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
        it.icon = new (std::nothrow) Fl_RGB_Image(it.iconPixels, image->width, image->height, 3);
        if (it.icon != nullptr) it.widget->image(it.icon);
    }
    Ui_Offscreen_Free(&image);
}

}  // namespace

uint32_t VirtualKey() {
    int k = Fl::event_key();
    if (k >= 'a' && k <= 'z') return uint32_t(k - 'a' + 'A');
    if ((k >= '0' && k <= '9') || k == ' ') return uint32_t(k);
    if (k >= FL_F + 1 && k <= FL_F + 24) return uint32_t(0x70 + (k - FL_F - 1));
    switch (k) {
        case FL_Enter:
        case FL_KP_Enter:
            return kUiKeyReturn;
        case FL_Escape:
            return kUiKeyEscape;
        case FL_BackSpace:
            return 8;
        case FL_Tab:
            return 9;
        case FL_Shift_L:
        case FL_Shift_R:
            return kUiKeyShift;
        case FL_Control_L:
        case FL_Control_R:
            return kUiKeyCtrl;
        case FL_Alt_L:
        case FL_Alt_R:
            return kUiKeyAlt;
        case FL_Page_Up:
            return 33;
        case FL_Page_Down:
            return 34;
        case FL_End:
            return 35;
        case FL_Home:
            return 36;
        case FL_Left:
            return 37;
        case FL_Up:
            return 38;
        case FL_Right:
            return 39;
        case FL_Down:
            return 40;
        case FL_Insert:
            return 45;
        case FL_Delete:
            return 46;
        default:
            return uint32_t(k & 0xFF);
    }
}

void SetLabel(Fl_Widget* widget, const char* text) {
    char escaped[2 * kItemTextSize];
    size_t n = 0;
    for (const char* p = text; *p != 0 && n + 3 < sizeof escaped; ++p) {
        if (*p == '@' || *p == '&') escaped[n++] = *p;
        escaped[n++] = *p;
    }
    escaped[n] = 0;
    widget->copy_label(escaped);
}

void Command(Native* n, int16_t item, uint16_t notification) {
    Ui_Msg m{};
    m.kind = kUiMsgCommand;
    m.item = item;
    m.notification = notification;
    m.modifiers = uint8_t(EventModifiers(Fl::event()) | kUiModFromEvent);
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

uint8_t EventModifiers(int event) {
    const int state = Fl::event_state();
    uint8_t m = uint8_t(((state & FL_CTRL) ? kUiModCtrl : 0) | ((state & FL_ALT) ? kUiModAlt : 0) |
                        ((state & FL_SHIFT) ? kUiModShift : 0));
    if (event == FL_KEYBOARD || event == FL_KEYUP) {
        // X reports the state before the event: a modifier's own press or release is not in it.
        const uint8_t own = Ui_ModifierOfKey(VirtualKey());
        m = event == FL_KEYBOARD ? uint8_t(m | own) : uint8_t(m & ~own);
    }
    return m;
}

void KeyEvent(Native* n, int16_t focusItem, int event) {
    const uint32_t key = VirtualKey();
    const uint8_t modifiers = EventModifiers(event);
    if (n->ui->tracking) {
        // The press being tracked takes only mouse events; a modifier's change comes to it as a
        // drag where the mouse is, so that holding Alt shows at once.
        if (Ui_ModifierOfKey(key) != 0 && n->queueCount < kTrackQueue) {
            TrackEvent& e = n->queue[(n->queueHead + n->queueCount++) % kTrackQueue];
            e.v = n->lastV;
            e.h = n->lastH;
            e.released = 0;
            e.modifiers = uint8_t(modifiers | kUiModFromEvent);
        }
        return;
    }
    Ui_Dlg_RouteKey(n->ui, focusItem, key, modifiers, event == FL_KEYUP);
}

void DeferredSize(void* data) {
    auto* n = static_cast<Native*>(data);
    n->sizePosted = 0;
    if (n->ui->ended) return;
    Ui_Msg m{};
    m.kind = kUiMsgSize;
    m.v = int16_t(n->window->h());
    m.h = int16_t(n->window->w());
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

void DialogWindow::resize(int x, int y, int w, int h) {
    const bool sized = w != this->w() || h != this->h();
    Fl_Double_Window::resize(x, y, w, h);
    Native* n = native_;
    // FLTK fixes the size range of a window without a resizable child whenever a program
    // resizes it; the range of a resizable dialog is put back.
    if (n->resizable) size_range(n->minWidth, n->minHeight, n->maxWidth, n->maxHeight);
    if (!sized || n->settingRect || !shown() || n->sizePosted) return;
    // Dispatched outside the window system's event, like the paint message: the size proc may do
    // anything, and a frame dragged quickly brings many sizes of which only the last matters.
    n->sizePosted = 1;
    Fl::add_timeout(0.0, DeferredSize, n);
}

DialogWindow::DialogWindow(Native* native, int w, int h, const char* title)
    : Fl_Double_Window(w, h), native_(native) {
    copy_label(title);
    // Closing the window from its frame is the cancel button, as with dialogs everywhere.
    callback(
        [](Fl_Widget*, void* self) {
            Command(static_cast<DialogWindow*>(self)->native_, 2, kUiNotifyClicked);
        },
        this);
}

void DialogWindow::draw() {
    Ui_RGB bg = kUiDefaultBackground;
    uint8_t custom = 0;
    Ui_Dlg_Colors(native_->ui, &bg, &custom);
    color(ToFl(bg));
    bool whole = (damage() & ~FL_DAMAGE_CHILD) != 0;
    native_->inDraw = 1;
    Fl_Double_Window::draw();
    native_->inDraw = 0;
    // The dialog's own paint message follows outside FLTK's drawing, where procs may do anything.
    if (whole && !native_->paintPosted) {
        native_->paintPosted = 1;
        Fl::add_timeout(0.0, DeferredPaint, native_);
    }
}

void DeferredPaint(void* data) {
    auto* n = static_cast<Native*>(data);
    n->paintPosted = 0;
    Ui_Msg m{};
    m.kind = kUiMsgPaint;
    Ui_Dlg_Proc(n->ui, &m, nullptr);
    if (n->ui->ended) return;
    m.kind = kUiMsgCtlColorStatic;
    Ui_Dlg_Proc(n->ui, &m, nullptr);
}

int DialogWindow::handle(int event) {
    Native* n = native_;
    if (event == FL_MOUSEWHEEL) {
        if (!n->ui->tracking && Fl::event_dy() != 0) {
            Ui_Msg m{};
            m.kind = kUiMsgWheel;
            m.item = ItemAt(n, Fl::event_x(), Fl::event_y());
            m.v = int16_t(Fl::event_y());
            m.h = int16_t(Fl::event_x());
            m.steps = int16_t(Fl::event_dy());
            m.modifiers = uint8_t(EventModifiers(event) | kUiModFromEvent);
            Ui_Dlg_Proc(n->ui, &m, nullptr);
        }
        return 1;
    }
    if (event == FL_PUSH && Fl::event_button() == FL_RIGHT_MOUSE) {
        // The right button asks for the menu of what is under it; it presses nothing.
        if (!n->ui->tracking)
            ContextMenu(n, ItemAt(n, Fl::event_x(), Fl::event_y()), Fl::event_y(), Fl::event_x());
        return 1;
    }
    if (event == FL_KEYBOARD && !n->ui->tracking &&
        ((Fl::event_key() == FL_F + 10 && Fl::event_shift()) || Fl::event_key() == FL_Menu)) {
        // Shift+F10 and the menu key: the menu of the item with the focus, at its centre.
        const int16_t item = ItemNumber(n, Fl::focus());
        const Fl_Widget* widget = item != 0 ? n->items[item - 1].widget : nullptr;
        if (widget == nullptr) {
            ContextMenu(n, 0, int16_t(h() / 2), int16_t(w() / 2));
        } else {
            ContextMenu(n, item, int16_t(widget->y() + widget->h() / 2),
                        int16_t(widget->x() + widget->w() / 2));
        }
        return 1;
    }
    if (event == FL_KEYBOARD || event == FL_KEYUP) {
        uint32_t key = VirtualKey();
        if (key == 9 && event == FL_KEYBOARD && !n->ui->tracking && !Fl::event_ctrl() &&
            !Fl::event_alt()) {
            // Tab: the next (Shift: previous) control in reading order (tab_order.h).
            // A widget that refuses the focus is stepped over, as if it were not there.
            const int16_t from = ItemNumber(n, Fl::focus());
            int16_t at = from;
            for (int32_t k = 0; k < n->itemCount; ++k) {
                at = Ui_Tab_Next(n->ui, Shown, at, Fl::event_shift() != 0);
                if (at == 0 || at == from || n->items[at - 1].widget->take_focus()) break;
            }
            return 1;
        }
        if (key >= 37 && key <= 40 && event == FL_KEYBOARD && !n->ui->tracking &&
            Fl_Double_Window::handle(event)) {
            return 1;  // arrows move between controls as FLTK does
        }
        KeyEvent(n, 0, event);
        return 1;
    }
    if (event == FL_MOVE) {
        int result = Fl_Double_Window::handle(event);
        // Over a plain control or the dialog itself the cursor request goes to the dialog.
        Fl_Widget* below = Fl::belowmouse();
        int16_t item = ItemNumber(n, below);
        if (item == 0 || n->items[item - 1].kind != kUiItemUser) {
            Ui_Msg m{};
            m.kind = kUiMsgSetCursor;
            Ui_Dlg_Proc(n->ui, &m, nullptr);
        }
        return result;
    }
    return Fl_Double_Window::handle(event);
}

namespace {

// The largest size of FLTK's sans face, plain or bold, that fits the framework's nominal metrics
// for a font: the layouts of both bindings are then the same, and no text needs more room than
// the template gave it. Measured once per font and dialog size.
int FittedSize(int32_t points, int32_t font) {
    static int sizes[73][kUiFontLargeBold + 1];
    if (!(1 <= points && points <= 72)) points = 8;
    if (!(kUiFontDialog <= font && font <= kUiFontLargeBold)) font = kUiFontDialog;
    int& size = sizes[points][font];
    if (size != 0) return size;
    int32_t avg = 0, height = 0;
    Ui_Font_Nominal(points, font, &avg, &height);
    const Fl_Font face =
        font == kUiFontBold || font == kUiFontLargeBold ? FL_HELVETICA_BOLD : FL_HELVETICA;
    size = 5;
    for (int s = 6; s <= 96; ++s) {
        fl_font(face, s);
        if (!Ui_Font_Fits(int32_t(fl_width(kAlphabet) + 0.5), fl_height(), avg, height)) break;
        size = s;
    }
    return size;
}

}  // namespace

void UseFont(UiWindow* ui, int32_t font) {
    int32_t points = ui != nullptr && ui->layout != nullptr ? ui->layout->fontPoints : 8;
    const Fl_Font face =
        font == kUiFontBold || font == kUiFontLargeBold ? FL_HELVETICA_BOLD : FL_HELVETICA;
    fl_font(face, FittedSize(points, font));
}

int32_t BuildWindow(Native* n) {
    UiWindow* ui = n->ui;
    const Ui_DlgTemplate* t = ui->layout;
    int width = Ui_Rect_Width(&t->client), height = Ui_Rect_Height(&t->client);
    // Widgets are made without exceptions: a refused allocation is a status like any other.
    DialogWindow* win = new (std::nothrow) DialogWindow(n, width, height, t->title);
    if (win == nullptr) return kStatusNoMemory;
    n->window = win;
    int32_t status = kStatusOk;
    win->begin();
    UseFont(ui, kUiFontDialog);
    Fl_Font face = fl_font();
    Fl_Fontsize size = fl_size();
    for (int32_t i = t->itemCount - 1; i >= 0; --i) {
        const Ui_DlgItem& src = t->items[i];
        Item& it = n->items[i];
        int16_t number = int16_t(i + 1);
        int x = src.pixels.left, y = src.pixels.top;
        int w = Ui_Rect_Width(&src.pixels), h = Ui_Rect_Height(&src.pixels);
        it.kind = src.kind;
        it.flags = src.flags;
        Fl_Widget* widget = nullptr;
        switch (src.kind) {
            case kUiItemButton:
                widget = new (std::nothrow) PushButton(n, number, x, y, w, h);
                break;
            case kUiItemCheck:
                widget = new (std::nothrow) CheckBox(n, number, x, y, w, h);
                break;
            case kUiItemCombo: {
                // A drop-down list is as high as one line of text, whatever the template says.
                int line = fl_height() + 8;
                auto* list = new (std::nothrow) ListBox(n, number, x, y, w, h < line ? h : line);
                if (list != nullptr) {
                    list->textfont(face);
                    list->textsize(size);
                }
                widget = list;
                break;
            }
            case kUiItemStatic: {
                auto* box = new (std::nothrow) Fl_Box(x, y, w, h);
                if (box != nullptr) {
                    box->box((src.flags & kUiFlagBorder) ? FL_BORDER_FRAME : FL_NO_BOX);
                    // A border frame is drawn in the box's colour.
                    if (src.flags & kUiFlagBorder) box->color(ToFl(kUiBorderRGB));
                    box->align(TextAlign(src.flags));
                }
                widget = box;
                break;
            }
            case kUiItemEdit: {
                Fl_Input* input;
                if (src.flags & kUiFlagMultiline) {
                    input = new (std::nothrow) EditField<Fl_Multiline_Input>(n, number, x, y, w, h);
                } else {
                    input = new (std::nothrow) EditField<Fl_Input>(n, number, x, y, w, h);
                }
                if (input != nullptr) {
                    input->textfont(face);
                    input->textsize(size);
                    input->value(src.text);
                    if (src.flags & kUiFlagReadOnly) input->readonly(1);
                }
                widget = input;
                break;
            }
            case kUiItemUser:
                widget = new (std::nothrow) UserItem(n, number, x, y, w, h);
                break;
            case kUiItemIcon:
                widget = new (std::nothrow) IconBox(n, number, x, y, w, h);
                break;
            default:
                widget = new (std::nothrow) Fl_Box(x, y, w, h);
                break;
        }
        it.widget = widget;
        if (widget == nullptr) {
            status = kStatusNoMemory;
            continue;
        }
        widget->labelfont(face);
        widget->labelsize(size);
        if (src.kind == kUiItemButton || src.kind == kUiItemCheck || src.kind == kUiItemStatic) {
            SetLabel(widget, src.text);
        }
        if (src.kind == kUiItemIcon) LoadIcon(n, it, src.text);
        if (src.flags & kUiFlagDefault) it.isDefault = 1;
        if (src.flags & kUiFlagDisabled) widget->deactivate();
        if (src.flags & kUiFlagHidden) widget->hide();
    }
    win->end();
    // No child is resizable: FLTK must not scale the items when the window's size changes; the
    // framework moves them by their anchors instead.
    win->resizable(nullptr);
    win->set_modal();
    return status;
}

}  // namespace kolmara_fltk
