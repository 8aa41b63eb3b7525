// The base grid's input: in-place editor, keyboard, mouse and messages.
#include "Grids_ts.h"
#include "Grids_tsInternal.h"

#include "Canvas.h"
#include "Forms.h"
#include "InplaceEdit.h"
#include "Input.h"
#include "ScopeExit.h"
#include "Timers.h"
#include "WideEdit.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace vel {

using namespace gridimpl;

// ---- in-place editor (only with the Editing option) ----

bool TCustomGrid_ts::CanEditShow() {
    return (FOptions & goEditing) && !(FOptions & goRowSelect) && FEditorMode &&
           HandleAllocated() && ((FOptions & goAlwaysShowEditor) || IsActiveControl());
}

std::unique_ptr<TInplaceEdit> TCustomGrid_ts::CreateEditor() {
    return std::make_unique<TInplaceEdit>(nullptr);
}

bool TCustomGrid_ts::CanEditAcceptKey(char) {
    return true;
}

bool TCustomGrid_ts::CanEditModify() {
    return FCanEditModify;
}

std::string TCustomGrid_ts::GetEditText(int, int) {
    return {};
}

void TCustomGrid_ts::SetEditText(int, int, const std::string&) {}

int TCustomGrid_ts::GetEditLimit() {
    return 0;
}

std::string TCustomGrid_ts::GetEditMask(int, int) {
    return {};
}

TEditStyle TCustomGrid_ts::GetEditStyle(int, int) {
    return TEditStyle::esSimple;
}

void TCustomGrid_ts::LoadEditor() {
    FInplaceCol = FCurrent.X;
    FInplaceRow = FCurrent.Y;
    FInplaceEdit->UpdateContents();
    FCanEditModify = GetEditLimit() != -1;
    FInplaceEdit->SelectAll();
}

void TCustomGrid_ts::UpdateEdit() {
    if (!CanEditShow()) return;
    if (!FInplaceEdit) {
        FInplaceEdit = CreateEditor();
        FInplaceEdit->Grid = this;
        FInplaceEdit->SetParent(this);
        LoadEditor();
    } else if (FInplaceCol != FCurrent.X || FInplaceRow != FCurrent.Y) {
        HideEdit();
        LoadEditor();
    }
    if (CanEditShow()) FInplaceEdit->Move(CellRect(FCurrent.X, FCurrent.Y));
}

void TCustomGrid_ts::UpdateText() {
    if (FInplaceEdit && FInplaceCol != -1 && FInplaceRow != -1)
        SetEditText(FInplaceCol, FInplaceRow, FInplaceEdit->Text());
}

void TCustomGrid_ts::HideEdit() {
    if (!FInplaceEdit) return;
    UpdateText();
    FInplaceCol = -1;
    FInplaceRow = -1;
    FInplaceEdit->HideEditor();
}

void TCustomGrid_ts::HideEditor() {
    FEditorMode = false;
    HideEdit();
}

void TCustomGrid_ts::ShowEditor() {
    FEditorMode = true;
    UpdateEdit();
}

void TCustomGrid_ts::SetEditorMode(bool Value) {
    if (Value) {
        ShowEditor();
        if (FInplaceEdit) FInplaceEdit->Deselect();
    } else {
        HideEditor();
    }
}

void TCustomGrid_ts::ShowEditorChar(char Ch) {
    ShowEditor();
    if (FInplaceEdit && FInplaceEdit->HandleAllocated())
        fw::PostMessage(FInplaceEdit->Handle(), fw::WM_CHAR,
                        static_cast<fw::WPARAM>(static_cast<unsigned char>(Ch)), 0);
}

bool TCustomGrid_ts::IsActiveControl() {
    if (fw::TCustomForm* F = fw::GetParentForm(this)) return F->ActiveControl() == this;
    return HandleAllocated() && HoldsFocus();
}

