// Control helpers on a running dialog: linked companions, lists from string ids, text that is
// set only when it changes, check boxes, rectangles, sizes and relayout, the work area, and the
// track button.
#include <string>

#include "platform/mem.h"
#include "platform/ui/controls.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

int32_t RecordHits(UiWindow*, int16_t item) {
    gTrace.push_back("hit " + std::to_string(item));
    return 0;
}
int32_t InitHits(UiWindow* w) {
    return Ui_Dlg_SetItemHitProc(w, RecordHits);
}

const UiHeadlessItem& ItemIn(UiWindow* w, int16_t item) {
    return Ui_Headless_Window(w)->items[item - 1];
}
std::string ItemRect(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    EXPECT_EQ(Ui_Item_GetRect(w, item, &r), 0);
    return RectText(r);
}

class ControlsTest : public UiTest {
   protected:
    // Runs the test dialog with the script; the item-hit proc records its calls.
    int16_t Script(std::vector<UiScriptEvent> script) {
        int16_t item = 0;
        EXPECT_EQ(Run(kTestDialog, InitHits, nullptr, std::move(script), &item), 0);
        return item;
    }
    // Runs the test dialog with one call of fn inside it.
    void Inside(std::function<void(UiWindow*)> fn) { EXPECT_EQ(Script({Call(std::move(fn))}), 2); }
};

TEST_F(ControlsTest, ShowAndHideTakeTheLinkedCompanionAlong) {
    Inside([](UiWindow* w) {
        ASSERT_EQ(Ui_Item_SetLink(w, 4, 7), 0);
        ASSERT_EQ(Ui_Item_SetLink(w, 7, 4), 0);  // linking back must not loop
        EXPECT_EQ(Ui_Item_Show(w, 4, 0), 0);
        EXPECT_TRUE(!ItemIn(w, 4).visible && !ItemIn(w, 7).visible && ItemIn(w, 9).visible);
        EXPECT_EQ(Ui_Item_Show(w, 7, 1), 0);
        EXPECT_TRUE(ItemIn(w, 4).visible && ItemIn(w, 7).visible);
        ASSERT_EQ(Ui_Item_SetLink(w, 4, 0), 0);
        EXPECT_EQ(Ui_Item_Show(w, 4, 0), 0);
        EXPECT_TRUE(ItemIn(w, 7).visible);
        EXPECT_EQ(Ui_Item_SetLink(w, 4, 4), -2);
        EXPECT_EQ(Ui_Item_SetLink(w, 4, 10), -2);
        EXPECT_EQ(Ui_Item_Show(w, 10, 1), -2);
    });
}

int32_t Selection(UiWindow* w) {
    int32_t selection = -1;
    EXPECT_EQ(Ui_List_GetSelection(w, 6, &selection), 0);
    return selection;
}

TEST_F(ControlsTest, ListsFillFromStringIdsAndSelectOneBased) {
    Script({Call([](UiWindow* w) {
                ASSERT_EQ(Ui_List_Fill(w, 6, 1019, 1021), 0);
                const UiHeadlessItem& list = ItemIn(w, 6);
                ASSERT_EQ(list.listCount, 3);
                EXPECT_STREQ(list.list[0], "Color correction filter for Adobe Photoshop");
                EXPECT_STREQ(list.list[2], "Made by Lumetra");
                EXPECT_EQ(Selection(w), 0);  // nothing selected yet
                EXPECT_EQ(Ui_List_SetSelection(w, 6, 3), 0);
                EXPECT_EQ(list.listSelection, 2);
                EXPECT_EQ(Selection(w), 3);
                EXPECT_EQ(Ui_List_SetSelection(w, 6, 0), -2);
                EXPECT_EQ(Ui_List_SetSelection(w, 6, 4), -2);
                char text[64];
                EXPECT_EQ(Ui_Item_GetText(w, 6, text, sizeof text), 0);
                EXPECT_STREQ(text, "Made by Lumetra");
                // Only combo boxes hold lists; ranges must run forwards.
                EXPECT_EQ(Ui_List_Fill(w, 5, 1019, 1021), -2);
                EXPECT_EQ(Ui_List_Fill(w, 6, 1021, 1019), -1);
                int32_t count = 0;
                EXPECT_EQ(Ui_List_NumberLinked(w, &count), 0);
                EXPECT_EQ(count, 1);
                Ui_Dlg_Info* info = nullptr;
                ASSERT_EQ(Ui_Dlg_Info_Get(w, &info), 0);
                EXPECT_EQ(info->links[5].listNumber, 10);  // the first number after the 9 items
                EXPECT_EQ(info->links[4].listNumber, 0);
                // Filling again replaces the list and clears the selection.
                ASSERT_EQ(Ui_List_Fill(w, 6, 6800, 6802), 0);
                EXPECT_EQ(list.listCount, 3);
                EXPECT_STREQ(list.list[1], "icc");
                EXPECT_EQ(Selection(w), 0);
            }),
            // A choice by the person is a selection change; there is no fourth entry to choose.
            Select(6, 2), Call([](UiWindow* w) { EXPECT_EQ(Selection(w), 2); }), Select(6, 4)});
    EXPECT_EQ(Joined(gTrace), "hit 6");
    EXPECT_EQ(Ui_Headless_Refused(), 1);
}

