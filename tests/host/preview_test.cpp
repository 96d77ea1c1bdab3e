// The preview as the editing window and the sharpen and noise dialog use it: the procedures of
// the window's host record, filled by the host layer, against the in-test strip host, drawing
// into a real dialog of the headless binding.
//
// Oracles: the host's own pixels (what it served, at the points its sampling takes), the engine
// applied directly to the reduced image with the selection blend written out here, and the
// filter itself (FilterImage) run on the same rectangle. Every test checks that what the module
// took it gave back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/huegrid_build.h"
#include "engine/huegrid_kernels.h"
#include "edit/window/sharpen_noise_dialog.h"
#include "engine/ip_resample.h"
#include "host/filter_image.h"
#include "host/plugin.h"
#include "host/plugin_data.h"
#include "host/preview.h"
#include "host/preview_render.h"
#include "host/window_host.h"
#include "platform/mem.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/draw.h"
#include "platform/ui/headless/headless.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/dlg_sharpen_noise.h"
#include "resources/ids/strings.h"
#include "tests/host/strip_host.h"
#include "tests/platform/mem_failure.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using strip_host::Image;
using strip_host::RandomImage;
using strip_host::StripHost;

constexpr int32_t kFastGrid = 2;

EditPars ChangedPars() {
    EditPars p;
    SetParsDefaults(&p);
    p.blackPoint = 0.03f;
    p.whitePoint = 0.9f;
    p.brightness = 0.62f;
    p.saturation = 0.65f;
    p.hue[1].hueShift = 15.0f;
    return p;
}

// A photograph-like image: smooth gradients with a little grain, so that reduction, sharpening
// and noise removal all have something to do.
Image Scene(int32_t w, int32_t h, int32_t planes, int32_t depth, uint32_t seed) {
    Image image(w, h, planes, depth);
    const int32_t max = image.MaxCode();
    uint32_t s = seed;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            for (int32_t p = 0; p < planes; ++p) {
                s = s * 1664525u + 1013904223u;
                const int32_t grain = int32_t(s >> 27) - 16;
                const int32_t base = p == 3
                                         ? max * (x + y) / (w + h)
                                         : max * ((x * (p + 1) + y * (3 - p)) % (w + h)) / (w + h);
                image.At(x, y, p) = uint16_t(std::clamp(base + grain * max / 255, 0, max));
            }
        }
    }
    return image;
}

std::vector<uint8_t> Selection(int32_t w, int32_t h, uint32_t seed) {
    std::vector<uint8_t> m(size_t(w) * size_t(h));
    uint32_t s = seed;
    for (uint8_t& v : m) {
        s = s * 1664525u + 1013904223u;
        const uint32_t k = s >> 29;  // 0 and 255 often, every value sometimes
        v = k == 0 ? 0 : k == 1 ? 255 : uint8_t(s >> 20);
    }
    return m;
}

// The host, the run's data and the window's host record, as the start phase sets them up.
struct Session {
    explicit Session(const Image& image) : host(image), data(new PluginData{}) {
        host.Bind();
        EXPECT_EQ(EditStateInit(&data->editState, nullptr), 0);
        data->editState.gridLevel = kFastGrid;
        data->editState.bitsPerChannel = image.depth;
        data->rowSkip = 64;
        SetPrefsDefaults(&prefs);
        FillWindowHostProcs(&window, &host.call, data.get(), &prefs, nullptr, &procs);
    }
    ~Session() {
        host.Bind();
        ReleaseWindowHost(&window);
        EditStateFreeAnalysis(&data->editState);
    }
    int32_t Acquire(int32_t w, int32_t h, Ui_Failure* failure = nullptr) {
        return procs.acquirePreview(procs.context, w, h, failure);
    }
    PreviewInfo Info() {
        PreviewInfo info;
        EXPECT_EQ(procs.previewInfo(procs.context, &info), 0);
        return info;
    }

    StripHost host;
    std::unique_ptr<PluginData> data;
    Prefs prefs;
    WindowHost window;
    WindowHostProcs procs;
};

// The rows of an 8- or 16-bit interleaved view as bytes, for comparing buffers.
std::vector<uint8_t> Bytes(const IPImage& view, int32_t channels) {
    std::vector<uint8_t> out;
    for (int32_t y = 0; y < view.height; ++y) {
        const auto* row = static_cast<const uint8_t*>(view.channel[0]) +
                          IPSampleOffset(&view, 0, y) * view.bytesPerSample;
        out.insert(out.end(), row, row + size_t(view.width) * channels * view.bytesPerSample);
    }
    return out;
}

uint8_t Sample8(const IPImage& view, int32_t c, int32_t x, int32_t y) {
    const ptrdiff_t at = IPSampleOffset(&view, x, y);
    if (view.bytesPerSample == 2)
        return uint8_t(static_cast<const uint16_t*>(view.channel[c])[at] >> 8);
    return static_cast<const uint8_t*>(view.channel[c])[at];
}

// Weighted by m / 255, rounded to the nearest code.
uint8_t Blend(uint32_t m, uint32_t u, uint32_t n) {
    if (m == 0) return uint8_t(u);
    if (m == 255) return uint8_t(n);
    return uint8_t(((255 - m) * u + m * n + 127) / 255);
}

// A transform freed however the test ends.
struct Transform {
    Transform(EditPars pars, int32_t depth) {
        EXPECT_EQ(HgBuild(&pars, kEditMaskAll, kFastGrid, depth, &grid), 0);
    }
    ~Transform() { HgFree(grid); }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;
    Huegrid* grid = nullptr;
};

// Runs dialog 1000 on the headless binding and calls fn with it open; the canvas stays readable
// through Ui_Headless_LastClosed().
struct DialogRun {
    std::function<void(UiWindow*, const Ui_Rect&)> fn;
};

class PreviewTest : public strip_host::ModuleTest {
   protected:
    void SetUp() override {
        ModuleTest::SetUp();
        state_ = OpenState(0);
        mallocs_ = ul_nMallocs;
    }
    void TearDown() override {
        testing_support::FailAllocationAfter(0);
        Ui_Headless_SetScript(nullptr, 0);
        Ui_Headless_Reset();
        EXPECT_EQ(ul_nMallocs, mallocs_) << "blocks left behind";
        ModuleTest::TearDown();
    }

    // Opens the editing window's dialog headless and calls fn with it and its preview area.
    void InDialog(std::function<void(UiWindow*, const Ui_Rect&)> fn) {
        static DialogRun run;
        run.fn = std::move(fn);
        static UiScriptEvent event;
        event = UiScriptEvent{};
        event.kind = kUiScriptCall;
        event.call = [](UiWindow* w, void*) {
            Ui_Rect area;
            ASSERT_EQ(Ui_Item_GetRect(w, kEditorPreviewImage, &area), 0);
            run.fn(w, area);
        };
        Ui_Headless_SetScript(&event, 1);
        int16_t item = 0;
        ASSERT_EQ(Ui_Dlg_Run(state_, kDlgEditor, nullptr, nullptr, nullptr, &item), 0);
    }

