// The same tests on both bindings: what passes headless must pass on real windows. Each test runs
// once on the headless binding and once on FLTK under the harness's virtual X server, with the
// same steps and the same expectations: resizing and anchors, modifier keys during clicks and
// drags, the keyboard after a nested alert, measuring text before the window is shown, edit
// fields with a limit, list choices, sizes, colours and frames, repainting during a drag, and the
// focus leaving an edit field.
// GoogleTest comes before the X headers, whose macros it would trip over.
#include "tests/platform/ui/ui_test_support.h"

#include <map>
#include <string>

#include "platform/alert.h"
#include "platform/mem.h"
#include "platform/ui/controls.h"
#include "platform/ui/cursor.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"
#include "tests/ui_harness/ui_harness.h"

namespace {

using ui_testing::gTrace;
using ui_testing::Joined;
using ui_testing::kResizableDialog;
using ui_testing::kTestDialog;
using ui_testing::OutlineItem;
using ui_testing::Record;
using ui_testing::RectText;
using ui_testing::TestArchive;
using namespace ui_harness;

class Parity : public testing_support::PlatformTest, public testing::WithParamInterface<Binding> {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        gTrace.clear();
        Ui_Headless_Reset();
        blocks_ = ul_nMallocs;
        ASSERT_EQ(Install(GetParam()), 0) << "cannot install " << Name(GetParam());
        ASSERT_EQ(Ui_State_Open(&state_, TestArchive(), nullptr, 1000, 1), 0);
    }
    void TearDown() override {
        Ui_State_Close(&state_);
        Ui_Headless_Reset();
        Ui_Framework_Uninstall();
        EXPECT_EQ(ul_nMallocs, blocks_);
        PlatformTest::TearDown();
    }
    // refused: the events the headless binding may refuse (a person cannot do them).
    Result RunSteps(int32_t dialogId, UiInitProc init, std::vector<Step> steps,
                    int32_t refused = 0) {
        gTrace.clear();
        Result r = ui_harness::Run(GetParam(), state_, dialogId, init, nullptr, std::move(steps));
        EXPECT_FALSE(r.guardFired);
        EXPECT_EQ(r.refused, GetParam() == Binding::kHeadless ? refused : 0);
        return r;
    }
    std::string Prefixed(const std::string& name) const {
        return std::string(Name(GetParam())) + "_" + name;
    }
    UiState* state_ = nullptr;
    uint32_t blocks_ = 0;
};

std::string Mods(Ui_Dlg* d) {
    std::string m = std::string(d->shift ? "S" : "") + (d->ctrl ? "C" : "") + (d->alt ? "A" : "");
    return m.empty() ? "-" : m;
}

Ui_Rect ItemRect(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    EXPECT_EQ(Ui_Item_GetRect(w, item, &r), 0);
    return r;
}

Ui_Rect Moved(Ui_Rect r, int dh, int dv, int growH = 0, int growV = 0) {
    return Ui_Rect_Make(r.top + dv, r.left + dh, r.bottom + dv + growV, r.right + dh + growH);
}

int32_t CloseOnOkOrCancel(UiWindow* w, int16_t item) {
    gTrace.push_back("hit " + std::to_string(item));
    if (item == 1 || item == 2) Ui_Dlg_Close(w, item);
    return 0;
}

// --- resizing ---------------------------------------------------------------------------------

int32_t ResizableInit(UiWindow* w) {
    Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel);
    Ui_Dlg_SetResizeProc(w, [](UiWindow*, int16_t width, int16_t height) -> int32_t {
        gTrace.push_back("resize " + std::to_string(width) + "x" + std::to_string(height));
        return 0;
    });
    return Ui_Dlg_SetResizable(w, 0, 0);
}

