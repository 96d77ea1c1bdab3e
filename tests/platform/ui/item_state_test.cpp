// The framework's record of what the items hold: what the person changes is in the record before
// the owner's proc hears of it, the widget shows the record and nothing else, an edit field's
// limit holds for typing and for text set from code alike, and choosing the list entry already
// chosen reaches nobody.
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/item_state.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

const UiHeadlessItem& ItemIn(UiWindow* w, int16_t item) {
    return Ui_Headless_Window(w)->items[item - 1];
}

std::string TextOf(UiWindow* w, int16_t item) {
    char text[kUiItemTextMax + 16];
    Ui_Item_GetText(w, item, text, sizeof text);
    return text;
}

// Writes down, for each item hit, what the record holds for the item at that moment.
int32_t RecordWhatTheOwnerSees(UiWindow* w, int16_t item) {
    std::string seen = "hit " + std::to_string(item);
    int32_t value = 0;
    if (item == 3 || item == 8) {
        Ui_Item_GetCheck(w, item, &value);
        seen += " check " + std::to_string(value);
    } else if (item == 6) {
        Ui_List_GetSelection(w, item, &value);
        seen += " entry " + std::to_string(value);
    } else if (item == 5) {
        seen += " text " + TextOf(w, item);
    }
    gTrace.push_back(seen);
    return 0;
}

class ItemStateTest : public UiTest {
   protected:
    void Script(std::vector<UiScriptEvent> script) {
        int16_t item = 0;
        EXPECT_EQ(Run(
                      kTestDialog,
                      [](UiWindow* w) { return Ui_Dlg_SetItemHitProc(w, RecordWhatTheOwnerSees); },
                      nullptr, std::move(script), &item),
                  0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
    }
};

TEST_F(ItemStateTest, TypedTextIsTheItemsTextAndTheLimitHoldsForTypingAndCodeAlike) {
    Script({Call([](UiWindow* w) { ASSERT_EQ(Ui_Item_SetMaxLength(w, 5, 4), 0); }),
            Type(5, "abcdefg"), Call([](UiWindow* w) {
                EXPECT_EQ(TextOf(w, 5), "abcd");
                EXPECT_STREQ(ItemIn(w, 5).text, "abcd");
                // A shorter limit cuts the text held now, in the record and in the field.
                ASSERT_EQ(Ui_Item_SetMaxLength(w, 5, 2), 0);
                EXPECT_EQ(TextOf(w, 5), "ab");
                EXPECT_STREQ(ItemIn(w, 5).text, "ab");
                ASSERT_EQ(Ui_Item_SetText(w, 5, "xyz"), 0);
                EXPECT_EQ(TextOf(w, 5), "xy");
                EXPECT_STREQ(ItemIn(w, 5).text, "xy");
                // Without a limit a text is kept up to the longest the record holds.
                ASSERT_EQ(Ui_Item_SetMaxLength(w, 5, 0), 0);
                const std::string longText(3000, 'q');
                ASSERT_EQ(Ui_Item_SetText(w, 5, longText.c_str()), 0);
                EXPECT_EQ(TextOf(w, 5), longText.substr(0, kUiItemTextMax - 1));
                ASSERT_EQ(Ui_Item_SetText(w, 7, "Another label"), 0);
                EXPECT_EQ(TextOf(w, 7), "Another label");
                EXPECT_STREQ(ItemIn(w, 7).text, "Another label");
                ASSERT_EQ(Ui_Item_SetText(w, 5, "end"), 0);
            })});
    // The owner read the typed text, cut to the limit, when it heard of the typing.
    ASSERT_FALSE(gTrace.empty());
    EXPECT_EQ(gTrace[0], "hit 5 text abcd");
    EXPECT_STREQ(Closed()->items[4].text, "end");
}

TEST_F(ItemStateTest, AnAutomaticBoxHasToggledWhenTheOwnerHearsAndAnOwnersBoxWaitsForIt) {
    Script({Call([](UiWindow* w) {
                ASSERT_EQ(Ui_Item_SetCheck(w, 8, 2), 0);
                ASSERT_EQ(Ui_Item_SetCheck(w, 3, 1), 0);
                EXPECT_EQ(ItemIn(w, 8).check, 2);
            }),
            Click(8), Click(8), Click(3), Call([](UiWindow* w) {
                // The widgets show the record: the owner of box 3 has not acted on its click.
                EXPECT_EQ(ItemIn(w, 8).check, 1);
                EXPECT_EQ(ItemIn(w, 3).check, 1);
            })});
    // Mixed goes off on a click, as any set state does.
    EXPECT_EQ(Joined(gTrace), "hit 8 check 0, hit 8 check 1, hit 3 check 1");
}

TEST_F(ItemStateTest, ChoosingTheEntryAlreadyChosenReachesNobody) {
    Script({Call([](UiWindow* w) {
                ASSERT_EQ(Ui_List_Fill(w, 6, 1019, 1021), 0);
                ASSERT_EQ(Ui_List_SetSelection(w, 6, 2), 0);
            }),
            // Chosen from code first, then by the person: no change.
            Select(6, 2), Select(6, 3), Select(6, 3), Select(6, 1), Call([](UiWindow* w) {
                EXPECT_EQ(TextOf(w, 6), "Color correction filter for Adobe Photoshop");
                EXPECT_EQ(ItemIn(w, 6).listSelection, 0);
                // Filling again leaves nothing chosen, so the same entry is a change again.
                ASSERT_EQ(Ui_List_Fill(w, 6, 1019, 1021), 0);
                EXPECT_EQ(TextOf(w, 6), "");
            }),
            Select(6, 1)});
    EXPECT_EQ(Joined(gTrace), "hit 6 entry 3, hit 6 entry 1, hit 6 entry 1");
}

}  // namespace
