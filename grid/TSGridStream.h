#pragma once
// Saved grid layouts: the carrier component whose named properties hold the
// kind set, the grid's counts and default sizes, the column, row and cell
// property collections and optionally the stored cell values; written to a
// byte stream, a file or the settings store.
//
// Record form (little-endian): the class name as a 32-bit length and text,
// then properties, each a name (8-bit length and text), a value type byte and
// the value, closed by an empty name. The collections "ColProperties",
// "RowProperties" and "CellProperties" hold a 32-bit item count and per item
// a property list closed the same way: the item's indexes ("DataCol",
// "FieldName"; "DataRow", "DisplayRow", "Selected"; "DataCol", "DataRow")
// first, then the line's or cell's properties as "Col.Name", "Row.Name" and
// "Cell.Name". Only properties that differ from their defaults are written.
#include "TSGridData.h"

#include <functional>
#include <string>
#include <vector>

namespace vel {

enum TtsValueType : std::uint8_t {
    vtInteger = 1,
    vtBoolean = 2,
    vtString = 3,
    vtBinary = 4,
    vtCollection = 5,
    vtSet = 6, // older kind-set form: a count and element names
    vtFloat = 7,
};

// Stored records larger than this are refused.
constexpr std::size_t MaxLayoutSize = 64u << 20;

class TtsGridStreamComponent {
public:
    explicit TtsGridStreamComponent(TtsGridModel* grid) : FGrid(grid) {}

    TtsGridModel* Grid() const { return FGrid; }
    TtsPropKinds SavePropKinds = 0;
    TtsKindSet Kinds = 0;
    bool SaveData = false;
    std::uint8_t LoadMode = 0; // 1 = full load
    bool AllProperties() const { return Kinds == AllKinds; }
    // 0: items bound to columns by data index; 1 by field name.
    std::uint8_t ColBindByName = 0;

    // The grid's own record for "Grid"; without it the model's counts, default
    // sizes and colour are written.
    std::function<void(TStream&)> OnWriteGrid;
    std::function<void(TStream&)> OnReadGrid;

    void Write(TStream& stream);
    // Throws EReadError on damaged input; the grid may then be partly loaded.
    void Read(TStream& stream);

    // Names of the properties written by the last Write, in order.
    const std::vector<std::string>& WrittenNames() const { return FWritten; }

private:
    void ReadGridBlock(TMemoryStream& block);
    void ReadBinary(TStream& s, const std::string& name);
    void ReadSimple(const std::string& name, const TtsVariant& v);
    void WriteCols(TStream& s);
    void WriteRows(TStream& s);
    void WriteCells(TStream& s);
    void ReadCols(TStream& s);
    void ReadRows(TStream& s);
    void ReadCells(TStream& s);
    void ResetProps();

    TtsGridModel* FGrid;
    std::vector<std::string> FWritten;
};

// A published property of a column or row class: its stored name, its kind
// (-1: stored only with all kinds) and its value as a variant. The setter
// refuses a value out of range with EReadError (name for the message).
template <class Line> struct TtsPropInfo {
    const char* Name;
    int Kind;
    std::function<TtsVariant(const Line&)> Get;
    std::function<void(Line&, const TtsVariant&, const std::string&)> Set;
};
// In published (stored) order; fonts are apart ("Font" in the copies below).
const std::vector<TtsPropInfo<TtsCol>>& ColPropInfos();
const std::vector<TtsPropInfo<TtsRow>>& RowPropInfos();

// One published property from source to destination, through the setter.
template <class Line>
void CopyProperty(const TtsPropInfo<Line>& prop, Line& dest, const Line& source) {
    prop.Set(dest, prop.Get(source), prop.Name);
}
// By name, without regard to case ("Font" copies the own font); false for no such property.
bool CopyPropertyByName(const std::string& name, TtsCol& dest, const TtsCol& source);
bool CopyPropertyByName(const std::string& name, TtsRow& dest, const TtsRow& source);
// Every published property but those named in the ";"-separated exclusions.
void CopyProperties(TtsCol& dest, const TtsCol& source, const std::string& exclusions);
void CopyProperties(TtsRow& dest, const TtsRow& source, const std::string& exclusions);

// Widens kinds 6, 7 and 28 to all three when any of them is present.
TtsKindSet WidenAlignmentKinds(TtsKindSet kinds);

// The grid's save and load operations.
void SaveLayout(TtsGridModel& grid, TStream& stream, TtsPropKinds parts, bool saveData,
                TtsKindSet kinds);
void LoadLayout(TtsGridModel& grid, TStream& stream, std::uint8_t mode);
// The layout as a text value of a settings key (hex of the record).
void SaveLayoutToSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                          const std::string& file, TtsPropKinds parts, TtsKindSet kinds);
// False when the key or value is missing.
bool LoadLayoutFromSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                            const std::string& file, std::uint8_t mode);

} // namespace vel
