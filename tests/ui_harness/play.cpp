// Playing steps on a dialog: as a headless script resolved while it runs, or as X input through
// XTEST on FLTK; see ui_harness.h.
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui_state.h"
#include "tests/ui_harness/ui_harness.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace ui_harness {

namespace {

// A step of a kind at an item's centre moved by (dv, dh); the other fields as the caller sets.
Step Of(Step::Kind kind, int16_t item = 0, int dv = 0, int dh = 0) {
    Step s;
    s.kind = kind;
    s.item = item;
    s.dv = dv;
    s.dh = dh;
    return s;
}

}  // namespace

Step Click(int16_t item, uint8_t modifiers) {
    return ClickAt(item, 0, 0, modifiers);
}
Step ClickAt(int16_t item, int dv, int dh, uint8_t modifiers) {
    Step s = Of(Step::kClick, item, dv, dh);
    s.modifiers = modifiers;
    return s;
}
Step Press(int16_t item, int dv, int dh) {
    return Of(Step::kPress, item, dv, dh);
}
Step DragTo(int16_t item, int dv, int dh) {
    return Of(Step::kDrag, item, dv, dh);
}
Step Release(int16_t item, int dv, int dh) {
    return Of(Step::kRelease, item, dv, dh);
}
Step Key(uint32_t key, uint8_t modifiers) {
    Step s = Of(Step::kKey);
    s.key = key;
    s.modifiers = modifiers;
    return s;
}
Step KeyDown(uint32_t key) {
    Step s = Of(Step::kKeyDown);
    s.key = key;
    return s;
}
Step KeyUp(uint32_t key) {
    Step s = Of(Step::kKeyUp);
    s.key = key;
    return s;
}
Step Type(int16_t item, const std::string& text) {
    Step s = Of(Step::kType, item);
    s.text = text;
    return s;
}
Step Text(const std::string& text) {
    Step s = Of(Step::kText);
    s.text = text;
    return s;
}
Step Choose(int16_t item, int32_t entry) {
    Step s = Of(Step::kChoose, item);
    s.value = entry;
    return s;
}
// The client area's width travels as dh, its height as dv.
Step Resize(int width, int height) {
    return Of(Step::kResize, 0, height, width);
}
Step Wait(int milliseconds) {
    Step s = Of(Step::kWait);
    s.value = milliseconds;
    return s;
}
Step Shot(const std::string& fileName) {
    Step s = Of(Step::kShot);
    s.text = fileName;
    return s;
}
Step Do(std::function<void(UiWindow*)> call) {
    Step s = Of(Step::kCall);
    s.call = std::move(call);
    return s;
}
Step For(int32_t dialogId, Step step) {
    step.dialogId = dialogId;
    return step;
}

namespace {

// KOLMARA_UI_TRACE=1 in the environment: what the FLTK player does, on stderr.
bool Tracing() {
    static const bool on = [] {
        const char* v = std::getenv("KOLMARA_UI_TRACE");
        return v != nullptr && v[0] == '1';
    }();
    return on;
}

UiWindow* Front(UiState* state) {
    if (state == nullptr) return nullptr;
    auto* w = static_cast<UiWindow*>(state->parentWindow);
    Ui_Dlg* d = nullptr;
    return Ui_Dlg_Get(w, &d) == 0 && !w->ended ? w : nullptr;
}

// Where a step points: the item's centre moved by the step's offsets, in client coordinates.
void Aim(UiWindow* w, const Step& s, int* v, int* h) {
    Ui_Rect r{};
    Ui_Item_GetRect(w, s.item, &r);
    *v = (r.top + r.bottom) / 2 + s.dv;
    *h = (r.left + r.right) / 2 + s.dh;
}

constexpr uint8_t kModifierKeys[3][2] = {
    {kUiModShift, kUiKeyShift}, {kUiModCtrl, kUiKeyCtrl}, {kUiModAlt, kUiKeyAlt}};

// --- headless ---------------------------------------------------------------------------------

// The steps as a headless script: each step is a call that, when the script reaches it, writes
// the events it stands for into the empty slots that follow it, from the dialog as it is then.
class HeadlessPlayer {
   public:
    HeadlessPlayer(UiState* state, std::vector<Step> steps)
        : state_(state), steps_(std::move(steps)) {
        slots_.resize(steps_.size() + 1);
        script_.resize((steps_.size() + 1) * (1 + kRoom));
        for (size_t i = 0; i <= steps_.size(); ++i) {
            slots_[i] = Slot{this, i};
            const int32_t dialogId = i < steps_.size() ? steps_[i].dialogId : 0;
            UiScriptEvent& call = script_[i * (1 + kRoom)];
            call.kind = kUiScriptCall;
            call.call = Resolve;
            call.context = &slots_[i];
            call.dialogId = dialogId;
            for (int k = 1; k <= kRoom; ++k)
                script_[i * (1 + kRoom) + size_t(k)] = Nothing(dialogId);
        }
    }
    void Start() { Ui_Headless_SetScript(script_.data(), int32_t(script_.size())); }
    bool ranOut = false;

