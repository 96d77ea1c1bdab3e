// The hue ring: which handle a press takes, the limits and the wrap of drags, the active pair,
// the value boxes of the active handle, and the drawing read back from the headless canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "edit/edit_state.h"
#include "edit/window/hue_ring.h"
#include "platform/ui/controls.h"
#include "platform/ui/dlg.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

constexpr double kPi = 3.14159265358979323846;

class HueRing : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0); }
    // The pixel at an angle and a distance from the centre of the ring.
    Ui_Point PointAt(double degrees, double radius) const {
        HueRingGeometry g;
        HueRingLayout(&ring_, &g);
        const double a = degrees * kPi / 180.0;
        return Ui_Point{int16_t(std::lround(g.cy - radius * std::sin(a) - 0.5)),
                        int16_t(std::lround(g.cx + radius * std::cos(a) - 0.5))};
    }
    HueRingHitResult Hit(double degrees, double radius) const {
        HueRingHitResult hit{-7, -7};
        EXPECT_EQ(HueRingHit(&ring_, PointAt(degrees, radius), es_.get(), &hit), 0);
        return hit;
    }
    // Drags a handle to an angle and answers whether anything changed.
    uint8_t DragTo(int32_t handle, int32_t kind, double degrees) {
        HueRingGeometry g;
        HueRingLayout(&ring_, &g);
        const HueRingHitResult hit{handle, kind};
        const double radius = kind == kHueAfter ? g.afterRadius : g.beforeRadius;
        uint8_t changed = 9;
        EXPECT_EQ(HueRingDrag(&ring_, PointAt(degrees, radius), &hit, es_.get(), &changed), 0);
        return changed;
    }
    double Before(int32_t i) const { return HueHandleAngle(&es_->editPars, i, kHueBefore); }
    double After(int32_t i) const { return HueHandleAngle(&es_->editPars, i, kHueAfter); }

    // The template's ring at the classic font: 180 x 195 pixels, scale 1.
    const Ui_Rect ring_ = Ui_Rect_Make(100, 600, 295, 780);
    std::unique_ptr<EditState> es_ = std::make_unique<EditState>();
};

TEST_F(HueRing, APressTakesBeforeInsideAndAfterOutsideTheSplitAtTheNearestAngle) {
    // Fresh handles stand at 0, 60, ..., 300 with no shift.
    HueRingHitResult hit = Hit(60, 35);
    EXPECT_EQ(hit.handle, 1);
    EXPECT_EQ(hit.kind, kHueBefore);
    hit = Hit(63, 75);
    EXPECT_EQ(hit.handle, 1);
    EXPECT_EQ(hit.kind, kHueAfter);
    EXPECT_EQ(Hit(240, 56).kind, kHueAfter);  // just outside the 54-pixel split
    EXPECT_EQ(Hit(240, 52).kind, kHueBefore);
    EXPECT_EQ(Hit(240, 52).handle, 4);
    EXPECT_EQ(Hit(358, 35).handle, 0);  // across 0 degrees
    EXPECT_EQ(Hit(30, 35).handle, -1);  // between two handles
    EXPECT_EQ(Hit(0, 2).handle, -1);    // the centre
    EXPECT_EQ(Hit(0, 120).handle, -1);  // beyond the After handles

    // Two After handles on top of each other: the active pair keeps the press.
    es_->editPars.hue[2].hueShift = -60.0f;  // handle 2's After at 60, with handle 1's
    es_->activeHandle = 2;
    EXPECT_EQ(Hit(60, 75).handle, 2);
    es_->activeHandle = 1;
    EXPECT_EQ(Hit(60, 75).handle, 1);
    HueRingHitResult none;
    EXPECT_EQ(HueRingHit(&ring_, PointAt(0, 30), nullptr, &none), -1);
}

