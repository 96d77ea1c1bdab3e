// Whole calls of PluginMain against an in-test host: the entry point and its two blocks, the
// memory budget of the prepare phase, the refusals of the start phase, and runs that stream an
// in-memory image through the transform strip by strip.
//
// Expected images come from the engine applied directly to the same pixels (HgBuild, the stream,
// the row applier), or from a second run that differs only in the strip height. Every test ends
// with a look at the debug log: no call may report going over its budget or leaving blocks
// unfreed. Diagnostics are decided at the process's first call (PrimeModule); tests that need
// the diagnostic lines switch the module's flag on afterwards.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "edit/edit_state.h"
#include "edit/keenhue_tuning.h"
#include "edit/prefs.h"
#include "engine/balance.h"
#include "engine/huegrid_applier.h"
#include "engine/huegrid_build.h"
#include "engine/noise_filter.h"
#include "engine/working_space.h"
#include "host/filter_image.h"
#include "host/plugin.h"
#include "host/plugin_data.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "platform/ui/headless/headless.h"
#include "resources/ids/dlg_editor.h"
#include "tests/host/strip_host.h"
#include "tests/platform/mem_failure.h"

namespace {

using strip_host::Image;
using strip_host::RandomImage;
using strip_host::StripHost;

using strip_host::kFastGrid;

// Edits in every tool, all within range; the saturation and hue edits force a 3-D grid.
EditPars ChangedPars() {
    EditPars p;
    SetParsDefaults(&p);
    p.blackPoint = 0.03f;
    p.whitePoint = 0.95f;
    p.brightness = 0.62f;
    p.contrast = 0.56f;
    p.saturation = 0.6f;
    p.hue[2].hueShift = 12.0f;
    p.hue[2].saturation = 0.4f;
    return p;
}

class PluginTest : public strip_host::ModuleTest {
   protected:
    void SetUp() override {
        ModuleTest::SetUp();
        ul_maxTotal = ul_total;  // a fresh load of the module: the peak starts from now
    }

    void TearDown() override {
        for (const std::string& line : LogLines()) {
            if (!checkMemoryLines_) break;
            if (checkPeak_) {
                EXPECT_EQ(line.find("Over max"), std::string::npos) << line;
            }
            if (line.rfind("ul_nMallocs = ", 0) == 0) {
                EXPECT_EQ(line, "ul_nMallocs = 0");
            }
        }
        ModuleTest::TearDown();
    }

    static void DiagnosticsOn() { SetModuleDiagnostics(1); }

    // Preferences under which every tool starts from these previous settings; returns them as
    // they read back from the file.
    EditPars StartFromPrevious(const EditPars& pars, int32_t gridLevel = kFastGrid) {
        WritePrefs([&](Prefs& p) {
            p.previousSettings = pars;
            p.startAllSame = 1;
            p.startWith = kStartPrevious;
            p.gridLevel = gridLevel;
        });
        return ReadPrefsFile()->previousSettings;
    }

    // The same when the user agreed to use settings made in another working space.
    static EditPars StartedFromAnySpace(const EditPars& saved, int32_t bitsPerChannel) {
        return StartedFrom(saved, bitsPerChannel, [](UiState*) { return int32_t(kStatusOk); });
    }
    // The live record a run starts from when every tool takes the stored settings: a fresh
    // state in the default working space with the stored record copied over it.
    static EditPars StartedFrom(const EditPars& saved, int32_t bitsPerChannel,
                                ConfirmSpaceChange confirm = nullptr) {
        auto es = std::make_unique<EditState>();
        RefRGB space;
        HgDefaultReference(&space);
        EXPECT_EQ(EditStateInit(es.get(), &space), 0);
        es->bitsPerChannel = bitsPerChannel;
        UiState* state = nullptr;
        EXPECT_EQ(Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0), 0);
        EXPECT_EQ(CopyParsMasked(&saved, es.get(), kEditMaskAll, state, confirm), 0);
        Ui_State_Close(&state);
        return es->editPars;
    }

    // The engine applied directly to one area of an image: rows in the engine's scale (16-bit
    // samples clamped to 32767 and doubled), through the noise filter when it is on, the chain
    // built at the grid level and passed through a memory stream to the row applier, the result
    // back in the host's scale.
    static Image ApplyDirect(EditPars pars, int32_t gridLevel, const Image& image,
                             const VRect& area) {
        const int32_t size = image.depth == 16 ? 2 : 1;
        const int32_t w = area.right - area.left, h = area.bottom - area.top;
        Image out(w, h, 3, image.depth);
        Huegrid* hg = nullptr;
        EXPECT_EQ(HgBuild(&pars, kEditMaskAll, gridLevel, size, &hg), 0);
        if (hg == nullptr) return out;
        HgSetDepth(hg, kHgSideInput, size);
        HgSetDepth(hg, kHgSideOutput, size);
        std::vector<uint8_t> stream(kFilterStreamBytes);
        HgApplyOptions o{};
        FLSpecMemory(&o.stream, stream.data(), int32_t(stream.size()));
        EXPECT_EQ(HgWriteStream(hg->lut, &o.stream), 0);
        HgFree(hg);
        struct Sink {
            Image* out;
            int32_t row;
        } sink{&out, 0};
        o.inLo = o.outLo = 0;
        o.inHi = o.outHi = size == 2 ? 65535 : 255;
        const SharpenNoise& s = pars.sharpenNoise;
        o.sharpenAmount = s.sharpenOn ? s.sharpenStrength : 0;
        o.sharpenChannel = s.sharpenK;
        o.sharpenOrder = 2;
        o.width = uint32_t(w);
        o.rows = uint32_t(h);
        o.inPixelSize = o.outPixelSize = size;
        o.callbackPlanar = 1;
        o.callbackOrder = kHgOrderIdentity3;
        o.callbackContext = &sink;
        o.callback = [](const HgPixelBuffer* row, void* context) -> int32_t {
            auto* to = static_cast<Sink*>(context);
            for (uint32_t c = 0; c < 3; ++c) {
                for (uint32_t x = 0; x < row->width; ++x) {
                    const uint32_t i = c * row->width + x;
                    to->out->At(int32_t(x), to->row, int32_t(c)) =
                        row->data16 != nullptr ? uint16_t(row->data16[i] >> 1) : row->data8[i];
                }
            }
            ++to->row;
            return 0;
        };
        HuegridApplier* applier = nullptr;
        EXPECT_EQ(HgApplierCreate(&o, &applier), 0);
        // Noise removal in front of the applier, when it is on.
        NoiseFilter* noise = nullptr;
        if (s.noiseOn) {
            NoiseFilterOptions n{};
            n.width = w;
            n.rows = h;
            n.space = 1;
            n.lumaChroma = s.noiseFlag;
            n.channels = 3;
            for (int c = 0; c < 3; ++c) {
                n.radius[c] = s.noiseRadius[c];
                n.threshold[c] = s.noiseThreshold[c];
            }
            n.mode = s.noiseK;
            n.planar = 1;
            n.order = int32_t(kHgOrderIdentity3);
            n.pixelSize = size;
            n.callback = [](const HgPixelBuffer* row, void* a) -> int32_t {
                return HgApplierRun(static_cast<HuegridApplier*>(a), row);
            };
            n.callbackContext = applier;
            EXPECT_EQ(NoiseFilterCreate(&noise, &n), 0);
        }
        std::vector<uint8_t> planes8(size_t(w) * 3);
        std::vector<uint16_t> planes16(size_t(w) * 3);
        HgPixelBuffer row{uint32_t(w), 3, 1, 1, kHgOrderIdentity3, nullptr, nullptr, 0};
        if (size == 2) row.data16 = planes16.data();
        if (size == 1) row.data8 = planes8.data();
        for (int32_t y = 0; y < h && applier != nullptr; ++y) {
            for (int32_t c = 0; c < 3; ++c) {
                for (int32_t x = 0; x < w; ++x) {
                    const uint16_t v = image.At(area.left + x, area.top + y, c);
                    planes16[size_t(c * w + x)] = uint16_t((v > 32767 ? 32767 : v) * 2);
                    planes8[size_t(c * w + x)] = uint8_t(v);
                }
            }
            EXPECT_EQ(noise != nullptr ? NoiseFilterRun(noise, &row) : HgApplierRun(applier, &row),
                      0);
        }
        EXPECT_EQ(sink.row, h);
        NoiseFilterFree(noise);
        HgApplierFree(applier);
        return out;
    }

    // Row memory of one strip row, as the budget counts it.
    static uint64_t RowNeeds(int64_t width, int32_t planes, int32_t depth) {
        return uint64_t(width) * (1 + 2 * uint64_t(planes) * (depth == 16 ? 2 : 1));
    }

    // Offers just enough memory that the prepare phase gives `rows` rows per strip: the fixed
    // needs (learnt from a prepare phase with ample memory) and room for a little more than that
    // many rows. Runs the parameters and both prepare phases.
    void OfferMemoryForRows(StripHost& h, int32_t rows) {
        h.record.maxSpace = 64 << 20;
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
        const VRect& f = h.host.bigDocument.filterRect32;
        const uint64_t room =
            uint64_t(rows) * RowNeeds(f.right - f.left, h.source.planes, h.source.depth) + 1;
        h.record.maxSpace = int32_t((uint64_t(h.record.bufferSpace) + room + 2) / 3 * 4);
        ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
        ASSERT_EQ(h.Block<PluginData>(h.DataHandle())->rowSkip, rows);
    }

