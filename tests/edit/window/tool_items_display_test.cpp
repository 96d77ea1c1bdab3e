// The tool items of the editing window on real windows and headless alike: the editor dialog is
// opened with every tool item drawn by its component and the items of one tab (or balance method)
// shown, and written as a PNG file for people to look at; a drag on the hue ring played as real
// pointer input must move the handle as the same drag does headless. The window's own code is not
// used: the test only registers the draw and track procedures and shows the tab's items.
// GoogleTest comes before the X headers, whose macros it would trip over.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/edit_state.h"
#include "edit/memory_colors.h"
#include "edit/window/cast_sliders.h"
#include "edit/window/cast_wedge.h"
#include "edit/window/curve_view.h"
#include "edit/window/hue_ring.h"
#include "edit/window/memory_info.h"
#include "edit/window/readouts.h"
#include "edit/window/tab_bar.h"
#include "edit/window/tone_points.h"
#include "edit/window/tone_sliders.h"
#include "edit/window/tool_panel.h"
#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg_editor.h"
#include "tests/platform/test_support.h"
#include "tests/ui_harness/ui_harness.h"

namespace {

// What one picture shows.
struct Scene {
    EditState* es;
    MemoryColor slots[kMemoryColorCount];
    uint32_t histogram[256];
    int32_t tab;
    int32_t method;  // on tab 0
    int32_t infoSubject;
    std::vector<int16_t> shown;
    std::string name;
};

Scene* Of(UiWindow* w) {
    Ui_Dlg* d = nullptr;
    Ui_Dlg_Get(w, &d);
    return d != nullptr ? static_cast<Scene*>(d->userData) : nullptr;
}

int32_t DrawItem(UiWindow* w, int16_t item) {
    Scene* s = Of(w);
    if (s == nullptr) return -1;
    EditState* es = s->es;
    TonePoints points;
    TonePointsOf(&es->editPars, &points);
    float x = 0.5f;
    switch (item) {
        case kEditorTabBar:
            return TabBarDraw(w, item, s->tab);
        case 90:
            return PanelFrameDraw(w, item, kEditorTabBar, s->tab);
        case kEditorCastWedge:
            return CastWedgeDraw(w, item, es);
        case kEditorCastIcon:
            return CastIconDraw(w, item, es);
        case 22:
        case 25:
            return CastLabelDraw(w, item, item == 22 ? kCastTemperature : kCastTint);
        case 23:
        case 26:
        case 24:
        case 27: {
            const int32_t slider = item < 25 ? kCastTemperature : kCastTint;
            CastSliderPosition(es, slider, &x);
            return item == 23 || item == 26 ? CastValueBoxDraw(w, item, slider, x)
                                            : CastSliderDraw(w, item, slider, x, 0);
        }
        case 28:
        case 29:
        case 30:
            CastSliderPosition(es, item - 28, &x);
            return CastValueBoxDraw(w, item, item - 28, x);
        case 31:
        case 32:
        case 33:
            CastSliderPosition(es, item - 31, &x);
            return CastSliderDraw(w, item, item - 31, x, 0);
        case 42:
            return TonePointsHistogramDraw(w, item, s->histogram, &points);
        case kEditorPointHandles:
            return TonePointsHandlesDraw(w, item, &points, kTonePointGray);
        case kEditorPointValues:
            return TonePointsValuesDraw(w, item, &points);
        case kEditorCurveArrow:
            return CurveArrowDraw(w, item, 1);
        case kEditorCurve:
            return CurveViewDraw(w, item, &es->editPars);
        case kEditorHueRing:
            return HueRingDraw(w, item, es);
        case kEditorHueBefore:
            return HueValueDraw(w, item, es, kHueBefore);
        case kEditorHueAfter:
            return HueValueDraw(w, item, es, kHueAfter);
        case kEditorHueBrightnessValue:
            return HueSliderValueDraw(w, item, es, kHueBrightness);
        case kEditorHueSaturationValue:
            return HueSliderValueDraw(w, item, es, kHueSaturation);
        case kEditorHueBrightnessSlider:
            return HueSliderDraw(w, item, es, kHueBrightness, 0);
        case kEditorHueSaturationSlider:
            return HueSliderDraw(w, item, es, kHueSaturation, 0);
        case kEditorMemoryColorInfo:
            return MemoryInfoDraw(w, item, es, s->slots, s->infoSubject);
        case kEditorEyedropper:
            return EyedropperDraw(w, item, 1);
        case kEditorReadouts: {
            const ReadoutColumn columns[kReadoutColumns] = {
                {1, {0.62f, 0.48f, 0.40f}, {0.58f, 0.50f, 0.47f}},
                {1, {0.20f, 0.26f, 0.35f}, {0.24f, 0.25f, 0.27f}},
                {0, {}, {}}};
            return ReadoutsDraw(w, item, kReadoutRgb, columns);
        }
        default:
            break;
    }
    // The brightness tab's sliders and boxes: 47/48 .. 59/60 in threes.
    if (47 <= item && item <= 60 && (item - 47) % 3 != 2) {
        const int32_t slider = (item - 47) / 3;
        ToneSliderGet(&es->editPars, slider, &x);
        return (item - 47) % 3 == 0 ? ParamSliderDraw(w, item, x, 0) : ToneValueBoxDraw(w, item, x);
    }
    return 0;
}

int32_t Init(UiWindow* w) {
    Scene* s = Of(w);
    const int16_t drawn[] = {6,  7,  17, 18, 20, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                             31, 32, 33, 42, 43, 44, 47, 48, 50, 51, 53, 54, 56, 57,
                             59, 60, 61, 62, 63, 64, 65, 67, 68, 70, 71, 82, 90};
    for (int16_t item : drawn) Ui_Dlg_SetDrawProc(w, item, DrawItem);
    for (int16_t item = 18; item <= 82; ++item) Ui_Item_Show(w, item, 0);
    for (int16_t item : s->shown) Ui_Item_Show(w, item, 1);
    return 0;
}

// The track proc of the ring, as the window routes the phases: the press picks and activates a
// handle, every later phase moves it.
int32_t TrackRing(UiWindow* w, int16_t item, int16_t phase) {
    Scene* s = Of(w);
    Ui_Dlg* d = nullptr;
    Ui_Rect r;
    if (s == nullptr || Ui_Dlg_Get(w, &d) != 0 || Ui_Item_GetRect(w, item, &r) != 0) return 0;
    const Ui_Point p{d->mouseV, d->mouseH};
    static HueRingHitResult hit{-1, kHueBefore};
    if (phase == kUiTrackBegin) {
        HueRingHit(&r, p, s->es, &hit);
        if (hit.handle < 0) return 0;
        HueRingActivate(s->es, hit.handle, nullptr);
        return 1;
    }
    HueRingDrag(&r, p, &hit, s->es, nullptr);
    // The ring and everything that shows the active pair.
    const int16_t shown[] = {item,
                             kEditorHueBefore,
                             kEditorHueAfter,
                             kEditorHueBrightnessValue,
                             kEditorHueBrightnessSlider,
                             kEditorHueSaturationValue,
                             kEditorHueSaturationSlider};
    for (int16_t i : shown) Ui_Item_Invalidate(w, i);
    return 1;
}

int32_t InitTracked(UiWindow* w) {
    Init(w);
    return Ui_Dlg_SetTrackProc(w, TrackRing);
}

using ui_harness::Binding;

class ToolShots : public testing_support::PlatformTest,
                  public testing::WithParamInterface<Binding> {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ASSERT_EQ(ui_harness::Install(GetParam()), 0) << ui_harness::Name(GetParam());
        ASSERT_EQ(Ui_State_Open(&state_, Res_ModuleArchive(), nullptr, 1000, 0), 0);
        ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
        // A scene with something to show on every tab.
        const float warm[2][3] = {{0.32f, 0.27f, 0.22f}, {0.74f, 0.70f, 0.62f}};
        for (const auto& c : warm) ASSERT_EQ(HgAddBalanceColour(&es_->editPars, c), 0);
        es_->balanceSlider[0] = 0.62f;
        es_->balanceSlider[1] = 0.45f;
        es_->balanceSlider[2] = 0.38f;
        es_->editPars.blackPoint = 0.06f;
        es_->editPars.grayPoint = 0.46f;
        es_->editPars.whitePoint = 0.93f;
        es_->editPars.brightness = 0.6f;
        es_->editPars.contrast = 0.57f;
        es_->editPars.highlight = 0.44f;
        es_->editPars.saturation = 0.55f;
        es_->activeHandle = 1;
        es_->editPars.hue[1].baseHue = 38.0f;
        es_->editPars.hue[1].hueShift = -8.0f;
        es_->editPars.hue[1].saturation = 0.68f;
        es_->editPars.hue[1].brightness = 0.56f;
        es_->editPars.hue[4].hueShift = 18.0f;
        es_->editPars.hue[4].saturation = 0.35f;
    }
    void TearDown() override {
        Ui_State_Close(&state_);
        Ui_Framework_Uninstall();
        PlatformTest::TearDown();
    }
    std::unique_ptr<Scene> MakeScene(int32_t tab, std::vector<int16_t> shown,
                                     int32_t infoSubject = kMemoryInfoNothing) {
        auto scene = std::make_unique<Scene>();
        scene->es = es_.get();
        MemoryColorsSetDefaults(scene->slots);
        // A photograph's luminance: a broad hill of mid tones and a narrow one of highlights.
        for (int i = 0; i < 256; ++i) {
            const double a = (i - 96) / 40.0, b = (i - 200) / 12.0;
            scene->histogram[i] = uint32_t(1000.0 * std::exp(-a * a) + 600.0 * std::exp(-b * b) +
                                           40.0 + 30.0 * ((i * 37) % 7));
        }
        scene->tab = tab;
        scene->infoSubject = infoSubject;
        scene->shown = std::move(shown);
        return scene;
    }
    void Take(const std::string& name, int32_t tab, std::vector<int16_t> shown,
              int32_t infoSubject = kMemoryInfoNothing) {
        auto scene = MakeScene(tab, std::move(shown), infoSubject);
        const std::string file = std::string(ui_harness::Name(GetParam())) + "_" + name;
        ui_harness::Capture capture;
        const auto r =
            ui_harness::Run(GetParam(), state_, kDlgEditor, Init, scene.get(),
                            {ui_harness::Wait(200), ui_harness::Do([&](UiWindow* w) {
                                 EXPECT_FALSE(ui_harness::Shoot(w, file, &capture).empty()) << file;
                             })});
        EXPECT_FALSE(r.guardFired) << name;
        EXPECT_GT(capture.width, 600) << name;
    }
    UiState* state_ = nullptr;
    std::unique_ptr<EditState> es_ = std::make_unique<EditState>();
};

