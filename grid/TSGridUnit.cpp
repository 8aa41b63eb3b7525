// The grid unit's start and end (declared in TSGrid.h).
#include "TSGrid.h"
#include "TSGridCtrl.h"
#include "TSShared.h"

namespace vel {

void InitializeTSGridUnit() {
    // The cursors are the framework's own (crTsColSize, crTsRowSize): none to load.
    LoadGridPictures();
    CreateMemoryCanvases();
}

void FinalizeTSGridUnit() {
    FreeMemoryCanvases();
    FreeGridPictures();
    FreeCheckBoxGlyphStrip();
    // Bitmaps a storage still refers to stay with their set.
    if (SharedBitmaps() && SharedBitmaps()->Count() == 0) FreeSharedBitmaps();
}

} // namespace vel
