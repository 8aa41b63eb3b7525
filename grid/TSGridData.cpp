#include "TSGridData.h"

#include "Grids_ts.h"

#include <algorithm>

namespace vel {

TtsGridModel::TtsGridModel(std::string name, int cols, int rows, TtsGridLink* link)
    : Name(std::move(name)), Link(link), FColCount(std::max(0, cols)), FRowCount(std::max(0, rows)),
      FCellProps(this) {
    FColWidths.assign(static_cast<std::size_t>(FColCount) + 1, FDefaultColWidth);
    FRowHeights.assign(static_cast<std::size_t>(FRowCount) + 1, FDefaultRowHeight);
    FColOrder.resize(static_cast<std::size_t>(FColCount) + 1);
    for (int i = 0; i <= FColCount; ++i)
        FColOrder[static_cast<std::size_t>(i)] = i;
    FCols = std::make_unique<TtsGridCols>(this, FColCount + 1);
    FRows = std::make_unique<TtsGridRows>(this, FRowCount + 1);
    SyncVisible();
    ColSelection.SetSize(FColCount + 1);
    RowSelection.SetSize(FRowCount + 1);
}

TtsGridModel::~TtsGridModel() {
    // Columns and rows talk to the grid while they go; let them go first.
    FCols.reset();
    FRows.reset();
    FCellProps.Clear();
}

void TtsGridModel::RaiseGridError(const std::string& message) const {
    throw EInvalidGridOperation(Name + ": " + message);
}

bool TtsGridModel::CheckRange(int kind, int index, int maximum, int minimum) const {
    if (index >= minimum && index <= maximum) return true;
    if (RangeErrors)
        RaiseGridError((kind == 0 ? "Row index " : "Column index ") + std::to_string(index) +
                       " out of range");
    return false;
}

void TtsGridModel::SyncVisible() {
    VisibleCols.SetCount(FColCount, VisibleCols.ItemCount() + 1);
    VisibleRows.SetCount(FRowCount, VisibleRows.ItemCount() + 1);
}

void TtsGridModel::SetCols(int n) {
    n = std::max(0, n);
    if (n == FColCount) return;
    const int old = FColCount;
    FColCount = n;
    if (n < old) {
        // Display slots of the data columns that go are dropped with their widths.
        std::vector<int> order;
        std::vector<int> widths;
        for (std::size_t i = 0; i < FColOrder.size(); ++i)
            if (FColOrder[i] <= n) {
                order.push_back(FColOrder[i]);
                widths.push_back(FColWidths[i]);
            }
        FColOrder = std::move(order);
        FColWidths = std::move(widths);
    } else {
        for (int i = old + 1; i <= n; ++i) {
            FColOrder.push_back(i);
            FColWidths.push_back(FDefaultColWidth);
        }
    }
    FCols->Resize(old + 1, n + 1);
    for (int i = 0; i <= n; ++i)
        if (TtsCol* c = FCols->Col(i)) c->SetDisplayColField(DisplayColOf(i));
    // The visible positions follow the columns' own flags.
    bool allVisible = true;
    for (int i = 1; i <= n; ++i)
        if (!FCols->Col(i)->Visible()) allVisible = false;
    VisibleCols = TtsVisibleItems();
    VisibleCols.SetCount(n, 1);
    if (!allVisible)
        for (int i = 1; i <= n; ++i)
            if (!FCols->Col(i)->Visible()) VisibleCols.Remove(FCols->Col(i)->DisplayCol());
    ColSelection.SetSize(n + 1);
    if (FStorage && n < old) FStorage->DeleteCols(n + 1, old);
}

void TtsGridModel::SetRows(int n) {
    n = std::max(0, n);
    if (n == FRowCount) return;
    const int old = FRowCount;
    for (int p = old; p > n; --p)
        if (VisibleRows.Active()) VisibleRows.Remove(p);
    FRowCount = n;
    FRowHeights.resize(static_cast<std::size_t>(n) + 1, FDefaultRowHeight);
    FRows->Resize(old + 1, n + 1);
    if (!VisibleRows.Active())
        VisibleRows.SetCount(n, 1);
    else
        for (int p = old + 1; p <= n; ++p)
            VisibleRows.Add(p);
    RowSelection.SetSize(n + 1);
    if (FStorage && n < old) FStorage->DeleteRows(n + 1, old);
}

namespace {

int SizeAt(const std::vector<int>& sizes, int count, int display, int fallback) {
    return display >= 0 && display <= count ? sizes[static_cast<std::size_t>(display)] : fallback;
}

// False when the line is out of range or already that size, so the link hears nothing.
bool StoreSizeAt(std::vector<int>& sizes, int count, int display, int pixels) {
    if (display < 0 || display > count) return false;
    auto& size = sizes[static_cast<std::size_t>(display)];
    if (size == pixels) return false;
    size = pixels;
    return true;
}

} // namespace

int TtsGridModel::ColWidthAt(int display) const {
    return SizeAt(FColWidths, FColCount, display, FDefaultColWidth);
}

void TtsGridModel::SetColWidthAt(int display, int pixels) {
    if (StoreSizeAt(FColWidths, FColCount, display, pixels) && Link)
        Link->SetColWidthAt(display, pixels);
}

int TtsGridModel::RowHeightAt(int display) const {
    return SizeAt(FRowHeights, FRowCount, display, FDefaultRowHeight);
}

void TtsGridModel::SetRowHeightAt(int display, int pixels) {
    if (StoreSizeAt(FRowHeights, FRowCount, display, pixels) && Link)
        Link->SetRowHeightAt(display, pixels);
}

int TtsGridModel::DataColAt(int display) const {
    if (display < 0 || display > FColCount) return -1;
    return FColOrder[static_cast<std::size_t>(display)];
}

int TtsGridModel::DisplayColOf(int dataCol) const {
    for (int i = 0; i <= FColCount; ++i)
        if (FColOrder[static_cast<std::size_t>(i)] == dataCol) return i;
    return -1;
}

void TtsGridModel::MoveCol(int from, int to) {
    if (from == to || from < 1 || to < 1 || from > FColCount || to > FColCount) return;
    const int data = FColOrder[static_cast<std::size_t>(from)];
    const int width = FColWidths[static_cast<std::size_t>(from)];
    const bool selected = ColSelection.IsSelected(from);
    FColOrder.erase(FColOrder.begin() + from);
    FColOrder.insert(FColOrder.begin() + to, data);
    FColWidths.erase(FColWidths.begin() + from);
    FColWidths.insert(FColWidths.begin() + to, width);
    // Selection bits move with the column.
    const int lo = std::min(from, to);
    const int hi = std::max(from, to);
    std::vector<bool> bits;
    for (int i = lo; i <= hi; ++i)
        bits.push_back(ColSelection.IsSelected(i));
    bits.erase(bits.begin() + (from - lo));
    bits.insert(bits.begin() + (to - lo), selected);
    for (int i = lo; i <= hi; ++i)
        ColSelection.Select(i, bits[static_cast<std::size_t>(i - lo)]);
    VisibleCols.MoveItem(from, to);
    for (int i = 0; i <= FColCount; ++i)
        if (TtsCol* c = FCols->Col(i)) c->SetDisplayColField(DisplayColOf(i));
    if (Link) Link->ColMoved(from, to);
}

int TtsGridModel::DataRowAt(int display) const {
    if (!FRows->HasDisplayTable()) return display;
    for (int i = 0; i <= FRowCount; ++i)
        if (FRows->DisplayRow(i) == display) return i;
    return -1;
}

int TtsGridModel::DisplayRowOf(int dataRow) const {
    return FRows->DisplayRow(dataRow);
}

void TtsGridModel::SetDisplayRow(int dataRow, int position) {
    if (dataRow < 1 || dataRow > FRowCount || position < 1 || position > FRowCount) return;
    const int old = DisplayRowOf(dataRow);
    if (old == position) return;
    FRows->EnsureDisplayTable();
    for (int i = 1; i <= FRowCount; ++i) {
        const int d = FRows->DisplayRow(i);
        if (position > old && d > old && d <= position) FRows->SetDisplayRowEntry(i, d - 1);
        if (position < old && d >= position && d < old) FRows->SetDisplayRowEntry(i, d + 1);
    }
    FRows->SetDisplayRowEntry(dataRow, position);
    const int h = FRowHeights[static_cast<std::size_t>(old)];
    FRowHeights.erase(FRowHeights.begin() + old);
    FRowHeights.insert(FRowHeights.begin() + position, h);
    VisibleRows.MoveItem(old, position);
}

TtsCol* TtsGridModel::Col(int dataCol) const {
    if (!CheckRange(1, dataCol, FColCount, 0)) return nullptr;
    return FCols->Col(dataCol);
}

TtsRow* TtsGridModel::Row(int dataRow) {
    if (!CheckRange(0, dataRow, FRowCount, 0)) return nullptr;
    return FRows->EnsureRow(dataRow);
}

void TtsGridModel::SetStoreData(bool v) {
    if (v == StoreData()) return;
    if (v)
        FStorage = std::make_unique<Tts2DStorage>(0, 0);
    else
        FStorage.reset();
}

// --- Effective values ---------------------------------------------------------------------------

namespace {

template <class T, class Get>
T Resolve(const TtsGridModel& g, const TtsCol* col, const TtsRow* row, T cellValue, T unset,
          T gridValue, Get get) {
    if (cellValue != unset) return cellValue;
    const TtsLineProps* first = col ? &col->P : nullptr;
    const TtsLineProps* second = row ? &row->P : nullptr;
    if (g.DrawOverlap == doDrawRowOnTop) std::swap(first, second);
    if (first && get(*first) != unset) return get(*first);
    if (second && get(*second) != unset) return get(*second);
    return gridValue;
}

} // namespace

TtsGridModel::TLines TtsGridModel::LinesOf(int dataCol, int dataRow) const {
    TLines l;
    if (dataCol >= 0 && dataCol <= FColCount) l.Col = FCols->Col(dataCol);
    if (dataRow >= 0 && dataRow <= FRowCount) l.Row = FRows->Row(dataRow);
    l.Cell = FCellProps.Element(dataCol, dataRow);
    return l;
}

fw::TColor TtsGridModel::EffectiveColor(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<fw::TColor>(*this, col, row, cell ? cell->P.Color : clNoneTs, clNoneTs, Color,
                               [](const TtsLineProps& p) { return p.Color; });
}

TtsControlType TtsGridModel::EffectiveControlType(int dataCol, int dataRow) const {
    if (dataCol < 0 || dataCol > Cols() || dataRow < 0 || dataRow > Rows()) return ctNone;
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<TtsControlType>(*this, col, row, cell ? cell->P.ControlType : ctDefault,
                                   ctDefault, GridControlType,
                                   [](const TtsLineProps& p) { return p.ControlType; });
}

TtsHorzAlignment TtsGridModel::EffectiveHorzAlignment(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<TtsHorzAlignment>(*this, col, row, cell ? cell->P.HorzAlignment : htaDefault,
                                     htaDefault, GridHorzAlignment,
                                     [](const TtsLineProps& p) { return p.HorzAlignment; });
}

TtsVertAlignment TtsGridModel::EffectiveVertAlignment(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<TtsVertAlignment>(*this, col, row, cell ? cell->P.VertAlignment : vtaDefault,
                                     vtaDefault, GridVertAlignment,
                                     [](const TtsLineProps& p) { return p.VertAlignment; });
}

TtsWordWrap TtsGridModel::EffectiveWordWrap(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<TtsWordWrap>(*this, col, row, cell ? cell->P.WordWrap : wwDefault, wwDefault,
                                GridWordWrap, [](const TtsLineProps& p) { return p.WordWrap; });
}

TtsButtonType TtsGridModel::EffectiveButtonType(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<TtsButtonType>(*this, col, row, cell ? cell->P.ButtonType : btDefault, btDefault,
                                  GridButtonType,
                                  [](const TtsLineProps& p) { return p.ButtonType; });
}

bool TtsGridModel::EffectiveReadOnly(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    if (cell && cell->CellReadOnly != roDefault) return cell->CellReadOnly == roOn;
    return GridReadOnly || (col && col->P.ReadOnly) || (row && row->P.ReadOnly);
}

TtsDrawOption TtsGridModel::EffectivePictureOption(int sub, int dataCol, int dataRow) const {
    if (sub < 1 || sub > 4) return dopDefault;
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    const auto i = static_cast<std::size_t>(sub - 1);
    return Resolve<TtsDrawOption>(*this, col, row, cell ? cell->P.Picture[i] : dopDefault,
                                  dopDefault, dopDefault,
                                  [i](const TtsLineProps& p) { return p.Picture[i]; });
}

const fw::TFont& TtsGridModel::EffectiveFont(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    if (cell && cell->P.Font) return *cell->P.Font;
    const TtsLineProps* first = col ? &col->P : nullptr;
    const TtsLineProps* second = row ? &row->P : nullptr;
    if (DrawOverlap == doDrawRowOnTop) std::swap(first, second);
    if (first && first->Font) return *first->Font;
    if (second && second->Font) return *second->Font;
    return Font;
}

void TtsGridModel::FontChanged() {
    auto refresh = [this](TtsLineProps& p) {
        if (p.ParentFont && p.Font) p.Font->Assign(Font);
    };
    for (int i = 0; i <= FColCount; ++i)
        if (TtsCol* c = FCols->Col(i)) refresh(c->P);
    for (int i = 0; i <= FRowCount; ++i)
        if (TtsRow* r = FRows->Row(i)) refresh(r->P);
    int at = 0, col = 0, row = 0;
    while (OwnFontCells.NextPair(at, col, row))
        if (TtsCellElement* e = FCellProps.Element(col, row)) refresh(e->P);
}

// --- Resets --------------------------------------------------------------------------------------

void TtsGridModel::ResetColProperties(TtsKindSet kinds) {
    for (int i = 0; i <= FColCount; ++i)
        if (TtsCol* c = FCols->Col(i)) c->ResetProperties(kinds);
}

void TtsGridModel::ResetRowProperties(TtsKindSet kinds) {
    for (int i = 0; i <= FRowCount; ++i) {
        if (TtsRow* r = FRows->Row(i)) {
            r->ResetProperties(kinds);
            FRows->FreeRowIfUnused(i);
        }
    }
}

void TtsGridModel::ResetCellProperties(TtsKindSet kinds) {
    FCellProps.ResetElements(kinds, true);
}

void TtsGridModel::ResetParts(TtsPropKinds parts) {
    if (parts & pkCols) ResetColProperties(AllKinds);
    if (parts & pkRows) ResetRowProperties(AllKinds);
    if (parts & pkCells) ResetCellProperties(AllKinds);
}

void TtsGridModel::ResetAllProperties() {
    ResetParts(pkGrid | pkCols | pkRows | pkCells);
}

// --- Repaints ------------------------------------------------------------------------------------

bool TtsGridModel::IsCurrentCol(int display) const {
    return Link && display >= 0 && Link->CurrentDisplayCol() == display;
}

bool TtsGridModel::IsCurrentRow(int display) const {
    return Link && display >= 0 && Link->CurrentDisplayRow() == display;
}

void TtsGridModel::RepaintCol(int display) {
    if (!Link || Link->IsPaintLocked()) return;
    if (Link->InvalidateCol(display) && IsCurrentCol(display)) Link->UpdateCellControl(false);
}

void TtsGridModel::RepaintRow(int display) {
    if (!Link || Link->IsPaintLocked()) return;
    if (Link->InvalidateRow(display) && IsCurrentRow(display)) Link->UpdateCellControl(false);
}

void TtsGridModel::RepaintCell(int dataCol, int dataRow, bool controlProperty) {
    if (!Link || dataCol < 0 || dataCol > FColCount || dataRow < 0 || dataRow > FRowCount) return;
    if (controlProperty && Link->IsPaintLocked()) return;
    const int c = DisplayColOf(dataCol);
    const int r = DisplayRowOf(dataRow);
    if (Link->InvalidateDisplayCell(c, r) && IsCurrentCol(c) && IsCurrentRow(r)) {
        Link->UpdateCellControl(false);
        Link->ReloadCurrentValue();
    }
}

} // namespace vel
