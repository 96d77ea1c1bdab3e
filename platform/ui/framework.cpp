// Which binding the framework uses, and the hooks that tie it into the platform layer.
#include "platform/alert.h"
#include "platform/ui/alert_box.h"
#include "platform/ui/binding.h"
#include "platform/ui/cursor.h"
#include "platform/ui/dlg_internal.h"
#include "platform/ui/headless/headless.h"
#include "platform/ui_state.h"

namespace {

const UiBinding* gBinding = nullptr;
// Open states that registered the UiUserItem class; the class exists while this is above 0.
int32_t gClassRefs = 0;

int32_t OnStateOpen(UiState* state) {
    int32_t status = Ui_Binding()->registerClass(state);
    if (status == kStatusOk) ++gClassRefs;
    return status;
}

int32_t OnStateClose(UiState* state) {
    Ui_Cursor_Release(state);
    if (gClassRefs > 0) {
        --gClassRefs;
        Ui_Binding()->unregisterClass(state);
    }
    return kStatusOk;
}

}  // namespace

const UiBinding* Ui_Binding() {
    return gBinding != nullptr ? gBinding : Ui_Headless_Binding();
}

bool Ui_Framework_ClassRegistered() {
    return gClassRefs > 0;
}

int32_t Ui_Framework_Install(const UiBinding* binding) {
    gBinding = binding != nullptr ? binding : Ui_Headless_Binding();
    Ui_State_SetHooks(OnStateOpen, OnStateClose);
    Ui_Alert_SetPresenter(Ui_AlertBox_Present);
    return kStatusOk;
}

void Ui_Framework_Uninstall() {
    gBinding = nullptr;
    gClassRefs = 0;
    Ui_State_SetHooks(nullptr, nullptr);
    Ui_Alert_SetPresenter(nullptr);
}
