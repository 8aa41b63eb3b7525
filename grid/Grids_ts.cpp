// The base grid: extents, model setters, current cell, geometry, scrolling
// and lines. Input and painting live in Grids_tsInput.cpp and
// Grids_tsPaint.cpp.
#include "Grids_ts.h"
#include "Grids_tsInternal.h"

#include "Canvas.h"
#include "Forms.h"
#include "InplaceEdit.h"
#include "Input.h"
#include "ScopeExit.h"
#include "ScrollBars.h"
#include "Timers.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace vel {

void InvalidOp(const std::string& Msg) {
    throw EInvalidGridOperation(Msg);
}

namespace {

constexpr int MaxExtentCount = 134217726;

} // namespace

using namespace gridimpl;

// ---- extent arrays ----

void ModifyExtents(TExtentArray& Extents, int Index, int Amount, int Default) {
    if (Amount == 0) return;
    int OldSize = Extents.empty() ? 0 : Extents[0];
    if (Index < 0 || Index > OldSize) InvalidOp("Grid index out of range");
    long long NewSize = static_cast<long long>(OldSize) + Amount;
    if (NewSize < 0) InvalidOp("Too many rows or columns deleted");
    if (NewSize >= MaxExtentCount) InvalidOp("Grid too large for operation");
    if (NewSize == 0) {
        Extents.clear();
        return;
    }
    if (Extents.empty()) Extents.push_back(0);
    // Lines are inserted or removed at Index; the entries after them keep their values.
    auto At = Extents.begin() + 1 + Index;
    if (Amount > 0) {
        Extents.insert(At, static_cast<std::size_t>(Amount), Default);
    } else {
        int Removed = std::min(-Amount, OldSize - Index);
        Extents.erase(At, At + Removed);
        Extents.resize(static_cast<std::size_t>(NewSize) + 1, Default);
    }
    Extents[0] = static_cast<std::int32_t>(NewSize);
}

void UpdateExtents(TExtentArray& Extents, int NewSize, int Default) {
    int OldSize = Extents.empty() ? 0 : Extents[0];
    ModifyExtents(Extents, OldSize, NewSize - OldSize, Default);
}

namespace {

// The entries of the lines from Index on (none past the last line, or without an array).
TExtentArray ExtentsFrom(const TExtentArray& Extents, int Index) {
    if (Extents.empty() || Index >= Extents[0]) return {};
    return TExtentArray(Extents.begin() + 1 + std::max(Index, 0), Extents.end());
}

// UpdateExtents of an array that exists; its last lines then take the entries of Cut
// (grown back over lines a shrink cut, they have their own extents again).
void ResizeExtents(TExtentArray& Extents, int NewSize, int Default, const TExtentArray& Cut) {
    if (Extents.empty()) return;
    UpdateExtents(Extents, NewSize, Default);
    if (Cut.size() < Extents.size())
        std::copy(Cut.begin(), Cut.end(), Extents.end() - static_cast<std::ptrdiff_t>(Cut.size()));
}

} // namespace

void MoveExtent(TExtentArray& Extents, int FromIndex, int ToIndex) {
    if (Extents.empty()) return;
    int N = Extents[0];
    if (FromIndex < 0 || ToIndex < 0 || FromIndex >= N || ToIndex >= N)
        InvalidOp("Grid index out of range");
    // Only the entries between the two places move.
    auto From = Extents.begin() + FromIndex + 1, To = Extents.begin() + ToIndex + 1;
    if (FromIndex < ToIndex)
        std::rotate(From, From + 1, To + 1);
    else
        std::rotate(To, From, From + 1);
}

bool CompareExtents(const TExtentArray& E1, const TExtentArray& E2) {
    if (E1.empty() && E2.empty()) return true;
    if (E1.empty() || E2.empty()) return false;
    return E1 == E2;
}

int MoveAdjust(int CellPos, int FromIndex, int ToIndex) {
    if (CellPos == FromIndex) return ToIndex;
    int Min = std::min(FromIndex, ToIndex);
    int Max = std::max(FromIndex, ToIndex);
    if (CellPos >= Min && CellPos <= Max) return CellPos + (FromIndex < ToIndex ? -1 : 1);
    return CellPos;
}

// ---- runs of zero extents ----

void TGridZeroRuns::Build(const TExtentArray& Extents) {
    FRuns.clear();
    const int N = Extents.empty() ? 0 : Extents[0];
    for (int I = 0; I < N; ++I) {
        if (Extents[static_cast<std::size_t>(I) + 1] != 0) continue;
        int J = I;
        while (J + 1 < N && Extents[static_cast<std::size_t>(J) + 2] == 0)
            ++J;
        FRuns.emplace(I, J);
        I = J;
    }
    FValid = true;
}

bool TGridZeroRuns::RunAt(int Index, int& First, int& Last) const {
    auto It = FRuns.upper_bound(Index);
    if (It == FRuns.begin()) return false;
    --It;
    if (It->second < Index) return false;
    First = It->first;
    Last = It->second;
    return true;
}

void TGridZeroRuns::LineChanged(int Index, int Old, int New) {
    if (!FValid || (Old == 0) == (New == 0)) return;
    if (New == 0) {
        // The line joins the runs on either side.
        int First = Index, Last = Index, F = 0, L = 0;
        if (RunAt(Index - 1, F, L)) {
            First = F;
            FRuns.erase(F);
        }
        if (RunAt(Index + 1, F, L)) {
            Last = L;
            FRuns.erase(F);
        }
        FRuns[First] = Last;
        return;
    }
    int First = 0, Last = 0;
    if (!RunAt(Index, First, Last)) return;
    FRuns.erase(First);
    if (First < Index) FRuns[First] = Index - 1;
    if (Index < Last) FRuns[Index + 1] = Last;
}

void TGridZeroRuns::RangeChanged(const TExtentArray& Extents, int Lo, int Hi) {
    if (!FValid) return;
    const int N = Extents.empty() ? 0 : Extents[0];
    Hi = std::min(Hi, N - 1);
    if (Lo > Hi) return;
    // Runs reaching into the range keep their parts outside it.
    int First = 0, Last = 0;
    if (RunAt(Lo, First, Last)) {
        FRuns.erase(First);
        if (First < Lo) FRuns[First] = Lo - 1;
        if (Last > Hi) FRuns[Hi + 1] = Last;
    }
    for (auto It = FRuns.lower_bound(Lo); It != FRuns.end() && It->first <= Hi;) {
        if (It->second > Hi) FRuns[Hi + 1] = It->second;
        It = FRuns.erase(It);
    }
    for (int I = Lo; I <= Hi; ++I)
        if (Extents[static_cast<std::size_t>(I) + 1] == 0) LineChanged(I, 1, 0);
}

void TGridZeroRuns::Truncate(int Count) {
    if (!FValid) return;
    for (auto It = FRuns.lower_bound(Count); It != FRuns.end();)
        It = FRuns.erase(It);
    if (FRuns.empty()) return;
    auto Last = std::prev(FRuns.end());
    Last->second = std::min(Last->second, Count - 1);
}

// ---- construction ----