TEST_P(Parity, AResizedDialogMovesItsItemsByTheirAnchorsWithinItsLimits) {
    std::map<int, Ui_Rect> plain;
    auto remember = [&](UiWindow* w) {
        for (int16_t i = 1; i <= 8; ++i) plain[i] = ItemRect(w, i);
    };
    auto client = [](UiWindow* w) {
        Ui_Rect r{};
        Ui_Dlg_GetClientRect(w, &r);
        return std::to_string(Ui_Rect_Width(&r)) + "x" + std::to_string(Ui_Rect_Height(&r));
    };
    // 420 x 300 at the template's size; 200 wider and 101 higher: the picture takes it all, the
    // group on the right moves 200 right and 50 down, the buttons 200 and 101, the status 101.
    auto grown = [&](UiWindow* w) {
        EXPECT_EQ(client(w), "620x401");
        EXPECT_EQ(RectText(ItemRect(w, 3)), RectText(Moved(plain[3], 0, 0, 200, 101)));
        for (int16_t i : {4, 5, 7, 8}) {
            EXPECT_EQ(RectText(ItemRect(w, i)), RectText(Moved(plain[i], 200, 50))) << i;
        }
        for (int16_t i : {1, 2}) {
            EXPECT_EQ(RectText(ItemRect(w, i)), RectText(Moved(plain[i], 200, 101))) << i;
        }
        EXPECT_EQ(RectText(ItemRect(w, 6)), RectText(Moved(plain[6], 0, 101)));
    };
    auto back = [&](UiWindow* w) {
        EXPECT_EQ(client(w), "420x300");
        for (int16_t i = 1; i <= 8; ++i) EXPECT_EQ(RectText(ItemRect(w, i)), RectText(plain[i]));
    };
    auto onScreen = [&](UiWindow* w) {
        EXPECT_EQ(client(w), std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight));
        Ui_Rect outer{};
        Ui_Dlg_Bounds_Get(w, &outer);
        EXPECT_TRUE(outer.left >= 0 && outer.top >= 0 && outer.right <= kScreenWidth &&
                    outer.bottom <= kScreenHeight)
            << RectText(outer);
    };
    // An owner's largest size (as a window kept inside the screen's edges would ask for) shrinks
    // the window at once and bounds the person's later drags; the other axis keeps the screen's.
    auto limited = [&](UiWindow* w) {
        EXPECT_EQ(Ui_Dlg_SetMaxSize(w, 800, 0), 0);
        EXPECT_EQ(client(w), "800x" + std::to_string(kScreenHeight));
    };
    auto within = [&](UiWindow* w) { EXPECT_EQ(client(w), "800x500"); };
    Result r = RunSteps(
        kResizableDialog, ResizableInit,
        {Do(remember), Resize(620, 401), Do(grown), Resize(100, 100), Do(back), Resize(5000, 3000),
         Do(onScreen), Do(limited), Resize(1000, 500), Do(within), Click(1)});
    EXPECT_EQ(r.item, 1);
    // Smaller than the template: the smallest size; larger than the screen: the work area.
    EXPECT_EQ(Joined(gTrace),
              "resize 620x401, resize 420x300, resize 1920x1080, resize 800x1080, resize 800x500, "
              "hit 1");

    // A dialog its owner did not make resizable keeps its size: the headless window manager
    // refuses, and on X the framework sets the window back.
    static std::string size;
    r = RunSteps(
        kTestDialog, [](UiWindow* w) { return Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel); },
        {Resize(500, 400), Do([&](UiWindow* w) {
             size = client(w);
             EXPECT_EQ(Ui_Dlg_SetMaxSize(w, 800, 600), -1);
         }),
         Click(1)},
        1);
    EXPECT_EQ(size, "300x195");
}

// --- modifier keys ----------------------------------------------------------------------------

int32_t ModifierInit(UiWindow* w) {
    Ui_Dlg_SetItemHitProc(w, [](UiWindow* dialog, int16_t item) -> int32_t {
        gTrace.push_back("hit " + std::to_string(item) + " " + Mods(Record(dialog)));
        if (item == 1 || item == 2) Ui_Dlg_Close(dialog, item);
        return 0;
    });
    Ui_Dlg_SetTrackProc(w, [](UiWindow* dialog, int16_t item, int16_t phase) -> int32_t {
        gTrace.push_back("track " + std::to_string(item) + " " + std::to_string(phase) + " " +
                         Mods(Record(dialog)));
        return 1;
    });
    // The cursor follows Alt, as an eyedropper would when Alt samples.
    return Ui_Dlg_SetModifierProc(w, [](UiWindow* dialog) -> int32_t {
        Ui_Dlg* d = Record(dialog);
        Ui_Cursor_Set(d->state, d->alt ? kUiCursorEyedropper : kUiCursorCross);
        return 1;
    });
}

