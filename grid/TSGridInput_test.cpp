#include "GridTestEnv.h"
#include "ScrollBars.h"
#include "Timers.h"

namespace vel {
namespace {

class EngineInputTest : public EngineTest {
protected:
    void Click(int DisplayCol, int DisplayRow, fw::TShiftState Shift = 0) {
        fw::AdvanceClock(1000); // each click a new one, never a double click
        fw::ClickAt(CellPoint(DisplayCol, DisplayRow), fw::mbLeft, Shift);
    }
    TGridCoord Cur() { return {Grid->CurrentDisplayCol(), Grid->CurrentDisplayRow()}; }
};

TEST_F(EngineInputTest, KeysMoveTheCurrentCellOverVisibleCells) {
    Focus();
    fw::PressKey(fw::VK_DOWN);
    fw::PressKey(fw::VK_RIGHT); // the whole text is selected: the grid moves
    EXPECT_EQ(Cur(), (TGridCoord{2, 2}));
    Grid->Row(3)->SetVisible(false);
    Grid->Col(3)->SetVisible(false);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Cur(), (TGridCoord{2, 4})); // the hidden row is passed over
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Cur(), (TGridCoord{2, 4})); // nothing visible to the right
    fw::PressKey(fw::VK_END, fw::ssCtrl);
    EXPECT_EQ(Cur(), (TGridCoord{2, 20}));
    fw::PressKey(fw::VK_HOME, fw::ssCtrl);
    EXPECT_EQ(Cur(), (TGridCoord{1, 1}));
    fw::PressKey(fw::VK_NEXT);
    EXPECT_GT(Grid->CurrentDisplayRow(), 5);
    EXPECT_GT(Grid->TopRow(), 1); // the current cell stays in view
    fw::PressKey(fw::VK_PRIOR);
    EXPECT_EQ(Cur(), (TGridCoord{1, 1}));
}

TEST_F(EngineInputTest, TabWrapsToTheNextRowAndBack) {
    Focus();
    fw::PressKey(fw::VK_RIGHT);
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Cur(), (TGridCoord{3, 1}));
    fw::PressKey(fw::VK_TAB);
    EXPECT_EQ(Cur(), (TGridCoord{1, 2}));
    fw::PressKey(fw::VK_TAB, fw::ssShift);
    EXPECT_EQ(Cur(), (TGridCoord{3, 1}));
    fw::PressKey(fw::VK_HOME, fw::ssCtrl);
    fw::PressKey(fw::VK_TAB, fw::ssShift);
    EXPECT_EQ(Cur(), (TGridCoord{3, 20})); // from the first cell to the last
    // Without WantTabs, Tab leaves the grid to the form.
    Grid->SetWantTabs(false);
    EXPECT_FALSE(Grid->EditStrategy().GetWantTab());
    fw::PressKey(fw::VK_TAB);
    EXPECT_EQ(Cur(), (TGridCoord{3, 20}));
}

TEST_F(EngineInputTest, ClicksMoveTheCurrentCellUnlessItMayNotBeLeft) {
    Focus();
    Click(2, 3);
    EXPECT_EQ(Cur(), (TGridCoord{2, 3}));
    EXPECT_TRUE(Grid->EditStrategy().Control()->Focused());
    std::vector<int> Rows;
    Grid->OnCellChanged = [&](fw::TObject*, int, int, int OldRow, int NewRow) {
        Rows.push_back(OldRow * 100 + NewRow);
    };
    Grid->OnCanLeaveCell = [](fw::TObject*, int, int DataRow, bool& CanLeave) {
        CanLeave = DataRow != 5;
    };
    Click(1, 5);
    EXPECT_EQ(Cur(), (TGridCoord{1, 5}));
    Click(3, 2);
    EXPECT_EQ(Cur(), (TGridCoord{1, 5}));
    fw::PressKey(fw::VK_UP);
    EXPECT_EQ(Cur(), (TGridCoord{1, 5}));
    EXPECT_EQ(Rows, std::vector<int>{305});
}

TEST_F(EngineInputTest, RowBarAndHeadingClicksSelectLines) {
    Focus();
    std::vector<int> Headings;
    Grid->OnHeadingClick = [&](fw::TObject*, int DataCol) { Headings.push_back(DataCol); };
    Click(0, 4);
    EXPECT_TRUE(Grid->RowSelected(4));
    EXPECT_EQ(Grid->CurrentDisplayRow(), 4); // the row becomes current
    Click(0, 6, fw::ssShift);
    for (int R = 4; R <= 6; ++R)
        EXPECT_TRUE(Grid->RowSelected(R)) << R;
    Click(0, 9, fw::ssCtrl);
    Click(0, 5, fw::ssCtrl);
    EXPECT_TRUE(Grid->RowSelected(9));
    EXPECT_FALSE(Grid->RowSelected(5));
    EXPECT_EQ(Grid->Model().RowSelection.SelectedCount(), 3);
    Click(0, 2);
    EXPECT_EQ(Grid->Model().RowSelection.SelectedCount(), 1);
    Click(2, 0);
    EXPECT_TRUE(Grid->ColSelected(2));
    EXPECT_EQ(Grid->Model().RowSelection.SelectedCount(), 0);
    Click(3, 0, fw::ssCtrl);
    EXPECT_TRUE(Grid->ColSelected(2));
    EXPECT_TRUE(Grid->ColSelected(3));
    EXPECT_EQ(Headings, (std::vector<int>{2, 3}));
    // A plain click in the cells drops the selections.
    Click(1, 1);
    EXPECT_FALSE(Grid->ColSelected(2));
}

