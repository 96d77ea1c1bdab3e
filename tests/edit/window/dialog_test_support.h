// Shared fixture for the dialogs of the editing window: the headless binding with a script, a
// call state over the module's resources, the help file the start phase would write, a stand-in
// for the host's procedures, alerts captured instead of shown, and a check that every run gives
// back all the memory it took.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "edit/window/dialog_env.h"
#include "tests/platform/ui/ui_test_support.h"

namespace window_testing {

using namespace ui_testing;

class DialogTest : public UiTest {
   protected:
    void SetUp() override;
    void TearDown() override;

    // The text of an item of the open dialog (static texts, edit fields, buttons).
    static std::string ItemText(UiWindow* w, int16_t item);
    // The headless item of the open dialog.
    static const UiHeadlessItem& Item(UiWindow* w, int16_t item);
    // The texts drawn inside an item of the open dialog since it opened, in drawing order.
    static std::vector<std::string> TextsIn(UiWindow* w, int16_t item);
    // Every alert shown so far: its text, and " | " and the detail when there is one.
    static std::vector<std::string> alerts;

    std::string helpPath_;
    uint8_t showGuide_ = 1;
    HelpContext help_{};
    WindowHostProcs host_{};
    DialogEnv env_{};
    // What the stand-in colour picker answers: a colour, or the status it fails with.
    float pickerAnswer_[3] = {0.5f, 0.5f, 0.5f};
    int32_t pickerStatus_ = 0;
    int32_t pickerCalls_ = 0;
    float pickerOffered_[3] = {0, 0, 0};
};

}  // namespace window_testing
