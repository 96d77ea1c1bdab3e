// Real windows through the FLTK binding, run under a virtual X server (xvfb-run).
//
// The alert box and the about box are opened, read back from the screen, written as PNG files
// into the build folder and checked for content; their buttons are clicked with X events. A
// script of clicks, keys and a tracked drag is played on the test dialog through X events and
// through the headless binding, and both must call the same procs in the same order.
//
// Every dialog has a guard: after a few seconds it is ended with item 2 and the test fails, so
// no run can hold the display.
// GoogleTest comes before the X headers, whose macros (None, Bool, Status) it would trip over.
#include "tests/platform/ui/ui_test_support.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/alert.h"
#include "platform/debug_log.h"
#include "platform/mem.h"
#include "platform/ui/about_box.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#ifndef KOLMARA_SMOKE_OUT
#define KOLMARA_SMOKE_OUT "."
#endif

namespace {

using namespace ui_testing;

// One step of a script for real windows. Positions are offsets from the item's centre, so that
// the same script fits both bindings whatever their font makes of the dialog units.
struct Step {
    enum Kind { kClick, kKey, kPress, kDrag, kRelease, kWait, kCall };
    Step(Kind k, int16_t i = 0, int v = 0, int h = 0) : kind(k), item(i), dv(v), dh(h) {}
    Kind kind;
    int16_t item;
    int dv, dh;
    uint32_t key = 0;
    std::function<void(UiWindow*)> call;
};

Step ClickAt(int16_t item) {
    return Step(Step::kClick, item);
}
Step KeyStep(uint32_t key) {
    Step s(Step::kKey);
    s.key = key;
    return s;
}
Step PressAt(int16_t item, int dv = 0, int dh = 0) {
    return Step(Step::kPress, item, dv, dh);
}
Step DragTo(int16_t item, int dv, int dh) {
    return Step(Step::kDrag, item, dv, dh);
}
Step ReleaseAt(int16_t item, int dv, int dh) {
    return Step(Step::kRelease, item, dv, dh);
}
Step Wait(int ticks) {
    return Step(Step::kWait, 0, ticks);
}
Step Do(std::function<void(UiWindow*)> fn) {
    Step s(Step::kCall);
    s.call = std::move(fn);
    return s;
}

KeySym SymbolOf(uint32_t key) {
    if (key >= 'A' && key <= 'Z') return XK_a + (key - 'A');
    switch (key) {
        case kUiKeyReturn:
            return XK_Return;
        case kUiKeyEscape:
            return XK_Escape;
        default:
            return NoSymbol;
    }
}

// Plays steps on the innermost open dialog, one every 80 ms, from FLTK timeouts (which also run
// inside the framework's track loop).
class Player {
   public:
    Player(UiState* state, std::vector<Step> steps) : state_(state), steps_(std::move(steps)) {
        Fl::add_timeout(0.3, Tick, this);
    }
    ~Player() { Fl::remove_timeout(Tick, this); }

   private:
    static void Tick(void* data) { static_cast<Player*>(data)->Next(); }

    void Centre(UiWindow* w, int16_t item, int dv, int dh, int* v, int* h) {
        Ui_Rect r{};
        Ui_Item_GetRect(w, item, &r);
        *v = (r.top + r.bottom) / 2 + dv;
        *h = (r.left + r.right) / 2 + dh;
    }

