#include "TSGridCtrl.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "Forms.h"
#include "Input.h"
#include "Messages.h"
#include "NoDestroy.h"
#include "TSShared.h"
#include "Timers.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace vel {

bool LastPressNotLeft = false;

int ReadOldAlignment(std::string_view Identifier) {
    std::string L(Identifier);
    for (char& C : L)
        C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    if (L == "tarightjustify") return 1;
    if (L == "tacenter") return 2;
    return 0;
}

// ---- TtsGridControl ----

TtsGridControl::TtsGridControl(fw::TComponent* AOwner) : fw::TCustomControl(AOwner) {
    // Double clicks are made here from presses, not by the window system.
    SetControlStyle((ControlStyle() | fw::csOpaque) & ~fw::csDoubleClicks);
    SetParentShowHint(false);
    SetHint("");
}

TtsGridControl::~TtsGridControl() {
    if (CanvasInUse) ControlMemoryCanvas().Release();
}

bool TtsGridControl::IsEditable(bool Flag) {
    bool ReadOnly = false;
    fw::CallHandler(OnReadOnly, this, Flag, ReadOnly);
    return !ReadOnly;
}

bool TtsGridControl::CanModify(bool ByUser) {
    if (ByUser && !EditEnabled) return false;
    bool Cancel = false;
    fw::CallHandler(OnStartEdit, this, Cancel);
    if (Cancel) return false;
    return IsEditable(true);
}

bool TtsGridControl::IsToggleKey(std::uint16_t) {
    return false;
}

bool TtsGridControl::GridHasFocus() const {
    return Grid && Grid->Focused();
}

void TtsGridControl::FireValueChanged(bool Flag) {
    fw::CallHandler(OnValueChanged, this, Flag);
}

void TtsGridControl::FireChanged(bool Notify, bool Flag, bool Third) {
    fw::CallHandler(OnChanged, this, Notify, Flag, Third);
}

void TtsGridControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (ALeft != Left() || ATop != Top())
        LastClickTime = 0; // a moved control starts a new click sequence
    fw::TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

bool TtsGridControl::FormRefusesGrid() {
    fw::TCustomForm* Form = fw::GetParentForm(this);
    auto* Owner = Grid ? Grid : static_cast<fw::TWinControl*>(this);
    return Form && !Form->SetFocusedControl(Owner);
}

void TtsGridControl::WndProc(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_SETFOCUS:
        // A form that will not have the grid focused keeps the focus where it was.
        if (FormRefusesGrid()) return;
        break;
    case fw::WM_LBUTTONDOWN: {
        bool LeftDown = (Message.WParam & fw::MK_LBUTTON) != 0;
        SyntheticDblClick = (EditEnabled || ModifyEnabled) && OwnDblClicks && LeftDown;
        PressSeen = true;
        std::uint32_t Now = fw::GetTickCount();
        fw::TPoint P = fw::LParamToPoint(Message.LParam);
        if (SyntheticDblClick && !LastPressNotLeft && LastClickTime != 0 && Now >= LastClickTime &&
            Now - LastClickTime <= fw::DoubleClickTime() && P == LastClickPos) {
            Perform(fw::WM_LBUTTONDBLCLK, Message.WParam, Message.LParam);
            LastClickTime = 0;
            return;
        }
        LastPressNotLeft = !LeftDown;
        LastClickTime = Now;
        LastClickPos = P;
        break;
    }
    case fw::WM_LBUTTONDBLCLK:
        LastClickTime = 0;
        if (!SyntheticDblClick) {
            // No double clicks of our own: the second press stays a press.
            Perform(fw::WM_LBUTTONDOWN, Message.WParam, Message.LParam);
            return;
        }
        SyntheticDblClick = false;
        break;
    case fw::WM_LBUTTONUP:
        if (ControlState() & fw::csClicked) {
            SetControlState(ControlState() & ~fw::csClicked);
            ClickPending = PressSeen || Focused();
        }
        break;
    default:
        break;
    }
    fw::TCustomControl::WndProc(Message);
}

