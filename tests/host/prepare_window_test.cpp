// The editing window's size as the prepare phase works it out: the smallest and the largest
// preview (the largest with "Use Largest Possible Window", from the screen's work area) and the
// window bounds kept for the editing window.
//
// PluginMain is driven in-process through the strip host. The preview is measured two ways, and
// both are run: through the editing dialog itself (the headless binding given a script, so that
// dialogs can be made) and, as in a run without a display, from its template. Expected sizes come
// from the work area the headless binding is told to report and from the template laid out on
// its own, never from the module's arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "host/plugin.h"
#include "host/plugin_data.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/dlg_template.h"
#include "platform/ui/draw.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "tests/host/strip_host.h"

namespace {

using strip_host::Image;
using strip_host::Preview;
using strip_host::StripHost;

enum class Path { kDialog, kTemplate };

const char* Name(Path path) {
    return path == Path::kDialog ? "dialog" : "template";
}

std::string Text(const int16_t b[4]) {
    return std::to_string(b[0]) + "," + std::to_string(b[1]) + "," + std::to_string(b[2]) + "," +
           std::to_string(b[3]);
}
std::string Text(const Ui_Rect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
           "," + std::to_string(r.right);
}

class PrepareWindowTest : public strip_host::ModuleTest {
   protected:
    void SetUp() override {
        ModuleTest::SetUp();
        Ui_Headless_Reset();
        blocks_ = ul_nMallocs;
        SetModuleDiagnostics(1);  // the measured rectangles are read from the diagnostic lines
    }

    void TearDown() override {
        // The headless binding keeps the last dialog that closed for tests to look at; once it
        // lets go, every block the calls took is back.
        Ui_Headless_Reset();
        EXPECT_EQ(ul_nMallocs, blocks_);
        ModuleTest::TearDown();
    }

    // The editing dialog's client size as its template lays out in the dialog font's metrics.
    static void TemplateSize(int32_t* width, int32_t* height) {
        UiState* state = nullptr;
        ASSERT_EQ(Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0), 0);
        Ui_DlgTemplate* t = nullptr;
        ASSERT_EQ(Ui_Template_Load(state, 1000, &t), 0);
        int32_t average = 0, lineHeight = 0;
        ASSERT_EQ(Ui_Font_Nominal(t->fontPoints, kUiFontDialog, &average, &lineHeight), 0);
        Ui_BaseUnits base{};
        ASSERT_EQ(Ui_BaseUnitsFromFont(52 * average, lineHeight, &base), 0);
        ASSERT_EQ(Ui_Template_Layout(t, &base), 0);
        *width = Ui_Rect_Width(&t->client);
        *height = Ui_Rect_Height(&t->client);
        Ui_Template_Free(&t);
        Ui_State_Close(&state);
    }

    // The parameters phase, the option set in the parameters block as the host keeps it, then
    // the prepare phase measured the given way.
    int16 Prepare(StripHost& h, uint8_t largest, Path path) {
        if (h.Call(filterSelectorParameters) != 0) return -1;
        h.Block<PluginParams>(h.record.parameters)->prefs.useLargestWindow = largest;
        return PrepareAgain(h, path);
    }

    // The prepare phase alone, as on a repeat of the filter.
    int16 PrepareAgain(StripHost& h, Path path) {
        // Any script lets the headless binding make dialogs; this one is never reached, since
        // the measuring dialog closes from its init proc.
        UiScriptEvent unused{};
        unused.kind = kUiScriptIdle;
        unused.value = 1;
        std::filesystem::remove(LogPath());
        Ui_Headless_SetScript(path == Path::kDialog ? &unused : nullptr, 1);
        const int16 result = h.Call(filterSelectorPrepare);
        Ui_Headless_SetScript(nullptr, 0);
        EXPECT_EQ(LogHas("GetMinMaxPrevInitProc..."), path == Path::kDialog);
        return result;
    }

    static const RunState& Run(const StripHost& h) {
        return h.Block<PluginData>(h.DataHandle())->run;
    }

    uint32_t blocks_ = 0;
};