    void Send(UiWindow* w, int type, int v, int h, unsigned int state, unsigned int detail) {
        unsigned long xid = 0;
        int32_t left = 0, top = 0;
        if (Ui_Fltk_XWindow(w, &xid, &left, &top) != 0) return;
        XEvent e{};
        if (type == KeyPress || type == KeyRelease) {
            e.xkey.type = type;
            e.xkey.display = fl_display;
            e.xkey.window = xid;
            e.xkey.root = RootWindow(fl_display, fl_screen);
            e.xkey.time = CurrentTime;
            e.xkey.state = state;
            e.xkey.keycode = detail;
            e.xkey.same_screen = True;
            XSendEvent(fl_display, xid, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, &e);
        } else {
            // Button and motion events share their leading fields.
            e.xbutton.type = type;
            e.xbutton.display = fl_display;
            e.xbutton.window = xid;
            e.xbutton.root = RootWindow(fl_display, fl_screen);
            e.xbutton.time = CurrentTime;
            e.xbutton.x = h;
            e.xbutton.y = v;
            e.xbutton.x_root = left + h;
            e.xbutton.y_root = top + v;
            e.xbutton.state = state;
            e.xbutton.button = detail;
            e.xbutton.same_screen = True;
            long mask = type == ButtonPress     ? ButtonPressMask
                        : type == ButtonRelease ? ButtonReleaseMask
                                                : PointerMotionMask | ButtonMotionMask;
            XSendEvent(fl_display, xid, True, mask, &e);
        }
        XFlush(fl_display);
    }

    void Next() {
        if (next_ >= steps_.size()) return;
        auto* w = static_cast<UiWindow*>(state_->parentWindow);
        const Step& s = steps_[next_++];
        double delay = 0.08;
        int v = 0, h = 0;
        switch (s.kind) {
            case Step::kClick:
                Centre(w, s.item, 0, 0, &v, &h);
                Send(w, MotionNotify, v, h, 0, 0);
                Send(w, ButtonPress, v, h, 0, Button1);
                Send(w, ButtonRelease, v, h, Button1Mask, Button1);
                break;
            case Step::kKey: {
                unsigned int code = XKeysymToKeycode(fl_display, SymbolOf(s.key));
                Send(w, KeyPress, 0, 0, 0, code);
                Send(w, KeyRelease, 0, 0, 0, code);
                break;
            }
            case Step::kPress:
                Centre(w, s.item, s.dv, s.dh, &v, &h);
                Send(w, MotionNotify, v, h, 0, 0);
                Send(w, ButtonPress, v, h, 0, Button1);
                break;
            case Step::kDrag:
                Centre(w, s.item, s.dv, s.dh, &v, &h);
                Send(w, MotionNotify, v, h, Button1Mask, 0);
                break;
            case Step::kRelease:
                Centre(w, s.item, s.dv, s.dh, &v, &h);
                Send(w, ButtonRelease, v, h, Button1Mask, Button1);
                break;
            case Step::kWait:
                delay = s.dv * 0.1;
                break;
            case Step::kCall:
                s.call(w);
                break;
        }
        Fl::add_timeout(delay, Tick, this);
    }

    UiState* state_;
    std::vector<Step> steps_;
    size_t next_ = 0;
};

// Ends the innermost dialog with item 2 if it is still open after the given time.
class Guard {
   public:
    Guard(UiState* state, double seconds) : state_(state) { Fl::add_timeout(seconds, Fire, this); }
    ~Guard() { Fl::remove_timeout(Fire, this); }
    bool fired = false;

