#include "Grids_ts.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "FormTestEnv.h"
#include "ScrollBars.h"
#include "TestPaths.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <random>

namespace vel {
namespace {

// A 200 x 100 grid of 5 x 5 cells (64 x 24, lines of 1): columns 1 and 2 and
// rows 1 to 3 are fully visible from the first top-left. It shows no scroll bars,
// so that its client stays 200 x 100 when it shows.
class GridTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        Grid = Place<TCustomGrid_ts>(0, 0, 200, 100);
        Grid->SetScrollBars(ssNone);
    }
    fw::TColor PixelAt(int X, int Y) {
        fw::TBitmap Bmp;
        Bmp.SetSize(Grid->Width(), Grid->Height());
        fw::PaintControlTo(Grid, Bmp.Surface());
        return Bmp.Canvas().Pixels(X, Y);
    }
    void ExpectError(const std::function<void()>& F, const std::string& Text) {
        try {
            F();
            ADD_FAILURE() << "no error, expected " << Text;
        } catch (const EInvalidGridOperation& E) {
            EXPECT_EQ(std::string(E.what()), Text);
        }
    }
    TCustomGrid_ts* Grid = nullptr;
};

TEST_F(GridTest, DrawInfoFindsFullyVisibleCells) {
    TGridDrawInfo D;
    Grid->CalcDrawInfo(D);
    EXPECT_EQ(D.Horz.FixedBoundary, 65);
    EXPECT_EQ(D.Horz.LastFullVisibleCell, 2);
    EXPECT_EQ(D.Horz.FullVisBoundary, 195);
    EXPECT_EQ(D.Horz.GridBoundary, 200);
    EXPECT_EQ(D.Vert.FixedBoundary, 25);
    EXPECT_EQ(D.Vert.LastFullVisibleCell, 3);
    EXPECT_EQ(D.Vert.GridBoundary, 100);
    EXPECT_EQ(Grid->CalcMaxTopLeft({4, 4}, D), (TGridCoord{3, 2}));
    EXPECT_EQ(Grid->VisibleColCount(), 2);
    EXPECT_EQ(Grid->VisibleRowCount(), 3);
}

TEST_F(GridTest, PointsMapToCellsAndBack) {
    EXPECT_EQ(Grid->MouseCoord(10, 10), (TGridCoord{0, 0}));
    EXPECT_EQ(Grid->MouseCoord(70, 30), (TGridCoord{1, 1}));
    EXPECT_EQ(Grid->MouseCoord(129, 49), (TGridCoord{1, 1}));
    EXPECT_EQ(Grid->MouseCoord(130, 50), (TGridCoord{2, 2}));
    EXPECT_EQ(Grid->CellRect(1, 1), (fw::TRect{65, 25, 129, 49}));
    EXPECT_EQ(Grid->CellRect(0, 0), (fw::TRect{0, 0, 64, 24}));
    // Scrolled out of view: no rectangle.
    Grid->SetLeftCol(3);
    EXPECT_EQ(Grid->CellRect(1, 1), (fw::TRect{0, 0, 0, 0}));
    EXPECT_EQ(Grid->MouseCoord(70, 30), (TGridCoord{3, 1}));
}

TEST_F(GridTest, NoCellUnderAPointPastZeroWidthColumns) {
    Grid->SetGridLineWidth(0);
    Grid->SetOptions(0);
    Grid->SetDefaultColWidth(0);
    EXPECT_EQ(Grid->MouseCoord(10, 10), (TGridCoord{-1, -1}));
}

TEST_F(GridTest, WidthsAndHeightsFallBackToTheDefault) {
    EXPECT_EQ(Grid->ColWidths(2), 64);
    EXPECT_TRUE(Grid->ColWidthArray().empty());
    Grid->SetColWidths(2, 10);
    ASSERT_EQ(Grid->ColWidthArray().size(), 6u);
    EXPECT_EQ(Grid->ColWidthArray()[0], 5);
    EXPECT_EQ(Grid->ColWidths(2), 10);
    EXPECT_EQ(Grid->ColWidths(3), 64);
    Grid->SetRowHeights(4, 40);
    EXPECT_EQ(Grid->RowHeights(4), 40);
    // A new default drops the individual extents.
    Grid->SetDefaultColWidth(30);
    EXPECT_EQ(Grid->ColWidths(2), 30);
    ExpectError([&] { Grid->SetColWidths(5, 1); }, "Grid index out of range");
    ExpectError([&] { Grid->SetRowHeights(-1, 1); }, "Grid index out of range");
}

TEST_F(GridTest, CountsAndFixedCounts) {
    Grid->SetColCount(0);
    EXPECT_EQ(Grid->ColCount(), 1);
    EXPECT_EQ(Grid->FixedCols(), 0);
    Grid->SetRowCount(3);
    Grid->SetRowCount(1);
    EXPECT_EQ(Grid->FixedRows(), 0);
    Grid->SetColCount(4);
    Grid->SetRowCount(4);
    ExpectError([&] { Grid->SetFixedCols(4); },
                "Fixed column count must be less than column count");
    ExpectError([&] { Grid->SetFixedRows(4); }, "Fixed row count must be less than row count");
    ExpectError([&] { Grid->SetFixedCols(-1); }, "Grid index out of range");
    Grid->SetFixedCols(2);
    EXPECT_EQ(Grid->LeftCol(), 2);
    EXPECT_EQ(Grid->Col(), 2);
}

