#include "GcGradient.h"

#include "Canvas.h"
#include "Forms.h"

#include <algorithm>
#include <cmath>

namespace vel {
namespace {

// Rounding halves to even, in extended precision where the processor has it.
int Round(long double v) {
    return static_cast<int>(std::nearbyintl(v));
}

} // namespace

// ---------------------------------------------------- TGcExGraphicControl

TGcExGraphicControl::TGcExGraphicControl(fw::TComponent* AOwner) : fw::TGraphicControl(AOwner) {}

void TGcExGraphicControl::WndProc(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::CM_DIALOGCHAR:
        Message.Result = WantKey(Message) ? 1 : 0;
        return;
    case fw::CM_HITTEST:
        Message.Result = HitTest(Message);
        return;
    case fw::CM_FOCUSCHANGED:
        FocusChanged(Message);
        return;
    case fw::CM_PARENTFONTCHANGED:
        ParentFontChanged(Message);
        return;
    case fw::CM_PARENTCOLORCHANGED:
        ParentColorChanged(Message);
        return;
    case fw::CM_VISIBLECHANGED:
        VisibleChanged(Message);
        return;
    case fw::CM_ENABLEDCHANGED:
        EnabledChanged(Message);
        return;
    case fw::CM_COLORCHANGED:
        ColorChanged(Message);
        return;
    case fw::CM_FONTCHANGED:
        FontChanged(Message);
        return;
    case fw::CM_TEXTCHANGED:
        TextChanged(Message);
        return;
    case fw::CM_MOUSEENTER:
        MouseEnter(Message);
        return;
    case fw::CM_MOUSELEAVE:
        MouseLeave(Message);
        return;
    case fw::CM_PARENTSHOWHINTCHANGED:
        ParentShowHintChanged(Message);
        return;
    case fw::CM_HINTSHOW:
        HintShow(Message);
        return;
    default:
        Inherited(Message);
    }
}

void TGcExGraphicControl::TextChanged(fw::TMessage& Message) {
    Inherited(Message);
}
bool TGcExGraphicControl::WantKey(fw::TMessage& Message) {
    Inherited(Message);
    return Message.Result != 0;
}
fw::LRESULT TGcExGraphicControl::HitTest(fw::TMessage& Message) {
    Inherited(Message);
    return Message.Result;
}
void TGcExGraphicControl::FocusChanged(fw::TMessage& Message) {
    Inherited(Message);
}
void TGcExGraphicControl::VisibleChanged(fw::TMessage& Message) {
    Inherited(Message);
}
void TGcExGraphicControl::EnabledChanged(fw::TMessage& Message) {
    Inherited(Message);
}
void TGcExGraphicControl::ColorChanged(fw::TMessage& Message) {
    Inherited(Message);
}
void TGcExGraphicControl::FontChanged(fw::TMessage& Message) {
    Inherited(Message);
}
void TGcExGraphicControl::ParentFontChanged(fw::TMessage& Message) {
    Inherited(Message);
}
void TGcExGraphicControl::ParentShowHintChanged(fw::TMessage& Message) {
    Inherited(Message);
}

void TGcExGraphicControl::ParentColorChanged(fw::TMessage& Message) {
    Inherited(Message);
    fw::CallHandler(OnParentColorChange, this);
}

void TGcExGraphicControl::HintShow(fw::TMessage& Message) {
    if (auto* info = reinterpret_cast<fw::THintInfo*>(Message.LParam)) {
        if (FHintColor == fw::clNone)
            info->HintColor = fw::Application()->HintColor();
        else if (FHintColor == fw::clDefault) {
            if (Parent()) Parent()->Perform(fw::CM_HINTSHOW, Message.WParam, Message.LParam);
        } else
            info->HintColor = FHintColor;
    }
    Inherited(Message);
}

void TGcExGraphicControl::MouseEnter(fw::TMessage& Message) {
    FMouseOver = true;
    fw::CallHandler(OnMouseEnter, this);
    Inherited(Message);
}

void TGcExGraphicControl::MouseLeave(fw::TMessage& Message) {
    FMouseOver = false;
    Inherited(Message);
    fw::CallHandler(OnMouseLeave, this);
}

// ------------------------------------------------------------ TGcGradient