bool TCustomGrid_ts::HoldsFocus() const {
    // The focused window is the grid's or lies inside it.
    for (fw::TWinControl* W = fw::FindControl(fw::GetFocus()); W; W = W->Parent())
        if (W == this) return true;
    return false;
}

// ---- keyboard ----

TCustomGrid_ts::TKeyPage TCustomGrid_ts::KeyPage(const TGridDrawInfo& D) const {
    return {std::max(1, D.Horz.LastFullVisibleCell - FTopLeft.X),
            std::max(1, D.Vert.LastFullVisibleCell - FTopLeft.Y)};
}

void TCustomGrid_ts::CtrlKeyMove(std::uint16_t Key, const TGridDrawInfo& D, TKeyMove& M) {
    const int Factor = FRightToLeft ? -1 : 1;
    const TKeyPage Page = KeyPage(D);
    const bool RowSel = FOptions & goRowSelect;
    switch (Key) {
    case fw::VK_UP:
        --M.TopLeft.Y;
        break;
    case fw::VK_DOWN:
        ++M.TopLeft.Y;
        break;
    case fw::VK_LEFT:
    case fw::VK_RIGHT:
        if (!RowSel) {
            const int Step = (Key == fw::VK_LEFT ? -Factor : Factor) * Page.Width;
            M.Cur.X += Step;
            M.TopLeft.X += Step;
        }
        break;
    case fw::VK_PRIOR:
        M.Cur.Y = FTopLeft.Y;
        break;
    case fw::VK_NEXT:
        M.Cur.Y = D.Vert.LastFullVisibleCell;
        break;
    case fw::VK_HOME:
        M.Cur = {FFixedCols, FFixedRows};
        break;
    case fw::VK_END:
        M.Cur = {FColCount - 1, FRowCount - 1};
        break;
    default:
        break;
    }
}

void TCustomGrid_ts::PlainKeyMove(std::uint16_t Key, const TGridDrawInfo& D, TKeyMove& M) {
    const int Factor = FRightToLeft ? -1 : 1;
    const TKeyPage Page = KeyPage(D);
    const bool RowSel = FOptions & goRowSelect;
    switch (Key) {
    case fw::VK_UP:
        --M.Cur.Y;
        break;
    case fw::VK_DOWN:
        ++M.Cur.Y;
        break;
    case fw::VK_LEFT:
    case fw::VK_RIGHT: {
        const int Step = Key == fw::VK_LEFT ? -Factor : Factor;
        (RowSel ? M.Cur.Y : M.Cur.X) += Step;
        break;
    }
    case fw::VK_PRIOR:
    case fw::VK_NEXT: {
        const int Step = Key == fw::VK_PRIOR ? -Page.Height : Page.Height;
        M.Cur.Y += Step;
        M.TopLeft.Y += Step;
        break;
    }
    case fw::VK_HOME:
        (RowSel ? M.Cur.Y : M.Cur.X) = RowSel ? FFixedRows : FFixedCols;
        break;
    case fw::VK_END:
        (RowSel ? M.Cur.Y : M.Cur.X) = RowSel ? FRowCount - 1 : FColCount - 1;
        break;
    case fw::VK_TAB:
        if (!(M.Shift & fw::ssAlt)) TabKeyMove(M);
        break;
    case fw::VK_F2:
        SetEditorMode(true);
        break;
    default:
        break;
    }
}

void TCustomGrid_ts::TabKeyMove(TKeyMove& M) {
    int Steps = 0;
    do {
        if (!(M.Shift & fw::ssShift)) {
            if (++M.Cur.X >= FColCount) {
                M.Cur.X = FFixedCols;
                if (++M.Cur.Y >= FRowCount) M.Cur.Y = FFixedRows;
            }
        } else {
            if (--M.Cur.X < FFixedCols) {
                M.Cur.X = FColCount - 1;
                if (--M.Cur.Y < FFixedRows) M.Cur.Y = FRowCount - 1;
            }
            // The first backward step resets the anchor; later steps count Shift as released.
            M.Shift &= static_cast<fw::TShiftState>(~fw::ssShift);
        }
    } while (!TabStops(M.Cur.X) && M.Cur.X != FCurrent.X && ++Steps < FColCount * 2);
}

