#include "Knob.h"

#include "Canvas.h"
#include "Input.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <numbers>

namespace vel {

// ------------------------------------------------------------------ TKnob

TKnob::TKnob(fw::TComponent* AOwner) : fw::TCustomPanel(AOwner) {
    // The drag holds the capture by hand, through releases of any button.
    SetControlStyle(ControlStyle() & ~fw::csCaptureMouse);
    SetCaption("");
    SetBevelOuter(fw::bvNone);
    SetCursor(fw::crSizeWE);
    FPaintBox = fw::Create<fw::TPaintBox>(this);
    FPaintBox->SetParent(this);
    FPaintBox->SetBounds(0, 0, 48, 48);
    FPaintBox->SetEnabled(false);
    FPaintBox->OnPaint = [this](fw::TObject*) { PaintKnob(); };
    SetAutoSize(true);
    RecomputeSweep();
}

TKnob::~TKnob() {
    EndDrag(false);
    if (FPaintBox) FPaintBox->OnPaint = nullptr;
}

void TKnob::Loaded() {
    fw::TCustomPanel::Loaded();
    RecomputeSweep();
}

void TKnob::RecomputeSweep() {
    const float circumference = static_cast<float>(FRadius * 2 * std::numbers::pi);
    int steps = static_cast<int>(std::nearbyint(static_cast<double>(circumference) * 5.0));
    if (steps <= 0) steps = 1;
    SetRevolutions(
        static_cast<int>(std::min<std::int64_t>((std::int64_t{FMax} - FMin) / steps, INT_MAX)));
}

int TKnob::Revolutions() const {
    return (FSweep - 270) / 360 + 1;
}

void TKnob::SetRevolutions(int Value) {
    // The sweep is a 32-bit angle: more turns than it holds saturate.
    constexpr int most = (INT_MAX - 270) / 360 + 1;
    FSweep = (std::clamp(Value, 1, most) - 1) * 360 + 270;
}

void TKnob::KeepInRange() {
    FPosition = std::clamp(FPosition, FMin, FMax);
}

void TKnob::SetMin(int Value) {
    if (Value == FMin || Value > FMax) return;
    FMin = Value;
    KeepInRange();
    RecomputeSweep();
    Change();
    FPaintBox->Invalidate();
}

void TKnob::SetMax(int Value) {
    if (Value == FMax || Value < FMin) return;
    FMax = Value;
    KeepInRange();
    RecomputeSweep();
    Change();
    FPaintBox->Invalidate();
}

void TKnob::SetPosition(int Value) {
    if (Value == FPosition) return;
    FPosition = Value;
    KeepInRange();
    FPaintBox->Repaint();
    Change();
}

float TKnob::Value() {
    if (FDivider == 0) FDivider = 1;
    return static_cast<float>(static_cast<double>(FPosition) * FMultiplier / FDivider);
}

void TKnob::SetValue(double Value) {
    if (std::isnan(Value)) return;
    if (FMultiplier == 0) FMultiplier = 1;
    const double p = std::clamp(FDivider * Value / FMultiplier, static_cast<double>(FMin),
                                static_cast<double>(FMax));
    SetPosition(static_cast<int>(std::nearbyint(p)));
}

void TKnob::SetCenterX(int Value) {
    FCenterX = Value;
    FPaintBox->Invalidate();
}
void TKnob::SetCenterY(int Value) {
    FCenterY = Value;
    FPaintBox->Invalidate();
}
void TKnob::SetDotSize(int Value) {
    FDotSize = Value;
    FPaintBox->Invalidate();
}
void TKnob::SetRadius(int Value) {
    FRadius = Value;
    RecomputeSweep();
    FPaintBox->Invalidate();
}

void TKnob::SetImage(fw::TImage* Value) {
    FPaintBox->Invalidate();
    if (!Value) return;
    if (FImage) RemoveFreeNotification(FImage);
    FImage = Value;
    FreeNotification(FImage);
    try {
        fw::TPicture& pic = FImage->Picture();
        if (!pic.HasGraphic() || pic.Bitmap().Empty())
            throw std::runtime_error("The knob's picture is empty");
        fw::TBitmap& bmp = pic.Bitmap();
        FPaintBox->SetBounds(FPaintBox->Left(), FPaintBox->Top(), pic.Width(), pic.Height());
        bmp.SetTransparentColor(fw::PixelToColor(bmp.Surface().Pixel(0, 0)));
        bmp.SetTransparent(true);
        SetAutoSize(FAutoSize);
        FCenterX = pic.Width() / 2;
        FCenterY = pic.Height() / 2;
    } catch (const std::exception&) {
        RemoveFreeNotification(FImage);
        FImage = nullptr;
    }
}

void TKnob::SetAutoSize(bool Value) {
    FAutoSize = Value;
    if (FAutoSize) SetBounds(Left(), Top(), FPaintBox->Width(), FPaintBox->Height());
}

void TKnob::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
    fw::TCustomPanel::Notification(AComponent, Operation);
    if (Operation != fw::TOperation::Remove) return;
    if (AComponent == FImage) FImage = nullptr;
    if (AComponent == FPaintBox) FPaintBox = nullptr;
}