// What a test reads of a closed dialog is a copy: the dialog's blocks go back as it closes, so a
// host call that ran a dialog holds none of the module's memory afterwards.
TEST_F(ControlsTest, AClosedDialogGivesBackItsBlocksAndItsCopyStillReads) {
    const uint32_t before = ul_nMallocs;
    Ui_RGB shown{};
    Script({Call([&](UiWindow* w) {
        ASSERT_EQ(Ui_List_Fill(w, 6, 1019, 1021), 0);
        EXPECT_GT(ul_nMallocs, before);
        const Ui_Rect r = ItemIn(w, 1).rect;
        shown = Ui_Headless_Pixel(Ui_Headless_Window(w), (r.top + r.bottom) / 2, r.left + 2);
    })});
    EXPECT_EQ(ul_nMallocs, before);
    const UiHeadlessWindow* closed = Closed();
    ASSERT_NE(closed, nullptr);
    EXPECT_EQ(closed->dialogId, kTestDialog);
    ASSERT_EQ(closed->items[5].listCount, 3);
    EXPECT_STREQ(closed->items[5].list[2], "Made by Lumetra");
    const Ui_Rect r = closed->items[0].rect;
    const Ui_RGB kept = Ui_Headless_Pixel(closed, (r.top + r.bottom) / 2, r.left + 2);
    EXPECT_TRUE(kept.r == shown.r && kept.g == shown.g && kept.b == shown.b);
}

TEST_F(ControlsTest, TextSetFromCodeNeverLooksLikeTypingAndIsReadBackWithinTheBuffer) {
    Inside([](UiWindow* w) {
        EXPECT_EQ(Ui_Item_SetText(w, 5, "abc"), 0);  // the template's text
        EXPECT_EQ(Ui_Item_SetText(w, 5, "ab"), 0);   // a prefix still differs
        EXPECT_STREQ(ItemIn(w, 5).text, "ab");
        EXPECT_EQ(Ui_Item_SetText(w, 5, "abcd"), 0);
        EXPECT_STREQ(ItemIn(w, 5).text, "abcd");
        EXPECT_TRUE(gTrace.empty());  // the owner hears only of what the person types
        char text[3];
        EXPECT_EQ(Ui_Item_GetText(w, 5, text, sizeof text), 0);
        EXPECT_STREQ(text, "ab");  // cut to the buffer
        EXPECT_EQ(Ui_Item_SetText(w, 5, ""), 0);
        text[0] = 'x';
        EXPECT_EQ(Ui_Item_GetText(w, 5, text, sizeof text), -2);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(Ui_Item_GetText(w, 5, text, 0), -1);
        EXPECT_EQ(Ui_Item_SetMaxLength(w, 7, 3), -2);  // not an edit field
        EXPECT_EQ(Ui_Item_SetMaxLength(w, 5, -1), -1);
    });
}

TEST_F(ControlsTest, CheckBoxesHoldThreeStatesAndOnlyAutoBoxesToggleThemselves) {
    Script({Call([](UiWindow* w) {
                int32_t state = -1;
                EXPECT_EQ(Ui_Item_SetCheck(w, 3, 2), 0);
                EXPECT_EQ(Ui_Item_GetCheck(w, 3, &state), 0);
                EXPECT_EQ(state, 2);
                EXPECT_EQ(Ui_Item_ToggleCheck(w, 3, &state), 0);
                EXPECT_EQ(state, 0);
                EXPECT_EQ(Ui_Item_ToggleCheck(w, 3, &state), 0);
                EXPECT_EQ(state, 1);
                EXPECT_EQ(Ui_Item_SetCheck(w, 3, 3), -1);
                EXPECT_EQ(Ui_Item_SetCheck(w, 1, 1), -2);  // a push button
                EXPECT_EQ(Ui_Item_GetCheck(w, 3, nullptr), -1);
            }),
            Click(3), Click(8), Call([](UiWindow* w) {
                EXPECT_EQ(ItemIn(w, 3).check, 1);  // left to the item-hit proc
                EXPECT_EQ(ItemIn(w, 8).check, 1);  // toggled itself
                Ui_Item_Enable(w, 3, 0);
            }),
            Click(3)});
    EXPECT_EQ(Joined(gTrace), "hit 3, hit 8");
    EXPECT_EQ(Ui_Headless_Refused(), 1);  // a disabled box cannot be clicked
}

