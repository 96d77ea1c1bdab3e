// Real windows through the FLTK binding, run under a virtual X server (xvfb-run).
//
// The alert box, the about box and the editing window are opened, read back from the screen,
// written as PNG files into the build folder and checked for content; their buttons are clicked
// with X events. A script of clicks, keys and a tracked drag is played on the test dialog through
// X events and through the headless binding, and both must call the same procs in the same order.
// Every dialog has a guard: after a few seconds it is ended with item 2 and the test fails, so no
// run can hold the display.
// GoogleTest comes before the X headers, whose macros (None, Bool, Status) it would trip over.
#include "tests/platform/ui/ui_test_support.h"

#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/alert.h"
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
    Step(Kind k, int16_t i = 0, int v = 0, int h = 0, std::function<void(UiWindow*)> fn = {})
        : kind(k), item(i), dv(v), dh(h), call(std::move(fn)) {}
    Kind kind;
    int16_t item;
    int dv, dh;  // kKey: dv is the key; kWait: dv ticks of 100 ms
    std::function<void(UiWindow*)> call;
};
Step ClickAt(int16_t item) {
    return Step(Step::kClick, item);
}
Step KeyStep(uint32_t key) {
    return Step(Step::kKey, 0, int(key));
}
Step Wait(int ticks) {
    return Step(Step::kWait, 0, ticks);
}
Step Do(std::function<void(UiWindow*)> fn) {
    return Step(Step::kCall, 0, 0, 0, std::move(fn));
}

// Plays steps on the innermost open dialog, one every 80 ms, from FLTK timeouts (which also run
// inside the framework's track loop). Its guard ends the innermost dialog with item 2 if it is
// still open after the given time.
class Player {
   public:
    Player(UiState* state, std::vector<Step> steps, double guard = 10)
        : state_(state), steps_(std::move(steps)) {
        Fl::add_timeout(0.3, Tick, this);
        Fl::add_timeout(guard, Fire, this);
    }
    ~Player() {
        Fl::remove_timeout(Tick, this);
        Fl::remove_timeout(Fire, this);
    }
    bool fired = false;

   private:
    static void Tick(void* data) { static_cast<Player*>(data)->Next(); }
    static void Fire(void* data) {
        auto* p = static_cast<Player*>(data);
        p->fired = true;
        auto* w = static_cast<UiWindow*>(p->state_->parentWindow);
        Ui_Dlg* d = nullptr;
        if (Ui_Dlg_Get(w, &d) == 0) {
            d->itemHit = 2;
            Ui_Dlg_End(w);
        }
    }

    void Send(UiWindow* w, int type, int v, int h, unsigned int state, unsigned int detail) {
        unsigned long xid = 0;
        int32_t left = 0, top = 0;
        if (Ui_Fltk_XWindow(w, &xid, &left, &top) != 0) return;
        // Key, button and motion events share their layout up to the key code or button.
        const bool key = type == KeyPress || type == KeyRelease;
        XEvent e{};
        XButtonEvent& b = e.xbutton;
        b.type = type;
        b.display = fl_display;
        b.window = xid;
        b.root = RootWindow(fl_display, fl_screen);
        b.time = CurrentTime;
        b.x = h;
        b.y = v;
        b.x_root = key ? 0 : left + h;
        b.y_root = key ? 0 : top + v;
        b.state = state;
        b.button = detail;
        b.same_screen = True;
        long mask = type == KeyPress        ? KeyPressMask
                    : type == KeyRelease    ? KeyReleaseMask
                    : type == ButtonPress   ? ButtonPressMask
                    : type == ButtonRelease ? ButtonReleaseMask
                                            : PointerMotionMask | ButtonMotionMask;
        XSendEvent(fl_display, xid, True, mask, &e);
        XFlush(fl_display);
    }

