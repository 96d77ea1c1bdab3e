// The stand-in host's colour picker: an answer given for a script, or the person's chooser asked
// with the filter's prompt and colour, and a cancel that changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "tools/hostlib/host_services.h"

namespace {

const unsigned char kPrompt[] = "\015Pick a color.";
// A colour space other than RGB (the host interface numbers HSB 1).
constexpr int16 kHsbSpace = 1;

ColorServicesInfo Choose(int16 r, int16 g, int16 b, int16 space = plugIncolorServicesRGBSpace) {
    ColorServicesInfo info{};
    info.infoSize = sizeof info;
    info.selector = plugIncolorServicesChooseColor;
    info.sourceSpace = space;
    info.resultSpace = space;
    info.colorComponents[0] = r;
    info.colorComponents[1] = g;
    info.colorComponents[2] = b;
    info.selectorParameter.pickerPrompt = kPrompt;
    return info;
}

struct Asked {
    int calls = 0;
    std::string prompt;
    int start[3] = {-1, -1, -1};
};

ServiceSettings WithChooser(Asked* asked, bool accept, int r, int g, int b) {
    ServiceSettings s;
    s.chooser = [=](const std::string& prompt, int rgb[3]) {
        ++asked->calls;
        asked->prompt = prompt;
        for (int c = 0; c < 3; ++c) asked->start[c] = rgb[c];
        if (!accept) return false;
        rgb[0] = r;
        rgb[1] = g;
        rgb[2] = b;
        return true;
    };
    return s;
}

TEST(ColorServices, ThePersonsChooserStartsFromTheFiltersColourAndItsChoiceIsTheAnswer) {
    Asked asked;
    SetServiceSettings(WithChooser(&asked, true, 40, 128, 102));
    ColorServicesInfo info = Choose(159, 128, 102);
    ASSERT_EQ(HostColorServices(&info), noErr);
    EXPECT_EQ(asked.calls, 1);
    EXPECT_EQ(asked.prompt, "Pick a color.");
    EXPECT_EQ(asked.start[0], 159);
    EXPECT_EQ(asked.start[2], 102);
    EXPECT_EQ(info.resultSpace, plugIncolorServicesRGBSpace);
    EXPECT_EQ(info.colorComponents[0], 40);
    EXPECT_EQ(info.colorComponents[1], 128);
    EXPECT_EQ(info.colorComponents[2], 102);
    EXPECT_EQ(GetServiceCounters().pickRequests, 1);

    // A colour the chooser cannot show is held to its range; one in another space starts it
    // from black rather than from numbers that mean something else there.
    info = Choose(-5, 300, 7);
    ASSERT_EQ(HostColorServices(&info), noErr);
    EXPECT_EQ(asked.start[0], 0);
    EXPECT_EQ(asked.start[1], 255);
    EXPECT_EQ(asked.start[2], 7);
    info = Choose(90, 90, 90, kHsbSpace);
    ASSERT_EQ(HostColorServices(&info), noErr);
    EXPECT_EQ(asked.start[0], 0);
    EXPECT_EQ(info.resultSpace, plugIncolorServicesRGBSpace);
}

TEST(ColorServices, CancellingChangesNothingAndAScriptedAnswerNeedsNoChooser) {
    Asked asked;
    SetServiceSettings(WithChooser(&asked, false, 1, 2, 3));
    ColorServicesInfo info = Choose(159, 128, 102);
    EXPECT_EQ(HostColorServices(&info), userCanceledErr);
    EXPECT_EQ(asked.calls, 1);
    EXPECT_EQ(info.colorComponents[0], 159);
    EXPECT_EQ(info.colorComponents[2], 102);

    // --pick answers for a script: the chooser is never shown.
    ServiceSettings scripted = WithChooser(&asked, true, 1, 2, 3);
    scripted.havePick = true;
    scripted.pick[0] = 7;
    scripted.pick[1] = 8;
    scripted.pick[2] = 9;
    SetServiceSettings(scripted);
    info = Choose(159, 128, 102);
    ASSERT_EQ(HostColorServices(&info), noErr);
    EXPECT_EQ(asked.calls, 1);
    EXPECT_EQ(info.colorComponents[0], 7);
    EXPECT_EQ(info.colorComponents[2], 9);

    SetServiceSettings(ServiceSettings());
    info = Choose(159, 128, 102);
    EXPECT_EQ(HostColorServices(&info), userCanceledErr);
    EXPECT_EQ(info.colorComponents[0], 159);
}

}  // namespace