TGcGradient::TGcGradient(fw::TComponent* AOwner)
    : TGcGraphicControl(AOwner), FBuffer(std::make_unique<fw::TBitmap>()) {
    SetControlStyle(ControlStyle() | fw::csOpaque);
    SetAlign(fw::alClient);
}

TGcGradient::~TGcGradient() = default;

void TGcGradient::Restyle() {
    FCachedWidth = 0;
    Invalidate();
}

void TGcGradient::SetStyle(TGcGradientStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Restyle();
}
void TGcGradient::SetStartColor(fw::TColor Value) {
    if (Value == FStartColor) return;
    FStartColor = Value;
    Restyle();
}
void TGcGradient::SetEndColor(fw::TColor Value) {
    if (Value == FEndColor) return;
    FEndColor = Value;
    Restyle();
}
void TGcGradient::SetSteps(std::uint16_t Value) {
    if (Value == FSteps) return;
    FSteps = Value;
    Restyle();
}

fw::TColor TGcGradient::BandColor(int I, int N) const {
    const fw::TColor a = fw::ColorToRGB(FStartColor), b = fw::ColorToRGB(FEndColor);
    auto channel = [&](int c0, int c1) {
        const long double d = static_cast<long double>(c1 - c0) / N;
        return Round(c0 + I * d);
    };
    return fw::RGB(channel(fw::GetRValue(a), fw::GetRValue(b)),
                   channel(fw::GetGValue(a), fw::GetGValue(b)),
                   channel(fw::GetBValue(a), fw::GetBValue(b)));
}

void TGcGradient::Paint() {
    if (InState(fw::TComponentStateItem::Destroying)) return;
    if (FCachedWidth != Width() || FCachedHeight != Height()) {
        FCachedWidth = Width();
        FCachedHeight = Height();
        if (Width() == 0 || Height() == 0) return;
        DrawCache();
    }
    if (!FBuffer->Empty()) Canvas()->Draw(0, 0, *FBuffer);
}

void TGcGradient::DrawCache() {
    ++FCacheDraws;
    const int w = Width(), h = Height();
    FBuffer->SetSize(w, h);
    fw::TCanvas& c = FBuffer->Canvas();
    c.Pen().SetStyle(fw::psSolid);
    c.Brush().SetStyle(fw::bsSolid);
    int n = FSteps;
    auto fill = [&](const fw::TRect& r, fw::TColor colour) {
        c.Brush().SetColor(colour);
        c.FillRect(r);
    };
    switch (FStyle) {
    case grFilled:
        fill(fw::TRect{0, 0, w, h}, fw::ColorToRGB(FStartColor));
        break;
    case grHorizontal: {
        n = std::max(std::min(n, w), 1);
        const long double step = static_cast<long double>(w) / n;
        for (int i = 0; i <= n; ++i)
            fill(fw::TRect{Round(i * step), 0, Round((i + 1) * step), h}, BandColor(i, n));
        break;
    }
    case grVertical: {
        n = std::max(std::min(n, h), 1);
        const long double step = static_cast<long double>(h) / n;
        for (int i = 0; i <= n; ++i)
            fill(fw::TRect{0, Round(i * step), w, Round((i + 1) * step)}, BandColor(i, n));
        break;
    }
    default: {
        fill(fw::TRect{0, 0, w, h}, fw::ColorToRGB(FStartColor));
        if (n > w / 2) n = w / 2;
        if (n > h / 2) n = h / 2;
        n = std::max(n, 1);
        const long double xs = static_cast<long double>(w) / n / 2;
        const long double ys = static_cast<long double>(h) / n / 2;
        for (int i = 0; i <= n; ++i) {
            const int left = Round(i * xs), top = Round(i * ys);
            const int right = w - left, bottom = h - top;
            const fw::TColor colour = BandColor(i, n);
            c.Pen().SetColor(colour);
            c.Brush().SetColor(colour);
            if (FStyle == grEllipse)
                c.Ellipse(left, top, right, bottom);
            else if (FStyle == grPyramid)
                c.FillRect(fw::TRect{left, top, right, bottom});
            else
                c.RoundRect(left, top, right, bottom, (right - left) / 2, (bottom - top) / 2);
        }
        break;
    }
    }
}

} // namespace vel