    void Next() {
        if (next_ >= steps_.size()) return;
        auto* w = static_cast<UiWindow*>(state_->parentWindow);
        const Step& s = steps_[next_++];
        int v = 0, h = 0;
        if (s.item != 0) {
            Ui_Rect r{};
            Ui_Item_GetRect(w, s.item, &r);
            v = (r.top + r.bottom) / 2 + s.dv;
            h = (r.left + r.right) / 2 + s.dh;
        }
        if (s.kind == Step::kClick || s.kind == Step::kPress) {
            Send(w, MotionNotify, v, h, 0, 0);
            Send(w, ButtonPress, v, h, 0, Button1);
        }
        if (s.kind == Step::kDrag) Send(w, MotionNotify, v, h, Button1Mask, 0);
        if (s.kind == Step::kClick || s.kind == Step::kRelease) {
            Send(w, ButtonRelease, v, h, Button1Mask, Button1);
        }
        if (s.kind == Step::kKey) {
            const uint32_t k = uint32_t(s.dv);
            KeySym sym = k >= 'A' && k <= 'Z' ? XK_a + (k - 'A')
                         : k == kUiKeyReturn  ? XK_Return
                         : k == kUiKeyEscape  ? XK_Escape
                                              : NoSymbol;
            unsigned int code = XKeysymToKeycode(fl_display, sym);
            Send(w, KeyPress, 0, 0, 0, code);
            Send(w, KeyRelease, 0, 0, 0, code);
        }
        if (s.kind == Step::kCall) s.call(w);
        Fl::add_timeout(s.kind == Step::kWait ? s.dv * 0.1 : 0.08, Tick, this);
    }

    UiState* state_;
    std::vector<Step> steps_;
    size_t next_ = 0;
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

// A dialog as read back from the screen.
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
    WritePng(std::string(KOLMARA_SMOKE_OUT) + "/" + name, c.rgb, width, height);
    return c;
}

bool Dark(uint8_t r, uint8_t g, uint8_t b) {
    return r < 80 && g < 80 && b < 80;
}
bool Saturated(uint8_t r, uint8_t g, uint8_t b) {
    return std::max({r, g, b}) - std::min({r, g, b}) > 100;
}
bool Outline(uint8_t r, uint8_t g, uint8_t b) {
    return r == 70 && g == 110 && b == 170;
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
        EXPECT_EQ(ul_nMallocs, blocks_);
        PlatformTest::TearDown();
    }
    // Runs open, which shows a dialog: once it is up, grabs it into the PNG file name and reads
    // the rectangles of items, then plays the closing steps. The guard must not have ended it.
    Capture Shoot(const char* name, std::vector<int16_t> items, std::vector<Ui_Rect>* rects,
                  std::vector<Step> closing, std::function<void()> open) {
        Capture shot;
        std::vector<Step> steps = {Wait(4), Do([&](UiWindow* w) {
                                       shot = Grab(w, name);
                                       for (int16_t item : items) {
                                           rects->emplace_back();
                                           Ui_Item_GetRect(w, item, &rects->back());
                                       }
                                   })};
        steps.insert(steps.end(), closing.begin(), closing.end());
        Player player(state_, steps);
        open();
        EXPECT_FALSE(player.fired);
        return shot;
    }
    UiState* state_ = nullptr;
    uint32_t blocks_ = 0;
};

TEST_F(FltkSmoke, AlertBoxIsDrawnAndItsButtonsAnswer) {
    std::vector<Ui_Rect> r;  // buttons 1 and 2, the message, the icon
    int16_t answer = 0;
    Capture shot = Shoot("alert_6000.png", {1, 2, 3, 5}, &r, {ClickAt(2)}, [&] {
        EXPECT_EQ(Ui_Alert_Ask(state_, "Keep the changes to the correction?", "Save changes now",
                               nullptr, 0, &answer),
                  0);
    });
    EXPECT_EQ(answer, 2);
    ASSERT_GT(shot.width, 300);
    ASSERT_EQ(r.size(), 4u);
    // Not blank: the caution icon's yellow, dark text in the message, a two-button row whose
    // first button was widened to the left for its long label.
    auto yellow = [](uint8_t red, uint8_t g, uint8_t b) { return red > 200 && g > 150 && b < 80; };
    EXPECT_GT(shot.Count(r[3], yellow), 200);
    EXPECT_GT(shot.Count(r[2], Dark), 50);
    EXPECT_GT(r[0].right - r[0].left, r[1].right - r[1].left);
    EXPECT_LT(r[1].right, r[0].left + 1);
}