TEST_F(ControlsTest, RectanglesMovesAndTextSelection) {
    Inside([](UiWindow* w) {
        EXPECT_EQ(ItemRect(w, 4), "49,15,114,105");  // 10, 30, 60 x 40 units at 6 x 13
        Ui_Rect r = Ui_Rect_Make(10, 20, 30, 40);
        EXPECT_EQ(Ui_Item_Move(w, 4, &r), 0);
        EXPECT_EQ(ItemRect(w, 4), "10,20,30,40");
        EXPECT_EQ(Ui_Item_GetRect(w, 12, &r), -2);
        EXPECT_TRUE(r.bottom == 1 && r.right == 1);
        EXPECT_EQ(Ui_Item_GetRect(nullptr, 4, &r), -1);

        EXPECT_EQ(Ui_Item_SelectText(w, 5, 1, 2), 0);  // takes the focus too
        EXPECT_TRUE(ItemIn(w, 5).selFirst == 1 && ItemIn(w, 5).selLast == 2);
        EXPECT_EQ(Ui_Headless_Window(w)->focus, 5);
        EXPECT_EQ(Ui_Item_SelectText(w, 5, 3, 0), 0);  // last before first: all
        EXPECT_EQ(ItemIn(w, 5).selLast, 3);
        EXPECT_EQ(Ui_Item_SelectText(w, 7, 0, 1), -2);  // not an edit field
        EXPECT_EQ(Ui_Item_SetDefault(w, 2), 0);
        EXPECT_TRUE(Ui_Headless_Window(w)->defaultItem == 2 && Ui_Headless_Window(w)->focus == 2);
    });
}

TEST_F(ControlsTest, DialogSizeAndBounds) {
    Inside([](UiWindow* w) {
        int16_t width = 0, height = 0;
        ASSERT_EQ(Ui_Dlg_GetSize(w, &width, &height), 0);
        EXPECT_TRUE(width == 300 && height == 195);  // 200 x 120 units at 6 x 13 base units
        Ui_Rect r{};
        ASSERT_EQ(Ui_Dlg_Bounds_Get(w, &r), 0);
        // Centred on the 1280 x 1024 screen, a third of the free height down.
        EXPECT_EQ(RectText(r), "276,490,471,790");
        EXPECT_EQ(Ui_Dlg_SetSize(w, 320, 200), 0);
        ASSERT_EQ(Ui_Dlg_GetClientRect(w, &r), 0);
        EXPECT_EQ(RectText(r), "0,0,200,320");
        EXPECT_EQ(Ui_Dlg_SetSize(w, 0, 200), -1);
        // The record keeps the rectangles of the opening for the owner.
        EXPECT_EQ(Record(w)->bounds.right, 790);
        EXPECT_EQ(Record(w)->clientRect.right, 300);
        EXPECT_EQ(Record(w)->clientRectForResize.bottom, 195);
    });
    EXPECT_EQ(Closed()->width, 320);
}

TEST_F(ControlsTest, RelayoutPlacesTheWindowAndLaysTheItemsOutForItsNewSize) {
    Inside([](UiWindow* w) {
        // 300 x 195 at opening; the new client area is 100 wider and 60 taller.
        const Ui_Rect target = Ui_Rect_Make(10, 20, 265, 420);
        ASSERT_EQ(Ui_Dlg_Relayout(w, &target, 4), 0);
        Ui_Rect r{};
        ASSERT_EQ(Ui_Dlg_Bounds_Get(w, &r), 0);
        EXPECT_EQ(RectText(r), "10,20,265,420");
        ASSERT_EQ(Ui_Dlg_GetClientRect(w, &r), 0);
        EXPECT_EQ(RectText(r), "0,0,255,400");
        // The user item grows, OK (bottom right) moves both ways; the rule itself is the
        // template layout's.
        EXPECT_EQ(ItemRect(w, 4), "49,15,174,205");
        EXPECT_EQ(ItemRect(w, 1), "223,310,245,385");

        // Smaller than the template, or no such item: refused before the window changes.
        const Ui_Rect small = Ui_Rect_Make(0, 0, 100, 100);
        EXPECT_EQ(Ui_Dlg_Relayout(w, &small, 4), -1);
        EXPECT_EQ(Ui_Dlg_Relayout(w, &target, 10), -1);
        EXPECT_EQ(Ui_Dlg_Relayout(nullptr, &target, 4), -1);
        ASSERT_EQ(Ui_Dlg_GetClientRect(w, &r), 0);
        EXPECT_EQ(RectText(r), "0,0,255,400");
    });
    EXPECT_TRUE(Closed()->width == 400 && Closed()->height == 255);
}

