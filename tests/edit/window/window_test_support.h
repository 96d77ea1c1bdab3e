// Shared fixture for tests that run the whole editing window: an edit state and preferences set
// up as a run would have them (the start-up guide off), a small
// picture held by the test, and stand-ins for the host's preview procedures that serve it. Tests
// make their own picture and replace the host procedures they look at.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "edit/edit_state.h"
#include "edit/prefs.h"
#include "edit/window/editing_window.h"
#include "tests/edit/window/dialog_test_support.h"

namespace window_testing {

class WindowTest : public DialogTest {
   protected:
    void SetUp() override;
    void TearDown() override;

    // The picture, width x height, each pixel's red, green and blue from fill(x, y, rgb).
    void MakePicture(int32_t width, int32_t height,
                     const std::function<void(int32_t x, int32_t y, uint8_t rgb[3])>& fill);
    // The test that owns a host procedure's context.
    template <typename T>
    static T* Self(void* context) {
        return static_cast<T*>(static_cast<DialogTest*>(context));
    }

    std::unique_ptr<EditState> es_;
    std::unique_ptr<Prefs> prefs_;
    std::vector<uint8_t> pixels_;
    IPImage view_{};  // the picture over pixels_: the preview and the analysis image
    EditingWindowEnv window_{};
};

}  // namespace window_testing
