// The grid engine's spin buttons. A current cell whose button type is
// btVertSpin or btHorzSpin shows a button of two halves at its right (up and
// down, or left and right); a press on a half steps the number under the text
// editor's caret by the cell's SpinIncrement (up and right add, down and left
// take away), keeping its thousand separators, its decimals and, for a number
// written with leading zeros, its width. With spoAutoRepeat a held half steps
// again after a short wait and then at a steady pace; with spoAutoIncrement
// Up and Down step instead of moving the current cell. Typing into the cell
// needs spoKeyEdit (ConfigureCellControl decides it); the steps are the grid's
// own and need only a cell that may change.
#include "TSGrid.h"

#include "Input.h"
#include "TSCommon.h"
#include "Timers.h"

#include <algorithm>

namespace vel {

namespace {

constexpr std::uintptr_t SpinTimerId = 2; // the base grid's scroll timer is 1
constexpr std::uint32_t SpinRepeatDelay = 400;
constexpr std::uint32_t SpinRepeatPeriod = 80;

// A number written with leading zeros keeps its width when it steps.
bool HasLeadingZero(const std::string& Number) {
    const std::size_t At = !Number.empty() && (Number[0] == '-' || Number[0] == '+') ? 1 : 0;
    return Number.size() > At + 1 && Number[At] == '0' && Number[At + 1] != NumberFormat.Decimal;
}

} // namespace

bool TtsBaseGrid::HasSpinButton() const {
    if (FDropDownList || !HasCurrentCell()) return false;
    const TtsButtonType B = FModel->EffectiveButtonType(CurrentDataCol(), CurrentDataRow());
    return B == btVertSpin || B == btHorzSpin;
}

bool TtsBaseGrid::SpinIsVertical() const {
    return HasSpinButton() &&
           FModel->EffectiveButtonType(CurrentDataCol(), CurrentDataRow()) == btVertSpin;
}

int TtsBaseGrid::SpinHalfAt(int X, int Y) const {
    const fw::TRect B = CellButtonRect();
    if (!HasSpinButton() || X < B.Left || X >= B.Right || Y < B.Top || Y >= B.Bottom) return 0;
    if (SpinIsVertical()) return Y < (B.Top + B.Bottom) / 2 ? 1 : -1;
    return X < (B.Left + B.Right) / 2 ? -1 : 1;
}

void TtsBaseGrid::DrawSpinButton(fw::TCanvas& C, const fw::TRect& B) {
    const bool Vertical = SpinIsVertical();
    const int MidX = (B.Left + B.Right) / 2, MidY = (B.Top + B.Bottom) / 2;
    const fw::TRect Halves[2] = {
        Vertical ? fw::TRect{B.Left, B.Top, B.Right, MidY} : fw::TRect{B.Left, B.Top, MidX, B.Bottom},
        Vertical ? fw::TRect{B.Left, MidY, B.Right, B.Bottom}
                 : fw::TRect{MidX, B.Top, B.Right, B.Bottom}};
    // The first half adds for a vertical button (up), the second for a horizontal one (right).
    const int Pressed = FSpinPressed == 0 ? -1 : (FSpinPressed > 0) == Vertical ? 0 : 1;
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(fw::clBtnFace);
    C.FillRect(B);
    for (int I = 0; I < 2; ++I) {
        fw::TRect Edge = Halves[I];
        C.DrawEdge(Edge, Pressed == I ? fw::EDGE_SUNKEN : fw::EDGE_RAISED, fw::BF_RECT);
    }
    // The arrows: the picture of both, centred on the button, one pixel in for a pressed half.
    const fw::TBitmap& P =
        GridPicture(Vertical ? TtsGridPicture::Spin : TtsGridPicture::SpinHorz);
    const fw::TCanvasStateSaver Saver(C);
    C.IntersectClipRect(B);
    C.Draw(MidX - P.Width() / 2, MidY - P.Height() / 2, P);
}

bool TtsBaseGrid::SpinStep(int Dir) {
    if (!HasSpinButton() || FActive != FEditStrategy.get() || !FActive->GetModifyEnabled() ||
        !CurrentCellMayChange())
        return false;
    TtsBusyScope Busy(*FModel); // the editor's handlers may change or free the grid
    TtsGridEditBox& E = *FEditStrategy->Edit();
    std::string Text = E.EditText();
    int Start = 0, Len = 0;
    if (Text.empty()) Text = "0";
    if (!FindNumberAt(Text, std::min(E.CaretPos(), static_cast<int>(Text.size())), Start, Len))
        return false;
    const std::string Old = Text.substr(static_cast<std::size_t>(Start - 1),
                                        static_cast<std::size_t>(Len));
    const double Step = FModel->EffectiveSpinIncrement(CurrentDataCol(), CurrentDataRow());
    std::string Fresh = AddToNumberText(Old, Dir * Step);
    // A step too small to change the number leaves the text, and the cell, as they were.
    if (Fresh == Old) return false;
    PadDecimals(Old, Fresh);
    if (HasLeadingZero(Old)) PadToWidth(Old, Fresh);
    // Each change of the editor fires its handlers: one that moved the cell, swapped
    // its control or changed its text ends the step where it is.
    const TCellKept Kept = KeepCell();
    const std::string Was = E.EditText();
    auto Stays = [&] { return CellKept(Kept) && E.EditText() == Was; };
    if (!Was.empty()) {
        E.SetSelStart(Start - 1);
        if (!Stays()) return false;
        E.SetSelLength(Len);
        if (!Stays()) return false;
    }
    E.ReplaceSelection(Fresh);
    if (!CellKept(Kept)) return true;
    // The stepped number stays selected, the caret at its end, for the next step.
    E.SetSelStart(Start - 1);
    if (CellKept(Kept)) E.SetSelLength(static_cast<int>(Fresh.size()));
    if (CellKept(Kept)) ControlValueChanged();
    RepaintCurrentCell();
    return true;
}

void TtsBaseGrid::SpinPress(int Half) {
    if (Half == 0) return;
    FSpinPressed = Half;
    SetMouseCapture(true);
    if (!(FModel->EffectiveSpinOptions(CurrentDataCol(), CurrentDataRow()) & spoAutoRepeat))
        FSpinPressed = 0; // a single step: nothing is held
    SpinStep(Half);
    if (FSpinPressed != 0 && HandleAllocated())
        fw::SetTimer(Handle(), SpinTimerId, SpinRepeatDelay);
    InvalidateDisplayCell(Current().X, Current().Y);
}

void TtsBaseGrid::SpinRelease() {
    if (FSpinPressed == 0) return;
    FSpinPressed = 0;
    if (HandleAllocated()) fw::KillTimer(Handle(), SpinTimerId);
    InvalidateDisplayCell(Current().X, Current().Y);
}

bool TtsBaseGrid::SpinTimer(std::uintptr_t Id) {
    if (Id != SpinTimerId) return false;
    // Held on its half, the button keeps stepping; moved off it, it waits.
    const fw::TPoint P = ScreenToClient(fw::GetCursorPos());
    if (FSpinPressed == 0 || !HasSpinButton()) {
        SpinRelease();
    } else {
        fw::SetTimer(Handle(), SpinTimerId, SpinRepeatPeriod);
        if (SpinHalfAt(P.X, P.Y) == FSpinPressed) SpinStep(FSpinPressed);
    }
    return true;
}

bool TtsBaseGrid::SpinKey(std::uint16_t Key, fw::TShiftState Shift) {
    if ((Key != fw::VK_UP && Key != fw::VK_DOWN) || (Shift & (fw::ssAlt | fw::ssCtrl)) ||
        !HasSpinButton() ||
        !(FModel->EffectiveSpinOptions(CurrentDataCol(), CurrentDataRow()) & spoAutoIncrement))
        return false;
    SpinStep(Key == fw::VK_UP ? 1 : -1);
    return true;
}

} // namespace vel
