#include "Controls.h"

#include "Canvas.h"
#include "DragCtrls.h"
#include "Forms.h"
#include "Hooks.h"
#include "Input.h"
#include "NoDestroy.h"
#include "Png.h"
#include "ScopeExit.h"
#include "Screen.h"
#include "ScrollBars.h"

#include <algorithm>
#include <cstdlib>

namespace fw {
namespace {

// Top-level windows that are showing, bottom to top.
std::vector<TWinControl*>& TopLevels() {
    static TNoDestroy<std::vector<TWinControl*>> list;
    return *list;
}

void FillSurface(const TPaintTarget& t, const TRect& r, TColor color) {
    if (!t.Surface) return;
    TRect area = IntersectRect(r, t.Clip);
    area = IntersectRect(area, TRect{0, 0, t.Surface->Width, t.Surface->Height});
    if (area.IsEmpty()) return;
    const std::uint32_t px = ColorToPixel32(color);
    for (int y = area.Top; y < area.Bottom; ++y)
        std::fill(t.Surface->Row(y) + area.Left, t.Surface->Row(y) + area.Right, px);
}

void AttachCanvas(TCanvas& canvas, const TPaintTarget& t, const TControl& c) {
    canvas.Attach(t.Surface, t.Origin, t.Clip);
    canvas.Font().Assign(c.Font());
    canvas.Brush().SetColor(c.Color());
}

void DetachCanvas(TCanvas& canvas) {
    canvas.Attach(nullptr, TPoint{}, TRect{});
}

// The target for a child at (dx, dy) inside the parent's target, clipped to the child.
TPaintTarget ChildTarget(const TPaintTarget& t, const TControl& child) {
    TPaintTarget r;
    r.Surface = t.Surface;
    r.Origin = TPoint{t.Origin.X + child.Left(), t.Origin.Y + child.Top()};
    r.Clip = IntersectRect(t.Clip, Bounds(r.Origin.X, r.Origin.Y, child.Width(), child.Height()));
    return r;
}

// A parent's client area in its own window coordinates.
TRect ClientInWindow(const TControl& c) {
    const TPoint o = c.ClientOffset();
    return OffsetRect(c.ClientRect(), o.X, o.Y);
}

} // namespace

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
    FFont->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
    SetState(TComponentStateItem::Destroying);
    FFont->OnChange = nullptr;
    ForgetControl(this);
    if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (AParent == this) throw EComponentError("A control cannot be its own parent");
    for (TWinControl* p = AParent; p; p = p->Parent())
        if (p == this) throw EComponentError("A control cannot be placed inside itself");
    const TCallHold hold(std::vector<TControl*>{this, AParent}); // leaving the old one calls out
    if (FParent) FParent->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const {
    return FParent;
}

void TControl::Withdraw() {
    FVisible = false;
    ForgetControl(this);
    if (FParent) FParent->RemoveControl(this);
    TComponent::Withdraw();
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (FConstraints.MaxWidth > 0) AWidth = std::min(AWidth, FConstraints.MaxWidth);
    if (FConstraints.MaxHeight > 0) AHeight = std::min(AHeight, FConstraints.MaxHeight);
    AWidth = std::max({AWidth, FConstraints.MinWidth, 0});
    AHeight = std::max({AHeight, FConstraints.MinHeight, 0});
    if ((AWidth != FWidth || AHeight != FHeight) && !CanResize(AWidth, AHeight)) {
        AWidth = FWidth;
        AHeight = FHeight;
    }
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    const bool sized = AWidth != FWidth || AHeight != FHeight;
    const bool moved = ALeft != FLeft || ATop != FTop;
    if (FParent) FParent->InvalidateRect(BoundsRect());
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (moved) Perform(WM_MOVE, 0, MakeLParam(FLeft, FTop));
    if (sized) Perform(WM_SIZE, 0, MakeLParam(ClientWidth(), ClientHeight()));
    if (FParent && FAlign != alNone && !(FParent->FControlState & csAligning)) FParent->Realign();
    Invalidate();
}

TPoint TControl::ClientOrigin() const {
    const TPoint p = FParent ? FParent->ClientOrigin() : TPoint{};
    return TPoint{p.X + FLeft + FNonClient.Left, p.Y + FTop + FNonClient.Top};
}

void TControl::SetConstraints(const TSizeConstraints& Value) {
    if (Value == FConstraints) return;
    FConstraints = Value;
    SetBounds(FLeft, FTop, FWidth, FHeight);
}

TPoint TControl::ClientToScreen(TPoint P) const {
    const TPoint o = ClientOrigin();
    return TPoint{P.X + o.X, P.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint P) const {
    const TPoint o = ClientOrigin();
    return TPoint{P.X - o.X, P.Y - o.Y};
}

void TControl::SetAlign(TAlign Value) {
    if (Value == FAlign) return;
    FAlign = Value;
    if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool Value) {
    if (Value == FVisible) return;
    if (FParent) FParent->InvalidateRect(BoundsRect());
    FVisible = Value;
    Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
    // Each call out may free this control and so cut it from its parent.
    if (FParent && FAlign != alNone) FParent->Realign();
    if (FParent) FParent->InvalidateRect(BoundsRect());
}

bool TControl::Showing() const {
    if (!FVisible) return false;
    if (FParent) return FParent->Showing();
    const auto& tops = TopLevels();
    return std::find(tops.begin(), tops.end(), this) != tops.end();
}

void TControl::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

bool TControl::EnabledInChain() const {
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FEnabled) return false;
    return true;
}

void TControl::SetColor(TColor Value) {
    if (Value != FColor) {
        FColor = Value;
        Perform(CM_COLORCHANGED, 0, 0);
    }
    FParentColor = false;
}

void TControl::SetParentColor(bool Value) {
    if (Value == FParentColor) return;
    FParentColor = Value;
    if (Value) ApplyParentColor();
}

void TControl::ApplyParentColor() {
    if (!FParentColor || !FParent) return;
    if (FParent->FColor != FColor) {
        FColor = FParent->FColor;
        Perform(CM_COLORCHANGED, 0, 0);
    }
}

void TControl::SetParentFont(bool Value) {
    if (Value == FParentFont) return;
    FParentFont = Value;
    if (Value) ApplyParentFont();
}

void TControl::ApplyParentFont() {
    if (!FParentFont || !FParent || FFont->SameAs(*FParent->FFont)) return;
    FFontAssigning = true;
    TScopeExit reset([this] { FFontAssigning = false; });
    FFont->Assign(*FParent->FFont);
}

void TControl::FontChanged() {
    if (!FFontAssigning) FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetText(const std::string& Value) {
    if (Value == FText) return;
    FText = Value;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetShowHint(bool Value) {
    FParentShowHint = false;
    if (Value == FShowHint) return;
    FShowHint = Value;
    Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool Value) {
    if (Value == FParentShowHint) return;
    FParentShowHint = Value;
    if (Value) ApplyParentShowHint();
}

void TControl::ApplyParentShowHint() {
    if (!FParentShowHint || !FParent || FParent->FShowHint == FShowHint) return;
    FShowHint = FParent->FShowHint;
    Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    FCursor = Value;
    Perform(CM_CURSORCHANGED, 0, 0);
}

bool TControl::MouseCapture() const {
    return GetCaptureControl() == this;
}

void TControl::SetMouseCapture(bool Value) {
    if (Value == MouseCapture()) return;
    SetCaptureControl(Value ? this : nullptr);
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    CallWindowProc(m);
    return m.Result;
}

void TControl::CallWindowProc(TMessage& Message) {
    if (Gone(this)) return;
    const TCallHold hold(this);
    RunHandlerProbe();
    if (Gone(this)) return; // the probe, standing for a handler, may free it
    // A copy: the control may set or clear its window handler while it runs.
    if (const TWndMethod Proc = FWindowProc)
        Proc(Message);
    else
        WndProc(Message);
}

void TControl::WndProc(TMessage& Message) {
    // An automatic drag starts with the press, which the control then never sees.
    if ((Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) &&
        FDragMode == dmAutomatic && FDragKind == dkDrag &&
        !InState(TComponentStateItem::Designing)) {
        BeginDrag(this, false);
        return;
    }
    if (Message.Msg >= WM_MOUSEMOVE && Message.Msg <= WM_MBUTTONDBLCLK) {
        HandleMouseMessage(Message);
        return;
    }
    Dispatch(Message);
}

void TControl::HandleMouseMessage(TMessage& Message) {
    const UINT msg = Message.Msg;
    const bool down = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
    if (down) {
        if (FControlStyle & csCaptureMouse) SetMouseCapture(true);
        if (FControlStyle & csClickEvents) FControlState |= csClicked;
        FControlState |= csLButtonDown;
    } else if (msg == WM_LBUTTONUP) {
        // Letting go of the capture ourselves is no lost click.
        const TControlState clicked = FControlState & csClicked;
        if (FControlStyle & csCaptureMouse) SetMouseCapture(false);
        FControlState = (FControlState & ~csLButtonDown) | clicked;
    }
    Dispatch(Message);
}

bool TControl::DispatchMouse(TMessage& Message) {
    const TPoint pt = LParamToPoint(Message.LParam);
    const TShiftState keys = KeysToShiftState(Message.WParam);
    switch (Message.Msg) {
    case WM_MOUSEMOVE:
        MouseMove(keys, pt.X, pt.Y);
        return true;
    case WM_LBUTTONDOWN:
        MouseDown(mbLeft, keys, pt.X, pt.Y);
        return true;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, keys, pt.X, pt.Y);
        return true;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, keys, pt.X, pt.Y);
        return true;
    case WM_LBUTTONDBLCLK:
        if (FControlStyle & csClickEvents) DblClick();
        if (!Gone(this)) MouseDown(mbLeft, keys | ssDouble, pt.X, pt.Y);
        return true;
    case WM_RBUTTONDBLCLK:
        MouseDown(mbRight, keys | ssDouble, pt.X, pt.Y);
        return true;
    case WM_MBUTTONDBLCLK:
        MouseDown(mbMiddle, keys | ssDouble, pt.X, pt.Y);
        return true;
    case WM_LBUTTONUP:
        if (FControlState & csClicked) {
            FControlState &= ~csClicked;
            if (ClientRect().Contains(pt)) Click();
        }
        if (!Gone(this)) MouseUp(mbLeft, keys, pt.X, pt.Y); // the click may have freed it
        return true;
    case WM_RBUTTONUP:
        MouseUp(mbRight, keys, pt.X, pt.Y);
        return true;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, keys, pt.X, pt.Y);
        return true;
    default:
        return false;
    }
}