    // Draws the picture through look into the preview area; returns drawPreview's status.
    int32_t Draw(Session& s, const PreviewLook& look, Ui_Failure* failure = nullptr) {
        s.host.Bind();
        int32_t status = -100;
        InDialog([&](UiWindow* w, const Ui_Rect& area) {
            status = s.procs.drawPreview(s.procs.context, w, &area, &look, failure);
            area_ = area;
        });
        s.host.Bind();
        return status;
    }

    UiState* state_ = nullptr;
    uint32_t mallocs_ = 0;
    Ui_Rect area_{};
};

// --- Taking the preview
// ---------------------------------------------------------------------------

// A host without colour services gives the window no picker, so that its dialogs disable
// "Color Picker..." instead of offering a button that can only cancel; one with them does.
TEST_F(PreviewTest, TheWindowGetsAColourPickerOnlyFromAHostThatHasOne) {
    Session s(RandomImage(8, 8, 3, 8, 1));
    s.host.record.colorServices = nullptr;
    FillWindowHostProcs(&s.window, &s.host.call, s.data.get(), &s.prefs, nullptr, &s.procs);
    EXPECT_EQ(s.procs.pickColor, nullptr);
    s.host.record.colorServices = [](ColorServicesInfo*) -> OSErr { return noErr; };
    FillWindowHostProcs(&s.window, &s.host.call, s.data.get(), &s.prefs, nullptr, &s.procs);
    EXPECT_NE(s.procs.pickColor, nullptr);
}

TEST_F(PreviewTest, AnImageThatFitsIsTakenWholeAndALargeOneIsReducedByTheHostFirst) {
    // Three planes, and five: transparency and one more, which the host interleaves too.
    for (int32_t planes : {3, 5}) {
        SCOPED_TRACE(planes);
        const Image image = RandomImage(120, 80, planes, 8, 1);
        Session s(image);
        ASSERT_EQ(s.Acquire(200, 150), 0);
        const PreviewInfo info = s.Info();
        EXPECT_EQ(info.width, 120);
        EXPECT_EQ(info.height, 80);
        EXPECT_EQ(info.reduced, 0);
        const strip_host::Request& asked = s.host.requests.back();
        EXPECT_EQ(asked.in.bottom - asked.in.top, 80);
        EXPECT_EQ(s.host.record.inputRate, 0x10000);
        // Not resampled: the analysis copy is the image.
        const IPImage& copy = s.data->editState.analysisImage;
        for (int32_t y = 0; y < 80; y += 7)
            for (int32_t x = 0; x < 120; x += 5)
                for (int32_t c = 0; c < std::min(planes, 4); ++c)
                    ASSERT_EQ(Sample8(copy, c, x, y), image.At(x, y, c)) << x << ", " << y;
        // Nothing more to see at 1:1.
        const size_t before = s.host.requests.size();
        EXPECT_EQ(s.procs.zoomPreview(s.procs.context, 100, 10, 10, -1, -1, nullptr), 0);
        EXPECT_EQ(s.host.requests.size(), before);
        EXPECT_EQ(s.Info().zoomed, 0);
    }

    // 4000 x 3000: the box needs a reduction by 8, the host delivers a quarter of each side and
    // the resampler halves that in place.
    Image big(4000, 3000, 3, 8);
    for (size_t i = 0; i < big.samples.size(); ++i) big.samples[i] = uint16_t((i * 7) % 251);
    Session s(big);
    const uint32_t before = ul_total;
    ul_maxTotal = ul_total;
    ASSERT_EQ(s.Acquire(500, 500), 0);
    const uint32_t peak = ul_maxTotal - before;
    EXPECT_EQ(s.Info().width, 500);
    EXPECT_EQ(s.Info().height, 375);
    const strip_host::Request& asked = s.host.requests.back();
    EXPECT_EQ(asked.in.right - asked.in.left, 1000);
    EXPECT_EQ(asked.in.bottom - asked.in.top, 750);
    EXPECT_EQ(s.host.record.inputRate, 4 << 16);
    // Never the whole image: not in the module (the copy at preview size, or the bands of a
    // reduction on several threads, each into a block of its own, and the resampler's rows), not
    // in one request of the host.
    EXPECT_LT(peak, 500u * 375u * 3u + 131072u);
    EXPECT_LT(s.host.largestRequest, int64_t(4000) * 3000 * 3 / 8);
    ASSERT_EQ(s.Acquire(600, 300), 0);
    EXPECT_EQ(s.Info().width, 400);
    EXPECT_EQ(s.Info().height, 300);
    for (const std::string& v : s.host.violations) ADD_FAILURE() << "host contract: " << v;

    // A selection one or two rows high and far wider than the box: reduced across only (the
    // host's rate never leaves it without a row), never refused. The selected rows hold values
    // of 100 to 120, the rows below 250: only the former may show.
    for (int32_t width : {900, 2400}) {
        for (int32_t rows : {1, 2}) {
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(rows));
            Image line(width, 4, 3, 8);
            for (int32_t y = 0; y < 4; ++y)
                for (int32_t x = 0; x < width; ++x)
                    for (int32_t c = 0; c < 3; ++c)
                        line.At(x, y, c) = uint16_t(y < rows ? 100 + (x * 7 + c * 5) % 21 : 250);
            Session t(line);
            t.host.SetFilterRect(VRect{0, 0, rows, width});
            ASSERT_EQ(t.Acquire(300, 200), 0);
            const PreviewInfo info = t.Info();
            EXPECT_EQ(info.width, 300);
            EXPECT_TRUE(1 <= info.height && info.height <= rows) << info.height;
            const IPImage& copy = t.data->editState.analysisImage;
            for (int32_t y = 0; y < info.height; ++y)
                for (int32_t x = 0; x < info.width; ++x)
                    for (int32_t c = 0; c < 3; ++c)
                        ASSERT_TRUE(100 <= Sample8(copy, c, x, y) && Sample8(copy, c, x, y) <= 120);
            for (const std::string& v : t.host.violations) ADD_FAILURE() << "host contract: " << v;
        }
    }
}

TEST_F(PreviewTest, AcquisitionStaysInsideTheBudgetThePreparePhaseAgreed) {
    Image image = Scene(3000, 2000, 4, 16, 9);
    Session s(image);
    s.host.SetMask(Selection(3000, 2000, 4));
    // The prepare phase sizes the preview and the memory the run may take.
    ASSERT_EQ(s.host.Call(filterSelectorParameters), 0);
    ASSERT_EQ(s.host.Call(filterSelectorPrepare), 0);
    const PluginData* block = s.host.Block<PluginData>(s.host.DataHandle());
    const int32_t boxWidth = block->run.previewWidth, boxHeight = block->run.previewHeight;
    const uint32_t budget = uint32_t(s.host.record.bufferSpace);
    ASSERT_GT(boxWidth, 100);
    s.host.Bind();
    const uint32_t before = ul_total;
    ul_maxTotal = ul_total;
    ASSERT_EQ(s.Acquire(boxWidth, boxHeight), 0);
    EXPECT_LE(ul_maxTotal - before, budget);
    // The whole image never travels: the largest request is the sampled one (the preview box
    // asks for a rate of at least 2, so the input, output and mask of a request together stay
    // below half of the image's own bytes).
    EXPECT_GE(s.host.record.inputRate, 2 << 16);
    EXPECT_LT(s.host.largestRequest, int64_t(3000) * 2000 * 4 * 2 / 2);
}

