// Dialog templates: the text format, its errors, the dialog-unit rule and the templates that
// ship in the resource archive.
#include <cstring>
#include <string>

#include "platform/resources.h"
#include "platform/ui/dlg_template.h"
#include "platform/ui/draw.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

int32_t Parse(const std::string& text, Ui_DlgTemplate** t, int32_t* line = nullptr) {
    return Ui_Template_Parse(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()),
                             t, line);
}

struct Freer {
    Ui_DlgTemplate* t = nullptr;
    ~Freer() { Ui_Template_Free(&t); }
};

TEST(TemplateFormat, ParsesItemsFlagsAndEscapesAcrossLineEndings) {
    Freer f;
    ASSERT_EQ(Parse("# comment\r\n\r\ndialog 42 100 50\r\ntitle \"Say \\\"hi\\\"\"\r\n"
                    "font \"Tahoma\" 9\r\n"
                    "item 1 button 1 2 30 14 \"OK\" default\r\n"
                    "item 2 static 5 6 7 8 \"a\\\\b\\nc\" center nowrap hidden\r\n"
                    "  item 3 check 0 0 4000 4000 \"\" auto disabled",
                    &f.t),
              0);
    EXPECT_TRUE(f.t->id == 42 && f.t->width == 100 && f.t->height == 50);
    EXPECT_STREQ(f.t->title, "Say \"hi\"");
    EXPECT_STREQ(f.t->fontFace, "Tahoma");
    EXPECT_EQ(f.t->fontPoints, 9);
    ASSERT_EQ(f.t->itemCount, 3);
    const Ui_DlgItem* two = Ui_Template_Item(f.t, 2);
    EXPECT_EQ(two->kind, kUiItemStatic);
    EXPECT_STREQ(two->text, "a\\b\nc");
    EXPECT_EQ(two->flags, kUiFlagCenter | kUiFlagNoWrap | kUiFlagHidden);
    // x, y, width, height become top, left, bottom, right.
    EXPECT_TRUE(two->units.top == 6 && two->units.left == 5 && two->units.bottom == 14 &&
                two->units.right == 12);
    EXPECT_EQ(Ui_Template_Item(f.t, 3)->flags, kUiFlagAuto | kUiFlagDisabled);
    EXPECT_EQ(Ui_Template_Item(f.t, 4), nullptr);
    EXPECT_EQ(Ui_Template_Item(f.t, 0), nullptr);

    // Items separated from their keyword by tabs count as items (one once went uncounted and
    // was written past the template's block).
    Freer tabs;
    ASSERT_EQ(Parse("dialog 1 100 100\nitem\t1 button 0 0 10 10 \"\"\nitem\t2\tcheck 0 0 9 9 \"x\"",
                    &tabs.t),
              0);
    EXPECT_EQ(tabs.t->itemCount, 2);
    EXPECT_EQ(Ui_Template_Item(tabs.t, 2)->kind, kUiItemCheck);
}

TEST(TemplateFormat, RejectsWhatWouldMisnumberOrMisplaceItems) {
    const std::string head = "dialog 1 100 100\n";
    struct Case {
        std::string text;
        int32_t line;
    } cases[] = {
        {head + "item 2 button 0 0 10 10 \"\"", 2},                              // numbering gap
        {head + "item 1 button 0 0 10 10 \"\"\nitem 1 button 0 0 1 1 \"\"", 3},  // repeated
        {head + "item 1 slider 0 0 10 10 \"\"", 2},                              // unknown kind
        {head + "item 1 button 0 0 10 10 \"\" bold", 2},                         // unknown flag
        {head + "item 1 button 0 0 10 10 \"open", 2},   // unterminated text
        {head + "item 1 button 0 0 10 10 OK", 2},       // unquoted text
        {head + "item 1 button 0 -1 10 10 \"\"", 2},    // negative coordinate
        {head + "item 1 button 3990 0 20 10 \"\"", 2},  // edge past 4000
        {head + "item 1 button 0 0 10 \"\"", 2},        // missing height
        {head + "item 1 button 0 0 10 10 \"\\t\"", 2},  // unknown escape
        {head + "colour red", 2},                       // unknown keyword
        {"item 1 button 0 0 10 10 \"\"\n" + head, 1},   // before the dialog
        {"# only a comment\n", 1},                      // no dialog line
        {head + "dialog 2 100 100", 2},                 // second dialog line
        {head + "item 1 button 0 0 10 10 \"" + std::string(200, 'x') + "\"", 2},  // too long
    };
    for (const Case& c : cases) {
        Ui_DlgTemplate* t = nullptr;
        int32_t line = 0;
        EXPECT_EQ(Parse(c.text, &t, &line), -8) << c.text;
        EXPECT_EQ(line, c.line) << c.text;
        EXPECT_EQ(t, nullptr);
    }
    Ui_DlgTemplate* t = nullptr;
    EXPECT_EQ(Ui_Template_Parse(nullptr, 0, &t, nullptr), -1);
}