   private:
    static constexpr int kRoom = 10;
    struct Slot {
        HeadlessPlayer* player;
        size_t step;
    };

    static UiScriptEvent Nothing(int32_t dialogId) {
        UiScriptEvent e{};
        e.kind = kUiScriptIdle;
        e.dialogId = dialogId;
        return e;
    }
    static void Resolve(UiWindow* w, void* context) {
        auto* slot = static_cast<Slot*>(context);
        slot->player->Fill(w, slot->step);
    }

    UiScriptEvent Event(int32_t kind, int32_t dialogId) const {
        UiScriptEvent e{};
        e.kind = kind;
        e.dialogId = dialogId;
        e.ctrl = (held_ & kUiModCtrl) != 0;
        e.alt = (held_ & kUiModAlt) != 0;
        e.shift = (held_ & kUiModShift) != 0;
        return e;
    }
    void Add(std::vector<UiScriptEvent>& out, UiScriptEvent e) { out.push_back(e); }
    // The presses (down) or releases of the modifier keys in mask, as key events.
    void Modifiers(std::vector<UiScriptEvent>& out, uint8_t mask, bool down, int32_t dialogId) {
        for (const auto& [bit, key] : kModifierKeys) {
            if (!(mask & bit)) continue;
            if (down) held_ |= bit;
            UiScriptEvent e = Event(down ? kUiScriptKeyDown : kUiScriptKeyUp, dialogId);
            e.value = key;
            Add(out, e);
            if (!down) held_ &= uint8_t(~bit);
        }
    }

