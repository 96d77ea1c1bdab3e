// Control helpers on a running dialog: linked companions, lists from string ids, text that is
// set only when it changes, check boxes, rectangles, focus and the track button.
#include <string>

#include "platform/alert.h"
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

class ControlsTest : public UiTest {
   protected:
    // Runs the test dialog with one call of fn inside it.
    void Inside(std::function<void(UiWindow*)> fn) {
        int16_t item = 0;
        ASSERT_EQ(Run(kTestDialog, InitHits, nullptr, {Call(std::move(fn))}, &item), 0);
        EXPECT_EQ(item, 2);
    }
};

TEST_F(ControlsTest, ShowAndHideTakeTheLinkedCompanionAlong) {
    Inside([](UiWindow* w) {
        ASSERT_EQ(Ui_Item_SetLink(w, 4, 7), 0);
        ASSERT_EQ(Ui_Item_SetLink(w, 7, 4), 0);  // linking back must not loop
        EXPECT_EQ(Ui_Item_Show(w, 4, 0), 0);
        EXPECT_FALSE(ItemIn(w, 4).visible);
        EXPECT_FALSE(ItemIn(w, 7).visible);
        EXPECT_TRUE(ItemIn(w, 9).visible);
        EXPECT_EQ(Ui_Item_Show(w, 7, 1), 0);
        EXPECT_TRUE(ItemIn(w, 4).visible);
        EXPECT_TRUE(ItemIn(w, 7).visible);
        ASSERT_EQ(Ui_Item_SetLink(w, 4, 0), 0);
        EXPECT_EQ(Ui_Item_Show(w, 4, 0), 0);
        EXPECT_TRUE(ItemIn(w, 7).visible);
        EXPECT_EQ(Ui_Item_SetLink(w, 4, 4), -2);
        EXPECT_EQ(Ui_Item_SetLink(w, 4, 10), -2);
        EXPECT_EQ(Ui_Item_Show(w, 10, 1), -2);
    });
}

TEST_F(ControlsTest, ListsFillFromStringIdsAndSelectOneBased) {
    Inside([](UiWindow* w) {
        int32_t selection = -1;
        ASSERT_EQ(Ui_List_Fill(w, 6, 1019, 1021), 0);
        const UiHeadlessItem& list = ItemIn(w, 6);
        ASSERT_EQ(list.listCount, 3);
        EXPECT_STREQ(list.list[0], "Color correction filter for Adobe Photoshop");
        EXPECT_STREQ(list.list[2], "Made by Lumetra");
        EXPECT_EQ(Ui_List_GetSelection(w, 6, &selection), 0);
        EXPECT_EQ(selection, 0);  // nothing selected yet
        EXPECT_EQ(Ui_List_SetSelection(w, 6, 3), 0);
        EXPECT_EQ(list.listSelection, 2);
        EXPECT_EQ(Ui_List_GetSelection(w, 6, &selection), 0);
        EXPECT_EQ(selection, 3);
        EXPECT_EQ(Ui_List_SetSelection(w, 6, 0), -2);
        EXPECT_EQ(Ui_List_SetSelection(w, 6, 4), -2);
        int32_t id = 0;
        EXPECT_EQ(Ui_List_StringId(w, 6, 2, &id), 0);
        EXPECT_EQ(id, 1020);
        char text[64];
        EXPECT_EQ(Ui_Item_GetText(w, 6, text, sizeof text), 0);
        EXPECT_STREQ(text, "Made by Lumetra");

        // Filling again replaces the list and clears the selection.
        ASSERT_EQ(Ui_List_Fill(w, 6, 6800, 6802), 0);
        EXPECT_EQ(list.listCount, 3);
        EXPECT_STREQ(list.list[1], "icc");
        EXPECT_EQ(Ui_List_GetSelection(w, 6, &selection), 0);
        EXPECT_EQ(selection, 0);

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
    });
}

TEST_F(ControlsTest, ListChoiceByThePersonIsASelectionChange) {
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, InitHits, nullptr,
                  {Call([](UiWindow* w) { Ui_List_Fill(w, 6, 1019, 1021); }), Select(6, 2),
                   Call([](UiWindow* w) {
                       int32_t selection = 0;
                       Ui_List_GetSelection(w, 6, &selection);
                       EXPECT_EQ(selection, 2);
                   }),
                   Select(6, 4)},
                  &item),
              0);
    EXPECT_EQ(Joined(gTrace), "hit 6");
    EXPECT_EQ(Ui_Headless_Refused(), 1);  // there is no fourth entry to choose
}

