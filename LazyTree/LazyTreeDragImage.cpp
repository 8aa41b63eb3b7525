#include "LazyTreeDragImage.h"

namespace vel {

void TLTDragImage::PrepareDrag(const fw::TBitmap& Image, fw::TPoint ImagePosition,
                               fw::TPoint HotSpot) {
    FImage = std::make_unique<fw::TBitmap>();
    FImage->Assign(Image);
    FImagePosition = ImagePosition;
    FHotSpot = HotSpot;
    FLastPosition = {ImagePosition.X + HotSpot.X, ImagePosition.Y + HotSpot.Y};
}

bool TLTDragImage::WillMove(fw::TPoint P) const {
    if (!FVisible) return false;
    switch (MoveRestriction) {
    case dmrHorizontalOnly:
        return P.X != FLastPosition.X;
    case dmrVerticalOnly:
        return P.Y != FLastPosition.Y;
    default:
        return P != FLastPosition;
    }
}

bool TLTDragImage::DragTo(fw::TPoint P, bool ForceRepaint) {
    if (!WillMove(P) && !ForceRepaint) return false;
    if (MoveRestriction == dmrHorizontalOnly)
        P.Y = FLastPosition.Y;
    else if (MoveRestriction == dmrVerticalOnly)
        P.X = FLastPosition.X;
    FImagePosition.X += P.X - FLastPosition.X;
    FImagePosition.Y += P.Y - FLastPosition.Y;
    FLastPosition = P;
    return true;
}

void TLTDragImage::EndDrag() {
    HideDragImage();
    FImage.reset();
}

fw::TRect TLTDragImage::GetDragImageRect() const {
    if (!FImage) return {};
    return {FImagePosition.X, FImagePosition.Y, FImagePosition.X + FImage->Width(),
            FImagePosition.Y + FImage->Height()};
}

} // namespace vel