bool TControl::DispatchWheel(TMessage& Message) {
    if (Message.Msg == WM_MOUSEWHEEL) {
        // Offered to the control, then up the parent chain until handled.
        const WPARAM shift = KeysToShiftState(Message.WParam & 0xFFFF);
        const WPARAM w = (Message.WParam & 0xFFFF0000u) | shift;
        Message.Result = Perform(CM_MOUSEWHEEL, w, Message.LParam);
        if (!Message.Result && FParent)
            Message.Result = FParent->Perform(WM_MOUSEWHEEL, Message.WParam, Message.LParam);
        return true;
    }
    if (Message.Msg == CM_MOUSEWHEEL) {
        const auto delta = static_cast<std::int16_t>((Message.WParam >> 16) & 0xFFFF);
        const TShiftState shift = static_cast<TShiftState>(Message.WParam & 0xFFFF);
        Message.Result = DoMouseWheel(shift, delta, LParamToPoint(Message.LParam)) ? 1 : 0;
        return true;
    }
    return false;
}

void TControl::Dispatch(TMessage& Message) {
    if (DispatchMouse(Message) || DispatchWheel(Message)) return;
    switch (Message.Msg) {
    case WM_CAPTURECHANGED:
        FControlState &= ~(csLButtonDown | csClicked);
        break;
    case WM_SIZE:
        Resize();
        break;
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        Invalidate();
        break;
    case CM_PARENTCOLORCHANGED:
        ApplyParentColor();
        break;
    case CM_PARENTFONTCHANGED:
        ApplyParentFont();
        break;
    case CM_PARENTSHOWHINTCHANGED:
        ApplyParentShowHint();
        break;
    case CM_HITTEST:
        Message.Result = HTCLIENT; // the whole client area is hit unless a control says otherwise
        return;
    case WM_CONTEXTMENU:
        ContextMenuMessage(Message);
        return;
    default:
        break;
    }
    DefaultHandler(Message);
}