TEST_P(Parity, ModifierKeysComeWithEachClickDragAndReleaseAndMoveTheCursor) {
    auto cursor = [&](uint32_t want) {
        return Do([this, want](UiWindow*) { EXPECT_EQ(state_->cursorKind, want); });
    };
    Result r = RunSteps(
        kTestDialog, ModifierInit,
        {Click(3, kUiModAlt), KeyDown(kUiKeyShift), Press(4, -5, -5), DragTo(4, 0, 0),
         KeyDown(kUiKeyAlt), DragTo(4, 5, 5), KeyUp(kUiKeyShift), Release(4, 5, 5),
         KeyUp(kUiKeyAlt), cursor(kUiCursorCross), KeyDown(kUiKeyAlt), cursor(kUiCursorEyedropper),
         KeyUp(kUiKeyAlt), Click(1, kUiModCtrl | kUiModShift)});
    EXPECT_EQ(r.item, 1);
    // Alt pressed in the middle of a drag reaches the track proc at once, without a move; outside
    // a drag the modifier proc hears each modifier key go down and up, and sets the cursor.
    EXPECT_EQ(Joined(gTrace),
              "hit 3 A, track 4 0 S, track 4 1 S, track 4 1 SA, track 4 1 SA, track 4 1 A, "
              "track 4 2 A, hit 1 SC");
}

// --- the keyboard after a nested alert ---------------------------------------------------------

int32_t AskingInit(UiWindow* w) {
    return Ui_Dlg_SetItemHitProc(w, [](UiWindow* dialog, int16_t item) -> int32_t {
        gTrace.push_back("hit " + std::to_string(item));
        if (item == 3) {
            int16_t answer = 0;
            Ui_Alert_Ask(Record(dialog)->state, "Continue?", "Yes", nullptr, 0, &answer);
            gTrace.push_back("answer " + std::to_string(answer));
        }
        if (item == 1 || item == 2) Ui_Dlg_Close(dialog, item);
        return 0;
    });
}

TEST_P(Parity, ReturnAndEscapeReachTheDialogAgainOnceItsAlertHasClosed) {
    Result r = RunSteps(kTestDialog, AskingInit,
                        {Click(3), For(6000, Key(kUiKeyReturn)), Key(kUiKeyReturn)});
    EXPECT_EQ(r.item, 1);
    EXPECT_FALSE(r.ranOut);
    EXPECT_EQ(Joined(gTrace), "hit 3, answer 1, hit 1");
    r = RunSteps(kTestDialog, AskingInit,
                 {Click(3), For(6000, Key(kUiKeyEscape)), Key(kUiKeyEscape)});
    EXPECT_EQ(r.item, 2);
    EXPECT_FALSE(r.ranOut);
    EXPECT_EQ(Joined(gTrace), "hit 3, answer 2, hit 2");
}

// --- measuring before the window is shown ------------------------------------------------------

const char kLongText[] =
    "Mark neutral colors in the image to correct the color cast; hold Shift to set a sample "
    "point and Alt to zoom in.";

struct Measured {
    int32_t drawBefore = 0;
    int16_t wrapped = 0, line = 0, single = 0, drawn = -1;
};
Measured gMeasured;

int32_t MeasuringInit(UiWindow* w) {
    Measured& m = gMeasured;
    m.drawBefore = Ui_Draw_Begin(w);  // nothing can be drawn yet, on any binding
    Ui_Rect r = ItemRect(w, 5);
    int16_t width = 0;
    Ui_Draw_MeasureText(w, kUiFontDialog, "Hue", &width, &m.line);
    Ui_Draw_MeasureWrapped(w, kUiFontDialog, kLongText, int16_t(Ui_Rect_Width(&r)), &m.wrapped);
    Ui_Draw_MeasureWrapped(w, kUiFontDialog, "Hue", int16_t(Ui_Rect_Width(&r)), &m.single);
    // The item grows to hold the text, as the help window's text area does (over the items
    // below it, which make way).
    r.bottom = int16_t(r.top + m.wrapped);
    Ui_Item_Move(w, 5, &r);
    Ui_Item_Show(w, 7, 0);
    Ui_Item_Show(w, 8, 0);
    Ui_Dlg_SetDrawProc(w, 5, [](UiWindow* dialog, int16_t item) -> int32_t {
        Ui_Rect area = ItemRect(dialog, item);
        if (Ui_Draw_Begin(dialog) != 0) return -2;
        Ui_Draw_TextInRect(dialog, kLongText, &area, kUiAlignLeft | kUiTextWrap, &gMeasured.drawn);
        return Ui_Draw_End(dialog);
    });
    return Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel);
}

