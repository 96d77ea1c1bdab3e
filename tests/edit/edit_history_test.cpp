// The undo history: the order steps come back in, what a new change drops, the capacity, the
// changes that came to nothing, and a memory shortage.
#include "edit/edit_history.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/platform/mem_failure.h"

namespace {

// A state told apart by its brightness (the record), its colour-balance method or the tab shown.
EditSnapshot State(float brightness, int32_t method = 1, int32_t tab = 0) {
    EditSnapshot s{};
    s.pars.brightness = brightness;
    s.balanceMethod = method;
    s.tab = tab;
    return s;
}

class EditHistoryTest : public ::testing::Test {
   protected:
    void SetUp() override { EditHistoryInit(&h_); }
    void TearDown() override { EditHistoryFree(&h_); }

    // Undo from current; the brightness of the state it gives, or -1 when it gives none.
    float Undo(const EditSnapshot& current) {
        auto out = std::make_unique<EditSnapshot>();
        return EditHistoryUndo(&h_, current, out.get()) ? out->pars.brightness : -1.0f;
    }
    float Redo(const EditSnapshot& current) {
        auto out = std::make_unique<EditSnapshot>();
        return EditHistoryRedo(&h_, current, out.get()) ? out->pars.brightness : -1.0f;
    }

    EditHistory h_;
};

TEST_F(EditHistoryTest, UndoGoesBackStepByStepAndRedoForward) {
    // Changes 0 -> 1 -> 2 -> 3; the window holds 3.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(EditHistoryPush(&h_, State(float(i))));
    EXPECT_EQ(Undo(State(3)), 2.0f);
    EXPECT_EQ(Undo(State(2)), 1.0f);
    EXPECT_EQ(Undo(State(1)), 0.0f);
    EXPECT_EQ(Undo(State(0)), -1.0f) << "nothing before the first change";
    EXPECT_EQ(Redo(State(0)), 1.0f);
    EXPECT_EQ(Redo(State(1)), 2.0f);
    EXPECT_EQ(Redo(State(2)), 3.0f);
    EXPECT_EQ(Redo(State(3)), -1.0f);
    EXPECT_EQ(Undo(State(3)), 2.0f) << "undo works again after redoing everything";
}

TEST_F(EditHistoryTest, ANewChangeAfterUndoDropsTheRedoSteps) {
    for (int i = 0; i < 3; ++i) EditHistoryPush(&h_, State(float(i)));
    EXPECT_EQ(Undo(State(3)), 2.0f);
    EXPECT_EQ(Undo(State(2)), 1.0f);
    EditHistoryPush(&h_, State(1));  // 1 -> 7
    EXPECT_EQ(Redo(State(7)), -1.0f);
    EXPECT_EQ(Undo(State(7)), 1.0f);
    EXPECT_EQ(Undo(State(1)), 0.0f);
}

TEST_F(EditHistoryTest, KeepsTheNewestHundredStepsAndNoMore) {
    for (int i = 0; i < 150; ++i) EditHistoryPush(&h_, State(float(i)));
    EXPECT_EQ(h_.undoCount, kEditHistorySteps);
    float current = 150;
    for (int i = 149; i >= 50; --i) {
        ASSERT_EQ(Undo(State(current)), float(i));
        current = float(i);
    }
    EXPECT_EQ(Undo(State(current)), -1.0f) << "the fifty oldest were dropped";
    EXPECT_EQ(h_.undoCount + h_.redoCount, kEditHistorySteps) << "undo and redo share the cap";
    // Everything is undone now; a change then takes the block of the redo step farthest ahead.
    EXPECT_EQ(h_.redoCount, kEditHistorySteps);
    EditHistoryPush(&h_, State(current));
    EXPECT_EQ(h_.undoCount + h_.redoCount, kEditHistorySteps);
}

TEST_F(EditHistoryTest, ChangesThatCameToNothingAreNoSteps) {
    EditHistoryPush(&h_, State(0));  // 0 -> 1
    EditHistoryPush(&h_, State(1));  // a dialog at 1 cancelled
    EditHistoryPush(&h_, State(1));  // then 1 -> 2
    EXPECT_EQ(h_.undoCount, 2) << "the step of nothing was dropped";
    EXPECT_EQ(Undo(State(2)), 1.0f);
    EXPECT_EQ(Undo(State(1)), 0.0f);

    // A change that came to nothing as the newest step: undo passes over it at once.
    EditHistoryFree(&h_);
    EditHistoryPush(&h_, State(0));  // 0 -> 1
    EditHistoryPush(&h_, State(1));  // refused: still 1
    EXPECT_EQ(Undo(State(1)), 0.0f) << "one press, one visible change";
    EXPECT_EQ(Redo(State(0)), 1.0f);

    // The method alone is a difference; the tab shown alone is none.
    EditHistoryFree(&h_);
    EditHistoryPush(&h_, State(0, 1));
    EXPECT_EQ(Undo(State(0, 2)), 0.0f);
    EditHistoryFree(&h_);
    EditHistoryPush(&h_, State(0, 1, 0));
    EXPECT_EQ(Undo(State(0, 1, 3)), -1.0f);
}

// Only a change that changed something drops the redo steps: a button pressed on a tool that is
// already so, after undoing, leaves Redo as it was.
TEST_F(EditHistoryTest, AChangeThatCameToNothingKeepsTheRedoSteps) {
    EditHistoryPush(&h_, State(0));  // 0 -> 1
    EditHistoryPush(&h_, State(1));  // 1 -> 2
    EXPECT_EQ(Undo(State(2)), 1.0f);
    EXPECT_EQ(Undo(State(1)), 0.0f);
    EditHistoryPush(&h_, State(0));  // a change begins at 0
    EXPECT_NE(EditHistoryNext(&h_, State(0), false), nullptr) << "nothing changed yet";
    EXPECT_EQ(EditHistoryNext(&h_, State(9), false), nullptr) << "once it has, no redo";
    EXPECT_EQ(Redo(State(0)), 1.0f) << "it came to nothing";
    EXPECT_EQ(Redo(State(1)), 2.0f);

    EditHistoryPush(&h_, State(2));  // 2 -> 5 after undoing once
    EXPECT_EQ(Undo(State(5)), 2.0f);
    EditHistoryPush(&h_, State(2));  // 2 -> 6: a real change
    EXPECT_EQ(Redo(State(6)), -1.0f);
    EXPECT_EQ(Undo(State(6)), 2.0f);
}

TEST_F(EditHistoryTest, AShortMemoryShortensTheHistoryAndNeverStopsIt) {
    for (int i = 0; i < 3; ++i) EditHistoryPush(&h_, State(float(i)));
    testing_support::FailAllocationAfter(1);
    EXPECT_TRUE(EditHistoryPush(&h_, State(3)));
    EXPECT_TRUE(testing_support::AllocationFailed());
    testing_support::FailAllocationAfter(0);
    EXPECT_EQ(h_.undoCount, 3) << "the oldest step's memory holds the new one";
    EXPECT_EQ(Undo(State(4)), 3.0f);
    EXPECT_EQ(Undo(State(3)), 2.0f);
    EXPECT_EQ(Undo(State(2)), 1.0f);
    EXPECT_EQ(Undo(State(1)), -1.0f);

    // With no step to give up, the change goes on without one.
    EditHistoryFree(&h_);
    testing_support::FailAllocationAfter(1);
    EXPECT_FALSE(EditHistoryPush(&h_, State(0)));
    testing_support::FailAllocationAfter(0);
    EXPECT_EQ(h_.undoCount, 0);
    EXPECT_EQ(Undo(State(1)), -1.0f);
}

}  // namespace
