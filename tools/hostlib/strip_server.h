// The host's side of advanceState: serves the rectangles, planes, sampling rates and padding a
// filter asks for from a document (host_document.h), and takes its output back.
//
// On every advance the current output buffer is first written back into the document's result
// (only inside the filter rectangle: a filter may use its output buffer as scratch, e.g. for a
// reduced preview, and must never change pixels outside the selection's bounds), then the new
// buffers are filled, so that rows shared by two strips come back as the filter last wrote them.
// Output rows the filter has never written are copied from the source only when the filter
// relies on it: a filter whose case info says the host need not copy the source into the
// destination gets them as the buffer happens to hold them.
//
// Sampling: at an integer rate r, the input pixel (y, x) of the requested rectangle is the
// rounded mean of the source block of rows y*r .. y*r+r-1 and columns x*r .. x*r+r-1; a block
// cut by the image's edge averages the pixels that lie inside. At rate 1 samples are plain
// copies. A block wholly outside the image is padding: the padding value (0..255, scaled to
// 0..32768 for 16-bit data), the nearest edge block (edge replication), zero (no padding wanted),
// or a refusal of the request. The mask uses the mask rate and the mask padding the same way. The
// output rectangle is never sampled. Fractional rates are refused: this host offers integral
// sampling only.
//
// Buffers are kept from one request to the next and only grow; nothing is zero-filled, because
// every byte of a served buffer is written before the filter sees it (except unwritten output
// rows, as above). Input that the document can lend (HostDocument::LendSource) is not copied at
// all: the filter gets the document's own rows until the next request.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostsdk/filter_record.h"
#include "tools/hostlib/host_document.h"
#include "tools/hostlib/memory_document.h"

// The rectangles of the filter record as the module left them: the 32-bit fields when it set
// PluginUsing32BitCoordinates, else the 16-bit ones widened.
enum class RectField { kFilter, kIn, kOut, kMask };
VRect ReadRect(const FilterRecord& record, RectField field);
// Writes a rectangle into both the 16-bit and (when present) the 32-bit field.
void WriteRect(FilterRecord* record, RectField field, VRect rect);
bool IsEmpty(const VRect& r);

class StripServer {
   public:
    // Serves `document` (kept, not owned). copySource: fill output rows the filter has not
    // written from the source (the safe choice when the filter's wishes are unknown).
    StripServer(HostDocument* document, VRect filterRect, bool copySource = true);
    // Serves two in-memory images and an optional mask (width * height bytes, or empty); the
    // server keeps the pointers.
    StripServer(const HostPixels* source, HostPixels* destination, const std::vector<uint8_t>* mask,
                VRect filterRect);

    // advanceState: writes the current output back, then serves the record's request. On a
    // refusal the buffers are dropped, the record's data pointers cleared and LastError() says
    // why.
    OSErr Advance(FilterRecord* record);
    // Writes the current output buffer back (after a selector returns); harmless to repeat.
    // False (and LastError()) when the document refused the pixels.
    bool WriteBack();
    // Drops all buffers and clears the record's data pointers.
    void Release(FilterRecord* record);

    const std::string& LastError() const { return lastError_; }
    // Bytes of the input, output and mask buffers of the last request.
    int64_t BufferBytes() const { return in_.size + out_.size + mask_.size; }

    // Largest total of buffer bytes served at once; a larger request is answered with memFullErr.
    static constexpr int64_t kMaxBufferBytes = int64_t(1) << 30;

   private:
    // A served buffer: storage that only grows, and the layout of the current request.
    struct Buffer {
        std::unique_ptr<uint8_t[]> data;
        int64_t capacity = 0;
        int64_t size = 0;
        VRect rect{0, 0, 0, 0};
        int32_t loPlane = 0, planes = 0, bytes = 1;
        int32_t rowBytes = 0;
        bool Reserve(int64_t need);
        uint8_t* Ptr() { return lent != nullptr ? lent : size > 0 ? data.get() : nullptr; }
        // The document's own samples, lent in place of data (input only).
        uint8_t* lent = nullptr;
    };
    // Lends the request's input from the document where it can (every plane, rate 1, inside the
    // image); true when it did.
    bool LendInput(const FilterRecord& record, VRect rect, int32_t rate, int64_t size);
    OSErr Refuse(FilterRecord* record, OSErr code, std::string why);
    bool FillInput(const FilterRecord& record, int32_t rate, std::string* why);
    bool FillOutput(const FilterRecord& record, std::string* why);
    bool FillMask(const FilterRecord& record, int32_t rate, std::string* why);

    std::unique_ptr<HostDocument> owned_;
    HostDocument* document_;
    VRect filterRect_;
    bool copySource_;
    Buffer in_, out_, mask_;
    std::vector<uint8_t> scratch_;  // source rows of one sampled row at rates above 1
    std::string lastError_;
};