    // Every colour sample inside area equals the expected image (unless only the outside is to
    // be checked); everything else equals the source.
    static void ExpectFiltered(const StripHost& h, const Image& expected, const VRect& area,
                               bool checkInside = true) {
        int32_t wrong = 0, outside = 0;
        for (int32_t y = 0; y < h.dest.height; ++y) {
            for (int32_t x = 0; x < h.dest.width; ++x) {
                const bool in =
                    area.top <= y && y < area.bottom && area.left <= x && x < area.right;
                for (int32_t p = 0; p < h.dest.planes; ++p) {
                    if (in && p < 3 && !checkInside) continue;
                    const uint16_t want = in && p < 3 ? expected.At(x - area.left, y - area.top, p)
                                                      : h.source.At(x, y, p);
                    if (h.dest.At(x, y, p) == want) continue;
                    if (wrong + outside < 5) {
                        ADD_FAILURE() << "pixel " << x << "," << y << " plane " << p << ": "
                                      << h.dest.At(x, y, p) << " instead of " << want;
                    }
                    (in ? wrong : outside) += 1;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "samples inside the area that differ from the expected image";
        EXPECT_EQ(outside, 0) << "samples outside the area that changed";
    }

    static void ExpectCleanRun(const StripHost& h) {
        for (const std::string& v : h.violations) ADD_FAILURE() << "host contract: " << v;
        for (const std::string& a : h.alerts) ADD_FAILURE() << "alert: " << a;
    }

    // A run without the window on `threads` threads (KOLMARA_THREADS, left set), with a selection
    // when one is given, over the filter rectangle area in more than one strip: expected inside,
    // the source outside.
    static void ExpectRunOnThreads(const Image& image, const VRect& area, const Image& expected,
                                   const char* threads, const std::vector<uint8_t>* selection) {
        testing_support::SetEnvironment("KOLMARA_THREADS", threads);
        StripHost h(image);
        h.SetFilterRect(area);
        if (selection != nullptr) h.SetMask(*selection);
        h.PlayWithoutDialog();
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
        ASSERT_EQ(h.Start(), 0);
        ExpectCleanRun(h);
        EXPECT_GE(h.requests.size(), 3u);
        ExpectFiltered(h, expected, area);
    }

    bool checkMemoryLines_ = true;
    bool checkPeak_ = true;  // the peak within the prepare phase's bufferSpace
};

// --- Entry point, blocks and rectangles ----------------------------------------------------------

TEST_F(PluginTest, SelectorsOutsideThePhasesOnlyUnlockAndClose) {
    StripHost h(RandomImage(8, 4, 3, 8, 1));
    ASSERT_EQ(h.Call(filterSelectorParameters), 0);
    Handle params = h.record.parameters;
    const intptr_t data = h.dataSlot;
    const std::vector<char> before = params->data;
    for (int16 selector : {int16(6), int16(-1), int16(200)}) {
        int16 result = 77;
        PluginMain(selector, &h.record, &h.dataSlot, &result);
        EXPECT_EQ(result, 77);
    }
    EXPECT_EQ(h.record.parameters, params);
    EXPECT_EQ(h.dataSlot, data);
    EXPECT_EQ(params->data, before);
    EXPECT_LE(params->locks, 0);  // unlocked, as after every call
    EXPECT_LE(h.DataHandle()->locks, 0);
}

TEST_F(PluginTest, AboutReadsOnlyTheAboutRecord) {
    // The about selector gets the smaller record: nothing of a filter record may be read or
    // written through it (the sanitizers watch the bytes around it).
    AboutRecord about{};
    PlatformData platform{};
    about.platformData = &platform;
    intptr_t slot = 0;
    int16 result = 0;
    PluginMain(filterSelectorAbout, &about, &slot, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(about.platformData, &platform);
}

TEST_F(PluginTest, BigDocumentDataMovesEveryRectangleToThe32BitFields) {
    // A selection beyond column 32767 exists only in the 32-bit fields.
    Image image = RandomImage(40010, 6, 3, 8, 2);
    StripHost h(image);
    h.UseBigDocument(true);
    const VRect area{1, 40000, 5, 40010};
    h.SetFilterRect(area);
    h.record.inRect = h.record.outRect = h.record.maskRect = Rect{-7, -7, -7, -7};
    ASSERT_EQ(h.Call(filterSelectorParameters), 0);
    EXPECT_EQ(h.host.bigDocument.PluginUsing32BitCoordinates, 1);

    const EditPars saved = StartFromPrevious(ChangedPars());
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(false), 0);
    ASSERT_FALSE(h.requests.empty());
    for (const auto& r : h.requests) EXPECT_TRUE(r.used32);
    for (const Rect* r : {&h.record.inRect, &h.record.outRect, &h.record.maskRect}) {
        EXPECT_EQ(r->top, -7);
        EXPECT_EQ(r->right, -7);
    }
    ExpectCleanRun(h);
    ExpectFiltered(h, ApplyDirect(StartedFrom(saved, 8), kFastGrid, image, area), area);

    // Continue asks for nothing more, in the same fields.
    BigDocumentStruct& big = h.host.bigDocument;
    big.inRect32 = big.outRect32 = big.maskRect32 = area;
    EXPECT_EQ(h.Call(filterSelectorContinue), 0);
    for (const VRect* r : {&big.inRect32, &big.outRect32, &big.maskRect32}) {
        EXPECT_TRUE(r->top == 0 && r->left == 0 && r->bottom == 0 && r->right == 0);
    }
    EXPECT_EQ(h.record.inRect.top, -7);
}

TEST_F(PluginTest, WithoutBigDocumentDataThe16BitFieldsCarryTheRun) {
    Image image = RandomImage(40, 12, 3, 8, 3);
    StripHost h(image);
    const VRect area{2, 3, 10, 37};
    h.SetFilterRect(area);
    h.host.bigDocument.filterRect32 = VRect{0, 0, 1, 1};  // not offered, so never read
    const EditPars saved = StartFromPrevious(ChangedPars());
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    for (const auto& r : h.requests) EXPECT_FALSE(r.used32);
    EXPECT_EQ(h.host.bigDocument.PluginUsing32BitCoordinates, 0);
    ExpectCleanRun(h);
    ExpectFiltered(h, ApplyDirect(StartedFrom(saved, 8), kFastGrid, image, area), area);
}

TEST_F(PluginTest, MissingOrUnusableBlocksAreRefusedWithTheirCodes) {
    DiagnosticsOn();
    {
        // Start without any block: both are reported missing.
        StripHost h(RandomImage(8, 4, 3, 8, 4));
        EXPECT_EQ(h.Call(filterSelectorStart), filterBadParameters);
        EXPECT_TRUE(LogHas("LockHandles: parameters NULL"));
        EXPECT_TRUE(LogHas("LockHandles: gDataHandle NULL"));
        EXPECT_FALSE(LogHas("...DoStart"));
        EXPECT_TRUE(h.requests.empty());
    }
    std::filesystem::remove(LogPath());
    {
        // The data block lost by the host: only that one is reported.
        StripHost h(RandomImage(8, 4, 3, 8, 5));
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        const intptr_t data = h.dataSlot;
        h.dataSlot = 0;
        EXPECT_EQ(h.Call(filterSelectorFinish), filterBadParameters);
        EXPECT_TRUE(LogHas("LockHandles: gDataHandle NULL"));
        EXPECT_FALSE(LogHas("LockHandles: parameters NULL"));
        h.dataSlot = data;
        EXPECT_EQ(h.Call(filterSelectorFinish), 0);
        EXPECT_TRUE(h.violations.empty());
    }
    {
        // No handle suite at all; the blocks are left as they were.
        StripHost h(RandomImage(8, 4, 3, 8, 6));
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        h.record.handleProcs = nullptr;
        EXPECT_EQ(h.Call(filterSelectorStart), errPlugInHostInsufficient);
        EXPECT_TRUE(LogHas("LockHandles: handleProcs NULL"));
        h.record.handleProcs = &h.host.handleProcs;
        EXPECT_EQ(h.Call(filterSelectorFinish), 0);
    }
    {
        // The host cannot lock a block.
        StripHost h(RandomImage(8, 4, 3, 8, 7));
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        const LockPIHandleProc lock = h.host.handleProcs.lockProc;
        h.host.handleProcs.lockProc = [](Handle, Boolean) -> Ptr { return nullptr; };
        EXPECT_EQ(h.Call(filterSelectorStart), memFullErr);
        EXPECT_TRUE(LogHas("LockHandles: lockProc failure"));
        h.host.handleProcs.lockProc = lock;
        EXPECT_TRUE(h.requests.empty());
    }
    {
        // Blocks that cannot be made.
        StripHost h(RandomImage(8, 4, 3, 8, 8));
        h.host.handleProcs.newProc = [](int32) -> Handle { return nullptr; };
        EXPECT_EQ(h.Call(filterSelectorParameters), memFullErr);
        EXPECT_EQ(h.record.parameters, nullptr);
        EXPECT_EQ(h.dataSlot, 0);
        h.record.handleProcs = nullptr;
        EXPECT_EQ(h.Call(filterSelectorParameters), errPlugInHostInsufficient);
    }
    // A suite without one of the procedures the module needs is no suite at all: refused before
    // anything is called through it, and a replayed descriptor stays the host's.
    for (int missing = 0; missing < 4; ++missing) {
        StripHost h(RandomImage(8, 4, 3, 8, 9));
        HandleProcs& hp = h.host.handleProcs;
        const bool later = missing >= 2;
        if (later) {
            ASSERT_EQ(h.Call(filterSelectorParameters), 0);
            h.PlayWithoutDialog();
        }
        if (missing == 0) hp.newProc = nullptr;
        if (missing == 1) hp.lockProc = nullptr;
        if (missing == 2) hp.unlockProc = nullptr;
        if (missing == 3) hp.disposeProc = nullptr;
        EXPECT_EQ(h.Call(later ? filterSelectorStart : filterSelectorParameters),
                  errPlugInHostInsufficient);
        EXPECT_TRUE(h.requests.empty());
        EXPECT_TRUE(h.violations.empty());
        if (later) {
            EXPECT_NE(h.host.descriptorParameters.descriptor, nullptr);
        }
    }
}

std::vector<Handle> gDisposed;
DisposePIHandleProc gHostDispose = nullptr;
void RecordDisposal(Handle h) {
    gDisposed.push_back(h);
    gHostDispose(h);
}

TEST_F(PluginTest, AHostWithoutADataSlotIsRefusedNotWrittenThrough) {
    StripHost h(RandomImage(8, 4, 3, 8, 18));
    for (int16 selector : {filterSelectorParameters, filterSelectorPrepare}) {
        int16 result = 0;
        PluginMain(selector, &h.record, nullptr, &result);
        EXPECT_EQ(result, filterBadParameters) << selector;
    }
    EXPECT_NE(h.record.parameters, nullptr);  // the host's to keep, as every block it holds
    h.host.handleProcs.disposeProc(h.record.parameters);
    h.record.parameters = nullptr;
}

TEST_F(PluginTest, DamagedBlocksAreRebuiltBeforeTheyAreUsed) {
    struct Damage {
        const char* what;
        void (*apply)(PluginParams*, PluginData*);
    };
    const Damage damages[] = {
        {"parameters signature", [](PluginParams* p, PluginData*) { p->signature = 0x12345678; }},
        {"grid level", [](PluginParams* p, PluginData*) { p->prefs.gridLevel = 8; }},
        {"readout mode", [](PluginParams* p, PluginData*) { p->prefs.readoutMode = 3; }},
        {"live sliders", [](PluginParams* p, PluginData*) { p->prefs.liveSliders = 2; }},
        {"memory colour flag",
         [](PluginParams* p, PluginData*) { p->prefs.memoryColors[5].defined = 7; }},
        {"data signature", [](PluginParams*, PluginData* d) { d->signature = 0; }},
        {"data grid level", [](PluginParams*, PluginData* d) { d->run.gridLevel = -1; }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        for (int16 phase : {filterSelectorPrepare, filterSelectorStart}) {
            Image image = RandomImage(24, 10, 3, 8, 9);
            StripHost h(image);
            h.PlayWithoutDialog();
            ASSERT_EQ(h.Call(filterSelectorParameters), 0);
            ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
            Handle oldParams = h.record.parameters, oldData = h.DataHandle();
            damage.apply(h.Block<PluginParams>(oldParams), h.Block<PluginData>(oldData));
            // The blocks dropped are given back to the host, not left for it to lose.
            gDisposed.clear();
            gHostDispose = h.host.handleProcs.disposeProc;
            h.host.handleProcs.disposeProc = RecordDisposal;
            EXPECT_EQ(phase == filterSelectorStart ? h.Start() : h.Call(phase), 0);
            h.host.handleProcs.disposeProc = gHostDispose;
            ASSERT_NE(h.record.parameters, nullptr);
            ASSERT_NE(h.DataHandle(), nullptr);
            EXPECT_EQ(std::count(gDisposed.begin(), gDisposed.end(), oldParams), 1);
            EXPECT_EQ(std::count(gDisposed.begin(), gDisposed.end(), oldData), 1);
            const auto* params = h.Block<PluginParams>(h.record.parameters);
            const auto* data = h.Block<PluginData>(h.DataHandle());
            EXPECT_EQ(params->signature, PluginSignature);
            EXPECT_EQ(data->signature, PluginSignature);
            EXPECT_EQ(params->prefs.gridLevel, 7);
            EXPECT_EQ(std::string(params->prefsPath), PrefsPath());
            if (phase == filterSelectorStart) {
                // Rebuilt blocks fetch a row at a time; the run is still whole.
                EXPECT_EQ(data->rowSkip, 1);
                EXPECT_EQ(h.requests.size(), size_t(1 + image.height));
                ExpectFiltered(h, image, VRect{0, 0, 0, 0});
            }
            ExpectCleanRun(h);
        }
    }
}

TEST_F(PluginTest, ForcedMemoryLinesReachTheLogWithDiagnosticsOff) {
    checkMemoryLines_ = false;
    StripHost h(RandomImage(8, 4, 3, 8, 10));
    ASSERT_EQ(h.Call(filterSelectorParameters), 0);
    ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
    EXPECT_FALSE(LogHas("ul_"));
    const int32_t budget = h.record.bufferSpace;
    ASSERT_GT(budget, 0);

    // A peak above the budget told to the host.
    Mem_Free(Mem_Alloc(uint32_t(budget) + 1000));
    const uint32_t peak = ul_maxTotal;
    ASSERT_GT(peak, uint32_t(budget));
    EXPECT_EQ(h.Call(filterSelectorContinue), 0);
    const std::string over = "Over max: ul_maxTotal = " + std::to_string(peak) +
                             ", bufferSpace = " + std::to_string(budget);
    EXPECT_TRUE(LogHas(over)) << over;

    // A block still held when a call ends.
    void* held = Mem_Alloc(16);
    EXPECT_EQ(h.Call(filterSelectorContinue), 0);
    held = Mem_Free(held);
    EXPECT_TRUE(LogHas("ul_nMallocs = 1"));
    for (const std::string& line : LogLines()) {
        EXPECT_NE(line.rfind("ul_maxTotal", 0), 0u) << "written only with diagnostics on";
    }
}

// --- The memory budget of the prepare phase ------------------------------------------------------

// The preview area of the editing window laid out with the template's 9-point dialog font (7 x 15
// base units): item 4 at (7, 7) 380 x 336 units is x 12..677, y 13..643 in pixels, inset by one
// pixel on each side: 663 x 628. Without "Use Largest Possible Window" it is both the smallest
// and the largest preview.
constexpr int32_t kPreviewW = 663, kPreviewH = 628;

// The budgets below are worked out by hand from the prepare phase's rules; the arithmetic of the
// first is written out, the others follow the same steps.
//
// 64 x 48, 3 planes, 8 bits, maxSpace 64 MiB: avail75 = 16777216 x 3 = 50331648. A row needs
// 64 + 2 x 3 x 64 = 448 bytes. The preview holds the image at divisor 1: 3 x 48 x 64 x 2 +
// 48 x 64 = 21504. bufferSpace = zoom 628 x 663 x 4 = 1665456, + mask ((663 + 7) >> 3) x 628 x 2
// = 104248, + misc 1794592, + Huegrid 393216, + stack 196608 = 4154120. Every row fits: strip
// height 48. The run needs 21504 + 4154120, far below half of 64 MiB, so the host is told
// 33554432.
struct Budget {
    const char* what;
    VRect filter;
    int32_t planes, depth, maxSpace;
    bool big;
    int16 result;
    uint32_t bufferSpace;
    int32_t newMaxSpace, stripHeight;
    uint8_t reduced;
};
// clang-format off
const Budget kBudgets[] = {
    {"small 8-bit image, plenty of memory", {0, 0, 48, 64}, 3, 8, 64 << 20, false,
     noErr, 4154120, 33554432, 48, 0},
    // 3000 x 2000 at divisor 5 >> 1 = 2: a preview of 1500 x 1000, 25500000 bytes; 16-bit
    // bufferSpace 6648248 (misc 1929424, Huegrid 2752512); rows of 51000 bytes, 41 below 2 MiB.
    {"16-bit with transparency, reduced preview", {0, 0, 2000, 3000}, 4, 16, 96 << 20, false,
     noErr, 6648248, 50331648, 41, 1},
    // Divisor 2 >> 1 = 1: reduced, yet the preview is the image (4200000 bytes); 249 rows of 8400.
    {"preview reduced but divisor 1", {0, 0, 500, 1200}, 3, 8, 64 << 20, false,
     noErr, 4154120, 33554432, 249, 1},
    // avail75 8400000; needs 4200000 + 4154120 = 8354120, more than half of 11200000: the host
    // is told the whole 75 percent.
    {"tight memory: the whole 75 percent", {0, 0, 1000, 2400}, 3, 8, 11200000, false,
     noErr, 4154120, 8400000, 124, 1},
    // 2600 x 1000 from (100, 300), divisor 2: coordinates halved, 1300 x 500; rows of 33800.
    {"selection away from the origin", {100, 300, 1100, 2900}, 3, 16, 40 << 20, false,
     noErr, 6648248, 20971520, 62, 1},
    // Rows of 140000 bytes: 14 keep a strip below 2 MiB.
    {"wide rows: strips stay below 2 MiB", {0, 0, 300, 20000}, 3, 8, 256 << 20, false,
     noErr, 4154120, 134217728, 14, 1},
    {"three rows", {0, 0, 3, 64}, 3, 16, 64 << 20, false, noErr, 6648248, 33554432, 3, 0},
    // Rows of 7 bytes: the 16-bit count, 32767, is what stops the strip.
    {"one column of 40000 rows: 16-bit count", {0, 0, 40000, 1}, 3, 8, 64 << 20, true,
     noErr, 4154120, 33554432, 32767, 1},
    // avail75 3145728 is less than the smallest preview's bufferSpace.
    {"too little memory", {0, 0, 48, 64}, 3, 8, 4 << 20, false, memFullErr, 0, 0, 0, 0},
};
// clang-format on

TEST_F(PluginTest, PrepareBudgetsAreTheFiguresWorkedOutByHand) {
    DiagnosticsOn();
    for (const Budget& c : kBudgets) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(LogPath());
        StripHost h(Image(4, 4, c.planes, c.depth));  // the prepare phase reads no pixels
        h.UseBigDocument(c.big);
        h.SetFilterRect(c.filter);
        h.record.maxSpace = c.maxSpace;
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        ASSERT_EQ(h.Call(filterSelectorPrepare), c.result);
        const strip_host::Preview preview = Measured();
        ASSERT_EQ(preview.minW, kPreviewW);
        ASSERT_EQ(preview.minH, kPreviewH);
        if (c.result != noErr) {
            EXPECT_TRUE(LogHas("not enough memory: need "));
            continue;
        }
        const auto* data = h.Block<PluginData>(h.DataHandle());
        EXPECT_EQ(uint32_t(h.record.bufferSpace), c.bufferSpace);
        EXPECT_EQ(h.record.maxSpace, c.newMaxSpace);
        EXPECT_EQ(data->rowSkip, c.stripHeight);
        EXPECT_EQ(data->run.previewReduced, c.reduced);
        EXPECT_EQ(data->run.previewWidth, kPreviewW);
        EXPECT_EQ(data->run.previewHeight, kPreviewH);
        // Whatever the figures: never more rows than the image has, never a strip of 2 MiB, the
        // run inside what the host offered and a strip inside what the host is told.
        const int32_t width = c.filter.right - c.filter.left;
        const uint64_t rowNeeds = uint64_t(width) * (1 + 2 * uint64_t(c.planes) * (c.depth / 8));
        EXPECT_LE(data->rowSkip, c.filter.bottom - c.filter.top);
        EXPECT_LT(uint64_t(data->rowSkip) * rowNeeds, 0x200000u);
        EXPECT_LE(h.record.bufferSpace, c.maxSpace / 4 * 3);
        EXPECT_LE(h.record.maxSpace, c.maxSpace);
        EXPECT_GE(uint64_t(h.record.maxSpace),
                  uint64_t(h.record.bufferSpace) + uint64_t(data->rowSkip) * rowNeeds);
        EXPECT_TRUE(LogHas("Tell Photoshop: maxSpace = " + std::to_string(c.newMaxSpace) +
                           ", bufferSpace = " + std::to_string(c.bufferSpace)));
    }
}

// --- The start phase's refusals ------------------------------------------------------------------

TEST_F(PluginTest, StartRefusesHostsAndImagesItCannotFilter) {
    struct Case {
        const char* what;
        void (*spoil)(StripHost&);
        int16 result;
        const char* alert;  // null: no alert
        const char* line;
    };
    const Case cases[] = {
        {"two writable planes", [](StripHost& h) { h.record.planes = 2; }, userCanceledErr,
         "All three RGB channels must be write enabled.", nullptr},
        {"no advanceState", [](StripHost& h) { h.record.advanceState = nullptr; },
         errPlugInHostInsufficient, "", "advanceState or displayPixels not available"},
        {"no displayPixels", [](StripHost& h) { h.record.displayPixels = nullptr; },
         errPlugInHostInsufficient, "", "advanceState or displayPixels not available"},
        {"no sampling", [](StripHost& h) { h.record.samplingSupport = hostDoesNotSupportSampling; },
         errPlugInHostInsufficient, nullptr, "hostDoesNotSupportSampling"},
        {"32 bits a channel", [](StripHost& h) { h.record.depth = 32; }, filterBadParameters,
         nullptr, "gFilterRecord->depth = 32"},
        // A depth the mode does not have: the strips would be read at the wrong sample size.
        {"16 bits in 8-bit RGB", [](StripHost& h) { h.record.depth = 16; }, filterBadParameters,
         nullptr, "gFilterRecord->depth = 16 in mode 3"},
        {"8 bits in RGB48", [](StripHost& h) { h.record.imageMode = plugInModeRGB48; },
         filterBadParameters, nullptr, "gFilterRecord->depth = 8 in mode 11"},
    };
    DiagnosticsOn();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(LogPath());
        StripHost h(RandomImage(16, 8, 3, 8, 11));
        h.PlayWithoutDialog();
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
        c.spoil(h);
        EXPECT_EQ(h.Start(), c.result);
        EXPECT_TRUE(h.requests.empty());
        ExpectFiltered(h, Image(), VRect{0, 0, 0, 0});
        if (c.alert == nullptr) {
            EXPECT_TRUE(h.alerts.empty());
        } else {
            ASSERT_EQ(h.alerts.size(), 1u);
            EXPECT_NE(h.alerts[0].find(c.alert), std::string::npos) << h.alerts[0];
        }
        if (c.line != nullptr) {
            EXPECT_TRUE(LogHas(c.line));
        }
        EXPECT_FALSE(LogHas("...DoStart"));
        EXPECT_TRUE(h.violations.empty());
    }
    // Depth 0 stands for 8 bits.
    StripHost h(RandomImage(16, 8, 3, 8, 12));
    h.PlayWithoutDialog();
    h.record.depth = 0;
    EXPECT_EQ(h.Run(), 0);
    ExpectCleanRun(h);
}

TEST_F(PluginTest, ModesOtherThanRgbAreRefusedBeforeThePreferencesAreRead) {
    struct Case {
        int16 mode, planes, result;
    };
    const Case cases[] = {{plugInModeGrayScale, 1, filterBadMode},
                          {plugInModeCMYKColor, 4, filterBadMode},
                          {plugInModeRGBColor, 3, noErr}};  // reads and replaces the damaged file
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        std::filesystem::remove(PrefsPath());
        std::filesystem::remove(PrefsPath() + ".damaged");
        StripHost h(RandomImage(16, 8, 4, 8, 13));
        h.PlayWithoutDialog();
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
        testing_support::WriteFile(PrefsPath(), "KLM");  // damaged
        h.record.imageMode = c.mode;
        h.record.planes = c.planes;
        EXPECT_EQ(h.Start(), c.result);
        if (c.result == filterBadMode) {
            EXPECT_TRUE(h.requests.empty());
            EXPECT_TRUE(h.alerts.empty());
            EXPECT_EQ(testing_support::ReadFile(PrefsPath()), "KLM");
            EXPECT_FALSE(testing_support::FileExists(PrefsPath() + ".damaged"));
        } else {
            ASSERT_EQ(h.alerts.size(), 1u);
            EXPECT_NE(h.alerts[0].find("The preferences file was damaged"), std::string::npos)
                << h.alerts[0];
            EXPECT_EQ(testing_support::ReadFile(PrefsPath() + ".damaged"), "KLM");
        }
    }
}

// --- What the start phase tells the user
// ----------------------------------------------------------

// The module's preferences file with one more entry before its end entry.
std::string WithEntry(const std::string& file, const std::string& entry) {
    return file.substr(0, file.size() - 8) + entry + file.substr(file.size() - 8);
}

TEST_F(PluginTest, APreferenceEntryIsToldOnceWhetherRepairedOrRefused) {
    struct Case {
        const char* what;
        std::string entry;  // tag, type, count, values: most significant byte first
        int16 result;
        const char* alert;
    };
    const Case cases[] = {
        {"grid level 9: repaired, the run goes on",
         std::string("\x00\x33\x00\x02\x00\x00\x00\x01\x00\x00\x00\x09", 12), noErr,
         "An unsupported feature was encountered while reading preference 51, using default "
         "value."},
        {"sample size with two values: the file is kept aside and replaced, the run goes on",
         std::string("\x00\x34\x00\x02\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00\x01", 16), noErr,
         "The preferences file was damaged and has been replaced."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WritePrefs([](Prefs&) {});
        const std::string good = testing_support::ReadFile(PrefsPath());
        StripHost h(RandomImage(16, 8, 3, 8, 14));
        h.PlayWithoutDialog();
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
        testing_support::WriteFile(PrefsPath(), WithEntry(good, c.entry));
        EXPECT_EQ(h.Start(), c.result);
        // One alert: the entry's or the file's, never both.
        ASSERT_EQ(h.alerts.size(), 1u);
        EXPECT_EQ(h.alerts[0].rfind(c.alert, 0), 0u) << h.alerts[0];
    }
}

// The byte offsets at which each entry of a preferences file starts, by tag.
std::map<uint16_t, size_t> EntryOffsets(const std::string& file) {
    std::map<uint16_t, size_t> at;
    for (size_t i = 0; i + 8 <= file.size();) {
        auto byte = [&](size_t k) { return uint32_t(uint8_t(file[i + k])); };
        const uint16_t tag = uint16_t(byte(0) << 8 | byte(1));
        const uint32_t type = byte(2) << 8 | byte(3);
        const uint32_t count = byte(4) << 24 | byte(5) << 16 | byte(6) << 8 | byte(7);
        at[tag] = i;
        i += 8 + size_t(count) * (type == 0 ? 1 : type == 1 ? 2 : 4);
    }
    return at;
}

TEST_F(PluginTest, ADamagedPreferencesFileIsKeptAsideAndTheRunGoesOn) {
    // Cut in the middle of an entry that is written after the start modes and the previous
    // settings but before the grid level: what came before is kept, the rest is at its default.
    WritePrefs([](Prefs& p) {
        p.previousSettings = ChangedPars();
        p.startAllSame = 1;
        p.startWith = kStartPrevious;
        p.gridLevel = kFastGrid;
    });
    const std::string good = testing_support::ReadFile(PrefsPath());
    const std::map<uint16_t, size_t> at = EntryOffsets(good);
    ASSERT_TRUE(at.count(78) && at.count(51) && at.count(110) && at.count(64));
    ASSERT_LT(at.at(110), at.at(78));
    ASSERT_LT(at.at(78), at.at(51));
    const std::string damaged = good.substr(0, at.at(78) + 10);
    testing_support::WriteFile(PrefsPath(), damaged);

    const Image image = RandomImage(24, 10, 3, 8, 16);
    StripHost h(image);
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    for (const std::string& v : h.violations) ADD_FAILURE() << "host contract: " << v;
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_EQ(h.alerts[0],
              "The preferences file was damaged and has been replaced. Settings that could not be "
              "read may be back at their defaults. The damaged file was kept as " +
                  PrefsPath() + ".damaged.");
    EXPECT_EQ(testing_support::ReadFile(PrefsPath() + ".damaged"), damaged);
    EXPECT_NE(h.dest.samples, image.samples);  // filtered with the previous settings
    const auto prefs = ReadPrefsFile();
    EXPECT_FLOAT_EQ(prefs->previousSettings.brightness, 0.62f);
    EXPECT_EQ(prefs->startWith, kStartPrevious);
    EXPECT_EQ(prefs->gridLevel, 7);  // after the damage: the default

    // The next run finds a sound file and says nothing.
    StripHost again(image);
    again.PlayWithoutDialog();
    ASSERT_EQ(again.Run(), 0);
    ExpectCleanRun(again);
    EXPECT_EQ(again.dest.samples, h.dest.samples);
    EXPECT_EQ(testing_support::ReadFile(PrefsPath() + ".damaged"), damaged);
}

TEST_F(PluginTest, APreferencesWriteThatFailsIsToldOnceAndTheImageIsStillFiltered) {
    // The run writes the preferences twice (before filtering, and the applied settings after it).
    // Its temporary file cannot be made (a folder holds the name, which even a privileged user
    // cannot open as a file): one alert that says what failed, not that the disk is full, and
    // the image filtered all the same.
    WritePrefs([](Prefs& p) {
        p.customSettings = ChangedPars();
        p.startAllSame = 1;
        p.startWith = kStartCustom;
    });
    const std::string before = testing_support::ReadFile(PrefsPath());
    const std::string blocked = PrefsPath() + "." + std::to_string(getpid()) + ".new";
    ASSERT_TRUE(std::filesystem::create_directory(blocked));
    const Image image = RandomImage(24, 10, 3, 8, 18);
    StripHost h(image);
    h.PlayWithoutDialog();
    EXPECT_EQ(h.Run(), 0);
    for (const std::string& v : h.violations) ADD_FAILURE() << "host contract: " << v;
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_EQ(
        h.alerts[0].rfind(
            "A file open error occurred while updating Preferences file " + PrefsPath() + ".", 0),
        0u)
        << h.alerts[0];
    EXPECT_EQ(h.alerts[0].find("room for the file"), std::string::npos) << h.alerts[0];
    EXPECT_NE(h.dest.samples, image.samples);  // filtered with the custom settings
    EXPECT_EQ(testing_support::ReadFile(PrefsPath()), before);
    std::filesystem::remove(blocked);
}

TEST_F(PluginTest, TheImageIsNamedForWhatTheRunMayTellAboutIt) {
    // A row that cannot be processed is told with the image's name: the host's document title.
    StripHost h(RandomImage(12, 6, 3, 8, 19));
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    EXPECT_EQ(std::string(h.Block<PluginData>(h.DataHandle())->run.imageName),
              test_host::TestHost::title);
}

TEST_F(PluginTest, APreferencesPathWithoutRoomForItsTemporaryFileIsNotUsed) {
    // A preferences folder so long that the file's path has 253 characters: its temporary file
    // ".new" would not fit a path, so no write could succeed there. The current folder takes
    // the file instead.
    const std::string config = root_ + "/" + std::string(253 - 23 - 9 - root_.size() - 1, 'c');
    testing_support::PointAppDataAt(config);
    ASSERT_EQ((config + "/Lumetra/KolmaraPro Plugin Prefs").size(), 253u);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(root_.c_str()), 0);
    StripHost h(RandomImage(12, 6, 3, 8, 17));
    h.PlayWithoutDialog();
    const int16 result = h.Run();
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(result, 0);
    ExpectCleanRun(h);
    EXPECT_EQ(std::string(h.Block<PluginParams>(h.record.parameters)->prefsPath),
              testing_support::NativePath(root_ + "/KolmaraPro Plugin Prefs"));
    EXPECT_TRUE(testing_support::FileExists(root_ + "/KolmaraPro Plugin Prefs"));
}

TEST_F(PluginTest, SettingsFromAnotherWorkingSpaceAreUsedOnlyWhenTheUserSaysSo) {
    EditPars other = ChangedPars();
    RefRGB space = other.refRGB;
    space.gamma = 1.8f;
    ASSERT_EQ(HgSetReference(&other, &space), 0);
    const EditPars saved = StartFromPrevious(other);
    const Image image = RandomImage(24, 10, 3, 8, 15);
    const char* question =
        "The RGB working space has changed. Your saved settings may not produce the desired "
        "result. [Use Anyway|Cancel]";
    {
        StripHost h(image);
        h.PlayWithoutDialog();
        h.alertAnswer = 2;  // Cancel
        EXPECT_EQ(h.Run(), userCanceledErr);
        ASSERT_EQ(h.alerts.size(), 1u);
        EXPECT_EQ(h.alerts[0], question);
        EXPECT_EQ(h.dest.samples, image.samples);
    }
    StripHost h(image);
    h.PlayWithoutDialog();
    EXPECT_EQ(h.Run(), 0);  // Use Anyway
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_EQ(h.alerts[0], question);
    const VRect whole{0, 0, image.height, image.width};
    ExpectFiltered(h, ApplyDirect(StartedFromAnySpace(saved, 8), kFastGrid, image, whole), whole);
}

// --- Filtering the host image --------------------------------------------------------------------

TEST_F(PluginTest, IdentityRunGivesBackEveryPixel) {
    for (int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const Image image = RandomImage(4600, 40, 3, depth, 20 + uint32_t(depth));
        StripHost h(image);
        h.PlayWithoutDialog();  // fresh preferences: every tool starts reset
        OfferMemoryForRows(h, 5);
        ASSERT_EQ(h.Start(), 0);
        ASSERT_EQ(h.Call(filterSelectorFinish), 0);
        ExpectCleanRun(h);
        EXPECT_EQ(h.requests.size(), 1u + 8u);  // the reset, then 40 rows in strips of 5
        // 16-bit samples come back from the engine's scale halved: 32768 cannot survive.
        Image expected = image;
        for (uint16_t& v : expected.samples) v = v > 32767 ? 32767 : v;
        ExpectFiltered(h, expected, VRect{0, 0, image.height, image.width});
        EXPECT_EQ(h.progressCalls, image.height);
        EXPECT_EQ(h.lastProgressDone, image.height - 1);
        EXPECT_EQ(h.lastProgressTotal, image.height);
        EXPECT_EQ(h.displayCalls, 0);

        // Under a soft selection too: blending a pixel with itself gives it back, whatever the
        // mask value (a 16-bit white once came back 128 codes darker).
        StripHost soft(image);
        std::vector<uint8_t> mask(size_t(image.width) * size_t(image.height));
        for (size_t i = 0; i < mask.size(); ++i) mask[i] = uint8_t(i * 7);
        soft.SetMask(mask);
        soft.PlayWithoutDialog();
        OfferMemoryForRows(soft, 5);
        ASSERT_EQ(soft.Start(), 0);
        ExpectFiltered(soft, expected, VRect{0, 0, image.height, image.width});
    }
}

TEST_F(PluginTest, ChangedSettingsMatchTheTransformAppliedDirectly) {
    for (int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        std::filesystem::remove(LogPath());
        // The 16-bit run builds the finest grid, the most memory the budget has to cover.
        const int32_t level = depth == 16 ? kHgQualityMax : kFastGrid;
        const Image image = RandomImage(4600, 24, 3, depth, 30 + uint32_t(depth));
        const EditPars saved = StartFromPrevious(ChangedPars(), level);
        StripHost h(image);
        h.PlayWithoutDialog();
        OfferMemoryForRows(h, 4);
        ASSERT_EQ(h.Start(), 0);
        ASSERT_EQ(h.Call(filterSelectorFinish), 0);
        ExpectCleanRun(h);
        EXPECT_EQ(h.requests.size(), 1u + 6u);
        const VRect whole{0, 0, image.height, image.width};
        ExpectFiltered(h, ApplyDirect(StartedFrom(saved, depth), level, image, whole), whole);
        // The applied settings are the previous settings of the next run.
        const auto prefs = ReadPrefsFile();
        EXPECT_FLOAT_EQ(prefs->previousSettings.brightness, 0.62f);
        EXPECT_FLOAT_EQ(prefs->previousSettings.hue[2].hueShift, 12.0f);
    }
}

TEST_F(PluginTest, SharpenedStripsStartAboveTheirRowButInsideTheFilterRectangle) {
    EditPars pars = ChangedPars();
    pars.sharpenNoise.sharpenOn = 1;
    pars.sharpenNoise.sharpenStrength = 12;
    const EditPars saved = StartFromPrevious(pars);
    const Image image = RandomImage(4600, 36, 3, 16, 40);
    StripHost h(image);
    const VRect area{5, 7, 31, 4590};
    h.SetFilterRect(area);
    h.PlayWithoutDialog();
    OfferMemoryForRows(h, 9);
    ASSERT_EQ(h.Start(), 0);
    ExpectCleanRun(h);

    // The first strip starts at the selection's first row, every later one four rows above the
    // row that needed it (sharpening delivers rows two late, with room for the window).
    ASSERT_GE(h.requests.size(), 3u);
    int32_t expectTop = area.top;
    for (size_t i = 1; i < h.requests.size(); ++i) {
        const auto& r = h.requests[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(r.in.top, expectTop);
        EXPECT_EQ(r.in.bottom, std::min(r.in.top + 9, area.bottom));
        EXPECT_EQ(r.in.left, area.left);
        EXPECT_EQ(r.in.right, area.right);
        EXPECT_EQ(r.out.top, r.in.top);
        EXPECT_EQ(r.out.bottom, r.in.bottom);
        expectTop = r.in.bottom - 4;
    }
    EXPECT_EQ(h.requests.back().in.bottom, area.bottom);
    ExpectFiltered(h, ApplyDirect(StartedFrom(saved, 16), kFastGrid, image, area), area);
}

TEST_F(PluginTest, NoiseRemovalStripsBringMoreNewRowsThanTheyReachBack) {
    // Strips start 32 rows above the row that needs them; each must bring at least 33 new rows,
    // or rows would be fetched again and again. Rows this wide keep the prepare phase's strip
    // below 2 MiB at 59 rows, while the memory offered holds many more.
    EditPars pars = ChangedPars();
    pars.sharpenNoise.noiseOn = 1;
    pars.sharpenNoise.noiseRadius[1] = 16;
    pars.sharpenNoise.noiseRadius[2] = 5;
    pars.sharpenNoise.sharpenOn = 1;
    const EditPars saved = StartFromPrevious(pars);
    const Image image = RandomImage(5000, 130, 3, 8, 50);
    const VRect area{2, 0, 130, 5000};
    StripHost h(image);
    h.SetFilterRect(area);
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Call(filterSelectorParameters), 0);
    ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
    ASSERT_EQ(h.Block<PluginData>(h.DataHandle())->rowSkip, 59);
    ASSERT_EQ(h.Start(), 0);
    ExpectCleanRun(h);

    const int32_t height = area.bottom - area.top;
    int64_t fetched = 0;
    for (size_t i = 1; i < h.requests.size(); ++i) {
        const VRect& r = h.requests[i].in;
        EXPECT_EQ(r.bottom - r.top, std::min(65, area.bottom - r.top));
        fetched += r.bottom - r.top;
    }
    EXPECT_LE(fetched, 2 * height);
    EXPECT_LE(h.requests.size(), size_t(2 + height / 33));
    ExpectFiltered(h, ApplyDirect(StartedFrom(saved, 8), kFastGrid, image, area), area);
}

TEST_F(PluginTest, StripsThatCannotReachBackWithinTheMemoryEndTheRun) {
    // Memory for three rows a strip, where noise removal needs 33: the run says so instead of
    // fetching every row 33 times, and leaves the image alone.
    EditPars pars = ChangedPars();
    pars.sharpenNoise.noiseOn = 1;
    pars.sharpenNoise.noiseRadius[1] = 16;
    StartFromPrevious(pars);
    const Image image = RandomImage(6000, 44, 3, 8, 51);
    StripHost h(image);
    h.PlayWithoutDialog();
    OfferMemoryForRows(h, 3);
    EXPECT_EQ(h.Start(), memFullErr);
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_EQ(h.alerts[0], "There was not enough memory available while advancing state.");
    EXPECT_EQ(h.requests.size(), 1u);  // the empty request that starts every run
    EXPECT_EQ(h.dest.samples, image.samples);
    EXPECT_TRUE(h.violations.empty());
}

TEST_F(PluginTest, TinyAndEmptySelectionsRunWithEveryRowFilterOn) {
    // Fewer rows than sharpening or noise removal reach over, down to a single pixel and none.
    EditPars pars = ChangedPars();
    pars.sharpenNoise.sharpenOn = 1;
    pars.sharpenNoise.noiseOn = 1;
    StartFromPrevious(pars);
    const VRect areas[] = {{3, 4, 4, 5}, {0, 2, 7, 3}, {2, 0, 3, 9},
                           {1, 1, 4, 4}, {0, 0, 7, 9}, {4, 2, 4, 8}};
    for (int32_t depth : {8, 16}) {
        for (const VRect& area : areas) {
            SCOPED_TRACE(std::to_string(depth) + " bits, " + std::to_string(area.top) + "," +
                         std::to_string(area.left) + " " + std::to_string(area.bottom) + "," +
                         std::to_string(area.right));
            StripHost h(RandomImage(9, 7, 3, depth, 55));
            h.SetFilterRect(area);
            h.PlayWithoutDialog();
            ASSERT_EQ(h.Run(), 0);
            ExpectCleanRun(h);
            for (const auto& r : h.requests) {
                for (const VRect& x : {r.in, r.out}) {
                    EXPECT_TRUE(x.bottom <= x.top || x.right <= x.left ||
                                (area.top <= x.top && x.bottom <= area.bottom &&
                                 area.left <= x.left && x.right <= area.right));
                }
            }
            ExpectFiltered(h, Image(), area, false);  // nothing outside the selection moved
        }
    }
}

TEST_F(PluginTest, TallSingleColumnRunsInStripsOfTheLargest16BitCount) {
    const Image image = RandomImage(1, 40000, 3, 8, 56);
    StripHost h(image);
    h.UseBigDocument(true);
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    ExpectCleanRun(h);
    ASSERT_EQ(h.requests.size(), 3u);
    EXPECT_EQ(h.requests[1].in.bottom - h.requests[1].in.top, 32767);
    EXPECT_EQ(h.requests[2].in.top, 32767);
    EXPECT_EQ(h.requests[2].in.bottom, 40000);
    EXPECT_EQ(h.dest.samples, image.samples);
}

TEST_F(PluginTest, SelectionMaskBlendsColoursAndTheFourthPlanePassesThrough) {
    // Without a selection the rows take another path, which must give the same bytes as a mask
    // that selects everything.
    for (const bool selection : {true, false}) {
        for (int32_t depth : {8, 16}) {
            SCOPED_TRACE(testing::Message() << depth << (selection ? " selection" : " none"));
            const EditPars saved = StartFromPrevious(ChangedPars());
            const Image image = RandomImage(4600, 16, 4, depth, 60 + uint32_t(depth));
            std::vector<uint8_t> mask(size_t(image.width) * size_t(image.height), 255);
            for (size_t i = 0; selection && i < mask.size(); ++i) {
                mask[i] = i % 4 == 0 ? 0 : i % 4 == 1 ? 255 : uint8_t(1 + (i * 37) % 253);
            }
            StripHost h(image);
            if (selection) h.SetMask(mask);
            h.PlayWithoutDialog();
            OfferMemoryForRows(h, 4);
            ASSERT_EQ(h.Start(), 0);
            ExpectCleanRun(h);
            for (size_t i = 1; selection && i < h.requests.size(); ++i) {
                EXPECT_EQ(h.requests[i].mask.top, h.requests[i].in.top);
                EXPECT_EQ(h.requests[i].mask.bottom, h.requests[i].in.bottom);
            }
            const VRect whole{0, 0, image.height, image.width};
            Image expected = ApplyDirect(StartedFrom(saved, depth), kFastGrid, image, whole);
            for (int32_t y = 0; y < image.height; ++y) {
                for (int32_t x = 0; x < image.width; ++x) {
                    const uint32_t m = mask[size_t(y) * size_t(image.width) + size_t(x)];
                    for (int32_t c = 0; c < 3; ++c) {
                        const uint32_t i =
                            std::min<uint32_t>(image.At(x, y, c), depth == 16 ? 32767 : 255);
                        const uint32_t n = expected.At(x, y, c);
                        expected.At(x, y, c) =
                            uint16_t(m == 0     ? i
                                     : m == 255 ? n
                                                : ((255 - m) * i + m * n + 127) / 255);
                    }
                }
            }
            // The fourth plane is held to the source, 32768 included.
            ExpectFiltered(h, expected, whole);
        }
    }
}

TEST_F(PluginTest, CancelEndsTheRunWithoutAnAlert) {
    StartFromPrevious(ChangedPars());
    const Image image = RandomImage(4600, 20, 3, 8, 80);
    struct Case {
        const char* what;
        int32_t abortFrom, failAt;
        OSErr answer;
        int16 result;
        bool alert;
    };
    const Case cases[] = {
        {"abortProc before the third strip", 3, 0, noErr, userCanceledErr, false},
        {"advanceState cancels the third strip", 0, 4, userCanceledErr, userCanceledErr, false},
        {"advanceState refuses the third strip", 0, 4, -1, filterBadParameters, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StripHost h(image);
        h.PlayWithoutDialog();
        OfferMemoryForRows(h, 4);
        h.abortFrom = c.abortFrom;
        h.failAdvanceAt = c.failAt;
        h.failAdvanceWith = c.answer;
        EXPECT_EQ(h.Start(), c.result);
        EXPECT_TRUE(h.violations.empty());
        if (c.alert) {
            ASSERT_EQ(h.alerts.size(), 1u);
            EXPECT_NE(h.alerts[0].find("advancing state"), std::string::npos) << h.alerts[0];
        } else {
            EXPECT_TRUE(h.alerts.empty());
        }
        // Two strips were delivered; nothing below them was touched, and nothing more is asked.
        EXPECT_EQ(h.requests.size(), 4u - (c.failAt == 0 ? 1u : 0u));
        for (int32_t y = 8; y < image.height; ++y) {
            for (int32_t x = 0; x < image.width; x += 97) {
                EXPECT_EQ(h.dest.At(x, y, 1), image.At(x, y, 1));
            }
        }
        EXPECT_EQ(h.Call(filterSelectorFinish), 0);
    }
}

TEST_F(PluginTest, WithoutADisplayTheWindowRunSaysSoAndChangesNothing) {
    const Image image = RandomImage(30, 10, 3, 8, 95);
    StartFromPrevious(ChangedPars());
    StripHost h(image);
    EXPECT_EQ(h.Run(), userCanceledErr);
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_NE(h.alerts[0].find("needs a display"), std::string::npos) << h.alerts[0];
    EXPECT_EQ(h.dest.samples, image.samples);
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
        EXPECT_EQ(entry.path().filename().string().rfind("Lumetra", 0), std::string::npos)
            << "help-text file left behind: " << entry.path();
    }
    h.alerts.clear();
    // A repeat of the filter goes without the window and applies the previous settings.
    EXPECT_EQ(h.Call(filterSelectorPrepare), 0);
    EXPECT_EQ(h.Start(), 0);
    EXPECT_NE(h.dest.samples, image.samples);
    ExpectCleanRun(h);
}

TEST_F(PluginTest, HelpTextProblemsNameTheFolderAndLeaveNoFileBehind) {
    StartFromPrevious(ChangedPars());
    const Image image = RandomImage(30, 10, 3, 8, 96);
    {
        // A temporary folder that leaves no room in a path for a file name: the folder is
        // what the user is told about, since no name was made.
        const std::string tmp = root_ + "/" + std::string(240 - root_.size() - 1, 't');
        testing_support::PointTempAt(tmp);
        StripHost h(image);
        const int16 result = h.Run();
        testing_support::PointTempAt(root_);
        EXPECT_EQ(result, filterBadParameters);
        ASSERT_EQ(h.alerts.size(), 1u);
        EXPECT_EQ(h.alerts[0], "A problem occurred while creating file " +
                                   testing_support::NativePath(tmp + "/") + ".");
        EXPECT_EQ(h.dest.samples, image.samples);
    }
#if !defined(_WIN32)  // a file size limit for the process is POSIX's
    {
        // A disk that fills up while the help text is written: what was written goes again.
        StripHost h(image);
        ASSERT_EQ(h.Call(filterSelectorParameters), 0);
        ASSERT_EQ(h.Call(filterSelectorPrepare), 0);
        auto* oldSignal = signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 4096;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int16 result = h.Start();
        setrlimit(RLIMIT_FSIZE, &old);
        signal(SIGXFSZ, oldSignal);
        EXPECT_EQ(result, filterBadParameters);
        ASSERT_EQ(h.alerts.size(), 1u);
        EXPECT_EQ(h.alerts[0].rfind("A file write error occurred while creating file " + root_ +
                                        "/Lumetra000000.tmp.",
                                    0),
                  0u)
            << h.alerts[0];
        for (const auto& entry : std::filesystem::directory_iterator(root_)) {
            EXPECT_EQ(entry.path().filename().string().rfind("Lumetra", 0), std::string::npos)
                << "help-text file left behind: " << entry.path();
        }
    }
#endif
}

TEST_F(PluginTest, WithDiagnosticsOnEveryCallLogsItsMemoryFigures) {
    checkMemoryLines_ = false;
    DiagnosticsOn();
    StripHost h(RandomImage(40, 12, 3, 8, 97));
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    ExpectCleanRun(h);
    auto count = [&](const std::string& prefix) {
        int n = 0;
        for (const std::string& line : LogLines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    };
    EXPECT_EQ(count("ul_maxTotal = "), h.calls);
    EXPECT_EQ(count("ul_nMallocs = 0"), h.calls);
    EXPECT_EQ(count("Over max"), 0);

    // A peak above the budget the prepare phase told the host is reported too.
    Mem_Free(Mem_Alloc(uint32_t(h.record.bufferSpace) + 1000));
    EXPECT_EQ(h.Call(filterSelectorContinue), 0);
    EXPECT_EQ(count("Over max: ul_maxTotal = "), 1);
    EXPECT_EQ(count("ul_maxTotal = "), h.calls);
}

TEST_F(PluginTest, StoredSettingsThatCannotBeAppliedEndTheRunWithOneAlert) {
    // Settings from another working space, for tools 2 and 3, in a host that cannot show the
    // question (no alert box can be made): no tool may go on part-copied.
    EditPars other = ChangedPars();
    RefRGB space = other.refRGB;
    space.gamma = 1.8f;
    ASSERT_EQ(HgSetReference(&other, &space), 0);
    WritePrefs([&](Prefs& p) {
        p.previousSettings = other;
        p.startAllSame = 0;
        const int32_t modes[4] = {kStartReset, kStartPrevious, kStartPrevious, kStartReset};
        for (int i = 0; i < 4; ++i) p.startTool[i] = modes[i];
    });
    const Image image = RandomImage(24, 10, 3, 8, 98);
    StripHost h(image);
    h.PlayWithoutDialog();
    h.alertStatus = kStatusError;
    EXPECT_EQ(h.Run(), filterBadParameters);
    ASSERT_EQ(h.alerts.size(), 2u);  // the question that could not be shown, then the failure
    EXPECT_EQ(h.alerts[1], "An error occurred while initializing Tintara Kolmara Pro parameter.");
    EXPECT_TRUE(h.requests.empty());
    EXPECT_EQ(h.dest.samples, image.samples);
    EXPECT_FLOAT_EQ(ReadPrefsFile()->previousSettings.refRGB.gamma, 1.8f);  // nothing recorded
}

// A host's monitor record for a space: gamma, then x, y of red, green, blue and white.
PlugInMonitor Monitor(double gamma, const double xy[8]) {
    auto fixed = [](double v) { return int32_t(std::lround(v * 65536.0)); };
    PlugInMonitor m{};
    m.gamma = fixed(gamma);
    m.redX = fixed(xy[0]), m.redY = fixed(xy[1]);
    m.greenX = fixed(xy[2]), m.greenY = fixed(xy[3]);
    m.blueX = fixed(xy[4]), m.blueY = fixed(xy[5]);
    m.whiteX = fixed(xy[6]), m.whiteY = fixed(xy[7]);
    return m;
}

TEST_F(PluginTest, StoredDefaultSettingsApplyInAnSrgbHostWithoutAQuestion) {
    // The stored settings carry the default space (its white from the daylight locus at
    // 6500 K); an sRGB host passes the rounded standard white. No image could show the
    // difference, so nobody is asked; a host in another space still is.
    const EditPars saved = StartFromPrevious(ChangedPars());
    const Image image = RandomImage(24, 10, 3, 8, 99);
    const double srgb[8] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
    // As hosts pass sRGB: gamma 2.2, or the power curve nearest to sRGB's tone curve when they
    // read the space from an image's sRGB profile.
    for (double gamma : {2.2, 2.233}) {
        SCOPED_TRACE(gamma);
        StartFromPrevious(saved);
        StripHost h(image);
        h.record.monitor = Monitor(gamma, srgb);
        h.PlayWithoutDialog();
        ASSERT_EQ(h.Run(), 0);
        ExpectCleanRun(h);
        EXPECT_NE(h.dest.samples, image.samples);
    }

    const double adobe[8] = {0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290};
    StartFromPrevious(saved);
    StripHost other(image);
    other.record.monitor = Monitor(563.0 / 256.0, adobe);
    other.PlayWithoutDialog();
    ASSERT_EQ(other.Run(), 0);
    ASSERT_EQ(other.alerts.size(), 1u);
    EXPECT_EQ(other.alerts[0].rfind("The RGB working space has changed.", 0), 0u);
}

TEST_F(PluginTest, KeenhueOnAnEmptyFilterRectangleEndsQuietly) {
    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
        p.previousSettings = ChangedPars();
    });
    const Image image = RandomImage(40, 30, 3, 8, 101);
    StripHost h(image);
    h.SetFilterRect(VRect{5, 3, 5, 30});
    h.PlayWithoutDialog();
    EXPECT_EQ(h.Run(), 0);
    ExpectCleanRun(h);
    EXPECT_TRUE(h.requests.empty());
    EXPECT_EQ(h.dest.samples, image.samples);
    EXPECT_FLOAT_EQ(ReadPrefsFile()->previousSettings.brightness, 0.62f);  // nothing applied
}