TEST_F(PrepareWindowTest, LargestWindowGrowsThePreviewByWhatTheWorkAreaAdds) {
    int32_t clientW = 0, clientH = 0;
    TemplateSize(&clientW, &clientH);
    // The headless default (a task bar along the bottom), a wider screen with panels on the top
    // and the left, one only a little larger than the window, and work areas narrower or lower
    // than the window, which keep the window's own size in that direction.
    const Ui_Rect areas[] = {Ui_Rect_Make(0, 0, 984, 1280),
                             Ui_Rect_Make(30, 64, 1030, 1664),
                             Ui_Rect_Make(0, 0, clientH + 1, clientW + 50),
                             Ui_Rect_Make(0, 0, 600, 800),
                             Ui_Rect_Make(0, 0, 600, 1280),
                             Ui_Rect_Make(100, 0, 1100, 800)};
    for (const Ui_Rect& area : areas) {
        const int32_t growW = std::max(0, Ui_Rect_Width(&area) - clientW);
        const int32_t growH = std::max(0, Ui_Rect_Height(&area) - clientH);
        Preview seen[2];
        for (Path path : {Path::kDialog, Path::kTemplate}) {
            SCOPED_TRACE(std::string(Name(path)) + " in " + Text(area));
            Ui_Headless_SetWorkArea(&area);
            StripHost h(Image(4, 4, 3, 8));  // the prepare phase reads no pixels
            ASSERT_EQ(Prepare(h, 1, path), 0);
            const Preview p = Measured();
            seen[int(path)] = p;
            EXPECT_EQ(p.maxW - p.minW, growW);
            EXPECT_EQ(p.maxH - p.minH, growH);
            if (growW > 0) {
                EXPECT_LE(p.maxRight, Ui_Rect_Width(&area));
            }
            if (growH > 0) {
                EXPECT_LE(p.maxBottom, Ui_Rect_Height(&area));
            }
            // Memory to spare: the preview is the largest, and the window takes the whole area.
            EXPECT_EQ(Run(h).previewWidth, p.maxW);
            EXPECT_EQ(Run(h).previewHeight, p.maxH);
            EXPECT_EQ(Text(Run(h).windowBounds), Text(area));
        }
        // The template stands in for the dialog without a display: it must agree with it.
        EXPECT_EQ(seen[0].minW, seen[1].minW);
        EXPECT_EQ(seen[0].minH, seen[1].minH);
        EXPECT_EQ(seen[0].maxW, seen[1].maxW);
        EXPECT_EQ(seen[0].maxH, seen[1].maxH);
    }
}

TEST_F(PrepareWindowTest, WithTheOptionOffTheLargestPreviewIsTheSmallest) {
    for (Path path : {Path::kDialog, Path::kTemplate}) {
        SCOPED_TRACE(Name(path));
        StripHost h(Image(4, 4, 3, 8));
        ASSERT_EQ(Prepare(h, 0, path), 0);
        const Preview p = Measured();
        ASSERT_GT(p.minW, 0);
        EXPECT_EQ(p.maxW, p.minW);
        EXPECT_EQ(p.maxH, p.minH);
        EXPECT_EQ(Run(h).previewWidth, p.minW);
        EXPECT_EQ(Run(h).previewHeight, p.minH);
        // The bounds are still kept: the whole work area, as nothing came off the preview.
        EXPECT_EQ(Text(Run(h).windowBounds), "0,0,984,1280");
    }
}