    void Fill(UiWindow* w, size_t index) {
        if (index == steps_.size()) {
            ranOut = true;  // a dialog is still open when the steps are done
            return;
        }
        const Step& s = steps_[index];
        std::vector<UiScriptEvent> out;
        int v = 0, h = 0;
        if (s.item != 0) Aim(w, s, &v, &h);
        const int32_t id = s.dialogId;
        switch (s.kind) {
            case Step::kClick: {
                Modifiers(out, s.modifiers, true, id);
                const UiHeadlessWindow* hw = Ui_Headless_Window(w);
                const bool user = hw != nullptr && 1 <= s.item && s.item <= hw->itemCount &&
                                  hw->items[s.item - 1].kind == kUiItemUser;
                if (user) {
                    // A press and its release, as a real click is: the track loop sees both.
                    UiScriptEvent e = Event(kUiScriptPress, id);
                    e.item = s.item;
                    e.v = int16_t(v);
                    e.h = int16_t(h);
                    Add(out, e);
                    e = Event(kUiScriptRelease, id);
                    e.v = int16_t(v);
                    e.h = int16_t(h);
                    Add(out, e);
                } else {
                    UiScriptEvent e = Event(kUiScriptClick, id);
                    e.item = s.item;
                    Add(out, e);
                }
                Modifiers(out, s.modifiers, false, id);
                break;
            }
            case Step::kPress:
            case Step::kDrag:
            case Step::kRelease: {
                UiScriptEvent e = Event(s.kind == Step::kPress  ? kUiScriptPress
                                        : s.kind == Step::kDrag ? kUiScriptDrag
                                                                : kUiScriptRelease,
                                        id);
                e.item = s.kind == Step::kPress ? s.item : 0;
                e.v = int16_t(v);
                e.h = int16_t(h);
                Add(out, e);
                break;
            }
            case Step::kKey: {
                Modifiers(out, s.modifiers, true, id);
                UiScriptEvent e = Event(kUiScriptKey, id);
                e.value = int32_t(s.key);
                Add(out, e);
                Modifiers(out, s.modifiers, false, id);
                break;
            }
            case Step::kKeyDown:
            case Step::kKeyUp: {
                const bool down = s.kind == Step::kKeyDown;
                uint8_t bit = Ui_ModifierOfKey(s.key);
                if (bit != 0) {
                    Modifiers(out, bit, down, id);
                } else {
                    UiScriptEvent e = Event(down ? kUiScriptKeyDown : kUiScriptKeyUp, id);
                    e.value = int32_t(s.key);
                    Add(out, e);
                }
                break;
            }
            case Step::kType: {
                UiScriptEvent e = Event(kUiScriptEdit, id);
                e.item = s.item;
                e.text = s.text.c_str();
                Add(out, e);
                break;
            }
            case Step::kText:
                std::fprintf(stderr, "ui_harness: typing without a field is for FLTK only\n");
                break;
            case Step::kChoose: {
                UiScriptEvent e = Event(kUiScriptSelect, id);
                e.item = s.item;
                e.value = s.value;
                Add(out, e);
                break;
            }
            case Step::kResize: {
                UiScriptEvent e = Event(kUiScriptResize, id);
                e.h = int16_t(s.dh);
                e.v = int16_t(s.dv);
                Add(out, e);
                break;
            }
            case Step::kWait: {
                UiScriptEvent e = Event(kUiScriptIdle, id);
                e.value = (s.value + 99) / 100;
                Add(out, e);
                break;
            }
            case Step::kShot:
                Shoot(w, s.text);
                break;
            case Step::kCall:
                if (s.call) s.call(w);
                break;
        }
        if (out.size() > size_t(kRoom)) {
            std::fprintf(stderr, "ui_harness: step %zu needs more script room\n", index);
            out.resize(size_t(kRoom));
        }
        // What a step does not use passes in any dialog: a step that closes its dialog (an
        // alert's Return) hands the rest of the script to the dialog below.
        const size_t base = index * (1 + kRoom) + 1;
        for (size_t k = 0; k < size_t(kRoom); ++k) {
            script_[base + k] = k < out.size() ? out[k] : Nothing(0);
        }
    }

    UiState* state_;
    std::vector<Step> steps_;
    std::vector<Slot> slots_;
    std::vector<UiScriptEvent> script_;
    uint8_t held_ = 0;
};

// --- FLTK through XTEST -----------------------------------------------------------------------

KeySym SymOf(uint32_t key) {
    if (key >= 'A' && key <= 'Z') return XK_a + (key - 'A');
    if (key >= '0' && key <= '9') return XK_0 + (key - '0');
    // The binding's key codes that are not letters or digits: Backspace, Tab, space, End, Home,
    // the arrows and Delete keep the virtual-key numbers of the classic interface.
    static constexpr struct {
        uint32_t key;
        KeySym sym;
    } kKeys[] = {{kUiKeyReturn, XK_Return},
                 {kUiKeyEscape, XK_Escape},
                 {kUiKeyShift, XK_Shift_L},
                 {kUiKeyCtrl, XK_Control_L},
                 {kUiKeyAlt, XK_Alt_L},
                 {8, XK_BackSpace},
                 {9, XK_Tab},
                 {32, XK_space},
                 {35, XK_End},
                 {36, XK_Home},
                 {37, XK_Left},
                 {38, XK_Up},
                 {39, XK_Right},
                 {40, XK_Down},
                 {46, XK_Delete}};
    for (const auto& k : kKeys) {
        if (k.key == key) return k.sym;
    }
    return NoSymbol;
}

// Plays the steps from FLTK timeouts, which also run inside the framework's track loop, inside
// nested dialogs and inside FLTK's own menus and choosers.
class FltkPlayer {
   public:
    FltkPlayer(UiState* state, std::vector<Step> steps, double guard)
        : state_(state), steps_(std::move(steps)) {
        Fl::add_timeout(0.2, Tick, this);
        Fl::add_timeout(guard, Guard, this);
    }
    ~FltkPlayer() {
        Fl::remove_timeout(Tick, this);
        Fl::remove_timeout(Guard, this);
        Fl::remove_timeout(EndAll, this);
        // Nothing may stay held for the next test.
        if (button_) Button(false);
        for (const auto& [bit, key] : kModifierKeys) {
            if (held_ & bit) KeyX(key, false);
        }
        XSync(fl_display, False);
    }
    bool guardFired = false;
    bool ranOut = false;

