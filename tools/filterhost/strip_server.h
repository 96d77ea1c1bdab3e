// The document and the host's side of advanceState: serves the rectangles, planes, sampling rates
// and padding a filter asks for, and takes its output back.
//
// The document holds two copies of the image in the host's scale (8-bit 0..255, 16-bit
// 0..32768): the source, which input strips always come from, and the destination, which output
// strips come from and go back to. On every advance the current output buffer is first written
// back into the destination (only inside the filter rectangle: a filter may use its output buffer
// as scratch, e.g. for a reduced preview, and must never change pixels outside the selection's
// bounds), then the new buffers are filled, so that rows shared by two strips come back as the
// filter last wrote them.
//
// Sampling: at an integer rate r, the input pixel (y, x) of the requested rectangle is the
// rounded mean of the source block of rows y*r .. y*r+r-1 and columns x*r .. x*r+r-1; a block
// cut by the image's edge averages the pixels that lie inside. A block wholly outside the image
// is padding: the padding value (0..255, scaled to 0..32768 for 16-bit data), the nearest edge
// block (edge replication), zero (no padding wanted), or a refusal of the request. The mask uses
// the mask rate and the mask padding the same way. The output rectangle is never sampled.
// Fractional rates are refused: this host offers integral sampling only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostsdk/filter_record.h"

// Pixels in the host's scale, interleaved.
struct HostPixels {
    int32_t width = 0;
    int32_t height = 0;
    int32_t planes = 0;
    int32_t depth = 8;  // 8 or 16
    std::vector<uint16_t> samples;

    uint16_t& At(int64_t y, int64_t x, int32_t p) {
        return samples[size_t((y * width + x) * planes + p)];
    }
    uint16_t At(int64_t y, int64_t x, int32_t p) const {
        return samples[size_t((y * width + x) * planes + p)];
    }
};

// Conversions between file samples (0..65535) and the host's 16-bit scale (0..32768), rounded.
uint16_t FileToHost16(uint16_t v);
uint16_t HostToFile16(uint16_t v);

// The rectangles of the filter record as the module left them: the 32-bit fields when it set
// PluginUsing32BitCoordinates, else the 16-bit ones widened.
enum class RectField { kFilter, kIn, kOut, kMask };
VRect ReadRect(const FilterRecord& record, RectField field);
// Writes a rectangle into both the 16-bit and (when present) the 32-bit field.
void WriteRect(FilterRecord* record, RectField field, VRect rect);
bool IsEmpty(const VRect& r);

class StripServer {
   public:
    // mask: width * height bytes, or empty for no selection. The server keeps the pointers.
    StripServer(const HostPixels* source, HostPixels* destination, const std::vector<uint8_t>* mask,
                VRect filterRect);

    // advanceState: writes the current output back, then serves the record's request. On a
    // refusal the buffers are dropped, the record's data pointers cleared and LastError() says
    // why.
    OSErr Advance(FilterRecord* record);
    // Writes the current output buffer back (after a selector returns); harmless to repeat.
    void WriteBack();
    // Drops all buffers and clears the record's data pointers.
    void Release(FilterRecord* record);

    const std::string& LastError() const { return lastError_; }
    // Bytes of the input, output and mask buffers of the last request.
    int64_t BufferBytes() const { return int64_t(in_.size() + out_.size() + mask_.size()); }

    // Largest total of buffer bytes served at once; a larger request is answered with memFullErr.
    static constexpr int64_t kMaxBufferBytes = int64_t(1) << 30;

   private:
    struct Layout {
        VRect rect{0, 0, 0, 0};
        int32_t loPlane = 0, planes = 0, bytes = 1;
        int32_t rowBytes = 0;
    };
    OSErr Refuse(FilterRecord* record, OSErr code, std::string why);
    bool FillInput(const FilterRecord& record, int32_t rate, std::string* why);
    bool FillOutput(const FilterRecord& record, std::string* why);
    bool FillMask(const FilterRecord& record, int32_t rate, std::string* why);

    const HostPixels* source_;
    HostPixels* destination_;
    const std::vector<uint8_t>* mask_src_;
    VRect filterRect_;
    std::vector<uint8_t> in_, out_, mask_;
    Layout inLayout_, outLayout_, maskLayout_;
    std::string lastError_;
};