void TWinControl::AskContextMenu(int X, int Y) {
    if (HandleAllocated())
        Perform(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Handle()),
                PointToLParam(ClientToScreen(TPoint{X, Y})));
}

void TControl::ContextMenuMessage(TMessage& Message) {
    // LParam: the screen point, or -1 for a request from the keyboard.
    const TPoint P =
        Message.LParam == -1 ? TPoint{-1, -1} : ScreenToClient(LParamToPoint(Message.LParam));
    bool Handled = false;
    DoContextPopup(P, Handled);
    Message.Result = Handled ? 1 : 0;
    if (Handled) return;
    if (FParent)
        Message.Result = FParent->Perform(WM_CONTEXTMENU, Message.WParam, Message.LParam);
    else
        DefaultHandler(Message);
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled) {
    // A copy: the handler may replace itself.
    if (const TContextPopupEvent Handler = OnContextPopup) Handler(this, MousePos, Handled);
}

void TControl::DefaultHandler(TMessage& Message) {
    if (Message.Msg == CM_DRAG || Message.Msg == CM_DRAGSTART || Message.Msg == CM_DRAGEND)
        DefaultDragHandler(*this, Message);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    CallHandler(OnMouseDown, this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    CallHandler(OnMouseMove, this, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    CallHandler(OnMouseUp, this, Button, Shift, X, Y);
}
bool TControl::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
    bool handled = false;
    CallHandler(OnMouseWheel, this, Shift, WheelDelta, MousePos, handled);
    return handled;
}
void TControl::Resize() {
    CallHandler(OnResize, this);
}
bool TControl::CanResize(int&, int&) {
    return true;
}
void TControl::Click() {
    CallHandler(OnClick, this);
}
void TControl::DblClick() {
    CallHandler(OnDblClick, this);
}
void TControl::Changed() {
    Invalidate();
}

bool TControl::WindowArea(TRect& R, const TWinControl*& TopLevel) const {
    R = ClientInWindow(*this);
    const TControl* c = this;
    while (c->FParent) {
        if (!c->FVisible) return false;
        const TPoint o = c->FParent->ClientOffset();
        R = IntersectRect(OffsetRect(R, c->FLeft + o.X, c->FTop + o.Y),
                          ClientInWindow(*c->FParent));
        c = c->FParent;
    }
    if (!c->FVisible || !c->IsWindowed()) return false;
    TopLevel = static_cast<const TWinControl*>(c);
    return !R.IsEmpty();
}

void TControl::Invalidate() {
    InvalidateRect(ClientRect());
}

void TControl::InvalidateRect(const TRect& R) {
    InvalidateWindowArea(OffsetRect(IntersectRect(R, ClientRect()), FNonClient.Left, FNonClient.Top));
}

void TControl::InvalidateWindowArea(const TRect& R) {
    TRect area = IntersectRect(R, Bounds(0, 0, FWidth, FHeight));
    if (area.IsEmpty()) return;
    const TControl* c = this;
    while (c->FParent) {
        if (!c->FVisible) return;
        const TPoint o = c->FParent->ClientOffset();
        area = IntersectRect(OffsetRect(area, c->FLeft + o.X, c->FTop + o.Y),
                             ClientInWindow(*c->FParent));
        if (area.IsEmpty()) return;
        c = c->FParent;
    }
    if (!c->FVisible || !c->IsWindowed()) return;
    const_cast<TWinControl*>(static_cast<const TWinControl*>(c))->AddUpdate(area);
}

void TControl::Update() {
    const TControl* c = this;
    while (c->FParent)
        c = c->FParent;
    if (c->IsWindowed()) const_cast<TWinControl*>(static_cast<const TWinControl*>(c))->PaintNow();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (FParent) {
        auto& list = FParent->FChildren;
        std::erase(list, this);
        list.push_back(this);
        Invalidate();
    } else if (IsWindowed()) {
        auto& tops = TopLevels();
        if (std::find(tops.begin(), tops.end(), this) != tops.end()) {
            std::erase(tops, this);
            tops.push_back(static_cast<TWinControl*>(this));
        }
    }
}

void TControl::SendToBack() {
    if (FParent) {
        auto& list = FParent->FChildren;
        std::erase(list, this);
        list.insert(list.begin(), this);
        FParent->InvalidateRect(BoundsRect());
    } else if (IsWindowed()) {
        auto& tops = TopLevels();
        if (std::find(tops.begin(), tops.end(), this) != tops.end()) {
            std::erase(tops, this);
            tops.insert(tops.begin(), static_cast<TWinControl*>(this));
        }
    }
}

// ------------------------------------------------------------- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    SetState(TComponentStateItem::Destroying);
    FWindowProc = nullptr; // a subclassing procedure may belong to a derived part already gone
    // Children go with their parent; unowned ones are only let go of, since
    // whoever holds them frees them.
    while (!FChildren.empty()) {
        TControl* child = FChildren.back();
        if (TComponent* owner = child->Owner()) {
            child->SetState(TComponentStateItem::Destroying); // nothing frees it a second time
            std::unique_ptr<TComponent> held = owner->RemoveComponent(child);
            if (held) {
                held.reset();
                continue;
            }
        }
        RemoveControl(child);
    }
    RemoveFromTopLevel();
    DestroyHandle();
}

void TWinControl::Withdraw() {
    // What went with it has withdrawn already: the rest is let go.
    while (!FChildren.empty())
        RemoveControl(FChildren.back());
    RemoveFromTopLevel();
    DestroyHandle();
    TControl::Withdraw();
}

void TWinControl::GetContained(std::vector<TComponent*>& List) const {
    List.insert(List.end(), FChildren.begin(), FChildren.end());
}

HWND TWinControl::Handle() {
    if (!FHandle && !InState(TComponentStateItem::Destroying)) {
        const TCallHold hold(this); // making it calls out (its parent's window first)
        CreateHandle();
    }
    return FHandle;
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    CreateWnd();
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params = TCreateParams{};
    Params.Caption = Text();
    Params.X = Left();
    Params.Y = Top();
    Params.Width = Width();
    Params.Height = Height();
    Params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (Parent()) {
        Params.Style |= WS_CHILD;
        Params.WndParent = Parent()->Handle();
    }
    if (Visible()) Params.Style |= WS_VISIBLE;
    if (!Enabled()) Params.Style |= WS_DISABLED;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    Params.WindowClassStyle = CS_HREDRAW | CS_VREDRAW;
    if (ControlStyle() & csDoubleClicks) Params.WindowClassStyle |= CS_DBLCLKS;
}

