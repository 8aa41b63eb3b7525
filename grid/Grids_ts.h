#pragma once
// The base grid: cell counts, fixed lines, extents, the current cell and
// anchor, scrolling, hit testing, painting of cell backgrounds and lines,
// mouse selection with timed scrolling, and line sizing and moving.
//
// A public entry whose steps run handlers (the top-left's, a descendant's
// notifications, the window's) holds the grid (TGridHold): a handler that
// frees it has it freed once the entry is done.
#include "Controls.h"
#include "Messages.h"
#include "ScopeExit.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vel {

class EInvalidGridOperation : public std::runtime_error {
public:
    explicit EInvalidGridOperation(const std::string& Msg) : std::runtime_error(Msg) {}
};

[[noreturn]] void InvalidOp(const std::string& Msg);

using fw::TWholeSteps;

// Holds a grid for a public entry (fw::TFreeGuard); nothing while it is being
// destroyed, when no handler's free may wait for it.
class TGridHold {
public:
    explicit TGridHold(fw::TComponent* Grid) {
        if (!Grid->InState(fw::TComponentStateItem::Destroying)) FHold.emplace(Grid);
    }

private:
    std::optional<fw::TFreeGuard> FHold;
};

struct TGridCoord {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    friend bool operator==(const TGridRect&, const TGridRect&) = default;
};

using TGridOptions = std::uint16_t;
constexpr TGridOptions goFixedVertLine = 1 << 0;
constexpr TGridOptions goFixedHorzLine = 1 << 1;
constexpr TGridOptions goVertLine = 1 << 2;
constexpr TGridOptions goHorzLine = 1 << 3;
constexpr TGridOptions goRangeSelect = 1 << 4;
constexpr TGridOptions goDrawFocusSelected = 1 << 5;
constexpr TGridOptions goRowSizing = 1 << 6;
constexpr TGridOptions goColSizing = 1 << 7;
constexpr TGridOptions goRowMoving = 1 << 8;
constexpr TGridOptions goColMoving = 1 << 9;
constexpr TGridOptions goEditing = 1 << 10;
constexpr TGridOptions goTabs = 1 << 11;
constexpr TGridOptions goRowSelect = 1 << 12;
constexpr TGridOptions goAlwaysShowEditor = 1 << 13;
constexpr TGridOptions goThumbTracking = 1 << 14;
constexpr TGridOptions DefaultGridOptions =
    goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;

enum class TGridState : std::uint8_t {
    gsNormal,
    gsSelecting,
    gsRowSizing,
    gsColSizing,
    gsRowMoving,
    gsColMoving
};

enum class TGridBorderStyle : std::uint8_t { bsNone, bsSingle };

// How a cell is edited: in a plain edit, or with an ellipsis button or a pick list.
enum class TEditStyle : std::uint8_t { esSimple, esEllipsis, esPickList };

using fw::TScrollStyle;
using enum fw::TScrollStyle;

using TGridDrawState = std::uint8_t;
constexpr TGridDrawState gdSelected = 1;
constexpr TGridDrawState gdFocused = 2;
constexpr TGridDrawState gdFixed = 4;

// Timed-scroll directions.
using TGridScrollDirection = std::uint8_t;
constexpr TGridScrollDirection sdLeft = 1;
constexpr TGridScrollDirection sdRight = 2;
constexpr TGridScrollDirection sdUp = 4;
constexpr TGridScrollDirection sdDown = 8;

// The scroll codes and bars the grid works with.
using fw::SB_BOTTOM;
using fw::SB_ENDSCROLL;
using fw::SB_HORZ;
using fw::SB_LINEDOWN;
using fw::SB_LINEUP;
using fw::SB_PAGEDOWN;
using fw::SB_PAGEUP;
using fw::SB_THUMBPOSITION;
using fw::SB_THUMBTRACK;
using fw::SB_TOP;
using fw::SB_VERT;

// Extent arrays: element 0 holds the count n, entries 1..n follow.
using TExtentArray = std::vector<std::int32_t>;

