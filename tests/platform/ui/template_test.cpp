// Dialog templates: the text format, its errors, the dialog-unit rule and the templates that
// ship in the resource archive.
#include <cstring>
#include <string>

#include "platform/ui/dlg_template.h"
#include "platform/ui/rect.h"
#include "platform/ui_state.h"
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
    EXPECT_EQ(f.t->id, 42);
    EXPECT_EQ(f.t->width, 100);
    EXPECT_EQ(f.t->height, 50);
    EXPECT_STREQ(f.t->title, "Say \"hi\"");
    EXPECT_STREQ(f.t->fontFace, "Tahoma");
    EXPECT_EQ(f.t->fontPoints, 9);
    ASSERT_EQ(f.t->itemCount, 3);
    const Ui_DlgItem* two = Ui_Template_Item(f.t, 2);
    EXPECT_EQ(two->kind, kUiItemStatic);
    EXPECT_STREQ(two->text, "a\\b\nc");
    EXPECT_EQ(two->flags, kUiFlagCenter | kUiFlagNoWrap | kUiFlagHidden);
    // x, y, width, height become top, left, bottom, right.
    EXPECT_EQ(two->units.top, 6);
    EXPECT_EQ(two->units.left, 5);
    EXPECT_EQ(two->units.bottom, 14);
    EXPECT_EQ(two->units.right, 12);
    EXPECT_EQ(Ui_Template_Item(f.t, 3)->flags, kUiFlagAuto | kUiFlagDisabled);
    EXPECT_EQ(Ui_Template_Item(f.t, 4), nullptr);
    EXPECT_EQ(Ui_Template_Item(f.t, 0), nullptr);
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
    EXPECT_EQ(base.x, 6);
    EXPECT_EQ(base.y, 13);
    ASSERT_EQ(Ui_BaseUnitsFromFont(337, 16, &base), 0);  // 12.96 per pair: rounds to 6
    EXPECT_EQ(base.x, 6);
    ASSERT_EQ(Ui_BaseUnitsFromFont(338, 16, &base), 0);  // 13 per pair: 7
    EXPECT_EQ(base.x, 7);
    EXPECT_EQ(Ui_BaseUnitsFromFont(0, 13, &base), -1);

    // The alert box's OK button, 235, 87, 44 x 12 units, each edge on its own.
    base = {6, 13};
    Ui_Rect units = Ui_Rect_Make(87, 235, 99, 279), pixels{};
    ASSERT_EQ(Ui_UnitsToPixels(&base, &units, &pixels), 0);
    EXPECT_EQ(pixels.left, 353);
    EXPECT_EQ(pixels.top, 141);
    EXPECT_EQ(pixels.right, 419);   // 418.5
    EXPECT_EQ(pixels.bottom, 161);  // 160.875
    base = {31, 13};
    EXPECT_EQ(Ui_UnitsToPixels(&base, &units, &pixels), -1);
}