TEST(DialogUnits, FollowTheWin32RuleFromTheFontsAverageCharacter) {
    // MulDiv rounds halves away from zero.
    EXPECT_EQ(Ui_MulDiv(87, 13, 8), 141);  // 141.375
    EXPECT_EQ(Ui_MulDiv(60, 13, 8), 98);   // 97.5
    EXPECT_EQ(Ui_MulDiv(-60, 13, 8), -98);
    EXPECT_EQ(Ui_MulDiv(235, 6, 4), 353);  // 352.5
    EXPECT_EQ(Ui_MulDiv(1, 1, 0), -1);
    EXPECT_EQ(Ui_MulDiv(70000, 70000, 70000), 70000);  // no 32-bit overflow inside

    // Average width: (width of the 52 letters / 26 + 1) / 2.
    Ui_BaseUnits base{};
    ASSERT_EQ(Ui_BaseUnitsFromFont(312, 13, &base), 0);
    EXPECT_TRUE(base.x == 6 && base.y == 13);
    ASSERT_EQ(Ui_BaseUnitsFromFont(337, 16, &base), 0);  // 12.96 per pair: rounds to 6
    EXPECT_EQ(base.x, 6);
    ASSERT_EQ(Ui_BaseUnitsFromFont(338, 16, &base), 0);  // 13 per pair: 7
    EXPECT_EQ(base.x, 7);
    EXPECT_EQ(Ui_BaseUnitsFromFont(0, 13, &base), -1);

    // The alert box's OK button, 235, 87, 44 x 12 units, each edge on its own.
    base = {6, 13};
    Ui_Rect units = Ui_Rect_Make(87, 235, 99, 279), pixels{};
    ASSERT_EQ(Ui_UnitsToPixels(&base, &units, &pixels), 0);
    EXPECT_EQ(RectText(pixels), "141,353,161,419");  // bottom 160.875, right 418.5
    base = {31, 13};
    EXPECT_EQ(Ui_UnitsToPixels(&base, &units, &pixels), -1);
}

TEST(DialogUnits, LargerLayoutsGrowOneItemAndKeepTheOthersToTheNearerSide) {
    // Base units 4 x 8 make dialog units pixels, so the rectangles read as they are written.
    Freer f;
    ASSERT_EQ(Parse("dialog 1 100 80\n"
                    "item 1 user 10 10 50 40 \"\"\n"     // the one that grows
                    "item 2 button 70 10 20 10 \"\"\n"   // top right
                    "item 3 button 10 60 20 10 \"\"\n"   // bottom left
                    "item 4 button 70 60 20 10 \"\"\n"   // bottom right
                    "item 5 static 40 30 20 20 \"\"\n"   // exactly in the middle
                    "item 6 button 110 0 10 10 \"\"\n",  // beyond the right side
                    &f.t),
              0);
    const Ui_BaseUnits base{4, 8};
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, 1), 0);
    EXPECT_EQ(RectText(f.t->client), "0,0,100,150");
    EXPECT_EQ(RectText(f.t->items[0].pixels), "10,10,70,110");
    EXPECT_EQ(RectText(f.t->items[1].pixels), "10,120,20,140");
    EXPECT_EQ(RectText(f.t->items[2].pixels), "80,10,90,30");
    EXPECT_EQ(RectText(f.t->items[3].pixels), "80,120,90,140");
    EXPECT_EQ(RectText(f.t->items[4].pixels), "30,40,50,60");
    EXPECT_EQ(RectText(f.t->items[5].pixels), "0,160,10,170");

    // Each layout starts from the template: its own size gives the plain layout back.
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 100, 80, 1), 0);
    EXPECT_EQ(RectText(f.t->items[0].pixels), "10,10,50,60");
    EXPECT_EQ(RectText(f.t->items[1].pixels), "10,70,20,90");
    // Without a growing item every item keeps to its side, the first one to the top left.
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, 0), 0);
    EXPECT_EQ(RectText(f.t->items[0].pixels), "10,10,50,60");
    EXPECT_EQ(RectText(f.t->items[3].pixels), "80,120,90,140");

    // Refused: smaller than the template, an item that does not exist, an item pushed past the
    // 16-bit range. A refusal leaves the plain layout, not half of the larger one.
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 99, 100, 1), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 79, 1), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, 7), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, -1), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 32768, 100, 1), -1);
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, 1), 0);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 32760, 100, 1), -1);  // item 6 would end past
    EXPECT_EQ(RectText(f.t->items[0].pixels), "10,10,50,60");
    EXPECT_EQ(RectText(f.t->client), "0,0,80,100");
    EXPECT_EQ(Ui_Template_LayoutSized(nullptr, &base, 150, 100, 1), -1);
}

