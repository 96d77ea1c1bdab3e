// A GIMP drawable as the document the host library serves: the drawable's buffer is the source,
// its shadow buffer the result, and the image's selection the mask.
//
// Samples are exchanged in the host's layout: 8-bit drawables as "R'G'B'(A) u8", 16-bit ones as
// "R'G'B'(A) u16" converted to the host's 0..32768 scale on the way in and back on the way out,
// always in the drawable's own colour space (the formats carry its babl space, so no colour
// conversion happens; only the encoding changes where the precision needs it). Coordinates are
// the drawable's; the selection, which lives in image coordinates, is read shifted by the
// layer's offsets.
//
// The shadow buffer starts undefined in GIMP. A row of it is therefore initialised from the
// source on the first write that does not cover the filter rectangle's width and all planes, and
// Finish() fills rows of the filter rectangle the filter never wrote, so that merging the shadow
// can never bring undefined pixels into the image.
//
// GEGL fetches a tile from GIMP before it writes part of one, a round trip per tile. The module's
// strips rarely end on a tile boundary, so strips of whole rows are gathered into a band and
// handed to the shadow in whole rows of tiles; the band is written out before its rows are read
// back, before another kind of write, and at Finish().
#pragma once

#include <libgimp/gimp.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/hostlib/host_document.h"

class GimpDocument : public HostDocument {
   public:
    GimpDocument() = default;
    ~GimpDocument() override;
    GimpDocument(const GimpDocument&) = delete;
    GimpDocument& operator=(const GimpDocument&) = delete;

    // Takes the drawable with `planes` samples per pixel (1 to 4) at depth 8 or 16, read in the
    // babl encoding named by `encoding` ("R'G'B'A u8", "Y' u16", ...). filterRect is the
    // selection's bounds in drawable coordinates; mask: whether the image has a selection.
    bool Open(gint32 drawable, const char* encoding, int32_t planes, int32_t depth,
              const VRect& filterRect, bool mask, std::string* why);
    // Completes the shadow inside the filter rectangle and flushes it to GIMP.
    bool Finish(std::string* why);

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    int32_t Planes() const override { return planes_; }
    int32_t Depth() const override { return depth_; }
    bool HasMask() const override { return selection_ != nullptr; }

    bool ReadSource(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst, size_t rowBytes,
                    std::string* why) override;
    bool ReadResult(const VRect& rect, int32_t lo, int32_t count, uint8_t* dst, size_t rowBytes,
                    bool unwrittenMayStay, std::string* why) override;
    bool WriteResult(const VRect& rect, int32_t lo, int32_t count, const uint8_t* src,
                     size_t rowBytes, std::string* why) override;
    bool ReadMask(const VRect& rect, uint8_t* dst, size_t rowBytes, std::string* why) override;

   private:
    // Reads whole pixels of `rect` from `buffer` into dst (host scale) and picks the planes.
    void Read(GeglBuffer* buffer, const VRect& rect, int32_t lo, int32_t count, uint8_t* dst,
              size_t rowBytes);
    // Rows of the filter rectangle's span that the shadow holds.
    void InitialiseRow(int32_t y);
    // Pixels of `rect` in GIMP's scale, whole pixels, to the shadow (through the band when they
    // are rows of the filter rectangle's width that follow it).
    void Store(const VRect& rect, const uint8_t* data, size_t stride);
    // Hands the band's rows up to the last whole row of tiles (all of them: whole) to the shadow.
    void FlushBand(bool whole);

    int32_t width_ = 0, height_ = 0, planes_ = 0, depth_ = 8;
    int32_t offsetX_ = 0, offsetY_ = 0;
    VRect filterRect_{0, 0, 0, 0};
    const Babl* format_ = nullptr;
    const Babl* maskFormat_ = nullptr;
    GeglBuffer* source_ = nullptr;
    GeglBuffer* shadow_ = nullptr;
    GeglBuffer* selection_ = nullptr;
    std::vector<uint8_t> written_;
    std::vector<uint8_t> scratch_;
    std::vector<uint8_t> band_;  // rows bandTop_.. of the filter rectangle's width
    int32_t bandTop_ = 0, bandRows_ = 0, tileHeight_ = 64;
};