std::string Text(const Ui_Rect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
           "," + std::to_string(r.right);
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
    EXPECT_EQ(Text(f.t->client), "0,0,100,150");
    EXPECT_EQ(Text(f.t->items[0].pixels), "10,10,70,110");
    EXPECT_EQ(Text(f.t->items[1].pixels), "10,120,20,140");
    EXPECT_EQ(Text(f.t->items[2].pixels), "80,10,90,30");
    EXPECT_EQ(Text(f.t->items[3].pixels), "80,120,90,140");
    EXPECT_EQ(Text(f.t->items[4].pixels), "30,40,50,60");
    EXPECT_EQ(Text(f.t->items[5].pixels), "0,160,10,170");

    // Each layout starts from the template: its own size gives the plain layout back.
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 100, 80, 1), 0);
    EXPECT_EQ(Text(f.t->items[0].pixels), "10,10,50,60");
    EXPECT_EQ(Text(f.t->items[1].pixels), "10,70,20,90");
    // Without a growing item every item keeps to its side, the first one to the top left.
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, 0), 0);
    EXPECT_EQ(Text(f.t->items[0].pixels), "10,10,50,60");
    EXPECT_EQ(Text(f.t->items[3].pixels), "80,120,90,140");

    // Refused: smaller than the template, an item that does not exist, an item pushed past the
    // 16-bit range. A refusal leaves the plain layout, not half of the larger one.
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 99, 100, 1), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 79, 1), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, 7), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, -1), -1);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 32768, 100, 1), -1);
    ASSERT_EQ(Ui_Template_LayoutSized(f.t, &base, 150, 100, 1), 0);
    EXPECT_EQ(Ui_Template_LayoutSized(f.t, &base, 32760, 100, 1), -1);  // item 6 would end past
    EXPECT_EQ(Text(f.t->items[0].pixels), "10,10,50,60");
    EXPECT_EQ(Text(f.t->client), "0,0,80,100");
    EXPECT_EQ(Ui_Template_LayoutSized(nullptr, &base, 150, 100, 1), -1);
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

TEST_F(ShippedTemplates, AlertBoxHasItsFixedLayout) {
    Ui_DlgTemplate* t = Load(6000);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->width, 287);
    EXPECT_EQ(t->height, 117);
    EXPECT_STREQ(t->title, "");
    struct Expect {
        uint8_t kind;
        int x, y, w, h;
    } items[] = {{kUiItemButton, 235, 87, 44, 12},
                 {kUiItemButton, 177, 87, 44, 12},
                 {kUiItemStatic, 43, 10, 241, 32},
                 {kUiItemStatic, 43, 53, 241, 31},
                 {kUiItemUser, 11, 10, 21, 20}};
    ASSERT_EQ(t->itemCount, 5);
    for (int i = 0; i < 5; ++i) {
        const Ui_DlgItem& it = t->items[i];
        EXPECT_EQ(it.kind, items[i].kind) << i + 1;
        EXPECT_EQ(it.units.left, items[i].x) << i + 1;
        EXPECT_EQ(it.units.top, items[i].y) << i + 1;
        EXPECT_EQ(it.units.right - it.units.left, items[i].w) << i + 1;
        EXPECT_EQ(it.units.bottom - it.units.top, items[i].h) << i + 1;
    }
    EXPECT_STREQ(t->items[0].text, "OK");
    EXPECT_STREQ(t->items[1].text, "Cancel");
    EXPECT_TRUE(t->items[0].flags & kUiFlagDefault);
    Ui_BaseUnits base{6, 13};
    ASSERT_EQ(Ui_Template_Layout(t, &base), 0);
    EXPECT_EQ(t->client.right, 431);
    EXPECT_EQ(t->client.bottom, 190);
}

TEST_F(ShippedTemplates, AboutBoxKeepsItsButtonsOutOfSight) {
    Ui_DlgTemplate* t = Load(6002);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->width, 373);
    EXPECT_EQ(t->height, 295);
    ASSERT_EQ(t->itemCount, 4);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(t->items[i].kind, kUiItemButton);
        EXPECT_TRUE(t->items[i].units.left >= t->width || t->items[i].units.top >= t->height);
    }
    EXPECT_EQ(t->items[2].kind, kUiItemUser);
    EXPECT_EQ(t->items[3].kind, kUiItemUser);
    EXPECT_TRUE(t->items[2].units.top == 0 && t->items[2].units.left == 0 &&
                t->items[2].units.right == 373 && t->items[2].units.bottom == 160);
    EXPECT_TRUE(t->items[3].units.top == 160 && t->items[3].units.left == 0 &&
                t->items[3].units.right == 373 && t->items[3].units.bottom == 295);
}