TCustomGrid_ts::TCustomGrid_ts(fw::TComponent* AOwner) : fw::TCustomControl(AOwner) {
    SetControlStyle(fw::csCaptureMouse | fw::csOpaque | fw::csDoubleClicks | fw::csClickEvents);
    SetColor(fw::clWindow);
    SetParentColor(false);
    SetTabStop(true);
    SetBounds(Left(), Top(), FColCount * FDefaultColWidth, FRowCount * FDefaultRowHeight);
    Initialize();
}

TCustomGrid_ts::~TCustomGrid_ts() {
    if (FTimerRunning && HandleAllocated()) fw::KillTimer(Handle(), GridScrollTimerId);
    FInplaceEdit.reset();
}

void TCustomGrid_ts::CreateParams(fw::TCreateParams& Params) {
    fw::TCustomControl::CreateParams(Params);
    Params.WindowClassStyle |= fw::CS_DBLCLKS;
    // A single border is the sunken edge of a 3-D control, else a plain line.
    if (FBorderStyle == TGridBorderStyle::bsSingle) {
        if (Ctl3D())
            Params.ExStyle |= fw::WS_EX_CLIENTEDGE;
        else
            Params.Style |= fw::WS_BORDER;
    }
}

void TCustomGrid_ts::Initialize() {
    FTopLeft = {FFixedCols, FFixedRows};
    FCurrent = FTopLeft;
    FAnchor = FCurrent;
    if (FOptions & goRowSelect) FAnchor.X = FColCount - 1;
}

// ---- model setters ----

void TCustomGrid_ts::SetColCount(int Value) {
    TGridHold Hold(this);
    if (Value < 1) Value = 1;
    ChangeSize(Value, FRowCount);
    if (FOptions & goRowSelect) {
        FAnchor.X = FColCount - 1;
        Invalidate();
    }
}

void TCustomGrid_ts::SetRowCount(int Value) {
    TGridHold Hold(this);
    if (Value < 1) Value = 1;
    ChangeSize(FColCount, Value);
}

void TCustomGrid_ts::SetFixedCols(int Value) {
    if (Value < 0) InvalidOp("Grid index out of range");
    if (Value >= FColCount) InvalidOp("Fixed column count must be less than column count");
    FFixedCols = Value;
    Initialize();
    InvalidateGrid();
}

void TCustomGrid_ts::SetFixedRows(int Value) {
    if (Value < 0) InvalidOp("Grid index out of range");
    if (Value >= FRowCount) InvalidOp("Fixed row count must be less than row count");
    FFixedRows = Value;
    Initialize();
    InvalidateGrid();
}

void TCustomGrid_ts::SetDefaultColWidth(int Value) {
    if (!FColWidths.empty()) UpdateExtents(FColWidths, 0, 0);
    ExtentsChanged(false);
    FDefaultColWidth = Value;
    ColWidthsChanged();
    InvalidateGrid();
}

void TCustomGrid_ts::SetDefaultRowHeight(int Value) {
    if (!FRowHeights.empty()) UpdateExtents(FRowHeights, 0, 0);
    ExtentsChanged(true);
    FDefaultRowHeight = Value;
    RowHeightsChanged();
    InvalidateGrid();
}

int TCustomGrid_ts::ColWidths(int Index) const {
    if (!FColWidths.empty() && Index >= 0 && Index < FColCount && Index < FColWidths[0])
        return FColWidths[static_cast<std::size_t>(Index) + 1];
    return FDefaultColWidth;
}

int TCustomGrid_ts::RowHeights(int Index) const {
    if (!FRowHeights.empty() && Index >= 0 && Index < FRowCount && Index < FRowHeights[0])
        return FRowHeights[static_cast<std::size_t>(Index) + 1];
    return FDefaultRowHeight;
}

void TCustomGrid_ts::SetColWidths(int Index, int Value) {
    if (FColWidths.empty()) {
        UpdateExtents(FColWidths, FColCount, FDefaultColWidth);
        ExtentsChanged(false);
    }
    if (Index < 0 || Index >= FColCount || Index >= FColWidths[0])
        InvalidOp("Grid index out of range");
    std::int32_t& E = FColWidths[static_cast<std::size_t>(Index) + 1];
    if (E != Value) {
        InvalidateCol(Index);
        FZeroRuns[0].LineChanged(Index, E, Value);
        E = Value;
        ColWidthsChanged();
    }
}

void TCustomGrid_ts::SetRowHeights(int Index, int Value) {
    if (FRowHeights.empty()) {
        UpdateExtents(FRowHeights, FRowCount, FDefaultRowHeight);
        ExtentsChanged(true);
    }
    if (Index < 0 || Index >= FRowCount || Index >= FRowHeights[0])
        InvalidOp("Grid index out of range");
    std::int32_t& E = FRowHeights[static_cast<std::size_t>(Index) + 1];
    if (E != Value) {
        InvalidateRow(Index);
        FZeroRuns[1].LineChanged(Index, E, Value);
        E = Value;
        RowHeightsChanged();
    }
}

bool TCustomGrid_ts::TabStops(int Index) const {
    if (FTabStops.empty() || Index < 0 || Index >= FTabStops[0]) return true;
    return FTabStops[static_cast<std::size_t>(Index) + 1] != 0;
}

void TCustomGrid_ts::SetTabStops(int Index, bool Value) {
    if (FTabStops.empty()) UpdateExtents(FTabStops, FColCount, 1);
    if (Index < 0 || Index >= FColCount || Index >= FTabStops[0])
        InvalidOp("Grid index out of range");
    FTabStops[static_cast<std::size_t>(Index) + 1] = Value ? 1 : 0;
}

void TCustomGrid_ts::SetFixedColor(fw::TColor Value) {
    if (FFixedColor != Value) {
        FFixedColor = Value;
        InvalidateGrid();
    }
}

void TCustomGrid_ts::SetGridLineWidth(int Value) {
    if (FGridLineWidth != Value) {
        FGridLineWidth = Value;
        InvalidateGrid();
    }
}

void TCustomGrid_ts::SetOptions(TGridOptions Value) {
    if (Value & goRowSelect) Value &= static_cast<TGridOptions>(~goAlwaysShowEditor);
    FOptions = Value;
    if (!FEditorMode) {
        if (FOptions & goAlwaysShowEditor)
            ShowEditor();
        else
            HideEditor();
    }
    if (FOptions & goRowSelect) MoveCurrent(FCurrent.X, FCurrent.Y, true, false);
    InvalidateGrid();
}

void TCustomGrid_ts::SetBorderStyle(TGridBorderStyle Value) {
    if (FBorderStyle != Value) {
        FBorderStyle = Value;
        if (HandleAllocated()) RecreateWnd();
    }
}

void TCustomGrid_ts::SetScrollBars(TScrollStyle Value) {
    if (FScrollBars != Value) {
        FScrollBars = Value;
        if (HandleAllocated()) RecreateWnd();
        UpdateScrollRange();
    }
}

void TCustomGrid_ts::SetUseRightToLeftAlignment(bool Value) {
    Value = Value && PaintsRightToLeft();
    if (FRightToLeft != Value) {
        FRightToLeft = Value;
        InvalidateGrid();
    }
}

// ---- stored extents ----

bool TCustomGrid_ts::ColWidthsStored(const TCustomGrid_ts* Ancestor) const {
    if (!FSaveCellExtents || FColWidths.empty()) return false;
    return !Ancestor || !CompareExtents(FColWidths, Ancestor->FColWidths);
}