TEST_F(FltkSmoke, AboutBoxShowsItsPictureAndClosesOnAClickOrByItself) {
    char version[256];
    Ui_ResToCString(state_, 1005, version);
    Ui_AboutRecord about{1000, version, 1000, 1019, 3, -1, nullptr};
    std::vector<Ui_Rect> r;  // the upper and the lower area
    int16_t item = 0;
    Capture shot = Shoot("about_6002.png", {3, 4}, &r, {ClickAt(3)},
                         [&] { EXPECT_EQ(Ui_About_Run(state_, &about, &item), 0); });
    EXPECT_EQ(item, 3);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_GT(shot.Count(r[0], Saturated), 5000);                   // the hue ring of bitmap 1000
    EXPECT_GT(shot.Count(r[1], Dark), 300);                         // the version and notice lines
    EXPECT_EQ(shot.At(r[1].bottom - 2, r[1].left + 2), 0xFFFFFFu);  // white background

    // As a splash with no delay it closes with item 1 in the second second.
    about.autoCloseSeconds = 0;
    Player guard(state_, {});
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Ui_About_Run(state_, &about, &item), 0);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(guard.fired);
    EXPECT_EQ(item, 1);
    EXPECT_GE(seconds, 0.99);
    EXPECT_LT(seconds, 3.0);
}

// The editing window with every item outlined and numbered, so that the picture shows where each
// one lies. Its init proc takes the work area and lets the preview take the room gained; what it
// saw before and after is kept here.
struct Grown {
    int32_t status = -99;
    Ui_Rect work{}, before{}, after{}, clientBefore{}, clientAfter{};
};
Grown gGrown;

int32_t OutlineItem(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    if (Ui_Item_GetRect(w, item, &r) != 0 || Ui_Draw_Begin(w) != 0) return -2;
    Ui_Color blue = Ui_ColorFromRGB(70, 110, 170);
    Ui_Draw_FrameRect(w, &r, &blue);
    Ui_Draw_SetPen(w, &blue, 1);
    Ui_Draw_SetFont(w, kUiFontSmall);
    Ui_Draw_TextAt(w, std::to_string(item).c_str(), int16_t(r.top + 1), int16_t(r.left + 2),
                   kUiAlignLeft);
    return Ui_Draw_End(w);
}
int32_t CloseOnCancel(UiWindow* w, int16_t item) {
    if (item == 1 || item == 2) Record(w)->done = 1;
    return 0;
}
int32_t GrowInit(UiWindow* w) {
    Grown& g = gGrown;
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
    for (int16_t i = 1; i <= Record(w)->itemCount; ++i) Ui_Dlg_SetDrawProc(w, i, OutlineItem);
    return Ui_Dlg_SetItemHitProc(w, CloseOnCancel);
}

