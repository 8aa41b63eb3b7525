#pragma once
// The grid engine: TtsBaseGrid runs the base grid (geometry, scrolling, mouse
// selection, timed scrolling, window messages) with its own painting and
// keyboard, owns the data half (TtsGridModel: columns, rows, cell properties,
// selections, stored values) and is the real link the model and the current
// cell talk to. TtsCustomGrid and TtsGrid add the check-box style, the focus
// display and Tab handling.
//
// Coordinates: the base grid's cells are display positions; display column 0
// is the row bar and display row 0 the heading row. Data columns and rows
// are the model's indexes; the display order maps them both ways.
//
// Editing: the current cell carries one in-cell control, chosen by its
// effective control type through a strategy (text editor, check box, or none
// for pictures). The control stands over the current cell while the grid or
// the control has the focus; its keys that it does not use come to the grid.
// A text edit is stored when the cell is left, on Enter or when the focus
// leaves the grid; a check box stores each change at once.
#include "Grids_ts.h"
#include "TSCellControls.h"
#include "TSCurrentCell.h"
#include "TSDropDown.h"
#include "TSGridData.h"
#include "TSGridStream.h"
#include "TSImageList.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vel {

enum TtsGridMode : std::uint8_t { gmBrowse, gmEdit, gmEditInsert };
enum TtsGridLines : std::uint8_t { glNone, glVertLines, glHorzLines, glBoth };

// What a selection change concerned.
enum TtsSelectKind : std::uint8_t { skRows, skCols, skRange, skNone };

using TtsCellLoadedEvent =
    std::function<void(fw::TObject* Sender, int DataCol, int DataRow, TtsVariant& Value)>;
using TtsCellEditEvent =
    std::function<void(fw::TObject* Sender, int DataCol, int DataRow, const TtsVariant& Value)>;
using TtsCellCheckEvent = std::function<void(fw::TObject* Sender, int DataCol, int DataRow,
                                             const TtsVariant& Value, bool& Accept)>;
using TtsCellCancelEvent =
    std::function<void(fw::TObject* Sender, int DataCol, int DataRow, bool& Cancel)>;
using TtsCellChangedEvent =
    std::function<void(fw::TObject* Sender, int OldCol, int NewCol, int OldRow, int NewRow)>;
using TtsRowChangedEvent = std::function<void(fw::TObject* Sender, int OldRow, int NewRow)>;
using TtsColMovedEvent =
    std::function<void(fw::TObject* Sender, int ToDisplayCol, int Count, bool ByUser)>;
using TtsHeadingClickEvent = std::function<void(fw::TObject* Sender, int DataCol)>;
using TtsSelectChangedEvent =
    std::function<void(fw::TObject* Sender, TtsSelectKind Kind, bool ByUser)>;

class TtsBaseGrid;
class TtsComboGrid;
class TtsMonthView;

// The grid's link to its image list: picture cells repaint when it changes.
class TtsGridImageLink : public TtsImageLink {
public:
    explicit TtsGridImageLink(TtsBaseGrid* Grid) : FGrid(Grid) {}
    void ImageListChanged() override;
    void ImageListFreed() override;

private:
    TtsBaseGrid* FGrid;
};

// The grid's link to the definition of its open date-time drop-down: the
// drop-down ends when the definition goes.
class TtsGridDateTimeLink : public TtsDateTimeLink {
public:
    explicit TtsGridDateTimeLink(TtsBaseGrid* Grid) : FGrid(Grid) {}
    void DateTimeDefFreed() override;

private:
    TtsBaseGrid* FGrid;
};

