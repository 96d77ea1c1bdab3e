// Error alerts and the family of alert boxes.
//
// ShowErrorAlert is the one way a failure reaches the user: the message for the status, " while "
// and a phrase saying what was being done, and a hint by status. Cancels (-10) are never shown.
//
// Only the outermost layer shows anything: the phase handler of the host interface, or the
// handler of a window for what the user does in it. The steps below it return a status and, where
// the alert needs to say more than the status does, fill a Ui_Failure record naming the step
// (its phrase) and the values the phrase needs (a file, a line, a preference). So a failure is
// shown exactly once, and a caller never has to guess whether a callee has shown it already.
//
// The alert box itself is presented through a replaceable presenter. Until a window-system
// binding installs one, the headless presenter writes the whole text to the debug log (forced)
// and to stderr, and answers button 1.
#pragma once

#include <cstdint>

#include "platform/status.h"

struct UiState;

enum : uint32_t { kUiAlertIconStop = 0, kUiAlertIconCaution = 1, kUiAlertIconNote = 2 };

struct Ui_AlertRecord {
    const char* text;         // main text
    const char* detail;       // secondary text (the hint), or null
    uint32_t icon;            // 0 stop, 1 caution, 2 note, else an icon resource id
    uint32_t buttonCount;     // 1 or 2
    const char* firstLabel;   // null: "OK"
    const char* secondLabel;  // null: "Cancel"
};

// How a failure is told: the error alert (the status's message, " while " and the phrase, the
// hint below), or a text of its own in a stop or caution box.
enum UiFailForm : uint8_t { kUiFailError = 0, kUiFailStop = 1, kUiFailCaution = 2 };

// A failure as the step that met it describes it, for the layer that shows it.
struct Ui_Failure {
    int32_t status;   // 0: nothing failed
    int32_t textId;   // string id: the phrase (error form; 0 for none) or the whole text
    int32_t hintId;   // string id of the hint; 0: the status's own (Ui_Alert_HintId)
    int32_t number;   // the value of the text's number conversion, if it has one
    char name[256];   // the value of the text's "%s", if it has one
    UiFailForm form;  // kUiFailError unless set otherwise
};

// Describes a failure in *failure (which may be null: the caller wants the status only) and
// returns status, so that a step can end with `return Ui_Failure_Describe(failure, status,
// kPhrase...);`.
int32_t Ui_Failure_Describe(Ui_Failure* failure, int32_t status, int32_t textId, int32_t number = 0,
                            const char* name = nullptr);
// The same for a text shown on its own in a stop or caution box.
int32_t Ui_Failure_DescribeText(Ui_Failure* failure, int32_t status, int32_t textId,
                                UiFailForm form);
// An empty record: status 0.
void Ui_Failure_Clear(Ui_Failure* failure);
// Shows the failure in the form it names, with its text formatted by Str_FormatPhrase; nothing
// for status 0, a cancel or a null state. Returns the failure's status.
int32_t Ui_Failure_Show(UiState* state, const Ui_Failure* failure);

// Shows the alert and stores the item hit (1 or 2). Returns 0, or -2 when no box could be made.
using UiAlertPresenter = int32_t (*)(UiState* state, const Ui_AlertRecord* alert, int16_t* item);
void Ui_Alert_SetPresenter(UiAlertPresenter presenter);  // null restores the headless one

// The generic alert for a status, " while " phrase, and a hint (picked by status when none is
// given). stateRef is the caller's pointer to its locked call state: while it or what it points
// at is null, nothing is shown and the status comes back as it was.
int32_t ShowErrorAlert(UiState* const* stateRef, int32_t status, const char* phrase,
                       const char* hint);
int32_t Ui_Alert_DoVantorError(UiState* state, int32_t status, const char* phrase,
                               const char* hint);
int32_t Ui_Alert_Message(UiState* state, const char* text, const char* detail,
                         const char* firstLabel, uint8_t beep);
int32_t Ui_Alert_Stop(UiState* state, const char* text, const char* firstLabel, uint8_t beep);
int32_t Ui_Alert_Note(UiState* state, const char* text, const char* firstLabel, uint8_t beep);
// Caution icon, one button: a warning that needs no answer.
int32_t Ui_Alert_Caution(UiState* state, const char* text, const char* firstLabel, uint8_t beep);
int32_t Ui_Alert_Ask(UiState* state, const char* text, const char* firstLabel,
                     const char* secondLabel, uint8_t beep, int16_t* item);

// String id of the message shown for a status (kMsgProblem ...), and of its default hint (0: none).
int32_t Ui_Alert_MessageId(int32_t status);
int32_t Ui_Alert_HintId(int32_t status);
