#pragma once
// Sparse per-cell property overrides: an element exists only while one of
// its properties differs from its default. Elements are ordered by data row,
// then data column.
#include "TSGridModel.h"
#include "TSSetLib.h"

namespace vel {

// Whether a cell element keeps the property number (sub-index for the picture options);
// any other number reads empty and is ignored on write.
bool CellHoldsProperty(int id, int sub);

// The font a property value refers to, or null.
const fw::TFont* FontOfVariant(const TtsVariant& v);

struct TtsCellKey {
    std::int32_t Col = 0;
    std::int32_t Row = 0;
};

class TtsCustomElement : public TtsSetElement {
public:
    explicit TtsCustomElement(TtsGridModel* grid) : Grid(grid) {}
    TtsGridModel* Grid;
};

class TtsCustomPropElement : public TtsCustomElement {
public:
    using TtsCustomElement::TtsCustomElement;
    TtsLineProps P;
    TtsReadOnly CellReadOnly = roDefault;

    ~TtsCustomPropElement() override;
    virtual TtsVariant GetProperty(int id, int sub) const;
    virtual void SetProperty(const TtsVariant& v, int id, int sub);
    virtual void AssignProperties(const TtsCustomPropElement& source);
    virtual bool IsDefault() const;
    // The own font's change notice: the font becomes the element's own.
    virtual void FontChanged();
    virtual void SetFont(const fw::TFont* font);
    virtual void SetParentFont(bool v);
    virtual void RefreshParentFont() {}
    // The element's combo, made through the grid's combo factory when missing.
    virtual TtsCombo* EnsureCombo();

protected:
    // An own font copying `from`, its changes reported through FontChanged.
    void MakeFont(const fw::TFont& from);
};

class TtsCellElement : public TtsCustomPropElement {
public:
    TtsCellElement(TtsGridModel* grid, TtsCellKey key) : TtsCustomPropElement(grid), Key(key) {}
    TtsCellKey Key;
    void FontChanged() override;
    void SetParentFont(bool v) override;
    // An inherited copy takes the font the cell would inherit.
    void RefreshParentFont() override;
    TtsCombo* EnsureCombo() override;
    int CompareKey(const TtsCustomSet& set, const TtsSetElement& other) const override;
    // The key is a `const TtsCellKey*`.
    int CompareSearch(const TtsCustomSet& set, const void* key, int limit) const override;
};

class TtsCustomPropSet : public TtsObjectSet {
public:
    explicit TtsCustomPropSet(TtsGridModel* grid) : FGrid(grid) {}
    TtsGridModel* Grid() const { return FGrid; }

protected:
    TtsGridModel* FGrid;
};

class TtsCellPropSet : public TtsCustomPropSet {
public:
    using TtsCustomPropSet::TtsCustomPropSet;

    TtsCellElement* Element(int col, int row) const;
    // The cell's value, or the property's default without an element.
    TtsVariant GetProperty(int col, int row, int id, int sub) const;
    // Whether anything changed; makes and frees elements as needed. A font is
    // compared by its settings and copied into the element, a combo's settings
    // copied into the element's own combo.
    bool SetProperty(TtsCellKey key, bool repaint, int sub, int id, const TtsVariant& v);
    void SetOwnFonts(TtsCellKey key, bool flag);
    // The cell's element goes whatever it holds (its line went).
    void RemoveCell(TtsCellKey key) { RemoveElement(key); }
    // Keeps the per-column and per-row indexes of the cells that have an element.
    void IndexElement(TtsCellKey key, bool add);
    void ResetElements(TtsKindSet kinds, bool repaint);
    // The elements of another set, copied (every element here goes first).
    void AssignFrom(const TtsCellPropSet& source);
    // Per data column the data rows with an element, and per data row the columns.
    const TtsIntegerSetList& RowsOfCol() const { return FRowsOfCol; }
    const TtsIntegerSetList& ColsOfRow() const { return FColsOfRow; }
    // Counts elements made or freed; look-up caches compare it.
    std::uint32_t Generation() const { return FGeneration; }

private:
    bool SetFontProperty(TtsCellKey key, bool repaint, const fw::TFont* font);
    bool SetObjectProperty(TtsCellKey key, bool repaint, int id, const TtsVariant& v);
    bool SetComboProperty(TtsCellKey key, bool repaint, const TtsCombo* combo);
    TtsCellElement* CreateElement(TtsCellKey key);
    void RemoveElement(TtsCellKey key);
    void RepaintCell(TtsCellKey key, int id);

    TtsIntegerSetList FRowsOfCol;
    TtsIntegerSetList FColsOfRow;
    std::uint32_t FGeneration = 0;
};

} // namespace vel