   private:
    static void Fire(void* data) {
        auto* g = static_cast<Guard*>(data);
        g->fired = true;
        auto* w = static_cast<UiWindow*>(g->state_->parentWindow);
        Ui_Dlg* d = nullptr;
        if (Ui_Dlg_Get(w, &d) == 0) {
            d->itemHit = 2;
            Ui_Dlg_End(w);
        }
    }
    UiState* state_;
};

void WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        FAIL() << "libpng failed on " << path;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, const_cast<uint8_t*>(rgb.data() + size_t(y) * size_t(width) * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

struct Capture {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    uint32_t At(int v, int h) const {
        const uint8_t* p = rgb.data() + (size_t(v) * size_t(width) + size_t(h)) * 3;
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    // Pixels inside r that satisfy test.
    template <typename Test>
    int Count(const Ui_Rect& r, Test test) const {
        int n = 0;
        for (int v = std::max<int>(r.top, 0); v < std::min<int>(r.bottom, height); ++v) {
            for (int h = std::max<int>(r.left, 0); h < std::min<int>(r.right, width); ++h) {
                const uint8_t* p = rgb.data() + (size_t(v) * size_t(width) + size_t(h)) * 3;
                n += test(p[0], p[1], p[2]);
            }
        }
        return n;
    }
};

Capture Grab(UiWindow* w, const std::string& name) {
    Capture c;
    int32_t width = 0, height = 0;
    Ui_Fltk_ReadPixels(w, nullptr, 0, &width, &height);
    c.rgb.resize(size_t(width) * size_t(height) * 3);
    EXPECT_EQ(Ui_Fltk_ReadPixels(w, c.rgb.data(), int32_t(c.rgb.size()), &width, &height), 0);
    c.width = width;
    c.height = height;
    mkdir(KOLMARA_SMOKE_OUT, 0755);
    std::string path = std::string(KOLMARA_SMOKE_OUT) + "/" + name;
    WritePng(path, c.rgb, width, height);
    std::printf("wrote %s (%d x %d)\n", path.c_str(), width, height);
    return c;
}

bool Dark(uint8_t r, uint8_t g, uint8_t b) {
    return r < 80 && g < 80 && b < 80;
}
bool Saturated(uint8_t r, uint8_t g, uint8_t b) {
    return std::max({r, g, b}) - std::min({r, g, b}) > 100;
}

class FltkSmoke : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        blocks_ = ul_nMallocs;
        ASSERT_EQ(Ui_Fltk_Install(), 0) << "no X display: run under xvfb-run";
        ASSERT_EQ(Ui_State_Open(&state_, TestArchive(), nullptr, 1000, 1), 0);
    }
    void TearDown() override {
        Ui_State_Close(&state_);
        Ui_Framework_Uninstall();
        Ui_SetMessageBoxHook(nullptr);
        EXPECT_EQ(ul_nMallocs, blocks_);
        PlatformTest::TearDown();
    }
    UiState* state_ = nullptr;
    uint32_t blocks_ = 0;
};

TEST_F(FltkSmoke, AlertBoxIsDrawnAndItsButtonsAnswer) {
    Capture shot;
    Ui_Rect first{}, second{}, text{}, icon{};
    Player player(state_, {Wait(4), Do([&](UiWindow* w) {
                               shot = Grab(w, "alert_6000.png");
                               Ui_Item_GetRect(w, 1, &first);
                               Ui_Item_GetRect(w, 2, &second);
                               Ui_Item_GetRect(w, 3, &text);
                               Ui_Item_GetRect(w, 5, &icon);
                           }),
                           ClickAt(2)});
    Guard guard(state_, 10);
    int16_t answer = 0;
    ASSERT_EQ(Ui_Alert_Ask(state_, "Keep the changes to the correction?", "Save changes now",
                           nullptr, 0, &answer),
              0);
    EXPECT_FALSE(guard.fired);
    EXPECT_EQ(answer, 2);
    ASSERT_GT(shot.width, 300);
    // Not blank: the caution icon's yellow, dark text in the message, a two-button row whose
    // first button was widened to the left for its long label.
    EXPECT_GT(shot.Count(icon, [](uint8_t r, uint8_t g,
                                  uint8_t b) { return r > 200 && g > 150 && b < 80; }),
              200);
    EXPECT_GT(shot.Count(text, Dark), 50);
    EXPECT_GT(first.right - first.left, second.right - second.left);
    EXPECT_LT(second.right, first.left + 1);

    // One button: Return answers with the default button.
    Player again(state_, {Wait(3), KeyStep(kUiKeyReturn)});
    Guard guard2(state_, 10);
    EXPECT_EQ(Ui_Alert_Note(state_, "Done.", nullptr, 0), 0);
    EXPECT_FALSE(guard2.fired);
}

TEST_F(FltkSmoke, AboutBoxShowsItsPictureAndClosesOnAClickOrByItself) {
    char version[256];
    Ui_ResToCString(state_, 1005, version);
    Ui_AboutRecord about{1000, version, 1000, 1019, 3, -1, nullptr};
    Capture shot;
    Ui_Rect upper{}, lower{};
    Player player(state_, {Wait(4), Do([&](UiWindow* w) {
                               shot = Grab(w, "about_6002.png");
                               Ui_Item_GetRect(w, 3, &upper);
                               Ui_Item_GetRect(w, 4, &lower);
                           }),
                           ClickAt(3)});
    Guard guard(state_, 10);
    int16_t item = 0;
    ASSERT_EQ(Ui_About_Run(state_, &about, &item), 0);
    EXPECT_FALSE(guard.fired);
    EXPECT_EQ(item, 3);
    EXPECT_GT(shot.Count(upper, Saturated), 5000);  // the hue ring of bitmap 1000
    EXPECT_GT(shot.Count(lower, Dark), 300);        // the version and notice lines
    EXPECT_EQ(shot.At(lower.bottom - 2, lower.left + 2), 0xFFFFFFu);  // white background

    // As a splash with no delay it closes with item 1 in the second second.
    about.autoCloseSeconds = 0;
    Guard guard2(state_, 10);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Ui_About_Run(state_, &about, &item), 0);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(guard2.fired);
    EXPECT_EQ(item, 1);
    EXPECT_GE(seconds, 0.99);
    EXPECT_LT(seconds, 3.0);
}

