// Error alerts and alert boxes; see alert.h.
#include "platform/alert.h"

#include <cstdio>

#include "platform/debug_log.h"
#include "platform/format.h"
#include "platform/mem.h"
#include "platform/resources.h"
#include "platform/ui_state.h"
#include "resources/ids/strings.h"

namespace {

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

int32_t Ui_Alert_MessageId(int32_t status) {
    // -1 .. -11 in order; a cancel is never shown and has no message of its own.
    static constexpr int32_t kByStatus[] = {
        kMsgProblem,  kMsgError,  kMsgNoMemory,    kMsgFileOpen, kMsgFileRead, kMsgFileWrite,
        kMsgFileSeek, kMsgFormat, kMsgUnsupported, kMsgUnknown,  kMsgTimeout};
    if (status <= kStatusProblem && status >= kStatusTimeout) return kByStatus[-status - 1];
    return kMsgUnknown;
}

int32_t Ui_Alert_HintId(int32_t status) {
    switch (status) {
        case kStatusFileOpen:
            return kHintFileOpen;
        case kStatusFileRead:
        case kStatusFileSeek:
            return kHintFileDamaged;
        case kStatusFileWrite:
            return kHintDiskRoom;
        case kStatusFormat:
            return kHintFileType;
        default:
            return 0;
    }
}

int32_t ShowErrorAlert(UiState* const* stateRef, int32_t status, const char* phrase,
                       const char* hint) {
    if (stateRef == nullptr || *stateRef == nullptr) return status;
    UiState* state = *stateRef;
    char hintText[256];
    if (hint == nullptr) {
        int32_t id = Ui_Alert_HintId(status);
        if (id != 0) hint = Ui_ResToCString(state, id, hintText);
    }
    return Ui_Alert_DoVantorError(state, status, phrase, hint);
}

int32_t Ui_Failure_Describe(Ui_Failure* failure, int32_t status, int32_t textId, int32_t number,
                            const char* name) {
    if (failure == nullptr) return status;
    Ui_Failure_Clear(failure);
    failure->status = status;
    failure->textId = textId;
    failure->number = number;
    if (name != nullptr) Str_CopyBounded(failure->name, sizeof failure->name, name);
    return status;
}

int32_t Ui_Failure_DescribeText(Ui_Failure* failure, int32_t status, int32_t textId,
                                UiFailForm form) {
    Ui_Failure_Describe(failure, status, textId);
    if (failure != nullptr) failure->form = form;
    return status;
}

void Ui_Failure_Clear(Ui_Failure* failure) {
    if (failure != nullptr) Mem_Fill(failure, 0, sizeof *failure);
}

int32_t Ui_Failure_Show(UiState* state, const Ui_Failure* f) {
    if (f == nullptr) return kStatusProblem;
    if (state == nullptr || f->status == kStatusOk) return f->status;
    // Room for a text of 255 characters with a path of 255 in it.
    char pattern[256], text[2 * 256], hint[256];
    const char* phrase = nullptr;
    if (f->textId != 0) {
        Ui_ResToCString(state, f->textId, pattern);
        Str_FormatPhrase(text, sizeof text, pattern, f->number, f->name);
        phrase = text;
    }
    switch (f->form) {
        case kUiFailStop:
            if (f->status != kStatusCancelled && phrase != nullptr) {
                Ui_Alert_Stop(state, phrase, nullptr, 0);
            }
            return f->status;
        case kUiFailCaution:
            if (f->status != kStatusCancelled && phrase != nullptr) {
                Ui_Alert_Caution(state, phrase, nullptr, 1);
            }
            return f->status;
        case kUiFailError:
            break;
    }
    const int32_t hintId = f->hintId != 0 ? f->hintId : Ui_Alert_HintId(f->status);
    const char* hintText = hintId != 0 ? Ui_ResToCString(state, hintId, hint) : nullptr;
    return Ui_Alert_DoVantorError(state, f->status, phrase, hintText);
}

int32_t Ui_Alert_DoVantorError(UiState* state, int32_t status, const char* phrase,
                               const char* hint) {
    uint8_t diagnostics = state != nullptr ? state->diagnostics : 0;
    char line[64];
    Str_FormatN(line, sizeof line, "Ui_Alert_DoVantorError %d", status);
    Ui_Debug_Log(diagnostics, line);
    if (status == kStatusCancelled) return status;

    // Room for a message of 255 characters, the connective, a phrase of 255 and the full stop.
    char text[256 + 8 + 256 + 2];
    Ui_ResToCString(state, Ui_Alert_MessageId(status), text);
    if (phrase != nullptr) {
        char connective[256];
        Ui_ResToCString(state, kStrWhile, connective);
        size_t n = Str_Length(text);
        Str_FormatN(text + n, sizeof text - n, "%s%s.", connective, phrase);
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
    if (secondLabel == nullptr) secondLabel = Ui_ResToCString(state, kStrCancel, cancel);
    return Present(state, text, nullptr, kUiAlertIconCaution, 2, firstLabel, secondLabel, item);
}
