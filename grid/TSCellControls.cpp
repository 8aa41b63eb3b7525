#include "TSCellControls.h"

#include "Input.h"

namespace vel {

// Hears when the control goes before the strategy (its owner freed it). One
// that goes with its owner, the grid holding the strategy, stays the
// strategy's: its memory lasts as long as the grid's, which a running call of
// the grid may still hold (fw::Gone).
class TtsCustomGridControl::TWatch : public fw::TComponent {
public:
    explicit TWatch(TtsCustomGridControl* Strategy)
        : fw::TComponent(nullptr), FStrategy(Strategy) {}

protected:
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override {
        fw::TComponent::Notification(AComponent, Operation);
        if (Operation == fw::TOperation::Remove && AComponent == FStrategy->FControl &&
            !fw::Gone(AComponent->Owner()))
            FStrategy->FControl = nullptr;
    }

private:
    TtsCustomGridControl* FStrategy;
};

TtsCustomGridControl::TtsCustomGridControl(TtsGridControl* Control)
    : FControl(Control), FWatch(std::make_unique<TWatch>(this)) {
    FWatch->FreeNotification(FControl);
}

TtsCustomGridControl::~TtsCustomGridControl() {
    if (!FControl) return;
    TtsGridControl* C = FControl;
    FWatch->RemoveFreeNotification(C);
    FControl = nullptr;
    fw::Free(C);
}

void TtsCustomGridControl::SetEvents(const TtsControlEvents& E) {
    SetOnKeyDown(E.OnKeyDown);
    SetOnKeyUp(E.OnKeyUp);
    SetOnKeyPress(E.OnKeyPress);
    SetOnValueChanged(E.OnValueChanged);
    SetOnChanged(E.OnChanged);
    SetOnStartEdit(E.OnStartEdit);
    SetOnReadOnly(E.OnReadOnly);
    SetOnUndo(E.OnUndo);
    SetOnExit(E.OnExit);
    SetOnWantKey(E.OnWantKey);
    SetOnClick(E.OnClick);
    SetOnDblClick(E.OnDblClick);
    SetOnMouseDown(E.OnMouseDown);
    SetOnMouseUp(E.OnMouseUp);
    SetOnMouseMove(E.OnMouseMove);
    SetOnMouseWheel(E.OnMouseWheel);
    SetOnContextPopup(E.OnContextPopup);
    SetOnResize(E.OnResize);
    SetOnStartDrag(E.OnStartDrag);
    SetOnEndDrag(E.OnEndDrag);
    SetOnDragOver(E.OnDragOver);
    SetOnDragDrop(E.OnDragDrop);
    SetOnEnter(E.OnEnter);
    SetOnWindowKeyDown(E.OnWindowKeyDown);
    SetOnWindowKeyUp(E.OnWindowKeyUp);
    SetOnWindowKeyPress(E.OnWindowKeyPress);
}

TtsControlEvents TtsCustomGridControl::GetEvents() const {
    TtsControlEvents E;
    E.OnKeyDown = GetOnKeyDown();
    E.OnKeyUp = GetOnKeyUp();
    E.OnKeyPress = GetOnKeyPress();
    E.OnValueChanged = GetOnValueChanged();
    E.OnChanged = GetOnChanged();
    E.OnStartEdit = GetOnStartEdit();
    E.OnReadOnly = GetOnReadOnly();
    E.OnUndo = GetOnUndo();
    E.OnExit = GetOnExit();
    E.OnWantKey = GetOnWantKey();
    E.OnClick = GetOnClick();
    E.OnDblClick = GetOnDblClick();
    E.OnMouseDown = GetOnMouseDown();
    E.OnMouseUp = GetOnMouseUp();
    E.OnMouseMove = GetOnMouseMove();
    E.OnMouseWheel = GetOnMouseWheel();
    E.OnContextPopup = GetOnContextPopup();
    E.OnResize = GetOnResize();
    E.OnStartDrag = GetOnStartDrag();
    E.OnEndDrag = GetOnEndDrag();
    E.OnDragOver = GetOnDragOver();
    E.OnDragDrop = GetOnDragDrop();
    E.OnEnter = GetOnEnter();
    E.OnWindowKeyDown = GetOnWindowKeyDown();
    E.OnWindowKeyUp = GetOnWindowKeyUp();
    E.OnWindowKeyPress = GetOnWindowKeyPress();
    return E;
}

std::uint16_t TtsCustomGridControl::GetStateWord() const {
    return static_cast<std::uint16_t>(FControl->ControlState() & 0xFFFF);
}

void TtsCustomGridControl::Show(bool Activate) {
    FControl->Show();
    if (Activate && FControl->CanFocus()) FControl->SetFocus();
}

void TtsCustomGridControl::TakeSelection(int& Start, int& Length) const {
    Start = 0;
    Length = 0;
}

void TtsCustomGridControl::ForwardKeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    FControl->Perform(fw::WM_KEYDOWN, Key, 0);
    (void)Shift;
    Key = 0;
}

