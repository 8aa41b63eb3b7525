#include "UndoListUnit.h"

#include <gtest/gtest.h>

#include <memory>

namespace vel {
namespace {

// Counts the snapshots still alive.
struct TSnap : fw::TObject {
    TSnap(int id, int& alive) : Id(id), Alive(alive) { ++Alive; }
    ~TSnap() override { --Alive; }
    int Id;
    int& Alive;
};

int IdOf(fw::TObject* o) {
    return o ? static_cast<TSnap*>(o)->Id : -1;
}

TEST(UndoList, EmptyListHasNothingToUndoOrRedo) {
    TUndoList list;
    EXPECT_EQ(list.Index(), -1);
    EXPECT_FALSE(list.CanUndo());
    EXPECT_FALSE(list.CanRedo());
    EXPECT_EQ(list.Undo(), nullptr);
    EXPECT_EQ(list.Redo(), nullptr);
    EXPECT_EQ(list.Current(), nullptr);
}

TEST(UndoList, CursorStopsAtTheFirstSnapshotAndAddCutsTheRedoBranch) {
    int alive = 0;
    {
        TUndoList list;
        for (int i = 0; i < 3; ++i)
            list.Add("", std::make_unique<TSnap>(i, alive));
        EXPECT_EQ(list.Index(), 2);
        EXPECT_EQ(IdOf(list.Undo()), 1);
        EXPECT_EQ(IdOf(list.Undo()), 0);
        EXPECT_EQ(IdOf(list.Undo()), 0); // stays on the first
        EXPECT_TRUE(list.CanUndo());
        EXPECT_EQ(IdOf(list.Redo()), 1);
        EXPECT_EQ(list.Index(), 1);
        list.Undo();
        list.Add("x", std::make_unique<TSnap>(9, alive)); // frees 1 and 2
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(list.Count(), 2);
        EXPECT_EQ(list.Index(), 1);
        EXPECT_EQ(list.Names(1), "x");
        EXPECT_EQ(IdOf(list.Current()), 9);
        EXPECT_FALSE(list.CanRedo());
        EXPECT_EQ(list.Redo(), nullptr);
        list.Clear();
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(list.Index(), -1);
        list.Add("", std::make_unique<TSnap>(5, alive));
    }
    EXPECT_EQ(alive, 0); // the destructor frees what is left
}

} // namespace
} // namespace vel
