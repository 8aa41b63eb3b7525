#pragma once
// Typed cell values of a grid that keeps its data itself, per data row, and
// their compact stream form. Row 0 buffers one row while it is edited.
#include "TSCommon.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fw {
class TBitmap;
}

namespace vel {

enum : std::uint8_t {
    tagEmpty = 0,
    tagText = 1,
    tagInteger = 2,
    tagBitmap = 3,
    tagText2 = 4,
    tagNull = 5,
};

class Tts2DStorage {
public:
    // The last row a storage keeps (the largest grid's, MaxGridRows), so whatever it
    // writes a stream read without a row count reads back; a grid's storage reads with
    // the grid's row count instead.
    static constexpr int MaxStoredRow = 1 << 22;

    Tts2DStorage(int colGrowMin, int rowGrowMin);
    virtual ~Tts2DStorage();
    Tts2DStorage(const Tts2DStorage&) = delete;
    Tts2DStorage& operator=(const Tts2DStorage&) = delete;

    int ColGrowMin() const { return FColGrowMin; }
    int RowGrowMin() const { return FRowGrowMin; }
    int RowSlots() const { return static_cast<int>(FRows.size()); }
    int ColCount(int row) const;
    int ColCapacity(int row) const;
    bool Flag = false;

    virtual void Assign(const Tts2DStorage* source);
    virtual void BufferRow(int row);
    virtual void ClearBuffer();
    virtual void DeleteCols(int first, int last);
    virtual void DeleteRows(int first, int last);
    virtual TtsVariant GetValue(int column, int row) const;
    virtual std::uint8_t GetTag(int column, int row) const;
    // columnMap entry i - 1 is the data column of stored column i (may be null).
    // A row's cells are bounded by the bytes that hold them, its number by the row
    // count (MaxStoredRow here).
    virtual void LoadFromStream(TStream& stream, const std::vector<std::int32_t>* columnMap);
    // The same for a grid of maxRow rows: a stored row beyond them is read and dropped,
    // so that the row table never outgrows the grid whatever the stream says.
    void LoadFromStream(TStream& stream, const std::vector<std::int32_t>* columnMap, int maxRow);
    virtual void RestoreRow(int row);
    virtual void SaveToStream(TStream& stream) const;
    // Texts travel as text, integers as 32-bit integers and bitmaps as
    // object references (a bitmap not yet shared joins the shared set).
    // Every column from 1 and row from 0 to MaxStoredRow is kept (the grid's counts
    // bound them); a row past it is no place.
    virtual void SetValue(int column, int row, std::uint8_t tag, const TtsVariant& value);

    // The bitmap of a tag-3 cell, null otherwise.
    fw::TBitmap* GetBitmap(int column, int row) const;
    void SetBitmap(int column, int row, fw::TBitmap* bitmap);

    int LastUsedRow() const;
    int LastNonEmptyCol(int row) const;

private:
    // 16 bytes a cell: the payload by tag. A text is owned by its cell; a bitmap holds
    // one reference in the shared set. Cells are moved bitwise and copied only by PutCell.
    struct TCell {
        std::uint8_t Tag = tagEmpty;
        std::int32_t Int = 0;
        void* Object = nullptr; // std::string for texts, fw::TBitmap for bitmaps
        std::string* Text() const { return static_cast<std::string*>(Object); }
        fw::TBitmap* Bitmap() const { return static_cast<fw::TBitmap*>(Object); }
    };
    struct TRow {
        bool Exists = false; // the value block exists
        std::vector<TCell> Cells;
    };

    // What a stream holds, read before any of it joins the table (TSStorage.cpp).
    struct TStoredRows;
    // Rows past maxRow are read and dropped, rows past mostRow refuse the stream.
    void Load(TStream& s, const std::vector<std::int32_t>* columnMap, int maxRow, int mostRow);
    // The read rows into the table, the way SetValue would put them there.
    void TakeRows(TStoredRows& read, const std::vector<std::int32_t>* columnMap);
    // A read row moved into an empty row of a table grown to hold it.
    void TakeFreshRow(int row, TRow& from);
    void ClearMappedCols(const std::vector<std::int32_t>& columnMap);
    void ClearCell(TCell& c);
    void ClearRow(int row, bool shrink);
    void GrowRows(int row);
    TCell* CellFor(int column, int row);
    void PutCell(int column, int row, std::uint8_t tag, const TtsVariant& value,
                 fw::TBitmap* bitmap);
    void CopyRow(int from, int to);

    int FColGrowMin;
    int FRowGrowMin;
    std::vector<TRow> FRows;
};

} // namespace vel
