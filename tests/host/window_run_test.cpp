// The editing window over the whole module in-process against the strip host, driven through the
// headless binding as a person would drive it.
//
// A correction made in the window, replayed without it on the preferences of another user: for
// every kind of change the window makes (start buttons, clicks in the preview on each tab, drags
// of each tab's sliders and handles, the hue ring, colour definitions, memory colours, sharpening
// and noise removal, linear data), at 8 and 16 bits, the replay gives the window run's bytes and
// leaves the replaying user's preferences as they were, except that the previous settings become
// what the replay applied.
//
// The pointer's readout over an image nothing was done to shows the same before and after, at
// both depths.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit/pars_vector.h"
#include "edit/prefs.h"
#include "edit/window/tab_bar.h"
#include "edit/window/tone_points.h"
#include "host/plugin.h"
#include "host/plugin_data.h"
#include "platform/ui/controls.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/dlg_sharpen_noise.h"
#include "resources/ids/dlg_define_color.h"
#include "tests/host/strip_host.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using strip_host::Image;
using strip_host::StripHost;
using namespace ui_testing;

// A photograph in miniature under a blue cast: a grey card top left, a dark shadow top right,
// skin, foliage and sky along the bottom, over a brightness ramp with fine random texture
// (something for sharpening and noise removal to change).
Image Scene(int32_t depth) {
    constexpr int32_t w = 720, h = 540;
    Image image(w, h, 3, depth);
    uint32_t seed = 12345;
    const double cast[3] = {0.86, 0.95, 1.18};
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            double rgb[3];
            const double ramp = 0.15 + 0.7 * x / (w - 1);
            rgb[0] = rgb[1] = rgb[2] = ramp;
            if (y < h / 2 && x < w / 2) rgb[0] = rgb[1] = rgb[2] = 0.55;       // grey card
            if (y < h / 2 && x >= 3 * w / 4) rgb[0] = rgb[1] = rgb[2] = 0.08;  // shadow
            if (y >= 2 * h / 3) {
                const int32_t part = x * 3 / w;
                const double colour[3][3] = {
                    {0.85, 0.62, 0.5}, {0.25, 0.55, 0.2}, {0.45, 0.65, 0.92}};
                for (int c = 0; c < 3; ++c) rgb[c] = colour[part][c];
            }
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1664525u + 1013904223u;
                const double texture = (double(seed >> 8) / double(1 << 24) - 0.5) * 0.04;
                const double v = std::min(1.0, std::max(0.0, rgb[c] * cast[c] + texture));
                image.At(x, y, c) = uint16_t(std::lround(v * image.MaxCode()));
            }
        }
    }
    return image;
}

// A script whose pointer events are placed once the window is open: a call reads the item's
// rectangle (and, for the preview, where the picture lies in it) and fills the events after it.
class Script {
   public:
    explicit Script(const StripHost* host) : host_(host) {}

    void Add(UiScriptEvent e) { events_.push_back(e); }
    void Click(int16_t item, int32_t dialog = 0) { Add(For(dialog, ui_testing::Click(item))); }
    void Select(int16_t item, int32_t entry) { Add(ui_testing::Select(item, entry)); }

    // A press at (fx, fy) of the item (fractions of its width and height), dragged in steps to
    // (tx, ty) and released there.
    void Drag(int16_t item, double fx, double fy, double tx, double ty, int32_t dialog = 0) {
        Place(item, dialog, [=](const Ui_Rect& r, int32_t step) {
            const double t = step / double(kSteps);
            return PointIn(r, fx + (tx - fx) * t, fy + (ty - fy) * t);
        });
    }
    void Press(int16_t item, double fx, double fy, int32_t dialog = 0) {
        Drag(item, fx, fy, fx, fy, dialog);
    }
    // A click on the picture in the preview at (fx, fy) of the image.
    void Pick(double fx, double fy) {
        const StripHost* host = host_;
        Place(kEditorPreviewImage, 0, [=](const Ui_Rect& r, int32_t) {
            // The picture is centred in the item, inside its border.
            const int32_t pw = host->displayed.width, ph = host->displayed.height;
            const int32_t left = r.left + 1 + (r.right - r.left - 2 - pw) / 2;
            const int32_t top = r.top + 1 + (r.bottom - r.top - 2 - ph) / 2;
            return Ui_Point{int16_t(top + int32_t(fy * ph)), int16_t(left + int32_t(fx * pw))};
        });
    }
    // Tab 0..3 of the tool panel.
    void Tab(int32_t tab) {
        Place(kEditorTabBar, 0, [=](const Ui_Rect& bar, int32_t) {
            Ui_Rect r;
            TabBarTabRect(&bar, tab, &r);
            return PointIn(r, 0.5, 0.7);
        });
    }

