// System services; see system.h.
#include "platform/ui/system.h"

#include "platform/alert.h"
#include "platform/os.h"
#include "platform/ui/binding.h"
#include "resources/ids/strings.h"

int32_t Ui_Key_State(uint8_t* ctrl, uint8_t* alt, uint8_t* shift) {
    uint8_t c = 0, a = 0, s = 0;
    Ui_Binding()->keyState(&c, &a, &s);
    if (ctrl != nullptr) *ctrl = c;
    if (alt != nullptr) *alt = a;
    if (shift != nullptr) *shift = s;
    return kStatusOk;
}

int32_t Ui_Beep() {
    Ui_Binding()->beep();
    return kStatusOk;
}

uint32_t Ui_TickCount() {
    return Ui_Binding()->tickCount();
}

int32_t Ui_Web_Open(UiState* state, const char* address, Ui_Failure* failure) {
    if (state == nullptr || address == nullptr || address[0] == 0) return kStatusProblem;
    int32_t code = 0;
    if (Ui_Binding()->openUrl(address, &code) == kStatusOk) return kStatusOk;
    Ui_Failure_DescribeText(failure, kStatusError, kStrBrowserError, kUiFailStop);
    if (failure != nullptr) failure->number = code;
    return kStatusError;
}

int32_t Ui_Shell_Run(const char* program, const char* argument, int32_t* code) {
    if (code != nullptr) *code = 0;
    if (program == nullptr || argument == nullptr || code == nullptr) return kStatusProblem;
    int error = Os_RunProgram(program, argument, code);
    if (error != 0) {
        *code = error;
        return kStatusError;
    }
    return *code == 0 ? kStatusOk : kStatusError;
}

uint32_t Ui_MonotonicMillis() {
    return Os_MonotonicMillis();
}
