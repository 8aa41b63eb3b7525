// What columns, rows and cells own or refer to beside plain values: font
// objects, combo settings and date-time definitions, with the grid's upkeep
// of each (repaints, the active combo, date-time drop-downs, free notices).
#include "TSGridData.h"

#include "ScopeExit.h"

#include <algorithm>

namespace vel {

// --- Fonts of lines ---------------------------------------------------------------------

const fw::TFont* TtsLine::InheritedFont() const {
    const TtsGridModel* g = LineGrid();
    return g ? &g->Font : nullptr;
}

void TtsLine::MakeFont(const fw::TFont& from) {
    ++P.FontChangeLock;
    fw::TScopeExit unlock([this] { --P.FontChangeLock; });
    if (!P.Font) {
        P.Font = std::make_unique<fw::TFont>();
        P.Font->OnChange = [this](fw::TObject*) { FontObjectChanged(); };
    }
    P.Font->Assign(from);
}

void TtsLine::FontObjectChanged() {
    if (P.FontChangeLock != 0) return;
    P.ParentFont = false;
    LookChanged();
    if (TtsGridModel* g = LineGrid()) g->RefreshOwnFontCells();
}

fw::TFont& TtsLine::FontObject() {
    if (!P.Font) {
        static const fw::TFont Plain;
        const fw::TFont* from = InheritedFont();
        MakeFont(from ? *from : Plain);
    }
    return *P.Font;
}

void TtsLine::SetParentFont(bool v) {
    if (P.ParentFont == v) return;
    P.ParentFont = v;
    const fw::TFont* from = InheritedFont();
    if (v && !(P.OwnFonts && from))
        P.Font.reset();
    else if (from)
        MakeFont(*from);
    else if (!v && !P.Font)
        MakeFont(fw::TFont());
    LookChanged();
    if (TtsGridModel* g = LineGrid()) g->RefreshOwnFontCells();
}

// --- Combos of lines ------------------------------------------------------------------------

TtsCombo* TtsLine::EnsureCombo() {
    if (P.Combo) return P.Combo.get();
    TtsGridModel* g = LineGrid();
    if (!g || !g->Link || g->Link->IsDropDownList()) return nullptr;
    P.Combo = g->Link->CreateCombo();
    if (!P.Combo) return nullptr;
    P.ParentCombo = false;
    SetComboDropDownStyle(P.Combo.get(), P.DropDownStyle);
    if (ComboListWidth() >= 0) SetComboListWidth(P.Combo.get(), ComboListWidth());
    return P.Combo.get();
}

void TtsLine::SetCombo(const TtsCombo* v) {
    TtsGridModel* g = LineGrid();
    TtsGridLink* link = g ? g->Link : nullptr;
    if (link && link->IsDropDownList()) return;
    if (!v) {
        if (!P.Combo) return;
        // The grid lets go of the combo before it is freed.
        if (link) link->ReleaseCombo(P.Combo.get(), false);
        P.Combo.reset();
        P.ParentCombo = true;
        CellsChanged();
        return;
    }
    if (v == P.Combo.get()) return;
    TtsCombo* own = EnsureCombo();
    if (!own) return;
    AssignCombo(own, *v);
    if (link) {
        link->ForgetActiveCombo(own);
        if (IsCurrentLine()) link->ReleasePendingCombo(false);
    }
    CellsChanged();
}

void TtsLine::SetParentCombo(bool v) {
    if (P.ParentCombo == v) return;
    if (v) {
        SetCombo(nullptr);
        P.ParentCombo = true;
        return;
    }
    P.ParentCombo = false;
}

TtsDropDownStyle TtsLine::DropDownStyle() const {
    return P.Combo ? ComboDropDownStyle(P.Combo.get()) : P.DropDownStyle;
}

void TtsLine::SetDropDownStyle(TtsDropDownStyle v) {
    if (DropDownStyle() == v && P.DropDownStyle == v) return;
    P.DropDownStyle = v;
    if (P.Combo) SetComboDropDownStyle(P.Combo.get(), v);
    TtsGridModel* g = LineGrid();
    if (g && g->Link && IsCurrentLine()) g->Link->UpdateCellControl(false);
}

// --- Date-time definitions of lines -----------------------------------------------------------

void TtsLine::SetDateTimeDef(fw::TObject* v) {
    if (P.DateTimeDef == v) return;
    TtsGridModel* g = LineGrid();
    TtsGridLink* link = g ? g->Link : nullptr;
    if (link && P.DateTimeDef) {
        if (IsCurrentLine())
            link->EndDateTimeDropDown();
        else
            link->ReleaseDateTimeDef(P.DateTimeDef);
        link->UseDateTimeDef(P.DateTimeDef, false);
    }
    P.DateTimeDef = v;
    if (link && v) link->UseDateTimeDef(v, true);
}

void TtsLine::ReleaseObjects() {
    TtsGridModel* g = LineGrid();
    TtsGridLink* link = g ? g->Link : nullptr;
    if (!link) return;
    if (P.Combo) link->ReleaseCombo(P.Combo.get(), false);
    if (P.DateTimeDef) {
        link->ReleaseDateTimeDef(P.DateTimeDef);
        link->UseDateTimeDef(P.DateTimeDef, false);
    }
}

void TtsLine::AssignLineObjects(TtsLine& to, const TtsLine& from) {
    if (auto* c = dynamic_cast<TtsCol*>(&to))
        c->SetButtonType(from.P.ButtonType);
    else if (auto* r = dynamic_cast<TtsRow*>(&to))
        r->SetButtonType(from.P.ButtonType);
    to.P.DropDownStyle = from.P.DropDownStyle;
    to.SetDateTimeDef(from.P.DateTimeDef);
    to.SetCombo(from.P.Combo.get());
    to.P.ParentCombo = from.P.ParentCombo;
    // Fonts: an inherited font is copied only by a line that keeps its own fonts.
    const fw::TFont* inherited = to.InheritedFont();
    if (from.P.ParentFont) {
        if (to.P.OwnFonts && inherited)
            to.MakeFont(*inherited);
        else
            to.P.Font.reset();
    } else if (from.P.Font) {
        to.MakeFont(*from.P.Font);
    }
    to.P.ParentFont = from.P.ParentFont;
}

// --- Columns --------------------------------------------------------------------------------

TtsCol::~TtsCol() {
    ReleaseObjects();
}

void TtsCol::Detach() {
    ReleaseObjects();
    FGrid = nullptr;
}

bool TtsCol::IsCurrentLine() const {
    return FGrid && FGrid->IsCurrentCol(FDisplayCol);
}

int TtsCol::MaxTextWidth() const {
    if (!FGrid || !FGrid->Link || FGrid->Rows() <= 0) return 0;
    const int data = DataCol();
    int widest = 0;
    for (int r = 1; r <= FGrid->Rows(); ++r) {
        const TtsRow* row = FGrid->RowStore().Row(r);
        if (row && !row->Visible()) continue;
        int first = 0, second = 0;
        FGrid->Link->MeasureCellText(data, r, first, second);
        widest = std::max(widest, first);
    }
    return widest;
}

void TtsCol::SetOwnFonts(bool v) {
    if (P.OwnFonts == v) return;
    P.OwnFonts = v;
    if (FGrid) {
        const int data = DataCol();
        if (v)
            FGrid->OwnFontCols.Add(data);
        else
            FGrid->OwnFontCols.Remove(data);
    }
    if (v && P.ParentFont && FGrid)
        MakeFont(FGrid->Font);
    else if (!v && P.ParentFont)
        P.Font.reset();
}

void TtsCol::MakeHeadingFont(const fw::TFont& from) {
    if (!FHeadingFont) {
        FHeadingFont = std::make_unique<fw::TFont>();
        FHeadingFont->OnChange = [this](fw::TObject*) {
            if (P.FontChangeLock != 0) return;
            FHeadingParentFont = false;
            HeadingChanged();
        };
    }
    ++P.FontChangeLock;
    fw::TScopeExit unlock([this] { --P.FontChangeLock; });
    FHeadingFont->Assign(from);
}

void TtsCol::SetHeadingFont(const fw::TFont* v) {
    if (v)
        MakeHeadingFont(*v);
    else
        FHeadingFont.reset();
    FHeadingParentFont = !v;
    HeadingChanged();
}

fw::TFont& TtsCol::HeadingFontObject() {
    if (!FHeadingFont) MakeHeadingFont(FGrid ? FGrid->HeadingFont : fw::TFont());
    return *FHeadingFont;
}

void TtsCol::SetHeadingParentFont(bool v) {
    if (FHeadingParentFont == v) return;
    FHeadingParentFont = v;
    if (v)
        FHeadingFont.reset();
    else if (!FHeadingFont)
        MakeHeadingFont(FGrid ? FGrid->HeadingFont : fw::TFont());
    HeadingChanged();
}

// --- Rows -------------------------------------------------------------------------------------

TtsRow::~TtsRow() {
    ReleaseObjects();
}

void TtsRow::Detach() {
    ReleaseObjects();
    FGrid = nullptr;
}

bool TtsRow::IsCurrentLine() const {
    return FGrid && FGrid->IsCurrentRow(DisplayRow());
}

void TtsRow::SetOwnFonts(bool v) {
    if (P.OwnFonts == v) return;
    P.OwnFonts = v;
    if (FGrid) {
        if (v)
            FGrid->OwnFontRows.Add(FDataRow);
        else
            FGrid->OwnFontRows.Remove(FDataRow);
    }
    if (v && P.ParentFont && FGrid)
        MakeFont(FGrid->Font);
    else if (!v && P.ParentFont)
        P.Font.reset();
}

void TtsRow::AssignFromRow(const TtsRow& source) {
    FGrid = source.FGrid;
    AssignProperties(source);
}

void TtsRow::Assign(const TtsRow& source) {
    if (&source == this) return;
    TtsBusyScope busy(FGrid);
    if (FGrid && source.FGrid == FGrid) SetDisplayRow(source.DisplayRow());
    const int height = source.FAssignedHeight;
    AssignProperties(source);
    FHeight = -1; // apply the height with its notifications
    SetHeight(height);
    LookChanged();
    if (FGrid && FGrid->Link && IsCurrentLine()) FGrid->Link->UpdateCellControl(false);
}

// --- Cells --------------------------------------------------------------------------------------

const fw::TFont* TtsCell::Font() const {
    return FontOfVariant(Get(prFont));
}
void TtsCell::SetFont(const fw::TFont* v) {
    Set(prFont, TtsVariant(static_cast<fw::TObject*>(const_cast<fw::TFont*>(v))));
}
bool TtsCell::ParentFont() const {
    return VarAsInteger(Get(prParentFont)) != 0;
}
void TtsCell::SetParentFont(bool v) {
    Set(prParentFont, TtsVariant(v));
}
TtsCombo* TtsCell::Combo() const {
    return ComboOfVariant(Get(prCombo));
}
void TtsCell::SetCombo(const TtsCombo* v) {
    Set(prCombo, TtsVariant(ComboObject(const_cast<TtsCombo*>(v))));
}
TtsCombo* TtsCell::EnsureCombo() {
    const TtsCellKey key{DataCol, DataRow};
    TtsCellElement* e = FGrid->CellProps().Element(DataCol, DataRow);
    if (e && e->P.Combo) return e->P.Combo.get();
    if (!FGrid->Link || FGrid->Link->IsDropDownList()) return nullptr;
    // Made through an element of its own: the set makes one for the cell.
    FGrid->CellProps().SetProperty(key, false, 0, prParentCombo, TtsVariant(false));
    e = FGrid->CellProps().Element(DataCol, DataRow);
    return e ? e->EnsureCombo() : nullptr;
}
bool TtsCell::ParentCombo() const {
    return VarAsInteger(Get(prParentCombo)) != 0;
}
void TtsCell::SetParentCombo(bool v) {
    Set(prParentCombo, TtsVariant(v));
}
TtsDropDownStyle TtsCell::DropDownStyle() const {
    return VarAsInteger(Get(prDropDownStyle)) == 1 ? ddDropDownList : ddDropDown;
}
void TtsCell::SetDropDownStyle(TtsDropDownStyle v) {
    Set(prDropDownStyle, TtsVariant(std::uint8_t{v}));
}
fw::TObject* TtsCell::DateTimeDef() const {
    const TtsVariant v = Get(prDateTimeDef);
    auto* o = std::get_if<fw::TObject*>(&v);
    return o ? *o : nullptr;
}
void TtsCell::SetDateTimeDef(fw::TObject* v) {
    Set(prDateTimeDef, TtsVariant(v));
}

} // namespace vel