// The test dialog reads 3, 5, 8 on its first row, then list 6, then Cancel and OK (its numbers
// run otherwise). Tab moves the focus in that order and Space presses what it reached: from box
// 3, two Tabs reach box 8 (the edit field between says it lost the focus); Shift+Tab from box 3
// goes round to OK. (FLTK's list boxes take no keyboard focus: there Tab passes over list 6.)
int32_t HitsInit(UiWindow* w) {
    return Ui_Dlg_SetItemHitProc(w, [](UiWindow* dialog, int16_t item) -> int32_t {
        gTrace.push_back("hit " + std::to_string(item));
        if (item == 1 || item == 2) Ui_Dlg_Close(dialog, item);
        return 0;
    });
}

TEST_P(Parity, TabGoesInReadingOrderAndSpacePressesWhatItReached) {
    Result r = RunSteps(kTestDialog, HitsInit, {Click(3), Key(9), Key(9), Key(' ')});
    EXPECT_EQ(Joined(gTrace), "hit 3, hit 5, hit 8");
    r = RunSteps(kTestDialog, HitsInit, {Click(3), Key(9, kUiModShift), Key(' ')});
    EXPECT_EQ(r.item, 1);
    EXPECT_EQ(Joined(gTrace), "hit 3, hit 1");
}

// A user item marked as a stop (user item 4, below box 3) is reached by Tab, takes the keys
// while it has the focus and lets Tab go on: the window's key proc sees where the focus is.
int32_t StopInit(UiWindow* w) {
    Ui_Item_SetTabStop(w, 4, 1);
    Ui_Dlg_SetKeyProc(w, [](UiWindow* dialog, uint8_t key, uint8_t) -> int32_t {
        const bool onItem = Ui_Item_Focused(dialog) == 4;
        gTrace.push_back("key " + std::to_string(key) + (onItem ? " on 4" : " elsewhere"));
        return 1;
    });
    return HitsInit(w);
}

TEST_P(Parity, TabReachesAUserItemMarkedAsAStopAndGoesOnFromIt) {
    RunSteps(kTestDialog, StopInit, {Click(8), Key(9), Key(39), Key(9), Key('A'), Key(27)});
    EXPECT_EQ(Joined(gTrace), "hit 8, key 39 on 4, key 65 elsewhere, hit 2");
}

TEST_P(Parity, TextIsMeasuredBeforeTheWindowIsShownAsDrawingWillWrapIt) {
    gMeasured = Measured{};
    Result r = RunSteps(kResizableDialog, MeasuringInit,
                        {Wait(200), Shot(Prefixed("measured.png")), Click(1)});
    EXPECT_EQ(r.item, 1);
    const Measured& m = gMeasured;
    EXPECT_EQ(m.drawBefore, -2);
    EXPECT_EQ(m.single, m.line);
    EXPECT_GE(m.wrapped, 3 * m.line);  // 110 characters in 98 pixels take several lines
    EXPECT_EQ(m.drawn, m.wrapped);
}

// --- edit fields with a limit -------------------------------------------------------------------

int32_t LimitInit(UiWindow* w) {
    Ui_Dlg_SetItemHitProc(w, [](UiWindow* dialog, int16_t item) -> int32_t {
        char text[64] = "";
        Ui_Item_GetText(dialog, item, text, sizeof text);
        if (item == 5 && Record(dialog)->notification == kUiNotifyChange) {
            gTrace.push_back(text);
        }
        if (item == 1 || item == 2) Ui_Dlg_Close(dialog, item);
        return 0;
    });
    Ui_Item_SetMaxLength(w, 5, 4);
    // Set from code: cut to the limit, and the owner hears nothing.
    return Ui_Item_SetText(w, 5, "abcdef");
}

TEST_P(Parity, TypingStopsAtAFieldsLimitAndTextSetFromCodeIsNoTyping) {
    static char text[64];
    Result r =
        RunSteps(kTestDialog, LimitInit,
                 {Do([](UiWindow* w) {
                      Ui_Item_GetText(w, 5, text, sizeof text);
                      EXPECT_STREQ(text, "abcd");
                      EXPECT_TRUE(gTrace.empty());
                  }),
                  Type(5, "wxyz12"),
                  Do([](UiWindow* w) { Ui_Item_GetText(w, 5, text, sizeof text); }), Click(1)});
    EXPECT_EQ(r.item, 1);
    EXPECT_STREQ(text, "wxyz");
    // The person's changes were heard, none of them longer than the limit.
    ASSERT_FALSE(gTrace.empty());
    EXPECT_EQ(gTrace.back(), "wxyz");
    for (const std::string& t : gTrace) EXPECT_LE(t.size(), 4u) << t;
}

