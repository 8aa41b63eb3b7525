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
        const int present = FGrid ? FGrid->RowHeightAt(DisplayRow(dataRow)) : 14;
        const int assigned = FGrid ? FGrid->RowHeightAt(dataRow) : 14;
        r->SetHeightFields(present, assigned);
    }
    return r.get();
}

void TtsGridRows::FreeRowIfUnused(int dataRow) {
    if (dataRow == 0 || !InRange(dataRow)) return;
    auto& r = FRows[static_cast<std::size_t>(dataRow)];
    if (r && r->IsUnused()) r.reset();
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

void TtsVisibleItems::SetCount(int count, int firstValue) {
    if (count < 0) count = 0;
    if (count == FItemCount) return;
    const int old = FItemCount;
    FItemCount = count;
    if (!FActive) return;
    if (count > old) {
        for (int i = 0; i < count - old; ++i)
            TtsSortIntList::Add(firstValue + i);
    } else {
        // The highest positions go, so that the list keeps `count` entries.
        while (FCount > count)
            Delete(FCount);
    }
    FItemCount = FCount;
}

std::int32_t TtsVisibleItems::Get(int index) const {
    return FActive ? TtsSortIntList::Get(index) : index;
}

int TtsVisibleItems::Find(std::int32_t value, bool& found) const {
    if (value >= 1 && value <= FItemCount && Get(value) == value) {
        found = true;
        return value;
    }
    if (!FActive) {
        found = false;
        return value > 0 ? FItemCount + 1 : 1;
    }
    return TtsSortIntList::Find(value, found);
}

bool TtsVisibleItems::Contains(std::int32_t value) const {
    bool found = false;
    Find(value, found);
    return found;
}

void TtsVisibleItems::Add(std::int32_t value) {
    if (!FActive) return;
    TtsSortIntList::Add(value);
    FItemCount = FCount;
}

void TtsVisibleItems::Remove(std::int32_t value) {
    if (!FActive) {
        SetCapacity(FItemCount);
        for (int i = 1; i <= FItemCount; ++i)
            FItems[static_cast<std::size_t>(i)] = i;
        FCount = FItemCount;
        FActive = true;
    }
    TtsSortIntList::Remove(value);
    FItemCount = FCount;
}

void TtsVisibleItems::MoveItem(int oldPos, int newPos) {
    if (!FActive || oldPos == newPos) return;
    bool fa = false;
    bool fb = false;
    const int a = Find(oldPos, fa);
    Find(newPos, fb);
    auto at = [&](int i) -> std::int32_t& { return FItems[static_cast<std::size_t>(i)]; };
    if (newPos > oldPos) {
        int i = fa ? a + 1 : a;
        while (i <= FCount && at(i) <= newPos) {
            if (at(i) >= oldPos) --at(i);
            ++i;
        }
        if (fa) {
            for (int j = a; j < i - 1; ++j)
                at(j) = at(j + 1);
            at(i - 1) = newPos;
        }
    } else {
        // Unfound, a is past every smaller entry, which start at a - 1.
        int i = a - 1;
        while (i >= 1 && at(i) >= newPos) {
            if (at(i) <= oldPos) ++at(i);
            --i;
        }
        if (fa) {
            for (int j = a; j > i + 1; --j)
                at(j) = at(j - 1);
            at(i + 1) = newPos;
        }
    }
}

void TtsVisibleItems::Rebuild(int count, const std::vector<std::int32_t>& hidden) {
    FCount = 0;
    FActive = !hidden.empty();
    FItemCount = std::max(0, count);
    if (!FActive) {
        FItems.clear();
        return;
    }
    SetCapacity(FItemCount);
    std::size_t h = 0;
    for (int p = 1; p <= FItemCount; ++p) {
        while (h < hidden.size() && hidden[h] < p)
            ++h;
        if (h < hidden.size() && hidden[h] == p) continue;
        FItems[static_cast<std::size_t>(++FCount)] = p;
    }
    FItemCount = FCount;
}

int TtsVisibleItems::VisibleFrom(int position, int dir) const {
    if (!FActive) return position;
    bool found = false;
    const int at = TtsSortIntList::Find(position, found);
    if (found) return position;
    if (dir > 0) return at <= FCount ? TtsSortIntList::Get(at) : -1;
    return at - 1 >= 1 ? TtsSortIntList::Get(at - 1) : -1;
}

void TtsVisibleItems::AssignItems(const TtsVisibleItems& source) {
    TtsSortIntList::Assign(source);
    FItemCount = source.FItemCount;
    FActive = source.FActive;
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
