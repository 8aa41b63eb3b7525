#include "uPcMouseTrack.h"

#include "Canvas.h"
#include "Input.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace vel {

// ---------------------------------------------------------- TpcMouseTracker

TpcMouseTracker::TpcMouseTracker(fw::TComponent* AOwner)
    : fw::TComponent(AOwner), FSelf(std::make_shared<TpcMouseTracker*>(this)) {}

TpcMouseTracker::~TpcMouseTracker() {
    SetTracking(false); // a hidden cursor comes back
    FSelf.reset();
    if (FClient) RemoveFreeNotification(FClient);
}

void TpcMouseTracker::SetClient(fw::TControl* Value) {
    if (Value != FClient) {
        if (FClient) RemoveFreeNotification(FClient);
        FClient = Value;
        if (FClient) FreeNotification(FClient);
    }
    if (!FClient) return;
    const std::weak_ptr<TpcMouseTracker*> self = FSelf;
    FClient->OnMouseDown = [self](fw::TObject*, fw::TMouseButton b, fw::TShiftState s, int x,
                                  int y) {
        if (auto t = self.lock()) (*t)->ClientMouseDown(b, s, x, y);
    };
    FClient->OnMouseMove = [self](fw::TObject*, fw::TShiftState s, int x, int y) {
        if (auto t = self.lock()) (*t)->ClientMouseMove(s, x, y);
    };
    FClient->OnMouseUp = [self](fw::TObject*, fw::TMouseButton b, fw::TShiftState s, int x, int y) {
        if (auto t = self.lock()) (*t)->ClientMouseUp(b, s, x, y);
    };
}

void TpcMouseTracker::SetTracking(bool Value) {
    if (Value == FTracking || !FClient || !FClient->IsWindowed()) return;
    FTracking = Value;
    if (Value) {
        FCaptureWindow = static_cast<fw::TWinControl*>(FClient)->Handle();
        fw::SetCapture(FCaptureWindow);
        fw::ShowCursor(false);
    } else {
        if (fw::GetCapture() == FCaptureWindow) fw::ReleaseCapture();
        fw::ShowCursor(true);
    }
}

void TpcMouseTracker::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
    fw::TComponent::Notification(AComponent, Operation);
    if (Operation != fw::TOperation::Remove || AComponent != FClient) return;
    if (FTracking) {
        FTracking = false;
        fw::ShowCursor(true);
    }
    FClient = nullptr;
}

void TpcMouseTracker::ClientMouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X,
                                      int Y) {
    FPressed = true;
    FButton = Button;
    FShift = Shift;
    FDownPoint = fw::TPoint{X, Y};
    FCurrentPoint = FClient ? FClient->ScreenToClient(fw::GetCursorPos()) : FDownPoint;
    FLastPoint = FCurrentPoint;
    FMoved = false;
    fw::CallHandler(OnMouseDown, this, Button, Shift, X, Y);
}

void TpcMouseTracker::ClientMouseMove(fw::TShiftState Shift, int X, int Y) {
    if (FTracking && fw::GetCapture() != FCaptureWindow) {
        SetTracking(false); // a lost capture ends the drag
        FPressed = false;
        return;
    }
    FShift = Shift;
    FCurrentPoint = fw::TPoint{X, Y};
    if (FPressed)
        FDelta = fw::TPoint{FCurrentPoint.X - FLastPoint.X, FCurrentPoint.Y - FLastPoint.Y};
    fw::CallHandler(OnMouseDrag, this, FButton, Shift, X, Y);
    if (FPressed) {
        FMoved = FDelta != fw::TPoint{};
        if (FTracking) {
            if (!FMoved) {
                FLastPoint = FCurrentPoint;
                return;
            }
            FCurrentPoint = FDownPoint;
            if (FClient) {
                const fw::TPoint p = FClient->ClientToScreen(FDownPoint);
                fw::SetCursorPos(p.X, p.Y);
            }
        }
    }
    FLastPoint = FCurrentPoint;
}

void TpcMouseTracker::ClientMouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    FPressed = false;
    FButton = Button;
    FShift = Shift;
    FUpPoint = fw::TPoint{X, Y};
    if (FTracking && FClient) {
        const fw::TPoint p = FClient->ClientToScreen(FDownPoint);
        fw::SetCursorPos(p.X, p.Y);
    }
    SetTracking(false);
    fw::CallHandler(OnMouseUp, this, Button, Shift, X, Y);
}

// ------------------------------------------------------ TpcMouseTrackButton

TpcMouseTrackButton::TpcMouseTrackButton(fw::TComponent* AOwner) : fw::TCustomControl(AOwner) {
    // The drag holds the capture by hand, through releases of any button.
    SetControlStyle(ControlStyle() & ~fw::csCaptureMouse);
    SetBounds(Left(), Top(), 32, 32);
}

TpcMouseTrackButton::~TpcMouseTrackButton() {
    CancelTracking();
}

void TpcMouseTrackButton::Clamp() {
    if (std::fabs(FValue) < 1e-5) FValue = 0;
    if (FMaxValue > FMinValue) FValue = std::min(FMaxValue, std::max(FValue, FMinValue));
}

void TpcMouseTrackButton::SetValue(double Value) {
    if (Value == FValue || std::isnan(Value)) return;
    FValue = Value;
    Clamp();
}

void TpcMouseTrackButton::SetMinValue(double Value) {
    FMinValue = Value;
    Clamp();
}