TEST(DialogUnits, AnchoredItemsFollowTheirAnchorAndMoveTogether) {
    // 4 x 8 base units again; the window grows by 60 x 31.
    Freer f;
    ASSERT_EQ(Parse("dialog 1 100 80\n"
                    "item 1 user 10 10 50 40 \"\"\n"    // stretches both ways
                    "item 2 button 70 10 20 10 \"\"\n"  // a group that stays centred
                    "item 3 button 70 30 20 10 \"\"\n"
                    "item 4 button 70 60 20 10 \"\"\n"  // bottom right corner
                    "item 5 button 10 60 20 10 \"\"\n"  // below the picture, at the left
                    "item 6 button 40 60 20 10 \"\"\n"  // no anchor: the nearer sides
                    "anchor stretch stretch 1\n"
                    "anchor right centre 2-3\n"
                    "anchor left centre 4 5\n"
                    "anchor right bottom 4-4\n"  // a later line wins
                    "anchor left bottom 5\n",
                    &f.t),
              0);
    EXPECT_EQ(f.t->items[1].anchorV, kUiAnchorCentre);
    EXPECT_EQ(f.t->items[5].anchorH, kUiAnchorNone);
    const Ui_BaseUnits base{4, 8};
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 160, 111, 0), 0);
    EXPECT_EQ(RectText(f.t->items[0].pixels), "10,10,81,120");
    EXPECT_EQ(RectText(f.t->items[1].pixels), "25,130,35,150");  // half of 31 rounds down
    EXPECT_EQ(RectText(f.t->items[2].pixels), "45,130,55,150");
    EXPECT_EQ(RectText(f.t->items[3].pixels), "91,130,101,150");
    EXPECT_EQ(RectText(f.t->items[4].pixels), "91,10,101,30");
    EXPECT_EQ(RectText(f.t->items[5].pixels), "91,40,101,60");

    // From one size to another item by item, from wherever the item is: an owner's move stays,
    // and going back returns every item to where it was.
    ASSERT_EQ(Ui_Template_Layout(f.t, &base), 0);
    Ui_Rect moved = Ui_Rect_Make(33, 70, 43, 90), out{};  // item 3, moved 3 down by its owner
    ASSERT_EQ(Ui_Template_Follow(f.t, 3, &moved, 100, 80, 160, 111, &out), 0);
    EXPECT_EQ(RectText(out), "48,130,58,150");
    Ui_Rect back{};
    ASSERT_EQ(Ui_Template_Follow(f.t, 3, &out, 160, 111, 100, 80, &back), 0);
    EXPECT_EQ(RectText(back), RectText(moved));
    // Sizes below the template's count as the template's; a stretched edge never passes the
    // other one even for an item its owner made smaller.
    ASSERT_EQ(Ui_Template_Follow(f.t, 1, &f.t->items[0].pixels, 100, 80, 50, 50, &out), 0);
    EXPECT_EQ(RectText(out), "10,10,50,60");
    Ui_Rect thin = Ui_Rect_Make(10, 10, 20, 12);
    ASSERT_EQ(Ui_Template_Follow(f.t, 1, &thin, 160, 111, 100, 80, &out), 0);
    EXPECT_EQ(RectText(out), "10,10,10,10");
    EXPECT_EQ(Ui_Template_Follow(f.t, 7, &thin, 100, 80, 160, 111, &out), -1);
    const Ui_Rect far = Ui_Rect_Make(0, 32000, 10, 32020);  // past the 16-bit range once moved
    EXPECT_EQ(Ui_Template_Follow(f.t, 2, &far, 100, 80, 32767, 80, &out), -1);

    const std::string head = "dialog 1 100 100\nitem 1 button 0 0 10 10 \"\"\n";
    for (const char* bad :
         {"anchor right 1", "anchor middle top 1", "anchor left up 1", "anchor left top",
          "anchor left top 2", "anchor left top 1-2", "anchor left top 0", "anchor left top x"}) {
        Ui_DlgTemplate* t = nullptr;
        int32_t line = 0;
        EXPECT_EQ(Parse(head + bad, &t, &line), -8) << bad;
        EXPECT_EQ(line, 3) << bad;
    }
}

class ShippedTemplates : public UiTest {
   protected:
    void TearDown() override {
        Ui_Template_Free(&loaded_.t);
        UiTest::TearDown();
    }
    Ui_DlgTemplate* Load(int32_t id) {
        Ui_DlgTemplate* t = nullptr;
        EXPECT_EQ(Ui_Template_Load(state_, id, &t), 0);
        loaded_.t = t;
        return t;
    }
    Freer loaded_;
};