TEST_F(PluginTest, ReplayedActionReproducesTheRecordedRun) {
    StartFromPrevious(ChangedPars());
    const Image image = RandomImage(300, 20, 3, 16, 100);
    StripHost first(image);
    first.PlayWithoutDialog();
    ASSERT_EQ(first.Run(), 0);
    ExpectCleanRun(first);
    const auto recorded = first.host.DescriptorItems();
    ASSERT_EQ(recorded.size(), 1u);
    ASSERT_NE(first.dest.samples, image.samples);

    // Played back on fresh preferences, without the parameters phase, as a host replays actions.
    std::filesystem::remove(PrefsPath());
    StripHost second(image);
    second.host.SetDescriptor(recorded);
    second.host.descriptorParameters.playInfo = plugInDialogDontDisplay;
    ASSERT_EQ(second.Run(false), 0);
    ExpectCleanRun(second);
    EXPECT_EQ(second.dest.samples, first.dest.samples);
}

TEST_F(PluginTest, EachToolStartsFromItsOwnMode) {
    EditPars previous = ChangedPars(), custom, reset;
    SetParsDefaults(&custom);
    SetParsDefaults(&reset);
    custom.blackPoint = -0.05f;
    custom.brightness = 0.4f;
    custom.hue[4].hueShift = -20.0f;
    struct Case {
        uint8_t allSame;
        int32_t all, tools[4];
        const char* from;  // where tools 2, 3 and 4 take their values: Previous, Custom, Reset
    };
    const Case cases[] = {
        {0, 0, {kStartKeenhue, kStartPrevious, kStartReset, kStartCustom}, "PRC"},
        {0, 0, {kStartCustom, kStartCustom, kStartPrevious, kStartReset}, "CPR"},
        {1, kStartCustom, {kStartPrevious, kStartPrevious, kStartPrevious, kStartPrevious}, "CCC"},
        {1, kStartPrevious, {kStartCustom, kStartCustom, kStartCustom, kStartCustom}, "PPP"},
        {1, kStartReset, {kStartCustom, kStartPrevious, kStartCustom, kStartPrevious}, "RRR"},
    };
    auto from = [&](char source) -> const EditPars& {
        return source == 'P' ? previous : source == 'C' ? custom : reset;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        WritePrefs([&](Prefs& p) {
            p.previousSettings = previous;
            p.customSettings = custom;
            p.startAllSame = c.allSame;
            p.startWith = c.all;
            for (int i = 0; i < 4; ++i) p.startTool[i] = c.tools[i];
        });
        StripHost h(RandomImage(20, 6, 3, 8, 110));
        h.PlayWithoutDialog();
        ASSERT_EQ(h.Run(), 0);
        ExpectCleanRun(h);
        const EditPars applied = ReadPrefsFile()->previousSettings;
        EXPECT_FLOAT_EQ(applied.blackPoint, from(c.from[0]).blackPoint);
        EXPECT_FLOAT_EQ(applied.whitePoint, from(c.from[0]).whitePoint);
        EXPECT_FLOAT_EQ(applied.brightness, from(c.from[1]).brightness);
        EXPECT_FLOAT_EQ(applied.saturation, from(c.from[1]).saturation);
        EXPECT_FLOAT_EQ(applied.hue[2].hueShift, from(c.from[2]).hue[2].hueShift);
        EXPECT_FLOAT_EQ(applied.hue[4].hueShift, from(c.from[2]).hue[4].hueShift);
    }
}

}  // namespace

