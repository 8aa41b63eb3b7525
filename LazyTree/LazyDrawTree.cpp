#include "LazyDrawTree.h"

namespace vel {

void TCustomLazyDrawTree::DoPaintNode(TLTPaintInfo& PaintInfo) {
    if (OnDrawNode) OnDrawNode(this, PaintInfo);
}

int TCustomLazyDrawTree::DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas) {
    int Width = 2 * TextMargin();
    if (OnGetNodeWidth) OnGetNodeWidth(this, Canvas ? Canvas : this->Canvas(), Node, Column, Width);
    return Width;
}

void TCustomLazyDrawTree::DoGetHintSize(PLazyNode Node, int Column, fw::TRect& R) {
    if (OnGetHintSize) OnGetHintSize(this, Node, Column, R);
}

void TCustomLazyDrawTree::DoDrawHint(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& R,
                                     int Column) {
    if (OnDrawHint) OnDrawHint(this, Canvas, Node, R, Column);
}

} // namespace vel