TEST_F(ShippedTemplates, EditingWindowHasAllItemsWithTheirKinds) {
    Ui_DlgTemplate* t = Load(1000);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->itemCount, 95);
    std::string kinds;
    for (int i = 0; i < 95; ++i) kinds += "?BXCSEUI"[t->items[i].kind];
    // B button, X check box, C combo, S static text, E edit, U user item, I icon.
    EXPECT_EQ(kinds.substr(0, 17), "BBUUXUUBBBBBBBXXU");
    EXPECT_EQ(kinds.substr(39, 2), "BC");                 // 40, 41
    EXPECT_EQ(kinds.substr(62, 9), "UUUSUUSUU");          // 63 .. 71
    EXPECT_EQ(kinds.substr(71, 8), "BBBBBBBB");           // 72 .. 79
    EXPECT_EQ(kinds.substr(79, 16), "XUUUBBBBIIUXXBUU");  // 80 .. 95
    EXPECT_STREQ(t->items[0].text, "Edit Image");
    EXPECT_TRUE(t->items[0].flags & kUiFlagDefault);
    EXPECT_STREQ(t->items[1].text, "Cancel");
    EXPECT_STREQ(t->items[4].text, "Preview");
    EXPECT_STREQ(t->items[14].text, "Keenhue Mode");
    EXPECT_STREQ(t->items[92].text, "Setup...");
    EXPECT_TRUE(t->items[15].flags & kUiFlagHidden);  // Linear: 16-bit images only
    // The preview lies left of the tool panel, and everything inside the window.
    const Ui_DlgItem& preview = t->items[3];
    const Ui_DlgItem& panel = t->items[89];
    EXPECT_LT(preview.units.right, panel.units.left);
    for (int i = 0; i < 95; ++i) {
        EXPECT_LE(t->items[i].units.right, t->width) << i + 1;
        EXPECT_LE(t->items[i].units.bottom, t->height) << i + 1;
    }
    // The tab bar is wide enough for the four tabs its hit test expects (184 pixels and more).
    Ui_BaseUnits base{6, 13};
    ASSERT_EQ(Ui_Template_Layout(t, &base), 0);
    EXPECT_GT(t->items[16].pixels.right - t->items[16].pixels.left, 240);
    Ui_DlgTemplate* none = nullptr;
    EXPECT_EQ(Ui_Template_Load(state_, 1001, &none), -7);
}

TEST_F(ShippedTemplates, EditingWindowGrowsItsPreviewWithoutCoveringAnyItem) {
    Ui_DlgTemplate* t = Load(1000);
    ASSERT_NE(t, nullptr);
    Ui_BaseUnits base{6, 13};
    ASSERT_EQ(Ui_Template_Layout(t, &base), 0);
    const Ui_Rect plain = t->items[3].pixels;
    const int32_t width = Ui_Rect_Width(&t->client), height = Ui_Rect_Height(&t->client);
    // A full-screen window and one that grows in one direction only.
    const int32_t sizes[][2] = {{1280, 984}, {width + 300, height}, {width, height + 1}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
        ASSERT_EQ(Ui_Template_LayoutSized(t, &base, size[0], size[1], 4), 0);
        const Ui_Rect& preview = t->items[3].pixels;
        EXPECT_EQ(Text(preview),
                  Text(Ui_Rect_Make(plain.top, plain.left, plain.bottom + size[1] - height,
                                    plain.right + size[0] - width)));
        for (int32_t i = 0; i < t->itemCount; ++i) {
            if (i == 3) continue;
            const Ui_Rect& r = t->items[i].pixels;
            Ui_Rect common{};
            Ui_Rect_Intersect(&r, &preview, &common);
            EXPECT_TRUE(Ui_Rect_IsEmpty(&common)) << "item " << i + 1 << " at " << Text(r);
            EXPECT_TRUE(0 <= r.left && r.right <= size[0] && 0 <= r.top && r.bottom <= size[1])
                << "item " << i + 1 << " at " << Text(r);
        }
    }
}

}  // namespace
