#include "TSGridStream.h"

#include "ScopeExit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>

namespace vel {

namespace {

constexpr const char* CarrierClass = "TtsGridStreamComponent";
constexpr int NoKind = -1;
constexpr int MaxCount = 1 << 20;
// Columns a stored layout may ask for.
constexpr int MaxCols = 1 << 14;
constexpr int MaxExtent = 32767;

// --- Property records --------------------------------------------------------------------------

void WriteName(TStream& s, const std::string& name) {
    s.WriteU8(static_cast<std::uint8_t>(name.size()));
    s.WriteBuffer(name.data(), name.size());
}

std::string ReadName(TStream& s) {
    const std::uint8_t n = s.ReadU8();
    std::string name(n, '\0');
    s.ReadBuffer(name.data(), n);
    return name;
}

void WriteValue(TStream& s, const TtsVariant& v) {
    if (auto* b = std::get_if<bool>(&v)) {
        s.WriteU8(vtBoolean);
        s.WriteU8(*b ? 1 : 0);
    } else if (auto* t = std::get_if<std::string>(&v)) {
        s.WriteU8(vtString);
        s.WriteText(*t);
    } else if (auto* d = std::get_if<double>(&v)) {
        s.WriteU8(vtFloat);
        s.WriteF64(*d);
    } else {
        s.WriteU8(vtInteger);
        s.WriteI32(VarAsInteger(v));
    }
}

void WriteProp(TStream& s, const std::string& name, const TtsVariant& v) {
    WriteName(s, name);
    WriteValue(s, v);
}

TtsVariant ReadValue(TStream& s, std::uint8_t type) {
    switch (type) {
    case vtInteger:
        return TtsVariant(s.ReadI32());
    case vtBoolean: {
        const std::uint8_t b = s.ReadU8();
        if (b > 1) throw EReadError("Invalid stored Boolean");
        return TtsVariant(b == 1);
    }
    case vtString:
        return TtsVariant(s.ReadText());
    case vtFloat: {
        const double d = s.ReadF64();
        if (!std::isfinite(d)) throw EReadError("Invalid stored number");
        return TtsVariant(d);
    }
    default:
        throw EReadError("Invalid property value type");
    }
}

std::int32_t IntOf(const TtsVariant& v, const std::string& name) {
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    throw EReadError("Property " + name + " is not an integer");
}

bool BoolOf(const TtsVariant& v, const std::string& name) {
    if (auto* b = std::get_if<bool>(&v)) return *b;
    throw EReadError("Property " + name + " is not a Boolean");
}

std::string TextOf(const TtsVariant& v, const std::string& name) {
    if (auto* t = std::get_if<std::string>(&v)) return *t;
    throw EReadError("Property " + name + " is not a text");
}

double FloatOf(const TtsVariant& v, const std::string& name) {
    if (auto* d = std::get_if<double>(&v)) return *d;
    if (auto* i = std::get_if<std::int32_t>(&v)) return *i;
    throw EReadError("Property " + name + " is not a number");
}

// An enumeration value checked against its highest member.
std::uint8_t EnumOf(const TtsVariant& v, const std::string& name, int highest) {
    const std::int32_t i = IntOf(v, name);
    if (i < 0 || i > highest) throw EReadError("Property " + name + " out of range");
    return static_cast<std::uint8_t>(i);
}

bool KindChosen(TtsKindSet kinds, int kind) {
    return kind == NoKind ? kinds == AllKinds : HasKind(kinds, kind);
}

// --- Column and row property tables
// ---------------------------------------------------------------

template <class Line> using TLineProp = TtsPropInfo<Line>;
using TColProp = TLineProp<TtsCol>;
using TRowProp = TLineProp<TtsRow>;

TtsVariant U8(std::uint8_t v) {
    return TtsVariant(std::int32_t{v});
}

// Properties the column and row share, in their stored order.
template <class Line> std::vector<TLineProp<Line>> SharedProps() {
    using P = TLineProp<Line>;
    auto pic = [](int sub, const char* name) {
        return P{name, prPictureOption, [sub](const Line& l) { return U8(l.PictureOption(sub)); },
                 [sub](Line& l, const TtsVariant& v, const std::string& n) {
                     l.SetPictureOption(sub, static_cast<TtsDrawOption>(EnumOf(v, n, dopDefault)));
                 }};
    };
    return {
        P{"ButtonType", prButtonType, [](const Line& l) { return U8(l.ButtonType()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetButtonType(static_cast<TtsButtonType>(EnumOf(v, n, btDateTimePopup)));
          }},
        pic(3, "CenterPicture"),
        P{"Color", prColor, [](const Line& l) { return TtsVariant(std::int32_t{l.Color()}); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetColor(IntOf(v, n)); }},
        P{"ControlType", prControlType, [](const Line& l) { return U8(l.ControlType()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetControlType(static_cast<TtsControlType>(EnumOf(v, n, ctDefault)));
          }},
        P{"DropDownStyle", prDropDownStyle, [](const Line& l) { return U8(l.DropDownStyle()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetDropDownStyle(static_cast<TtsDropDownStyle>(EnumOf(v, n, 1)));
          }},
        P{"HorzAlignment", prHorzAlignment, [](const Line& l) { return U8(l.HorzAlignment()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetHorzAlignment(static_cast<TtsHorzAlignment>(EnumOf(v, n, htaDefault)));
          }},
        P{"Is3D", pr3D, [](const Line& l) { return TtsVariant(l.Is3D()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetIs3D(BoolOf(v, n)); }},
        pic(4, "KeepAspectRatio"),
        P{"MaskName", prMaskName, [](const Line& l) { return TtsVariant(l.MaskName()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetMaskName(TextOf(v, n)); }},
        P{"ParentFont", prFont, [](const Line& l) { return TtsVariant(l.ParentFont()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetParentFont(BoolOf(v, n));
          }},
        P{"ReadOnly", prReadOnly, [](const Line& l) { return TtsVariant(l.ReadOnly()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetReadOnly(BoolOf(v, n)); }},
        pic(2, "ShrinkPicture"),
        P{"SpinIncrement", prSpinIncrement,
          [](const Line& l) { return TtsVariant(l.SpinIncrement()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetSpinIncrement(FloatOf(v, n));
          }},
        P{"SpinOptions", prSpinOptions, [](const Line& l) { return U8(l.SpinOptions()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetSpinOptions(EnumOf(v, n, spoAll));
          }},
        pic(1, "StretchPicture"),
        P{"VertAlignment", prVertAlignment, [](const Line& l) { return U8(l.VertAlignment()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetVertAlignment(static_cast<TtsVertAlignment>(EnumOf(v, n, vtaDefault)));
          }},
        P{"Visible", prVisible, [](const Line& l) { return TtsVariant(l.Visible()); },
          [](Line& l, const TtsVariant& v, const std::string& n) { l.SetVisible(BoolOf(v, n)); }},
        P{"WordWrap", prWordWrap, [](const Line& l) { return U8(l.WordWrap()); },
          [](Line& l, const TtsVariant& v, const std::string& n) {
              l.SetWordWrap(static_cast<TtsWordWrap>(EnumOf(v, n, wwDefault)));
          }},
    };
}

const std::vector<TColProp>& ColProps() {
    static const std::vector<TColProp> props = [] {
        auto p = SharedProps<TtsCol>();
        using P = TColProp;
        std::vector<P> more = {
            P{"AllowGrayed", NoKind, [](const TtsCol& c) { return TtsVariant(c.AllowGrayed()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetAllowGrayed(BoolOf(v, n));
              }},
            P{"CheckBoxValues", NoKind,
              [](const TtsCol& c) { return TtsVariant(c.CheckBoxValues()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  std::string a, b, x;
                  const std::string t = TextOf(v, n);
                  if (!SplitBarText(t, a, b, x)) throw EReadError("Invalid CheckBoxValues");
                  c.SetCheckBoxValues(t);
              }},
            P{"DisplayCol", prDisplayPos,
              [](const TtsCol& c) { return TtsVariant(std::int32_t{c.DisplayCol()}); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetDisplayCol(IntOf(v, n));
              }},
            P{"FieldName", NoKind, [](const TtsCol& c) { return TtsVariant(c.FieldName()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetFieldName(TextOf(v, n));
              }},
            P{"Heading", NoKind, [](const TtsCol& c) { return TtsVariant(c.HeadingText()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetHeading(TextOf(v, n));
              }},
            P{"HeadingButton", prHeadingButton,
              [](const TtsCol& c) { return U8(c.HeadingButton()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetHeadingButton(static_cast<TtsColHeadingButton>(EnumOf(v, n, cbNone)));
              }},
            P{"HeadingHorzAlignment", prHorzAlignment,
              [](const TtsCol& c) { return U8(c.HeadingHorzAlignment()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetHeadingHorzAlignment(
                      static_cast<TtsHorzAlignment>(EnumOf(v, n, htaDefault)));
              }},
            P{"HeadingParentFont", prFont,
              [](const TtsCol& c) { return TtsVariant(c.HeadingParentFont()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetHeadingParentFont(BoolOf(v, n));
              }},
            P{"HeadingVertAlignment", prVertAlignment,
              [](const TtsCol& c) { return U8(c.HeadingVertAlignment()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetHeadingVertAlignment(
                      static_cast<TtsVertAlignment>(EnumOf(v, n, vtaDefault)));
              }},
            P{"HeadingWordWrap", prWordWrap,
              [](const TtsCol& c) { return U8(c.HeadingWordWrap()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetHeadingWordWrap(static_cast<TtsWordWrap>(EnumOf(v, n, wwDefault)));
              }},
            P{"HeadingColor", prColor,
              [](const TtsCol& c) { return TtsVariant(std::int32_t{c.HeadingColor()}); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetHeadingColor(IntOf(v, n));
              }},
            P{"MaxLength", prMaxLength,
              [](const TtsCol& c) { return TtsVariant(std::int32_t{c.MaxLength()}); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetMaxLength(IntOf(v, n));
              }},
            P{"SortPicture", prSortPicture, [](const TtsCol& c) { return U8(c.SortPicture()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetSortPicture(static_cast<TtsSortPicture>(EnumOf(v, n, spNone)));
              }},
            P{"Width", prColWidth,
              [](const TtsCol& c) { return TtsVariant(std::int32_t{c.AssignedWidth()}); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  const std::int32_t w = IntOf(v, n);
                  if (w < 0 || w > MaxExtent) throw EReadError("Stored width out of range");
                  c.SetWidth(w);
              }},
            P{"PrintTotals", NoKind, [](const TtsCol& c) { return TtsVariant(c.PrintTotals()); },
              [](TtsCol& c, const TtsVariant& v, const std::string& n) {
                  c.SetPrintTotals(BoolOf(v, n));
              }},
        };
        p.insert(p.end(), more.begin(), more.end());
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
                         const std::int32_t h = IntOf(v, n);
                         if (h < 0 || h > MaxExtent) throw EReadError("Stored height out of range");
                         r.SetHeight(h);
                     }});
        return p;
    }();
    return props;
}

// An own font as "Font.Name", "Font.Height", "Font.Style" and "Font.Color".
void WriteFont(TStream& s, const std::string& prefix, const TtsLineProps& p) {
    if (p.ParentFont || !p.Font) return;
    WriteProp(s, prefix + "Font.Name", TtsVariant(p.Font->Name()));
    WriteProp(s, prefix + "Font.Height", TtsVariant(std::int32_t{p.Font->Height()}));
    WriteProp(s, prefix + "Font.Style", TtsVariant(std::int32_t{p.Font->Style()}));
    WriteProp(s, prefix + "Font.Color", TtsVariant(std::int32_t{p.Font->Color()}));
}

// Applies one stored font property; false for a name that is not one.
template <class Line>
bool ReadFont(Line& line, const std::string& prop, const TtsVariant& v, const std::string& name) {
    if (prop.rfind("Font.", 0) != 0) return false;
    const std::string part = prop.substr(5);
    if (part != "Name" && part != "Height" && part != "Style" && part != "Color")
        throw EReadError("Unknown property " + name);
    if (!line.P.Font) line.SetParentFont(false);
    if (!line.P.Font) line.P.Font = std::make_unique<fw::TFont>();
    line.P.ParentFont = false;
    fw::TFont& f = *line.P.Font;
    if (part == "Name") {
        f.SetName(TextOf(v, name));
    } else if (part == "Height") {
        const std::int32_t h = IntOf(v, name);
        if (h < -1000 || h > 1000) throw EReadError("Property " + name + " out of range");
        f.SetHeight(h);
    } else if (part == "Style") {
        f.SetStyle(EnumOf(v, name, 15));
    } else {
        f.SetColor(IntOf(v, name));
    }
    return true;
}

// Cell properties by stored name: property number and sub-index.
struct TCellProp {
    const char* Name;
    int Id;
    int Sub;
};
constexpr TCellProp CellProps[] = {
    {"ButtonType", prButtonType, 0},
    {"CenterPicture", prPictureOption, 3},
    {"Color", prColor, 0},
    {"ControlType", prControlType, 0},
    {"DropDownStyle", prDropDownStyle, 0},
    {"HorzAlignment", prHorzAlignment, 0},
    {"Is3D", pr3D, 0},
    {"KeepAspectRatio", prPictureOption, 4},
    {"MaskName", prMaskName, 0},
    {"ParentCombo", prParentCombo, 0},
    {"ReadOnly", prCellReadOnly, 0},
    {"ShrinkPicture", prPictureOption, 2},
    {"SpinIncrement", prSpinIncrement, 0},
    {"SpinOptions", prSpinOptions, 0},
    {"StretchPicture", prPictureOption, 1},
    {"VertAlignment", prVertAlignment, 0},
    {"WordWrap", prWordWrap, 0},
};

int ReportKind(int id) {
    return id == prCellReadOnly ? prCellReadOnly : id;
}

// Visits the properties of one item until the closing empty name.
void ReadItem(TStream& s, const std::function<void(const std::string&, const TtsVariant&)>& f) {
    for (;;) {
        const std::string name = ReadName(s);
        if (name.empty()) return;
        const TtsVariant v = ReadValue(s, s.ReadU8());
        f(name, v);
    }
}

std::int32_t ReadCount(TStream& s) {
    const std::int32_t n = s.ReadI32();
    // Each item needs at least its closing byte.
    if (n < 0 || n > s.Remaining()) throw EReadError("Stored item count out of range");
    return n;
}

// An older stream's Alignment or Align value replaces its half of the legacy pair.
TtsHorzAlignment MergeLegacyAlignment(TtsHorzAlignment h, bool isAlignment, const TtsVariant& v,
                                      const std::string& name) {
    std::uint8_t a = 0;
    bool f = false;
    LegacyOfHorz(h, a, f);
    if (isAlignment)
        a = EnumOf(v, name, 2);
    else
        f = BoolOf(v, name);
    return HorzOfLegacy(a, f);
}

} // namespace

TtsKindSet WidenAlignmentKinds(TtsKindSet kinds) {
    const TtsKindSet trio = Kind(prAlignFlag) | Kind(prAlignment) | Kind(prHorzAlignment);
    return (kinds & trio) ? kinds | trio : kinds;
}

// --- Writing -------------------------------------------------------------------------------------

void TtsGridStreamComponent::Write(TStream& s) {
    FWritten.clear();
    auto note = [&](const char* name) { FWritten.push_back(name); };
    s.WriteText(CarrierClass);
    WriteProp(s, "SavePropKinds", TtsVariant(std::int32_t{SavePropKinds}));
    WriteProp(s, "SaveData", TtsVariant(SaveData));
    const auto bytes = KindSetBytes(Kinds);
    WriteProp(s, "Properties", TtsVariant(std::string(bytes.begin(), bytes.end())));
    note("Properties");
    WriteProp(s, "AllProperties", TtsVariant(AllProperties()));
    note("AllProperties");
    WriteProp(s, "ResetProps", TtsVariant(true));
    note("ResetProps");
    TtsGridModel& g = *FGrid;
    if (SavePropKinds & pkGrid) {
        TMemoryStream block;
        if (OnWriteGrid) {
            OnWriteGrid(block);
        } else {
            block.WriteI32(g.Cols());
            block.WriteI32(g.Rows());
            block.WriteI32(g.DefaultColWidth());
            block.WriteI32(g.DefaultRowHeight());
            block.WriteI32(g.Color);
        }
        WriteName(s, "Grid");
        s.WriteU8(vtBinary);
        s.WriteI32(static_cast<std::int32_t>(block.Data().size()));
        s.WriteBuffer(block.Data().data(), block.Data().size());
        note("Grid");
    }
    const bool grid = SavePropKinds & pkGrid;
    if (SavePropKinds & pkCols) {
        WriteProp(s, "Cols", TtsVariant(std::int32_t{g.Cols()}));
        note("Cols");
    }
    if (!grid && (SavePropKinds & pkRows)) {
        WriteProp(s, "Rows", TtsVariant(std::int32_t{g.Rows()}));
        note("Rows");
    }
    if (!grid && (SavePropKinds & pkCols) && HasKind(Kinds, prColWidth)) {
        WriteProp(s, "DefaultColWidth", TtsVariant(std::int32_t{g.DefaultColWidth()}));
        note("DefaultColWidth");
    }
    if (!grid && (SavePropKinds & pkRows) && HasKind(Kinds, prRowHeight)) {
        WriteProp(s, "DefaultRowHeight", TtsVariant(std::int32_t{g.DefaultRowHeight()}));
        note("DefaultRowHeight");
    }
    if (SavePropKinds & pkCols) {
        WriteCols(s);
        note("ColProperties");
    }
    if (SavePropKinds & pkRows) {
        WriteRows(s);
        note("RowProperties");
    }
    if (SavePropKinds & pkCells) {
        WriteCells(s);
        note("CellProperties");
    }
    if (SaveData && g.StoreData()) {
        TMemoryStream block;
        g.Storage()->SaveToStream(block);
        WriteName(s, "Data");
        s.WriteU8(vtBinary);
        s.WriteI32(static_cast<std::int32_t>(block.Data().size()));
        s.WriteBuffer(block.Data().data(), block.Data().size());
        note("Data");
    }
    WriteName(s, "");
}

void TtsGridStreamComponent::WriteCols(TStream& s) {
    TtsGridModel& g = *FGrid;
    const TtsCol defaults(nullptr, 0);
    std::vector<TtsCol*> cols;
    for (int i = 1; i <= g.Cols(); ++i)
        if (TtsCol* c = g.ColStore().Col(i); c && !c->IsDefault()) cols.push_back(c);
    WriteName(s, "ColProperties");
    s.WriteU8(vtCollection);
    s.WriteI32(static_cast<std::int32_t>(cols.size()));
    for (TtsCol* c : cols) {
        WriteProp(s, "DataCol", TtsVariant(std::int32_t{c->DataCol()}));
        if (!c->FieldName().empty()) WriteProp(s, "FieldName", TtsVariant(c->FieldName()));
        for (const auto& p : ColProps()) {
            if (!KindChosen(Kinds, p.Kind)) continue;
            const TtsVariant v = p.Get(*c);
            const std::string name = p.Name;
            const bool always = name == "Width";
            const bool stored =
                name == "DisplayCol" ? c->IsDisplayColStored() : !VarSame(v, p.Get(defaults));
            if (always || stored) WriteProp(s, "Col." + name, v);
        }
        if (KindChosen(Kinds, prFont)) WriteFont(s, "Col.", c->P);
        WriteName(s, "");
    }
}

void TtsGridStreamComponent::WriteRows(TStream& s) {
    TtsGridModel& g = *FGrid;
    const TtsRow defaults(nullptr, 0);
    std::vector<int> rows;
    for (int i = 1; i <= g.Rows(); ++i) {
        const TtsRow* r = g.RowStore().Row(i);
        if ((r && !r->IsDefault()) || g.DisplayRowOf(i) != i ||
            g.RowSelection.IsSelected(g.DisplayRowOf(i)))
            rows.push_back(i);
    }
    WriteName(s, "RowProperties");
    s.WriteU8(vtCollection);
    s.WriteI32(static_cast<std::int32_t>(rows.size()));
    for (int i : rows) {
        const int display = g.DisplayRowOf(i);
        WriteProp(s, "DataRow", TtsVariant(std::int32_t{i}));
        if (KindChosen(Kinds, prDisplayPos))
            WriteProp(s, "DisplayRow", TtsVariant(std::int32_t{display}));
        if (KindChosen(Kinds, prRowSelected))
            WriteProp(s, "Selected", TtsVariant(g.RowSelection.IsSelected(display)));
        if (const TtsRow* r = g.RowStore().Row(i)) {
            for (const auto& p : RowProps()) {
                if (!KindChosen(Kinds, p.Kind)) continue;
                const TtsVariant v = p.Get(*r);
                if (!VarSame(v, p.Get(defaults)) || std::string(p.Name) == "Height")
                    WriteProp(s, std::string("Row.") + p.Name, v);
            }
            if (KindChosen(Kinds, prFont)) WriteFont(s, "Row.", r->P);
        }
        WriteName(s, "");
    }
}

void TtsGridStreamComponent::WriteCells(TStream& s) {
    TtsGridModel& g = *FGrid;
    std::vector<TtsCellElement*> cells;
    for (TtsSetElement* e : g.CellProps().Elements())
        cells.push_back(static_cast<TtsCellElement*>(e));
    WriteName(s, "CellProperties");
    s.WriteU8(vtCollection);
    s.WriteI32(static_cast<std::int32_t>(cells.size()));
    for (TtsCellElement* e : cells) {
        WriteProp(s, "DataCol", TtsVariant(e->Key.Col));
        WriteProp(s, "DataRow", TtsVariant(e->Key.Row));
        for (const auto& p : CellProps) {
            if (!KindChosen(Kinds, ReportKind(p.Id))) continue;
            const TtsVariant v = e->GetProperty(p.Id, p.Sub);
            if (VarEquals(v, DefaultPropertyValue(p.Id, p.Sub))) continue;
            TtsVariant out = v;
            if (auto* b = std::get_if<std::uint8_t>(&v)) out = TtsVariant(std::int32_t{*b});
            WriteProp(s, std::string("Cell.") + p.Name, out);
        }
        WriteName(s, "");
    }
}

// --- Reading -------------------------------------------------------------------------------------

void TtsGridStreamComponent::ResetProps() {
    TtsGridModel& g = *FGrid;
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

void TtsGridStreamComponent::ReadGridBlock(TMemoryStream& block) {
    if (OnReadGrid) {
        OnReadGrid(block);
        return;
    }
    TtsGridModel& g = *FGrid;
    const std::int32_t cols = block.ReadI32();
    const std::int32_t rows = block.ReadI32();
    const std::int32_t cw = block.ReadI32();
    const std::int32_t rh = block.ReadI32();
    const std::int32_t color = block.ReadI32();
    if (cols < 0 || cols > MaxCols || rows < 0 || rows > MaxCount || cw < 0 || cw > MaxExtent ||
        rh < 0 || rh > MaxExtent)
        throw EReadError("Stored grid out of range");
    g.SetDefaultColWidth(cw);
    g.SetDefaultRowHeight(rh);
    g.SetCols(cols);
    g.SetRows(rows);
    g.Color = color;
}

void TtsGridStreamComponent::ReadBinary(TStream& s, const std::string& name) {
    TtsGridModel& g = *FGrid;
    const std::int32_t n = s.ReadI32();
    if (n < 0 || n > s.Remaining()) throw EReadError("Stored block length out of range");
    TMemoryStream block(s.ReadBlock(static_cast<std::size_t>(n)));
    if (name == "Grid") {
        ReadGridBlock(block);
    } else if (name == "Data") {
        if (g.StoreData())
            g.Storage()->LoadFromStream(block,
                                        g.FieldPositions.empty() ? nullptr : &g.FieldPositions);
    } else {
        throw EReadError("Unknown property " + name);
    }
}

void TtsGridStreamComponent::ReadSimple(const std::string& name, const TtsVariant& v) {
    TtsGridModel& g = *FGrid;
    if (name == "SavePropKinds") {
        const std::int32_t k = IntOf(v, name);
        if (k < 0 || k > 15) throw EReadError("SavePropKinds out of range");
        SavePropKinds = static_cast<TtsPropKinds>(k);
    } else if (name == "SaveData") {
        SaveData = BoolOf(v, name);
    } else if (name == "Properties") {
        const std::string b = TextOf(v, name);
        Kinds = KindSetFromBytes(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
    } else if (name == "AllProperties") {
        if (BoolOf(v, name)) Kinds = AllKinds;
    } else if (name == "ResetProps") {
        if (BoolOf(v, name)) ResetProps();
    } else if (name == "Cols") {
        const std::int32_t n = IntOf(v, name);
        if (n < 0 || n > MaxCols) throw EReadError("Cols out of range");
        if (LoadMode == 1) g.SetCols(n);
    } else if (name == "Rows") {
        const std::int32_t n = IntOf(v, name);
        if (n < 0 || n > MaxCount) throw EReadError("Rows out of range");
        g.SetRows(n);
    } else if (name == "DefaultColWidth" || name == "DefaultRowHeight") {
        const std::int32_t n = IntOf(v, name);
        if (n < 0 || n > MaxExtent) throw EReadError(name + " out of range");
        if (name == "DefaultColWidth")
            g.SetDefaultColWidth(n);
        else
            g.SetDefaultRowHeight(n);
    } else {
        throw EReadError("Unknown property " + name);
    }
}

void TtsGridStreamComponent::Read(TStream& s) {
    TtsGridModel& g = *FGrid;
    if (s.Size() > static_cast<std::int64_t>(MaxLayoutSize))
        throw EReadError("Stored layout too large");
    if (s.ReadText() != CarrierClass) throw EReadError("Not a grid layout");
    // Field positions belong to one load: a later load without them maps no column.
    g.FieldPositions.clear();
    const bool wasReading = g.IsReadingStream;
    g.IsReadingStream = true;
    fw::TScopeExit restore([&g, wasReading] { g.IsReadingStream = wasReading; });
    for (;;) {
        const std::string name = ReadName(s);
        if (name.empty()) break;
        const std::uint8_t type = s.ReadU8();
        if (type == vtCollection) {
            if (name == "ColProperties")
                ReadCols(s);
            else if (name == "RowProperties")
                ReadRows(s);
            else if (name == "CellProperties")
                ReadCells(s);
            else
                throw EReadError("Unknown collection " + name);
        } else if (type == vtBinary) {
            ReadBinary(s, name);
        } else if (type == vtSet) {
            // The older form of the kind set: its names are skipped and all kinds hold.
            if (name != "Properties") throw EReadError("Unknown property " + name);
            const std::int32_t n = ReadCount(s);
            for (int i = 0; i < n; ++i)
                ReadName(s);
            Kinds = AllKinds;
        } else {
            ReadSimple(name, ReadValue(s, type));
        }
    }
}

void TtsGridStreamComponent::ReadCols(TStream& s) {
    TtsGridModel& g = *FGrid;
    TtsCol scratch(nullptr, 1); // absorbs columns that are not present
    const std::int32_t n = ReadCount(s);
    for (int i = 0; i < n; ++i) {
        TtsCol* bound = nullptr;
        std::int32_t dataCol = 0;
        ReadItem(s, [&](const std::string& name, const TtsVariant& v) {
            if (name == "DataCol") {
                dataCol = IntOf(v, name);
                if (ColBindByName == 0)
                    bound = dataCol >= 1 && dataCol <= g.Cols() ? g.Col(dataCol) : nullptr;
                return;
            }
            if (name == "FieldName") {
                if (ColBindByName == 0) return;
                TtsCol* c = g.ColStore().FindByName(TextOf(v, name));
                if (c) c->ResetProperties(Kinds);
                bound = c;
                if (dataCol >= 1 && dataCol <= Tts2DStorage::MaxStoredCol) {
                    if (static_cast<int>(g.FieldPositions.size()) < dataCol)
                        g.FieldPositions.resize(static_cast<std::size_t>(dataCol), 0);
                    g.FieldPositions[static_cast<std::size_t>(dataCol - 1)] = c ? c->DataCol() : 0;
                }
                return;
            }
            if (name.rfind("Col.", 0) != 0) throw EReadError("Unknown property " + name);
            const std::string prop = name.substr(4);
            TtsCol& target = bound ? *bound : scratch;
            if (prop.rfind("Font.", 0) == 0) {
                if (KindChosen(Kinds, prFont)) ReadFont(target, prop, v, name);
                return;
            }
            // Legacy alignment pairs are read, never written.
            if (prop == "Alignment" || prop == "Align") {
                if (!KindChosen(Kinds, prAlignment)) return;
                if (prop == "Alignment")
                    target.SetAlignment(EnumOf(v, name, 2));
                else
                    target.SetAlignFlag(BoolOf(v, name));
                return;
            }
            if (prop == "HeadingAlignment" || prop == "HeadingAlign") {
                if (!KindChosen(Kinds, prAlignment)) return;
                target.SetHeadingHorzAlignment(MergeLegacyAlignment(
                    target.HeadingHorzAlignment(), prop == "HeadingAlignment", v, name));
                return;
            }
            for (const auto& p : ColProps()) {
                if (prop != p.Name) continue;
                if (KindChosen(Kinds, p.Kind)) p.Set(bound ? *bound : scratch, v, name);
                return;
            }
            throw EReadError("Unknown property " + name);
        });
    }
}

void TtsGridStreamComponent::ReadRows(TStream& s) {
    TtsGridModel& g = *FGrid;
    TtsRow scratch(nullptr, 0);
    // Positions and selections are applied once every item is read: the rows take
    // their stored places at once, whatever order the items come in.
    std::vector<std::pair<int, int>> positions;
    std::vector<std::pair<int, bool>> selected;
    const std::int32_t n = ReadCount(s);
    for (int i = 0; i < n; ++i) {
        int dataRow = -1;
        TtsRow* bound = nullptr;
        ReadItem(s, [&](const std::string& name, const TtsVariant& v) {
            if (name == "DataRow") {
                dataRow = IntOf(v, name);
                bound =
                    dataRow >= 0 && dataRow <= g.Rows() ? g.RowStore().EnsureRow(dataRow) : nullptr;
                return;
            }
            if (name == "DisplayRow") {
                if (bound) positions.emplace_back(dataRow, IntOf(v, name));
                return;
            }
            if (name == "Selected") {
                if (bound) selected.emplace_back(dataRow, BoolOf(v, name));
                return;
            }
            if (name.rfind("Row.", 0) != 0) throw EReadError("Unknown property " + name);
            const std::string prop = name.substr(4);
            if (prop.rfind("Font.", 0) == 0) {
                if (KindChosen(Kinds, prFont)) ReadFont(bound ? *bound : scratch, prop, v, name);
                return;
            }
            if (prop == "Alignment" || prop == "Align") {
                if (!KindChosen(Kinds, prAlignment)) return;
                TtsRow& target = bound ? *bound : scratch;
                target.SetHorzAlignment(
                    MergeLegacyAlignment(target.HorzAlignment(), prop == "Alignment", v, name));
                return;
            }
            for (const auto& p : RowProps()) {
                if (prop != p.Name) continue;
                if (KindChosen(Kinds, p.Kind)) p.Set(bound ? *bound : scratch, v, name);
                return;
            }
            throw EReadError("Unknown property " + name);
        });
        if (bound) g.RowStore().FreeRowIfUnused(dataRow);
    }
    g.SetDisplayRows(positions);
    for (auto [row, on] : selected)
        g.RowSelection.Select(g.DisplayRowOf(row), on);
}

void TtsGridStreamComponent::ReadCells(TStream& s) {
    TtsGridModel& g = *FGrid;
    const std::int32_t n = ReadCount(s);
    for (int i = 0; i < n; ++i) {
        std::int32_t col = -1;
        std::int32_t row = -1;
        ReadItem(s, [&](const std::string& name, const TtsVariant& v) {
            if (name == "DataCol") {
                col = IntOf(v, name);
                return;
            }
            if (name == "DataRow") {
                row = IntOf(v, name);
                return;
            }
            if (name.rfind("Cell.", 0) != 0) throw EReadError("Unknown property " + name);
            const std::string prop = name.substr(5);
            for (const auto& p : CellProps) {
                if (prop != p.Name) continue;
                const bool inGrid = col >= 0 && col <= g.Cols() && row >= 0 && row <= g.Rows();
                if (!inGrid || !KindChosen(Kinds, ReportKind(p.Id))) return;
                TtsVariant value = v;
                if (std::holds_alternative<std::int32_t>(v) && p.Id != prColor) {
                    const std::int32_t x = IntOf(v, name);
                    if (x < 0 || x > 255) throw EReadError("Property " + name + " out of range");
                    value = TtsVariant(static_cast<std::uint8_t>(x));
                }
                g.CellProps().SetProperty(TtsCellKey{col, row}, true, p.Sub, p.Id, value);
                return;
            }
            throw EReadError("Unknown property " + name);
        });
    }
}

// --- Entry points --------------------------------------------------------------------------------

void SaveLayout(TtsGridModel& grid, TStream& stream, TtsPropKinds parts, bool saveData,
                TtsKindSet kinds) {
    TtsGridStreamComponent carrier(&grid);
    carrier.SavePropKinds = parts;
    carrier.Kinds = WidenAlignmentKinds(kinds & AllKinds);
    carrier.SaveData = saveData;
    const bool was = grid.IsWritingStream;
    grid.IsWritingStream = true;
    fw::TScopeExit restore([&grid, was] { grid.IsWritingStream = was; });
    carrier.Write(stream);
}

void LoadLayout(TtsGridModel& grid, TStream& stream, std::uint8_t mode) {
    TtsGridStreamComponent carrier(&grid);
    carrier.LoadMode = mode;
    carrier.Read(stream);
}

namespace {

std::string ToHex(const std::vector<std::uint8_t>& b) {
    static const char digits[] = "0123456789ABCDEF";
    std::string r;
    r.reserve(b.size() * 2);
    for (std::uint8_t x : b) {
        r += digits[x >> 4];
        r += digits[x & 15];
    }
    return r;
}

std::vector<std::uint8_t> FromHex(const std::string& t) {
    if (t.size() % 2 != 0 || t.size() / 2 > MaxLayoutSize)
        throw EReadError("Stored layout text is damaged");
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

void SaveLayoutToSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                          const std::string& file, TtsPropKinds parts, TtsKindSet kinds) {
    TMemoryStream s;
    SaveLayout(grid, s, parts, false, kinds);
    auto store = OpenRegistryPath(path, true, file);
    if (!store) throw ERegistryException("Cannot open registry key " + path);
    store->WriteString(name, ToHex(s.Data()));
    store->CloseKey();
}

bool LoadLayoutFromSettings(TtsGridModel& grid, const std::string& path, const std::string& name,
                            const std::string& file, std::uint8_t mode) {
    auto store = OpenRegistryPath(path, false, file);
    if (!store || !store->ValueExists(name)) return false;
    TMemoryStream s(FromHex(store->ReadString(name)));
    LoadLayout(grid, s, mode);
    return true;
}

// --- Property copies --------------------------------------------------------------------------

const std::vector<TtsPropInfo<TtsCol>>& ColPropInfos() {
    return ColProps();
}

const std::vector<TtsPropInfo<TtsRow>>& RowPropInfos() {
    return RowProps();
}

namespace {

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

template <class Line>
bool CopyByName(const std::vector<TtsPropInfo<Line>>& props, const std::string& name, Line& d,
                const Line& s) {
    if (SameText(name, "Font")) {
        d.SetFont(s.ParentFont() ? nullptr : s.Font());
        return true;
    }
    for (const auto& p : props)
        if (SameText(name, p.Name)) {
            CopyProperty(p, d, s);
            return true;
        }
    return false;
}

template <class Line>
void CopyAll(const std::vector<TtsPropInfo<Line>>& props, Line& d, const Line& s,
             const std::string& exclusions) {
    const std::vector<std::string> skip = ParseList(exclusions);
    auto skipped = [&](const std::string& name) {
        return std::any_of(skip.begin(), skip.end(),
                           [&](const std::string& x) { return SameText(x, name); });
    };
    if (&d == &s) return;
    for (const auto& p : props)
        if (!skipped(p.Name)) CopyProperty(p, d, s);
    if (!skipped("Font")) CopyByName(props, "Font", d, s);
}

} // namespace

bool CopyPropertyByName(const std::string& name, TtsCol& dest, const TtsCol& source) {
    return CopyByName(ColProps(), name, dest, source);
}

bool CopyPropertyByName(const std::string& name, TtsRow& dest, const TtsRow& source) {
    return CopyByName(RowProps(), name, dest, source);
}

void CopyProperties(TtsCol& dest, const TtsCol& source, const std::string& exclusions) {
    CopyAll(ColProps(), dest, source, exclusions);
}

void CopyProperties(TtsRow& dest, const TtsRow& source, const std::string& exclusions) {
    CopyAll(RowProps(), dest, source, exclusions);
}

} // namespace vel
