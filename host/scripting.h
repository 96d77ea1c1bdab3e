// Scripting parameters: the run's settings handed to the host at the end of every run as one
// text item of its descriptor, and read back at the start of a replayed run.
//
// The settings travel as a vector of 32-bit words (both stored copies of the edit parameters as
// 629 floats each, ten scalar preferences, the custom settings' name) packed into 7-bit groups:
// five bytes a word, each below 128, led by one group holding the vector's byte length. Readers
// also accept the two older lengths.
#pragma once

#include <cstdint>

#include "hostsdk/filter_record.h"
#include "platform/status.h"

struct Prefs;
struct UiState;

constexpr DescriptorKeyID kScriptKeyData = PIFourCC('D', 't', ' ', ' ');
constexpr int32_t kScriptVectorBytes = 5328;     // 1332 words
constexpr int32_t kScriptVectorBytes629 = 5308;  // older: the name cut to 236 bytes
constexpr int32_t kScriptVectorBytes609 = 5148;  // older: 609-word copies, five scalars
constexpr int32_t kScriptGroupBytes = 5;
constexpr int32_t kScriptTextBytes = kScriptGroupBytes * (1 + kScriptVectorBytes / 4);  // 6665

// One word as five 7-bit bytes, low bits first, and back.
void ScriptPackWord(uint32_t value, uint8_t group[kScriptGroupBytes]);
uint32_t ScriptUnpackWord(const uint8_t group[kScriptGroupBytes]);

// Reads the recorded item into prefs (stored copies, start modes, masks, saturation, grid level,
// custom name) and sets *showDialog from the host's playInfo. 0 without descriptor procedures
// (nothing touched); -8 when the item yields no text.
int32_t ReadScriptParameters(FilterRecord* record, Prefs* prefs, uint8_t* showDialog,
                             UiState* state);
// Writes the run's settings as the descriptor's text item. 0, -3, or the vector packing's code.
int32_t WriteScriptParameters(FilterRecord* record, const Prefs* prefs, UiState* state);