void TWinControl::CreateWnd() {
    TControlState saved = ControlState();
    SetControlState(saved | csCreating);
    TScopeExit restore([this] { SetControlState(ControlState() & ~csCreating); });
    TCreateParams params;
    CreateParams(params);
    // Child windows belong to their parent; top-level ones have an owner.
    FHandle = CreateWindowHandle(
        [this](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            TMessage m{msg, w, l, 0};
            MainWndProc(m);
            return m.Result;
        },
        Parent() ? nullptr : params.WndParent, params.Style, params.ExStyle,
        params.WindowClassStyle);
    SetWindowControl(FHandle, this);
    NonClientChanged(); // the frame its style asks for
    if (!Parent() && Visible()) {
        std::erase(TopLevels(), this);
        TopLevels().push_back(this);
        AddUpdate(Bounds(0, 0, Width(), Height()));
    }
    Perform(WM_CREATE, 0, 0);
}

void TWinControl::DestroyWnd() {
    HWND h = FHandle;
    FHandle = nullptr;
    DestroyWindowHandle(h);
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    const THeldList<TControl> children(FChildren);
    for (TControl* c : children)
        if (c->IsWindowed()) static_cast<TWinControl*>(c)->DestroyHandle();
    const HWND h = FHandle;
    if (FScrollBars) FScrollBars->Track = TScrollTracking{}; // a bar press ends with its window
    if (InState(TComponentStateItem::Destroying)) {
        ForgetControl(this); // no notifications to a half-destroyed control
    } else {
        if (GetFocus() == h) fw::SetFocus(nullptr);
        if (GetCapture() == h) ReleaseCapture();
    }
    SendMessage(h, WM_DESTROY, 0, 0);
    SetWindowControl(h, nullptr);
    DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    DestroyHandle();
    CreateHandle();
    Invalidate();
}

void TWinControl::MainWndProc(TMessage& Message) {
    const TCallHold hold(this);
    // A press on a scroll bar holds the mouse until it is let go.
    if (FScrollBars && FScrollBars->Track.Bar >= 0 && TrackScrollBar(*this, Message)) return;
    if (const TMessageFilter* filter = FindControlMessageFilter(Message.Msg)) {
        const TMessageFilter f = *filter; // it may replace itself while running
        f(this, Message, [this, &Message] { CallWindowProc(Message); });
        return;
    }
    CallWindowProc(Message);
}

void TWinControl::WndProc(TMessage& Message) {
    if (Message.Msg >= WM_MOUSEMOVE && Message.Msg <= WM_MBUTTONDBLCLK) {
        // Mouse input over a graphic child (or held by one) goes to it.
        TControl* target = nullptr;
        TControl* capture = GetCaptureControl();
        if (capture && GetCapture() == FHandle && capture != this) {
            if (capture->Parent() == this) target = capture;
        } else if (!capture || capture == this) {
            target = ControlAtPos(LParamToPoint(Message.LParam), false);
        }
        if (target) {
            TMessage m = Message;
            const TPoint p = LParamToPoint(Message.LParam);
            m.LParam = MakeLParam(p.X - target->Left(), p.Y - target->Top());
            if (!(target->ControlStyle() & csDoubleClicks) &&
                (m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK ||
                 m.Msg == WM_MBUTTONDBLCLK))
                m.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
            Message.Result = target->Perform(m.Msg, m.WParam, m.LParam);
            return;
        }
    }
    TControl::WndProc(Message);
}

TControl* TWinControl::Controls(int Index) const {
    if (Index < 0 || Index >= ControlCount())
        throw EComponentError("Control index out of bounds (" + std::to_string(Index) + ")");
    return FChildren[static_cast<std::size_t>(Index)];
}

void TWinControl::InsertControl(TControl* AControl) {
    if (!AControl || AControl->FParent == this) return;
    const TCallHold hold(std::vector<TControl*>{this, AControl});
    if (AControl->FParent) AControl->FParent->RemoveControl(AControl);
    if (AControl->IsWindowed()) static_cast<TWinControl*>(AControl)->RemoveFromTopLevel();
    FChildren.push_back(AControl);
    AControl->FParent = this;
    AControl->ApplyParentColor();
    AControl->ApplyParentFont();
    AControl->ApplyParentShowHint();
    if (AControl->IsWindowed()) AControl->Perform(CM_PARENTCTL3DCHANGED, 0, 0);
    if (FAnchorClient.cx < 0) FAnchorClient = TSize{ClientWidth(), ClientHeight()};
    if (AControl->FAlign != alNone) Realign();
    AControl->Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
    if (!AControl || AControl->FParent != this) return;
    InvalidateRect(AControl->BoundsRect());
    if (AControl->IsWindowed()) {
        const TCallHold hold(std::vector<TControl*>{this, AControl});
        static_cast<TWinControl*>(AControl)->DestroyHandle();
        if (AControl->FParent != this) return; // its window's end moved it meanwhile
    }
    ForgetControl(AControl);
    std::erase(FChildren, AControl);
    AControl->FParent = nullptr;
    if (AControl->FAlign != alNone && !InState(TComponentStateItem::Destroying)) Realign();
}