    // The pointer moved to (fx, fy) of the image in the preview.
    void Point(double fx, double fy) {
        const StripHost* host = host_;
        const size_t at = events_.size();
        std::vector<UiScriptEvent>* events = &events_;
        Add(Call([=](UiWindow* w) {
            Ui_Rect r;
            ASSERT_EQ(Ui_Item_GetRect(w, kEditorPreviewImage, &r), 0);
            const int32_t pw = host->displayed.width, ph = host->displayed.height;
            const int32_t left = r.left + 1 + (r.right - r.left - 2 - pw) / 2;
            const int32_t top = r.top + 1 + (r.bottom - r.top - 2 - ph) / 2;
            (*events)[at + 1] =
                ui_testing::Move(int16_t(top + int32_t(fy * ph)), int16_t(left + int32_t(fx * pw)));
        }));
        Add(Idle(0));
        Add(Idle(1));
    }

    const std::vector<UiScriptEvent>& Events() const { return events_; }
    std::vector<UiScriptEvent>& Events() { return events_; }

   private:
    static constexpr int32_t kSteps = 4;

    static Ui_Point PointIn(const Ui_Rect& r, double fx, double fy) {
        return Ui_Point{int16_t(r.top + std::lround(fy * (r.bottom - r.top - 1))),
                        int16_t(r.left + std::lround(fx * (r.right - r.left - 1)))};
    }
    // A press, kSteps drags and a release on item, at the points where(rect, step) gives.
    void Place(int16_t item, int32_t dialog,
               std::function<Ui_Point(const Ui_Rect&, int32_t)> where) {
        const size_t at = events_.size();
        std::vector<UiScriptEvent>* events = &events_;
        Add(For(dialog, Call([=](UiWindow* w) {
                    Ui_Rect r;
                    ASSERT_EQ(Ui_Item_GetRect(w, item, &r), 0);
                    Ui_Point p = where(r, 0);
                    (*events)[at + 1] = For(dialog, ui_testing::Press(item, p.v, p.h));
                    for (int32_t s = 1; s <= kSteps; ++s) {
                        p = where(r, s);
                        (*events)[at + 1 + size_t(s)] = For(dialog, ui_testing::Drag(p.v, p.h));
                    }
                    (*events)[at + 2 + kSteps] = For(dialog, ui_testing::Release(p.v, p.h));
                })));
        for (int32_t s = 0; s < kSteps + 2; ++s) Add(For(dialog, Idle(0)));
        Add(For(dialog, Idle(1)));
    }

    const StripHost* host_;
    std::vector<UiScriptEvent> events_;
};

// One kind of change: what the window is driven through, and the preferences it starts from.
struct Change {
    const char* name;
    std::function<void(Script&)> drive;
    std::function<void(Prefs&)> prefs;  // may be empty
    bool sixteenOnly = false;
};

// Stored settings for the start buttons: a changed record in the default working space.
EditPars Stored(float brightness, float hueShift) {
    EditPars p;
    SetParsDefaults(&p);
    p.blackPoint = 0.04f;
    p.brightness = brightness;
    p.contrast = 0.57f;
    p.hue[1].hueShift = hueShift;
    p.hue[1].saturation = 0.4f;
    return p;
}