void TtsGridControl::Dispatch(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_GETDLGCODE:
        fw::TCustomControl::Dispatch(Message);
        Message.Result |= fw::DLGC_WANTARROWS | fw::DLGC_WANTCHARS;
        if (WantTab && fw::GetKeyState(fw::VK_CONTROL) >= 0) Message.Result |= fw::DLGC_WANTTAB;
        if (fw::GetKeyState(fw::VK_ESCAPE) < 0) {
            bool Wanted = false;
            fw::CallHandler(OnWantKey, this, fw::VK_ESCAPE, Wanted);
            if (Wanted) Message.Result |= fw::DLGC_WANTALLKEYS;
        }
        if (fw::GetKeyState(fw::VK_RETURN) < 0) Message.Result |= fw::DLGC_WANTALLKEYS;
        return;
    case fw::CM_FONTCHANGED:
        fw::TCustomControl::Dispatch(Message);
        Canvas()->Font().Assign(Font());
        return;
    default:
        break;
    }
    fw::TCustomControl::Dispatch(Message);
}

void TtsGridControl::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    bool Raise = ClickPending;
    ClickPending = false;
    PressSeen = false;
    if (Raise) Click();
    fw::TCustomControl::MouseUp(Button, Shift, X, Y);
    if (Button == fw::mbRight) AskContextMenu(X, Y);
}

void TtsGridControl::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    fw::CallHandler(OnCtlKeyDown, this, Key, Shift);
    if (Key != 0) fw::TCustomControl::KeyDown(Key, Shift);
}

void TtsGridControl::KeyUp(std::uint16_t& Key, fw::TShiftState Shift) {
    fw::CallHandler(OnCtlKeyUp, this, Key, Shift);
    if (Key != 0) fw::TCustomControl::KeyUp(Key, Shift);
}

void TtsGridControl::KeyPress(char& Key) {
    fw::CallHandler(OnCtlKeyPress, this, Key);
    if (Key != 0) fw::TCustomControl::KeyPress(Key);
}

void TtsGridControl::PaintTo(fw::TCanvas& C) {
    C.Brush().SetColor(Color());
    C.FillRect(ClientRect());
}

void TtsGridControl::Paint() {
    TtsMemoryCanvas& Mem = ControlMemoryCanvas();
    TtsCanvasLock Lock(Mem, this);
    fw::TCanvas& Off = Mem.Use(CanvasInUse, Width(), Height());
    Off.Font().Assign(Font());
    PaintTo(Off);
    fw::TRect Clip = IntersectRect(Canvas()->ClipRect(), ClientRect());
    Canvas()->CopyRect(Clip, Off, Clip);
}

// ---- check box glyphs ----

