// Real windows through the FLTK binding, on the harness's virtual X server.
//
// The alert box, the about box, the editing window and FLTK's file chooser are opened, read back
// from the screen, written as PNG files into ui_shots/ of the build folder and checked for
// content; their buttons are clicked and keys typed as real X input.
// GoogleTest comes before the X headers, whose macros (None, Bool, Status) it would trip over.
#include "tests/platform/ui/ui_test_support.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>

#include "platform/alert.h"
#include "platform/mem.h"
#include "platform/paths.h"
#include "platform/ui/about_box.h"
#include "platform/ui/choosers.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "edit/window/tool_paint.h"
#include "resources/ids/strings.h"
#include "tests/ui_harness/ui_harness.h"

namespace {

using ui_testing::OutlineItem;
using ui_testing::Record;
using ui_testing::RectText;
using ui_testing::TestArchive;
using namespace ui_harness;

bool Dark(uint8_t r, uint8_t g, uint8_t b) {
    return r < 80 && g < 80 && b < 80;
}
bool Saturated(uint8_t r, uint8_t g, uint8_t b) {
    return std::max({r, g, b}) - std::min({r, g, b}) > 100;
}
bool Outline(uint8_t r, uint8_t g, uint8_t b) {
    return r == ui_testing::kOutline.r && g == ui_testing::kOutline.g &&
           b == ui_testing::kOutline.b;
}

class FltkSmoke : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        blocks_ = ul_nMallocs;
        ASSERT_EQ(Install(Binding::kFltk), 0) << "no X display for the real windows";
        ASSERT_EQ(Ui_State_Open(&state_, TestArchive(), nullptr, 1000, 1), 0);
    }
    void TearDown() override {
        Ui_State_Close(&state_);
        Ui_Framework_Uninstall();
        EXPECT_EQ(ul_nMallocs, blocks_);
        PlatformTest::TearDown();
    }
    // Plays the steps while open shows a dialog; once it is up, it is shot into the PNG file
    // name and the rectangles of items are read; then the closing steps play.
    Capture Shoot(const char* name, std::vector<int16_t> items, std::vector<Ui_Rect>* rects,
                  std::vector<Step> closing, std::function<int32_t(int16_t*)> open, int16_t* item) {
        Capture shot;
        std::vector<Step> steps = {Do([&](UiWindow* w) {
            ui_harness::Shoot(w, name, &shot);
            for (int16_t i : items) {
                rects->emplace_back();
                Ui_Item_GetRect(w, i, &rects->back());
            }
        })};
        steps.insert(steps.end(), closing.begin(), closing.end());
        Result r = Play(Binding::kFltk, state_, steps, open);
        EXPECT_FALSE(r.guardFired);
        EXPECT_FALSE(r.ranOut);
        *item = r.item;
        return shot;
    }
    UiState* state_ = nullptr;
    uint32_t blocks_ = 0;
};

TEST_F(FltkSmoke, AlertBoxIsDrawnAndItsButtonsAnswer) {
    std::vector<Ui_Rect> r;  // buttons 1 and 2, the message, the icon
    int16_t answer = 0, item = 0;
    Capture shot = Shoot(
        "alert_6000.png", {1, 2, 3, 5}, &r, {Click(2)},
        [&](int16_t*) {
            return Ui_Alert_Ask(state_, "Keep the changes to the correction?", "Save changes now",
                                nullptr, 0, &answer);
        },
        &item);
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
    int16_t item = 0, closed = 0;
    Capture shot = Shoot(
        "about_6002.png", {3, 4}, &r, {Click(3)},
        [&](int16_t*) { return Ui_About_Run(state_, &about, &closed); }, &item);
    EXPECT_EQ(closed, 3);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_GT(shot.Count(r[0], Saturated), 5000);  // the hue ring of bitmap 1000
    EXPECT_GT(shot.Count(r[1], Dark), 300);        // the version and notice lines
    const Ui_RGB corner = shot.At(r[1].bottom - 2, r[1].left + 2);
    EXPECT_TRUE(corner.r == 255 && corner.g == 255 && corner.b == 255);  // white background

    // As a splash with no delay it closes with item 1 in the second second.
    about.autoCloseSeconds = 0;
    auto start = std::chrono::steady_clock::now();
    Result run = Play(Binding::kFltk, state_, {Wait(3000)},
                      [&](int16_t* out) { return Ui_About_Run(state_, &about, out); });
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(run.status, 0);
    EXPECT_FALSE(run.guardFired);
    EXPECT_EQ(run.item, 1);
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

int32_t CloseOnOkOrCancel(UiWindow* w, int16_t item) {
    if (item == 1 || item == 2) Ui_Dlg_Close(w, item);
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
    return Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel);
}