std::vector<Change> Changes() {
    return {
        {"master Keenhue", [](Script& s) { s.Click(kEditorAllKeenhue); }, {}},
        {"master Prev and Custom on a tab",
         [](Script& s) {
             s.Click(kEditorAllPrev);
             s.Tab(3);
             s.Click(kEditorTabCustom);
         },
         [](Prefs& p) {
             p.previousSettings = Stored(0.6f, 15.0f);
             p.customSettings = Stored(0.45f, -25.0f);
         }},
        {"Keenhue of one tab in Keenhue Mode",
         [](Script& s) {
             s.Tab(1);
             s.Click(kEditorTabKeenhue);
             s.Tab(2);
             s.Drag(kEditorGlobalSlider, 0.5, 0.5, 0.7, 0.5);
         },
         [](Prefs& p) { p.keenhueMode = 1; }},
        {"a neutral clicked in the preview", [](Script& s) { s.Pick(0.25, 0.25); }, {}},
        {"the neutral's colour definition",
         [](Script& s) {
             s.Pick(0.25, 0.25);
             s.Click(kEditorNeutralPrefs);
             s.Drag(kDefineColorRedSlider, 0.5, 0.5, 0.62, 0.5, kDlgDefineColor);
             s.Click(kDefineColorOk, kDlgDefineColor);
         },
         {}},
        {"balance sliders",
         [](Script& s) {
             s.Select(kEditorBalanceMethod, 2);
             s.Drag(kEditorTemperatureSlider, 0.5, 0.5, 0.35, 0.5);
             s.Drag(kEditorTintSlider, 0.5, 0.5, 0.58, 0.5);
         },
         {}},
        {"three balance sliders",
         [](Script& s) {
             s.Select(kEditorBalanceMethod, 3);
             s.Drag(kEditorCyanRedSlider, 0.5, 0.5, 0.4, 0.5);
             s.Drag(kEditorYellowBlueSlider, 0.5, 0.5, 0.62, 0.5);
         },
         {}},
        {"a tone point clicked and the point handles dragged",
         [](Script& s) {
             s.Tab(1);
             s.Pick(0.9, 0.2);
             s.Drag(kEditorPointHandles, 0.985, 0.5, 0.85, 0.5);
         },
         {}},
        {"brightness, contrast and saturation dragged",
         [](Script& s) {
             s.Tab(2);
             s.Drag(kEditorGlobalSlider, 0.5, 0.5, 0.66, 0.5);
             s.Drag(kEditorShadowsSlider, 0.5, 0.5, 0.7, 0.5);
             s.Drag(kEditorHighlightsSlider, 0.5, 0.5, 0.3, 0.5);
             s.Drag(kEditorContrastSlider, 0.5, 0.5, 0.62, 0.5);
             s.Drag(kEditorSaturationSlider, 0.5, 0.5, 0.8, 0.5);
         },
         {}},
        {"hue handles sampled and dragged",
         [](Script& s) {
             s.Tab(3);
             s.Pick(0.15, 0.85);
             s.Drag(kEditorHueSaturationSlider, 0.5, 0.5, 0.75, 0.5);
             s.Drag(kEditorHueBrightnessSlider, 0.5, 0.5, 0.35, 0.5);
             // The After handle of the pair at three o'clock, turned towards twelve.
             s.Drag(kEditorHueRing, 0.97, 0.5, 0.9, 0.2);
         },
         {}},
        {"memory colour, B/W, sepia and toning",
         [](Script& s) {
             s.Tab(3);
             s.Pick(0.15, 0.85);
             s.Click(kEditorMemoryColor1);
             s.Click(kEditorSepia);
             s.Click(kEditorToning);
         },
         {}},
        {"black and white",
         [](Script& s) {
             s.Tab(3);
             s.Click(kEditorBlackWhite);
         },
         {}},
        {"sharpen and remove noise",
         [](Script& s) {
             s.Click(kEditorSharpen);
             s.Click(kEditorRemoveNoise);
             s.Click(kEditorSharpenNoiseSetup);
             s.Drag(kSharpenNoiseStrengthSlider, 0.3, 0.5, 0.7, 0.5, kDlgSharpenNoise);
             s.Drag(kSharpenNoiseRedRadiusSlider, 0.3, 0.5, 0.6, 0.5, kDlgSharpenNoise);
             s.Click(kSharpenNoiseOk, kDlgSharpenNoise);
         },
         {}},
        {"linear data", [](Script& s) { s.Click(kEditorLinear); }, {}, true},
    };
}

class WindowRunTest : public strip_host::ModuleTest {
   protected:
    // The preferences of the person who works in the window: every tool starts reset.
    void WriterPrefs(const std::function<void(Prefs&)>& edit) {
        WritePrefs([&](Prefs& p) {
            p.startAllSame = 1;
            p.startWith = kStartReset;
            p.showStartUpGuide = 0;
            p.keenhueMode = 0;
            if (edit) edit(p);
        });
    }
    // The preferences of whoever replays the action: other start modes, other stored settings,
    // a Keenhue mask of their own.
    void ReplayerPrefs() {
        WritePrefs([](Prefs& p) {
            p.startAllSame = 0;
            p.startWith = kStartKeenhue;
            p.startTool[0] = kStartKeenhue;
            p.startTool[1] = kStartCustom;
            p.startTool[2] = kStartPrevious;
            p.startTool[3] = kStartReset;
            p.keenhueMask = 992;
            p.customSettings = Stored(0.3f, 40.0f);
            p.previousSettings = Stored(0.7f, -40.0f);
            std::strcpy(p.customName, "mine");
            p.showStartUpGuide = 0;
        });
    }
    static std::vector<float> Vector(const EditPars& pars) {
        std::vector<float> v(kParsVectorCount);
        ParsToVector(&pars, v.data(), kParsVectorCount);
        return v;
    }
};

