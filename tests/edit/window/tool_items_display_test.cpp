// The tool items of the editing window on a real window: the editor dialog is opened through the
// FLTK binding under a virtual X server with every tool item drawn by its component and the
// items of one tab (or balance method) shown, read back from the screen and written as a PNG
// file for people to look at. The window's own code is not used: the harness only registers the
// draw procedures and shows the tab's items, so what the pictures judge is the drawing.
#include <png.h>
#include <sys/stat.h>

#include <FL/Fl.H>

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
#include "platform/resources.h"
#include "platform/ui/binding.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/fltk/fltk.h"
#include "platform/ui_state.h"
#include "resources/ids/dlg1000.h"
#include "tests/platform/test_support.h"

#ifndef KOLMARA_SHOTS_OUT
#define KOLMARA_SHOTS_OUT "."
#endif

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
    bool taken = false;
    int width = 0, height = 0;
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

void WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        FAIL() << "libpng failed on " << path;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, const_cast<uint8_t*>(rgb.data() + size_t(y) * size_t(width) * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

struct Grab {
    UiState* state;
    Scene* scene;
    static void Fire(void* data) {
        auto* g = static_cast<Grab*>(data);
        auto* w = static_cast<UiWindow*>(g->state->parentWindow);
        Ui_Dlg* d = nullptr;
        if (Ui_Dlg_Get(w, &d) != 0) return;
        int32_t width = 0, height = 0;
        Ui_Fltk_ReadPixels(w, nullptr, 0, &width, &height);
        std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
        if (Ui_Fltk_ReadPixels(w, rgb.data(), int32_t(rgb.size()), &width, &height) == 0) {
            mkdir(KOLMARA_SHOTS_OUT, 0755);
            WritePng(std::string(KOLMARA_SHOTS_OUT) + "/" + g->scene->name, rgb, width, height);
            g->scene->taken = true;
            g->scene->width = width;
            g->scene->height = height;
        }
        d->itemHit = kEditorCancel;
        Ui_Dlg_End(w);
    }
};

class ToolShots : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ASSERT_EQ(Ui_Fltk_Install(), 0) << "no X display: run under xvfb-run";
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
    void Take(const std::string& name, int32_t tab, std::vector<int16_t> shown,
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
        scene->name = name;
        Grab grab{state_, scene.get()};
        Fl::add_timeout(0.6, Grab::Fire, &grab);
        int16_t item = 0;
        EXPECT_EQ(Ui_Dlg_Run(state_, kDlgEditor, nullptr, Init, scene.get(), &item), 0);
        Fl::remove_timeout(Grab::Fire, &grab);
        EXPECT_TRUE(scene->taken) << name;
        EXPECT_GT(scene->width, 600) << name;
    }
    UiState* state_ = nullptr;
    std::unique_ptr<EditState> es_ = std::make_unique<EditState>();
};

std::vector<int16_t> Range(int16_t first, int16_t last, std::vector<int16_t> more = {}) {
    for (int16_t i = first; i <= last; ++i) more.push_back(i);
    return more;
}

TEST_F(ToolShots, EveryTabsToolItems) {
    Take("tools_tab0_neutrals.png", 0, Range(18, 21, {40, 41}));
    Take("tools_tab0_two_sliders.png", 0, Range(22, 27, {40, 41}));
    Take("tools_tab0_three_sliders.png", 0, Range(28, 39, {40, 41}));
    Take("tools_tab1_points.png", 1, Range(42, 44));
    Take("tools_tab2_tone_curve.png", 2, Range(45, 62));
    Take("tools_tab3_hue.png", 3, Range(63, 82), 0);
    Take("tools_tab3_hue_nothing.png", 3, Range(63, 82), kMemoryInfoNothing);
}

}  // namespace
