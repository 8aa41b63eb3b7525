// The grid engine's combos and drop-downs: the combo factories, the active
// combo of the current cell, the drop-down form with a combo's list or the
// month view, the cell's drop-down button, the keys of an open drop-down, and
// the cell property operations of fonts, combos and date-time definitions.
#include "TSCombo.h"
#include "TSMonthView.h"

#include "Input.h"
#include "ScopeExit.h"

#include <algorithm>

namespace vel {

namespace {
constexpr int ButtonWidth = 15;
} // namespace

void TtsGridDateTimeLink::DateTimeDefFreed() {
    FGrid->EndDateTimeDropDown();
}

// --- Factories and the active combo --------------------------------------------------------------

TtsComboPtr TtsBaseGrid::CreateCombo() {
    if (FDropDownList) return nullptr;
    return TtsComboPtr(new TtsCombo(this));
}

std::unique_ptr<TtsComboGrid> TtsBaseGrid::CreateComboGrid(TtsCombo* Combo) {
    return std::make_unique<TtsComboGrid>(nullptr, Combo, this);
}

TtsCombo* TtsBaseGrid::EnsureGridCombo() {
    if (!FGridCombo && !FDropDownList) {
        FGridCombo = CreateCombo();
        FModel->GridCombo = FGridCombo.get();
    }
    return FGridCombo.get();
}

TtsCombo* TtsBaseGrid::CellCombo(int DataCol, int DataRow) {
    if (FDropDownList) return nullptr;
    TtsCombo* C = FModel->EffectiveCombo(DataCol, DataRow);
    return C ? C : EnsureGridCombo();
}

void TtsBaseGrid::ForgetActiveCombo(TtsCombo* Combo) {
    if (!Combo || Combo != FActiveCombo) return;
    if (IsComboDropped()) CloseDropDown(true);
    FActiveCombo = nullptr;
}

void TtsBaseGrid::ReleasePendingCombo(bool Flag) {
    if (IsComboDropped()) CloseDropDown(true);
    FActiveCombo = nullptr;
    if (Flag && FGridCombo) FGridCombo->Grid()->MarkRow(0);
}

void TtsBaseGrid::ReleaseCombo(TtsCombo* Combo, bool Flag) {
    if (!FDropDownList && Combo && Combo == FActiveCombo) ReleasePendingCombo(Flag);
}

bool TtsBaseGrid::ParkCombo(TtsCombo* Combo) {
    if (InState(fw::TComponentStateItem::Destroying) || !Combo) return false;
    const TtsComboGrid* List = Combo->Grid();
    if (!FModel->Busy() && !(List && List->Model().Busy())) return false;
    // It may be the open one: nothing refers to it once parked.
    ForgetActiveCombo(Combo);
    FModel->ParkObject(std::unique_ptr<fw::TObject>(Combo));
    return true;
}

void TtsBaseGrid::ComboStyleChanged(TtsCombo* Combo) {
    if (HasCurrentCell() && Combo && Combo == FModel->EffectiveCombo(CurrentDataCol(),
                                                                     CurrentDataRow()))
        UpdateCellControl(false);
}

// --- Date-time definitions ---------------------------------------------------------------------

void TtsBaseGrid::EndDateTimeDropDown() {
    if (IsDateTimeDropped()) CloseDropDown(true);
    FDateTimeLink.SetDateTimeDef(nullptr);
}

void TtsBaseGrid::ReleaseDateTimeDef(fw::TObject* Definition) {
    if (Definition && FDateTimeLink.DateTimeDef() == Definition) EndDateTimeDropDown();
}

void TtsBaseGrid::UseDateTimeDef(fw::TObject* Definition, bool Use) {
    auto* C = dynamic_cast<fw::TComponent*>(Definition);
    if (!C) return;
    auto It = std::find_if(FDateTimeUses.begin(), FDateTimeUses.end(),
                           [C](const auto& U) { return U.first == C; });
    if (Use) {
        if (It != FDateTimeUses.end()) {
            ++It->second;
            return;
        }
        FDateTimeUses.emplace_back(C, 1);
        AddFreeNotification(C);
        return;
    }
    if (It == FDateTimeUses.end() || --It->second > 0) return;
    FDateTimeUses.erase(It);
    RemoveFreeNotification(C);
}

// --- The drop-down -----------------------------------------------------------------------------

bool TtsBaseGrid::HasDropDownButton() const {
    if (FDropDownList || !HasCurrentCell()) return false;
    const TtsButtonType B = FModel->EffectiveButtonType(CurrentDataCol(), CurrentDataRow());
    return B == btCombo || B == btDateTimeDropDown || B == btDateTimePopup;
}

fw::TRect TtsBaseGrid::CellButtonRect() const {
    if (!HasDropDownButton() && !HasSpinButton()) return {};
    fw::TRect R = const_cast<TtsBaseGrid*>(this)->CellRect(Current().X, Current().Y);
    if (FGridLines == glVertLines || FGridLines == glBoth) R.Right -= 1;
    if (FGridLines == glHorzLines || FGridLines == glBoth) R.Bottom -= 1;
    if (R.Right <= R.Left || R.Bottom <= R.Top) return {};
    const int W = std::min(ButtonWidth, (R.Right - R.Left) / 2);
    return fw::TRect{R.Right - W, R.Top, R.Right, R.Bottom};
}

void TtsBaseGrid::DrawCellButton(fw::TCanvas& C, const fw::TRect& CellR) {
    fw::TRect B = CellButtonRect();
    if (B.IsEmpty() || B.Left < CellR.Left) return;
    if (HasSpinButton()) {
        DrawSpinButton(C, B);
        return;
    }
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(fw::clBtnFace);
    C.FillRect(B);
    fw::TRect Edge = B;
    C.DrawEdge(Edge, IsDropDownOpen() ? fw::EDGE_SUNKEN : fw::EDGE_RAISED, fw::BF_RECT);
    // A small arrow pointing down, one pixel lower while pressed.
    const int Shift = IsDropDownOpen() ? 1 : 0;
    const int X = (B.Left + B.Right) / 2 + Shift, Y = (B.Top + B.Bottom) / 2 - 1 + Shift;
    C.Brush().SetColor(fw::clBtnText);
    C.Pen().SetColor(fw::clBtnText);
    C.Polygon({fw::TPoint{X - 3, Y - 1}, fw::TPoint{X + 3, Y - 1}, fw::TPoint{X, Y + 2}});
}

TtsDropDownForm& TtsBaseGrid::EnsureDropDownForm() {
    if (!FDropDownForm) {
        FDropDownForm = fw::Create<TtsDropDownForm>(this);
        FDropDownForm->SetColor(fw::clWindowFrame);
    }
    return *FDropDownForm;
}

void TtsBaseGrid::ShowDropDown(fw::TWinControl& Content, int Width, int Height) {
    TtsDropDownForm& F = EnsureDropDownForm();
    for (int I = F.ControlCount() - 1; I >= 0; --I)
        if (F.Controls(I) != &Content) F.Controls(I)->Hide();
    // A line of the frame colour around the content.
    Content.SetParent(&F);
    Content.SetBounds(1, 1, Width, Height);
    Content.Show();
    Width += 2;
    Height += 2;
    // Under the cell; above it when the screen ends below.
    const fw::TRect Cell = CellRect(Current().X, Current().Y);
    fw::TPoint At = ClientToScreen({Cell.Left, Cell.Bottom});
    if (At.Y + Height > fw::ScreenHeight()) At.Y = ClientToScreen({Cell.Left, Cell.Top}).Y - Height;
    At.X = std::max(0, std::min(At.X, fw::ScreenWidth() - Width));
    F.SetBounds(At.X, At.Y, Width, Height);
    F.Show();
    TtsDropDownRegistry::Add(this);
    HookControlKeys(true);
    InvalidateDisplayCell(Current().X, Current().Y);
}

bool TtsBaseGrid::DropDown() {
    if (!HasDropDownButton()) return false;
    TtsBusyScope Busy(*FModel); // its handlers may change or free the grid

    const int DC = CurrentDataCol(), DR = CurrentDataRow();
    if (FModel->EffectiveButtonType(DC, DR) != btCombo) return DropDownDateTime();
    TtsCombo* C = CellCombo(DC, DR);
    return C && DropDownCombo(*C);
}

bool TtsBaseGrid::DropDownCombo(TtsCombo& Combo) {
    CloseDropDown(true);
    TtsComboGrid* List = Combo.Grid();
    FActiveCombo = &Combo;
    List->OnPick = [this](int Row) { ComboListPicked(Row); };
    // The list shows the row of the cell's present value.
    const TtsVariant Value = FActive && FActive->IsTextControl()
                                 ? FActive->GetValue()
                                 : CellValue(CurrentDataCol(), CurrentDataRow());
    const fw::TRect Cell = CellRect(Current().X, Current().Y);
    const fw::TSize E = List->DropDownExtent(Cell.Right - Cell.Left - 2);
    FDropDown = TDropDownKind::Combo;
    ShowDropDown(*List, E.cx, E.cy);
    List->MarkRow(std::max(0, List->FindValue(Value)));
    return true;
}

bool TtsBaseGrid::DropDownDateTime() {
    CloseDropDown(true);
    TtsDropDownForm& F = EnsureDropDownForm();
    if (!FMonthView) {
        FMonthView = fw::Create<TtsMonthView>(&F);
        FMonthView->OnPick = [this](int Days) { DatePicked(Days); };
    }
    const int DC = CurrentDataCol(), DR = CurrentDataRow();
    const TtsVariant Value = FActive && FActive->IsTextControl() ? FActive->GetValue()
                                                                 : CellValue(DC, DR);
    FMonthView->SetDate(DayCountOf(VarToDateTimeLoose(Value)));
    FDateTimeLink.SetDateTimeDef(
        dynamic_cast<TtsDateTimeDefComponent*>(FModel->EffectiveDateTimeDef(DC, DR)));
    const fw::TSize E = FMonthView->PreferredSize();
    FDropDown = TDropDownKind::DateTime;
    ShowDropDown(*FMonthView, E.cx, E.cy);
    return true;
}

void TtsBaseGrid::CloseDropDown(bool) {
    if (FDropDown == TDropDownKind::None) return;
    FDropDown = TDropDownKind::None;
    TtsDropDownRegistry::Remove(this);
    HookControlKeys(false);
    if (FDropDownForm) FDropDownForm->Hide();
    FDateTimeLink.SetDateTimeDef(nullptr);
    if (HasCurrentCell()) InvalidateDisplayCell(Current().X, Current().Y);
}

void TtsBaseGrid::Withdraw() {
    CloseDropDown(true);
    TCustomGrid_ts::Withdraw();
}

void TtsBaseGrid::SetDropDownColWidth(int Width) {
    if (FDropDownList) SetDefaultColWidth(Width + 10);
}

void TtsBaseGrid::SetDropDownSize(int Cols, int Rows) {
    if (!IsComboDropped() || !FActiveCombo || !FDropDownForm) return;
    TtsComboGrid* List = FActiveCombo->Grid();
    const fw::TRect Cell = CellRect(Current().X, Current().Y);
    const fw::TSize E = List->DropDownExtent(Cell.Right - Cell.Left - 2, Cols, Rows);
    List->SetBounds(1, 1, E.cx, E.cy);
    FDropDownForm->SetBounds(FDropDownForm->Left(), FDropDownForm->Top(), E.cx + 2, E.cy + 2);
}

bool TtsBaseGrid::IsDropDownWindow(fw::HWND Wnd) {
    return Wnd && FDropDownForm && FDropDownForm->HandleAllocated() &&
           ControlOwnsWindow(Wnd, FDropDownForm);
}

fw::HWND TtsBaseGrid::ComboListWindow() {
    if (!FActiveCombo || !FActiveCombo->Grid()->HandleAllocated()) return nullptr;
    return FActiveCombo->Grid()->Handle();
}

// --- Picks and keys ------------------------------------------------------------------------------

void TtsBaseGrid::ComboListPicked(int ListDataRow) {
    if (!IsComboDropped() || !FActiveCombo) return;
    const TtsVariant Value = FActiveCombo->Grid()->ValueOfRow(ListDataRow);
    CloseDropDown(false);
    StorePickedValue(Value);
}

void TtsBaseGrid::DatePicked(double Date) {
    if (!IsDateTimeDropped()) return;
    CloseDropDown(false);
    StorePickedValue(TtsVariant(DateToText(Date)));
}

bool TtsBaseGrid::StorePickedValue(const TtsVariant& Value) {
    if (!HasCurrentCell()) return false;
    TtsBusyScope Busy(*FModel); // its handlers may change or free the grid

    fw::TScopeExit Done([this, Was = FPicking] { FPicking = Was; });
    FPicking = true;
    // A pick is an edit: the cell must take edits, and the start, value and end
    // checks may refuse it.
    if (!CurrentCellMayChange() || !StartEdit()) return false;
    const int DC = CurrentDataCol(), DR = CurrentDataRow();
    if (!CheckValue(Current().X, Value)) return false;
    bool Cancel = false;
    Fire(OnEndCellEdit, this, DC, DR, Cancel);
    if (Cancel || DC > Cols() || DR > Rows()) return false; // refused, or the cell went
    FCellModified = false;
    FEditStarted = false;
    MarkRowChanged();
    StoreCellValue(DC, DR, Value);
    return true;
}

bool TtsBaseGrid::StepPicture(int Step) {
    if (!HasCurrentCell()) return false;
    const int DC = CurrentDataCol(), DR = CurrentDataRow();
    TtsImageListComponent* Images = ImageList();
    if (EffectiveControlType(DC, DR) != ctPicture || !Images || Images->Count() == 0) return false;
    TtsVariant Key = CellValue(DC, DR);
    if (std::holds_alternative<fw::TObject*>(Key)) return false; // a picture of its own
    const bool ByName = std::holds_alternative<std::string>(Key);
    if (VarIsEmpty(Key) || VarIsNull(Key)) Key = std::string();
    const int Index = VarAsInteger(Step < 0 ? Images->PrevImage(Key) : Images->NextImage(Key));
    if (Index < 0 || Index >= Images->Count()) return false;
    // A cell that names its image goes on naming it, set and all.
    TtsVariant Value = std::int32_t(Index);
    if (ByName) {
        const TtsImageItem* Image = Images->GetImage(Value);
        Value = Image->SetName().empty() ? Image->Name() : Image->SetName() + "." + Image->Name();
    }
    return StorePickedValue(Value);
}

bool TtsBaseGrid::DropDownKey(std::uint16_t Key, fw::TShiftState Shift) {
    const bool Alt = Shift & fw::ssAlt;
    if (Key == fw::VK_F4 || Key == fw::VK_ESCAPE ||
        (Alt && (Key == fw::VK_UP || Key == fw::VK_DOWN))) {
        CloseDropDown(true);
        return true;
    }
    if (Key == fw::VK_TAB) {
        CloseDropDown(true);
        return false;
    }
    if (IsDateTimeDropped()) {
        if (Key == fw::VK_RETURN) {
            DatePicked(FMonthView->Date());
            return true;
        }
        return FMonthView->KeyStep(Key);
    }
    TtsComboGrid* List = FActiveCombo ? FActiveCombo->Grid() : nullptr;
    if (!List) return false;
    if (Key == fw::VK_RETURN) {
        if (List->MarkedRow() >= 1)
            ComboListPicked(List->MarkedRow());
        else
            CloseDropDown(true);
        return true;
    }
    const int Count = List->Rows();
    const int At = List->MarkedRow() >= 1 ? List->GetDisplayRow(List->MarkedRow()) : 0;
    int To = At;
    switch (Key) {
    case fw::VK_UP:
        To = At - 1;
        break;
    case fw::VK_DOWN:
        To = At + 1;
        break;
    case fw::VK_PRIOR:
        To = At - List->DropDownRows();
        break;
    case fw::VK_NEXT:
        To = At + List->DropDownRows();
        break;
    case fw::VK_HOME:
        To = 1;
        break;
    case fw::VK_END:
        To = Count;
        break;
    default:
        return false;
    }
    if (Count > 0) List->MarkRow(List->DataRowAt(std::clamp(To, 1, Count)));
    return true;
}

void TtsBaseGrid::HookControlKeys(bool On) {
    // The open drop-down takes its keys before the cell's control sees them.
    if (FHookedControl) {
        FHookedControl->SetWindowProc({});
        FHookedControl = nullptr;
    }
    if (!On || !FActive || FActive == FDefaultStrategy.get()) return;
    fw::TWinControl* W = FActive->Control();
    FHookedControl = W;
    W->SetWindowProc([this, W](fw::TMessage& M) {
        if (M.Msg == fw::WM_KEYDOWN && IsDropDownOpen() &&
            DropDownKey(static_cast<std::uint16_t>(M.WParam), fw::KeyboardShiftState())) {
            M.Result = 0;
            return;
        }
        W->WndProc(M);
    });
}

// --- Cell property operations ---------------------------------------------------------------------

const fw::TFont* TtsBaseGrid::GetCellFont(int DataCol, int DataRow) const {
    return FontOfVariant(FModel->CellProps().GetProperty(DataCol, DataRow, prFont, 0));
}

void TtsBaseGrid::SetCellFont(int DataCol, int DataRow, const fw::TFont* Value) {
    Cell(DataCol, DataRow).SetFont(Value);
}

bool TtsBaseGrid::GetCellParentFont(int DataCol, int DataRow) const {
    return VarAsInteger(FModel->CellProps().GetProperty(DataCol, DataRow, prParentFont, 0)) != 0;
}

void TtsBaseGrid::SetCellParentFont(int DataCol, int DataRow, bool Value) {
    Cell(DataCol, DataRow).SetParentFont(Value);
}

TtsCombo* TtsBaseGrid::GetCellCombo(int DataCol, int DataRow) const {
    return ComboOfVariant(FModel->CellProps().GetProperty(DataCol, DataRow, prCombo, 0));
}

void TtsBaseGrid::SetCellCombo(int DataCol, int DataRow, const TtsCombo* Value) {
    Cell(DataCol, DataRow).SetCombo(Value);
}

bool TtsBaseGrid::GetCellParentCombo(int DataCol, int DataRow) const {
    return VarAsInteger(FModel->CellProps().GetProperty(DataCol, DataRow, prParentCombo, 0)) != 0;
}

void TtsBaseGrid::SetCellParentCombo(int DataCol, int DataRow, bool Value) {
    Cell(DataCol, DataRow).SetParentCombo(Value);
}

TtsDropDownStyle TtsBaseGrid::GetCellDropDownStyle(int DataCol, int DataRow) const {
    const TtsVariant V = FModel->CellProps().GetProperty(DataCol, DataRow, prDropDownStyle, 0);
    return VarAsInteger(V) == 1 ? ddDropDownList : ddDropDown;
}

void TtsBaseGrid::SetCellDropDownStyle(int DataCol, int DataRow, TtsDropDownStyle Value) {
    Cell(DataCol, DataRow).SetDropDownStyle(Value);
}

fw::TObject* TtsBaseGrid::GetCellDateTimeDef(int DataCol, int DataRow) const {
    const TtsVariant V = FModel->CellProps().GetProperty(DataCol, DataRow, prDateTimeDef, 0);
    auto* O = std::get_if<fw::TObject*>(&V);
    return O ? *O : nullptr;
}

void TtsBaseGrid::SetCellDateTimeDef(int DataCol, int DataRow, fw::TObject* Value) {
    Cell(DataCol, DataRow).SetDateTimeDef(Value);
}

} // namespace vel
