// The grid engine's current cell, its in-cell control and the selections.
#include "TSGrid.h"

#include "Forms.h"
#include "Input.h"
#include "ScopeExit.h"
#include "TSMbcs.h"

#include <algorithm>

namespace vel {

// --- The current cell ------------------------------------------------------------------

bool TtsBaseGrid::HasCurrentCell() const {
    if (InState(fw::TComponentStateItem::Destroying) || Cols() <= 0 || Rows() <= 0) return false;
    const TGridCoord C = Current();
    return C.X >= 1 && C.X <= Cols() && C.Y >= 1 && C.Y <= Rows();
}

int TtsBaseGrid::CurrentDisplayCol() const {
    return HasCurrentCell() ? Current().X : -1;
}

int TtsBaseGrid::CurrentDisplayRow() const {
    return HasCurrentCell() ? Current().Y : -1;
}

int TtsBaseGrid::CurrentDataCol() const {
    return HasCurrentCell() ? DataColAt(Current().X) : -1;
}

int TtsBaseGrid::CurrentDataRow() const {
    return HasCurrentCell() ? DataRowAt(Current().Y) : -1;
}

TtsControlType TtsBaseGrid::CurrentControlType() const {
    return HasCurrentCell() ? EffectiveControlType(CurrentDataCol(), CurrentDataRow()) : ctNone;
}

bool TtsBaseGrid::CanEdit() const {
    return HasCurrentCell() && FGridMode != gmBrowse && !ReadOnly();
}

bool TtsBaseGrid::ColumnEdit(int DisplayCol) {
    return !FModel->EffectiveReadOnly(DataColAt(DisplayCol), CurrentDataRow());
}

bool TtsBaseGrid::SetCurrentCell(int DisplayCol, int DisplayRow) {
    if (!HasCurrentCell() || DisplayCol < 1 || DisplayCol > Cols() || DisplayRow < 1 ||
        DisplayRow > Rows())
        return false;
    const TGridCoord Before = Current();
    if (Before == (TGridCoord{DisplayCol, DisplayRow})) return true;
    TtsBusyScope Busy(*FModel); // its handlers may change or free the grid
    const std::uint32_t Stamp = StructureStamp();
    if (!CanLeaveCell()) return false;
    // The leave checks' handlers changed the lines: the cell asked for is gone or
    // holds other data, and the move is dropped.
    if (StructureStamp() != Stamp) return false;
    {
        // The leave check is made: the base grid's own check passes.
        fw::TScopeExit Done([this, Was = FLeaveChecked] { FLeaveChecked = Was; });
        FLeaveChecked = true;
        MoveCurrent(DisplayCol, DisplayRow, true, true);
    }
    if (Current() == Before) return false;
    CurrentCellMoved(Before);
    return true;
}

bool TtsBaseGrid::CanLeaveCell() {
    if (!HasCurrentCell()) return true;
    TtsBusyScope Busy(*FModel); // the checks' handlers may change or free the grid
    if (!EndCellEdit()) return false;
    bool CanLeave = true;
    Fire(OnCanLeaveCell, this, CurrentDataCol(), CurrentDataRow(), CanLeave);
    return CanLeave;
}

void TtsBaseGrid::CurrentCellMoved(const TGridCoord& Before) {
    const int OldDataCol = DataColAt(Before.X);
    const int OldDataRow = DataRowAt(Before.Y);
    FCellModified = false;
    FEditStarted = false;
    // A drop-down belongs to the cell it opened for.
    CloseDropDown(true);
    FActiveCombo = nullptr;
    if (CurrentDataRow() != OldDataRow) CurrentRowLeft(OldDataRow);
    // The row bar marks the current row.
    InvalidateDisplayCell(0, Before.Y);
    InvalidateDisplayCell(0, Current().Y);
    InvalidateDisplayCell(Before.X, Before.Y);
    InvalidateDisplayCell(Current().X, Current().Y);
    FCurrentCell.ClearValue();
    UpdateCellControl(true);
    Fire(OnCellChanged, this, OldDataCol, CurrentDataCol(), OldDataRow, CurrentDataRow());
}

void TtsBaseGrid::MoveCurrentCol(int DisplayCol) {
    SetCurrentCell(DisplayCol, Current().Y);
}

// --- Edits -------------------------------------------------------------------------------

bool TtsBaseGrid::CheckValue(int DisplayCol, const TtsVariant& Value) {
    const int DC = DataColAt(DisplayCol);
    const TtsCol* C = FModel->Col(DC);
    if (C && C->MaxLength() > 0 && std::holds_alternative<std::string>(Value) &&
        CharCount(std::get<std::string>(Value)) > C->MaxLength())
        return false;
    bool Accept = true;
    Fire(OnCheckValue, this, DC, CurrentDataRow(), Value, Accept);
    return Accept;
}

bool TtsBaseGrid::StartEdit() {
    if (FEditStarted) return true;
    if (!CurrentCellMayChange()) return false;
    bool Cancel = false;
    Fire(OnStartCellEdit, this, CurrentDataCol(), CurrentDataRow(), Cancel);
    FEditStarted = !Cancel;
    return !Cancel;
}

bool TtsBaseGrid::EndCellEdit() {
    if (!FCellModified || !FActive || !HasCurrentCell()) {
        FCellModified = false;
        return true;
    }
    // An undone text edit stores nothing.
    if (TextEditUndone()) {
        FCellModified = false;
        return true;
    }
    TtsBusyScope Busy(*FModel); // its handlers may change or free the grid
    const TtsVariant Value = FActive->GetValue();
    const int DC = CurrentDataCol(), DR = CurrentDataRow();
    bool Cancel = !CheckValue(Current().X, Value);
    if (!Cancel) Fire(OnEndCellEdit, this, DC, DR, Cancel);
    if (Cancel) return false;
    FCellModified = false;
    // A check's handler took the cell away: the edit went with it.
    if (DC > Cols() || DR > Rows()) return true;
    FEditStarted = false;
    MarkRowChanged();
    StoreCellValue(DC, DR, Value);
    return true;
}

bool TtsBaseGrid::EditorStep(const std::function<bool()>& Step) {
    TtsBusyScope Busy(*FModel); // the editor's handlers may change or free the grid
    const TCellKept Kept = KeepCell();
    const TtsVariant Before = FActive->GetValue();
    const bool Done = Step();
    if (CellKept(Kept) && !VarEquals(FActive->GetValue(), Before)) ControlValueChanged();
    return Done;
}

void TtsBaseGrid::EditorCut(bool Flag) {
    EditorStep([&] {
        FActive->Cut(Flag);
        return true;
    });
}

bool TtsBaseGrid::EditorPaste(bool Flag) {
    return EditorStep([&] { return FActive->Paste(Flag); });
}

TtsBaseGrid::TCellKept TtsBaseGrid::KeepCell() const {
    return {FActive, CurrentDataCol(), CurrentDataRow()};
}

bool TtsBaseGrid::CellKept(const TCellKept& K) const {
    return FActive && FActive == K.Active && CurrentDataCol() == K.DataCol &&
           CurrentDataRow() == K.DataRow;
}

bool TtsBaseGrid::TextEditUndone() const {
    return FActive && FActive->IsTextControl() && !FEditStrategy->Edit()->Modified();
}

void TtsBaseGrid::UndoCellEdit() {
    TtsBusyScope Busy(*FModel);
    FCellModified = false;
    FEditStarted = false;
    FCurrentCell.ClearValue();
    UpdateCellControl(true);
}

void TtsBaseGrid::LoadControl(const TtsVariant& Value, bool Select) {
    if (!FActive) return;
    const bool Was = FLoadingValue;
    FLoadingValue = true;
    fw::TScopeExit Restore([this, Was] { FLoadingValue = Was; });
    // A cell loaded on arrival shows its text selected: typing replaces it.
    if (FActive == FCheckStrategy.get())
        FActive->SetValue(Value);
    else
        FActive->SetValueSelect(Value, Select || Was);
}

void TtsBaseGrid::MeasureCellText(int DataCol, int DataRow, int& First, int& Second) {
    First = Second = 0;
    if (DataCol < 1 || DataCol > Cols() || DataRow < 1 || DataRow > Rows()) return;
    TtsBusyScope Busy(*FModel); // OnCellLoaded may change or free the grid
    const std::string Text = VarToText(CellValue(DataCol, DataRow));
    if (DataCol > Cols() || DataRow > Rows()) return;
    fw::TBitmap Scratch(1, 1);
    fw::TCanvas& C = Scratch.Canvas();
    C.Font().Assign(FModel->EffectiveFont(DataCol, DataRow));
    const fw::TTextMetric M = C.TextMetrics();
    TextWidthOfLines(C, M, Text, First, true, false, static_cast<int>(Text.size()));
    const int Width = FModel->ColWidthAt(GetDisplayCol(DataCol)) - CellTextLeft - 1;
    int Lines = 0;
    WrappedTextHeight(C, Text, std::max(1, Width), Second, Lines, true,
                      FModel->EffectiveHorzAlignment(DataCol, DataRow));
}

// --- The in-cell control ---------------------------------------------------------------

TtsCustomGridControl* TtsBaseGrid::StrategyFor(TtsControlType Type) const {
    switch (Type) {
    case ctText:
        return FEditStrategy.get();
    case ctCheck:
        return FCheckStrategy.get();
    default:
        return FDefaultStrategy.get();
    }
}

void TtsBaseGrid::BindControlEvents(TtsCustomGridControl& Strategy) {
    // The control's messages are not the grid's: each call holds the grid busy itself.
    TtsControlEvents E;
    E.OnKeyDown = [this](fw::TObject*, std::uint16_t& Key, fw::TShiftState Shift) {
        TtsBusyScope Busy(*FModel);
        ControlKeyDown(Key, Shift);
    };
    E.OnKeyPress = [this](fw::TObject*, char& Key) {
        TtsBusyScope Busy(*FModel);
        ControlKeyPress(Key);
    };
    E.OnValueChanged = [this](fw::TObject*, bool) {
        TtsBusyScope Busy(*FModel);
        ControlValueChanged();
    };
    E.OnStartEdit = [this](fw::TObject*, bool& Cancel) {
        TtsBusyScope Busy(*FModel);
        Cancel = !FLoadingValue && !StartEdit();
    };
    E.OnReadOnly = [this](fw::TObject*, bool, bool& IsReadOnly) {
        IsReadOnly = !FLoadingValue && !CurrentCellMayChange();
    };
    E.OnExit = [this](fw::TObject*) {
        TtsBusyScope Busy(*FModel);
        ControlExit();
    };
    E.OnWantKey = [this](fw::TObject*, std::uint16_t Key, bool& Wanted) {
        Wanted = Key == fw::VK_ESCAPE && FCellModified;
    };
    Strategy.SetEvents(E);
}

void TtsBaseGrid::ConfigureCellControl(TtsCustomGridControl& S) {
    if (!HandleAllocated() || !HasCurrentCell()) return;
    const int DC = CurrentDataCol(), DR = CurrentDataRow();
    const TtsGridModel& G = *FModel;
    fw::TColor Color = G.EffectiveColor(DC, DR);
    fw::TFont Font;
    Font.Assign(G.EffectiveFont(DC, DR));
    if (S.IsTextControl()) {
        if (EditColor != clNoneTs) Color = EditColor;
        if (EditFontColor != clNoneTs) Font.SetColor(EditFontColor);
    }
    S.SetColor(Color);
    S.SetFont(Font);
    S.Control()->SetAlignment(G.EffectiveHorzAlignment(DC, DR));
    S.Control()->SetVertAlignment(G.EffectiveVertAlignment(DC, DR));
    S.Control()->SetWordWrap(G.EffectiveWordWrap(DC, DR) == wwOn ? wwOn : wwOff);
    const TtsCol* Column = G.Col(DC);
    S.SetMaxLength(Column ? Column->MaxLength() : 0);
    S.SetWantTab(FWantTabs);
    S.SetAlwaysShowFocus(FAlwaysShowFocus);
    S.SetEditEnabled(true);
    S.SetModifyEnabled(true);
    const TtsButtonType Button = G.EffectiveButtonType(DC, DR);
    if (Button == btCombo || Button == btDateTimeDropDown || Button == btDateTimePopup) {
        const bool Typed = G.EffectiveDropDownStyle(DC, DR) != ddDropDownList;
        S.SetEditEnabled(Typed);
        S.SetModifyEnabled(Typed);
    } else if (Button == btVertSpin || Button == btHorzSpin) {
        S.SetEditEnabled((G.EffectiveSpinOptions(DC, DR) & spoKeyEdit) != 0);
    }
    S.Set3D(G.EffectiveIs3D(DC, DR));
    S.SetMaskName(G.EffectiveMaskName(DC, DR));
    if (&S == FCheckStrategy.get()) {
        FCheckStrategy->SetAllowGrayed(Column && Column->AllowGrayed());
        FCheckStrategy->SetCheckBoxValues(Column ? Column->CheckBoxValues() : std::string());
    }
}

bool TtsBaseGrid::ControlShouldShow() const {
    if (!FActive || FActive == FDefaultStrategy.get() || !HasCurrentCell() || FNoPaint ||
        Updating() || FControlClosed || !HandleAllocated())
        return false;
    return const_cast<TtsBaseGrid*>(this)->Focused() || FActive->Focused();
}

void TtsBaseGrid::HideControl(TtsCustomGridControl& S) {
    if (!S.GetVisible()) return;
    const bool HadFocus = S.Focused();
    S.Hide();
    // The keys come back to the grid.
    if (HadFocus && CanFocus()) {
        fw::TScopeExit Done([this, Was = FFocusing] { FFocusing = Was; });
        FFocusing = true;
        SetFocus();
    }
}

void TtsBaseGrid::PlaceCellControl() {
    for (TtsCustomGridControl* S : {static_cast<TtsCustomGridControl*>(FDefaultStrategy.get()),
                                    static_cast<TtsCustomGridControl*>(FEditStrategy.get()),
                                    static_cast<TtsCustomGridControl*>(FCheckStrategy.get())})
        if (S != FActive) HideControl(*S);
    if (!FActive) return;
    fw::TRect R = ControlShouldShow() ? CellRect(Current().X, Current().Y) : fw::TRect{};
    if (R.Right <= R.Left || R.Bottom <= R.Top) {
        HideControl(*FActive);
        return;
    }
    // The control stands inside the cell's lines; a text editor where the cell's text starts.
    if (FGridLines == glVertLines || FGridLines == glBoth) R.Right -= 1;
    if (FGridLines == glHorzLines || FGridLines == glBoth) R.Bottom -= 1;
    // The drop-down button keeps the cell's right end.
    if (const fw::TRect B = CellButtonRect(); !B.IsEmpty()) R.Right = B.Left;
    if (FActive->IsTextControl()) {
        R.Left += CellTextLeft;
        R.Top += CellTextTop;
    }
    FActive->SetBounds(R.Left, R.Top, std::max(1, R.Right - R.Left), std::max(1, R.Bottom - R.Top));
    if (!FActive->GetVisible()) FActive->Show(false);
    if (Focused() && FActive->CanFocus()) {
        fw::TScopeExit Done([this, Was = FFocusing] { FFocusing = Was; });
        FFocusing = true;
        FActive->SetFocus();
    }
}

void TtsBaseGrid::UpdateCellControl(bool Reload) {
    // Sizes gathered for one re-layout place the control with it.
    if (InState(fw::TComponentStateItem::Destroying) || Updating() || FSyncing || FSizesPending ||
        !FDefaultStrategy)
        return;
    TtsBusyScope Busy(*FModel); // the control's loading and placing fire handlers
    if (!HasCurrentCell()) {
        FActive = nullptr;
        PlaceCellControl();
        return;
    }
    TtsCustomGridControl* S = StrategyFor(CurrentControlType());
    if (S != FActive) {
        FActive = S;
        FCurrentCell.ClearValue();
    }
    ConfigureCellControl(*S);
    if (Reload && !FCellModified) FCurrentCell.ClearValue();
    FCurrentCell.Reload();
    PlaceCellControl();
}

void TtsBaseGrid::ControlValueChanged() {
    if (FLoadingValue || !FActive) return;
    // The editor's undo (Escape, Ctrl+Z) brought back the text it loaded: the cell is
    // as it was, and a value set for it from now on shows.
    if (TextEditUndone()) {
        FCellModified = false;
        FEditStarted = false;
        return;
    }
    // The first change of the cell asks whether its edit may start.
    if (!FEditStarted && !StartEdit()) {
        UndoCellEdit();
        return;
    }
    FCellModified = true;
    if (FActive == FCheckStrategy.get() && !EndCellEdit()) UndoCellEdit();
}

void TtsBaseGrid::ControlExit() {
    if (FFocusing || InState(fw::TComponentStateItem::Destroying)) return;
    // The grid taking the focus decides by its own moves; focus leaving the grid stores
    // what the checks accept and drops the rest, and closes a drop-down.
    if (HandleAllocated() && fw::GetFocus() == Handle()) return;
    if (!FPicking) CloseDropDown(true);
    if (!EndCellEdit()) UndoCellEdit();
    PlaceCellControl();
    RepaintCurrentCell();
}

void TtsBaseGrid::ControlKeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    if (GridKey(Key, Shift)) Key = 0;
}

