#pragma once
// The data half of the grid engine: counts, defaults, fonts, the column and
// row stores, display order, visibility, selections, per-cell overrides and
// the grid's own stored values, with the effective-value resolution over
// cell, column, row and grid.
#include "Classes.h"
#include "TSCellOps.h"
#include "TSCellProps.h"
#include "TSGridStores.h"
#include "TSSelection.h"
#include "TSStorage.h"

#include <functional>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vel {

// The most data columns and rows a grid holds. A larger count is refused before
// anything changes, and a stored layout may ask for as many: whatever a grid
// writes, a grid reads. A column costs some 450 bytes and a row some 16, so the
// largest grid a layout can ask for stays near 60 MB of columns and of rows.
constexpr int MaxGridCols = 1 << 17;
constexpr int MaxGridRows = 1 << 22;
static_assert(MaxGridRows <= Tts2DStorage::MaxStoredRow, "a grid's values read back whole");

class TtsGridModel : public TtsCellPropertyOps<TtsGridModel> {
public:
    // cols and rows are data counts (the fixed column 0 and heading row 0 come on top).
    TtsGridModel(std::string name, int cols, int rows, TtsGridLink* link = nullptr);
    virtual ~TtsGridModel();
    TtsGridModel(const TtsGridModel&) = delete;
    TtsGridModel& operator=(const TtsGridModel&) = delete;

    std::string Name;
    TtsGridLink* Link;
    // A link that keeps the line sizes takes them over: the model's own go.
    void AttachLink(TtsGridLink* link);
    // Out-of-range indexes raise instead of answering none.
    bool RangeErrors = false;

    [[noreturn]] void RaiseGridError(const std::string& message) const;
    // kind 0 row, 1 column.
    bool CheckRange(int kind, int index, int maximum, int minimum) const;