TEST_F(GridTest, ShrinkingPullsTheCurrentCellIn) {
    Grid->SetColWidths(4, 12);
    Grid->FocusCell(4, 4, true);
    Grid->SetColCount(3);
    Grid->SetRowCount(3);
    EXPECT_EQ(Grid->Current(), (TGridCoord{2, 2}));
    EXPECT_EQ(Grid->ColWidthArray()[0], 3);
    Grid->SetColCount(6);
    EXPECT_EQ(Grid->ColWidths(5), 64);
}

TEST(GridExtents, ModifyMoveAndCompare) {
    TExtentArray E;
    ModifyExtents(E, 0, 3, 7);
    EXPECT_EQ(E, (TExtentArray{3, 7, 7, 7}));
    E[2] = 1;
    MoveExtent(E, 1, 2);
    EXPECT_EQ(E, (TExtentArray{3, 7, 7, 1}));
    ModifyExtents(E, 3, 2, 9);
    EXPECT_EQ(E, (TExtentArray{5, 7, 7, 1, 9, 9}));
    // Lines inserted or removed in the middle keep the extents after them.
    ModifyExtents(E, 1, 1, 4);
    EXPECT_EQ(E, (TExtentArray{6, 7, 4, 7, 1, 9, 9}));
    ModifyExtents(E, 1, -2, 0);
    EXPECT_EQ(E, (TExtentArray{4, 7, 1, 9, 9}));
    ModifyExtents(E, 4, 1, 5);
    EXPECT_EQ(E, (TExtentArray{5, 7, 1, 9, 9, 5}));
    EXPECT_FALSE(CompareExtents(E, TExtentArray{}));
    EXPECT_TRUE(CompareExtents(TExtentArray{}, TExtentArray{}));
    EXPECT_THROW(ModifyExtents(E, 7, 1, 0), EInvalidGridOperation);
    EXPECT_THROW(ModifyExtents(E, 0, -6, 0), EInvalidGridOperation);
    EXPECT_THROW(ModifyExtents(E, -1, 1, 0), EInvalidGridOperation);
    EXPECT_THROW(ModifyExtents(E, 0, 134217726, 0), EInvalidGridOperation);
    EXPECT_EQ(E[0], 5); // a refused change leaves the array alone
    UpdateExtents(E, 0, 0);
    EXPECT_TRUE(E.empty());
    EXPECT_EQ(MoveAdjust(2, 2, 5), 5);
    EXPECT_EQ(MoveAdjust(4, 2, 5), 3);
    EXPECT_EQ(MoveAdjust(3, 5, 2), 4);
    EXPECT_EQ(MoveAdjust(7, 2, 5), 7);
}

TEST_F(GridTest, MovingAColumnCarriesItsWidthAndTheCurrentCell) {
    Grid->SetColWidths(1, 20);
    Grid->FocusCell(1, 2, true);
    Grid->MoveColumn(1, 3);
    EXPECT_EQ(Grid->ColWidths(3), 20);
    EXPECT_EQ(Grid->ColWidths(1), 64);
    EXPECT_EQ(Grid->Col(), 3);
    Grid->DeleteColumn(3);
    EXPECT_EQ(Grid->ColCount(), 4);
    EXPECT_EQ(Grid->ColWidths(3), 64);
}

// ---- scrolling ----

TEST_F(GridTest, LineAndPageStepsStayWithinTheLargestTopLeft) {
    // With both bars shown the client is 200 x 100 again.
    Grid->SetScrollBars(ssBoth);
    Grid->SetBounds(0, 0, 216, 116);
    Show();
    ASSERT_EQ(Grid->ClientRect(), (fw::TRect{0, 0, 200, 100}));
    Grid->ModifyScrollBar(SB_VERT, SB_LINEDOWN, 0, false);
    EXPECT_EQ(Grid->TopRow(), 2);
    Grid->ModifyScrollBar(SB_VERT, SB_LINEDOWN, 0, false);
    EXPECT_EQ(Grid->TopRow(), 2);
    EXPECT_EQ(Grid->ScrollPos(SB_VERT), 127);
    Grid->ModifyScrollBar(SB_VERT, SB_TOP, 0, false);
    EXPECT_EQ(Grid->TopRow(), 1);
    EXPECT_EQ(Grid->ScrollPos(SB_VERT), 0);
    Grid->ModifyScrollBar(SB_HORZ, SB_PAGEDOWN, 0, false);
    EXPECT_EQ(Grid->LeftCol(), 2);
    Grid->ModifyScrollBar(SB_HORZ, SB_BOTTOM, 0, false);
    EXPECT_EQ(Grid->LeftCol(), 3);
    EXPECT_EQ(Grid->ScrollPos(SB_HORZ), 127);
    Grid->ModifyScrollBar(SB_HORZ, SB_PAGEUP, 0, false);
    EXPECT_EQ(Grid->LeftCol(), 2);
}

