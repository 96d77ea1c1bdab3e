// An in-test filter host that serves an in-memory image in strips, so that PluginMain can be
// driven in-process through whole runs.
//
// It behaves as the editor does towards a filter: on every advanceState it first writes the
// output buffer it handed out last back into the destination image, then reads the rectangles
// the module asked for (the 32-bit fields of bigDocumentData once the module has said it uses
// them, the 16-bit fields otherwise) and hands out fresh buffers: input rows from the unchanged
// source image, output rows as the destination holds them now (so rows written in an earlier
// strip come back written), mask rows from the selection. Planes are interleaved from inLoPlane
// to inHiPlane, 16-bit samples are in the editor's scale 0..32768, and pixels outside the image
// take the padding the module chose. Input and mask may be asked for at a whole sampling rate
// r (every r-th pixel of every r-th row, point-sampled), but never while an output rectangle
// is asked for. When the start call returns, the last output buffer is
// written back and the continue phase is called for as long as the rectangles stay non-empty.
//
// Row strides are a few bytes wider than the pixels and the slack is filled with a marker, so
// a module that ignores the stride or writes past a row is caught; the buffers are exactly as
// long as the strips, so the sanitizers catch reads and writes past their ends. Anything the
// module does against the contract is noted in violations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hostsdk/filter_record.h"
#include "tests/host/test_host.h"

// The module's entry point, compiled into the test.
extern "C" void PluginMain(int16 selector, void* paramBlock, intptr_t* data, int16* result);

namespace strip_host {

// An interleaved image in the host's own sample scale.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t planes = 3;
    int32_t depth = 8;  // 8 or 16
    std::vector<uint16_t> samples;

    Image() = default;
    Image(int32_t w, int32_t h, int32_t p, int32_t d)
        : width(w), height(h), planes(p), depth(d), samples(size_t(w) * size_t(h) * size_t(p)) {}
    uint16_t& At(int32_t x, int32_t y, int32_t p) {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(planes) + size_t(p)];
    }
    uint16_t At(int32_t x, int32_t y, int32_t p) const {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(planes) + size_t(p)];
    }
    int32_t MaxCode() const { return depth == 16 ? 32768 : 255; }
};

// The first call of a process decides the window binding and the diagnostics switch: made here
// once, without a display and with a call that does nothing, so that every test runs headless,
// its alerts can be captured, and diagnostics can be switched on afterwards.
void PrimeModule();

// Random samples over the whole host range, with the corner pixels at the extremes.
Image RandomImage(int32_t w, int32_t h, int32_t planes, int32_t depth, uint32_t seed);

// What one advanceState asked for, as the host read it.
struct Request {
    VRect in, out, mask;
    bool used32;  // read from the 32-bit fields
};

class StripHost {
   public:
    explicit StripHost(const Image& image);
    ~StripHost();
    StripHost(const StripHost&) = delete;
    StripHost& operator=(const StripHost&) = delete;

    // The filter rectangle in both the 16-bit field (low 16 bits) and the 32-bit one.
    void SetFilterRect(const VRect& r);
    // Offers bigDocumentData (the module then switches to the 32-bit fields), or withdraws it.
    void UseBigDocument(bool on);
    // A selection: one byte per image pixel.
    void SetMask(const std::vector<uint8_t>& mask);
    // A recorded action played back without its dialog: a descriptor without settings of the
    // module's, playInfo "don't display". The start phase then runs without the editing window.
    void PlayWithoutDialog();

    // One call of PluginMain; the result starts at 0.
    int16 Call(int16 selector);
    // The start call followed by what the host does after it: write back the last output
    // buffer, then continue calls while the module still asks for rectangles.
    int16 Start();
    // Parameters (unless skipped, as on a repeat or a replay), prepare, start, finish; stops at
    // the first non-zero result and returns it.
    int16 Run(bool withParameters = true);

    // The module's two blocks as the host holds them (null when absent).
    Handle DataHandle() const { return reinterpret_cast<Handle>(dataSlot); }
    template <typename T>
    T* Block(Handle h) const {
        return h != nullptr ? reinterpret_cast<T*>(h->data.data()) : nullptr;
    }

    test_host::TestHost host;
    FilterRecord& record;
    Image source;  // what input strips are read from; never changed
    Image dest;    // what output strips are written into; starts as a copy of source
    std::vector<uint8_t> mask;
    intptr_t dataSlot = 0;

    std::vector<Request> requests;
    std::vector<std::string> violations;
    std::vector<std::string> alerts;  // alert texts shown during this host's calls

    // abortProc answers true from this call on (counting from 1); 0: never.
    int32_t abortFrom = 0;
    int32_t abortCalls = 0;
    // advanceState answers this from request number failAdvanceAt on (counting from 1).
    int32_t failAdvanceAt = 0;
    OSErr failAdvanceWith = noErr;
    int32_t progressCalls = 0;
    int32_t lastProgressDone = -1;
    int32_t lastProgressTotal = -1;
    int32_t displayCalls = 0;

   private:
    struct Delivered {
        VRect rect{0, 0, 0, 0};
        int32_t lo = 0, hi = -1;
        int32_t rowBytes = 0;
    };

    static OSErr AdvanceState();
    static Boolean Abort();
    static void Progress(int32 done, int32 total);
    static OSErr Display(const PSPixelMap*, const VRect*, int32, int32, void*);

    OSErr Advance();
    void WriteBack();
    OSErr Deliver();
    bool Uses32() const;
    VRect InRect() const;
    VRect OutRect() const;
    VRect MaskRect() const;
    void FillPlanes(std::vector<uint8_t>& buffer, const Image& from, const VRect& r, int32_t lo,
                    int32_t hi, int32_t rowBytes, int16 padding, int32_t rate);

    std::vector<uint8_t> inBuffer_, outBuffer_, maskBuffer_;
    Delivered out_;
    std::vector<Handle> seen_;  // every block the module was handed, disposed of at the end
    DisposePIHandleProc dispose_ = nullptr;
};

}  // namespace strip_host