void TCustomGrid_ts::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    fw::TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    if (!CanGridAcceptKey(Key, Shift)) Key = 0;
    TGridDrawInfo D;
    CalcDrawInfo(D);
    TKeyMove M{FCurrent, FTopLeft, Shift};
    if (Shift & fw::ssCtrl)
        CtrlKeyMove(Key, D, M);
    else
        PlainKeyMove(Key, D, M);
    TGridCoord MaxTL = CalcMaxTopLeft({FColCount - 1, FRowCount - 1}, D);
    M.TopLeft.X = std::clamp(M.TopLeft.X, FFixedCols, std::max(FFixedCols, MaxTL.X));
    M.TopLeft.Y = std::clamp(M.TopLeft.Y, FFixedRows, std::max(FFixedRows, MaxTL.Y));
    if (!(M.TopLeft == FTopLeft)) MoveTopLeft(M.TopLeft.X, M.TopLeft.Y);
    M.Cur.X = std::clamp(M.Cur.X, FFixedCols, FColCount - 1);
    M.Cur.Y = std::clamp(M.Cur.Y, FFixedRows, FRowCount - 1);
    if (!(M.Cur == FCurrent)) FocusCell(M.Cur.X, M.Cur.Y, !(M.Shift & fw::ssShift));
    if (FRightToLeft && (Shift & fw::ssCtrl) && (Key == fw::VK_HOME || Key == fw::VK_END))
        InvalidateGrid();
}

void TCustomGrid_ts::KeyPress(char& Key) {
    fw::TCustomControl::KeyPress(Key);
    if (!(FOptions & goAlwaysShowEditor) && Key == '\r') {
        if (FEditorMode)
            HideEditor();
        else
            ShowEditor();
        Key = 0;
    }
}

// ---- mouse ----

void TCustomGrid_ts::StartTimer() {
    if (HandleAllocated()) {
        fw::SetTimer(Handle(), GridScrollTimerId, GridScrollTimerPeriod);
        FTimerRunning = true;
    }
}

void TCustomGrid_ts::StopTimer() {
    if (FTimerRunning && HandleAllocated()) fw::KillTimer(Handle(), GridScrollTimerId);
    FTimerRunning = false;
}

void TCustomGrid_ts::CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos,
                                     int& SizingOfs, TGridDrawInfo& FixedInfo) {
    State = TGridState::gsNormal;
    Index = -1;
    TGridOptions Eff = FOptions;
    if (InState(fw::TComponentStateItem::Designing)) Eff |= FDesignOptionsBoost;
    if (!(Eff & (goRowSizing | goColSizing))) return;
    CalcDrawInfo(FixedInfo);
    auto Test = [&](TGridAxisDrawInfo& A, int P, TGridState S) {
        int Range = A.EffectiveLineWidth;
        int Back = 0;
        if (Range < 7) {
            Range = 7;
            Back = (7 - A.EffectiveLineWidth) >> 1;
        }
        int Line = A.FixedBoundary;
        for (int I = A.FirstGridCell; I < A.GridCellCount; ++I) {
            Line += A.GetExtent(I);
            if (Line > A.GridBoundary) break;
            if (P >= Line - Back && P <= Line - Back + Range) {
                State = S;
                SizingPos = Line;
                SizingOfs = Line - P;
                Index = I;
                return;
            }
            Line += A.EffectiveLineWidth;
        }
        if (A.GridBoundary == A.GridExtent && P >= A.GridExtent - Back && P <= A.GridExtent) {
            State = S;
            SizingPos = A.GridExtent;
            SizingOfs = A.GridExtent - P;
            Index = A.LastFullVisibleCell + 1;
        }
    };
    // Lines are found where they are drawn: right to left, in the picture's mirror image.
    const int LaidX = MirroredX(X);
    if (LaidX > FixedInfo.Horz.FixedBoundary && (Eff & goColSizing)) {
        if (Y < FixedInfo.Vert.FixedBoundary) Test(FixedInfo.Horz, LaidX, TGridState::gsColSizing);
    } else if (Y > FixedInfo.Vert.FixedBoundary && (Eff & goRowSizing)) {
        if (LaidX < FixedInfo.Horz.FixedBoundary) Test(FixedInfo.Vert, Y, TGridState::gsRowSizing);
    }
}

