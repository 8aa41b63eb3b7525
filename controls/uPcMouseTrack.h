#pragma once
// Endless mouse drags: the cursor is hidden and put back after every move,
// so that a drag never runs into the edge of the screen.
#include "Controls.h"
#include "ImageList.h"

#include <functional>
#include <memory>

namespace vel {

class TpcMouseTracker;

using TpcMouseEvent = std::function<void(TpcMouseTracker* inSender, fw::TMouseButton inButton,
                                         fw::TShiftState inShift, int inX, int inY)>;

// Takes over the mouse events of its Client and reports press, drag and
// release with the movement since the last report.
class TpcMouseTracker : public fw::TComponent {
public:
    explicit TpcMouseTracker(fw::TComponent* AOwner);
    ~TpcMouseTracker() override;

    fw::TControl* Client() const { return FClient; }
    // Overwrites the client's mouse-down, -move and -up handlers; an old
    // client's own handlers are not given back.
    void SetClient(fw::TControl* Value);
    bool Tracking() const { return FTracking; }
    // Holds the client's window capture and hides the cursor while on.
    void SetTracking(bool Value);
    fw::HWND CaptureWindow() const { return FCaptureWindow; }

    bool Pressed() const { return FPressed; }
    fw::TMouseButton Button() const { return FButton; }
    fw::TShiftState Shift() const { return FShift; }
    fw::TPoint DownPoint() const { return FDownPoint; }
    fw::TPoint UpPoint() const { return FUpPoint; }
    fw::TPoint LastPoint() const { return FLastPoint; }
    fw::TPoint CurrentPoint() const { return FCurrentPoint; }
    fw::TPoint Delta() const { return FDelta; }
    bool Moved() const { return FMoved; }

    TpcMouseEvent OnMouseDrag;
    TpcMouseEvent OnMouseUp;
    TpcMouseEvent OnMouseDown;

protected:
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;

private:
    void ClientMouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y);
    void ClientMouseMove(fw::TShiftState Shift, int X, int Y);
    void ClientMouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y);

    fw::TControl* FClient = nullptr;
    bool FTracking = false;
    fw::HWND FCaptureWindow = nullptr;
    bool FPressed = false;
    fw::TMouseButton FButton = fw::mbLeft;
    fw::TShiftState FShift = 0;
    fw::TPoint FDownPoint, FUpPoint, FLastPoint, FCurrentPoint, FDelta;
    bool FMoved = false;
    // The handlers given to clients hold this weakly: a client that outlives
    // the tracker calls nothing.
    std::shared_ptr<TpcMouseTracker*> FSelf;
};

// A small image-list button whose Value changes while the user drags
// horizontally across the screen on it.
class TpcMouseTrackButton : public fw::TCustomControl {
public:
    explicit TpcMouseTrackButton(fw::TComponent* AOwner);
    ~TpcMouseTrackButton() override;

    double Value() const { return FValue; }
    // Clamps; fires nothing and does not repaint. Not-a-number is ignored.
    void SetValue(double Value);
    double MinValue() const { return FMinValue; }
    void SetMinValue(double Value);
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double Value);
    double Precision() const { return FPrecision; }
    void SetPrecision(double Value) { FPrecision = Value; }
    double Granularity() const { return FGranularity; }
    void SetGranularity(double Value) { FGranularity = Value; }

    fw::TImageList* ImageList() const { return FImageList; }
    void SetImageList(fw::TImageList* Value);
    int LeftIndex() const { return FLeftIndex; }
    void SetLeftIndex(int Value);
    int IdleIndex() const { return FIdleIndex; }
    void SetIdleIndex(int Value);
    int RightIndex() const { return FRightIndex; }
    void SetRightIndex(int Value);
    int DisabledIndex() const { return FDisabledIndex; }
    void SetDisabledIndex(int Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);

    bool Tracking() const { return FTracking; }
    fw::TPoint ReferencePoint() const { return FReferencePoint; }
    fw::TPoint PressScreenPoint() const { return FPressScreenPoint; }
    int LastImage() const { return FLastImage; }
    double Accumulator() const { return FAccumulator; }
    // The image the next paint shows.
    int CurrentImage() const;

    fw::TNotifyEvent OnTracking;
    fw::TNotifyEvent OnTracked;

protected:
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;
    // The list's image size when AutoSize is on and a list is set.
    virtual bool CanAutoSize(int& NewWidth, int& NewHeight);
    void Paint() override;
    void Dispatch(fw::TMessage& Message) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;

private:
    void Clamp();
    void AdjustSize();
    void TrackMove(int X);
    // Ends a drag that did not end by release: the cursor shows again where
    // it is, the capture goes, OnTracked does not fire.
    void CancelTracking();

    double FValue = 0;
    double FMinValue = 0;
    double FMaxValue = 0;
    double FPrecision = 1.0;
    double FGranularity = 1.0;
    double FAccumulator = 0;
    fw::TImageList* FImageList = nullptr;
    int FLeftIndex = 0;
    int FIdleIndex = 0;
    int FRightIndex = 0;
    int FDisabledIndex = 0;
    int FLastImage = 0;
    bool FAutoSize = false;
    bool FTracking = false;
    fw::TPoint FReferencePoint;
    fw::TPoint FPressScreenPoint;
};

} // namespace vel