// The editing window's layout, with every user item outlined and numbered so that the picture
// shows where each one lies.
int32_t OutlineItem(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    if (Ui_Item_GetRect(w, item, &r) != 0 || Ui_Draw_Begin(w) != 0) return -2;
    Ui_Color frame = Ui_ColorFromRGB(70, 110, 170), text = Ui_ColorFromRGB(70, 110, 170);
    Ui_Draw_FrameRect(w, &r, &frame);
    Ui_Draw_SetPen(w, &text, 1);
    Ui_Draw_SetFont(w, kUiFontSmall);
    Ui_Draw_TextAt(w, std::to_string(item).c_str(), int16_t(r.top + 1), int16_t(r.left + 2),
                   kUiAlignLeft);
    return Ui_Draw_End(w);
}
int32_t CloseOnCancel(UiWindow* w, int16_t item) {
    if (item == 1 || item == 2) Record(w)->done = 1;
    return 0;
}
int32_t OutlineInit(UiWindow* w) {
    Ui_Dlg* d = Record(w);
    for (int16_t i = 1; i <= d->itemCount; ++i) Ui_Dlg_SetDrawProc(w, i, OutlineItem);
    return Ui_Dlg_SetItemHitProc(w, CloseOnCancel);
}

TEST_F(FltkSmoke, EditingWindowLaysOutAllItsItems) {
    Capture shot;
    Ui_Rect preview{}, panel{};
    Player player(state_, {Wait(4), Do([&](UiWindow* w) {
                               shot = Grab(w, "editing_1000.png");
                               Ui_Item_GetRect(w, 4, &preview);
                               Ui_Item_GetRect(w, 90, &panel);
                           }),
                           KeyStep(kUiKeyEscape)});
    Guard guard(state_, 10);
    int16_t item = 0;
    ASSERT_EQ(Ui_Dlg_Run(state_, 1000, nullptr, OutlineInit, nullptr, &item), 0);
    EXPECT_FALSE(guard.fired);
    EXPECT_EQ(item, 2);
    EXPECT_LT(preview.right, panel.left);
    EXPECT_LE(panel.right, shot.width);
    // The outlines of the preview and of the tool panel are on the screen.
    auto blue = [](uint8_t r, uint8_t g, uint8_t b) { return r == 70 && g == 110 && b == 170; };
    EXPECT_GT(
        shot.Count(Ui_Rect{preview.top, preview.left, int16_t(preview.top + 1), preview.right},
                   blue),
        (preview.right - preview.left) / 2);
    EXPECT_GT(
        shot.Count(Ui_Rect{panel.top, panel.left, panel.bottom, int16_t(panel.left + 1)}, blue),
        (panel.bottom - panel.top) / 2);
}

// What the init proc below saw of the editing window before and after it took the work area.
struct Grown {
    int32_t status = -99;
    Ui_Rect work{}, before{}, after{}, clientBefore{}, clientAfter{};
};
Grown* gGrown = nullptr;

