// Reading a module's PiPL from its file, and the decision whether the filter runs on an image.
#include <gtest/gtest.h>

#include "tools/hostlib/module_file.h"
#include "tools/hostlib/pipl_check.h"

namespace {

ImageFacts Facts(int16 mode, int32 depth = 8, int16 filterCase = 1) {
    ImageFacts f;
    f.mode = mode;
    f.depth = depth;
    f.width = 640;
    f.height = 480;
    f.filterCase = filterCase;
    return f;
}

TEST(PiplCheck, TheModulesOwnPiplIsReadFromItsFile) {
    ModuleInfo info;
    std::string error;
    ASSERT_TRUE(ReadModuleInfo(TEST_MODULE_PATH, &info, &error)) << error;
    EXPECT_EQ(info.name, "Tintara Kolmara Pro 6.0...");
    EXPECT_EQ(info.category, "Lumetra");
    EXPECT_EQ(info.entryPoint, "PluginMain");
    EXPECT_EQ(info.version, 0x00040000);
    EXPECT_TRUE(info.hasModes);
    EXPECT_EQ(info.modeFlags, PIFlagRGBColor);
    EXPECT_EQ(info.enable, "in (PSHOP_ImageMode, RGBMode, RGB48Mode)");
    EXPECT_EQ(info.maxRows, 3000000);
    EXPECT_EQ(info.maxColumns, 3000000);
    for (const auto& c : info.caseInfo)
        EXPECT_EQ((std::vector<int>{c[0], c[1], c[2], c[3]}), (std::vector<int>{1, 1, 1, 0}));

    // Offered for 8- and 16-bit RGB, flat or with transparency, with or without a selection;
    // refused for every other mode, as an editor greys out the menu item.
    for (int16 filterCase = 1; filterCase <= 7; ++filterCase) {
        EXPECT_EQ(WhyNotAvailable(info, Facts(plugInModeRGBColor, 8, filterCase)), "");
        EXPECT_EQ(WhyNotAvailable(info, Facts(plugInModeRGB48, 16, filterCase)), "");
    }
    EXPECT_EQ(WhyNotAvailable(info, Facts(plugInModeGrayScale)),
              "it is not available for Grayscale images (its PiPL enables it only when in "
              "(PSHOP_ImageMode, RGBMode, RGB48Mode))");
    for (int16 mode :
         {plugInModeGray16, plugInModeCMYKColor, plugInModeLabColor, plugInModeIndexedColor}) {
        EXPECT_NE(WhyNotAvailable(info, Facts(mode)), "") << ModeName(mode);
    }
    ImageFacts huge = Facts(plugInModeRGBColor);
    huge.width = 3000001;
    EXPECT_NE(WhyNotAvailable(info, huge).find("larger than it accepts"), std::string::npos);
}

TEST(PiplCheck, EnableExpressionsAreEvaluatedAndUnreadableOnesRefused) {
    struct Case {
        const char* expression;
        int16 mode;
        int32 depth;
        int expected;
    };
    const Case cases[] = {
        {"in (PSHOP_ImageMode, RGBMode, RGB48Mode)", plugInModeRGB48, 16, 1},
        {"in(PSHOP_ImageMode,RGBMode)", plugInModeRGB48, 16, 0},
        {"PSHOP_ImageMode == RGBMode && PSHOP_ImageDepth == 8", plugInModeRGBColor, 8, 1},
        {"PSHOP_ImageMode == RGBMode && PSHOP_ImageDepth == 8", plugInModeRGBColor, 16, 0},
        {"!(PSHOP_ImageMode == CMYKMode) || false", plugInModeCMYKColor, 8, 0},
        {"PSHOP_ImageMode != CMYKMode && (PSHOP_ImageDepth >= 16 || true)", plugInModeLabColor, 8,
         1},
        {"PSHOP_ImageDepth < 16", plugInModeRGBColor, 16, 0},
        {"true", plugInModeBitmap, 1, 1},
        {"PSHOP_ImageMode == Gray16Mode", plugInModeGray16, 16, 1},
        {"PSHOP_ImageMode == NoSuchMode", plugInModeRGBColor, 8, -1},
        {"in (PSHOP_ImageMode)", plugInModeRGBColor, 8, -1},
        {"(PSHOP_ImageMode == RGBMode", plugInModeRGBColor, 8, -1},
        {"PSHOP_ImageMode == RGBMode)", plugInModeRGBColor, 8, -1},
        {"", plugInModeRGBColor, 8, -1},
        {"PSHOP_ImageMode ==", plugInModeRGBColor, 8, -1},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(EvaluateEnable(c.expression, Facts(c.mode, c.depth), &error), c.expected)
            << c.expression << " / " << error;
        EXPECT_EQ(error.empty(), c.expected >= 0) << c.expression;
    }
    ModuleInfo info;
    info.hasEnable = true;
    info.enable = "PSHOP_ImageMode == Whatever";
    EXPECT_NE(WhyNotAvailable(info, Facts(plugInModeRGBColor))
                  .find("cannot be read: unknown name Whatever"),
              std::string::npos);
}

TEST(PiplCheck, WithoutAnEnableExpressionModeFlagsCaseInfoAndVersionDecide) {
    ModuleInfo info;
    info.hasModes = true;
    info.modeFlags = PIFlagGrayScale | PIFlagCMYKColor;
    EXPECT_EQ(WhyNotAvailable(info, Facts(plugInModeGray16, 16)), "");
    EXPECT_EQ(WhyNotAvailable(info, Facts(plugInModeCMYK64, 16)), "");
    EXPECT_NE(WhyNotAvailable(info, Facts(plugInModeRGBColor)), "");
    EXPECT_NE(WhyNotAvailable(info, Facts(plugInModeLabColor)), "") << "Lab has no family flag";

    info.hasCaseInfo = true;
    for (auto& c : info.caseInfo) c[0] = c[1] = 1;
    info.caseInfo[4][0] = 0;  // cannot handle transparency with a selection
    EXPECT_EQ(WhyNotAvailable(info, Facts(plugInModeGrayScale, 8, 4)), "");
    EXPECT_EQ(WhyNotAvailable(info, Facts(plugInModeGrayScale, 8, 5)),
              "it cannot filter a layer with transparency and a selection");

    info.version = 0x00050000;
    EXPECT_NE(WhyNotAvailable(info, Facts(plugInModeGrayScale)).find("interface version 5"),
              std::string::npos);
}

TEST(PiplCheck, DamagedListsAreRefusedWithoutReadingPastThem) {
    std::string pipl, error;
    ASSERT_TRUE(ReadModuleResource(TEST_MODULE_PATH, ModulePiplType(), 16000, &pipl, &error))
        << error;
    std::vector<PiplProperty> properties;
    ASSERT_TRUE(
        ParsePiPL(reinterpret_cast<const uint8_t*>(pipl.data()), pipl.size(), &properties, &error));
    ASSERT_EQ(properties.size(), 12u);
    // Every cut of the list is refused; each copy is exactly as long as the cut, so the address
    // sanitizer sees any read beyond it.
    for (size_t n = 0; n < pipl.size(); ++n) {
        std::vector<uint8_t> cut(pipl.begin(), pipl.begin() + long(n));
        EXPECT_FALSE(ParsePiPL(cut.data(), cut.size(), &properties, &error)) << n;
    }
    std::string longer = pipl;
    longer[8 + 12] = char(0xF0);  // the first property's length, far past the end
    EXPECT_FALSE(ParsePiPL(reinterpret_cast<const uint8_t*>(longer.data()), longer.size(),
                           &properties, &error));
    EXPECT_NE(error.find("reaches past the end"), std::string::npos);
    std::string version = pipl;
    version[0] = 1;
    EXPECT_FALSE(ParsePiPL(reinterpret_cast<const uint8_t*>(version.data()), version.size(),
                           &properties, &error));

    // A property too short for what it must hold is refused rather than read beyond its data.
    properties = {PiplProperty{PIAdobeVendorID, PIFilterMaxSize, 0, std::string(5, '\0')}};
    ModuleInfo info;
    EXPECT_FALSE(DescribeModule(properties, &info, &error));
}

}  // namespace