bool TCustomGrid_ts::Sizing(int X, int Y) {
    TGridDrawInfo D;
    TGridState S = FGridState;
    int Index = 0, Pos = 0, Ofs = 0;
    if (S == TGridState::gsNormal) CalcSizingState(X, Y, S, Index, Pos, Ofs, D);
    return S == TGridState::gsRowSizing || S == TGridState::gsColSizing;
}

void TCustomGrid_ts::DrawSizingLine(const TGridDrawInfo& D) {
    if (!HandleAllocated()) return;
    // The line is drawn at the next paint: the window surface is repainted from scratch.
    if (FGridState == TGridState::gsColSizing)
        InvalidateScreenRect(
            Mirrored(fw::TRect{FSizingPos - 1, 0, FSizingPos + 2, D.Vert.GridBoundary}));
    else
        InvalidateScreenRect(
            Mirrored(fw::TRect{0, FSizingPos - 1, D.Horz.GridBoundary, FSizingPos + 2}));
}

void TCustomGrid_ts::DrawMove() {
    // The line is drawn at the next paint, over the strip where it lies.
    if (!HandleAllocated()) return;
    if (FGridState == TGridState::gsRowMoving) {
        const fw::TRect R = CellRect(0, FMovePos);
        const int Y = FMovePos > FMoveIndex ? R.Bottom : R.Top;
        InvalidateScreenRect(fw::TRect{0, Y - 3, ClientWidth(), Y + 4});
    } else if (FGridState == TGridState::gsColMoving) {
        const fw::TRect R = CellRect(FMovePos, 0);
        const int X = ((FMovePos > FMoveIndex) != FRightToLeft) ? R.Right : R.Left;
        InvalidateScreenRect(fw::TRect{X - 3, 0, X + 4, ClientHeight()});
    } else {
        InvalidateGrid();
    }
}

void TCustomGrid_ts::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    HideEdit();
    if (CanFocus() || !fw::GetParentForm(this)) {
        if (HandleAllocated() && !Focused() && CanFocus()) SetFocus();
        if (!IsActiveControl()) {
            SetMouseCapture(false);
            return;
        }
    }
    if (Button == fw::mbLeft && (Shift & fw::ssDouble))
        DblClick();
    else if (Button == fw::mbLeft) {
        TGridDrawInfo D;
        CalcDrawInfo(D);
        TGridState S = TGridState::gsNormal;
        int Index = -1, Pos = 0, Ofs = 0;
        CalcSizingState(X, Y, S, Index, Pos, Ofs, D);
        if (S != TGridState::gsNormal) {
            FGridState = S;
            FDragStamp = StructureStamp();
            FSizingIndex = Index;
            FSizingPos = Pos;
            FSizingOfs = Ofs;
            DrawSizingLine(D);
            fw::TCustomControl::MouseDown(Button, Shift, X, Y);
            return;
        }
        TGridCoord Cell = CalcCoordFromPoint(X, Y, D);
        if (Cell.X >= FFixedCols && Cell.Y >= FFixedRows) {
            if (FOptions & goEditing) {
                if (Cell == FCurrent)
                    ShowEditor();
                else {
                    MoveCurrent(Cell.X, Cell.Y, true, true);
                    UpdateEdit();
                }
                Click();
            } else {
                FGridState = TGridState::gsSelecting;
                StartTimer();
                if (Shift & fw::ssShift)
                    MoveAnchor(Cell);
                else
                    MoveCurrent(Cell.X, Cell.Y, true, true);
            }
        } else if ((FOptions & goRowMoving) && Cell.X >= 0 && Cell.X < FFixedCols &&
                   Cell.Y >= FFixedRows) {
            FMoveIndex = FMovePos = Cell.Y;
            if (BeginRowDrag(FMoveIndex, FMovePos, fw::TPoint{X, Y})) {
                FGridState = TGridState::gsRowMoving;
                FDragStamp = StructureStamp();
                DrawMove();
                StartTimer();
            }
        } else if ((FOptions & goColMoving) && Cell.Y >= 0 && Cell.Y < FFixedRows &&
                   Cell.X >= FFixedCols) {
            FMoveIndex = FMovePos = Cell.X;
            if (BeginColumnDrag(FMoveIndex, FMovePos, fw::TPoint{X, Y})) {
                FGridState = TGridState::gsColMoving;
                FDragStamp = StructureStamp();
                DrawMove();
                StartTimer();
            }
        }
    }
    fw::TCustomControl::MouseDown(Button, Shift, X, Y);
}

