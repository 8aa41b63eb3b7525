#pragma once
// The column, row and cell property collections of a stored grid or layout
// ("ColProperties", "RowProperties", "CellProperties"): one item per column,
// row or cell that differs from its defaults, naming it by data index and
// carrying its published properties as "Col.Name", "Row.Name" and
// "Cell.Name" (fonts as "Font.Name", "Font.Height", ...; a combo as the binary
// "Combo" after them). Items are written in published order, so on reading an
// item's indexes come before its properties and bind the line or cell first.
#include "TSGridData.h"
#include "TSStoredProps.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vel {

// A published property of a column or row class: its stored name, its kind
// (-1: stored only with all kinds) and its value as a variant. The setter
// refuses a value out of range with EReadError (name for the message).
template <class Line> struct TtsPropInfo {
    const char* Name;
    int Kind;
    std::function<TtsVariant(const Line&)> Get;
    std::function<void(Line&, const TtsVariant&, const std::string&)> Set;
};
// The properties held as plain values; fonts and a row's display position are apart.
const std::vector<TtsPropInfo<TtsCol>>& ColPropInfos();
const std::vector<TtsPropInfo<TtsRow>>& RowPropInfos();

// How stored column items find their columns.
enum TtsColBinding : std::uint8_t { bmFieldName = 0, bmDataCol = 1 };

class TtsPropCollection;
class TtsColCollection;
class TtsCellCollection;

class TtsPropItem {
public:
    explicit TtsPropItem(TtsPropCollection& Collection) : FCollection(Collection) {}
    virtual ~TtsPropItem() = default;
    TtsPropItem(const TtsPropItem&) = delete;
    TtsPropItem& operator=(const TtsPropItem&) = delete;
    TtsPropCollection& Collection() const { return FCollection; }

private:
    TtsPropCollection& FCollection;
};

// A stored row: its data index, display position and selection, and the row object.
class TtsRowItem : public TtsPropItem {
public:
    using TtsPropItem::TtsPropItem;
    int DataRow() const { return FDataRow; }
    // Binds the item to the row object of that data row (made when missing).
    void SetDataRow(int Value);
    int DisplayRow() const { return FDisplayRow; }
    // Moves the data row there (while its collection is read, once every item is in).
    void SetDisplayRow(int Value);
    bool Selected() const;
    void SetSelected(bool Value);
    TtsRow* Row() const { return FRow; }

private:
    friend class TtsPropCollection;
    void Prepare(int DataRow, int DisplayRow, TtsRow* Row) {
        FDataRow = DataRow;
        FDisplayRow = DisplayRow;
        FRow = Row;
    }
    TtsRow* FRow = nullptr;
    std::int32_t FDataRow = 0;
    std::int32_t FDisplayRow = 0;
};

// The collection of the grid's rows; the column and cell collections derive from it.
class TtsPropCollection {
public:
    explicit TtsPropCollection(TtsGridModel* Grid) : FGrid(Grid) {}
    virtual ~TtsPropCollection();
    TtsPropCollection(const TtsPropCollection&) = delete;
    TtsPropCollection& operator=(const TtsPropCollection&) = delete;

    TtsGridModel* Grid() const { return FGrid; }
    // The kinds written and applied (kinds 2 and 11 only with all kinds on rows).
    TtsKindSet Kinds = AllKinds;
    // True while the items are being read from a stream.
    bool Reading() const { return FReading; }

    virtual TtsPropItem& Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TtsPropItem& Items(int Index) const { return *FItems.at(static_cast<std::size_t>(Index)); }
    void Clear() { FItems.clear(); }

    // Items for the lines or cells that differ from their defaults.
    virtual void BuildForSave();
    // The items as a collection value: a count, then each item's properties.
    void WriteItems(TStream& s);
    // Reads a collection value, adding one item for each stored one.
    void ReadItems(TStream& s);

    // Row positions and selections read while the collection is read; applied at its end.
    void NotePosition(int DataRow, int Position) { FPositions.emplace_back(DataRow, Position); }
    void NoteSelected(int DataRow, bool On) { FSelections.emplace_back(DataRow, On); }

protected:
    // The item's properties, without the closing empty name.
    virtual void WriteItem(TStream& s, TtsPropItem& Item);
    virtual void ReadItem(TStream& s, TtsPropItem& Item);
    TtsPropItem& AddItem(std::unique_ptr<TtsPropItem> Item) {
        FItems.push_back(std::move(Item));
        return *FItems.back();
    }
    TtsGridModel* FGrid;

private:
    void ReadRowProp(TtsRowItem& Item, const std::string& Prop, const TtsStoredProp& P);
    std::vector<std::unique_ptr<TtsPropItem>> FItems;
    std::vector<std::pair<int, int>> FPositions;
    std::vector<std::pair<int, bool>> FSelections;
    std::unique_ptr<TtsRow> FScratchRow; // absorbs rows that are not there
    bool FReading = false;
};