// --- Rendering
// ------------------------------------------------------------------------------------

TEST_F(PreviewTest, PreviewIsTheEngineAppliedToTheReducedImageBlendedWithTheSelection) {
    for (int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const Image image = Scene(160, 120, 4, depth, 21);
        Session s(image);
        s.host.SetMask(Selection(160, 120, 5));
        ASSERT_EQ(s.Acquire(40, 40), 0);
        const PreviewInfo info = s.Info();
        ASSERT_EQ(info.width, 40);
        ASSERT_EQ(info.height, 30);
        ASSERT_EQ(info.shown.bytesPerSample, depth / 8);

        Transform shown(ChangedPars(), depth / 8), oracle(ChangedPars(), depth / 8);
        ASSERT_EQ(HgSetDepth(oracle.grid, kHgSideOutput, 1), 0);
        const int32_t n = info.width * info.height;
        std::vector<uint8_t> edited(size_t(n) * 3), unedited(size_t(n) * 3);
        std::vector<uint8_t> mask(static_cast<size_t>(n));
        for (int32_t y = 0; y < info.height; ++y) {
            for (int32_t x = 0; x < info.width; ++x) {
                const size_t i = size_t(y) * info.width + size_t(x);
                const ptrdiff_t at = IPSampleOffset(&info.shown, x, y) * info.shown.bytesPerSample;
                const void* in[4] = {static_cast<uint8_t*>(info.shown.channel[0]) + at,
                                     static_cast<uint8_t*>(info.shown.channel[1]) + at,
                                     static_cast<uint8_t*>(info.shown.channel[2]) + at, nullptr};
                void* out[4] = {&edited[3 * i], &edited[3 * i + 1], &edited[3 * i + 2], nullptr};
                ASSERT_EQ(HgApply(oracle.grid, 1, in, 4, out, 1), 0);
                for (int32_t c = 0; c < 3; ++c) unedited[3 * i + c] = Sample8(info.shown, c, x, y);
                mask[i] = Sample8(info.selection, 0, x, y);
            }
        }

        PreviewLook look{shown.grid, 1, kPreviewClipNone, 0, 0, nullptr};
        ASSERT_EQ(Draw(s, look), 0);
        ASSERT_EQ(s.host.displayed.rgb.size(), size_t(n) * 3);
        for (int32_t i = 0; i < n; ++i) {
            for (int32_t c = 0; c < 3; ++c) {
                ASSERT_EQ(s.host.displayed.rgb[3 * i + c],
                          Blend(mask[i], unedited[3 * i + c], edited[3 * i + c]))
                    << "pixel " << i << " channel " << c;
            }
            // The transparency goes along as the map's mask, as 8 bits.
            ASSERT_EQ(s.host.displayed.alpha[i], Sample8(info.shown, 3, i % 40, i / 40));
        }

        // White clipping: a channel keeps a value only where it reaches 255.
        look.clipping = kPreviewClipWhite;
        ASSERT_EQ(Draw(s, look), 0);
        for (int32_t i = 0; i < 3 * n; ++i) {
            const uint8_t clipped = edited[i] == 255 ? 255 : 0;
            ASSERT_EQ(s.host.displayed.rgb[i], Blend(mask[i / 3], unedited[i], clipped));
        }
        look.clipping = kPreviewClipBlack;
        ASSERT_EQ(Draw(s, look), 0);
        for (int32_t i = 0; i < 3 * n; ++i) {
            const uint8_t clipped = edited[i] == 0 ? 0 : 255;
            ASSERT_EQ(s.host.displayed.rgb[i], Blend(mask[i / 3], unedited[i], clipped));
        }
    }
}

TEST_F(PreviewTest, AWhiteTheEditLeavesWhiteStaysWhiteUnderASoftSelection) {
    // A shift by 8 in place of the division by 255 once showed such a white as 254 wherever the
    // selection was neither 0 nor 255.
    Image image(60, 40, 3, 8);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 60; ++x) {
            for (int32_t c = 0; c < 3; ++c) image.At(x, y, c) = 255;
        }
    }
    Session s(image);
    s.host.SetMask(Selection(60, 40, 7));
    ASSERT_EQ(s.Acquire(60, 40), 0);
    EditPars reset;
    SetParsDefaults(&reset);
    Transform shown(reset, 1);
    PreviewLook look{shown.grid, 1, kPreviewClipNone, 0, 0, nullptr};
    ASSERT_EQ(Draw(s, look), 0);
    ASSERT_EQ(s.host.displayed.rgb.size(), size_t(60 * 40 * 3));
    for (size_t i = 0; i < s.host.displayed.rgb.size(); ++i)
        ASSERT_EQ(s.host.displayed.rgb[i], 255) << "sample " << i;
}

TEST_F(PreviewTest, ASelectionOfNothingShowsTheUneditedPreviewAndTheSampledRegionIsBlue) {
    const Image image = Scene(90, 60, 3, 8, 2);
    Session s(image);
    std::vector<uint8_t> none(90 * 60, 0);
    none[0] = 255;  // one selected pixel, so that the selection is not empty
    s.host.SetMask(none);
    ASSERT_EQ(s.Acquire(45, 30), 0);
    const PreviewInfo info = s.Info();
    Transform shown(ChangedPars(), 1);
    uint8_t bits[8 * 30] = {};
    IPMask sampled{45, 30, 8, bits, 0, 0, 0, 0};
    IPMaskSet(&sampled, 20, 10);
    PreviewLook look{shown.grid, 1, kPreviewClipNone, 0, 0, &sampled};
    ASSERT_EQ(Draw(s, look), 0);
    for (int32_t y = 0; y < info.height; ++y) {
        for (int32_t x = 0; x < info.width; ++x) {
            const size_t i = 3 * (size_t(y) * info.width + size_t(x));
            const bool blue = x == 20 && y == 10;
            const bool selected = Sample8(info.selection, 0, x, y) != 0;
            for (int32_t c = 0; c < 3; ++c) {
                if (blue) {
                    EXPECT_EQ(s.host.displayed.rgb[i + c], c == 2 ? 255 : 0);
                } else if (!selected) {
                    ASSERT_EQ(s.host.displayed.rgb[i + c], Sample8(info.shown, c, x, y));
                }
            }
        }
    }
}