    // Counts past MaxGridCols or MaxGridRows raise "Grid too large for operation".
    int Cols() const { return FColCount; }
    void SetCols(int n);
    int Rows() const { return FRowCount; }
    void SetRows(int n);
    int DefaultColWidth() const { return FDefaultColWidth; }
    // Lines at the old default take the new one; lines given their own size keep it.
    void SetDefaultColWidth(int v);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int v);
    int DefaultAssignedRowHeight() const { return FDefaultRowHeight; }

    // The grid-level settings the cells fall back to.
    fw::TColor Color = fw::clWindow;
    TtsControlType GridControlType = ctText;
    TtsHorzAlignment GridHorzAlignment = htaLeft;
    TtsVertAlignment GridVertAlignment = vtaTop;
    TtsWordWrap GridWordWrap = wwOff;
    bool GridReadOnly = false;
    TtsButtonType GridButtonType = btNone;
    TtsDrawOverlap DrawOverlap = doDrawColOnTop;
    fw::TFont Font;
    fw::TFont HeadingFont;
    bool IsReadingStream = false; // the grid's own load flag
    bool IsWritingStream = false; // the grid's own save flag
    bool IsReading() const { return IsReadingStream || (Link && Link->IsReading()); }
    bool IsWriting() const { return IsWritingStream || (Link && Link->IsWriting()); }

    // Line sizes by display index (0 = fixed line).
    int ColWidthAt(int display) const;
    void SetColWidthAt(int display, int pixels);
    int RowHeightAt(int display) const;
    void SetRowHeightAt(int display, int pixels);

    // Display order both ways in constant time: the data column at a display position
    // and back, -1 outside 0..Cols; rows likewise.
    int DataColAt(int display) const;
    int DisplayColOf(int dataCol) const;
    // Costs the distance moved: the lines between shift by one.
    void MoveCol(int fromDisplay, int toDisplay);
    int DataRowAt(int display) const;
    int DisplayRowOf(int dataRow) const;
    void SetDisplayRow(int dataRow, int position);
    // Rows take display positions at once (a layout load): each listed (data row,
    // position) its own, the others the free positions in their present order. Later
    // entries for a taken row or position are ignored.
    void SetDisplayRows(const std::vector<std::pair<int, int>>& rowPositions);

    TtsGridCols& ColStore() { return *FCols; }
    TtsGridRows& RowStore() { return *FRows; }
    const TtsGridRows& RowStore() const { return *FRows; }
    TtsCol* Col(int dataCol) const;
    // Makes the row object when needed; FreeRowIfUnused afterwards.
    TtsRow* Row(int dataRow);
    TtsCellPropSet& CellProps() { return FCellProps; }
    const TtsCellPropSet& CellProps() const { return FCellProps; }
    TtsCell Cell(int dataCol, int dataRow) { return TtsCell(this, dataCol, dataRow); }
    // The cells of the per-cell property operations are the model's own.
    TtsGridModel& CellModel() { return *this; }
    const TtsGridModel& CellModel() const { return *this; }
    // Whether (data column, data row) lies in the grid, headings included; outside it
    // raises with range errors on.
    bool CellInRange(int dataCol, int dataRow) const;
    // Runs a change of a cell's control type: the current cell's control is closed
    // around it and opened again, and the link hears of the new type.
    void ChangeCellControl(int dataCol, int dataRow, const std::function<void()>& change);
    TtsVisibleItems VisibleCols;
    TtsVisibleItems VisibleRows;
    TtsSelection ColSelection;
    TtsSelection RowSelection;
    TtsCoordList OwnFontCells;
    TtsIntegerSet OwnFontCols;
    TtsIntegerSet OwnFontRows;
    // Data column for stored column i at entry i - 1 (built while loading layouts).
    std::vector<std::int32_t> FieldPositions;

    bool StoreData() const { return FStorage != nullptr; }
    void SetStoreData(bool v);
    Tts2DStorage* Storage() const { return FStorage.get(); }

    // Effective values over cell, column, row and grid.
    fw::TColor EffectiveColor(int dataCol, int dataRow) const;
    TtsControlType EffectiveControlType(int dataCol, int dataRow) const;
    TtsHorzAlignment EffectiveHorzAlignment(int dataCol, int dataRow) const;
    TtsVertAlignment EffectiveVertAlignment(int dataCol, int dataRow) const;
    TtsWordWrap EffectiveWordWrap(int dataCol, int dataRow) const;
    TtsButtonType EffectiveButtonType(int dataCol, int dataRow) const;
    bool EffectiveReadOnly(int dataCol, int dataRow) const;
    bool EffectiveIs3D(int dataCol, int dataRow) const;
    std::string EffectiveMaskName(int dataCol, int dataRow) const;
    TtsDropDownStyle EffectiveDropDownStyle(int dataCol, int dataRow) const;
    TtsSpinOptions EffectiveSpinOptions(int dataCol, int dataRow) const;
    double EffectiveSpinIncrement(int dataCol, int dataRow) const;
    TtsDrawOption EffectivePictureOption(int sub, int dataCol, int dataRow) const;
    const fw::TFont& EffectiveFont(int dataCol, int dataRow) const;
    // The font a cell inherits: its column's or row's own (by DrawOverlap), else the grid's.
    const fw::TFont& InheritedFont(int dataCol, int dataRow) const;
    // The combo a cell uses: its own, else its column's or row's (by DrawOverlap), else
    // the grid's (null while the grid has made none).
    TtsCombo* EffectiveCombo(int dataCol, int dataRow) const;
    fw::TObject* EffectiveDateTimeDef(int dataCol, int dataRow) const;
    // The grid-level combo, owned by the engine.
    TtsCombo* GridCombo = nullptr;

    // --- Handlers that change the grid while a call runs (docs/grid.md) ---
    // Bumped by every change of the counts, of the display order and by every
    // line or combo that leaves the grid: an operation that fired a handler
    // compares it before it goes on with what it read before.
    std::uint32_t Stamp() const { return FStamp; }
    void Touch() { ++FStamp; }
    // While busy (a handler runs, or an operation holds lines or combos across
    // handler calls; TtsBusyScope), lines and combos that leave the grid are
    // detached and parked, not freed: they go when control is back in the
    // message loop with the grid idle, or with the grid.
    bool Busy() const { return FBusy > 0; }
    void EnterBusy() { ++FBusy; }
    void LeaveBusy() { --FBusy; }
    // A line leaving the grid: freed at once unless busy, else parked.
    void DropLine(std::unique_ptr<TtsLine> line);
    // An object (a combo) leaving the grid while a call on it may run: parked.
    void ParkObject(std::unique_ptr<fw::TObject> object);
    // Frees what is parked (nothing while busy).
    void FreeParked();
    std::size_t ParkedCount() const { return FParkedLines.size() + FParkedObjects.size(); }

    // Forgets the last cell looked up (it is forgotten too whenever an element comes or goes).
    void ClearCellCache();
    // Cells that keep their own fonts while inheriting take the font they would inherit.
    void RefreshOwnFontCells();

    // After the grid font changed: columns, rows and cells that keep their own
    // fonts while inheriting take the new font.
    void FontChanged();

    // Counts, defaults, grid settings, columns, rows, cells and display order of
    // another model (its stored values too with withData).
    void Assign(const TtsGridModel& source, bool withData);

    void ResetColProperties(TtsKindSet kinds);
    void ResetRowProperties(TtsKindSet kinds);
    void ResetCellProperties(TtsKindSet kinds);
    void ResetParts(TtsPropKinds parts);
    void ResetAllProperties();

    // Notifications from the columns, rows and cells.
    void RepaintCol(int display);
    void RepaintRow(int display);
    void RepaintCell(int dataCol, int dataRow, bool controlProperty);
    bool IsCurrentCol(int display) const;
    bool IsCurrentRow(int display) const;