void TtsCustomGridControl::ForwardKeyPress(char& Key) {
    FControl->Perform(fw::WM_CHAR, static_cast<unsigned char>(Key), 0);
    Key = 0;
}

void TtsCustomGridControl::SetBounds(int Left, int Top, int Width, int Height) {
    if (FControl->Left() != Left || FControl->Top() != Top || FControl->Width() != Width ||
        FControl->Height() != Height)
        FControl->SetBounds(Left, Top, Width, Height);
}

void TtsCustomGridControl::SetParent(fw::TWinControl* Parent) {
    if (FControl->Parent() != Parent) FControl->SetParent(Parent);
}

void TtsCustomGridControl::Set3D(bool Value) {
    if (FControl->Is3D == Value) return;
    FControl->Is3D = Value;
    FControl->Invalidate();
}

namespace {

template <class T> T* MakeHidden(fw::TComponent* AOwner) {
    T* C = fw::Create<T>(AOwner);
    C->SetVisible(false);
    C->SetBounds(0, 0, 1, 1);
    return C;
}

} // namespace

TtsDefaultGridControl::TtsDefaultGridControl(fw::TComponent* AOwner)
    : TtsCustomGridControl(MakeHidden<TtsGridControl>(AOwner)) {}

TtsEditGridControl::TtsEditGridControl(fw::TComponent* AOwner)
    : TtsCustomGridControl(MakeHidden<TtsGridEditBox>(AOwner)) {
    // The grid places the box where a cell's text starts.
    Edit()->SetCellIndent(CellTextLeft);
}

void TtsEditGridControl::SetSelStart(int Value) {
    fw::TFreeGuard Hold(Edit()); // its handler may free the grid that owns the box
    Edit()->SetSelStart(Value);
    Edit()->Invalidate(); // shows the caret at its new place
}

int TtsEditGridControl::ReplaceSelText(const std::string& Value) {
    if (!Edit()->Editable() || !Edit()->IsEditable(true)) return 0;
    Edit()->ReplaceSelection(Value);
    return static_cast<int>(Value.size());
}

void TtsEditGridControl::SetValue(const TtsVariant& Value) {
    Edit()->SetText(VarToText(Value), false, true);
}

void TtsEditGridControl::SetValueSelect(const TtsVariant& Value, bool Select) {
    Edit()->SetText(VarToText(Value), Select, true);
}

void TtsEditGridControl::Cut(bool Flag) {
    if (Flag)
        Edit()->CutToClipboard();
    else
        Edit()->DeleteSelection();
}

void TtsEditGridControl::TakeSelection(int& Start, int& Length) const {
    Start = Edit()->SelStart();
    Length = Edit()->SelLength();
}

void TtsEditGridControl::Paint(fw::TCanvas& Canvas, const fw::TRect& Rect,
                               const TtsCellPaint& Cell) {
    Canvas.Brush().SetStyle(fw::bsSolid);
    Canvas.Brush().SetColor(Cell.Color);
    // The text starts where the editor's would when it stands over the cell.
    DrawCellText(Canvas, VarToText(Cell.Value), Rect.Bottom - Rect.Top - CellTextTop, 0,
                 Cell.WordWrap, Cell.VertAlignment, Cell.HorzAlignment, Rect.Top + CellTextTop,
                 Rect.Left + CellTextLeft, Rect);
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

void TtsCheckGridControl::ToggleByKey(std::uint16_t Key) {
    if (!IsToggleKey(Key)) return;
    fw::TFreeGuard Hold(Box());
    char Ch = ' ';
    Box()->Perform(fw::WM_CHAR, static_cast<unsigned char>(Ch), 0);
    std::uint16_t Up = Key;
    Box()->Perform(fw::WM_KEYUP, Up, 0);
}

void TtsCheckGridControl::Paint(fw::TCanvas& Canvas, const fw::TRect& Rect,
                                const TtsCellPaint& Cell) {
    Canvas.Brush().SetStyle(fw::bsSolid);
    Canvas.Brush().SetColor(Cell.Color);
    Canvas.FillRect(Rect);
    TtsGridCheckBox& B = *Box();
    const std::uint8_t State = CheckStateOf(Cell.Value, Cell.CheckBoxValues);
    const int Glyph = State == 0 ? B.GlyphIndex[1] : State == 1 ? B.GlyphIndex[0] : B.GlyphIndex[2];
    const bool Flat = Glyph >= 6 && Glyph <= 8;
    const int W = Rect.Right - Rect.Left, H = Rect.Bottom - Rect.Top;
    const int X = Rect.Left + (W - CheckGlyphSize) / 2 - 1;
    const int Y = Rect.Top + (H - CheckGlyphSize) / 2 + (Cell.Is3D ? 1 : 0);
    fw::TCanvasStateSaver Saver(Canvas);
    Canvas.IntersectClipRect(Rect);
    Canvas.BitBlt(X, Y, CheckGlyphSize, CheckGlyphSize, CheckBoxGlyphStrip().Canvas(), 0,
                  Glyph * CheckGlyphSize, Flat ? fw::MERGECOPY : fw::SRCCOPY);
}

} // namespace vel