TEST_F(PreviewTest, DrawingPutsTheHostsPictureIntoThePreviewAreaWithItsColoursInOrder) {
    const Image image = Scene(120, 90, 3, 8, 4);
    Session s(image);
    ASSERT_EQ(s.Acquire(60, 45), 0);
    const PreviewLook look{nullptr, 0, kPreviewClipNone, 0, 0, nullptr};
    ASSERT_EQ(Draw(s, look), 0);
    const UiHeadlessWindow* window = Ui_Headless_LastClosed();
    ASSERT_NE(window, nullptr);
    for (int32_t y = 0; y < 45; y += 4) {
        for (int32_t x = 0; x < 60; x += 3) {
            const Ui_RGB shown = Ui_Headless_Pixel(window, area_.top + y, area_.left + x);
            const uint8_t* expected = &s.host.displayed.rgb[3 * (size_t(y) * 60 + size_t(x))];
            ASSERT_EQ(shown.r, expected[0]);
            ASSERT_EQ(shown.g, expected[1]);
            ASSERT_EQ(shown.b, expected[2]);
        }
    }
    EXPECT_EQ(s.host.displayed.row, area_.top);
    EXPECT_EQ(s.host.displayed.col, area_.left);

    // With the window's drawing already open, and into an area smaller than the picture: cut.
    int32_t status = -100;
    s.host.Bind();
    InDialog([&](UiWindow* w, const Ui_Rect& area) {
        Ui_Rect small{area.top, area.left, int16_t(area.top + 10), int16_t(area.left + 20)};
        ASSERT_EQ(Ui_Draw_Begin(w), 0);
        status = s.procs.drawPreview(s.procs.context, w, &small, &look, nullptr);
        Ui_Draw_End(w);
    });
    s.host.Bind();
    EXPECT_EQ(status, 0);
    window = Ui_Headless_LastClosed();
    const Ui_RGB inside = Ui_Headless_Pixel(window, area_.top + 9, area_.left + 19);
    EXPECT_EQ(inside.r, s.host.displayed.rgb[3 * (9 * 60 + 19)]);
    const Ui_RGB outside = Ui_Headless_Pixel(window, area_.top + 9, area_.left + 20);
    const Ui_RGB blank = Ui_Headless_Pixel(window, area_.top + 40, area_.left + 50);
    EXPECT_TRUE(outside.r == blank.r && outside.g == blank.g && outside.b == blank.b);

    // The display rows lie in the host's rows, whose ends hold more than 3 x width bytes: the
    // host finds nothing past a row's width when it takes its buffers back.
    ASSERT_EQ(s.Acquire(50, 40), 0);
    for (const std::string& v : s.host.violations) ADD_FAILURE() << "host contract: " << v;
}

// --- Zoom
// -----------------------------------------------------------------------------------------

// The levels below 100 % ask the host for the window at their rate, those above for a window
// at full size that the display magnifies (the transparency too); each asks for no more than the
// preview's size, a level that shows no more than fit shows fit, and fit comes back as it was.
TEST_F(PreviewTest, ZoomLevelsFetchTheirWindowAtTheRateAndMagnifyIt) {
    const Image image = RandomImage(300, 200, 4, 8, 7);
    Session s(image);
    ASSERT_EQ(s.Acquire(60, 40), 0);  // fit: 20 %
    const std::vector<uint8_t> fit = Bytes(s.Info().shown, 4);

    // 25 %: rate 4, the window centred on image (150, 100): corner (7, 5) at the rate.
    ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 25, 150, 100, -1, -1, nullptr), 0);
    // What the host says is shown: level, rate, magnification, the picture, the drawn size and
    // the picture's corner in the image.
    auto shown = [](const PreviewInfo& i) {
        return std::vector<int32_t>{i.zoom,       i.rate,        i.magnify, i.width, i.height,
                                    i.drawnWidth, i.drawnHeight, i.left,    i.top};
    };
    PreviewInfo info = s.Info();
    EXPECT_EQ(shown(info), (std::vector<int32_t>{25, 4, 1, 60, 40, 60, 40, 28, 20}));
    EXPECT_EQ(s.host.record.inputRate, 4 << 16);
    const strip_host::Request& asked = s.host.requests.back();
    EXPECT_EQ(asked.in.right - asked.in.left, 60);
    EXPECT_EQ(asked.in.bottom - asked.in.top, 40);
    for (int32_t y = 0; y < 40; y += 5)
        for (int32_t x = 0; x < 60; x += 7)
            ASSERT_EQ(Sample8(info.shown, 1, x, y), image.At(28 + 4 * x, 20 + 4 * y, 1));

    // 200 %: image (100, 50) under drawn pixel (10, 6), a 30 x 20 window at full size drawn
    // twice as large.
    ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 200, 100, 50, 10, 6, nullptr), 0);
    info = s.Info();
    EXPECT_EQ(shown(info), (std::vector<int32_t>{200, 1, 2, 30, 20, 60, 40, 95, 47}));
    EXPECT_EQ(s.host.record.inputRate, 1 << 16);
    PreviewLook look{nullptr, 0, kPreviewClipNone, 0, 0, nullptr};
    ASSERT_EQ(Draw(s, look), 0);
    ASSERT_EQ(s.host.displayed.width, 60);
    ASSERT_EQ(s.host.displayed.height, 40);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 60; ++x) {
            const size_t i = size_t(y) * 60 + size_t(x);
            for (int32_t c = 0; c < 3; ++c)
                ASSERT_EQ(s.host.displayed.rgb[3 * i + c], image.At(95 + x / 2, 47 + y / 2, c));
            ASSERT_EQ(s.host.displayed.alpha[i], image.At(95 + x / 2, 47 + y / 2, 3));
        }
    }

    // At the far corner the window stays inside the image.
    ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 400, 299, 199, -1, -1, nullptr), 0);
    EXPECT_EQ(shown(s.Info()), (std::vector<int32_t>{400, 1, 4, 15, 10, 60, 40, 285, 190}));

    // 10 % would show less than fit: fit it is.
    EXPECT_EQ(s.procs.zoomPreview(s.procs.context, 10, 5, 5, -1, -1, nullptr), -1);
    ASSERT_EQ(s.procs.restorePreview(s.procs.context, nullptr), 0);
    info = s.Info();
    EXPECT_EQ(info.zoomed, 0);
    EXPECT_EQ(info.drawnWidth, 60);
    EXPECT_EQ(Bytes(info.shown, 4), fit);

    // A box taller than the fit preview: a zoomed window fills the box.
    ASSERT_EQ(s.Acquire(60, 60), 0);
    ASSERT_EQ(s.Info().height, 40);
    ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 100, 150, 100, -1, -1, nullptr), 0);
    EXPECT_EQ(shown(s.Info()), (std::vector<int32_t>{100, 1, 1, 60, 60, 60, 60, 120, 70}));
    for (const std::string& v : s.host.violations) ADD_FAILURE() << "host contract: " << v;
}

