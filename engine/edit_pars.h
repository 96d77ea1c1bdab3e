// The edit parameters: one flat record that describes every correction the filter makes.
//
// EditPars is copied whole with a byte copy (undo snapshot, dialogs, stored settings), so it holds
// no pointers and its layout is fixed: 2,957 four-byte words. Each 8-bit flag sits in its own
// four-byte slot, followed by reserved bytes that are always zero. The record is edited by the
// editing window, filled by the automatic settings, read by the colour engine and stored as a
// float vector (edit/pars_vector.h).
//
// The groups of the record are selected by a 16-bit mask (HgEditMask): bit 0 linear, bit 1 the
// colour balance, bits 2-4 black, grey and white point, bits 5-9 brightness, shadows, highlights,
// contrast and saturation, bits 10-15 the six hue handles. The same bits select the engine's edit
// stages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "engine/ref_rgb.h"
#include "platform/status.h"

using HgEditMask = uint16_t;

enum : HgEditMask {
    kEditLinear = 1,
    kEditBalance = 2,
    kEditBlackPoint = 4,
    kEditGrayPoint = 8,
    kEditWhitePoint = 16,
    kEditBrightness = 32,
    kEditShadow = 64,
    kEditHighlight = 128,
    kEditContrast = 256,
    kEditSaturation = 512,
    kEditHue0 = 1024,  // handle i is kEditHue0 << i

    kEditMaskAll = 65535,
    kEditMaskTool1 = 2,
    kEditMaskTool1Linear = 3,  // the colour balance with linear travelling along
    kEditMaskTool2 = 28,
    kEditMaskTool3 = 992,
    kEditMaskTool4 = 64512,
    kEditMaskAllHues = 64512,
    kEditMaskFromTool1 = 65534,
    kEditMaskFromTool2 = 65532,
    kEditMaskFromTool3 = 65504,
    kEditMaskFromTool4 = 64512,
};

constexpr int kEditBinCount = 20;
constexpr int kEditHueCount = 6;
constexpr int kEditCurveSize = 256;
constexpr int kEditPlainColorId = 6;  // colorId 6 + i: handle i stands for no memory colour

// One sample bin: the sums of R, G and B (0..1 each) of the samples filed into it and their count.
// A sample of luma Y = 0.299 R + 0.587 G + 0.114 B goes into bin trunc(20 Y), limited to 0..19.
struct SampleBin {
    float sum[3];
    int32_t count;
};

// One handle of the hue ring: "Before" is baseHue, "After" is baseHue + hueShift.
struct HueHandle {
    float baseHue;     // degrees, 0..360
    float hueShift;    // degrees
    float brightness;  // 0.5 is no change
    float saturation;  // 0.5 is no change
    int32_t colorId;   // 0..5 the memory colour last applied, 6..11 a plain handle
    SampleBin hueBin[kEditBinCount];
};

// Sharpening and colour-noise removal. Index 1 of the noise arrays is the blue chrominance, index 2
// the red chrominance; index 0 and 3 are carried along unused. The ranges and defaults of the
// numbers are the SharpenNoiseRange constants below.
struct SharpenNoise {
    uint8_t sharpenOn;
    uint8_t reserved0[3];
    int32_t sharpenStrength;
    int32_t sharpenK;
    uint8_t noiseOn;
    uint8_t reserved1[3];
    uint8_t noiseFlag;
    uint8_t reserved2[3];
    int32_t noiseRadius[4];
    int32_t noiseThreshold[4];
    int32_t noiseK;
};

// What one number of SharpenNoise may hold and its default. These are the only statement of
// them: the stored forms repair with them (RepairSharpenNoise), the defaults come from them and
// the sharpen and noise dialog's sliders span them. Index 0 of the noise arrays is always 0;
// index 3 is carried along unchecked.
struct SharpenNoiseRange {
    int32_t lo, hi;
    int32_t byDefault;
};
constexpr SharpenNoiseRange kSharpenStrengthRange = {1, 24, 6};
constexpr SharpenNoiseRange kSharpenKRange = {-1, -1, -1};
constexpr SharpenNoiseRange kNoiseRadiusRange[3] = {{0, 0, 0}, {3, 16, 8}, {3, 16, 4}};
constexpr SharpenNoiseRange kNoiseThresholdRange[3] = {{0, 0, 0}, {1, 50, 16}, {1, 50, 16}};
constexpr SharpenNoiseRange kNoiseKRange = {4, 4, 4};

