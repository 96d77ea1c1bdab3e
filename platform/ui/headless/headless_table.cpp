// The headless binding's table, put together from its parts (headless_internal.h lists them), and
// its reset; see headless.h.
#include "platform/ui/headless/headless.h"

#include "platform/ui/headless/headless_internal.h"

namespace {

UiBinding MakeBinding() {
    UiBinding b{};
    b.name = "headless";
    kolmara_headless::FillScriptOps(&b);
    kolmara_headless::FillWindowOps(&b);
    kolmara_headless::FillItemOps(&b);
    kolmara_headless::FillDrawOps(&b);
    kolmara_headless::FillSystemOps(&b);
    return b;
}

}  // namespace

const UiBinding* Ui_Headless_Binding() {
    static const UiBinding headless = MakeBinding();
    return &headless;
}

void Ui_Headless_Reset() {
    kolmara_headless::ResetWindows();
    kolmara_headless::ResetScript();
    kolmara_headless::ResetSystem();
}
