// The draw tree: a tree that leaves all painting of its cells and hints to
// the application's events.
#pragma once

#include "LazyTrees.h"

namespace vel {

class TCustomLazyDrawTree : public TBaseLazyTree {
public:
    using TBaseLazyTree::TBaseLazyTree;

    using TLTDrawNodeEvent = std::function<void(TBaseLazyTree* Sender, TLTPaintInfo& PaintInfo)>;
    using TLTGetNodeWidthEvent = std::function<void(TBaseLazyTree* Sender, fw::TCanvas* Canvas,
                                                    PLazyNode Node, int Column, int& NodeWidth)>;
    using TLTGetHintSizeEvent =
        std::function<void(TBaseLazyTree* Sender, PLazyNode Node, int Column, fw::TRect& R)>;
    using TLTDrawHintEvent = std::function<void(TBaseLazyTree* Sender, fw::TCanvas& HintCanvas,
                                                PLazyNode Node, const fw::TRect& R, int Column)>;
    TLTDrawNodeEvent OnDrawNode;
    TLTGetNodeWidthEvent OnGetNodeWidth;
    TLTGetHintSizeEvent OnGetHintSize;
    TLTDrawHintEvent OnDrawHint;

    void DoPaintNode(TLTPaintInfo& PaintInfo) override;
    // 2 x TextMargin unless the event says otherwise.
    int DoGetNodeWidth(PLazyNode Node, int Column, fw::TCanvas* Canvas = nullptr) override;
    virtual void DoGetHintSize(PLazyNode Node, int Column, fw::TRect& R);
    virtual void DoDrawHint(fw::TCanvas& Canvas, PLazyNode Node, const fw::TRect& R, int Column);
};

class TLazyDrawTree : public TCustomLazyDrawTree {
public:
    using TCustomLazyDrawTree::TCustomLazyDrawTree;
};

} // namespace vel
