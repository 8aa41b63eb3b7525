#include "TSCurrentCell.h"

#include "ScopeExit.h"
#include "StdCtrls.h"
#include "TSMbcs.h"

#include <algorithm>

namespace vel {

bool TtsCurrentCell::Valid() const {
    return FGrid && FGrid->Link && FGrid->Cols() > 0 && FGrid->Rows() > 0 &&
           FGrid->Link->HasCurrentCell();
}

TtsGridLink* TtsCurrentCell::Editor() const {
    return FGrid && FGrid->Link && FGrid->Link->HasEditor() ? FGrid->Link : nullptr;
}

int TtsCurrentCell::DataCol() const {
    return Valid() ? FGrid->DataColAt(FGrid->Link->CurrentDisplayCol()) : -1;
}

int TtsCurrentCell::DataRow() const {
    return Valid() ? FGrid->DataRowAt(FGrid->Link->CurrentDisplayRow()) : -1;
}

TtsVariant TtsCurrentCell::Value() {
    TtsBusyScope busy(FGrid);
    if (!Valid()) return {};
    Reload();
    return FValue;
}

bool TtsCurrentCell::SetValue(const TtsVariant& value, bool select, bool repaint) {
    TtsBusyScope busy(FGrid); // the checks' handlers may change or free the grid
    if (!Valid() || !FGrid->Link->CanEdit()) return false;
    TtsGridLink& l = *FGrid->Link;
    const int display = l.CurrentDisplayCol();
    const int col = DataCol();
    const int row = DataRow();
    // A check whose handler moved the cell, or took it away, drops the value.
    auto kept = [&] { return DataCol() == col && DataRow() == row; };
    if (!l.CheckValue(display, value) || !l.StartEdit() || !kept() ||
        !l.ColumnEdit(l.CurrentDisplayCol()))
        return false;
    if (select) l.EndPendingEdit();
    ClearValue();
    l.MarkRowChanged();
    l.StoreCellValue(col, row, value);
    if (!kept()) return true;
    l.LoadControl(value, select);
    if (repaint) l.RepaintCurrentCell();
    return true;
}

void TtsCurrentCell::Load(const TtsVariant& value, bool ownsObject) {
    ClearValue();
    FLoadedCol = DataCol();
    FLoadedRow = DataRow();
    FStretch = FShrink = FCenter = true;
    FKeepAspect = false;
    PictureColor = clNoneTs;
    FValue = value;
    FOwnsObject = ownsObject;
}

void TtsCurrentCell::Reload() {
    TtsBusyScope busy(FGrid);
    if (!Valid()) return;
    const int col = DataCol();
    const int row = DataRow();
    if (FLoadedCol == col && FLoadedRow == row) return;
    if (col < 1 || col > FGrid->Cols() || row < 1 || row > FGrid->Rows()) return;
    TtsGridLink& l = *FGrid->Link;
    const TtsVariant v = l.FetchCellValue(col, row);
    const bool was = l.IsLoadingValue();
    l.SetLoadingValue(true);
    fw::TScopeExit restore([&l, was] { l.SetLoadingValue(was); });
    Load(v, false);
    l.LoadControl(v, false);
}

void TtsCurrentCell::ClearValue() {
    FLoadedCol = FLoadedRow = -1;
    if (FOwnsObject) {
        if (auto* o = std::get_if<fw::TObject*>(&FValue)) delete *o;
        FOwnsObject = false;
    }
    FValue = TtsVariant();
}

int TtsCurrentCell::SelStart() {
    TtsBusyScope busy(FGrid);
    Reload();
    TtsGridLink* s = Editor();
    return s ? s->EditorSelStart() : 0;
}

int TtsCurrentCell::SelLength() {
    TtsBusyScope busy(FGrid);
    Reload();
    TtsGridLink* s = Editor();
    return s ? s->EditorSelLength() : 0;
}

void TtsCurrentCell::SetSelStart(int v) {
    TtsBusyScope busy(FGrid);
    if (TtsGridLink* s = Editor()) s->SetEditorSelStart(v);
}

void TtsCurrentCell::SetSelLength(int v) {
    TtsBusyScope busy(FGrid);
    if (TtsGridLink* s = Editor()) s->SetEditorSelLength(v);
}

bool TtsCurrentCell::CopyToClipboard() {
    TtsBusyScope busy(FGrid);
    TtsGridLink* s = Editor();
    if (!s || !Valid() || !FGrid->Link->HasWindow() || ControlType() != ctText) return false;
    Reload();
    s->EditorCopy();
    return true;
}

bool TtsCurrentCell::RunEditorCommand(const std::function<void(TtsGridLink&, bool)>& command,
                                      bool flag) {
    TtsBusyScope busy(FGrid); // the editor's handlers may change or free the grid
    TtsGridLink* s = Editor();
    if (!s || !Valid() || !FGrid->Link->CanEdit() || ControlType() != ctText) return false;
    command(*s, flag);
    if (!FGrid->Link->IsLoadingValue()) FGrid->Link->RepaintCurrentCell();
    return true;
}

bool TtsCurrentCell::CutToClipboard(bool flag) {
    return RunEditorCommand([](TtsGridLink& l, bool f) { l.EditorCut(f); }, flag);
}

bool TtsCurrentCell::DeleteSelection() {
    TtsBusyScope busy(FGrid);
    if (!Valid() || !FGrid->Link->StartEdit()) return false;
    return CutToClipboard(false);
}

bool TtsCurrentCell::PasteFromClipboard(bool flag) {
    return RunEditorCommand([](TtsGridLink& l, bool f) { l.EditorPaste(f); }, flag);
}

bool TtsCurrentCell::Paste() {
    TtsBusyScope busy(FGrid);
    if (!Valid() || !FGrid->Link->HasWindow() || !FGrid->Link->CanEdit() || ControlType() != ctText)
        return false;
    const std::string text = fw::ClipboardText();
    if (text.empty() || !PasteFits(text) || !FGrid->Link->StartEdit()) return false;
    // The editor may still refuse the text (its mask): then nothing was pasted.
    bool pasted = false;
    RunEditorCommand([&pasted](TtsGridLink& l, bool f) { pasted = l.EditorPaste(f); }, true);
    return pasted;
}

bool TtsCurrentCell::PasteFits(const std::string& text) {
    TtsBusyScope busy(FGrid);
    const TtsCol* col = Valid() ? FGrid->Col(DataCol()) : nullptr;
    if (!col || col->MaxLength() == 0) return true;
    // Counted as the editor counts what it would store; its text is the present one.
    Reload();
    const TtsGridLink* editor = Editor();
    const std::string present = editor ? editor->EditorText() : VarToText(Value());
    std::string_view selected;
    if (editor) {
        const auto start = static_cast<std::size_t>(
            std::clamp(editor->EditorSelStart(), 0, static_cast<int>(present.size())));
        selected = std::string_view(present).substr(
            start, static_cast<std::size_t>(std::max(0, editor->EditorSelLength())));
    }
    return col->MaxLength() >=
           EditCharCount(present) - EditCharCount(selected) + EditCharCount(text);
}

bool TtsCurrentCell::IsEmpty() {
    return VarIsEmpty(Value());
}

bool TtsCurrentCell::IsWholeTextSelected() {
    TtsBusyScope busy(FGrid);
    if (ControlType() != ctText) return true;
    return SelStart() == 0 && SelLength() == static_cast<int>(VarToText(Value()).size());
}

TtsControlType TtsCurrentCell::ControlType() const {
    return Valid() ? FGrid->EffectiveControlType(DataCol(), DataRow()) : ctNone;
}

int TtsCurrentCell::TextExtent1() const {
    TtsBusyScope busy(FGrid);
    int a = 0, b = 0;
    if (Valid()) FGrid->Link->MeasureCellText(DataCol(), DataRow(), a, b);
    return a;
}

int TtsCurrentCell::TextExtent2() const {
    TtsBusyScope busy(FGrid);
    int a = 0, b = 0;
    if (Valid()) FGrid->Link->MeasureCellText(DataCol(), DataRow(), a, b);
    return b;
}

void TtsCurrentCell::Refresh() {
    if (Valid()) FGrid->Link->RepaintCurrentCell();
}

bool TtsCurrentCell::MoveToCol(int displayCol) {
    TtsBusyScope busy(FGrid);
    if (!Valid()) return false;
    TtsGridLink& l = *FGrid->Link;
    if (!l.IsEditInsertMode() || l.MoveBlocked() || l.IsInsertRow(l.CurrentDisplayRow()))
        return false;
    if (!FGrid->CheckRange(1, displayCol, FGrid->Cols(), 1) || !l.CanLeaveCell()) return false;
    l.MoveCurrentCol(displayCol);
    return true;
}

bool TtsCurrentCell::Fallback(int sub, bool flag) const {
    if (!Valid()) return flag;
    switch (FGrid->EffectivePictureOption(sub, DataCol(), DataRow())) {
    case dopOn:
        return true;
    case dopOff:
        return false;
    default:
        return flag;
    }
}

bool TtsCurrentCell::StretchPicture() const {
    return Fallback(1, FStretch);
}
bool TtsCurrentCell::ShrinkPicture() const {
    return Fallback(2, FShrink);
}
bool TtsCurrentCell::CenterPicture() const {
    return Fallback(3, FCenter);
}
bool TtsCurrentCell::KeepAspectRatio() const {
    return Fallback(4, FKeepAspect);
}

} // namespace vel