bool TCustomGrid_ts::DragLinesChanged() {
    if (FGridState == TGridState::gsNormal || FGridState == TGridState::gsSelecting ||
        StructureStamp() == FDragStamp)
        return false;
    StopTimer();
    FGridState = TGridState::gsNormal;
    InvalidateGrid();
    return true;
}

void TCustomGrid_ts::MoveAndScroll(int Mouse, int CellHit, TGridDrawInfo& D,
                                   TGridAxisDrawInfo& Axis, int ScrollBar, fw::TPoint MousePt) {
    if (FRightToLeft && ScrollBar == SB_HORZ) Mouse = ClientWidth() - Mouse;
    if (CellHit == FMovePos) return;
    if (FMovePos == Axis.FixedCellCount && Mouse < Axis.FixedBoundary) return;
    if (FMovePos == Axis.GridCellCount - 1 && Mouse > Axis.GridBoundary) return;
    DrawMove();
    int Target = CellHit;
    if (Mouse < Axis.FixedBoundary) {
        if (FMovePos > Axis.FixedCellCount) {
            ModifyScrollBar(ScrollBar, SB_LINEUP, 0, false);
            if (DragLinesChanged()) return;
            CalcDrawInfo(D);
        }
        Target = ScrollBar == SB_HORZ ? FTopLeft.X : FTopLeft.Y;
    } else if (Mouse >= Axis.FullVisBoundary) {
        if (FMovePos == Axis.LastFullVisibleCell && FMovePos < Axis.GridCellCount - 1) {
            ModifyScrollBar(ScrollBar, SB_LINEDOWN, 0, false);
            if (DragLinesChanged()) return;
            CalcDrawInfo(D);
        }
        Target = (ScrollBar == SB_HORZ ? D.Horz : D.Vert).LastFullVisibleCell;
    } else if (CellHit < 0) {
        Target = FMovePos;
    }
    bool Ok = ScrollBar == SB_HORZ ? CheckColumnDrag(FMoveIndex, Target, MousePt)
                                   : CheckRowDrag(FMoveIndex, Target, MousePt);
    if (Ok) FMovePos = Target;
    DrawMove();
}

