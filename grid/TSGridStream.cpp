#include "TSGridStream.h"

#include "ScopeExit.h"

#include <algorithm>
#include <cctype>

namespace vel {

namespace {

constexpr const char* CarrierClass = "TtsGridStreamComponent";
constexpr const char* ModelClass = "TtsGridModel";

void WriteInt(TStream& s, const char* name, int v) {
    WriteStoredProp(s, name, TtsVariant(std::int32_t{v}));
}

// Raises a flag of the data half for the time of a record.
class TFlagRaised {
public:
    explicit TFlagRaised(bool& flag) : FFlag(flag), FWas(flag) { flag = true; }
    ~TFlagRaised() { FFlag = FWas; }
    TFlagRaised(const TFlagRaised&) = delete;
    TFlagRaised& operator=(const TFlagRaised&) = delete;

private:
    bool& FFlag;
    bool FWas;
};

} // namespace

TtsKindSet WidenAlignmentKinds(TtsKindSet kinds) {
    const TtsKindSet trio = Kind(prAlignFlag) | Kind(prAlignment) | Kind(prHorzAlignment);
    return (kinds & trio) ? kinds | trio : kinds;
}

// --- The data half's record --------------------------------------------------------------------

void WriteModelSettings(TStream& s, TtsGridModel& m) {
    WriteStoredSetting(s, "DefaultColWidth", m.DefaultColWidth(), 64);
    WriteStoredSetting(s, "DefaultRowHeight", m.DefaultRowHeight(), 14);
    WriteInt(s, "Cols", m.Cols());
    WriteInt(s, "Rows", m.Rows());
    WriteStoredSetting(s, "Color", m.Color, fw::clWindow);
    WriteStoredSetting(s, "ControlType", m.GridControlType, ctText);
    WriteStoredSetting(s, "HorzAlignment", m.GridHorzAlignment, htaLeft);
    WriteStoredSetting(s, "VertAlignment", m.GridVertAlignment, vtaTop);
    WriteStoredSetting(s, "WordWrap", m.GridWordWrap, wwOff);
    WriteStoredSetting(s, "ReadOnly", m.GridReadOnly, false);
    WriteStoredSetting(s, "ButtonType", m.GridButtonType, btNone);
    WriteStoredSetting(s, "DrawOverlap", m.DrawOverlap, doDrawColOnTop);
    WriteStoredSetting(s, "StoreData", m.StoreData(), false);
    static const fw::TFont Plain;
    if (!m.Font.SameAs(Plain)) WriteStoredFont(s, "Font.", m.Font);
    if (!m.HeadingFont.SameAs(Plain)) WriteStoredFont(s, "HeadingFont.", m.HeadingFont);
}

bool ReadModelSetting(TtsGridModel& m, const TtsStoredProp& p) {
    const std::string& n = p.Name;
    const TtsVariant& v = p.Value;
    if (p.Type == vtBinary) return false;
    if (n == "DefaultColWidth")
        m.SetDefaultColWidth(StoredRange(v, n, 0, MaxLineExtent));
    else if (n == "DefaultRowHeight")
        m.SetDefaultRowHeight(StoredRange(v, n, 0, MaxLineExtent));
    else if (n == "Cols")
        m.SetCols(StoredRange(v, n, 0, MaxGridCols));
    else if (n == "Rows")
        m.SetRows(StoredRange(v, n, 0, MaxGridRows));
    else if (n == "Color")
        m.Color = StoredInt(v, n);
    else if (n == "ControlType")
        m.GridControlType = static_cast<TtsControlType>(StoredEnum(v, n, ctDefault));
    else if (n == "HorzAlignment")
        m.GridHorzAlignment = static_cast<TtsHorzAlignment>(StoredEnum(v, n, htaDefault));
    else if (n == "VertAlignment")
        m.GridVertAlignment = static_cast<TtsVertAlignment>(StoredEnum(v, n, vtaDefault));
    else if (n == "WordWrap")
        m.GridWordWrap = StoredEnum(v, n, wwDefault);
    else if (n == "ReadOnly")
        m.GridReadOnly = StoredBool(v, n);
    else if (n == "ButtonType")
        m.GridButtonType = static_cast<TtsButtonType>(StoredEnum(v, n, btDateTimePopup));
    else if (n == "DrawOverlap")
        m.DrawOverlap = static_cast<TtsDrawOverlap>(StoredEnum(v, n, doDrawRowOnTop));
    else if (n == "StoreData")
        m.SetStoreData(StoredBool(v, n));
    else if (n.rfind("Font.", 0) == 0) {
        fw::TFont f;
        f.Assign(m.Font);
        ReadStoredFontPart(f, n.substr(5), v, n);
        m.Font.Assign(f);
        m.FontChanged();
    } else if (n.rfind("HeadingFont.", 0) == 0) {
        ReadStoredFontPart(m.HeadingFont, n.substr(12), v, n);
    } else {
        return false;
    }
    return true;
}

void WriteModelParts(TStream& s, TtsGridModel& m, bool withData) {
    TtsColCollection cols(&m);
    cols.BuildForSave();
    WriteCollection(s, "ColProperties", cols);
    TtsPropCollection rows(&m);
    rows.BuildForSave();
    WriteCollection(s, "RowProperties", rows);
    TtsCellCollection cells(&m);
    cells.BuildForSave();
    WriteCollection(s, "CellProperties", cells);
    if (withData && m.StoreData()) {
        TMemoryStream block;
        m.Storage()->SaveToStream(block);
        WriteStoredBinary(s, "Data", block.Data());
    }
}

void ReadGridRecordOf(TStream& s, TtsGridModel& m,
                      const std::function<bool(const TtsStoredProp&)>& setting) {
    const std::string cls = s.ReadText();
    if (cls.empty() || cls.size() > 255) throw EReadError("Not a grid record");
    TFlagRaised reading(m.IsReadingStream);
    for (;;) {
        TtsStoredProp p;
        p.Name = ReadStoredName(s);
        if (p.Name.empty()) return;
        p.Type = s.ReadU8();
        if (p.Type == vtCollection) {
            ReadCollection(s, m, p.Name, AllKinds, bmDataCol);
            continue;
        }
        if (p.Type == vtBinary)
            p.Bytes = ReadStoredBinary(s);
        else
            p.Value = ReadStoredValue(s, p.Type);
        if (p.Type == vtBinary && p.Name == "Data") {
            TMemoryStream block(p.Bytes);
            if (m.StoreData()) m.Storage()->LoadFromStream(block, nullptr, m.Rows());
        } else if (!setting(p) && !ReadModelSetting(m, p)) {
            throw EReadError("Unknown property " + p.Name);
        }
    }
}

void TtsModelStreamGrid::WriteGridRecord(TStream& s, bool withData) {
    s.WriteText(ModelClass);
    WriteModelSettings(s, *FModel);
    WriteModelParts(s, *FModel, withData);
    WriteStoredName(s, "");
}

void TtsModelStreamGrid::ReadGridRecord(TStream& s) {
    ReadGridRecordOf(s, *FModel, [](const TtsStoredProp&) { return false; });
}

std::unique_ptr<TtsStreamGrid> TtsModelStreamGrid::CloneGrid(bool withData) {
    auto model = std::make_unique<TtsGridModel>(FModel->Name, 0, 0);
    if (FModel->StoreData()) model->SetStoreData(true);
    model->Assign(*FModel, withData);
    auto clone = std::make_unique<TtsModelStreamGrid>(*model);
    clone->FOwned = std::move(model);
    clone->Binding = Binding;
    return clone;
}

// --- The carrier: writing ----------------------------------------------------------------------

TtsGridStreamComponent::TtsGridStreamComponent(TtsStreamGrid* grid)
    : ColBinding(grid->ColBinding()), FGrid(grid) {}

TtsGridStreamComponent::TtsGridStreamComponent(TtsGridModel* grid)
    : FGrid(nullptr), FAdapter(std::make_unique<TtsModelStreamGrid>(*grid)) {
    ColBinding = FAdapter->ColBinding();
    FGrid = FAdapter.get();
}

TtsGridStreamComponent::~TtsGridStreamComponent() = default;

void TtsGridStreamComponent::Write(TStream& s) {
    TtsBusyScope busy(Grid()); // the grid's handlers (values asked for) may free it
    FWritten.clear();
    auto note = [&](const char* name) { FWritten.push_back(name); };
    s.WriteText(CarrierClass);
    WriteInt(s, "SavePropKinds", SavePropKinds);
    WriteStoredProp(s, "SaveData", TtsVariant(SaveData));
    const auto bytes = KindSetBytes(Kinds);
    WriteStoredProp(s, "Properties", TtsVariant(std::string(bytes.begin(), bytes.end())));
    note("Properties");
    WriteStoredProp(s, "AllProperties", TtsVariant(AllProperties()));
    note("AllProperties");
    WriteStoredProp(s, "ResetProps", TtsVariant(true));
    note("ResetProps");
    UseChosenKindsCopy();
    if (SavePropKinds & pkGrid) {
        WriteGrid(s);
        note("Grid");
    }
    DropUnwrittenProps();
    WriteCounts(s);
    TtsGridModel& g = *Grid();
    if (SavePropKinds & pkCols) {
        TtsColCollection cols(&g);
        cols.Kinds = Kinds;
        cols.BuildForSave();
        WriteCollection(s, "ColProperties", cols);
        note("ColProperties");
    }
    if (SavePropKinds & pkRows) {
        TtsPropCollection rows(&g);
        rows.Kinds = Kinds;
        rows.BuildForSave();
        WriteCollection(s, "RowProperties", rows);
        note("RowProperties");
    }
    if (SavePropKinds & pkCells) {
        TtsCellCollection cells(&g);
        cells.Kinds = Kinds;
        cells.BuildForSave();
        WriteCollection(s, "CellProperties", cells);
        note("CellProperties");
    }
    if (SaveData && g.StoreData()) {
        TMemoryStream block;
        g.Storage()->SaveToStream(block);
        WriteStoredBinary(s, "Data", block.Data());
        note("Data");
    }
    WriteStoredName(s, "");
}

// The grid record and the rest of the layout alike: a line lists only where it differs
// in a chosen kind, so what a reader makes of it writes the same items again.
void TtsGridStreamComponent::UseChosenKindsCopy() {
    if (AllProperties() || FOwned) return;
    FOwned = FGrid->CloneGrid(SaveData);
    TtsGridModel& m = FOwned->StreamModel();
    const TtsKindSet others = AllKinds & ~Kinds;
    if (SavePropKinds & pkCols) m.ResetColProperties(others);
    if (SavePropKinds & pkRows) m.ResetRowProperties(others);
    if (SavePropKinds & pkCells) m.ResetCellProperties(others);
    FGrid = FOwned.get();
}

void TtsGridStreamComponent::DropUnwrittenProps() {
    if (!FOwned) return;
    TtsGridModel& m = FOwned->StreamModel();
    // The field name stays: it binds stored columns to present ones.
    for (int c = 1; c <= m.Cols(); ++c) {
        TtsCol* col = m.Col(c);
        col->SetHeading("");
        col->SetAllowGrayed(false);
        col->SetCheckBoxValues("");
        col->SetPrintTotals(false);
    }
}

void TtsGridStreamComponent::WriteGrid(TStream& s) {
    TMemoryStream block;
    {
        TFlagRaised writing(Grid()->IsWritingStream);
        FGrid->WriteGridRecord(block, false);
    }
    WriteStoredBinary(s, "Grid", block.Data());
}

void TtsGridStreamComponent::WriteCounts(TStream& s) {
    TtsGridModel& g = *Grid();
    const bool grid = SavePropKinds & pkGrid;
    if (SavePropKinds & pkCols) {
        WriteInt(s, "Cols", g.Cols());
        FWritten.push_back("Cols");
    }
    if (!grid && (SavePropKinds & pkRows)) {
        WriteInt(s, "Rows", g.Rows());
        FWritten.push_back("Rows");
    }
    if (!grid && (SavePropKinds & pkCols) && HasKind(Kinds, prColWidth)) {
        WriteInt(s, "DefaultColWidth", g.DefaultColWidth());
        FWritten.push_back("DefaultColWidth");
    }
    if (!grid && (SavePropKinds & pkRows) && HasKind(Kinds, prRowHeight)) {
        WriteInt(s, "DefaultRowHeight", g.DefaultRowHeight());
        FWritten.push_back("DefaultRowHeight");
    }
}

// --- The carrier: reading ----------------------------------------------------------------------

void TtsGridStreamComponent::ResetProps() {
    TtsGridModel& g = *Grid();
    if (!AllProperties()) {
        if ((SavePropKinds & pkCols) && LoadMode == 1) g.ResetColProperties(Kinds);
        if (SavePropKinds & pkRows) g.ResetRowProperties(Kinds);
        if (SavePropKinds & pkCells) g.ResetCellProperties(Kinds);
        return;
    }
    if (LoadMode == 1) {
        g.ResetParts(SavePropKinds);
        return;
    }
    if (SavePropKinds != pkCols) g.ResetParts(SavePropKinds & static_cast<TtsPropKinds>(~pkCols));
    if (SavePropKinds & pkCols) g.ResetColProperties(AllKinds);
}

void TtsGridStreamComponent::ReadBinary(const std::string& name,
                                        const std::vector<std::uint8_t>& bytes) {
    TtsGridModel& g = *Grid();
    TMemoryStream block(bytes);
    if (name == "Grid") {
        FGrid->ReadGridRecord(block);
    } else if (name == "Data") {
        if (g.StoreData())
            g.Storage()->LoadFromStream(
                block, g.FieldPositions.empty() ? nullptr : &g.FieldPositions, g.Rows());
    } else {
        throw EReadError("Unknown property " + name);
    }
}

void TtsGridStreamComponent::ReadSimple(const std::string& name, const TtsVariant& v) {
    TtsGridModel& g = *Grid();
    if (name == "SavePropKinds") {
        SavePropKinds = static_cast<TtsPropKinds>(StoredRange(v, name, 0, 15));
    } else if (name == "SaveData") {
        SaveData = StoredBool(v, name);
    } else if (name == "Properties") {
        const std::string b = StoredText(v, name);
        Kinds = KindSetFromBytes(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
    } else if (name == "AllProperties") {
        if (StoredBool(v, name)) Kinds = AllKinds;
    } else if (name == "ResetProps") {
        if (StoredBool(v, name)) ResetProps();
    } else if (name == "Cols") {
        const std::int32_t n = StoredRange(v, name, 0, MaxGridCols);
        if (LoadMode == 1) g.SetCols(n);
    } else if (name == "Rows") {
        g.SetRows(StoredRange(v, name, 0, MaxGridRows));
    } else if (name == "DefaultColWidth") {
        g.SetDefaultColWidth(StoredRange(v, name, 0, MaxLineExtent));
    } else if (name == "DefaultRowHeight") {
        g.SetDefaultRowHeight(StoredRange(v, name, 0, MaxLineExtent));
    } else {
        throw EReadError("Unknown property " + name);
    }
}

void TtsGridStreamComponent::ReadCollection(TStream& s, const std::string& name) {
    vel::ReadCollection(s, *Grid(), name, Kinds, ColBinding);
}

void TtsGridStreamComponent::Read(TStream& s) {
    TtsBusyScope busy(Grid());
    const std::int64_t start = s.Position();
    const std::int64_t rest = s.Size() - start;
    TMemoryStream record(s.ReadBlock(static_cast<std::size_t>(std::max<std::int64_t>(rest, 0))));
    {
        // The values are left out of the copy: their reader swaps them in only when whole.
        std::unique_ptr<TtsStreamGrid> copy = FGrid->CloneGrid(false);
        TtsGridStreamComponent trial(copy.get());
        trial.LoadMode = LoadMode;
        trial.ColBinding = ColBinding;
        trial.ReadInPlace(record);
    }
    record.SetPosition(0);
    ReadInPlace(record);
    s.SetPosition(start + record.Position());
}

void TtsGridStreamComponent::ReadInPlace(TStream& s) {
    TtsGridModel& g = *Grid();
    TtsBusyScope busy(g);
    if (s.ReadText() != CarrierClass) throw EReadError("Not a grid layout");
    // Field positions belong to one load: a later load without them maps no column.
    g.FieldPositions.clear();
    TFlagRaised reading(g.IsReadingStream);
    for (;;) {
        const std::string name = ReadStoredName(s);
        if (name.empty()) break;
        const std::uint8_t type = s.ReadU8();
        if (type == vtCollection) {
            ReadCollection(s, name);
        } else if (type == vtBinary) {
            ReadBinary(name, ReadStoredBinary(s));
        } else if (type == vtSet) {
            // The older form of the kind set: its names are skipped and all kinds hold.
            if (name != "Properties") throw EReadError("Unknown property " + name);
            const std::int32_t n = ReadStoredCount(s);
            for (int i = 0; i < n; ++i)
                ReadStoredName(s);
            Kinds = AllKinds;
        } else {
            ReadSimple(name, ReadStoredValue(s, type));
        }
    }
}

// --- Entry points --------------------------------------------------------------------------------

void SaveLayout(TtsStreamGrid& grid, TStream& stream, TtsPropKinds parts, bool saveData,
                TtsKindSet kinds) {
    TtsGridStreamComponent carrier(&grid);
    carrier.SavePropKinds = parts;
    carrier.Kinds = WidenAlignmentKinds(kinds & AllKinds);
    carrier.SaveData = saveData;
    TFlagRaised writing(grid.StreamModel().IsWritingStream);
    carrier.Write(stream);
}

void LoadLayout(TtsStreamGrid& grid, TStream& stream, std::uint8_t mode) {
    TtsGridStreamComponent carrier(&grid);
    carrier.LoadMode = mode;
    carrier.Read(stream);
}

void SaveLayout(TtsGridModel& grid, TStream& stream, TtsPropKinds parts, bool saveData,
                TtsKindSet kinds) {
    TtsModelStreamGrid g(grid);
    SaveLayout(g, stream, parts, saveData, kinds);
}

void LoadLayout(TtsGridModel& grid, TStream& stream, std::uint8_t mode) {
    TtsModelStreamGrid g(grid);
    LoadLayout(g, stream, mode);
}

namespace {

std::string ToHex(const std::vector<std::uint8_t>& b) {
    static const char digits[] = "0123456789ABCDEF";
    std::string r(b.size() * 2, '0');
    for (std::size_t i = 0; i < b.size(); ++i) {
        r[2 * i] = digits[b[i] >> 4];
        r[2 * i + 1] = digits[b[i] & 15];
    }
    return r;
}

std::vector<std::uint8_t> FromHex(const std::string& t) {
    if (t.size() % 2 != 0) throw EReadError("Stored layout text is damaged");
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        throw EReadError("Stored layout text is damaged");
    };
    std::vector<std::uint8_t> out(t.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::uint8_t>(nibble(t[2 * i]) << 4 | nibble(t[2 * i + 1]));
    return out;
}

} // namespace

void SaveLayoutToSettings(TtsStreamGrid& grid, const std::string& path, const std::string& name,
                          const std::string& file, TtsPropKinds parts, TtsKindSet kinds) {
    TMemoryStream s;
    SaveLayout(grid, s, parts, false, kinds);
    auto store = OpenRegistryPath(path, true, file);
    if (!store) throw ERegistryException("Cannot open registry key " + path);
    store->WriteString(name, ToHex(s.Data()));
    // A layout the store could not read back is refused, and the store keeps what it had.
    if (!store->Flush()) throw ERegistryException("Cannot write the layout: " + store->LastError());
    store->CloseKey();
}

bool LoadLayoutFromSettings(TtsStreamGrid& grid, const std::string& path, const std::string& name,
                            const std::string& file, std::uint8_t mode) {
    auto store = OpenRegistryPath(path, false, file);
    if (!store || !store->ValueExists(name)) return false;
    TMemoryStream s(FromHex(store->ReadString(name)));
    LoadLayout(grid, s, mode);
    return true;
}

void SaveLayoutToSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                          const std::string& file, TtsPropKinds parts, TtsKindSet kinds) {
    TtsModelStreamGrid g(grid);
    SaveLayoutToSettings(g, path, name, file, parts, kinds);
}

bool LoadLayoutFromSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                            const std::string& file, std::uint8_t mode) {
    TtsModelStreamGrid g(grid);
    return LoadLayoutFromSettings(g, path, name, file, mode);
}

} // namespace vel