void TKnob::Change() {
    fw::CallHandler(OnChange, this);
    if (ChangeLink) ChangeLink(this);
}

double TKnob::Angle() const {
    double a = 0;
    if (FMax != FMin)
        a = static_cast<double>(FPosition - std::int64_t{FMin}) /
            static_cast<double>(std::int64_t{FMax} - FMin) * FSweep;
    return a - 45;
}

fw::TRect TKnob::DotRect() const {
    const double r = Angle() * std::numbers::pi / 180;
    const double dx = std::cos(r) * FRadius;
    const double dy = std::sin(r) * FRadius;
    const auto ix =
        static_cast<int>((static_cast<std::int64_t>(std::nearbyint(dx * 10000)) + 5000) / 10000);
    const auto iy =
        static_cast<int>((static_cast<std::int64_t>(std::nearbyint(dy * 10000)) + 5000) / 10000);
    const int cx = FCenterX - ix, cy = FCenterY - iy;
    return fw::TRect{cx - FDotSize, cy - FDotSize, cx + FDotSize, cy + FDotSize};
}

void TKnob::PaintKnob() {
    if (!FPaintBox) return;
    fw::TCanvas& c = *FPaintBox->Canvas();
    if (FImage && FImage->Picture().HasGraphic()) c.Draw(0, 0, FImage->Picture().Bitmap());
    if (InState(fw::TComponentStateItem::Designing)) {
        c.Pen().SetColor(fw::clBlack);
        c.Brush().SetColor(fw::clBlack);
        c.Ellipse(FCenterX - 1, FCenterY - 1, FCenterX + 1, FCenterY + 1);
    }
    c.Brush().SetStyle(fw::bsSolid);
    if (!Enabled()) {
        c.Pen().SetColor(fw::clGray);
        c.Brush().SetColor(fw::clSilver);
    } else if (FDragging) {
        c.Pen().SetColor(fw::clBlack);
        c.Brush().SetColor(fw::clLime);
    } else {
        c.Pen().SetColor(fw::clBlack);
        c.Brush().SetColor(fw::clRed);
    }
    c.Ellipse(DotRect());
}

void TKnob::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (!FDragging) { // one hide per drag, however many buttons go down
        fw::ShowCursor(false);
        FDragging = true;
        FPressPoint = fw::TPoint{X, Y};
        FAccumulator = 0;
        FChangedInDrag = false;
        SetMouseCapture(true);
        FPaintBox->Repaint();
    }
    fw::TCustomPanel::MouseDown(Button, Shift, X, Y);
}