// Geometry of one axis, computed afresh whenever it is needed.
struct TGridAxisDrawInfo {
    int EffectiveLineWidth = 0;
    int FixedBoundary = 0;
    int GridBoundary = 0;
    int GridExtent = 0;
    int LastFullVisibleCell = 0;
    int FullVisBoundary = 0;
    int FixedCellCount = 0;
    int FirstGridCell = 0;
    int GridCellCount = 0;
    std::function<int(int)> GetExtent;
    // From a line in a direction (+1 or -1), the first line that may take pixels: lines
    // whose extent plus line width is 0 are passed over. -1 or GridCellCount past the ends.
    std::function<int(int, int)> ShownFrom;
};

struct TGridDrawInfo {
    TGridAxisDrawInfo Horz;
    TGridAxisDrawInfo Vert;
};

class TInplaceEdit;

// The runs of lines of extent 0 of one axis (first and last line of each), so that
// walks over the lines pass a run in one look-up. Built from the extents when first
// asked after a change of their layout; a single line's change updates it in place.
class TGridZeroRuns {
public:
    void Invalidate() { FValid = false; }
    bool Valid() const { return FValid; }
    void Build(const TExtentArray& Extents);
    // A line's extent went from Old to New.
    void LineChanged(int Index, int Old, int New);
    // Lines Lo..Hi took other extents (a move, or lines added at the end): their runs are
    // found again from the extents, joined with the runs on either side.
    void RangeChanged(const TExtentArray& Extents, int Lo, int Hi);
    // The axis keeps Count lines: runs past them go.
    void Truncate(int Count);
    // The run holding Index, or false.
    bool RunAt(int Index, int& First, int& Last) const;

private:
    bool FValid = false;
    std::map<int, int> FRuns; // first -> last
};

constexpr int GridScrollRange = 127;
constexpr std::uintptr_t GridScrollTimerId = 1;
constexpr std::uint32_t GridScrollTimerPeriod = 60;

class TCustomGrid_ts : public fw::TCustomControl {
public:
    explicit TCustomGrid_ts(fw::TComponent* AOwner);
    ~TCustomGrid_ts() override;

