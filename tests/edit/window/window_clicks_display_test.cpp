// Clicks in the editing window's preview played as real pointer input on the FLTK binding must
// do what the same clicks do headless: a neutral click on a cast patch gives the same live
// record byte for byte, a Shift-click sets a sample point without touching the record, an
// Alt-click asks the host for the 1:1 zoom around the same pixel, and a drag of a slider moves
// the parameter alike. The host's preview procedures
// are stand-ins with a small picture; a screenshot of each binding lands in ui_shots/.
// GoogleTest comes before the X headers, whose macros it would trip over.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "edit/window/editing_window.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/dlg.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_editor.h"
#include "tests/platform/test_support.h"
#include "tests/ui_harness/ui_harness.h"

namespace {

using ui_harness::Binding;

constexpr int32_t kW = 48, kH = 32;

// What one run leaves behind.
struct Outcome {
    EditPars pars{};
    int32_t tab = -1;
    std::vector<std::string> hostCalls;
    bool finished = false;
};

class WindowClicksDisplay : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        // A flat warm-grey patch across the middle, sky above and a dark floor below: a click
        // anywhere on the patch samples all of it, whatever pixel the binding's rounding hits.
        pixels_.resize(size_t(kW) * kH * 3);
        for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
                uint8_t* p = &pixels_[(size_t(y) * kW + size_t(x)) * 3];
                const bool patch = 10 <= y && y < 22;
                p[0] = uint8_t(y < 10 ? 70 : patch ? 168 : 40);
                p[1] = uint8_t(y < 10 ? 120 : patch ? 150 : 35);
                p[2] = uint8_t(y < 10 ? 205 : patch ? 128 : 30);
            }
        }
        picture_ = IPRgb8View(pixels_.data(), kW, kH);
    }

    Outcome RunOn(Binding binding) {
        Outcome out;
        EXPECT_EQ(ui_harness::Install(binding), 0) << ui_harness::Name(binding);
        UiState* state = nullptr;
        EXPECT_EQ(Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0), 0);
        auto es = std::make_unique<EditState>();
        EXPECT_EQ(EditStateInit(es.get(), nullptr), 0);
        es->keenhueMask = kEditMaskAll;
        Prefs prefs{};
        SetPrefsDefaults(&prefs);
        prefs.showStartUpGuide = 0;
        prefs.keenhueMode = 1;
        prefs.keenhueMask = kEditMaskAll;
        prefs.showSampledRegion = 1;

        WindowHostProcs host{};
        host.context = this;
        calls_ = &out.hostCalls;
        es_ = es.get();
        host.acquirePreview = [](void* c, int32_t, int32_t, Ui_Failure*) -> int32_t {
            auto* t = static_cast<WindowClicksDisplay*>(c);
            t->es_->analysisImage = t->picture_;
            return 0;
        };
        host.previewInfo = [](void* c, PreviewInfo* info) -> int32_t {
            // The image is twice the picture's size: the picture is its fit preview.
            *info = PreviewInfo{};
            info->width = info->fitWidth = info->drawnWidth = kW;
            info->height = info->fitHeight = info->drawnHeight = kH;
            info->imageWidth = 2 * kW;
            info->imageHeight = 2 * kH;
            info->rate = info->magnify = 1;
            info->reduced = 1;
            info->shown = static_cast<WindowClicksDisplay*>(c)->picture_;
            return 0;
        };
        host.drawPreview = [](void*, UiWindow*, const Ui_Rect*, const PreviewLook*,
                              Ui_Failure*) -> int32_t { return 0; };
        host.zoomPreview = [](void* c, int32_t level, int32_t x, int32_t y, int32_t anchorH,
                              int32_t anchorV, Ui_Failure*) -> int32_t {
            static_cast<WindowClicksDisplay*>(c)->calls_->push_back(
                "zoom " + std::to_string(level) + " " + std::to_string(x) + "," +
                std::to_string(y) + " at " + std::to_string(anchorH) + "," +
                std::to_string(anchorV));
            return 0;
        };
        host.restorePreview = [](void*, Ui_Failure*) -> int32_t { return 0; };
        EditingWindowEnv env{};
        env.state = state;
        env.prefs = &prefs;
        env.host = &host;

        const std::string shot = std::string(ui_harness::Name(binding)) + "_preview_clicks.png";
        bool accepted = false;
        const auto r = ui_harness::Play(
            binding, state,
            {ui_harness::Wait(200), ui_harness::ClickAt(kEditorPreviewImage, 0, 0),
             ui_harness::ClickAt(kEditorPreviewImage, 10, -12, kUiModShift),
             ui_harness::ClickAt(kEditorPreviewImage, -12, 8, kUiModAlt), ui_harness::Wait(200),
             ui_harness::Shot(shot),
             // The middle of the tab bar is on the third tab; there the "Global" slider is
             // dragged from its middle to the right.
             ui_harness::Click(kEditorTabBar), ui_harness::Wait(100),
             ui_harness::Press(kEditorGlobalSlider), ui_harness::DragTo(kEditorGlobalSlider, 0, 20),
             ui_harness::DragTo(kEditorGlobalSlider, 0, 40),
             ui_harness::Release(kEditorGlobalSlider, 0, 40), ui_harness::Wait(100),
             ui_harness::Click(kEditorOk)},
            [&](int16_t* item) {
                *item = 1;
                return RunEditingWindow(&env, es.get(), &accepted);
            });
        EXPECT_FALSE(r.guardFired) << ui_harness::Name(binding);
        out.finished = accepted;
        out.pars = es->editPars;
        out.tab = es->currentTab;
        es->analysisImage = IPImage{};
        EditStateFreeAnalysis(es.get());
        Ui_State_Close(&state);
        Ui_Framework_Uninstall();
        return out;
    }

    std::vector<uint8_t> pixels_;
    IPImage picture_{};
    EditState* es_ = nullptr;
    std::vector<std::string>* calls_ = nullptr;
};

TEST_F(WindowClicksDisplay, RealClicksDoWhatHeadlessClicksDo) {
    const Outcome headless = RunOn(Binding::kHeadless);
    ASSERT_EQ(ui_harness::EnsureDisplay(), 0);
    const Outcome fltk = RunOn(Binding::kFltk);
    ASSERT_TRUE(headless.finished);
    ASSERT_TRUE(fltk.finished);
    // The neutral click changed the record, and did so alike on both.
    EditState fresh{};
    ASSERT_EQ(EditStateInit(&fresh, nullptr), 0);
    EXPECT_NE(std::memcmp(&fresh.editPars, &headless.pars, sizeof(EditPars)), 0);
    EXPECT_EQ(std::memcmp(&headless.pars, &fltk.pars, sizeof(EditPars)), 0);
    // So did the drag of the brightness slider, on the third tab.
    EXPECT_EQ(headless.tab, 2);
    EXPECT_EQ(fltk.tab, 2);
    EXPECT_NE(headless.pars.brightness, fresh.editPars.brightness);
    ASSERT_EQ(headless.hostCalls.size(), 1u);
    EXPECT_EQ(fltk.hostCalls, headless.hostCalls);
}

}  // namespace
