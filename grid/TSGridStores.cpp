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

TtsGridCols::TtsGridCols(TtsGridModel* grid, int count) : Grid_(grid) {
    Resize(0, count);
}

std::unique_ptr<TtsCol> TtsGridCols::CreateCol(int index) {
    auto c = std::make_unique<TtsCol>(Grid_, index);
    const int w = Grid_ ? Grid_->ColWidthAt(index) : 64;
    c->SetWidthFields(w, w);
    c->CreationNumber = NextCreation_++;
    return c;
}

void TtsGridCols::Resize(int oldCount, int newCount) {
    (void)oldCount;
    if (newCount < 0) newCount = 0;
    const int have = Count();
    if (newCount < have) {
        Cols_.resize(static_cast<std::size_t>(newCount));
        return;
    }
    Cols_.reserve(static_cast<std::size_t>(newCount));
    for (int i = have; i < newCount; ++i)
        Cols_.push_back(CreateCol(i));
}

void TtsGridCols::SyncCount(int oldCount) {
    Resize(oldCount, Grid_ ? Grid_->Cols() + 1 : oldCount);
}

TtsCol* TtsGridCols::Col(int index) const {
    if (Grid_ && !Grid_->CheckRange(1, index, Count() - 1, 0)) return nullptr;
    if (index < 0 || index >= Count()) return nullptr;
    return Cols_[static_cast<std::size_t>(index)].get();
}

TtsCol* TtsGridCols::FindByName(const std::string& name) const {
    for (int i = 1; i < Count(); ++i)
        if (Cols_[static_cast<std::size_t>(i)] &&
            SameTextNoCase(Cols_[static_cast<std::size_t>(i)]->FieldName(), name))
            return Cols_[static_cast<std::size_t>(i)].get();
    return nullptr;
}

TtsCol* TtsGridCols::Find(const TtsVariant& key) const {
    if (auto* s = std::get_if<std::string>(&key)) return FindByName(*s);
    if (!IsNumericVarType(key)) return nullptr;
    return Col(VarAsInteger(key));
}

void TtsGridCols::MoveEntries(int from, int to, int count) {
    if (count <= 0 || from < 0 || to < 0 || from + count > Count() || to + count > Count()) return;
    MoveBlock(Cols_, from, to, count);
}

// --- Rows
// ------------------------------------------------------------------------------------------

TtsGridRows::TtsGridRows(TtsGridModel* grid, int count) : Grid_(grid) {
    Resize(0, count);
}

std::unique_ptr<TtsRow> TtsGridRows::CreateRow(int dataRow) {
    return std::make_unique<TtsRow>(Grid_, dataRow);
}

bool TtsGridRows::InRange(int dataRow) const {
    return dataRow >= 0 && dataRow < Count();
}

void TtsGridRows::Resize(int oldCount, int newCount) {
    (void)oldCount;
    if (newCount < 0) newCount = 0;
    const int have = Count();
    Rows_.resize(static_cast<std::size_t>(newCount));
    Creation_.resize(static_cast<std::size_t>(newCount));
    if (HasTable_) Display_.resize(static_cast<std::size_t>(newCount));
    for (int i = have; i < newCount; ++i) {
        if (HasTable_) Display_[static_cast<std::size_t>(i)] = i;
        Creation_[static_cast<std::size_t>(i)] = NextCreation_++;
    }
    if (newCount > 0 && !Rows_[0]) Rows_[0] = CreateRow(0);
}

void TtsGridRows::SyncCount(int oldCount) {
    Resize(oldCount, Grid_ ? Grid_->Rows() + 1 : oldCount);
}

TtsRow* TtsGridRows::Row(int dataRow) const {
    if (Grid_ && !Grid_->CheckRange(0, dataRow, Count() - 1, 0)) return nullptr;
    return InRange(dataRow) ? Rows_[static_cast<std::size_t>(dataRow)].get() : nullptr;
}

TtsRow* TtsGridRows::EnsureRow(int dataRow) {
    if (!InRange(dataRow)) return nullptr;
    auto& r = Rows_[static_cast<std::size_t>(dataRow)];
    if (!r) {
        r = CreateRow(dataRow);
        const int present = Grid_ ? Grid_->RowHeightAt(DisplayRow(dataRow)) : 14;
        const int assigned = Grid_ ? Grid_->RowHeightAt(dataRow) : 14;
        r->SetHeightFields(present, assigned);
    }
    return r.get();
}

void TtsGridRows::FreeRowIfUnused(int dataRow) {
    if (dataRow == 0 || !InRange(dataRow)) return;
    auto& r = Rows_[static_cast<std::size_t>(dataRow)];
    if (r && r->IsUnused()) r.reset();
}

