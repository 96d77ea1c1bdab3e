// Error alerts and alert boxes; see alert.h.
#include "platform/alert.h"

#include <cstdio>

#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui_state.h"

namespace {

constexpr int32_t kStringWhile = 6050;
constexpr int32_t kStringCancel = 6132;

// Without a window system the alert goes to the debug log (always) and to stderr, and the answer
// is the first button, the default of every alert.
int32_t HeadlessPresenter(UiState*, const Ui_AlertRecord* alert, int16_t* item) {
    Ui_Debug_Log(1, alert->text);
    if (alert->detail != nullptr) Ui_Debug_Log(1, alert->detail);
    std::fprintf(stderr, "%s\n", alert->text);
    if (alert->detail != nullptr) std::fprintf(stderr, "%s\n", alert->detail);
    *item = 1;
    return kStatusOk;
}

UiAlertPresenter gPresenter = HeadlessPresenter;
UiState** gStateRef = nullptr;

int32_t Present(UiState* state, const char* text, const char* detail, uint32_t icon,
                uint32_t buttons, const char* first, const char* second, int16_t* item) {
    if (state == nullptr || text == nullptr) return kStatusProblem;
    Ui_AlertRecord alert{text, detail, icon, buttons, first, second};
    int16_t hit = 1;
    int32_t status = gPresenter(state, &alert, &hit);
    if (item != nullptr) *item = hit;
    return status;
}

}  // namespace

void Ui_Alert_SetPresenter(UiAlertPresenter presenter) {
    gPresenter = presenter != nullptr ? presenter : HeadlessPresenter;
}

void Ui_Alert_SetStateRef(UiState** ref) {
    gStateRef = ref;
}

int32_t Ui_Alert_MessageId(int32_t status) {
    if (status <= -1 && status >= -9) return 6000 + (-status - 1);
    if (status == kStatusTimeout) return 6009;
    return 6010;
}

int32_t Ui_Alert_HintId(int32_t status) {
    switch (status) {
        case kStatusFileOpen:
            return 2000;
        case kStatusFileRead:
        case kStatusFileSeek:
            return 2001;
        case kStatusFileWrite:
            return 2002;
        case kStatusFormat:
            return 2003;
        default:
            return 0;
    }
}

int32_t ShowErrorAlert(int32_t status, const char* phrase, const char* hint) {
    if (gStateRef == nullptr || *gStateRef == nullptr) return status;
    UiState* state = *gStateRef;
    char hintText[256];
    if (hint == nullptr) {
        int32_t id = Ui_Alert_HintId(status);
        if (id != 0) hint = Ui_ResToCString(state, id, hintText);
    }
    return Ui_Alert_DoVantorError(state, status, phrase, hint);
}

int32_t Ui_Alert_DoVantorError(UiState* state, int32_t status, const char* phrase,
                               const char* hint) {
    uint8_t diagnostics = state != nullptr ? state->diagnostics : 0;
    char line[64];
    Ui_FormatStringN(line, sizeof line, "Ui_Alert_DoVantorError %d", status);
    Ui_Debug_Log(diagnostics, line);
    if (status == kStatusCancelled) return status;

    // Room for a message of 255 characters, the connective, a phrase of 255 and the full stop.
    char text[256 + 8 + 256 + 2];
    Ui_ResToCString(state, Ui_Alert_MessageId(status), text);
    if (phrase != nullptr) {
        char connective[256];
        Ui_ResToCString(state, kStringWhile, connective);
        size_t n = Str_Length(text);
        Ui_FormatStringN(text + n, sizeof text - n, "%s%s.", connective, phrase);
    }
    Ui_Debug_Log(diagnostics, text);
    Ui_Alert_Message(state, text, hint, nullptr, 0);
    return status;
}

int32_t Ui_Alert_Message(UiState* state, const char* text, const char* detail,
                         const char* firstLabel, uint8_t beep) {
    if (detail == nullptr) return Ui_Alert_Stop(state, text, firstLabel, beep);
    return Present(state, text, detail, kUiAlertIconStop, 1, firstLabel, nullptr, nullptr);
}

int32_t Ui_Alert_Stop(UiState* state, const char* text, const char* firstLabel, uint8_t) {
    return Present(state, text, nullptr, kUiAlertIconStop, 1, firstLabel, nullptr, nullptr);
}

int32_t Ui_Alert_Note(UiState* state, const char* text, const char* firstLabel, uint8_t) {
    return Present(state, text, nullptr, kUiAlertIconNote, 1, firstLabel, nullptr, nullptr);
}

int32_t Ui_Alert_Caution(UiState* state, const char* text, const char* firstLabel, uint8_t) {
    return Present(state, text, nullptr, kUiAlertIconCaution, 1, firstLabel, nullptr, nullptr);
}

int32_t Ui_Alert_Ask(UiState* state, const char* text, const char* firstLabel,
                     const char* secondLabel, uint8_t, int16_t* item) {
    if (item == nullptr) return kStatusProblem;
    char cancel[256];
    if (secondLabel == nullptr) secondLabel = Ui_ResToCString(state, kStringCancel, cancel);
    return Present(state, text, nullptr, kUiAlertIconCaution, 2, firstLabel, secondLabel, item);
}