// --- lists ---------------------------------------------------------------------------------------

int32_t ListInit(UiWindow* w) {
    Ui_Dlg_SetItemHitProc(w, [](UiWindow* dialog, int16_t item) -> int32_t {
        int32_t chosen = 0;
        Ui_List_GetSelection(dialog, 6, &chosen);
        if (item == 6) gTrace.push_back("chose " + std::to_string(chosen));
        if (item == 1 || item == 2) Ui_Dlg_Close(dialog, item);
        return 0;
    });
    Ui_List_Fill(w, 6, kStrMethodNeutrals, kStrMethodThreeSliders);
    return Ui_List_SetSelection(w, 6, 1);
}

TEST_P(Parity, ChoosingTheEntryAlreadyChosenIsNoChange) {
    Result r = RunSteps(kTestDialog, ListInit,
                        {Choose(6, 1), Choose(6, 3), Choose(6, 3), Choose(6, 2), Click(1)});
    EXPECT_EQ(r.item, 1);
    EXPECT_EQ(Joined(gTrace), "chose 3, chose 2");
}

// --- what a test can see: sizes, colours, frames, paints during a drag, the focus ---------------

TEST_P(Parity, TheEditingWindowHasTheSameSizeInPixels) {
    static Ui_Rect client{};
    Result r =
        RunSteps(1000, [](UiWindow* w) { return Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel); },
                 {Do([](UiWindow* w) { Ui_Dlg_GetClientRect(w, &client); }), Click(2)});
    EXPECT_EQ(r.item, 2);
    // 600 x 400 units at 9 points (7 x 15 base units).
    EXPECT_EQ(RectText(client), "0,0,750,1050");
}

TEST_P(Parity, BackgroundAndBorderFramesAreTheSame) {
    static Capture shot;
    static Ui_Rect framed{};
    Result r = RunSteps(kResizableDialog,
                        [](UiWindow* w) { return Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel); },
                        {Wait(200), Do([&](UiWindow* w) {
                             framed = ItemRect(w, 3);
                             ui_harness::Shoot(w, Prefixed("colours.png"), &shot);
                         }),
                         Click(1)});
    EXPECT_EQ(r.item, 1);
    auto same = [](Ui_RGB a, Ui_RGB b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
    const int middle = (framed.top + framed.bottom) / 2;
    // Between the picture and the group on the right, inside the picture (nobody draws there),
    // and on the picture's frame.
    EXPECT_TRUE(same(shot.At(middle, framed.right + 4), kUiDefaultBackground));
    EXPECT_TRUE(same(shot.At(middle, framed.left + 10), kUiDefaultBackground));
    EXPECT_TRUE(same(shot.At(middle, framed.left), kUiBorderRGB));
    EXPECT_TRUE(same(shot.At(framed.top, (framed.left + framed.right) / 2), kUiBorderRGB));
}

bool gDragging = false;

int32_t RepaintInit(UiWindow* w) {
    gDragging = false;
    Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel);
    Ui_Dlg_SetDrawProc(w, 9, [](UiWindow*, int16_t) -> int32_t {
        if (gDragging) gTrace.push_back("draw 9");
        return 0;
    });
    return Ui_Dlg_SetTrackProc(w, [](UiWindow* dialog, int16_t, int16_t phase) -> int32_t {
        gTrace.push_back("track " + std::to_string(phase));
        gDragging = phase != kUiTrackEnd;
        if (phase == kUiTrackDrag) Ui_Item_Invalidate(dialog, 9);
        return 1;
    });
}

TEST_P(Parity, ItemsInvalidatedDuringADragAreRepaintedBeforeTheNextMove) {
    Result r = RunSteps(kTestDialog, RepaintInit,
                        {Press(4), DragTo(4, 3, 3), DragTo(4, 6, 6), Release(4, 6, 6), Click(1)});
    EXPECT_EQ(r.item, 1);
    EXPECT_EQ(Joined(gTrace), "track 0, track 1, draw 9, track 1, draw 9, track 2, hit 1");
}

