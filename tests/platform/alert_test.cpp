// Error alerts: the sentence composed for each status, hints, cancels, the log lines.
#include <string>

#include "platform/alert.h"
#include "platform/format.h"
#include "platform/resources.h"
#include "tests/platform/test_support.h"

namespace {

using testing_support::PlatformTest;

struct Shown {
    std::string text, detail, first, second;
    uint32_t icon, buttons;
};
std::vector<Shown> gShown;
int16_t gAnswer = 1;

int32_t Capture(UiState*, const Ui_AlertRecord* a, int16_t* item) {
    gShown.push_back({a->text, a->detail ? a->detail : "", a->firstLabel ? a->firstLabel : "",
                      a->secondLabel ? a->secondLabel : "", a->icon, a->buttonCount});
    *item = gAnswer;
    return 0;
}

class AlertTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        gShown.clear();
        gAnswer = 1;
        Ui_Alert_SetPresenter(Capture);
        state_ = OpenState(1);
        Ui_Alert_SetStateRef(&state_);
    }
    void TearDown() override {
        Ui_Alert_SetStateRef(nullptr);
        Ui_Alert_SetPresenter(nullptr);
        PlatformTest::TearDown();
    }
    UiState* state_ = nullptr;
};

TEST_F(AlertTest, ReadErrorNamesTheFileAndHintsAtCorruption) {
    char phrase[300];
    Ui_FormatStringN(phrase, sizeof phrase, Ui_ResToCString(state_, 3004, nullptr), "a.txt");
    EXPECT_EQ(ShowErrorAlert(-5, phrase, nullptr), -5);
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0].text, "A file read error occurred while reading file a.txt.");
    EXPECT_EQ(gShown[0].detail, "Make sure the file has not been corrupted.");
    EXPECT_EQ(gShown[0].icon, kUiAlertIconStop);
    EXPECT_EQ(gShown[0].buttons, 1u);
    std::vector<std::string> log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Ui_Alert_DoVantorError -5");
    EXPECT_EQ(log.back(), "A file read error occurred while reading file a.txt.");
}

TEST_F(AlertTest, EachStatusHasItsMessageAndHint) {
    struct Case {
        int32_t status;
        const char* message;
        const char* hint;
    } cases[] = {
        {-1, "A problem occurred", ""},
        {-2, "An error occurred", ""},
        {-3, "There was not enough memory available", ""},
        {-4, "A file open error occurred",
         "For reading, make sure the file exists.\n\nFor writing, make sure your disk has enough "
         "room and is not locked."},
        {-6, "A file write error occurred", "Make sure there is room for the file on the disk."},
        {-7, "A file seek error occurred", "Make sure the file has not been corrupted."},
        {-8, "A data format error occurred", "Make sure you have selected the correct type of file."},
        {-9, "An unsupported feature was encountered", ""},
        {-11, "A timeout error occurred", ""},
        {3, "An unknown error occurred", ""},
        {-12, "An unknown error occurred", ""},
    };
    for (const Case& c : cases) {
        gShown.clear();
        ShowErrorAlert(c.status, nullptr, nullptr);
        ASSERT_EQ(gShown.size(), 1u) << c.status;
        EXPECT_EQ(gShown[0].text, c.message) << c.status;
        EXPECT_EQ(gShown[0].detail, c.hint) << c.status;
    }
}

TEST_F(AlertTest, ExplicitHintWinsAndCancelShowsNothing) {
    ShowErrorAlert(-2, Ui_ResToCString(state_, 3028, nullptr), "Pick another space.");
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0].text, "An error occurred while verifying the RGB working space.");
    EXPECT_EQ(gShown[0].detail, "Pick another space.");
    gShown.clear();
    EXPECT_EQ(ShowErrorAlert(-10, "x", nullptr), -10);
    EXPECT_TRUE(gShown.empty());
    EXPECT_EQ(LogLines().back(), "Ui_Alert_DoVantorError -10");
}

TEST_F(AlertTest, NothingIsShownWithoutALockedCallState) {
    Ui_Alert_SetStateRef(nullptr);
    EXPECT_EQ(ShowErrorAlert(-3, nullptr, nullptr), -3);
    EXPECT_TRUE(gShown.empty());
}

TEST_F(AlertTest, LongPhraseIsCutNotOverflowed) {
    std::string phrase(600, 'p');
    ShowErrorAlert(-4, phrase.c_str(), nullptr);
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0].text.rfind("A file open error occurred while ppp", 0), 0u);
    EXPECT_LE(gShown[0].text.size(), 256u + 8 + 256 + 1);
}

TEST_F(AlertTest, AskOffersTwoButtonsWithCancelByDefault) {
    gAnswer = 2;
    int16_t item = 0;
    EXPECT_EQ(Ui_Alert_Ask(state_, "Replace?", "Use Anyway", nullptr, 0, &item), 0);
    EXPECT_EQ(item, 2);
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0].icon, kUiAlertIconCaution);
    EXPECT_EQ(gShown[0].buttons, 2u);
    EXPECT_EQ(gShown[0].first, "Use Anyway");
    EXPECT_EQ(gShown[0].second, "Cancel");
    EXPECT_EQ(Ui_Alert_Ask(state_, "x", nullptr, nullptr, 0, nullptr), -1);
    EXPECT_EQ(Ui_Alert_Note(state_, "Done", nullptr, 0), 0);
    EXPECT_EQ(gShown.back().icon, kUiAlertIconNote);
    EXPECT_EQ(Ui_Alert_Caution(state_, "Careful", nullptr, 0), 0);
    EXPECT_EQ(gShown.back().icon, kUiAlertIconCaution);
    EXPECT_EQ(gShown.back().buttons, 1u);
    EXPECT_EQ(Ui_Alert_Stop(nullptr, "x", nullptr, 0), -1);
}

TEST_F(AlertTest, HeadlessPresenterLogsTheWholeTextAndAnswersOne) {
    Ui_Alert_SetPresenter(nullptr);
    UiState* quiet = OpenState(0);
    int16_t item = 0;
    EXPECT_EQ(Ui_Alert_Ask(quiet, "Keep going?", nullptr, nullptr, 0, &item), 0);
    EXPECT_EQ(item, 1);
    EXPECT_EQ(LogLines().back(), "Keep going?");
}

}  // namespace
