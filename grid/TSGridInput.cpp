// The grid engine's keyboard, mouse, wheel and messages, and its overrides of
// the base grid's geometry and scrolling notifications.
#include "TSGrid.h"

#include "Forms.h"
#include "Input.h"
#include "ScopeExit.h"
#include "TSGridQueries.h"

#include <algorithm>

namespace vel {

// --- Base grid notifications --------------------------------------------------------------

bool TtsBaseGrid::SelectCell(int ACol, int ARow) {
    // While a range is dragged the current cell stays: the range follows the mouse.
    if (FDragSelecting) {
        ExtendRangeTo({ACol, ARow}, true);
        return false;
    }
    if (ACol == Current().X && ARow == Current().Y) return true;
    if (FLeaveChecked || FSyncing) return true;
    return CanLeaveCell();
}

void TtsBaseGrid::MoveTopLeft(int ALeft, int ATop) {
    TCustomGrid_ts::MoveTopLeft(ALeft, ATop);
}

void TtsBaseGrid::ScrollDataInfo(int DX, int DY, TGridDrawInfo& DrawInfo) {
    // The row bar moves with its rows and the headings with their columns: the base
    // grid's pixel moves are the whole of it.
    TCustomGrid_ts::ScrollDataInfo(DX, DY, DrawInfo);
}

void TtsBaseGrid::TopLeftMoved(const TGridCoord& OldTopLeft) {
    TCustomGrid_ts::TopLeftMoved(OldTopLeft);
}

void TtsBaseGrid::TopLeftChanged() {
    TtsBusyScope Busy(*FModel);
    TCustomGrid_ts::TopLeftChanged();
    PlaceCellControl();
}

void TtsBaseGrid::ColWidthsChanged() {
    if (FSizesPending) return;
    TtsBusyScope Busy(*FModel);
    TCustomGrid_ts::ColWidthsChanged();
    PlaceCellControl();
}

void TtsBaseGrid::RowHeightsChanged() {
    if (FSizesPending) return;
    TtsBusyScope Busy(*FModel);
    TCustomGrid_ts::RowHeightsChanged();
    PlaceCellControl();
}

void TtsBaseGrid::SizeChanged(int OldColCount, int OldRowCount) {
    TCustomGrid_ts::SizeChanged(OldColCount, OldRowCount);
    if (!FSyncing) UpdateCellControl(false);
}

void TtsBaseGrid::TimedScroll(TGridScrollDirection Direction) {
    if (!FDragSelecting || !HasCellRange()) {
        TCustomGrid_ts::TimedScroll(Direction);
        return;
    }
    TGridCoord End = FRangeEnd;
    if (Direction & sdLeft) End = StepCell(End, -1, 0);
    if (Direction & sdRight) End = StepCell(End, 1, 0);
    if (Direction & sdUp) End = StepCell(End, 0, -1);
    if (Direction & sdDown) End = StepCell(End, 0, 1);
    ExtendRangeTo(End, true);
    ClampInView(End);
}

void TtsBaseGrid::Click() {
    TCustomGrid_ts::Click();
}

void TtsBaseGrid::DblClick() {
    TCustomGrid_ts::DblClick();
}

// --- Cells by step -------------------------------------------------------------------------

namespace {

// The nearest visible line from a position in a direction, within 1..Count; -1 when none.
int VisibleLine(const TtsVisibleItems& Visible, int From, int Dir, int Count) {
    if (From < 1 || From > Count) return -1;
    const int To = Visible.VisibleFrom(From, Dir);
    return To >= 1 && To <= Count ? To : -1;
}

} // namespace

TGridCoord TtsBaseGrid::StepCell(TGridCoord From, int DCol, int DRow) const {
    auto Step = [](const TtsVisibleItems& V, int At, int D, int Count) {
        if (D == 0) {
            // The line itself when it shows, else the nearest one after, else before.
            int To = VisibleLine(V, std::clamp(At, 1, Count), 1, Count);
            return To > 0 ? To : std::max(VisibleLine(V, std::clamp(At, 1, Count), -1, Count), At);
        }
        int To = VisibleLine(V, At + D, D > 0 ? 1 : -1, Count);
        return To > 0 ? To : At;
    };
    return {Step(FModel->VisibleCols, From.X, DCol, Cols()),
            Step(FModel->VisibleRows, From.Y, DRow, Rows())};
}

TGridCoord TtsBaseGrid::PageRows(TGridCoord From, int Dir) const {
    TGridDrawInfo D;
    const_cast<TtsBaseGrid*>(this)->CalcDrawInfo(D);
    const int Page = std::max(1, D.Vert.LastFullVisibleCell - TopRow());
    TGridCoord To = From;
    for (int I = 0; I < Page; ++I) {
        const TGridCoord Next = StepCell(To, 0, Dir);
        if (Next.Y == To.Y) break;
        To = Next;
    }
    return To;
}

// --- Keys ------------------------------------------------------------------------------

bool TtsBaseGrid::GridKey(std::uint16_t Key, fw::TShiftState Shift) {
    if (!HasCurrentCell()) return false;
    if (IsDropDownOpen() && DropDownKey(Key, Shift)) return true;
    if ((Key == fw::VK_F4 || (Key == fw::VK_DOWN && (Shift & fw::ssAlt))) && DropDown())
        return true;
    if (SpinKey(Key, Shift)) return true;
    switch (Key) {
    case fw::VK_UP:
    case fw::VK_DOWN:
    case fw::VK_LEFT:
    case fw::VK_RIGHT:
    case fw::VK_PRIOR:
    case fw::VK_NEXT:
    case fw::VK_HOME:
    case fw::VK_END:
        return MoveKey(Key, Shift);
    case fw::VK_TAB:
        return FWantTabs && !(Shift & (fw::ssAlt | fw::ssCtrl)) && TabKey(Shift);
    case fw::VK_RETURN:
        return !(Shift & (fw::ssAlt | fw::ssCtrl)) && EnterKey();
    case fw::VK_ESCAPE:
        if (!FCellModified) return false;
        UndoCellEdit();
        return true;
    case fw::VK_SPACE:
        if (EffectiveControlType(CurrentDataCol(), CurrentDataRow()) == ctPicture)
            return !(Shift & (fw::ssAlt | fw::ssCtrl)) && StepPicture(Shift & fw::ssShift ? -1 : 1);
        if (FActive != FCheckStrategy.get() || FActive->Focused()) return false;
        FCheckStrategy->ToggleByKey(Key);
        return true;
    default:
        return false;
    }
}

bool TtsBaseGrid::MoveKey(std::uint16_t Key, fw::TShiftState Shift) {
    const bool Ctrl = Shift & fw::ssCtrl;
    const bool Extend = Shift & fw::ssShift;
    const TGridCoord From = Extend && HasCellRange() ? FRangeEnd : Current();
    TGridCoord To = From;
    switch (Key) {
    case fw::VK_UP:
    case fw::VK_DOWN:
        To = StepCell(From, 0, Key == fw::VK_UP ? -1 : 1);
        break;
    case fw::VK_LEFT:
    case fw::VK_RIGHT:
        To = StepCell(From, Key == fw::VK_LEFT ? -1 : 1, 0);
        break;
    case fw::VK_PRIOR:
    case fw::VK_NEXT:
        To = PageRows(From, Key == fw::VK_PRIOR ? -1 : 1);
        break;
    case fw::VK_HOME:
    case fw::VK_END: {
        const bool End = Key == fw::VK_END;
        To.X = StepCell({End ? Cols() + 1 : 0, From.Y}, End ? -1 : 1, 0).X;
        if (Ctrl) To.Y = StepCell({To.X, End ? Rows() + 1 : 0}, 0, End ? -1 : 1).Y;
        break;
    }
    default:
        return false;
    }
    if (Extend) {
        if (!HasCellRange()) FRangeAnchor = Current();
        ExtendRangeTo(To, true);
        ClampInView(To);
        return true;
    }
    if (HasCellRange()) ClearSelection();
    SetCurrentCell(To.X, To.Y);
    return true;
}

bool TtsBaseGrid::TabKey(fw::TShiftState Shift) {
    const bool Back = Shift & fw::ssShift;
    const TGridCoord C = Current();
    TGridCoord To = StepCell(C, Back ? -1 : 1, 0);
    if (To.X == C.X) {
        // Past the row's last (first) cell: the next (previous) row's first (last), wrapping.
        int Row = StepCell(C, 0, Back ? -1 : 1).Y;
        if (Row == C.Y) Row = StepCell({C.X, Back ? Rows() + 1 : 0}, 0, Back ? -1 : 1).Y;
        To = {StepCell({Back ? Cols() + 1 : 0, Row}, Back ? -1 : 1, 0).X, Row};
    }
    if (HasCellRange()) ClearSelection();
    SetCurrentCell(To.X, To.Y);
    return true;
}

bool TtsBaseGrid::EnterKey() {
    // Enter stores the cell and goes one row down.
    if (!EndCellEdit()) return true;
    const TGridCoord To = StepCell(Current(), 0, 1);
    if (!(To == Current())) SetCurrentCell(To.X, To.Y);
    return true;
}

void TtsBaseGrid::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    // The class library's key handling (the user's event), not the base grid's table.
    fw::TCustomControl::KeyDown(Key, Shift);
    if (Key != 0 && GridKey(Key, Shift)) Key = 0;
}

