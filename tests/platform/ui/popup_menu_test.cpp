// Context menus and pop-up menus: where a context click goes, what a menu shows (texts from the
// string table, switches, greyed entries) and what comes back from choosing, dismissing or
// trying a greyed entry.
#include <string>
#include <vector>

#include "platform/ui/dlg.h"
#include "platform/ui/popup_menu.h"
#include "resources/ids/strings.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

std::vector<std::string> gContexts;  // "item v,h" per context proc call
std::vector<int32_t> gChosen;        // the answer of each menu

int32_t RecordContext(UiWindow*, int16_t item, int16_t v, int16_t h) {
    gContexts.push_back(std::to_string(item) + " " + std::to_string(v) + "," + std::to_string(h));
    return 0;
}

// A menu of an action, a switch that is on and a greyed action.
int32_t ShowMenu(UiWindow* w, int16_t, int16_t v, int16_t h) {
    const Ui_MenuEntry entries[] = {{kStrReplace, kUiMenuAction, 1},
                                    {kStrMenuClippingView, kUiMenuOn, 1},
                                    {kStrMenuZoom100, kUiMenuAction, 0}};
    int32_t chosen = -7;
    EXPECT_EQ(Ui_Menu_PopUp(w, v, h, entries, 3, &chosen), 0);
    gChosen.push_back(chosen);
    return 0;
}

int32_t WithProc(UiWindow* w) {
    Ui_Dlg_SetContextProc(w, RecordContext);
    return 0;
}

int32_t WithMenu(UiWindow* w) {
    Ui_Dlg_SetContextProc(w, ShowMenu);
    return 0;
}

class PopupMenuTest : public UiTest {
   protected:
    void SetUp() override {
        UiTest::SetUp();
        gContexts.clear();
        gChosen.clear();
    }
};

TEST_F(PopupMenuTest, AContextClickReachesTheProcWithItsItemAndPoint) {
    int16_t item = 0;
    // Check box 3 is 60 x 10 units at (10, 10): 90 x 16 pixels from (15, 16); its centre (24, 60).
    ASSERT_EQ(Run(kTestDialog, WithProc, nullptr,
                  {Context(3), Context(3, 20, 30), Context(0, 150, 200)}, &item),
              0);
    EXPECT_EQ(Joined(gContexts), Joined({"3 24,60", "3 20,30", "0 150,200"}));
    // Without a context proc a context click does nothing, and needs no answer.
    ASSERT_EQ(Run(kTestDialog, nullptr, nullptr, {Context(3), Click(3)}, &item), 0);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
    EXPECT_EQ(Ui_Headless_MenuCalls(), 0);
}

TEST_F(PopupMenuTest, AMenuShowsItsTextsAndSwitchesAndAnswersWhatWasChosen) {
    int16_t item = 0;
    ASSERT_EQ(
        Run(kTestDialog, WithMenu, nullptr,
            {Context(3, 20, 30), MenuChoice(2), Context(3), MenuChoice(0), Context(3)}, &item),
        0);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
    // Chosen, dismissed, and closed by a click elsewhere (no answer in the script).
    EXPECT_EQ(gChosen, (std::vector<int32_t>{1, -1, -1}));
    EXPECT_EQ(Ui_Headless_MenuCalls(), 3);
    const UiHeadlessMenu* m = Ui_Headless_LastMenu();
    ASSERT_EQ(m->count, 3);
    EXPECT_STREQ(m->text[0], "Replace");
    EXPECT_STREQ(m->text[1], "Show Clipping While Dragging Black or White Point");
    EXPECT_EQ(m->mark[0], kUiMenuAction);
    EXPECT_EQ(m->mark[1], kUiMenuOn);
    EXPECT_EQ(m->enabled[2], 0);
    EXPECT_EQ(m->v, 24);
    EXPECT_EQ(m->h, 60);
}

TEST_F(PopupMenuTest, AGreyedEntryCannotBeChosenAndBadMenusAreRefused) {
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, WithMenu, nullptr, {Context(3), MenuChoice(3)}, &item), 0);
    EXPECT_EQ(gChosen, (std::vector<int32_t>{-1}));
    EXPECT_EQ(Ui_Headless_Refused(), 1);

    const int32_t menusBefore = Ui_Headless_MenuCalls();
    ASSERT_EQ(Run(
                  kTestDialog,
                  [](UiWindow* w) {
                      const Ui_MenuEntry one[] = {{kStrReplace, kUiMenuAction, 1}};
                      Ui_MenuEntry many[kUiMenuMaxEntries + 1];
                      for (Ui_MenuEntry& e : many) e = one[0];
                      int32_t chosen = 5;
                      EXPECT_EQ(Ui_Menu_PopUp(w, 0, 0, one, 0, &chosen), -1);
                      EXPECT_EQ(chosen, -1);
                      EXPECT_EQ(Ui_Menu_PopUp(w, 0, 0, many, kUiMenuMaxEntries + 1, &chosen), -1);
                      EXPECT_EQ(Ui_Menu_PopUp(nullptr, 0, 0, one, 1, &chosen), -1);
                      EXPECT_EQ(Ui_Menu_PopUp(w, 0, 0, one, 1, nullptr), -1);
                      return 0;
                  },
                  nullptr, {}, &item),
              0);
    EXPECT_EQ(Ui_Headless_MenuCalls(), menusBefore) << "no menu for bad arguments";
}

}  // namespace
