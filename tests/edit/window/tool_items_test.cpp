// The tool items of the editing window that edit one parameter each: the tab bar, the
// colour-cast sliders, the brightness tab's sliders and the black, grey and white points.
// Geometry and value mapping are checked as plain functions; drawing through the real editor
// dialog on the headless binding, read back from its canvas.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include <cmath>
#include <memory>
#include <string>

#include "edit/edit_state.h"
#include "edit/window/cast_sliders.h"
#include "edit/window/slider.h"
#include "edit/window/tab_bar.h"
#include "edit/window/tone_points.h"
#include "edit/window/tone_sliders.h"
#include "edit/window/tool_panel.h"
#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "platform/ui/controls.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

Ui_Point At(int32_t v, int32_t h) {
    return Ui_Point{int16_t(v), int16_t(h)};
}

TEST(TabBar, ThePressPicksTheTabByItsOffsetScaledWithTheBar) {
    // The template's bar (297 pixels) uses the offsets as they are.
    const Ui_Rect bar = Ui_Rect_Make(60, 592, 84, 592 + 297);
    const int32_t expected[][2] = {{0, 0},   {65, 0},  {66, 1},  {124, 1},
                                   {125, 2}, {183, 2}, {184, 3}, {296, 3}};
    for (const auto& e : expected) {
        int32_t tab = -1;
        ASSERT_EQ(TabBarHit(&bar, At(70, 592 + e[0]), &tab), 0);
        EXPECT_EQ(tab, e[1]) << "x " << e[0];
    }
    // Twice as wide: the boundaries double.
    const Ui_Rect wide = Ui_Rect_Make(0, 0, 24, 594);
    int32_t tab = -1;
    TabBarHit(&wide, At(5, 131), &tab);
    EXPECT_EQ(tab, 0);
    TabBarHit(&wide, At(5, 132), &tab);
    EXPECT_EQ(tab, 1);
    TabBarHit(&wide, At(5, 367), &tab);
    EXPECT_EQ(tab, 2);
    TabBarHit(&wide, At(5, 368), &tab);
    EXPECT_EQ(tab, 3);
    // Each tab is drawn over the columns that pick it.
    for (int32_t t = 0; t < kTabCount; ++t) {
        Ui_Rect r;
        ASSERT_EQ(TabBarTabRect(&bar, t, &r), 0);
        int32_t hit = -1;
        TabBarHit(&bar, At(r.top + 2, r.left), &hit);
        EXPECT_EQ(hit, t);
        TabBarHit(&bar, At(r.top + 2, r.right - 1), &hit);
        EXPECT_EQ(hit, t);
    }
    Ui_Rect r;
    EXPECT_EQ(TabBarTabRect(&bar, 4, &r), -1);
    const Ui_Rect empty = Ui_Rect_Make(0, 0, 0, 0);
    EXPECT_EQ(TabBarHit(&empty, At(0, 0), &tab), -1);
}

