// The alert box (dialog 6000) as the alert operations show it, and the about box (dialog 6002).
#include <string>

#include "platform/alert.h"
#include "platform/resources.h"
#include "platform/ui/about_box.h"
#include "platform/ui/draw.h"
#include "platform/ui/system.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

// The alert box in pixels at 9 points, 7 x 15 base units: button 1 spans h 411..487, button 2
// h 310..386.
constexpr int kButton1Right = 488, kButton2Left = 310, kButton2Right = 387, kButtonWidth = 77;

class AlertBoxTest : public UiTest {
   protected:
    // Shows an alert with the script; returns the item and keeps the closed box for checks.
    int16_t Show(std::function<int32_t(int16_t*)> alert, std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        int16_t item = 0;
        EXPECT_EQ(alert(&item), 0);
        EXPECT_EQ(Ui_Headless_Remaining(), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        return item;
    }
    int16_t Ask(const char* first, const char* second, std::vector<UiScriptEvent> script) {
        return Show(
            [&](int16_t* hit) { return Ui_Alert_Ask(state_, "Leave?", first, second, 0, hit); },
            std::move(script));
    }
    const UiHeadlessItem& Item(int i) const { return Closed()->items[i - 1]; }
    // The colour at an offset from the middle of the icon (item 5).
    uint32_t Icon(int dv, int dh) const {
        const Ui_Rect& r = Item(5).rect;
        Ui_RGB c =
            Ui_Headless_Pixel(Closed(), (r.top + r.bottom) / 2 + dv, (r.left + r.right) / 2 + dh);
        return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    }
};

TEST_F(AlertBoxTest, OneButtonAlertsHideCancelFillBothTextsAndShowTheirIcon) {
    Show(
        [&](int16_t*) -> int32_t {
            return ShowErrorAlert(&state_, -5, nullptr, nullptr) == -5 ? 0 : -1;
        },
        {Click(1)});
    EXPECT_EQ(Closed()->dialogId, 6000);
    // The template's caption is empty; the box says whose it is.
    EXPECT_STREQ(Closed()->title, "Tintara Kolmara Pro");
    EXPECT_FALSE(Item(2).visible);
    EXPECT_STREQ(Item(3).text, "A file read error occurred");
    EXPECT_STREQ(Item(4).text, "Make sure the file has not been corrupted.");
    EXPECT_STREQ(Item(1).text, "OK");
    EXPECT_EQ(Closed()->focus, 1);
    EXPECT_EQ(Closed()->defaultItem, 1);
    // The stop icon: white cross in the middle of a red disc.
    EXPECT_EQ(Icon(0, 0) >> 8, 0xFFFFu);
    EXPECT_EQ(Icon(0, -13) >> 8, 0xC81Eu);

    Show([&](int16_t*) { return Ui_Alert_Note(state_, "Done.", "Fine", 0); }, {Click(1)});
    EXPECT_STREQ(Item(1).text, "Fine");
    EXPECT_FALSE(Item(2).visible);
    EXPECT_EQ(Icon(0, -12) & 0xFF, 200u);  // the blue note disc
}

TEST_F(AlertBoxTest, QuestionHasTwoButtonsAndReturnsTheOneClicked) {
    EXPECT_EQ(Ask(nullptr, nullptr, {Click(2)}), 2);
    EXPECT_TRUE(Item(2).visible);
    EXPECT_STREQ(Item(1).text, "OK");
    EXPECT_STREQ(Item(2).text, "Cancel");
    EXPECT_STREQ(Item(4).text, "");
    // Labels that fit keep the buttons where the template put them.
    EXPECT_EQ(Item(1).rect.right - Item(1).rect.left, kButtonWidth);
    EXPECT_EQ(Item(2).rect.left, kButton2Left);
    EXPECT_EQ(Icon(10, -6), 0xFAC81Eu);  // the caution icon is yellow
    EXPECT_EQ(Ask("Yes", "No", {Key(kUiKeyReturn)}), 1);
}

TEST_F(AlertBoxTest, LongLabelsWidenButtonsToTheLeftAndPushButtonTwoAlong) {
    // "Save changes now": 16 characters of 7 pixels + 20 = 132 pixels for a 77-pixel button.
    Ask("Save changes now", "Discard all the changes", {Click(1)});
    EXPECT_EQ(Item(1).rect.right, kButton1Right);
    EXPECT_EQ(Item(1).rect.left, kButton1Right - 132);
    // Button 2 moved 55 pixels left, then grew to 23 * 7 + 20 = 181 pixels from its new right.
    EXPECT_EQ(Item(2).rect.right, kButton2Right - 55);
    EXPECT_EQ(Item(2).rect.left, kButton2Right - 55 - 181);
    EXPECT_EQ(Item(1).rect.top, Item(2).rect.top);
    // A long second label alone leaves button 1 alone.
    Ask(nullptr, "Discard all the changes", {Click(2)});
    EXPECT_EQ(Item(1).rect.left, kButton1Right - kButtonWidth);
    EXPECT_EQ(Item(2).rect.right, kButton2Right);
    EXPECT_EQ(Item(2).rect.left, kButton2Right - 181);
}

class AboutBoxTest : public UiTest {
   protected:
    Ui_AboutRecord About(int32_t notices, int32_t delay) {
        static char version[256];
        Ui_ResToCString(state_, 1005, version);
        return Ui_AboutRecord{1000, version, 1000, 1019, notices, delay, nullptr};
    }
    int16_t RunAbout(const Ui_AboutRecord& about, std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        int16_t item = 0;
        EXPECT_EQ(Ui_About_Run(state_, &about, &item), 0);
        return item;
    }
    // The text lines drawn, each with its top.
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (int i = 0; i < Closed()->textCount; ++i) {
            const UiHeadlessText& t = Closed()->texts[i];
            out.push_back(std::to_string(t.rect.top) + ":" + t.text);
        }
        return out;
    }
};