// --- The automatic settings without the window -----------------------------------------------

namespace {

// A warm-cast grey gradient with a few colour patches: its darkest and lightest pixels are
// close to neutral and unclipped, as the balance step expects of a photograph's ends.
Image CastScene(int32_t w, int32_t h, int32_t depth) {
    Image image(w, h, 3, depth);
    const int32_t top = image.MaxCode();
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            double v = 0.06 + 0.82 * x / (w - 1);
            double rgb[3] = {v * 1.12, v, v * 0.82};
            if (y > h / 2 && (x / 40) % 3 == 1) rgb[0] *= 1.3, rgb[2] *= 0.6;  // orange bars
            for (int p = 0; p < 3; ++p) {
                image.At(x, y, p) = uint16_t(std::lround(std::min(rgb[p], 0.97) * top));
            }
        }
    }
    return image;
}

TEST_F(PluginTest, AnyNumberOfThreadsWritesTheSingleRowPipelinesBytes) {
    // Sharpening and noise removal in a filter rectangle that is not the image (the bands'
    // margins end at its edges), 8- and 16-bit, in several strips.
    EditPars pars = ChangedPars();
    pars.sharpenNoise.sharpenOn = 1;
    pars.sharpenNoise.noiseOn = 1;
    pars.sharpenNoise.noiseRadius[1] = 9;
    const EditPars saved = StartFromPrevious(pars);
    for (int32_t depth : {8, 16}) {
        const Image image = RandomImage(4600, 90, 3, depth, 45);
        const VRect area{3, 5, 87, 4590};
        const Image expected = ApplyDirect(StartedFrom(saved, depth), kFastGrid, image, area);
        for (const char* threads : {"1", "2", "3", "8", "64"}) {
            SCOPED_TRACE(std::to_string(depth) + "-bit, " + threads + " threads");
            ExpectRunOnThreads(image, area, expected, threads, nullptr);
        }
    }
    testing_support::SetEnvironment("KOLMARA_THREADS", nullptr);
}

