#pragma once
// A windowless-control base that routes the framework's change
// notifications through overridable operations, and a gradient panel drawn
// in flat bands on it.
#include "Bitmap.h"
#include "Controls.h"

#include <cstdint>
#include <memory>

namespace vel {

class TGcExGraphicControl : public fw::TGraphicControl {
public:
    explicit TGcExGraphicControl(fw::TComponent* AOwner);

    // clNone takes the application's hint colour, clDefault the parent's.
    fw::TColor HintColor() const { return FHintColor; }
    void SetHintColor(fw::TColor Value) { FHintColor = Value; }
    bool MouseOver() const { return FMouseOver; }

    void WndProc(fw::TMessage& Message) override;

    fw::TNotifyEvent OnMouseEnter;
    fw::TNotifyEvent OnMouseLeave;
    fw::TNotifyEvent OnParentColorChange;

protected:
    // Each passes the notification on to the inherited handling.
    virtual void TextChanged(fw::TMessage& Message);
    // Dialog characters: true (answer 1) when the control wants the key.
    virtual bool WantKey(fw::TMessage& Message);
    // The answer is the message result.
    virtual fw::LRESULT HitTest(fw::TMessage& Message);
    virtual void FocusChanged(fw::TMessage& Message);
    virtual void VisibleChanged(fw::TMessage& Message);
    virtual void EnabledChanged(fw::TMessage& Message);
    virtual void ColorChanged(fw::TMessage& Message);
    virtual void FontChanged(fw::TMessage& Message);
    virtual void ParentFontChanged(fw::TMessage& Message);
    virtual void ParentColorChanged(fw::TMessage& Message);
    virtual void ParentShowHintChanged(fw::TMessage& Message);
    virtual void HintShow(fw::TMessage& Message);
    virtual void MouseEnter(fw::TMessage& Message);
    virtual void MouseLeave(fw::TMessage& Message);

    void Inherited(fw::TMessage& Message) { fw::TGraphicControl::WndProc(Message); }

private:
    fw::TColor FHintColor = fw::clDefault;
    bool FMouseOver = false;
};

class TGcGraphicControl : public TGcExGraphicControl {
public:
    using TGcExGraphicControl::TGcExGraphicControl;
};

enum class TGcGradientStyle { grFilled, grEllipse, grHorizontal, grVertical, grPyramid, grMount };
using enum TGcGradientStyle;

class TGcGradient : public TGcGraphicControl {
public:
    explicit TGcGradient(fw::TComponent* AOwner);
    ~TGcGradient() override;

    TGcGradientStyle Style() const { return FStyle; }
    void SetStyle(TGcGradientStyle Value);
    fw::TColor StartColor() const { return FStartColor; }
    void SetStartColor(fw::TColor Value);
    fw::TColor EndColor() const { return FEndColor; }
    void SetEndColor(fw::TColor Value);
    std::uint16_t Steps() const { return FSteps; }
    void SetSteps(std::uint16_t Value);

    int CachedWidth() const { return FCachedWidth; }
    int CachedHeight() const { return FCachedHeight; }
    // How often the cache was drawn afresh.
    int CacheDraws() const { return FCacheDraws; }
    // The colour of band I of N (0..N).
    fw::TColor BandColor(int I, int N) const;

protected:
    void Paint() override;

private:
    void DrawCache();
    void Restyle();

    TGcGradientStyle FStyle = grHorizontal;
    fw::TColor FStartColor = fw::clBlue;
    fw::TColor FEndColor = fw::clBlack;
    std::uint16_t FSteps = 100;
    std::unique_ptr<fw::TBitmap> FBuffer;
    int FCachedWidth = 0;
    int FCachedHeight = 0;
    int FCacheDraws = 0;
};

} // namespace vel
