// The TIFF reader: baseline, uncompressed TIFF files with 8 or 16 bits per sample.
//
// Two format modules of the scanline framework share this code: format 1 reads 8-bit files
// (TiffOpen, TiffReadSl, header check TiffCheckTRH) and format 10 reads 16-bit files
// (Tiff16Open, Tiff16ReadSl, Tiff16CheckTRH). Both read uncompressed strip images of grey,
// palette, RGB, Lab and CMYK data in either byte order and either planar configuration, and
// deliver any line in any order; consecutive lines of one strip cost one read of the strip. Only
// the first image directory of a file is read. An embedded ICC profile (tag 34675) goes to the
// read-profile slot of the embedded-data store and an IPTC record (tag 33723) to the read-data
// slot, once the file has been accepted.
//
// Every offset and count taken from the file is checked against the file's size before it is
// used, and every strip against the rows it must hold, so that a damaged or hostile file gives a
// status code and never a read outside a buffer: -8 for an inconsistent layout (bad byte order
// or magic, a strip array too short for the image, a strip whose byte count does not match the
// rows it holds), -5 for data that lies beyond the end of the file, -9 for variants outside the
// supported set (compression, tiles narrower than the image, bit depths, photometric values).
//
// Tiles are read only when a tile is as wide as the image: each row of tiles is then a strip.
#pragma once

#include <cstdint>

#include "imagelib/ras_types.h"
#include "platform/file.h"
#include "platform/status.h"

// The image directory as far as the reader uses it. Defaults are set before the entries are
// read; arrays are Mem_Alloc blocks owned by the record.
struct TiffDir {
    uint8_t bigEndian = 0;      // "MM" files
    int32_t currentStrip = -1;  // strip held in the strip buffer; -1 none
    uint32_t newSubfileType = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bitsPerSample[4] = {1, 1, 1, 1};
    uint32_t compression = 1;
    uint32_t photometric = 1;
    uint32_t* stripOffsets = nullptr;
    uint32_t stripOffsetCount = 0;
    uint32_t samplesPerPixel = 1;
    uint32_t rowsPerStrip = 0;  // the height unless tag 278 says otherwise
    uint32_t* stripByteCounts = nullptr;
    uint32_t stripByteCountCount = 0;
    uint32_t xResolution[2] = {300, 1};  // numerator, denominator
    uint32_t yResolution[2] = {300, 1};
    uint32_t planarConfig = 1;
    uint32_t greyResponseUnit = 2;
    uint32_t t4Options = 0;
    uint32_t t6Options = 0;
    uint32_t resolutionUnit = 2;  // inch
    uint16_t pageNumber[2] = {0, 1};
    uint32_t colourResponseUnit = 2;
    uint32_t predictor = 1;
    uint16_t* colourMap = nullptr;  // 3 x 256, red then green then blue, host byte order
    uint32_t tileWidth = 0;
    uint32_t tileLength = 0;
    uint32_t* tileOffsets = nullptr;
    uint32_t tileOffsetCount = 0;
    uint32_t* tileByteCounts = nullptr;
    uint32_t tileByteCountCount = 0;
    uint32_t inkSet = 1;
    // The IPTC record: its bytes as they stand in the file, after 4 bytes of room for the length
    // that the embedded-data store puts in front.
    uint8_t* iptcBlock = nullptr;
    uint32_t iptcSize = 0;
    uint8_t* profile = nullptr;  // the ICC profile as it stands in the file
    uint32_t profileSize = 0;
    uint8_t rowsPerStripSet = 0;  // tag 278 was seen
    uint8_t stripsFromTiles = 0;
    uint8_t greyPalette = 0;  // a colour map whose entries are all grey: read as one channel
};

// One raw directory entry; value holds the four bytes of the value field as they stand.
struct TiffEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint8_t value[4] = {};
};

// The private state of an open TIFF file (the descriptor's format state).
struct TiffState {
    FLFile file;
    TiffDir dir;
    int32_t fileSize = 0;
    uint32_t bytesPerSample = 1;  // 1 for format 1, 2 for format 10
    uint32_t stripsPerImage = 0;  // strips of one plane
    uint32_t bufferRows = 0;      // rows one strip holds
    uint32_t rowBytes = 0;        // bytes of one row of one plane (planar) or of all samples
    uint64_t stripBytes = 0;      // bytes of one strip of one plane (planar) or of all samples
    uint8_t* stripBuffer = nullptr;
    uint8_t* rowBuffer = nullptr;  // used when there is no strip buffer
};

// The module operations of the framework. Open expects image->state to point at a zeroed
// TiffState-sized block (RasOpen provides it); on failure everything the open made is freed.
int32_t TiffOpen(const FLSpec* spec, RasImage* image);
int32_t Tiff16Open(const FLSpec* spec, RasImage* image);
int32_t TiffReadSl(RasImage* image, uint32_t y, RasSl* sl);
int32_t Tiff16ReadSl(RasImage* image, uint32_t y, RasSl* sl);
// Shared by both formats: closes the file and frees the directory and buffers. The state block
// itself belongs to the framework.
int32_t TiffClose(RasImage* image);

// Header checks of the two modules: 0, or -9 for a file outside the supported set.
int32_t TiffCheckTRH(const TiffDir* dir);
int32_t Tiff16CheckTRH(const TiffDir* dir);

// Reads the next 12-byte directory entry at the file's position.
int32_t TiffReadIFDE(TiffState* state, TiffEntry* entry);
// Takes one entry into the directory record. Entries of tags the reader does not use, and
// entries whose type or count does not fit their tag, are skipped.
int32_t TiffProcessIFDE(TiffState* state, const TiffEntry* entry);

// The largest strip buffer the reader takes; a larger strip is read row by row. The default is
// the largest block the memory manager can hand out.
void TiffSetStripBufferLimit(uint32_t bytes);
uint32_t TiffGetStripBufferLimit();
