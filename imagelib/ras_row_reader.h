// Rows of an image file in the caller's layout: the file path of the resampler.
//
// IPScaleImageDown2 can take its source from an image file instead of an image in memory; it
// then reads the file row by row and filters the rows as it would rows of an image view. This
// reader is that file path: it identifies and opens the file through the scanline framework and
// delivers any row into the caller's channel pointers with the caller's pixel step and sample
// size, whatever the file's own depth and channel layout. The resampler owns the filtering; this
// owns only the reading.
//
// Depth conversion: a sample v of an image whose largest value is M becomes
// (v * T + M / 2) / M for a target largest value T of 255 (1 byte) or 65535 (2 bytes), so 8-bit
// values widen exactly (v * 257) and 16-bit values narrow with rounding, as the colour engine's
// code tables convert between the two depths.
#pragma once

#include <cstdint>

#include "imagelib/ras_image.h"
#include "platform/file.h"
#include "platform/status.h"

struct RasRowReader {
    RasImage image;  // describes the open file: width, height, channels, colour space
    RasSl sl;
};

// Identifies and opens the file. On failure the reader is left closed.
int32_t RasRowReaderOpen(RasRowReader* reader, const FLSpec* spec);

// Reads row y. channels[c] points at the first sample of channel c of that row, for every
// channel the image has (null for one of them: -1); successive pixels lie pixelStep samples
// apart (at least 1). bytesPerSample is 1 (uint8_t samples) or 2 (uint16_t samples).
int32_t RasRowReaderRead(RasRowReader* reader, uint32_t y, uint32_t bytesPerSample,
                         uint32_t pixelStep, void* const channels[kRasMaxChannels]);

// Closes the file and frees the scanline. A reader that is not open: -1.
int32_t RasRowReaderClose(RasRowReader* reader);
