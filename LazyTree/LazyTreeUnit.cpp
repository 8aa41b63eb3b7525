#include "LazyTreeUnit.h"
#include "LazyTreeClipboard.h"
#include "LazyTreeResources.h"

#include "Hints.h"

namespace vel {

// The unit holds nothing of its own between trees: what the trees share (the
// worker, the drag registry, the image lists, the clipboard formats) is built
// on first use.
void InitializeLazyTreeUnit() {}

// Nothing made by this copy of the unit may outlive the module: the shared
// image lists, a tree's data object on the clipboard, a hint window of the
// tree's class and the format registry go.
void FinalizeLazyTreeUnit() {
    FinalizeGlobalStructures();
    ReleaseTreeClipboardData();
    fw::FreeHintWindow();
    FreeClipboardFormatRegistry();
}

} // namespace vel