TEST_F(WindowRunTest, EveryWindowCorrectionReplaysExactlyWithoutTheWindow) {
    for (const int32_t depth : {8, 16}) {
        const Image scene = Scene(depth);
        std::vector<std::vector<uint16_t>> results;
        for (const Change& change : Changes()) {
            if (change.sixteenOnly && depth != 16) continue;
            SCOPED_TRACE(std::string(change.name) + " at " + std::to_string(depth) + " bits");
            WriterPrefs(change.prefs);
            StripHost windowed(scene);
            Script script(&windowed);
            change.drive(script);
            script.Click(kEditorOk);
            Ui_Headless_SetScript(script.Events().data(), int32_t(script.Events().size()));
            const int16 result = windowed.Run();
            const int32_t remaining = Ui_Headless_Remaining(), refused = Ui_Headless_Refused();
            Ui_Headless_SetScript(nullptr, 0);
            ASSERT_EQ(result, 0);
            EXPECT_EQ(remaining, 0);
            EXPECT_EQ(refused, 0);
            EXPECT_TRUE(windowed.violations.empty());
            EXPECT_NE(windowed.dest.samples, scene.samples) << "the window changed nothing";
            for (const auto& other : results) EXPECT_NE(windowed.dest.samples, other);
            results.push_back(windowed.dest.samples);
            const auto recorded = windowed.host.DescriptorItems();
            ASSERT_EQ(recorded.size(), 1u);
            const std::vector<float> applied = Vector(ReadPrefsFile()->previousSettings);

            // Played back by someone else, without the window and without the parameters
            // phase, as an editor replays an action.
            ReplayerPrefs();
            const std::unique_ptr<Prefs> before = ReadPrefsFile();
            StripHost replayed(scene);
            replayed.host.SetDescriptor(recorded);
            replayed.host.descriptorParameters.playInfo = plugInDialogDontDisplay;
            ASSERT_EQ(replayed.Run(false), 0);
            EXPECT_TRUE(replayed.violations.empty());
            EXPECT_EQ(replayed.dest.samples, windowed.dest.samples);

            // The replaying user's own settings stay; the previous settings are what the replay
            // applied, which is what the window applied.
            const std::unique_ptr<Prefs> after = ReadPrefsFile();
            EXPECT_EQ(Vector(after->previousSettings), applied);
            EXPECT_EQ(Vector(after->customSettings), Vector(before->customSettings));
            EXPECT_EQ(after->startAllSame, before->startAllSame);
            EXPECT_EQ(after->startWith, before->startWith);
            for (int i = 0; i < 4; ++i) EXPECT_EQ(after->startTool[i], before->startTool[i]);
            EXPECT_EQ(after->keenhueMask, before->keenhueMask);
            EXPECT_STREQ(after->customName, before->customName);

            // The replay records the same correction again.
            const auto again = replayed.host.DescriptorItems();
            ASSERT_EQ(again.size(), 1u);
            EXPECT_TRUE(again[0].text == recorded[0].text) << "the replay recorded another action";
        }
    }
}

TEST_F(WindowRunTest, AReplayWithItsWindowOpensOnTheRecordedCorrection) {
    // "Edit Image" at once on the replayed action's window applies what the action recorded.
    const Image scene = Scene(8);
    WriterPrefs({});
    StripHost windowed(scene);
    Script script(&windowed);
    script.Tab(2);
    script.Drag(kEditorGlobalSlider, 0.5, 0.5, 0.7, 0.5);
    script.Click(kEditorOk);
    Ui_Headless_SetScript(script.Events().data(), int32_t(script.Events().size()));
    ASSERT_EQ(windowed.Run(), 0);
    Ui_Headless_SetScript(nullptr, 0);
    const auto recorded = windowed.host.DescriptorItems();
    ASSERT_EQ(recorded.size(), 1u);

    ReplayerPrefs();
    StripHost replayed(scene);
    replayed.host.SetDescriptor(recorded);
    replayed.host.descriptorParameters.playInfo = plugInDialogDisplay;
    UiScriptEvent ok = ui_testing::Click(kEditorOk);
    Ui_Headless_SetScript(&ok, 1);
    ASSERT_EQ(replayed.Run(false), 0);
    Ui_Headless_SetScript(nullptr, 0);
    EXPECT_EQ(replayed.dest.samples, windowed.dest.samples);
}