bool TCustomGrid_ts::RowHeightsStored(const TCustomGrid_ts* Ancestor) const {
    if (!FSaveCellExtents || FRowHeights.empty()) return false;
    return !Ancestor || !CompareExtents(FRowHeights, Ancestor->FRowHeights);
}

std::vector<int> TCustomGrid_ts::WriteColWidths() const {
    std::vector<int> R;
    for (int I = 0; I < FColCount; ++I)
        R.push_back(ColWidths(I));
    return R;
}

std::vector<int> TCustomGrid_ts::WriteRowHeights() const {
    std::vector<int> R;
    for (int I = 0; I < FRowCount; ++I)
        R.push_back(RowHeights(I));
    return R;
}

void TCustomGrid_ts::ReadColWidths(const std::vector<int>& Values) {
    if (Values.size() > static_cast<std::size_t>(FColCount)) InvalidOp("Grid index out of range");
    for (std::size_t I = 0; I < Values.size(); ++I)
        SetColWidths(static_cast<int>(I), Values[I]);
}

void TCustomGrid_ts::ReadRowHeights(const std::vector<int>& Values) {
    if (Values.size() > static_cast<std::size_t>(FRowCount)) InvalidOp("Grid index out of range");
    for (std::size_t I = 0; I < Values.size(); ++I)
        SetRowHeights(static_cast<int>(I), Values[I]);
}

// ---- current cell and top-left ----

TGridRect TCustomGrid_ts::Selection() const {
    return NormalizedRect(FCurrent, FAnchor);
}

void TCustomGrid_ts::SetSelection(const TGridRect& Value) {
    TGridHold Hold(this);
    TGridRect Old = Selection();
    FAnchor = {Value.Left, Value.Top};
    FCurrent = {Value.Right, Value.Bottom};
    SelectionMoved(Old);
}

void TCustomGrid_ts::SetCol(int Value) {
    TGridHold Hold(this);
    if (FCurrent.X != Value) FocusCell(Value, FCurrent.Y, true);
}

void TCustomGrid_ts::SetRow(int Value) {
    TGridHold Hold(this);
    if (FCurrent.Y != Value) FocusCell(FCurrent.X, Value, true);
}

void TCustomGrid_ts::SetLeftCol(int Value) {
    TGridHold Hold(this);
    if (FTopLeft.X != Value) MoveTopLeft(Value, FTopLeft.Y);
}

void TCustomGrid_ts::SetTopRow(int Value) {
    TGridHold Hold(this);
    if (FTopLeft.Y != Value) MoveTopLeft(FTopLeft.X, Value);
}

int TCustomGrid_ts::VisibleColCount() {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    return D.Horz.LastFullVisibleCell - FTopLeft.X + 1;
}

int TCustomGrid_ts::VisibleRowCount() {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    return D.Vert.LastFullVisibleCell - FTopLeft.Y + 1;
}

void TCustomGrid_ts::MoveTopLeft(int ALeft, int ATop) {
    if (ALeft == FTopLeft.X && ATop == FTopLeft.Y) return;
    TGridCoord Old = FTopLeft;
    FTopLeft = {ALeft, ATop};
    TopLeftMoved(Old);
}

namespace {

// Pixels between two top-left lines, negative when the top-left moved forward. The sum
// stops once it passes Limit: past that the grid repaints whole and the exact figure is
// not needed, so a jump costs the visible area, not the lines jumped over.
int TopLeftDistance(const TGridAxisDrawInfo& A, int Old, int New, int Limit) {
    const int Lo = std::min(Old, New), Hi = std::max(Old, New);
    long long Sum = 0;
    for (int I = A.ShownFrom(Lo, 1); I < Hi && Sum <= Limit; I = A.ShownFrom(I + 1, 1))
        Sum += A.GetExtent(I) + A.EffectiveLineWidth;
    const int D = static_cast<int>(std::min<long long>(Sum, static_cast<long long>(Limit) + 1));
    return New > Old ? -D : D;
}

} // namespace

void TCustomGrid_ts::TopLeftMoved(const TGridCoord& OldTopLeft) {
    UpdateScrollPos();
    TGridDrawInfo D;
    CalcDrawInfo(D);
    const int AreaX = D.Horz.GridExtent - D.Horz.FixedBoundary;
    const int AreaY = D.Vert.GridExtent - D.Vert.FixedBoundary;
    int DX = TopLeftDistance(D.Horz, OldTopLeft.X, FTopLeft.X, AreaX);
    int DY = TopLeftDistance(D.Vert, OldTopLeft.Y, FTopLeft.Y, AreaY);
    if (std::abs(DX) > AreaX || std::abs(DY) > AreaY)
        InvalidateGrid();
    else
        ScrollDataInfo(DX, DY, D);
    TopLeftChanged();
}

void TCustomGrid_ts::ScrollData(int DX, int DY) {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    ScrollDataInfo(DX, DY, D);
}

void TCustomGrid_ts::ScrollArea(const fw::TRect& Area, int DX, int DY) {
    // The window's frame lies over the window's outer pixels (not the client's:
    // scroll bars may stand between) and stays where it is.
    const int Frame = FrameWidth();
    const fw::TPoint At = ClientOffset();
    const fw::TRect Inside{Frame - At.X, Frame - At.Y, Width() - Frame - At.X, Height() - Frame - At.Y};
    fw::ScrollWindowArea(this, IntersectRect(Area, Inside), DX, DY);
}

void TCustomGrid_ts::ScrollDataInfo(int DX, int DY, TGridDrawInfo& DrawInfo) {
    if (!HandleAllocated()) return;
    const int W = ClientWidth(), H = ClientHeight();
    const int FixedX = DrawInfo.Horz.FixedBoundary, FixedY = DrawInfo.Vert.FixedBoundary;
    // Areas and moves are mirrored under right-to-left alignment, as the cells are shown.
    if (FRightToLeft) DX = -DX;
    if (DX != 0 && DY == 0) {
        ScrollArea(Mirrored(fw::TRect{FixedX, 0, W, H}), DX, 0);
    } else if (DY != 0 && DX == 0) {
        ScrollArea(fw::TRect{0, FixedY, W, H}, 0, DY);
    } else {
        // The fixed rows move sideways only, the fixed columns up and down only.
        ScrollArea(Mirrored(fw::TRect{FixedX, 0, W, FixedY}), DX, 0);
        ScrollArea(Mirrored(fw::TRect{0, FixedY, FixedX, H}), 0, DY);
        ScrollArea(Mirrored(fw::TRect{FixedX, FixedY, W, H}), DX, DY);
    }
    if (FOptions & goRowSelect) InvalidateGridRect(Selection());
}

void TCustomGrid_ts::TopLeftChanged() {
    fw::CallHandler(OnTopLeftChanged, this);
}

void TCustomGrid_ts::ColWidthsChanged() {
    UpdateScrollRange();
    UpdateEdit();
}

void TCustomGrid_ts::RowHeightsChanged() {
    UpdateScrollRange();
    UpdateEdit();
}