TEST_F(GridTest, ThumbTrackingNeedsItsOption) {
    Grid->SetRowCount(50);
    Grid->ModifyScrollBar(SB_VERT, SB_THUMBTRACK, 127, false);
    EXPECT_EQ(Grid->TopRow(), 1);
    Grid->SetOptions(Grid->Options() | goThumbTracking);
    Grid->ModifyScrollBar(SB_VERT, SB_THUMBTRACK, 127, false);
    EXPECT_EQ(Grid->TopRow(), 47);
    Grid->ModifyScrollBar(SB_VERT, SB_THUMBPOSITION, 64, false);
    EXPECT_EQ(Grid->TopRow(), 1 + 64 * 46 / 127);
}

TEST_F(GridTest, ScrollStepsSkipHiddenLines) {
    Grid->SetRowCount(20);
    Grid->SetRowHeights(2, 0);
    Grid->SetRowHeights(3, 0);
    Grid->ModifyScrollBar(SB_VERT, SB_LINEDOWN, 0, false);
    EXPECT_EQ(Grid->TopRow(), 4);
}

TEST_F(GridTest, ScrollPositionsStayInRangeForAnyCount) {
    Grid->SetScrollBars(ssBoth);
    for (int Count : {2, 3, 7, 100, 100000}) {
        Grid->SetRowCount(Count);
        for (int Code : {SB_LINEDOWN, SB_PAGEDOWN, SB_BOTTOM, SB_LINEUP}) {
            Grid->ModifyScrollBar(SB_VERT, Code, 0, false);
            EXPECT_GE(Grid->ScrollPos(SB_VERT), 0);
            EXPECT_LE(Grid->ScrollPos(SB_VERT), 127);
        }
    }
}

TEST_F(GridTest, OneColumnScrollsByPixels) {
    Grid->SetScrollBars(ssBoth);
    Grid->SetColCount(1);
    Grid->SetColWidths(0, 300);
    EXPECT_EQ(Grid->ScrollRangeMax(SB_HORZ), 100);
    Grid->ModifyScrollBar(SB_HORZ, SB_THUMBPOSITION, 40, false);
    EXPECT_EQ(Grid->ColOffset(), 40);
    EXPECT_EQ(Grid->ScrollPos(SB_HORZ), 40);
    Grid->ModifyScrollBar(SB_HORZ, SB_BOTTOM, 0, false);
    EXPECT_EQ(Grid->ColOffset(), 100);
    Grid->ModifyScrollBar(SB_HORZ, SB_PAGEDOWN, 0, false);
    EXPECT_EQ(Grid->ColOffset(), 100);
    Grid->ModifyScrollBar(SB_HORZ, SB_TOP, 0, false);
    EXPECT_EQ(Grid->ColOffset(), 0);
    EXPECT_EQ(Grid->ScrollPos(SB_HORZ), 0);
}

TEST_F(GridTest, AShowingWindowShowsTheBarsAndTheirClicksScroll) {
    Grid->SetScrollBars(ssBoth);
    Show();
    const fw::HWND Wnd = Grid->Handle();
    Grid->SetRowCount(10);
    int Min = -1, Max = -1;
    ASSERT_TRUE(fw::GetScrollRange(Wnd, SB_VERT, Min, Max));
    EXPECT_EQ(Max, 127);
    EXPECT_EQ(Grid->ClientRect(), (fw::TRect{0, 0, 184, 84}));
    fw::ClickAt(fw::ControlPoint(Grid, 192, 80)); // the vertical bar's down arrow
    EXPECT_EQ(Grid->TopRow(), 2);
    Grid->ModifyScrollBar(SB_VERT, SB_BOTTOM, 0, false);
    EXPECT_EQ(fw::GetScrollPos(Wnd, SB_VERT), 127);
    Grid->SetScrollBars(ssNone);
    EXPECT_EQ(Grid->ClientRect(), (fw::TRect{0, 0, 200, 100}));
}

TEST_F(GridTest, KeysMoveTheCurrentCellAndScroll) {
    Show();
    Grid->SetFocus();
    std::uint16_t Key = fw::VK_END;
    Grid->Perform(fw::WM_KEYDOWN, Key, 0);
    EXPECT_EQ(Grid->Col(), 4);
    EXPECT_EQ(Grid->LeftCol(), 3);
    fw::PressKey(fw::VK_HOME, fw::ssCtrl);
    EXPECT_EQ(Grid->Current(), (TGridCoord{1, 1}));
    fw::PressKey(fw::VK_DOWN);
    fw::PressKey(fw::VK_RIGHT, fw::ssShift);
    EXPECT_EQ(Grid->Current(), (TGridCoord{2, 2}));
    EXPECT_EQ(Grid->Anchor(), (TGridCoord{1, 2}));
    Grid->SetOptions(Grid->Options() | goTabs);
    Grid->FocusCell(4, 4, true);
    fw::PressKey(fw::VK_TAB);
    EXPECT_EQ(Grid->Current(), (TGridCoord{1, 1})); // wraps from the last cell
}

// ---- mouse ----