TEST_F(HueRing, DragsStopFiveDegreesInsideTheNeighboursAndWrapAt360) {
    // After handle 1 between the After hues 0 and 120.
    EXPECT_EQ(DragTo(1, kHueAfter, 90), 1);
    EXPECT_NEAR(After(1), 90, 0.6);
    EXPECT_NEAR(es_->editPars.hue[1].hueShift, 30, 0.6);
    DragTo(1, kHueAfter, 150);
    EXPECT_NEAR(After(1), 115, 1e-3);
    DragTo(1, kHueAfter, 359);  // nearer the lower limit than the upper one
    EXPECT_NEAR(After(1), 5, 1e-3);
    EXPECT_NEAR(es_->editPars.hue[1].hueShift, -55, 1e-3);
    EXPECT_NEAR(Before(1), 60, 1e-3);

    // Before handle 0 between 300 and 60, over 0 degrees; its After handle stays at 0.
    EXPECT_EQ(DragTo(0, kHueBefore, 340), 1);
    EXPECT_NEAR(Before(0), 340, 0.6);
    EXPECT_NEAR(After(0), 0, 1e-3);
    EXPECT_NEAR(es_->editPars.hue[0].hueShift, 20, 0.6);
    DragTo(0, kHueBefore, 290);
    EXPECT_NEAR(Before(0), 305, 1e-3);
    DragTo(0, kHueBefore, 100);
    EXPECT_NEAR(Before(0), 55, 1e-3);
    EXPECT_NEAR(es_->editPars.hue[0].hueShift, -55, 1e-3);
    EXPECT_GE(es_->editPars.hue[0].baseHue, 0.0f);
    EXPECT_LT(es_->editPars.hue[0].baseHue, 360.0f);

    // An After handle outside its limits (stored so) is brought inside when its Before moves.
    es_->editPars.hue[3].hueShift = 70.0f;  // After at 250, past handle 4's at 240
    DragTo(3, kHueBefore, 185);
    EXPECT_NEAR(Before(3), 185, 0.6);
    EXPECT_NEAR(After(3), 235, 1e-3);

    // No room between the neighbours (8 degrees apart): nothing moves.
    es_->editPars.hue[4].baseHue = 262.0f;
    es_->editPars.hue[0].baseHue = 270.0f;
    const HueHandle before = es_->editPars.hue[5];
    EXPECT_EQ(DragTo(5, kHueBefore, 200), 0);
    EXPECT_EQ(es_->editPars.hue[5].baseHue, before.baseHue);

    double angle = -1;
    EXPECT_EQ(HueLimitAngle(100, 105, 50, &angle), -9);
    EXPECT_EQ(angle, -1);
    ASSERT_EQ(HueLimitAngle(350, 20, 3, &angle), 0);
    EXPECT_NEAR(angle, 3, 1e-9);
    HueLimitAngle(350, 20, 17, &angle);
    EXPECT_NEAR(angle, 15, 1e-9);
    HueLimitAngle(350, 20, 300, &angle);
    EXPECT_NEAR(angle, 355, 1e-9);
    const HueRingHitResult noHandle{-1, kHueBefore};
    EXPECT_EQ(HueRingDrag(&ring_, PointAt(0, 30), &noHandle, es_.get(), nullptr), -1);
}

TEST_F(HueRing, TheActivePairCarriesItsValuesAndSamples) {
    es_->editPars.hue[3].colorId = 2;
    es_->editPars.hue[3].hueBin[7].count = 4;
    uint8_t changed = 0;
    ASSERT_EQ(HueRingActivate(es_.get(), 3, &changed), 0);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(es_->activeHandle, 3);
    EXPECT_EQ(es_->activeColorId, 2);
    EXPECT_EQ(es_->activeHandleHasSamples, 1);
    HueRingActivate(es_.get(), 3, &changed);
    EXPECT_EQ(changed, 0);
    HueRingActivate(es_.get(), 4, &changed);
    EXPECT_EQ(es_->activeHandleHasSamples, 0);
    EXPECT_EQ(HueRingActivate(es_.get(), 6, &changed), -1);

    auto hue = [&](int32_t kind) {
        char text[8];
        HueValueText(es_.get(), kind, text, sizeof text);
        return std::string(text);
    };
    es_->editPars.hue[4].baseHue = 350.0f;
    es_->editPars.hue[4].hueShift = 15.0f;
    EXPECT_EQ(hue(kHueBefore), "350");
    EXPECT_EQ(hue(kHueAfter), "5");
    es_->editPars.hue[4].baseHue = 359.6f;
    EXPECT_EQ(hue(kHueBefore), "0");
    es_->editPars.hue[4].baseHue = 10.0f;
    es_->editPars.hue[4].hueShift = -30.0f;
    EXPECT_EQ(hue(kHueAfter), "340");

    // The brightness and saturation of the active handle only.
    ASSERT_EQ(HueSliderSet(es_.get(), kHueSaturation, 0.73f), 0);
    EXPECT_FLOAT_EQ(es_->editPars.hue[4].saturation, 0.73f);
    EXPECT_FLOAT_EQ(es_->editPars.hue[3].saturation, 0.5f);
    HueSliderSet(es_.get(), kHueBrightness, 3.0f);
    float x = 0;
    HueSliderGet(es_.get(), kHueBrightness, &x);
    EXPECT_FLOAT_EQ(x, 1.0f);
    auto box = [](float value) {
        char text[8];
        HueSliderText(value, text, sizeof text);
        return std::string(text);
    };
    EXPECT_EQ(box(0.5f), "0");
    EXPECT_EQ(box(0.73f), "+23");
    EXPECT_EQ(box(0.2f), "-30");
    EXPECT_EQ(box(1.0f), "+50");
}