void TCustomGrid_ts::MouseMove(fw::TShiftState Shift, int X, int Y) {
    DragLinesChanged();
    TGridDrawInfo D;
    CalcDrawInfo(D);
    switch (FGridState) {
    case TGridState::gsColSizing:
    case TGridState::gsRowSizing:
        DrawSizingLine(D);
        FSizingPos = (FGridState == TGridState::gsColSizing ? MirroredX(X) : Y) + FSizingOfs;
        DrawSizingLine(D);
        break;
    case TGridState::gsSelecting:
    case TGridState::gsRowMoving:
    case TGridState::gsColMoving: {
        TGridCoord Cell = CalcCoordFromPoint(X, Y, D);
        bool Inside = Cell.X >= FFixedCols && Cell.X <= D.Horz.LastFullVisibleCell + 1 &&
                      Cell.Y >= FFixedRows && Cell.Y <= D.Vert.LastFullVisibleCell + 1;
        if (FGridState == TGridState::gsSelecting) {
            if (Inside && !(Cell == FAnchor)) MoveAnchor(Cell);
        } else if (FGridState == TGridState::gsRowMoving) {
            MoveAndScroll(Y, Cell.Y, D, D.Vert, SB_VERT, fw::TPoint{X, Y});
        } else {
            MoveAndScroll(X, Cell.X, D, D.Horz, SB_HORZ, fw::TPoint{X, Y});
        }
        break;
    }
    default:
        break;
    }
    fw::TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomGrid_ts::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    fw::TScopeExit NormalAtEnd([this] { FGridState = TGridState::gsNormal; });
    DragLinesChanged();
    TGridDrawInfo D;
    CalcDrawInfo(D);
    switch (FGridState) {
    case TGridState::gsSelecting:
        MouseMove(Shift, X, Y);
        StopTimer();
        UpdateEdit();
        Click();
        break;
    case TGridState::gsRowSizing:
    case TGridState::gsColSizing: {
        DrawSizingLine(D);
        bool Cols = FGridState == TGridState::gsColSizing;
        const TGridAxisDrawInfo& A = Cols ? D.Horz : D.Vert;
        int Start = A.FixedBoundary;
        for (int I = A.FirstGridCell; I < FSizingIndex; ++I)
            Start += A.GetExtent(I) + A.EffectiveLineWidth;
        int NewSize = FSizingPos - Start;
        int Count = Cols ? FColCount : FRowCount;
        if (NewSize > 1 && FSizingIndex >= 0 && FSizingIndex < Count) {
            if (Cols)
                SetColWidths(FSizingIndex, NewSize);
            else
                SetRowHeights(FSizingIndex, NewSize);
        }
        break;
    }
    case TGridState::gsRowMoving:
    case TGridState::gsColMoving: {
        DrawMove();
        StopTimer();
        bool Cols = FGridState == TGridState::gsColMoving;
        bool Ok = Cols ? EndColumnDrag(FMoveIndex, FMovePos, fw::TPoint{X, Y})
                       : EndRowDrag(FMoveIndex, FMovePos, fw::TPoint{X, Y});
        if (Ok && FMoveIndex != FMovePos && StructureStamp() == FDragStamp) {
            if (Cols)
                MoveColumn(FMoveIndex, FMovePos);
            else
                MoveRow(FMoveIndex, FMovePos);
        }
        UpdateEdit();
        break;
    }
    default:
        UpdateEdit();
        break;
    }
    fw::TCustomControl::MouseUp(Button, Shift, X, Y);
    if (Button == fw::mbRight) AskContextMenu(X, Y);
}

void TCustomGrid_ts::DoTimer() {
    if (FGridState != TGridState::gsSelecting && FGridState != TGridState::gsRowMoving &&
        FGridState != TGridState::gsColMoving)
        return;
    if (DragLinesChanged()) return;
    fw::TPoint P = ScreenToClient(fw::GetCursorPos());
    TGridDrawInfo D;
    CalcDrawInfo(D);
    TGridCoord Cell = CalcCoordFromPoint(P.X, P.Y, D);
    if (FGridState == TGridState::gsSelecting) {
        TGridScrollDirection Dir = 0;
        if (!FRightToLeft) {
            if (P.X < D.Horz.FixedBoundary)
                Dir |= sdLeft;
            else if (P.X > D.Horz.FullVisBoundary)
                Dir |= sdRight;
        } else {
            int W = ClientWidth();
            if (P.X > W - D.Horz.FixedBoundary)
                Dir |= sdLeft;
            else if (P.X < W - D.Horz.FullVisBoundary)
                Dir |= sdRight;
        }
        if (P.Y < D.Vert.FixedBoundary)
            Dir |= sdUp;
        else if (P.Y > D.Vert.FullVisBoundary)
            Dir |= sdDown;
        if (Dir != 0) TimedScroll(Dir);
    } else if (FGridState == TGridState::gsRowMoving) {
        MoveAndScroll(P.Y, Cell.Y, D, D.Vert, SB_VERT, P);
    } else {
        MoveAndScroll(P.X, Cell.X, D, D.Horz, SB_HORZ, P);
    }
}