std::vector<int16_t> Range(int16_t first, int16_t last, std::vector<int16_t> more = {}) {
    for (int16_t i = first; i <= last; ++i) more.push_back(i);
    return more;
}

TEST_P(ToolShots, EveryTabsToolItems) {
    Take("tools_tab0_neutrals.png", 0, Range(18, 21, {40, 41}));
    Take("tools_tab0_two_sliders.png", 0, Range(22, 27, {40, 41}));
    Take("tools_tab0_three_sliders.png", 0, Range(28, 39, {40, 41}));
    Take("tools_tab1_points.png", 1, Range(42, 44));
    Take("tools_tab2_tone_curve.png", 2, Range(45, 62));
    Take("tools_tab3_hue.png", 3, Range(63, 82), 0);
    Take("tools_tab3_hue_nothing.png", 3, Range(63, 82), kMemoryInfoNothing);
}

// The two view icons show their pictures: the four tool squares filled for the combined view,
// the first alone for the current-tool view.
TEST_P(ToolShots, TheViewIconsShowTheViewTheyStandFor) {
    if (GetParam() != Binding::kFltk) GTEST_SKIP() << "the headless canvas draws no controls";
    auto scene = MakeScene(0, {kEditorCombinedView, kEditorToolView});
    ui_harness::Capture capture;
    Ui_Rect combined{}, tool{};
    const auto r = ui_harness::Run(
        GetParam(), state_, kDlgEditor, Init, scene.get(),
        {ui_harness::Wait(200), ui_harness::Do([&](UiWindow* w) {
             Ui_Item_GetRect(w, kEditorCombinedView, &combined);
             Ui_Item_GetRect(w, kEditorToolView, &tool);
             EXPECT_FALSE(ui_harness::Shoot(w, "fltk_view_icons.png", &capture).empty());
         })});
    EXPECT_FALSE(r.guardFired);
    auto blue = [](uint8_t red, uint8_t, uint8_t b) { return b > 170 && red < 110; };
    auto green = [](uint8_t red, uint8_t g, uint8_t b) { return g > 130 && red < 100 && b < 120; };
    auto orange = [](uint8_t red, uint8_t g, uint8_t b) { return red > 200 && g > 110 && b < 80; };
    // Each filled square shows at least its 3 x 3 inside.
    EXPECT_GE(capture.Count(combined, blue), 9);
    EXPECT_GE(capture.Count(combined, orange), 9);
    EXPECT_GE(capture.Count(combined, green), 9);
    EXPECT_GE(capture.Count(tool, blue), 9);
    EXPECT_EQ(capture.Count(tool, orange), 0);
    EXPECT_EQ(capture.Count(tool, green), 0);
}