class HueRingDrawing : public UiTest {};

TEST_F(HueRingDrawing, HandlesShowTheirColoursAndTheActiveBeforeHandleItsDot) {
    auto es = std::make_unique<EditState>();
    ASSERT_EQ(EditStateInit(es.get(), nullptr), 0);
    es->activeHandle = 2;
    es->editPars.hue[4].hueShift = 20.0f;  // After at 260
    auto script = Call([&](UiWindow* w) {
        Ui_Rect r;
        HueRingGeometry g;
        ASSERT_EQ(Ui_Item_GetRect(w, kEditorHueRing, &r), 0);
        ASSERT_EQ(HueRingLayout(&r, &g), 0);
        ASSERT_EQ(HueRingDraw(w, kEditorHueRing, es.get()), 0);
        auto pixel = [&](double degrees, double radius) {
            const double a = degrees * kPi / 180.0;
            return Ui_Headless_Pixel(Ui_Headless_Window(w),
                                     int32_t(std::floor(g.cy - radius * std::sin(a))),
                                     int32_t(std::floor(g.cx + radius * std::cos(a))));
        };
        // The Before handle of 0 degrees is red, of 180 cyan; the active one (120) has its dot.
        const Ui_RGB red = pixel(0, g.beforeRadius + 3);
        EXPECT_GT(red.r, 200);
        EXPECT_LT(red.g + red.b, 60);
        const Ui_RGB cyan = pixel(180, g.beforeRadius + 3);
        EXPECT_LT(cyan.r, 60);
        EXPECT_GT(cyan.g + cyan.b, 400);
        const Ui_RGB dot = pixel(120, g.beforeRadius);
        EXPECT_LT(dot.r + dot.g + dot.b, 60);
        const Ui_RGB plain = pixel(60, g.beforeRadius);
        EXPECT_GT(plain.r + plain.g, 300);  // yellow: no dot
        // The After handle stands at its own hue, outside.
        const Ui_RGB after = pixel(260, g.afterRadius);
        EXPECT_GT(after.b, 200);
        EXPECT_LT(after.g, 60);
        // The wheel between them.
        const Ui_RGB wheel = pixel(90, (g.bandInner + g.bandOuter) / 2);
        EXPECT_GT(wheel.g, 200);
        EXPECT_LT(wheel.b, 60);
        EXPECT_EQ(HueValueDraw(w, kEditorHueBefore, es.get(), kHueBefore), 0);
        EXPECT_EQ(HueSliderDraw(w, kEditorHueBrightnessSlider, es.get(), kHueBrightness, 0), 0);
        EXPECT_EQ(HueSliderValueDraw(w, kEditorHueBrightnessValue, es.get(), kHueSaturation), 0);
    });
    int16_t item = 0;
    ASSERT_EQ(Run(kDlgEditor, nullptr, nullptr, {script, Click(kEditorCancel)}, &item), 0);
}

}  // namespace