void TCustomGrid_ts::TimedScroll(TGridScrollDirection Direction) {
    TGridCoord NewAnchor = FAnchor;
    if ((Direction & sdLeft) && NewAnchor.X > FFixedCols) --NewAnchor.X;
    if ((Direction & sdRight) && NewAnchor.X < FColCount - 1) ++NewAnchor.X;
    if ((Direction & sdUp) && NewAnchor.Y > FFixedRows) --NewAnchor.Y;
    if ((Direction & sdDown) && NewAnchor.Y < FRowCount - 1) ++NewAnchor.Y;
    if (!(NewAnchor == FAnchor)) MoveAnchor(NewAnchor);
}

void TCustomGrid_ts::CancelMode() {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    switch (FGridState) {
    case TGridState::gsSelecting:
        StopTimer();
        break;
    case TGridState::gsRowSizing:
    case TGridState::gsColSizing:
        DrawSizingLine(D);
        break;
    case TGridState::gsRowMoving:
    case TGridState::gsColMoving:
        DrawMove();
        StopTimer();
        break;
    default:
        break;
    }
    FGridState = TGridState::gsNormal;
}

// ---- messages ----

bool TCustomGrid_ts::TimerMessage(fw::TMessage& Message) {
    if (Message.WParam != GridScrollTimerId) return false;
    DoTimer();
    Message.Result = 0;
    return true;
}

void TCustomGrid_ts::DialogCodeMessage(fw::TMessage& Message) {
    Message.Result = fw::DLGC_WANTARROWS;
    if (!(FOptions & goRowSelect)) {
        if (FOptions & goTabs) Message.Result |= fw::DLGC_WANTTAB;
        if (FOptions & goEditing) Message.Result |= fw::DLGC_WANTCHARS;
    }
}

bool TCustomGrid_ts::SetCursorMessage(fw::TMessage& Message) {
    TGridState S = FGridState;
    if (S == TGridState::gsNormal) {
        TGridDrawInfo D;
        int Index = 0, Pos = 0, Ofs = 0;
        fw::TPoint P = ScreenToClient(fw::GetCursorPos());
        CalcSizingState(P.X, P.Y, S, Index, Pos, Ofs, D);
    }
    if (S != TGridState::gsRowSizing && S != TGridState::gsColSizing) return false;
    // Rows size with the vertical split cursor, columns with the horizontal one.
    fw::SetCurrentCursor(S == TGridState::gsRowSizing ? fw::crVSplit : fw::crHSplit);
    Message.Result = 1;
    return true;
}

void TCustomGrid_ts::SizeMessage(fw::TMessage& Message) {
    fw::TCustomControl::Dispatch(Message);
    if (Message.Msg == fw::CM_SHOWINGCHANGED) {
        // A grid that starts showing takes its window, so that its bars show.
        if (!Showing()) return;
        HandleNeeded();
        UpdateScrollRange();
        return;
    }
    UpdateScrollRange();
    if (FRightToLeft) InvalidateGrid();
}

