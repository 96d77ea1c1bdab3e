// Error alerts and the family of alert boxes.
//
// ShowErrorAlert is the one way a failure reaches the user: the message for the status, " while "
// and a phrase saying what was being done, and a hint by status. Cancels (-10) are never shown.
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

// Shows the alert and stores the item hit (1 or 2). Returns 0, or -2 when no box could be made.
using UiAlertPresenter = int32_t (*)(UiState* state, const Ui_AlertRecord* alert, int16_t* item);
void Ui_Alert_SetPresenter(UiAlertPresenter presenter);  // null restores the headless one

// ShowErrorAlert does nothing while *ref is null (no locked call state); the host layer points
// this at its own state pointer.
void Ui_Alert_SetStateRef(UiState** ref);

int32_t ShowErrorAlert(int32_t status, const char* phrase, const char* hint);
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

// String id of the message shown for a status (6000 .. 6010), and of its default hint (0: none).
int32_t Ui_Alert_MessageId(int32_t status);
int32_t Ui_Alert_HintId(int32_t status);
