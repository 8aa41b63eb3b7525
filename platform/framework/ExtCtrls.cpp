#include "ExtCtrls.h"

#include "Canvas.h"

#include <algorithm>

namespace fw {

// ---------------------------------------------------------------- TPicture

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TBitmap& TPicture::Bitmap() {
    if (!FBitmap) {
        FBitmap = std::make_unique<TBitmap>();
        FBitmap->OnChange = [this](TObject*) { Changed(); };
    }
    return *FBitmap;
}

void TPicture::Assign(const TBitmap* Source) {
    if (!Source) {
        if (!FBitmap) return;
        FBitmap.reset();
        Changed();
        return;
    }
    Bitmap().Assign(*Source);
}

void TPicture::LoadFromFile(const std::string& Path) {
    TBitmap loaded;
    loaded.LoadFromFile(Path);
    Bitmap().Assign(loaded);
}

void TPicture::Changed() {
    CallHandler(OnChange, this);
}

// --------------------------------------------------------------- TPaintBox

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(Left(), Top(), 105, 105);
}

void TPaintBox::Paint() {
    CallHandler(OnPaint, this);
}

// ------------------------------------------------------------------ TImage

TImage::TImage(TComponent* AOwner)
    : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>()) {
    SetBounds(Left(), Top(), 105, 105);
    FPicture->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() {
    FPicture->OnChange = nullptr;
}

void TImage::SetAutoSize(bool Value) {
    if (Value == FAutoSize) return;
    FAutoSize = Value;
    PictureChanged();
}

void TImage::SetStretch(bool Value) {
    if (Value == FStretch) return;
    FStretch = Value;
    Invalidate();
}

void TImage::PictureChanged() {
    if (FAutoSize && FPicture->Width() > 0 && FPicture->Height() > 0)
        SetBounds(Left(), Top(), FPicture->Width(), FPicture->Height());
    Invalidate();
}

void TImage::Paint() {
    if (!FPicture->HasGraphic() || FPicture->Bitmap().Empty()) return;
    const TBitmap& b = FPicture->Bitmap();
    if (FStretch)
        Canvas()->StretchDraw(ClientRect(), b);
    else
        Canvas()->Draw(0, 0, b);
}

// ------------------------------------------------------------ TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    SetControlStyle(ControlStyle() | csAcceptsControls | csOpaque);
    SetBounds(Left(), Top(), 185, 41);
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
    if (Value == FBevelOuter) return;
    FBevelOuter = Value;
    Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
    if (Value == FBevelInner) return;
    FBevelInner = Value;
    Invalidate();
}

void TCustomPanel::SetBevelWidth(int Value) {
    Value = std::max(Value, 1);
    if (Value == FBevelWidth) return;
    FBevelWidth = Value;
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
    if (Value == FAlignment) return;
    FAlignment = Value;
    Invalidate();
}

void Frame3D(TCanvas& Canvas, TRect& R, TColor TopColor, TColor BottomColor, int Width) {
    TCanvasStateSaver keep(Canvas);
    Canvas.Pen().SetWidth(1);
    Canvas.Pen().SetStyle(psSolid);
    --R.Bottom;
    --R.Right;
    for (; Width > 0; --Width) {
        Canvas.Pen().SetColor(TopColor);
        Canvas.Polyline({TPoint{R.Left, R.Bottom}, TPoint{R.Left, R.Top}, TPoint{R.Right, R.Top}});
        Canvas.Pen().SetColor(BottomColor);
        Canvas.Polyline(
            {TPoint{R.Right, R.Top}, TPoint{R.Right, R.Bottom}, TPoint{R.Left - 1, R.Bottom}});
        R = TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
    }
    ++R.Bottom;
    ++R.Right;
}

void TCustomPanel::Paint() {
    TCanvas& c = *Canvas();
    TRect r = ClientRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(r);
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvNone) return;
        const bool raised = cut == bvRaised;
        Frame3D(c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight,
                FBevelWidth);
    };
    bevel(FBevelOuter);
    bevel(FBevelInner);
    if (Caption().empty()) return;
    c.Brush().SetStyle(bsClear);
    c.Font().Assign(Font());
    unsigned format = DT_SINGLELINE | DT_VCENTER;
    if (FAlignment == taCenter) format |= DT_CENTER;
    if (FAlignment == taRightJustify) format |= DT_RIGHT;
    c.DrawText(Caption(), r, format);
}

} // namespace fw