void TCustomGrid_ts::FocusMessage(fw::TMessage& Message) {
    fw::TCustomControl::Dispatch(Message);
    const auto Other = reinterpret_cast<fw::HWND>(Message.WParam);
    const bool FromOrToEditor =
        FInplaceEdit && FInplaceEdit->HandleAllocated() && Other == FInplaceEdit->Handle();
    if (Message.Msg == fw::WM_KILLFOCUS) {
        InvalidateGridRect(Selection());
        if (FInplaceEdit && !FromOrToEditor) FInplaceEdit->HideEditor();
    } else if (!FromOrToEditor) {
        InvalidateGridRect(Selection());
        UpdateEdit();
    }
}

bool TCustomGrid_ts::CharMessage(fw::TMessage& Message) {
    if (!(FOptions & goEditing)) return false;
    auto Ch = static_cast<unsigned char>(Message.WParam & 0xFF);
    if (Ch < 32 && Ch != 8) return false;
    ShowEditorChar(static_cast<char>(Ch));
    Message.Result = 0;
    return true;
}

void TCustomGrid_ts::Dispatch(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_TIMER:
        if (TimerMessage(Message)) return;
        break;
    case fw::WM_GETDLGCODE:
        DialogCodeMessage(Message);
        return;
    case fw::WM_CANCELMODE:
        CancelMode();
        break;
    case fw::WM_NCHITTEST:
    case fw::CM_HITTEST:
        FHitTest = fw::TPoint{LowSigned(Message.LParam), HighSigned(Message.LParam)};
        if (Message.Msg == fw::WM_NCHITTEST) FHitTest = ScreenToClient(FHitTest);
        break;
    case fw::WM_SETCURSOR:
        if (SetCursorMessage(Message)) return;
        break;
    case fw::WM_SIZE:
    case fw::CM_SHOWINGCHANGED:
        SizeMessage(Message);
        return;
    case fw::WM_HSCROLL:
    case fw::WM_VSCROLL:
        ModifyScrollBar(Message.Msg == fw::WM_HSCROLL ? SB_HORZ : SB_VERT,
                        static_cast<int>(Message.WParam & 0xFFFF),
                        static_cast<int>((Message.WParam >> 16) & 0xFFFF), true);
        Message.Result = 0;
        return;
    case fw::WM_KILLFOCUS:
    case fw::WM_SETFOCUS:
        FocusMessage(Message);
        return;
    case fw::WM_LBUTTONDOWN:
        if (FInplaceEdit) FInplaceEdit->ClickTime = static_cast<std::int32_t>(fw::GetTickCount());
        break;
    case fw::WM_CHAR:
        if (CharMessage(Message)) return;
        break;
    case fw::WM_COMMAND:
        // The editor's text changed: the grid takes it.
        if (FInplaceEdit && FInplaceEdit->HandleAllocated() &&
            reinterpret_cast<fw::HWND>(Message.LParam) == FInplaceEdit->Handle() &&
            (Message.WParam >> 16) == fw::EN_CHANGE) {
            UpdateText();
            return;
        }
        break;
    case fw::CM_FONTCHANGED:
        if (FInplaceEdit) FInplaceEdit->Font().Assign(Font());
        break;
    case fw::CM_WANTSPECIALKEY:
        fw::TCustomControl::Dispatch(Message);
        if ((FOptions & goEditing) && (Message.WParam & 0xFFFF) == fw::VK_RETURN)
            Message.Result = 1;
        return;
    case fw::CM_EXIT:
        // Leaving the grid (not for its own editor) closes the editor.
        fw::TCustomControl::Dispatch(Message);
        if (!(FOptions & goAlwaysShowEditor) && !HoldsFocus()) HideEditor();
        return;
    case fw::CM_CTL3DCHANGED:
        // The border follows the look: the window is made again.
        fw::TCustomControl::Dispatch(Message);
        if (HandleAllocated()) RecreateWnd();
        return;
    default:
        break;
    }
    fw::TCustomControl::Dispatch(Message);
}

} // namespace vel
