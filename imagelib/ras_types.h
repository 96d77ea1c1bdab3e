// The records of the scanline image framework (ras_image.h): the format numbers, the colour-space
// codes, the image descriptor and the scanline. The format readers fill them and the framework
// dispatches to the readers, so they live apart from both.
#pragma once

#include <cstdint>

// Format numbers. They are stored with images and settings elsewhere, so they never change,
// including those of the formats not implemented here.
enum : uint32_t {
    kRasFormatNone = 0,
    kRasFormatTiff = 1,      // TIFF, 8 bits per sample
    kRasFormatTarga = 2,     // not implemented
    kRasFormatScitexCT = 3,  // not implemented
    kRasFormatEps = 4,       // not implemented
    kRasFormatDcs = 5,       // not implemented
    kRasFormatPhotoCD = 6,   // not implemented
    kRasFormatBmp = 7,       // not implemented
    kRasFormatCineon = 8,    // not implemented
    kRasFormatJpeg = 9,
    kRasFormatTiff16 = 10,    // TIFF, 16 bits per sample
    kRasFormatReserved = 11,  // every operation answers -9
};

// Colour-space codes of the descriptor.
enum : uint32_t {
    kRasSpaceRGB = 1,
    kRasSpaceCMYK = 4,
    kRasSpaceGrey = 5,
    kRasSpaceLab = 7,
    kRasSpacePhotoYCC = 8,
};

constexpr uint32_t kRasMaxChannels = 4;

// The image descriptor. Filled by a module's open when reading, by RasSetUpImage when writing.
struct RasImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;
    uint32_t colorSpace = 0;
    uint32_t format = kRasFormatNone;
    uint32_t reserved = 0;
    uint32_t maxValue = 0;     // 255, 1023 (Cineon) or 65535 (16-bit TIFF)
    float resolution = -1.0f;  // pixels per inch; -1 when the file gives none that is positive
    void* state = nullptr;     // the open module's private state; null while closed
};

// One scanline, planar. Exactly one of the two plane sets is in use, chosen by the image's max
// value; the other stays null.
struct RasSl {
    uint32_t width = 0;
    uint32_t channels = 0;
    uint8_t* planes8[kRasMaxChannels] = {};
    uint16_t* planes16[kRasMaxChannels] = {};
};