void TtsBaseGrid::KeyPress(char& Key) {
    fw::TCustomControl::KeyPress(Key);
    // A character typed while the grid itself has the focus goes to the cell's editor.
    const auto Ch = static_cast<unsigned char>(Key);
    if (Key == 0 || !FActive || FActive == FDefaultStrategy.get() || Ch < 32) return;
    PlaceCellControl();
    if (FActive->GetVisible()) FActive->ForwardKeyPress(Key);
}

// --- Mouse ------------------------------------------------------------------------------

void TtsBaseGrid::ExtendRangeTo(const TGridCoord& To, bool ByUser) {
    if (FRangeAnchor.X < 1 || FRangeAnchor.Y < 1) FRangeAnchor = Current();
    FRangeEnd = {std::clamp(To.X, 1, std::max(1, Cols())),
                 std::clamp(To.Y, 1, std::max(1, Rows()))};
    TGridRect R{std::min(FRangeAnchor.X, FRangeEnd.X), std::min(FRangeAnchor.Y, FRangeEnd.Y),
                std::max(FRangeAnchor.X, FRangeEnd.X), std::max(FRangeAnchor.Y, FRangeEnd.Y)};
    // A range of the current cell alone is no range.
    if (R.Left == R.Right && R.Top == R.Bottom && FRangeEnd == Current()) R = {0, 0, -1, -1};
    if (R == FRange) return;
    if (HasCellRange()) InvalidateGridRect(FRange);
    FRange = R;
    if (HasCellRange()) InvalidateGridRect(FRange);
    SelectionChanged(skRange, ByUser);
}