// Drawing outside a paint (as a slider's value box does after a command) stays on the screen
// when another item repaints afterwards. FLTK copies its whole back buffer to the window on any
// widget's redraw, which once put back what the item showed before.
TEST_P(Parity, DrawingOutsideAPaintLastsWhenAnotherItemRepaints) {
    static Capture shot;
    static Ui_Rect area{};
    const Ui_Color red = Ui_ColorFromRGB(255, 0, 0);
    Result r = RunSteps(
        kTestDialog, [](UiWindow* w) { return Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel); },
        {Wait(200), Do([&](UiWindow* w) {
             area = ItemRect(w, 9);
             ASSERT_EQ(Ui_Draw_Begin(w), 0);
             Ui_Draw_FillRect(w, &area, &red);
             ASSERT_EQ(Ui_Draw_End(w), 0);
             Ui_Item_SetText(w, 3, "Repainted");
         }),
         Wait(200), Do([&](UiWindow* w) { ASSERT_EQ(Grab(w, &shot), 0); }), Click(1)});
    EXPECT_EQ(r.item, 1);
    const Ui_RGB got = shot.At((area.top + area.bottom) / 2, (area.left + area.right) / 2);
    EXPECT_EQ(got.r * 65536 + got.g * 256 + got.b, 0xFF0000) << Name(GetParam());
}

int32_t FocusInit(UiWindow* w) {
    return Ui_Dlg_SetItemHitProc(w, [](UiWindow* dialog, int16_t item) -> int32_t {
        const uint16_t n = Record(dialog)->notification;
        if (item != 5 || n == kUiNotifyKillFocus) {
            gTrace.push_back("hit " + std::to_string(item) +
                             (n == kUiNotifyKillFocus ? " lost" : ""));
        }
        if (item == 1 || item == 2) Ui_Dlg_Close(dialog, item);
        return 0;
    });
}

TEST_P(Parity, ClickingAButtonAfterTypingTellsTheFieldItLostTheFocusFirst) {
    Result r = RunSteps(kTestDialog, FocusInit, {Type(5, "text"), Click(3), Click(1)});
    EXPECT_EQ(r.item, 1);
    EXPECT_EQ(Joined(gTrace), "hit 5 lost, hit 3, hit 1");
}

// --- the editing window at several sizes
// ----------------------------------------------------------

int32_t EditingInit(UiWindow* w) {
    for (int16_t i = 1; i <= Record(w)->itemCount; ++i) Ui_Dlg_SetDrawProc(w, i, OutlineItem);
    Ui_Dlg_SetItemHitProc(w, CloseOnOkOrCancel);
    return Ui_Dlg_SetResizable(w, 0, 0);
}

// At any size: no two items shown at opening overlap, except the tool panel's frame (90) and
// what it holds; the panel, its "?" and its buttons keep their places towards each other and the
// tool column stays vertically centred; everything stays inside the window.
void CheckEditingLayout(UiWindow* w, const std::map<int, Ui_Rect>& plain, int dw, int dh) {
    const std::vector<int16_t> shown = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                                        13, 14, 15, 17, 18, 19, 20, 21, 40, 41, 83, 84,
                                        85, 86, 87, 88, 90, 91, 92, 93, 94, 95};
    Ui_Rect client{};
    Ui_Dlg_GetClientRect(w, &client);
    const Ui_Rect frame = ItemRect(w, 90);
    auto inside = [](const Ui_Rect& a, const Ui_Rect& b) {
        return a.top >= b.top && a.left >= b.left && a.bottom <= b.bottom && a.right <= b.right;
    };
    for (size_t i = 0; i < shown.size(); ++i) {
        const Ui_Rect a = ItemRect(w, shown[i]);
        EXPECT_TRUE(inside(a, client)) << "item " << shown[i] << " at " << RectText(a);
        for (size_t j = i + 1; j < shown.size(); ++j) {
            const Ui_Rect b = ItemRect(w, shown[j]);
            Ui_Rect common{};
            Ui_Rect_Intersect(&a, &b, &common);
            const bool held =
                (shown[i] == 90 && inside(b, frame)) || (shown[j] == 90 && inside(a, frame));
            EXPECT_TRUE(Ui_Rect_IsEmpty(&common) || held)
                << "items " << shown[i] << " and " << shown[j] << " overlap at "
                << RectText(common);
        }
    }
    for (int16_t i : {83, 84, 85, 86, 87, 10, 93}) {
        EXPECT_EQ(RectText(ItemRect(w, i)), RectText(Moved(plain.at(i), dw, dh / 2))) << i;
    }
    EXPECT_EQ(RectText(ItemRect(w, 4)), RectText(Moved(plain.at(4), 0, 0, dw, dh)));
    for (int16_t i : {1, 2, 3}) {
        EXPECT_EQ(RectText(ItemRect(w, i)), RectText(Moved(plain.at(i), dw, dh))) << i;
    }
}

