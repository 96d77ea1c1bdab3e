// See window_test_support.h.
#include "tests/edit/window/window_test_support.h"

#include <gtest/gtest.h>

namespace window_testing {

void WindowTest::SetUp() {
    DialogTest::SetUp();
    es_ = std::make_unique<EditState>();
    ASSERT_EQ(EditStateInit(es_.get(), nullptr), 0);
    es_->keenhueMask = kEditMaskAll;
    prefs_ = std::make_unique<Prefs>();
    SetPrefsDefaults(prefs_.get());
    prefs_->showStartUpGuide = 0;
    MakePicture(1, 1, [](int32_t, int32_t, uint8_t rgb[3]) { rgb[0] = rgb[1] = rgb[2] = 128; });
    host_.acquirePreview = [](void* c, int32_t, int32_t, Ui_Failure*) -> int32_t {
        WindowTest* t = Self<WindowTest>(c);
        t->es_->analysisImage = t->view_;
        return 0;
    };
    host_.previewInfo = [](void* c, PreviewInfo* info) -> int32_t {
        const WindowTest* t = Self<WindowTest>(c);
        *info = PreviewInfo{};
        info->width = info->imageWidth = info->fitWidth = info->drawnWidth = t->view_.width;
        info->height = info->imageHeight = info->fitHeight = info->drawnHeight = t->view_.height;
        info->rate = info->magnify = 1;
        info->shown = t->view_;
        return 0;
    };
    host_.drawPreview = [](void*, UiWindow*, const Ui_Rect*, const PreviewLook*,
                           Ui_Failure*) -> int32_t { return 0; };
    window_.state = state_;
    window_.prefs = prefs_.get();
    window_.host = &host_;
    window_.help = &help_;
    window_.context = this;
}

void WindowTest::TearDown() {
    // The analysis image is the test's picture, not a block of the state's own.
    es_->analysisImage = IPImage{};
    EditStateFreeAnalysis(es_.get());
    DialogTest::TearDown();
}

void WindowTest::MakePicture(int32_t width, int32_t height,
                             const std::function<void(int32_t, int32_t, uint8_t[3])>& fill) {
    pixels_.assign(size_t(width) * size_t(height) * 3, 0);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) fill(x, y, &pixels_[(size_t(y) * width + x) * 3]);
    }
    view_ = IPRgb8View(pixels_.data(), width, height);
}

}  // namespace window_testing
