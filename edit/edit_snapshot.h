// One state of the edit model that an undo step goes back to, and the two operations on it:
// taking it from the run's EditState and putting it back.
//
// A snapshot is the whole live record and the window state that belongs to it: the tab shown,
// the colour-balance method and its slider positions. It is plain data of a fixed size, so a
// history may keep as many as it likes by copying them; restoring one gives the record back byte
// for byte. What is derived from the record (whether the active hue handle has samples) is worked
// out again on restoring rather than kept. The editing window decides when a change begins and
// takes the snapshot then; what it shows after a restore it works out from the state.
#pragma once

#include <cstdint>

#include "engine/edit_pars.h"

struct EditState;

struct EditSnapshot {
    EditPars pars;
    int32_t tab;
    int32_t balanceMethod;
    float balanceSlider[3];
};

// The state's live record and window state into *snapshot. -1 for null.
int32_t EditSnapshotTake(const EditState* editState, EditSnapshot* snapshot);
// Puts the snapshot back into the state: the record, the tab, the method and the slider
// positions; on the hue tab, whether the active handle has samples follows the record. -1 for
// null.
int32_t EditSnapshotRestore(EditState* editState, const EditSnapshot* snapshot);
