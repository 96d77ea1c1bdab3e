// The JPEG module (format 9): JPEG files read line by line through libjpeg.
//
// Decoding goes through libjpeg's standard decompression interface. The compressed data comes
// from the file layer through a source manager of our own, so memory files work as disk files
// do. Grey files give one channel, colour files three (RGB, converted by libjpeg from YCbCr),
// CMYK and YCCK files four (CMYK, with 0 meaning no ink: the inverted form that files carrying
// an Adobe marker store is turned round). An ICC profile spread over APP2 markers is put
// together and handed to the read-profile slot of the embedded-data store.
//
// libjpeg reports errors by calling a routine that must not return; ours jumps back to the
// module with a status, so that a damaged file never ends the process: -5 when the data ends
// early, -3 when libjpeg runs out of memory, -9 for variants libjpeg cannot decode (such as
// 12-bit data), -8 for anything else. libjpeg's warnings (recoverable damage) are not shown and
// do not stop decoding. libjpeg takes its working memory from its own memory manager, which
// honours the "JPEGMEM" environment setting; only the module's own buffers come from Mem_Alloc.
//
// Without JPEGMEM, libjpeg's working memory is limited to what the file can justify: 64 MiB, or
// 1 KiB per byte of the file when that is more (a progressive file keeps every coefficient of
// the image, 128 bytes per 8x8 block of each component, and every block costs at least one bit of
// Huffman-coded data). A header that claims a larger image, such as a progressive file of a few
// hundred bytes declaring 65000 x 65000 pixels, is refused with -3 before anything that size is
// allocated. Real photographs stay far below the limit; a huge, nearly flat, arithmetic-coded
// progressive image could exceed it, and JPEGMEM then raises it.
//
// Decoding is sequential: a line below the last one read costs the lines in between, and a
// line above it restarts decoding from the top of the file.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include "imagelib/ras_types.h"
#include "platform/file.h"
#include "platform/status.h"

struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    int32_t status;
};

struct JpegSource {
    jpeg_source_mgr pub;
    FLFile* file;
    JOCTET buffer[4096];
};

// The private state of an open JPEG file (the descriptor's format state).
struct JpegState {
    FLFile file;
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    JpegSource source;
    uint8_t created;     // the decompressor exists
    uint8_t decoding;    // decoding has started and can go on from nextLine
    uint8_t invertCmyk;  // the file stores CMYK inverted (Adobe marker)
    uint8_t* row;        // one decoded line, interleaved
    uint32_t rowBytes;
    int32_t fileBytes;  // size of the file, for the limit of libjpeg's working memory
};

// Reads the file's header and fills the descriptor, then closes the file again. Used to
// identify a file; image->state must point at a zeroed JpegState-sized block.
int32_t JpegQuery(const FLSpec* spec, RasImage* image);
// The module operations of the framework; open expects image->state as JpegQuery does.
int32_t JpegOpen(const FLSpec* spec, RasImage* image);
int32_t JpegReadSl(RasImage* image, uint32_t y, RasSl* sl);
int32_t JpegClose(RasImage* image);