TEST_F(PluginTest, TheTransformAloneWritesThePipelinesBytesStraightIntoTheOutput) {
    // Without sharpening and noise removal the rows go from the host's input to its output
    // without the pipeline: a grid correction and a tone correction alone (the curves kernels),
    // 8- and 16-bit, a width no vector step divides, a filter rectangle inside the image, in
    // several strips, on any number of threads. A selection that keeps every pixel sends the
    // same rows through the pipeline: both must give the same bytes.
    EditPars tone;
    SetParsDefaults(&tone);
    tone.brightness = 0.6f;
    for (const EditPars& pars : {ChangedPars(), tone}) {
        const EditPars saved = StartFromPrevious(pars);
        for (int32_t depth : {8, 16}) {
            const Image image = RandomImage(4603, 90, 3, depth, 46);
            const VRect area{2, 7, 87, 4598};
            const Image expected = ApplyDirect(StartedFrom(saved, depth), kFastGrid, image, area);
            const std::vector<uint8_t> everything(size_t(image.width) * size_t(image.height), 255);
            for (const char* threads : {"1", "2", "3", "8"}) {
                SCOPED_TRACE(std::to_string(depth) + "-bit, " + threads + " threads");
                ExpectRunOnThreads(image, area, expected, threads, nullptr);
                SCOPED_TRACE("a selection of every pixel");
                ExpectRunOnThreads(image, area, expected, threads, &everything);
            }
        }
    }
    testing_support::SetEnvironment("KOLMARA_THREADS", nullptr);
}

