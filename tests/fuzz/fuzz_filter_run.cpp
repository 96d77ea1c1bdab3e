// Whole runs of the module against a host that fills its records oddly. The fuzzer's bytes
// choose the image (size, depth, planes, mode, samples), the filter rectangle, a selection mask,
// the host's memory figure, the monitor description, which host procedures are missing and when
// the host refuses or cancels, the preferences the run starts from and whether it replays an
// action; then one whole sequence of PluginMain calls runs through the in-process strip host.
//
// Whatever the choices: nothing crashes or writes outside the host's buffers (the strip host
// notes every breach of its contract), no pixel outside the filter rectangle and no plane after
// the third changes, a pixel the selection leaves out keeps its value, every block of the
// module's memory is back after each call, and a run that reports success has written every row
// of the filter rectangle; with every tool reset it has given back every pixel.
#include <algorithm>
#include <vector>

#include "edit/prefs.h"
#include "platform/mem.h"
#include "platform/prefs_file.h"
#include "platform/resources.h"
#include "platform/ui_state.h"
#include "tests/edit/edit_test_support.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/host/strip_host.h"

namespace {

using strip_host::Image;
using strip_host::StripHost;

constexpr int32_t kMaxSide = 40;

// A byte that is rarely non-zero, for choices that should stay the exception.
bool Rarely(fuzz::Bytes& in) {
    return in.U8() >= 224;
}

// The preferences the run reads, written as the module writes them.
struct StartPlan {
    bool reset = true;  // every tool starts reset and nothing removes noise
    bool noise = false;
};

StartPlan WritePreferences(fuzz::Bytes& in) {
    auto prefs = edit_testing::NewDefaultPrefs();
    Prefs& p = *prefs;
    StartPlan plan;
    if (in.Flag()) {
        p.startAllSame = in.Flag() ? 1 : 0;
        p.startWith = in.In(0, 3);
        for (int32_t& t : p.startTool) t = in.In(0, 3);
        p.keenhueMask = in.In(0, 65087);
        p.preferredSaturation = float(in.In(0, 100)) / 100.0f;
        edit_testing::FillPars(&p.previousSettings, in.U8());
        edit_testing::FillPars(&p.customSettings, in.U8());
        SharpenNoise& s = p.sharpenNoise;
        s.sharpenOn = in.Flag() ? 1 : 0;
        s.sharpenStrength = in.In(1, 24);
        s.noiseOn = in.Flag() ? 1 : 0;
        s.noiseFlag = in.Flag() ? 1 : 0;
        for (int i = 1; i <= 2; ++i) {
            s.noiseRadius[i] = in.In(3, 16);
            s.noiseThreshold[i] = in.In(1, 50);
        }
        const bool allReset = p.startAllSame == 1
                                  ? p.startWith == kStartReset
                                  : std::all_of(std::begin(p.startTool), std::end(p.startTool),
                                                [](int32_t t) { return t == kStartReset; });
        plan.reset = allReset && s.noiseOn == 0;
        plan.noise = s.noiseOn != 0;
    }
    // The fast grid sizes most of the time: the large ones cost the fuzzer a second per run.
    p.gridLevel = Rarely(in) ? in.In(0, 7) : in.In(0, 2);
    PrefsEntryTarget target{prefs.get(), nullptr};
    const std::string path = fuzz::Folder() + "config/Lumetra/KolmaraPro Plugin Prefs";
    // Each input writes its preferences whole, as a new writer: a call state that kept the file
    // an earlier input wrote would merge with it and leave the entries this input did not change
    // as the module's last run wrote them (prefs_merge.h), so that the plan no longer describes
    // the file.
    Ui_Prefs_Forget(fuzz::State());
    fuzz::Check(
        Ui_Prefs_WriteAll(fuzz::State(), path.c_str(), nullptr, WritePrefEntries, &target) == 0,
        "could not write the preferences");
    Ui_Prefs_Forget(fuzz::State());
    return plan;
}

VRect ChooseFilterRect(fuzz::Bytes& in, const Image& image) {
    const VRect whole{0, 0, image.height, image.width};
    if (in.U8() < 160) return whole;
    // Anywhere inside the image, including empty and reversed rectangles.
    return VRect{in.In(0, image.height), in.In(0, image.width), in.In(0, image.height),
                 in.In(0, image.width)};
}

bool Inside(const VRect& r, int32_t x, int32_t y) {
    return r.top <= y && y < r.bottom && r.left <= x && x < r.right;
}

// What the host's missing procedures and refusals are.
void BreakHost(fuzz::Bytes& in, StripHost& h) {
    FilterRecord& r = h.record;
    const uint8_t missing = Rarely(in) ? in.U8() : 0;
    if (missing & 1) r.advanceState = nullptr;
    if (missing & 2) r.abortProc = nullptr;
    if (missing & 4) r.progressProc = nullptr;
    if (missing & 8) r.displayPixels = nullptr;
    if (missing & 16) r.colorServices = nullptr;
    if (missing & 32) r.propertyProcs = nullptr;
    if (missing & 64) r.samplingSupport = 0;
    if (missing & 128) {
        // One procedure of the handle suite missing.
        HandleProcs& hp = h.host.handleProcs;
        switch (in.In(0, 4)) {
            case 0:
                hp.newProc = nullptr;
                break;
            case 1:
                hp.disposeProc = nullptr;
                break;
            case 2:
                hp.getSizeProc = nullptr;
                break;
            case 3:
                hp.lockProc = nullptr;
                break;
            default:
                hp.unlockProc = nullptr;
                break;
        }
    }
    if (Rarely(in)) {
        static const OSErr kAnswers[] = {memFullErr, userCanceledErr, filterBadParameters, -1};
        h.failAdvanceAt = in.In(1, 12);
        h.failAdvanceWith = kAnswers[in.In(0, 3)];
    }
    if (Rarely(in)) h.abortFrom = in.In(1, 12);
    if (Rarely(in)) test_host::TestHost::colourError = -1;
    if (Rarely(in)) test_host::TestHost::refuseTitle = true;
    static const int32 kSpaces[] = {64 << 20, 8 << 20, 4 << 20, 1 << 20, 0, -1, 0x7FFFFFFF};
    r.maxSpace = kSpaces[Rarely(in) ? in.In(0, 6) : 0];
    if (Rarely(in)) {
        static const int16 kModes[] = {plugInModeGrayScale, plugInModeCMYKColor, plugInModeLabColor,
                                       plugInModeGray16};
        r.imageMode = kModes[in.In(0, 3)];
    }
    if (Rarely(in)) r.depth = in.In(0, 32);
    if (Rarely(in)) {
        // A monitor description: sRGB-like or whatever the bytes say.
        PlugInMonitor& m = r.monitor;
        const bool plausible = in.Flag();
        auto fixed = [&](double sane) {
            return plausible ? Fixed(sane * 65536.0) : Fixed(int32_t(in.U32()));
        };
        m.gamma = fixed(2.2);
        m.redX = fixed(0.64);
        m.redY = fixed(0.33);
        m.greenX = fixed(0.30);
        m.greenY = fixed(0.60);
        m.blueX = fixed(0.15);
        m.blueY = fixed(0.06);
        m.whiteX = fixed(0.3127);
        m.whiteY = fixed(0.3290);
    }
    h.UseBigDocument(in.Flag());
}

// The pixel, its values and the mask there, for the report of a broken promise.
std::string Where(const StripHost& h, int32_t x, int32_t y, int32_t p) {
    std::string s = "(" + std::to_string(x) + ", " + std::to_string(y) + ") plane " +
                    std::to_string(p) + ": " + std::to_string(h.source.At(x, y, p)) + " -> " +
                    std::to_string(h.dest.At(x, y, p)) + ", " + std::to_string(h.source.depth) +
                    "-bit";
    if (h.record.haveMask) s += ", mask " + std::to_string(h.mask.At(x, y, 0));
    return s;
}

void CheckRun(const StripHost& h, int16 result, const VRect& filter, const StartPlan& plan,
              bool replayed) {
    if (!h.violations.empty())
        fuzz::Fail("the module broke the host's contract: " + h.violations[0]);
    const Image& src = h.source;
    const Image& dst = h.dest;
    const int32_t top = 32767;
    for (int32_t y = 0; y < src.height; ++y) {
        for (int32_t x = 0; x < src.width; ++x) {
            const bool filtered = Inside(filter, x, y);
            const bool keep = h.record.haveMask && h.mask.At(x, y, 0) == 0;
            for (int32_t p = 0; p < src.planes; ++p) {
                const uint16_t a = src.At(x, y, p), b = dst.At(x, y, p);
                const uint16_t clamped = src.depth == 16 ? std::min<uint16_t>(a, top) : a;
                if ((!filtered || p >= 3) && b != a) {
                    fuzz::Fail(
                        "a pixel outside the filter rectangle or a plane after the third "
                        "changed: " +
                        Where(h, x, y, p));
                }
                if (filtered && p < 3 && keep && b != a && b != clamped) {
                    fuzz::Fail("a pixel the selection leaves out changed: " + Where(h, x, y, p));
                }
            }
        }
    }
    if (result != noErr) return;
    const bool empty = filter.bottom <= filter.top || filter.right <= filter.left;
    if (empty) return;
    std::vector<bool> written(size_t(src.height), false);
    for (const strip_host::Request& r : h.requests) {
        if (r.out.bottom <= r.out.top || r.out.right <= r.out.left) continue;
        for (int32_t y = std::max(r.out.top, 0); y < std::min(r.out.bottom, src.height); ++y)
            written[size_t(y)] = true;
    }
    for (int32_t y = filter.top; y < filter.bottom; ++y) {
        if (!written[size_t(y)]) {
            fuzz::Fail("a run that reported success never wrote row " + std::to_string(y) +
                       " of the filter rectangle");
        }
    }
    if (!replayed || !plan.reset) return;
    for (int32_t y = filter.top; y < filter.bottom; ++y) {
        for (int32_t x = filter.left; x < filter.right; ++x) {
            for (int32_t p = 0; p < 3; ++p) {
                const uint16_t a = src.At(x, y, p);
                const uint16_t expected = src.depth == 16 ? std::min<uint16_t>(a, top) : a;
                if (dst.At(x, y, p) != expected) {
                    fuzz::Fail("a run with every tool reset changed pixel " + Where(h, x, y, p));
                }
            }
        }
    }
}

// One host, one run (or two), and the checks of what it did.
void RunOnce(fuzz::Bytes& in, const Image& image, const StartPlan& plan) {
    const int32_t width = image.width, height = image.height;
    StripHost h(image);
    const VRect filter = ChooseFilterRect(in, image);
    h.SetFilterRect(filter);
    const bool masked = in.Flag();
    const bool softMask = in.Flag();
    const bool replayed = in.U8() < 200;
    if (replayed) {
        h.PlayWithoutDialog();
    } else {
        h.host.descriptorParameters.playInfo = plugInDialogDisplay;
    }
    BreakHost(in, h);
    const bool again = Rarely(in);
    if (masked) {
        // The selection comes last and takes what is left of the bytes, over and over, so that
        // its size never shifts the choices above.
        std::vector<uint8_t> mask(size_t(width) * size_t(height));
        for (size_t i = 0; i < mask.size(); ++i) {
            const uint8_t v = in.size() > 0 ? in.data()[i % in.size()] : uint8_t(i * 37);
            mask[i] = softMask ? v : (v & 1) ? 255 : 0;
        }
        h.SetMask(mask);
    }

    int16 result;
    {
        fuzz::BlockCount blocks("a filter run");
        result = h.Run();
        if (again && result == noErr) {
            // A second run on the same blocks, as a repeat of the last filter.
            h.PlayWithoutDialog();
            result = h.Run(false);
        }
    }
    CheckRun(h, result, filter, plan, replayed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Setup();
    fuzz::Bytes in(data, size);
    static const int32_t kPlanes[] = {3, 3, 4, 4, 5, 1, 2};
    const int32_t depth = in.Flag() ? 16 : 8;
    const int32_t planes = kPlanes[Rarely(in) ? in.In(0, 6) : in.In(0, 3)];
    const int32_t width = in.In(1, kMaxSide), height = in.In(1, kMaxSide);
    const Image image = strip_host::RandomImage(width, height, planes, depth, in.U32());

    const StartPlan plan = WritePreferences(in);
    test_host::TestHost::colourError = 0;
    test_host::TestHost::refuseTitle = false;
    const int handlesBefore = test_host::TestHost::LiveHandles();
    RunOnce(in, image, plan);
    // Whatever the host handed the module is the module's to give back; the host disposes of
    // its two blocks and its last descriptor itself.
    fuzz::Check(test_host::TestHost::LiveHandles() == handlesBefore,
                "host handles left behind: " +
                    std::to_string(test_host::TestHost::LiveHandles() - handlesBefore));
    return 0;
}
