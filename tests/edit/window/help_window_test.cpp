// The help window over a help file: finding topics, laying out paragraphs and pictures, growing
// to fit, the start-up guide's box and the guide's addresses.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <string>

#include "edit/window/help_window.h"
#include "platform/os.h"
#include "platform/paths.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_help.h"
#include "resources/ids/strings.h"
#include "tests/edit/window/dialog_test_support.h"
#include "tests/platform/test_support.h"

namespace {

using namespace window_testing;

class HelpTest : public DialogTest {
   protected:
    // Uses a help file of the test's own.
    void UseHelpText(const std::string& text) {
        ownPath_ = root_ + "/own-help.tmp";
        testing_support::WriteFile(ownPath_, text);
        help_.path = ownPath_.c_str();
    }
    int32_t Show(int32_t topic, std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        Ui_Failure failure;
        const int32_t status = RunHelpTopic(&help_, topic, &failure);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        failure_ = failure;
        return status;
    }
    struct Drawn {
        Ui_Rect area{};
        std::vector<UiHeadlessText> texts;  // inside the text area
        int32_t saturated = 0;              // pixels of strong colour inside the text area
        Ui_Rect client{}, guide{}, ok{};
        bool boxVisible = false;
    };
    static Drawn Look(UiWindow* w) {
        Drawn d;
        const UiHeadlessWindow* hw = Ui_Headless_Window(w);
        Ui_Item_GetRect(w, kHelpText, &d.area);
        Ui_Item_GetRect(w, kHelpUserGuide, &d.guide);
        Ui_Item_GetRect(w, kHelpOk, &d.ok);
        Ui_Dlg_GetClientRect(w, &d.client);
        d.boxVisible = hw->items[kHelpDontShowAgain - 1].visible;
        for (int32_t i = 0; i < hw->textCount; ++i) {
            const Ui_Rect& r = hw->texts[i].rect;
            if (r.top >= d.area.top && r.top < d.area.bottom && r.left >= d.area.left) {
                d.texts.push_back(hw->texts[i]);
            }
        }
        for (int v = d.area.top; v < d.area.bottom; ++v) {
            for (int h = d.area.left; h < d.area.right; ++h) {
                const Ui_RGB p = Ui_Headless_Pixel(hw, v, h);
                const int hi = std::max({p.r, p.g, p.b}), lo = std::min({p.r, p.g, p.b});
                d.saturated += hi - lo > 100;
            }
        }
        return d;
    }
    std::string ownPath_;
    Ui_Failure failure_{};
};

TEST_F(HelpTest, AMissingTopicOrFileIsAnAlertAndNoWindow) {
    EXPECT_EQ(Show(2999, {}), kStatusFormat);
    EXPECT_EQ(failure_.textId, kPhraseReadFile);
    EXPECT_EQ(std::string(failure_.name), helpPath_);
    EXPECT_EQ(Ui_Headless_LastClosed(), nullptr);

    // Shown: one alert naming the file; a missing file names the opening.
    ShowHelpTopic(&help_, 2999);
    help_.path = "/no/such/help.tmp";
    ShowHelpTopic(&help_, kTopicOverview);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_NE(alerts[0].find("reading file " + helpPath_), std::string::npos) << alerts[0];
    EXPECT_NE(alerts[1].find("opening file /no/such/help.tmp"), std::string::npos) << alerts[1];

    // A file that cannot be read (a folder) fails at its first line; Windows refuses to open a
    // folder as a file at all, so there the opening is what fails.
    help_.path = root_.c_str();
    EXPECT_NE(Show(kTopicOverview, {}), kStatusOk);
#if defined(_WIN32)
    EXPECT_EQ(failure_.textId, kPhraseOpenFile);
#else
    EXPECT_EQ(failure_.textId, kPhraseReadFileLine);
    EXPECT_EQ(failure_.number, 1);
#endif
    EXPECT_EQ(Ui_Headless_LastClosed(), nullptr);
}

TEST_F(HelpTest, ParagraphsWrapWithinTheAreaAndTheWindowGrowsToFit) {
    std::string words;
    for (int i = 0; i < 120; ++i) words += "word" + std::to_string(i) + (i % 9 == 8 ? "\n" : " ");
    UseHelpText("#2000 First\n?\nThe first topic.\n*\n#2004 Long\n?\n" + words +
                "\n*\n?\nSecond paragraph.\n*\n#2005 Next\n?\nNot this one.\n*\n##\n");
    Drawn d;
    ASSERT_EQ(Show(kTopicHueSelective, {Call([&](UiWindow* w) { d = Look(w); }), Click(kHelpOk)}),
              0);
    ASSERT_GE(d.texts.size(), 4u);
    int32_t lineHeight = d.texts[0].rect.bottom - d.texts[0].rect.top;
    std::string all;
    for (const UiHeadlessText& t : d.texts) {
        EXPECT_LE(t.rect.right, d.area.right) << t.text;
        all += std::string(t.text) + "|";
    }
    // Every word once, in order; the next topic's text is not there.
    EXPECT_NE(all.find("word0 word1"), std::string::npos);
    EXPECT_NE(all.find("word119"), std::string::npos);
    EXPECT_EQ(all.find("Not this one"), std::string::npos);
    EXPECT_EQ(std::string(d.texts.back().text), "Second paragraph.");
    // The area ends right below the last line; the buttons moved down with it, inside the
    // window.
    EXPECT_EQ(d.area.bottom, d.texts.back().rect.bottom);
    EXPECT_EQ(d.texts.back().rect.top - d.texts[d.texts.size() - 2].rect.bottom, lineHeight);
    EXPECT_GT(d.guide.top, d.area.bottom);
    EXPECT_LE(d.ok.bottom, d.client.bottom);
    EXPECT_FALSE(d.boxVisible);
}

// The lines drawn wholly inside the text area since the window's text count was since.
std::string VisibleSince(UiWindow* w, int32_t since) {
    const UiHeadlessWindow* hw = Ui_Headless_Window(w);
    Ui_Rect area{};
    Ui_Item_GetRect(w, kHelpText, &area);
    std::string shown;
    for (int32_t i = since; i < hw->textCount; ++i) {
        const Ui_Rect& r = hw->texts[i].rect;
        if (r.top >= area.top && r.bottom <= area.bottom)
            shown += std::string(hw->texts[i].text) + "|";
    }
    return shown;
}

// A topic taller than the work area: the window stays on the screen and the topic scrolls by
// the keys, the wheel and the bar; nothing of it is out of reach.
TEST_F(HelpTest, ATopicTallerThanTheScreenScrollsByKeysWheelAndBar) {
    // Sixty paragraphs of twelve words (a paragraph holds at most a line's worth of text).
    std::string topic = "#2004 Long\n";
    for (int p = 0; p < 60; ++p) {
        topic += "?\n";
        for (int i = 0; i < 12; ++i) topic += "word" + std::to_string(p * 12 + i) + " ";
        topic += "\n*\n";
    }
    UseHelpText(topic + "?\nLast paragraph.\n*\n##\n");
    const Ui_Rect work = Ui_Rect_Make(0, 0, 420, 900);
    Ui_Headless_SetWorkArea(&work);
    int32_t since = 0;
    std::vector<std::string> seen;
    auto mark = [&](UiWindow* w) { since = Ui_Headless_Window(w)->textCount; };
    auto look = [&](UiWindow* w) { seen.push_back(VisibleSince(w, since)); };
    Ui_Rect client{}, area{};
    ASSERT_EQ(Show(kTopicHueSelective,
                   {Idle(0), Call([&](UiWindow* w) {
                        Ui_Dlg_GetClientRect(w, &client);
                        Ui_Item_GetRect(w, kHelpText, &area);
                        seen.push_back(VisibleSince(w, 0));
                    }),
                    Call(mark), Key(35), Idle(0), Call(look),  // End
                    Call(mark), Key(36), Idle(0), Call(look),  // Home
                    Call(mark), Key(34), Idle(0), Call(look),  // Page Down
                    // Forty notches up from a page down: back at the top.
                    Call(mark), Wheel(0, 60, 60, -40), Idle(0), Call(look), Click(kHelpOk)}),
              0);
    EXPECT_LE(client.bottom - client.top, 420);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_NE(seen[0].find("word0 "), std::string::npos);
    EXPECT_EQ(seen[0].find("Last paragraph."), std::string::npos) << "the window holds it all";
    EXPECT_NE(seen[1].find("Last paragraph."), std::string::npos) << "End shows the end";
    EXPECT_EQ(seen[1].find("word0 "), std::string::npos);
    EXPECT_NE(seen[2].find("word0 "), std::string::npos) << "Home shows the start";
    EXPECT_EQ(seen[3].find("word0 "), std::string::npos) << "Page Down moves on";
    EXPECT_NE(seen[4].find("word0 "), std::string::npos) << "the wheel moves back";
}

TEST_F(HelpTest, APictureParagraphDrawsItsBitmapAndATopicWithoutParagraphsIsEmpty) {
    UseHelpText(
        "#2005 Pictures\n?\n)1008\n*\n?\nBelow the picture.\n*\n#2006 Bare\nplain line\n?\n"
        "never shown\n*\n##\n");
    Drawn pictured, bare;
    ASSERT_EQ(
        Show(kTopicMemoryColor, {Call([&](UiWindow* w) { pictured = Look(w); }), Click(kHelpOk)}),
        0);
    ASSERT_EQ(pictured.texts.size(), 1u);
    // The hue ring of bitmap 1008 (40 pixels high) is there, and the text starts one line
    // below it.
    EXPECT_GT(pictured.saturated, 300);
    const int32_t lineHeight = pictured.texts[0].rect.bottom - pictured.texts[0].rect.top;
    EXPECT_EQ(pictured.texts[0].rect.top, pictured.area.top + 40 + lineHeight);

    ASSERT_EQ(Show(kTopicPreferences, {Call([&](UiWindow* w) { bare = Look(w); }), Click(kHelpOk)}),
              0);
    EXPECT_TRUE(bare.texts.empty());
    EXPECT_EQ(bare.saturated, 0);
}

TEST_F(HelpTest, TheStartUpGuidesBoxEditsTheGuidePreference) {
    Drawn d;
    showGuide_ = 1;
    ASSERT_EQ(Show(kTopicStartUpGuide, {Call([&](UiWindow* w) {
                                            d = Look(w);
                                            EXPECT_EQ(Item(w, kHelpDontShowAgain).check, 0);
                                        }),
                                        Click(kHelpDontShowAgain), Click(kHelpOk)}),
              0);
    EXPECT_TRUE(d.boxVisible);
    EXPECT_FALSE(d.texts.empty());
    EXPECT_EQ(showGuide_, 0);
    // Checked and unchecked again: the guide keeps showing.
    showGuide_ = 1;
    ASSERT_EQ(Show(kTopicStartUpGuide,
                   {Click(kHelpDontShowAgain), Click(kHelpDontShowAgain), Click(kHelpOk)}),
              0);
    EXPECT_EQ(showGuide_, 1);
    // Switched off before: the box starts checked; any other topic leaves the preference alone.
    showGuide_ = 0;
    ASSERT_EQ(Show(kTopicStartUpGuide,
                   {Call([&](UiWindow* w) { EXPECT_EQ(Item(w, kHelpDontShowAgain).check, 1); }),
                    Click(kHelpOk)}),
              0);
    EXPECT_EQ(showGuide_, 0);
    ASSERT_EQ(Show(kTopicOverview, {Click(kHelpOk)}), 0);
    EXPECT_EQ(showGuide_, 0);
}

TEST_F(HelpTest, TheEditingWindowsTopicsNameItsButtonAsItReads) {
    // The editing window has no OK button: the guide and the overview must say what the button
    // reads ("Edit Image", from the string table), or a person looks for a button that is not
    // there.
    char button[256];
    Ui_ResToCString(state_, kStrOkEditImage, button);
    for (int32_t topic : {kTopicOverview, kTopicStartUpGuide}) {
        std::string text;
        ASSERT_EQ(Show(topic, {Call([&](UiWindow* w) {
                                   for (const UiHeadlessText& t : Look(w).texts)
                                       text += std::string(t.text) + " ";
                               }),
                               Click(kHelpOk)}),
                  0);
        std::string words = " ";  // the text with every line break a space
        for (char c : text) words += c == '\n' ? ' ' : c;
        EXPECT_NE(words.find(button), std::string::npos) << topic << ": " << words;
        for (size_t at = words.find("OK"); at != std::string::npos; at = words.find("OK", at + 1)) {
            const bool word = !std::isalpha(static_cast<unsigned char>(words[at - 1])) &&
                              !std::isalpha(static_cast<unsigned char>(words[at + 2]));
            EXPECT_FALSE(word) << topic << ": " << words;
        }
    }
}

TEST_F(HelpTest, TheGuideButtonsOpenThePagesBesideTheModule) {
    char exe[kPathSize] = {};
    ASSERT_TRUE(Os_ModuleFile(exe, sizeof exe));
    std::string folder(exe);
    folder.resize(folder.rfind(kOsSeparator) + 1);
    // A file URL: "file://", then the absolute path with "/" between its parts, a Windows drive
    // after a "/" of its own ("file:///C:/..."). The build folders have no characters that need
    // escaping (Ui_Path_ToUrlPath's own test has them).
    for (char& c : folder) c = c == '\\' ? '/' : c;
    if (folder.size() > 1 && folder[1] == ':') folder = "/" + folder;
    const std::string base = "file://" + folder + "user-guide/";
    ASSERT_EQ(base.rfind("file:///", 0), 0u) << base;
    struct Case {
        int32_t topic;
        const char* page;
    } cases[] = {{kTopicBrightness, "brightness-contrast.html"},
                 {kTopicGrayscaleDef, "color-definitions.html"},
                 {kTopicToningDef, "color-definitions.html"},
                 {kTopicKeenhuePrefs, "keenhue-preferences.html"},
                 {kTopicOverview, "index.html"},
                 {kTopicStartUpGuide, "index.html"}};
    for (const Case& c : cases) {
        ASSERT_EQ(Show(c.topic, {Click(kHelpUserGuide), Click(kHelpOk)}), 0);
        EXPECT_EQ(std::string(Ui_Headless_LastUrl()), base + c.page) << c.topic;
    }
    ASSERT_EQ(Show(kTopicSharpenNoise, {Click(kHelpFaqSite), Click(kHelpOk)}), 0);
    EXPECT_EQ(std::string(Ui_Headless_LastUrl()), base + "faq.html");
    EXPECT_TRUE(alerts.empty());
}

}  // namespace
