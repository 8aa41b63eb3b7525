#include "TSCellProps.h"

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
}

bool TtsCustomPropElement::IsDefault() const {
    return P.SharedAtDefaults() && CellReadOnly == roDefault;
}

void TtsCustomPropElement::SetFont(const fw::TFont* font) {
    if (font) {
        if (!P.Font) P.Font = std::make_unique<fw::TFont>();
        P.Font->Assign(*font);
    } else {
        P.Font.reset();
    }
    P.ParentFont = !P.Font;
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

bool TtsCellPropSet::SetProperty(TtsCellKey key, bool repaint, int sub, int id,
                                 const TtsVariant& v) {
    // Combos come with the combo settings; until then a cell holds none.
    if (id == prCombo) return false;
    if (id == prFont) return SetFontProperty(key, repaint, FontOfVariant(v));
    if (!CellHoldsProperty(id, sub)) return false;
    TtsCellElement* e = Element(key.Col, key.Row);
    const TtsVariant def = DefaultPropertyValue(id, sub);
    const TtsVariant present = e ? e->GetProperty(id, sub) : def;
    if (VarEquals(v, present)) return false;
    if (e) {
        e->SetProperty(v, id, sub);
        if (VarEquals(v, def) && e->IsDefault()) RemoveElement(key);
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
    }
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

} // namespace vel
