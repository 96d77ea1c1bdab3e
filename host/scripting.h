// Scripting parameters: the run's settings handed to the host at the end of every run as one
// text item of its descriptor, and read back at the start of a replayed run.
//
// The settings travel as a vector of 32-bit words (both stored copies of the edit parameters as
// 629 floats each, ten scalar preferences, the custom settings' name) packed into 7-bit groups:
// five bytes a word, each below 128, led by one group holding the vector's byte length. Readers
// also accept the two older lengths.
//
// What the item carries is a ScriptSettings record, not the preferences themselves: a replay runs
// with the recorded start modes, stored settings and masks, and the user's preferences file
// keeps the user's own (only the previous settings become what the replay applied, as after any
// run). An action shared by someone else, or recorded long ago, must not change how the
// filter starts for this user, nor replace the custom settings the user keeps.
//
// The previous settings an item carries are always what the recorded run applied. A run that
// decided its correction in the editing window records "every tool starts from the previous
// settings", so that its replay applies exactly that correction; a run without the window records
// its start modes, so that a replay decides again on each image as the recorded run did.
#pragma once

#include <cstdint>

#include "edit/prefs.h"
#include "engine/edit_pars.h"
#include "hostsdk/filter_record.h"
#include "platform/status.h"

struct UiState;

// The settings a run starts from and records: the preferences a recorded item carries.
struct ScriptSettings {
    EditPars previousSettings;        // what the recorded run applied
    EditPars customSettings;          // the custom settings
    int32_t startWith;                // entry 64: the start mode of all tools, or of tool 1
    int32_t keenhueMask;              // entry 98: the groups the automatic settings set
    int32_t memoryColorMask;          // entry 99
    float preferredSaturation;        // entry 54
    int32_t gridLevel;                // entry 51
    uint8_t startAllSame;             // entry 111: all tools start the same way
    int32_t startTool[4];             // entries 112..115
    char customName[kPrefsTextSize];  // entry 94
};

// The user's own settings as a run starts from them without a recorded item.
void ScriptSettingsFromPrefs(const Prefs* prefs, ScriptSettings* settings);

constexpr DescriptorKeyID kScriptKeyData = PIFourCC('D', 't', ' ', ' ');
constexpr int32_t kScriptVectorBytes = 5328;     // 1332 words
constexpr int32_t kScriptVectorBytes629 = 5308;  // older: the name cut to 236 bytes
constexpr int32_t kScriptVectorBytes609 = 5148;  // older: 609-word copies, five scalars
constexpr int32_t kScriptGroupBytes = 5;
constexpr int32_t kScriptTextBytes = kScriptGroupBytes * (1 + kScriptVectorBytes / 4);  // 6665

// One word as five 7-bit bytes, low bits first, and back.
void ScriptPackWord(uint32_t value, uint8_t group[kScriptGroupBytes]);
uint32_t ScriptUnpackWord(const uint8_t group[kScriptGroupBytes]);

// Reads the recorded item into settings (stored copies, start modes, masks, saturation, grid
// level, custom name; a value out of its range leaves the field as it was) and sets *showDialog
// from the host's playInfo. 0 without descriptor procedures (nothing touched); -8 when the item
// yields no text.
int32_t ReadScriptParameters(FilterRecord* record, ScriptSettings* settings, uint8_t* showDialog,
                             UiState* state);
// Writes the run's settings as the descriptor's text item. 0, -3, or the vector packing's code.
int32_t WriteScriptParameters(FilterRecord* record, const ScriptSettings* settings, UiState* state);