bool TWinControl::ContainsControl(const TControl* AControl) const {
    for (const TControl* c = AControl; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls) const {
    for (auto it = FChildren.rbegin(); it != FChildren.rend(); ++it) {
        TControl* c = *it;
        if (!AllowWinControls && c->IsWindowed()) continue;
        if (!c->Visible() || (!AllowDisabled && !c->Enabled())) continue;
        if (c->BoundsRect().Contains(Pos)) return c;
    }
    return nullptr;
}

void TWinControl::EnableAlign() {
    if (FAlignLevel > 0 && --FAlignLevel == 0 && FAlignPending) Realign();
}

void TWinControl::Realign() {
    if (FAlignLevel > 0 || (ControlState() & csAligning)) {
        FAlignPending = true;
        return;
    }
    FAlignPending = false;
    SetControlState(ControlState() | csAligning);
    TScopeExit restore([this] { SetControlState(ControlState() & ~csAligning); });
    TRect rect = ClientRect();
    AlignControls(nullptr, rect);
}

void TWinControl::AlignControls(TControl*, TRect& Rect) {
    // Top, bottom, left and right bands in their stored order, then the client.
    auto place = [&](TAlign kind) {
        std::vector<TControl*> list;
        for (TControl* c : FChildren)
            if (c->Align() == kind && c->Visible()) list.push_back(c);
        std::stable_sort(list.begin(), list.end(), [kind](TControl* a, TControl* b) {
            switch (kind) {
            case alTop:
                return a->Top() < b->Top();
            case alBottom:
                return a->Top() + a->Height() > b->Top() + b->Height();
            case alLeft:
                return a->Left() < b->Left();
            case alRight:
                return a->Left() + a->Width() > b->Left() + b->Width();
            default:
                return false;
            }
        });
        const TCallHold hold(list);
        for (TControl* c : list) {
            const int w = std::max(Rect.Width(), 0), h = std::max(Rect.Height(), 0);
            switch (kind) {
            case alTop:
                c->SetBounds(Rect.Left, Rect.Top, w, std::min(c->Height(), h));
                Rect.Top += c->Height();
                break;
            case alBottom:
                c->SetBounds(Rect.Left, Rect.Bottom - std::min(c->Height(), h), w,
                             std::min(c->Height(), h));
                Rect.Bottom -= c->Height();
                break;
            case alLeft:
                c->SetBounds(Rect.Left, Rect.Top, std::min(c->Width(), w), h);
                Rect.Left += c->Width();
                break;
            case alRight:
                c->SetBounds(Rect.Right - std::min(c->Width(), w), Rect.Top,
                             std::min(c->Width(), w), h);
                Rect.Right -= c->Width();
                break;
            case alClient:
                c->SetBounds(Rect.Left, Rect.Top, w, h);
                break;
            default:
                break;
            }
        }
    };
    place(alTop);
    place(alBottom);
    place(alLeft);
    place(alRight);
    place(alClient);
}

bool TWinControl::Focused() const {
    return FHandle && GetFocus() == FHandle;
}

bool TWinControl::CanFocus() const {
    return Showing() && EnabledInChain();
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EComponentError("Cannot focus a disabled or invisible window");
    fw::SetFocus(Handle());
}

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    int order = 0;
    for (TControl* c : Parent()->FChildren) {
        if (c == this) return order;
        if (c->IsWindowed()) ++order;
    }
    return -1;
}

void TWinControl::SetTabOrder(int Value) {
    if (!Parent()) return;
    auto& list = Parent()->FChildren;
    std::erase(list, static_cast<TControl*>(this));
    int order = 0;
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        if (!(*it)->IsWindowed()) continue;
        if (order == Value) break;
        ++order;
    }
    list.insert(it, this);
}

void TWinControl::Invalidate() {
    InvalidateRect(ClientRect());
}

void TWinControl::SetVisible(bool Value) {
    if (Value == Visible()) return;
    if (Value && !Parent()) Handle(); // showing a top-level window creates it
    TControl::SetVisible(Value);
    if (FHandle) {
        const std::uint32_t style = GetWindowStyle(FHandle);
        SetWindowStyle(FHandle, Value ? (style | WS_VISIBLE) : (style & ~WS_VISIBLE));
        SendMessage(FHandle, WM_SHOWWINDOW, Value ? 1 : 0, 0);
    }
    if (!Parent()) {
        auto& tops = TopLevels();
        std::erase(tops, this);
        if (Value) {
            tops.push_back(this);
            FSurface.reset();
            AddUpdate(Bounds(0, 0, Width(), Height()));
        } else {
            FSurface.reset();
            FUpdateRect = TRect{};
            ScreenAreaChanged(BoundsRect());
        }
    }
    if (!Value) {
        HWND focus = GetFocus();
        TWinControl* focused = FindControl(focus);
        if (focused && ContainsControl(focused)) fw::SetFocus(nullptr);
    }
    NotifyShowing();
}

void TWinControl::NotifyShowing() {
    // Windowed controls inside hear that they started or stopped showing.
    const THeldList<TControl> children(FChildren);
    for (TControl* c : children) {
        if (!c->IsWindowed() || !c->Visible()) continue;
        auto* w = static_cast<TWinControl*>(c);
        w->Perform(CM_SHOWINGCHANGED, w->Showing() ? 1 : 0, 0);
        w->NotifyShowing();
    }
}

void TWinControl::SetEnabled(bool Value) {
    if (Value == Enabled()) return;
    TControl::SetEnabled(Value);
    if (FHandle) {
        const std::uint32_t style = GetWindowStyle(FHandle);
        SetWindowStyle(FHandle, Value ? (style & ~WS_DISABLED) : (style | WS_DISABLED));
        SendMessage(FHandle, WM_ENABLE, Value ? 1 : 0, 0);
    }
    if (!Value) {
        TWinControl* focused = FindControl(GetFocus());
        if (focused && ContainsControl(focused)) fw::SetFocus(nullptr);
    }
}

void TWinControl::SetText(const std::string& Value) {
    TControl::SetText(Value);
}

void TWinControl::RemoveFromTopLevel() {
    const bool Shown = std::erase(TopLevels(), this) > 0;
    FSurface.reset();
    FUpdateRect = TRect{};
    if (Shown) ScreenAreaChanged(BoundsRect()); // what lay below shows again
}

void TWinControl::AddUpdate(const TRect& R) {
    FUpdateRect = UnionRect(FUpdateRect, IntersectRect(R, Bounds(0, 0, Width(), Height())));
}

TWindowScrollBars& TWinControl::WindowScrollBars() {
    if (!FScrollBars) FScrollBars = std::make_unique<TWindowScrollBars>();
    return *FScrollBars;
}

void TWinControl::ScrollBarsChanged() {
    if (FHandle) {
        std::uint32_t style = GetWindowStyle(FHandle) & ~(WS_VSCROLL | WS_HSCROLL);
        if (FScrollBars && FScrollBars->Bars[SB_VERT].Shown) style |= WS_VSCROLL;
        if (FScrollBars && FScrollBars->Bars[SB_HORZ].Shown) style |= WS_HSCROLL;
        SetWindowStyle(FHandle, style);
    }
    NonClientChanged();
}