TEST_F(ShippedTemplates, AboutBoxKeepsItsButtonsOutOfSightAndMissingTemplatesAreRefused) {
    Ui_DlgTemplate* t = Load(6002);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->itemCount, 4);
    Ui_DlgTemplate* none = nullptr;
    EXPECT_EQ(Ui_Template_Load(state_, 1001, &none), -7);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(t->items[i].kind, kUiItemButton);
        EXPECT_TRUE(t->items[i].units.left >= t->width || t->items[i].units.top >= t->height);
    }
}

TEST_F(ShippedTemplates, EditingWindowItemsShownTogetherNeverOverlapAndOkFitsItsTitles) {
    Ui_DlgTemplate* t = Load(1000);
    ASSERT_NE(t, nullptr);
    int32_t average = 0, height = 0;
    ASSERT_EQ(Ui_Font_Nominal(t->fontPoints, kUiFontDialog, &average, &height), 0);
    Ui_BaseUnits base{};
    ASSERT_EQ(Ui_BaseUnitsFromFont(52 * average, height, &base), 0);
    ASSERT_EQ(Ui_Template_Layout(t, &base), 0);
    // OK takes the longest of its four titles with room for a button's margins.
    const Ui_Rect& ok = t->items[0].pixels;
    for (int32_t id = kStrOkEditImage; id <= kStrOkCreateHuegrid; ++id) {
        char title[256];
        Ui_ResToCString(state_, id, title);
        EXPECT_GE(Ui_Rect_Width(&ok), int32_t(std::strlen(title)) * average + 12) << title;
    }
    // Items 17 to 82 belong to the tabs and share places; every other item is on show whatever
    // the tab, and may meet no item but the tool panel's frame (90) that holds it. The tabs'
    // items lie inside the frame, or in the tab bar above it. The field for typed values (97)
    // is shown only over the value box it stands in for, which hides meanwhile.
    const Ui_Rect& frame = t->items[89].pixels;
    auto inside = [](const Ui_Rect& a, const Ui_Rect& b) {
        return a.top >= b.top && a.left >= b.left && a.bottom <= b.bottom && a.right <= b.right;
    };
    for (int32_t i = 1; i <= t->itemCount; ++i) {
        const Ui_Rect& a = t->items[i - 1].pixels;
        if ((18 <= i && i <= 82) || i == 97) {
            EXPECT_TRUE(inside(a, frame)) << "item " << i;
        }
        if ((17 <= i && i <= 82) || i == 97) continue;
        for (int32_t j = 1; j <= t->itemCount; ++j) {
            const Ui_Rect& b = t->items[j - 1].pixels;
            Ui_Rect common{};
            Ui_Rect_Intersect(&a, &b, &common);
            const bool held = (i == 90 && inside(b, frame)) || (j == 90 && inside(a, frame));
            EXPECT_TRUE(i == j || Ui_Rect_IsEmpty(&common) || held)
                << "items " << i << " and " << j << " overlap at " << RectText(common);
        }
    }
}

TEST_F(ShippedTemplates, EditingWindowGrowsItsPreviewWithoutCoveringAnyItem) {
    Ui_DlgTemplate* t = Load(1000);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->itemCount, 97);
    EXPECT_LT(t->items[3].units.right, t->items[89].units.left);  // the preview, the tool panel
    Ui_BaseUnits base{6, 13};
    ASSERT_EQ(Ui_Template_Layout(t, &base), 0);
    // The tab bar is wide enough for the four tabs its hit test expects (184 pixels and more).
    EXPECT_GT(t->items[16].pixels.right - t->items[16].pixels.left, 240);
    const Ui_Rect plain = t->items[3].pixels;
    const int32_t width = Ui_Rect_Width(&t->client), height = Ui_Rect_Height(&t->client);
    // The plain size, a full-screen window and one that grows in one direction only.
    const int32_t sizes[][2] = {
        {width, height}, {1280, 984}, {width + 300, height}, {width, height + 1}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        ASSERT_EQ(Ui_Template_LayoutSized(t, &base, size[0], size[1], 4), 0);
        const Ui_Rect& preview = t->items[3].pixels;
        EXPECT_EQ(RectText(preview),
                  RectText(Ui_Rect_Make(plain.top, plain.left, plain.bottom + size[1] - height,
                                        plain.right + size[0] - width)));
        for (int32_t i = 0; i < t->itemCount; ++i) {
            if (i == 3) continue;
            const Ui_Rect& r = t->items[i].pixels;
            Ui_Rect common{};
            Ui_Rect_Intersect(&r, &preview, &common);
            EXPECT_TRUE(Ui_Rect_IsEmpty(&common)) << "item " << i + 1 << " at " << RectText(r);
            EXPECT_TRUE(0 <= r.left && r.right <= size[0] && 0 <= r.top && r.bottom <= size[1])
                << "item " << i + 1 << " at " << RectText(r);
        }
    }
}

}  // namespace