   private:
    struct Action {
        std::function<void()> run;
        int delayAfter;  // milliseconds
    };

    static void Tick(void* p) { static_cast<FltkPlayer*>(p)->Next(); }
    static void Guard(void* p) {
        auto* self = static_cast<FltkPlayer*>(p);
        if (Tracing()) std::fprintf(stderr, "ui_harness: guard fired\n");
        self->guardFired = true;
        self->steps_.clear();
        self->actions_.clear();
        EndAll(p);
    }
    // Ends the window in front with item 2, again and again while windows are open: a window
    // of FLTK's own (a chooser, a message box) is closed as by its close box, a dialog ended.
    static void EndAll(void* p) {
        auto* self = static_cast<FltkPlayer*>(p);
        UiWindow* w = Front(self->state_);
        Fl_Window* modal = Fl::modal();
        unsigned long xid = 0;
        int32_t left = 0, top = 0;
        if (w != nullptr) Ui_Fltk_XWindow(w, &xid, &left, &top);
        if (Tracing()) {
            std::fprintf(stderr, "ui_harness: ending: dialog %d, window of FLTK's own %d\n",
                         w != nullptr ? Ui_Dlg_Id(w) : 0, modal != nullptr && modal->shown());
        }
        if (modal != nullptr && modal->shown() && fl_xid(modal) != xid) {
            modal->do_callback();  // as its close box does: a chooser then cancels
        } else if (w != nullptr) {
            Ui_Dlg* d = nullptr;
            Ui_Dlg_Get(w, &d);
            d->itemHit = 2;
            Ui_Dlg_End(w);
        } else {
            return;
        }
        Fl::repeat_timeout(0.3, EndAll, p);
    }

    void After(int milliseconds) { Fl::repeat_timeout(milliseconds / 1000.0, Tick, this); }

    // A window of FLTK's own is up (a chooser, a message box) with no dialog of ours in front.
    static bool OwnWindowUp() {
        Fl_Window* modal = Fl::modal();
        return modal != nullptr && modal->shown();
    }

    static bool NeedsDialog(const Step& s) {
        return !(s.kind == Step::kKey || s.kind == Step::kKeyDown || s.kind == Step::kKeyUp ||
                 s.kind == Step::kText || s.kind == Step::kWait || s.kind == Step::kCall ||
                 s.kind == Step::kShot);
    }

    void Next() {
        // Actions of a step already begun, each after the delay of the one before.
        while (!actions_.empty()) {
            Action a = std::move(actions_.front());
            actions_.pop_front();
            a.run();
            XFlush(fl_display);
            if (a.delayAfter > 0) return After(a.delayAfter);
        }
        UiWindow* w = Front(state_);
        if (w != nullptr && !Ready(w)) return After(50);
        const bool ownWindow = w == nullptr && OwnWindowUp();
        if (next_ >= steps_.size()) {
            if ((w == nullptr && !ownWindow) || guardFired) return;
            // A moment for what the last step started, then the steps have run out.
            if (!finishing_) {
                finishing_ = true;
                return After(400);
            }
            ranOut = true;
            EndAll(this);
            return;
        }
        const Step& s = steps_[next_];
        const bool reachable = w != nullptr || (ownWindow && !NeedsDialog(s) && s.dialogId == 0);
        if (!reachable || (s.dialogId != 0 && Ui_Dlg_Id(w) != s.dialogId)) return After(50);
        void* front = w != nullptr ? static_cast<void*>(w) : static_cast<void*>(Fl::modal());
        if (front != lastFront_) {
            // A window that has just appeared is given time to be drawn before anything happens.
            lastFront_ = front;
            return After(200);
        }
        if (Tracing()) {
            std::fprintf(stderr, "ui_harness: step %zu (kind %d) in dialog %d\n", next_,
                         int(s.kind), w != nullptr ? Ui_Dlg_Id(w) : 0);
        }
        ++next_;
        Expand(w, s);
        After(0);
    }

