// The picture that follows the mouse while something is dragged over a tree
// or a column is dragged along the header. In-process only: it keeps the
// picture and where it stands; the tree paints it over its own window.
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

    // The first four byte settings: transparency, post-blend bias, fade and restriction.
    std::uint8_t Transparency = 128;
    std::uint8_t PostBlendBias = 0;
    bool Fade = false;
    TLTDragMoveRestriction MoveRestriction = dmrNone;

    // Takes a copy of Image; HotSpot is the mouse point inside it, ImagePosition
    // its top-left in screen coordinates.
    void PrepareDrag(const fw::TBitmap& Image, fw::TPoint ImagePosition, fw::TPoint HotSpot);
    void ShowDragImage() { FVisible = FImage != nullptr; }
    void HideDragImage() { FVisible = false; }
    // Moves the picture so that the hot spot is at P (screen); answers whether it moved.
    bool DragTo(fw::TPoint P, bool ForceRepaint = false);
    void EndDrag();
    bool Visible() const { return FVisible; }
    bool WillMove(fw::TPoint P) const;
    fw::TRect GetDragImageRect() const;
    const fw::TBitmap* Image() const { return FImage.get(); }

private:
    std::unique_ptr<fw::TBitmap> FImage;
    fw::TPoint FImagePosition;
    fw::TPoint FHotSpot;
    fw::TPoint FLastPosition;
    bool FVisible = false;
};

} // namespace vel