TEST_F(GridTest, DraggingSelectsARange) {
    Show();
    fw::MouseDownAt(fw::ControlPoint(Grid, 70, 30));
    EXPECT_EQ(Grid->GridState(), TGridState::gsSelecting);
    fw::MouseMoveTo(fw::ControlPoint(Grid, 140, 80));
    fw::MouseUpAt(fw::ControlPoint(Grid, 140, 80));
    EXPECT_EQ(Grid->GridState(), TGridState::gsNormal);
    EXPECT_EQ(Grid->Selection(), (TGridRect{1, 1, 2, 3}));
    EXPECT_EQ(Grid->Current(), (TGridCoord{1, 1}));
    // Shift extends from the current cell.
    fw::ClickAt(fw::ControlPoint(Grid, 140, 30), fw::mbLeft, fw::ssShift);
    EXPECT_EQ(Grid->Selection(), (TGridRect{1, 1, 2, 1}));
}

TEST_F(GridTest, HoldingBelowTheCellsScrollsOnTheTimer) {
    Grid->SetRowCount(20);
    Show();
    fw::MouseDownAt(fw::ControlPoint(Grid, 70, 30));
    fw::MouseMoveTo(fw::ControlPoint(Grid, 70, 110));
    fw::ProcessMessages();
    int Start = Grid->Anchor().Y;
    fw::AdvanceClock(60 * 3);
    EXPECT_EQ(Grid->Anchor().Y, Start + 3);
    EXPECT_GT(Grid->TopRow(), 1);
    fw::MouseUpAt(fw::ControlPoint(Grid, 70, 110));
    int After = Grid->Anchor().Y;
    fw::AdvanceClock(60 * 3);
    EXPECT_EQ(Grid->Anchor().Y, After); // the timer stopped with the release
    EXPECT_FALSE(fw::TimerActive(Grid->Handle(), GridScrollTimerId));
}

TEST_F(GridTest, TimedScrollStopsAtTheEdges) {
    Show();
    fw::MouseDownAt(fw::ControlPoint(Grid, 70, 30));
    fw::MouseMoveTo(fw::ControlPoint(Grid, 70, 5)); // over the fixed row: upwards
    fw::AdvanceClock(60 * 5);
    EXPECT_EQ(Grid->Anchor().Y, 1);
    fw::MouseUpAt(fw::ControlPoint(Grid, 70, 5));
}

TEST_F(GridTest, CancelModeEndsSelecting) {
    Show();
    fw::MouseDownAt(fw::ControlPoint(Grid, 70, 30));
    Grid->Perform(fw::WM_CANCELMODE, 0, 0);
    EXPECT_EQ(Grid->GridState(), TGridState::gsNormal);
    EXPECT_FALSE(fw::TimerActive(Grid->Handle(), GridScrollTimerId));
    fw::MouseUpAt(fw::ControlPoint(Grid, 70, 30));
}

TEST_F(GridTest, ColumnLineSizedInTheFixedRow) {
    Grid->SetOptions(Grid->Options() | goColSizing | goRowSizing);
    Show();
    // Line of 1 pixel: the zone is 7 pixels wide, starting 3 before the line.
    EXPECT_TRUE(Grid->Sizing(129 - 3, 5));
    EXPECT_TRUE(Grid->Sizing(129 + 4, 5));
    EXPECT_FALSE(Grid->Sizing(129 + 5, 5));
    EXPECT_FALSE(Grid->Sizing(129, 30)); // not below the fixed row
    fw::MouseDownAt(fw::ControlPoint(Grid, 130, 5));
    EXPECT_EQ(Grid->GridState(), TGridState::gsColSizing);
    fw::MouseMoveTo(fw::ControlPoint(Grid, 110, 5));
    EXPECT_EQ(Grid->SizingInfo(), (TGridCoord{1, 109}));
    fw::MouseUpAt(fw::ControlPoint(Grid, 110, 5));
    EXPECT_EQ(Grid->ColWidths(1), 44);
    // Dragged to the left of the column's start: unchanged.
    fw::MouseDownAt(fw::ControlPoint(Grid, 110, 5));
    fw::MouseMoveTo(fw::ControlPoint(Grid, 20, 5));
    fw::MouseUpAt(fw::ControlPoint(Grid, 20, 5));
    EXPECT_EQ(Grid->ColWidths(1), 44);
    // Rows within the fixed column.
    EXPECT_TRUE(Grid->Sizing(5, 49));
    // The cursor tells which: columns the horizontal split, rows the vertical one.
    fw::MouseMoveTo(fw::ControlPoint(Grid, 108, 5));
    fw::ProcessMessages();
    EXPECT_EQ(fw::CurrentCursor(), fw::crHSplit);
    fw::MouseMoveTo(fw::ControlPoint(Grid, 5, 49));
    fw::ProcessMessages();
    EXPECT_EQ(fw::CurrentCursor(), fw::crVSplit);
    fw::MouseMoveTo(fw::ControlPoint(Grid, 100, 60));
    fw::ProcessMessages();
    EXPECT_NE(fw::CurrentCursor(), fw::crVSplit);
    EXPECT_NE(fw::CurrentCursor(), fw::crHSplit);
}