    // The dialog in front is on the screen.
    bool Ready(UiWindow* w) {
        unsigned long xid = 0;
        int32_t left = 0, top = 0;
        if (w == nullptr || Ui_Fltk_XWindow(w, &xid, &left, &top) != 0) return false;
        XWindowAttributes a;
        return XGetWindowAttributes(fl_display, xid, &a) != 0 && a.map_state == IsViewable;
    }

    // The pointer to a point of the dialog; it stays where it is when it is there already, so
    // that a release where the last drag ended brings no move of its own.
    void MoveTo(UiWindow* w, int v, int h) {
        unsigned long xid = 0;
        int32_t left = 0, top = 0;
        if (Ui_Fltk_XWindow(w, &xid, &left, &top) != 0) return;
        if (left + h == pointerX_ && top + v == pointerY_) return;
        pointerX_ = left + h;
        pointerY_ = top + v;
        XTestFakeMotionEvent(fl_display, fl_screen, pointerX_, pointerY_, CurrentTime);
    }
    void Button(bool down) {
        button_ = down;
        XTestFakeButtonEvent(fl_display, 1, down, CurrentTime);
    }
    void KeyX(uint32_t key, bool down) {
        KeySym sym = SymOf(key);
        if (sym == NoSymbol) return;
        KeyCode code = XKeysymToKeycode(fl_display, sym);
        if (code != 0) XTestFakeKeyEvent(fl_display, code, down, CurrentTime);
        const uint8_t bit = Ui_ModifierOfKey(key);
        held_ = down ? uint8_t(held_ | bit) : uint8_t(held_ & ~bit);
    }
    // A printable character, with Shift when its key needs it.
    void Char(char c) {
        KeySym sym = KeySym(uint8_t(c));
        KeyCode code = XKeysymToKeycode(fl_display, sym);
        if (code == 0) return;
        const bool shifted = XkbKeycodeToKeysym(fl_display, code, 0, 0) != sym;
        if (shifted)
            XTestFakeKeyEvent(fl_display, XKeysymToKeycode(fl_display, XK_Shift_L), True, 0);
        XTestFakeKeyEvent(fl_display, code, True, CurrentTime);
        XTestFakeKeyEvent(fl_display, code, False, CurrentTime);
        if (shifted)
            XTestFakeKeyEvent(fl_display, XKeysymToKeycode(fl_display, XK_Shift_L), False, 0);
    }
    // A key pressed and let go.
    void Tap(uint32_t key) {
        KeyX(key, true);
        KeyX(key, false);
    }
    // A plain click at a point of the dialog.
    void ClickAt(UiWindow* w, int v, int h) {
        MoveTo(w, v, h);
        Button(true);
        Button(false);
    }
    void Modifiers(uint8_t mask, bool down) {
        for (const auto& [bit, key] : kModifierKeys) {
            if (mask & bit) KeyX(key, down);
        }
    }