void TCustomGrid_ts::SizeChanged(int, int) {}
void TCustomGrid_ts::ColumnMoved(int, int) {}
void TCustomGrid_ts::RowMoved(int, int) {}
bool TCustomGrid_ts::SelectCell(int, int) {
    return true;
}
bool TCustomGrid_ts::CanGridAcceptKey(std::uint16_t, fw::TShiftState) {
    return true;
}
bool TCustomGrid_ts::BeginColumnDrag(int&, int&, fw::TPoint) {
    return true;
}
bool TCustomGrid_ts::BeginRowDrag(int&, int&, fw::TPoint) {
    return true;
}
bool TCustomGrid_ts::CheckColumnDrag(int&, int&, fw::TPoint) {
    return true;
}
bool TCustomGrid_ts::CheckRowDrag(int&, int&, fw::TPoint) {
    return true;
}
bool TCustomGrid_ts::EndColumnDrag(int&, int&, fw::TPoint) {
    return true;
}
bool TCustomGrid_ts::EndRowDrag(int&, int&, fw::TPoint) {
    return true;
}

void TCustomGrid_ts::DrawCell(int ACol, int ARow, const fw::TRect& ARect, TGridDrawState AState) {
    fw::CallHandler(OnDrawCell, ACol, ARow, ARect, AState);
}

// ---- geometry ----

int TCustomGrid_ts::ShownLineFrom(bool Rows, int Index, int Dir, int LineWidth) {
    const int Count = Rows ? FRowCount : FColCount;
    if (Index < 0 || Index >= Count) return std::clamp(Index, -1, Count);
    const TExtentArray& E = Rows ? FRowHeights : FColWidths;
    if (LineWidth != 0 || E.empty()) {
        // Lines of no pixels are rare here: a plain walk.
        while (Index >= 0 && Index < Count &&
               (Rows ? RowHeights(Index) : ColWidths(Index)) + LineWidth == 0)
            Index += Dir;
        return std::clamp(Index, -1, Count);
    }
    TGridZeroRuns& Runs = FZeroRuns[Rows ? 1 : 0];
    if (!Runs.Valid()) Runs.Build(E);
    int First = 0, Last = 0;
    if (!Runs.RunAt(Index, First, Last)) return Index;
    return Dir > 0 ? std::min(Last + 1, Count) : First - 1;
}

void TCustomGrid_ts::CalcFixedInfo(TGridDrawInfo& D) {
    auto Fixed = [this](TGridAxisDrawInfo& A, bool Rows, int LineWidth, int FixedCount,
                        int FirstCell, int Count, std::function<int(int)> Extent) {
        A.EffectiveLineWidth = LineWidth;
        A.FixedBoundary = 0;
        for (int I = 0; I < FixedCount; ++I)
            A.FixedBoundary += Extent(I) + LineWidth;
        A.FixedCellCount = FixedCount;
        A.FirstGridCell = FirstCell;
        A.GridCellCount = Count;
        A.GetExtent = std::move(Extent);
        A.ShownFrom = [this, Rows, LineWidth](int Index, int Dir) {
            return ShownLineFrom(Rows, Index, Dir, LineWidth);
        };
    };
    int HLine = (FOptions & (goFixedVertLine | goVertLine)) ? FGridLineWidth : 0;
    int VLine = (FOptions & (goFixedHorzLine | goHorzLine)) ? FGridLineWidth : 0;
    Fixed(D.Horz, false, HLine, FFixedCols, FTopLeft.X, FColCount,
          [this](int I) { return ColWidths(I); });
    Fixed(D.Vert, true, VLine, FFixedRows, FTopLeft.Y, FRowCount,
          [this](int I) { return RowHeights(I); });
}

void TCustomGrid_ts::CalcDrawInfo(TGridDrawInfo& D) {
    CalcDrawInfoXY(D, ClientWidth(), ClientHeight());
}

void TCustomGrid_ts::CalcDrawInfoXY(TGridDrawInfo& D, int UseWidth, int UseHeight) {
    CalcFixedInfo(D);
    auto Axis = [](TGridAxisDrawInfo& A, int Extent) {
        A.GridExtent = Extent;
        A.GridBoundary = A.FixedBoundary;
        A.FullVisBoundary = A.FixedBoundary;
        A.LastFullVisibleCell = A.FirstGridCell;
        int Last = A.FirstGridCell;
        for (int I = A.ShownFrom(A.FirstGridCell, 1); I < A.GridCellCount;
             I = A.ShownFrom(I + 1, 1)) {
            A.GridBoundary += A.GetExtent(I) + A.EffectiveLineWidth;
            if (A.GridExtent + A.EffectiveLineWidth < A.GridBoundary) {
                A.GridBoundary = A.GridExtent;
                // The lines passed over before this one take no pixels: fully visible.
                A.LastFullVisibleCell = std::max(Last, I - 1);
                return;
            }
            Last = I;
            A.LastFullVisibleCell = I;
            A.FullVisBoundary = A.GridBoundary;
        }
        // Lines after the last that take no pixels are fully visible too.
        if (A.GridCellCount > 0) A.LastFullVisibleCell = std::max(Last, A.GridCellCount - 1);
    };
    Axis(D.Horz, UseWidth);
    Axis(D.Vert, UseHeight);
}

TGridCoord TCustomGrid_ts::CalcMaxTopLeft(const TGridCoord& Coord, const TGridDrawInfo& D) {
    auto Max = [](const TGridAxisDrawInfo& A, int Last) {
        int Space = A.GridExtent + A.EffectiveLineWidth;
        int Result = Last;
        int I = Last;
        bool Any = false;
        while (I >= A.FixedCellCount) {
            int E = A.GetExtent(I);
            if (E > 0) {
                Space -= E + A.EffectiveLineWidth;
                if (Space < A.FixedBoundary) break;
                Any = true;
                Result = I;
                --I;
                continue;
            }
            // This line and the run before it that takes no pixels are passed whole.
            const int Before = A.ShownFrom(I - 1, -1);
            Result = std::max(Before + 1, A.FixedCellCount);
            I = std::min(Before, I - 1);
        }
        if (!Any && A.GetExtent(Last) <= 0) return std::max(I, A.FixedCellCount);
        if (!Any) return Last;
        return Result;
    };
    return {Max(D.Horz, Coord.X), Max(D.Vert, Coord.Y)};
}

TGridCoord TCustomGrid_ts::CalcCoordFromPoint(int X, int Y, const TGridDrawInfo& D) {
    auto Calc = [](const TGridAxisDrawInfo& A, int N) {
        int Start = 0;
        int Stop = A.GridCellCount - 1;
        int Line = 0;
        if (N >= A.FixedBoundary) {
            Start = A.FirstGridCell;
            Line = A.FixedBoundary;
        }
        for (int I = A.ShownFrom(Start, 1); I <= Stop; I = A.ShownFrom(I + 1, 1)) {
            Line += A.GetExtent(I) + A.EffectiveLineWidth;
            if (N < Line) return I;
        }
        return -1;
    };
    if (FRightToLeft) X = ClientWidth() - X;
    return {Calc(D.Horz, X), Calc(D.Vert, Y)};
}