void TtsBaseGrid::ClickLine(bool Rows, int Display, fw::TShiftState Shift) {
    int& Last = Rows ? FLastClickedRow : FLastClickedCol;
    const bool Selected = Rows ? RowSelected(Display) : ColSelected(Display);
    if ((Shift & fw::ssShift) && Last >= 1) {
        if (!(Shift & fw::ssCtrl)) ClearSelection();
        SelectLines(Rows, Last, Display, true);
    } else {
        // Ctrl toggles the line; a plain press selects it alone.
        if (!(Shift & fw::ssCtrl)) ClearSelection();
        SelectLines(Rows, Display, Display, (Shift & fw::ssCtrl) ? !Selected : true);
        Last = Display;
    }
    SelectionChanged(Rows ? skRows : skCols, true);
}

void TtsBaseGrid::ClickRowBar(int DisplayRow, fw::TShiftState Shift) {
    SetCurrentCell(std::max(1, Current().X), DisplayRow);
    ClickLine(true, DisplayRow, Shift);
}

void TtsBaseGrid::ClickHeading(int DisplayCol, fw::TShiftState Shift) {
    ClickLine(false, DisplayCol, Shift);
    Fire(OnHeadingClick, this, DataColAt(DisplayCol));
}

void TtsBaseGrid::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    // The current cell's drop-down button opens and closes its drop-down.
    const fw::TRect Button_ = CellButtonRect();
    if (Button == fw::mbLeft && X >= Button_.Left && X < Button_.Right && Y >= Button_.Top &&
        Y < Button_.Bottom) {
        if (!Focused() && !(FActive && FActive->Focused()) && CanFocus()) SetFocus();
        if (HasSpinButton())
            SpinPress(SpinHalfAt(X, Y));
        else if (IsDropDownOpen())
            CloseDropDown(true);
        else
            DropDown();
        return;
    }
    const TGridCoord Cell = MouseCoord(X, Y);
    const bool Left = Button == fw::mbLeft && !(Shift & fw::ssDouble);
    const bool DataCell = Cell.X >= 1 && Cell.Y >= 1 && HasCurrentCell();
    if (Left && DataCell && (Shift & fw::ssShift)) {
        // Shift extends a range from the current cell; the current cell stays.
        if (!HasCellRange()) FRangeAnchor = Current();
        FDragSelecting = true;
    } else if (Left && DataCell && !(Shift & fw::ssCtrl)) {
        ClearSelection();
    }
    const TGridCoord Before = Current();
    {
        // The grid takes the focus itself here: its control shows once the press is done.
        fw::TScopeExit Done([this, Was = FFocusing] { FFocusing = Was; });
        FFocusing = true;
        TCustomGrid_ts::MouseDown(Button, Shift, X, Y);
    }
    if (!(Current() == Before)) CurrentCellMoved(Before);
    if (Left && DataCell && GridState() == TGridState::gsSelecting && !FDragSelecting) {
        FRangeAnchor = Current();
        FDragSelecting = true;
    }
    if (Left && Cell.X == 0 && Cell.Y >= 1 && HasCurrentCell()) ClickRowBar(Cell.Y, Shift);
    if (Left && Cell.Y == 0 && Cell.X >= 1 && HasCurrentCell()) ClickHeading(Cell.X, Shift);
    if (GridState() != TGridState::gsSelecting) FDragSelecting = false;
    UpdateCellControl(false);
}

