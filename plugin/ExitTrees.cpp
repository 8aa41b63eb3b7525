#include "ExitHost.h"

#include "LazyStringTree.h"

namespace exithost {

fw::TWinControl* PlaceTree(fw::TForm* form, unsigned count) {
    auto* tree = fw::Create<vel::TLazyStringTree>(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 150, 200);
    tree->HandleNeeded();
    tree->SetRootNodeCount(count);
    tree->DragManager(); // a tree that can take part in drags
    return tree;
}

void KeepWorkerBusy(fw::TWinControl* tree) {
    static_cast<vel::TLazyStringTree*>(tree)->AddChild(nullptr);
}

} // namespace exithost
