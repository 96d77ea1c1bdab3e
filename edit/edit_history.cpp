// The undo history; see edit_history.h.
#include "edit/edit_history.h"

#include <cstring>

#include "platform/mem.h"

namespace {

// Takes the oldest undo step's block out of the history (the others move down); null when there
// is no undo step.
EditSnapshot* TakeOldest(EditHistory* h) {
    if (h->undoCount == 0) return nullptr;
    EditSnapshot* oldest = h->undo[0];
    Mem_Copy(&h->undo[0], &h->undo[1], sizeof h->undo[0] * size_t(h->undoCount - 1));
    --h->undoCount;
    return oldest;
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
    // Undo and redo steps together never pass the capacity (only a push adds one, and it drops
    // the oldest when full), so the other side has room.
    to[(*toCount)++] = block;
    return true;
}

}  // namespace

void EditHistoryInit(EditHistory* h) {
    std::memset(h, 0, sizeof *h);
}

void EditHistoryFree(EditHistory* h) {
    for (int32_t i = 0; i < h->undoCount; ++i) Mem_Free(h->undo[i]);
    for (int32_t i = 0; i < h->redoCount; ++i) Mem_Free(h->redo[i]);
    h->undoCount = h->redoCount = 0;
}

bool EditHistoryPush(EditHistory* h, const EditSnapshot& before) {
    for (int32_t i = 0; i < h->redoCount; ++i) Mem_Free(h->redo[i]);
    h->redoCount = 0;
    // A newest step equal to this one is a change that came to nothing: this step replaces it.
    if (h->undoCount > 0 && EditSnapshotSame(*h->undo[h->undoCount - 1], before)) return true;
    EditSnapshot* block = nullptr;
    if (h->undoCount < kEditHistorySteps) {
        block = static_cast<EditSnapshot*>(Mem_Alloc(uint32_t(sizeof(EditSnapshot))));
    }
    if (block == nullptr) block = TakeOldest(h);
    if (block == nullptr) return false;
    *block = before;
    h->undo[h->undoCount++] = block;
    return true;
}

void EditHistoryDropNewest(EditHistory* h) {
    if (h->undoCount > 0) Mem_Free(h->undo[--h->undoCount]);
}

bool EditHistoryUndo(EditHistory* h, const EditSnapshot& current, EditSnapshot* out) {
    return Move(h->undo, &h->undoCount, h->redo, &h->redoCount, current, out);
}

bool EditHistoryRedo(EditHistory* h, const EditSnapshot& current, EditSnapshot* out) {
    return Move(h->redo, &h->redoCount, h->undo, &h->undoCount, current, out);
}

const EditSnapshot* EditHistoryNext(const EditHistory* h, const EditSnapshot& current, bool undo) {
    EditSnapshot* const* steps = undo ? h->undo : h->redo;
    for (int32_t i = (undo ? h->undoCount : h->redoCount) - 1; i >= 0; --i) {
        if (!EditSnapshotSame(*steps[i], current)) return steps[i];
    }
    return nullptr;
}
