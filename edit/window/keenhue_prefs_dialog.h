// The "Keenhue Preferences" dialog: which groups of the edit parameters the automatic settings
// set (the Keenhue mask), which values of a hue handle a memory colour sets (the memory-colour
// mask), and the saturation the automatic settings aim for.
//
// Each check box stands for bits of a mask: "Hue Handles" and "After Hue Handle" for the six hue
// bits together (shown mixed when only some are set; a click then clears them). Bits without a
// check box (6 to 8 of the Keenhue mask) keep their value. The arguments change only on "OK".
#pragma once

#include <cstdint>

#include "edit/window/dialog_env.h"

// The defaults "Restore Defaults" brings back.
constexpr int32_t kKeenhueMaskDefault = 64564;
constexpr int32_t kMemoryColorMaskDefault = 65056;
constexpr float kPreferredSaturationDefault = 0.8f;

// Runs the dialog over env->parent. *accepted: true when it ended with "OK". Returns 0, or the
// framework's status when the dialog could not be run (the arguments are then unchanged).
int32_t KeenhuePrefsDialog(const DialogEnv* env, int32_t* keenhueMask, float* preferredSaturation,
                           int32_t* memoryColorMask, bool* accepted);

// The "Preferred Saturation:" list: position 1..11 stands for (position - 1) / 10, and a value
// shows at round(10 value) + 1 (held to the list).
int32_t SaturationListPosition(float value);
float SaturationFromListPosition(int32_t position);
