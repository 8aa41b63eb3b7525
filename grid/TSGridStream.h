#pragma once
// Saved grid layouts: the carrier component whose named properties hold the
// kind set, the whole grid ("Grid"), the grid's counts and default sizes, the
// column, row and cell property collections and optionally the stored cell
// values; written to a byte stream, a file or the settings store.
//
// Record form (TSStoredProps.h): the class name "TtsGridStreamComponent",
// then "SavePropKinds", "SaveData", "Properties", "AllProperties",
// "ResetProps", "Grid", "Cols", "Rows", "DefaultColWidth", "DefaultRowHeight",
// "ColProperties", "RowProperties", "CellProperties" and "Data", each only
// when its condition holds, closed by an empty name. "Grid" is the grid's own
// record: its class name, its settings, its counts and sizes, its three
// collections (and, for a combo's list, its items).
#include "TSGridCollections.h"

#include <memory>
#include <string>
#include <vector>

namespace vel {

// A grid the carrier saves or loads: its data half, its own record and the
// copy a save of chosen kinds writes from.
class TtsStreamGrid {
public:
    virtual ~TtsStreamGrid() = default;
    virtual TtsGridModel& StreamModel() = 0;
    // The grid as a record: its settings, counts and sizes, its collections with
    // every kind, and its values with WithData.
    virtual void WriteGridRecord(TStream& s, bool WithData) = 0;
    // Throws EReadError on damaged input; what was read stays.
    virtual void ReadGridRecord(TStream& s) = 0;
    // A new grid of the same kind, not shown, holding a copy of this one (its
    // values with WithData).
    virtual std::unique_ptr<TtsStreamGrid> CloneGrid(bool WithData) = 0;
    // How a layout's stored columns find the present ones.
    virtual TtsColBinding ColBinding() const { return bmDataCol; }
};

// A data half alone as a stream grid (its record holds the data half's settings).
class TtsModelStreamGrid : public TtsStreamGrid {
public:
    explicit TtsModelStreamGrid(TtsGridModel& Model) : FModel(&Model) {}
    TtsGridModel& StreamModel() override { return *FModel; }
    void WriteGridRecord(TStream& s, bool WithData) override;
    void ReadGridRecord(TStream& s) override;
    std::unique_ptr<TtsStreamGrid> CloneGrid(bool WithData) override;
    TtsColBinding Binding = bmDataCol;
    TtsColBinding ColBinding() const override { return Binding; }

private:
    TtsGridModel* FModel;
    std::unique_ptr<TtsGridModel> FOwned; // a clone's own model
};

// The grid record's parts a data half holds, for the grids above it: the
// settings, then the collections and values. A reader answers false for a
// name that is not one of its settings.
void WriteModelSettings(TStream& s, TtsGridModel& Model);
bool ReadModelSetting(TtsGridModel& Model, const TtsStoredProp& P);
void WriteModelParts(TStream& s, TtsGridModel& Model, bool WithData);
// A record: the class name, then each property to `setting` (false: refused)
// or, for the collections and values, to the data half.
void ReadGridRecordOf(TStream& s, TtsGridModel& Model,
                      const std::function<bool(const TtsStoredProp&)>& Setting);

class TtsGridStreamComponent {
public:
    explicit TtsGridStreamComponent(TtsStreamGrid* Grid);
    // A data half alone.
    explicit TtsGridStreamComponent(TtsGridModel* Grid);
    ~TtsGridStreamComponent();
    TtsGridStreamComponent(const TtsGridStreamComponent&) = delete;
    TtsGridStreamComponent& operator=(const TtsGridStreamComponent&) = delete;

    // The grid saved or loaded: the creating one, or a clone the carrier owns.
    TtsGridModel* Grid() const { return &FGrid->StreamModel(); }
    TtsStreamGrid* StreamGrid() const { return FGrid; }
    bool OwnsGrid() const { return FOwned != nullptr; }
    TtsPropKinds SavePropKinds = 0;
    TtsKindSet Kinds = 0;
    bool SaveData = false;
    std::uint8_t LoadMode = 0; // 1 = full load
    bool AllProperties() const { return Kinds == AllKinds; }
    // Taken from the grid when the carrier is made.
    TtsColBinding ColBinding = bmDataCol;

    void Write(TStream& stream);
    // Throws EReadError on damaged input and changes nothing then: a copy of the
    // grid reads the record first.
    void Read(TStream& stream);
    // The same without the copy: a refused record leaves the grid partly loaded.
    // For a caller that had a copy read it already.
    void ReadInPlace(TStream& stream);

    // Names of the properties written by the last Write, in order.
    const std::vector<std::string>& WrittenNames() const { return FWritten; }

private:
    // Without all kinds, the layout is written from a copy in which only the chosen
    // kinds differ from their defaults.
    void UseChosenKindsCopy();
    // In that copy, after its grid record: the column properties of no kind, which
    // chosen kinds never write, go too, so that a column lists only for what it writes.
    void DropUnwrittenProps();
    void WriteGrid(TStream& s);
    void WriteCounts(TStream& s);
    void ReadBinary(const std::string& name, const std::vector<std::uint8_t>& bytes);
    void ReadSimple(const std::string& name, const TtsVariant& v);
    void ReadCollection(TStream& s, const std::string& name);
    void ResetProps();

    TtsStreamGrid* FGrid;
    std::unique_ptr<TtsStreamGrid> FAdapter; // for a data half alone
    std::unique_ptr<TtsStreamGrid> FOwned;   // the clone a save of chosen kinds writes
    std::vector<std::string> FWritten;
};

// One published property from source to destination, through the setter.
template <class Line>
void CopyProperty(const TtsPropInfo<Line>& prop, Line& dest, const Line& source) {
    prop.Set(dest, prop.Get(source), prop.Name);
}
// Columns and rows publish these and their "Font" (fw::TPersistent), so that
// CopyPropertyByName and CopyProperties (TSCommon.h) copy them as any object's.

// Widens kinds 6, 7 and 28 to all three when any of them is present.
TtsKindSet WidenAlignmentKinds(TtsKindSet kinds);

// The grid's save and load operations.
void SaveLayout(TtsStreamGrid& grid, TStream& stream, TtsPropKinds parts, bool saveData,
                TtsKindSet kinds);
void LoadLayout(TtsStreamGrid& grid, TStream& stream, std::uint8_t mode);
void SaveLayout(TtsGridModel& grid, TStream& stream, TtsPropKinds parts, bool saveData,
                TtsKindSet kinds);
void LoadLayout(TtsGridModel& grid, TStream& stream, std::uint8_t mode);
// The layout as a text value of a settings key (hex of the record).
void SaveLayoutToSettings(TtsStreamGrid& grid, const std::string& path, const std::string& name,
                          const std::string& file, TtsPropKinds parts, TtsKindSet kinds);
void SaveLayoutToSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                          const std::string& file, TtsPropKinds parts, TtsKindSet kinds);
// False when the key or value is missing.
bool LoadLayoutFromSettings(TtsStreamGrid& grid, const std::string& path, const std::string& name,
                            const std::string& file, std::uint8_t mode);
bool LoadLayoutFromSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                            const std::string& file, std::uint8_t mode);

} // namespace vel