void TpcMouseTrackButton::SetMaxValue(double Value) {
    FMaxValue = Value;
    Clamp();
}

void TpcMouseTrackButton::SetImageList(fw::TImageList* Value) {
    if (Value == FImageList) return;
    if (FImageList) {
        RemoveFreeNotification(FImageList);
        if (FImageList->Owner() == this) fw::Free(FImageList);
    }
    FImageList = Value;
    if (FImageList) FreeNotification(FImageList);
    Invalidate();
    if (FAutoSize) AdjustSize();
}

void TpcMouseTrackButton::SetLeftIndex(int Value) {
    FLeftIndex = Value;
    Invalidate();
}
void TpcMouseTrackButton::SetIdleIndex(int Value) {
    FIdleIndex = Value;
    Invalidate();
}
void TpcMouseTrackButton::SetRightIndex(int Value) {
    FRightIndex = Value;
    Invalidate();
}
void TpcMouseTrackButton::SetDisabledIndex(int Value) {
    FDisabledIndex = Value;
    Invalidate();
}

void TpcMouseTrackButton::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    if (FAutoSize) AdjustSize();
}

bool TpcMouseTrackButton::CanAutoSize(int& NewWidth, int& NewHeight) {
    if (FAutoSize && FImageList) {
        NewWidth = FImageList->Width();
        NewHeight = FImageList->Height();
    }
    return true;
}

void TpcMouseTrackButton::AdjustSize() {
    int w = Width(), h = Height();
    if (CanAutoSize(w, h)) SetBounds(Left(), Top(), w, h);
}

void TpcMouseTrackButton::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
    fw::TCustomControl::Notification(AComponent, Operation);
    if (Operation == fw::TOperation::Remove && AComponent == FImageList) FImageList = nullptr;
}

int TpcMouseTrackButton::CurrentImage() const {
    if (!Enabled()) return FDisabledIndex;
    if (!FTracking) return FIdleIndex;
    if (FAccumulator < 0) return FLeftIndex;
    if (FAccumulator > 0) return FRightIndex;
    return FIdleIndex;
}

void TpcMouseTrackButton::Paint() {
    fw::TCanvas& c = *Canvas();
    if (FImageList) {
        const int index = CurrentImage();
        FImageList->Draw(c, (Width() - FImageList->Width()) / 2,
                         (Height() - FImageList->Height()) / 2, index, true);
        FLastImage = index;
        return;
    }
    c.Brush().SetStyle(fw::bsClear);
    c.Rectangle(0, 0, Width(), Height());
}

void TpcMouseTrackButton::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (Button != fw::mbRight && !FTracking && Enabled()) {
        SetMouseCapture(true);
        FPressScreenPoint = ClientToScreen(fw::TPoint{X, Y});
        fw::SetCursorPos(fw::ScreenWidth() / 2, fw::ScreenHeight() / 2);
        FReferencePoint = ScreenToClient(fw::GetCursorPos());
        fw::ShowCursor(false);
        FTracking = true;
    }
    fw::TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TpcMouseTrackButton::TrackMove(int X) {
    FAccumulator += (X - FReferencePoint.X) * FGranularity;
    if (!std::isfinite(FAccumulator)) { // a granularity that is not finite steps nothing
        FAccumulator = 0;
        return;
    }
    const double n = std::nearbyint(FAccumulator); // halves to even
    if (n == 0) return;
    if (CurrentImage() != FLastImage) Repaint();
    const int steps = static_cast<int>(std::clamp(n, double{INT_MIN}, double{INT_MAX}));
    FAccumulator -= steps;
    FValue += steps * FPrecision;
    Clamp();
    fw::CallHandler(OnTracking, this);
}

void TpcMouseTrackButton::MouseMove(fw::TShiftState Shift, int X, int Y) {
    if (FTracking && Enabled()) {
        if (fw::GetCapture() != Handle()) {
            CancelTracking();
        } else {
            if (X != FReferencePoint.X || Y != FReferencePoint.Y) {
                const fw::TPoint p = ClientToScreen(FReferencePoint);
                fw::SetCursorPos(p.X, p.Y);
            }
            TrackMove(X);
        }
    }
    fw::TCustomControl::MouseMove(Shift, X, Y);
}

void TpcMouseTrackButton::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (Enabled() && FTracking) {
        fw::SetCursorPos(FPressScreenPoint.X, FPressScreenPoint.Y);
        FTracking = false; // before the capture goes, so the loss is no cancel
        fw::ShowCursor(true);
        if (MouseCapture()) SetMouseCapture(false);
        Repaint();
        fw::CallHandler(OnTracked, this);
    }
    fw::TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TpcMouseTrackButton::CancelTracking() {
    if (!FTracking) return;
    FTracking = false;
    fw::ShowCursor(true);
    if (HandleAllocated() && fw::GetCapture() == Handle()) fw::ReleaseCapture();
    if (!InState(fw::TComponentStateItem::Destroying)) Invalidate();
}

void TpcMouseTrackButton::Dispatch(fw::TMessage& Message) {
    fw::TCustomControl::Dispatch(Message);
    switch (Message.Msg) {
    case fw::WM_CAPTURECHANGED:
        if (HandleAllocated() && reinterpret_cast<fw::HWND>(Message.LParam) != Handle())
            CancelTracking();
        break;
    case fw::CM_ENABLEDCHANGED:
        if (!Enabled()) CancelTracking();
        break;
    default:
        break;
    }
}

} // namespace vel
