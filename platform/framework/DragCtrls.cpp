#include "DragCtrls.h"

#include "Input.h"
#include "NoDestroy.h"

#include <cstdlib>
#include <memory>
#include <vector>

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

// The objects of drags that ended because their source was freed while a
// drag call ran: the call may still read them until the outermost one returns.
struct TDragCall {
    static int& Depth() {
        static int D = 0;
        return D;
    }
    static std::vector<std::unique_ptr<TDragObject>>& Ended() {
        static TNoDestroy<std::vector<std::unique_ptr<TDragObject>>> E;
        return *E;
    }
    TDragCall() { ++Depth(); }
    ~TDragCall() {
        if (--Depth() == 0) Ended().clear();
    }
    TDragCall(const TDragCall&) = delete;
    TDragCall& operator=(const TDragCall&) = delete;
};

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

// The drag's controls are held while it calls out: one a handler frees stays
// whole until the message loop's next step, when the drag forgets it.
std::vector<TControl*> DragControls(const TDragState& S) {
    return {S.Source, S.Target};
}

// False when nothing starts: a handler ended the drag meanwhile.
bool Start() {
    TDragState& S = Drag();
    TControl* Source = S.Source;
    S.Active = true;
    std::unique_ptr<TDragObject> Supplied;
    TDragObject* Given = nullptr;
    Source->Perform(CM_DRAGSTART, 0, reinterpret_cast<LPARAM>(&Given));
    Supplied.reset(Given);
    if (S.Source != Source) return false;
    S.Object = Supplied ? std::move(Supplied) : std::make_unique<TDragObject>();
    S.Object->Control = S.Source;
    S.Object->DragPos = GetCursorPos();
    return true;
}

void Move(TPoint Pos) {
    TDragState& S = Drag();
    TDragObject* Object = S.Object.get();
    const TCallHold Hold(DragControls(S));
    Object->DragPos = Pos;
    TControl* Target = FindTarget(Pos);
    const TCallHold HoldTarget(Target);
    // After each call out: a handler may have ended the drag.
    if (S.Object.get() != Object) return;
    TDragRec R{Pos, Object, Target};
    if (Target != S.Target) {
        TDragRec Leave{Pos, Object, S.Target};
        Send(S.Target, dmDragLeave, Leave);
        if (S.Object.get() != Object) return;
        S.Target = Target;
        const bool Accepted = Send(Target, dmDragEnter, R) != 0;
        if (S.Object.get() != Object) return;
        S.Accepted = Accepted;
    } else {
        const bool Accepted = Send(Target, dmDragMove, R) != 0;
        if (S.Object.get() != Object) return;
        S.Accepted = Accepted;
    }
    Object->DragTarget = S.Accepted ? Target : nullptr;
}

// Ends the drag: a drop on an accepting target, or nothing.
void Finish(bool Drop, TPoint Pos) {
    TDragState S = std::move(Drag());
    Drag() = TDragState{};
    if (!S.Source) return;
    const TCallHold Hold(DragControls(S));
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
    if (S.Active && S.Object) {
        TDragRec End{Pos, S.Object.get(), S.Object->Dropped ? S.Target : nullptr};
        S.Source->Perform(CM_DRAGEND, 0, reinterpret_cast<LPARAM>(&End));
    }
}

} // namespace

void BeginDrag(TControl* Control, bool Immediate, int Threshold) {
    if (!Control || Drag().Source || Control->InState(TComponentStateItem::Destroying)) return;
    const TDragCall Call;
    const TCallHold Hold(Control); // the capture's change may free it
    TDragState& S = Drag();
    S.Source = Control;
    S.Start = GetCursorPos();
    S.Threshold = Threshold < 0 ? DefaultThreshold : Threshold;
    SetCaptureControl(Control);
    if (Immediate && Start()) Move(S.Start);
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
    const TDragCall Call;
    Finish(false, GetCursorPos());
}

bool DragMouseMessage(UINT Msg, TPoint ScreenPos) {
    TDragState& S = Drag();
    if (!S.Source) return false;
    const TDragCall Call;
    if (Msg == WM_MOUSEMOVE) {
        if (!S.Active) {
            if (std::abs(ScreenPos.X - S.Start.X) < S.Threshold &&
                std::abs(ScreenPos.Y - S.Start.Y) < S.Threshold)
                return false; // not yet: the source sees the move
            if (!Start()) return true;
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
        if (S.Object && TDragCall::Depth() > 0) TDragCall::Ended().push_back(std::move(S.Object));
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
