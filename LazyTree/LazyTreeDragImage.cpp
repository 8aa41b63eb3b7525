#include "LazyTreeDragImage.h"

namespace vel {

void TLTDragImage::PrepareDrag(const fw::TBitmap& Image, fw::TPoint ImagePosition,
                               fw::TPoint HotSpot) {
    Image_ = std::make_unique<fw::TBitmap>();
    Image_->Assign(Image);
    ImagePosition_ = ImagePosition;
    HotSpot_ = HotSpot;
    LastPosition_ = {ImagePosition.X + HotSpot.X, ImagePosition.Y + HotSpot.Y};
}

bool TLTDragImage::WillMove(fw::TPoint P) const {
    if (!Visible_) return false;
    switch (MoveRestriction) {
    case dmrHorizontalOnly:
        return P.X != LastPosition_.X;
    case dmrVerticalOnly:
        return P.Y != LastPosition_.Y;
    default:
        return P != LastPosition_;
    }
}

bool TLTDragImage::DragTo(fw::TPoint P, bool ForceRepaint) {
    if (!WillMove(P) && !ForceRepaint) return false;
    if (MoveRestriction == dmrHorizontalOnly)
        P.Y = LastPosition_.Y;
    else if (MoveRestriction == dmrVerticalOnly)
        P.X = LastPosition_.X;
    ImagePosition_.X += P.X - LastPosition_.X;
    ImagePosition_.Y += P.Y - LastPosition_.Y;
    LastPosition_ = P;
    return true;
}

void TLTDragImage::EndDrag() {
    HideDragImage();
    Image_.reset();
}

fw::TRect TLTDragImage::GetDragImageRect() const {
    if (!Image_) return {};
    return {ImagePosition_.X, ImagePosition_.Y, ImagePosition_.X + Image_->Width(),
            ImagePosition_.Y + Image_->Height()};
}

} // namespace vel