void TtsBaseGrid::ControlKeyPress(char& Key) {
    // Enter, Tab and Escape did their work as keys.
    if (Key == '\r' || Key == '\t' || Key == 27) Key = 0;
}

void TtsBaseGrid::CloseCellControl(bool) {
    if (!FActive || !FActive->GetVisible()) return;
    TtsBusyScope Busy(*FModel);
    if (!EndCellEdit()) UndoCellEdit();
    FControlClosed = true;
    PlaceCellControl();
}

void TtsBaseGrid::ReopenCellControl(bool) {
    FControlClosed = false;
    UpdateCellControl(true);
}

void TtsBaseGrid::ControlTypeChanged(int DataCol, int DataRow) {
    if ((DataCol == -1 || DataCol == CurrentDataCol()) &&
        (DataRow == -1 || DataRow == CurrentDataRow()))
        UpdateCellControl(true);
}

void TtsBaseGrid::MaxLengthChanged(int DisplayCol, int Length) {
    if (DisplayCol == CurrentDisplayCol() && FActive == FEditStrategy.get())
        FActive->SetMaxLength(Length);
}

void TtsBaseGrid::MaskChanged(int DataCol, int DataRow) {
    if ((DataCol == -1 || DataCol == CurrentDataCol()) &&
        (DataRow == -1 || DataRow == CurrentDataRow()))
        ReloadMask();
}