fw::TRect TCustomGrid_ts::GridRectToScreenRect(TGridRect G, bool IncludeLine) {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    fw::TRect Empty{0, 0, 0, 0};
    if (G.Left > G.Right || G.Top > G.Bottom) return Empty;
    auto Pos = [](const TGridAxisDrawInfo& A, int N) -> int {
        int Start = 0, Line = 0;
        if (N >= A.FixedCellCount) {
            Start = A.FirstGridCell;
            Line = A.FixedBoundary;
            if (N < A.FirstGridCell) return -1;
        }
        for (int I = A.ShownFrom(Start, 1); I < N; I = A.ShownFrom(I + 1, 1)) {
            Line += A.GetExtent(I) + A.EffectiveLineWidth;
            if (Line > A.GridBoundary) return -1;
        }
        return Line;
    };
    auto AxisRange = [&](const TGridAxisDrawInfo& A, int S, int E, int& Lo, int& Hi) {
        if (S > A.LastFullVisibleCell + 1) return false;
        if (S < A.FixedCellCount && E >= A.FixedCellCount) {
            if (E < A.FirstGridCell && S < A.FixedCellCount) {
                E = A.FixedCellCount - 1;
            }
        }
        if (S >= A.FixedCellCount && S < A.FirstGridCell) {
            S = A.FirstGridCell;
            if (E < S) return false;
        }
        if (E > A.LastFullVisibleCell) {
            E = A.LastFullVisibleCell + 1;
            if (E >= A.GridCellCount || Pos(A, E) < 0)
                E = std::min(A.LastFullVisibleCell + 1, A.GridCellCount - 1);
        }
        Lo = Pos(A, S);
        if (Lo < 0) Lo = 0;
        int EP = Pos(A, E);
        Hi = EP >= 0 ? EP + A.GetExtent(E) : Lo + A.GetExtent(S);
        Hi = std::min(Hi, A.GridExtent);
        if (IncludeLine) Hi += A.EffectiveLineWidth;
        return true;
    };
    fw::TRect R;
    if (!AxisRange(D.Horz, G.Left, G.Right, R.Left, R.Right) ||
        !AxisRange(D.Vert, G.Top, G.Bottom, R.Top, R.Bottom))
        return Empty;
    return Mirrored(R);
}

fw::TRect TCustomGrid_ts::BoxRect(int ALeft, int ATop, int ARight, int ABottom) {
    return GridRectToScreenRect(NormalizedRect({ALeft, ATop}, {ARight, ABottom}), false);
}

fw::TRect TCustomGrid_ts::CellRect(int ACol, int ARow) {
    return BoxRect(ACol, ARow, ACol, ARow);
}

TGridCoord TCustomGrid_ts::MouseCoord(int X, int Y) {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    TGridCoord C = CalcCoordFromPoint(X, Y, D);
    if (C.X < 0 || C.Y < 0) return {-1, -1};
    return C;
}

void TCustomGrid_ts::InvalidateScreenRect(const fw::TRect& R) {
    if (!HandleAllocated() || R.Right <= R.Left || R.Bottom <= R.Top) return;
    fw::TControl::InvalidateRect(R);
}

void TCustomGrid_ts::InvalidateCell(int ACol, int ARow) {
    InvalidateGridRect(TGridRect{ACol, ARow, ACol, ARow});
}

void TCustomGrid_ts::InvalidateGridRect(const TGridRect& R) {
    if (!HandleAllocated()) return;
    InvalidateScreenRect(GridRectToScreenRect(R, true));
}

void TCustomGrid_ts::InvalidateGrid() {
    if (HandleAllocated()) Invalidate();
}

void TCustomGrid_ts::InvalidateCol(int ACol) {
    InvalidateGridRect(TGridRect{ACol, 0, ACol, FRowCount - 1});
}

void TCustomGrid_ts::InvalidateRow(int ARow) {
    InvalidateGridRect(TGridRect{0, ARow, FColCount - 1, ARow});
}

// ---- scrolling ----

void TCustomGrid_ts::UpdateScrollPos() {
    if (FScrollBars == ssNone) return;
    TGridDrawInfo D;
    CalcDrawInfo(D);
    TGridCoord MaxTL = CalcMaxTopLeft({FColCount - 1, FRowCount - 1}, D);
    if (fw::HasHorzScrollBar(FScrollBars)) {
        int Pos;
        if (FColCount == 1) {
            int Free = ClientWidth() - D.Horz.FixedBoundary;
            if (FColOffset > 0 && Free > ColWidths(0) - FColOffset) {
                ModifyPixelScrollBar(SB_THUMBPOSITION, std::max(0, ColWidths(0) - Free));
                return;
            }
            Pos = FColOffset;
        } else {
            long long Den = MaxTL.X - FFixedCols;
            Pos = Den > 0 ? static_cast<int>(static_cast<long long>(FTopLeft.X - FFixedCols) *
                                             GridScrollRange / Den)
                          : 0;
        }
        if (FRightToLeft && FColCount > 1) Pos = GridScrollRange - Pos;
        FHorzPos = Pos;
    }
    if (fw::HasVertScrollBar(FScrollBars)) {
        long long Den = MaxTL.Y - FFixedRows;
        FVertPos = Den > 0 ? static_cast<int>(static_cast<long long>(FTopLeft.Y - FFixedRows) *
                                              GridScrollRange / Den)
                           : 0;
    }
    SyncWindowScrollBars(false);
}

void TCustomGrid_ts::UpdateScrollRange() {
    if (FScrollBars == ssNone) {
        SyncWindowScrollBars(true);
        return;
    }
    TGridDrawInfo D;
    CalcDrawInfo(D);
    TGridCoord MaxTL = CalcMaxTopLeft({FColCount - 1, FRowCount - 1}, D);
    TGridCoord Old = FTopLeft;
    if (fw::HasHorzScrollBar(FScrollBars)) {
        if (FColCount == 1)
            FHorzMax = std::max(0, ColWidths(0) - ClientWidth());
        else
            FHorzMax = MaxTL.X > FFixedCols ? GridScrollRange : 0;
        if (FTopLeft.X > MaxTL.X) FTopLeft.X = MaxTL.X;
    }
    if (fw::HasVertScrollBar(FScrollBars)) {
        FVertMax = MaxTL.Y > FFixedRows ? GridScrollRange : 0;
        if (FTopLeft.Y > MaxTL.Y) FTopLeft.Y = MaxTL.Y;
    }
    UpdateScrollPos();
    if (!(FTopLeft == Old)) TopLeftMoved(Old);
    // Bars shown or hidden change the client: WM_SIZE brings the grid back here.
    SyncWindowScrollBars(true);
}

void TCustomGrid_ts::SyncWindowScrollBars(bool Ranges) {
    if (!HandleAllocated() || !Showing()) return;
    const fw::HWND Wnd = Handle();
    const bool Horz = fw::HasHorzScrollBar(FScrollBars), Vert = fw::HasVertScrollBar(FScrollBars);
    if (Ranges) {
        fw::SetScrollRange(Wnd, SB_HORZ, 0, Horz ? FHorzMax : 0, true);
        fw::SetScrollRange(Wnd, SB_VERT, 0, Vert ? FVertMax : 0, true);
    }
    if (Horz) fw::SetScrollPos(Wnd, SB_HORZ, FHorzPos, true);
    if (Vert) fw::SetScrollPos(Wnd, SB_VERT, FVertPos, true);
}

