// An in-test filter host that serves an in-memory image in strips, so that PluginMain can be
// driven in-process through whole runs.
//
// On every advanceState it first writes the output buffer it handed out last back into the
// destination, then reads the rectangles asked for (the 32-bit fields once the module uses them)
// and hands out fresh buffers: input from the unchanged source, output as the destination holds
// it now, the mask from the selection. 16-bit samples are in the editor's scale 0..32768; input
// and mask may be asked for at a whole sampling rate (the preview), but filtering (an output
// rectangle that is the input rectangle) reads at full size. Rows are a few bytes wider than the
// pixels and the slack holds a marker, so writes past a row are caught; buffers are exactly as
// long as the strips, so the sanitizers catch the rest. An output rectangle must lie inside the
// filter rectangle (the host writes it back). Anything the module does against the contract is
// noted in violations.
//
// displayPixels copies the pixel map it is handed into the draw target (red, green, blue; the
// transparency mask is not composited) and keeps the last map's pixels and mask for the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "edit/prefs.h"
#include "host/call_state.h"
#include "hostsdk/filter_record.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "tests/host/test_host.h"
#include "tests/platform/test_support.h"

// The module's entry point, compiled into the test.
extern "C" void PluginMain(int16 selector, void* paramBlock, intptr_t* data, int16* result);

namespace strip_host {

// An interleaved image in the host's own sample scale.
struct Image {
    int32_t width = 0, height = 0, planes = 3, depth = 8;  // depth 8 or 16
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
// once, without a display, so that every test runs headless and can switch diagnostics on later.
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
    void UseBigDocument(bool on) { record.bigDocumentData = on ? &host.bigDocument : nullptr; }
    // A selection: one byte per image pixel.
    void SetMask(const std::vector<uint8_t>& m) {
        mask = Image(source.width, source.height, 1, 8);
        mask.samples.assign(m.begin(), m.end());
        record.haveMask = 1;
    }
    // A recorded action played back without its dialog, carrying no settings of the module's:
    // the start phase runs without the editing window.
    void PlayWithoutDialog();

    // One call of PluginMain; the result starts at 0.
    int16 Call(int16 selector);
    // Makes this host the one the host procedures point at and sets call's host fields to it, for
    // calling host-side routines of the module directly (the result cell is result below).
    void Bind();
    // The start call, then what the host does after it: write back the last output buffer and
    // call continue while the module still asks for rectangles.
    int16 Start();
    // Parameters (unless skipped, as on a repeat or a replay), prepare, start, finish; stops at
    // the first non-zero result.
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
    Image mask;    // the selection, one plane
    intptr_t dataSlot = 0;
    // The record of a call for routines called directly rather than through PluginMain: Bind
    // points it at record and result; a test sets the rest (gState) as a call would.
    PluginCall call;

    std::vector<Request> requests;
    std::vector<std::string> violations;
    // Alert texts shown during this host's calls (" | detail" and, for a question,
    // " [first|second]" appended); every alert is answered with alertAnswer.
    std::vector<std::string> alerts;
    int16_t alertAnswer = 1;
    int32_t alertStatus = 0;  // what presenting an alert returns: -2 when no box can be made
    int32_t calls = 0;        // calls of PluginMain

    int32_t abortFrom = 0;  // abortProc answers true from this call on (from 1); 0: never
    int32_t abortCalls = 0;
    // advanceState answers failAdvanceWith from request number failAdvanceAt on (from 1), for
    // failAdvanceCount requests (0: for every one).
    int32_t failAdvanceAt = 0;
    int32_t failAdvanceCount = 0;
    OSErr failAdvanceWith = noErr;
    // The largest request served: the bytes of its input, output and mask buffers together.
    int64_t largestRequest = 0;
    int16 result = 0;
    // What displayPixels was last handed: the map's pixels inside the source rectangle (RGB, or
    // grey repeated), its first mask's bytes (empty without one) and where it went.
    struct Displayed {
        int32_t width = 0, height = 0;
        std::vector<uint8_t> rgb;
        std::vector<uint8_t> alpha;
        int32_t row = 0, col = 0;
    } displayed;
    int32_t progressCalls = 0, lastProgressDone = -1, lastProgressTotal = -1, displayCalls = 0;

   private:
    struct Delivered {
        VRect rect{0, 0, 0, 0};
        int32_t lo = 0, hi = -1, rowBytes = 0;
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

// The preview sizes the prepare phase measured, from its diagnostic line (-1 when missing).
struct Preview {
    int32_t minW = -1, minH = -1, maxW = -1, maxH = -1;
    int32_t maxRight = -1, maxBottom = -1;  // client coordinates of the largest preview
};

// Each test stands for a fresh load of the module in a private preferences folder.
constexpr int32_t kPrefsFileInfo = 131;
constexpr int32_t kFastGrid = 2;  // 11 nodes a side: quick builds, still a real 3-D grid

class ModuleTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override;
    void TearDown() override;
    bool LogHas(const std::string& text) const;
    Preview Measured() const;

    std::string PrefsPath() const { return PrefFolder() + "KolmaraPro Plugin Prefs"; }

    // One call of the preferences container on the module's file, with prefs as the record.
    template <typename Call>
    void OnPrefsFile(Prefs* prefs, Call call) {
        PrefsEntryTarget target{prefs, nullptr};
        UiState* state = nullptr;
        ASSERT_EQ(Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0), 0);
        int32_t info = kPrefsFileInfo;
        EXPECT_EQ(call(state, PrefsPath().c_str(), &info, &target), 0);
        Ui_State_Close(&state);
    }
    // Default preferences at the fast grid level, changed by edit, written as the module does.
    template <typename Edit>
    void WritePrefs(Edit edit) {
        auto prefs = std::make_unique<Prefs>();
        SetPrefsDefaults(prefs.get());
        prefs->gridLevel = kFastGrid;
        edit(*prefs);
        OnPrefsFile(prefs.get(),
                    [](UiState* s, const char* path, int32_t* info, PrefsEntryTarget* target) {
                        return Ui_Prefs_WriteAll(s, path, info, WritePrefEntries, target);
                    });
    }
    std::unique_ptr<Prefs> ReadPrefsFile() {
        auto prefs = std::make_unique<Prefs>();
        SetPrefsDefaults(prefs.get());
        OnPrefsFile(
            prefs.get(), [](UiState* s, const char* path, int32_t* info, PrefsEntryTarget* target) {
                return Ui_Prefs_ReadAll(s, path, info, ReadPrefEntry, WritePrefEntries, target);
            });
        return prefs;
    }
};

}  // namespace strip_host