TEST_F(PrepareWindowTest, BoundsGiveUpWhatTheBudgetTookOffThePreview) {
    int32_t clientW = 0, clientH = 0;
    TemplateSize(&clientW, &clientH);
    // In the last area the preview can lose only 20 rows before it reaches its smallest height,
    // so the width loses more than the height.
    const Ui_Rect areas[] = {Ui_Rect_Make(0, 0, 984, 1280), Ui_Rect_Make(30, 64, 1030, 1664),
                             Ui_Rect_Make(0, 0, clientH + 20, 1664)};
    for (const Ui_Rect& area : areas) {
        for (Path path : {Path::kDialog, Path::kTemplate}) {
            SCOPED_TRACE(std::string(Name(path)) + " in " + Text(area));
            Ui_Headless_SetWorkArea(&area);
            StripHost h(Image(4, 4, 3, 8));
            // 4.8 MB of 75 percent: more than the smallest preview needs (about 3.7 MB), less
            // than the largest (6 MB and more).
            h.record.maxSpace = 6400000;
            ASSERT_EQ(Prepare(h, 1, path), 0);
            const Preview p = Measured();
            const RunState& run = Run(h);
            const int32_t lessW = p.maxW - run.previewWidth, lessH = p.maxH - run.previewHeight;
            EXPECT_GT(lessW, 0);
            EXPECT_GT(lessH, 0);
            EXPECT_GE(run.previewWidth, p.minW);
            EXPECT_GE(run.previewHeight, p.minH);
            // A step takes a column and a row off until a side reaches its smallest size.
            if (run.previewWidth > p.minW && run.previewHeight > p.minH) {
                EXPECT_EQ(lessW, lessH);
            }
            const Ui_Rect want =
                Ui_Rect_Make(area.top, area.left, area.bottom - lessH, area.right - lessW);
            EXPECT_EQ(Text(run.windowBounds), Text(want));
        }
    }
}

// The window opens in the bounds the prepare phase kept, so its preview is the size the budget
// was worked out for, not the larger one the whole work area would give it.
TEST_F(PrepareWindowTest, TheWindowOpensWithThePreviewTheBudgetChose) {
    const Ui_Rect area = Ui_Rect_Make(30, 64, 1030, 1664);
    Ui_Headless_SetWorkArea(&area);
    // The start phase reads the preferences file again.
    WritePrefs([](Prefs& p) {
        p.useLargestWindow = 1;
        p.showStartUpGuide = 0;
    });
    StripHost h(Image(64, 48, 3, 8));
    h.record.maxSpace = 6400000;  // less than the largest preview needs (see above)
    ASSERT_EQ(Prepare(h, 1, Path::kDialog), 0);
    const Preview p = Measured();
    const RunState& run = Run(h);
    ASSERT_LT(run.previewWidth, p.maxW);
    UiScriptEvent cancel{};
    cancel.kind = kUiScriptClick;
    cancel.item = kEditorCancel;
    Ui_Headless_SetScript(&cancel, 1);
    EXPECT_EQ(h.Call(filterSelectorStart), userCanceledErr);
    Ui_Headless_SetScript(nullptr, 0);
    const UiHeadlessWindow* window = Ui_Headless_LastClosed();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->dialogId, 1000);
    const Ui_Rect& item = window->items[kEditorPreviewImage - 1].rect;
    // The preview area is the item inside its one-pixel frame.
    EXPECT_EQ(Ui_Rect_Width(&item) - 2, run.previewWidth);
    EXPECT_EQ(Ui_Rect_Height(&item) - 2, run.previewHeight);
}

TEST_F(PrepareWindowTest, WithoutAWorkAreaTheBoundsStayAsTheyWereAndTheRunGoesOn) {
    for (Path path : {Path::kDialog, Path::kTemplate}) {
        SCOPED_TRACE(Name(path));
        Ui_Headless_SetWorkArea(nullptr);
        StripHost h(Image(4, 4, 3, 8));
        ASSERT_EQ(Prepare(h, 1, path), 0);
        Preview p = Measured();
        EXPECT_EQ(p.maxW, p.minW);  // nothing to grow into
        EXPECT_EQ(p.maxH, p.minH);
        EXPECT_EQ(Run(h).previewWidth, p.minW);
        EXPECT_EQ(Text(Run(h).windowBounds), "0,0,0,0");
        EXPECT_TRUE(LogHas("no work area"));

        // A repeat after a run that did see a work area keeps that run's bounds.
        const Ui_Rect area = Ui_Rect_Make(30, 64, 1030, 1664);
        Ui_Headless_SetWorkArea(&area);
        ASSERT_EQ(PrepareAgain(h, path), 0);
        EXPECT_EQ(Text(Run(h).windowBounds), Text(area));
        Ui_Headless_SetWorkArea(nullptr);
        ASSERT_EQ(PrepareAgain(h, path), 0);
        EXPECT_EQ(Text(Run(h).windowBounds), Text(area));
        p = Measured();
        EXPECT_EQ(Run(h).previewWidth, p.minW);
    }
}

}  // namespace
