#pragma once
// Combo settings and their list grid. A column, a row, a cell or the grid
// itself carries a TtsCombo; a combo cell drops the combo's list grid down
// under the cell. The list grid keeps the items as its own data: the value
// column gives the value a pick stores in the cell.
#include "TSGrid.h"

#include <functional>

namespace vel {

enum TtsComboCompareType : std::uint8_t { ctCaseSensitive, ctCaseInsensitive, ctOwn };
enum TtsComboAutoSearchType : std::uint8_t { asNone, asTop, asBottom, asCenter };
enum TtsConvertCase : std::uint8_t { afcOnEdit, afcOnExit, afcNone };

// A grid marked as a drop-down list: no button types or combos of its own, no
// focus of its own; a press picks the row under the mouse.
class TtsComboGrid : public TtsCustomGrid {
public:
    TtsComboGrid(fw::TComponent* AOwner, TtsCombo* Combo, TtsBaseGrid* OwnerGrid);

    TtsCombo* Combo() const { return FCombo; }
    TtsBaseGrid* OwnerGrid() const { return FOwnerGrid; }

    // The lines a drop-down shows, held in 1..MaxDropDownLines.
    static constexpr int MaxDropDownLines = 1000;
    int DropDownRows() const { return FDropDownRows; }
    void SetDropDownRows(int Value);
    int DropDownCols() const { return FDropDownCols; }
    void SetDropDownCols(int Value);
    int ValueCol() const { return FValueCol; }
    void SetValueCol(int Value) { FValueCol = Value; }
    int ComboDisplayCol() const { return FComboDisplayCol; }
    void SetComboDisplayCol(int Value) { FComboDisplayCol = Value; }
    bool ValueColSorted() const { return FValueColSorted; }
    void SetValueColSorted(bool Value) { FValueColSorted = Value; }
    TtsComboCompareType CompareType() const { return FCompareType; }
    void SetCompareType(TtsComboCompareType Value) { FCompareType = Value; }
    TtsComboAutoSearchType AutoSearch() const { return FAutoSearch; }
    void SetAutoSearch(TtsComboAutoSearchType Value) { FAutoSearch = Value; }
    bool AutoFill() const { return FAutoFill; }
    // On while no search is set (and the list is not being read), searching starts at the top.
    void SetAutoFill(bool Value);
    TtsConvertCase AutoFillConvertCase() const { return FAutoFillConvertCase; }
    void SetAutoFillConvertCase(TtsConvertCase Value) { FAutoFillConvertCase = Value; }
    TtsDropDownStyle DropDownStyle() const { return FDropDownStyle; }
    // The owning grid's current cell follows (typing allowed or not).
    void SetDropDownStyle(TtsDropDownStyle Value);
    // Back to the defaults: 4 rows, 1 column, value and display column 1, ...
    void ResetSettings();
    // Settings and items of another list.
    void AssignList(const TtsComboGrid& Source);

    // The data row whose value column holds the value (by CompareType), -1 when none.
    int FindValue(const TtsVariant& Value) const;
    TtsVariant ValueOfRow(int DataRow);
    // Makes a row current and marks it; 0 marks none.
    void MarkRow(int DataRow);
    int MarkedRow() const { return FMarked; }
    // The combo goes: the list forgets it and its owning grid.
    void Orphan();
    // The size the drop-down takes for its rows and columns.
    fw::TSize DropDownExtent(int MinWidth);
    // The same showing ShownCols columns and ShownRows rows.
    fw::TSize DropDownExtent(int MinWidth, int ShownCols, int ShownRows);
    // Compares texts for ctOwn.
    std::function<int(const std::string& A, const std::string& B)> OnCompare;
    // A press picked a data row.
    std::function<void(int DataRow)> OnPick;

    std::string GridName() const override;
    std::unique_ptr<TtsBaseGrid> CreateGridOfClass(fw::TComponent* AOwner) const override;
    const char* GridClassName() const override { return "TtsComboGrid"; }
    bool IsReading() const override;
    bool IsWriting() const override;
    bool CanFocus() const override { return false; }

protected:
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void WriteGridSettings(TStream& S) override;
    bool ReadGridSetting(const TtsStoredProp& P) override;

private:
    int RowAt(int X, int Y) const;
    TtsCombo* FCombo;
    TtsBaseGrid* FOwnerGrid;
    int FDropDownRows = 4;
    int FDropDownCols = 1;
    int FValueCol = 1;
    int FComboDisplayCol = 1;
    bool FValueColSorted = false;
    TtsComboCompareType FCompareType = ctCaseInsensitive;
    TtsComboAutoSearchType FAutoSearch = asNone;
    bool FAutoFill = false;
    TtsConvertCase FAutoFillConvertCase = afcOnEdit;
    TtsDropDownStyle FDropDownStyle = ddDropDown;
    int FMarked = 0;
    bool FPressed = false;
};

class TtsCombo : public fw::TPersistent {
public:
    // Made by the owner grid's combo factory: the list grid comes from the
    // grid's list factory, hidden, with the grid's defaults.
    explicit TtsCombo(TtsBaseGrid* Owner);
    ~TtsCombo() override;
    TtsCombo(const TtsCombo&) = delete;
    TtsCombo& operator=(const TtsCombo&) = delete;

    TtsBaseGrid* Owner() const { return FOwner; }
    TtsComboGrid* Grid() const { return FGrid.get(); }

    int DropDownRows() const;
    int DropDownCols() const;
    int ValueCol() const;
    int ComboDisplayCol() const;
    bool ValueColSorted() const;
    TtsComboCompareType CompareType() const;
    TtsComboAutoSearchType AutoSearch() const;
    bool AutoFill() const;
    TtsConvertCase AutoFillConvertCase() const;
    int Reserved() const { return 0; }
    TtsDropDownStyle DropDownStyle() const;
    void SetDropDownRows(int Value);
    void SetDropDownCols(int Value);
    void SetValueCol(int Value);
    void SetComboDisplayCol(int Value);
    void SetValueColSorted(bool Value);
    void SetCompareType(TtsComboCompareType Value);
    void SetAutoSearch(TtsComboAutoSearchType Value);
    void SetAutoFill(bool Value);
    void SetAutoFillConvertCase(TtsConvertCase Value);
    void SetReserved(int) {}
    void SetDropDownStyle(TtsDropDownStyle Value);
    // The list grid takes the source's list: settings, columns and items.
    void Assign(const TtsCombo& Source);
    // The list back to all defaults; an open drop-down takes the new size.
    void Reset();
    // The list shows as dropped down for its owner.
    bool Dropped() const;
    // The list's settings above, by name.
    const fw::TPropList& PublishedProperties() const override;

private:
    TtsBaseGrid* FOwner;
    std::unique_ptr<TtsComboGrid> FGrid;
};

} // namespace vel
