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

#include <cstdio>
#include <filesystem>
#include <string>

#include "host/plugin.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui/dlg_template.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/rect.h"
#include "tests/host/strip_host.h"
#include "tests/platform/test_support.h"

namespace {

using strip_host::Image;
using strip_host::StripHost;

enum class Path { kDialog, kTemplate };

const char* Name(Path path) {
    return path == Path::kDialog ? "dialog" : "template";
}

struct Preview {
    int32_t minW = -1, minH = -1, maxW = -1, maxH = -1;
    int32_t maxRight = -1, maxBottom = -1;  // client coordinates of the largest preview
};

std::string Text(const int16_t bounds[4]) {
    return std::to_string(bounds[0]) + "," + std::to_string(bounds[1]) + "," +
           std::to_string(bounds[2]) + "," + std::to_string(bounds[3]);
}
std::string Text(const Ui_Rect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
           "," + std::to_string(r.right);
}

class PrepareWindowTest : public testing_support::PlatformTest {
   protected:
    void SetUp() override {
        PlatformTest::SetUp();
        strip_host::PrimeModule();
        std::filesystem::create_directories(PrefFolder());
        Ui_Headless_Reset();
        blocks_ = ul_nMallocs;
        gDiagnostics = 1;  // the measured rectangles are read from the diagnostic lines
    }

    void TearDown() override {
        gDiagnostics = 0;
        // The headless binding keeps the last dialog that closed for tests to look at; once it
        // lets go, every block the calls took is back.
        Ui_Headless_Reset();
        EXPECT_EQ(ul_nMallocs, blocks_);
        PlatformTest::TearDown();
    }

    // The editing dialog's client size as its template lays out in the headless dialog font.
    static void TemplateSize(int32_t* width, int32_t* height) {
        UiState* state = nullptr;
        ASSERT_EQ(Ui_State_Open(&state, Res_ModuleArchive(), nullptr, 1000, 0), 0);
        Ui_DlgTemplate* t = nullptr;
        ASSERT_EQ(Ui_Template_Load(state, 1000, &t), 0);
        const Ui_BaseUnits base{6, 13};
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

    bool LogHas(const std::string& text) const {
        for (const std::string& line : LogLines()) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }

    Preview Measured() const {
        Preview p;
        for (const std::string& line : LogLines()) {
            int l0, t0, r0, b0, l1, t1, r1, b1;
            if (std::sscanf(line.c_str(), "GetMinMaxPrev -> min: %d,%d %d,%d  max: %d,%d %d,%d",
                            &l0, &t0, &r0, &b0, &l1, &t1, &r1, &b1) == 8) {
                p = Preview{r0 - l0, b0 - t0, r1 - l1, b1 - t1, r1, b1};
            }
        }
        return p;
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
    // and the left, and one only a little larger than the window.
    const Ui_Rect areas[] = {Ui_Rect_Make(0, 0, 984, 1280), Ui_Rect_Make(30, 64, 1030, 1664),
                             Ui_Rect_Make(0, 0, clientH + 1, clientW + 50)};
    for (const Ui_Rect& area : areas) {
        const int32_t workW = Ui_Rect_Width(&area), workH = Ui_Rect_Height(&area);
        Preview seen[2];
        for (Path path : {Path::kDialog, Path::kTemplate}) {
            SCOPED_TRACE(std::string(Name(path)) + " in " + Text(area));
            Ui_Headless_SetWorkArea(&area);
            StripHost h(Image(4, 4, 3, 8));  // the prepare phase reads no pixels
            ASSERT_EQ(Prepare(h, 1, path), 0);
            const Preview p = Measured();
            seen[int(path)] = p;
            EXPECT_EQ(p.maxW - p.minW, workW - clientW);
            EXPECT_EQ(p.maxH - p.minH, workH - clientH);
            EXPECT_LE(p.maxRight, workW);
            EXPECT_LE(p.maxBottom, workH);
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

TEST_F(PrepareWindowTest, LargestPreviewIsNeverSmallerThanTheSmallestOne) {
    int32_t clientW = 0, clientH = 0;
    TemplateSize(&clientW, &clientH);
    // Work areas narrower or lower than the window keep the window's own size in that direction.
    struct Case {
        Ui_Rect area;
        int32_t growW, growH;
    } cases[] = {
        {Ui_Rect_Make(0, 0, 600, 800), 0, 0},
        {Ui_Rect_Make(0, 0, 600, 1280), 1280 - clientW, 0},
        {Ui_Rect_Make(100, 0, 1100, 800), 0, 1000 - clientH},
    };
    for (const Case& c : cases) {
        for (Path path : {Path::kDialog, Path::kTemplate}) {
            SCOPED_TRACE(std::string(Name(path)) + " in " + Text(c.area));
            Ui_Headless_SetWorkArea(&c.area);
            StripHost h(Image(4, 4, 3, 8));
            ASSERT_EQ(Prepare(h, 1, path), 0);
            const Preview p = Measured();
            EXPECT_EQ(p.maxW - p.minW, c.growW);
            EXPECT_EQ(p.maxH - p.minH, c.growH);
            EXPECT_EQ(Run(h).previewWidth, p.maxW);
            EXPECT_EQ(Text(Run(h).windowBounds), Text(c.area));
        }
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
            const Ui_Rect want =
                Ui_Rect_Make(area.top, area.left, area.bottom - lessH, area.right - lessW);
            EXPECT_EQ(Text(run.windowBounds), Text(want));
        }
    }
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
