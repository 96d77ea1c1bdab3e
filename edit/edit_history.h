// The editing window's undo history: the state before each change, newest last, and the states
// the person undid, to redo.
//
// A step is one EditSnapshot (the whole record, the definitions and the window state that goes
// with it, about 12.1 KB). The history keeps at most kEditHistorySteps of them, undo and redo steps
// together: a change made after undoing drops the redo steps, and the oldest undo step goes first
// when the history is full, so its memory stays under kEditHistorySteps snapshots (1.25 MB). Only a
// new change takes memory; undo and redo move a block from one side to the other. When a block
// cannot be had the oldest step's is taken instead, so a short memory shortens the history and
// never stops it working.
//
// A change that came to nothing (a dialog cancelled, an action refused) leaves a step equal to the
// state after it. Such steps are never taken back on their own: undo and redo pass over any step
// that holds the same correction as the state they start from (EditSnapshotSame), so each press
// changes the correction or does nothing at all.
#pragma once

#include <cstdint>

#include "edit/edit_snapshot.h"

constexpr int32_t kEditHistorySteps = 100;

struct EditHistory {
    EditSnapshot* undo[kEditHistorySteps];  // oldest first
    EditSnapshot* redo[kEditHistorySteps];  // the most recently undone last
    int32_t undoCount;
    int32_t redoCount;
};

// An empty history (no memory held).
void EditHistoryInit(EditHistory* history);
// Frees every step; the history is empty afterwards.
void EditHistoryFree(EditHistory* history);

// A change begins: before is the state it starts from. The redo steps go. False when no memory
// could be had for the step even by dropping the oldest (the history was empty): the change
// cannot be undone, and everything else goes on.
bool EditHistoryPush(EditHistory* history, const EditSnapshot& before);
// The change that began last came to nothing: its step goes, as if it had never begun (the redo
// steps it dropped stay dropped).
void EditHistoryDropNewest(EditHistory* history);

// Undo: the newest step that differs from current into *out, and current kept for redo. False
// when there is none (nothing changes then; steps equal to current are dropped on the way).
bool EditHistoryUndo(EditHistory* history, const EditSnapshot& current, EditSnapshot* out);
// Redo: the reverse of the last undo, as EditHistoryUndo.
bool EditHistoryRedo(EditHistory* history, const EditSnapshot& current, EditSnapshot* out);

// The step that Undo (undo true) or Redo would go to from current, without going; null when
// there is none. What the buttons offer and name.
const EditSnapshot* EditHistoryNext(const EditHistory* history, const EditSnapshot& current,
                                    bool undo);