TEST_F(ControlsTest, SetTextChangesOnlyWhatDiffersSoUnchangedFieldsSendNoNotification) {
    Inside([](UiWindow* w) {
        EXPECT_EQ(Ui_Item_SetText(w, 5, "abc"), 0);  // the template's text
        EXPECT_TRUE(gTrace.empty());
        EXPECT_EQ(Ui_Item_SetText(w, 5, "ab"), 0);  // a prefix still differs
        EXPECT_EQ(Ui_Item_SetText(w, 5, "ab"), 0);
        EXPECT_EQ(Ui_Item_SetText(w, 5, "abcd"), 0);
        EXPECT_EQ(Joined(gTrace), "hit 5, hit 5");
        EXPECT_STREQ(ItemIn(w, 5).text, "abcd");
        char text[3];
        EXPECT_EQ(Ui_Item_GetText(w, 5, text, sizeof text), 0);
        EXPECT_STREQ(text, "ab");  // cut to the buffer
        EXPECT_EQ(Ui_Item_SetText(w, 5, ""), 0);
        text[0] = 'x';
        EXPECT_EQ(Ui_Item_GetText(w, 5, text, sizeof text), -2);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(Ui_Item_GetText(w, 5, text, 0), -1);
        EXPECT_EQ(Ui_Item_SetText(w, 7, "New label"), 0);
        EXPECT_STREQ(ItemIn(w, 7).text, "New label");
    });
}

TEST_F(ControlsTest, CheckBoxesHoldThreeStatesAndOnlyAutoBoxesToggleThemselves) {
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, InitHits, nullptr,
                  {Call([](UiWindow* w) {
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
                   }),
                   Call([](UiWindow* w) { Ui_Item_Enable(w, 3, 0); }), Click(3)},
                  &item),
              0);
    EXPECT_EQ(Joined(gTrace), "hit 3, hit 8");
    EXPECT_EQ(Ui_Headless_Refused(), 1);  // a disabled box cannot be clicked
}

TEST_F(ControlsTest, RectanglesMovesAndFocus) {
    Inside([](UiWindow* w) {
        Ui_Rect r{};
        ASSERT_EQ(Ui_Item_GetRect(w, 4, &r), 0);
        // 10, 30, 60 x 40 dialog units at 6 x 13 base units.
        EXPECT_EQ(r.left, 15);
        EXPECT_EQ(r.top, 49);
        EXPECT_EQ(r.right, 105);
        EXPECT_EQ(r.bottom, 114);
        Ui_Rect moved = Ui_Rect_Make(10, 20, 30, 40);
        EXPECT_EQ(Ui_Item_Move(w, 4, &moved), 0);
        ASSERT_EQ(Ui_Item_GetRect(w, 4, &r), 0);
        EXPECT_EQ(r.top, 10);
        EXPECT_EQ(r.right, 40);
        EXPECT_EQ(Ui_Item_GetRect(w, 12, &r), -2);
        EXPECT_EQ(r.bottom, 1);
        EXPECT_EQ(r.right, 1);
        EXPECT_EQ(Ui_Item_GetRect(nullptr, 4, &r), -1);

        EXPECT_EQ(Ui_Item_SetFocus(w, 5), 0);
        EXPECT_EQ(Ui_Headless_Window(w)->focus, 5);
        EXPECT_EQ(Ui_Item_SetFocus(w, -1), 0);
        EXPECT_EQ(Ui_Headless_Window(w)->focus, -1);
        EXPECT_EQ(Ui_Item_SelectText(w, 5, 1, 2), 0);
        EXPECT_EQ(ItemIn(w, 5).selFirst, 1);
        EXPECT_EQ(ItemIn(w, 5).selLast, 2);
        EXPECT_EQ(Ui_Headless_Window(w)->focus, 5);
        EXPECT_EQ(Ui_Item_SelectText(w, 5, 3, 0), 0);  // last before first: all
        EXPECT_EQ(ItemIn(w, 5).selLast, 3);
        EXPECT_EQ(Ui_Item_SelectText(w, 7, 0, 1), -2);  // not an edit field
        EXPECT_EQ(Ui_Item_SetDefault(w, 2), 0);
        EXPECT_EQ(Ui_Headless_Window(w)->defaultItem, 2);
        EXPECT_EQ(Ui_Headless_Window(w)->focus, 2);
        EXPECT_EQ(Ui_Item_PlainStyle(w, 3), 0);
        EXPECT_TRUE(ItemIn(w, 3).plainStyle);
    });
}

TEST_F(ControlsTest, DialogTitleSizeAndBounds) {
    Inside([](UiWindow* w) {
        EXPECT_EQ(Ui_Dlg_SetTitle(w, "Renamed"), 0);
        EXPECT_STREQ(Ui_Headless_Window(w)->title, "Renamed");
        int16_t width = 0, height = 0;
        ASSERT_EQ(Ui_Dlg_GetSize(w, &width, &height), 0);
        EXPECT_EQ(width, 300);  // 200 x 120 units at 6 x 13 base units
        EXPECT_EQ(height, 195);
        Ui_Rect bounds{};
        ASSERT_EQ(Ui_Dlg_Bounds_Get(w, &bounds), 0);
        // Centred on the 1280 x 1024 screen, a third of the free height down.
        EXPECT_EQ(bounds.left, 490);
        EXPECT_EQ(bounds.top, 276);
        EXPECT_EQ(Ui_Dlg_SetSize(w, 320, 200), 0);
        Ui_Rect client{};
        ASSERT_EQ(Ui_Dlg_GetClientRect(w, &client), 0);
        EXPECT_EQ(client.right, 320);
        EXPECT_EQ(client.bottom, 200);
        EXPECT_EQ(Ui_Dlg_SetSize(w, 0, 200), -1);
        // The record keeps the rectangles of the opening for the owner.
        EXPECT_EQ(Record(w)->bounds.right, 790);
        EXPECT_EQ(Record(w)->clientRect.right, 300);
        EXPECT_EQ(Record(w)->clientRect2.bottom, 195);
    });
    EXPECT_EQ(Joined(LogWith("Ui_Dlg_Bounds_Get")), "Ui_Dlg_Bounds_Get: 490,276 790,471");
    EXPECT_EQ(Closed()->width, 320);
}