TEST_F(PreviewTest, ZoomFetchesTheWindowAroundThePointInsideTheFilterRectangleAndRestores) {
    for (int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const Image image = RandomImage(300, 200, 4, depth, 3);
        Session s(image);
        s.host.SetMask(Selection(300, 200, 8));
        s.host.SetFilterRect(VRect{20, 30, 180, 270});  // 240 x 160
        ASSERT_EQ(s.Acquire(60, 40), 0);
        PreviewInfo info = s.Info();
        ASSERT_EQ(info.width, 60);
        ASSERT_EQ(info.height, 40);
        const std::vector<uint8_t> picture = Bytes(info.shown, 4);
        const std::vector<uint8_t> selection = Bytes(info.selection, 1);

        // The window of 60 x 40 centred on image (40, 20) of the filter rectangle starts at
        // (10, 0) of it, (40, 20) of the document; it is asked for with a margin of 32, cut at
        // the filter rectangle's corner (30, 20).
        ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 100, 40, 20, -1, -1, nullptr), 0);
        info = s.Info();
        EXPECT_EQ(info.zoomed, 1);
        EXPECT_EQ(info.left, 10);
        EXPECT_EQ(info.top, 0);
        const strip_host::Request& asked = s.host.requests.back();
        EXPECT_EQ(asked.in.left, 30);
        EXPECT_EQ(asked.in.top, 20);
        EXPECT_EQ(asked.in.right, 40 + 60 + 32);
        EXPECT_EQ(asked.in.bottom, 20 + 40 + 32);
        EXPECT_EQ(s.host.record.inputRate, 0x10000);
        for (int32_t y = 0; y < 40; y += 3) {
            for (int32_t x = 0; x < 60; x += 7) {
                for (int32_t c = 0; c < 4; ++c) {
                    const uint16_t v = image.At(40 + x, 20 + y, c);
                    const uint16_t expected =
                        depth == 16 ? uint16_t(std::min<int>(v, 32767) * 2) : v;
                    const ptrdiff_t at = IPSampleOffset(&info.shown, x, y);
                    const uint16_t got =
                        depth == 16 ? static_cast<const uint16_t*>(info.shown.channel[c])[at]
                                    : static_cast<const uint8_t*>(info.shown.channel[c])[at];
                    ASSERT_EQ(got, expected);
                }
            }
        }
        // A point near the corner: the window stays inside the filter rectangle.
        ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 100, 239, 159, -1, -1, nullptr), 0);
        info = s.Info();
        EXPECT_EQ(info.left, 240 - 60);
        EXPECT_EQ(info.top, 160 - 40);
        // Panning far to the left stops at the rectangle's edge.
        ASSERT_EQ(s.procs.panZoom(s.procs.context, -1000, 0, nullptr), 0);
        EXPECT_EQ(s.Info().left, 0);
        EXPECT_EQ(s.Info().top, 120);

        // Back to the reduced preview: 8-bit from the module's copy into buffers of its shape,
        // 16-bit asked for again; either way the same pixels.
        ASSERT_EQ(s.procs.restorePreview(s.procs.context, nullptr), 0);
        info = s.Info();
        EXPECT_EQ(info.zoomed, 0);
        EXPECT_EQ(Bytes(info.shown, 4), picture);
        EXPECT_EQ(Bytes(info.selection, 1), selection);

        // A resize while zoomed shows the 1:1 window again, at the new picture size.
        ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 100, 100, 60, -1, -1, nullptr), 0);
        ASSERT_EQ(s.Acquire(80, 60), 0);
        info = s.Info();
        EXPECT_EQ(info.zoomed, 1);
        EXPECT_EQ(info.width, 80);
        EXPECT_EQ(info.left, 100 - 40);
        for (const std::string& v : s.host.violations) ADD_FAILURE() << "host contract: " << v;
    }
}

// --- The filter's pipeline
// ------------------------------------------------------------------------

// FilterImage on the rectangle r of image with the selection, as the filter itself would run it.
Image FilteredByTheFilter(const Image& image, const std::vector<uint8_t>& selection, const VRect& r,
                          const EditPars& pars) {
    StripHost h(image);
    h.SetMask(selection);
    h.SetFilterRect(r);
    h.Bind();
    auto data = std::make_unique<PluginData>();
    EXPECT_EQ(EditStateInit(&data->editState, nullptr), 0);
    data->editState.editPars = pars;
    data->editState.gridLevel = kFastGrid;
    data->rowSkip = 50;
    Ui_Failure failure;
    EXPECT_EQ(FilterImage(&h.call, data.get(), &failure), 0);
    EXPECT_EQ(h.record.advanceState(), noErr);  // the host takes the last strip back
    return h.dest;
}

SharpenNoise SharpenAndNoise() {
    SharpenNoise sn{};
    sn.sharpenOn = 1;
    sn.sharpenStrength = 12;
    sn.sharpenK = -1;
    sn.noiseOn = 1;
    sn.noiseFlag = 1;
    sn.noiseRadius[1] = 5;
    sn.noiseRadius[2] = 3;
    sn.noiseThreshold[1] = 20;
    sn.noiseThreshold[2] = 16;
    sn.noiseK = 4;
    return sn;
}