namespace {

// How far Page Up moves: to the smallest top-left from which line Old is still fully
// visible, at least one line. The span grows line by line; runs of lines that take no
// pixels are passed whole.
int PageUpStep(const TGridAxisDrawInfo& A, int Old, int Fixed) {
    const long long Room = static_cast<long long>(A.GridExtent) - A.FixedBoundary;
    long long Span = A.GetExtent(Old) + A.EffectiveLineWidth;
    int I = Old;
    while (I > Fixed) {
        const int P = A.ShownFrom(I - 1, -1);
        if (P < Fixed) {
            I = Fixed;
            break;
        }
        const long long E = A.GetExtent(P) + A.EffectiveLineWidth;
        if (Span + E > Room + A.EffectiveLineWidth) {
            I = P + 1;
            break;
        }
        Span += E;
        I = P;
    }
    return std::max(1, Old - I);
}

// Line and page steps repeat while they land on a hidden line, inside the bounds, and
// still move.
int PassHiddenLines(const TGridAxisDrawInfo& A, int New, int Old, int Dir, int Fixed, int Largest) {
    while (New >= Fixed && New <= Largest && New < A.GridCellCount && New != Old) {
        const int Next = A.ShownFrom(New, Dir);
        if (Next != New) {
            New = Next;
            continue;
        }
        if (A.GetExtent(New) > 0) break;
        New += Dir;
    }
    return New;
}

} // namespace

void TCustomGrid_ts::ModifyScrollBar(int ScrollBar, int ScrollCode, int Pos, bool UseRightToLeft) {
    TGridHold Hold(this);
    int Factor = (UseRightToLeft && FRightToLeft && ScrollBar == SB_HORZ) ? -1 : 1;
    if (Visible() && CanFocus() && TabStop() && !Focused() && HandleAllocated()) SetFocus();
    if (ScrollBar == SB_HORZ && FColCount == 1) {
        ModifyPixelScrollBar(ScrollCode, Pos);
        return;
    }
    TGridDrawInfo D;
    CalcDrawInfo(D);
    TGridCoord MaxTL = CalcMaxTopLeft({FColCount - 1, FRowCount - 1}, D);
    bool Horz = ScrollBar == SB_HORZ;
    const TGridAxisDrawInfo& A = Horz ? D.Horz : D.Vert;
    int Fixed = Horz ? FFixedCols : FFixedRows;
    int Largest = Horz ? MaxTL.X : MaxTL.Y;
    int Old = Horz ? FTopLeft.X : FTopLeft.Y;
    int New = Old;
    int Step = 0;
    switch (ScrollCode) {
    case SB_LINEUP:
        Step = -Factor;
        break;
    case SB_LINEDOWN:
        Step = Factor;
        break;
    case SB_PAGEUP:
        Step = -Factor * PageUpStep(A, Old, Fixed);
        break;
    case SB_PAGEDOWN:
        Step = Factor * std::max(1, A.LastFullVisibleCell - Old);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        if (ScrollCode == SB_THUMBTRACK && !(FOptions & goThumbTracking)) return;
        long long Amount = static_cast<long long>(Pos) * (Largest - Fixed) / GridScrollRange;
        New = (Factor < 0) ? Largest - static_cast<int>(Amount) : Fixed + static_cast<int>(Amount);
        break;
    }
    case SB_TOP:
        New = Fixed;
        break;
    case SB_BOTTOM:
        New = Largest;
        break;
    default:
        return;
    }
    if (Step != 0) New = PassHiddenLines(A, Old + Step, Old, Step > 0 ? 1 : -1, Fixed, Largest);
    New = std::clamp(New, Fixed, std::max(Fixed, Largest));
    if (New != Old) {
        if (Horz)
            MoveTopLeft(New, FTopLeft.Y);
        else
            MoveTopLeft(FTopLeft.X, New);
    }
}

void TCustomGrid_ts::ModifyPixelScrollBar(int Code, int Pos) {
    TGridDrawInfo D;
    CalcDrawInfo(D);
    int Factor = FRightToLeft ? -1 : 1;
    int Free = ClientWidth() - D.Horz.FixedBoundary;
    int Width = ColWidths(0);
    int Max = std::max(0, Width - Free);
    int Offset = FColOffset;
    switch (Code) {
    case SB_LINEUP:
        Offset -= Canvas()->TextWidth("0") * Factor;
        break;
    case SB_LINEDOWN:
        Offset += Canvas()->TextWidth("0") * Factor;
        break;
    case SB_PAGEUP:
        Offset -= Free * Factor;
        break;
    case SB_PAGEDOWN:
        Offset += Free * Factor;
        break;
    case SB_THUMBPOSITION:
        Offset = Pos;
        break;
    case SB_THUMBTRACK:
        if (FOptions & goThumbTracking) Offset = Pos;
        break;
    case SB_TOP:
        Offset = 0;
        break;
    case SB_BOTTOM:
        Offset = Max;
        break;
    default:
        break;
    }
    Offset = std::clamp(Offset, 0, Max);
    if (Offset != FColOffset) {
        FColOffset = Offset;
        InvalidateGrid();
    }
    if (fw::HasHorzScrollBar(FScrollBars)) FHorzPos = FColOffset;
    SyncWindowScrollBars(false);
}

// ---- lines ----

void TCustomGrid_ts::ChangeSize(int NewColCount, int NewRowCount) {
    const int OldCols = FColCount, OldRows = FRowCount;
    const int OldFixedCols = FFixedCols, OldFixedRows = FFixedRows;
    const TGridCoord OldTL = FTopLeft;
    // What a shrink cuts off the extents, for a refusal to put back: the cost of the
    // lines that go, nothing for a grid that grows.
    const TExtentArray CutWidths = ExtentsFrom(FColWidths, NewColCount);
    const TExtentArray CutTabStops = ExtentsFrom(FTabStops, NewColCount);
    const TExtentArray CutHeights = ExtentsFrom(FRowHeights, NewRowCount);
    // The counts change whole: a handler's exception on the way (a move of the
    // current cell, the scroll bars) waits for the last step. Only the
    // descendant's own refusal (SizeChanged) puts the old counts back, with the
    // fixed counts and the sizes of the lines a shrink cut.
    TWholeSteps Steps;
    auto Apply = [&](int C, int R, bool Back) {
        ++FStructureStamp;
        FColCount = C;
        FRowCount = R;
        if (FFixedCols > C - 1) FFixedCols = C - 1;
        if (FFixedRows > R - 1) FFixedRows = R - 1;
        ResizeExtents(FColWidths, C, FDefaultColWidth, Back ? CutWidths : TExtentArray{});
        ResizeExtents(FTabStops, C, 1, Back ? CutTabStops : TExtentArray{});
        ResizeExtents(FRowHeights, R, FDefaultRowHeight, Back ? CutHeights : TExtentArray{});
        ExtentsResized(false, OldCols, C);
        ExtentsResized(true, OldRows, R);
        const TGridCoord NewCur{std::min(FCurrent.X, C - 1), std::min(FCurrent.Y, R - 1)};
        if (!(NewCur == FCurrent)) Steps.Take([&] { MoveCurrent(NewCur.X, NewCur.Y, true, true); });
        if (FCurrent.X >= C || FCurrent.Y >= R) FCurrent = NewCur;
        const TGridCoord NewAnchor{std::min(FAnchor.X, C - 1), std::min(FAnchor.Y, R - 1)};
        if (!(NewAnchor == FAnchor)) Steps.Take([&] { MoveAnchor(NewAnchor); });
        if (FAnchor.X >= C || FAnchor.Y >= R) FAnchor = NewAnchor;
        if (FTopLeft.X > C - 1 || FTopLeft.Y > R - 1 || FTopLeft.X < FFixedCols ||
            FTopLeft.Y < FFixedRows)
            FTopLeft = {std::clamp(FTopLeft.X, FFixedCols, C - 1),
                        std::clamp(FTopLeft.Y, FFixedRows, R - 1)};
        InvalidateGrid();
        Steps.Take([&] { UpdateScrollRange(); });
    };
    try {
        Apply(NewColCount, NewRowCount, false);
        SizeChanged(OldCols, OldRows);
    } catch (...) {
        FColCount = OldCols;
        FRowCount = OldRows;
        FFixedCols = OldFixedCols;
        FFixedRows = OldFixedRows;
        FTopLeft = OldTL;
        Apply(OldCols, OldRows, true);
        InvalidateGrid();
        throw;
    }
    Steps.Finish();
}

