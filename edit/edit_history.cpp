// The undo history; see edit_history.h.
#include "edit/edit_history.h"

#include <cstring>

#include "platform/mem.h"

namespace {

// Takes the oldest step's block out of one side (the others move down); null when it is empty.
EditSnapshot* TakeOldest(EditSnapshot** steps, int32_t* count) {
    if (*count == 0) return nullptr;
    EditSnapshot* oldest = steps[0];
    Mem_Copy(&steps[0], &steps[1], sizeof steps[0] * size_t(*count - 1));
    --*count;
    return oldest;
}

void FreeRedo(EditHistory* h) {
    for (int32_t i = 0; i < h->redoCount; ++i) Mem_Free(h->redo[i]);
    h->redoCount = 0;
}

// Decides the pending step with the state now shown: a change that came to nothing loses its
// step and leaves the redo steps; one that changed the correction drops them.
void Settle(EditHistory* h, const EditSnapshot& current) {
    if (h->pending == 0) return;
    h->pending = 0;
    if (EditSnapshotSame(*h->undo[h->undoCount - 1], current)) {
        Mem_Free(h->undo[--h->undoCount]);
    } else {
        FreeRedo(h);
    }
}

// Moves a block from the end of one side to the end of the other, with current written into it,
// after dropping the steps at the end of `from` that equal current. The block's old content goes
// to *out. False when `from` has nothing different from current.
bool Move(EditSnapshot** from, int32_t* fromCount, EditSnapshot** to, int32_t* toCount,
          const EditSnapshot& current, EditSnapshot* out) {
    while (*fromCount > 0 && EditSnapshotSame(*from[*fromCount - 1], current)) {
        Mem_Free(from[*fromCount - 1]);
        --*fromCount;
    }
    if (*fromCount == 0) return false;
    EditSnapshot* block = from[--*fromCount];
    *out = *block;
    *block = current;
    // Undo and redo steps together never pass the capacity (a push makes room first), so the
    // other side has room.
    to[(*toCount)++] = block;
    return true;
}

}  // namespace

void EditHistoryInit(EditHistory* h) {
    std::memset(h, 0, sizeof *h);
}

void EditHistoryFree(EditHistory* h) {
    for (int32_t i = 0; i < h->undoCount; ++i) Mem_Free(h->undo[i]);
    h->undoCount = 0;
    FreeRedo(h);
    h->pending = 0;
}

bool EditHistoryPush(EditHistory* h, const EditSnapshot& before) {
    Settle(h, before);
    EditSnapshot* block = nullptr;
    if (h->undoCount + h->redoCount < kEditHistorySteps) {
        block = static_cast<EditSnapshot*>(Mem_Alloc(uint32_t(sizeof(EditSnapshot))));
    }
    // Full, or no memory: the oldest undo step gives its block; with none, the redo step
    // farthest ahead.
    if (block == nullptr) block = TakeOldest(h->undo, &h->undoCount);
    if (block == nullptr) block = TakeOldest(h->redo, &h->redoCount);
    if (block == nullptr) return false;
    *block = before;
    h->undo[h->undoCount++] = block;
    h->pending = 1;
    return true;
}

bool EditHistoryUndo(EditHistory* h, const EditSnapshot& current, EditSnapshot* out) {
    Settle(h, current);
    return Move(h->undo, &h->undoCount, h->redo, &h->redoCount, current, out);
}

bool EditHistoryRedo(EditHistory* h, const EditSnapshot& current, EditSnapshot* out) {
    Settle(h, current);
    return Move(h->redo, &h->redoCount, h->undo, &h->undoCount, current, out);
}

const EditSnapshot* EditHistoryNext(const EditHistory* h, const EditSnapshot& current, bool undo) {
    // Only looks: a change may still be going on (a drag between two moves), so the pending step
    // is not decided here. One that has changed the correction already will drop the redo steps.
    if (!undo && h->pending != 0 && !EditSnapshotSame(*h->undo[h->undoCount - 1], current)) {
        return nullptr;
    }
    EditSnapshot* const* steps = undo ? h->undo : h->redo;
    for (int32_t i = (undo ? h->undoCount : h->redoCount) - 1; i >= 0; --i) {
        if (!EditSnapshotSame(*steps[i], current)) return steps[i];
    }
    return nullptr;
}
