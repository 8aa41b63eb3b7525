#pragma once
// The per-cell property operations of the grid: get and set one cell's own
// value of a property by data column and data row, written through the cell
// property set (so an element exists only while a value differs from its
// default), with the repaints and current-cell upkeep of each. The model has
// them, and the engine, which owns a model, has the same; TtsCell reads and
// writes through them.
//
// A cell outside the grid reads every default and takes no value (with range
// errors on, it raises). Font, parent font, combo, parent combo, drop-down
// style and date-time definition come with the combo settings.
#include "TSGridModel.h"

#include <string>

namespace vel {

class TtsGridModel;

// Owner gives CellModel(): the model whose cells these are.
template <class Owner> class TtsCellPropertyOps {
public:
    fw::TColor GetCellColor(int DataCol, int DataRow) const {
        return VarAsInteger(OpsGet(DataCol, DataRow, prColor));
    }
    void SetCellColor(int DataCol, int DataRow, fw::TColor V) {
        OpsSet(DataCol, DataRow, prColor, TtsVariant(std::int32_t{V}));
    }
    TtsControlType GetCellControlType(int DataCol, int DataRow) const {
        return static_cast<TtsControlType>(Byte(DataCol, DataRow, prControlType));
    }
    // The current cell's control is closed around the change and opened in its new kind.
    void SetCellControlType(int DataCol, int DataRow, TtsControlType V);
    TtsSpinOptions GetCellSpinOptions(int DataCol, int DataRow) const {
        return Byte(DataCol, DataRow, prSpinOptions);
    }
    void SetCellSpinOptions(int DataCol, int DataRow, TtsSpinOptions V) {
        OpsSet(DataCol, DataRow, prSpinOptions, TtsVariant(std::uint8_t(V & spoAll)));
    }
    double GetCellSpinIncrement(int DataCol, int DataRow) const {
        const TtsVariant V = OpsGet(DataCol, DataRow, prSpinIncrement);
        if (auto* D = std::get_if<double>(&V)) return *D;
        return VarAsInteger(V);
    }
    void SetCellSpinIncrement(int DataCol, int DataRow, double V) {
        OpsSet(DataCol, DataRow, prSpinIncrement, TtsVariant(V));
    }
    // The legacy pair: alignment 0 left, 1 right, 2 centre, in force with the flag.
    std::uint8_t GetCellAlignment(int DataCol, int DataRow) const {
        return Byte(DataCol, DataRow, prAlignment);
    }
    void SetCellAlignment(int DataCol, int DataRow, std::uint8_t V) {
        OpsSet(DataCol, DataRow, prAlignment, TtsVariant(V));
    }
    bool GetCellAlignFlag(int DataCol, int DataRow) const {
        return Byte(DataCol, DataRow, prAlignFlag) != 0;
    }
    void SetCellAlignFlag(int DataCol, int DataRow, bool V) {
        OpsSet(DataCol, DataRow, prAlignFlag, TtsVariant(V));
    }
    TtsHorzAlignment GetCellHorzAlignment(int DataCol, int DataRow) const {
        return static_cast<TtsHorzAlignment>(Byte(DataCol, DataRow, prHorzAlignment));
    }
    void SetCellHorzAlignment(int DataCol, int DataRow, TtsHorzAlignment V) {
        OpsSet(DataCol, DataRow, prHorzAlignment, TtsVariant(std::uint8_t{V}));
    }
    TtsVertAlignment GetCellVertAlignment(int DataCol, int DataRow) const {
        return static_cast<TtsVertAlignment>(Byte(DataCol, DataRow, prVertAlignment));
    }
    void SetCellVertAlignment(int DataCol, int DataRow, TtsVertAlignment V) {
        OpsSet(DataCol, DataRow, prVertAlignment, TtsVariant(std::uint8_t{V}));
    }
    bool GetCellIs3D(int DataCol, int DataRow) const { return Byte(DataCol, DataRow, pr3D) != 0; }
    void SetCellIs3D(int DataCol, int DataRow, bool V) {
        OpsSet(DataCol, DataRow, pr3D, TtsVariant(V));
    }
    TtsWordWrap GetCellWordWrap(int DataCol, int DataRow) const {
        return Byte(DataCol, DataRow, prWordWrap);
    }
    void SetCellWordWrap(int DataCol, int DataRow, TtsWordWrap V) {
        OpsSet(DataCol, DataRow, prWordWrap, TtsVariant(std::uint8_t{V}));
    }
    TtsButtonType GetCellButtonType(int DataCol, int DataRow) const {
        return static_cast<TtsButtonType>(Byte(DataCol, DataRow, prButtonType));
    }
    void SetCellButtonType(int DataCol, int DataRow, TtsButtonType V) {
        OpsSet(DataCol, DataRow, prButtonType, TtsVariant(std::uint8_t{V}));
    }
    TtsReadOnly GetCellReadOnly(int DataCol, int DataRow) const {
        return static_cast<TtsReadOnly>(Byte(DataCol, DataRow, prCellReadOnly));
    }
    void SetCellReadOnly(int DataCol, int DataRow, TtsReadOnly V) {
        OpsSet(DataCol, DataRow, prCellReadOnly, TtsVariant(std::uint8_t{V}));
    }
    std::string GetCellMaskName(int DataCol, int DataRow) const {
        return VarToText(OpsGet(DataCol, DataRow, prMaskName));
    }
    void SetCellMaskName(int DataCol, int DataRow, const std::string& V) {
        OpsSet(DataCol, DataRow, prMaskName, TtsVariant(V));
    }
    // The four picture options (property 24, sub-index 1 to 4).
    TtsDrawOption GetCellStretchPicture(int DataCol, int DataRow) const {
        return Picture(DataCol, DataRow, 1);
    }
    void SetCellStretchPicture(int DataCol, int DataRow, TtsDrawOption V) {
        SetPicture(DataCol, DataRow, 1, V);
    }
    TtsDrawOption GetCellShrinkPicture(int DataCol, int DataRow) const {
        return Picture(DataCol, DataRow, 2);
    }
    void SetCellShrinkPicture(int DataCol, int DataRow, TtsDrawOption V) {
        SetPicture(DataCol, DataRow, 2, V);
    }
    TtsDrawOption GetCellCenterPicture(int DataCol, int DataRow) const {
        return Picture(DataCol, DataRow, 3);
    }
    void SetCellCenterPicture(int DataCol, int DataRow, TtsDrawOption V) {
        SetPicture(DataCol, DataRow, 3, V);
    }
    TtsDrawOption GetCellKeepAspectRatio(int DataCol, int DataRow) const {
        return Picture(DataCol, DataRow, 4);
    }
    void SetCellKeepAspectRatio(int DataCol, int DataRow, TtsDrawOption V) {
        SetPicture(DataCol, DataRow, 4, V);
    }

    // Any cell property by number (sub-index for the picture options): the cell's value,
    // or the default when it has none.
    TtsVariant GetCellProperty(int DataCol, int DataRow, int Id, int Sub = 0) const {
        return OpsGet(DataCol, DataRow, Id, Sub);
    }
    // Whether the value changed.
    bool SetCellProperty(int DataCol, int DataRow, int Id, const TtsVariant& V, int Sub = 0) {
        return OpsSet(DataCol, DataRow, Id, V, Sub);
    }

private:
    const TtsGridModel& OpsModel() const { return static_cast<const Owner*>(this)->CellModel(); }
    TtsGridModel& OpsModel() { return static_cast<Owner*>(this)->CellModel(); }
    TtsVariant OpsGet(int DataCol, int DataRow, int Id, int Sub = 0) const;
    bool OpsSet(int DataCol, int DataRow, int Id, const TtsVariant& V, int Sub = 0);
    std::uint8_t Byte(int DataCol, int DataRow, int Id) const {
        return static_cast<std::uint8_t>(VarAsInteger(OpsGet(DataCol, DataRow, Id)));
    }
    TtsDrawOption Picture(int DataCol, int DataRow, int Sub) const {
        return static_cast<TtsDrawOption>(VarAsInteger(OpsGet(DataCol, DataRow, prPictureOption, Sub)));
    }
    void SetPicture(int DataCol, int DataRow, int Sub, TtsDrawOption V) {
        OpsSet(DataCol, DataRow, prPictureOption, TtsVariant(std::uint8_t{V}), Sub);
    }
};

} // namespace vel