namespace {

void DrawGlyph(fw::TCanvas& C, int Cell, int Style, int StateInStyle) {
    const int Top = Cell * CheckGlyphSize;
    fw::TRect Box = fw::Bounds(0, Top, CheckGlyphSize, CheckGlyphSize);
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(fw::clWhite);
    C.FillRect(Box);
    if (Style == 2) {
        C.Brush().SetColor(fw::clBtnShadow);
        C.FrameRect(Box);
    } else {
        fw::TRect E = Box;
        C.DrawEdge(E, fw::EDGE_SUNKEN, fw::BF_RECT);
    }
    C.Pen().SetColor(fw::clBlack);
    C.Pen().SetWidth(1);
    C.Pen().SetStyle(fw::psSolid);
    if (StateInStyle == 0) { // checked
        for (int T = 0; T < 3; ++T) {
            if (Style == 0) {
                C.MoveTo(3, Top + 3 + T - 1);
                C.LineTo(10, Top + 10 + T - 1);
                C.MoveTo(9, Top + 3 + T - 1);
                C.LineTo(2, Top + 10 + T - 1);
            } else {
                C.MoveTo(3, Top + 5 + T);
                C.LineTo(5, Top + 7 + T);
                C.LineTo(10, Top + 2 + T);
            }
        }
    } else if (StateInStyle == 2) { // grayed
        C.Pen().SetColor(fw::clGray);
        for (int D = 4; D < 20; D += 4) {
            C.MoveTo(std::max(2, D - 9), Top + std::min(10, D - 1));
            C.LineTo(std::min(11, D), Top + std::max(1, D - 10));
        }
    }
}

std::unique_ptr<fw::TBitmap> MakeGlyphStrip() {
    auto Strip = std::make_unique<fw::TBitmap>();
    Strip->SetSize(CheckGlyphSize, CheckGlyphSize * 18);
    fw::TCanvas& C = Strip->Canvas();
    for (int Glyph = 0; Glyph < 9; ++Glyph)
        DrawGlyph(C, Glyph, Glyph / 3, Glyph % 3);
    for (int Glyph = 0; Glyph < 9; ++Glyph) {
        const int Src = Glyph * CheckGlyphSize;
        const int Dst = (Glyph + 9) * CheckGlyphSize;
        C.CopyRect(fw::Bounds(0, Dst, CheckGlyphSize, CheckGlyphSize), C,
                   fw::Bounds(0, Src, CheckGlyphSize, CheckGlyphSize));
        if (Glyph < 6) {
            for (int Y = 1; Y < CheckGlyphSize - 1; ++Y)
                for (int X = 1; X < CheckGlyphSize - 1; ++X)
                    if (C.Pixels(X, Dst + Y) == fw::clWhite) C.SetPixels(X, Dst + Y, fw::clSilver);
        } else {
            C.Brush().SetColor(fw::clBtnShadow);
            C.FrameRect(fw::Bounds(1, Dst + 1, CheckGlyphSize - 2, CheckGlyphSize - 2));
        }
    }
    return Strip;
}

int BaseOfStyle(int Style) {
    switch (Style) {
    case stFlat:
        return 6;
    case stCheck:
        return 3;
    default:
        return 0;
    }
}

} // namespace

namespace {

// Never destroyed: a check box freed at exit may still paint or measure.
std::unique_ptr<fw::TBitmap>& StripSlot() {
    static fw::TNoDestroy<std::unique_ptr<fw::TBitmap>> Strip;
    return *Strip;
}

} // namespace

const fw::TBitmap& CheckBoxGlyphStrip() {
    std::unique_ptr<fw::TBitmap>& Strip = StripSlot();
    if (!Strip) Strip = MakeGlyphStrip();
    return *Strip;
}

void FreeCheckBoxGlyphStrip() {
    StripSlot().reset();
}

// ---- TtsGridCheckBox ----

TtsGridCheckBox::TtsGridCheckBox(fw::TComponent* AOwner) : TtsGridControl(AOwner) {
    SetCursor(fw::crDefault);
    OwnDblClicks = false;
    CheckBoxGlyphStrip();
}

TtsGridCheckBox::~TtsGridCheckBox() = default;

bool TtsGridCheckBox::IsToggleKey(std::uint16_t Key) {
    return Key == fw::VK_SPACE;
}

void TtsGridCheckBox::StepState() {
    if (!Saved) {
        SavedValue = Value;
        Saved = true;
    }
    if (State == 0)
        State = 1;
    else if (State == 1)
        State = AllowGrayed ? 2 : 0;
    else
        State = 0;
    if (CheckBoxValues.empty()) {
        Value = std::int32_t(State);
    } else {
        Value = TextOfState(State, CheckBoxValues);
        State = static_cast<std::uint8_t>(StateOfVariant(Value, CheckBoxValues));
    }
}

std::uint8_t CheckStateOf(const TtsVariant& Value, std::string_view CheckBoxValues) {
    if (auto* B = std::get_if<bool>(&Value)) return *B ? 1 : 0;
    const bool Text =
        VarIsNull(Value) || VarIsEmpty(Value) || std::holds_alternative<std::string>(Value);
    const int State = Text ? StateOfVariant(Value, CheckBoxValues) : VarAsInteger(Value);
    return static_cast<std::uint8_t>(State >= 0 && State <= 2 ? State : 2);
}