TEST_F(EngineInputTest, DraggingAndShiftSelectARangeAndTheCurrentCellStays) {
    Focus();
    // The press makes its cell current and the range grows from there.
    fw::AdvanceClock(1000);
    fw::MouseDownAt(CellPoint(1, 2));
    fw::MouseMoveTo(CellPoint(3, 4), fw::ssLeft);
    fw::MouseUpAt(CellPoint(3, 4));
    EXPECT_EQ(Grid->CellRange(), (TGridRect{1, 2, 3, 4}));
    EXPECT_EQ(Cur(), (TGridCoord{1, 2}));
    Click(2, 6, fw::ssShift);
    EXPECT_EQ(Grid->CellRange(), (TGridRect{1, 2, 2, 6}));
    EXPECT_EQ(Cur(), (TGridCoord{1, 2}));
    // Shift and the arrows move the range's far corner.
    fw::PressKey(fw::VK_RIGHT, fw::ssShift);
    EXPECT_EQ(Grid->CellRange(), (TGridRect{1, 2, 3, 6}));
    fw::PressKey(fw::VK_DOWN);
    EXPECT_FALSE(Grid->HasCellRange());
    EXPECT_EQ(Cur(), (TGridCoord{1, 3}));
}

TEST_F(EngineInputTest, AHiddenEdgeOfTheRangeMovesInward) {
    Grid->SelectCellRange(TGridRect{1, 2, 3, 5});
    Grid->Col(3)->SetVisible(false);
    EXPECT_EQ(Grid->CellRange(), (TGridRect{1, 2, 2, 5}));
    Grid->Row(2)->SetVisible(false);
    EXPECT_EQ(Grid->CellRange(), (TGridRect{1, 3, 2, 5}));
    // The current cell leaves a line that hides.
    Grid->SetCurrentCell(2, 4);
    Grid->Row(4)->SetVisible(false);
    EXPECT_EQ(Grid->CurrentDisplayRow(), 5);
}

TEST_F(EngineInputTest, WheelAndBarsScrollWithoutMovingTheCurrentCell) {
    Focus();
    const int Before = Grid->TopRow();
    fw::MouseWheelAt(CellPoint(1, 2), -120);
    EXPECT_EQ(Grid->TopRow(), Before + 3);
    EXPECT_EQ(Cur(), (TGridCoord{1, 1}));
    EXPECT_FALSE(Grid->EditStrategy().GetVisible()); // its cell scrolled out of view
    fw::MouseWheelAt(CellPoint(1, 5), 120);
    EXPECT_EQ(Grid->TopRow(), Before);
    EXPECT_TRUE(Grid->EditStrategy().GetVisible());
    int Min = 0, Max = 0;
    ASSERT_TRUE(fw::GetScrollRange(Grid->Handle(), SB_VERT, Min, Max));
    EXPECT_EQ(Max, 127);
    const fw::TRect Client = Grid->ClientRect();
    fw::ClickAt(fw::ControlPoint(Grid, Client.Right + 8, Client.Bottom - 8)); // the down arrow
    EXPECT_EQ(Grid->TopRow(), Before + 1);
}

TEST_F(EngineInputTest, TypingIntoTheInsertRowMakesANewRow) {
    Grid->SetGridMode(gmEditInsert);
    Focus();
    Grid->SetCurrentCell(1, 20);
    ASSERT_TRUE(Grid->IsInsertRow(Grid->CurrentDisplayRow()));
    fw::TypeText("new");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Grid->Rows(), 21);
    EXPECT_EQ(Stored(1, 20), "new");
    EXPECT_EQ(Grid->CurrentDisplayRow(), 21);
    EXPECT_TRUE(Grid->IsInsertRow(21));
    // The current cell moves between columns only outside the insert row.
    EXPECT_FALSE(Grid->CurrentCell().MoveToCol(2));
    Grid->SetCurrentCell(1, 3);
    EXPECT_TRUE(Grid->CurrentCell().MoveToCol(2));
    EXPECT_EQ(Cur(), (TGridCoord{2, 3}));
}

TEST_F(EngineInputTest, FocusLeavingTheGridStoresWhatTheChecksAccept) {
    Focus();
    auto* Other = Place<fw::TCustomControl>(0, 220, 50, 20);
    Other->SetTabStop(true);
    fw::TypeText("kept");
    Other->SetFocus();
    EXPECT_EQ(Stored(1, 1), "kept");
    EXPECT_FALSE(Grid->EditStrategy().GetVisible());
    Grid->SetFocus();
    EXPECT_TRUE(Grid->EditStrategy().GetVisible());
    Grid->OnCheckValue = [](fw::TObject*, int, int, const TtsVariant&, bool& A) { A = false; };
    fw::TypeText("lost");
    Other->SetFocus();
    EXPECT_EQ(Stored(1, 1), "kept");
    EXPECT_FALSE(Grid->CellModified());
}

} // namespace
} // namespace vel