void TWinControl::NonClientChanged() {
    TRect area = FrameInsets();
    const bool vert = FScrollBars && FScrollBars->Bars[SB_VERT].Shown;
    const bool horz = FScrollBars && FScrollBars->Bars[SB_HORZ].Shown;
    const bool left = FHandle && (GetWindowExStyle(FHandle) & WS_EX_LEFTSCROLLBAR);
    if (vert) (left ? area.Left : area.Right) += GetSystemMetrics(SM_CXVSCROLL);
    if (horz) area.Bottom += GetSystemMetrics(SM_CYHSCROLL);
    if (area == FNonClient) return;
    const TSize old{ClientWidth(), ClientHeight()};
    FNonClient = area;
    InvalidateWindowArea(Bounds(0, 0, Width(), Height()));
    if (old != TSize{ClientWidth(), ClientHeight()})
        Perform(WM_SIZE, 0, MakeLParam(ClientWidth(), ClientHeight()));
}

void TWinControl::InvalidateNonClient() {
    const TRect c = ClientInWindow(*this);
    InvalidateWindowArea(TRect{0, 0, Width(), c.Top});
    InvalidateWindowArea(TRect{0, c.Bottom, Width(), Height()});
    InvalidateWindowArea(TRect{0, c.Top, c.Left, c.Bottom});
    InvalidateWindowArea(TRect{c.Right, c.Top, Width(), c.Bottom});
}

void TWinControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT: {
        if (Message.WParam) {
            PaintHandler(*reinterpret_cast<const TPaintTarget*>(Message.WParam));
        } else {
            PaintNow();
        }
        return;
    }
    case WM_SETFOCUS:
        if (TCustomForm* form = GetParentForm(this); form && form != this)
            form->FocusedControlChanged(this);
        Perform(CM_ENTER, 0, 0);
        break;
    case WM_KILLFOCUS:
        Perform(CM_EXIT, 0, 0);
        break;
    case CM_ENTER:
        DoEnter();
        return;
    case CM_EXIT:
        DoExit();
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
    case WM_CHAR:
        if (!DispatchKey(Message)) return;
        break;
    case WM_SIZE:
        AnchorChildren();
        Realign();
        break;
    case CM_CTL3DCHANGED: {
        NonClientChanged();
        InvalidateNonClient();
        const THeldList<TControl> children(FChildren);
        for (TControl* c : children)
            if (c->IsWindowed()) c->Perform(CM_PARENTCTL3DCHANGED, 0, 0);
        break;
    }
    case CM_PARENTCTL3DCHANGED:
        if (FParentCtl3D && Parent() && Parent()->FCtl3D != FCtl3D) {
            FCtl3D = Parent()->FCtl3D;
            Perform(CM_CTL3DCHANGED, 0, 0);
        }
        break;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
    case CM_SHOWHINTCHANGED: {
        const UINT child = Message.Msg == CM_COLORCHANGED  ? CM_PARENTCOLORCHANGED
                           : Message.Msg == CM_FONTCHANGED ? CM_PARENTFONTCHANGED
                                                           : CM_PARENTSHOWHINTCHANGED;
        const THeldList<TControl> children(FChildren);
        for (TControl* c : children)
            c->Perform(child, 0, 0);
        break;
    }
    case CM_DIALOGCHAR: {
        // Offered to every child until one takes it.
        const THeldList<TControl> children(FChildren);
        for (TControl* c : children)
            if (c->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam) != 0) {
                Message.Result = 1;
                return;
            }
        break;
    }
    default:
        break;
    }
    TControl::Dispatch(Message);
}

bool TWinControl::DispatchKey(TMessage& Message) {
    if (Message.Msg == WM_CHAR) {
        if (Message.WParam > 0xFF) return true; // a UTF-16 unit: the 8-bit KeyPress cannot carry it
        char ch = static_cast<char>(Message.WParam);
        KeyPress(ch);
        if (ch == 0) return false;
        Message.WParam = static_cast<unsigned char>(ch);
        return true;
    }
    auto key = static_cast<std::uint16_t>(Message.WParam);
    if (Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN)
        KeyDown(key, KeyboardShiftState());
    else
        KeyUp(key, KeyboardShiftState());
    if (key == 0) return false;
    Message.WParam = key;
    return true;
}

void TWinControl::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_NCHITTEST:
        Message.Result = ScrollBarHitTest(*this, LParamToPoint(Message.LParam));
        return;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        BeginScrollBarTracking(*this, static_cast<UINT>(Message.WParam),
                               LParamToPoint(Message.LParam));
        return;
    case WM_NCPAINT: // WParam: the TPaintTarget of the whole window
        if (Message.WParam) {
            const auto& t = *reinterpret_cast<const TPaintTarget*>(Message.WParam);
            PaintScrollBars(*this, t);
            // A frame outside the client, or one over the window's outer pixels.
            if (!(ControlStyle() & csNonClientFrame)) PaintWindowFrame(t);
            TCanvas c;
            c.Attach(t.Surface, t.Origin, t.Clip);
            PaintFrame(c, Color());
        }
        return;
    case WM_ERASEBKGND: {
        if (Message.WParam) {
            const auto* t = reinterpret_cast<const TPaintTarget*>(Message.WParam);
            FillSurface(*t, Bounds(t->Origin.X, t->Origin.Y, Width(), Height()), Color());
        }
        Message.Result = 1;
        return;
    }
    case WM_PRINTCLIENT: {
        // WParam is the caller's canvas; the client is drawn at its origin.
        if ((Message.LParam & PRF_CHECKVISIBLE) && !Visible()) return;
        if (auto* canvas = reinterpret_cast<TCanvas*>(Message.WParam);
            canvas && canvas->Surface()) {
            // Like the platform's handler, this works on the caller's canvas
            // and leaves it clipped to the client (and, after erasing, with
            // the control's brush); callers that need their state back save it.
            canvas->IntersectClipRect(ClientRect());
            if (Message.LParam & PRF_ERASEBKGND) {
                canvas->Brush().SetStyle(bsSolid);
                canvas->Brush().SetColor(Color());
                canvas->FillRect(ClientRect());
            }
            TPaintTarget t;
            t.Surface = canvas->Surface();
            t.Origin = TPoint{canvas->Origin().X - ClientOffset().X, canvas->Origin().Y - ClientOffset().Y};
            t.Clip = IntersectRect(OffsetRect(canvas->ClipRect(), t.Origin.X, t.Origin.Y),
                                   Bounds(t.Origin.X, t.Origin.Y, Width(), Height()));
            PaintTree(t, false);
        }
        return;
    }
    case WM_GETTEXTLENGTH:
        Message.Result = static_cast<LRESULT>(Text().size());
        return;
    case WM_SETCURSOR:
        Message.Result = SetCursorFor(Message) ? 1 : 0;
        return;
    default:
        break;
    }
    TControl::DefaultHandler(Message);
}