TEST_F(FltkSmoke, EditingWindowTakesTheWorkAreaAndItsPreviewTheRoom) {
    gGrown = Grown{};
    const Grown& grown = gGrown;
    std::vector<Ui_Rect> r;  // the preview and the tool panel
    int16_t item = 0;
    Capture shot = Shoot("editing_1000_largest.png", {4, 90}, &r, {KeyStep(kUiKeyEscape)}, [&] {
        EXPECT_EQ(Ui_Dlg_Run(state_, 1000, nullptr, GrowInit, nullptr, &item), 0);
    });
    EXPECT_EQ(item, 2);
    ASSERT_EQ(r.size(), 2u);
    const Ui_Rect &preview = r[0], &panel = r[1];
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
    EXPECT_EQ(RectText(preview), RectText(grown.after));
    EXPECT_EQ(shot.width, grown.clientAfter.right);
    EXPECT_LT(preview.right, panel.left);
    EXPECT_LE(panel.right, shot.width);
    // The outlines of the preview (along its new bottom edge) and of the tool panel are drawn.
    const Ui_Rect bottom{int16_t(preview.bottom - 1), preview.left, preview.bottom, preview.right};
    EXPECT_GT(shot.Count(bottom, Outline), (preview.right - preview.left) / 2);
    const Ui_Rect side{panel.top, panel.left, panel.bottom, int16_t(panel.left + 1)};
    EXPECT_GT(shot.Count(side, Outline), (panel.bottom - panel.top) / 2);
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
int32_t InitProc(UiWindow* w) {
    gTrace.push_back("init");
    Ui_Dlg_SetTrackProc(w, TrackProc);
    Ui_Dlg_SetItemHitProc(w, HitProc);
    Ui_Dlg_SetKeyProc(w, [](UiWindow*, uint8_t key, uint8_t) -> int32_t {
        gTrace.push_back("key " + std::to_string(key));
        return 0;
    });
    return Ui_Dlg_SetFirstPaintProc(w, [](UiWindow*) -> int32_t {
        gTrace.push_back("firstpaint");
        return 0;
    });
}

TEST_F(FltkSmoke, BothBindingsCallTheSameProcsForTheSameScript) {
    auto checks = [](UiWindow* w) {
        int32_t manual = -1, automatic = -1;
        Ui_Item_GetCheck(w, 3, &manual);
        Ui_Item_GetCheck(w, 8, &automatic);
        gTrace.push_back("checks " + std::to_string(manual) + std::to_string(automatic));
    };
    std::vector<Step> steps = {Wait(3),
                               ClickAt(3),
                               ClickAt(8),
                               KeyStep('A'),
                               Step(Step::kPress, 4),
                               Step(Step::kDrag, 4, 5, 5),
                               Step(Step::kDrag, 4, 10, 10),
                               Step(Step::kRelease, 4, 10, 10),
                               Do(checks),
                               KeyStep(kUiKeyReturn)};

    // The headless run: the same steps as script events at the headless layout's positions.
    Ui_Framework_Install(nullptr);
    Ui_DlgTemplate* layout = nullptr;
    ASSERT_EQ(Ui_Template_Load(state_, kTestDialog, &layout), 0);
    Ui_BaseUnits base{6, 13};
    Ui_Template_Layout(layout, &base);
    std::vector<UiScriptEvent> script;
    for (const Step& s : steps) {
        int16_t v = 0, h = 0;
        if (s.item != 0) {
            const Ui_Rect& r = layout->items[s.item - 1].pixels;
            v = int16_t((r.top + r.bottom) / 2 + s.dv);
            h = int16_t((r.left + r.right) / 2 + s.dh);
        }
        script.push_back(s.kind == Step::kClick     ? Click(s.item)
                         : s.kind == Step::kKey     ? Key(s.dv)
                         : s.kind == Step::kPress   ? Press(s.item, v, h)
                         : s.kind == Step::kDrag    ? Drag(v, h)
                         : s.kind == Step::kRelease ? Release(v, h)
                         : s.kind == Step::kWait    ? Idle(s.dv)
                                                    : Call(s.call));
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
        Player player(state_, steps, 15);
        ASSERT_EQ(Ui_Dlg_Run(state_, kTestDialog, nullptr, InitProc, nullptr, &item), 0);
        EXPECT_FALSE(player.fired);
        EXPECT_EQ(item, 1);
    }
    EXPECT_EQ(Joined(headless),
              "init, firstpaint, hit 3, hit 8, key 65, track 4 0, track 4 1, track 4 1, "
              "track 4 2, hit 4, checks 01, hit 1");
    EXPECT_EQ(Joined(gTrace), Joined(headless));
}

}  // namespace