// Each heap request of a start without the window failing in turn, until a start meets none
// (its host goes to done): one alert for one failure, or the host's own before the call state
// stands; a failed preferences write lets the run go on; a run a failure ends leaves the image
// untouched and holds nothing (told sees its host). A start that fails and says nothing goes to
// quiet (only the filter's thread pool may: the filter then runs on the calling thread).
// Returns the number of the request that did not fail.
int32_t WalkStartFailures(const Image& image, const std::function<void(const StripHost&)>& told,
                          const std::function<void(const StripHost&)>& quiet,
                          const std::function<void(const StripHost&)>& done) {
    for (int32_t n = 1;; ++n) {
        StripHost h(image);
        h.PlayWithoutDialog();
        EXPECT_EQ(h.Call(filterSelectorParameters), 0);
        EXPECT_EQ(h.Call(filterSelectorPrepare), 0);
        const uint32_t held = ul_nMallocs;
        testing_support::FailAllocationAfter(n);
        const int16 result = h.Start();
        const bool failed = testing_support::AllocationFailed();
        testing_support::FailAllocationAfter(0);
        if (!failed) {
            EXPECT_EQ(result, 0);
            done(h);
            return n;
        }
        SCOPED_TRACE(n);
        if (h.alerts.empty() && result == 0) {
            quiet(h);
            continue;
        }
        if (h.alerts.empty()) {
            // Before the call state stands no alert can be made: the host tells its own.
            EXPECT_EQ(result, memFullErr);
            continue;
        }
        EXPECT_EQ(h.alerts.size(), 1u) << h.alerts[0];
        if (result == 0) {
            // Only the preferences may fail without ending the run.
            EXPECT_NE(h.alerts[0].find("while updating Preferences file"), std::string::npos)
                << h.alerts[0];
            continue;
        }
        told(h);
        EXPECT_EQ(h.dest.samples, image.samples);
        EXPECT_TRUE(h.violations.empty());
        EXPECT_EQ(ul_nMallocs, held);
    }
}

