// The drag picture: prepared once per drag, laid over the screen while shown,
// moved with the mouse.
#include "LazyTreeDragImage.h"

#include "Screen.h"

#include <algorithm>
#include <cmath>

namespace vel {

TLTDragImage::~TLTDragImage() {
    if (FOverlay) fw::RemoveScreenOverlay(FOverlay);
}

void TLTDragImage::PrepareDrag(const fw::TBitmap& Image, fw::TPoint ImagePosition,
                               fw::TPoint HotSpot) {
    EndDrag();
    const int W = Image.Width(), H = Image.Height();
    if (W <= 0 || H <= 0) return;
    FLastPosition = {ImagePosition.X + HotSpot.X, ImagePosition.Y + HotSpot.Y};
    FBackImage = std::make_unique<fw::TBitmap>(W, H);
    FAlphaImage = std::make_unique<fw::TBitmap>(W, H);
    FDragImage = std::make_unique<fw::TBitmap>();
    FDragImage->Assign(Image);
    if (Fade) {
        // Faded: blended towards black further down the picture.
        for (int Y = 0; Y < H; ++Y) {
            const int Keep = 256 - Fade * Y / std::max(H - 1, 1);
            std::uint32_t* Row = FDragImage->ScanLine(Y);
            for (int X = 0; X < W; ++X) {
                const std::uint32_t P = Row[X];
                std::uint32_t Out = P & 0xFF000000u;
                for (int Shift = 0; Shift < 24; Shift += 8)
                    Out |= ((((P >> Shift) & 0xFF) * static_cast<std::uint32_t>(Keep)) >> 8)
                           << Shift;
                Row[X] = Out;
            }
        }
    }
    ComputeAlpha();
    FImagePosition = ImagePosition;
    FStates = Prepared | Hidden;
}

void TLTDragImage::ComputeAlpha() {
    fw::TBitmap& B = *FDragImage;
    const int W = B.Width(), H = B.Height();
    const double R = std::max(W, H);
    const double CX = W / 2, CY = H / 2;
    const std::uint32_t Key =
        ColorKey == fw::clNone ? 0 : fw::ColorToPixel(fw::ColorToRGB(ColorKey)) & 0xFFFFFFu;
    for (int Y = 0; Y < H; ++Y) {
        std::uint32_t* Row = B.ScanLine(Y);
        for (int X = 0; X < W; ++X) {
            std::uint32_t Alpha = 0;
            if (ColorKey == fw::clNone || (Row[X] & 0xFFFFFFu) != Key) {
                const double D = std::sqrt(std::pow((X - CX) / R, 2) + std::pow((Y - CY) / R, 2));
                Alpha = static_cast<std::uint32_t>(std::lround(255 * std::exp(-8 * D)));
            }
            Row[X] = (Row[X] & 0xFFFFFFu) | (Alpha << 24);
        }
    }
}

std::uint8_t TLTDragImage::AlphaAt(int X, int Y) const {
    if (!FDragImage || X < 0 || Y < 0 || X >= FDragImage->Width() || Y >= FDragImage->Height())
        return 0;
    return static_cast<std::uint8_t>(FDragImage->Surface().Pixel(X, Y) >> 24);
}

// The picture as the screen shows it: its alpha scaled by the transparency
// (and by each pixel's own alpha when the picture is keyed or biased after).
void TLTDragImage::PlaceOverlay() {
    const bool Master = PostBlendBias != 0 || ColorKey != fw::clNone;
    fw::TSurface& Out = FAlphaImage->Surface();
    const fw::TSurface& In = FDragImage->Surface();
    for (std::size_t I = 0; I < In.Pixels.size(); ++I) {
        const std::uint32_t P = In.Pixels[I];
        const std::uint32_t A = Master ? (P >> 24) * Transparency / 256 : Transparency;
        std::uint32_t C = 0;
        // The bias lightens or darkens the picture before it is blended.
        for (int Shift = 0; Shift < 24; Shift += 8)
            C |= static_cast<std::uint32_t>(
                     std::clamp(static_cast<int>((P >> Shift) & 0xFF) + PreBlendBias, 0, 255))
                 << Shift;
        Out.Pixels[I] = C | (A << 24);
    }
    fw::CaptureScreen(GetDragImageRect(), FBackImage->Surface());
    if (FOverlay)
        fw::MoveScreenOverlay(FOverlay, FImagePosition);
    else
        FOverlay = fw::AddScreenOverlay(Out, FImagePosition);
}

void TLTDragImage::ShowDragImage() {
    if (FStates != (Prepared | Hidden)) return;
    FStates = Prepared;
    PlaceOverlay();
}

void TLTDragImage::HideDragImage() {
    if (!Visible()) return;
    FStates |= Hidden;
    if (FOverlay) fw::RemoveScreenOverlay(FOverlay);
    FOverlay = 0;
}

fw::TPoint TLTDragImage::Restricted(fw::TPoint Move) const {
    if (MoveRestriction == dmrHorizontalOnly) Move.Y = 0;
    if (MoveRestriction == dmrVerticalOnly) Move.X = 0;
    return Move;
}

bool TLTDragImage::WillMove(fw::TPoint P) const {
    const fw::TPoint Move = Restricted({P.X - FLastPosition.X, P.Y - FLastPosition.Y});
    return Visible() && (Move.X != 0 || Move.Y != 0);
}

bool TLTDragImage::DragTo(fw::TPoint P, bool ForceRepaint) {
    const fw::TPoint Move = Restricted({P.X - FLastPosition.X, P.Y - FLastPosition.Y});
    const bool Result = Move.X != 0 || Move.Y != 0 || ForceRepaint;
    if (!FDragImage) return Result;
    FImagePosition = {FImagePosition.X + Move.X, FImagePosition.Y + Move.Y};
    if (Visible() && Result) {
        // The screen below is taken at the new place (without the picture on it).
        fw::RemoveScreenOverlay(FOverlay);
        FOverlay = 0;
        PlaceOverlay();
    }
    if (Result) FLastPosition = P;
    return Result;
}

void TLTDragImage::EndDrag() {
    HideDragImage();
    FStates = 0;
    FBackImage.reset();
    FAlphaImage.reset();
    FDragImage.reset();
}

fw::TRect TLTDragImage::GetDragImageRect() const {
    if (!Visible() || !FDragImage) return {};
    return {FImagePosition.X, FImagePosition.Y, FImagePosition.X + FDragImage->Width(),
            FImagePosition.Y + FDragImage->Height()};
}

} // namespace vel
