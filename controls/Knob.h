#pragma once
// A rotary knob with an integer Position between Min and Max, turned by
// dragging with a hidden cursor or by the arrow keys, and edit boxes that
// filter digits and write typed numbers back to a knob.
#include "ExtCtrls.h"
#include "StdCtrls.h"

#include <string>

namespace vel {

class TKnob : public fw::TCustomPanel {
public:
    explicit TKnob(fw::TComponent* AOwner);
    ~TKnob() override;

    fw::TPaintBox* PaintBox() const { return FPaintBox; }
    bool Dragging() const { return FDragging; }
    fw::TPoint PressPoint() const { return FPressPoint; }
    bool ChangedInDrag() const { return FChangedInDrag; }
    int Accumulator() const { return FAccumulator; }

    int Min() const { return FMin; }
    // Ignored when equal or above Max.
    void SetMin(int Value);
    int Max() const { return FMax; }
    // Ignored when equal or below Min.
    void SetMax(int Value);
    int Position() const { return FPosition; }
    void SetPosition(int Value);
    int Multiplier() const { return FMultiplier; }
    void SetMultiplier(int Value) { FMultiplier = Value; }
    int Divider() const { return FDivider; }
    void SetDivider(int Value) { FDivider = Value; }
    // Position × Multiplier / Divider.
    float Value();
    // Rounds to the nearest position (halves to even), clamped first; a
    // value that is not a number changes nothing.
    void SetValue(double Value);
    int Sweep() const { return FSweep; }
    int Revolutions() const;
    void SetRevolutions(int Value);
    int Granularity() const { return FGranularity; }
    void SetGranularity(int Value) { FGranularity = Value; }
    fw::TImage* Image() const { return FImage; }
    // A null picture changes nothing but a repaint.
    void SetImage(fw::TImage* Value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    int CenterX() const { return FCenterX; }
    void SetCenterX(int Value);
    int CenterY() const { return FCenterY; }
    void SetCenterY(int Value);
    int Radius() const { return FRadius; }
    void SetRadius(int Value);
    int DotSize() const { return FDotSize; }
    void SetDotSize(int Value);
    // Degrees of the dot: -45 at Min, turning through the top.
    double Angle() const;
    // Where the dot's square is drawn in the paint box.
    fw::TRect DotRect() const;

    void Loaded() override;

    fw::TNotifyEvent OnChange;
    fw::TNotifyEvent OnChanging;
    // A second listener, used by TKnobEdit.
    fw::TNotifyEvent ChangeLink;

protected:
    virtual void Change();
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;
    void Dispatch(fw::TMessage& Message) override;
    void DefaultHandler(fw::TMessage& Message) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, fw::TShiftState Shift) override;
    void DblClick() override;

private:
    void PaintKnob();
    void RecomputeSweep();
    void KeepInRange();
    // Ends a drag: the cursor shows again once and the capture goes.
    void EndDrag(bool AllowChange);

    fw::TPaintBox* FPaintBox = nullptr;
    bool FDragging = false;
    fw::TPoint FPressPoint;
    bool FChangedInDrag = false;
    int FMax = 20;
    int FMin = 0;
    int FPosition = 0;
    int FMultiplier = 1;
    int FDivider = 1;
    int FSweep = 270;
    int FGranularity = 1;
    fw::TImage* FImage = nullptr;
    bool FAutoSize = false;
    int FCenterX = 26;
    int FCenterY = 21;
    int FRadius = 13;
    int FDotSize = 5;
    int FAccumulator = 0;
};

// A single-line edit with text alignment, an optional filter that admits
// only characters of numbers, red text while the user types, and events for
// confirming with Enter or Tab.
class TOvEdit : public fw::TEdit {
public:
    explicit TOvEdit(fw::TComponent* AOwner);

    fw::TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(fw::TAlignment Value);
    bool DigitsOnly() const { return FDigitsOnly; }
    void SetDigitsOnly(bool Value) { FDigitsOnly = Value; }

    fw::TNotifyEvent OnEnterValue;
    fw::TNotifyEvent OnTabKey;

protected:
    void CreateHandle() override;
    void CreateParams(fw::TCreateParams& Params) override;
    void DoEnter() override;
    void DoExit() override;
    void KeyPress(char& Key) override;

    fw::TNotifyEvent ChainedChange;

private:
    fw::TAlignment FAlignment = fw::taLeftJustify;
    bool FDigitsOnly = false;
};

// A TOvEdit bound to a knob: shows the knob's Value and writes typed numbers back.
class TKnobEdit : public TOvEdit {
public:
    explicit TKnobEdit(fw::TComponent* AOwner);
    ~TKnobEdit() override;

    TKnob* Knob() const { return FKnob; }
    void SetKnob(TKnob* Value);

protected:
    void DoExit() override;
    void KeyPress(char& Key) override;
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;

private:
    void KnobChanged(fw::TObject* Sender);
    void ShowKnobValue();
    // Text that is not a finite number within the knob's range shows the
    // knob's value again.
    void ApplyText();

    TKnob* FKnob = nullptr;
};

// "%.4g" without regard to the locale.
std::string FormatKnobValue(double Value);
// The whole text as a number (a leading '+' and surrounding spaces
// allowed), without regard to the locale; false when it is none.
bool ParseKnobValue(const std::string& Text, double& Value);

} // namespace vel
