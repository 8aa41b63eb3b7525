#include "OvImageBtn.h"

#include "Canvas.h"

namespace vel {

TOvImageBtn::TOvImageBtn(fw::TComponent* AOwner) : fw::TGraphicControl(AOwner) {}

void TOvImageBtn::SetDown(bool Value) {
    if (Value == FDown) return;
    FDown = Value;
    Invalidate();
}

void TOvImageBtn::SetUpIndex(int Value) {
    FUpIndex = Value;
    Invalidate();
}

void TOvImageBtn::SetDownIndex(int Value) {
    FDownIndex = Value;
    Invalidate();
}

void TOvImageBtn::SetDisabledIndex(int Value) {
    FDisabledIndex = Value;
    if (!Enabled()) Invalidate();
}

void TOvImageBtn::SetImageList(fw::TImageList* Value) {
    if (FImageList) RemoveFreeNotification(FImageList);
    FImageList = Value;
    if (FImageList) FreeNotification(FImageList);
    Invalidate();
}

void TOvImageBtn::SetCheckBox(bool Value) {
    FCheckBox = Value;
    if (Value)
        SetControlStyle(ControlStyle() & ~fw::csDoubleClicks);
    else
        SetControlStyle(ControlStyle() | fw::csDoubleClicks);
}

void TOvImageBtn::SetTransparent(bool Value) {
    FTransparent = Value;
    Invalidate();
}

void TOvImageBtn::Notification(fw::TComponent* AComponent, fw::TOperation Operation) {
    fw::TGraphicControl::Notification(AComponent, Operation);
    if (Operation == fw::TOperation::Remove && AComponent == FImageList) FImageList = nullptr;
}

void TOvImageBtn::Dispatch(fw::TMessage& Message) {
    fw::TGraphicControl::Dispatch(Message);
    if (Message.Msg == fw::CM_TEXTCHANGED || Message.Msg == fw::CM_FONTCHANGED) Invalidate();
}

void TOvImageBtn::Paint() {
    fw::TCanvas& c = *Canvas();
    if (FImageList) {
        const int index = !Enabled() ? FDisabledIndex : FDown ? FDownIndex : FUpIndex;
        if (FTransparent) {
            FImageList->Draw(c, 0, 0, index, true);
        } else {
            fw::TBitmap image;
            FImageList->GetBitmap(index, image);
            c.StretchDraw(ClientRect(), image);
        }
    } else {
        fw::TGraphicControl::Paint();
    }
    c.Font().Assign(Font());
    if (!Enabled()) c.Font().SetColor(fw::clGray);
    c.Brush().SetStyle(fw::bsClear);
    int x = (Width() - c.TextWidth(Caption())) / 2;
    int y = (Height() - c.TextHeight(Caption())) / 2;
    if (Enabled() && FDown) {
        ++x;
        ++y;
    }
    c.TextOut(x, y, Caption());
}

void TOvImageBtn::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if (!(Shift & fw::ssDouble)) {
        FDownAtPress = FDown;
        FPressing = true;
        if (Enabled()) SetDown(!FDownAtPress);
    }
    fw::TGraphicControl::MouseDown(Button, Shift, X, Y);
}

void TOvImageBtn::MouseMove(fw::TShiftState Shift, int X, int Y) {
    if (Enabled() && FPressing) {
        const bool inside = X >= 0 && X <= Width() && Y >= 0 && Y <= Height();
        SetDown(inside ? !FDownAtPress : FDownAtPress);
    }
    fw::TGraphicControl::MouseMove(Shift, X, Y);
}

void TOvImageBtn::MouseUp(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    FPressing = false;
    if (Enabled() && !FCheckBox) SetDown(false);
    fw::TGraphicControl::MouseUp(Button, Shift, X, Y);
}

void TOvImageBtn::DblClick() {
    if (FCheckBox) SetDown(!FDown);
    fw::TGraphicControl::DblClick();
}

} // namespace vel