TEST_P(ToolShots, ADragOnTheHueRingStopsAtTheNeighboursLimit) {
    // Handle 2 of a fresh ring: After at 120 degrees, its neighbours' After hues at 60 and 180.
    ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
    auto scene = MakeScene(3, Range(63, 82));
    // The ring's size follows the font; a first run measures it.
    Ui_Rect r{};
    ui_harness::Run(GetParam(), state_, kDlgEditor, Init, scene.get(),
                    {ui_harness::Do([&](UiWindow* w) { Ui_Item_GetRect(w, kEditorHueRing, &r); })});
    HueRingGeometry g{};
    ASSERT_EQ(HueRingLayout(&r, &g), 0);
    // Offsets from the item's centre, which is the ring's.
    auto dv = [&](double degrees) {
        return int(std::lround(-g.afterRadius * std::sin(degrees * 3.14159265358979 / 180)));
    };
    auto dh = [&](double degrees) {
        return int(std::lround(g.afterRadius * std::cos(degrees * 3.14159265358979 / 180)));
    };
    double halfway = -1;
    const auto result = ui_harness::Run(
        GetParam(), state_, kDlgEditor, InitTracked, scene.get(),
        {ui_harness::Press(kEditorHueRing, dv(120), dh(120)),
         ui_harness::DragTo(kEditorHueRing, dv(150), dh(150)),
         ui_harness::DragTo(kEditorHueRing, dv(160), dh(160)),
         ui_harness::Do([&](UiWindow*) { halfway = HueHandleAngle(&es_->editPars, 2, kHueAfter); }),
         ui_harness::DragTo(kEditorHueRing, dv(200), dh(200)),
         ui_harness::Release(kEditorHueRing, dv(200), dh(200)),
         ui_harness::Shot(std::string(ui_harness::Name(GetParam())) + "_tools_hue_dragged.png")});
    EXPECT_FALSE(result.guardFired);
    EXPECT_EQ(es_->activeHandle, 2);
    EXPECT_NEAR(halfway, 160, 1.5);
    EXPECT_NEAR(HueHandleAngle(&es_->editPars, 2, kHueAfter), 175, 1e-3);
    EXPECT_NEAR(es_->editPars.hue[2].baseHue, 120, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Bindings, ToolShots, testing::Values(Binding::kHeadless, Binding::kFltk),
                         [](const testing::TestParamInfo<Binding>& which) {
                             return std::string(ui_harness::Name(which.param));
                         });

}  // namespace