void TtsBaseGrid::ReloadMask() {
    if (FActive != FEditStrategy.get() || !HasCurrentCell()) return;
    FActive->SetMaskName(FModel->EffectiveMaskName(CurrentDataCol(), CurrentDataRow()));
}

TtsMaskDefsComponent* TtsBaseGrid::MaskDefs() const {
    return FEditStrategy->Edit()->MaskLink().MaskDefs();
}

void TtsBaseGrid::SetMaskDefs(TtsMaskDefsComponent* Value) {
    FEditStrategy->Edit()->MaskLink().SetMaskDefs(Value);
    FEditStrategy->Edit()->ReloadMask();
}

void TtsBaseGrid::ReloadCheckBoxValues() {
    if (FActive != FCheckStrategy.get() || !HasCurrentCell()) return;
    const TtsCol* Column = FModel->Col(CurrentDataCol());
    FCheckStrategy->SetAllowGrayed(Column && Column->AllowGrayed());
    FCheckStrategy->SetCheckBoxValues(Column ? Column->CheckBoxValues() : std::string());
    if (!FCellModified) {
        FCurrentCell.ClearValue();
        FCurrentCell.Reload();
    }
}

void TtsBaseGrid::ReloadCurrentValue() {
    if (FCellModified) return;
    FCurrentCell.ClearValue();
    FCurrentCell.Reload();
}