TEST_F(FltkSmoke, EditingWindowTakesTheWorkAreaAndItsPreviewTheRoom) {
    gGrown = Grown{};
    const Grown& grown = gGrown;
    std::vector<Ui_Rect> r;  // the preview and the tool panel
    int16_t item = 0;
    Capture shot = Shoot(
        "editing_1000_largest.png", {4, 90}, &r, {Key(kUiKeyEscape)},
        [&](int16_t* out) { return Ui_Dlg_Run(state_, 1000, nullptr, GrowInit, nullptr, out); },
        &item);
    EXPECT_EQ(item, 2);
    ASSERT_EQ(r.size(), 2u);
    const Ui_Rect &preview = r[0], &panel = r[1];
    ASSERT_EQ(grown.status, 0);
    // The virtual screen has no window manager, hence no panels to leave out.
    EXPECT_EQ(RectText(grown.work), RectText(Ui_Rect_Make(0, 0, kScreenHeight, kScreenWidth)));
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

TEST_F(FltkSmoke, FileChooserShowsItsPromptStartsInTheFolderAndAsksBeforeReplacing) {
    const std::string folder = root_ + "/settings/";
    std::filesystem::create_directories(folder);
    testing_support::WriteFile(folder + "MyPars.txt", "v5\n");
    char path[kPathSize] = "";
    // Shot, then a name typed after the folder in the file name field, and Return.
    Result r =
        Play(Binding::kFltk, state_,
             {Wait(300), Shot("chooser_open.png"), Key(35), Text("MyPars.txt"), Key(kUiKeyReturn)},
             [&](int16_t*) {
                 return Ui_Choose_Open(state_, "Load", "Select Custom Settings", folder.c_str(),
                                       kStrFilterText, path);
             });
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(r.guardFired);
    EXPECT_EQ(std::string(path), folder + "MyPars.txt");

    // Saving over that file: the framework's own alert asks; Cancel shows the chooser again on
    // the name refused, and a new name there is taken without a question.
    path[0] = 0;
    std::vector<Step> steps = {Wait(300),
                               Key(35),
                               Text("MyPars"),
                               Key(kUiKeyReturn),
                               For(6000, Shot("chooser_replace.png")),
                               For(6000, Key(kUiKeyEscape)),
                               Wait(500),
                               Key(35)};                   // End, then the old name away
    for (int i = 0; i < 10; ++i) steps.push_back(Key(8));  // "MyPars.txt"
    steps.push_back(Text("Other"));
    steps.push_back(Key(kUiKeyReturn));
    r = Play(Binding::kFltk, state_, steps, [&](int16_t*) {
        return Ui_Choose_Save(state_, "Save Custom Settings", "Save settings as:", folder.c_str(),
                              kUiFileText, path);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(r.guardFired);
    EXPECT_EQ(std::string(path), folder + "Other.txt");
}

// A hue ring painted smoothly into an offscreen image by the editing window's painter, with two
// handles, headings in the larger and the bold font, and a pie and an arc of the window system's
// own, in the resizable test dialog: what the editing window's hue tab is made of.
Ui_RGB HueAt(double degrees, const void*) {
    // A plain HSV wheel at full saturation and value.
    const double h = degrees / 60.0;
    const int sector = int(h) % 6;
    const double f = h - int(h);
    const uint8_t up = uint8_t(255 * f + 0.5), down = uint8_t(255 * (1 - f) + 0.5);
    const Ui_RGB table[6] = {{255, up, 0},   {down, 255, 0}, {0, 255, up},
                             {0, down, 255}, {up, 0, 255},   {255, 0, down}};
    return table[sector];
}

int32_t DrawRing(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    Ui_Item_GetRect(w, item, &r);
    PaintCanvas canvas;
    if (canvas.Open(r, LookBackground(w)) != 0) return -3;
    Ui_Offscreen* image = canvas.image();
    const double cx = image->width / 2.0, cy = image->height / 2.0 + 10;
    PaintRing(image, cx, cy, 60, 90, HueAt, nullptr);
    for (double angle : {40.0, 200.0}) {
        const double x = cx + 75 * std::cos(angle * 3.14159265 / 180);
        const double y = cy - 75 * std::sin(angle * 3.14159265 / 180);
        PaintLine(image, cx, cy, x, y, 1.5, Ui_RGB{60, 60, 60});
        PaintDisc(image, x, y, 7, Ui_RGB{255, 255, 255});
        PaintCircle(image, x, y, 7, 1.5, Ui_RGB{0, 0, 0});
    }
    int32_t status = Ui_Draw_Begin(w);
    if (status == 0) {
        canvas.Show(w);
        Ui_Draw_SetFont(w, kUiFontLargeBold);
        Ui_Draw_TextAt(w, "Hue Selective", int16_t(r.top + 4), int16_t(r.left + 6), kUiAlignLeft);
        Ui_Draw_SetFont(w, kUiFontBold);
        Ui_Draw_TextAt(w, "Before 40  After 200", int16_t(r.bottom - 18), int16_t(r.left + 6),
                       kUiAlignLeft);
        Ui_Draw_End(w);
    }
    return status;
}

int32_t DrawPies(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    Ui_Item_GetRect(w, item, &r);
    if (Ui_Draw_Begin(w) != 0) return -2;
    const Ui_Rect box =
        Ui_Rect_Make(r.top + 4, r.left + 4, r.bottom - 4, r.left + 4 + (r.bottom - r.top - 8));
    const Ui_Color red = Ui_ColorFromRGB(200, 40, 40), blue = Ui_ColorFromRGB(40, 60, 200);
    Ui_Draw_FillPie(w, &box, 90, 120, &red);
    Ui_Draw_SetPen(w, &blue, 3);
    Ui_Draw_FrameArc(w, &box, 210, 240, nullptr);
    return Ui_Draw_End(w);
}

TEST_F(FltkSmoke, SmoothRingsPiesAndTheLargerFontsDraw) {
    static Capture shot;
    static Ui_Rect ring{};
    Result r = ui_harness::Run(Binding::kFltk, state_, ui_testing::kResizableDialog,
                               [](UiWindow* w) {
                                   Ui_Dlg_SetDrawProc(w, 3, DrawRing);
                                   Ui_Dlg_SetDrawProc(w, 5, DrawPies);
                                   return Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel);
                               },
                               nullptr,
                               {Wait(200), Do([](UiWindow* w) {
                                    Ui_Item_GetRect(w, 3, &ring);
                                    ui_harness::Shoot(w, "drawing_9001.png", &shot);
                                }),
                                Click(1)});
    EXPECT_EQ(r.item, 1);
    EXPECT_FALSE(r.guardFired);
    // The ring's colours all round, and pixels between the ring and the background along its
    // edges: smooth, not stepped.
    EXPECT_GT(shot.Count(ring, Saturated), 10000);
    auto between = [](uint8_t red, uint8_t green, uint8_t blue) {
        const int hi = std::max({red, green, blue}), lo = std::min({red, green, blue});
        return hi > 240 && lo > 60 && lo < 220 && hi - lo > 20;  // a colour mixed with the grey
    };
    EXPECT_GT(shot.Count(ring, between), 300);
    EXPECT_GT(shot.Count(ring, Dark), 100);  // the headings and the handles' rims
}

}  // namespace