TEST(CastSliders, PointerOffsetsGivePositionsAndValueBoxesByTheMethodsFormulas) {
    // The three-slider method's slider in the template: 130 units, 195 pixels, centre at 97.
    const Ui_Rect r = Ui_Rect_Make(0, 100, 18, 295);
    const int32_t centre = 100 + 97;
    auto text = [](int32_t slider, float t) {
        char s[16];
        CastValueText(slider, t, s, sizeof s);
        return std::string(s);
    };
    float t = -1;
    ASSERT_EQ(CastSliderPositionAt(&r, At(5, centre), &t), 0);
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_EQ(text(kCastCyanRed, t), "0");
    // 29 pixels left of the centre of a 97-pixel half: v = round(-29.9) = -30.
    CastSliderPositionAt(&r, At(5, centre - 29), &t);
    EXPECT_FLOAT_EQ(t, 0.35f);
    EXPECT_EQ(text(kCastMagentaGreen, t), "-30");
    CastSliderPositionAt(&r, At(5, centre + 97), &t);
    EXPECT_FLOAT_EQ(t, 1.0f);
    EXPECT_EQ(text(kCastYellowBlue, t), "+100");
    CastSliderPositionAt(&r, At(5, 0), &t);  // far past the left end
    EXPECT_FLOAT_EQ(t, 0.0f);
    EXPECT_EQ(text(kCastCyanRed, t), "-100");
    EXPECT_EQ(text(kCastCyanRed, 0.505f), "+1");

    // The two-slider boxes show the distance from the centre with its side, and never "+0".
    EXPECT_EQ(text(kCastTemperature, 0.7f), "+40");
    EXPECT_EQ(text(kCastTint, 0.4f), "-20");
    EXPECT_EQ(text(kCastTint, 0.5f), "0");
    EXPECT_EQ(text(kCastTemperature, 0.501f), "0");
    EXPECT_EQ(text(kCastTemperature, 0.499f), "0");
    EXPECT_EQ(CastSliderPositionAt(&r, At(0, 0), nullptr), -1);
}

class CastSliderState : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0); }
    int32_t Samples() const {
        int32_t n = 0;
        for (const SampleBin& b : es_->editPars.balBin) n += b.count;
        return n;
    }
    std::unique_ptr<EditState> es_ = std::make_unique<EditState>();
};

TEST_F(CastSliderState, EveryMoveReplacesTheBalanceByOneSampleOfTheThreePositions) {
    // Neutrals marked earlier are replaced by the sliders' one sample.
    const float marked[3] = {0.4f, 0.5f, 0.6f};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(HgAddBalanceColour(&es_->editPars, marked), 0);
    ASSERT_EQ(Samples(), 3);

    ASSERT_EQ(CastSliderMove(es_.get(), kCastTemperature, 0.7f), 0);
    EXPECT_FLOAT_EQ(es_->balanceSlider[0], 0.7f);
    EXPECT_FLOAT_EQ(es_->balanceSlider[1], 0.5f);
    EXPECT_FLOAT_EQ(es_->balanceSlider[2], 0.3f);  // t_B = 1 - t_R
    EXPECT_EQ(Samples(), 1);
    // The sample is the complement of the positions: a slightly cyan-blue colour to make grey.
    double sum[3] = {0, 0, 0};
    for (const SampleBin& b : es_->editPars.balBin) {
        for (int c = 0; c < 3; ++c) sum[c] += b.sum[c];
    }
    EXPECT_LT(sum[0], sum[1]);
    EXPECT_GT(sum[2], sum[1]);

    ASSERT_EQ(CastSliderMove(es_.get(), kCastTint, 0.25f), 0);
    EXPECT_FLOAT_EQ(es_->balanceSlider[0], 0.7f);  // the other positions survive the reset
    EXPECT_FLOAT_EQ(es_->balanceSlider[1], 0.25f);
    EXPECT_FLOAT_EQ(es_->balanceSlider[2], 0.3f);
    EXPECT_EQ(Samples(), 1);

    ASSERT_EQ(CastSliderMove(es_.get(), kCastYellowBlue, 7.0f), 0);  // held within 0..1
    EXPECT_FLOAT_EQ(es_->balanceSlider[2], 1.0f);
    float shown = 0;
    ASSERT_EQ(CastSliderPosition(es_.get(), kCastTemperature, &shown), 0);
    EXPECT_FLOAT_EQ(shown, 0.7f);
    EXPECT_EQ(CastSliderMove(es_.get(), kCastSliderCount, 0.5f), -1);
    EXPECT_EQ(CastSliderMove(nullptr, kCastTint, 0.5f), -1);
}

