// Basic types of the host's filter plug-in interface, as the module and the stand-in host see
// them. The names are the host SDK's; the layout is ours (this folder is the one place to swap
// for a build against the real SDK headers).
#pragma once

#include <cstdint>

using int16 = int16_t;
using int32 = int32_t;
using uint8 = uint8_t;
using uint16 = uint16_t;
using uint32 = uint32_t;
using Boolean = uint8_t;
using OSErr = int16_t;
using OSType = uint32_t;
using ResType = uint32_t;
using DescriptorKeyID = uint32_t;
using DescriptorTypeID = uint32_t;
using Fixed = int32_t;  // 16.16 fixed point
using Ptr = char*;

// An opaque handle of the host's handle suite.
struct PIHandleRecord;
using Handle = PIHandleRecord*;

// A four-character code, first character in the most significant byte.
constexpr uint32_t PIFourCC(char a, char b, char c, char d) {
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}

struct Point {
    int16 v, h;
};
struct VPoint {
    int32 v, h;
};
// 16-bit rectangle: top, left, bottom, right.
struct Rect {
    int16 top, left, bottom, right;
};
// 32-bit rectangle: top, left, bottom, right.
struct VRect {
    int32 top, left, bottom, right;
};
struct RGBColor {
    uint16 red, green, blue;
};

// Selectors of PluginMain.
enum : int16 {
    filterSelectorAbout = 0,
    filterSelectorParameters = 1,
    filterSelectorPrepare = 2,
    filterSelectorStart = 3,
    filterSelectorContinue = 4,
    filterSelectorFinish = 5,
};

// Results written to the host's 16-bit result.
enum : OSErr {
    noErr = 0,
    userCanceledErr = -128,
    memFullErr = -108,
    filterBadParameters = -30100,
    filterBadMode = -30101,
    errPlugInHostInsufficient = -30900,
};

// Image modes.
enum : int16 {
    plugInModeBitmap = 0,
    plugInModeGrayScale = 1,
    plugInModeIndexedColor = 2,
    plugInModeRGBColor = 3,
    plugInModeCMYKColor = 4,
    plugInModeHSLColor = 5,
    plugInModeHSBColor = 6,
    plugInModeMultichannel = 7,
    plugInModeDuotone = 8,
    plugInModeLabColor = 9,
    plugInModeGray16 = 10,
    plugInModeRGB48 = 11,
    plugInModeLab48 = 12,
    plugInModeCMYK64 = 13,
};

// descriptorParameters: playInfo (what the host asks of the dialog on replay) and recordInfo
// (what the plug-in says about its dialog when recording).
enum : int16 {
    plugInDialogDontDisplay = 0,
    plugInDialogDisplay = 1,
    plugInDialogSilent = 2,
};
enum : int16 {
    plugInDialogOptional = 0,
    plugInDialogRequired = 1,
    plugInDialogNone = 2,
};
