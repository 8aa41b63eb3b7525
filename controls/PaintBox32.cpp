#include "PaintBox32.h"

#include "Canvas.h"
#include "ScopeExit.h"

#include <algorithm>

namespace vel {

TCustomPaintBox32::TCustomPaintBox32(fw::TComponent* AOwner)
    : fw::TCustomControl(AOwner), FBuffer(std::make_unique<TBitmap32>()) {
    FBuffer->BeginUpdate(); // its OnChange never fires
    SetBounds(Left(), Top(), 192, 192);
}

TCustomPaintBox32::~TCustomPaintBox32() = default;

fw::TRect TCustomPaintBox32::GetViewportRect() const {
    return fw::TRect{0, 0, Width(), Height()};
}

void TCustomPaintBox32::Invalidate() {
    FBufferValid = false;
    fw::TCustomControl::Invalidate();
}

void TCustomPaintBox32::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    FBufferValid = false;
    fw::TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomPaintBox32::Loaded() {
    FBufferValid = false;
    fw::TCustomControl::Loaded();
}

void TCustomPaintBox32::DoPaintBuffer() {
    FBufferValid = true;
}

void TCustomPaintBox32::DoPaintGDIOverlay() {
    fw::CallHandler(OnGDIOverlay, this);
}

void TCustomPaintBox32::ExecPaintBuffer() {
    ResizeBuffer();
    if (!FBufferValid) DoPaintBuffer();
}

void TCustomPaintBox32::ResizeBuffer() {
    const fw::TRect r = GetViewportRect();
    const int w = std::max(r.Width(), 0), h = std::max(r.Height(), 0);
    auto target = [this](int want, int have) {
        int t = have;
        if (want > have)
            t = want + FBufferOversize;
        else if (have - FBufferOversize > want)
            t = want;
        return std::max(t, 1);
    };
    if (target(w, FBuffer->Width()) == FBuffer->Width() &&
        target(h, FBuffer->Height()) == FBuffer->Height())
        return;
    auto lock = fw::LockScope(*FBuffer);
    FBuffer->SetSize(w, h);
    FBufferValid = false;
}

void TCustomPaintBox32::Paint() {
    ExecPaintBuffer();
    {
        auto lock = fw::LockScope(*FBuffer);
        if (!FBuffer->Empty()) {
            const fw::TRect r = GetViewportRect();
            Canvas()->BitBlt(r.Left, r.Top, r.Width(), r.Height(), *FBuffer->DC(), 0, 0,
                             fw::SRCCOPY);
        }
    }
    DoPaintGDIOverlay();
}

void TCustomPaintBox32::Flush() {
    fw::TCanvas screen;
    if (FBuffer->Empty() || !fw::AttachWindowCanvas(this, screen)) return;
    auto canvasLock = fw::LockScope(screen);
    auto bufferLock = fw::LockScope(*FBuffer);
    const fw::TRect r = GetViewportRect();
    screen.BitBlt(r.Left, r.Top, r.Width(), r.Height(), *FBuffer->DC(), 0, 0, fw::SRCCOPY);
}

void TCustomPaintBox32::DefaultHandler(fw::TMessage& Message) {
    switch (Message.Msg) {
    case fw::WM_ERASEBKGND:
        Message.Result = 1; // the buffer covers everything
        return;
    case fw::WM_GETDLGCODE:
        fw::TCustomControl::DefaultHandler(Message);
        if (FOptions & pboWantArrowKeys)
            Message.Result |= fw::DLGC_WANTARROWS;
        else
            Message.Result &= ~fw::DLGC_WANTARROWS;
        return;
    default:
        fw::TCustomControl::DefaultHandler(Message);
    }
}

void TCustomPaintBox32::MouseDown(fw::TMouseButton Button, fw::TShiftState Shift, int X, int Y) {
    if ((FOptions & pboAutoFocus) && CanFocus()) SetFocus();
    fw::TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomPaintBox32::Resize() {
    ResizeBuffer();
    FBufferValid = false;
    fw::TCustomControl::Resize();
}

void TPaintBox32::DoPaintBuffer() {
    fw::CallHandler(OnPaintBuffer, this);
}

} // namespace vel
