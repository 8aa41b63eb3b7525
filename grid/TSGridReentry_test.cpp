// Handlers that change the grid during the call that fired them: the grid
// finishes the call on what is left, touches nothing freed and keeps its
// current cell and anchor inside its counts.
#include "GridInvariants.h"
#include "GridTestEnv.h"
#include "Streams.h"
#include "TSCombo.h"
#include "TSGridStream.h"
#include "Timers.h"

#include <stdexcept>
#include <utility>

namespace vel {
namespace {

class ReentryTest : public EngineTest {
protected:
    void ExpectInside() {
        EXPECT_GE(Grid->Current().X, 1);
        EXPECT_LE(Grid->Current().X, std::max(1, Grid->Cols()));
        EXPECT_GE(Grid->Current().Y, 1);
        EXPECT_LE(Grid->Current().Y, std::max(1, Grid->Rows()));
        EXPECT_LE(Grid->Anchor().X, std::max(1, Grid->Cols()));
        EXPECT_LE(Grid->Anchor().Y, std::max(1, Grid->Rows()));
    }
};

TEST_F(ReentryTest, TabWhileAComboListIsOpen) {
    Grid->Col(2)->SetButtonType(btCombo);
    TtsCombo* C = Grid->Col(2)->EnsureCombo();
    C->Grid()->SetRows(2);
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(2, 3));
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsDropDownOpen());
    fw::PressKey(fw::VK_TAB);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Grid->Current().X, 3);
    EXPECT_EQ(Grid->Current().Y, 3);
}

TEST_F(ReentryTest, AssignGridWhoseCellChangeAddsColumns) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(3, 5));
    bool Once = true;
    Grid->OnCellChanged = [&](auto*, int, int, int, int) {
        if (std::exchange(Once, false)) Grid->SetCols(6);
    };
    auto* Src = Place<TtsGrid>(0, 210, 300, 80);
    Src->SetCols(1);
    Src->SetRows(20);
    Src->Col(1)->SetHeading("only");
    Grid->AssignGrid(*Src, false);
    EXPECT_FALSE(Once);
    EXPECT_EQ(Grid->Col(1)->Heading(), "only");
    ExpectInside();
}

TEST_F(ReentryTest, AComboFreedWhileItsListCountChanges) {
    Grid->Col(2)->SetButtonType(btCombo);
    TtsCombo* C = Grid->Col(2)->EnsureCombo();
    C->Grid()->SetRows(5);
    C->Grid()->MarkRow(5);
    C->Grid()->OnCellChanged = [&](auto*, int, int, int, int) {
        Grid->Col(2)->SetParentCombo(true);
    };
    C->Grid()->SetRows(2);
    EXPECT_EQ(Grid->Col(2)->Combo(), nullptr);
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(2, 3));
    EXPECT_TRUE(Grid->DropDown()); // the grid's own combo now
}

class ColumnFreedTest : public ReentryTest {
protected:
    void SetUp() override {
        ReentryTest::SetUp();
        Grid->SetDisplayCol(3, 1);
        Grid->OnColMoved = [&](auto*, int, int, bool) {
            if (std::exchange(Once, false)) Grid->SetCols(0);
        };
    }
    bool Once = true;
};

TEST_F(ColumnFreedTest, ByOnColMovedDuringALayoutLoad) {
    auto* Src = Place<TtsGrid>(0, 210, 300, 80);
    Src->SetCols(3);
    TMemoryStream S;
    Src->SaveLayout(S, pkCols, false, AllKinds);
    S.SetPosition(0);
    try {
        Grid->LoadLayout(S, 1);
    } catch (const std::exception&) {
    }
    EXPECT_FALSE(Once);
    EXPECT_FALSE(Grid->Updating());
    for (int D = 1; D <= Grid->Cols(); ++D)
        EXPECT_EQ(Grid->GetDisplayCol(Grid->DataColAt(D)), D);
}

TEST_F(ColumnFreedTest, ByOnColMovedDuringAPropertyReset) {
    Grid->ResetColProperties(AllKinds);
    EXPECT_FALSE(Once);
    EXPECT_EQ(Grid->Cols(), 0);
    Grid->SetCols(2);
    EXPECT_EQ(Grid->DataColAt(2), 2);
}

TEST_F(ReentryTest, RowsRemovedByTheLeaveCheckOfAClick) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
    bool Once = true;
    Grid->OnCanLeaveCell = [&](auto*, int, int, bool&) {
        if (std::exchange(Once, false)) Grid->SetRows(5);
    };
    fw::AdvanceClock(1000);
    fw::ClickAt(CellPoint(2, 10));
    fw::ProcessMessages();
    EXPECT_EQ(Grid->Rows(), 5);
    ExpectInside();
    for (int I = 0; I < 20; ++I) fw::AdvanceClock(100); // a timed scroll, if one runs
    ExpectInside();
}