int32_t GrowInit(UiWindow* w) {
    Grown& g = *gGrown;
    Ui_Rect outer{};
    Ui_Item_GetRect(w, 4, &g.before);
    Ui_Dlg_GetClientRect(w, &g.clientBefore);
    Ui_Dlg_Bounds_Get(w, &outer);
    g.status = Ui_Screen_WorkArea(&g.work);
    if (g.status == 0) {
        const int32_t width = std::max(Ui_Rect_Width(&g.work), Ui_Rect_Width(&outer));
        const int32_t height = std::max(Ui_Rect_Height(&g.work), Ui_Rect_Height(&outer));
        const Ui_Rect target =
            Ui_Rect_Make(g.work.top, g.work.left, g.work.top + height, g.work.left + width);
        g.status = Ui_Dlg_Relayout(w, &target, 4);
    }
    Ui_Item_GetRect(w, 4, &g.after);
    Ui_Dlg_GetClientRect(w, &g.clientAfter);
    return OutlineInit(w);
}

TEST_F(FltkSmoke, EditingWindowTakesTheWorkAreaAndItsPreviewTheRoom) {
    Grown grown;
    gGrown = &grown;
    Capture shot;
    Ui_Rect preview{}, panel{};
    Player player(state_, {Wait(4), Do([&](UiWindow* w) {
                               shot = Grab(w, "editing_1000_largest.png");
                               Ui_Item_GetRect(w, 4, &preview);
                               Ui_Item_GetRect(w, 90, &panel);
                           }),
                           KeyStep(kUiKeyEscape)});
    Guard guard(state_, 10);
    int16_t item = 0;
    ASSERT_EQ(Ui_Dlg_Run(state_, 1000, nullptr, GrowInit, nullptr, &item), 0);
    gGrown = nullptr;
    EXPECT_FALSE(guard.fired);
    ASSERT_EQ(grown.status, 0);
    // The virtual screen (1280 x 1024) has no window manager, hence no panels to leave out.
    EXPECT_TRUE(grown.work.top >= 0 && grown.work.left >= 0 && grown.work.bottom <= 1024 &&
                grown.work.right <= 1280 && !Ui_Rect_IsEmpty(&grown.work));
    EXPECT_GT(grown.clientAfter.right, grown.clientBefore.right);
    // The preview took all the room the window gained, and kept it once the window was shown.
    EXPECT_EQ(grown.after.right - grown.before.right,
              grown.clientAfter.right - grown.clientBefore.right);
    EXPECT_EQ(grown.after.bottom - grown.before.bottom,
              grown.clientAfter.bottom - grown.clientBefore.bottom);
    EXPECT_TRUE(preview.top == grown.after.top && preview.left == grown.after.left &&
                preview.bottom == grown.after.bottom && preview.right == grown.after.right);
    EXPECT_EQ(shot.width, grown.clientAfter.right);
    EXPECT_LT(preview.right, panel.left);
    EXPECT_LE(panel.right, shot.width);
    // The preview's outline is drawn along its new bottom edge.
    auto blue = [](uint8_t r, uint8_t g, uint8_t b) { return r == 70 && g == 110 && b == 170; };
    const Ui_Rect bottom{int16_t(preview.bottom - 1), preview.left, preview.bottom, preview.right};
    EXPECT_GT(shot.Count(bottom, blue), (preview.right - preview.left) / 2);
}

// Procs that record what the two bindings must agree on: which proc, which item, which phase.
int32_t TrackProc(UiWindow*, int16_t item, int16_t phase) {
    gTrace.push_back("track " + std::to_string(item) + " " + std::to_string(phase));
    return phase == kUiTrackBegin ? 1 : 0;  // tracked, then not handled: an item hit follows
}
int32_t HitProc(UiWindow* w, int16_t item) {
    gTrace.push_back("hit " + std::to_string(item));
    if (item == 1) Record(w)->done = 1;
    return 0;
}
int32_t KeyProc(UiWindow*, uint8_t key, uint8_t) {
    gTrace.push_back("key " + std::to_string(key));
    return 0;
}
int32_t FirstPaintProc(UiWindow*) {
    gTrace.push_back("firstpaint");
    return 0;
}
int32_t InitProc(UiWindow* w) {
    gTrace.push_back("init");
    Ui_Dlg_SetTrackProc(w, TrackProc);
    Ui_Dlg_SetItemHitProc(w, HitProc);
    Ui_Dlg_SetKeyProc(w, KeyProc);
    Ui_Dlg_SetFirstPaintProc(w, FirstPaintProc);
    return 0;
}