class TtsBaseGrid : public TCustomGrid_ts,
                    public TtsGridLink,
                    public TtsDropDownOwner,
                    public TtsCellPropertyOps<TtsBaseGrid>,
                    public TtsStreamGrid {
public:
    static constexpr int DefaultCols = 4;
    static constexpr int DefaultRows = 5;

    explicit TtsBaseGrid(fw::TComponent* AOwner);
    ~TtsBaseGrid() override;

    // --- The data half ---
    TtsGridModel& Model() { return *FModel; }
    const TtsGridModel& Model() const { return *FModel; }
    int Cols() const { return FModel->Cols(); }
    void SetCols(int Value) { FModel->SetCols(Value); }
    int Rows() const { return FModel->Rows(); }
    void SetRows(int Value) { FModel->SetRows(Value); }
    int GetCols() const { return Cols(); }
    int GetRows() const { return Rows(); }
    using TCustomGrid_ts::Col;
    using TCustomGrid_ts::Row;
    TtsCol* Col(int DataCol) const { return FModel->Col(DataCol); }
    TtsRow* Row(int DataRow) { return FModel->Row(DataRow); }
    TtsCell Cell(int DataCol, int DataRow) { return FModel->Cell(DataCol, DataRow); }
    // The per-cell property operations (GetCellColor, SetCellColor, ...) work on the
    // model's cells.
    TtsGridModel& CellModel() { return *FModel; }
    const TtsGridModel& CellModel() const { return *FModel; }
    TtsCurrentCell& CurrentCell() { return FCurrentCell; }
    int DefaultColWidth() const { return FModel->DefaultColWidth(); }
    void SetDefaultColWidth(int Value) { FModel->SetDefaultColWidth(Value); }
    int DefaultRowHeight() const { return FModel->DefaultRowHeight(); }
    void SetDefaultRowHeight(int Value) { FModel->SetDefaultRowHeight(Value); }
    int DefaultAssignedRowHeight() const { return FModel->DefaultAssignedRowHeight(); }
    // The row bar (display column 0) and the heading row (display row 0).
    int RowBarWidth() const { return TCustomGrid_ts::ColWidths(0); }
    void SetRowBarWidth(int Value);
    int HeadingHeight() const { return TCustomGrid_ts::RowHeights(0); }
    void SetHeadingHeight(int Value);
    bool RowBarOn() const { return FRowBarOn; }
    void SetRowBarOn(bool Value);
    bool HeadingOn() const { return FHeadingOn; }
    void SetHeadingOn(bool Value);
    const fw::TFont& GridFont() const { return FModel->Font; }
    void SetGridFont(const fw::TFont& Value);
    const fw::TFont& HeadingFont() const { return FModel->HeadingFont; }
    void SetHeadingFont(const fw::TFont& Value);
    fw::TColor GridColor() const { return FModel->Color; }
    void SetGridColor(fw::TColor Value);
    fw::TColor LineColor() const { return FLineColor; }
    void SetLineColor(fw::TColor Value);
    TtsGridLines GridLines() const { return FGridLines; }
    void SetGridLines(TtsGridLines Value);
    bool ThumbTracking() const { return Options() & goThumbTracking; }
    void SetThumbTracking(bool Value);
    TtsGridMode GridMode() const { return FGridMode; }
    void SetGridMode(TtsGridMode Value);
    bool ReadOnly() const { return FModel->GridReadOnly; }
    void SetReadOnly(bool Value);
    TtsDrawOverlap DrawOverlap() const { return FModel->DrawOverlap; }
    void SetDrawOverlap(TtsDrawOverlap Value);
    bool RangeErrors() const { return FModel->RangeErrors; }
    void SetRangeErrors(bool Value) { FModel->RangeErrors = Value; }
    // Picture options of cells whose own, column and row options say default.
    bool StretchPicture = false;
    bool ShrinkPicture = true;
    bool CenterPicture = true;
    bool KeepAspectRatio = true;
    TtsImageListComponent* ImageList() const { return FImageLink.ImageList(); }
    void SetImageList(TtsImageListComponent* Value);
    // Colours of the text editor when set (clNoneTs: the cell's own).
    fw::TColor EditColor = clNoneTs;
    fw::TColor EditFontColor = clNoneTs;

    // --- Values ---
    bool StoreData() const { return FModel->StoreData(); }
    void SetStoreData(bool Value);
    // The Boolean the grid's storage carries (its Flag).
    bool DataFlag() const { return FDataFlag; }
    void SetDataFlag(bool Value);
    Tts2DStorage* Storage() const { return FModel->Storage(); }
    // A cell's value from the storage, or from OnCellLoaded when the grid keeps no data.
    TtsVariant CellValue(int DataCol, int DataRow);
    // Into the storage, or to OnCellEdit; the cell repaints and a current cell reloads.
    void SetCellValue(int DataCol, int DataRow, const TtsVariant& Value);

    // Takes another grid's settings, columns, rows and cells (and its values with
    // WithData): combo lists and the layout's clone copy grids this way.
    void AssignGrid(const TtsBaseGrid& Source, bool WithData);

    // --- Display order ---
    int DataColAt(int DisplayCol) const { return FModel->DataColAt(DisplayCol); }
    int DataRowAt(int DisplayRow) const { return FModel->DataRowAt(DisplayRow); }
    int GetDisplayCol(int DataCol) const { return FModel->DisplayColOf(DataCol); }
    void SetDisplayCol(int DataCol, int Position);
    int GetDisplayRow(int DataRow) const { return FModel->DisplayRowOf(DataRow); }
    void SetDisplayRow(int DataRow, int Position) { FModel->SetDisplayRow(DataRow, Position); }

    // --- Effective settings ---
    TtsControlType EffectiveControlType(int DataCol, int DataRow) const {
        return FModel->EffectiveControlType(DataCol, DataRow);
    }
    TtsControlType CurrentControlType() const;
    TtsDrawOption EffectiveStretchPicture(int DataCol, int DataRow) const;
    TtsDrawOption EffectiveShrinkPicture(int DataCol, int DataRow) const;
    TtsDrawOption EffectiveCenterPicture(int DataCol, int DataRow) const;
    TtsDrawOption EffectiveKeepAspectRatio(int DataCol, int DataRow) const;

    // --- Current cell ---
    bool IsEditInsertMode() const override { return FGridMode == gmEditInsert; }
    // The empty last row of the insert mode: a value stored in it makes a new row.
    bool IsInsertRow(int DisplayRow) const override;
    bool MoveBlocked() const override { return FMoveBlocked; }
    int CurrentDisplayCol() const override;
    int CurrentDisplayRow() const override;
    int CurrentDataCol() const;
    int CurrentDataRow() const;
    // Moves the current cell, asking CanLeaveCell first; false when refused or outside.
    bool SetCurrentCell(int DisplayCol, int DisplayRow);
    bool CanLeaveCell() override;
    bool CanEdit() const override;
    bool HasCurrentCell() const override;
    // Stores a pending edit of the current cell: false when a check refused it.
    bool EndCellEdit();
    // Puts the stored value back into the control.
    void UndoCellEdit();
    bool CellModified() const { return FCellModified; }
    bool RowChanged() const { return FRowChanged; }
    // The stored row as it was when its first change was made (grids that keep data).
    void UndoRowChanges();

    // --- Selection (display positions) ---
    bool RowSelected(int DisplayRow) const { return FModel->RowSelection.IsSelected(DisplayRow); }
    bool ColSelected(int DisplayCol) const { return FModel->ColSelection.IsSelected(DisplayCol); }
    void SelectRows(int From, int To, bool Select);
    void SelectCols(int From, int To, bool Select);
    bool RowSelectedOfData(int DataRow) const;
    void SetRowSelected(int DataRow, bool Select);
    // A rectangle of cells; empty (Left > Right) when none.
    TGridRect CellRange() const { return FRange; }
    bool HasCellRange() const { return FRange.Left <= FRange.Right; }
    void SelectCellRange(const TGridRect& Range);
    void ClearSelection();
    // Moves an edge of the cell range that lies on a hidden line inward past hidden lines.
    void ShrinkCellRangeCol(int DisplayCol);
    void ShrinkCellRangeRow(int DisplayRow);

    // --- Painting ---
    bool IsPaintLocked() const override { return FNoPaint; }
    void SetPaintLock(bool Value);
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    bool Updating() const { return FUpdateCount > 0; }
    bool InvalidateCol(int DisplayCol) override;
    bool InvalidateRow(int DisplayRow) override;
    bool InvalidateDisplayCell(int DisplayCol, int DisplayRow) override;
    bool InvalidateCellIfUnlocked(int DisplayCol, int DisplayRow);
    void ClearCellCache() { FModel->ClearCellCache(); }
    void RefreshOwnFontCells() { FModel->RefreshOwnFontCells(); }
    void MeasureCellText(int DataCol, int DataRow, int& First, int& Second) override;

    // --- Line notifications from the model ---
    std::string GridName() const override;
    bool KeepsLineSizes() const override { return true; }
    int LineSizeAt(bool Rows, int Display) const override;
    bool SetColWidthAt(int DisplayCol, int Pixels) override;
    bool SetRowHeightAt(int DisplayRow, int Pixels, bool Relayout) override;
    void DefaultSizeChanged(bool Rows) override;
    void HoldLineSizes(int Delta) override { FSizesPending += Delta; }
    void CountChanged(bool Rows, int OldCount, int NewCount,
                      const std::vector<int>& Removed) override;
    void DisplayRowMoved(int From, int To) override;
    void RowsReordered(const std::vector<int>& OldPositionOf) override;
    void WidthChanged(int DataCol) override;
    void HeightChanged(int DataRow) override;
    void ColMoved(int From, int To) override;
    void VisibilityChanged() override;
    void DoColMoved(int ToDisplayCol, int Count, bool ByUser);

    // --- The in-cell control ---
    TtsCustomGridControl* ActiveControl() const { return FActive; }
    TtsDefaultGridControl& DefaultStrategy() { return *FDefaultStrategy; }
    TtsEditGridControl& EditStrategy() { return *FEditStrategy; }
    TtsCheckGridControl& CheckStrategy() { return *FCheckStrategy; }
    void ConfigureCellControl(TtsCustomGridControl& Strategy);
    void UpdateCellControl(bool Reload) override;
    void CloseCellControl(bool Flag) override;
    void ReopenCellControl(bool Flag) override;
    void ControlTypeChanged(int DataCol, int DataRow) override;
    void MaxLengthChanged(int DisplayCol, int Length) override;
    void MaskChanged(int DataCol, int DataRow) override;
    void ReloadMask();
    void ReloadCheckBoxValues() override;
    // The mask definitions the text editor finds cell masks in, by mask name.
    TtsMaskDefsComponent* MaskDefs() const;
    void SetMaskDefs(TtsMaskDefsComponent* Value);
    void ReloadCurrentValue() override;
    bool WantTabs() const { return FWantTabs; }
    bool AlwaysShowFocus() const { return FAlwaysShowFocus; }

    // --- Errors, stores, streams ---
    [[noreturn]] void RaiseGridError(const std::string& Message) const;
    // kind 0 row, 1 column.
    bool CheckRange(int Kind, int Index, int Maximum, int Minimum) const;
    bool IsReading() const override;
    bool IsWriting() const override;
    void RegisterCellElement(const TtsCellElement& Element);
    void UnregisterCellElement(const TtsCellElement& Element);
    std::unique_ptr<TtsGridStreamComponent> CreateStreamComponent();
    // The grid as a record ("Grid" of a layout, a combo's list): its settings,
    // counts, sizes, fonts and collections; its values with WithData.
    TtsGridModel& StreamModel() override { return *FModel; }
    void WriteGridRecord(TStream& S, bool WithData) override;
    void ReadGridRecord(TStream& S) override;
    // A grid of the same class, not shown, under the same parent, holding a copy of this one.
    std::unique_ptr<TtsStreamGrid> CloneGrid(bool WithData) override;
    virtual std::unique_ptr<TtsBaseGrid> CreateGridOfClass(fw::TComponent* AOwner) const;
    virtual const char* GridClassName() const { return "TtsBaseGrid"; }
    // How a layout's stored columns find this grid's: by data index (the default)
    // or by field name (stored columns whose name no column has are skipped, and
    // stored values follow their columns).
    TtsColBinding ColBinding() const override { return FColBinding; }
    void SetColBinding(TtsColBinding Value) { FColBinding = Value; }
    void SaveLayout(TStream& Stream, TtsPropKinds Parts, bool SaveData, TtsKindSet Kinds);
    // A refused stream throws EReadError and changes nothing here: a copy of the
    // grid reads it first.
    void LoadLayout(TStream& Stream, std::uint8_t Mode);
    // The same in a file: written whole beside it and then put in its place, so a
    // failed save leaves the old file; a load reads the file whole first.
    void SaveLayoutToFile(const std::string& FileName, TtsPropKinds Parts, bool SaveData,
                          TtsKindSet Kinds);
    void LoadLayoutFromFile(const std::string& FileName, std::uint8_t Mode);
    // The same as hexadecimal text under a key of the settings store; false
    // when the key or value is missing.
    void SaveLayoutToSettings(const std::string& Path, const std::string& Name,
                              const std::string& File, TtsPropKinds Parts, TtsKindSet Kinds);
    bool LoadLayoutFromSettings(const std::string& Path, const std::string& Name,
                                const std::string& File, std::uint8_t Mode);
    std::uint8_t LoadMode() const { return FLoadMode; }
    TtsKindSet LoadKinds() const { return FLoadKinds; }
    void ResetColProperties(TtsKindSet Kinds) { FModel->ResetColProperties(Kinds); }
    void ResetRowProperties(TtsKindSet Kinds) { FModel->ResetRowProperties(Kinds); }
    void ResetCellProperties(TtsKindSet Kinds) { FModel->ResetCellProperties(Kinds); }
    void ResetParts(TtsPropKinds Parts) { FModel->ResetParts(Parts); }
    void ResetAllProperties() { FModel->ResetAllProperties(); }
    void AddFreeNotification(fw::TComponent* Component);
    void RemoveFreeNotification(fw::TComponent* Component);

    // --- Combos and drop-downs (TSGridDropDown.cpp) ---
    // A combo cell (button type btCombo) drops its combo's list grid down under
    // the cell in a drop-down form; a date-time cell (btDateTimeDropDown or
    // btDateTimePopup) drops a month view. The button stands at the cell's right
    // while it is current; F4 and Alt+Down open and close, the list takes the
    // arrows, Enter picks, Escape closes. The closing hooks close it on a press
    // elsewhere or when another window is activated.
    bool IsDropDownList() const override { return FDropDownList; }
    // The combo factory, and the factory of a combo's list grid.
    TtsComboPtr CreateCombo() override;
    virtual std::unique_ptr<TtsComboGrid> CreateComboGrid(TtsCombo* Combo);
    // The grid-level combo, made on first use; GridCombo is null until then.
    TtsCombo* EnsureGridCombo() override;
    TtsCombo* GridCombo() const { return FGridCombo.get(); }
    // The combo of a cell: its own, its column's or row's, else the grid's.
    TtsCombo* CellCombo(int DataCol, int DataRow);
    TtsCombo* ActiveCombo() const { return FActiveCombo; }
    bool IsDropDownOpen() override { return FDropDown != TDropDownKind::None; }
    bool IsComboDropped() const { return FDropDown == TDropDownKind::Combo; }
    bool IsDateTimeDropped() const { return FDropDown == TDropDownKind::DateTime; }
    bool IsDropDownWindow(fw::HWND Wnd) override;
    bool MayCloseDropDown() override { return !FPicking; }
    // Flag: the drop-down closes without a pick (the hooks pass true).
    void CloseDropDown(bool Flag) override;
    // Opens the current cell's drop-down; false when the cell has none.
    bool DropDown();
    // Steps the number under the current spin cell's caret by its SpinIncrement, up (1)
    // or down (-1), as a press on its button does; false when there is nothing to step.
    bool SpinStep(int Dir);
    bool HasSpinButton() const;
    fw::HWND GridWindow() override { return Handle(); }
    fw::HWND ComboListWindow() override;
    fw::HWND CellControlWindow() override;
    TtsDropDownForm* DropDownForm() const { return FDropDownForm; }
    TtsMonthView* MonthView() const { return FMonthView; }
    void SetDropDownColWidth(int Width);
    void SetDropDownSize(int Cols, int Rows);
    void EndDateTimeDropDown() override;
    void ReleaseDateTimeDef(fw::TObject* Definition) override;
    void UseDateTimeDef(fw::TObject* Definition, bool Use) override;
    void ForgetActiveCombo(TtsCombo* Combo) override;
    void ReleasePendingCombo(bool Flag) override;
    void ReleaseCombo(TtsCombo* Combo, bool Flag) override;
    void ComboStyleChanged(TtsCombo* Combo) override;
    // A date-time definition of this grid's owners by name.
    fw::TObject* FindDateTimeDef(const std::string& Name) override;
    void ReselectCurrentCell() override;
    // A combo of this grid leaving it while this grid or the combo's list is in a
    // call: parked with the model's lines (false: free it now).
    bool ParkCombo(TtsCombo* Combo);
    fw::TComponent* BusyComponent() override;
    // The drop-down button of the current cell, in client coordinates (empty when none).
    fw::TRect CellButtonRect() const;
    // Takes a value picked in a drop-down as the current cell's edit.
    bool StorePickedValue(const TtsVariant& Value);
    // A picture cell showing an image of the image list takes the next (Step 1)
    // or previous (-1) image of the same set, as an edit; false when it cannot.
    bool StepPicture(int Step);
    // The cell property operations of fonts, combos and date-time definitions.
    const fw::TFont* GetCellFont(int DataCol, int DataRow) const;
    void SetCellFont(int DataCol, int DataRow, const fw::TFont* Value);
    bool GetCellParentFont(int DataCol, int DataRow) const;
    void SetCellParentFont(int DataCol, int DataRow, bool Value);
    TtsCombo* GetCellCombo(int DataCol, int DataRow) const;
    void SetCellCombo(int DataCol, int DataRow, const TtsCombo* Value);
    bool GetCellParentCombo(int DataCol, int DataRow) const;
    void SetCellParentCombo(int DataCol, int DataRow, bool Value);
    TtsDropDownStyle GetCellDropDownStyle(int DataCol, int DataRow) const;
    void SetCellDropDownStyle(int DataCol, int DataRow, TtsDropDownStyle Value);
    fw::TObject* GetCellDateTimeDef(int DataCol, int DataRow) const;
    void SetCellDateTimeDef(int DataCol, int DataRow, fw::TObject* Value);

    // --- Events ---
    TtsCellLoadedEvent OnCellLoaded;
    TtsCellEditEvent OnCellEdit;
    TtsCellCheckEvent OnCheckValue;
    TtsCellCancelEvent OnStartCellEdit;
    TtsCellCancelEvent OnEndCellEdit;
    std::function<void(fw::TObject* Sender, int DataCol, int DataRow, bool& CanLeave)>
        OnCanLeaveCell;
    TtsCellChangedEvent OnCellChanged;
    TtsRowChangedEvent OnRowChanged;
    TtsColMovedEvent OnColMoved;
    TtsHeadingClickEvent OnHeadingClick;
    TtsSelectChangedEvent OnSelectChanged;

    // Changes of counts, display order, lines and combos (see TtsGridModel::Stamp).
    std::uint32_t StructureStamp() const override;

protected:
    // The engine paints left to right only (what shows and where clicks land agree).
    bool PaintsRightToLeft() const override { return false; }
    // Every handler of the grid fires here: a copy of it (a handler may replace
    // itself), inside a busy scope (what it frees waits; see docs/grid.md).
    template <class F, class... A> void Fire(const F& Handler, A&&... Args) {
        if (!Handler && !fw::HandlerProbeActive()) return;
        TtsBusyScope Busy(*FModel);
        fw::CallHandler(Handler, std::forward<A>(Args)...);
    }
    void Paint() override;
    void MoveTopLeft(int ALeft, int ATop) override;
    void ScrollDataInfo(int DX, int DY, TGridDrawInfo& DrawInfo) override;
    void TopLeftMoved(const TGridCoord& OldTopLeft) override;
    void DrawCell(int ACol, int ARow, const fw::TRect& ARect, TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    void TopLeftChanged() override;
    void ColWidthsChanged() override;
    void RowHeightsChanged() override;
    void SizeChanged(int OldColCount, int OldRowCount) override;
    void TimedScroll(TGridScrollDirection Direction) override;
    void Click() override;
    void DblClick() override;
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    bool DoMouseWheel(fw::TShiftState Shift, int WheelDelta, fw::TPoint MousePos) override;
    void Dispatch(fw::TMessage& Message) override;
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;
    // A freed grid's open list closes at once: no hook reaches the grid after.
    void Withdraw() override;

    // The grid's own settings in its record, and one read back (false: not one of them).
    virtual void WriteGridSettings(TStream& S);
    virtual bool ReadGridSetting(const TtsStoredProp& P);

    // Keys of the grid or of its control: true when the grid used the key.
    bool GridKey(std::uint16_t Key, fw::TShiftState Shift);
    // A load run on a copy of the grid (without its values), to see it through.
    void TrialLoad(const std::function<void(TtsBaseGrid&)>& Load);
    void ApplyLayout(TStream& Stream, std::uint8_t Mode);
    // A layout load's state: the current cell's edit forgotten, the mode set and an
    // update open until the load ends, refused or not.
    void BeginLayoutLoad(std::uint8_t Mode);
    void EndLayoutLoad();
    void SetWantTabsValue(bool Value);
    void SetAlwaysShowFocusValue(bool Value);

    // The link's dealings with the current cell.
    bool HasWindow() const override { return HandleAllocated(); }
    bool HasEditor() const override { return FActive && FActive->IsTextControl(); }
    int EditorSelStart() const override { return FActive->GetSelStart(); }
    int EditorSelLength() const override { return FActive->GetSelLength(); }
    void SetEditorSelStart(int V) override { FActive->SetSelStart(V); }
    void SetEditorSelLength(int V) override { FActive->SetSelLength(V); }
    void EditorCopy() override { FActive->Copy(); }
    // A cut or paste that changed the text is an edit of the cell, as typing is.
    void EditorCut(bool Flag) override;
    bool EditorPaste(bool Flag) override;
    // The current cell and its control as an operation found them: a handler that
    // moved the cell, took it away or swapped its control ends the operation.
    struct TCellKept {
        TtsCustomGridControl* Active;
        int DataCol;
        int DataRow;
    };
    TCellKept KeepCell() const;
    bool CellKept(const TCellKept& K) const;
    // The text editor is active and shows the text it loaded: never edited, or undone.
    bool TextEditUndone() const;
    // A change of the editor's text (cut, paste): the grid hears of a new value
    // unless a handler moved the cell meanwhile; answers what Step answered.
    bool EditorStep(const std::function<bool()>& Step);
    std::string EditorText() const override { return VarToText(FActive->GetValue()); }
    bool CheckValue(int DisplayCol, const TtsVariant& Value) override;
    bool StartEdit() override;
    bool ColumnEdit(int DisplayCol) override;
    // The current cell may change: neither it, its lines nor the grid read-only or browsing.
    bool CurrentCellMayChange() { return CanEdit() && ColumnEdit(Current().X); }
    void EndPendingEdit() override { FCellModified = false; }
    void MarkRowChanged() override;
    void StoreCellValue(int DataCol, int DataRow, const TtsVariant& V) override;
    void LoadControl(const TtsVariant& Value, bool Select) override;
    TtsVariant FetchCellValue(int DataCol, int DataRow) override;
    bool IsLoadingValue() const override { return FLoadingValue; }
    void SetLoadingValue(bool On) override { FLoadingValue = On; }
    void RepaintCurrentCell() override;
    void MoveCurrentCol(int DisplayCol) override;

private:
    friend class TtsGridImageLink;
    // Painting (TSGridPaint.cpp).
    void DrawGrid(fw::TCanvas& C, const fw::TRect& Clip);
    void DrawHeading(fw::TCanvas& C, int DisplayCol, const fw::TRect& R);
    void DrawRowBar(fw::TCanvas& C, int DisplayRow, const fw::TRect& R);
    void DrawDataCell(fw::TCanvas& C, int DisplayCol, int DisplayRow, const fw::TRect& R);
    void DrawCellLines(fw::TCanvas& C, fw::TRect& R, bool Fixed);
    bool CellSelected(int DisplayCol, int DisplayRow) const;
    TtsCellPaint CellPaintOf(int DataCol, int DataRow, bool Selected);
    // The picture a value names, and the colour left out when it is drawn
    // (clNoneTs: none).
    const fw::TBitmap* PictureOf(const TtsVariant& Value, fw::TColor& TransparentColor) const;
    // Current cell and its control (TSGrid.cpp).
    TtsCustomGridControl* StrategyFor(TtsControlType Type) const;
    void BindControlEvents(TtsCustomGridControl& Strategy);
    void PlaceCellControl();
    void HideControl(TtsCustomGridControl& Strategy);
    bool ControlShouldShow() const;
    void ControlValueChanged();
    void ControlExit();
    void ControlKeyDown(std::uint16_t& Key, fw::TShiftState Shift);
    void ControlKeyPress(char& Key);
    void CurrentCellMoved(const TGridCoord& Old);
    void CurrentRowLeft(int OldDataRow);
    void GrowInsertRow(int DataRow);
    // Keys and mouse (TSGridInput.cpp).
    void DispatchGridMessage(fw::TMessage& Message);
    bool MoveKey(std::uint16_t Key, fw::TShiftState Shift);
    bool TabKey(fw::TShiftState Shift);
    bool EnterKey();
    TGridCoord StepCell(TGridCoord From, int DCol, int DRow) const;
    TGridCoord PageRows(TGridCoord From, int Dir) const;
    void ExtendRangeTo(const TGridCoord& To, bool ByUser);
    void ClickLine(bool Rows, int Display, fw::TShiftState Shift);
    void ClickRowBar(int DisplayRow, fw::TShiftState Shift);
    void ClickHeading(int DisplayCol, fw::TShiftState Shift);
    void SelectionChanged(TtsSelectKind Kind, bool ByUser);
    void SelectLines(bool Rows, int From, int To, bool Select);
    void ShrinkCellRange(bool Rows, int Display);
    // Drop-downs (TSGridDropDown.cpp).
    enum class TDropDownKind : std::uint8_t { None, Combo, DateTime };
    bool HasDropDownButton() const;
    TtsDropDownForm& EnsureDropDownForm();
    bool DropDownCombo(TtsCombo& Combo);
    bool DropDownDateTime();
    void ShowDropDown(fw::TWinControl& Content, int Width, int Height);
    bool DropDownKey(std::uint16_t Key, fw::TShiftState Shift);
    void ComboListPicked(int ListDataRow);
    void DatePicked(double Date);
    void HookControlKeys(bool On);
    void DrawCellButton(fw::TCanvas& C, const fw::TRect& CellRect);
    // Lines.
    void SyncBaseCounts();
    void RemoveBaseLines(bool Rows, const std::vector<int>& Removed);
    void ApplyGridLines();

    std::unique_ptr<TtsGridModel> FModel;
    TtsCurrentCell FCurrentCell;
    std::unique_ptr<TtsDefaultGridControl> FDefaultStrategy;
    std::unique_ptr<TtsEditGridControl> FEditStrategy;
    std::unique_ptr<TtsCheckGridControl> FCheckStrategy;
    TtsCustomGridControl* FActive = nullptr;
    TtsComboPtr FGridCombo;
    TtsCombo* FActiveCombo = nullptr;
    TtsDropDownForm* FDropDownForm = nullptr; // owned as a component
    TtsMonthView* FMonthView = nullptr;       // in the drop-down form
    TtsGridDateTimeLink FDateTimeLink{this};  // the definition of an open date-time drop-down
    TDropDownKind FDropDown = TDropDownKind::None;
    fw::TWinControl* FHookedControl = nullptr;
    bool FPicking = false;
    // Spin buttons (TSGridSpin.cpp): the half held down, 1 adding, -1 taking away, 0 none.
    int FSpinPressed = 0;
    bool SpinIsVertical() const;
    int SpinHalfAt(int X, int Y) const;
    void DrawSpinButton(fw::TCanvas& C, const fw::TRect& Button);
    void SpinPress(int Half);
    void SpinRelease();
    bool SpinTimer(std::uintptr_t Id);
    bool SpinKey(std::uint16_t Key, fw::TShiftState Shift);
    std::vector<std::pair<fw::TComponent*, int>> FDateTimeUses;
    TtsGridImageLink FImageLink{this};
    std::vector<fw::TComponent*> FFreeNotifies;
    TGridRect FRange{0, 0, -1, -1};
    TGridCoord FRangeAnchor{-1, -1};
    TGridCoord FRangeEnd{-1, -1};
    fw::TCanvas* FPaintCanvas = nullptr;
    bool FLeaveChecked = false; // a move whose leave check is made already
    int FLastClickedRow = -1;
    int FLastClickedCol = -1;
    fw::TColor FLineColor = fw::clSilver;
    TtsGridLines FGridLines = glBoth;
    TtsGridMode FGridMode = gmEdit;
    bool FRowBarOn = true;
    bool FHeadingOn = true;
    int FRowBarWidth = 12;
    int FHeadingHeight = 18;
    bool FNoPaint = false;
    int FUpdateCount = 0;

protected:
    bool FDropDownList = false;

private:
    bool FDataFlag = false;
    std::uint8_t FLoadMode = 0;
    TtsColBinding FColBinding = bmDataCol;
    TtsKindSet FLoadKinds = 0;
    bool FCanvasInUse = false;
    bool FCellModified = false;
    bool FEditStarted = false;
    bool FRowChanged = false;
    bool FLoadingValue = false;
    bool FMoveBlocked = false;
    bool FDragSelecting = false;
    bool FFocusing = false; // the grid moves the focus itself: no control shows meanwhile
    bool FControlClosed = false;
    bool FSyncing = false; // the base grid follows the model's counts
    int FRowChangedRow = -1;
    int FSizesPending = 0; // width and height changes gathered before one re-layout

protected:
    bool FWantTabs = true;
    bool FAlwaysShowFocus = false;
};

class TtsCustomGrid : public TtsBaseGrid {
public:
    explicit TtsCustomGrid(fw::TComponent* AOwner) : TtsBaseGrid(AOwner) {}
    TtsCheckBoxStyle CheckBoxStyle() const { return FCheckBoxStyle; }
    void SetCheckBoxStyle(TtsCheckBoxStyle Value);
    std::unique_ptr<TtsBaseGrid> CreateGridOfClass(fw::TComponent* AOwner) const override;
    const char* GridClassName() const override { return "TtsCustomGrid"; }

protected:
    void WriteGridSettings(TStream& S) override;
    bool ReadGridSetting(const TtsStoredProp& P) override;

private:
    TtsCheckBoxStyle FCheckBoxStyle = stCheck;
};

class TtsGrid : public TtsCustomGrid {
public:
    explicit TtsGrid(fw::TComponent* AOwner) : TtsCustomGrid(AOwner) {}
    void SetAlwaysShowFocus(bool Value);
    void SetWantTabs(bool Value);
    std::unique_ptr<TtsBaseGrid> CreateGridOfClass(fw::TComponent* AOwner) const override;
    const char* GridClassName() const override { return "TtsGrid"; }
};

// --- Unit start-up: the grid's cursors and pictures, and the shared canvases ---
//
// The module that holds the grids runs the unit's start in its own start-up
// order and its end at unload, after its last grid has gone; the end gives
// back what the unit made, so that nothing of an unloaded module's copy is
// left. A program that never runs the start gets each part on first use.

// The pictures below and the two memory canvases (TSShared.h).
void InitializeTSGridUnit();
// Frees the canvases (each only once nobody paints with it), the pictures,
// the check-box glyph strip and an empty shared bitmap set.
void FinalizeTSGridUnit();

// The cursors the grid shows: the framework's own.
constexpr fw::TCursor crTsColSize = fw::crHSplit;
constexpr fw::TCursor crTsRowSize = fw::crVSplit;

// The current-row arrow, the three sort glyphs (up, down, bullet) and the spin arrows
// (up above down, left beside right). A resource of the same name ("TSGRID_ARROW",
// "TSGRID_SORTUP", "TSGRID_SORTDOWN", "TSGRID_SORTBULLET", "TSGRID_SPIN",
// "TSGRID_SPINHORZ") takes the place of the drawn picture.
enum class TtsGridPicture { Arrow, SortUp, SortDown, SortBullet, Spin, SpinHorz };
// Loaded by the unit's start, else on first use.
const fw::TBitmap& GridPicture(TtsGridPicture Which);
void LoadGridPictures();
void FreeGridPictures();

} // namespace vel