    // Model.
    int ColCount() const { return FColCount; }
    void SetColCount(int Value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int Value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int Value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int Value);
    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value);
    int ColWidths(int Index) const;
    void SetColWidths(int Index, int Value);
    int RowHeights(int Index) const;
    void SetRowHeights(int Index, int Value);
    bool TabStops(int Index) const;
    void SetTabStops(int Index, bool Value);
    const TExtentArray& ColWidthArray() const { return FColWidths; }
    const TExtentArray& RowHeightArray() const { return FRowHeights; }
    fw::TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(fw::TColor Value);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int Value);
    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions Value);
    TGridBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TGridBorderStyle Value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool Value) { FDefaultDrawing = Value; }
    bool SaveCellExtents() const { return FSaveCellExtents; }
    void SetSaveCellExtents(bool Value) { FSaveCellExtents = Value; }
    // Options added to Options while the grid is being designed (sizing, by default).
    TGridOptions DesignOptionsBoost() const { return FDesignOptionsBoost; }
    void SetDesignOptionsBoost(TGridOptions Value) { FDesignOptionsBoost = Value; }
    bool UseRightToLeftAlignment() const { return FRightToLeft; }
    void SetUseRightToLeftAlignment(bool Value);

    // Current cell, anchor, selection and top-left.
    int Col() const { return FCurrent.X; }
    void SetCol(int Value);
    int Row() const { return FCurrent.Y; }
    void SetRow(int Value);
    TGridCoord Current() const { return FCurrent; }
    TGridCoord Anchor() const { return FAnchor; }
    TGridRect Selection() const;
    void SetSelection(const TGridRect& Value);
    int LeftCol() const { return FTopLeft.X; }
    void SetLeftCol(int Value);
    int TopRow() const { return FTopLeft.Y; }
    void SetTopRow(int Value);
    TGridCoord TopLeft() const { return FTopLeft; }
    int ColOffset() const { return FColOffset; }
    int VisibleColCount();
    int VisibleRowCount();
    TGridState GridState() const { return FGridState; }
    bool EditorMode() const { return FEditorMode; }

    // Geometry.
    void CalcDrawInfo(TGridDrawInfo& DrawInfo);
    void CalcDrawInfoXY(TGridDrawInfo& DrawInfo, int UseWidth, int UseHeight);
    void CalcFixedInfo(TGridDrawInfo& DrawInfo);
    TGridCoord CalcMaxTopLeft(const TGridCoord& Coord, const TGridDrawInfo& DrawInfo);
    TGridCoord CalcCoordFromPoint(int X, int Y, const TGridDrawInfo& DrawInfo);
    fw::TRect BoxRect(int ALeft, int ATop, int ARight, int ABottom);
    fw::TRect CellRect(int ACol, int ARow);
    TGridCoord MouseCoord(int X, int Y);
    fw::TRect GridRectToScreenRect(TGridRect GridRect, bool IncludeLine);
    void InvalidateCell(int ACol, int ARow);
    void InvalidateGridRect(const TGridRect& R);
    void InvalidateGrid();
    void InvalidateCol(int ACol);
    void InvalidateRow(int ARow);

    // Scrolling: the grid keeps its bars' ranges and positions, and a showing
    // window's scroll bars show them.
    int ScrollPos(int Bar) const { return Bar == SB_HORZ ? FHorzPos : FVertPos; }
    int ScrollRangeMax(int Bar) const { return Bar == SB_HORZ ? FHorzMax : FVertMax; }
    void ModifyScrollBar(int ScrollBar, int ScrollCode, int Pos, bool UseRightToLeft);
    void UpdateScrollPos();
    void UpdateScrollRange();

    // The stored "ColWidths" and "RowHeights" lists: written when the grid
    // keeps its own extents (differing from an ancestor's, when there is one).
    bool ColWidthsStored(const TCustomGrid_ts* Ancestor = nullptr) const;
    bool RowHeightsStored(const TCustomGrid_ts* Ancestor = nullptr) const;
    std::vector<int> WriteColWidths() const;
    std::vector<int> WriteRowHeights() const;
    // A list longer than the count is refused whole.
    void ReadColWidths(const std::vector<int>& Values);
    void ReadRowHeights(const std::vector<int>& Values);

    // Lines.
    void MoveColumn(int FromIndex, int ToIndex);
    void MoveRow(int FromIndex, int ToIndex);
    virtual void DeleteColumn(int ACol);
    virtual void DeleteRow(int ARow);
    virtual void AdjustSize(int Index, int Amount, bool Rows);
    // Pulls the top-left back within the fixed lines and the largest top-left.
    void ClampTopLeft();
    // Removes the lines at the given indexes (ascending) at once: their extents go, and
    // the current cell, the anchor and the top-left keep to the lines that stay.
    void RemoveLines(bool Rows, const std::vector<int>& Indexes);
    // Lines take new places at once: line I is the one that was at OldIndexOf[I].
    void ReorderLines(bool Rows, const std::vector<int>& OldIndexOf);

    // Current-cell moves.
    void MoveCurrent(int ACol, int ARow, bool MoveAnchor, bool Show);
    void FocusCell(int ACol, int ARow, bool MoveAnchor);
    void MoveAnchor(const TGridCoord& NewAnchor);
    void ClampInView(const TGridCoord& Coord);

    // Input entry points.
    bool Sizing(int X, int Y);
    bool IsActiveControl();
    // Whether the focused window is the grid or one inside it.
    bool HoldsFocus() const;
    void HideEditor();
    void ShowEditor();
    void ShowEditorChar(char Ch);
    void SetEditorMode(bool Value);
    TInplaceEdit* InplaceEditor() const { return FInplaceEdit.get(); }
    int InplaceCol() const { return FInplaceCol; }
    int InplaceRow() const { return FInplaceRow; }
    bool CanEditModifyFlag() const { return FCanEditModify; }

    // What a painted cell looks like; the descendant paints its content.
    std::function<void(int ACol, int ARow, const fw::TRect& ARect, TGridDrawState AState)>
        OnDrawCell;
    fw::TNotifyEvent OnTopLeftChanged;

    // Hooks for tests of the sizing and moving states.
    TGridCoord SizingInfo() const { return {FSizingIndex, FSizingPos}; }
    TGridCoord MoveInfo() const { return {FMoveIndex, FMovePos}; }