TEST_F(WindowRunTest, AFailedReplayLeavesThePreviousSettings) {
    // A replay the person cancels (here: its window's Cancel) keeps the previous settings as
    // they were, never the defaults or the action's. (The host throws away what a cancelled run
    // left in its buffers.)
    const Image scene = Scene(8);
    WriterPrefs({});
    StripHost windowed(scene);
    Script script(&windowed);
    script.Click(kEditorAllKeenhue);
    script.Click(kEditorOk);
    Ui_Headless_SetScript(script.Events().data(), int32_t(script.Events().size()));
    ASSERT_EQ(windowed.Run(), 0);
    Ui_Headless_SetScript(nullptr, 0);
    const auto recorded = windowed.host.DescriptorItems();
    ASSERT_EQ(recorded.size(), 1u);

    ReplayerPrefs();
    const std::vector<float> mine = Vector(ReadPrefsFile()->previousSettings);
    StripHost replayed(scene);
    replayed.host.SetDescriptor(recorded);
    replayed.host.descriptorParameters.playInfo = plugInDialogDisplay;
    UiScriptEvent cancel = ui_testing::Click(kEditorCancel);
    Ui_Headless_SetScript(&cancel, 1);
    EXPECT_EQ(replayed.Run(false), userCanceledErr);
    Ui_Headless_SetScript(nullptr, 0);
    EXPECT_EQ(Vector(ReadPrefsFile()->previousSettings), mine);
}

// The "before/after" figures of the readouts' pointer column, as last drawn.
std::vector<std::pair<int, int>> PointerColumn(UiWindow* w) {
    const UiHeadlessWindow* hw = Ui_Headless_Window(w);
    Ui_Rect box;
    Ui_Item_GetRect(w, kEditorReadouts, &box);
    const UiHeadlessText* heading = nullptr;
    for (int32_t i = 0; i < hw->textCount; ++i) {
        const UiHeadlessText& t = hw->texts[i];
        if (std::strcmp(t.text, "Pointer") == 0 &&
            Ui_Rect_ContainsPoint(&box, t.rect.top, t.rect.left)) {
            heading = &t;
        }
    }
    std::vector<std::pair<int, int>> rows;
    if (heading == nullptr) return rows;
    for (int32_t i = 0; i < hw->textCount; ++i) {
        const UiHeadlessText& t = hw->texts[i];
        int a = 0, b = 0;
        // Texts are centred in their column.
        if (std::abs((t.rect.left + t.rect.right) - (heading->rect.left + heading->rect.right)) <=
                2 &&
            t.rect.top > heading->rect.top &&
            Ui_Rect_ContainsPoint(&box, t.rect.top, t.rect.left) &&
            std::sscanf(t.text, "%d/%d", &a, &b) == 2) {
            rows.push_back({a, b});
        }
    }
    // Only the last drawing counts.
    if (rows.size() > 3) rows.erase(rows.begin(), rows.end() - 3);
    return rows;
}

TEST_F(WindowRunTest, OverAnUntouchedImageThePointerReadsTheSameBeforeAndAfter) {
    for (const int32_t depth : {8, 16}) {
        SCOPED_TRACE(depth);
        WriterPrefs({});
        const Image scene = Scene(depth);
        StripHost h(scene);
        Script script(&h);
        std::vector<std::vector<std::pair<int, int>>> read;
        for (const double fx : {0.1, 0.3, 0.55, 0.8, 0.95}) {
            for (const double fy : {0.2, 0.5, 0.8}) {
                script.Point(fx, fy);
                script.Add(Call([&](UiWindow* w) { read.push_back(PointerColumn(w)); }));
            }
        }
        script.Click(kEditorCancel);
        Ui_Headless_SetScript(script.Events().data(), int32_t(script.Events().size()));
        EXPECT_EQ(h.Run(), userCanceledErr);
        Ui_Headless_SetScript(nullptr, 0);
        ASSERT_EQ(read.size(), 15u);
        for (const auto& column : read) {
            ASSERT_EQ(column.size(), 3u);
            for (const auto& [before, after] : column) EXPECT_EQ(before, after);
        }
    }
}

}  // namespace