// A stored column: its data index and field name, and the column they name.
class TtsColItem : public TtsPropItem {
public:
    using TtsPropItem::TtsPropItem;
    int DataCol() const { return FDataCol; }
    // With binding by data index, binds the item to the grid's column of that index.
    void SetDataCol(int Value);
    const std::string& FieldName() const { return FFieldName; }
    // With binding by field name, binds the item to the column of that name (its
    // loaded kinds reset first) and notes its data index in the grid's field
    // positions at DataCol - 1; a name no column has notes 0.
    void SetFieldName(const std::string& Value);
    // The bound column; an unbound item takes the collection's scratch column,
    // which absorbs what is read for a column that is not there.
    TtsCol* Col();
    TtsCol* BoundCol() const { return FCol; }

private:
    friend class TtsColCollection;
    void Prepare(TtsCol* C) {
        FCol = C;
        FDataCol = C->DataCol();
        FFieldName = C->FieldName();
    }
    TtsColCollection& Cols() const;
    TtsCol* FCol = nullptr;
    std::int32_t FDataCol = 0;
    std::string FFieldName;
};

class TtsColCollection : public TtsPropCollection {
public:
    explicit TtsColCollection(TtsGridModel* Grid, TtsColBinding Binding = bmDataCol)
        : TtsPropCollection(Grid), FBinding(Binding) {}
    ~TtsColCollection() override;
    TtsColBinding Binding() const { return FBinding; }
    TtsPropItem& Add() override;
    TtsColItem& ColItem(int Index) const { return static_cast<TtsColItem&>(Items(Index)); }
    void BuildForSave() override;
    // Column 1 of a grid made once, on first need, and freed with the collection.
    TtsCol& ScratchCol();
    bool HasScratch() const { return FScratch != nullptr; }

protected:
    void WriteItem(TStream& s, TtsPropItem& Item) override;
    void ReadItem(TStream& s, TtsPropItem& Item) override;

private:
    TtsColBinding FBinding;
    std::unique_ptr<TtsGridModel> FScratch;
};

// A stored cell: its indexes and the accessor its properties go through.
class TtsCellItem : public TtsPropItem {
public:
    // While the grid is read the item makes a cell accessor of its own; else it
    // shares the collection's.
    explicit TtsCellItem(TtsCellCollection& Collection);
    ~TtsCellItem() override;
    int DataCol() const { return FDataCol; }
    void SetDataCol(int Value) { FDataCol = Value; }
    int DataRow() const { return FDataRow; }
    void SetDataRow(int Value) { FDataRow = Value; }
    // The accessor, pointed at the item's cell.
    TtsCell& Cell();
    bool OwnsCell() const { return FOwnCell != nullptr; }

private:
    std::unique_ptr<TtsCell> FOwnCell;
    TtsCell* FCell;
    std::int32_t FDataCol = 0;
    std::int32_t FDataRow = 0;
};

class TtsCellCollection : public TtsPropCollection {
public:
    explicit TtsCellCollection(TtsGridModel* Grid);
    ~TtsCellCollection() override;
    TtsPropItem& Add() override;
    TtsCellItem& CellItem(int Index) const { return static_cast<TtsCellItem&>(Items(Index)); }
    void BuildForSave() override;
    // A cell accessor for the grid at column 0, row 0.
    virtual std::unique_ptr<TtsCell> CreateCell();
    TtsCell& SharedCell();

protected:
    void WriteItem(TStream& s, TtsPropItem& Item) override;
    void ReadItem(TStream& s, TtsPropItem& Item) override;

private:
    std::unique_ptr<TtsCell> FCell;
};

// A collection as a stored property: the name, the collection type and the items.
void WriteCollection(TStream& s, const std::string& Name, TtsPropCollection& Collection);
// Reads "ColProperties", "RowProperties" or "CellProperties" into the grid,
// applying the given kinds; another name is refused.
void ReadCollection(TStream& s, TtsGridModel& Grid, const std::string& Name, TtsKindSet Kinds,
                    TtsColBinding Binding);

// A font as "<prefix>Name", "Height", "Style" and "Color", and one such part back.
// A stored font height lies within ±MaxStoredFontHeight: a larger one is written as
// the nearest that does, and read as damage.
constexpr int MaxStoredFontHeight = 1000;
void WriteStoredFont(TStream& s, const std::string& Prefix, const fw::TFont& Font);
void ReadStoredFontPart(fw::TFont& Font, const std::string& Part, const TtsVariant& V,
                        const std::string& Name);

} // namespace vel
