#include "TSGridData.h"

#include "Grids_ts.h"
#include "Messages.h"
#include "ScopeExit.h"

#include <algorithm>
#include <utility>

namespace vel {

namespace {

// A count the grid can hold, negative ones taken as 0.
int CountWithin(int n, int most) {
    if (n > most) throw EInvalidGridOperation("Grid too large for operation");
    return std::max(0, n);
}

} // namespace

TtsGridModel::TtsGridModel(std::string name, int cols, int rows, TtsGridLink* link)
    : Name(std::move(name)), Link(link), FColCount(CountWithin(cols, MaxGridCols)),
      FRowCount(CountWithin(rows, MaxGridRows)), FCellProps(this) {
    if (OwnSizes()) {
        FColWidths.assign(static_cast<std::size_t>(FColCount) + 1, FDefaultColWidth);
        FRowHeights.assign(static_cast<std::size_t>(FRowCount) + 1, FDefaultRowHeight);
    }
    FColOrder.resize(static_cast<std::size_t>(FColCount) + 1);
    FColDisplay.resize(static_cast<std::size_t>(FColCount) + 1);
    for (int i = 0; i <= FColCount; ++i)
        FColOrder[static_cast<std::size_t>(i)] = FColDisplay[static_cast<std::size_t>(i)] = i;
    FCols = std::make_unique<TtsGridCols>(this, FColCount + 1);
    FRows = std::make_unique<TtsGridRows>(this, FRowCount + 1);
    SyncVisible();
    ColSelection.SetSize(FColCount + 1);
    RowSelection.SetSize(FRowCount + 1);
}

TtsGridModel::~TtsGridModel() {
    fw::RemoveIdleHandler(this);
    // Columns and rows talk to the grid while they go; let them go first.
    FCols.reset();
    FRows.reset();
    FCellProps.Clear();
}

// --- Handlers that change the grid while a call runs ---------------------------------------------

TtsBusyScope::TtsBusyScope(TtsGridModel* model) : FModel(model) {
    if (!model) return;
    if (model->Link)
        if (fw::TComponent* held = model->Link->BusyComponent()) FHold.emplace(held);
    model->EnterBusy();
}

void TtsGridModel::DropLine(std::unique_ptr<TtsLine> line) {
    if (!line) return;
    ++FStamp;
    if (!Busy()) return; // freed here: nothing holds it
    line->Detach();
    FParkedLines.push_back(std::move(line));
    fw::AddIdleHandler(this, [this] { FreeParked(); });
}

void TtsGridModel::ParkObject(std::unique_ptr<fw::TObject> object) {
    ++FStamp;
    FParkedObjects.push_back(std::move(object));
    fw::AddIdleHandler(this, [this] { FreeParked(); });
}

void TtsGridModel::FreeParked() {
    if (Busy()) return;
    // Freeing a line may park its combo: until nothing is left.
    while (!FParkedLines.empty() || !FParkedObjects.empty()) {
        auto lines = std::move(FParkedLines);
        auto objects = std::move(FParkedObjects);
        FParkedLines.clear();
        FParkedObjects.clear();
        lines.clear();
        objects.clear();
    }
    fw::RemoveIdleHandler(this);
}

void TtsGridModel::AttachLink(TtsGridLink* link) {
    Link = link;
    if (!OwnSizes()) {
        FColWidths = {};
        FRowHeights = {};
    }
}

void TtsGridModel::RaiseGridError(const std::string& message) const {
    const std::string name = Link && !Link->GridName().empty() ? Link->GridName() : Name;
    throw EInvalidGridOperation(name + ": " + message);
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

void TtsGridModel::DropCellsFrom(bool rows, int first) {
    // Each index list names the elements of a line: the walk costs the lines that go.
    const TtsIntegerSetList& index = rows ? FCellProps.ColsOfRow() : FCellProps.RowsOfCol();
    std::vector<TtsCellKey> keys;
    for (int line = first; line < index.Count(); ++line)
        if (const TtsIntegerSet* set = index.Get(line))
            for (std::int32_t other : set->Values())
                keys.push_back(rows ? TtsCellKey{other, line} : TtsCellKey{line, other});
    for (const TtsCellKey& k : keys) {
        FCellProps.SetOwnFonts(k, false);
        FCellProps.RemoveCell(k);
    }
}

std::vector<int> TtsGridModel::RemovedColPositions(int count) const {
    std::vector<int> removed;
    for (int c = count + 1; c <= FColCount; ++c)
        removed.push_back(DisplayColOf(c));
    std::sort(removed.begin(), removed.end());
    return removed;
}

std::vector<int> TtsGridModel::RemovedRowPositions(int count) const {
    // The rows that go are looked up one by one: the cost is theirs, not the grid's.
    std::vector<int> removed;
    removed.reserve(static_cast<std::size_t>(std::max(0, FRowCount - count)));
    for (int r = count + 1; r <= FRowCount; ++r)
        removed.push_back(DisplayRowOf(r));
    std::sort(removed.begin(), removed.end());
    return removed;
}

namespace {

// Whether the positions that go (ascending) are the last ones of `oldCount`.
bool AtTheEnd(const std::vector<int>& removed, int oldCount) {
    return removed.empty() || removed.front() == oldCount - static_cast<int>(removed.size()) + 1;
}

} // namespace

namespace {

// A list by display position without the positions that went; only the entries
// from the first of them on move.
template <class T> void DropPositions(std::vector<T>& v, const std::vector<int>& removed) {
    if (v.empty() || removed.empty()) return;
    std::size_t out = static_cast<std::size_t>(removed.front()), r = 0;
    for (std::size_t i = out; i < v.size(); ++i) {
        if (r < removed.size() && static_cast<std::size_t>(removed[r]) == i) {
            ++r;
            continue;
        }
        v[out++] = std::move(v[i]);
    }
    v.resize(out);
}

// Selection bits close up over the positions that went.
void CompactSelection(TtsSelection& sel, const std::vector<int>& removed, int newSize) {
    if (AtTheEnd(removed, sel.Size() - 1)) {
        sel.SetSize(newSize);
        return;
    }
    std::vector<int> kept;
    for (int i = sel.First(); i >= 0 && i <= sel.Last(); i = sel.NextSelected(i)) {
        const auto below = std::lower_bound(removed.begin(), removed.end(), i);
        if (below != removed.end() && *below == i) continue;
        kept.push_back(i - static_cast<int>(below - removed.begin()));
    }
    sel.Clear();
    sel.SetSize(newSize);
    for (int i : kept)
        sel.Select(i, true);
}

} // namespace

void TtsGridModel::RebuildVisibleCols() {
    std::vector<std::int32_t> hidden;
    for (int d = 1; d <= FColCount; ++d)
        if (!FCols->Col(FColOrder[static_cast<std::size_t>(d)])->Visible()) hidden.push_back(d);
    VisibleCols.Rebuild(FColCount, hidden);
}

void TtsGridModel::RebuildVisibleRows() {
    std::vector<std::int32_t> hidden;
    for (int r = 1; r <= FRowCount; ++r)
        if (const TtsRow* row = FRows->Row(r); row && !row->Visible())
            hidden.push_back(DisplayRowOf(r));
    std::sort(hidden.begin(), hidden.end());
    VisibleRows.Rebuild(FRowCount, hidden);
}

void TtsGridModel::SyncColDisplay(int from, int to) {
    for (int d = std::max(0, from); d <= std::min(to, FColCount); ++d) {
        const int data = FColOrder[static_cast<std::size_t>(d)];
        FColDisplay[static_cast<std::size_t>(data)] = d;
        if (TtsCol* c = FCols->Col(data)) c->SetDisplayColField(d);
    }
}

void TtsGridModel::SetCols(int n) {
    if (n > MaxGridCols) RaiseGridError("Grid too large for operation");
    n = std::max(0, n);
    if (n == FColCount) return;
    TtsBusyScope busy(*this);
    const int old = FColCount;
    std::vector<int> removed;
    if (n < old) {
        DropCellsFrom(false, n + 1);
        removed = RemovedColPositions(n);
        DropPositions(FColOrder, removed);
        DropPositions(FColWidths, removed);
        CompactSelection(ColSelection, removed, n + 1);
        if (FStorage) FStorage->DeleteCols(n + 1, old);
    } else {
        for (int i = old + 1; i <= n; ++i) {
            FColOrder.push_back(i);
            if (OwnSizes()) FColWidths.push_back(FDefaultColWidth);
        }
        ColSelection.SetSize(n + 1);
    }
    FColCount = n;
    ++FStamp;
    FColDisplay.resize(static_cast<std::size_t>(n) + 1, 0);
    FCols->Resize(old + 1, n + 1);
    // Lines added or cut at the end leave the others where they are.
    const bool tail = AtTheEnd(removed, old);
    SyncColDisplay(tail ? std::min(old, n) + 1 : 0, n);
    if (n > old)
        VisibleCols.Extend(n);
    else if (tail)
        VisibleCols.Truncate(n);
    else
        RebuildVisibleCols();
    if (Link) Link->CountChanged(false, old, n, removed);
}

void TtsGridModel::CompactRowOrder(const std::vector<int>& removed, int count) {
    if (!FRows->HasDisplayTable() || AtTheEnd(removed, FRowCount)) return;
    // The rows that stay keep their order and close up over the positions that went.
    std::vector<int> dataAt;
    dataAt.reserve(static_cast<std::size_t>(count) + 1);
    dataAt.push_back(0);
    for (int d = 1; d <= FRowCount; ++d)
        if (const int r = FRows->DataRowAt(d); r <= count) dataAt.push_back(r);
    for (int d = 1; d <= count; ++d)
        FRows->SetDisplayRowEntry(dataAt[static_cast<std::size_t>(d)], d);
}

void TtsGridModel::SetRows(int n) {
    if (n > MaxGridRows) RaiseGridError("Grid too large for operation");
    n = std::max(0, n);
    if (n == FRowCount) return;
    TtsBusyScope busy(*this);
    const int old = FRowCount;
    std::vector<int> removed;
    if (n < old) {
        DropCellsFrom(true, n + 1);
        removed = RemovedRowPositions(n);
        CompactRowOrder(removed, n);
        DropPositions(FRowHeights, removed);
        CompactSelection(RowSelection, removed, n + 1);
        if (FStorage) FStorage->DeleteRows(n + 1, old);
    } else {
        if (OwnSizes()) FRowHeights.resize(static_cast<std::size_t>(n) + 1, FDefaultRowHeight);
        RowSelection.SetSize(n + 1);
    }
    FRowCount = n;
    ++FStamp;
    FRows->Resize(old + 1, n + 1);
    if (n > old)
        VisibleRows.Extend(n);
    else if (AtTheEnd(removed, old))
        VisibleRows.Truncate(n);
    else
        RebuildVisibleRows();
    if (Link) Link->CountChanged(true, old, n, removed);
}

namespace {

// Line sizes changed one by one under a new default: the link lays out once, after.
auto HoldLineSizes(TtsGridLink* Link) {
    return fw::EnterScope(
        [Link] {
            if (Link) Link->HoldLineSizes(1);
        },
        [Link] {
            if (Link) Link->HoldLineSizes(-1);
        });
}

} // namespace

void TtsGridModel::SetDefaultColWidth(int v) {
    v = std::clamp(v, 0, MaxLineExtent);
    if (v == FDefaultColWidth) return;
    TtsBusyScope busy(*this); // the lines' steps fire handlers
    const int old = FDefaultColWidth;
    FDefaultColWidth = v;
    {
        const auto hold = HoldLineSizes(Link);
        for (int i = 0; i <= FColCount; ++i)
            if (TtsCol* c = FCols->Col(i); c && c->AssignedWidth() == old) c->SetWidth(v);
    }
    if (Link) Link->DefaultSizeChanged(false);
}

void TtsGridModel::SetDefaultRowHeight(int v) {
    v = std::clamp(v, 0, MaxLineExtent);
    if (v == FDefaultRowHeight) return;
    TtsBusyScope busy(*this);
    const int old = FDefaultRowHeight;
    FDefaultRowHeight = v;
    if (OwnSizes())
        for (int& h : FRowHeights)
            if (h == old) h = v;
    {
        const auto hold = HoldLineSizes(Link);
        for (int i = 0; i <= FRowCount; ++i) {
            TtsRow* r = FRows->Row(i);
            if (!r) continue;
            if (r->AssignedHeight() == old) r->SetHeight(v);
            FRows->FreeRowIfUnused(i);
        }
    }
    if (Link) Link->DefaultSizeChanged(true);
}

namespace {

int SizeAt(const std::vector<int>& sizes, int count, int display, int fallback) {
    return display >= 0 && display <= count && static_cast<std::size_t>(display) < sizes.size()
               ? sizes[static_cast<std::size_t>(display)]
               : fallback;
}

} // namespace

int TtsGridModel::ColWidthAt(int display) const {
    if (!OwnSizes())
        return display >= 0 && display <= FColCount ? Link->LineSizeAt(false, display)
                                                    : FDefaultColWidth;
    return SizeAt(FColWidths, FColCount, display, FDefaultColWidth);
}

void TtsGridModel::SetColWidthAt(int display, int pixels) {
    if (display < 0 || display > FColCount || ColWidthAt(display) == pixels) return;
    if (OwnSizes()) FColWidths[static_cast<std::size_t>(display)] = pixels;
    if (Link) Link->SetColWidthAt(display, pixels);
}

int TtsGridModel::RowHeightAt(int display) const {
    if (!OwnSizes())
        return display >= 0 && display <= FRowCount ? Link->LineSizeAt(true, display)
                                                    : FDefaultRowHeight;
    return SizeAt(FRowHeights, FRowCount, display, FDefaultRowHeight);
}

void TtsGridModel::SetRowHeightAt(int display, int pixels) {
    if (display < 0 || display > FRowCount || RowHeightAt(display) == pixels) return;
    if (OwnSizes()) FRowHeights[static_cast<std::size_t>(display)] = pixels;
    if (Link) Link->SetRowHeightAt(display, pixels, true);
}

int TtsGridModel::DataColAt(int display) const {
    if (display < 0 || display > FColCount) return -1;
    return FColOrder[static_cast<std::size_t>(display)];
}

int TtsGridModel::DisplayColOf(int dataCol) const {
    if (dataCol < 0 || dataCol > FColCount) return -1;
    return FColDisplay[static_cast<std::size_t>(dataCol)];
}

namespace {

// The entry at `from` moves to `to`; those between shift by one.
template <class T> void MoveEntry(std::vector<T>& v, int from, int to) {
    if (v.empty()) return;
    auto f = v.begin() + from, t = v.begin() + to;
    if (from < to)
        std::rotate(f, f + 1, t + 1);
    else
        std::rotate(t, f, f + 1);
}

void MoveSelected(TtsSelection& sel, int from, int to) {
    const bool selected = sel.IsSelected(from);
    if (from < to)
        for (int i = from; i < to; ++i)
            sel.Select(i, sel.IsSelected(i + 1));
    else
        for (int i = from; i > to; --i)
            sel.Select(i, sel.IsSelected(i - 1));
    sel.Select(to, selected);
}

} // namespace

void TtsGridModel::MoveCol(int from, int to) {
    if (from == to || from < 1 || to < 1 || from > FColCount || to > FColCount) return;
    TtsBusyScope busy(*this);
    ++FStamp;
    MoveEntry(FColOrder, from, to);
    MoveEntry(FColWidths, from, to);
    MoveSelected(ColSelection, from, to);
    VisibleCols.MoveItem(from, to);
    SyncColDisplay(std::min(from, to), std::max(from, to));
    if (Link) Link->ColMoved(from, to);
}

int TtsGridModel::DataRowAt(int display) const {
    if (display < 0 || display > FRowCount) return -1;
    return FRows->DataRowAt(display);
}

int TtsGridModel::DisplayRowOf(int dataRow) const {
    return FRows->DisplayRow(dataRow);
}

void TtsGridModel::SetDisplayRow(int dataRow, int position) {
    if (dataRow < 1 || dataRow > FRowCount || position < 1 || position > FRowCount) return;
    const int old = DisplayRowOf(dataRow);
    if (old == position) return;
    TtsBusyScope busy(*this);
    ++FStamp;
    FRows->EnsureDisplayTable();
    // Only the rows between the two positions shift.
    if (position > old)
        for (int d = old + 1; d <= position; ++d)
            FRows->SetDisplayRowEntry(FRows->DataRowAt(d), d - 1);
    else
        for (int d = old - 1; d >= position; --d)
            FRows->SetDisplayRowEntry(FRows->DataRowAt(d), d + 1);
    FRows->SetDisplayRowEntry(dataRow, position);
    MoveEntry(FRowHeights, old, position);
    MoveSelected(RowSelection, old, position);
    VisibleRows.MoveItem(old, position);
    if (Link) Link->DisplayRowMoved(old, position);
}

void TtsGridModel::SetDisplayRows(const std::vector<std::pair<int, int>>& rowPositions) {
    if (rowPositions.empty()) return;
    const auto n = static_cast<std::size_t>(FRowCount);
    std::vector<int> dataAt(n + 1, 0);
    std::vector<bool> placed(n + 1, false);
    for (auto [row, pos] : rowPositions) {
        if (row < 1 || row > FRowCount || pos < 1 || pos > FRowCount) continue;
        if (placed[static_cast<std::size_t>(row)] || dataAt[static_cast<std::size_t>(pos)] != 0)
            continue;
        dataAt[static_cast<std::size_t>(pos)] = row;
        placed[static_cast<std::size_t>(row)] = true;
    }
    std::size_t free = 1;
    for (int d = 1; d <= FRowCount; ++d) {
        const int row = DataRowAt(d);
        if (placed[static_cast<std::size_t>(row)]) continue;
        while (dataAt[free] != 0)
            ++free;
        dataAt[free] = row;
    }
    ApplyRowOrder(dataAt);
}

void TtsGridModel::ApplyRowOrder(const std::vector<int>& dataAt) {
    bool same = true;
    for (int d = 1; d <= FRowCount && same; ++d)
        same = DataRowAt(d) == dataAt[static_cast<std::size_t>(d)];
    if (same) return;
    TtsBusyScope busy(*this);
    std::vector<int> oldOf(dataAt.size(), 0);
    for (std::size_t d = 1; d < dataAt.size(); ++d)
        oldOf[d] = DisplayRowOf(dataAt[d]);
    ++FStamp;
    FRows->EnsureDisplayTable();
    for (std::size_t d = 1; d < dataAt.size(); ++d)
        FRows->SetDisplayRowEntry(dataAt[d], static_cast<int>(d));
    if (OwnSizes()) {
        const std::vector<int> heights = FRowHeights;
        for (std::size_t d = 1; d < dataAt.size(); ++d)
            FRowHeights[d] = heights[static_cast<std::size_t>(oldOf[d])];
    }
    std::vector<int> selected;
    for (std::size_t d = 1; d < dataAt.size(); ++d)
        if (RowSelection.IsSelected(oldOf[d])) selected.push_back(static_cast<int>(d));
    RowSelection.Clear();
    for (int d : selected)
        RowSelection.Select(d, true);
    RebuildVisibleRows();
    if (Link) Link->RowsReordered(oldOf);
}

TtsCol* TtsGridModel::Col(int dataCol) const {
    if (!CheckRange(1, dataCol, FColCount, 0)) return nullptr;
    return FCols->Col(dataCol);
}

TtsRow* TtsGridModel::Row(int dataRow) {
    if (!CheckRange(0, dataRow, FRowCount, 0)) return nullptr;
    return FRows->EnsureRow(dataRow);
}

bool TtsGridModel::CellInRange(int dataCol, int dataRow) const {
    return CheckRange(1, dataCol, FColCount, 0) && CheckRange(0, dataRow, FRowCount, 0);
}

void TtsGridModel::ChangeCellControl(int dataCol, int dataRow,
                                     const std::function<void()>& change) {
    TtsBusyScope busy(*this);
    const bool current = Link && IsCurrentCol(DisplayColOf(dataCol)) &&
                         IsCurrentRow(DisplayRowOf(dataRow));
    if (current) Link->CloseCellControl(true);
    change();
    if (!Link) return;
    if (current) Link->ReopenCellControl(true);
    Link->ControlTypeChanged(dataCol, dataRow);
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

void TtsGridModel::ClearCellCache() {
    FCache.Valid = false;
}

const TtsCellElement* TtsGridModel::CachedElement(int dataCol, int dataRow) const {
    // The last cell looked up answers again until any element comes or goes.
    if (FCache.Valid && FCache.Col == dataCol && FCache.Row == dataRow &&
        FCache.Generation == FCellProps.Generation())
        return FCache.Element;
    FCache = {true, dataCol, dataRow, FCellProps.Generation(),
              FCellProps.Element(dataCol, dataRow)};
    return FCache.Element;
}

TtsGridModel::TLines TtsGridModel::LinesOf(int dataCol, int dataRow) const {
    TLines l;
    if (dataCol >= 0 && dataCol <= FColCount) l.Col = FCols->Col(dataCol);
    if (dataRow >= 0 && dataRow <= FRowCount) l.Row = FRows->Row(dataRow);
    l.Cell = CachedElement(dataCol, dataRow);
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

bool TtsGridModel::EffectiveIs3D(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<bool>(*this, col, row, cell && cell->P.Is3D, false, false,
                         [](const TtsLineProps& p) { return p.Is3D; });
}

std::string TtsGridModel::EffectiveMaskName(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<std::string>(*this, col, row, cell ? cell->P.MaskName : std::string(),
                                std::string(), std::string(),
                                [](const TtsLineProps& p) { return p.MaskName; });
}

TtsDropDownStyle TtsGridModel::EffectiveDropDownStyle(int dataCol, int dataRow) const {
    // Read through the combo of a level that has one; the grid's combo last.
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    auto styleOf = [](const TtsLineProps& p) {
        return p.Combo ? ComboDropDownStyle(p.Combo.get()) : p.DropDownStyle;
    };
    const TtsDropDownStyle s = Resolve<TtsDropDownStyle>(
        *this, col, row, cell ? styleOf(cell->P) : ddDropDown, ddDropDown, ddDropDown, styleOf);
    return s == ddDropDown && GridCombo ? ComboDropDownStyle(GridCombo) : s;
}

TtsSpinOptions TtsGridModel::EffectiveSpinOptions(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<TtsSpinOptions>(*this, col, row, cell ? cell->P.SpinOptions : spoAll, spoAll,
                                   spoAll, [](const TtsLineProps& p) { return p.SpinOptions; });
}

double TtsGridModel::EffectiveSpinIncrement(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    return Resolve<double>(*this, col, row, cell ? cell->P.SpinIncrement : 1.0, 1.0, 1.0,
                           [](const TtsLineProps& p) { return p.SpinIncrement; });
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
        if (!p.ParentFont || !p.Font) return;
        ++p.FontChangeLock; // an inherited copy stays inherited
        p.Font->Assign(Font);
        --p.FontChangeLock;
    };
    for (int i = 0; i <= FColCount; ++i)
        if (TtsCol* c = FCols->Col(i)) refresh(c->P);
    for (int i = 0; i <= FRowCount; ++i)
        if (TtsRow* r = FRows->Row(i)) refresh(r->P);
    RefreshOwnFontCells();
}

const fw::TFont& TtsGridModel::InheritedFont(int dataCol, int dataRow) const {
    const TLines l = LinesOf(dataCol, dataRow);
    const TtsLineProps* first = l.Col ? &l.Col->P : nullptr;
    const TtsLineProps* second = l.Row ? &l.Row->P : nullptr;
    if (DrawOverlap == doDrawRowOnTop) std::swap(first, second);
    if (first && first->Font) return *first->Font;
    if (second && second->Font) return *second->Font;
    return Font;
}

TtsCombo* TtsGridModel::EffectiveCombo(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    if (cell && cell->P.Combo) return cell->P.Combo.get();
    const TtsLineProps* first = col ? &col->P : nullptr;
    const TtsLineProps* second = row ? &row->P : nullptr;
    if (DrawOverlap == doDrawRowOnTop) std::swap(first, second);
    if (first && first->Combo) return first->Combo.get();
    if (second && second->Combo) return second->Combo.get();
    return GridCombo;
}

fw::TObject* TtsGridModel::EffectiveDateTimeDef(int dataCol, int dataRow) const {
    const auto [col, row, cell] = LinesOf(dataCol, dataRow);
    if (cell && cell->P.DateTimeDef) return cell->P.DateTimeDef;
    const TtsLineProps* first = col ? &col->P : nullptr;
    const TtsLineProps* second = row ? &row->P : nullptr;
    if (DrawOverlap == doDrawRowOnTop) std::swap(first, second);
    if (first && first->DateTimeDef) return first->DateTimeDef;
    if (second && second->DateTimeDef) return second->DateTimeDef;
    return nullptr;
}

void TtsGridModel::RefreshOwnFontCells() {
    int at = 0, col = 0, row = 0;
    while (OwnFontCells.NextPair(at, col, row))
        if (TtsCellElement* e = FCellProps.Element(col, row)) e->RefreshParentFont();
}

// --- Resets --------------------------------------------------------------------------------------

void TtsGridModel::Assign(const TtsGridModel& s, bool withData) {
    if (&s == this) return;
    // Handlers may change the counts at each step: every loop reads them anew and
    // takes only what both grids have.
    TtsBusyScope busy(*this);
    SetDefaultColWidth(s.FDefaultColWidth);
    SetDefaultRowHeight(s.FDefaultRowHeight);
    SetCols(s.FColCount);
    SetRows(s.FRowCount);
    Color = s.Color;
    GridControlType = s.GridControlType;
    GridHorzAlignment = s.GridHorzAlignment;
    GridVertAlignment = s.GridVertAlignment;
    GridWordWrap = s.GridWordWrap;
    GridReadOnly = s.GridReadOnly;
    GridButtonType = s.GridButtonType;
    DrawOverlap = s.DrawOverlap;
    Font.Assign(s.Font);
    HeadingFont.Assign(s.HeadingFont);
    // Columns by data index, then the source's display order.
    for (int c = 0; c <= std::min(FColCount, s.FColCount); ++c)
        if (TtsCol* to = FCols->Col(c)) to->Assign(*s.FCols->Col(c));
    for (int p = 1; p <= std::min(FColCount, s.FColCount); ++p)
        if (const int data = s.DataColAt(p); data <= FColCount && DataColAt(p) != data)
            MoveCol(DisplayColOf(data), p);
    std::vector<std::pair<int, int>> positions;
    for (int r = 0; r <= std::min(FRowCount, s.FRowCount); ++r) {
        const TtsRow* from = s.FRows->Row(r);
        if (TtsRow* here = from ? Row(r) : FRows->Row(r)) {
            if (from) {
                here->AssignProperties(*from);
                here->SetHeightFields(-1, from->AssignedHeight());
                here->SetHeight(from->AssignedHeight());
            } else {
                here->ResetProperties(AllKinds);
            }
            FRows->FreeRowIfUnused(r);
        }
        if (r >= 1 && r <= FRowCount && s.DisplayRowOf(r) != r)
            positions.emplace_back(r, s.DisplayRowOf(r));
    }
    SetDisplayRows(positions);
    FCellProps.AssignFrom(s.FCellProps);
    if (withData && s.StoreData()) {
        SetStoreData(true);
        FStorage->Assign(s.FStorage.get());
    }
}

void TtsGridModel::ResetColProperties(TtsKindSet kinds) {
    // A column's reset may fire handlers that change the columns: each step takes
    // the column now at its index (a column that left goes on detached, harmlessly).
    TtsBusyScope busy(*this);
    for (int i = 0; i <= FColCount; ++i)
        if (TtsCol* c = FCols->Col(i)) c->ResetProperties(kinds);
}

void TtsGridModel::ResetRowProperties(TtsKindSet kinds) {
    TtsBusyScope busy(*this);
    // Every row back to its own position at once, rows without an object too.
    if (HasKind(kinds, prDisplayPos) && FRows->HasDisplayTable()) {
        std::vector<int> identity(static_cast<std::size_t>(FRowCount) + 1);
        for (int d = 0; d <= FRowCount; ++d)
            identity[static_cast<std::size_t>(d)] = d;
        ApplyRowOrder(identity);
    }
    for (int i = 0; i <= FRowCount; ++i) {
        if (TtsRow* r = FRows->Row(i)) {
            r->ResetProperties(kinds);
            FRows->FreeRowIfUnused(i);
        }
    }
}

void TtsGridModel::ResetCellProperties(TtsKindSet kinds) {
    TtsBusyScope busy(*this);
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
        TtsBusyScope busy(*this);
        Link->UpdateCellControl(false);
        Link->ReloadCurrentValue();
    }
}

} // namespace vel