TEST_F(PluginTest, EveryMemoryFailureOfAKeenhueRunIsToldOnceAndLeavesTheImage) {
    // The start phase's requests, the resampler's among them.
    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
    });
    const Image image = CastScene(1500, 24, 8);  // wider than the preview: reduced
    bool resampler = false;
    const int32_t n = WalkStartFailures(
        image,
        [&](const StripHost& h) {
            resampler = resampler || h.alerts[0].find("IPScaleImageDown2") != std::string::npos;
        },
        [](const StripHost&) {}, [](const StripHost&) {});
    EXPECT_GT(n, 3);
    EXPECT_TRUE(resampler);
}

TEST_F(PluginTest, EveryMemoryFailureOfARunOnThreeThreadsIsToldOnceAndLeavesTheImage) {
    // The filter with sharpening and noise removal cut into three bands: the bands' pipelines,
    // their shared transform and the pool among the requests; without a failure, the single
    // pipeline's bytes.
    EditPars pars = ChangedPars();
    pars.sharpenNoise.sharpenOn = 1;
    pars.sharpenNoise.noiseOn = 1;
    const EditPars saved = StartFromPrevious(pars);
    const Image image = RandomImage(600, 30, 3, 8, 44);
    const VRect whole{0, 0, 30, 600};
    const Image expected = ApplyDirect(StartedFrom(saved, 8), kFastGrid, image, whole);
    testing_support::SetEnvironment("KOLMARA_THREADS", "3");
    bool pool = false;
    const int32_t n = WalkStartFailures(
        image, [](const StripHost&) {},
        [&](const StripHost& h) {
            // The pool's record: the bands run on the calling thread, to the same bytes, and
            // nobody need be told.
            pool = true;
            ExpectFiltered(h, expected, whole);
        },
        [&](const StripHost& h) {
            ExpectCleanRun(h);
            ExpectFiltered(h, expected, whole);
        });
    testing_support::SetEnvironment("KOLMARA_THREADS", nullptr);
    EXPECT_GT(n, 10);
    EXPECT_TRUE(pool);
}

}  // namespace

TEST_F(PluginTest, KeenhueStartAnalysesAReducedCopyAndAppliesTheResult) {
    DiagnosticsOn();
    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
        p.keenhueMask = 65087;  // every group the automatic settings can set
    });

    // Several times wider than any preview box, so the analysis asks the host for a copy at a
    // reduced sampling rate (the first request, before the strips that have an output).
    const Image scene = CastScene(2600, 240, 8);
    StripHost h(scene);
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    ExpectCleanRun(h);
    EXPECT_TRUE(LogHas("Find Keenhue edit pars..."));
    bool reduced = false;
    for (const strip_host::Request& r : h.requests) {
        const int32_t width = r.in.right - r.in.left;
        if (r.out.bottom == 0 && 0 < width && width <= 1300) reduced = true;
    }
    EXPECT_TRUE(reduced);

    const EditPars applied = ReadPrefsFile()->previousSettings;
    int samples = 0;
    for (const SampleBin& bin : applied.balBin) samples += bin.count > 0 ? 1 : 0;
    EXPECT_GE(samples, 2);  // the dark and the light end of the grey gradient
    EXPECT_GT(applied.whitePoint, applied.blackPoint);
    EXPECT_LT(applied.whitePoint, 1.0f);  // the gradient ends at 0.88 x 1.12
    // The cast is gone from the output's grey: red and blue of a mid grey come together.
    const int32_t x = 1300, y = 50;
    const int d0 = std::abs(int(scene.At(x, y, 0)) - int(scene.At(x, y, 2)));
    const int d1 = std::abs(int(h.dest.At(x, y, 0)) - int(h.dest.At(x, y, 2)));
    EXPECT_LT(d1, d0 / 3);
}

TEST_F(PluginTest, TheUsersNeutralDefinitionSetsTheTargetOfTheColourBalance) {
    // A warm neutral: the automatic colour balance aims at it instead of at grey.
    const float warm[3] = {0.6f, 0.5f, 0.4f};
    WritePrefs([&](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
        p.keenhueMask = kEditMaskTool1;
        for (int c = 0; c < 3; ++c) p.colorDefs.neutral[c] = warm[c];
    });
    const Image scene = CastScene(200, 60, 8);
    StripHost h(scene);
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    ExpectCleanRun(h);
    const std::unique_ptr<Prefs> after = ReadPrefsFile();
    float target[3];
    ASSERT_EQ(HgNeutralTargetFromColour(warm, &after->previousSettings.refRGB, target), 0);
    ASSERT_GT(target[0], 1.0f);
    for (int c = 0; c < 3; ++c)
        EXPECT_FLOAT_EQ(after->previousSettings.neutralTarget[c], target[c]);
    EXPECT_FLOAT_EQ(after->colorDefs.neutral[0], warm[0]) << "the definition stays the user's";
}

