#include "TSGridData.h"

#include "Grids_ts.h"

#include <algorithm>

namespace vel {

TtsGridModel::TtsGridModel(std::string name, int cols, int rows, TtsGridLink* link)
    : Name(std::move(name)), Link(link), ColCount_(std::max(0, cols)), RowCount_(std::max(0, rows)),
      CellProps_(this) {
    ColWidths_.assign(static_cast<std::size_t>(ColCount_) + 1, DefaultColWidth_);
    RowHeights_.assign(static_cast<std::size_t>(RowCount_) + 1, DefaultRowHeight_);
    ColOrder_.resize(static_cast<std::size_t>(ColCount_) + 1);
    for (int i = 0; i <= ColCount_; ++i)
        ColOrder_[static_cast<std::size_t>(i)] = i;
    Cols_ = std::make_unique<TtsGridCols>(this, ColCount_ + 1);
    Rows_ = std::make_unique<TtsGridRows>(this, RowCount_ + 1);
    SyncVisible();
    ColSelection.SetSize(ColCount_ + 1);
    RowSelection.SetSize(RowCount_ + 1);
}

TtsGridModel::~TtsGridModel() {
    // Columns and rows talk to the grid while they go; let them go first.
    Cols_.reset();
    Rows_.reset();
    CellProps_.Clear();
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
    VisibleCols.SetCount(ColCount_, VisibleCols.ItemCount() + 1);
    VisibleRows.SetCount(RowCount_, VisibleRows.ItemCount() + 1);
}

void TtsGridModel::SetCols(int n) {
    n = std::max(0, n);
    if (n == ColCount_) return;
    const int old = ColCount_;
    ColCount_ = n;
    if (n < old) {
        // Display slots of the data columns that go are dropped with their widths.
        std::vector<int> order;
        std::vector<int> widths;
        for (std::size_t i = 0; i < ColOrder_.size(); ++i)
            if (ColOrder_[i] <= n) {
                order.push_back(ColOrder_[i]);
                widths.push_back(ColWidths_[i]);
            }
        ColOrder_ = std::move(order);
        ColWidths_ = std::move(widths);
    } else {
        for (int i = old + 1; i <= n; ++i) {
            ColOrder_.push_back(i);
            ColWidths_.push_back(DefaultColWidth_);
        }
    }
    Cols_->Resize(old + 1, n + 1);
    for (int i = 0; i <= n; ++i)
        if (TtsCol* c = Cols_->Col(i)) c->SetDisplayColField(DisplayColOf(i));
    // The visible positions follow the columns' own flags.
    bool allVisible = true;
    for (int i = 1; i <= n; ++i)
        if (!Cols_->Col(i)->Visible()) allVisible = false;
    VisibleCols = TtsVisibleItems();
    VisibleCols.SetCount(n, 1);
    if (!allVisible)
        for (int i = 1; i <= n; ++i)
            if (!Cols_->Col(i)->Visible()) VisibleCols.Remove(Cols_->Col(i)->DisplayCol());
    ColSelection.SetSize(n + 1);
    if (Storage_ && n < old) Storage_->DeleteCols(n + 1, old);
}

void TtsGridModel::SetRows(int n) {
    n = std::max(0, n);
    if (n == RowCount_) return;
    const int old = RowCount_;
    for (int p = old; p > n; --p)
        if (VisibleRows.Active()) VisibleRows.Remove(p);
    RowCount_ = n;
    RowHeights_.resize(static_cast<std::size_t>(n) + 1, DefaultRowHeight_);
    Rows_->Resize(old + 1, n + 1);
    if (!VisibleRows.Active())
        VisibleRows.SetCount(n, 1);
    else
        for (int p = old + 1; p <= n; ++p)
            VisibleRows.Add(p);
    RowSelection.SetSize(n + 1);
    if (Storage_ && n < old) Storage_->DeleteRows(n + 1, old);
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
    return SizeAt(ColWidths_, ColCount_, display, DefaultColWidth_);
}

void TtsGridModel::SetColWidthAt(int display, int pixels) {
    if (StoreSizeAt(ColWidths_, ColCount_, display, pixels) && Link)
        Link->SetColWidthAt(display, pixels);
}

int TtsGridModel::RowHeightAt(int display) const {
    return SizeAt(RowHeights_, RowCount_, display, DefaultRowHeight_);
}

void TtsGridModel::SetRowHeightAt(int display, int pixels) {
    if (StoreSizeAt(RowHeights_, RowCount_, display, pixels) && Link)
        Link->SetRowHeightAt(display, pixels);
}

int TtsGridModel::DataColAt(int display) const {
    if (display < 0 || display > ColCount_) return -1;
    return ColOrder_[static_cast<std::size_t>(display)];
}

int TtsGridModel::DisplayColOf(int dataCol) const {
    for (int i = 0; i <= ColCount_; ++i)
        if (ColOrder_[static_cast<std::size_t>(i)] == dataCol) return i;
    return -1;
}

void TtsGridModel::MoveCol(int from, int to) {
    if (from == to || from < 1 || to < 1 || from > ColCount_ || to > ColCount_) return;
    const int data = ColOrder_[static_cast<std::size_t>(from)];
    const int width = ColWidths_[static_cast<std::size_t>(from)];
    const bool selected = ColSelection.IsSelected(from);
    ColOrder_.erase(ColOrder_.begin() + from);
    ColOrder_.insert(ColOrder_.begin() + to, data);
    ColWidths_.erase(ColWidths_.begin() + from);
    ColWidths_.insert(ColWidths_.begin() + to, width);
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
    for (int i = 0; i <= ColCount_; ++i)
        if (TtsCol* c = Cols_->Col(i)) c->SetDisplayColField(DisplayColOf(i));
    if (Link) Link->ColMoved(from, to);
}

int TtsGridModel::DataRowAt(int display) const {
    if (!Rows_->HasDisplayTable()) return display;
    for (int i = 0; i <= RowCount_; ++i)
        if (Rows_->DisplayRow(i) == display) return i;
    return -1;
}

int TtsGridModel::DisplayRowOf(int dataRow) const {
    return Rows_->DisplayRow(dataRow);
}

void TtsGridModel::SetDisplayRow(int dataRow, int position) {
    if (dataRow < 1 || dataRow > RowCount_ || position < 1 || position > RowCount_) return;
    const int old = DisplayRowOf(dataRow);
    if (old == position) return;
    Rows_->EnsureDisplayTable();
    for (int i = 1; i <= RowCount_; ++i) {
        const int d = Rows_->DisplayRow(i);
        if (position > old && d > old && d <= position) Rows_->SetDisplayRowEntry(i, d - 1);
        if (position < old && d >= position && d < old) Rows_->SetDisplayRowEntry(i, d + 1);
    }
    Rows_->SetDisplayRowEntry(dataRow, position);
    const int h = RowHeights_[static_cast<std::size_t>(old)];
    RowHeights_.erase(RowHeights_.begin() + old);
    RowHeights_.insert(RowHeights_.begin() + position, h);
    VisibleRows.MoveItem(old, position);
}

TtsCol* TtsGridModel::Col(int dataCol) const {
    if (!CheckRange(1, dataCol, ColCount_, 0)) return nullptr;
    return Cols_->Col(dataCol);
}

TtsRow* TtsGridModel::Row(int dataRow) {
    if (!CheckRange(0, dataRow, RowCount_, 0)) return nullptr;
    return Rows_->EnsureRow(dataRow);
}

void TtsGridModel::SetStoreData(bool v) {
    if (v == StoreData()) return;
    if (v)
        Storage_ = std::make_unique<Tts2DStorage>(0, 0);
    else
        Storage_.reset();
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
    if (dataCol >= 0 && dataCol <= ColCount_) l.Col = Cols_->Col(dataCol);
    if (dataRow >= 0 && dataRow <= RowCount_) l.Row = Rows_->Row(dataRow);
    l.Cell = CellProps_.Element(dataCol, dataRow);
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
    for (int i = 0; i <= ColCount_; ++i)
        if (TtsCol* c = Cols_->Col(i)) refresh(c->P);
    for (int i = 0; i <= RowCount_; ++i)
        if (TtsRow* r = Rows_->Row(i)) refresh(r->P);
    int at = 0, col = 0, row = 0;
    while (OwnFontCells.NextPair(at, col, row))
        if (TtsCellElement* e = CellProps_.Element(col, row)) refresh(e->P);
}

// --- Resets --------------------------------------------------------------------------------------

void TtsGridModel::ResetColProperties(TtsKindSet kinds) {
    for (int i = 0; i <= ColCount_; ++i)
        if (TtsCol* c = Cols_->Col(i)) c->ResetProperties(kinds);
}

void TtsGridModel::ResetRowProperties(TtsKindSet kinds) {
    for (int i = 0; i <= RowCount_; ++i) {
        if (TtsRow* r = Rows_->Row(i)) {
            r->ResetProperties(kinds);
            Rows_->FreeRowIfUnused(i);
        }
    }
}

void TtsGridModel::ResetCellProperties(TtsKindSet kinds) {
    CellProps_.ResetElements(kinds, true);
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
    if (!Link || dataCol < 0 || dataCol > ColCount_ || dataRow < 0 || dataRow > RowCount_) return;
    if (controlProperty && Link->IsPaintLocked()) return;
    const int c = DisplayColOf(dataCol);
    const int r = DisplayRowOf(dataRow);
    if (Link->InvalidateDisplayCell(c, r) && IsCurrentCol(c) && IsCurrentRow(r)) {
        Link->UpdateCellControl(false);
        Link->ReloadCurrentValue();
    }
}

} // namespace vel