protected:
    void CreateParams(fw::TCreateParams& Params) override;
    void Dispatch(fw::TMessage& Message) override;
    void Paint() override;

    virtual void MoveTopLeft(int ALeft, int ATop);
    // The first line at or after Index (Dir 1) or at or before it (Dir -1) that may take
    // pixels (extent plus line width not 0); -1 or the count past the ends.
    int ShownLineFrom(bool Rows, int Index, int Dir, int LineWidth);
    virtual void ScrollDataInfo(int DX, int DY, TGridDrawInfo& DrawInfo);
    virtual void TopLeftMoved(const TGridCoord& OldTopLeft);
    virtual void CalcSizingState(int X, int Y, TGridState& State, int& Index, int& SizingPos,
                                 int& SizingOfs, TGridDrawInfo& FixedInfo);
    virtual bool CanEditShow();
    virtual std::unique_ptr<TInplaceEdit> CreateEditor();
    virtual bool CanEditAcceptKey(char Key);
    virtual bool CanEditModify();
    virtual std::string GetEditText(int ACol, int ARow);
    virtual void SetEditText(int ACol, int ARow, const std::string& Value);
    virtual int GetEditLimit();
    virtual std::string GetEditMask(int ACol, int ARow);
    virtual TEditStyle GetEditStyle(int ACol, int ARow);
    virtual void DrawCell(int ACol, int ARow, const fw::TRect& ARect, TGridDrawState AState);
    virtual bool SelectCell(int ACol, int ARow);
    // Bumped by each change of the counts or of the line order: a move that ran
    // handlers (SelectCell's checks) compares it before it goes on.
    virtual std::uint32_t StructureStamp() const { return FStructureStamp; }

    virtual bool CanGridAcceptKey(std::uint16_t Key, fw::TShiftState Shift);
    // Whether the grid's painting follows right-to-left alignment; a descendant that
    // paints left to right only keeps its geometry and clicks that way too.
    virtual bool PaintsRightToLeft() const { return true; }
    virtual void ColumnMoved(int FromIndex, int ToIndex);
    virtual void RowMoved(int FromIndex, int ToIndex);
    virtual void SizeChanged(int OldColCount, int OldRowCount);
    virtual void TopLeftChanged();
    virtual void TimedScroll(TGridScrollDirection Direction);
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual bool BeginColumnDrag(int& Origin, int& Destination, fw::TPoint MousePt);
    virtual bool BeginRowDrag(int& Origin, int& Destination, fw::TPoint MousePt);
    virtual bool CheckColumnDrag(int& Origin, int& Destination, fw::TPoint MousePt);
    virtual bool CheckRowDrag(int& Origin, int& Destination, fw::TPoint MousePt);
    virtual bool EndColumnDrag(int& Origin, int& Destination, fw::TPoint MousePt);
    virtual bool EndRowDrag(int& Origin, int& Destination, fw::TPoint MousePt);

    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;

    void CancelMode();
    void UpdateEdit();
    void HideEdit();
    void UpdateText();
    void SelectionMoved(const TGridRect& OldSel);
    void Initialize();
    void ChangeSize(int NewColCount, int NewRowCount);
    void ScrollData(int DX, int DY);

