#include "TSGridStores.h"

#include "TSGridData.h"

#include <algorithm>
#include <cctype>

namespace vel {

namespace {

bool SameTextNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A line leaving its store: the grid frees it, or parks it while a call may hold it.
template <class T> void Drop(TtsGridModel* grid, std::unique_ptr<T>&& line) {
    if (grid)
        grid->DropLine(std::move(line));
    else
        line.reset();
}

// The block is taken out first so that overlapping moves keep every entry; the places it
// leaves and nothing refills are cleared.
template <class T> void MoveBlock(std::vector<T>& v, int from, int to, int count) {
    std::vector<T> block;
    for (int i = 0; i < count; ++i)
        block.push_back(std::move(v[static_cast<std::size_t>(from + i)]));
    for (int i = 0; i < count; ++i)
        v[static_cast<std::size_t>(from + i)] = T{};
    for (int i = 0; i < count; ++i)
        v[static_cast<std::size_t>(to + i)] = std::move(block[static_cast<std::size_t>(i)]);
}

} // namespace

// --- Columns ---------------------------------------------------------------------------------

TtsGridCols::TtsGridCols(TtsGridModel* grid, int count) : FGrid(grid) {
    Resize(0, count);
}

std::unique_ptr<TtsCol> TtsGridCols::CreateCol(int index) {
    auto c = std::make_unique<TtsCol>(FGrid, index);
    const int w = FGrid ? FGrid->ColWidthAt(index) : 64;
    c->SetWidthFields(w, w);
    c->CreationNumber = FNextCreation++;
    return c;
}

void TtsGridCols::Resize(int oldCount, int newCount) {
    (void)oldCount;
    if (newCount < 0) newCount = 0;
    const int have = Count();
    if (newCount < have) {
        for (int i = have - 1; i >= newCount; --i)
            Drop(FGrid, std::move(FCols[static_cast<std::size_t>(i)]));
        FCols.resize(static_cast<std::size_t>(newCount));
        return;
    }
    FCols.reserve(static_cast<std::size_t>(newCount));
    for (int i = have; i < newCount; ++i)
        FCols.push_back(CreateCol(i));
}

void TtsGridCols::SyncCount(int oldCount) {
    Resize(oldCount, FGrid ? FGrid->Cols() + 1 : oldCount);
}

TtsCol* TtsGridCols::Col(int index) const {
    if (FGrid && !FGrid->CheckRange(1, index, Count() - 1, 0)) return nullptr;
    if (index < 0 || index >= Count()) return nullptr;
    return FCols[static_cast<std::size_t>(index)].get();
}

TtsCol* TtsGridCols::FindByName(const std::string& name) const {
    for (int i = 1; i < Count(); ++i)
        if (FCols[static_cast<std::size_t>(i)] &&
            SameTextNoCase(FCols[static_cast<std::size_t>(i)]->FieldName(), name))
            return FCols[static_cast<std::size_t>(i)].get();
    return nullptr;
}

TtsCol* TtsGridCols::Find(const TtsVariant& key) const {
    if (auto* s = std::get_if<std::string>(&key)) return FindByName(*s);
    if (!IsNumericVarType(key)) return nullptr;
    return Col(VarAsInteger(key));
}

void TtsGridCols::MoveEntries(int from, int to, int count) {
    if (count <= 0 || from < 0 || to < 0 || from + count > Count() || to + count > Count()) return;
    MoveBlock(FCols, from, to, count);
}

// --- Rows
// ------------------------------------------------------------------------------------------

TtsGridRows::TtsGridRows(TtsGridModel* grid, int count) : FGrid(grid) {
    Resize(0, count);
}

std::unique_ptr<TtsRow> TtsGridRows::CreateRow(int dataRow) {
    return std::make_unique<TtsRow>(FGrid, dataRow);
}

bool TtsGridRows::InRange(int dataRow) const {
    return dataRow >= 0 && dataRow < Count();
}

void TtsGridRows::Resize(int oldCount, int newCount) {
    (void)oldCount;
    if (newCount < 0) newCount = 0;
    const int have = Count();
    for (int i = have - 1; i >= newCount; --i)
        Drop(FGrid, std::move(FRows[static_cast<std::size_t>(i)]));
    FRows.resize(static_cast<std::size_t>(newCount));
    FCreation.resize(static_cast<std::size_t>(newCount));
    if (FHasTable) {
        FDisplay.resize(static_cast<std::size_t>(newCount));
        FData.resize(static_cast<std::size_t>(newCount));
    }
    for (int i = have; i < newCount; ++i) {
        if (FHasTable)
            FDisplay[static_cast<std::size_t>(i)] = FData[static_cast<std::size_t>(i)] = i;
        FCreation[static_cast<std::size_t>(i)] = FNextCreation++;
    }
    if (newCount > 0 && !FRows[0]) FRows[0] = CreateRow(0);
}

void TtsGridRows::SyncCount(int oldCount) {
    Resize(oldCount, FGrid ? FGrid->Rows() + 1 : oldCount);
}

TtsRow* TtsGridRows::Row(int dataRow) const {
    if (FGrid && !FGrid->CheckRange(0, dataRow, Count() - 1, 0)) return nullptr;
    return InRange(dataRow) ? FRows[static_cast<std::size_t>(dataRow)].get() : nullptr;
}

TtsRow* TtsGridRows::EnsureRow(int dataRow) {
    if (!InRange(dataRow)) return nullptr;
    auto& r = FRows[static_cast<std::size_t>(dataRow)];
    if (!r) {
        r = CreateRow(dataRow);
        // Both heights are the row's own, at its display position: the height at
        // its data index belongs to another row once rows have moved.
        const int present = FGrid ? FGrid->RowHeightAt(DisplayRow(dataRow)) : 14;
        r->SetHeightFields(present, present);
    }
    return r.get();
}

void TtsGridRows::FreeRowIfUnused(int dataRow) {
    if (dataRow == 0 || !InRange(dataRow)) return;
    auto& r = FRows[static_cast<std::size_t>(dataRow)];
    if (r && r->IsUnused()) Drop(FGrid, std::move(r));
}

int TtsGridRows::GetHeight(int dataRow) const {
    const TtsRow* r = InRange(dataRow) ? FRows[static_cast<std::size_t>(dataRow)].get() : nullptr;
    return r ? r->Height() : (FGrid ? FGrid->DefaultRowHeight() : 14);
}

void TtsGridRows::SetHeight(int dataRow, int height) {
    if (!InRange(dataRow)) return;
    const int def = FGrid ? FGrid->DefaultRowHeight() : 14;
    if (!FRows[static_cast<std::size_t>(dataRow)] && height == def) return;
    TtsRow* r = EnsureRow(dataRow);
    r->SetHeightFields(height, r->AssignedHeight());
    FreeRowIfUnused(dataRow);
}

int TtsGridRows::GetAssignedHeight(int dataRow) const {
    const TtsRow* r = InRange(dataRow) ? FRows[static_cast<std::size_t>(dataRow)].get() : nullptr;
    return r ? r->AssignedHeight() : (FGrid ? FGrid->DefaultAssignedRowHeight() : 14);
}

void TtsGridRows::SetAssignedHeight(int dataRow, int height) {
    if (!InRange(dataRow)) return;
    const int def = FGrid ? FGrid->DefaultAssignedRowHeight() : 14;
    if (!FRows[static_cast<std::size_t>(dataRow)] && height == def) return;
    TtsRow* r = EnsureRow(dataRow);
    r->SetHeightFields(r->Height(), height);
    FreeRowIfUnused(dataRow);
}

void TtsGridRows::ApplyHeight(int dataRow, int height) {
    TtsRow* r = EnsureRow(dataRow);
    if (!r) return;
    r->SetHeight(height);
    FreeRowIfUnused(dataRow);
}

int TtsGridRows::DisplayRow(int dataRow) const {
    if (!FHasTable || !InRange(dataRow)) return dataRow;
    return FDisplay[static_cast<std::size_t>(dataRow)];
}

int TtsGridRows::DataRowAt(int position) const {
    if (!FHasTable || position < 0 || position >= Count()) return position;
    return FData[static_cast<std::size_t>(position)];
}

void TtsGridRows::SetDisplayRowEntry(int dataRow, int position) {
    if (!FHasTable || !InRange(dataRow)) return;
    FDisplay[static_cast<std::size_t>(dataRow)] = position;
    if (position >= 0 && position < Count()) FData[static_cast<std::size_t>(position)] = dataRow;
}

void TtsGridRows::EnsureDisplayTable() {
    if (FHasTable) return;
    FDisplay.resize(static_cast<std::size_t>(Count()));
    FData.resize(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i)
        FDisplay[static_cast<std::size_t>(i)] = FData[static_cast<std::size_t>(i)] = i;
    FHasTable = true;
}

std::uint32_t TtsGridRows::CreationNumber(int dataRow) const {
    return InRange(dataRow) ? FCreation[static_cast<std::size_t>(dataRow)] : 0;
}

void TtsGridRows::MoveEntries(int from, int to, int count) {
    if (count <= 0 || from < 0 || to < 0 || from + count > Count() || to + count > Count()) return;
    MoveBlock(FRows, from, to, count);
    MoveBlock(FCreation, from, to, count);
    if (FHasTable) MoveBlock(FDisplay, from, to, count);
}

// --- Visible positions
// -----------------------------------------------------------------------------

void TtsVisibleItems::Activate() {
    if (FActive) return;
    FActive = true;
    FShown.assign(1, 0);
    FTree.assign(1, 0);
    FCount = 0;
    GrowSpan(FItemCount, true);
    FItemCount = FCount;
}

void TtsVisibleItems::GrowSpan(int span, bool shown) {
    const int from = Span() + 1;
    if (span < from) return;
    FShown.resize(static_cast<std::size_t>(span) + 1, shown ? 1 : 0);
    FTree.resize(static_cast<std::size_t>(span) + 1, 0);
    // Node i sums (i - lowbit(i), i]: the shown positions before i are all in place.
    for (int i = from; i <= span; ++i) {
        const int low = i - (i & -i);
        FTree[static_cast<std::size_t>(i)] = Prefix(i - 1) - Prefix(low) + (shown ? 1 : 0);
    }
    if (shown) FCount += span - from + 1;
}

int TtsVisibleItems::Prefix(int position) const {
    int sum = 0;
    for (int i = std::min(position, Span()); i > 0; i -= i & -i)
        sum += FTree[static_cast<std::size_t>(i)];
    return sum;
}

int TtsVisibleItems::Select(int k) const {
    int at = 0;
    int step = 1;
    while (step * 2 <= Span())
        step *= 2;
    for (; step > 0; step /= 2)
        if (at + step <= Span() && FTree[static_cast<std::size_t>(at + step)] < k) {
            at += step;
            k -= FTree[static_cast<std::size_t>(at)];
        }
    return at + 1;
}

void TtsVisibleItems::SetShown(int position, bool on) {
    std::uint8_t& flag = FShown[static_cast<std::size_t>(position)];
    if ((flag != 0) == on) return;
    flag = on ? 1 : 0;
    const int delta = on ? 1 : -1;
    for (int i = position; i <= Span(); i += i & -i)
        FTree[static_cast<std::size_t>(i)] += delta;
    FCount += delta;
}

void TtsVisibleItems::SetCount(int count, int firstValue) {
    if (count < 0) count = 0;
    if (count == FItemCount) return;
    const int old = FItemCount;
    FItemCount = count;
    if (!FActive) return;
    if (count > old) {
        for (int i = 0; i < count - old; ++i)
            Add(firstValue + i);
    } else {
        // The highest positions go, so that the list keeps `count` entries.
        while (FCount > count)
            SetShown(Select(FCount), false);
    }
    FItemCount = FCount;
}

std::int32_t TtsVisibleItems::Get(int index) const {
    if (!FActive) return index;
    return index >= 1 && index <= FCount ? Select(index) : 0;
}

int TtsVisibleItems::Find(std::int32_t value, bool& found) const {
    if (!FActive) {
        found = value >= 1 && value <= FItemCount;
        if (found) return value;
        return value > 0 ? FItemCount + 1 : 1;
    }
    found = value >= 1 && value <= Span() && FShown[static_cast<std::size_t>(value)];
    if (value < 1) return 1;
    return Prefix(value - 1) + 1;
}

bool TtsVisibleItems::Contains(std::int32_t value) const {
    bool found = false;
    Find(value, found);
    return found;
}

void TtsVisibleItems::Add(std::int32_t value) {
    if (!FActive || value < 1) return;
    GrowSpan(value, false);
    SetShown(value, true);
    FItemCount = FCount;
}

void TtsVisibleItems::Remove(std::int32_t value) {
    Activate();
    if (value >= 1 && value <= Span()) SetShown(value, false);
    FItemCount = FCount;
}

void TtsVisibleItems::Insert(int, std::int32_t value) {
    Add(value);
}

void TtsVisibleItems::Delete(int index) {
    if (!FActive || index < 1 || index > FCount) return;
    SetShown(Select(index), false);
    FItemCount = FCount;
}

void TtsVisibleItems::Assign(const TtsSortIntList& source) {
    if (&source == this) return;
    if (auto* items = dynamic_cast<const TtsVisibleItems*>(&source)) {
        AssignItems(*items);
        return;
    }
    // A plain ascending list: its entries show, every other position up to its last is hidden.
    FActive = true;
    FShown.assign(1, 0);
    FTree.assign(1, 0);
    FCount = 0;
    for (int i = 1; i <= source.Count(); ++i)
        Add(source.Get(i));
    FItemCount = FCount;
}

void TtsVisibleItems::MoveItem(int oldPos, int newPos) {
    if (!FActive || oldPos == newPos || oldPos < 1 || newPos < 1) return;
    GrowSpan(std::max(oldPos, newPos), false);
    // The positions between shift by one toward the old one; the moved one keeps its flag.
    const bool moved = FShown[static_cast<std::size_t>(oldPos)] != 0;
    const int dir = newPos > oldPos ? 1 : -1;
    for (int p = oldPos; p != newPos; p += dir)
        SetShown(p, FShown[static_cast<std::size_t>(p + dir)] != 0);
    SetShown(newPos, moved);
}

void TtsVisibleItems::Rebuild(int count, const std::vector<std::int32_t>& hidden) {
    count = std::max(0, count);
    FActive = !hidden.empty();
    FItemCount = count;
    FCount = 0;
    FShown.assign(1, 0);
    FTree.assign(1, 0);
    if (!FActive) return;
    FShown.assign(static_cast<std::size_t>(count) + 1, 1);
    FShown[0] = 0;
    for (std::int32_t h : hidden)
        if (h >= 1 && h <= count) FShown[static_cast<std::size_t>(h)] = 0;
    // The tree in one pass: each node passes its sum on to its parent.
    FTree.assign(FShown.begin(), FShown.end());
    for (int i = 1; i <= count; ++i) {
        FCount += FShown[static_cast<std::size_t>(i)];
        const int parent = i + (i & -i);
        if (parent <= count) FTree[static_cast<std::size_t>(parent)] += FTree[static_cast<std::size_t>(i)];
    }
    FItemCount = FCount;
}

void TtsVisibleItems::Extend(int count) {
    if (!FActive) {
        FItemCount = std::max(FItemCount, count);
        return;
    }
    GrowSpan(count, true);
    FItemCount = FCount;
}

void TtsVisibleItems::Truncate(int count) {
    count = std::max(0, count);
    if (!FActive) {
        FItemCount = std::min(FItemCount, count);
        return;
    }
    if (count >= Span()) return;
    // Node i covers positions up to i only: the tree below the cut stays whole.
    FCount = Prefix(count);
    FShown.resize(static_cast<std::size_t>(count) + 1);
    FTree.resize(static_cast<std::size_t>(count) + 1);
    FItemCount = FCount;
}

int TtsVisibleItems::VisibleFrom(int position, int dir) const {
    if (!FActive) return position;
    if (position >= 1 && position <= Span() && FShown[static_cast<std::size_t>(position)])
        return position;
    const int before = Prefix(std::max(0, position)); // shown positions up to this one
    if (dir > 0) return before + 1 <= FCount ? Select(before + 1) : -1;
    return before >= 1 ? Select(before) : -1;
}

void TtsVisibleItems::AssignItems(const TtsVisibleItems& source) {
    if (&source == this) return;
    FItemCount = source.FItemCount;
    FActive = source.FActive;
    FCount = source.FCount;
    FShown = source.FShown;
    FTree = source.FTree;
}

// --- Coordinate list
// ---------------------------------------------------------------------------------

void TtsCoordList::AddPair(int col, int row) {
    Add(col);
    Add(row);
}

void TtsCoordList::RemovePair(int col, int row) {
    for (int i = 0; i + 1 < Count(); i += 2)
        if (Get(i) == col && Get(i + 1) == row) {
            Delete(i + 1);
            Delete(i);
            return;
        }
}

void TtsCoordList::SetPair(int index, int col, int row) {
    if (index < 0 || index % 2 != 0 || index + 1 >= Count()) return;
    Put(index, col);
    Put(index + 1, row);
}

bool TtsCoordList::NextPair(int& index, int& col, int& row) const {
    if (index < 0 || index + 1 >= Count()) {
        col = row = 0;
        return false;
    }
    col = Get(index);
    row = Get(index + 1);
    index += 2;
    return true;
}

} // namespace vel