void TCustomGrid_ts::AdjustSize(int Index, int Amount, bool Rows) {
    TGridHold Hold(this);
    int Count = Rows ? FRowCount : FColCount;
    int NewCount = Count + Amount;
    if (Index > NewCount || Index < 0 || NewCount < 0)
        InvalidOp("Too many rows or columns deleted");
    TExtentArray& E = Rows ? FRowHeights : FColWidths;
    int Default = Rows ? FDefaultRowHeight : FDefaultColWidth;
    if (!E.empty()) ModifyExtents(E, Index, Amount, Default);
    if (!Rows && !FTabStops.empty()) ModifyExtents(FTabStops, Index, Amount, 1);
    ExtentsChanged(Rows);
    int OldCols = FColCount, OldRows = FRowCount;
    ++FStructureStamp;
    if (Rows)
        FRowCount = NewCount;
    else
        FColCount = NewCount;
    auto Shift = [&](int& C) {
        if (C >= Index) {
            if (Amount < 0 && C < Index - Amount)
                C = Index;
            else
                C += Amount;
        }
    };
    TGridCoord OldCur = FCurrent;
    Shift(Rows ? FCurrent.Y : FCurrent.X);
    Shift(Rows ? FAnchor.Y : FAnchor.X);
    int Last = NewCount - 1;
    FCurrent = {std::clamp(FCurrent.X, 0, std::max(0, FColCount - 1)),
                std::clamp(FCurrent.Y, 0, std::max(0, FRowCount - 1))};
    FAnchor = {std::clamp(FAnchor.X, 0, std::max(0, FColCount - 1)),
               std::clamp(FAnchor.Y, 0, std::max(0, FRowCount - 1))};
    (void)Last;
    ClampTopLeft();
    InvalidateGrid();
    SizeChanged(OldCols, OldRows);
    if (!(OldCur == FCurrent) && FColCount > 0 && FRowCount > 0)
        MoveCurrent(FCurrent.X, FCurrent.Y, true, true);
}

void TCustomGrid_ts::ClampTopLeft() {
    TGridHold Hold(this);
    TGridDrawInfo D;
    CalcDrawInfo(D);
    const TGridCoord MaxTL = CalcMaxTopLeft({FColCount - 1, FRowCount - 1}, D);
    const TGridCoord Old = FTopLeft;
    FTopLeft.X = std::clamp(FTopLeft.X, FFixedCols, std::max(FFixedCols, MaxTL.X));
    FTopLeft.Y = std::clamp(FTopLeft.Y, FFixedRows, std::max(FFixedRows, MaxTL.Y));
    if (!(FTopLeft == Old)) TopLeftMoved(Old);
}

void TCustomGrid_ts::RemoveLines(bool Rows, const std::vector<int>& Indexes) {
    TGridHold Hold(this);
    if (Indexes.empty()) return;
    ++FStructureStamp;
    const int Count = Rows ? FRowCount : FColCount;
    for (std::size_t I = 0; I < Indexes.size(); ++I)
        if (Indexes[I] < 0 || Indexes[I] >= Count || (I > 0 && Indexes[I] <= Indexes[I - 1]))
            InvalidOp("Grid index out of range");
    const int NewCount = Count - static_cast<int>(Indexes.size());
    if (NewCount < 1) InvalidOp("Too many rows or columns deleted");
    // The entries close up from the first line that goes: lines cut at the end cost
    // only themselves.
    auto Filter = [&](TExtentArray& E) {
        if (E.empty()) return;
        std::size_t Out = static_cast<std::size_t>(Indexes.front()) + 1, R = 0;
        for (int I = Indexes.front(); I < Count; ++I) {
            if (R < Indexes.size() && Indexes[R] == I) {
                ++R;
                continue;
            }
            E[Out++] = E[static_cast<std::size_t>(I) + 1];
        }
        E.resize(static_cast<std::size_t>(NewCount) + 1);
        E[0] = NewCount;
    };
    // A coordinate goes to the first line that stays at or after it.
    auto Shift = [&](int C) {
        const auto Below = std::lower_bound(Indexes.begin(), Indexes.end(), C) - Indexes.begin();
        return std::clamp(C - static_cast<int>(Below), 0, NewCount - 1);
    };
    const int OldCols = FColCount, OldRows = FRowCount;
    if (Indexes.front() == NewCount)
        ExtentsResized(Rows, Count, NewCount);
    else
        ExtentsChanged(Rows);
    Filter(Rows ? FRowHeights : FColWidths);
    if (!Rows) Filter(FTabStops);
    int TGridCoord::*Axis = Rows ? &TGridCoord::Y : &TGridCoord::X;
    for (TGridCoord* C : {&FCurrent, &FAnchor, &FTopLeft})
        C->*Axis = Shift(C->*Axis);
    (Rows ? FRowCount : FColCount) = NewCount;
    int& Fixed = Rows ? FFixedRows : FFixedCols;
    Fixed = std::min(Fixed, NewCount - 1);
    // The lines are gone: what follows tells the rest, whole whatever a handler throws.
    TWholeSteps Steps;
    Steps.Take([&] { ClampTopLeft(); });
    InvalidateGrid();
    Steps.Take([&] { UpdateScrollRange(); });
    Steps.Take([&] { SizeChanged(OldCols, OldRows); });
    Steps.Finish();
}

void TCustomGrid_ts::ReorderLines(bool Rows, const std::vector<int>& OldIndexOf) {
    TGridHold Hold(this);
    const int Count = Rows ? FRowCount : FColCount;
    if (static_cast<int>(OldIndexOf.size()) != Count) InvalidOp("Grid index out of range");
    ++FStructureStamp;
    std::vector<int> NewIndexOf(OldIndexOf.size(), -1);
    for (int I = 0; I < Count; ++I) {
        const int O = OldIndexOf[static_cast<std::size_t>(I)];
        if (O < 0 || O >= Count || NewIndexOf[static_cast<std::size_t>(O)] >= 0)
            InvalidOp("Grid index out of range");
        NewIndexOf[static_cast<std::size_t>(O)] = I;
    }
    auto Permute = [&](TExtentArray& E) {
        if (E.empty()) return;
        const TExtentArray Old = E;
        for (int I = 0; I < Count; ++I)
            E[static_cast<std::size_t>(I) + 1] =
                Old[static_cast<std::size_t>(OldIndexOf[static_cast<std::size_t>(I)]) + 1];
    };
    auto Follow = [&](int& C) { C = NewIndexOf[static_cast<std::size_t>(C)]; };
    ExtentsChanged(Rows);
    if (Rows) {
        Permute(FRowHeights);
        Follow(FCurrent.Y);
        Follow(FAnchor.Y);
    } else {
        Permute(FColWidths);
        Permute(FTabStops);
        Follow(FCurrent.X);
        Follow(FAnchor.X);
    }
    InvalidateGrid();
    if (Rows ? !FRowHeights.empty() : !FColWidths.empty()) {
        if (Rows)
            RowHeightsChanged();
        else
            ColWidthsChanged();
    }
}