TEST_F(ReentryTest, AMoveWhoseLeaveCheckRemovesItsTarget) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 1));
    Grid->OnCanLeaveCell = [&](auto*, int, int, bool&) { Grid->SetRows(5); };
    EXPECT_FALSE(Grid->SetCurrentCell(2, 10));
    EXPECT_EQ(Grid->Rows(), 5);
    ExpectInside();
    // The edit's own checks take its row away: the edit goes with it.
    Grid->OnCanLeaveCell = nullptr;
    ASSERT_TRUE(Grid->SetCurrentCell(2, 5));
    fw::TypeText("gone");
    Grid->OnEndCellEdit = [&](auto*, int, int, bool&) { Grid->SetRows(3); };
    EXPECT_TRUE(Grid->EndCellEdit());
    EXPECT_EQ(Grid->Rows(), 3);
    Grid->SetRows(5);
    EXPECT_EQ(Stored(2, 5), "");
    ExpectInside();
}

TEST_F(ReentryTest, ColumnsRemovedByTheStoreOfAnEdit) {
    Grid->SetStoreData(false);
    bool Once = true;
    Grid->OnCellEdit = [&](auto*, int, int, const TtsVariant&) {
        if (std::exchange(Once, false)) Grid->SetCols(1);
    };
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(3, 4));
    fw::TypeText("x");
    fw::AdvanceClock(1000);
    fw::ClickAt(CellPoint(2, 8));
    fw::ProcessMessages();
    EXPECT_EQ(Grid->Cols(), 1);
    ExpectInside();
    for (int I = 0; I < 20; ++I) fw::AdvanceClock(100);
    fw::PressKey(fw::VK_RIGHT);
    ExpectInside();
}

// A row or column move dragged with the mouse: the drag's scrolling lets a
// handler cut the lines, and the release moves nothing that went.
TEST_F(ReentryTest, ALineDragWhoseScrollingCutsTheLines) {
    for (const bool Rows : {true, false}) {
        SCOPED_TRACE(Rows ? "rows" : "columns");
        Grid->SetCols(6);
        Grid->SetRows(20);
        Grid->SetOptions(Grid->Options() | (Rows ? goRowMoving : goColMoving));
        Focus();
        bool Once = true;
        Grid->OnTopLeftChanged = [&](fw::TObject*) {
            if (std::exchange(Once, false)) Rows ? Grid->SetRows(2) : Grid->SetCols(2);
        };
        const fw::TRect From = Rows ? Grid->CellRect(0, 4) : Grid->CellRect(4, 0);
        fw::AdvanceClock(700);
        fw::MouseDownAt(fw::ControlPoint(Grid, From.Left + 3, From.Top + 3));
        fw::MouseMoveTo(Rows ? fw::ControlPoint(Grid, From.Left + 3, Grid->Height() + 30)
                             : fw::ControlPoint(Grid, Grid->Width() + 30, From.Top + 3),
                        fw::ssLeft);
        for (int I = 0; I < 5; ++I) {
            fw::AdvanceClock(200);
            fw::ProcessMessages();
        }
        const fw::TRect To = Grid->CellRect(1, 1);
        const fw::TPoint Up = fw::ControlPoint(Grid, Rows ? To.Left - 3 : To.Left + 3,
                                               Rows ? To.Top + 3 : To.Top - 3);
        fw::MouseMoveTo(Up, fw::ssLeft);
        EXPECT_NO_THROW(fw::MouseUpAt(Up));
        EXPECT_FALSE(Once);
        EXPECT_TRUE(GridIsWhole(*Grid));
        Grid->OnTopLeftChanged = nullptr;
    }
}

// A count change whose scroll bar hides the editor, whose end-edit handler
// throws: the model and the base grid take the new count together.
TEST_F(ReentryTest, ACountChangeIsWholeWhateverAHandlerThrows) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(3, 5));
    fw::TypeText("x");
    Grid->OnEndCellEdit = [](fw::TObject*, int, int, bool&) {
        throw std::runtime_error("handler");
    };
    auto* Source = Place<TtsGrid>(0, 210, 300, 80);
    Source->SetCols(6);
    Source->SetRows(20);
    EXPECT_THROW(Grid->AssignGrid(*Source, false), std::runtime_error);
    Grid->OnEndCellEdit = nullptr;
    EXPECT_TRUE(GridIsWhole(*Grid));
    Grid->SetDisplayCol(6, 1);
    EXPECT_TRUE(Grid->SetCurrentCell(6, 1));
}

// A cell's value asked for while the grid paints: its handler frees the grid,
// which the framework holds while it paints it.
TEST_F(ReentryTest, APaintWhoseValueHandlerFreesTheGrid) {
    Focus();
    Grid->SetStoreData(false);
    Grid->OnCellLoaded = [this](fw::TObject*, int, int, TtsVariant&) {
        if (Grid) fw::Free(std::exchange(Grid, nullptr));
    };
    Grid->Invalidate();
    fw::ProcessMessages();
    EXPECT_EQ(Grid, nullptr);
}

} // namespace
} // namespace vel