// --- Selections ------------------------------------------------------------------------

void TtsBaseGrid::SelectionChanged(TtsSelectKind Kind, bool ByUser) {
    Fire(OnSelectChanged, this, Kind, ByUser);
}

void TtsBaseGrid::SelectLines(bool Rows, int From, int To, bool Select) {
    if (From > To) std::swap(From, To);
    From = std::max(From, 1);
    To = std::min(To, Rows ? this->Rows() : Cols());
    if (From > To) return;
    TtsSelection& Lines = Rows ? FModel->RowSelection : FModel->ColSelection;
    for (int I = From; I <= To; ++I)
        Lines.Select(I, Select);
    InvalidateGridRect(Rows ? TGridRect{0, From, ColCount() - 1, To}
                            : TGridRect{From, 0, To, RowCount() - 1});
    SelectionChanged(Rows ? skRows : skCols, false);
}

void TtsBaseGrid::SelectRows(int From, int To, bool Select) {
    SelectLines(true, From, To, Select);
}

void TtsBaseGrid::SelectCols(int From, int To, bool Select) {
    SelectLines(false, From, To, Select);
}

bool TtsBaseGrid::RowSelectedOfData(int DataRow) const {
    return RowSelected(GetDisplayRow(DataRow));
}

void TtsBaseGrid::SetRowSelected(int DataRow, bool Select) {
    if (DataRow < 1 || DataRow > Rows()) return;
    const int D = GetDisplayRow(DataRow);
    SelectRows(D, D, Select);
}

