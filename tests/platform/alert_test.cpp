// Error alerts: the sentence composed for each status, hints, cancels, the log lines.
#include <string>

#include "platform/alert.h"
#include "platform/format.h"
#include "platform/resources.h"
#include "tests/platform/test_support.h"

namespace {

// What the presenter was given, one alert a line: "text | detail | first | second | icon buttons".
std::vector<std::string> gShown;
int16_t gAnswer = 1;

int32_t Capture(UiState*, const Ui_AlertRecord* a, int16_t* item) {
    auto text = [](const char* s) { return std::string(s ? s : ""); };
    gShown.push_back(text(a->text) + " | " + text(a->detail) + " | " + text(a->firstLabel) + " | " +
                     text(a->secondLabel) + " | " + std::to_string(a->icon) + " " +
                     std::to_string(a->buttonCount));
    *item = gAnswer;
    return 0;
}

class AlertTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        gShown.clear();
        gAnswer = 1;
        Ui_Alert_SetPresenter(Capture);
        state_ = OpenState(1);
    }
    void TearDown() override {
        Ui_Alert_SetPresenter(nullptr);
        PlatformTest::TearDown();
    }
    UiState* state_ = nullptr;
};

TEST_F(AlertTest, ReadErrorNamesTheFileAndHintsAtCorruption) {
    char phrase[300];
    Str_FormatPhrase(phrase, sizeof phrase, Ui_ResToCString(state_, 3004, nullptr), 0, "a.txt");
    EXPECT_EQ(ShowErrorAlert(&state_, -5, phrase, nullptr), -5);
    EXPECT_EQ(gShown, std::vector<std::string>{
                          "A file read error occurred while reading file a.txt. | Make sure the "
                          "file has not been corrupted. |  |  | " +
                          std::to_string(kUiAlertIconStop) + " 1"});
    std::vector<std::string> log = LogLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Ui_Alert_DoVantorError -5");
    EXPECT_EQ(log.back(), "A file read error occurred while reading file a.txt.");
}

TEST_F(AlertTest, EachStatusHasItsMessageAndHint) {
    const std::string open =
        "For reading, make sure the file exists.\n\nFor writing, make sure your disk has enough "
        "room and is not locked.";
    const std::pair<int32_t, std::string> cases[] = {
        {-1, "A problem occurred | "},
        {-2, "An error occurred | "},
        {-3, "There was not enough memory available | "},
        {-4, "A file open error occurred | " + open},
        {-6, "A file write error occurred | Make sure there is room for the file on the disk."},
        {-7, "A file seek error occurred | Make sure the file has not been corrupted."},
        {-8,
         "A data format error occurred | Make sure you have selected the correct type of file."},
        {-9, "An unsupported feature was encountered | "},
        {-11, "A timeout error occurred | "},
        {3, "An unknown error occurred | "},
        {-12, "An unknown error occurred | "},
    };
    for (const auto& [status, expected] : cases) {
        gShown.clear();
        ShowErrorAlert(&state_, status, nullptr, nullptr);
        ASSERT_EQ(gShown.size(), 1u) << status;
        EXPECT_EQ(gShown[0].substr(0, expected.size() + 3), expected + " | ") << status;
    }
}

TEST_F(AlertTest, ExplicitHintWinsCancelShowsNothingAndNoStateShowsNothing) {
    ShowErrorAlert(&state_, -2, Ui_ResToCString(state_, 3028, nullptr), "Pick another space.");
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0].rfind("An error occurred while verifying the RGB working space. | "
                              "Pick another space. | ",
                              0),
              0u);
    gShown.clear();
    EXPECT_EQ(ShowErrorAlert(&state_, -10, "x", nullptr), -10);
    EXPECT_TRUE(gShown.empty());
    EXPECT_EQ(LogLines().back(), "Ui_Alert_DoVantorError -10");
    UiState* none = nullptr;
    EXPECT_EQ(ShowErrorAlert(&none, -3, nullptr, nullptr), -3);
    EXPECT_EQ(ShowErrorAlert(nullptr, -3, nullptr, nullptr), -3);
    EXPECT_TRUE(gShown.empty());
}

TEST_F(AlertTest, LongPhraseIsCutNotOverflowed) {
    std::string phrase(600, 'p');
    ShowErrorAlert(&state_, -4, phrase.c_str(), nullptr);
    ASSERT_EQ(gShown.size(), 1u);
    EXPECT_EQ(gShown[0].rfind("A file open error occurred while ppp", 0), 0u);
    EXPECT_LE(gShown[0].find(" | "), 256u + 8 + 256 + 1);
}

TEST_F(AlertTest, AskOffersTwoButtonsWithCancelByDefault) {
    gAnswer = 2;
    int16_t item = 0;
    EXPECT_EQ(Ui_Alert_Ask(state_, "Replace?", "Use Anyway", nullptr, 0, &item), 0);
    EXPECT_EQ(item, 2);
    EXPECT_EQ(Ui_Alert_Ask(state_, "x", nullptr, nullptr, 0, nullptr), -1);
    EXPECT_EQ(Ui_Alert_Caution(state_, "Careful", nullptr, 0), 0);
    EXPECT_EQ(Ui_Alert_Stop(nullptr, "x", nullptr, 0), -1);
    const std::string caution = std::to_string(kUiAlertIconCaution);
    EXPECT_EQ(gShown,
              (std::vector<std::string>{"Replace? |  | Use Anyway | Cancel | " + caution + " 2",
                                        "Careful |  |  |  | " + caution + " 1"}));
}

TEST_F(AlertTest, HeadlessPresenterLogsTheWholeTextEvenWithoutDiagnosticsAndAnswersOne) {
    Ui_Alert_SetPresenter(nullptr);
    UiState* quiet = OpenState(0);
    int16_t item = 0;
    EXPECT_EQ(Ui_Alert_Ask(quiet, "Keep going?", nullptr, nullptr, 0, &item), 0);
    EXPECT_EQ(item, 1);
    EXPECT_EQ(LogLines().back(), "Keep going?");
}

}  // namespace
