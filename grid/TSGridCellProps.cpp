// The grid's cell property operations: each goes through a cell accessor to
// the cell property set, which keeps only the values that differ from their
// defaults and repaints the cell.
#include "TSGrid.h"

namespace vel {

namespace {

TtsCell CellOf(const TtsGridModel& Model, int DataCol, int DataRow) {
    return TtsCell(const_cast<TtsGridModel*>(&Model), DataCol, DataRow);
}

} // namespace

fw::TColor TtsBaseGrid::GetCellColor(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).Color();
}
void TtsBaseGrid::SetCellColor(int DataCol, int DataRow, fw::TColor Value) {
    Cell(DataCol, DataRow).SetColor(Value);
}

TtsControlType TtsBaseGrid::GetCellControlType(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).ControlType();
}
void TtsBaseGrid::SetCellControlType(int DataCol, int DataRow, TtsControlType Value) {
    Cell(DataCol, DataRow).SetControlType(Value);
}

TtsSpinOptions TtsBaseGrid::GetCellSpinOptions(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).SpinOptions();
}
void TtsBaseGrid::SetCellSpinOptions(int DataCol, int DataRow, TtsSpinOptions Value) {
    Cell(DataCol, DataRow).SetSpinOptions(Value);
}

double TtsBaseGrid::GetCellSpinIncrement(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).SpinIncrement();
}
void TtsBaseGrid::SetCellSpinIncrement(int DataCol, int DataRow, double Value) {
    Cell(DataCol, DataRow).SetSpinIncrement(Value);
}

std::uint8_t TtsBaseGrid::GetCellAlignment(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).Alignment();
}
void TtsBaseGrid::SetCellAlignment(int DataCol, int DataRow, std::uint8_t Value) {
    Cell(DataCol, DataRow).SetAlignment(Value);
}

bool TtsBaseGrid::GetCellAlignFlag(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).AlignFlag();
}
void TtsBaseGrid::SetCellAlignFlag(int DataCol, int DataRow, bool Value) {
    Cell(DataCol, DataRow).SetAlignFlag(Value);
}

TtsHorzAlignment TtsBaseGrid::GetCellHorzAlignment(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).HorzAlignment();
}
void TtsBaseGrid::SetCellHorzAlignment(int DataCol, int DataRow, TtsHorzAlignment Value) {
    Cell(DataCol, DataRow).SetHorzAlignment(Value);
}

TtsVertAlignment TtsBaseGrid::GetCellVertAlignment(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).VertAlignment();
}
void TtsBaseGrid::SetCellVertAlignment(int DataCol, int DataRow, TtsVertAlignment Value) {
    Cell(DataCol, DataRow).SetVertAlignment(Value);
}

bool TtsBaseGrid::GetCell3D(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).Is3D();
}
void TtsBaseGrid::SetCell3D(int DataCol, int DataRow, bool Value) {
    Cell(DataCol, DataRow).SetIs3D(Value);
}

TtsWordWrap TtsBaseGrid::GetCellWordWrap(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).WordWrap();
}
void TtsBaseGrid::SetCellWordWrap(int DataCol, int DataRow, TtsWordWrap Value) {
    Cell(DataCol, DataRow).SetWordWrap(Value);
}

TtsButtonType TtsBaseGrid::GetCellButtonType(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).ButtonType();
}
void TtsBaseGrid::SetCellButtonType(int DataCol, int DataRow, TtsButtonType Value) {
    Cell(DataCol, DataRow).SetButtonType(Value);
}

TtsReadOnly TtsBaseGrid::GetCellReadOnly(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).ReadOnly();
}
void TtsBaseGrid::SetCellReadOnly(int DataCol, int DataRow, TtsReadOnly Value) {
    Cell(DataCol, DataRow).SetReadOnly(Value);
}

std::string TtsBaseGrid::GetCellMaskName(int DataCol, int DataRow) const {
    return CellOf(*FModel, DataCol, DataRow).MaskName();
}
void TtsBaseGrid::SetCellMaskName(int DataCol, int DataRow, const std::string& Value) {
    Cell(DataCol, DataRow).SetMaskName(Value);
}

TtsDrawOption TtsBaseGrid::GetCellPictureOption(int DataCol, int DataRow, int Sub) const {
    return CellOf(*FModel, DataCol, DataRow).PictureOption(Sub);
}
void TtsBaseGrid::SetCellPictureOption(int DataCol, int DataRow, int Sub, TtsDrawOption Value) {
    Cell(DataCol, DataRow).SetPictureOption(Sub, Value);
}

} // namespace vel
