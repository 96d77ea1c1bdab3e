#include "tests/edit/window/dialog_test_support.h"

#include "platform/alert.h"
#include "platform/file.h"
#include "platform/resources.h"
#include "platform/ui/controls.h"
#include "resources/ids/resources.h"

namespace window_testing {

std::vector<std::string> DialogTest::alerts;

void DialogTest::SetUp() {
    UiTest::SetUp();
    alerts.clear();
    Ui_Alert_SetPresenter([](UiState*, const Ui_AlertRecord* a, int16_t* item) -> int32_t {
        std::string text = a->text != nullptr ? a->text : "";
        if (a->detail != nullptr && a->detail[0] != 0) text += std::string(" | ") + a->detail;
        alerts.push_back(text);
        *item = 1;
        return 0;
    });
    // The help file as the start phase writes it: the module's help resource copied out.
    helpPath_ = root_ + "/help.tmp";
    FLSpec spec;
    FLSpecDisk(&spec, helpPath_.c_str());
    ASSERT_EQ(Ui_ResToFile(state_, kResTypeHelp, kResHelp, &spec), 0);
    help_ = HelpContext{state_, helpPath_.c_str(), &showGuide_, nullptr};
    host_.context = this;
    host_.pickColor = [](void* context, float rgb[3]) -> int32_t {
        auto* t = static_cast<DialogTest*>(context);
        ++t->pickerCalls_;
        for (int c = 0; c < 3; ++c) t->pickerOffered_[c] = rgb[c];
        if (t->pickerStatus_ != 0) return t->pickerStatus_;
        for (int c = 0; c < 3; ++c) rgb[c] = t->pickerAnswer_[c];
        return 0;
    };
    env_ = DialogEnv{state_, nullptr, &host_, &help_};
}

void DialogTest::TearDown() {
    Ui_Alert_SetPresenter(nullptr);
    UiTest::TearDown();
}

std::string DialogTest::ItemText(UiWindow* w, int16_t item) {
    return Item(w, item).text;
}

const UiHeadlessItem& DialogTest::Item(UiWindow* w, int16_t item) {
    const UiHeadlessWindow* hw = Ui_Headless_Window(w);
    EXPECT_NE(hw, nullptr);
    EXPECT_TRUE(1 <= item && item <= hw->itemCount);
    return hw->items[item - 1];
}

std::vector<std::string> DialogTest::TextsIn(UiWindow* w, int16_t item) {
    Ui_Rect r;
    Ui_Item_GetRect(w, item, &r);
    const UiHeadlessWindow* hw = Ui_Headless_Window(w);
    std::vector<std::string> out;
    for (int32_t i = 0; i < hw->textCount; ++i) {
        const Ui_Rect& t = hw->texts[i].rect;
        if (t.top >= r.top && t.bottom <= r.bottom && t.left >= r.left && t.right <= r.right) {
            out.push_back(hw->texts[i].text);
        }
    }
    return out;
}

}  // namespace window_testing
