// What a step of the undo history changes, in the words of the window's controls, so that Undo
// and Redo can say what they take back or bring back ("Undo Brightness").
//
// The name comes from comparing the two states rather than from the action that made the step:
// every part of the window that changes the record gets a name for its step without knowing of
// names, and a step that came out differently from its action (a Keenhue that set one tool) is
// named for what it did. A step that changed several tools is "Several Tools".
#pragma once

#include <cstdint>

#include "edit/edit_snapshot.h"

// The string id of the step's name; kStrStepNothing when the two states hold the same correction.
int32_t EditStepNameId(const EditSnapshot& before, const EditSnapshot& after);