void TKnob::MouseMove(fw::TShiftState Shift, int X, int Y) {
    if (FDragging && Enabled()) {
        const int dx = X - FPressPoint.X;
        const int dy = FPressPoint.Y - Y; // upward is positive
        const int d = std::abs(dy) > std::abs(dx) ? dy : dx;
        const int g = FGranularity > 0 ? FGranularity : 1;
        FAccumulator += d;
        const int step = FAccumulator / g;
        FAccumulator -= step * g;
        if (step != 0) {
            FChangedInDrag = true;
            FPosition = static_cast<int>(
                std::clamp(std::int64_t{FPosition} + step, std::int64_t{FMin}, std::int64_t{FMax}));
            FPaintBox->Repaint();
            fw::CallHandler(OnChanging, this);
            if (ChangeLink) ChangeLink(this);
            const fw::TPoint p = ClientToScreen(FPressPoint);
            fw::SetCursorPos(p.X, p.Y);
        }
    }
    fw::TCustomPanel::MouseMove(Shift, X, Y);
}

void TKnob::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    const bool wasDragging = FDragging;
    if (wasDragging) {
        FDragging = false; // before the capture goes, so the loss is no second end
        fw::ShowCursor(true);
        if (MouseCapture()) SetMouseCapture(false);
        FPaintBox->Repaint();
    }
    fw::TCustomPanel::MouseUp(Button, Shift, X, Y);
    if (wasDragging && FChangedInDrag) Change();
    FChangedInDrag = false;
}

void TKnob::EndDrag(bool AllowChange) {
    if (!FDragging) return;
    FDragging = false;
    fw::ShowCursor(true);
    if (HandleAllocated() && fw::GetCapture() == Handle()) fw::ReleaseCapture();
    if (!AllowChange) return;
    if (FPaintBox) FPaintBox->Invalidate();
    if (FChangedInDrag) Change();
    FChangedInDrag = false;
}

void TKnob::Dispatch(fw::TMessage& Message) {
    fw::TCustomPanel::Dispatch(Message);
    switch (Message.Msg) {
    case fw::WM_CAPTURECHANGED:
        if (HandleAllocated() && reinterpret_cast<fw::HWND>(Message.LParam) != Handle())
            EndDrag(true);
        break;
    case fw::CM_ENABLEDCHANGED:
        if (!Enabled()) EndDrag(true);
        if (FPaintBox) FPaintBox->Invalidate();
        break;
    default:
        break;
    }
}

void TKnob::DefaultHandler(fw::TMessage& Message) {
    if (Message.Msg == fw::WM_GETDLGCODE) {
        Message.Result = fw::DLGC_WANTARROWS; // Up and Down turn the knob
        return;
    }
    fw::TCustomPanel::DefaultHandler(Message);
}

void TKnob::KeyDown(std::uint16_t& Key, fw::TShiftState Shift) {
    if (Key == fw::VK_UP)
        SetPosition(FPosition == INT_MAX ? FPosition : FPosition + 1);
    else if (Key == fw::VK_DOWN)
        SetPosition(FPosition == INT_MIN ? FPosition : FPosition - 1);
    else
        fw::TCustomPanel::KeyDown(Key, Shift);
    KeepInRange();
}

void TKnob::DblClick() {
    SetPosition(static_cast<int>(std::clamp<std::intptr_t>(Tag(), INT_MIN, INT_MAX)));
    fw::TCustomPanel::DblClick();
}

// ---------------------------------------------------------------- TOvEdit

TOvEdit::TOvEdit(fw::TComponent* AOwner) : fw::TEdit(AOwner) {}

void TOvEdit::SetAlignment(fw::TAlignment Value) {
    FAlignment = Value;
    if (!HandleAllocated()) return;
    std::uint32_t style = fw::GetWindowStyle(Handle()) & ~(fw::ES_CENTER | fw::ES_RIGHT);
    if (Value == fw::taRightJustify) style |= fw::ES_RIGHT;
    if (Value == fw::taCenter) style |= fw::ES_CENTER;
    fw::SetWindowStyle(Handle(), style);
    Invalidate();
}

void TOvEdit::CreateParams(fw::TCreateParams& Params) {
    fw::TEdit::CreateParams(Params);
    Params.Style |= fw::ES_MULTILINE; // so that the alignment takes effect
}

void TOvEdit::CreateHandle() {
    fw::TEdit::CreateHandle();
    SetAlignment(FAlignment);
}

void TOvEdit::DoEnter() {
    SetTag(Font().Color());
    fw::TEdit::DoEnter();
}

