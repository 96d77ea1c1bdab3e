// The "Memory Color" dialog: one of the six memory-colour slots, its name and the one-character
// label of its button in the hue tab.
//
// The dialog edits a working copy of the slot. The colour is shown as a gradient through the
// lightness range as the hue tool would produce it (chroma and hue following the slot's numbers
// at each lightness), drawn through the working space. "Set from Hue Handle" takes the numbers
// from the samples of the active hue handle (the engine's fit); "Load..." and "Save..." use the
// memory-colour file. Names keep 20 characters and labels one; control characters become
// blanks. OK, Clear and Save are enabled when the slot is defined, named and labelled; only OK
// when it is entirely empty (an empty slot can be stored); none of them in between.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/memory_colors.h"
#include "edit/window/dialog_env.h"

// Runs the dialog over env->parent for *slot; editState gives the working space and the active
// hue handle with its samples. *accepted: true when "OK" wrote the working copy into *slot.
int32_t MemoryColorDialog(const DialogEnv* env, EditState* editState, MemoryColor* slot,
                          bool* accepted);

// The title of a slot's button in the hue tab: its label, or "_" when the slot is undefined.
int32_t MemoryColorButtonTitle(UiState* state, const MemoryColor* slot, char* title,
                               int32_t capacity);