TEST_P(Parity, TheEditingWindowGrowsWithoutOverlapsAndKeepsItsToolPanelTogether) {
    static std::map<int, Ui_Rect> plain;
    std::vector<Step> steps = {Wait(200), Shot(Prefixed("editing_1000_template.png")),
                               Do([](UiWindow* w) {
                                   for (int16_t i = 1; i <= 95; ++i) plain[i] = ItemRect(w, i);
                                   CheckEditingLayout(w, plain, 0, 0);
                               })};
    // The two screens asked for, and sizes that grow one way only or by odd amounts.
    const int sizes[][2] = {{1280, 1024}, {1920, 1080}, {1051, 751}, {1500, 750}, {1050, 1001}};
    for (const auto& size : sizes) {
        const int width = size[0], height = size[1];
        const std::string name =
            "editing_1000_" + std::to_string(width) + "x" + std::to_string(height) + ".png";
        steps.push_back(Resize(width, height));
        steps.push_back(Wait(200));
        steps.push_back(Shot(Prefixed(name)));
        steps.push_back(Do([width, height](UiWindow* w) {
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
            CheckEditingLayout(w, plain, width - 1050, height - 750);
        }));
    }
    steps.push_back(Click(2));
    Result r = RunSteps(1000, EditingInit, steps);
    EXPECT_EQ(r.item, 2);
}

// --- the same procs for the same script --------------------------------------------------------

int32_t TraceInit(UiWindow* w) {
    gTrace.push_back("init");
    Ui_Dlg_SetTrackProc(w, [](UiWindow*, int16_t item, int16_t phase) -> int32_t {
        gTrace.push_back("track " + std::to_string(item) + " " + std::to_string(phase));
        return phase == kUiTrackBegin ? 1 : 0;  // tracked, then not handled: an item hit follows
    });
    Ui_Dlg_SetItemHitProc(w, [](UiWindow* dialog, int16_t item) -> int32_t {
        gTrace.push_back("hit " + std::to_string(item));
        if (item == 1) Ui_Dlg_Close(dialog, item);
        return 0;
    });
    Ui_Dlg_SetKeyProc(w, [](UiWindow*, uint8_t key, uint8_t) -> int32_t {
        gTrace.push_back("key " + std::to_string(key));
        return 0;
    });
    return Ui_Dlg_SetFirstPaintProc(w, [](UiWindow*) -> int32_t {
        gTrace.push_back("firstpaint");
        return 0;
    });
}

TEST_P(Parity, TheSameScriptCallsTheSameProcsInTheSameOrder) {
    auto checks = [](UiWindow* w) {
        int32_t manual = -1, automatic = -1;
        Ui_Item_GetCheck(w, 3, &manual);
        Ui_Item_GetCheck(w, 8, &automatic);
        gTrace.push_back("checks " + std::to_string(manual) + std::to_string(automatic));
    };
    Result r = RunSteps(kTestDialog, TraceInit,
                        {Wait(300), Click(3), Click(8), Key('A'), Press(4), DragTo(4, 5, 5),
                         DragTo(4, 10, 10), Release(4, 10, 10), Do(checks), Key(kUiKeyReturn)});
    EXPECT_EQ(r.item, 1);
    EXPECT_EQ(Joined(gTrace),
              "init, firstpaint, hit 3, hit 8, key 65, track 4 0, track 4 1, track 4 1, "
              "track 4 2, hit 4, checks 01, hit 1");
}

INSTANTIATE_TEST_SUITE_P(Bindings, Parity, testing::Values(Binding::kHeadless, Binding::kFltk),
                         [](const testing::TestParamInfo<Binding>& binding) {
                             return std::string(Name(binding.param));
                         });

}  // namespace