TEST_F(ControlsTest, RelayoutPlacesTheWindowAndLaysTheItemsOutForItsNewSize) {
    Inside([](UiWindow* w) {
        // 300 x 195 at opening; the new client area is 100 wider and 60 taller.
        const Ui_Rect target = Ui_Rect_Make(10, 20, 265, 420);
        ASSERT_EQ(Ui_Dlg_Relayout(w, &target, 4), 0);
        Ui_Rect r{};
        ASSERT_EQ(Ui_Dlg_Bounds_Get(w, &r), 0);
        EXPECT_TRUE(r.top == 10 && r.left == 20 && r.bottom == 265 && r.right == 420);
        ASSERT_EQ(Ui_Dlg_GetClientRect(w, &r), 0);
        EXPECT_TRUE(r.right == 400 && r.bottom == 255);
        // The user item grows; OK (bottom right) moves both ways, the edit field (top, right of
        // the middle) only right, the check box (top left) stays.
        ASSERT_EQ(Ui_Item_GetRect(w, 4, &r), 0);
        EXPECT_TRUE(r.top == 49 && r.left == 15 && r.bottom == 174 && r.right == 205);
        ASSERT_EQ(Ui_Item_GetRect(w, 1, &r), 0);
        EXPECT_TRUE(r.top == 223 && r.left == 310 && r.bottom == 245 && r.right == 385);
        ASSERT_EQ(Ui_Item_GetRect(w, 5, &r), 0);
        EXPECT_TRUE(r.top == 16 && r.left == 220);
        ASSERT_EQ(Ui_Item_GetRect(w, 3, &r), 0);
        EXPECT_TRUE(r.top == 16 && r.left == 15);

        // Smaller than the template, or no such item: refused before the window changes.
        const Ui_Rect small = Ui_Rect_Make(0, 0, 100, 100);
        EXPECT_EQ(Ui_Dlg_Relayout(w, &small, 4), -1);
        EXPECT_EQ(Ui_Dlg_Relayout(w, &target, 10), -1);
        EXPECT_EQ(Ui_Dlg_Relayout(nullptr, &target, 4), -1);
        ASSERT_EQ(Ui_Dlg_GetClientRect(w, &r), 0);
        EXPECT_TRUE(r.right == 400 && r.bottom == 255);
    });
    EXPECT_EQ(Closed()->width, 400);
    EXPECT_EQ(Closed()->height, 255);
}

TEST_F(ControlsTest, WorkAreaIsTheScreenLessItsTaskBarUnlessATestSaysOtherwise) {
    Ui_Rect area{}, screen{};
    ASSERT_EQ(Ui_Screen_WorkArea(&area), 0);
    EXPECT_TRUE(area.top == 0 && area.left == 0 && area.bottom == 984 && area.right == 1280);
    ASSERT_EQ(Ui_Binding()->getScreenRect(&screen), 0);
    EXPECT_TRUE(screen.bottom == 1024 && screen.right == 1280);

    const Ui_Rect other = Ui_Rect_Make(30, 64, 1030, 1664);
    Ui_Headless_SetWorkArea(&other);
    ASSERT_EQ(Ui_Screen_WorkArea(&area), 0);
    EXPECT_TRUE(area.top == 30 && area.left == 64 && area.bottom == 1030 && area.right == 1664);
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

TEST_F(ControlsTest, SelectingTextWhileAnotherDialogIsInFrontIsRefused) {
    static UiWindow* outer = nullptr;
    UiScriptEvent check = Call([](UiWindow*) {
        // The alert is in front now; the outer dialog cannot take the focus.
        EXPECT_EQ(Ui_Item_SelectText(outer, 5, 0, 1), -9);
    });
    check.dialogId = 6000;
    UiScriptEvent close = Click(1);
    close.dialogId = 6000;
    static auto hit = [](UiWindow* w, int16_t item) -> int32_t {
        if (item == 3) {
            outer = w;
            Ui_Alert_Note(Record(w)->state, "Note", nullptr, 0);
        }
        return 0;
    };
    static auto init = [](UiWindow* w) -> int32_t { return Ui_Dlg_SetItemHitProc(w, hit); };
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, init, nullptr, {Click(3), check, close}, &item), 0);
    EXPECT_EQ(Ui_Headless_Remaining(), 0);
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
