// The editing window's undo history: the state before each change, newest last, and the states
// the person undid, to redo.
//
// A step is one EditSnapshot (the whole record, the definitions and the window state that goes
// with it, about 12.1 KB). The history keeps at most kEditHistorySteps of them, undo and redo steps
// together, so its memory stays under kEditHistorySteps snapshots (1.25 MB): the oldest undo step
// goes first when it is full. Only a new change takes memory; undo and redo move a block from one
// side to the other. When a block cannot be had the oldest step's is taken instead, so a short
// memory shortens the history and never stops it working.
//
// The history learns that a change begins, not whether it changed anything: a dialog may be
// cancelled, an action refused, a button pressed on a tool that is already so. The newest step
// therefore stays pending until the history next sees the state (the next change begins, or Undo
// or Redo is asked for): if the correction is still the one the step holds, the change came to
// nothing, its step goes and the redo steps stay; otherwise the change counts and the redo steps
// go. Undo and redo also pass over any step that holds the correction they start from
// (EditSnapshotSame), so each press changes the correction or does nothing at all.
#pragma once

#include <cstdint>

#include "edit/edit_snapshot.h"

constexpr int32_t kEditHistorySteps = 100;

struct EditHistory {
    EditSnapshot* undo[kEditHistorySteps];  // oldest first
    EditSnapshot* redo[kEditHistorySteps];  // the most recently undone last
    int32_t undoCount;
    int32_t redoCount;
    uint8_t pending;  // undo[undoCount - 1] began a change not yet known to have changed anything
    uint8_t reserved[3];
};

// An empty history (no memory held).
void EditHistoryInit(EditHistory* history);
// Frees every step; the history is empty afterwards.
void EditHistoryFree(EditHistory* history);

// A change begins: before is the state it starts from (and the state the change before it left).
// False when no memory could be had for the step even by dropping the oldest: the change cannot
// be undone, and everything else goes on.
bool EditHistoryPush(EditHistory* history, const EditSnapshot& before);

// Undo: the newest step that differs from current into *out, and current kept for redo. False
// when there is none (nothing changes then; steps equal to current are dropped on the way).
bool EditHistoryUndo(EditHistory* history, const EditSnapshot& current, EditSnapshot* out);
// Redo: the reverse of the last undo, as EditHistoryUndo.
bool EditHistoryRedo(EditHistory* history, const EditSnapshot& current, EditSnapshot* out);

// The step that Undo (undo true) or Redo would go to from current, without going; null when
// there is none. What the buttons offer and name.
const EditSnapshot* EditHistoryNext(const EditHistory* history, const EditSnapshot& current,
                                    bool undo);