void TtsBaseGrid::SelectCellRange(const TGridRect& Range) {
    TGridRect R{std::max(1, std::min(Range.Left, Range.Right)),
                std::max(1, std::min(Range.Top, Range.Bottom)),
                std::min(Cols(), std::max(Range.Left, Range.Right)),
                std::min(Rows(), std::max(Range.Top, Range.Bottom))};
    if (R.Left > R.Right || R.Top > R.Bottom) R = {0, 0, -1, -1};
    if (R == FRange) return;
    if (HasCellRange()) InvalidateGridRect(FRange);
    FRange = R;
    if (HasCellRange()) InvalidateGridRect(FRange);
    SelectionChanged(skRange, false);
}

void TtsBaseGrid::ClearSelection() {
    const bool Any = HasCellRange() || FModel->RowSelection.SelectedCount() > 0 ||
                     FModel->ColSelection.SelectedCount() > 0;
    if (!Any) return;
    if (HasCellRange()) InvalidateGridRect(FRange);
    FRange = {0, 0, -1, -1};
    for (int R = FModel->RowSelection.First(); R > 0; R = FModel->RowSelection.NextSelected(R))
        InvalidateRow(R);
    for (int C = FModel->ColSelection.First(); C > 0; C = FModel->ColSelection.NextSelected(C))
        InvalidateCol(C);
    FModel->RowSelection.Clear();
    FModel->ColSelection.Clear();
    SelectionChanged(skNone, false);
}

