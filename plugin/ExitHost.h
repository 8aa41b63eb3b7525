#pragma once
// The exit host's objects of the tree and grid libraries, one unit each (their
// headers do not go together in one unit).
#include "Forms.h"

namespace exithost {

// A tree of count root nodes on the form, its window made.
fw::TWinControl* PlaceTree(fw::TForm* form, unsigned count);
// A structure change that hands the tree to the worker once more.
void KeepWorkerBusy(fw::TWinControl* tree);

// A storage and a grid with an open drop-down built before the grid's
// shared set and drop-down registry are first used (so exit handlers destroy
// them after any static those would have had); then the storage's cells are
// filled with bitmaps and the grid registers its drop-down.
void KeepGridCells();
void FillGridCells();
// An in-cell check box on the form, painted through the shared canvas.
void PlaceCheckBox(fw::TForm* form);

} // namespace exithost
