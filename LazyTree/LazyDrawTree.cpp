#include "LazyDrawTree.h"
#include "LazyTreeInternal.h"

namespace vel {

void TCustomLazyDrawTree::DoPaintNode(TLTPaintInfo& PaintInfo) {
    lt::Fire(*this, OnDrawNode, this, PaintInfo);
}

int TCustomLazyDrawTree::DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas) {
    int Width = 2 * TextMargin();
    lt::Fire(*this, OnGetNodeWidth, this, Canvas ? Canvas : this->Canvas(), Node, Column, Width);
    return Width;
}

void TCustomLazyDrawTree::DoGetHintSize(PLazyNode Node, int Column, fw::TRect& R) {
    lt::Fire(*this, OnGetHintSize, this, Node, Column, R);
}

void TCustomLazyDrawTree::DoDrawHint(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& R,
                                     int Column) {
    lt::Fire(*this, OnDrawHint, this, Canvas, Node, R, Column);
}

} // namespace vel
