// The tree's hint window: a cell's full text over a cut cell (tooltip mode)
// or the node or control hint, faded or slid in by the framework's clock.
#pragma once

#include "LazyStringTree.h"

#include "Bitmap.h"
#include "Hints.h"

#include <memory>
#include <string>

namespace vel {

// Set while a hint window is being destroyed; an animation step stops then.
extern bool HintWindowDestroyed;

class TLazyTreeHintWindow : public fw::THintWindow {
public:
    explicit TLazyTreeHintWindow(fw::TComponent* AOwner);
    ~TLazyTreeHintWindow() override;

    TLTHintData& HintData() { return FHintData; }
    int TextHeight() const { return FTextHeight; }

    // Data is a TLTHintData*. The rectangle's inner area starts at (0, 0);
    // empty when nothing is to be shown.
    fw::TRect CalcHintRect(int MaxWidth, const std::u16string& Hint, void* Data) override;
    void ActivateHint(fw::TRect Rect, const std::u16string& Hint) override;
    // Mouse moves and keys leave the hint alone (the tree decides).
    bool IsHintMsg(const fw::TMessage& Msg) override;
    // One step of the animation (StepSize 0: the start); false stops it.
    bool AnimationCallback(int Step, int StepSize);

protected:
    void CreateParams(fw::TCreateParams& Params) override;
    void Paint() override;
    void WndProc(fw::TMessage& Message) override;

private:
    bool TooltipMode() const;
    void DrawHintImage();
    void PaintStep(int Step, int StepSize);
    fw::TRect CalcTooltipRect(const std::u16string& Text);

    TLTHintData FHintData;
    int FTextHeight = 0;
    fw::TBitmap FBackground;
    fw::TBitmap FDrawBuffer;
    fw::TBitmap FTarget;
    THintAnimationType FAnimation = hatNone;
    // False once this window is gone: an animation's steps (between which
    // timers run, which may free the window) look here before touching it.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace vel
