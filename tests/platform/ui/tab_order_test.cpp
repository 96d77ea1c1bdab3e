// Tab and Shift+Tab in reading order: the test dialog, whose item numbers run against the way it
// reads; what Tab skips and follows (hidden, disabled and moved items, a user item with the
// focus, a user item marked as a stop); and the Preferences dialog, two columns with a divider and
// a row of buttons below.
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/headless/headless.h"
#include "resources/ids/dlg_preferences.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

constexpr int32_t kTab = 9;

std::vector<int16_t> Order(UiWindow* w) {
    int16_t order[256];
    const int32_t n = Ui_Headless_TabOrder(w, order, 256);
    return std::vector<int16_t>(order, order + n);
}

int16_t Focus(UiWindow* w) {
    return Ui_Headless_Window(w)->focus;
}

UiScriptEvent ShiftTab() {
    return Holding(Key(kTab), 0, 0, 1);
}

class TabOrderTest : public UiTest {};

// Test dialog (dialog units): check 3, edit 5 and check 8 on the first row; user item 4, combo 6
// with label 7 below it, and user item 9 on the second; Cancel 2 and OK 1 at the bottom.
TEST_F(TabOrderTest, TabGoesThroughTheTestDialogRowByRowAndShiftTabComesBack) {
    std::vector<int16_t> forward, backward;
    std::vector<UiScriptEvent> script = {
        Call([](UiWindow* w) {
            EXPECT_EQ(Order(w), (std::vector<int16_t>{3, 5, 8, 6, 2, 1}));
        }),
        Click(3)};
    for (int i = 0; i < 6; ++i) {
        script.push_back(Key(kTab));
        script.push_back(Call([&](UiWindow* w) { forward.push_back(Focus(w)); }));
    }
    for (int i = 0; i < 6; ++i) {
        script.push_back(ShiftTab());
        script.push_back(Call([&](UiWindow* w) { backward.push_back(Focus(w)); }));
    }
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, nullptr, nullptr, script, &item), 0);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
    EXPECT_EQ(forward, (std::vector<int16_t>{5, 8, 6, 2, 1, 3}));
    EXPECT_EQ(backward, (std::vector<int16_t>{1, 2, 6, 8, 5, 3}));
}

TEST_F(TabOrderTest, TabSkipsHiddenAndDisabledItemsFollowsMovedOnesAndGoesOnFromAUserItem) {
    std::vector<int16_t> focus;
    auto note = [&](UiWindow* w) { focus.push_back(Focus(w)); };
    const std::vector<UiScriptEvent> script = {
        // A user item with the focus takes its place in the order: after the first row's end,
        // before the combo beside it.
        Key(kTab, 4),
        Call(note),
        Holding(Key(kTab, 4), 0, 0, 1),
        Call(note),
        Call([](UiWindow* w) {
            Ui_Item_Show(w, 5, 0);
            Ui_Item_Enable(w, 8, 0);
            EXPECT_EQ(Order(w), (std::vector<int16_t>{3, 6, 2, 1}));
            // OK moves to the left of Cancel, as a dialog that grows may place it.
            Ui_Rect cancel{}, ok{};
            Ui_Item_GetRect(w, 2, &cancel);
            Ui_Item_GetRect(w, 1, &ok);
            const int16_t width = int16_t(ok.right - ok.left);
            Ui_Rect moved{cancel.top, int16_t(cancel.left - width - 20), cancel.bottom,
                          int16_t(cancel.left - 20)};
            Ui_Item_Move(w, 1, &moved);
            EXPECT_EQ(Order(w), (std::vector<int16_t>{3, 6, 1, 2}));
        }),
        Click(3),
        Key(kTab),
        Call(note),
        Key(kTab),
        Call(note)};
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, nullptr, nullptr, script, &item), 0);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
    EXPECT_EQ(focus, (std::vector<int16_t>{6, 8, 6, 1}));
}

// A user item its owner marks (a slider) is a stop in its place, reports the focus and can be
// unmarked again; other kinds of items cannot be marked.
TEST_F(TabOrderTest, AUserItemMarkedAsATabStopIsReachedInItsPlace) {
    std::vector<int16_t> focus;
    const std::vector<UiScriptEvent> script = {
        Call([](UiWindow* w) {
            EXPECT_EQ(Ui_Item_SetTabStop(w, 4, 1), kStatusOk);
            EXPECT_NE(Ui_Item_SetTabStop(w, 3, 1), kStatusOk);
            EXPECT_EQ(Order(w), (std::vector<int16_t>{3, 5, 8, 4, 6, 2, 1}));
        }),
        Click(8),
        Key(kTab),
        Call([&](UiWindow* w) { focus.push_back(Ui_Item_Focused(w)); }),
        Key(kTab),
        Call([&](UiWindow* w) {
            focus.push_back(Ui_Item_Focused(w));
            EXPECT_EQ(Ui_Item_SetTabStop(w, 4, 0), kStatusOk);
            EXPECT_EQ(Order(w), (std::vector<int16_t>{3, 5, 8, 6, 2, 1}));
        })};
    int16_t item = 0;
    ASSERT_EQ(Run(kTestDialog, nullptr, nullptr, script, &item), 0);
    EXPECT_EQ(focus, (std::vector<int16_t>{4, 6}));
}

// Hidden items take no part in the cuts: the twenty hidden controls of the Preferences dialog
// all sit in its top left corner.
TEST_F(TabOrderTest, ThePreferencesDialogIsReadColumnByColumnWithItsButtonsLast) {
    const std::vector<int16_t> expected = {kPreferencesOkMode,
                                           kPreferencesStartWith,
                                           kPreferencesStartAllSame,
                                           kPreferencesStart1With,
                                           kPreferencesStart2With,
                                           kPreferencesStart3With,
                                           kPreferencesStart4With,
                                           kPreferencesLoadCustom,
                                           kPreferencesKeenhuePrefs,
                                           kPreferencesLiveSliders,
                                           kPreferencesSharpening,
                                           kPreferencesNoiseRemoval,
                                           kPreferencesShowSampledRegion,
                                           kPreferencesShowPixelValues,
                                           kPreferencesShowCurveControl,
                                           kPreferencesShowMethodMenu,
                                           kPreferencesShowStartUpGuide,
                                           kPreferencesRestoreDefaults,
                                           kPreferencesCancel,
                                           kPreferencesOk};
    std::vector<int16_t> order;
    int16_t item = 0;
    ASSERT_EQ(Run(kDlgPreferences, nullptr, nullptr, {Call([&](UiWindow* w) { order = Order(w); })},
                  &item),
              0);
    EXPECT_EQ(order, expected);
}

}  // namespace
