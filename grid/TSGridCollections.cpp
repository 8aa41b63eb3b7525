// The stored column, row and cell property collections and the published
// property tables of columns and rows.
#include "TSGridCollections.h"

#include "Classes.h"
#include "ScopeExit.h"

#include <algorithm>
#include <span>

namespace vel {

namespace {

constexpr int NoKind = -1;

bool KindChosen(TtsKindSet kinds, int kind) {
    return kind == NoKind ? kinds == AllKinds : HasKind(kinds, kind);
}

// A stored reference: a definition itself (copies) or the name of one the grid can find.
fw::TObject* DateTimeDefOf(const TtsGridModel* grid, const TtsVariant& v, const std::string& name) {
    if (auto* o = std::get_if<fw::TObject*>(&v)) return *o;
    const std::string text = StoredText(v, name);
    if (text.empty() || !grid || !grid->Link) return nullptr;
    return grid->Link->FindDateTimeDef(text);
}

// A reference is stored by its component's name; an unnamed one cannot be.
void WriteReference(TStream& s, const std::string& name, fw::TObject* o) {
    auto* c = dynamic_cast<fw::TComponent*>(o);
    if (c && !c->Name().empty()) WriteStoredIdent(s, name, c->Name());
}

// --- Column and row property tables
// ---------------------------------------------------------------

template <class Line> using TLineProp = TtsPropInfo<Line>;
using TColProp = TLineProp<TtsCol>;
using TRowProp = TLineProp<TtsRow>;

TtsVariant U8(std::uint8_t v) {
    return TtsVariant(std::int32_t{v});
}

// Properties the column and row share.
template <class Line> std::vector<TLineProp<Line>> SharedProps() {
    using P = TLineProp<Line>;
    auto pic = [](int sub, const char* name) {
        return P{name, prPictureOption, [sub](const Line& l) { return U8(l.PictureOption(sub)); },
                 [sub](Line& l, const TtsVariant& v, const std::string& n) {
                     l.SetPictureOption(sub, static_cast<TtsDrawOption>(StoredEnum(v, n, dopDefault)));
                 }};
    };
    return {
        P{"ButtonType", prButtonType, [](const Line& l) { return U8(l.ButtonType()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetButtonType(static_cast<TtsButtonType>(StoredEnum(v, n, btDateTimePopup)));
          }},
        P{"DateTimeDef", prDateTimeDef, [](const Line& l) { return TtsVariant(l.DateTimeDef()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetDateTimeDef(DateTimeDefOf(l.Grid(), v, n));
          }},
        pic(3, "CenterPicture"),
        P{"Color", prColor, [](const Line& l) { return TtsVariant(std::int32_t{l.Color()}); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetColor(StoredInt(v, n)); }},
        P{"ControlType", prControlType, [](const Line& l) { return U8(l.ControlType()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetControlType(static_cast<TtsControlType>(StoredEnum(v, n, ctDefault)));
          }},
        P{"DropDownStyle", prDropDownStyle, [](const Line& l) { return U8(l.DropDownStyle()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetDropDownStyle(static_cast<TtsDropDownStyle>(StoredEnum(v, n, 1)));
          }},
        P{"HorzAlignment", prHorzAlignment, [](const Line& l) { return U8(l.HorzAlignment()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetHorzAlignment(static_cast<TtsHorzAlignment>(StoredEnum(v, n, htaDefault)));
          }},
        P{"Is3D", pr3D, [](const Line& l) { return TtsVariant(l.Is3D()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetIs3D(StoredBool(v, n)); }},
        pic(4, "KeepAspectRatio"),
        P{"MaskName", prMaskName, [](const Line& l) { return TtsVariant(l.MaskName()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetMaskName(StoredText(v, n)); }},
        P{"ParentCombo", prParentCombo, [](const Line& l) { return TtsVariant(l.ParentCombo()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetParentCombo(StoredBool(v, n));
          }},
        P{"ParentFont", prFont, [](const Line& l) { return TtsVariant(l.ParentFont()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetParentFont(StoredBool(v, n));
          }},
        P{"ReadOnly", prReadOnly, [](const Line& l) { return TtsVariant(l.ReadOnly()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetReadOnly(StoredBool(v, n)); }},
        pic(2, "ShrinkPicture"),
        P{"SpinIncrement", prSpinIncrement,
          [](const Line& l) { return TtsVariant(l.SpinIncrement()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetSpinIncrement(StoredFloat(v, n));
          }},
        P{"SpinOptions", prSpinOptions, [](const Line& l) { return U8(l.SpinOptions()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetSpinOptions(StoredEnum(v, n, spoAll));
          }},
        pic(1, "StretchPicture"),
        P{"VertAlignment", prVertAlignment, [](const Line& l) { return U8(l.VertAlignment()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetVertAlignment(static_cast<TtsVertAlignment>(StoredEnum(v, n, vtaDefault)));
          }},
        P{"Visible", prVisible, [](const Line& l) { return TtsVariant(l.Visible()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetVisible(StoredBool(v, n)); }},
        P{"WordWrap", prWordWrap, [](const Line& l) { return U8(l.WordWrap()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetWordWrap(static_cast<TtsWordWrap>(StoredEnum(v, n, wwDefault)));
          }},
    };
}

// The column's heading: its text and how it is drawn.
std::vector<TColProp> ColHeadingProps() {
    using P = TColProp;
    return {
        P{"Heading", NoKind, [](const TtsCol& c) { return TtsVariant(c.HeadingText()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetHeading(StoredText(v, n));
          }},
        P{"HeadingButton", prHeadingButton,
          [](const TtsCol& c) { return U8(c.HeadingButton()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetHeadingButton(static_cast<TtsColHeadingButton>(StoredEnum(v, n, cbNone)));
          }},
        P{"HeadingHorzAlignment", prHorzAlignment,
          [](const TtsCol& c) { return U8(c.HeadingHorzAlignment()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetHeadingHorzAlignment(
                  static_cast<TtsHorzAlignment>(StoredEnum(v, n, htaDefault)));
          }},
        P{"HeadingParentFont", prFont,
          [](const TtsCol& c) { return TtsVariant(c.HeadingParentFont()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetHeadingParentFont(StoredBool(v, n));
          }},
        P{"HeadingVertAlignment", prVertAlignment,
          [](const TtsCol& c) { return U8(c.HeadingVertAlignment()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetHeadingVertAlignment(
                  static_cast<TtsVertAlignment>(StoredEnum(v, n, vtaDefault)));
          }},
        P{"HeadingWordWrap", prWordWrap,
          [](const TtsCol& c) { return U8(c.HeadingWordWrap()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetHeadingWordWrap(static_cast<TtsWordWrap>(StoredEnum(v, n, wwDefault)));
          }},
        P{"HeadingColor", prColor,
          [](const TtsCol& c) { return TtsVariant(std::int32_t{c.HeadingColor()}); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetHeadingColor(StoredInt(v, n));
          }},
    };
}

// The column's own properties (the heading's are above; the order of a table does
// not matter: reads find a property by name, writes follow the published order).
std::vector<TColProp> ColOwnProps() {
    using P = TColProp;
    return {
        P{"AllowGrayed", NoKind, [](const TtsCol& c) { return TtsVariant(c.AllowGrayed()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetAllowGrayed(StoredBool(v, n));
          }},
        P{"CheckBoxValues", NoKind,
          [](const TtsCol& c) { return TtsVariant(c.CheckBoxValues()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              std::string a, b, x;
              const std::string t = StoredText(v, n);
              if (!SplitBarText(t, a, b, x)) throw EReadError("Invalid CheckBoxValues");
              c.SetCheckBoxValues(t);
          }},
        P{"DisplayCol", prDisplayPos,
          [](const TtsCol& c) { return TtsVariant(std::int32_t{c.DisplayCol()}); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetDisplayCol(StoredInt(v, n));
          }},
        P{"FieldName", NoKind, [](const TtsCol& c) { return TtsVariant(c.FieldName()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetFieldName(StoredText(v, n));
          }},
        P{"MaxLength", prMaxLength,
          [](const TtsCol& c) { return TtsVariant(std::int32_t{c.MaxLength()}); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetMaxLength(StoredInt(v, n));
          }},
        P{"SortPicture", prSortPicture, [](const TtsCol& c) { return U8(c.SortPicture()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetSortPicture(static_cast<TtsSortPicture>(StoredEnum(v, n, spNone)));
          }},
        P{"Width", prColWidth,
          [](const TtsCol& c) { return TtsVariant(std::int32_t{c.AssignedWidth()}); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              const std::int32_t w = StoredInt(v, n);
              if (w < 0 || w > MaxLineExtent) throw EReadError("Stored width out of range");
              c.SetWidth(w);
          }},
        P{"PrintTotals", NoKind, [](const TtsCol& c) { return TtsVariant(c.PrintTotals()); },
          [](TtsCol& c, const TtsVariant& v, const std::string& n) {
              c.SetPrintTotals(StoredBool(v, n));
          }},
    };
}

const std::vector<TColProp>& ColProps() {
    static const std::vector<TColProp> props = [] {
        std::vector<TColProp> p = SharedProps<TtsCol>();
        for (const auto& part : {ColOwnProps(), ColHeadingProps()})
            p.insert(p.end(), part.begin(), part.end());
        return p;
    }();
    return props;
}

const std::vector<TRowProp>& RowProps() {
    static const std::vector<TRowProp> props = [] {
        auto p = SharedProps<TtsRow>();
        p.push_back(
            TRowProp{"Height", prRowHeight,
                     [](const TtsRow& r) { return TtsVariant(std::int32_t{r.AssignedHeight()}); },
                     [](TtsRow& r, const TtsVariant& v, const std::string& n) {
                         const std::int32_t h = StoredInt(v, n);
                         if (h < 0 || h > MaxLineExtent)
                             throw EReadError("Stored height out of range");
                         r.SetHeight(h);
                     }});
        return p;
    }();
    return props;
}


// --- Published order -------------------------------------------------------------------------

constexpr const char* ColOrder[] = {
    "AllowGrayed", "ButtonType", "CheckBoxValues", "DateTimeDef", "CenterPicture", "Color",
    "ControlType", "DisplayCol", "DropDownStyle", "FieldName", "Font", "Heading", "HeadingButton",
    "HeadingFont", "HeadingHorzAlignment", "HeadingParentFont", "HeadingVertAlignment",
    "HeadingWordWrap", "HeadingColor", "Is3D", "KeepAspectRatio", "MaskName", "MaxLength",
    "ParentCombo", "ParentFont", "ReadOnly", "ShrinkPicture", "SortPicture", "SpinIncrement",
    "SpinOptions", "StretchPicture", "HorzAlignment", "VertAlignment", "Visible", "Width",
    "WordWrap", "PrintTotals"};
constexpr const char* RowOrder[] = {
    "ButtonType", "DateTimeDef", "CenterPicture", "Color", "ControlType", "DisplayRow",
    "DropDownStyle", "Font", "Height", "HorzAlignment", "Is3D", "KeepAspectRatio", "MaskName",
    "ParentCombo", "ParentFont", "ReadOnly", "ShrinkPicture", "SpinIncrement", "SpinOptions",
    "StretchPicture", "VertAlignment", "Visible", "WordWrap"};

template <class Line>
const TtsPropInfo<Line>* FindProp(const std::vector<TtsPropInfo<Line>>& props,
                                  const std::string& name) {
    for (const auto& p : props)
        if (name == p.Name) return &p;
    return nullptr;
}

// --- Fonts ------------------------------------------------------------------------------------

void WriteFont(TStream& s, const std::string& prefix, const fw::TFont& f) {
    WriteStoredFont(s, prefix, f);
}

void ReadFontPart(fw::TFont& f, const std::string& part, const TtsVariant& v,
                  const std::string& name) {
    ReadStoredFontPart(f, part, v, name);
}

// A stored font part makes the line's font its own.
template <class Line>
void ReadLineFont(Line& line, const std::string& part, const TtsVariant& v,
                  const std::string& name) {
    if (!line.P.Font) line.SetParentFont(false);
    if (!line.P.Font) line.P.Font = std::make_unique<fw::TFont>();
    line.P.ParentFont = false;
    ReadFontPart(*line.P.Font, part, v, name);
}

// An older stream's Alignment or Align value replaces its half of the legacy pair.
TtsHorzAlignment MergeLegacyAlignment(TtsHorzAlignment h, bool isAlignment, const TtsVariant& v,
                                      const std::string& name) {
    std::uint8_t a = 0;
    bool f = false;
    LegacyOfHorz(h, a, f);
    if (isAlignment)
        a = StoredEnum(v, name, 2);
    else
        f = StoredBool(v, name);
    return HorzOfLegacy(a, f);
}

// --- Lines ------------------------------------------------------------------------------------

bool StoredDisplayCol(const TtsCol& c) {
    return c.IsDisplayColStored();
}
bool StoredDisplayCol(const TtsRow&) {
    return false;
}

// The published properties of a line in their order; `special` writes the ones
// that are not plain values and says whether it did.
template <class Line>
void WriteLine(TStream& s, const std::string& prefix, const Line& line, TtsKindSet kinds,
               const std::vector<TtsPropInfo<Line>>& props, std::span<const char* const> order,
               const std::function<bool(const std::string&)>& special) {
    // Built once and never destroyed (a kind of line has one property table and
    // order): a line at its defaults, and each name's property.
    using TNamed = std::vector<std::pair<std::string, const TtsPropInfo<Line>*>>;
    static const Line& defaults = *new Line(nullptr, 0);
    static const TNamed& named = *[&] {
        auto* v = new TNamed;
        for (const char* n : order)
            v->emplace_back(n, FindProp(props, n));
        return v;
    }();
    for (const auto& [name, p] : named) {
        if (special(name)) continue;
        if (!p || !KindChosen(kinds, p->Kind)) continue;
        const TtsVariant v = p->Get(line);
        if (std::holds_alternative<fw::TObject*>(v))
            WriteReference(s, prefix + name, std::get<fw::TObject*>(v));
        else if (name == "Width" || name == "Height" ||
                 (name == "DisplayCol" ? StoredDisplayCol(line) : !VarSame(v, p->Get(defaults))))
            WriteStoredProp(s, prefix + name, v);
    }
}

// The line's combo list, written when the line has a combo and drops it down.
template <class Line>
void WriteLineCombo(TStream& s, const std::string& prefix, const Line& line, TtsKindSet kinds) {
    if (KindChosen(kinds, prCombo) && line.Combo() && line.ButtonType() == btCombo)
        WriteStoredBinary(s, prefix + "Combo", ComboRecord(*line.Combo()));
}

// Read into the line's combo, made when missing; a line that can hold none skips it.
void ReadCombo(TtsCombo* combo, const TtsStoredProp& p, const std::string& name) {
    if (p.Type != vtBinary) throw EReadError("Property " + name + " is not binary");
    if (combo) ReadComboRecord(*combo, p.Bytes);
}

// The properties both kinds of line read alike; false for a name that is none of them.
template <class Line>
bool ReadLineProp(Line& line, const std::string& prop, const TtsStoredProp& p, TtsKindSet kinds,
                  const std::vector<TtsPropInfo<Line>>& props) {
    if (prop == "Combo") {
        if (KindChosen(kinds, prCombo)) ReadCombo(line.EnsureCombo(), p, p.Name);
        return true;
    }
    if (p.Type == vtBinary) throw EReadError("Unknown property " + p.Name);
    if (prop.rfind("Font.", 0) == 0) {
        if (KindChosen(kinds, prFont)) ReadLineFont(line, prop.substr(5), p.Value, p.Name);
        return true;
    }
    const TtsPropInfo<Line>* info = FindProp(props, prop);
    if (!info) return false;
    if (KindChosen(kinds, info->Kind)) info->Set(line, p.Value, p.Name);
    return true;
}

void ReadColProp(TtsCol& c, const std::string& prop, const TtsStoredProp& p, TtsKindSet kinds) {
    if (ReadLineProp(c, prop, p, kinds, ColProps())) return;
    const TtsVariant& v = p.Value;
    // Legacy alignment pairs are read, never written.
    if (prop == "Alignment" || prop == "Align") {
        if (!KindChosen(kinds, prAlignment)) return;
        if (prop == "Alignment")
            c.SetAlignment(StoredEnum(v, p.Name, 2));
        else
            c.SetAlignFlag(StoredBool(v, p.Name));
    } else if (prop == "HeadingAlignment" || prop == "HeadingAlign") {
        if (!KindChosen(kinds, prAlignment)) return;
        c.SetHeadingHorzAlignment(MergeLegacyAlignment(c.HeadingHorzAlignment(),
                                                       prop == "HeadingAlignment", v, p.Name));
    } else if (prop.rfind("HeadingFont.", 0) == 0) {
        if (!KindChosen(kinds, prFont)) return;
        if (c.HeadingParentFont()) c.SetHeadingParentFont(false);
        ReadFontPart(c.HeadingFontObject(), prop.substr(12), v, p.Name);
    } else {
        throw EReadError("Unknown property " + p.Name);
    }
}

// --- Cells ------------------------------------------------------------------------------------

// Cell properties by stored name, in published order: property number and sub-index.
struct TCellProp {
    const char* Name;
    int Id;
    int Sub;
};
constexpr TCellProp CellProps[] = {
    {"ButtonType", prButtonType, 0},
    {"DateTimeDef", prDateTimeDef, 0},
    {"CenterPicture", prPictureOption, 3},
    {"Color", prColor, 0},
    {"ControlType", prControlType, 0},
    {"DropDownStyle", prDropDownStyle, 0},
    {"Font", prFont, 0},
    {"HorzAlignment", prHorzAlignment, 0},
    {"Is3D", pr3D, 0},
    {"KeepAspectRatio", prPictureOption, 4},
    {"MaskName", prMaskName, 0},
    {"ParentCombo", prParentCombo, 0},
    {"ParentFont", prParentFont, 0},
    {"ReadOnly", prCellReadOnly, 0},
    {"ShrinkPicture", prPictureOption, 2},
    {"SpinIncrement", prSpinIncrement, 0},
    {"SpinOptions", prSpinOptions, 0},
    {"StretchPicture", prPictureOption, 1},
    {"VertAlignment", prVertAlignment, 0},
    {"WordWrap", prWordWrap, 0},
};

void WriteCellProps(TStream& s, const TtsCellElement& e, TtsKindSet kinds) {
    for (const auto& p : CellProps) {
        if (!KindChosen(kinds, p.Id)) continue;
        const std::string name = std::string("Cell.") + p.Name;
        if (p.Id == prFont) {
            if (!e.P.ParentFont && e.P.Font) WriteFont(s, name + ".", *e.P.Font);
            continue;
        }
        if (p.Id == prDateTimeDef) {
            WriteReference(s, name, e.P.DateTimeDef);
            continue;
        }
        const TtsVariant v = e.GetProperty(p.Id, p.Sub);
        if (VarEquals(v, DefaultPropertyValue(p.Id, p.Sub))) continue;
        TtsVariant out = v;
        if (auto* b = std::get_if<std::uint8_t>(&v)) out = TtsVariant(std::int32_t{*b});
        WriteStoredProp(s, name, out);
    }
    if (KindChosen(kinds, prCombo) && e.P.Combo && e.P.ButtonType == btCombo)
        WriteStoredBinary(s, "Cell.Combo", ComboRecord(*e.P.Combo));
}

// One stored property of a cell, through the accessor.
void ReadCellProp(TtsCell& cell, const std::string& prop, const TtsStoredProp& p,
                  TtsKindSet kinds) {
    TtsGridModel& g = *cell.Grid();
    const bool inGrid =
        cell.DataCol >= 0 && cell.DataCol <= g.Cols() && cell.DataRow >= 0 && cell.DataRow <= g.Rows();
    if (prop == "Combo") {
        if (p.Type != vtBinary) throw EReadError("Property " + p.Name + " is not binary");
        if (inGrid && KindChosen(kinds, prCombo)) ReadCombo(cell.EnsureCombo(), p, p.Name);
        return;
    }
    if (p.Type == vtBinary) throw EReadError("Unknown property " + p.Name);
    if (prop.rfind("Font.", 0) == 0) {
        fw::TFont f;
        ReadFontPart(f, prop.substr(5), p.Value, p.Name); // checked even when absorbed
        if (!inGrid || !KindChosen(kinds, prFont)) return;
        f.Assign(cell.Font() ? *cell.Font() : g.InheritedFont(cell.DataCol, cell.DataRow));
        ReadFontPart(f, prop.substr(5), p.Value, p.Name);
        cell.SetFont(&f);
        return;
    }
    for (const auto& c : CellProps) {
        if (prop != c.Name || c.Id == prFont) continue;
        if (c.Id == prDateTimeDef) {
            fw::TObject* def = DateTimeDefOf(&g, p.Value, p.Name);
            if (inGrid && KindChosen(kinds, c.Id)) cell.SetDateTimeDef(def);
            return;
        }
        TtsVariant value = p.Value;
        if (std::holds_alternative<std::int32_t>(value) && c.Id != prColor)
            value = TtsVariant(static_cast<std::uint8_t>(StoredRange(value, p.Name, 0, 255)));
        if (inGrid && KindChosen(kinds, c.Id)) cell.Set(c.Id, value, c.Sub);
        return;
    }
    throw EReadError("Unknown property " + p.Name);
}

} // namespace

// --- Rows ---------------------------------------------------------------------------------------

TtsPropCollection::~TtsPropCollection() = default;

TtsPropItem& TtsPropCollection::Add() {
    return AddItem(std::make_unique<TtsRowItem>(*this));
}

void TtsRowItem::SetDataRow(int Value) {
    FDataRow = Value;
    TtsGridModel* g = Collection().Grid();
    FRow = Value >= 0 && Value <= g->Rows() ? g->RowStore().EnsureRow(Value) : nullptr;
}

void TtsRowItem::SetDisplayRow(int Value) {
    FDisplayRow = Value;
    if (!FRow) return;
    if (Collection().Reading())
        Collection().NotePosition(FDataRow, Value);
    else
        Collection().Grid()->SetDisplayRow(FDataRow, Value);
}

bool TtsRowItem::Selected() const {
    const TtsGridModel* g = Collection().Grid();
    return g->RowSelection.IsSelected(g->DisplayRowOf(FDataRow));
}

void TtsRowItem::SetSelected(bool Value) {
    if (!FRow) return;
    if (Collection().Reading())
        Collection().NoteSelected(FDataRow, Value);
    else
        Collection().Grid()->RowSelection.Select(Collection().Grid()->DisplayRowOf(FDataRow), Value);
}

void TtsPropCollection::BuildForSave() {
    Clear();
    TtsGridModel& g = *FGrid;
    for (int i = 1; i <= g.Rows(); ++i) {
        TtsRow* r = g.RowStore().Row(i);
        const int display = g.DisplayRowOf(i);
        if ((r && !r->IsDefault()) || display != i || g.RowSelection.IsSelected(display)) {
            auto& item = static_cast<TtsRowItem&>(Add());
            item.Prepare(i, display, r);
        }
    }
}

void TtsPropCollection::WriteItems(TStream& s) {
    s.WriteI32(Count());
    for (const auto& item : FItems) {
        WriteItem(s, *item);
        WriteStoredName(s, "");
    }
}

void TtsPropCollection::ReadItems(TStream& s) {
    FReading = true;
    FPositions.clear();
    FSelections.clear();
    fw::TScopeExit done([this] { FReading = false; });
    const std::int32_t n = ReadStoredCount(s);
    for (int i = 0; i < n; ++i)
        ReadItem(s, Add());
    // Positions and selections at once: the rows take their stored places
    // whatever order the items come in.
    FGrid->SetDisplayRows(FPositions);
    for (auto [row, on] : FSelections)
        FGrid->RowSelection.Select(FGrid->DisplayRowOf(row), on);
}

void TtsPropCollection::WriteItem(TStream& s, TtsPropItem& Item) {
    auto& item = static_cast<TtsRowItem&>(Item);
    WriteStoredProp(s, "DataRow", TtsVariant(std::int32_t{item.DataRow()}));
    if (KindChosen(Kinds, prDisplayPos))
        WriteStoredProp(s, "DisplayRow", TtsVariant(std::int32_t{item.DisplayRow()}));
    if (KindChosen(Kinds, prRowSelected)) WriteStoredProp(s, "Selected", TtsVariant(item.Selected()));
    // An object at its defaults is one a reader makes and frees again: written as none.
    const TtsRow* r = item.Row();
    if (!r || r->IsDefault()) return;
    WriteLine<TtsRow>(s, "Row.", *r, Kinds, RowProps(), RowOrder, [&](const std::string& name) {
        if (name == "Font") {
            if (KindChosen(Kinds, prFont) && !r->ParentFont() && r->Font())
                WriteFont(s, "Row.Font.", *r->Font());
            return true;
        }
        if (name == "DisplayRow") {
            if (KindChosen(Kinds, prDisplayPos) && r->IsDisplayRowStored())
                WriteStoredProp(s, "Row.DisplayRow", TtsVariant(std::int32_t{r->DisplayRow()}));
            return true;
        }
        return false;
    });
    WriteLineCombo(s, "Row.", *r, Kinds);
}

void TtsPropCollection::ReadItem(TStream& s, TtsPropItem& Item) {
    auto& item = static_cast<TtsRowItem&>(Item);
    ReadStoredItem(s, [&](const TtsStoredProp& p) {
        if (p.Name == "DataRow") {
            item.SetDataRow(StoredInt(p.Value, p.Name));
        } else if (p.Name == "DisplayRow") {
            item.SetDisplayRow(StoredInt(p.Value, p.Name));
        } else if (p.Name == "Selected") {
            item.SetSelected(StoredBool(p.Value, p.Name));
        } else if (p.Name.rfind("Row.", 0) == 0) {
            ReadRowProp(item, p.Name.substr(4), p);
        } else {
            throw EReadError("Unknown property " + p.Name);
        }
    });
    if (item.Row()) FGrid->RowStore().FreeRowIfUnused(item.DataRow());
}

void TtsPropCollection::ReadRowProp(TtsRowItem& item, const std::string& prop,
                                    const TtsStoredProp& p) {
    if (prop == "DisplayRow") {
        if (p.Type == vtBinary) throw EReadError("Unknown property " + p.Name);
        const std::int32_t position = StoredInt(p.Value, p.Name);
        if (KindChosen(Kinds, prDisplayPos)) item.SetDisplayRow(position);
        return;
    }
    if (!FScratchRow) FScratchRow = std::make_unique<TtsRow>(nullptr, 0);
    TtsRow& row = item.Row() ? *item.Row() : *FScratchRow;
    if (ReadLineProp(row, prop, p, Kinds, RowProps())) return;
    if (prop != "Alignment" && prop != "Align") throw EReadError("Unknown property " + p.Name);
    if (KindChosen(Kinds, prAlignment))
        row.SetHorzAlignment(
            MergeLegacyAlignment(row.HorzAlignment(), prop == "Alignment", p.Value, p.Name));
}

// --- Columns ------------------------------------------------------------------------------------

TtsColCollection::~TtsColCollection() = default;

TtsPropItem& TtsColCollection::Add() {
    return AddItem(std::make_unique<TtsColItem>(*this));
}

TtsCol& TtsColCollection::ScratchCol() {
    if (!FScratch) FScratch = std::make_unique<TtsGridModel>(FGrid->Name, 1, 0);
    return *FScratch->Col(1);
}

TtsColCollection& TtsColItem::Cols() const {
    return static_cast<TtsColCollection&>(Collection());
}

void TtsColItem::SetDataCol(int Value) {
    FDataCol = Value;
    if (Cols().Binding() != bmDataCol) return;
    TtsGridModel* g = Collection().Grid();
    FCol = Value >= 1 && Value <= g->Cols() ? g->Col(Value) : nullptr;
}

void TtsColItem::SetFieldName(const std::string& Value) {
    FFieldName = Value;
    if (Cols().Binding() != bmFieldName) return;
    TtsGridModel* g = Collection().Grid();
    TtsCol* c = g->ColStore().FindByName(Value);
    if (c) c->ResetProperties(Collection().Kinds);
    FCol = c;
    // A stored column is one of a grid's: the list grows no further than a grid can.
    if (FDataCol < 1 || FDataCol > MaxGridCols) return;
    auto& positions = g->FieldPositions;
    if (static_cast<int>(positions.size()) < FDataCol)
        positions.resize(static_cast<std::size_t>(FDataCol), 0);
    positions[static_cast<std::size_t>(FDataCol - 1)] = c ? c->DataCol() : 0;
}

TtsCol* TtsColItem::Col() {
    return FCol ? FCol : &Cols().ScratchCol();
}

void TtsColCollection::BuildForSave() {
    Clear();
    for (int i = 1; i <= FGrid->Cols(); ++i) {
        TtsCol* c = FGrid->ColStore().Col(i);
        if (!c || c->IsDefault()) continue;
        auto& item = static_cast<TtsColItem&>(Add());
        item.Prepare(c);
    }
}

void TtsColCollection::WriteItem(TStream& s, TtsPropItem& Item) {
    auto& item = static_cast<TtsColItem&>(Item);
    WriteStoredProp(s, "DataCol", TtsVariant(std::int32_t{item.DataCol()}));
    if (!item.FieldName().empty()) WriteStoredProp(s, "FieldName", TtsVariant(item.FieldName()));
    const TtsCol* c = item.BoundCol();
    if (!c) return;
    WriteLine<TtsCol>(s, "Col.", *c, Kinds, ColProps(), ColOrder, [&](const std::string& name) {
        if (name == "Font") {
            if (KindChosen(Kinds, prFont) && !c->ParentFont() && c->Font())
                WriteFont(s, "Col.Font.", *c->Font());
            return true;
        }
        if (name == "HeadingFont") {
            if (KindChosen(Kinds, prFont) && !c->HeadingParentFont() && c->HeadingFont())
                WriteFont(s, "Col.HeadingFont.", *c->HeadingFont());
            return true;
        }
        return false;
    });
    WriteLineCombo(s, "Col.", *c, Kinds);
}

void TtsColCollection::ReadItem(TStream& s, TtsPropItem& Item) {
    auto& item = static_cast<TtsColItem&>(Item);
    ReadStoredItem(s, [&](const TtsStoredProp& p) {
        if (p.Name == "DataCol")
            item.SetDataCol(StoredInt(p.Value, p.Name));
        else if (p.Name == "FieldName")
            item.SetFieldName(StoredText(p.Value, p.Name));
        else if (p.Name.rfind("Col.", 0) == 0)
            ReadColProp(*item.Col(), p.Name.substr(4), p, Kinds);
        else
            throw EReadError("Unknown property " + p.Name);
    });
}

// --- Cells --------------------------------------------------------------------------------------

TtsCellItem::TtsCellItem(TtsCellCollection& Collection) : TtsPropItem(Collection) {
    if (Collection.Grid()->IsReading()) {
        FOwnCell = Collection.CreateCell();
        FCell = FOwnCell.get();
    } else {
        FCell = &Collection.SharedCell();
    }
}

TtsCellItem::~TtsCellItem() = default;

TtsCell& TtsCellItem::Cell() {
    FCell->DataCol = FDataCol;
    FCell->DataRow = FDataRow;
    return *FCell;
}

TtsCellCollection::TtsCellCollection(TtsGridModel* Grid) : TtsPropCollection(Grid) {}

TtsCellCollection::~TtsCellCollection() {
    // Items that share the accessor go before it.
    Clear();
}

std::unique_ptr<TtsCell> TtsCellCollection::CreateCell() {
    return std::make_unique<TtsCell>(FGrid, 0, 0);
}

TtsCell& TtsCellCollection::SharedCell() {
    if (!FCell) FCell = CreateCell();
    return *FCell;
}

TtsPropItem& TtsCellCollection::Add() {
    return AddItem(std::make_unique<TtsCellItem>(*this));
}

void TtsCellCollection::BuildForSave() {
    Clear();
    for (TtsSetElement* e : FGrid->CellProps().Elements()) {
        const TtsCellKey& key = static_cast<TtsCellElement*>(e)->Key;
        auto& item = static_cast<TtsCellItem&>(Add());
        item.SetDataCol(key.Col);
        item.SetDataRow(key.Row);
    }
}

void TtsCellCollection::WriteItem(TStream& s, TtsPropItem& Item) {
    auto& item = static_cast<TtsCellItem&>(Item);
    WriteStoredProp(s, "DataCol", TtsVariant(std::int32_t{item.DataCol()}));
    WriteStoredProp(s, "DataRow", TtsVariant(std::int32_t{item.DataRow()}));
    if (const TtsCellElement* e = FGrid->CellProps().Element(item.DataCol(), item.DataRow()))
        WriteCellProps(s, *e, Kinds);
}

void TtsCellCollection::ReadItem(TStream& s, TtsPropItem& Item) {
    auto& item = static_cast<TtsCellItem&>(Item);
    ReadStoredItem(s, [&](const TtsStoredProp& p) {
        if (p.Name == "DataCol")
            item.SetDataCol(StoredInt(p.Value, p.Name));
        else if (p.Name == "DataRow")
            item.SetDataRow(StoredInt(p.Value, p.Name));
        else if (p.Name.rfind("Cell.", 0) == 0)
            ReadCellProp(item.Cell(), p.Name.substr(5), p, Kinds);
        else
            throw EReadError("Unknown property " + p.Name);
    });
}

void WriteStoredFont(TStream& s, const std::string& prefix, const fw::TFont& f) {
    WriteStoredProp(s, prefix + "Name", TtsVariant(f.Name()));
    WriteStoredProp(s, prefix + "Height", TtsVariant(std::int32_t{std::clamp(
                                              f.Height(), -MaxStoredFontHeight, MaxStoredFontHeight)}));
    WriteStoredProp(s, prefix + "Style", TtsVariant(std::int32_t{f.Style()}));
    WriteStoredProp(s, prefix + "Color", TtsVariant(std::int32_t{f.Color()}));
}

void ReadStoredFontPart(fw::TFont& f, const std::string& part, const TtsVariant& v,
                        const std::string& name) {
    if (part == "Name")
        f.SetName(StoredText(v, name));
    else if (part == "Height")
        f.SetHeight(StoredRange(v, name, -MaxStoredFontHeight, MaxStoredFontHeight));
    else if (part == "Style")
        f.SetStyle(StoredEnum(v, name, 15));
    else if (part == "Color")
        f.SetColor(StoredInt(v, name));
    else
        throw EReadError("Unknown property " + name);
}

void ReadCollection(TStream& s, TtsGridModel& grid, const std::string& name, TtsKindSet kinds,
                    TtsColBinding binding) {
    std::unique_ptr<TtsPropCollection> c;
    if (name == "ColProperties")
        c = std::make_unique<TtsColCollection>(&grid, binding);
    else if (name == "RowProperties")
        c = std::make_unique<TtsPropCollection>(&grid);
    else if (name == "CellProperties")
        c = std::make_unique<TtsCellCollection>(&grid);
    else
        throw EReadError("Unknown collection " + name);
    c->Kinds = kinds;
    c->ReadItems(s);
}

void WriteCollection(TStream& s, const std::string& Name, TtsPropCollection& Collection) {
    WriteStoredName(s, Name);
    s.WriteU8(vtCollection);
    Collection.WriteItems(s);
}

// --- Property copies ------------------------------------------------------------------------

const std::vector<TtsPropInfo<TtsCol>>& ColPropInfos() {
    return ColProps();
}

const std::vector<TtsPropInfo<TtsRow>>& RowPropInfos() {
    return RowProps();
}

namespace {

// A line's stored properties as published ones (values as variants), and its own font
// (null while it has none) as "Font".
template <class Line> fw::TPropList PublishedLineProps(const std::vector<TtsPropInfo<Line>>& props) {
    fw::TPropList list;
    for (const TtsPropInfo<Line>& p : props) {
        const std::string name = p.Name;
        list.push_back({name,
                        [get = p.Get, name](const fw::TObject& o) -> std::any {
                            return get(fw::PublishedObject<Line>(o, name));
                        },
                        [set = p.Set, name](fw::TObject& o, const std::any& a) {
                            const auto* v = std::any_cast<TtsVariant>(&a);
                            if (!v) throw fw::EPropertyError("Invalid value for property " + name);
                            set(fw::PublishedObject<Line>(o, name), *v, name);
                        }});
    }
    using TFontValue = std::shared_ptr<const fw::TFont>;
    list.push_back(fw::PublishedProperty<Line>(
        "Font",
        [](const Line& l) -> TFontValue {
            if (l.ParentFont() || !l.Font()) return nullptr;
            auto f = std::make_shared<fw::TFont>();
            f->Assign(*l.Font());
            return f;
        },
        [](Line& l, const TFontValue& f) { l.SetFont(f.get()); }));
    return list;
}

} // namespace

const fw::TPropList& TtsCol::PublishedProperties() const {
    static const fw::TPropList list = PublishedLineProps(ColProps());
    return list;
}

const fw::TPropList& TtsRow::PublishedProperties() const {
    static const fw::TPropList list = PublishedLineProps(RowProps());
    return list;
}

} // namespace vel