void TOvEdit::DoExit() {
    Font().SetColor(static_cast<fw::TColor>(Tag()));
    fw::CallHandler(OnEnterValue, this);
    fw::TEdit::DoExit();
}

void TOvEdit::KeyPress(char& Key) {
    if (!ReadOnly()) {
        const auto code = static_cast<unsigned char>(Key);
        if (FDigitsOnly && ((code >= 32 && code <= 42) || code == 44 || code == 47 ||
                            (code >= 58 && code <= 127))) {
            Key = 0;
            return;
        }
        if (Key != '\t' && Key != '\r') {
            if (Font().Color() != fw::clRed) {
                SetTag(Font().Color());
                Font().SetColor(fw::clRed);
            }
        } else {
            Font().SetColor(static_cast<fw::TColor>(Tag()));
            if (Key == '\t' && OnTabKey) OnTabKey(this);
            fw::CallHandler(OnEnterValue, this);
            Key = 0;
            return;
        }
    }
    fw::TEdit::KeyPress(Key);
}

// -------------------------------------------------------------- TKnobEdit

TKnobEdit::TKnobEdit(fw::TComponent* AOwner) : TOvEdit(AOwner) {}

TKnobEdit::~TKnobEdit() {
    SetKnob(nullptr); // the knob must not call a gone edit
}

void TKnobEdit::SetKnob(TKnob* Value) {
    SetDigitsOnly(true);
    if (FKnob) {
        FKnob->ChangeLink = ChainedChange;
        ChainedChange = nullptr;
        RemoveFreeNotification(FKnob);
        FKnob = nullptr;
    }
    if (!Value) return;
    FKnob = Value;
    FreeNotification(FKnob);
    ChainedChange = FKnob->ChangeLink;
    FKnob->ChangeLink = [this](fw::TObject* Sender) { KnobChanged(Sender); };
    KnobChanged(FKnob);
}

void TKnobEdit::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
    TOvEdit::Notification(AComponent, Operation);
    if (Operation == fw::TOperation::Remove && AComponent == FKnob) {
        FKnob = nullptr;
        ChainedChange = nullptr;
    }
}

void TKnobEdit::KnobChanged(fw::TObject* Sender) {
    if (ChainedChange) ChainedChange(Sender);
    ShowKnobValue();
}

void TKnobEdit::ShowKnobValue() {
    if (!FKnob) return;
    SetText(FormatKnobValue(FKnob->Value()));
    Update();
}

void TKnobEdit::ApplyText() {
    if (!FKnob) return;
    double v = 0;
    const int mul = FKnob->Multiplier() == 0 ? 1 : FKnob->Multiplier();
    const int div = FKnob->Divider() == 0 ? 1 : FKnob->Divider();
    const double a = static_cast<double>(FKnob->Min()) * mul / div;
    const double b = static_cast<double>(FKnob->Max()) * mul / div;
    if (ParseKnobValue(Text(), v) && std::isfinite(v) && v >= std::min(a, b) && v <= std::max(a, b))
        FKnob->SetValue(v);
    else
        ShowKnobValue();
}

void TKnobEdit::DoExit() {
    ApplyText();
    TOvEdit::DoExit();
}

void TKnobEdit::KeyPress(char& Key) {
    if (Key == '\t' || Key == '\r') ApplyText();
    TOvEdit::KeyPress(Key);
}

std::string FormatKnobValue(double Value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::general, 4);
    return std::string(buf, r.ptr);
}

bool ParseKnobValue(const std::string& Text, double& Value) {
    std::size_t b = Text.find_first_not_of(' ');
    std::size_t e = Text.find_last_not_of(' ');
    if (b == std::string::npos) return false;
    const bool plus = Text[b] == '+';
    if (plus) ++b;
    if (b > e) return false;
    const char* first = Text.data() + b;
    const char* last = Text.data() + e + 1;
    if (plus && (*first == '+' || *first == '-' || *first == ' ')) return false;
    const auto r = std::from_chars(first, last, Value);
    return r.ec == std::errc() && r.ptr == last;
}

} // namespace vel