TEST_F(GridTest, RowMovedByDraggingInTheFixedColumn) {
    Grid->SetOptions(Grid->Options() | goRowMoving);
    Grid->SetRowHeights(1, 20);
    Show();
    Grid->SetBorderStyle(TGridBorderStyle::bsNone);
    // While moving, a thick dotted line marks where the row goes: below row 3.
    const int Y = Grid->CellRect(0, 3).Bottom;
    std::vector<fw::TColor> Before;
    for (int X = 20; X < 120; ++X)
        Before.push_back(PixelAt(X, Y));
    fw::MouseDownAt(fw::ControlPoint(Grid, 10, 30));
    EXPECT_EQ(Grid->GridState(), TGridState::gsRowMoving);
    fw::MouseMoveTo(fw::ControlPoint(Grid, 10, 80));
    EXPECT_EQ(Grid->MoveInfo(), (TGridCoord{1, 3}));
    int Marked = 0;
    for (int X = 20; X < 120; ++X)
        Marked += PixelAt(X, Y) != Before[static_cast<std::size_t>(X - 20)];
    EXPECT_GT(Marked, 20);
    fw::MouseUpAt(fw::ControlPoint(Grid, 10, 80));
    EXPECT_EQ(Grid->RowHeights(3), 20);
    EXPECT_EQ(Grid->RowHeights(1), 24);
}

// ---- painting ----

TEST_F(GridTest, PaintsFixedCellsLinesSelectionAndFocus) {
    Grid->SetBorderStyle(TGridBorderStyle::bsNone); // no frame over the outer pixels
    Grid->OnDrawCell = [&](int C, int R, const fw::TRect& Rc, TGridDrawState) {
        if (C == 2 && R == 2) Grid->Canvas()->TextOut(Rc.Left + 2, Rc.Top + 2, "Ab");
    };
    Show();
    ASSERT_TRUE(fw::RenderControlToPng(Grid, fw::PicturePath("grid_base.png")));
    const fw::TColor Face = fw::ColorToRGB(fw::clBtnFace);
    EXPECT_EQ(PixelAt(30, 12), Face);
    EXPECT_EQ(PixelAt(64, 12), fw::clBlack);                       // fixed line
    EXPECT_EQ(PixelAt(129, 40), fw::clSilver);                     // scrolling line
    EXPECT_EQ(PixelAt(0, 10), fw::ColorToRGB(fw::clBtnHighlight)); // raised edge
    EXPECT_EQ(PixelAt(63, 10), fw::ColorToRGB(fw::clBtnShadow));
    EXPECT_EQ(PixelAt(160, 80), fw::ColorToRGB(fw::clWindow));
    // The current cell without the focus is drawn selected.
    EXPECT_EQ(PixelAt(100, 40), fw::ColorToRGB(fw::clHighlight));
    // Text of the descendant lands inside its cell.
    bool Ink = false;
    for (int X = 132; X < 150; ++X)
        for (int Y = 52; Y < 64; ++Y)
            Ink = Ink || PixelAt(X, Y) != fw::ColorToRGB(fw::clWindow);
    EXPECT_TRUE(Ink);
}

TEST_F(GridTest, FocusedCellGetsAFocusRectangleNotTheHighlight) {
    Show();
    Grid->SetFocus();
    ASSERT_TRUE(Grid->IsActiveControl());
    EXPECT_EQ(PixelAt(100, 40), fw::ColorToRGB(fw::clWindow));
    EXPECT_NE(PixelAt(65, 25), fw::ColorToRGB(fw::clWindow));
}

TEST_F(GridTest, AreaPastTheLastCellTakesTheControlColour) {
    Grid->SetColCount(2);
    Grid->SetRowCount(2);
    EXPECT_EQ(PixelAt(190, 90), fw::ColorToRGB(fw::clWindow));
    EXPECT_EQ(PixelAt(140, 10), fw::ColorToRGB(fw::clWindow));
}

} // namespace
} // namespace vel