// A balance the sliders did not make (neutrals marked, a warm and a cool one, over the tonal
// range) gets positions whose one sample corrects the middle greys as it did: a touch of a slider
// adjusts the correction instead of throwing it away. The record itself is not touched.
TEST_F(CastSliderState, PositionsFollowABalanceTheSlidersDidNotMake) {
    const float warmDark[3] = {0.32f, 0.25f, 0.2f}, warmLight[3] = {0.8f, 0.7f, 0.62f};
    ASSERT_EQ(HgAddBalanceColour(&es_->editPars, warmDark), 0);
    ASSERT_EQ(HgAddBalanceColour(&es_->editPars, warmLight), 0);
    const EditPars marked = es_->editPars;
    auto middleGrey = [](EditPars p) {
        const float grey[3] = {0.5f, 0.5f, 0.5f};
        std::array<float, 3> out{};
        EXPECT_EQ(HgEvalColour(&p, kEditLinear | kEditBalance, grey, out.data()), 0);
        return out;
    };
    const std::array<float, 3> wanted = middleGrey(marked);
    ASSERT_GT(wanted[2] - wanted[0], 0.05f) << "the balance cools the greys";

    ASSERT_EQ(CastPositionsFollowBalance(es_.get()), 0);
    EXPECT_EQ(std::memcmp(&marked, &es_->editPars, sizeof marked), 0);
    EXPECT_GT(es_->balanceSlider[2], es_->balanceSlider[0]);  // towards blue, away from red
    // A touch: the green slider moved to where it stands.
    ASSERT_EQ(CastSliderMove(es_.get(), kCastMagentaGreen, es_->balanceSlider[1]), 0);
    const std::array<float, 3> touched = middleGrey(es_->editPars);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(touched[c], wanted[c], 0.005f) << c;

    // Positions that give the balance stay as they are, exactly; no balance is the middle.
    const float kept[3] = {es_->balanceSlider[0], es_->balanceSlider[1], es_->balanceSlider[2]};
    ASSERT_EQ(CastPositionsFollowBalance(es_.get()), 0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(es_->balanceSlider[c], kept[c]);
    ASSERT_EQ(ResetEditStatePars(es_.get(), kEditBalance), 0);
    es_->balanceSlider[0] = 0.8f;
    ASSERT_EQ(CastPositionsFollowBalance(es_.get()), 0);
    for (float t : es_->balanceSlider) EXPECT_EQ(t, 0.5f);
    EXPECT_EQ(CastPositionsFollowBalance(nullptr), -1);
}

TEST(ToneSliders, ParametersAreHeldInRangeAndBoxesShowTheOffsetFromTheMiddle) {
    EditPars pars{};
    ASSERT_EQ(ToneSliderSet(&pars, kToneContrast, 1.7f), 0);
    EXPECT_FLOAT_EQ(pars.contrast, 1.0f);
    ToneSliderSet(&pars, kToneShadows, std::nanf(""));  // not a number: no change
    EXPECT_FLOAT_EQ(pars.shadow, 0.5f);
    ToneSliderSet(&pars, kToneSaturation, -0.2f);
    EXPECT_FLOAT_EQ(pars.saturation, 0.0f);
    float x = -1;
    ToneSliderGet(&pars, kToneSaturation, &x);
    EXPECT_FLOAT_EQ(x, 0.0f);
    EXPECT_EQ(ToneSliderSet(&pars, kToneSliderCount, 0.5f), -1);
    EXPECT_EQ(ToneSliderMask(kToneHighlights), HgEditMask(kEditHighlight));

    auto text = [](float value) {
        char s[16];
        ParamOffsetText(value, s, sizeof s);
        return std::string(s);
    };
    EXPECT_EQ(text(0.5f), "0");
    EXPECT_EQ(text(0.0f), "-100");
    EXPECT_EQ(text(1.0f), "+100");
    EXPECT_EQ(text(0.62f), "+24");
    EXPECT_EQ(text(0.498f), "0");

    // A 150-pixel slider (100 units): its middle is no change, its ends the extremes.
    const Ui_Rect r = Ui_Rect_Make(0, 0, 21, 150);
    ASSERT_EQ(ParamSliderValueAt(&r, At(3, 74), &x), 0);
    EXPECT_FLOAT_EQ(x, 0.5f);
    ParamSliderValueAt(&r, At(3, 149), &x);
    EXPECT_FLOAT_EQ(x, 1.0f);
    ParamSliderValueAt(&r, At(3, 0), &x);
    EXPECT_FLOAT_EQ(x, 0.0f);
}

TEST(TonePoints, AClickSetsThePointTheRuleNames) {
    // Levels that floats hold exactly, so that the midpoints are exact too.
    const TonePoints t{0.125f, 0.5f, 0.875f};  // grey level 0.5; midpoints 0.3125 and 0.6875
    auto click = [&](double p, int32_t* point, float* value) {
        ASSERT_EQ(TonePointForClick(&t, p, point, value), 0);
    };
    int32_t point = 99;
    float value = 0;
    click(0.8, &point, &value);
    EXPECT_EQ(point, kTonePointWhite);
    EXPECT_FLOAT_EQ(value, 0.8f);
    // Exactly half-way between the grey level and the white point sets the grey point, which
    // puts the grey level at the pixel.
    click(0.6875, &point, &value);
    EXPECT_EQ(point, kTonePointGray);
    EXPECT_FLOAT_EQ(value, 0.75f);  // (0.6875 - 0.125) / 0.75
    click(0.4, &point, &value);
    EXPECT_EQ(point, kTonePointGray);
    TonePoints moved = t;
    moved.gray = value;
    EXPECT_NEAR(TonePointsGrayLevel(&moved), 0.4, 1e-6);
    click(0.3125, &point, &value);  // the lower midpoint itself goes to the black point
    EXPECT_EQ(point, kTonePointBlack);
    EXPECT_FLOAT_EQ(value, 0.3125f);
    click(0.125, &point, &value);  // the black point already stands there: nothing changes
    EXPECT_EQ(point, kTonePointNone);
    EXPECT_EQ(TonePointForClick(&t, std::nan(""), &point, &value), -1);
    const float grey[3] = {0.5f, 0.5f, 0.5f}, red[3] = {1.0f, 0.0f, 0.0f};
    EXPECT_NEAR(TonePixelBrightness(grey), 0.5, 1e-6);
    EXPECT_NEAR(TonePixelBrightness(red), 0.299, 1e-6);
}

TEST(TonePoints, HandlesAreHitWhereTheyStandAndDragsKeepThePointsInOrder) {
    const Ui_Rect r = Ui_Rect_Make(266, 601, 292, 880);  // the handles item at the template
    int32_t first = 0, last = 0;
    ASSERT_EQ(TonePointsSpan(&r, &first, &last), 0);
    EXPECT_GT(first, r.left);
    EXPECT_LT(last, r.right - 1);
    TonePoints t{0.0f, 0.5f, 1.0f};
    int32_t point = -2;
    ASSERT_EQ(TonePointsHit(&r, At(280, first), &t, &point), 0);
    EXPECT_EQ(point, kTonePointBlack);
    TonePointsHit(&r, At(280, TonePointsColumn(&r, 0.5) + 2), &t, &point);
    EXPECT_EQ(point, kTonePointGray);
    TonePointsHit(&r, At(280, last + 3), &t, &point);
    EXPECT_EQ(point, kTonePointWhite);
    TonePointsHit(&r, At(280, TonePointsColumn(&r, 0.25)), &t, &point);
    EXPECT_EQ(point, kTonePointNone);

    // The black point cannot pass the white one; the grey fraction is kept while it moves.
    uint8_t changed = 0;
    ASSERT_EQ(TonePointsDrag(&r, At(280, last + 40), kTonePointBlack, &t, &changed), 0);
    EXPECT_EQ(changed, 1);
    EXPECT_NEAR(t.black, 1.0 - 2.0 / 255.0, 1e-6);
    EXPECT_FLOAT_EQ(t.gray, 0.5f);
    // Now the grey level has less than its room on either side: it does not move.
    TonePointsDrag(&r, At(280, first), kTonePointGray, &t, &changed);
    EXPECT_EQ(changed, 0);
    EXPECT_FLOAT_EQ(t.gray, 0.5f);
    // The white point is pushed back no further than its gap above the black point.
    TonePointsDrag(&r, At(280, first), kTonePointWhite, &t, &changed);
    EXPECT_EQ(changed, 0);
    t = TonePoints{0.2f, 0.5f, 0.8f};
    TonePointsDrag(&r, At(280, first), kTonePointWhite, &t, &changed);
    EXPECT_NEAR(t.white, 0.2 + 2.0 / 255.0, 1e-6);
    // The grey handle sets the level under the pointer as a fraction of the range.
    t = TonePoints{0.2f, 0.5f, 0.8f};
    TonePointsDrag(&r, At(280, TonePointsColumn(&r, 0.35)), kTonePointGray, &t, &changed);
    EXPECT_NEAR(TonePointsGrayLevel(&t), 0.35, 1.0 / (last - first));
    TonePointsDrag(&r, At(280, last + 9), kTonePointGray, &t, &changed);
    EXPECT_NEAR(TonePointsGrayLevel(&t), 0.8 - 1.0 / 255.0, 1e-6);
    // A stored point outside 0..1 stands at the end and is still handled.
    t = TonePoints{-0.5f, 0.5f, 1.5f};
    TonePointsHit(&r, At(280, last), &t, &point);
    EXPECT_EQ(point, kTonePointWhite);
    EXPECT_EQ(TonePointsDrag(&r, At(280, first), 5, &t, &changed), -1);

    EXPECT_EQ(TonePointsClipping(kTonePointBlack, 1), kToneClipBlack);
    EXPECT_EQ(TonePointsClipping(kTonePointWhite, 1), kToneClipWhite);
    EXPECT_EQ(TonePointsClipping(kTonePointGray, 1), kToneClipNone);
    EXPECT_EQ(TonePointsClipping(kTonePointWhite, 0), kToneClipNone);
    char text[8];
    t = TonePoints{0.035f, 0.5f, 0.874f};
    TonePointsValueText(&t, kTonePointBlack, text, sizeof text);
    EXPECT_EQ(std::string(text), "4");
    TonePointsValueText(&t, kTonePointWhite, text, sizeof text);
    EXPECT_EQ(std::string(text), "87");
}

// Drawing in the editor dialog itself, run on the headless binding without the window's code.
class ToolDrawing : public UiTest {
   protected:
    void Draw(std::function<void(UiWindow*)> fn) {
        int16_t item = 0;
        ASSERT_EQ(Run(kDlgEditor, nullptr, nullptr, {Call(fn), Click(kEditorCancel)}, &item), 0);
    }
    static Ui_RGB Pixel(UiWindow* w, int32_t v, int32_t h) {
        return Ui_Headless_Pixel(Ui_Headless_Window(w), v, h);
    }
    static bool Same(Ui_RGB a, Ui_RGB b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
};

TEST_F(ToolDrawing, TheCurrentTabIsMarkedAndTheOthersAreNot) {
    Draw([](UiWindow* w) {
        Ui_Rect bar;
        ASSERT_EQ(Ui_Item_GetRect(w, kEditorTabBar, &bar), 0);
        for (int32_t current = 0; current < kTabCount; ++current) {
            ASSERT_EQ(TabBarDraw(w, kEditorTabBar, current), 0);
            for (int32_t tab = 0; tab < kTabCount; ++tab) {
                Ui_Rect r;
                TabBarTabRect(&bar, tab, &r);
                // The accent stripe along the top of the current tab only.
                const Ui_RGB p = Pixel(w, r.top + 2, (r.left + r.right) / 2);
                EXPECT_EQ(Same(p, Ui_RGB{70, 110, 170}), tab == current) << current << " " << tab;
            }
        }
        EXPECT_EQ(TabBarDraw(w, 999, 0), -2);
    });
}

TEST_F(ToolDrawing, PanelFrameOpensUnderTheCurrentTabAndViewIconsFillTheirSquares) {
    Draw([](UiWindow* w) {
        Ui_Rect frame, bar, tab, other;
        Ui_Item_GetRect(w, 90, &frame);
        Ui_Item_GetRect(w, kEditorTabBar, &bar);
        TabBarTabRect(&bar, 2, &tab);
        TabBarTabRect(&bar, 0, &other);
        ASSERT_EQ(PanelFrameDraw(w, 90, kEditorTabBar, 2), 0);
        const Ui_RGB edgeUnderTab = Pixel(w, frame.top, (tab.left + tab.right) / 2);
        const Ui_RGB edgeElsewhere = Pixel(w, frame.top, (other.left + other.right) / 2);
        EXPECT_TRUE(Same(edgeElsewhere, Ui_RGB{128, 128, 128}));
        EXPECT_FALSE(Same(edgeUnderTab, edgeElsewhere));

        Ui_Rect icon;
        Ui_Item_GetRect(w, 88, &icon);
        ASSERT_EQ(ViewIconDraw(w, 88, 0, 3), 0);
        // The squares: top left is tab 0, bottom right tab 3.
        const int32_t qv = (icon.bottom - icon.top) / 4, qh = (icon.right - icon.left) / 4;
        const Ui_RGB topLeft = Pixel(w, icon.top + qv, icon.left + qh);
        const Ui_RGB bottomRight = Pixel(w, icon.bottom - 1 - qv, icon.right - 1 - qh);
        EXPECT_TRUE(Same(bottomRight, Ui_RGB{70, 110, 170}));
        EXPECT_TRUE(Same(topLeft, Ui_RGB{255, 255, 255}));
        ViewIconDraw(w, 88, 1, 3);
        EXPECT_TRUE(Same(Pixel(w, icon.top + qv, icon.left + qh), Ui_RGB{70, 110, 170}));
    });
}

TEST_F(ToolDrawing, HistogramShadesWhatThePointsClipAndHandlesStandAtTheirLevels) {
    uint32_t histogram[256] = {};
    for (int i = 0; i < 256; ++i) histogram[i] = 1000;
    const TonePoints t{0.25f, 0.5f, 1.0f};
    Draw([&](UiWindow* w) {
        Ui_Rect plot, handles;
        Ui_Item_GetRect(w, 42, &plot);
        Ui_Item_GetRect(w, kEditorPointHandles, &handles);
        ASSERT_EQ(TonePointsHistogramDraw(w, 42, histogram, &t), 0);
        // A flat histogram fills the plot; the bars left of the black point are lighter.
        const int32_t v = (plot.top + plot.bottom) / 2;
        const Ui_RGB clipped = Pixel(w, v, TonePointsColumn(&plot, 0.1));
        const Ui_RGB kept = Pixel(w, v, TonePointsColumn(&plot, 0.6));
        EXPECT_TRUE(Same(kept, Ui_RGB{88, 92, 100}));
        EXPECT_GT(clipped.r, kept.r);
        ASSERT_EQ(TonePointsHandlesDraw(w, kEditorPointHandles, &t, kTonePointNone), 0);
        // Below the scale, the black handle's dark face stands at a quarter of the span.
        int32_t first = -1, last = -1;
        for (int32_t h = handles.left; h < handles.right; ++h) {
            if (Pixel(w, handles.top + 12, h).r >= 40) continue;
            if (first < 0) first = h;
            last = h;
        }
        ASSERT_GE(first, 0);
        EXPECT_LE(std::abs((first + last) / 2 - TonePointsColumn(&handles, 0.25)), 1);
        EXPECT_EQ(TonePointsValuesDraw(w, kEditorPointValues, &t), 0);
    });
}

}  // namespace