    void Expand(UiWindow* w, const Step& s) {
        int v = 0, h = 0;
        if (s.item != 0) Aim(w, s, &v, &h);
        auto now = [this](std::function<void()> run, int delay = 0) {
            actions_.push_back(Action{std::move(run), delay});
        };
        switch (s.kind) {
            case Step::kClick:
                now(
                    [=, this] {
                        Modifiers(s.modifiers, true);
                        MoveTo(w, v, h);
                        Button(true);
                    },
                    40);
                now(
                    [=, this] {
                        Button(false);
                        Modifiers(s.modifiers, false);
                    },
                    100);
                break;
            case Step::kPress:
                now(
                    [=, this] {
                        MoveTo(w, v, h);
                        Button(true);
                    },
                    100);
                break;
            case Step::kDrag:
                now([=, this] { MoveTo(w, v, h); }, 100);
                break;
            case Step::kRelease:
                now(
                    [=, this] {
                        MoveTo(w, v, h);
                        Button(false);
                    },
                    100);
                break;
            case Step::kKey:
                now(
                    [=, this] {
                        Modifiers(s.modifiers, true);
                        Tap(s.key);
                        Modifiers(s.modifiers, false);
                    },
                    100);
                break;
            case Step::kKeyDown:
            case Step::kKeyUp:
                now([=, this] { KeyX(s.key, s.kind == Step::kKeyDown); }, 100);
                break;
            case Step::kType: {
                // Into the field, then its old text away and the new one typed.
                now([=, this] { ClickAt(w, v, h); }, 100);
                const int16_t item = s.item;
                const std::string text = s.text;
                now(
                    [=, this] {
                        char old[1024] = "";
                        Ui_Item_GetText(w, item, old, sizeof old);
                        Tap(35);  // End
                        for (size_t i = 0; old[i] != 0; ++i) Tap(8);
                        for (char c : text) Char(c);
                    },
                    150);
                break;
            }
            case Step::kChoose: {
                // The list opens under the mouse; the arrow keys walk to the entry, Return picks.
                now([=, this] { ClickAt(w, v, h); }, 300);
                const int16_t item = s.item;
                const int32_t entry = s.value;
                now(
                    [=, this] {
                        int32_t current = 0;
                        Ui_List_GetSelection(w, item, &current);
                        if (current < 1) current = 1;
                        for (int32_t i = current; i < entry; ++i) Tap(40);
                        for (int32_t i = entry; i < current; ++i) Tap(38);
                        Tap(kUiKeyReturn);
                    },
                    200);
                break;
            }
            case Step::kResize:
                now(
                    [=, this] {
                        unsigned long xid = 0;
                        int32_t left = 0, top = 0;
                        if (Ui_Fltk_XWindow(w, &xid, &left, &top) == 0) {
                            XResizeWindow(fl_display, xid, unsigned(s.dh), unsigned(s.dv));
                        }
                    },
                    300);
                break;
            case Step::kWait:
                now([] {}, s.value);
                break;
            case Step::kText: {
                const std::string text = s.text;
                now(
                    [=, this] {
                        for (char c : text) Char(c);
                    },
                    150);
                break;
            }
            case Step::kShot: {
                const std::string name = s.text;
                now(
                    [=] {
                        if (w != nullptr) {
                            Shoot(w, name);
                        } else {
                            Capture c;
                            if (GrabScreen(&c) == 0) WritePng(OutputFolder() + name, c);
                        }
                    },
                    0);
                break;
            }
            case Step::kCall: {
                auto call = s.call;
                now(
                    [=] {
                        if (call) call(w);
                    },
                    0);
                break;
            }
        }
    }

    UiState* state_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    std::deque<Action> actions_;
    void* lastFront_ = nullptr;
    bool finishing_ = false;
    bool button_ = false;
    uint8_t held_ = 0;
    int pointerX_ = -1, pointerY_ = -1;
};

}  // namespace

Result Play(Binding binding, UiState* state, std::vector<Step> steps,
            std::function<int32_t(int16_t*)> open, double guardSeconds) {
    Result r;
    int16_t item = 0;
    if (binding == Binding::kHeadless) {
        HeadlessPlayer player(state, std::move(steps));
        player.Start();
        r.status = open(&item);
        r.refused = Ui_Headless_Refused();
        r.ranOut = player.ranOut;
        Ui_Headless_SetScript(nullptr, 0);
    } else {
        FltkPlayer player(state, std::move(steps), guardSeconds);
        r.status = open(&item);
        r.guardFired = player.guardFired;
        r.ranOut = player.ranOut;
    }
    r.item = item;
    return r;
}

Result Run(Binding binding, UiState* state, int32_t dialogId, UiInitProc init, void* userData,
           std::vector<Step> steps, double guardSeconds) {
    return Play(
        binding, state, std::move(steps),
        [&](int16_t* item) { return Ui_Dlg_Run(state, dialogId, nullptr, init, userData, item); },
        guardSeconds);
}

}  // namespace ui_harness
