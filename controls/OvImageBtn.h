#pragma once
// A windowless button drawn from an image list with an optional centred
// caption: a push button, or with CheckBox a toggle that stays down.
#include "Controls.h"
#include "ImageList.h"

namespace vel {

class TOvImageBtn : public fw::TGraphicControl {
public:
    explicit TOvImageBtn(fw::TComponent* AOwner);

    bool Down() const { return FDown; }
    void SetDown(bool Value);
    int UpIndex() const { return FUpIndex; }
    void SetUpIndex(int Value);
    int DownIndex() const { return FDownIndex; }
    void SetDownIndex(int Value);
    // Repaints only a disabled button.
    int DisabledIndex() const { return FDisabledIndex; }
    void SetDisabledIndex(int Value);
    fw::TImageList* ImageList() const { return FImageList; }
    void SetImageList(fw::TImageList* Value);
    bool CheckBox() const { return FCheckBox; }
    // A check box takes no double clicks: a fast second click is another press.
    void SetCheckBox(bool Value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool Value);
    bool Pressing() const { return FPressing; }
    bool DownAtPress() const { return FDownAtPress; }

    void DblClick() override;

protected:
    void Notification(fw::TComponent* AComponent, fw::TOperation Operation) override;
    void Paint() override;
    void Dispatch(fw::TMessage& Message) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void MouseMove(fw::TShiftState Shift, int X, int Y) override;
    void MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;

private:
    int FUpIndex = 0;
    fw::TImageList* FImageList = nullptr;
    bool FDown = false;
    int FDownIndex = 0;
    int FDisabledIndex = 0;
    bool FCheckBox = false;
    bool FTransparent = false;
    bool FPressing = false;
    bool FDownAtPress = false;
};

} // namespace vel
