#include "TSCurrentCell.h"

#include "StdCtrls.h"
#include "TSMbcs.h"

namespace vel {

bool TtsCurrentCell::Valid() const {
    return Grid_ && Grid_->Link && Grid_->Cols() > 0 && Grid_->Rows() > 0 &&
           Grid_->Link->HasCurrentCell();
}

TtsGridLink* TtsCurrentCell::Editor() const {
    return Grid_ && Grid_->Link && Grid_->Link->HasEditor() ? Grid_->Link : nullptr;
}

int TtsCurrentCell::DataCol() const {
    return Valid() ? Grid_->DataColAt(Grid_->Link->CurrentDisplayCol()) : -1;
}

int TtsCurrentCell::DataRow() const {
    return Valid() ? Grid_->DataRowAt(Grid_->Link->CurrentDisplayRow()) : -1;
}

TtsVariant TtsCurrentCell::Value() {
    if (!Valid()) return {};
    Reload();
    return Value_;
}

bool TtsCurrentCell::SetValue(const TtsVariant& value, bool select, bool repaint) {
    if (!Valid() || !Grid_->Link->CanEdit()) return false;
    TtsGridLink& l = *Grid_->Link;
    const int display = l.CurrentDisplayCol();
    if (!l.CheckValue(display, value) || !l.StartEdit() || !l.ColumnEdit(display)) return false;
    const int col = DataCol();
    const int row = DataRow();
    if (select) l.EndPendingEdit();
    ClearValue();
    l.MarkRowChanged();
    l.StoreCellValue(col, row, value);
    l.LoadControl(value, select);
    if (repaint) l.RepaintCurrentCell();
    return true;
}

void TtsCurrentCell::Load(const TtsVariant& value, bool ownsObject) {
    ClearValue();
    LoadedCol_ = DataCol();
    LoadedRow_ = DataRow();
    Stretch_ = Shrink_ = Center_ = true;
    KeepAspect_ = false;
    PictureColor = clNoneTs;
    Value_ = value;
    OwnsObject_ = ownsObject;
}

void TtsCurrentCell::Reload() {
    if (!Valid()) return;
    const int col = DataCol();
    const int row = DataRow();
    if (LoadedCol_ == col && LoadedRow_ == row) return;
    if (col < 1 || col > Grid_->Cols() || row < 1 || row > Grid_->Rows()) return;
    TtsGridLink& l = *Grid_->Link;
    const TtsVariant v = l.FetchCellValue(col, row);
    const bool was = l.IsLoadingValue();
    l.SetLoadingValue(true);
    struct Restore {
        TtsGridLink& L;
        bool Was;
        ~Restore() { L.SetLoadingValue(Was); }
    } restore{l, was};
    Load(v, false);
    l.LoadControl(v, false);
}

void TtsCurrentCell::ClearValue() {
    LoadedCol_ = LoadedRow_ = -1;
    if (OwnsObject_) {
        if (auto* o = std::get_if<fw::TObject*>(&Value_)) delete *o;
        OwnsObject_ = false;
    }
    Value_ = TtsVariant();
}

int TtsCurrentCell::SelStart() {
    Reload();
    TtsGridLink* s = Editor();
    return s ? s->EditorSelStart() : 0;
}

int TtsCurrentCell::SelLength() {
    Reload();
    TtsGridLink* s = Editor();
    return s ? s->EditorSelLength() : 0;
}

void TtsCurrentCell::SetSelStart(int v) {
    if (TtsGridLink* s = Editor()) s->SetEditorSelStart(v);
}

void TtsCurrentCell::SetSelLength(int v) {
    if (TtsGridLink* s = Editor()) s->SetEditorSelLength(v);
}

bool TtsCurrentCell::CopyToClipboard() {
    TtsGridLink* s = Editor();
    if (!s || !Valid() || !Grid_->Link->HasWindow() || ControlType() != ctText) return false;
    Reload();
    s->EditorCopy();
    return true;
}

bool TtsCurrentCell::RunEditorCommand(void (TtsGridLink::*command)(bool), bool flag) {
    TtsGridLink* s = Editor();
    if (!s || !Valid() || !Grid_->Link->CanEdit() || ControlType() != ctText) return false;
    (s->*command)(flag);
    if (!Grid_->Link->IsLoadingValue()) Grid_->Link->RepaintCurrentCell();
    return true;
}

bool TtsCurrentCell::CutToClipboard(bool flag) {
    return RunEditorCommand(&TtsGridLink::EditorCut, flag);
}

bool TtsCurrentCell::DeleteSelection() {
    if (!Valid() || !Grid_->Link->StartEdit()) return false;
    return CutToClipboard(false);
}

bool TtsCurrentCell::PasteFromClipboard(bool flag) {
    return RunEditorCommand(&TtsGridLink::EditorPaste, flag);
}

bool TtsCurrentCell::Paste() {
    if (!Valid() || !Grid_->Link->HasWindow() || !Grid_->Link->CanEdit() || ControlType() != ctText)
        return false;
    const std::string text = fw::ClipboardText();
    if (text.empty() || !PasteFits(text) || !Grid_->Link->StartEdit()) return false;
    return PasteFromClipboard(true);
}

bool TtsCurrentCell::PasteFits(const std::string& text) {
    const TtsCol* col = Valid() ? Grid_->Col(DataCol()) : nullptr;
    if (!col || col->MaxLength() == 0) return true;
    const int present = CharCount(VarToText(Value()));
    return col->MaxLength() >= present - SelLength() + CharCount(text);
}

bool TtsCurrentCell::IsEmpty() {
    return VarIsEmpty(Value());
}

bool TtsCurrentCell::IsWholeTextSelected() {
    if (ControlType() != ctText) return true;
    return SelStart() == 0 && SelLength() == static_cast<int>(VarToText(Value()).size());
}

TtsControlType TtsCurrentCell::ControlType() const {
    return Valid() ? Grid_->EffectiveControlType(DataCol(), DataRow()) : ctNone;
}

int TtsCurrentCell::TextExtent1() const {
    int a = 0, b = 0;
    if (Valid()) Grid_->Link->MeasureCellText(DataCol(), DataRow(), a, b);
    return a;
}

int TtsCurrentCell::TextExtent2() const {
    int a = 0, b = 0;
    if (Valid()) Grid_->Link->MeasureCellText(DataCol(), DataRow(), a, b);
    return b;
}

void TtsCurrentCell::Refresh() {
    if (Valid()) Grid_->Link->RepaintCurrentCell();
}

bool TtsCurrentCell::MoveToCol(int displayCol) {
    if (!Valid()) return false;
    TtsGridLink& l = *Grid_->Link;
    if (!l.IsEditInsertMode() || l.MoveBlocked() || l.IsInsertRow(l.CurrentDisplayRow()))
        return false;
    if (!Grid_->CheckRange(1, displayCol, Grid_->Cols(), 1) || !l.CanLeaveCell()) return false;
    l.MoveCurrentCol(displayCol);
    return true;
}

bool TtsCurrentCell::Fallback(int sub, bool flag) const {
    if (!Valid()) return flag;
    switch (Grid_->EffectivePictureOption(sub, DataCol(), DataRow())) {
    case dopOn:
        return true;
    case dopOff:
        return false;
    default:
        return flag;
    }
}

bool TtsCurrentCell::StretchPicture() const {
    return Fallback(1, Stretch_);
}
bool TtsCurrentCell::ShrinkPicture() const {
    return Fallback(2, Shrink_);
}
bool TtsCurrentCell::CenterPicture() const {
    return Fallback(3, Center_);
}
bool TtsCurrentCell::KeepAspectRatio() const {
    return Fallback(4, KeepAspect_);
}

} // namespace vel