void TtsGridCheckBox::SetValue(const TtsVariant& NewValue, bool Notify, bool Flag) {
    Saved = false;
    State = CheckStateOf(NewValue, CheckBoxValues);
    if (VarIsNull(NewValue) || VarIsEmpty(NewValue) ||
        std::holds_alternative<std::string>(NewValue))
        Value = NewValue;
    else
        Value = CheckBoxValues.empty() ? NewValue : TextOfState(State, CheckBoxValues);
    Invalidate();
    FireValueChanged(true);
    FireChanged(Notify, Flag, false);
}

void TtsGridCheckBox::LoadValue(const TtsVariant& NewValue) {
    if (IsEditable(false)) SetValue(NewValue, false, false);
}

void TtsGridCheckBox::EditValue(const TtsVariant& NewValue, bool Flag) {
    if (CanModify(false)) SetValue(NewValue, true, Flag);
}

bool TtsGridCheckBox::RestoreSaved() {
    if (!Saved) return false;
    SetValue(SavedValue, false, false);
    Saved = false;
    return true;
}

void TtsGridCheckBox::SetCheckBoxStyle(TtsCheckBoxStyle Style) {
    int Base = BaseOfStyle(Style);
    GlyphIndex = {Base, Base + 1, Base + 2};
    CheckBoxStyle = Style;
}

const fw::TBitmap& TtsGridCheckBox::GetGlyph(int AState, bool PressedMask, fw::TRect& SourceRect,
                                             fw::TRasterOp& RasterOp) const {
    int Cell = AState == 0 ? GlyphIndex[1] : AState == 1 ? GlyphIndex[0] : GlyphIndex[2];
    bool Pressed = Pressing ? Down : SpaceDown;
    bool Flat = Cell >= 6 && Cell <= 8;
    if (Pressed && PressedMask) Cell += 9;
    SourceRect = fw::TRect{0, Cell * CheckGlyphSize, CheckGlyphSize, (Cell + 1) * CheckGlyphSize};
    RasterOp = Flat && Cell <= 8 ? fw::MERGECOPY : fw::SRCCOPY;
    return CheckBoxGlyphStrip();
}

void TtsGridCheckBox::PaintTo(fw::TCanvas& C) {
    if (C.Brush().Color() != Color()) C.Brush().SetColor(Color());
    const int W = Width(), H = Height();
    if (W <= 0 || H <= 0) return;
    fw::TBitmap Pic;
    Pic.SetSize(W, H);
    fw::TCanvas& P = Pic.Canvas();
    P.Brush().Assign(C.Brush());
    P.Pen().Assign(C.Pen());
    P.Brush().SetStyle(fw::bsSolid);
    P.Brush().SetColor(Color());
    P.FillRect(fw::TRect{0, 0, W, H});
    fw::TRect Src;
    fw::TRasterOp Rop = fw::SRCCOPY;
    const fw::TBitmap& Strip = GetGlyph(State, true, Src, Rop);
    const auto [X, Y] = GlyphOrigin(W, H);
    P.BitBlt(X, Y, CheckGlyphSize, CheckGlyphSize, Strip.Canvas(), Src.Left, Src.Top, Rop);
    if (Focused() || GridHasFocus() || AlwaysShowFocus) {
        fw::TRect F =
            IntersectRect(fw::TRect{X - 1, Y - 1, X + CheckGlyphSize + 1, Y + CheckGlyphSize + 1},
                          fw::TRect{0, 0, W, H});
        P.Font().SetColor(fw::clBlack);
        P.DrawFocusRect(F);
    }
    C.CopyRect(fw::TRect{0, 0, W, H}, P, fw::TRect{0, 0, W, H});
}

fw::TPoint TtsGridCheckBox::GlyphOrigin(int W, int H) const {
    return {(W - CheckGlyphSize) / 2 - 1, (H - CheckGlyphSize) / 2 + (Is3D ? 1 : 0)};
}

