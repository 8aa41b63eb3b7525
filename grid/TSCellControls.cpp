#include "TSCellControls.h"

namespace vel {

TtsCustomGridControl::TtsCustomGridControl(std::unique_ptr<TtsGridControl> Control)
    : FControl(std::move(Control)) {}

TtsCustomGridControl::~TtsCustomGridControl() = default;

void TtsCustomGridControl::Show(bool Activate) {
    FControl->Show();
    if (Activate && FControl->CanFocus()) FControl->SetFocus();
}

void TtsCustomGridControl::SetBounds(int Left, int Top, int Width, int Height) {
    if (FControl->Left() != Left || FControl->Top() != Top || FControl->Width() != Width ||
        FControl->Height() != Height)
        FControl->SetBounds(Left, Top, Width, Height);
}

void TtsCustomGridControl::SetParent(fw::TWinControl* Parent) {
    if (FControl->Parent() != Parent) FControl->SetParent(Parent);
}

namespace {

template <class T> std::unique_ptr<TtsGridControl> MakeHidden(fw::TComponent* AOwner) {
    auto C = std::make_unique<T>(AOwner);
    C->SetVisible(false);
    C->SetBounds(0, 0, 1, 1);
    return C;
}

} // namespace

TtsDefaultGridControl::TtsDefaultGridControl(fw::TComponent* AOwner)
    : TtsCustomGridControl(MakeHidden<TtsGridControl>(AOwner)) {}

TtsEditGridControl::TtsEditGridControl(fw::TComponent* AOwner)
    : TtsCustomGridControl(MakeHidden<TtsGridEditBox>(AOwner)) {}

void TtsEditGridControl::SetSelStart(int Value) {
    Edit()->SetSelStart(Value);
    Edit()->Invalidate(); // shows the caret at its new place
}

int TtsEditGridControl::ReplaceSelText(const std::string& Value) {
    if (!Edit()->Editable()) return 0;
    Edit()->ReplaceSelection(Value);
    return static_cast<int>(Value.size());
}

void TtsEditGridControl::SetValue(const TtsVariant& Value) {
    Edit()->SetText(VarToText(Value), false, true);
}

void TtsEditGridControl::SetValueSelect(const TtsVariant& Value, bool Select) {
    Edit()->SetText(VarToText(Value), Select, true);
}

TtsCheckGridControl::TtsCheckGridControl(fw::TComponent* AOwner)
    : TtsCustomGridControl(MakeHidden<TtsGridCheckBox>(AOwner)) {
    FControl->SetCaption("");
    FControl->SetTabStop(false);
}

void TtsCheckGridControl::SetMouseCapture(bool Value) {
    TtsCustomGridControl::SetMouseCapture(Value);
    if (!Value) {
        // A released box is no longer pressed.
        Box()->Pressing = false;
        Box()->Down = false;
        Box()->Invalidate();
    }
}

} // namespace vel