TEST_F(AboutBoxTest, ShowsTitleVersionLegalNoticeAndNoticeLines) {
    EXPECT_EQ(RunAbout(About(3, -1), {Click(4)}), 4);
    EXPECT_STREQ(Closed()->title, "About Tintara Kolmara Pro");
    EXPECT_EQ(Closed()->defaultItem, 1);
    // Item 4 starts at v = 260 (160 units); lines 14 pixels apart from 8 pixels down.
    EXPECT_EQ(Joined(Lines()),
              "268:Version: 6.0, "
              "310:Copyright (c) Lumetra. All rights reserved., "
              "324:This program is protected by copyright law., "
              "338:Its use is subject to the terms of the Lumetra license agreement., "
              "352:Photoshop is a trademark of Adobe., "
              "380:Color correction filter for Adobe Photoshop, "
              "394:For RGB images with 8 or 16 bits per channel, "
              "408:Made by Lumetra");
    // Every line is centred on the middle of the area (560 pixels wide).
    for (int i = 0; i < Closed()->textCount; ++i) {
        const Ui_Rect& r = Closed()->texts[i].rect;
        EXPECT_LE(std::abs(r.left + r.right - 560), 1) << Closed()->texts[i].text;
    }
}

TEST_F(AboutBoxTest, OneOrTwoNoticeLinesSpreadTheLinesAndNoneCallsTheExtraDrawProc) {
    EXPECT_EQ(RunAbout(About(2, -1), {Click(3)}), 3);
    std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "316:Copyright (c) Lumetra. All rights reserved.");   // line 4, 16 apart
    EXPECT_EQ(lines[6], "412:For RGB images with 8 or 16 bits per channel");  // line 10

    static int extraCalls = 0;
    Ui_AboutRecord about = About(0, -1);
    about.extraDraw = [](UiWindow* w, int16_t item) -> int32_t {
        ++extraCalls;
        EXPECT_EQ(item, 4);
        return Ui_Draw_TextAt(w, "extra", 300, 10, kUiAlignLeft);
    };
    EXPECT_EQ(RunAbout(about, {Click(1)}), 1);
    EXPECT_EQ(extraCalls, 1);
    EXPECT_EQ(Joined(Lines()), "268:Version: 6.0, 300:extra");
}

TEST_F(AboutBoxTest, UpperAreaShowsBitmap1000Centred) {
    RunAbout(About(3, -1), {Click(1)});
    Ui_Offscreen* bitmap = nullptr;
    ASSERT_EQ(Ui_Bitmap_Load(state_, kResTypeBitmap, 1000, &bitmap), 0);
    // Item 3 is 560 x 260 pixels; the bitmap sits in its middle.
    int top = (260 - bitmap->height) / 2, left = (560 - bitmap->width) / 2;
    int mismatches = 0, saturated = 0;
    for (int y = 0; y < bitmap->height; ++y) {
        for (int x = 0; x < bitmap->width; ++x) {
            const uint8_t* p = bitmap->pixels + y * bitmap->rowBytes + 3 * x;
            Ui_RGB c = Ui_Headless_Pixel(Closed(), top + y, left + x);
            mismatches += c.r != p[2] || c.g != p[1] || c.b != p[0];
            // Not a blank picture: the hue ring has saturated colours.
            saturated += std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 100;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(saturated, 5000);
    Ui_Offscreen_Free(&bitmap);
    EXPECT_EQ(Ui_Headless_Pixel(Closed(), 2, 2).r, 255);  // white background around it
}

TEST_F(AboutBoxTest, SplashClosesItselfOnceTheDelayIsExceeded) {
    uint32_t opened = 0;
    EXPECT_EQ(
        RunAbout(About(3, 3),
                 {Call([&](UiWindow*) { opened = Ui_TickCount(); }), Idle(35),
                  Call([&](UiWindow*) { EXPECT_EQ(Ui_TickCount() - opened, 3500u); }), Idle(100)}),
        1);
    // Whole seconds: 3 s is not more than 3, the first tick at 4 s is.
    EXPECT_EQ(Ui_TickCount() - opened, 4000u);
    // From the about selector (no delay) it waits for a click; the script's end cancels it.
    EXPECT_EQ(RunAbout(About(3, -1), {Idle(100)}), 2);
}

}  // namespace