TEST_F(PluginTest, KeenhueOnAnEmptySelectionStopsTheStartAndKeepsTheImage) {
    WritePrefs([](Prefs& p) {
        p.startAllSame = 0;
        for (int32_t& mode : p.startTool) mode = kStartReset;
        p.startTool[0] = kStartKeenhue;
        p.keenhueMask = 65087;
    });
    const Image scene = CastScene(120, 80, 16);
    StripHost h(scene);
    h.SetMask(std::vector<uint8_t>(size_t(120) * 80, 100));  // selected below half everywhere
    h.PlayWithoutDialog();
    EXPECT_EQ(h.Run(), userCanceledErr);
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_NE(h.alerts[0].find("The selected area is empty."), std::string::npos);
    EXPECT_EQ(h.dest.samples, scene.samples);
    for (const std::string& v : h.violations) ADD_FAILURE() << "host contract: " << v;

    // Half the image selected: only the colour balance is set, the other tools keep reset.
    std::vector<uint8_t> half(size_t(120) * 80, 0);
    for (int32_t y = 0; y < 80; ++y)
        for (int32_t x = 0; x < 60; ++x) half[size_t(y) * 120 + size_t(x)] = 255;
    StripHost h2(scene);
    h2.SetMask(half);
    h2.PlayWithoutDialog();
    ASSERT_EQ(h2.Run(), 0);
    ExpectCleanRun(h2);
    const EditPars applied = ReadPrefsFile()->previousSettings;
    int samples = 0;
    for (const SampleBin& bin : applied.balBin) samples += bin.count > 0 ? 1 : 0;
    EXPECT_GE(samples, 1);
    EXPECT_EQ(applied.blackPoint, 0.0f);
    EXPECT_EQ(applied.whitePoint, 1.0f);
    // Outside the selection nothing changed.
    EXPECT_EQ(h2.dest.At(100, 10, 0), scene.At(100, 10, 0));
}

TEST_F(PluginTest, KeenhueLeavesTransparentPixelsOutOfTheAnalysis) {
    // 16-bit with transparency: the left half is bright but fully transparent, the right half an
    // opaque ramp up to 60 %. The white point must come from the opaque half alone.
    WritePrefs([](Prefs& p) {
        p.startAllSame = 0;
        for (int32_t& mode : p.startTool) mode = kStartReset;
        p.startTool[1] = kStartKeenhue;  // the black, grey and white points
        p.gridLevel = 7;                 // every pixel analysed, so the tails below are exact
    });
    Image scene(160, 60, 4, 16);
    for (int32_t y = 0; y < 60; ++y) {
        for (int32_t x = 0; x < 160; ++x) {
            const bool opaque = x >= 80;
            const uint16_t v = opaque ? uint16_t(2000 + (x - 80) * 220) : 32768;
            for (int p = 0; p < 3; ++p) scene.At(x, y, p) = v;
            scene.At(x, y, 3) = opaque ? 32768 : 0;
        }
    }
    StripHost h(scene);
    h.PlayWithoutDialog();
    ASSERT_EQ(h.Run(), 0);
    ExpectCleanRun(h);
    const EditPars applied = ReadPrefsFile()->previousSettings;
    // Opaque codes run from 2000 >> 7 = 15 to 19380 >> 7 = 151 in 8 bits, 60 pixels each;
    // 4800 pixels give tails of 10: b = 16 bins, w = 255 - 105 = 150. With the bright half
    // counted, w would be 255 and the white point 1.
    const double xb = 16 / 255.0, xw = 150 / 255.0;
    const double sb = (3 - 2 * xb) * xb * xb, sw = (3 - 2 * xw) * xw * xw;
    const double white = xb + (xw - xb) * (1 - sb) / (sw - sb);
    // The automatic settings move the point that share of the way from 1.
    const double share = KhBuiltInTuning().whiteStrength;
    EXPECT_NEAR(applied.whitePoint, 1.0 - share * (1.0 - white), 1e-5);
    // The transparency plane passes through untouched.
    for (int32_t x = 0; x < 160; x += 7) EXPECT_EQ(h.dest.At(x, 30, 3), scene.At(x, 30, 3));
}

TEST_F(PluginTest, AReplayedActionSetsEveryGroupTheRecordedRunSet) {
    // Every group the automatic settings can set, saturation and the colour balance included:
    // the mask travels in the action and the replay must take it, on preferences that would
    // set fewer groups. The preferences keep their own mask: the action steers its run only.
    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
        p.keenhueMask = kPrefsKeenhueMaskMax;
    });
    const Image scene = CastScene(400, 60, 8);
    StripHost first(scene);
    first.PlayWithoutDialog();
    ASSERT_EQ(first.Run(), 0);
    ExpectCleanRun(first);
    const auto recorded = first.host.DescriptorItems();
    ASSERT_EQ(recorded.size(), 1u);

    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
    });
    ASSERT_NE(ReadPrefsFile()->keenhueMask, kPrefsKeenhueMaskMax);
    StripHost second(scene);
    second.host.SetDescriptor(recorded);
    second.host.descriptorParameters.playInfo = plugInDialogDontDisplay;
    ASSERT_EQ(second.Run(false), 0);
    ExpectCleanRun(second);
    EXPECT_EQ(second.dest.samples, first.dest.samples);
    EXPECT_EQ(ReadPrefsFile()->keenhueMask, 64564);
}

TEST_F(PluginTest, KeenhueAnalysesSelectionsThinnerThanTheSamplingRate) {
    // A column or a row of a long image: the reduction the preview box asks for is larger than
    // the selection is thin, and the analysis must still see its pixels.
    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
    });
    struct Case {
        int32_t width, height;
        VRect area;
    };
    const Case cases[] = {
        {16, 2000, {0, 7, 2000, 8}}, {16, 2000, {0, 7, 2000, 9}}, {2000, 16, {9, 0, 10, 2000}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.area.right - c.area.left) + " x " +
                     std::to_string(c.area.bottom - c.area.top));
        StripHost h(CastScene(c.width, c.height, 8));
        h.SetFilterRect(c.area);
        h.PlayWithoutDialog();
        EXPECT_EQ(h.Run(), 0);
        ExpectCleanRun(h);
    }
}

// With the window asked for, a preview the host cannot give (an empty selection; a refusal of
// the preview's request) ends the run before the window is shown: its one alert, the cancel
// result (the host's answer for a refusal), the image untouched, and the clicks meant for the
// window never used.
TEST_F(PluginTest, WithoutAPreviewTheWindowNeverOpensAndTheImageStays) {
    WritePrefs([](Prefs& p) { p.showStartUpGuide = 0; });
    const Image scene = CastScene(120, 80, 8);
    UiScriptEvent script[2] = {};
    script[0].kind = script[1].kind = kUiScriptClick;
    script[0].item = kEditorAllKeenhue;
    script[1].item = kEditorOk;
    for (int refusal = 0; refusal < 2; ++refusal) {
        SCOPED_TRACE(refusal ? "the host refuses the preview" : "an empty selection");
        Ui_Headless_SetScript(script, 2);
        StripHost h(scene);
        if (refusal) {
            h.failAdvanceAt = 2;  // the first request is the empty one that starts every run
            h.failAdvanceCount = 1;
            h.failAdvanceWith = -108;
        } else {
            h.SetMask(std::vector<uint8_t>(size_t(120) * 80, 100));  // below half everywhere
        }
        const int16 result = h.Run();
        const int32_t unused = Ui_Headless_Remaining();
        Ui_Headless_SetScript(nullptr, 0);
        // The host's own answer is the run's result when it refused; else the cancel.
        EXPECT_EQ(result, refusal ? -108 : userCanceledErr);
        EXPECT_EQ(unused, 2);
        ASSERT_EQ(h.alerts.size(), 1u);
        if (!refusal) {
            EXPECT_NE(h.alerts[0].find("The selected area is empty."), std::string::npos);
        }
        EXPECT_EQ(h.dest.samples, scene.samples);
        for (const std::string& v : h.violations) ADD_FAILURE() << "host contract: " << v;
    }
}

// The window driven like a person would: master "Keenhue", then OK ("Edit Image"). The image
// must come out as a run without the window that starts every tool with Keenhue; Cancel leaves
// it untouched and ends with the cancel result. The image is large enough for the preview to
// fill its item, so that the run's peak is checked against the budget at the window's real size.
TEST_F(PluginTest, WindowKeenhueThenOkMatchesTheRunWithoutTheWindow) {
    const Image scene = CastScene(3000, 2000, 8);
    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartKeenhue;
        p.keenhueMask = 65087;
        p.showStartUpGuide = 0;
    });
    StripHost plain(scene);
    plain.PlayWithoutDialog();
    ASSERT_EQ(plain.Run(), 0);

    WritePrefs([](Prefs& p) {
        p.startAllSame = 1;
        p.startWith = kStartReset;
        p.keenhueMask = 65087;
        p.showStartUpGuide = 0;
    });
    UiScriptEvent script[2] = {};
    script[0].kind = script[1].kind = kUiScriptClick;
    script[0].item = kEditorAllKeenhue;
    script[1].item = kEditorOk;
    Ui_Headless_SetScript(script, 2);
    StripHost windowed(scene);
    const int16 result = windowed.Run();
    Ui_Headless_SetScript(nullptr, 0);
    ASSERT_EQ(result, 0);
    ExpectCleanRun(windowed);  // the preview's display rows included
    EXPECT_EQ(windowed.dest.samples, plain.dest.samples);
    EXPECT_NE(windowed.dest.samples, scene.samples);

    UiScriptEvent cancel = {};
    cancel.kind = kUiScriptClick;
    cancel.item = kEditorCancel;
    Ui_Headless_SetScript(&cancel, 1);
    StripHost cancelled(scene);
    const int16 cancelResult = cancelled.Run();
    Ui_Headless_SetScript(nullptr, 0);
    EXPECT_EQ(cancelResult, userCanceledErr);
    ExpectCleanRun(cancelled);

    // OK in "Create Huegrid..." mode: the file is written, the image is left exactly as it was
    // (also where the preview was drawn into the host's output buffers), and the run ends with
    // the normal result, not a cancel; the live settings are stored as after "Edit Image".
    for (int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const Image image = CastScene(900, 240, depth);
        WritePrefs([](Prefs& p) {
            p.startAllSame = 1;
            p.startWith = kStartReset;
            p.keenhueMask = 65087;
            p.showStartUpGuide = 0;
            p.okMode = 3;
        });
        const std::string huegrid = root_ + "/look" + std::to_string(depth) + ".hg";
        UiScriptEvent create[3] = {};
        create[0].kind = create[1].kind = kUiScriptClick;
        create[0].item = kEditorAllKeenhue;
        create[1].item = kEditorOk;
        create[2].kind = kUiScriptChoose;
        create[2].text = huegrid.c_str();
        Ui_Headless_SetScript(create, 3);
        StripHost created(image);
        const int16 createResult = created.Run();
        EXPECT_EQ(Ui_Headless_Remaining(), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
        Ui_Headless_SetScript(nullptr, 0);
        EXPECT_EQ(createResult, noErr);
        ExpectCleanRun(created);
        EXPECT_EQ(created.dest.samples, image.samples);
        EXPECT_TRUE(std::filesystem::exists(huegrid));
        // Nothing is recorded for the host's actions: played back, it would filter an image.
        EXPECT_TRUE(created.host.DescriptorItems().empty());
        const std::unique_ptr<Prefs> stored = ReadPrefsFile();
        EXPECT_EQ(stored->okMode, 3);
        auto defaults = std::make_unique<Prefs>();
        SetPrefsDefaults(defaults.get());
        EXPECT_NE(
            std::memcmp(&stored->previousSettings, &defaults->previousSettings, sizeof(EditPars)),
            0);
    }
}
