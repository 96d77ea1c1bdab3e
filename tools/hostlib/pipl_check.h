// Reading a module's PiPL from its file and deciding, as an editor does before it enables the
// menu item, whether the filter may run on an image.
//
// The PiPL is read from the module's resource section on disk without loading the module. The
// decision follows the properties in this order: the kind must be a filter; the interface
// version's major number must not exceed 4; the enable expression ('enbl') decides the image
// mode and depth when present, otherwise the mode flags ('mode'; a family flag admits the 8- and
// 16-bit modes of that family); the image must fit 'ms32'; and the filter-case info ('fici')
// must not give input handling 0 ("cannot handle") for the image's case.
//
// Enable expressions: `||`, `&&`, `!`, comparisons (== != < <= > >=), parentheses, numbers,
// true/false, `in (value, candidate, ...)` (true when value equals a candidate), the variables
// PSHOP_ImageMode and PSHOP_ImageDepth, and the mode names BitmapMode, GrayScaleMode,
// IndexedColorMode, RGBMode, CMYKMode, HSLMode, HSBMode, MultichannelMode, DuotoneMode, LabMode,
// Gray16Mode, RGB48Mode, Lab48Mode and CMYK64Mode. Anything else makes the expression
// unreadable, and the filter is then not offered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostsdk/pipl.h"

struct PiplProperty {
    OSType vendor = 0;
    OSType key = 0;
    int32 id = 0;
    std::string data;
};

// Parses the list (layout in hostsdk/pipl.h); every count and length is checked against size.
bool ParsePiPL(const uint8_t* bytes, size_t size, std::vector<PiplProperty>* properties,
               std::string* error);

constexpr int kFilterCaseCount = 7;

struct ModuleInfo {
    OSType kind = 0;
    std::string name, category, entryPoint;
    int32 version = -1;  // -1: no 'vers'
    bool hasModes = false;
    uint8 modeFlags = 0;  // first flag byte of 'mode'
    bool hasEnable = false;
    std::string enable;
    bool hasMaxSize = false;
    int32 maxRows = 0, maxColumns = 0;
    bool hasCaseInfo = false;
    uint8 caseInfo[kFilterCaseCount][4] = {};
};

// Takes the properties of vendor '8BIM' that the host uses; false when one is malformed.
bool DescribeModule(const std::vector<PiplProperty>& properties, ModuleInfo* info,
                    std::string* error);

// Reads and describes the PiPL (id 16000) of the module file; the error says what is wrong with
// the file, without its path.
bool ReadModuleInfo(const std::string& path, ModuleInfo* info, std::string* error);

struct ImageFacts {
    int16 mode = 0;
    int32 depth = 8;
    int32 width = 0, height = 0;
    int16 filterCase = 1;  // 1 .. 7, in the order of the 'fici' entries
};

// Empty when the filter may run on the image; otherwise why not, as one phrase.
std::string WhyNotAvailable(const ModuleInfo& info, const ImageFacts& facts);

// 1 when the expression holds for the image, 0 when not, -1 when it cannot be read (error says
// why).
int EvaluateEnable(const std::string& expression, const ImageFacts& facts, std::string* error);

// Everything of the record but the names, on one line, for the host's verbose report: the kind,
// the version, the mode flags, the size limit and the case info.
std::string ModuleInfoText(const ModuleInfo& info);

// "RGB", "Grayscale", ... for messages.
const char* ModeName(int16 mode);
