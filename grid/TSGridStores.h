#pragma once
// The column store (one TtsCol per column index), the row store (row
// objects made on first use, and the display position of every data row),
// the lists of visible display positions and the cell coordinate list.
#include "TSGridModel.h"
#include "TSSetLib.h"

#include <memory>
#include <vector>

namespace vel {

class TtsGridCols {
public:
    TtsGridCols(TtsGridModel* grid, int count);
    virtual ~TtsGridCols() = default;
    TtsGridCols(const TtsGridCols&) = delete;
    TtsGridCols& operator=(const TtsGridCols&) = delete;

    int Count() const { return static_cast<int>(FCols.size()); }
    void Resize(int oldCount, int newCount);
    void SyncCount(int oldCount);
    // By index 0..Count-1 (range-checked), null outside.
    TtsCol* Col(int index) const;
    // First column 1..Count-1 whose FieldName matches, ignoring case.
    TtsCol* FindByName(const std::string& name) const;
    TtsCol* Find(const TtsVariant& key) const;
    void MoveEntries(int from, int to, int count);

protected:
    virtual std::unique_ptr<TtsCol> CreateCol(int index);

private:
    TtsGridModel* FGrid;
    std::vector<std::unique_ptr<TtsCol>> FCols;
    std::uint32_t FNextCreation = 0;
};

class TtsGridRows {
public:
    TtsGridRows(TtsGridModel* grid, int count);
    virtual ~TtsGridRows() = default;
    TtsGridRows(const TtsGridRows&) = delete;
    TtsGridRows& operator=(const TtsGridRows&) = delete;

    int Count() const { return static_cast<int>(FRows.size()); }
    void Resize(int oldCount, int newCount);
    void SyncCount(int oldCount);
    TtsRow* Row(int dataRow) const; // range-checked; null when none
    TtsRow* EnsureRow(int dataRow);
    void FreeRowIfUnused(int dataRow);
    int GetHeight(int dataRow) const;
    void SetHeight(int dataRow, int height);
    int GetAssignedHeight(int dataRow) const;
    void SetAssignedHeight(int dataRow, int height);
    void ApplyHeight(int dataRow, int height);
    int DisplayRow(int dataRow) const;
    // The data row shown at a display position, kept beside the display table.
    int DataRowAt(int position) const;
    void SetDisplayRowEntry(int dataRow, int position);
    void EnsureDisplayTable();
    bool HasDisplayTable() const { return FHasTable; }
    std::uint32_t CreationNumber(int dataRow) const;
    void MoveEntries(int from, int to, int count);

protected:
    virtual std::unique_ptr<TtsRow> CreateRow(int dataRow);

private:
    bool InRange(int dataRow) const;

    TtsGridModel* FGrid;
    std::vector<std::unique_ptr<TtsRow>> FRows;
    std::vector<std::int32_t> FDisplay; // data row -> display position
    std::vector<std::int32_t> FData;    // display position -> data row
    bool FHasTable = false;
    std::vector<std::uint32_t> FCreation;
    std::uint32_t FNextCreation = 0;
};

// Visible display positions, as an ascending list. While inactive it stands for
// 1..ItemCount; once a position is hidden it is active and ItemCount is the
// number of entries.
//
// An active list keeps a flag per position up to the highest one it has known
// and a binary indexed tree over the flags, so that hiding or showing a position,
// finding the k-th entry and the nearest visible position each cost log n, a move
// costs the distance moved (times log n), and positions added or cut at the end
// cost what is added or cut.
class TtsVisibleItems : public TtsSortIntList {
public:
    int ItemCount() const { return FItemCount; }
    bool Active() const { return FActive; }
    void SetCount(int count, int firstValue);
    std::int32_t Get(int index) const override;
    int Find(std::int32_t value, bool& found) const override;
    void Add(std::int32_t value) override;
    void Remove(std::int32_t value) override;
    void Insert(int index, std::int32_t value) override;
    void Delete(int index) override;
    void Assign(const TtsSortIntList& source) override;
    void Grow(int) override {}
    void SetCapacity(int) override {}
    void MoveItem(int oldPos, int newPos);
    // The list for positions 1..count of which `hidden` (ascending) are hidden.
    void Rebuild(int count, const std::vector<std::int32_t>& hidden);
    // Positions up to `count` now exist: the new ones at the end show.
    void Extend(int count);
    // Positions past `count` go, shown or hidden.
    void Truncate(int count);
    // From a position in a direction (1 or -1), the nearest visible one; -1 when none.
    int VisibleFrom(int position, int dir) const;
    void AssignItems(const TtsVisibleItems& source);
    bool Contains(std::int32_t value) const;

private:
    int Span() const { return static_cast<int>(FShown.size()) - 1; }
    // Shown positions 1..position.
    int Prefix(int position) const;
    // The k-th shown position (1-based k within 1..Count).
    int Select(int k) const;
    void SetShown(int position, bool on);
    // Positions up to `span` exist, the new ones shown or not.
    void GrowSpan(int span, bool shown);
    void Activate();

    int FItemCount = 0;
    bool FActive = false;
    std::vector<std::uint8_t> FShown{0}; // entry 0 unused
    std::vector<std::int32_t> FTree{0};  // binary indexed tree over FShown
};

// (column, row) pairs.
class TtsCoordList : public TtsIntegerList {
public:
    void AddPair(int col, int row);
    void RemovePair(int col, int row);
    void SetPair(int index, int col, int row);
    bool NextPair(int& index, int& col, int& row) const;
};

} // namespace vel