TEST_F(ControlsTest, WorkAreaIsTheScreenLessItsTaskBarUnlessATestSaysOtherwise) {
    Ui_Rect area{}, screen{};
    ASSERT_EQ(Ui_Screen_WorkArea(&area), 0);
    EXPECT_EQ(RectText(area), "0,0,984,1280");
    ASSERT_EQ(Ui_Binding()->getScreenRect(&screen), 0);
    EXPECT_TRUE(screen.bottom == 1024 && screen.right == 1280);

    const Ui_Rect other = Ui_Rect_Make(30, 64, 1030, 1664);
    Ui_Headless_SetWorkArea(&other);
    ASSERT_EQ(Ui_Screen_WorkArea(&area), 0);
    EXPECT_EQ(RectText(area), "30,64,1030,1664");
    // A screen that cannot say, or says nothing usable: no area, and the caller's is untouched.
    Ui_Headless_SetWorkArea(nullptr);
    EXPECT_EQ(Ui_Screen_WorkArea(&area), -2);
    EXPECT_EQ(area.bottom, 1030);
    const Ui_Rect empty = Ui_Rect_Make(0, 0, 0, 1280);
    Ui_Headless_SetWorkArea(&empty);
    EXPECT_EQ(Ui_Screen_WorkArea(&area), -2);
    EXPECT_EQ(Ui_Screen_WorkArea(nullptr), -1);
    Ui_Headless_Reset();
    ASSERT_EQ(Ui_Screen_WorkArea(&area), 0);
    EXPECT_EQ(area.bottom, 984);
}

TEST_F(ControlsTest, ADamagedBrushIsReportedWhenTheDialogCloses) {
    Inside([](UiWindow* w) {
        Ui_Color grey = Ui_ColorFromRGB(100, 100, 100);
        ASSERT_EQ(Ui_Draw_SetBackColor(w, &grey), 0);
        Ui_Dlg_Info* info = nullptr;
        ASSERT_EQ(Ui_Dlg_Info_Get(w, &info), 0);
        // One byte past the brush: the block's trailer.
        reinterpret_cast<uint8_t*>(info->solidBrush)[sizeof(Ui_Brush)] ^= 0x55;
    });
    EXPECT_EQ(LogWith("Error deleting selected object.").size(), 1u);
}

TEST_F(ControlsTest, TrackButtonDrawsPressedWhileTheMouseIsInside) {
    static auto draw = [](UiWindow*, int16_t item) -> int32_t {
        gTrace.push_back(item < 0 ? "pressed" : "normal");
        return 0;
    };
    static uint8_t inside = 0;
    static auto track = [](UiWindow* w, int16_t item, int16_t phase) -> int32_t {
        int32_t now = Ui_Item_TrackButton(w, item, phase, inside);
        inside = uint8_t(now == 1);
        if (phase == kUiTrackEnd) return inside;  // released inside: handled as a click
        return phase == kUiTrackBegin ? now : 0;
    };
    static auto init = [](UiWindow* w) -> int32_t {
        Ui_Dlg_SetItemHitProc(w, RecordHits);
        Ui_Dlg_SetTrackProc(w, track);
        return Ui_Dlg_SetDrawProc(w, 4, draw);
    };
    int16_t item = 0;
    // Item 4 spans v 49..113, h 15..104.
    ASSERT_EQ(
        Run(kTestDialog, init, nullptr,
            {Call([](UiWindow*) { gTrace.clear(); }), Press(4, 60, 30), Drag(60, 40), Drag(60, 200),
             Drag(60, 210), Drag(60, 50), Release(60, 50), Press(4, 60, 30), Release(60, 300)},
            &item),
        0);
    EXPECT_EQ(Joined(gTrace),
              "pressed, normal, pressed, normal, "  // press, leave, come back, release inside
              "pressed, normal, hit 4");  // press, release outside: normal again, not handled
}

}  // namespace

