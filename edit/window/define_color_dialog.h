// The "Define Color" dialog: one colour definition (the neutral, grayscale, sepia tone or toning
// colour) as three sliders from cyan, magenta and yellow (-100) to red, green and blue (+100).
//
// Every move of a slider sets the definition at once (SetColorDef, so the neutral's target
// follows) and redraws the swatch; when a change is complete (a slider released, a colour
// restored, picked or loaded, the dialog cancelled) the owner is told through its hooks, where
// the editing window rebuilds its preview and, in Keenhue Mode, lets the automatic settings
// follow a changed neutral. "Cancel" puts back the edit parameters and all three stored
// definitions as they were when the dialog opened, and tells the owner so without
// neutralChanged: the parameters are exactly those it had before, nothing has to follow.
#pragma once

#include <cstdint>

#include "edit/edit_state.h"
#include "edit/window/dialog_env.h"

// Runs the dialog for kind (kColorDef...) over env->parent. *accepted: true when it ended with
// "OK". hooks may be null. 0; -1 for a bad argument; -3 without memory for the snapshot; or the
// framework's status when the dialog could not be run (nothing changed then).
int32_t DefineColorDialog(const DialogEnv* env, EditState* editState, int32_t kind,
                          const ParsChangedHooks* hooks, bool* accepted);