void TtsGridCheckBox::EndPress() {
    Pressing = false;
    Down = false;
    Invalidate();
}

void TtsGridCheckBox::WndProc(fw::TMessage& Message) {
    if (Message.Msg == fw::WM_LBUTTONUP) ClickPending = true;
    TtsGridControl::WndProc(Message);
}

void TtsGridCheckBox::Dispatch(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_KILLFOCUS:
        TtsGridControl::Dispatch(Message);
        if (Visible()) Invalidate();
        return;
    case fw::WM_SETFOCUS:
        SpaceRefused = false;
        break;
    default:
        break;
    }
    TtsGridControl::Dispatch(Message);
}

void TtsGridCheckBox::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (CanFocus() && !Focused()) SetFocus();
    if (Button == fw::mbLeft && EditEnabled) {
        Pressing = MouseCapture();
        if (Pressing) {
            Refused = !CanModify(true);
            if (Refused) {
                Pressing = false;
                Refused = false;
            } else {
                Down = true;
                Invalidate();
            }
        }
    }
    TtsGridControl::MouseDown(Button, Shift, X, Y);
}

void TtsGridCheckBox::MouseMove(fw::TShiftState Shift, int X, int Y) {
    if (Pressing) {
        if (!MouseCapture()) {
            EndPress();
        } else {
            bool Inside = X > -4 && X < Width() && Y >= 0 && Y < Height();
            if (Inside != Down) {
                Down = Inside;
                Invalidate();
            }
        }
    }
    TtsGridControl::MouseMove(Shift, X, Y);
}

void TtsGridCheckBox::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (Pressing && Button == fw::mbLeft) {
        Pressing = false;
        bool Stepped = false;
        if (Down) {
            Down = false;
            if (!Refused) {
                StepState();
                Stepped = true;
            }
            Invalidate();
        }
        Refused = false;
        if (MouseCapture()) SetMouseCapture(false);
        if (Stepped) {
            FireValueChanged(true);
            FireChanged(true, true, false);
        }
    } else if (Pressing && !MouseCapture()) {
        EndPress();
    }
    TtsGridControl::MouseUp(Button, Shift, X, Y);
}

void TtsGridCheckBox::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    const bool Mods = (Shift & (fw::ssShift | fw::ssCtrl | fw::ssAlt)) != 0;
    const bool Undo =
        (Key == fw::VK_ESCAPE && !Mods) ||
        (Key == 'Z' && (Shift & (fw::ssShift | fw::ssCtrl | fw::ssAlt)) == fw::ssCtrl);
    if (Undo && !Pending() && Saved) {
        Key = 0;
        bool Refuse = false;
        fw::CallHandler(OnUndo, this, true, Refuse);
        if (!Refuse) {
            RestoreSaved();
            FireValueChanged(true);
        }
        return;
    }
    if (Pending() && Key != fw::VK_SPACE) {
        Key = 0;
        return;
    }
    if (Key == fw::VK_SPACE) return;
    TtsGridControl::KeyDown(Key, Shift);
}

void TtsGridCheckBox::KeyPress(char& Key) {
    if (Key == ' ') {
        Key = 0;
        if (!Pending()) {
            if (CanModify(true)) {
                SpaceDown = true;
                Invalidate();
            } else {
                SpaceRefused = true;
            }
        }
        return;
    }
    if (Pending()) {
        Key = 0;
        return;
    }
    TtsGridControl::KeyPress(Key);
}

void TtsGridCheckBox::KeyUp(std::uint16_t& Key, fw::TShiftState Shift) {
    if (Key == fw::VK_SPACE && (SpaceDown || SpaceRefused)) {
        Key = 0;
        if (SpaceDown) {
            SpaceDown = false;
            StepState();
            Invalidate();
            Click();
            FireValueChanged(true);
            FireChanged(true, true, false);
        } else {
            SpaceRefused = false;
        }
        return;
    }
    if (Pending()) {
        Key = 0;
        return;
    }
    TtsGridControl::KeyUp(Key, Shift);
}

} // namespace vel
