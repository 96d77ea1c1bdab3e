// The scanline image framework: image files read one line at a time.
//
// An image file is described by a RasImage: its size, channel count, colour space and the
// number of the format module that reads it. Lines come back in a RasSl, one buffer per
// channel (8-bit samples when the image's largest value is below 256, 16-bit otherwise), in the
// channel order of the colour space whatever the order in the file. Lines may be read in any
// order; the modules seek. Images larger than memory can be processed this way, line by line.
//
// The framework identifies a file by trying the readers in a fixed order (RasQuery) and
// dispatches open, read and close to the module by format number. Formats the library does not
// implement keep their numbers and answer -9 (unsupported) to every operation. All file access
// goes through the file layer, so an image can equally be read from a memory block.
//
// Typical use: RasQuery, RasOpen with "r", RasReadSl for each line needed into one RasSl,
// RasFreeSl, RasClose. Failures are status codes; the library shows nothing itself.
#pragma once

#include <cstdint>

#include "imagelib/ras_types.h"
#include "platform/file.h"
#include "platform/status.h"

// Fills a descriptor for writing: format 1 .. 10, channels 1, 3 or 4, colour space 1, 4, 5, 7
// or 8; anything else -1. A resolution that is not a positive finite number is stored as -1.
int32_t RasSetUpImage(RasImage* image, uint32_t format, uint32_t width, uint32_t height,
                      uint32_t channels, uint32_t colorSpace, float resolution);

// Identifies the file and fills the descriptor; the file is closed again and the descriptor
// left closed. Returns 0 when a reader accepted the file, otherwise the failure of the last
// reader that was tried (formats not implemented here are skipped). Empties the read slots of
// the embedded-data store first.
int32_t RasQuery(const FLSpec* spec, RasImage* image);

// Opens the file with the module of image->format. Mode "r" reads; "w" is only for formats
// with a writer, and this library has none, so it answers -9. Any other mode: -1, and nothing
// is allocated. On success the descriptor is open; on failure it is left closed. Opening for
// reading empties the read slots of the embedded-data store first.
int32_t RasOpen(const FLSpec* spec, const char* mode, RasImage* image);

// Sets the scanline's width and channels from the descriptor and allocates one plane per
// channel, 8-bit or 16-bit by the max value. Planes the record already held are freed first.
// Channels other than 1, 3, 4: -1. Width 0: nothing is allocated, 0. When an allocation fails
// everything is freed and -3 returned.
int32_t RasMakeSl(RasSl* sl, const RasImage* image);

// Reads line y (0 at the top) into the scanline, making the scanline first when its width or
// channels are 0. A scanline of another width or channel count than the image, one without the
// planes the image needs, or a line outside the image, is refused with -1.
int32_t RasReadSl(RasImage* image, uint32_t y, RasSl* sl);

// Frees the planes and clears the record, so that the next RasReadSl makes it afresh.
int32_t RasFreeSl(RasSl* sl);

// Closes the module and frees the format state. A descriptor that is not open: -1.
int32_t RasClose(RasImage* image);