void TCustomGrid_ts::ExtentsResized(bool Rows, int Old, int New) {
    TGridZeroRuns& Runs = FZeroRuns[Rows ? 1 : 0];
    const TExtentArray& E = Rows ? FRowHeights : FColWidths;
    if (New < Old)
        Runs.Truncate(New);
    else if (New > Old)
        Runs.RangeChanged(E, Old, New - 1);
}

void TCustomGrid_ts::MoveColumn(int FromIndex, int ToIndex) {
    TGridHold Hold(this);
    if (FromIndex == ToIndex) return;
    ++FStructureStamp;
    if (!FColWidths.empty()) MoveExtent(FColWidths, FromIndex, ToIndex);
    if (!FTabStops.empty()) MoveExtent(FTabStops, FromIndex, ToIndex);
    FZeroRuns[0].RangeChanged(FColWidths, std::min(FromIndex, ToIndex),
                              std::max(FromIndex, ToIndex));
    FCurrent.X = MoveAdjust(FCurrent.X, FromIndex, ToIndex);
    FAnchor.X = MoveAdjust(FAnchor.X, FromIndex, ToIndex);
    FTopLeft.X = MoveAdjust(FTopLeft.X, FromIndex, ToIndex);
    InvalidateGridRect(
        TGridRect{std::min(FromIndex, ToIndex), 0, std::max(FromIndex, ToIndex), FRowCount - 1});
    ColumnMoved(FromIndex, ToIndex);
    if (!FColWidths.empty()) ColWidthsChanged();
    UpdateEdit();
}

void TCustomGrid_ts::MoveRow(int FromIndex, int ToIndex) {
    TGridHold Hold(this);
    if (FromIndex == ToIndex) return;
    ++FStructureStamp;
    if (!FRowHeights.empty()) MoveExtent(FRowHeights, FromIndex, ToIndex);
    FZeroRuns[1].RangeChanged(FRowHeights, std::min(FromIndex, ToIndex),
                              std::max(FromIndex, ToIndex));
    FCurrent.Y = MoveAdjust(FCurrent.Y, FromIndex, ToIndex);
    FAnchor.Y = MoveAdjust(FAnchor.Y, FromIndex, ToIndex);
    FTopLeft.Y = MoveAdjust(FTopLeft.Y, FromIndex, ToIndex);
    RowMoved(FromIndex, ToIndex);
    if (!FRowHeights.empty()) RowHeightsChanged();
    UpdateEdit();
}

void TCustomGrid_ts::DeleteColumn(int ACol) {
    TGridHold Hold(this);
    if (ACol < 0 || ACol >= FColCount) InvalidOp("Grid index out of range");
    MoveColumn(ACol, FColCount - 1);
    SetColCount(FColCount - 1);
}

void TCustomGrid_ts::DeleteRow(int ARow) {
    TGridHold Hold(this);
    if (ARow < 0 || ARow >= FRowCount) InvalidOp("Grid index out of range");
    MoveRow(ARow, FRowCount - 1);
    SetRowCount(FRowCount - 1);
}

// ---- current cell ----

void TCustomGrid_ts::SelectionMoved(const TGridRect& OldSel) {
    if (!HandleAllocated()) return;
    fw::TRect A = GridRectToScreenRect(OldSel, true);
    fw::TRect B = GridRectToScreenRect(Selection(), true);
    // Both whole: cheaper than the exclusive-or pieces and paints the same pixels.
    InvalidateScreenRect(A);
    InvalidateScreenRect(B);
}

void TCustomGrid_ts::MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show) {
    TGridHold Hold(this);
    if (ACol < 0 || ARow < 0 || ACol >= FColCount || ARow >= FRowCount)
        InvalidOp("Grid index out of range");
    const std::uint32_t Stamp = StructureStamp();
    if (!SelectCell(ACol, ARow)) return;
    // The checks ran handlers that changed the lines: the cell asked for is gone
    // or holds other data, and the current cell stays where the change left it.
    if (StructureStamp() != Stamp) return;
    TGridRect OldSel = Selection();
    TGridCoord Old = FCurrent;
    FCurrent = {ACol, ARow};
    if (!(FOptions & goAlwaysShowEditor)) HideEditor();
    if (MoveAnchor || !(FOptions & goRangeSelect)) {
        FAnchor = FCurrent;
        if (FOptions & goRowSelect) FAnchor.X = FColCount - 1;
    }
    if (FOptions & goRowSelect) FCurrent.X = FFixedCols;
    if (Show) ClampInView(FCurrent);
    SelectionMoved(OldSel);
    InvalidateCell(Old.X, Old.Y);
    InvalidateCell(ACol, ARow);
}

void TCustomGrid_ts::FocusCell(int ACol, int ARow, bool MoveAnchor) {
    TGridHold Hold(this);
    MoveCurrent(ACol, ARow, MoveAnchor, true);
    UpdateEdit();
    Click();
}

void TCustomGrid_ts::MoveAnchor(const TGridCoord& NewAnchor) {
    TGridHold Hold(this);
    if ((FOptions & goRangeSelect) && !(FOptions & goEditing)) {
        TGridRect OldSel = Selection();
        FAnchor = NewAnchor;
        if (FOptions & goRowSelect) FAnchor.X = FColCount - 1;
        ClampInView(NewAnchor);
        SelectionMoved(OldSel);
    } else {
        MoveCurrent(NewAnchor.X, NewAnchor.Y, true, true);
    }
}

void TCustomGrid_ts::ClampInView(const TGridCoord& Coord) {
    TGridHold Hold(this);
    if (!HandleAllocated()) return;
    TGridDrawInfo D;
    CalcDrawInfo(D);
    if (Coord.X > D.Horz.LastFullVisibleCell || Coord.Y > D.Vert.LastFullVisibleCell ||
        Coord.X < FTopLeft.X || Coord.Y < FTopLeft.Y) {
        TGridCoord Old = FTopLeft;
        TGridCoord MaxTL = CalcMaxTopLeft(Coord, D);
        if (Coord.X < FTopLeft.X)
            FTopLeft.X = std::max(Coord.X, FFixedCols);
        else if (Coord.X > D.Horz.LastFullVisibleCell)
            FTopLeft.X = std::max(MaxTL.X, FFixedCols);
        if (Coord.Y < FTopLeft.Y)
            FTopLeft.Y = std::max(Coord.Y, FFixedRows);
        else if (Coord.Y > D.Vert.LastFullVisibleCell)
            FTopLeft.Y = std::max(MaxTL.Y, FFixedRows);
        if (!(Old == FTopLeft)) TopLeftMoved(Old);
    }
}

} // namespace vel
