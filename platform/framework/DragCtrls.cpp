#include "DragCtrls.h"

#include "Input.h"
#include "NoDestroy.h"

#include <cstdlib>

namespace fw {
namespace {

constexpr int DefaultThreshold = 5;

struct TDragState {
    TControl* Source = nullptr;
    bool Active = false;
    TPoint Start;
    int Threshold = DefaultThreshold;
    std::unique_ptr<TDragObject> Object;
    TControl* Target = nullptr;
    bool Accepted = false;
};

TDragState& Drag() {
    static TNoDestroy<TDragState> S;
    return *S;
}

LRESULT Send(TControl* C, TDragMessage M, TDragRec& R) {
    return C ? C->Perform(CM_DRAG, static_cast<WPARAM>(M), reinterpret_cast<LPARAM>(&R)) : 0;
}

// The control that takes drops at a screen point: asked from the window below upwards.
TControl* FindTarget(TPoint Pos) {
    TControl* Under = FindControlAtPos(Pos, false);
    for (TControl* C = Under; C; C = C->Parent()) {
        TDragRec R{Pos, Drag().Object.get(), nullptr};
        Send(C, dmFindTarget, R);
        if (R.Target) return R.Target;
    }
    return nullptr;
}

void Start() {
    TDragState& S = Drag();
    S.Active = true;
    TDragObject* Supplied = nullptr;
    S.Source->Perform(CM_DRAGSTART, 0, reinterpret_cast<LPARAM>(&Supplied));
    S.Object.reset(Supplied ? Supplied : new TDragObject);
    S.Object->Control = S.Source;
    S.Object->DragPos = GetCursorPos();
}

void Move(TPoint Pos) {
    TDragState& S = Drag();
    S.Object->DragPos = Pos;
    TControl* Target = FindTarget(Pos);
    TDragRec R{Pos, S.Object.get(), Target};
    if (Target != S.Target) {
        TDragRec Leave{Pos, S.Object.get(), S.Target};
        Send(S.Target, dmDragLeave, Leave);
        S.Target = Target;
        S.Accepted = Send(Target, dmDragEnter, R) != 0;
    } else {
        S.Accepted = Send(Target, dmDragMove, R) != 0;
    }
    S.Object->DragTarget = S.Accepted ? Target : nullptr;
}

// Ends the drag: a drop on an accepting target, or nothing.
void Finish(bool Drop, TPoint Pos) {
    TDragState S = std::move(Drag());
    Drag() = TDragState{};
    if (!S.Source) return;
    if (S.Active && S.Target) {
        TDragRec R{Pos, S.Object.get(), S.Target};
        if (Drop && S.Accepted) {
            S.Object->Dropped = true;
            Send(S.Target, dmDragDrop, R);
        } else {
            Send(S.Target, dmDragLeave, R);
        }
    }
    if (GetCaptureControl() == S.Source) SetCaptureControl(nullptr);
    if (S.Active) {
        TDragRec End{Pos, S.Object.get(), S.Object->Dropped ? S.Target : nullptr};
        S.Source->Perform(CM_DRAGEND, 0, reinterpret_cast<LPARAM>(&End));
    }
}

} // namespace

void BeginDrag(TControl* Control, bool Immediate, int Threshold) {
    if (!Control || Drag().Source) return;
    TDragState& S = Drag();
    S.Source = Control;
    S.Start = GetCursorPos();
    S.Threshold = Threshold < 0 ? DefaultThreshold : Threshold;
    SetCaptureControl(Control);
    if (Immediate) {
        Start();
        Move(S.Start);
    }
}

bool Dragging() {
    return Drag().Active;
}

bool DragPending() {
    return Drag().Source && !Drag().Active;
}

TDragObject* CurrentDragObject() {
    return Drag().Object.get();
}

void CancelDrag() {
    Finish(false, GetCursorPos());
}

bool DragMouseMessage(UINT Msg, TPoint ScreenPos) {
    TDragState& S = Drag();
    if (!S.Source) return false;
    if (Msg == WM_MOUSEMOVE) {
        if (!S.Active) {
            if (std::abs(ScreenPos.X - S.Start.X) < S.Threshold &&
                std::abs(ScreenPos.Y - S.Start.Y) < S.Threshold)
                return false; // not yet: the source sees the move
            Start();
        }
        Move(ScreenPos);
        return true;
    }
    const bool Up = Msg == WM_LBUTTONUP || Msg == WM_RBUTTONUP || Msg == WM_MBUTTONUP;
    if (!Up && Msg != WM_RBUTTONDOWN) return false;
    const bool WasActive = S.Active;
    Finish(Up, ScreenPos);
    return WasActive; // a release that ends a mere wait still reaches the control
}

void DragControlFreed(TControl* Control) {
    TDragState& S = Drag();
    if (S.Source == Control) {
        Drag() = TDragState{};
        return;
    }
    if (S.Target == Control) {
        S.Target = nullptr;
        S.Accepted = false;
    }
}

void DefaultDragHandler(TControl& Control, TMessage& Message) {
    if (Message.Msg == CM_DRAGSTART) {
        CallHandler(Control.OnStartDrag, &Control,
                    *reinterpret_cast<TDragObject**>(Message.LParam));
        return;
    }
    auto* R = reinterpret_cast<TDragRec*>(Message.LParam);
    if (!R) return;
    const TPoint P = Control.ScreenToClient(R->Pos);
    if (Message.Msg == CM_DRAGEND) {
        CallHandler(Control.OnEndDrag, &Control, R->Target, P.X, P.Y);
        return;
    }
    TObject* Source = R->Source ? R->Source->Control : nullptr;
    switch (static_cast<TDragMessage>(Message.WParam)) {
    case dmFindTarget:
        // A control takes part when it says what it does with drops.
        if (Control.OnDragOver) R->Target = &Control;
        return;
    case dmDragEnter:
    case dmDragLeave:
    case dmDragMove: {
        bool Accept = false;
        CallHandler(Control.OnDragOver, &Control, Source, P.X, P.Y,
                    static_cast<int>(Message.WParam), Accept);
        Message.Result = Accept ? 1 : 0;
        return;
    }
    case dmDragDrop:
        CallHandler(Control.OnDragDrop, &Control, Source, P.X, P.Y);
        return;
    default:
        return;
    }
}

} // namespace fw