int TtsGridRows::GetHeight(int dataRow) const {
    const TtsRow* r = InRange(dataRow) ? Rows_[static_cast<std::size_t>(dataRow)].get() : nullptr;
    return r ? r->Height() : (Grid_ ? Grid_->DefaultRowHeight() : 14);
}

void TtsGridRows::SetHeight(int dataRow, int height) {
    if (!InRange(dataRow)) return;
    const int def = Grid_ ? Grid_->DefaultRowHeight() : 14;
    if (!Rows_[static_cast<std::size_t>(dataRow)] && height == def) return;
    TtsRow* r = EnsureRow(dataRow);
    r->SetHeightFields(height, r->AssignedHeight());
    FreeRowIfUnused(dataRow);
}

int TtsGridRows::GetAssignedHeight(int dataRow) const {
    const TtsRow* r = InRange(dataRow) ? Rows_[static_cast<std::size_t>(dataRow)].get() : nullptr;
    return r ? r->AssignedHeight() : (Grid_ ? Grid_->DefaultAssignedRowHeight() : 14);
}

void TtsGridRows::SetAssignedHeight(int dataRow, int height) {
    if (!InRange(dataRow)) return;
    const int def = Grid_ ? Grid_->DefaultAssignedRowHeight() : 14;
    if (!Rows_[static_cast<std::size_t>(dataRow)] && height == def) return;
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
    if (!HasTable_ || !InRange(dataRow)) return dataRow;
    return Display_[static_cast<std::size_t>(dataRow)];
}

void TtsGridRows::SetDisplayRowEntry(int dataRow, int position) {
    if (HasTable_ && InRange(dataRow)) Display_[static_cast<std::size_t>(dataRow)] = position;
}

void TtsGridRows::EnsureDisplayTable() {
    if (HasTable_) return;
    Display_.resize(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i)
        Display_[static_cast<std::size_t>(i)] = i;
    HasTable_ = true;
}

std::uint32_t TtsGridRows::CreationNumber(int dataRow) const {
    return InRange(dataRow) ? Creation_[static_cast<std::size_t>(dataRow)] : 0;
}

void TtsGridRows::MoveEntries(int from, int to, int count) {
    if (count <= 0 || from < 0 || to < 0 || from + count > Count() || to + count > Count()) return;
    MoveBlock(Rows_, from, to, count);
    MoveBlock(Creation_, from, to, count);
    if (HasTable_) MoveBlock(Display_, from, to, count);
}

// --- Visible positions
// -----------------------------------------------------------------------------

void TtsVisibleItems::SetCount(int count, int firstValue) {
    if (count < 0) count = 0;
    if (count == ItemCount_) return;
    const int old = ItemCount_;
    ItemCount_ = count;
    if (!Active_) return;
    if (count > old) {
        for (int i = 0; i < count - old; ++i)
            TtsSortIntList::Add(firstValue + i);
    } else {
        // The highest positions go, so that the list keeps `count` entries.
        while (Count_ > count)
            Delete(Count_);
    }
    ItemCount_ = Count_;
}

std::int32_t TtsVisibleItems::Get(int index) const {
    return Active_ ? TtsSortIntList::Get(index) : index;
}

int TtsVisibleItems::Find(std::int32_t value, bool& found) const {
    if (value >= 1 && value <= ItemCount_ && Get(value) == value) {
        found = true;
        return value;
    }
    if (!Active_) {
        found = false;
        return value > 0 ? ItemCount_ + 1 : 1;
    }
    return TtsSortIntList::Find(value, found);
}

bool TtsVisibleItems::Contains(std::int32_t value) const {
    bool found = false;
    Find(value, found);
    return found;
}

void TtsVisibleItems::Add(std::int32_t value) {
    if (!Active_) return;
    TtsSortIntList::Add(value);
    ItemCount_ = Count_;
}

void TtsVisibleItems::Remove(std::int32_t value) {
    if (!Active_) {
        SetCapacity(ItemCount_);
        for (int i = 1; i <= ItemCount_; ++i)
            Items_[static_cast<std::size_t>(i)] = i;
        Count_ = ItemCount_;
        Active_ = true;
    }
    TtsSortIntList::Remove(value);
    ItemCount_ = Count_;
}

void TtsVisibleItems::MoveItem(int oldPos, int newPos) {
    if (!Active_ || oldPos == newPos) return;
    bool fa = false;
    bool fb = false;
    const int a = Find(oldPos, fa);
    Find(newPos, fb);
    auto at = [&](int i) -> std::int32_t& { return Items_[static_cast<std::size_t>(i)]; };
    if (newPos > oldPos) {
        int i = fa ? a + 1 : a;
        while (i <= Count_ && at(i) <= newPos) {
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

void TtsVisibleItems::AssignItems(const TtsVisibleItems& source) {
    TtsSortIntList::Assign(source);
    ItemCount_ = source.ItemCount_;
    Active_ = source.Active_;
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