struct EditPars {
    uint8_t linear;  // the image holds linear-light data (16-bit images only)
    uint8_t reserved0[3];
    SampleBin balBin[kEditBinCount];
    float neutralTarget[3];  // strength 0..100, hue at lightness 50, hue change per lightness unit
    float blackPoint;        // -1..1
    float grayPoint;         // 0..1
    float whitePoint;        // 0..2
    float brightness;
    float shadow;
    float highlight;
    float contrast;
    float saturation;
    HueHandle hue[kEditHueCount];
    float toneColor[3];  // toning is on when a component differs from 0.5 by 1e-8 or more
    RefRGB refRGB;
    int32_t balCurveValid;  // 1 while balCurve matches the bins and neutralTarget
    // Tables the engine derives from the parameters; they travel with every copy of the record
    // and are never stored. Each *CurveFor holds the value its curve was last built for.
    float balCurve[3][kEditCurveSize];
    float refTables[18];
    float gammaTable[kEditCurveSize];
    float shadowCurveFor;
    float shadowCurve[kEditCurveSize];
    float highlightCurveFor;
    float highlightCurve[kEditCurveSize];
    float toneCurveFor[3];
    float toneCurve[3][kEditCurveSize];
    SharpenNoise sharpenNoise;
};

// The eight parameters of one number each (the tone points and the brightness tab): the name the
// logs give them, the field, the valid values, the Reset value (which changes nothing) and the
// group, in the order of the stored float vector. The engine's parameter check, Reset, the mask
// of stages that change anything and the stored forms all read them here.
struct EditSingle {
    const char* name;
    float EditPars::*field;
    float lo, hi;
    float reset;
    HgEditMask group;
};
constexpr EditSingle kEditSingles[8] = {
    {"blackPoint", &EditPars::blackPoint, -1.0f, 1.0f, 0.0f, kEditBlackPoint},
    {"grayPoint", &EditPars::grayPoint, 0.0f, 1.0f, 0.5f, kEditGrayPoint},
    {"whitePoint", &EditPars::whitePoint, 0.0f, 2.0f, 1.0f, kEditWhitePoint},
    {"brightness", &EditPars::brightness, 0.0f, 1.0f, 0.5f, kEditBrightness},
    {"shadow", &EditPars::shadow, 0.0f, 1.0f, 0.5f, kEditShadow},
    {"highlight", &EditPars::highlight, 0.0f, 1.0f, 0.5f, kEditHighlight},
    {"contrast", &EditPars::contrast, 0.0f, 1.0f, 0.5f, kEditContrast},
    {"saturation", &EditPars::saturation, 0.0f, 1.0f, 0.5f, kEditSaturation},
};
// Whether a single parameter holds a valid value (never for NaN).
inline bool EditSingleValid(const EditPars* p, const EditSingle& single) {
    const float v = p->*single.field;
    return single.lo <= v && v <= single.hi;
}

static_assert(sizeof(SampleBin) == 4 * 4);
static_assert(sizeof(HueHandle) == 85 * 4);
static_assert(sizeof(SharpenNoise) == 14 * 4);
static_assert(sizeof(EditPars) == 2957 * 4, "EditPars must stay 2,957 four-byte words");
static_assert(offsetof(EditPars, balBin) == 4 && offsetof(EditPars, sharpenNoise) == 2943 * 4);
static_assert(std::is_trivially_copyable_v<EditPars> && std::is_standard_layout_v<EditPars>);

// Sets every group selected by mask to its Reset value. The toning colour, its curves and the
// colorId of every handle are reset only when all six hue bits are set. refRGB, refTables,
// gammaTable and sharpenNoise are never touched. -1 for a null record.
int32_t ResetPars(EditPars* editPars, HgEditMask mask);

// The sharpen and noise values given to fresh stored copies: sharpening and noise removal off,
// the noise flag on, every number at its range's default (strength 6, radii 8 and 4, thresholds
// 16 and 16).
int32_t SetSharpenNoiseDefaults(SharpenNoise* sharpenNoise);

// Gives every number of the chosen parts that lies outside its range its default: the same rule
// for every stored form (preferences, float vector, settings text). The flags take any value.
// True when anything was replaced.
enum : uint8_t {
    kSharpenPart = 1,  // sharpenStrength, sharpenK
    kNoisePart = 2,    // noiseRadius and noiseThreshold [0..2], noiseK
    kSharpenNoiseParts = 3,
};
bool RepairSharpenNoise(SharpenNoise* sharpenNoise, uint8_t parts = kSharpenNoiseParts);

// A whole record at its defaults: zeroed, Reset with every group, the default sharpen and noise
// values and the default reference space. refTables and gammaTable stay zero: the engine derives
// them when it adopts a working space for the record. Used for the stored copies of a fresh
// preferences record.
int32_t SetParsDefaults(EditPars* editPars);

// What a stored record may hold beyond the engine's parameter check: a colorId names a memory
// colour (0..5) or a plain handle (6..11), and the toning colour is a colour, each component
// 0..1 (NaN never). Every stored form (the float vector, the settings text file) applies the
// same rules, so that a record one form keeps is never refused or repaired by another.
bool EditColorIdValid(int32_t colorId);
bool EditToneColorValid(const float toneColor[3]);

// The identity ramp i / 255 that every curve of the record is reset to.
float EditIdentityRamp(int i);