namespace vel {
namespace {

class GridMoreTest : public GridTest {};

// A grid whose size notification fails, as a descendant's may.
class TFailingGrid : public TCustomGrid_ts {
public:
    using TCustomGrid_ts::TCustomGrid_ts;
    bool Fail = false;

protected:
    void SizeChanged(int, int) override {
        if (Fail) {
            Fail = false;
            throw std::runtime_error("refused");
        }
    }
};

TEST_F(GridMoreTest, AFailedResizePutsTheOldCountsBack) {
    auto* G = fw::Create<TFailingGrid>(Form.get());
    G->SetParent(Form.get());
    G->SetColWidths(2, 30);
    G->Fail = true;
    EXPECT_THROW(G->SetColCount(9), std::runtime_error);
    EXPECT_EQ(G->ColCount(), 5);
    EXPECT_EQ(G->ColWidthArray()[0], 5);
    EXPECT_EQ(G->ColWidths(2), 30);
}

TEST_F(GridMoreTest, ARefusedShrinkKeepsTheLinesItWouldHaveCut) {
    auto* G = fw::Create<TFailingGrid>(Form.get());
    G->SetParent(Form.get());
    G->SetColWidths(4, 30);
    G->SetTabStops(3, false);
    G->SetRowHeights(4, 50);
    G->Fail = true;
    EXPECT_THROW(G->SetColCount(1), std::runtime_error);
    G->Fail = true;
    EXPECT_THROW(G->SetRowCount(3), std::runtime_error);
    EXPECT_EQ((std::vector<int>{G->ColCount(), G->RowCount(), G->FixedCols(), G->ColWidths(4),
                                G->TabStops(3), G->RowHeights(4)}),
              (std::vector<int>{5, 5, 1, 30, false, 50}));
}

TEST_F(GridMoreTest, InsertingAndRemovingLinesMovesTheCurrentCell) {
    Grid->SetRowCount(10);
    Grid->SetRowHeights(6, 40);
    Grid->FocusCell(1, 6, true);
    Grid->AdjustSize(2, 2, true); // two rows before the current one
    EXPECT_EQ(Grid->RowCount(), 12);
    EXPECT_EQ(Grid->Row(), 8);
    EXPECT_EQ(Grid->RowHeights(8), 40);
    EXPECT_EQ(Grid->RowHeights(2), 24);
    Grid->AdjustSize(7, -3, true); // the current row is among the removed
    EXPECT_EQ(Grid->RowCount(), 9);
    EXPECT_EQ(Grid->Row(), 7);
    EXPECT_THROW(Grid->AdjustSize(20, -3, true), EInvalidGridOperation);
    EXPECT_EQ(Grid->RowCount(), 9);
}

TEST_F(GridMoreTest, RowSelectKeepsTheAnchorOnTheLastColumn) {
    Grid->SetOptions(Grid->Options() | goRowSelect);
    Grid->FocusCell(3, 2, true);
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(Grid->Anchor(), (TGridCoord{4, 2}));
    EXPECT_EQ(Grid->Selection(), (TGridRect{1, 2, 4, 2}));
    Grid->SetColCount(7);
    EXPECT_EQ(Grid->Anchor().X, 6);
}

TEST_F(GridMoreTest, RowSelectArrowsMoveBetweenRows) {
    Grid->SetOptions(Grid->Options() | goRowSelect);
    Show();
    Grid->SetFocus();
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Grid->Row(), 2);
    fw::PressKey(fw::VK_LEFT);
    EXPECT_EQ(Grid->Row(), 1);
    fw::PressKey(fw::VK_END);
    EXPECT_EQ(Grid->Row(), 4);
}

TEST_F(GridMoreTest, ShiftTabWrapsBackToTheLastCell) {
    Grid->SetOptions(Grid->Options() | goTabs);
    Show();
    Grid->SetFocus();
    fw::PressKey(fw::VK_TAB, fw::ssShift);
    EXPECT_EQ(Grid->Current(), (TGridCoord{4, 4}));
    // Columns that are no tab stops are stepped over.
    Grid->SetTabStops(2, false);
    Grid->FocusCell(1, 1, true);
    fw::PressKey(fw::VK_TAB);
    EXPECT_EQ(Grid->Current(), (TGridCoord{3, 1}));
}

TEST_F(GridMoreTest, WithoutRangeSelectTheAnchorFollowsTheCurrentCell) {
    Grid->SetOptions(Grid->Options() & static_cast<TGridOptions>(~goRangeSelect));
    Show();
    fw::MouseDownAt(fw::ControlPoint(Grid, 70, 30));
    fw::MouseMoveTo(fw::ControlPoint(Grid, 140, 80));
    fw::MouseUpAt(fw::ControlPoint(Grid, 140, 80));
    EXPECT_EQ(Grid->Current(), (TGridCoord{2, 3}));
    EXPECT_EQ(Grid->Selection(), (TGridRect{2, 3, 2, 3}));
}

TEST_F(GridMoreTest, RightToLeftMirrorsPointsAndRectangles) {
    Grid->SetUseRightToLeftAlignment(true);
    EXPECT_EQ(Grid->MouseCoord(190, 10), (TGridCoord{0, 0}));
    EXPECT_EQ(Grid->MouseCoord(120, 30), (TGridCoord{1, 1}));
    EXPECT_EQ(Grid->CellRect(0, 0), (fw::TRect{136, 0, 200, 24}));
    // What shows agrees: the fixed column on the right, each vertical line left of its cell.
    Show();
    ASSERT_TRUE(fw::RenderControlToPng(Grid, fw::PicturePath("right-to-left.png")));
    EXPECT_EQ(Grid->MouseCoord(190, 40), (TGridCoord{0, 1}));
    EXPECT_EQ(PixelAt(190, 40), fw::ColorToRGB(Grid->FixedColor()));
    EXPECT_EQ(PixelAt(10, 40), fw::ColorToRGB(Grid->Color()));
    EXPECT_EQ(PixelAt(135, 40), fw::clBlack); // after the fixed column
    EXPECT_EQ(PixelAt(70, 40), fw::clSilver); // after column 1
    EXPECT_EQ(PixelAt(5, 40), fw::clSilver);  // after column 2
}

TEST_F(GridMoreTest, RightToLeftSizesWhereTheMirroredPictureDrawsTheLines) {
    // Each row runs left to right, then right to left at its mirror image (x becomes
    // 199 - x, the drag goes the other way): both start and end alike.
    Grid->SetOptions(Grid->Options() | goColSizing | goRowSizing);
    Show();
    using S = TGridState;
    struct TCase {
        int X, Y;
        S State;
        int Dx, Dy, Col1, Col2, Row1, CurrentCol;
    } const Cases[] = {
        {5, 49, S::gsRowSizing, 0, 20, 64, 64, 44, 1},   // a row line in the fixed column
        {169, 49, S::gsSelecting, 0, 0, 64, 64, 24, 2},  // a row line over the cells
        {194, 5, S::gsColSizing, -20, 0, 64, 44, 24, 1}, // the last shown column's line
        {128, 5, S::gsColSizing, 20, 0, 84, 64, 24, 1},  // one pixel inside the line
        {126, 5, S::gsColSizing, 20, 0, 84, 64, 24, 1},  // the zone's first pixel
        {133, 5, S::gsColSizing, 20, 0, 84, 64, 24, 1},  // its last
        {134, 5, S::gsNormal, 20, 0, 64, 64, 24, 1}};
    for (const TCase& C : Cases)
        for (bool Mirror : {false, true}) {
            SCOPED_TRACE(testing::Message() << C.X << "," << C.Y << (Mirror ? " mirrored" : ""));
            Grid->SetUseRightToLeftAlignment(Mirror);
            Grid->SetColWidths(1, 64);
            Grid->SetColWidths(2, 64);
            Grid->SetRowHeights(1, 24);
            Grid->FocusCell(1, 1, true);
            const int X = Mirror ? 199 - C.X : C.X, Dx = Mirror ? -C.Dx : C.Dx;
            fw::AdvanceClock(1000); // each press a single click
            fw::MouseDownAt(fw::ControlPoint(Grid, X, C.Y));
            EXPECT_EQ(Grid->GridState(), C.State);
            const fw::TPoint To = fw::ControlPoint(Grid, X + Dx, C.Y + C.Dy);
            fw::MouseMoveTo(To);
            fw::MouseUpAt(To);
            EXPECT_EQ((std::vector<int>{Grid->ColWidths(1), Grid->ColWidths(2), Grid->RowHeights(1),
                                        Grid->Current().X}),
                      (std::vector<int>{C.Col1, C.Col2, C.Row1, C.CurrentCol}));
        }
}

TEST_F(GridMoreTest, CurrentCellOutsideTheGridIsRefused) {
    EXPECT_THROW(Grid->FocusCell(5, 1, true), EInvalidGridOperation);
    EXPECT_THROW(Grid->MoveCurrent(1, -1, true, false), EInvalidGridOperation);
    EXPECT_EQ(Grid->Current(), (TGridCoord{1, 1}));
}

TEST_F(GridMoreTest, FocusingAHiddenCellScrollsItIntoView) {
    Grid->SetRowCount(30);
    Show();
    Grid->HandleNeeded();
    Grid->FocusCell(4, 20, true);
    EXPECT_EQ(Grid->LeftCol(), 3);
    EXPECT_EQ(Grid->TopRow(), 18);
    Grid->FocusCell(1, 1, true);
    EXPECT_EQ(Grid->TopLeft(), (TGridCoord{1, 1}));
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(GridMoreTest, ALineWhoseOptionIsOffTakesTheBackground) {
    Grid->SetOptions(goVertLine | goHorzLine | goFixedHorzLine | goRangeSelect);
    Grid->SetDefaultDrawing(false); // no cell fills or edges over the lines
    fw::TBitmap Bmp;
    Bmp.SetSize(200, 100);
    fw::PaintControlTo(Grid, Bmp.Surface());
    EXPECT_EQ(Bmp.Canvas().Pixels(64, 12), fw::ColorToRGB(fw::clBtnFace));
    EXPECT_EQ(Bmp.Canvas().Pixels(30, 24), fw::clBlack); // fixed horizontal line kept
    EXPECT_EQ(Bmp.Canvas().Pixels(129, 40), fw::clSilver);
    // On a silver grid the lines are grey.
    Grid->SetColor(fw::clSilver);
    fw::PaintControlTo(Grid, Bmp.Surface());
    EXPECT_EQ(Bmp.Canvas().Pixels(129, 40), 0x808080);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(GridMoreTest, StoredExtentsRoundTrip) {
    EXPECT_FALSE(Grid->ColWidthsStored());
    Grid->SetColWidths(3, 17);
    ASSERT_TRUE(Grid->ColWidthsStored());
    std::vector<int> Stored = Grid->WriteColWidths();
    EXPECT_EQ(Stored, (std::vector<int>{64, 64, 64, 17, 64}));
    auto* Other = fw::Create<TCustomGrid_ts>(Form.get());
    Other->ReadColWidths(Stored);
    EXPECT_EQ(Other->ColWidths(3), 17);
    EXPECT_FALSE(Grid->ColWidthsStored(Other)); // same as the ancestor's
    Grid->SetSaveCellExtents(false);
    EXPECT_FALSE(Grid->ColWidthsStored());
    // A list longer than the grid changes nothing.
    EXPECT_THROW(Other->ReadRowHeights(std::vector<int>(6, 9)), EInvalidGridOperation);
    EXPECT_TRUE(Other->RowHeightArray().empty());
    Other->ReadRowHeights({30, 31});
    EXPECT_EQ(Other->WriteRowHeights(), (std::vector<int>{30, 31, 24, 24, 24}));
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(GridMoreTest, AGridThatStartsShowingShowsItsBars) {
    Grid->SetScrollBars(ssBoth);
    Grid->SetRowCount(10);
    EXPECT_EQ(Grid->ClientRect(), (fw::TRect{0, 0, 200, 100}));
    Show();
    int Min = -1, Max = -1;
    ASSERT_TRUE(fw::GetScrollRange(Grid->Handle(), SB_VERT, Min, Max));
    EXPECT_EQ(Max, 127);
    EXPECT_EQ(Grid->ClientRect(), (fw::TRect{0, 0, 184, 84}));
}

TEST_F(GridMoreTest, RemovingLinesPullsTheTopLeftBackIntoTheGrid) {
    Grid->SetRowCount(100);
    Grid->ModifyScrollBar(SB_VERT, SB_BOTTOM, 0, false);
    ASSERT_EQ(Grid->TopRow(), 97);
    Grid->AdjustSize(10, -80, true);
    EXPECT_EQ(Grid->RowCount(), 20);
    // Rows 17 to 19 fill the client: the grid does not paint an empty area.
    EXPECT_EQ(Grid->TopRow(), 17);
    TGridDrawInfo D;
    Grid->CalcDrawInfo(D);
    EXPECT_EQ(D.Vert.LastFullVisibleCell, 19);
}

TEST_F(GridMoreTest, DeletingALineOutsideTheGridIsRefused) {
    // Without extent arrays as with them: no line goes.
    ExpectError([&] { Grid->DeleteColumn(999); }, "Grid index out of range");
    ExpectError([&] { Grid->DeleteRow(-3); }, "Grid index out of range");
    EXPECT_EQ(Grid->ColCount(), 5);
    EXPECT_EQ(Grid->RowCount(), 5);
    Grid->SetColWidths(1, 30);
    ExpectError([&] { Grid->DeleteColumn(5); }, "Grid index out of range");
    EXPECT_EQ(Grid->ColCount(), 5);
    Grid->DeleteColumn(1);
    EXPECT_EQ(Grid->ColCount(), 4);
    EXPECT_EQ(Grid->ColWidths(1), 64);
}

TEST_F(GridMoreTest, PagingAndTheLargestTopLeftPassRunsOfHiddenLines) {
    Grid->SetGridLineWidth(0);
    Grid->SetRowCount(2000);
    // Rows 100..1899 hidden: Page Up from row 1900 shows rows 98, 99 and 1900.
    for (int R = 100; R < 1900; ++R)
        Grid->SetRowHeights(R, 0);
    Grid->SetTopRow(1900);
    Grid->ModifyScrollBar(SB_VERT, SB_PAGEUP, 0, false);
    EXPECT_EQ(Grid->TopRow(), 98);
    Grid->ModifyScrollBar(SB_VERT, SB_LINEDOWN, 0, false);
    Grid->ModifyScrollBar(SB_VERT, SB_LINEDOWN, 0, false);
    EXPECT_EQ(Grid->TopRow(), 1900);
    // Hiding the last rows moves the largest top-left above them.
    for (int R = 1900; R < 2000; ++R)
        Grid->SetRowHeights(R, 0);
    TGridDrawInfo D;
    Grid->CalcDrawInfo(D);
    EXPECT_EQ(Grid->CalcMaxTopLeft({4, 1999}, D).Y, 97);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

class TShownGrid : public TCustomGrid_ts {
public:
    using TCustomGrid_ts::ShownLineFrom;
    using TCustomGrid_ts::TCustomGrid_ts;
};

TEST_F(GridMoreTest, RunsOfHiddenLinesAgreeWithAWalkAfterRandomChanges) {
    auto* G = Place<TShownGrid>(0, 0, 200, 100);
    G->SetGridLineWidth(0);
    G->SetRowCount(60);
    std::mt19937 Rng(3);
    auto Walk = [&](int I, int Dir) {
        while (I >= 0 && I < G->RowCount() && G->RowHeights(I) == 0)
            I += Dir;
        return std::clamp(I, -1, G->RowCount());
    };
    for (int Round = 0; Round < 3000; ++Round) {
        const int N = G->RowCount();
        switch (Rng() % 9) {
        case 0:
            G->MoveRow(static_cast<int>(Rng() % N), static_cast<int>(Rng() % N));
            break;
        case 1:
            G->SetRowCount(20 + static_cast<int>(Rng() % 60));
            break;
        case 2:
            G->AdjustSize(static_cast<int>(Rng() % N), Rng() % 2 ? 2 : -1, true);
            break;
        case 3: {
            // Lines going from anywhere, or the last few.
            std::vector<int> Gone;
            if (Rng() % 2)
                for (int I = N - 3; I < N; ++I)
                    Gone.push_back(I);
            else
                for (int I = 1; I < N; I += 7 + static_cast<int>(Rng() % 5))
                    Gone.push_back(I);
            if (N - static_cast<int>(Gone.size()) > 20) G->RemoveLines(true, Gone);
            break;
        }
        default:
            G->SetRowHeights(static_cast<int>(Rng() % N), Rng() % 3 ? 0 : 10);
            break;
        }
        const int I = static_cast<int>(Rng() % G->RowCount());
        ASSERT_EQ(G->ShownLineFrom(true, I, 1, 0), Walk(I, 1)) << Round;
        ASSERT_EQ(G->ShownLineFrom(true, I, -1, 0), Walk(I, -1)) << Round;
    }
}

} // namespace
} // namespace vel
