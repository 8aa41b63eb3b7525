// The anchor of the tree benchmark: a toolkit item model shown in a tree view
// offscreen, the same operations at the same sizes. Its own unit, so that the
// toolkit's headers never meet the project's.
#pragma once

#include <memory>

namespace vel::anchor {

enum class TOperation {
    Create,         // rows without items (the lazy tree's plain creation)
    CreateItems,    // one item per row
    PaintTop,       // an 800x600 view at the top
    PaintMiddle,    // and scrolled to the middle
    ScrollToMiddle, // scroll the middle row into view from the top
    IndexAt,        // the row at a random point of the content
    Sort,           // rows on a random 32-bit key
    SelectAllClear, // select every row, then none
    ExpandAllChain, // a chain of that many levels, all expanded
    Clear           // all rows removed
};

class TTreeAnchor {
public:
    TTreeAnchor(int Rows, TOperation Op);
    ~TTreeAnchor();
    // Untimed set-up before each run.
    void Prepare();
    void Run();

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace vel::anchor