bool TWinControl::SetCursorFor(const TMessage& Message) {
    if ((Message.LParam & 0xFFFF) == HTCLIENT) {
        TCursor C = ScreenCursor();
        if (C == crDefault) {
            const TPoint P = ScreenToClient(GetCursorPos());
            const TControl* Under = ControlAtPos(P, false);
            C = Under ? Under->Cursor() : Cursor();
            if (C == crDefault && Under) C = Cursor();
        }
        if (C != crDefault) {
            SetCurrentCursor(C);
            return true;
        }
    }
    // The parent has its say first; nobody: the class cursor.
    if (Parent() && Parent()->Perform(WM_SETCURSOR, Message.WParam, Message.LParam) != 0)
        return true;
    if (!Parent()) SetCurrentCursor(crDefault);
    return false;
}

void TWinControl::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    CallHandler(OnKeyDown, this, Key, Shift);
}
void TWinControl::KeyUp(std::uint16_t& Key, TShiftState Shift) {
    CallHandler(OnKeyUp, this, Key, Shift);
}
void TWinControl::KeyPress(char& Key) {
    CallHandler(OnKeyPress, this, Key);
}
void TWinControl::DoEnter() {
    CallHandler(OnEnter, this);
}
void TWinControl::DoExit() {
    CallHandler(OnExit, this);
}

void TWinControl::PaintWindow(const TPaintTarget&) {}

void TWinControl::PaintControls(const TPaintTarget& Target) {
    const THeldList<TControl> children(FChildren);
    for (TControl* c : children) {
        if (c->IsWindowed() || !c->Visible() || c->Width() <= 0 || c->Height() <= 0) continue;
        TPaintTarget t = ChildTarget(Target, *c);
        if (t.Clip.IsEmpty()) continue;
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(&t), 0);
    }
}

void TWinControl::PaintHandler(const TPaintTarget& Target) {
    if (!(ControlStyle() & csOpaque)) Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(&Target), 0);
    PaintWindow(Target);
    PaintControls(Target);
}

int TWinControl::FrameWidth() const {
    if (ControlStyle() & csNonClientFrame) return 0; // outside the client instead
    // A top-level window's frame is the window system's, outside its surface.
    if (!FHandle || !(GetWindowStyle(FHandle) & WS_CHILD)) return 0;
    if (GetWindowExStyle(FHandle) & WS_EX_CLIENTEDGE) return 2;
    return (GetWindowStyle(FHandle) & WS_BORDER) ? 1 : 0;
}

void TWinControl::PaintWindowFrame(const TPaintTarget& Target) {
    const int Frame = FrameWidth();
    if (Frame == 0 || !Target.Surface) return;
    TCanvas C;
    C.Attach(Target.Surface, Target.Origin, Target.Clip);
    TRect R = Bounds(0, 0, Width(), Height());
    if (Frame == 2) {
        C.DrawEdge(R, EDGE_SUNKEN, BF_RECT);
    } else {
        C.Brush().SetColor(clWindowFrame);
        C.FrameRect(R);
    }
}

void TWinControl::PaintTree(const TPaintTarget& Target, bool NonClient) {
    if (Target.Clip.IsEmpty()) return;
    TPaintTarget client = Target;
    client.Origin = TPoint{Target.Origin.X + ClientOffset().X, Target.Origin.Y + ClientOffset().Y};
    client.Clip = IntersectRect(Target.Clip,
                                OffsetRect(ClientRect(), client.Origin.X, client.Origin.Y));
    if (!client.Clip.IsEmpty()) {
        Perform(WM_PAINT, reinterpret_cast<WPARAM>(&client), 0);
        const THeldList<TControl> children(FChildren);
        for (TControl* c : children) {
            if (!c->IsWindowed() || !c->Visible()) continue;
            static_cast<TWinControl*>(c)->PaintTree(ChildTarget(client, *c));
        }
    }
    // Bars and frames are drawn over the whole window after its client.
    const bool Framed = FHandle && ((GetWindowExStyle(FHandle) & WS_EX_CLIENTEDGE) ||
                                    (GetWindowStyle(FHandle) & WS_BORDER));
    if (NonClient && (FNonClient != TRect{} || Framed))
        Perform(WM_NCPAINT, reinterpret_cast<WPARAM>(&Target), 0);
}

void TWinControl::PaintNow() {
    if (Parent()) {
        TControl::Update();
        return;
    }
    if (!Visible() || FUpdateRect.IsEmpty()) return;
    if (!FSurface || FSurface->Width != Width() || FSurface->Height != Height()) {
        FSurface = std::make_shared<TSurface>();
        FSurface->SetSize(Width(), Height(), ColorToPixel32(Color()));
        FUpdateRect = Bounds(0, 0, Width(), Height());
    }
    const std::shared_ptr<TSurface> surface = FSurface;
    TPaintTarget t;
    t.Surface = surface.get();
    t.Origin = TPoint{0, 0};
    t.Clip = FUpdateRect;
    FUpdateRect = TRect{};
    PaintTree(t);
    ScreenAreaChanged(OffsetRect(t.Clip, Left(), Top()));
}

void TWinControl::PaintTo(const TPaintTarget& Target) {
    PaintTree(Target);
}

// ----------------------------------------------------- TCustomControl & co

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::Paint() {}

void TCustomControl::PaintWindow(const TPaintTarget& Target) {
    AttachCanvas(*FCanvas, Target, *this);
    TScopeExit detach([this] { DetachCanvas(*FCanvas); });
    RunHandlerProbe();
    if (Gone(this)) return;
    THandlerCall In; // a paint is the control's code called out to, as a handler is
    Paint();
}

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), FCanvas(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Paint() {}

void TGraphicControl::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_PAINT) {
        if (!Message.WParam || InState(TComponentStateItem::Destroying)) return;
        const auto& t = *reinterpret_cast<const TPaintTarget*>(Message.WParam);
        AttachCanvas(*FCanvas, t, *this);
        TScopeExit detach([this] { DetachCanvas(*FCanvas); });
        RunHandlerProbe();
        if (Gone(this)) return;
        THandlerCall In;
        Paint();
        return;
    }
    TControl::Dispatch(Message);
}

