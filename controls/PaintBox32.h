#pragma once
// A window control that paints itself by copying an off-screen TBitmap32,
// its Buffer, so that drawing never flickers.
#include "Bitmap32.h"

#include "Controls.h"

#include <memory>

namespace vel {

using TPaintBoxOptions = unsigned;
constexpr TPaintBoxOptions pboWantArrowKeys = 1;
constexpr TPaintBoxOptions pboAutoFocus = 2;

class TCustomPaintBox32 : public fw::TCustomControl {
public:
    explicit TCustomPaintBox32(fw::TComponent* AOwner);
    ~TCustomPaintBox32() override;

    TBitmap32& Buffer() { return *FBuffer; }
    int BufferOversize() const { return FBufferOversize; }
    void SetBufferOversize(int Value) { FBufferOversize = Value; }
    bool BufferValid() const { return FBufferValid; }
    void SetBufferValid(bool Value) { FBufferValid = Value; }
    TPaintBoxOptions Options() const { return FOptions; }
    void SetOptions(TPaintBoxOptions Value) { FOptions = Value; }

    virtual fw::TRect GetViewportRect() const;
    // Puts the buffer on the screen at once, outside a paint; fires nothing.
    void Flush();
    void Invalidate() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;

    fw::TNotifyEvent OnGDIOverlay;

protected:
    virtual void DoPaintBuffer();
    virtual void DoPaintGDIOverlay();
    virtual void ExecPaintBuffer();
    void ResizeBuffer();
    void Paint() override;
    void DefaultHandler(fw::TMessage& Message) override;
    void MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) override;
    void Resize() override;

private:
    std::unique_ptr<TBitmap32> FBuffer;
    int FBufferOversize = 40;
    bool FBufferValid = false;
    TPaintBoxOptions FOptions = 0;
};

// Fills the buffer through OnPaintBuffer on every paint.
class TPaintBox32 : public TCustomPaintBox32 {
public:
    using TCustomPaintBox32::TCustomPaintBox32;
    fw::TNotifyEvent OnPaintBuffer;

protected:
    void DoPaintBuffer() override;
};

} // namespace vel
