// The frame of windowed controls: the border of the window style, the 3D
// look, the bevels and the border width, and the anchored children's
// placement when a parent resizes.
#include "Canvas.h"
#include "Controls.h"
#include "Font.h"
#include "Input.h"
#include "ScopeExit.h"

#include <algorithm>

namespace fw {
namespace {

int BevelSize(const TWinControl& c) {
    if (c.BevelKind() == bkNone) return 0;
    return c.BevelWidth() * ((c.BevelInner() != bvNone) + (c.BevelOuter() != bvNone));
}

TRect Inset(const TRect& R, const TRect& By) {
    return TRect{R.Left + By.Left, R.Top + By.Top, R.Right - By.Right, R.Bottom - By.Bottom};
}

unsigned EdgeFlags(TBevelEdges Edges) {
    return ((Edges & beLeft) ? BF_LEFT : 0u) | ((Edges & beTop) ? BF_TOP : 0u) |
           ((Edges & beRight) ? BF_RIGHT : 0u) | ((Edges & beBottom) ? BF_BOTTOM : 0u);
}

// One bevel of Width pixels on the given sides, raised or lowered.
void DrawBevel(TCanvas& C, TRect R, TBevelCut Cut, int Width, unsigned Sides, TBevelKind Kind) {
    const bool raised = Cut == bvRaised;
    TColor light = Kind == bkFlat ? clBtnShadow : raised ? clBtnHighlight : clBtnShadow;
    TColor dark = Kind == bkFlat ? clBtnShadow : raised ? clBtnShadow : clBtnHighlight;
    if (Kind == bkSoft && !raised) dark = clBtnFace;
    C.Brush().SetStyle(bsSolid);
    for (int i = 0; i < Width; ++i) {
        C.Brush().SetColor(light);
        if (Sides & BF_LEFT) C.FillRect(TRect{R.Left, R.Top, R.Left + 1, R.Bottom});
        if (Sides & BF_TOP) C.FillRect(TRect{R.Left, R.Top, R.Right, R.Top + 1});
        C.Brush().SetColor(dark);
        if (Sides & BF_RIGHT) C.FillRect(TRect{R.Right - 1, R.Top, R.Right, R.Bottom});
        if (Sides & BF_BOTTOM) C.FillRect(TRect{R.Left, R.Bottom - 1, R.Right, R.Bottom});
        R = TRect{R.Left + ((Sides & BF_LEFT) ? 1 : 0), R.Top + ((Sides & BF_TOP) ? 1 : 0),
                  R.Right - ((Sides & BF_RIGHT) ? 1 : 0), R.Bottom - ((Sides & BF_BOTTOM) ? 1 : 0)};
    }
}

} // namespace

TRect TWinControl::StyleFrameInsets() const {
    if (!(ControlStyle() & csNonClientFrame) || !FHandle) return {};
    const std::uint32_t style = GetWindowStyle(FHandle);
    const std::uint32_t ex = GetWindowExStyle(FHandle);
    int x = 0, y = 0;
    if (style & WS_THICKFRAME) {
        x += GetSystemMetrics(SM_CXFRAME);
        y += GetSystemMetrics(SM_CYFRAME);
    } else if (style & WS_BORDER) {
        x += GetSystemMetrics(SM_CXBORDER);
        y += GetSystemMetrics(SM_CYBORDER);
    }
    if (ex & WS_EX_CLIENTEDGE) {
        x += GetSystemMetrics(SM_CXEDGE);
        y += GetSystemMetrics(SM_CYEDGE);
    }
    return TRect{x, y, x, y};
}

TRect TWinControl::FrameInsets() const {
    TRect r = StyleFrameInsets();
    const int bevel = BevelSize(*this);
    if (FBevelEdges & beLeft) r.Left += bevel;
    if (FBevelEdges & beTop) r.Top += bevel;
    if (FBevelEdges & beRight) r.Right += bevel;
    if (FBevelEdges & beBottom) r.Bottom += bevel;
    return TRect{r.Left + FBorderWidth, r.Top + FBorderWidth, r.Right + FBorderWidth,
                 r.Bottom + FBorderWidth};
}

void TWinControl::PaintFrame(TCanvas& C, TColor Fill) const {
    TRect r = Bounds(0, 0, Width(), Height());
    const TRect style = StyleFrameInsets();
    if (style != TRect{}) {
        const std::uint32_t ex = GetWindowExStyle(FHandle);
        TRect e = r;
        if (ex & WS_EX_CLIENTEDGE) {
            const int b = style.Left - GetSystemMetrics(SM_CXEDGE);
            if (b > 0) {
                C.Brush().SetColor(clWindowFrame);
                for (int i = 0; i < b; ++i) C.FrameRect(TRect{e.Left + i, e.Top + i, e.Right - i, e.Bottom - i});
                e = Inset(e, TRect{b, b, b, b});
            }
            C.DrawEdge(e, FCtl3D ? EDGE_SUNKEN : BDR_SUNKENOUTER, BF_RECT);
        } else {
            C.Brush().SetColor(clWindowFrame);
            for (int i = 0; i < style.Left; ++i) C.FrameRect(TRect{e.Left + i, e.Top + i, e.Right - i, e.Bottom - i});
        }
        r = Inset(r, style);
    }
    if (FBevelKind != bkNone && BevelSize(*this) > 0) {
        const unsigned sides = EdgeFlags(FBevelEdges);
        if (FBevelOuter != bvNone) {
            DrawBevel(C, r, FBevelOuter, FBevelWidth, sides, FBevelKind);
            r = Inset(r, TRect{(sides & BF_LEFT) ? FBevelWidth : 0, (sides & BF_TOP) ? FBevelWidth : 0,
                               (sides & BF_RIGHT) ? FBevelWidth : 0, (sides & BF_BOTTOM) ? FBevelWidth : 0});
        }
        if (FBevelInner != bvNone) {
            DrawBevel(C, r, FBevelInner, FBevelWidth, sides, FBevelKind);
            r = Inset(r, TRect{(sides & BF_LEFT) ? FBevelWidth : 0, (sides & BF_TOP) ? FBevelWidth : 0,
                               (sides & BF_RIGHT) ? FBevelWidth : 0, (sides & BF_BOTTOM) ? FBevelWidth : 0});
        }
    }
    if (FBorderWidth > 0) {
        const TRect in = Inset(r, TRect{FBorderWidth, FBorderWidth, FBorderWidth, FBorderWidth});
        C.Brush().SetStyle(bsSolid);
        C.Brush().SetColor(Fill);
        C.FillRect(TRect{r.Left, r.Top, r.Right, in.Top});
        C.FillRect(TRect{r.Left, in.Bottom, r.Right, r.Bottom});
        C.FillRect(TRect{r.Left, in.Top, in.Left, in.Bottom});
        C.FillRect(TRect{in.Right, in.Top, r.Right, in.Bottom});
    }
}

void TWinControl::BevelChanged() {
    NonClientChanged();
    InvalidateNonClient();
}

void TWinControl::SetBevelEdges(TBevelEdges Value) {
    if (Value == FBevelEdges) return;
    FBevelEdges = Value & beAll;
    BevelChanged();
}

void TWinControl::SetBevelInner(TBevelCut Value) {
    if (Value == FBevelInner) return;
    FBevelInner = Value;
    BevelChanged();
}

void TWinControl::SetBevelOuter(TBevelCut Value) {
    if (Value == FBevelOuter) return;
    FBevelOuter = Value;
    BevelChanged();
}

void TWinControl::SetBevelKind(TBevelKind Value) {
    if (Value == FBevelKind) return;
    FBevelKind = Value;
    BevelChanged();
}

void TWinControl::SetBevelWidth(int Value) {
    Value = std::max(Value, 1);
    if (Value == FBevelWidth) return;
    FBevelWidth = Value;
    BevelChanged();
}

void TWinControl::SetBorderWidth(int Value) {
    Value = std::max(Value, 0);
    if (Value == FBorderWidth) return;
    FBorderWidth = Value;
    BevelChanged();
    Perform(CM_BORDERCHANGED, 0, 0);
}

void TWinControl::SetCtl3D(bool Value) {
    FParentCtl3D = false;
    if (Value == FCtl3D) return;
    FCtl3D = Value;
    Perform(CM_CTL3DCHANGED, 0, 0);
}

void TWinControl::SetParentCtl3D(bool Value) {
    if (Value == FParentCtl3D) return;
    FParentCtl3D = Value;
    if (Value && Parent()) Perform(CM_PARENTCTL3DCHANGED, 0, 0);
}

void TWinControl::AnchorChildren() {
    const TSize now{ClientWidth(), ClientHeight()};
    const TSize was = FAnchorClient;
    FAnchorClient = now;
    if (was.cx < 0 || was == now) return;
    const int dx = now.cx - was.cx, dy = now.cy - was.cy;
    const THeldList<TControl> children(FChildren);
    for (TControl* c : children) {
        if (c->Align() != alNone) continue;
        const TAnchors a = c->Anchors();
        int l = c->Left(), t = c->Top(), w = c->Width(), h = c->Height();
        if ((a & akLeft) && (a & akRight)) w += dx;
        else if (a & akRight) l += dx;
        else if (!(a & akLeft)) l += dx / 2;
        if ((a & akTop) && (a & akBottom)) h += dy;
        else if (a & akBottom) t += dy;
        else if (!(a & akTop)) t += dy / 2;
        c->SetBounds(l, t, w, h);
    }
}

void TControl::ChangeScale(int M, int D) {
    if (M == D || D == 0) return;
    auto Scale = [M, D](int V) {
        return static_cast<int>(static_cast<std::int64_t>(V) * M / D);
    };
    const bool Placed = Parent() != nullptr;
    SetBounds(Placed ? Scale(FLeft) : FLeft, Placed ? Scale(FTop) : FTop, Scale(FWidth),
              Scale(FHeight));
    if (!FParentFont) FFont->SetSize(Scale(FFont->Size()));
}

void TWinControl::ChangeScale(int M, int D) {
    if (M == D || D == 0) return;
    DisableAlign();
    TScopeExit Align([this] { EnableAlign(); });
    // The children are placed by the scale, not by their anchors.
    FAnchorClient = TSize{-1, -1};
    TControl::ChangeScale(M, D);
    FAnchorClient = TSize{ClientWidth(), ClientHeight()};
    const THeldList<TControl> children(FChildren);
    for (TControl* c : children) c->ChangeScale(M, D);
    Align.Leave();
}

} // namespace fw
