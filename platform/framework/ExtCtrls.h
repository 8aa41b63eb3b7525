#pragma once
// Picture holders and the small extra controls: a paint box that paints
// through an event, an image that shows a picture and a panel with bevels.
#include "Bitmap.h"
#include "Controls.h"
#include "StdCtrls.h"

#include <memory>
#include <string>

namespace fw {

// Holds one picture (a bitmap here) and reports changes of it.
class TPicture : public TObject {
public:
    TNotifyEvent OnChange;

    TPicture();
    ~TPicture() override;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The held bitmap, made empty on first use.
    TBitmap& Bitmap();
    bool HasGraphic() const { return FBitmap != nullptr; }
    int Width() const { return FBitmap ? FBitmap->Width() : 0; }
    int Height() const { return FBitmap ? FBitmap->Height() : 0; }
    // A copy of Source; null drops the picture.
    void Assign(const TBitmap* Source);
    // Throws EInvalidGraphic; the picture is unchanged then.
    void LoadFromFile(const std::string& Path);

private:
    void Changed();
    std::unique_ptr<TBitmap> FBitmap;
};

// A windowless area painted by its OnPaint handler on Canvas().
class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(TComponent* AOwner);
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

// Shows its picture at the top-left, or stretched over the whole control.
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;

    TPicture& Picture() { return *FPicture; }
    const TPicture& Picture() const { return *FPicture; }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool Value);

protected:
    void Paint() override;

private:
    void PictureChanged();
    std::unique_ptr<TPicture> FPicture;
    bool FAutoSize = false;
    bool FStretch = false;
};


// A windowed container that paints its colour, bevels and a centred caption.
class TCustomPanel : public TCustomControl {
public:
    explicit TCustomPanel(TComponent* AOwner);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);

protected:
    void Paint() override;

private:
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    TAlignment FAlignment = taCenter;
};

class TPanel : public TCustomPanel {
public:
    using TCustomPanel::TCustomPanel;
};

// Draws Width rings inside R, top and left in TopColor, bottom and right in
// BottomColor, and shrinks R by them.
void Frame3D(TCanvas& Canvas, TRect& R, TColor TopColor, TColor BottomColor, int Width);

} // namespace fw
