// The picture that follows the mouse while nodes are dragged over trees or a
// column is dragged along the header: a 32-bit picture with an alpha channel
// that fades out from its centre, blended over the screen as an overlay of the
// framework's screen surface (windows repainting below it keep it on top).
#pragma once

#include "Bitmap.h"
#include "Types.h"

#include <cstdint>
#include <memory>

namespace vel {

enum class TLTDragMoveRestriction : std::uint8_t { dmrNone, dmrHorizontalOnly, dmrVerticalOnly };
using enum TLTDragMoveRestriction;

class TLTDragImage {
public:
    TLTDragImage() = default;
    ~TLTDragImage();
    TLTDragImage(const TLTDragImage&) = delete;
    TLTDragImage& operator=(const TLTDragImage&) = delete;

    std::uint8_t Transparency = 128;
    std::int8_t PreBlendBias = 0;
    std::uint8_t Fade = 0;
    std::int8_t PostBlendBias = 0;
    TLTDragMoveRestriction MoveRestriction = dmrNone;
    // Pixels of this colour stay fully transparent (clNone: none).
    fw::TColor ColorKey = fw::clNone;

    // Takes a copy of Image; ImagePosition is its top-left on the screen and
    // HotSpot the mouse point inside it. The picture starts hidden.
    void PrepareDrag(const fw::TBitmap& Image, fw::TPoint ImagePosition, fw::TPoint HotSpot);
    void ShowDragImage();
    void HideDragImage();
    // Moves the picture along with the mouse (screen point P); answers whether
    // it moved (or ForceRepaint asked for a fresh picture of the screen below).
    bool DragTo(fw::TPoint P, bool ForceRepaint = false);
    void EndDrag();
    bool Visible() const { return (FStates & 0x0F) == Prepared; }
    bool WillMove(fw::TPoint P) const;
    fw::TRect GetDragImageRect() const;
    // The picture as prepared (faded when Fade is set), null before and after a drag.
    const fw::TBitmap* Image() const { return FDragImage.get(); }
    // The screen below the picture when it was last shown or moved.
    const fw::TBitmap* BackImage() const { return FBackImage.get(); }
    // The alpha of each pixel of the picture (0 .. 255).
    std::uint8_t AlphaAt(int X, int Y) const;

private:
    static constexpr std::uint8_t Hidden = 1, Prepared = 6;
    void ComputeAlpha();
    void PlaceOverlay();
    fw::TPoint Restricted(fw::TPoint Move) const;

    std::unique_ptr<fw::TBitmap> FBackImage;
    std::unique_ptr<fw::TBitmap> FAlphaImage;
    std::unique_ptr<fw::TBitmap> FDragImage;
    fw::TPoint FImagePosition;
    fw::TPoint FLastPosition;
    std::uint8_t FStates = 0;
    int FOverlay = 0;
};

} // namespace vel