namespace {

TEST_F(ControlsTest, UnitsAndClassicPixelsScaleWithTheDialogsFont) {
    Inside([](UiWindow* w) {
        // The test dialog is 8 points: the classic 6 x 13 base units, where pixels stay pixels.
        int32_t h = 0, v = 0;
        ASSERT_EQ(Ui_Dlg_UnitsToPixels(w, 66, 61, &h, &v), 0);
        EXPECT_TRUE(h == 99 && v == 99) << h << " " << v;  // 98.9: each rounded on its own
        ASSERT_EQ(Ui_Dlg_ScalePixels(w, 54, 54, &h, &v), 0);
        EXPECT_TRUE(h == 54 && v == 54);
        EXPECT_EQ(Ui_Dlg_UnitsToPixels(w, 1, 1, nullptr, &v), 0);
        EXPECT_EQ(Ui_Dlg_ScalePixels(nullptr, 1, 1, &h, &v), -1);
    });
    int16_t item = 0;
    ASSERT_EQ(Run(kResizableDialog, nullptr, nullptr, {Call([](UiWindow* w) {
                      // 9 points: 7 x 15, so a classic 54-pixel radius becomes 63 x 62.
                      int32_t h = 0, v = 0;
                      ASSERT_EQ(Ui_Dlg_ScalePixels(w, 54, 54, &h, &v), 0);
                      EXPECT_TRUE(h == 63 && v == 62) << h << " " << v;
                      ASSERT_EQ(Ui_Dlg_UnitsToPixels(w, 240, 160, &h, &v), 0);
                      EXPECT_TRUE(h == 420 && v == 300);
                  })},
                  &item),
              0);
}

TEST_F(ControlsTest, DialogsCentreOnTheScreenWhateverTheirParent) {
    const Ui_Rect area = Ui_Rect_Make(100, 200, 900, 1400);
    Ui_Headless_SetWorkArea(&area);
    Inside([](UiWindow* w) {
        Ui_Rect r{};
        ASSERT_EQ(Ui_Dlg_CentreOnScreen(w), 0);
        ASSERT_EQ(Ui_Dlg_Bounds_Get(w, &r), 0);
        // 300 x 195: centred across the area, a third of the free height down.
        EXPECT_EQ(RectText(r),
                  RectText(Ui_Rect_Make(100 + 201, 200 + 450, 100 + 201 + 195, 200 + 450 + 300)));
    });
}

int32_t gResizes = 0;

int32_t ResizableInit(UiWindow* w) {
    gResizes = 0;
    Ui_Dlg_SetResizeProc(w, [](UiWindow*, int16_t width, int16_t height) -> int32_t {
        ++gResizes;
        gTrace.push_back("resize " + std::to_string(width) + "x" + std::to_string(height));
        return width > 1000 ? -2 : 0;
    });
    return Ui_Dlg_SetResizable(w, 500, 0);
}

TEST_F(ControlsTest, ResizingKeepsTheLimitsMovesItemsByAnchorAndCallsTheResizeProcOnce) {
    int16_t item = 0;
    ASSERT_EQ(Run(kResizableDialog, ResizableInit, nullptr,
                  {Call([](UiWindow* w) {
                       // The owner's own moves stay through every change of size.
                       Ui_Rect r = Ui_Rect_Make(40, 300, 54, 390);
                       Ui_Item_Move(w, 4, &r);
                   }),
                   // Narrower than the owner's smallest width: 500 wide.
                   Resize(600, 400), Resize(100, 100), Call([](UiWindow* w) {
                       Ui_Rect r{};
                       Ui_Dlg_GetClientRect(w, &r);
                       EXPECT_EQ(RectText(r), "0,0,300,500");
                       EXPECT_EQ(ItemRect(w, 4), "40,380,54,470");  // 80 right, back up
                       // The owner's resize: the same steps, its own limits aside.
                       EXPECT_EQ(Ui_Dlg_Resize(w, 450, 310), 0);
                       Ui_Dlg_GetClientRect(w, &r);
                       EXPECT_EQ(RectText(r), "0,0,310,450");
                       EXPECT_EQ(ItemRect(w, 4), "45,330,59,420");
                       EXPECT_EQ(Ui_Dlg_Resize(w, 450, 310), 0);  // nothing new: no proc
                       EXPECT_EQ(Ui_Dlg_Resize(w, 0, 310), -1);
                   }),
                   Resize(1200, 400)},
                  &item),
              0);
    EXPECT_EQ(Joined(gTrace), "resize 600x400, resize 500x300, resize 450x310, resize 1200x400");
    EXPECT_EQ(LogWith("resize proc of dialog 9001 failed (-2)").size(), 1u);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
}

}  // namespace
