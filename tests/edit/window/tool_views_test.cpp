// The tool items of the editing window that show state rather than edit it: the colour-cast
// wedge and its icon, the memory-colour information box, the curve view and the readouts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "edit/edit_state.h"
#include "edit/memory_colors.h"
#include "edit/window/cast_wedge.h"
#include "edit/window/curve_view.h"
#include "edit/window/memory_info.h"
#include "edit/window/readouts.h"
#include "engine/balance.h"
#include "engine/edit_chain.h"
#include "engine/huegrid_build.h"
#include "platform/ui/controls.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace ui_testing;

class ToolViews : public UiTest {
   protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
        MemoryColorsSetDefaults(slots_);
    }
    void Draw(std::function<void(UiWindow*)> fn) {
        int16_t item = 0;
        ASSERT_EQ(Run(kDlgEditor, nullptr, nullptr, {Call(fn), Click(kEditorCancel)}, &item), 0);
    }
    static Ui_RGB Pixel(UiWindow* w, int32_t v, int32_t h) {
        return Ui_Headless_Pixel(Ui_Headless_Window(w), v, h);
    }
    // Adds a balance sample of a colour.
    void Mark(float r, float g, float b) {
        const float rgb[3] = {r, g, b};
        ASSERT_EQ(HgAddBalanceColour(&es_->editPars, rgb), 0);
    }
    std::unique_ptr<EditState> es_ = std::make_unique<EditState>();
    MemoryColor slots_[kMemoryColorCount];
};

TEST_F(ToolViews, TheWedgeShowsTheMarkedCastLevelByLevelOverTheNeutralTarget) {
    float cast[3], target[3];
    uint8_t found = 1;
    // Nothing marked: equal greys rising from dark to light in both rows.
    ASSERT_EQ(CastWedgeCastAt(&es_->editPars, 0.5, cast, &found), 0);
    EXPECT_EQ(found, 0);
    float lastLevel = -1;
    for (int32_t i = 0; i < 10; ++i) {
        ASSERT_EQ(CastWedgeStep(es_.get(), i, 10, cast, target), 0);
        EXPECT_FLOAT_EQ(cast[0], cast[1]);
        EXPECT_FLOAT_EQ(cast[1], cast[2]);
        EXPECT_FLOAT_EQ(cast[0], target[0]);
        EXPECT_GT(cast[0], lastLevel);
        lastLevel = cast[0];
    }
    EXPECT_EQ(CastWedgeStep(es_.get(), 10, 10, cast, target), -1);

    // A warm dark neutral and a cool light one: the cast turns from warm to cool with the
    // level, half-way between them in the middle, and is held beyond them.
    Mark(0.30f, 0.20f, 0.15f);
    Mark(0.70f, 0.80f, 0.90f);
    ASSERT_EQ(CastWedgeCastAt(&es_->editPars, 0.05, cast, &found), 0);
    EXPECT_EQ(found, 1);
    EXPECT_GT(cast[0], 0.05f);
    EXPECT_LT(cast[2], 0.0f);
    float low[3], high[3], middle[3];
    CastWedgeCastAt(&es_->editPars, 0.0, low, nullptr);
    CastWedgeCastAt(&es_->editPars, 1.0, high, nullptr);
    EXPECT_GT(high[2], 0.05f);
    EXPECT_LT(high[0], 0.0f);
    // The marks' lumas lie near 0.22 and 0.79; 0.5 is about half-way.
    CastWedgeCastAt(&es_->editPars, 0.5, middle, nullptr);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(middle[c], (low[c] + high[c]) / 2, 0.03) << c;

    // The lower row follows the neutral definition: a warm definition gives warm targets.
    es_->colorDefs.neutral[0] = 0.6f;
    es_->colorDefs.neutral[2] = 0.4f;
    CastWedgeStep(es_.get(), 5, 10, cast, target);
    EXPECT_GT(target[0], target[1]);
    EXPECT_LT(target[2], target[1]);
}