TEST_F(FltkSmoke, BothBindingsCallTheSameProcsForTheSameScript) {
    auto checks = [](UiWindow* w) {
        int32_t manual = -1, automatic = -1;
        Ui_Item_GetCheck(w, 3, &manual);
        Ui_Item_GetCheck(w, 8, &automatic);
        gTrace.push_back("checks " + std::to_string(manual) + std::to_string(automatic));
    };
    std::vector<Step> steps = {
        Wait(3),    ClickAt(3),           ClickAt(8),        KeyStep('A'),
        PressAt(4), DragTo(4, 5, 5),      DragTo(4, 10, 10), ReleaseAt(4, 10, 10),
        Do(checks), KeyStep(kUiKeyReturn)};

    // The headless run: the same steps as script events at the headless layout's positions.
    Ui_Framework_Install(nullptr);
    Ui_DlgTemplate* layout = nullptr;
    ASSERT_EQ(Ui_Template_Load(state_, kTestDialog, &layout), 0);
    Ui_BaseUnits base{6, 13};
    Ui_Template_Layout(layout, &base);
    auto at = [&](const Step& s, int* v, int* h) {
        const Ui_Rect& r = layout->items[s.item - 1].pixels;
        *v = (r.top + r.bottom) / 2 + s.dv;
        *h = (r.left + r.right) / 2 + s.dh;
    };
    std::vector<UiScriptEvent> script;
    for (const Step& s : steps) {
        int v = 0, h = 0;
        switch (s.kind) {
            case Step::kClick:
                script.push_back(Click(s.item));
                break;
            case Step::kKey:
                script.push_back(Key(int32_t(s.key)));
                break;
            case Step::kPress:
                at(s, &v, &h);
                script.push_back(Press(s.item, int16_t(v), int16_t(h)));
                break;
            case Step::kDrag:
                at(s, &v, &h);
                script.push_back(Drag(int16_t(v), int16_t(h)));
                break;
            case Step::kRelease:
                at(s, &v, &h);
                script.push_back(Release(int16_t(v), int16_t(h)));
                break;
            case Step::kWait:
                script.push_back(Idle(s.dv));
                break;
            case Step::kCall:
                script.push_back(Call(s.call));
                break;
        }
    }
    Ui_Template_Free(&layout);
    gTrace.clear();
    Ui_Headless_SetScript(script.data(), int32_t(script.size()));
    int16_t item = 0;
    ASSERT_EQ(Ui_Dlg_Run(state_, kTestDialog, nullptr, InitProc, nullptr, &item), 0);
    EXPECT_EQ(item, 1);
    std::vector<std::string> headless = gTrace;
    Ui_Headless_Reset();

    // The FLTK run: X events at the FLTK layout's positions.
    ASSERT_EQ(Ui_Fltk_Install(), 0);
    gTrace.clear();
    {
        Player player(state_, steps);
        Guard guard(state_, 15);
        ASSERT_EQ(Ui_Dlg_Run(state_, kTestDialog, nullptr, InitProc, nullptr, &item), 0);
        EXPECT_FALSE(guard.fired);
        EXPECT_EQ(item, 1);
    }
    EXPECT_EQ(Joined(headless),
              "init, firstpaint, hit 3, hit 8, key 65, track 4 0, track 4 1, track 4 1, "
              "track 4 2, hit 4, checks 01, hit 1");
    EXPECT_EQ(Joined(gTrace), Joined(headless));
}

}  // namespace
