// Host services: the colour picker's two calls, the title, and the views of the host's buffers.
#include <gtest/gtest.h>

#include "host/host_services.h"
#include "tests/host/test_host.h"

namespace {

using test_host::TestHost;

TEST(HostServices, PickerOffersRoundedCodesAndTakesTheAnswer) {
    TestHost host;
    TestHost::answerComponents[0] = 51;
    TestHost::answerComponents[1] = 102;
    TestHost::answerComponents[2] = 255;
    float rgb[3] = {1.0f, 0.5f, 0.0f};
    ASSERT_EQ(HostCSPickColor(&host.record, nullptr, rgb), 0);
    ASSERT_EQ(TestHost::colourCalls.size(), 1u);
    const ColorServicesInfo& offered = TestHost::colourCalls[0];
    EXPECT_EQ(offered.selector, plugIncolorServicesChooseColor);
    EXPECT_EQ(offered.colorComponents[0], 255);
    EXPECT_EQ(offered.colorComponents[1], 128);
    EXPECT_EQ(offered.colorComponents[2], 0);
    EXPECT_EQ(offered.colorComponents[3], 0);
    EXPECT_EQ(offered.selectorParameter.pickerPrompt[0], 13);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(offered.selectorParameter.pickerPrompt + 1), 13),
              "Pick a color.");
    EXPECT_FLOAT_EQ(rgb[0], 0.2f);
    EXPECT_FLOAT_EQ(rgb[2], 1.0f);
}

TEST(HostServices, AnswerInAnotherSpaceIsConvertedToRgb) {
    TestHost host;
    TestHost::answerSpace = 2;
    float rgb[3] = {0, 0, 0};
    ASSERT_EQ(HostCSPickColor(&host.record, nullptr, rgb), 0);
    ASSERT_EQ(TestHost::colourCalls.size(), 2u);
    EXPECT_EQ(TestHost::colourCalls[1].selector, plugIncolorServicesConvertColor);
    EXPECT_EQ(TestHost::colourCalls[1].sourceSpace, 2);
    EXPECT_EQ(TestHost::colourCalls[1].resultSpace, 0);
    EXPECT_FLOAT_EQ(rgb[1], 20.0f / 255.0f);
}

TEST(HostServices, PickerFailuresLeaveTheColour) {
    TestHost host;
    float rgb[3] = {0.1f, 0.2f, 0.3f};
    TestHost::colourError = -1;
    EXPECT_EQ(HostCSPickColor(&host.record, nullptr, rgb), -2);
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

TEST(HostServices, ViewsDescribeTheHostBuffers) {
    TestHost host;
    uint16_t pixels[2 * 10 * 4];
    uint8_t mask[2 * 12];
    host.record.planes = 4;
    host.record.depth = 16;
    host.record.inRect = {0, 0, 2, 10};
    host.record.inData = pixels;
    host.record.inRowBytes = 80;
    IPImage in;
    ASSERT_EQ(DescribeHostInput(&host.record, &in), 0);
    EXPECT_EQ(in.channels, 4);
    EXPECT_EQ(in.pixelStep, 4);
    EXPECT_EQ(in.bytesPerSample, 2);
    EXPECT_EQ(in.rowStep, 40);
    EXPECT_EQ(in.width, 10);
    EXPECT_EQ(in.channel[3], reinterpret_cast<uint8_t*>(pixels) + 6);
    host.record.planes = 3;
    host.record.depth = 8;
    ASSERT_EQ(DescribeHostInput(&host.record, &in), 0);
    EXPECT_EQ(in.channels, 3);
    EXPECT_EQ(in.channel[3], nullptr);
    host.record.maskRect = {0, 0, 2, 12};
    host.record.maskData = mask;
    host.record.maskRowBytes = 12;
    IPImage m;
    ASSERT_EQ(DescribeHostMask(&host.record, &m), 0);
    EXPECT_EQ(m.kind, 5);
    EXPECT_EQ(m.rowStep, 12);
    EXPECT_EQ(m.channel[0], mask);
    EXPECT_EQ(m.channel[1], nullptr);
}

}  // namespace
