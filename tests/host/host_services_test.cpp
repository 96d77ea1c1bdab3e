// Host services: the colour picker's two calls and the document title.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_services.h"
#include "tests/host/test_host.h"

namespace {

using test_host::TestHost;

TEST(HostServices, PickerOffersRoundedCodesAndTakesTheAnswerInRgb) {
    TestHost host;
    TestHost::answerComponents[0] = 51;
    TestHost::answerComponents[1] = 102;
    TestHost::answerComponents[2] = 255;
    float rgb[3] = {1.0f, 0.5f, 0.0f};
    ASSERT_EQ(HostCSPickColor(&host.record, nullptr, rgb), 0);
    ASSERT_EQ(TestHost::colourCalls.size(), 1u);
    const ColorServicesInfo& offered = TestHost::colourCalls[0];
    EXPECT_EQ(offered.selector, plugIncolorServicesChooseColor);
    EXPECT_EQ(std::vector<int>(offered.colorComponents, offered.colorComponents + 4),
              (std::vector<int>{255, 128, 0, 0}));
    const unsigned char* prompt = offered.selectorParameter.pickerPrompt;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(prompt), 14), "\rPick a color.");
    EXPECT_FLOAT_EQ(rgb[0], 0.2f);
    EXPECT_FLOAT_EQ(rgb[2], 1.0f);

    // An answer in another space is converted by a second call.
    TestHost::colourCalls.clear();
    TestHost::answerSpace = 2;
    ASSERT_EQ(HostCSPickColor(&host.record, nullptr, rgb), 0);
    ASSERT_EQ(TestHost::colourCalls.size(), 2u);
    EXPECT_EQ(TestHost::colourCalls[1].selector, plugIncolorServicesConvertColor);
    EXPECT_EQ(TestHost::colourCalls[1].sourceSpace, 2);
    EXPECT_EQ(TestHost::colourCalls[1].resultSpace, 0);
    EXPECT_FLOAT_EQ(rgb[1], 20.0f / 255.0f);
}

TEST(HostServices, PickerAnswersOutsideTheRgbRangeAreClamped) {
    // The host's fields are 16-bit: whatever it answers, the colour stays within 0..1.
    TestHost host;
    TestHost::answerComponents[0] = -40;
    TestHost::answerComponents[1] = 300;
    TestHost::answerComponents[2] = 32767;
    float rgb[3] = {0.5f, 0.5f, 0.5f};
    ASSERT_EQ(HostCSPickColor(&host.record, nullptr, rgb), 0);
    EXPECT_EQ(rgb[0], 0.0f);
    EXPECT_EQ(rgb[1], 1.0f);
    EXPECT_EQ(rgb[2], 1.0f);
}

TEST(HostServices, PickerFailuresLeaveTheColour) {
    TestHost host;
    float rgb[3] = {0.1f, 0.2f, 0.3f};
    TestHost::colourError = -1;
    EXPECT_EQ(HostCSPickColor(&host.record, nullptr, rgb), -2);
    EXPECT_FLOAT_EQ(rgb[0], 0.1f);
    // A person closing the picker is a cancel, which the window never shows as an error.
    TestHost::colourError = userCanceledErr;
    EXPECT_EQ(HostCSPickColor(&host.record, nullptr, rgb), -10);
    EXPECT_FLOAT_EQ(rgb[0], 0.1f);
    host.record.colorServices = nullptr;
    TestHost::colourCalls.clear();
    EXPECT_EQ(HostCSPickColor(&host.record, nullptr, rgb), -9);
    EXPECT_TRUE(TestHost::colourCalls.empty());
    EXPECT_EQ(HostCSPickColor(nullptr, nullptr, rgb), -1);
}

TEST(HostServices, TitleIsCutToTheBuffer) {
    TestHost host;
    TestHost::title = "a-long-document-name.tif";
    char buf[8];
    ASSERT_EQ(GetDocumentTitle(&host.record, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "a-long-");
    EXPECT_EQ(TestHost::LiveHandles(), 0);
    TestHost::refuseTitle = true;
    EXPECT_EQ(GetDocumentTitle(&host.record, buf, sizeof buf), -2);
    host.record.propertyProcs = nullptr;
    EXPECT_EQ(GetDocumentTitle(&host.record, buf, sizeof buf), -9);
    EXPECT_EQ(GetDocumentTitle(&host.record, buf, 0), -1);
}

}  // namespace