void TtsBaseGrid::MouseMove(fw::TShiftState Shift, int X, int Y) {
    TCustomGrid_ts::MouseMove(Shift, X, Y);
}

void TtsBaseGrid::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    fw::TScopeExit Done([this] { FDragSelecting = false; });
    SpinRelease();
    TCustomGrid_ts::MouseUp(Button, Shift, X, Y);
}

bool TtsBaseGrid::DoMouseWheel(fw::TShiftState Shift, int WheelDelta, fw::TPoint MousePos) {
    if (TCustomGrid_ts::DoMouseWheel(Shift, WheelDelta, MousePos)) return true;
    // Three rows a notch; the current cell stays where it is.
    const int Notches = WheelDelta / 120;
    for (int I = 0; I < 3 * std::abs(Notches); ++I)
        ModifyScrollBar(SB_VERT, Notches > 0 ? SB_LINEUP : SB_LINEDOWN, 0, false);
    return Notches != 0;
}

// --- Messages -------------------------------------------------------------------------

void TtsBaseGrid::Dispatch(fw::TMessage& Message) {
    // A message's handlers may change or free what its handling goes on with.
    TtsBusyScope Busy(*FModel);
    DispatchGridMessage(Message);
}

void TtsBaseGrid::DispatchGridMessage(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_TIMER:
        if (SpinTimer(static_cast<std::uintptr_t>(Message.WParam))) return;
        break;
    case fw::WM_GETDLGCODE:
        TCustomGrid_ts::Dispatch(Message);
        Message.Result |= fw::DLGC_WANTARROWS | fw::DLGC_WANTCHARS;
        if (FWantTabs) Message.Result |= fw::DLGC_WANTTAB;
        return;
    case fw::WM_SETFOCUS:
        TCustomGrid_ts::Dispatch(Message);
        if (!FFocusing) UpdateCellControl(false);
        RepaintCurrentCell();
        return;
    case fw::WM_KILLFOCUS: {
        TCustomGrid_ts::Dispatch(Message);
        const auto To = reinterpret_cast<fw::HWND>(Message.WParam);
        if (!FFocusing && To != CellControlWindow()) PlaceCellControl();
        RepaintCurrentCell();
        return;
    }
    case fw::WM_SIZE:
        TCustomGrid_ts::Dispatch(Message);
        PlaceCellControl();
        return;
    case fw::CM_COLORCHANGED:
        TCustomGrid_ts::Dispatch(Message);
        FModel->Color = Color();
        InvalidateGrid();
        UpdateCellControl(false);
        return;
    case fw::CM_FONTCHANGED:
        TCustomGrid_ts::Dispatch(Message);
        FModel->Font.Assign(Font());
        FModel->FontChanged();
        InvalidateGrid();
        UpdateCellControl(false);
        return;
    default:
        if (AnswerCellQuery(*this, Message)) return;
        break;
    }
    TCustomGrid_ts::Dispatch(Message);
}

} // namespace vel