private:
    friend class TInplaceEdit;
    // A key's effect on the current cell and the top-left, worked out before either moves.
    struct TKeyMove {
        TGridCoord Cur;
        TGridCoord TopLeft;
        fw::TShiftState Shift;
    };
    struct TKeyPage {
        int Width;
        int Height;
    };
    TKeyPage KeyPage(const TGridDrawInfo& D) const;
    // Message handlers: true when the message needs no default handling.
    bool TimerMessage(fw::TMessage& Message);
    void DialogCodeMessage(fw::TMessage& Message);
    bool SetCursorMessage(fw::TMessage& Message);
    void SizeMessage(fw::TMessage& Message);
    void FocusMessage(fw::TMessage& Message);
    bool CharMessage(fw::TMessage& Message);
    void CtrlKeyMove(std::uint16_t Key, const TGridDrawInfo& D, TKeyMove& M);
    void PlainKeyMove(std::uint16_t Key, const TGridDrawInfo& D, TKeyMove& M);
    void TabKeyMove(TKeyMove& M);
    void LoadEditor();
    void ChangeGridOrientation(bool RightToLeftOrientation);
    // A rectangle laid out left to right, where the grid shows it (mirrored under
    // right-to-left alignment).
    fw::TRect Mirrored(const fw::TRect& R) const;
    // A pixel column laid out left to right, where the grid shows it, and back: the
    // mirror image of the picture, as Mirrored. Sizing works in this order.
    int MirroredX(int X) const { return FRightToLeft ? ClientWidth() - 1 - X : X; }
    // The sizing or move line of the present state, drawn over the cells.
    void DrawStateLines(fw::TCanvas& C, int GridR, int GridB);
    void DrawSizingLine(const TGridDrawInfo& DrawInfo);
    void DrawMove();
    // A sizing or move drag keeps line numbers from its start: once a handler has
    // changed the lines (the structure stamp moved) it ends, changing nothing.
    bool DragLinesChanged();
    void MoveAndScroll(int Mouse, int CellHit, TGridDrawInfo& DrawInfo, TGridAxisDrawInfo& Axis,
                       int ScrollBar, fw::TPoint MousePt);
    void ModifyPixelScrollBar(int Code, int Pos);
    // Hands the ranges (when asked) and the positions to the window's bars.
    void SyncWindowScrollBars(bool Ranges);
    void DrawLines(fw::TCanvas& C, const TGridDrawInfo& DrawInfo, bool DoHorz, bool DoVert, int Col,
                   int Row, int X0, int Y0, fw::TColor LineColor, fw::TColor BackColor,
                   int RegionRight, int RegionBottom);
    void DrawCells(fw::TCanvas& C, int ACol, int ARow, int StartX, int StartY, int StopX, int StopY,
                   fw::TColor Color, TGridDrawState IncludeDrawState,
                   const TGridDrawInfo& DrawInfo);
    void DoTimer();
    void StartTimer();
    void StopTimer();
    void InvalidateScreenRect(const fw::TRect& R);
    // The extents of an axis changed their layout (lines added, removed or moved).
    void ExtentsChanged(bool Rows) { FZeroRuns[Rows ? 1 : 0].Invalidate(); }
    // The axis went from Old to New lines at its end.
    void ExtentsResized(bool Rows, int Old, int New);
    // Moves the painted pixels of a client area, as the window system scrolls a window,
    // and repaints what the move uncovered.
    void ScrollArea(const fw::TRect& Area, int DX, int DY);

    TGridCoord FAnchor;
    std::uint32_t FStructureStamp = 0;
    TGridBorderStyle FBorderStyle = TGridBorderStyle::bsSingle;
    bool FCanEditModify = true;
    int FColCount = 5;
    TExtentArray FColWidths;
    TExtentArray FTabStops;
    TGridCoord FCurrent;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    int FFixedCols = 1;
    int FFixedRows = 1;
    fw::TColor FFixedColor = fw::clBtnFace;
    int FGridLineWidth = 1;
    TGridOptions FOptions = DefaultGridOptions;
    TGridOptions FDesignOptionsBoost = goRowSizing | goColSizing;
    int FRowCount = 5;
    TExtentArray FRowHeights;
    TScrollStyle FScrollBars = ssBoth;
    TGridCoord FTopLeft;
    int FSizingIndex = 0;
    int FSizingPos = 0; // laid out left to right, as the line's extent counts
    int FSizingOfs = 0;
    int FMoveIndex = 0;
    int FMovePos = 0;
    std::uint32_t FDragStamp = 0; // the structure stamp when a sizing or move drag began
    fw::TPoint FHitTest;
    std::unique_ptr<TInplaceEdit> FInplaceEdit;
    int FInplaceCol = -1;
    int FInplaceRow = -1;
    int FColOffset = 0;
    bool FDefaultDrawing = true;
    bool FEditorMode = false;
    TGridState FGridState = TGridState::gsNormal;
    bool FSaveCellExtents = true;
    bool FRightToLeft = false;
    bool FTimerRunning = false;
    mutable TGridZeroRuns FZeroRuns[2]; // columns, rows
    int FHorzPos = 0, FHorzMax = 0;
    int FVertPos = 0, FVertMax = 0;
};

// Extent-array helpers.
void ModifyExtents(TExtentArray& Extents, int Index, int Amount, int Default);
void UpdateExtents(TExtentArray& Extents, int NewSize, int Default);
void MoveExtent(TExtentArray& Extents, int FromIndex, int ToIndex);
bool CompareExtents(const TExtentArray& E1, const TExtentArray& E2);
int MoveAdjust(int CellPos, int FromIndex, int ToIndex);

} // namespace vel
