// Clicks in the editing window's preview through RunEditingWindow on the headless binding:
// marking neutrals, setting the black, grey and white points, marking hues, sample points and
// their readouts, undo, and the 1:1 zoom. The host's preview procedures are stand-ins that show
// a small cast picture at full size (or pretend to be zoomed) and record what they were asked.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "edit/window/editing_window.h"
#include "engine/huegrid_build.h"
#include "engine/measure.h"
#include "platform/ui/controls.h"
#include "platform/ui/cursor.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui/rect.h"
#include "resources/ids/dlg_editor.h"
#include "resources/ids/strings.h"
#include "tests/edit/window/window_test_support.h"

namespace {

using namespace window_testing;

constexpr int32_t kW = 48, kH = 32;

class WindowClicksTest : public WindowTest {
   protected:
    void SetUp() override {
        WindowTest::SetUp();
        prefs_->keenhueMask = kEditMaskAll;
        prefs_->keenhueMode = 0;
        prefs_->sampleSize = 0;
        prefs_->showSampledRegion = 1;
        // Rows 0-7 a blue sky, 8-15 a flat warm grey (the cast), a black line, 17-27 a grey ramp
        // with the same cast, left dark to right light, 28-31 a true grey.
        MakePicture(kW, kH, [](int32_t x, int32_t y, uint8_t p[3]) {
            const int g = 25 + 200 * x / (kW - 1);
            if (y < 8) {
                p[0] = 60, p[1] = 110, p[2] = 200;
            } else if (y < 16) {
                p[0] = 164, p[1] = 150, p[2] = 134;
            } else if (y == 16) {
                p[0] = p[1] = p[2] = 0;
            } else if (y < 28) {
                p[0] = uint8_t(g + 24), p[1] = uint8_t(g), p[2] = uint8_t(g - 22);
            } else {
                p[0] = p[1] = p[2] = 128;
            }
        });
        // Reduced, the picture is the fit preview of an image four times its size; zoomed, it
        // stands for the window at the level (its pixels the same, left at 0, 0).
        host_.previewInfo = [](void* c, PreviewInfo* info) -> int32_t {
            const WindowClicksTest* t = Self(c);
            *info = PreviewInfo{};
            info->width = info->fitWidth = info->drawnWidth = kW;
            info->height = info->fitHeight = info->drawnHeight = kH;
            info->imageWidth = t->reduced_ ? 4 * kW : kW;
            info->imageHeight = t->reduced_ ? 4 * kH : kH;
            info->reduced = t->reduced_;
            info->zoomed = t->level_ != 0 ? 1 : 0;
            info->zoom = t->level_;
            info->rate = t->level_ != 0 && t->level_ < 100 ? 100 / t->level_ : 1;
            info->magnify = t->level_ > 100 ? t->level_ / 100 : 1;
            info->shown = t->view_;
            return 0;
        };
        host_.drawPreview = [](void* c, UiWindow*, const Ui_Rect*, const PreviewLook* look,
                               Ui_Failure*) -> int32_t {
            if (look->sampled != nullptr) Self(c)->sampledDrawn_.push_back(*look->sampled);
            return 0;
        };
        // A refused level leaves the stand-in at fit, as the host does.
        host_.zoomPreview = [](void* c, int32_t level, int32_t x, int32_t y, int32_t anchorH,
                               int32_t anchorV, Ui_Failure* failure) -> int32_t {
            Self(c)->calls_.push_back("zoom " + std::to_string(level) + " " + std::to_string(x) +
                                      "," + std::to_string(y) + " at " + std::to_string(anchorH) +
                                      "," + std::to_string(anchorV));
            Self(c)->cursorsWhileZooming_.push_back(Ui_Headless_CursorKind());
            if (level == Self(c)->refusedLevel_) {
                Self(c)->level_ = 0;
                return Ui_Failure_Describe(failure, kStatusError, kPhraseAdvanceState);
            }
            Self(c)->level_ = level;
            return 0;
        };
        host_.restorePreview = [](void* c, Ui_Failure*) -> int32_t {
            Self(c)->level_ = 0;
            Self(c)->calls_.push_back("restore");
            Self(c)->cursorsWhileZooming_.push_back(Ui_Headless_CursorKind());
            return 0;
        };
        host_.panZoom = [](void* c, int32_t dx, int32_t dy, Ui_Failure*) -> int32_t {
            Self(c)->calls_.push_back("pan " + std::to_string(dx) + "," + std::to_string(dy));
            return 0;
        };
    }
    static WindowClicksTest* Self(void* c) { return WindowTest::Self<WindowClicksTest>(c); }
    void Run(std::vector<UiScriptEvent> script) {
        SetScript(std::move(script));
        bool accepted = false;
        EXPECT_EQ(RunEditingWindow(&window_, es_.get(), &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
    }
    // The client point of picture pixel (x, y): the picture is centred in the preview item.
    static Ui_Point At(UiWindow* w, int32_t x, int32_t y) {
        const Ui_Rect r = Item(w, kEditorPreviewImage).rect;
        const int32_t left = r.left + 1 + (r.right - r.left - 2 - kW) / 2;
        const int32_t top = r.top + 1 + (r.bottom - r.top - 2 - kH) / 2;
        return Ui_Point{int16_t(top + y), int16_t(left + x)};
    }
    // A click on pixel (x, y) with the modifiers given; the point is only known once the window
    // is open, so the press goes in by a call that fills the events that follow it.
    void ClickPixel(std::vector<UiScriptEvent>* script, int32_t x, int32_t y, uint8_t ctrl = 0,
                    uint8_t alt = 0, uint8_t shift = 0, int32_t dragX = -1, int32_t dragY = -1) {
        const size_t at = script->size();
        script->push_back(Call([=, this](UiWindow* w) {
            const Ui_Point p = At(w, x, y);
            const Ui_Point q = dragX < 0 ? p : At(w, dragX, dragY);
            events_[at + 1] = Holding(Press(kEditorPreviewImage, p.v, p.h), ctrl, alt, shift);
            events_[at + 2] = Holding(Drag(q.v, q.h), ctrl, alt, shift);
            events_[at + 3] = Holding(Release(q.v, q.h), ctrl, alt, shift);
        }));
        script->push_back(Idle(0));
        script->push_back(Idle(0));
        script->push_back(Idle(0));
        script->push_back(Idle(1));
    }
    void RunScript(std::vector<UiScriptEvent> script) {
        script.push_back(Click(kEditorCancel));
        events_ = std::move(script);
        Ui_Headless_SetScript(events_.data(), int32_t(events_.size()));
        bool accepted = false;
        EXPECT_EQ(RunEditingWindow(&window_, es_.get(), &accepted), 0);
        EXPECT_EQ(Ui_Headless_Refused(), 0);
    }
    // The readout figures drawn in a column ("Pointer", "#1", "#2"), top to bottom, as
    // before/after pairs.
    static std::vector<std::pair<int, int>> Column(UiWindow* w, const char* head) {
        const UiHeadlessWindow* hw = Ui_Headless_Window(w);
        const Ui_Rect box = Item(w, kEditorReadouts).rect;
        const UiHeadlessText* heading = nullptr;
        for (int32_t i = 0; i < hw->textCount; ++i) {
            const UiHeadlessText& t = hw->texts[i];
            if (std::strcmp(t.text, head) == 0 &&
                Ui_Rect_ContainsPoint(&box, t.rect.top, t.rect.left)) {
                heading = &t;
            }
        }
        std::vector<std::pair<int, int>> out;
        if (heading == nullptr) return out;
        std::vector<std::pair<int, std::pair<int, int>>> rows;
        for (int32_t i = 0; i < hw->textCount; ++i) {
            const UiHeadlessText& t = hw->texts[i];
            int a = 0, b = 0;
            // Texts are centred in their column.
            const int centre = t.rect.left + t.rect.right;
            const int column = heading->rect.left + heading->rect.right;
            if (std::abs(centre - column) <= 2 && t.rect.top > heading->rect.top &&
                Ui_Rect_ContainsPoint(&box, t.rect.top, t.rect.left) &&
                std::sscanf(t.text, "%d/%d", &a, &b) == 2) {
                rows.push_back({t.rect.top, {a, b}});
            }
        }
        // Only the last drawing of the readouts counts: keep the last three rows drawn.
        if (rows.size() > 3) rows.erase(rows.begin(), rows.end() - 3);
        for (const auto& r : rows) out.push_back(r.second);
        return out;
    }
    // What the engine makes of the average of the (2 n + 1)-pixel square around (x, y) through
    // the live parameters' tools of mask: 8-bit codes.
    std::vector<int> Through(HgEditMask mask, int32_t x, int32_t y, int32_t n) {
        int sum[3] = {0, 0, 0}, count = 0;
        for (int32_t j = y - n; j <= y + n; ++j) {
            for (int32_t i = x - n; i <= x + n; ++i) {
                if (i < 0 || j < 0 || i >= kW || j >= kH) continue;
                for (int c = 0; c < 3; ++c) sum[c] += pixels_[(size_t(j) * kW + size_t(i)) * 3 + c];
                ++count;
            }
        }
        uint8_t mean[3];
        for (int c = 0; c < 3; ++c) mean[c] = uint8_t((sum[c] + count / 2) / count);
        IPImage one = view_;
        one.width = one.height = 1;
        for (int c = 0; c < 3; ++c) one.channel[c] = &mean[c];
        Huegrid* grid = nullptr;
        if (mask != 0) {
            EXPECT_EQ(HgBuild(&es_->editPars, mask, es_->gridLevel, 1, &grid), 0);
        }
        float rgb[3];
        EXPECT_EQ(HgPixelThrough(&one, grid, 0, 0, rgb, nullptr), 0);
        if (grid != nullptr) HgFree(grid);
        return {int(std::lround(255 * rgb[0])), int(std::lround(255 * rgb[1])),
                int(std::lround(255 * rgb[2]))};
    }

    std::vector<UiScriptEvent> events_;
    std::vector<IPMask> sampledDrawn_;
    std::vector<std::string> calls_;
    std::vector<uint32_t> cursorsWhileZooming_;  // the cursor shown while the host fetched
    uint8_t reduced_ = 0;
    int32_t level_ = 0;          // the zoom level shown
    int32_t refusedLevel_ = -1;  // the level the stand-in host refuses
};

TEST_F(WindowClicksTest, NeutralClickTakesTheCastOutOfTheGreyPatch) {
    std::vector<UiScriptEvent> script;
    ClickPixel(&script, 20, 11);
    std::vector<std::pair<int, int>> pointer;
    const size_t at = script.size();
    script.push_back(Call([&, at](UiWindow* w) {
        const Ui_Point p = At(w, 20, 11);
        events_[at + 1] = Move(p.v, p.h);
    }));
    script.push_back(Idle(0));
    int32_t wedgeSpread = -1;
    script.push_back(Call([&](UiWindow* w) {
        pointer = Column(w, "Pointer");
        // The step wedge shows the warm cast the click found.
        Ui_Rect wedge;
        Ui_Item_GetRect(w, kEditorCastWedge, &wedge);
        const Ui_RGB c =
            Ui_Headless_Pixel(Ui_Headless_Window(w), wedge.top + 4, (wedge.left + wedge.right) / 2);
        wedgeSpread = int32_t(c.r) - int32_t(c.b);
    }));
    RunScript(script);
    EXPECT_GT(wedgeSpread, 4);

    // The record now neutralises the patch: its after value is grey.
    const std::vector<int> after = Through(kEditMaskAll, 20, 11, 0);
    EXPECT_LE(std::abs(after[0] - after[1]), 1) << after[0] << " " << after[1] << " " << after[2];
    EXPECT_LE(std::abs(after[2] - after[1]), 1) << after[0] << " " << after[1] << " " << after[2];
    // The pointer's readout shows the same through the window's own after transform.
    ASSERT_EQ(pointer.size(), 3u);
    EXPECT_EQ(pointer[0].first, 164);
    EXPECT_EQ(pointer[2].first, 134);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(pointer[size_t(c)].second, after[size_t(c)]) << c;
    // The sampled region was drawn blue: the whole flat patch and nothing of the sky or ramp.
    ASSERT_FALSE(sampledDrawn_.empty());
    const IPMask& region = sampledDrawn_.front();
    EXPECT_EQ(region.left, 0);
    EXPECT_EQ(region.right, kW - 1);
    EXPECT_EQ(region.top, 8);
    EXPECT_EQ(region.bottom, 15);
}

TEST_F(WindowClicksTest, ClickOnTheLevelsTabSetsThePointTheRuleNames) {
    es_->currentTab = 1;
    // Light, dark and middle pixels of the ramp: each sets the point its brightness falls to.
    const int32_t xs[] = {45, 3, 26, 30};
    std::vector<UiScriptEvent> script;
    std::vector<std::string> failures;
    EditPars opened{};
    script.push_back(Call([&](UiWindow*) { opened = es_->editPars; }));
    for (int32_t x : xs) {
        EditPars* expected = new EditPars;
        script.push_back(Call([this, x, expected](UiWindow*) {
            *expected = es_->editPars;
            // Brightness as the levels tool receives the pixel, then the rule.
            Huegrid* grid = nullptr;
            HgBuild(&es_->editPars, 3, es_->gridLevel, 1, &grid);
            float rgb[3];
            HgPixelThrough(&view_, grid, x, 20, rgb, nullptr);
            HgFree(grid);
            const double p = 0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2];
            const double b = expected->blackPoint, w = expected->whitePoint;
            const double g = b + expected->grayPoint * (w - b);
            if (p > (w + g) / 2) {
                expected->whitePoint = float(p);
            } else if (p > (b + g) / 2) {
                expected->grayPoint = float((p - b) / (w - b));
            } else {
                expected->blackPoint = float(p);
            }
        }));
        ClickPixel(&script, x, 20);
        script.push_back(Call([this, x, expected, &failures](UiWindow*) {
            if (std::memcmp(expected, &es_->editPars, sizeof(EditPars)) != 0) {
                failures.push_back("x " + std::to_string(x) + ": b " +
                                   std::to_string(es_->editPars.blackPoint) + " g " +
                                   std::to_string(es_->editPars.grayPoint) + " w " +
                                   std::to_string(es_->editPars.whitePoint) + ", expected " +
                                   std::to_string(expected->blackPoint) + " " +
                                   std::to_string(expected->grayPoint) + " " +
                                   std::to_string(expected->whitePoint));
            }
            delete expected;
        }));
    }
    RunScript(script);
    EXPECT_TRUE(failures.empty()) << failures.front();
    // Every one of the three points moved.
    EXPECT_NE(es_->editPars.whitePoint, opened.whitePoint);
    EXPECT_NE(es_->editPars.blackPoint, opened.blackPoint);
    EXPECT_NE(es_->editPars.grayPoint, opened.grayPoint);
}

TEST_F(WindowClicksTest, SamplePointsReadTheEngineTransformOfTheirAverage) {
    window_.keenhueStart = kEditMaskAll;
    prefs_->sampleSize = 1;
    std::vector<UiScriptEvent> script;
    ClickPixel(&script, 10, 20, 0, 0, 1);
    std::vector<std::pair<int, int>> first, moved, second;
    script.push_back(Call([&](UiWindow* w) { first = Column(w, "#1"); }));
    // Shift-drag on the point moves it; a second Shift-click sets #2.
    ClickPixel(&script, 10, 20, 0, 0, 1, 40, 4);
    script.push_back(Call([&](UiWindow* w) { moved = Column(w, "#1"); }));
    ClickPixel(&script, 30, 12, 0, 0, 1);
    script.push_back(Call([&](UiWindow* w) { second = Column(w, "#2"); }));
    // A third is refused with a note.
    ClickPixel(&script, 5, 28, 0, 0, 1);
    RunScript(script);

    struct Case {
        const std::vector<std::pair<int, int>>* shown;
        int32_t x, y;
    };
    for (const Case& c : {Case{&first, 10, 20}, Case{&moved, 40, 4}, Case{&second, 30, 12}}) {
        const std::vector<int> before = Through(0, c.x, c.y, 1);
        const std::vector<int> after = Through(kEditMaskAll, c.x, c.y, 1);
        ASSERT_EQ(c.shown->size(), 3u) << c.x << "," << c.y;
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_EQ((*c.shown)[k].first, before[k]) << c.x << "," << c.y << " channel " << k;
            EXPECT_EQ((*c.shown)[k].second, after[k]) << c.x << "," << c.y << " channel " << k;
        }
    }
    // The keenhue start changed the picture: the after figures are not the before ones.
    EXPECT_NE(first, (std::vector<std::pair<int, int>>{}));
    ASSERT_EQ(alerts.size(), 1u);
    char text[256];
    EXPECT_EQ(alerts[0], Ui_ResToCString(state_, kStrOnlyTwoSamples, text));
}

TEST_F(WindowClicksTest, UndoAfterEachKindOfClickRestoresTheRecord) {
    prefs_->keenhueMode = 1;
    struct Case {
        int32_t tab, x, y;
    };
    for (const Case& c : {Case{0, 20, 11}, Case{1, 45, 20}, Case{3, 20, 3}}) {
        es_->currentTab = c.tab;
        EditPars before{};
        bool changed = false, restored = false;
        std::vector<UiScriptEvent> script;
        script.push_back(Call([&](UiWindow*) { before = es_->editPars; }));
        ClickPixel(&script, c.x, c.y);
        script.push_back(Call([&](UiWindow* w) {
            changed = std::memcmp(&before, &es_->editPars, sizeof before) != 0;
            EXPECT_TRUE(Item(w, kEditorUndo).enabled);
            if (c.tab == 3) {
                EXPECT_TRUE(Item(w, kEditorMemoryColor1).enabled);
            }
        }));
        script.push_back(Click(kEditorUndo));
        script.push_back(Call([&](UiWindow*) {
            restored = std::memcmp(&before, &es_->editPars, sizeof before) == 0;
        }));
        RunScript(script);
        EXPECT_TRUE(changed) << "tab " << c.tab;
        EXPECT_TRUE(restored) << "tab " << c.tab;
    }
    EXPECT_TRUE(alerts.empty()) << alerts.front();
}

TEST_F(WindowClicksTest, HueClickOnGreyIsRefusedAndChangesNothing) {
    es_->currentTab = 3;
    EditPars before = es_->editPars;
    std::vector<UiScriptEvent> script;
    script.push_back(Call([&](UiWindow*) { before = es_->editPars; }));
    ClickPixel(&script, 30, 29);
    // Nothing changed, so there is nothing to undo either.
    script.push_back(Call([&](UiWindow* w) { EXPECT_FALSE(Item(w, kEditorUndo).enabled); }));
    RunScript(script);
    ASSERT_EQ(alerts.size(), 1u);
    char text[256];
    EXPECT_EQ(alerts[0], Ui_ResToCString(state_, kStrTooNeutralForHue, text));
    EXPECT_EQ(std::memcmp(&before, &es_->editPars, sizeof before), 0);
    EXPECT_TRUE(sampledDrawn_.empty());
}

// The preview's menu offers the zoom levels that show more than fit (the picture is a quarter of
// the image: 25 % would show no more) with the one shown checked, and zooms around the pixel under
// the pointer (picture (12, 7) is image (50, 30)), keeping it under the pointer; Fit goes back.
TEST_F(WindowClicksTest, ThePreviewMenuZoomsAroundThePixelAndBack) {
    reduced_ = 1;
    const EditPars opened = es_->editPars;
    std::vector<std::string> menus;
    auto lastMenu = [&]() {
        const UiHeadlessMenu* m = Ui_Headless_LastMenu();
        std::string text;
        for (int i = 0; i < 6; ++i)
            text += std::to_string(m->enabled[i]) + (m->mark[i] == kUiMenuOn ? "*" : "") + " ";
        menus.push_back(text);
    };
    std::vector<UiScriptEvent> script;
    // The point is only known once the window is open: the call fills the event after it.
    script.push_back(Call([this](UiWindow* w) {
        const Ui_Point p = At(w, 12, 7);
        events_[1] = Context(kEditorPreviewImage, p.v, p.h);
    }));
    script.push_back(Idle(0));
    script.push_back(MenuChoice(4));  // 100 % (the choices count from 1)
    script.push_back(Call([&](UiWindow*) { lastMenu(); }));
    script.push_back(Context(kEditorPreviewImage));
    script.push_back(MenuChoice(1));  // fit
    script.push_back(Call([&](UiWindow*) { lastMenu(); }));
    RunScript(script);
    EXPECT_EQ(Joined(calls_), Joined({"zoom 100 50,30 at 12,7", "restore"}));
    EXPECT_EQ(menus, (std::vector<std::string>{"1* 0 1 1 1 1 ", "1 0 1 1* 1 1 "}));
    EXPECT_EQ(std::memcmp(&opened, &es_->editPars, sizeof opened), 0);
    // The fetches are long on a large image: the wait cursor shows while they run.
    EXPECT_EQ(cursorsWhileZooming_, (std::vector<uint32_t>{kUiCursorWait, kUiCursorWait}));
}

// The wheel steps a level a notch around the pointer (up: in), Ctrl+plus and Ctrl+minus step
// around the middle and stop at the ends, Ctrl+1 and Ctrl+0 go to 100 % and fit; the status area
// beside the preview says what is shown.
TEST_F(WindowClicksTest, WheelAndKeysStepThroughTheLevelsAndTheStatusShowsTheZoom) {
    reduced_ = 1;
    std::vector<std::string> status;
    auto readStatus = [&](std::vector<UiScriptEvent>* sc) {
        sc->push_back(Idle(1));
        sc->push_back(Call([&](UiWindow* w) {
            const Ui_Rect box = Item(w, kEditorStatus).rect;
            const UiHeadlessWindow* hw = Ui_Headless_Window(w);
            std::string last;
            for (int32_t i = 0; i < hw->textCount; ++i) {
                if (Ui_Rect_ContainsPoint(&box, hw->texts[i].rect.top, hw->texts[i].rect.left))
                    last = hw->texts[i].text;
            }
            status.push_back(last);
        }));
    };
    std::vector<UiScriptEvent> script;
    readStatus(&script);
    const size_t at = script.size();
    script.push_back(Call([this, at](UiWindow* w) {
        const Ui_Point p = At(w, 12, 7);
        events_[at + 1] = Wheel(kEditorPreviewImage, p.v, p.h, -1);
        events_[at + 2] = Wheel(kEditorPreviewImage, p.v, p.h, -1);
    }));
    script.push_back(Idle(0));
    script.push_back(Idle(0));
    readStatus(&script);
    for (int32_t key : {0xBB, int('='), 0xBB, 0xBD, int('0'), int('1')})
        script.push_back(Key(key, 0, 1));
    readStatus(&script);
    script.push_back(Wheel(kEditorPreviewImage, -1, -1, 3));
    readStatus(&script);
    RunScript(script);
    // 50 % at rate 2 puts picture (12, 7) on image (25, 15); the keys zoom around the middle
    // (drawn (24, 16)), which magnified is picture pixel (12, 8) at 200 % and (6, 4) at 400 %.
    EXPECT_EQ(Joined(calls_),
              Joined({"zoom 50 50,30 at 12,7", "zoom 100 25,15 at 12,7", "zoom 200 24,16 at 24,16",
                      "zoom 400 12,8 at 24,16", "zoom 200 6,4 at 24,16", "restore",
                      "zoom 100 98,66 at 24,16", "restore"}));
    EXPECT_EQ(status,
              (std::vector<std::string>{"Fit: 25%", "Zoom: 100%", "Zoom: 100%", "Fit: 25%"}));
    EXPECT_TRUE(alerts.empty());
}

// A sample point goes through the preview's menu (greyed while the point is not set) or by
// dragging it out of the preview; the other point keeps its number, and the free one is set
// again by the next Shift-click.
TEST_F(WindowClicksTest, SamplePointsAreTakenAwayByTheMenuOrByDraggingThemOut) {
    std::vector<UiScriptEvent> script;
    // Which points are set, as the preview's menu offers them: "10" while only #1 is.
    std::vector<std::string> set;
    auto look = [&]() {
        script.push_back(Context(kEditorPreviewImage));
        script.push_back(MenuChoice(0));
        script.push_back(Call([&](UiWindow*) {
            const UiHeadlessMenu* m = Ui_Headless_LastMenu();
            set.push_back(std::to_string(m->enabled[7]) + std::to_string(m->enabled[8]));
        }));
    };
    look();
    ClickPixel(&script, 10, 20, 0, 0, 1);
    ClickPixel(&script, 30, 12, 0, 0, 1);
    look();
    script.push_back(Context(kEditorPreviewImage));
    script.push_back(MenuChoice(8));  // "Remove Sample Point #1"
    look();
    ClickPixel(&script, 5, 5, 0, 0, 1);  // takes #1 again
    look();
    // #2 Shift-dragged out past the preview's left edge.
    const size_t at = script.size();
    script.push_back(Call([this, at](UiWindow* w) {
        const Ui_Point p = At(w, 30, 12);
        events_[at + 1] = Holding(Press(kEditorPreviewImage, p.v, p.h), 0, 0, 1);
        events_[at + 2] = Holding(Drag(p.v, 2), 0, 0, 1);
        events_[at + 3] = Holding(Release(p.v, 2), 0, 0, 1);
    }));
    for (int i = 0; i < 3; ++i) script.push_back(Idle(0));
    script.push_back(Idle(1));
    look();
    // Each placing, removing and dragging out is a step of the history, named for it.
    for (int i = 0; i < 3; ++i) {
        script.push_back(Key('Z', 0, 1));
        look();
    }
    script.push_back(Key('Y', 0, 1));
    look();
    std::string undoTip;
    script.push_back(Call([&](UiWindow* w) { undoTip = Item(w, kEditorUndo).tip; }));
    // Shift+Alt-click on #2 takes it away, where Alt reaches the window.
    ClickPixel(&script, 30, 12, 0, 1, 1);
    look();
    RunScript(script);
    EXPECT_EQ(set, (std::vector<std::string>{"00", "11", "01", "11", "10", "11", "01", "11", "01",
                                             "00"}));
    EXPECT_EQ(undoTip.rfind("Undo Sample Point", 0), 0u) << undoTip;
    EXPECT_TRUE(alerts.empty());
}

// A level the host refuses leaves it at fit; the window asks for the level it showed before
// again (at the same corner) and tells the refusal once.
TEST_F(WindowClicksTest, ARefusedZoomKeepsTheViewFromBeforeAndSaysSoOnce) {
    reduced_ = 1;
    refusedLevel_ = 200;
    std::vector<UiScriptEvent> script;
    script.push_back(Key('1', 0, 1));
    script.push_back(Key(0xBB, 0, 1));
    int32_t shown = -1;
    script.push_back(Call([&](UiWindow*) { shown = level_; }));
    RunScript(script);
    EXPECT_EQ(Joined(calls_), Joined({"zoom 100 98,66 at 24,16", "zoom 200 24,16 at 24,16",
                                      "zoom 100 0,0 at 0,0"}));
    EXPECT_EQ(shown, 100);
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(WindowClicksTest, AltClickZoomsInAndOutAndControlDragPans) {
    reduced_ = 1;
    const EditPars opened = es_->editPars;
    std::vector<UiScriptEvent> script;
    ClickPixel(&script, 12, 7, 0, 1, 0);
    // Dragging the picture 5 right and 3 down moves the 1:1 window the other way.
    ClickPixel(&script, 20, 10, 1, 0, 0, 25, 13);
    // On the brightness tab, whose tool takes no click, a plain drag pans as well; at 200 % a
    // picture pixel is two drawn ones (the stand-in keeps the picture's size).
    script.push_back(Key(9, 0, 1));
    script.push_back(Key(9, 0, 1));
    script.push_back(Key(0xBB, 0, 1));
    ClickPixel(&script, 20, 10, 0, 0, 0, 26, 10);
    ClickPixel(&script, 12, 7, 0, 1, 0);
    RunScript(script);
    EXPECT_EQ(Joined(calls_), Joined({"zoom 100 50,30 at 12,7", "pan -5,-3",
                                      "zoom 200 24,16 at 24,16", "pan -3,0", "restore"}));
    // Those clicks marked nothing.
    EXPECT_EQ(std::memcmp(&opened, &es_->editPars, sizeof opened), 0);
}

}  // namespace