namespace {

// An edge on a hidden line moves inward to the nearest visible line, or -1.
int InwardEdge(const TtsVisibleItems& Visible, int Edge, int Dir, int Count) {
    if (Visible.Contains(Edge) || !Visible.Active()) return Edge;
    const int To = Visible.VisibleFrom(Edge, Dir);
    return To >= 1 && To <= Count ? To : -1;
}

} // namespace

void TtsBaseGrid::ShrinkCellRange(bool Rows, int Display) {
    if (!HasCellRange()) return;
    TGridRect R = FRange;
    const TtsVisibleItems& Visible = Rows ? FModel->VisibleRows : FModel->VisibleCols;
    const int Count = Rows ? this->Rows() : Cols();
    int& Low = Rows ? R.Top : R.Left;
    int& High = Rows ? R.Bottom : R.Right;
    if (Display == Low) Low = InwardEdge(Visible, Low, 1, Count);
    if (Display == High) High = InwardEdge(Visible, High, -1, Count);
    if (Low < 1 || High < 1 || Low > High) R = {0, 0, -1, -1};
    SelectCellRange(R);
}

void TtsBaseGrid::ShrinkCellRangeCol(int DisplayCol) {
    ShrinkCellRange(false, DisplayCol);
}

void TtsBaseGrid::ShrinkCellRangeRow(int DisplayRow) {
    ShrinkCellRange(true, DisplayRow);
}

} // namespace vel