TEST_F(ToolViews, TheWedgeAndIconDrawTheCastInTheirRows) {
    Mark(0.55f, 0.45f, 0.40f);  // a warm grey
    Draw([&](UiWindow* w) {
        Ui_Rect r, icon;
        Ui_Item_GetRect(w, kEditorCastWedge, &r);
        Ui_Item_GetRect(w, kEditorCastIcon, &icon);
        ASSERT_EQ(CastWedgeDraw(w, kEditorCastWedge, es_.get()), 0);
        const int32_t h = (r.left + r.right) / 2 + 3;
        const Ui_RGB cast = Pixel(w, r.top + 5, h), target = Pixel(w, r.bottom - 5, h);
        EXPECT_GT(cast.r, cast.b + 10);
        EXPECT_LE(std::abs(int(target.r) - int(target.b)), 1);
        ASSERT_EQ(CastIconDraw(w, kEditorCastIcon, es_.get()), 0);
        const Ui_RGB chip = Pixel(w, (icon.top + icon.bottom) / 2, (icon.left + icon.right) / 2);
        // Three times as strong as the wedge's step.
        EXPECT_GT(int(chip.r) - int(chip.b), 2 * (int(cast.r) - int(cast.b)));
    });
}

TEST_F(ToolViews, TheInformationBoxNamesWhatIsUnderThePointer) {
    Draw([&](UiWindow* w) {
        char first[256], second[256];
        auto title = [&](int32_t subject) {
            EXPECT_EQ(MemoryInfoTitle(w, subject, slots_, first, second), 0);
            return std::string(first) + (second[0] != 0 ? "/" + std::string(second) : "");
        };
        EXPECT_EQ(title(0), "Skin");
        EXPECT_EQ(title(2), "Blue Sky");
        EXPECT_EQ(title(4), "Undefined");
        EXPECT_EQ(title(kMemoryInfoGrayscale), "Grayscale");
        EXPECT_EQ(title(kMemoryInfoSepia), "Sepia Tone");
        EXPECT_EQ(title(kMemoryInfoNothing), "Memory/Colors");
        // A name that fills its field without a terminator is cut, not read past.
        std::memset(slots_[1].name, 'x', sizeof slots_[1].name);
        EXPECT_EQ(title(1), std::string(kMemoryColorNameSize - 1, 'x'));
        EXPECT_EQ(MemoryInfoTitle(w, 0, nullptr, first, second), -1);

        Ui_Rect r;
        Ui_Item_GetRect(w, kEditorMemoryColorInfo, &r);
        const int32_t h = (r.left + r.right) / 2, v = r.top + Ui_Rect_Height(&r) * 2 / 3;
        ASSERT_EQ(MemoryInfoDraw(w, kEditorMemoryColorInfo, es_.get(), slots_, 2), 0);
        const Ui_RGB sky = Pixel(w, v, h);
        EXPECT_GT(sky.b, sky.r + 20);
        ASSERT_EQ(MemoryInfoDraw(w, kEditorMemoryColorInfo, es_.get(), slots_, kMemoryInfoSepia),
                  0);
        const Ui_RGB sepia = Pixel(w, v, h);
        EXPECT_GT(sepia.r, sepia.b + 20);
        ASSERT_EQ(MemoryInfoDraw(w, kEditorMemoryColorInfo, es_.get(), slots_, 4), 0);
        const Ui_RGB empty = Pixel(w, v, h);
        EXPECT_EQ(empty.r + empty.g + empty.b, 3 * 255);  // no swatch for an empty slot
    });
}