// ------------------------------------------------------------------ helpers

TCustomForm* GetParentForm(const TControl* Control) {
    const TControl* c = Control;
    while (c && c->Parent())
        c = c->Parent();
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

std::vector<TWinControl*> TopLevelWindows() {
    return TopLevels();
}

void PaintPendingWindows() {
    const THeldList<TWinControl> tops(TopLevels());
    for (TWinControl* w : tops)
        if (std::find(TopLevels().begin(), TopLevels().end(), w) != TopLevels().end())
            w->PaintNow();
}

void PaintControlTo(TControl* Control, TSurface& Surface) {
    if (!Control) return;
    Surface.SetSize(
        Control->Width(), Control->Height(),
        ColorToPixel32(Control->Parent() ? Control->Parent()->Color() : Control->Color()));
    TPaintTarget t;
    t.Surface = &Surface;
    t.Origin = TPoint{0, 0};
    t.Clip = TRect{0, 0, Surface.Width, Surface.Height};
    if (Control->IsWindowed()) {
        static_cast<TWinControl*>(Control)->PaintTree(t);
    } else {
        Control->Perform(WM_PAINT, reinterpret_cast<WPARAM>(&t), 0);
    }
}

bool AttachWindowCanvas(const TControl* Control, TCanvas& Canvas) {
    if (!Control) return false;
    TRect area;
    const TWinControl* top = nullptr;
    if (!Control->WindowArea(area, top) || !top->FSurface) return false;
    TSurface* surface = top->FSurface.get();
    if (surface->Width != top->Width() || surface->Height != top->Height()) return false;
    const TPoint o = Control->ClientOrigin();
    const TPoint t{top->Left(), top->Top()};
    Canvas.Attach(surface, TPoint{o.X - t.X, o.Y - t.Y}, area);
    Canvas.Font().Assign(Control->Font());
    Canvas.Brush().SetColor(Control->Color());
    return true;
}

void ScrollWindowArea(TControl* Control, const TRect& Area, int DX, int DY) {
    if (!Control) return;
    const TRect A = IntersectRect(Area, Control->ClientRect());
    if (A.IsEmpty() || (DX == 0 && DY == 0)) return;
    const TControl* Top = Control;
    while (Top->Parent())
        Top = Top->Parent();
    const TPoint O = Control->ClientOrigin(), T{Top->Left(), Top->Top()};
    const TRect InTop = OffsetRect(A, O.X - T.X, O.Y - T.Y);
    TCanvas C;
    if (std::abs(DX) >= A.Width() || std::abs(DY) >= A.Height() || !Top->IsWindowed() ||
        !IntersectRect(static_cast<const TWinControl*>(Top)->UpdateRect(), InTop).IsEmpty() ||
        !AttachWindowCanvas(Control, C)) {
        Control->InvalidateRect(A);
        return;
    }
    const TRect Dest = IntersectRect(OffsetRect(A, DX, DY), A);
    C.CopyRect(Dest, C, OffsetRect(Dest, -DX, -DY));
    if (DX > 0) Control->InvalidateRect(TRect{A.Left, A.Top, A.Left + DX, A.Bottom});
    if (DX < 0) Control->InvalidateRect(TRect{A.Right + DX, A.Top, A.Right, A.Bottom});
    if (DY > 0) Control->InvalidateRect(TRect{A.Left, A.Top, A.Right, A.Top + DY});
    if (DY < 0) Control->InvalidateRect(TRect{A.Left, A.Bottom + DY, A.Right, A.Bottom});
    // Child windows were carried along with the pixels but stay where they are.
    if (Control->IsWindowed()) {
        const auto* W = static_cast<const TWinControl*>(Control);
        for (int I = 0; I < W->ControlCount(); ++I) {
            const TControl* Child = W->Controls(I);
            const TRect Moved = IntersectRect(Child->BoundsRect(), A);
            if (!Child->Visible() || Moved.IsEmpty()) continue;
            Control->InvalidateRect(Moved);
            Control->InvalidateRect(IntersectRect(OffsetRect(Moved, DX, DY), A));
        }
    }
    ScreenAreaChanged(OffsetRect(InTop, T.X, T.Y));
}

bool PaintWindowPartNow(TWinControl& Control, const TRect& Part,
                        const std::function<void(const TPaintTarget&)>& Paint) {
    TRect Area = IntersectRect(Part, Bounds(0, 0, Control.Width(), Control.Height()));
    TPoint Origin{0, 0};
    const TControl* C = &Control;
    while (C->Parent()) {
        if (!C->Visible() || Area.IsEmpty()) return false;
        const TPoint O = C->Parent()->ClientOffset();
        Origin = TPoint{Origin.X + C->Left() + O.X, Origin.Y + C->Top() + O.Y};
        Area = IntersectRect(OffsetRect(Area, C->Left() + O.X, C->Top() + O.Y),
                             ClientInWindow(*C->Parent()));
        C = C->Parent();
    }
    auto* Top = const_cast<TWinControl*>(static_cast<const TWinControl*>(C));
    if (Area.IsEmpty() || !Top->Visible() || !Top->IsWindowed() || !Top->FSurface ||
        Top->FSurface->Width != Top->Width() || Top->FSurface->Height != Top->Height() ||
        !IntersectRect(Top->FUpdateRect, Area).IsEmpty())
        return false;
    const std::shared_ptr<TSurface> Surface = Top->FSurface;
    const TCallHold Hold(Top);
    TPaintTarget T;
    T.Surface = Surface.get();
    T.Origin = Origin;
    T.Clip = Area;
    Paint(T);
    ScreenAreaChanged(OffsetRect(Area, Top->Left(), Top->Top()));
    return true;
}

bool RenderControlToPng(TControl* Control, const std::string& Path) {
    if (!Control || Control->Width() <= 0 || Control->Height() <= 0) return false;
    TSurface s;
    PaintControlTo(Control, s);
    return WritePng(Path, s.Width, s.Height, s.Pixels.data());
}

} // namespace fw