private:
    bool OwnSizes() const { return !(Link && Link->KeepsLineSizes()); }
    // Cell elements and own-font entries of lines at or beyond `first` go.
    void DropCellsFrom(bool rows, int first);
    // Display positions (ascending) of the data lines beyond `count`.
    std::vector<int> RemovedColPositions(int count) const;
    std::vector<int> RemovedRowPositions(int count) const;
    void CompactRowOrder(const std::vector<int>& removed, int count);
    void RebuildVisibleCols();
    void RebuildVisibleRows();
    void SyncColDisplay(int from, int to);
    void ApplyRowOrder(const std::vector<int>& dataAt);
    struct TLines {
        const TtsCol* Col = nullptr;
        const TtsRow* Row = nullptr;
        const TtsCellElement* Cell = nullptr;
    };
    TLines LinesOf(int dataCol, int dataRow) const;
    const TtsCellElement* CachedElement(int dataCol, int dataRow) const;
    struct TCellCache {
        bool Valid = false;
        int Col = 0;
        int Row = 0;
        std::uint32_t Generation = 0;
        const TtsCellElement* Element = nullptr;
    };
    mutable TCellCache FCache;
    void SyncVisible();

    int FColCount;
    int FRowCount;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 14;
    std::vector<int> FColWidths;  // own sizes by display index 0..Cols, unless the link keeps them
    std::vector<int> FRowHeights; // own sizes by display index 0..Rows, likewise
    std::vector<int> FColOrder;   // display -> data
    std::vector<int> FColDisplay; // data -> display
    std::unique_ptr<TtsGridCols> FCols;
    std::unique_ptr<TtsGridRows> FRows;
    TtsCellPropSet FCellProps;
    std::unique_ptr<Tts2DStorage> FStorage;
    std::uint32_t FStamp = 0;
    int FBusy = 0;
    std::vector<std::unique_ptr<TtsLine>> FParkedLines;
    std::vector<std::unique_ptr<fw::TObject>> FParkedObjects;
};

// An operation that fires handlers and goes on after them, or a handler's
// call: the model is busy (lines and combos that leave meanwhile are parked)
// and the engine is held (a handler's free of it waits for the outermost scope).
// A line's scope names its grid, null for a detached line (no scope then).
class TtsBusyScope {
public:
    explicit TtsBusyScope(TtsGridModel& model) : TtsBusyScope(&model) {}
    explicit TtsBusyScope(TtsGridModel* model);
    ~TtsBusyScope() {
        if (FModel) FModel->LeaveBusy();
    }
    TtsBusyScope(const TtsBusyScope&) = delete;
    TtsBusyScope& operator=(const TtsBusyScope&) = delete;

private:
    std::optional<fw::TFreeGuard> FHold; // left last
    TtsGridModel* FModel;
};

// --- The per-cell property operations, over the model's cell property set ---

template <class Owner>
TtsVariant TtsCellPropertyOps<Owner>::OpsGet(int DataCol, int DataRow, int Id, int Sub) const {
    const TtsGridModel& G = OpsModel();
    if (!G.CellInRange(DataCol, DataRow)) return DefaultPropertyValue(Id, Sub);
    return G.CellProps().GetProperty(DataCol, DataRow, Id, Sub);
}

template <class Owner>
bool TtsCellPropertyOps<Owner>::OpsSet(int DataCol, int DataRow, int Id, const TtsVariant& V,
                                       int Sub) {
    TtsGridModel& G = OpsModel();
    if (!G.CellInRange(DataCol, DataRow)) return false;
    return G.CellProps().SetProperty(TtsCellKey{DataCol, DataRow}, true, Sub, Id, V);
}

template <class Owner>
void TtsCellPropertyOps<Owner>::SetCellControlType(int DataCol, int DataRow, TtsControlType V) {
    if (GetCellControlType(DataCol, DataRow) == V) return;
    OpsModel().ChangeCellControl(DataCol, DataRow, [&] {
        OpsSet(DataCol, DataRow, prControlType, TtsVariant(std::uint8_t{V}));
    });
}

} // namespace vel