TEST(MemoryColorLab, LightnessRunsTheChromaDownToTheEndsAndTurnsTheHue) {
    MemoryColor c{};
    c.defined = 1;
    c.mcChroma = 40;
    c.mcHue = 90;
    c.mcHueSlope = 0.5f;
    float lab[3];
    ASSERT_EQ(MemoryColorLabAt(&c, 50, lab), 0);
    EXPECT_NEAR(lab[1], 0, 1e-3);  // hue 90: all on b*
    EXPECT_NEAR(lab[2], 40, 1e-3);
    MemoryColorLabAt(&c, 70, lab);  // hue 100, chroma 40 * 0.04 * 70 * 0.3 = 33.6
    EXPECT_NEAR(std::hypot(lab[1], lab[2]), 33.6, 1e-3);
    EXPECT_LT(lab[1], 0);
    MemoryColorLabAt(&c, 100, lab);
    EXPECT_NEAR(std::hypot(lab[1], lab[2]), 0, 1e-3);
    c.defined = 0;
    MemoryColorLabAt(&c, 50, lab);
    EXPECT_EQ(lab[1], 0);
    EXPECT_EQ(MemoryColorLabAt(nullptr, 50, lab), -1);
}

TEST_F(ToolViews, TheCurveIsTheToneResponseOfTheTabsSettings) {
    double y = -1;
    for (double x : {0.0, 0.2, 0.5, 0.9, 1.0}) {
        ASSERT_EQ(CurveViewLevel(&es_->editPars, x, &y), 0);
        EXPECT_NEAR(y, x, 1e-4);  // nothing set: the identity
    }
    es_->editPars.brightness = 0.7f;
    CurveViewLevel(&es_->editPars, 0.5, &y);
    EXPECT_GT(y, 0.55);
    CurveViewLevel(&es_->editPars, 1.0, &y);
    EXPECT_NEAR(y, 1.0, 1e-4);
    es_->editPars.brightness = 0.5f;
    es_->editPars.contrast = 0.8f;
    double low = 0, high = 0;
    CurveViewLevel(&es_->editPars, 0.25, &low);
    CurveViewLevel(&es_->editPars, 0.75, &high);
    EXPECT_LT(low, 0.24);
    EXPECT_GT(high, 0.76);
    // Saturation leaves greys alone and is not part of the curve.
    es_->editPars.contrast = 0.5f;
    es_->editPars.saturation = 1.0f;
    CurveViewLevel(&es_->editPars, 0.3, &y);
    EXPECT_NEAR(y, 0.3, 1e-4);
    EXPECT_EQ(CurveViewLevel(nullptr, 0.3, &y), -1);

    es_->editPars.brightness = 0.8f;
    Draw([&](UiWindow* w) {
        Ui_Rect r;
        Ui_Item_GetRect(w, kEditorCurve, &r);
        ASSERT_EQ(CurveViewDraw(w, kEditorCurve, &es_->editPars), 0);
        // In the middle column the curve stands above the diagonal.
        const int32_t h = (r.left + r.right) / 2;
        int32_t curveRow = -1;
        for (int32_t v = r.top + 1; v < r.bottom - 1; ++v) {
            const Ui_RGB p = Pixel(w, v, h);
            if (p.b > p.r + 60) {
                curveRow = v;
                break;
            }
        }
        ASSERT_GE(curveRow, 0);
        EXPECT_LT(curveRow, (r.top + r.bottom) / 2 - 5);
        EXPECT_EQ(CurveArrowDraw(w, kEditorCurveArrow, 1), 0);
    });
}

