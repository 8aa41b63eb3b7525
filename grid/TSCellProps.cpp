#include "TSCellProps.h"

#include "ScopeExit.h"
#include "TSGridData.h"

namespace vel {

namespace {

// Where key k lies against (col, row): rows first, then columns.
int CompareCell(const TtsCellKey& k, std::int32_t col, std::int32_t row) {
    if (k.Row != row) return k.Row < row ? 0 : 2;
    if (k.Col != col) return k.Col < col ? 0 : 2;
    return 1;
}

// The kinds of a cell reset, in their order (24 stands for its four sub-indexes).
constexpr int ResetOrder[] = {0,  1,  8,  6,  7,  28, 29, 5,  15, 16, 17, 18,
                              20, 22, 23, 24, 25, 26, 27, 30, 21, 9,  31, 32};

} // namespace

bool CellHoldsProperty(int id, int sub) {
    switch (id) {
    case prDisplayPos:
    case prColWidth:
    case prRowHeight:
    case prColSelected:
    case prVisible:
    case prRowSelected:
    case prHeadingButton:
    case prSortPicture:
    case prMaxLength:
        return false;
    case prPictureOption:
        return sub >= 1 && sub <= 4;
    default:
        return id >= prColor && id <= prItemObject && id != 19;
    }
}

const fw::TFont* FontOfVariant(const TtsVariant& v) {
    if (auto* o = std::get_if<fw::TObject*>(&v)) return dynamic_cast<const fw::TFont*>(*o);
    return nullptr;
}

// --- Elements -------------------------------------------------------------------------------

TtsCustomPropElement::~TtsCustomPropElement() {
    // What a going element holds goes back to the grid first.
    TtsGridLink* link = Grid ? Grid->Link : nullptr;
    if (!link) return;
    if (P.Combo) link->ReleaseCombo(P.Combo.get(), false);
    if (P.DateTimeDef) {
        link->ReleaseDateTimeDef(P.DateTimeDef);
        link->UseDateTimeDef(P.DateTimeDef, false);
    }
}

TtsVariant TtsCustomPropElement::GetProperty(int id, int sub) const {
    if (id == prCellReadOnly) return TtsVariant(std::uint8_t{CellReadOnly});
    if (id == prFont) return TtsVariant(static_cast<fw::TObject*>(P.Font.get()));
    return P.Get(id, sub);
}

void TtsCustomPropElement::SetProperty(const TtsVariant& v, int id, int sub) {
    if (id == prFont) {
        SetFont(FontOfVariant(v));
        return;
    }
    if (id == prParentFont) {
        SetParentFont(std::holds_alternative<bool>(v) ? std::get<bool>(v) : VarAsInteger(v) != 0);
        return;
    }
    if (id == prCombo) {
        const TtsCombo* from = ComboOfVariant(v);
        if (!from) {
            P.Combo.reset();
            P.ParentCombo = true;
        } else if (from != P.Combo.get()) {
            if (TtsCombo* own = EnsureCombo()) AssignCombo(own, *from);
        }
        return;
    }
    if (id == prParentCombo && VarAsInteger(v) != 0) P.Combo.reset();
    if (id == prCellReadOnly) {
        const auto b = static_cast<std::uint8_t>(VarAsInteger(v));
        CellReadOnly = b <= roDefault ? static_cast<TtsReadOnly>(b) : roDefault;
        return;
    }
    P.Set(id, sub, v);
}

void TtsCustomPropElement::AssignProperties(const TtsCustomPropElement& s) {
    for (int id : ResetOrder) {
        if (id == prFont || id == prCombo) continue;
        if (id == prPictureOption) {
            for (int sub = 1; sub <= 4; ++sub)
                SetProperty(s.GetProperty(id, sub), id, sub);
            continue;
        }
        SetProperty(s.GetProperty(id, 0), id, 0);
    }
    SetFont(s.P.Font.get());
    P.ParentFont = s.P.ParentFont;
    if (s.P.Combo) {
        if (TtsCombo* own = EnsureCombo()) AssignCombo(own, *s.P.Combo);
    } else {
        P.Combo.reset();
    }
    P.ParentCombo = s.P.ParentCombo;
}

bool TtsCustomPropElement::IsDefault() const {
    return P.SharedAtDefaults() && CellReadOnly == roDefault;
}

void TtsCustomPropElement::MakeFont(const fw::TFont& from) {
    ++P.FontChangeLock;
    fw::TScopeExit unlock([this] { --P.FontChangeLock; });
    if (!P.Font) {
        P.Font = std::make_unique<fw::TFont>();
        P.Font->OnChange = [this](fw::TObject*) { FontChanged(); };
    }
    P.Font->Assign(from);
}

void TtsCustomPropElement::FontChanged() {
    if (P.FontChangeLock == 0) P.ParentFont = false;
}

void TtsCustomPropElement::SetFont(const fw::TFont* font) {
    if (font)
        MakeFont(*font);
    else
        P.Font.reset();
    P.ParentFont = !P.Font;
}

void TtsCustomPropElement::SetParentFont(bool v) {
    P.ParentFont = v;
    if (v && !P.OwnFonts) P.Font.reset();
}

TtsCombo* TtsCustomPropElement::EnsureCombo() {
    if (P.Combo) return P.Combo.get();
    if (!Grid || !Grid->Link || Grid->Link->IsDropDownList()) return nullptr;
    P.Combo = Grid->Link->CreateCombo();
    if (!P.Combo) return nullptr;
    P.ParentCombo = false;
    SetComboDropDownStyle(P.Combo.get(), P.DropDownStyle);
    return P.Combo.get();
}

// --- Cell elements ------------------------------------------------------------------------------

void TtsCellElement::FontChanged() {
    if (P.FontChangeLock != 0) return;
    TtsCustomPropElement::FontChanged();
    if (Grid) Grid->RepaintCell(Key.Col, Key.Row, true);
}

void TtsCellElement::SetParentFont(bool v) {
    if (!v) {
        if (!P.Font && Grid) MakeFont(Grid->InheritedFont(Key.Col, Key.Row));
        P.ParentFont = false;
    } else {
        P.ParentFont = true;
        if (P.OwnFonts && Grid)
            MakeFont(Grid->InheritedFont(Key.Col, Key.Row));
        else
            P.Font.reset();
    }
    if (Grid) Grid->RepaintCell(Key.Col, Key.Row, true);
}

void TtsCellElement::RefreshParentFont() {
    if (P.ParentFont && P.Font && Grid) MakeFont(Grid->InheritedFont(Key.Col, Key.Row));
}

TtsCombo* TtsCellElement::EnsureCombo() {
    const bool made = !P.Combo;
    TtsCombo* combo = TtsCustomPropElement::EnsureCombo();
    if (made && combo && Grid && Key.Col >= 1 && Key.Col <= Grid->Cols())
        SetComboListWidth(combo, Grid->ColWidthAt(Grid->DisplayColOf(Key.Col)));
    return combo;
}

int TtsCellElement::CompareKey(const TtsCustomSet&, const TtsSetElement& other) const {
    return CompareCell(static_cast<const TtsCellElement&>(other).Key, Key.Col, Key.Row);
}

int TtsCellElement::CompareSearch(const TtsCustomSet&, const void* key, int) const {
    return CompareCell(*static_cast<const TtsCellKey*>(key), Key.Col, Key.Row);
}

// --- The set -----------------------------------------------------------------------------------

TtsCellElement* TtsCellPropSet::Element(int col, int row) const {
    const TtsCellKey key{col, row};
    return static_cast<TtsCellElement*>(Find(&key));
}

TtsVariant TtsCellPropSet::GetProperty(int col, int row, int id, int sub) const {
    if (!CellHoldsProperty(id, sub)) return {};
    if (const TtsCellElement* e = Element(col, row)) return e->GetProperty(id, sub);
    return DefaultPropertyValue(id, sub);
}

void TtsCellPropSet::IndexElement(TtsCellKey key, bool add) {
    auto update = [&](TtsIntegerSetList& list, int at, int value) {
        if (at < 0) return;
        TtsIntegerSet* s = list.Get(at);
        if (add) {
            if (!s) {
                list.Put(at, std::make_unique<TtsIntegerSet>());
                s = list.Get(at);
            }
            s->Add(value);
        } else if (s) {
            s->Remove(value);
            if (s->Count() == 0) list.Put(at, nullptr);
        }
    };
    update(FRowsOfCol, key.Col, key.Row);
    update(FColsOfRow, key.Row, key.Col);
    ++FGeneration;
}

TtsCellElement* TtsCellPropSet::CreateElement(TtsCellKey key) {
    auto* e = static_cast<TtsCellElement*>(Add(std::make_unique<TtsCellElement>(FGrid, key)));
    IndexElement(key, true);
    return e;
}

void TtsCellPropSet::RemoveElement(TtsCellKey key) {
    if (!Find(&key)) return;
    Remove(&key);
    IndexElement(key, false);
}

void TtsCellPropSet::RepaintCell(TtsCellKey key, int id) {
    if (!FGrid) return;
    const bool control = id == prControlType || id == prButtonType || id == prFont ||
                         id == prParentFont || id == prHorzAlignment || id == prVertAlignment ||
                         id == prWordWrap || id == prColor;
    FGrid->RepaintCell(key.Col, key.Row, control);
}

bool TtsCellPropSet::SetFontProperty(TtsCellKey key, bool repaint, const fw::TFont* font) {
    TtsCellElement* e = Element(key.Col, key.Row);
    const fw::TFont* present = e ? e->P.Font.get() : nullptr;
    if (!present && !font) return false;
    if (present && font && present->SameAs(*font)) return false;
    if (!e) e = CreateElement(key);
    e->SetFont(font);
    if (e->IsDefault()) RemoveElement(key);
    if (repaint) RepaintCell(key, prFont);
    return true;
}

bool TtsCellPropSet::SetComboProperty(TtsCellKey key, bool repaint, const TtsCombo* combo) {
    TtsCellElement* e = Element(key.Col, key.Row);
    TtsCombo* present = e ? e->P.Combo.get() : nullptr;
    TtsGridLink* link = FGrid ? FGrid->Link : nullptr;
    if (combo == present || (!combo && !present)) return false;
    if (!combo) {
        // The grid lets go of the combo before it is freed.
        if (link) link->ReleaseCombo(present, false);
        e->SetProperty(TtsVariant(static_cast<fw::TObject*>(nullptr)), prCombo, 0);
        if (e->IsDefault()) RemoveElement(key);
    } else {
        if (link && link->IsDropDownList()) return false;
        if (!e) e = CreateElement(key);
        TtsCombo* own = e->EnsureCombo();
        if (!own) {
            if (e->IsDefault()) RemoveElement(key);
            return false;
        }
        AssignCombo(own, *combo);
        if (link) link->ReleaseCombo(own, false);
    }
    if (repaint) RepaintCell(key, prCombo);
    return true;
}

bool TtsCellPropSet::SetObjectProperty(TtsCellKey key, bool repaint, int id, const TtsVariant& v) {
    // The date-time definition: the grid's registration moves from the old one to the new.
    TtsCellElement* e = Element(key.Col, key.Row);
    fw::TObject* present = e ? e->P.DateTimeDef : nullptr;
    fw::TObject* fresh = nullptr;
    if (auto* o = std::get_if<fw::TObject*>(&v)) fresh = *o;
    if (fresh == present) return false;
    TtsGridLink* link = FGrid ? FGrid->Link : nullptr;
    if (link && present) {
        link->ReleaseDateTimeDef(present);
        link->UseDateTimeDef(present, false);
    }
    if (!e) e = CreateElement(key);
    e->P.DateTimeDef = fresh;
    if (link && fresh) link->UseDateTimeDef(fresh, true);
    if (e->IsDefault()) RemoveElement(key);
    if (repaint) RepaintCell(key, id);
    return true;
}

bool TtsCellPropSet::SetProperty(TtsCellKey key, bool repaint, int sub, int id,
                                 const TtsVariant& v) {
    if (id == prCombo) return SetComboProperty(key, repaint, ComboOfVariant(v));
    if (id == prDateTimeDef) return SetObjectProperty(key, repaint, id, v);
    if (id == prFont) return SetFontProperty(key, repaint, FontOfVariant(v));
    if (!CellHoldsProperty(id, sub)) return false;
    TtsCellElement* e = Element(key.Col, key.Row);
    const TtsVariant def = DefaultPropertyValue(id, sub);
    const TtsVariant present = e ? e->GetProperty(id, sub) : def;
    if (VarEquals(v, present)) return false;
    TtsBusyScope busy(FGrid); // the repaint reloads the current cell: handlers
    if (e) {
        e->SetProperty(v, id, sub);
        // The default, or a value the element normalised to it.
        if (e->IsDefault()) RemoveElement(key);
    } else {
        e = CreateElement(key);
        e->SetProperty(v, id, sub);
        if (e->IsDefault()) RemoveElement(key); // a value the element normalised away
    }
    if (id == prMaskName) {
        if (FGrid && FGrid->Link) FGrid->Link->MaskChanged(key.Col, key.Row);
    } else if (repaint) {
        RepaintCell(key, id);
    }
    const auto button = static_cast<TtsButtonType>(VarAsInteger(v));
    if (id == prButtonType && (button == btDateTimeDropDown || button == btDateTimePopup) &&
        FGrid && FGrid->Link)
        FGrid->Link->EndDateTimeDropDown();
    return true;
}

void TtsCellPropSet::SetOwnFonts(TtsCellKey key, bool flag) {
    TtsCellElement* e = Element(key.Col, key.Row);
    if (!e && !flag) return;
    if (!e) e = CreateElement(key);
    if (e->P.OwnFonts == flag) return;
    e->P.OwnFonts = flag;
    if (!FGrid) return;
    if (flag) {
        FGrid->OwnFontCells.AddPair(key.Col, key.Row);
    } else {
        FGrid->OwnFontCells.RemovePair(key.Col, key.Row);
        if (e->P.ParentFont) e->P.Font.reset();
        if (e->IsDefault()) RemoveElement(key);
        return;
    }
    // An inheriting own-font cell keeps a copy of what it inherits.
    if (e->P.ParentFont) e->SetParentFont(true);
}

void TtsCellPropSet::ResetElements(TtsKindSet kinds, bool repaint) {
    if (kinds == 0) return;
    std::vector<TtsCellKey> keys;
    for (TtsSetElement* e : Elements())
        keys.push_back(static_cast<TtsCellElement*>(e)->Key);
    for (const TtsCellKey& key : keys) {
        for (int id : ResetOrder) {
            if (!HasKind(kinds, id)) continue;
            if (!Element(key.Col, key.Row)) break; // freed by an earlier write
            bool changed = false;
            if (id == prFont) {
                TtsCellElement* e = Element(key.Col, key.Row);
                if (e->P.Font || !e->P.ParentFont) {
                    e->SetFont(nullptr);
                    changed = true;
                    if (e->IsDefault()) RemoveElement(key);
                }
            } else if (id == prPictureOption) {
                for (int sub = 1; sub <= 4 && Element(key.Col, key.Row); ++sub)
                    changed |= SetProperty(key, repaint, sub, id, DefaultPropertyValue(id, sub));
            } else {
                changed = SetProperty(key, repaint, 0, id, DefaultPropertyValue(id, 0));
            }
            if (changed) repaint = false;
        }
    }
}

void TtsCellPropSet::AssignFrom(const TtsCellPropSet& source) {
    if (&source == this) return;
    for (TtsSetElement* e : Elements())
        RemoveElement(static_cast<TtsCellElement*>(e)->Key);
    for (TtsSetElement* from : source.Elements()) {
        const auto& s = static_cast<const TtsCellElement&>(*from);
        CreateElement(s.Key)->AssignProperties(s);
        if (s.P.OwnFonts) SetOwnFonts(s.Key, true);
        if (TtsCellElement* e = Element(s.Key.Col, s.Key.Row); e && e->IsDefault())
            RemoveElement(s.Key);
    }
}

} // namespace vel