// The picture does not depend on the number of threads: the direct path (rows spread over the
// threads) with the selection and the clipping view, and the filtered path (column bands) with
// sharpening, noise removal and a margin around the rectangle.
TEST_F(PreviewTest, ThePictureIsTheSameOnAnyNumberOfThreads) {
    const int32_t w = 300, h = 120;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    uint32_t seed = 5;
    for (size_t i = 0; i < rgb.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        rgb[i] = uint8_t((i / 3 % w) * 7 / 8 + (seed >> 28));
    }
    std::vector<uint8_t> mask = Selection(w, h, 6);
    IPImage source = IPRgb8View(rgb.data(), w, h);
    IPImage selection{kIPKindMask, 1, 1, w, h, 72.0f, 1, w, {mask.data()}, nullptr};
    EditPars pars = ChangedPars();
    pars.sharpenNoise = SharpenAndNoise();
    Transform shown(pars, 1);
    struct Case {
        uint8_t filtered, clipping;
        VRect rect, around;
    };
    const Case cases[] = {
        {0, kPreviewClipNone, VRect{0, 0, h, w}, VRect{0, 0, 0, 0}},
        {0, kPreviewClipWhite, VRect{10, 20, 110, 290}, VRect{0, 0, 0, 0}},
        {1, kPreviewClipNone, VRect{8, 9, 112, 291}, VRect{8, 9, 8, 9}},
        {1, kPreviewClipNone, VRect{0, 0, h, w}, VRect{0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        auto render = [&](int32_t threads) {
            std::vector<uint8_t> out(rgb.size(), 0);
            IPImage destination = IPRgb8View(out.data(), w, h);
            const PreviewRows job{
                &source,    &selection, c.rect,     &destination, shown.grid,
                c.clipping, c.filtered, c.filtered, c.filtered,   &pars.sharpenNoise,
                "scene",    c.around,   0,          threads};
            EXPECT_EQ(PreviewApplyRows(&job, nullptr), 0);
            return out;
        };
        const std::vector<uint8_t> one = render(1);
        for (int32_t threads : {2, 3, 8}) {
            EXPECT_TRUE(render(threads) == one) << "filtered " << int(c.filtered) << ", clipping "
                                                << int(c.clipping) << ", " << threads << " threads";
        }
    }
}

// At 100 % (and magnified) the preview shows what the filter will write, to the view's edges:
// the window comes with a margin, so sharpening and noise removal there see the neighbours the
// filter sees. The oracle is the filter run on the whole image; the windows lie in the middle
// (the whole margin) and at two corners (the margin cut at the image's edges).
TEST_F(PreviewTest, AtOneToOneSharpeningAndNoiseRemovalAreTheFiltersOwnRows) {
    const Image image = Scene(240, 180, 3, 8, 11);
    const std::vector<uint8_t> selection = Selection(240, 180, 12);
    EditPars pars = ChangedPars();
    pars.sharpenNoise = SharpenAndNoise();
    Session s(image);
    s.host.SetMask(selection);
    s.data->editState.editPars = pars;
    s.prefs.previewSharpening = 1;
    s.prefs.previewNoise = 1;
    ASSERT_EQ(s.Acquire(60, 45), 0);
    const Image filtered = FilteredByTheFilter(image, selection, VRect{0, 0, 180, 240}, pars);
    s.host.Bind();
    Transform shown(pars, 1);
    PreviewLook look{shown.grid, 1, kPreviewClipNone, 0, 0, nullptr};
    std::vector<uint8_t> previewed;
    for (const auto& [x0, y0] : {std::pair{0, 0}, std::pair{239, 179}, std::pair{100, 90}}) {
        SCOPED_TRACE(std::to_string(x0) + ", " + std::to_string(y0));
        ASSERT_EQ(s.procs.zoomPreview(s.procs.context, 100, x0, y0, -1, -1, nullptr), 0);
        const PreviewInfo info = s.Info();
        ASSERT_EQ(Draw(s, look), 0);
        previewed = s.host.displayed.rgb;
        for (int32_t y = 0; y < info.height; ++y) {
            for (int32_t x = 0; x < info.width; ++x) {
                for (int32_t c = 0; c < 3; ++c) {
                    ASSERT_EQ(previewed[3 * (size_t(y) * info.width + size_t(x)) + c],
                              filtered.At(info.left + x, info.top + y, c))
                        << x << ", " << y;
                }
            }
        }
    }
    // While a control is dragged the quick path runs: no sharpening, no noise removal.
    look.busy = 1;
    ASSERT_EQ(Draw(s, look), 0);
    EXPECT_NE(s.host.displayed.rgb, previewed);
    // Unless the preferences ask for them, the window never shows them.
    look.busy = 0;
    s.prefs.previewSharpening = 0;
    s.prefs.previewNoise = 0;
    ASSERT_EQ(Draw(s, look), 0);
    EXPECT_NE(s.host.displayed.rgb, previewed);
}

TEST_F(PreviewTest, DetailViewShowsTheFiltersRowsMagnifiedAndLeavesThePreviewInPlace) {
    const Image image = Scene(260, 200, 3, 8, 31);
    const std::vector<uint8_t> selection = Selection(260, 200, 32);
    EditPars pars = ChangedPars();
    pars.sharpenNoise = SharpenAndNoise();
    Session s(image);
    s.host.SetMask(selection);
    s.data->editState.editPars = pars;
    // The steps are read back from the debug log, written with the call state's flag.
    state_->diagnostics = 1;
    s.host.call.gState = state_;
    ASSERT_EQ(s.Acquire(65, 50), 0);
    const std::vector<uint8_t> picture = Bytes(s.Info().shown, 3);
    ASSERT_EQ(s.procs.openDetail(s.procs.context, 40, 30, nullptr), 0);
    // The detail's memory: the view and a margin of 32 on every side.
    EXPECT_TRUE(LogHas("allocated 104 x 94"));
    PreviewDetailInfo detail;
    ASSERT_EQ(s.procs.fetchDetail(s.procs.context, 130, 100, 1, &detail, nullptr), 0);
    EXPECT_EQ(detail.fetched, 1);
    EXPECT_EQ(detail.width, 40);
    EXPECT_EQ(detail.height, 30);
    EXPECT_EQ(detail.left, 110);
    EXPECT_EQ(detail.top, 85);
    // The part came with a margin of twice the largest noise radius on every side.
    const strip_host::Request part = s.host.requests[s.host.requests.size() - 3];
    EXPECT_EQ(part.in.left, 100);
    EXPECT_EQ(part.in.top, 75);
    EXPECT_EQ(part.in.right, 160);
    EXPECT_EQ(part.in.bottom, 125);
    // The window's picture is back in the host's buffers.
    EXPECT_EQ(Bytes(s.Info().shown, 3), picture);

    Transform shown(pars, 1);
    const PreviewLook look{shown.grid, 1, kPreviewClipNone, 0, 0, nullptr};
    ASSERT_EQ(s.procs.renderDetail(s.procs.context, &look, nullptr), 0);
    int32_t status = -100;
    InDialog([&](UiWindow* w, const Ui_Rect& area) {
        status = s.procs.drawDetail(s.procs.context, w, &area, nullptr);
    });
    s.host.Bind();
    ASSERT_EQ(status, 0);
    // What the filter writes there, run on the whole image.
    const Image filtered = FilteredByTheFilter(image, selection, VRect{0, 0, 200, 260}, pars);
    s.host.Bind();
    const std::vector<uint8_t> one = s.host.displayed.rgb;
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
            for (int32_t c = 0; c < 3; ++c)
                ASSERT_EQ(one[3 * (size_t(y) * 40 + size_t(x)) + c],
                          filtered.At(110 + x, 85 + y, c));

    // Zooming in needs nothing new from the host: the middle of the part, each pixel twice.
    const size_t requests = s.host.requests.size();
    ASSERT_EQ(s.procs.fetchDetail(s.procs.context, 130, 100, 2, &detail, nullptr), 0);
    EXPECT_EQ(detail.fetched, 0);
    EXPECT_EQ(s.host.requests.size(), requests);
    EXPECT_EQ(detail.left, 120);
    EXPECT_EQ(detail.top, 93);
    InDialog([&](UiWindow* w, const Ui_Rect& area) {
        status = s.procs.drawDetail(s.procs.context, w, &area, nullptr);
    });
    s.host.Bind();
    ASSERT_EQ(status, 0);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x)
            ASSERT_EQ(s.host.displayed.rgb[3 * (size_t(y) * 40 + size_t(x))],
                      filtered.At(120 + x / 2, 93 + y / 2, 0));

    // The navigator: the whole preview, scaled to fit, through the transform, which keeps its
    // pixel sizes.
    Transform deep(pars, 2);
    int32_t nw = 0, nh = 0;
    ASSERT_EQ(s.procs.setUpNavigator(s.procs.context, 30, 30, deep.grid, &nw, &nh, nullptr), 0);
    EXPECT_EQ(nw, 30);
    EXPECT_EQ(nh, 23);
    EXPECT_EQ(deep.grid->inPixelSize, 2);
    EXPECT_EQ(deep.grid->outPixelSize, 2);
    InDialog([&](UiWindow* w, const Ui_Rect& area) {
        status = s.procs.drawNavigator(s.procs.context, w, &area, nullptr);
    });
    s.host.Bind();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(s.host.displayed.width, 30);
    EXPECT_EQ(s.host.displayed.height, 23);
    s.procs.freeNavigator(s.procs.context);
    s.procs.closeDetail(s.procs.context);
    for (const char* line :
         {"GetPrevImage...", "...GetPrevImage", "SetUpNavPrevImages...", "...SetUpNavPrevImages"})
        EXPECT_TRUE(LogHas(line)) << line;
    for (const std::string& v : s.host.violations) ADD_FAILURE() << "host contract: " << v;
}

// --- Failures
// -------------------------------------------------------------------------------------

// What the window shows: the size, the analysis copy and the host's picture.
struct Shown {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> copy, picture;
    bool operator==(const Shown& o) const {
        return width == o.width && height == o.height && copy == o.copy && picture == o.picture;
    }
};

Shown Now(Session& s) {
    Shown now;
    PreviewInfo info;
    if (s.procs.previewInfo(s.procs.context, &info) != 0) return now;
    now.width = info.width;
    now.height = info.height;
    now.copy = Bytes(s.data->editState.analysisImage, s.data->editState.analysisImage.channels);
    now.picture = Bytes(info.shown, 4);
    return now;
}

TEST_F(PreviewTest, RefusalsAndMemoryFailuresKeepThePreviousPreviewAndFreeWhatWasMade) {
    const Image image = Scene(200, 150, 4, 8, 41);
    Session s(image);
    s.host.SetMask(Selection(200, 150, 42));
    ASSERT_EQ(s.Acquire(50, 50), 0);
    const Shown before = Now(s);
    const uint32_t held = ul_nMallocs;

    // The host refuses the new preview (after releasing the old one's buffers): -2, told as
    // "advancing state"; the callee shows nothing.
    s.host.failAdvanceAt = int32_t(s.host.requests.size()) + 2;
    s.host.failAdvanceCount = 1;
    s.host.failAdvanceWith = filterBadParameters;
    Ui_Failure failure;
    EXPECT_EQ(s.Acquire(80, 80, &failure), -2);
    EXPECT_EQ(failure.status, -2);
    EXPECT_EQ(failure.textId, kPhraseAdvanceState);
    EXPECT_TRUE(s.host.alerts.empty());
    EXPECT_TRUE(Now(s) == before);
    EXPECT_EQ(ul_nMallocs, held);
    s.host.failAdvanceAt = 0;

    // Each allocation of a new acquisition failing in turn: -3, from the resampler as
    // "IPScaleImageDown2", the previous preview in place and nothing left over; or, when the
    // refused block was one of a reduction on several threads (its bands, its pool), the
    // reduction made in one pass on this thread and the new preview.
    bool resampler = false;
    int32_t n = 1;
    for (;; ++n) {
        const Shown shown = Now(s);
        const uint32_t blocks = ul_nMallocs;
        testing_support::FailAllocationAfter(n);
        const int32_t status = s.Acquire(80, 80, &failure);
        const bool failed = testing_support::AllocationFailed();
        testing_support::FailAllocationAfter(0);
        if (!failed) {
            EXPECT_EQ(status, 0);
            break;
        }
        SCOPED_TRACE(n);
        if (status == 0) {
            EXPECT_EQ(s.Info().width, 80);
            continue;
        }
        EXPECT_EQ(status, -3);
        EXPECT_TRUE(failure.textId == kPhraseScaleDown || failure.textId == kPhraseReadImage);
        resampler = resampler || failure.textId == kPhraseScaleDown;
        EXPECT_TRUE(Now(s) == shown);
        EXPECT_EQ(ul_nMallocs, blocks);
    }
    EXPECT_GT(n, 3);
    EXPECT_TRUE(resampler);
    EXPECT_EQ(s.Info().width, 80);

    // A refused 1:1 window leaves the reduced preview showing.
    const Shown now = Now(s);
    s.host.failAdvanceAt = int32_t(s.host.requests.size()) + 2;
    s.host.failAdvanceCount = 1;
    EXPECT_EQ(s.procs.zoomPreview(s.procs.context, 100, 5, 5, -1, -1, &failure), -2);
    s.host.failAdvanceAt = 0;
    EXPECT_EQ(s.Info().zoomed, 0);
    EXPECT_TRUE(Now(s) == now);
    for (const std::string& v : s.host.violations) ADD_FAILURE() << "host contract: " << v;
}

TEST_F(PreviewTest, AFirstAcquisitionThatFailsLeavesNoPreviewAndAnEmptySelectionIsTold) {
    const Image image = Scene(120, 90, 3, 16, 51);
    {
        Session s(image);
        s.host.failAdvanceAt = 2;
        s.host.failAdvanceWith = filterBadParameters;
        Ui_Failure failure;
        EXPECT_EQ(s.Acquire(40, 40, &failure), -2);
        PreviewInfo info;
        EXPECT_EQ(s.procs.previewInfo(s.procs.context, &info), -2);
        EXPECT_EQ(s.data->editState.analysisImage.pixels, nullptr);
        const PreviewLook look{nullptr, 0, kPreviewClipNone, 0, 0, nullptr};
        EXPECT_EQ(Draw(s, look), -2);
    }
    Session s(image);
    s.host.SetMask(std::vector<uint8_t>(120 * 90, 100));  // selected below half everywhere
    Ui_Failure failure;
    EXPECT_EQ(s.Acquire(40, 40, &failure), -2);
    EXPECT_EQ(failure.textId, kStrEmptySelection);
    EXPECT_EQ(failure.form, kUiFailStop);
}

// --- The sharpen and noise dialog's views
// --------------------------------------------------------

// Runs the sharpen and noise dialog over the session's host procedures with a script.
int32_t RunSharpenNoise(Session& s, UiState* state, std::vector<UiScriptEvent>* script,
                        bool* accepted) {
    s.host.Bind();
    Ui_Headless_SetScript(script->data(), int32_t(script->size()));
    const DialogEnv env{state, nullptr, &s.procs, nullptr};
    const int32_t status = SharpenNoiseDialog(&env, &s.data->editState, accepted);
    Ui_Headless_SetScript(nullptr, 0);
    s.host.Bind();
    return status;
}

// An item's area inside its frame.
Ui_Rect InsideOf(UiWindow* w, int16_t item) {
    Ui_Rect r{};
    EXPECT_EQ(Ui_Item_GetRect(w, item, &r), 0);
    return Ui_Rect{int16_t(r.top + 1), int16_t(r.left + 1), int16_t(r.bottom - 1),
                   int16_t(r.right - 1)};
}

// The detail view's pixels, width x height centred in its item, compared with pick(x, y),
// which names the filtered image's pixel each shown pixel must be.
void ExpectDetail(UiWindow* w, int32_t width, int32_t height, const Image& filtered,
                  const std::function<std::pair<int32_t, int32_t>(int32_t, int32_t)>& pick) {
    const Ui_Rect r = InsideOf(w, kSharpenNoiseDetailView);
    const int32_t top = r.top + (r.bottom - r.top - height) / 2;
    const int32_t left = r.left + (r.right - r.left - width) / 2;
    const UiHeadlessWindow* window = Ui_Headless_Window(w);
    for (int32_t y = 0; y < height; y += 3) {
        for (int32_t x = 0; x < width; x += 2) {
            const auto [fx, fy] = pick(x, y);
            const Ui_RGB shown = Ui_Headless_Pixel(window, top + y, left + x);
            ASSERT_TRUE(shown.r == filtered.At(fx, fy, 0) && shown.g == filtered.At(fx, fy, 1) &&
                        shown.b == filtered.At(fx, fy, 2))
                << x << ", " << y;
        }
    }
}

std::string ZoomShown(UiWindow* w) {
    char text[16] = {};
    Ui_Item_GetText(w, kSharpenNoiseZoomText, text, sizeof text);
    return text;
}

TEST_F(PreviewTest, SharpenNoiseDialogShowsTheFiltersRowsZoomsPansAndFollowsItsSliders) {
    // Smaller than the detail view: at 100 % the whole image shows.
    const Image image = Scene(200, 150, 3, 8, 61);
    const std::vector<uint8_t> selection = Selection(200, 150, 62);
    EditPars pars = ChangedPars();
    pars.sharpenNoise = SharpenAndNoise();
    Session s(image);
    s.host.SetMask(selection);
    s.data->editState.editPars = pars;
    ASSERT_EQ(s.Acquire(100, 75), 0);
    const std::vector<uint8_t> picture = Bytes(s.Info().shown, 3);
    const Image filtered = FilteredByTheFilter(image, selection, VRect{0, 0, 150, 200}, pars);
    EditPars stronger = pars;
    stronger.sharpenNoise.sharpenStrength = kSharpenStrengthRange.hi;
    const Image sharper = FilteredByTheFilter(image, selection, VRect{0, 0, 150, 200}, stronger);

    // Where the strength slider and the views are.
    Ui_Rect slider{}, detail{}, nav{};
    std::vector<UiScriptEvent> look = {ui_testing::Call([&](UiWindow* w) {
                                           Ui_Item_GetRect(w, kSharpenNoiseStrengthSlider, &slider);
                                           detail = InsideOf(w, kSharpenNoiseDetailView);
                                           nav = InsideOf(w, kSharpenNoiseNavigationView);
                                       }),
                                       ui_testing::Click(kSharpenNoiseCancel)};
    bool accepted = true;
    ASSERT_EQ(RunSharpenNoise(s, state_, &look, &accepted), 0);
    ASSERT_GT(detail.right - detail.left, 200);
    ASSERT_GT(detail.bottom - detail.top, 150);

    const int16_t sv = int16_t((slider.top + slider.bottom) / 2);
    const int16_t dv = int16_t((detail.top + detail.bottom) / 2);
    const int16_t dh = int16_t((detail.left + detail.right) / 2);
    size_t requests = 0;
    std::vector<UiScriptEvent> script = {
        ui_testing::Call([&](UiWindow* w) {
            EXPECT_EQ(ZoomShown(w), "100%");
            ExpectDetail(w, 200, 150, filtered,
                         [](int32_t x, int32_t y) { return std::pair<int32_t, int32_t>(x, y); });
        }),
        // Releasing a slider renders the detail again with the new strength.
        ui_testing::Press(kSharpenNoiseStrengthSlider, sv, slider.left),
        ui_testing::Release(sv, int16_t(slider.right + 20)), ui_testing::Call([&](UiWindow* w) {
            ExpectDetail(w, 200, 150, sharper,
                         [](int32_t x, int32_t y) { return std::pair<int32_t, int32_t>(x, y); });
            requests = s.host.requests.size();
        }),
        // Zooming in only magnifies what is at hand: the middle, each pixel twice.
        ui_testing::Click(kSharpenNoiseZoomIn), ui_testing::Call([&](UiWindow* w) {
            EXPECT_EQ(ZoomShown(w), "200%");
            EXPECT_EQ(s.host.requests.size(), requests);
            ExpectDetail(w, 200, 150, sharper, [](int32_t x, int32_t y) {
                return std::pair<int32_t, int32_t>(50 + x / 2, 38 + y / 2);
            });
        }),
        // A click at the navigator's left edge brings the detail to the image's left edge.
        ui_testing::Press(kSharpenNoiseNavigationView, int16_t(nav.top), int16_t(nav.left)),
        ui_testing::Release(int16_t(nav.top), int16_t(nav.left)),
        ui_testing::Call([&](UiWindow* w) {
            ExpectDetail(w, 200, 150, sharper, [](int32_t x, int32_t y) {
                return std::pair<int32_t, int32_t>(x / 2, y / 2);
            });
        }),
        // Dragging the picture 120 pixels to the left shows 60 image pixels further right.
        ui_testing::Press(kSharpenNoiseDetailView, dv, dh), ui_testing::Drag(dv, int16_t(dh - 60)),
        ui_testing::Release(dv, int16_t(dh - 120)), ui_testing::Call([&](UiWindow* w) {
            ExpectDetail(w, 200, 150, sharper, [](int32_t x, int32_t y) {
                return std::pair<int32_t, int32_t>(10 + x / 2, y / 2);
            });
        }),
        ui_testing::Click(kSharpenNoiseOk)};
    ASSERT_EQ(RunSharpenNoise(s, state_, &script, &accepted), 0);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(Ui_Headless_Refused(), 0);
    EXPECT_EQ(s.data->editState.editPars.sharpenNoise.sharpenStrength, kSharpenStrengthRange.hi);
    EXPECT_TRUE(s.host.alerts.empty());
    // The window's picture is back in the host's buffers.
    EXPECT_EQ(Bytes(s.Info().shown, 3), picture);
    for (const std::string& v : s.host.violations) ADD_FAILURE() << "host contract: " << v;
}

TEST_F(PreviewTest, SharpenNoiseDialogWithoutMemoryForItsViewsDoesNotOpenAndSaysSoOnce) {
    const Image image = Scene(160, 120, 4, 16, 71);
    Session s(image);
    s.data->editState.editPars.sharpenNoise = SharpenAndNoise();
    ASSERT_EQ(s.Acquire(80, 60), 0);
    const Shown before = Now(s);
    const uint32_t held = ul_nMallocs;
    bool refused = false;
    for (int32_t n = 1;; ++n) {
        SCOPED_TRACE(n);
        s.host.alerts.clear();
        std::vector<UiScriptEvent> script = {ui_testing::Click(kSharpenNoiseOk)};
        testing_support::FailAllocationAfter(n);
        bool accepted = false;
        const int32_t status = RunSharpenNoise(s, state_, &script, &accepted);
        const bool failed = testing_support::AllocationFailed();
        testing_support::FailAllocationAfter(0);
        if (!failed) {
            EXPECT_EQ(status, 0);
            EXPECT_TRUE(accepted);
            break;
        }
        // Either it did not open (-3, and the views told why once) or a fetch or render failed
        // inside it and was told once; nothing is left behind and the preview stays.
        EXPECT_TRUE(status == 0 || status == -2 || status == -3) << status;
        EXPECT_LE(s.host.alerts.size(), 1u);
        refused = refused || (status == -3 && s.host.alerts.size() == 1);
        // What stays between runs: the headless binding's last closed window (until it is
        // reset) and the offscreen image the drawing lends to the host.
        Ui_Headless_Reset();
        DisplayTargetFree(&s.window.target);
        EXPECT_EQ(ul_nMallocs, held) << status;
        // A detail view that failed to put a 16-bit preview back (the resampler needs memory)
        // leaves the window's picture to the next paint, which asks for it again.
        const PreviewLook look{nullptr, 0, kPreviewClipNone, 0, 0, nullptr};
        EXPECT_EQ(Draw(s, look), 0);
        Ui_Headless_Reset();
        DisplayTargetFree(&s.window.target);
        EXPECT_TRUE(Now(s) == before);
    }
    EXPECT_TRUE(refused);
}

}  // namespace