TEST(Readouts, TheEyedropperTurnsAtTheEndsAndTheModesCycle) {
    int32_t size = 0, direction = 1;
    std::string seen;
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(EyedropperStep(&size, &direction), 0);
        seen += std::to_string(size);
    }
    EXPECT_EQ(seen, "121012");
    EXPECT_EQ(ReadoutNextMode(kReadoutRgb, 1), kReadoutCmyk);
    EXPECT_EQ(ReadoutNextMode(kReadoutCmyk, 1), kReadoutHsb);
    EXPECT_EQ(ReadoutNextMode(kReadoutHsb, 1), kReadoutRgb);
    EXPECT_EQ(ReadoutNextMode(kReadoutRgb, 0), kReadoutHsb);
    EXPECT_EQ(ReadoutNextMode(kReadoutHsb, 0), kReadoutRgb);
    EXPECT_EQ(ReadoutNextMode(kReadoutCmyk, 0), kReadoutRgb);  // no longer offered

    int32_t f[4], n = 0;
    const float orange[3] = {1.0f, 0.5f, 0.0f};
    ReadoutFigures(kReadoutRgb, orange, f, &n);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(f[0] * 1000000 + f[1] * 1000 + f[2], 255128000);
    ReadoutFigures(kReadoutHsb, orange, f, &n);
    EXPECT_EQ(f[0], 30);
    EXPECT_EQ(f[1], 100);
    EXPECT_EQ(f[2], 100);
    const float dark[3] = {0.2f, 0.4f, 0.4f};
    ReadoutFigures(kReadoutCmyk, dark, f, &n);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(f[0], 50);
    EXPECT_EQ(f[1], 0);
    EXPECT_EQ(f[3], 60);
    const float black[3] = {0, 0, 0};
    ReadoutFigures(kReadoutCmyk, black, f, &n);
    EXPECT_EQ(f[0] + f[1] + f[2], 0);
    EXPECT_EQ(f[3], 100);
    ReadoutFigures(kReadoutHsb, black, f, &n);
    EXPECT_EQ(f[0] + f[1] + f[2], 0);
}

TEST(Readouts, AReadingIsTheTransformOfTheSquaresAverageCutToTheImage) {
    // A 4 x 3 image, interleaved 8-bit: pixel (x, y) has R = 10 x + 40 y, G = 100, B = 200 - x.
    uint8_t pixels[4 * 3 * 3];
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint8_t* p = pixels + 3 * (y * 4 + x);
            p[0] = uint8_t(10 * x + 40 * y);
            p[1] = 100;
            p[2] = uint8_t(200 - x);
        }
    }
    const IPImage image = IPRgb8View(pixels, 4, 3);
    float rgb[3];
    ASSERT_EQ(ReadoutAverage(&image, nullptr, 2, 1, 0, rgb), 0);
    EXPECT_NEAR(rgb[0] * 255, 60, 1e-3);
    ASSERT_EQ(ReadoutAverage(&image, nullptr, 2, 1, 1, rgb), 0);  // the full 3 x 3 square
    EXPECT_NEAR(rgb[0] * 255, 60, 1e-3);
    EXPECT_NEAR(rgb[2] * 255, 198, 1e-3);
    ASSERT_EQ(ReadoutAverage(&image, nullptr, 0, 0, 2, rgb), 0);  // cut to 3 x 3 at the corner
    EXPECT_NEAR(rgb[0] * 255, 50, 1e-3);                          // (0+10+20) / 3 + 40
    EXPECT_NEAR(rgb[2] * 255, 199, 1e-3);
    EXPECT_EQ(ReadoutAverage(&image, nullptr, 4, 0, 0, rgb), -1);
    EXPECT_EQ(ReadoutAverage(&image, nullptr, 0, 0, 3, rgb), -1);

    // Through a transform: the chain's own result for the average, within the grid's error.
    auto es = std::make_unique<EditState>();
    ASSERT_EQ(EditStateInit(es.get(), nullptr), 0);
    es->editPars.brightness = 0.7f;
    es->editPars.saturation = 0.8f;
    Huegrid* grid = nullptr;
    ASSERT_EQ(HgBuild(&es->editPars, 65535, 7, 1, &grid), 0);
    ASSERT_EQ(ReadoutAverage(&image, grid, 1, 1, 1, rgb), 0);
    const float average[3] = {50.0f / 255, 100.0f / 255, 199.0f / 255};
    float expected[3];
    ASSERT_EQ(HgEvalColour(&es->editPars, 65535, average, expected), 0);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(rgb[c], expected[c], 2.5 / 255) << c;
    HgFree(grid);
}

}  // namespace
